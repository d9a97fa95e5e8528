/*******************************************************************************************
*  system_win32.cpp — platform.h for Windows
*
*  The program speaks UTF-8; every call here converts to UTF-16 on the way in and back on the
*  way out. Children start with CreateProcessW and no console window, the one-instance rule is
*  a named mutex, and errors without a window go to a message box.
*
*  Sections: text · program and environment · files · processes · one instance per name ·
*            odds and ends
*******************************************************************************************/
#include "platform/platform.h"
#include "platform/palette.h"
#include "platform/win32/wide.h"

#include <climits>
#include <string>
#include <utility>

#include <windows.h>
#include <dwmapi.h>

#include "platform/win32/owned.h"

namespace vlr::platform {

// ---- text ----

std::wstring widen(const std::string& text) {
    if (text.empty() || text.size() > INT_MAX) return {};
    int count = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (count <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(count), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), count);
    return wide;
}

std::string narrow(const wchar_t* text, std::size_t length) {
    if (length == 0 || length > INT_MAX) return {};
    int count = WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    if (count <= 0) return {};
    std::string utf8(static_cast<std::size_t>(count), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, static_cast<int>(length), utf8.data(), count, nullptr, nullptr);
    return utf8;
}

// ---- program and environment ----

std::string programPath() {
    // The result is cut to the buffer without saying so; a full buffer means "try bigger".
    std::wstring path = readGrowing<wchar_t>(MAX_PATH, [](wchar_t* buffer, std::size_t size) -> long long {
        DWORD length = GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(size));
        return length == 0 ? -1 : static_cast<long long>(length);
    });
    return narrow(path);
}

void setEnv(const std::string& name, const std::string& value) {
    SetEnvironmentVariableW(widen(name).c_str(), widen(value).c_str());
}

void removeEnv(const std::string& name) {
    SetEnvironmentVariableW(widen(name).c_str(), nullptr);
}

std::optional<std::string> getEnv(const std::string& name) {
    std::wstring wideName = widen(name);
    std::wstring buffer(64, L'\0');
    for (int attempt = 0; attempt < 8; ++attempt) {
        SetLastError(ERROR_SUCCESS);
        DWORD length = GetEnvironmentVariableW(wideName.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            // Zero is both "not set" and "set to nothing"; only the error code tells them apart.
            if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
            return std::string();
        }
        if (length < buffer.size()) return narrow(buffer.data(), length);
        buffer.assign(length, L'\0');  // too small: length is the size needed, with the terminator
    }
    return std::nullopt;  // changing under our feet faster than we can read it
}

static bool isDirectory(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string tempFolder() {
    // GetTempPath2W is newer than some systems we run on (Wine 8 among them): look it up.
    using TempPathFunction = DWORD(WINAPI*)(DWORD, LPWSTR);
    TempPathFunction tempPath = GetTempPathW;
    if (HMODULE kernel = GetModuleHandleW(L"kernel32.dll")) {
        if (FARPROC found = GetProcAddress(kernel, "GetTempPath2W")) {
            tempPath = reinterpret_cast<TempPathFunction>(reinterpret_cast<void*>(found));
        }
    }
    std::wstring buffer(MAX_PATH + 2, L'\0');
    DWORD length = tempPath(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0 || length >= buffer.size()) return {};
    buffer.resize(length);
    if (buffer.back() != L'\\' && buffer.back() != L'/') buffer += L'\\';
    if (!isDirectory(buffer)) return {};
    return narrow(buffer);
}

PrivateFolder sessionFolder() { return {tempFolder(), {}}; }

char pathSeparator() { return '\\'; }

// ---- files ----

Exists fileExists(const std::string& path) {
    if (GetFileAttributesW(widen(path).c_str()) != INVALID_FILE_ATTRIBUTES) return Exists::Yes;
    DWORD error = GetLastError();
    return (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) ? Exists::No : Exists::Unknown;
}

FileTime lastWriteTime(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(widen(path).c_str(), GetFileExInfoStandard, &data)) return kMinFileTime;
    return static_cast<FileTime>((static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                                 data.ftLastWriteTime.dwLowDateTime);
}

bool readFile(const std::string& path, std::string& out) {
    out.clear();
    // Share everything: the launcher may be rewriting the file while we read it.
    KernelHandle file(CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.value == nullptr) return false;
    char chunk[65536];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.value, chunk, sizeof chunk, &got, nullptr)) {
            out.clear();
            return false;
        }
        if (got == 0) return true;
        out.append(chunk, got);
    }
}

