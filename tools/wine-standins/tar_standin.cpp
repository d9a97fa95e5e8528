/*******************************************************************************************
*  tar_standin.cpp — tar.exe for Wine, which has none (a test and demo stand-in only)
*
*  Windows ships the archive tool as tar.exe in its system folder; Wine does not. This small
*  Windows program takes its place in a Wine prefix ("tar.exe" -xf "<archive>" -C "<folder>")
*  and forwards the work to the host's bsdtar, the same tool. Like the real one it is a narrow
*  program: its arguments come from the ANSI command line, so a character outside the code
*  page arrives as '?' or a look-alike, and relative names are taken from its current folder.
*  Wine starts Unix programs but gives no handle to wait on, so the forwarded command writes
*  its exit code to a file that this program waits for and ends with. Never part of the product.
*******************************************************************************************/
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using UnixName = char*(CDECL*)(LPCWSTR);
using DosName = WCHAR*(CDECL*)(LPCSTR);

std::string quoted(const std::string& text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'')
            out.append("'\\''");
        else
            out.push_back(c);
    }
    return out + "'";
}

std::string unixPath(UnixName toUnix, const std::wstring& path) {
    char* name = toUnix(path.c_str());
    if (name == nullptr) return {};
    std::string result(name);
    HeapFree(GetProcessHeap(), 0, name);
    return result;
}

int fail(const char* text) {
    std::fprintf(stderr, "tar stand-in: %s\n", text);
    return 2;
}

// An argument as the real tool sees it: ANSI text, made whole against the current folder.
std::wstring fromAnsi(const char* text) {
    const int count = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (count <= 1) return {};
    std::wstring wide(static_cast<std::size_t>(count), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, wide.data(), count);
    wide.resize(static_cast<std::size_t>(count - 1));
    const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (size == 0) return {};
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) return {};
    full.resize(length);
    return full;
}

}  // namespace

int main(int argc, char** argv) {
    std::wstring archive, folder;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::string(argv[i]) == "-xf") archive = fromAnsi(argv[++i]);
        else if (std::string(argv[i]) == "-C") folder = fromAnsi(argv[++i]);
    }
    if (archive.empty() || folder.empty()) return fail("usage: tar.exe -xf <archive> -C <folder>");

    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    auto toUnix = reinterpret_cast<UnixName>(reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_unix_file_name")));
    auto toDos = reinterpret_cast<DosName>(reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_dos_file_name")));
    if (toUnix == nullptr || toDos == nullptr) return fail("this stand-in only runs under Wine");

    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring base = std::wstring(temp) + L"vlr-tar-" + std::to_wstring(GetCurrentProcessId());
    const std::wstring script = base + L".sh";
    const std::wstring status = base + L".status";
    DeleteFileW(status.c_str());

    const std::string statusUnix = unixPath(toUnix, status);
    const std::string body = "bsdtar -xf " + quoted(unixPath(toUnix, archive)) + " -C " +
                             quoted(unixPath(toUnix, folder)) + "\necho $? > " + quoted(statusUnix + ".tmp") +
                             "\nmv " + quoted(statusUnix + ".tmp") + " " + quoted(statusUnix) + "\n";
    FILE* file = _wfopen(script.c_str(), L"wb");
    if (file == nullptr) return fail("cannot write the forwarding script");
    std::fwrite(body.data(), 1, body.size(), file);
    std::fclose(file);

    WCHAR* shell = toDos("/bin/sh");
    if (shell == nullptr) return fail("no /bin/sh on the host");
    std::wstring line = L"\"" + std::wstring(shell) + L"\" \"";
    HeapFree(GetProcessHeap(), 0, shell);
    const std::string scriptUnix = unixPath(toUnix, script);
    line += std::wstring(scriptUnix.begin(), scriptUnix.end()) + L"\"";

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &info)) {
        DeleteFileW(script.c_str());
        return fail("cannot start the host's /bin/sh");
    }
    if (info.hThread) CloseHandle(info.hThread);
    if (info.hProcess) CloseHandle(info.hProcess);

    // Up to ten minutes: the largest archive unpacks in seconds.
    int code = -1;
    for (int waited = 0; waited < 600000; waited += 20) {
        FILE* result = _wfopen(status.c_str(), L"rb");
        if (result != nullptr) {
            if (std::fscanf(result, "%d", &code) != 1) code = -1;
            std::fclose(result);
            break;
        }
        Sleep(20);
    }
    DeleteFileW(status.c_str());
    DeleteFileW(script.c_str());
    return code;
}
