/*******************************************************************************************
*  test_child.cpp — the child process of the platform tests
*
*  One mode per run, chosen by the first argument; arguments stay ASCII because a narrow
*  main() on Windows receives them in the ANSI code page.
*    exit N          ends with code N
*    crash           writes through a null pointer
*    sleep MS        sleeps, then ends with 0
*    lock NAME       ends with 10 when it took the instance lock NAME, 11 when it did not
*    env NAME FILE   writes the variable's value (or "<unset>") to FILE
*    path FILE       writes its own program path to FILE
*    detached FILE   writes its parent's process id (or "-") to FILE, relative to its folder
*******************************************************************************************/
#include "platform/platform.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace {

std::filesystem::path pathOf(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

int writeText(const std::string& file, const std::string& text) {
    std::ofstream out(pathOf(file), std::ios::binary);
    out << text;
    return out.good() ? 0 : 3;
}

// The parent's id from /proc, where there is one: tells whether a detached start left us
// attached to the process that asked for it.
std::string parentId() {
    std::ifstream stat("/proc/self/stat");
    std::string pid, name, state, parent;
    if (!(stat >> pid >> name >> state >> parent)) return "-";
    return parent;
}

// A real fault, as the system reports it: sanitizer builds would otherwise catch it first and
// end with their own exit code.
__attribute__((no_sanitize("undefined"))) void crash() {
    std::signal(SIGSEGV, SIG_DFL);
    volatile int* volatile target = nullptr;  // volatile: neither the pointer nor the store may vanish
    *target = 42;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace vlr::platform;
    if (argc < 2) return 64;
    const std::string mode = argv[1];
    const std::string arg1 = argc > 2 ? argv[2] : "";
    const std::string arg2 = argc > 3 ? argv[3] : "";

    if (mode == "exit") return std::atoi(arg1.c_str());
    if (mode == "crash") crash();
    if (mode == "sleep") {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(arg1.c_str())));
        return 0;
    }
    if (mode == "lock") return takeInstanceLock(arg1).first ? 10 : 11;
    if (mode == "env") return writeText(arg2, getEnv(arg1).value_or("<unset>"));
    if (mode == "path") return writeText(arg1, programPath());
    if (mode == "detached") return writeText(arg1, parentId());
    return 64;
}
