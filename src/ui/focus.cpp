/*******************************************************************************************
*  focus.cpp — navigation actions, focus moves, the focus ring
*
*  Sections: actions from keys, moves, the focus list and its ring, end of frame.
*******************************************************************************************/
#include "ui/focus.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "raylib.h"
#include "ui/input.h"
#include "ui/draw.h"
#include "ui/dropdown.h"

namespace vlr {

bool takesLeftRight(FocusKind kind) {
    return kind == FocusKind::kSegment || kind == FocusKind::kSlider || kind == FocusKind::kSelect;
}

// ---- actions from keys ----

namespace {

// The action a key asks for; kNavNone leaves the key to whoever reads keys. While a text field
// is being edited only the keys that leave it or switch pages are taken.
NavAction keyAction(const Keystroke& stroke, bool editing, bool hasFocus) {
    const bool control = strokeHas(stroke, kModControl);
    const bool shift = strokeHas(stroke, kModShift);
    switch (stroke.key) {
    case KEY_TAB:
        if (control) return shift ? kNavPreviousPage : kNavNextPage;
        return shift ? kNavPrevious : kNavNext;
    case KEY_PAGE_DOWN: return control ? kNavNextPage : editing ? kNavNone : kNavPageDown;
    case KEY_PAGE_UP: return control ? kNavPreviousPage : editing ? kNavNone : kNavPageUp;
    case KEY_ESCAPE: return editing ? kNavBack : kNavNone;
    default: break;
    }
    if (editing || control) return kNavNone;
    switch (stroke.key) {
    case KEY_UP: return kNavUp;
    case KEY_DOWN: return kNavDown;
    case KEY_LEFT: return kNavLeft;
    case KEY_RIGHT: return kNavRight;
    case KEY_HOME: return kNavHome;
    case KEY_END: return kNavEnd;
    case KEY_ENTER:
    case KEY_KP_ENTER:
    case KEY_SPACE: return hasFocus ? kNavPress : kNavNone;
    default: return kNavNone;
    }
}

// ---- moves ----

float centreX(Rect r) { return r.x + r.width / 2; }
float centreY(Rect r) { return r.y + r.height / 2; }

// The gap between two intervals; 0 when they overlap.
float gap(float a0, float a1, float b0, float b1) {
    return std::max(0.0f, std::max(a0, b0) - std::min(a1, b1));
}

void moveTo(FocusState& focus, const FocusItem& item) {
    focus.id = item.id;
    focus.rect = item.rect;
    focus.kind = item.kind;
    focus.arrived = true;
    focus.moved = true;
}

const FocusItem* findItem(const std::vector<FocusItem>& items, std::string_view id) {
    for (const FocusItem& item : items)
        if (item.id == id) return &item;
    return nullptr;
}

// Tab order: the next in drawing order, round the end. Without a focus the page's first
// widget (the tabs come before it, one Shift+Tab away).
void stepFocus(FocusState& focus, int step) {
    const std::vector<FocusItem>& items = focus.previous;
    if (items.empty()) return;
    const int count = static_cast<int>(items.size());
    int at = -1;
    for (int i = 0; i < count; ++i)
        if (items[i].id == focus.id) at = i;
    if (at < 0) {
        const auto page = std::find_if(items.begin(), items.end(), [](const FocusItem& i) { return i.inPage; });
        if (step > 0) return moveTo(focus, page != items.end() ? *page : items.front());
        return moveTo(focus, items.back());
    }
    moveTo(focus, items[((at + step) % count + count) % count]);
}

// The nearest widget in a direction: along the direction counts once, sideways twice, so a
// widget straight below wins over a nearer one off to the side.
void moveSpatially(FocusState& focus, NavAction direction) {
    const std::vector<FocusItem>& items = focus.previous;
    if (focus.id.empty() || findItem(items, focus.id) == nullptr) return stepFocus(focus, 1);
    const Rect from = focus.rect;
    const FocusItem* best = nullptr;
    float bestScore = std::numeric_limits<float>::max();
    for (const FocusItem& item : items) {
        if (item.id == focus.id) continue;
        const Rect r = item.rect;
        float along = 0, across = 0;
        switch (direction) {
        case kNavUp: along = from.y - (r.y + r.height); across = gap(from.x, from.x + from.width, r.x, r.x + r.width); break;
        case kNavDown: along = r.y - (from.y + from.height); across = gap(from.x, from.x + from.width, r.x, r.x + r.width); break;
        case kNavLeft: along = from.x - (r.x + r.width); across = gap(from.y, from.y + from.height, r.y, r.y + r.height); break;
        default: along = r.x - (from.x + from.width); across = gap(from.y, from.y + from.height, r.y, r.y + r.height); break;
        }
        // Only what lies wholly past the current widget's middle that way.
        const bool ahead = direction == kNavUp     ? r.y + r.height <= centreY(from)
                           : direction == kNavDown ? r.y >= centreY(from)
                           : direction == kNavLeft ? r.x + r.width <= centreX(from)
                                                   : r.x >= centreX(from);
        if (!ahead) continue;
        const float score = std::max(0.0f, along) + 2 * across;
        if (score < bestScore) {
            bestScore = score;
            best = &item;
        }
    }
    if (best != nullptr) moveTo(focus, *best);
}

// Leaving a text field commits it, exactly as a click outside does.
void leaveField(UiState& ui) {
    if (ui.focused == nullptr) return;
    ui.focused->lostFocus = true;
    ui.focused = nullptr;
}

void apply(UiState& ui, NavAction action) {
    FocusState& focus = ui.focus;
    if (dropDownAction(ui, action)) return;
    if (!ui.capture.name.empty()) {
        // A capture binds the next key; of the gamepad only B means something: cancel.
        if (action == kNavBack) ui.capture.name.clear();
        return;
    }
    switch (action) {
    case kNavNext:
    case kNavPrevious:
        leaveField(ui);
        stepFocus(focus, action == kNavNext ? 1 : -1);
        return;
    case kNavLeft:
    case kNavRight:
        if (!ui.focused && !focus.id.empty() && takesLeftRight(focus.kind)) break;
        [[fallthrough]];
    case kNavUp:
    case kNavDown:
        leaveField(ui);
        moveSpatially(focus, action);
        return;
    case kNavBack:
        if (ui.focused != nullptr) return leaveField(ui);
        // Out to the tab bar: the current page's tab.
        for (const FocusItem& item : focus.previous)
            if (item.kind == FocusKind::kTab && item.id == focusId(FocusKind::kTab, std::to_string(ui.currentPage))) moveTo(focus, item);
        return;
    case kNavNextPage:
    case kNavPreviousPage:
        leaveField(ui);
        break;
    default: break;
    }
    focus.actions.push_back(action);
}

}  // namespace

void navigate(UiState& ui) {
    InputSnapshot& in = ui.input;
    FocusState& focus = ui.focus;
    focus.actions.clear();
    bool mouseUsed = in.wheel != 0;
    for (bool pressed : in.pressed) mouseUsed = mouseUsed || pressed;
    if (mouseUsed) focus.visible = false;

    // The moves are made as the strokes come, so a field Tab enters takes what is typed after.
    // What is left for the widgets is taken by them after every move of this frame, so a move
    // that comes after such strokes waits, with all that follows it, for the next frame: the
    // field being left takes what was typed into it first.
    bool spacePressed = false;   // its character must not reach a field the press starts editing
    bool leftForWidgets = false;
    std::vector<Keystroke> later;
    keepStrokes(in, [&](const Keystroke& stroke) {
        NavAction action = static_cast<NavAction>(stroke.action);
        if (!later.empty()) {
            later.push_back(stroke);
            return false;
        }
        if (stroke.key != 0) action = keyAction(stroke, ui.focused != nullptr, !focus.id.empty() || ui.dropDown.open);
        if (action == kNavNone) {
            if (stroke.codepoint == ' ' && spacePressed) {
                spacePressed = false;
                return false;
            }
            if (stroke.action != 0) return false;
            if (stroke.codepoint != 0 || !isModifierKey(stroke.key)) leftForWidgets = true;
            return true;
        }
        if (leftForWidgets) {
            later.push_back(stroke);
            return false;
        }
        spacePressed = stroke.key == KEY_SPACE;
        focus.visible = true;
        apply(ui, action);
        return false;
    });
    in.later.insert(in.later.begin(), later.begin(), later.end());
}

bool takeAction(NavAction action) {
    // Served controls that are off leave the key to whoever may use it.
    if (!uiState().controlsOff.empty()) return false;
    std::vector<int>& actions = uiState().focus.actions;
    const auto at = std::find(actions.begin(), actions.end(), static_cast<int>(action));
    if (at == actions.end()) return false;
    actions.erase(at);
    return true;
}

// ---- ids ----

namespace {

const char* kindName(FocusKind kind) {
    switch (kind) {
    case FocusKind::kButton: return "button";
    case FocusKind::kTab: return "tab";
    case FocusKind::kField: return "field";
    case FocusKind::kSelect: return "select";
    case FocusKind::kSegment: return "choice";
    case FocusKind::kSlider: return "slider";
    case FocusKind::kSwitch: return "switch";
    case FocusKind::kChip: return "chip";
    }
    return "item";
}

}  // namespace

void pushFocusScope(std::string_view name) {
    FocusState& focus = uiState().focus;
    focus.scopeMarks.push_back(focus.scopePath.size());
    if (focus.scopeMarks.size() > 1) focus.scopePath += '/';
    focus.scopePath += name;
}

void popFocusScope() {
    FocusState& focus = uiState().focus;
    if (focus.scopeMarks.empty()) return;
    focus.scopePath.resize(focus.scopeMarks.back());
    focus.scopeMarks.pop_back();
}

namespace {

void makeFocusId(std::string& id, FocusKind kind, std::string_view name) {
    const FocusState& focus = uiState().focus;
    id.assign(kindName(kind));
    id += ':';
    id += focus.scopePath;
    if (!name.empty()) {
        if (!focus.scopeMarks.empty()) id += '/';
        id += name;
    }
}

// The duplicate check runs for every widget of every frame: an open-addressed table of item
// indices, kept from frame to frame, spares a node allocation per widget.
std::size_t tableSlot(const FocusState& focus, std::string_view id) {
    const std::size_t mask = focus.itemTable.size() - 1;
    std::size_t slot = std::hash<std::string_view>{}(id) & mask;
    while (focus.itemTable[slot] != 0 && focus.items[focus.itemTable[slot] - 1].id != id) slot = (slot + 1) & mask;
    return slot;
}

bool hasItem(const FocusState& focus, std::string_view id) {
    return !focus.itemTable.empty() && focus.itemTable[tableSlot(focus, id)] != 0;
}

void rebuildTable(FocusState& focus) {
    std::size_t size = 64;
    while (size < 2 * focus.items.size() + 2) size *= 2;
    focus.itemTable.assign(size, 0);
    for (std::size_t i = 0; i < focus.items.size(); ++i)
        focus.itemTable[tableSlot(focus, focus.items[i].id)] = static_cast<std::uint32_t>(i + 1);
}

// Whether `id` is the one this widget would get here (or a "#n" repeat of it), compared in
// place rather than made.
bool idMatches(const FocusState& focus, std::string_view id, FocusKind kind, std::string_view name) {
    const std::string_view kindText = kindName(kind);
    if (!id.starts_with(kindText) || id.size() <= kindText.size() || id[kindText.size()] != ':') return false;
    id.remove_prefix(kindText.size() + 1);
    if (!id.starts_with(focus.scopePath)) return false;
    id.remove_prefix(focus.scopePath.size());
    if (!name.empty()) {
        if (!focus.scopeMarks.empty()) {
            if (!id.starts_with('/')) return false;
            id.remove_prefix(1);
        }
        if (!id.starts_with(name)) return false;
        id.remove_prefix(name.size());
    }
    return id.empty() || id.front() == '#';
}

void addItem(FocusState& focus, FocusItem item) {
    focus.items.push_back(std::move(item));
    if (2 * focus.items.size() + 2 > focus.itemTable.size()) return rebuildTable(focus);
    focus.itemTable[tableSlot(focus, focus.items.back().id)] = static_cast<std::uint32_t>(focus.items.size());
}

}  // namespace

std::string focusId(FocusKind kind, std::string_view name) {
    std::string id;
    makeFocusId(id, kind, name);
    return id;
}

// ---- the focus list and its ring ----

bool focusItem(std::string_view name, Rect r, FocusKind kind, float radius, const AccessAbout& about) {
    UiState& ui = uiState();
    FocusState& focus = ui.focus;
    ui.access.hasClaim = false;  // a reader's value is for the widget it names only
    ui.access.lastNode = -1;     // ... and so is what is told of it after it registered
    if (!ui.drawing && !focus.collecting) return false;
    const std::size_t end = focus.items.size() - focus.replayTail;
    const bool measured = focus.replaying && focus.replay < end;
    if (measured && focus.items[focus.replay].kind == kind && idMatches(focus, focus.items[focus.replay].id, kind, name)) {
        // Drawing what the measuring pass just listed: the same widgets in the same order.
        focus.last = focus.replay++;
        focus.items[focus.last].rect = r;
    } else {
        if (measured) {
            // The passes differ: what is left of the measured list is listed anew.
            focus.items.erase(focus.items.begin() + static_cast<std::ptrdiff_t>(focus.replay),
                              focus.items.begin() + static_cast<std::ptrdiff_t>(end));
            rebuildTable(focus);
        }
        std::string& id = focus.idBuffer;
        makeFocusId(id, kind, name);
        // Two buttons of one label (two "Browse"): the second is "...Browse#2", in drawing order.
        std::string unique;
        for (int n = 2; hasItem(focus, unique.empty() ? id : unique); ++n) unique = id + "#" + std::to_string(n);
        FocusItem item{unique.empty() ? id : std::move(unique), r, kind, focus.inPage};
        if (focus.replaying) {
            focus.items.insert(focus.items.begin() + static_cast<std::ptrdiff_t>(focus.replay), std::move(item));
            focus.last = focus.replay++;
            rebuildTable(focus);
        } else {
            addItem(focus, std::move(item));
            focus.last = focus.items.size() - 1;
        }
    }
    const FocusItem& item = focus.items[focus.last];
    if (ui.access.building) addAccessItem(item, name, about);
    if (!ui.access.values.empty()) claimAccessValue(ui, item.id);
    if (ui.drawing && !ui.controlsOff.empty() && (pointerOver(r) || (item.id == focus.id && focus.visible))) {
        ui.offTipRect = r;
        ui.offTip = ui.controlsOff;
    }
    if (item.id != focus.id) return false;
    focus.seen = true;
    focus.rect = r;
    focus.kind = kind;
    if (ui.drawing && focus.visible) drawFocusRing(r, radius);
    return ui.drawing;
}

const std::string& lastFocusId() {
    static const std::string none;
    const FocusState& focus = uiState().focus;
    return focus.last < focus.items.size() ? focus.items[focus.last].id : none;
}

std::size_t focusMark() {
    const FocusState& focus = uiState().focus;
    return focus.replaying ? focus.replay : focus.items.size();
}

FocusReplay beginFocusReplay(std::size_t from) {
    FocusState& focus = uiState().focus;
    const FocusReplay outer{focus.replaying, focus.replay, focus.replayTail};
    const std::size_t end = focusMark();
    focus.replaying = true;
    focus.replay = std::min(from, end);
    focus.replayTail = focus.items.size() - end;
    return outer;
}

void endFocusReplay(const FocusReplay& outer) {
    FocusState& focus = uiState().focus;
    const std::size_t end = focus.items.size() - focus.replayTail;
    if (focus.replay < end) {
        // Fewer drawn than measured: what was not drawn is forgotten.
        focus.items.erase(focus.items.begin() + static_cast<std::ptrdiff_t>(focus.replay),
                          focus.items.begin() + static_cast<std::ptrdiff_t>(end));
        rebuildTable(focus);
    }
    // A card inside a card being drawn: the outer one goes on after this one.
    focus.replaying = outer.replaying;
    focus.replayTail = outer.tail;
    focus.replay = outer.replaying ? focus.replay : 0;
}

// ---- end of frame ----

void scrollByActions(float& offset, float viewHeight, float step) {
    const float page = std::max(step, viewHeight - step);
    while (takeAction(kNavPageDown)) offset += page;
    while (takeAction(kNavPageUp)) offset -= page;
    while (takeAction(kNavScrollDown)) offset += step;
    while (takeAction(kNavScrollUp)) offset -= step;
    if (takeAction(kNavHome)) offset = 0;
    if (takeAction(kNavEnd)) offset = std::numeric_limits<float>::max();
}

float focusScroll(Rect view, float offset, float maxOffset) {
    const FocusState& focus = uiState().focus;
    if (!focus.moved || !focus.seen) return offset;
    const FocusItem* item = findItem(focus.items, focus.id);
    if (item == nullptr || !item->inPage) return offset;
    const float margin = sc(24);  // room kept around a widget scrolled into view
    const Rect r = item->rect;
    float wanted = offset;
    if (r.y + r.height > view.y + view.height - margin) wanted += r.y + r.height - (view.y + view.height - margin);
    if (r.y < view.y + margin) wanted -= view.y + margin - r.y;
    return std::clamp(wanted, 0.0f, std::max(0.0f, maxOffset));
}

void settleFocus(UiState& ui) {
    FocusState& focus = ui.focus;
    if (!focus.id.empty() && !focus.seen && !focus.items.empty()) {
        // The nearest by the distance between the boxes' centres.
        const FocusItem* best = nullptr;
        float bestDistance = std::numeric_limits<float>::max();
        for (const FocusItem& item : focus.items) {
            const float dx = centreX(item.rect) - centreX(focus.rect);
            const float dy = centreY(item.rect) - centreY(focus.rect);
            const float distance = dx * dx + dy * dy;
            if (distance < bestDistance) {
                bestDistance = distance;
                best = &item;
            }
        }
        focus.id = best->id;
        focus.rect = best->rect;
        focus.kind = best->kind;
    }
    focus.previous.swap(focus.items);  // both keep their storage from frame to frame
    focus.items.clear();
    std::fill(focus.itemTable.begin(), focus.itemTable.end(), 0);
    focus.replaying = false;
    focus.replay = focus.replayTail = 0;
    focus.seen = false;
    focus.arrived = false;
    focus.moved = false;
    focus.actions.clear();
    focus.scopePath.clear();  // a scope left open must not lengthen the next frame's ids
    focus.scopeMarks.clear();
}

}  // namespace vlr
