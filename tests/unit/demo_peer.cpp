/*******************************************************************************************
*  demo_peer.cpp — starting and stopping the demo launcher for tests
*
*  Everything goes through the platform layer, so the same helper runs natively and in the
*  Windows build under Wine. There, python3 is the machine's Unix interpreter reached through
*  Wine's Z: drive; it understands Unix paths only, so every path handed to it is rewritten
*  and the folder is made under Z:\tmp where both sides can see it.
*******************************************************************************************/
#include "link/http.h"
#include "demo_peer.h"

#include <chrono>
#include <filesystem>
#include <random>
#include <system_error>
#include <thread>

#include "platform/socket.h"

namespace vlr::test {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr auto kReadyWait = milliseconds(10000);
constexpr auto kProbeWait = milliseconds(5000);
constexpr auto kStopWait = milliseconds(10000);
constexpr auto kPoll = milliseconds(50);

bool windowsPaths() { return platform::pathSeparator() == '\\'; }

std::string randomHex(int digits) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::random_device device;
    std::string out;
    for (int i = 0; i < digits; ++i) out.push_back(kHex[device() & 15]);
    return out;
}

int freeLoopbackPort() {
    platform::Socket socket = platform::tcpSocket(1000);
    return platform::bindLoopback(socket, 0);
}

bool portAnswers(int port) {
    platform::Socket socket = platform::tcpSocket(1000);
    return platform::connectLoopback(socket, port);
}

bool startsWithDriveZ(const std::string& path) {
    return path.size() >= 3 && (path[0] == 'Z' || path[0] == 'z') && path[1] == ':' && path[2] == '\\';
}

// "Z:\tmp\x" as a Unix program sees it.
std::string unixPath(const std::string& path) {
    std::string out = startsWithDriveZ(path) ? path.substr(2) : path;
    for (char& c : out)
        if (c == '\\') c = '/';
    return out;
}

// "/work/x" as this program sees it when it runs under Wine.
std::string hostPath(const std::string& path) {
    if (!windowsPaths() || path.empty() || path[0] != '/') return path;
    std::string out = "Z:" + path;
    for (char& c : out)
        if (c == '/') c = '\\';
    return out;
}

}  // namespace

// ---- finding things ----

std::string findPython() {
    const bool windows = windowsPaths();
    const char listSeparator = windows ? ';' : ':';
    std::vector<std::string> names = {"python3"};
    if (windows) names = {"python3.exe", "python.exe"};
    const std::string path = platform::getEnv("PATH").value_or("");
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t stop = path.find(listSeparator, start);
        if (stop == std::string::npos) stop = path.size();
        std::string folder = path.substr(start, stop - start);
        start = stop + 1;
        if (folder.empty()) continue;
        if (folder.back() != platform::pathSeparator()) folder += platform::pathSeparator();
        for (const std::string& name : names)
            if (platform::fileExists(folder + name) == platform::Exists::Yes) return folder + name;
    }
    const std::string usual = hostPath("/usr/bin/python3");
    return platform::fileExists(usual) == platform::Exists::Yes ? usual : std::string();
}

std::string demoLauncherScript() {
#ifdef VLR_SOURCE_DIR
    return std::string(VLR_SOURCE_DIR) + "/tools/demo-launcher/launcher.py";
#else
    return {};
#endif
}

// ---- DemoPeer ----

DemoPeer::DemoPeer(const DemoPeerOptions& options) : options_(options) {
    if (options_.script.empty()) options_.script = demoLauncherScript();
    python_ = findPython();
    if (python_.empty()) {
        pythonMissing_ = true;
        failure_ = "python3 was not found on PATH; the demo launcher cannot run here";
        return;
    }
    unixPeer_ = windowsPaths() && startsWithDriveZ(python_);

    // A quick run of the interpreter alone tells "no python here" apart from a launcher fault.
    // Wine starts a Unix program but hands back no process handle, so there the launcher's
    // session file is the only sign of life.
    bool probeSeen = false;
    platform::Process probe = platform::startProcess({python_, "-c", "pass"});
    if (!probe.valid() && !unixPeer_) {
        pythonMissing_ = true;
        failure_ = "python3 (" + python_ + ") cannot be started here";
        return;
    }
    if (probe.valid()) {
        const Clock::time_point probeEnd = Clock::now() + kProbeWait;
        platform::ExitStatus status = platform::pollExit(probe);
        while (!status.exited && Clock::now() < probeEnd) {
            std::this_thread::sleep_for(kPoll);
            status = platform::pollExit(probe);
        }
        if (status.exited && status.code != 0) {
            pythonMissing_ = true;
            failure_ = "python3 (" + python_ + ") does not run here (exit code " + std::to_string(status.code) + ")";
            return;
        }
        probeSeen = status.exited;
    }

    const std::string sep(1, platform::pathSeparator());
    std::string base = unixPeer_ ? std::string("Z:\\tmp\\") : platform::tempFolder();
    workDir = base + "vlr-demo-" + randomHex(12);
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(workDir + sep + "work"), error);
    if (error) {
        failure_ = "cannot make the folder " + workDir + ": " + error.message();
        workDir.clear();
        return;
    }
    sessionFile = workDir + sep + "session.json";
    logFile = workDir + sep + "requests.log";
    port = freeLoopbackPort();
    token = randomHex(32);
    if (port == 0) {
        failure_ = "no free loopback port";
        return;
    }
    if (!start() && !probeSeen) {
        // The interpreter never told us it ran; most likely it cannot run here at all.
        pythonMissing_ = true;
        failure_ += " (python3 at " + python_ + " gave no sign of running)";
    }
}

