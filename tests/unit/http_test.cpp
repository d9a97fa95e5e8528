/*******************************************************************************************
*  http_test.cpp — the loopback HTTP client against a scripted peer and the demo launcher
*******************************************************************************************/
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "demo_peer.h"
#include "link/http.h"
#include "link/link.h"
#include "platform/socket.h"

namespace vlr {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A one-connection server on a thread: reads one request, then answers with fixed bytes
// (in pieces when asked) and closes, or holds the connection until the client gives up.
class FakeServer {
public:
    struct Script {
        std::string answer;
        std::size_t piece = 0;  // bytes per send; 0: all at once
        bool stall = false;     // never answer; wait for the client to close
        int gapMs = 1;          // pause after each piece
    };

    explicit FakeServer(Script script) : script_(std::move(script)) {
        listener_ = platform::tcpSocket(10000);
        port = platform::bindLoopback(listener_, 0);
        if (port == 0 || !platform::listenOn(listener_, 4)) {
            port = 0;
            return;
        }
        thread_ = std::thread([this] { serve(); });
    }

    ~FakeServer() {
        if (!thread_.joinable()) return;
        if (!accepted_) {  // nobody came: knock once so that accept returns
            platform::Socket knock = platform::tcpSocket(1000);
            platform::connectLoopback(knock, port);
        }
        thread_.join();
    }

    // The request as it arrived; read it after the exchange.
    std::string request() {
        if (thread_.joinable()) thread_.join();
        return request_;
    }

    int port = 0;

private:
    void serve() {
        platform::Socket client = platform::acceptOne(listener_);
        accepted_ = true;
        if (!client.valid()) return;
        char buffer[4096];
        while (!requestComplete()) {
            const long received = platform::receiveSome(client, buffer, sizeof buffer);
            if (received <= 0) return;
            request_.append(buffer, static_cast<std::size_t>(received));
        }
        if (script_.stall) {
            while (platform::receiveSome(client, buffer, sizeof buffer) > 0) {
            }
            return;
        }
        const std::size_t piece = script_.piece ? script_.piece : script_.answer.size();
        for (std::size_t at = 0; at < script_.answer.size(); at += piece) {
            const std::size_t size = std::min(piece, script_.answer.size() - at);
            if (!platform::sendAll(client, script_.answer.data() + at, size)) return;
            if (script_.piece) std::this_thread::sleep_for(milliseconds(script_.gapMs));
        }
    }

    bool requestComplete() const {
        const std::size_t headEnd = request_.find("\r\n\r\n");
        if (headEnd == std::string::npos) return false;
        const std::size_t length = request_.find("Content-Length: ");
        if (length == std::string::npos || length > headEnd) return true;
        const std::size_t bodySize = std::stoul(request_.substr(length + 16));
        return request_.size() >= headEnd + 4 + bodySize;
    }

