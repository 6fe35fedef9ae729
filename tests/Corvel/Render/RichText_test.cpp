// Rich text on a real window's render target, read back pixel by pixel:
// the tag parser, styles and colours, links and their rectangles, inline
// images, line breaks, per-line alignment, measuring against drawing, the
// halo, and tag soup.
#include "Corvel/Render/RichText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <functional>
#include <memory>
#include <string>

#include "Corvel/Core/WindowCore.h"
#include "Corvel/Core/support/TestWindow.h"
#include "Corvel/Render/FontManager.h"
#include "Corvel/Render/RenderTarget.h"
#include "Corvel/Render/UiImage.h"
#include "support/ImageFiles.h"
#include "support/Pixels.h"
#include "support/Text.h"

namespace {

using testsupport::A;
using testsupport::B;
using testsupport::G;
using testsupport::Narrow;
using testsupport::PixelImage;
using testsupport::R;
using ui::RECTF;
using ui::RichTag;
using ui::RichTagKind;

constexpr int kWidth = 320;
constexpr int kHeight = 160;
constexpr int kTextSize = 16;
constexpr uint32_t kBlack = 0xFF000000u;
// Premultiplied alpha from which a pixel counts as ink.
constexpr int kInkAlpha = 96;

using testsupport::Ink;

using PixelTest = std::function<bool(uint32_t)>;
bool IsInk(uint32_t p) { return A(p) >= kInkAlpha; }
bool IsRedInk(uint32_t p) { return IsInk(p) && R(p) > 2 * G(p) + 40 && R(p) > 2 * B(p) + 40; }
bool IsBlueInk(uint32_t p) { return IsInk(p) && B(p) > 2 * R(p) + 40 && B(p) > 2 * G(p) + 40; }
bool IsDarkInk(uint32_t p) { return IsInk(p) && R(p) < 80 && G(p) < 80 && B(p) < 80; }

Ink InkOf(const PixelImage& img, const PixelTest& match = IsInk, int top = 0, int bottom = INT_MAX, int left = 0,
          int right = INT_MAX)
{
    return testsupport::FindInk(img, match, top, bottom, left, right);
}

using testsupport::PixelsWithAlpha;

// A window core on a shown window, its fonts (DejaVu Sans at kTextSize is
// font 0, the default) and images, drawing into its own render target over
// a transparent surface.
class RichTextTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = std::make_unique<testsupport::TestWindow>(96);
        ASSERT_NE(nullptr, window->CreatePopup(kWidth, kHeight));
        ShowWindow(window->GetHWND(), SW_SHOWNOACTIVATE);
        testsupport::PumpFor(50);
        ASSERT_NE(nullptr, core().GetRenderTarget());
        const ui::tagTFontInfo* sans = core().AddFont(1.0f, L"DejaVu Sans", kTextSize, false, false, false, false);
        ASSERT_NE(nullptr, sans);
        ASSERT_EQ(sans, core().GetDefaultFont());
    }
    void TearDown() override { window.reset(); }

    ui::WindowCore& core() { return window->core; }

    PixelImage Draw(const RECTF& rect, const wchar_t* text, UINT format = 0, uint32_t argb = kBlack,
                    uint32_t blur = 0, int* linkCount = nullptr)
    {
        ui::RenderTarget& rt = *core().GetRenderTarget();
        rt.BeginDraw({RECTF(0, 0, kWidth, kHeight)});
        rt.DrawHtmlText(&core(), rect, text, argb, linkCount, format, blur);
        rt.EndDraw(false, nullptr);
        return testsupport::ReadTargetPixels(rt);
    }

    RECT Measure(const RECT& rect, const wchar_t* text, UINT format = 0,
                 const ui::RichTextLinks& links = ui::RichTextLinks())
    {
        return ui::MeasureHtmlText(&core(), rect, text, format, links);
    }

    // Height of one line of the default font.
    int LineHeight()
    {
        const RECT r = Measure(RECT{0, 0, kWidth, kHeight}, L"X");
        return r.bottom - r.top;
    }

    void AddImage(const wchar_t* key, const testsupport::ArgbImage& image)
    {
        const std::string png = testsupport::EncodeWithWic(image, GUID_ContainerFormatPng);
        ASSERT_FALSE(png.empty());
        ASSERT_NE(nullptr, core().AddImageFromMemory(ui::CUiImage(key), png.data(), png.size(), false));
    }

    testsupport::UiLibraryScope lib;
    std::unique_ptr<testsupport::TestWindow> window;
};

// ---------------------------------------------------------------- parser

