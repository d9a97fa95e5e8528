/*******************************************************************************************
*  entry_posix.cpp — process entry of the Linux port
*******************************************************************************************/
#include <cstdio>
#include <string>
#include <vector>

#include "app/app.h"

namespace {

// Without this a user trying "--help" would get a first start in the program's folder.
constexpr const char* kUsage =
    "Usage: velocrash\n"
    "         Start the launcher window for the installation beside this program; the first\n"
    "         start fetches the launcher's sources into this program's folder.\n"
    "       velocrash --python PYTHON --script LAUNCHER.PY\n"
    "         Developer form: open the window straight away against the given interpreter and\n"
    "         launcher script (exit code 1 on wrong arguments, 2 without a display).\n"
    "       velocrash --help\n"
    "         Print this text.\n"
    "\n"
    "Environment:\n"
    "  VLR_PORTABLE            the portable folder, set for the launcher at a normal start; the\n"
    "                          window keeps its size and place there (window-placement.json)\n"
    "  VLR_SOURCE_URL          where the first start downloads the launcher's sources from\n"
    "  VLR_COMMAND_TIMEOUT_MS  how long one command to the launcher may take, in milliseconds\n"
    "  XDG_RUNTIME_DIR         folder of the session file and the instance lock\n"
    "                          (else a private folder under TMPDIR)\n"
    "  VLR_TRACE_FRAMES        print a line on standard error for every frame drawn\n"
    "  VLR_TRACE_CONSOLE       print the console on standard error when the window closes\n";

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv, argv + argc);
    if (args.size() == 2 && (args[1] == "--help" || args[1] == "-h")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    return vlr::runProgram(args);
}
