/*******************************************************************************************
*  pages.cpp — the table of pages
*******************************************************************************************/
#include "pages/pages.h"

#include "pages/play.h"
#include "settings/settings.h"

namespace vlr {

namespace {

constexpr PageRow kPages[] = {
    {"Play", playPage, playFollowState, true, nullptr, true},
    {"Console", consolePage, nullptr, false, followConsoleTail, false},
    {"Settings", settingsPage, nullptr, true, nullptr, true},
    {"Updates", updatesPage, updatesFollowState, true, nullptr, true},
};

}  // namespace

std::span<const PageRow> pageTable() { return kPages; }

int pageIndex(PageFn page) {
    for (std::size_t i = 0; i < std::size(kPages); ++i) {
        if (kPages[i].draw == page)
            return static_cast<int>(i);
    }
    return 0;
}

void pagesFollowState(const Json& state) {
    for (const PageRow& page : kPages) {
        if (page.followState)
            page.followState(state);
    }
}

}  // namespace vlr
