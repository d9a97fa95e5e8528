/*******************************************************************************************
*  shell_test.cpp — the window shell without a window: placement, scale, running bar,
*  status line, wake rounds, the input snapshot and the overlays that own the mouse
*******************************************************************************************/
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <thread>

#include "link/handover.h"
#include "link/link.h"
#include "link/state.h"
#include "platform/platform.h"
#include "shell/shell.h"
#include "window_test.h"

namespace vlr {
namespace {

using namespace std::chrono_literals;

// ---- placement and scale ----

TEST(PlaceWindowTest, NineTenthsOfASmallMonitorCentred) {
    const WindowPlacement place = placeWindow(1366, 768, 0, 0, 1);
    EXPECT_EQ(place.width, 1229);
    EXPECT_EQ(place.height, 691);
    EXPECT_EQ(place.x, 68);  // (1366 - 1229) / 2 = 68.5, toward zero
    EXPECT_EQ(place.y, 38);  // 38.5
    EXPECT_EQ(place.minWidth, 720);
    EXPECT_EQ(place.minHeight, 480);
}

TEST(PlaceWindowTest, ScaledBaseSizeOnALargeMonitorWithItsOffset) {
    const WindowPlacement place = placeWindow(2560, 1440, 1920.7f, -200.9f, 1.5f);
    EXPECT_EQ(place.width, 1920);
    EXPECT_EQ(place.height, 1080);
    EXPECT_EQ(place.x, 320 + 1920);  // monitor position truncated
    EXPECT_EQ(place.y, 180 - 200);
    EXPECT_EQ(place.minWidth, 1080);
    EXPECT_EQ(place.minHeight, 720);
}

TEST(PlaceWindowTest, ScaledSizesAreTruncated) {
    const WindowPlacement place = placeWindow(3840, 2160, 0, 0, 1.25f);
    EXPECT_EQ(place.width, 1600);
    EXPECT_EQ(place.height, 900);
    const WindowPlacement odd = placeWindow(3840, 2160, 0, 0, 1.33f);
    EXPECT_EQ(odd.width, 1702);    // 1702.4
    EXPECT_EQ(odd.height, 957);    // 957.6, not rounded up
    EXPECT_EQ(odd.minWidth, 957);
    EXPECT_EQ(odd.minHeight, 638); // 638.4
}

TEST(PlaceWindowTest, MinimumSizeNeverExceedsTheWindow) {
    // 1280 x 800 at scale 2: the window is capped at 1152 x 720, a minimum of 1440 x 960 would
    // push it past the screen.
    const WindowPlacement place = placeWindow(1280, 800, 0, 0, 2);
    EXPECT_EQ(place.width, 1152);
    EXPECT_EQ(place.height, 720);
    EXPECT_EQ(place.minWidth, 1152);
    EXPECT_EQ(place.minHeight, 720);
}

TEST(UiScaleTest, BelowOneOrUnreadableCountsAsOne) {
    EXPECT_EQ(uiScaleFrom(0.75f), 1.0f);
    EXPECT_EQ(uiScaleFrom(0.0f), 1.0f);
    EXPECT_EQ(uiScaleFrom(-2.0f), 1.0f);
    EXPECT_EQ(uiScaleFrom(std::numeric_limits<float>::quiet_NaN()), 1.0f);
    EXPECT_EQ(uiScaleFrom(std::numeric_limits<float>::infinity()), 1.0f);
    EXPECT_EQ(uiScaleFrom(1.25f), 1.25f);
    EXPECT_EQ(uiScaleFrom(2.0f), 2.0f);

    const WindowPlacement atSmall = placeWindow(1920, 1080, 0, 0, uiScaleFrom(0.5f));
    const WindowPlacement atOne = placeWindow(1920, 1080, 0, 0, 1);
    EXPECT_EQ(atSmall.width, atOne.width);
    EXPECT_EQ(atSmall.minHeight, atOne.minHeight);
}

// ---- logo path ----

TEST(LogoPathTest, FolderOfTheScriptKeepsRoots) {
    const std::string sep(1, platform::pathSeparator());
    EXPECT_EQ(scriptFolder("/opt/vlr/source/tools/launcher.py"), "/opt/vlr/source/tools");
    EXPECT_EQ(scriptFolder("C:\\Games\\VLR\\source\\tools\\\\launcher.py"), "C:\\Games\\VLR\\source\\tools");
    EXPECT_EQ(scriptFolder("a/b\\/launcher.py"), "a/b");
    EXPECT_EQ(scriptFolder("/launcher.py"), "/");
    EXPECT_EQ(scriptFolder("C:\\launcher.py"), "C:\\");
    EXPECT_EQ(scriptFolder("launcher.py"), "");

    EXPECT_EQ(logoPath("/opt/tools/launcher.py"), "/opt/tools" + sep + "launcher.png");
    EXPECT_EQ(logoPath("/launcher.py"), "/launcher.png");
    EXPECT_EQ(logoPath("C:\\launcher.py"), "C:\\launcher.png");
    EXPECT_EQ(logoPath("launcher.py"), "launcher.png");
}

// ---- running bar ----

TEST(RunningBarTest, EasesInAndOutOverAPeriodOf1_4Seconds) {
    EXPECT_NEAR(runningBarEase(0.0), 0.0, 1e-6);
    EXPECT_NEAR(runningBarEase(0.35), 0.125, 1e-6);  // p = 0.25: 2p²
    EXPECT_NEAR(runningBarEase(0.7), 0.5, 1e-6);
    EXPECT_NEAR(runningBarEase(1.05), 0.875, 1e-6);  // p = 0.75: 1 - 2(1-p)²
    EXPECT_NEAR(runningBarEase(1.4 + 0.35), 0.125, 1e-6);
    EXPECT_NEAR(runningBarEase(100 * 1.4 + 1.05), 0.875, 1e-5);
    EXPECT_GT(runningBarEase(1.399), 0.99);
}

TEST(RunningBarTest, SegmentIsCutToTheSeparator) {
    const float w = 1000;
    EXPECT_EQ(runningBarSpan(0.0, w).width, 0);  // starts wholly off the left edge
    const BarSpan entering = runningBarSpan(0.35, w);  // starts at 165 - 300
    EXPECT_NEAR(entering.x, 0, 1e-3);
    EXPECT_NEAR(entering.width, 165, 1e-2);
    const BarSpan middle = runningBarSpan(0.7, w);  // 660 - 300
    EXPECT_NEAR(middle.x, 360, 1e-2);
    EXPECT_NEAR(middle.width, 300, 1e-2);
    const BarSpan leaving = runningBarSpan(1.05, w);  // 1155 - 300 = 855, cut at 1000
    EXPECT_NEAR(leaving.x, 855, 1e-2);
    EXPECT_NEAR(leaving.width, 145, 1e-2);
    EXPECT_EQ(runningBarSpan(1.3999, w).width, 0);  // gone off the right edge
}

// ---- status line ----

using StatusLineTest = test::WindowTest;

TEST_F(StatusLineTest, TextAndColourForEachCondition) {
    WindowState& w = windowState();
    EXPECT_EQ(statusLine(w).text, "");  // nothing before the first document

    w.stateReceived = true;
    w.state = parseJson(R"({"steps": {}, "running": "Build"})");
    StatusLine line = statusLine(w);
    EXPECT_EQ(line.text, "Reconnecting to the launcher...");  // the lost stream comes first
    EXPECT_TRUE(line.alert);

    w.launcherExited = true;
    w.launcherExitCode = 1;
    line = statusLine(w);
    EXPECT_EQ(line.text, "The launcher stopped (exit code 1): close this window and start it again.");
    EXPECT_TRUE(line.alert);

    w.connected = true;
    line = statusLine(w);
    EXPECT_EQ(line.text, "Build running");
    EXPECT_FALSE(line.alert);

    w.state = parseJson(R"({"steps": {}, "running": ""})");
    EXPECT_EQ(statusLine(w).text, "");
}

// Gone without a code (a quiet end, or a reused launcher's process gone), starting again, and
// the reason the served controls give: only while the stream is down.
TEST_F(StatusLineTest, GoneLauncherAndItsNewStart) {
    WindowState& w = windowState();
    w.stateReceived = true;
    EXPECT_EQ(launcherAwayText(w), "Needs the launcher, which does not answer at the moment.");
    w.launcherGone = true;
    EXPECT_EQ(statusLine(w).text, "The launcher stopped: close this window and start it again.");
    EXPECT_NE(launcherAwayText(w).find("has stopped"), std::string::npos);
    w.launcherStarting = true;
    EXPECT_EQ(statusLine(w).text, "Starting the launcher...");
    EXPECT_EQ(launcherAwayText(w), "Needs the launcher, which is starting.");
    w.connected = true;
    EXPECT_EQ(launcherAwayText(w), "");
}

// The running bar asks for a frame a 30th of a second after the last frame began, a slow frame
// rests as long as it took; a frame drawn meanwhile drops the wake-ups asked before it, so output and the bar
// never add up to more frames.
TEST(FramePace, ThirtyFramesASecondAndNoStaleWakeUps) {
    using std::chrono::microseconds;
    using std::chrono::milliseconds;
    const SteadyTime start = std::chrono::steady_clock::now();
    const SteadyTime next = animationFrameAt(start, start + milliseconds(5));
    EXPECT_NEAR(std::chrono::duration<double>(next - start).count(), 1 / 30.0, 1e-6);
    EXPECT_EQ(animationFrameAt(start, start + milliseconds(25)), start + milliseconds(50));  // a slow frame rests as long

    Link link;
    requestWake(link, next);                       // the bar's frame
    forgetWakes(link);                             // output brought a frame 10 ms later ...
    requestWake(link, animationFrameAt(start + milliseconds(10), start + milliseconds(12)));
    EXPECT_GT(link.wakeDeadline, next);            // ... and the bar's next one follows it
    EXPECT_LT(link.wakeDeadline, next + microseconds(10500));
}

TEST_F(StatusLineTest, StoppedTextsShareTheirNumber) {
    for (std::int32_t code : {1, 3, 255, -1073741819}) {
        std::string content = stoppedLine(code);
        std::string footer = stoppedStatusText(code);
        const std::string number = content.substr(32, content.find(')') - 32);
        EXPECT_EQ(footer, "The launcher stopped (exit code " + number + "): close this window and start it again.")
            << code;
    }
    EXPECT_NE(stoppedStatusText(-1073741819).find("0xC0000005"), std::string::npos);
}

// ---- wake rounds ----

std::atomic<int> wakeCalls{0};
void countWake() {
    ++wakeCalls;
}

class WakeTest : public ::testing::Test {
protected:
    void SetUp() override {
        wakeCalls = 0;
        link.wakeFrame = countWake;
        link.windowOpen = true;
    }
    Link link;
};

TEST_F(WakeTest, PassedDeadlineFiresOnceAndClears) {
    link.wakeDeadline = std::chrono::steady_clock::now() - 1ms;
    std::unique_lock<std::mutex> hold(link.lock);
    wakeRound(link, hold);
    EXPECT_EQ(wakeCalls, 1);
    EXPECT_EQ(link.wakeDeadline, SteadyTime::max());
}

TEST_F(WakeTest, ClosedWindowGetsNoEvent) {
    link.windowOpen = false;
    link.wakeDeadline = std::chrono::steady_clock::now() - 1ms;
    std::unique_lock<std::mutex> hold(link.lock);
    wakeRound(link, hold);
    EXPECT_EQ(wakeCalls, 0);
    EXPECT_EQ(link.wakeDeadline, SteadyTime::max());
}

TEST_F(WakeTest, FutureDeadlineWaitsThenFires) {
    const auto start = std::chrono::steady_clock::now();
    link.wakeDeadline = start + 40ms;
    std::unique_lock<std::mutex> hold(link.lock);
    int rounds = 0;
    while (wakeCalls == 0 && rounds < 1000) {
        wakeRound(link, hold);
        ++rounds;
    }
    EXPECT_EQ(wakeCalls, 1);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 40ms);
    EXPECT_LT(rounds, 1000);  // waited, not spun
}

TEST_F(WakeTest, EarlierRequestCutsAWaitShort) {
    link.wakeDeadline = std::chrono::steady_clock::now() + 10s;
    std::thread requester([this] {
        std::this_thread::sleep_for(30ms);
        requestWake(link, std::chrono::steady_clock::now());
    });
    const auto start = std::chrono::steady_clock::now();
    std::unique_lock<std::mutex> hold(link.lock);
    while (wakeCalls == 0 && std::chrono::steady_clock::now() - start < 5s)
        wakeRound(link, hold);
    hold.unlock();
    requester.join();
    EXPECT_EQ(wakeCalls, 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
}

TEST_F(WakeTest, NoDeadlineSleepsUntilARequest) {
    const auto start = std::chrono::steady_clock::now();   // before the requester's 30 + 20 ms begin
    std::thread requester([this] {
        std::this_thread::sleep_for(30ms);
        requestWake(link, std::chrono::steady_clock::now() + 20ms);
    });
    std::unique_lock<std::mutex> hold(link.lock);
    while (wakeCalls == 0 && std::chrono::steady_clock::now() - start < 5s)
        wakeRound(link, hold);
    hold.unlock();
    requester.join();
    EXPECT_EQ(wakeCalls, 1);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 50ms);
}

// ---- input snapshot ----

TEST(TakeInputTest, QueuedInputMovesIntoTheSnapshotAndClears) {
    UiState ui;
    ShellState shell;
    queueInput(shell, {PendingInput::kButton, 0});
    queueInput(shell, {PendingInput::kButton, 3});
    shell.scrollAccumulator = -2.5f;
    ui.input.mouseFree = false;
    ui.input.wantedCursor = MOUSE_CURSOR_POINTING_HAND;
    ui.input.keys = {65};
    takeInput(ui, shell);
    EXPECT_TRUE(ui.input.pressed[0]);
    EXPECT_TRUE(ui.input.leftClick);
    EXPECT_TRUE(ui.input.pressed[3]);
    EXPECT_FALSE(ui.input.pressed[1]);
    EXPECT_EQ(ui.input.wheel, -2.5f);
    EXPECT_TRUE(ui.input.mouseFree);
    EXPECT_EQ(ui.input.wantedCursor, MOUSE_CURSOR_DEFAULT);
    EXPECT_TRUE(ui.input.keys.empty());
    EXPECT_TRUE(shell.pending.empty());
    EXPECT_EQ(shell.scrollAccumulator, 0);

    EXPECT_TRUE(inputArrived(ui.input));

    takeInput(ui, shell);  // nothing new: nothing pressed
    EXPECT_FALSE(ui.input.leftClick);
    EXPECT_EQ(ui.input.wheel, 0);
    EXPECT_FALSE(inputArrived(ui.input));  // an idle frame asks for no follow-up
}

// Typing and clicking never share a frame, so each meets the focus the one before it left.
TEST(TakeInputTest, TypingAndClickingAreTakenInTheirOrderOverSeveralFrames) {
    UiState ui;
    ShellState shell;
    for (PendingInput input : {PendingInput{PendingInput::kKey, KEY_A}, {PendingInput::kChar, 'a'},
                               {PendingInput::kKey, KEY_BACKSPACE}, {PendingInput::kKey, KEY_BACKSPACE},
                               {PendingInput::kButton, 0}, {PendingInput::kButton, 1},
                               {PendingInput::kChar, 'b'}})
        queueInput(shell, input);

    takeInput(ui, shell);
    EXPECT_EQ(ui.input.keys, (std::vector<int>{KEY_A, KEY_BACKSPACE, KEY_BACKSPACE}));  // both presses count
    EXPECT_EQ(ui.input.chars, (std::vector<int>{'a'}));
    ASSERT_EQ(ui.input.strokes.size(), 4u);
    EXPECT_EQ(ui.input.strokes[1].codepoint, 'a');
    EXPECT_FALSE(ui.input.leftClick);

    takeInput(ui, shell);
    EXPECT_TRUE(ui.input.leftClick);
    EXPECT_TRUE(ui.input.pressed[1]);
    EXPECT_TRUE(ui.input.chars.empty());

    takeInput(ui, shell);
    EXPECT_FALSE(ui.input.leftClick);
    EXPECT_EQ(ui.input.chars, (std::vector<int>{'b'}));
    EXPECT_TRUE(shell.pending.empty());

    // A stalled frame loop cannot make the queue grow for ever.
    for (std::size_t i = 0; i < kMaxPendingInput + 10; ++i) queueInput(shell, {PendingInput::kChar, 'x'});
    EXPECT_EQ(shell.pending.size(), kMaxPendingInput);
}

// A press is taken at the place it was made, even when the pointer has moved on since; a
// second press elsewhere, or a second press of the same button, gets a frame of its own.
TEST(TakeInputTest, PressesLandWhereTheyWereMadeOnePlaceAFrame) {
    UiState ui;
    ShellState shell;
    queueInput(shell, {PendingInput::kButton, 0, 40, 50});
    queueInput(shell, {PendingInput::kButton, 1, 40, 50});
    queueInput(shell, {PendingInput::kButton, 0, 300, 20});
    queueInput(shell, {PendingInput::kButton, 0, 300, 20});

    takeInput(ui, shell);
    EXPECT_TRUE(ui.input.leftClick);
    EXPECT_TRUE(ui.input.pressed[1]);
    EXPECT_EQ(ui.input.mouseX, 40);
    EXPECT_EQ(ui.input.mouseY, 50);
    for (int frame = 0; frame < 2; ++frame) {
        takeInput(ui, shell);
        EXPECT_TRUE(ui.input.leftClick);
        EXPECT_FALSE(ui.input.pressed[1]);
        EXPECT_EQ(ui.input.mouseX, 300);
        EXPECT_EQ(ui.input.mouseY, 20);
    }
    EXPECT_TRUE(shell.pending.empty());
}

TEST(TakeInputTest, AnyButtonWheelKeyOrCharacterCountsAsInput) {
    InputSnapshot in;
    in.pressed[7] = true;
    EXPECT_TRUE(inputArrived(in));
    in = InputSnapshot();
    in.wheel = -0.25f;
    EXPECT_TRUE(inputArrived(in));
    in = InputSnapshot();
    in.chars = {'x'};
    EXPECT_TRUE(inputArrived(in));
    in = InputSnapshot();
    in.mouseX = 300;  // moving alone redraws by itself and needs no second frame
    EXPECT_FALSE(inputArrived(in));
}

// ---- overlays ----

struct Bound {
    std::string setting;
    int code = -1;
    int calls = 0;
};

class OverlayTest : public ::testing::Test {
protected:
    void resolve(bool focused = true) {
        resolveOverlays(ui, focused, [this](const std::string& setting, int code) {
            bound.setting = setting;
            bound.code = code;
            ++bound.calls;
        });
    }
    void click(float x, float y) {
        ui.input.mouseX = x;
        ui.input.mouseY = y;
        ui.input.pressed[0] = true;
        ui.input.leftClick = true;
    }
    void openList(float x, float y) {
        ui.dropDown.open = true;
        ui.dropDown.rect = {x, y, 200, 8 + 30 * 3};
        ui.dropDown.items = {"Default", "Second", "Third"};
        ui.dropDown.chosen = -1;
    }
    UiState ui;
    Bound bound;
};

TEST_F(OverlayTest, ClickOnARowChoosesItAndIsConsumed) {
    openList(100, 200);
    click(150, 200 + 4 + 30 + 29);  // bottom of row 1
    resolve();
    EXPECT_EQ(ui.dropDown.chosen, 1);
    EXPECT_FALSE(ui.dropDown.open);
    EXPECT_FALSE(ui.input.leftClick);
    EXPECT_FALSE(ui.input.mouseFree);  // the mouse was over the list this frame
}

TEST_F(OverlayTest, RowsFollowTheScale) {
    ui.scale = 1.5f;
    openList(100, 200);
    ui.dropDown.rect.height = 12 + 45 * 3;
    click(150, 200 + 6 + 45 * 2 + 1);
    resolve();
    EXPECT_EQ(ui.dropDown.chosen, 2);
}

TEST_F(OverlayTest, ClickOutsideOnlyClosesTheList) {
    openList(100, 200);
    click(40, 80);  // where a tab would be
    resolve();
    EXPECT_FALSE(ui.dropDown.open);
    EXPECT_EQ(ui.dropDown.chosen, -1);
    EXPECT_FALSE(ui.input.leftClick);  // the tab never sees it
    EXPECT_TRUE(ui.input.mouseFree);
}

TEST_F(OverlayTest, ClickInTheListPaddingChoosesNothing) {
    openList(100, 200);
    ui.dropDown.rect.height += 20;  // room below the last row
    click(150, 200 + 4 + 90 + 5);
    resolve();
    EXPECT_EQ(ui.dropDown.chosen, -1);
    EXPECT_FALSE(ui.dropDown.open);
}

TEST_F(OverlayTest, EscapeClosesTheList) {
    openList(100, 200);
    ui.input.keys.clear();
    resolve();
    EXPECT_TRUE(ui.dropDown.open);  // hovering alone changes nothing
    ui.input.keys = {KEY_ESCAPE};
    resolve();
    EXPECT_FALSE(ui.dropDown.open);
}

TEST_F(OverlayTest, CaptureTakesAKeyBeforeAMouseButton) {
    ui.capture.name = "cross";
    ui.capture.rect = {10, 10, 30, 20};
    ui.input.keys = {KEY_F, KEY_G};
    ui.input.chars = {'f'};
    click(300, 300);
    ui.input.wheel = 1;
    resolve();
    EXPECT_EQ(bound.calls, 1);
    EXPECT_EQ(bound.setting, "key_cross");
    EXPECT_EQ(bound.code, KEY_F);
    EXPECT_TRUE(ui.capture.name.empty());
    EXPECT_TRUE(ui.input.keys.empty());
    EXPECT_TRUE(ui.input.chars.empty());
    EXPECT_EQ(ui.input.wheel, 0);
    EXPECT_FALSE(ui.input.leftClick);
}

// A key already held when the capture starts goes on repeating; only a new press binds.
TEST_F(OverlayTest, CaptureTakesOnlyAPressMadeAfterItStarted) {
    ShellState shell;
    queueInput(shell, {PendingInput::kKey, KEY_A, 0, 0, 0, true});
    takeInput(ui, shell);
    ui.capture.name = "cross";
    resolve();
    EXPECT_EQ(bound.calls, 0);
    EXPECT_EQ(ui.capture.name, "cross");

    queueInput(shell, {PendingInput::kKey, KEY_A, 0, 0, 0, true});
    queueInput(shell, {PendingInput::kKey, KEY_B});
    takeInput(ui, shell);
    resolve();
    EXPECT_EQ(bound.calls, 1);
    EXPECT_EQ(bound.code, KEY_B);
    EXPECT_TRUE(ui.capture.name.empty());
}

TEST_F(OverlayTest, CaptureTakesTheWheelBeforeButtons) {
    ui.capture.name = "l2";
    ui.input.wheel = -0.5f;
    click(300, 300);
    resolve();
    EXPECT_EQ(bound.code, 1011);

    ui.capture.name = "l2";
    ui.input.wheel = 2;
    resolve();
    EXPECT_EQ(bound.code, 1010);
}

TEST_F(OverlayTest, TheClickOnTheAddChipDoesNotBindTheLeftButton) {
    ui.capture.name = "square";
    ui.capture.rect = {10, 10, 30, 20};
    click(20, 15);
    resolve();
    EXPECT_EQ(bound.calls, 0);
    EXPECT_EQ(ui.capture.name, "square");
    EXPECT_TRUE(ui.input.leftClick);  // left for the page

    ui.input.pressed[4] = true;  // another button counts even on the chip
    resolve();
    EXPECT_EQ(bound.code, 1004);

    ui.capture.name = "square";
    ui.input.pressed[4] = false;
    click(200, 15);
    resolve();
    EXPECT_EQ(bound.code, 1000);
}

TEST_F(OverlayTest, LosingFocusCancelsTheCapture) {
    ui.capture.name = "circle";
    ui.input.keys = {KEY_A};
    resolve(false);
    EXPECT_EQ(bound.calls, 0);
    EXPECT_TRUE(ui.capture.name.empty());
    EXPECT_EQ(ui.input.keys.size(), 1u);  // not consumed
}

TEST_F(OverlayTest, ClickOutsideTheFocusedFieldTakesItsFocus) {
    EditBuffer field;
    field.rect = {50, 50, 200, 30};
    ui.focused = &field;
    click(60, 60);
    resolve();
    EXPECT_EQ(ui.focused, &field);
    EXPECT_FALSE(field.lostFocus);

    click(400, 60);
    resolve();
    EXPECT_EQ(ui.focused, nullptr);
    EXPECT_TRUE(field.lostFocus);
    EXPECT_TRUE(ui.input.leftClick);  // the click still goes on to whatever is under it
}

}  // namespace
}  // namespace vlr
