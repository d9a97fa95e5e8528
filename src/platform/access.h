/*******************************************************************************************
*  access.h — the door to the system's screen readers
*
*  The window draws its own controls, so a screen reader sees them only through a tree the
*  window hands over: each frame that a client listens, the frame lists what it drew (role,
*  name, value, state, place, actions) and publishes it here. The system's side (UI Automation
*  on Windows, AT-SPI through ATK on Linux) answers the reader from the last published tree,
*  raises the events that the difference between two trees calls for, and queues what a reader
*  asks to be done; the frame takes those requests at its start and carries them out as the
*  user's own input would. With no client listening the frame builds nothing.
*******************************************************************************************/
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace vlr::platform {

enum class AccessRole : unsigned char {
    kTabList,     // the page tabs' row
    kTab,
    kButton,
    kLink,
    kField,       // a one-line text field
    kComboBox,    // a select box
    kSwitch,
    kRadioGroup,  // a row of choices of which one is on
    kRadio,
    kSlider,
    kListItem,    // an input bound to a button (a chip)
    kHeading,     // a card's title
    kText,        // a notice, a status line, a line of explanation
};

// States, as bits.
enum : unsigned {
    kAccessFocusable = 1u << 0,
    kAccessFocused = 1u << 1,
    kAccessSelected = 1u << 2,   // the current tab, the choice that is on
    kAccessChecked = 1u << 3,    // a switch that is on
    kAccessDisabled = 1u << 4,   // drawn but not usable now (the launcher is away)
    kAccessExpanded = 1u << 5,   // a select box whose list is open
    kAccessEditable = 1u << 6,
    kAccessLive = 1u << 7,       // a change of its name is announced (notices, status lines)
};

// What a reader may ask of a node, as bits; also the kind of a request.
enum AccessAction : unsigned {
    kAccessPress = 1u << 0,      // buttons, tabs, links, chips, choices
    kAccessToggle = 1u << 1,     // switches
    kAccessSetValue = 1u << 2,   // fields (text), sliders (number), select boxes (a choice's text)
    kAccessExpand = 1u << 3,     // select boxes
    kAccessCollapse = 1u << 4,
    kAccessFocus = 1u << 5,      // every focusable node
};

struct AccessNode {
    std::string id;       // stable across frames while the widget is drawn
    AccessRole role = AccessRole::kText;
    std::string name;     // the label as drawn; for a field, the label beside it
    std::string value;    // a field's text, the choice shown, a slider's number as drawn
    double number = 0, minimum = 0, maximum = 0, step = 0;  // sliders
    float x = 0, y = 0, width = 0, height = 0;               // in the window's client area, pixels
    unsigned states = 0;
    unsigned actions = 0;
    int parent = -1;      // index of the containing node in the same tree; -1: the window
};

struct AccessTree {
    std::string title;    // the window's
    std::vector<AccessNode> nodes;  // in drawing order; a parent comes before its children
};

struct AccessRequest {
    std::string id;
    AccessAction action = kAccessPress;
    std::string text;     // kAccessSetValue on a field or select box
    double number = 0;    // kAccessSetValue on a slider
};

// What the window hands the bridge when it opens.
struct AccessHost {
    void* window = nullptr;                                   // the native window
    std::function<void(std::function<void()>)> onFrameThread;  // runs soon on the frame thread, waking it;
                                                               // the turn that runs it draws a frame
    // The same for the bridge's own housekeeping (serving the system's queue), which draws no
    // frame unless something else asks for one: a reader reading costs no frames. Empty: use
    // onFrameThread.
    std::function<void(std::function<void()>)> serveOnFrameThread;
};

// Opens the bridge; false when the system offers none (no accessibility bus, no UI Automation).
bool startAccess(const AccessHost& host);
// A client listens: the frame should build and publish the tree.
bool accessListening();
// Frame thread, after drawing: the tree of this frame.
void publishAccessTree(AccessTree tree);
// Frame thread, before drawing: what readers asked since the last frame, in order.
std::vector<AccessRequest> takeAccessRequests();
// Before the window closes.
void stopAccess();

}  // namespace vlr::platform
