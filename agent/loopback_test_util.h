#pragma once
// Test helpers: the stand-in hub as a child process, a scripted raw HTTP server and an HTTP
// proxy (tinyproxy), all on loopback. Used only by the folder's tests.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace zel::agent::testutil {

inline int FreePort() {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(s);
    return ntohs(a.sin_port);
}

inline bool CanConnect(int port) {
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<uint16_t>(port));
    const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    ::close(s);
    return ok;
}

inline bool WaitForPort(int port, int ms = 5000) {
    for (int i = 0; i < ms / 20; ++i) {
        if (CanConnect(port)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

// A child process, ended (SIGTERM, then reaped) when the object goes.
class ChildProcess {
public:
    // With `stderrToo` the child's error stream goes into the same pipe as its output.
    ChildProcess(const std::vector<std::string>& argv, bool pipeStdout, bool stderrToo = false) {
        int fds[2] = {-1, -1};
        if (pipeStdout && ::pipe(fds) != 0) throw std::runtime_error("pipe");
        pid_ = ::fork();
        if (pid_ < 0) throw std::runtime_error("fork");
        if (pid_ == 0) {
            const int devnull = ::open("/dev/null", O_RDWR);
            ::dup2(devnull, 0);
            ::dup2(pipeStdout ? fds[1] : devnull, 1);
            ::dup2(pipeStdout && stderrToo ? fds[1] : devnull, 2);
            std::vector<char*> args;
            for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            ::execv(args[0], args.data());
            ::_exit(127);
        }
        if (pipeStdout) {
            ::close(fds[1]);
            out_ = fds[0];
        }
    }
    ~ChildProcess() {
        if (out_ >= 0) ::close(out_);
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Waits for the child to end; its exit code, or -1 when a signal ended it.
    int Wait() {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    // One line of the child's stdout ("" on end or after `ms`).
    std::string ReadLine(int ms = 5000) {
        std::string line;
        char c;
        pollfd p{out_, POLLIN, 0};
        while (::poll(&p, 1, ms) > 0 && ::read(out_, &c, 1) == 1) {
            if (c == '\n') break;
            line.push_back(c);
        }
        return line;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1;
};

inline std::string HubBinary() { return std::string(ZEL_BINARY_DIR) + "/tools/zelhub/zelhub"; }

// zelhub on loopback; port 0 = any free port.
class HubProcess {
public:
    explicit HubProcess(int port = 0)
        : child_({HubBinary(), "--port", std::to_string(port)}, true) {
        const std::string line = child_.ReadLine();
        const auto colon = line.rfind(':');
        if (line.rfind("zelhub listening on", 0) != 0 || colon == std::string::npos)
            throw std::runtime_error("zelhub did not start: " + line);
        port_ = std::stoi(line.substr(colon + 1));
    }
    int port() const { return port_; }
    std::string Url() const { return UrlFor(port_); }
    static std::string UrlFor(int port) {
        return "http://127.0.0.1:" + std::to_string(port) + "/ZelHub/HUBServlet";
    }

private:
    ChildProcess child_;
    int port_ = 0;
};

// A scripted HTTP server: answers the n-th request with the n-th raw response (the last one
// again when they run out) and records every request whole. With `holdOpen` it keeps each
// connection open after its response, as a stalled hub does, until the server goes.
class RawServer {
public:
    explicit RawServer(std::vector<std::string> responses, bool holdOpen = false)
        : responses_(std::move(responses)), holdOpen_(holdOpen) {
        listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
        const int one = 1;
        ::setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
            ::listen(listen_, 16) != 0)
            throw std::runtime_error("raw server bind");
        socklen_t len = sizeof a;
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { Run(); });
    }
    ~RawServer() {
        stop_ = true;
        thread_.join();
        ::close(listen_);
    }
    RawServer(const RawServer&) = delete;
    RawServer& operator=(const RawServer&) = delete;

    int port() const { return port_; }
    std::string Url(const std::string& rest = "/ZelHub/HUBServlet") const {
        return "http://127.0.0.1:" + std::to_string(port_) + rest;
    }
    std::vector<std::string> Requests() {
        std::lock_guard l(mutex_);
        return requests_;
    }
    // Bodies of the recorded requests.
    std::vector<std::string> Bodies() {
        std::vector<std::string> out;
        for (const auto& r : Requests()) {
            const auto end = r.find("\r\n\r\n");
            out.push_back(end == std::string::npos ? std::string() : r.substr(end + 4));
        }
        return out;
    }

    static std::string Ok(const std::string& body) {
        return "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nContent-Length: " +
               std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    }

private:
    void Run() {
        while (!stop_) {
            pollfd p{listen_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            const int c = ::accept(listen_, nullptr, nullptr);
            if (c < 0) continue;
            Serve(c);
            ::close(c);
        }
    }
    void Serve(int c) {
        std::string req;
        char buf[65536];
        std::size_t need = std::string::npos;
        while (true) {
            pollfd p{c, POLLIN, 0};
            if (::poll(&p, 1, 5000) <= 0) break;
            const ssize_t n = ::read(c, buf, sizeof buf);
            if (n <= 0) break;
            req.append(buf, static_cast<std::size_t>(n));
            const auto end = req.find("\r\n\r\n");
            if (end != std::string::npos && need == std::string::npos) {
                std::size_t length = 0;
                std::string lower = req.substr(0, end);
                for (auto& ch : lower) ch = static_cast<char>(std::tolower(ch));
                const auto cl = lower.find("content-length:");
                if (cl != std::string::npos) length = std::stoul(lower.substr(cl + 15));
                need = end + 4 + length;
            }
            if (need != std::string::npos && req.size() >= need) break;
        }
        std::string response;
        {
            std::lock_guard l(mutex_);
            requests_.push_back(req);
            response = responses_[std::min(requests_.size(), responses_.size()) - 1];
        }
        std::size_t sent = 0;
        while (sent < response.size()) {
            const ssize_t n =
                ::send(c, response.data() + sent, response.size() - sent, MSG_NOSIGNAL);
            if (n <= 0) break;
            sent += static_cast<std::size_t>(n);
        }
        while (holdOpen_ && !stop_) {
            pollfd p{c, POLLIN, 0};
            if (::poll(&p, 1, 50) > 0 && ::read(c, buf, sizeof buf) <= 0) break;  // client gone
        }
        ::shutdown(c, SHUT_WR);
    }

    std::vector<std::string> responses_;
    bool holdOpen_ = false;
    int listen_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::mutex mutex_;
    std::vector<std::string> requests_;
};

inline const char* kTinyProxy = "/usr/bin/tinyproxy";

// tinyproxy on a loopback port, with its own configuration file in `folder`.
class ProxyProcess {
public:
    explicit ProxyProcess(const std::string& folder) : port_(FreePort()) {
        const std::string conf = folder + "/tinyproxy.conf";
        std::ofstream(conf) << "Port " << port_ << "\nListen 127.0.0.1\nTimeout 30\n"
                            << "MaxClients 10\nAllow 127.0.0.1\nLogLevel Critical\n";
        child_ = std::make_unique<ChildProcess>(
            std::vector<std::string>{kTinyProxy, "-d", "-c", conf}, false);
        if (!WaitForPort(port_)) throw std::runtime_error("tinyproxy did not start");
    }
    int port() const { return port_; }

private:
    int port_;
    std::unique_ptr<ChildProcess> child_;
};

}  // namespace zel::agent::testutil
