/*******************************************************************************************
*  uia_api.h — the parts of UI Automation's provider side that the toolchain's headers lack
*
*  The cross compiler's headers declare the element provider interfaces but none of the
*  control patterns, no control type or event ids and not every function of
*  uiautomationcore.dll; what the window's providers use is declared here, as the system
*  defines it (each interface guarded, so a fuller header that declares it wins). Also
*  ComRef, the one owner of a COM reference in the bridge's files.
*******************************************************************************************/
#pragma once

#include <windows.h>
#include <ole2.h>
#include <uiautomationcore.h>
#include <uiautomationclient.h>

#include <utility>

enum ToggleState { ToggleState_Off = 0, ToggleState_On = 1, ToggleState_Indeterminate = 2 };
enum ExpandCollapseState {
    ExpandCollapseState_Collapsed = 0,
    ExpandCollapseState_Expanded = 1,
    ExpandCollapseState_PartiallyExpanded = 2,
    ExpandCollapseState_LeafNode = 3,
};
enum StructureChangeType { StructureChangeType_ChildrenInvalidated = 2 };
enum NotificationKind { NotificationKind_Other = 4 };
enum NotificationProcessing { NotificationProcessing_All = 2 };

#ifndef __IInvokeProvider_INTERFACE_DEFINED__
#define __IInvokeProvider_INTERFACE_DEFINED__
MIDL_INTERFACE("54fcb24b-e18e-47a2-b4d3-eccbe77599a2")
IInvokeProvider : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Invoke() = 0;
};
__CRT_UUID_DECL(IInvokeProvider, 0x54fcb24b, 0xe18e, 0x47a2, 0xb4, 0xd3, 0xec, 0xcb, 0xe7, 0x75, 0x99, 0xa2)
#endif

#ifndef __IToggleProvider_INTERFACE_DEFINED__
#define __IToggleProvider_INTERFACE_DEFINED__
MIDL_INTERFACE("56d00bd0-c4f4-433c-a836-1a52a57e0892")
IToggleProvider : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Toggle() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ToggleState(enum ToggleState* state) = 0;
};
__CRT_UUID_DECL(IToggleProvider, 0x56d00bd0, 0xc4f4, 0x433c, 0xa8, 0x36, 0x1a, 0x52, 0xa5, 0x7e, 0x08, 0x92)
#endif

