// The views follow what the user did in the window: a change of the strip's list moves the picture's
// number and count in the form and the large picture (and closes a picture of another folder), a crop
// saved in the large picture shows in the form's preview and the strip at once, the picture keys work
// from the form's fields, captioned pictures are found by a search, and the catalog commands fit the
// place they run in.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>
#include <QTimer>
#include <QTreeWidgetItemIterator>
#include <functional>
#include <optional>

#include "../ui/uitesthelpers.h"
#include "bigimageview.h"
#include "browsermodel.h"
#include "catalog.h"
#include "commandtable.h"
#include "copytoalldlg.h"
#include "filebrowserview.h"
#include "mainframe.h"
#include "picdataview.h"
#include "scriptedprompter.h"
#include "search.h"
#include "searchdlg.h"
#include "settingsstore.h"
#include "slidshowpropdlg.h"
#include "snaploredoc.h"
#include "testsupport.h"
#include "thumbscrollwnd.h"
#include "thumbview.h"
#include "toolbarpicdata.h"

inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace {

constexpr int kLoadMs = 20000;

// Records the order of the large picture's paints and the strip's new lists: a paint after the last
// list is a paint of the current number.
class PaintLog : public QObject {
public:
    PaintLog(QWidget* painted, CThumbView* strip) {
        painted->installEventFilter(this);
        connect(strip, &CThumbView::listShown, this, [this] { lastList = ++clock; });
    }
    bool paintedSinceLastList() const { return lastPaint > lastList; }
    int clock = 0;
    int lastPaint = 0;
    int lastList = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) lastPaint = ++clock;
        return false;
    }
};

class ViewsFollowTest : public ::testing::Test {
protected:
    // A folder of copies of one picture; `dated` gives each its own date taken, a day apart.
    QString makeFolder(const QString& name, const QStringList& pictures,
                       const QString& source = testsupport::dataPath("Canon_40D.jpg")) {
        const QString folder = box_.filePath(name);
        EXPECT_TRUE(QDir().mkpath(folder));
        for (const QString& picture : pictures) EXPECT_TRUE(QFile::copy(source, folder + "/" + picture));
        return folder;
    }
    // Writes picture data into a file of the folder, as another session of the program did.
    void caption(const QString& path, const QString& headline, const QString& event, int day) {
        PictureRecord picture(path);
        picture.iptc().headline = headline;
        if (!event.isEmpty()) picture.iptc().event = "06/01/2003-->06/01/2003:::" + event;
        picture.iptc().dateTime = QDateTime(QDate(2003, 6, day), QTime(10, 0));
        ASSERT_TRUE(picture.save().ok());
    }

    void openFrame(const QString& folder) {
        frame_ = std::make_unique<CMainFrame>(store_, prompter_, box_.filePath("tmp"));
        frame_->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame_.get()));
        ASSERT_TRUE(reloads([&] { frame_->OpenFolder(folder); }));
    }
    void TearDown() override {
        if (frame_) frame_->document().setModified(false);
    }

    template <class Action>
    bool reloads(Action action) {
        QSignalSpy loaded(frame_->browser(), &CFileBrowserView::loadFinished);
        action();
        return loaded.wait(kLoadMs) || !loaded.isEmpty();
    }

    CSnaploreDoc& document() { return frame_->document(); }
    CPicDataView& form() { return *frame_->picDataView(); }
    QStringList thumbPaths() const {
        QStringList paths;
        for (const BrowserEntry* entry : frame_->thumbView()->list()) paths.append(entry->path);
        return paths;
    }
    // "3 of 5" as the form shows it.
    QString formPosition() {
        return form().control<QLineEdit>(CPicDataView::PictureNumber)->text() + " of " +
               form().control<QLineEdit>(CPicDataView::PictureCount)->text();
    }
    // "3 of 5" as the large picture's text shows it; empty without a picture.
    QString largePosition() {
        const QRegularExpressionMatch match =
            QRegularExpression("^Picture (\\d+ of \\d+)").match(frame_->bigImageView()->dataText());
        return match.hasMatch() ? match.captured(1) : QString();
    }
    // Where the strip puts the open picture, counted as the form counts.
    QString stripPosition() {
        return QStringLiteral("%1 of %2").arg(thumbPaths().indexOf(document().pathName()) + 1).arg(thumbPaths().size());
    }
    void showLargePicture() {
        frame_->action(cmd::ViewLargeImage)->trigger();
        ASSERT_TRUE(uitest::waitFor([&] { return frame_->bigImageView()->isVisible(); }));
    }
    QTreeWidgetItem* pictureItem(const QString& path) {
        for (QTreeWidgetItemIterator it(frame_->browser()->tree()); *it; ++it) {
            const BrowserEntry* entry = CFileBrowserView::entryOf(*it);
            if (entry && entry->kind == EntryKind::Picture && entry->path == path) return *it;
        }
        return nullptr;
    }
    // Opens a picture as a click on its tree item does: its event's pictures fill the strip.
    void selectInTree(const QString& path) {
        QTreeWidgetItem* item = pictureItem(path);
        ASSERT_NE(item, nullptr) << path.toStdString();
        frame_->browser()->tree()->setCurrentItem(item);
        ASSERT_TRUE(uitest::waitFor([&] { return document().pathName() == path; }));
    }

    testsupport::SandBox box_;
    SettingsStore store_{box_.filePath("settings.ini")};
    ScriptedPrompter prompter_;
    std::unique_ptr<CMainFrame> frame_;
};

