/*******************************************************************************************
*  common.cpp — platform calls that the standard library already makes portable
*
*  Creating folders (std::filesystem speaks UTF-16 to Windows and bytes to
*  POSIX for us), the download rules both systems share, and the progress board that the
*  first-start worker shares with its window.
*******************************************************************************************/
#include <chrono>
#include <filesystem>
#include <system_error>

#include "platform/platform.h"

namespace vlr::platform {

namespace fs = std::filesystem;

namespace {

fs::path pathOf(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

}  // namespace

// ---- folders ----

bool makeFolders(const std::string& path) {
    if (path.empty()) return false;
    std::error_code error;
    fs::create_directories(pathOf(path), error);
    return fs::is_directory(pathOf(path), error);
}

// ---- downloads ----

bool secureAddress(std::string_view url) {
    static constexpr std::string_view kScheme = "https:";
    if (url.size() < kScheme.size()) return false;
    for (std::size_t i = 0; i < kScheme.size(); ++i) {
        const char c = url[i] >= 'A' && url[i] <= 'Z' ? static_cast<char>(url[i] - 'A' + 'a') : url[i];
        if (c != kScheme[i]) return false;
    }
    return true;
}

// ---- progress board ----

void ProgressBoard::setStatus(const std::string& text) {
    {
        std::lock_guard<std::mutex> hold(lock);
        status = text;
        received = 0;
        total = 0;
    }
    if (changed) changed();
}

void ProgressBoard::setDownload(std::uint64_t got, std::uint64_t length) {
    const std::int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                                 std::chrono::steady_clock::now().time_since_epoch())
                                 .count();
    bool wake = false;
    {
        std::lock_guard<std::mutex> hold(lock);
        received = got;
        total = length;
        // A repaint per network packet would keep the window busy for nothing.
        if (now - lastWake_ >= 200 || (length != 0 && got >= length)) {
            lastWake_ = now;
            wake = true;
        }
    }
    if (wake && changed) changed();
}

}  // namespace vlr::platform
