/*******************************************************************************************
*  console.h — the Console page's records and its visual-line index
*
*  The log box wraps every console line into pieces of exactly k characters. Walking all
*  twenty thousand lines each frame would cost more than the whole rest of the frame, so the
*  page keeps an index: where each line's first piece starts in the wrapped log. It follows
*  the console by its length and by the count of lines dropped from the front (trims and
*  clears); only the last line can still grow, so only that one is measured again.
*******************************************************************************************/
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

namespace vlr {

// Where each console line starts among the visual lines. Numbers are absolute: dropping
// lines from the front removes entries without renumbering the rest.
struct ConsoleIndex {
    std::size_t perLine = 0;          // k it was built for; 0 = not built
    std::uint64_t dropped = 0;        // the console's dropped count when last brought in step
    std::deque<std::uint64_t> starts; // first visual line of each console line
    std::uint64_t end = 0;            // visual line after the last one
};

struct ConsoleRecords {
    float offset = 0;      // log scroll offset in pixels from the top of the wrapped log
    bool follow = true;    // the log sticks to its end; from the start, as if the tab had been
                           // clicked, so a build that sends the player here shows its newest output
    ConsoleIndex index;
};

ConsoleRecords& consoleRecords();  // one of the window-wide records (shell/records.h)

// Characters per visual line for a wrap width and the advance of "M" in mono 12; a slot
// without glyphs (no fonts yet) wraps nothing.
std::size_t charsPerLine(float wrapWidth, float advance);

// Characters as the text operations count them (malformed bytes count one each).
std::size_t charCount(std::string_view line);

// A console line is cut into pieces of k columns, one per visual line; East Asian wide
// characters take two columns, every other character one.
// Byte length of the first piece of a text (at least one character).
std::size_t pieceBytes(std::string_view text, std::size_t k);
// Visual lines of one console line (at least 1), and the piece that holds a byte of it.
std::uint64_t pieceCount(std::string_view line, std::size_t k);
std::uint64_t pieceAt(std::string_view line, std::size_t byte, std::size_t k);

// Brings the index in step with the console. Returns how many visual lines left the front
// (so that a view scrolled away can stay on the lines it shows).
std::uint64_t syncConsoleIndex(ConsoleIndex& index, const std::deque<std::string>& lines, std::uint64_t dropped,
                               std::size_t k);

std::uint64_t visualLineCount(const ConsoleIndex& index);

// The console line holding a visual line (0-based within the current log), and which of its
// pieces it is. The visual line must be below visualLineCount.
struct VisualLine {
    std::size_t line = 0;
    std::uint64_t piece = 0;
};
VisualLine visualLine(const ConsoleIndex& index, std::uint64_t visual);

// The whole log for the clipboard: every line followed by a line feed; `joined` names the
// entries (by number, the first being `first`) that go on the line before them. NUL bytes
// become U+FFFD.
std::string consoleText(const std::deque<std::string>& lines, const std::deque<std::uint64_t>& joined = {},
                        std::uint64_t first = 0);
// The same for the entries numbered [from, to) only (a selection).
std::string consoleText(const std::deque<std::string>& lines, const std::deque<std::uint64_t>& joined,
                        std::uint64_t first, std::uint64_t from, std::uint64_t to);

}  // namespace vlr
