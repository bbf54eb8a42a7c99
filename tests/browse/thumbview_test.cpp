// The thumbnail view as the user meets it: the title band, clicks and keys that open pictures, the
// save question before moving on, the red mark, scrolling to the open picture, the context menu,
// the drag, and thumbnails that arrive from the workers.

#include "thumbview.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMenu>
#include <QMouseEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QWheelEvent>

#include "fakeframe.h"
#include "scriptedprompter.h"
#include "settingsstore.h"
#include "snaploredoc.h"
#include "testsupport.h"
#include "thumbscrollwnd.h"

namespace {

class ThumbViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(QDir(sandbox_.path()).mkdir(folderName()));
        add("a.jpg", testsupport::dataPath("Canon_40D.jpg"));
        add("b.jpg", testsupport::dataPath("Canon_40D.jpg"));
        add("c.jpg", picture("portrait.jpg", {300, 400}));
        add("d.jpg", picture("landscape.jpg", {400, 300}));
        view_.resize(240, 700);
        view_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view_));
    }

    static QString folderName() { return QStringLiteral("Tom & Jerry"); }

    QString picture(const QString& name, QSize size) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(QColor(40, 160, 60));
        const QString path = sandbox_.filePath(name);
        EXPECT_TRUE(image.save(path, "JPEG"));
        return path;
    }

    BrowserEntry* add(const QString& name, const QString& source) {
        const QString path = sandbox_.filePath(folderName() + "/" + name);
        EXPECT_TRUE(QFile::copy(source, path));
        auto entry = std::make_unique<BrowserEntry>();
        entry->kind = EntryKind::Picture;
        entry->text = name;
        entry->path = path;
        entry->picture = std::make_unique<PictureRecord>(path);
        entries_.push_back(std::move(entry));
        return entries_.back().get();
    }

    ThumbList all() const {
        ThumbList list;
        for (const auto& entry : entries_) list.append(entry.get());
        return list;
    }

    CThumbScrollWnd& strip() { return *view_.strip(); }
    QString openPath() { return frame_.document().pathName(); }
    QString pathAt(int index) const { return entries_[index]->path; }

    void waitForThumbnails() {
        QSignalSpy done(&strip(), &CThumbScrollWnd::thumbnailsDone);
        while (!strip().thumbnailsIdle()) ASSERT_TRUE(done.wait(10000));
    }

    void clickBox(int index, Qt::MouseButton button = Qt::LeftButton, int dx = 0) {
        const QRect box = strip().boxInViewport(index);
        QTest::mouseClick(strip().viewport(), button, {}, QPoint(box.left() + 20 + dx, box.center().y()));
    }

    testsupport::SandBox sandbox_;
    FakeFrame frame_{sandbox_.filePath("Snaplore.conf")};
    EntryList entries_;
    CThumbView view_{frame_};
};

TEST_F(ThumbViewTest, TitleNamesTheFolderCountsThePicturesAndKeepsTheAmpersand) {
    view_.ShowList({entries_[0].get()}, false);
    EXPECT_EQ(view_.titleText(), "Tom & Jerry (1 picture/0 MB)");
    EXPECT_EQ(view_.titleIcon(), thumbstrip::TitleIcon::Folder);

    view_.ShowList(all(), true);
    EXPECT_EQ(view_.titleText(), "Search Results (4 pictures/0 MB)");
    EXPECT_TRUE(view_.hasPictures());

    view_.ShowList({}, false);
    EXPECT_EQ(view_.titleText(), "<Empty> (0 pictures/0 MB)");
    EXPECT_FALSE(view_.hasPictures());
    EXPECT_EQ(view_.NextPath(), QString());
}

