// Dragging a picture out: the file handed over, made on the first request and kept for the drag.
#include "picturedrag.h"

#include <gtest/gtest.h>

#include <QUrl>

#include "picturerecord.h"
#include "testsupport.h"

TEST(FramePictureDrag, HandsOverTheOriginalFileOnceAskedAndKeepsIt) {
    testsupport::SandBox box;
    const QString path = box.copy(testsupport::dataPath("Canon_40D.jpg"), "beach.jpg");
    PictureRecord picture(path);

    PictureDragData data(picture);
    EXPECT_EQ(data.formats(), QStringList{"text/uri-list"});
    EXPECT_TRUE(data.renderedPath().isEmpty());  // nothing made before a drop target asks
    const int before = PictureDragData::dragCount();

    EXPECT_EQ(data.urls(), QList<QUrl>{QUrl::fromLocalFile(path)});
    EXPECT_EQ(data.data("text/uri-list"), QUrl::fromLocalFile(path).toEncoded() + "\r\n");
    EXPECT_EQ(data.renderedPath(), path);
    EXPECT_EQ(PictureDragData::dragCount(), before + 1);  // later requests reuse the first answer
    EXPECT_EQ(data.dragNumber(), before + 1);
}

TEST(FramePictureDrag, EveryDragRendersANewNumberedCopy) {
    testsupport::SandBox box;
    const QString path = box.copy(testsupport::dataPath("Canon_40D.jpg"), "beach.jpg");
    PictureRecord picture(path);
    QStringList requested;
    const auto renderer = [&](const QString& source, int number) {
        const QString target = PictureDragData::renderedCopyPath(box.filePath("tmp"), source, number);
        requested.append(target);
        return target;
    };
    PictureDragData first(picture, renderer), second(picture, renderer);
    first.urls();
    first.urls();
    second.urls();
    ASSERT_EQ(requested.size(), 2);
    EXPECT_NE(requested[0], requested[1]);
    EXPECT_EQ(first.urls(), QList<QUrl>{QUrl::fromLocalFile(requested[0])});
    EXPECT_EQ(requested[1], box.filePath("tmp") + QString("/beach.%1.jpg").arg(second.dragNumber()));
}

TEST(FramePictureDrag, CopyNamesAndArchivedSources) {
    EXPECT_EQ(PictureDragData::renderedCopyPath("/tmp/SnaploreTemp", "/home/anna/IMG_0042.JPG", 3),
              "/tmp/SnaploreTemp/IMG_0042.3.jpg");
    EXPECT_EQ(PictureDragData::renderedCopyPath("/tmp/SnaploreTemp/", "/a/b.c/x.jpg", 12),
              "/tmp/SnaploreTemp/x.12.jpg");

    testsupport::SandBox box;
    PictureRecord picture(box.copy(testsupport::dataPath("Canon_40D.jpg"), "beach.jpg"));
    EXPECT_EQ(PictureDragData::sourcePath(picture), box.filePath("beach.jpg"));
    picture.archiveLocation = "/media/cdrom/2024/";
    EXPECT_EQ(PictureDragData::sourcePath(picture), "/media/cdrom/2024/beach.jpg");
}

TEST(FramePictureDrag, ACopyThatCouldNotBeMadeGivesTheDropNothing) {
    testsupport::SandBox box;
    PictureRecord picture(box.copy(testsupport::dataPath("Canon_40D.jpg"), "beach.jpg"));
    int asked = 0;
    PictureDragData data(picture, [&](const QString&, int) {
        ++asked;
        return QString();
    });
    EXPECT_TRUE(data.urls().isEmpty());  // never the original in place of the copy asked for
    EXPECT_TRUE(data.data("text/uri-list").isEmpty());
    EXPECT_EQ(asked, 1);  // and it is not tried again within the drag
}
