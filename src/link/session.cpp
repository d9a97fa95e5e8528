/*******************************************************************************************
*  session.cpp — finding, starting and sharing the launcher process
*
*  Sections:
*    arguments   "--python" and "--script" of window mode
*    session     session name and file, port, token
*    launcher    second instance hand-over, reuse of a live launcher, start of a new one
*
*  One launcher serves one installation (one script path). It publishes its port and token
*  in the session file; a later window reuses it through that file, and a second window of
*  the same installation only asks it to bring the first window forward.
*******************************************************************************************/
#include <chrono>
#include <cstdio>
#include <random>
#include <thread>

#include "link/command_list.h"
#include "link/http.h"
#include "link/session.h"

namespace vlr {

// ---- arguments ----

namespace {

std::string_view argAt(const char* const* argv, int index) {
    const char* arg = argv ? argv[index] : nullptr;
    return arg ? std::string_view(arg) : std::string_view();
}

std::optional<WindowArgs> usageError(int argc, const char* const* argv) {
    std::fputs(usageLine(argc, argv).c_str(), stderr);
    return std::nullopt;
}

}  // namespace

std::string usageLine(int argc, const char* const* argv) {
    const char* program = (argc >= 1 && argv && argv[0]) ? argv[0] : "vlr_launcher";
    return std::string("Usage: ") + program + " --python <python> --script <tools/launcher.py>\n";
}

std::optional<WindowArgs> parseWindowArgs(int argc, const char* const* argv) {
    if (argc < 3 || !argv)
        return usageError(argc, argv);
    WindowArgs args;
    // An option in last position has no value and is not read.
    for (int i = 1; i + 1 < argc;) {
        const std::string_view arg = argAt(argv, i);
        if (arg == "--python") {
            args.python = argAt(argv, i + 1);
            i += 2;
        } else if (arg == "--script") {
            args.script = argAt(argv, i + 1);
            i += 2;
        } else {
            i += 1;
        }
    }
    if (args.python.empty() || args.script.empty())
        return usageError(argc, argv);
    return args;
}

// ---- session ----

std::string sessionName(std::string_view scriptPath) {
    // FNV-1a over the path's bytes as given: paths differing only in case are different sessions.
    std::uint64_t hash = 0xcbf29ce484222325ull;
    for (unsigned char byte : scriptPath) {
        hash ^= byte;
        hash *= 0x100000001b3ull;
    }
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return std::string("vlr-launcher-window-") + hex;
}

std::string sessionFilePath(std::string_view sessionName) {
    // An empty folder leaves the bare file name, relative to the current folder. Window mode
    // refuses to start when the folder is refused, before it gets here.
    return platform::sessionFolder().path + std::string(sessionName) + ".json";
}

bool readSession(Link& link, const std::string& sessionFile) {
    std::string text;
    if (!platform::readFile(sessionFile, text))
        text.clear();
    const Json session = parseJson(text);
    const std::int64_t port = asInt(get(session, "port"));
    // A port TCP cannot have would be cut to some other port on connect; treat it as none.
    link.port = (port > 0 && port <= 65535) ? static_cast<int>(port) : 0;
    link.token = asText(get(session, "token"));
    return link.port > 0 && !link.token.empty();
}

std::int64_t sessionPid(const std::string& sessionFile) {
    std::string text;
    if (!platform::readFile(sessionFile, text)) return 0;
    const std::int64_t pid = asInt(get(parseJson(text), "pid"));
    return pid > 0 ? pid : 0;
}

int freePort() {
    platform::Socket socket = openSocket(1000);
    if (!socket.valid())
        return 0;
    return platform::bindLoopback(socket, 0);  // the socket closes here; the port stays free
}

std::string makeToken() {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string token(32, '0');
    try {
        std::random_device device;
        for (char& c : token)
            c = kDigits[device() & 15u];
    } catch (const std::exception&) {
        // No entropy source at all: a clock-seeded generator still keeps other local
        // programs from guessing the token by trying the obvious values.
        std::mt19937_64 generator(static_cast<std::uint64_t>(
            std::chrono::high_resolution_clock::now().time_since_epoch().count()));
        for (char& c : token)
            c = kDigits[generator() & 15u];
    }
    return token;
}

std::vector<std::string> launcherArgs(const WindowArgs& args, const Link& link, const std::string& sessionFile) {
    return {args.python,  args.script, "--port",    std::to_string(link.port),
            "--token",    link.token,  "--session", sessionFile};
}

platform::Process startLauncher(const std::vector<std::string>& args) {
    return platform::startProcess(args);
}

// ---- launcher ----

bool handOverToRunningWindow(Link& link, const std::string& sessionFile) {
    // The first window may still be starting its launcher: give it about five seconds.
    constexpr int kAttempts = 20;
    constexpr auto kPause = std::chrono::milliseconds(250);
    platform::allowForegroundHandOff();  // so the running window may take the foreground
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        if (readSession(link, sessionFile) && succeeded(askFront(link)))
            return true;
        if (attempt < kAttempts)
            std::this_thread::sleep_until(std::chrono::steady_clock::now() + kPause);
    }
    return false;
}

LauncherFound findOrStartLauncher(Link& link, const WindowArgs& args, const std::string& sessionFile,
                                  platform::Process& process) {
    if (readSession(link, sessionFile) && succeeded(probeState(link)))
        return LauncherFound::Reused;  // an earlier window's launcher still serves this session

    link.port = freePort();
    link.token = makeToken();
    process = startLauncher(launcherArgs(args, link, sessionFile));
    return process.started() ? LauncherFound::Started : LauncherFound::Failed;
}

}  // namespace vlr
