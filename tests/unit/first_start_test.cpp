/*******************************************************************************************
*  first_start_test.cpp — the portable layout, the start mode and the first-start worker
*
*  The worker runs for real against a FileServer on 127.0.0.1 with the tests' own component
*  table and digests: the platform's download, hashing and archive tool all take part
*  (libcurl, OpenSSL and bsdtar natively; WinINet, CNG and tar.exe under Wine).
*  The start mode runs with stand-ins for window mode, messages and process starts.
*******************************************************************************************/
#include "app/first_start.h"
#include "app/start_mode.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>

#include "file_server.h"
#include "zip_writer.h"

namespace fs = std::filesystem;
using namespace vlr;
using platform::Exists;

namespace {

fs::path pathOf(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

std::string utf8Of(const fs::path& path) {
    std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string readAll(const std::string& path) {
    std::ifstream in(pathOf(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeFile(const std::string& path, const std::string& bytes) {
    fs::create_directories(pathOf(path).parent_path());
    std::ofstream(pathOf(path), std::ios::binary) << bytes;
}

// A folder the system refuses to answer about (rather than saying "not there"): a name too
// long for any POSIX file system; on Windows, a name with characters no file may carry.
std::string unanswerable(const std::string& folder) {
    return joinPath(folder, platform::pathSeparator() == '\\' ? std::string("bad<|>name") : std::string(300, 'n'));
}

// A fresh portable folder inside a fresh parent (so "outside" can be checked too).
struct Folder {
    std::string parent, portable;
    Folder() {
        std::random_device device;
        parent = utf8Of(fs::temp_directory_path() / ("vlr-first-" + std::to_string(device())));
        portable = joinPath(parent, "portable");
        fs::create_directories(pathOf(portable));
    }
    ~Folder() {
        std::error_code error;
        fs::remove_all(pathOf(parent), error);
    }
    std::string at(const std::string& tablePath) const { return joinPath(portable, localPath(tablePath)); }
    bool has(const std::string& tablePath) const { return fs::exists(pathOf(at(tablePath))); }
    // Names in the portable folder ending in ".zip.part".
    int partFiles() const {
        int count = 0;
        for (const auto& entry : fs::directory_iterator(pathOf(portable)))
            count += utf8Of(entry.path().filename()).ends_with(".zip.part");
        return count;
    }
};

const std::string kPythonZip = test::makeZip({{"pythonw.exe", "MZ python"}, {"python312._pth", "python312.zip\r\n.\r\n"}});
const std::string kGitZip = test::makeZip({{"cmd/git.exe", "MZ git"}});
const std::string kSourceZip = test::makeZip({{"tools/launcher.py", "print('launcher')\n"}, {"README.md", "sources"}});

// The tests' own table: the fixed one's names, folders and markers, addresses on the server.
struct TestTable {
    std::string python, git, source, pythonDigest, gitDigest;
    std::array<RuntimeComponent, 3> rows;
    explicit TestTable(const test::FileServer& server)
        : python(server.url("/python.zip")), git(server.url("/git.zip")), source(server.url("/source.zip")),
          pythonDigest(test::sha256Of(kPythonZip)), gitDigest(test::sha256Of(kGitZip)) {
        rows = {{{"Python", "python", "python\\pythonw.exe", python, pythonDigest},
                 {"Git", "git", "git\\cmd\\git.exe", git, gitDigest},
                 {"Velocrash Rebuilt", "source", "source\\tools\\launcher.py", source, ""}}};
    }
};

class FirstStartTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.running());
        platform::removeEnv("VLR_SOURCE_URL");
        if (!platform::runtimeFromSystem()) {
            // Windows: tar.exe of the system folder (under Wine, the project's stand-in).
            std::optional<std::string> windows = platform::getEnv("WINDIR");
            if (!windows || platform::fileExists(*windows + "\\system32\\tar.exe") != Exists::Yes)
                GTEST_SKIP() << "no tar.exe in the system folder (scripts/test installs the stand-in under Wine)";
        }
        server.serve("/python.zip", kPythonZip);
        server.serve("/git.zip", kGitZip);
        server.serve("/source.zip", kSourceZip);
    }
    void TearDown() override { platform::removeEnv("VLR_SOURCE_URL"); }

    bool install(std::span<const RuntimeComponent> rows) {
        error.clear();
        return installRuntime(folder.portable, rows, board, error);
    }

    test::FileServer server;
    Folder folder;
    platform::ProgressBoard board;
    std::string error;
};

}  // namespace

// ---- paths ----

TEST(PortablePaths, JoinParentAndLongProgramPaths) {
    EXPECT_EQ(joinPath("D:", "python", '\\'), "D:python");  // a bare drive gets no separator
    EXPECT_EQ(joinPath("D:\\", "python", '\\'), "D:\\python");
    EXPECT_EQ(joinPath(joinPath("D:\\", "python", '\\'), "pythonw.exe", '\\'), "D:\\python\\pythonw.exe");
    EXPECT_EQ(joinPath("C:\\Games", "source", '\\'), "C:\\Games\\source");
    EXPECT_EQ(joinPath("C:\\Games/", "source", '\\'), "C:\\Games/source");
    EXPECT_EQ(joinPath("", "source", '\\'), "source");
    EXPECT_EQ(joinPath("/opt/vlr", "source", '/'), "/opt/vlr/source");
    EXPECT_EQ(joinPath("/", "source", '/'), "/source");

    EXPECT_EQ(parentFolder("D:\\Games\\Velocrash.exe"), "D:\\Games");
    EXPECT_EQ(parentFolder("D:\\Velocrash.exe"), "D:\\");
    EXPECT_EQ(parentFolder("/opt/vlr/velocrash"), "/opt/vlr");
    EXPECT_EQ(parentFolder("/velocrash"), "/");
    EXPECT_EQ(parentFolder("velocrash"), "");

    // The program path read whole past 260 units: a system call that cuts the answer to the
    // buffer and reports the buffer full, as GetModuleFileNameW does.
    const std::wstring longPath = L"C:\\" + std::wstring(600, L'x') + L"\\Velocrash.exe";
    int calls = 0;
    std::wstring got = platform::readGrowing<wchar_t>(260, [&](wchar_t* buffer, std::size_t size) -> long long {
        ++calls;
        const std::size_t n = std::min(size, longPath.size());
        std::copy(longPath.begin(), longPath.begin() + static_cast<long>(n), buffer);
        return static_cast<long long>(n);
    });
    EXPECT_EQ(got, longPath);
    EXPECT_EQ(calls, 3);  // 260, 520, 1040
    EXPECT_TRUE(platform::readGrowing<char>(16, [](char*, std::size_t) -> long long { return -1; }).empty());
}

// ---- the fixed table and the check ----

TEST(RuntimeTable, PinsAddressesDigestsAndMarkers) {
    const auto& t = kRuntimeComponents;
    EXPECT_EQ(t[0].name, "Python");
    EXPECT_EQ(t[0].marker, "python\\pythonw.exe");
    EXPECT_EQ(t[0].url, "https://www.python.org/ftp/python/3.12.10/python-3.12.10-embed-amd64.zip");
    EXPECT_EQ(t[0].sha256, "4acbed6dd1c744b0376e3b1cf57ce906f9dc9e95e68824584c8099a63025a3c3");
    EXPECT_EQ(t[1].name, "Git");
    EXPECT_EQ(t[1].marker, "git\\cmd\\git.exe");
    EXPECT_EQ(t[1].url, "https://github.com/git-for-windows/git/releases/download/v2.56.0.windows.4/"
                        "MinGit-2.56.0.4-64-bit.zip");
    EXPECT_EQ(t[1].sha256, "e3bf78351fe777fba47ddee5950082f8a98bb0f02604fdc7ba3ee2cb68ffa877");
    EXPECT_EQ(t[2].name, "Velocrash Rebuilt");
    EXPECT_EQ(t[2].folder, "source");
    EXPECT_EQ(t[2].marker, "source\\tools\\launcher.py");
    EXPECT_TRUE(t[2].url.ends_with("/releases/latest/download/source.zip"));
    EXPECT_TRUE(t[2].sha256.empty());
    // Where the system brings the interpreter and Git, only the sources are fetched.
    EXPECT_EQ(productComponents().size(), platform::runtimeFromSystem() ? 1u : 3u);
    EXPECT_EQ(productComponents().back().folder, "source");
}

TEST(RuntimeTable, CheckGoesInOrderAndReportsWhatItCannotTell) {
    Folder folder;
    writeFile(folder.at("python\\pythonw.exe"), "x");
    writeFile(folder.at("source\\tools\\launcher.py"), "x");
    InstallCheck check = checkInstallation(folder.portable, kRuntimeComponents);
    EXPECT_EQ(check.complete, Exists::No);
    EXPECT_EQ(check.path, folder.at("git\\cmd\\git.exe"));  // the first missing one, in table order
    writeFile(folder.at("git\\cmd\\git.exe"), "x");
    EXPECT_EQ(checkInstallation(folder.portable, kRuntimeComponents).complete, Exists::Yes);

    const std::string tooLong = unanswerable(folder.portable);
    check = checkInstallation(tooLong, kRuntimeComponents);
    EXPECT_EQ(check.complete, Exists::Unknown);
    EXPECT_EQ(check.path, joinPath(tooLong, localPath("python\\pythonw.exe")));
}

TEST(RuntimeTable, ErrorTexts) {
    EXPECT_EQ(downloadErrorText("Git", "https://x/y.zip"),
              "Could not download Git.\nCheck the Internet connection, then start again.\n\nhttps://x/y.zip");
    EXPECT_EQ(digestErrorText("Python"),
              "The download of Python is not the expected file. Nothing was installed from it.");
    EXPECT_EQ(unpackErrorText("Velocrash Rebuilt", "D:\\V\\source"), "Could not unpack Velocrash Rebuilt into\nD:\\V\\source");
}

TEST(RuntimeTable, PythonPathLineIsCrlfAndCreatedWhenMissing) {
    Folder folder;
    const std::string python = joinPath(folder.portable, "python");
    fs::create_directories(pathOf(python));
    appendPythonPath(python);
    EXPECT_EQ(readAll(joinPath(python, "python312._pth")), "..\\source\\tools\r\n");
    writeFile(joinPath(python, "python312._pth"), "python312.zip\r\n.\r\n");
    appendPythonPath(python);
    EXPECT_EQ(readAll(joinPath(python, "python312._pth")), "python312.zip\r\n.\r\n..\\source\\tools\r\n");
}

// ---- the worker against a local server ----

TEST_F(FirstStartTest, InstallsEverythingOnceAndOnlyTheSourcesLater) {
    TestTable table(server);
    ASSERT_TRUE(install(table.rows)) << error;
    EXPECT_TRUE(folder.has("python\\pythonw.exe") && folder.has("git\\cmd\\git.exe") &&
                folder.has("source\\tools\\launcher.py"));
    EXPECT_EQ(readAll(folder.at("python\\python312._pth")), "python312.zip\r\n.\r\n..\\source\\tools\r\n");
    EXPECT_EQ(folder.partFiles(), 0);
    EXPECT_EQ(server.totalHits(), 3);
    EXPECT_EQ(board.status, "Unpacking Velocrash Rebuilt...");

    // Only the sources missing: one download, and the path file is left alone.
    fs::remove_all(pathOf(folder.at("source")));
    ASSERT_TRUE(install(table.rows)) << error;
    EXPECT_EQ(server.hits("/source.zip"), 2);
    EXPECT_EQ(server.totalHits(), 4);
    EXPECT_EQ(readAll(folder.at("python\\python312._pth")), "python312.zip\r\n.\r\n..\\source\\tools\r\n");

    // Nothing missing: nothing fetched.
    ASSERT_TRUE(install(table.rows)) << error;
    EXPECT_EQ(server.totalHits(), 4);
}

TEST_F(FirstStartTest, SourceUrlOverridesOnlyTheSources) {
    TestTable table(server);
    server.serve("/elsewhere/source.zip", kSourceZip);
    platform::setEnv("VLR_SOURCE_URL", server.url("/elsewhere/source.zip"));
    ASSERT_TRUE(install(table.rows)) << error;
    EXPECT_EQ(server.hits("/elsewhere/source.zip"), 1);
    EXPECT_EQ(server.hits("/source.zip"), 0);
    EXPECT_EQ(server.hits("/python.zip"), 1);
    EXPECT_EQ(server.hits("/git.zip"), 1);
}

TEST_F(FirstStartTest, CorruptedPythonLeavesNothingAndStops) {
    TestTable table(server);
    server.serve("/python.zip", test::makeZip({{"pythonw.exe", "MZ tampered"}}));
    EXPECT_FALSE(install(table.rows));
    EXPECT_EQ(error, digestErrorText("Python"));
    EXPECT_FALSE(folder.has("python"));
    EXPECT_EQ(folder.partFiles(), 0);
    EXPECT_EQ(server.hits("/git.zip"), 0) << "the remaining components are not tried";
}

TEST_F(FirstStartTest, OnlyFoldersOfOursAreReplacedAUsersAreNeverTouched) {
    TestTable table(server);
    // A user's own "source" beside the program (in Downloads, say): left byte for byte, and
    // nothing fetched or made before the user is told.
    const std::string notes = "my notes\r\n\xff\xfe";
    writeFile(folder.at("source\\my-project\\notes.txt"), notes);
    EXPECT_FALSE(install(table.rows));
    EXPECT_EQ(error, occupiedText(folder.at("source")));
    EXPECT_EQ(readAll(folder.at("source\\my-project\\notes.txt")), notes);
    EXPECT_EQ(server.totalHits(), 0);
    EXPECT_FALSE(folder.has("python") || folder.has("python.unpacking") || folder.has("source.unpacking"));

    // Leftovers it cannot prove its own are no better: a download file with no tagged
    // staging folder beside it, a staging folder holding something untagged.
    fs::remove_all(pathOf(folder.at("source")));
    writeFile(folder.at("source.zip.part"), "someone's");
    EXPECT_FALSE(install(table.rows));
    EXPECT_EQ(error, occupiedText(folder.at("source.zip.part")));
    fs::remove(pathOf(folder.at("source.zip.part")));
    writeFile(folder.at("python.unpacking\\mine.txt"), "someone's");
    EXPECT_FALSE(install(table.rows));
    EXPECT_EQ(error, occupiedText(folder.at("python.unpacking")));
    EXPECT_TRUE(folder.has("python.unpacking\\mine.txt"));
    fs::remove_all(pathOf(folder.at("python.unpacking")));

    // A folder of ours that lost its marker (a scanner took pythonw.exe) is replaced whole.
    writeFile(folder.at(std::string("python\\") + kOwnerTag), "");
    writeFile(folder.at("python\\Lib\\old.py"), "left over");
    ASSERT_TRUE(install(table.rows)) << error;
    EXPECT_TRUE(folder.has("python\\pythonw.exe"));
    EXPECT_FALSE(folder.has("python\\Lib"));
    EXPECT_TRUE(folder.has(std::string("source\\") + kOwnerTag)) << "what it installs carries the proof";
}

TEST_F(FirstStartTest, ArchiveWithoutItsMarkerIsNotInstalled) {
    TestTable table(server);
    server.serve("/source.zip", test::makeZip({{"velocrash/tools/launcher.py", "nested one level too deep"}}));
    EXPECT_FALSE(install(std::span(table.rows).last(1)));
    EXPECT_EQ(error, unpackErrorText("Velocrash Rebuilt", joinPath(folder.portable, "source")));
    EXPECT_FALSE(folder.has("source"));
    EXPECT_EQ(folder.partFiles(), 0);
}

TEST_F(FirstStartTest, FailedDownloadsAndErrorPagesGiveTheDownloadText) {
    TestTable table(server);
    auto sources = std::span(table.rows).last(1);

    server.serve("/source.zip", "<html>gone</html>", 404);
    EXPECT_FALSE(install(sources));
    EXPECT_EQ(error, downloadErrorText("Velocrash Rebuilt", table.source));

    // A server's error page that arrives as a success is no archive either.
    server.serve("/source.zip", "<html><body>Rate limit exceeded</body></html>", 200);
    EXPECT_FALSE(install(sources));
    EXPECT_EQ(error, downloadErrorText("Velocrash Rebuilt", table.source));

    const std::string refused = "http://127.0.0.1:" + std::to_string(test::closedPort()) + "/source.zip";
    platform::setEnv("VLR_SOURCE_URL", refused);
    EXPECT_FALSE(install(sources));
    EXPECT_EQ(error, downloadErrorText("Velocrash Rebuilt", refused));

    EXPECT_FALSE(folder.has("source"));
    EXPECT_EQ(folder.partFiles(), 0);
}

TEST_F(FirstStartTest, KilledRunLeftoversAreClearedAndAnEndlessDownloadStopsAtItsBound) {
    TestTable table(server);
    // What a run killed part-way leaves: a download beside its tagged staging folder, and an
    // untagged staging folder that is still empty (killed before the tag).
    writeFile(folder.at("python.zip.part"), "PK\x03\x04 cut");
    writeFile(folder.at(std::string("python.unpacking\\") + kOwnerTag), "");
    writeFile(folder.at("python.unpacking\\pythonw.exe"), "MZ half");
    fs::create_directories(pathOf(folder.at("git.unpacking")));
    ASSERT_TRUE(install(std::span(table.rows).first(2))) << error;
    EXPECT_FALSE(folder.has("python.unpacking") || folder.has("git.unpacking"));
    EXPECT_EQ(readAll(folder.at("python\\pythonw.exe")), "MZ python");
    EXPECT_EQ(readAll(folder.at("python\\python312._pth")), "python312.zip\r\n.\r\n..\\source\\tools\r\n");
    EXPECT_EQ(folder.partFiles(), 0);

    // A server that never stops sending, against a bound of 1 MiB.
    server.serveEndless("/endless.zip", kSourceZip + std::string(64 << 10, 'x'));
    RuntimeComponent endless = table.rows[2];
    const std::string endlessUrl = server.url("/endless.zip");
    endless.url = endlessUrl;
    endless.maxBytes = 1 << 20;
    writeFile(folder.at("source.unpacking\\tools\\launcher.py"), "half");
    writeFile(folder.at(std::string("source.unpacking\\") + kOwnerTag), "");
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(install(std::span(&endless, 1)));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
    EXPECT_EQ(error, downloadErrorText("Velocrash Rebuilt", endless.url));
    EXPECT_FALSE(folder.has("source"));
    EXPECT_FALSE(folder.has("source.unpacking"));
    EXPECT_EQ(folder.partFiles(), 0);
}

TEST_F(FirstStartTest, EntriesThatClimbOutWriteNothingOutside) {
    TestTable table(server);
    const std::string absolute = joinPath(folder.parent, "absolute.txt");
    std::string absoluteName = absolute;
    if (absoluteName.size() > 2 && absoluteName[1] == ':') absoluteName = absoluteName.substr(2);  // "\\..." on Windows
    server.serve("/source.zip", test::makeZip({{"tools/launcher.py", "x"},
                                               {"../escaped.txt", "out"},
                                               {"tools/../../escaped2.txt", "out"},
                                               {absoluteName, "out"}}));
    EXPECT_FALSE(install(std::span(table.rows).last(1))) << "the archive tool refuses such entries";
    EXPECT_FALSE(folder.has("source"));
    EXPECT_FALSE(fs::exists(pathOf(joinPath(folder.portable, "escaped.txt"))));
    EXPECT_FALSE(fs::exists(pathOf(joinPath(folder.parent, "escaped2.txt"))));
    EXPECT_FALSE(fs::exists(pathOf(absolute)));
    std::size_t inParent = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(pathOf(folder.parent))) ++inParent;
    EXPECT_EQ(inParent, 1u) << "only the portable folder";
    EXPECT_EQ(folder.partFiles(), 0);
}

// ---- the start mode ----

namespace {

struct StartRecord {
    std::vector<std::string> argv, errors, detached;
    std::string portableEnv, exeEnv, detachedFolder;
    bool pythonHomeSeen = true, pythonPathSeen = true;
    int firstStarts = 0;
};

StartCalls fakeCalls(StartRecord& record, const std::string& program, int result, bool firstStartWorks = true) {
    StartCalls calls;
    calls.programPath = program;
    calls.components = kRuntimeComponents;
    calls.windowMode = [&record, result](int argc, const char* const* argv) {
        record.argv.assign(argv, argv + argc);
        record.portableEnv = platform::getEnv("VLR_PORTABLE").value_or("<unset>");
        record.exeEnv = platform::getEnv("VLR_LAUNCHER_EXE").value_or("<unset>");
        record.pythonHomeSeen = platform::getEnv("PYTHONHOME").has_value();
        record.pythonPathSeen = platform::getEnv("PYTHONPATH").has_value();
        return result;
    };
    calls.showError = [&record](const std::string& text) { record.errors.push_back(text); };
    calls.startDetached = [&record](const std::vector<std::string>& args, const std::string& work) {
        record.detached = args;
        record.detachedFolder = work;
    };
    calls.firstStart = [&record, firstStartWorks](const std::string& portable, std::string& error) {
        ++record.firstStarts;
        if (!firstStartWorks) {
            error = downloadErrorText("Git", "https://example.invalid/git.zip");
            return false;
        }
        for (const RuntimeComponent& c : kRuntimeComponents) writeFile(joinPath(portable, localPath(c.marker)), "x");
        return true;
    };
    return calls;
}

}  // namespace

TEST(StartMode, PreparesTheLauncherAndActsOnEachResult) {
    Folder folder;
    const std::string program = joinPath(folder.portable, "Velocrash.exe");
    writeFile(program, "MZ");
    writeFile(program + ".old", "MZ old");
    platform::setEnv("PYTHONHOME", "C:\\elsewhere");
    platform::setEnv("PYTHONPATH", "C:\\elsewhere\\lib");

    StartRecord record;
    EXPECT_EQ(startMode(fakeCalls(record, program, 0)), 0);
    EXPECT_FALSE(fs::exists(pathOf(program + ".old")));
    EXPECT_EQ(record.firstStarts, 1);
    ASSERT_EQ(record.argv.size(), 5u);
    EXPECT_EQ(record.argv[0], "Velocrash");
    EXPECT_EQ(record.argv[1], "--python");
    EXPECT_EQ(record.argv[3], "--script");
    EXPECT_EQ(record.argv[4], folder.at("source\\tools\\launcher.py"));
    if (!platform::runtimeFromSystem()) {
        EXPECT_EQ(record.argv[2], folder.at("python\\pythonw.exe"));
    }
    EXPECT_EQ(record.portableEnv, folder.portable);
    EXPECT_EQ(record.exeEnv, program);
    EXPECT_FALSE(record.pythonHomeSeen);
    EXPECT_FALSE(record.pythonPathSeen);
    EXPECT_TRUE(record.errors.empty());
    EXPECT_TRUE(record.detached.empty());

    // Complete now: no second first start. 3 starts the program file anew.
    StartRecord replaced;
    EXPECT_EQ(startMode(fakeCalls(replaced, program, 3)), 0);
    EXPECT_EQ(replaced.firstStarts, 0);
    EXPECT_EQ(replaced.detached, std::vector<std::string>{program});
    EXPECT_EQ(replaced.detachedFolder, folder.portable);

    // 2: the launcher alone, without port, token or session.
    StartRecord alone;
    EXPECT_EQ(startMode(fakeCalls(alone, program, 2)), 0);
    EXPECT_EQ(alone.detached, (std::vector<std::string>{alone.argv[2], alone.argv[4]}));

    StartRecord failed;
    EXPECT_EQ(startMode(fakeCalls(failed, program, 1)), 1);
    EXPECT_EQ(failed.errors, std::vector<std::string>{kLauncherFailedText});
    EXPECT_TRUE(failed.detached.empty());

    // Window mode told the user already (its lock could not be made): no second message.
    StartRecord explained;
    EXPECT_EQ(startMode(fakeCalls(explained, program, 4)), 1);
    EXPECT_TRUE(explained.errors.empty());
}

TEST(StartMode, FailedFirstStartShowsItsErrorAndEnds) {
    Folder folder;
    const std::string program = joinPath(folder.portable, "Velocrash.exe");
    StartRecord record;
    EXPECT_EQ(startMode(fakeCalls(record, program, 0, false)), 1);
    EXPECT_EQ(record.errors, std::vector<std::string>{downloadErrorText("Git", "https://example.invalid/git.zip")});
    EXPECT_TRUE(record.argv.empty()) << "window mode never runs";

    StartRecord unknown;
    const std::string bad = unanswerable(folder.portable);
    EXPECT_EQ(startMode(fakeCalls(unknown, joinPath(bad, "Velocrash.exe"), 0)), 1);
    ASSERT_EQ(unknown.errors.size(), 1u);
    EXPECT_NE(unknown.errors[0].find(bad), std::string::npos) << "names the path";
    EXPECT_EQ(unknown.firstStarts, 0);
}