bool blue(QRgb pixel) { return qBlue(pixel) > 150 && qRed(pixel) < 100; }
bool red(QRgb pixel) { return qRed(pixel) > 150 && qBlue(pixel) < 100; }

}  // namespace

// ---- The strip's list: numbers, counts, the picture shown ----

TEST_F(ViewsFollowTest, ADeleteRenumbersTheFormAndTheLargePicture) {
    const testsupport::TemporaryHome home(box_.filePath("home"));
    const QString folder = makeFolder("pictures", {"a.jpg", "b.jpg", "c.jpg", "d.jpg", "e.jpg"});
    openFrame(folder);
    ASSERT_TRUE(document().OpenPictureFile(folder + "/c.jpg"));
    ASSERT_EQ(formPosition(), "3 of 5");
    showLargePicture();
    ASSERT_EQ(largePosition(), "3 of 5");

    prompter_.answer(id::Yes);
    frame_->DeletePicture();
    ASSERT_EQ(document().pathName(), folder + "/d.jpg");
    ASSERT_EQ(thumbPaths().size(), 4);
    EXPECT_EQ(formPosition(), "3 of 4");
    EXPECT_EQ(largePosition(), "3 of 4");
}

TEST_F(ViewsFollowTest, AnotherFolderClosesThePictureOfThePreviousOne) {
    const QString first = makeFolder("first", {"a.jpg", "b.jpg", "c.jpg"});
    const QString second = makeFolder("second", {"x.jpg", "y.jpg"});
    ASSERT_NO_FATAL_FAILURE(caption(first + "/a.jpg", "Boat", "", 1));
    struct Case {
        const char* name;
        QString typed;  // a headline typed and not saved; empty: no changes
        int answer;     // to the save question; 0: not asked
        bool closed;
    };
    const Case cases[] = {
        {"no changes", "", 0, true},
        {"changes saved", "Saved harbour", id::Yes, true},
        {"changes dropped", "Dropped harbour", id::No, true},
        {"cancelled", "Kept harbour", id::Cancel, false},
    };
    openFrame(first);
    showLargePicture();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        prompter_ = ScriptedPrompter();
        document().setModified(false);
        ASSERT_TRUE(reloads([&] { frame_->OpenFolder(first); }));
        const QString a = first + "/a.jpg";
        ASSERT_TRUE(document().OpenPictureFile(a));
        if (!c.typed.isEmpty()) form().SetHeadline(c.typed);
        ASSERT_EQ(formPosition(), "1 of 3");
        if (c.answer) prompter_.answer(c.answer);

        ASSERT_TRUE(reloads([&] { frame_->OpenFolder(second); }));
        EXPECT_EQ(prompter_.askedTexts(), c.answer ? QStringList{"Save changes to a.jpg?"} : QStringList());
        EXPECT_EQ(thumbPaths().size(), 2);
        EXPECT_EQ(document().picture() == nullptr, c.closed);
        if (c.closed) {
            EXPECT_EQ(formPosition(), "0 of 0");
            EXPECT_EQ(largePosition(), "");
            EXPECT_EQ(form().control<QLineEdit>(CPicDataView::FileName)->text(), "");
            EXPECT_EQ(frame_->pictureDataBar()->headlineEdit()->text(), "");
            frame_->updateActions();
            EXPECT_FALSE(frame_->action(cmd::Save)->isEnabled());
        } else {
            // Kept open on the user's word: it is not in this strip.
            EXPECT_EQ(document().pathName(), a);
            EXPECT_EQ(formPosition(), "0 of 2");
            EXPECT_EQ(largePosition(), "0 of 2");
        }
        EXPECT_TRUE(frame_->action(cmd::NextPicture)->isEnabled());
        const QString stored = PictureRecord(a).iptc().headline;
        EXPECT_EQ(stored == c.typed, c.answer == id::Yes);
    }
}

