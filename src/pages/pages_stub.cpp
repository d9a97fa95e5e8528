/*******************************************************************************************
*  pages_stub.cpp — placeholder Updates page until the real one lands
*
*  It takes no room and draws nothing, so the window's frame, tabs and scrolling can run
*  and be looked at on their own.
*******************************************************************************************/
#include "pages/pages.h"

namespace vlr {

float updatesPage(float, float, float) {
    return 0;
}

}  // namespace vlr
