#include "indexprint.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>
#include <QPainter>
#include <QRegularExpression>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <cmath>
#include <vector>

#include "picturerecord.h"
#include "safewrite.h"
#include "samefile.h"
#include "thumbnailmaker.h"
#include "saveas.h"
#include "saveasoptions.h"

namespace indexprint {

const QStringList& cellTexts() {
    static const QStringList texts{QStringLiteral("160x120"), QStringLiteral("120x90"), QStringLiteral("80x60"),
                                   QStringLiteral("40x30")};
    return texts;
}

QSize cellSize(int index) {
    static const QSize sizes[] = {{160, 120}, {120, 90}, {80, 60}, {40, 30}};
    return sizes[index >= 0 && index < 4 ? index : 0];
}

int cellIndex(const QString& text) { return int(cellTexts().indexOf(text.toLower())); }

const QList<NamedColor>& colors() {
    static const QList<NamedColor> list{
        {QStringLiteral("Black"), QColor(0, 0, 0)},      {QStringLiteral("White"), QColor(255, 255, 255)},
        {QStringLiteral("Grey"), QColor(127, 127, 127)}, {QStringLiteral("Lt Grey"), QColor(192, 192, 192)},
        {QStringLiteral("Red"), QColor(255, 0, 0)},      {QStringLiteral("Orange"), QColor(255, 127, 0)},
        {QStringLiteral("Yellow"), QColor(255, 255, 0)}, {QStringLiteral("Green"), QColor(0, 255, 0)},
        {QStringLiteral("Cyan"), QColor(0, 255, 255)},   {QStringLiteral("Blue"), QColor(0, 0, 255)},
        {QStringLiteral("Fuchsia"), QColor(255, 0, 255)},
    };
    return list;
}

QColor colorByName(const QString& text) {
    const auto squeezed = [](QString s) { return s.remove(QLatin1Char(' ')).toLower(); };
    for (const NamedColor& named : colors())
        if (squeezed(named.name) == squeezed(text)) return named.color;
    static const QRegularExpression hex(QStringLiteral("^#[0-9A-Fa-f]{6}$"));
    if (hex.match(text).hasMatch()) return QColor(text);
    return {};
}

QString Layout::sizeText() const { return QStringLiteral("%1 x %2").arg(sheet.width()).arg(sheet.height()); }

Layout layoutFor(int pictures, int columns, QSize cell) {
    Layout layout;
    layout.columns = columns;
    layout.cell = cell;
    if (columns > 0) layout.rows = std::max(0, pictures) / columns + (std::max(0, pictures) % columns ? 1 : 0);
    layout.sheet = QSize(int(std::min<qint64>(qint64(columns) * cell.width(), INT_MAX)),
                         int(std::min<qint64>(qint64(layout.rows) * cell.height(), INT_MAX)));
    return layout;
}

QString layoutProblem(const Layout& layout, int pictures) {
    if (layout.columns < 1 || layout.columns > kMaxColumns)
        return QStringLiteral("Cols must be a number from 1 to %1.").arg(kMaxColumns);
    if (pictures <= 0) return QStringLiteral("There are no pictures to put in the index.");
    const QSize s = layout.sheet;
    if (s.width() > kMaxSide || s.height() > kMaxSide)
        return QStringLiteral("The index would be %1 pixels; a JPEG file holds at most %2 pixels on a side.")
            .arg(layout.sizeText())
            .arg(kMaxSide);
    if (qint64(s.width()) * s.height() > kMaxPixels)
        return QStringLiteral("The index would be %1 pixels, more than %2 megapixels.")
            .arg(layout.sizeText())
            .arg(kMaxPixels / 1'000'000);
    return {};
}

QRect targetRect(const QRect& cell, const QRect& source) {
    if (source.width() < source.height()) {
        const int half = int(cell.height() * 0.75) / 2;
        const int middle = cell.left() + cell.width() / 2;
        return QRect(middle - half, cell.top(), 2 * half, cell.height());
    }
    return cell;
}

}  // namespace indexprint

