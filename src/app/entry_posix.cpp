/*******************************************************************************************
*  entry_posix.cpp — process entry of the Linux port
*******************************************************************************************/
#include <string>
#include <vector>

#include "app/app.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv, argv + argc);
    return vlr::runProgram(args);
}
