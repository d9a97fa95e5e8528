/*******************************************************************************************
*  http.h — the loopback HTTP client (http.cpp)
*
*  One connection per request; every transport failure becomes an "error" answer, so callers
*  have a single path for failures.
*******************************************************************************************/
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "link/json.h"
#include "link/link.h"
#include "platform/socket.h"

namespace vlr {

inline constexpr const char* kNoAnswer = "The launcher does not answer.";
inline constexpr std::uint32_t kProbeTimeoutMs = 5000;
inline constexpr std::uint32_t kCommandTimeoutMs = 120000;

// Answers are tens of kilobytes. A longer one is refused as no answer: reading and parsing it
// costs up to about 58 bytes per byte, and several can be under way at once (the command
// queue, the file dialogs, the event stream), which must stay well under 256 MiB together.
inline constexpr std::size_t kMaxAnswerBytes = 1u << 20;

platform::Socket openSocket(std::uint32_t timeoutMs);

// Called with each received chunk; returning false ends the connection.
using ChunkFn = std::function<bool(const char* data, std::size_t size)>;

// Connects, sends the whole request, feeds every received chunk to onChunk. True when the
// connection was made and the request sent, whatever came back.
bool exchange(int port, std::string_view request, std::uint32_t timeoutMs, const ChunkFn& onChunk);

std::string postRequest(int port, std::string_view token, std::string_view action, std::string_view body);

// The answer's JSON, or {"error": "The launcher does not answer."} for every transport failure.
Json post(const Link& link, std::string_view action, std::string_view body, std::uint32_t timeoutMs);

// True when an answer carries no error text.
bool succeeded(const Json& answer);

}  // namespace vlr
