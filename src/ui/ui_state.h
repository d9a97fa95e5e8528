/*******************************************************************************************
*  ui_state.h — the window-wide UI state, as plain records
*
*  One UiState for the whole window, touched by the frame thread only. The records live here
*  without any drawing code; the toolkit adds its behaviour around them.
*******************************************************************************************/
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/access.h"

namespace vlr {

struct Rect {
    float x = 0, y = 0, width = 0, height = 0;
};

// No selection: the anchor of a field that has none.
inline constexpr std::uint64_t kNoAnchor = UINT64_MAX;

// The state of one text field; must not move in memory while it can have focus.
struct EditBuffer {
    std::string text;           // the text being edited (UTF-8)
    std::uint64_t caret = 0;    // byte index, always at a character boundary
    std::uint64_t anchor = kNoAnchor; // other end of the selection (byte index); kNoAnchor: none
    float scroll = 0;           // horizontal scroll in pixels; 0 when not focused
    bool edited = false;        // the user changed the text; stop refreshing it from the launcher
    bool lostFocus = false;     // set by Enter or a click outside; read and cleared by textField
    bool passing = false;       // Tab, an arrow or the gamepad brought the focus and nothing was
                                // clicked, typed or entered since: leaving commits nothing
    Rect rect;                  // snapped rectangle of its last drawing
};

struct DropDown {
    bool open = false;
    Rect rect;
    std::vector<std::string> items;
    int chosen = -1;            // -1: nothing chosen yet
    std::string owner;          // id of the select box that opened the list
    int highlight = -1;         // row the keys or the gamepad point at; -1: none
    int current = -1;           // row of the value the box shows (marked); -1: none
};

struct KeyCapture {
    std::string name;           // PS2 button being bound; empty = no capture
    Rect rect;                  // the add chip that started it
};

inline constexpr double kNoticeSeconds = 5.0;

struct Notice {
    std::string text;
    double expiry = 0;          // seconds on uiClock(); shown while the clock is before it
};

// What a key or a gamepad button asks for (ui/focus.h makes them); widgets react to these,
// not to devices.
enum NavAction : int {
    kNavNone = 0,
    kNavNext, kNavPrevious,                        // Tab, Shift+Tab
    kNavUp, kNavDown, kNavLeft, kNavRight,         // arrows, D-pad, left stick
    kNavPress,                                     // Enter, Space, A
    kNavBack,                                      // Escape in a field, B
    kNavNextPage, kNavPreviousPage,                // Ctrl+Tab, Ctrl+PageDown, RB (and back)
    kNavScrollUp, kNavScrollDown,                  // right stick
    kNavPageUp, kNavPageDown, kNavHome, kNavEnd,   // the page keys
    kNavStart,                                     // Start: the Play button
    kNavCount
};

// Modifier keys held with a key press, as the system reported them with it (GLFW's bits).
inline constexpr int kModShift = 1;
inline constexpr int kModControl = 2;
inline constexpr int kModSuper = 8;

// One key press (or auto-repeat), one typed character or one gamepad action (a NavAction);
// exactly one of the three is set.
struct Keystroke {
    int key = 0;
    int codepoint = 0;
    int mods = 0;   // kMod* bits held with the key: a quick Ctrl+C is often released before the frame
    int action = 0;
    bool repeat = false;  // a held key's auto-repeat, not a press
};

// What the user did since the last frame; filled once at the start of each frame.
struct InputSnapshot {
    float mouseX = 0, mouseY = 0;
    bool pressed[8] = {};           // mouse buttons 0-7 pressed this frame
    bool leftClick = false;         // button 0 pressed and not yet taken by a widget
    bool mouseDown = false;         // button 0 held down now; a scrollbar drag ends when clear
    float wheel = 0;                // positive = away from the user
    std::vector<int> keys;          // keys pressed or repeated this frame, in order
    std::vector<bool> repeats;      // per entry of keys: a held key's auto-repeat (missing: a press)
    std::vector<int> chars;         // characters typed this frame, in order
    std::vector<Keystroke> strokes; // the keys and characters together, in the order they came
    std::vector<Keystroke> later;   // strokes handed on to the next frame, which takes them first:
                                    // what came after a focus move or a commit must meet its result
    bool mouseFree = true;          // false while the mouse is over the open drop-down list
    int wantedCursor = 0;           // a raylib MouseCursor: default, I-beam or pointing hand
};

// Where a page draws: its column, the top of its content and the bottom of the area it may
// fill, and the viewport it is seen through. Every page takes one and returns the height it
// used from y; the frame turns that into scrolling.
struct PageArea {
    float x = 0;
    float y = 0;        // top of the content; a page scrolled by the frame is moved up by its offset
    float width = 0;
    float bottom = 0;   // end of the area a page that fills the view keeps to
    Rect view;          // between the header and the footer
};

// Widgets that can hold the keyboard and gamepad focus (ui/focus.h).
enum class FocusKind : unsigned char { kButton, kTab, kField, kSelect, kSegment, kSlider, kSwitch, kChip };

struct FocusItem {
    std::string id;
    Rect rect;
    FocusKind kind = FocusKind::kButton;
    bool inPage = false;   // drawn by the page (scrolled with it), not by the frame
};

// The keyboard and gamepad focus (ui/focus.h).
struct FocusState {
    std::string id;                  // the focused widget; empty: none
    Rect rect;                       // where it was drawn last
    FocusKind kind = FocusKind::kButton;
    bool visible = false;            // the ring shows: keys or a gamepad were used since the mouse
    bool arrived = false;            // the focus moved this frame (a text field starts editing)
    bool moved = false;              // ... and the page keeps it in view
    bool seen = false;               // the focused widget was drawn this frame
    bool collecting = false;         // a card outside the view adds its widgets without drawing
    bool inPage = false;             // the page is being drawn (its widgets scroll with it)
    std::vector<int> actions;        // NavActions left for the widgets and the frame, in order
    std::vector<FocusItem> items;     // this frame's, in drawing order
    std::vector<std::uint32_t> itemTable;  // items by id hash (index + 1, 0 free), for the duplicate check
    bool replaying = false;           // a card drawn after measuring walks the items it measured:
    std::size_t replay = 0;           // the next of them
    std::size_t replayTail = 0;       // how many items follow them
    std::size_t last = 0;             // the item registered last
    std::vector<FocusItem> previous;  // the last frame's: moves are made over it
    std::string scopePath;            // page, card, row being drawn, joined by '/': the ids' path (ui/focus.h)
    std::vector<std::size_t> scopeMarks;  // where each open scope begins in it
    std::string idBuffer;             // the id being made, kept to spare an allocation per widget
};

// The tree a screen reader reads, listed by the widgets as they register for the focus
// (ui/access_tree.h). Empty, and nothing allocated, while no reader listens.
struct AccessState {
    bool building = false;                 // a reader listens: this frame lists what it draws
    platform::AccessTree tree;             // this frame's nodes, in drawing order
    std::vector<int> groups;               // open groups (the tab row, a row of choices): their nodes
    int lastNode = -1;                     // the node of the widget registered last; -1: none
    std::string_view label;                // the name of the widgets drawn now (a setting row's label)
    std::vector<platform::AccessNode> last;           // the last published nodes: requests name them
    std::vector<platform::AccessRequest> waiting;     // requests left for the next frame
    std::vector<platform::AccessRequest> values;      // values set by a reader, waiting for their widget
    platform::AccessRequest claimed;       // ... the one the widget registered last takes
    bool hasClaim = false;
};

struct UiState {
    // toolkit
    bool drawing = true;            // cleared during a card's measuring pass
    std::vector<Rect> clips;        // clip stack; the top is the current clip
    bool scissorOn = false;         // a curved shape crossed the current clip's edge
    std::string active;             // widget holding the mouse (a dragged scrollbar)
    float dragStartOffset = 0;      // scroll offset when the drag began
    float dragStartMouseY = 0;      // mouse y when the drag began
    InputSnapshot input;
    float scale = 1;                // UI scale: display content scale, at least 1

