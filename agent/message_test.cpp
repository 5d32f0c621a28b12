#include "agent/message.h"

#include <gtest/gtest.h>

#include "agent/cipher/cipher.h"

namespace zel::agent {
namespace {

TEST(ReplyValue, FirstLineWithTheNameInAnyCase) {
    const std::string reply = "ACTION=OK\rdocid=5\nDocId=6\r\nData=a=b\r\nEmpty=\r\n";
    EXPECT_EQ(ReplyValue(reply, "Action"), "OK");
    EXPECT_EQ(ReplyValue(reply, "DocId"), "5");
    EXPECT_EQ(ReplyValue(reply, "data"), "a=b");
    EXPECT_EQ(FindReplyValue(reply, "Empty"), std::optional<std::string>(""));
    EXPECT_EQ(FindReplyValue(reply, "Missing"), std::nullopt);
    EXPECT_EQ(FindReplyValue("Action", "Action"), std::nullopt);
    EXPECT_EQ(SplitLines("a\r\n\r\nb\n").size(), 3u);
}

TEST(SameTextNoCase, AsciiLettersOnly) {
    EXPECT_TRUE(SameTextNoCase("Subscription_Info", "SUBSCRIPTION_INFO"));
    EXPECT_TRUE(SameTextNoCase("", ""));
    EXPECT_FALSE(SameTextNoCase("SELF", "SELF "));
    EXPECT_FALSE(SameTextNoCase("\xe9", "\xc9"));  // Latin-1 letters are not folded
}

TEST(ParseInt32, WholeNumbersThatFit) {
    EXPECT_EQ(ParseInt32(" 57 "), 57);
    EXPECT_EQ(ParseInt32("-2147483648"), INT32_MIN);
    EXPECT_EQ(ParseInt32("2147483647"), INT32_MAX);
    for (const char* bad :
         {"", "-", "2147483648", "-2147483649", "1x", "x1", "1 2", "99999999999999"})
        EXPECT_EQ(ParseInt32(bad), std::nullopt) << bad;
    EXPECT_EQ(StrToIntDef("junk", 7), 7);
}

TEST(ParseReply, FillsTheEnvelopeAndAppendsTheData) {
    const std::string cipher = EncryptData("payload", 3);
    TZELMessage m;
    m.Data = "kept:";
    m.ParseReply(
        "Action=RESPONSE\r\nDocType=QUERY\r\nVersion=1.5\r\nDocId=12\r\nDataLength=8\r\n"
        "Encryption=DESede\r\nData=" +
            cipher + "junk",
        3);
    EXPECT_EQ(m.DocType, "QUERY");
    EXPECT_EQ(m.Version, "1.5");
    EXPECT_EQ(m.DocId, 12);
    EXPECT_EQ(m.AsString(), "kept:payload ");
    EXPECT_EQ(m.Encryption, "DESede");

    TZELMessage bare;
    bare.ParseReply("Action=OK\r\nDocId=x\r\n", 3);
    EXPECT_EQ(bare.DocId, 0);
    EXPECT_EQ(bare.Version, "");
    EXPECT_EQ(bare.AsString(), "");
    // "Data=" is searched with regard to case; no "Data=" means no data.
    TZELMessage lower;
    lower.ParseReply("DataLength=3\r\ndata=abc", 3);
    EXPECT_EQ(lower.AsString(), "");
}

}  // namespace
}  // namespace zel::agent
