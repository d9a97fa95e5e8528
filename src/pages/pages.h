/*******************************************************************************************
*  pages.h — the Play, Console and Updates pages
*
*  Each page takes its content column and top and returns the height it used; the frame turns
*  that into scrolling. The console fills the space it is given instead.
*******************************************************************************************/
#pragma once

#include "raylib.h"

namespace vlr {

float playPage(float x, float y, float width, Rectangle viewport);
void consolePage(float x, float top, float width, float bottom);
float updatesPage(float x, float y, float width);

// The console should show its newest line (a click on its tab asks for it).
void followConsoleTail();

}  // namespace vlr
