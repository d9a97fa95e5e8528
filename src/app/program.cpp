/*******************************************************************************************
*  program.cpp — what the program does once the entry has its arguments
*
*  Started with "--python" and "--script" it goes straight into window mode (how the
*  developers and the tests run it against the demo launcher). The start mode that lays out
*  the portable installation comes later; until then a start without those arguments says so.
*******************************************************************************************/
#include <algorithm>
#include <string>
#include <vector>

#include "app/app.h"
#include "platform/platform.h"
#include "shell/shell.h"

namespace vlr {

int runProgram(const std::vector<std::string>& args) {
    bool windowArgs = std::any_of(args.begin(), args.end(),
                                  [](const std::string& a) { return a == "--python" || a == "--script"; });
    if (windowArgs) {
        std::vector<const char*> argv;
        for (const std::string& a : args) argv.push_back(a.c_str());
        return windowMode(static_cast<int>(argv.size()), argv.data());
    }
    platform::showError("Velocrash Rebuilt",
                        "This build cannot install the runtime yet. Start it with "
                        "--python <python> --script <tools/launcher.py>.");
    return 1;
}

}  // namespace vlr
