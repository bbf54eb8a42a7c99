// The index print, the data report and the HTML export: the sheet checked on its pixels, the reports'
// texts, the site's pages, names and links, and what happens when something cannot be written.

#include "catalog.h"
#include "datareport.h"
#include "exportentries.h"
#include "htmlexport.h"
#include "indexprint.h"
#include "outputtesthelpers.h"
#include "picturerecord.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <QDate>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImageReader>
#include <QRegularExpression>

#include <memory>
#include <vector>

using outputtest::makePicture;
using outputtest::near;
using testsupport::SandBox;

namespace {

// Pictures held for a test, and entries over them: events each followed by their pictures.
class Source {
public:
    PictureRecord* picture(const QString& path = {}) {
        pictures_.push_back(path.isEmpty() ? std::make_unique<PictureRecord>() : std::make_unique<PictureRecord>(path));
        return pictures_.back().get();
    }
    PictureRecord* add(const QString& path = {}) {
        PictureRecord* p = picture(path);
        OutputEntry entry;
        entry.kind = OutputEntry::Kind::Picture;
        entry.picture = p;
        entry.fileName = p->fileName();
        entry.path = p->filePath();
        entries.append(entry);
        return p;
    }
    void event(const QString& text, const QString& path = QStringLiteral("/photos/Trip")) {
        OutputEntry entry;
        entry.kind = OutputEntry::Kind::Event;
        entry.fileName = text;
        entry.path = path;
        entries.append(entry);
    }
    QList<OutputEntry> entries;

private:
    std::vector<std::unique_ptr<PictureRecord>> pictures_;
};

QString readText(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void writeText(const QString& path, const QString& text) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(text.toUtf8());
}

// Writes picture data into a picture file and reads it again.
PictureRecord* withData(Source& source, const QString& path, const QString& event, const QString& headline = {},
                        const QString& city = {}) {
    {
        PictureRecord picture(path);
        picture.iptc().event = event;
        picture.iptc().headline = headline;
        picture.iptc().city = city;
        picture.iptc().dateTime = QDateTime(QDate(2024, 7, 14), QTime(15, 30));
        picture.iptc().RefreshDateTexts();
        EXPECT_TRUE(picture.iptc().WriteIptc().ok());
    }
    return source.add(path);
}

}  // namespace

// ---- Index print ----

TEST(IndexPrint, LayoutAndLimits) {
    const indexprint::Layout twelve = indexprint::layoutFor(12, 5, {160, 120});
    EXPECT_EQ(twelve.rows, 3);
    EXPECT_EQ(twelve.sizeText(), "800 x 360");
    struct Case {
        int pictures, columns;
        QSize cell;
        bool refused;
    } cases[] = {
        {12, 0, {160, 120}, true},       {12, 101, {160, 120}, true},    {12, 100, {160, 120}, false},
        {0, 5, {160, 120}, true},        {545, 1, {160, 120}, false},    {546, 1, {160, 120}, true},  // 65,520 tall
        {13100, 100, {160, 120}, true},  // 16,000 x 15,720: over 250 megapixels
        {13000, 100, {160, 120}, false},
    };
    for (const Case& c : cases) {
        const auto layout = indexprint::layoutFor(c.pictures, c.columns, c.cell);
        EXPECT_EQ(!indexprint::layoutProblem(layout, c.pictures).isEmpty(), c.refused)
            << c.pictures << " pictures in " << c.columns << " columns";
    }
    EXPECT_EQ(indexprint::colorByName("lt grey"), QColor(192, 192, 192));
    EXPECT_EQ(indexprint::colorByName("Orange"), QColor(255, 127, 0));
    EXPECT_EQ(indexprint::colorByName("#102030"), QColor(16, 32, 48));
    EXPECT_FALSE(indexprint::colorByName("mauve").isValid());
}

