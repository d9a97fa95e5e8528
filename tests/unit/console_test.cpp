/*******************************************************************************************
*  console_test.cpp — the Console page: wrapping into pieces, the visual-line index against
*  appends, trims and clears, the follow rule, and what its buttons do
*
*  Mono 12 is given an advance of 10 for every character, so a 440 wide log box (400 to
*  wrap in) holds k = 40 characters per visual line and, 210 high, ten visual lines of 18.
*  Drawn texts are recorded through the drawing seam.
*******************************************************************************************/
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "link/json.h"
#include "link/link.h"
#include "link/state.h"
#include "pages/console.h"
#include "pages/pages.h"
#include "ui/focus.h"
#include "ui/input.h"
#include "ui/fonts.h"
#include "ui/widgets.h"
#include "window_test.h"

namespace vlr {
namespace {

// The texts drawn so far: the log's lines as they are, every other text in brackets.
std::vector<std::string> shown() {
    std::vector<std::string> texts;
    for (const test::Drawn& call : test::drawnOf(test::Drawn::kText))
        texts.push_back(call.slot == kMono12 ? call.text : "[" + call.text + "]");
    return texts;
}

// The log box of every page test: (100, 251) to (540, 461), text from y 266, 180 high.
constexpr float kX = 100, kTop = 200, kWidth = 440, kBottom = 461;

class ConsoleTest : public test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        test::fixAdvances(kMono12, 10);
        setTheLink(&link_);
    }

    // One frame of the page; the log's lines as drawn (buttons and status left out).
    static std::vector<std::string> frame(float wheel = 0) {
        test::drawn().clear();
        UiState& ui = uiState();
        ui.input.mouseX = 300;
        ui.input.mouseY = 300;
        ui.input.wheel = wheel;
        consolePage({kX, kTop, kWidth, kBottom, {}});
        std::vector<std::string> log;
        for (const std::string& text : shown())
            if (text.empty() || text[0] != '[') log.push_back(text);
        return log;
    }
    static void click(float x, float y) {
        UiState& ui = uiState();
        ui.input.mouseX = x;
        ui.input.mouseY = y;
        ui.input.leftClick = true;
        consolePage({kX, kTop, kWidth, kBottom, {}});
        ui.input.leftClick = false;
    }
    static void numbered(int from, int to) {
        for (int i = from; i < to; ++i) appendConsole("line " + std::to_string(i) + "\n");
    }

    Link link_;
};

// ---- wrapping ----

TEST(ConsoleWrap, PiecesOfExactlyKCharactersNeverSplittingACharacter) {
    EXPECT_EQ(pieceCount("", 4), 1u);
    EXPECT_EQ(pieceBytes("", 4), 0u);
    EXPECT_EQ(pieceCount("abcdefghij", 4), 3u);
    EXPECT_EQ(pieceCount("abcdefgh", 4), 2u);
    EXPECT_EQ(pieceBytes("abcdefghij", 4), 4u);

    // é is two bytes, ✓ three: pieces are counted in characters and cut between them.
    const std::string mixed = "a\xc3\xa9\xe2\x9c\x93" "b\xc3\xa9";  // a é ✓ b é
    EXPECT_EQ(charCount(mixed), 5u);
    EXPECT_EQ(pieceCount(mixed, 2), 3u);
    EXPECT_EQ(pieceBytes(mixed, 2), 3u);                      // "aé"
    EXPECT_EQ(pieceBytes(std::string_view(mixed).substr(3), 2), 4u);  // "✓b"
    // A truncated sequence at the end is one character, as the text operations read it.
    EXPECT_EQ(charCount("ab\xe2\x9c"), 4u);
    // A stray lead takes nothing along: "caf", the stray byte, then " ok".
    EXPECT_EQ(charCount("caf\xe9 ok"), 7u);
    EXPECT_EQ(pieceBytes("caf\xe9 ok", 4), 4u);

    // East Asian wide characters take two columns; one that does not fit starts the next piece,
    // and a piece narrower than one of them still takes it. Matches land in the same pieces.
    const std::string wide = "a\xe6\x9d\xb1\xe4\xba\xac" "bc";   // a 東 京 b c
    EXPECT_EQ(pieceBytes(wide, 4), 4u);                               // "a東", 3 columns
    EXPECT_EQ(pieceCount(wide, 4), 2u);
    EXPECT_EQ(pieceCount(wide, 1), 5u);
    EXPECT_EQ(pieceAt(wide, 4, 4), 1u);                               // 京
    EXPECT_EQ(pieceAt(wide, 3, 4), 0u);

    // k from the box: floor(wrap width / advance of "M"), at least 1 on a very narrow box.
    EXPECT_EQ(charsPerLine(400, 10), 40u);
    EXPECT_EQ(charsPerLine(409.9f, 10), 40u);
    EXPECT_EQ(charsPerLine(5, 7.2f), 1u);
    EXPECT_EQ(charsPerLine(-40, 7.2f), 1u);
    EXPECT_EQ(pieceCount("abc", 1), 3u);
}

