#pragma once
// What a Save As dialog instance remembers while the program runs, the Picture Size and Picture Ratio
// tables, FitRectToRatio and the Output Size text. Pure geometry: nothing here reads pixels.

#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <array>

class PictureRecord;

// The four instances of the dialog, one per command.
enum class SaveAsMode { SaveAs, BurnCd, SendEmail, DragAndDrop };

namespace saveas {

inline constexpr int kSizeRows = 9;
inline constexpr int kRatioRows = 7;
inline constexpr int kEmailSizeRow = 7;      // ".5mp", the Send Email instance's default
inline constexpr int kThumbnailSizeRow = 8;  // "Thumbnail"
inline constexpr int kInfoStripHeight = 56;  // rows added under the picture by Append Info
inline constexpr int kDefaultQuality = 75;

// The lists' entries, in row order ("Orginal", "6mp", ... and "Orginal", "2.5x3.25", ...).
const QStringList& sizeTexts();
const QStringList& ratioTexts();
// The fixed long sides of rows 1-8 and ratios (short / long) of rows 1-6; 0 for row 0 or a row
// outside the table.
int fixedLongSide(int row);
double fixedRatio(int row);

}  // namespace saveas

// Trims the rectangle (left, top, right, bottom) to the ratio short / long, keeping its longer side
// where it can. `align` is the picture's CropTo: -1 keeps the top or left part, 0 the centre, 1 the
// bottom or right part. An empty or inverted rectangle, or a ratio that is not above 0, gives the
// empty rectangle. The result's width() and height() are right - left and bottom - top.
QRect FitRectToRatio(int left, int top, int right, int bottom, double ratio, int align);

// The long and short side of an output for the long side L and the ratio r: the rectangle
// (0, 0, L, trunc(L * r + 0.5)) fitted to r. Empty for L <= 0 or a ratio that is not above 0.
struct OutputSides {
    int longSide = 0;
    int shortSide = 0;
    bool isEmpty() const { return longSide <= 0 || shortSide <= 0; }
};
OutputSides OutputSidesFor(int longSide, double ratio);

// The part of a picture a copy is made from, in pixels of the picture as displayed: its crop
// rectangle intersected with the picture when `cropped` (an empty, inverted or outside rectangle
// means the whole picture), else the whole picture. Empty when the picture's size is unknown.
QRect PictureSourceRect(const PictureRecord& picture, bool cropped);

struct SaveAsOptions {
    explicit SaveAsOptions(SaveAsMode mode = SaveAsMode::SaveAs);

    SaveAsMode mode = SaveAsMode::SaveAs;
    bool dragAndDrop() const { return mode == SaveAsMode::DragAndDrop; }
    bool email() const { return mode == SaveAsMode::SendEmail; }
    bool burn() const { return mode == SaveAsMode::BurnCd; }

    QString saveAsPath;                 // "Save As:"; empty at first
    bool saveCropped = true;            // "Save Cropped Picture"; off for Burn CD and Drag and Drop
    bool useOriginalDateTime = true;    // "Use Original Date && Time"
    int pictureSize = 0;                // row of the Picture Size list
    int pictureRatio = 0;               // row of the Picture Ratio list
    int quality = saveas::kDefaultQuality;  // 0-100
    bool appendInfo = false;            // "Append Info to Picture"
    bool keepPictureData = false;       // "Keep Picture Data": the source's IPTC data in a rendered copy
    bool datedSubFolders = false;       // Burn CD: each picture in a "%Y_%m_%d" folder of its date

    // The picture shown when the command was chosen (may be null); setting it recomputes size row 0
    // and ratio row 0. The options do not own it.
    void setCurrentPicture(const PictureRecord* picture);
    const PictureRecord* currentPicture() const { return current_; }
    // Size row 0 again, after Save Cropped Picture changed.
    void refreshRowZero();

    // The tables as the dialog shows them: row 0 from the current picture, the rest fixed.
    int longSideForRow(int row) const;
    double ratioForRow(int row) const;

    // "Orginal" size, "Orginal" ratio and no crop: the picture's own file is copied byte for byte.
    bool isPlainCopy() const { return pictureSize == 0 && pictureRatio == 0 && !saveCropped; }
    // "%d x %d" (long side first) for the current rows; "? x ?" in Drag and Drop mode, where every
    // dragged picture has its own, and when no size can be computed (no current picture).
    QString OutputSizeText() const;

private:
    const PictureRecord* current_ = nullptr;
    int rowZeroLongSide_ = 0;
    double rowZeroRatio_ = 0.0;
};
