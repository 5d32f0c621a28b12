#include "engine/keyindex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>

#include "engine/fileio.h"
#include "engine/packing.h"
#include "engine/share_test_support.h"
#include "engine/test_helpers.h"
#include "platform/seams.h"
#include "platform/test_support.h"
#include "tools/sharegen/sharegen.h"

namespace zel::engine {
namespace {

using testing::BoxRecorder;
using testing::Raised;
namespace sg = zel::sharegen;

constexpr std::int32_t kStart = 3;  // index areas start at block 3 of their file

// A share "\\HOST\QMRLINK\DATA" with a fresh open-file list; index files are written on it.
class IndexFileTest : public testing::DataShareTest {
protected:
    // Writes `area` at block kStart of a new file between filler bytes, and opens it as an index.
    std::shared_ptr<cLogicalFile> Put(const std::string& name, const std::string& area,
                                      std::int32_t blockSize, std::int32_t lastRecord,
                                      bool extended) {
        std::string bytes(kStart * 512, '\xAA');
        bytes += area;
        bytes += std::string(4096, '\xBB');
        Write(name, bytes);
        std::string path = name;
        auto lf = std::make_shared<cLogicalFile>();
        lf->FileName = name;
        lf->FileType = "I";
        lf->OpenFile = OpenFile(path);
        lf->Position = kStart;
        lf->RecordLength = blockSize;
        lf->LastRecord = lastRecord;
        lf->IsamPlus = extended;
        return lf;
    }
    std::shared_ptr<cLogicalFile> Put(const std::string& name, const sg::BuiltIndex& idx,
                                      const sg::IndexSpec& spec) {
        return Put(name, idx.bytes, spec.extended ? spec.blockSize : 512, idx.lastRecord,
                   spec.extended);
    }
    // Overwrites bytes of a file on the share (0-based offset from the index area's start).
    void Patch(const std::string& name, std::size_t areaOffset, const std::string& bytes) {
        std::string all = Read(name);
        all.replace(kStart * 512 + areaOffset, bytes.size(), bytes);
        Write(name, all);
    }

    BoxRecorder boxes_;
};

std::string Word(std::uint32_t v) { return testing::Bytes({int(v >> 8 & 0xFF), int(v & 0xFF)}); }

// ---- against a sorted in-memory model ------------------------------------------------------

struct Config {
    const char* name;
    int keyLength;
    bool extended;
    int blockSize;
    bool duplicates;
    int count;
    int pool;  // distinct key values to draw from (duplicates), 0: all distinct
    int fill;
    std::uint32_t scatter;
    int minLevels;
};

void PrintTo(const Config& c, std::ostream* os) { *os << c.name; }

class IndexModelTest : public IndexFileTest, public ::testing::WithParamInterface<Config> {
protected:
    void SetUp() override {
        IndexFileTest::SetUp();
        const Config& c = GetParam();
        spec_.keyLength = c.keyLength;
        spec_.extended = c.extended;
        spec_.blockSize = c.blockSize;
        spec_.duplicates = c.duplicates;
        spec_.fillPercent = c.fill;
        spec_.scatterSeed = c.scatter;
        spec_.spareBlocks = 3;

        std::mt19937 rng(1234);
        std::vector<std::string> pool;
        std::set<std::string> seen;
        const int distinct = c.pool ? c.pool : c.count;
        while (static_cast<int>(pool.size()) < distinct) {
            std::string k(static_cast<std::size_t>(c.keyLength), '\0');
            // Bytes 0x00-0xFE: the key of all 0xFF bytes belongs to the end marker.
            for (auto& ch : k) ch = static_cast<char>(rng() % 0xFF);
            if (seen.insert(k).second) pool.push_back(k);
        }
        std::vector<sg::IndexEntry> entries;
        for (int i = 0; i < c.count; ++i) {
            const std::string& k =
                c.pool ? pool[rng() % pool.size()] : pool[static_cast<std::size_t>(i)];
            entries.push_back({k, i + 1});
        }
        model_ = entries;
        std::stable_sort(model_.begin(), model_.end(),
                         [](const auto& a, const auto& b) { return KCompare(a.key, b.key) < 0; });
        built_ = sg::BuildIndex(spec_, entries);
        ASSERT_GE(built_.levels, c.minLevels);
        lf_ = Put("INDEX", built_, spec_);
    }

