// Text drawing on a real Direct2D surface, read back pixel by pixel: where
// the ink lands for each alignment, ellipsis and line cuts, spacing, tagged
// runs, glow (through the path the effect probe chose), Chinese text, and
// the agreement of measuring and drawing.
#include "Corvel/Render/RenderTarget.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <functional>
#include <memory>

#include "Corvel/Core/WindowCore.h"
#include "Corvel/Render/FontManager.h"
#include "support/RenderTestSupport.h"
#include "support/Text.h"

using namespace rendertest;
using namespace testsupport;
using ui::RECTF;

namespace {

constexpr int kSurfaceWidth = 320;
constexpr int kSurfaceHeight = 150;
constexpr uint32_t kBlack = 0xFF000000u;
// Premultiplied alpha from which a pixel counts as ink.
constexpr int kInkAlpha = 96;
constexpr int kTextSize = 16;

using testsupport::Ink;

Ink InkOf(const PixelImage& img, int minAlpha = kInkAlpha)
{
    return testsupport::FindInk(img, [minAlpha](uint32_t p) { return A(p) >= minAlpha; });
}

// Pixels with any alpha at all (halo included).
int TouchedPixels(const PixelImage& img) { return testsupport::PixelsWithAlpha(img); }

// Whether the ink of the lowest line ends in "...": the last two inked
// columns of that line hold only a dot's few rows.
bool LastLineEndsInDots(const PixelImage& img, const Ink& ink)
{
    const int bandTop = std::max(ink.top, ink.bottom - kTextSize);
    int lastColumn = -1;
    for (int x = ink.right - 1; x >= ink.left && lastColumn < 0; --x)
        for (int y = bandTop; y < ink.bottom; ++y)
            if (A(img.At(x, y)) >= kInkAlpha)
                lastColumn = x;
    if (lastColumn < 0)
        return false;
    int top = INT_MAX, bottom = INT_MIN;
    for (int x = lastColumn - 1; x <= lastColumn; ++x)
        for (int y = bandTop; y < ink.bottom; ++y)
            if (A(img.At(x, y)) >= kInkAlpha) {
                top = std::min(top, y);
                bottom = std::max(bottom, y + 1);
            }
    return bottom - top <= 4;
}

std::string Describe(const Ink& ink)
{
    return "ink (" + std::to_string(ink.left) + "," + std::to_string(ink.top) + ")-(" + std::to_string(ink.right) +
           "," + std::to_string(ink.bottom) + ") " + std::to_string(ink.pixels) + " px";
}

ui::GradientStops Solid(uint32_t argb)
{
    return {ui::Color::MakeArgb(argb)};
}

// A window core for fonts (bound to a hidden window at a chosen DPI) and a
// shown surface to draw on.
class TextDrawingTest : public UiLibraryTest {
protected:
    void SetUp() override
    {
        UiLibraryTest::SetUp();
        m_surface = std::make_unique<DrawingSurface>(kSurfaceWidth, kSurfaceHeight);
        m_core = MakeCore(96);
        m_sans = AddFont(*m_core, L"DejaVu Sans");
        ASSERT_GE(m_sans, 0);
    }

    void TearDown() override
    {
        m_cores.clear();
        m_fontWindows.clear();
        m_surface.reset();
        UiLibraryTest::TearDown();
    }

    ui::WindowCore* MakeCore(int dpi)
    {
        m_fontWindows.push_back(std::make_unique<PlainWindow>(0, 0, 40, 40, 0, WS_POPUP));
        m_cores.push_back(std::make_unique<ui::WindowCore>());
        ui::WindowCore* core = m_cores.back().get();
        core->SetDpi(dpi);
        core->BindWindow(m_fontWindows.back()->hwnd());
        return core;
    }

    // Font id of the face at kTextSize and the core's scale; -1 on failure.
    static int AddFont(ui::WindowCore& core, const wchar_t* face, bool underline = false, bool strikeout = false)
    {
        const ui::tagTFontInfo* f =
            core.GetFontManager()->AddFont(core.GetScale(), face, kTextSize, false, underline, false, strikeout);
        return f && f->textFormat ? f->index : -1;
    }

