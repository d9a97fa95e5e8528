/*******************************************************************************************
*  bench_find.cpp — what finding in the console and word editing in a field cost
*
*  1. Twenty thousand lines of build output (about 110 bytes each, a few with the text
*     sought), searched for a rare word, a common word and one letter.
*  2. The worst cases: a full console (20 000 lines of 4 KiB of "a") searched for "a…ab" of
*     64 bytes and of the query cap, whole and as the page does it, a slice per frame; the search kept in step while output streams in (4 KiB a
*     line, a frame's worth at a time, the console full and trimming); Ctrl+Left, Ctrl+Backspace
*     and a double click over one word of 100 KB, valid and made of stray lead bytes.
*  Prints the median of several runs of each in milliseconds.
*
*      bench_find
*******************************************************************************************/
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "link/state.h"
#include "pages/console_find.h"
#include "ui/text_field.h"

namespace {

double medianMs(int runs, const std::function<void()>& work) {
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const auto start = std::chrono::steady_clock::now();
        work();
        const auto end = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void buildOutput() {
    std::deque<std::string> lines;
    for (int i = 0; i < 20000; ++i) {
        char text[160];
        std::snprintf(text, sizeof text, "[%d/2400] Building CXX object src/game/module_%d.cpp.o -O2 -fno-strict-aliasing -Iinclude",
                      1000 + i % 400, i);
        std::string line = text;
        if (i % 997 == 0) line += " error: expected ';' before '}' token";
        lines.push_back(std::move(line));
    }
    for (const char* query : {"Error:", "building", "o"}) {
        std::size_t found = 0;
        const double ms = medianMs(50, [&] { found = vlr::findInConsole(lines, 0, query).size(); });
        std::printf("find \"%s\" in %zu lines: %.2f ms (median of 50), %zu matches\n", query, lines.size(), ms, found);
    }
}

void adversarialFind() {
    const std::deque<std::string> lines(20000, std::string(4096, 'a'));
    for (std::size_t size : {std::size_t{64}, vlr::kMaxFindBytes}) {
        const std::string query = std::string(size - 1, 'a') + "b";
        std::size_t found = 0;
        const double ms = medianMs(5, [&] { found = vlr::findInConsole(lines, 0, query).size(); });
        // As the page runs it: a frame's worth of bytes at a time.
        std::vector<double> frames;
        vlr::ConsoleFind find;
        find.field.text = query;
        do {
            const auto start = std::chrono::steady_clock::now();
            vlr::refreshFind(find, lines, 0, vlr::kFindBytesPerFrame);
            frames.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        } while (find.pending);
        std::printf("find \"a..ab\" of %zu bytes in 20000 lines of 4 KiB: %.2f ms in all (median of 5), %zu matches; "
                    "on the page %zu frames, the longest %.2f ms\n",
                    size, ms, found, frames.size(), *std::max_element(frames.begin(), frames.end()));
    }
}

// A full console that keeps receiving 4 KiB lines, 40 per frame (about 10 MB/s at 60 frames),
// searched for a word found on every line: the cost of keeping the matches in step per frame.
void streamingFind() {
    vlr::WindowState& window = vlr::windowState();
    const std::string line = std::string(4000, 'x') + " needle " + std::string(87, 'y') + "\n";
    std::string frame;
    for (int i = 0; i < 40; ++i) frame += line;
    for (std::size_t i = 0; i < vlr::kConsoleMaxLines; ++i) vlr::appendConsole(line);
    vlr::ConsoleFind find;
    find.field.text = "needle";
    vlr::refreshFind(find, window.console, window.consoleDropped);
    const double ms = medianMs(200, [&] {
        vlr::appendConsole(frame);
        vlr::refreshFind(find, window.console, window.consoleDropped);
    });
    // Also an open last line that grows by a piece per frame.
    const double grow = medianMs(200, [&] {
        vlr::appendConsole("needle ");
        vlr::refreshFind(find, window.console, window.consoleDropped);
    });
    std::size_t bytes = 0;
    for (const std::string& kept : window.console) bytes += kept.size();
    std::printf("find kept in step with a full console (%zu lines, %.0f MB): %.3f ms a frame of 40 new lines, "
                "%.4f ms a frame that grows the last line; %zu matches\n",
                window.console.size(), static_cast<double>(bytes) / 1e6, ms, grow, find.matches.size());
}

void wordEditing() {
    struct Case {
        const char* name;
        std::string text;
    };
    for (const Case& c : {Case{"word of 100 KB", std::string(100000, 'w')},
                          Case{"word of 100 KB of stray lead bytes", std::string(100000, '\xF0')}}) {
        const std::string& text = c.text;
        std::size_t to = 0;
        const double left = medianMs(5, [&] { to = vlr::wordLeft(text, text.size()); });
        const double erase = medianMs(5, [&] {
            vlr::EditBuffer b;
            b.text = text;
            b.caret = text.size();
            b.anchor = vlr::kNoAnchor;
            b.text.erase(vlr::wordLeft(b.text, b.caret));  // what Ctrl+Backspace does
        });
        vlr::Selection word;
        const double twice = medianMs(5, [&] { word = vlr::wordAt(text, text.size() / 2); });
        std::printf("%s: Ctrl+Left %.3f ms (to %zu), Ctrl+Backspace %.3f ms, double click %.3f ms (%zu bytes)\n", c.name,
                    left, to, erase, twice, word.end - word.start);
    }
}

}  // namespace

int main() {
    buildOutput();
    adversarialFind();
    streamingFind();
    wordEditing();
    return 0;
}
