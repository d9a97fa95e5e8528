/*******************************************************************************************
*  input_test.cpp — text editing, caret placement, commits and the select box's list
*
*  Headless: keys, the clipboard and the window height come from fakes behind inputCalls(),
*  drawing goes to a recorder behind drawCalls(), and regular 14 gets a hand-made advance
*  table (every glyph 10 px, a few wider ones) in place of the empty one before fonts exist.
*******************************************************************************************/
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "ui/dropdown.h"
#include "ui/input.h"
#include "ui/select_box.h"
#include "ui/text_field.h"
#include "ui/widgets.h"
#include "window_test.h"

namespace vlr {
namespace {

struct Fakes {
    std::set<int> down;
    const char* clipboard = nullptr;
    int screenHeight = 600;
    std::string copied;  // the last text put on the clipboard
};

Fakes& fakes() {
    static Fakes f;
    return f;
}

InputCalls fakeInput() {
    return {[](int key) { return fakes().down.count(key) > 0; }, [] { return fakes().clipboard; },
            [] { return 1280; }, [] { return fakes().screenHeight; },
            [](const char* text) { fakes().copied = text; }, [] { return std::vector<std::string>{}; }};
}

// The caret is the only filled rectangle a field draws.
std::vector<Rectangle> carets() {
    std::vector<Rectangle> out;
    for (const test::Drawn& call : test::drawnOf(test::Drawn::kRectangle)) out.push_back(call.rect);
    return out;
}

Color lastOutline() {
    const std::vector<test::Drawn> outlines = test::drawnOf(test::Drawn::kOutline);
    return outlines.empty() ? Color{} : outlines.back().colour;
}

EditBuffer buffer(std::string text, std::uint64_t caret) {
    EditBuffer b;
    b.text = std::move(text);
    b.caret = caret;
    return b;
}

bool same(Color a, Color b) { return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a; }

class InputTest : public test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        inputCalls() = fakeInput();
        fakes() = Fakes();
        test::fixAdvances(kRegular14, 10);
        // The slot table is writable storage; only its accessor is const.
        FontSlot& slot = const_cast<FontSlot&>(fontSlot(kRegular14));
        slot.advances[0xE9] = 6;  // é
        slot.advances['W'] = 16;
    }

    // One frame's keys for editKeys: the characters first, then the keys.
    static void press(std::vector<int> keys, std::vector<int> chars = {}) {
        std::vector<Keystroke> strokes;
        for (int c : chars) strokes.push_back({0, c});
        for (int key : keys) strokes.push_back({key, 0});
        type(std::move(strokes));
    }
    static void type(std::vector<Keystroke> strokes) {
        InputSnapshot& in = uiState().input;
        in.keys.clear();
        in.chars.clear();
        for (const Keystroke& s : strokes) (s.key != 0 ? in.keys : in.chars).push_back(s.key != 0 ? s.key : s.codepoint);
        in.strokes = std::move(strokes);
    }
    static void click(float x, float y) {
        InputSnapshot& in = uiState().input;
        in.mouseX = x;
        in.mouseY = y;
        in.leftClick = true;
    }
};

// "aé€𝄞b": characters of 1, 2, 3, 4 and 1 bytes.
const std::string kMixed = "a\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E"
                           "b";

// ---- editing ----

TEST_F(InputTest, EditKeysStepOverWholeCharacters) {
    EditBuffer b = buffer(kMixed, kMixed.size());
    std::vector<std::uint64_t> stops;
    for (int i = 0; i < 6; ++i) {
        press({263});
        editKeys(b, 0, false);
        stops.push_back(b.caret);
    }
    EXPECT_EQ(stops, (std::vector<std::uint64_t>{10, 6, 3, 1, 0, 0}));
    stops.clear();
    for (int i = 0; i < 6; ++i) {
        press({262});
        editKeys(b, 0, false);
        stops.push_back(b.caret);
    }
    EXPECT_EQ(stops, (std::vector<std::uint64_t>{1, 3, 6, 10, 11, 11}));
    EXPECT_FALSE(b.edited);
}