TEST(RichTagParser, RecognisesTagsClosingTagsAndEscapesAndLeavesTheRestAsText)
{
    struct {
        const wchar_t* text;
        RichTagKind kind;
        wchar_t letter;
        const wchar_t* argument;
        wchar_t character;
        size_t length;
    } cases[] = {
        {L"<b>x", RichTagKind::Open, L'b', L"", 0, 3},
        {L"{b}x", RichTagKind::Open, L'b', L"", 0, 3},
        {L"<b}x", RichTagKind::Open, L'b', L"", 0, 3},
        {L"<c #FF0000>x", RichTagKind::Open, L'c', L"#FF0000", 0, 11},
        {L"{a https://example.test/?q=1}", RichTagKind::Open, L'a', L"https://example.test/?q=1", 0, 29},
        {L"<f DejaVu Sans 12 bold>", RichTagKind::Open, L'f', L"DejaVu Sans 12 bold", 0, 23},
        {L"</b>", RichTagKind::Close, L'b', L"", 0, 4},
        {L"{/c>", RichTagKind::Close, L'c', L"", 0, 4},
        {L"<{>", RichTagKind::Escape, 0, L"", L'{', 3},
        {L"<}>", RichTagKind::Escape, 0, L"", L'}', 3},
        {L"{<}", RichTagKind::Escape, 0, L"", L'<', 3},
        {L"{>}", RichTagKind::Escape, 0, L"", L'>', 3},
        // Not tags: drawn as text.
        {L"<z>", RichTagKind::Text, 0, L"", 0, 0},
        {L"<B>", RichTagKind::Text, 0, L"", 0, 0},
        {L"<bx>", RichTagKind::Text, 0, L"", 0, 0},
        {L"</z>", RichTagKind::Text, 0, L"", 0, 0},
        {L"</b", RichTagKind::Text, 0, L"", 0, 0},
        {L"<c #FF0000 unterminated", RichTagKind::Text, 0, L"", 0, 0},
        {L"<", RichTagKind::Text, 0, L"", 0, 0},
        {L"{", RichTagKind::Text, 0, L"", 0, 0},
        {L"x<b>", RichTagKind::Text, 0, L"", 0, 0},
        {L"", RichTagKind::Text, 0, L"", 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.text));
        const RichTag tag = ui::ParseRichTag(c.text);
        EXPECT_EQ(c.kind, tag.kind);
        EXPECT_EQ(c.letter, tag.letter);
        EXPECT_EQ(std::wstring(c.argument), tag.argument);
        EXPECT_EQ(c.character, tag.character);
        EXPECT_EQ(c.length, tag.length);
    }
    EXPECT_EQ(RichTagKind::Text, ui::ParseRichTag(nullptr).kind);
}

// ---------------------------------------------------------------- styles

TEST_F(RichTextTest, StyleAndColourTagsChangeThePixelsOfTheirWordOnly)
{
    const RECTF rect(10, 10, 310, 60);
    const PixelImage plain = Draw(rect, L"Wide Wide");
    const Ink plainInk = InkOf(plain);
    ASSERT_GT(plainInk.pixels, 0);
    const int split = static_cast<int>(plainInk.CentreX());
    const Ink plainFirst = InkOf(plain, IsInk, 0, INT_MAX, 0, split);

    enum class Expect { MoreInk, Slanted, LowerInk, Red, Blue, Background };
    struct {
        const wchar_t* text;
        Expect expect;
    } cases[] = {
        {L"<b>Wide</b> Wide", Expect::MoreInk},
        {L"{b}Wide{/b} Wide", Expect::MoreInk},
        {L"<d>Wide</d> Wide", Expect::MoreInk},
        {L"<i>Wide</i> Wide", Expect::Slanted},
        {L"<u>Wide</u> Wide", Expect::LowerInk},
        {L"<c #FF0000>Wide</c> Wide", Expect::Red},
        // Alpha 0 and 255 are both drawn (as 0xFE), so both show red.
        {L"<c FF0000>Wide</c> Wide", Expect::Red},
        {L"<c #FFFF0000>Wide</c> Wide", Expect::Red},
        {L"<a target>Wide</a> Wide", Expect::Blue},
        {L"<s>Wide</s> Wide", Expect::Background},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.text));
        const PixelImage img = Draw(rect, c.text);
        const Ink first = InkOf(img, IsInk, 0, INT_MAX, 0, split);
        SCOPED_TRACE(first.Describe() + " against " + plainFirst.Describe());
        ASSERT_GT(first.pixels, 0);
        switch (c.expect) {
        case Expect::MoreInk: EXPECT_GT(first.pixels, plainFirst.pixels * 11 / 10); break;
        case Expect::Slanted: EXPECT_NE(plain.data, img.data); break;
        case Expect::LowerInk: EXPECT_GT(first.bottom, plainFirst.bottom); break;
        case Expect::Red: EXPECT_GT(InkOf(img, IsRedInk, 0, INT_MAX, 0, split).pixels, first.pixels / 2); break;
        case Expect::Background: {
            // The selection is filled with the core's text background colour.
            const uint32_t bk = core().GetTextBkColor() & 0xFFFFFFu;
            const Ink fill = InkOf(img, [bk](uint32_t p) { return (p & 0xFFFFFFu) == bk; });
            EXPECT_GT(fill.pixels, plainFirst.pixels);
            EXPECT_LE(fill.right, split + 1);
            break;
        }
        case Expect::Blue:
            EXPECT_GT(InkOf(img, IsBlueInk, 0, INT_MAX, 0, split).pixels, first.pixels / 2);
            EXPECT_GT(first.bottom, plainFirst.bottom);  // links are underlined
            break;
        }
        // The second word keeps the call's colour and font.
        const Ink second = InkOf(img, IsDarkInk, 0, INT_MAX, first.right + 1);
        const Ink plainSecond = InkOf(plain, IsDarkInk, 0, INT_MAX, plainFirst.right + 1);
        EXPECT_NEAR(plainSecond.pixels, second.pixels, plainSecond.pixels / 10 + 2);
        EXPECT_EQ(0, InkOf(img, IsRedInk, 0, INT_MAX, first.right + 1).pixels);
        EXPECT_EQ(0, InkOf(img, IsBlueInk, 0, INT_MAX, first.right + 1).pixels);
    }
}

