// Shapes and path commands drawn through Direct2D, checked pixel by pixel at
// several sizes. Documents use a 16-unit viewBox; samples are points whose
// whole pixel lies clearly inside or outside the outline at every size, so
// antialiasing never touches them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

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

// Largest difference of any channel between two images of one size.
int MaxDifference(const PixelImage& a, const PixelImage& b)
{
    if (a.width != b.width || a.height != b.height)
        return 256;
    int worst = 0;
    for (size_t i = 0; i < a.data.size(); ++i)
        for (int shift = 0; shift < 32; shift += 8)
            worst = std::max(worst, std::abs(static_cast<int>((a.data[i] >> shift) & 0xFF) -
                                             static_cast<int>((b.data[i] >> shift) & 0xFF)));
    return worst;
}

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

// Each path is drawn like its long form: absolute lines and cubics only,
// whose own pixels are checked just below.
TEST_F(SvgShapesTest, EveryPathCommandDrawsLikeItsLongForm)
{
    const char* const kSquare = "M2 2 L14 2 L14 14 L2 14 Z";
    const char* const kDome = "M2 14 C2 2 14 2 14 14 Z";
    struct Pair {
        const char* d;
        const char* longForm;
    };
    const Pair pairs[] = {
        {"M2 2 H14 V14 H2 Z", kSquare},
        {"m2 2 h12 v12 h-12 z", kSquare},
        {"M2 2 14 2 14 14 2 14z", kSquare},
        {"m2 2 12 0 0 12 -12 0z", kSquare},
        {"M2,2L14,2,14,14,2,14Z", kSquare},
        {"M2 2 l12 0 0 12 -12 0 z", kSquare},
        {"M 2e0 .2e1 L 1.4e1 2 L14 14 L2 14 Z", kSquare},
        {"m2 14 c0 -12 12 -12 12 0 z", kDome},
        {"M2 8 C2 2 8 2 8 8 S14 14 14 8 Z", "M2 8 C2 2 8 2 8 8 C8 14 14 14 14 8 Z"},
        {"M2 8 C2 2 8 2 8 8 s6 6 6 0 Z", "M2 8 C2 2 8 2 8 8 C8 14 14 14 14 8 Z"},
        {"M2 8 S8 2 14 8 Z", "M2 8 C2 8 8 2 14 8 Z"},
        {"M2 14 Q8 2 14 14 Z", "M2 14 C6 6 10 6 14 14 Z"},
        {"m2 14 q6 -12 12 0 z", "M2 14 C6 6 10 6 14 14 Z"},
        {"M2 8 Q5 2 8 8 T14 8 Z", "M2 8 C4 4 6 4 8 8 C10 12 12 12 14 8 Z"},
        {"M2 8 Q5 2 8 8 t6 0 Z", "M2 8 C4 4 6 4 8 8 C10 12 12 12 14 8 Z"},
        {"M2 8 L8 2 T14 8 Z", "M2 8 L8 2 L14 8 Z"},
        {"M2 8 Q5 2 8 8 S14 14 14 8 Z", "M2 8 C4 4 6 4 8 8 C8 8 14 14 14 8 Z"},
        {"M8 2 A6 3 90 0 1 8 14 Z", "M8 2 A3 6 0 0 1 8 14 Z"},
        {"M4 8 a5 5 0 0 1 8 0 Z", "M4 8 A5 5 0 0 1 12 8 Z"},
        {"M4 8a5 5 0 018 0Z", "M4 8 A5 5 0 0 1 12 8 Z"},
        {"M2 2 h4 v4 h-4 z m8 0 h4 v4 h-4 z", "M2 2 L6 2 L6 6 L2 6 Z M10 2 L14 2 L14 6 L10 6 Z"},
        {"M2 2 H8 V8 Z L14 14 L14 2 Z", "M2 2 L8 2 L8 8 Z M2 2 L14 14 L14 2 Z"},
        // Drawn up to the first error.
        {"M2 2 H14 V14 H2 Z M 5", kSquare},
        {"M2 2 H14 V14 H2 Z X 3 3 L 0 0", kSquare},
        {"M2 2 H14 V14 H2 Z L", kSquare},
        {"M2 2 H14 V14 H2 Z 5 5", kSquare},
        {"M2 2 H14 V14 H2 Z L 1e400 3", kSquare},
        {"L2 2 H14 V14 Z", ""},
    };
    for (int size : kSizes) {
        for (const Pair& p : pairs) {
            const PixelImage drawn = Draw(Doc16("<path fill='red' d='" + std::string(p.d) + "'/>"), size, size);
            const PixelImage expected =
                Draw(Doc16("<path fill='red' d='" + std::string(p.longForm) + "'/>"), size, size);
            ASSERT_EQ(size, drawn.width) << p.d;
            EXPECT_LE(MaxDifference(drawn, expected), 2) << p.d << " at " << size << " px";
            EXPECT_EQ(*p.longForm == 0, AlphaSum(drawn, 0, 0, size, size) == 0) << p.d;
        }
    }
    ExpectSamples({"square", "<path fill='red' d='M2 2 L14 2 L14 14 L2 14 Z'/>", {{2.5f, 2.5f}, {13.5f, 13.5f}},
                   {{1.5f, 8}, {14.5f, 8}, {8, 1.5f}, {8, 14.5f}}});
    // The dome's top is at y = 5 in its middle.
    ExpectSamples({"dome", "<path fill='red' d='M2 14 C2 2 14 2 14 14 Z'/>", {{8, 6.5f}, {3, 13}, {13, 13}},
                   {{8, 3.5f}, {2.5f, 6}, {8, 14.5f}}});
}

// A chord from (4,8) to (12,8) with radius 5: the two centres are 3 above
// and below it, giving a small cap (2 high) and a large part (8 high) on
// either side; the flags choose which.
TEST_F(SvgShapesTest, ArcsFollowTheirFlags)
{
    const ShapeCase cases[] = {
        {"small, sweep", "<path fill='red' d='M4 8 A5 5 0 0 1 12 8 Z'/>", {{8, 7}}, {{8, 5.5f}, {8, 9.5f}}},
        {"small, no sweep", "<path fill='red' d='M4 8 A5 5 0 0 0 12 8 Z'/>", {{8, 8.5f}}, {{8, 10.5f}, {8, 6.5f}}},
        {"large, sweep", "<path fill='red' d='M4 8 A5 5 0 1 1 12 8 Z'/>", {{8, 1.5f}, {4.5f, 4.5f}, {11.5f, 4.5f}},
         {{8, 9.5f}, {1.5f, 4}}},
        {"large, no sweep", "<path fill='red' d='M4 8 A5 5 0 1 0 12 8 Z'/>", {{8, 14}, {4.5f, 11}},
         {{8, 6.5f}, {1.5f, 12}}},
        // Radii too small for the chord grow until they span it.
        {"radius grown", "<path fill='red' d='M4 8 A1 1 0 0 1 12 8 Z'/>", {{8, 5}, {5, 7}}, {{8, 3.5f}, {8, 9.5f}}},
        // A zero radius makes a straight line: nothing to fill.
        {"zero radius", "<path fill='red' d='M4 8 A0 5 0 0 1 12 8 L8 14 Z'/>", {{8, 9}}, {{8, 7.5f}, {8, 5}}},
        {"rotated ellipse", "<path fill='red' d='M2 8 A6 3 30 0 1 14 8 Z'/>", {{8, 7}}, {{8, 9.5f}, {8, 2.5f}}},
    };
    for (const ShapeCase& c : cases)
        ExpectSamples(c);
}

} // namespace
