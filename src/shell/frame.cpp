/*******************************************************************************************
*  frame.cpp — the one operation that draws the whole launcher window
*
*  Sections:
*    helpers        scaled lengths, status texts, the running bar
*    header         logo, title, version chip
*    tabs           the four pages, the only navigation
*    content        start-up or stopped message, the current page and its scrolling
*    footer         work folder and status line
*    overlays       notice box (the drop-down list draws itself: ui/dropdown.h)
*    frame          the steps in order
*
*  Every length is in units of the UI scale; W and H are the screen size in pixels. The page
*  index switches only at the very end of a frame, so a frame is drawn with one page.
*******************************************************************************************/
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <span>

#include "link/handover.h"
#include "link/json.h"
#include "pages/pages.h"
#include "platform/access.h"
#include "settings/settings.h"
#include "shell/shell.h"
#include "ui/access_tree.h"
#include "ui/dropdown.h"
#include "ui/focus.h"
#include "ui/fonts.h"
#include "ui/widgets.h"

namespace vlr {

// ---- helpers ----

namespace {

constexpr double kBarPeriod = 1.4;

SteadyTime steadyIn(double seconds) {
    return std::chrono::steady_clock::now() +
           std::chrono::duration_cast<std::chrono::steady_clock::duration>(std::chrono::duration<double>(seconds));
}

void fillSnapped(Rect r, Color colour) {
    drawCalls().rectangle(toRaylib(snap(r)), colour);
}

}  // namespace

float runningBarEase(double seconds) {
    const double p = std::fmod(seconds, kBarPeriod) / kBarPeriod;
    const double e = p < 0.5 ? 2 * p * p : 1 - 2 * (1 - p) * (1 - p);
    return static_cast<float>(e);
}

BarSpan runningBarSpan(double seconds, float screenWidth) {
    const float segment = 0.3f * screenWidth;
    const float start = screenWidth * 1.32f * runningBarEase(seconds) - segment;
    const float left = std::max(start, 0.0f);
    const float right = std::min(start + segment, screenWidth);
    return right > left ? BarSpan{left, right - left} : BarSpan{left, 0};
}

std::string stoppedStatusText(std::int32_t code) {
    return "The launcher stopped (exit code " + exitCodeText(code) + "): close this window and start it again.";
}

StatusLine statusLine(const WindowState& window) {
    if (window.stateReceived && !window.connected) {
        if (window.launcherStarting)
            return {"Starting the launcher...", true};
        if (window.launcherExited)
            return {stoppedStatusText(window.launcherExitCode), true};
        if (window.launcherGone)
            return {"The launcher stopped: close this window and start it again.", true};
        return {"Reconnecting to the launcher...", true};
    }
    const std::string running = asText(get(window.state, "running"));
    if (!running.empty())
        return {running + " running", false};
    return {};
}

std::string launcherAwayText(const WindowState& window) {
    if (!window.stateReceived || window.connected) return {};
    if (window.launcherStarting) return "Needs the launcher, which is starting.";
    if (window.launcherGone) return "Needs the launcher, which has stopped. Start it again at the bottom right.";
    return "Needs the launcher, which does not answer at the moment.";
}

SteadyTime animationFrameAt(SteadyTime frameStart, SteadyTime now) {
    const SteadyTime due = frameStart + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                            std::chrono::duration<double>(1 / kAnimationFps));
    // A frame that took long to draw (software rendering) is followed by a rest as long, so
    // the bar alone never keeps the drawing thread busy more than half the time.
    return std::max(due, now + (now - frameStart));
}

// ---- header ----

