/*******************************************************************************************
*  markup.h — help texts with **bold** and `code` spans
*
*  A few help texts mark words as bold or as code (paths, folder names). They are parsed into
*  styled segments and laid out word by word, with a dark chip behind each line's share of a
*  code span. Layout is separate from drawing so that it can be checked without a window.
*******************************************************************************************/
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "raylib.h"

namespace vlr {

enum MarkupStyle : int { kMarkupPlain = 0, kMarkupBold = 1, kMarkupCode = 2 };

struct MarkupSegment {
    std::string text;
    int style = kMarkupPlain;
};

// Openers without a closing partner, or with nothing between, stay in the text as typed.
std::vector<MarkupSegment> parseMarkup(std::string_view text);

// Widths in pixels of a text in a font slot; the program measures with textWidth.
using TextMeasure = float (*)(int slot, std::string_view text);

struct MarkupWord {
    std::string text;
    int slot = 0;
    int style = kMarkupPlain;
    int line = 0;
    float x = 0;   // from the block's left edge
};

// The chip behind one line's part of a code span, from the block's left edge.
struct MarkupBox {
    int line = 0;
    float left = 0;
    float right = 0;
};

struct MarkupLayout {
    std::vector<MarkupWord> words;
    std::vector<MarkupBox> boxes;
    int lines = 0;   // 0 only without segments
};

MarkupLayout layoutMarkup(const std::vector<MarkupSegment>& segments, int plainSlot, int boldSlot, float width,
                          TextMeasure measure = nullptr);

// Draws (in the drawing pass) and returns the height: one spare line below the text.
float drawMarkup(const std::vector<MarkupSegment>& segments, int plainSlot, int boldSlot, float x, float y,
                 float width, float lineHeight, Color plainColour, Color boldColour);

}  // namespace vlr
