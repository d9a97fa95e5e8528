/*******************************************************************************************
*  bench_frame.cpp — what one frame of the launcher window costs
*
*  Opens the real window (run it under Xvfb or on a desktop), applies the demo launcher's
*  state after a simulated installation and an available update, and times the frame without
*  presenting it: input snapshot, layout, measuring and drawing into raylib's batch. Prints
*  per page the batch flushes, draw calls and vertices of one frame, the median and 99th percentile over
*  1000 frames, the thread's processor time per frame, the process's processor time per
*  presented frame, and the same for a blank page (the window before its first state) measured
*  in the same run, with each page's ratio to it. Also the resident memory after start-up and
*  at the end. A program, not a test.
*
*      bench_frame [--frames N] [--only PAGE] [path/to/tools/demo-launcher/launcher.py]
*******************************************************************************************/
#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <ctime>
#include <time.h>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "link/commands.h"
#include "link/http.h"
#include "link/json.h"
#include "link/link.h"
#include "link/state.h"
#include "pages/console.h"
#include "settings/settings.h"
#include "settings/settings_model.h"
#include "shell/shell.h"
#include "ui/fonts.h"
#include "ui/widgets.h"

#include "demo_peer.h"

// raylib reaches OpenGL through the loader's function pointers; counting the calls that go
// through them is the one way to see every flush, including those raylib starts by itself
// (a full batch, too many draw calls). Only this benchmark looks at them.
extern "C" {
extern void (*glad_glUseProgram)(unsigned program);
extern void (*glad_glDrawElements)(unsigned mode, int count, unsigned type, const void* indices);
extern void (*glad_glDrawArrays)(unsigned mode, int first, int count);
extern void (*glad_glBufferSubData)(unsigned target, long offset, long size, const void* data);
}

namespace {

using Clock = std::chrono::steady_clock;
using namespace vlr;

int kFrames = 1000;   // --frames N
std::string onlyPage; // --only NAME: just the cases whose name starts with NAME (and the blank one)

// ---- counting flushes and draw calls ----

struct GlCounts {
    int flushes = 0;     // batches sent to the driver (one program bind each)
    int drawCalls = 0;   // glDrawElements / glDrawArrays
    long vertices = 0;   // sent with the batches
};
GlCounts glCounts;
void (*realUseProgram)(unsigned) = nullptr;
void (*realDrawElements)(unsigned, int, unsigned, const void*) = nullptr;
void (*realDrawArrays)(unsigned, int, int) = nullptr;

void countUseProgram(unsigned program) {
    if (program != 0)
        ++glCounts.flushes;
    realUseProgram(program);
}
void countDrawElements(unsigned mode, int count, unsigned type, const void* indices) {
    ++glCounts.drawCalls;
    realDrawElements(mode, count, type, indices);
}
void countDrawArrays(unsigned mode, int first, int count) {
    ++glCounts.drawCalls;
    realDrawArrays(mode, first, count);
}

// raylib sends each vertex as position, texture corner and normal (8 floats) and colour
// (4 bytes): 36 bytes.
void (*realBufferSubData)(unsigned, long, long, const void*) = nullptr;
void countBufferSubData(unsigned target, long offset, long size, const void* data) {
    glCounts.vertices += size;
    realBufferSubData(target, offset, size, data);
}

void countGlCalls() {
    realBufferSubData = glad_glBufferSubData;
    glad_glBufferSubData = countBufferSubData;
    realUseProgram = glad_glUseProgram;
    realDrawElements = glad_glDrawElements;
    realDrawArrays = glad_glDrawArrays;
    glad_glUseProgram = countUseProgram;
    glad_glDrawElements = countDrawElements;
    glad_glDrawArrays = countDrawArrays;
}

// ---- one figure per page ----

struct PageFigures {
    std::string name;
    GlCounts counts;            // in one whole frame, presenting included
    double median = 0, p99 = 0; // wall time of the frame without presenting, microseconds
    double cpuMedian = 0;       // this thread's processor time of the same
    double presentedCpu = 0;    // the process's processor time per presented frame
};
std::vector<PageFigures> figures;

std::string launcherScript(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--frames" && i + 1 < argc)
            kFrames = std::max(10, std::atoi(argv[++i]));
        else if (std::string(argv[i]) == "--only" && i + 1 < argc)
            onlyPage = argv[++i];
        else
            return argv[i];
    }
    std::string here = __FILE__;
    const std::string tail = "bench/bench_frame.cpp";
    if (here.size() >= tail.size())
        here.erase(here.size() - tail.size());
    return here + "tools/demo-launcher/launcher.py";
}

// Resident memory in KiB from the proc file system; -1 where there is none.
long residentKiB() {
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word) {
        if (word == "VmRSS:") {
            long kib = -1;
            status >> kib;
            return kib;
        }
    }
    return -1;
}

