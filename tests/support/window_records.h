/*******************************************************************************************
*  window_records.h — a fresh window for headless tests and benchmarks: every window-wide
*  record reset, and a recorder behind the drawing seam
*
*  The recorder keeps each call the toolkit and the pages make through drawCalls(), in
*  order, so a test reads back what would have been drawn, where and in which colour.
*  freshWindow() resets every window-wide record and seam; SavedAdvances keeps the fonts'
*  advance tables, which tests may fix, so that they can be put back afterwards. tests/unit/window_test.h wraps both into a fixture.
*******************************************************************************************/
#pragma once

#include <string>
#include <vector>

#include "raylib.h"
#include "ui/input.h"
#include "ui/widgets.h"

namespace vlr::test {

// One call through the drawing seam.
struct Drawn {
    enum Kind { kFill, kOutline, kScissor, kEndScissor, kText, kLine, kRectangle, kCircle, kRing, kTexture, kClear };
    Kind kind = kFill;
    Rectangle rect{};      // fill, outline, scissor, rectangle, texture target; a text's (x, centre y); a circle's or ring's centre
    Color colour{};
    float roundness = 0;   // fill, outline
    float thickness = 0;   // outline, line
    int slot = -1;         // text
    std::string text;
    float extraSpacing = 0;  // text
    Vector2 from{}, to{};    // line
    float radius = 0;        // circle; a ring's outer radius
    float inner = 0;         // ring
};

// What the recorder received since the last reset, oldest first.
std::vector<Drawn>& drawn();
std::vector<Drawn> drawnOf(Drawn::Kind kind);
// Drawing calls that append to drawn(). A text run reports its end as its start plus
// textAdvance() per byte (0 unless a test sets it).
DrawCalls drawRecorder();
float& textAdvance();

// Every code point of `slot` `advance` wide (the tables are empty before fonts are built).
void fixAdvances(int slot, float advance);

// A fresh window: every window-wide record and seam as a fresh process has them
// (resetWindowRecords), no link, nothing recorded.
void freshWindow();

// The fonts' advance tables (which tests may fix), as they were when made.
class SavedAdvances {
public:
    SavedAdvances();
    void restore() const;

private:
    std::vector<std::vector<float>> advances_;
};

}  // namespace vlr::test