TEST_F(ViewsFollowTest, ASearchNumbersTheOpenPictureAmongItsResults) {
    const QString folder = makeFolder("pictures", {"a.jpg", "b.jpg", "c.jpg"});
    ASSERT_NO_FATAL_FAILURE(caption(folder + "/a.jpg", "Boat", "", 1));
    ASSERT_NO_FATAL_FAILURE(caption(folder + "/b.jpg", "Bridge", "", 2));
    ASSERT_NO_FATAL_FAILURE(caption(folder + "/c.jpg", "Castle", "", 3));
    openFrame(folder);
    prompter_.answer(id::No);  // the catalog question, as every picture has data
    ASSERT_TRUE(document().OpenPictureFile(folder + "/c.jpg"));
    showLargePicture();
    ASSERT_EQ(formPosition(), "3 of 3");

    search::Criteria criteria = CSearchDlg::initialCriteria();
    criteria.texts[0] = "Boat,Bridge";
    frame_->browser()->runSearch(criteria);
    ASSERT_EQ(thumbPaths(), QStringList({folder + "/a.jpg", folder + "/b.jpg"}));
    EXPECT_EQ(formPosition(), "0 of 2");
    EXPECT_EQ(largePosition(), "0 of 2");

    criteria.texts[0] = "Bridge";
    frame_->browser()->runSearch(criteria);
    ASSERT_EQ(thumbPaths(), QStringList{folder + "/b.jpg"});
    ASSERT_TRUE(document().OpenPictureFile(folder + "/b.jpg"));
    EXPECT_EQ(formPosition(), "1 of 1");
    EXPECT_EQ(largePosition(), "1 of 1");
}

TEST_F(ViewsFollowTest, CatalogRemoveRenumbersThePictureInTheWholeFolder) {
    const QString folder = makeFolder("pictures", {"a.jpg", "b.jpg", "c.jpg"});
    ASSERT_NO_FATAL_FAILURE(caption(folder + "/c.jpg", "Sand", "Beach", 1));
    ASSERT_NO_FATAL_FAILURE(caption(folder + "/a.jpg", "Lion", "Zoo", 2));
    ASSERT_NO_FATAL_FAILURE(caption(folder + "/b.jpg", "Bear", "Zoo", 3));
    ASSERT_TRUE(Catalog().create(folder, true).ok());
    openFrame(folder);
    ASSERT_NO_FATAL_FAILURE(selectInTree(folder + "/b.jpg"));
    ASSERT_EQ(thumbPaths().size(), 2);  // the event Zoo
    showLargePicture();
    ASSERT_EQ(formPosition(), "2 of 2");
    ASSERT_EQ(largePosition(), "2 of 2");
    PaintLog paints(frame_->bigImageView()->viewport(), frame_->thumbView());
    // A change not saved yet: the browser's reselection after the reload asks about it, and the user
    // keeps it, so the same picture object stays open.
    form().SetHeadline("Bear in the water");
    const PictureRecord* open = document().picture();

    prompter_.answer(id::Ok).answer(id::Cancel);
    ASSERT_TRUE(reloads([&] { frame_->removeCatalog(); }));
    ASSERT_TRUE(uitest::waitFor([&] { return prompter_.exhausted(); }));
    ASSERT_EQ(prompter_.askedTexts(), QStringList({"Catalog Removed", "Save changes to b.jpg?"}));
    ASSERT_EQ(thumbPaths().size(), 3);
    ASSERT_EQ(document().picture(), open);
    EXPECT_EQ(stripPosition(), "3 of 3");
    EXPECT_EQ(formPosition(), "3 of 3");
    EXPECT_EQ(largePosition(), "3 of 3");
    EXPECT_TRUE(uitest::waitFor([&] { return paints.paintedSinceLastList(); }))
        << "the large picture shows the number of the new list";
}

