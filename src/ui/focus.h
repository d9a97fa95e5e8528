/*******************************************************************************************
*  focus.h — keyboard and gamepad focus of the toolkit
*
*  Every interactive widget, as it is drawn, adds itself to the frame's focus list; order and
*  spatial moves come from that list (the previous frame's), so pages never list their
*  widgets. Keys and gamepad buttons become the same few navigation actions, in the order
*  they came; the focus moves are made before the page is drawn, and what is left (press,
*  values, pages, scrolling) is taken by the widget or the frame it belongs to.
*******************************************************************************************/
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ui/ui_state.h"

namespace vlr {

// Arrows that change a value rather than move the focus on these kinds.
bool takesLeftRight(FocusKind kind);

// Turns this frame's keys into navigation actions (in the snapshot's order, gamepad actions
// among them), takes those keys out of the snapshot, and makes the focus moves. Called by the
// frame after the overlays took their input; a key capture and a focused text field keep the
// keys that are theirs.
void navigate(UiState& ui);

// Adds a widget to this frame's focus list (drawing pass only) and draws its ring when it has
// the focus and the ring shows. `radius` is the widget's own corner radius. True when focused.
bool focusItem(std::string_view id, Rect r, FocusKind kind, float radius);

// Forgets this frame's focus items from the `count`th on (a card measured, then drawn).
void dropFocusItems(std::size_t count);

// Takes one pending action of this kind; the focused widget (or the frame) calls it.
bool takeAction(NavAction action);

// The page keys and the right stick, when the focused widget did not take them: a view of
// `viewHeight` scrolled by a page, by `step`, or to either end (the end as the largest float,
// for the caller's clamp).
void scrollByActions(float& offset, float viewHeight, float step);

// Where the page's scroll offset must go so that the focused widget, just moved to, shows in
// the viewport with a margin; `offset` unchanged when it already shows.
float focusScroll(Rect view, float offset, float maxOffset);

// End of the frame: a focused widget that was not drawn hands the focus to its nearest
// neighbour; this frame's list becomes the one the next frame's moves use.
void settleFocus(UiState& ui);

}  // namespace vlr
