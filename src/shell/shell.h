/*******************************************************************************************
*  shell.h — the launcher window: lifecycle, main loop, wake thread and frame
*
*  Sections:
*    window mode    the entry's way in, one turn of its main loop, and what the shell hands
*                   the state model
*    records        the shell's process-wide values
*    window         creating, sizing and setting up the window (also used by the benchmark)
*    wake thread    wakes the event-waiting loop at the earliest requested time
*    frame          the one operation that draws the whole window
*    gamepad        read between frames into the frame's input queue
*
*  Window mode (app.h) opens one raylib window, starts the launcher link and runs an
*  event-driven loop: it sleeps until input, handed-over work or a requested wake time, then
*  runs the UI tasks, watches the launcher, follows the display scale and draws one frame.
*******************************************************************************************/
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/link.h"
#include "link/state.h"
#include "raylib.h"
#include "ui/fonts.h"
#include "ui/layout.h"
#include "ui/ui_state.h"

namespace vlr {

// ---- window mode ----

// How window mode ended: the process's exit code, and what the start mode does next.
enum class WindowResult : int {
    Ended = 0,          // closed, or handed over to a running window
    LauncherFailed = 1, // the launcher could not be started (or bad arguments)
    NoWindow = 2,       // no graphics window could be made
    Replaced = 3,       // the program file was replaced: start it anew
    Explained = 4,      // failed, and window mode has told the user why already
};

// Window mode: argument vector as the start mode builds it ("name --python P --script S").
// Returns a WindowResult as an int, the process's exit code.
int windowMode(int argc, const char* const* argv);

// One turn of the main loop after the UI tasks: draws a frame and waits for events, or, when
// a gamepad is connected or the turn ran only quiet tasks (a screen-reader bridge serving its
// queue) and nothing changed since the last frame, only waits. With a gamepad it also asks to
// be woken to read it again. Otherwise every turn draws; a gamepad plugged in ends the wait
// (the window library watches for devices) and is read from that turn on.
void drawOrWait(bool tasksRan, bool onlyQuietTasks = false);

// Gives the state model what it asks of the window besides raising it: the notice box, the key
// capture and the pages' records that follow each state document. Window mode does it before
// the link starts; tests that go through the state model do it too.
void connectStateModel();

// ---- placement and zoom ----

// Where the window was left, kept in one small file in the portable folder.
struct SavedPlacement {
    int x = 0, y = 0, width = 0, height = 0;
    bool maximized = false;
    float scale = 0;   // the display's scale where it was (0: not known)
    float zoom = 1;
};

// One connected monitor: its area in desktop pixels and its content scale (as uiScaleFrom gives it).
struct MonitorArea {
    int x = 0, y = 0, width = 0, height = 0;
    float scale = 1;
};

// The zoom steps, as fractions of the display's scale.
inline constexpr float kZoomSteps[] = {0.8f, 0.9f, 1.0f, 1.1f, 1.25f, 1.5f, 1.75f, 2.0f};

// The next step in or out (direction +1 / -1) from a zoom; an unknown zoom goes to the
// nearest step in that direction.
float zoomStep(float zoom, int direction);

std::string placementText(const SavedPlacement& placement);
// Nothing for a broken or foreign file, or values no window could have.
std::optional<SavedPlacement> parsePlacement(std::string_view text);
// True when the window's title bar would be on a connected monitor of the scale it was saved at.
bool placementFits(const SavedPlacement& placement, const std::vector<MonitorArea>& monitors);

// The placement file in the portable folder (VLR_PORTABLE, which the start mode sets); empty in
// the developer form without one, where nothing is kept.
std::string placementPath();
// What the file holds, when it can be used; reading never fails loudly.
std::optional<SavedPlacement> loadPlacement(const std::string& path);

struct ShellState;

// The monitors connected now.
std::vector<MonitorArea> connectedMonitors();
// Notes the window's normal size and place (each pass; a maximised window keeps the last one).
void rememberPlacement(ShellState& shell);
// Writes the placement file as the window closes.
void savePlacement(ShellState& shell);

// ---- records ----

// A mouse press, key press (or repeat) or typed character, as GLFW reported it.
struct PendingInput {
    enum Kind : unsigned char { kButton, kKey, kChar, kAction };
    Kind kind = kKey;
    int code = 0;          // mouse button 0-7, raylib key code, Unicode code point, or a gamepad's NavAction
    float x = 0, y = 0;    // where the pointer was at a press: the click lands there
    int mods = 0;          // modifier keys held with a key press (kMod* bits)
    bool repeat = false;   // a key's auto-repeat while it is held, not a press
};

// More than this many unconsumed inputs means the frames have stopped; later ones are dropped.
inline constexpr std::size_t kMaxPendingInput = 4096;

// The gamepad the window follows: the first connected one, its controls held and when each
// repeats next (a held direction moves again after 400 ms, then every 80 ms).
inline constexpr int kGamepadControls = 13;
inline constexpr double kGamepadPollSeconds = 0.04;   // while one is connected and untouched
struct GamepadState {
    int pad = -1;                              // -1: none connected
    bool held[kGamepadControls] = {};
    double repeatAt[kGamepadControls] = {};
};

// What the last frame saw, so that a wake-up only to read the gamepad draws nothing when
// nothing else changed.
struct SeenByFrame {
    float mouseX = 0, mouseY = 0;
    int width = 0, height = 0;
    bool focused = false, minimized = false, mouseDown = false;
    bool operator==(const SeenByFrame&) const = default;
};

// Process-wide values of the window. Frame thread only: the GLFW callbacks that fill the input
// queue and the scroll accumulator run on it too, inside raylib's event wait between frames.
struct ShellState {
    Texture2D logo{};                  // "launcher.png" beside the script; id 0 when missing
    std::deque<PendingInput> pending;  // presses, keys and characters not yet taken, in order
    float scrollAccumulator = 0;       // vertical scroll since the last frame
    bool traceFrames = false;          // VLR_TRACE_FRAMES: "frame <n> state <0|1> focus <id>
                                       // console <lines>" on standard error per frame
    std::uint64_t framesDrawn = 0;     // frames completed so far
    float zoom = 1;                    // the user's zoom over the display's scale (Ctrl+plus/minus/0)
    std::string placementFile;         // where the placement is kept; empty: not kept
    SavedPlacement normal;             // the last size and place while neither maximised nor minimised
    GamepadState gamepad;
    SteadyTime frameWake = SteadyTime::max();  // the earliest wake-up the last frame asked for
    SeenByFrame seen;
    bool drawNext = true;              // the loop's next turn draws a frame whatever the gamepad says
    std::size_t quietTasks = 0;        // UI tasks of this turn that draw no frame by themselves
    std::function<void()> startLauncherAgain;  // the start-up's find-or-start, anew (window mode sets it)
    bool jobShown = false;             // the desktop shows a running job (taskbar)
};

ShellState& shellState();  // one of the window-wide records (shell/records.h)

// ---- window ----

// Size and place for a monitor: the scaled base size, at most nine tenths of the monitor,
// centred. The minimum size never exceeds the placed size, so a small monitor at a large
// scale cannot force the window past the screen.
struct WindowPlacement {
    int width, height, x, y, minWidth, minHeight;
};
WindowPlacement placeWindow(int monitorWidth, int monitorHeight, float monitorX, float monitorY, float scale);

// The UI scale for a display content scale: at least 1; anything unreadable counts as 1.
float uiScaleFrom(float contentScale);

// UI scale of the display the window is on now.
float displayScale();

// The folder holding the script (its last run of separators dropped, a root kept) and the
// logo file in it.
std::string scriptFolder(std::string_view scriptPath);
std::string logoPath(std::string_view scriptPath);

// Creates the hidden window; false when no graphics window could be made. raylib's log level
// is the caller's to set (a font bake may be logging from another thread meanwhile).
bool createWindow();

// The scale fonts are baked for while the window is still being made: most displays have it.
inline constexpr float kLikelyScale = 1;

// Everything between creating the window and starting the threads: exit key, scale, size and
// placement, title bar, logo, fonts, input hooks and the window calls of the state model.
// Fonts baked early for the scale the window turns out to have are used as they are.
void setUpWindow(const std::string& scriptPath, BakedFonts early = {});

// ---- wake thread ----

// One round of the wake thread, with the Link's lock held: waits for a deadline, or until
// the deadline, or fires it (clears it and wakes the frame loop while the window is open).
void wakeRound(Link& link, std::unique_lock<std::mutex>& hold);

// Thread body: wake rounds for the life of the process.
[[noreturn]] void runWake(Link& link);

// Wakes the event-waiting frame loop; safe from any thread while the window exists.
void postEmptyEvent();

// Asks the wake thread for a frame at a time (the frame's own wake-ups: notice, running bar).
void wakeFrameAt(SteadyTime when);

// The running bar's pace: at most this many frames a second while nothing else changes.
inline constexpr double kAnimationFps = 30;

// When the running bar's next frame comes, for a frame that started at `frameStart` and was
// drawn by `now`: a 30th of a second after that start, or, when drawing took longer than half
// of that, as long after `now` as the drawing took. Any frame drawn meanwhile (input, output)
// moves the bar too and asks anew, so the two never add up.
SteadyTime animationFrameAt(SteadyTime frameStart, SteadyTime now);

// A job started or ended: the taskbar's progress while it runs, and a flash (or the window
// manager's attention) when it ends while the window is behind others.
void followJobOnDesktop(ShellState& shell, bool running);

// ---- frame ----

// The running bar's segment on a separator of the given width at a clock time (seconds):
// it sweeps from off the left edge to off the right edge every 1.4 s, easing in and out.
// Already cut to [0, width]; width 0 when it lies wholly outside.
struct BarSpan {
    float x, width;
};
float runningBarEase(double seconds);
BarSpan runningBarSpan(double seconds, float screenWidth);

// The footer's status line.
struct StatusLine {
    std::string text;   // empty: nothing to show
    bool alert = false; // accent colour instead of secondary text
};
StatusLine statusLine(const WindowState& window);

// The footer's one-sentence variant of stoppedLine.
std::string stoppedStatusText(std::int32_t code);

// Why the controls the launcher serves are off while the event stream is down (a disabled
// control says it on hover or focus); empty while it is up.
std::string launcherAwayText(const WindowState& window);

// The status line's button while the launcher is gone.
inline constexpr const char* kStartAgainLabel = "Start the launcher again";
// The window's title, which a screen reader reads too.
inline constexpr const char* kWindowTitle = "Velocrash Rebuilt";

// Queues a mouse press, key or character for the next frame (the GLFW callbacks call this).
void queueInput(ShellState& shell, PendingInput input);

// Steps of the frame before anything is drawn: moves queued input into the input snapshot,
// then lets the overlays that own the mouse (drop-down list, key capture, focused text field)
// take what is theirs. `bind` receives a captured binding.
//
// Input keeps its order across frames: typing and clicking never share a snapshot, so text
// typed before a click lands in the field that had focus and text typed after it in the field
// the click focuses. What a frame leaves in the queue is taken by the next one, which the
// frame asks for at once; so are the strokes a frame handed on (InputSnapshot::later: what came
// after a focus move or a field's commit), ahead of the queue.
using BindFn = std::function<void(const std::string& setting, int code)>;
void takeInput(UiState& ui, ShellState& shell);
// True when the snapshot holds a press, wheel movement, key or character: the frame then asks
// for one more frame at once, so what the input changed is shown without waiting for more.
bool inputArrived(const InputSnapshot& in);
void resolveOverlays(UiState& ui, bool windowFocused, const BindFn& bind);

// Ctrl with plus, minus, 0 or the wheel: the next zoom step, taken out of the snapshot. The
// main loop applies the new zoom before the next frame.
void followZoomInput(UiState& ui, ShellState& shell);

// Files dropped on the window since the last frame: one file while the Play page shows the
// game disc field becomes its path; anything else gets a notice.
void takeDroppedFiles(UiState& ui, const WindowState& window);

// The whole frame without presenting it (the benchmark times this part).
void drawFrame();

// Draws the whole window once and presents it; with event waiting on, returns when the next
// input, empty event or window event arrives.
void frame();

// ---- gamepad ----

// Reads the gamepad (through inputCalls()) and queues its navigation actions for the next
// frame; true when it queued one. Forgets a gamepad that went away.
bool pollGamepad(ShellState& shell, double now);

}  // namespace vlr
