#include "instructiontext.h"

#include <algorithm>
#include <limits>

namespace instructiontext {

std::optional<int> value(QStringView text, QStringView key) {
    const qsizetype at = text.indexOf(key);
    if (at < 0) return std::nullopt;
    qsizetype i = at + key.size();
    const qsizetype n = text.size();
    while (i < n && (text[i] == u' ' || text[i] == u'\t')) ++i;
    bool negative = false;
    if (i < n && (text[i] == u'-' || text[i] == u'+')) negative = text[i++] == u'-';
    // Accumulate in 64 bits and stop growing at the limit, so a long run of digits cannot overflow.
    constexpr qint64 limit = qint64(std::numeric_limits<int>::max()) + 1;
    qint64 magnitude = 0;
    for (; i < n && text[i] >= u'0' && text[i] <= u'9'; ++i)
        magnitude = std::min(limit, magnitude * 10 + (text[i].unicode() - u'0'));
    const qint64 signedValue = negative ? -magnitude : magnitude;
    return int(std::clamp<qint64>(signedValue, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

int valueOr(QStringView text, QStringView key, int fallback) { return value(text, key).value_or(fallback); }

CropEdges cropEdges(QStringView text, int displayWidth, int displayHeight) {
    return {valueOr(text, kCropLeft, 0), valueOr(text, kCropRight, displayWidth), valueOr(text, kCropTop, 0),
            valueOr(text, kCropBottom, displayHeight)};
}

QString format(int rotation, const CropEdges& crop, int cropTo) {
    return QStringLiteral("Rotate:%1,CropLeft:%2,CropRight:%3,CropTop:%4,CropBottom:%5,CropTo:%6")
        .arg(rotation)
        .arg(crop.left)
        .arg(crop.right)
        .arg(crop.top)
        .arg(crop.bottom)
        .arg(cropTo);
}

QString formatRotation(int rotation) { return QStringLiteral("Rotate:%1").arg(rotation); }

}  // namespace instructiontext
