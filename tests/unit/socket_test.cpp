/*******************************************************************************************
*  socket_test.cpp — loopback TCP through socket.h, natively and under Wine
*******************************************************************************************/
#include "platform/socket.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

using namespace vlr::platform;
using namespace std::chrono_literals;

namespace {

// A listening socket on a free loopback port.
struct Listener {
    Socket socket;
    int port = 0;
    explicit Listener(std::uint32_t timeoutMs = 5000) : socket(tcpSocket(timeoutMs)) {
        port = bindLoopback(socket, 0);
        if (port > 0 && !listenOn(socket, 4)) port = 0;
    }
};

std::string receiveAll(Socket& socket) {
    std::string all;
    char buffer[16384];
    long n;
    while ((n = receiveSome(socket, buffer, sizeof buffer)) > 0) all.append(buffer, static_cast<std::size_t>(n));
    return all;
}

}  // namespace

TEST(Sockets, RoundTripOverLoopback) {
    ASSERT_TRUE(socketsReady());
    Listener server;
    ASSERT_GT(server.port, 0);
    Socket client = tcpSocket(5000);
    ASSERT_TRUE(connectLoopback(client, server.port));
    Socket peer = acceptOne(server.socket);
    ASSERT_TRUE(peer.valid());

    ASSERT_TRUE(sendAll(client, "ping", 4));
    shutdownSend(client);
    EXPECT_EQ(receiveAll(peer), "ping") << "ends with 0 once the client half-closed";
    ASSERT_TRUE(sendAll(peer, "pong\0!", 6));
    peer.close();
    EXPECT_EQ(receiveAll(client), std::string("pong\0!", 6));
}

TEST(Sockets, LargeSendsArriveWhole) {
    Listener server;
    ASSERT_GT(server.port, 0);
    Socket client = tcpSocket(10000);
    ASSERT_TRUE(connectLoopback(client, server.port));
    Socket peer = acceptOne(server.socket);
    ASSERT_TRUE(peer.valid());

    std::string data(4 << 20, '\0');  // far more than the socket buffers: sendAll must loop
    for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 31 % 251);
    std::string received;
    std::thread reader([&] { received = receiveAll(peer); });
    EXPECT_TRUE(sendAll(client, data.data(), data.size()));
    shutdownSend(client);
    reader.join();
    EXPECT_EQ(received.size(), data.size());
    EXPECT_TRUE(received == data);
}

TEST(Sockets, ReceiveAndAcceptGiveUpAfterTheTimeOut) {
    Listener server(300);
    ASSERT_GT(server.port, 0);
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(acceptOne(server.socket).valid()) << "nobody connects";
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 200ms);
    EXPECT_LT(waited, 5s);

    Socket client = tcpSocket(300);
    ASSERT_TRUE(connectLoopback(client, server.port));
    Socket peer = acceptOne(server.socket);  // connected but silent
    ASSERT_TRUE(peer.valid());
    char buffer[16];
    start = std::chrono::steady_clock::now();
    EXPECT_LT(receiveSome(client, buffer, sizeof buffer), 0);
    waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, 200ms);
    EXPECT_LT(waited, 5s);
}

TEST(Sockets, ConnectingToAClosedPortFails) {
    int port;
    {
        Socket probe = tcpSocket(1000);
        port = bindLoopback(probe, 0);  // bound, never listening, then closed
    }
    ASSERT_GT(port, 0);
    Socket client = tcpSocket(1000);
    EXPECT_FALSE(connectLoopback(client, port));
    EXPECT_FALSE(connectLoopback(client, 0));
    EXPECT_FALSE(connectLoopback(client, 70000));
}

TEST(Sockets, InvalidSocketsFailQuietly) {
    Socket none;
    char buffer[4];
    EXPECT_FALSE(connectLoopback(none, 80));
    EXPECT_FALSE(sendAll(none, "x", 1));
    EXPECT_LT(receiveSome(none, buffer, sizeof buffer), 0);
    EXPECT_EQ(bindLoopback(none, 0), 0);
    EXPECT_FALSE(listenOn(none, 1));
    EXPECT_FALSE(acceptOne(none).valid());
    shutdownSend(none);

    Socket real = tcpSocket(0);
    EXPECT_EQ(bindLoopback(real, -1), 0);
    Socket moved = std::move(real);
    EXPECT_FALSE(real.valid());
    EXPECT_TRUE(moved.valid());
}