TEST_F(RichTextTest, EveryClosingTagPopsWhatItsOwnOpeningTagPushed)
{
    const RECTF rect(10, 10, 310, 60);
    struct {
        const wchar_t* marked;
        const wchar_t* same;
    } cases[] = {
        // The inner tag changes nothing, and its closing tag leaves the
        // outer bold in place.
        {L"<b>Wide <b>and</b> bold</b>", L"<b>Wide and bold</b>"},
        {L"<i>Wide <i>and</i> slanted</i>", L"<i>Wide and slanted</i>"},
        {L"<c #FF0000>Red <c #0000FF>blue</c> red</c>", L"<c #FF0000>Red </c><c #0000FF>blue</c><c #FF0000> red</c>"},
        {L"<b>{b}Mixed</b} brackets{/b}", L"<b>Mixed brackets</b>"},
        // Closing tags with nothing open are ignored.
        {L"</b></i></c></p></a></f>Plain", L"Plain"},
        {L"<b>Bold</b></b> plain", L"<b>Bold</b> plain"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.marked));
        const PixelImage marked = Draw(rect, c.marked);
        ASSERT_GT(InkOf(marked).pixels, 0);
        EXPECT_TRUE(marked.data == Draw(rect, c.same).data);
    }
}

TEST_F(RichTextTest, ChineseAndLatinTextDrawsInTheDefaultFaceFallback)
{
    // A core without fonts of its own falls back to the default face, which
    // an installation may lack: an installed family stands in.
    testsupport::TestWindow bare(96);
    ASSERT_NE(nullptr, bare.CreatePopup(80, 40));
    ui::RenderTarget& rt = *core().GetRenderTarget();
    const RECTF rect(10, 10, 310, 60);
    const wchar_t* text = L"\x4E2D\x6587 Latin \x6DF7\x5408";
    rt.BeginDraw({RECTF(0, 0, kWidth, kHeight)});
    rt.DrawHtmlText(&bare.core, rect, text, kBlack, nullptr, 0, 0);
    rt.EndDraw(false, nullptr);
    const Ink ink = InkOf(testsupport::ReadTargetPixels(rt));
    SCOPED_TRACE(ink.Describe());
    ASSERT_GT(ink.pixels, 100);
    const RECT extent = ui::MeasureHtmlText(&bare.core, RECT{10, 10, 310, 60}, text, 0);
    EXPECT_NEAR(extent.right, ink.right, 4);
    EXPECT_GE(ink.left, 10);
}

// ---------------------------------------------------------------- links

