/*******************************************************************************************
*  runtime_win32.cpp — downloading, hashing and unpacking the first-start archives on Windows
*
*  WinINet with our own read loop (cache entry dropped and bypassed, so no stale copy is used;
*  a size bound, and a stall rule and a deadline kept by a watchdog thread), CNG's SHA-256
*  over 64 KiB blocks, and the system's own tar.exe, which reads zip archives.
*******************************************************************************************/
#include "platform/platform.h"
#include "platform/win32/wide.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdint>
#include <cwchar>
#include <mutex>
#include <thread>
#include <utility>

#include <windows.h>
#include <bcrypt.h>
#include <wininet.h>

#include "platform/win32/owned.h"

namespace vlr::platform {

namespace {

bool startsWith(const std::wstring& text, const wchar_t* prefix) {
    return _wcsnicmp(text.c_str(), prefix, wcslen(prefix)) == 0;
}

// Ends a download from outside when the deadline passes or a stall window closes with too few
// bytes, whatever call the reading thread is blocked in (the connect, the headers, a read):
// closing a WinINet handle is the system's way to end a call blocked on it. Owns the session,
// connection and request handles and closes them when it trips, else when it goes out of scope.
class Watchdog {
public:
    using Clock = std::chrono::steady_clock;

    explicit Watchdog(const DownloadLimits& limits)
        : start_(Clock::now()),
          deadlineSeconds_(std::max(1, limits.deadlineSeconds)),
          stallSeconds_(std::max(1, limits.stallSeconds)),
          stallBytes_(static_cast<std::uint64_t>(std::max(1, limits.stallRate)) *
                      static_cast<std::uint64_t>(stallSeconds_)) {
        thread_ = std::thread([this] { run(); });
    }
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> hold(lock_);
            done_ = true;
        }
        wake_.notify_one();
        thread_.join();
        closeAll(handles_);
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    // The shorter of the two rules: no single wait needs to last longer.
    DWORD longestWaitMs() const { return static_cast<DWORD>(std::min(deadlineSeconds_, stallSeconds_)) * 1000; }

    // Takes a handle into its care (children after their parent); null when there is none or
    // the watchdog has already tripped (the handle then closed at once).
    HINTERNET adopt(HINTERNET handle) {
        if (handle == nullptr) return nullptr;
        std::lock_guard<std::mutex> hold(lock_);
        HINTERNET* free = std::find(handles_.begin(), handles_.end(), nullptr);
        if (tripped_ || free == handles_.end()) {
            InternetCloseHandle(handle);
            return nullptr;
        }
        *free = handle;
        return handle;
    }
    // The body bytes received so far.
    void count(std::uint64_t received) {
        std::lock_guard<std::mutex> hold(lock_);
        received_ = received;
    }
    bool tripped() {
        std::lock_guard<std::mutex> hold(lock_);
        return tripped_;
    }

private:
    using Handles = std::array<HINTERNET, 3>;  // session, connection, request; null: none

    void run() {
        std::unique_lock<std::mutex> hold(lock_);
        const Clock::time_point deadline = start_ + std::chrono::seconds(deadlineSeconds_);
        Clock::time_point windowEnd = start_ + std::chrono::seconds(stallSeconds_);
        std::uint64_t windowStartBytes = 0;
        for (;;) {
            if (wake_.wait_until(hold, std::min(deadline, windowEnd), [this] { return done_; })) return;
            const Clock::time_point now = Clock::now();
            if (now >= deadline) break;
            if (now >= windowEnd) {
                if (received_ - windowStartBytes < stallBytes_) break;
                windowStartBytes = received_;
                windowEnd = now + std::chrono::seconds(stallSeconds_);
            }
        }
        tripped_ = true;
        // Closed outside the lock: a close may wait for the call it ends, and that call's
        // thread asks tripped() next.
        const Handles handles = std::exchange(handles_, Handles{});
        hold.unlock();
        closeAll(handles);
    }
    static void closeAll(const Handles& handles) {
        for (auto handle = handles.rbegin(); handle != handles.rend(); ++handle)
            if (*handle != nullptr) InternetCloseHandle(*handle);
    }

    std::mutex lock_;
    std::condition_variable wake_;
    Handles handles_{};
    const Clock::time_point start_;
    const int deadlineSeconds_, stallSeconds_;
    const std::uint64_t stallBytes_;
    std::uint64_t received_ = 0;
    bool done_ = false, tripped_ = false;
    std::thread thread_;
};

}  // namespace

