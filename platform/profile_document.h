#pragma once
// INI documents held in memory, with exactly the results of the profile services (profile.h):
// what a sequence of reads and writes through a ProfileDocument gives, and the bytes it saves,
// are what the same sequence of GetProfileString / WriteProfileString / ... calls on the file
// would give and leave. A document is read once and saved once, instead of being re-read and
// rewritten whole by every call: thousands of keys cost about as much as one write.
//
// ProfileDocument: a document that is read and written (answers, work files, logs). Sections
// and keys are indexed, so a write or read costs the same however large the document grows.
// ProfileReader: a document that is only read (a request), kept as its bytes with an index of
// its sections, so even a hostile request of millions of lines costs no memory per line.
#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "platform/ini_text.h"

namespace zel::platform {

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
    struct Section {
        ini::Line header;
        std::vector<ini::Line> body;
        // Folded key -> body index of the first line holding it.
        std::unordered_map<std::string, std::size_t> keys;
    };

    void Load() const;
    // The document's bytes written whole to `file` under a temporary name, then renamed.
    void WriteOut(const std::string& file, bool durable, const char* source) const;
    void Parse(const std::string& bytes) const;
    void IndexKeys(Section& section) const;
    void IndexSections() const;
    const Section* Find(const std::string& section) const;
    Section& AppendSection(const std::string& section);
    void EnsureLastLineEnded();
    // Runs an edit on the line-by-line form of the document: for writes whose lines would read
    // back as section headers, which no index can follow.
    template <class Edit>
    void EditAsLines(Edit edit);
    void Changed() noexcept;

    std::string file_;
    std::size_t readLimit_ = 0;  // 0: any file the name reaches
    mutable bool loaded_ = false;
    mutable bool existed_ = false;
    bool written_ = false;
    bool dirty_ = false;
    mutable std::vector<ini::Line> prelude_;  // lines before the first section
    mutable std::vector<Section> sections_;
    // Folded name -> index of the first section of that name.
    mutable std::unordered_map<std::string, std::size_t> sectionIndex_;
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
    // The bytes from the first header of `section` to the next header.
    std::string_view SectionBytes(const std::string& section) const;

    struct Section {
        std::size_t hash;  // of the folded name
        std::size_t begin, end;
    };
    std::string bytes_;
    // Every header's [begin, end), ordered by the hash of its folded name, then by position.
    std::vector<Section> sections_;
};

}  // namespace zel::platform