TEST_F(RichTextTest, LinkRectanglesHitTheLinkAndMatchItsInk)
{
    const RECT box{10, 10, 310, 150};
    const wchar_t* text = L"Go <a https://example.test/>here</a> now";
    RECT rects[2] = {};
    ui::CUiString names[2];
    int count = 2;
    ui::RichTextLinks links{rects, names, &count};
    Measure(box, text, 0, links);
    ASSERT_EQ(1, count);
    EXPECT_STREQ(L"https://example.test/", names[0].GetData());

    const PixelImage img = Draw(RECTF(10, 10, 310, 150), text);
    const Ink blue = InkOf(img, IsBlueInk);
    SCOPED_TRACE(blue.Describe());
    ASSERT_GT(blue.pixels, 0);
    EXPECT_NEAR(rects[0].left, blue.left, 2);
    EXPECT_NEAR(rects[0].right, blue.right, 3);
    EXPECT_LE(rects[0].top, blue.top);
    EXPECT_GE(rects[0].bottom + 1, blue.bottom);

    const POINT inside{(rects[0].left + rects[0].right) / 2, (rects[0].top + rects[0].bottom) / 2};
    EXPECT_EQ(0, ui::HitTestHtmlLinks(rects, count, inside));
    EXPECT_EQ(-1, ui::HitTestHtmlLinks(rects, count, POINT{box.left + 2, inside.y}));
    EXPECT_EQ(-1, ui::HitTestHtmlLinks(nullptr, count, inside));
}

