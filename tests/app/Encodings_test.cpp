#include "app/Encodings.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

TEST(Encodings, Md5HexMatchesTheReferenceVectors)
{
    // RFC 1321, appendix A.5, plus lengths around the padding boundary.
    struct Case {
        std::string input;
        const char* digest;
    } const cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
        {std::string(55, 'x'), "04364420e25c512fd958a70738aa8f72"},
        {std::string(56, 'x'), "668a72d5ba17f08e62dabcafad6db14b"},
        {std::string(64, 'x'), "c1bb4f81d892b2d57947682aeb252456"},
        {std::string("a\0b", 3), "70350f6027bce3713f6b76473084309b"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.input.size());
        EXPECT_EQ(Md5Hex(c.input.data(), c.input.size()), c.digest);
    }
    EXPECT_EQ(Md5Hex(nullptr, 0), "d41d8cd98f00b204e9800998ecf8427e");
}

TEST(Encodings, Md5HexOfALongInputAndItsShape)
{
    std::string bytes;
    for (int round = 0; round < 4; ++round) {
        for (int b = 0; b < 256; ++b)
            bytes += static_cast<char>(b);
    }
    const std::string hex = Md5Hex(bytes.data(), bytes.size());
    EXPECT_EQ(hex, "b2ea9f7fcea831a4a63b213f41a8855b");
    EXPECT_EQ(hex.find_first_not_of("0123456789abcdef"), std::string::npos);
}

TEST(Encodings, Base64EncodePadsToWholeGroups)
{
    // RFC 4648, section 10, and bytes that use the last two letters.
    struct Case {
        std::string input;
        const char* encoded;
    } const cases[] = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {"\xFB\xFF\xBF", "+/+/"},
        {std::string("\0\0", 2), "AAA="},
        {"00-11-22-AA-BB-CC", "MDAtMTEtMjItQUEtQkItQ0M="},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.encoded);
        const std::string out = Base64Encode(c.input.data(), c.input.size());
        EXPECT_EQ(out, c.encoded);
        EXPECT_EQ(out.size(), (c.input.size() + 2) / 3 * 4);
    }
    EXPECT_EQ(Base64Encode(nullptr, 0), "");
}

TEST(Encodings, ConversionsStopAtTheFirstNulAndReportFailure)
{
    std::string ansi = "stale";
    EXPECT_TRUE(WideToAnsi(std::wstring(L"ab\0cd", 5), ansi));
    EXPECT_EQ(ansi, "ab");
    EXPECT_TRUE(WideToAnsi(L"", ansi));
    EXPECT_EQ(ansi, "");
    EXPECT_EQ(WideToAnsiString(L"ABC1234"), "ABC1234");

    std::wstring wide = L"stale";
    EXPECT_TRUE(Utf8ToWide(std::string("\xE4\xBA\xA7\xE5\x93\x81\0x", 8), wide));
    EXPECT_EQ(wide, L"产品");
    EXPECT_TRUE(Utf8ToWide("", wide));
    EXPECT_EQ(wide, L"");
    // Broken UTF-8 still converts, with the replacement character.
    EXPECT_EQ(Utf8ToWideString("a\xFF" "b"), L"a\uFFFDb");
}
