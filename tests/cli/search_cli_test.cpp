// snaplore-cli search finds what the window's Search finds in the same folder, tells a script by its
// exit status whether anything was found, and prints one picture a line or a JSON array.

#include "browsermodel.h"
#include "catalog.h"
#include "picturerecord.h"
#include "programrun.h"
#include "search.h"
#include "testsupport.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <functional>
#include <gtest/gtest.h>
#include <sys/stat.h>

using testsupport::SandBox;

namespace {

using CliRun = testsupport::ProgramRun;

CliRun cli(const QStringList& args) { return testsupport::runCli(args); }

QDateTime at(int y, int m, int d, int h, int min = 0) { return QDateTime(QDate(y, m, d), QTime(h, min)); }

struct PictureData {
    const char* name;  // under the folder searched
    const char* event;
    const char* headline;
    const char* city;
    const char* country;
    QStringList people;
    const char* rating;
    QDateTime date;  // invalid: none stored
};

// The catalogued folder every case searches, a subfolder's catalog taken over into it, and a
// folder without catalog.
const PictureData kPictures[] = {
    {"paris.jpg", "Trip", "Tower", "Paris", "France", {"Anna", "Bob"}, "1", at(2020, 6, 1, 12)},
    {"paristx.jpg", "Trip", "", "Paris", "USA", {}, "2", at(2020, 6, 2, 12)},
    {"berlin.jpg", "Berlin", "Gate\tat night", "Berlin", "Germany", {"Carl"}, "", at(2021, 3, 5, 10)},
    {"midnight.jpg", "Alps", "", "Bern", "Switzerland", {}, "3", at(2019, 1, 1, 0)},
    {"late.jpg", "Alps", "", "Zürich", "Switzerland", {}, "3", at(2019, 1, 2, 23)},
    // Its camera date is 2008, but a search looks at the date stored in the data only.
    {"undated.jpg", "Trip", "", "Paris", "France", {}, "1", QDateTime()},
    {"sub/light.jpg", "Coast", "Lighthouse", "Brest", "France", {}, "4", at(2018, 7, 7, 10)},
    {"loose/loose.jpg", "Trip", "", "Paris", "France", {}, "", at(2020, 6, 3, 9)},
};

void writeFolder(const SandBox& box) {
    QDir(box.path()).mkpath("sub");
    QDir(box.path()).mkpath("loose");
    for (const PictureData& p : kPictures) {
        const QString path = box.copy(testsupport::dataPath("Canon_40D.jpg"), QString::fromUtf8(p.name));
        PictureRecord picture(path);
        picture.iptc().event = QStringLiteral("06/01/2003-->06/01/2003:::") + QString::fromUtf8(p.event);
        picture.iptc().headline = QString::fromUtf8(p.headline);
        picture.iptc().city = QString::fromUtf8(p.city);
        picture.iptc().country = QString::fromUtf8(p.country);
        picture.iptc().people = p.people;
        picture.iptc().rating = QString::fromUtf8(p.rating);
        picture.iptc().dateTime = p.date;
        ASSERT_TRUE(picture.save().ok()) << p.name;
    }
    // A name the folder's reading cannot read as a picture: named, and the rest still searched.
    ASSERT_EQ(::mkfifo(QFile::encodeName(box.filePath("loose/pipe.jpg")).constData(), 0600), 0);
    ASSERT_TRUE(Catalog().create(box.filePath("sub"), false).ok());
    ASSERT_TRUE(Catalog().create(box.path(), true).ok());
}

// Paths relative to `folder`, sorted and joined, as a failure shows them.
std::string shown(QStringList paths, const QString& folder = {}) {
    if (!folder.isEmpty())
        for (QString& path : paths) path = QDir(folder).relativeFilePath(path);
    paths.sort();
    return paths.join(", ").toStdString();
}

// The paths the command printed.
std::string printedPaths(const QString& out, const QString& folder) {
    QStringList paths;
    for (const QString& line : out.split(u'\n', Qt::SkipEmptyParts)) paths << line.section(u'\t', 0, 0);
    return shown(paths, folder);
}

// What the browser's search finds over `folder` after the searches in turn (each narrows the last).
std::string dialogFinds(const QString& folder, const std::vector<search::Criteria>& searches) {
    browser::BrowserEnvironment env;
    env.volumes = [] { return QList<browser::Volume>{}; };
    BrowserModel model(env);
    model.load(folder, nullptr);
    for (const search::Criteria& criteria : searches) model.runSearch(criteria);
    QStringList paths;
    for (const BrowserEntry* entry : model.thumbList()) paths << entry->path;
    return shown(paths, folder);
}

// The dialog's defaults with some changes: its texts, its groups (people, place, other), the rest.
search::Criteria dialog(const QString& text, std::array<bool, 3> groups = {true, true, true},
                        const std::function<void(search::Criteria&)>& change = {}) {
    search::Criteria c;
    c.texts[0] = text;
    c.people = groups[0];
    c.place = groups[1];
    c.other = groups[2];
    c.from = search::defaultFrom();
    c.to = search::dayEnd(QDate::currentDate());
    if (change) change(c);
    return c;
}

constexpr std::array<bool, 3> kPeople{true, false, false}, kPlace{false, true, false}, kOther{false, false, true};

class CliSearch : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        box_ = new SandBox;
        writeFolder(*box_);
    }
    static void TearDownTestSuite() { delete std::exchange(box_, nullptr); }
    static SandBox* box_;
};
SandBox* CliSearch::box_ = nullptr;

}  // namespace