TEST_F(RichTextTest, LinkOutputsAreWrittenOnlyWhereTheCallerGaveRoom)
{
    const RECT box{10, 10, 310, 150};
    const RECT sentinel{-7, -7, -7, -7};
    struct {
        const char* name;
        const wchar_t* text;
        bool rects;
        bool names;
        int capacity;
        int expectedCount;
    } cases[] = {
        {"count only", L"<a one>1</a> <a two>2</a>", false, false, 4, 2},
        {"rectangles only", L"<a one>1</a> <a two>2</a>", true, false, 4, 2},
        {"names only", L"<a one>1</a> <a two>2</a>", false, true, 4, 2},
        {"room for one of two", L"<a one>1</a> <a two>2</a>", true, true, 1, 1},
        {"no room", L"<a one>1</a>", true, true, 0, 0},
        {"a link across a line break is one rectangle per line", L"<a both>one<n>two</a>", true, true, 4, 2},
        {"an unclosed link ends with the text", L"x <a open>rest", true, true, 4, 1},
        {"a closing tag without a link records nothing", L"</a>x</a>", true, true, 4, 0},
        {"empty text", L"", true, true, 4, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RECT rects[4] = {sentinel, sentinel, sentinel, sentinel};
        ui::CUiString names[4] = {L"untouched", L"untouched", L"untouched", L"untouched"};
        int count = c.capacity;
        ui::RichTextLinks links{c.rects ? rects : nullptr, c.names ? names : nullptr, &count};
        Measure(box, c.text, 0, links);
        EXPECT_EQ(c.expectedCount, count);
        for (int i = 0; i < 4; ++i) {
            const bool written = i < c.expectedCount;
            EXPECT_EQ(written && c.rects, !EqualRect(&rects[i], &sentinel)) << i;
            EXPECT_EQ(written && c.names, std::wstring(names[i].GetData()) != L"untouched") << i;
        }
    }
    // A count of null records nothing and touches neither array.
    RECT rect = sentinel;
    ui::CUiString name = L"untouched";
    Measure(box, L"<a one>1</a>", 0, ui::RichTextLinks{&rect, &name, nullptr});
    EXPECT_TRUE(EqualRect(&rect, &sentinel));
    EXPECT_STREQ(L"untouched", name.GetData());
}

TEST_F(RichTextTest, ALinkCutByALineBreakGetsOneRectanglePerLineUnderOneName)
{
    RECT rects[2] = {};
    ui::CUiString names[2];
    int count = 2;
    Measure(RECT{10, 10, 310, 150}, L"<a both>one<n>two</a>", 0, ui::RichTextLinks{rects, names, &count});
    ASSERT_EQ(2, count);
    EXPECT_STREQ(L"both", names[0].GetData());
    EXPECT_STREQ(L"both", names[1].GetData());
    EXPECT_EQ(10, rects[1].left);
    EXPECT_EQ(rects[0].bottom, rects[1].top);
    EXPECT_GT(rects[1].bottom, rects[1].top);
}

TEST_F(RichTextTest, ALinkUnderTheMouseTakesTheHotColour)
{
    core().SetDefaultColors(0xFF808080u, kBlack, 0xFF0000FFu, 0xFFFF0000u, 0xFFFFFFFFu);
    // The previous layout's rectangle holds the last mouse position.
    const POINT mouse = core().GetLastMousePoint();
    RECT rects[2] = {{mouse.x - 1, mouse.y - 1, mouse.x + 2, mouse.y + 2}, {}};
    ui::CUiString names[2] = {L"hot", L""};
    int count = 2;
    RECT box{10, 10, 310, 60};
    ui::RenderTarget& target = *core().GetRenderTarget();
    target.BeginDraw({RECTF(0, 0, kWidth, kHeight)});
    HDC hdc = target.BeginGdiClip();
    ASSERT_NE(nullptr, hdc);
    ui::RichTextCanvas canvas;
    canvas.dc = hdc;
    ui::DrawHtmlTextLayout(&core(), box, L"<a hot>Wide</a> <a cold>Wide</a>", kBlack,
                           ui::RichTextLinks{rects, names, &count}, 0, canvas);
    target.EndGdiClip(hdc);
    target.EndDraw(false, nullptr);
    const PixelImage img = testsupport::ReadTargetPixels(target);
    ASSERT_EQ(2, count);
    EXPECT_GT(InkOf(img, IsRedInk, 0, INT_MAX, rects[0].left, rects[0].right).pixels, 20);
    EXPECT_EQ(0, InkOf(img, IsBlueInk, 0, INT_MAX, rects[0].left, rects[0].right).pixels);
    EXPECT_GT(InkOf(img, IsBlueInk, 0, INT_MAX, rects[1].left, rects[1].right).pixels, 20);
}

// ---------------------------------------------------------------- images

TEST_F(RichTextTest, InlineImageShowsTheChosenFrameInTheLine)
{
    constexpr uint32_t kFrameColours[4] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFF00u};
    constexpr int kFrameWidth = 10, kFrameHeight = 12;
    testsupport::ArgbImage strip(kFrameWidth * 4, kFrameHeight, 0);
    for (int f = 0; f < 4; ++f)
        strip.Fill(f * kFrameWidth, 0, (f + 1) * kFrameWidth, kFrameHeight, kFrameColours[f]);
    AddImage(L"strip.png", strip);

    struct {
        const wchar_t* text;
        int frame;
        int width;  // of the whole image drawn
    } cases[] = {
        {L"AB<i strip.png 4 2>CD", 2, kFrameWidth},
        {L"AB<i strip.png 4 7>CD", 0, kFrameWidth},
        {L"AB<i strip.png 4 -1>CD", 0, kFrameWidth},
        {L"AB<i strip.png 4>CD", 0, kFrameWidth},
        {L"AB{i strip.png 4 3}CD", 3, kFrameWidth},
        // A descriptor shows the whole strip, as one frame.
        {L"AB<i file='strip.png'>CD", 0, kFrameWidth * 4},
    };
    const RECTF rect(10, 10, 310, 60);
    const Ink textOnly = InkOf(Draw(rect, L"ABCD"));
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.text));
        const PixelImage img = Draw(rect, c.text);
        const uint32_t want = kFrameColours[c.frame] & 0xFFFFFFu;
        const Ink frameInk = InkOf(img, [want](uint32_t p) { return A(p) == 255 && (p & 0xFFFFFFu) == want; });
        SCOPED_TRACE(frameInk.Describe());
        ASSERT_GT(frameInk.pixels, 0);
        EXPECT_NEAR(kFrameWidth, frameInk.right - frameInk.left, 1);
        EXPECT_NEAR(kFrameHeight, frameInk.bottom - frameInk.top, 1);
        // In the line, between "AB" and "CD", which it pushes right.
        EXPECT_GT(frameInk.left, 10);
        EXPECT_LT(frameInk.top, textOnly.bottom);
        EXPECT_GT(frameInk.bottom, textOnly.top);
        const Ink after = InkOf(img, IsDarkInk, 0, INT_MAX, frameInk.right);
        EXPECT_GT(after.pixels, 0);
        EXPECT_NEAR(textOnly.right + c.width, InkOf(img).right, 2);
        for (int other = 0; other < 4; ++other) {
            if (kFrameColours[other] == kFrameColours[c.frame] || c.width != kFrameWidth)
                continue;
            const uint32_t colour = kFrameColours[other] & 0xFFFFFFu;
            EXPECT_EQ(0, InkOf(img, [colour](uint32_t p) { return A(p) == 255 && (p & 0xFFFFFFu) == colour; }).pixels)
                << "frame " << other;
        }
    }
}

TEST_F(RichTextTest, AnImageThatDoesNotFitStartsTheNextLine)
{
    testsupport::ArgbImage block(40, 12, 0xFF00FF00u);
    AddImage(L"block.png", block);
    const PixelImage img = Draw(RECTF(10, 10, 80, 150), L"Wide<i block.png>");
    const Ink green = InkOf(img, [](uint32_t p) { return A(p) == 255 && (p & 0xFFFFFFu) == 0x00FF00u; });
    const Ink text = InkOf(img, IsDarkInk);
    ASSERT_GT(green.pixels, 0);
    EXPECT_EQ(10, green.left);
    EXPECT_GE(green.top, text.bottom - 2);
}