TEST_F(InputTest, BackspaceAndDeleteRemoveWholeCharacters) {
    EditBuffer b = buffer(kMixed, 10);  // after the 4-byte character
    press({259});
    editKeys(b, 0, false);
    EXPECT_EQ(b.text, "a\xC3\xA9\xE2\x82\xAC"
                      "b");
    EXPECT_EQ(b.caret, 6u);
    EXPECT_TRUE(b.edited);

    b.caret = 1;
    press({261});
    editKeys(b, 0, false);
    EXPECT_EQ(b.text, "a\xE2\x82\xAC"
                      "b");

    // Every press in one frame counts, repeats included; past the start nothing more goes.
    b.caret = 1;
    press({KEY_BACKSPACE, KEY_BACKSPACE, KEY_BACKSPACE});
    editKeys(b, 0, false);
    EXPECT_EQ(b.caret, 0u);
    EXPECT_EQ(b.text, "\xE2\x82\xAC"
                      "b");
}

TEST_F(InputTest, KeysAndCharactersApplyInTheOrderTheyCame) {
    EditBuffer b = buffer("xy", 2);
    type({{KEY_BACKSPACE, 0}, {0, 'a'}, {0, 'b'}, {KEY_LEFT, 0}, {0, 'c'}});
    editKeys(b, 0, false);
    EXPECT_EQ(b.text, "xacb");
    EXPECT_EQ(b.caret, 3u);

    // Enter commits what came before it; what was typed after it waits for the next frame.
    type({{0, 'd'}, {KEY_ENTER, 0}, {0, 'e'}});
    editKeys(b, 0, false);
    EXPECT_EQ(b.text, "xacdb");
    EXPECT_TRUE(b.lostFocus);
    ASSERT_EQ(uiState().input.later.size(), 1u);
    EXPECT_EQ(uiState().input.later[0].codepoint, 'e');
    EXPECT_EQ(uiState().input.chars, std::vector<int>{'d'});
}

TEST_F(InputTest, MalformedBytesStepTheSameBothWays) {
    // A stray continuation byte is one character; the caret never lands inside "é".
    EditBuffer b = buffer("\xC3\xA9\x80x", 4);
    press({263});
    editKeys(b, 0, false);
    EXPECT_EQ(b.caret, 3u);
    editKeys(b, 0, false);
    EXPECT_EQ(b.caret, 2u);
    editKeys(b, 0, false);
    EXPECT_EQ(b.caret, 0u);
    EXPECT_EQ(nextCharLength("\xE2\x82", 0), 1u);  // runs past the end
    EXPECT_EQ(previousCharStart("ab", 99), 1u);
}

TEST_F(InputTest, SteppingBackAgreesWithWalkingForward) {
    // Every text of up to five bytes from a set that makes valid, cut and stray sequences: each
    // step back, word move and double click lands where a walk from the start puts it.
    const std::string bytes = {'a', ' ', '/', '\x80', '\xA9', '\xC3', '\xE2', '\xF0', '\xFF'};
    const auto starts = [](const std::string& text) {
        std::vector<std::size_t> at;
        for (std::size_t pos = 0; pos < text.size(); pos += nextCharLength(text, pos)) at.push_back(pos);
        return at;
    };
    std::vector<std::string> texts = {""};
    for (std::size_t n = 0; n < texts.size(); ++n)
        if (texts[n].size() < 5)
            for (char c : bytes) texts.push_back(texts[n] + c);
    for (const std::string& text : texts) {
        const std::vector<std::size_t> at = starts(text);
        for (std::size_t pos = 0; pos <= text.size(); ++pos) {
            const auto before = std::lower_bound(at.begin(), at.end(), pos);
            const std::size_t expected = before == at.begin() ? 0 : *(before - 1);
            ASSERT_EQ(previousCharStart(text, pos), expected) << testing::PrintToString(text) << " at " << pos;
            if (!std::binary_search(at.begin(), at.end(), pos) && pos != text.size()) continue;
            // Word moves and double clicks from character boundaries end on boundaries too.
            const std::size_t left = wordLeft(text, pos);
            EXPECT_TRUE(left == text.size() || std::binary_search(at.begin(), at.end(), left));
            const Selection word = wordAt(text, pos);
            EXPECT_TRUE(word.start == text.size() || std::binary_search(at.begin(), at.end(), word.start));
        }
    }
    // A long run of stray lead bytes: the characters are the forward walk's.
    const std::string leads(4001, '\xF0');
    EXPECT_EQ(previousCharStart(leads, leads.size()), 4000u);
    EXPECT_EQ(previousCharStart(leads, 4000), 3999u);
    EXPECT_EQ(wordLeft(leads + " x", leads.size() + 1), 0u);
}

