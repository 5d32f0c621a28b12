#pragma once
// INI documents held in memory, with exactly the results of the profile services (profile.h):
// what a sequence of reads and writes through a ProfileDocument gives, and the bytes it saves,
// are what the same sequence of GetProfileString / WriteProfileString / ... calls on the file
// would give and leave. A document is read once and saved once, instead of being re-read and
// rewritten whole by every call: thousands of keys cost about as much as one write.
//
// ProfileDocument: a document that is read and written (answers, work files, logs). It is held
// as the bytes it was read as plus the bytes written since; a section that is written keeps its
// lines where they are and holds only stretches of those bytes, the lines changed in place and
// an index of its keys, so a planted document of millions of lines costs a few times its size
// also once it is written into, and a write or read costs the same however large it grows.
// ProfileReader: a document that is only read (a request), kept as its bytes with an index of
// its section names, so even a hostile request of millions of lines costs no memory per line.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/ini_text.h"

namespace zel::platform {

namespace detail {
// The hash of a folded name in every table of a document's names: keyed, the key drawn at
// random once per process, so that the names of a document (which anyone may send) cannot be
// chosen to meet in one slot and make every look-up read them all.
std::uint64_t NameHash(std::string_view folded);
struct NameHasher {
    std::size_t operator()(const std::string& folded) const {
        return static_cast<std::size_t>(NameHash(folded));
    }
};

// Where the first header of each section name is in a document's bytes: one slot per distinct
// name, so a document of millions of headers of one name costs nothing per header, and one of
// distinct names a few bytes per header.
class HeaderIndex {
public:
    void Build(std::string_view bytes);
    // Offset of the first header whose folded name is `folded`, or npos.
    std::size_t Find(std::string_view bytes, std::string_view folded) const;

private:
    std::size_t Home(std::uint64_t tagged) const;
    void Grow();
    std::vector<std::uint64_t> slots_;  // hash bits | offset + 1; 0 is a free slot
    std::size_t used_ = 0;
};

// Where the first line holding each key of a section is: one slot per distinct key, the key
// itself read back from the line (`keyAt(line)` gives its folded key), so a section of millions
// of keys costs about a dozen bytes per key.
class KeyIndex {
public:
    static constexpr std::uint64_t kNone = ~std::uint64_t{0};
    template <class KeyAt>
    std::uint64_t Find(std::string_view folded, const KeyAt& keyAt) const;
    // Keeps the line already held for the key: the first one answers.
    template <class KeyAt>
    void Insert(std::string_view folded, std::uint64_t line, const KeyAt& keyAt);
    template <class KeyAt>
    void Set(std::string_view folded, std::uint64_t line, const KeyAt& keyAt);
    template <class KeyAt>
    void Erase(std::string_view folded, const KeyAt& keyAt);
    void Clear();

private:
    std::size_t Home(std::uint64_t tagged) const;
    template <class KeyAt>
    void Put(std::string_view folded, std::uint64_t line, bool replace, const KeyAt& keyAt);
    void Grow();
    std::vector<std::uint64_t> slots_;  // hash bits | line + 2; 0 free, 1 a key erased
    std::size_t used_ = 0;              // slots not free
};
}  // namespace detail

class ProfileDocument {
public:
    // A document of no file (Save is then an error); empty until written.
    ProfileDocument() = default;
    // The document at the Windows-form path `file`. It is read at its first use: a missing
    // file reads as an empty document (created by the first write, as the profile services
    // do); one that exists but cannot be read raises RuntimeError 75, so that a save never
    // replaces a document with one that lost its contents.
    explicit ProfileDocument(std::string file);
    // A document of the given bytes, as if read from `file` (which may be empty).
    static ProfileDocument FromBytes(std::string bytes, std::string file = {});

    const std::string& Path() const noexcept { return file_; }
    // For a document this program wrote into a folder that others can write too: it is read
    // only from a regular file itself (never through a link) of at most `limit` bytes; anything
    // else under its name reads as a document that cannot be read. Set before the first use.
    void ReadOnlyOwnFile(std::size_t limit) noexcept { readLimit_ = limit; }

    // As GetProfileString, GetProfileSection and GetProfileSectionLines on the file.
    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& def, std::size_t bufferSize) const;
    std::string GetSection(const std::string& section, std::size_t bufferSize) const;
    std::vector<std::string> GetSectionLines(const std::string& section) const;

    // As WriteProfileString, WriteProfileSection, DeleteProfileKey and DeleteProfileSection on
    // the file; the file itself is left alone until Save.
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteSection(const std::string& section, const std::string& data);
    bool DeleteKey(const std::string& section, const std::string& key);
    bool DeleteSection(const std::string& section);

