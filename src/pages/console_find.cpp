/*******************************************************************************************
*  console_find.cpp — find in the console, and whole lines selected and copied
*
*  Sections: search · selection · the search field · marks in the log
*
*  The search runs again only when the text or the console changed, over every kept line:
*  about a millisecond for twenty thousand lines (bench_find), so no index is kept for it.
*******************************************************************************************/
#include "pages/console_find.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "link/state.h"
#include "pages/pages.h"
#include "ui/fonts.h"
#include "ui/input.h"
#include "ui/widgets.h"

namespace vlr {

// ---- search ----

namespace {

char foldAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

// The first place in [from, stop) holding byte a or b, else stop. Eight bytes at a time: the C
// library's memchr is fast on Linux but byte by byte in the Windows runtime.
const char* scanFor(const char* from, const char* stop, char a, char b) {
    constexpr std::uint64_t kOnes = 0x0101010101010101ull, kHighs = 0x8080808080808080ull;
    const std::uint64_t ma = kOnes * static_cast<unsigned char>(a), mb = kOnes * static_cast<unsigned char>(b);
    while (stop - from >= 8) {
        std::uint64_t word;
        std::memcpy(&word, from, 8);
        const std::uint64_t xa = word ^ ma, xb = word ^ mb;  // a zero byte where a or b is
        if ((((xa - kOnes) & ~xa) | ((xb - kOnes) & ~xb)) & kHighs) break;
        from += 8;
    }
    for (; from < stop; ++from)
        if (*from == a || *from == b) return from;
    return stop;
}

bool before(const FindMatch& a, const FindMatch& b) { return a.line != b.line ? a.line < b.line : a.byte < b.byte; }

}  // namespace

std::vector<FindMatch> findInConsole(const std::deque<std::string>& lines, std::uint64_t dropped,
                                     std::string_view text) {
    std::vector<FindMatch> found;
    if (text.empty()) return found;
    std::string folded(text);
    for (char& c : folded) c = foldAscii(c);
    // The first byte is looked for in both cases; the rest is compared folded.
    const char first = folded[0];
    const char firstUpper = first >= 'a' && first <= 'z' ? static_cast<char>(first - ('a' - 'A')) : first;
    const std::size_t size = folded.size();
    found.reserve(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.size() < size) continue;
        const char* const data = line.data();
        const char* const stop = data + (line.size() - size) + 1;  // last place a match can start, plus one
        for (const char* at = scanFor(data, stop, first, firstUpper); at < stop;) {
            std::size_t n = 1;
            while (n < size && foldAscii(at[n]) == folded[n]) ++n;
            if (n == size) {
                found.push_back({dropped + i, static_cast<std::size_t>(at - data)});
                if (found.size() == kMaxMatches) return found;
            }
            at = scanFor(at + (n == size ? size : 1), stop, first, firstUpper);  // matches do not overlap
        }
    }
    return found;
}

bool refreshFind(ConsoleFind& find, const std::deque<std::string>& lines, std::uint64_t dropped) {
    const std::size_t last = lines.empty() ? 0 : lines.back().size();
    const bool sameQuery = find.query == find.field.text;
    if (sameQuery && find.searchedDropped == dropped && find.searchedLines == lines.size() && find.searchedLast == last)
        return false;
    if (!sameQuery) find.hasCurrent = false;
    find.query = find.field.text;
    find.matches = findInConsole(lines, dropped, find.query);
    find.searchedDropped = dropped;
    find.searchedLines = lines.size();
    find.searchedLast = last;
    if (find.hasCurrent) {
        const auto it = std::find_if(find.matches.begin(), find.matches.end(), [&](const FindMatch& m) {
            return m.line == find.current.line && m.byte == find.current.byte;
        });
        find.hasCurrent = it != find.matches.end();
    }
    return true;
}

