/*******************************************************************************************
*  uia_client.c — a small UI Automation client for the window tests (never part of the product)
*
*      vlr_uia_client.exe "<window title>" [seconds]
*
*  Finds the visible top-level window whose title holds the text given (waiting up to
*  `seconds`, 20 by default), asks UI Automation for its element and prints it and every
*  element below it, one line each in UTF-8: the control type's name, a tab, the element's
*  name, and " [focused]" / " [selected]" / " [on]" when UI Automation reports so (the last
*  two not on Wine).
*
*  The way in is IUIAutomation (CoCreateInstance of CUIAutomation, ElementFromHandle, FindAll
*  over the descendants with a true condition; the raw view's walker if FindAll fails). Wine 8
*  has no CUIAutomation: there the client takes the older flat calls that Wine does have
*  (UiaNodeFromHandle, UiaFind, UiaGetPropertyValue), which reach the same providers. Which
*  way was taken is said on standard error.
*
*  The compiler's headers for UI Automation's client side are incomplete, so the interfaces
*  and calls used are declared here, as far as the methods called (in the order of the
*  system's definitions).
*******************************************************************************************/
#define COBJMACROS
#include <windows.h>
#include <ole2.h>
#include <oleauto.h>

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>

typedef struct Automation Automation;
typedef struct Element Element;
typedef struct ElementArray ElementArray;
typedef struct Walker Walker;
typedef IUnknown Condition;

typedef struct AutomationVtbl {
    HRESULT(STDMETHODCALLTYPE* QueryInterface)(Automation*, REFIID, void**);
    ULONG(STDMETHODCALLTYPE* AddRef)(Automation*);
    ULONG(STDMETHODCALLTYPE* Release)(Automation*);
    void* CompareElements;
    void* CompareRuntimeIds;
    void* GetRootElement;
    HRESULT(STDMETHODCALLTYPE* ElementFromHandle)(Automation*, HWND, Element**);
    void* ElementFromPoint;
    void* GetFocusedElement;
    void* GetRootElementBuildCache;
    void* ElementFromHandleBuildCache;
    void* ElementFromPointBuildCache;
    void* GetFocusedElementBuildCache;
    void* CreateTreeWalker;
    void* get_ControlViewWalker;
    void* get_ContentViewWalker;
    HRESULT(STDMETHODCALLTYPE* get_RawViewWalker)(Automation*, Walker**);
    void* get_RawViewCondition;
    void* get_ControlViewCondition;
    void* get_ContentViewCondition;
    void* CreateCacheRequest;
    HRESULT(STDMETHODCALLTYPE* CreateTrueCondition)(Automation*, Condition**);
} AutomationVtbl;
struct Automation {
    const AutomationVtbl* lpVtbl;
};

typedef struct ElementVtbl {
    HRESULT(STDMETHODCALLTYPE* QueryInterface)(Element*, REFIID, void**);
    ULONG(STDMETHODCALLTYPE* AddRef)(Element*);
    ULONG(STDMETHODCALLTYPE* Release)(Element*);
    void* SetFocus;
    void* GetRuntimeId;
    void* FindFirst;
    HRESULT(STDMETHODCALLTYPE* FindAll)(Element*, int scope, Condition*, ElementArray**);
    void* FindFirstBuildCache;
    void* FindAllBuildCache;
    void* BuildUpdatedCache;
    HRESULT(STDMETHODCALLTYPE* GetCurrentPropertyValue)(Element*, int property, VARIANT*);
} ElementVtbl;
struct Element {
    const ElementVtbl* lpVtbl;
};

typedef struct ElementArrayVtbl {
    HRESULT(STDMETHODCALLTYPE* QueryInterface)(ElementArray*, REFIID, void**);
    ULONG(STDMETHODCALLTYPE* AddRef)(ElementArray*);
    ULONG(STDMETHODCALLTYPE* Release)(ElementArray*);
    HRESULT(STDMETHODCALLTYPE* get_Length)(ElementArray*, int*);
    HRESULT(STDMETHODCALLTYPE* GetElement)(ElementArray*, int, Element**);
} ElementArrayVtbl;
struct ElementArray {
    const ElementArrayVtbl* lpVtbl;
};

