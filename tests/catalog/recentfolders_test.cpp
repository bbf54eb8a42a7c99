// The recent folders: newest first, each folder once, four at most, kept in the settings file as the
// recent-file list's "File1".."File4".

#include "recentfolders.h"

#include <gtest/gtest.h>

#include "settingsstore.h"
#include "testsupport.h"

TEST(RecentFolders, NewestFirstEachOnceFourAtMost) {
    struct Case {
        QStringList opened;
        QStringList listed;
    };
    const Case cases[] = {
        {{}, {}},
        {{"/p/a"}, {"/p/a"}},
        {{"/p/a", "/p/b", "/p/a"}, {"/p/a", "/p/b"}},
        {{"/p/a", "/p/b/", "/p//b"}, {"/p/b", "/p/a"}},  // one folder however it is written
        {{"/p/a", "/p/b", "/p/c", "/p/d", "/p/e"}, {"/p/e", "/p/d", "/p/c", "/p/b"}},
        {{"/p/a", "", "  "}, {"/p/a"}},
        {{"/p/A", "/p/a"}, {"/p/a", "/p/A"}},  // names are case-sensitive here
    };
    for (const Case& c : cases) {
        testsupport::SandBox box;
        {
            SettingsStore store(box.filePath("Snaplore.conf"));
            RecentFolders recent(store);
            for (const QString& folder : c.opened) recent.add(folder);
            EXPECT_EQ(recent.folders(), c.listed) << c.opened.join(',').toStdString();
            ASSERT_TRUE(store.sync());
        }
        SettingsStore again(box.filePath("Snaplore.conf"));
        EXPECT_EQ(RecentFolders(again).folders(), c.listed);
        for (int i = 0; i < RecentFolders::kSize; ++i)
            EXPECT_EQ(again.readString(RecentFolders::kSection, QStringLiteral("File%1").arg(i + 1)), c.listed.value(i));
    }
}

TEST(RecentFolders, AHandEditedListWithGapsAndRepeatsReadsInOrder) {
    testsupport::SandBox box;
    SettingsStore store(box.filePath("Snaplore.conf"));
    store.writeString(RecentFolders::kSection, "File1", "/p/a");
    store.writeString(RecentFolders::kSection, "File3", "/p/c");
    store.writeString(RecentFolders::kSection, "File4", "/p/a");
    RecentFolders recent(store);
    EXPECT_EQ(recent.folders(), (QStringList{"/p/a", "/p/c"}));
    recent.remove("/p/a");
    EXPECT_EQ(recent.folders(), QStringList{"/p/c"});
    EXPECT_FALSE(store.valueExists(RecentFolders::kSection, "File2"));
}
