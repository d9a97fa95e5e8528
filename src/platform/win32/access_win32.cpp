/*******************************************************************************************
*  access_win32.cpp — screen readers on Windows: UI Automation through WM_GETOBJECT
*
*  The window's procedure (GLFW's) is wrapped so that a reader's WM_GETOBJECT for UI
*  Automation's root is answered with the window's fragment root (uia_provider.h); everything
*  else goes on to GLFW. uiautomationcore.dll is not a known DLL: it is delay-loaded (see
*  cmake/delay_load.cmake) and loaded here, from the system folder, only when the first reader
*  asks, so that a window nobody reads costs nothing and a system without it still starts.
*  Each published tree is compared with the one before, and the differences become UI
*  Automation's events: focus, property changes, structure, and announcements of live nodes.
*******************************************************************************************/
#include "platform/access.h"
#include "platform/win32/access_win32.h"
#include "platform/win32/uia_provider.h"

#include <memory>

#include "platform/win32/wide.h"

namespace vlr::platform {

namespace {

using namespace uia;

using NotificationFunction = HRESULT(WINAPI*)(IRawElementProviderSimple*, NotificationKind, NotificationProcessing,
                                              BSTR, BSTR);
using DisconnectFunction = HRESULT(WINAPI*)(IRawElementProviderSimple*);

// The bridge's hold on the window; the frame thread's only (the window procedure runs there).
struct Hold {
    std::shared_ptr<Bridge> bridge;
    HWND window = nullptr;
    WNDPROC original = nullptr;
    bool loaded = false;             // uiautomationcore.dll is in
    NotificationFunction notify = nullptr;
    DisconnectFunction disconnect = nullptr;
    bool structureEvents = true;     // false where calling UiaRaiseStructureChangedEvent aborts
};
std::unique_ptr<Hold> hold;
// GLFW's procedure: kept past a detach, in case another wrapper came after ours and so ours
// could not be taken out of the chain.
WNDPROC chained = nullptr;
bool unavailable = false;  // the load failed once; not tried again

bool loadAutomation() {
    if (hold && hold->loaded) return true;
    if (!hold || unavailable) return false;
    // Before the first delay-loaded call: from the system folder only, and a missing DLL
    // answers here instead of as the delay-load helper's exception.
    HMODULE module = LoadLibraryExW(L"uiautomationcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    if (module == nullptr) {
        unavailable = true;
        return false;
    }
    // Newer than some systems the program runs on (Wine 8 has neither): looked up.
    if (FARPROC found = GetProcAddress(module, "UiaRaiseNotificationEvent"))
        hold->notify = reinterpret_cast<NotificationFunction>(reinterpret_cast<void*>(found));
    if (FARPROC found = GetProcAddress(module, "UiaDisconnectProvider"))
        hold->disconnect = reinterpret_cast<DisconnectFunction>(reinterpret_cast<void*>(found));
    // Wine 8 exports UiaRaiseStructureChangedEvent as a stub that ends the process when called.
    if (HMODULE ntdll = GetModuleHandleW(L"ntdll.dll"); ntdll && GetProcAddress(ntdll, "wine_get_version"))
        hold->structureEvents = false;
    hold->loaded = true;  // kept loaded for the life of the process
    return true;
}

bool listeningNow() {
    if (!hold || !hold->loaded) return false;
    if (GetTickCount64() - hold->bridge->lastServed.load() < kServedRecently) return true;
    return UiaClientsAreListening() != FALSE;
}

void detach();

LRESULT CALLBACK accessWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!hold || window != hold->window) return CallWindowProcW(chained, window, message, wParam, lParam);
    if (message == WM_GETOBJECT && static_cast<LONG>(lParam) == kRootObjectId) {
        const bool listening = listeningNow();
        if (loadAutomation()) {
            Bridge& bridge = *hold->bridge;
            bridge.lastServed.store(GetTickCount64());
            ComRef<RootProvider> root;
            {
                std::lock_guard lock(bridge.mutex);
                // The frame builds no tree while nobody listens: have it build one now, and
                // let the reader's first calls wait for it a moment.
                if (!listening) bridge.refreshLocked();
                root = bridge.root;
            }
            return UiaReturnRawElementProvider(window, wParam, lParam, root.get());
        }
    }
    if (message == WM_NCDESTROY) detach();
    return CallWindowProcW(chained, window, message, wParam, lParam);
}