    PixelImage Draw(const std::function<void(ui::RenderTarget&)>& draw)
    {
        m_surface->Frame(draw);
        return m_surface->Read();
    }

    PixelImage Plain(const RECTF& rect, const wchar_t* text, UINT format, float spacing = 0.0f,
                     float lineSpacing = 0.0f, uint32_t glow = 0, int font = -1, ui::WindowCore* core = nullptr)
    {
        return Draw([&](ui::RenderTarget& t) {
            t.DrawText(core ? core : m_core, rect, text, Solid(kBlack), nullptr, font < 0 ? m_sans : font,
                       format, spacing, lineSpacing, glow);
        });
    }

    PixelImage Tagged(const RECTF& rect, const wchar_t* text, UINT format, uint32_t argb = kBlack,
                      float spacing = 0.0f, uint32_t glow = 0, ui::WindowCore* core = nullptr, int font = -1)
    {
        return Draw([&](ui::RenderTarget& t) {
            t.DrawBlurredText(core ? core : m_core, rect, text, argb, font < 0 ? m_sans : font, format,
                              spacing, 0.0f, glow);
        });
    }

    std::unique_ptr<DrawingSurface> m_surface;
    std::vector<std::unique_ptr<PlainWindow>> m_fontWindows;
    std::vector<std::unique_ptr<ui::WindowCore>> m_cores;
    ui::WindowCore* m_core = nullptr;
    int m_sans = -1;
};

// ---------------------------------------------------------------- alignment

enum class Horizontal { Left, Centre, Right };
enum class Vertical { Top, Middle, Bottom };

TEST_F(TextDrawingTest, AlignmentBitsPlaceTheInkInTheRectangle)
{
    const RECTF rect(20, 15, 300, 135);
    // Text without descenders: the gap under the ink is the font's descent.
    const float sideSlack = 3.0f, edgeSlack = 8.0f, middleSlack = 4.0f;
    const UINT all = DT_CENTER | DT_RIGHT | DT_VCENTER | DT_BOTTOM;
    struct {
        const char* name;
        bool tagged;
        UINT format;
        Horizontal h;
        Vertical v;
    } cases[] = {
        {"no bits", false, 0, Horizontal::Left, Vertical::Top},
        {"centre", false, DT_CENTER, Horizontal::Centre, Vertical::Top},
        {"right", false, DT_RIGHT, Horizontal::Right, Vertical::Top},
        {"vertical centre", false, DT_VCENTER, Horizontal::Left, Vertical::Middle},
        {"bottom", false, DT_BOTTOM, Horizontal::Left, Vertical::Bottom},
        {"single line", false, DT_SINGLELINE, Horizontal::Left, Vertical::Top},
        {"ellipsis", false, DT_END_ELLIPSIS, Horizontal::Left, Vertical::Top},
        {"centred both ways", false, DT_CENTER | DT_VCENTER | DT_SINGLELINE, Horizontal::Centre, Vertical::Middle},
        {"plain: the later bit of a pair wins", false, all, Horizontal::Right, Vertical::Bottom},
        {"tagged: the first bit of a pair wins", true, all, Horizontal::Centre, Vertical::Middle},
        {"tagged: right and bottom", true, DT_RIGHT | DT_BOTTOM, Horizontal::Right, Vertical::Bottom},
        {"tagged: no bits", true, 0, Horizontal::Left, Vertical::Top},
    };
    const wchar_t* texts[] = {L"Corvel", L"Corvel\nCorvel draws"};
    for (const wchar_t* text : texts) {
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + " / " + Narrow(text));
            const PixelImage img = c.tagged ? Tagged(rect, text, c.format) : Plain(rect, text, c.format);
            const Ink ink = InkOf(img);
            ASSERT_GT(ink.pixels, 0);
            SCOPED_TRACE(Describe(ink));
            EXPECT_GE(ink.left, rect.left - 1);
            EXPECT_LE(ink.right, rect.right + 1);
            EXPECT_GE(ink.top, rect.top - 1);
            EXPECT_LE(ink.bottom, rect.bottom + 1);
            switch (c.h) {
            case Horizontal::Left: EXPECT_LE(ink.left - rect.left, sideSlack); break;
            case Horizontal::Centre:
                EXPECT_NEAR((rect.left + rect.right) / 2, ink.CentreX(), sideSlack);
                break;
            case Horizontal::Right: EXPECT_LE(rect.right - ink.right, sideSlack); break;
            }
            switch (c.v) {
            case Vertical::Top: EXPECT_LE(ink.top - rect.top, edgeSlack); break;
            case Vertical::Middle:
                EXPECT_NEAR((rect.top + rect.bottom) / 2, ink.CentreY(), middleSlack);
                break;
            case Vertical::Bottom: EXPECT_LE(rect.bottom - ink.bottom, edgeSlack); break;
            }
        }
    }
}

