// Search in the browser: the criteria against every picture of a catalogued folder (one table of the
// edge cases), the marks and the "Search Result" tree, narrowing by a second search and leaving the
// search, the dialog's values, and the browser's search as the user runs it.

#include "search.h"

#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>
#include <functional>

#include "browsermodel.h"
#include "catalog.h"
#include "filebrowserview.h"
#include "fakeframe.h"
#include "scriptedprompter.h"
#include "searchdlg.h"
#include "settingsstore.h"
#include "snaploredoc.h"
#include "testsupport.h"
#include "thumbview.h"

inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace {

using testsupport::SandBox;

QString u8(const char* text) { return QString::fromUtf8(text); }

struct PictureData {
    const char* name;
    const char* event;
    const char* city;
    const char* state;
    const char* country;
    QStringList people;
    const char* rating;
    QDateTime date;  // invalid: none stored
};

QDateTime at(int y, int m, int d, int h, int min = 0) { return QDateTime(QDate(y, m, d), QTime(h, min)); }

// The folder every case searches: real picture files given picture data, then catalogued.
const PictureData kPictures[] = {
    {"paris.jpg", "Trip", "Paris", "", "France", {"Anna", "Bob"}, "1", at(2020, 6, 1, 12)},
    {"paristx.jpg", "Trip", "Paris", "Texas", "USA", {}, "2", at(2020, 6, 2, 12)},
    {"berlin.jpg", "Berlin", "Berlin", "", "Germany", {"Carl"}, "", at(2021, 3, 5, 10)},
    {"zurich.jpg", "Alps", "Zürich", "", "Switzerland", {u8("Øyvind")}, "3", at(2019, 1, 2, 23)},
    {"midnight.jpg", "Alps", "Bern", "", "Switzerland", {}, "3", at(2019, 1, 1, 0)},
    // Its camera date is 2008, but a search looks at the stored date only.
    {"undated.jpg", "Trip", "Paris", "", "France", {}, "1", QDateTime()},
};

QString eventField(const char* name) { return QStringLiteral("06/01/2003-->06/01/2003:::") + QString::fromUtf8(name); }

void writeFolder(const SandBox& box) {
    for (const PictureData& p : kPictures) {
        const QString path =
            box.copy(testsupport::dataPath(QStringLiteral("Canon_40D.jpg")), QString::fromUtf8(p.name));
        PictureRecord picture(path);
        picture.iptc().event = eventField(p.event);
        picture.iptc().city = u8(p.city);
        picture.iptc().state = u8(p.state);
        picture.iptc().country = u8(p.country);
        picture.iptc().people = p.people;
        picture.iptc().rating = u8(p.rating);
        picture.iptc().dateTime = p.date;
        ASSERT_TRUE(picture.save().ok()) << p.name;
    }
    ASSERT_TRUE(Catalog().create(box.path(), false).ok());
}

// The dialog's defaults: every group, any rating, from 1900 to the end of today, flags ignored.
search::Criteria defaults() {
    search::Criteria c;
    c.from = search::defaultFrom();
    c.to = QDateTime(QDate::currentDate(), QTime(23, 59, 59));
    return c;
}

browser::BrowserEnvironment environment() {
    browser::BrowserEnvironment env;
    env.volumes = [] { return QList<browser::Volume>{}; };
    return env;
}

QStringList names(const ThumbList& list) {
    QStringList result;
    for (const BrowserEntry* entry : list) result.append(entry->text);
    result.sort();
    return result;
}

BrowserEntry* entryNamed(const BrowserModel& model, const QString& text) {
    for (const auto& entry : model.entryList())
        if (entry->text == text) return entry.get();
    return nullptr;
}

const QStringList kDated = {"berlin.jpg", "midnight.jpg", "paris.jpg", "paristx.jpg", "zurich.jpg"};

class SearchTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        box_ = new SandBox;
        writeFolder(*box_);
    }
    static void TearDownTestSuite() { delete std::exchange(box_, nullptr); }

    void SetUp() override {
        ScriptedPrompter prompter;
        model_.load(box_->path(), &prompter);
        ASSERT_TRUE(model_.catalogMode());
    }

    static SandBox* box_;
    BrowserModel model_{environment()};
};
SandBox* SearchTest::box_ = nullptr;

}  // namespace