// Gives the window its own procedure back and closes the bridge: the providers that readers
// still hold answer "not available" from now on.
void detach() {
    if (!hold) return;
    std::unique_ptr<Hold> gone = std::move(hold);
    if (reinterpret_cast<WNDPROC>(GetWindowLongPtrW(gone->window, GWLP_WNDPROC)) == accessWindowProc)
        SetWindowLongPtrW(gone->window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(gone->original));
    // Tells UI Automation the window's provider is gone.
    if (gone->loaded) UiaReturnRawElementProvider(gone->window, 0, 0, nullptr);
    std::unordered_map<std::string, Bridge::Entry> entries;
    ComRef<RootProvider> root;
    {
        std::lock_guard lock(gone->bridge->mutex);
        gone->bridge->open = false;
        entries.swap(gone->bridge->entries);  // the providers hold the bridge: break the loop
        root = std::move(gone->bridge->root);
        gone->bridge->snapshot.reset();
        gone->bridge->requests.clear();
    }
    gone->bridge->published.notify_all();
    if (gone->disconnect) {
        for (auto& [id, entry] : entries)
            if (entry.provider) gone->disconnect(static_cast<IRawElementProviderSimple*>(entry.provider.get()));
        if (root) gone->disconnect(static_cast<IRawElementProviderSimple*>(root.get()));
    }
}

// ---- events from two trees ----

// A VARIANT that clears itself.
struct Value {
    VARIANT variant;
    Value() { VariantInit(&variant); }
    Value(const Value&) = delete;
    Value& operator=(const Value&) = delete;
    Value(Value&& other) noexcept : variant(other.variant) { VariantInit(&other.variant); }
    Value& operator=(Value&& other) noexcept {
        if (this != &other) {
            VariantClear(&variant);
            variant = other.variant;
            VariantInit(&other.variant);
        }
        return *this;
    }
    ~Value() { VariantClear(&variant); }

    static Value text(const std::string& value) {
        Value out;
        const std::wstring wide = widen(value);
        out.variant.bstrVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
        if (out.variant.bstrVal != nullptr) out.variant.vt = VT_BSTR;
        return out;
    }
    static Value integer(int value) {
        Value out;
        out.variant.vt = VT_I4;
        out.variant.lVal = value;
        return out;
    }
    static Value number(double value) {
        Value out;
        out.variant.vt = VT_R8;
        out.variant.dblVal = value;
        return out;
    }
    static Value boolean(bool value) {
        Value out;
        out.variant.vt = VT_BOOL;
        out.variant.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
        return out;
    }
};

struct Event {
    enum Kind { kProperty, kSelected, kFocus, kLive } kind = kProperty;
    ComRef<NodeProvider> node;
    PROPERTYID property = 0;
    Value before, after;
    std::string announce;
};

struct Events {
    bool structure = false;
    std::vector<Event> list;
};

bool sameShape(const Snapshot& a, const Snapshot& b) {
    if (a.tree.nodes.size() != b.tree.nodes.size()) return false;
    for (size_t i = 0; i < a.tree.nodes.size(); ++i)
        if (a.tree.nodes[i].parent != b.tree.nodes[i].parent || a.tree.nodes[i].id != b.tree.nodes[i].id) return false;
    return true;
}