    // First model position at or above `probe` (model_.size() when none).
    std::size_t LowerBound(const std::string& probe) const {
        return static_cast<std::size_t>(
            std::lower_bound(model_.begin(), model_.end(), probe,
                             [](const sg::IndexEntry& e, const std::string& p) {
                                 return KCompare(e.key, p) < 0;
                             }) -
            model_.begin());
    }
    std::string EndKey() const {
        return std::string(static_cast<std::size_t>(spec_.keyLength), '\xFF');
    }

    // KFind of `probe` gives what the model says.
    void ExpectFind(std::string probe) {
        std::string buff, key = probe;
        std::int32_t rec = 777;
        KFind(lf_.get(), buff, key, rec);
        probe.resize(static_cast<std::size_t>(spec_.keyLength), '\0');
        const std::size_t j = LowerBound(probe);
        if (j == model_.size()) {
            EXPECT_EQ(rec, 0);
            EXPECT_EQ(key, KCompare(probe, EndKey()) < 0 ? EndKey() : probe);
        } else if (model_[j].key == probe) {
            EXPECT_EQ(rec, model_[j].record);
            EXPECT_EQ(key, probe);
        } else {
            EXPECT_EQ(rec, -model_[j].record);
            EXPECT_EQ(key, model_[j].key);
        }
    }

