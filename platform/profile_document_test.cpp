#include "platform/profile_document.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "platform/error.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/test_support.h"

using namespace zel::platform;
using zel::platform::testing::SandboxEnv;

namespace {

const std::string kServices = "\\\\h\\s\\services.ini";
const std::string kMemory = "\\\\h\\s\\memory.ini";

// Random documents, names and values drawn to hit the services' corners: names in any case and
// with blanks around, duplicate sections and keys, comments, lines without '=', blank lines, a
// prelude before the first section, lone CRs, a missing final line end, NULs, quotes, and
// keys or entries that would read back as section headers.
class Draw {
public:
    explicit Draw(unsigned seed) : random_(seed) {}

    int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }
    template <class T>
    const T& Pick(const std::vector<T>& from) {
        return from[static_cast<std::size_t>(Below(static_cast<int>(from.size())))];
    }

    std::string Section() {
        return Pick<std::string>({"ZELINFO", "zelinfo", " ZelInfo ", "COUNT", "count", "ERRORINFO",
                                  "POITEMS1", "poitems1", "POITEMS2", "Time", "", "a]b", "A",
                                  "[x"});
    }
    std::string Key() {
        return Pick<std::string>({"DocType", "DOCTYPE", " doctype\t", "ErrCount", "ErrorCode1",
                                  "ErrorMsg1", "k", "K", ";k", "a=b", "", "line\nbreak", "[k",
                                  "Start Time:", "x\ry"});
    }
    std::string Value() {
        switch (Below(9)) {
            case 0: return "";
            case 1: return "\"quoted\"";
            case 2: return std::string("nul\0inside", 10);
            case 3: return "two\r\nlines";
            case 4: return " blanks ";
            case 5: return "]x[";
            case 6: return std::string(static_cast<std::size_t>(Below(150)), 'v');
            case 7: return "'q'";
            default: return "v" + std::to_string(Below(1000));
        }
    }
    std::string Eol() { return Pick<std::string>({"\r\n", "\r\n", "\n", "\r"}); }
    std::string Line() {
        switch (Below(10)) {
            case 0: return "[" + Section() + "]";
            case 1: return "  [" + Section() + "] trailing";
            case 2: return "";
            case 3: return "   ";
            case 4: return "; comment=1";
            case 5: return "no equals sign";
            case 6: return std::string("nul\0=x", 6);
            default: return Key() + (Below(2) ? "=" : " = ") + Value();
        }
    }
    std::string Document() {
        std::string text;
        const int lines = Below(25);
        for (int i = 0; i < lines; ++i) {
            std::string line = Line();
            for (char& c : line)
                if (c == '\r' || c == '\n') c = ' ';
            text += line + Eol();
        }
        if (!text.empty() && Below(3) == 0) {
            while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        }
        return text;
    }
    std::string SectionData() {
        std::string data;
        const int n = Below(5);
        for (int i = 0; i < n; ++i) {
            if (Below(8) == 0) {
                data += "[" + Section() + "]";
            } else {
                data += Key() + "=" + Value();
            }
            data += '\0';
        }
        if (Below(2)) data += '\0';
        return data;
    }

private:
    std::mt19937 random_;
};

std::string FileBytes(const std::string& file) {
    return FileExists(file) ? ReadWholeFile(file) : "<no file>";
}

}  // namespace

