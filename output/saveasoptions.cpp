#include "saveasoptions.h"

#include <algorithm>
#include <climits>
#include <cmath>

#include "picturerecord.h"

namespace saveas {

namespace {
constexpr int kLongSides[kSizeRows] = {0, 2880, 2592, 2272, 2048, 1600, 1024, 640, 160};
constexpr double kRatios[kRatioRows] = {0.0, 2.5 / 3.25, 0.75, 0.7, 4.0 / 6.0, 5.0 / 7.0, 0.8};
}  // namespace

const QStringList& sizeTexts() {
    static const QStringList texts = {QStringLiteral("Orginal"), QStringLiteral("6mp"), QStringLiteral("5mp"),
                                      QStringLiteral("4mp"),     QStringLiteral("3mp"), QStringLiteral("2mp"),
                                      QStringLiteral("1mp"),     QStringLiteral(".5mp"), QStringLiteral("Thumbnail")};
    return texts;
}

const QStringList& ratioTexts() {
    static const QStringList texts = {QStringLiteral("Orginal"), QStringLiteral("2.5x3.25"), QStringLiteral("3x4"),
                                      QStringLiteral("3.5x5"),   QStringLiteral("4x6"),      QStringLiteral("5x7"),
                                      QStringLiteral("8x10")};
    return texts;
}

int fixedLongSide(int row) { return row > 0 && row < kSizeRows ? kLongSides[row] : 0; }

double fixedRatio(int row) { return row > 0 && row < kRatioRows ? kRatios[row] : 0.0; }

}  // namespace saveas

namespace {

// A length computed in floating point, truncated toward zero and kept within [0, limit].
qint64 truncated(double value, qint64 limit) {
    if (!(value > 0)) return 0;
    if (value >= double(limit)) return limit;
    return qint64(value);
}

}  // namespace

QRect FitRectToRatio(int left, int top, int right, int bottom, double ratio, int align) {
    // Wide arithmetic: the edges may come from picture data that other programs wrote.
    const qint64 w = qint64(right) - left;
    const qint64 h = qint64(bottom) - top;
    if (w <= 0 || h <= 0 || w > INT_MAX || h > INT_MAX || !(ratio > 0) || !std::isfinite(ratio)) return {};
    const double g = w < h ? double(w) / double(h) : double(h) / double(w);

    qint64 newWidth = w, newHeight = h;
    if (ratio > g) {
        // More elongated than wanted: the long side gives way.
        if (w > h)
            newWidth = truncated(double(h) / ratio, w);
        else
            newHeight = truncated(double(w) / ratio, h);
    } else {
        if (w > h)
            newHeight = truncated(double(w) * ratio, h);
        else
            newWidth = truncated(double(h) * ratio, w);
    }
    auto offset = [align](qint64 removed) -> qint64 {
        if (align < 0) return 0;
        if (align > 0) return removed;
        return removed / 2;
    };
    const qint64 x = left + (newWidth != w ? offset(w - newWidth) : 0);
    const qint64 y = top + (newHeight != h ? offset(h - newHeight) : 0);
    return QRect(int(x), int(y), int(newWidth), int(newHeight));
}

OutputSides OutputSidesFor(int longSide, double ratio) {
    if (longSide <= 0 || !(ratio > 0) || !std::isfinite(ratio)) return {};
    const qint64 s0 = truncated(double(longSide) * ratio + 0.5, INT_MAX);
    const QRect fitted = FitRectToRatio(0, 0, longSide, int(s0), ratio, 0);
    if (fitted.isEmpty()) return {};
    return {std::max(fitted.width(), fitted.height()), std::min(fitted.width(), fitted.height())};
}

QRect PictureSourceRect(const PictureRecord& picture, bool cropped) {
    const int w = picture.displayWidth();
    const int h = picture.displayHeight();
    if (w <= 0 || h <= 0) return {};
    const QRect whole(0, 0, w, h);
    if (!cropped) return whole;
    const instructiontext::CropEdges crop = picture.cropRect();
    // The crop is taken only where it lies on the picture; what is left of it must hold pixels.
    const int left = std::max(crop.left, 0);
    const int top = std::max(crop.top, 0);
    const int right = std::min(crop.right, w);
    const int bottom = std::min(crop.bottom, h);
    if (right <= left || bottom <= top) return whole;
    return QRect(left, top, right - left, bottom - top);
}

SaveAsOptions::SaveAsOptions(SaveAsMode m) : mode(m) {
    saveCropped = mode == SaveAsMode::SaveAs || mode == SaveAsMode::SendEmail;
    if (mode == SaveAsMode::SendEmail) pictureSize = saveas::kEmailSizeRow;
}

void SaveAsOptions::setCurrentPicture(const PictureRecord* picture) {
    current_ = picture;
    refreshRowZero();
}

void SaveAsOptions::refreshRowZero() {
    rowZeroLongSide_ = 0;
    rowZeroRatio_ = 0.0;
    if (!current_) return;
    const int w = current_->displayWidth();
    const int h = current_->displayHeight();
    if (w <= 0 || h <= 0) return;
    const QRect source = PictureSourceRect(*current_, saveCropped);
    rowZeroLongSide_ = std::max(source.width(), source.height());
    rowZeroRatio_ = double(std::min(w, h)) / double(std::max(w, h));
}

int SaveAsOptions::longSideForRow(int row) const { return row == 0 ? rowZeroLongSide_ : saveas::fixedLongSide(row); }

double SaveAsOptions::ratioForRow(int row) const { return row == 0 ? rowZeroRatio_ : saveas::fixedRatio(row); }

QString SaveAsOptions::OutputSizeText() const {
    static const QString unknown = QStringLiteral("? x ?");
    if (dragAndDrop()) return unknown;
    const OutputSides sides = OutputSidesFor(longSideForRow(pictureSize), ratioForRow(pictureRatio));
    if (sides.isEmpty()) return unknown;
    return QStringLiteral("%1 x %2").arg(sides.longSide).arg(sides.shortSide);
}