bool stepFind(ConsoleFind& find, int direction, std::uint64_t fromLine) {
    if (find.matches.empty()) return false;
    const std::vector<FindMatch>& all = find.matches;
    std::size_t to = 0;
    if (find.hasCurrent) {
        const auto at = std::lower_bound(all.begin(), all.end(), find.current, before);
        const std::size_t here = static_cast<std::size_t>(at - all.begin());
        to = direction > 0 ? (here + 1) % all.size() : (here + all.size() - 1) % all.size();
    } else {
        const auto at = std::lower_bound(all.begin(), all.end(), FindMatch{fromLine, 0}, before);
        const std::size_t here = static_cast<std::size_t>(at - all.begin());
        to = direction > 0 ? here % all.size() : (here + all.size() - 1) % all.size();
    }
    find.current = all[to];
    find.hasCurrent = true;
    return true;
}

std::string findCountText(const ConsoleFind& find) {
    if (find.query.empty()) return {};
    if (find.matches.empty()) return "No match";
    std::size_t n = 0;
    if (find.hasCurrent)
        n = static_cast<std::size_t>(std::lower_bound(find.matches.begin(), find.matches.end(), find.current, before) -
                                     find.matches.begin()) + 1;
    const std::string more = find.matches.size() >= kMaxMatches ? "+" : "";
    return (n > 0 ? std::to_string(n) : std::string("-")) + " of " + std::to_string(find.matches.size()) + more;
}

std::uint64_t matchVisualLine(const ConsoleIndex& index, const std::deque<std::string>& lines, std::uint64_t dropped,
                              std::size_t k, const FindMatch& match) {
    if (match.line < dropped || index.starts.empty()) return 0;
    const auto line = static_cast<std::size_t>(match.line - dropped);
    if (line >= lines.size() || line >= index.starts.size()) return 0;
    const std::string_view text(lines[line]);
    const std::size_t before = charCount(text.substr(0, std::min(match.byte, text.size())));
    return index.starts[line] - index.starts.front() + before / k;
}

// ---- selection ----

std::string selectedLinesText(const ConsoleFind& find, const std::deque<std::string>& lines,
                              const std::deque<std::uint64_t>& joined, std::uint64_t dropped) {
    if (!find.hasSelection) return {};
    const std::uint64_t first = std::min(find.anchorLine, find.endLine);
    const std::uint64_t last = std::max(find.anchorLine, find.endLine);
    return consoleText(lines, joined, dropped, first, last + 1);
}

// ---- the search field ----

namespace {

// The absolute console line shown at a visual line of the log (clamped to the log).
std::uint64_t lineAtVisual(const ConsoleIndex& index, std::uint64_t visual) {
    const std::uint64_t count = visualLineCount(index);
    if (count == 0) return windowState().consoleDropped;
    return windowState().consoleDropped + visualLine(index, std::min(visual, count - 1)).line;
}

}  // namespace

void followFind(float right, float top, const ConsoleIndex& index, std::size_t k, float lineHeight, float height,
                float& offset, bool& follow) {
    UiState& ui = uiState();
    ConsoleFind& find = consoleFind();
    WindowState& window = windowState();
    if (ui.drawing && pressedWith(ui.input, KEY_F, kModControl)) {
        ui.focused = &find.field;
        find.field.anchor = 0;
        find.field.caret = find.field.text.size();
    }
    const Rect field{right - sc(220), top, sc(220), sc(kControlHeight)};
    const bool committed = textField(find.field, field, "Find", sc(11), 0, false);
    // Enter keeps the focus; a click elsewhere also commits the field but asks for nothing.
    const bool back = pressedWith(ui.input, KEY_ENTER, kModShift) || pressedWith(ui.input, KEY_KP_ENTER, kModShift);
    const int step = committed && ui.focused == &find.field ? (back ? -1 : 1) : 0;

    const bool queryChanged = find.query != find.field.text;
    refreshFind(find, window.console, window.consoleDropped);
    const std::uint64_t topLine = lineAtVisual(index, static_cast<std::uint64_t>(std::max(offset, 0.0f) / lineHeight));
    bool went = false;
    if (step != 0)
        went = stepFind(find, step, topLine);
    else if (queryChanged && !find.hasCurrent)
        went = stepFind(find, 1, topLine);
    if (went) {
        const float y = static_cast<float>(matchVisualLine(index, window.console, window.consoleDropped, k, find.current)) *
                        lineHeight;
        if (y < offset || y + lineHeight > offset + height) offset = y - std::floor((height - lineHeight) / 2);
        follow = false;
    }

    const std::string count = findCountText(find);
    if (!count.empty())
        drawTextRun(kRegular13, count, field.x - sc(10) - textWidth(kRegular13, count), top + sc(19.5f), kTextSecondary,
                    0);
}

