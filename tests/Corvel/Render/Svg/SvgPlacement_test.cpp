// Where things land: transforms, the viewBox fitted into the pixel size
// asked for, and the size a document reports.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/SvgTestSupport.h"

using namespace svgtest;
using testsupport::PixelImage;

namespace {

const uint32_t kRed = 0xFFFF0000u;

struct Sample {
    float x;
    float y;
};

class SvgPlacementTest : public DrawingTest {};

TEST_F(SvgPlacementTest, TransformsMoveShapesWhereTheySay)
{
    struct Case {
        const char* body;
        std::vector<Sample> inside;
        std::vector<Sample> outside;
    };
    const Case cases[] = {
        {"<rect transform='translate(6,6)' width='4' height='4'/>", {{6.5f, 6.5f}, {9.5f, 9.5f}}, {{5.5f, 8}, {10.5f, 8}}},
        {"<rect transform='translate(6)' y='6' width='4' height='4'/>", {{6.5f, 6.5f}, {9.5f, 9.5f}},
         {{5.5f, 8}, {10.5f, 8}}},
        {"<rect transform='scale(2)' x='1' y='1' width='4' height='4'/>", {{2.5f, 2.5f}, {9.5f, 9.5f}},
         {{1.5f, 5}, {10.5f, 5}}},
        {"<rect transform='scale(2,1)' x='1' y='4' width='4' height='4'/>", {{2.5f, 4.5f}, {9.5f, 7.5f}},
         {{10.5f, 6}, {5, 8.5f}}},
        {"<rect transform='rotate(90 8 8)' x='2' y='6' width='4' height='4'/>", {{8, 2.5f}, {8, 5.5f}},
         {{4, 8}, {8, 6.5f}}},
        {"<rect transform='rotate(90)' x='4' y='-8' width='4' height='4'/>", {{4.5f, 4.5f}, {7.5f, 7.5f}},
         {{3.5f, 6}, {8.5f, 6}}},
        {"<rect transform='skewX(45)' y='4' width='4' height='4'/>", {{7.5f, 6.5f}}, {{5.5f, 6.5f}, {11.5f, 6.5f}}},
        {"<rect transform='skewY(45)' x='4' width='4' height='4'/>", {{6.5f, 7.5f}}, {{6.5f, 5.5f}, {6.5f, 11.5f}}},
        {"<rect transform='matrix(2 0 0 2 2 2)' width='4' height='4'/>", {{2.5f, 2.5f}, {9.5f, 9.5f}},
         {{1.5f, 5}, {10.5f, 5}}},
        // A list applies from right to left to the shape.
        {"<rect transform='translate(10,0) scale(2,1)' y='4' width='2' height='4'/>", {{10.5f, 4.5f}, {13.5f, 7.5f}},
         {{9.5f, 6}, {14.5f, 6}}},
        {"<rect transform='translate(10, 0),scale(2 1)' y='4' width='2' height='4'/>", {{10.5f, 4.5f}}, {{9.5f, 6}}},
        {"<g transform='translate(4,0)'><rect transform='translate(0,4)' width='4' height='4'/></g>",
         {{4.5f, 4.5f}, {7.5f, 7.5f}}, {{3.5f, 6}, {6, 3.5f}}},
        // A malformed list counts as no transform.
        {"<rect transform='translate(4,4) bogus(1)' width='4' height='4'/>", {{0.5f, 0.5f}}, {{4.5f, 4.5f}}},
        // The pen is in user units: a scaled line is wider.
        {"<line transform='scale(2)' x1='1' y1='4' x2='7' y2='4' stroke='red'/>", {{8, 7.5f}, {8, 8.5f}},
         {{8, 6.5f}, {8, 9.5f}}},
        {"<line transform='scale(1,3)' x1='2' y1='2' x2='14' y2='2' stroke='red'/>", {{8, 5}, {8, 6.5f}},
         {{8, 3.5f}, {8, 8.5f}}},
    };
    for (const Case& c : cases) {
        for (int size : {16, 48}) {
            // Shapes without a fill of their own are painted red by the group.
            const PixelImage image = Draw(Doc16("<g fill='red'>" + std::string(c.body) + "</g>"), size, size);
            ASSERT_EQ(size, image.width) << c.body;
            for (const Sample& s : c.inside)
                EXPECT_EQ(kRed, At16(image, s.x, s.y)) << c.body << " at " << size << " px, " << s.x << "," << s.y;
            for (const Sample& s : c.outside)
                EXPECT_EQ(0u, At16(image, s.x, s.y)) << c.body << " at " << size << " px, " << s.x << "," << s.y;
        }
    }
}

// A 16-unit red square (or the part of it the case says) drawn into pixel
// sizes of another shape: the first and last red column or row show where
// the viewBox landed.
TEST_F(SvgPlacementTest, ViewBoxIsFittedIntoThePixelSize)
{
    struct Case {
        const char* name;
        const char* svgAttributes;
        const char* body;
        int width;
        int height;
        bool horizontal;  // red columns, else red rows
        int firstRed;
        int lastRed;
    };
    const char* const kFull = "<rect width='16' height='16' fill='red'/>";
    const Case cases[] = {
        {"meet centres across", "viewBox='0 0 16 16'", kFull, 32, 16, true, 8, 23},
        {"meet centres down", "viewBox='0 0 16 16'", kFull, 16, 48, false, 16, 31},
        {"meet scales", "viewBox='0 0 16 16'", kFull, 48, 24, true, 12, 35},
        {"xMinYMin", "viewBox='0 0 16 16' preserveAspectRatio='xMinYMin'", kFull, 32, 16, true, 0, 15},
        {"xMaxYMax meet", "viewBox='0 0 16 16' preserveAspectRatio='xMaxYMax meet'", kFull, 32, 16, true, 16, 31},
        {"none stretches", "viewBox='0 0 16 16' preserveAspectRatio='none'", kFull, 32, 16, true, 0, 31},
        {"slice fills and cuts", "viewBox='0 0 16 16' preserveAspectRatio='xMidYMid slice'",
         "<rect y='8' width='16' height='8' fill='red'/>", 32, 16, false, 8, 15},
        {"origin moved", "viewBox='10 10 16 16'", "<rect x='10' y='10' width='8' height='16' fill='red'/>", 16, 16,
         true, 0, 7},
        {"size without viewBox scales", "width='16' height='16'", "<rect width='8' height='16' fill='red'/>", 32, 32,
         true, 0, 15},
        {"bad aspect keeps the default", "viewBox='0 0 16 16' preserveAspectRatio='sideways'", kFull, 32, 16, true, 8,
         23},
    };
    for (const Case& c : cases) {
        const std::string text = std::string("<svg xmlns='http://www.w3.org/2000/svg' ") + c.svgAttributes + ">" +
                                 c.body + "</svg>";
        const PixelImage image = Draw(text, c.width, c.height);
        ASSERT_EQ(c.width, image.width) << c.name;
        ASSERT_EQ(c.height, image.height) << c.name;
        const int count = c.horizontal ? c.width : c.height;
        int first = -1;
        int last = -1;
        for (int i = 0; i < count; ++i) {
            const uint32_t p = c.horizontal ? image.At(i, c.height / 2) : image.At(c.width / 2, i);
            if (p == kRed) {
                if (first < 0)
                    first = i;
                last = i;
            } else {
                EXPECT_EQ(0u, p) << c.name << " at " << i;
            }
        }
        EXPECT_EQ(c.firstRed, first) << c.name;
        EXPECT_EQ(c.lastRed, last) << c.name;
    }
}

TEST_F(SvgPlacementTest, DocumentReportsItsSize)
{
    struct Case {
        const char* attributes;
        float width;
        float height;
    };
    const Case cases[] = {
        {"width='24' height='16'", 24, 16},
        {"width='24px' height='16px'", 24, 16},
        {"viewBox='0 0 32 20'", 32, 20},
        {"width='48' height='48' viewBox='0 0 24 24'", 48, 48},
        {"width='48' viewBox='0 0 24 12'", 48, 24},
        {"height='48' viewBox='0 0 24 12'", 96, 48},
        {"width='100%' height='50%' viewBox='0 0 24 12'", 24, 12},
        {"width='1in' height='72pt'", 96, 96},
        {"", 0, 0},
        {"width='abc' height='1e400' viewBox='0 0 10 20'", 10, 20},
        {"width='-5' height='8' viewBox='0 0 4 4'", 8, 8},
        {"viewBox='0,0,24,24'", 24, 24},
    };
    for (const Case& c : cases) {
        const std::string text = std::string("<svg ") + c.attributes + "/>";
        std::unique_ptr<ui::svg::Document> document = Load(text);
        ASSERT_NE(nullptr, document) << text;
        EXPECT_FLOAT_EQ(c.width, document->GetWidth()) << text;
        EXPECT_FLOAT_EQ(c.height, document->GetHeight()) << text;
    }
}

} // namespace
