#include "Corvel/Render/PrivateFonts.h"

#include "Corvel/Core/SkinArchive.h"
#include "Corvel/Core/UiGlobals.h"
#include "support/ZipFixture.h"
#include "Corvel/Render/FontManager.h"
#include "Corvel/Render/support/FontFixture.h"
#include "support/TestPaths.h"
#include "support/Text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

using fontfixture::BuildSfnt;
using fontfixture::DejaVuBytes;
using fontfixture::DejaVuPath;
using fontfixture::NameEntry;
using fontfixture::Utf16Be;

TEST(FontNameReader, ReadsTheNamesOfInstalledFontFiles)
{
    struct Case {
        const wchar_t* file;
        const wchar_t* family;
        const wchar_t* subfamily;
        bool bold, italic, regular;
    } cases[] = {
        {L"DejaVuSans.ttf", L"DejaVu Sans", L"Book", false, false, false},
        {L"DejaVuSans-Bold.ttf", L"DejaVu Sans", L"Bold", true, false, false},
        {L"DejaVuSerif-Italic.ttf", L"DejaVu Serif", L"Italic", false, true, false},
        {L"DejaVuSansMono-BoldOblique.ttf", L"DejaVu Sans Mono", L"Bold Oblique", true, false, false},
    };
    for (const Case& c : cases) {
        ui::FontNameReader reader;
        ASSERT_TRUE(reader.ReadFile(DejaVuPath(c.file).c_str())) << c.file;
        EXPECT_EQ(c.family, reader.GetFamily()) << c.file;
        EXPECT_EQ(c.subfamily, reader.GetName(ui::FontNameReader::kSubfamily)) << c.file;
        EXPECT_EQ(c.bold, reader.IsBold()) << c.file;
        EXPECT_EQ(c.italic, reader.IsItalic()) << c.file;
        EXPECT_EQ(c.regular, reader.IsRegular()) << c.file;
        EXPECT_FALSE(reader.GetName(ui::FontNameReader::kVersion).empty()) << c.file;

        // The same bytes from memory give the same names.
        std::string bytes = DejaVuBytes(c.file);
        ui::FontNameReader mem;
        ASSERT_TRUE(mem.ReadMemory(bytes.data(), bytes.size()));
        for (int id = 0; id < ui::FontNameReader::kNameCount; ++id)
            EXPECT_EQ(reader.GetName(id), mem.GetName(id)) << c.file << " id " << id;
    }
    ui::FontNameReader missing;
    EXPECT_FALSE(missing.ReadFile(L"Z:\\no\\such\\font.ttf"));
    EXPECT_TRUE(missing.GetFamily().empty());
}

TEST(FontNameReader, FirstRecordOfAnIdWinsAndTagCaseIsIgnored)
{
    std::string font = BuildSfnt(
        {
            {1, 1, "MacFamily"},
            {3, 1, Utf16Be(L"WinFamily")},
            {3, 2, Utf16Be(L"Bold Italic")},
            {0, 4, Utf16Be(L"Full \x4E2D")},
            {3, 9, Utf16Be(L"ignored id")},
        },
        "NAME");
    ui::FontNameReader r;
    ASSERT_TRUE(r.ReadMemory(font.data(), font.size()));
    EXPECT_EQ(L"MacFamily", r.GetFamily());
    EXPECT_TRUE(r.IsBold());
    EXPECT_TRUE(r.IsItalic());
    EXPECT_FALSE(r.IsRegular());
    EXPECT_EQ(L"Full \x4E2D", r.GetName(ui::FontNameReader::kFullName));
    EXPECT_FALSE(r.HasName(ui::FontNameReader::kCopyright));

    for (const wchar_t* sub : {L"Normal", L"Standard", L"Regular"}) {
        std::string f = BuildSfnt({{3, 2, Utf16Be(sub)}});
        ui::FontNameReader rr;
        ASSERT_TRUE(rr.ReadMemory(f.data(), f.size()));
        EXPECT_TRUE(rr.IsRegular()) << sub;
        EXPECT_FALSE(rr.IsBold()) << sub;
    }

    std::string noName = BuildSfnt({{3, 1, Utf16Be(L"x")}}, "nama");
    ui::FontNameReader none;
    EXPECT_FALSE(none.ReadMemory(noName.data(), noName.size()));
}

void Put16At(std::string& s, size_t at, uint16_t v)
{
    s[at] = static_cast<char>(v >> 8);
    s[at + 1] = static_cast<char>(v & 0xFF);
}

