// Fonts of one window: each both a GDI font and a DirectWrite text format at
// the window's DPI scale, identified by a small index (the markup's font id).
//
// The window core creates one FontManager when it binds its window
// (new ui::FontManager(this, dpiScale)), deletes it at unbind, and calls
// Rescale(newScale) after a DPI change. Look-ups: GetFont(id) for a font id,
// AddFontFromSpec(spec) for an inline "key='value'" spec, AddFont(...) to
// declare or find a font, MeasureText(...) to measure.
#pragma once

#include <windows.h>
#include <dwrite.h>

#include <string>
#include <unordered_map>
#include <vector>

namespace ui {

class WindowCore;

// Face used when nothing else is asked for.
extern const wchar_t kDefaultFontFace[];
constexpr int kDefaultFontSize = 13;

struct tagTFontInfo {
    virtual ~tagTFontInfo();

    int index = 0;
    HFONT hFont = nullptr;
    wchar_t face[LF_FACESIZE] = {};
    int size = 0;      // character height in pixels at 96 DPI
    float scale = 1.0f; // DPI scale the font was built for
    bool bold = false;
    bool underline = false;
    bool italic = false;
    bool strikeout = false;
    IDWriteTextFormat* textFormat = nullptr; // null when DirectWrite failed
};

class FontManager {
public:
    explicit FontManager(WindowCore* core = nullptr, float scale = 1.0f);
    virtual ~FontManager();
    FontManager(const FontManager&) = delete;
    FontManager& operator=(const FontManager&) = delete;

    // The existing font of that key, or a new one; null when GDI refuses it.
    tagTFontInfo* AddFont(float scale, const wchar_t* face, int size, bool bold, bool underline,
                          bool italic, bool strikeout);
    // A font derived from a base font by "id='1' name='Arial' size='16' bold='true' ...".
    tagTFontInfo* AddFontFromSpec(const wchar_t* spec);
    // Negative index -> font 0, past the end -> last font; with no fonts the
    // default font is added at the manager's scale.
    tagTFontInfo* GetFont(int index);
    // The font of exactly that key, or null.
    tagTFontInfo* FindFont(float scale, const wchar_t* face, int size, bool bold, bool underline,
                           bool italic, bool strikeout) const;
    // Measures text with DirectWrite inside the incoming width/height; flags are
    // the DrawText bits (0x1 centre, 0x2 right, 0x4 vcentre, 0x8 bottom, 0x20
    // single line). The size is rounded up to whole pixels, so text drawn in
    // a box of that size keeps its lines. Empty text or no font leaves width
    // and height as they are.
    void MeasureText(int& width, int& height, const wchar_t* text, int fontIndex, UINT flags,
                     float spacing);
    // Recreates every font at a new scale, keeping each font's index.
    void Rescale(float newScale);

    size_t GetFontCount() const { return m_keys.size(); }
    float GetScale() const { return m_scale; }
    void SetScale(float scale) { m_scale = scale; }
    WindowCore* GetCore() const { return m_core; }

    // Key of the font cache: face, size, scale ("%f") and the four flags as
    // "1"/"0" in the order bold, underline, italic, strikeout, separated by
    // '|' so that different fonts never share a key (e.g. face "A1" size 2
    // and face "A" size 12).
    static std::wstring MakeFontKey(const wchar_t* face, int size, float scale, bool bold,
                                    bool underline, bool italic, bool strikeout);

private:
    void DeleteAll();

    WindowCore* m_core;
    float m_scale;
    std::vector<std::wstring> m_keys;
    std::unordered_map<std::wstring, tagTFontInfo*> m_fonts;
};

// The window's DPI: 96 for no window, GetDpiForWindow where user32 has it,
// else the screen's LOGPIXELSX.
int GetWindowDpi(HWND window);

// Sets the font's bold, italic, underline and strike-out on the whole of a
// layout of `length` characters.
void ApplyFlagsToLayout(IDWriteTextLayout* layout, const tagTFontInfo* font, UINT32 length);

// The family DirectWrite should use for a face that is not a private font:
// the face itself when the system collection has it, else an installed
// substitute (the first of "Microsoft YaHei", "WenQuanYi Micro Hei", "Segoe
// UI", "Tahoma", "DejaVu Sans" and "Arial" that exists; Chinese faces try the
// CJK families first). Probed once per face.
std::wstring ResolveFontFamily(const wchar_t* face);
// Forgets the probe results (the factory changed).
void ResetFontFamilyCache();

} // namespace ui