// ---- A crop saved in the large picture ----

TEST_F(ViewsFollowTest, ACropSavedInTheLargePictureShowsInThePreviewAndTheStripAtOnce) {
    const QString folder = makeFolder("pictures", {"a.jpg"});
    // Red with a blue bottom-right quarter, without a camera thumbnail: thumbnails are decoded.
    QImage image(400, 300, QImage::Format_RGB32);
    image.fill(Qt::red);
    for (int y = 150; y < 300; ++y)
        for (int x = 200; x < 400; ++x) image.setPixel(x, y, qRgb(0, 0, 255));
    const QString path = folder + "/quarter.jpg";
    ASSERT_TRUE(image.save(path, "JPEG", 95));
    openFrame(folder);
    ASSERT_TRUE(document().OpenPictureFile(path));
    showLargePicture();
    CBigImageView& large = *frame_->bigImageView();

    // The user drags the crop's top-left corner to the middle of the picture.
    frame_->updateActions();
    frame_->action(cmd::CropMarks)->trigger();
    ASSERT_TRUE(large.cropMarksShown());
    const QRect whole = large.cropOnScreen();
    const QPoint middle = whole.center();
    QTest::mousePress(large.viewport(), Qt::LeftButton, {}, whole.topLeft() + QPoint(1, 1));
    QTest::mouseMove(large.viewport(), middle);
    QTest::mouseRelease(large.viewport(), Qt::LeftButton, {}, middle);
    ASSERT_TRUE(document().isModified());
    large.toggleCropMarks();
    ASSERT_TRUE(frame_->SavePicture());
    const instructiontext::CropEdges saved = PictureRecord(path).cropRect();
    ASSERT_NEAR(saved.left, 200, 4);
    ASSERT_NEAR(saved.top, 150, 4);
    ASSERT_EQ(saved.right, 400);
    ASSERT_EQ(saved.bottom, 300);

    // The form's preview shows the blue crop on its first paint: after the save, and after F5 opens
    // the picture anew.
    const auto previewShowsTheCrop = [&] {
        QWidget* anchor = form().control(CPicDataView::PictureAnchor);
        const QImage shown = anchor->grab().toImage();
        const QRect drawn(4, 4, 160, 120);  // the preview at the anchor's corner, in the crop's shape
        for (const QPoint& p : {drawn.topLeft() + QPoint(10, 10), drawn.center(), drawn.bottomRight() - QPoint(10, 10)})
            if (!blue(shown.pixel(p))) return false;
        return true;
    };
    frame_->action(cmd::ViewPictureData)->trigger();
    ASSERT_TRUE(uitest::waitFor([&] { return form().isVisible(); }));
    EXPECT_FALSE(form().sizeText().startsWith("100%")) << form().sizeText().toStdString();
    EXPECT_TRUE(previewShowsTheCrop());
    // F5 reads the picture anew: the preview's first paint of it is taken as the form has just shown it.
    std::optional<bool> firstPaint;
    const QMetaObject::Connection reopened = QObject::connect(&document(), &CSnaploreDoc::updateAllViews, [&] {
        if (!firstPaint) firstPaint = previewShowsTheCrop();
    });
    frame_->action(cmd::Refresh)->trigger();
    ASSERT_TRUE(uitest::waitFor([&] { return firstPaint.has_value(); }));
    QObject::disconnect(reopened);
    EXPECT_TRUE(*firstPaint);

    // The strip draws the crop's part of the thumbnail.
    CThumbScrollWnd& strip = *frame_->thumbView()->strip();
    const int index = thumbPaths().indexOf(path);
    ASSERT_GE(index, 0);
    ASSERT_TRUE(uitest::waitFor([&] { return !strip.thumbnailAt(index).isNull(); }, kLoadMs));
    strip.verticalScrollBar()->setValue(0);
    const QRect box = strip.boxInViewport(index);
    const QImage shown = strip.viewport()->grab().toImage();
    EXPECT_TRUE(blue(shown.pixel(box.topLeft() + QPoint(10, 10)))) << "the crop, not the whole picture";
    EXPECT_TRUE(blue(shown.pixel(box.center())));
    EXPECT_FALSE(red(shown.pixel(box.center())));
}

