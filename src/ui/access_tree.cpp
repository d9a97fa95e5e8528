/*******************************************************************************************
*  access_tree.cpp — the reader's tree from the focus registration, and readers' requests
*
*  Sections: nodes, groups and labels, requests, the frame.
*******************************************************************************************/
#include "ui/access_tree.h"

#include <algorithm>
#include <utility>

namespace vlr {

using platform::AccessNode;
using platform::AccessRequest;
using platform::AccessRole;

// ---- nodes ----

namespace {

AccessRole roleOf(FocusKind kind) {
    switch (kind) {
    case FocusKind::kButton: return AccessRole::kButton;
    case FocusKind::kTab: return AccessRole::kTab;
    case FocusKind::kField: return AccessRole::kField;
    case FocusKind::kSelect: return AccessRole::kComboBox;
    case FocusKind::kSegment: return AccessRole::kRadioGroup;
    case FocusKind::kSlider: return AccessRole::kSlider;
    case FocusKind::kSwitch: return AccessRole::kSwitch;
    case FocusKind::kChip: return AccessRole::kListItem;
    }
    return AccessRole::kButton;
}

unsigned actionsOf(FocusKind kind) {
    switch (kind) {
    case FocusKind::kField: return platform::kAccessSetValue | platform::kAccessFocus;
    case FocusKind::kSelect:
        return platform::kAccessExpand | platform::kAccessCollapse | platform::kAccessSetValue | platform::kAccessFocus;
    case FocusKind::kSegment:
    case FocusKind::kSlider: return platform::kAccessSetValue | platform::kAccessFocus;
    case FocusKind::kSwitch: return platform::kAccessToggle | platform::kAccessPress | platform::kAccessFocus;
    default: return platform::kAccessPress | platform::kAccessFocus;
    }
}

// The start of the id of a node that takes no focus; a disabled button's is the one it has
// when enabled.
const char* idPrefix(AccessRole role) {
    switch (role) {
    case AccessRole::kTabList: return "tabs";
    case AccessRole::kButton: return "button";
    case AccessRole::kHeading: return "heading";
    case AccessRole::kRadio: return "choice";
    default: return "text";
    }
}

// The last segment of the scope path: the card (or page) a widget stands in.
std::string_view innermostScope(const FocusState& focus) {
    const std::string_view path = focus.scopePath;
    const std::size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

AccessNode& appendNode(AccessState& access, Rect r) {
    AccessNode& node = access.tree.nodes.emplace_back();
    node.x = r.x;
    node.y = r.y;
    node.width = r.width;
    node.height = r.height;
    const int group = access.groups.empty() ? -1 : access.groups.back();
    node.parent = group < static_cast<int>(access.tree.nodes.size()) - 1 ? group : -1;
    access.lastNode = static_cast<int>(access.tree.nodes.size()) - 1;
    return node;
}

}  // namespace

void addAccessItem(const FocusItem& item, std::string_view name, const AccessAbout& about) {
    UiState& ui = uiState();
    AccessState& access = ui.access;
    AccessNode& node = appendNode(access, item.rect);
    node.id = item.id;
    node.role = roleOf(item.kind);
    // A button's own name is its label; the others' are keys or empty: the row's label names
    // them, else the card they stand in.
    node.name = !about.name.empty()                              ? about.name
                : !access.label.empty()                          ? access.label
                : item.kind == FocusKind::kButton && !name.empty() ? name
                                                                   : innermostScope(ui.focus);
    node.value = about.value;
    node.number = about.number;
    node.minimum = about.minimum;
    node.maximum = about.maximum;
    node.step = about.step;
    node.states = about.states | platform::kAccessFocusable;
    if (item.kind == FocusKind::kField) node.states |= platform::kAccessEditable;
    if (!ui.controlsOff.empty()) node.states |= platform::kAccessDisabled;
    node.actions = actionsOf(item.kind);
}

void accessNode(std::string_view idName, AccessRole role, std::string_view name, Rect r, unsigned states,
                unsigned actions) {
    UiState& ui = uiState();
    AccessState& access = ui.access;
    if (!access.building || (!ui.drawing && !ui.focus.collecting)) return;
    AccessNode& node = appendNode(access, r);
    if (node.parent >= 0) {
        node.id = access.tree.nodes[static_cast<std::size_t>(node.parent)].id;
        node.id += '/';
    } else {
        node.id = idPrefix(role);
        node.id += ':';
        node.id += ui.focus.scopePath;
        if (!ui.focus.scopeMarks.empty()) node.id += '/';
    }
    node.id += idName;
    node.role = role;
    node.name = name;
    node.states = states;
    if (!ui.controlsOff.empty() && actions != 0) node.states |= platform::kAccessDisabled;
    node.actions = actions;
}

void setLastAccessValue(std::string_view value) {
    AccessState& access = uiState().access;
    const auto at = static_cast<std::size_t>(access.lastNode);
    if (access.building && access.lastNode >= 0 && at < access.tree.nodes.size()) access.tree.nodes[at].value = value;
}

std::size_t accessMark() { return uiState().access.tree.nodes.size(); }

void forgetAccessNodes(std::size_t mark) {
    AccessState& access = uiState().access;
    if (mark < access.tree.nodes.size()) access.tree.nodes.resize(mark);
    if (access.lastNode >= static_cast<int>(mark)) access.lastNode = -1;
}

// ---- groups and labels ----

AccessGroup::AccessGroup() {
    AccessState& access = uiState().access;
    if (access.building) access.groups.push_back(access.lastNode);
}

AccessGroup::~AccessGroup() {
    AccessState& access = uiState().access;
    if (access.building && !access.groups.empty()) access.groups.pop_back();
}

AccessLabel::AccessLabel(std::string_view label) : saved(uiState().access.label) { uiState().access.label = label; }

AccessLabel::~AccessLabel() { uiState().access.label = saved; }

// ---- requests ----

namespace {

const AccessNode* lastNode(const AccessState& access, std::string_view id) {
    for (const AccessNode& node : access.last)
        if (node.id == id) return &node;
    return nullptr;
}

const FocusItem* listedItem(const FocusState& focus, std::string_view id) {
    for (const FocusItem& item : focus.previous)
        if (item.id == id) return &item;
    return nullptr;
}

// As Tab would bring it there: a field being left commits, an open list closes, the ring shows.
void focusOn(UiState& ui, const FocusItem& item) {
    FocusState& focus = ui.focus;
    ui.focus.visible = true;
    if (focus.id == item.id) return;
    if (ui.focused != nullptr) {
        ui.focused->lostFocus = true;
        ui.focused = nullptr;
    }
    ui.dropDown.open = false;
    focus.id = item.id;
    focus.rect = item.rect;
    focus.kind = item.kind;
    focus.arrived = true;
    focus.moved = true;
}

void press(UiState& ui, const FocusItem& item) {
    focusOn(ui, item);
    ui.focus.actions.push_back(kNavPress);
}

// Carries out one request; true when it left something for a widget to do this frame.
bool apply(UiState& ui, AccessRequest& request) {
    AccessState& access = ui.access;
    const AccessNode* node = lastNode(access, request.id);
    if (node == nullptr) return false;
    // A choice inside its row: the row takes it as its value.
    const auto parent = static_cast<std::size_t>(node->parent);
    if (node->role == AccessRole::kRadio && node->parent >= 0 && parent < access.last.size()) {
        if (request.action != platform::kAccessPress && request.action != platform::kAccessToggle) return false;
        const AccessNode& row = access.last[parent];
        const FocusItem* item = listedItem(ui.focus, row.id);
        if (item == nullptr) return false;
        focusOn(ui, *item);
        access.values.push_back({row.id, platform::kAccessSetValue, node->name, 0});
        return true;
    }
    const FocusItem* item = listedItem(ui.focus, request.id);
    if (item == nullptr) return false;
    switch (request.action) {
    case platform::kAccessFocus: focusOn(ui, *item); return false;
    case platform::kAccessPress:
    case platform::kAccessToggle: press(ui, *item); return true;
    case platform::kAccessExpand:
        if (item->kind != FocusKind::kSelect || (node->states & platform::kAccessExpanded)) return false;
        press(ui, *item);
        return true;
    case platform::kAccessCollapse:
        if (item->kind == FocusKind::kSelect) ui.dropDown.open = false;
        return false;
    case platform::kAccessSetValue: access.values.push_back(std::move(request)); return true;
    }
    return false;
}

}  // namespace

void applyAccessRequests(UiState& ui, std::vector<AccessRequest> requests) {
    AccessState& access = ui.access;
    access.waiting.insert(access.waiting.end(), std::make_move_iterator(requests.begin()),
                          std::make_move_iterator(requests.end()));
    // Like keys, one that acts meets the focus and the values the ones before it left: after
    // it, the rest wait for the next frame.
    std::size_t done = 0;
    while (done < access.waiting.size())
        if (apply(ui, access.waiting[done++])) break;
    access.waiting.erase(access.waiting.begin(), access.waiting.begin() + static_cast<std::ptrdiff_t>(done));
    if (!access.waiting.empty()) ui.frameAgain = true;
}

void claimAccessValue(UiState& ui, std::string_view id) {
    AccessState& access = ui.access;
    const auto at = std::find_if(access.values.begin(), access.values.end(),
                                 [id](const AccessRequest& request) { return request.id == id; });
    if (at == access.values.end()) return;
    // A control that cannot be used now takes no value, as it takes no key.
    if (ui.controlsOff.empty()) {
        access.claimed = std::move(*at);
        access.hasClaim = true;
    }
    access.values.erase(at);
}

const AccessRequest* takeAccessValue() {
    AccessState& access = uiState().access;
    if (!access.hasClaim) return nullptr;
    access.hasClaim = false;
    return &access.claimed;
}

// ---- the frame ----

void beginAccessFrame(UiState& ui, bool listening) {
    AccessState& access = ui.access;
    access.building = listening;
    access.tree.nodes.clear();
    access.groups.clear();
    access.lastNode = -1;
    access.label = {};
    access.hasClaim = false;
    if (!listening && (access.tree.nodes.capacity() != 0 || !access.last.empty())) {
        access.tree = {};
        access.last = {};
        access.values = {};
        access.waiting = {};
    }
}

bool finishAccessFrame(UiState& ui, std::string_view title) {
    AccessState& access = ui.access;
    access.values.clear();  // for a widget not drawn this frame
    access.hasClaim = false;
    if (!access.building) return false;
    for (AccessNode& node : access.tree.nodes)
        if ((node.states & platform::kAccessFocusable) && node.id == ui.focus.id) node.states |= platform::kAccessFocused;
    access.tree.title = title;
    access.last = access.tree.nodes;
    return true;
}

}  // namespace vlr
