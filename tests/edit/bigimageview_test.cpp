// The large picture view as the user meets it: a crop dragged with the mouse becomes the picture's
// instruction text and survives a save; the crop commands; zoom by clicks; the print-size marks; the
// data text; a missing file; the reduced decode; full screen and back.

#include "bigimageview.h"

#include <gtest/gtest.h>

#include <cmath>

#include <QDir>
#include <QImageWriter>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>

#include "fakeframe.h"
#include "instructiontext.h"
#include "picturerecord.h"
#include "scriptedprompter.h"
#include "settingsstore.h"
#include "snaploredoc.h"
#include "testsupport.h"

namespace {

class BigImageViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        stack_.resize(806, 706);
        stack_.addWidget(&view_);
        stack_.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&stack_));
    }
    QString makePicture(const QString& name, QSize size, QColor colour = QColor(40, 160, 60)) {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        const QString path = sandbox_.filePath(name);
        QImageWriter writer(path, "jpeg");
        EXPECT_TRUE(writer.write(image));
        return path;
    }

    void open(const QString& path) {
        ASSERT_TRUE(frame_.document().OpenPictureFile(path));
        QCoreApplication::processEvents();
    }

    PictureRecord& picture() { return *frame_.document().picture(); }
    QWidget* viewport() { return view_.viewport(); }

    void drag(QPoint from, QPoint to, int steps = 4) {
        QTest::mousePress(viewport(), Qt::LeftButton, {}, from);
        // In steps, as a hand moves the mouse.
        for (int i = 1; i <= steps; ++i) QTest::mouseMove(viewport(), from + (to - from) * i / steps);
        QTest::mouseRelease(viewport(), Qt::LeftButton, {}, to);
    }

    testsupport::SandBox sandbox_;
    FakeFrame frame_{sandbox_.filePath("Snaplore.conf")};
    QStackedWidget stack_;
    CBigImageView view_{frame_};
};

TEST_F(BigImageViewTest, DraggedCropBecomesTheInstructionTextAndSurvivesSaveAndReopen) {
    const QString path = makePicture("crop.jpg", {800, 600});
    open(path);
    ASSERT_TRUE(picture().iptc().instructions.isEmpty());
    view_.toggleCropMarks();
    // The whole picture is shown, 800 view pixels for 800 picture pixels; the crop is all of it.
    const QRect crop = view_.cropOnScreen();
    ASSERT_EQ(crop, QRect(3, 3, 800, 600));
    // The bottom-right corner pulled in to x 600: 600 wide, 450 high in the picture's shape.
    drag(crop.bottomRight() - QPoint(2, 2), QPoint(crop.left() + 600, crop.bottom() - 2));
    EXPECT_EQ(picture().iptc().instructions, "Rotate:0,CropLeft:0,CropRight:600,CropTop:0,CropBottom:450,CropTo:0");
    EXPECT_TRUE(frame_.document().isModified());

    // Then moved right and down by the move band.
    const QRect smaller = view_.cropOnScreen();
    drag(QPoint(smaller.center().x(), smaller.top()), QPoint(smaller.center().x() + 100, smaller.top() + 80));
    EXPECT_EQ(picture().iptc().instructions,
              "Rotate:0,CropLeft:100,CropRight:700,CropTop:80,CropBottom:530,CropTo:0");

    ASSERT_TRUE(frame_.document().SavePictureFile());
    PictureRecord reopened(path);
    EXPECT_EQ(reopened.cropRect(), (instructiontext::CropEdges{100, 700, 80, 530}));
    frame_.document().NewDocument();
    open(path);
    EXPECT_EQ(view_.cropRect(), (instructiontext::CropEdges{100, 700, 80, 530}));
}