// ---- The picture keys in the form's fields ----

TEST_F(ViewsFollowTest, PictureKeysMoveBetweenPicturesFromTheFields) {
    const QString folder = makeFolder("pictures", {"a.jpg", "b.jpg", "c.jpg"});
    openFrame(folder);
    const QStringList paths = thumbPaths();
    ASSERT_EQ(paths.size(), 3);
    frame_->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame_.get()));

    const std::pair<const char*, QWidget*> fields[] = {
        {"headline", form().control(CPicDataView::Headline)},
        {"caption", form().control(CPicDataView::Caption)},
        {"date taken", form().control(CPicDataView::DateTaken)},
        {"people entry", form().control(CPicDataView::Entry)},
        {"toolbar headline", frame_->pictureDataBar()->headlineEdit()},
    };
    struct Step {
        Qt::Key key;
        int to;
    };
    const Step steps[] = {{Qt::Key_Right, 1}, {Qt::Key_End, 2}, {Qt::Key_Left, 1}, {Qt::Key_Home, 0}};
    for (const auto& [name, field] : fields) {
        SCOPED_TRACE(name);
        ASSERT_NE(field, nullptr);
        ASSERT_TRUE(document().OpenPictureFile(paths[0]));
        field->setFocus();
        ASSERT_TRUE(uitest::waitFor([&] { return QApplication::focusWidget() == field ||
                                                 field->isAncestorOf(QApplication::focusWidget()); }));
        for (const Step& step : steps) {
            QTest::keyClick(QApplication::focusWidget(), step.key, Qt::ControlModifier);
            EXPECT_EQ(document().pathName(), paths[step.to]) << QKeySequence(step.key | Qt::ControlModifier).toString().toStdString();
        }
    }
    EXPECT_TRUE(prompter_.asked().isEmpty());

    // Every other key keeps its meaning in the field: Ctrl+Del deletes a word, not the picture.
    auto* headline = form().control<QLineEdit>(CPicDataView::Headline);
    headline->setFocus();
    ASSERT_TRUE(uitest::waitFor([&] { return QApplication::focusWidget() == headline; }));
    QTest::keyClicks(headline, "Harbour at dusk");
    headline->setCursorPosition(0);
    QTest::keyClick(headline, Qt::Key_Delete, Qt::ControlModifier);
    EXPECT_EQ(headline->text(), "at dusk");
    EXPECT_TRUE(prompter_.asked().isEmpty());
    EXPECT_TRUE(QFile::exists(paths[0]));
    document().setModified(false);
}

// ---- Search finds what was captioned ----