typedef struct WalkerVtbl {
    HRESULT(STDMETHODCALLTYPE* QueryInterface)(Walker*, REFIID, void**);
    ULONG(STDMETHODCALLTYPE* AddRef)(Walker*);
    ULONG(STDMETHODCALLTYPE* Release)(Walker*);
    void* GetParentElement;
    HRESULT(STDMETHODCALLTYPE* GetFirstChildElement)(Walker*, Element*, Element**);
    void* GetLastChildElement;
    HRESULT(STDMETHODCALLTYPE* GetNextSiblingElement)(Walker*, Element*, Element**);
} WalkerVtbl;
struct Walker {
    const WalkerVtbl* lpVtbl;
};

static const CLSID kAutomationClass = {0xff48dba4, 0x60ef, 0x4201, {0xaa, 0x87, 0x54, 0x10, 0x3e, 0xef, 0x59, 0x4e}};
static const IID kAutomationInterface = {0x30cbe57d, 0xd9d0, 0x452a, {0xab, 0x13, 0x7a, 0xc5, 0xac, 0x48, 0x25, 0xee}};

enum {
    kTreeScopeDescendants = 4,
    kControlTypeProperty = 30003,
    kNameProperty = 30005,
    kHasKeyboardFocusProperty = 30008,
    kIsSelectedProperty = 30079,
    kToggleStateProperty = 30086,
};

static const char* typeName(int type) {
    static const char* names[] = {
        "Button", "Calendar", "CheckBox", "ComboBox", "Edit", "Hyperlink", "Image", "ListItem", "List",
        "Menu", "MenuBar", "MenuItem", "ProgressBar", "RadioButton", "ScrollBar", "Slider", "Spinner",
        "StatusBar", "Tab", "TabItem", "Text", "ToolBar", "ToolTip", "Tree", "TreeItem", "Custom", "Group",
        "Thumb", "DataGrid", "DataItem", "Document", "SplitButton", "Window", "Pane", "Header",
        "HeaderItem", "Table", "TitleBar", "Separator"};
    if (type >= 50000 && type < 50000 + (int)(sizeof names / sizeof names[0])) return names[type - 50000];
    return "Unknown";
}

static void printUtf8(const wchar_t* text) {
    char buffer[2048];
    int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, sizeof buffer, NULL, NULL);
    if (length > 1) fwrite(buffer, 1, (size_t)(length - 1), stdout);
}

static void printElement(Element* element) {
    VARIANT value;
    int type = 0;
    VariantInit(&value);
    if (SUCCEEDED(element->lpVtbl->GetCurrentPropertyValue(element, kControlTypeProperty, &value)) &&
        value.vt == VT_I4)
        type = value.lVal;
    VariantClear(&value);
    fputs(typeName(type), stdout);
    fputc('\t', stdout);
    if (SUCCEEDED(element->lpVtbl->GetCurrentPropertyValue(element, kNameProperty, &value)) &&
        value.vt == VT_BSTR && value.bstrVal != NULL)
        printUtf8(value.bstrVal);
    VariantClear(&value);
    if (SUCCEEDED(element->lpVtbl->GetCurrentPropertyValue(element, kHasKeyboardFocusProperty, &value)) &&
        value.vt == VT_BOOL && value.boolVal)
        fputs(" [focused]", stdout);
    VariantClear(&value);
    if (SUCCEEDED(element->lpVtbl->GetCurrentPropertyValue(element, kIsSelectedProperty, &value)) &&
        value.vt == VT_BOOL && value.boolVal)
        fputs(" [selected]", stdout);
    VariantClear(&value);
    if (SUCCEEDED(element->lpVtbl->GetCurrentPropertyValue(element, kToggleStateProperty, &value)) &&
        value.vt == VT_I4 && value.lVal == 1)
        fputs(" [on]", stdout);
    VariantClear(&value);
    fputc('\n', stdout);
}

/* Depth first over the raw view, for a UI Automation without FindAll. */
static int walk(Walker* walker, Element* parent, int depth) {
    Element* child = NULL;
    int count = 0;
    if (depth > 64 || FAILED(walker->lpVtbl->GetFirstChildElement(walker, parent, &child))) return 0;
    while (child != NULL) {
        Element* next = NULL;
        printElement(child);
        count += 1 + walk(walker, child, depth + 1);
        if (FAILED(walker->lpVtbl->GetNextSiblingElement(walker, child, &next))) next = NULL;
        child->lpVtbl->Release(child);
        child = next;
    }
    return count;
}

/* ---- the flat client calls (uiautomationcoreapi.h of the system; not in the compiler's) ---- */

