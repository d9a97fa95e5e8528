/*******************************************************************************************
*  play_page.cpp — the Play page: its cards and columns, the Game disc and the Play card
*
*  Cards: an optional warning, "Game disc", "Installation", "Save profile" in the left column
*  and the untitled play card. On a wide window the play card has a column of its own and
*  follows the viewport while the page scrolls, never past the bottom of "Save profile".
*******************************************************************************************/
#include <algorithm>

#include "link/command_list.h"
#include "link/json.h"
#include "link/state.h"
#include "pages/pages.h"
#include "pages/play.h"
#include "ui/focus.h"
#include "ui/fonts.h"
#include "ui/input.h"
#include "ui/rows.h"
#include "ui/text_field.h"
#include "ui/widgets.h"

namespace vlr {

namespace {

constexpr float kPlayColumnWidth = 340;  // the Play card's column in a wide window
constexpr float kPlayRadius = 10;        // the big Play button's corners
constexpr float kPlayButtonTop = 5;      // the Play card's top to its big button
constexpr float kPlayButtonHeight = 56;
constexpr float kPlayStatusGap = 14;     // the big button to the status text

const char* const kDiscHelp =
    "Your own Velocrash ISO, European version (SLES-58013). Keep it where it is: the game reads it at every launch.";

float warningText(float x, float y, float width) {
    return drawTextBlock(kRegular14, asText(get(windowState().state, "missing")), x, y, width, sc(kLine14), kTextPrimary,
                         false);
}

// The height a card would take, without drawing it or letting it react.
float measureCard(float width, std::string_view title, const CardContent& content) {
    UiState& ui = uiState();
    const bool saved = ui.drawing;
    ui.drawing = false;
    const float height = card(0, 0, width, title, content);
    ui.drawing = saved;
    return height;
}

}  // namespace

// ---- records ----

void playFollowState(const Json& state) {
    PlayRecords& records = playRecords();
    const UiState& ui = uiState();
    if (!records.iso.edited && ui.focused != &records.iso) {
        records.iso.text = asText(get(state, "iso"));
        records.iso.caret = records.iso.text.size();
    }
    if (!(ui.dropDown.open && ui.dropDown.owner == "profile"))
        records.selectedProfile = asText(get(state, "profile"));
}


void takeIsoPath(std::string path) {
    EditBuffer& field = playRecords().iso;
    field.text = std::move(path);
    field.caret = field.text.size();
    field.anchor = kNoAnchor;
    field.edited = true;
}

void clearField(EditBuffer& field) {
    field.text.clear();
    field.caret = 0;
    field.scroll = 0;
}

// ---- game disc ----

float discSection(float x, float y, float w) {
    EditBuffer& iso = playRecords().iso;
    Column content = column(x, y, w);
    Row row = nextRow(content, sc(kControlHeight), sc(kTextGap), sc(kControlGap));
    const Rect browse = cellRight(row, buttonWidth("Browse"));
    textField(iso, rest(row), "Path of your Velocrash ISO", sc(kFieldInset), 0, false);
    if (button(browse.x, browse.y, "Browse", kSecondary)) {
        browseIso([](const Json& answer) {
            const std::string& path = asText(get(answer, "path"));
            if (path.empty()) return;  // the dialog was cancelled
            takeIsoPath(path);
        });
    }
    skip(content, drawTextBlock(kRegular12_5, kDiscHelp, x, content.y, w, sc(kLine12_5), kTextSecondary, false));
    return used(content);
}

// ---- play card ----

std::string playStatus(const Json& state) {
    const std::string& running = asText(get(state, "running"));
    if (running.empty())
        return isTrue(get(state, "ready")) ? "Ready." : "Give the ISO, then generate the code and build the game.";
    const std::string& phase = asText(get(state, "phase"));
    return phase.empty() ? running + " running" : phase;
}

namespace {

bool isPlayable(const Json& state) { return isTrue(get(state, "ready")) && !taskRunning(state); }

// The game starts with the chosen profile; the window then shows its output.
void startGame() {
    vlr::play(playRecords().selectedProfile, [](const Json&) { uiState().requestedPage = pageIndex(consolePage); });
}

}  // namespace

void playOnStart() {
    if (takeAction(kNavStart) && isPlayable(windowState().state) && uiState().serviceDown.empty()) startGame();
}

float playSection(float x, float y, float w) {
    UiState& ui = uiState();
    const Json& state = windowState().state;
    const bool running = taskRunning(state);
    const bool playable = isPlayable(state);

    // The big Play button, the status text, the Stop button in the middle: one column.
    Column content = column(x, y, w);
    skip(content, sc(kPlayButtonTop));
    Rect play = snap(rest(nextRow(content, sc(kPlayButtonHeight), sc(kPlayStatusGap), 0)));
    const bool hovered = playable && isHovered(play);
    const bool live = playable && ui.controlsOff.empty();   // a dead launcher plays nothing
    if (ui.drawing) {
        const Color fill = !live ? kPanelFill : hovered ? kAccentHover : kAccent;
        drawRoundedBox(play, sc(kPlayRadius), fill, fill);
        const float spacing = roundHalfAway(0.34f * ui.scale);
        const float labelWidth = textWidth(kSemibold17, "Play", spacing);
        drawTextRun(kSemibold17, "Play", play.x + (play.width - labelWidth) / 2, play.y + play.height / 2,
                            live ? kWhite : kPlayDisabled, spacing);
    }
    const bool pressed = playable && focusItem("Play", play, FocusKind::kButton, sc(kPlayRadius)) && takeAction(kNavPress);
    if (!playable && accessBuilding())
        accessNode("Play", platform::AccessRole::kButton, "Play", play, platform::kAccessDisabled, platform::kAccessPress);
    if (hovered)
        ui.input.wantedCursor = MOUSE_CURSOR_POINTING_HAND;
    if ((hovered && takeClick()) || pressed) startGame();

    // "Ready." is the launcher's word; without it nothing is ready.
    const std::string status = ui.serviceDown.empty()         ? playStatus(state)
                               : windowState().launcherGone ? "Not ready: the launcher stopped."
                                                            : "Not ready: waiting for the launcher.";
    const float block = drawTextBlock(kRegular13, status, content.x, content.y, content.width, sc(kLine13),
                                      running ? kTextPrimary : kTextSecondary, true);
    if (accessBuilding())
        accessNode("status", platform::AccessRole::kText, status, {content.x, content.y, content.width, block},
                   platform::kAccessLive);
    skip(content, std::max(block, sc(21)));  // at least one line of status
    skip(content, sc(kTextGap));

    const Rect stop = cellMiddle(nextRow(content, sc(kControlHeight), 0, 0), buttonWidth("Stop"));
    if (button(stop.x, stop.y, "Stop", kQuiet, running))
        stopTask();
    return used(content);
}

// ---- page ----

float playPage(const PageArea& area) {
    const float x = area.x;
    const float width = area.width;
    float y = area.y;
    const float y0 = y;
    if (!asText(get(windowState().state, "missing")).empty())
        y += card(x, y, width, "Before the first installation", warningText, kWarningOutline, kAccent) + sc(kCardGap);
    const float top = y;

    const bool narrow = sc(kOneColumnMaxWidth) >= static_cast<float>(inputCalls().screenWidth());
    const float leftWidth = narrow ? width : width - sc(kPlayColumnWidth) - sc(kColumnGap);
    y += card(x, y, leftWidth, "Game disc", discSection) + sc(kCardGap);
    y += card(x, y, leftWidth, "Installation", installSection) + sc(kCardGap);
    y += card(x, y, leftWidth, "Save profile", profileSection) + sc(kCardGap);
    const float left = y;

    if (narrow) {
        const float played = card(x, left, width, "", playSection);
        return left + played + sc(kCardGap) - y0;
    }
    const float rightWidth = sc(kPlayColumnWidth);
    const float rightX = x + leftWidth + sc(kColumnGap);
    const float played = measureCard(rightWidth, "", playSection);
    const float pinned = std::max(top, std::min(area.view.y, left - sc(kCardGap) - played));
    card(rightX, pinned, rightWidth, "", playSection);
    return std::max(top + played + sc(kCardGap), left) - y0;
}

}  // namespace vlr