TEST(IndexPrint, TwelvePicturesInFiveColumnsOnTheirPixels) {
    SandBox box;
    Source source;
    QList<PictureRecord*> pictures;
    // The first picture is upright; the rest are landscape pictures of another ratio.
    pictures << source.picture(makePicture(box.path(), "upright.jpg", {300, 400}));
    for (int i = 1; i < 12; ++i) pictures << source.picture(makePicture(box.path(), QStringLiteral("p%1.jpg").arg(i), {400, 200}));
    IndexPrintOptions options;
    options.background = QColor(0, 0, 255);
    options.line = QColor(255, 0, 255);
    const IndexSheet sheet = DrawIndexSheet(pictures, options);
    ASSERT_EQ(sheet.image.size(), QSize(800, 360));
    EXPECT_TRUE(sheet.unloaded.isEmpty());
    const auto at = [&](int x, int y) { return sheet.image.pixelColor(x, y); };
    // Upright picture: 90 pixels wide, from x 35 to 125 of its cell, full height.
    EXPECT_TRUE(near(at(34, 60), options.background));
    EXPECT_TRUE(near(at(37, 30), outputtest::kTopLeft));
    EXPECT_TRUE(near(at(122, 90), outputtest::kBottomRight));
    EXPECT_TRUE(near(at(126, 60), options.background));
    // A landscape picture fills its cell, stretched.
    EXPECT_TRUE(near(at(162, 2), outputtest::kTopLeft));
    EXPECT_TRUE(near(at(318, 118), outputtest::kBottomRight));
    // Outlines on the edges of filled cells.
    EXPECT_EQ(at(0, 180), options.line);
    EXPECT_EQ(at(240, 120), options.line);
    // The last row holds 2 pictures; its 3 empty cells stay background without outlines.
    EXPECT_TRUE(near(at(2 * 160 + 80, 300), options.background));
    EXPECT_EQ(at(799, 300), options.background);
    EXPECT_EQ(at(700, 359), options.background);
    EXPECT_EQ(at(480, 300), options.background);
}

TEST(IndexPrint, GreyFirstPictureUnreadablePictureAndNothingToDraw) {
    SandBox box;
    Source source;
    QImage grey(200, 100, QImage::Format_Grayscale8);
    grey.fill(128);
    ASSERT_TRUE(grey.save(box.filePath("grey.jpg"), "JPEG"));
    const QString colour = makePicture(box.path(), "colour.jpg", {200, 100});
    const QString broken = box.filePath("broken.jpg");
    testsupport::writeAll(broken, QByteArray::fromHex("ffd8ffe000104a464946") + QByteArray(64, 'x'));
    QList<PictureRecord*> pictures{source.picture(box.filePath("grey.jpg")), source.picture(colour), source.picture(broken)};
    IndexPrintOptions options;
    options.columns = 3;
    const QString out = box.filePath("sheet.jpg");
    const IndexPrintResult result = CreateIndexPrint(pictures, options, out);
    EXPECT_TRUE(result.written);
    EXPECT_FALSE(result.complete);
    EXPECT_TRUE(result.message.contains("broken.jpg")) << result.message.toStdString();
    const QImage written(out);
    ASSERT_EQ(written.size(), QSize(480, 120));
    EXPECT_TRUE(written.isGrayscale() == false);
    EXPECT_TRUE(near(written.pixelColor(200, 30), outputtest::kTopLeft));  // the colour picture keeps its colour
    EXPECT_TRUE(near(written.pixelColor(400, 60), QColor(192, 192, 192)));  // the unread cell is background

    const QString none = box.filePath("none.jpg");
    const IndexPrintResult empty = CreateIndexPrint({}, options, none);
    EXPECT_FALSE(empty.written);
    EXPECT_FALSE(empty.message.isEmpty());
    EXPECT_FALSE(QFileInfo::exists(none));
    EXPECT_FALSE(CreateIndexPrint(pictures, options, "").written);
}

// ---- Data report ----

namespace {

PictureRecord* reportPicture(Source& source, const QString& name, const QString& city, const QString& state,
                             const QStringList& people = {}, const QString& time = QStringLiteral("153000"),
                             const QString& headline = {}) {
    PictureRecord* p = source.add();
    p->setFileName(name);
    source.entries.last().fileName = name;
    p->iptc().city = city;
    p->iptc().state = state;
    p->iptc().people = people;
    p->iptc().timeText = time;
    p->iptc().headline = headline;
    return p;
}

}  // namespace

