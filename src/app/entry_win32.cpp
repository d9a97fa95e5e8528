/*******************************************************************************************
*  entry_win32.cpp — process entry of the Windows program (GUI subsystem)
*
*  Limits the DLL search to the system folder, turns the UTF-16 command line into UTF-8
*  strings and hands over; nothing else here knows about Windows.
*******************************************************************************************/
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "app/app.h"

static std::string toUtf8(const wchar_t* text) {
    int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return {};
    std::string out(static_cast<size_t>(size - 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    return out;
}

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Before anything can load a DLL: only the system folder is searched, never the program's
    // own (typically the Downloads folder, where a planted DLL would run inside us). The
    // imports that are not known DLLs are delay-loaded, so they come after this too.
    SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    std::vector<std::string> args;
    int count = 0;
    if (wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &count)) {
        for (int i = 0; i < count; ++i) args.push_back(toUtf8(argv[i]));
        LocalFree(argv);
    }
    return vlr::runProgram(args);
}
