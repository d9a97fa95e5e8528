/*******************************************************************************************
*  events_test.cpp — event stream framing, and the stream thread against the demo launcher
*******************************************************************************************/
#include <gtest/gtest.h>

#include <atomic>

#include <chrono>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "demo_peer.h"
#include "link/commands.h"
#include "link/events.h"
#include "link/handover.h"
#include "link/http.h"
#include "link/link.h"
#include "link/state.h"
#include "pages/console.h"
#include "platform/socket.h"
#include "window_test.h"

namespace vlr {
namespace {

// A canonical text of a value, so that message lists compare as a whole.
std::string describe(const Json& value) {
    switch (value.kind) {
        case JsonKind::Null: return "null<" + value.text + ">";
        case JsonKind::False: return "false";
        case JsonKind::True: return "true";
        case JsonKind::Number: return "num<" + value.text + ">";
        case JsonKind::String: return quoteJson(value.text);
        case JsonKind::Array: {
            std::string out = "[";
            for (const Json& item : value.items) out += describe(item) + ",";
            return out + "]";
        }
        case JsonKind::Object: {
            std::string out = "{";
            for (const auto& member : value.members) out += quoteJson(member.first) + ":" + describe(member.second) + ",";
            return out + "}";
        }
    }
    return "?";
}

// A parser that records what it reports.
struct Recorder {
    EventStreamParser parser;
    int connects = 0;
    std::vector<std::string> messages;

    Recorder() {
        parser.onConnect = [this] { ++connects; };
        parser.onMessage = [this](Json&& message) { messages.push_back(describe(message)); };
    }
    bool feed(std::string_view bytes) { return parser.feed(bytes.data(), bytes.size()); }
};

const std::string kHead = "HTTP/1.1 200 OK\r\nContent-Type: text/event-stream\r\nConnection: close\r\n\r\n";

// ---- framing ----

TEST(EventStream, RequestBytesAreExact) {
    EXPECT_EQ(eventsRequest(4242, "abc123"), "GET /events?t=abc123 HTTP/1.1\r\nHost: 127.0.0.1:4242\r\n\r\n");
}

TEST(EventStream, SplitAnywhereGivesTheSameMessages) {
    const std::string stream = kHead +
                               "data: {\"lines\": [\"a\\n\", \"b\"]}\n\n"
                               ": keep-alive\n\n"
                               "data: {\"state\": true}\n\n"
                               "data:{\"lines\": [\"no space, dropped\"]}\n\n"
                               "event: other\n\n"
                               // "\r\n\r\n" holds no "\n\n": these two are one event
                               "data: {\"lines\": [\"\\u00e9\"]}\r\n\r\ndata: {\"x\": 1}\n\n"
                               "data: {\"state\": true} trailing words\n\n"
                               "data: {\"lines\": [\"never ended\"]}";
    Recorder whole;
    ASSERT_TRUE(whole.feed(stream));
    EXPECT_EQ(whole.connects, 1);
    const std::vector<std::string> expected = {
        R"({"lines":["a\u000a","b",],})",
        R"({"state":true,})",
        "{\"lines\":[\"\xC3\xA9\",],}",
        R"({"state":true,})",
    };
    EXPECT_EQ(whole.messages, expected);

    for (std::size_t split = 0; split <= stream.size(); ++split) {
        Recorder two;
        ASSERT_TRUE(two.feed(std::string_view(stream).substr(0, split)));
        ASSERT_TRUE(two.feed(std::string_view(stream).substr(split)));
        ASSERT_EQ(two.connects, 1) << "split at " << split;
        ASSERT_EQ(two.messages, expected) << "split at " << split;
    }
    Recorder bytes;
    for (char c : stream) ASSERT_TRUE(bytes.feed(std::string_view(&c, 1)));
    EXPECT_EQ(bytes.connects, 1);
    EXPECT_EQ(bytes.messages, expected);
}

TEST(EventStream, EventsInOneChunkComeInOrder) {
    Recorder recorder;
    ASSERT_TRUE(recorder.feed(kHead));
    EXPECT_EQ(recorder.connects, 1);
    EXPECT_TRUE(recorder.messages.empty());
    ASSERT_TRUE(recorder.feed("data: {\"n\": 1}\n\ndata: {\"n\": 2}\n\ndata: {\"n\""));
    EXPECT_EQ(recorder.messages, (std::vector<std::string>{"{\"n\":num<1>,}", "{\"n\":num<2>,}"}));
    ASSERT_TRUE(recorder.feed(": 3}\n\n"));
    EXPECT_EQ(recorder.messages.back(), "{\"n\":num<3>,}");
    EXPECT_TRUE(recorder.parser.buffer.empty());

    // Data that is not JSON still arrives, as whatever could be read.
    ASSERT_TRUE(recorder.feed("data: \n\ndata: ]\n\n"));
    EXPECT_EQ(recorder.messages.size(), 5u);
    EXPECT_EQ(recorder.messages[3], "null<>");
}

TEST(EventStream, BadHeadsEndTheConnection) {
    for (const char* head : {"HTTP/1.1 404 Not Found\r\n\r\n", "HTTP/1.0 200 OK\r\n\r\n", "HTTP/1.1\r\n\r\n",
                             "\r\n\r\n"}) {
        Recorder recorder;
        EXPECT_FALSE(recorder.feed(std::string(head) + "data: {\"state\": true}\n\n")) << head;
        EXPECT_EQ(recorder.connects, 0) << head;
        EXPECT_TRUE(recorder.messages.empty()) << head;
    }

    // A head that never ends is refused once it reaches 64 KiB.
    Recorder endless;
    std::string piece = "HTTP/1.1 200 OK\r\nX-Pad: ";
    piece.resize(16384, 'p');
    std::size_t fed = 0;
    bool open = true;
    while (open && fed < 70000) {
        open = endless.feed(piece);
        fed += piece.size();
        piece.assign(16384, 'p');
    }
    EXPECT_FALSE(open);
    EXPECT_EQ(fed, 65536u);
    EXPECT_EQ(endless.connects, 0);
}

// ---- events of any size ----

// An event's JSON with `count` elements of "lines" in every shape the reader must get right
// (escapes, bare tokens, nested values, unended lines), members before it that look like it,
// and a second "lines" and "state" that do not count.
std::string largeEventJson(int count) {
    std::string json = R"({"x": {"lines": ["not these\n"], "s": "]}\"\\"}, "lines" : [)";
    for (int i = 0; i < count; ++i) {
        json += i ? ", " : "";
        const std::string n = std::to_string(i);
        switch (i % 6) {
            case 0: json += quoteJson("line " + n + " caf\xC3\xA9\t\"q\" \\ \x01\n"); break;
            case 1: json += "\"\\u00e9\\ud83d\\ude00 " + n + "\\r\\n\""; break;
            case 2: json += n; break;
            case 3: json += R"(["nested\n", {"a": "]"}])"; break;
            case 4: json += "\"long " + std::string(i % 60 == 4 ? 5000 + i % 97 : 9, 'y') + "\\n\""; break;
            default: json += "\"open " + n + " \""; break;
        }
    }
    return json + R"(], "lines": ["duplicate\n"], "state": true, "state": false})";
}

