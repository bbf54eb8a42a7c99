// The page geometry of printing: page counts, the slots normal and mirrored, turning, the trim of
// the crop to the print's proportions, the conversion to device pixels and the information lines.

#include "printlayout.h"

#include <gtest/gtest.h>

#include "outputtesthelpers.h"
#include "picturerecord.h"
#include "testsupport.h"

using print::Layout;
using print::Pages;
using print::PrintSlot;

namespace {
constexpr int k2_5x3_25 = 0, k3_5x5 = 1, k4x6 = 2, k5x7 = 3, k8x10 = 4;
}  // namespace

TEST(PrintLayout, PagesAndWhatTheyHold) {
    struct Case {
        int pictures;
        Layout layout;
        int size;
        Pages pages;
        int count;
    };
    const Case cases[] = {
        {7, Layout::Multiple, k4x6, Pages::Picture, 3},
        {7, Layout::Multiple, k4x6, Pages::Both, 6},
        {7, Layout::Multiple, k4x6, Pages::Info, 3},
        {0, Layout::Multiple, k4x6, Pages::Picture, 1},  // never no page
        {0, Layout::Single, k8x10, Pages::Both, 2},
        {9, Layout::Multiple, k2_5x3_25, Pages::Picture, 1},
        {10, Layout::Multiple, k2_5x3_25, Pages::Picture, 2},
        {5, Layout::Multiple, k3_5x5, Pages::Picture, 2},
        {5, Layout::Multiple, k5x7, Pages::Picture, 3},
        {5, Layout::Multiple, k8x10, Pages::Picture, 5},
        {5, Layout::Single, k2_5x3_25, Pages::Both, 10},
    };
    for (const Case& c : cases)
        EXPECT_EQ(print::pageCount(c.pictures, c.layout, c.size, c.pages), c.count)
            << c.pictures << " pictures, size " << c.size << ", pages " << int(c.pages);

    // Double sided: odd pages show pictures, even ones the information of the same pictures.
    EXPECT_EQ(print::pageContent(1, Layout::Multiple, k4x6, Pages::Both).first, 0);
    EXPECT_FALSE(print::pageContent(1, Layout::Multiple, k4x6, Pages::Both).info);
    EXPECT_EQ(print::pageContent(2, Layout::Multiple, k4x6, Pages::Both).first, 0);
    EXPECT_TRUE(print::pageContent(2, Layout::Multiple, k4x6, Pages::Both).info);
    EXPECT_EQ(print::pageContent(5, Layout::Multiple, k4x6, Pages::Both).first, 6);
    EXPECT_EQ(print::pageContent(3, Layout::Multiple, k2_5x3_25, Pages::Picture).first, 18);
    EXPECT_TRUE(print::pageContent(1, Layout::Single, k4x6, Pages::Info).info);
}

