// snaplore-cli print end to end: the PDF's pages rendered with pdftoppm, and where the pictures and
// the information landed on them.

#include "programrun.h"
#include "testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include "picturerecord.h"

using testsupport::SandBox;

namespace {

using testsupport::ProgramRun;
using ToolRun = ProgramRun;

ToolRun runTool(const QString& program, const QStringList& args) { return testsupport::runProgram(program, args); }

ToolRun printPdf(const QStringList& args) { return runTool(QStringLiteral(SNAPLORE_CLI_PATH), QStringList{"print"} + args); }

// A picture of one colour.
QString makePicture(const SandBox& box, const QString& name, QSize size, QColor colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    const QString path = box.filePath(name);
    image.save(path, "JPEG", 95);
    return path;
}

int pageCount(const QString& pdf) {
    const ToolRun info = runTool("pdfinfo", {pdf});
    const QRegularExpressionMatch m = QRegularExpression(R"(Pages:\s+(\d+))").match(info.out);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// Page `page` of the PDF at 20 dots per inch: a Letter page is 170 x 220.
QImage renderPage(const SandBox& box, const QString& pdf, int page) {
    const QString prefix = box.filePath(QStringLiteral("page%1").arg(page));
    const ToolRun run = runTool("pdftoppm", {"-r", "20", "-f", QString::number(page), "-l", QString::number(page),
                                         "-singlefile", "-png", pdf, prefix});
    EXPECT_EQ(run.status, 0) << "pdftoppm: " << run.err.toStdString();
    return QImage(prefix + ".png").convertToFormat(QImage::Format_RGB32);
}

bool near(QRgb a, QColor b) {
    return std::abs(qRed(a) - b.red()) < 50 && std::abs(qGreen(a) - b.green()) < 50 && std::abs(qBlue(a) - b.blue()) < 50;
}
bool white(QRgb a) { return qRed(a) > 235 && qGreen(a) > 235 && qBlue(a) > 235; }

// The smallest rectangle that holds every pixel the test accepts.
template <typename Accept>
QRect bounds(const QImage& image, Accept accept) {
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (accept(image.pixel(x, y))) box |= QRect(x, y, 1, 1);
    return box;
}

// Edges within two pixels: rendering rounds and smooths the edges.
::testing::AssertionResult roughly(const QRect& actual, const QRect& expected) {
    const bool ok = std::abs(actual.left() - expected.left()) <= 2 && std::abs(actual.top() - expected.top()) <= 2 &&
                    std::abs(actual.right() - expected.right()) <= 2 &&
                    std::abs(actual.bottom() - expected.bottom()) <= 2;
    if (ok) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "found (" << actual.x() << ", " << actual.y() << ", " << actual.width()
                                         << " x " << actual.height() << "), expected (" << expected.x() << ", "
                                         << expected.y() << ", " << expected.width() << " x " << expected.height()
                                         << ")";
}

// Hundredths of an inch on the page rendered at 20 dpi.
QRect at20dpi(int x, int y, int w, int h) { return QRect(x / 5, y / 5, (x + w) / 5 - x / 5, (y + h) / 5 - y / 5); }

bool havePoppler() { return runTool("pdftoppm", {"-v"}).status == 0; }

}  // namespace

TEST(CliPrint, FourBySixPicturesLandInTheirSlots) {
    ASSERT_TRUE(havePoppler()) << "pdftoppm (poppler-utils) is needed";
    SandBox box;
    const QColor red(220, 30, 30), blue(30, 30, 220), green(30, 180, 30), orange(240, 150, 20);
    // Landscape pictures turn the upright slots 0 and 1; the portrait one turns the wide slot 2.
    const QStringList files{makePicture(box, "a.jpg", {300, 200}, red), makePicture(box, "b.jpg", {300, 200}, blue),
                            makePicture(box, "c.jpg", {200, 300}, green), makePicture(box, "d.jpg", {200, 300}, orange)};
    const QString pdf = box.filePath("out.pdf");
    const ToolRun run = printPdf(QStringList{"--pdf", pdf, "--paper", "letter", "--size", "4x6"} + files);
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.out, pdf + "\n");
    EXPECT_EQ(pageCount(pdf), 2);

    const QImage page = renderPage(box, pdf, 1);
    ASSERT_EQ(page.size(), QSize(170, 220));
    EXPECT_TRUE(roughly(bounds(page, [&](QRgb p) { return near(p, red); }), at20dpi(0, 25, 400, 600)));
    EXPECT_TRUE(roughly(bounds(page, [&](QRgb p) { return near(p, blue); }), at20dpi(406, 25, 400, 600)));
    EXPECT_TRUE(roughly(bounds(page, [&](QRgb p) { return near(p, green); }), at20dpi(0, 650, 600, 400)));
    EXPECT_TRUE(roughly(bounds(page, [](QRgb p) { return !white(p); }), at20dpi(0, 25, 806, 1025)));
    EXPECT_TRUE(roughly(bounds(renderPage(box, pdf, 2), [&](QRgb p) { return near(p, orange); }),
                        at20dpi(0, 25, 400, 600)));

    // "Single" "8 x 10": centred, (25, 50) on the Letter page.
    const ToolRun single = printPdf({"--pdf", pdf, "--overwrite", "--paper", "letter", "--layout", "single", "--size",
                                 "8x10", files[2]});
    ASSERT_EQ(single.status, 0) << single.err.toStdString();
    EXPECT_EQ(pageCount(pdf), 1);
    EXPECT_TRUE(roughly(bounds(renderPage(box, pdf, 1), [&](QRgb p) { return !white(p); }),
                        at20dpi(25, 50, 800, 1000)));
}

