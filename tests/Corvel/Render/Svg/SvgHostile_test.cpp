// Hostile and broken input: every case ends in no document, no image or a
// sane picture, never a crash or a runaway.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "Corvel/Core/UiGlobals.h"
#include "Corvel/Render/Svg/SvgXml.h"
#include "support/SvgTestSupport.h"

using namespace svgtest;
using testsupport::PixelImage;

namespace {

const uint32_t kRed = 0xFFFF0000u;

enum class Outcome { NoDocument, NoImage, Image };

const char* Name(Outcome o)
{
    switch (o) {
    case Outcome::NoDocument:
        return "no document";
    case Outcome::NoImage:
        return "no image";
    default:
        return "image";
    }
}

// Loads and draws; the picture when there is one.
Outcome Try(const std::string& text, int width, int height, PixelImage* picture = nullptr)
{
    std::unique_ptr<ui::svg::Document> document = Load(text);
    if (!document)
        return Outcome::NoDocument;
    ui::svg::Bitmap bitmap;
    if (!document->RenderToBitmap(width, height, 0, bitmap)) {
        EXPECT_TRUE(bitmap.pixels.empty());
        return Outcome::NoImage;
    }
    EXPECT_EQ(static_cast<size_t>(width) * static_cast<size_t>(height) * 4, bitmap.pixels.size());
    if (picture)
        *picture = ToPixels(bitmap);
    return Outcome::Image;
}

std::string Repeat(const std::string& piece, int times)
{
    std::string s;
    s.reserve(piece.size() * static_cast<size_t>(times));
    for (int i = 0; i < times; ++i)
        s += piece;
    return s;
}

std::string Nested(int depth, const std::string& inner)
{
    return Doc16(Repeat("<g>", depth) + inner + Repeat("</g>", depth));
}

class SvgHostileTest : public DrawingTest {};

TEST_F(SvgHostileTest, BrokenInputEndsCleanly)
{
    const std::string redSquare = "<rect x='4' y='4' width='8' height='8' fill='red'/>";
    struct Case {
        const char* name;
        std::string text;
        int width;
        int height;
        Outcome expected;
        bool redMiddle;  // for an image: is (8,8) red
    };
    const Case cases[] = {
        {"empty", "", 16, 16, Outcome::NoDocument, false},
        {"not XML", "hello, world", 16, 16, Outcome::NoDocument, false},
        {"binary", std::string("\x00\x01\x02\xFF\xFE<\x00>", 8), 16, 16, Outcome::NoDocument, false},
        {"not SVG", "<html><body/></html>", 16, 16, Outcome::NoDocument, false},
        {"unclosed root", "<svg viewBox='0 0 16 16'>" + redSquare, 16, 16, Outcome::NoDocument, false},
        {"deep nesting", Nested(100000, redSquare), 16, 16, Outcome::NoDocument, false},
        {"nesting within the limit", Nested(ui::svg::XmlLimits::kMaxDepth - 2, redSquare), 16, 16, Outcome::Image, true},
        {"deep opacity groups", Doc16(Repeat("<g opacity='0.99'>", 200) + redSquare + Repeat("</g>", 200)), 16, 16,
         Outcome::Image, false},
        {"deep nested viewports", Doc16(Repeat("<svg>", 200) + redSquare + Repeat("</svg>", 200)), 16, 16,
         Outcome::Image, true},
        {"too many elements", Doc16(Repeat("<g/>", 100001)), 16, 16, Outcome::NoDocument, false},
        {"huge numbers", Doc16("<rect width='1e308' height='1e308' fill='red'/><path d='M0 0 L1e308 1e308 L0 16 Z'/>"
                               "<circle r='1e308'/><rect transform='scale(1e308)' width='1' height='1'/>"),
         16, 16, Outcome::Image, false},
        {"large but finite numbers", Doc16("<rect width='1e9' height='1e9' fill='red'/>"
                                           "<circle r='5' transform='scale(1e9) scale(1e9)' fill='red'/>"
                                           "<line x2='16' y2='16' stroke='red' stroke-width='1e9'/>"
                                           "<path d='M0 1 A1e9 1e9 0 0 1 16 1 M0 1 A1e9 1e9 0 1 1 16 1' stroke='red'/>"),
         16, 16, Outcome::Image, false},
        {"NaN text", Doc16("<rect width='NaN' height='nan' fill='red'/><path d='M NaN 0 L 5 5'/>"
                           "<rect transform='scale(NaN)' width='16' height='16'/><rect x='inf' width='16' height='16'/>"),
         16, 16, Outcome::Image, false},
        {"collapsed transform", Doc16("<rect transform='scale(0)' width='16' height='16' fill='red'/>"
                                      "<rect transform='matrix(1 1 1 1 0 0)' width='16' height='16' fill='red'/>"),
         16, 16, Outcome::Image, false},
        {"broken path data", Doc16("<path fill='red' d='M4 4 H12 V12 H4 Z L L 1 2 3 #'/><path d='#'/><path d=''/>"),
         16, 16, Outcome::Image, true},
        {"zero width", "<svg width='0' height='16'>" + redSquare + "</svg>", 16, 16, Outcome::NoImage, false},
        {"empty viewBox", "<svg viewBox='0 0 0 16'>" + redSquare + "</svg>", 16, 16, Outcome::NoImage, false},
        {"no size at all", "<svg>" + redSquare + "</svg>", 16, 16, Outcome::NoImage, false},
        {"zero pixels", Doc16(redSquare), 0, 16, Outcome::NoImage, false},
        {"negative pixels", Doc16(redSquare), 16, -5, Outcome::NoImage, false},
        {"20000 px wide", Doc16(redSquare), 20000, 16, Outcome::NoImage, false},
        {"20000 px high", Doc16(redSquare), 16, 20000, Outcome::NoImage, false},
        {"one past the largest", Doc16(redSquare), ui::svg::kMaxRenderSize + 1, 1, Outcome::NoImage, false},
        {"the largest", Doc16(redSquare), ui::svg::kMaxRenderSize, 1, Outcome::Image, false},
        {"enormous attribute count", Doc16("<rect " + [] {
             std::string a;
             for (int i = 0; i < 200000; ++i)
                 a += "a" + std::to_string(i) + "='1' ";
             return a;
         }() + "x='4' y='4' width='8' height='8' fill='red'/>"),
         16, 16, Outcome::Image, true},
        {"entity declarations not expanded",
         "<!DOCTYPE svg [<!ENTITY a 'aaaaaaaaaa'><!ENTITY b '&a;&a;&a;&a;'>]><svg viewBox='0 0 16 16'>&b;&b;" +
             redSquare + "</svg>",
         16, 16, Outcome::Image, true},
        {"long path", Doc16("<path fill='none' stroke='red' d='M0 0" + Repeat(" l0.0001 0.0001 c1 1 1 -1 0 0", 100000) +
                            "'/>" + redSquare),
         16, 16, Outcome::Image, true},
        {"hostile sheet", Doc16("<style>" + Repeat(".a{fill:blue} ", 10000) + "</style>" + redSquare), 16, 16,
         Outcome::Image, true},
    };
    for (const Case& c : cases) {
        PixelImage picture;
        const Outcome got = Try(c.text, c.width, c.height, &picture);
        EXPECT_EQ(c.expected, got) << c.name << ": " << Name(got);
        if (got == Outcome::Image && c.width == 16 && c.height == 16) {
            EXPECT_EQ(c.redMiddle, picture.At(8, 8) == kRed) << c.name;
        }
    }
}

// Every cut of a document short of its end tag is no document; the whole
// one draws.
TEST_F(SvgHostileTest, TruncatedDocumentsAreRefused)
{
    const std::string text =
        "<?xml version='1.0'?><!-- icon --><svg xmlns='http://www.w3.org/2000/svg' width='16' height='16'>"
        "<style>.a{fill:red}</style><g transform='translate(1 1)'><path class='a' d='M3 3 h8 v8 h-8 z'/>"
        "<circle cx='7' cy='7' r='2' fill='blue' stroke='#0f0'/></g></svg>";
    for (size_t cut = 0; cut < text.size(); ++cut)
        EXPECT_EQ(Outcome::NoDocument, Try(text.substr(0, cut), 16, 16)) << cut;
    PixelImage picture;
    ASSERT_EQ(Outcome::Image, Try(text, 16, 16, &picture));
    EXPECT_EQ(kRed, picture.At(5, 5));
}

// The bytes need no terminator: what lies past the size is never read.
TEST_F(SvgHostileTest, ReadsOnlyTheBytesGiven)
{
    const std::string doc = Doc16("<rect width='16' height='16' fill='red'/>");
    const std::string withTail = doc + "<g>unclosed";
    std::unique_ptr<ui::svg::Document> document = ui::svg::Document::LoadFromData(withTail.data(), doc.size());
    ASSERT_NE(nullptr, document);
    EXPECT_EQ(nullptr, ui::svg::Document::LoadFromData(nullptr, 10));
    EXPECT_EQ(nullptr, ui::svg::Document::LoadFromData(withTail.data(), withTail.size()));
}

// A document is parsed once and drawn again at other sizes and after more
// sheets, each drawing from the same tree.
TEST_F(SvgHostileTest, DrawsAgainAtOtherSizes)
{
    std::unique_ptr<ui::svg::Document> document = Load(Doc16("<rect x='4' y='4' width='8' height='8'/>"));
    ASSERT_NE(nullptr, document);
    for (int size : {16, 32, 24, 16}) {
        ui::svg::Bitmap bitmap;
        ASSERT_TRUE(document->RenderToBitmap(size, size, 0, bitmap));
        EXPECT_EQ(0xFF000000u, At16(ToPixels(bitmap), 8, 8)) << size;
    }
    document->ApplyStyleSheet("rect{fill:red}");
    ui::svg::Bitmap bitmap;
    ASSERT_TRUE(document->RenderToBitmap(16, 16, 0xFF0000FFu, bitmap));
    const PixelImage picture = ToPixels(bitmap);
    EXPECT_EQ(kRed, picture.At(8, 8));
    EXPECT_EQ(0xFF0000FFu, picture.At(1, 1));  // the background asked for
}

// Before the UI library starts (or on a thread of its own) the layer makes
// its own factories; COM is the caller's.
TEST(SvgWithoutLibraryTest, DrawsWithFactoriesOfItsOwn)
{
    ASSERT_FALSE(ui::UiGlobals().started);
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    {
        std::unique_ptr<ui::svg::Document> document = Load(Doc16("<rect width='16' height='16' fill='red'/>"));
        ASSERT_NE(nullptr, document);
        ui::svg::Bitmap bitmap;
        ASSERT_TRUE(document->RenderToBitmap(8, 8, 0, bitmap));
        EXPECT_EQ(kRed, ToPixels(bitmap).At(4, 4));
    }
    CoUninitialize();
}

} // namespace
