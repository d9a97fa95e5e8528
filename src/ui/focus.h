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

#include "ui/access_tree.h"
#include "ui/ui_state.h"

namespace vlr {

// Arrows that change a value rather than move the focus on these kinds.
bool takesLeftRight(FocusKind kind);

// Turns this frame's keys into navigation actions (in the snapshot's order, gamepad actions
// among them), takes those keys out of the snapshot, and makes the focus moves. Called by the
// frame after the overlays took their input; a key capture and a focused text field keep the
// keys that are theirs.
void navigate(UiState& ui);

// ---- ids ----
// A widget's id is made here from its kind, the scopes it is drawn in and its own name (a
// label, a setting's key; may be empty): "button:Play/Game disc/Browse". The frame opens the
// page's scope, a card its title's, a row of settings its key's, so a widget only names
// itself. Two of one id in a frame: the second is "...#2", in drawing order.
void pushFocusScope(std::string_view name);
void popFocusScope();
struct FocusScope {
    explicit FocusScope(std::string_view name) { pushFocusScope(name); }
    ~FocusScope() { popFocusScope(); }
    FocusScope(const FocusScope&) = delete;
    FocusScope& operator=(const FocusScope&) = delete;
};
std::string focusId(FocusKind kind, std::string_view name);

// Adds a widget to this frame's focus list (drawing pass only) and draws its ring when it has
// the focus and the ring shows. `radius` is the widget's own corner radius. True when focused.
// `about` is what a screen reader is told beyond the kind, read only while one listens.
bool focusItem(std::string_view name, Rect r, FocusKind kind, float radius, const AccessAbout& about = {});

// A card measured, then drawn: its drawing walks the items its measuring pass listed from
// `from` on, rather than listing them again; the end forgets those the drawing did not reach.
// `focusMark` is where the next item goes.
struct FocusReplay {
    bool replaying = false;
    std::size_t replay = 0;
    std::size_t tail = 0;
};
std::size_t focusMark();
FocusReplay beginFocusReplay(std::size_t from);
void endFocusReplay(const FocusReplay& outer);

// The id of the widget registered last (a text field clicked into takes the focus by it).
const std::string& lastFocusId();

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