bool removeFile(const std::string& path) {
    DeleteFileW(widen(path).c_str());
    return fileExists(path) == Exists::No;
}

namespace {

// One entry whose attributes are known. A reparse point (junction, symbolic link, mount point)
// is removed as the entry it is and never entered: the standard library's remove_all here
// takes a junction for a folder and empties whatever it points to.
void removeEntry(const std::wstring& path, DWORD attributes) {
    if (attributes & FILE_ATTRIBUTE_READONLY) SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        DeleteFileW(path.c_str());
        return;
    }
    if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        WIN32_FIND_DATAW entry{};
        FindHandle find(FindFirstFileExW((path + L"\\*").c_str(), FindExInfoBasic, &entry, FindExSearchNameMatch,
                                         nullptr, 0));
        if (find.value != nullptr) {
            do {
                const std::wstring name = entry.cFileName;
                if (name == L"." || name == L"..") continue;
                removeEntry(path + L"\\" + name, entry.dwFileAttributes);
            } while (FindNextFileW(find.value, &entry));
        }
    }
    RemoveDirectoryW(path.c_str());
}

}  // namespace

bool removeTree(const std::string& path) {
    if (path.empty()) return false;
    const std::wstring wide = widen(path);
    const DWORD attributes = GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) removeEntry(wide, attributes);
    return fileExists(path) == Exists::No;
}

bool moveFolder(const std::string& from, const std::string& to) {
    const std::wstring source = widen(from), target = widen(to);
    // No flags: never over an existing target, never as a copy. A virus scanner that is still
    // reading the files just unpacked refuses the rename for a moment: try again a few times.
    for (DWORD attempt = 1;; ++attempt) {
        if (MoveFileExW(source.c_str(), target.c_str(), 0)) return true;
        const DWORD error = GetLastError();
        if (attempt == 8 || (error != ERROR_ACCESS_DENIED && error != ERROR_SHARING_VIOLATION)) return false;
        Sleep(attempt * 100);
    }
}

// ---- processes ----

void Process::reset() {
    // Closing our handle leaves the child running.
    if (native_ != 0) CloseHandle(reinterpret_cast<HANDLE>(native_));
    native_ = 0;
    reaped = false;
    reapedCode = 0;
    unwatchable = false;
}

// CreateProcessW as both kinds of start use it: no application name (the command line's first
// argument is searched for), no inherited handles, no console window, our environment.
static bool create(const std::vector<std::string>& args, const std::string& workFolder, PROCESS_INFORMATION& info) {
    if (args.empty() || args[0].empty()) return false;
    std::wstring line = widen(quoteCommandLine(args));  // CreateProcessW may write into it
    std::wstring folder = widen(workFolder);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    info = PROCESS_INFORMATION{};
    return CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                          folder.empty() ? nullptr : folder.c_str(), &startup, &info) != FALSE;
}

Process startProcess(const std::vector<std::string>& args) {
    PROCESS_INFORMATION info;
    if (!create(args, std::string(), info)) return Process();
    if (info.hThread) CloseHandle(info.hThread);
    Process process(reinterpret_cast<std::intptr_t>(info.hProcess));
    // Wine reports success without a handle when it hands a Unix program to the host.
    process.unwatchable = info.hProcess == nullptr;
    return process;
}

ExitStatus pollExit(Process& process) {
    if (process.reaped) return {true, process.reapedCode};
    if (!process.valid()) return {};
    HANDLE handle = reinterpret_cast<HANDLE>(process.native());
    if (WaitForSingleObject(handle, 0) != WAIT_OBJECT_0) return {};
    DWORD code = 0;
    if (!GetExitCodeProcess(handle, &code)) return {};
    process.reaped = true;
    process.reapedCode = static_cast<std::int32_t>(code);  // crash status codes come out negative
    return {true, process.reapedCode};
}

std::int64_t processId(const Process& process) {
    return process.valid() ? GetProcessId(reinterpret_cast<HANDLE>(process.native())) : 0;
}

