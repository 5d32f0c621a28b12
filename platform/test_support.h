#pragma once
// Helpers for tests across the tree: a private temporary folder, a scoped environment variable,
// and a fake share root with settings store.
#include <cstddef>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include <QLocale>

#include "platform/seams.h"

namespace zel::platform::testing {

// mkdtemp folder removed (recursively) when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    // Creates folders and writes a file below the folder (native, relative path).
    std::string Write(const std::string& relative, const std::string& bytes) const;
    std::string Read(const std::string& relative) const;
    bool Exists(const std::string& relative) const;
    std::string MakeDirs(const std::string& relative) const;

private:
    std::string path_;
};

class ScopedEnv {
public:
    ScopedEnv(const std::string& name, const std::optional<std::string>& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

// ZEL_UNC_ROOT, XDG_CONFIG_HOME and TMPDIR pointed into one temporary folder for a test.
class SandboxEnv {
public:
    SandboxEnv();
    const TempDir& dir() const { return dir_; }
    std::string UncRoot() const { return dir_.path() + "/unc"; }
    std::string Temp() const { return dir_.path() + "/tmp"; }

private:
    TempDir dir_;
    ScopedEnv unc_, config_, tmp_;
};

// Uses up every file descriptor this process may open (the soft limit lowered to a few above
// those in use, the rest taken), so that the next open fails with EMFILE; gives them back and
// restores the limit when it goes.
class DescriptorsExhausted {
public:
    DescriptorsExhausted();
    ~DescriptorsExhausted();
    DescriptorsExhausted(const DescriptorsExhausted&) = delete;
    DescriptorsExhausted& operator=(const DescriptorsExhausted&) = delete;

private:
    std::vector<int> taken_;
    unsigned long oldSoft_ = 0;
};

// Answers every message box with its first button and remembers what was shown, for the life
// of the object.
class BoxRecorder {
public:
    BoxRecorder();
    ~BoxRecorder();
    BoxRecorder(const BoxRecorder&) = delete;
    BoxRecorder& operator=(const BoxRecorder&) = delete;

    std::vector<MsgBoxRequest> boxes;
    std::vector<std::string> texts;  // the boxes' texts, in order

private:
    MsgBoxHandler previous_;
};

// The default locale, which the locale-aware conversions follow, pinned to `name` ("C",
// "en_US", "de_DE") for the life of the object: a test must not depend on the machine's locale.
class ScopedDefaultLocale {
public:
    explicit ScopedDefaultLocale(const char* name) {
        QLocale::setDefault(QLocale(QString::fromLatin1(name)));
    }
    ~ScopedDefaultLocale() { QLocale::setDefault(old_); }
    ScopedDefaultLocale(const ScopedDefaultLocale&) = delete;
    ScopedDefaultLocale& operator=(const ScopedDefaultLocale&) = delete;

private:
    QLocale old_;
};

// `count` distinct names of 16 bytes that all share one value of the standard library's
// std::hash, made by inverting it as anyone can (the function is public and unseeded); with
// `colliding` false, as many names of the same size drawn from the same bytes. A name holds no
// line end, NUL, ']', '=' or capital letter and no blank at either end, so it reads back as
// itself from a header or a key line. Raises std::runtime_error where std::hash is another.
std::vector<std::string> SixteenByteNames(std::size_t count, bool colliding);

}  // namespace zel::platform::testing