TEST(DataReport, EdgeCases) {
    const QDateTime now(QDate(2026, 3, 4), QTime(10, 0));
    struct Case {
        const char* name;
        std::function<void(Source&)> build;
        ReportKind kind;
        QString expected;  // the whole report, or with `contains` one part of it
        bool contains = false;
    };
    const Case cases[] = {
        {"no pictures", [](Source&) {}, ReportKind::Summary, "0 Pictures, none with the date it was taken\n"
                                                             "\nLocations:\n\n\nCitys:\n\n\nStates:\n\n\nPeople:\n\n"},
        {"no picture with a date",
         [](Source& s) {
             reportPicture(s, "a.jpg", "", "");
             reportPicture(s, "b.jpg", "", "");
         },
         ReportKind::Summary, "2 Pictures, none with the date it was taken\n", true},
        {"the range spans only the dated pictures",
         [](Source& s) {
             reportPicture(s, "a.jpg", "", "")->iptc().dateTime = QDateTime(QDate(2024, 6, 2), QTime(9, 0));
             reportPicture(s, "b.jpg", "", "");
             reportPicture(s, "c.jpg", "", "")->iptc().dateTime = QDateTime(QDate(2023, 1, 15), QTime(9, 0));
         },
         ReportKind::Summary, "3 Pictures taken from 01/15/2023 to 06/02/2024\n", true},
        {"no location data", [](Source& s) { reportPicture(s, "a.jpg", "", ""); }, ReportKind::Summary,
         "\nLocations:\n, ,  (1 pictures)\n\nCitys:\n (1 pictures)\n\nStates:\n (1 pictures)\n", true},
        {"people", [](Source& s) { reportPicture(s, "a.jpg", "", "", {"John Smith", " Jane Smith ", "Bob Jones"}); },
         ReportKind::Summary, "\nPeople:\nBob Jones; Jane, John Smith\n", true},
        {"a name alone replaces the first names",
         [](Source& s) { reportPicture(s, "a.jpg", "", "", {"Ann Cole", "Bea Cole", "Cole", "Zed"}); },
         ReportKind::Summary, "\nPeople:\nCole; Zed\n", true},
        {"empty events only", [](Source&) {}, ReportKind::EventsOnly, " (0 Pictures)\n"},
        {"events only",
         [](Source& s) {
             s.event("Trip");
             reportPicture(s, "a.jpg", "Oslo", "NO");
             reportPicture(s, "b.jpg", "Bergen", "NO");
             s.event("Empty");
             s.event("Home");
             reportPicture(s, "c.jpg", "Rome", "IT");
         },
         ReportKind::EventsOnly, "Trip,Oslo,NO (2 Pictures)\nEmpty (0 Pictures)\nHome,Rome,IT (1 Pictures)\n"},
        {"pictures and events: an empty event ends its line, a short time is read as far as it goes",
         [](Source& s) {
             s.event("Empty");
             s.event("Trip");
             reportPicture(s, "a.jpg", "Oslo", "NO", {"Ann", "Bob"}, "0915", "Fjord");
             reportPicture(s, "b.jpg", "Oslo", "NO", {}, "1", "");
         },
         ReportKind::PictureAndEvents, "Empty\nTrip,Oslo,NO\n\ta.jpg 09:15 Fjord (Ann,Bob)\n\tb.jpg 1:  ()\n"},
    };
    for (const Case& c : cases) {
        Source source;
        c.build(source);
        const QString text = DataReport(source.entries, c.kind, now);
        if (c.contains)
            EXPECT_TRUE(text.contains(c.expected)) << c.name << "\n" << text.toStdString();
        else
            EXPECT_EQ(text, c.expected) << c.name;
    }
}

TEST(DataReport, AllIsTheThreeReportsAndAFailedWriteKeepsTheEarlierFile) {
    Source source;
    source.event("Trip");
    reportPicture(source, "a.jpg", "Oslo", "NO");
    const QDateTime now(QDate(2026, 3, 4), QTime(10, 0));
    EXPECT_EQ(DataReport(source.entries, ReportKind::All, now),
              SummaryReport(source.entries, now) + "\n" + EventsOnlyReport(source.entries) + "\n" +
                  PictureAndEventsReport(source.entries));

    SandBox box;
    const QString path = box.filePath("report.txt");
    const DataReportResult ok = WriteDataReport(source.entries, ReportKind::All, path, now);
    EXPECT_TRUE(ok.written);
    EXPECT_EQ(ok.message, "Exporting of data is complete");
    const QByteArray before = testsupport::readAll(path);
    {
        testsupport::FileSizeLimit limit(16);
        const DataReportResult failed = WriteDataReport(source.entries, ReportKind::EventsOnly, path, now);
        EXPECT_FALSE(failed.written);
        EXPECT_TRUE(failed.message.contains(path));
    }
    EXPECT_EQ(testsupport::readAll(path), before);
    EXPECT_FALSE(WriteDataReport(source.entries, ReportKind::All, "", now).written);
}

