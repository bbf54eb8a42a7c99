// The slide show's decode ahead: the image comes back fitted and turned as the view shows it, once,
// and only for the picture it was asked for.

#include "slideprefetch.h"

#include <gtest/gtest.h>

#include <QImageWriter>

#include "picturerecord.h"
#include "testsupport.h"

namespace {

QString writePicture(testsupport::SandBox& box, const QString& name, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::darkGreen);
    const QString path = box.filePath(name);
    QImageWriter writer(path, "jpeg");
    EXPECT_TRUE(writer.write(image));
    return path;
}

TEST(SlidePrefetch, HandsOverTheAskedPictureOnceFittedAndTurned) {
    testsupport::SandBox box;
    const QString wide = writePicture(box, "wide.jpg", {800, 400});
    const QString other = writePicture(box, "other.jpg", {300, 200});
    struct Case {
        const char* what;
        int quarters;
        QSize screen;
        QSize expected;
    };
    const Case cases[] = {
        {"fitted to the screen", 0, {400, 400}, {400, 200}},
        {"turned a quarter, then fitted", 1, {400, 400}, {200, 400}},
        {"never enlarged", 0, {1600, 1200}, {800, 400}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SlidePrefetch prefetch;
        const SlidePrefetch::Key key{wide, c.quarters, c.screen};
        prefetch.request(key);
        const std::optional<QImage> image = prefetch.take(key);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->size(), c.expected);
        EXPECT_FALSE(prefetch.take(key)) << "handed over once";
        // The view takes it only with the rotation it shows the picture with.
        PictureRecord record(wide);
        EXPECT_EQ(record.adoptImage(*image, c.quarters), c.quarters == record.imageQuarterTurns());
    }

    SlidePrefetch prefetch;
    const SlidePrefetch::Key first{wide, 0, {400, 400}}, second{other, 0, {400, 400}};
    prefetch.request(first);
    prefetch.request(second);
    EXPECT_FALSE(prefetch.take(first)) << "asking for another picture drops the one before";
    EXPECT_FALSE(prefetch.take({other, 1, {400, 400}})) << "turned otherwise is another picture";
    const std::optional<QImage> resized = prefetch.take({other, 0, {200, 200}});
    ASSERT_TRUE(resized) << "a window that changed its size still gets the decode; the view judges it";
    EXPECT_EQ(resized->size(), QSize(300, 200));

    prefetch.request({box.filePath("gone.jpg"), 0, {400, 400}});
    EXPECT_FALSE(prefetch.take({box.filePath("gone.jpg"), 0, {400, 400}})) << "a failed decode gives nothing";
}

}  // namespace
