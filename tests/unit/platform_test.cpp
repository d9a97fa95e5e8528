/*******************************************************************************************
*  platform_test.cpp — the operating-system door: environment, files, processes, locks
*
*  The same file runs natively and, cross-built, under Wine. Where the two systems answer
*  differently on purpose (crash codes, separators) the expectation follows pathSeparator().
*  Child processes are the small vlr_test_child program next to this test program.
*******************************************************************************************/
#include "platform/platform.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "file_server.h"

namespace fs = std::filesystem;
using namespace vlr::platform;
using namespace std::chrono_literals;

namespace {

bool onWindows() { return pathSeparator() == '\\'; }

fs::path pathOf(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

std::string utf8Of(const fs::path& path) {
    std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::string randomName(const char* prefix) {
    std::random_device device;
    return prefix + std::to_string(device()) + "-" + std::to_string(device());
}

std::string childPath() {
    std::string self = programPath();
    return self.substr(0, self.find_last_of("\\/") + 1) + VLR_TEST_CHILD;
}

// Polls until the child ends; a child that hangs fails the test instead of the whole run.
ExitStatus waitFor(Process& process, std::chrono::seconds limit = 30s) {
    auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        ExitStatus status = pollExit(process);
        if (status.exited || std::chrono::steady_clock::now() > deadline) return status;
        std::this_thread::sleep_for(20ms);
    }
}

ExitStatus runChild(std::vector<std::string> args) {
    args.insert(args.begin(), childPath());
    Process child = startProcess(args);
    EXPECT_TRUE(child.valid()) << "could not start " << args[0];
    return waitFor(child);
}

std::string readText(const fs::path& path) {
    std::string text;
    readFile(utf8Of(path), text);
    return text;
}

// A fresh folder per test under the system's temp folder, removed afterwards.
class Scratch : public ::testing::Test {
protected:
    void SetUp() override {
        folder = pathOf(tempFolder() + randomName("vlr-platform-test-"));
        fs::create_directories(folder);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(folder, ignored);
    }
    std::string at(const std::string& name) const { return utf8Of(folder / pathOf(name)); }
    void write(const std::string& name, const std::string& content) const {
        std::ofstream(folder / pathOf(name), std::ios::binary) << content;
    }
    fs::path folder;
};

}  // namespace

// ---- program and environment ----

TEST(Environment, SetGetAndRemove) {
    const std::string name = "VLR_PLATFORM_TEST_VALUE";
    removeEnv(name);
    EXPECT_FALSE(getEnv(name).has_value());
    setEnv(name, "first");
    EXPECT_EQ(getEnv(name), "first");
    const std::string unusual = "caf\xC3\xA9 \xE2\x98\x83 " + std::string(300, 'x');  // non-ASCII, longer than a first guess
    setEnv(name, unusual);
    EXPECT_EQ(getEnv(name), unusual);
    setEnv(name, "");
    EXPECT_EQ(getEnv(name), "") << "set to nothing is not the same as unset";
    removeEnv(name);
    EXPECT_FALSE(getEnv(name).has_value());
}

TEST_F(Scratch, ChildrenInheritTheEnvironment) {
    const std::string name = "VLR_PLATFORM_TEST_INHERITED";
    setEnv(name, "caf\xC3\xA9");
    EXPECT_EQ(runChild({"env", name, at("set.txt")}).code, 0);
    removeEnv(name);
    EXPECT_EQ(runChild({"env", name, at("unset.txt")}).code, 0);
    EXPECT_EQ(readText(folder / "set.txt"), "caf\xC3\xA9");
    EXPECT_EQ(readText(folder / "unset.txt"), "<unset>");
}

TEST(TempFolder, IsAnExistingFolderEndingInASeparator) {
    std::string folder = tempFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), pathSeparator());
    EXPECT_TRUE(fs::is_directory(pathOf(folder)));
}

TEST(ProgramPath, NamesThisTestProgram) {
    std::string path = programPath();
    std::string name = std::string(1, pathSeparator()) + "vlr_unit_tests" + (onWindows() ? ".exe" : "");
    ASSERT_GT(path.size(), name.size());
    EXPECT_EQ(path.substr(path.size() - name.size()), name);
    EXPECT_EQ(fileExists(path), Exists::Yes);
}

