#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include "support/Text.h"

using testsupport::Narrow;

namespace {

using Options = std::vector<std::pair<std::wstring, std::wstring>>;

} // namespace

TEST(CommandLine, OptionsTable)
{
    struct Case {
        const wchar_t* text;
        Options options;
    } const cases[] = {
        {L"-mac 00-11 -p ABC", {{L"mac", L"00-11"}, {L"p", L"ABC"}}},
        {L"-p=ABC", {{L"p", L"ABC"}}},
        {L"-self", {{L"self", L""}}},
        {L"x=1 y", {{L"x", L"1"}, {L"", L"y"}}},
        {L"--a b=c", {{L"a", L"b=c"}}},
        {L"-a -b 2", {{L"a", L""}, {L"b", L"2"}}},
        {L"-p \"A B\"", {{L"p", L"A B"}}},
        {L"  -p\tX  ", {{L"p", L"X"}}},
        // More than one "=": the whole text is the name, or the value.
        {L"-a=b=c d", {{L"a=b=c", L"d"}}},
        {L"a=b=c", {{L"", L"a=b=c"}}},
        // "-p=" names the option and waits for its value.
        {L"-p= V", {{L"p", L"V"}}},
        // A token of dashes only is kept whole.
        {L"-- x", {{L"--", L"x"}}},
        {L"", {}},
        {L"\"\"", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.text));
        CCommandLine line;
        EXPECT_TRUE(line.Parse(c.text));
        EXPECT_EQ(line.Options(), c.options);
        EXPECT_EQ(line.RawText(), c.text);
    }
}

TEST(CommandLine, QuotesJoinBlanksAndAreDropped)
{
    CCommandLine line;
    EXPECT_TRUE(line.Parse(L"a\"b c\"d \"\" e\" \"f"));
    EXPECT_EQ(line.Tokens(), (std::vector<std::wstring>{L"ab cd", L"e f"}));

    // An open quote runs to the end; the options read so far still count.
    EXPECT_FALSE(line.Parse(L"-p \"A B -mac 1"));
    EXPECT_EQ(line.Options(), (Options{{L"p", L"A B -mac 1"}}));

    // A second Parse replaces everything.
    EXPECT_TRUE(line.Parse(L"-x 1"));
    EXPECT_EQ(line.Tokens(), (std::vector<std::wstring>{L"-x", L"1"}));
    EXPECT_EQ(line.Options(), (Options{{L"x", L"1"}}));
}

TEST(CommandLine, GetValueMatchesTheFirstExactName)
{
    CCommandLine line;
    line.Parse(L"-p ONE -P TWO -p THREE --mac AA -empty");
    EXPECT_EQ(line.GetValue(L"p"), L"ONE");
    EXPECT_EQ(line.GetValue(L"-p"), L"ONE");
    EXPECT_EQ(line.GetValue(L"--P"), L"TWO");
    EXPECT_EQ(line.GetValue(L"mac"), L"AA");
    EXPECT_EQ(line.GetValue(L"MAC"), L"");
    EXPECT_EQ(line.GetValue(L"empty"), L"");
    EXPECT_TRUE(line.HasOption(L"empty"));
    EXPECT_FALSE(line.HasOption(L"MAC"));
    EXPECT_EQ(line.GetValue(L""), L"");
    EXPECT_EQ(line.GetValue(L"missing"), L"");
}
