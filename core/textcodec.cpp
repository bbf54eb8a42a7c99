#include "textcodec.h"

#include <QStringDecoder>

namespace snaplore::text {

bool isAscii(QByteArrayView bytes) {
    for (char c : bytes)
        if (uint8_t(c) >= 0x80) return false;
    return true;
}

bool isAscii(const QString& text) {
    for (QChar c : text)
        if (c.unicode() >= 0x80) return false;
    return true;
}

bool isValidUtf8(QByteArrayView bytes) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = decoder.decode(bytes);
    return !decoder.hasError();
}

QString fromWindows1252(QByteArrayView bytes) {
    // 0x80..0x9F differ from Latin-1; the five unassigned codes map to the C1 control of the same value.
    static const char16_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const uint8_t b = uint8_t(c);
        out.append(b >= 0x80 && b < 0xA0 ? QChar(high[b - 0x80]) : QChar(b));
    }
    return out;
}


QString printableName(QByteArrayView raw) {
    QString out;
    for (qsizetype i = 0; i < raw.size();) {
        const uchar lead = uchar(raw[i]);
        const qsizetype length = lead < 0x80                   ? 1
                                 : lead >= 0xC2 && lead <= 0xDF ? 2
                                 : lead >= 0xE0 && lead <= 0xEF ? 3
                                 : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                                : 0;
        if (length > 0 && i + length <= raw.size() && isValidUtf8(raw.sliced(i, length))) {
            out += QString::fromUtf8(escapeControls(raw.sliced(i, length)));
            i += length;
        } else {
            out += QStringLiteral("\\x") + QString::number(lead, 16).toUpper().rightJustified(2, QLatin1Char('0'));
            ++i;
        }
    }
    return out;
}

QByteArray escapeControls(QByteArrayView utf8, QByteArrayView keep) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(utf8.size());
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        const uchar c = uchar(utf8[i]);
        if (c < 0x20 && !keep.contains(char(c))) {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        } else if (c == 0x7F || (c == 0xC2 && i + 1 < utf8.size() && uchar(utf8[i + 1]) < 0xA0 &&
                                 uchar(utf8[i + 1]) >= 0x80)) {
            const uchar code = c == 0x7F ? c : uchar(utf8[++i]);
            out += "\\u00";
            out += kHex[code >> 4];
            out += kHex[code & 0xF];
        } else {
            out += char(c);
        }
    }
    return out;
}

QString printableText(const QString& text) {
    for (const QChar c : text)
        if (c.category() == QChar::Other_Control && c != QLatin1Char('\n'))
            return QString::fromUtf8(escapeControls(text.toUtf8(), "\n"));
    return text;
}

}  // namespace snaplore::text