TEST_F(ViewsFollowTest, PicturesCaptionedByTheFormAndCopyToAllAreFoundByADefaultSearch) {
    // Camera pictures without picture data, and one without any date.
    const QString folder =
        makeFolder("pictures", {"a.jpg", "b.jpg", "c.jpg", "d.jpg"}, testsupport::dataPath("iptc_no_date_camera_date.jpg"));
    ASSERT_TRUE(QFile::copy(testsupport::dataPath("iptc_no_date_no_camera.jpg"), folder + "/e.jpg"));
    openFrame(folder);
    const QStringList all = thumbPaths();
    ASSERT_EQ(all.size(), 5);
    const QString a = folder + "/a.jpg";

    // Captioned in the form and saved, then given to all by Copy to All.
    ASSERT_TRUE(document().OpenPictureFile(a));
    auto* event = form().control<QLineEdit>(CPicDataView::Event);
    event->setFocus();
    QTest::keyClicks(event, "Harbour");
    form().SetHeadline("Boats at dusk");
    frame_->action(cmd::Save)->trigger();
    ASSERT_FALSE(document().isModified());
    uitest::onModal([](QWidget* dialog) { static_cast<QDialog*>(dialog)->accept(); });
    // Copy the event; the question to create the catalog, once every picture has data: not yet.
    prompter_.answer(id::Yes).answer(id::No);
    frame_->SaveCopyToAll();
    ASSERT_TRUE(uitest::waitFor([&] { return prompter_.exhausted(); }));
    for (const QString& path : all) ASSERT_TRUE(PictureRecord(path).iptc().event.endsWith(":::Harbour")) << path.toStdString();

    prompter_.answer(id::Ok);
    ASSERT_TRUE(reloads([&] { frame_->createCatalog(); }));
    ASSERT_EQ(prompter_.askedTexts().last(), "Catalog Created");

    // The Search dialog as it opens, and by the event's name: every picture with a date.
    const QStringList dated = {folder + "/a.jpg", folder + "/b.jpg", folder + "/c.jpg", folder + "/d.jpg"};
    for (const QString& text : {QString(), QStringLiteral("Harbour")}) {
        SCOPED_TRACE(text.toStdString());
        uitest::onModal([&](QWidget* dialog) {
            dialog->findChild<QLineEdit*>("text1046")->setText(text);
            dialog->findChild<QPushButton*>("searchButton")->click();
        });
        frame_->updateActions();
        ASSERT_TRUE(frame_->action(cmd::Search)->isEnabled());
        frame_->action(cmd::Search)->trigger();
        QStringList found = thumbPaths();
        found.sort();
        EXPECT_EQ(found, dated) << "a picture without a date is left out, as the dialog's help says";
        frame_->browser()->upOneLevel();  // leaves the search
    }
}

// ---- The catalog commands where they run ----

TEST_F(ViewsFollowTest, TheDriveListHasNoCatalogToCreate) {
    const QString folder = makeFolder("pictures", {"a.jpg"});
    openFrame(folder);
    frame_->updateActions();
    EXPECT_TRUE(frame_->action(cmd::CatalogCreate)->isEnabled());
    ASSERT_TRUE(reloads([&] { frame_->OpenFolder(browser::kDriveList); }));
    frame_->updateActions();
    EXPECT_FALSE(frame_->action(cmd::CatalogCreate)->isEnabled());
    frame_->createCatalog();  // a hot key or a stray call: nothing happens, nothing is asked
    EXPECT_TRUE(prompter_.asked().isEmpty());
}

TEST_F(ViewsFollowTest, NamesACatalogCannotHoldAreNamedInOneMessageAfterCreate) {
    const QString folder = makeFolder("pictures", {"a.jpg", "back\\slash.jpg", "line\nfeed.jpg"});
    openFrame(folder);
    prompter_.answer(id::Ok).answer(id::Ok);
    ASSERT_TRUE(reloads([&] { frame_->createCatalog(); }));
    const QStringList asked = prompter_.askedTexts();
    ASSERT_EQ(asked.size(), 2);
    EXPECT_EQ(asked[0], "Catalog Created");
    EXPECT_TRUE(asked[1].contains("back\\slash.jpg")) << asked[1].toStdString();
    EXPECT_TRUE(asked[1].contains("line\\nfeed.jpg")) << asked[1].toStdString();
    EXPECT_FALSE(asked[1].contains("a.jpg:"));
    EXPECT_EQ(prompter_.asked()[1].flags & 0xF0, unsigned(mb::IconExclamation));

    // A folder whose names all fit is told only that its catalog was created.
    QFile::remove(folder + "/back\\slash.jpg");
    QFile::remove(folder + "/line\nfeed.jpg");
    prompter_ = ScriptedPrompter();
    prompter_.answer(id::Ok);
    ASSERT_TRUE(reloads([&] { frame_->createCatalog(); }));
    EXPECT_EQ(prompter_.askedTexts(), QStringList{"Catalog Created"});
}

