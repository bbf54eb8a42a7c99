#include "printlayout.h"

#include <algorithm>
#include <array>

#include <QLocale>

#include "picturerecord.h"

namespace print {

namespace {

struct SizeRow {
    int w, h;            // the print, upright, in hundredths of an inch
    int halfW, halfH;    // the halves that centre it on the page
    int multiplePerPage;
    double shortSide, longSide;  // inches, for the proportions of "Single"
};

constexpr std::array<SizeRow, kSizeCount> kSizes{{
    {250, 325, 125, 162, 9, 2.5, 3.25},
    {350, 500, 175, 250, 4, 3.5, 5},
    {400, 600, 200, 300, 3, 4, 6},
    {500, 700, 250, 350, 2, 5, 7},
    {800, 1000, 400, 500, 1, 8, 10},
}};

const SizeRow& row(int size) { return kSizes[size_t(std::clamp(size, 0, kSizeCount - 1))]; }

// "%b %d, %Y at %I:%M %p", the info texts' date, in English whatever the user's language.
QString infoDate(const QDateTime& dateTime) {
    return QLocale::c().toString(dateTime, QStringLiteral("MMM dd, yyyy 'at' hh:mm AP"));
}

bool landscape(int w, int h) { return w > h; }
bool portrait(int w, int h) { return w < h; }

// How one side of the crop is trimmed: which side, and the new length from the other side.
enum class Side { Width, Height };

}  // namespace

const QStringList& layoutTexts() {
    static const QStringList texts{QStringLiteral("Multiple/Sheet"), QStringLiteral("Single")};
    return texts;
}

const QStringList& sizeTexts() {
    static const QStringList texts{QStringLiteral("2.5 x 3.25"), QStringLiteral("3.5 x 5"), QStringLiteral("4 x 6"),
                                   QStringLiteral("5 x 7"), QStringLiteral("8 x 10")};
    return texts;
}

int picturesPerPage(Layout layout, int size) { return layout == Layout::Single ? 1 : row(size).multiplePerPage; }

int pageCount(int pictures, Layout layout, int size, Pages pages) {
    const int perPage = picturesPerPage(layout, size);
    const int count = std::max(1, (std::max(0, pictures) + perPage - 1) / perPage);
    return pages == Pages::Both ? count * 2 : count;
}

PageContent pageContent(int page, Layout layout, int size, Pages pages) {
    const int perPage = picturesPerPage(layout, size);
    page = std::max(1, page);
    if (pages == Pages::Both) return {(page + 1) / 2 * perPage - perPage, page % 2 == 0};
    return {(page - 1) * perPage, pages == Pages::Info};
}

PrintSlot printSlot(Layout layout, int size, int a, int W, int H, bool mirrored) {
    const SizeRow& r = row(size);
    if (layout == Layout::Single) return {W / 2 - r.halfW, H / 2 - r.halfH, r.w, r.h};
    switch (r.multiplePerPage) {
        case 9: {
            const int col = a % 3, line = a / 3;
            return {mirrored ? W - col * 262 - 262 : col * 262 + 12, line * 337 + 12, 250, 325};
        }
        case 4: {
            const int col = a % 2, line = a / 2;
            return {mirrored ? W - col * 375 - 375 : col * 375 + 25, line * 525 + 25, 350, 500};
        }
        case 3:
            if (a == 0) return {mirrored ? W - 400 : 0, 25, 400, 600};
            if (a == 1) return {mirrored ? std::max(0, W - 806) : (W > 805 ? 406 : W - 400), 25, 400, 600};
            return {mirrored ? W - 600 : 0, 650, 600, 400};
        case 2:
            return {mirrored ? W - 775 : 75, (a + 1) / 2 * 525 + 25, 700, 500};
        default:
            return {mirrored ? W - 812 : 12, 25, 800, 1000};
    }
}

PrintSlot turnSlot(const PrintSlot& slot, const QRect& crop) {
    const bool differ = (landscape(crop.width(), crop.height()) && portrait(slot.w, slot.h)) ||
                        (portrait(crop.width(), crop.height()) && landscape(slot.w, slot.h));
    if (!differ) return slot;
    return {slot.x, slot.y, slot.h, slot.w, !slot.turned};
}

QRect trimCrop(const QRect& crop, Layout layout, int size, int a, bool turned, int cropTo) {
    const qint64 w = crop.width(), h = crop.height();
    if (w <= 0 || h <= 0) return {};
    // Which side the proportions trim, to the other side times what factor; straight from the print
    // sizes' ratios.
    Side side = Side::Width;
    double factor = 1;
    const auto width = [&](double f) { side = Side::Width, factor = f; };   // width = trunc(h * f)
    const auto height = [&](double f) { side = Side::Height, factor = f; };  // height = trunc(w * f)
    constexpr double kTwoThirds = 0.6666666666666666;
    const SizeRow& r = row(size);
    if (layout == Layout::Single) {
        const double shortOverLong = r.shortSide / r.longSide;
        turned ? height(shortOverLong) : width(shortOverLong);
    } else {
        switch (r.multiplePerPage) {
            case 9: turned ? width(1.3) : height(1.3); break;
            case 4: turned ? height(0.7) : width(0.7); break;
            case 3:
                if (a == 2)
                    turned ? width(kTwoThirds) : height(kTwoThirds);
                else
                    turned ? height(kTwoThirds) : width(kTwoThirds);
                break;
            case 2: turned ? width(5.0 / 7.0) : height(5.0 / 7.0); break;
            default: turned ? width(1.25) : height(1.25); break;
        }
    }
    const qint64 source = side == Side::Width ? h : w;
    qint64 length = side == Side::Width ? qint64(double(h) * factor) : qint64(double(w) * factor);
    // 5 / 7 in integers, as the print size's own fraction.
    if (factor == 5.0 / 7.0) length = source * 5 / 7;
    const qint64 old = side == Side::Width ? w : h;
    if (length > old) {
        // The crop is squarer than the print: the other side is trimmed to the same proportions.
        side = side == Side::Width ? Side::Height : Side::Width;
        length = std::min(source, qint64(double(old) / factor));
    }
    length = std::max<qint64>(1, length);
    const qint64 span = side == Side::Width ? w : h;
    const qint64 removed = span - length;
    const qint64 offset = cropTo == 1 ? removed : cropTo == -1 ? 0 : removed / 2;
    if (side == Side::Width) return QRect(crop.left() + int(offset), crop.top(), int(length), int(h));
    return QRect(crop.left(), crop.top() + int(offset), int(w), int(length));
}

QStringList wrapPeople(const QStringList& people, int maxWidth, const std::function<int(const QString&)>& textWidth) {
    QStringList lines;
    QString line;
    for (const QString& name : people) {
        if (line.isEmpty()) {
            line = name;
            continue;
        }
        const QString longer = line + QStringLiteral(", ") + name;
        if (textWidth(longer) > maxWidth) {
            lines << line + QLatin1Char(',');
            line = name;
        } else {
            line = longer;
        }
    }
    lines << line;
    return lines;
}

QStringList infoLines(const PictureRecord& picture, int maxWidth, const std::function<int(const QString&)>& textWidth) {
    const IptcBlock& iptc = picture.iptc();
    if (iptc.event.isEmpty()) return {infoDate(picture.dateTime()), picture.fileName()};
    const qsizetype separator = iptc.event.indexOf(QStringLiteral(":::"));
    const QString eventName = separator > 0 ? iptc.event.mid(separator + 3) : iptc.event;
    QStringList lines{iptc.headline, eventName,
                      iptc.location + QStringLiteral(", ") + iptc.city + QStringLiteral(" , ") + iptc.state};
    lines << wrapPeople(iptc.people, maxWidth, textWidth);
    lines << infoDate(iptc.dateTime) << picture.fileName();
    return lines;
}

QString documentTitle(const QString& selectionText, int pictures) {
    return QStringLiteral("%1 (%2 pictures)").arg(selectionText).arg(pictures);
}

}  // namespace print
