/*******************************************************************************************
*  console_find.cpp — find in the console, and whole lines selected and copied
*
*  Sections: search · selection · the search field · marks in the log
*
*  The console only grows at its end and loses lines at its front, so the search keeps a
*  cursor and goes on from it: a frame that brought output searches only that output. The
*  matcher never rereads a byte, whatever the query, so a full search (a new query) stays
*  linear too (bench_find).
*******************************************************************************************/
#include "pages/console_find.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "link/state.h"
#include "pages/pages.h"
#include "ui/fonts.h"
#include "ui/input.h"
#include "ui/rows.h"
#include "ui/text_field.h"
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

// Scans `line` from `pos` with `matched` bytes of the pattern already behind it, adding every
// match (they do not overlap) until the line ends or the match limit is reached; returns where
// it stopped. Linear in the bytes scanned: a mismatch falls back along the pattern's table and
// never rereads the text. While nothing is matched, the first byte is looked for in bulk.
std::size_t scanLine(const FindPattern& p, std::string_view line, std::uint64_t number, std::size_t pos,
                     std::size_t& matched, std::vector<FindMatch>& found) {
    const std::string& q = p.folded;
    const std::size_t size = q.size();
    const char first = q[0];
    const char firstUpper = first >= 'a' && first <= 'z' ? static_cast<char>(first - ('a' - 'A')) : first;
    const char* const data = line.data();
    const char* const stop = data + line.size();
    while (pos < line.size()) {
        if (matched == 0) {
            pos = static_cast<std::size_t>(scanFor(data + pos, stop, first, firstUpper) - data);
            if (pos == line.size()) break;
            matched = 1;
            ++pos;
        } else {
            const char c = foldAscii(data[pos]);
            while (matched > 0 && q[matched] != c) matched = p.fallback[matched - 1];
            if (q[matched] == c) ++matched;
            ++pos;
        }
        if (matched == size) {
            found.push_back({number, pos - size});
            matched = 0;
            if (found.size() >= kMaxMatches) break;
        }
    }
    return pos;
}

// Goes on from `at` to the end of the console, or until the match limit; `at` is left where the
// next search goes on (the end of the last line, which may still grow). Stops at the end of the
// line that takes the bytes searched past `budget`.
void searchFrom(const FindPattern& p, const std::deque<std::string>& lines, std::uint64_t dropped, FindCursor& at,
                std::vector<FindMatch>& found, std::size_t budget = SIZE_MAX) {
    if (p.folded.empty() || lines.empty() || found.size() >= kMaxMatches) return;
    std::size_t searched = 0;
    for (auto i = static_cast<std::size_t>(at.line - dropped); i < lines.size(); ++i) {
        const std::size_t from = at.byte;
        at.byte = scanLine(p, lines[i], dropped + i, at.byte, at.matched, found);
        searched += at.byte - from;
        if (found.size() >= kMaxMatches || i + 1 == lines.size()) return;
        at = {dropped + i + 1, 0, 0};  // a match never spans two lines
        if (searched >= budget) return;
    }
}

}  // namespace

FindPattern findPattern(std::string_view text) {
    FindPattern p;
    p.folded.assign(text);
    for (char& c : p.folded) c = foldAscii(c);
    p.fallback.assign(p.folded.size(), 0);
    std::uint32_t k = 0;
    for (std::size_t i = 1; i < p.folded.size(); ++i) {
        while (k > 0 && p.folded[i] != p.folded[k]) k = p.fallback[k - 1];
        if (p.folded[i] == p.folded[k]) ++k;
        p.fallback[i] = k;
    }
    return p;
}

bool clipFindField(ConsoleFind& find) {
    EditBuffer& field = find.field;
    if (field.text.size() <= kMaxFindBytes) return false;
    std::size_t cut = 0;
    while (cut + nextCharLength(field.text, cut) <= kMaxFindBytes) cut += nextCharLength(field.text, cut);
    field.text.resize(cut);
    field.caret = std::min<std::uint64_t>(field.caret, cut);
    if (field.anchor != kNoAnchor) field.anchor = std::min<std::uint64_t>(field.anchor, cut);
    return true;
}

std::vector<FindMatch> findInConsole(const std::deque<std::string>& lines, std::uint64_t dropped,
                                     std::string_view text) {
    std::vector<FindMatch> found;
    FindCursor at{dropped, 0, 0};
    searchFrom(findPattern(text), lines, dropped, at, found);
    return found;
}