namespace {

// A new file gets the time of writing, never that of a file it replaces.
SafeWriteOptions freshTimes() {
    SafeWriteOptions options;
    options.keepTimes = false;
    return options;
}

struct Cell {
    QImage image;
    QString problem;
};

// The picture's own small copy when it covers `size`: the camera's thumbnail (without its bars) or
// the stored one, for a picture drawn whole. Reading it costs a fraction of decoding the picture.
QImage embeddedCopy(const PictureRecord& picture, const QRect& source, QSize size) {
    const QSize display(picture.displayWidth(), picture.displayHeight());
    if (source != QRect(QPoint(0, 0), display)) return {};
    QImage image =
        thumbnails::TurnedDecoder(picture.exifThumbnail(), thumbnails::quarterTurns(picture.rotation())).read();
    if (!image.isNull()) image = image.copy(thumbnails::pictureBand(image.size(), display));
    if (image.isNull() && picture.iptc().hasThumbnail()) image = picture.iptc().thumbnail();
    if (image.isNull() || image.width() < size.width() || image.height() < size.height()) return {};
    // A thumbnail of another shape than the picture is not the picture.
    const double ratio = double(image.width()) / image.height(), own = double(display.width()) / display.height();
    if (std::abs(ratio - own) > 0.02 * own) return {};
    return image.size() == size ? image : image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QString nameOf(const PictureRecord& picture) {
    return picture.fileName().isEmpty() ? picture.filePath() : picture.fileName();
}

}  // namespace

IndexSheet DrawIndexSheet(const QList<PictureRecord*>& pictures, const IndexPrintOptions& options,
                          const IndexPrintProgress& progress) {
    using namespace indexprint;
    IndexSheet sheet;
    const int total = int(pictures.size());
    const Layout layout = layoutFor(total, options.columns, options.cell);
    if (!layoutProblem(layout, total).isEmpty()) return sheet;
    const int w = options.cell.width(), h = options.cell.height();

    // Always RGB, whatever the pictures are.
    sheet.image = QImage(layout.sheet, QImage::Format_RGB32);
    sheet.image.fill(options.background);
    QPainter painter(&sheet.image);
    painter.setPen(QPen(options.line, 1));

    // Decoded a chunk at a time on every core; drawn here in order.
    constexpr int kChunk = 64;
    for (int first = 0; first < total; first += kChunk) {
        const int end = std::min(total, first + kChunk);
        std::vector<int> indices;
        for (int i = first; i < end; ++i) indices.push_back(i);
        const QList<Cell> cells = QtConcurrent::blockingMapped<QList<Cell>>(indices, [&](int i) {
            Cell cell;
            const PictureRecord* picture = pictures[i];
            if (!picture) {
                cell.problem = QStringLiteral("no picture");
                return cell;
            }
            const int row = i / options.columns, col = i % options.columns;
            const QRect source = PictureSourceRect(*picture, true);
            if (source.isEmpty()) {
                cell.problem = QFileInfo::exists(picture->filePath()) ? QStringLiteral("the picture's size is unknown")
                                                                      : QStringLiteral("the picture's file is missing");
                return cell;
            }
            // An archived picture whose file is gone is not drawn from its stored thumbnail.
            if (!QFileInfo::exists(picture->filePath())) {
                cell.problem = QStringLiteral("the picture's file is missing");
                return cell;
            }
            const QRect target = targetRect(QRect(col * w, row * h, w, h), source);
            cell.image = embeddedCopy(*picture, source, target.size());
            if (!cell.image.isNull()) return cell;
            QString error;
            cell.image = RenderPicturePart(*picture, source, target.size(), &error);
            if (cell.image.isNull()) cell.problem = error.isEmpty() ? QStringLiteral("it cannot be read") : error;
            return cell;
        });
        for (int i = first; i < end; ++i) {
            if (progress.status)
                progress.status(QStringLiteral("Creating Index, image %1 of %2...").arg(i + 1).arg(total), true);
            const int row = i / options.columns, col = i % options.columns;
            const Cell& cell = cells[i - first];
            if (!cell.image.isNull()) {
                const QRect source = PictureSourceRect(*pictures[i], true);
                painter.drawImage(targetRect(QRect(col * w, row * h, w, h), source).topLeft(), cell.image);
            } else {
                sheet.unloaded << QStringLiteral("%1: %2").arg(pictures[i] ? nameOf(*pictures[i]) : QStringLiteral("?"),
                                                              cell.problem);
            }
            const int x0 = col * w, y0 = row * h, x1 = (col + 1) * w, y1 = (row + 1) * h;
            painter.drawLine(x0, y0, x1, y0);
            painter.drawLine(x1, y0, x1, y1);
            painter.drawLine(x1, y1, x0, y1);
            painter.drawLine(x0, y1, x0, y0);
            if (progress.step) progress.step(i + 1, total);
        }
    }
    painter.end();
    if (progress.status) progress.status(QStringLiteral("Ready"), false);
    return sheet;
}

IndexPrintResult CreateIndexPrint(const QList<PictureRecord*>& pictures, const IndexPrintOptions& options,
                                  const QString& path, const IndexPrintProgress& progress) {
    IndexPrintResult result;
    if (path.trimmed().isEmpty()) {
        result.message = QStringLiteral("No index file was written: no file name was given.");
        return result;
    }
    if (const QString input = InputAtOutput(path, pictures); !input.isEmpty()) {
        result.message = QStringLiteral("No index file was written: %1.").arg(OutputIsInputText(path, input));
        return result;
    }
    const int total = int(pictures.size());
    const indexprint::Layout layout = indexprint::layoutFor(total, options.columns, options.cell);
    if (const QString problem = indexprint::layoutProblem(layout, total); !problem.isEmpty()) {
        result.message = QStringLiteral("No index file was written. %1").arg(problem);
        return result;
    }
    IndexSheet sheet = DrawIndexSheet(pictures, options, progress);
    QByteArray jpeg;
    {
        QBuffer buffer(&jpeg);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        if (!writer.write(sheet.image)) {
            result.message = QStringLiteral("No index file was written: %1").arg(writer.errorString());
            return result;
        }
    }
    sheet.image = QImage();
    const WriteResult write = safeWrite(path, [&](QFile& file) { return file.write(jpeg) == jpeg.size(); }, {},
                                        freshTimes());
    if (!write) {
        result.message = QStringLiteral("%1 could not be written: %2").arg(path, describe(write));
        return result;
    }
    result.written = true;
    result.complete = sheet.unloaded.isEmpty();
    if (!result.complete)
        result.message = QStringLiteral("The index was written to %1, but these pictures could not be read and "
                                        "their cells are empty:\n%2")
                             .arg(path, sheet.unloaded.join(QLatin1Char('\n')));
    return result;
}
