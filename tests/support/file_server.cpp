/*******************************************************************************************
*  file_server.cpp — the first-start tests' local HTTP server
*******************************************************************************************/
#include "file_server.h"

#include <chrono>

namespace vlr::test {

FileServer::FileServer() {
    listener_ = platform::tcpSocket(0);
    if (!listener_.valid()) return;
    port_ = platform::bindLoopback(listener_, 0);
    if (port_ == 0 || !platform::listenOn(listener_, 16)) {
        port_ = 0;
        return;
    }
    thread_ = std::thread([this] { run(); });
}

FileServer::~FileServer() {
    if (thread_.joinable()) {
        stopping_ = true;
        platform::Socket poke = platform::tcpSocket(1000);  // wakes the accept
        platform::connectLoopback(poke, port_);
        thread_.join();
    }
}

std::string FileServer::url(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void FileServer::serve(const std::string& path, std::string body, int status) {
    std::lock_guard<std::mutex> hold(lock_);
    routes_[path] = Route{status, std::move(body)};
}

void FileServer::serveEndless(const std::string& path, std::string body, int everyMs) {
    std::lock_guard<std::mutex> hold(lock_);
    routes_[path] = Route{200, std::move(body), true, everyMs};
}

void FileServer::serveSilent(const std::string& path) {
    std::lock_guard<std::mutex> hold(lock_);
    routes_[path] = Route{200, {}, false, 0, true};
}

void FileServer::serveRedirect(const std::string& path, std::string location) {
    std::lock_guard<std::mutex> hold(lock_);
    routes_[path] = Route{302, {}, false, 0, false, std::move(location)};
}

int FileServer::hits(const std::string& path) const {
    std::lock_guard<std::mutex> hold(lock_);
    auto found = hits_.find(path);
    return found == hits_.end() ? 0 : found->second;
}

int FileServer::totalHits() const {
    std::lock_guard<std::mutex> hold(lock_);
    int total = 0;
    for (const auto& [path, count] : hits_) total += count;
    return total;
}

void FileServer::run() {
    while (!stopping_) {
        platform::Socket client = platform::acceptOne(listener_);
        if (stopping_) break;
        if (client.valid()) answer(client);
    }
}

void FileServer::answer(platform::Socket& client) {
    std::string request;
    char chunk[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
        long got = platform::receiveSome(client, chunk, sizeof chunk);
        if (got <= 0) return;
        request.append(chunk, static_cast<std::size_t>(got));
    }
    const std::size_t start = request.find(' ');
    const std::size_t end = start == std::string::npos ? std::string::npos : request.find(' ', start + 1);
    if (end == std::string::npos) return;
    const std::string path = request.substr(start + 1, end - start - 1);
    const bool head = request.compare(0, 5, "HEAD ") == 0;

    Route route{404, "<html><body><h1>404 Not Found</h1></body></html>"};
    {
        std::lock_guard<std::mutex> hold(lock_);
        ++hits_[path];
        auto found = routes_.find(path);
        if (found != routes_.end()) route = found->second;
    }
    const char* reason = route.status == 200   ? "OK"
                         : route.status == 302 ? "Found"
                         : route.status == 404 ? "Not Found"
                                               : "Error";
    std::string header = "HTTP/1.1 " + std::to_string(route.status) + " " + reason +
                         (route.location.empty() ? "" : "\r\nLocation: " + route.location) + "\r\nContent-Type: " +
                         (route.status == 200 ? "application/zip" : "text/html") +
                         "\r\nContent-Length: " + std::to_string(route.body.size()) + "\r\nConnection: close\r\n\r\n";
    if (route.silent) {
        // Short receive waits, so that a stop is seen while the client stays; an error that
        // comes back at once is a broken connection, not a wait.
        platform::setTimeouts(client, 100);
        while (!stopping_) {
            const auto before = std::chrono::steady_clock::now();
            const long got = platform::receiveSome(client, chunk, sizeof chunk);
            if (got == 0 || (got < 0 && std::chrono::steady_clock::now() - before < std::chrono::milliseconds(50)))
                return;
        }
        return;
    }
    if (route.endless) {
        header = "HTTP/1.1 200 OK\r\nContent-Type: application/zip\r\nConnection: close\r\n\r\n";
        if (!platform::sendAll(client, header.data(), header.size())) return;
        while (!stopping_ && platform::sendAll(client, route.body.data(), route.body.size()))
            if (route.everyMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(route.everyMs));
        return;
    }
    if (!platform::sendAll(client, header.data(), header.size())) return;
    if (!head) platform::sendAll(client, route.body.data(), route.body.size());
    platform::shutdownSend(client);
}

int closedPort() {
    platform::Socket socket = platform::tcpSocket(1000);
    return platform::bindLoopback(socket, 0);
}

}  // namespace vlr::test