TEST_F(InputTest, AStrayByteIsOneCharacterAndAnyScriptGoesInWhole) {
    // Latin-1 "é" in UTF-8 text: one "?" of one byte that takes nothing after it along.
    const std::string cafe = "caf\xE9 ok";
    EXPECT_EQ(textWidth(kRegular14, cafe), textWidth(kRegular14, "caf? ok"));
    EditBuffer b = buffer(cafe, 3);
    press({KEY_RIGHT});
    editKeys(b, 0, false);
    EXPECT_EQ(b.caret, 4u);
    press({KEY_RIGHT, KEY_LEFT, KEY_LEFT});
    editKeys(b, 0, false);
    EXPECT_EQ(b.caret, 3u);
    press({KEY_RIGHT, KEY_BACKSPACE});
    editKeys(b, 0, false);
    EXPECT_EQ(b.text, "caf ok");

    // Typed past U+FFFF and CJK: whole characters, counted as such by the limit; a lone
    // surrogate has no UTF-8 form and is left out.
    EditBuffer t = buffer(cafe, cafe.size());
    press({}, {0x1F600, 0xD800, 0x4E2D});
    editKeys(t, 9, false);
    const std::string added = "\xF0\x9F\x98\x80\xE4\xB8\xAD";
    EXPECT_EQ(t.text, cafe + added);
    press({}, {'x'});
    editKeys(t, 9, false);
    EXPECT_EQ(t.text, cafe + added);
    fakes().down = {KEY_LEFT_SHIFT};
    press({KEY_LEFT, KEY_LEFT});
    editKeys(t, 0, false);
    fakes().down = {KEY_LEFT_CONTROL};
    press({KEY_C});
    editKeys(t, 0, false);
    EXPECT_EQ(fakes().copied, added);
    fakes().down.clear();
    press({KEY_END, KEY_LEFT, KEY_BACKSPACE});
    editKeys(t, 0, false);
    EXPECT_EQ(t.text, cafe + "\xE4\xB8\xAD");
}

TEST_F(InputTest, TypedCharactersGoInAtTheCaret) {
    EditBuffer b = buffer("ac", 1);
    press({}, {'b', 0xE9, 0x20AC});
    editKeys(b, 0, false);
    EXPECT_EQ(b.text, "ab\xC3\xA9\xE2\x82\xAC"
                      "c");
    EXPECT_EQ(b.caret, 7u);

    EditBuffer n;
    press({}, {'1', 'x', '-', '2'});
    editKeys(n, 0, true);
    EXPECT_EQ(n.text, "1-2");
}

TEST_F(InputTest, PasteTurnsBreaksIntoSpacesAndNumericFieldsKeepDigits) {
    fakes().down = {345};  // right control
    fakes().clipboard = "12 34\n5";
    EditBuffer numeric;
    press({86});
    editKeys(numeric, 0, true);
    EXPECT_EQ(numeric.text, "12345");

    fakes().clipboard = "a\tb\r\nc";
    EditBuffer plain;
    editKeys(plain, 0, false);
    EXPECT_EQ(plain.text, "a b  c");
    EXPECT_TRUE(plain.edited);

    // No modifier, or nothing on the clipboard: nothing happens.
    EditBuffer untouched = buffer("x", 1);
    fakes().down.clear();
    editKeys(untouched, 0, false);
    fakes().down = {343};
    fakes().clipboard = nullptr;
    editKeys(untouched, 0, false);
    EXPECT_EQ(untouched.text, "x");
    EXPECT_FALSE(untouched.edited);
}

