/*******************************************************************************************
*  console_page.cpp — the Console page: the launcher's output in a wrapped, scrolled log
*
*  Sections: records · visual-line index · page
*
*  Above the log: "Stop", "Copy all", "Clear" and the running task. The log box wraps lines
*  by characters, scrolls with the wheel and its own scrollbar and follows the newest output
*  until the user scrolls away from the end; a click on the Console tab follows it again.
*******************************************************************************************/
#include <algorithm>
#include <cmath>

#include "link/command_list.h"
#include "link/json.h"
#include "link/state.h"
#include "pages/console.h"
#include "pages/console_find.h"
#include "pages/pages.h"
#include "ui/focus.h"
#include "ui/fonts.h"
#include "ui/input.h"
#include "ui/rows.h"
#include "ui/widgets.h"

namespace vlr {

void followConsoleTail() { consoleRecords().follow = true; }

std::string consoleText(const std::deque<std::string>& lines, const std::deque<std::uint64_t>& joined,
                        std::uint64_t first) {
    return consoleText(lines, joined, first, first, first + lines.size());
}

std::string consoleText(const std::deque<std::string>& lines, const std::deque<std::uint64_t>& joined,
                        std::uint64_t first, std::uint64_t from, std::uint64_t to) {
    // The clipboard takes a C string: a NUL byte would end the text there, so it goes as
    // U+FFFD and everything after it follows.
    static constexpr std::string_view kStandIn = "\xEF\xBF\xBD";
    from = std::max(from, first);
    to = std::min<std::uint64_t>(to, first + lines.size());
    if (from >= to) return {};
    const auto begin = static_cast<std::size_t>(from - first), end = static_cast<std::size_t>(to - first);
    std::size_t size = 0;
    for (std::size_t i = begin; i < end; ++i) size += lines[i].size() + 1;
    std::string text;
    text.reserve(size);
    auto next = std::lower_bound(joined.begin(), joined.end(), from);
    for (std::size_t i = begin; i < end; ++i) {
        while (next != joined.end() && *next < first + i) ++next;
        // An entry that goes on the line before it (a long line held in pieces) gets no line feed.
        if (i > begin && (next == joined.end() || *next != first + i)) text += '\n';
        const std::string& line = lines[i];
        for (std::size_t at = 0;;) {
            const std::size_t nul = line.find('\0', at);
            text.append(line, at, nul == std::string::npos ? std::string::npos : nul - at);
            if (nul == std::string::npos) break;
            text += kStandIn;
            at = nul + 1;
        }
    }
    text += '\n';
    return text;
}

// ---- visual-line index ----

std::size_t charsPerLine(float wrapWidth, float advance) {
    if (!(advance > 0)) return SIZE_MAX;
    const float k = std::floor(wrapWidth / advance);
    if (!(k >= 1)) return 1;
    return k >= static_cast<float>(SIZE_MAX / 2) ? SIZE_MAX : static_cast<std::size_t>(k);
}

std::size_t charCount(std::string_view line) {
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < line.size(); ++count) decodeUtf8(line, pos);
    return count;
}