// ---- The slide show ----

TEST_F(ViewsFollowTest, TheSlideShowStepsThroughTheStripAndGivesTheViewBack) {
    const QString folder = makeFolder("show", {"a.jpg", "b.jpg", "c.jpg"});
    openFrame(folder);
    ASSERT_TRUE(document().OpenPictureFile(folder + "/b.jpg"));
    CBigImageView* view = frame_->bigImageView();
    QWidget* column = view->parentWidget();

    // The command opens the properties; however they are closed, the show starts at the first picture.
    QTimer::singleShot(0, [view] { view->slideShowDialog()->reject(); });
    frame_->action(cmd::SlideShow)->trigger();
    ASSERT_TRUE(view->slideShowRunning());
    EXPECT_TRUE(view->isWindow());
    EXPECT_EQ(document().pathName(), folder + "/a.jpg");
    EXPECT_TRUE(view->slideTimerActive()) << "5 seconds between pictures unless changed";
    ASSERT_TRUE(view->prefetch().pending());
    EXPECT_EQ(view->prefetch().pending()->path, folder + "/b.jpg") << "the next picture decodes ahead";

    // Clicks, keys and the timer move the show; a crop never starts.
    view->beginSlideShow(0);
    EXPECT_FALSE(view->slideTimerActive());
    struct Step {
        const char* what;
        std::function<void()> act;
        const char* shown;
    };
    QWidget* screen = view->viewport();
    const Step steps[] = {
        {"left button", [&] { QTest::mouseClick(screen, Qt::LeftButton, {}, {50, 50}); }, "b.jpg"},
        {"right button", [&] { QTest::mouseClick(screen, Qt::RightButton, {}, {50, 50}); }, "a.jpg"},
        {"Right arrow", [&] { QTest::keyClick(view, Qt::Key_Right); }, "b.jpg"},
        {"Space", [&] { QTest::keyClick(view, Qt::Key_Space); }, "c.jpg"},
        {"Left arrow", [&] { QTest::keyClick(view, Qt::Key_Left); }, "b.jpg"},
        {"timer", [&] { view->slideTick(); }, "c.jpg"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.act();
        EXPECT_EQ(QFileInfo(document().pathName()).fileName(), step.shown);
        EXPECT_TRUE(view->slideShowRunning());
    }
    EXPECT_FALSE(document().isModified()) << "a slide show changes no picture";
    EXPECT_EQ(view->slideShowDecodes(), 3)
        << "a step forward shows a picture decoded ahead: only the first picture and the two steps back decode";
    EXPECT_FALSE(frame_->pictureAt(0)->imageLoaded()) << "a picture left lets go of its pixels";
    EXPECT_TRUE(document().picture()->imageLoaded());

    // At the last picture the next tick ends the show, and the view is back in its column.
    view->slideTick();
    EXPECT_FALSE(view->slideShowRunning());
    EXPECT_FALSE(view->isWindow());
    EXPECT_EQ(view->parentWidget(), column);
    EXPECT_TRUE(view->isVisible());

    // Escape and a double click end it too; the time chosen is kept for the next show.
    for (const char* way : {"Escape", "double click"}) {
        SCOPED_TRACE(way);
        view->beginSlideShow(7);
        ASSERT_TRUE(view->slideShowRunning());
        if (QByteArray(way) == "Escape")
            QTest::keyClick(view, Qt::Key_Escape);
        else
            QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, {50, 50});
        EXPECT_FALSE(view->slideShowRunning());
        EXPECT_EQ(view->parentWidget(), column);
    }
    view->slideShowDialog()->setTimeBetween(2);
    QTimer::singleShot(0, [view] { view->slideShowDialog()->accept(); });
    frame_->action(cmd::SlideShow)->trigger();
    EXPECT_EQ(view->slideShowDialog()->timeBetween(), 2);
    QTest::keyClick(view, Qt::Key_Escape);
}