void Put32At(std::string& s, size_t at, uint32_t v)
{
    Put16At(s, at, static_cast<uint16_t>(v >> 16));
    Put16At(s, at + 2, static_cast<uint16_t>(v & 0xFFFF));
}

TEST(FontNameReader, TruncatedAndHostileBytesNeverReadOutsideTheData)
{
    // Every prefix of a real font up to past its name table: each read is
    // checked, so a cut file fails or yields the names it still holds.
    const std::string real = DejaVuBytes(L"DejaVuSans.ttf");
    ASSERT_GT(real.size(), 1000u);
    ui::FontNameReader whole;
    ASSERT_TRUE(whole.ReadMemory(real.data(), real.size()));
    for (size_t n : {size_t(0), size_t(1), size_t(5), size_t(11), size_t(12), size_t(27), size_t(28), size_t(200)}) {
        // A heap copy of exactly n bytes: an over-read leaves the block.
        std::string cut = real.substr(0, n);
        ui::FontNameReader r;
        EXPECT_FALSE(r.ReadMemory(cut.empty() ? nullptr : &cut[0], cut.size())) << n;
    }
    for (size_t n = real.size() - 4096; n < real.size(); n += 97) {
        std::string cut = real.substr(0, n);
        ui::FontNameReader r;
        r.ReadMemory(&cut[0], cut.size()); // no crash, whatever it finds
    }

    const size_t kNameAt = 12 + 2 * 16 + 16; // after the records and the dummy table
    const std::string good = BuildSfnt({{3, 1, Utf16Be(L"Fine")}, {3, 2, Utf16Be(L"Bold")}});
    struct Damage {
        const char* what;
        size_t at;
        uint32_t value;
        bool wide;
        bool ok;
    } damages[] = {
        {"table count 65535 (name found first)", 4, 0xFFFF, false, true},
        {"name table farKey past the end", 12 + 16 + 8, 0xFFFFFFF0u, true, false},
        {"name table at the last byte", 12 + 16 + 8, 0, true, false}, // filled below
        {"record count 65535", kNameAt + 2, 0xFFFF, false, true},
        {"storage offset 65535", kNameAt + 4, 0xFFFF, false, true},
        {"string length 65535", kNameAt + 6 + 8, 0xFFFF, false, true},
        {"string offset 65535", kNameAt + 6 + 10, 0xFFFF, false, true},
    };
    for (const Damage& d : damages) {
        std::string bad = good;
        uint32_t value = d.value;
        if (std::string(d.what) == "name table at the last byte")
            value = static_cast<uint32_t>(bad.size() - 1);
        if (d.wide)
            Put32At(bad, d.at, value);
        else
            Put16At(bad, d.at, static_cast<uint16_t>(value));
        ui::FontNameReader r;
        EXPECT_EQ(d.ok, r.ReadMemory(&bad[0], bad.size())) << d.what;
    }
    // Many tables and no name table: the walk stops at the end of the data.
    std::string noName = good;
    Put16At(noName, 4, 0xFFFF);
    noName[12 + 16] = 'x';
    ui::FontNameReader nn;
    EXPECT_FALSE(nn.ReadMemory(&noName[0], noName.size()));

    // A damaged first string is skipped, the second still read.
    std::string bad = good;
    Put16At(bad, kNameAt + 6 + 10, 0xFFF0);
    ui::FontNameReader r;
    ASSERT_TRUE(r.ReadMemory(&bad[0], bad.size()));
    EXPECT_FALSE(r.HasName(ui::FontNameReader::kFamily));
    EXPECT_TRUE(r.IsBold());

    // Random garbage of every small size.
    std::string noise;
    for (int i = 0; i < 512; ++i)
        noise.push_back(static_cast<char>((i * 131 + 7) ^ (i >> 2)));
    for (size_t n = 0; n < noise.size(); n += 3) {
        std::string cut = noise.substr(0, n);
        ui::FontNameReader g;
        g.ReadMemory(cut.empty() ? nullptr : &cut[0], cut.size());
    }

    // The same damage through a file.
    testsupport::ScratchDir dir(L"fontname");
    std::string farTable = good;
    Put32At(farTable, 12 + 16 + 8, 0x7FFFFFF0u);
    ASSERT_TRUE(testsupport::WriteFileBytes(dir.File(L"bad.ttf"), farTable));
    ui::FontNameReader f;
    EXPECT_FALSE(f.ReadFile(dir.File(L"bad.ttf").c_str()));
}

