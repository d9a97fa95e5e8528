/*******************************************************************************************
*  pages.cpp — the pages' records that follow the launcher's state documents
*******************************************************************************************/
#include "pages/pages.h"

#include "pages/play.h"

namespace vlr {

void pagesFollowState(const Json& state) {
    playFollowState(state);
    updatesPending().clear();
}

}  // namespace vlr
