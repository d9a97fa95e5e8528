/*******************************************************************************************
*  bare_window.cpp — the start-up baseline: a raylib program that only opens a window
*
*  Opens a window with the launcher window's size and flags, draws one frame, says so on
*  standard error the way the launcher window's frame trace does ("frame 1"), and waits to be
*  ended. bench/startup.py times it beside the real window: most of either start is the
*  graphics driver making its context, which this one measures alone.
*******************************************************************************************/
#include <cstdio>

#include "raylib.h"

int main() {
    SetTraceLogLevel(LOG_WARNING);
    SetConfigFlags(FLAG_WINDOW_RESIZABLE | FLAG_MSAA_4X_HINT);
    InitWindow(1280, 720, "Velocrash Rebuilt");
    if (!IsWindowReady())
        return 1;
    BeginDrawing();
    ClearBackground(Color{10, 10, 11, 255});
    std::fprintf(stderr, "frame 1\n");
    std::fflush(stderr);
    EndDrawing();
    while (!WindowShouldClose()) {
        PollInputEvents();
        WaitTime(0.1);   // not drawing: only there to be timed and ended
    }
    CloseWindow();
    return 0;
}