TEST(MemFontStream, FragmentsMustLieInsideTheFont)
{
    static const uint8_t data[10] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
    auto* s = new ui::MemFontStream(data, sizeof(data));
    s->AddRef();
    const void* start = nullptr;
    void* ctx = reinterpret_cast<void*>(1);
    EXPECT_EQ(S_OK, s->ReadFileFragment(&start, 9, 1, &ctx));
    EXPECT_EQ(data + 9, start);
    EXPECT_EQ(nullptr, ctx);
    EXPECT_EQ(S_OK, s->ReadFileFragment(&start, 0, 10, &ctx));
    EXPECT_EQ(E_FAIL, s->ReadFileFragment(&start, 10, 1, &ctx));
    EXPECT_EQ(nullptr, start);
    EXPECT_EQ(E_FAIL, s->ReadFileFragment(&start, 2, ~0ull, &ctx)); // wraps in 64 bits
    EXPECT_EQ(E_FAIL, s->ReadFileFragment(&start, ~0ull, 2, &ctx));
    UINT64 size = 0;
    EXPECT_EQ(S_OK, s->GetFileSize(&size));
    EXPECT_EQ(10u, size);
    UINT64 when = 5;
    EXPECT_EQ(E_NOTIMPL, s->GetLastWriteTime(&when));
    EXPECT_EQ(0u, when);
    void* other = nullptr;
    EXPECT_EQ(E_NOINTERFACE, s->QueryInterface(__uuidof(IDWriteFontFileLoader), &other));
    EXPECT_EQ(S_OK, s->QueryInterface(__uuidof(IUnknown), &other));
    s->Release();
    EXPECT_EQ(0u, s->Release());
}

// A factory of its own, so that what a test registers never reaches the
// UI library's shared one.
struct IsolatedFactory {
    IsolatedFactory()
    {
        DWriteCreateFactory(DWRITE_FACTORY_TYPE_ISOLATED, __uuidof(IDWriteFactory),
                            reinterpret_cast<IUnknown**>(&factory));
    }
    ~IsolatedFactory()
    {
        if (factory)
            factory->Release();
    }
    IDWriteFactory* factory = nullptr;
};

TEST(FontLoaders, ARefusedCollectionLoaderTakesTheFileLoaderBackOut)
{
    IsolatedFactory iso;
    ASSERT_NE(nullptr, iso.factory);
    auto* files = new ui::MemFontLoader;
    auto* collections = new ui::MFFontCollectionLoader;
    files->AddRef();
    collections->AddRef();

    // The collection loader is already registered, so the factory refuses
    // it a second time: the pair must not stay half registered.
    ASSERT_EQ(S_OK, iso.factory->RegisterFontCollectionLoader(collections));
    EXPECT_TRUE(FAILED(ui::RegisterFontLoaders(iso.factory, files, collections)));
    EXPECT_TRUE(FAILED(iso.factory->UnregisterFontFileLoader(files))) << "the file loader is still registered";
    ASSERT_EQ(S_OK, iso.factory->UnregisterFontCollectionLoader(collections));

    // A refused file loader registers nothing either.
    ASSERT_EQ(S_OK, iso.factory->RegisterFontFileLoader(files));
    EXPECT_TRUE(FAILED(ui::RegisterFontLoaders(iso.factory, files, collections)));
    EXPECT_TRUE(FAILED(iso.factory->UnregisterFontCollectionLoader(collections)));
    ASSERT_EQ(S_OK, iso.factory->UnregisterFontFileLoader(files));

    // With nothing in the way both are registered.
    EXPECT_EQ(S_OK, ui::RegisterFontLoaders(iso.factory, files, collections));
    EXPECT_EQ(S_OK, iso.factory->UnregisterFontCollectionLoader(collections));
    EXPECT_EQ(S_OK, iso.factory->UnregisterFontFileLoader(files));
    EXPECT_EQ(E_INVALIDARG, ui::RegisterFontLoaders(nullptr, files, collections));

    // The factory holds no reference any more: ours is the last.
    EXPECT_EQ(0u, files->Release());
    EXPECT_EQ(0u, collections->Release());
}

