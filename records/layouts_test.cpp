// Every byte of each record image is owned by exactly one stored field or listed as unmapped:
// an offset typo that round trips through the same table would never show otherwise.
#include "records/layouts.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace zel::records {
namespace {

// Who owns each bit of each byte (positions 1..imageLength).
struct Ownership {
    explicit Ownership(int length)
        : owners(static_cast<std::size_t>(length + 1), std::vector<std::string>(8)) {}
    void Claim(int position, std::uint8_t bits, const std::string& owner) {
        ASSERT_GE(position, 1) << owner;
        ASSERT_LT(static_cast<std::size_t>(position), owners.size())
            << owner << " runs past the image";
        for (int b = 0; b < 8; ++b) {
            if (!(bits & (1 << b))) continue;
            std::string& slot =
                owners[static_cast<std::size_t>(position)][static_cast<std::size_t>(b)];
            EXPECT_TRUE(slot.empty())
                << "byte " << position << " bit " << b << " owned by " << slot << " and " << owner;
            slot = owner;
        }
    }
    std::vector<std::vector<std::string>> owners;
};

// Stored fields that own bytes: every written field, plus the read-only stored fields that no
// other field covers (checked apart below).
bool OwnsBytes(const FieldLayout& f) {
    switch (f.kind) {
        case FieldKind::Derived:
        case FieldKind::NotStored:
        case FieldKind::CodeChar: return false;
        default: return true;
    }
}

void CheckOwnership(const RecordLayout& layout, const std::set<std::string>& readOnlyOwners) {
    SCOPED_TRACE(std::string(layout.className));
    Ownership own(layout.imageLength);
    for (const FieldLayout& f : layout.fields) {
        if (!OwnsBytes(f)) continue;
        // A read-only field that overlaps a written one owns nothing of its own.
        if (!f.packed && !readOnlyOwners.count(std::string(f.name))) continue;
        if (f.kind == FieldKind::Bit) {
            own.Claim(f.position, static_cast<std::uint8_t>(1 << f.bit), std::string(f.name));
        } else if (f.kind == FieldKind::BitPair) {
            own.Claim(f.position, static_cast<std::uint8_t>(3 << f.bit), std::string(f.name));
        } else {
            for (int i = 0; i < f.width; ++i) own.Claim(f.position + i, 0xFF, std::string(f.name));
        }
    }
    for (const UnmappedBytes& u : layout.unmapped)
        for (int i = 0; i < u.width; ++i) own.Claim(u.position + i, u.bits, "unmapped");
    // Bytes that a read-only group owns: the six codes and the substitute's dash code.
    for (const FieldLayout& f : layout.fields) {
        if (f.kind == FieldKind::CodeChar && f.bit == 1)
            for (int i = 0; i < f.width; ++i) own.Claim(f.position + i, 0xFF, "codes");
        if (f.kind == FieldKind::PartNumber && !f.packed &&
            readOnlyOwners.count("dash code of " + std::string(f.name))) {
            own.Claim(f.position + f.width - 2, 0xFF, "dash code");
            own.Claim(f.position + f.width - 1, 0xFF, "dash code");
        }
    }
    for (std::size_t p = 1; p < own.owners.size(); ++p)
        for (int b = 0; b < 8; ++b)
            EXPECT_FALSE(own.owners[p][static_cast<std::size_t>(b)].empty())
                << "byte " << p << " bit " << b << " is owned by no field";
}

TEST(LayoutTest, PartsOwnEveryByteOnce) {
    CheckOwnership(kPartsLayout, {"dash code of Sub_Part_w_Dash"});
    EXPECT_EQ(kPartsLayout.fields.size(), 128u);
    EXPECT_EQ(kPartsLayout.imageLength, 288);
}

TEST(LayoutTest, PartsDatabaseOwnsEveryByteOnce) {
    // Nothing is packed: the number and its code are the stored fields.
    CheckOwnership(kDbpartsLayout, {"AlphaLine", "Part_w_Dash"});
    CheckOwnership(kExtdbpartsLayout, {"AlphaLine", "Part_w_Dash"});
    EXPECT_EQ(kDbpartsLayout.Find("PartNumber")->width, 10);
    EXPECT_EQ(kExtdbpartsLayout.Find("PartNumber")->width, 12);
}

TEST(LayoutTest, CustomersOwnEveryByteOnce) {
    CheckOwnership(kCustomersLayout, {});
    EXPECT_EQ(kCustomersLayout.fields.size(), 83u);
}

TEST(LayoutTest, LinesOwnEveryByteOnce) {
    CheckOwnership(kLinesLayout, {});
    EXPECT_EQ(kLinesLayout.fields.size(), 83u);
    // Two characters: the date at 205 and the cost at 207 keep their own bytes.
    const FieldLayout* seas = kLinesLayout.Find("Seas_ReOrder_Codes");
    ASSERT_NE(seas, nullptr);
    EXPECT_EQ(seas->position, 203);
    EXPECT_EQ(seas->width, 2);
}

TEST(LayoutTest, ReadOnlyAndDerivedFieldsLieOverTheirSources) {
    // The part number with dashes covers the compressed number and its code.
    const FieldLayout& dash = *kPartsLayout.Find("Part_w_Dash");
    const FieldLayout& number = *kPartsLayout.Find("Part_Number");
    EXPECT_EQ(dash.position, number.position);
    EXPECT_EQ(dash.width, number.width + 2);
    EXPECT_FALSE(number.packed);
    const FieldLayout& sub = *kPartsLayout.Find("Sub_Part_w_Dash");
    const FieldLayout& subNumber = *kPartsLayout.Find("Sub_Part_Number");
    EXPECT_EQ(sub.position, subNumber.position);
    EXPECT_EQ(sub.width, subNumber.width + 2);
    EXPECT_FALSE(sub.packed);
    // Six one-character codes in the compressed bytes 21-24, in order, never written.
    const char* codes[] = {"Comodity",       "Unit_of_Measure", "Return_Flag",
                           "Mfg_Popularity", "Dlr_Popularity",  "Order_Code"};
    for (int i = 0; i < 6; ++i) {
        const FieldLayout& c = *kPartsLayout.Find(codes[i]);
        EXPECT_EQ(c.kind, FieldKind::CodeChar);
        EXPECT_EQ(c.position, 21);
        EXPECT_EQ(c.width, 4);
        EXPECT_EQ(c.bit, i + 1);
        EXPECT_FALSE(c.packed);
    }
    // State and ZIP read the four name lines a second time.
    for (const char* name : {"State", "Zip_Code"}) {
        const FieldLayout& f = *kCustomersLayout.Find(name);
        EXPECT_EQ(f.kind, FieldKind::Derived);
        EXPECT_EQ(f.position, 6);
        EXPECT_EQ(f.width, 80);
    }
    for (const char* name : {"Name", "Address_Line_1", "Address_Line_2", "Address_Line_3"})
        EXPECT_EQ(kCustomersLayout.Find(name)->head, kNameHead) << name;
    EXPECT_EQ(kCustomersLayout.Find("Contact_1")->head, "");
}

TEST(LayoutTest, NamesAreUniqueAndFound) {
    for (const RecordLayout* layout : kAllLayouts) {
        std::set<std::string_view> names;
        for (const FieldLayout& f : layout->fields)
            EXPECT_TRUE(names.insert(f.name).second) << layout->className << "." << f.name;
        for (const FieldLayout& f : layout->fields)
            if (!f.plus.empty()) {
                EXPECT_NE(layout->Find(f.plus), nullptr) << f.name;
            }
        EXPECT_EQ(LayoutOf(layout->className), layout);
    }
    EXPECT_EQ(LayoutOf("clsNothing"), nullptr);
}

}  // namespace
}  // namespace zel::records
