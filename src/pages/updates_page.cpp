/*******************************************************************************************
*  updates_page.cpp — the Updates page: checking for and applying updates, what they bring
*
*  Two buttons and a status line, then one card per entry: the entries of the pending update
*  while one is available, else the installed version's change log. An entry's body is a
*  bulleted list whose items may hold **bold** and `code` spans.
*******************************************************************************************/
#include <algorithm>

#include "link/command_list.h"
#include "link/json.h"
#include "link/state.h"
#include "pages/markup.h"
#include "pages/pages.h"
#include "pages/updates.h"
#include "ui/fonts.h"
#include "ui/rows.h"
#include "ui/widgets.h"

namespace vlr {

namespace {

bool blankLine(std::string_view line) { return line.find_first_not_of(" \t") == std::string_view::npos; }

}  // namespace

std::vector<std::string> bulletItems(std::string_view body) {
    std::vector<std::string> items;
    std::size_t start = 0;
    while (start <= body.size()) {
        std::size_t end = body.find('\n', start);
        if (end == std::string_view::npos) end = body.size();
        std::string_view line = body.substr(start, end - start);
        start = end + 1;
        if (blankLine(line)) continue;  // adds nothing, not even spacing
        line.remove_prefix(line.find_first_not_of(" \t"));
        // "- item", an indented "- item" and the bare "item" are the same bullet.
        if (line.substr(0, 2) == "- ") line.remove_prefix(2);
        else if (line == "-") line = {};
        line.remove_prefix(std::min(line.find_first_not_of(' '), line.size()));
        items.emplace_back(line);
    }
    return items;
}

float entryBody(std::string_view body, float x, float y, float width) {
    const bool drawing = uiState().drawing;
    float h = 0;
    const float indent = sc(18);  // an item's text, right of its bullet 7 in
    for (const std::string& item : bulletItems(body)) {
        if (drawing)
            drawCalls().circle(Vector2{roundHalfAway(x + sc(7)), roundHalfAway(y + h + sc(kLine14 / 2))}, sc(2.5f), kLogText);  // the bullet
        h += drawMarkup(parseMarkup(item), kRegular14, kSemibold14, x + indent, y + h, width - indent, sc(kLine14), kLogText,
                        kTextPrimary) +
             sc(kHelpGap);
    }
    return h;
}

std::string updatesStatus(const Json& state, std::string_view pending) {
    if (!pending.empty()) return std::string(pending);
    return asText(get(get(state, "updates"), "note"));
}

bool updateAllowed(const Json& state) {
    return isTrue(get(get(state, "updates"), "behind")) && !taskRunning(state);
}

void updatesFollowState(const Json&) { updatesPending().clear(); }

float updatesPage(const PageArea& area) {
    const float x = area.x;
    const float y = area.y;
    const float width = area.width;
    const Json& state = windowState().state;
    const Json& updates = get(state, "updates");
    const bool behind = isTrue(get(updates, "behind"));

    Column content = column(x, y, width);
    Row row = nextRow(content, sc(kControlHeight), sc(kBlockGap), sc(kControlGap));
    const Rect check = cell(row, buttonWidth("Check for updates"));
    if (button(check.x, check.y, "Check for updates", kSecondary)) {
        updatesPending() = "Checking...";
        checkForUpdates();
    }
    row.gap = sc(kButtonTextGap);
    const Rect update = cell(row, buttonWidth("Update now"));
    if (button(update.x, update.y, "Update now", kPrimary, updateAllowed(state)))
        updateNow([](const Json&) { uiState().requestedPage = pageIndex(consolePage); });
    drawTextRun(kRegular13, updatesStatus(state, updatesPending()), row.left, y + sc(kControlHeight / 2), kTextSecondary, 0);

    float top = content.y;
    if (behind)
        top += drawTextBlock(kRegular12_5, "What the update brings", x, top, width, sc(kLine12_5), kTextSecondary, false) +
               sc(kBlockGap);

    const Json& entries = behind ? get(updates, "new") : get(state, "changelog");
    for (const Json& entry : entries.items) {
        const std::string& body = asText(at(entry, 1));
        top += card(x, top, width, asText(at(entry, 0)),
                    [&body](float bx, float by, float bw) { return entryBody(body, bx, by, bw); }, kLine, kTextPrimary,
                    true) +
               sc(kCardGap);
    }
    return top - y;
}

}  // namespace vlr
