/*******************************************************************************************
*  pages.h — the table of pages
*
*  One row per page, in the order of the tabs: its label, the page function and what it keeps
*  that follows each state document. Every page has the same signature: the content area in,
*  the height it used out. The frame draws the tabs and the current page from this table; the
*  page number is an index into it. Adding a page is one file and one row in pages.cpp.
*******************************************************************************************/
#pragma once

#include <span>
#include <string>

#include "link/json.h"
#include "ui/ui_state.h"

namespace vlr {

using PageFn = float (*)(const PageArea& area);

struct PageRow {
    const char* label;                      // the tab's text
    PageFn draw;                            // the page
    void (*followState)(const Json& state); // its records that follow each applied document; may be null
    bool scrolled;                          // the frame scrolls it; false: it fills the area and scrolls inside
    void (*tabClicked)();                   // a click on its tab, beyond switching to it; may be null
    bool served;                            // its controls need the launcher: off while it is away
};

std::span<const PageRow> pageTable();

// The index of a page in the table (for a page that switches to another one).
int pageIndex(PageFn page);

// Every page's records follow a newly applied state document (the shell hands this to the
// state model).
void pagesFollowState(const Json& state);

// Transient Updates page text ("Checking..."); every state document empties it.
std::string& updatesPending();  // one of the window-wide records (shell/records.h)

float playPage(const PageArea& area);
float consolePage(const PageArea& area);
float updatesPage(const PageArea& area);

// Start on a gamepad: Play, from whichever page shows, while the Play page's button is
// enabled (the frame calls it once the page was drawn).
void playOnStart();

// The console should show its newest line (a click on its tab asks for it).
void followConsoleTail();

// The Updates page's pending text goes with each new document.
void updatesFollowState(const Json& state);

}  // namespace vlr
