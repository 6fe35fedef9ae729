// How things are painted: colours, fill rules, opacity and pens, and how
// style sheets recolour a document.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "Corvel/Render/Svg/SvgStyle.h"
#include "support/SvgTestSupport.h"

using namespace svgtest;
using testsupport::A;
using testsupport::B;
using testsupport::G;
using testsupport::PixelImage;
using testsupport::R;

namespace {

const uint32_t kRed = 0xFFFF0000u;
const uint32_t kBlue = 0xFF0000FFu;

class SvgPaintTest : public DrawingTest {};

TEST(SvgColorTest, ParsesEveryColourSyntax)
{
    struct Case {
        const char* text;
        bool ok;
        uint32_t argb;
    };
    const Case cases[] = {
        {"red", true, 0xFFFF0000u},
        {" White ", true, 0xFFFFFFFFu},
        {"rebeccapurple", true, 0xFF663399u},
        {"lightgoldenrodyellow", true, 0xFFFAFAD2u},
        {"transparent", true, 0x00000000u},
        {"#f00", true, 0xFFFF0000u},
        {"#F008", true, 0x88FF0000u},
        {"#FF8000", true, 0xFFFF8000u},
        {"#ff000080", true, 0x80FF0000u},
        {"rgb(255,128,0)", true, 0xFFFF8000u},
        {"rgb( 255 , 128 , 0 )", true, 0xFFFF8000u},
        {"rgb(100%, 50%, 0%)", true, 0xFFFF8000u},
        {"rgba(255,0,0,0.5)", true, 0x80FF0000u},
        {"rgb(255 0 0 / 50%)", true, 0x80FF0000u},
        {"RGB(300,-5,0)", true, 0xFFFF0000u},
        {"#ff", false, 0},
        {"#ggg", false, 0},
        {"#12345", false, 0},
        {"rgb(1,2)", false, 0},
        {"rgb(1,2,3", false, 0},
        {"rgb(1,2,3,4,5)", false, 0},
        {"rgb(a,b,c)", false, 0},
        {"notacolor", false, 0},
        {"", false, 0},
    };
    for (const Case& c : cases) {
        uint32_t argb = 0x12345678u;
        EXPECT_EQ(c.ok, ui::svg::ParseColor(c.text, argb)) << c.text;
        if (c.ok) {
            EXPECT_EQ(c.argb, argb) << c.text;
        }
    }
}

TEST_F(SvgPaintTest, PaintsAndFillRules)
{
    struct Case {
        std::string body;
        float x;
        float y;
        uint32_t expected;
    };
    const char* const kSameWay = "M2 2 H14 V14 H2 Z M5 5 H11 V11 H5 Z";
    const char* const kOtherWay = "M2 2 H14 V14 H2 Z M5 5 V11 H11 V5 Z";
    const std::string sameWay(kSameWay);
    const std::string otherWay(kOtherWay);
    const Case cases[] = {
        {"<rect width='16' height='16'/>", 8, 8, 0xFF000000u},  // black by default
        {"<rect width='16' height='16' fill='none'/>", 8, 8, 0},
        {"<rect width='16' height='16' fill='url(#gradient)'/>", 8, 8, 0},
        {"<rect width='16' height='16' fill='url(#gradient) red'/>", 8, 8, kRed},
        {"<g color='blue'><rect width='16' height='16' fill='currentColor'/></g>", 8, 8, kBlue},
        {"<rect width='16' height='16' fill='currentColor'/>", 8, 8, 0xFF000000u},
        {"<rect width='16' height='16' fill='bogus'/>", 8, 8, 0xFF000000u},
        {"<path fill='red' d='" + sameWay + "'/>", 8, 8, kRed},
        {"<path fill='red' fill-rule='evenodd' d='" + sameWay + "'/>", 8, 8, 0},
        {"<path fill='red' fill-rule='evenodd' d='" + sameWay + "'/>", 3, 8, kRed},
        {"<path fill='red' d='" + otherWay + "'/>", 8, 8, 0},
        {"<g fill-rule='evenodd'><path fill='red' d='" + sameWay + "'/></g>", 8, 8, 0},
        {"<path fill='red' style='fill-rule:evenodd' fill-rule='nonzero' d='" + sameWay + "'/>", 8, 8, 0},
        {"<rect width='16' height='16' fill='red' display='none'/>", 8, 8, 0},
        {"<g display='none'><rect width='16' height='16' fill='red'/></g>", 8, 8, 0},
        {"<g visibility='hidden'><rect width='16' height='16' fill='red'/></g>", 8, 8, 0},
        {"<g visibility='hidden'><rect width='16' height='16' fill='red' visibility='visible'/></g>", 8, 8, kRed},
        {"<defs><rect width='16' height='16' fill='red'/></defs>", 8, 8, 0},
        {"<text x='0' y='12' fill='red'>Hi<tspan>there</tspan></text><rect width='4' height='4' fill='red'/>", 2, 2,
         kRed},
        {"<switch><foreignObject requiredExtensions='x'/><rect width='16' height='16' fill='red' requiredExtensions='x'/>"
         "<rect width='16' height='16' fill='blue'/><rect width='8' height='8' fill='red'/></switch>",
         4, 4, kBlue},
        {"<svg:rect width='16' height='16' fill='red'/>", 8, 8, kRed},
    };
    for (const Case& c : cases) {
        const PixelImage image = Draw(Doc16(c.body), 16, 16);
        ASSERT_EQ(16, image.width) << c.body;
        EXPECT_EQ(c.expected, At16(image, c.x, c.y)) << c.body;
    }
}

// Alpha and premultiplied colour where shapes meet: opacity of a group or
// of a shape with both paints applies once to what they draw together.
TEST_F(SvgPaintTest, OpacityFadesWholeElements)
{
    struct Case {
        const char* name;
        std::string body;
        float x;
        float y;
        int alpha;
        uint32_t rgb;  // straight colour; the pixel holds it premultiplied
    };
    const std::string siblings =
        "<g opacity='0.5'><rect x='1' y='1' width='5' height='14' fill='red' stroke='red'/></g>"
        "<g opacity='0.25'><rect x='10' y='1' width='5' height='14' fill='blue' stroke='blue'/></g>";
    const std::string two = "<rect x='2' y='2' width='8' height='8' fill='red'/><rect x='6' y='6' width='8' height='8' fill='red'/>";
    const Case cases[] = {
        {"opacity", "<rect width='16' height='16' fill='red' opacity='0.5'/>", 8, 8, 128, 0xFF0000},
        {"opacity in per cent", "<rect width='16' height='16' fill='red' opacity='50%'/>", 8, 8, 128, 0xFF0000},
        {"fill-opacity", "<rect width='16' height='16' fill='red' fill-opacity='0.5'/>", 8, 8, 128, 0xFF0000},
        {"colour alpha", "<rect width='16' height='16' fill='rgba(255,0,0,0.5)'/>", 8, 8, 128, 0xFF0000},
        {"group over overlap", "<g opacity='0.5'>" + two + "</g>", 8, 8, 128, 0xFF0000},
        {"group, one shape alone", "<g opacity='0.5'>" + two + "</g>", 3, 3, 128, 0xFF0000},
        {"no group: overlap adds up", "<g fill-opacity='0.5'>" + two + "</g>", 8, 8, 191, 0xFF0000},
        {"stroke over fill", "<rect x='2' y='2' width='12' height='12' fill='red' stroke='blue' stroke-width='4' "
                             "opacity='0.5'/>", 3, 8, 128, 0x0000FF},
        {"nested groups multiply", "<g opacity='0.5'><rect width='16' height='16' fill='red' opacity='0.5'/></g>", 8, 8,
         64, 0xFF0000},
        {"stroke crossing itself", "<polyline points='2,2 14,14 14,2 2,14' fill='none' stroke='red' stroke-width='2' "
                                   "stroke-opacity='0.5'/>", 8, 8, 128, 0xFF0000},
        {"opacity 0", "<rect width='16' height='16' fill='red' opacity='0'/>", 8, 8, 0, 0},
        // Sibling groups each get their own layer, however it is made.
        {"first of two groups", siblings, 3, 8, 128, 0xFF0000},
        {"second of two groups", siblings, 13, 8, 64, 0x0000FF},
        {"between two groups", siblings, 8, 8, 0, 0},
    };
    for (const Case& c : cases) {
        for (int size : {16, 48}) {
            const PixelImage image = Draw(Doc16(c.body), size, size);
            ASSERT_EQ(size, image.width) << c.name;
            const uint32_t p = At16(image, c.x, c.y);
            EXPECT_NEAR(c.alpha, A(p), 1) << c.name << " at " << size << " px";
            EXPECT_NEAR(static_cast<int>((c.rgb >> 16) & 0xFF) * c.alpha / 255, R(p), 1) << c.name;
            EXPECT_NEAR(static_cast<int>((c.rgb >> 8) & 0xFF) * c.alpha / 255, G(p), 1) << c.name;
            EXPECT_NEAR(static_cast<int>(c.rgb & 0xFF) * c.alpha / 255, B(p), 1) << c.name;
        }
    }
}

// A thick line from x=4 to x=12 at y=8, four units wide, drawn at 48 px.
TEST_F(SvgPaintTest, LineCapsEndTheLineAsAsked)
{
    struct Case {
        const char* cap;
        uint32_t beforeStart;  // at (3, 8): one unit before the start
        uint32_t corner;       // at (2.2, 6.2): inside a square cap only
    };
    const Case cases[] = {
        {"butt", 0, 0},
        {"round", kRed, 0},
        {"square", kRed, kRed},
    };
    for (const Case& c : cases) {
        const PixelImage image = Draw(Doc16(std::string("<line x1='4' y1='8' x2='12' y2='8' stroke='red' "
                                                        "stroke-width='4' stroke-linecap='") +
                                            c.cap + "'/>"),
                                      48, 48);
        EXPECT_EQ(c.beforeStart, At16(image, 3, 8)) << c.cap;
        EXPECT_EQ(c.corner, At16(image, 2.2f, 6.2f)) << c.cap;
        // Both ends alike.
        EXPECT_EQ(c.beforeStart, At16(image, 12.9f, 8)) << c.cap;
        EXPECT_EQ(c.corner, At16(image, 13.7f, 9.7f)) << c.cap;
        EXPECT_EQ(kRed, At16(image, 8, 6.5f)) << c.cap;
    }
}

// A corner at (8,4) between lines from (2,12) and to (14,12), pen 2 wide:
// a mitre reaches up to y = 2.33, a round join to y = 3, a bevel to y = 3.4.
// What lies above the bevel tells the joins apart.
TEST_F(SvgPaintTest, LineJoinsShapeCorners)
{
    auto aboveBevel = [](const char* attributes) {
        const PixelImage image = Draw(Doc16(std::string("<polyline points='2,12 8,4 14,12' fill='none' stroke='red' "
                                                        "stroke-width='2' ") +
                                            attributes + "/>"),
                                      48, 48);
        EXPECT_EQ(kRed, At16(image, 8, 4.5f)) << attributes;
        return AlphaSum(image, 21, 6, 27, 10);  // x 7..9, y 2..3.33
    };
    const long miter = aboveBevel("stroke-linejoin='miter'");
    const long round = aboveBevel("stroke-linejoin='round'");
    const long bevel = aboveBevel("stroke-linejoin='bevel'");
    // The mitre is 1.67 pen widths long: a lower limit cuts it to a bevel.
    const long limited = aboveBevel("stroke-miterlimit='1.5'");
    const long byDefault = aboveBevel("");
    EXPECT_EQ(0, bevel);
    EXPECT_EQ(0, limited);
    EXPECT_GT(round, 0);
    EXPECT_GT(miter, round);
    EXPECT_EQ(miter, byDefault);
}

TEST_F(SvgPaintTest, PenWidthAndZeroLengthSegments)
{
    struct Case {
        const char* body;
        float x;
        float y;
        uint32_t expected;
    };
    const Case cases[] = {
        {"<line x1='2' y1='8' x2='14' y2='8' stroke='red' stroke-width='0'/>", 8, 8, 0},
        {"<line x1='2' y1='8' x2='14' y2='8' stroke='red' stroke-width='-3'/>", 8, 8.2f, kRed},  // bad: width 1
        {"<line x1='2' y1='8' x2='14' y2='8' stroke='red' stroke-width='-3'/>", 8, 9.5f, 0},
        {"<line x1='2' y1='8' x2='14' y2='8' stroke='red' stroke-width='6'/>", 8, 5.5f, kRed},
        {"<g stroke-width='6'><line x1='2' y1='8' x2='14' y2='8' stroke='red'/></g>", 8, 5.5f, kRed},
        {"<path d='M8 8 L8 8' stroke='red' stroke-width='4' stroke-linecap='round'/>", 8, 8, kRed},
        {"<path d='M8 8 L8 8' stroke='red' stroke-width='4' stroke-linecap='square'/>", 6.5f, 6.5f, kRed},
        {"<path d='M8 8 L8 8' stroke='red' stroke-width='4'/>", 8, 8, 0},
        {"<path d='M2 8 C2 2 14 2 14 8' fill='none' stroke='red' stroke-width='2'/>", 8, 3.5f, kRed},
        {"<path d='M2 8 C2 2 14 2 14 8' fill='none' stroke='red' stroke-width='2'/>", 8, 6, 0},
    };
    for (const Case& c : cases) {
        const PixelImage image = Draw(Doc16(c.body), 48, 48);
        EXPECT_EQ(c.expected, At16(image, c.x, c.y)) << c.body << " at " << c.x << "," << c.y;
    }
}

// The recolouring rule the image loader builds, exactly as it writes it:
// every shape red, the picture as a whole at half alpha, however deep its
// shapes sit and wherever they overlap.
TEST_F(SvgPaintTest, LoaderColourRuleRecoloursAndFadesOnce)
{
    const std::string body = "<g><g fill='#00f'><path d='M2 2 H10 V10 H2 Z'/></g><rect x='6' y='6' width='8' "
                             "height='8' fill='green'/></g>";
    const PixelImage image = Draw(Doc16(body), 32, 32, {"*{fill:#FF0000; opacity: 0.5; }"});
    ASSERT_EQ(32, image.width);
    for (const auto& at : {std::make_pair(3.0f, 3.0f), std::make_pair(8.0f, 8.0f), std::make_pair(12.0f, 12.0f)}) {
        const uint32_t p = At16(image, at.first, at.second);
        EXPECT_NEAR(128, A(p), 1) << at.first;
        EXPECT_NEAR(128, R(p), 1) << at.first;
        EXPECT_EQ(0, G(p)) << at.first;
        EXPECT_EQ(0, B(p)) << at.first;
    }
    EXPECT_EQ(0u, At16(image, 1, 14));

    // The stroke rule gives every shape a pen of that colour.
    const PixelImage stroked =
        Draw(Doc16("<rect x='4' y='4' width='8' height='8' fill='none' stroke='black' stroke-width='2'/>"), 32, 32,
             {"*{stroke:#00FF00; opacity: 1.0; }"});
    EXPECT_EQ(0xFF00FF00u, At16(stroked, 4, 8));
    EXPECT_EQ(0u, At16(stroked, 8, 8));
}

TEST_F(SvgPaintTest, SheetsCascadeAsCssSays)
{
    struct Case {
        const char* name;
        const char* body;
        std::vector<std::string> sheets;
        uint32_t expected;  // at the middle
    };
    const Case cases[] = {
        {"sheet beats attribute", "<rect width='16' height='16' fill='blue'/>", {"rect{fill:red}"}, kRed},
        {"sheet beats style attribute", "<rect width='16' height='16' style='fill:blue'/>", {"rect{fill:red}"}, kRed},
        {"style attribute beats document sheet",
         "<style>rect{fill:red}</style><rect width='16' height='16' style='fill:blue'/>", {}, kBlue},
        {"document sheet beats attribute", "<style>rect{fill:red}</style><rect width='16' height='16' fill='blue'/>",
         {}, kRed},
        {"CDATA sheet", "<style><![CDATA[ rect{fill:red} ]]></style><rect width='16' height='16' fill='blue'/>", {},
         kRed},
        {"applied beats document", "<style>#r{fill:blue}</style><rect id='r' width='16' height='16'/>",
         {"*{fill:red}"}, kRed},
        {"id beats element", "<rect id='r' width='16' height='16'/>", {"#r{fill:red} rect{fill:blue}"}, kRed},
        {"class beats element", "<rect class='c' width='16' height='16'/>", {".c{fill:red} rect{fill:blue}"}, kRed},
        {"element and class beat class", "<rect class='c' width='16' height='16'/>", {"rect.c{fill:red} .c{fill:blue}"},
         kRed},
        {"later rule wins", "<rect width='16' height='16'/>", {"rect{fill:blue} rect{fill:red}"}, kRed},
        {"later sheet wins", "<rect width='16' height='16'/>", {"rect{fill:blue}", "rect{fill:red}"}, kRed},
        {"earlier more specific stays", "<rect class='c' width='16' height='16'/>", {".c{fill:red}", "rect{fill:blue}"},
         kRed},
        {"comma list", "<rect width='16' height='16'/>", {"circle, rect {fill:red}"}, kRed},
        {"class among several", "<rect class=' a  b ' width='16' height='16'/>", {".b{fill:red}"}, kRed},
        {"all classes needed", "<rect class='a b' width='16' height='16' fill='red'/>", {".a.c{fill:blue}"}, kRed},
        {"two classes", "<rect class='a b' width='16' height='16'/>", {".a.b{fill:red}"}, kRed},
        {"other elements untouched", "<rect width='16' height='16' fill='red'/>", {"circle{fill:blue}"}, kRed},
        {"unparsable parts skipped", "<rect width='16' height='16'/>",
         {"rect{fill:red} g > rect{fill:blue} rect:hover{fill:blue} @media print{rect{fill:blue}} rect{fill:nocolor} "
          "/* rect{fill:blue} */ rect[x]{fill:blue} }{ ;"},
         kRed},
        {"one bad selector in a list", "<rect width='16' height='16'/>", {"a b, rect{fill:red}"}, kRed},
        {"no last semicolon", "<rect width='16' height='16'/>", {"rect{fill:blue;fill:red}"}, kRed},
        {"important", "<rect width='16' height='16'/>", {"rect{fill:red !important}"}, kRed},
        {"upper-case property", "<rect width='16' height='16'/>", {"rect{FILL:red}"}, kRed},
        {"inherited from a group", "<g><rect width='16' height='16'/></g>", {"g{fill:red}"}, kRed},
        {"inherit keyword", "<g fill='red'><rect width='16' height='16' fill='blue' style='fill:inherit'/></g>", {},
         kRed},
        {"display none by sheet", "<rect width='16' height='16' fill='red'/>", {"rect{display:none}"}, 0},
        {"currentColor from sheet", "<rect width='16' height='16' fill='currentColor'/>", {"rect{color:red}"}, kRed},
        {"unterminated sheet", "<rect width='16' height='16'/>", {"rect{fill:red"}, kRed},
    };
    for (const Case& c : cases) {
        const PixelImage image = Draw(Doc16(c.body), 16, 16, c.sheets);
        ASSERT_EQ(16, image.width) << c.name;
        EXPECT_EQ(c.expected, image.At(8, 8)) << c.name;
    }
}

TEST_F(SvgPaintTest, OpacityFromSheets)
{
    // A class rule fades its element like an attribute would.
    const PixelImage byClass = Draw(Doc16("<rect class='fade' width='16' height='16' fill='red'/>"), 16, 16,
                                    {".fade{opacity:0.5}"});
    EXPECT_NEAR(128, A(byClass.At(8, 8)), 1);
    // "*" alone fades the picture once, not every nesting level again.
    const PixelImage universal = Draw(Doc16("<g><g><rect width='16' height='16' fill='red'/></g></g>"), 16, 16,
                                      {"*{opacity:0.5}"});
    EXPECT_NEAR(128, A(universal.At(8, 8)), 1);
    // A shape's own opacity still counts inside the faded picture.
    const PixelImage own = Draw(Doc16("<rect width='16' height='16' fill='red' opacity='0.5'/>"), 16, 16,
                                {"*{opacity:0.5}"});
    EXPECT_NEAR(64, A(own.At(8, 8)), 1);
}

} // namespace