TEST_F(InputTest, InsertionPastTheLimitIsRefusedWhole) {
    std::string thirtyEight;
    for (int i = 0; i < 38; ++i) thirtyEight += "\xC3\xA9";  // counted as characters, not bytes
    EditBuffer b = buffer(thirtyEight, thirtyEight.size());
    insertText(b, "abc", 40, false);
    EXPECT_EQ(b.text, thirtyEight);
    EXPECT_FALSE(b.edited);
    insertText(b, "ab", 40, false);
    EXPECT_EQ(b.text, thirtyEight + "ab");
    EXPECT_EQ(b.caret, b.text.size());
    insertText(b, "c", 40, false);
    EXPECT_EQ(b.text, thirtyEight + "ab");
}

TEST_F(InputTest, CaretBeyondReplacedTextIsPulledBack) {
    EditBuffer b = buffer("\xC3\xA9", 40);  // the launcher shortened the text under the caret
    insertText(b, "x", 0, false);
    EXPECT_EQ(b.text, "\xC3\xA9x");
    b.caret = 1;  // inside "é"
    insertText(b, "y", 0, false);
    EXPECT_EQ(b.text, "y\xC3\xA9x");
}

// ---- text field ----

// ---- selection ----

TEST_F(InputTest, SelectionEditsWholeCharactersAndWords) {
    // Shift+Left twice from the end takes "𝄞b"; copy gives those bytes, typing replaces them.
    EditBuffer b = buffer(kMixed, kMixed.size());
    fakes().down = {KEY_LEFT_SHIFT};
    press({KEY_LEFT, KEY_LEFT});
    editKeys(b, 0, false);
    fakes().down = {KEY_LEFT_CONTROL};
    press({KEY_C});
    editKeys(b, 0, false);
    EXPECT_EQ(fakes().copied, "\xF0\x9D\x84\x9E"
                              "b");
    EXPECT_FALSE(b.edited);
    fakes().down.clear();
    press({}, {'z'});
    editKeys(b, 0, false);
    EXPECT_EQ(b.text, "a\xC3\xA9\xE2\x82\xAC"
                      "z");
    EXPECT_EQ(b.caret, b.text.size());

    // A limit counts what stays: replacing 2 of 3 characters by 2 fits a limit of 3.
    EditBuffer limited = buffer("abc", 3);
    limited.anchor = 1;
    press({}, {'x', 'y'});
    editKeys(limited, 3, false);
    EXPECT_EQ(limited.text, "axy");

    // Word moves: over spaces, then one run of letters (multi-byte ones included) or punctuation.
    const std::string path = "/home/j\xC3\xA9r\xC3\xB4me/Velocrash (Europe).iso";
    EXPECT_EQ(wordLeft(path, path.size()), path.size() - 3);         // "iso"
    EXPECT_EQ(wordLeft(path, 14), 6u);                                // "jérôme" whole
    EXPECT_EQ(wordRight(path, 6), 14u);
    EXPECT_EQ(wordRight(path, 24), 26u);                              // " (" : the space, then "("
    const Selection word = wordAt(path, 9);
    EXPECT_EQ(path.substr(word.start, word.end - word.start), "j\xC3\xA9r\xC3\xB4me");

    // Ctrl+Backspace and Ctrl+Delete by word; Ctrl+X cuts; Ctrl+A then Backspace empties.
    EditBuffer p = buffer(path, path.size());
    fakes().down = {KEY_LEFT_CONTROL};
    press({KEY_BACKSPACE, KEY_HOME, KEY_DELETE});
    editKeys(p, 0, false);
    EXPECT_EQ(p.text, "home/j\xC3\xA9r\xC3\xB4me/Velocrash (Europe).");
    fakes().down = {KEY_LEFT_CONTROL, KEY_LEFT_SHIFT};
    press({KEY_RIGHT, KEY_X});
    editKeys(p, 0, false);
    EXPECT_EQ(fakes().copied, "home");
    EXPECT_EQ(p.text, "/j\xC3\xA9r\xC3\xB4me/Velocrash (Europe).");
    fakes().down = {KEY_LEFT_CONTROL};
    press({KEY_A, KEY_BACKSPACE});
    editKeys(p, 0, false);
    EXPECT_EQ(p.text, "");
}

