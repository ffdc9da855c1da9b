#include "platform/HttpsClient.h"

#include "base/Trace.h"

#include <chrono>
#include <curl/curl.h>
#include <fstream>
#include <memory>
#include <mutex>

namespace tavrin {

namespace {

struct CurlDeleter {
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
};
struct CurlListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};

using Clock = std::chrono::steady_clock;

// What the transfer callbacks share: where the bytes go and when the last
// ones arrived, so that a silent peer is given up after the read time-out.
struct TTransfer {
    std::string* body = nullptr;
    std::ofstream* file = nullptr;
    bool writeFailed = false;
    int64_t lastReceived = -1;
    Clock::time_point lastProgress = Clock::now();
    std::chrono::milliseconds readTimeout{10000};
    bool timedOut = false;
    const TDownloadProgress* progress = nullptr;
    bool cancelled = false;
};

size_t WriteBody(char* data, size_t size, size_t count, void* user) {
    auto* transfer = static_cast<TTransfer*>(user);
    const size_t bytes = size * count;
    if (transfer->file != nullptr) {
        if (!transfer->file->write(data, std::streamsize(bytes))) {
            transfer->writeFailed = true;
            return 0;
        }
    } else {
        transfer->body->append(data, bytes);
    }
    return bytes;
}

int OnProgress(void* user, curl_off_t downloadTotal, curl_off_t downloaded, curl_off_t,
               curl_off_t uploaded) {
    auto* transfer = static_cast<TTransfer*>(user);
    const Clock::time_point now = Clock::now();
    const int64_t moved = int64_t(downloaded) + int64_t(uploaded);
    if (moved != transfer->lastReceived) {
        transfer->lastReceived = moved;
        transfer->lastProgress = now;
        if (transfer->progress != nullptr && *transfer->progress &&
            !(*transfer->progress)(int64_t(downloaded), int64_t(downloadTotal))) {
            transfer->cancelled = true;
            return 1;
        }
    } else if (now - transfer->lastProgress >= transfer->readTimeout) {
        transfer->timedOut = true;
        return 1;
    }
    return 0;
}

void GlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// A handle with the settings every request shares.
std::unique_ptr<CURL, CurlDeleter> NewHandle(const THttpsSettings& settings, TTransfer& transfer,
                                             char* errorBuffer) {
    GlobalInit();
    std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    if (!curl) {
        return curl;
    }
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "https");
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!settings.CAFile.empty()) {
        curl_easy_setopt(c, CURLOPT_CAINFO, settings.CAFile.c_str());
    }
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, long(settings.nReadTimeoutMs));
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, WriteBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, OnProgress);
    curl_easy_setopt(c, CURLOPT_XFERINFODATA, &transfer);
    transfer.readTimeout = std::chrono::milliseconds(settings.nReadTimeoutMs);
    return curl;
}

// Runs the request; the HTTP status, or -1 with error set.
long Perform(CURL* curl, const TTransfer& transfer, const char* errorBuffer, std::string& error) {
    const CURLcode code = curl_easy_perform(curl);
    if (transfer.timedOut) {
        error = "no answer within the read time-out";
        return -1;
    }
    if (transfer.cancelled) {
        error = "cancelled";
        return -1;
    }
    if (transfer.writeFailed) {
        error = "cannot write the downloaded file";
        return -1;
    }
    if (code != CURLE_OK) {
        error = errorBuffer[0] != '\0' ? errorBuffer : curl_easy_strerror(code);
        return -1;
    }
    long status = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
    return status;
}

} // namespace

std::string THttpsClient::BaseUrl() const {
    // A bare IPv6 address needs brackets in a URL.
    const bool ipv6 = settings_.Host.find(':') != std::string::npos;
    return "https://" + (ipv6 ? "[" + settings_.Host + "]" : settings_.Host) + ":" +
           std::to_string(settings_.Port);
}

int THttpsClient::PostJson(const std::string& path, const std::string& body, std::string& answer) {
    error_.clear();
    char errorBuffer[CURL_ERROR_SIZE] = {};
    std::string received;
    TTransfer transfer;
    transfer.body = &received;
    auto curl = NewHandle(settings_, transfer, errorBuffer);
    if (!curl) {
        error_ = "cannot create an HTTPS client";
        return -1;
    }
    std::unique_ptr<curl_slist, CurlListDeleter> headers(
        curl_slist_append(nullptr, "Content-Type: application/json"));
    const std::string url = BaseUrl() + path;
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDSIZE, long(body.size()));
    const long status = Perform(curl.get(), transfer, errorBuffer, error_);
    if (status < 0) {
        Trace("platform request " + path + " failed: " + error_);
        return -1;
    }
    if (status < 200 || status > 299) {
        error_ = "HTTP status " + std::to_string(status);
        Trace("platform request " + path + " failed: " + error_);
        return -1;
    }
    answer = std::move(received);
    return 0;
}

int THttpsClient::Download(const std::string& url, const std::string& filePath,
                           const TDownloadProgress& progress) {
    error_.clear();
    std::ofstream file(filePath, std::ios::binary | std::ios::trunc);
    if (!file) {
        error_ = "cannot create " + filePath;
        return -1;
    }
    char errorBuffer[CURL_ERROR_SIZE] = {};
    TTransfer transfer;
    transfer.file = &file;
    transfer.progress = &progress;
    auto curl = NewHandle(settings_, transfer, errorBuffer);
    if (!curl) {
        error_ = "cannot create an HTTPS client";
        return -1;
    }
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
    const long status = Perform(curl.get(), transfer, errorBuffer, error_);
    file.close();
    if (file.fail() && status >= 0) {
        error_ = "cannot write " + filePath;
        return -1;
    }
    if (status < 0) {
        Trace("download " + url + " failed: " + error_);
    }
    return int(status);
}

} // namespace tavrin