TEST_F(BigImageViewTest, CropDragKeepsTheRotationAndRefusesATinyCrop) {
    const QString path = makePicture("rotated.jpg", {800, 600});
    open(path);
    picture().iptc().instructions = QStringLiteral("Rotate:180");
    view_.Reset();
    view_.toggleCropMarks();
    const QRect crop = view_.cropOnScreen();
    // Pulled so far in that it would be 75 pixels wide or less: unchanged.
    drag(crop.bottomRight() - QPoint(2, 2), crop.topLeft() + QPoint(60, 40), 1);
    EXPECT_EQ(picture().iptc().instructions, "Rotate:180,CropLeft:0,CropRight:800,CropTop:0,CropBottom:600,CropTo:0");
}

TEST_F(BigImageViewTest, CropCommandsWriteTheTextAndFollowThePicture) {
    const QString path = makePicture("commands.jpg", {1000, 750});
    open(path);
    view_.toggleCropMarks();
    view_.RotateCrop();
    EXPECT_TRUE(view_.cropCrossed());
    EXPECT_EQ(picture().iptc().instructions, "Rotate:0,CropLeft:0,CropRight:562,CropTop:0,CropBottom:750,CropTo:0");
    view_.setCropAlignment(1);
    EXPECT_EQ(picture().cropTo(), 1);
    EXPECT_EQ(view_.cropAlignment(), 1);
    view_.RemoveCrop();
    EXPECT_FALSE(view_.cropCrossed());
    EXPECT_EQ(picture().iptc().instructions, "Rotate:0,CropLeft:0,CropRight:1000,CropTop:0,CropBottom:750,CropTo:1");
    // The view reads the alignment back from the picture.
    view_.Update();
    EXPECT_EQ(view_.cropAlignment(), 1);

    // Without a picture the commands do nothing.
    frame_.document().setModified(false);
    frame_.document().NewDocument();
    view_.RotateCrop();
    view_.RemoveCrop();
    view_.setCropAlignment(-1);
    EXPECT_FALSE(frame_.document().isModified());
}

TEST_F(BigImageViewTest, PrintSizeMarksSitInsideTheCropOrThePicture) {
    // A square picture, so that no print ratio matches its shape.
    open(makePicture("marks.jpg", {900, 900}));
    view_.setPictureSize(7);
    // Without crop marks the marks stand in the drawn picture: six pairs of lines.
    const QList<QLine> all = view_.markLines();
    EXPECT_EQ(all.size(), 12);
    for (const QLine& line : all) EXPECT_TRUE(view_.pictureArea().toAlignedRect().contains(line.p1()));
    view_.setPictureSize(4);
    view_.toggleCropMarks();
    const QRect crop = view_.cropOnScreen();
    const QList<QLine> four = view_.markLines();
    ASSERT_EQ(four.size(), 2);
    // 4 x 6 in a square crop cuts its height: horizontal lines across the crop.
    EXPECT_EQ(four[0].dy(), 0);
    EXPECT_EQ(four[0].x1(), crop.left());
    view_.setPictureSize(0);
    EXPECT_TRUE(view_.markLines().isEmpty());
}

TEST_F(BigImageViewTest, ZoomClicksDoubleAndHalveAndANewPictureStartsAgain) {
    open(makePicture("zoom.jpg", {1600, 1200}));
    view_.toggleZoom();
    const QPoint centre = view_.viewport()->rect().center();
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, view_.viewport()->rect().center());
    EXPECT_EQ(view_.zoomFactor(), 4.0);
    // Zoomed in, the full picture is decoded.
    view_.viewport()->repaint();
    EXPECT_EQ(picture().image().size(), QSize(1600, 1200));
    for (int i = 0; i < 4; ++i) QTest::mouseClick(viewport(), Qt::RightButton, {}, QPoint(50, 50));
    EXPECT_EQ(view_.zoomFactor(), 0.5);

    // Crop dragging is not possible in zoom mode.
    view_.toggleCropMarks();
    const QString before = picture().iptc().instructions;
    drag(view_.cropOnScreen().bottomRight() - QPoint(2, 2), QPoint(100, 100));
    EXPECT_EQ(picture().iptc().instructions, before);

    open(makePicture("next.jpg", {800, 600}));
    EXPECT_EQ(view_.zoomFactor(), 1.0);
    EXPECT_FALSE(view_.zoomMode());
    EXPECT_TRUE(view_.cropMarksShown());  // crop-mark display lasts across pictures
}

