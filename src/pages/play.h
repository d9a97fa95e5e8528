/*******************************************************************************************
*  play.h — the Play page's sections and the records they keep between frames
*
*  Each section is a card's content: (x, y, width) -> height, run in the card's measuring
*  pass and, when visible, in its drawing pass. The records live for the whole process
*  because text fields hold on to their buffers while focused.
*******************************************************************************************/
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "link/json.h"
#include "ui/ui_state.h"

namespace vlr {

struct PlayRecords {
    EditBuffer iso;                // Game disc path entry
    std::string selectedProfile;   // profile chosen in the Save profile section
    bool purgeConfirm = false;     // the "Delete the build files" row is open
    bool newProfileOpen = false;   // the New-profile form is open
    EditBuffer newName;            // name of the new profile
    EditBuffer newSaves;           // optional folder of saves to copy into it
};

PlayRecords& playRecords();  // one of the window-wide records (shell/records.h)

// A new state document: the ISO field follows it unless the user is editing it, the chosen
// profile unless the profile list is open.
void playFollowState(const Json& state);

float discSection(float x, float y, float width);
float installSection(float x, float y, float width);
float profileSection(float x, float y, float width);
float playSection(float x, float y, float width);

// The play card's status line and the Save profile card's footer.
std::string playStatus(const Json& state);
std::string profileFooter(std::string_view saves);

// A path from the file dialog or dropped on the window becomes the game disc field's text,
// as if typed: it travels with the next installation command.
void takeIsoPath(std::string path);

// Empties a field and its caret and scroll.
void clearField(EditBuffer& field);

}  // namespace vlr
