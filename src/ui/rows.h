/*******************************************************************************************
*  rows.h — rows and cells: the toolkit hands out rectangles, pages say what goes where
*
*  A Column is a cursor down an area (a card's content, a page's column); each row taken from
*  it moves the cursor past the row and the gap below it. A Row hands out cells from its left
*  end (cell) and its right end (cellRight); what is left between them is rest. Lengths are in
*  pixels, like every caller-given length. Pure arithmetic: the measuring pass gets the same
*  rectangles as the drawing pass.
*******************************************************************************************/
#pragma once

#include "ui/ui_state.h"

namespace vlr {

struct Row {
    float left = 0, right = 0;   // the span not yet handed out
    float top = 0, height = 0;
    float gap = 0;               // between two cells
};

struct Column {
    float x = 0, width = 0;
    float top = 0;               // where the column began
    float y = 0;                 // the next row's top
};

Column column(float x, float y, float width);

// A row on its own, `width` wide from x, with `gap` between its cells. A row's gap may be
// changed between two cells (a status text stands further off than the next button).
Row rowAt(float x, float y, float width, float height, float gap);

// A row `height` high at the column's cursor; the cursor moves past it and `below`.
Row nextRow(Column& column, float height, float below, float gap);

// Moves the cursor past something `height` high the caller drew there (a text block).
void skip(Column& column, float height);

// The height used from the column's top.
inline float used(const Column& column) { return column.y - column.top; }

// The next cell from the left end, `width` wide; the next from the right end; what is left.
Rect cell(Row& row, float width);
Rect cellRight(Row& row, float width);
Rect rest(const Row& row);

// The cells to come, `width` wide together with their gaps, end at the row's right end.
void flushRight(Row& row, float width);

// A cell `width` wide in the middle of what is left of the row; the row stays as it was.
Rect cellMiddle(const Row& row, float width);

}  // namespace vlr