class LargeEventTest : public test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        setTheLink(&link_);
    }
    static std::string console() {
        const WindowState& window = windowState();
        return consoleText(window.console, window.consoleJoined, window.consoleDropped);
    }
    Link link_;
};

TEST_F(LargeEventTest, AnEventOfAnySizeLeavesTheConsoleAsReadingItWholeWould) {
    for (const int count : {200, 36000}) {
        const std::string json = largeEventJson(count);
        // What handling the whole event would leave, had it no size bound.
        clearConsole();
        handleMessage(parseJson(json));
        appendConsole("after\n");
        const std::string expected = console();
        ASSERT_EQ(link_.commands.size(), 1u);

        // The stream, cut at every kind of place (escapes, separators) by chunks of 1 to 20000 bytes.
        link_.commands.clear();
        clearConsole();
        EventStreamParser parser;
        parser.onMessage = [](Json&& message) { handleMessage(message); };
        const std::string stream = kHead + ": a comment of 3 MB\n" + std::string(3 << 20, 'c') + "\n\ndata: " + json +
                                   "\n\ndata: {\"lines\": [\"after\\n\"]}\n\n";
        std::uint32_t seed = static_cast<std::uint32_t>(count);
        std::size_t held = 0;
        for (std::size_t at = 0; at < stream.size();) {
            seed = seed * 1664525u + 1013904223u;
            const std::size_t size = std::min<std::size_t>(1 + (seed >> 8) % 20000, stream.size() - at);
            ASSERT_TRUE(parser.feed(stream.data() + at, size));
            held = std::max(held, parser.buffer.size());
            at += size;
        }
        EXPECT_EQ(console(), expected) << count << " elements, " << json.size() << " bytes";
        EXPECT_EQ(link_.commands.size(), 1u) << "the state news, once";
        EXPECT_LE(held, kMaxEventBytes + 20000);
        EXPECT_TRUE(parser.buffer.empty());
        EXPECT_FALSE(parser.large);
    }
    EXPECT_GT(largeEventJson(36000).size(), 2 * kMaxEventBytes);
}

