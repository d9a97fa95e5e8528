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

}  // namespace vlr
