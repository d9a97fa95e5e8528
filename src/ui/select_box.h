/*******************************************************************************************
*  select_box.h — the select box
*
*  Immediate-mode like the other widgets; a click or Enter opens the drop-down list
*  (ui/dropdown.h) under it, and the box picks up the chosen row.
*******************************************************************************************/
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ui/ui_state.h"

namespace vlr {

// Index of the item chosen from the drop-down list this frame, or -1.
int selectBox(std::string_view id, Rect r, const std::vector<std::string>& items, std::string_view shown);

}  // namespace vlr
