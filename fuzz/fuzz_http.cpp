/*******************************************************************************************
*  fuzz_http.cpp — answers of arbitrary bytes, read through the real post
*
*  A loopback server thread answers each request with the fuzz input, sent in pieces of 1 to
*  64 bytes, and closes. post must return exactly what the rules make of those bytes: the
*  failure answer unless they start with "HTTP/1.1 200" and hold a blank line, else the body
*  as the JSON reader reads it.
*******************************************************************************************/
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "fuzz_support.h"
#include "link/http.h"
#include "link/link.h"
#include "platform/socket.h"

using namespace vlr;
using namespace vlr::fuzz;

namespace {

class LoopbackPeer {
public:
    LoopbackPeer() {
        listener_ = platform::tcpSocket(0);
        port = platform::bindLoopback(listener_, 0);
        check(port != 0 && platform::listenOn(listener_, 8), "a loopback port to listen on");
        std::thread([this] { serve(); }).detach();  // lives as long as the fuzzing process
    }

    void answerWith(std::string_view answer) {
        std::lock_guard<std::mutex> hold(lock_);
        answer_.assign(answer);
    }

    int port = 0;

private:
    void serve() {
        for (;;) {
            platform::Socket client = platform::acceptOne(listener_);
            if (!client.valid()) continue;
            std::string request;
            char buffer[4096];
            while (request.find("\r\n\r\n{}") == std::string::npos) {  // the whole request: head and "{}"
                const long received = platform::receiveSome(client, buffer, sizeof buffer);
                if (received <= 0) break;
                request.append(buffer, static_cast<std::size_t>(received));
            }
            std::string answer;
            {
                std::lock_guard<std::mutex> hold(lock_);
                answer = answer_;
            }
            Pieces pieces(answer);
            for (std::size_t at = 0; at < answer.size();) {
                const std::size_t size = std::min(pieces.next(), answer.size() - at);
                if (!platform::sendAll(client, answer.data() + at, size)) break;
                at += size;
            }
        }
    }

    platform::Socket listener_;
    std::mutex lock_;
    std::string answer_;
};

Json expected(std::string_view answer) {
    const std::size_t headEnd = answer.find("\r\n\r\n");
    if (answer.size() > kMaxAnswerBytes || headEnd == std::string_view::npos || answer.substr(0, 12) != "HTTP/1.1 200")
        return jsonError(kNoAnswer);
    return parseJson(answer.substr(headEnd + 4));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static LoopbackPeer peer;
    static Link link;
    link.port = peer.port;
    link.token.assign(32, 'f');
    const std::string_view answer(reinterpret_cast<const char*>(data), size);
    peer.answerWith(answer);
    check(sameJson(post(link, "state", "{}", 5000), expected(answer)), "post reads the answer as the rules say");
    return 0;
}
