// The large view's geometry without a window: print-size fitting and marks, the crop handles, one
// step of a crop drag with its limits, Rotate Crop, zoom and its scroll position, the decode size.

#include "cropgeometry.h"

#include <gtest/gtest.h>

using namespace cropgeometry;

namespace {

// Edges as the instruction text writes them: left, right (exclusive), top, bottom (exclusive).
CropEdges edges(int left, int top, int right, int bottom) { return CropEdges{left, right, top, bottom}; }

struct FitCase {
    const char* name;
    QRect rect;
    double ratio;
    int alignment;
    QRect expected;
};

TEST(FitRatio, CutsTheLongOrTheShortSideAndPlacesIt) {
    const FitCase cases[] = {
        // Wider than the ratio asks: the short side is cut, centred.
        {"1000x900 at 0.8 centred", QRect(0, 0, 1000, 900), 0.8, 0, QRect(0, 50, 1000, 800)},
        // More elongated than the ratio: the long side is cut, 400 / 0.7 truncated.
        {"400x600 at 0.7 top", QRect(0, 0, 400, 600), 0.7, -1, QRect(0, 0, 400, 571)},
        {"700x1200 at 0.7 bottom", QRect(0, 0, 700, 1200), 0.7, 1, QRect(0, 200, 700, 1000)},
        {"landscape cut at the right", QRect(10, 20, 1200, 700), 0.7, 1, QRect(210, 20, 1000, 700)},
        // An odd leftover: the half is truncated.
        {"odd leftover centred", QRect(0, 0, 101, 100), 0.75, 0, QRect(0, 12, 101, 75)},
        // 600 x 2/3 is exactly 400, not 399.
        {"4 x 6 exactly", QRect(0, 0, 600, 500), 2.0 / 3.0, -1, QRect(0, 0, 600, 400)},
        {"shape already right", QRect(0, 0, 1000, 800), 0.8, 0, QRect(0, 0, 1000, 800)},
    };
    for (const FitCase& c : cases) EXPECT_EQ(FitRatio(c.rect, c.ratio, c.alignment), c.expected) << c.name;
    EXPECT_TRUE(FitRatio(QRect(0, 0, 0, 100), 0.8, 0).isEmpty());
    EXPECT_TRUE(FitRatio(QRect(), 0.8, 0).isEmpty());
}

TEST(PictureSizeMarks, DrawsOnlyTheLinesThatCutAcross) {
    const QRect outer(0, 0, 1000, 900);
    // "8 x 10" centred: the top and bottom lines of the 800-high mark.
    EXPECT_EQ(PictureSizeMarks(outer, 6, 0), (QList<QLine>{QLine(0, 50, 999, 50), QLine(0, 849, 999, 849)}));
    // Anchored at the top, the mark's top is the outer edge: only its bottom line.
    EXPECT_EQ(PictureSizeMarks(outer, 6, -1), (QList<QLine>{QLine(0, 799, 999, 799)}));
    // A narrow portrait crop is cut in its height: the mark keeps the outer width, so its lines are
    // horizontal.
    const QList<QLine> tall = PictureSizeMarks(QRect(0, 0, 300, 1000), 3, 0);
    ASSERT_EQ(tall.size(), 2);
    EXPECT_EQ(tall[0].dy(), 0);
    EXPECT_TRUE(PictureSizeMarks(outer, kNoMarks, 0).isEmpty());
    EXPECT_TRUE(PictureSizeMarks(QRect(), kAllSizes, 0).isEmpty());
}

TEST(PictureSizeMarks, AllDrawsSixPairsIncludingThreeByFour) {
    const QRect outer(0, 0, 1000, 1000);
    const QList<QLine> lines = PictureSizeMarks(outer, kAllSizes, 0);
    ASSERT_EQ(lines.size(), 12);
    // The 0.75 ratio, which has no toolbar entry, is among them: a 750-high mark from 125.
    EXPECT_TRUE(lines.contains(QLine(0, 125, 999, 125)));
    EXPECT_TRUE(lines.contains(QLine(0, 874, 999, 874)));
    // The toolbar's values pick single ratios: 4 is "4 x 6", not "3.5 x 5".
    EXPECT_EQ(PictureSizeMarks(outer, 4, -1), (QList<QLine>{QLine(0, 665, 999, 665)}));
    EXPECT_EQ(PictureSizeMarks(outer, 3, -1), (QList<QLine>{QLine(0, 699, 999, 699)}));
}

TEST(CropHandles, CornersFirstThenTheBandThenNothing) {
    const QRect crop(100, 100, 201, 151);  // edges 100..300, 100..250
    const std::pair<QPoint, Handle> cases[] = {
        {{97, 97}, TopLeft},       {{109, 109}, TopLeft},      {{110, 110}, NoHandle},  // just inside the band
        {{303, 97}, TopRight},     {{291, 109}, TopRight},     {{303, 253}, BottomRight},
        {{97, 253}, BottomLeft},   {{200, 97}, MoveHandle},    {{200, 103}, MoveHandle},
        {{200, 104}, NoHandle},    {{96, 200}, NoHandle},      {{304, 200}, NoHandle},
        {{200, 247}, MoveHandle},  {{200, 175}, NoHandle},
    };
    for (const auto& [point, handle] : cases) EXPECT_EQ(hitHandle(crop, point), handle) << point.x() << "," << point.y();
}

struct DragCase {
    const char* name;
    CropEdges current;
    Handle handle;
    QPoint press;
    QPoint pointer;
    bool crossed;
    CropEdges expected;
};

TEST(CropDrag, EachHandleAndEachEdge) {
    const QSize picture(1000, 750);
    const CropEdges middle = edges(200, 150, 600, 450);  // 400 x 300, the picture's shape
    const DragCase cases[] = {
        {"move", middle, MoveHandle, {300, 300}, {350, 260}, false, edges(250, 110, 650, 410)},
        {"move past the left edge keeps the size", middle, MoveHandle, {300, 300}, {50, 300}, false,
         edges(0, 150, 400, 450)},
        {"move past the top edge", middle, MoveHandle, {300, 300}, {300, 100}, false, edges(200, 0, 600, 300)},
        {"move past the bottom edge", middle, MoveHandle, {300, 300}, {300, 700}, false, edges(200, 450, 600, 750)},
        {"move past the right edge", middle, MoveHandle, {300, 300}, {900, 300}, false, edges(600, 150, 1000, 450)},
        {"top-left grows", middle, TopLeft, {200, 150}, {100, 150}, false, edges(100, 75, 600, 450)},
        {"top-right shrinks", middle, TopRight, {600, 150}, {500, 150}, false, edges(200, 225, 500, 450)},
        {"bottom-right grows", middle, BottomRight, {600, 450}, {800, 450}, false, edges(200, 150, 800, 600)},
        {"bottom-left grows", middle, BottomLeft, {200, 450}, {0, 450}, false, edges(0, 150, 600, 600)},
        {"top-left past the left edge moves the crop there", middle, TopLeft, {200, 150}, {-20, 150}, false,
         edges(0, 150, 400, 450)},
        {"bottom-right to the corner", middle, BottomRight, {600, 450}, {1000, 450}, false,
         edges(200, 150, 1000, 750)},
        {"bottom-right past the bottom moves the crop down", middle, BottomRight, {600, 450}, {1100, 450}, false,
         edges(200, 450, 600, 750)},
        // 76 wide is 57 high in the picture's shape: under the minimum, unchanged.
        {"76 wide, 57 high", middle, BottomRight, {600, 450}, {276, 450}, false, middle},
        {"75 wide is too small", middle, BottomRight, {600, 450}, {275, 450}, false, middle},
        {"past the opposite corner", middle, TopLeft, {200, 150}, {700, 150}, false, middle},
        // A portrait crop on a landscape picture keeps the turned shape.
        {"crossed grows", edges(100, 100, 400, 500), BottomRight, {400, 500}, {460, 500}, true,
         edges(100, 100, 460, 580)},
    };
    for (const DragCase& c : cases) {
        const DragStart start{c.handle, c.press, QPoint(c.current.left, c.current.top)};
        EXPECT_EQ(dragStep(c.current, start, c.pointer, picture, c.crossed), c.expected) << c.name;
    }
}

TEST(CropDrag, ForcingTheShapeNeverLeavesThePicture) {
    // A crop of another shape than the picture, low in it, as another program may have written it:
    // forced to the picture's shape it would reach below the picture; it is moved up instead.
    const QSize picture(1000, 750);
    const CropEdges wide = edges(0, 400, 1000, 750);
    const DragStart start{MoveHandle, {500, 500}, {0, 400}};
    const CropEdges result = dragStep(wide, start, {500, 501}, picture, false);
    EXPECT_EQ(result, edges(0, 0, 1000, 750));
}

TEST(RotateCrop, TurnsAboutTheTopLeftAndStaysInside) {
    const QSize landscape(1000, 750), portrait(750, 1000);
    // Inside: only turned.
    EXPECT_EQ(rotateCrop(edges(100, 100, 500, 400), landscape), edges(100, 100, 400, 500));
    // The whole landscape picture: the tallest portrait crop of the same shape.
    EXPECT_EQ(rotateCrop(edges(0, 0, 1000, 750), landscape), edges(0, 0, 562, 750));
    // The whole portrait picture: the widest landscape crop.
    EXPECT_EQ(rotateCrop(edges(0, 0, 750, 1000), portrait), edges(0, 0, 750, 562));
    // Near the bottom: moved up.
    EXPECT_EQ(rotateCrop(edges(700, 500, 1000, 700), landscape), edges(700, 450, 900, 750));
    // A tall crop at the right of a portrait picture: moved left, and wider than the picture turned,
    // so cut to the widest crop of its shape.
    EXPECT_EQ(rotateCrop(edges(600, 100, 700, 900), portrait), edges(0, 100, 750, 662));
    EXPECT_EQ(rotateCrop(edges(650, 100, 750, 250), portrait), edges(600, 100, 750, 200));
    // Turning twice gives back a landscape crop inside the picture.
    const CropEdges twice = rotateCrop(rotateCrop(edges(0, 0, 1000, 750), landscape), landscape);
    EXPECT_EQ(twice, edges(0, 0, 750, 562));
    EXPECT_TRUE(isCrossed(rotateCrop(edges(0, 0, 1000, 750), landscape), landscape));
}

TEST(Zoom, DoublesHalvesAndStopsAtOneHalf) {
    double factor = 1.0;
    factor = zoomIn(factor);
    factor = zoomIn(factor);
    EXPECT_EQ(factor, 4.0);
    EXPECT_EQ(zoomOut(zoomOut(factor)), 1.0);
    EXPECT_EQ(zoomOut(1.0), 0.5);
    EXPECT_EQ(zoomOut(0.5), 0.5);
    double big = 1.0;
    for (int i = 0; i < 40; ++i) big = zoomIn(big);
    EXPECT_EQ(big, kMaximumZoom);
}

TEST(Zoom, TheClickedPointBecomesTheCentre) {
    const QSize client(800, 600);
    // The centre of the picture at factor 2: scaled 1600 x 1200, centred.
    EXPECT_EQ(zoomScrollPosition({0.5, 0.5}, {1600, 1200}, client, 2.0), QPoint(400, 300));
    // Near the top left: negative positions become 0.
    EXPECT_EQ(zoomScrollPosition({0.1, 0.1}, {1600, 1200}, client, 2.0), QPoint(0, 0));
    // Near the bottom right: no further than the end.
    EXPECT_EQ(zoomScrollPosition({0.99, 0.99}, {1600, 1200}, client, 2.0), QPoint(800, 600));
    EXPECT_EQ(zoomScrollPosition({0.7, 0.7}, {800, 600}, client, 1.0), QPoint(0, 0));
    EXPECT_EQ(zoomScrollPosition({0.5, 0.5}, {400, 300}, client, 0.5), QPoint(0, 0));
}

TEST(Layout, PictureFitsWithRoomForTheText) {
    const QSize reserve(170, 50);
    // Landscape in a tall pane: as wide as the client less the frame, the text below.
    FrameLayout wide = layoutFrame({806, 906}, {4000, 3000}, 1.0, reserve);
    EXPECT_FALSE(wide.portrait);
    EXPECT_EQ(wide.picture, QRectF(3, 3, 800, 600));
    EXPECT_GE(wide.text.top(), 603);
    EXPECT_EQ(wide.text.left(), 8);
    // Landscape in a low pane: fitted so that the text keeps its room.
    FrameLayout low = layoutFrame({1206, 456}, {4000, 3000}, 1.0, reserve);
    EXPECT_DOUBLE_EQ(low.picture.height(), 400.0);
    // Portrait: as high as the client, the text to the right starting 5 pixels from the top.
    FrameLayout tall = layoutFrame({1006, 606}, {3000, 4000}, 1.0, reserve);
    EXPECT_TRUE(tall.portrait);
    EXPECT_EQ(tall.picture, QRectF(3, 3, 450, 600));
    EXPECT_EQ(tall.text.top(), 8);
    EXPECT_GT(tall.text.left(), 453);
    // Zoomed: the picture and the scroll size grow by the factor.
    FrameLayout zoomed = layoutFrame({806, 906}, {4000, 3000}, 2.0, reserve);
    EXPECT_EQ(zoomed.picture.size(), QSizeF(1600, 1200));
    EXPECT_EQ(zoomed.scrollSize, QSize(1606, 1806));
}

TEST(PictureMapping, RoundTripsBetweenPictureAndView) {
    const PictureMapping whole{QRectF(3, 3, 500, 375), QRect(0, 0, 2000, 1500)};
    EXPECT_EQ(whole.toPicture(QPointF(253, 190.5)), QPoint(1000, 750));
    EXPECT_EQ(whole.toView(edges(0, 0, 2000, 1500)), QRect(3, 3, 500, 375));
    const PictureMapping crop{QRectF(3, 3, 500, 375), QRect(400, 300, 1000, 750)};
    EXPECT_EQ(crop.toPicture(QPointF(3, 3)), QPoint(400, 300));
}

TEST(DecodeSize, TheSmallestDecoderScaleThatIsLargeEnough) {
    const QSize picture(6000, 4000);  // 24 megapixels
    EXPECT_EQ(decodeSize(picture, {1000, 667}), QSize(1500, 1000));  // 1/4
    EXPECT_EQ(decodeSize(picture, {1600, 1067}), QSize(3000, 2000));  // 1/2
    EXPECT_EQ(decodeSize(picture, {700, 467}), QSize(750, 500));       // 1/8
    EXPECT_EQ(decodeSize(picture, {4000, 2667}), picture);
    EXPECT_EQ(decodeSize(picture, {12000, 8000}), picture);
}

}  // namespace
