#pragma once
// A streaming JSON writer for output that is only ever written, never queried: no tree is built.
// The indented form is byte for byte what QJsonDocument::toJson(Indented) prints for the same
// values in the same order (four spaces a level, a line feed after the top-level value), so that
// callers can switch to it without changing their output. Keys are written in the order given.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <string_view>
#include <vector>

class JsonWriter {
public:
    enum class Style { Indented, Compact };

    explicit JsonWriter(Style style = Style::Indented) : indented_(style == Style::Indented) {}

    void beginObject() { open('{'); }
    void endObject() { close('}'); }
    void beginArray() { open('['); }
    void endArray() { close(']'); }

    // The next member's key: plain text without characters that need escaping.
    void key(std::string_view name);

    void value(QStringView text);
    void value(const QString& text) { value(QStringView(text)); }
    // Text that is already valid UTF-8: copied as it is, with only the characters JSON requires
    // escaped.
    void utf8Value(QByteArrayView text);
    void value(bool b);
    void value(int n) { value(qint64(n)); }
    void value(qint64 n);
    // The shortest form that reads back as the same double; not finite numbers become null.
    void value(double d);
    void null();

    // A string array of the list's texts.
    template <typename List>
    void stringArray(const List& list) {
        beginArray();
        for (const auto& s : list) value(s);
        endArray();
    }

    const QByteArray& data() const { return out_; }
    QByteArray take() { return std::move(out_); }
    void reserve(qsizetype bytes) { out_.reserve(bytes); }

private:
    void open(char bracket);
    void close(char bracket);
    // Separator and indentation before a value or key at the current level.
    void beginElement();
    void indent(qsizetype levels);
    void escaped(QStringView text);
    void escaped(QByteArrayView utf8);

    QByteArray out_;
    std::vector<qsizetype> counts_;  // elements written so far, one per open container
    bool afterKey_ = false;
    bool indented_;
};