// ---------------------------------------------------------------- lines

TEST_F(RichTextTest, ForcedLineBreaksStartNewLines)
{
    const int line = LineHeight();
    ASSERT_GT(line, kTextSize / 2);
    const RECTF rect(10, 10, 310, 150);
    struct {
        const wchar_t* text;
        UINT format;
        int lines;
    } cases[] = {
        {L"Top<n>Bottom", 0, 2},
        {L"Top{n}Bottom", 0, 2},
        {L"Top\nBottom", 0, 2},
        {L"Top\r\nBottom", 0, 2},
        {L"One<n>Two<n>Three", 0, 3},
        {L"Top<n>Bottom", DT_SINGLELINE, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.text));
        const PixelImage img = Draw(rect, c.text, c.format);
        const Ink all = InkOf(img);
        ASSERT_GT(all.pixels, 0);
        // Every line starts at the left edge, one line height apart.
        int lines = 0;
        for (int top = 10; top < 150; top += line) {
            const Ink band = InkOf(img, IsInk, top, top + line);
            if (band.pixels == 0)
                continue;
            ++lines;
            EXPECT_LE(band.left, 12) << "line at " << top;
        }
        EXPECT_EQ(c.lines, lines);
        const RECT extent = Measure(RECT{10, 10, 310, 150}, c.text, c.format);
        EXPECT_GE(extent.bottom - extent.top, c.lines * line);
    }
}

TEST_F(RichTextTest, CentredAndRightAlignedLinesAreEachPlacedByTheirOwnWidth)
{
    const int line = LineHeight();
    const RECT box{10, 10, 310, 150};
    const RECTF rect(10, 10, 310, 150);
    const float centre = (rect.left + rect.right) / 2.0f;
    struct {
        const wchar_t* lines[2];  // the second may be null
        UINT format;
    } cases[] = {
        {{L"A much wider first line", L"ab"}, DT_CENTER},
        {{L"A much wider first line", L"ab"}, DT_RIGHT},
        // Several runs on one line sit side by side, the line as a whole
        // placed by its width.
        {{L"<b>Bold</b> and <c #FF0000>red</c> runs", L"x <u>y</u> z"}, DT_CENTER},
        {{L"<b>Bold</b> and <c #FF0000>red</c> runs", L"x <u>y</u> z"}, DT_RIGHT},
        {{L"Single line with runs <b>bold</b>", nullptr}, DT_CENTER | DT_SINGLELINE},
        {{L"Single line with runs <b>bold</b>", nullptr}, DT_RIGHT | DT_SINGLELINE},
    };
    for (const auto& c : cases) {
        std::wstring text = c.lines[0];
        if (c.lines[1])
            text += std::wstring(L"<n>") + c.lines[1];
        SCOPED_TRACE(Narrow(text) + (c.format & DT_CENTER ? " centred" : " right"));
        const PixelImage img = Draw(rect, text.c_str(), c.format);
        int lines = 0;
        for (int top = 10; top < 150; top += line) {
            const Ink band = InkOf(img, IsInk, top, top + line);
            if (band.pixels == 0)
                continue;
            ASSERT_LT(lines, 2);
            const RECT alone = Measure(box, c.lines[lines]);
            ++lines;
            SCOPED_TRACE(band.Describe() + " measured alone " + std::to_string(alone.right - alone.left));
            EXPECT_NEAR(alone.right - alone.left, band.right - band.left, 3);
            if (c.format & DT_CENTER)
                EXPECT_NEAR(centre, band.CentreX(), 3.0f);
            else
                EXPECT_NEAR(rect.right, band.right, 3.0f);
        }
        EXPECT_EQ(c.lines[1] ? 2 : 1, lines);
    }
}

TEST_F(RichTextTest, VerticalAlignmentMovesTheTextByItsMeasuredHeight)
{
    const RECTF rect(10, 10, 310, 150);
    const wchar_t* text = L"Top<n>Bottom";
    const RECT extent = Measure(RECT{10, 10, 310, 150}, text);
    const int height = extent.bottom - extent.top;
    const Ink middle = InkOf(Draw(rect, text, DT_VCENTER));
    const Ink bottom = InkOf(Draw(rect, text, DT_BOTTOM));
    const Ink top = InkOf(Draw(rect, text));
    const int middleShift = (140 - height) / 2;
    EXPECT_NEAR(top.top + middleShift, middle.top, 2);
    EXPECT_NEAR(top.top + (140 - height), bottom.top, 2);
}

