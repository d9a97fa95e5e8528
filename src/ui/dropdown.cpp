/*******************************************************************************************
*  dropdown.cpp — the list a select box opens: geometry, opening, choosing, keys, drawing
*
*  Rows are kListRowHeight high inside a kListPad edge; the list is at least as wide as its
*  box and wide enough for its widest item. The rows of a click and of the drawing come from
*  one place (rowRect), so what is hit is what is drawn.
*
*  Sections: geometry, opening and choosing, input, drawing.
*******************************************************************************************/
#include "ui/dropdown.h"

#include <algorithm>

#include "raylib.h"
#include "ui/draw.h"
#include "ui/input.h"

namespace vlr {

// ---- geometry ----

namespace {

Rect rowRect(const DropDown& list, std::size_t i) {
    return snap({list.rect.x + sc(kListPad), list.rect.y + sc(kListPad) + sc(kListRowHeight) * static_cast<float>(i),
                 list.rect.width - 2 * sc(kListPad), sc(kListRowHeight)});
}

// The row under a point of the list at scale s, or -1 (past the last row).
int rowAt(const DropDown& list, float y, float s) {
    const int row = static_cast<int>((y - list.rect.y - kListPad * s) / (kListRowHeight * s));
    return row >= 0 && row < static_cast<int>(list.items.size()) ? row : -1;
}

bool contains(Rect r, float x, float y) { return CheckCollisionPointRec(Vector2{x, y}, toRaylib(r)); }

}  // namespace

// ---- opening and choosing ----

void openDropDown(std::string_view owner, Rect box, const std::vector<std::string>& items, int highlight,
                  int current) {
    DropDown& list = uiState().dropDown;
    float widest = 0;
    for (const std::string& item : items) widest = std::max(widest, textWidth(kRegular14, item));
    // Wide enough for the widest item and the check mark beside it, but inside the window: an
    // item longer than that ends in "…".
    const float fitting = widest + sc(kListTextInset + kListMarkRoom);
    const float window = static_cast<float>(inputCalls().screenWidth()) - box.x - sc(kListPad);
    const float width = std::max(box.width, std::min(fitting, window));
    const float height = sc(kListRowHeight * static_cast<float>(items.size()) + 2 * kListPad);
    float top = box.y + box.height + sc(kListPad);
    const float above = box.y - sc(kListPad) - height;
    if (top + height > static_cast<float>(inputCalls().screenHeight()) && above > 0) top = above;
    list.rect = snap({box.x, top, width, height});
    list.items = items;
    list.chosen = -1;
    list.highlight = highlight;
    list.current = current;
    list.owner = std::string(owner);
    list.open = true;
}

// The chosen row indexes the items copied when the list opened; the caller's items may have
// changed since (a new state from the launcher), so the row is found again by its text.
int takeDropDownChoice(std::string_view owner, const std::vector<std::string>& items) {
    UiState& ui = uiState();
    DropDown& list = ui.dropDown;
    if (!ui.drawing || list.owner != owner || list.chosen < 0) return -1;
    const auto row = static_cast<std::size_t>(list.chosen);
    list.chosen = -1;
    if (row >= list.items.size()) return -1;
    if (row < items.size() && items[row] == list.items[row]) return static_cast<int>(row);
    const auto found = std::find(items.begin(), items.end(), list.items[row]);
    return found == items.end() ? -1 : static_cast<int>(found - items.begin());
}

// ---- input ----

void dropDownInput(UiState& ui) {
    InputSnapshot& in = ui.input;
    DropDown& list = ui.dropDown;
    if (!list.open) return;
    const bool inside = contains(list.rect, in.mouseX, in.mouseY);
    in.mouseFree = !inside;  // nothing under the list reacts
    if (in.leftClick) {
        if (inside) {
            const int row = rowAt(list, in.mouseY, ui.scale);
            if (row >= 0) list.chosen = row;
        }
        list.open = false;
        in.leftClick = false;
    }
    if (std::find(in.keys.begin(), in.keys.end(), KEY_ESCAPE) != in.keys.end()) list.open = false;
}

bool dropDownAction(UiState& ui, NavAction action) {
    DropDown& list = ui.dropDown;
    if (!list.open) return false;
    const int count = static_cast<int>(list.items.size());
    switch (action) {
    case kNavUp: list.highlight = std::max(0, list.highlight - 1); return true;
    case kNavDown: list.highlight = std::min(count - 1, list.highlight + 1); return true;
    case kNavPress:
        if (list.highlight >= 0 && list.highlight < count) list.chosen = list.highlight;
        list.open = false;
        return true;
    case kNavBack: list.open = false; return true;
    default: list.open = false; return false;
    }
}

// ---- drawing ----

void drawDropDown(UiState& ui) {
    DropDown& list = ui.dropDown;
    if (!list.open) return;
    Rect box = list.rect;
    drawRoundedBox(box, sc(kControlRadius), kLine, kPanelFill);
    const Vector2 mouse{ui.input.mouseX, ui.input.mouseY};
    const float textRoom = list.rect.width - sc(kListTextInset + kListMarkRoom);
    for (std::size_t i = 0; i < list.items.size(); ++i) {
        Rect row = rowRect(list, i);
        const bool underMouse = CheckCollisionPointRec(mouse, toRaylib(row));  // the list is on top
        // The row the keys or the gamepad point at carries the ring, inside the row: the list's
        // own edge leaves no room outside it.
        const bool keyed = static_cast<int>(i) == list.highlight && ui.focus.visible;
        if (underMouse || static_cast<int>(i) == list.highlight) drawRoundedBox(row, sc(kListRowRadius), kRowHover, kRowHover);
        if (keyed) drawFocusRing(row, sc(kListRowRadius), true);
        if (underMouse) ui.input.wantedCursor = MOUSE_CURSOR_POINTING_HAND;
        const float middle = row.y + row.height / 2;
        drawTextRun(kRegular14, elideText(kRegular14, list.items[i], textRoom), list.rect.x + sc(kListTextInset), middle,
                    kTextPrimary);
        if (static_cast<int>(i) == list.current) {
            // A check mark at the right end of the value the box shows, level with its chevron.
            const float cx = row.x + row.width - sc(12);
            const float arm = sc(4);
            const float stroke = sc(1.5f);
            drawCalls().line({cx - arm, middle}, {cx - arm / 3, middle + arm * 2 / 3}, stroke, kTextPrimary);
            drawCalls().line({cx - arm / 3, middle + arm * 2 / 3}, {cx + arm, middle - arm}, stroke, kTextPrimary);
        }
    }
}

}  // namespace vlr
