/*******************************************************************************************
*  settings.h — the Settings page: the game settings editor
*******************************************************************************************/
#pragma once

#include <string>

namespace vlr {

float settingsPage(float x, float y, float width);

// A captured input for a PS2 button's binding ("key_" + button, input code).
void addBinding(const std::string& setting, int code);

}  // namespace vlr
