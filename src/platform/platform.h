/*******************************************************************************************
*  platform.h — the only door to the operating system
*
*  Everything the program needs from Windows (or, for the Linux port, from POSIX) is declared
*  here in the program's own terms: UTF-8 strings, plain values, RAII handles. One
*  implementation lives in win32/, one in posix/; nothing else includes system headers.
*  Sockets have a header of their own (socket.h).
*******************************************************************************************/
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vlr::platform {

// ---- program and environment ----

// Full path of the running program file, whole even past the classic 260-unit limit.
// Empty when the system cannot tell.
std::string programPath();

// Environment of this process; children started later inherit it.
void setEnv(const std::string& name, const std::string& value);
void removeEnv(const std::string& name);
std::optional<std::string> getEnv(const std::string& name);

// The user's folder for temporary files, ending in a separator; empty when no existing folder
// can be found (callers then fall back to a bare file name).
std::string tempFolder();

// The folder that holds the session file and the instance lock, ending in a separator. Only
// this user may write there: on Windows the temporary folder (per user there, possibly empty
// as above); on POSIX $XDG_RUNTIME_DIR when set, else a folder of ours under the shared
// temporary folder, created with mode 0700. A folder that is not a real directory owned by
// this user and closed to everyone else is refused: `path` is then empty and `problem` says
// why, in words for the user.
struct PrivateFolder {
    std::string path;
    std::string problem;
};
PrivateFolder sessionFolder();

// The separator this system writes between path components ('\\' or '/').
char pathSeparator();

// ---- files ----

enum class Exists { No, Yes, Unknown };  // Unknown: the system refused to say (access denied ...)

Exists fileExists(const std::string& path);

using FileTime = std::int64_t;                       // opaque, only compared for equality
inline constexpr FileTime kMinFileTime = INT64_MIN;  // "could not be read"

FileTime lastWriteTime(const std::string& path);

// Reads the whole file in binary mode; false (and `out` empty) when it cannot be read.
bool readFile(const std::string& path, std::string& out);

// Best effort; false when the file is still there afterwards.
bool removeFile(const std::string& path);

// ---- processes ----

// A child process that this program started. Owning, move-only; closing it never stops the child.
class Process {
public:
    Process() = default;
    explicit Process(std::intptr_t native) : native_(native) {}
    ~Process();
    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    bool valid() const { return native_ != 0; }
    std::intptr_t native() const { return native_; }  // HANDLE or pid
    void reset();

    // Filled in once the child's end has been seen (POSIX can reap a child only once).
    bool reaped = false;
    std::int32_t reapedCode = 0;

    // Started, but the system gave no handle to watch it by (Wine starting a Unix program).
    bool unwatchable = false;
    bool started() const { return valid() || unwatchable; }

private:
    std::intptr_t native_ = 0;
};

struct ExitStatus {
    bool exited = false;     // false while running, or when the system cannot tell
    std::int32_t code = 0;   // the exit code as a signed 32-bit value (a crash on Windows is negative)
};

// The command line Windows gets for an argument list: every argument in double quotes, one
// space between them, nothing escaped (arguments holding a double quote are not supported).
std::string quoteCommandLine(const std::vector<std::string>& args);

// Starts args[0] with the rest as arguments, inheriting environment and current folder, with no
// console window and no inherited handles. Invalid Process on failure.
Process startProcess(const std::vector<std::string>& args);

// Non-blocking look at a child's end.
ExitStatus pollExit(Process& process);

// Fire and forget: start, close every handle, never wait. Failures are ignored by design.
void startDetached(const std::vector<std::string>& args, const std::string& workFolder);

// ---- one instance per name ----

// Held for as long as the object lives. `first` tells whether this process is the first holder.
class InstanceLock {
public:
    InstanceLock() = default;
    ~InstanceLock();
    InstanceLock(InstanceLock&& other) noexcept;
    InstanceLock& operator=(InstanceLock&& other) noexcept;
    InstanceLock(const InstanceLock&) = delete;
    InstanceLock& operator=(const InstanceLock&) = delete;

    bool first = false;
    std::intptr_t native = 0;  // mutex HANDLE or lock-file descriptor + 1
    void release();
};

// Named mutex "Local\<name>" on Windows; flock on "<session folder><name>.lock" on POSIX
// (never first while the session folder is refused).
InstanceLock takeInstanceLock(const std::string& name);

// ---- user-facing odds and ends ----

// Error message with no owner window (standard error on POSIX).
void showError(const std::string& caption, const std::string& text);

// Lets whichever process brings its window forward next take the foreground (a second start
// hands over to the running window this way); nothing to do where focus is not guarded.
void allowForegroundHandOff();

// Dark title bar and caption colours for a native window handle; ignored where unsupported.
void useDarkTitleBar(void* nativeWindow);

// Font file for a role (0 regular, 1 semibold, 2 mono, 3 symbol fallback); empty when the
// system has no such font. Not checked further: the font loader does that.
std::string fontFilePath(int role);

}  // namespace vlr::platform
