/*******************************************************************************************
*  socket.h — loopback TCP, the only networking the window does
*
*  Winsock and BSD sockets differ only in names; this header hides both behind one move-only
*  Socket and a handful of calls. Every address is 127.0.0.1: the window talks to its launcher
*  and nothing else.
*******************************************************************************************/
#pragma once

#include <cstddef>
#include <cstdint>

namespace vlr::platform {

class Socket {
public:
    Socket() = default;
    explicit Socket(std::intptr_t native) : native_(native) {}
    ~Socket();
    Socket(Socket&& other) noexcept;
    Socket& operator=(Socket&& other) noexcept;
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool valid() const { return native_ != kInvalid; }
    std::intptr_t native() const { return native_; }
    void close();

    static constexpr std::intptr_t kInvalid = -1;

private:
    std::intptr_t native_ = kInvalid;
};

// Starts the socket library once per process (thread-safe); false for good when that failed.
bool socketsReady();

// An IPv4 TCP socket whose sends and receives give up after timeoutMs (0: wait for ever).
// Invalid when the socket library is not ready or the socket cannot be made.
Socket tcpSocket(std::uint32_t timeoutMs);

// Sets both time-outs of a socket anew (0: wait for ever).
void setTimeouts(Socket& socket, std::uint32_t timeoutMs);

bool connectLoopback(Socket& socket, int port);

// Sends every byte; false as soon as one send reports 0 or less.
bool sendAll(Socket& socket, const char* data, std::size_t size);

// One receive: > 0 bytes read, 0 when the peer closed, < 0 on error or time-out.
long receiveSome(Socket& socket, char* buffer, std::size_t size);

// Binds to 127.0.0.1:port (0 = any free port) and returns the bound port, 0 on failure.
int bindLoopback(Socket& socket, int port);

// For local test peers: listen on a bound socket, accept one connection (invalid on failure).
bool listenOn(Socket& socket, int backlog);
Socket acceptOne(Socket& socket);

// Half-close our sending side so the peer sees the end of the request or answer.
void shutdownSend(Socket& socket);

}  // namespace vlr::platform