TEST_F(ThumbViewTest, ClickingABoxOpensItsPictureAndTheCaptionBandDoesNot) {
    view_.ShowList(all(), false);
    clickBox(2);
    EXPECT_EQ(openPath(), pathAt(2));
    EXPECT_EQ(strip().currentIndex(), 2);
    EXPECT_EQ(frame_.active, &view_) << "a click makes the view the active one";

    const QRect box = strip().boxInViewport(0);
    QTest::mouseClick(strip().viewport(), Qt::LeftButton, {}, QPoint(box.left() + 20, box.bottom() + 10));
    EXPECT_EQ(openPath(), pathAt(2));
    EXPECT_TRUE(frame_.dragged.isEmpty()) << "a click without moving drags nothing";
}

TEST_F(ThumbViewTest, KeysMoveThroughTheListAndStopAtItsEnds) {
    view_.ShowList(all(), false);
    view_.setFocus();
    struct Step {
        Qt::Key key;
        int open;
    };
    const Step steps[] = {{Qt::Key_Down, 0}, {Qt::Key_Down, 1}, {Qt::Key_Up, 0},   {Qt::Key_Up, 0},
                          {Qt::Key_End, 3},  {Qt::Key_Down, 3}, {Qt::Key_Home, 0}, {Qt::Key_Up, 0}};
    for (const Step& step : steps) {
        QTest::keyRelease(&view_, step.key);
        EXPECT_EQ(openPath(), pathAt(step.open)) << "after key " << step.key;
    }
    EXPECT_EQ(view_.NextPath(), pathAt(1));
    view_.Last();
    EXPECT_EQ(view_.NextPath(), pathAt(0)) << "Save Next after the last picture goes to the first";
}

TEST_F(ThumbViewTest, MovingOnAsksOnceAndStopsWhenTheQuestionIsCancelled) {
    view_.ShowList(all(), false);
    view_.First();
    frame_.document().setModified(true);
    frame_.prompter_.answer(id::Cancel);
    view_.Next();
    EXPECT_EQ(openPath(), pathAt(0));

    frame_.prompter_.answer(id::No);
    view_.Next();
    EXPECT_EQ(openPath(), pathAt(1));
    EXPECT_EQ(frame_.prompter_.asked().size(), 2) << "discarding must not be asked a second time";
    EXPECT_TRUE(frame_.prompter_.exhausted());
}

TEST_F(ThumbViewTest, PaintingMarksTheOpenPictureInRed) {
    view_.ShowList(all(), false);
    view_.Last();
    view_.Prev();  // box 2 is open
    const QImage shot = view_.grab().toImage();
    const auto leftOf = [&](int index) {
        const QRect box = strip().boxInViewport(index);
        const QPoint p = strip().viewport()->mapTo(&view_, QPoint(box.left() - 1, box.center().y()));
        return QColor(shot.pixel(p));
    };
    EXPECT_EQ(leftOf(2), QColor(Qt::red));
    EXPECT_EQ(leftOf(1), QColor(Qt::white));
    EXPECT_EQ(leftOf(3), QColor(Qt::white));
    const QRect box = strip().boxInViewport(2);
    const QPoint below = strip().viewport()->mapTo(&view_, QPoint(box.center().x(), box.bottom() + 2));
    EXPECT_EQ(QColor(shot.pixel(below)), QColor(Qt::red));
}

