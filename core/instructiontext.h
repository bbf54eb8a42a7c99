#pragma once
// The rotation and crop instruction text that a picture carries in IPTC 2:40:
// "Rotate:%d,CropLeft:%d,CropRight:%d,CropTop:%d,CropBottom:%d,CropTo:%d", or "Rotate:%d" alone.
// Other programs may edit the field, so reading is lenient: each key is found anywhere in the text.

#include <QRect>
#include <QString>
#include <QStringView>
#include <optional>

namespace instructiontext {

inline constexpr QStringView kRotate = u"Rotate:";
inline constexpr QStringView kCropLeft = u"CropLeft:";
inline constexpr QStringView kCropRight = u"CropRight:";
inline constexpr QStringView kCropTop = u"CropTop:";
inline constexpr QStringView kCropBottom = u"CropBottom:";
inline constexpr QStringView kCropTo = u"CropTo:";

// The number after the first occurrence of `key`: its leading decimal digits after optional blanks
// and a sign, 0 when there are no digits, saturated to the int range. Empty when the key is absent.
std::optional<int> value(QStringView text, QStringView key);
// The same, with `fallback` when the key is absent.
int valueOr(QStringView text, QStringView key, int fallback);

// A crop as edges in pixels of the picture as displayed; right and bottom are exclusive.
struct CropEdges {
    int left = 0;
    int right = 0;
    int top = 0;
    int bottom = 0;
    QRect rect() const { return QRect(left, top, right - left, bottom - top); }
    bool operator==(const CropEdges&) const = default;
};

// The crop that `text` describes; a missing edge is the picture's own edge.
CropEdges cropEdges(QStringView text, int displayWidth, int displayHeight);

// The full text, as the picture data form and the large view write it.
QString format(int rotation, const CropEdges& crop, int cropTo);
// The short text of the rotate command.
QString formatRotation(int rotation);

}  // namespace instructiontext