typedef void* Node;
struct UiaCondition {
    int ConditionType; /* ConditionType_True = 0 */
};
struct UiaCacheRequest {
    struct UiaCondition* pViewCondition;
    int Scope;
    int* pProperties;
    int cProperties;
    int* pPatterns;
    int cPatterns;
    int automationElementMode;
};
struct UiaFindParams {
    int MaxDepth;
    BOOL FindFirst;
    BOOL ExcludeRoot;
    struct UiaCondition* pFindCondition;
};
typedef HRESULT(WINAPI* NodeFromHandle)(HWND, Node*);
typedef HRESULT(WINAPI* Find)(Node, struct UiaFindParams*, struct UiaCacheRequest*, SAFEARRAY**, SAFEARRAY**,
                              SAFEARRAY**);
typedef BOOL(WINAPI* NodeRelease)(Node);

typedef HRESULT(WINAPI* NodeFromVariant)(VARIANT*, Node*);
typedef HRESULT(WINAPI* PropertyValue)(Node, int, VARIANT*);

static NodeFromVariant nodeFromVariant;
static PropertyValue propertyValue;

/* Wine 8 leaves a cache request's values empty: each node is asked itself. */
static void printNode(SAFEARRAY* data, LONG row, NodeRelease release) {
    VARIANT value;
    LONG at[2];
    Node node = NULL;
    at[0] = row;
    at[1] = 0;
    VariantInit(&value);
    if (FAILED(SafeArrayGetElement(data, at, &value)) || FAILED(nodeFromVariant(&value, &node)) || node == NULL) {
        VariantClear(&value);
        fputs("Unknown\t\n", stdout);
        return;
    }
    VariantClear(&value);
    fputs(SUCCEEDED(propertyValue(node, kControlTypeProperty, &value)) && value.vt == VT_I4 ? typeName(value.lVal)
                                                                                           : "Unknown",
          stdout);
    VariantClear(&value);
    fputc('\t', stdout);
    if (SUCCEEDED(propertyValue(node, kNameProperty, &value)) && value.vt == VT_BSTR && value.bstrVal != NULL)
        printUtf8(value.bstrVal);
    VariantClear(&value);
    if (SUCCEEDED(propertyValue(node, kHasKeyboardFocusProperty, &value)) && value.vt == VT_BOOL && value.boolVal)
        fputs(" [focused]", stdout);
    VariantClear(&value);
    /* Selection and toggle state are pattern properties, which Wine 8 does not answer here;
       each question is a call into the window's process, so they are not asked. */
    fputc('\n', stdout);
    release(node);
}

/* The window's element and its descendants through UiaNodeFromHandle and UiaFind, each
   element's values taken in the same call (a cache request). */
static int flatWalk(HWND window) {
    HMODULE core = LoadLibraryExW(L"uiautomationcore.dll", NULL, LOAD_LIBRARY_SEARCH_SYSTEM32);
    NodeFromHandle fromHandle = core ? (NodeFromHandle)(void*)GetProcAddress(core, "UiaNodeFromHandle") : NULL;
    Find find = core ? (Find)(void*)GetProcAddress(core, "UiaFind") : NULL;
    NodeRelease release = core ? (NodeRelease)(void*)GetProcAddress(core, "UiaNodeRelease") : NULL;
    nodeFromVariant = core ? (NodeFromVariant)(void*)GetProcAddress(core, "UiaHUiaNodeFromVariant") : NULL;
    propertyValue = core ? (PropertyValue)(void*)GetProcAddress(core, "UiaGetPropertyValue") : NULL;
    struct UiaCondition all = {0};
    struct UiaCacheRequest request = {&all, 1 /* TreeScope_Element */, NULL, 0, NULL, 0, 1 /* full */};
    struct UiaFindParams params = {-1, FALSE, FALSE, &all};
    SAFEARRAY *data = NULL, *offsets = NULL, *structures = NULL;
    Node node = NULL;
    LONG first = 0, last = -1, row;
    HRESULT result;

    if (!fromHandle || !find || !release || !nodeFromVariant || !propertyValue) {
        fputs("uiautomationcore.dll lacks the flat client calls\n", stderr);
        return 6;
    }
    result = fromHandle(window, &node);
    if (FAILED(result) || node == NULL) {
        fprintf(stderr, "UiaNodeFromHandle failed: 0x%08lx\n", (unsigned long)result);
        return 5;
    }
    result = find(node, &params, &request, &data, &offsets, &structures);
    if (FAILED(result) || data == NULL) {
        fprintf(stderr, "UiaFind failed: 0x%08lx\n", (unsigned long)result);
        release(node);
        return 7;
    }
    SafeArrayGetLBound(data, 1, &first);
    SafeArrayGetUBound(data, 1, &last);
    for (row = first; row <= last; row++) printNode(data, row, release);
    fprintf(stderr, "UiaFind: %ld elements\n", (long)(last - first + 1));
    fflush(stdout);
    SafeArrayDestroy(data);
    if (offsets != NULL) SafeArrayDestroy(offsets);
    if (structures != NULL) SafeArrayDestroy(structures);
    release(node);
    return 0;
}

