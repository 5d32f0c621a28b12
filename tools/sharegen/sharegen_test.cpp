#include "tools/sharegen/sharegen.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <sys/wait.h>

#include <nlohmann/json.hpp>

namespace zel::sharegen {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

std::uint32_t U(const std::string& s, std::size_t at, int width) {
    std::uint32_t v = 0;
    for (int i = 0; i < width; ++i)
        v = v << 8 | static_cast<unsigned char>(s[at + static_cast<std::size_t>(i)]);
    return v;
}

class Folder {
public:
    Folder() {
        std::string tmpl = (fs::temp_directory_path() / "sharegen-XXXXXX").string();
        path = ::mkdtemp(tmpl.data());
    }
    ~Folder() { fs::remove_all(path); }
    std::string Read(const std::string& rel) const {
        std::ifstream in(path + "/" + rel, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    std::string path;
};

TEST(SharegenIndex, PlainTreeLayout) {
    IndexSpec spec;
    spec.keyLength = 8;  // E = 12, 42 entries a block
    std::vector<IndexEntry> entries;
    for (int i = 0; i < 100; ++i)
        entries.push_back({std::string(1, static_cast<char>(100 - i)), i + 1});
    BuiltIndex idx = BuildIndex(spec, entries);
    ASSERT_EQ(idx.levels, 2);
    ASSERT_EQ(idx.leaves.size(), 3u);  // 101 entries with the end marker
    const std::string& b = idx.bytes;
    EXPECT_EQ(U(b, 0, 2), 12u);
    EXPECT_EQ(U(b, 2, 2), 42u);
    EXPECT_EQ(U(b, 4, 2), static_cast<std::uint32_t>(idx.lastRecord));
    EXPECT_EQ(U(b, 8, 2), static_cast<std::uint32_t>(idx.root));
    EXPECT_EQ(U(b, 14, 2), 0u);

    const std::size_t leaf1 = static_cast<std::size_t>(idx.leaves[0]) * 512;
    EXPECT_EQ(U(b, leaf1, 2), 42u);
    EXPECT_EQ(U(b, leaf1 + 2, 2), static_cast<std::uint32_t>(idx.leaves[1]));
    EXPECT_EQ(U(b, leaf1 + 4, 1), 1u);        // smallest key first
    EXPECT_EQ(U(b, leaf1 + 4 + 8, 4), 100u);  // its record
    const std::size_t last = static_cast<std::size_t>(idx.leaves[2]) * 512;
    EXPECT_EQ(U(b, last + 2, 2), 0xFFFFu);
    const std::size_t endAt = last + 4 + (U(b, last, 2) - 1) * 12;
    EXPECT_EQ(b.substr(endAt, 12), std::string(12, '\xFF'));

    const std::size_t root = static_cast<std::size_t>(idx.root) * 512;
    EXPECT_EQ(U(b, root, 2), 3u);
    EXPECT_EQ(U(b, root + 2, 2), 0u);  // not a leaf
    EXPECT_EQ(U(b, root + 4 + 8, 4), static_cast<std::uint32_t>(idx.leaves[0]));
    EXPECT_EQ(b.substr(root + 4, 8), b.substr(leaf1 + 4 + 41 * 12, 8));  // child's last key
}

TEST(SharegenIndex, ExtendedHeaderAndBlockNumbers) {
    IndexSpec spec;
    spec.keyLength = 4;
    spec.extended = true;
    spec.blockSize = 2048;
    spec.duplicates = true;
    BuiltIndex idx = BuildIndex(spec, {{"AB", 7}, {"AB", 8}});
    const std::string& b = idx.bytes;
    EXPECT_EQ(U(b, 0, 2), 10u);  // key, 2 duplicate bytes, pointer
    EXPECT_EQ(b.substr(14, 2), "09");
    EXPECT_EQ(U(b, 12, 2), 0xFFFFu);
    EXPECT_EQ(U(b, 18, 1) << 16 | U(b, 8, 2), static_cast<std::uint32_t>(idx.root));
    const std::size_t leaf = static_cast<std::size_t>(idx.root) * 2048;
    EXPECT_EQ(U(b, leaf + 6, 1) << 16 | U(b, leaf + 2, 2), 0xFFFFFFu);
    EXPECT_EQ(U(b, leaf + 8 + 4, 2), 0u);   // duplicate sequence of the first "AB"
    EXPECT_EQ(U(b, leaf + 18 + 4, 2), 1u);  // and of the second
    EXPECT_EQ(U(b, leaf + 18 + 6, 4), 8u);
}

TEST(SharegenIndex, RefusesWhatTheLayoutCannotHold) {
    IndexSpec spec;
    EXPECT_THROW(BuildIndex(spec, {{"A", 1}, {"A", 2}}), DescriptionError);  // no duplicates
    EXPECT_THROW(BuildIndex(spec, {{"TOO LONG KEY", 1}}), DescriptionError);
    spec.blockSize = 1024;
    EXPECT_THROW(BuildIndex(spec, {}), DescriptionError);  // plain blocks are 512
    spec.blockSize = 512;
    spec.keyLength = 300;
    EXPECT_THROW(BuildIndex(spec, {}), DescriptionError);
}

TEST(SharegenShare, WritesTheLinkTableDirectoryAndRecordZero) {
    Folder root;
    json d = json::parse(R"({
      "host": "SRV", "directory": "D1",
      "resolutions": [{ "path": "D1:D1FD", "files": [
        { "name": "CUSTL", "recordLength": 32, "lastRecord": 3,
          "records": [ { "number": 2, "fields": [ { "at": 3, "hex": "C0FFEE" } ] },
                       { "number": 3, "status": -1 } ] } ] }],
      "ttymap": ["PC1 4"]
    })");
    BuildResult r = BuildShare(d, root.path, root.path + "/tmp");
    EXPECT_TRUE(r.catalogIni.empty());

    const std::string links = root.Read("SRV/QMRLINK/LINKSFILE");
    ASSERT_EQ(links.size(), 160u);
    EXPECT_EQ(links.substr(1, 9), ":D1:CUSTL");
    EXPECT_EQ(links.substr(81, 7), "D1:D1FD");

    const std::string row = root.Read("SRV/QMRLINK/D1/D1FD");
    ASSERT_EQ(row.size(), 32u);
    EXPECT_EQ(row.substr(0, 10), std::string("CUSTL\0\0\0\0\0", 10));
    EXPECT_EQ(U(row, 10, 3), 2u);  // first area at block 2
    EXPECT_EQ(U(row, 13, 2), 32u);
    EXPECT_EQ(row[15], 'L');
    EXPECT_EQ(U(row, 16, 4), 3u);

    const std::string data = root.Read("SRV/QMRLINK/D1/D1DB");
    const std::string zero = data.substr(1024, 16);
    EXPECT_EQ(U(zero, 0, 2), 0xFFFEu);
    EXPECT_EQ(U(zero, 2, 4), 0xFFFFFFFFu);
    EXPECT_EQ(U(zero, 6, 4), 2u);   // highest live record
    EXPECT_EQ(U(zero, 10, 4), 1u);  // live records (record 3 has a negative status)
    EXPECT_EQ(data.substr(1024 + 64, 5), std::string("\0\x01\xC0\xFF\xEE", 5));
    EXPECT_EQ(root.Read("SRV/QMRLINK/ttymap"), "PC1 4\r\n");
}

TEST(SharegenShare, RefusesBadDescriptions) {
    Folder root;
    auto bad = [&](const char* text) {
        EXPECT_THROW(BuildShare(json::parse(text), root.path, root.path), std::exception) << text;
    };
    bad(R"({"directory": "D"})");
    bad(R"({"host": "S", "directory": "D", "resolutions": [{"path": "D:XFD", "files": [
          {"name": "NAME_LONGER_THAN_10"}]}]})");
    bad(R"({"host": "S", "directory": "D", "resolutions": [{"path": "D:XFD", "files": [
          {"name": "A", "recordLength": 16, "lastRecord": 1,
           "records": [{"number": 1, "fields": [{"at": 15, "pack": "L", "value": 1}]}]}]}]})");
    bad(R"({"host": "S", "directory": "D", "resolutions": [{"path": "D:XFD", "files": [
          {"name": "A", "recordLength": 16, "lastRecord": 1,
           "records": [{"number": 2}]}]}]})");
    bad(R"({"host": "S", "directory": "D", "resolutions": [{"path": "..:XFD", "files": []}]})");
    bad(R"({"host": "S", "directory": "D", "resolutions": [{"path": "D:XFD", "files": [
          {"name": "LONGNAME", "flags": 3, "recordLength": 16}]}]})");
    bad(R"({"host": "S", "directory": "D", "resolutions": [{"path": "D:XFD", "files": [
          {"name": "I", "type": "I", "keyLength": 200, "spareBlocks": -1, "entries": [
           {"key": "A", "record": 1}, {"key": "B", "record": 2}, {"key": "C", "record": 3}]}]}]})");
}

