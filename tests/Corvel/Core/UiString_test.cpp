#include "Corvel/Core/UiString.h"

#include <gtest/gtest.h>

#include <string>
#include <unordered_map>

using ui::CUiString;

namespace {

std::wstring Text(size_t n, wchar_t first = L'a')
{
    std::wstring s;
    for (size_t i = 0; i < n; ++i)
        s.push_back(static_cast<wchar_t>(first + i % 26));
    return s;
}

} // namespace

TEST(UiString, InlineOrHeapByLength)
{
    struct Case {
        size_t length;
        bool inlined;
    } cases[] = {{0, true}, {1, true}, {61, true}, {62, true}, {63, false}, {64, false}, {200, false}};
    for (const Case& c : cases) {
        const std::wstring t = Text(c.length);
        CUiString constructed(t.c_str());
        CUiString assigned;
        assigned.Assign(t.c_str());
        CUiString copied(constructed);
        for (const CUiString* s : {&constructed, &assigned, &copied}) {
            EXPECT_EQ(c.inlined, s->IsInline()) << "length " << c.length;
            EXPECT_EQ(static_cast<int>(c.length), s->GetLength());
            EXPECT_EQ(t, s->ToStdString());
        }
    }
}

TEST(UiString, ConstructWithLength)
{
    EXPECT_EQ(L"abc", CUiString(L"abcdef", 3).ToStdString());
    EXPECT_EQ(L"abcdef", CUiString(L"abcdef", -1).ToStdString());
    // A length past the text stops at its terminator.
    EXPECT_EQ(L"ab", CUiString(L"ab", 50).ToStdString());
    EXPECT_EQ(L"", CUiString(nullptr).ToStdString());
    const std::wstring longText = Text(100);
    CUiString cut(longText.c_str(), 63);
    EXPECT_FALSE(cut.IsInline());
    EXPECT_EQ(longText.substr(0, 63), cut.ToStdString());
    CUiString s(L"keep");
    s.Assign(longText.c_str(), -7);
    EXPECT_EQ(longText, s.ToStdString());
}

TEST(UiString, MovesBetweenInlineAndHeapOnAssign)
{
    const std::wstring t100 = Text(100);
    const std::wstring t80 = Text(80, L'A');
    const std::wstring t150 = Text(150, L'0');
    CUiString s(t100.c_str());
    ASSERT_FALSE(s.IsInline());
    const wchar_t* block = s.GetData();
    s.Assign(t80.c_str()); // shorter: the block is reused
    EXPECT_EQ(block, s.GetData());
    EXPECT_EQ(t80, s.ToStdString());
    s.Assign(t150.c_str()); // longer: reallocated
    EXPECT_EQ(t150, s.ToStdString());
    s.Assign(L"0123456789"); // short: back inline
    EXPECT_TRUE(s.IsInline());
    EXPECT_EQ(L"0123456789", s.ToStdString());
    s.Assign(nullptr);
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_TRUE(s.IsInline());
}

TEST(UiString, AssignFromOwnText)
{
    const std::wstring t100 = Text(100);
    CUiString s(t100.c_str());
    s.Assign(s.GetData() + 10); // 90 characters out of its own block
    EXPECT_EQ(t100.substr(10), s.ToStdString());
    s.Assign(s.GetData() + 40); // 50: inline, read from the block it frees
    EXPECT_TRUE(s.IsInline());
    EXPECT_EQ(t100.substr(50), s.ToStdString());
    s.Assign(s.GetData() + 1);
    EXPECT_EQ(t100.substr(51), s.ToStdString());
    s.AssignString(s);
    EXPECT_EQ(t100.substr(51), s.ToStdString());
}

