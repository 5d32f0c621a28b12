#include "agent/single_instance.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>

namespace zel::agent {

SingleInstance::~SingleInstance() { Release(); }

std::string SingleInstance::LockName(const std::string& name) { return "net.zel.mutex/" + name; }

bool SingleInstance::Acquire(const std::string& name) {
    if (fd_ >= 0) return true;
    // The abstract namespace has no file to go stale; the close-on-exec flag keeps a started
    // child from inheriting the lock.
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return false;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::string id = LockName(name);
    std::size_t len = std::min(id.size(), sizeof(addr.sun_path) - 1);
    std::memcpy(addr.sun_path + 1, id.data(), len);  // sun_path[0] == 0: abstract
    auto addrLen = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + len);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), addrLen) != 0) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    return true;
}

void SingleInstance::Release() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

}  // namespace zel::agent
