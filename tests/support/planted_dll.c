/*******************************************************************************************
*  planted_dll.c — a stand-in for a DLL planted beside the Windows program (tests only)
*
*  Copied into the program's folder under the names of the DLLs it uses that are not known
*  DLLs. When loaded it leaves "<its own path>.loaded" behind, so a test sees that it ran.
*  It exports the functions the program calls from those DLLs, so a program that loads it
*  does not fail at once and hide that.
*******************************************************************************************/
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID unused) {
    (void)unused;
    if (reason == DLL_PROCESS_ATTACH) {
        wchar_t path[MAX_PATH + 16];
        DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
        if (length > 0 && length < MAX_PATH) {
            lstrcatW(path, L".loaded");
            HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
            if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        }
    }
    return TRUE;
}

#define STUB(name) __declspec(dllexport) long long name(void) { return 0; }
STUB(DwmSetWindowAttribute)
STUB(timeBeginPeriod)
STUB(timeEndPeriod)
STUB(DeleteUrlCacheEntryW)
STUB(BCryptOpenAlgorithmProvider)
STUB(BCryptCloseAlgorithmProvider)
STUB(BCryptCreateHash)
STUB(BCryptDestroyHash)
STUB(BCryptHashData)
STUB(BCryptFinishHash)