// The model check: random sequences of key writes, whole-section writes, deletions and reads
// through an in-memory document and through the profile services on a file give the same
// answers, and the saved document is byte for byte the file the services left.
TEST(ProfileDocument, BehavesExactlyAsTheProfileServicesOnRandomSequences) {
    SandboxEnv env;
    env.dir().MakeDirs("unc/h/s");
    for (unsigned seed = 1; seed <= 300; ++seed) {
        Draw draw(seed);
        TryDeleteFile(kServices);
        TryDeleteFile(kMemory);
        if (draw.Below(4) != 0) {
            const std::string start = draw.Document();
            WriteWholeFile(kServices, start);
            WriteWholeFile(kMemory, start);
        }
        ProfileDocument doc(kMemory);
        std::string trace = "seed " + std::to_string(seed);
        const int steps = 1 + draw.Below(60);
        for (int step = 0; step < steps; ++step) {
            const std::string section = draw.Section();
            const std::string key = draw.Key();
            switch (draw.Below(10)) {
                case 0:
                case 1:
                case 2:
                case 3: {
                    const std::string value = draw.Value();
                    trace += "\nwrite [" + section + "] " + key;
                    ASSERT_TRUE(WriteProfileString(section, key, value, kServices));
                    doc.WriteString(section, key, value);
                    break;
                }
                case 4: {
                    const std::string data = draw.SectionData();
                    trace += "\nwrite section [" + section + "]";
                    ASSERT_TRUE(WriteProfileSection(section, data, kServices));
                    doc.WriteSection(section, data);
                    break;
                }
                case 5:
                    trace += "\ndelete key [" + section + "] " + key;
                    ASSERT_TRUE(DeleteProfileKey(section, key, kServices));
                    doc.DeleteKey(section, key);
                    break;
                case 6:
                    if (draw.Below(3) != 0) break;
                    trace += "\ndelete section [" + section + "]";
                    ASSERT_TRUE(DeleteProfileSection(section, kServices));
                    doc.DeleteSection(section);
                    break;
                case 7: {
                    const std::size_t buffer =
                        static_cast<std::size_t>(draw.Pick<int>({0, 1, 2, 7, 100, 4096}));
                    ASSERT_EQ(doc.GetSection(section, buffer),
                              GetProfileSection(section, buffer, kServices))
                        << trace;
                    ASSERT_EQ(doc.GetSectionLines(section),
                              GetProfileSectionLines(section, kServices))
                        << trace;
                    break;
                }
                case 8:
                    trace += "\nsave";
                    doc.Save();
                    break;
                default: {
                    const std::size_t buffer =
                        static_cast<std::size_t>(draw.Pick<int>({0, 1, 5, 100, 100000}));
                    ASSERT_EQ(doc.GetString(section, key, "def", buffer),
                              GetProfileString(section, key, "def", buffer, kServices))
                        << trace << "\nread [" << section << "] " << key;
                    break;
                }
            }
            const std::string expected = FileBytes(kServices);
            ASSERT_EQ(doc.Exists(), expected != "<no file>") << trace;
            if (doc.Exists()) {
                ASSERT_EQ(doc.Bytes(), expected) << trace;
            }
        }
        doc.Save();
        ASSERT_EQ(FileBytes(kMemory), FileBytes(kServices)) << trace;
        // Read back from its file, the saved document answers as the services do.
        ProfileDocument again(kMemory);
        const std::string section = draw.Section();
        const std::string key = draw.Key();
        ASSERT_EQ(again.GetString(section, key, "d", 100),
                  GetProfileString(section, key, "d", 100, kServices));
    }
}

TEST(ProfileDocument, ReaderAnswersAsTheServicesOnRandomDocuments) {
    SandboxEnv env;
    env.dir().MakeDirs("unc/h/s");
    for (unsigned seed = 1; seed <= 300; ++seed) {
        Draw draw(seed);
        const std::string bytes = draw.Document();
        WriteWholeFile(kServices, bytes);
        const ProfileReader reader(bytes);
        for (int i = 0; i < 20; ++i) {
            const std::string section = draw.Section();
            const std::string key = draw.Key();
            ASSERT_EQ(reader.GetString(section, key, "d", 100),
                      GetProfileString(section, key, "d", 100, kServices))
                << "seed " << seed;
            ASSERT_EQ(reader.GetSection(section, 4096),
                      GetProfileSection(section, 4096, kServices));
            ASSERT_EQ(reader.GetSection(section, 9), GetProfileSection(section, 9, kServices));
        }
    }
}