TEST(PrintLayout, Slots) {
    struct Case {
        Layout layout;
        int size;
        int slot;
        int width, height;  // the page, in hundredths of an inch
        bool mirrored;
        PrintSlot expected;
    };
    const Case cases[] = {
        {Layout::Multiple, k4x6, 0, 850, 1100, false, {0, 25, 400, 600}},
        {Layout::Multiple, k4x6, 1, 850, 1100, false, {406, 25, 400, 600}},
        {Layout::Multiple, k4x6, 1, 850, 1100, true, {44, 25, 400, 600}},
        {Layout::Multiple, k4x6, 0, 850, 1100, true, {450, 25, 400, 600}},
        {Layout::Multiple, k4x6, 2, 850, 1100, false, {0, 650, 600, 400}},
        {Layout::Multiple, k4x6, 2, 850, 1100, true, {250, 650, 600, 400}},
        {Layout::Multiple, k4x6, 1, 800, 1100, false, {400, 25, 400, 600}},  // narrow page: flush right
        {Layout::Multiple, k4x6, 1, 800, 1100, true, {0, 25, 400, 600}},
        {Layout::Multiple, k2_5x3_25, 4, 850, 1100, false, {274, 349, 250, 325}},
        {Layout::Multiple, k2_5x3_25, 5, 850, 1100, true, {64, 349, 250, 325}},
        {Layout::Multiple, k2_5x3_25, 8, 827, 1169, false, {536, 686, 250, 325}},  // A4
        {Layout::Multiple, k3_5x5, 3, 850, 1100, false, {400, 550, 350, 500}},
        {Layout::Multiple, k3_5x5, 3, 850, 1100, true, {100, 550, 350, 500}},
        {Layout::Multiple, k5x7, 0, 850, 1100, false, {75, 25, 700, 500}},
        {Layout::Multiple, k5x7, 1, 850, 1100, true, {75, 550, 700, 500}},
        {Layout::Multiple, k8x10, 0, 850, 1100, true, {38, 25, 800, 1000}},
        {Layout::Single, k8x10, 0, 850, 1100, false, {25, 50, 800, 1000}},
        {Layout::Single, k2_5x3_25, 0, 850, 1100, true, {300, 388, 250, 325}},
        {Layout::Single, k5x7, 0, 827, 1169, false, {163, 234, 500, 700}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(print::printSlot(c.layout, c.size, c.slot, c.width, c.height, c.mirrored), c.expected)
            << "size " << c.size << " slot " << c.slot << (c.mirrored ? " mirrored" : "");
}

TEST(PrintLayout, TurningFollowsTheCropsOrientation) {
    const PrintSlot upright{0, 25, 400, 600};
    const PrintSlot turned = print::turnSlot(upright, QRect(0, 0, 3000, 2000));
    EXPECT_EQ(turned, (PrintSlot{0, 25, 600, 400, true}));
    EXPECT_EQ(turned.pageRect(), QRect(0, 25, 400, 600));  // the same part of the page
    EXPECT_EQ(print::turnSlot(upright, QRect(0, 0, 2000, 3000)), upright);
    EXPECT_EQ(print::turnSlot(upright, QRect(0, 0, 2000, 2000)), upright);  // a square turns nothing
    const PrintSlot wide{0, 650, 600, 400};
    EXPECT_TRUE(print::turnSlot(wide, QRect(0, 0, 2000, 3000)).turned);
    EXPECT_FALSE(print::turnSlot(wide, QRect(0, 0, 2000, 2000)).turned);
}

TEST(PrintLayout, TrimToThePrintsProportions) {
    // A landscape crop (turned in portrait slots) and a portrait one, 3000 x 2000 and 2000 x 3000 at
    // (100, 50); CropTo 0 centres the kept span, 1 puts it at the end, -1 at the start.
    const QRect wide(100, 50, 3000, 2000), tall(100, 50, 2000, 3000);
    struct Case {
        Layout layout;
        int size;
        int slot;
        QRect crop;
        bool turned;
        int cropTo;
        QRect expected;
    };
    const Case cases[] = {
        // "2.5 x 3.25": width = trunc(2000 * 1.3) turned, height the same upright.
        {Layout::Multiple, k2_5x3_25, 0, wide, true, 0, {300, 50, 2600, 2000}},
        {Layout::Multiple, k2_5x3_25, 0, tall, false, 0, {100, 250, 2000, 2600}},
        // "3.5 x 5": height = 3000 * 0.7 = 2100 does not fit 2000, so the width goes to 2000 / 0.7.
        {Layout::Multiple, k3_5x5, 0, wide, true, 1, {243, 50, 2857, 2000}},
        {Layout::Multiple, k3_5x5, 0, tall, false, -1, {100, 50, 2000, 2857}},
        // "4 x 6": 3:2 fits exactly; a square in the wide slot 2 loses a third of its height.
        {Layout::Multiple, k4x6, 0, wide, true, 0, {100, 50, 3000, 2000}},
        {Layout::Multiple, k4x6, 1, tall, false, 0, {100, 50, 2000, 3000}},
        {Layout::Multiple, k4x6, 2, wide, false, 0, {100, 50, 3000, 2000}},
        {Layout::Multiple, k4x6, 2, QRect(0, 0, 2000, 2000), false, 1, {0, 667, 2000, 1333}},
        {Layout::Multiple, k4x6, 0, QRect(0, 0, 2000, 2000), false, -1, {0, 0, 1333, 2000}},
        // "5 x 7": 3000 * 5 / 7 = 2142 is longer than 2000, so the other side becomes 2000 * 7 / 5.
        {Layout::Multiple, k5x7, 0, wide, false, 0, {200, 50, 2800, 2000}},
        {Layout::Multiple, k5x7, 0, tall, true, -1, {100, 50, 2000, 2800}},
        {Layout::Multiple, k5x7, 1, QRect(0, 0, 1400, 1000), false, 0, {0, 0, 1400, 1000}},
        {Layout::Multiple, k5x7, 1, QRect(0, 0, 1400, 700), false, 0, {210, 0, 980, 700}},
        // "8 x 10": width = trunc(2000 * 1.25) turned, height the same upright.
        {Layout::Multiple, k8x10, 0, wide, true, 0, {350, 50, 2500, 2000}},
        {Layout::Multiple, k8x10, 0, tall, false, 1, {100, 550, 2000, 2500}},
        // "Single" uses the size's short over long side.
        {Layout::Single, k8x10, 0, QRect(0, 0, 1000, 900), true, 0, {0, 50, 1000, 800}},
        {Layout::Single, k8x10, 0, wide, true, 0, {350, 50, 2500, 2000}},
        {Layout::Single, k4x6, 0, tall, false, 0, {100, 50, 2000, 3000}},
        {Layout::Single, k2_5x3_25, 0, QRect(0, 0, 1000, 2000), false, 1, {0, 700, 1000, 1300}},
        {Layout::Single, k2_5x3_25, 0, tall, false, -1, {100, 50, 2000, 2600}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(print::trimCrop(c.crop, c.layout, c.size, c.slot, c.turned, c.cropTo), c.expected)
            << "size " << c.size << " slot " << c.slot << (c.turned ? " turned" : "") << " CropTo " << c.cropTo;
    EXPECT_TRUE(print::trimCrop(QRect(), Layout::Multiple, k4x6, 0, false, 0).isEmpty());
}

TEST(PrintLayout, HundredthsOfAnInchOnADevice) {
    EXPECT_EQ(print::toDevice(406, 300), 1218);
    EXPECT_EQ(print::toDevice(406, 600), 2436);
    EXPECT_EQ(print::toHundredths(2550, 300), 850);  // Letter at 300 dpi
    EXPECT_EQ(print::toHundredths(2480, 300), 826);  // A4 at 300 dpi
    EXPECT_EQ(print::toHundredths(100, 0), 0);
}

TEST(PrintLayout, InformationLines) {
    // One character is 10 wide: the people wrap before a name that would pass the width.
    const auto width = [](const QString& text) { return int(text.size()) * 10; };
    EXPECT_EQ(print::wrapPeople({"Ann", "Bob", "Carla", "Dieter"}, 100, width),
              (QStringList{"Ann, Bob,", "Carla,", "Dieter"}));
    EXPECT_EQ(print::wrapPeople({"Maximiliane Sophie"}, 100, width), QStringList{"Maximiliane Sophie"});
    EXPECT_EQ(print::wrapPeople({}, 100, width), QStringList{""});

    testsupport::SandBox box;
    const QString path = outputtest::makePicture(box.path(), "a.jpg", QSize(30, 20));
    {
        PictureRecord picture(path);
        picture.iptc().event = "06/01/2024-->06/03/2024:::Summer";
        picture.iptc().headline = "On the lake";
        picture.iptc().location = "Pier";
        picture.iptc().city = "Kingston";
        picture.iptc().state = "ON";
        picture.iptc().people = {"Ann", "Bob", "Carla"};
        picture.iptc().dateTime = QDateTime(QDate(2024, 6, 2), QTime(15, 4));
        picture.iptc().WriteIptc();
    }
    const PictureRecord picture(path);
    EXPECT_EQ(print::infoLines(picture, 100, width),
              (QStringList{"On the lake", "Summer", "Pier, Kingston , ON", "Ann, Bob,", "Carla",
                           "Jun 02, 2024 at 03:04 PM", "a.jpg"}));
    const QString bare = outputtest::makePicture(box.path(), "b.jpg", QSize(30, 20));
    EXPECT_EQ(print::infoLines(PictureRecord(bare), 100, width).size(), 2);
    EXPECT_EQ(print::infoLines(PictureRecord(bare), 100, width).last(), "b.jpg");
    EXPECT_EQ(print::documentTitle("Entire Catalog", 12), "Entire Catalog (12 pictures)");
}
