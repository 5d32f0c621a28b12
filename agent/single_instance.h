#pragma once
// One instance per machine. The lock is an abstract local socket named after the program's
// file name: it is visible to every user of the machine and the kernel releases it when its
// holder ends, however it ends.
#include <string>

namespace zel::agent {

class SingleInstance {
public:
    SingleInstance() = default;
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Takes the lock of `name` (the program's file name with its extension, without folder).
    // False when another process holds it. The lock is held until Release or destruction.
    bool Acquire(const std::string& name);
    void Release();
    bool Held() const noexcept { return fd_ >= 0; }

    // The abstract socket name behind the lock of `name` (without the leading zero byte).
    static std::string LockName(const std::string& name);

private:
    int fd_ = -1;
};

}  // namespace zel::agent
