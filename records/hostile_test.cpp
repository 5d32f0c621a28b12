// Images of every length from empty to full, of random bytes: the classes convert what they can,
// raise nothing, stay inside the image and never change its length.
#include <gtest/gtest.h>

#include <random>

#include "engine/state.h"
#include "records/customers.h"
#include "records/dbparts.h"
#include "records/layouts.h"
#include "records/lines.h"
#include "records/parts.h"

namespace zel::records {
namespace {

std::string Random(std::mt19937& rng, std::size_t n) {
    std::string s(n, '\0');
    for (char& c : s) c = static_cast<char>(rng() & 0xFF);
    return s;
}

std::string Head() { return engine::Engine().CrmAlphabet.substr(0, 4); }

// Bytes and bits that no field owns come back from Pack as they went in.
void ExpectUnmappedKept(const RecordLayout& layout, const std::string& before,
                        const std::string& after) {
    for (const UnmappedBytes& u : layout.unmapped) {
        for (int i = 0; i < u.width; ++i) {
            const auto at = static_cast<std::size_t>(u.position - 1 + i);
            if (at >= before.size()) continue;
            EXPECT_EQ(static_cast<unsigned char>(before[at]) & u.bits,
                      static_cast<unsigned char>(after[at]) & u.bits)
                << layout.className << " byte " << at + 1;
        }
    }
    // The six codes and the substitute's dash code are never written either.
    if (&layout == &kPartsLayout) {
        for (std::size_t at : {20u, 21u, 22u, 23u, 138u, 139u})
            if (at < before.size()) {
                EXPECT_EQ(before[at], after[at]) << "byte " << at + 1;
            }
    }
}

template <class C>
void Hammer(const RecordLayout& layout, bool resetsHead, bool packs) {
    std::mt19937 rng(12345);
    for (std::size_t n = 0; n <= static_cast<std::size_t>(layout.imageLength) + 2; ++n) {
        for (int round = 0; round < 3; ++round) {
            const std::string image = Random(rng, n);
            C object;
            engine::Engine().CrmAlphabet[2] = '-';
            object.Unpack(image);
            if (resetsHead) {
                EXPECT_EQ(Head(), " ,/.") << layout.className << " length " << n;
            }
            if constexpr (requires(C c, std::string s) { c.Pack(s); }) {
                if (packs) {
                    std::string out = image;
                    engine::Engine().CrmAlphabet = engine::kDefaultCrmAlphabet;
                    object.Pack(out);
                    ASSERT_EQ(out.size(), n);
                    ExpectUnmappedKept(layout, image, out);
                    if (resetsHead) {
                        EXPECT_EQ(Head(), " ,/.");
                    }
                    // Fields set by the caller, whatever they hold, pack the same way.
                    std::string again = Random(rng, n);
                    C filled;
                    filled.Unpack(Random(rng, static_cast<std::size_t>(layout.imageLength)));
                    std::string copy = again;
                    filled.Pack(again);
                    ASSERT_EQ(again.size(), n);
                    ExpectUnmappedKept(layout, copy, again);
                }
            }
            engine::Engine().CrmAlphabet = engine::kDefaultCrmAlphabet;
        }
    }
}

TEST(HostileImageTest, Parts) { Hammer<clsParts>(kPartsLayout, false, true); }
TEST(HostileImageTest, PartsDatabase) {
    Hammer<clsDbparts>(kDbpartsLayout, true, false);
    Hammer<clsExtdbparts>(kExtdbpartsLayout, true, false);
}
TEST(HostileImageTest, Customers) { Hammer<clsCustomers>(kCustomersLayout, true, true); }
TEST(HostileImageTest, Lines) { Hammer<clsLines>(kLinesLayout, false, true); }

TEST(HostileImageTest, ShortImageKeepsNumbersAndEmptiesText) {
    clsParts part;
    part.Spring_Order_Qty = 9;
    part.Zone = "Q";
    part.Unpack(std::string(100, '\0'));
    EXPECT_EQ(part.Spring_Order_Qty, 9);
    EXPECT_EQ(part.Zone, "");
    clsCustomers c;
    c.Note_Chain = 4;
    c.Unpack(std::string());
    EXPECT_EQ(c.Note_Chain, 4);
    EXPECT_EQ(c.State, "");
}

}  // namespace
}  // namespace zel::records
