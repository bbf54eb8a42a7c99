#pragma once
// The pages of a print, drawn on any paged device: the printer, the print preview (which records the
// printer's pages) or a PDF writer, so that printing, preview and snaplore-cli share one drawing.
// Picture pages hold one picture at a time, decoded only at the size its slot needs at the device's
// resolution (never above the picture's own) and released before the next.

#include <QList>
#include <QString>

#include "printlayout.h"

class PictureRecord;
class QPagedPaintDevice;
class QPainter;
class QSize;

// A picture that left its place on the page blank, and why.
struct PrintFailure {
    QString picture;  // its file name (its path when it has none)
    QString reason;
};

class CPrintView {
public:
    // `pictures` in print order (copies included); the view does not own them. `webSite` is printed
    // under each picture's information.
    CPrintView(QList<PictureRecord*> pictures, const print::PrintOptions& options, const QString& webSite);

    // A preview with Quick Preview on draws from each picture's thumbnail.
    void setPreview(bool preview) { preview_ = preview; }
    int pageCount() const;
    int pictureCount() const { return int(pictures_.size()); }

    // Draws pages `fromPage` to `toPage` (from 1; 0 means the first or the last) on `device`, with a
    // new page between them. False when the device could not be painted on.
    bool print(QPagedPaintDevice& device, int fromPage = 0, int toPage = 0);
    // Draws page `page` with `painter` on a printable area of `pixels` at `dpiX` x `dpiY`.
    void drawPage(QPainter& painter, int page, const QSize& pixels, int dpiX, int dpiY);

    // The pictures met so far that could not be drawn (each named once).
    const QList<PrintFailure>& failures() const { return failures_; }
    // One message naming them; empty when there was none.
    QString failureReport() const;

private:
    void drawPicture(QPainter& painter, PictureRecord& picture, int index, const print::PrintSlot& slot, int dpiX,
                     int dpiY);
    void drawInfo(QPainter& painter, PictureRecord& picture, const print::PrintSlot& slot, int dpiX, int dpiY);
    void fail(const PictureRecord& picture, const QString& reason);

    QList<PictureRecord*> pictures_;
    print::PrintOptions options_;
    QString webSite_;
    bool preview_ = false;
    QList<PrintFailure> failures_;
};