TEST_F(RichTextTest, MeasuringGivesTheExtentTheDrawingFills)
{
    struct {
        const wchar_t* text;
        UINT format;
        int width;
    } cases[] = {
        {L"Plain text", 0, 300},
        {L"<b>Bold</b> <i>italic</i> <u>under</u>", 0, 300},
        {L"<f DejaVu Sans 24>Big</f> small", 0, 300},
        {L"<x 30>moved", 0, 300},
        {L"<y 40>tall line", 0, 300},
        {L"<p 12>spaced</p>after", 0, 300},
        {L"Two<n>lines", 0, 300},
        {L"Words that wrap inside a narrow rectangle", DT_WORDBREAK, 120},
        {L"\x4E2D\x6587\x548C Latin \x6DF7\x5408\x6587\x5B57", DT_WORDBREAK, 90},
        {L"A line too long for the rectangle it is in", DT_SINGLELINE | DT_END_ELLIPSIS, 120},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.text));
        const RECT box{10, 10, 10 + c.width, 150};
        const RECT extent = Measure(box, c.text, c.format);
        EXPECT_EQ(box.left, extent.left);
        EXPECT_EQ(box.top, extent.top);
        EXPECT_LE(extent.right, box.right);
        const Ink ink = InkOf(Draw(RECTF(10, 10, 10.0f + c.width, 150), c.text, c.format));
        SCOPED_TRACE(ink.Describe() + " in (" + std::to_string(extent.left) + "," + std::to_string(extent.top) +
                     ")-(" + std::to_string(extent.right) + "," + std::to_string(extent.bottom) + ")");
        ASSERT_GT(ink.pixels, 0);
        EXPECT_GE(ink.left, extent.left - 1);
        EXPECT_LE(ink.right, extent.right + 2);
        EXPECT_GE(ink.right, extent.right - 4);
        EXPECT_LE(ink.bottom, extent.bottom + 1);
        EXPECT_GE(ink.bottom, extent.bottom - 8);
    }
}

TEST_F(RichTextTest, RawTextAndEscapesDrawTheBracketsThemselves)
{
    const RECT box{10, 10, 310, 150};
    struct {
        const wchar_t* marked;
        const wchar_t* same;
    } cases[] = {
        {L"<r><b>x</b></r>", L"{<}b{>}x{<}/b{>}"},
        {L"<{>", L"{"},
        {L"a<{>b", L"a{b"},
        {L"a{<}b", L"a<b"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Narrow(c.marked));
        const RECT marked = Measure(box, c.marked);
        const RECT same = Measure(box, c.same);
        EXPECT_GT(marked.right, box.left);
        EXPECT_NEAR(same.right, marked.right, 2);
    }
    // Escapes draw one character: "<{>" is as wide as "{" alone.
    EXPECT_EQ(Measure(box, L"{x").right, Measure(box, L"<{>x").right);
    // Inside raw text a tag is text: wider than the word alone.
    EXPECT_GT(Measure(box, L"<r><b>x</b></r>").right, Measure(box, L"x").right + 20);
}

TEST_F(RichTextTest, EllipsisEndsACutSingleLine)
{
    const RECTF rect(10, 10, 130, 60);
    const wchar_t* text = L"A line too long for the rectangle it is in";
    const PixelImage cut = Draw(rect, text, DT_SINGLELINE | DT_END_ELLIPSIS);
    const Ink ink = InkOf(cut);
    SCOPED_TRACE(ink.Describe());
    ASSERT_GT(ink.pixels, 0);
    EXPECT_LE(ink.right, 131);
    // The last columns hold only the dots' few rows.
    const Ink tail = InkOf(cut, IsInk, 0, INT_MAX, ink.right - 2);
    EXPECT_LE(tail.bottom - tail.top, 4);
    const Ink plain = InkOf(Draw(rect, text, DT_SINGLELINE));
    const Ink plainTail = InkOf(Draw(rect, text, DT_SINGLELINE), IsInk, 0, INT_MAX, plain.right - 2);
    EXPECT_GT(plainTail.bottom - plainTail.top, 4);
}

TEST_F(RichTextTest, BlurColourAddsAHaloThatFollowsItsAlpha)
{
    const RECTF rect(10, 10, 310, 60);
    const int bare = PixelsWithAlpha(Draw(rect, L"Halo <b>text</b>"));
    const int faint = PixelsWithAlpha(Draw(rect, L"Halo <b>text</b>", 0, kBlack, 0x20FFFFFFu));
    const PixelImage strong = Draw(rect, L"Halo <b>text</b>", 0, kBlack, 0xFFFFFFFFu);
    EXPECT_GT(PixelsWithAlpha(strong), bare * 3 / 2);
    EXPECT_GE(PixelsWithAlpha(strong), faint);
    // The text is drawn over its halo in its own colour.
    EXPECT_GT(InkOf(strong, IsDarkInk).pixels, 0);
}