TEST_F(Scratch, ProgramPathIsWholeInLongAndNonAsciiFolders) {
    // Windows under Wine cannot start programs past 260 characters, so the long case is POSIX's.
    fs::path place = folder / pathOf("\xC3\xBCn\xC3\xAF \xE6\x97\xA5\xE6\x9C\xAC");
    if (!onWindows()) place /= pathOf(std::string(120, 'a') + "/" + std::string(120, 'b') + "/" + std::string(120, 'c'));
    fs::create_directories(place);
    fs::path copy = place / pathOf(VLR_TEST_CHILD);
    fs::copy_file(pathOf(childPath()), copy);
    Process child = startProcess({utf8Of(copy), "path", at("path.txt")});
    ASSERT_TRUE(child.valid());
    EXPECT_EQ(waitFor(child).code, 0);
    EXPECT_EQ(readText(folder / "path.txt"), utf8Of(copy));
}

// ---- files ----

TEST_F(Scratch, FileExistsAnswersYesAndNo) {
    write("file.txt", "x");
    EXPECT_EQ(fileExists(at("file.txt")), Exists::Yes);
    EXPECT_EQ(fileExists(utf8Of(folder)), Exists::Yes);
    EXPECT_EQ(fileExists(at("missing.txt")), Exists::No);
    EXPECT_EQ(fileExists(at("missing/inner.txt")), Exists::No);
    EXPECT_EQ(fileExists(at("file.txt") + pathSeparator() + "inner.txt"), Exists::No) << "a path under a file";
    EXPECT_EQ(fileExists(""), Exists::No);
}

TEST_F(Scratch, FileExistsCannotTellThroughALinkLoop) {
    std::error_code error;
    fs::create_symlink("loop", folder / "loop", error);
    if (error) GTEST_SKIP() << "no symbolic links here: " << error.message();
    EXPECT_EQ(fileExists(at("loop")), Exists::Unknown) << "a link that points at itself";
}

TEST_F(Scratch, FileExistsCannotTellInAFolderWeMayNotSearch) {
    fs::create_directory(folder / "closed");
    write("closed/inside.txt", "x");
    fs::permissions(folder / "closed", fs::perms::none);
    std::error_code error;
    bool stillVisible = fs::exists(folder / "closed" / "inside.txt", error);
    Exists answer = fileExists(at("closed/inside.txt"));
    fs::permissions(folder / "closed", fs::perms::owner_all);
    if (stillVisible || onWindows()) GTEST_SKIP() << "permissions do not bind this user";
    EXPECT_EQ(answer, Exists::Unknown);
}

TEST_F(Scratch, LastWriteTimeFollowsTheFile) {
    EXPECT_EQ(lastWriteTime(at("missing.txt")), kMinFileTime);
    write("file.txt", "one");
    FileTime before = lastWriteTime(at("file.txt"));
    EXPECT_NE(before, kMinFileTime);
    EXPECT_EQ(lastWriteTime(at("file.txt")), before);
    write("file.txt", "two");
    fs::last_write_time(folder / "file.txt", fs::last_write_time(folder / "file.txt") + 10s);
    EXPECT_NE(lastWriteTime(at("file.txt")), before);
}

TEST_F(Scratch, ReadFileIsBinaryAndWhole) {
    std::string content;
    for (int i = 0; i < 200000; ++i) content += static_cast<char>(i * 7 % 256);  // NULs, CR LF, 0xFF, past one chunk
    write("data.bin", content);
    std::string read;
    ASSERT_TRUE(readFile(at("data.bin"), read));
    EXPECT_EQ(read.size(), content.size());
    EXPECT_TRUE(read == content);

    read = "stale";
    EXPECT_FALSE(readFile(at("missing.bin"), read));
    EXPECT_TRUE(read.empty());
    EXPECT_FALSE(readFile(utf8Of(folder), read)) << "a folder is not a file";
    write("empty.bin", "");
    EXPECT_TRUE(readFile(at("empty.bin"), read));
    EXPECT_TRUE(read.empty());
}

TEST_F(Scratch, RemoveFileReportsWhetherItIsGone) {
    write("file.txt", "x");
    EXPECT_TRUE(removeFile(at("file.txt")));
    EXPECT_FALSE(fs::exists(folder / "file.txt"));
    EXPECT_TRUE(removeFile(at("file.txt"))) << "already gone counts as removed";
    fs::create_directory(folder / "sub");
    EXPECT_FALSE(removeFile(at("sub")));
}

