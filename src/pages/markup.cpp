/*******************************************************************************************
*  markup.cpp — parsing, laying out and drawing help texts with **bold** and `code` spans
*******************************************************************************************/
#include "pages/markup.h"

#include <algorithm>
#include <cmath>

#include "ui/fonts.h"
#include "ui/widgets.h"

namespace vlr {

namespace {

float measureWithFonts(int slot, std::string_view text) { return textWidth(slot, text); }

// ---- parsing ----

// Length of the closed span starting at `open` (its opener included), or 0 when it does not
// close or closes on nothing.
std::size_t closedSpan(std::string_view text, std::size_t open, std::string_view mark) {
    const std::size_t inner = open + mark.size();
    const std::size_t close = text.find(mark, inner);
    if (close == std::string_view::npos || close == inner) return 0;
    return close + mark.size() - open;
}

// ---- layout ----

struct Piece {
    std::string_view text;
    int spacesAfter = 0;
};

// Words of a segment, with the spaces behind each; `leading` counts spaces before the first.
std::vector<Piece> splitWords(std::string_view text, int& leading) {
    std::vector<Piece> pieces;
    leading = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ') {
            if (pieces.empty()) ++leading;
            else ++pieces.back().spacesAfter;
            ++i;
            continue;
        }
        const std::size_t end = std::min(text.find(' ', i), text.size());
        pieces.push_back({text.substr(i, end - i), 0});
        i = end;
    }
    return pieces;
}

}  // namespace

std::vector<MarkupSegment> parseMarkup(std::string_view text) {
    std::vector<MarkupSegment> segments;
    std::string plain;
    auto closePlain = [&] {
        if (!plain.empty()) segments.push_back({std::move(plain), kMarkupPlain});
        plain.clear();
    };
    std::size_t i = 0;
    while (i < text.size()) {
        const bool bold = text.compare(i, 2, "**") == 0;
        const bool code = !bold && text[i] == '`';
        if (bold || code) {
            const std::string_view mark = bold ? "**" : "`";
            const std::size_t span = closedSpan(text, i, mark);
            if (span != 0) {
                closePlain();
                segments.push_back({std::string(text.substr(i + mark.size(), span - 2 * mark.size())),
                                    bold ? kMarkupBold : kMarkupCode});
                i += span;
                continue;
            }
            plain += mark;
            i += mark.size();
            continue;
        }
        plain += text[i++];
    }
    closePlain();
    return segments;
}

MarkupLayout layoutMarkup(const std::vector<MarkupSegment>& segments, int plainSlot, int boldSlot, float width,
                          TextMeasure measure) {
    if (measure == nullptr) measure = measureWithFonts;
    MarkupLayout layout;
    if (segments.empty()) return layout;

    float pen = 0;
    int line = 0;
    for (const MarkupSegment& segment : segments) {
        const bool code = segment.style == kMarkupCode;
        const int slot = code ? kMono12 : segment.style == kMarkupBold ? boldSlot : plainSlot;
        const float pad = code ? sc(6) : 0;  // room inside a code chip on either side
        const float space = measure(slot, " ");
        int leading = 0;
        const std::vector<Piece> words = splitWords(segment.text, leading);
        if (pen > 0) pen += space * static_cast<float>(leading);

        MarkupBox box;
        for (std::size_t k = 0; k < words.size(); ++k) {
            const bool first = k == 0;
            const bool last = k + 1 == words.size();
            const float lead = first ? pad : 0;
            const float trail = last ? pad : 0;
            const float wordWidth = measure(slot, words[k].text);
            if (pen > 0 && pen + lead + wordWidth + trail > width) {
                ++line;
                pen = 0;
            }
            if (code && (first || line != box.line)) {
                if (!first) layout.boxes.push_back(box);  // the span goes on below
                box = {line, first ? pen : 0, 0};
            }
            const float x = pen + lead;
            layout.words.push_back({std::string(words[k].text), slot, segment.style, line, x});
            pen = x + wordWidth;
            box.right = pen;
            if (last) {
                pen += trail;
                if (code) {
                    box.right = pen;
                    layout.boxes.push_back(box);
                }
            }
            pen += space * static_cast<float>(words[k].spacesAfter);
        }
    }
    layout.lines = line + 1;
    return layout;
}

float drawMarkup(const std::vector<MarkupSegment>& segments, int plainSlot, int boldSlot, float x, float y,
                 float width, float lineHeight, Color plainColour, Color boldColour) {
    if (segments.empty()) return 0;
    const MarkupLayout layout = layoutMarkup(segments, plainSlot, boldSlot, width);
    if (uiState().drawing) {
        const float chipHeight = sc(12) + 2 * std::max(roundHalfAway(uiState().scale), 1.0f);  // the code and its outline
        for (const MarkupBox& box : layout.boxes) {
            const float centre = y + (static_cast<float>(box.line) + 0.5f) * lineHeight;
            Rect chip{x + box.left, centre - chipHeight / 2, box.right - box.left, chipHeight};
            drawRoundedBox(chip, sc(5), kLine, kWindowBg);  // a code chip's corners
        }
        for (const MarkupWord& word : layout.words) {
            const float centre = y + (static_cast<float>(word.line) + 0.5f) * lineHeight;
            drawTextRun(word.slot, word.text, x + word.x, centre,
                                word.style == kMarkupBold ? boldColour : plainColour, 0);
        }
    }
    return static_cast<float>(layout.lines + 1) * lineHeight;
}

}  // namespace vlr