bool refreshFind(ConsoleFind& find, const std::deque<std::string>& lines, std::uint64_t dropped, std::size_t budget) {
    FindCursor& at = find.searched;
    const std::uint64_t end = dropped + lines.size();
    const bool sameQuery = find.query == find.field.text;
    // Only the last line grows and lines only leave the front; anything else is a console that
    // changed behind our back, searched anew.
    const bool changed = at.line > end || (at.line >= dropped && at.line < end &&
                                           at.byte > lines[static_cast<std::size_t>(at.line - dropped)].size());
    bool moved = false;
    if (!sameQuery || changed) {
        if (!sameQuery) find.hasCurrent = false;
        find.query = find.field.text;
        find.pattern = findPattern(find.query);
        find.matches.clear();
        at = {dropped, 0, 0};
        moved = true;
    }
    std::vector<FindMatch>& matches = find.matches;
    if (!matches.empty() && matches.front().line < dropped) {
        matches.erase(matches.begin(), std::lower_bound(matches.begin(), matches.end(), FindMatch{dropped, 0}, before));
        moved = true;
    }
    if (at.line < dropped) at = {dropped, 0, 0};
    const auto unsearched = [&] {
        return !find.query.empty() && matches.size() < kMaxMatches &&
               (at.line + 1 < end ||
                (at.line < end && at.byte < lines[static_cast<std::size_t>(at.line - dropped)].size()));
    };
    if (unsearched()) {
        searchFrom(find.pattern, lines, dropped, at, matches, budget);
        moved = true;
    }
    find.pending = unsearched();
    if (moved && find.hasCurrent) {
        const auto it = std::lower_bound(matches.begin(), matches.end(), find.current, before);
        find.hasCurrent = it != matches.end() && it->line == find.current.line && it->byte == find.current.byte;
    }
    return moved;
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
    if (find.matches.empty()) return find.pending ? "Searching..." : "No match";
    std::size_t n = 0;
    if (find.hasCurrent)
        n = static_cast<std::size_t>(std::lower_bound(find.matches.begin(), find.matches.end(), find.current, before) -
                                     find.matches.begin()) + 1;
    const std::string more = find.matches.size() >= kMaxMatches ? "+" : find.pending ? "..." : "";
    return (n > 0 ? std::to_string(n) : std::string("-")) + " of " + std::to_string(find.matches.size()) + more;
}

std::uint64_t matchVisualLine(const ConsoleIndex& index, const std::deque<std::string>& lines, std::uint64_t dropped,
                              std::size_t k, const FindMatch& match) {
    if (match.line < dropped || index.starts.empty()) return 0;
    const auto line = static_cast<std::size_t>(match.line - dropped);
    if (line >= lines.size() || line >= index.starts.size()) return 0;
    const std::string_view text(lines[line]);
    return index.starts[line] - index.starts.front() + pieceAt(text, std::min(match.byte, text.size()), k);
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
    // The find field at the row's right end, the count of what it found before it.
    Row row = rowAt(right, top, 0, sc(kControlHeight), sc(kTextGap));  // right to left only
    const Rect field = cellRight(row, sc(220));  // 220: the find field's width
    const bool committed = textField(find.field, field, "Find", sc(kFieldInset), 0, false);
    if (clipFindField(find))
        postNotice(ui, "Find takes up to " + std::to_string(kMaxFindBytes) + " bytes of text; the rest was cut.");
    // Enter keeps the focus; a click elsewhere also commits the field but asks for nothing.
    const bool back = pressedWith(ui.input, KEY_ENTER, kModShift) || pressedWith(ui.input, KEY_KP_ENTER, kModShift);
    const int step = committed && ui.focused == &find.field ? (back ? -1 : 1) : 0;

    if (find.query != find.field.text) find.jumpToFirst = true;
    refreshFind(find, window.console, window.consoleDropped, kFindBytesPerFrame);
    if (find.pending) ui.frameAgain = true;
    const std::uint64_t topLine = lineAtVisual(index, static_cast<std::uint64_t>(std::max(offset, 0.0f) / lineHeight));
    bool went = false;
    if (step != 0) {
        went = stepFind(find, step, topLine);
        find.jumpToFirst = false;
    } else if (find.jumpToFirst && !find.pending) {
        // Only once the whole console is searched is the first match from the view known.
        find.jumpToFirst = false;
        if (!find.hasCurrent) went = stepFind(find, 1, topLine);
    }
    if (went) {
        const float y = static_cast<float>(matchVisualLine(index, window.console, window.consoleDropped, k, find.current)) *
                        lineHeight;
        if (y < offset || y + lineHeight > offset + height) offset = y - std::floor((height - lineHeight) / 2);
        follow = false;
    }

    const std::string count = findCountText(find);
    if (!count.empty()) {
        const Rect at = cellRight(row, textWidth(kRegular13, count));
        drawTextRun(kRegular13, count, at.x, at.y + at.height / 2, kTextSecondary, 0);
    }
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
        // A pixel clear of the lines above and below.
        drawCalls().rectangle(toRaylib(snap({x0, rowTop + sc(1), x1 - x0, lineHeight - sc(2)})),
                              current ? kFindCurrent : kFindMatch);
    }
}

}  // namespace vlr