TEST(UiString, AppendAcrossTheBoundary)
{
    struct Case {
        size_t start, added;
    } cases[] = {{33, 29}, {33, 30}, {62, 1}, {0, 63}, {70, 10}, {10, 0}};
    for (const Case& c : cases) {
        const std::wstring a = Text(c.start);
        const std::wstring b = Text(c.added, L'A');
        CUiString s(a.c_str());
        s.Append(b.c_str());
        EXPECT_EQ(a + b, s.ToStdString()) << c.start << "+" << c.added;
        EXPECT_EQ(c.start + c.added <= 62, s.IsInline()) << c.start << "+" << c.added;
    }
    // Appending its own text doubles it, also when the block moves.
    const std::wstring t40 = Text(40);
    CUiString self(t40.c_str());
    self.Append(self.GetData());
    EXPECT_EQ(t40 + t40, self.ToStdString());
    self.Append(self.GetData());
    EXPECT_EQ(t40 + t40 + t40 + t40, self.ToStdString());
    self.Append(nullptr);
    EXPECT_EQ(160, self.GetLength());
}

TEST(UiString, EmptyAndEquals)
{
    const std::wstring t = Text(90);
    CUiString s(t.c_str());
    s.Empty();
    EXPECT_TRUE(s.IsInline());
    EXPECT_TRUE(s.Equals(L""));
    EXPECT_TRUE(s.Equals(nullptr));
    CUiString a(L"Name");
    EXPECT_TRUE(a.Equals(L"Name"));
    EXPECT_FALSE(a.Equals(L"name"));
    EXPECT_FALSE(a.Equals(L"Nam"));
    EXPECT_FALSE(a.Equals(L"Names"));
    EXPECT_TRUE(a.EqualsNoCase(L"nAME"));
    EXPECT_TRUE(a == L"Name");
    EXPECT_TRUE(a != CUiString(L"Other"));
}

TEST(UiString, LeftRightMid)
{
    const CUiString s(L"0123456789");
    struct Case {
        int n;
        const wchar_t* left;
        const wchar_t* right;
    } cases[] = {{-5, L"", L""}, {0, L"", L""}, {3, L"012", L"789"}, {10, L"0123456789", L"0123456789"},
                 {100, L"0123456789", L"0123456789"}};
    for (const Case& c : cases) {
        EXPECT_EQ(c.left, s.Left(c.n).ToStdString()) << c.n;
        EXPECT_EQ(c.right, s.Right(c.n).ToStdString()) << c.n;
    }
    const std::wstring t = Text(100);
    const CUiString big(t.c_str());
    EXPECT_EQ(t.substr(0, 63), big.Left(63).ToStdString());
    EXPECT_TRUE(big.Left(62).IsInline());
    EXPECT_EQ(t.substr(37), big.Right(63).ToStdString());
    EXPECT_EQ(L"345", s.Mid(3, 3).ToStdString());
    EXPECT_EQ(L"89", s.Mid(8).ToStdString());
}

TEST(UiString, Find)
{
    const CUiString s(L"a.b.c");
    EXPECT_EQ(1, s.Find(L'.'));
    EXPECT_EQ(3, s.Find(L'.', 2));
    EXPECT_EQ(-1, s.Find(L'x'));
    EXPECT_EQ(-1, s.Find(L'\0'));
    EXPECT_EQ(-1, CUiString().Find(L'a'));
    EXPECT_EQ(2, s.Find(L"b.c"));
    EXPECT_EQ(-1, s.Find(L""));
}

TEST(UiString, Replace)
{
    struct Case {
        const wchar_t* text;
        const wchar_t* from;
        const wchar_t* to;
        int count;
        const wchar_t* result;
    } cases[] = {
        {L"aaa", L"a", L"aa", 3, L"aaaaaa"},      // replacements are not searched again
        {L"abcabc", L"bc", L"", 2, L"aa"},
        {L"abc", L"x", L"y", 0, L"abc"},
        {L"abc", L"", L"y", 0, L"abc"},           // empty pattern: nothing to replace
        {L"abc", nullptr, L"y", 0, L"abc"},
        {L"a-b-c", L"-", nullptr, 2, L"abc"},
        {L"%1 of %1", L"%1", L"ten", 2, L"ten of ten"},
    };
    for (const Case& c : cases) {
        CUiString s(c.text);
        EXPECT_EQ(c.count, s.Replace(c.from, c.to)) << c.text;
        EXPECT_EQ(c.result, s.ToStdString()) << c.text;
    }
    // Growing across the boundary.
    const std::wstring start = L"a" + std::wstring(39, L'b');
    CUiString grow(start.c_str());
    EXPECT_EQ(1, grow.Replace(L"a", Text(30, L'A').c_str()));
    EXPECT_EQ(69, grow.GetLength());
    EXPECT_FALSE(grow.IsInline());
    EXPECT_EQ(1, grow.Replace(Text(30, L'A').c_str(), L"a"));
    EXPECT_EQ(start, grow.ToStdString());
    EXPECT_TRUE(grow.IsInline());
}

