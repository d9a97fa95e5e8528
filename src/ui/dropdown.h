/*******************************************************************************************
*  dropdown.h — the list a select box opens, as one widget
*
*  The list lives in UiState::dropDown while it is open and is drawn over everything at the
*  end of the frame. Before the pages run it takes the clicks over it (a row chooses, any
*  click closes it) and, through the focus, the keys (up, down, press, back); the select box
*  that opened it picks up the chosen row in its next drawing pass.
*******************************************************************************************/
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ui/ui_state.h"

namespace vlr {

// Opens the list under (or, without room below, above) `box` for the widget `owner`, with
// the keys' row at `highlight` and the check mark on the row of the value shown, `current`
// (-1: none, for either).
void openDropDown(std::string_view owner, Rect box, const std::vector<std::string>& items, int highlight,
                  int current = -1);

// The index in `items` of the row chosen for `owner`, once, in a drawing pass; -1 otherwise.
int takeDropDownChoice(std::string_view owner, const std::vector<std::string>& items);

// Before the pages: the mouse over the open list is the list's, and a click or Escape
// closes it (choosing the row under a click).
void dropDownInput(UiState& ui);

// A navigation action while the list is open: the list's own (up, down, press, back) are
// taken and true is returned; any other closes it and goes on.
bool dropDownAction(UiState& ui, NavAction action);

// Draws the open list over the frame, the keys' row with the focus ring when it shows.
void drawDropDown(UiState& ui);

}  // namespace vlr
