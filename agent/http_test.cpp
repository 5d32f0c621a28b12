#include "agent/http.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "agent/loopback_test_util.h"
#include "platform/test_support.h"

namespace zel::agent {
namespace {

using testutil::RawServer;

// Direct posts use the environment's proxy settings; the tests talk to loopback only.
class HttpTest : public ::testing::Test {
protected:
    platform::testing::ScopedEnv noProxy1_{"http_proxy", std::nullopt};
    platform::testing::ScopedEnv noProxy2_{"HTTP_PROXY", std::nullopt};
    platform::testing::ScopedEnv noProxy3_{"https_proxy", std::nullopt};
    platform::testing::ScopedEnv noProxy4_{"all_proxy", std::nullopt};
};

std::string Header(const std::string& request, const std::string& name) {
    const auto at = request.find("\r\n" + name + ": ");
    if (at == std::string::npos) return "<missing>";
    const auto start = at + name.size() + 4;
    return request.substr(start, request.find("\r\n", start) - start);
}

TEST(CrackUrl, SplitsParts) {
    UrlParts p;
    ASSERT_TRUE(CrackUrl("http://user:pw@hub.example:8080/ZelHub/HUBServlet?a=1&b=2", p));
    EXPECT_EQ(p.scheme, "http");
    EXPECT_EQ(p.schemeNumber, kSchemeHttp);
    EXPECT_EQ(p.host, "hub.example");
    EXPECT_EQ(p.port, 8080);
    EXPECT_EQ(p.userName, "user");
    EXPECT_EQ(p.password, "pw");
    EXPECT_EQ(p.urlPath, "/ZelHub/HUBServlet");
    EXPECT_EQ(p.extraInfo, "?a=1&b=2");

    ASSERT_TRUE(CrackUrl("HTTPS://hub.example/x", p));
    EXPECT_EQ(p.schemeNumber, kSchemeHttps);
    EXPECT_EQ(p.port, 443);
    ASSERT_TRUE(CrackUrl("http://hub.example", p));
    EXPECT_EQ(p.port, 80);
    EXPECT_EQ(p.urlPath, "");
}

TEST(CrackUrl, FailuresLeaveEveryPartEmpty) {
    UrlParts p;
    for (const std::string& bad : std::vector<std::string>{
             "", "hub.example/x", "http:/x", "http://", "http://h:99999/x", "http://h:8a/x",
             "http://" + std::string(256, 'h') + "/x", "http://h/" + std::string(2048, 'p'),
             "http://h/x?" + std::string(128, 'q')}) {
        EXPECT_FALSE(CrackUrl(bad, p)) << bad;
        EXPECT_TRUE(p.host.empty() && p.urlPath.empty() && p.scheme.empty()) << bad;
    }
    EXPECT_TRUE(CrackUrl("http://" + std::string(255, 'h') + "/x", p));
}

TEST(RequestTarget, HttpsGoesTo443AndQueryIsDropped) {
    EXPECT_EQ(RequestTarget("https://hub.example:8443/ZelHub/HUBServlet?x=1"),
              "https://hub.example:443/ZelHub/HUBServlet");
    EXPECT_EQ(RequestTarget("http://hub.example:81/a/b?x=1#f"), "http://hub.example:81/a/b");
    EXPECT_EQ(RequestTarget("http://hub.example"), "http://hub.example:80/");
    EXPECT_EQ(RequestTarget("nonsense"), "");
}

TEST(UrlEncodeBody, EscapesOnlyTheListedBytes) {
    EXPECT_EQ(UrlEncodeBody(" "), "%20");
    EXPECT_EQ(UrlEncodeBody("+"), "%2B");
    EXPECT_EQ(UrlEncodeBody("\xc8"), "%C8");
    EXPECT_EQ(UrlEncodeBody("*#%&<>"), "%2A%23%25%26%3C%3E");
    EXPECT_EQ(UrlEncodeBody("=/\r\nAz09"), "=/\r\nAz09");
    EXPECT_EQ(UrlEncodeBody(std::string("\0\x7f\x80\xff", 4)), std::string("\0\x7f%80%FF", 8));
}

TEST_F(HttpTest, PostSendsTheAgentsRequestAndReadsTheReplyWhole) {
    const std::string reply(300000, 'r');
    RawServer server({RawServer::Ok(reply)});
    const std::string body("Action=SAVEMAIL&Data=\0\x01zz", 25);
    EXPECT_EQ(HttpPost(server.Url("/ZelHub/HUBServlet?dropped=1"), body), reply);

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const std::string& r = requests[0];
    EXPECT_EQ(r.substr(0, r.find("\r\n")), "POST /ZelHub/HUBServlet HTTP/1.1");
    EXPECT_EQ(Header(r, "User-Agent"), "ZelAgent");
    EXPECT_EQ(Header(r, "Content-Type"), "application/x-www-form-urlencoded; charset=iso-8859-1");
    EXPECT_EQ(Header(r, "Accept"), "text/html");
    EXPECT_EQ(server.Bodies()[0], body);
}

TEST_F(HttpTest, ErrorStatusBodyIsTheReply) {
    RawServer server(
        {"HTTP/1.1 500 Oops\r\nContent-Length: 12\r\nConnection: close\r\n\r\n"
         "Action=ERROR"});
    EXPECT_EQ(HttpPost(server.Url(), "x"), "Action=ERROR");
}

// What arrived of a reply that is not whole, or "<whole>" when the post succeeded.
std::string BrokenPart(const std::string& url) {
    try {
        HttpPost(url, "x");
        return "<whole>";
    } catch (const HttpReplyBroken& e) {
        EXPECT_EQ(std::string(e.what()), "Could not connect to " + url);
        return e.Partial();
    }
}

TEST_F(HttpTest, ReplyThatBreaksOffIsNotTakenAsWhole) {
    RawServer server({"HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\nAction=RESPONSE\r\nDa"});
    EXPECT_EQ(BrokenPart(server.Url()), "Action=RESPONSE\r\nDa");
    RawServer noLength({"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\nAction=OK"});
    EXPECT_EQ(HttpPost(noLength.Url(), "x"), "Action=OK");
}

// Restores the process-wide limits after a test lowered them.
class LimitsTest : public HttpTest {
protected:
    ~LimitsTest() override { TransferLimits() = saved_; }
    HttpLimits saved_ = TransferLimits();
};

TEST_F(LimitsTest, SlowOrOversizedRepliesEndTheExchange) {
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\nAction=RESPONSE";
    TransferLimits().totalSeconds = 1;
    {
        RawServer slow({head}, true);
        EXPECT_EQ(BrokenPart(slow.Url()), "Action=RESPONSE");
    }
    TransferLimits() = saved_;
    TransferLimits().maxReplyBytes = 1000;
    RawServer big({RawServer::Ok(std::string(5000, 'b'))});
    EXPECT_EQ(BrokenPart(big.Url()), std::string(1000, 'b'));
    RawServer fits({RawServer::Ok(std::string(1000, 'f'))});
    EXPECT_EQ(HttpPost(fits.Url(), "x"), std::string(1000, 'f'));
}

TEST_F(HttpTest, UnreachableOrBadUrlRaisesHttpError) {
    const std::string url =
        "http://127.0.0.1:" + std::to_string(testutil::FreePort()) + "/ZelHub/HUBServlet";
    try {
        HttpPost(url, "x");
        FAIL() << "no error";
    } catch (const HttpError& e) {
        EXPECT_EQ(std::string(e.what()), "Could not connect to " + url);
    }
    EXPECT_THROW(HttpPost("not a url", "x"), HttpError);
    EXPECT_THROW(HttpPost("", "x"), HttpError);
    // A server that closes without any reply.
    RawServer silent({""});
    EXPECT_THROW(HttpPost(silent.Url(), "x"), HttpError);
}

constexpr const char* kTlsHub = R"(import http.server, ssl, sys
class H(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        self.rfile.read(int(self.headers.get('Content-Length', '0')))
        b = b'Action=OK'
        self.send_response(200)
        self.send_header('Content-Length', str(len(b)))
        self.end_headers()
        self.wfile.write(b)
    def log_message(self, *a):
        pass
s = http.server.HTTPServer(('127.0.0.1', 443), H)
c = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
c.load_cert_chain(sys.argv[1], sys.argv[2])
s.socket = c.wrap_socket(s.socket, server_side=True)
s.serve_forever()
)";

// A hub whose certificate does not verify is refused, whatever port the URL names (https
// always goes to 443). The same hub answers a client that trusts its certificate.
TEST_F(HttpTest, HttpsRefusesAnUnverifiedCertificate) {
    if (testutil::CanConnect(443)) GTEST_SKIP() << "port 443 in use";
    platform::testing::TempDir dir;
    const std::string key = dir.path() + "/key.pem", cert = dir.path() + "/cert.pem";
    const std::string make =
        "openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj /CN=127.0.0.1"
        " -addext subjectAltName=IP:127.0.0.1 -keyout " +
        key + " -out " + cert + " >/dev/null 2>&1";
    if (std::system(make.c_str()) != 0) GTEST_SKIP() << "openssl command line unavailable";
    const std::string script = dir.Write("tlshub.py", kTlsHub);
    testutil::ChildProcess tls({"/usr/bin/python3", script, cert, key}, false);
    if (!testutil::WaitForPort(443)) GTEST_SKIP() << "cannot serve TLS on 443";
    const std::string trusted = "curl -s -m 10 --cacert " + cert +
                                " -d x https://127.0.0.1/ZelHub/HUBServlet | grep -q Action=OK";
    if (std::system(trusted.c_str()) != 0) GTEST_SKIP() << "TLS test hub not answering";

    EXPECT_THROW(HttpPost("https://127.0.0.1:1/ZelHub/HUBServlet", "x"), HttpError);
}

TEST_F(HttpTest, PostThroughProxy) {
    if (access(testutil::kTinyProxy, X_OK) != 0) GTEST_SKIP() << "tinyproxy not installed";
    platform::testing::TempDir dir;
    testutil::ProxyProcess proxy(dir.path());
    RawServer server({RawServer::Ok("Action=OK\r\n")});

    // Port given separately.
    EXPECT_EQ(
        HttpPostViaProxy(server.Url("/ZelHub/HUBServlet?q=1"), "a=1", "127.0.0.1", proxy.port()),
        "Action=OK\r\n");
    // Port 0: the address alone is the proxy text.
    EXPECT_EQ(HttpPostViaProxy(server.Url(), "a=2", "127.0.0.1:" + std::to_string(proxy.port()), 0),
              "Action=OK\r\n");

    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 2u);
    for (const auto& r : requests) {
        EXPECT_NE(Header(r, "Via").find("tinyproxy"), std::string::npos) << r;
        EXPECT_EQ(r.substr(0, r.find("\r\n")), "POST /ZelHub/HUBServlet HTTP/1.1");
        EXPECT_EQ(Header(r, "User-Agent"), "ZelAgent");
    }
    EXPECT_EQ(server.Bodies()[0], "a=1");
    EXPECT_EQ(server.Bodies()[1], "a=2");
}

TEST_F(HttpTest, DeadProxyRaisesHttpError) {
    RawServer server({RawServer::Ok("Action=OK")});
    EXPECT_THROW(HttpPostViaProxy(server.Url(), "x", "127.0.0.1", testutil::FreePort()), HttpError);
    EXPECT_TRUE(server.Requests().empty());
}

}  // namespace
}  // namespace zel::agent
