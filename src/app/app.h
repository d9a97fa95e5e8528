/*******************************************************************************************
*  app.h — what the process entry hands over to
*
*  The two entry files (WinMain, main) only turn the command line into UTF-8 strings and call
*  runProgram; everything else is portable.
*******************************************************************************************/
#pragma once

#include <string>
#include <vector>

namespace vlr {

// Returns the process exit code.
int runProgram(const std::vector<std::string>& args);

// Window mode: argument vector as the start mode builds it ("name --python P --script S").
// Returns 0 closed / handed over, 1 launcher not started or bad arguments, 2 no graphics window,
// 3 program file replaced.
int windowMode(int argc, const char* const* argv);

}  // namespace vlr
