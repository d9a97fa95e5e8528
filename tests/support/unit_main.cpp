/*******************************************************************************************
*  unit_main.cpp — the unit tests' entry
*
*  GoogleTest's own main, but with a binary standard output on Windows: CTest reads the list
*  of cases from it under Wine, and text mode's "\r\n" line ends would stick to the names.
*******************************************************************************************/
#include <gtest/gtest.h>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