TEST(ProfileDocument, NothingReachesTheFileBeforeSaveAndAFailedSaveRaises75) {
    SandboxEnv env;
    env.dir().Write("unc/h/s/a.ini", "[S]\r\nk=1\r\n");
    ProfileDocument doc("\\\\h\\s\\a.ini");
    EXPECT_EQ(doc.GetString("s", "K", "", 100), "1");
    EXPECT_FALSE(doc.Dirty());
    doc.WriteString("S", "k", "2");
    doc.WriteString("T", "new", "3");
    EXPECT_EQ(env.dir().Read("unc/h/s/a.ini"), "[S]\r\nk=1\r\n");
    doc.Save();
    EXPECT_EQ(env.dir().Read("unc/h/s/a.ini"), "[S]\r\nk=2\r\n[T]\r\nnew=3\r\n");
    EXPECT_FALSE(doc.Dirty());

    // A missing document is not created by reads nor by a deletion that changes nothing.
    ProfileDocument missing("\\\\h\\s\\none.ini");
    EXPECT_EQ(missing.GetString("S", "k", "d", 100), "d");
    EXPECT_FALSE(missing.DeleteKey("S", "k"));
    missing.Save();
    EXPECT_FALSE(env.dir().Exists("unc/h/s/none.ini"));

    // A folder where the document should be: it cannot be read, so it is not replaced.
    env.dir().MakeDirs("unc/h/s/dir.ini");
    ProfileDocument folder("\\\\h\\s\\dir.ini");
    try {
        folder.WriteString("S", "k", "v");
        FAIL() << "wrote over a folder";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.Number(), 75);
    }
    // A document whose folder is gone when it is saved.
    ProfileDocument gone("\\\\h\\s\\nofolder\\x.ini");
    gone.WriteString("S", "k", "v");
    try {
        gone.Save();
        FAIL() << "saved into a missing folder";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.Number(), 75);
    }
    EXPECT_TRUE(gone.Dirty());
    EXPECT_THROW(gone.SaveAs("\\\\h\\s\\nofolder\\y.ini"), RuntimeError);
    gone.SaveAs("\\\\h\\s\\published.ini");
    EXPECT_EQ(env.dir().Read("unc/h/s/published.ini"), "[S]\r\nk=v\r\n");
    // Nothing half-written is left beside the documents.
    EXPECT_EQ(ListDirectory("\\\\h\\s\\*").size(), 2u);
}

TEST(ProfileDocument, ReaderOfAHostileNumberOfSectionsFindsTheFirstOfEachName) {
    std::string bytes;
    for (int i = 0; i < 100500; ++i)
        bytes += "[s" + std::to_string(i) + "]\nk=" + std::to_string(i) + "\n";
    bytes += "[S7]\nlate=1\n";
    const ProfileReader reader(bytes);
    EXPECT_EQ(reader.GetString("S100", "K", "", 100), "100");
    EXPECT_EQ(reader.GetString("s100499", "k", "", 100), "100499");
    EXPECT_EQ(reader.GetString("s7", "late", "none", 100), "none");  // the first [s7] holds it not
    EXPECT_EQ(reader.GetString("missing", "k", "none", 100), "none");
}

// Names anyone can make to share one value of the standard library's hash meet in no table of a
// document: each has a hash of its own, and each still finds its own section and key.
TEST(ProfileDocument, NamesMadeToShareTheLibrarysHashHaveHashesOfTheirOwn) {
    const std::vector<std::string> names = zel::platform::testing::SixteenByteNames(2000, true);
    std::set<std::uint64_t> hashes;
    std::string bytes = "[Time]\r\n";
    for (std::size_t i = 0; i < names.size(); ++i) {
        hashes.insert(detail::NameHash(names[i]));
        bytes += names[i] + "=" + std::to_string(i) + "\r\n";
    }
    for (std::size_t i = 0; i < names.size(); ++i)
        bytes += "[" + names[i] + "]\r\nk=" + std::to_string(i) + "\r\n";
    EXPECT_EQ(hashes.size(), names.size());
    const ProfileReader reader(bytes);
    ProfileDocument doc = ProfileDocument::FromBytes(bytes);
    doc.WriteString("Time", "End Time:", "12:00:00");  // its keys are indexed
    for (std::size_t i = 0; i < names.size(); i += 7) {
        const std::string want = std::to_string(i);
        ASSERT_EQ(reader.GetString(names[i], "k", "", 100), want);
        ASSERT_EQ(doc.GetString(names[i], "k", "", 100), want);
        ASSERT_EQ(doc.GetString("Time", names[i], "", 100), want);
    }
}