// What changed from `before` to `after`, with the providers of the nodes concerned. Under the
// bridge's mutex.
Events differences(Bridge& bridge, const Snapshot& before, const Snapshot& after) {
    Events events;
    events.structure = !sameShape(before, after);
    auto add = [&](Event::Kind kind, int index, PROPERTYID property, Value was, Value now) -> Event* {
        Event event;
        event.kind = kind;
        event.node = bridge.providerLocked(after, index);
        event.property = property;
        event.before = std::move(was);
        event.after = std::move(now);
        if (!event.node) return nullptr;
        events.list.push_back(std::move(event));
        return &events.list.back();
    };
    const int count = static_cast<int>(after.tree.nodes.size());
    for (int i = 0; i < count; ++i) {
        const AccessNode& now = after.tree.nodes[i];
        auto found = before.index.find(now.id);
        const AccessNode* was = found == before.index.end() ? nullptr : &before.tree.nodes[found->second];
        if ((now.states & kAccessLive) != 0 && !now.name.empty() && (!was || was->name != now.name)) {
            if (Event* live = add(Event::kLive, i, 0, {}, {})) live->announce = now.name;
        }
        if (!was) continue;
        const unsigned flipped = was->states ^ now.states;
        if (was->name != now.name)
            add(Event::kProperty, i, UIA_NamePropertyId, Value::text(was->name), Value::text(now.name));
        if (was->value != now.value && offersPattern(now, UIA_ValuePatternId))
            add(Event::kProperty, i, UIA_ValueValuePropertyId, Value::text(was->value), Value::text(now.value));
        if (was->number != now.number && offersPattern(now, UIA_RangeValuePatternId))
            add(Event::kProperty, i, UIA_RangeValueValuePropertyId, Value::number(was->number),
                Value::number(now.number));
        if ((flipped & kAccessChecked) != 0)
            add(Event::kProperty, i, UIA_ToggleToggleStatePropertyId,
                Value::integer((was->states & kAccessChecked) != 0 ? ToggleState_On : ToggleState_Off),
                Value::integer((now.states & kAccessChecked) != 0 ? ToggleState_On : ToggleState_Off));
        if ((flipped & kAccessSelected) != 0) {
            const bool selected = (now.states & kAccessSelected) != 0;
            add(Event::kProperty, i, UIA_SelectionItemIsSelectedPropertyId, Value::boolean(!selected),
                Value::boolean(selected));
            if (selected) add(Event::kSelected, i, 0, {}, {});
        }
        if ((flipped & kAccessExpanded) != 0) {
            const bool open = (now.states & kAccessExpanded) != 0;
            add(Event::kProperty, i, UIA_ExpandCollapseExpandCollapseStatePropertyId,
                Value::integer(open ? ExpandCollapseState_Collapsed : ExpandCollapseState_Expanded),
                Value::integer(open ? ExpandCollapseState_Expanded : ExpandCollapseState_Collapsed));
        }
        if ((flipped & kAccessDisabled) != 0)
            add(Event::kProperty, i, UIA_IsEnabledPropertyId, Value::boolean((was->states & kAccessDisabled) == 0),
                Value::boolean((now.states & kAccessDisabled) == 0));
    }
    const std::string* focusedBefore = before.focused >= 0 ? &before.tree.nodes[before.focused].id : nullptr;
    if (after.focused >= 0 && (!focusedBefore || *focusedBefore != after.tree.nodes[after.focused].id))
        add(Event::kFocus, after.focused, 0, {}, {});
    return events;
}

void raise(const Hold& window, Events& events, const ComRef<RootProvider>& root) {
    if (events.structure && root && window.structureEvents)
        UiaRaiseStructureChangedEvent(static_cast<IRawElementProviderSimple*>(root.get()),
                                      StructureChangeType_ChildrenInvalidated, nullptr, 0);
    for (Event& event : events.list) {
        auto* element = static_cast<IRawElementProviderSimple*>(event.node.get());
        switch (event.kind) {
        case Event::kProperty:
            UiaRaiseAutomationPropertyChangedEvent(element, event.property, event.before.variant, event.after.variant);
            break;
        case Event::kSelected: UiaRaiseAutomationEvent(element, kElementSelectedEvent); break;
        case Event::kFocus: UiaRaiseAutomationEvent(element, kFocusChangedEvent); break;
        case Event::kLive:
            if (window.notify) {
                Value said = Value::text(event.announce);
                Value activity = Value::text("vlr.live");
                window.notify(element, NotificationKind_Other, NotificationProcessing_All, said.variant.bstrVal,
                              activity.variant.bstrVal);
            } else {
                UiaRaiseAutomationEvent(element, kLiveRegionChangedEvent);
            }
            break;
        }
    }
}