// ------------------------------------------------------- ellipsis and cuts

TEST_F(TextDrawingTest, EllipsisEndsALineThatIsTooLongInsideTheRectangle)
{
    const RECTF rect(20, 20, 140, 60);
    const wchar_t* text = L"Corvel draws text with DirectWrite";
    struct {
        const char* name;
        bool tagged;
        UINT format;
        bool ellipsis;
    } cases[] = {
        {"plain", false, DT_SINGLELINE | DT_END_ELLIPSIS, true},
        {"tagged", true, DT_SINGLELINE | DT_END_ELLIPSIS, true},
        {"plain without the bit runs on", false, DT_SINGLELINE, false},
        {"tagged without the bit runs on", true, DT_SINGLELINE, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const PixelImage img = c.tagged ? Tagged(rect, text, c.format) : Plain(rect, text, c.format);
        const Ink ink = InkOf(img);
        SCOPED_TRACE(Describe(ink));
        ASSERT_GT(ink.pixels, 0);
        if (c.ellipsis) {
            EXPECT_LE(ink.right, rect.right + 1);
            EXPECT_TRUE(LastLineEndsInDots(img, ink));
        } else {
            EXPECT_GT(ink.right, rect.right + 20) << "nothing clips the line";
            EXPECT_FALSE(LastLineEndsInDots(img, ink));
        }
    }
}

TEST_F(TextDrawingTest, WrappedTextKeepsTheLinesThatFitAndEndsInDots)
{
    const wchar_t* text = L"one two three four five six seven eight nine ten";
    const float left = 20, top = 10, width = 110;
    const Ink whole = InkOf(Plain(RECTF(left, top, left + width, 150), text, 0));
    ASSERT_GT(whole.Height(), 3 * kTextSize) << "the text wraps to several lines";
    // Line pitch of the font (DejaVu Sans at 16 px: about 18.6).
    const float line = 18.6f;
    struct {
        const char* name;
        UINT format;
        float height;
        bool cut;
        bool onlyDots;
    } cases[] = {
        {"two lines fit", 0, 2 * line + 2, true, false},
        {"one line and a half", 0, 1.5f * line, true, false},
        {"the last line overhangs by less than a pixel", 0, 2 * line - 0.5f, true, false},
        {"centred vertically", DT_VCENTER | DT_CENTER, 2 * line + 2, true, false},
        {"no line fits", 0, 8, true, true},
        {"every line fits", 0, 130, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const RECTF rect(left, top, left + width, top + c.height);
        const PixelImage img = Plain(rect, text, c.format);
        const Ink ink = InkOf(img);
        SCOPED_TRACE(Describe(ink));
        ASSERT_GT(ink.pixels, 0);
        EXPECT_EQ(c.cut, LastLineEndsInDots(img, ink));
        if (c.onlyDots) {
            EXPECT_LT(ink.Width(), 16) << "the text is all gone";
        } else if (c.cut) {
            EXPECT_LE(ink.bottom, rect.bottom + 1) << "no line runs out of the rectangle";
            EXPECT_LT(ink.Height(), whole.Height());
        } else {
            EXPECT_EQ(whole.bottom, ink.bottom);
        }
    }

    // A single line is never cut, whatever the height.
    const Ink single = InkOf(Plain(RECTF(left, top, left + width, top + 8), text, DT_SINGLELINE));
    EXPECT_GT(single.right, left + width + 100);
}

// ------------------------------------------------------------------ spacing

TEST_F(TextDrawingTest, CharacterSpacingCountsByItsSizeAt96DpiAtEveryScale)
{
    const wchar_t* text = L"HHHHHH";  // five gaps between six letters
    ui::WindowCore* doubled = MakeCore(192);
    const int doubledSans = AddFont(*doubled, L"DejaVu Sans");
    ASSERT_GE(doubledSans, 0);
    const RECTF rect(10, 10, 310, 140);
    struct {
        const char* name;
        bool tagged;
        float skinSpacing;  // at 96 DPI; drawn at spacing x scale
        bool widens;
    } cases[] = {
        {"plain 0.8", false, 0.8f, false},
        {"plain 3", false, 3.0f, true},
        {"tagged 0.8", true, 0.8f, true},
        {"tagged 3", true, 3.0f, true},
    };
    for (float scale : {1.0f, 2.0f}) {
        ui::WindowCore* core = scale == 1.0f ? m_core : doubled;
        const int font = scale == 1.0f ? m_sans : doubledSans;
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (scale == 1.0f ? " at 100%" : " at 200%"));
            auto draw = [&](float spacing) {
                return InkOf(c.tagged ? Tagged(rect, text, 0, kBlack, spacing, 0, core, font)
                                      : Plain(rect, text, 0, spacing, 0, 0, font, core));
            };
            const Ink base = draw(0.0f);
            const float spacing = c.skinSpacing * scale;
            const Ink spaced = draw(spacing);
            if (c.widens)
                EXPECT_NEAR(base.Width() + 5 * spacing, spaced.Width(), 2.0f);
            else
                EXPECT_EQ(base.Width(), spaced.Width());
        }
    }
}

