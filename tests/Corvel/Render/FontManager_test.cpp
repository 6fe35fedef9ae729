#include "Corvel/Render/FontManager.h"

#include "Corvel/Core/UiGlobals.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

bool SystemHas(const wchar_t* family)
{
    IDWriteFontCollection* system = nullptr;
    if (FAILED(ui::UiGlobals().dwriteFactory->GetSystemFontCollection(&system, FALSE)))
        return false;
    UINT32 index = 0;
    BOOL exists = FALSE;
    system->FindFamilyName(family, &index, &exists);
    system->Release();
    return exists != FALSE;
}

std::wstring FamilyOf(const ui::tagTFontInfo* f)
{
    if (!f || !f->textFormat)
        return L"";
    wchar_t name[128] = {};
    f->textFormat->GetFontFamilyName(name, 128);
    return name;
}

LOGFONTW LogFontOf(const ui::tagTFontInfo* f)
{
    LOGFONTW lf{};
    GetObjectW(f->hFont, sizeof(lf), &lf);
    return lf;
}

TEST(FontKey, SeparatesFaceSizeScaleAndFlags)
{
    using ui::FontManager;
    EXPECT_EQ(L"Arial|12|1.500000|1000", FontManager::MakeFontKey(L"Arial", 12, 1.5f, true, false, false, false));
    EXPECT_EQ(L"A|-3|1.000000|0101", FontManager::MakeFontKey(L"A", -3, 1.0f, false, true, false, true));
    // Pairs that a plain concatenation would mix up.
    EXPECT_NE(FontManager::MakeFontKey(L"A1", 2, 1.0f, false, false, false, false),
              FontManager::MakeFontKey(L"A", 12, 1.0f, false, false, false, false));
    EXPECT_NE(FontManager::MakeFontKey(L"F", 1, 11.0f, false, false, false, false),
              FontManager::MakeFontKey(L"F", 11, 1.0f, false, false, false, false));
    EXPECT_NE(FontManager::MakeFontKey(L"F1", 2, 1.5f, false, false, false, false),
              FontManager::MakeFontKey(L"F", 12, 1.5f, false, false, false, false));
}

class Fonts : public ::testing::Test {
protected:
    void SetUp() override { InitUiLibrary(GetModuleHandleW(nullptr)); }
    void TearDown() override { ShutdownUiLibrary(); }
};

