// The print view drawing a page at 100 dots per inch, where a device pixel is a hundredth of an inch:
// the crop lands in its slot from the full image and from the thumbnail (Quick Preview), and a
// picture of unknown size is named and left blank.

#include "printview.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include "outputtesthelpers.h"
#include "picturerecord.h"
#include "testsupport.h"

namespace {

QImage drawPage(CPrintView& view, int page) {
    QImage image(850, 1100, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    view.drawPage(painter, page, image.size(), 100, 100);
    painter.end();
    return image;
}

}  // namespace

TEST(PrintView, TheCropFillsItsSlotFromImageAndThumbnail) {
    testsupport::SandBox box;
    const QString path = outputtest::makePicture(box.path(), "tall.jpg", QSize(400, 600));
    // The top-left quadrant only, portrait like the "4 x 6" slots 0 and 1.
    auto cropped = outputtest::withInstructions(
        path, "Rotate:0,CropLeft:0,CropRight:200,CropTop:0,CropBottom:300,CropTo:0");
    PictureRecord whole(path);
    whole.iptc().instructions.clear();
    print::PrintOptions options;
    for (const bool preview : {false, true}) {
        CPrintView view({cropped.get(), &whole}, options, "https://example.org/");
        view.setPreview(preview);
        const QImage page = drawPage(view, 1);
        // Slot 0 (0, 25, 400 x 600): all of it the top-left colour.
        for (const QPoint p : {QPoint(20, 45), QPoint(200, 325), QPoint(380, 605)})
            EXPECT_TRUE(outputtest::near(page.pixelColor(p), outputtest::kTopLeft)) << preview << " " << p.x() << "," << p.y();
        // Slot 1 (406, 25): the whole picture, its quadrants where they belong.
        EXPECT_TRUE(outputtest::near(page.pixelColor(506, 175), outputtest::kTopLeft)) << preview;
        EXPECT_TRUE(outputtest::near(page.pixelColor(706, 475), outputtest::kBottomRight)) << preview;
        // Nothing beyond the slots; the third slot has no picture.
        EXPECT_EQ(page.pixelColor(403, 300), QColor(Qt::white));
        EXPECT_EQ(page.pixelColor(300, 850), QColor(Qt::white));
        EXPECT_TRUE(view.failures().isEmpty());
    }
}

TEST(PrintView, APictureOfUnknownSizeIsNamedAndLeftBlank) {
    testsupport::SandBox box;
    const QString path = box.filePath("nosize.jpg");
    testsupport::writeAll(path, QByteArray::fromHex("ffd8ffe000104a46494600010100000100010000ffd9"));
    PictureRecord picture(path);
    print::PrintOptions options;
    options.pages = print::Pages::Both;
    for (const bool preview : {false, true}) {
        CPrintView view({&picture}, options, "https://example.org/");
        view.setPreview(preview);
        EXPECT_EQ(view.pageCount(), 2);
        const QImage page = drawPage(view, 1);
        EXPECT_EQ(page.pixelColor(200, 325), QColor(Qt::white));
        ASSERT_EQ(view.failures().size(), 1);
        EXPECT_EQ(view.failures()[0].picture, "nosize.jpg");
        EXPECT_TRUE(view.failureReport().contains("nosize.jpg: the picture's size is unknown"));
        drawPage(view, 2);  // its information still prints: the date and the name
        EXPECT_EQ(view.failures().size(), 1);
    }
}
