/*******************************************************************************************
*  socket_win32.cpp — socket.h on Winsock 2
*
*  Winsock is started once, on first use, from whichever thread gets there first. A SOCKET is
*  kept in an intptr_t; INVALID_SOCKET becomes Socket::kInvalid.
*******************************************************************************************/
#include "platform/socket.h"

#include <climits>
#include <utility>

#include <winsock2.h>
#include <ws2tcpip.h>

namespace vlr::platform {

static SOCKET handleOf(const Socket& socket) { return static_cast<SOCKET>(socket.native()); }

static Socket wrap(SOCKET handle) {
    return handle == INVALID_SOCKET ? Socket() : Socket(static_cast<std::intptr_t>(handle));
}

void Socket::close() {
    if (native_ != kInvalid) closesocket(static_cast<SOCKET>(native_));
    native_ = kInvalid;
}

bool socketsReady() {
    // A function-local static is initialised exactly once even when threads race for it.
    static const bool ready = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return ready;
}

static sockaddr_in loopbackAddress(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

Socket tcpSocket(std::uint32_t timeoutMs) {
    if (!socketsReady()) return Socket();
    Socket socket = wrap(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    setTimeouts(socket, timeoutMs);
    return socket;
}

void setTimeouts(Socket& socket, std::uint32_t timeoutMs) {
    if (!socket.valid()) return;
    const DWORD timeout = timeoutMs;  // milliseconds; 0 waits for ever
    setsockopt(handleOf(socket), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    setsockopt(handleOf(socket), SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
}

bool connectLoopback(Socket& socket, int port) {
    if (!socket.valid() || port <= 0 || port > 65535) return false;
    sockaddr_in address = loopbackAddress(port);
    return ::connect(handleOf(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

bool sendAll(Socket& socket, const char* data, std::size_t size) {
    if (!socket.valid()) return false;
    while (size > 0) {
        int chunk = size > INT_MAX ? INT_MAX : static_cast<int>(size);
        int sent = ::send(handleOf(socket), data, chunk, 0);
        if (sent <= 0) return false;
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

long receiveSome(Socket& socket, char* buffer, std::size_t size) {
    if (!socket.valid()) return -1;
    int chunk = size > INT_MAX ? INT_MAX : static_cast<int>(size);
    return ::recv(handleOf(socket), buffer, chunk, 0);
}

int bindLoopback(Socket& socket, int port) {
    if (!socket.valid() || port < 0 || port > 65535) return 0;
    sockaddr_in address = loopbackAddress(port);
    if (::bind(handleOf(socket), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) return 0;
    sockaddr_in bound{};
    int length = sizeof bound;
    if (getsockname(handleOf(socket), reinterpret_cast<sockaddr*>(&bound), &length) != 0) return 0;
    return ntohs(bound.sin_port);
}

bool listenOn(Socket& socket, int backlog) {
    return socket.valid() && ::listen(handleOf(socket), backlog) == 0;
}

Socket acceptOne(Socket& socket) {
    if (!socket.valid()) return Socket();
    // Winsock's accept ignores the receive time-out; wait for a caller with select instead, so
    // that a test peer gives up just as it does on other systems.
    DWORD timeout = 0;
    int length = sizeof timeout;
    if (getsockopt(handleOf(socket), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<char*>(&timeout), &length) == 0 &&
        timeout > 0) {
        fd_set readable;
        FD_ZERO(&readable);
        FD_SET(handleOf(socket), &readable);
        timeval limit{};
        limit.tv_sec = static_cast<long>(timeout / 1000);
        limit.tv_usec = static_cast<long>((timeout % 1000) * 1000);
        if (select(0, &readable, nullptr, nullptr, &limit) != 1) return Socket();
    }
    return wrap(::accept(handleOf(socket), nullptr, nullptr));
}

void shutdownSend(Socket& socket) {
    if (socket.valid()) ::shutdown(handleOf(socket), SD_SEND);
}

}  // namespace vlr::platform
