/*******************************************************************************************
*  access_atk.cpp — the window and its widgets as ATK objects
*
*  Three kinds of object: the application (the root the bridge asks for), the window (a
*  frame named by the tree's title) and one per node, kept while the node's id stays. Nodes
*  answer from the last published tree by their id, so an object a reader still holds after
*  its widget went answers as defunct instead of reading freed memory. A node's interfaces
*  follow its role (a button has no value, a slider no text): one GType per set of
*  interfaces, registered on first use. The role tables and the interfaces' functions live
*  in access_atk_nodes.cpp; this file keeps the tree and raises the events.
*
*  Sections: the tree · objects · events · toolkit hooks
*******************************************************************************************/
#include "platform/posix/access_atk.h"
#include "platform/posix/access_atk_nodes.h"

#include <utility>

namespace vlr::platform::atk {

// ---- the tree ----

// Parents, siblings and places of a tree. A node whose id came before in the tree is left out
// (an object stands for one id), and so is its subtree; a parent index that is not before
// its child makes the child the window's.
static Shape shapeOf(const AccessTree& tree) {
    Shape shape;
    std::size_t count = tree.nodes.size();
    shape.children.assign(count, {});
    shape.parent.assign(count, -1);
    shape.place.assign(count, 0);
    shape.kept.assign(count, false);
    shape.index.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        const AccessNode& node = tree.nodes[i];
        int parent = node.parent;
        bool parentKept = parent >= 0 && static_cast<std::size_t>(parent) < i && shape.kept[parent];
        if (parent >= 0 && static_cast<std::size_t>(parent) < i && !shape.kept[parent]) continue;
        if (!shape.index.emplace(node.id, static_cast<int>(i)).second) continue;
        shape.kept[i] = true;
        std::vector<int>& siblings = parentKept ? shape.children[parent] : shape.top;
        shape.parent[i] = parentKept ? parent : -1;
        shape.place[i] = static_cast<int>(siblings.size());
        siblings.push_back(static_cast<int>(i));
    }
    return shape;
}

// ---- objects ----

// The object of an id that stays, found in the new shape; the window for -1.
static AtkObject* objectOfParent(const AccessTree& tree, int parent) {
    Model& m = model();
    if (parent < 0) return m.frame;
    auto found = m.objects.find(tree.nodes[parent].id);
    return found == m.objects.end() ? nullptr : found->second;
}

static void childAdded(AtkObject* parent, int place, AtkObject* child) {
    if (parent != nullptr) g_signal_emit_by_name(parent, "children-changed::add", place, child);
}

static void childRemoved(AtkObject* parent, int place, AtkObject* child) {
    if (parent != nullptr) g_signal_emit_by_name(parent, "children-changed::remove", place, child);
}

static void forget(AtkObject* object) {
    atk_object_notify_state_change(object, ATK_STATE_DEFUNCT, TRUE);
    g_object_unref(object);
}

// ---- events ----

static void announce(AtkObject* object, const std::string& text) {
    static const guint signal = g_signal_lookup("announcement", ATK_TYPE_OBJECT);
    if (signal != 0 && !text.empty()) g_signal_emit(object, signal, 0, text.c_str());
}

static void textReplaced(AtkObject* object, const std::string& before, const std::string& after) {
    if (!ATK_IS_TEXT(object) || before == after) return;
    std::string was = validText(before), now = validText(after);
    if (!was.empty())
        g_signal_emit_by_name(object, "text-remove", 0, static_cast<gint>(g_utf8_strlen(was.c_str(), -1)), was.c_str());
    if (!now.empty())
        g_signal_emit_by_name(object, "text-insert", 0, static_cast<gint>(g_utf8_strlen(now.c_str(), -1)), now.c_str());
}

static void statesChanged(AtkObject* object, std::uint64_t before, std::uint64_t after) {
    std::uint64_t changed = (before ^ after) & ~(std::uint64_t{1} << ATK_STATE_FOCUSED);
    for (int state = 0; changed != 0; ++state, changed >>= 1)
        if ((changed & 1) != 0)
            atk_object_notify_state_change(object, static_cast<AtkState>(state), ((after >> state) & 1) != 0);
}

static std::string focusedId(const AccessTree& tree, const Shape& shape) {
    for (std::size_t i = 0; i < tree.nodes.size(); ++i)
        if (shape.kept[i] && (tree.nodes[i].states & kAccessFocused) != 0) return tree.nodes[i].id;
    return {};
}

// What changed on a node that kept its id and object.
static void nodeChanged(AtkObject* object, const AccessNode& was, const AccessNode& now) {
    if (was.name != now.name) {
        g_object_notify(G_OBJECT(object), "accessible-name");
        if ((now.states & kAccessLive) != 0) announce(object, now.name);
    }
    if (now.role == AccessRole::kSlider && (was.number != now.number || was.value != now.value)) {
        g_object_notify(G_OBJECT(object), "accessible-value");
        g_signal_emit_by_name(object, "value-changed", now.number, now.value.c_str());
    }
    textReplaced(object, textOf(was), textOf(now));
    statesChanged(object, stateBits(was), stateBits(now));
    if (was.x != now.x || was.y != now.y || was.width != now.width || was.height != now.height) {
        AtkRectangle box{static_cast<gint>(now.x), static_cast<gint>(now.y), static_cast<gint>(now.width),
                         static_cast<gint>(now.height)};
        g_signal_emit_by_name(object, "bounds-changed", &box);
    }
}