namespace {

// Columns a character takes in the log. East Asian wide and fullwidth characters take two, as
// in a terminal: their glyphs are about twice as wide as the mono face's.
std::size_t columnsOf(int c) {
    const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0xA4CF && c != 0x303F) ||
                      (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
                      (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
                      (c >= 0x20000 && c <= 0x3FFFD);
    return wide ? 2 : 1;
}

}  // namespace

std::size_t pieceBytes(std::string_view text, std::size_t k) {
    std::size_t pos = 0;
    for (std::size_t taken = 0; pos < text.size();) {
        if (static_cast<unsigned char>(text[pos]) < 0x80) {   // most output: one byte, one column
            ++pos;
            if (++taken >= k) break;
            continue;
        }
        std::size_t next = pos;
        const std::size_t columns = columnsOf(decodeUtf8(text, next));
        if (taken > 0 && columns > k - taken) break;   // a piece always takes its first character
        taken += columns;
        pos = next;
        if (taken >= k) break;
    }
    return pos;
}

std::uint64_t pieceAt(std::string_view line, std::size_t byte, std::size_t k) {
    std::uint64_t piece = 0;
    for (std::size_t pos = pieceBytes(line, k); pos <= byte && pos < line.size(); ++piece)
        pos += pieceBytes(line.substr(pos), k);
    return piece;
}

std::uint64_t pieceCount(std::string_view line, std::size_t k) { return pieceAt(line, line.size(), k) + 1; }

std::uint64_t syncConsoleIndex(ConsoleIndex& index, const std::deque<std::string>& lines, std::uint64_t dropped,
                               std::size_t k) {
    std::uint64_t removed = 0;
    const std::uint64_t gone = dropped - index.dropped;
    const bool stale = index.perLine != k || dropped < index.dropped ||
                       (gone < index.starts.size() && index.starts.size() - gone > lines.size());
    if (stale) {
        // A new width, or a console that changed behind our back: measure it all once.
        index = ConsoleIndex{k, dropped, {}, 0};
    } else {
        if (gone > 0) {
            // Lines appended and dropped between two frames were never indexed.
            const std::size_t known = static_cast<std::size_t>(std::min<std::uint64_t>(gone, index.starts.size()));
            const std::uint64_t next = known < index.starts.size() ? index.starts[known] : index.end;
            if (!index.starts.empty()) removed = next - index.starts.front();
            index.starts.erase(index.starts.begin(), index.starts.begin() + static_cast<std::ptrdiff_t>(known));
            index.dropped = dropped;
        }
        // Output that did not end with a line feed leaves the last line open to grow.
        if (!index.starts.empty())
            index.end = index.starts.back() + pieceCount(lines[index.starts.size() - 1], k);
    }
    for (std::size_t i = index.starts.size(); i < lines.size(); ++i) {
        index.starts.push_back(index.end);
        index.end += pieceCount(lines[i], k);
    }
    return removed;
}

std::uint64_t visualLineCount(const ConsoleIndex& index) {
    return index.starts.empty() ? 0 : index.end - index.starts.front();
}

VisualLine visualLine(const ConsoleIndex& index, std::uint64_t visual) {
    const std::uint64_t wanted = index.starts.front() + visual;
    // The last line starting at or before the wanted one.
    const auto after = std::upper_bound(index.starts.begin(), index.starts.end(), wanted);
    const std::size_t line = static_cast<std::size_t>(after - index.starts.begin()) - 1;
    return {line, wanted - index.starts[line]};
}

// ---- page ----

namespace {

void topRow(float x, float top, bool running, const std::string& task) {
    WindowState& window = windowState();
    Row row = rowAt(x, top, 0, sc(kControlHeight), sc(kControlGap));  // left to right only
    const Rect stop = cell(row, buttonWidth("Stop"));
    if (const ServedControls served; button(stop.x, stop.y, "Stop", kSecondary, running)) stopTask();
    const Rect copy = cell(row, buttonWidth("Copy all"));
    if (button(copy.x, copy.y, "Copy all", kQuiet)) {
        const std::string text = consoleText(window.console, window.consoleJoined, window.consoleDropped);
        if (inputCalls().setClipboardText) inputCalls().setClipboardText(text.c_str());
    }
    row.gap = sc(kButtonTextGap);
    const Rect clear = cell(row, buttonWidth("Clear"));
    if (button(clear.x, clear.y, "Clear", kQuiet)) clearConsole();
    if (running) drawTextRun(kRegular13, task + " running.", row.left, top + sc(kControlHeight / 2), kTextSecondary, 0);
}

// Draws the visual lines from `first` while they reach into the text area.
void drawLog(const ConsoleIndex& index, const std::deque<std::string>& lines, std::size_t k, float left,
             float textTop, float lineHeight, float height, float offset) {
    const std::uint64_t count = visualLineCount(index);
    std::uint64_t visual = static_cast<std::uint64_t>(std::max(offset, 0.0f) / lineHeight);
    if (visual >= count) return;
    VisualLine at = visualLine(index, visual);
    // Byte where the piece starts; later pieces of the same line continue from there.
    std::string_view line = lines[at.line];
    std::size_t byte = 0;
    for (std::uint64_t p = 0; p < at.piece; ++p) byte += pieceBytes(line.substr(byte), k);

    for (; visual < count; ++visual) {
        const float y = static_cast<float>(visual) * lineHeight - offset;
        if (!(y < height)) break;
        const std::size_t size = pieceBytes(line.substr(byte), k);
        drawLogMarks(at.line, line, byte, size, left, textTop + y + lineHeight / 2, lineHeight);
        drawTextRun(kMono12, line.substr(byte, size), left, textTop + y + lineHeight / 2, kLogText, 0);
        byte += size;
        if (byte >= line.size() && at.line + 1 < lines.size()) {
            line = lines[++at.line];
            byte = 0;
        }
    }
}

}  // namespace

float consolePage(const PageArea& area) {
    const float x = area.x;
    const float top = area.y;
    const float width = area.width;
    const float bottom = area.bottom;
    UiState& ui = uiState();
    WindowState& window = windowState();
    ConsoleRecords& records = consoleRecords();
    const std::string& task = asText(get(window.state, "running"));
    const bool running = taskRunning(window.state);

    topRow(x, top, running, task);

    // The log: under the top row, at least 160 high; its lines 17 in from the left, 15 from
    // the top and bottom, 18 apart.
    const float below = sc(kControlHeight + kBlockGap);
    Rect box{x, top + below, width, std::max(bottom - top - below, sc(160))};
    box = snap(box);
    drawRoundedBox(box, sc(kCardRadius), kLine, kLogBg);

    const float left = box.x + sc(17);
    const float inset = sc(15);
    const float textTop = box.y + inset;
    const float height = box.height - 2 * inset;
    const float lineHeight = roundHalfAway(sc(18));
    const std::size_t k = charsPerLine(box.width - sc(40), advanceOf(fontSlot(kMono12), 'M'));  // both insets and the scrollbar

    // Lines trimmed from the front take their height with them; a view scrolled away keeps
    // showing the same lines.
    const std::uint64_t removed = syncConsoleIndex(records.index, window.console, window.consoleDropped, k);
    float& offset = records.offset;
    offset -= static_cast<float>(removed) * lineHeight;

    const float total = static_cast<float>(visualLineCount(records.index)) * lineHeight;
    const float maxOffset = std::max(total - height, 0.0f);
    const float near = sc(30);  // this close to the end still follows the tail

    followFind(x + width, top, records.index, k, lineHeight, height, offset, records.follow);

    InputSnapshot& in = ui.input;
    if (in.mouseFree && in.wheel != 0 &&
        CheckCollisionPointRec(Vector2{in.mouseX, in.mouseY}, toRaylib(box))) {
        offset -= in.wheel * 3 * lineHeight;
        in.wheel = 0;
        records.follow = offset >= maxOffset - near;
    }
    // The page keys and the right stick scroll the log, as they scroll the other pages.
    const float keyed = offset;
    scrollByActions(offset, height, 3 * lineHeight);
    if (offset != keyed) records.follow = offset >= maxOffset - near;
    if (records.follow) offset = maxOffset;
    // Clamped before drawing rather than by the scrollbar afterwards, so that no frame shows
    // the log pulled past its top or end; a clamp counts as the scrollbar's change would.
    const float clamped = std::clamp(offset, 0.0f, maxOffset);
    if (clamped != offset) {
        offset = clamped;
        records.follow = offset >= maxOffset - near;
    }

    // Inside the box's one-pixel outline.
    selectLogLines({box.x + sc(1), textTop, box.width - sc(2), height}, records.index, lineHeight, offset);
    pushClip({box.x + sc(1), textTop, box.width - sc(2), height});
    if (ui.drawing) drawLog(records.index, window.console, k, left, textTop, lineHeight, height, offset);
    popClip();

    const float before = offset;
    scrollbar("log", {box.x, textTop, box.width - sc(3), height}, total, offset);  // clear of the outline
    if (offset != before) records.follow = offset >= maxOffset - near;
    return box.y + box.height - top;
}

}  // namespace vlr
