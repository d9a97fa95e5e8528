/*******************************************************************************************
*  start_mode.h — what a start without arguments does, from the program file to the exit code
*
*  Find the portable folder, drop a left-over "<program>.old", make sure the installation is
*  complete (running the first start when it is not), prepare the launcher's environment, run
*  window mode, and act on its result. What reaches outside (window mode, messages, starting
*  processes, the first start) comes in through StartCalls, so tests can stand in for it.
*******************************************************************************************/
#pragma once

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "app/first_start.h"

namespace vlr {

// Window mode's result codes.

struct StartCalls {
    std::string programPath;                          // empty: the system could not tell
    std::span<const RuntimeComponent> components;     // what the first start may fetch
    std::function<int(int, const char* const*)> windowMode;
    std::function<void(const std::string& text)> showError;
    std::function<void(const std::vector<std::string>& args, const std::string& workFolder)> startDetached;
    // Runs the first start (progress window and worker); false with `error` set on failure.
    std::function<bool(const std::string& portable, std::string& error)> firstStart;
};

// The calls of the real program.
StartCalls productStartCalls();

// The lock that keeps two first starts of one folder apart.
std::string firstStartLockName(const std::string& portable);

// Returns the process exit code (0 or 1).
int startMode(const StartCalls& calls);

// Texts of the start-up's own messages.
inline constexpr const char* kLauncherFailedText =
    "The launcher could not be started. Delete the python and source folders next to this file, then start again.";
std::string uncheckableText(const std::string& path);
// Empty when the system supplies everything the launcher needs; else what to install.
std::string missingSystemProgramsText();

}  // namespace vlr
