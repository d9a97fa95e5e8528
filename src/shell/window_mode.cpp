/*******************************************************************************************
*  window_mode.cpp — window mode: one launcher window per installation, and its main loop
*
*  Order matters: the arguments and the instance lock come first (a second start only asks
*  the running window to come forward), then the hidden window, then the launcher, then the
*  window's set-up and the three background threads. The loop sleeps in raylib's event wait
*  and wakes for input, handed-over work or a requested wake time; with a gamepad connected it
*  also wakes to read it, and a turn that finds nothing new draws nothing.
*******************************************************************************************/
#include <chrono>
#include <cstdio>
#include <future>
#include <memory>
#include <system_error>
#include <thread>

#include "link/commands.h"
#include "link/events.h"
#include "link/handover.h"
#include "link/http.h"
#include "link/link.h"
#include "link/session.h"
#include "link/state.h"
#include "pages/pages.h"
#include "platform/access.h"
#include "platform/platform.h"
#include "shell/shell.h"
#include "ui/fonts.h"

namespace vlr {
namespace {

void setWindowOpen(Link& link, bool open) {
    std::lock_guard<std::mutex> hold(link.lock);
    link.wakeFrame = postEmptyEvent;
    link.windowOpen = open;
}

// The window cannot work without all three; false when one could not be started.
bool startThreads(Link& link) {
    try {
        std::thread(runCommands, std::ref(link)).detach();
        std::thread(runWake, std::ref(link)).detach();
        std::thread(runEvents, std::ref(link)).detach();
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void followDisplayScale() {
    UiState& ui = uiState();
    const float scale = displayScale() * shellState().zoom;
    if (scale != ui.scale) {  // also true when either is not a number
        ui.scale = scale;
        rebuildFonts();
    }
}

// What a turn of the loop compares with the last frame: the mouse and the window.
SeenByFrame seenNow() {
    const Vector2 mouse = GetMousePosition();
    return {mouse.x, mouse.y, GetScreenWidth(), GetScreenHeight(), IsWindowFocused(), IsWindowMinimized(),
            IsMouseButtonDown(MOUSE_BUTTON_LEFT)};
}

// The launcher a new start found or started becomes the window's: the event stream and the
// commands go to its port with its token from their next connection on.
void adoptLauncher(LauncherFound found, const LinkAddress& at, platform::Process process, std::int64_t pid) {
    WindowState& window = windowState();
    window.launcherStarting = false;
    if (found == LauncherFound::Failed) {
        postNotice(uiState(), "The launcher could not be started.");
        return;
    }
    setLinkAddress(theLink(), at.port, at.token);
    window.launcher = std::move(process);
    window.launcherPid = pid;
    window.launcherGone = false;
    window.launcherExited = false;
    window.launcherExitCode = 0;
}

// "Start the launcher again": the start-up's own find-or-start, with a new session when none
// answers. On a thread of its own, so that a launcher slow to answer the probe never holds
// the window; the result comes back as a UI task.
void startLauncherAgain(const WindowArgs& args, const std::string& session) {
    WindowState& window = windowState();
    if (window.launcherStarting) return;
    window.launcherStarting = true;
    try {
        std::thread([args, session] {
            Link probe;
            auto process = std::make_shared<platform::Process>();
            const LauncherFound found = findOrStartLauncher(probe, args, session, *process);
            const std::int64_t pid = found == LauncherFound::Reused ? sessionPid(session) : 0;
            const LinkAddress at{probe.port, probe.token};
            postUiTask(theLink(), [found, at, process, pid] { adoptLauncher(found, at, std::move(*process), pid); });
        }).detach();
    } catch (const std::system_error&) {
        adoptLauncher(LauncherFound::Failed, {}, {}, 0);
    }
}

void runLoop(Link& link, WindowState& window) {
    while (!WindowShouldClose() && !window.restart) {
        std::vector<UiTask> tasks = takeUiTasks(link);
        ShellState& shell = shellState();
        shell.quietTasks = 0;
        for (UiTask& task : tasks)
            task();
        if (watchLauncherExit(window))
            return;  // the launcher ended with code 2: close without drawing
        // A new program file was found: close now rather than draw and then sit in the event
        // wait until some input happens to arrive.
        if (window.restart)
            return;
        followDisplayScale();
        rememberPlacement(shellState());
        followJobOnDesktop(shellState(), taskRunning(window.state));
        drawOrWait(tasks.size() > shell.quietTasks, !tasks.empty() && tasks.size() == shell.quietTasks);
    }
}

// VLR_TRACE_CONSOLE: the console as the window leaves it, one "console| " line each, for the
// end-to-end tests that check what arrived and in which order.
void traceConsole(const WindowState& window) {
    if (!platform::getEnv("VLR_TRACE_CONSOLE")) return;
    for (const std::string& line : window.console) std::fprintf(stderr, "console| %s\n", line.c_str());
    std::fflush(stderr);
}

// Screen readers: what the bridge asks to be run (a reader's request) is a UI task, so it runs
// on the frame thread and the turn that runs it draws a frame, which takes the requests. Its
// serving of the system's queue is a UI task too, but one that draws nothing by itself.
void openAccess(Link& link) {
    platform::AccessHost host;
    host.window = GetWindowHandle();
    host.onFrameThread = [&link](std::function<void()> fn) { postUiTask(link, std::move(fn)); };
    host.serveOnFrameThread = [&link](std::function<void()> fn) {
        postUiTask(link, [fn = std::move(fn)] {
            ++shellState().quietTasks;
            fn();
        });
    };
    platform::startAccess(host);
}

void closeWindow(Link& link) {
    platform::stopAccess();  // before the window goes: the bridge holds its handle
    setWindowOpen(link, false);
    ShellState& shell = shellState();
    savePlacement(shell);
    if (shell.logo.id != 0)
        UnloadTexture(shell.logo);
    shell.logo = Texture2D{};
    CloseWindow();
}

int exitCode(WindowResult result) {
    return static_cast<int>(result);
}

}  // namespace

void drawOrWait(bool tasksRan, bool onlyQuietTasks) {
    ShellState& shell = shellState();
    // Read as the last wait began (raylib reads the gamepads just before it waits).
    const bool queued = pollGamepad(shell, uiClock());
    const SteadyTime now = std::chrono::steady_clock::now();
    bool draw = true;
    // A turn woken for the gamepad or for quiet work draws only when something changed.
    if (shell.gamepad.pad >= 0 || onlyQuietTasks)
        draw = shell.drawNext || tasksRan || queued || !shell.pending.empty() || shell.scrollAccumulator != 0 ||
               now >= shell.frameWake || !(seenNow() == shell.seen);
    if (draw) {
        // The frame asks again for what it still needs: a wake-up asked for before a frame
        // that output or input brought would only draw the same picture once more.
        shell.frameWake = SteadyTime::max();
        forgetWakes(theLink());
    }
    if (shell.gamepad.pad >= 0) {
        // Asked for before waiting: a gamepad sends no event. A held control is read more often,
        // so that its repeats keep their pace.
        bool holding = false;
        for (bool held : shell.gamepad.held) holding = holding || held;
        const double poll = holding ? 0.016 : kGamepadPollSeconds;
        requestWake(theLink(), now + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                         std::chrono::duration<double>(poll)));
    }
    shell.drawNext = false;
    if (!draw) {
        PollInputEvents();   // reads the gamepads, then waits for events as a frame's end does
        return;
    }
    shell.seen = seenNow();
    frame();
}

void connectStateModel() {
    WindowCalls& calls = windowCalls();
    calls.notice = [](std::string text) { postNotice(uiState(), std::move(text)); };
    calls.cancelCapture = [] { uiState().capture.name.clear(); };
    calls.stateApplied = pagesFollowState;
}

int windowMode(int argc, const char* const* argv) {
    const std::optional<WindowArgs> args = parseWindowArgs(argc, argv);
    if (!args)
        return exitCode(WindowResult::LauncherFailed);
    const platform::PrivateFolder folder = platform::sessionFolder();
    if (!folder.problem.empty()) {
        platform::showError("Velocrash Rebuilt", folder.problem);
        return exitCode(WindowResult::Explained);
    }
    const std::string name = sessionName(args->script);
    const std::string session = sessionFilePath(name);
    Link& link = theLink();

    platform::InstanceLock instance = platform::takeInstanceLock(name);
    if (!instance.problem.empty()) {
        platform::showError("Velocrash Rebuilt", instance.problem);
        return exitCode(WindowResult::Explained);
    }
    if (!instance.first) {
        handOverToRunningWindow(link, session);
        return exitCode(WindowResult::Ended);
    }

    // Baking the fonts takes about as long as the driver takes to make the window: both at
    // once. Only errors are logged until both are done, as the bake's missing-glyph warnings
    // are expected (the symbol font fills in) and the level is shared with this thread.
    SetTraceLogLevel(LOG_ERROR);
    std::future<BakedFonts> fonts;
    try {
        fonts = std::async(std::launch::async, bakeFonts, kLikelyScale);
    } catch (const std::system_error&) {
        // No thread to spare: the window bakes its fonts itself.
    }
    const bool created = createWindow();
    BakedFonts early = fonts.valid() ? fonts.get() : BakedFonts{};
    SetTraceLogLevel(LOG_WARNING);
    if (!created)
        // Nothing started, nobody contacted; the lock goes with `instance`.
        return exitCode(WindowResult::NoWindow);

    WindowState& window = windowState();
    const LauncherFound found = findOrStartLauncher(link, *args, session, window.launcher);
    if (found == LauncherFound::Failed) {
        CloseWindow();
        return exitCode(WindowResult::LauncherFailed);
    }
    if (found == LauncherFound::Reused)
        window.launcherPid = sessionPid(session);  // how a reused launcher's end is seen
    shellState().startLauncherAgain = [args = *args, session] { startLauncherAgain(args, session); };
    window.programPath = platform::programPath();
    window.programFileTime =
        window.programPath.empty() ? platform::kMinFileTime : platform::lastWriteTime(window.programPath);

    connectStateModel();
    shellState().placementFile = placementPath();
    setUpWindow(args->script, std::move(early));
    shellState().traceFrames = platform::getEnv("VLR_TRACE_FRAMES").has_value();

    setWindowOpen(link, true);
    openAccess(link);
    if (!startThreads(link)) {
        closeWindow(link);
        return exitCode(WindowResult::LauncherFailed);
    }

    frame();  // drawn while hidden, so the window never shows an empty first frame
    ClearWindowState(FLAG_WINDOW_HIDDEN);
    if (shellState().normal.maximized)
        MaximizeWindow();
    EnableEventWaiting();

    runLoop(link, window);
    traceConsole(window);

    // The launcher keeps running and is reused by the next window; the threads end with the
    // process.
    closeWindow(link);
    instance.release();
    return exitCode(window.restart ? WindowResult::Replaced : WindowResult::Ended);
}

}  // namespace vlr