TEST(CliPrint, DoubleSidedInformationSitsInTheMirroredSlot) {
    ASSERT_TRUE(havePoppler()) << "pdftoppm (poppler-utils) is needed";
    SandBox box;
    const QString path = makePicture(box, "lake.jpg", {300, 200}, QColor(30, 30, 220));
    {
        PictureRecord picture(path);
        picture.iptc().event = "Summer";
        picture.iptc().headline = "On the lake";
        picture.iptc().people = {"Ann", "Bob"};
        picture.iptc().WriteIptc();
    }
    QStringList files;
    for (int i = 0; i < 7; ++i) files << path;
    const QString pdf = box.filePath("both.pdf");
    const ToolRun run = printPdf(QStringList{"--pdf", pdf, "--paper", "letter", "--pages", "both"} + files);
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(pageCount(pdf), 6);

    // Page 2 holds the information of page 1's three pictures, in mirrored slots: slot 0 at the right.
    const QImage info = renderPage(box, pdf, 2);
    const QRect slot0 = at20dpi(850 - 400, 25, 400, 600);
    const QRect slot1 = at20dpi(850 - 806, 25, 400, 600);
    const QRect slot2 = at20dpi(850 - 600, 650, 600, 400);
    EXPECT_TRUE(roughly(bounds(info, [](QRgb p) { return !white(p); }), slot0 | slot1 | slot2));
    // The text of slot 0 lies inside its border.
    QImage inside = info.copy(slot0.adjusted(3, 3, -3, -3));
    const QRect text = bounds(inside, [](QRgb p) { return qGray(p) < 160; });
    EXPECT_FALSE(text.isEmpty());

    // Without the border only the text is left, still inside the mirrored slot.
    const ToolRun bare = printPdf(QStringList{"--pdf", pdf, "--overwrite", "--paper", "letter", "--pages", "info",
                                          "--no-border", path});
    ASSERT_EQ(bare.status, 0) << bare.err.toStdString();
    const QRect ink = bounds(renderPage(box, pdf, 1), [](QRgb p) { return !white(p); });
    EXPECT_FALSE(ink.isEmpty());
    EXPECT_TRUE(slot0.contains(ink)) << ink.x() << "," << ink.y() << " " << ink.width() << "x" << ink.height();
}

TEST(CliPrint, FoldersEventsAndFailures) {
    ASSERT_TRUE(havePoppler()) << "pdftoppm (poppler-utils) is needed";
    SandBox box;
    QDir().mkpath(box.filePath("folder"));
    const QColor red(220, 30, 30), green(30, 180, 30);
    makePicture(box, "folder/one.jpg", {200, 300}, red);
    const QString two = makePicture(box, "folder/two.jpg", {200, 300}, green);
    {
        PictureRecord picture(two);
        picture.iptc().event = "Summer";
        picture.iptc().headline = "Two";
        picture.iptc().WriteIptc();
    }
    const QString pdf = box.filePath("event.pdf");
    const ToolRun run = printPdf({"--pdf", pdf, "--paper", "a4", "--event", "Summer", box.filePath("folder")});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QImage page = renderPage(box, pdf, 1);
    EXPECT_FALSE(bounds(page, [&](QRgb p) { return near(p, green); }).isEmpty());
    EXPECT_TRUE(bounds(page, [&](QRgb p) { return near(p, red); }).isEmpty());

    // Nothing to print writes nothing.
    const QString none = box.filePath("none.pdf");
    const ToolRun empty = printPdf({"--pdf", none, "--event", "Winter", box.filePath("folder")});
    EXPECT_EQ(empty.status, 1);
    EXPECT_TRUE(empty.err.contains("nothing to print")) << empty.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(none));

    // A picture of unknown size and a missing file are named; the rest is printed.
    const QString unknown = box.filePath("unknown.jpg");
    testsupport::writeAll(unknown, QByteArray::fromHex("ffd8ffe000104a46494600010100000100010000ffd9"));
    const QString mixed = box.filePath("mixed.pdf");
    const ToolRun failing = printPdf({"--pdf", mixed, "--paper", "letter", unknown, box.filePath("gone.jpg"), two});
    EXPECT_EQ(failing.status, 1);
    EXPECT_TRUE(failing.err.contains("unknown.jpg: the picture's size is unknown")) << failing.err.toStdString();
    EXPECT_TRUE(failing.err.contains("gone.jpg")) << failing.err.toStdString();
    EXPECT_EQ(failing.out, mixed + "\n");
    // The unknown picture keeps its place (slot 0) blank; the next one is in slot 1.
    const QImage mixedPage = renderPage(box, mixed, 1);
    EXPECT_TRUE(roughly(bounds(mixedPage, [&](QRgb p) { return near(p, green); }), at20dpi(406, 25, 400, 600)));

    // A PDF that cannot be written says why, not that the pages could not be drawn.
    for (const QString& target : {box.filePath("no/such/folder.pdf"), QStringLiteral("/dev/null")}) {
        const ToolRun unwritable = printPdf({"--pdf", target, "--overwrite", two});
        EXPECT_EQ(unwritable.status, 1);
        EXPECT_TRUE(unwritable.err.contains(target + ": cannot ")) << unwritable.err.toStdString();
        EXPECT_FALSE(unwritable.err.contains("could not be drawn")) << unwritable.err.toStdString();
    }

    // An existing PDF is kept without --overwrite; bad values are refused before anything is done.
    EXPECT_EQ(printPdf({"--pdf", mixed, two}).status, 1);
    EXPECT_EQ(printPdf({"--pdf", mixed, "--copies", "100", two}).status, 2);
    EXPECT_EQ(printPdf({"--pdf", mixed, "--size", "4x5", two}).status, 2);
    EXPECT_EQ(printPdf({"--pdf", mixed, "--event", "Summer", two}).status, 2);
}
