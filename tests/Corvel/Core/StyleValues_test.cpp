#include "Corvel/Core/StyleValues.h"

#include <gtest/gtest.h>

#include <string>

using namespace ui;

TEST(StyleValues, HexColour)
{
    struct Case {
        const wchar_t* text;
        bool skipBlanks;
        uint32_t argb;
    } cases[] = {
        {L"#FF0000", false, 0x00FF0000u},   // six digits: alpha 0
        {L"0xffff0000", false, 0xFFFF0000u},
        {L"ffff0000", false, 0xFFFF0000u},
        {L"#FFA7A6AA", false, 0xFFA7A6AAu},
        {L"0xFFA7A6AA", false, 0xFFA7A6AAu},
        {L"#0x80102030", false, 0x80102030u},
        {L"red", false, 0u},                // stops at "r"
        {L"bad", false, 0x00000BADu},
        {L"", false, 0u},
        {nullptr, false, 0u},
        {L"#", false, 0u},
        {L"1FFFFFFFF", false, 0xFFFFFFFFu}, // past 32 bits saturates
        {L"ff00ff00zz", false, 0xFF00FF00u},
        {L"\t #FF102030", true, 0xFF102030u},
        {L"\t #FF102030", false, 0u},       // the "#" is not first
        {L"##FF", false, 0u},               // only one "#" is skipped
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.argb, ParseHexColor(c.text, c.skipBlanks)) << (c.text ? c.text : L"(null)");
}

TEST(StyleValues, MalformedNumbersReadAsZero)
{
    struct Case {
        const wchar_t* text;
        int i;
        float f;
    } cases[] = {{L"12", 12, 12}, {L" -7.5px", -7, -7.5f}, {L"abc", 0, 0}, {L"", 0, 0}, {nullptr, 0, 0},
                 {L"3e1", 3, 30}, {L".5", 0, 0.5f}, {L"--1", 0, 0}};
    for (const Case& c : cases) {
        EXPECT_EQ(c.i, ParseInt(c.text)) << (c.text ? c.text : L"(null)");
        EXPECT_FLOAT_EQ(c.f, ParseFloat(c.text)) << (c.text ? c.text : L"(null)");
    }
}

TEST(StyleValues, IntegerList)
{
    struct Case {
        const wchar_t* text;
        int expected[4];
    } cases[] = {
        {L"1,2,3,4", {1, 2, 3, 4}},
        {L"5,5", {5, 5, 0, 0}},
        {L"5 5", {5, 5, 0, 0}},
        {L"5;5", {5, 5, 0, 0}},
        {L"10", {10, 0, 0, 0}},
        {L"10,,20", {10, 0, 20, 0}}, // one character skipped per step
        {L"-3, 4,x,7", {-3, 4, 0, 0}},
        {L"", {0, 0, 0, 0}},
        {nullptr, {0, 0, 0, 0}},
        {L"1,2,3,4,5,6", {1, 2, 3, 4}},
    };
    for (const Case& c : cases) {
        int out[4] = {9, 9, 9, 9};
        ParseIntList(c.text, out, 4);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(c.expected[i], out[i]) << (c.text ? c.text : L"(null)") << " item " << i;
    }
}

TEST(StyleValues, FloatPair)
{
    struct Case {
        const wchar_t* text;
        float x, y;
    } cases[] = {{L"4,4", 4, 4}, {L"1.5 -2.25", 1.5f, -2.25f}, {L"7", 7, 0}, {L"", 0, 0}, {L"a,3", 0, 0},
                 {L"3,", 3, 0}, {L"0.5;8", 0.5f, 8}};
    for (const Case& c : cases) {
        float x = 99, y = 99;
        ParseFloatPair(c.text, x, y);
        EXPECT_FLOAT_EQ(c.x, x) << c.text;
        EXPECT_FLOAT_EQ(c.y, y) << c.text;
    }
}

TEST(StyleValues, ValueList)
{
    ValueList list(L"50%,12.5,abc,7");
    ASSERT_EQ(4, list.GetCount());
    EXPECT_FLOAT_EQ(50, list.At(0).value);
    EXPECT_TRUE(list.At(0).percent);
    EXPECT_FLOAT_EQ(12.5f, list.At(1).value);
    EXPECT_FALSE(list.At(1).percent);
    EXPECT_FLOAT_EQ(0, list.At(2).value);
    EXPECT_FALSE(list.At(2).percent);
    EXPECT_FLOAT_EQ(7, list.At(3).value);
    // Past the end: the last item.
    EXPECT_FLOAT_EQ(7, list.At(7).value);

    ValueList sparse(L",,5%,");
    ASSERT_EQ(1, sparse.GetCount());
    EXPECT_FLOAT_EQ(5, sparse.At(0).value);
    EXPECT_TRUE(sparse.At(0).percent);

    ValueList frac(L"33.3%,1e2");
    EXPECT_FLOAT_EQ(33.3f, frac.At(0).value);
    EXPECT_TRUE(frac.At(0).percent);
    EXPECT_FLOAT_EQ(1, frac.At(1).value); // no ".": read as an integer

    ValueList empty;
    empty.Parse(nullptr);
    EXPECT_TRUE(empty.IsEmpty());
    EXPECT_FLOAT_EQ(0, empty.At(0).value);
    const wchar_t text[] = L"1,2";
    empty.Parse(text);
    EXPECT_STREQ(L"1,2", text);
    EXPECT_EQ(2, empty.GetCount());
    empty.Clear();
    EXPECT_TRUE(empty.IsEmpty());
}

