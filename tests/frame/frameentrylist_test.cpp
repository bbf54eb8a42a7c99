// The entry list the outputs read: every entry of the browser in its order, with its marks, and
// the pictures of an event tied to that event as the tree groups them.

#include <gtest/gtest.h>

#include <QSignalSpy>

#include "catalog.h"
#include "fakeframe.h"
#include "filebrowserview.h"
#include "frameentrylist.h"
#include "picturerecord.h"
#include "testsupport.h"
#include "thumbview.h"

namespace {

const QString kEvent = QStringLiteral("06/01/2003-->06/01/2003:::Harbour");

class FrameEntryListTest : public ::testing::Test {
protected:
    void SetUp() override {
        frame_.folder = box_.path();
        frame_.thumbsView = &thumbs_;
    }

    QString addPicture(const QString& name, const QString& event, int day) {
        const QString path = box_.copy(testsupport::dataPath(QStringLiteral("Canon_40D.jpg")), name);
        PictureRecord picture(path);
        picture.iptc().event = event;
        picture.iptc().dateTime = QDateTime(QDate(2003, 6, day), QTime(10, 0));
        EXPECT_TRUE(picture.save().ok());
        return path;
    }

    testsupport::SandBox box_;
    testsupport::SandBox settingsBox_;
    FakeFrame frame_{settingsBox_.filePath(QStringLiteral("settings.ini"))};
    CThumbView thumbs_{frame_};
};

TEST_F(FrameEntryListTest, PicturesOfAnEventPointAtTheirEvent) {
    const QString inEvent = addPicture(QStringLiteral("a.jpg"), kEvent, 1);
    const QString alone = addPicture(QStringLiteral("b.jpg"), QString(), 2);
    // Events are entries of a catalogued folder.
    ASSERT_TRUE(Catalog().create(box_.path(), true).ok());
    CFileBrowserView view(frame_);
    frame_.browserView = &view;
    QSignalSpy finished(&view, &CFileBrowserView::loadFinished);
    view.refreshLocation();
    ASSERT_TRUE(finished.wait(10000));

    const QList<OutputEntry> entries = FrameEntryList(view).entries();
    ASSERT_EQ(entries.size(), qsizetype(view.model().entryList().size()));
    int eventIndex = -1;
    for (int i = 0; i < entries.size(); ++i)
        if (entries[i].kind == OutputEntry::Kind::Event && entries[i].fileName.contains(QStringLiteral("Harbour")))
            eventIndex = i;
    ASSERT_GE(eventIndex, 0);
    EXPECT_EQ(entries[eventIndex].eventText, entries[eventIndex].fileName);
    EXPECT_EQ(entries[eventIndex].eventPath, box_.path());

    const auto find = [&](const QString& path) {
        for (const OutputEntry& entry : entries)
            if (entry.kind == OutputEntry::Kind::Picture && entry.path == path) return entry;
        return OutputEntry{};
    };
    const OutputEntry a = find(inEvent);
    ASSERT_TRUE(a.picture);
    EXPECT_EQ(a.fileName, QStringLiteral("a.jpg"));
    EXPECT_EQ(a.event, eventIndex);
    EXPECT_EQ(a.eventText, entries[eventIndex].fileName);
    EXPECT_EQ(a.eventPath, box_.path());
    EXPECT_TRUE(a.shown);
    EXPECT_FALSE(a.flagged);

    const OutputEntry b = find(alone);
    ASSERT_TRUE(b.picture);
    // A picture without an event is grouped under the catalog's "Unknown" event, as in the tree.
    ASSERT_GE(b.event, 0);
    EXPECT_NE(b.event, eventIndex);
    EXPECT_TRUE(entries[b.event].fileName.startsWith(QStringLiteral("Unknown")));
    EXPECT_EQ(b.eventText, entries[b.event].fileName);
}

}  // namespace