TEST_F(Scratch, RemoveTreeRemovesLinksAndNeverWhatTheyLeadTo) {
    fs::create_directories(folder / "users-own");
    write("users-own/keep.txt", "mine");
    fs::create_directories(folder / "tree" / "deep");
    write("tree/deep/file.txt", "ours");
    std::error_code error;
    fs::create_directory_symlink(folder / "users-own", folder / "tree" / "deep" / "folder-link", error);
    if (!error) fs::create_symlink(folder / "users-own" / "keep.txt", folder / "tree" / "file-link", error);
    if (!error) fs::create_directory_symlink(folder / "users-own", folder / "given-link", error);
    if (error) GTEST_SKIP() << "no symbolic links here: " << error.message();
    ASSERT_TRUE(fs::exists(folder / "tree" / "deep" / "folder-link" / "keep.txt"));

    EXPECT_TRUE(removeTree(at("tree")));
    EXPECT_FALSE(fs::exists(folder / "tree"));
    EXPECT_TRUE(removeTree(at("given-link"))) << "a link given is removed itself";
    EXPECT_FALSE(fs::is_symlink(folder / "given-link"));
    EXPECT_EQ(readText(folder / "users-own" / "keep.txt"), "mine") << "removal went through a link";
    EXPECT_TRUE(removeTree(at("tree"))) << "nothing there counts as removed";
}

// ---- processes ----

TEST(QuoteCommandLine, QuotesEveryArgument) {
    EXPECT_EQ(quoteCommandLine({}), "");
    EXPECT_EQ(quoteCommandLine({"C:\\Program Files\\python.exe"}), "\"C:\\Program Files\\python.exe\"");
    EXPECT_EQ(quoteCommandLine({"a b", "", "--port", "8080"}), "\"a b\" \"\" \"--port\" \"8080\"");
    // Backslashes double only before a quote, the closing one included.
    EXPECT_EQ(quoteCommandLine({"C:\\dir\\", "a\\\\b"}), "\"C:\\dir\\\\\" \"a\\\\b\"");
    EXPECT_EQ(quoteCommandLine({"say \"hi\"", "x\\\"y"}), "\"say \\\"hi\\\"\" \"x\\\\\\\"y\"");
}

TEST(Processes, ExitCodesAndCrashes) {
    // Started together: under Wine each start is slow, so overlap them.
    Process zero = startProcess({childPath(), "exit", "0"});
    Process two = startProcess({childPath(), "exit", "2"});
    Process crash = startProcess({childPath(), "crash"});
    ASSERT_TRUE(zero.valid() && two.valid() && crash.valid());
    ExitStatus zeroStatus = waitFor(zero), twoStatus = waitFor(two), crashStatus = waitFor(crash);
    EXPECT_TRUE(zeroStatus.exited && twoStatus.exited && crashStatus.exited);
    EXPECT_EQ(zeroStatus.code, 0);
    EXPECT_EQ(twoStatus.code, 2);
    EXPECT_EQ(crashStatus.code, onWindows() ? static_cast<std::int32_t>(0xC0000005u) : 128 + SIGSEGV);
}

TEST(Processes, PollingDoesNotWaitAndRemembersTheEnd) {
    Process child = startProcess({childPath(), "sleep", "1500"});
    ASSERT_TRUE(child.valid());
    auto start = std::chrono::steady_clock::now();
    ExitStatus early = pollExit(child);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 500ms);
    EXPECT_FALSE(early.exited);

    ExitStatus end = waitFor(child);
    ASSERT_TRUE(end.exited);
    EXPECT_EQ(end.code, 0);
    Process moved = std::move(child);
    EXPECT_FALSE(child.valid());
    ExitStatus again = pollExit(moved);
    EXPECT_TRUE(again.exited) << "the end is seen once by the system and must be remembered";
    EXPECT_EQ(again.code, 0);
}

TEST_F(Scratch, StartingWhatIsNotThereFails) {
    EXPECT_FALSE(startProcess({at("no-such-program")}).valid());
    EXPECT_FALSE(startProcess({"vlr-no-such-program-on-the-path"}).valid());
    EXPECT_FALSE(startProcess({}).valid());
    Process none;
    EXPECT_FALSE(pollExit(none).exited);
}

TEST_F(Scratch, DetachedStartRunsInItsFolderAndIsNotOurChild) {
    startDetached({childPath(), "detached", "parent.txt"}, utf8Of(folder));
    std::string parent;
    for (auto deadline = std::chrono::steady_clock::now() + 30s; std::chrono::steady_clock::now() < deadline;) {
        parent = readText(folder / "parent.txt");
        if (!parent.empty()) break;
        std::this_thread::sleep_for(50ms);
    }
    ASSERT_FALSE(parent.empty()) << "the detached child did not write into its work folder";
    std::ifstream self("/proc/self/stat");
    std::string ourId;
    if (parent != "-" && self >> ourId) {
        EXPECT_NE(parent, ourId) << "left as our child, it would linger as a zombie";
    }
}