TEST(StyleValues, RectIntersectAndContains)
{
    struct Case {
        RECTF a, b;
        bool overlap;
        RECTF result;
    } cases[] = {
        {{0, 0, 10, 10}, {5, 5, 20, 20}, true, {5, 5, 10, 10}},
        {{0, 0, 10, 10}, {10, 0, 20, 10}, false, {0, 0, 0, 0}},   // touching edges
        {{0, 0, 10, 10}, {0, 10, 10, 20}, false, {0, 0, 0, 0}},
        {{0, 0, 10, 10}, {2, 2, 2, 8}, false, {0, 0, 0, 0}},      // empty other
        {{5, 5, 5, 5}, {0, 0, 10, 10}, false, {0, 0, 0, 0}},      // empty this
        {{0, 0, 10, 10}, {-5, -5, 30, 30}, true, {0, 0, 10, 10}},
        {{0.5f, 0.5f, 1.5f, 1.5f}, {1, 1, 2, 2}, true, {1, 1, 1.5f, 1.5f}},
    };
    for (const Case& c : cases) {
        RECTF r = c.a;
        EXPECT_EQ(c.overlap, r.Intersect(c.b));
        EXPECT_EQ(c.result, r);
    }
    const RECTF r(0, 0, 10, 10);
    EXPECT_TRUE(r.Contains(0, 0));
    EXPECT_TRUE(r.Contains(10, 10)); // edges included
    EXPECT_FALSE(r.Contains(11, 5));
    EXPECT_FALSE(r.Contains(-1, 5));
    EXPECT_TRUE(RECTF(0, 0, 0, 5).IsEmpty());
    RECTF snap(0.5f, -0.5f, 9.2f, 9.0f);
    snap.SnapOutward();
    EXPECT_EQ(RECTF(0, -1, 10, 9), snap);
}

TEST(StyleValues, KeyValueSpecParsing)
{
    KeyValueSpec three(L"size='8' blur='5' color='0x5f777777'");
    EXPECT_EQ(3, three.GetCount());
    EXPECT_TRUE(three.GetWholeText().IsEmpty());
    EXPECT_STREQ(L"8", three.Get(L"size")->GetData());
    EXPECT_STREQ(L"0x5f777777", three.Get(L"color")->GetData());
    EXPECT_EQ(nullptr, three.Get(L"Size")); // keys are case-sensitive

    KeyValueSpec plain(L"3");
    EXPECT_TRUE(plain.IsEmpty());
    EXPECT_STREQ(L"3", plain.GetWholeText().GetData());

    KeyValueSpec spaced(L"size = '8'");
    EXPECT_EQ(1, spaced.GetCount());
    EXPECT_STREQ(L"8", spaced.Get(L"size")->GetData());

    // One blank separates pairs; a second one ends the reading.
    KeyValueSpec twoBlanks(L"size='8'  blur='5'");
    EXPECT_EQ(1, twoBlanks.GetCount());
    EXPECT_STREQ(L"8", twoBlanks.Get(L"size")->GetData());
    EXPECT_EQ(nullptr, twoBlanks.Get(L"blur"));
    EXPECT_TRUE(twoBlanks.GetWholeText().IsEmpty());

    struct Case {
        const wchar_t* text;
        int pairs;
    } cases[] = {
        {L"a='1'b='2'", 1},          // no blank after the quote: stop
        {L"a='1' b=2", 1},           // no opening quote: stop
        {L"a='1' b '2'", 1},         // no "=": stop
        {L"a='1' b='2", 1},          // unterminated value dropped
        {L"a='' b='2'", 1},          // empty value not stored
        {L"  a='x y'  ", 1},         // blanks inside a value are kept
        {L"", 0},
        {L"a='1' a='2'", 1},         // repeated key: the later value
        {L"a='1'\tb='2'\nc='3'", 3},  // any blank (code up to U+0020) separates
        {L"a='1' \tb='2'", 1},       // but only one of them
        {L"\t a='1' b='2' ", 2},     // leading blanks and one trailing blank
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.pairs, KeyValueSpec(c.text).GetCount()) << c.text;
    EXPECT_STREQ(L"x y", KeyValueSpec(L"  a='x y'  ").Get(L"a")->GetData());
    EXPECT_STREQ(L"2", KeyValueSpec(L"a='1' a='2'").Get(L"a")->GetData());
    KeyValueSpec keep(L"a='1'");
    keep.Parse(L"a=''");
    EXPECT_STREQ(L"1", keep.Get(L"a")->GetData()); // an empty value does not clear
    EXPECT_TRUE(KeyValueSpec(nullptr).IsEmpty());
}

