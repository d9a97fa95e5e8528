/*******************************************************************************************
*  uia_provider.h — the window's UI Automation providers and the state they answer from
*
*  A reader's calls arrive on UI Automation's own threads, never only on the frame's. So the
*  providers read a Snapshot: a published tree with its navigation links, immutable once
*  published, taken under the bridge's mutex as a shared pointer and read without it. A node's
*  provider is the node's id (plus the serial its id got when it appeared): every call looks
*  the id up in the latest snapshot and answers "element not available" once it is gone.
*  What a reader asks to be done is queued under the same mutex and the frame is woken.
*******************************************************************************************/
#pragma once

#include "platform/access.h"
#include "platform/win32/uia_api.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace vlr::platform::uia {

// A reader that called within this time keeps the frame building trees even when UI
// Automation says no client listens for events (a tool that looks now and then).
constexpr unsigned long long kServedRecently = 10'000;  // ms

// One published tree and what navigating it takes.
struct Snapshot {
    struct Links {
        int first = -1, last = -1, next = -1, previous = -1;  // children and siblings, by index
    };
    AccessTree tree;
    std::vector<Links> links;
    Links top;                                    // the window's own children
    std::unordered_map<std::string, int> index;   // node id -> index
    std::vector<int> serials;                     // per node: its id's serial (runtime id)
    int focused = -1;
};

// Links and index for a tree as published; bad parent indices (not before the child) are
// taken as the window.
std::shared_ptr<Snapshot> makeSnapshot(AccessTree tree);

class NodeProvider;
class RootProvider;

// What the window's providers share. Everything under `mutex` unless said otherwise.
struct Bridge : std::enable_shared_from_this<Bridge> {
    HWND window = nullptr;                        // set once, before any provider exists
    std::function<void(std::function<void()>)> wake;  // set once; called under the mutex only
    DWORD frameThread = 0;                        // set once

    std::mutex mutex;
    std::condition_variable published;            // a tree came (see waitForTree)
    bool open = true;
    std::shared_ptr<const Snapshot> snapshot;
    long long generation = 0;                     // trees published so far
    long long wanted = 0;                         // a client waits for this generation
    std::vector<AccessRequest> requests;
    struct Entry {
        int serial = 0;
        ComRef<NodeProvider> provider;            // made on first use, kept while the id stays
    };
    std::unordered_map<std::string, Entry> entries;
    int nextSerial = 1;
    ComRef<RootProvider> root;

    std::atomic<unsigned long long> lastServed{0};  // GetTickCount64 of a reader's last call

    // The latest tree, or null when the bridge closed. After a quiet spell (the frame may have
    // stopped building trees) the frame is woken, and a reader on another thread than the
    // frame's waits a moment for the tree it builds.
    std::shared_ptr<const Snapshot> current();
    // Wakes the frame and has readers wait for its next tree. Under the mutex.
    void refreshLocked();
    // Queues a request and wakes the frame.
    void ask(AccessRequest request);
    // The node's provider (made if need be), or null when the id is not in the tree. Under
    // the mutex.
    ComRef<NodeProvider> providerLocked(const Snapshot& snapshot, int index);
    ComRef<RootProvider> rootProvider();
};

// The provider of the window's own element, the fragment root.
class RootProvider final : public IRawElementProviderSimple,
                           public IRawElementProviderFragment,
                           public IRawElementProviderFragmentRoot {
public:
    explicit RootProvider(std::shared_ptr<Bridge> bridge) : bridge_(std::move(bridge)) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE get_ProviderOptions(ProviderOptions* options) override;
    HRESULT STDMETHODCALLTYPE GetPatternProvider(PATTERNID pattern, IUnknown** out) override;
    HRESULT STDMETHODCALLTYPE GetPropertyValue(PROPERTYID property, VARIANT* out) override;
    HRESULT STDMETHODCALLTYPE get_HostRawElementProvider(IRawElementProviderSimple** out) override;

    HRESULT STDMETHODCALLTYPE Navigate(NavigateDirection direction, IRawElementProviderFragment** out) override;
    HRESULT STDMETHODCALLTYPE GetRuntimeId(SAFEARRAY** out) override;
    HRESULT STDMETHODCALLTYPE get_BoundingRectangle(UiaRect* out) override;
    HRESULT STDMETHODCALLTYPE GetEmbeddedFragmentRoots(SAFEARRAY** out) override;
    HRESULT STDMETHODCALLTYPE SetFocus() override;
    HRESULT STDMETHODCALLTYPE get_FragmentRoot(IRawElementProviderFragmentRoot** out) override;

    HRESULT STDMETHODCALLTYPE ElementProviderFromPoint(double x, double y, IRawElementProviderFragment** out) override;
    HRESULT STDMETHODCALLTYPE GetFocus(IRawElementProviderFragment** out) override;

private:
    std::atomic<ULONG> references_{1};
    std::shared_ptr<Bridge> bridge_;
};