TEST_F(TextDrawingTest, LineSpacingOpensMultiLineTextOnly)
{
    const wchar_t* text = L"H\nH\nH";
    const RECTF rect(20, 5, 200, 145);
    const Ink natural = InkOf(Plain(rect, text, 0));
    // Uniform lines of font size + spacing: 16 + 10 = 26 pixels apart.
    const Ink spaced = InkOf(Plain(rect, text, 0, 0.0f, 10.0f));
    const Ink single = InkOf(Plain(rect, text, DT_SINGLELINE, 0.0f, 10.0f));
    const Ink naturalSingle = InkOf(Plain(rect, text, DT_SINGLELINE));
    const int capHeight = InkOf(Plain(rect, L"H", 0)).Height();
    EXPECT_NEAR(2 * 26 + capHeight, spaced.Height(), 2);
    EXPECT_GT(spaced.Height(), natural.Height() + 10);
    EXPECT_EQ(naturalSingle.Height(), single.Height()) << "single-line text ignores line spacing";
}

// ------------------------------------------------------------- font styles

TEST_F(TextDrawingTest, FontAndRunStylesReachTheLayout)
{
    const RECTF rect(20, 10, 310, 140);
    // Underlines are thin: any coverage counts.
    const int faint = 16;
    const PixelImage plainImage = Plain(rect, L"HHHH", 0);
    const Ink h = InkOf(plainImage);
    const int underlined = AddFont(*m_core, L"DejaVu Sans", true, false);
    const int struck = AddFont(*m_core, L"DejaVu Sans", false, true);
    ASSERT_GE(underlined, 0);
    ASSERT_GE(struck, 0);
    EXPECT_GT(InkOf(Plain(rect, L"HHHH", 0, 0, 0, 0, underlined), faint).bottom, InkOf(plainImage, faint).bottom)
        << "the underline sits below the letters";
    EXPECT_GT(InkOf(Plain(rect, L"HHHH", 0, 0, 0, 0, struck)).pixels, h.pixels + 10) << "the strike crosses the gaps";

    // Every run sets its face: the library's default face unless it names one.
    const PixelImage runImage = Tagged(rect, L"{}HHHH{/}", 0);
    const Ink run = InkOf(runImage);
    ASSERT_GT(run.pixels, 0);
    EXPECT_NE(h.Width(), run.Width()) << "the default face is not the font's";
    struct {
        const char* name;
        const wchar_t* tagged;
        std::function<void(const PixelImage&, const Ink&)> check;
    } cases[] = {
        {"size", L"{size='32'}HHHH{/}",
         [&](const PixelImage&, const Ink& i) { EXPECT_NEAR(2.0 * run.Height(), i.Height(), 2.0); }},
        {"the outer run wins over the inner", L"{size='32'}{size='16'}HHHH{/}{/}",
         [&](const PixelImage&, const Ink& i) { EXPECT_NEAR(2.0 * run.Height(), i.Height(), 2.0); }},
        {"bold", L"{bold='true'}HHHH{/}",
         [&](const PixelImage&, const Ink& i) { EXPECT_GT(i.pixels, run.pixels * 6 / 5); }},
        {"underline", L"{underline='true'}HHHH{/}",
         [&](const PixelImage& img, const Ink&) {
             EXPECT_GT(InkOf(img, faint).bottom, InkOf(runImage, faint).bottom);
         }},
        {"strike", L"{strike='true'}HHHH{/}",
         [&](const PixelImage&, const Ink& i) { EXPECT_GT(i.pixels, run.pixels + 10); }},
        {"space", L"{space='6'}HHHH{/}",
         [&](const PixelImage&, const Ink& i) { EXPECT_NEAR(run.Width() + 3 * 6, i.Width(), 2); }},
        {"an installed face", L"{name='DejaVu Sans'}HHHH{/}",
         [&](const PixelImage&, const Ink& i) { EXPECT_EQ(h.Width(), i.Width()); }},
        {"a face the system lacks draws in a stand-in", L"{name='No Such Face'}HHHH{/}",
         [&](const PixelImage&, const Ink& i) { EXPECT_GT(i.pixels, h.pixels / 2); }},
        {"a closing tag without a run is dropped", L"{/}HHHH{/}",
         [&](const PixelImage&, const Ink& i) { EXPECT_EQ(h.Width(), i.Width()); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const PixelImage img = Tagged(rect, c.tagged, 0);
        const Ink ink = InkOf(img);
        SCOPED_TRACE(Describe(ink));
        ASSERT_GT(ink.pixels, 0);
        c.check(img, ink);
    }

    // An unterminated tag is drawn as the text it is.
    const wchar_t* open = L"HH{color='0xFFFF0000' HH";
    const Ink literal = InkOf(Plain(rect, open, 0));
    const Ink tagged = InkOf(Tagged(rect, open, 0));
    EXPECT_EQ(literal.Width(), tagged.Width());
    EXPECT_GT(tagged.Width(), 2 * h.Width());
}

// Colour of the most opaque pixel in columns [x0, x1).
uint32_t StrongestIn(const PixelImage& img, int x0, int x1)
{
    uint32_t best = 0;
    for (int y = 0; y < img.height; ++y)
        for (int x = x0; x < x1; ++x)
            if (A(img.At(x, y)) > A(best))
                best = img.At(x, y);
    return best;
}

TEST_F(TextDrawingTest, TaggedRunsColourTheirCharactersOverTheBaseColour)
{
    const RECTF rect(20, 10, 310, 140);
    const PixelImage img = Tagged(rect, L"{color='0xFFFF0000'}HHHH{/}HHHH{color='0xFF0000FF'}HHHH{/}", 0, 0xFF00C000u);
    const Ink ink = InkOf(img);
    ASSERT_GT(ink.pixels, 0);
    const int third = ink.Width() / 3;
    struct {
        const char* name;
        int x0;
        uint32_t rgb;
    } bands[] = {
        {"red run", ink.left, 0xFF0000u},
        {"base colour", ink.left + third, 0x00C000u},
        {"blue run", ink.left + 2 * third, 0x0000FFu},
    };
    for (const auto& b : bands) {
        const uint32_t p = StrongestIn(img, b.x0 + 2, b.x0 + third - 2);
        EXPECT_EQ(255, A(p)) << b.name;
        EXPECT_EQ(b.rgb, Rgb(p)) << b.name;
    }

    // A run without a colour is black, whatever the base colour.
    const PixelImage sized = Tagged(rect, L"{size='16'}HHHH{/}", 0, 0xFF00C000u);
    EXPECT_EQ(0u, Rgb(StrongestIn(sized, 0, kSurfaceWidth)));
}

// --------------------------------------------------------------------- glow

TEST_F(TextDrawingTest, GlowDrawsAHaloOfItsColourAroundTheText)
{
    const RECTF rect(20, 10, 300, 140);
    const uint32_t red = 0xFFFF0000u;
    struct {
        const char* name;
        bool tagged;
    } cases[] = {{"plain", false}, {"tagged, whatever the runs' colour", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const wchar_t* text = c.tagged ? L"{color='0xFF0000FF'}HHHH{/}" : L"HHHH";
        const PixelImage bare = c.tagged ? Tagged(rect, text, 0) : Plain(rect, text, 0);
        const PixelImage glowing = c.tagged ? Tagged(rect, text, 0, kBlack, 0, red) : Plain(rect, text, 0, 0, 0, red);
        const Ink ink = InkOf(bare);
        ASSERT_GT(ink.pixels, 0);
        EXPECT_GT(TouchedPixels(glowing), TouchedPixels(bare) + ink.pixels / 2) << "the halo spreads";
        // Beside the first letter, outside its ink: only the halo is there.
        const uint32_t halo = glowing.At(ink.left - 1, (ink.top + ink.bottom) / 2);
        EXPECT_GT(A(halo), 0);
        EXPECT_GT(R(halo), 2 * (G(halo) + B(halo))) << std::hex << halo;
        EXPECT_EQ(0, A(bare.At(ink.left - 1, (ink.top + ink.bottom) / 2)));
    }
}

TEST_F(TextDrawingTest, WithoutADeviceContextGlowingTextGoesThroughGdiplusAndTaggedTextGlowsNot)
{
    const RECTF rect(20, 10, 300, 140);
    m_surface->target().DropDeviceContextForTesting();
    ASSERT_EQ(nullptr, m_surface->target().GetDeviceContext());

    const PixelImage bare = Plain(rect, L"HHHH", 0);
    const PixelImage glowing = Plain(rect, L"HHHH", 0, 0, 0, 0xFFFF0000u);
    const Ink ink = InkOf(bare);
    ASSERT_GT(ink.pixels, 0);
    const Ink drawn = InkOf(glowing);
    EXPECT_GT(drawn.pixels, 0);
    EXPECT_GT(TouchedPixels(glowing), TouchedPixels(bare)) << "the GDI+ path draws a halo";

    const Ink taggedBare = InkOf(Tagged(rect, L"HHHH", 0));
    const PixelImage taggedGlow = Tagged(rect, L"HHHH", 0, kBlack, 0, 0xFFFF0000u);
    EXPECT_EQ(TouchedPixels(Tagged(rect, L"HHHH", 0)), TouchedPixels(taggedGlow));
    EXPECT_EQ(taggedBare.pixels, InkOf(taggedGlow).pixels);
}

// ------------------------------------------------------------ mixed scripts

TEST_F(TextDrawingTest, ChineseAndLatinDrawTogetherInTheDefaultFace)
{
    const int face = m_core->GetFontManager()->AddFont(1.0f, ui::kDefaultFontFace, kTextSize, false, false, false,
                                                       false)->index;
    const RECTF rect(10, 10, 310, 140);
    const Ink latin = InkOf(Plain(rect, L"Corvel", DT_SINGLELINE, 0, 0, 0, face));
    const PixelImage first = Plain(rect, L"\x5B89", DT_SINGLELINE, 0, 0, 0, face);   // 安
    const PixelImage second = Plain(rect, L"\x88C5", DT_SINGLELINE, 0, 0, 0, face);  // 装
    const Ink chinese = InkOf(Plain(rect, L"\x5B89\x88C5", DT_SINGLELINE, 0, 0, 0, face));
    const Ink mixed = InkOf(Plain(rect, L"Corvel\x5B89\x88C5", DT_SINGLELINE, 0, 0, 0, face));
    ASSERT_GT(latin.pixels, 0);
    ASSERT_GT(chinese.pixels, 0);
    EXPECT_NE(first.data, second.data) << "real glyphs, not one missing-glyph box";
    EXPECT_NEAR(2 * kTextSize, chinese.Width(), 4) << "two full-width characters";
    EXPECT_NEAR(latin.pixels + chinese.pixels, mixed.pixels, (latin.pixels + chinese.pixels) / 20);
    EXPECT_GT(mixed.Width(), latin.Width() + chinese.Width());
}

// ---------------------------------------------------------------- measuring

TEST_F(TextDrawingTest, TheMeasuredSizeHoldsTheTextAsDrawn)
{
    ui::FontManager* fonts = m_core->GetFontManager();
    struct {
        const char* name;
        const wchar_t* text;
        UINT format;
        float spacing;
    } cases[] = {
        {"one line", L"Corvel draws", DT_SINGLELINE, 0},
        {"wrapping allowed", L"Corvel draws", 0, 0},
        {"two lines", L"Corvel draws\nwrapped lines", 0, 0},
        {"spaced", L"Corvel draws", 0, 4},
        {"spaced lines", L"Corvel\ndraws text", 0, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        int width = kSurfaceWidth, height = kSurfaceHeight;
        fonts->MeasureText(width, height, c.text, m_sans, c.format, c.spacing);
        ASSERT_LT(width, kSurfaceWidth - 20);
        const Ink free = InkOf(Plain(RECTF(10, 10, kSurfaceWidth, kSurfaceHeight), c.text, c.format, c.spacing));
        const RECTF measured(10, 10, 10.0f + width, 10.0f + height);
        const PixelImage img = Plain(measured, c.text, c.format, c.spacing);
        const Ink ink = InkOf(img);
        SCOPED_TRACE(Describe(free) + " vs " + Describe(ink));
        EXPECT_EQ(free.pixels, ink.pixels) << "same lines, nothing cut";
        EXPECT_EQ(free.right, ink.right);
        EXPECT_EQ(free.bottom, ink.bottom);
        EXPECT_LE(ink.right, measured.right + 1);
        EXPECT_LE(ink.bottom, measured.bottom + 1);
    }
}

// ------------------------------------------------------------------ nothing

TEST_F(TextDrawingTest, NothingIsDrawnWithoutTextFontOrCore)
{
    const RECTF rect(10, 10, 300, 140);
    struct {
        const char* name;
        std::function<void(ui::RenderTarget&)> draw;
    } cases[] = {
        {"null text", [&](ui::RenderTarget& t) { t.DrawText(m_core, rect, nullptr, Solid(kBlack), nullptr, 0, 0, 0, 0, 0); }},
        {"empty text", [&](ui::RenderTarget& t) { t.DrawText(m_core, rect, L"", Solid(kBlack), nullptr, 0, 0, 0, 0, 0); }},
        {"no core", [&](ui::RenderTarget& t) { t.DrawText(nullptr, rect, L"H", Solid(kBlack), nullptr, 0, 0, 0, 0, 0); }},
        {"no colour", [&](ui::RenderTarget& t) { t.DrawText(m_core, rect, L"H", {}, nullptr, 0, 0, 0, 0, 0); }},
        {"tagged null", [&](ui::RenderTarget& t) { t.DrawBlurredText(m_core, rect, nullptr, kBlack, 0, 0, 0, 0, 0); }},
        {"tags only", [&](ui::RenderTarget& t) { t.DrawBlurredText(m_core, rect, L"{size='9'}{/}", kBlack, 0, 0, 0, 0, 0); }},
        {"tagged, no core", [&](ui::RenderTarget& t) { t.DrawBlurredText(nullptr, rect, L"H", kBlack, 0, 0, 0, 0, 0); }},
    };
    for (const auto& c : cases)
        EXPECT_EQ(0, TouchedPixels(Draw(c.draw))) << c.name;
}

// --------------------------------------------------------------- screenshot

TEST_F(TextDrawingTest, ScreenshotOfEveryTextStyle)
{
    const int face = m_core->GetFontManager()->AddFont(1.0f, ui::kDefaultFontFace, kTextSize, false, false, false,
                                                       false)->index;
    DrawingSurface shot(480, 400);
    shot.Frame([&](ui::RenderTarget& t) {
        t.FillShape(RECTF(0, 0, 480, 400), Solid(0xFFFFFFFFu), nullptr, nullptr, nullptr, nullptr);
        auto box = [&](float l, float tp, float r, float b) {
            t.DrawShape(RECTF(l, tp, r, b), Solid(0xFFD0D0D0u), nullptr, nullptr, nullptr, 0, nullptr, 1.0f);
            return RECTF(l, tp, r, b);
        };
        ui::GradientStops gradient = {ui::Color::MakeArgb(0xFF2060FFu), ui::Color::MakeArgb(0xFFFF4020u)};
        t.DrawText(m_core, box(10, 10, 230, 40), L"Left, top", Solid(kBlack), nullptr, m_sans, 0, 0, 0, 0);
        t.DrawText(m_core, box(250, 10, 470, 40), L"Centred", Solid(kBlack), nullptr, m_sans,
                   DT_CENTER | DT_VCENTER | DT_SINGLELINE, 0, 0, 0);
        t.DrawText(m_core, box(10, 50, 230, 80), L"Right, bottom", Solid(kBlack), nullptr, m_sans,
                   DT_RIGHT | DT_BOTTOM, 0, 0, 0);
        t.DrawText(m_core, box(250, 50, 470, 80), L"Gradient text across the box", gradient, nullptr, m_sans,
                   DT_VCENTER | DT_SINGLELINE, 0, 0, 0);
        t.DrawText(m_core, box(10, 90, 230, 120), L"An ellipsis ends a line that is too long", Solid(kBlack),
                   nullptr, m_sans, DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS, 0, 0, 0);
        t.DrawText(m_core, box(250, 90, 470, 130), L"Wrapped text keeps the lines that fit and ends in dots",
                   Solid(kBlack), nullptr, m_sans, 0, 0, 0, 0);
        t.DrawText(m_core, box(10, 140, 230, 170), L"Spaced out", Solid(kBlack), nullptr, m_sans,
                   DT_VCENTER | DT_SINGLELINE, 4, 0, 0);
        t.DrawText(m_core, box(250, 140, 470, 220), L"Line\nspacing", Solid(kBlack), nullptr, m_sans, 0, 0, 12, 0);
        t.DrawText(m_core, box(10, 180, 230, 220), L"Glowing text", Solid(0xFFFFFFFFu), nullptr, m_sans,
                   DT_CENTER | DT_VCENTER | DT_SINGLELINE, 0, 0, 0xFF0060FFu);
        t.DrawBlurredText(m_core, box(10, 230, 470, 270),
                          L"{color='0xFFD02020'}red{/} {size='24'}big{/} {bold='true'}bold{/} "
                          L"{italic='true'}italic{/} {underline='true'}under{/} {strike='true'}struck{/} "
                          L"{name='DejaVu Serif'}serif{/}",
                          0xFF303030u, m_sans, DT_VCENTER | DT_SINGLELINE, 0, 0, 0);
        t.DrawBlurredText(m_core, box(10, 280, 470, 320), L"{color='0xFFFFFFFF'}Tagged glow{/} over runs",
                          0xFF202020u, m_sans, DT_CENTER | DT_VCENTER | DT_SINGLELINE, 0, 0, 0xFFFFA000u);
        t.DrawText(m_core, box(10, 330, 470, 390), L"Corvel \x5B89\x88C5\x7A0B\x5E8F mixed \x4E2D\x6587 text",
                   Solid(kBlack), nullptr, face, DT_CENTER | DT_VCENTER | DT_SINGLELINE, 0, 0, 0);
    });
    const PixelImage px = shot.Read();
    EXPECT_GT(InkOf(px).pixels, 0);
    EXPECT_TRUE(SavePng(px, ArtifactsFolder() + L"\\text-styles.png"));
}

} // namespace
