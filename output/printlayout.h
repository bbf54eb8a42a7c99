#pragma once
// The page geometry of printing: how many pictures a page holds, how many pages a print needs, where
// each picture's position (slot) lies on a picture page and, mirrored, on an information page, when a
// slot is turned for a picture of the other orientation, which part of the picture fills it, and the
// lines of an information page. Positions are in hundredths of an inch; toDevice turns them into a
// device's pixels. Nothing here draws.

#include <QRect>
#include <QString>
#include <QStringList>

#include <functional>

class PictureRecord;

namespace print {

enum class Layout { Multiple = 0, Single = 1 };  // "Multiple/Sheet", "Single"
// "2.5 x 3.25", "3.5 x 5", "4 x 6", "5 x 7", "8 x 10"
inline constexpr int kSizeCount = 5;
inline constexpr int kDefaultSize = 2;
enum class Pages { Picture = 0, Info = 1, Both = 2 };  // "Picture", "Picture Info", double sided
inline constexpr int kMaxCopies = 99;

const QStringList& layoutTexts();
const QStringList& sizeTexts();

// What a print is made of, as the options dialog holds it.
struct PrintOptions {
    Layout layout = Layout::Multiple;
    int size = kDefaultSize;  // row of sizeTexts()
    int copies = 1;           // 1 to 99
    bool quickPreview = true;
    bool infoBorder = true;
    Pages pages = Pages::Picture;
};

int picturesPerPage(Layout layout, int size);
// Pages for `pictures` pictures: rounded up, at least 1 (also for none), doubled when double sided.
int pageCount(int pictures, Layout layout, int size, Pages pages);

// What page `page` (from 1) shows: the pictures from `first` on (at most picturesPerPage), as
// pictures or as their information. Information pages use the mirrored slots.
struct PageContent {
    int first = 0;
    bool info = false;
};
PageContent pageContent(int page, Layout layout, int size, Pages pages);

// One position on the page, in hundredths of an inch. `turned`: width and height were exchanged for
// a picture of the other orientation; the slot still covers the same part of the page, its content
// is drawn a quarter turn counter-clockwise.
struct PrintSlot {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    bool turned = false;
    bool operator==(const PrintSlot&) const = default;
    // The part of the page the slot covers, whether turned or not.
    QRect pageRect() const { return turned ? QRect(x, y, h, w) : QRect(x, y, w, h); }
};

// Slot `slot` (from 0) on a page `pageWidth` x `pageHeight` wide and high; `mirrored` for information
// pages, so that each lands behind its picture when the sheet is turned over.
PrintSlot printSlot(Layout layout, int size, int slot, int pageWidth, int pageHeight, bool mirrored);
// The slot turned when `crop` and the slot differ in orientation (one wider than tall, the other
// taller than wide); a square on either side turns nothing.
PrintSlot turnSlot(const PrintSlot& slot, const QRect& crop);

// The part of `crop` (the picture's crop rectangle, already inside the picture) that fills slot
// `slot`, trimmed to the print size's proportions along one side and placed by `cropTo` (-1 start,
// 0 centre, 1 end). When the crop is squarer than the print, the span the proportions ask for is
// longer than the crop; then the other side is trimmed instead, so that nothing outside the picture
// is printed and nothing is stretched.
QRect trimCrop(const QRect& crop, Layout layout, int size, int slot, bool turned, int cropTo);

// Hundredths of an inch in pixels of a device with `dotsPerInch`, and back.
inline int toDevice(int hundredths, int dotsPerInch) { return int(qint64(hundredths) * dotsPerInch / 100); }
inline int toHundredths(int pixels, int dotsPerInch) {
    return dotsPerInch > 0 ? int(qint64(pixels) * 100 / dotsPerInch) : 0;
}

// The lines of a picture's information: with an event, the headline, the event name, the place, the
// people (wrapped so that no line is wider than `maxWidth` as `textWidth` measures it), the date and
// the file name; without one, the date and the file name.
QStringList infoLines(const PictureRecord& picture, int maxWidth, const std::function<int(const QString&)>& textWidth);
// The people joined with ", ", a new line started before a name that would make the line wider than
// `maxWidth`. A name wider than that on its own keeps a line to itself.
QStringList wrapPeople(const QStringList& people, int maxWidth, const std::function<int(const QString&)>& textWidth);

// The document title of a print: "%s (%d pictures)".
QString documentTitle(const QString& selectionText, int pictures);

}  // namespace print