Exists processExists(std::int64_t id) {
    if (id <= 0 || id > MAXDWORD) return Exists::Unknown;
    HANDLE handle = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(id));
    if (handle == nullptr) {
        const DWORD error = GetLastError();
        if (error == ERROR_INVALID_PARAMETER) return Exists::No;  // no process has that id
        return error == ERROR_ACCESS_DENIED ? Exists::Yes : Exists::Unknown;
    }
    // A process that ended lives on as an object while someone holds a handle to it.
    const bool ended = WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
    CloseHandle(handle);
    return ended ? Exists::No : Exists::Yes;
}

void startDetached(const std::vector<std::string>& args, const std::string& workFolder) {
    PROCESS_INFORMATION info;
    if (!create(args, workFolder, info)) return;
    if (info.hThread) CloseHandle(info.hThread);
    if (info.hProcess) CloseHandle(info.hProcess);
}

// ---- one instance per name ----

void InstanceLock::release() {
    // The mutex object goes away with its last handle; the next instance then creates it anew.
    // One that was waited for is held until released, however many handles are closed.
    if (owned) ReleaseMutex(reinterpret_cast<HANDLE>(native));
    if (native != 0) CloseHandle(reinterpret_cast<HANDLE>(native));
    native = 0;
    owned = false;
    first = false;
}

InstanceLock takeInstanceLock(const std::string& name) {
    InstanceLock lock;
    HANDLE mutex = CreateMutexW(nullptr, FALSE, (L"Local\\" + widen(name)).c_str());
    DWORD error = GetLastError();  // read before anything else can change it
    lock.native = reinterpret_cast<std::intptr_t>(mutex);
    lock.first = mutex != nullptr && error != ERROR_ALREADY_EXISTS;
    // Access denied means the mutex exists and belongs to an instance with other rights: that
    // one holds it. Any other failure is no instance at all, and waiting for one would be vain.
    if (mutex == nullptr && error != ERROR_ACCESS_DENIED)
        lock.problem = "Could not create the mutex that keeps one window per installation (Windows error " +
                       std::to_string(error) + ").";
    return lock;
}

InstanceLock waitForLock(const std::string& name) {
    InstanceLock lock;
    HANDLE mutex = CreateMutexW(nullptr, FALSE, (L"Local\\" + widen(name)).c_str());
    if (mutex == nullptr) {
        lock.problem = "Could not create the mutex that keeps two starts of one installation apart (Windows error " +
                       std::to_string(GetLastError()) + ").";
        return lock;
    }
    lock.native = reinterpret_cast<std::intptr_t>(mutex);
    // Abandoned: the holder was killed. It is ours now, and what it left is cleared by us.
    const DWORD waited = WaitForSingleObject(mutex, INFINITE);
    lock.owned = lock.first = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
    if (!lock.first)
        lock.problem = "Could not wait for the other start of this installation (Windows error " +
                       std::to_string(GetLastError()) + ").";
    return lock;
}

// ---- odds and ends ----

void allowForegroundHandOff() { AllowSetForegroundWindow(ASFW_ANY); }

void showError(const std::string& caption, const std::string& text) {
    MessageBoxW(nullptr, widen(text).c_str(), widen(caption).c_str(), MB_ICONERROR | MB_OK);
}

void useDarkTitleBar(void* nativeWindow) {
    if (nativeWindow == nullptr) return;
    HWND window = static_cast<HWND>(nativeWindow);
    // Attribute numbers rather than names: older SDK headers lack some of them. Systems that
    // do not know an attribute refuse it, and a light title bar is no harm.
    const BOOL dark = TRUE;
    const COLORREF caption = RGB(kRgbWindowBg.r, kRgbWindowBg.g, kRgbWindowBg.b);
    const COLORREF captionText = RGB(kRgbTextPrimary.r, kRgbTextPrimary.g, kRgbTextPrimary.b);
    DwmSetWindowAttribute(window, 20, &dark, sizeof dark);
    DwmSetWindowAttribute(window, 35, &caption, sizeof caption);
    DwmSetWindowAttribute(window, 36, &captionText, sizeof captionText);
}

}  // namespace vlr::platform
