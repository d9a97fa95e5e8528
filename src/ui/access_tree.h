/*******************************************************************************************
*  access_tree.h — what a screen reader reads: the tree of the frame as it was drawn
*
*  No second list: a widget that registers for the focus (ui/focus.h) says there what it is
*  (its role follows from its kind; name, value and state come with it), and the few texts a
*  reader needs (card titles, notices, status lines) add a node where they are drawn. All of
*  it only while a reader listens; otherwise each call is one test of a flag. A reader's
*  requests are turned into the user's own input: a focus move, a press queued for the
*  widget, or a value its widget takes as the user's commit.
*******************************************************************************************/
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

#include "platform/access.h"
#include "ui/ui_state.h"

namespace vlr {

// What a focusable widget tells a reader beyond its kind, all as views into what it draws.
struct AccessAbout {
    std::string_view name;    // the label as drawn; empty: the row's label in force, else the widget's own name
    std::string_view value;   // a field's text, the choice shown, a slider's number as drawn
    double number = 0, minimum = 0, maximum = 0, step = 0;  // sliders
    unsigned states = 0;      // kAccessSelected, kAccessChecked, kAccessExpanded

    AccessAbout& named(std::string_view text) { name = text; return *this; }
    AccessAbout& showing(std::string_view text) { value = text; return *this; }
    AccessAbout& ranging(double at, double low, double high, double by) {
        number = at, minimum = low, maximum = high, step = by;
        return *this;
    }
    AccessAbout& marked(unsigned bits) { states |= bits; return *this; }
};

inline bool accessBuilding() { return uiState().access.building; }

// Called by focusItem for the item it just registered, `name` being the widget's own.
void addAccessItem(const FocusItem& item, std::string_view name, const AccessAbout& about);

// A node that takes no focus (a heading, a notice, a status line, a disabled button, a
// choice inside its row), in the current scope or group; `idName` keeps its id stable while
// the text changes.
void accessNode(std::string_view idName, platform::AccessRole role, std::string_view name, Rect r,
                unsigned states = 0, unsigned actions = 0);

// The value of the widget registered last, known only after it drew (a slider's number with
// its unit).
void setLastAccessValue(std::string_view value);

// Nodes added while it stands are children of the node added just before it (the tab row, a
// row of choices).
struct AccessGroup {
    AccessGroup();
    ~AccessGroup();
    AccessGroup(const AccessGroup&) = delete;
    AccessGroup& operator=(const AccessGroup&) = delete;
};

// The name of the widgets drawn while it stands (a setting row's label beside its editor).
struct AccessLabel {
    explicit AccessLabel(std::string_view label);
    ~AccessLabel();
    AccessLabel(const AccessLabel&) = delete;
    AccessLabel& operator=(const AccessLabel&) = delete;
    std::string_view saved;
};

// A card drawn after measuring lists its nodes again with the drawn values: what its
// measuring pass added from `mark` on is dropped first.
std::size_t accessMark();
void forgetAccessNodes(std::size_t mark);

// A value a reader set on the widget registered last, once; null when none. Taken by fields,
// select boxes, rows of choices and sliders as the user's commit.
const platform::AccessRequest* takeAccessValue();

// ---- the frame ----

// Start of a frame: builds the tree this frame when a reader listens; without one, whatever
// was kept for readers is let go.
void beginAccessFrame(UiState& ui, bool listening);

// After the keys were turned into moves: a reader's requests as the user's input. Requests
// for a node the last tree did not have are ignored.
void applyAccessRequests(UiState& ui, std::vector<platform::AccessRequest> requests);

// Called by focusItem: a value request for the widget just registered becomes its claim.
void claimAccessValue(UiState& ui, std::string_view id);

// End of the frame, after the focus settled: marks the focused node and names the window.
// True when ui.access.tree is to be published.
bool finishAccessFrame(UiState& ui, std::string_view title);

}  // namespace vlr
