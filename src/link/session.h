/*******************************************************************************************
*  session.h — the launcher process and the session with it (session.cpp)
*
*  Window-mode arguments, the session name and file, port and token, the second instance's
*  hand-over and the first instance's reuse or start of a launcher.
*******************************************************************************************/
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/link.h"
#include "platform/platform.h"

namespace vlr {

struct WindowArgs {
    std::string python;   // interpreter
    std::string script;   // tools/launcher.py
};

// Reads "--python" and "--script"; prints the usage line to standard error and gives nothing
// when either is missing.
std::optional<WindowArgs> parseWindowArgs(int argc, const char* const* argv);
std::string usageLine(int argc, const char* const* argv);

std::string sessionName(std::string_view scriptPath);       // "vlr-launcher-window-" + FNV-1a
std::string sessionFilePath(std::string_view sessionName);  // in platform::sessionFolder()

bool readSession(Link& link, const std::string& sessionFile);
// The process id a launcher may publish beside its port ("pid"); 0 when there is none.
std::int64_t sessionPid(const std::string& sessionFile);
int freePort();
std::string makeToken();
std::vector<std::string> launcherArgs(const WindowArgs& args, const Link& link, const std::string& sessionFile);
platform::Process startLauncher(const std::vector<std::string>& args);

// Second instance: asks the running window's launcher to come forward (up to 20 tries).
// True when the launcher answered.
bool handOverToRunningWindow(Link& link, const std::string& sessionFile);

enum class LauncherFound { Reused, Started, Failed };

// First instance: reuses the launcher named in the session file when it answers a state request, else
// starts a new one on a free port with a new token. A started launcher's process goes to `process`.
LauncherFound findOrStartLauncher(Link& link, const WindowArgs& args, const std::string& sessionFile,
                                  platform::Process& process);

}  // namespace vlr
