/*******************************************************************************************
*  state.cpp — the window's copy of the launcher's state
*
*  Sections:
*    settings       the game settings list and its stamp
*    state          applying a state document and its side effects
*    console        the launcher's output as a bounded list of lines
*    launcher exit  watching the launcher this window started
*
*  Frame thread only; background threads hand documents over as UI tasks.
*******************************************************************************************/
#include <algorithm>
#include <cstdio>

#include "link/state.h"

namespace vlr {

// ---- settings ----

// The settings list follows the launcher's change counter, its stamp, in one of two ways:
// a state document's list is taken only when its stamp is newer than the one held; the
// answer of a save always sets the stamp (see applySaveAnswer).

void loadSettingValues(const Json& settings) {
    std::vector<SettingValue>& values = windowState().settings;
    values.clear();
    for (const Json& item : settings.items) {
        const Json& key = get(item, "key");
        if (key.isString())
            values.push_back({key.text, asText(get(item, "value"))});
    }
    // A binding being captured refers to the old list.
    if (windowCalls().cancelCapture)
        windowCalls().cancelCapture();
}

namespace {

void takeNewerSettings(const Json& document) {
    WindowState& window = windowState();
    const std::int64_t stamp = asInt(get(document, "settings_stamp"));
    if (stamp > window.settingsStamp) {
        window.settingsStamp = stamp;
        loadSettingValues(get(document, "settings"));
    }
}

}  // namespace

void applySaveAnswer(const Json& answer, bool reload) {
    WindowState& window = windowState();
    const Json& stamp = get(answer, "settings_stamp");
    // No stamp: the next state document, whatever its stamp, brings the launcher's list back.
    window.settingsStamp = stamp.isNumber() ? asInt(stamp) : 0;
    // An answer without a list must not empty the page; the stamp rule above recovers it.
    const Json& settings = get(answer, "settings");
    if (reload && settings.isArray())
        loadSettingValues(settings);
    else if (reload)
        window.settingsStamp = 0;
}

// ---- state ----

namespace {

// A new "build" only matters when the program file on disk changed with it: the launcher
// replaces the file during an update, and then this process must give way to the new one.
bool programFileReplaced(const WindowState& window) {
    if (window.programPath.empty())
        return true;
    return platform::lastWriteTime(window.programPath) != window.programFileTime;
}

void raiseWindow() {
    WindowCalls& calls = windowCalls();
    if (calls.isMinimized && calls.isMinimized() && calls.restore)
        calls.restore();
    if (calls.focus)
        calls.focus();
}

}  // namespace

void applyState(const Json& document) {
    WindowState& window = windowState();
    const std::string& build = asText(get(document, "build"));
    const std::int64_t front = asInt(get(document, "front"));

    // The first document only sets the baseline: it never raises the window or restarts.
    if (window.stateReceived) {
        if (build != window.previousBuild && programFileReplaced(window))
            window.restart = true;
        if (front > window.previousFront)
            raiseWindow();
    }

    window.previousBuild = build;
    window.previousFront = front;
    window.stateReceived = true;
    window.state = Json(document);  // copied before assigning: the document may alias it

    // `document` may have been part of the old state; read from the stored copy from here on.
    const Json& state = window.state;

    takeNewerSettings(state);

    const WindowCalls& calls = windowCalls();
    if (calls.stateApplied)
        calls.stateApplied(state);
}

bool taskRunning(const Json& state) {
    return !asText(get(state, "running")).empty();
}

// ---- console ----

namespace {

// The console entry that takes the byte c: a new line when none is open, a new entry that
// goes on the open line when that one is full and c starts a character (a run of stray
// continuation bytes is cut anyway).
std::string& entryFor(WindowState& window, char c) {
    std::deque<std::string>& lines = window.console;
    if (!window.openLine) {
        window.openLine = true;
        return lines.emplace_back();
    }
    const std::size_t size = lines.back().size();
    if (size >= kConsoleLineBytes &&
        ((static_cast<unsigned char>(c) & 0xC0) != 0x80 || size >= kConsoleLineBytes + 3)) {
        window.consoleJoined.push_back(window.consoleDropped + lines.size());
        return lines.emplace_back();
    }
    return lines.back();
}

}  // namespace

void appendConsole(std::string_view text) {
    WindowState& window = windowState();
    std::deque<std::string>& lines = window.console;
    for (std::size_t i = 0; i < text.size();) {
        const char c = text[i];
        if (c == '\r') {
            ++i;
        } else if (c == '\n') {
            if (window.openLine)
                window.openLine = false;
            else
                lines.emplace_back();  // a blank line in the output
            ++i;
        } else if (c == '\t') {
            entryFor(window, c).append(4, ' ');
            ++i;
        } else {
            // A run of ordinary bytes goes in whole, up to where the entry is full.
            const std::size_t end = std::min(text.find_first_of("\r\n\t", i), text.size());
            while (i < end) {
                std::string& line = entryFor(window, text[i]);
                const std::size_t take =
                    line.size() < kConsoleLineBytes ? std::min(kConsoleLineBytes - line.size(), end - i) : 1;
                line.append(text.data() + i, take);
                i += take;
            }
        }
    }
    // Trim in steps of a few thousand so the cost is paid rarely; repeat until under the
    // bound, so one very long piece of output cannot grow the list past it for good.
    while (lines.size() > kConsoleMaxLines) {
        lines.erase(lines.begin(), lines.begin() + static_cast<std::ptrdiff_t>(kConsoleTrimLines));
        window.consoleDropped += kConsoleTrimLines;
    }
    std::deque<std::uint64_t>& joined = window.consoleJoined;
    while (!joined.empty() && joined.front() <= window.consoleDropped)
        joined.pop_front();  // gone, or now the first entry: nothing before it to go on
}

void clearConsole() {
    WindowState& window = windowState();
    window.consoleDropped += window.console.size();
    window.console.clear();
    window.consoleJoined.clear();
    window.openLine = false;
}

// ---- launcher exit ----

bool watchLauncherExit(WindowState& window) {
    if (window.connected || window.launcherExited || window.launcherGone)
        return false;
    if (!window.launcher.valid()) {
        if (window.launcherPid > 0 && platform::processExists(window.launcherPid) == platform::Exists::No)
            window.launcherGone = true;
        return false;
    }
    const platform::ExitStatus status = platform::pollExit(window.launcher);
    if (!status.exited)
        return false;
    if (status.code == 0) {
        // A quiet end: no code to show, but nothing serves the window any more.
        window.launcher.reset();
        window.launcherGone = true;
        return false;
    }
    if (status.code == 2)
        return true;
    window.launcherGone = true;
    window.launcherExited = true;
    window.launcherExitCode = status.code;
    return false;
}

std::string exitCodeText(std::int32_t code) {
    if (code >= 0)
        return std::to_string(code);
    // Crash status codes read better the way the system documents them.
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(static_cast<std::uint32_t>(code)));
    return hex;
}

std::string stoppedLine(std::int32_t code) {
    return "The launcher stopped (exit code " + exitCodeText(code) + "). Close this window and start it again.";
}

}  // namespace vlr
