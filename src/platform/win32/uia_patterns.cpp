/*******************************************************************************************
*  uia_patterns.cpp — what a reader can do with a node: press, toggle, set, select, open
*
*  Each role offers the patterns that its control has on Windows' own controls. A pattern's
*  action is never carried out here: it becomes a request for the frame, which runs it as the
*  user's own input would, and the next tree shows the outcome.
*******************************************************************************************/
#include "platform/win32/uia_provider.h"

#include <algorithm>
#include <cmath>

#include "platform/win32/wide.h"

namespace vlr::platform::uia {

namespace {

// A node's interface for a pattern, or null when the node does not offer it.
IUnknown* patternInterface(NodeProvider* self, PATTERNID pattern) {
    switch (pattern) {
    case UIA_InvokePatternId: return static_cast<IInvokeProvider*>(self);
    case UIA_TogglePatternId: return static_cast<IToggleProvider*>(self);
    case UIA_ValuePatternId: return static_cast<IValueProvider*>(self);
    case UIA_RangeValuePatternId: return static_cast<IRangeValueProvider*>(self);
    case UIA_SelectionPatternId: return static_cast<ISelectionProvider*>(self);
    case UIA_SelectionItemPatternId: return static_cast<ISelectionItemProvider*>(self);
    case UIA_ExpandCollapsePatternId: return static_cast<IExpandCollapseProvider*>(self);
    default: return nullptr;
    }
}

PATTERNID patternOf(REFIID iid) {
    if (iid == __uuidof(IInvokeProvider)) return UIA_InvokePatternId;
    if (iid == __uuidof(IToggleProvider)) return UIA_TogglePatternId;
    if (iid == __uuidof(IValueProvider)) return UIA_ValuePatternId;
    if (iid == __uuidof(IRangeValueProvider)) return UIA_RangeValuePatternId;
    if (iid == __uuidof(ISelectionProvider)) return UIA_SelectionPatternId;
    if (iid == __uuidof(ISelectionItemProvider)) return UIA_SelectionItemPatternId;
    if (iid == __uuidof(IExpandCollapseProvider)) return UIA_ExpandCollapsePatternId;
    return 0;
}

}  // namespace

int controlType(AccessRole role) {
    switch (role) {
    case AccessRole::kTabList: return kTabType;
    case AccessRole::kTab: return kTabItemType;
    case AccessRole::kButton: return kButtonType;
    case AccessRole::kLink: return kHyperlinkType;
    case AccessRole::kField: return kEditType;
    case AccessRole::kComboBox: return kComboBoxType;
    case AccessRole::kSwitch: return kButtonType;  // with Toggle, as Windows' own toggle switches
    case AccessRole::kRadioGroup: return kGroupType;
    case AccessRole::kRadio: return kRadioButtonType;
    case AccessRole::kSlider: return kSliderType;
    case AccessRole::kListItem: return kListItemType;
    case AccessRole::kHeading: return kTextType;
    case AccessRole::kText: return kTextType;
    }
    return kTextType;
}

bool offersPattern(const AccessNode& node, PATTERNID pattern) {
    const AccessRole role = node.role;
    switch (pattern) {
    case UIA_InvokePatternId:
        return role == AccessRole::kButton || role == AccessRole::kLink || role == AccessRole::kTab ||
               role == AccessRole::kListItem;
    case UIA_TogglePatternId: return role == AccessRole::kSwitch;
    case UIA_ValuePatternId: return role == AccessRole::kField || role == AccessRole::kComboBox;
    case UIA_RangeValuePatternId: return role == AccessRole::kSlider;
    case UIA_SelectionPatternId: return role == AccessRole::kTabList || role == AccessRole::kRadioGroup;
    case UIA_SelectionItemPatternId: return role == AccessRole::kTab || role == AccessRole::kRadio;
    case UIA_ExpandCollapsePatternId: return role == AccessRole::kComboBox;
    default: return false;
    }
}

HRESULT NodeProvider::QueryInterface(REFIID iid, void** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IRawElementProviderSimple)) {
        *out = static_cast<IRawElementProviderSimple*>(this);
    } else if (iid == __uuidof(IRawElementProviderFragment)) {
        *out = static_cast<IRawElementProviderFragment*>(this);
    } else if (const PATTERNID pattern = patternOf(iid); pattern != 0) {
        int index = 0;
        auto snapshot = find(index);
        if (snapshot && offersPattern(snapshot->tree.nodes[index], pattern)) *out = patternInterface(this, pattern);
    }
    if (*out == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

HRESULT NodeProvider::GetPatternProvider(PATTERNID pattern, IUnknown** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    int index = 0;
    auto snapshot = find(index);
    if (!snapshot) return kElementGone;
    if (offersPattern(snapshot->tree.nodes[index], pattern)) {
        *out = patternInterface(this, pattern);
        AddRef();
    }
    return S_OK;
}

HRESULT NodeProvider::request(AccessAction action, std::string text, double number) {
    int index = 0;
    auto snapshot = find(index);
    if (!snapshot) return kElementGone;
    const AccessNode& node = snapshot->tree.nodes[index];
    if ((node.states & kAccessDisabled) != 0) return kElementDisabled;
    const bool offered = (node.actions & action) != 0 ||
                         (action == kAccessFocus && (node.states & kAccessFocusable) != 0);
    if (!offered) return kInvalidOperation;
    bridge_->ask(AccessRequest{node.id, action, std::move(text), number});
    return S_OK;
}

// ---- Invoke, Toggle ----

HRESULT NodeProvider::Invoke() { return request(kAccessPress); }

HRESULT NodeProvider::Toggle() { return request(kAccessToggle); }

HRESULT NodeProvider::get_ToggleState(ToggleState* out) {
    if (out == nullptr) return E_POINTER;
    int index = 0;
    auto snapshot = find(index);
    if (!snapshot) return kElementGone;
    *out = (snapshot->tree.nodes[index].states & kAccessChecked) != 0 ? ToggleState_On : ToggleState_Off;
    return S_OK;
}

// ---- Value (fields; select boxes show their choice) ----

HRESULT NodeProvider::SetValue(LPCWSTR value) {
    if (value == nullptr) return E_INVALIDARG;
    const std::string text = narrow(value, wcslen(value));
    if (text.empty() && value[0] != L'\0') return E_INVALIDARG;  // not valid UTF-16
    return request(kAccessSetValue, text);
}

HRESULT NodeProvider::get_Value(BSTR* out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    int index = 0;
    auto snapshot = find(index);
    if (!snapshot) return kElementGone;
    const std::wstring wide = widen(snapshot->tree.nodes[index].value);
    *out = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT NodeProvider::get_IsReadOnly(BOOL* out) {
    if (out == nullptr) return E_POINTER;
    int index = 0;
    auto snapshot = find(index);
    if (!snapshot) return kElementGone;
    *out = (snapshot->tree.nodes[index].actions & kAccessSetValue) == 0;
    return S_OK;
}

// ---- RangeValue (sliders) ----

HRESULT NodeProvider::SetValue(double value) {
    int index = 0;
    auto snapshot = find(index);
    if (!snapshot) return kElementGone;
    const AccessNode& node = snapshot->tree.nodes[index];
    if (!std::isfinite(value) || value < node.minimum || value > node.maximum) return E_INVALIDARG;
    return request(kAccessSetValue, {}, value);
}

namespace {

// One of a slider's numbers, read from the latest tree.
template <typename Read>
HRESULT sliderNumber(const NodeProvider& self, double* out, Read read) {
    if (out == nullptr) return E_POINTER;
    int index = 0;
    auto snapshot = self.find(index);
    if (!snapshot) return kElementGone;
    *out = read(snapshot->tree.nodes[index]);
    return S_OK;
}

}  // namespace

HRESULT NodeProvider::get_Value(double* out) {
    return sliderNumber(*this, out, [](const AccessNode& node) { return node.number; });
}

HRESULT NodeProvider::get_Maximum(double* out) {
    return sliderNumber(*this, out, [](const AccessNode& node) { return node.maximum; });
}

HRESULT NodeProvider::get_Minimum(double* out) {
    return sliderNumber(*this, out, [](const AccessNode& node) { return node.minimum; });
}

HRESULT NodeProvider::get_SmallChange(double* out) {
    return sliderNumber(*this, out, [](const AccessNode& node) { return node.step; });
}

HRESULT NodeProvider::get_LargeChange(double* out) {
    // A tenth of the range, in whole steps.
    return sliderNumber(*this, out, [](const AccessNode& node) {
        const double tenth = (node.maximum - node.minimum) / 10;
        return node.step > 0 ? node.step * std::max(1.0, std::round(tenth / node.step)) : tenth;
    });
}

// ---- Selection (the tab row, a row of choices) ----

HRESULT NodeProvider::GetSelection(SAFEARRAY** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    int index = 0;
    auto snapshot = find(index);
    if (!snapshot) return kElementGone;
    std::vector<ComRef<NodeProvider>> chosen;
    {
        std::lock_guard lock(bridge_->mutex);
        for (int child = snapshot->links[index].first; child >= 0; child = snapshot->links[child].next) {
            if ((snapshot->tree.nodes[child].states & kAccessSelected) == 0) continue;
            if (auto provider = bridge_->providerLocked(*snapshot, child)) chosen.push_back(std::move(provider));
        }
    }
    SAFEARRAY* array = SafeArrayCreateVector(VT_UNKNOWN, 0, static_cast<ULONG>(chosen.size()));
    if (array == nullptr) return E_OUTOFMEMORY;
    for (LONG i = 0; i < static_cast<LONG>(chosen.size()); ++i) {
        IUnknown* element = static_cast<IRawElementProviderSimple*>(chosen[i].get());
        SafeArrayPutElement(array, &i, element);  // takes a reference of its own
    }
    *out = array;
    return S_OK;
}

HRESULT NodeProvider::get_CanSelectMultiple(BOOL* out) {
    if (out == nullptr) return E_POINTER;
    *out = FALSE;
    return S_OK;
}

HRESULT NodeProvider::get_IsSelectionRequired(BOOL* out) {
    if (out == nullptr) return E_POINTER;
    *out = TRUE;
    return S_OK;
}

// ---- SelectionItem (a tab, a choice) ----

HRESULT NodeProvider::Select() {
    BOOL selected = FALSE;
    if (HRESULT result = get_IsSelected(&selected); FAILED(result)) return result;
    return selected ? S_OK : request(kAccessPress);
}

HRESULT NodeProvider::AddToSelection() {
    BOOL selected = FALSE;
    if (HRESULT result = get_IsSelected(&selected); FAILED(result)) return result;
    return selected ? S_OK : kInvalidOperation;  // one choice only
}

HRESULT NodeProvider::RemoveFromSelection() {
    BOOL selected = FALSE;
    if (HRESULT result = get_IsSelected(&selected); FAILED(result)) return result;
    return selected ? kInvalidOperation : S_OK;  // one choice is always on
}

HRESULT NodeProvider::get_IsSelected(BOOL* out) {
    if (out == nullptr) return E_POINTER;
    int index = 0;
    auto snapshot = find(index);
    if (!snapshot) return kElementGone;
    *out = (snapshot->tree.nodes[index].states & kAccessSelected) != 0;
    return S_OK;
}

HRESULT NodeProvider::get_SelectionContainer(IRawElementProviderSimple** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    int index = 0;
    auto snapshot = find(index);
    if (!snapshot) return kElementGone;
    int container = snapshot->tree.nodes[index].parent;
    while (container >= 0 && !offersPattern(snapshot->tree.nodes[container], UIA_SelectionPatternId))
        container = snapshot->tree.nodes[container].parent;
    std::lock_guard lock(bridge_->mutex);
    *out = handOut<IRawElementProviderSimple>(bridge_->providerLocked(*snapshot, container));
    return S_OK;
}

// ---- ExpandCollapse (select boxes) ----

HRESULT NodeProvider::Expand() { return request(kAccessExpand); }

HRESULT NodeProvider::Collapse() { return request(kAccessCollapse); }

HRESULT NodeProvider::get_ExpandCollapseState(ExpandCollapseState* out) {
    if (out == nullptr) return E_POINTER;
    int index = 0;
    auto snapshot = find(index);
    if (!snapshot) return kElementGone;
    *out = (snapshot->tree.nodes[index].states & kAccessExpanded) != 0 ? ExpandCollapseState_Expanded
                                                                       : ExpandCollapseState_Collapsed;
    return S_OK;
}

}  // namespace vlr::platform::uia