std::string findProgram(const std::string& name) {
    std::wstring buffer(MAX_PATH, L'\0');
    DWORD length = SearchPathW(nullptr, widen(name).c_str(), L".exe", static_cast<DWORD>(buffer.size()), buffer.data(),
                               nullptr);
    if (length == 0 || length >= buffer.size()) return {};
    return narrow(buffer.data(), length);
}

bool runtimeFromSystem() { return false; }

bool downloadToFile(const std::string& url, const std::string& path, const DownloadLimits& limits,
                    const DownloadProgress& progress) {
    // Our own read loop rather than the URL download service: a cancel from its progress
    // callback is taken late there (Wine wrote a gigabyte past a 1 MiB bound before it
    // stopped), while here not one byte past the bound is written.
    const std::wstring address = widen(url);
    const bool secure = secureAddress(url);
    if (!secure && !startsWith(address, L"http://")) return false;
    DeleteUrlCacheEntryW(address.c_str());

    // Connect, request and send one by one rather than in one open-URL call: only a request
    // handle takes a receive time-out, and the headers' wait needs one (Wine cannot end a call
    // blocked in it by closing its handle).
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = 1;
    if (!InternetCrackUrlW(address.c_str(), 0, 0, &parts) || parts.dwHostNameLength == 0) return false;
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring object = std::wstring(parts.lpszUrlPath, parts.dwUrlPathLength) +
                          std::wstring(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (object.empty()) object = L"/";

    Watchdog watch(limits);
    const HINTERNET session =
        watch.adopt(InternetOpenW(L"Velocrash Rebuilt", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (session == nullptr) return false;
    const HINTERNET connection = watch.adopt(
        InternetConnectW(session, host.c_str(), parts.nPort, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (connection == nullptr) return false;
    const DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                        INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_COOKIES | (secure ? INTERNET_FLAG_SECURE : 0);
    const HINTERNET request =
        watch.adopt(HttpOpenRequestW(connection, L"GET", object.c_str(), nullptr, nullptr, nullptr, flags, 0));
    if (request == nullptr) return false;
    DWORD timeout = watch.longestWaitMs();
    const DWORD options[] = {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                             INTERNET_OPTION_RECEIVE_TIMEOUT};
    for (HINTERNET handle : {session, request})
        for (DWORD option : options) InternetSetOptionW(handle, option, &timeout, sizeof timeout);
    if (!HttpSendRequestW(request, nullptr, 0, nullptr, 0) || watch.tripped()) return false;

    // Redirects are followed, but what started encrypted must end encrypted.
    std::wstring landed(4096, L'\0');
    DWORD landedBytes = static_cast<DWORD>(landed.size() * sizeof(wchar_t));
    if (!InternetQueryOptionW(request, INTERNET_OPTION_URL, landed.data(), &landedBytes)) return false;
    landed.resize(wcsnlen(landed.c_str(), landed.size()));
    if (secure && !startsWith(landed, L"https://")) return false;

    DWORD status = 0, size = sizeof status;
    if (!HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) ||
        status >= 400)
        return false;
    DWORD length = 0;
    size = sizeof length;
    if (!HttpQueryInfoW(request, HTTP_QUERY_CONTENT_LENGTH | HTTP_QUERY_FLAG_NUMBER, &length, &size, nullptr))
        length = 0;
    if (length > limits.maxBytes) return false;

    KernelHandle file(CreateFileW(widen(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                nullptr));
    if (file.value == nullptr) return false;
    static thread_local char block[65536];
    std::uint64_t received = 0;
    for (;;) {
        // A read returns only when its whole buffer is full, so ask first what has come and
        // read no more than that: a trickle then returns to us byte by byte.
        DWORD available = 0;
        if (!InternetQueryDataAvailable(request, &available, 0, 0) || watch.tripped()) return false;
        DWORD got = 0;
        // None available means the end; a read of one byte confirms it.
        const DWORD want = available == 0 ? 1 : std::min<DWORD>(available, sizeof block);
        if (!InternetReadFile(request, block, want, &got) || watch.tripped()) return false;
        // A body shorter than its announced length was cut off, not finished.
        if (got == 0) return length == 0 || received == length;
        received += got;
        if (received > limits.maxBytes) return false;
        DWORD written = 0;
        if (!WriteFile(file.value, block, got, &written, nullptr) || written != got) return false;
        watch.count(received);
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
    const std::string utf8 = tarCommandLine(narrow(system, length), archive, folder, workFolder);
    if (utf8.empty()) return -1;
    std::wstring line = widen(utf8);  // CreateProcessW may write into it
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
