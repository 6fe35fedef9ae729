// The SVG layer's readers on their own: numbers, lengths, transforms, path
// data and the XML reader. No drawing here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "Corvel/Render/Svg/SvgNumbers.h"
#include "Corvel/Render/Svg/SvgPathData.h"
#include "Corvel/Render/Svg/SvgXml.h"

using namespace ui::svg;

namespace {

TEST(SvgNumberTest, ReadsNumbersAsTheFormatWritesThem)
{
    struct Case {
        const char* text;
        std::vector<double> numbers;
        bool allRead;
    };
    const Case cases[] = {
        {"1.5.5", {1.5, 0.5}, true},
        {"-1e-3", {-0.001}, true},
        {"10-5", {10, -5}, true},
        {"  3 , 4  ", {3, 4}, true},
        {".5e1,2", {5, 2}, true},
        {"+.5", {0.5}, true},
        {"5.", {5}, true},
        {"007", {7}, true},
        {"999999999", {999999999}, true},
        {"1e-400", {0}, true},
        {"0.000000000000000000000012345", {1.2345e-23}, true},
        {"1em", {1}, false},
        {"1,,2", {1}, false},
        {"0x10", {0}, false},
        {"1e400", {}, false},
        {"2000000000", {}, false},
        {"123456789012345678901234", {}, false},
        {"nan", {}, false},
        {"inf", {}, false},
        {"-", {}, false},
        {".", {}, false},
        {"e5", {}, false},
    };
    for (const Case& c : cases) {
        NumberScanner scan(c.text);
        std::vector<double> read;
        double v = 0.0;
        scan.SkipSpace();
        while (scan.Number(v)) {
            read.push_back(v);
            scan.SkipSeparator();
        }
        ASSERT_EQ(c.numbers.size(), read.size()) << c.text;
        for (size_t i = 0; i < read.size(); ++i)
            EXPECT_NEAR(c.numbers[i], read[i], 1e-9 * std::max(1.0, std::fabs(c.numbers[i]))) << c.text;
        EXPECT_EQ(c.allRead, scan.AtEnd()) << c.text;
    }
}

TEST(SvgNumberTest, LengthsTakeTheirUnits)
{
    struct Case {
        const char* text;
        bool ok;
        float value;
        bool percent;
    };
    const Case cases[] = {
        {"12", true, 12, false},   {" 12px ", true, 12, false}, {"1in", true, 96, false},
        {"2.54cm", true, 96, false}, {"25.4mm", true, 96, false}, {"72pt", true, 96, false},
        {"6pc", true, 96, false},  {"2em", true, 32, false},    {"50%", true, 50, true},
        {"12 px", false, 0, false}, {"12furlongs", false, 0, false}, {"px", false, 0, false},
        {"", false, 0, false},     {"1e9in", false, 0, false},
    };
    for (const Case& c : cases) {
        Length length;
        EXPECT_EQ(c.ok, ParseLength(c.text, length)) << c.text;
        if (c.ok) {
            EXPECT_NEAR(c.value, length.value, 1e-3) << c.text;
            EXPECT_EQ(c.percent, length.percent) << c.text;
        }
    }
}

TEST(SvgNumberTest, TransformListsComposeOrFailWhole)
{
    struct Case {
        const char* text;
        bool ok;
        Point from;
        Point to;
    };
    const Case cases[] = {
        {"", true, {1, 2}, {1, 2}},
        {"translate(10)", true, {1, 2}, {11, 2}},
        {"translate(10 -3)", true, {1, 2}, {11, -1}},
        {"scale(2)", true, {1, 2}, {2, 4}},
        {"scale(2,3)", true, {1, 2}, {2, 6}},
        {"rotate(90)", true, {1, 0}, {0, 1}},
        {"rotate(180 5 5)", true, {4, 5}, {6, 5}},
        {"skewX(45)", true, {0, 2}, {2, 2}},
        {"skewY(45)", true, {2, 0}, {2, 2}},
        {"matrix(1 2 3 4 5 6)", true, {1, 1}, {9, 12}},
        {"translate(10) scale(2)", true, {1, 1}, {12, 2}},
        {"scale(2),translate(10)", true, {1, 1}, {22, 2}},
        {" translate ( 1 , 1 ) ", true, {0, 0}, {1, 1}},
        {"rotate(1,2)", false, {}, {}},
        {"scale()", false, {}, {}},
        {"translate(1 2", false, {}, {}},
        {"matrix(1 2 3 4 5)", false, {}, {}},
        {"shear(1)", false, {}, {}},
        {"translate(1) junk", false, {}, {}},
        {"translate(1e400)", false, {}, {}},
    };
    for (const Case& c : cases) {
        Matrix m;
        ASSERT_EQ(c.ok, ParseTransform(c.text, m)) << c.text;
        if (!c.ok)
            continue;
        const Point p = m.Apply(c.from);
        EXPECT_NEAR(c.to.x, p.x, 1e-5) << c.text;
        EXPECT_NEAR(c.to.y, p.y, 1e-5) << c.text;
    }
}

TEST(SvgPathDataTest, ReadsPackedNumbersAndFlags)
{
    Path path;
    EXPECT_TRUE(ParsePathData("M1.5.5L2.5.5-1-1", path));
    ASSERT_EQ(3u, path.Points().size());
    EXPECT_FLOAT_EQ(1.5f, path.Points()[0].x);
    EXPECT_FLOAT_EQ(0.5f, path.Points()[0].y);
    EXPECT_FLOAT_EQ(2.5f, path.Points()[1].x);
    EXPECT_FLOAT_EQ(-1.0f, path.Points()[2].x);

    // Packed arc flags end exactly where the numbers say.
    Path arc;
    EXPECT_TRUE(ParsePathData("M0 0a1 1 0 00 1 1", arc));
    EXPECT_FLOAT_EQ(1.0f, arc.CurrentPoint().x);
    EXPECT_FLOAT_EQ(1.0f, arc.CurrentPoint().y);
    Path arc2;
    EXPECT_TRUE(ParsePathData("M0 0a1 1 0 1110 0", arc2));
    EXPECT_FLOAT_EQ(10.0f, arc2.CurrentPoint().x);

    // A flag other than 0 or 1 is an error; what came before stays.
    Path bad;
    EXPECT_FALSE(ParsePathData("M0 0 L4 0 A1 1 0 2 0 1 1", bad));
    EXPECT_EQ(2u, bad.Verbs().size());
    EXPECT_FLOAT_EQ(4.0f, bad.CurrentPoint().x);
}

TEST(SvgPathDataTest, PointListsStopAtTheirFirstError)
{
    struct Case {
        const char* points;
        bool ok;
        size_t count;
    };
    const Case cases[] = {
        {"1,2 3,4 5,6", true, 3},
        {"1 2,3 4", true, 2},
        {"1,2 3,4 5", false, 2},
        {"1,2 x 3,4", false, 1},
        {"", true, 0},
    };
    for (const Case& c : cases) {
        Path path;
        EXPECT_EQ(c.ok, ParsePoints(c.points, path)) << c.points;
        EXPECT_EQ(c.count, path.Points().size()) << c.points;
    }
}

// An arc of a quarter turn or less is one cubic; a full half turn two, and
// every cubic starts where the last ended.
TEST(SvgPathDataTest, ArcsBecomeCubicsOnTheEllipse)
{
    Path half;
    half.MoveTo({0, 0});
    half.ArcTo(5, 5, 0, false, true, {10, 0});
    ASSERT_EQ(3u, half.Verbs().size());
    EXPECT_EQ(PathVerb::Cubic, half.Verbs()[1]);
    // The middle point of a half circle over the top.
    const Point middle = half.Points()[3];
    EXPECT_NEAR(5.0f, middle.x, 1e-4);
    EXPECT_NEAR(-5.0f, middle.y, 1e-4);
    EXPECT_FLOAT_EQ(10.0f, half.CurrentPoint().x);

    Path same;
    same.MoveTo({3, 3});
    same.ArcTo(5, 5, 0, true, true, {3, 3});
    EXPECT_EQ(1u, same.Verbs().size());
}

TEST(SvgXmlTest, ReadsWhatDrawingProgramsWrite)
{
    const std::string text =
        "\xEF\xBB\xBF<?xml version='1.0'?>\n"
        "<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 1.1//EN\" \"x.dtd\" [ <!ENTITY e \"<g>\"> ]>\n"
        "<!-- a comment with <tags> -->\n"
        "<svg a='single \"quoted\"' b=\"double\" c = '&amp;&lt;&gt;&quot;&apos;&#65;&#x42;&#x1F600;&unknown;&#0;'>"
        "<style><![CDATA[ a > b { } ]]> and text</style>"
        "<g><rect/>tail</g>"
        "<?pi inside?>"
        "</svg>\n<!-- after -->";
    std::vector<XmlElement> elements;
    ASSERT_TRUE(ReadXml(text.data(), text.size(), elements));
    ASSERT_EQ(4u, elements.size());
    EXPECT_EQ("svg", elements[0].name);
    ASSERT_EQ(3u, elements[0].attributes.size());
    EXPECT_EQ("single \"quoted\"", elements[0].attributes[0].value);
    EXPECT_EQ("double", elements[0].attributes[1].value);
    EXPECT_EQ("&<>\"'AB\xF0\x9F\x98\x80&unknown;&#0;", elements[0].attributes[2].value);
    EXPECT_EQ("style", elements[1].name);
    EXPECT_EQ(" a > b { }  and text", elements[1].text);
    EXPECT_EQ("g", elements[2].name);
    EXPECT_EQ(0, elements[2].parent);
    EXPECT_EQ("rect", elements[3].name);
    EXPECT_EQ(2, elements[3].parent);
    EXPECT_EQ(2, elements[3].depth);
}

TEST(SvgXmlTest, RefusesBrokenStructure)
{
    const char* const cases[] = {
        "",
        "just text",
        "<svg>",
        "<svg><g></svg>",
        "<svg></g></svg>",
        "<svg/><svg/>",
        "<svg a=1/>",
        "<svg a/>",
        "<svg a='1'b='2'/>",
        "<svg a='1/>",
        "<svg><!-- open </svg>",
        "<svg><![CDATA[ open </svg>",
        "<svg><?pi open </svg>",
        "<!DOCTYPE svg [ <svg/>",
        "< svg/>",
        "<svg></svg",
    };
    for (const char* text : cases) {
        std::vector<XmlElement> elements;
        EXPECT_FALSE(ReadXml(text, std::char_traits<char>::length(text), elements)) << text;
        EXPECT_TRUE(elements.empty()) << text;
    }
}

TEST(SvgXmlTest, DepthLimitHoldsExactly)
{
    auto nested = [](int depth) {
        std::string s;
        for (int i = 0; i < depth; ++i)
            s += "<g>";
        for (int i = 0; i < depth; ++i)
            s += "</g>";
        return s;
    };
    std::vector<XmlElement> elements;
    const std::string deepest = nested(XmlLimits::kMaxDepth);
    EXPECT_TRUE(ReadXml(deepest.data(), deepest.size(), elements));
    const std::string tooDeep = nested(XmlLimits::kMaxDepth + 1);
    EXPECT_FALSE(ReadXml(tooDeep.data(), tooDeep.size(), elements));
}

} // namespace
