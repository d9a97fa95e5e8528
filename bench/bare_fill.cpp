/*******************************************************************************************
*  bare_fill.cpp — what the graphics driver charges for filling, without the launcher window
*
*  A raylib program with the launcher window's size and flags presents frames that hold
*  nothing, one opaque box of the console log's size, the same box rounded, and two such
*  boxes, and prints the process's processor time per presented frame of each against the
*  empty one. With a driver that has no GPU this is the floor under any page's cost: a page
*  that shows a card or the log box pays at least this much more than a blank one.
*
*      bare_fill [--frames N] [--no-msaa]
*******************************************************************************************/
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

#include "raylib.h"

namespace {

constexpr Color kBackground{10, 10, 11, 255};
constexpr Color kFill{24, 24, 27, 255};
constexpr Rectangle kBox{50, 150, 1180, 540};   // about the console log's box at 1280 x 720

double presentedMicros(int frames, int boxes, bool rounded) {
    const std::clock_t start = std::clock();
    for (int i = 0; i < frames; ++i) {
        BeginDrawing();
        ClearBackground(kBackground);
        for (int b = 0; b < boxes; ++b) {
            const Rectangle box{kBox.x + 10.0f * b, kBox.y + 10.0f * b, kBox.width - 20.0f * b, kBox.height - 20.0f * b};
            if (rounded)
                DrawRectangleRounded(box, 0.03f, 0, kFill);
            else
                DrawRectangleRec(box, kFill);
        }
        EndDrawing();
    }
    return static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC * 1e6 / frames;
}

}  // namespace

int main(int argc, char** argv) {
    int frames = 300;
    bool msaa = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--frames" && i + 1 < argc)
            frames = std::max(10, std::atoi(argv[++i]));
        else if (arg == "--no-msaa")
            msaa = false;
    }
    SetTraceLogLevel(LOG_WARNING);
    SetConfigFlags(FLAG_WINDOW_RESIZABLE | (msaa ? FLAG_MSAA_4X_HINT : 0));
    InitWindow(1280, 720, "Velocrash Rebuilt");
    if (!IsWindowReady()) {
        std::printf("no graphics window could be created (is DISPLAY set?)\n");
        return 1;
    }
    presentedMicros(20, 0, false);   // the driver compiles its first programs here

    struct Case {
        const char* name;
        int boxes;
        bool rounded;
    };
    const Case cases[] = {{"blank", 0, false}, {"one box", 1, false}, {"one rounded box", 1, true},
                          {"two boxes", 2, false}};
    std::printf("%s, %d frames each: process CPU per presented frame\n", msaa ? "4x multisampling" : "no multisampling",
                frames);
    double blank = 0;
    for (const Case& c : cases) {
        const double micros = presentedMicros(frames, c.boxes, c.rounded);
        if (c.boxes == 0) blank = micros;
        std::printf("%-16s %8.0f us  %5.2f x blank\n", c.name, micros, micros / blank);
    }
    CloseWindow();
    return 0;
}
