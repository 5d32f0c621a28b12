#include "platform/test_support.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace zel::platform::testing {

TempDir::TempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string tmpl = std::string(base && *base ? base : "/tmp") + "/zeltest-XXXXXX";
    if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::string TempDir::MakeDirs(const std::string& relative) const {
    std::string full = path_ + "/" + relative;
    std::filesystem::create_directories(full);
    return full;
}

std::string TempDir::Write(const std::string& relative, const std::string& bytes) const {
    std::string full = path_ + "/" + relative;
    std::filesystem::create_directories(std::filesystem::path(full).parent_path());
    std::ofstream f(full, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return full;
}

std::string TempDir::Read(const std::string& relative) const {
    std::ifstream f(path_ + "/" + relative, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

bool TempDir::Exists(const std::string& relative) const {
    struct stat st;
    return ::stat((path_ + "/" + relative).c_str(), &st) == 0;
}

DescriptorsExhausted::DescriptorsExhausted() {
    struct rlimit lim {};
    if (::getrlimit(RLIMIT_NOFILE, &lim) != 0) throw std::runtime_error("getrlimit failed");
    oldSoft_ = lim.rlim_cur;
    int highest = 0;
    for (const auto& e : std::filesystem::directory_iterator("/proc/self/fd"))
        highest = std::max(highest, std::stoi(e.path().filename().string()));
    struct rlimit low = lim;
    low.rlim_cur = static_cast<rlim_t>(highest) + 16;
    if (low.rlim_cur > lim.rlim_cur) low.rlim_cur = lim.rlim_cur;
    if (::setrlimit(RLIMIT_NOFILE, &low) != 0) throw std::runtime_error("setrlimit failed");
    for (;;) {
        const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        if (fd < 0) break;
        taken_.push_back(fd);
    }
}

DescriptorsExhausted::~DescriptorsExhausted() {
    for (int fd : taken_) ::close(fd);
    struct rlimit lim {};
    if (::getrlimit(RLIMIT_NOFILE, &lim) == 0) {
        lim.rlim_cur = static_cast<rlim_t>(oldSoft_);
        ::setrlimit(RLIMIT_NOFILE, &lim);
    }
}

ScopedEnv::ScopedEnv(const std::string& name, const std::optional<std::string>& value)
    : name_(name) {
    if (const char* o = std::getenv(name.c_str())) old_ = o;
    if (value)
        ::setenv(name.c_str(), value->c_str(), 1);
    else
        ::unsetenv(name.c_str());
}

ScopedEnv::~ScopedEnv() {
    if (old_)
        ::setenv(name_.c_str(), old_->c_str(), 1);
    else
        ::unsetenv(name_.c_str());
}

SandboxEnv::SandboxEnv()
    : unc_("ZEL_UNC_ROOT", dir_.MakeDirs("unc")),
      config_("XDG_CONFIG_HOME", dir_.MakeDirs("config")),
      tmp_("TMPDIR", dir_.MakeDirs("tmp")) {}

BoxRecorder::BoxRecorder()
    : previous_(SetMsgBoxHandler([this](const MsgBoxRequest& r) {
          boxes.push_back(r);
          texts.push_back(r.text);
          return MsgResult::Ok;
      })) {}

BoxRecorder::~BoxRecorder() { SetMsgBoxHandler(std::move(previous_)); }

}  // namespace zel::platform::testing
