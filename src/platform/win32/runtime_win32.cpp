/*******************************************************************************************
*  runtime_win32.cpp — downloading, hashing and unpacking the first-start archives on Windows
*
*  WinINet with our own read loop (cache entry dropped and bypassed, so no stale copy is used;
*  a size bound, a stall rule and a deadline), CNG's SHA-256 over 64 KiB blocks, and the
*  system's own tar.exe, which reads zip archives.
*******************************************************************************************/
#include "platform/platform.h"
#include "platform/win32/wide.h"

#include <climits>
#include <cwchar>

#include <windows.h>
#include <bcrypt.h>
#include <wininet.h>

#include "platform/win32/owned.h"

namespace vlr::platform {

namespace {

using NetHandle = Owned<HINTERNET, InternetCloseHandle>;  // a WinINet session or request

bool startsWith(const std::wstring& text, const wchar_t* prefix) {
    return _wcsnicmp(text.c_str(), prefix, wcslen(prefix)) == 0;
}

}  // namespace

std::string findProgram(const std::string& name) {
    std::wstring buffer(MAX_PATH, L'\0');
    DWORD length = SearchPathW(nullptr, widen(name).c_str(), L".exe", static_cast<DWORD>(buffer.size()), buffer.data(),
                               nullptr);
    if (length == 0 || length >= buffer.size()) return {};
    buffer.resize(length);
    int count = WideCharToMultiByte(CP_UTF8, 0, buffer.data(), static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(count > 0 ? count : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, buffer.data(), static_cast<int>(length), utf8.data(), count, nullptr, nullptr);
    return utf8;
}

bool runtimeFromSystem() { return false; }

bool downloadToFile(const std::string& url, const std::string& path, const DownloadLimits& limits,
                    const DownloadProgress& progress) {
    // Our own read loop rather than the URL download service: a cancel from its progress
    // callback is taken late there (Wine wrote a gigabyte past a 1 MiB bound before it
    // stopped), while here not one byte past the bound is written.
    const std::wstring address = widen(url);
    const bool secure = startsWith(address, L"https://");
    if (!secure && !startsWith(address, L"http://")) return false;
    DeleteUrlCacheEntryW(address.c_str());

    NetHandle session(InternetOpenW(L"Velocrash Rebuilt", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (session.value == nullptr) return false;
    // A silent server ends a read after the stall time; a slow one is judged below.
    DWORD timeout = static_cast<DWORD>(limits.stallSeconds) * 1000;
    InternetSetOptionW(session.value, INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof timeout);
    InternetSetOptionW(session.value, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
    const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                        INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_COOKIES;
    NetHandle request(InternetOpenUrlW(session.value, address.c_str(), nullptr, 0, flags, 0));
    if (request.value == nullptr) return false;

    // Redirects are followed, but what started encrypted must end encrypted.
    std::wstring landed(4096, L'\0');
    DWORD landedBytes = static_cast<DWORD>(landed.size() * sizeof(wchar_t));
    if (!InternetQueryOptionW(request.value, INTERNET_OPTION_URL, landed.data(), &landedBytes)) return false;
    landed.resize(wcsnlen(landed.c_str(), landed.size()));
    if (secure && !startsWith(landed, L"https://")) return false;

    DWORD status = 0, size = sizeof status;
    if (!HttpQueryInfoW(request.value, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) ||
        status >= 400)
        return false;
    DWORD length = 0;
    size = sizeof length;
    if (!HttpQueryInfoW(request.value, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length, &size, nullptr))
        length = 0;
    if (length > limits.maxBytes) return false;

    KernelHandle file(CreateFileW(widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    if (file.value == nullptr) return false;
    static thread_local char block[65536];
    const ULONGLONG start = GetTickCount64();
    ULONGLONG windowStart = start;
    std::uint64_t received = 0, windowBytes = 0;
    for (;;) {
        DWORD got = 0;
        if (!InternetReadFile(request.value, block, sizeof block, &got)) return false;
        if (got == 0) return true;
        received += got;
        if (received > limits.maxBytes) return false;
        DWORD written = 0;
        if (!WriteFile(file.value, block, got, &written, nullptr) || written != got) return false;
        const ULONGLONG now = GetTickCount64();
        if (now - start >= static_cast<ULONGLONG>(limits.deadlineSeconds) * 1000) return false;
        if (now - windowStart >= static_cast<ULONGLONG>(limits.stallSeconds) * 1000) {
            if (received - windowBytes < static_cast<std::uint64_t>(limits.stallRate) * limits.stallSeconds) return false;
            windowStart = now;
            windowBytes = received;
        }
        if (progress) progress(received, length);
    }
}

std::string sha256File(const std::string& path) {
    HANDLE file = CreateFileW(widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool good = BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) &&
                BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0));
    static thread_local unsigned char block[65536];
    while (good) {
        DWORD got = 0;
        if (!ReadFile(file, block, sizeof block, &got, nullptr)) {
            good = false;
        } else if (got == 0) {
            break;
        } else {
            good = BCRYPT_SUCCESS(BCryptHashData(hash, block, got, 0));
        }
    }
    unsigned char digest[32];
    good = good && BCRYPT_SUCCESS(BCryptFinishHash(hash, digest, sizeof digest, 0));
    if (hash != nullptr) BCryptDestroyHash(hash);
    if (algorithm != nullptr) BCryptCloseAlgorithmProvider(algorithm, 0);
    CloseHandle(file);
    if (!good) return {};
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (unsigned char byte : digest) {
        text += kHex[byte >> 4];
        text += kHex[byte & 15];
    }
    return text;
}

int unpackArchive(const std::string& archive, const std::string& folder, const std::string& workFolder) {
    wchar_t system[MAX_PATH] = {};
    // Zero is a failure and a length past the buffer a folder that did not fit: either way an
    // empty or cut folder would start "\tar.exe" from wherever the search lands.
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return -1;
    // "<system>\tar.exe" -xf "<archive>" -C "<folder>": both paths may hold spaces.
    std::wstring line = L"\"" + std::wstring(system) + L"\\tar.exe\" -xf \"" + widen(archive) + L"\" -C \"" +
                        widen(folder) + L"\"";
    const std::wstring work = widen(workFolder);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                        work.empty() ? nullptr : work.c_str(), &startup, &info))
        return -1;
    CloseHandle(info.hThread);
    WaitForSingleObject(info.hProcess, INFINITE);
    DWORD code = static_cast<DWORD>(-1);
    if (!GetExitCodeProcess(info.hProcess, &code)) code = static_cast<DWORD>(-1);
    CloseHandle(info.hProcess);
    return static_cast<int>(code);
}

}  // namespace vlr::platform