namespace {

// The header's lengths: the title and the version chip share one middle line.
constexpr float kTitleMiddle = 34;
constexpr float kVersionInset = 11;   // the version's text inside its chip
// The notice box: its text's inset beside the accent bar, and its height around the lines.
constexpr float kNoticeWidthPad = 35;
constexpr float kNoticeHeightPad = 22;

void drawHeader(float screenWidth, const Json& state) {
    const ShellState& shell = shellState();
    if (shell.logo.id != 0) {
        const float side = sc(32);  // the logo is square, 18 below the top
        const Rect at = snap({sc(kWindowInset), sc(18), side, side});
        drawCalls().texture(shell.logo,
                            Rectangle{0, 0, static_cast<float>(shell.logo.width), static_cast<float>(shell.logo.height)},
                            toRaylib(at), kWhite);
    }

    const float titleEnd = drawTextRun(kSemibold16, "Velocrash", sc(72), sc(kTitleMiddle), kTextPrimary);  // the title beside the logo
    drawTextRun(kRegular16, "Rebuilt", titleEnd + textWidth(kRegular16, " "), sc(kTitleMiddle), kTextSecondary);

    const std::string version = asText(get(state, "version"));
    if (!version.empty()) {
        const std::string text = "v" + version;
        const float chipWidth = roundHalfAway(sc(2 * kVersionInset) + textWidth(kRegular12, text));
        const float chipX = screenWidth - sc(kWindowInset) - chipWidth;
        Rect chip{chipX, sc(kTitleMiddle - 12), chipWidth, sc(24)};  // a pill around the title line
        drawRoundedBox(chip, chip.height / 2, kLine, kTransparent);
        drawTextRun(kRegular12, text, chipX + sc(kVersionInset), sc(kTitleMiddle), kTextSecondary);
    }
}

// ---- tabs ----

// A tab clicked or pressed, or a page key: the page shows from the next frame, with whatever
// its tab does beyond that (the console follows its newest output again).
void showPage(UiState& ui, int page) {
    ui.requestedPage = page;
    if (pageTable()[page].tabClicked)
        pageTable()[page].tabClicked();
}

void drawTabs(UiState& ui, const Json& state) {
    const bool behind = isTrue(get(get(state, "updates"), "behind"));
    const std::span<const PageRow> pages = pageTable();
    const int updates = pageIndex(updatesPage);
    float x = sc(kWindowInset);
    if (accessBuilding())
        accessNode("pages", platform::AccessRole::kTabList, "Pages", {x, sc(kTabTop), 0, sc(kTabHeight)});
    const AccessGroup tabRow;
    for (int page = 0; page < static_cast<int>(pages.size()); ++page) {
        const char* label = pages[page].label;
        const float extra = page == updates && behind ? sc(13) : 0;  // room for the dot
        const float width = roundHalfAway(sc(2 * kTabInset) + textWidth(kRegular14, label) + extra);
        const Rect tab = snap({x, sc(kTabTop), width, sc(kTabHeight)});
        const bool hovered = isHovered(tab);
        const bool current = ui.currentPage == page;

        drawTextRun(kRegular14, label, tab.x + sc(kTabInset), tab.y + sc(kTabLabelY),
                    current || hovered ? kTextPrimary : kTextSecondary);
        if (page == updates && behind)
            drawCalls().circle(Vector2{tab.x + tab.width - sc(17), tab.y + sc(kTabLabelY)}, sc(3), kAccent);  // "updates behind"
        if (current) {
            const float thick = sc(2);  // the underline of the current tab
            Rect underline{tab.x + sc(kTabInset), tab.y + tab.height - thick, tab.width - sc(2 * kTabInset), thick};
            drawRoundedBox(underline, thick / 2, kAccent, kAccent);
        }
        const bool pressed = focusItem(std::to_string(page), tab, FocusKind::kTab, sc(kControlRadius),
                                       AccessAbout().named(label).marked(current ? platform::kAccessSelected : 0u)) &&
                             takeAction(kNavPress);
        if (hovered)
            ui.input.wantedCursor = MOUSE_CURSOR_POINTING_HAND;
        if ((hovered && takeClick()) || pressed)
            showPage(ui, page);
        x = tab.x + tab.width + sc(4);  // between two tabs
    }
    if (accessBuilding() && !ui.access.groups.empty() && ui.access.groups.back() >= 0)
        ui.access.tree.nodes[static_cast<std::size_t>(ui.access.groups.back())].width = x - sc(kWindowInset);
}

// Ctrl+Tab and the shoulder buttons: the next or previous page, its tab taking the focus.
void switchPages(UiState& ui) {
    const int count = static_cast<int>(pageTable().size());
    int page = ui.requestedPage;
    while (takeAction(kNavNextPage)) page = (page + 1) % count;
    while (takeAction(kNavPreviousPage)) page = (page + count - 1) % count;
    if (page == ui.requestedPage) return;
    showPage(ui, page);
    ui.focus.id = focusId(FocusKind::kTab, std::to_string(page));
    ui.focus.kind = FocusKind::kTab;
}

// ---- content ----

// The current page, with a scroll offset and a height kept for every page.
int currentPageIndex(UiState& ui) {
    const std::size_t count = pageTable().size();
    ui.scroll.resize(count);
    ui.contentHeight.resize(count);
    return std::clamp(ui.currentPage, 0, static_cast<int>(count) - 1);
}

struct Layout {
    Rect viewport;        // between the header separator and the footer
    float footerTop = 0;
    float footerHeight = 0;
    float columnX = 0;
    float columnWidth = 0;
};

void drawStartMessage(const Layout& layout, const WindowState& window) {
    const std::string message = window.launcherStarting ? std::string("Starting the launcher...")
                                : window.launcherExited ? stoppedLine(window.launcherExitCode)
                                : window.launcherGone   ? std::string("The launcher stopped. Close this window and start it again.")
                                                        : std::string("Starting the launcher...");
    const float middle = layout.viewport.y + layout.viewport.height / 2;
    drawTextBlock(kRegular14, message, layout.columnX, middle - sc(kLine14 / 2), layout.columnWidth, sc(kLine14), kTextSecondary,
                  true);
    if (accessBuilding())
        accessNode("start", platform::AccessRole::kText, message,
                   {layout.columnX, middle - sc(kLine14 / 2), layout.columnWidth, sc(kLine14)}, platform::kAccessLive);
}

void drawPage(UiState& ui, const Layout& layout) {
    const Rect& view = layout.viewport;
    const std::span<const PageRow> pages = pageTable();
    const int page = currentPageIndex(ui);
    PageArea area{layout.columnX, view.y + sc(kPageTopPad), layout.columnWidth,
                  view.y + view.height - sc(kPageBottomPad), view};
    const FocusScope scope(pages[page].label);   // the page's widgets are named within it
    const ServedControls served(pages[page].served);
    if (!pages[page].scrolled) {
        ui.focus.inPage = true;
        pages[page].draw(area);
        ui.focus.inPage = false;
        return;
    }

    float& offset = ui.scroll[page];
    const InputSnapshot& in = ui.input;
    if (in.mouseFree && in.wheel != 0 &&
        CheckCollisionPointRec(Vector2{in.mouseX, in.mouseY}, toRaylib(view)))
        offset -= sc(kScrollStep) * in.wheel;
    // Against the height of the page's previous drawing: a shrunken window keeps the offset
    // within the new range.
    offset = std::clamp(offset, 0.0f, std::max(0.0f, ui.contentHeight[page] - view.height));

    pushClip(view);
    area.y -= roundHalfAway(offset);
    ui.focus.inPage = true;
    const float height = pages[page].draw(area);
    ui.focus.inPage = false;
    ui.contentHeight[page] = height + sc(kPageTopPad) + sc(kPageBottomPad);
    popClip();
    ui.controlsOff.clear();  // the frame's own scrolling stays live

    // Shown from the next frame, which the input that moved it asks for.
    const float range = std::max(0.0f, ui.contentHeight[page] - view.height);
    scrollByActions(offset, view.height, sc(kScrollStep));
    offset = focusScroll(view, std::clamp(offset, 0.0f, range), range);

    scrollbar("page", view, ui.contentHeight[page], offset);
}

// ---- footer ----

// The status line's button while the launcher is gone: a small secondary button that ends at
// `right`, in the middle of the footer. Returns its left edge.
float startAgainButton(float right, float footerTop, float footerHeight) {
    UiState& ui = uiState();
    const float pad = sc(kCompactPad);
    const float height = sc(23);         // fits the footer's line with room above and below
    const float width = roundHalfAway(textWidth(kRegular12, kStartAgainLabel) + 2 * pad);
    const Rect box = snap({right - width, footerTop + (footerHeight - height) / 2, width, height});
    const bool hovered = isHovered(box);
    Rect drawn = box;
    drawRoundedBox(drawn, sc(kSmallRadius), hovered ? kButtonHoverLine : kLine, hovered ? kButtonHover : kPanelFill);
    drawTextRun(kRegular12, kStartAgainLabel, box.x + pad, box.y + box.height / 2, kTextPrimary);
    if (hovered) ui.input.wantedCursor = MOUSE_CURSOR_POINTING_HAND;
    const bool pressed = focusItem(kStartAgainLabel, box, FocusKind::kButton, sc(kSmallRadius)) && takeAction(kNavPress);
    if (((hovered && takeClick()) || pressed) && shellState().startLauncherAgain)
        shellState().startLauncherAgain();
    return box.x;
}

void drawFooter(const Layout& layout, float screenWidth, const WindowState& window) {
    const float top = layout.footerTop;
    const float height = layout.footerHeight;
    fillSnapped({0, top, screenWidth, std::max(1.0f, roundHalfAway(uiState().scale))}, kLine);

    if (window.stateReceived) {
        // Cut only a folder too long for its share of the footer.
        const std::string work = "Work folder: " + asText(get(window.state, "work"));
        const Rect box{0, top, 0.65f * screenWidth, height};
        // +1: a last glyph's overhang
        const bool overflows = sc(kWindowInset) + textWidth(kRegular12, work) + 1 > box.width;
        if (overflows)
            pushClip(box);
        drawTextRun(kRegular12, work, sc(kWindowInset), top + height / 2, kTextSecondary);
        if (overflows)
            popClip();
        if (accessBuilding())
            accessNode("work", platform::AccessRole::kText, work,
                       {sc(kWindowInset), top, box.width - sc(kWindowInset), height});
    }

    float end = screenWidth - sc(kWindowInset);
    if (window.launcherGone && !window.launcherStarting && !window.connected)
        end = startAgainButton(end, top, height) - sc(kControlGap);
    const StatusLine status = statusLine(window);
    if (!status.text.empty()) {
        const float x = end - textWidth(kRegular12, status.text);
        drawTextRun(kRegular12, status.text, x, top + height / 2, status.alert ? kAccent : kTextSecondary);
        if (accessBuilding())
            accessNode("status", platform::AccessRole::kText, status.text, {x, top, end - x, height},
                       platform::kAccessLive);
    }
}

// A disabled control under the pointer or the focus says why, in a box beside it: below it, or
// above when the footer is in the way.
void drawOffTip(const UiState& ui, float screenWidth, float footerTop) {
    if (ui.offTip.empty()) return;
    const Rect& at = ui.offTipRect;
    const float pad = sc(kCompactPad);
    const float gap = sc(6);    // the box from the control
    const float width = roundHalfAway(textWidth(kRegular12, ui.offTip) + 2 * pad);
    const float height = sc(26);
    const float x = std::clamp(at.x, sc(kWindowInset), std::max(sc(kWindowInset), screenWidth - sc(kWindowInset) - width));
    float y = at.y + at.height + gap;
    if (y + height > footerTop) y = at.y - gap - height;
    Rect box = snap({x, y, width, height});
    drawRoundedBox(box, sc(kSmallRadius), kLine, kPanelFill);
    drawTextRun(kRegular12, ui.offTip, box.x + pad, box.y + box.height / 2, kTextPrimary);
}

// ---- overlays ----

void drawNotice(const Notice& notice, float screenWidth, float screenHeight) {
    if (notice.text.empty() || !(notice.expiry > uiClock()))
        return;
    const std::vector<TextLine> lines = wrapLines(kRegular14, notice.text, 0.8f * screenWidth - sc(kNoticeWidthPad));
    float widest = 0;
    for (const TextLine& line : lines)
        widest = std::max(widest, textWidth(kRegular14, std::string_view(notice.text).substr(line.start, line.length)));
    const float boxHeight = sc(kNoticeHeightPad) + sc(kLine14) * static_cast<float>(lines.size());
    // Grows upwards: its bottom edge stays 44 above the window's, just over the footer.
    Rect box{(screenWidth - widest - sc(kNoticeWidthPad)) / 2, screenHeight - sc(44) - boxHeight,
             widest + sc(kNoticeWidthPad), boxHeight};
    drawRoundedBox(box, sc(10), kLine, kPanelFill);  // the box's corners
    const float barInset = sc(5);  // the accent bar, 3 wide, inside the left edge
    fillSnapped({box.x, box.y + barInset, sc(3), box.height - 2 * barInset}, kAccent);
    drawTextBlock(kRegular14, notice.text, box.x + sc(kCardInset), box.y + sc(kNoticeHeightPad / 2), widest + 1,
                  sc(kLine14), kTextPrimary, false);
    if (accessBuilding())
        accessNode("notice", platform::AccessRole::kText, notice.text, box, platform::kAccessLive);
    // Drawn again just after it expires, so the box goes away without other input.
    wakeFrameAt(steadyIn(notice.expiry - uiClock() + 0.010));
}

}  // namespace

