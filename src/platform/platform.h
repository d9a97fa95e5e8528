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
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vlr::platform {

// ---- program and environment ----

// Full path of the running program file, whole even past the classic 260-unit limit.
// Empty when the system cannot tell.
std::string programPath();

// The read behind programPath: `read(buffer, size)` writes at most `size` units and returns
// how many (-1 on failure). The system cuts an answer that does not fit without saying so, so a
// full buffer means "maybe cut": the buffer doubles, from `first` units up to about a million.
template <typename Char, typename Read>
std::basic_string<Char> readGrowing(std::size_t first, Read read) {
    for (std::size_t size = first; size <= (std::size_t{1} << 20); size *= 2) {
        std::basic_string<Char> buffer(size, Char{});
        const long long length = read(buffer.data(), size);
        if (length < 0) return {};
        if (static_cast<std::size_t>(length) < size) {
            buffer.resize(static_cast<std::size_t>(length));
            return buffer;
        }
    }
    return {};
}

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

// Reads a small file of our own that sits in a folder others can write to: only a regular file
// (never through a link, never a pipe or device, opened without blocking), and only when it holds
// at most `limit` bytes. False (and `out` empty) for anything else.
bool readSmallFile(const std::string& path, std::size_t limit, std::string& out);

// Best effort; false when the file is still there afterwards.
bool removeFile(const std::string& path);

// A file, or a folder with everything in it. A link or junction met on the way (or given) is
// removed itself, never entered: what it points to is someone else's. True when nothing is
// left at the path.
bool removeTree(const std::string& path);

// Renames a file or folder within one folder's volume in one step (never copied across); the
// target must not exist. True on success.
bool moveFolder(const std::string& from, const std::string& to);

// Creates the folder and any missing parents; true when it exists afterwards.
bool makeFolders(const std::string& path);

// Writes every file under `path` (and, where the system can, the folders' entries, `path`
// included) through to the disk, so that a rename made afterwards cannot reach the disk before
// the content it names. Links are not followed; what cannot be opened is skipped. False when the
// system reported a write that failed.
bool flushTree(const std::string& path);

// Writes a folder's own entries (a rename inside it) through to the disk. True where there is
// nothing to do.
bool flushFolder(const std::string& path);

// Replaces the file's content as one step: written beside it, flushed, then renamed over it,
// so a crash leaves the old file or the new one, never half of either. The file beside it gets
// a name nobody can guess and is created new, never through a link planted there. False on
// failure (the old file is then untouched).
bool writeFileAtomically(const std::string& path, std::string_view bytes);

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
// space between them, quotes and the backslashes before them escaped the way the C runtime
// and CommandLineToArgvW read them back.
std::string quoteCommandLine(const std::vector<std::string>& args);

// Starts args[0] with the rest as arguments, inheriting environment and current folder, with no
// console window and no inherited handles. Invalid Process on failure.
Process startProcess(const std::vector<std::string>& args);

// Non-blocking look at a child's end.
ExitStatus pollExit(Process& process);

// Whether a process with this id runs now (a launcher an earlier window started, known only by
// the id it published). Unknown for an id no process can have, or when the system will not say.
Exists processExists(std::int64_t id);
// The id of a started child (what it would publish); 0 when there is none.
std::int64_t processId(const Process& process);

// Fire and forget: start, close every handle, never wait. Failures are ignored by design.
void startDetached(const std::vector<std::string>& args, const std::string& workFolder);

// Full path of a program found on the search path; empty when there is none.
std::string findProgram(const std::string& name);

// ---- the runtime the launcher needs ----

// True where the system supplies the interpreter and Git (the POSIX port uses python3 and git
// from the search path); false where the program fetches its own (Windows).
bool runtimeFromSystem();

// Download progress: bytes received so far and the whole length (0 when the server gave none).
using DownloadProgress = std::function<void(std::uint64_t received, std::uint64_t total)>;

// What one download may take. A download past any of them fails.
struct DownloadLimits {
    std::uint64_t maxBytes = std::uint64_t{256} << 20;  // the body's size
    int deadlineSeconds = 3600;   // the whole exchange: connect, headers and body
    int stallSeconds = 60;        // this long below `stallRate` bytes a second ends it
    int stallRate = 1024;
};

// True when `url` names the https scheme, in any mix of cases (schemes are case-blind): such a
// download must end encrypted.
bool secureAddress(std::string_view url);

// Fetches `url` into the file `path` (replaced when present), bypassing any cached copy, within
// `limits`. An https address is never followed to plain http. True when the transfer succeeded;
// what arrived is not judged here.
bool downloadToFile(const std::string& url, const std::string& path, const DownloadLimits& limits,
                    const DownloadProgress& progress);

// SHA-256 of a file's bytes as 64 lower-case hexadecimal digits; empty when the file cannot be
// read or no hashing is available.
std::string sha256File(const std::string& path);

// Unpacks the whole zip archive into `folder` with the system's archive tool (tar.exe in the
// Windows system folder, bsdtar elsewhere), started in `workFolder`. Returns the tool's exit
// code, -1 when it could not be started (on Windows also when a name could not reach it
// intact; see tarCommandLine).
int unpackArchive(const std::string& archive, const std::string& folder, const std::string& workFolder);

// The command line for Windows' tar.exe: "<system>\tar.exe" -xf "<archive>" -C "<folder>",
// started in `workFolder`. tar.exe reads the ANSI form of its command line, where a character
// outside the code page turns into '?' or a look-alike, so the archive and the folder go in as
// names relative to `workFolder`. A path outside it goes in whole only when it is plain ASCII;
// otherwise the answer is empty (not startable): a mangled name could point at someone else's
// folder. The system folder is taken as it is: Windows finds the program by the wide line.
std::string tarCommandLine(const std::string& system, const std::string& archive, const std::string& folder,
                           const std::string& workFolder);

// ---- first-start progress display ----

// What the first-start worker shares with the progress window. The worker writes, the window
// reads while painting; `changed` (set by the window before the worker starts) wakes it.
struct ProgressBoard {
    std::mutex lock;
    std::string status = "Starting...";
    std::uint64_t received = 0;  // download progress of the current component
    std::uint64_t total = 0;     // 0: no length known, no bar
    std::function<void()> changed;

    void setStatus(const std::string& text);
    // Moves the download bar; wakes the window at most a few times a second.
    void setDownload(std::uint64_t got, std::uint64_t length);

private:
    std::int64_t lastWake_ = 0;  // steady-clock milliseconds of the last wake for the bar
};

// Shows the progress window, runs `work` on a thread of its own and returns its result once it
// has finished and the window is gone. Without a window (none can be made) the work still
// runs and is waited for.
bool runWithProgressWindow(ProgressBoard& board, const std::function<bool()>& work);

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
    bool owned = false;        // waitForLock on Windows: the mutex is held (released before it is closed)
    std::string problem;       // the lock could not be made at all (not "someone else holds it"), in words
    void release();
};