TEST_F(ConsoleTest, LongAndMultiByteLinesAreDrawnInPiecesOfK) {
    std::string e40;
    for (int i = 0; i < 41; ++i) e40 += "\xc3\xa9";
    appendConsole(std::string(85, 'x') + "\n\n" + e40 + "\n");
    EXPECT_EQ(frame(), (std::vector<std::string>{std::string(40, 'x'), std::string(40, 'x'), "xxxxx", "",
                                                 e40.substr(0, 80), "\xc3\xa9"}));

    // A box narrower than one "M": one character per visual line.
    clearConsole();
    appendConsole("a\xc3\xa9z\n");
    test::drawn().clear();
    consolePage({kX, kTop, 45, kBottom, {}});
    std::vector<std::string> texts = shown();
    std::erase_if(texts, [](const std::string& text) { return !text.empty() && text[0] == '['; });  // not the log
    EXPECT_EQ(texts, (std::vector<std::string>{"a", "\xc3\xa9", "z"}));
}

// ---- the index ----

TEST_F(ConsoleTest, IndexStaysInStepWithAppendsTrimsAndClears) {
    WindowState& window = windowState();
    ConsoleIndex index;
    auto check = [&](const char* when) -> std::uint64_t {
        const std::uint64_t removed = syncConsoleIndex(index, window.console, window.consoleDropped, 4);
        ConsoleIndex fresh;
        syncConsoleIndex(fresh, window.console, window.consoleDropped, 4);
        EXPECT_EQ(index.starts.size(), window.console.size()) << when;
        EXPECT_EQ(visualLineCount(index), visualLineCount(fresh)) << when;
        for (std::size_t i = 0; i < index.starts.size() && i < fresh.starts.size(); ++i)
            if (index.starts[i] - index.starts.front() != fresh.starts[i] - fresh.starts.front()) {
                ADD_FAILURE() << when << ": line " << i << " starts elsewhere";
                break;
            }
        return removed;
    };
    appendConsole("abcdefg\nopen");
    check("first output");
    appendConsole("ing line grows\n\tx");  // the open line gets longer, a tab becomes four spaces
    check("the open line grew");
    EXPECT_EQ(visualLineCount(index), 2u + 5u + 2u);
    EXPECT_EQ(visualLine(index, 3).line, 1u);
    EXPECT_EQ(visualLine(index, 3).piece, 1u);
    EXPECT_EQ(visualLine(index, 8).line, 2u);

    appendConsole("\n");
    for (int i = 0; i < 19997; ++i) appendConsole("12345\n");  // two pieces each
    check("at the bound");
    appendConsole("12345\n");
    EXPECT_EQ(window.console.size(), 16001u);  // trimmed once
    // The three first lines (2 + 5 + 2 pieces) and 3997 of the new ones left the front.
    EXPECT_EQ(check("after the trim"), 9u + 2u * 3997u);

    clearConsole();
    appendConsole("new first line\n");
    EXPECT_EQ(check("after clear"), 2u * 16001u);
    EXPECT_EQ(visualLineCount(index), 4u);

    for (int i = 0; i < 20001; ++i) appendConsole("1\n");  // appended and trimmed between two frames
    check("a trim of lines never indexed");

    window.console.clear();  // changed without the count: the index measures anew
    window.console.push_back("xy");
    check("a console replaced behind its back");
    EXPECT_EQ(visualLineCount(index), 1u);
}

// ---- follow ----

TEST_F(ConsoleTest, FollowComesFromTheTabAndEveryUserScroll) {
    numbered(0, 30);
    // Before any tab click or scroll (a command's answer switched here): the newest output shows.
    std::vector<std::string> shown = frame();
    EXPECT_EQ(shown.back(), "line 29");
    EXPECT_EQ(consoleRecords().offset, 20 * 18);

    // Up by half a notch (27 px): still within 30 of the end, still following.
    frame(0.5f);
    EXPECT_TRUE(consoleRecords().follow);
    numbered(30, 31);
    EXPECT_EQ(frame().back(), "line 30");

    // Up by one notch (three lines): off; the view stays put while output arrives.
    shown = frame(1);
    EXPECT_FALSE(consoleRecords().follow);
    EXPECT_EQ(shown.front(), "line 18");
    numbered(31, 40);
    EXPECT_EQ(frame().front(), "line 18");

    // A switch here made by a command leaves the player's choice alone: only the tab follows.
    uiState().requestedPage = pageIndex(consolePage);
    EXPECT_EQ(frame().front(), "line 18");
    followConsoleTail();
    EXPECT_EQ(frame().back(), "line 39");
    frame(1);
    EXPECT_FALSE(consoleRecords().follow);

    // Back down past the end: following again.
    frame(-10);
    EXPECT_TRUE(consoleRecords().follow);
    EXPECT_EQ(frame().back(), "line 39");

    // The page keys and the right stick as the wheel: PageUp leaves the end, End follows again.
    uiState().focus.actions = {kNavPageUp};
    shown = frame();
    EXPECT_FALSE(consoleRecords().follow);
    EXPECT_NE(shown.back(), "line 39");
    uiState().focus.actions = {kNavEnd};
    EXPECT_EQ(frame().back(), "line 39");
    EXPECT_TRUE(consoleRecords().follow);

    // The wheel outside the box leaves both alone.
    uiState().input.mouseX = 20;
    uiState().input.wheel = 3;
    consolePage({kX, kTop, kWidth, kBottom, {}});
    EXPECT_TRUE(consoleRecords().follow);
    EXPECT_EQ(uiState().input.wheel, 3);
}

