/*******************************************************************************************
*  uia_provider.cpp — the window's element and its nodes' elements: identity, properties and
*  navigation (the patterns are in uia_patterns.cpp)
*
*  The providers are plain C++ classes with COM's reference count: `new` makes one with the
*  count at one, and Release deletes it when the count falls to zero. That is the only place
*  these files use new and delete; everything else holds a ComRef.
*******************************************************************************************/
#include "platform/win32/uia_provider.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "platform/win32/wide.h"

namespace vlr::platform::uia {

namespace {

VARIANT text(const std::string& value) {
    VARIANT out;
    VariantInit(&out);
    const std::wstring wide = widen(value);
    out.bstrVal = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    if (out.bstrVal != nullptr) out.vt = VT_BSTR;
    return out;
}

VARIANT integer(int value) {
    VARIANT out;
    VariantInit(&out);
    out.vt = VT_I4;
    out.lVal = value;
    return out;
}

VARIANT boolean(bool value) {
    VARIANT out;
    VariantInit(&out);
    out.vt = VT_BOOL;
    out.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return out;
}

// The deepest node under a point of the client area: children come after their parent in
// drawing order, so the last node that holds the point.
int nodeAt(const Snapshot& snapshot, float x, float y) {
    const auto& nodes = snapshot.tree.nodes;
    for (int i = static_cast<int>(nodes.size()) - 1; i >= 0; --i) {
        const AccessNode& node = nodes[i];
        if (x >= node.x && y >= node.y && x < node.x + node.width && y < node.y + node.height) return i;
    }
    return -1;
}

}  // namespace

// ---- the snapshot ----

std::shared_ptr<Snapshot> makeSnapshot(AccessTree tree) {
    auto made = std::make_shared<Snapshot>();
    made->tree = std::move(tree);
    auto& nodes = made->tree.nodes;
    const int count = static_cast<int>(nodes.size());
    made->links.resize(nodes.size());
    made->serials.assign(nodes.size(), 0);
    made->index.reserve(nodes.size());
    for (int i = 0; i < count; ++i) {
        AccessNode& node = nodes[i];
        if (node.parent < -1 || node.parent >= i) node.parent = -1;  // a parent comes first
        // Two nodes with one id cannot both be reached by it: the later one is renamed, and a
        // request for it finds nothing in the frame, which does nothing.
        while (!made->index.emplace(node.id, i).second) {
            node.id += '#';
            node.id += std::to_string(i);
        }
        Snapshot::Links& parent = node.parent < 0 ? made->top : made->links[node.parent];
        if (parent.last >= 0) {
            made->links[parent.last].next = i;
            made->links[i].previous = parent.last;
        } else {
            parent.first = i;
        }
        parent.last = i;
        if ((node.states & kAccessFocused) != 0 && made->focused < 0) made->focused = i;
    }
    return made;
}

// ---- the bridge ----

std::shared_ptr<const Snapshot> Bridge::current() {
    const unsigned long long now = GetTickCount64();
    const bool quiet = now - lastServed.exchange(now) >= kServedRecently;
    static const auto empty = std::make_shared<const Snapshot>();
    std::unique_lock lock(mutex);
    if (quiet && open) refreshLocked();
    if (generation < wanted && GetCurrentThreadId() != frameThread) {
        // Once; if the frame builds nothing, later calls answer from what there is at once.
        published.wait_for(lock, std::chrono::seconds(1), [&] { return generation >= wanted || !open; });
        wanted = generation;
    }
    if (!open) return nullptr;
    return snapshot ? snapshot : empty;
}

void Bridge::refreshLocked() {
    wanted = generation + 1;
    if (wake) wake([] {});
}

void Bridge::ask(AccessRequest request) {
    // The wake under the mutex: once the bridge is closed (the window going), never again.
    std::lock_guard lock(mutex);
    if (!open) return;
    requests.push_back(std::move(request));
    if (wake) wake([] {});
}

ComRef<NodeProvider> Bridge::providerLocked(const Snapshot& from, int index) {
    if (!open || index < 0 || index >= static_cast<int>(from.tree.nodes.size())) return {};
    const std::string& id = from.tree.nodes[index].id;
    auto found = entries.find(id);
    if (found == entries.end()) return {};  // gone since `from` was read
    Entry& entry = found->second;
    if (!entry.provider)
        entry.provider = ComRef<NodeProvider>::adopt(new NodeProvider(shared_from_this(), id, entry.serial));
    return entry.provider;
}

ComRef<RootProvider> Bridge::rootProvider() {
    std::lock_guard lock(mutex);
    return root;
}

// ---- the window's element ----

HRESULT RootProvider::QueryInterface(REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IRawElementProviderSimple))
        *out = static_cast<IRawElementProviderSimple*>(this);
    else if (iid == __uuidof(IRawElementProviderFragment))
        *out = static_cast<IRawElementProviderFragment*>(this);
    else if (iid == __uuidof(IRawElementProviderFragmentRoot))
        *out = static_cast<IRawElementProviderFragmentRoot*>(this);
    else {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG RootProvider::AddRef() { return ++references_; }

ULONG RootProvider::Release() {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
}

HRESULT RootProvider::get_ProviderOptions(ProviderOptions* options) {
    if (options == nullptr) return E_POINTER;
    *options = ProviderOptions_ServerSideProvider;
    return S_OK;
}

HRESULT RootProvider::GetPatternProvider(PATTERNID, IUnknown** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    return S_OK;
}

HRESULT RootProvider::GetPropertyValue(PROPERTYID property, VARIANT* out) {
    if (out == nullptr) return E_POINTER;
    VariantInit(out);
    auto snapshot = bridge_->current();
    if (!snapshot) return kElementGone;
    // The rest (place, runtime id, the window's states) comes from the window's host provider.
    if (property == UIA_NamePropertyId && !snapshot->tree.title.empty()) *out = text(snapshot->tree.title);
    if (property == UIA_ControlTypePropertyId) *out = integer(kWindowType);
    return S_OK;
}

HRESULT RootProvider::get_HostRawElementProvider(IRawElementProviderSimple** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    return UiaHostProviderFromHwnd(bridge_->window, out);
}

HRESULT RootProvider::Navigate(NavigateDirection direction, IRawElementProviderFragment** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    auto snapshot = bridge_->current();
    if (!snapshot) return kElementGone;
    // Parent and siblings are the host window's business.
    int target = direction == NavigateDirection_FirstChild ? snapshot->top.first
                 : direction == NavigateDirection_LastChild ? snapshot->top.last
                                                            : -1;
    std::lock_guard lock(bridge_->mutex);
    *out = handOut<IRawElementProviderFragment>(bridge_->providerLocked(*snapshot, target));
    return S_OK;
}

HRESULT RootProvider::GetRuntimeId(SAFEARRAY** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;  // the host window's
    return S_OK;
}

HRESULT RootProvider::get_BoundingRectangle(UiaRect* out) {
    if (out == nullptr) return E_POINTER;
    *out = UiaRect{};  // the host window's
    return S_OK;
}

HRESULT RootProvider::GetEmbeddedFragmentRoots(SAFEARRAY** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    return S_OK;
}

HRESULT RootProvider::SetFocus() { return S_OK; }

HRESULT RootProvider::get_FragmentRoot(IRawElementProviderFragmentRoot** out) {
    if (out == nullptr) return E_POINTER;
    AddRef();
    *out = this;
    return S_OK;
}

HRESULT RootProvider::ElementProviderFromPoint(double x, double y, IRawElementProviderFragment** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    auto snapshot = bridge_->current();
    if (!snapshot) return kElementGone;
    if (!std::isfinite(x) || !std::isfinite(y) || std::fabs(x) > 1e7 || std::fabs(y) > 1e7) return S_OK;
    POINT point{static_cast<LONG>(std::lround(x)), static_cast<LONG>(std::lround(y))};
    if (!ScreenToClient(bridge_->window, &point)) return S_OK;
    const int index = nodeAt(*snapshot, static_cast<float>(point.x), static_cast<float>(point.y));
    std::lock_guard lock(bridge_->mutex);
    *out = handOut<IRawElementProviderFragment>(bridge_->providerLocked(*snapshot, index));
    return S_OK;
}

HRESULT RootProvider::GetFocus(IRawElementProviderFragment** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    auto snapshot = bridge_->current();
    if (!snapshot) return kElementGone;
    std::lock_guard lock(bridge_->mutex);
    *out = handOut<IRawElementProviderFragment>(bridge_->providerLocked(*snapshot, snapshot->focused));
    return S_OK;
}

// ---- a node's element ----

std::shared_ptr<const Snapshot> NodeProvider::find(int& index) const {
    auto snapshot = bridge_->current();
    if (!snapshot) return nullptr;
    auto found = snapshot->index.find(id_);
    if (found == snapshot->index.end() || snapshot->serials[found->second] != serial_) return nullptr;
    index = found->second;
    return snapshot;
}

ULONG NodeProvider::AddRef() { return ++references_; }

ULONG NodeProvider::Release() {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
}

HRESULT NodeProvider::get_ProviderOptions(ProviderOptions* options) {
    if (options == nullptr) return E_POINTER;
    *options = ProviderOptions_ServerSideProvider;
    return S_OK;
}

HRESULT NodeProvider::GetPropertyValue(PROPERTYID property, VARIANT* out) {
    if (out == nullptr) return E_POINTER;
    VariantInit(out);
    int index = 0;
    auto snapshot = find(index);
    if (!snapshot) return kElementGone;
    const AccessNode& node = snapshot->tree.nodes[index];
    switch (property) {
    case UIA_ControlTypePropertyId: *out = integer(controlType(node.role)); break;
    case UIA_NamePropertyId:
        if (!node.name.empty()) *out = text(node.name);
        break;
    case UIA_AutomationIdPropertyId: *out = text(node.id); break;
    case UIA_IsEnabledPropertyId: *out = boolean((node.states & kAccessDisabled) == 0); break;
    case UIA_HasKeyboardFocusPropertyId: *out = boolean((node.states & kAccessFocused) != 0); break;
    case UIA_IsKeyboardFocusablePropertyId:
        *out = boolean((node.states & kAccessFocusable) != 0 && (node.states & kAccessDisabled) == 0);
        break;
    case UIA_LiveSettingPropertyId:
        if ((node.states & kAccessLive) != 0) *out = integer(kLivePolite);
        break;
    case UIA_HeadingLevelPropertyId:
        // Card titles sit under the window's own title.
        if (node.role == AccessRole::kHeading) *out = integer(kHeadingLevel1 + 1);
        break;
    default: break;
    }
    return S_OK;
}

HRESULT NodeProvider::get_HostRawElementProvider(IRawElementProviderSimple** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    return S_OK;
}

HRESULT NodeProvider::Navigate(NavigateDirection direction, IRawElementProviderFragment** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    int index = 0;
    auto snapshot = find(index);
    if (!snapshot) return kElementGone;
    const Snapshot::Links& links = snapshot->links[index];
    const int parent = snapshot->tree.nodes[index].parent;
    if (direction == NavigateDirection_Parent && parent < 0) {
        *out = handOut<IRawElementProviderFragment>(bridge_->rootProvider());
        return S_OK;
    }
    const int target = direction == NavigateDirection_Parent            ? parent
                       : direction == NavigateDirection_NextSibling     ? links.next
                       : direction == NavigateDirection_PreviousSibling ? links.previous
                       : direction == NavigateDirection_FirstChild      ? links.first
                       : direction == NavigateDirection_LastChild       ? links.last
                                                                        : -1;
    std::lock_guard lock(bridge_->mutex);
    *out = handOut<IRawElementProviderFragment>(bridge_->providerLocked(*snapshot, target));
    return S_OK;
}

HRESULT NodeProvider::GetRuntimeId(SAFEARRAY** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    int index = 0;
    if (!find(index)) return kElementGone;
    SAFEARRAY* ids = SafeArrayCreateVector(VT_I4, 0, 2);
    if (ids == nullptr) return E_OUTOFMEMORY;
    LONG at = 0;
    int value = kAppendRuntimeId;
    SafeArrayPutElement(ids, &at, &value);
    at = 1;
    value = serial_;
    SafeArrayPutElement(ids, &at, &value);
    *out = ids;
    return S_OK;
}

HRESULT NodeProvider::get_BoundingRectangle(UiaRect* out) {
    if (out == nullptr) return E_POINTER;
    *out = UiaRect{};
    int index = 0;
    auto snapshot = find(index);
    if (!snapshot) return kElementGone;
    const AccessNode& node = snapshot->tree.nodes[index];
    POINT origin{0, 0};
    ClientToScreen(bridge_->window, &origin);
    *out = UiaRect{origin.x + static_cast<double>(node.x), origin.y + static_cast<double>(node.y),
                   std::max(0.0, static_cast<double>(node.width)), std::max(0.0, static_cast<double>(node.height))};
    return S_OK;
}

HRESULT NodeProvider::GetEmbeddedFragmentRoots(SAFEARRAY** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    return S_OK;
}

HRESULT NodeProvider::SetFocus() { return request(kAccessFocus); }

HRESULT NodeProvider::get_FragmentRoot(IRawElementProviderFragmentRoot** out) {
    if (out == nullptr) return E_POINTER;
    *out = handOut<IRawElementProviderFragmentRoot>(bridge_->rootProvider());
    return *out != nullptr ? S_OK : kElementGone;
}

}  // namespace vlr::platform::uia