bool systemHasAutomation() {
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    const std::wstring path = std::wstring(folder, length) + L"\\uiautomationcore.dll";
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

}  // namespace

bool startAccess(const AccessHost& host) {
    stopAccess();
    HWND window = static_cast<HWND>(host.window);
    if (window == nullptr || !IsWindow(window) || !systemHasAutomation()) return false;
    auto made = std::make_unique<Hold>();
    made->window = window;
    made->bridge = std::make_shared<Bridge>();
    made->bridge->window = window;
    made->bridge->wake = host.onFrameThread;
    made->bridge->frameThread = GetCurrentThreadId();
    made->bridge->root = ComRef<RootProvider>::adopt(new RootProvider(made->bridge));
    SetLastError(0);
    const LONG_PTR original = SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(accessWindowProc));
    if (original == 0 && GetLastError() != 0) {
        made->bridge->root = {};  // the root holds the bridge
        return false;
    }
    made->original = reinterpret_cast<WNDPROC>(original);
    if (made->original != accessWindowProc) chained = made->original;  // else still in the chain
    hold = std::move(made);
    return true;
}

bool accessListening() { return listeningNow(); }

void publishAccessTree(AccessTree tree) {
    if (!hold) return;
    Bridge& bridge = *hold->bridge;
    std::shared_ptr<Snapshot> next = makeSnapshot(std::move(tree));
    std::vector<ComRef<NodeProvider>> gone;
    Events events;
    ComRef<RootProvider> root;
    // Events while a reader listens for them or has just asked something (where no listener
    // takes them, raising one costs UI Automation a quick look).
    const bool tell = listeningNow();
    {
        std::lock_guard lock(bridge.mutex);
        // Serials: kept while an id stays, new for an id that (re)appears.
        for (size_t i = 0; i < next->tree.nodes.size(); ++i) {
            auto [entry, added] = bridge.entries.try_emplace(next->tree.nodes[i].id);
            if (added) entry->second.serial = bridge.nextSerial++;
            next->serials[i] = entry->second.serial;
        }
        for (auto entry = bridge.entries.begin(); entry != bridge.entries.end();) {
            if (next->index.count(entry->first) != 0) {
                ++entry;
                continue;
            }
            if (entry->second.provider) gone.push_back(std::move(entry->second.provider));
            entry = bridge.entries.erase(entry);
        }
        std::shared_ptr<const Snapshot> previous = std::move(bridge.snapshot);
        bridge.snapshot = next;
        ++bridge.generation;
        if (tell && previous) {
            events = differences(bridge, *previous, *next);
            root = bridge.root;
        }
    }
    bridge.published.notify_all();
    // Outside the mutex: UI Automation may call the providers back from here.
    if (hold->disconnect)
        for (const auto& provider : gone) hold->disconnect(static_cast<IRawElementProviderSimple*>(provider.get()));
    if (tell) raise(*hold, events, root);
}

std::vector<AccessRequest> takeAccessRequests() {
    std::vector<AccessRequest> taken;
    if (!hold) return taken;
    std::lock_guard lock(hold->bridge->mutex);
    taken.swap(hold->bridge->requests);
    return taken;
}

void stopAccess() { detach(); }

uia::ComRef<IRawElementProviderFragmentRoot> accessRootForTests() {
    if (!loadAutomation()) return {};
    return uia::ComRef<IRawElementProviderFragmentRoot>::share(hold->bridge->rootProvider().get());
}

}  // namespace vlr::platform
