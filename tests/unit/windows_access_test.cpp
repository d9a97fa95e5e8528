/*******************************************************************************************
*  windows_access_test.cpp — the window's UI Automation providers, called directly
*
*  Built for the Windows preset only (run under Wine). A small tree is published on a window
*  of the test's own, and the providers are asked what a reader asks: navigation, names,
*  control types and patterns; pressing, setting and toggling become the frame's requests.
*******************************************************************************************/
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/access.h"
#include "platform/win32/access_win32.h"

using namespace vlr::platform;
using vlr::platform::uia::ComRef;

namespace {

AccessNode node(std::string id, AccessRole role, std::string name, int parent, unsigned states = 0,
                unsigned actions = 0) {
    AccessNode made;
    made.id = std::move(id);
    made.role = role;
    made.name = std::move(name);
    made.parent = parent;
    made.states = states;
    made.actions = actions;
    made.x = 10, made.y = 10, made.width = 50, made.height = 20;
    return made;
}

// Tabs, a field, a button (and a disabled one), a switch, a slider, a select box, a notice.
AccessTree sampleTree(const std::string& focused) {
    AccessTree tree;
    tree.title = "Access test";
    auto& n = tree.nodes;
    n.push_back(node("tabs", AccessRole::kTabList, "Pages", -1));
    n.push_back(node("tab.play", AccessRole::kTab, "Play", 0, kAccessSelected | kAccessFocusable, kAccessPress));
    n.push_back(node("tab.settings", AccessRole::kTab, "Settings", 0, kAccessFocusable, kAccessPress));
    n.push_back(node("iso", AccessRole::kField, "Disc image", -1, kAccessFocusable | kAccessEditable,
                     kAccessSetValue | kAccessFocus));
    n.back().value = "game.iso";
    n.push_back(node("play", AccessRole::kButton, "Play", -1, kAccessFocusable, kAccessPress | kAccessFocus));
    n.push_back(node("stop", AccessRole::kButton, "Stop", -1, kAccessFocusable | kAccessDisabled, kAccessPress));
    n.push_back(node("fullscreen", AccessRole::kSwitch, "Full screen", -1, kAccessFocusable | kAccessChecked,
                     kAccessToggle));
    n.push_back(node("volume", AccessRole::kSlider, "Volume", -1, kAccessFocusable, kAccessSetValue));
    n.back().number = 40, n.back().minimum = 0, n.back().maximum = 100, n.back().step = 5;
    n.push_back(node("region", AccessRole::kComboBox, "Region", -1, kAccessFocusable,
                     kAccessExpand | kAccessCollapse));
    n.back().value = "Europe";
    n.push_back(node("notice", AccessRole::kText, "Ready", -1, kAccessLive));
    for (AccessNode& each : n)
        if (each.id == focused) each.states |= kAccessFocused;
    return tree;
}

std::wstring nameOf(IRawElementProviderSimple* element) {
    VARIANT value;
    VariantInit(&value);
    std::wstring name;
    if (SUCCEEDED(element->GetPropertyValue(UIA_NamePropertyId, &value)) && value.vt == VT_BSTR)
        name = value.bstrVal;
    VariantClear(&value);
    return name;
}

int intProperty(IRawElementProviderSimple* element, PROPERTYID property) {
    VARIANT value;
    VariantInit(&value);
    int out = -1;
    if (SUCCEEDED(element->GetPropertyValue(property, &value)) && value.vt == VT_I4) out = value.lVal;
    VariantClear(&value);
    return out;
}

ComRef<IRawElementProviderFragment> go(IRawElementProviderFragment* from, NavigateDirection direction) {
    ComRef<IRawElementProviderFragment> to;
    EXPECT_EQ(from->Navigate(direction, to.out()), S_OK);
    return to;
}

ComRef<IRawElementProviderSimple> simple(IUnknown* element) {
    ComRef<IRawElementProviderSimple> out;
    if (element != nullptr) element->QueryInterface(__uuidof(IRawElementProviderSimple), reinterpret_cast<void**>(out.out()));
    return out;
}

template <typename Pattern>
ComRef<Pattern> pattern(IRawElementProviderSimple* element, PATTERNID id) {
    ComRef<IUnknown> unknown;
    ComRef<Pattern> out;
    if (SUCCEEDED(element->GetPatternProvider(id, unknown.out())) && unknown)
        unknown->QueryInterface(__uuidof(Pattern), reinterpret_cast<void**>(out.out()));
    return out;
}

// The top-level node named `name` (by walking the root's children).
ComRef<IRawElementProviderSimple> child(IRawElementProviderFragment* root, const std::wstring& name) {
    for (auto at = go(root, NavigateDirection_FirstChild); at; at = go(at.get(), NavigateDirection_NextSibling)) {
        auto element = simple(at.get());
        if (nameOf(element.get()) == name) return element;
    }
    return {};
}

class WindowsAccess : public ::testing::Test {
protected:
    void SetUp() override {
        window = CreateWindowExW(0, L"STATIC", L"Access test", 0, 0, 0, 200, 100, HWND_MESSAGE, nullptr, nullptr,
                                 nullptr);
        if (window == nullptr) GTEST_SKIP() << "no window could be made";
        original = GetWindowLongPtrW(window, GWLP_WNDPROC);
        AccessHost host;
        host.window = window;
        host.onFrameThread = [this](std::function<void()> run) {
            ++wakes;
            if (run) run();
        };
        ASSERT_TRUE(startAccess(host));
    }
    void TearDown() override {
        stopAccess();
        if (window != nullptr) DestroyWindow(window);
    }
    HWND window = nullptr;
    LONG_PTR original = 0;
    int wakes = 0;
};

TEST_F(WindowsAccess, ReaderReadsTheTreeAndItsActionsReachTheFrame) {
    // A reader's first question: answered, the frame woken to build a tree, and from now on
    // the bridge listens.
    EXPECT_FALSE(accessListening());
    EXPECT_NE(SendMessageW(window, WM_GETOBJECT, 0, static_cast<LPARAM>(static_cast<LONG>(-25))), 0);
    EXPECT_GE(wakes, 1);
    EXPECT_TRUE(accessListening());

    publishAccessTree(sampleTree("play"));
    auto root = accessRootForTests();
    ASSERT_TRUE(root);
    ComRef<IRawElementProviderFragment> rootFragment;
    ASSERT_EQ(root->QueryInterface(__uuidof(IRawElementProviderFragment), reinterpret_cast<void**>(rootFragment.out())),
              S_OK);

    // The tab row and its tabs: control types, names, selection, and the way back up.
    auto tabs = go(rootFragment.get(), NavigateDirection_FirstChild);
    ASSERT_TRUE(tabs);
    EXPECT_EQ(intProperty(simple(tabs.get()).get(), UIA_ControlTypePropertyId), 50018);  // Tab
    auto first = go(tabs.get(), NavigateDirection_FirstChild);
    ASSERT_TRUE(first);
    EXPECT_EQ(nameOf(simple(first.get()).get()), L"Play");
    EXPECT_EQ(intProperty(simple(first.get()).get(), UIA_ControlTypePropertyId), 50019);  // TabItem
    auto second = go(first.get(), NavigateDirection_NextSibling);
    ASSERT_TRUE(second);
    EXPECT_EQ(nameOf(simple(second.get()).get()), L"Settings");
    EXPECT_FALSE(go(second.get(), NavigateDirection_NextSibling));
    EXPECT_EQ(simple(go(second.get(), NavigateDirection_Parent).get()).get(), simple(tabs.get()).get());
    auto item = pattern<ISelectionItemProvider>(simple(first.get()).get(), UIA_SelectionItemPatternId);
    ASSERT_TRUE(item);
    BOOL selected = FALSE;
    EXPECT_EQ(item->get_IsSelected(&selected), S_OK);
    EXPECT_TRUE(selected);
    auto selection = pattern<ISelectionProvider>(simple(tabs.get()).get(), UIA_SelectionPatternId);
    ASSERT_TRUE(selection);
    SAFEARRAY* chosen = nullptr;
    ASSERT_EQ(selection->GetSelection(&chosen), S_OK);
    LONG upper = -1;
    SafeArrayGetUBound(chosen, 1, &upper);
    EXPECT_EQ(upper, 0) << "one tab selected";
    SafeArrayDestroy(chosen);

    // Patterns follow the role; the focused node is the root's focus.
    auto play = child(rootFragment.get(), L"Play");
    ASSERT_TRUE(play);
    EXPECT_FALSE(pattern<IToggleProvider>(play.get(), UIA_TogglePatternId));
    ComRef<IRawElementProviderFragment> focus;
    ComRef<IRawElementProviderFragmentRoot> fragmentRoot;
    root->QueryInterface(__uuidof(IRawElementProviderFragmentRoot), reinterpret_cast<void**>(fragmentRoot.out()));
    ASSERT_EQ(fragmentRoot->GetFocus(focus.out()), S_OK);
    EXPECT_EQ(simple(focus.get()).get(), play.get());
    VARIANT live;
    VariantInit(&live);
    auto notice = child(rootFragment.get(), L"Ready");
    ASSERT_TRUE(notice);
    notice->GetPropertyValue(UIA_LiveSettingPropertyId, &live);
    EXPECT_EQ(live.vt == VT_I4 ? live.lVal : -1, 1) << "polite";

    // Actions become requests, in order; a disabled button and a number out of range do not.
    EXPECT_TRUE(takeAccessRequests().empty());
    ASSERT_TRUE(pattern<IInvokeProvider>(play.get(), UIA_InvokePatternId));
    EXPECT_EQ(pattern<IInvokeProvider>(play.get(), UIA_InvokePatternId)->Invoke(), S_OK);
    auto field = pattern<IValueProvider>(child(rootFragment.get(), L"Disc image").get(), UIA_ValuePatternId);
    ASSERT_TRUE(field);
    BSTR text = nullptr;
    ASSERT_EQ(field->get_Value(&text), S_OK);
    EXPECT_STREQ(text, L"game.iso");
    SysFreeString(text);
    EXPECT_EQ(field->SetValue(L"d\u00e9mo.iso"), S_OK);
    auto toggle = pattern<IToggleProvider>(child(rootFragment.get(), L"Full screen").get(), UIA_TogglePatternId);
    ASSERT_TRUE(toggle);
    ToggleState state = ToggleState_Off;
    EXPECT_EQ(toggle->get_ToggleState(&state), S_OK);
    EXPECT_EQ(state, ToggleState_On);
    EXPECT_EQ(toggle->Toggle(), S_OK);
    auto volume = pattern<IRangeValueProvider>(child(rootFragment.get(), L"Volume").get(), UIA_RangeValuePatternId);
    ASSERT_TRUE(volume);
    EXPECT_EQ(volume->SetValue(101.0), E_INVALIDARG);
    EXPECT_EQ(volume->SetValue(55.0), S_OK);
    auto stop = pattern<IInvokeProvider>(child(rootFragment.get(), L"Stop").get(), UIA_InvokePatternId);
    ASSERT_TRUE(stop);
    EXPECT_EQ(stop->Invoke(), static_cast<HRESULT>(0x80040200)) << "not enabled";
    auto region = pattern<IValueProvider>(child(rootFragment.get(), L"Region").get(), UIA_ValuePatternId);
    ASSERT_TRUE(region);
    BOOL readOnly = FALSE;
    EXPECT_EQ(region->get_IsReadOnly(&readOnly), S_OK);
    EXPECT_TRUE(readOnly) << "a select box is set by opening it";

    const auto requests = takeAccessRequests();
    ASSERT_EQ(requests.size(), 4u);
    EXPECT_EQ(requests[0].id, "play");
    EXPECT_EQ(requests[0].action, kAccessPress);
    EXPECT_EQ(requests[1].id, "iso");
    EXPECT_EQ(requests[1].action, kAccessSetValue);
    EXPECT_EQ(requests[1].text, "d\xc3\xa9mo.iso");
    EXPECT_EQ(requests[2].id, "fullscreen");
    EXPECT_EQ(requests[2].action, kAccessToggle);
    EXPECT_EQ(requests[3].id, "volume");
    EXPECT_EQ(requests[3].number, 55.0);
    EXPECT_TRUE(takeAccessRequests().empty());
}

TEST_F(WindowsAccess, NodesThatGoAnswerNotAvailableAndTheWindowGetsItsProcedureBack) {
    SendMessageW(window, WM_GETOBJECT, 0, static_cast<LPARAM>(static_cast<LONG>(-25)));
    publishAccessTree(sampleTree("play"));
    auto root = accessRootForTests();
    ASSERT_TRUE(root);
    ComRef<IRawElementProviderFragment> rootFragment;
    root->QueryInterface(__uuidof(IRawElementProviderFragment), reinterpret_cast<void**>(rootFragment.out()));
    auto stop = child(rootFragment.get(), L"Stop");
    auto play = child(rootFragment.get(), L"Play");
    ASSERT_TRUE(stop && play);
    ComRef<IRawElementProviderFragment> playFragment;
    play->QueryInterface(__uuidof(IRawElementProviderFragment), reinterpret_cast<void**>(playFragment.out()));
    SAFEARRAY* before = nullptr;
    ASSERT_EQ(playFragment->GetRuntimeId(&before), S_OK);

    // The focus moves, a notice changes and "Stop" goes: events (no client here) and a kept id.
    AccessTree next = sampleTree("fullscreen");
    next.nodes.erase(next.nodes.begin() + 5);
    next.nodes.back().name = "Installed";
    publishAccessTree(next);
    publishAccessTree(std::move(next));
    VARIANT name;
    VariantInit(&name);
    EXPECT_EQ(stop->GetPropertyValue(UIA_NamePropertyId, &name), static_cast<HRESULT>(0x80040201));
    SAFEARRAY* after = nullptr;
    ASSERT_EQ(playFragment->GetRuntimeId(&after), S_OK);
    LONG at = 1;
    int idBefore = 0, idAfter = -1;
    SafeArrayGetElement(before, &at, &idBefore);
    SafeArrayGetElement(after, &at, &idAfter);
    EXPECT_EQ(idBefore, idAfter) << "an id that stays keeps its runtime id";
    SafeArrayDestroy(before);
    SafeArrayDestroy(after);
    EXPECT_EQ(nameOf(child(rootFragment.get(), L"Installed").get()), L"Installed");

    // Bad trees: a parent after its child and a repeated id are taken, not trusted.
    AccessTree bad;
    bad.nodes.push_back(node("a", AccessRole::kButton, "A", 5, 0, kAccessPress));
    bad.nodes.push_back(node("a", AccessRole::kButton, "A again", 0));
    publishAccessTree(std::move(bad));
    EXPECT_TRUE(child(rootFragment.get(), L"A"));
    EXPECT_EQ(pattern<IInvokeProvider>(child(rootFragment.get(), L"A").get(), UIA_InvokePatternId)->Invoke(), S_OK);
    EXPECT_EQ(takeAccessRequests().at(0).id, "a");

    stopAccess();
    EXPECT_EQ(GetWindowLongPtrW(window, GWLP_WNDPROC), original);
    EXPECT_EQ(play->GetPropertyValue(UIA_NamePropertyId, &name), static_cast<HRESULT>(0x80040201));
    EXPECT_FALSE(accessListening());
    EXPECT_TRUE(takeAccessRequests().empty());
}

}  // namespace
