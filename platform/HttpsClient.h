// HTTPS requests to the education platform on libcurl with OpenSSL. The
// peer's certificate and host name are always verified, against the CA file
// when one is given, else against the system's trusted CAs.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tavrin {

struct THttpsSettings {
    std::string Host = "127.0.0.1";
    int32_t Port = 8201;
    std::string CAFile; // empty: the system's trusted CAs
    // Longest wait for the connection or for the next bytes of the answer.
    int32_t nReadTimeoutMs = 10000;
};

// Receives the bytes so far and the announced size (0 when not known yet).
// Returning false stops the transfer.
using TDownloadProgress = std::function<bool(int64_t received, int64_t total)>;

// One client per request: each call sets up a fresh connection.
class THttpsClient {
public:
    explicit THttpsClient(THttpsSettings settings) : settings_(std::move(settings)) {}

    // POSTs a JSON text to path on the platform. 0 with the answer body when
    // the platform answered with status 2xx, -1 on any transport, TLS or
    // HTTP error or time-out (Error() then says why).
    int PostJson(const std::string& path, const std::string& body, std::string& answer);

    // GETs an absolute URL into the file at filePath (created or truncated).
    // Returns the HTTP status, or -1 when no answer arrived in time or the
    // file could not be written.
    int Download(const std::string& url, const std::string& filePath,
                 const TDownloadProgress& progress);

    const std::string& Error() const { return error_; }
    std::string BaseUrl() const;

private:
    THttpsSettings settings_;
    std::string error_;
};

} // namespace tavrin