TEST_F(BigImageViewTest, LeavingZoomModeShowsTheFittedPictureAtOnce) {
    open(makePicture("zoomoff.jpg", {1600, 1200}));
    const QRectF fitted = view_.pictureArea();
    view_.toggleZoom();
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, QPoint(600, 400));
    QTest::mouseClick(viewport(), Qt::LeftButton, {}, QPoint(600, 400));
    ASSERT_EQ(view_.zoomFactor(), 4.0);
    ASSERT_NE(view_.pictureArea(), fitted);
    view_.toggleZoom();
    EXPECT_FALSE(view_.zoomMode());
    EXPECT_EQ(view_.zoomFactor(), 1.0);
    EXPECT_EQ(view_.pictureArea(), fitted);  // scrolled back to the top left as well
}

TEST_F(BigImageViewTest, TheCropLineShowsOnDarkBrightAndMidGreyPictures) {
    for (const QColor colour : {QColor(0, 0, 0), QColor(255, 255, 255), QColor(128, 128, 128)}) {
        SCOPED_TRACE(colour.name().toStdString());
        open(makePicture(colour.name().mid(1) + ".jpg", {800, 600}, colour));
        if (!view_.cropMarksShown()) view_.toggleCropMarks();
        const QRect crop = view_.cropOnScreen();
        const QImage shown = viewport()->grab().toImage();
        // Along the top edge, away from the corner squares, the line must stand out from the picture
        // in both directions somewhere: a dark part and a bright part.
        int darkest = 255, brightest = 0;
        for (int x = crop.left() + 20; x < crop.right() - 20; ++x) {
            const int grey = qGray(shown.pixel(x, crop.top()));
            darkest = std::min(darkest, grey);
            brightest = std::max(brightest, grey);
        }
        EXPECT_LT(darkest, 40);
        EXPECT_GT(brightest, 215);
    }
}

TEST_F(BigImageViewTest, LargePictureDecodesAtTheSizeThePaneNeeds) {
    open(makePicture("large.jpg", {4000, 3000}));
    // An 800-pixel pane: a quarter of the picture is enough.
    EXPECT_EQ(picture().image().size(), QSize(1000, 750));
    EXPECT_TRUE(frame_.statusTexts().contains("Loading image..."));
    EXPECT_EQ(frame_.statusTexts().last(), "Ready");
}

TEST_F(BigImageViewTest, MissingFileShowsItsTextAndNoCropMarks) {
    const QString path = makePicture("gone.jpg", {800, 600});
    open(path);
    picture().unloadImage();
    ASSERT_TRUE(QFile::remove(path));
    view_.Reset();
    EXPECT_EQ(view_.missingText(), QStringLiteral("Cannot find file %1").arg(path));
    view_.toggleCropMarks();
    view_.setPictureSize(7);
    EXPECT_TRUE(view_.markLines().isEmpty());
    // The data text is still there.
    EXPECT_TRUE(view_.dataText().contains("gone.jpg"));
    view_.viewport()->repaint();
}

TEST_F(BigImageViewTest, ArchivedPictureAsksForItsDisc) {
    const QString path = makePicture("archived.jpg", {800, 600});
    open(path);
    picture().unloadImage();
    ASSERT_TRUE(QFile::remove(path));
    picture().archiveName = "HOLIDAY04";
    picture().archiveLocation = "/media/cdrom/2004";
    view_.Reset();
    EXPECT_EQ(view_.missingText(), "Please load HOLIDAY04\nLooking for file /media/cdrom/2004/archived.jpg");

    // On the disc it is found and drawn.
    QDir(sandbox_.path()).mkdir("disc");
    makePicture("disc/archived.jpg", {800, 600});
    picture().archiveLocation = sandbox_.filePath("disc") + "/";
    view_.Reset();
    EXPECT_TRUE(view_.missingText().isEmpty());
}

