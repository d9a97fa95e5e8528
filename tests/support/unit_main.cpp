/*******************************************************************************************
*  unit_main.cpp — the unit tests' entry
*
*  GoogleTest's own main, but with a binary standard output on Windows: CTest reads the list
*  of cases from it under Wine, and text mode's "\r\n" line ends would stick to the names.
*  On Windows the process also ends at once after the run: under Wine, GoogleTest's watcher
*  threads (one per thread that reported) now and then fail their wait while the process
*  exits, and the case, already passed, then hangs until CTest's time-out.
*******************************************************************************************/
#include <gtest/gtest.h>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdio>
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
#ifdef _WIN32
    std::fflush(stdout);
    std::fflush(stderr);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(result));
#endif
    return result;
}
