#pragma once
// Form-encoded HTTP POST to the hub, directly or through a named HTTP proxy, and the escaping
// of the payload inside such a body.
#include <cstddef>
#include <stdexcept>
#include <string>
#include <string_view>

namespace zel::agent {

// Raised when a request cannot be opened or sent. The message is "Could not connect to " + URL.
class HttpError : public std::runtime_error {
public:
    explicit HttpError(const std::string& url);
};

// Raised when the request went out but its reply did not arrive whole: the connection broke
// before the announced end, the hub stalled, or the reply outgrew the limit. The hub may have
// acted on the request; `Partial()` is what arrived. Same message as HttpError.
class HttpReplyBroken : public HttpError {
public:
    HttpReplyBroken(const std::string& url, std::string partial);
    const std::string& Partial() const noexcept { return partial_; }

private:
    std::string partial_;
};

// Bounds that keep a hub from holding the agent (whose window waits on every post) or its
// memory without end. Process-wide; tests lower them.
struct HttpLimits {
    std::size_t maxReplyBytes = std::size_t{64} << 20;
    long stallSeconds = 120;  // no byte for this long ends the exchange
    long totalSeconds = 900;  // the whole exchange, request and reply
};
HttpLimits& TransferLimits();

// Scheme numbers as the URL splitter reports them.
inline constexpr int kSchemeUnknown = -1;
inline constexpr int kSchemeHttp = 3;
inline constexpr int kSchemeHttps = 4;

// A URL split into its parts. Each text part has a fixed capacity (bytes, terminator
// included): scheme 32, host 256, user 128, password 128, path 2048, extra 128. `extra` is
// the query part ("?..." / "#...").
struct UrlParts {
    std::string scheme;
    int schemeNumber = kSchemeUnknown;
    std::string host;
    int port = 0;
    std::string userName;
    std::string password;
    std::string urlPath;
    std::string extraInfo;
};

// Splits `url`. False (and `parts` all empty, port 0) when it cannot be split or a part does
// not fit its capacity.
bool CrackUrl(const std::string& url, UrlParts& parts);

// The address a POST to `url` really goes to: scheme, host, the port (443 for https whatever
// the URL names) and the path; the extra information (query) is not sent. Empty when the URL
// cannot be split.
std::string RequestTarget(const std::string& url);

// POSTs `body` (every byte, NULs included) to `url` with the agent's name, the form content
// type and "Accept: text/html", and returns the reply body read whole. An HTTP error status
// is not a failure: its body is the reply. Throws HttpError when the request cannot be sent,
// HttpReplyBroken when its reply does not arrive whole (see TransferLimits).
// The direct form uses the system's configured access (the usual proxy environment).
std::string HttpPost(const std::string& url, const std::string& body);

// The same through the named HTTP proxy `proxyAddress` ("host" or "host:port"); a
// `proxyPort` other than 0 is appended as ":port". The proxy serves "http" URLs; an https
// URL is fetched directly. No host bypasses the proxy.
std::string HttpPostViaProxy(const std::string& url, const std::string& body,
                             const std::string& proxyAddress, int proxyPort);

// Escapes a payload for a form body: " *#%&<>+" and every byte >= 128 become "%XX" (upper-case
// hex); every other byte, control bytes and NUL included, is copied unchanged.
std::string UrlEncodeBody(std::string_view bytes);

}  // namespace zel::agent
