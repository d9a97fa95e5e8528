/*******************************************************************************************
*  widgets_test.cpp — toolkit geometry, hover and clicks, cards, clipping, scrollbars
*
*  No window exists here: the raylib calls are swapped for a recorder, so the drawing paths
*  run for real and the tests check what would have been drawn.
*******************************************************************************************/
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "link/json.h"
#include "link/state.h"
#include "ui/rows.h"
#include "ui/widgets.h"
#include "window_test.h"

namespace vlr {
namespace {

using test::Drawn;
using test::drawn;
using test::drawnOf;

class WidgetTest : public test::WindowTest {
protected:
    static void mouseAt(float x, float y, bool click = false) {
        uiState().input.mouseX = x;
        uiState().input.mouseY = y;
        uiState().input.leftClick = click;
    }
};
using ButtonTest = WidgetTest;
using ClipTest = WidgetTest;
using CardTest = WidgetTest;
using ScrollTest = WidgetTest;

void expectRect(const Rectangle& r, float x, float y, float width, float height) {
    EXPECT_FLOAT_EQ(r.x, x);
    EXPECT_FLOAT_EQ(r.y, y);
    EXPECT_FLOAT_EQ(r.width, width);
    EXPECT_FLOAT_EQ(r.height, height);
}

bool sameColour(Color a, Color b) { return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a; }

// ---- geometry ----

TEST(SnapTest, RoundsHalvesAwayFromZeroAndSnapsEdgesNotSizes) {
    EXPECT_EQ(roundHalfAway(0.5f), 1);
    EXPECT_EQ(roundHalfAway(-0.5f), -1);
    EXPECT_EQ(roundHalfAway(2.5f), 3);
    EXPECT_EQ(roundHalfAway(-2.5f), -3);
    EXPECT_EQ(roundHalfAway(-2.4f), -2);

    // Rounding the size on its own would give width 1 and height 2.
    const Rect r = snap({0.5f, -0.5f, 1.0f, 2.0f});
    EXPECT_EQ(r.x, 1);
    EXPECT_EQ(r.y, -1);
    EXPECT_EQ(r.width, 1);   // right edge 1.5 -> 2
    EXPECT_EQ(r.height, 3);  // bottom edge 1.5 -> 2
    const Rect n = snap({-1.5f, 3.4f, -1.0f, 0.2f});
    EXPECT_EQ(n.x, -2);
    EXPECT_EQ(n.width, -1);  // right edge -2.5 -> -3
    EXPECT_EQ(n.y, 3);
    EXPECT_EQ(n.height, 1);  // bottom edge 3.6 -> 4
}

TEST(SnapTest, RoundnessScalesToShorterSideAndCaps) {
    EXPECT_FLOAT_EQ(roundness(100, 20, 5), 0.5f);
    EXPECT_FLOAT_EQ(roundness(20, 100, 30), 1.0f);
    EXPECT_FLOAT_EQ(roundness(100, 20, -4), 0.0f);
    EXPECT_FLOAT_EQ(roundness(0.25f, 50, 0.2f), 0.4f);  // sides under 1 count as 1
}

// ---- rounded box ----

TEST(RowsTest, CellsFromEitherEndTheRestBetweenAndTheColumnMovesOn) {
    Column content = column(10, 100, 400);
    Row row = nextRow(content, 39, 10, 8);
    const Rect first = cell(row, 100);
    const Rect second = cell(row, 50);
    const Rect last = cellRight(row, 60);
    const Rect between = rest(row);
    EXPECT_EQ((std::vector<float>{first.x, first.y, first.width, first.height}), (std::vector<float>{10, 100, 100, 39}));
    EXPECT_EQ(second.x, 118);
    EXPECT_EQ((std::vector<float>{last.x, last.width}), (std::vector<float>{350, 60}));
    EXPECT_EQ((std::vector<float>{between.x, between.width}), (std::vector<float>{176, 166}));  // a gap on each side
    EXPECT_EQ(content.y, 149);
    skip(content, 20);
    EXPECT_EQ(used(content), 69);
}

TEST(RowsTest, FlushRightCellsEndAtTheRightAndAMiddleCellLeavesTheRowAlone) {
    Row chips = rowAt(10, 0, 400, 28, 6);
    flushRight(chips, 106);  // two cells of 50 and their gap
    cell(chips, 50);
    EXPECT_EQ(cell(chips, 50).x + 50, 410);
    Row row = rowAt(10, 0, 400, 39, 8);
    cell(row, 100);
    const Rect middle = cellMiddle(row, 60);
    EXPECT_EQ(middle.x, 118 + (292 - 60) / 2.0f);  // in what is left, not in the whole row
    EXPECT_EQ(rest(row).x, 118);
}

TEST_F(WidgetTest, RoundedBoxSnapsInPlaceAndFillsInsideItsOutline) {
    uiState().scale = 1.5f;  // default thickness round(1.5) = 2
    Rect r{10.4f, 20.5f, 100.2f, 40.0f};
    drawRoundedBox(r, 12, kLine, kCardFill);
    expectRect(toRaylib(r), 10, 21, 101, 40);
    const auto fills = drawnOf(Drawn::kFill);
    const auto lines = drawnOf(Drawn::kOutline);
    ASSERT_EQ(fills.size(), 1u);
    ASSERT_EQ(lines.size(), 1u);
    expectRect(fills[0].rect, 12, 23, 97, 36);
    EXPECT_FLOAT_EQ(fills[0].roundness, 2 * 10.0f / 36);
    expectRect(lines[0].rect, 12, 23, 97, 36);
    EXPECT_FLOAT_EQ(lines[0].thickness, 2);
    EXPECT_TRUE(sameColour(lines[0].colour, kLine));
    EXPECT_TRUE(sameColour(fills[0].colour, kCardFill));
}

TEST_F(WidgetTest, RoundedBoxDropsOutlineEqualToFillAndSkipsClearParts) {
    Rect r{0, 0, 50, 20};
    drawRoundedBox(r, 4, kAccent, kAccent, 3);
    ASSERT_EQ(drawn().size(), 1u);
    EXPECT_EQ(drawn()[0].kind, Drawn::kFill);
    expectRect(drawn()[0].rect, 0, 0, 50, 20);  // the whole box, no inner rectangle
    EXPECT_FLOAT_EQ(drawn()[0].roundness, 0.4f);

    drawn().clear();
    drawRoundedBox(r, 4, kLine, Color{0, 0, 0, 0}, 3);
    ASSERT_EQ(drawn().size(), 1u);
    EXPECT_EQ(drawn()[0].kind, Drawn::kOutline);
    expectRect(drawn()[0].rect, 3, 3, 44, 14);
    EXPECT_FLOAT_EQ(drawn()[0].roundness, 2 * 1.0f / 14);

    drawn().clear();
    uiState().drawing = false;
    Rect loose{0.5f, 0.5f, 10, 10};
    drawRoundedBox(loose, 4, kLine, kCardFill);
    EXPECT_TRUE(drawn().empty());
    EXPECT_EQ(loose.x, 0.5f);  // a measuring pass leaves the caller's rectangle alone
}

// ---- hover, click and buttons ----

TEST_F(ButtonTest, OnlyFirstHoveredTakesTheClick) {
    mouseAt(15, 15, true);
    EXPECT_TRUE(button(10, 10, "Install", kPrimary));
    EXPECT_FALSE(button(12, 12, "Install", kSecondary));  // overlaps, but the click is gone
    EXPECT_EQ(uiState().input.wantedCursor, MOUSE_CURSOR_POINTING_HAND);

    mouseAt(500, 500, true);
    EXPECT_FALSE(button(10, 10, "Install", kPrimary));
    EXPECT_TRUE(uiState().input.leftClick);  // left for whoever is under the mouse
}

TEST_F(ButtonTest, GeometryAndPrimaryHasNoOutline) {
    uiState().scale = 2;
    const float width = buttonWidth("Play");
    EXPECT_EQ(width, roundHalfAway(width));
    EXPECT_GE(width, 60);  // 30s of padding around the label
    button(10.5f, 20.5f, "Play", kPrimary);
    const auto fills = drawnOf(Drawn::kFill);
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_TRUE(drawnOf(Drawn::kOutline).empty());
    expectRect(fills[0].rect, 11, 21, roundHalfAway(10.5f + width) - 11, 78);
    EXPECT_TRUE(sameColour(fills[0].colour, kAccent));
    const auto texts = drawnOf(Drawn::kText);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].slot, kRegular14);
    EXPECT_FLOAT_EQ(texts[0].rect.x, 11 + 30);
    EXPECT_FLOAT_EQ(texts[0].rect.y, 21 + 39);
    EXPECT_TRUE(sameColour(texts[0].colour, kWhite));