#ifndef __IValueProvider_INTERFACE_DEFINED__
#define __IValueProvider_INTERFACE_DEFINED__
MIDL_INTERFACE("c7935180-6fb3-4201-b174-7df73adbf64a")
IValueProvider : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetValue(LPCWSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Value(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsReadOnly(BOOL* readOnly) = 0;
};
__CRT_UUID_DECL(IValueProvider, 0xc7935180, 0x6fb3, 0x4201, 0xb1, 0x74, 0x7d, 0xf7, 0x3a, 0xdb, 0xf6, 0x4a)
#endif

#ifndef __IRangeValueProvider_INTERFACE_DEFINED__
#define __IRangeValueProvider_INTERFACE_DEFINED__
MIDL_INTERFACE("36dc7aef-33e6-4691-afe1-2be7274b3d33")
IRangeValueProvider : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetValue(double value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Value(double* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsReadOnly(BOOL* readOnly) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Maximum(double* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Minimum(double* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_LargeChange(double* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_SmallChange(double* value) = 0;
};
__CRT_UUID_DECL(IRangeValueProvider, 0x36dc7aef, 0x33e6, 0x4691, 0xaf, 0xe1, 0x2b, 0xe7, 0x27, 0x4b, 0x3d, 0x33)
#endif

#ifndef __ISelectionProvider_INTERFACE_DEFINED__
#define __ISelectionProvider_INTERFACE_DEFINED__
MIDL_INTERFACE("fb8b03af-3bdf-48d4-bd36-1a65793be168")
ISelectionProvider : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetSelection(SAFEARRAY** selection) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CanSelectMultiple(BOOL* multiple) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsSelectionRequired(BOOL* required) = 0;
};
__CRT_UUID_DECL(ISelectionProvider, 0xfb8b03af, 0x3bdf, 0x48d4, 0xbd, 0x36, 0x1a, 0x65, 0x79, 0x3b, 0xe1, 0x68)
#endif

#ifndef __ISelectionItemProvider_INTERFACE_DEFINED__
#define __ISelectionItemProvider_INTERFACE_DEFINED__
MIDL_INTERFACE("2acad808-b2d4-452d-a407-91ff1ad167b2")
ISelectionItemProvider : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Select() = 0;
    virtual HRESULT STDMETHODCALLTYPE AddToSelection() = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveFromSelection() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsSelected(BOOL* selected) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_SelectionContainer(IRawElementProviderSimple** container) = 0;
};
__CRT_UUID_DECL(ISelectionItemProvider, 0x2acad808, 0xb2d4, 0x452d, 0xa4, 0x07, 0x91, 0xff, 0x1a, 0xd1, 0x67, 0xb2)
#endif

#ifndef __IExpandCollapseProvider_INTERFACE_DEFINED__
#define __IExpandCollapseProvider_INTERFACE_DEFINED__
MIDL_INTERFACE("d847d3a5-cab0-4a98-8c32-ecb45c59ad24")
IExpandCollapseProvider : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Expand() = 0;
    virtual HRESULT STDMETHODCALLTYPE Collapse() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ExpandCollapseState(enum ExpandCollapseState* state) = 0;
};
__CRT_UUID_DECL(IExpandCollapseProvider, 0xd847d3a5, 0xcab0, 0x4a98, 0x8c, 0x32, 0xec, 0xb4, 0x5c, 0x59, 0xad, 0x24)
#endif

// The functions of uiautomationcore.dll that the bridge calls (the toolchain's declarations
// do not compile as C++, and miss some); every one of them is in each version the program
// can meet. UiaRaiseNotificationEvent and UiaDisconnectProvider are looked up at run time:
// older systems and Wine lack them.
extern "C" {
BOOL WINAPI UiaClientsAreListening(void);
HRESULT WINAPI UiaHostProviderFromHwnd(HWND window, IRawElementProviderSimple** provider);
LRESULT WINAPI UiaReturnRawElementProvider(HWND window, WPARAM wParam, LPARAM lParam,
                                           IRawElementProviderSimple* provider);
HRESULT WINAPI UiaRaiseAutomationEvent(IRawElementProviderSimple* provider, EVENTID id);
HRESULT WINAPI UiaRaiseAutomationPropertyChangedEvent(IRawElementProviderSimple* provider, PROPERTYID id,
                                                      VARIANT before, VARIANT after);
HRESULT WINAPI UiaRaiseStructureChangedEvent(IRawElementProviderSimple* provider, enum StructureChangeType type,
                                             int* runtimeId, int length);
}

namespace vlr::platform::uia {

// Ids and codes the toolchain's headers do not define (or only in the header left out).
constexpr HRESULT kElementGone = static_cast<HRESULT>(0x80040201);     // UIA_E_ELEMENTNOTAVAILABLE
constexpr HRESULT kElementDisabled = static_cast<HRESULT>(0x80040200); // UIA_E_ELEMENTNOTENABLED
constexpr HRESULT kInvalidOperation = static_cast<HRESULT>(0x80131509);  // UIA_E_INVALIDOPERATION
constexpr int kAppendRuntimeId = 3;
constexpr LONG kRootObjectId = -25;

enum : int {
    kButtonType = 50000,
    kComboBoxType = 50003,
    kEditType = 50004,
    kHyperlinkType = 50005,
    kListItemType = 50007,
    kRadioButtonType = 50013,
    kSliderType = 50015,
    kTabType = 50018,
    kTabItemType = 50019,
    kTextType = 50020,
    kGroupType = 50026,
    kWindowType = 50032,

    kStructureChangedEvent = 20002,
    kFocusChangedEvent = 20005,
    kElementSelectedEvent = 20012,
    kLiveRegionChangedEvent = 20024,

    kLivePolite = 1,          // LiveSetting
    kHeadingLevel1 = 80051,   // HeadingLevel (2 is 80052, and so on)
};

// One reference to a COM object, released when it goes.
template <typename T>
class ComRef {
public:
    ComRef() = default;
    // Takes over a reference the caller already holds (as returned by a COM call).
    static ComRef adopt(T* object) {
        ComRef made;
        made.object_ = object;
        return made;
    }
    // Takes a reference of its own.
    static ComRef share(T* object) {
        if (object != nullptr) object->AddRef();
        return adopt(object);
    }
    ComRef(const ComRef& other) : object_(other.object_) {
        if (object_ != nullptr) object_->AddRef();
    }
    ComRef(ComRef&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    ComRef& operator=(ComRef other) noexcept {
        std::swap(object_, other.object_);
        return *this;
    }
    ~ComRef() {
        if (object_ != nullptr) object_->Release();
    }
    T* get() const { return object_; }
    T* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }
    T** out() {  // for a call that hands back a new reference
        *this = ComRef();
        return &object_;
    }
    T* detach() { return std::exchange(object_, nullptr); }  // the reference goes to the caller

private:
    T* object_ = nullptr;
};

}  // namespace vlr::platform::uia