// ---- one instance per name ----

TEST(InstanceLock, OneHolderPerNameAcrossProcesses) {
    const std::string name = randomName("vlr-platform-test-lock-");
    InstanceLock held = takeInstanceLock(name);
    ASSERT_TRUE(held.first);
    EXPECT_FALSE(takeInstanceLock(name).first) << "a second take in the same process";
    EXPECT_TRUE(takeInstanceLock(name + "-other").first);

    InstanceLock moved = std::move(held);
    EXPECT_FALSE(held.first);
    EXPECT_EQ(runChild({"lock", name}).code, 11) << "another process must not get it while we hold it";

    moved.release();
    EXPECT_FALSE(moved.first);
    EXPECT_EQ(runChild({"lock", name}).code, 10) << "free again once released";
    InstanceLock again = takeInstanceLock(name);
    EXPECT_TRUE(again.first) << "the child's lock ended with the child";
    EXPECT_TRUE(again.problem.empty());

    // A lock that cannot be made at all is told apart from one that someone holds.
    const std::string broken = onWindows() ? name + "\\no\\such\\namespace" : name + "-broken";
    if (!onWindows()) fs::create_directory(pathOf(sessionFolder().path + broken + ".lock"));
    InstanceLock none = takeInstanceLock(broken);
    EXPECT_FALSE(none.first);
    EXPECT_FALSE(none.problem.empty());
    EXPECT_TRUE(takeInstanceLock(name).problem.empty()) << "held elsewhere is no problem";
    if (!onWindows()) fs::remove(pathOf(sessionFolder().path + broken + ".lock"));
    if (!onWindows()) {
        removeFile(sessionFolder().path + name + ".lock");
        removeFile(sessionFolder().path + name + "-other.lock");
    }
}

// ---- the session folder ----