TEST_F(RichTextTest, TheTargetsDrawingTransformMovesTextAndImages)
{
    AddImage(L"dot.png", testsupport::ArgbImage(6, 6, 0xFF00FF00u));
    const RECTF rect(10, 10, 200, 60);
    const wchar_t* text = L"Moved <i dot.png> text";
    const auto isGreen = [](uint32_t p) { return A(p) == 255 && (p & 0xFFFFFFu) == 0x00FF00u; };
    const PixelImage still = Draw(rect, text);
    ui::RenderTarget& rt = *core().GetRenderTarget();
    rt.BeginDraw({RECTF(0, 0, kWidth, kHeight)});
    rt.SetDrawingTransform(D2D1::Matrix3x2F::Translation(40.0f, 30.0f));
    rt.DrawHtmlText(&core(), rect, text, kBlack, nullptr, 0, 0);
    // Read back untransformed.
    rt.SetDrawingTransform(D2D1::IdentityMatrix());
    rt.EndDraw(false, nullptr);
    const PixelImage moved = testsupport::ReadTargetPixels(rt);
    const Ink a = InkOf(still, IsDarkInk), b = InkOf(moved, IsDarkInk);
    ASSERT_GT(a.pixels, 0);
    EXPECT_EQ(a.left + 40, b.left);
    EXPECT_EQ(a.top + 30, b.top);
    EXPECT_EQ(InkOf(still, isGreen).left + 40, InkOf(moved, isGreen).left);
}

// ---------------------------------------------------------------- tag soup

TEST_F(RichTextTest, MalformedMarkupNeverCrashesAndStaysInsideTheRectangle)
{
    std::wstring deep;
    for (int i = 0; i < 5000; ++i)
        deep += L"<b><i><c #FF00FF00><p 1><a x>";
    deep += L"deep";
    std::wstring closers;
    for (int i = 0; i < 1000; ++i)
        closers += L"</b></c></p></a></f></i></u></r></s>";
    closers += L"after";
    const std::wstring cases[] = {
        L"<b unterminated",
        L"</b></c></p></a>text",
        L"{/i}{/u}{/f}text",
        deep,
        closers,
        L"<x 99999999999999>far <x -99999999999999>back",
        L"<p 2147483647>big<y 2147483647>tall</p>",
        L"<y -5>negative line",
        L"<f 99999999>id <f -3>id",
        L"<f Nope 99999999 bold italic>size",
        L"<c #FFFFFFFFFFFFFFFFFFFF>colour <c zz>colour",
        L"<i missing.png 99999999 -3>image <i>",
        L"<i >x<i  4 2>",
        L"<a>no name</a><a >blank</a>",
        L"<r>unterminated raw <b>",
        L"<s>selected<s>twice",
        L"<<<<{{{{>>>>}}}}",
        L"<n><n><n><n><n><n><n><n><n><n><n><n><n><n><n><n>",
        L"\xD83D",
        L"x\xD83D\xDE00\xD83D\xDE00\xD83D\xDE00\xD83D\xDE00\xD83D\xDE00\xD83D\xDE00\xD83D\xDE00\xD83D",
    };
    const RECT box{10, 10, 90, 150};
    for (const std::wstring& text : cases) {
        SCOPED_TRACE(Narrow(text.substr(0, 60)));
        for (UINT format : {0u, UINT(DT_WORDBREAK), UINT(DT_SINGLELINE | DT_END_ELLIPSIS),
                            UINT(DT_CENTER | DT_VCENTER)}) {
            RECT rects[2];
            ui::CUiString names[2];
            int count = 2;
            const RECT extent = Measure(box, text.c_str(), format, ui::RichTextLinks{rects, names, &count});
            EXPECT_LE(extent.right, box.right);
            EXPECT_GE(count, 0);
            EXPECT_LE(count, 2);
            int drawnCount = 2;
            Draw(RECTF(10, 10, 90, 150), text.c_str(), format, kBlack, 0, &drawnCount);
            EXPECT_EQ(count, drawnCount);
        }
    }
    // Text after stray closing tags keeps the call's colour.
    const PixelImage img = Draw(RECTF(10, 10, 310, 60), L"</c></c></a>text", 0, 0xFFFF0000u);
    EXPECT_GT(InkOf(img, IsRedInk).pixels, 0);
}

} // namespace