// ---- frame ----

void drawFrame() {
    UiState& ui = uiState();
    WindowState& window = windowState();

    const SteadyTime frameStart = std::chrono::steady_clock::now();
    takeInput(ui, shellState());
    bool hadInput = inputArrived(ui.input);
    beginAccessFrame(ui, platform::accessListening());
    ui.serviceDown = launcherAwayText(window);
    ui.controlsOff.clear();
    ui.offTip.clear();
    followZoomInput(ui, shellState());
    takeDroppedFiles(ui, window);
    resolveOverlays(ui, IsWindowFocused(), addBinding);
    navigate(ui);
    // A reader's requests come as the user's own input, after the keys' moves.
    if (std::vector<platform::AccessRequest> requests = platform::takeAccessRequests();
        !requests.empty() || !ui.access.waiting.empty()) {
        applyAccessRequests(ui, std::move(requests));
        hadInput = true;
    }
    switchPages(ui);

    BeginDrawing();
    drawCalls().clear(kWindowBg);
    const float screenWidth = static_cast<float>(GetScreenWidth());
    const float screenHeight = static_cast<float>(GetScreenHeight());

    drawHeader(screenWidth, window.state);
    drawTabs(ui, window.state);

    const Rect separator = snap({0, sc(kHeaderHeight - kHeaderLine), screenWidth, sc(kHeaderLine)});
    drawCalls().rectangle(toRaylib(separator), kLine);
    const bool running = taskRunning(window.state);
    if (running) {
        const BarSpan bar = runningBarSpan(uiClock(), screenWidth);
        if (bar.width > 0)
            fillSnapped({bar.x, separator.y, bar.width, separator.height}, kAccent);
    }

    Layout layout;
    layout.footerHeight = roundHalfAway(sc(kFooterHeight));
    layout.footerTop = screenHeight - layout.footerHeight;
    const float separatorBottom = separator.y + separator.height;
    layout.viewport = {0, separatorBottom, screenWidth, layout.footerTop - separatorBottom};
    layout.columnWidth = std::min(sc(kPageMaxWidth), screenWidth - sc(2 * kWindowInset));
    layout.columnX = roundHalfAway((screenWidth - layout.columnWidth) / 2);

    if (!window.stateReceived) {
        drawStartMessage(layout, window);
    } else {
        drawPage(ui, layout);
        playOnStart();
    }

    drawOffTip(ui, screenWidth, layout.footerTop);
    drawFooter(layout, screenWidth, window);
    drawNotice(ui.notice, screenWidth, screenHeight);
    drawDropDown(ui);
    settleFocus(ui);
    if (finishAccessFrame(ui, kWindowTitle))
        platform::publishAccessTree(std::move(ui.access.tree));

    dropClips();
    if (ui.input.wantedCursor != ui.lastCursor) {
        SetMouseCursor(ui.input.wantedCursor);
        ui.lastCursor = ui.input.wantedCursor;
    }
    // Keeps the running bar moving while the loop otherwise waits for events.
    if (running && IsWindowFocused() && !IsWindowMinimized())
        wakeFrameAt(animationFrameAt(frameStart, std::chrono::steady_clock::now()));

    // What a click or key changed shows only in the next frame (a tab underline, a chosen
    // item); without another event the loop would sleep on the stale picture.
    // A page with work left over (a long search) goes on in the next frame.
    if (hadInput || ui.requestedPage != ui.currentPage || ui.frameAgain)
        wakeFrameAt(std::chrono::steady_clock::now());
    ui.frameAgain = false;
    ui.currentPage = std::clamp(ui.requestedPage, 0, static_cast<int>(pageTable().size()) - 1);
}

void frame() {
    drawFrame();
    ShellState& shell = shellState();
    ++shell.framesDrawn;
    // Before presenting: with event waiting, EndDrawing returns only when the next event comes,
    // and a test counting idle frames must see this one now.
    if (shell.traceFrames) {
        // "state 1" from the first frame that drew a state document: a test's reference picture
        // of a page must come from such a frame. The focused widget is for the keyboard tests; the
        // console's length comes last, where the tests that wait for lines look for it.
        std::fprintf(stderr, "frame %llu state %d focus %s console %zu\n",
                     static_cast<unsigned long long>(shell.framesDrawn), windowState().stateReceived ? 1 : 0,
                     uiState().focus.id.c_str(), windowState().console.size());
        std::fflush(stderr);
    }
    EndDrawing();
}

}  // namespace vlr
