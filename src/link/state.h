/*******************************************************************************************
*  state.h — the window's copy of the launcher's state
*
*  The launcher owns all real state; the window keeps the last state document it was sent,
*  the console lines and the game settings list. Frame thread only: background threads
*  deliver documents and messages as UI tasks. The link knows nothing of the UI: what the
*  state model needs from the window goes through WindowCalls, which the shell fills in.
*******************************************************************************************/
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "link/json.h"
#include "platform/platform.h"

namespace vlr {

inline constexpr std::size_t kConsoleMaxLines = 20000;
inline constexpr std::size_t kConsoleTrimLines = 4000;
// A line longer than this is held as several console entries, each cut before a character
// once it holds this many bytes, so that a line without end (progress output rewritten with
// carriage returns) stays bounded and costs the Console page a bounded amount per frame.
// The console therefore holds at most about kConsoleMaxLines x kConsoleLineBytes bytes.
inline constexpr std::size_t kConsoleLineBytes = 4096;

struct SettingValue {
    std::string key;
    std::string value;   // asText of the launcher's value
};

struct WindowState {
    Json state;                        // last applied state document; pages only read it
    bool stateReceived = false;        // a document has been applied
    bool connected = false;            // the event stream is delivering
    bool restart = false;              // a new program file was found; the loop ends with 3
    std::int64_t previousFront = 0;    // "front" of the last document
    platform::Process launcher;        // the launcher this window started; empty when reused
    bool launcherExited = false;       // its end has been seen (kept apart from the code)
    std::int32_t launcherExitCode = 0; // valid when launcherExited
    bool launcherGone = false;         // known gone: its end was seen (any code), or the process a
                                       // reused launcher published no longer exists
    std::int64_t launcherPid = 0;      // that published process id; 0: none known
    bool launcherStarting = false;     // the player asked for a new launcher; not there yet
    std::string previousBuild;         // "build" of the last document
    std::string programPath;           // this program file (UTF-8)
    platform::FileTime programFileTime = platform::kMinFileTime;
    std::deque<std::string> console;   // launcher output, one entry per line
    bool openLine = false;             // the last line has not been ended yet
    std::uint64_t consoleDropped = 0;  // lines ever removed from the front (trims and clears);
                                       // lets a view of the console keep its cache in step
    std::deque<std::uint64_t> consoleJoined; // entries that go on the line before them, by
                                       // number (consoleDropped + index), oldest first
    std::int64_t settingsStamp = 0;    // last "settings_stamp" applied
    std::vector<SettingValue> settings;// game settings as the launcher reported them
};

WindowState& windowState();  // one of the window-wide records (shell/records.h)

// What the state model asks of the window, set by the shell (no-ops until then, e.g. in
// tests): raising it, showing a notice, dropping a key capture whose settings list was
// replaced, and letting the pages follow a newly applied document.
struct WindowCalls {
    std::function<bool()> isMinimized;
    std::function<void()> restore;
    std::function<void()> focus;
    std::function<void(std::string text)> notice;
    std::function<void()> cancelCapture;
    std::function<void(const Json& state)> stateApplied;
};
WindowCalls& windowCalls();  // one of the window-wide records (shell/records.h)

// True while the launcher runs a task (the state's "running" text is not empty).
bool taskRunning(const Json& state);

void applyState(const Json& document);
void appendConsole(std::string_view text);
void clearConsole();
// Replaces the settings list from a "settings" array and drops a key capture.
void loadSettingValues(const Json& settings);
// What the answer of a settings save does: the stamp becomes the answer's (0 without one, so
// that the next state document brings the launcher's list back); with reload, the list is
// taken from the answer too, or, when it has none, the stamp is dropped to recover it.
void applySaveAnswer(const Json& answer, bool reload);

// Exit watching, once per frame before drawing, while the event stream is down: the launcher
// this window started (its exit), or the one it reused (whether its process still exists).
// Returns true when the frame loop must end now (the launcher asked for it by ending with code 2).
bool watchLauncherExit(WindowState& window);

// "The launcher stopped (exit code N). ..." — N in hexadecimal for crash codes.
std::string stoppedLine(std::int32_t code);
std::string exitCodeText(std::int32_t code);

}  // namespace vlr