TEST(SharegenCommand, BuildsTheSampleUnderTheUncRoot) {
    Folder root;
    const std::string sample = std::string(ZEL_SOURCE_DIR) + "/samples/share.json";
    const std::string run = "TMPDIR='" + root.path + "' ZEL_UNC_ROOT='" + root.path + "' '" +
                            SHAREGEN_EXE + "' '" + sample + "' >/dev/null";
    ASSERT_EQ(std::system(run.c_str()), 0);
    EXPECT_TRUE(fs::exists(root.path + "/QSERVER/QMRLINK/LINKSFILE"));
    EXPECT_EQ(fs::file_size(root.path + "/QSERVER/QMRLINK/QMR1/FILE0"), 402u * 512u);
    EXPECT_TRUE(fs::exists(root.path + "/QMRCatalog.ini"));

    const std::string unset =
        "env -u ZEL_UNC_ROOT '" + std::string(SHAREGEN_EXE) + "' '" + sample + "' 2>/dev/null";
    EXPECT_NE(std::system(unset.c_str()), 0);
}

// The command's exit code, with its standard output and error stream.
struct CommandResult {
    int code = -1;
    std::string out, err;
};
CommandResult RunSharegen(const std::string& args) {
    Folder scratch;
    const std::string command = "'" + std::string(SHAREGEN_EXE) + "' " + args + " >'" +
                                scratch.path + "/out' 2>'" + scratch.path + "/err'";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, scratch.Read("out"), scratch.Read("err")};
}

TEST(SharegenCommand, HelpAndAWrongCommandLineShowTheUsage) {
    for (const char* help : {"--help", "-h"}) {
        const CommandResult r = RunSharegen(help);
        EXPECT_EQ(r.code, 0) << help;
        EXPECT_EQ(r.out.rfind("usage: sharegen DESCRIPTION.json\n", 0), 0u)
            << help << ": " << r.out;
        EXPECT_NE(r.out.find("ZEL_UNC_ROOT"), std::string::npos);
        EXPECT_EQ(r.err, "");
    }
    for (const char* wrong : {"", "a.json b.json", "--bogus"}) {
        const CommandResult r = RunSharegen(wrong);
        EXPECT_EQ(r.code, 2) << wrong;
        EXPECT_EQ(r.out, "") << wrong;
        EXPECT_NE(r.err.find("usage: sharegen DESCRIPTION.json"), std::string::npos) << wrong;
    }
}

}  // namespace
}  // namespace zel::sharegen
