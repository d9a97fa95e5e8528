/*******************************************************************************************
*  window.cpp — creating, sizing and setting up the launcher window
*
*  Sections:
*    records        the shell's process-wide values
*    placement      size and position rule, UI scale
*    logo           "launcher.png" beside the script
*    input hooks    input queue and scroll accumulator in front of raylib's own callbacks
*    desktop        the taskbar's progress and attention while a job runs and when it ends
*    set-up         the steps between creating the window and starting the threads
*
*  raylib is built on an external GLFW, so the GLFW calls here are ours to make: chaining
*  the mouse callbacks, reading the content scale and posting empty events.
*******************************************************************************************/
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <vector>

#define GLFW_INCLUDE_NONE
#include <GLFW/glfw3.h>

#include "platform/platform.h"
#include "shell/shell.h"
#include "ui/fonts.h"

namespace vlr {

// ---- placement ----

WindowPlacement placeWindow(int monitorWidth, int monitorHeight, float monitorX, float monitorY, float scale) {
    WindowPlacement place{};
    place.width = std::min(monitorWidth * 9 / 10, static_cast<int>(scale * kBaseWidth));
    place.height = std::min(monitorHeight * 9 / 10, static_cast<int>(scale * kBaseHeight));
    // Integer division rounds the halves toward zero, as the centring should.
    place.x = (monitorWidth - place.width) / 2 + static_cast<int>(monitorX);
    place.y = (monitorHeight - place.height) / 2 + static_cast<int>(monitorY);
    place.minWidth = std::min(static_cast<int>(scale * 720), place.width);
    place.minHeight = std::min(static_cast<int>(scale * 480), place.height);
    return place;
}

float uiScaleFrom(float contentScale) {
    return std::isfinite(contentScale) && contentScale > 1 ? contentScale : 1.0f;
}

float displayScale() {
    // Asked of GLFW directly: raylib reports 1 unless it manages high-DPI itself, which it must
    // not here, since every length of the UI is scaled by us.
    float x = 1, y = 1;
    if (GLFWwindow* window = glfwGetCurrentContext())
        glfwGetWindowContentScale(window, &x, &y);
    return uiScaleFrom(x);
}

void postEmptyEvent() {
    glfwPostEmptyEvent();
}

std::vector<MonitorArea> connectedMonitors() {
    std::vector<MonitorArea> areas;
    int count = 0;
    GLFWmonitor** monitors = glfwGetMonitors(&count);
    for (int i = 0; monitors != nullptr && i < count; ++i) {
        const GLFWvidmode* mode = glfwGetVideoMode(monitors[i]);
        if (mode == nullptr) continue;
        MonitorArea area;
        glfwGetMonitorPos(monitors[i], &area.x, &area.y);
        area.width = mode->width;
        area.height = mode->height;
        float x = 1, y = 1;
        glfwGetMonitorContentScale(monitors[i], &x, &y);
        area.scale = uiScaleFrom(x);
        areas.push_back(area);
    }
    return areas;
}

void rememberPlacement(ShellState& shell) {
    if (IsWindowMaximized() || IsWindowMinimized()) return;
    const Vector2 at = GetWindowPosition();
    shell.normal.x = static_cast<int>(at.x);
    shell.normal.y = static_cast<int>(at.y);
    shell.normal.width = GetScreenWidth();
    shell.normal.height = GetScreenHeight();
}

void savePlacement(ShellState& shell) {
    if (shell.placementFile.empty() || shell.normal.width <= 0) return;
    SavedPlacement p = shell.normal;
    p.maximized = IsWindowMaximized();
    p.scale = displayScale();
    p.zoom = shell.zoom;
    platform::writeFileAtomically(shell.placementFile, placementText(p));  // best effort: a lost place is no harm
}

// ---- logo ----

namespace {

bool isSeparator(char c) {
    return c == '/' || c == '\\';
}

bool isBareDrive(std::string_view path) {
    return path.size() == 2 && path[1] == ':';
}

}  // namespace

std::string scriptFolder(std::string_view scriptPath) {
    std::size_t end = scriptPath.size();
    while (end > 0 && !isSeparator(scriptPath[end - 1]))
        --end;  // the file name
    if (end == 0)
        return {};  // a bare file name: the current folder
    const std::size_t runEnd = end;
    while (end > 0 && isSeparator(scriptPath[end - 1]))
        --end;
    std::string_view folder = scriptPath.substr(0, end);
    // A script at the root keeps its root ("/", "C:\"), else the logo would be looked for in
    // the current folder.
    if (folder.empty() || isBareDrive(folder))
        folder = scriptPath.substr(0, std::min(runEnd, end + 1));
    return std::string(folder);
}

std::string logoPath(std::string_view scriptPath) {
    std::string path = scriptFolder(scriptPath);
    if (!path.empty() && !isSeparator(path.back()) && !isBareDrive(path))
        path += platform::pathSeparator();
    return path + "launcher.png";
}

namespace {

// The logo with its smaller levels, each texel the average of the 2×2 above it (what a
// driver's mipmap generation gives). Made here rather than by the driver: a driver without a
// GPU compiles a shader for it, which once took a fifth of the window's start.
Image withMipmaps(Image image) {
    ImageFormat(&image, PIXELFORMAT_UNCOMPRESSED_R8G8B8A8);
    std::vector<std::vector<unsigned char>> levels;
    levels.emplace_back(static_cast<const unsigned char*>(image.data),
                        static_cast<const unsigned char*>(image.data) + static_cast<std::size_t>(image.width) * image.height * 4);
    int w = image.width, h = image.height;
    while (w > 1 || h > 1) {
        const int nw = std::max(1, w / 2), nh = std::max(1, h / 2);
        const std::vector<unsigned char>& above = levels.back();
        std::vector<unsigned char> level(static_cast<std::size_t>(nw) * nh * 4);
        for (int y = 0; y < nh; ++y) {
            for (int x = 0; x < nw; ++x) {
                const int x0 = std::min(2 * x, w - 1), x1 = std::min(2 * x + 1, w - 1);
                const int y0 = std::min(2 * y, h - 1), y1 = std::min(2 * y + 1, h - 1);
                for (int c = 0; c < 4; ++c) {
                    auto at = [&](int ax, int ay) { return above[(static_cast<std::size_t>(ay) * w + ax) * 4 + c]; };
                    const int sum = at(x0, y0) + at(x1, y0) + at(x0, y1) + at(x1, y1);
                    level[(static_cast<std::size_t>(y) * nw + x) * 4 + c] = static_cast<unsigned char>((sum + 2) / 4);
                }
            }
        }
        levels.push_back(std::move(level));
        w = nw;
        h = nh;
    }
    std::size_t total = 0;
    for (const auto& level : levels) total += level.size();
    auto* data = static_cast<unsigned char*>(MemAlloc(static_cast<unsigned>(total)));
    if (data == nullptr) return image;
    std::size_t at = 0;
    for (const auto& level : levels) {
        std::memcpy(data + at, level.data(), level.size());
        at += level.size();
    }
    UnloadImage(image);
    image.data = data;
    image.mipmaps = static_cast<int>(levels.size());
    return image;
}

void loadLogo(const std::string& scriptPath) {
    std::string bytes;
    if (!platform::readFile(logoPath(scriptPath), bytes) || bytes.empty() || bytes.size() > INT_MAX)
        return;  // no logo: the header simply goes without
    Image image = LoadImageFromMemory(".png", reinterpret_cast<const unsigned char*>(bytes.data()),
                                      static_cast<int>(bytes.size()));
    if (image.data == nullptr)
        return;
    image = withMipmaps(image);
    Texture2D texture = LoadTextureFromImage(image);
    SetTextureFilter(texture, TEXTURE_FILTER_TRILINEAR);
    shellState().logo = texture;
    UnloadImage(image);
}

// ---- input hooks ----

GLFWmousebuttonfun raylibMouseButton = nullptr;
GLFWscrollfun raylibScroll = nullptr;
GLFWkeyfun raylibKey = nullptr;
GLFWcharfun raylibChar = nullptr;

// raylib answers "pressed this frame" once per key and frame: a press and release between two
// frames, or several presses of one key, would count once. The queue keeps every one, in order.
void onMouseButton(GLFWwindow* window, int button, int action, int mods) {
    if (action == GLFW_PRESS && button >= 0 && button < 8) {
        const Vector2 at = GetMousePosition();  // moves before the press are in already
        queueInput(shellState(), {PendingInput::kButton, button, at.x, at.y});
    }
    if (raylibMouseButton)
        raylibMouseButton(window, button, action, mods);
}

// GLFW's key codes are raylib's; auto-repeats count as presses, so a held key repeats at the
// system's rate however slow the frames are.
void onKey(GLFWwindow* window, int key, int scancode, int action, int mods) {
    if ((action == GLFW_PRESS || action == GLFW_REPEAT) && key > 0)
        queueInput(shellState(), {PendingInput::kKey, key, 0, 0, mods, action == GLFW_REPEAT});
    if (raylibKey)
        raylibKey(window, key, scancode, action, mods);
}

void onChar(GLFWwindow* window, unsigned int codepoint) {
    queueInput(shellState(), {PendingInput::kChar, static_cast<int>(codepoint)});
    if (raylibChar)
        raylibChar(window, codepoint);
}

// raylib keeps only the last wheel offset of a frame; several notches between two frames add up.
void onScroll(GLFWwindow* window, double xOffset, double yOffset) {
    shellState().scrollAccumulator += static_cast<float>(yOffset);
    if (raylibScroll)
        raylibScroll(window, xOffset, yOffset);
}

void hookInput() {
    GLFWwindow* window = glfwGetCurrentContext();
    if (window == nullptr)
        return;
    raylibMouseButton = glfwSetMouseButtonCallback(window, onMouseButton);
    raylibScroll = glfwSetScrollCallback(window, onScroll);
    raylibKey = glfwSetKeyCallback(window, onKey);
    raylibChar = glfwSetCharCallback(window, onChar);
}

}  // namespace

// ---- the desktop's signs of a job ----

void followJobOnDesktop(ShellState& shell, bool running) {
    if (running == shell.jobShown) return;
    shell.jobShown = running;
    void* native = GetWindowHandle();
    platform::showBusyOnTaskbar(native, running);
    // A player who went elsewhere during a long build learns that it ended; the notice in the
    // window says how.
    if (!running && !IsWindowFocused() && !platform::flashUntilFront(native)) {
        if (GLFWwindow* window = glfwGetCurrentContext()) glfwRequestWindowAttention(window);
    }
}

// ---- set-up ----

bool createWindow() {
    SetConfigFlags(FLAG_WINDOW_RESIZABLE | FLAG_MSAA_4X_HINT | FLAG_WINDOW_HIDDEN);
    InitWindow(kBaseWidth, kBaseHeight, kWindowTitle);
    return IsWindowReady();
}

void setUpWindow(const std::string& scriptPath, BakedFonts early) {
    SetExitKey(KEY_NULL);  // Escape closes drop-down lists, never the window

    UiState& ui = uiState();
    ShellState& shell = shellState();
    const float display = displayScale();
    const std::optional<SavedPlacement> saved = loadPlacement(shell.placementFile);
    if (saved) shell.zoom = saved->zoom;  // the zoom is the user's whatever the monitor
    ui.scale = display * shell.zoom;

    const int monitor = GetCurrentMonitor();
    const int monitorWidth = GetMonitorWidth(monitor);
    const int monitorHeight = GetMonitorHeight(monitor);
    const Vector2 monitorAt = GetMonitorPosition(monitor);
    const WindowPlacement place = placeWindow(monitorWidth, monitorHeight, monitorAt.x, monitorAt.y, display);
    if (saved && placementFits(*saved, connectedMonitors())) {
        SetWindowSize(saved->width, saved->height);
        SetWindowPosition(saved->x, saved->y);
        SetWindowMinSize(std::min(place.minWidth, saved->width), std::min(place.minHeight, saved->height));
        shell.normal = *saved;  // maximised again once shown
    } else if (monitorWidth > 0 && monitorHeight > 0) {
        SetWindowSize(place.width, place.height);
        SetWindowPosition(place.x, place.y);
        SetWindowMinSize(place.minWidth, place.minHeight);
    } else {
        // No monitor to measure: keep where the system put us, at the scaled base size.
        SetWindowSize(static_cast<int>(display * kBaseWidth), static_cast<int>(display * kBaseHeight));
        SetWindowMinSize(static_cast<int>(display * 720), static_cast<int>(display * 480));
    }

    platform::useDarkTitleBar(GetWindowHandle());
    loadLogo(scriptPath);
    if (early.scale == ui.scale)
        adoptFonts(std::move(early));
    else
        rebuildFonts();
    hookInput();

    WindowCalls& calls = windowCalls();
    calls.isMinimized = [] { return IsWindowMinimized(); };
    calls.restore = [] { RestoreWindow(); };
    calls.focus = [] { SetWindowFocused(); };
}

}  // namespace vlr