TEST(StyleValues, BlurParams)
{
    BlurParams p;
    EXPECT_TRUE(KeyValueSpec(L"blur='4' quality='3' border='HARD'").GetBlurParams(p));
    EXPECT_FLOAT_EQ(4.0f, p.deviation);
    EXPECT_EQ(3, p.quality);
    EXPECT_EQ(1, p.border);

    BlurParams q{7.0f, 2, 0};
    KeyValueSpec(L"2.5").GetBlurParams(q);
    EXPECT_FLOAT_EQ(2.5f, q.deviation);
    EXPECT_EQ(2, q.quality);
    EXPECT_EQ(0, q.border);

    BlurParams r{7.0f, 2, 1};
    KeyValueSpec(L"border='Soft'").GetBlurParams(r);
    EXPECT_FLOAT_EQ(7.0f, r.deviation);
    EXPECT_EQ(0, r.border);
    KeyValueSpec(L"border='round' blur='x'").GetBlurParams(r);
    EXPECT_EQ(0, r.border);            // unknown mode keeps it
    EXPECT_FLOAT_EQ(0.0f, r.deviation); // malformed number reads as 0

    BlurParams d;
    EXPECT_FLOAT_EQ(0.0f, d.deviation);
    EXPECT_EQ(1, d.quality);
    EXPECT_EQ(1, d.border);
}

TEST(StyleValues, BoxShadow)
{
    BoxShadow s;
    s.drop = 1;
    s.radiusX = 2;
    s.radiusY = 3;
    EXPECT_TRUE(ParseBoxShadow(KeyValueSpec(L"size='3' blur='13' offset='4,4' color='0x64505050'"), s));
    EXPECT_FLOAT_EQ(3, s.size);
    EXPECT_FLOAT_EQ(13, s.blur);
    EXPECT_FLOAT_EQ(4, s.offsetX);
    EXPECT_FLOAT_EQ(4, s.offsetY);
    EXPECT_EQ(0x64505050u, s.color);
    EXPECT_EQ(1, s.drop); // not named: kept
    EXPECT_EQ(0, s.web);
    EXPECT_EQ(0, s.inset);
    EXPECT_FLOAT_EQ(2, s.radiusX);
    EXPECT_FLOAT_EQ(3, s.radiusY);

    BoxShadow t;
    EXPECT_TRUE(ParseBoxShadow(
        KeyValueSpec(L"drop='TRUE' web='true' inset='true' radius='6 8' color='#FF0000' round='1'"), t));
    EXPECT_EQ(1, t.drop);
    EXPECT_EQ(1, t.web);
    EXPECT_EQ(1, t.inset);
    EXPECT_FLOAT_EQ(6, t.radiusX);
    EXPECT_FLOAT_EQ(8, t.radiusY);
    EXPECT_EQ(0x00FF0000u, t.color);
    EXPECT_TRUE(ParseBoxShadow(KeyValueSpec(L"drop='yes' inset='1' size='big'"), t));
    EXPECT_EQ(0, t.drop);
    EXPECT_EQ(0, t.inset);
    EXPECT_FLOAT_EQ(0, t.size);

    BoxShadow u;
    u.size = 5;
    EXPECT_FALSE(ParseBoxShadow(KeyValueSpec(L"6.5"), u));
    EXPECT_FLOAT_EQ(6.5f, u.blur);
    EXPECT_FLOAT_EQ(5, u.size);

    BoxShadow copy;
    copy = t;
    EXPECT_EQ(t.radiusY, copy.radiusY);
    EXPECT_EQ(t.color, copy.color);
}

TEST(StyleValues, EasingNames)
{
    const wchar_t* names[] = {L"linear", L"sine", L"quint", L"quart", L"quad", L"expo",
                              L"elastic", L"cubic", L"circ", L"bounce", L"back"};
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(i, ParseEasingName(names[i])) << names[i];
    EXPECT_EQ(4, ParseEasingName(L"Bounce"));
    EXPECT_EQ(4, ParseEasingName(L""));
    EXPECT_EQ(4, ParseEasingName(nullptr));
    EXPECT_EQ(4, ParseEasingName(L"linear "));
}

TEST(StyleValues, PropertyValueMove)
{
    PropertyValue a;
    EXPECT_FALSE(a.found);
    EXPECT_TRUE(a.text.empty());
    a.found = true;
    a.value = 0.5f;
    a.rect = RECTF(1, 2, 3, 4);
    a.color.FromArgb(0xFF00FF00u);
    a.text = L"progress";
    PropertyValue b;
    b = std::move(a);
    EXPECT_TRUE(b.found);
    EXPECT_FLOAT_EQ(0.5f, b.value);
    EXPECT_EQ(RECTF(1, 2, 3, 4), b.rect);
    EXPECT_EQ(0xFF00FF00u, b.color.ToArgb());
    EXPECT_EQ(L"progress", b.text);
    EXPECT_TRUE(a.text.empty());
    EXPECT_TRUE(a.found); // numbers are copied, not cleared
}
