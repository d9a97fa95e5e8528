/*******************************************************************************************
*  http.cpp — the loopback HTTP client that carries every command to the launcher
*
*  One connection per request, a fixed request layout, the whole answer read until the
*  launcher closes the connection. No header is interpreted beyond the status line: the
*  launcher is ours and always answers "Connection: close". Whatever goes wrong on the way
*  comes back as an "error" answer, so callers have a single path for failures. A command's
*  time-out is a deadline for the whole request, however slowly the answer trickles in.
*******************************************************************************************/
#include <chrono>
#include <string>

#include "link/http.h"

namespace vlr {

namespace {

constexpr std::size_t kReceiveBufferSize = 16384;
constexpr std::string_view kHeadEnd = "\r\n\r\n";
constexpr std::string_view kStatusOk = "HTTP/1.1 200";

}  // namespace

platform::Socket openSocket(std::uint32_t timeoutMs) {
    if (!platform::socketsReady()) return {};
    return platform::tcpSocket(timeoutMs);
}

namespace {

using Clock = std::chrono::steady_clock;

// With `whole` the time-out bounds the whole exchange, measured on the steady clock: each
// receive may wait only for what is left of it, so a peer that sends a byte now and then
// cannot hold a request for longer. Without, it bounds each receive (the event stream, which
// is endless by design and kept alive by the launcher).
bool exchangeWithin(int port, std::string_view request, std::uint32_t timeoutMs, bool whole, const ChunkFn& onChunk) {
    if (port <= 0 || port > 65535) return false;  // no launcher (0) or a port that cannot exist
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    whole = whole && timeoutMs > 0;
    platform::Socket socket = openSocket(timeoutMs);
    if (!socket.valid()) return false;
    if (!platform::connectLoopback(socket, port)) return false;
    if (!platform::sendAll(socket, request.data(), request.size())) return false;
    char buffer[kReceiveBufferSize];
    for (;;) {
        if (whole) {
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
            if (left <= 0) break;  // the deadline passed: the answer ends here
            platform::setTimeouts(socket, static_cast<std::uint32_t>(left));
        }
        const long received = platform::receiveSome(socket, buffer, sizeof buffer);
        if (received <= 0) break;  // closed, timed out or failed: the answer ends here
        if (!onChunk(buffer, static_cast<std::size_t>(received))) break;
    }
    return true;
}

}  // namespace

bool exchange(int port, std::string_view request, std::uint32_t timeoutMs, const ChunkFn& onChunk) {
    return exchangeWithin(port, request, timeoutMs, false, onChunk);
}

std::string postRequest(int port, std::string_view token, std::string_view action, std::string_view body) {
    std::string request;
    request.reserve(160 + action.size() + token.size() + body.size());
    request += "POST /api/";
    request += action;
    request += " HTTP/1.1\r\nHost: 127.0.0.1:";
    request += std::to_string(port);
    request += "\r\nX-VLR-Token: ";
    request += token;
    request += "\r\nContent-Type: application/json\r\nContent-Length: ";
    request += std::to_string(body.size());
    request += "\r\nConnection: close\r\n\r\n";
    request += body;
    return request;
}

Json post(const Link& link, std::string_view action, std::string_view body, std::uint32_t timeoutMs) {
    const LinkAddress at = linkAddress(link);
    const std::string request = postRequest(at.port, at.token, action, body);
    std::string answer;
    bool tooLong = false;
    exchangeWithin(at.port, request, timeoutMs, true, [&answer, &tooLong](const char* data, std::size_t size) {
        answer.append(data, size);
        tooLong = answer.size() > kMaxAnswerBytes;
        return !tooLong;
    });
    const std::size_t headEnd = answer.find(kHeadEnd);
    if (tooLong || headEnd == std::string::npos || answer.size() < kStatusOk.size() ||
        std::string_view(answer).substr(0, kStatusOk.size()) != kStatusOk)
        return jsonError(kNoAnswer);
    return parseJson(std::string_view(answer).substr(headEnd + kHeadEnd.size()));
}

bool succeeded(const Json& answer) { return asText(get(answer, "error")).empty(); }

}  // namespace vlr