TEST_F(ThumbViewTest, TheStripScrollsToAnOpenedPictureButNotWhenClickedInIt) {
    for (int i = 0; i < 12; ++i)
        add(QStringLiteral("more%1.jpg").arg(i), picture(QStringLiteral("m%1.jpg").arg(i), {400, 300}));
    view_.resize(240, 400);
    view_.ShowList(all(), false);
    QScrollBar* bar = strip().verticalScrollBar();
    EXPECT_GT(strip().scrollRange().maximum, 0);

    view_.Last();
    const int last = int(all().size()) - 1;
    EXPECT_EQ(bar->value(), std::min(bar->maximum(), strip().boxes()[last].top() - 5));

    view_.First();
    EXPECT_EQ(bar->value(), strip().boxes()[0].top() - 5);
    const int top = bar->value();
    clickBox(1);
    EXPECT_EQ(openPath(), pathAt(1));
    EXPECT_EQ(bar->value(), top) << "a click in the strip does not move it";

    // One wheel notch down is one line.
    QWheelEvent wheel(QPointF(50, 50), strip().viewport()->mapToGlobal(QPointF(50, 50)), {}, QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(strip().viewport(), &wheel);
    EXPECT_EQ(bar->value(), top + thumbstrip::kLineStep);
}

TEST_F(ThumbViewTest, RightClickBesideABoxOpensItAndShowsTheMenu) {
    view_.ShowList(all(), false);
    clickBox(1, Qt::RightButton, -28);  // 8 pixels left of the box: the hit test looks 15 further right
    EXPECT_EQ(openPath(), pathAt(1));
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    QStringList enabled, disabled;
    for (const QAction* action : menu->actions()) (action->isEnabled() ? enabled : disabled).append(action->text());
    EXPECT_EQ(enabled, QStringList({"Set Flag", "Remove Flag", "Print...", "Print Preview...", "Save as..."}));
    EXPECT_TRUE(disabled.isEmpty()) << disabled.join(", ").toStdString();
    // Print..., Print Preview... and Save as... run the frame's commands on the picture just opened.
    for (int i : {2, 3, 4}) menu->actions()[i]->trigger();
    EXPECT_EQ(frame_.printRuns, 1);
    EXPECT_EQ(frame_.previewRuns, 1);
    EXPECT_EQ(frame_.saveAsRuns, 1);
    menu->close();
    QApplication::processEvents();

    const QRect box = strip().boxInViewport(0);
    QTest::mouseClick(strip().viewport(), Qt::RightButton, {}, QPoint(box.right() + 20, box.center().y()));
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr) << "no menu off the boxes";
    EXPECT_EQ(openPath(), pathAt(1));
}

TEST_F(ThumbViewTest, PressingAndMovingDragsThePicture) {
    view_.ShowList(all(), false);
    const QRect box = strip().boxInViewport(3);
    const QPoint start(box.left() + 20, box.center().y());
    QTest::mousePress(strip().viewport(), Qt::LeftButton, {}, start);
    const QPoint to = start + QPoint(QApplication::startDragDistance() + 5, 0);
    QMouseEvent move(QEvent::MouseMove, to, strip().viewport()->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(strip().viewport(), &move);
    EXPECT_EQ(frame_.dragged, QStringList({pathAt(3)}));
    EXPECT_EQ(openPath(), pathAt(3));
    QTest::mouseRelease(strip().viewport(), Qt::LeftButton, {}, to);
}

TEST_F(ThumbViewTest, ThumbnailsArriveAndAreKeptWhenTheSameListIsShownAgain) {
    view_.ShowList(all(), false);
    waitForThumbnails();
    EXPECT_EQ(strip().thumbnailAt(2).size(), QSize(120, 160));
    EXPECT_EQ(strip().thumbnailAt(3).size(), QSize(160, 120));
    EXPECT_FALSE(strip().thumbnailAt(0).isNull());

    view_.ShowList(all(), false);
    EXPECT_TRUE(strip().thumbnailsIdle()) << "nothing is made again";
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(strip().thumbnailAt(i).isNull()) << i;
}

TEST_F(ThumbViewTest, ThumbnailsOfAReplacedListNeverLandInTheNewOne) {
    ThumbList landscapes, portraits;
    for (int i = 0; i < 8; ++i) {
        landscapes.append(
            add(QStringLiteral("l%1.jpg").arg(i), picture(QStringLiteral("wl%1.jpg").arg(i), {800, 600})));
        portraits.append(add(QStringLiteral("p%1.jpg").arg(i), picture(QStringLiteral("wp%1.jpg").arg(i), {600, 800})));
    }
    view_.ShowList(landscapes, false);
    view_.ShowList(portraits, false);
    waitForThumbnails();
    for (int i = 0; i < portraits.size(); ++i) EXPECT_EQ(strip().thumbnailAt(i).size(), QSize(120, 160)) << i;
}

}  // namespace
