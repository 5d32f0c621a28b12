#include "platform/folder_index.h"

#include <dirent.h>
#include <pthread.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/error.h"

namespace zel::platform::detail {
namespace {

// Enough for every folder the programs look into; beyond it the indexes start over.
constexpr std::size_t kMaxFolders = 256;

std::string Fold(std::string_view name) {
    std::string out(name);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// A name that is its own folded form is found by asking for that form on the disk; only the
// others need to be held.
bool Folded(std::string_view name) {
    return std::none_of(name.begin(), name.end(), [](char c) { return c >= 'A' && c <= 'Z'; });
}

bool Exists(const std::string& dir, const std::string& name) {
    struct stat st {};
    return ::lstat((dir == "/" ? "/" + name : dir + "/" + name).c_str(), &st) == 0;
}

// File systems whose folders change from other machines without a notification here.
bool RemoteFileSystem(const std::string& dir) {
    struct statfs fs {};
    if (::statfs(dir.c_str(), &fs) != 0) return true;
    switch (static_cast<unsigned long>(fs.f_type)) {
        case 0x6969UL:      // NFS
        case 0xFF534D42UL:  // CIFS
        case 0xFE534D42UL:  // SMB2
        case 0x517BUL:      // SMB
        case 0x65735546UL:  // FUSE
        case 0x01021997UL:  // 9P
        case 0x73757245UL:  // Coda
        case 0x564C:        // NCP
        case 0x6B414653UL:  // AFS
        case 0x47504653UL:  // GPFS
        case 0x00C36400UL:  // Ceph
            return true;
        default: return false;
    }
}

struct Folder {
    // Folded -> the names of that fold that hold a capital letter, in the order they were listed
    // or created. The folders that grow for ever (the archive, the exports) hold only names the
    // programs wrote in lower case, so what is held stays as small as the names others gave.
    std::unordered_map<std::string, std::vector<std::string>> names;
    int watch = -1;
    bool valid = false;
};

class Indexes {
public:
    bool Find(const std::string& dir, const std::string& name, std::string& found) {
        std::lock_guard lock(mutex_);
        if (!use_ || !Ready()) return Scan(dir, name, found);
        Drain();
        auto it = folders_.find(dir);
        if (it == folders_.end()) {
            if (RemoteFileSystem(dir)) return Scan(dir, name, found);
            if (folders_.size() >= kMaxFolders) Clear();
            it = folders_.emplace(dir, Folder{}).first;
        }
        Folder& folder = it->second;
        if (!folder.valid && !Build(dir, folder)) {
            Forget(dir);
            return Scan(dir, name, found);
        }
        // Every change made before this look-up has been applied (Drain), so a hit needs no
        // second look at the disk, and neither does a miss; the folded name itself is asked of
        // the disk, which is as current.
        std::string key = Fold(name);
        const auto hit = folder.names.find(key);
        if (hit != folder.names.end()) {
            found = hit->second.front();
            return true;
        }
        if (key == name || !Exists(dir, key)) return false;
        found = std::move(key);
        return true;
    }

    void Use(bool use) {
        std::lock_guard lock(mutex_);
        use_ = use;
    }

    std::size_t Listings() {
        std::lock_guard lock(mutex_);
        return listings_;
    }

    std::size_t Count() {
        std::lock_guard lock(mutex_);
        return folders_.size();
    }

    std::size_t Names() {
        std::lock_guard lock(mutex_);
        Drain();
        std::size_t n = 0;
        for (const auto& [dir, folder] : folders_)
            for (const auto& [key, same] : folder.names) n += same.size();
        return n;
    }

private:
    // One notification queue per process: a forked child must not read the parent's events.
    bool Ready() {
        static const bool registered = [] {
            ::pthread_atfork(nullptr, nullptr, [] { Forked() = true; });
            return true;
        }();
        (void)registered;
        if (fd_ >= 0 && !Forked()) return true;
        Forked() = false;
        if (fd_ >= 0) ::close(fd_);
        folders_.clear();
        byWatch_.clear();
        fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        return fd_ >= 0;
    }

    static bool& Forked() {
        static bool forked = false;
        return forked;
    }

    void Clear() {
        for (auto& [dir, folder] : folders_)
            if (folder.watch >= 0) ::inotify_rm_watch(fd_, folder.watch);
        folders_.clear();
        byWatch_.clear();
    }

    void Forget(const std::string& dir) {
        const auto it = folders_.find(dir);
        if (it == folders_.end()) return;
        if (it->second.watch >= 0) {
            byWatch_.erase(it->second.watch);
            ::inotify_rm_watch(fd_, it->second.watch);
        }
        folders_.erase(it);
    }

    // The watch is set before the folder is listed, so no change between the two is missed.
    bool Build(const std::string& dir, Folder& folder) {
        if (folder.watch < 0) {
            folder.watch = ::inotify_add_watch(fd_, dir.c_str(),
                                               IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                                                   IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR |
                                                   IN_EXCL_UNLINK);
            if (folder.watch < 0) return false;
            byWatch_[folder.watch] = dir;
        }
        DIR* d = ::opendir(dir.c_str());
        if (!d) {
            if (errno == EMFILE || errno == ENFILE) RaiseClassic(err::kTooManyFiles, "NativePath");
            return false;
        }
        ++listings_;
        folder.names.clear();
        while (dirent* e = ::readdir(d))
            if (!Folded(e->d_name)) folder.names[Fold(e->d_name)].push_back(e->d_name);
        ::closedir(d);
        folder.valid = true;
        return true;
    }

    // Applies every notification queued so far.
    void Drain() {
        alignas(inotify_event) char buf[16384];
        for (;;) {
            const ssize_t n = ::read(fd_, buf, sizeof buf);
            if (n <= 0) return;
            for (char* p = buf; p < buf + n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(p);
                p += sizeof(inotify_event) + e->len;
                Apply(*e);
            }
        }
    }

    void Apply(const inotify_event& e) {
        if (e.mask & IN_Q_OVERFLOW) {
            for (auto& [dir, folder] : folders_) folder.valid = false;
            return;
        }
        const auto w = byWatch_.find(e.wd);
        if (w == byWatch_.end()) return;
        const auto f = folders_.find(w->second);
        if (f == folders_.end()) return;
        Folder& folder = f->second;
        if (e.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
            folder.valid = false;
            if (e.mask & IN_IGNORED) {
                byWatch_.erase(w);
                folder.watch = -1;
            }
            return;
        }
        if (!folder.valid || e.len == 0) return;
        const std::string name = e.name;
        if (Folded(name)) return;
        const std::string key = Fold(name);
        if (e.mask & (IN_CREATE | IN_MOVED_TO)) {
            auto& same = folder.names[key];
            if (std::find(same.begin(), same.end(), name) == same.end()) same.push_back(name);
        } else if (e.mask & (IN_DELETE | IN_MOVED_FROM)) {
            const auto it = folder.names.find(key);
            if (it == folder.names.end()) return;
            std::erase(it->second, name);
            if (it->second.empty()) folder.names.erase(it);
        }
    }

    bool Scan(const std::string& dir, const std::string& name, std::string& found) {
        ++listings_;
        DIR* d = ::opendir(dir.c_str());
        if (!d) {
            if (errno == EMFILE || errno == ENFILE) RaiseClassic(err::kTooManyFiles, "NativePath");
            return false;
        }
        const std::string want = Fold(name);
        bool ok = false;
        while (dirent* e = ::readdir(d)) {
            if (Fold(e->d_name) == want) {
                found = e->d_name;
                ok = true;
                break;
            }
        }
        ::closedir(d);
        return ok;
    }

    std::mutex mutex_;
    std::size_t listings_ = 0;
    bool use_ = true;
    int fd_ = -1;
    std::unordered_map<std::string, Folder> folders_;
    std::unordered_map<int, std::string> byWatch_;
};

Indexes& All() {
    static Indexes* indexes = new Indexes;  // lives to the end of the program
    return *indexes;
}

}  // namespace

bool FindNameWithoutCase(const std::string& dir, const std::string& name, std::string& found) {
    return All().Find(dir, name, found);
}

std::size_t IndexedFolders() { return All().Count(); }

std::size_t FolderListings() { return All().Listings(); }

std::size_t IndexedNames() { return All().Names(); }

void UseFolderIndexes(bool use) { All().Use(use); }

}  // namespace zel::platform::detail
