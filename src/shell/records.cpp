/*******************************************************************************************
*  records.cpp — the window-wide records and every accessor that reaches them
*******************************************************************************************/
#include "shell/records.h"

namespace vlr {

WindowRecords& windowRecords() {
    static WindowRecords records;  // never moves: text fields point into it
    return records;
}

UiState& uiState() { return windowRecords().ui; }
WindowState& windowState() { return windowRecords().window; }
ShellState& shellState() { return windowRecords().shell; }
PlayRecords& playRecords() { return windowRecords().play; }
ConsoleRecords& consoleRecords() { return windowRecords().console; }
ConsoleFind& consoleFind() { return windowRecords().consoleFind; }
SettingsRecords& settingsRecords() { return windowRecords().settings; }
std::string& updatesPending() { return windowRecords().updatesPending; }
DrawCalls& drawCalls() { return windowRecords().draw; }
InputCalls& inputCalls() { return windowRecords().input; }
WindowCalls& windowCalls() { return windowRecords().windowCalls; }

void resetWindowRecords() {
    WindowRecords& records = windowRecords();
    const Texture2D logo = records.shell.logo;
    records.ui = UiState();
    records.window = WindowState();
    records.shell = ShellState();
    records.shell.logo = logo;
    records.play = PlayRecords();
    records.console = ConsoleRecords();
    records.consoleFind = ConsoleFind();
    records.settings = SettingsRecords();
    records.updatesPending.clear();
    records.draw = raylibDrawCalls();
    records.input = raylibInputCalls();
    records.windowCalls = WindowCalls();
    forgetWrappedLines();
}

}  // namespace vlr