// D-Bus carries only valid UTF-8 (libdbus aborts the program on anything else), and names
// may hold bytes from the launcher: whatever is not valid is mended before a reader asks.
static void mendText(AccessTree& tree) {
    auto mend = [](std::string& text) {
        if (!g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) text = validText(text);
    };
    mend(tree.title);
    for (AccessNode& node : tree.nodes) {
        mend(node.name);
        mend(node.value);
    }
}

void publishTree(AccessTree tree) {
    Model& m = model();
    if (m.frame == nullptr) return;
    mendText(tree);
    AccessTree old = std::exchange(m.tree, std::move(tree));
    Shape oldShape = std::exchange(m.shape, shapeOf(m.tree));
    bool first = !m.published;
    m.published = true;
    bool wasActive = m.active;
    measureWindow();

    // Gone: told to the parent that stays, then defunct for whoever still holds them.
    for (auto it = m.objects.begin(); it != m.objects.end();) {
        auto now = m.shape.index.find(it->first);
        auto before = oldShape.index.find(it->first);
        if (before == oldShape.index.end()) { ++it; continue; }  // made for a reader since
        int was = before->second;
        bool replaced = now != m.shape.index.end() && interfacesOf(m.tree.nodes[now->second]) != interfacesOf(old.nodes[was]);
        if (now != m.shape.index.end() && !replaced) { ++it; continue; }
        int parent = oldShape.parent[was];
        bool parentStays = parent < 0 || m.shape.index.count(old.nodes[parent].id) != 0;
        if (parentStays) childRemoved(objectOfParent(old, parent), oldShape.place[was], it->second);
        forget(it->second);
        it = m.objects.erase(it);
    }

    for (std::size_t i = 0; i < m.tree.nodes.size(); ++i) {
        if (!m.shape.kept[i]) continue;
        const AccessNode& node = m.tree.nodes[i];
        int at = static_cast<int>(i);
        if (m.objects.count(node.id) == 0) {
            AtkObject* object = objectAt(at);
            if (first) continue;
            childAdded(parentObjectAt(at), m.shape.place[i], object);
            if ((node.states & kAccessLive) != 0) announce(object, node.name);
            continue;
        }
        AtkObject* object = objectAt(at);
        int was = oldShape.index.at(node.id);
        int oldParent = oldShape.parent[was];
        std::string oldParentId = oldParent < 0 ? std::string() : old.nodes[oldParent].id;
        std::string newParentId = m.shape.parent[i] < 0 ? std::string() : m.tree.nodes[m.shape.parent[i]].id;
        if (oldParentId != newParentId) {
            if (oldParent < 0 || m.shape.index.count(oldParentId) != 0)
                childRemoved(objectOfParent(old, oldParent), oldShape.place[was], object);
            childAdded(parentObjectAt(at), m.shape.place[i], object);
        }
        nodeChanged(object, old.nodes[was], node);
    }
    if (old.title != m.tree.title) g_object_notify(G_OBJECT(m.frame), "accessible-name");

    // The window before the focus: readers follow focus only in the active window.
    if (first) {
        g_signal_emit_by_name(m.frame, "create");
        if (m.active) g_signal_emit_by_name(m.frame, "activate");
    } else if (wasActive != m.active) {
        atk_object_notify_state_change(m.frame, ATK_STATE_ACTIVE, m.active);
        g_signal_emit_by_name(m.frame, m.active ? "activate" : "deactivate");
    }

    // The focus last, once the nodes around it are in place: the reader speaks the new one.
    // A window that got the keyboard back says again where the focus is.
    std::string was = focusedId(old, oldShape), now = focusedId(m.tree, m.shape);
    if (was != now || (!first && !wasActive && m.active)) {
        auto left = m.objects.find(was);
        if (was != now && !was.empty() && left != m.objects.end()) atk_object_notify_state_change(left->second, ATK_STATE_FOCUSED, FALSE);
        auto got = m.objects.find(now);
        if (!now.empty() && got != m.objects.end()) {
            atk_object_notify_state_change(got->second, ATK_STATE_FOCUSED, TRUE);
            G_GNUC_BEGIN_IGNORE_DEPRECATIONS
            atk_focus_tracker_notify(got->second);
            G_GNUC_END_IGNORE_DEPRECATIONS
        }
    }
}

void dropObjects() {
    Model& m = model();
    for (auto& [id, object] : m.objects) forget(object);
    m.objects.clear();
    m.tree = {};
    m.shape = {};
    m.published = false;
    m.active = true;
    if (m.frame != nullptr) {
        forget(m.frame);
        m.frame = nullptr;
    }
    if (m.app != nullptr) {
        g_object_unref(m.app);
        m.app = nullptr;
    }
    if (m.display != nullptr) {
        XCloseDisplay(m.display);
        m.display = nullptr;
    }
}

// ---- toolkit hooks ----

static AtkObject* rootObject() {
    return model().app;
}

static const gchar* toolkitName() {
    return "vlr-ui";
}

static const gchar* toolkitVersion() {
    return "1.0";
}

void installToolkit(unsigned long window, RequestSink sink) {
    Model& m = model();
    m.window = window;
    m.sink = sink;
    static AtkUtilClass* util = nullptr;
    if (util == nullptr) {
        util = static_cast<AtkUtilClass*>(g_type_class_ref(ATK_TYPE_UTIL));
        util->get_root = rootObject;
        util->get_toolkit_name = toolkitName;
        util->get_toolkit_version = toolkitVersion;
    }
    if (m.app == nullptr) {
        m.app = makeAppObject();
        m.frame = makeFrameObject();
    }
}

}  // namespace vlr::platform::atk