// ---- selection ----

void selectLogLines(Rect textArea, const ConsoleIndex& index, float lineHeight, float offset) {
    UiState& ui = uiState();
    ConsoleFind& find = consoleFind();
    InputSnapshot& in = ui.input;
    find.textArea = textArea;
    if (!ui.drawing) return;
    // The scrollbar keeps its strip at the right edge.
    const Rect lines{textArea.x, textArea.y, textArea.width - sc(14), textArea.height};
    const auto visualAt = [&](float y) {
        return static_cast<std::uint64_t>(std::max(0.0f, (y - textArea.y + std::max(offset, 0.0f)) / lineHeight));
    };
    if (isHovered(lines) && visualLineCount(index) > 0 && takeClick()) {
        find.anchorLine = find.endLine = lineAtVisual(index, visualAt(in.mouseY));
        find.hasSelection = true;
        find.dragging = true;
    } else if (find.dragging) {
        if (in.mouseDown)
            find.endLine = lineAtVisual(index, visualAt(std::clamp(in.mouseY, textArea.y, textArea.y + textArea.height - 1)));
        else
            find.dragging = false;
    }
    if (ui.focused == nullptr && std::find(in.keys.begin(), in.keys.end(), KEY_ESCAPE) != in.keys.end())
        find.hasSelection = false;
    if (ui.focused == nullptr && find.hasSelection && pressedWith(in, KEY_C, kModControl)) {
        const WindowState& window = windowState();
        const std::string text = selectedLinesText(find, window.console, window.consoleJoined, window.consoleDropped);
        if (inputCalls().setClipboardText) inputCalls().setClipboardText(text.c_str());
    }
}

// ---- marks in the log ----

void drawLogMarks(std::size_t line, std::string_view text, std::size_t byte, std::size_t size, float left,
                  float centreY, float lineHeight) {
    const ConsoleFind& find = consoleFind();
    const std::uint64_t absolute = windowState().consoleDropped + line;
    const float rowTop = centreY - lineHeight / 2;
    if (find.hasSelection && absolute >= std::min(find.anchorLine, find.endLine) &&
        absolute <= std::max(find.anchorLine, find.endLine)) {
        const Rect& area = find.textArea;
        drawCalls().rectangle(toRaylib(snap({area.x, rowTop, area.width, lineHeight})), kSelection);
    }
    if (find.matches.empty()) return;
    const std::size_t end = byte + size;
    auto it = std::lower_bound(find.matches.begin(), find.matches.end(), FindMatch{absolute, 0}, before);
    for (; it != find.matches.end() && it->line == absolute && it->byte < end; ++it) {
        const std::size_t from = std::max(it->byte, byte);
        const std::size_t to = std::min(it->byte + find.query.size(), end);
        if (to <= from) continue;
        const float x0 = left + textWidth(kMono12, text.substr(byte, from - byte));
        const float x1 = x0 + textWidth(kMono12, text.substr(from, to - from));
        const bool current = find.hasCurrent && find.current.line == it->line && find.current.byte == it->byte;
        drawCalls().rectangle(toRaylib(snap({x0, rowTop + sc(1), x1 - x0, lineHeight - sc(2)})),
                              current ? kFindCurrent : kFindMatch);
    }
}

}  // namespace vlr