TEST(UiString, Format)
{
    CUiString s;
    EXPECT_EQ(9, s.Format(L"%s-%d", L"abc", 12345));
    EXPECT_EQ(L"abc-12345", s.ToStdString());
    EXPECT_TRUE(s.IsInline());

    // Longer than the inline buffer and longer than any fixed scratch size.
    const std::wstring big = Text(5000);
    EXPECT_EQ(5002, s.Format(L"[%s]", big.c_str()));
    EXPECT_EQ(L"[" + big + L"]", s.ToStdString());
    EXPECT_FALSE(s.IsInline());

    EXPECT_EQ(63, s.Format(L"%063d", 7));
    EXPECT_FALSE(s.IsInline());
    EXPECT_EQ(62, s.Format(L"%062d", 7));
    EXPECT_TRUE(s.IsInline());

    EXPECT_EQ(4, s.Format(L"%.2f", 1.5));
    EXPECT_EQ(L"1.50", s.ToStdString());
    EXPECT_EQ(3, s.Format(L"%ls%c", L"ab", L'c'));
    EXPECT_EQ(L"abc", s.ToStdString());
    EXPECT_EQ(0, s.Format(L"%s", L""));
    EXPECT_TRUE(s.IsEmpty());
    // Its own text as an argument.
    s.Assign(L"xy");
    s.Format(L"%s%s", s.GetData(), s.GetData());
    EXPECT_EQ(L"xyxy", s.ToStdString());
    EXPECT_EQ(-1, s.Format(nullptr));
    EXPECT_TRUE(s.IsEmpty());
}

TEST(UiString, CopyMoveAndHash)
{
    const std::wstring t = Text(80);
    CUiString a(t.c_str());
    CUiString b(std::move(a));
    EXPECT_EQ(t, b.ToStdString());
    EXPECT_TRUE(a.IsEmpty());
    CUiString c;
    c = b;
    EXPECT_EQ(t, c.ToStdString());
    c = CUiString(L"short");
    EXPECT_TRUE(c.IsInline());
    EXPECT_EQ(L"short", c.ToStdString());

    // FNV-1a of the UTF-16 bytes: "" is the offset basis, "a" = 0x61 0x00.
    EXPECT_EQ(0x811C9DC5u, ui::HashTextFnv1a(L""));
    uint32_t h = 0x811C9DC5u;
    h = (h ^ 0x61u) * 16777619u;
    h = (h ^ 0x00u) * 16777619u;
    EXPECT_EQ(h, ui::HashTextFnv1a(L"a"));

    std::unordered_map<CUiString, int, ui::CUiStringHash> map;
    map[CUiString(L"key")] = 1;
    map[CUiString(t.c_str())] = 2;
    EXPECT_EQ(1, map[CUiString(L"key")]);
    EXPECT_EQ(2, map[CUiString(t.c_str())]);
    EXPECT_EQ(0u, map.count(CUiString(L"Key")));
    std::unordered_map<CUiString, int> byDefault;
    byDefault[CUiString(L"hot")] = 32;
    EXPECT_EQ(32, byDefault[CUiString(L"hot")]);
    EXPECT_EQ(ui::HashTextFnv1a(L"hot"), std::hash<CUiString>()(CUiString(L"hot")));
}
