// zelhub: a stand-in document hub on 127.0.0.1 for tests and the demo.
//   zelhub --port N      (N = 0: any free port)
// Prints "zelhub listening on 127.0.0.1:<port>" once it accepts connections.
#include <httplib.h>

#include <sys/socket.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

#include "tools/zelhub/hub.h"

int main(int argc, char** argv) {
    int port = -1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--port") == 0 && i + 1 < argc) {
            char* end = nullptr;
            const long p = std::strtol(argv[++i], &end, 10);
            if (*end == '\0' && p >= 0 && p <= 65535) port = static_cast<int>(p);
        }
    }
    if (port < 0) {
        std::cerr << "usage: zelhub --port N\n";
        return 2;
    }

    zel::zelhub::Hub hub;
    httplib::Server server;
    // The body is taken through a content reader: the HTTP library answers a form body it reads
    // itself with 413 above 8 KiB, and a hub must take any document an agent sends (a few
    // kilobytes of document already exceed that once encrypted and URL-encoded).
    server.Post("/ZelHub/HUBServlet", [&hub](const httplib::Request&, httplib::Response& res,
                                             const httplib::ContentReader& reader) {
        std::string body;
        reader([&body](const char* data, std::size_t length) {
            body.append(data, length);
            return true;
        });
        res.set_content(hub.Handle(body), "text/html; charset=iso-8859-1");
    });

    // The library's default would also share the port (SO_REUSEPORT), so a second hub started
    // on a port in use would bind, say it listens and take a share of another server's
    // connections. Reusing an address whose old connections are still closing is all we want.
    server.set_socket_options([](socket_t sock) {
        const int yes = 1;
        ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });

    errno = 0;
    if (port == 0) {
        port = server.bind_to_any_port("127.0.0.1");
        if (port <= 0) {
            std::cerr << "zelhub: cannot bind\n";
            return 1;
        }
    } else if (!server.bind_to_port("127.0.0.1", port)) {
        if (errno == EADDRINUSE)
            std::cerr << "zelhub: port " << port << " is already in use\n";
        else
            std::cerr << "zelhub: cannot bind port " << port
                      << (errno != 0 ? std::string(": ") + std::strerror(errno) : std::string())
                      << "\n";
        return 1;
    }
    std::printf("zelhub listening on 127.0.0.1:%d\n", port);
    std::fflush(stdout);
    return server.listen_after_bind() ? 0 : 1;
}
