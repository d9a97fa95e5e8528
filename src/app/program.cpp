/*******************************************************************************************
*  program.cpp — what the program does once the entry has its arguments
*
*  A user starts the program without arguments: the start mode runs and never looks at the
*  command line. Developers and tests start it with "--python" and "--script" to go straight
*  into window mode against a launcher of their choice; its result code is then the exit code.
*******************************************************************************************/
#include <algorithm>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/start_mode.h"
#include "shell/shell.h"

namespace vlr {

int runProgram(const std::vector<std::string>& args) {
    bool windowArgs = std::any_of(args.begin(), args.end(),
                                  [](const std::string& a) { return a == "--python" || a == "--script"; });
    if (windowArgs) {
        std::vector<const char*> argv;
        for (const std::string& a : args) argv.push_back(a.c_str());
        const int result = windowMode(static_cast<int>(argv.size()), argv.data());
        // The developer form's exit codes stay 0 to 3: a failure told about is still a failure.
        return result == static_cast<int>(WindowResult::Explained) ? static_cast<int>(WindowResult::LauncherFailed)
                                                                    : result;
    }
    return startMode(productStartCalls());
}

}  // namespace vlr