// ---- Grouping ----

TEST(ExportEntries, PicturesFollowTheirEventsAsTheTreeShowsThem) {
    Source source;
    source.event("Unknown");
    source.event("Trip");
    source.event("Home");
    PictureRecord* a = source.add();
    PictureRecord* b = source.add();
    PictureRecord* hidden = source.add();
    PictureRecord* c = source.add();
    source.entries[3].event = 2;  // a under Home
    source.entries[4].event = 1;  // b under Trip
    source.entries[5].event = 1;
    source.entries[5].shown = false;
    source.entries[6].event = 2;  // c under Home
    const QList<OutputEntry> grouped = GroupedByEvent(source.entries);
    QStringList order;
    for (const OutputEntry& e : grouped)
        order << (e.kind == OutputEntry::Kind::Event ? e.fileName
                                                     : e.picture == a ? "a" : e.picture == b ? "b" : e.picture == c ? "c" : "?");
    EXPECT_EQ(order, QStringList({"Trip", "b", "Home", "a", "c"}));
    (void)hidden;
}

TEST(ExportEntries, AFolderWithoutCatalogGroupsByEventUnderUnknown) {
    SandBox box;
    Source keep;
    withData(keep, makePicture(box.path(), "b.jpg", {64, 48}), "07/14/2024-->07/14/2024:::Lake");
    makePicture(box.path(), "a.jpg", {64, 48});
    withData(keep, makePicture(box.path(), "c.jpg", {64, 48}), "07/14/2024-->07/14/2024:::Lake");
    const FolderExport folder = ReadFolderForExport(box.path());
    ASSERT_TRUE(folder.problem.isEmpty());
    QStringList order;
    for (const OutputEntry& e : folder.entries) order << e.fileName;
    EXPECT_EQ(order, QStringList({"Unknown", "a.jpg", "07/14/2024 Lake", "b.jpg", "c.jpg"}));
}

// A name without a date (as another program writes it) heads its event alone in a report; a dateless
// event called "Unknown" is reported apart from the pictures without an event.
TEST(ExportEntries, ADatelessEventIsReportedByItsNameAlone) {
    SandBox box;
    // An Object Name and no Date Created.
    const QString source = testsupport::dataPath("iptc_no_date_no_camera.jpg");
    box.copy(source, "named.jpg");
    const QString dateless = box.copy(source, "dateless.jpg");
    {
        PictureRecord picture(dateless);
        picture.iptc().event = "Unknown";
        picture.iptc().city = "Budapest";
        ASSERT_TRUE(picture.save().ok());
    }
    box.copy(testsupport::dataPath("Canon_40D.jpg"), "none.jpg");
    for (const bool catalog : {false, true}) {
        if (catalog) {
            ASSERT_TRUE(Catalog().create(box.path(), true).ok());
        }
        const FolderExport folder = ReadFolderForExport(box.path());
        ASSERT_EQ(folder.catalogMode, catalog);
        QStringList lines = EventsOnlyReport(folder.entries).split('\n', Qt::SkipEmptyParts);
        lines.sort();
        EXPECT_EQ(lines, QStringList({"Blue Square Test File - .jpg,, (1 Pictures)", "Unknown,, (1 Pictures)",
                                      "Unknown,Budapest, (1 Pictures)"}))
            << (catalog ? "catalog" : "folder");
    }
}

// ---- HTML export ----

