/*******************************************************************************************
*  bench_link.cpp — how fast the launcher link is
*
*  Prints: JSON parsing of the demo launcher's full state document (MB/s), the round trip of
*  a command to the demo launcher (median and 99th percentile, µs), console appending on a
*  mix of short and long lines (MB/s), one large event read as it streams into the console
*  (MB/s), and how long a peer that sends a byte every 4.9 s holds the start-up probe. A
*  program, not a test: it prints what it measured and judges nothing.
*
*      bench_link [path/to/tools/demo-launcher/launcher.py]
*******************************************************************************************/
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "link/events.h"
#include "link/http.h"
#include "link/json.h"
#include "link/link.h"
#include "link/state.h"
#include "platform/socket.h"

#include "demo_peer.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace vlr;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The script beside this source file's tree, unless given on the command line.
std::string launcherScript(int argc, char** argv) {
    if (argc > 1) return argv[1];
    std::string here = __FILE__;
    const std::string tail = "bench/bench_link.cpp";
    if (here.size() >= tail.size()) here.erase(here.size() - tail.size());
    return here + "tools/demo-launcher/launcher.py";
}

// The body of the launcher's answer to "state", as the bytes that arrived.
std::string fetchStateText(const Link& link) {
    std::string answer;
    exchange(link.port, postRequest(link.port, link.token, "state", "{}"), 5000, [&answer](const char* data, std::size_t size) {
        answer.append(data, size);
        return true;
    });
    const std::size_t headEnd = answer.find("\r\n\r\n");
    return headEnd == std::string::npos ? std::string() : answer.substr(headEnd + 4);
}

// A second document of the same shape, larger, and available even where no launcher runs.
std::string syntheticStateText() {
    std::string text = "{\"steps\": {\"Game disc checked\": true, \"Code generated\": false}, \"settings_stamp\": 3, "
                       "\"settings\": [";
    for (int i = 0; i < 600; ++i) {
        if (i) text += ", ";
        text += "{\"key\": \"option_" + std::to_string(i) + "\", \"value\": " +
                (i % 3 ? std::to_string(i * 17) : quoteJson("Some text value \u00e9 " + std::to_string(i))) + "}";
    }
    text += "], \"table\": {\"sections\": [";
    for (int i = 0; i < 60; ++i) {
        if (i) text += ", ";
        text += "{\"title\": \"Section " + std::to_string(i) +
                "\", \"rows\": [{\"key\": \"a\", \"kind\": \"bool\", \"label\": \"A setting with a long label\", "
                "\"help\": \"Text that explains the setting at some length, as help texts do.\"}, "
                "{\"key\": \"b\", \"kind\": \"int\", \"min\": -10, \"max\": 2.5e3}]}";
    }
    return text + "]}}";
}

std::size_t countValues(const Json& value) {
    std::size_t count = 1;
    for (const Json& item : value.items) count += countValues(item);
    for (const auto& member : value.members) count += countValues(member.second);
    return count;
}

void benchParse(const char* what, const std::string& text) {
    std::vector<double> rates;
    for (int round = 0; round < 7; ++round) {
        const Clock::time_point start = Clock::now();
        int runs = 0;
        do {
            const Json value = parseJson(text);
            runs += value.isObject() ? 1 : 1000000;  // keeps the parse from being optimised away
        } while (secondsSince(start) < 0.3);
        rates.push_back(static_cast<double>(text.size()) * runs / secondsSince(start) / 1e6);
    }
    std::sort(rates.begin(), rates.end());
    std::printf("JSON parse, %s: %zu bytes, %zu values: median %.0f MB/s, best %.0f MB/s\n", what, text.size(),
                countValues(parseJson(text)), rates[rates.size() / 2], rates.back());
}

void benchRoundTrip(const Link& link, const char* action, const std::string& body, int count) {
    std::vector<double> micros;
    micros.reserve(static_cast<std::size_t>(count));
    int failures = 0;
    for (int i = 0; i < count; ++i) {
        const Clock::time_point start = Clock::now();
        const Json answer = post(link, action, body, 5000);
        micros.push_back(secondsSince(start) * 1e6);
        if (!succeeded(answer)) ++failures;
    }
    std::sort(micros.begin(), micros.end());
    std::printf("post round trip \"%s\": %d requests, median %.0f us, p99 %.0f us, max %.0f us, %d failed\n", action,
                count, micros[micros.size() / 2], micros[micros.size() * 99 / 100], micros.back(), failures);
}