class PrivateFonts : public ::testing::Test {
protected:
    void SetUp() override
    {
        InitUiLibrary(GetModuleHandleW(nullptr));
        ASSERT_NE(nullptr, ui::UiGlobals().dwriteFactory);
    }
    void TearDown() override
    {
        CloseSkinArchive();
        ShutdownUiLibrary();
        // Shutdown released the registry.
        EXPECT_EQ(nullptr, ui::UiGlobals().releasePrivateFonts);
        EXPECT_EQ(nullptr, ui::GetMemFontLoaderForTesting());
        EXPECT_EQ(nullptr, ui::GetFontCollectionLoaderForTesting());
    }

    // True when every file of the family's first font is served by our
    // memory loader (not the system's local file loader).
    static bool ServedFromMemory(IDWriteFontCollection* c, const wchar_t* family)
    {
        UINT32 index = 0;
        BOOL exists = FALSE;
        if (FAILED(c->FindFamilyName(family, &index, &exists)) || !exists)
            return false;
        IDWriteFontFamily* fam = nullptr;
        IDWriteFont* font = nullptr;
        IDWriteFontFace* face = nullptr;
        bool ok = false;
        if (SUCCEEDED(c->GetFontFamily(index, &fam)) && SUCCEEDED(fam->GetFont(0, &font)) &&
            SUCCEEDED(font->CreateFontFace(&face))) {
            UINT32 n = 0;
            face->GetFiles(&n, nullptr);
            IDWriteFontFile* files[4] = {};
            if (n >= 1 && n <= 4 && SUCCEEDED(face->GetFiles(&n, files))) {
                ok = true;
                for (UINT32 i = 0; i < n; ++i) {
                    IDWriteFontFileLoader* loader = nullptr;
                    files[i]->GetLoader(&loader);
                    ok = ok && loader == static_cast<IDWriteFontFileLoader*>(ui::GetMemFontLoaderForTesting());
                    if (loader)
                        loader->Release();
                    files[i]->Release();
                }
            }
        }
        if (face) face->Release();
        if (font) font->Release();
        if (fam) fam->Release();
        return ok;
    }

    static float MeasureWith(IDWriteFontCollection* c, const wchar_t* family, const wchar_t* text)
    {
        IDWriteFactory* f = ui::UiGlobals().dwriteFactory;
        IDWriteTextFormat* format = nullptr;
        if (FAILED(f->CreateTextFormat(family, c, DWRITE_FONT_WEIGHT_NORMAL, DWRITE_FONT_STYLE_NORMAL,
                                       DWRITE_FONT_STRETCH_NORMAL, 20.0f, L"", &format)))
            return -1;
        IDWriteTextLayout* layout = nullptr;
        float w = -1;
        if (SUCCEEDED(f->CreateTextLayout(text, static_cast<UINT32>(wcslen(text)), format, 1000, 100, &layout))) {
            DWRITE_TEXT_METRICS m{};
            if (SUCCEEDED(layout->GetMetrics(&m)))
                w = m.width;
            layout->Release();
        }
        format->Release();
        return w;
    }
};

TEST_F(PrivateFonts, FontFromMemoryIsUsableByDirectWriteAndMeasuresText)
{
    const std::string bytes = DejaVuBytes(L"DejaVuSansMono.ttf");
    ASSERT_FALSE(bytes.empty());
    IDWriteFontCollection* c = ui::LoadPrivateFontFromMemory(L"SkinMono", L"fonts/mono.ttf", bytes.data(), bytes.size());
    ASSERT_NE(nullptr, c);
    EXPECT_EQ(&ui::ReleasePrivateFonts, ui::UiGlobals().releasePrivateFonts);
    EXPECT_EQ(1u, c->GetFontFamilyCount());
    EXPECT_TRUE(ServedFromMemory(c, L"DejaVu Sans Mono"));
    std::wstring family;
    EXPECT_EQ(c, ui::FindPrivateFontCollection(L"SkinMono", &family));
    EXPECT_EQ(L"DejaVu Sans Mono", family);
    // Monospaced: ten characters are ten times one.
    float one = MeasureWith(c, family.c_str(), L"W");
    float ten = MeasureWith(c, family.c_str(), L"iiiiiiiiii");
    ASSERT_GT(one, 5.0f);
    EXPECT_NEAR(one * 10, ten, 0.5f);

    // The same face again: the same collection, nothing new registered.
    EXPECT_EQ(c, ui::LoadPrivateFontFromMemory(L"SkinMono", L"other", bytes.data(), bytes.size()));
    EXPECT_EQ(c, ui::LoadPrivateFont(L"SkinMono", L"whatever.ttf"));

    // The font manager builds its text formats over the private collection.
    ui::FontManager fonts;
    ui::tagTFontInfo* info = fonts.AddFont(1.0f, L"SkinMono", 20, false, false, false, false);
    ASSERT_NE(nullptr, info);
    ASSERT_NE(nullptr, info->textFormat);
    // GDI knows the private font by its own family name, not the skin's face.
    LOGFONTW lf{};
    GetObjectW(info->hFont, sizeof(lf), &lf);
    EXPECT_STREQ(L"DejaVu Sans Mono", lf.lfFaceName);
    EXPECT_STREQ(L"SkinMono", info->face);
    IDWriteFontCollection* used = nullptr;
    info->textFormat->GetFontCollection(&used);
    EXPECT_EQ(c, used);
    if (used)
        used->Release();
    int w = 1000, h = 100;
    fonts.MeasureText(w, h, L"iiiiiiiiii", info->index, DT_SINGLELINE, 0.0f);
    EXPECT_EQ(static_cast<int>(std::ceil(ten)), w) << "measured sizes round up";
    EXPECT_GT(h, 10);
}

