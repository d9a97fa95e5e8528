/*******************************************************************************************
*  bench_find.cpp — what one search of a full console costs
*
*  Twenty thousand lines of build output (about 110 bytes each, a few with the text sought),
*  searched for a word that is rare, a word that is common and one letter. Prints the median
*  of 50 runs of each in milliseconds, and the matches found.
*
*      bench_find
*******************************************************************************************/
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "pages/console_find.h"

int main() {
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
        std::vector<double> times;
        std::size_t found = 0;
        for (int run = 0; run < 50; ++run) {
            const auto start = std::chrono::steady_clock::now();
            found = vlr::findInConsole(lines, 0, query).size();
            const auto end = std::chrono::steady_clock::now();
            times.push_back(std::chrono::duration<double, std::milli>(end - start).count());
        }
        std::sort(times.begin(), times.end());
        std::printf("find \"%s\" in %zu lines: %.2f ms (median of 50), %zu matches\n", query, lines.size(),
                    times[times.size() / 2], found);
    }
    return 0;
}
