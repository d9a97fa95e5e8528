/*******************************************************************************************
*  pages_stub.cpp — placeholder pages until the real ones land
*
*  They take no room and draw nothing, so the window's frame, tabs and scrolling can run
*  and be looked at on their own.
*******************************************************************************************/
#include "pages/pages.h"

namespace vlr {

void consolePage(float, float, float, float) {}

float updatesPage(float, float, float) {
    return 0;
}

void followConsoleTail() {}

}  // namespace vlr