TEST(EventStream, AFastStreamWaitsForTheFrameThread) {
    Link link;
    std::atomic<int> posted{0};
    const std::size_t event = kMaxPendingEventBytes / 2;
    std::thread stream([&] {
        for (int i = 0; i < 6; ++i) {
            postEventTask(link, event, [] {});
            ++posted;
        }
    });
    auto settle = [&posted](int count) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (posted < count && std::chrono::steady_clock::now() < until) std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return posted.load();
    };
    EXPECT_EQ(settle(2), 2) << "two events fill the allowance; the third waits";
    EXPECT_EQ(takeUiTasks(link).size(), 2u);
    EXPECT_EQ(settle(4), 4);
    EXPECT_EQ(takeUiTasks(link).size(), 2u);
    EXPECT_EQ(settle(6), 6);
    stream.join();
    postUiTask(link, [] {});  // other tasks never wait
    EXPECT_EQ(takeUiTasks(link).size(), 3u);
}

TEST(EventStream, ResetStartsANewConnection) {
    Recorder recorder;
    ASSERT_TRUE(recorder.feed(kHead + "data: {\"n\": 1}\n\ndata: {\"n\": 2"));
    recorder.parser.reset();
    // The half event of the old connection is gone and the head is expected again.
    EXPECT_TRUE(recorder.feed("}\n\n"));
    EXPECT_EQ(recorder.messages.size(), 1u);
    recorder.parser.reset();
    ASSERT_TRUE(recorder.feed(kHead + "data: {\"n\": 3}\n\n"));
    EXPECT_EQ(recorder.connects, 2);
    EXPECT_EQ(recorder.messages, (std::vector<std::string>{"{\"n\":num<1>,}", "{\"n\":num<3>,}"}));
}

// ---- the stream thread ----

// Runs the tasks handed to `link` until `done` holds or the time is up.
bool runTasksUntil(Link& link, const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        for (UiTask& task : takeUiTasks(link)) task();
        if (done()) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// Takes the commands queued on the process-wide link (no command thread runs in tests).
std::deque<Command> takeQueuedCommands() {
    Link& link = theLink();
    std::lock_guard<std::mutex> hold(link.lock);
    return std::exchange(link.commands, {});
}

bool holdsStateRequest(const std::deque<Command>& commands) {
    for (const Command& command : commands)
        if (command.action == "state" && command.body == "{}") return true;
    return false;
}

// The stream thread never ends, so its link must outlive even static destruction.
Link& streamLink() {
    union Immortal {
        Link link;
        Immortal() : link() {}
        ~Immortal() {}
    };
    static Immortal storage;
    return storage.link;
}

TEST(EventStreamDemo, ReconnectsAfterARestartAndStartsAfresh) {
    Link& link = streamLink();
    // Holds the port after the test so that the thread, still retrying, cannot reach another
    // test's peer that happens to get the same port.
    static platform::Socket portHolder;

    WindowState& window = windowState();
    window.connected = false;
    clearConsole();
    takeQueuedCommands();
    {
        test::DemoPeerOptions options;
        options.keepAlive = "1";
        test::DemoPeer peer(options);
        VLR_REQUIRE_DEMO_PEER(peer);
        link.port = peer.port;
        link.token = peer.token;
        std::thread(runEvents, std::ref(link)).detach();

        using std::chrono::milliseconds;
        ASSERT_TRUE(runTasksUntil(link, [&] { return window.connected; }, milliseconds(10000)));
        EXPECT_TRUE(holdsStateRequest(takeQueuedCommands()));

        const Json sent = post(peer.link, "test-lines",
                               R"({"lines": ["hello\n", "wor", "ld\n"], "state": true})", 5000);
        ASSERT_TRUE(succeeded(sent)) << asText(get(sent, "error"));
        ASSERT_TRUE(runTasksUntil(link, [&] { return window.console.size() >= 2; }, milliseconds(5000)));
        EXPECT_EQ(window.console, (std::deque<std::string>{"hello", "world"}));
        EXPECT_TRUE(holdsStateRequest(takeQueuedCommands()));

        ASSERT_TRUE(peer.restart()) << peer.failure();
        ASSERT_TRUE(runTasksUntil(link, [&] { return !window.connected; }, milliseconds(10000)));
        EXPECT_EQ(window.console.size(), 2u);  // kept until a new connection is made
        ASSERT_TRUE(runTasksUntil(link, [&] { return window.connected; }, milliseconds(15000)));
        EXPECT_TRUE(window.console.empty());
        EXPECT_FALSE(window.openLine);

        // The state is asked for again; its answer, from the new launcher, is applied.
        std::deque<Command> queued = takeQueuedCommands();
        ASSERT_TRUE(holdsStateRequest(queued));
        for (Command& command : queued) {
            const Json answer = post(peer.link, command.action, command.body, 5000);
            ASSERT_TRUE(succeeded(answer)) << asText(get(answer, "error"));
            if (command.completion) command.completion(answer);
        }
        EXPECT_TRUE(window.stateReceived);
        EXPECT_TRUE(get(window.state, "steps").isObject());
        portHolder = platform::tcpSocket(1000);
        const int port = peer.port;
        peer.stop();
        platform::bindLoopback(portHolder, port);
    }
    window.connected = false;
    clearConsole();
    takeQueuedCommands();
}

}  // namespace
}  // namespace vlr