TEST_F(SearchTest, EdgeCases) {
    struct Case {
        const char* what;
        std::function<void(search::Criteria&)> set;
        QStringList flagged;
        QStringList found;
    };
    const Case cases[] = {
        {"empty texts and the default dates find every picture with a stored date", [](auto&) {}, {}, kDated},
        {"From's day at 00:00:00 is not after From; To's day at 23:00 is before To",
         [](auto& c) {
             c.from = at(2019, 1, 1, 0);
             c.to = QDateTime(QDate(2019, 1, 2), QTime(23, 59, 59));
         },
         {},
         {"zurich.jpg"}},
        {"two negative terms in Place: lacking either word is enough",
         [](auto& c) {
             c.texts[0] = "-paris,-france";
             c.people = c.other = false;
         },
         {},
         {"berlin.jpg", "midnight.jpg", "paristx.jpg", "zurich.jpg"}},
        {"a double comma holds an empty term that every place matches",
         [](auto& c) { c.texts[0] = "nowhere,,nothing"; },
         {},
         kDated},
        {"in People the empty term needs a person",
         [](auto& c) {
             c.texts[0] = "nowhere,,nothing";
             c.place = c.other = false;
         },
         {},
         {"berlin.jpg", "paris.jpg", "zurich.jpg"}},
        {"a lower-case city finds the capitalised one",
         [](auto& c) { c.texts[0] = "paris"; },
         {},
         {"paris.jpg", "paristx.jpg"}},
        {"the same name in quotes must match its case", [](auto& c) { c.texts[0] = "\"paris\""; }, {}, {}},
        {"the capitalised name in quotes", [](auto& c) { c.texts[0] = "\"Paris\""; }, {}, {"paris.jpg", "paristx.jpg"}},
        {"no group checked finds nothing, not even with empty texts",
         [](auto& c) { c.people = c.place = c.other = false; },
         {},
         {}},
        {"an empty rating field is the silver star the form shows",
         [](auto& c) { c.rating = "2-Silver Star"; },
         {},
         {"berlin.jpg", "paristx.jpg"}},
        {"an empty rating field is no other star",
         [](auto& c) {
             c.texts[0] = "berlin";
             c.rating = "4-No Star";
         },
         {},
         {}},
        {"the rating's first character",
         [](auto& c) { c.rating = "3-Bronze Star"; },
         {},
         {"midnight.jpg", "zurich.jpg"}},
        {"the three texts must all match",
         [](auto& c) {
             c.texts[0] = "paris";
             c.texts[1] = "anna";
             c.texts[2] = "france";
         },
         {},
         {"paris.jpg"}},
        {"case folding beyond ASCII", [](auto& c) { c.texts[0] = u8("ZÜRICH, øyvind"); }, {}, {"zurich.jpg"}},
        {"flagged Yes",
         [](auto& c) { c.flagged = search::FlagTest::Yes; },
         {"berlin.jpg", "undated.jpg"},
         {"berlin.jpg"}},
        {"flagged No",
         [](auto& c) { c.flagged = search::FlagTest::No; },
         {"berlin.jpg"},
         {"midnight.jpg", "paris.jpg", "paristx.jpg", "zurich.jpg"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        model_.leaveSearch();
        for (const auto& entry : model_.entryList()) entry->flagged = c.flagged.contains(entry->text);
        search::Criteria criteria = defaults();
        c.set(criteria);
        model_.runSearch(criteria);
        EXPECT_TRUE(model_.searchMode());
        EXPECT_EQ(names(model_.thumbList()), c.found);
    }
}

TEST_F(SearchTest, MarksAndTheResultTree) {
    search::Criteria criteria = defaults();
    criteria.texts[0] = QStringLiteral("paris");
    model_.runSearch(criteria);

    for (const auto& entry : model_.entryList()) {
        SCOPED_TRACE(entry->text.toStdString());
        const bool found = entry->text == "paris.jpg" || entry->text == "paristx.jpg";
        switch (entry->kind) {
            case EntryKind::Picture:
                EXPECT_EQ(entry->matched, found);
                EXPECT_EQ(entry->included, found);
                break;
            case EntryKind::Event:
                // "undated.jpg" is of the same event but was not found; the event holds matches.
                EXPECT_EQ(entry->included, entry->text == "06/01/2003 Trip");
                break;
            default:
                EXPECT_FALSE(entry->included);
        }
    }

    const browser::BrowserTree tree = model_.buildTree({});
    ASSERT_EQ(tree.topLevel.size(), 1u);
    const browser::TreeNode& root = tree.topLevel.front();
    EXPECT_EQ(root.text, QStringLiteral("Search Result (2/0MB)"));
    EXPECT_EQ(root.image, browser::ImageSearchResult);
    ASSERT_EQ(root.children.size(), 1u);
    EXPECT_EQ(root.children[0].text, QStringLiteral("06/01/2003 Trip - 2/0MB"));
    EXPECT_EQ(root.children[0].children.size(), 2u);
}

TEST_F(SearchTest, NothingFoundLeavesOnlyTheRoot) {
    search::Criteria criteria = defaults();
    criteria.texts[0] = QStringLiteral("atlantis");
    model_.runSearch(criteria);
    EXPECT_TRUE(model_.thumbList().isEmpty());
    const browser::BrowserTree tree = model_.buildTree({});
    ASSERT_EQ(tree.topLevel.size(), 1u);
    EXPECT_EQ(tree.topLevel[0].text, QStringLiteral("Search Result (0/0MB)"));
    EXPECT_TRUE(tree.topLevel[0].children.empty());
}

TEST_F(SearchTest, ASecondSearchNarrowsUntilTheSearchIsLeft) {
    search::Criteria first = defaults();
    first.texts[0] = QStringLiteral("paris");
    model_.runSearch(first);

    search::Criteria second = defaults();
    second.texts[0] = QStringLiteral("-texas");
    // In People every picture lacks "texas"; the place alone decides.
    second.people = second.other = false;
    model_.runSearch(second);
    EXPECT_EQ(names(model_.thumbList()), QStringList{"paris.jpg"});
    EXPECT_FALSE(entryNamed(model_, "paristx.jpg")->matched);

    // Up One Level in a search: everything is included again and the same search finds more.
    EXPECT_TRUE(model_.leaveSearch());
    EXPECT_FALSE(model_.searchMode());
    EXPECT_TRUE(model_.thumbList().isEmpty());
    for (const auto& entry : model_.entryList()) EXPECT_TRUE(entry->included) << entry->text.toStdString();
    model_.runSearch(second);
    EXPECT_EQ(names(model_.thumbList()), QStringList({"berlin.jpg", "midnight.jpg", "paris.jpg", "zurich.jpg"}));
}

TEST(SearchDialog, ValuesLastAndClearRestoresThem) {
    CSearchDlg dialog;
    const search::Criteria initial = dialog.criteria();
    EXPECT_EQ(initial.from, search::defaultFrom());
    EXPECT_EQ(initial.to.date(), QDate::currentDate());
    EXPECT_TRUE(dialog.peopleBox()->isChecked() && dialog.placeBox()->isChecked() && dialog.otherBox()->isChecked());
    EXPECT_EQ(dialog.ratingList()->count(), 5);
    EXPECT_EQ(dialog.ratingList()->itemText(4), QStringLiteral("4-No Star"));
    EXPECT_EQ(dialog.flagButtons()->checkedButton()->text(), QStringLiteral("Ignore"));
    // The dates leave out every picture without a stored date; the help says so.
    QStringList labels;
    for (const QLabel* label : dialog.findChildren<QLabel*>()) labels.append(label->text());
    EXPECT_TRUE(labels.join('\n').contains(QStringLiteral("Pictures without a date are left out.")))
        << labels.join('|').toStdString();

    // Search: the dates take the whole of their days.
    dialog.textField(1)->setText(QStringLiteral("anna"));
    dialog.placeBox()->setChecked(false);
    dialog.ratingList()->setCurrentIndex(2);
    dialog.fromDate()->setDate(QDate(2020, 5, 1));
    dialog.toDate()->setDate(QDate(2020, 5, 31));
    dialog.flagButtons()->button(int(search::FlagTest::Yes))->setChecked(true);
    dialog.findChild<QPushButton*>(QStringLiteral("searchButton"))->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    search::Criteria kept = dialog.criteria();
    EXPECT_EQ(kept.texts[1], QStringLiteral("anna"));
    EXPECT_FALSE(kept.place);
    EXPECT_EQ(kept.rating, QStringLiteral("2-Silver Star"));
    EXPECT_EQ(kept.from, QDateTime(QDate(2020, 5, 1), QTime(0, 0, 0)));
    EXPECT_EQ(kept.to, QDateTime(QDate(2020, 5, 31), QTime(23, 59, 59)));
    EXPECT_EQ(kept.flagged, search::FlagTest::Yes);

    // Edits closed with Close are not kept; the next opening shows the kept values with the first
    // rating selected.
    dialog.textField(1)->setText(QStringLiteral("bob"));
    dialog.findChild<QPushButton*>(QStringLiteral("closeButton"))->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.criteria().texts[1], QStringLiteral("anna"));
    dialog.showValues();
    EXPECT_EQ(dialog.textField(1)->text(), QStringLiteral("anna"));
    EXPECT_EQ(dialog.ratingList()->currentIndex(), 0);
    EXPECT_EQ(dialog.fromDate()->date(), QDate(2020, 5, 1));

    dialog.findChild<QPushButton*>(QStringLiteral("clearButton"))->click();
    EXPECT_TRUE(dialog.textField(1)->text().isEmpty());
    EXPECT_TRUE(dialog.placeBox()->isChecked());
    EXPECT_EQ(dialog.fromDate()->date(), QDate(1900, 1, 1));
    EXPECT_EQ(dialog.toDate()->date(), QDate::currentDate());
    EXPECT_EQ(dialog.flagButtons()->checkedButton()->text(), QStringLiteral("Ignore"));
    EXPECT_TRUE(dialog.criteria().texts[1].isEmpty());
}

TEST(SearchInTheBrowser, ResultsShowAndUpOneLevelLeavesThem) {
    SandBox box;
    writeFolder(box);
    SandBox settingsBox;
    FakeFrame frame(settingsBox.filePath(QStringLiteral("settings.ini")));
    frame.folder = box.path();
    frame.myDocuments = QStringLiteral("/home/u/Documents");
    frame.myPictures = QStringLiteral("/home/u/Pictures");
    CThumbView thumbs(frame);
    frame.thumbsView = &thumbs;
    CFileBrowserView view(frame);
    QSignalSpy finished(&view, &CFileBrowserView::loadFinished);
    view.refreshLocation();
    ASSERT_TRUE(finished.wait(10000));

    // The dialog belongs to the browser: the same object every time.
    EXPECT_EQ(view.searchDialog(), view.searchDialog());
    EXPECT_EQ(view.searchDialog()->parent(), &view);

    frame.statuses.clear();
    search::Criteria criteria = defaults();
    criteria.texts[0] = QStringLiteral("switzerland");
    view.runSearch(criteria);
    EXPECT_EQ(frame.statusMarked(), QStringList({"Searching for pictures...*", "Ready"}));
    ASSERT_EQ(view.tree()->topLevelItemCount(), 1);
    EXPECT_EQ(view.tree()->topLevelItem(0)->text(0), QStringLiteral("Search Result (2/0MB)"));
    EXPECT_EQ(view.tree()->topLevelItem(0)->child(0)->text(0), QStringLiteral("06/01/2003 Alps - 2/0MB"));
    EXPECT_TRUE(thumbs.titleText().startsWith(QStringLiteral("Search Results")));
    EXPECT_EQ(names(thumbs.list()), QStringList({"midnight.jpg", "zurich.jpg"}));

    view.upOneLevel();
    EXPECT_FALSE(view.searchMode());
    EXPECT_TRUE(thumbs.list().isEmpty());
    EXPECT_TRUE(view.tree()->topLevelItem(0)->text(0).endsWith(QStringLiteral("(6/0MB)")));
}

// The quick look at a catalog entry (its IPTC data, its XMP packet unparsed) may turn a picture down
// only when it cannot match: a value XMP holds in any form other than its plain bytes leaves the
// picture in. Each case is checked against the picture read by the rules.
TEST(SearchQuickLook, TurnsDownOnlyWhatCannotMatch) {
    SandBox box;
    const QByteArray camera = testsupport::readAll(testsupport::dataPath("Canon_40D.jpg"));
    const auto packet = [](const QByteArray& headline) {
        return "<?xpacket begin='\xEF\xBB\xBF' id='W5M0MpCehiHzreSzNTczkc9d'?><x:xmpmeta xmlns:x='adobe:ns:meta/'>"
               "<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'><rdf:Description rdf:about='' "
               "xmlns:photoshop='http://ns.adobe.com/photoshop/1.0/'><photoshop:Headline>" +
               headline + "</photoshop:Headline></rdf:Description></rdf:RDF></x:xmpmeta><?xpacket end='w'?>";
    };
    const struct {
        QByteArray headline;  // held in XMP only
        const char* text;
        bool turnedDown;
    } cases[] = {
        {"Lighthouse at dusk", "lighthouse", false},
        {"Lighthouse at dusk", "harbour", true},
        {"Lighthouse at dusk", "harbour, dusk", false},
        {"Lighthouse at dusk", "\"lighthouse\"", true},
        {"Lighthouse at dusk", "-lighthouse", false},
        {"Lighthouse at dusk", "harbour,,", false},
        {"Light &amp; house", "house", false},
        {"Light &amp; house", "light&", false},
        {"Light&lt;house", "lighthouse", true},
        {"&#x4C;ighthouse", "lighthouse", false},
        {"Light<!-- a comment -->house", "lighthouse", false},
        {"Light<![CDATA[house]]>", "lighthouse", false},
        {"Leuchtturm Stra\xC3\x9F" "e", "strasse", false},
        {"\xE2\x84\xAA" "ing", "king", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.headline.toStdString() + " / " + c.text);
        const QString path = box.filePath("xmp.jpg");
        ASSERT_TRUE(testsupport::writeAll(path, testsupport::withXmpPacket(camera, packet(c.headline))));
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const PictureRecord quick(file, file.size(), PictureRecord::Xmp::Skip);
        file.seek(0);
        const PictureRecord read(file, file.size());
        search::Criteria criteria;
        criteria.texts[0] = QString::fromUtf8(c.text);
        const bool matches = search::textMatches(read, criteria.texts[0], criteria);
        EXPECT_EQ(!search::mightMatch(quick, criteria), c.turnedDown);
        if (matches) {
            EXPECT_TRUE(search::mightMatch(quick, criteria)) << "a picture that matches was turned down";
        }
    }
}
