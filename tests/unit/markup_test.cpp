/*******************************************************************************************
*  markup_test.cpp — help texts with **bold** and `code` spans: parsing and line layout
*
*  Widths come from a fixed-advance measure (10 per byte, 20 for code) so that line breaks
*  land where the test says, without any font loaded.
*******************************************************************************************/
#include <gtest/gtest.h>

#include "pages/markup.h"
#include "ui/fonts.h"
#include "ui/ui_state.h"

namespace vlr {
namespace {

float fixedMeasure(int slot, std::string_view text) {
    return static_cast<float>(text.size()) * (slot == kMono12 ? 20.0f : 10.0f);
}

MarkupLayout layOut(std::string_view text, float width) {
    return layoutMarkup(parseMarkup(text), kRegular12_5, kSemibold14, width, fixedMeasure);
}

TEST(MarkupTest, ParsesSpansAndKeepsUnmatchedOpenersLiteral) {
    uiState() = UiState();
    const std::vector<MarkupSegment> segments = parseMarkup("a **b c** `d`");
    ASSERT_EQ(segments.size(), 4u);
    EXPECT_EQ(segments[1].text, "b c");
    EXPECT_EQ(segments[1].style, kMarkupBold);
    EXPECT_EQ(segments[3].text, "d");
    EXPECT_EQ(segments[3].style, kMarkupCode);
    for (const char* text : {"a `b", "a **b", "x `` y", "x **** y"}) {
        const std::vector<MarkupSegment> literal = parseMarkup(text);
        ASSERT_EQ(literal.size(), 1u) << text;
        EXPECT_EQ(literal[0].text, text);
        EXPECT_EQ(literal[0].style, kMarkupPlain);
    }
    EXPECT_EQ(parseMarkup("** `c`")[0].text, "** ");
}

TEST(MarkupTest, WrapsWordsAndPadsCodeChips) {
    uiState() = UiState();
    // 30 + space 10 + 30 = 70 fits in 75; "ccc" would end at 110. A word wider than the block
    // gets no empty line before it.
    const MarkupLayout wrapped = layOut("aaa bbb ccc", 75);
    EXPECT_EQ(wrapped.lines, 2);
    EXPECT_EQ(wrapped.words[2].line, 1);
    EXPECT_EQ(layOut("abcdefghij", 50).lines, 1);
    EXPECT_EQ(layOut("", 50).lines, 0);

    // "ab" 20 + space = 30; chip from 30, word at 36, 40 wide, chip to 82; " e" after it.
    const MarkupLayout chip = layOut("ab `cd` e", 500);
    ASSERT_EQ(chip.boxes.size(), 1u);
    EXPECT_FLOAT_EQ(chip.boxes[0].left, 30);
    EXPECT_FLOAT_EQ(chip.words[1].x, 36);
    EXPECT_FLOAT_EQ(chip.boxes[0].right, 82);
    EXPECT_FLOAT_EQ(chip.words[2].x, 92);
}

TEST(MarkupTest, CodeSpanAcrossALineBreakGetsOneChipPerLine) {
    uiState() = UiState();
    // Chip from 20, "aa" at 26..66, space -> 86; "bb" would end at 132 > 100 and moves down,
    // where its chip starts at the line start.
    const MarkupLayout layout = layOut("x `aa bb` y", 100);
    ASSERT_EQ(layout.boxes.size(), 2u);
    EXPECT_FLOAT_EQ(layout.boxes[0].left, 20);
    EXPECT_FLOAT_EQ(layout.boxes[0].right, 66);
    EXPECT_EQ(layout.boxes[1].line, 1);
    EXPECT_FLOAT_EQ(layout.boxes[1].left, 0);
    EXPECT_FLOAT_EQ(layout.boxes[1].right, 46);

    uiState().drawing = false;
    EXPECT_FLOAT_EQ(drawMarkup(parseMarkup("one"), kRegular12_5, kRegular12_5, 0, 0, 500, 18.75f, {}, {}), 37.5f);
    EXPECT_FLOAT_EQ(drawMarkup({}, kRegular12_5, kRegular12_5, 0, 0, 500, 18.75f, {}, {}), 0);
    uiState().scale = 2;  // the padding scales
    EXPECT_FLOAT_EQ(layOut("`a`", 500).boxes[0].right, 44);
    uiState() = UiState();
}

}  // namespace
}  // namespace vlr