    // The quiet style turns into a secondary-looking button under the mouse.
    drawn().clear();
    mouseAt(20, 30);
    button(10, 20, "Open", kQuiet);
    ASSERT_EQ(drawnOf(Drawn::kOutline).size(), 1u);
    EXPECT_TRUE(sameColour(drawnOf(Drawn::kOutline)[0].colour, kLine));
    EXPECT_TRUE(sameColour(drawnOf(Drawn::kFill)[0].colour, kPanelFill));
    EXPECT_TRUE(sameColour(drawnOf(Drawn::kText)[0].colour, kTextPrimary));
}

TEST_F(ButtonTest, DisabledNeverReactsAndIsFaded) {
    mouseAt(15, 15, true);
    EXPECT_FALSE(button(10, 10, "Uninstall", kSecondary, false));
    EXPECT_TRUE(uiState().input.leftClick);
    EXPECT_EQ(uiState().input.wantedCursor, MOUSE_CURSOR_DEFAULT);
    ASSERT_EQ(drawn().size(), 3u);  // fill, outline, label
    for (const Drawn& call : drawn()) EXPECT_EQ(call.colour.a, 102) << call.kind;
    EXPECT_TRUE(sameColour(drawnOf(Drawn::kFill)[0].colour, Color{24, 24, 27, 102}));  // normal, not hovered
}