TEST_F(InputTest, DoubleClickTakesAWordAndDraggingFollowsTheMouse) {
    // Glyphs are 10 px from x 111: a double click at 155 lands in "cd".
    EditBuffer b = buffer("ab cd.ef", 0);
    const Rect r{100, 50, 200, 39};
    click(155, 60);
    textField(b, r, "", 11, 0, false);
    click(155, 60);
    textField(b, r, "", 11, 0, false);
    EXPECT_EQ(selectionOf(b).start, 3u);
    EXPECT_EQ(selectionOf(b).end, 5u);
    // The selection is drawn behind the text in the selection colour, over "cd".
    std::vector<test::Drawn> fills = test::drawnOf(test::Drawn::kRectangle);
    std::erase_if(fills, [](const test::Drawn& d) { return !same(d.colour, kSelection); });
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_FLOAT_EQ(fills.front().rect.x, 141);
    EXPECT_FLOAT_EQ(fills.front().rect.width, 20);

    // A press at "a" held while the mouse goes to "e": a drag selection.
    uiState().lastClicked = nullptr;
    click(112, 60);
    uiState().input.mouseDown = true;
    textField(b, r, "", 11, 0, false);
    uiState().input.mouseX = 178;
    textField(b, r, "", 11, 0, false);
    EXPECT_EQ(selectionOf(b).start, 0u);
    EXPECT_EQ(selectionOf(b).end, 7u);
    // Losing focus drops the selection; the commit is reported as before.
    uiState().focused = nullptr;
    b.lostFocus = true;
    EXPECT_TRUE(textField(b, r, "", 11, 0, false));
    EXPECT_TRUE(selectionOf(b).empty());
}

TEST_F(InputTest, TextFieldClickPlacesCaretByHalfGlyphs) {
    // Text starts at 100 + 11; "aWé" spans 111-121, 121-137, 137-143.
    EditBuffer b = buffer("aW\xC3\xA9", 0);
    const Rect r{100, 50, 200, 39};
    const std::vector<std::pair<float, std::uint64_t>> cases = {
        {112, 0}, {116.5f, 1}, {128.9f, 1}, {129.1f, 2}, {139.9f, 2}, {140.1f, 4}, {299, 4}, {101, 0}};
    for (const auto& [x, expected] : cases) {
        uiState().lastClicked = nullptr;  // single clicks: no two of them make a double click
        click(x, 60);
        textField(b, r, "", 11, 0, false);
        EXPECT_EQ(b.caret, expected) << "click at " << x;
        EXPECT_EQ(uiState().focused, &b);
        EXPECT_FALSE(uiState().input.leftClick);
    }
    EXPECT_EQ(uiState().input.wantedCursor, MOUSE_CURSOR_IBEAM);

    // The walk starts at the scrolled pen position.
    b.scroll = 10;
    click(112, 60);
    textField(b, r, "", 11, 0, false);
    EXPECT_EQ(b.caret, 1u);
}

TEST_F(InputTest, TextFieldScrollsToKeepTheCaretVisible) {
    EditBuffer b = buffer(std::string(30, 'x'), 0);  // 300 px of text in 200 - 22 px
    uiState().focused = &b;
    press({269});
    textField(b, {100, 50, 200, 39}, "", 11, 0, false);
    EXPECT_FLOAT_EQ(b.scroll, 300 - 178);
    ASSERT_EQ(carets().size(), 1u);
    const Rectangle caret = carets().back();
    EXPECT_FLOAT_EQ(caret.x, 111 - 122 + 300);
    EXPECT_FLOAT_EQ(caret.width, 1);
    EXPECT_FLOAT_EQ(caret.height, fontSlot(kRegular14).drawingSize);
    EXPECT_TRUE(same(lastOutline(), kAccent));

    press({268});
    textField(b, {100, 50, 200, 39}, "", 11, 0, false);
    EXPECT_FLOAT_EQ(b.scroll, 0);

    // Unfocused: no caret, no scroll, plain outline.
    uiState().focused = nullptr;
    b.scroll = 40;
    test::drawn().clear();
    press({});
    textField(b, {100, 50, 200, 39}, "", 11, 0, false);
    EXPECT_FLOAT_EQ(b.scroll, 0);
    EXPECT_TRUE(carets().empty());
    EXPECT_TRUE(same(lastOutline(), kLine));
}

