/*******************************************************************************************
*  state_test.cpp — the window's copy of the launcher state: documents, console, settings
*******************************************************************************************/
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "link/commands.h"
#include "link/events.h"
#include "link/link.h"
#include "link/state.h"
#include "window_test.h"

namespace vlr {
namespace {

namespace fs = std::filesystem;

// Every test starts from a fresh window state and no window.
class StateTest : public test::WindowTest {
protected:
    static std::vector<std::string> lines() {
        return {windowState().console.begin(), windowState().console.end()};
    }
};

// ---- console ----

TEST_F(StateTest, ConsoleJoinsOutputSplitAcrossPieces) {
    appendConsole("a\r\nb");
    EXPECT_EQ(lines(), (std::vector<std::string>{"a", "b"}));
    EXPECT_TRUE(windowState().openLine);

    appendConsole("c\n");
    EXPECT_EQ(lines(), (std::vector<std::string>{"a", "bc"}));
    EXPECT_FALSE(windowState().openLine);
}

TEST_F(StateTest, ConsoleKeepsBlankLinesAndExpandsTabs) {
    appendConsole("\n\n");
    EXPECT_EQ(lines(), (std::vector<std::string>{"", ""}));

    clearConsole();
    appendConsole("x\ty\n\nz\x01\xc3\xa9\n");
    EXPECT_EQ(lines(), (std::vector<std::string>{"x    y", "", "z\x01\xc3\xa9"}));

    clearConsole();
    EXPECT_TRUE(windowState().console.empty());
    EXPECT_FALSE(windowState().openLine);
    appendConsole("after");  // a cleared console starts a fresh line, not the old open one
    EXPECT_EQ(lines(), (std::vector<std::string>{"after"}));
}

TEST_F(StateTest, ConsoleDropsTheOldestLinesPastTheBound) {
    for (int i = 0; i < 20001; ++i)
        appendConsole("line " + std::to_string(i) + "\n");
    ASSERT_EQ(windowState().console.size(), 16001u);
    EXPECT_EQ(windowState().console.front(), "line 4000");
    EXPECT_EQ(windowState().console.back(), "line 20000");
}

TEST_F(StateTest, ConsoleStaysBoundedWhenOnePieceHoldsManyLines) {
    std::string burst;
    for (int i = 0; i < 5000; ++i)
        burst += "x\n";
    for (int round = 0; round < 10; ++round)
        appendConsole(burst);
    EXPECT_LE(windowState().console.size(), kConsoleMaxLines);

    clearConsole();
    std::string flood;
    for (int i = 0; i < 30000; ++i)
        flood += std::to_string(i) + "\n";
    appendConsole(flood);
    ASSERT_EQ(windowState().console.size(), 18000u);  // two trims of 4000
    EXPECT_EQ(windowState().console.front(), "12000");
}

// ---- documents ----

TEST_F(StateTest, FirstDocumentOnlySetsTheBaseline) {
    int raised = 0;
    windowCalls().focus = [&] { ++raised; };
    windowState().programPath = "";  // would count as replaced if a build change were checked

    applyState(parseJson(R"({"steps": {}, "build": "b1", "front": 7, "iso": "/d/game.iso",
                             "profile": "main", "updates_pending": 1})"));
    const WindowState& w = windowState();
    EXPECT_TRUE(w.stateReceived);
    EXPECT_FALSE(w.restart);
    EXPECT_EQ(raised, 0);
    EXPECT_EQ(w.previousBuild, "b1");
    EXPECT_EQ(w.previousFront, 7);
    EXPECT_EQ(asText(get(w.state, "build")), "b1");
}

TEST_F(StateTest, HigherFrontRaisesTheWindowOnce) {
    int restored = 0, focused = 0;
    bool minimized = true;
    windowCalls().isMinimized = [&] { return minimized; };
    windowCalls().restore = [&] { ++restored; minimized = false; };
    windowCalls().focus = [&] { ++focused; };

    applyState(parseJson(R"({"steps": {}, "front": 1})"));
    applyState(parseJson(R"({"steps": {}, "front": 2})"));
    EXPECT_EQ(restored, 1);
    EXPECT_EQ(focused, 1);

    applyState(parseJson(R"({"steps": {}, "front": 2})"));
    applyState(parseJson(R"({"steps": {}, "front": 1})"));
    EXPECT_EQ(focused, 1);

    applyState(parseJson(R"({"steps": {}, "front": 3})"));  // not minimised now: focus only
    EXPECT_EQ(restored, 1);
    EXPECT_EQ(focused, 2);
}

TEST_F(StateTest, NewBuildRestartsOnlyWhenTheProgramFileChanged) {
    // A name of its own: another build's tests may run this one at the same time.
    const fs::path program =
        fs::temp_directory_path() / ("vlr_state_test_program-" + std::to_string(std::random_device()()) + ".bin");
    { std::ofstream(program) << "program"; }
    WindowState& w = windowState();
    w.programPath = program.string();
    w.programFileTime = platform::lastWriteTime(w.programPath);
    ASSERT_NE(w.programFileTime, platform::kMinFileTime);

    applyState(parseJson(R"({"steps": {}, "build": "1"})"));
    applyState(parseJson(R"({"steps": {}, "build": "2"})"));
    EXPECT_FALSE(w.restart);

    fs::last_write_time(program, fs::last_write_time(program) - std::chrono::hours(1));
    applyState(parseJson(R"({"steps": {}, "build": "2"})"));  // same build: file not looked at
    EXPECT_FALSE(w.restart);
    applyState(parseJson(R"({"steps": {}, "build": "3"})"));
    EXPECT_TRUE(w.restart);
    fs::remove(program);

    w.restart = false;  // a missing program file counts as replaced too
    applyState(parseJson(R"({"steps": {}, "build": "4"})"));
    EXPECT_TRUE(w.restart);
}

TEST_F(StateTest, TaskRunningFollowsTheFirstRunningMember) {
    EXPECT_FALSE(taskRunning(parseJson(R"({"work": "C:\\games"})")));
    EXPECT_FALSE(taskRunning(parseJson(R"({"running": ""})")));
    EXPECT_TRUE(taskRunning(parseJson(R"({"running": "Build"})")));
    EXPECT_FALSE(taskRunning(parseJson(R"({"running": "", "running": "Build"})")));
    EXPECT_TRUE(taskRunning(parseJson(R"({"running": 0})")));
    EXPECT_FALSE(taskRunning(parseJson(R"({"nested": {"running": "Build"}})")));
}

TEST_F(StateTest, EveryAppliedDocumentReachesTheWindowAfterTheSettings) {
    int seen = 0;
    windowCalls().cancelCapture = [&] { ++seen; };
    windowCalls().stateApplied = [&](const Json& state) {
        EXPECT_EQ(&state, &windowState().state);
        EXPECT_EQ(windowState().settingsStamp, 2);
        seen += 10;
    };
    applyState(parseJson(R"({"steps": {}, "settings_stamp": 2, "settings": []})"));
    EXPECT_EQ(seen, 11);
    applyState(parseJson(R"({"steps": {}, "settings_stamp": 2})"));  // same stamp: list kept
    EXPECT_EQ(seen, 21);
}

// ---- settings ----

TEST_F(StateTest, SettingsReloadOnlyWhenTheStampGrows) {
    WindowState& w = windowState();
    int cancelled = 0;  // a key capture refers to the list it was started on
    windowCalls().cancelCapture = [&] { ++cancelled; };
    applyState(parseJson(R"({"steps": {}, "settings_stamp": 3,
        "settings": [{"key": "fps", "value": 60}, {"key": "vsync", "value": true},
                     {"key": "name", "value": "x"}, {"key": "unset"}, {"key": 5, "value": 1},
                     {"value": 2}, "junk"]})"));
    ASSERT_EQ(w.settings.size(), 4u);
    EXPECT_EQ(w.settings[0].key, "fps");
    EXPECT_EQ(w.settings[0].value, "60");
    EXPECT_EQ(w.settings[1].value, "true");
    EXPECT_EQ(w.settings[2].value, "x");
    EXPECT_EQ(w.settings[3].key, "unset");
    EXPECT_EQ(w.settings[3].value, "");
    EXPECT_EQ(w.settingsStamp, 3);
    EXPECT_EQ(cancelled, 1);

    applyState(parseJson(R"({"steps": {}, "settings_stamp": 3, "settings": []})"));
    applyState(parseJson(R"({"steps": {}, "settings_stamp": 2, "settings": []})"));
    applyState(parseJson(R"({"steps": {}})"));
    EXPECT_EQ(w.settings.size(), 4u);
    EXPECT_EQ(cancelled, 1);

    applyState(parseJson(R"({"steps": {}, "settings_stamp": "9", "settings": []})"));
    EXPECT_EQ(w.settings.size(), 4u);  // a stamp as a string reads as 0

    applyState(parseJson(R"({"steps": {}, "settings_stamp": 4, "settings": [{"key": "a", "value": -1.5}]})"));
    ASSERT_EQ(w.settings.size(), 1u);
    EXPECT_EQ(w.settings[0].value, "-1.5");
    EXPECT_EQ(w.settingsStamp, 4);
}

// ---- messages ----

TEST_F(StateTest, MessagesAppendLinesAndAskForTheState) {
    Link link;
    setTheLink(&link);

    handleMessage(parseJson(R"({"lines": ["one\n", "tw", "o\n"]})"));
    EXPECT_EQ(lines(), (std::vector<std::string>{"one", "two"}));
    EXPECT_TRUE(link.commands.empty());

    handleMessage(parseJson(R"({"state": true, "lines": ["three\n"]})"));
    handleMessage(parseJson(R"({"state": true})"));
    handleMessage(parseJson(R"({"state": "true"})"));
    handleMessage(parseJson("null"));
    EXPECT_EQ(lines().back(), "three");
    ASSERT_EQ(link.commands.size(), 1u);  // the second request waits behind the first
    EXPECT_EQ(link.commands.front().action, "state");
    EXPECT_EQ(link.commands.front().body, "{}");
}

// ---- launcher exit ----

TEST(StoppedLine, ShowsCrashCodesInHexadecimal) {
    EXPECT_EQ(stoppedLine(1), "The launcher stopped (exit code 1). Close this window and start it again.");
    EXPECT_EQ(stoppedLine(255), "The launcher stopped (exit code 255). Close this window and start it again.");
    EXPECT_EQ(stoppedLine(static_cast<std::int32_t>(0xC0000005u)),
              "The launcher stopped (exit code 0xC0000005). Close this window and start it again.");
    EXPECT_EQ(stoppedLine(-1), "The launcher stopped (exit code 0xFFFFFFFF). Close this window and start it again.");
}

}  // namespace
}  // namespace vlr
