/*******************************************************************************************
*  demo_peer.h — a real (demo) launcher for tests that need a peer on the other end
*
*  DemoPeer starts tools/demo-launcher/launcher.py with python3 in a fresh temporary folder,
*  on a free loopback port with a fresh token, and waits (about 10 s at most) until it has
*  written its session file. It stops the launcher again when it goes out of scope, through
*  the launcher's own "test-exit" action.
*
*      DemoPeer peer;                  // started, or not: see started() / failure()
*      VLR_REQUIRE_DEMO_PEER(peer);    // in a GoogleTest body: skip without python3, fail otherwise
*      Json answer = post(peer.link, "state", "{}", 5000);
*
*  The demo launcher runs with VLR_DEMO_SPEED (simulated work, 0.05 by default),
*  VLR_DEMO_KEEPALIVE (when given) and VLR_DEMO_LOG = logFile, one JSON line per request.
*******************************************************************************************/
#pragma once

#include <string>
#include <vector>

#include "link/json.h"
#include "link/link.h"
#include "platform/platform.h"

namespace vlr::test {

struct DemoPeerOptions {
    std::string speed = "0.05";   // VLR_DEMO_SPEED
    std::string keepAlive;        // VLR_DEMO_KEEPALIVE in seconds; empty: the launcher's default
    std::string script;           // launcher.py; empty: the one in this source tree
};

class DemoPeer {
public:
    explicit DemoPeer(const DemoPeerOptions& options = {});
    ~DemoPeer();
    DemoPeer(const DemoPeer&) = delete;
    DemoPeer& operator=(const DemoPeer&) = delete;

    bool started() const { return running_; }
    bool pythonMissing() const { return pythonMissing_; }  // no usable python3: tests skip
    const std::string& failure() const { return failure_; }

    // Stops the launcher (test-exit) and waits until its port is free. True when it went.
    bool stop();
    // Stops the launcher and starts a new one on the same port with the same token.
    bool restart();

    // The requests the launcher has logged so far, one object per request
    // ({"action", "body", "token_ok"}), oldest first.
    std::vector<Json> logEntries() const;

    int port = 0;
    std::string token;
    std::string workDir;      // the fresh folder holding everything below; removed at the end
    std::string sessionFile;
    std::string logFile;
    Link link;                // port and token of this peer, ready for post()

private:
    bool start();

    DemoPeerOptions options_;
    std::string python_;      // interpreter as this program starts it
    bool unixPeer_ = false;   // a Unix python started from a Windows build (Wine): paths differ
    platform::Process process_;  // invalid for a Unix child of a Wine program
    bool launched_ = false;       // a launcher was started and not yet stopped
    bool running_ = false;
    bool pythonMissing_ = false;
    std::string failure_;
};

// The python3 this program can start, or empty. Searches PATH, then the usual place (also as
// Wine's Z: drive sees it).
std::string findPython();

// The demo launcher script of this source tree (empty when the tree is unknown).
std::string demoLauncherScript();

}  // namespace vlr::test

// For GoogleTest bodies: skips the test when python3 cannot be run here, fails it when the
// launcher could not be started for any other reason.
#define VLR_REQUIRE_DEMO_PEER(peer)                                           \
    do {                                                                      \
        if ((peer).pythonMissing()) GTEST_SKIP() << (peer).failure();         \
        ASSERT_TRUE((peer).started()) << (peer).failure();                    \
    } while (0)