TEST_F(CliSearch, FindsWhatTheDialogFinds) {
    struct Case {
        const char* what;
        const char* folder;  // under the sandbox, "" for the catalogued one
        QStringList options;
        std::vector<search::Criteria> dialog;  // the same search in the window, in turn
        QStringList found;
    };
    const QStringList everyDated = {"berlin.jpg", "late.jpg", "midnight.jpg", "paris.jpg", "paristx.jpg", "sub/light.jpg"};
    const Case cases[] = {
        {"no option: every picture with a stored date, the subfolder's entry too", "", {}, {dialog("")}, everyDated},
        {"a text in its own group, in any case", "", {"--place", "paris"}, {dialog("paris", kPlace)},
         {"paris.jpg", "paristx.jpg"}},
        {"texts of two groups must both match", "", {"--people", "anna", "--place", "Paris"},
         {dialog("anna", kPeople), dialog("Paris", kPlace)}, {"paris.jpg"}},
        {"a negative term: no field of the group holds it", "", {"--place", "-paris"}, {dialog("-paris", kPlace)},
         {"berlin.jpg", "late.jpg", "midnight.jpg", "sub/light.jpg"}},
        {"a term in quotes keeps its case", "", {"--place", "\"paris\",\"Bern\""}, {dialog("\"paris\",\"Bern\"", kPlace)},
         {"midnight.jpg"}},
        {"a place is not searched as other", "", {"--other", "brest"}, {dialog("brest", kOther)}, {}},
        {"--in tests the text in the groups named", "", {"--other", "brest", "--in", "other,place"},
         {dialog("brest", {false, true, true})}, {"sub/light.jpg"}},
        {"From's day at 00:00:00 is out, To's day at 23:00 is in", "", {"--from", "2019-01-01", "--to", "2019-01-02"},
         {dialog("", {true, true, true},
                 [](auto& c) {
                     c.from = search::dayStart(QDate(2019, 1, 1));
                     c.to = search::dayEnd(QDate(2019, 1, 2));
                 })},
         {"late.jpg"}},
        {"a picture without a rating has the silver star", "", {"--rating", "2"},
         {dialog("", {true, true, true}, [](auto& c) { c.rating = search::kRatingItems[2]; })}, {"berlin.jpg", "paristx.jpg"}},
        {"a folder without catalog: its pictures", "loose", {"--place", "paris"}, {dialog("paris", kPlace)},
         {"loose.jpg"}},
    };
    for (const Case& c : cases) {
        const QString folder = box_->filePath(c.folder);
        const CliRun run = cli(QStringList{"search", folder} + c.options);
        EXPECT_EQ(run.status, c.found.isEmpty() ? 1 : 0) << c.what << "\n" << run.err.toStdString();
        EXPECT_EQ(printedPaths(run.out, folder), shown(c.found)) << c.what;
        EXPECT_EQ(dialogFinds(folder, c.dialog), shown(c.found)) << c.what;
    }
}

TEST_F(CliSearch, LinesAndJson) {
    // One line a picture, by date: a tab in a headline is escaped so that the fields stay four.
    const CliRun lines = cli({"search", box_->path(), "--place", "berlin,bern"});
    ASSERT_EQ(lines.status, 0) << lines.err.toStdString();
    EXPECT_EQ(lines.out.toStdString(),
              (box_->filePath("midnight.jpg") + "\t06/01/2003 Alps\t2019-01-01T00:00:00\t\n" + box_->filePath("berlin.jpg") +
               "\t06/01/2003 Berlin\t2021-03-05T10:00:00\tGate\\x09at night\n")
                  .toStdString());

    const CliRun json = cli({"search", box_->path(), "--json", "--other", "gate"});
    ASSERT_EQ(json.status, 0) << json.err.toStdString();
    const QJsonArray found = QJsonDocument::fromJson(json.out.toUtf8()).array();
    ASSERT_EQ(found.size(), 1) << json.out.toStdString();
    EXPECT_EQ(found[0].toObject(), (QJsonObject{{"path", box_->filePath("berlin.jpg")},
                                                {"event", "06/01/2003 Berlin"},
                                                {"date", "2021-03-05T10:00:00"},
                                                {"headline", "Gate\tat night"}}));
    const CliRun none = cli({"search", box_->path(), "--json", "--other", "nothing like it"});
    EXPECT_EQ(none.status, 1);
    EXPECT_EQ(QJsonDocument::fromJson(none.out.toUtf8()).array(), QJsonArray());
}

TEST_F(CliSearch, StatusAndMistakes) {
    struct Case {
        const char* what;
        QStringList args;
        int status;
        const char* err;  // part of what standard error says
    };
    const QString root = box_->path();
    const Case cases[] = {
        {"found, with what was left out named", {"search", box_->filePath("loose")}, 0, "pipe.jpg: not a regular file"},
        {"a folder that is not there", {"search", box_->filePath("gone")}, 1, "no such folder"},
        {"a file is no folder", {"search", box_->filePath("paris.jpg")}, 1, "not a folder"},
        {"no folder", {"search", "--place", "paris"}, 2, "no folder given"},
        {"two folders", {"search", root, root}, 2, "one folder only"},
        {"a rating beyond the list", {"search", root, "--rating", "5"}, 2, "--rating"},
        {"a day that does not exist", {"search", root, "--from", "2020-02-30"}, 2, "--from"},
        {"a date in another form", {"search", root, "--to", "1.2.2020"}, 2, "--to"},
        {"an unknown group", {"search", root, "--other", "x", "--in", "place,sky"}, 2, "--in"},
        {"an unknown option", {"search", root, "--text", "x"}, 2, "unknown option"},
    };
    for (const Case& c : cases) {
        const CliRun run = cli(c.args);
        EXPECT_EQ(run.status, c.status) << c.what << "\n" << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(QString::fromUtf8(c.err))) << c.what << "\n" << run.err.toStdString();
    }
    const CliRun help = cli({"search", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.contains("--in GROUPS"));
}
