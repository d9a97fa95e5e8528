/*******************************************************************************************
*  console_find_test.cpp — find in the console and copying selected lines, through the page
*
*  Same log box as console_test.cpp: mono 12 at 10 px a character, k = 40, text from y 266 in
*  lines of 18, ten of them in view; the search field sits at the right end of the top row.
*******************************************************************************************/
#include <gtest/gtest.h>

#include <set>
#include <utility>
#include <vector>
#include <string>

#include "link/link.h"
#include "link/state.h"
#include "pages/console.h"
#include "pages/console_find.h"
#include "pages/pages.h"
#include "ui/input.h"
#include "ui/widgets.h"
#include "window_test.h"

namespace vlr {
namespace {

constexpr float kX = 100, kTop = 200, kWidth = 440, kBottom = 461;

std::set<int>& keysDown() {
    static std::set<int> down;
    return down;
}
std::string& copied() {
    static std::string text;
    return text;
}

class ConsoleFindTest : public test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        test::fixAdvances(kMono12, 10);
        setTheLink(&link_);
        keysDown().clear();
        copied().clear();
        inputCalls().keyDown = [](int key) { return keysDown().count(key) > 0; };
        inputCalls().setClipboardText = [](const char* text) { copied() = text; };
    }

    // One frame with these keys; the texts drawn outside the log (the count among them).
    static std::vector<std::string> frame(std::vector<int> keys = {}) {
        test::drawn().clear();
        InputSnapshot& in = uiState().input;
        in.keys = keys;
        in.strokes.clear();
        for (int key : keys) in.strokes.push_back({key, 0});
        consolePage({kX, kTop, kWidth, kBottom, {}});
        in.keys.clear();
        in.strokes.clear();
        std::vector<std::string> texts;
        for (const test::Drawn& call : test::drawnOf(test::Drawn::kText))
            if (call.slot != kMono12) texts.push_back(call.text);
        return texts;
    }
    static bool has(const std::vector<std::string>& texts, const std::string& text) {
        return std::find(texts.begin(), texts.end(), text) != texts.end();
    }

    Link link_;
};

TEST_F(ConsoleFindTest, MatchesFollowTrimmedAndWrappedLines) {
    // Case folds for ASCII only: "É" is not "é". Matches do not overlap.
    appendConsole("Error one\n\xC3\x89rror \xC3\xA9rror\naaaa\n");
    const WindowState& window = windowState();
    const std::vector<FindMatch> found = findInConsole(window.console, 7, "ERROR");
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].line, 7u);
    EXPECT_EQ(findInConsole(window.console, 0, "rror").size(), 3u);
    EXPECT_EQ(findInConsole(window.console, 0, "aa").size(), 2u);

    // A match in the third piece of a wrapped line, far below the view.
    clearConsole();
    for (int i = 0; i < 100; ++i) appendConsole("filler " + std::to_string(i) + "\n");
    appendConsole(std::string(85, 'x') + "needle\n");  // starts at character 85: piece 2
    for (int i = 0; i < 4100; ++i) appendConsole("filler\n");
    appendConsole("Needle again\n");  // line 4201
    ConsoleFind& find = consoleFind();
    uiState().focused = &find.field;
    find.field.text = "NEEDLE";
    frame();  // typing goes to the first match from the top of the view
    EXPECT_TRUE(has(frame(), "1 of 2"));
    const float y = static_cast<float>(100 + 2) * 18;
    const float offset = consoleRecords().offset;
    EXPECT_LE(offset, y);
    EXPECT_GE(offset + 180, y + 18);
    EXPECT_FALSE(consoleRecords().follow);

    // Enter goes on, Shift+Enter back, both wrapping around.
    EXPECT_TRUE(has(frame({KEY_ENTER}), "2 of 2"));
    EXPECT_TRUE(has(frame({KEY_ENTER}), "1 of 2"));
    keysDown() = {KEY_LEFT_SHIFT};
    EXPECT_TRUE(has(frame({KEY_ENTER}), "2 of 2"));
    keysDown().clear();

    // Output that pushes the first needle out of the console: the current match stays itself.
    for (int i = 0; i < 15800; ++i) appendConsole("more\n");  // past 20000: the oldest 4000 go
    EXPECT_GT(window.consoleDropped, 0u);
    EXPECT_TRUE(has(frame(), "1 of 1"));
    ASSERT_TRUE(find.hasCurrent);
    EXPECT_EQ(window.console[static_cast<std::size_t>(find.current.line - window.consoleDropped)], "Needle again");
    find.field.text = "nothing like it";
    EXPECT_TRUE(has(frame(), "No match"));
}

