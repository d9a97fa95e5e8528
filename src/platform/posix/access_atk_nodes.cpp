/*******************************************************************************************
*  access_atk_nodes.cpp — the application, the window and the nodes as ATK object types
*
*  GObject types registered by hand (the G_DEFINE macros are C and warn in C++). A node's
*  object keeps only its id; every answer reads the last tree. Readers' actions become
*  requests for the frame and never touch the window's state here. The value and text
*  interfaces are in access_atk_values.cpp.
*
*  Sections: record · roles and states · node objects · component · action · value · text ·
*            application and window · types
*******************************************************************************************/
#include "platform/posix/access_atk_nodes.h"

#include <cmath>
#include <utility>

namespace vlr::platform::atk {

// ---- record ----

Model& model() {
    static Model m;
    return m;
}

namespace {

struct NodeInstance {
    AtkObject base;
    char* id;   // g_strdup'd, freed when the object goes
};

enum : unsigned { kHasAction = 1, kHasValue = 2, kHasText = 4, kHasEditable = 8 };

const char* idOf(AtkObject* object) {
    const char* id = reinterpret_cast<NodeInstance*>(object)->id;
    return id != nullptr ? id : "";
}

int xErrors = 0;

int countXError(Display*, XErrorEvent*) {
    ++xErrors;
    return 0;
}

// X calls on our own connection. An error (the window gone under us) reads as a failure
// instead of ending the program, as Xlib's default handler would. The handler is swapped on
// the frame thread, the one thread that talks X here.
template <class Call>
bool askX(Call call) {
    Model& m = model();
    if (m.display == nullptr) m.display = XOpenDisplay(nullptr);
    if (m.display == nullptr || m.window == 0) return false;
    XErrorHandler previous = XSetErrorHandler(countXError);
    xErrors = 0;
    bool done = call(m.display);
    XSync(m.display, False);
    XSetErrorHandler(previous);
    return done && xErrors == 0;
}

// Where the window's client area starts on the screen.
bool windowOrigin(int& x, int& y) {
    return askX([&](Display* display) {
        ::Window child = 0;
        return XTranslateCoordinates(display, model().window, DefaultRootWindow(display), 0, 0, &x, &y, &child) != 0;
    });
}

bool windowSize(int& width, int& height) {
    XWindowAttributes attributes{};
    if (!askX([&](Display* display) { return XGetWindowAttributes(display, model().window, &attributes) != 0; }))
        return false;
    width = attributes.width;
    height = attributes.height;
    return true;
}

bool onScreen(const AccessNode& node) {
    const Model& m = model();
    if (m.width <= 0 || m.height <= 0) return true;
    return node.x < m.width && node.y < m.height && node.x + node.width > 0 && node.y + node.height > 0;
}

}  // namespace

void request(AtkObject* object, AccessAction action, std::string text, double number) {
    Model& m = model();
    if (m.sink == nullptr || nodeAt(object) == nullptr) return;
    m.sink(AccessRequest{idOf(object), action, std::move(text), number});
}

const AccessNode* nodeAt(AtkObject* object, int* at) {
    Model& m = model();
    auto found = m.shape.index.find(idOf(object));
    if (found == m.shape.index.end()) return nullptr;
    if (at != nullptr) *at = found->second;
    return &m.tree.nodes[found->second];
}

AtkObject* objectAt(int i) {
    Model& m = model();
    const AccessNode& node = m.tree.nodes[i];
    auto found = m.objects.find(node.id);
    if (found != m.objects.end()) return found->second;
    AtkObject* object = makeNodeObject(node);
    m.objects.emplace(node.id, object);
    return object;
}

AtkObject* parentObjectAt(int i) {
    Model& m = model();
    int parent = m.shape.parent[i];
    return parent < 0 ? m.frame : objectAt(parent);
}

// ---- roles and states ----

static AtkRole roleOf(AccessRole role) {
    switch (role) {
    case AccessRole::kTabList: return ATK_ROLE_PAGE_TAB_LIST;
    case AccessRole::kTab: return ATK_ROLE_PAGE_TAB;
    case AccessRole::kButton: return ATK_ROLE_PUSH_BUTTON;
    case AccessRole::kLink: return ATK_ROLE_LINK;
    case AccessRole::kField: return ATK_ROLE_ENTRY;
    case AccessRole::kComboBox: return ATK_ROLE_COMBO_BOX;
    // A toggle button with a checked state is how desktop toolkits expose their switches;
    // readers say "on"/"pressed", which a switch is, where a check box would be "ticked".
    case AccessRole::kSwitch: return ATK_ROLE_TOGGLE_BUTTON;
    case AccessRole::kRadioGroup: return ATK_ROLE_PANEL;
    case AccessRole::kRadio: return ATK_ROLE_RADIO_BUTTON;
    case AccessRole::kSlider: return ATK_ROLE_SLIDER;
    case AccessRole::kListItem: return ATK_ROLE_LIST_ITEM;
    case AccessRole::kHeading: return ATK_ROLE_HEADING;
    case AccessRole::kText: return ATK_ROLE_STATIC;
    }
    return ATK_ROLE_UNKNOWN;
}

unsigned interfacesOf(const AccessNode& node) {
    switch (node.role) {
    case AccessRole::kTab: case AccessRole::kButton: case AccessRole::kLink: case AccessRole::kSwitch:
    case AccessRole::kRadio: case AccessRole::kListItem:
        return kHasAction;
    case AccessRole::kComboBox: return kHasAction | kHasText;
    case AccessRole::kField: return kHasText | kHasEditable;
    case AccessRole::kSlider: return kHasValue;
    case AccessRole::kHeading: case AccessRole::kText: return kHasText;
    case AccessRole::kTabList: case AccessRole::kRadioGroup: return 0;
    }
    return 0;
}

std::string textOf(const AccessNode& node) {
    bool valued = node.role == AccessRole::kField || node.role == AccessRole::kComboBox;
    return valued ? node.value : node.name;
}

std::string validText(const std::string& text) {
    if (g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) return text;
    gchar* valid = g_utf8_make_valid(text.data(), static_cast<gssize>(text.size()));
    std::string result = valid;
    g_free(valid);
    return result;
}

void measureWindow() {
    Model& m = model();
    if (!windowSize(m.width, m.height)) {
        m.width = m.height = 0;
        m.active = true;
        return;
    }
    // Active unless another window holds the keyboard (with no one holding it, as on a bare
    // X server, readers should still follow this one).
    ::Window focus = 0;
    int revert = 0;
    askX([&](Display* display) { return XGetInputFocus(display, &focus, &revert) != 0; });
    m.active = focus == None || focus == PointerRoot || focus == m.window;
}

std::uint64_t stateBits(const AccessNode& node) {
    auto bit = [](AtkStateType state) { return std::uint64_t{1} << state; };
    unsigned s = node.states;
    // Visible: drawn on the page; showing: inside the window now (not scrolled away).
    std::uint64_t bits = bit(ATK_STATE_VISIBLE);
    if (onScreen(node)) bits |= bit(ATK_STATE_SHOWING);
    if ((s & kAccessDisabled) == 0) bits |= bit(ATK_STATE_ENABLED) | bit(ATK_STATE_SENSITIVE);
    if ((s & kAccessFocusable) != 0) bits |= bit(ATK_STATE_FOCUSABLE);
    if ((s & kAccessFocused) != 0) bits |= bit(ATK_STATE_FOCUSED);
    if ((s & kAccessEditable) != 0) bits |= bit(ATK_STATE_EDITABLE);
    switch (node.role) {
    case AccessRole::kTab: case AccessRole::kListItem:
        bits |= bit(ATK_STATE_SELECTABLE);
        break;
    case AccessRole::kRadio:   // the choice that is on is checked, as radio buttons are
        bits |= bit(ATK_STATE_CHECKABLE);
        if ((s & (kAccessSelected | kAccessChecked)) != 0) bits |= bit(ATK_STATE_CHECKED);
        break;
    case AccessRole::kSwitch:
        bits |= bit(ATK_STATE_CHECKABLE);
        break;
    case AccessRole::kComboBox:
        bits |= bit(ATK_STATE_EXPANDABLE);
        if ((s & kAccessExpanded) != 0) bits |= bit(ATK_STATE_EXPANDED);
        break;
    case AccessRole::kField: bits |= bit(ATK_STATE_SINGLE_LINE); break;
    case AccessRole::kSlider: bits |= bit(ATK_STATE_HORIZONTAL); break;
    default: break;
    }
    if ((s & kAccessSelected) != 0 && node.role != AccessRole::kRadio) bits |= bit(ATK_STATE_SELECTED);
    if ((s & kAccessChecked) != 0) bits |= bit(ATK_STATE_CHECKED);
    return bits;
}

// ---- node objects ----

static gpointer nodeParentClass = nullptr;

static void nodeFinalize(GObject* object) {
    g_free(reinterpret_cast<NodeInstance*>(object)->id);
    G_OBJECT_CLASS(nodeParentClass)->finalize(object);
}

static const gchar* nodeName(AtkObject* object) {
    const AccessNode* node = nodeAt(object);
    return node != nullptr ? node->name.c_str() : "";
}

static AtkRole nodeRole(AtkObject* object) {
    const AccessNode* node = nodeAt(object);
    return node != nullptr ? roleOf(node->role) : ATK_ROLE_INVALID;
}

static AtkObject* nodeParent(AtkObject* object) {
    int at = 0;
    return nodeAt(object, &at) != nullptr ? parentObjectAt(at) : nullptr;
}

static gint nodeChildCount(AtkObject* object) {
    int at = 0;
    return nodeAt(object, &at) != nullptr ? static_cast<gint>(model().shape.children[at].size()) : 0;
}

static AtkObject* nodeChild(AtkObject* object, gint i) {
    int at = 0;
    if (nodeAt(object, &at) == nullptr || i < 0) return nullptr;
    const std::vector<int>& children = model().shape.children[at];
    if (static_cast<std::size_t>(i) >= children.size()) return nullptr;
    return static_cast<AtkObject*>(g_object_ref(objectAt(children[i])));
}

static gint nodePlace(AtkObject* object) {
    int at = 0;
    return nodeAt(object, &at) != nullptr ? model().shape.place[at] : -1;
}

static AtkStateSet* nodeStates(AtkObject* object) {
    AtkStateSet* set = atk_state_set_new();
    const AccessNode* node = nodeAt(object);
    if (node == nullptr) {
        atk_state_set_add_state(set, ATK_STATE_DEFUNCT);
        return set;
    }
    std::uint64_t bits = stateBits(*node);
    for (int state = 0; bits != 0; ++state, bits >>= 1)
        if ((bits & 1) != 0) atk_state_set_add_state(set, static_cast<AtkStateType>(state));
    return set;
}

static AtkAttributeSet* addAttribute(AtkAttributeSet* set, const char* name, const char* value) {
    auto* attribute = static_cast<AtkAttribute*>(g_malloc(sizeof(AtkAttribute)));
    attribute->name = g_strdup(name);
    attribute->value = g_strdup(value);
    return g_slist_prepend(set, attribute);
}

// Notices and status lines: readers speak a live region's changes without moving there.
static AtkAttributeSet* nodeAttributes(AtkObject* object) {
    const AccessNode* node = nodeAt(object);
    AtkAttributeSet* set = nullptr;
    if (node != nullptr && (node->states & kAccessLive) != 0) {
        set = addAttribute(set, "live", "polite");
        set = addAttribute(set, "container-live", "polite");
        set = addAttribute(set, "atomic", "true");
    }
    return set;
}

static void nodeClassInit(gpointer klass, gpointer) {
    nodeParentClass = g_type_class_peek_parent(klass);
    G_OBJECT_CLASS(klass)->finalize = nodeFinalize;
    AtkObjectClass* atk = ATK_OBJECT_CLASS(klass);
    atk->get_name = nodeName;
    atk->get_role = nodeRole;
    atk->get_parent = nodeParent;
    atk->get_n_children = nodeChildCount;
    atk->ref_child = nodeChild;
    atk->get_index_in_parent = nodePlace;
    atk->ref_state_set = nodeStates;
    atk->get_attributes = nodeAttributes;
}

// ---- component ----

static void nodeExtents(AtkComponent* component, gint* x, gint* y, gint* width, gint* height, AtkCoordType type) {
    int at = 0;
    const AccessNode* node = nodeAt(ATK_OBJECT(component), &at);
    *x = *y = *width = *height = 0;
    if (node == nullptr) return;
    double left = node->x, top = node->y;
    if (type == ATK_XY_SCREEN) {
        int ox = 0, oy = 0;
        if (windowOrigin(ox, oy)) left += ox, top += oy;
    } else if (type == ATK_XY_PARENT && model().shape.parent[at] >= 0) {
        const AccessNode& parent = model().tree.nodes[model().shape.parent[at]];
        left -= parent.x, top -= parent.y;
    }
    *x = static_cast<gint>(std::lround(left));
    *y = static_cast<gint>(std::lround(top));
    *width = static_cast<gint>(std::lround(node->width));
    *height = static_cast<gint>(std::lround(node->height));
}

static gboolean nodeGrabFocus(AtkComponent* component) {
    const AccessNode* node = nodeAt(ATK_OBJECT(component));
    if (node == nullptr || (node->states & kAccessFocusable) == 0) return FALSE;
    request(ATK_OBJECT(component), kAccessFocus);
    return TRUE;
}

static AtkLayer nodeLayer(AtkComponent*) {
    return ATK_LAYER_WIDGET;
}

static void nodeComponentInit(gpointer iface, gpointer) {
    auto* component = static_cast<AtkComponentIface*>(iface);
    component->get_extents = nodeExtents;
    component->grab_focus = nodeGrabFocus;
    component->get_layer = nodeLayer;
}

// ---- action ----

struct ActionName {
    AccessAction action;
    const char* name;
    const char* description;
};

// "click" is what readers and their scripts call a button's press.
constexpr ActionName kActionNames[] = {
    {kAccessPress, "click", "Presses it"},
    {kAccessToggle, "toggle", "Switches it on or off"},
    {kAccessExpand, "expand", "Opens its list"},
    {kAccessCollapse, "collapse", "Closes its list"},
};

// The node's actions now: of expand and collapse only the one its state allows.
static unsigned actionsOf(const AccessNode& node) {
    unsigned actions = node.actions;
    if ((actions & (kAccessExpand | kAccessCollapse)) == (kAccessExpand | kAccessCollapse))
        actions &= (node.states & kAccessExpanded) != 0 ? ~unsigned{kAccessExpand} : ~unsigned{kAccessCollapse};
    return actions;
}

static const ActionName* actionAt(AtkAction* action, gint i) {
    const AccessNode* node = nodeAt(ATK_OBJECT(action));
    if (node == nullptr || i < 0) return nullptr;
    for (const ActionName& name : kActionNames)
        if ((actionsOf(*node) & name.action) != 0 && i-- == 0) return &name;
    return nullptr;
}

static gint actionCount(AtkAction* action) {
    const AccessNode* node = nodeAt(ATK_OBJECT(action));
    gint count = 0;
    for (const ActionName& name : kActionNames)
        if (node != nullptr && (actionsOf(*node) & name.action) != 0) ++count;
    return count;
}

static gboolean actionDo(AtkAction* action, gint i) {
    const ActionName* name = actionAt(action, i);
    if (name == nullptr) return FALSE;
    request(ATK_OBJECT(action), name->action);
    return TRUE;
}

static const gchar* actionName(AtkAction* action, gint i) {
    const ActionName* name = actionAt(action, i);
    return name != nullptr ? name->name : nullptr;
}

static const gchar* actionDescription(AtkAction* action, gint i) {
    const ActionName* name = actionAt(action, i);
    return name != nullptr ? name->description : nullptr;
}

static void actionInit(gpointer iface, gpointer) {
    auto* action = static_cast<AtkActionIface*>(iface);
    action->do_action = actionDo;
    action->get_n_actions = actionCount;
    action->get_name = actionName;
    action->get_localized_name = actionName;
    action->get_description = actionDescription;
}

// ---- application and window ----

static gint appChildCount(AtkObject*) {
    return model().frame != nullptr ? 1 : 0;
}

static AtkObject* appChild(AtkObject*, gint i) {
    AtkObject* frame = model().frame;
    return i == 0 && frame != nullptr ? static_cast<AtkObject*>(g_object_ref(frame)) : nullptr;
}

static const gchar* frameName(AtkObject*) {
    return model().tree.title.c_str();
}

static void appClassInit(gpointer klass, gpointer) {
    AtkObjectClass* atk = ATK_OBJECT_CLASS(klass);
    atk->get_name = frameName;
    atk->get_n_children = appChildCount;
    atk->ref_child = appChild;
}

static AtkObject* frameParent(AtkObject*) {
    return model().app;
}

static gint frameChildCount(AtkObject*) {
    return static_cast<gint>(model().shape.top.size());
}

static AtkObject* frameChild(AtkObject*, gint i) {
    const std::vector<int>& top = model().shape.top;
    if (i < 0 || static_cast<std::size_t>(i) >= top.size()) return nullptr;
    return static_cast<AtkObject*>(g_object_ref(objectAt(top[i])));
}

static gint framePlace(AtkObject*) {
    return 0;
}

static AtkStateSet* frameStates(AtkObject*) {
    AtkStateSet* set = atk_state_set_new();
    if (model().active) atk_state_set_add_state(set, ATK_STATE_ACTIVE);
    for (AtkStateType state : {ATK_STATE_ENABLED, ATK_STATE_SENSITIVE, ATK_STATE_SHOWING,
                               ATK_STATE_VISIBLE, ATK_STATE_RESIZABLE})
        atk_state_set_add_state(set, state);
    return set;
}

static void frameClassInit(gpointer klass, gpointer) {
    AtkObjectClass* atk = ATK_OBJECT_CLASS(klass);
    atk->get_name = frameName;
    atk->get_parent = frameParent;
    atk->get_n_children = frameChildCount;
    atk->ref_child = frameChild;
    atk->get_index_in_parent = framePlace;
    atk->ref_state_set = frameStates;
}

static void frameExtents(AtkComponent*, gint* x, gint* y, gint* width, gint* height, AtkCoordType type) {
    *x = *y = *width = *height = 0;
    int ox = 0, oy = 0, w = 0, h = 0;
    if (!windowOrigin(ox, oy) || !windowSize(w, h)) return;
    if (type == ATK_XY_SCREEN) *x = ox, *y = oy;
    *width = w;
    *height = h;
}

// The deepest node under a point: what a reader's mouse review reads.
static AtkObject* frameAtPoint(AtkComponent*, gint x, gint y, AtkCoordType type) {
    Model& m = model();
    int ox = 0, oy = 0;
    if (type == ATK_XY_SCREEN && windowOrigin(ox, oy)) x -= ox, y -= oy;
    int found = -1;
    for (std::size_t i = 0; i < m.tree.nodes.size(); ++i) {
        const AccessNode& n = m.tree.nodes[i];
        if (m.shape.kept[i] && x >= n.x && y >= n.y && x < n.x + n.width && y < n.y + n.height) found = static_cast<int>(i);
    }
    return found < 0 ? nullptr : static_cast<AtkObject*>(g_object_ref(objectAt(found)));
}

static void frameComponentInit(gpointer iface, gpointer) {
    auto* component = static_cast<AtkComponentIface*>(iface);
    component->get_extents = frameExtents;
    component->ref_accessible_at_point = frameAtPoint;
    component->get_layer = nodeLayer;
}

static void noMethods(gpointer, gpointer) {}

// ---- types ----

static GType registerType(GType parent, const char* name, GClassInitFunc classInit, guint16 instanceSize) {
    GTypeQuery query{};
    g_type_query(parent, &query);
    GTypeInfo info{};
    info.class_size = static_cast<guint16>(query.class_size);
    info.class_init = classInit;
    info.instance_size = instanceSize;
    return g_type_register_static(parent, name, &info, GTypeFlags(0));
}

static void addInterface(GType type, GType iface, GInterfaceInitFunc init) {
    GInterfaceInfo info{};
    info.interface_init = init;
    g_type_add_interface_static(type, iface, &info);
}

static GType nodeType(unsigned interfaces) {
    static GType base = 0;
    static GType types[16] = {};
    if (base == 0) {
        base = registerType(ATK_TYPE_OBJECT, "VlrAccessNode", nodeClassInit, sizeof(NodeInstance));
        addInterface(base, ATK_TYPE_COMPONENT, nodeComponentInit);
    }
    interfaces &= 15;
    if (types[interfaces] == 0) {
        std::string name = "VlrAccessNode" + std::to_string(interfaces);
        types[interfaces] = registerType(base, name.c_str(), nullptr, sizeof(NodeInstance));
        if ((interfaces & kHasAction) != 0) addInterface(types[interfaces], ATK_TYPE_ACTION, actionInit);
        if ((interfaces & kHasValue) != 0) addInterface(types[interfaces], ATK_TYPE_VALUE, valueInterfaceInit);
        if ((interfaces & kHasText) != 0) addInterface(types[interfaces], ATK_TYPE_TEXT, textInterfaceInit);
        if ((interfaces & kHasEditable) != 0) addInterface(types[interfaces], ATK_TYPE_EDITABLE_TEXT, editableTextInterfaceInit);
    }
    return types[interfaces];
}

AtkObject* makeNodeObject(const AccessNode& node) {
    auto* object = static_cast<AtkObject*>(g_object_new(nodeType(interfacesOf(node)), nullptr));
    reinterpret_cast<NodeInstance*>(object)->id = g_strdup(node.id.c_str());
    return object;
}

AtkObject* makeAppObject() {
    static GType type = registerType(ATK_TYPE_OBJECT, "VlrAccessApplication", appClassInit, sizeof(AtkObject));
    auto* object = static_cast<AtkObject*>(g_object_new(type, nullptr));
    object->role = ATK_ROLE_APPLICATION;
    return object;
}

AtkObject* makeFrameObject() {
    static GType type = 0;
    if (type == 0) {
        type = registerType(ATK_TYPE_OBJECT, "VlrAccessWindow", frameClassInit, sizeof(AtkObject));
        addInterface(type, ATK_TYPE_COMPONENT, frameComponentInit);
        addInterface(type, ATK_TYPE_WINDOW, noMethods);
    }
    auto* object = static_cast<AtkObject*>(g_object_new(type, nullptr));
    object->role = ATK_ROLE_FRAME;
    return object;
}

}  // namespace vlr::platform::atk
