/*******************************************************************************************
*  frame_desktop.cpp — what the whole window answers before any page: zoom and dropped files
*
*  Ctrl with plus, minus or 0 (and Ctrl with the wheel) steps the zoom; the main loop's scale
*  check then rebuilds the fonts and the next frame is laid out anew, as when the display's
*  scale changes. A file dropped on the window becomes the game disc when the Play page shows
*  its field; anything else gets a notice saying what the window takes.
*******************************************************************************************/
#include <algorithm>

#include "pages/pages.h"
#include "pages/play.h"
#include "shell/shell.h"
#include "ui/input.h"

namespace vlr {

namespace {

// +1 in, -1 out, 0 back to the display's scale; 2 for a key that is not a zoom key.
int zoomKey(int key) {
    switch (key) {
    case KEY_EQUAL:  // "+" is Shift with this key on most layouts; both zoom in
    case KEY_KP_ADD: return 1;
    case KEY_MINUS:
    case KEY_KP_SUBTRACT: return -1;
    case KEY_ZERO:
    case KEY_KP_0: return 0;
    default: return 2;
    }
}

}  // namespace

void followZoomInput(UiState& ui, ShellState& shell) {
    InputSnapshot& in = ui.input;
    float zoom = shell.zoom;
    const auto isZoom = [](const Keystroke& s) { return s.key != 0 && zoomKey(s.key) != 2 && strokeHas(s, kModControl); };
    for (const Keystroke& stroke : in.strokes) {
        if (!isZoom(stroke)) continue;
        const int step = zoomKey(stroke.key);
        zoom = step == 0 ? 1.0f : zoomStep(zoom, step);
    }
    // The keys were the zoom's; a focused field must not take them as well.
    keepStrokes(in, [&](const Keystroke& stroke) { return !isZoom(stroke); });
    if (in.wheel != 0 && modifierHeld(kModControl)) {
        zoom = zoomStep(zoom, in.wheel > 0 ? 1 : -1);
        in.wheel = 0;
    }
    shell.zoom = zoom;
}

void takeDroppedFiles(UiState& ui, const WindowState& window) {
    const InputCalls& sys = inputCalls();
    if (sys.droppedFiles == nullptr) return;
    const std::vector<std::string> files = sys.droppedFiles();
    if (files.empty()) return;
    if (files.size() == 1 && window.stateReceived && ui.currentPage == pageIndex(playPage)) {
        takeIsoPath(files.front());
        return;
    }
    postNotice(ui, "The window takes one ISO file, dropped on the Play page: it becomes the game disc.");
}

}  // namespace vlr