// A launcher that is away: what it serves neither clicks nor presses, looks disabled, says
// why under the pointer or the ring, and keeps its place in the focus order.
TEST_F(ButtonTest, ServedControlsAreOffWhileTheLauncherIsAway) {
    UiState& ui = uiState();
    ui.serviceDown = "Needs the launcher.";
    mouseAt(15, 15, true);
    {
        const ServedControls served;
        EXPECT_FALSE(button(10, 10, "Browse", kSecondary));
        EXPECT_EQ(ui.input.wantedCursor, MOUSE_CURSOR_DEFAULT);
        for (const Drawn& call : drawn()) EXPECT_EQ(call.colour.a, 102) << call.kind;
        EXPECT_EQ(ui.offTip, "Needs the launcher.");
        EXPECT_FLOAT_EQ(ui.offTipRect.x, 10);
        const LocalControls local;   // a Cancel inside works on
        mouseAt(15, 15, true);
        EXPECT_TRUE(button(10, 10, "Cancel", kQuiet));
    }
    EXPECT_TRUE(ui.controlsOff.empty());

    mouseAt(500, 500);
    ui.offTip.clear();
    ui.focus.id = "button:Stop";
    ui.focus.visible = true;
    ui.focus.actions = {kNavPress};
    {
        const ServedControls served;
        EXPECT_FALSE(button(10, 60, "Stop", kSecondary));
    }
    EXPECT_EQ(ui.focus.actions, std::vector<int>{kNavPress});   // left for whoever may use it
    EXPECT_TRUE(ui.focus.seen);
    EXPECT_EQ(ui.offTip, "Needs the launcher.");

    ui.serviceDown.clear();   // back: the same button works again, in the next frame
    ui.focus.items.clear();
    ui.focus.itemTable.assign(ui.focus.itemTable.size(), 0);
    {
        const ServedControls served;
        EXPECT_TRUE(button(10, 60, "Stop", kSecondary));
    }
}

TEST_F(WidgetTest, HoverNeedsDrawingFreeMouseAndTheTopClip) {
    const Rect r{0, 0, 100, 100};
    mouseAt(50, 50);
    EXPECT_TRUE(isHovered(r));
    EXPECT_FALSE(isHovered({0, 0, 50, 50}));  // right and bottom edges are outside
    uiState().input.mouseFree = false;
    EXPECT_FALSE(isHovered(r));
    uiState().input.mouseFree = true;
    uiState().drawing = false;
    EXPECT_FALSE(isHovered(r));
    uiState().drawing = true;
    pushClip({60, 0, 100, 100});
    EXPECT_FALSE(isHovered(r));
    popClip();
    EXPECT_TRUE(isHovered(r));
}