    // frame
    int currentPage = 0;                  // index into the page table (pages/pages.h)
    int requestedPage = 0;
    bool frameAgain = false;        // a page has work left over: the next frame comes without input
    std::vector<float> scroll;            // scroll offset per page, sized by the frame
    std::vector<float> contentHeight;     // height each page reported in its last drawing
    int lastCursor = 0;                   // cursor set last, to call the system only on change

    // overlays and focus
    EditBuffer* focused = nullptr;  // text field with keyboard focus
    EditBuffer* dragging = nullptr; // field whose selection follows the mouse while the button is held
    EditBuffer* lastClicked = nullptr; // field of the last click, and when and where it was (double clicks)
    double lastClickTime = -1;
    float lastClickX = 0, lastClickY = 0;
    DropDown dropDown;
    KeyCapture capture;
    Notice notice;
    FocusState focus;
    AccessState access;

    // controls that another process does the work of (ServedControls)
    std::string serviceDown;        // why they cannot be used now (set by the frame); empty: they can
    std::string controlsOff;        // the reason in force for the widgets being drawn; empty: live
    Rect offTipRect;                // such a control under the pointer or the focus ...
    std::string offTip;             // ... and why, which the frame shows beside it; empty: none
};

UiState& uiState();  // one of the window-wide records (shell/records.h)

// Widgets drawn inside are the launcher's to serve: while ui.serviceDown says why they cannot
// be, they are drawn disabled, take no click or key, and tell why on hover or focus. They keep
// their place in the focus order, so a stream that drops and comes back moves nothing.
struct ServedControls {
    explicit ServedControls(bool served = true);
    ~ServedControls();
    ServedControls(const ServedControls&) = delete;
    ServedControls& operator=(const ServedControls&) = delete;
    std::string saved;
};

// Inside a served part, the few widgets that work without the launcher (a licence text, a
// Cancel).
struct LocalControls {
    LocalControls();
    ~LocalControls();
    LocalControls(const LocalControls&) = delete;
    LocalControls& operator=(const LocalControls&) = delete;
    std::string saved;
};

// A length of the layout (given at scale 1) in pixels: the one scaling helper.
inline float sc(float length) { return length * uiState().scale; }

// Puts a text in the notice box for kNoticeSeconds.
void postNotice(UiState& ui, std::string text);

// Seconds since the program started, on a steady clock; the clock of notices and animations.
double uiClock();

}  // namespace vlr