// Below a landscape picture that fills the pane's height, every line of the data text has its room,
// in the pane and in full screen (the slide show).
TEST_F(BigImageViewTest, EveryLineOfTheDataTextFitsBelowThePicture) {
    open(makePicture("wide.jpg", {800, 700}));
    IptcBlock& data = picture().iptc();
    data.event = "05/01/2004-->05/02/2004:::Harbour festival";
    data.headline = "Boats at dusk";
    data.location = "Pier 4";
    data.people = QStringList{"Anna", "Olaf"};
    for (const bool fullScreen : {false, true}) {
        SCOPED_TRACE(fullScreen ? "full screen" : "pane");
        if (fullScreen) view_.enterFullScreen();
        QCoreApplication::processEvents();
        const int lines = int(view_.dataText().count(QLatin1Char('\n'))) + 1;
        ASSERT_EQ(lines, 4);
        const int textTop = int(std::ceil(view_.pictureArea().bottom())) + 2;
        EXPECT_GE(viewport()->height() - 3 - textTop, lines * viewport()->fontMetrics().lineSpacing());
    }
    view_.leaveFullScreen();
}

TEST(BigImageDataText, PictureWithAndWithoutEvent) {
    CBigImageView::DataTextSource source;
    source.position = 2;
    source.count = 9;
    source.event = "07/04/2004-->07/05/2004:::Picnic & Games";
    source.dataDateTime = QDateTime(QDate(2004, 7, 4), QTime(15, 5));
    source.location = "Lake";
    source.city = "Springfield";
    source.state = "IL";
    source.headline = "Anna & Olaf";
    source.people = {"Anna Berg", "Olaf Berg"};
    EXPECT_EQ(CBigImageView::buildDataText(source),
              "Picture 3 of 9 taken on Jul 04, 2004 at 03:05 PM\nLake, Springfield , IL\nPicnic & Games\tAnna & "
              "Olaf\nAnna Berg, Olaf Berg");
    source.portrait = true;
    source.event = "Birthday";  // no ":::": the whole event
    EXPECT_TRUE(CBigImageView::buildDataText(source).contains("\nBirthday\nAnna & Olaf\n"));

    CBigImageView::DataTextSource plain;
    plain.count = 1;
    plain.displayName = "IMG_0001.JPG";
    plain.dateTaken = QDateTime(QDate(2003, 12, 24), QTime(9, 30));
    EXPECT_EQ(CBigImageView::buildDataText(plain), "Picture 1 of 1\tIMG_0001.JPG\nDec 24, 2003 at 09:30 AM");
}

TEST_F(BigImageViewTest, DoubleClickAsksForTheFormAndFullScreenComesBack) {
    open(makePicture("full.jpg", {800, 600}));
    QSignalSpy form(&view_, &CBigImageView::showPictureDataRequested);
    QTest::mouseDClick(viewport(), Qt::LeftButton, {}, QPoint(100, 100));
    EXPECT_EQ(form.count(), 1);

    view_.enterFullScreen();
    EXPECT_TRUE(view_.isFullScreenShown());
    EXPECT_TRUE(view_.isWindow());
    EXPECT_EQ(stack_.indexOf(&view_), -1);
    QTest::keyClick(&view_, Qt::Key_Escape);
    EXPECT_FALSE(view_.isFullScreenShown());
    EXPECT_EQ(stack_.indexOf(&view_), 0);
    EXPECT_EQ(stack_.currentWidget(), &view_);

    // A double click in full screen leaves it too, without asking for the form.
    view_.enterFullScreen();
    QTest::mouseDClick(viewport(), Qt::LeftButton, {}, QPoint(100, 100));
    EXPECT_FALSE(view_.isFullScreenShown());
    EXPECT_EQ(form.count(), 1);
}

}  // namespace
