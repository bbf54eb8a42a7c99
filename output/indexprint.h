#pragma once
// The index print: one JPEG contact sheet of pictures laid out in a grid of equal cells, each filled
// cell outlined on a coloured background. The layout, its limits, the colour list of the dialog and
// the drawing; the dialog only gathers the choices.

#include <QColor>
#include <QImage>
#include <QList>
#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>

#include "writeerror.h"

class PictureRecord;

namespace indexprint {

inline constexpr int kDefaultColumns = 5;
inline constexpr int kMaxColumns = 100;
// The JPEG encoder's side limit, and the largest sheet drawn at all.
inline constexpr int kMaxSide = 65500;
inline constexpr qint64 kMaxPixels = 250'000'000;

// "160x120", "120x90", "80x60", "40x30" and their cell sizes.
const QStringList& cellTexts();
QSize cellSize(int index);  // an index outside the list gives the first size
int cellIndex(const QString& text);  // -1 when it is not one of the texts

// The colour list: "Black" ... "Fuchsia", then "Custom..." (not listed here: its colour is the user's).
struct NamedColor {
    QString name;
    QColor color;
};
const QList<NamedColor>& colors();
inline constexpr int kLightGrey = 3;  // "Lt Grey", the background on the first opening
inline constexpr int kBlack = 0;      // the line colour
// A colour by the list's name (without regard to case or spaces) or as #rrggbb; invalid when neither.
QColor colorByName(const QString& text);

// Rows and the sheet's size for a number of pictures.
struct Layout {
    int columns = 0;
    int rows = 0;
    QSize cell;
    QSize sheet;  // columns x cell width, rows x cell height
    QString sizeText() const;  // "%d x %d"
};
Layout layoutFor(int pictures, int columns, QSize cell);
// Why no sheet can be made of this layout; empty when one can.
QString layoutProblem(const Layout& layout, int pictures);

// Where a picture whose source part is `source` is drawn in `cell`: an upright part as an upright
// frame of 3/4 of the cell's height, centred; any other part fills the cell.
QRect targetRect(const QRect& cell, const QRect& source);

}  // namespace indexprint

struct IndexPrintOptions {
    int columns = indexprint::kDefaultColumns;
    QSize cell = indexprint::cellSize(0);
    QColor background = indexprint::colors().at(indexprint::kLightGrey).color;
    QColor line = indexprint::colors().at(indexprint::kBlack).color;
};

struct IndexPrintProgress {
    // "Creating Index, image %d of %d..." while working (busy), "Ready" at the end.
    std::function<void(const QString& text, bool busy)> status;
    std::function<void(int done, int total)> step;
};

struct IndexSheet {
    QImage image;             // RGB; null when the layout was refused
    QStringList unloaded;     // "name: reason" of the pictures whose cells stayed empty
};

// Draws the sheet: pictures decoded on every core, each at the smallest scale that covers its cell.
// A picture that cannot be read leaves its cell as background (outlined) and is named.
IndexSheet DrawIndexSheet(const QList<PictureRecord*>& pictures, const IndexPrintOptions& options,
                          const IndexPrintProgress& progress = {});

struct IndexPrintResult {
    bool written = false;      // the sheet is at the path
    bool complete = false;     // written with every picture in it
    QString message;           // what failed and why; empty on complete success
};

// The Create button: checks the path and layout, draws and writes the sheet through the safe write.
// Nothing is written for an empty selection or a refused layout.
IndexPrintResult CreateIndexPrint(const QList<PictureRecord*>& pictures, const IndexPrintOptions& options,
                                  const QString& path, const IndexPrintProgress& progress = {});
