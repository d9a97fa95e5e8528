/*******************************************************************************************
*  handles.cpp — the parts of the platform layer that are the same everywhere
*
*  Moving and destroying the owning handle types, and the Windows command-line form of an
*  argument list and of the tar.exe call (pure text, so both implementations and their tests
*  share it). Closing a handle is each system's own business (reset, release, close).
*******************************************************************************************/
#include <utility>

#include "platform/platform.h"
#include "platform/socket.h"

namespace vlr::platform {

// ---- Process ----

Process::~Process() { reset(); }

Process::Process(Process&& other) noexcept {
    native_ = std::exchange(other.native_, 0);
    reaped = std::exchange(other.reaped, false);
    reapedCode = std::exchange(other.reapedCode, 0);
    unwatchable = std::exchange(other.unwatchable, false);
}

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        reset();
        native_ = std::exchange(other.native_, 0);
        reaped = std::exchange(other.reaped, false);
        reapedCode = std::exchange(other.reapedCode, 0);
        unwatchable = std::exchange(other.unwatchable, false);
    }
    return *this;
}

std::string quoteCommandLine(const std::vector<std::string>& args) {
    // Backslashes are plain characters except in front of a double quote, where each pair
    // reads back as one. So a run of them doubles before an escaped quote and before the
    // closing quote (an argument ending in '\' would otherwise swallow it), nowhere else.
    std::string line;
    for (const std::string& arg : args) {
        if (!line.empty()) line += ' ';
        line += '"';
        std::size_t slashes = 0;
        for (char c : arg) {
            if (c == '\\') {
                ++slashes;
                continue;
            }
            line.append(c == '"' ? slashes * 2 + 1 : slashes, '\\');
            line += c;
            slashes = 0;
        }
        line.append(slashes * 2, '\\');
        line += '"';
    }
    return line;
}

namespace {

bool separator(char c) { return c == '\\' || c == '/'; }

// What survives any ANSI code page unchanged. Quotes never occur in Windows names.
bool plainAscii(const std::string& text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) > 0x7e || c == '"') return false;
    return !text.empty();
}

// `path` relative to `work` when it lies inside it ("." for `work` itself), else empty.
std::string relativeTo(const std::string& work, const std::string& path) {
    if (work.empty() || path.compare(0, work.size(), work) != 0) return {};
    std::size_t at = work.size();
    // "C:\app2" is not inside "C:\app"; "C:\" already ends in its separator.
    if (!separator(work.back()) && at < path.size() && !separator(path[at])) return {};
    while (at < path.size() && separator(path[at])) ++at;
    return at == path.size() ? std::string(".") : path.substr(at);
}

// How tar, started in `work`, is to be given `path`; empty when no form survives the ANSI line.
std::string tarName(const std::string& work, const std::string& path) {
    const std::string inside = relativeTo(work, path);
    const std::string& name = inside.empty() ? path : inside;
    return plainAscii(name) ? name : std::string();
}

}  // namespace

std::string tarCommandLine(const std::string& system, const std::string& archive, const std::string& folder,
                           const std::string& workFolder) {
    const std::string archiveName = tarName(workFolder, archive);
    const std::string folderName = tarName(workFolder, folder);
    if (system.empty() || archiveName.empty() || folderName.empty()) return {};
    std::string tool = system;
    if (!separator(tool.back())) tool += '\\';
    return quoteCommandLine({tool + "tar.exe"}) + " -xf " + quoteCommandLine({archiveName}) + " -C " +
           quoteCommandLine({folderName});
}

// ---- InstanceLock ----

InstanceLock::~InstanceLock() { release(); }

InstanceLock::InstanceLock(InstanceLock&& other) noexcept {
    first = std::exchange(other.first, false);
    native = std::exchange(other.native, 0);
    owned = std::exchange(other.owned, false);
    problem = std::move(other.problem);
}

InstanceLock& InstanceLock::operator=(InstanceLock&& other) noexcept {
    if (this != &other) {
        release();
        first = std::exchange(other.first, false);
        native = std::exchange(other.native, 0);
        owned = std::exchange(other.owned, false);
        problem = std::move(other.problem);
    }
    return *this;
}

// ---- Socket ----

Socket::~Socket() { close(); }

Socket::Socket(Socket&& other) noexcept : native_(std::exchange(other.native_, kInvalid)) {}

Socket& Socket::operator=(Socket&& other) noexcept {
    if (this != &other) {
        close();
        native_ = std::exchange(other.native_, kInvalid);
    }
    return *this;
}

}  // namespace vlr::platform
