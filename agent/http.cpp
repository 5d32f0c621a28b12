#include "agent/http.h"

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <memory>
#include <mutex>

#include "platform/convert.h"

namespace zel::agent {

namespace {

// Part capacities, terminator included.
constexpr std::size_t kSchemeCap = 32;
constexpr std::size_t kHostCap = 256;
constexpr std::size_t kUserCap = 128;
constexpr std::size_t kPasswordCap = 128;
constexpr std::size_t kPathCap = 2048;
constexpr std::size_t kExtraCap = 128;

constexpr const char* kAgentName = "ZelAgent";
constexpr const char* kContentType =
    "Content-Type: application/x-www-form-urlencoded; charset=iso-8859-1";
constexpr const char* kAccept = "Accept: text/html";
constexpr long kConnectTimeoutSeconds = 30;

bool Fits(const std::string& s, std::size_t cap) { return s.size() < cap; }

int SchemeNumber(const std::string& scheme) {
    const std::string s = platform::LowerCase(scheme);
    if (s == "ftp") return 1;
    if (s == "gopher") return 2;
    if (s == "http") return kSchemeHttp;
    if (s == "https") return kSchemeHttps;
    if (s == "file") return 5;
    if (s == "news") return 6;
    if (s == "mailto") return 7;
    return kSchemeUnknown;
}

int DefaultPort(int scheme) {
    switch (scheme) {
        case 1: return 21;
        case 2: return 70;
        case kSchemeHttps: return 443;
        default: return 80;
    }
}

bool CrackInto(const std::string& url, UrlParts& p) {
    const auto colon = url.find(':');
    if (colon == std::string::npos || colon == 0) return false;
    p.scheme = url.substr(0, colon);
    for (char c : p.scheme)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.')
            return false;
    p.schemeNumber = SchemeNumber(p.scheme);
    if (url.compare(colon + 1, 2, "//") != 0) return false;
    std::size_t pos = colon + 3;

    const auto authEnd = url.find_first_of("/?#", pos);
    std::string authority =
        url.substr(pos, authEnd == std::string::npos ? std::string::npos : authEnd - pos);
    std::string rest = authEnd == std::string::npos ? std::string() : url.substr(authEnd);

    const auto at = authority.rfind('@');
    if (at != std::string::npos) {
        const std::string userInfo = authority.substr(0, at);
        authority = authority.substr(at + 1);
        const auto c = userInfo.find(':');
        p.userName = userInfo.substr(0, c);
        if (c != std::string::npos) p.password = userInfo.substr(c + 1);
    }

    std::string portText;
    if (!authority.empty() && authority.front() == '[') {
        const auto close = authority.find(']');
        if (close == std::string::npos) return false;
        p.host = authority.substr(0, close + 1);
        const std::string after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') return false;
            portText = after.substr(1);
        }
    } else {
        const auto c = authority.rfind(':');
        p.host = authority.substr(0, c);
        if (c != std::string::npos) portText = authority.substr(c + 1);
    }
    if (p.host.empty()) return false;

    p.port = DefaultPort(p.schemeNumber);
    if (!portText.empty()) {
        if (portText.size() > 5) return false;
        int port = 0;
        for (char c : portText) {
            if (!std::isdigit(static_cast<unsigned char>(c))) return false;
            port = port * 10 + (c - '0');
        }
        if (port > 65535) return false;
        p.port = port;
    }

    const auto extra = rest.find_first_of("?#");
    p.urlPath = rest.substr(0, extra);
    if (extra != std::string::npos) p.extraInfo = rest.substr(extra);