TEST_F(ConsoleTest, TrimKeepsAFollowingViewAtTheEndAndAScrolledOneOnItsLines) {
    followConsoleTail();
    numbered(0, 20000);
    frame();
    numbered(20000, 20001);  // over the bound: the oldest 4000 go
    ASSERT_EQ(windowState().console.size(), 16001u);
    EXPECT_EQ(frame().back(), "line 20000");

    frame(1000);  // far up
    consoleRecords().offset = 6000 * 18;
    ASSERT_EQ(frame().front(), "line 10000");
    numbered(20001, 24001);  // trims again
    EXPECT_EQ(windowState().console.front(), "line 8000");
    EXPECT_EQ(frame().front(), "line 10000") << "scrolled away, the view stays on its lines while they last";
    numbered(24000, 28001);
    EXPECT_EQ(frame().front(), "line 12000") << "once its lines are gone it shows the oldest left";
}

// ---- one endless line ----

TEST_F(ConsoleTest, AnEndlessLineIsHeldInBoundedEntriesAndCopiedWhole) {
    // Progress output rewritten with carriage returns and never ended, with characters of
    // one to four bytes across every cut and NUL bytes, behind almost a full console.
    numbered(0, 19990);
    std::string line;
    std::string copied;
    for (int i = 0; line.size() < 300000; ++i) {
        std::string step(1, '\r');
        step += std::to_string(i % 100);
        step += "% \xE2\x96\x88\xC3\xA9\xF0\x9F\x98\x80";
        step.append(i % 7 == 0 ? 1 : 0, '\0');
        step += 'x';
        line += step;
        copied += step.substr(1);
    }
    for (std::size_t at = 0; at < line.size(); at += 1000) appendConsole(line.substr(at, 1000));
    frame();

    const WindowState& window = windowState();
    EXPECT_LE(window.console.size(), kConsoleMaxLines);
    for (const std::string& entry : window.console) {
        ASSERT_LE(entry.size(), kConsoleLineBytes + 3);
        ASSERT_TRUE(entry.empty() || (static_cast<unsigned char>(entry[0]) & 0xC0) != 0x80) << "a character split";
    }
    // Copy all gives back every byte, the line whole, NUL bytes as U+FFFD.
    std::string expected;
    for (int i = 4000; i < 19990; ++i) expected += "line " + std::to_string(i) + "\n";
    for (char c : copied) expected += c == '\0' ? std::string("\xEF\xBF\xBD") : std::string(1, c);
    expected += "\n";
    EXPECT_EQ(consoleText(window.console, window.consoleJoined, window.consoleDropped), expected);

    // The page draws the end of the line from its last entries, cut into pieces of k.
    consoleRecords().follow = true;
    const std::vector<std::string> log = frame();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(log.back(), std::string_view(window.console.back()).substr(window.console.back().size() - log.back().size()));
}

// ---- buttons ----

TEST_F(ConsoleTest, StopOnlyWhileATaskRunsClearEmptiesAndCopyAllText) {
    // Fonts for buttons are not built: every button is 30 wide, 8 apart.
    appendConsole("a\n\nb");
    click(kX + 10, kTop + 10);  // Stop while idle
    EXPECT_TRUE(link_.commands.empty());
    EXPECT_EQ(consoleText(windowState().console), "a\n\nb\n");
    EXPECT_EQ(consoleText({}), "");

    windowState().state = parseJson(R"({"running": "Build"})");
    frame();
    const std::vector<std::string> texts = shown();
    EXPECT_NE(std::find(texts.begin(), texts.end(), "[Build running.]"), texts.end());
    click(kX + 10, kTop + 10);
    ASSERT_EQ(link_.commands.size(), 1u);
    EXPECT_EQ(link_.commands[0].action, "stop");
    EXPECT_EQ(link_.commands[0].body, "{}");

    // Copy all goes through the window seam, so it reaches the clipboard a test looks at.
    static std::string copied;
    inputCalls().setClipboardText = [](const char* text) { copied = text; };
    click(kX + 38 + 10, kTop + 10);
    EXPECT_EQ(copied, "a\n\nb\n");

    click(kX + 76 + 10, kTop + 10);  // Clear
    EXPECT_TRUE(windowState().console.empty());
    EXPECT_FALSE(windowState().openLine);
    appendConsole("c\n");
    EXPECT_EQ(frame(), std::vector<std::string>{"c"});
}

}  // namespace
}  // namespace vlr
