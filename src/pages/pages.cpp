/*******************************************************************************************
*  pages.cpp — the pages' records that follow the launcher's state documents
*******************************************************************************************/
#include "pages/pages.h"

#include "pages/play.h"

namespace vlr {

std::string& updatesPending() {
    static std::string text;
    return text;
}

void pagesFollowState(const Json& state) {
    playFollowState(state);
    updatesPending().clear();
}

}  // namespace vlr
