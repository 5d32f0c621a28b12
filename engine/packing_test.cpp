#include "engine/packing.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "engine/test_helpers.h"

namespace zel::engine {
namespace {

using testing::Bytes;
using testing::Raised;

std::int32_t U(const char* code, const std::string& data, std::int32_t pos) {
    std::string op = code;
    return Unpack(op, data, pos);
}

std::string P(const char* code, std::int32_t value, std::size_t len = 4, std::int32_t pos = 1) {
    std::string op = code;
    std::string data(len, '\x55');
    Pack(op, data, value, pos);
    return data;
}

TEST(Unpack, ReadsBigEndianWithSignOnlyForSignedCodes) {
    const std::string ff = Bytes({0xFF, 0xFE, 0xFD, 0xFC});
    EXPECT_EQ(U("B", ff, 1), 255);
    EXPECT_EQ(U("I", ff, 1), -1);
    EXPECT_EQ(U("C", ff, 1), 65534);
    EXPECT_EQ(U("J", ff, 1), -2);
    EXPECT_EQ(U("D", ff, 1), 0xFFFEFD);
    EXPECT_EQ(U("K", ff, 1), -259);
    EXPECT_EQ(U("L", ff, 1), static_cast<std::int32_t>(0xFFFEFDFCu));

    const std::string top = Bytes({0x80, 0x00, 0x00, 0x00});
    EXPECT_EQ(U("I", top, 1), -128);
    EXPECT_EQ(U("J", top, 1), -32768);
    EXPECT_EQ(U("K", top, 1), -8388608);
    EXPECT_EQ(U("D", top, 1), 8388608);
    EXPECT_EQ(U("L", top, 1), INT32_MIN);

    const std::string low = Bytes({0x7F, 0xFF, 0xFF, 0xFF});
    EXPECT_EQ(U("I", low, 1), 127);
    EXPECT_EQ(U("J", low, 1), 32767);
    EXPECT_EQ(U("K", low, 1), 8388607);
    EXPECT_EQ(U("L", low, 1), INT32_MAX);

    // Byte order: the first byte is the most significant.
    const std::string seq = Bytes({0x01, 0x02, 0x03, 0x04});
    EXPECT_EQ(U("C", seq, 2), 0x0203);
    EXPECT_EQ(U("D", seq, 2), 0x020304);
    EXPECT_EQ(U("L", seq, 1), 0x01020304);
}

TEST(Pack, WritesLowOrderBytesBigEndianWithoutRangeCheck) {
    EXPECT_EQ(P("B", 300, 1), Bytes({44}));
    EXPECT_EQ(P("B", 256, 1), Bytes({0}));
    EXPECT_EQ(P("C", -1, 2), Bytes({0xFF, 0xFF}));
    EXPECT_EQ(P("C", 70000, 2), Bytes({0x11, 0x70}));
    EXPECT_EQ(P("K", -8388608, 3), Bytes({0x80, 0x00, 0x00}));
    EXPECT_EQ(P("L", 0x01020304), Bytes({1, 2, 3, 4}));
    EXPECT_EQ(P("L", INT32_MIN), Bytes({0x80, 0, 0, 0}));
    // Only the field's own bytes change.
    EXPECT_EQ(P("C", 0x0102, 4, 2), Bytes({0x55, 1, 2, 0x55}));
}

TEST(Pack, RoundTripsEveryCodeAtItsBounds) {
    struct Case {
        const char* code;
        std::int32_t lo, hi;
        std::size_t width;
    };
    for (const Case c : {Case{"B", 0, 255, 1}, Case{"C", 0, 65535, 2}, Case{"D", 0, 16777215, 3},
                         Case{"I", -128, 127, 1}, Case{"J", -32768, 32767, 2},
                         Case{"K", -8388608, 8388607, 3}, Case{"L", INT32_MIN, INT32_MAX, 4}}) {
        for (std::int32_t v : {c.lo, c.lo + 1, c.hi - 1, c.hi, std::int32_t{0}}) {
            std::string image(c.width + 2, '\xAA');
            std::string op = c.code;
            Pack(op, image, v, 2);
            EXPECT_EQ(image.size(), c.width + 2);
            EXPECT_EQ(image.front(), '\xAA');
            EXPECT_EQ(image.back(), '\xAA');
            EXPECT_EQ(Unpack(op, image, 2), v) << c.code << " " << v;
        }
    }
}

TEST(PackUnpack, UpperCaseTheCallersCode) {
    std::string op = "j";
    EXPECT_EQ(Unpack(op, Bytes({0xFF, 0xFE}), 1), -2);
    EXPECT_EQ(op, "J");
    op = "c";
    std::string data(2, '\0');
    Pack(op, data, 513, 1);
    EXPECT_EQ(op, "C");
    EXPECT_EQ(data, Bytes({2, 1}));
    EXPECT_EQ(Unpack('l', Bytes({0, 0, 1, 0}), 1), 256);
}

TEST(PackUnpack, UnknownCodeIsError100WithTheUpperCasedCode) {
    const std::string data(4, '\0');
    auto e = Raised([&] { U("", data, 1); });
    EXPECT_EQ(e.Number(), 100);
    EXPECT_EQ(e.Source(), "UnPack");
    EXPECT_EQ(e.Description(), "Unknown OpCode = \"\"");

    e = Raised([&] { P("x", 1); });
    EXPECT_EQ(e.Number(), 100);
    EXPECT_EQ(e.Source(), "Pack");
    EXPECT_EQ(e.Description(), "Unknown OpCode = \"X\"");

    e = Raised([&] { U("cc", data, 1); });
    EXPECT_EQ(e.Number(), 100);
    EXPECT_EQ(e.Description(), "Unknown OpCode = \"CC\"");
}

TEST(PackUnpack, FieldMustEndInsideTheImage) {
    const std::string four = Bytes({1, 2, 3, 4});
    EXPECT_EQ(U("C", four, 3), 0x0304);  // ends on the last byte
    auto e = Raised([&] { U("C", four, 4); });
    EXPECT_EQ(e.Number(), 31);
    EXPECT_EQ(e.Source(), "UnPack");
    EXPECT_EQ(e.Description(), "Invalid Subscript.  UnPack(\"C\", Data$, 4)   Len(Data$) = 4");

    std::string image = four;
    e = Raised([&] {
        std::string op = "l";
        Pack(op, image, -1, 2);
    });
    EXPECT_EQ(e.Number(), 31);
    EXPECT_EQ(e.Source(), "Pack");
    EXPECT_EQ(e.Description(), "Invalid Subscript.  Pack \"L\", Data$, 2   Len(Data$) = 4");
    EXPECT_EQ(image, four);

    // A huge position is a bad subscript, never a wrapped one.
    EXPECT_EQ(Raised([&] { U("L", four, INT32_MAX); }).Number(), 31);
    EXPECT_EQ(Raised([&] { P("L", 1, 4, INT32_MAX); }).Number(), 31);
    EXPECT_EQ(Raised([&] { U("B", std::string(), 1); }).Number(), 31);
}

TEST(PackUnpack, PositionBelowOneOrSignBytePastEndIsError5) {
    const std::string four = Bytes({1, 2, 3, 4});
    EXPECT_EQ(Raised([&] { U("B", four, 0); }).Number(), 5);
    EXPECT_EQ(Raised([&] { U("L", four, -3); }).Number(), 5);
    EXPECT_EQ(Raised([&] { U("J", four, INT32_MIN); }).Number(), 5);
    std::string image = four;
    EXPECT_EQ(Raised([&] { Pack('C', image, 7, 0); }).Number(), 5);
    EXPECT_EQ(image, four);
    // The short signed codes read their sign byte first...
    EXPECT_EQ(Raised([&] { U("I", four, 5); }).Number(), 5);
    EXPECT_EQ(Raised([&] { U("K", std::string(), 1); }).Number(), 5);
    // ...so only a field that starts inside the image reaches the bounds test.
    EXPECT_EQ(Raised([&] { U("K", four, 3); }).Number(), 31);
    EXPECT_EQ(Raised([&] { U("D", four, 5); }).Number(), 31);
    // Position 0 with a field too long for the image fails the bounds test first.
    EXPECT_EQ(Raised([&] { U("L", Bytes({1, 2}), 0); }).Number(), 31);
}

}  // namespace
}  // namespace zel::engine
