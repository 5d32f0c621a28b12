#include "agent/cipher/cipher.h"

#include <gtest/gtest.h>

namespace zel::agent {
namespace {

std::string FromHex(const std::string& hex) {
    std::string out;
    for (std::size_t i = 0; i < hex.size(); i += 2)
        out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return out;
}

TEST(CipherKey, ReversedRaisedLoweredUnchanged) {
    EXPECT_EQ(BuildCipherKey("57"), "><2075");
    // A negative id keeps its minus sign, which comes last after reversing.
    EXPECT_EQ(BuildCipherKey("-12"), "984-,(21-");
    EXPECT_EQ(BuildCipherKey("-1").size(), 6u);
    EXPECT_EQ(BuildCipherKey(""), "");
}

// Vectors computed with the openssl command line, independently of this code:
//   printf '><2075' | openssl md5 -binary | xxd -p                    -> K
//   printf 'Hello, hub!     ' | openssl enc -des-ede3 -nopad -K K0000000000000000
TEST(Cipher, KnownAnswerVectors) {
    EXPECT_EQ(EncryptData("Hello, hub!", 57), FromHex("7c92e448db77384bc62af9d82b6ffb83"));
    EXPECT_EQ(DecryptData(FromHex("7c92e448db77384bc62af9d82b6ffb83"), 57), "Hello, hub!     ");
    // Negative id, 1-byte payload padded to one block: key text '984-,(21-'.
    EXPECT_EQ(EncryptData("A", -12), FromHex("8fed963581d794c6"));
}

TEST(Cipher, PaddingAndRoundTrips) {
    EXPECT_EQ(EncryptData("", 5), "");
    EXPECT_EQ(EncryptData("x", 5).size(), 8u);
    EXPECT_EQ(DecryptData(EncryptData("x", 5), 5), "x       ");
    EXPECT_EQ(EncryptData("12345678", 5).size(), 8u);
    EXPECT_EQ(DecryptData(EncryptData("12345678", 5), 5), "12345678");
    std::string binary("\0\x01\xff\r\n=&%", 8);
    binary += std::string(1000, '\x80');
    EXPECT_EQ(DecryptData(EncryptData(binary, 2147483647), 2147483647), binary);
    // Each agent has its own key.
    EXPECT_NE(EncryptData("same", 1), EncryptData("same", 2));
    EXPECT_NE(DecryptData(EncryptData("sametext", 1), 2), "sametext");
}

TEST(Cipher, TrailingPartialBlockIsDropped) {
    const std::string c = EncryptData("abcdefghijklmnop", 9);
    EXPECT_EQ(DecryptData(c + "xyz", 9), "abcdefghijklmnop");
    EXPECT_EQ(DecryptData(c.substr(0, 7), 9), "");
    EXPECT_EQ(DecryptData(c.substr(0, 13), 9), "abcdefgh");
}

}  // namespace
}  // namespace zel::agent