// ---- clip stack ----

TEST_F(ClipTest, IntersectsNestedAndEmptiesWhenDisjoint) {
    pushClip({0.4f, 10, 100, 100});
    pushClip({50, 50, 100.3f, 100});
    ASSERT_EQ(uiState().clips.size(), 2u);
    expectRect(toRaylib(uiState().clips.back()), 50, 50, 50.4f, 60);
    pushClip({200, 0, 10, 10});
    expectRect(toRaylib(uiState().clips.back()), 200, 50, 0, 0);
    mouseAt(200, 50);
    EXPECT_FALSE(isHovered({0, 0, 1000, 1000}));
    popClip();
    Rectangle clip{};
    ASSERT_TRUE(drawingClip(clip));
    expectRect(clip, 50, 50, 50, 60);  // right edge 100.4 snaps to 100

    popClip();
    popClip();
    EXPECT_TRUE(uiState().clips.empty());
    EXPECT_FALSE(drawingClip(clip));
    popClip();  // one too many: nothing happens
    EXPECT_TRUE(uiState().clips.empty());
    EXPECT_TRUE(drawn().empty());  // cut on the CPU: no scissor
}

// Only a shape crossing the edge costs a scissor, one for the clip however many cross it,
// and it ends with the clip it belongs to.
TEST_F(ClipTest, ShapesAcrossTheEdgeTurnTheScissorOnUntilTheClipChanges) {
    EXPECT_TRUE(shapeInClip({-5, -5, 10, 10}));   // no clip: everything shows
    pushClip({0, 10.4f, 100, 100});
    EXPECT_TRUE(shapeInClip({10, 20, 30, 30}));
    EXPECT_FALSE(shapeInClip({10, 110, 30, 30}));  // touching the bottom edge is outside
    EXPECT_TRUE(drawn().empty());
    EXPECT_TRUE(shapeInClip({10, 100, 30, 30}));
    EXPECT_TRUE(shapeInClip({-10, 50, 30, 30}));
    const auto scissors = drawnOf(Drawn::kScissor);
    ASSERT_EQ(scissors.size(), 1u);
    expectRect(scissors[0].rect, 0, 10, 100, 100);

    pushClip({0, 0, 50, 50});   // the scissor was the outer clip's
    EXPECT_EQ(drawn().back().kind, Drawn::kEndScissor);
    EXPECT_TRUE(shapeInClip({10, 20, 10, 10}));
    popClip();
    EXPECT_TRUE(shapeInClip({10, 100, 30, 30}));
    dropClips();
    EXPECT_EQ(drawnOf(Drawn::kScissor).size(), 2u);
    EXPECT_EQ(drawnOf(Drawn::kEndScissor).size(), 2u);
    EXPECT_FALSE(uiState().scissorOn);
    EXPECT_TRUE(uiState().clips.empty());
}

// A quad cut by the clip keeps the texels of the pixels left: at two pixels per texel a
// cut of 4 pixels moves the texture edge by 2 texels; nothing left means no quad at all.
TEST(ClipQuad, KeepsTheTexelsOfThePixelsLeft) {
    const TexturedQuad glyph{10, 20, 30, 40, 100, 50, 110, 60};   // 20 x 20 pixels from 10 x 10 texels
    TexturedQuad quad = glyph;
    ASSERT_TRUE(clipQuad(quad, Rectangle{0, 0, 100, 100}));
    EXPECT_EQ(quad.left, 10);
    EXPECT_EQ(quad.s1, 110);
    EXPECT_EQ(quad.t1, 60);

    quad = glyph;
    ASSERT_TRUE(clipQuad(quad, Rectangle{14, 24, 10, 100}));   // cut left, top and right
    EXPECT_EQ(quad.left, 14);
    EXPECT_EQ(quad.s0, 102);
    EXPECT_EQ(quad.top, 24);
    EXPECT_EQ(quad.t0, 52);
    EXPECT_EQ(quad.right, 24);
    EXPECT_EQ(quad.s1, 107);
    EXPECT_EQ(quad.bottom, 40);
    EXPECT_EQ(quad.t1, 60);

    quad = glyph;
    ASSERT_TRUE(clipQuad(quad, Rectangle{0, 0, 100, 35}));     // the bottom line's lower part
    EXPECT_EQ(quad.bottom, 35);
    EXPECT_EQ(quad.t1, 57.5f);

    for (Rectangle outside : {Rectangle{30, 0, 50, 100}, Rectangle{0, 40, 100, 50}, Rectangle{0, 0, 10, 100},
                              Rectangle{0, 0, 100, 20}}) {
        quad = glyph;
        EXPECT_FALSE(clipQuad(quad, outside)) << outside.x << "," << outside.y;   // touching is outside
    }
}


