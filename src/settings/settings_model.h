/*******************************************************************************************
*  settings_model.h — the game settings as the editors see them: values, saving, edit buffers
*
*  The window's copy of the settings list lives with the state model (link/state.h), which
*  also owns the rule for the launcher's stamp; here the editors read a value, change one
*  (locally at once, then sent to the launcher) and keep the text of the fields being edited.
*  Nothing here draws.
*******************************************************************************************/
#pragma once

#include <string>
#include <string_view>

#include "ui/ui_state.h"

namespace vlr {

// The value of the first pair with that key, or null when the list lacks the key.
const std::string* settingValue(std::string_view key);

// Sets the value locally at once and queues the change to the launcher. reload: take the
// launcher's whole list back from its answer (the key-binding editor asks for it).
void saveSetting(const std::string& key, const std::string& value, bool reload);

// The settings editors' buffer of that name (a setting key), created empty on first use.
EditBuffer& editBuffer(std::string_view name);

}  // namespace vlr
