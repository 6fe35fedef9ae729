// The pure parts of text drawing: brace-tagged text split into plain text
// and runs, the key='value' scanner of a tag, and where a text that does
// not fit is cut.
#include "Corvel/Render/TextDrawing.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "Corvel/Render/FontManager.h"
#include "support/Text.h"

using testsupport::Narrow;

namespace {

// The fields a case names; everything else must keep its default.
struct RunWant {
    int start;
    int length;
    const wchar_t* face = ui::kDefaultFontFace;
    int size = 0;
    uint32_t color = 0xFF000000u;
    float spacing = 0.0f;
    bool bold = false, italic = false, underline = false, strike = false;
};

RunWant WantRun(int start, int length, const std::function<void(RunWant&)>& set = nullptr)
{
    RunWant r;
    r.start = start;
    r.length = length;
    if (set)
        set(r);
    return r;
}

void ExpectRun(const RunWant& want, const ui::TextRun& got)
{
    EXPECT_EQ(want.start, got.start);
    EXPECT_EQ(want.length, got.length);
    EXPECT_EQ(Narrow(want.face), Narrow(got.face.GetData()));
    EXPECT_EQ(want.size, got.size);
    EXPECT_EQ(want.color, got.color);
    EXPECT_FLOAT_EQ(want.spacing, got.spacing);
    EXPECT_EQ(want.bold, got.bold != 0);
    EXPECT_EQ(want.italic, got.italic != 0);
    EXPECT_EQ(want.underline, got.underline != 0);
    EXPECT_EQ(want.strike, got.strike != 0);
}

TEST(TaggedText, SplitsIntoPlainTextAndRunsInTheOrderTheyClose)
{
    auto size9 = [](RunWant& r) { r.size = 9; };
    auto bold = [](RunWant& r) { r.bold = true; };
    struct {
        const char* name;
        const wchar_t* tagged;
        const wchar_t* plain;
        std::vector<RunWant> runs;
    } cases[] = {
        {"face and size", L"{name='Arial' size='20'}abc{/}defghi", L"abcdefghi",
         {WantRun(0, 3, [](RunWant& r) { r.face = L"Arial"; r.size = 20; })}},
        {"inner runs close first", L"a{bold='true'}b{italic='true'}cd{/}e{/}f", L"abcdef",
         {WantRun(2, 2, [](RunWant& r) { r.italic = true; }), WantRun(1, 4, bold)}},
        {"every other attribute", L"{space='2.5' underline='true' strike='true' color='0x80FF0000'}x{/}", L"x",
         {WantRun(0, 1, [](RunWant& r) {
             r.spacing = 2.5f;
             r.underline = r.strike = true;
             r.color = 0x80FF0000u;
         })}},
        {"a run left open ends with the text", L"ab{size='9'}cde", L"abcde", {WantRun(2, 3, size9)}},
        {"exact true only", L"{bold='True'}x", L"x", {WantRun(0, 1)}},
        {"colour without its prefix stays black", L"{color='FF00FF00'}x{/}", L"x", {WantRun(0, 1)}},
        {"no tags", L"plain text", L"plain text", {}},
        {"nothing", L"", L"", {}},
        {"only tags", L"{size='3'}{/}", L"", {WantRun(0, 0, [](RunWant& r) { r.size = 3; })}},
        // A closing tag without an open run is dropped.
        {"closing tag first", L"ab{/}cd{/}", L"abcd", {}},
        {"closing tag before a run", L"{/}{size='9'}x", L"x", {WantRun(0, 1, size9)}},
        // A brace that no closing brace follows is text.
        {"unterminated tag", L"ab{size='9' cd", L"ab{size='9' cd", {}},
        {"unterminated closing tag", L"{bold='true'}ab{/cd", L"ab{/cd", {WantRun(0, 6, bold)}},
        {"unterminated after a run", L"a{}c{d", L"ac{d", {WantRun(1, 3)}},
    };

    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring plain = L"left over";
        const std::vector<ui::TextRun> runs = ui::ParseTaggedText(c.tagged, plain);
        EXPECT_EQ(Narrow(c.plain), Narrow(plain));
        ASSERT_EQ(c.runs.size(), runs.size());
        for (size_t i = 0; i < runs.size(); ++i) {
            SCOPED_TRACE(i);
            ExpectRun(c.runs[i], runs[i]);
        }
    }
}

TEST(TaggedText, AttributesAreTrimmedKeyValuePairs)
{
    struct {
        const wchar_t* tag;
        std::vector<std::pair<std::wstring, std::wstring>> pairs;
    } cases[] = {
        {L"  name = 'Arial Black'  size='20'", {{L"name", L"Arial Black"}, {L"size", L"20"}}},
        {L"size=20 bold=true", {{L"size", L"20"}, {L"bold", L"true"}}},
        {L"name=' A B '", {{L"name", L" A B "}}},
        {L"name='open", {{L"name", L"'open"}}},
        {L"no pairs here", {}},
        {L"key=", {{L"key", L""}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.tag));
        const std::wstring tag = c.tag;
        size_t pos = 0;
        std::wstring key, value;
        std::vector<std::pair<std::wstring, std::wstring>> got;
        while (ui::NextTagAttribute(tag, pos, key, value))
            got.emplace_back(key, value);
        EXPECT_EQ(c.pairs, got);
        EXPECT_EQ(tag.size(), pos) << "the scan ends at the end of the tag";
    }

    EXPECT_EQ(L"\tx", ui::TrimSpaces(L"  \tx "));  // spaces only
    EXPECT_EQ(L"a b", ui::TrimSpaces(L"a b"));
    EXPECT_EQ(L"", ui::TrimSpaces(L"   "));
}

TEST(TextCut, KeepsOneCharacterFewerThanFitWithoutSplittingASurrogatePair)
{
    const std::wstring latin = L"abcdef";
    const std::wstring astral = L"ab\xD835\xDC00" L"cd";  // U+1D400 at 2..3
    struct {
        const char* name;
        const std::wstring& text;
        size_t fitting;
        size_t keep;
    } cases[] = {
        {"one fewer", latin, 4, 3},
        {"nothing fits", latin, 0, 0},
        {"one fits", latin, 1, 0},
        {"past the end", latin, 99, 5},
        {"before a pair", astral, 3, 2},
        {"after a pair", astral, 4, 2},  // keeping 3 would end on half of it
        {"after the character behind a pair", astral, 5, 4},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.keep, ui::TextCutLength(c.text, c.fitting)) << c.name;

    // Cutting again gives the next shorter cut, whole pairs at a time.
    EXPECT_EQ(1u, ui::TextCutLength(astral, ui::TextCutLength(astral, 4)));
}

} // namespace