TEST_F(Fonts, EachDistinctFontIsCachedOnceUnderItsOwnIndex)
{
    ui::FontManager fm;
    ui::tagTFontInfo* a = fm.AddFont(1.0f, L"DejaVu Sans", 12, false, false, false, false);
    ASSERT_NE(nullptr, a);
    EXPECT_EQ(0, a->index);
    EXPECT_EQ(a, fm.AddFont(1.0f, L"DejaVu Sans", 12, false, false, false, false));
    EXPECT_EQ(1u, fm.GetFontCount());

    struct Variant {
        float scale;
        const wchar_t* face;
        int size;
        bool b, u, i, s;
    } variants[] = {
        {1.0f, L"DejaVu Serif", 12, false, false, false, false},
        {1.0f, L"DejaVu Sans", 13, false, false, false, false},
        {1.25f, L"DejaVu Sans", 12, false, false, false, false},
        {1.0f, L"DejaVu Sans", 12, true, false, false, false},
        {1.0f, L"DejaVu Sans", 12, false, true, false, false},
        {1.0f, L"DejaVu Sans", 12, false, false, true, false},
        {1.0f, L"DejaVu Sans", 12, false, false, false, true},
        {1.0f, L"DejaVu Sans1", 2, false, false, false, false},
    };
    std::set<ui::tagTFontInfo*> seen{a};
    int expected = 1;
    for (const Variant& v : variants) {
        ui::tagTFontInfo* f = fm.AddFont(v.scale, v.face, v.size, v.b, v.u, v.i, v.s);
        ASSERT_NE(nullptr, f);
        EXPECT_TRUE(seen.insert(f).second) << v.face << " " << v.size;
        EXPECT_EQ(expected++, f->index);
        EXPECT_EQ(f, fm.FindFont(v.scale, v.face, v.size, v.b, v.u, v.i, v.s));
    }
    EXPECT_EQ(9u, fm.GetFontCount());

    // GDI and DirectWrite carry the size at the scale and the flags.
    ui::tagTFontInfo* big = fm.AddFont(1.25f, L"DejaVu Sans", 13, true, true, true, true);
    LOGFONTW lf = LogFontOf(big);
    EXPECT_EQ(-16, lf.lfHeight); // -13 x 1.25 truncated
    EXPECT_EQ(FW_BOLD, lf.lfWeight);
    EXPECT_TRUE(lf.lfItalic);
    EXPECT_TRUE(lf.lfUnderline);
    EXPECT_TRUE(lf.lfStrikeOut);
    EXPECT_EQ(DEFAULT_CHARSET, lf.lfCharSet);
    ASSERT_NE(nullptr, big->textFormat);
    EXPECT_FLOAT_EQ(16.25f, big->textFormat->GetFontSize());
    EXPECT_EQ(DWRITE_FONT_WEIGHT_BOLD, big->textFormat->GetFontWeight());
    EXPECT_EQ(DWRITE_FONT_STYLE_ITALIC, big->textFormat->GetFontStyle());

    // A face longer than LOGFONT allows is cut to 31 characters.
    ui::tagTFontInfo* longFace = fm.AddFont(1.0f, L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghij", 10, false, false, false, false);
    ASSERT_NE(nullptr, longFace);
    EXPECT_EQ(31u, wcslen(longFace->face));
}

TEST_F(Fonts, GetFontClampsTheIndexAndMakesTheDefaultFont)
{
    ui::FontManager fm(nullptr, 1.5f);
    ui::tagTFontInfo* def = fm.GetFont(3);
    ASSERT_NE(nullptr, def);
    EXPECT_STREQ(ui::kDefaultFontFace, def->face);
    EXPECT_STREQ(L"\x5FAE\x8F6F\x96C5\x9ED1", def->face);
    EXPECT_EQ(13, def->size);
    EXPECT_EQ(1.5f, def->scale);
    EXPECT_FALSE(def->bold || def->italic || def->underline || def->strikeout);
    fm.AddFont(1.0f, L"DejaVu Sans", 10, false, false, false, false);
    ui::tagTFontInfo* last = fm.AddFont(1.0f, L"DejaVu Sans", 11, false, false, false, false);
    EXPECT_EQ(def, fm.GetFont(-5));
    EXPECT_EQ(last, fm.GetFont(99));
    EXPECT_EQ(3u, fm.GetFontCount());
}

TEST_F(Fonts, DefaultChineseFaceFallsBackToAnInstalledFamily)
{
    const std::wstring family = ui::ResolveFontFamily(ui::kDefaultFontFace);
    EXPECT_TRUE(SystemHas(family.c_str())) << "not installed";
    if (!SystemHas(ui::kDefaultFontFace) && !SystemHas(L"Microsoft YaHei")) {
        // Wine with fonts-wqy-microhei: the CJK family comes first.
        EXPECT_EQ(L"WenQuanYi Micro Hei", family);
    }
    // Installed faces stay as they are; unknown Latin faces get an installed one.
    EXPECT_EQ(L"DejaVu Serif", ui::ResolveFontFamily(L"DejaVu Serif"));
    std::wstring latin = ui::ResolveFontFamily(L"No Such Face Anywhere");
    EXPECT_TRUE(SystemHas(latin.c_str())) << "fallback not installed";

    // The default font draws Chinese text.
    ui::FontManager fm;
    ui::tagTFontInfo* def = fm.GetFont(0);
    ASSERT_NE(nullptr, def);
    ASSERT_NE(nullptr, def->textFormat);
    EXPECT_EQ(family, FamilyOf(def));
    int w = 1000, h = 200;
    fm.MeasureText(w, h, L"\x5B89\x88C5\x5B8C\x6210", 0, DT_SINGLELINE, 0.0f); // 安装完成
    EXPECT_GT(w, 30);
    EXPECT_GT(h, 10);
    EXPECT_LT(h, 40);
}

TEST_F(Fonts, SpecsDeriveFromABaseFont)
{
    ui::FontManager fm;
    ui::tagTFontInfo* f0 = fm.AddFont(1.0f, L"DejaVu Sans", 12, false, false, false, false);
    ui::tagTFontInfo* f1 = fm.AddFont(1.0f, L"DejaVu Serif", 20, false, false, true, false);

    ui::tagTFontInfo* s = fm.AddFontFromSpec(L"size='16' bold='true'");
    ASSERT_NE(nullptr, s);
    EXPECT_STREQ(L"DejaVu Sans", s->face);
    EXPECT_EQ(16, s->size);
    EXPECT_TRUE(s->bold);
    EXPECT_EQ(s, fm.AddFontFromSpec(L"bold='true' size='16'"));

    ui::tagTFontInfo* t = fm.AddFontFromSpec(L"id='1' italic='false' underline='true' other='x'");
    ASSERT_NE(nullptr, t);
    EXPECT_STREQ(L"DejaVu Serif", t->face);
    EXPECT_EQ(20, t->size);
    EXPECT_FALSE(t->italic);
    EXPECT_TRUE(t->underline);

    ui::tagTFontInfo* n = fm.AddFontFromSpec(L"name='DejaVu Sans Mono' strikeout='true'");
    ASSERT_NE(nullptr, n);
    EXPECT_STREQ(L"DejaVu Sans Mono", n->face);
    EXPECT_TRUE(n->strikeout);

    // Parsing stops at the first malformed pair and keeps what it read.
    EXPECT_EQ(f1, fm.AddFontFromSpec(L"id='1' size=16 bold='true'"));
    EXPECT_EQ(f0, fm.AddFontFromSpec(L"id='-4' bold='true"));
    EXPECT_EQ(f0, fm.AddFontFromSpec(L""));
    EXPECT_EQ(f0, fm.AddFontFromSpec(nullptr));
}

TEST_F(Fonts, RescaleKeepsEveryIndex)
{
    ui::FontManager fm;
    fm.AddFont(1.0f, L"DejaVu Sans", 12, false, false, false, false);
    fm.AddFont(1.0f, L"DejaVu Serif", 14, true, false, false, false);
    fm.AddFont(1.0f, L"DejaVu Sans Mono", 9, false, false, true, false);
    fm.Rescale(1.5f);
    EXPECT_EQ(1.5f, fm.GetScale());
    ASSERT_EQ(3u, fm.GetFontCount());
    const wchar_t* faces[] = {L"DejaVu Sans", L"DejaVu Serif", L"DejaVu Sans Mono"};
    const int sizes[] = {12, 14, 9};
    for (int i = 0; i < 3; ++i) {
        ui::tagTFontInfo* f = fm.GetFont(i);
        ASSERT_NE(nullptr, f);
        EXPECT_EQ(i, f->index);
        EXPECT_STREQ(faces[i], f->face);
        EXPECT_EQ(1.5f, f->scale);
        EXPECT_EQ(static_cast<LONG>(-sizes[i] * 1.5f), LogFontOf(f).lfHeight);
        std::wstring key = ui::FontManager::MakeFontKey(f->face, f->size, f->scale, f->bold, f->underline,
                                                        f->italic, f->strikeout);
        EXPECT_NE(std::wstring::npos, key.find(L"1.500000|")) << i;
        EXPECT_EQ(f, fm.FindFont(1.5f, faces[i], sizes[i], f->bold, false, f->italic, false));
    }
    EXPECT_EQ(nullptr, fm.FindFont(1.0f, L"DejaVu Sans", 12, false, false, false, false));
}

TEST_F(Fonts, MeasureText)
{
    ui::FontManager fm;
    fm.AddFont(1.0f, L"DejaVu Sans", 16, false, false, false, false);
    const wchar_t* text = L"The quick brown fox jumps over the lazy dog";

    int w1 = 2000, h1 = 500;
    fm.MeasureText(w1, h1, text, 0, 0x25, 0.0f); // single line, centred
    EXPECT_GT(w1, 200);
    EXPECT_GT(h1, 10);
    EXPECT_LT(h1, 30);

    int w2 = 100, h2 = 500; // wraps inside 100 pixels
    fm.MeasureText(w2, h2, text, 0, 0, 0.0f);
    EXPECT_LE(w2, 100);
    EXPECT_GT(h2, 3 * h1);

    int w3 = 100, h3 = 500; // single line ignores the width for wrapping
    fm.MeasureText(w3, h3, text, 0, DT_SINGLELINE, 0.0f);
    EXPECT_EQ(h1, h3);

    int w4 = 2000, h4 = 500; // 2 px character spacing: 43 characters wider
    fm.MeasureText(w4, h4, text, 0, DT_SINGLELINE, 2.0f);
    EXPECT_NEAR(w1 + 2 * 43, w4, 3);

    int w5 = 77, h5 = 88;
    fm.MeasureText(w5, h5, L"", 0, 0, 0.0f);
    EXPECT_EQ(77, w5);
    EXPECT_EQ(88, h5);

    // Bold text is wider than regular.
    fm.AddFont(1.0f, L"DejaVu Sans", 16, true, false, false, false);
    int w6 = 2000, h6 = 500;
    fm.MeasureText(w6, h6, text, 1, DT_SINGLELINE, 0.0f);
    EXPECT_GT(w6, w1);
}

TEST_F(Fonts, WindowDpi)
{
    EXPECT_EQ(96, ui::GetWindowDpi(nullptr));
    HWND wnd = CreateWindowExW(0, L"STATIC", L"dpi", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, wnd);
    EXPECT_GE(ui::GetWindowDpi(wnd), 96);
    DestroyWindow(wnd);
}

} // namespace
