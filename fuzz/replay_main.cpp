/*******************************************************************************************
*  replay_main.cpp — runs a fuzz target over saved inputs, for builds without libFuzzer
*
*      fuzz_<target> <file or folder>...
*
*  Every file named, and every file in every folder named, is one input. The GCC and
*  sanitizer builds replay the seed corpus this way; clang builds link libFuzzer instead.
*******************************************************************************************/
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    std::vector<fs::path> inputs;
    for (int i = 1; i < argc; ++i) {
        const fs::path named(argv[i]);
        if (fs::is_directory(named)) {
            for (const fs::directory_entry& entry : fs::directory_iterator(named))
                if (entry.is_regular_file()) inputs.push_back(entry.path());
        } else {
            inputs.push_back(named);
        }
    }
    for (const fs::path& path : inputs) {
        std::ifstream file(path, std::ios::binary);
        if (!file) {
            std::fprintf(stderr, "cannot read %s\n", path.string().c_str());
            return 1;
        }
        const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("%zu inputs replayed\n", inputs.size());
    return inputs.empty() ? 1 : 0;
}