    return Fits(p.scheme, kSchemeCap) && Fits(p.host, kHostCap) && Fits(p.userName, kUserCap) &&
           Fits(p.password, kPasswordCap) && Fits(p.urlPath, kPathCap) &&
           Fits(p.extraInfo, kExtraCap);
}

// RequestTarget of a URL already split.
std::string TargetOf(const UrlParts& p) {
    const bool https = p.schemeNumber == kSchemeHttps;
    std::string path = p.urlPath.empty() ? "/" : p.urlPath;
    return std::string(https ? "https://" : "http://") + p.host + ":" +
           std::to_string(https ? 443 : p.port) + path;
}

void GlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct CurlFree {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct SlistFree {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

struct ReplySink {
    std::string text;
    std::size_t limit;
};

// Keeps at most the limit; a reply that would go beyond it ends the transfer.
size_t Append(char* data, size_t size, size_t count, void* user) {
    auto* sink = static_cast<ReplySink*>(user);
    const std::size_t n = size * count;
    const std::size_t room = sink->limit - std::min(sink->limit, sink->text.size());
    sink->text.append(data, std::min(n, room));
    return n <= room ? n : 0;
}

struct ProxySetting {
    bool named = false;
    std::string address;
    int port = 0;
};

std::string Post(const std::string& url, const std::string& body, const ProxySetting& proxy) {
    UrlParts parts;
    if (!CrackUrl(url, parts)) throw HttpError(url);
    const std::string target = TargetOf(parts);

    GlobalInit();
    std::unique_ptr<CURL, CurlFree> curl(curl_easy_init());
    if (!curl) throw HttpError(url);
    std::unique_ptr<curl_slist, SlistFree> headers;
    for (const char* h : {kContentType, kAccept, "Expect:"}) {
        curl_slist* l = curl_slist_append(headers.get(), h);
        if (!l) throw HttpError(url);
        headers.release();
        headers.reset(l);
    }

    const HttpLimits limits = TransferLimits();
    ReplySink reply{{}, limits.maxReplyBytes};
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, target.c_str());
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(c, CURLOPT_USERAGENT, kAgentName);
    curl_easy_setopt(c, CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(c, CURLOPT_POST, 1L);
    curl_easy_setopt(c, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body.size()));
    curl_easy_setopt(c, CURLOPT_POSTFIELDS, body.data());
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &Append);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &reply);
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutSeconds);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, limits.stallSeconds);
    curl_easy_setopt(c, CURLOPT_TIMEOUT, limits.totalSeconds);
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 0L);
    // Documents travel over this connection: certificates are checked (peer and host name).
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);

    std::string proxyText;
    if (proxy.named) {
        if (parts.schemeNumber == kSchemeHttps) {
            curl_easy_setopt(c, CURLOPT_PROXY, "");  // the named proxy serves http only
        } else {
            proxyText = proxy.address;
            if (proxy.port != 0) proxyText += ":" + std::to_string(proxy.port);
            curl_easy_setopt(c, CURLOPT_PROXY, proxyText.c_str());
            curl_easy_setopt(c, CURLOPT_PROXYTYPE, static_cast<long>(CURLPROXY_HTTP));
            curl_easy_setopt(c, CURLOPT_PROXYPORT, 80L);  // when the address names no port
        }
        curl_easy_setopt(c, CURLOPT_NOPROXY, "");
    }

    const CURLcode rc = curl_easy_perform(c);
    if (rc == CURLE_OK) return std::move(reply.text);
    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    // The request went through but its reply is not whole. A fetched document cut short must
    // not be taken (and deleted on the hub) as if it were complete; callers decide.
    if (status > 0) throw HttpReplyBroken(url, std::move(reply.text));
    throw HttpError(url);
}

}  // namespace

HttpError::HttpError(const std::string& url) : std::runtime_error("Could not connect to " + url) {}

HttpReplyBroken::HttpReplyBroken(const std::string& url, std::string partial)
    : HttpError(url), partial_(std::move(partial)) {}

HttpLimits& TransferLimits() {
    static HttpLimits limits;
    return limits;
}

bool CrackUrl(const std::string& url, UrlParts& parts) {
    UrlParts p;
    if (!CrackInto(url, p)) {
        parts = UrlParts{};
        return false;
    }
    parts = std::move(p);
    return true;
}

std::string RequestTarget(const std::string& url) {
    UrlParts p;
    return CrackUrl(url, p) ? TargetOf(p) : std::string();
}

std::string HttpPost(const std::string& url, const std::string& body) {
    return Post(url, body, ProxySetting{});
}

std::string HttpPostViaProxy(const std::string& url, const std::string& body,
                             const std::string& proxyAddress, int proxyPort) {
    return Post(url, body, ProxySetting{true, proxyAddress, proxyPort});
}

std::string UrlEncodeBody(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 2);
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        switch (b) {
            case ' ':
            case '*':
            case '#':
            case '%':
            case '&':
            case '<':
            case '>':
            case '+': break;
            default:
                if (b < 128) {
                    out.push_back(ch);
                    continue;
                }
        }
        out.push_back('%');
        out.push_back(kHex[b >> 4]);
        out.push_back(kHex[b & 15]);
    }
    return out;
}

}  // namespace zel::agent
