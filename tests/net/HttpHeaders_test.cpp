#include "net/HttpHeaders.h"
#include "net/WinHttpError.h"

#include <gtest/gtest.h>

TEST(HttpHeaders, ContentLengthIsDigitsWithBlanksAroundOnly)
{
    struct Case {
        const wchar_t* text;
        bool ok;
        uint64_t value;
    } cases[] = {
        {L"0", true, 0},
        {L"1234", true, 1234},
        {L"  77 ", true, 77},
        {L"\t5", true, 5},
        {L"9223372036854775807", true, 0x7FFFFFFFFFFFFFFFull},
        {L"9223372036854775808", false, 0},
        {L"18446744073709551616", false, 0},
        {L"", false, 0},
        {L"   ", false, 0},
        {L"-1", false, 0},
        {L"+1", false, 0},
        {L"1 2", false, 0},
        {L"12,12", false, 0},
        {L"0x10", false, 0},
        {L"12abc", false, 0},
    };
    for (const Case& c : cases) {
        uint64_t value = 4242;
        EXPECT_EQ(ParseContentLength(c.text, value), c.ok) << c.text;
        EXPECT_EQ(value, c.ok ? c.value : 4242u) << c.text << ": a refused text leaves the value alone";
    }
}

TEST(HttpHeaders, ContentRangeNeedsAnOrderedRangeInsideAKnownTotal)
{
    struct Case {
        const wchar_t* text;
        bool ok;
        uint64_t first, last, total;
    } cases[] = {
        {L"bytes 0-99/100", true, 0, 99, 100},
        {L"bytes 50-50/51", true, 50, 50, 51},
        {L"bytes 0-99/*", false, 0, 0, 0},
        {L"bytes 10-9/100", false, 0, 0, 0},
        {L"bytes 0-100/100", false, 0, 0, 0},
        {L"bytes */100", false, 0, 0, 0},
        {L"items 0-9/10", false, 0, 0, 0},
        {L"bytes 0-9/10 ", false, 0, 0, 0},
        {L"bytes 0-99999999999999999999/100", false, 0, 0, 0},
    };
    for (const Case& c : cases) {
        uint64_t first = 0, last = 0, total = 0;
        ASSERT_EQ(ParseContentRange(c.text, first, last, total), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(first, c.first) << c.text;
            EXPECT_EQ(last, c.last) << c.text;
            EXPECT_EQ(total, c.total) << c.text;
        }
    }
}

TEST(HttpHeaders, WineSocketTimeoutReadsAsTheWinHttpTimeout)
{
    EXPECT_EQ(NormalizeWinHttpError(kWsaTimedOut), static_cast<DWORD>(ERROR_WINHTTP_TIMEOUT));
    EXPECT_TRUE(IsWinHttpTimeout(kWsaTimedOut));
    EXPECT_TRUE(IsWinHttpTimeout(ERROR_WINHTTP_TIMEOUT));
    EXPECT_FALSE(IsWinHttpTimeout(ERROR_WINHTTP_CANNOT_CONNECT));
    SetLastError(0);
    EXPECT_EQ(LastWinHttpError(ERROR_WINHTTP_INTERNAL_ERROR), static_cast<DWORD>(ERROR_WINHTTP_INTERNAL_ERROR));
    SetLastError(kWsaTimedOut);
    EXPECT_EQ(LastWinHttpError(ERROR_WINHTTP_INTERNAL_ERROR), static_cast<DWORD>(ERROR_WINHTTP_TIMEOUT));
}
