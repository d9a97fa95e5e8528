/*******************************************************************************************
*  socket_posix.cpp — socket.h on BSD sockets
*
*  Loopback TCP only. Descriptors are close-on-exec so the launcher we start never holds one
*  of ours, and sends never raise SIGPIPE: a launcher that went away is an ordinary failure.
*******************************************************************************************/
#include "platform/socket.h"

#include <cerrno>
#include <utility>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

namespace vlr::platform {

void Socket::close() {
    if (native_ != kInvalid) ::close(static_cast<int>(native_));
    native_ = kInvalid;
}

bool socketsReady() { return true; }

static int fdOf(const Socket& socket) { return static_cast<int>(socket.native()); }

static sockaddr_in loopbackAddress(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

Socket tcpSocket(std::uint32_t timeoutMs) {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
    if (fd < 0) return Socket();
    Socket socket(fd);
    setTimeouts(socket, timeoutMs);
    return socket;
}

void setTimeouts(Socket& socket, std::uint32_t timeoutMs) {
    if (!socket.valid()) return;
    // A zero timeval means no time-out, just as 0 ms does for the caller.
    timeval timeout{};
    timeout.tv_sec = static_cast<time_t>(timeoutMs / 1000);
    timeout.tv_usec = static_cast<suseconds_t>((timeoutMs % 1000) * 1000);
    setsockopt(fdOf(socket), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    setsockopt(fdOf(socket), SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
}

bool connectLoopback(Socket& socket, int port) {
    if (!socket.valid() || port <= 0 || port > 65535) return false;
    sockaddr_in address = loopbackAddress(port);
    if (::connect(fdOf(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) return true;
    if (errno != EINTR) return false;
    // An interrupted connect goes on in the background; wait for its outcome.
    pollfd entry{fdOf(socket), POLLOUT, 0};
    int ready;
    do {
        ready = ::poll(&entry, 1, -1);
    } while (ready < 0 && errno == EINTR);
    int error = 0;
    socklen_t length = sizeof error;
    return ready > 0 && getsockopt(fdOf(socket), SOL_SOCKET, SO_ERROR, &error, &length) == 0 && error == 0;
}

bool sendAll(Socket& socket, const char* data, std::size_t size) {
    if (!socket.valid()) return false;
    while (size > 0) {
        ssize_t sent = ::send(fdOf(socket), data, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) continue;
        if (sent <= 0) return false;
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

long receiveSome(Socket& socket, char* buffer, std::size_t size) {
    if (!socket.valid()) return -1;
    for (;;) {
        ssize_t received = ::recv(fdOf(socket), buffer, size, 0);
        if (received < 0 && errno == EINTR) continue;
        return static_cast<long>(received);
    }
}

int bindLoopback(Socket& socket, int port) {
    if (!socket.valid() || port < 0 || port > 65535) return 0;
    sockaddr_in address = loopbackAddress(port);
    if (::bind(fdOf(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return 0;
    sockaddr_in bound{};
    socklen_t length = sizeof bound;
    if (getsockname(fdOf(socket), reinterpret_cast<sockaddr*>(&bound), &length) != 0) return 0;
    return ntohs(bound.sin_port);
}

bool listenOn(Socket& socket, int backlog) {
    return socket.valid() && ::listen(fdOf(socket), backlog) == 0;
}

Socket acceptOne(Socket& socket) {
    if (!socket.valid()) return Socket();
    // Linux applies the receive time-out to accept, so a test peer cannot wait for ever.
    for (;;) {
        int fd = ::accept4(fdOf(socket), nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0) return Socket(fd);
        if (errno != EINTR) return Socket();
    }
}

void shutdownSend(Socket& socket) {
    if (socket.valid()) ::shutdown(fdOf(socket), SHUT_WR);
}

}  // namespace vlr::platform