TEST_F(ClipTest, InMeasuringPassLeavesTheScissorAlone) {
    uiState().drawing = false;
    pushClip({0, 0, 10, 10});
    EXPECT_EQ(uiState().clips.size(), 1u);
    popClip();
    EXPECT_TRUE(drawn().empty());
}

// ---- cards ----

TEST_F(CardTest, WhollyBelowTheClipOnlyMeasuresYetReturnsItsHeight) {
    pushClip({0, 0, 800, 600});
    drawn().clear();
    mouseAt(100, 760, true);
    int runs = 0;
    bool clicked = false;
    const float height = card(0, 700, 400, "Installation", [&](float x, float y, float) {
        ++runs;
        clicked = button(x, y, "Install", kPrimary) || clicked;
        return 40.0f;
    });
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(clicked);
    EXPECT_TRUE(uiState().input.leftClick);
    EXPECT_TRUE(drawn().empty());
    EXPECT_EQ(height, 105);  // 40 + 17 + 12 + 16.5 + 19 = 104.5, rounded away from zero
    EXPECT_TRUE(uiState().drawing);

    // Overlapping the bottom of the clip by one pixel is enough to be drawn.
    runs = 0;
    card(0, 599, 400, "", [&](float, float, float) { return ++runs, 10.0f; });
    EXPECT_EQ(runs, 2);
    EXPECT_EQ(drawnOf(Drawn::kFill).size(), 1u);
}

TEST_F(CardTest, HeightComesFromTheMeasuringPass) {
    std::vector<bool> passes;
    const float height = card(5, 7, 300, "", [&](float, float, float) {
        passes.push_back(uiState().drawing);
        return uiState().drawing ? 100.0f : 10.0f;
    });
    EXPECT_EQ(passes, (std::vector<bool>{false, true}));
    EXPECT_EQ(height, 46);  // 10 + 17 + 19
    const auto fills = drawnOf(Drawn::kFill);
    ASSERT_EQ(fills.size(), 1u);
    expectRect(fills[0].rect, 6, 8, 298, 44);  // inside the one-pixel outline
    EXPECT_TRUE(sameColour(fills[0].colour, kCardFill));
    EXPECT_TRUE(uiState().drawing);
}

TEST_F(CardTest, InsideAMeasuringPassRunsOnceAndKeepsTheFlagClear) {
    uiState().drawing = false;
    int runs = 0;
    EXPECT_EQ(card(0, 0, 100, "Title", [&](float, float, float) { return ++runs, 0.0f; }), 65);  // 64.5
    EXPECT_EQ(runs, 1);
    EXPECT_FALSE(uiState().drawing);
    EXPECT_TRUE(drawn().empty());
}