struct Search {
    const wchar_t* title;
    HWND found;
};

static BOOL CALLBACK matchTitle(HWND window, LPARAM data) {
    struct Search* search = (struct Search*)data;
    wchar_t title[512];
    if (!IsWindowVisible(window) || GetWindowTextW(window, title, 512) == 0 || wcsstr(title, search->title) == NULL)
        return TRUE;
    search->found = window;
    return FALSE;
}

static BOOL CALLBACK listTitle(HWND window, LPARAM data) {
    wchar_t title[512];
    char text[1024];
    (void)data;
    if (GetWindowTextW(window, title, 512) > 0 &&
        WideCharToMultiByte(CP_UTF8, 0, title, -1, text, sizeof text, NULL, NULL) > 0)
        fprintf(stderr, "  %s: %s\n", IsWindowVisible(window) ? "visible" : "hidden", text);
    return TRUE;
}

/* The first visible top-level window whose title holds `title`. */
static HWND findWindow(const wchar_t* title) {
    struct Search search = {title, NULL};
    EnumWindows(matchTitle, (LPARAM)&search);
    return search.found;
}

int wmain(int argc, wchar_t** argv) {
    HWND window = NULL;
    Automation* automation = NULL;
    Element* root = NULL;
    Condition* all = NULL;
    ElementArray* found = NULL;
    HRESULT result;
    int waited = 0, seconds = argc > 2 ? _wtoi(argv[2]) : 20;

    _setmode(_fileno(stdout), _O_BINARY); /* "\n" ends a line, as the test reads them */
    if (argc < 2) {
        fputs("usage: vlr_uia_client <window title> [seconds]\n", stderr);
        return 2;
    }
    while ((window = findWindow(argv[1])) == NULL && waited < seconds * 10) {
        Sleep(100);
        waited++;
    }
    if (window == NULL) {
        fputs("no window with that title; the top-level windows:\n", stderr);
        EnumWindows(listTitle, 0);
        return 3;
    }
    CoInitializeEx(NULL, COINIT_MULTITHREADED);
    result = CoCreateInstance(&kAutomationClass, NULL, CLSCTX_INPROC_SERVER, &kAutomationInterface,
                              (void**)&automation);
    if (result == REGDB_E_CLASSNOTREG) {
                fputs("CUIAutomation is not available: using UiaNodeFromHandle and UiaFind\n", stderr);
        return flatWalk(window);
    }
    if (FAILED(result)) {
        fprintf(stderr, "CoCreateInstance(CUIAutomation) failed: 0x%08lx\n", (unsigned long)result);
        return 4;
    }
    result = automation->lpVtbl->ElementFromHandle(automation, window, &root);
    if (FAILED(result) || root == NULL) {
        fprintf(stderr, "ElementFromHandle failed: 0x%08lx\n", (unsigned long)result);
        return 5;
    }
    printElement(root);
    result = automation->lpVtbl->CreateTrueCondition(automation, &all);
    if (SUCCEEDED(result)) result = root->lpVtbl->FindAll(root, kTreeScopeDescendants, all, &found);
    if (SUCCEEDED(result) && found != NULL) {
        int length = 0, i;
        found->lpVtbl->get_Length(found, &length);
        for (i = 0; i < length; i++) {
            Element* element = NULL;
            if (SUCCEEDED(found->lpVtbl->GetElement(found, i, &element)) && element != NULL) {
                printElement(element);
                element->lpVtbl->Release(element);
            }
        }
        fprintf(stderr, "FindAll: %d elements\n", length);
        found->lpVtbl->Release(found);
    } else {
        Walker* walker = NULL;
        fprintf(stderr, "FindAll failed (0x%08lx): walking the raw view\n", (unsigned long)result);
        if (SUCCEEDED(automation->lpVtbl->get_RawViewWalker(automation, &walker)) && walker != NULL) {
            fprintf(stderr, "walker: %d elements\n", walk(walker, root, 0));
            walker->lpVtbl->Release(walker);
        }
    }
    fflush(stdout);
    if (all != NULL) all->lpVtbl->Release(all);
    root->lpVtbl->Release(root);
    automation->lpVtbl->Release(automation);
    CoUninitialize();
    return 0;
}
