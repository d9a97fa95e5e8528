/*******************************************************************************************
*  select_box.cpp — the select box: a box showing the chosen item that opens the drop-down
*
*  The list itself (opening, its keys and clicks, drawing) is ui/dropdown.cpp's; the box
*  takes the chosen row back, and the left and right keys step through the items in place.
*******************************************************************************************/
#include "ui/select_box.h"

#include <algorithm>

#include "raylib.h"
#include "ui/draw.h"
#include "ui/dropdown.h"
#include "ui/focus.h"

namespace vlr {

int selectBox(std::string_view id, Rect r, const std::vector<std::string>& items, std::string_view shown) {
    UiState& ui = uiState();
    DropDown& list = ui.dropDown;
    r = snap(r);

    int result = takeDropDownChoice(id, items);
    const auto shownAt = std::find(items.begin(), items.end(), shown);
    const int current = shownAt == items.end() ? -1 : static_cast<int>(shownAt - items.begin());

    if (isHovered(r)) {
        ui.input.wantedCursor = MOUSE_CURSOR_POINTING_HAND;
        if (takeClick()) openDropDown(id, r, items, -1, current);
    }
    const bool open = list.open && list.owner == id;
    const bool focused = focusItem(id, r, FocusKind::kSelect, sc(kControlRadius),
                                   AccessAbout().showing(shown).marked(open ? platform::kAccessExpanded : 0u));
    if (const platform::AccessRequest* set = takeAccessValue()) {
        const auto chosen = std::find(items.begin(), items.end(), set->text);
        if (chosen != items.end()) result = static_cast<int>(chosen - items.begin());
    }
    if (focused) {
        const int count = static_cast<int>(items.size());
        if (takeAction(kNavPress)) {
            openDropDown(id, r, items, std::max(0, current), current);
        } else if (takeAction(kNavLeft) && count > 0) {
            result = std::max(0, current - 1);
        } else if (takeAction(kNavRight) && count > 0) {
            result = current < 0 ? 0 : std::min(count - 1, current + 1);
        }
    }

    if (ui.drawing) {
        const Faded off(!ui.controlsOff.empty());
        const Color outline = list.open && list.owner == id ? kAccent : kLine;
        Rect box = r;
        drawRoundedBox(box, sc(kControlRadius), outline, kWindowBg);
        // A text too long for the box ends in "…" at a whole character, clear of the chevron.
        const float room = r.width - sc(24) - sc(kFieldInset);  // the chevron's room kept clear
        const std::string text = elideText(kRegular14, shown, room);
        drawTextRun(kRegular14, text, r.x + sc(kFieldInset), r.y + r.height / 2, kTextPrimary, 0);
        // The chevron: its tip 15 from the right edge, a little below the middle.
        const float cx = r.x + r.width - sc(15);
        const float cy = r.y + r.height / 2 + sc(2.5f);
        const float arm = sc(4);
        const float stroke = sc(1.5f);
        drawCalls().line({cx - arm, cy - arm}, {cx, cy}, stroke, kTextSecondary);
        drawCalls().line({cx, cy}, {cx + arm, cy - arm}, stroke, kTextSecondary);
    }
    return result;
}

}  // namespace vlr