DemoPeer::~DemoPeer() {
    stop();
    if (!workDir.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::path(workDir), ignored);
    }
}

bool DemoPeer::start() {
    auto forPeer = [this](const std::string& path) { return unixPeer_ ? unixPath(path) : path; };
    const std::string sep(1, platform::pathSeparator());
    platform::setEnv("VLR_DEMO_SPEED", options_.speed);
    platform::setEnv("VLR_DEMO_LOG", forPeer(logFile));
    if (options_.keepAlive.empty())
        platform::removeEnv("VLR_DEMO_KEEPALIVE");
    else
        platform::setEnv("VLR_DEMO_KEEPALIVE", options_.keepAlive);
    platform::removeFile(sessionFile);

    link.port = port;
    link.token = token;
    process_ = platform::startProcess({python_, options_.script, "--port", std::to_string(port), "--token", token,
                                       "--session", forPeer(sessionFile), "--work", forPeer(workDir + sep + "work")});
    // The child has its copy; later children of this process must not log into our folder.
    for (const char* name : {"VLR_DEMO_SPEED", "VLR_DEMO_LOG", "VLR_DEMO_KEEPALIVE"}) platform::removeEnv(name);
    if (!process_.valid() && !unixPeer_) {
        failure_ = "python3 (" + python_ + ") could not be started";
        return false;
    }
    launched_ = true;
    const Clock::time_point end = Clock::now() + kReadyWait;
    for (;;) {
        std::string text;
        if (platform::readFile(sessionFile, text)) {
            const Json session = parseJson(text);
            if (asInt(get(session, "port")) == port && asText(get(session, "token")) == token) {
                running_ = true;
                failure_.clear();
                return true;
            }
        }
        const platform::ExitStatus status = platform::pollExit(process_);
        if (status.exited) {
            failure_ = "the demo launcher (" + options_.script + ") ended with code " + std::to_string(status.code) +
                       " before it wrote its session file";
            return false;
        }
        if (Clock::now() >= end) {
            failure_ = "the demo launcher (" + options_.script + ") wrote no session file within 10 s";
            return false;
        }
        std::this_thread::sleep_for(kPoll);
    }
}

bool DemoPeer::stop() {
    if (!launched_) return true;
    launched_ = false;
    running_ = false;
    post(link, "test-exit", "{\"code\": 0}", 5000);
    // The exit is what we wait for; where it cannot be seen (a Unix child of a Wine program)
    // a closed port has to do.
    const Clock::time_point start = Clock::now();
    bool gone = false;
    while (Clock::now() - start < kStopWait) {
        if (platform::pollExit(process_).exited) {
            gone = true;
            break;
        }
        const bool exitVisible = process_.valid();
        if ((!exitVisible || Clock::now() - start > milliseconds(3000)) && !portAnswers(port)) {
            gone = true;
            break;
        }
        std::this_thread::sleep_for(kPoll);
    }
    process_.reset();
    return gone;
}

bool DemoPeer::restart() {
    stop();
    return start();
}

std::vector<Json> DemoPeer::logEntries() const {
    std::vector<Json> entries;
    std::string text;
    if (!platform::readFile(logFile, text)) return entries;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t stop = text.find('\n', start);
        if (stop == std::string::npos) stop = text.size();
        if (stop > start) entries.push_back(parseJson(std::string_view(text).substr(start, stop - start)));
        start = stop + 1;
    }
    return entries;
}

}  // namespace vlr::test
