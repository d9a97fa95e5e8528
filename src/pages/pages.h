/*******************************************************************************************
*  pages.h — the Play, Console and Updates pages
*
*  Each page takes its content column and top and returns the height it used; the frame turns
*  that into scrolling. The console fills the space it is given instead.
*******************************************************************************************/
#pragma once

#include <string>

#include "link/json.h"
#include "raylib.h"

namespace vlr {

// What the pages keep that follows each applied state document (the shell hands it to the
// state model): the Play page's ISO field and chosen profile, the Updates page's pending text.
void pagesFollowState(const Json& state);

// Transient Updates page text ("Checking..."); every state document empties it.
std::string& updatesPending();  // one of the window-wide records (shell/records.h)

float playPage(float x, float y, float width, Rectangle viewport);
void consolePage(float x, float top, float width, float bottom);
float updatesPage(float x, float y, float width);

// The console should show its newest line (a click on its tab asks for it).
void followConsoleTail();

}  // namespace vlr
