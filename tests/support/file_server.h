/*******************************************************************************************
*  file_server.h — a tiny HTTP/1.1 file server on 127.0.0.1 for the first-start tests
*
*  Serves fixed bodies by path (anything else is a 404 page), one request per connection,
*  on a thread of its own, and counts the requests per path. Stops when it goes out of scope.
*
*      FileServer server;
*      server.serve("/python.zip", zipBytes);
*      downloadToFile(server.url("/python.zip"), ...);
*      EXPECT_EQ(server.hits("/python.zip"), 1);
*******************************************************************************************/
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "platform/socket.h"

namespace vlr::test {

class FileServer {
public:
    FileServer();
    ~FileServer();
    FileServer(const FileServer&) = delete;
    FileServer& operator=(const FileServer&) = delete;

    bool running() const { return port_ != 0; }
    int port() const { return port_; }
    std::string url(const std::string& path) const;

    // `status` 200 sends the body as a zip download; any other status sends it as an HTML page.
    void serve(const std::string& path, std::string body, int status = 200);
    // A zip download without a length that never ends: `body` sent again and again until the
    // client goes away, with a pause of `everyMs` milliseconds before each repeat (0: none).
    void serveEndless(const std::string& path, std::string body, int everyMs = 0);
    // Reads the request and never answers, until the client goes away.
    void serveSilent(const std::string& path);
    // Sends the client on to `location` (a 302 answer).
    void serveRedirect(const std::string& path, std::string location);
    int hits(const std::string& path) const;
    int totalHits() const;

private:
    struct Route {
        int status = 200;
        std::string body;
        bool endless = false;
        int everyMs = 0;
        bool silent = false;
        std::string location = {};  // a redirect's target
    };
    void run();
    void answer(platform::Socket& client);

    platform::Socket listener_;
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    mutable std::mutex lock_;
    std::map<std::string, Route> routes_;
    std::map<std::string, int> hits_;
    std::thread thread_;
};

// A loopback port where nothing listens (bound and released again).
int closedPort();

}  // namespace vlr::test