// Named mutex "Local\<name>" on Windows; flock on "<session folder><name>.lock" on POSIX
// (never first while the session folder is refused).
InstanceLock takeInstanceLock(const std::string& name);

// The same lock, but waited for (blocked in the system, no polling) until this process holds
// it: `first` is then true. A holder that was killed frees it. Only `problem` ends the wait
// early. On Windows the thread that waited must be the one that releases it.
InstanceLock waitForLock(const std::string& name);

// ---- user-facing odds and ends ----

// Error message with no owner window (on POSIX: standard error, and a small window in the
// progress window's style when a display is there).
void showError(const std::string& caption, const std::string& text);

// Lets whichever process brings its window forward next take the foreground (a second start
// hands over to the running window this way); nothing to do where focus is not guarded.
void allowForegroundHandOff();

// Dark title bar and caption colours for a native window handle; ignored where unsupported.
void useDarkTitleBar(void* nativeWindow);

// The desktop's own signs of a long job on a native window (raylib's window handle): the
// taskbar button shows progress without an end while `busy` (Windows); nothing elsewhere.
void showBusyOnTaskbar(void* nativeWindow, bool busy);

// Draws the user's eye to a window that is not in front: on Windows its taskbar button
// flashes until the window comes forward. False where the system has no call of its own for it
// (the window library then asks the window manager).
bool flashUntilFront(void* nativeWindow);

// Font file for a role (0 regular, 1 semibold, 2 mono, 3 symbol fallback); empty when the
// system has no such font. Not checked further: the font loader does that.
std::string fontFilePath(int role);

// One face in a font file. A TrueType collection (.ttc) holds several: `index` picks one when
// the system knows it (>= 0), else the face whose family is `name`.
struct FontFace {
    std::string path;   // empty: no font
    int index = -1;
    std::string name;
};

// The font the system itself would draw `codepoint` with when the window's faces lack it, in
// the system's own fallback order; an empty path when no installed font has it. The list is
// made on the first call; later calls are cheap and may come from any thread.
FontFace fallbackFontFor(int codepoint);

}  // namespace vlr::platform