    sg::IndexSpec spec_;
    sg::BuiltIndex built_;
    std::vector<sg::IndexEntry> model_;
    std::shared_ptr<cLogicalFile> lf_;
};

TEST_P(IndexModelTest, FindsEveryStoredKeyExactly) {
    for (std::size_t i = 0; i < model_.size();
         i += std::max<std::size_t>(1, model_.size() / 1500)) {
        std::string buff, key = model_[i].key;
        std::int32_t rec = 0;
        KFind(lf_.get(), buff, key, rec);
        // With duplicates the search lands on the first entry of that key.
        EXPECT_EQ(rec, model_[LowerBound(model_[i].key)].record) << "key #" << i;
        EXPECT_EQ(key, model_[i].key);
    }
}

TEST_P(IndexModelTest, FindsTheNextKeyBetweenBeforeAndAfter) {
    std::mt19937 rng(99);
    for (int n = 0; n < 1500; ++n) {
        std::string probe(static_cast<std::size_t>(spec_.keyLength), '\0');
        for (auto& ch : probe) ch = static_cast<char>(rng() & 0xFF);
        ExpectFind(probe);
    }
    // Just above a stored key, and just below one.
    for (std::size_t i = 0; i < model_.size(); i += model_.size() / 50 + 1) {
        std::string up = model_[i].key;
        up.back() = static_cast<char>(static_cast<unsigned char>(up.back()) + 1);
        ExpectFind(up);
        std::string down = model_[i].key;
        if (down.back() != '\0') {
            down.back() = static_cast<char>(static_cast<unsigned char>(down.back()) - 1);
            ExpectFind(down);
        }
    }
    ExpectFind(std::string());  // before the first
    ExpectFind(std::string(static_cast<std::size_t>(spec_.keyLength), '\xFE') + "\xFE");  // cut
    ExpectFind(model_.back().key + "\x01\x02\x03");                              // longer: cut
    ExpectFind(std::string(static_cast<std::size_t>(spec_.keyLength), '\xFF'));  // the end marker
}

TEST_P(IndexModelTest, PrefixLandsOnTheFirstKeyStartingWithIt) {
    for (std::size_t i = 0; i < model_.size(); i += model_.size() / 40 + 1) {
        const std::string prefix = model_[i].key.substr(0, 2);
        std::string buff, key = prefix;
        std::int32_t rec = 0;
        KFind(lf_.get(), buff, key, rec);
        EXPECT_EQ(key.size(), static_cast<std::size_t>(spec_.keyLength));
        EXPECT_EQ(key.substr(0, 2), prefix);
        const std::size_t j = LowerBound(prefix + std::string(key.size() - 2, '\0'));
        EXPECT_EQ(key, model_[j].key);
        EXPECT_EQ(std::abs(rec), model_[j].record);
    }
}

TEST_P(IndexModelTest, NextWalksEveryKeyToTheEndMarker) {
    std::string buff, key;
    std::int32_t rec = 0;
    KFind(lf_.get(), buff, key, rec);
    ASSERT_EQ(key, model_.front().key);
    ASSERT_EQ(std::abs(rec), model_.front().record);
    for (std::size_t i = 1; i < model_.size(); ++i) {
        KNext(lf_.get(), buff, key, rec);
        ASSERT_EQ(rec, model_[i].record) << "step " << i;
        ASSERT_EQ(key, model_[i].key) << "step " << i;
    }
    KNext(lf_.get(), buff, key, rec);  // onto the end marker
    EXPECT_EQ(rec, 0);
    EXPECT_EQ(key, EndKey());
    const std::string atEnd = buff;
    key = "unchanged";
    KNext(lf_.get(), buff, key, rec);
    EXPECT_EQ(rec, 0);
    EXPECT_EQ(buff, atEnd);
    EXPECT_EQ(key, "unchanged");
}

TEST_P(IndexModelTest, LastAndPrevWalkBackToTheFirstKey) {
    if (spec_.extended) GTEST_SKIP() << "KLast and KPrev read the plain variant only";
    std::string buff, key;
    std::int32_t rec = 0;
    KLast(lf_.get(), buff, key, rec);
    ASSERT_EQ(rec, model_.back().record);
    ASSERT_EQ(key, model_.back().key);
    for (std::size_t i = model_.size() - 1; i-- > 0;) {
        KPrev(lf_.get(), buff, key, rec);
        ASSERT_EQ(rec, model_[i].record) << "entry " << i;
        ASSERT_EQ(key, model_[i].key) << "entry " << i;
    }
    const std::string atFirst = buff;
    KPrev(lf_.get(), buff, key, rec);
    EXPECT_EQ(rec, 0);
    EXPECT_EQ(buff, atFirst);
}

TEST_P(IndexModelTest, NextAndPrevRetraceEachOther) {
    if (spec_.extended) GTEST_SKIP() << "KPrev reads the plain variant only";
    std::mt19937 rng(5);
    for (int n = 0; n < 40; ++n) {
        const std::size_t start = rng() % model_.size();
        std::string buff, key = model_[start].key;
        std::int32_t rec = 0;
        KFind(lf_.get(), buff, key, rec);
        std::size_t at = LowerBound(model_[start].key);
        for (int s = 0; s < 60 && at + 1 < model_.size(); ++s, ++at)
            KNext(lf_.get(), buff, key, rec);
        for (int s = 0; s < 90 && at > 0; ++s) {
            KPrev(lf_.get(), buff, key, rec);
            --at;
            ASSERT_EQ(rec, model_[at].record);
        }
    }
}

TEST_P(IndexModelTest, CountAndLength) {
    EXPECT_EQ(KCount(lf_.get()), static_cast<std::int32_t>(model_.size()));
    EXPECT_EQ(KLength(lf_.get()), built_.entryLength - 4);
}

INSTANTIATE_TEST_SUITE_P(
    Variants, IndexModelTest,
    ::testing::Values(Config{"OneLevel", 8, false, 512, false, 30, 0, 100, 0, 1},
                      Config{"TwoLevels", 8, false, 512, false, 1000, 0, 100, 0, 2},
                      Config{"ThreeLevels", 8, false, 512, false, 5000, 0, 50, 0, 3},
                      Config{"FiveLevelsScattered", 12, false, 512, false, 5000, 0, 20, 77, 5},
                      Config{"PlainDuplicates", 4, false, 512, true, 3000, 400, 100, 3, 2},
                      Config{"ExtendedDuplicates", 10, true, 2048, true, 20000, 3000, 100, 11, 3},
                      Config{"ExtendedUnique", 6, true, 2048, false, 6000, 0, 15, 0, 3}),
    [](const auto& info) { return std::string(info.param.name); });

// Runs of one key longer than a leaf, in a tree of three levels: after KNext has carried the
// KeyState into another subtree, KPrev must find the way back although several parent entries
// carry the same key.
TEST_F(IndexFileTest, PrevAfterNextAcrossLongRunsOfOneKey) {
    sg::IndexSpec spec;
    spec.keyLength = 4;
    spec.duplicates = true;
    std::vector<sg::IndexEntry> entries;
    for (int i = 0; i < 20000; ++i) {
        char k[5];
        std::snprintf(k, sizeof k, "K%03d", i / 700);
        entries.push_back({k, i + 1});
    }
    const auto idx = sg::BuildIndex(spec, entries);
    ASSERT_GE(idx.levels, 3);
    auto lf = Put("RUNS", idx, spec);
    for (int run = 0; run < 29; ++run) {
        char k[5];
        std::snprintf(k, sizeof k, "K%03d", run);
        std::string buff, key = k;
        std::int32_t rec = 0;
        KFind(lf.get(), buff, key, rec);
        std::int32_t at = run * 700 + 1;
        ASSERT_EQ(rec, at);
        for (int s = 0; s < 900 && at < 20000; ++s) {
            KNext(lf.get(), buff, key, rec);
            ASSERT_EQ(rec, ++at);
        }
        for (int s = 0; s < 900 && at > 1; ++s) {
            KPrev(lf.get(), buff, key, rec);
            ASSERT_EQ(rec, --at) << "run " << run << " step " << s;
        }
    }
}

// ---- fresh files -----------------------------------------------------------------------------

TEST_F(IndexFileTest, InitFileMakesAnEmptyIndex) {
    auto lf = Put("FRESH", std::string(6 * 512, '\x55'), 512, 5, false);
    InitFile(lf.get(), 8, true, 150);
    const std::string area = Read("FRESH").substr(kStart * 512);
    const std::string header = area.substr(0, 512);
    EXPECT_EQ(header.substr(0, 16), Word(12) + Word(42) + Word(5) + Word(2) + Word(1) + Word(42) +
                                        Word(0xFFFF) + Word(0));
    EXPECT_EQ(header.substr(16), std::string(496, '\0'));
    EXPECT_EQ(area.substr(512, 2), Word(1));
    EXPECT_EQ(area.substr(514, 510), std::string(510, '\xFF'));
    EXPECT_EQ(area.substr(1024, 512), std::string(512, '\x55'));  // nothing past the root

    std::string buff, key = "ABC";
    std::int32_t rec = 99;
    KFind(lf.get(), buff, key, rec);
    EXPECT_EQ(rec, 0);
    EXPECT_EQ(key, std::string(8, '\xFF'));
    EXPECT_EQ(KCount(lf.get()), 0);
    EXPECT_EQ(KLength(lf.get()), 8);
}

TEST_F(IndexFileTest, InitFileClearsARecordFileAndNothingElse) {
    auto lf = Put("PLAIN", std::string(8 * 512, '\x55'), 64, 5, false);
    lf->FileType = "L";
    InitFile(lf.get());
    const std::string all = Read("PLAIN");
    EXPECT_EQ(all.substr(0, kStart * 512), std::string(kStart * 512, '\xAA'));
    const std::string zero = all.substr(kStart * 512, 512);
    EXPECT_EQ(zero.substr(0, 6), testing::Bytes({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(zero.substr(6), std::string(506, '\0'));
    EXPECT_EQ(all.substr((kStart + 1) * 512, 512), std::string(512, '\x55'));

    lf->FileType = "X";  // other kinds are left alone
    const std::string before = Read("PLAIN");
    InitFile(lf.get(), 8);
    EXPECT_EQ(Read("PLAIN"), before);

    auto e = Raised([] { InitFile(nullptr); });
    EXPECT_EQ(e.Number(), -10);
    EXPECT_EQ(e.Source(), "iLwriteFile");
    EXPECT_EQ(e.Description(), "LogicalFile parameter is undefined");
}

TEST_F(IndexFileTest, KeyLengthComesFromTheHeader) {
    std::string area(2 * 512, '\0');
    area.replace(0, 2, Word(16));
    auto lf = Put("LEN", area, 512, 1, false);
    EXPECT_EQ(KLength(lf.get()), 12);
}

TEST_F(IndexFileTest, PrefixFollowedByZerosIsAnExactMatch) {
    sg::IndexSpec spec;
    spec.keyLength = 6;
    auto idx = sg::BuildIndex(spec, {{std::string("AB\0\0\0\0", 6), 5}, {"ABC", 6}, {"B", 7}});
    auto lf = Put("PFX", idx, spec);
    std::string buff, key = "AB";
    std::int32_t rec = 0;
    KFind(lf.get(), buff, key, rec);
    EXPECT_EQ(rec, 5);
    EXPECT_EQ(key, std::string("AB\0\0\0\0", 6));
    key = "ABB";
    KFind(lf.get(), buff, key, rec);
    EXPECT_EQ(rec, -6);
    EXPECT_EQ(key, std::string("ABC\0\0\0", 6));
}

// ---- damaged and hostile indexes ---------------------------------------------------------------

class DamagedIndexTest : public IndexFileTest {
protected:
    void SetUp() override {
        IndexFileTest::SetUp();
        spec_.keyLength = 8;
        std::vector<sg::IndexEntry> entries;
        for (int i = 0; i < 500; ++i) {
            char k[9];
            std::snprintf(k, sizeof k, "K%07d", i * 2);
            entries.push_back({k, i + 1});
        }
        idx_ = sg::BuildIndex(spec_, entries);  // 12 leaves (blocks 1-12) under root 13
        ASSERT_EQ(idx_.levels, 2);
        lf_ = Put("BAD", idx_, spec_);
    }
    std::size_t BlockAt(std::int32_t b) const { return static_cast<std::size_t>(b) * 512; }
    std::int32_t Find(const std::string& k, std::int32_t start = 4242) {
        std::string buff, key = k;
        std::int32_t rec = start;
        KFind(lf_.get(), buff, key, rec);
        return rec;
    }

    sg::IndexSpec spec_;
    sg::BuiltIndex idx_;
    std::shared_ptr<cLogicalFile> lf_;
};

TEST_F(DamagedIndexTest, RootBeyondLastRecordShowsTheMessageOnce) {
    Patch("BAD", 8, Word(static_cast<std::uint32_t>(idx_.lastRecord + 1)));
    EXPECT_EQ(Find("K0000010"), 0);
    ASSERT_EQ(boxes_.boxes.size(), 1u);
    EXPECT_EQ(boxes_.boxes[0].text,
              "Index is returning information out of Range.  File: BAD LastRec:  " +
                  std::to_string(idx_.lastRecord));
    EXPECT_EQ(boxes_.boxes[0].icon, platform::MsgIcon::Critical);
    EXPECT_EQ(boxes_.boxes[0].buttons, platform::MsgButtons::Ok);
    EXPECT_EQ(boxes_.boxes[0].title, "");
}

TEST_F(DamagedIndexTest, ChildBeyondLastRecordShowsTheMessage) {
    // First entry of the root points past the file.
    Patch("BAD", BlockAt(idx_.root) + 4 + 8, testing::Bytes({0, 0, 0x7F, 0}));
    EXPECT_EQ(Find("K0000000"), 0);
    EXPECT_EQ(boxes_.boxes.size(), 1u);
}

TEST_F(DamagedIndexTest, EntryCountBeyondTheBlock) {
    Patch("BAD", BlockAt(idx_.leaves[0]), Word(200));
    EXPECT_EQ(Find("K0000002"), 0);  // never an old value or a block number
    EXPECT_TRUE(boxes_.boxes.empty());
    EXPECT_EQ(Raised([&] { KCount(lf_.get()); }).Number(), kIndexDamaged);

    // A root count beyond the block.
    Patch("BAD", BlockAt(idx_.leaves[0]), Word(42));
    Patch("BAD", BlockAt(idx_.root), Word(0xFFFF));
    EXPECT_EQ(Find("K0000002"), 0);
}

TEST_F(DamagedIndexTest, KNextIntoABlockWithTooManyEntriesRaises) {
    std::string buff, key = "K0000082";  // last key of the first leaf
    std::int32_t rec = 0;
    KFind(lf_.get(), buff, key, rec);
    ASSERT_GT(rec, 0);
    Patch("BAD", BlockAt(idx_.leaves[1]), Word(43));
    const std::string before = buff;
    auto e = Raised([&] { KNext(lf_.get(), buff, key, rec); });
    EXPECT_EQ(e.Number(), kIndexDamaged);
    EXPECT_EQ(e.Source(), "KNext");
    EXPECT_EQ(e.Description(), "Index is damaged.  File: BAD");
    EXPECT_EQ(buff, before);
}

TEST_F(DamagedIndexTest, NextBlockCycleNeverHangs) {
    // The last leaf leads back to the first one instead of ending the chain.
    Patch("BAD", BlockAt(idx_.leaves.back()) + 2, Word(static_cast<std::uint32_t>(idx_.leaves[0])));
    EXPECT_EQ(Raised([&] { KCount(lf_.get()); }).Number(), kIndexDamaged);

    std::string buff, key;
    std::int32_t rec = 0;
    KFind(lf_.get(), buff, key, rec);
    int steps = 0;
    auto e = Raised([&] {
        for (; steps < 2000; ++steps) KNext(lf_.get(), buff, key, rec);
    });
    EXPECT_EQ(e.Number(), kIndexDamaged);
    EXPECT_LT(steps, 1000);

    // A leaf that points at itself with nothing in it.
    Patch("BAD", BlockAt(idx_.leaves[0]),
          Word(0) + Word(static_cast<std::uint32_t>(idx_.leaves[0])));
    EXPECT_EQ(Find("K0000000"), 0);
}

TEST_F(DamagedIndexTest, NonLeafWithoutEntriesDoesNotReadTheHeaderAsABlock) {
    Patch("BAD", BlockAt(idx_.root), Word(0));
    EXPECT_EQ(Find("K0000000"), 0);
    std::string buff, key;
    std::int32_t rec = 0;
    EXPECT_EQ(Raised([&] { KLast(lf_.get(), buff, key, rec); }).Number(), kIndexDamaged);
}

TEST_F(DamagedIndexTest, MissingDataFileFindsNothing) {
    lf_->OpenFile.reset();
    EXPECT_EQ(Find("K0000000"), 0);  // the header reads as spaces: its root is out of range
    EXPECT_EQ(boxes_.boxes.size(), 1u);
}

TEST_F(DamagedIndexTest, ShortOrForeignKeyStateIsRefused) {
    std::string buff(40, '\0'), key;
    std::int32_t rec = 0;
    EXPECT_EQ(Raised([&] { KNext(lf_.get(), buff, key, rec); }).Number(), 5);
    EXPECT_EQ(Raised([&] { KPrev(lf_.get(), buff, key, rec); }).Number(), 5);
    EXPECT_EQ(Raised([&] { KNext(nullptr, buff, key, rec); }).Number(), 91);

    // A KeyState that claims an entry past the block's count.
    KFind(lf_.get(), buff, key, rec);
    buff[16] = 100;
    EXPECT_EQ(Raised([&] { KNext(lf_.get(), buff, key, rec); }).Number(), kIndexDamaged);
    EXPECT_EQ(Raised([&] { KPrev(lf_.get(), buff, key, rec); }).Number(), kIndexDamaged);
}

TEST_F(DamagedIndexTest, RandomDamageNeverEscapesTheBlocks) {
    const std::string original = Read("BAD");
    std::mt19937 rng(2024);
    for (int round = 0; round < 300; ++round) {
        std::string bytes = original;
        const int hits = 1 + static_cast<int>(rng() % 12);
        for (int h = 0; h < hits; ++h) {
            // Mostly block heads and pointers, where damage matters most.
            std::size_t block = rng() % static_cast<std::size_t>(idx_.lastRecord + 1);
            std::size_t at = kStart * 512 + block * 512 + (rng() % 2 ? rng() % 8 : rng() % 512);
            bytes[at] = static_cast<char>(rng() & 0xFF);
        }
        Write("BAD", bytes);
        std::string buff, key = "K0000" + std::to_string(rng() % 999);
        std::int32_t rec = 0;
        KFind(lf_.get(), buff, key, rec);
        try {
            for (int s = 0; s < 30 && rec != 0; ++s) KNext(lf_.get(), buff, key, rec);
            for (int s = 0; s < 30; ++s) KPrev(lf_.get(), buff, key, rec);
        } catch (const platform::RuntimeError&) {
        }
        try {
            KLast(lf_.get(), buff, key, rec);
        } catch (const platform::RuntimeError&) {
        }
        try {
            KCount(lf_.get());
        } catch (const platform::RuntimeError&) {
        }
    }
}

TEST(KCompareTest, UnsignedBytesThenLength) {
    EXPECT_LT(KCompare("A", "B"), 0);
    EXPECT_GT(KCompare("\x80", "\x7F"), 0);  // bytes compare unsigned
    EXPECT_LT(KCompare("AB", "ABC"), 0);     // equal over the shorter: longer is greater
    EXPECT_EQ(KCompare(std::string("A\0", 2), std::string("A\0", 2)), 0);
    EXPECT_GT(KCompare(std::string("A\0", 2), "A"), 0);
    EXPECT_EQ(KCompare("", ""), 0);
}

}  // namespace
}  // namespace zel::engine
