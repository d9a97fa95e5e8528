/*******************************************************************************************
*  runtime_win32.cpp — downloading, hashing and unpacking the first-start archives on Windows
*
*  The system's URL download service (cache entry dropped first, so no stale copy is used),
*  CNG's SHA-256 over 64 KiB blocks, and the system's own tar.exe, which reads zip archives.
*******************************************************************************************/
#include "platform/platform.h"
#include "platform/win32/wide.h"

#include <climits>

#include <windows.h>
#include <bcrypt.h>
#include <urlmon.h>
#include <wininet.h>

namespace vlr::platform {

namespace {

// Feeds the download service's progress reports to the caller and holds the download to its
// limits: answering a report with E_ABORT cancels the transfer. Everything else is declined.
class ProgressCallback final : public IBindStatusCallback {
public:
    ProgressCallback(const DownloadProgress& progress, const DownloadLimits& limits, bool secure)
        : progress_(progress), limits_(limits), secure_(secure), start_(GetTickCount64()), windowStart_(start_) {}

    bool overLimit() const { return overLimit_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
        if (object == nullptr) return E_POINTER;
        if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_IBindStatusCallback)) {
            *object = static_cast<IBindStatusCallback*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // Lives on the caller's stack for the whole call: counting is only for form.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnProgress(ULONG progress, ULONG progressMax, ULONG status, LPCWSTR text) override {
        if (status == BINDSTATUS_REDIRECTING && secure_ && text != nullptr && _wcsnicmp(text, L"https:", 6) != 0)
            return stop();
        const bool data = status == BINDSTATUS_DOWNLOADINGDATA || status == BINDSTATUS_ENDDOWNLOADDATA;
        if (data && (progress > limits_.maxBytes || progressMax > limits_.maxBytes)) return stop();
        const ULONGLONG now = GetTickCount64();
        if (now - start_ >= static_cast<ULONGLONG>(limits_.deadlineSeconds) * 1000) return stop();
        // The stall rule, judged when the service reports: a silent server is ended by its own
        // receive time-out.
        if (data && now - windowStart_ >= static_cast<ULONGLONG>(limits_.stallSeconds) * 1000) {
            if (progress - windowBytes_ < static_cast<ULONGLONG>(limits_.stallRate) * limits_.stallSeconds) return stop();
            windowStart_ = now;
            windowBytes_ = progress;
        }
        if (progress_ && data) progress_(progress, progressMax);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD*, BINDINFO*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }

private:
    HRESULT stop() {
        overLimit_ = true;
        return E_ABORT;
    }

    const DownloadProgress& progress_;
    const DownloadLimits& limits_;
    const bool secure_;
    const ULONGLONG start_;
    ULONGLONG windowStart_;
    ULONGLONG windowBytes_ = 0;
    bool overLimit_ = false;
};

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
    const std::wstring address = widen(url);
    DeleteUrlCacheEntryW(address.c_str());
    // The service wants COM on the calling thread; the worker thread has none of its own yet.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ProgressCallback callback(progress, limits, url.rfind("https:", 0) == 0);
    const HRESULT result = URLDownloadToFileW(nullptr, address.c_str(), widen(path).c_str(), 0, &callback);
    if (SUCCEEDED(com)) CoUninitialize();
    if (result != S_OK || callback.overLimit()) return false;
    // A service that went on regardless of the callback's answer is caught here.
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(widen(path).c_str(), GetFileExInfoStandard, &data)) return false;
    const std::uint64_t size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return size <= limits.maxBytes;
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