TEST_F(CardTest, TitleLayoutSmallAndLarge) {
    uiState().scale = 2;
    float seenX = 0, seenY = 0, seenWidth = 0;
    auto content = [&](float x, float y, float width) {
        seenX = x, seenY = y, seenWidth = width;
        return 0.0f;
    };
    EXPECT_EQ(card(100, 200, 500, "Sauvegardé 2b", content), roundHalfAway(34 + 24 + 33 + 38));
    EXPECT_FLOAT_EQ(seenX, 138);
    EXPECT_FLOAT_EQ(seenY, 200 + 34 + 24 + 33);
    EXPECT_FLOAT_EQ(seenWidth, 424);
    auto texts = drawnOf(Drawn::kText);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, "SAUVEGARDé 2B");  // ASCII letters only
    EXPECT_EQ(texts[0].slot, kSemibold11);
    EXPECT_FLOAT_EQ(texts[0].extraSpacing, 2);
    EXPECT_FLOAT_EQ(texts[0].rect.x, 138);
    EXPECT_FLOAT_EQ(texts[0].rect.y, 200 + 34 + 16.5f);

    drawn().clear();
    card(100, 200, 500, "Play", content, kAccent, kTextPrimary, true);
    EXPECT_FLOAT_EQ(seenY, 200 + 34 + 24 + 42);
    texts = drawnOf(Drawn::kText);
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].text, "Play");
    EXPECT_EQ(texts[0].slot, kSemibold14);
    EXPECT_FLOAT_EQ(texts[0].extraSpacing, 0);
    EXPECT_FLOAT_EQ(texts[0].rect.y, 200 + 34 + 21);
    EXPECT_TRUE(sameColour(texts[0].colour, kTextPrimary));
    EXPECT_TRUE(sameColour(drawnOf(Drawn::kOutline)[0].colour, kAccent));
}

// ---- scrollbar ----

TEST_F(ScrollTest, ClampsTheOffsetAndHidesWhenContentFits) {
    float offset = 50;
    scrollbar("page", {0, 0, 100, 200}, 150, offset);
    EXPECT_EQ(offset, 0);
    EXPECT_TRUE(drawn().empty());

    offset = -5;
    scrollbar("page", {0, 0, 100, 200}, 500, offset);
    EXPECT_EQ(offset, 0);
    offset = 1000;
    scrollbar("page", {0, 0, 100, 200}, 500, offset);
    EXPECT_EQ(offset, 300);
    EXPECT_EQ(drawnOf(Drawn::kFill).size(), 2u);
}

TEST_F(ScrollTest, DragFollowsTheMouseClampsAndEndsOnRelease) {
    const Rect view{0, 0, 100, 200};  // content 800: range 600, thumb 50, track 150
    float offset = 0;
    auto frame = [&](float mouseY, bool click, bool down) {
        drawn().clear();
        mouseAt(95, mouseY, click);
        uiState().input.mouseDown = down;
        scrollbar("page", view, 800, offset);
        return drawnOf(Drawn::kFill).at(0);
    };

    Rectangle bar = frame(10, true, true).rect;
    EXPECT_EQ(uiState().active, "page");
    EXPECT_FALSE(uiState().input.leftClick);
    EXPECT_EQ(offset, 0);
    expectRect(bar, 92, 2, 6, 46);

    frame(40, false, true);
    EXPECT_FLOAT_EQ(offset, 120);  // 30 px of track is a fifth of the range

    Drawn drawnThumb = frame(1000, false, true);
    EXPECT_EQ(offset, 600);
    EXPECT_FLOAT_EQ(drawnThumb.rect.y, 32);  // still where this frame began
    EXPECT_TRUE(sameColour(drawnThumb.colour, Color{58, 58, 65, 255}));  // lit while dragged, mouse off it

    frame(-500, false, false);  // released somewhere outside the window
    EXPECT_EQ(offset, 0);
    EXPECT_TRUE(uiState().active.empty());

    drawnThumb = frame(400, false, false);
    EXPECT_EQ(offset, 0);
    EXPECT_TRUE(sameColour(drawnThumb.colour, Color{42, 42, 48, 255}));
}

TEST_F(ScrollTest, GrabbedBarThatDisappearsLetsGo) {
    float offset = 0;
    mouseAt(95, 10, true);
    uiState().input.mouseDown = true;
    scrollbar("page", {0, 0, 100, 200}, 800, offset);
    ASSERT_EQ(uiState().active, "page");
    scrollbar("page", {0, 0, 100, 200}, 100, offset);
    EXPECT_TRUE(uiState().active.empty());
}

TEST_F(ScrollTest, ViewportNoTallerThanTheThumbDoesNotJump) {
    float offset = 10;
    mouseAt(95, 5, true);
    uiState().input.mouseDown = true;
    scrollbar("log", {0, 0, 100, 30}, 400, offset);  // thumb 30 fills the viewport
    ASSERT_EQ(uiState().active, "log");
    mouseAt(95, 6);
    scrollbar("log", {0, 0, 100, 30}, 400, offset);
    EXPECT_EQ(offset, 10);
}

}  // namespace
}  // namespace vlr