void benchConsole() {
    // Pieces as the event stream delivers them: a few lines each, mostly short, some long,
    // with the odd tab, carriage return and unended line.
    std::vector<std::string> pieces;
    std::uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
    std::size_t total = 0;
    for (int i = 0; i < 4000; ++i) {
        std::string piece;
        const int lines = 1 + static_cast<int>(next() % 8);
        for (int l = 0; l < lines; ++l) {
            const std::uint32_t pick = next() % 100;
            const std::size_t length = pick < 70 ? 20 + next() % 60 : pick < 95 ? 100 + next() % 200 : 1000 + next() % 4000;
            std::string line(length, 'x');
            for (std::size_t c = 0; c < length; c += 7) line[c] = static_cast<char>('a' + (next() % 26));
            if (pick % 9 == 0) line[length / 2] = '\t';
            piece += line;
            piece += pick % 5 == 0 ? "\r\n" : "\n";
        }
        if (i % 11 == 0) piece += "progress 42%";  // left open, continued by the next piece
        total += piece.size();
        pieces.push_back(std::move(piece));
    }
    std::vector<double> rates;
    for (int round = 0; round < 5; ++round) {
        clearConsole();
        const Clock::time_point start = Clock::now();
        for (const std::string& piece : pieces) appendConsole(piece);
        rates.push_back(static_cast<double>(total) / secondsSince(start) / 1e6);
    }
    std::sort(rates.begin(), rates.end());
    std::printf("appendConsole: %zu pieces, %.1f MB per round, %zu lines kept: median %.0f MB/s\n", pieces.size(),
                static_cast<double>(total) / 1e6, windowState().console.size(), rates[rates.size() / 2]);
    clearConsole();
}

// One event of 20 MB of 110-byte lines, fed in 16 KiB chunks and handed to the console as
// the frame thread would.
void benchLargeEvent() {
    std::string event = "data: {\"lines\": [";
    std::size_t lines = 0;
    while (event.size() < 20000000) {
        if (lines++) event += ", ";
        std::string line = "line " + std::to_string(lines) + " ";
        line.resize(108, 'x');
        event += quoteJson(line + "\n");
    }
    event += "]}\n\n";
    const std::string head = "HTTP/1.1 200 OK\r\n\r\n";
    Link link;
    setTheLink(&link);
    std::vector<double> rates;
    for (int round = 0; round < 3; ++round) {
        clearConsole();
        EventStreamParser parser;
        parser.onMessage = [](Json&& message) { handleMessage(message); };
        const Clock::time_point start = Clock::now();
        parser.feed(head.data(), head.size());
        for (std::size_t at = 0; at < event.size(); at += 16384)
            parser.feed(event.data() + at, std::min<std::size_t>(16384, event.size() - at));
        rates.push_back(static_cast<double>(event.size()) / secondsSince(start) / 1e6);
    }
    setTheLink(nullptr);
    std::sort(rates.begin(), rates.end());
    std::printf("one event of %.1f MB (%zu lines) into the console: median %.0f MB/s, %zu lines kept\n",
                event.size() / 1e6, lines, rates[1], windowState().console.size());
    clearConsole();
}

// A peer that answers with a head and then a byte every 4.9 s, for as long as it is let.
void benchDribble() {
    platform::Socket listener = platform::tcpSocket(10000);
    const int port = platform::bindLoopback(listener, 0);
    if (port == 0 || !platform::listenOn(listener, 1)) return;
    std::atomic<bool> done{false};
    std::thread peer([&listener, &done] {
        platform::Socket client = platform::acceptOne(listener);
        char buffer[4096];
        if (platform::receiveSome(client, buffer, sizeof buffer) <= 0) return;
        const std::string head = "HTTP/1.1 200 OK\r\n\r\n[";
        if (!platform::sendAll(client, head.data(), head.size())) return;
        while (!done) {
            for (int i = 0; i < 49 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
            if (!done && !platform::sendAll(client, "1", 1)) return;
        }
    });
    Link link;
    link.port = port;
    link.token = std::string(32, '0');
    const Clock::time_point start = Clock::now();
    const Json answer = post(link, "state", "{}", kProbeTimeoutMs);
    const double took = secondsSince(start);
    done = true;
    peer.join();
    std::printf("peer sending a byte every 4.9 s: the start-up probe (deadline %.1f s) ended after %.3f s\n",
                kProbeTimeoutMs / 1000.0, took);
    (void)answer;
}

}  // namespace

int main(int argc, char** argv) {
    test::DemoPeerOptions options;
    options.script = launcherScript(argc, argv);
    test::DemoPeer peer(options);
    const std::string stateText = peer.started() ? fetchStateText(peer.link) : std::string();
    if (stateText.empty())
        std::printf("demo launcher not available: %s\n", peer.failure().c_str());
    else
        benchParse("demo launcher state", stateText);
    benchParse("synthetic settings document", syntheticStateText());
    if (peer.started()) {
        benchRoundTrip(peer.link, "state", "{}", 1000);
        benchRoundTrip(peer.link, "test-raw", "{\"raw\": \"HTTP/1.1 200 OK\\r\\n\\r\\n{}\"}", 1000);
    }
    benchConsole();
    benchLargeEvent();
    benchDribble();
    return 0;
}
