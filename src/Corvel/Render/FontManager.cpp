#include "Corvel/Render/FontManager.h"

#include "Corvel/Core/UiGlobals.h"
#include "Corvel/Render/PrivateFonts.h"

#include <dwrite_1.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cwchar>
#include <mutex>

namespace ui {

const wchar_t kDefaultFontFace[] = L"\x5FAE\x8F6F\x96C5\x9ED1"; // 微软雅黑

namespace {

template <typename T>
void SafeRelease(T*& p)
{
    if (p) {
        p->Release();
        p = nullptr;
    }
}

// Face cut to the LOGFONTW limit (31 characters plus terminator).
std::wstring TruncatedFace(const wchar_t* face)
{
    std::wstring f = face ? face : L"";
    if (f.size() > LF_FACESIZE - 1)
        f.resize(LF_FACESIZE - 1);
    return f;
}

bool SystemHasFamily(IDWriteFactory* factory, const wchar_t* family)
{
    if (!factory || !family || !*family)
        return false;
    IDWriteFontCollection* system = nullptr;
    if (FAILED(factory->GetSystemFontCollection(&system, FALSE)) || !system)
        return false;
    UINT32 index = 0;
    BOOL exists = FALSE;
    HRESULT hr = system->FindFamilyName(family, &index, &exists);
    system->Release();
    return SUCCEEDED(hr) && exists;
}

bool LooksChinese(const std::wstring& face)
{
    for (wchar_t ch : face) {
        if (ch >= 0x2E80 && ch <= 0x9FFF)
            return true;
    }
    static const wchar_t* const kNames[] = {L"Microsoft YaHei", L"SimSun", L"SimHei", L"NSimSun",
                                            L"KaiTi", L"FangSong", L"Microsoft JhengHei", L"DengXian"};
    for (const wchar_t* n : kNames) {
        if (_wcsicmp(face.c_str(), n) == 0)
            return true;
    }
    return false;
}

std::mutex gFamilyLock;
std::unordered_map<std::wstring, std::wstring>& FamilyCache()
{
    static std::unordered_map<std::wstring, std::wstring> cache;
    return cache;
}


} // namespace

void ApplyFlagsToLayout(IDWriteTextLayout* layout, const tagTFontInfo* font, UINT32 length)
{
    const DWRITE_TEXT_RANGE all = {0, length};
    if (font->strikeout)
        layout->SetStrikethrough(TRUE, all);
    if (font->bold)
        layout->SetFontWeight(DWRITE_FONT_WEIGHT_BOLD, all);
    if (font->italic)
        layout->SetFontStyle(DWRITE_FONT_STYLE_ITALIC, all);
    if (font->underline)
        layout->SetUnderline(TRUE, all);
}

tagTFontInfo::~tagTFontInfo()
{
    if (hFont)
        DeleteObject(hFont);
    SafeRelease(textFormat);
}

std::wstring ResolveFontFamily(const wchar_t* face)
{
    std::wstring f = face ? face : L"";
    IDWriteFactory* factory = UiGlobals().dwriteFactory;
    if (!factory)
        return f;
    {
        std::lock_guard<std::mutex> lock(gFamilyLock);
        auto it = FamilyCache().find(f);
        if (it != FamilyCache().end())
            return it->second;
    }
    std::wstring result = f;
    if (!SystemHasFamily(factory, f.c_str())) {
        static const wchar_t* const kChinese[] = {L"Microsoft YaHei", L"WenQuanYi Micro Hei", L"SimSun",
                                                  L"Noto Sans CJK SC", L"Segoe UI", L"DejaVu Sans", L"Arial"};
        static const wchar_t* const kLatin[] = {L"Segoe UI", L"Tahoma", L"Arial", L"DejaVu Sans",
                                                L"Microsoft YaHei", L"WenQuanYi Micro Hei"};
        bool chinese = f.empty() || LooksChinese(f);
        const wchar_t* const* list = chinese ? kChinese : kLatin;
        size_t n = chinese ? sizeof(kChinese) / sizeof(kChinese[0]) : sizeof(kLatin) / sizeof(kLatin[0]);
        for (size_t i = 0; i < n; ++i) {
            if (SystemHasFamily(factory, list[i])) {
                result = list[i];
                break;
            }
        }
    }
    std::lock_guard<std::mutex> lock(gFamilyLock);
    FamilyCache()[f] = result;
    return result;
}

void ResetFontFamilyCache()
{
    std::lock_guard<std::mutex> lock(gFamilyLock);
    FamilyCache().clear();
}

int GetWindowDpi(HWND window)
{
    if (!window)
        return 96;
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    // Looked up once per process; static initialisation is thread-safe.
    static const GetDpiForWindowFn getDpi = []() -> GetDpiForWindowFn {
        HMODULE user32 = GetModuleHandleW(L"user32.dll");
        if (!user32)
            return nullptr;
        return reinterpret_cast<GetDpiForWindowFn>(
            reinterpret_cast<void*>(GetProcAddress(user32, "GetDpiForWindow")));
    }();
    if (getDpi) {
        UINT dpi = getDpi(window);
        if (dpi)
            return static_cast<int>(dpi);
    }
    int dpi = 96;
    if (HDC screen = GetDC(nullptr)) {
        dpi = GetDeviceCaps(screen, LOGPIXELSX);
        ReleaseDC(nullptr, screen);
    }
    return dpi > 0 ? dpi : 96;
}

FontManager::FontManager(WindowCore* core, float scale)
    : m_core(core)
    , m_scale(scale > 0.0f ? scale : 1.0f)
{
}

FontManager::~FontManager()
{
    DeleteAll();
}

void FontManager::DeleteAll()
{
    for (auto& kv : m_fonts)
        delete kv.second;
    m_fonts.clear();
    m_keys.clear();
}

std::wstring FontManager::MakeFontKey(const wchar_t* face, int size, float scale, bool bold,
                                      bool underline, bool italic, bool strikeout)
{
    wchar_t tail[96];
    swprintf(tail, sizeof(tail) / sizeof(tail[0]), L"|%d|%f|%c%c%c%c", size, static_cast<double>(scale),
             bold ? L'1' : L'0', underline ? L'1' : L'0', italic ? L'1' : L'0', strikeout ? L'1' : L'0');
    return TruncatedFace(face) + tail;
}

tagTFontInfo* FontManager::FindFont(float scale, const wchar_t* face, int size, bool bold,
                                    bool underline, bool italic, bool strikeout) const
{
    auto it = m_fonts.find(MakeFontKey(face, size, scale, bold, underline, italic, strikeout));
    return it == m_fonts.end() ? nullptr : it->second;
}

tagTFontInfo* FontManager::AddFont(float scale, const wchar_t* face, int size, bool bold,
                                   bool underline, bool italic, bool strikeout)
{
    const std::wstring faceText = TruncatedFace(face);
    const std::wstring key = MakeFontKey(faceText.c_str(), size, scale, bold, underline, italic, strikeout);
    auto found = m_fonts.find(key);
    if (found != m_fonts.end())
        return found->second;

    // A private font is known to GDI and DirectWrite by its own family names
    // (GDI's from its name table, DirectWrite's from its collection); any
    // other face not installed is replaced by an installed family.
    std::wstring family;
    std::wstring gdiFamily;
    IDWriteFontCollection* collection = FindPrivateFontCollection(faceText.c_str(), &family, &gdiFamily);
    if (!collection || family.empty())
        family = collection ? faceText : ResolveFontFamily(faceText.c_str());
    if (!collection || gdiFamily.empty())
        gdiFamily = family;

    LOGFONTW lf{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
    std::wstring gdiFace = TruncatedFace(gdiFamily.c_str());
    wcsncpy(lf.lfFaceName, gdiFace.c_str(), LF_FACESIZE - 1);
    lf.lfFaceName[LF_FACESIZE - 1] = L'\0';
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfHeight = static_cast<LONG>(-static_cast<float>(size) * scale);
    if (bold)
        lf.lfWeight = FW_BOLD;
    if (underline)
        lf.lfUnderline = TRUE;
    if (italic)
        lf.lfItalic = TRUE;
    if (strikeout)
        lf.lfStrikeOut = TRUE;
    HFONT hFont = CreateFontIndirectW(&lf);
    if (!hFont)
        return nullptr;

    auto* info = new tagTFontInfo;
    info->index = static_cast<int>(m_keys.size());
    info->hFont = hFont;
    wcsncpy(info->face, faceText.c_str(), LF_FACESIZE - 1);
    info->face[LF_FACESIZE - 1] = L'\0';
    info->size = size;
    info->scale = scale;
    info->bold = bold;
    info->underline = underline;
    info->italic = italic;
    info->strikeout = strikeout;
    m_keys.push_back(key);
    m_fonts.emplace(key, info);

    if (IDWriteFactory* factory = UiGlobals().dwriteFactory) {
        HRESULT hr = factory->CreateTextFormat(
            family.c_str(), collection, bold ? DWRITE_FONT_WEIGHT_BOLD : DWRITE_FONT_WEIGHT_NORMAL,
            italic ? DWRITE_FONT_STYLE_ITALIC : DWRITE_FONT_STYLE_NORMAL, DWRITE_FONT_STRETCH_NORMAL,
            static_cast<float>(size) * scale, L"", &info->textFormat);
        if (FAILED(hr))
            info->textFormat = nullptr;
    }
    return info;
}

tagTFontInfo* FontManager::GetFont(int index)
{
    if (m_keys.empty())
        return AddFont(m_scale, kDefaultFontFace, kDefaultFontSize, false, false, false, false);
    if (index < 0)
        index = 0;
    if (static_cast<size_t>(index) >= m_keys.size())
        index = static_cast<int>(m_keys.size()) - 1;
    auto it = m_fonts.find(m_keys[static_cast<size_t>(index)]);
    return it == m_fonts.end() ? nullptr : it->second;
}

tagTFontInfo* FontManager::AddFontFromSpec(const wchar_t* spec)
{
    bool hasId = false, hasName = false, hasSize = false;
    bool hasBold = false, hasUnderline = false, hasItalic = false, hasStrike = false;
    int id = -1, size = 0;
    bool bold = false, underline = false, italic = false, strike = false;
    std::wstring name;

    const wchar_t* p = spec ? spec : L"";
    for (;;) {
        while (*p == L' ')
            ++p;
        if (!*p)
            break;
        const wchar_t* keyStart = p;
        while (*p > L' ' && *p != L'=')
            ++p;
        if (*p != L'=' || p == keyStart)
            break;
        std::wstring key(keyStart, p);
        ++p;
        if (*p != L'\'')
            break;
        ++p;
        const wchar_t* valueStart = p;
        while (*p && *p != L'\'')
            ++p;
        if (*p != L'\'')
            break;
        std::wstring value(valueStart, p);
        ++p;
        if (key == L"id") {
            hasId = true;
            id = static_cast<int>(wcstol(value.c_str(), nullptr, 10));
        } else if (key == L"name") {
            hasName = true;
            name = value;
        } else if (key == L"size") {
            hasSize = true;
            size = static_cast<int>(wcstol(value.c_str(), nullptr, 10));
        } else if (key == L"bold") {
            hasBold = true;
            bold = value == L"true";
        } else if (key == L"underline") {
            hasUnderline = true;
            underline = value == L"true";
        } else if (key == L"italic") {
            hasItalic = true;
            italic = value == L"true";
        } else if (key == L"strikeout") {
            hasStrike = true;
            strike = value == L"true";
        }
    }

    tagTFontInfo* base = GetFont(hasId && id >= 0 ? id : 0);
    std::wstring face = base ? base->face : kDefaultFontFace;
    int fontSize = base ? base->size : kDefaultFontSize;
    float scale = base ? base->scale : m_scale;
    bool b = base && base->bold, u = base && base->underline, i = base && base->italic,
         s = base && base->strikeout;
    if (hasName)
        face = name;
    if (hasSize)
        fontSize = size;
    if (hasBold)
        b = bold;
    if (hasUnderline)
        u = underline;
    if (hasItalic)
        i = italic;
    if (hasStrike)
        s = strike;
    return AddFont(scale, face.c_str(), fontSize, b, u, i, s);
}

void FontManager::MeasureText(int& width, int& height, const wchar_t* text, int fontIndex, UINT flags,
                              float spacing)
{
    if (!text || !*text)
        return;
    tagTFontInfo* font = GetFont(fontIndex);
    IDWriteFactory* factory = UiGlobals().dwriteFactory;
    if (!font || !font->textFormat || !factory)
        return;
    const UINT32 length = static_cast<UINT32>(wcslen(text));
    IDWriteTextLayout* layout = nullptr;
    if (FAILED(factory->CreateTextLayout(text, length, font->textFormat, static_cast<float>(width),
                                         static_cast<float>(height), &layout)) || !layout)
        return;

    if (spacing > 0.0f) {
        IDWriteTextLayout1* layout1 = nullptr;
        if (SUCCEEDED(layout->QueryInterface(__uuidof(IDWriteTextLayout1), reinterpret_cast<void**>(&layout1))) &&
            layout1) {
            FLOAT leading = 0, trailing = 0, minAdvance = 0;
            layout1->GetCharacterSpacing(0, &leading, &trailing, &minAdvance);
            layout1->SetCharacterSpacing(leading + spacing / 2.0f, trailing + spacing / 2.0f, minAdvance,
                                         DWRITE_TEXT_RANGE{0, length});
            layout1->Release();
        }
    }
    ApplyFlagsToLayout(layout, font, length);

    if (flags & DT_SINGLELINE)
        layout->SetWordWrapping(DWRITE_WORD_WRAPPING_NO_WRAP);
    if (flags & DT_CENTER)
        layout->SetTextAlignment(DWRITE_TEXT_ALIGNMENT_CENTER);
    if (flags & DT_RIGHT)
        layout->SetTextAlignment(DWRITE_TEXT_ALIGNMENT_TRAILING);
    if (flags & DT_VCENTER)
        layout->SetParagraphAlignment(DWRITE_PARAGRAPH_ALIGNMENT_CENTER);
    if (flags & DT_BOTTOM)
        layout->SetParagraphAlignment(DWRITE_PARAGRAPH_ALIGNMENT_FAR);

    DWRITE_TEXT_METRICS metrics{};
    if (SUCCEEDED(layout->GetMetrics(&metrics))) {
        // Rounded up: a box of the measured size holds the layout, so the
        // text drawn in it neither wraps nor loses a line.
        width = static_cast<int>(std::ceil(metrics.width));
        height = static_cast<int>(std::ceil(metrics.height));
    }
    layout->Release();
}

void FontManager::Rescale(float newScale)
{
    std::vector<tagTFontInfo*> old;
    old.reserve(m_fonts.size());
    for (auto& kv : m_fonts)
        old.push_back(kv.second);
    m_fonts.clear();
    m_keys.clear();
    std::sort(old.begin(), old.end(), [](const tagTFontInfo* a, const tagTFontInfo* b) { return a->index < b->index; });
    m_scale = newScale;
    for (tagTFontInfo* f : old) {
        AddFont(newScale, f->face, f->size, f->bold, f->underline, f->italic, f->strikeout);
        delete f;
    }
}

} // namespace ui
