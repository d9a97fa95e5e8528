/*******************************************************************************************
*  desktop_win32.cpp — the taskbar's signs of a long job, for Windows
*
*  While a job runs the window's taskbar button shows progress without an end, so a player
*  who looks at another window still sees that the build goes on; when a job ends while the
*  window is behind others, its button flashes until the player brings it forward.
*  The taskbar is reached through COM, initialised once on the window's thread.
*******************************************************************************************/
#include "platform/platform.h"

#include <windows.h>
#include <objbase.h>
#include <shobjidl.h>

namespace vlr::platform {

namespace {

// The taskbar's interface, made on first use; null when the system has none (no shell
// running, or a COM error), and then not asked for again.
ITaskbarList3* taskbar() {
    static ITaskbarList3* list = [] {
        ITaskbarList3* made = nullptr;
        // S_FALSE: already initialised on this thread, which is as good.
        if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return made;
        if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                                    reinterpret_cast<void**>(&made))))
            return static_cast<ITaskbarList3*>(nullptr);
        if (FAILED(made->HrInit())) {
            made->Release();
            return static_cast<ITaskbarList3*>(nullptr);
        }
        return made;
    }();
    return list;  // kept for the life of the process, like the window it serves
}

}  // namespace

void showBusyOnTaskbar(void* nativeWindow, bool busy) {
    if (nativeWindow == nullptr) return;
    if (ITaskbarList3* list = taskbar())
        list->SetProgressState(static_cast<HWND>(nativeWindow), busy ? TBPF_INDETERMINATE : TBPF_NOPROGRESS);
}

bool flashUntilFront(void* nativeWindow) {
    if (nativeWindow == nullptr) return true;
    FLASHWINFO flash{};
    flash.cbSize = sizeof flash;
    flash.hwnd = static_cast<HWND>(nativeWindow);
    flash.dwFlags = FLASHW_ALL | FLASHW_TIMERNOFG;  // until the window comes to the front
    FlashWindowEx(&flash);
    return true;
}

}  // namespace vlr::platform
