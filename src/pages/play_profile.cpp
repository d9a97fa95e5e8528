/*******************************************************************************************
*  play_profile.cpp — the "Save profile" card: choosing, opening and creating profiles
*
*  The chosen name changes at once and the launcher is told; its next state document has the
*  last word. The New-profile form keeps its texts while closed and empties only once the
*  launcher has created the profile.
*******************************************************************************************/
#include <algorithm>

#include "link/command_list.h"
#include "link/json.h"
#include "link/state.h"
#include "pages/markup.h"
#include "pages/play.h"
#include "ui/fonts.h"
#include "ui/select_box.h"
#include "ui/rows.h"
#include "ui/text_field.h"
#include "ui/widgets.h"

namespace vlr {

namespace {

constexpr float kProfileListWidth = 260;  // the profile list, and the new profile's name under it

const char* const kSavesHelp =
    "To bring saves from elsewhere, give their folder: a save folder (it holds icon.sys), the folder above it, or a "
    "profile's folder (another installation's `save\\Default`, or its `work\\local`). They are copied; the originals "
    "stay where they are.";

const std::vector<MarkupSegment>& savesHelp() {
    static const std::vector<MarkupSegment> segments = parseMarkup(kSavesHelp);
    return segments;
}

bool blank(std::string_view text) { return text.find_first_not_of(' ') == std::string_view::npos; }

void submitNewProfile() {
    PlayRecords& records = playRecords();
    const std::string saves = records.newSaves.text;
    createProfile(records.newName.text, saves, [saves](const Json&) {
        if (!blank(saves)) showNotice("The saves were copied into the new profile.");
        PlayRecords& done = playRecords();
        clearField(done.newName);
        clearField(done.newSaves);
        done.newProfileOpen = false;
        uiState().focused = nullptr;
    });
}

// A closed form is not drawn, so its fields must not keep the keyboard.
void dropFormFocus() {
    UiState& ui = uiState();
    PlayRecords& records = playRecords();
    if (ui.focused == &records.newName || ui.focused == &records.newSaves) ui.focused = nullptr;
}

float newProfileForm(float x, float y, float w) {
    UiState& ui = uiState();
    PlayRecords& records = playRecords();
    // Under the profile row: the name, the saves to copy with their Browse, a help text, Create.
    Column content = column(x, y, w);
    skip(content, sc(kControlRow));
    Row nameRow = nextRow(content, sc(kControlHeight), sc(kControlGap), sc(kControlGap));
    const bool committed =
        textField(records.newName, cell(nameRow, sc(kProfileListWidth)), "Name of the new profile", sc(kFieldInset), 40, false);
    // A commit while still focused is Enter; a click elsewhere commits too but takes the focus.
    bool create = committed && ui.focused == &records.newName;

    Row savesRow = nextRow(content, sc(kControlHeight), sc(kTextGap), sc(kControlGap));
    const Rect browse = cellRight(savesRow, buttonWidth("Browse"));
    textField(records.newSaves, rest(savesRow), "Optional: a folder of saves to copy into it", sc(kFieldInset), 0, false);
    if (button(browse.x, browse.y, "Browse", kSecondary)) {
        browseSaves([](const Json& answer) {
            const std::string& path = asText(get(answer, "path"));
            if (path.empty()) return;
            EditBuffer& field = playRecords().newSaves;
            field.text = path;
            field.caret = field.text.size();
        });
    }
    skip(content, drawMarkup(savesHelp(), kRegular12_5, kRegular12_5, x, content.y, w, sc(kLine12_5), kTextSecondary,
                             kTextSecondary));
    skip(content, sc(kTextGap));
    Row createRow = nextRow(content, sc(kControlHeight), 0, sc(kControlGap));
    const Rect createAt = cell(createRow, buttonWidth("Create the profile"));
    if (button(createAt.x, createAt.y, "Create the profile", kPrimary)) create = true;
    if (create) submitNewProfile();
    return used(content);
}

}  // namespace

std::string profileFooter(std::string_view saves) {
    std::string text = "Each profile has its own memory card and save states";
    if (!saves.empty()) {
        text += ", in ";
        text += saves;
    }
    return text + ".";
}

float profileSection(float x, float y, float w) {
    UiState& ui = uiState();
    WindowState& window = windowState();
    PlayRecords& records = playRecords();

    std::vector<std::string> profiles;
    for (const Json& item : get(window.state, "profiles").items) profiles.push_back(asText(item));
    Column content = column(x, y, w);
    Row row = nextRow(content, sc(kControlHeight), 0, sc(kControlGap));
    const int picked = selectBox("profile", cell(row, sc(kProfileListWidth)), profiles, records.selectedProfile);
    if (picked >= 0 && static_cast<std::size_t>(picked) < profiles.size()) {
        records.selectedProfile = profiles[static_cast<std::size_t>(picked)];
        selectProfile(records.selectedProfile);
    }

    const Rect add = cell(row, buttonWidth("New"));
    if (button(add.x, add.y, "New", kSecondary)) {
        records.newProfileOpen = !records.newProfileOpen;
        if (records.newProfileOpen)
            ui.focused = &records.newName;
        else
            dropFormFocus();
    }
    const Rect open = cell(row, buttonWidth("Open its folder"));
    if (button(open.x, open.y, "Open its folder", kQuiet))
        openProfileFolder(records.selectedProfile);

    const float form = records.newProfileOpen ? newProfileForm(x, y, w) : sc(kControlHeight);

    const std::string footer = profileFooter(asText(get(window.state, "saves")));
    const float text = drawTextBlock(kRegular12_5, footer, x, y + form + sc(kTextGap), w, sc(kLine12_5), kTextSecondary, false);
    return form + sc(kTextGap) + text;
}

}  // namespace vlr
