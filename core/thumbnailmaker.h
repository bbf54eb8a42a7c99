#pragma once
// The geometry and pixel work behind a picture's thumbnails, kept apart from the picture object so
// that the numbers can be checked without a picture: sizes, the band of a camera thumbnail with bars,
// quarter turns, the one decode that turns and reduces a picture, and the two stand-in pictures.

#include <QRect>
#include <QSize>
#include <QString>

#include <optional>

#ifndef SNAPLORE_NO_PIXELS
#include <QBuffer>
#include <QImage>
#include <QImageReader>
#endif

namespace thumbnails {

// Longest side of every thumbnail the program makes.
inline constexpr int kSide = 160;

// How many quarter turns (0..3, clockwise) show a picture at `angle` degrees. The ranges match the
// ones that exchange the display width and height, so turned pixels and display size always agree.
int quarterTurns(int angle);
// True when `angle` exchanges the displayed width and height.
bool swapsSides(int angle);

// The thumbnail size for a picture displayed at `display`: the longest side 160, the other in
// proportion (truncated, at least 1). Empty for an empty display size.
QSize thumbnailSize(QSize display);

// The part of a camera thumbnail that shows the picture. Cameras letterbox a picture whose shape
// differs from their fixed thumbnail shape; then only the band between the bars is drawn. The shapes
// are compared as truncated width/height percentages; equal shapes give the whole thumbnail.
QRect pictureBand(QSize thumbnail, QSize display);

// Whether a stored thumbnail (already turned like the picture) stands the way the picture does: both
// wider than high or both higher than wide; a square on either side fits both. A program that turned
// a picture's pixels may have left the camera's thumbnail lying on its side: such a thumbnail is not
// drawn, the picture is scaled instead.
bool standsLikePicture(QSize thumbnail, QSize display);

#ifndef SNAPLORE_NO_PIXELS
// `image` turned clockwise by `quarters` quarter turns.
QImage turned(const QImage& image, int quarters);

// A JPEG decoded as it is shown: turned clockwise by `quarters` quarter turns by the program's own
// rule (EXIF orientation and instruction text), never by the decoder's. A part or a size smaller than
// the file is reduced while decoding (the decoder works at 1/2, 1/4 or 1/8 scale), so the picture is
// never held at full size when less is wanted. Sizes and rectangles are of the picture as shown.
class TurnedDecoder {
public:
    TurnedDecoder(const QString& path, int quarters);
    // A JPEG held in memory, such as a camera's thumbnail; empty bytes decode to a null image.
    TurnedDecoder(const QByteArray& jpeg, int quarters);
    TurnedDecoder(const TurnedDecoder&) = delete;
    TurnedDecoder& operator=(const TurnedDecoder&) = delete;

    // The picture's size as shown; invalid when it cannot be read as a picture.
    QSize size() const;
    // The picture at `size` (invalid: its own size), or the rectangle `part` of it at `size`. The
    // decoder only ever reduces: a size larger than the part in either direction is decoded at the
    // part's size and smoothly scaled after. Null on failure; errorString() then says why.
    QImage read(QSize size = {});
    QImage read(const QRect& part, QSize size);
    QString errorString() const { return reader_.errorString(); }

private:
    QImage decode(const std::optional<QRect>& part, QSize size);

    QBuffer buffer_;
    QImageReader reader_;
    int quarters_;
};

// The stand-in for a picture without a thumbnail: 160 x 120 when `landscape`, else 120 x 160.
QImage placeholder(bool landscape);
#endif

}  // namespace thumbnails
