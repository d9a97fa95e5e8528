/*******************************************************************************************
*  bench_first_start.cpp — how long the first start takes once the network is not the limit
*
*  Serves two archives of the real components' sizes (about 11 MB like the interpreter and
*  40 MB like Git; stored entries of random bytes, so nothing compresses) from a local server
*  on 127.0.0.1, then times the three steps of the first-start worker through the platform
*  layer: download, SHA-256 and unpacking with the system's archive tool, each as seconds and
*  MB/s (median of three runs; hashing also in processor time), the flush of a staged folder of
*  many small files, and the worker as a whole with the test digests. A program,
*  not a test: it prints what it measured and judges nothing. Under Wine it needs the tar.exe
*  stand-in (scripts/wine-standins).
*******************************************************************************************/
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "app/first_start.h"
#include "file_server.h"
#include "platform/platform.h"
#include "zip_writer.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace vlr;
namespace fs = std::filesystem;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string utf8Of(const fs::path& path) {
    std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

// An archive of about `megabytes` MB: one marker file and 1 MB files of random bytes.
std::string archiveOf(int megabytes, const std::string& marker) {
    std::mt19937_64 random(42);
    test::ZipEntries entries{{marker, "marker"}};
    for (int i = 0; i < megabytes; ++i) {
        std::string block(1 << 20, '\0');
        for (std::size_t at = 0; at < block.size(); at += 8) {
            const std::uint64_t value = random();
            for (int k = 0; k < 8; ++k) block[at + k] = static_cast<char>(value >> (8 * k));
        }
        entries.emplace_back("lib/blob" + std::to_string(i) + ".bin", std::move(block));
    }
    return test::makeZip(entries);
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void report(const char* step, const char* name, double megabytes, const std::vector<double>& times) {
    const double t = median(times);
    std::printf("  %-9s %-7s %7.3f s  %8.1f MB/s\n", step, name, t, megabytes / t);
}

}  // namespace

int main() {
    const fs::path root = fs::temp_directory_path() / ("vlr-bench-first-" + std::to_string(std::random_device()()));
    fs::create_directories(root);
    const std::string folder = utf8Of(root);

    test::FileServer server;
    if (!server.running()) {
        std::printf("bench_first_start: no local server\n");
        return 1;
    }
    struct Archive {
        const char* name;
        std::string path, bytes, digest;
    };
    Archive archives[] = {{"python", "/python.zip", archiveOf(11, "pythonw.exe"), ""},
                          {"git", "/git.zip", archiveOf(40, "cmd/git.exe"), ""}};
    for (Archive& a : archives) {
        a.digest = test::sha256Of(a.bytes);
        server.serve(a.path, a.bytes);
    }

    std::printf("first start, local server on 127.0.0.1 (median of 3 runs)\n");
    for (const Archive& a : archives) {
        const double mb = static_cast<double>(a.bytes.size()) / 1e6;
        std::printf("%s archive: %.1f MB\n", a.name, mb);
        const std::string part = joinPath(folder, std::string(a.name) + ".zip.part");
        const std::string into = joinPath(folder, a.name);
        std::vector<double> download, hash, hashCpu, unpack;
        for (int run = 0; run < 3; ++run) {
            Clock::time_point start = Clock::now();
            const bool fetched = platform::downloadToFile(server.url(a.path), part, {}, nullptr);
            download.push_back(secondsSince(start));

            // Also in processor time: on a busy machine the wall clock mostly measures the queue.
            start = Clock::now();
            const std::clock_t cpuStart = std::clock();
            const bool same = platform::sha256File(part) == a.digest;
            hashCpu.push_back(static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC);
            hash.push_back(secondsSince(start));

            platform::removeTree(into);
            platform::makeFolders(into);
            start = Clock::now();
            const int code = platform::unpackArchive(part, into, folder);
            unpack.push_back(secondsSince(start));
            if (!fetched || !same || code != 0) {
                std::printf("  run %d failed: download %d, digest %d, archive tool exit code %d\n", run, fetched, same,
                            code);
                return 1;
            }
        }
        report("download", a.name, mb, download);
        report("sha-256", a.name, mb, hash);
        report("  (cpu)", a.name, mb, hashCpu);
        report("unpack", a.name, mb, unpack);
        platform::removeTree(into);
        platform::removeFile(part);
    }

    // Flushing a staged folder before its rename: Git's thousands of small files are the
    // costly case (here 3 000 files of 4 KiB), the sources' hundreds the common one.
    {
        const int counts[] = {800, 3000};
        for (int count : counts) {
            std::vector<double> flush;
            for (int run = 0; run < 3; ++run) {
                const std::string into = joinPath(folder, "flush");
                platform::removeTree(into);
                for (int i = 0; i < count; ++i) {
                    const std::string sub = joinPath(into, std::to_string(i / 100) + ".d");
                    if (i % 100 == 0) platform::makeFolders(sub);
                    std::FILE* file = std::fopen(joinPath(sub, std::to_string(i) + ".txt").c_str(), "wb");
                    if (file == nullptr) return 1;
                    std::fwrite(std::string(4096, 'x').data(), 1, 4096, file);
                    std::fclose(file);
                }
                const Clock::time_point start = Clock::now();
                const bool flushed = platform::flushTree(into);
                flush.push_back(secondsSince(start));
                if (!flushed) std::printf("  flush failed\n");
            }
            std::printf("flush of %d fresh files of 4 KiB: %.3f s (%.2f ms a file)\n", count, median(flush),
                        median(flush) * 1000 / count);
            platform::removeTree(joinPath(folder, "flush"));
        }
    }

    // The worker as a whole: both archives, with their digests, into an empty folder.
    const std::string portable = joinPath(folder, "portable");
    const std::string pythonUrl = server.url("/python.zip"), gitUrl = server.url("/git.zip");
    const RuntimeComponent table[] = {
        {"Python", "python", "python\\pythonw.exe", pythonUrl, archives[0].digest},
        {"Git", "git", "git\\cmd\\git.exe", gitUrl, archives[1].digest},
    };
    platform::makeFolders(portable);
    platform::ProgressBoard board;
    std::string error;
    const Clock::time_point start = Clock::now();
    const bool installed = installRuntime(portable, table, board, error);
    const double whole = secondsSince(start);
    const double mb = static_cast<double>(archives[0].bytes.size() + archives[1].bytes.size()) / 1e6;
    std::printf("whole worker (both, %.1f MB): %.3f s, %.1f MB/s%s%s\n", mb, whole, mb / whole,
                installed ? "" : " FAILED: ", error.c_str());
    platform::removeTree(folder);
    return installed ? 0 : 1;
}