TEST_F(InputTest, TextFieldCaretAtScaleTwo) {
    uiState().scale = 2;
    EditBuffer b = buffer("ab", 2);
    uiState().focused = &b;
    textField(b, {100, 50, 200, 78}, "", 22, 0, false);  // the inset comes scaled, like the box
    ASSERT_EQ(carets().size(), 1u);
    EXPECT_FLOAT_EQ(carets()[0].x, 100 + 22 + 20);
    EXPECT_FLOAT_EQ(carets()[0].width, 2);
}

TEST_F(InputTest, TextFieldReportsACommitExactlyOnce) {
    EditBuffer b = buffer("name", 4);
    uiState().focused = &b;
    press({335});  // keypad Enter commits and keeps the focus
    EXPECT_TRUE(textField(b, {0, 0, 100, 30}, "", 11, 0, false));
    press({});
    EXPECT_FALSE(textField(b, {0, 0, 100, 30}, "", 11, 0, false));
    EXPECT_EQ(uiState().focused, &b);

    // A click outside (set by the frame) is reported by the measuring pass, not again.
    b.lostFocus = true;
    uiState().drawing = false;
    EXPECT_TRUE(textField(b, {0, 0, 100, 30}, "", 11, 0, false));
    uiState().drawing = true;
    EXPECT_FALSE(textField(b, {0, 0, 100, 30}, "", 11, 0, false));
}

// ---- select box ----

TEST_F(InputTest, SelectBoxListOpensUpwardsOnlyWhenNeededAndPossible) {
    const std::vector<std::string> items = {"one", "two", "three"};  // height 30 * 3 + 8 = 98
    struct Case {
        float top;
        int screen;
        float listTop;
    };
    // Fits below; passes the bottom and fits above; passes the bottom but would not fit above.
    for (const Case& c : {Case{100, 600, 143}, Case{540, 600, 438}, Case{50, 120, 93}}) {
        uiState().dropDown = DropDown();
        fakes().screenHeight = c.screen;
        click(110, c.top + 10);
        EXPECT_EQ(selectBox("profile", {100, c.top, 200, 39}, items, "one"), -1);
        const DropDown& list = uiState().dropDown;
        ASSERT_TRUE(list.open);
        EXPECT_FLOAT_EQ(list.rect.y, c.listTop) << "box at " << c.top;
        EXPECT_FLOAT_EQ(list.rect.height, 98);
        EXPECT_FLOAT_EQ(list.rect.width, 200);
        EXPECT_EQ(list.owner, "profile");
        EXPECT_EQ(list.items, items);
    }
    EXPECT_TRUE(same(lastOutline(), kAccent));

    // A long item widens the list past the box, with room for the check mark after it.
    click(110, 110);
    selectBox("profile", {100, 100, 200, 39}, {std::string(20, 'W')}, "");
    EXPECT_FLOAT_EQ(uiState().dropDown.rect.width, 20 * 16 + 14 + 30);
}