    // Whether the file exists as the profile services would have left it: it existed when
    // read, or a write has created it.
    bool Exists() const;
    // Changed since it was read or last saved.
    bool Dirty() const noexcept { return dirty_; }
    // The document's bytes as the file would hold them.
    std::string Bytes() const;
    // Writes the document to its file when it has changed: under a name no poller matches,
    // then renamed into place. With `durable` the document is forced to disk, also when it had
    // not changed since it was saved. Raises RuntimeError 75 when it cannot be written (the
    // document stays changed, so a later Save may still write it).
    void Save(bool durable = false);
    // Writes the document's bytes whole to `file` (Windows form) the same way, forced to disk:
    // a published answer is never seen half-written nor lost to a power failure. Fails as
    // CopyFile fails (76 when the folder is missing, 70, 75 ...).
    void SaveAs(const std::string& file) const;
    // Takes the bytes of another document as its own (a file copied over this one), changed.
    void Assign(const std::string& bytes);

private:
    // Lines are named by where their bytes are: an offset into base_, or kAdded plus an offset
    // into added_. Neither buffer ever has bytes taken out or moved, so a name stays good until
    // the document is taken whole again (Parse).
    static constexpr std::uint64_t kAdded = std::uint64_t{1} << 40;
    // Whole lines, in the order the document holds them.
    struct Run {
        std::uint64_t begin = 0, end = 0;
    };
    // What a line holds now, instead of its bytes: `size` bytes of added_ at `at` (its line end
    // included), or nothing when the line was deleted.
    struct Edit {
        std::uint64_t at = 0, size = 0;
    };
    struct Section {
        // runs[0] is the header line. New keys go before runs[insertAt]: the lines before it end
        // with one holding something (or the header), the ones from it on are all blank.
        std::vector<Run> runs;
        std::size_t insertAt = 1;
        std::map<std::uint64_t, Edit> edits;  // by the line's name
        detail::KeyIndex keys;                // folded key -> name of the first line holding it
    };
    // The document in order: stretches of the bytes as read (`section` null), which cost
    // nothing per line however they look, and sections taken apart for writing.
    struct Piece {
        std::size_t begin = 0, end = 0;  // in base_; for a section, where it was read from
        Section* section = nullptr;
    };
    // Where the first section of a name is: taken apart, or still in the bytes as read.
    struct Place {
        const Section* section = nullptr;
        std::size_t raw = std::string::npos;
    };

    void Load() const;
    // The document's bytes written whole to `file` under a temporary name, then renamed.
    void WriteOut(const std::string& file, bool durable, const char* source) const;
    void Parse(std::string bytes) const;
    Place Locate(const std::string& section) const;
    // The first section named `section`, taken apart for writing; null when there is none.
    Section* Editable(const std::string& section);
    Section& AppendSection(const std::string& section);
    void Changed() noexcept;

    std::string_view View(std::uint64_t begin, std::uint64_t end) const;
    // The bytes from line `line` to the end of its buffer.
    std::string_view From(std::uint64_t line) const;
    std::string FoldedKeyAt(std::uint64_t line) const;
    // How the key index reads a line's key back.
    auto KeyAt() const {
        return [this](std::uint64_t line) { return FoldedKeyAt(line); };
    }
    // The text of line `line` of `s` as it reads now (without its line end).
    std::string_view LineText(const Section& s, std::uint64_t line) const;
    std::uint64_t Add(std::string_view bytes);
    // Calls fn(line, next, text, eol, run) for each line of `s` from runs[from] on that is not
    // deleted, as it reads now; `next` is where the line's bytes as placed end. fn returns false
    // to stop.
    template <class Fn>
    void ForEachLine(const Section& s, std::size_t from, Fn fn) const;
    std::size_t SectionSize(const Section& s) const;
    void AppendSectionBytes(std::string& out, const Section& s) const;
    std::vector<std::string> Entries(const Section& s, std::size_t enoughChars) const;
    // The last line of the bytes as read gets a line end.
    void EndLastLine();
    // Takes the document whole again when what it holds beside its lines has outgrown them.
    void CompactIfWasteful();

    std::string file_;
    std::size_t readLimit_ = 0;  // 0: any file the name reaches
    mutable bool loaded_ = false;
    mutable bool existed_ = false;
    bool written_ = false;
    bool dirty_ = false;
    mutable std::string base_;             // the bytes as read (or as last taken whole)
    mutable std::string added_;            // the bytes of lines written since
    mutable std::size_t deadBytes_ = 0;    // of added_, no longer part of the document
    mutable std::size_t structBytes_ = 0;  // about what sections, runs and edits take
    mutable detail::HeaderIndex baseIndex_;
    mutable std::vector<Piece> pieces_;
    mutable std::deque<Section> store_;
    // Folded name -> the section taken apart or added under it (always the first of its name).
    mutable std::unordered_map<std::string, Section*, detail::NameHasher> named_;
};

class ProfileReader {
public:
    ProfileReader() = default;
    explicit ProfileReader(std::string bytes);

    // As GetProfileString, GetProfileSection and GetProfileSectionLines on a file of these
    // bytes.
    std::string GetString(const std::string& section, const std::string& key,
                          const std::string& def, std::size_t bufferSize) const;
    std::string GetSection(const std::string& section, std::size_t bufferSize) const;
    std::vector<std::string> GetSectionLines(const std::string& section) const;

    const std::string& Bytes() const noexcept { return bytes_; }

private:
    // The bytes from the first header of `section` on (reads stop at the next header).
    std::string_view SectionBytes(const std::string& section) const;

    std::string bytes_;
    detail::HeaderIndex index_;
};

}  // namespace zel::platform
