#include "platform/test_support.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
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

namespace {
// The 64-bit std::hash of the GNU library over 16 bytes: the length and a fixed seed, then each
// 8-byte block mixed in by steps that can all be undone, so the second block that brings any
// first block to a chosen state is computed directly.
constexpr std::uint64_t kMul = 0xc6a4a7935bd1e995ULL;
constexpr std::uint64_t kSeed = 0xc70f6907ULL;
std::uint64_t ShiftMix(std::uint64_t v) { return v ^ (v >> 47); }  // its own inverse
std::uint64_t Inverse(std::uint64_t a) {
    std::uint64_t x = a;
    for (int i = 0; i < 6; ++i) x *= 2 - a * x;
    return x;
}
std::uint64_t Mixed(std::uint64_t block) { return ShiftMix(block * kMul) * kMul; }
std::uint64_t Load(const std::string& name, std::size_t at) {
    std::uint64_t v = 0;
    std::memcpy(&v, name.data() + at, 8);
    return v;
}
bool Fits(unsigned char c) {
    return c != 0 && c != '\r' && c != '\n' && c != ']' && c != '=' && !(c >= 'A' && c <= 'Z');
}
}  // namespace

std::vector<std::string> SixteenByteNames(std::size_t count, bool colliding) {
    const std::uint64_t inv = Inverse(kMul);
    const std::uint64_t start = kSeed ^ (16 * kMul);
    std::uint64_t target = 0;
    bool haveTarget = false;
    std::mt19937_64 random(27);
    std::vector<std::string> names;
    for (std::uint64_t n = 0; names.size() < count; ++n) {
        // The first 8 bytes tell the names apart.
        std::string name(16, 'a');
        std::uint64_t rest = n;
        for (std::size_t i = 0; i < 8; ++i, rest /= 36)
            name[i] = "abcdefghijklmnopqrstuvwxyz0123456789"[rest % 36];
        const std::uint64_t state = (start ^ Mixed(Load(name, 0))) * kMul;
        if (colliding && haveTarget) {
            const std::uint64_t second = ShiftMix((target * inv ^ state) * inv) * inv;
            std::memcpy(name.data() + 8, &second, 8);
        } else {
            for (std::size_t i = 8; i < 16; ++i) {
                do {
                    name[i] = static_cast<char>(random());
                } while (!Fits(static_cast<unsigned char>(name[i])));
            }
        }
        if (!std::all_of(name.begin(), name.end(),
                         [](char c) { return Fits(static_cast<unsigned char>(c)); }) ||
            name.back() == ' ' || name.back() == '\t')
            continue;
        if (!haveTarget) {
            target = (state ^ Mixed(Load(name, 8))) * kMul;
            haveTarget = true;
        }
        names.push_back(std::move(name));
    }
    if (colliding) {
        const std::size_t one = std::hash<std::string>{}(names.front());
        for (const std::string& name : names)
            if (std::hash<std::string>{}(name) != one)
                throw std::runtime_error("std::hash is not the function these names invert");
    }
    return names;
}

}  // namespace zel::platform::testing
