/*******************************************************************************************
*  runtime_posix.cpp — downloading and checking the first-start archives on POSIX
*
*  libcurl fetches (redirects followed but never from https to http, any HTTP status of 400 or
*  more a failure, a size bound, a stall rule and a deadline), OpenSSL hashes.
*******************************************************************************************/
#include "platform/platform.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

#include <curl/curl.h>
#include <openssl/evp.h>

namespace vlr::platform {

namespace {

struct Transfer {
    std::FILE* file = nullptr;
    const DownloadProgress* progress = nullptr;
    std::uint64_t written = 0;
    std::uint64_t maxBytes = 0;
};

size_t writeChunk(char* data, size_t size, size_t count, void* user) {
    Transfer* transfer = static_cast<Transfer*>(user);
    // The advertised length is checked before the body; a body without one is checked here.
    // Returning short ends the transfer as a failure.
    const std::uint64_t bytes = static_cast<std::uint64_t>(size) * count;
    if (transfer->written + bytes > transfer->maxBytes) return 0;
    transfer->written += bytes;
    return std::fwrite(data, size, count, transfer->file) * size;
}

int reportProgress(void* user, curl_off_t total, curl_off_t received, curl_off_t, curl_off_t) {
    Transfer* transfer = static_cast<Transfer*>(user);
    if (*transfer->progress && received >= 0 && total >= 0)
        (*transfer->progress)(static_cast<std::uint64_t>(received), static_cast<std::uint64_t>(total));
    return 0;
}

}  // namespace

bool downloadToFile(const std::string& url, const std::string& path, const DownloadLimits& limits,
                    const DownloadProgress& progress) {
    static std::once_flag once;
    static bool ready = false;
    std::call_once(once, [] { ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK; });
    if (!ready) return false;

    Transfer transfer;
    transfer.progress = &progress;
    transfer.maxBytes = limits.maxBytes;
    transfer.file = std::fopen(path.c_str(), "wbe");
    if (transfer.file == nullptr) return false;

    CURL* curl = curl_easy_init();
    CURLcode result = CURLE_FAILED_INIT;
    if (curl != nullptr) {
        curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
        curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
        // What started encrypted stays encrypted: no redirect from https down to http.
        const bool secure = secureAddress(url);
        curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, secure ? "https" : "http,https");
        curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 10L);
        curl_easy_setopt(curl, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBytes));
        curl_easy_setopt(curl, CURLOPT_FAILONERROR, 1L);
        curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, 30L);
        // The deadline covers connect, headers and body; curl reads 0 as "no limit", never ours.
        curl_easy_setopt(curl, CURLOPT_TIMEOUT, static_cast<long>(std::max(1, limits.deadlineSeconds)));
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, static_cast<long>(std::max(1, limits.stallRate)));
        curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, static_cast<long>(std::max(1, limits.stallSeconds)));
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, writeChunk);
        curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
        curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, reportProgress);
        curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
        result = curl_easy_perform(curl);
        curl_easy_cleanup(curl);
    }
    const bool written = std::fclose(transfer.file) == 0;
    return result == CURLE_OK && written;
}

std::string sha256File(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rbe");
    if (file == nullptr) return {};
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    bool good = context != nullptr && EVP_DigestInit_ex(context, EVP_sha256(), nullptr) == 1;
    static thread_local unsigned char block[65536];
    while (good) {
        const size_t got = std::fread(block, 1, sizeof block, file);
        if (got > 0) good = EVP_DigestUpdate(context, block, got) == 1;
        if (got < sizeof block) {
            good = good && !std::ferror(file);
            break;
        }
    }
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    good = good && EVP_DigestFinal_ex(context, digest, &size) == 1;
    EVP_MD_CTX_free(context);
    std::fclose(file);
    if (!good) return {};
    static const char kHex[] = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < size; ++i) {
        text += kHex[digest[i] >> 4];
        text += kHex[digest[i] & 15];
    }
    return text;
}

}  // namespace vlr::platform