// DejaVu Sans ExtraLight names its family "DejaVu Sans Light" in the name
// table GDI reads and "DejaVu Sans" as its typographic family, which its
// DirectWrite collection lists it under: each is given the name it knows.
TEST_F(PrivateFonts, AFontWithATypographicFamilyOfItsOwnIsFoundByBothNames)
{
    const std::string bytes = DejaVuBytes(L"DejaVuSans-ExtraLight.ttf");
    ASSERT_FALSE(bytes.empty());
    IDWriteFontCollection* c = ui::LoadPrivateFontFromMemory(L"SkinLight", L"fonts/light.ttf", bytes.data(), bytes.size());
    ASSERT_NE(nullptr, c);
    std::wstring family, gdiFamily;
    EXPECT_EQ(c, ui::FindPrivateFontCollection(L"SkinLight", &family, &gdiFamily));
    EXPECT_EQ(L"DejaVu Sans Light", gdiFamily);
    EXPECT_TRUE(ServedFromMemory(c, family.c_str())) << "not in its own collection: " << testsupport::Narrow(family);
    EXPECT_GT(MeasureWith(c, family.c_str(), L"Light"), 5.0f);

    ui::FontManager fonts;
    ui::tagTFontInfo* info = fonts.AddFont(1.0f, L"SkinLight", 20, false, false, false, false);
    ASSERT_NE(nullptr, info);
    ASSERT_NE(nullptr, info->textFormat);
    LOGFONTW lf{};
    GetObjectW(info->hFont, sizeof(lf), &lf);
    EXPECT_STREQ(L"DejaVu Sans Light", lf.lfFaceName);
    wchar_t formatFamily[64] = {};
    ASSERT_TRUE(SUCCEEDED(info->textFormat->GetFontFamilyName(formatFamily, 64)));
    EXPECT_TRUE(ServedFromMemory(c, formatFamily)) << "the text format names a family its collection lacks";
}

TEST_F(PrivateFonts, FontFromTheSkinArchiveInMemory)
{
    const std::string sans = DejaVuBytes(L"DejaVuSerif-Bold.ttf");
    ASSERT_FALSE(sans.empty());
    std::string zip = zipfixture::BuildZip({{"RES/fonts/Title.ttf", sans}, {"RES/empty.ttf", ""}});
    ASSERT_FALSE(zip.empty());
    ASSERT_TRUE(OpenSkinArchive(zip.data(), static_cast<uint32_t>(zip.size())));

    IDWriteFontCollection* c = ui::LoadPrivateFont(L"Title", L"RES\\fonts\\Title.ttf");
    ASSERT_NE(nullptr, c);
    std::wstring family;
    ASSERT_EQ(c, ui::FindPrivateFontCollection(L"Title", &family));
    EXPECT_EQ(L"DejaVu Serif", family);
    EXPECT_TRUE(ServedFromMemory(c, L"DejaVu Serif"));
    EXPECT_GT(MeasureWith(c, family.c_str(), L"Title"), 10.0f);

    // An empty entry, and a name neither in the archive nor on disk: null.
    EXPECT_EQ(nullptr, ui::LoadPrivateFont(L"Empty", L"RES/empty.ttf"));
    EXPECT_EQ(nullptr, ui::LoadPrivateFont(L"Gone", L"RES/fonts/none.ttf"));
    EXPECT_EQ(nullptr, ui::FindPrivateFontCollection(L"Gone", &family));

    // The font manager then uses the system collection with an installed family.
    ui::FontManager fonts;
    ui::tagTFontInfo* info = fonts.AddFont(1.0f, L"Gone", 12, false, false, false, false);
    ASSERT_NE(nullptr, info);
    EXPECT_STREQ(L"Gone", info->face);
    ASSERT_NE(nullptr, info->textFormat);
    IDWriteFontCollection* used = nullptr;
    info->textFormat->GetFontCollection(&used);
    IDWriteFontCollection* system = nullptr;
    ui::UiGlobals().dwriteFactory->GetSystemFontCollection(&system, FALSE);
    EXPECT_EQ(system, used);
    if (used) used->Release();
    if (system) system->Release();
    int w = 500, h = 100;
    fonts.MeasureText(w, h, L"Text", info->index, 0, 0.0f);
    EXPECT_GT(w, 0);
}

