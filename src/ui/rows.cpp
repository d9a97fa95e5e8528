/*******************************************************************************************
*  rows.cpp — rows and cells handed out from a column
*******************************************************************************************/
#include "ui/rows.h"

namespace vlr {

Column column(float x, float y, float width) { return {x, width, y, y}; }

Row rowAt(float x, float y, float width, float height, float gap) { return {x, x + width, y, height, gap}; }

Row nextRow(Column& column, float height, float below, float gap) {
    const Row row = rowAt(column.x, column.y, column.width, height, gap);
    column.y += height;
    column.y += below;
    return row;
}

void skip(Column& column, float height) { column.y += height; }

Rect cell(Row& row, float width) {
    const Rect r{row.left, row.top, width, row.height};
    row.left += width + row.gap;
    return r;
}

Rect cellRight(Row& row, float width) {
    row.right -= width;
    const Rect r{row.right, row.top, width, row.height};
    row.right -= row.gap;
    return r;
}

Rect rest(const Row& row) { return {row.left, row.top, row.right - row.left, row.height}; }

void flushRight(Row& row, float width) { row.left = row.right - width; }

Rect cellMiddle(const Row& row, float width) {
    return {row.left + (row.right - row.left - width) / 2, row.top, width, row.height};
}

}  // namespace vlr