    Script script_;
    platform::Socket listener_;
    std::thread thread_;
    std::atomic<bool> accepted_{false};
    std::string request_;
};

void linkTo(Link& link, int port, std::string token) {
    link.port = port;
    link.token = std::move(token);
}

Json postTo(FakeServer& server, std::string_view action = "state", std::string_view body = "{}",
            std::uint32_t timeoutMs = 5000) {
    Link link;
    linkTo(link, server.port, "0123456789abcdef0123456789abcdef");
    return post(link, action, body, timeoutMs);
}

bool isNoAnswer(const Json& answer) {
    return answer.isObject() && answer.members.size() == 1 && asText(get(answer, "error")) == kNoAnswer;
}

// ---- request bytes ----

TEST(Http, RequestBytesAreExact) {
    EXPECT_EQ(postRequest(5123, "tok", "state", "{}"),
              "POST /api/state HTTP/1.1\r\nHost: 127.0.0.1:5123\r\nX-VLR-Token: tok\r\n"
              "Content-Type: application/json\r\nContent-Length: 2\r\nConnection: close\r\n\r\n{}");
    EXPECT_EQ(postRequest(80, "t", "download-compiler", ""),
              "POST /api/download-compiler HTTP/1.1\r\nHost: 127.0.0.1:80\r\nX-VLR-Token: t\r\n"
              "Content-Type: application/json\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    // The length counts bytes, not characters.
    EXPECT_NE(postRequest(1, "t", "a", "{\"n\": \"\xC3\xA9\"}").find("Content-Length: 11\r\n"), std::string::npos);
}

// ---- against a scripted peer ----

TEST(Http, RoundTripSendsTheRequestAndReadsTheBody) {
    FakeServer server({"HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n\r\n{\"ok\": true, \"n\": 5}"});
    ASSERT_NE(server.port, 0);
    const Json answer = postTo(server, "play", "{\"profile\": \"A\"}");
    EXPECT_TRUE(isTrue(get(answer, "ok")));
    EXPECT_EQ(asInt(get(answer, "n")), 5);
    EXPECT_EQ(server.request(),
              postRequest(server.port, "0123456789abcdef0123456789abcdef", "play", "{\"profile\": \"A\"}"));
}

TEST(Http, AnswerArrivingInManySmallPiecesIsWhole) {
    const std::string text(100000, 'x');
    FakeServer server({"HTTP/1.1 200 OK\r\n\r\n{\"text\": \"" + text + "\"}", 997});
    EXPECT_EQ(asText(get(postTo(server), "text")).size(), text.size());
}

TEST(Http, AnswersAreTakenUpToTheCap) {
    const std::string head = "HTTP/1.1 200 OK\r\n\r\n\"";
    FakeServer largest({head + std::string(kMaxAnswerBytes - head.size(), 'z')});
    EXPECT_EQ(postTo(largest).text.size(), kMaxAnswerBytes - head.size());
    FakeServer endless({head + std::string(kMaxAnswerBytes + (4u << 20), 'z')});
    EXPECT_TRUE(isNoAnswer(postTo(endless)));
}

TEST(Http, OnlyACompleteHttp11OkAnswerCounts) {
    struct Case {
        const char* answer;
        bool noAnswer;
    };
    const Case cases[] = {
        {"HTTP/1.0 200 OK\r\n\r\n{\"ok\": true}", true},
        {"HTTP/1.1 404 Not Found\r\n\r\n{\"ok\": true}", true},
        {"HTTP/1.1 500 Internal Server Error\r\n\r\n", true},
        {"HTTP/1.1 200 OK\r\nContent-Type: application/json\r\n{\"ok\": true}", true},  // no blank line
        {"HTTP/1.1 200", true},
        {"", true},
        {"HTTP/1.1 200 OK\r\n\r\n", false},          // head only: a success without content
        {"HTTP/1.1 200 OK\r\n\r\nnot json", false},  // forgiving: whatever could be read
    };
    for (const Case& c : cases) {
        FakeServer server({c.answer});
        ASSERT_NE(server.port, 0);
        const Json answer = postTo(server);
        EXPECT_EQ(isNoAnswer(answer), c.noAnswer) << c.answer;
        if (!c.noAnswer) {
            EXPECT_TRUE(succeeded(answer)) << c.answer;
        }
    }
    FakeServer headOnly({"HTTP/1.1 200 OK\r\n\r\n"});
    EXPECT_TRUE(postTo(headOnly).isNull());

    // The launcher's own failures pass through untouched.
    FakeServer refused({"HTTP/1.1 200 OK\r\n\r\n{\"error\": \"Disk full.\"}"});
    EXPECT_EQ(asText(get(postTo(refused), "error")), "Disk full.");
}

TEST(Http, StalledOrDribblingAnswerEndsAtTheDeadline) {
    FakeServer server({"", 0, true});
    Clock::time_point start = Clock::now();
    const Json answer = postTo(server, "state", "{}", 500);
    auto waited = std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
    EXPECT_TRUE(isNoAnswer(answer));
    EXPECT_GE(waited, 400);
    EXPECT_LT(waited, 3000);

    // A byte every 30 ms would take 7 s; the time-out holds for the whole request, and
    // what arrived by then is read as far as it goes.
    FakeServer dribbler({"HTTP/1.1 200 OK\r\n\r\n[" + std::string(200, '1'), 1, false, 30});
    start = Clock::now();
    const Json partial = postTo(dribbler, "state", "{}", 1000);
    waited = std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
    EXPECT_TRUE(partial.isArray());
    EXPECT_GE(waited, 900);
    EXPECT_LT(waited, 2500);
}

TEST(Http, NoListenerMeansNoAnswerAtOnce) {
    // A bound socket that does not listen keeps the port ours and refuses connections.
    platform::Socket holder = platform::tcpSocket(1000);
    const int port = platform::bindLoopback(holder, 0);
    ASSERT_NE(port, 0);
    Link link;
    linkTo(link, port, "t");
    const Clock::time_point start = Clock::now();
    EXPECT_TRUE(isNoAnswer(post(link, "state", "{}", 5000)));
    EXPECT_LT(Clock::now() - start, milliseconds(2000));

    auto never = [](const char*, std::size_t) { return true; };
    EXPECT_FALSE(exchange(port, "x", 1000, never));
    EXPECT_FALSE(exchange(0, "x", 1000, never));
    linkTo(link, 0, "t");
    EXPECT_TRUE(isNoAnswer(post(link, "state", "{}", 5000)));
}

TEST(Http, ExchangeReportsTheSendAndStopsWhenTheCallbackSaysSo) {
    FakeServer server({"HTTP/1.1 200 OK\r\n\r\n" + std::string(200000, 'y'), 4096});
    int calls = 0;
    const bool sent = exchange(server.port, postRequest(server.port, "t", "state", "{}"), 5000,
                               [&calls](const char*, std::size_t) { return ++calls < 2; });
    EXPECT_TRUE(sent);
    EXPECT_EQ(calls, 2);

    FakeServer silent({""});
    EXPECT_TRUE(exchange(silent.port, postRequest(silent.port, "t", "state", "{}"), 5000,
                         [](const char*, std::size_t) { return true; }));
}

// ---- against the demo launcher ----

TEST(HttpDemo, PostCarriesTheTokenAndAWrongOneIsRefused) {
    test::DemoPeer peer;
    VLR_REQUIRE_DEMO_PEER(peer);
    const Json state = post(peer.link, "state", "{}", 5000);
    EXPECT_TRUE(succeeded(state)) << asText(get(state, "error"));
    EXPECT_TRUE(get(state, "steps").isObject());

    Link stranger;
    linkTo(stranger, peer.port, "ffffffffffffffffffffffffffffffff");
    const Json refused = post(stranger, "state", "{}", 5000);
    EXPECT_FALSE(succeeded(refused));
    EXPECT_NE(asText(get(refused, "error")), kNoAnswer);  // the launcher's own words

    const std::vector<Json> log = peer.logEntries();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(asText(get(log[0], "action")), "state");
    EXPECT_EQ(asText(get(log[0], "body")), "{}");
    EXPECT_TRUE(isTrue(get(log[0], "token_ok")));
    EXPECT_FALSE(isTrue(get(log[1], "token_ok")));
}

TEST(HttpDemo, MisshapenAnswers) {
    test::DemoPeer peer;
    VLR_REQUIRE_DEMO_PEER(peer);
    auto raw = [&peer](const std::string& bytes) {
        return post(peer.link, "test-raw", "{\"raw\": " + quoteJson(bytes) + "}", 5000);
    };
    EXPECT_TRUE(isNoAnswer(raw("HTTP/1.0 200 OK\r\nConnection: close\r\n\r\n{\"ok\": true}")));
    EXPECT_TRUE(isNoAnswer(raw("HTTP/1.1 404 Not Found\r\nConnection: close\r\n\r\n{\"ok\": true}")));
    EXPECT_TRUE(isNoAnswer(raw("HTTP/1.1 200 OK\r\nConnection: close\r\n{\"ok\": true}")));
    const Json headOnly = raw("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n");
    EXPECT_TRUE(headOnly.isNull());
    EXPECT_TRUE(succeeded(headOnly));
    EXPECT_TRUE(isTrue(get(raw("HTTP/1.1 200 OK\r\n\r\n{\"ok\": true}"), "ok")));
}

TEST(HttpDemo, StalledLauncherTimesOut) {
    test::DemoPeer peer;
    VLR_REQUIRE_DEMO_PEER(peer);
    const Clock::time_point start = Clock::now();
    const Json answer = post(peer.link, "test-stall", "{\"seconds\": 3}", 600);
    const auto waited = std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
    EXPECT_TRUE(isNoAnswer(answer));
    EXPECT_GE(waited, 500);
    EXPECT_LT(waited, 2500);
}

}  // namespace
}  // namespace vlr
