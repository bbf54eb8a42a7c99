#include "jsonwriter.h"

#include <QLocale>

namespace {

constexpr char kHex[] = "0123456789abcdef";

// The escape for a character below 0x80 that JSON does not allow as it is; null when none is needed.
inline const char* shortEscape(unsigned c) {
    switch (c) {
        case '"': return "\\\"";
        case '\\': return "\\\\";
        case '\b': return "\\b";
        case '\f': return "\\f";
        case '\n': return "\\n";
        case '\r': return "\\r";
        case '\t': return "\\t";
        default: return nullptr;
    }
}

inline bool needsEscape(unsigned c) { return c < 0x20 || c == '"' || c == '\\'; }

void appendUnicodeEscape(QByteArray& out, char16_t u) {
    const char e[6] = {'\\', 'u', kHex[(u >> 12) & 0xF], kHex[(u >> 8) & 0xF], kHex[(u >> 4) & 0xF], kHex[u & 0xF]};
    out.append(e, 6);
}

void appendAsciiEscape(QByteArray& out, unsigned c) {
    if (const char* s = shortEscape(c))
        out.append(s, 2);
    else
        appendUnicodeEscape(out, char16_t(c));
}

}  // namespace

void JsonWriter::indent(qsizetype levels) {
    if (indented_ && levels > 0) out_.append(levels * 4, ' ');
}

void JsonWriter::beginElement() {
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (counts_.empty()) return;
    if (counts_.back()++ > 0) out_.append(indented_ ? ",\n" : ",");
    indent(qsizetype(counts_.size()));
}

void JsonWriter::open(char bracket) {
    beginElement();
    out_.append(bracket);
    if (indented_) out_.append('\n');
    counts_.push_back(0);
}

void JsonWriter::close(char bracket) {
    const bool empty = counts_.back() == 0;
    counts_.pop_back();
    if (!empty && indented_) out_.append('\n');
    indent(qsizetype(counts_.size()));
    out_.append(bracket);
    if (counts_.empty() && indented_) out_.append('\n');
}

void JsonWriter::key(std::string_view name) {
    beginElement();
    out_.append('"');
    out_.append(name.data(), qsizetype(name.size()));
    out_.append(indented_ ? "\": " : "\":");
    afterKey_ = true;
}

void JsonWriter::value(QStringView text) {
    beginElement();
    out_.append('"');
    escaped(text);
    out_.append('"');
}

void JsonWriter::utf8Value(QByteArrayView text) {
    beginElement();
    out_.append('"');
    escaped(text);
    out_.append('"');
}

void JsonWriter::value(bool b) {
    beginElement();
    out_.append(b ? "true" : "false");
}

void JsonWriter::value(qint64 n) {
    beginElement();
    char digits[24];
    char* end = digits + sizeof digits;
    char* p = end;
    quint64 magnitude = n < 0 ? 0 - quint64(n) : quint64(n);
    do {
        *--p = char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (n < 0) *--p = '-';
    out_.append(p, end - p);
}

void JsonWriter::value(double d) {
    beginElement();
    if (!qIsFinite(d)) {
        out_.append("null");  // JSON has no infinities or NaN
        return;
    }
    // The same conversion that QJsonDocument uses, so both print the same digits.
    out_.append(QByteArray::number(d, 'g', QLocale::FloatingPointShortest));
}

void JsonWriter::null() {
    beginElement();
    out_.append("null");
}

void JsonWriter::escaped(QByteArrayView utf8) {
    const char* p = utf8.data();
    const char* const end = p + utf8.size();
    while (p != end) {
        const char* run = p;
        while (p != end && !needsEscape(uchar(*p))) ++p;
        out_.append(run, p - run);
        if (p == end) break;
        appendAsciiEscape(out_, uchar(*p++));
    }
}

void JsonWriter::escaped(QStringView text) {
    const char16_t* p = text.utf16();
    const char16_t* const end = p + text.size();
    const qsizetype start = out_.size();
    // Worst case three bytes per UTF-16 unit, or six for an escape: grow once, fill, trim.
    out_.resize(start + text.size() * 6);
    char* o = out_.data() + start;
    while (p != end) {
        const char16_t u = *p++;
        if (u < 0x80) {
            if (needsEscape(u)) {
                const char* s = shortEscape(u);
                if (s) {
                    *o++ = s[0];
                    *o++ = s[1];
                } else {
                    *o++ = '\\';
                    *o++ = 'u';
                    *o++ = '0';
                    *o++ = '0';
                    *o++ = kHex[u >> 4];
                    *o++ = kHex[u & 0xF];
                }
            } else {
                *o++ = char(u);
            }
        } else if (u < 0x800) {
            *o++ = char(0xC0 | (u >> 6));
            *o++ = char(0x80 | (u & 0x3F));
        } else if (QChar::isHighSurrogate(u) && p != end && QChar::isLowSurrogate(*p)) {
            const char32_t c = QChar::surrogateToUcs4(u, *p++);
            *o++ = char(0xF0 | (c >> 18));
            *o++ = char(0x80 | ((c >> 12) & 0x3F));
            *o++ = char(0x80 | ((c >> 6) & 0x3F));
            *o++ = char(0x80 | (c & 0x3F));
        } else if (QChar::isSurrogate(u)) {
            // A lone surrogate has no UTF-8 form; the escape keeps it, as QJsonDocument does.
            *o++ = '\\';
            *o++ = 'u';
            *o++ = kHex[(u >> 12) & 0xF];
            *o++ = kHex[(u >> 8) & 0xF];
            *o++ = kHex[(u >> 4) & 0xF];
            *o++ = kHex[u & 0xF];
        } else {
            *o++ = char(0xE0 | (u >> 12));
            *o++ = char(0x80 | ((u >> 6) & 0x3F));
            *o++ = char(0x80 | (u & 0x3F));
        }
    }
    out_.truncate(o - out_.constData());
}
