// Shapes and path commands drawn through Direct2D, checked pixel by pixel at
// several sizes. Documents use a 16-unit viewBox; samples are points whose
// whole pixel lies clearly inside or outside the outline at every size, so
// antialiasing never touches them.
#include <gtest/gtest.h>

#include "support/SvgTestSupport.h"

using namespace svgtest;
using testsupport::A;
using testsupport::PixelImage;

namespace {

const uint32_t kRed = 0xFFFF0000u;
const int kSizes[] = {16, 24, 48};

struct Sample {
    float x;
    float y;
};

struct ShapeCase {
    const char* name;
    const char* body;
    std::vector<Sample> inside;   // opaque red
    std::vector<Sample> outside;  // untouched (0)
};

void ExpectSamples(const ShapeCase& c)
{
    for (int size : kSizes) {
        const PixelImage image = Draw(Doc16(c.body), size, size);
        ASSERT_EQ(size, image.width) << c.name;
        for (const Sample& s : c.inside)
            EXPECT_EQ(kRed, At16(image, s.x, s.y)) << c.name << " at " << size << " px, inside " << s.x << "," << s.y;
        for (const Sample& s : c.outside)
            EXPECT_EQ(0u, At16(image, s.x, s.y)) << c.name << " at " << size << " px, outside " << s.x << "," << s.y;
    }
}

class SvgShapesTest : public DrawingTest {};

TEST_F(SvgShapesTest, BasicShapesCoverTheirOutlines)
{
    const ShapeCase cases[] = {
        {"rect", "<rect x='2' y='4' width='10' height='6' fill='red'/>", {{2.5f, 4.5f}, {11.5f, 9.5f}, {7, 7}},
         {{1.5f, 5}, {12.5f, 5}, {7, 3.5f}, {7, 10.5f}}},
        {"rounded rect", "<rect x='2' y='2' width='12' height='12' rx='4' fill='red'/>",
         {{8, 8}, {2.5f, 8}, {8, 2.5f}, {13.5f, 8}}, {{2.5f, 2.5f}, {13.5f, 13.5f}, {2.5f, 13.5f}}},
        {"rounded rect, ry only", "<rect x='2' y='2' width='12' height='12' ry='4' fill='red'/>",
         {{8, 8}, {2.5f, 8}}, {{2.5f, 2.5f}, {13.5f, 2.5f}}},
        {"circle", "<circle cx='8' cy='8' r='5' fill='red'/>", {{8, 8}, {4.5f, 8}, {8, 11.5f}},
         {{3, 3}, {14.5f, 8}, {8, 1.5f}, {13, 13}}},
        {"ellipse", "<ellipse cx='8' cy='8' rx='6' ry='3' fill='red'/>", {{3, 8}, {12.5f, 8}, {8, 6}},
         {{8, 3.5f}, {8, 12.5f}, {0.5f, 8}, {2, 4.5f}}},
        {"line", "<line x1='2' y1='8' x2='14' y2='8' stroke='red' stroke-width='2'/>", {{4, 8.5f}, {4, 7.5f}, {13.5f, 8}},
         {{4, 5.5f}, {4, 10.5f}, {15.5f, 8}, {0.5f, 8}}},
        {"polyline stroke", "<polyline points='2,2 14,2 14,14' fill='none' stroke='red' stroke-width='2'/>",
         {{8, 2.5f}, {13.5f, 8}}, {{8, 8}, {5.5f, 10.5f}}},
        {"polyline fill closes", "<polyline points='2,2 14,2 14,14' fill='red'/>", {{12, 4.5f}}, {{3.5f, 12}}},
        {"polygon", "<polygon points='8,1 15,15 1,15' fill='red'/>", {{8, 10}, {3, 14.2f}}, {{2, 3}, {14, 3}}},
        {"percent lengths", "<rect x='12.5%' y='25%' width='50%' height='50%' fill='red'/>", {{2.5f, 4.5f}, {9.5f, 11.5f}},
         {{1.5f, 8}, {10.5f, 8}, {5, 3.5f}}},
        {"nested svg placed and scaled",
         "<svg x='8' y='8' width='8' height='8' viewBox='0 0 4 4'><rect width='4' height='4' fill='red'/></svg>",
         {{8.5f, 8.5f}, {15.5f, 15.5f}}, {{7.5f, 8.5f}, {4, 4}}},
        {"nested svg clips", "<svg x='4' y='4' width='8' height='8'><circle cx='4' cy='4' r='8' fill='red'/></svg>",
         {{4.5f, 4.5f}, {11.5f, 11.5f}}, {{3.5f, 8}, {12.5f, 8}, {8, 3.5f}}},
    };
    for (const ShapeCase& c : cases)
        ExpectSamples(c);
}

} // namespace
