// snaplore-cli import end to end: dated folders, existing targets kept unless --overwrite, the card's
// files deleted only with --delete, and the arguments it refuses.
#include "programrun.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using testsupport::runCli;

namespace {

TEST(CliImport, CopiesKeepsAndDeletesOnlyWhenAsked) {
    testsupport::SandBox box;
    QDir().mkpath(box.filePath("card/DCIM/100CANON"));
    box.copy(testsupport::dataPath("Canon_40D.jpg"), "card/DCIM/100CANON/IMG_0001.JPG");
    const QString card = box.filePath("card"), out = box.filePath("out");
    const QString copy = out + "/2008_05_30/IMG_0001.JPG";

    testsupport::ProgramRun run = runCli({"import", card, out});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains(copy));
    EXPECT_TRUE(QFileInfo::exists(copy));
    EXPECT_TRUE(QFileInfo::exists(card + "/DCIM/100CANON/IMG_0001.JPG")) << "deleting is asked for, not the default";

    // Again: the copy there is kept and named, and the status says not all was copied.
    run = runCli({"import", "--delete", card, out});
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.contains("exists, left as it is"));
    EXPECT_TRUE(QFileInfo::exists(card + "/DCIM/100CANON/IMG_0001.JPG")) << "a card file not copied stays";

    run = runCli({"import", "--delete", "--overwrite", "--no-dated", card, out});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(out + "/IMG_0001.JPG"));
    EXPECT_FALSE(QFileInfo::exists(card + "/DCIM/100CANON/IMG_0001.JPG"));
}

TEST(CliImport, ArgumentMistakes) {
    testsupport::SandBox box;
    QDir().mkpath(box.filePath("empty"));
    struct Case {
        QStringList args;
        int status;
        const char* says;
    };
    const Case cases[] = {
        {{"import", box.filePath("empty")}, 2, "give one SOURCE folder and one DEST folder"},
        {{"import", box.filePath("nothing"), box.filePath("out")}, 2, "is not a folder"},
        {{"import", "--move", box.filePath("empty"), box.filePath("out")}, 2, "unknown option '--move'"},
        {{"import", box.filePath("empty"), box.filePath("out")}, 1, "no .jpg files found"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const testsupport::ProgramRun run = runCli(c.args);
        EXPECT_EQ(run.status, c.status);
        EXPECT_TRUE(run.err.contains(c.says)) << run.err.toStdString();
    }
}

}  // namespace
