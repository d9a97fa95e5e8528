/*******************************************************************************************
*  updates.h — pieces of the Updates page that are checked on their own
*******************************************************************************************/
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "link/json.h"

namespace vlr {

// The bullet items of an entry's body: one per line that holds more than spaces and tabs,
// without its indentation, a leading "- " and the spaces after it.
std::vector<std::string> bulletItems(std::string_view body);

// An entry card's content: a bullet and an inline-markup block per item. Returns its height.
float entryBody(std::string_view body, float x, float y, float width);

// The status beside the buttons: the pending text ("Checking...") while there is one.
std::string updatesStatus(const Json& state, std::string_view pending);

// "Update now" is enabled only while an update is available and no task runs.
bool updateAllowed(const Json& state);

}  // namespace vlr
