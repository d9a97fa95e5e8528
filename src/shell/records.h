/*******************************************************************************************
*  records.h — the one owner of the window-wide records
*
*  Each layer declares its record beside the code that uses it (UiState in ui, WindowState in
*  the link, the pages' records with their pages) and reaches it through its accessor
*  (uiState(), windowState(), playRecords() …). Every accessor answers from the one
*  WindowRecords here: what lives as long as the window is listed in one place, and a fresh
*  window is one reset away. Frame thread only.
*
*  Not here, on purpose: the Link (it outlives the window and is shared with background
*  threads; link.h), the font slots (textures owned by the window; fonts.h).
*******************************************************************************************/
#pragma once

#include <string>

#include "link/state.h"
#include "pages/console.h"
#include "pages/console_find.h"
#include "pages/play.h"
#include "settings/settings.h"
#include "shell/shell.h"
#include "ui/input.h"
#include "ui/ui_state.h"
#include "ui/widgets.h"

namespace vlr {

struct WindowRecords {
    UiState ui;                       // focus, drop-down, capture, notice, input snapshot
    WindowState window;               // the launcher's state as last applied, the console lines
    ShellState shell;                 // the logo, pending input, frame count
    PlayRecords play;                 // the Play page's fields and open rows
    ConsoleRecords console;           // the Console page's scroll and wrap index
    ConsoleFind consoleFind;          // the Console page's search and selected lines
    SettingsRecords settings;         // the Settings page's edit buffers and slider drag
    std::string updatesPending;       // the Updates page's transient text
    // The calls tests replace: raylib's in the program.
    DrawCalls draw = raylibDrawCalls();
    InputCalls input = raylibInputCalls();
    WindowCalls windowCalls;          // what the state model asks of the window (set by the shell)
};

WindowRecords& windowRecords();

// Every record as a fresh process has it and every seam back on what the program uses; the
// logo texture, which belongs to the window, stays. Records never move, so pointers into them
// (a focused field's buffer) stay valid objects, and the reset clears the focus with them.
void resetWindowRecords();

}  // namespace vlr