// The provider of one node of the tree, with every pattern a node can have; which of them a
// node offers follows its role (QueryInterface and GetPatternProvider ask the same rule).
class NodeProvider final : public IRawElementProviderSimple,
                           public IRawElementProviderFragment,
                           public IInvokeProvider,
                           public IToggleProvider,
                           public IValueProvider,
                           public IRangeValueProvider,
                           public ISelectionProvider,
                           public ISelectionItemProvider,
                           public IExpandCollapseProvider {
public:
    NodeProvider(std::shared_ptr<Bridge> bridge, std::string id, int serial)
        : bridge_(std::move(bridge)), id_(std::move(id)), serial_(serial) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE get_ProviderOptions(ProviderOptions* options) override;
    HRESULT STDMETHODCALLTYPE GetPatternProvider(PATTERNID pattern, IUnknown** out) override;
    HRESULT STDMETHODCALLTYPE GetPropertyValue(PROPERTYID property, VARIANT* out) override;
    HRESULT STDMETHODCALLTYPE get_HostRawElementProvider(IRawElementProviderSimple** out) override;

    HRESULT STDMETHODCALLTYPE Navigate(NavigateDirection direction, IRawElementProviderFragment** out) override;
    HRESULT STDMETHODCALLTYPE GetRuntimeId(SAFEARRAY** out) override;
    HRESULT STDMETHODCALLTYPE get_BoundingRectangle(UiaRect* out) override;
    HRESULT STDMETHODCALLTYPE GetEmbeddedFragmentRoots(SAFEARRAY** out) override;
    HRESULT STDMETHODCALLTYPE SetFocus() override;
    HRESULT STDMETHODCALLTYPE get_FragmentRoot(IRawElementProviderFragmentRoot** out) override;

    HRESULT STDMETHODCALLTYPE Invoke() override;
    HRESULT STDMETHODCALLTYPE Toggle() override;
    HRESULT STDMETHODCALLTYPE get_ToggleState(ToggleState* out) override;
    HRESULT STDMETHODCALLTYPE SetValue(LPCWSTR value) override;
    HRESULT STDMETHODCALLTYPE get_Value(BSTR* out) override;
    HRESULT STDMETHODCALLTYPE get_IsReadOnly(BOOL* out) override;  // Value's and RangeValue's
    HRESULT STDMETHODCALLTYPE SetValue(double value) override;
    HRESULT STDMETHODCALLTYPE get_Value(double* out) override;
    HRESULT STDMETHODCALLTYPE get_Maximum(double* out) override;
    HRESULT STDMETHODCALLTYPE get_Minimum(double* out) override;
    HRESULT STDMETHODCALLTYPE get_LargeChange(double* out) override;
    HRESULT STDMETHODCALLTYPE get_SmallChange(double* out) override;
    HRESULT STDMETHODCALLTYPE GetSelection(SAFEARRAY** out) override;
    HRESULT STDMETHODCALLTYPE get_CanSelectMultiple(BOOL* out) override;
    HRESULT STDMETHODCALLTYPE get_IsSelectionRequired(BOOL* out) override;
    HRESULT STDMETHODCALLTYPE Select() override;
    HRESULT STDMETHODCALLTYPE AddToSelection() override;
    HRESULT STDMETHODCALLTYPE RemoveFromSelection() override;
    HRESULT STDMETHODCALLTYPE get_IsSelected(BOOL* out) override;
    HRESULT STDMETHODCALLTYPE get_SelectionContainer(IRawElementProviderSimple** out) override;
    HRESULT STDMETHODCALLTYPE Expand() override;
    HRESULT STDMETHODCALLTYPE Collapse() override;
    HRESULT STDMETHODCALLTYPE get_ExpandCollapseState(ExpandCollapseState* out) override;

    // The snapshot and the node's index in it, or null when the node is gone.
    std::shared_ptr<const Snapshot> find(int& index) const;
    // Asks for `action` on the node when it offers it: UIA's answers for gone, disabled and
    // not offered otherwise.
    HRESULT request(AccessAction action, std::string text = {}, double number = 0);

private:
    std::atomic<ULONG> references_{1};
    std::shared_ptr<Bridge> bridge_;
    const std::string id_;
    const int serial_;
};

// Which patterns a role offers.
bool offersPattern(const AccessNode& node, PATTERNID pattern);
int controlType(AccessRole role);

// A new reference to `provider`'s interface I (for handing back through an out parameter).
template <typename I, typename P>
I* handOut(const ComRef<P>& provider) {
    if (!provider) return nullptr;
    provider->AddRef();
    return static_cast<I*>(provider.get());
}

}  // namespace vlr::platform::uia