TEST_F(ConsoleFindTest, SearchGoesOnWithTheOutputAndTheQueryIsCapped) {
    const WindowState& window = windowState();
    ConsoleFind& find = consoleFind();
    const auto at = [&] {
        std::vector<std::pair<std::uint64_t, std::size_t>> places;
        for (const FindMatch& m : find.matches) places.emplace_back(m.line, m.byte);
        return places;
    };
    using Places = std::vector<std::pair<std::uint64_t, std::size_t>>;
    find.field.text = "needle";
    appendConsole("a needle\nnee");  // the last line stays open
    refreshFind(find, window.console, window.consoleDropped);
    EXPECT_EQ(at(), (Places{{0, 2}}));
    appendConsole("DLE and needle\nneedle\n");  // the open line grows: a match over its old end
    refreshFind(find, window.console, window.consoleDropped);
    EXPECT_EQ(at(), (Places{{0, 2}, {1, 0}, {1, 11}, {2, 0}}));

    // Lines that leave the front take their matches; later ones keep their numbers.
    appendConsole(std::string(20000, '\n') + "x needle\n");
    ASSERT_EQ(window.consoleDropped, 4000u);
    refreshFind(find, window.console, window.consoleDropped);
    EXPECT_EQ(at(), (Places{{20003, 2}}));

    // A slice at a time: the count says the search goes on until it is done.
    clearConsole();
    for (int i = 0; i < 50; ++i) appendConsole("needle " + std::string(100, 'x') + "\n");
    find.field.text = "NEEDLE";
    refreshFind(find, window.console, window.consoleDropped, 1000);
    EXPECT_TRUE(find.pending);
    EXPECT_EQ(findCountText(find), "- of " + std::to_string(find.matches.size()) + "...");
    while (find.pending) refreshFind(find, window.console, window.consoleDropped, 1000);
    EXPECT_EQ(find.matches.size(), 50u);
    EXPECT_EQ(find.matches.back().line, window.consoleDropped + 49);

    // A pasted query past the cap is cut at a character boundary, and the user is told.
    uiState().focused = &find.field;
    find.field.text = std::string(kMaxFindBytes - 1, 'a') + "\xC3\xA9" + std::string(50, 'b');
    find.field.caret = find.field.text.size();
    frame();
    EXPECT_EQ(find.field.text, std::string(kMaxFindBytes - 1, 'a'));
    EXPECT_EQ(find.field.caret, kMaxFindBytes - 1);
    EXPECT_NE(uiState().notice.text.find(std::to_string(kMaxFindBytes)), std::string::npos);
}

TEST_F(ConsoleFindTest, DraggedLinesCopyExactlyWithLineFeeds) {
    appendConsole("first\nsecond \xC3\xA9\nthird\nfourth\n");
    InputSnapshot& in = uiState().input;
    // Press on the second line (y 266 + 18), drag to the third, let go.
    in.mouseX = 300;
    in.mouseY = 290;
    in.leftClick = true;
    in.mouseDown = true;
    frame();
    in.mouseY = 310;
    frame();
    in.mouseDown = false;
    in.mouseY = 400;
    frame();
    keysDown() = {KEY_RIGHT_CONTROL};
    frame({KEY_C});
    EXPECT_EQ(copied(), "second \xC3\xA9\nthird\n");

    // The selection is drawn behind the text; with a field focused, Ctrl+C is the field's.
    EXPECT_EQ(test::drawnOf(test::Drawn::kRectangle).size(), 2u);
    copied().clear();
    uiState().focused = &consoleFind().field;
    frame({KEY_C});
    EXPECT_EQ(copied(), "");

    // A line longer than one console entry is held in pieces and copies back as one line.
    const std::string longLine(kConsoleLineBytes + 100, 'x');
    appendConsole(longLine + "\nlast\n");
    ConsoleFind& find = consoleFind();
    find.anchorLine = 6;
    find.endLine = 3;
    const WindowState& window = windowState();
    EXPECT_EQ(selectedLinesText(find, window.console, window.consoleJoined, window.consoleDropped),
              "fourth\n" + longLine + "\nlast\n");
}

}  // namespace
}  // namespace vlr
