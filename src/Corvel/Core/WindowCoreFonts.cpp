// Font operations of the window core: thin forwards to the font manager of
// the topmost core, which every window of a tree shares.
#include "Corvel/Core/WindowCore.h"

#include "Corvel/Render/FontManager.h"

namespace ui {

FontManager* WindowCore::GetSharedFontManager() const
{
    const WindowCore* top = this;
    while (top->GetParentCore())
        top = top->GetParentCore();
    return top->GetFontManager();
}

tagTFontInfo* WindowCore::GetDefaultFont()
{
    FontManager* fonts = GetSharedFontManager();
    if (!fonts)
        return nullptr;
    if (fonts->GetFontCount() > 0)
        return fonts->GetFont(0);
    return fonts->AddFont(fonts->GetScale(), kDefaultFontFace, kDefaultFontSize, false, false, false, false);
}

tagTFontInfo* WindowCore::GetFontBySpec(const wchar_t* spec)
{
    FontManager* fonts = GetSharedFontManager();
    return fonts ? fonts->AddFontFromSpec(spec) : nullptr;
}

tagTFontInfo* WindowCore::AddFont(float scale, const wchar_t* face, int size, bool bold, bool underline,
                                  bool italic, bool strikeout)
{
    FontManager* fonts = GetSharedFontManager();
    return fonts ? fonts->AddFont(scale, face, size, bold, underline, italic, strikeout) : nullptr;
}

tagTFontInfo* WindowCore::GetFont(int index)
{
    FontManager* fonts = GetSharedFontManager();
    return fonts ? fonts->GetFont(index) : nullptr;
}

tagTFontInfo* WindowCore::FindFont(float scale, const wchar_t* face, int size, bool bold, bool underline,
                                   bool italic, bool strikeout)
{
    FontManager* fonts = GetSharedFontManager();
    if (!fonts)
        return nullptr;
    if (tagTFontInfo* font = fonts->FindFont(scale, face, size, bold, underline, italic, strikeout))
        return font;
    return fonts->AddFont(scale, face, size, bold, underline, italic, strikeout);
}

void WindowCore::MeasureText(int& width, int& height, const wchar_t* text, int fontIndex, UINT flags,
                             float spacing)
{
    if (FontManager* fonts = GetSharedFontManager())
        fonts->MeasureText(width, height, text, fontIndex, flags, spacing);
}

} // namespace ui
