/*******************************************************************************************
*  session_test.cpp — window-mode arguments, the session file, and the launcher process
*******************************************************************************************/
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <thread>

#include "demo_peer.h"
#include "link/http.h"
#include "link/link.h"
#include "link/session.h"
#include "link/state.h"

namespace vlr {
namespace {

namespace fs = std::filesystem;

fs::path pathOf(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string childPath() {
    const std::string self = platform::programPath();
    return self.substr(0, self.find_last_of("\\/") + 1) + VLR_TEST_CHILD;
}

// A session file of our own in the temp folder, removed again at the end of the test.
struct TempSession {
    std::string path;
    explicit TempSession(const std::string& name) : path(platform::tempFolder() + name + ".json") {}
    ~TempSession() {
        std::error_code ignored;
        fs::remove(pathOf(path), ignored);
    }
    void write(const std::string& text) const { std::ofstream(pathOf(path), std::ios::binary) << text; }
};

// ---- arguments ----

struct ParsedArgs {
    std::optional<WindowArgs> args;
    std::string errors;
};

ParsedArgs parse(std::vector<const char*> argv) {
    testing::internal::CaptureStderr();
    ParsedArgs parsed{parseWindowArgs(static_cast<int>(argv.size()), argv.data()), {}};
    parsed.errors = testing::internal::GetCapturedStderr();
    return parsed;
}

TEST(WindowArgs, ReadsBothOptionsInAnyOrder) {
    ParsedArgs p = parse({"vel", "--script", "s.py", "stray", "--python", "py.exe"});
    ASSERT_TRUE(p.args);
    EXPECT_EQ(p.args->python, "py.exe");
    EXPECT_EQ(p.args->script, "s.py");
    EXPECT_EQ(p.errors, "");

    p = parse({"vel", "--python", "a", "--script", "s", "--python", "b"});  // the later one wins
    ASSERT_TRUE(p.args);
    EXPECT_EQ(p.args->python, "b");
}

TEST(WindowArgs, MissingOrEmptyPathsPrintTheUsageLine) {
    const std::string usage = "Usage: vel --python <python> --script <tools/launcher.py>\n";
    EXPECT_EQ(parse({"vel", "--python", "py", "--script"}).errors, usage);  // no value after it
    EXPECT_EQ(parse({"vel", "--python", "py", "--script", ""}).errors, usage);
    EXPECT_EQ(parse({"vel", "--script", "s"}).errors, usage);
    EXPECT_EQ(parse({"vel", "--python", "--script", "s"}).errors, usage);  // "--script" is the value
    EXPECT_EQ(parse({"vel"}).errors, usage);

    ParsedArgs none = parse({});
    EXPECT_FALSE(none.args);
    EXPECT_EQ(none.errors, "Usage: vlr_launcher --python <python> --script <tools/launcher.py>\n");
}

// ---- session ----

TEST(Session, NameIsTheHashOfThePathBytes) {
    EXPECT_EQ(sessionName(""), "vlr-launcher-window-cbf29ce484222325");
    EXPECT_EQ(sessionName("a"), "vlr-launcher-window-af63dc4c8601ec8c");
    EXPECT_EQ(sessionName("C:\\Games\\Velocrash\\source\\tools\\launcher.py"),
              "vlr-launcher-window-5379fa8886c13a93");
    EXPECT_EQ(sessionName("D:/Spiele/\xc3\x9c/launcher.py"), "vlr-launcher-window-9b44b76aeadaf522");
    EXPECT_NE(sessionName("C:\\games\\launcher.py"), sessionName("C:\\Games\\launcher.py"));

    const std::string name = sessionName("x");
    EXPECT_EQ(sessionFilePath(name), platform::sessionFolder().path + name + ".json");
}

TEST(Session, ReadsPortAndTokenAndOverwritesThemAlways) {
    TempSession file(sessionName("session-read-test"));
    Link link;
    link.port = 99;
    link.token = "old";
    EXPECT_FALSE(readSession(link, file.path));  // missing file
    EXPECT_EQ(link.port, 0);
    EXPECT_EQ(link.token, "");

    file.write(R"({"port": 4711, "token": "abc", "pid": 3})");
    EXPECT_TRUE(readSession(link, file.path));
    EXPECT_EQ(link.port, 4711);
    EXPECT_EQ(link.token, "abc");

    file.write(R"({"port": "4711", "token": "abc"})");
    EXPECT_FALSE(readSession(link, file.path));
    EXPECT_EQ(link.port, 0);
    EXPECT_EQ(link.token, "abc");

    file.write(R"({"port": 4711, "token": ""})");
    EXPECT_FALSE(readSession(link, file.path));

    file.write(R"({"port": 70000, "token": "abc"})");  // would wrap to another port on connect
    EXPECT_FALSE(readSession(link, file.path));
    EXPECT_EQ(link.port, 0);

    file.write("not json at all");
    EXPECT_FALSE(readSession(link, file.path));
}

TEST(Session, TokensArePrivateHexText) {
    const std::string a = makeToken(), b = makeToken();
    ASSERT_EQ(a.size(), 32u);
    EXPECT_EQ(a.find_first_not_of("0123456789abcdef"), std::string::npos);
    EXPECT_NE(a, b);
    std::set<char> digits(a.begin(), a.end());
    digits.insert(b.begin(), b.end());
    EXPECT_GT(digits.size(), 6u);  // 64 draws of 16 digits: far more than six distinct ones
}

TEST(Session, FreePortCanBeListenedOn) {
    const int port = freePort();
    ASSERT_GT(port, 0);
    ASSERT_LE(port, 65535);
    platform::Socket socket = openSocket(1000);
    EXPECT_EQ(platform::bindLoopback(socket, port), port);  // nothing holds it any more
}

TEST(Session, LauncherArgumentsInOrder) {
    Link link;
    link.port = 51234;
    link.token = "0123456789abcdef0123456789abcdef";
    const WindowArgs args{"C:\\p\\pythonw.exe", "C:\\s\\launcher.py"};
    EXPECT_EQ(launcherArgs(args, link, "C:\\t\\s.json"),
              (std::vector<std::string>{"C:\\p\\pythonw.exe", "C:\\s\\launcher.py", "--port", "51234", "--token",
                                        "0123456789abcdef0123456789abcdef", "--session", "C:\\t\\s.json"}));
}

// ---- exit watching ----

// Watches a child the way the frame loop does, until something is decided or time runs out.
struct Watched {
    bool endLoop = false;
    WindowState window;
};

void watchUntilDecided(Watched& w) {
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < giveUp) {
        w.endLoop = watchLauncherExit(w.window);
        if (w.endLoop || w.window.launcherExited || !w.window.launcher.valid())
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

Watched watchChild(std::vector<std::string> args) {
    args.insert(args.begin(), childPath());
    Watched w;
    w.window.launcher = platform::startProcess(args);
    EXPECT_TRUE(w.window.launcher.valid());
    watchUntilDecided(w);
    return w;
}

TEST(ExitWatch, QuietEndIsForgotten) {
    Watched w = watchChild({"exit", "0"});
    EXPECT_FALSE(w.endLoop);
    EXPECT_FALSE(w.window.launcher.valid());
    EXPECT_FALSE(w.window.launcherExited);
    EXPECT_FALSE(watchLauncherExit(w.window));
}

TEST(ExitWatch, CodeTwoEndsTheLoop) {
    Watched w = watchChild({"exit", "2"});
    EXPECT_TRUE(w.endLoop);
    EXPECT_FALSE(w.window.launcherExited);
}

TEST(ExitWatch, OtherCodesAreKept) {
    Watched w = watchChild({"exit", "1"});
    EXPECT_FALSE(w.endLoop);
    EXPECT_TRUE(w.window.launcherExited);
    EXPECT_EQ(w.window.launcherExitCode, 1);
    EXPECT_FALSE(watchLauncherExit(w.window));  // decided: watching has stopped
}

TEST(ExitWatch, CrashIsSeenAsAnEnd) {
    Watched w = watchChild({"crash"});
    EXPECT_FALSE(w.endLoop);
    ASSERT_TRUE(w.window.launcherExited);
    EXPECT_NE(w.window.launcherExitCode, 0);
    EXPECT_NE(w.window.launcherExitCode, 2);
    if (w.window.launcherExitCode < 0) {  // Windows status codes such as 0xC0000005
        EXPECT_NE(stoppedLine(w.window.launcherExitCode).find("(exit code 0xC"), std::string::npos);
    }
}

TEST(ExitWatch, OnlyWhileTheStreamIsDownAndSomethingIsHeld) {
    Watched idle;
    EXPECT_FALSE(watchLauncherExit(idle.window));  // launcher reused: nothing to watch

    Watched w;
    w.window.launcher = platform::startProcess({childPath(), "exit", "3"});
    ASSERT_TRUE(w.window.launcher.valid());
    w.window.connected = true;
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    EXPECT_FALSE(watchLauncherExit(w.window));
    EXPECT_FALSE(w.window.launcherExited);  // the stream speaks for the launcher meanwhile

    w.window.connected = false;
    watchUntilDecided(w);
    EXPECT_TRUE(w.window.launcherExited);
    EXPECT_EQ(w.window.launcherExitCode, 3);
}

// A reused launcher is known only by the id it published: once no process has it, it is gone.
TEST(ExitWatch, ReusedLauncherIsGoneWithItsProcess) {
    platform::Process child = platform::startProcess({childPath(), "sleep", "300"});
    ASSERT_TRUE(child.valid());
    Watched w;
    w.window.launcherPid = platform::processId(child);
    EXPECT_FALSE(watchLauncherExit(w.window));
    EXPECT_FALSE(w.window.launcherGone);            // it runs: the stream is only reconnecting
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!platform::pollExit(child).exited && std::chrono::steady_clock::now() < giveUp)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));   // reaped: no such process left
    EXPECT_FALSE(watchLauncherExit(w.window));
    EXPECT_TRUE(w.window.launcherGone);
    EXPECT_FALSE(w.window.launcherExited);          // no code to show
    EXPECT_EQ(platform::processExists(0), platform::Exists::Unknown);   // never a process group
}

// ---- against the demo launcher ----

TEST(Launcher, SecondInstanceBringsTheRunningWindowForward) {
    test::DemoPeer peer;
    VLR_REQUIRE_DEMO_PEER(peer);
    const std::int64_t before = asInt(get(post(peer.link, "state", "{}", kProbeTimeoutMs), "front"));

    Link link;
    EXPECT_TRUE(handOverToRunningWindow(link, peer.sessionFile));
    EXPECT_EQ(asInt(get(post(peer.link, "state", "{}", kProbeTimeoutMs), "front")), before + 1);

    std::vector<std::string> fronts;  // one answered request is enough
    for (const Json& entry : peer.logEntries())
        if (asText(get(entry, "action")) == "front")
            fronts.push_back(asText(get(entry, "body")));
    EXPECT_EQ(fronts, std::vector<std::string>{"{}"});
}

TEST(Launcher, LiveLauncherIsReused) {
    test::DemoPeer peer;
    VLR_REQUIRE_DEMO_PEER(peer);
    Link link;
    platform::Process process;
    EXPECT_EQ(findOrStartLauncher(link, {"no-such-python", "no-such-script"}, peer.sessionFile, process),
              LauncherFound::Reused);
    EXPECT_FALSE(process.valid());
    EXPECT_EQ(link.port, peer.port);
    EXPECT_EQ(link.token, peer.token);
}

// A launcher started by findOrStartLauncher, stopped again at the end of the test.
struct StartedLauncher {
    Link link;
    platform::Process process;
    ~StartedLauncher() {
        if (link.port <= 0)
            return;
        post(link, "test-exit", "{\"code\": 0}", kProbeTimeoutMs);
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (std::chrono::steady_clock::now() < giveUp) {
            if (process.valid() ? platform::pollExit(process).exited : !portAnswers(link.port))
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    static bool portAnswers(int port) {
        platform::Socket socket = openSocket(1000);
        return platform::connectLoopback(socket, port);
    }
};

// Relative names, in the current folder that the launcher shares with us: under Wine the
// launcher is a Unix program, for which absolute paths are written differently.
struct ScratchFolder {
    std::string folder = "vlr-session-test-" + makeToken().substr(0, 8);
    std::string sessionFile = sessionName(folder) + ".json";
    std::optional<std::string> portable = platform::getEnv("VLR_PORTABLE");
    ScratchFolder() {
        fs::create_directory(pathOf(folder));
        platform::setEnv("VLR_PORTABLE", folder);  // the launcher's work folder goes in here
        platform::removeEnv("VLR_DEMO_LOG");       // an earlier peer's log folder is gone
    }
    ~ScratchFolder() {
        if (portable)
            platform::setEnv("VLR_PORTABLE", *portable);
        else
            platform::removeEnv("VLR_PORTABLE");
        std::error_code ignored;
        fs::remove(pathOf(sessionFile), ignored);
        fs::remove_all(pathOf(folder), ignored);
    }
};

TEST(Launcher, StaleSessionFileStartsANewLauncher) {
    const std::string python = test::findPython();
    if (python.empty())
        GTEST_SKIP() << "python3 was not found; the demo launcher cannot run here";
    const WindowArgs args{python, test::demoLauncherScript()};
    // Wine starts a Unix python without giving us a process handle; the launcher runs all the
    // same, but the start cannot be told apart from a failed one there.
    const bool handleless = platform::pathSeparator() == '\\' && python.rfind("Z:\\", 0) == 0;
    ScratchFolder scratch;

    const std::string deadPort = std::to_string(freePort());
    for (const std::string& stale : {R"({"port": )" + deadPort + R"(, "token": "abc"})",
                                     R"({"port": ")" + deadPort + R"(", "token": "abc"})"}) {
        SCOPED_TRACE(stale);
        { std::ofstream(pathOf(scratch.sessionFile), std::ios::binary) << stale; }
        StartedLauncher launcher;
        const LauncherFound found = findOrStartLauncher(launcher.link, args, scratch.sessionFile, launcher.process);
        if (!handleless) {
            EXPECT_EQ(found, LauncherFound::Started);
            EXPECT_TRUE(launcher.process.valid());
        }
        EXPECT_NE(found, LauncherFound::Reused);
        EXPECT_NE(std::to_string(launcher.link.port), deadPort);
        EXPECT_EQ(launcher.link.token.size(), 32u);

        // The new launcher took the port, token and session file it was given.
        Link published;
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!(readSession(published, scratch.sessionFile) && published.port == launcher.link.port) &&
               std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(published.port, launcher.link.port);
        EXPECT_EQ(published.token, launcher.link.token);
        EXPECT_TRUE(succeeded(post(launcher.link, "state", "{}", kProbeTimeoutMs)));
    }
}

TEST(Launcher, FailedStartIsReported) {
    TempSession file(sessionName("session-failed-start-test"));
    Link link;
    platform::Process process;
    EXPECT_EQ(findOrStartLauncher(link, {"/no/such/python-for-vlr", "launcher.py"}, file.path, process),
              LauncherFound::Failed);
    EXPECT_FALSE(process.valid());
}

}  // namespace
}  // namespace vlr
