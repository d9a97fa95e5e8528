/*******************************************************************************************
*  console_find.h — finding text in the console and selecting its lines
*
*  The Console page's search field finds a text in every kept line (ASCII letters match in
*  either case); Enter and Shift+Enter step through the matches and scroll each into view.
*  A drag over the log selects whole lines, which Ctrl+C copies. Lines are named by absolute
*  numbers (the console's dropped count plus the index), so trimming the front of the console
*  leaves matches and selections on the lines they were on.
*******************************************************************************************/
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "pages/console.h"
#include "ui/ui_state.h"

namespace vlr {

struct FindMatch {
    std::uint64_t line = 0;  // absolute line number
    std::size_t byte = 0;    // where the match starts in the line
};

// The query as the matcher uses it: ASCII letters folded to lower case, and for each length of
// a matched beginning, the longest shorter beginning that also ends there (how far a mismatch
// falls back without looking at any byte twice).
struct FindPattern {
    std::string folded;
    std::vector<std::uint32_t> fallback;
};
FindPattern findPattern(std::string_view text);

// Where a search goes on: a line (absolute), a byte in it, and how much of the query the bytes
// before that byte already matched. The last line may still grow, and a search stopped by the
// match limit goes on once lines leave the front.
struct FindCursor {
    std::uint64_t line = 0;
    std::size_t byte = 0;
    std::size_t matched = 0;
};

struct ConsoleFind {
    EditBuffer field;                 // the search text
    std::string query;                // what `matches` were found for
    FindPattern pattern;              // the query, ready for the matcher
    std::vector<FindMatch> matches;   // in console order
    FindCursor searched;              // how far the console has been searched
    bool pending = false;             // part of the console is still to be searched
    bool jumpToFirst = false;         // the query changed: go to its first match once searched
    bool hasCurrent = false;          // a match was gone to with Enter (or by typing)
    FindMatch current;                // that match
    // Selected lines, absolute numbers, from `anchorLine` to `endLine` in either order.
    bool hasSelection = false;
    bool dragging = false;            // the mouse button is still held since the press in the log
    std::uint64_t anchorLine = 0, endLine = 0;
    Rect textArea;                    // the log's text area in this frame (selection bands span it)
};

ConsoleFind& consoleFind();  // one of the window-wide records (shell/records.h)

// Matches kept at most: one letter over 20 000 long lines could otherwise take hundreds of
// megabytes. The count then reads "n of 100000+".
inline constexpr std::size_t kMaxMatches = 100000;

// What one frame searches at most: a new query over a full console of long lines (80 MB)
// takes several frames rather than freezing one.
inline constexpr std::size_t kFindBytesPerFrame = std::size_t{8} << 20;

// The longest text the search field takes (longer text is cut there, with a notice).
inline constexpr std::size_t kMaxFindBytes = 256;

// Cuts the field's text to kMaxFindBytes at a character boundary; true when it cut.
bool clipFindField(ConsoleFind& find);

// Every place the text occurs (up to kMaxMatches, from the top), ASCII letters compared without
// case; an empty text finds nothing.
std::vector<FindMatch> findInConsole(const std::deque<std::string>& lines, std::uint64_t dropped,
                                     std::string_view text);

// Brings the matches in step with the query and the console, searching only what was added
// since the last call (new lines and the growth of the last one); matches on lines that left
// the front go with them. A current match still there stays current. At most about `budget`
// bytes are searched per call; `pending` then says the rest is left for the next. True when the
// matches may have changed.
bool refreshFind(ConsoleFind& find, const std::deque<std::string>& lines, std::uint64_t dropped,
                 std::size_t budget = SIZE_MAX);

// The match after (direction +1) or before (-1) the current one, wrapping; from `fromLine`
// (absolute) when there is none. False without matches.
bool stepFind(ConsoleFind& find, int direction, std::uint64_t fromLine);

// "n of m" for the field ("n of m..." while the search goes on); empty without a query, "No match"
// for none ("Searching..." until the search is done).
std::string findCountText(const ConsoleFind& find);

// The visual line (within the wrapped log) where a match starts.
std::uint64_t matchVisualLine(const ConsoleIndex& index, const std::deque<std::string>& lines, std::uint64_t dropped,
                              std::size_t k, const FindMatch& match);

// The selected lines that are still kept, each followed by a line feed.
std::string selectedLinesText(const ConsoleFind& find, const std::deque<std::string>& lines,
                              const std::deque<std::uint64_t>& joined, std::uint64_t dropped);

// ---- on the page ----

// The search field at the right end of the top row (Ctrl+F focuses it, selecting its text),
// the "n of m" beside it, and what Enter, Shift+Enter and typing ask for: the next, previous
// or first match from the top of the view, scrolled into view. Going to a match leaves the
// tail; scrolling back to the end follows it again. Called once the log's index is in step.
void followFind(float right, float top, const ConsoleIndex& index, std::size_t k, float lineHeight, float height,
                float& offset, bool& follow);

// The mouse over the log's text area: a press selects the line under it, a drag extends the
// selection; Ctrl+C (no field focused) copies the selected lines, Escape lets them go.
void selectLogLines(Rect textArea, const ConsoleIndex& index, float lineHeight, float offset);

// Behind one piece (bytes [byte, byte + size)) of a console line drawn at `left`, centred on
// `centreY`: the selection band and the matches in it.
void drawLogMarks(std::size_t line, std::string_view text, std::size_t byte, std::size_t size, float left,
                  float centreY, float lineHeight);

}  // namespace vlr
