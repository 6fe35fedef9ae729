#include "Corvel/Core/MurmurHash3.h"
#include "Corvel/Core/StringConv.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

TEST(StringConv, Utf8RoundTrip)
{
    struct Case {
        std::string utf8;
        std::wstring wide;
    } cases[] = {
        {"", L""},
        {"plain ascii", L"plain ascii"},
        {"\xE5\xAE\x89\xE8\xA3\x85\xE7\xA8\x8B\xE5\xBA\x8F", L"\x5B89\x88C5\x7A0B\x5E8F"}, // 安装程序
        {"caf\xC3\xA9", L"caf\x00E9"},
        {"\xF0\x9F\x98\x80", L"\xD83D\xDE00"}, // outside the BMP: a surrogate pair
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.wide, ui::Utf8StringToWide(c.utf8));
        EXPECT_EQ(c.utf8, ui::WideToUtf8String(c.wide.c_str()));
        EXPECT_EQ(c.utf8, ui::WideToUtf8String(c.wide));
    }
    EXPECT_EQ("", ui::WideToUtf8String(static_cast<const wchar_t*>(nullptr)));
    // The text ends at the first NUL.
    EXPECT_EQ(L"ab", ui::Utf8StringToWide(std::string("ab\0cd", 5)));
    // Invalid bytes do not stop the conversion.
    const std::wstring bad = ui::Utf8StringToWide("a\xFF" "b");
    ASSERT_FALSE(bad.empty());
    EXPECT_EQ(L'a', bad.front());
    EXPECT_EQ(L'b', bad.back());
}

TEST(StringConv, WideToAnsi)
{
    EXPECT_EQ("C:\\Program Files\\app.exe", ui::WideStringToAnsi(L"C:\\Program Files\\app.exe"));
    EXPECT_EQ("", ui::WideStringToAnsi(L""));
    // Agrees with the system's own conversion for a text of the code page.
    const std::wstring text = L"caf\x00E9 \x5B89";
    const int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string expected(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), -1, &expected[0], n, nullptr, nullptr);
    expected.resize(static_cast<size_t>(n - 1));
    EXPECT_EQ(expected, ui::WideStringToAnsi(text));
}

// Expected digests from an independent implementation of the published
// x64 128-bit algorithm (seed 0) over UTF-16LE bytes; the same code gives
// the reference library's published values for "foo".
TEST(MurmurHash3, HexOfKnownTexts)
{
    struct Case {
        const wchar_t* text;
        const wchar_t* hex;
    } cases[] = {
        {L"", L"00000000000000000000000000000000"},
        {L"a", L"bd984e0b5098a6967d6754c7bfc978b2"},
        {L"hello", L"87d3bfe18fe12eeec436c3d86272927b"},
        {L"abcdefgh", L"b2ae6d69bca50328fad1d64075ebb1a2"},                 // one full block
        {L"RES/btn_close.png", L"4e8c8e67872f62d2b73a0fc8b8a9051a"},        // blocks and a tail > 8
        {L"file='res/gif.gif' dst='50%,50%'", L"fd67e2b0e99d5ca91068f9c7e0b6c701"},
        {L"http://127.0.0.1/img/banner.png?scale=1.25", L"eaf611de8bb99bf5b6f4c2584b5026e0"},
        {L"\x5B89\x88C5\x7A0B\x5E8F", L"9f087916ea67c0bda7cb1cc5decf62a0"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.hex, ui::MurmurHash3Hex(c.text)) << c.text;
    EXPECT_EQ(ui::MurmurHash3Hex(L""), ui::MurmurHash3Hex(nullptr));
}

TEST(MurmurHash3, RawBytesMatchPublishedValue)
{
    // Published value of the reference library for "foo", seed 0:
    // bytes 61 45 f5 01 57 86 71 e2 87 7d ba 2b e4 87 af 7e.
    uint64_t h[2];
    ui::MurmurHash3_x64_128("foo", 3, 0, h);
    EXPECT_EQ(0xe271865701f54561ULL, h[0]);
    EXPECT_EQ(0x7eaf87e42bba7d87ULL, h[1]);
}