// A value too long for its box or for the window ends in "…" after whole characters, never
// in the middle of one nor between a letter and its accent; the open list marks the value the
// box shows.
TEST_F(InputTest, LongValuesEndInAnEllipsisAtAWholeCharacterAndTheListMarksTheCurrentOne) {
    const std::string ellipsis = "\xE2\x80\xA6";
    EXPECT_EQ(elideText(kRegular14, "abc", 30), "abc");
    EXPECT_EQ(elideText(kRegular14, "abcdef", 45), "abc" + ellipsis);
    EXPECT_EQ(elideText(kRegular14, kMixed, 40), "a\xC3\xA9\xE2\x82\xAC" + ellipsis);  // a é € (10 + 6 + 10)
    EXPECT_EQ(elideText(kRegular14, "ae\xCC\x81z", 35), "a" + ellipsis);  // é as e and a combining accent
    EXPECT_EQ(elideText(kRegular14, "Run With Low", 60), "Run" + ellipsis);
    EXPECT_EQ(elideText(kRegular14, "abc", 5), ellipsis);

    const auto texts = [] {
        std::vector<std::string> out;
        for (const test::Drawn& call : test::drawnOf(test::Drawn::kText)) out.push_back(call.text);
        return out;
    };
    // The closed box: 130 wide keeps 130 - 24 (chevron) - 11 (inset) for the text; no clip.
    const std::vector<std::string> items = {"one", "Run With Low Settings", "three"};
    test::drawn().clear();
    selectBox("s", {0, 0, 130, 39}, items, items[1]);
    EXPECT_EQ(texts(), std::vector<std::string>{"Run Wit" + ellipsis});
    EXPECT_TRUE(test::drawnOf(test::Drawn::kScissor).empty());

    // The list: the current row's check mark, level with the row, right of every text.
    click(10, 10);
    selectBox("s", {0, 0, 130, 39}, items, items[1]);
    ASSERT_EQ(uiState().dropDown.current, 1);
    test::drawn().clear();
    drawDropDown(uiState());
    const std::vector<test::Drawn> mark = test::drawnOf(test::Drawn::kLine);
    ASSERT_EQ(mark.size(), 2u);
    const float middle = 39 + 4 + 4 + 30 + 15;  // the second row's middle
    EXPECT_LT(mark[0].from.y, middle + 5);
    EXPECT_GT(mark[0].from.y, middle - 5);
    EXPECT_GE(mark[0].from.x, 14 + textWidth(kRegular14, items[1]));
    EXPECT_EQ(texts(), items) << "the list is wide enough for all";

    // Far right in the window, the list stays inside it and its long item is cut.
    uiState().dropDown = DropDown();
    click(1010, 10);
    selectBox("s", {1000, 0, 200, 39}, {std::string(40, 'W')}, "");
    EXPECT_FLOAT_EQ(uiState().dropDown.rect.width, 1280 - 1000 - 4);
    test::drawn().clear();
    drawDropDown(uiState());
    EXPECT_EQ(texts(), std::vector<std::string>{std::string(13, 'W') + ellipsis});  // 276 - 44 holds 13 and "…"
    EXPECT_TRUE(test::drawnOf(test::Drawn::kLine).empty()) << "no current value, no mark";
}

TEST_F(InputTest, SelectBoxPicksUpTheChosenRowOnce) {
    const std::vector<std::string> items = {"a", "b", "c"};
    DropDown& list = uiState().dropDown;
    list.items = items;
    list.owner = "profile";
    list.chosen = 2;

    uiState().drawing = false;  // not while measuring
    EXPECT_EQ(selectBox("profile", {0, 0, 100, 30}, items, "a"), -1);
    uiState().drawing = true;
    EXPECT_EQ(selectBox("other", {0, 40, 100, 30}, items, "a"), -1);
    EXPECT_EQ(selectBox("profile", {0, 0, 100, 30}, items, "a"), 2);
    EXPECT_EQ(selectBox("profile", {0, 0, 100, 30}, items, "a"), -1);

    // Items that changed while the list was open: the chosen text is found again, or nothing.
    list.chosen = 2;
    EXPECT_EQ(selectBox("profile", {0, 0, 100, 30}, {"c", "a"}, "a"), 0);
    list.chosen = 1;
    EXPECT_EQ(selectBox("profile", {0, 0, 100, 30}, {"a"}, "a"), -1);
}

TEST_F(InputTest, SelectBoxChevronScales) {
    uiState().scale = 2;
    selectBox("s", {100, 50, 200, 40}, {"a"}, "a");
    const std::vector<test::Drawn> lines = test::drawnOf(test::Drawn::kLine);
    ASSERT_EQ(lines.size(), 2u);
    const float cx = 300 - 30, cy = 70 + 5;
    EXPECT_FLOAT_EQ(lines[0].from.x, cx - 8);
    EXPECT_FLOAT_EQ(lines[0].from.y, cy - 8);
    EXPECT_FLOAT_EQ(lines[0].to.x, cx);
    EXPECT_FLOAT_EQ(lines[1].to.x, cx + 8);
    EXPECT_FLOAT_EQ(lines[1].thickness, 3);  // thickness 1.5 at scale 2
}

}  // namespace
}  // namespace vlr