void printResident(const char* when) {
    const long kib = residentKiB();
    if (kib < 0)
        std::printf("resident memory %s: not available here\n", when);
    else
        std::printf("resident memory %s: %.1f MiB\n", when, static_cast<double>(kib) / 1024);
}

// Runs a launcher job and waits (at most 30 s) until the launcher is idle again.
void runJob(const Link& link, const char* action, const std::string& body) {
    post(link, action, body, 5000);
    const Clock::time_point start = Clock::now();
    while (Clock::now() - start < std::chrono::seconds(30)) {
        const Json state = post(link, "state", "{}", 5000);
        if (asText(get(state, "running")).empty())
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

// The demo launcher's document after an installation, with an update on offer.
Json demoState(test::DemoPeer& peer) {
    if (!peer.started())
        return Json();
    runJob(peer.link, "download-compiler", "{}");
    runJob(peer.link, "install", "{\"iso\": \"/games/Velocrash (Europe).iso\"}");
    for (int i = 0; i < 2; ++i) {
        post(peer.link, "check-updates", "{}", 5000);
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
    }
    return post(peer.link, "state", "{}", 5000);
}

Json syntheticState() {
    return parseJson(R"({"steps": {"Compiler downloaded": true, "Game built": true}, "version": "0.9.3",
        "work": "/home/user/Velocrash/work", "running": "", "updates": {"behind": true, "note": "", "new": []}})");
}

void setRunning(Json& document, const std::string& task) {
    Json running;
    running.kind = JsonKind::String;
    running.text = task;
    for (auto& member : document.members) {
        if (member.first == "running") {
            member.second = running;
            return;
        }
    }
    document.members.emplace_back("running", running);
}

// What the Settings case draws: visible setting rows and PS2 buttons with a binding.
void printSettingsCoverage(const Json& state) {
    int rows = 0;
    int buttons = 0;
    const Json& table = get(state, "table");
    for (const Json& column : get(table, "columns").items) {
        for (const Json& section : column.items) {
            for (const Json& row : get(section, "rows").items)
                rows += rowVisible(row) ? 1 : 0;
        }
    }
    for (const Json& button : get(table, "buttons").items)
        buttons += settingValue("key_" + asText(at(button, 0))) ? 1 : 0;
    std::printf("Settings page: %d visible setting rows, %d bound PS2 buttons, %zu settings\n", rows, buttons,
                windowState().settings.size());
}

// The Settings page's own work without the graphics driver: one measuring pass of the whole
// page (every row, editor and binding line laid out), as a card's first pass runs it.
void benchSettingsLayout() {
    UiState& ui = uiState();
    std::vector<double> micros;
    for (int i = 0; i < kFrames; ++i) {
        ui.drawing = false;
        const Clock::time_point start = Clock::now();
        settingsPage({50, 130, static_cast<float>(std::min(1180, GetScreenWidth() - 56)), 0, {}});
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        ui.drawing = true;
    }
    std::sort(micros.begin(), micros.end());
    std::printf("%-24s median %7.1f us, p99 %7.1f us\n", "Settings, layout only", micros[micros.size() / 2],
                micros[micros.size() * 99 / 100]);
}

// Processor time of this thread in microseconds: unlike the wall clock, it does not count
// the time other programs on a busy machine take from it.
double threadCpuMicros() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

void benchPage(const char* name, int page) {
    if (!onlyPage.empty() && std::string(name).rfind(onlyPage, 0) != 0 && std::string(name) != "Blank")
        return;
    UiState& ui = uiState();
    ui.currentPage = ui.requestedPage = page;
    PageFigures result;
    result.name = name;
    // One frame first: counted whole (the flush at presenting included), and a page's first
    // drawing may settle its records.
    drawFrame();
    EndDrawing();
    glCounts = {};
    drawFrame();
    EndDrawing();
    result.counts = glCounts;
    result.counts.vertices /= 36;

    std::vector<double> micros;
    std::vector<double> cpu;
    micros.reserve(kFrames);
    cpu.reserve(kFrames);
    const std::clock_t cpuStart = std::clock();
    for (int i = 0; i < kFrames; ++i) {
        const Clock::time_point start = Clock::now();
        const double cpuBefore = threadCpuMicros();
        drawFrame();
        cpu.push_back(threadCpuMicros() - cpuBefore);
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
        EndDrawing();
    }
    result.presentedCpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC * 1e6 / kFrames;
    std::sort(micros.begin(), micros.end());
    std::sort(cpu.begin(), cpu.end());
    result.median = micros[micros.size() / 2];
    result.p99 = micros[micros.size() * 99 / 100];
    result.cpuMedian = cpu[cpu.size() / 2];
    std::printf("%-24s flushes %3d, draw calls %4d, vertices %6ld, median %7.1f us, p99 %7.1f us, CPU median %7.1f us, "
                "process CPU per presented frame %6.0f us\n",
                name, result.counts.flushes, result.counts.drawCalls, result.counts.vertices, result.median, result.p99, result.cpuMedian,
                result.presentedCpu);
    std::fflush(stdout);
    figures.push_back(result);
}

// The blank page: the window's frame (header, tabs, footer) around a page with one line, as
// the window shows before its first state.
void benchBlank() {
    WindowState& window = windowState();
    const bool received = window.stateReceived;
    window.stateReceived = false;
    benchPage("Blank", 0);
    window.stateReceived = received;
}

void printTable() {
    if (figures.empty())
        return;
    const PageFigures& blank = figures.front();
    std::printf("\n%-24s %7s %6s %8s %9s %9s %9s %8s %10s %8s\n", "page", "flushes", "draws", "vertices",
                "median us", "p99 us", "CPU us", "x blank", "present us", "x blank");
    for (const PageFigures& page : figures) {
        std::printf("%-24s %7d %6d %8ld %9.1f %9.1f %9.1f %8.2f %10.0f %8.2f\n", page.name.c_str(),
                    page.counts.flushes, page.counts.drawCalls, page.counts.vertices, page.median, page.p99, page.cpuMedian, page.cpuMedian / blank.cpuMedian,
                    page.presentedCpu, page.presentedCpu / blank.presentedCpu);
    }
}

// 20000 lines of about 120 characters: every seventh holds multi-byte text, every
// thirteenth is longer than the log box and wraps.
void fillConsole() {
    clearConsole();
    for (int i = 0; i < 20000; ++i) {
        std::string line = "[";
        line.append(std::to_string(i)).append("]\tgen_").append(std::to_string(i % 240)).append(".cpp\t");
        if (i % 7 == 0) line += "r\xc3\xa9sultat \xe2\x80\x94 \xc2\xabVelocrash\xc2\xbb \xe2\x9c\x93 ";
        const std::size_t target = i % 13 == 0 ? 400 : 120;
        while (line.size() < target) line += "sub_00104a20 ";
        line.resize(target);
        line += '\n';
        appendConsole(line);
    }
}

void benchConsole() {
    fillConsole();
    ConsoleRecords& console = consoleRecords();
    console.follow = true;
    benchPage("Console, 20000 lines", 1);
    console.follow = false;
    console.offset = static_cast<float>(visualLineCount(console.index)) * roundHalfAway(18 * uiState().scale) / 2;
    benchPage("Console, middle", 1);
}

// One line of 10 MB that never ends, as progress output rewritten with carriage returns
// gives: its frames must cost what frames of ordinary lines cost. The frame after it arrived
// (which measures the new entries once) is timed apart.
void benchLongLine() {
    if (!onlyPage.empty() && std::string("Console, 10 MB").rfind(onlyPage, 0) != 0) return;
    clearConsole();
    std::string piece;
    for (int i = 0; piece.size() < 65536; ++i) piece += "\rbuilding \xE2\x96\x88 " + std::to_string(i % 100) + "% ";
    std::size_t fed = 0;
    for (; fed < 10000000; fed += piece.size()) appendConsole(piece);
    ConsoleRecords& console = consoleRecords();
    console.follow = true;
    UiState& ui = uiState();
    ui.currentPage = ui.requestedPage = 1;
    const double before = threadCpuMicros();
    drawFrame();
    const double first = threadCpuMicros() - before;
    EndDrawing();
    std::printf("one line of %.1f MB without an end: %zu console entries; the frame after it arrived took %.0f us of CPU\n",
                fed / 1e6, windowState().console.size(), first);
    benchPage("Console, 10 MB line", 1);
    console.follow = false;
    console.offset = static_cast<float>(visualLineCount(console.index)) * roundHalfAway(18 * uiState().scale) / 2;
    benchPage("Console, 10 MB, middle", 1);
}

// ---- text in other scripts ----

void appendUtf8(std::string& out, int c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Distinct characters from a running count: CJK ideographs, Hangul syllables, then the
// supplementary ideographs (which few fonts have: those measure and draw as '?').
int nthGlyph(int n) {
    if (n < 20992) return 0x4E00 + n;
    if (n < 20992 + 11172) return 0xAC00 + n - 20992;
    return 0x20000 + n - 20992 - 11172;
}

// The console as fillConsole makes it, in CJK and Cyrillic: the same line lengths in
// characters, the ideographs from a pool of 600 so that the glyphs are made once and then reused.
void fillConsoleInOtherScripts() {
    clearConsole();
    for (int i = 0; i < 20000; ++i) {
        std::string line = "[";
        line.append(std::to_string(i)).append("]\t");
        const int target = i % 13 == 0 ? 200 : 60;
        for (int c = 0; c < target; ++c) {
            const bool cyrillic = (i + c / 6) % 3 == 0;
            appendUtf8(line, cyrillic ? 0x430 + (i * 7 + c) % 32 : 0x4E00 + (i * 31 + c * 7) % 600);
            if (c % 9 == 8) line += ' ';
        }
        line += '\n';
        appendConsole(line);
    }
}

double frameCpu() {
    const double before = threadCpuMicros();
    drawFrame();
    const double spent = threadCpuMicros() - before;
    EndDrawing();
    return spent;
}

void printLateGlyphs(const char* when) {
    const LateGlyphStats stats = lateGlyphStats();
    std::printf("%s: %zu late glyphs known, %zu in the texture, %d of %d bands in use, %zu fallback faces (%.1f MiB)\n",
                when, stats.known, stats.placed, stats.bandsInUse, stats.bands, stats.faces,
                static_cast<double>(stats.faceBytes) / (1024 * 1024));
    printResident(when);
}

void benchOtherScripts() {
    if (!onlyPage.empty() && std::string("Console, CJK").rfind(onlyPage, 0) != 0) return;
    ConsoleRecords& console = consoleRecords();
    UiState& ui = uiState();
    ui.currentPage = ui.requestedPage = 1;

    // The frame that first meets 500 new glyphs: 25 lines of 20 characters never drawn before.
    clearConsole();
    for (int line = 0; line < 25; ++line) {
        std::string text;
        for (int c = 0; c < 20; ++c) appendUtf8(text, nthGlyph(30000 - 500 + line * 20 + c));
        appendConsole(text + "\n");
    }
    console.follow = true;
    const double first = frameCpu();
    const double again = frameCpu();
    std::printf("the frame that meets 500 new glyphs: %.0f us of CPU; the next one: %.0f us\n", first, again);

    fillConsoleInOtherScripts();
    console.follow = true;
    benchPage("Console, CJK + Cyrillic", 1);
    console.follow = false;
    console.offset = static_cast<float>(visualLineCount(console.index)) * roundHalfAway(18 * ui.scale) / 2;
    benchPage("Console, CJK, middle", 1);

    // Distinct glyphs streaming past, a console line of 100 new ones per frame.
    clearConsole();
    console.follow = true;
    for (int n = 0; n < 50000; n += 100) {
        std::string text;
        for (int c = 0; c < 100; ++c) appendUtf8(text, nthGlyph(n + c));
        appendConsole(text + "\n");
        frameCpu();
        if (n + 100 == 5000) printLateGlyphs("after 5000 distinct CJK glyphs");
        if ((n + 100) % 10000 == 0) printLateGlyphs(("after " + std::to_string(n + 100) + " distinct glyphs").c_str());
    }
    clearConsole();
}

}  // namespace

int main(int argc, char** argv) {
    test::DemoPeerOptions options;
    options.script = launcherScript(argc, argv);
    test::DemoPeer peer(options);
    Json state = demoState(peer);
    if (!get(state, "steps").isObject()) {
        std::printf("demo launcher not available (%s); using a small synthetic document\n", peer.failure().c_str());
        state = syntheticState();
    }

    SetTraceLogLevel(LOG_WARNING);
    if (!createWindow()) {
        std::printf("no graphics window could be created (is DISPLAY set?)\n");
        return 1;
    }
    connectStateModel();
    setUpWindow(options.script);
    ClearWindowState(FLAG_WINDOW_HIDDEN);
    applyState(state);
    windowState().connected = true;
    drawFrame();
    EndDrawing();
    std::printf("window %dx%d at UI scale %.2f, state document of %zu top-level members\n", GetScreenWidth(),
                GetScreenHeight(), static_cast<double>(uiState().scale), state.members.size());
    printResident("after start-up");
    countGlCalls();

    benchBlank();
    benchPage("Play", 0);
    benchPage("Console, empty", 1);
    benchConsole();
    benchOtherScripts();
    benchLongLine();
    printSettingsCoverage(windowState().state);
    benchSettingsLayout();
    benchPage("Settings", 2);
    benchPage("Updates", 3);

    // The busiest shell: running bar, status line and a two-line notice over the Play page.
    setRunning(windowState().state, "Build");
    showNotice("The launcher does not answer. This notice is long enough to need more than one line when the window "
               "is of its usual width, which is what a notice of a real failure often looks like.");
    benchPage("Play, running + notice", 0);

    printTable();
    printResident("after the runs");
    CloseWindow();
    return 0;
}