TEST(SessionFolder, IsMadePrivateAndRefusedWhenOthersCouldUseIt) {
    if (onWindows()) {
        EXPECT_EQ(sessionFolder().path, tempFolder()) << "the temporary folder is per user there";
        return;
    }
    const std::optional<std::string> runtime = getEnv("XDG_RUNTIME_DIR");
    const std::optional<std::string> tmpdir = getEnv("TMPDIR");
    const fs::path base = pathOf(tempFolder() + randomName("vlr-session-folder-test-"));
    fs::create_directories(base);
    removeEnv("XDG_RUNTIME_DIR");
    setEnv("TMPDIR", utf8Of(base));

    const PrivateFolder made = sessionFolder();
    EXPECT_EQ(made.problem, "");
    ASSERT_EQ(made.path.rfind(utf8Of(base / "velocrash-rebuilt-"), 0), 0u) << made.path;
    ASSERT_EQ(made.path.back(), '/');
    const fs::path ours = pathOf(made.path.substr(0, made.path.size() - 1));
    EXPECT_EQ(fs::status(ours).permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_EQ(sessionFolder().path, made.path) << "found again as it was left";
    EXPECT_TRUE(takeInstanceLock("vlr-lock-in-private-folder").first);

    auto refusal = [] {
        const PrivateFolder folder = sessionFolder();
        EXPECT_EQ(folder.path, "");
        EXPECT_FALSE(takeInstanceLock("vlr-lock-in-refused-folder").first) << "no lock in a refused folder";
        return folder.problem;
    };
    fs::permissions(ours, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                              fs::perms::others_read | fs::perms::others_exec);
    EXPECT_NE(refusal().find("is open to other users"), std::string::npos);

    fs::remove_all(ours);
    fs::create_directory(base / "elsewhere");
    fs::permissions(base / "elsewhere", fs::perms::owner_all);
    fs::create_directory_symlink(base / "elsewhere", ours);
    EXPECT_NE(refusal().find("is not a folder of its own"), std::string::npos);
    fs::remove(ours);

    fs::create_directory(ours);
    fs::permissions(ours, fs::perms::owner_all);
    const std::string chown = "chown 65534 '" + utf8Of(ours) + "' 2>/dev/null";
    if (std::system(chown.c_str()) == 0) {  // only root may give a folder away
        EXPECT_NE(refusal().find("belongs to another user"), std::string::npos);
    }

    const fs::path xdg = base / "runtime";
    fs::create_directory(xdg);
    fs::permissions(xdg, fs::perms::owner_all);
    setEnv("XDG_RUNTIME_DIR", utf8Of(xdg));
    EXPECT_EQ(sessionFolder().path, utf8Of(xdg) + "/");

    if (runtime) setEnv("XDG_RUNTIME_DIR", *runtime); else removeEnv("XDG_RUNTIME_DIR");
    if (tmpdir) setEnv("TMPDIR", *tmpdir); else removeEnv("TMPDIR");
    fs::remove_all(base);
}

// ---- fallback fonts ----

// The CJK collection is the one scripts/setup puts into the Wine prefix and links behind the
// regular face; natively, Debian's package of it. Whether it is the first CJK font fontconfig
// offers depends on what else is installed, so natively only its face choice is held to it.
TEST(FallbackFonts, CjkAndHangulFindAFontThatHasThemAndAPrivateUseGapFindsNone) {
    std::string collection = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc";
    if (onWindows()) {
        const std::string regular = fontFilePath(0);
        collection = regular.substr(0, regular.find_last_of('\\') + 1) + "wqy-microhei.ttc";
    }
    if (fileExists(collection) != Exists::Yes) GTEST_SKIP() << "no CJK collection at " << collection;

    auto lower = [](std::string text) {
        for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        return text;
    };
    for (int codepoint : {0x6771, 0xC11C}) {
        SCOPED_TRACE(codepoint);
        FontFace face = fallbackFontFor(codepoint);
        ASSERT_FALSE(face.path.empty());
        EXPECT_EQ(fileExists(face.path), Exists::Yes) << face.path;
        if (onWindows()) {
            EXPECT_EQ(lower(face.path), lower(collection));
            EXPECT_EQ(face.name, "WenQuanYi Micro Hei");
            EXPECT_EQ(face.index, -1);
        } else if (face.path == collection) {
            // Its first face is the proportional one; the second is monospaced.
            EXPECT_EQ(face.index, 0);
        }
    }
    EXPECT_TRUE(fallbackFontFor(0xE000).path.empty()) << "a gap in every face is not some font's to fill";
    EXPECT_TRUE(fallbackFontFor(-1).path.empty());
    EXPECT_TRUE(fallbackFontFor(0x110000).path.empty());
}

// ---- downloads ----

// Senders that would each hold a download open for hours end it in failure within the small
// limits given; a hang is caught by the case's CTest time-out. A whole body under the same
// limits still arrives, through a redirect, so the failures are the rules' doing.
class Downloads : public Scratch {};

TEST_F(Downloads, EndAtTheStallRuleAndTheDeadlineWhateverTheSenderDoes) {
    vlr::test::FileServer server;
    ASSERT_TRUE(server.running());
    server.serveEndless("/trickle.zip", "x", 500);                   // a byte every half second
    server.serveEndless("/steady.zip", std::string(4096, 'x'), 50);  // a good rate, never ending
    server.serveSilent("/silent.zip");                               // headers never come
    const std::string body(300000, 'z');
    server.serve("/whole.zip", body);
    server.serveRedirect("/moved.zip", "http://localhost:" + std::to_string(server.port()) + "/whole.zip");
    const std::string part = at("download.part");
    std::uint64_t received = 0;
    auto fetch = [&](const char* path, int deadline, int stall) {
        received = 0;
        DownloadLimits limits;
        limits.deadlineSeconds = deadline;
        limits.stallSeconds = stall;
        limits.stallRate = 1024;
        return downloadToFile(server.url(path), part, limits,
                              [&](std::uint64_t got, std::uint64_t) { received = got; });
    };

    EXPECT_FALSE(fetch("/trickle.zip", 600, 2)) << "the stall rule";
    EXPECT_FALSE(fetch("/steady.zip", 2, 600)) << "the deadline";
    EXPECT_GT(received, 2048u) << "bytes were flowing when the deadline came";
    EXPECT_FALSE(fetch("/silent.zip", 2, 600)) << "the deadline before the headers";
    ASSERT_TRUE(fetch("/moved.zip", 2, 2)) << "redirected to another host name";
    EXPECT_EQ(readText(pathOf(part)), body);
    EXPECT_EQ(received, body.size());
}

TEST_F(Downloads, HttpsIsKnownInAnyCaseSoItIsNeverFollowedToHttp) {
    EXPECT_TRUE(secureAddress("https://example.org/a.zip"));
    EXPECT_TRUE(secureAddress("HTTPS://example.org/a.zip"));
    EXPECT_TRUE(secureAddress("hTtPs://example.org/a.zip"));
    EXPECT_FALSE(secureAddress("http://example.org/a.zip"));
    EXPECT_FALSE(secureAddress("HTTP://example.org/https://"));
    EXPECT_FALSE(secureAddress("https"));
}
