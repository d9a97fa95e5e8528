/*******************************************************************************************
*  handles.cpp — the parts of the platform layer that are the same everywhere
*
*  Moving and destroying the owning handle types, and the Windows command-line form of an
*  argument list (pure text, so both implementations and their tests share it). Closing a
*  handle is each system's own business (reset, release, close).
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