namespace {

struct Site {
    SandBox box;
    Source source;
    HtmlExportRequest request;
    Site(const QString& mainTemplate, const QString& eventTemplate) {
        request.mainTemplate = box.filePath("main.tmpl");
        request.eventTemplate = box.filePath("event.tmpl");
        request.outputFolder = box.filePath("site");
        writeText(request.mainTemplate, mainTemplate);
        writeText(request.eventTemplate, eventTemplate);
        QDir(box.path()).mkdir("pics");
    }
    QString pics() const { return box.filePath("pics"); }
    QString site(const QString& name) const { return QDir(request.outputFolder).filePath(name); }
};

const QString kMain = QStringLiteral(
    "<html><body><h1><!--EventTitle--></h1>\r\n<!--BeginEvents-->\n<a href=\"<!--EventPage-->\"><!--EventTitle--> "
    "(<!--EventNumOfPictures-->)</a>\n<!--EndEvents-->\n</body></html>\n");
const QString kEvent = QStringLiteral(
    "<h1><!--EventDates--> <!--EventTitle--> <!--PictureTitle--></h1>\n<!--BeginPictures-->\n"
    "<a href=\"<!--PictureImg-->\"><img src=\"<!--PictureImgThumb-->\"></a> <a href=\"<!--PictureImgSmall-->\">s</a> "
    "<a href=\"<!--PictureImgLarge-->\">l</a> <!--PictureTitle-->\n<!--EndPictures-->\n<p><!--EventCity--></p>\n");

}  // namespace

TEST(HtmlExport, PagesNamesAndRenderings) {
    Site s(kMain, kEvent);
    s.source.event("Lake", s.pics());
    withData(s.source, makePicture(s.pics(), "IMG_0001.JPG", {400, 300}), "07/14/2024-->07/14/2024:::Lake", "First", "Oslo");
    withData(s.source, makePicture(s.pics(), "a.b.jpg", {300, 400}), "07/14/2024-->07/14/2024:::Lake", "Second");
    withData(s.source, makePicture(s.pics(), "a.c.jpg", {400, 300}), "07/14/2024-->07/14/2024:::Lake", "Third");
    s.source.event("Plain", s.pics());
    withData(s.source, makePicture(s.pics(), "p.jpg", {400, 300}), "Plain", "Fourth");
    const HtmlExportResult result = RunHtmlExport(s.source.entries, s.request);
    EXPECT_TRUE(result.ok()) << result.message.toStdString();

    // The main page: its line ends are the program's, the block once per event, values of the first
    // event before it.
    EXPECT_EQ(readText(s.site("index.html")),
              "<html><body><h1>Lake</h1>\n<a href=\"pics_0/index.html\">Lake (3)</a>\n"
              "<a href=\"pics_1/index.html\">Plain (1)</a>\n</body></html>\n");
    // The event page: the picture block per picture in order; after it only event values.
    const QString page = readText(s.site("pics_0/index.html"));
    EXPECT_TRUE(page.startsWith("<h1>07/14/2024--&gt;07/14/2024 Lake First</h1>\n<a href=\"IMG_0001.JPG\"><img src=\"IMG_0001_th.jpg\">"))
        << page.toStdString();
    EXPECT_LT(page.indexOf("First"), page.indexOf("Second"));
    EXPECT_TRUE(page.contains("src=\"a_th.jpg\"") && page.contains("src=\"a_2_th.jpg\"")) << page.toStdString();
    EXPECT_TRUE(page.endsWith("Third\n<p>Oslo</p>\n")) << page.toStdString();
    for (const char* name : {"IMG_0001_th.jpg", "IMG_0001_sm.jpg", "IMG_0001_lg.jpg", "IMG_0001.JPG", "a.b.jpg", "a_th.jpg",
                             "a_2_lg.jpg", "a.c.jpg"})
        EXPECT_TRUE(QFileInfo::exists(s.site(QStringLiteral("pics_0/") + name))) << name;
    EXPECT_EQ(QImageReader(s.site("pics_0/IMG_0001_th.jpg")).size(), QSize(160, 120));
    EXPECT_EQ(QImageReader(s.site("pics_0/a_th.jpg")).size(), QSize(120, 160));
    EXPECT_EQ(QImageReader(s.site("pics_0/a_sm.jpg")).size(), QSize(768, 1024));
    // An Object Name without ":::" is matched as it is stored: the event gets its page.
    EXPECT_TRUE(readText(s.site("pics_1/index.html")).contains("<h1>Plain Plain Fourth</h1>"));
    EXPECT_EQ(testsupport::readAll(s.site("pics_0/IMG_0001.JPG")), testsupport::readAll(s.pics() + "/IMG_0001.JPG"));
}