TEST_F(PrivateFonts, FontFileOnDiskUnderTheResourcePathOrAsGiven)
{
    testsupport::ScratchDir dir(L"fonts");
    ASSERT_TRUE(testsupport::WriteFileBytes(dir.File(L"Brand.ttf"), DejaVuBytes(L"DejaVuSans-Bold.ttf")));
    SetUiResourcePath((dir.Path() + L"\\").c_str());
    IDWriteFontCollection* c = ui::LoadPrivateFont(L"Brand", L"Brand.ttf");
    SetUiResourcePath(L"");
    ASSERT_NE(nullptr, c);
    std::wstring family;
    ui::FindPrivateFontCollection(L"Brand", &family);
    EXPECT_EQ(L"DejaVu Sans", family);
    EXPECT_GT(MeasureWith(c, family.c_str(), L"Brand"), 10.0f);

    EXPECT_NE(nullptr, ui::LoadPrivateFont(L"Mono", DejaVuPath(L"DejaVuSansMono.ttf").c_str()));
    EXPECT_EQ(nullptr, ui::LoadPrivateFont(L"Nothing", L"Z:\\no\\such.ttf"));
}

TEST_F(PrivateFonts, LoadersAnswerMalformedKeys)
{
    const std::string bytes = DejaVuBytes(L"DejaVuSans.ttf");
    ASSERT_NE(nullptr, ui::LoadPrivateFontFromMemory(L"K", L"k.ttf", bytes.data(), bytes.size()));
    ui::MFFontCollectionLoader* cl = ui::GetFontCollectionLoaderForTesting();
    ui::MemFontLoader* ml = ui::GetMemFontLoaderForTesting();
    ASSERT_NE(nullptr, cl);
    ASSERT_NE(nullptr, ml);
    IDWriteFactory* f = ui::UiGlobals().dwriteFactory;
    const unsigned char six[6] = {};
    IDWriteFontFileEnumerator* e = reinterpret_cast<IDWriteFontFileEnumerator*>(1);
    EXPECT_EQ(E_INVALIDARG, cl->CreateEnumeratorFromKey(f, six, 6, &e));
    EXPECT_EQ(nullptr, e);
    const int32_t farKey = 1000, negative = -1, zero = 0;
    EXPECT_EQ(E_INVALIDARG, cl->CreateEnumeratorFromKey(f, &farKey, 4, &e));
    EXPECT_EQ(E_INVALIDARG, cl->CreateEnumeratorFromKey(f, &negative, 4, &e));
    IDWriteFontFileStream* s = nullptr;
    EXPECT_EQ(E_INVALIDARG, ml->CreateStreamFromKey(six, 6, &s));
    EXPECT_EQ(E_INVALIDARG, ml->CreateStreamFromKey(&farKey, 4, &s));
    ASSERT_EQ(S_OK, ml->CreateStreamFromKey(&zero, 4, &s));
    UINT64 size = 0;
    s->GetFileSize(&size);
    EXPECT_EQ(bytes.size(), size);
    s->Release();
    ASSERT_EQ(S_OK, cl->CreateEnumeratorFromKey(f, &zero, 4, &e));
    BOOL has = FALSE;
    EXPECT_EQ(S_OK, e->MoveNext(&has));
    EXPECT_TRUE(has);
    IDWriteFontFile* file = nullptr;
    EXPECT_EQ(S_OK, e->GetCurrentFontFile(&file));
    if (file) file->Release();
    EXPECT_EQ(S_OK, e->MoveNext(&has));
    EXPECT_FALSE(has);
    EXPECT_EQ(E_FAIL, e->GetCurrentFontFile(&file));
    e->Release();
}

} // namespace