TEST(HtmlExport, EveryLinkOfTheSiteResolvesAndValuesAreEscaped) {
    Site s(kMain, kEvent);
    QDir(s.box.path()).mkpath("pics/we & you");
    const QString folder = s.box.filePath("pics/we & you");
    s.source.event("x", folder);
    withData(s.source, makePicture(folder, "my photo#1.jpg", {400, 300}), "07/14/2024-->07/14/2024:::<b>Bold</b>",
             "<script>alert(1)</script>", "Tom's \"town\"");
    const HtmlExportResult result = RunHtmlExport(s.source.entries, s.request);
    EXPECT_TRUE(result.ok()) << result.message.toStdString();
    const QString page = readText(s.site("we & you_0/index.html"));
    EXPECT_FALSE(page.contains("<script>"));
    EXPECT_TRUE(page.contains("&lt;script&gt;alert(1)&lt;/script&gt;"));
    EXPECT_TRUE(page.contains("&lt;b&gt;Bold&lt;/b&gt;"));
    EXPECT_TRUE(page.contains("Tom&#39;s &quot;town&quot;"));
    // Every href and src of every page names a written file.
    static const QRegularExpression links(QStringLiteral("(?:href|src)=\"([^\"]*)\""));
    int checked = 0;
    for (QDirIterator it(s.request.outputFolder, {"*.html"}, QDir::Files, QDirIterator::Subdirectories); it.hasNext();) {
        const QString html = it.next();
        for (const auto& m : links.globalMatch(readText(html))) {
            const QString target = QUrl::fromPercentEncoding(m.captured(1).replace("&amp;", "&").toUtf8());
            EXPECT_TRUE(QFileInfo::exists(QFileInfo(html).dir().filePath(target))) << html.toStdString() << " -> " << target.toStdString();
            ++checked;
        }
    }
    EXPECT_EQ(checked, 5);
}

TEST(HtmlExport, MarkersOutOfPlaceMissingTemplatesNoEventsAndNoFolder) {
    // No block at all: copied once with the first event's values. An end without its beginning and a
    // second block after the records ran out are dropped lines.
    Site s(QStringLiteral("<!--EndEvents-->\nA <!--EventTitle-->\n<!--BeginEvents-->\nB <!--EventTitle-->\n<!--EndEvents-->\n"
                          "<!--BeginEvents-->\nC <!--EventTitle-->\n<!--EndEvents-->\nD\n"),
           QStringLiteral("<!--EndPictures-->\n<!--PictureTitle-->\n"));
    s.source.event("One", s.pics());
    withData(s.source, makePicture(s.pics(), "a.jpg", {40, 30}), "One", "H1");
    s.source.event("Two", s.pics());
    withData(s.source, makePicture(s.pics(), "b.jpg", {40, 30}), "Two", "H2");
    HtmlExportResult result = RunHtmlExport(s.source.entries, s.request);
    EXPECT_TRUE(result.ok()) << result.message.toStdString();
    EXPECT_EQ(readText(s.site("index.html")), "A One\nB One\nB Two\nD\n");
    EXPECT_EQ(readText(s.site("pics_0/index.html")), "H1\n");

    // No events: the main page without its block, and a message.
    Site none(kMain, kEvent);
    result = RunHtmlExport({}, none.request);
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(readText(none.site("index.html")), "<html><body><h1><!--EventTitle--></h1>\n</body></html>\n");

    // A template that cannot be read, or no output folder: nothing is written.
    Site bad(kMain, kEvent);
    bad.request.eventTemplate = bad.box.filePath("missing.tmpl");
    result = RunHtmlExport(s.source.entries, bad.request);
    EXPECT_TRUE(result.message.contains("missing.tmpl"));
    EXPECT_FALSE(QFileInfo::exists(bad.site("index.html")));
    bad.request.eventTemplate = bad.box.filePath("event.tmpl");
    bad.request.outputFolder.clear();
    result = RunHtmlExport(s.source.entries, bad.request);
    EXPECT_FALSE(result.ok());
}
