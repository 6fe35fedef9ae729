// Text drawing of the render target: DrawText (one font, one brush) and
// DrawBlurredText (brace-tagged runs), both through DirectWrite layouts,
// with an optional glow behind the text. UI thread only.
#include "Corvel/Render/RenderTarget.h"

#include <objbase.h>
#include <gdiplus.h>
#include <dwrite_1.h>
#include <wrl/client.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "Corvel/Core/UiGlobals.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Render/Effects.h"
#include "Corvel/Render/FontManager.h"
#include "Corvel/Render/LayerBlur.h"
#include "Corvel/Render/PrivateFonts.h"
#include "Corvel/Render/TextDrawing.h"
#include "Corvel/Render/TextLayoutCache.h"

using Microsoft::WRL::ComPtr;

namespace ui {

namespace {

// Standard deviation of the glow at 96 DPI; it grows with the window's scale.
constexpr float kGlowDeviation = 1.5f;
// The GDI+ glow is a box blur, wider downwards than sideways.
// The GDI+ text brush is never fully transparent or opaque: an alpha of 0
// or 255 becomes this, so text of an unset (transparent) colour still shows
// over its glow.
constexpr BYTE kGdiplusTextAlpha = 254;
// Uniform line spacing puts the baseline at this share of the line.
constexpr float kBaselineShare = 0.8f;
// Character spacing counts above these many pixels at 96 DPI.
constexpr float kPlainSpacingThreshold = 1.0f;
constexpr float kTaggedSpacingThreshold = 0.0f;
// A line fits while its bottom overhangs the rectangle by less than a pixel:
// measured sizes are whole pixels, cut from the layout's fractional ones.
constexpr float kLineFitSlack = 1.0f;
// Ellipsis trimming of DrawText: by character, with a delimiter (U+0001)
// that text does not hold, so the trimming ends at the last character.
constexpr DWRITE_TRIMMING kPlainTrimming = {DWRITE_TRIMMING_GRANULARITY_CHARACTER, 1, 10};
constexpr DWRITE_TRIMMING kTaggedTrimming = {DWRITE_TRIMMING_GRANULARITY_CHARACTER, 0, 0};
// Layouts kept per target: a few screens of distinct texts.
constexpr size_t kCachedLayouts = 512;
// Font styles the layout applies itself, kept in the cache key above the
// DrawText bits.
constexpr unsigned kKeyUnderline = 1u << 30;
constexpr unsigned kKeyStrikeout = 1u << 31;

// Which of two alignment bits wins when both are set.
enum class AlignmentOrder { LaterWins, FirstWins };

// What the layout of one call is built with.
struct TextSettings {
    const tagTFontInfo* font = nullptr;
    float width = 0.0f;
    float height = 0.0f;
    UINT format = 0;
    float characterSpacing = 0.0f;  // 0: not applied
    float lineSpacing = 0.0f;
    AlignmentOrder alignment = AlignmentOrder::LaterWins;
    DWRITE_TRIMMING trimming = kPlainTrimming;
};

tagTFontInfo* FontOfCore(WindowCore* core, int fontId) { return core ? core->GetFont(fontId) : nullptr; }

TextSettings MakeSettings(const tagTFontInfo* font, const RECTF& rect, UINT format, float lineSpacing,
                          float characterSpacing)
{
    TextSettings s;
    s.font = font;
    s.width = rect.Width();
    s.height = rect.Height();
    s.format = format;
    s.characterSpacing = characterSpacing;
    s.lineSpacing = lineSpacing;
    return s;
}

// The spacing to apply (0 for none): spacing is in pixels of the window,
// the threshold in pixels at 96 DPI.
float SpacingThatCounts(float spacing, float scale, float threshold)
{
    const float unscaled = scale > 0.0f ? spacing / scale : spacing;
    return unscaled > threshold ? spacing : 0.0f;
}

DWRITE_TEXT_RANGE WholeText(UINT32 length)
{
    return DWRITE_TEXT_RANGE{0, length};
}

// Adds spacing / 2 to both sides of every character of range.
void AddCharacterSpacing(IDWriteTextLayout* layout, float spacing, DWRITE_TEXT_RANGE range, bool addToCurrent)
{
    ComPtr<IDWriteTextLayout1> layout1;
    if (FAILED(layout->QueryInterface(__uuidof(IDWriteTextLayout1), reinterpret_cast<void**>(layout1.GetAddressOf()))))
        return;
    FLOAT leading = 0.0f, trailing = 0.0f, minimumAdvance = 0.0f;
    layout1->GetCharacterSpacing(range.startPosition, &leading, &trailing, &minimumAdvance);
    if (!addToCurrent)
        leading = trailing = 0.0f;
    layout1->SetCharacterSpacing(leading + spacing / 2.0f, trailing + spacing / 2.0f, minimumAdvance, range);
}

void ApplyLineSettings(IDWriteTextLayout* layout, const TextSettings& s)
{
    if (s.format & DT_SINGLELINE) {
        layout->SetWordWrapping(DWRITE_WORD_WRAPPING_NO_WRAP);
    } else if (s.lineSpacing > 0.0f) {
        const float line = static_cast<float>(s.font->size) * s.font->scale + s.lineSpacing;
        layout->SetLineSpacing(DWRITE_LINE_SPACING_METHOD_UNIFORM, line, line * kBaselineShare);
    }
}

void ApplyAlignment(IDWriteTextLayout* layout, UINT format, AlignmentOrder order)
{
    UINT horizontal = format & (DT_CENTER | DT_RIGHT);
    UINT vertical = format & (DT_VCENTER | DT_BOTTOM);
    if (horizontal == (DT_CENTER | DT_RIGHT))
        horizontal = order == AlignmentOrder::LaterWins ? DT_RIGHT : DT_CENTER;
    if (vertical == (DT_VCENTER | DT_BOTTOM))
        vertical = order == AlignmentOrder::LaterWins ? DT_BOTTOM : DT_VCENTER;
    if (horizontal == DT_CENTER)
        layout->SetTextAlignment(DWRITE_TEXT_ALIGNMENT_CENTER);
    else if (horizontal == DT_RIGHT)
        layout->SetTextAlignment(DWRITE_TEXT_ALIGNMENT_TRAILING);
    if (vertical == DT_VCENTER)
        layout->SetParagraphAlignment(DWRITE_PARAGRAPH_ALIGNMENT_CENTER);
    else if (vertical == DT_BOTTOM)
        layout->SetParagraphAlignment(DWRITE_PARAGRAPH_ALIGNMENT_FAR);
}

void ApplyEllipsis(IDWriteFactory* factory, IDWriteTextLayout* layout, const DWRITE_TRIMMING& trimming)
{
    ComPtr<IDWriteInlineObject> sign;
    if (SUCCEEDED(factory->CreateEllipsisTrimmingSign(layout, sign.GetAddressOf())))
        layout->SetTrimming(&trimming, sign.Get());
}

// The layout of text with the settings that apply to the whole text.
ComPtr<IDWriteTextLayout> BuildLayout(const std::wstring& text, const TextSettings& s)
{
    ComPtr<IDWriteTextLayout> layout;
    IDWriteFactory* factory = UiGlobals().dwriteFactory;
    const UINT32 length = static_cast<UINT32>(text.size());
    if (!factory || FAILED(factory->CreateTextLayout(text.c_str(), length, s.font->textFormat, s.width, s.height,
                                                     layout.GetAddressOf())))
        return nullptr;
    if (s.characterSpacing > 0.0f)
        AddCharacterSpacing(layout.Get(), s.characterSpacing, WholeText(length), true);
    ApplyFlagsToLayout(layout.Get(), s.font, length);
    ApplyLineSettings(layout.Get(), s);
    ApplyAlignment(layout.Get(), s.format, s.alignment);
    if (s.format & DT_END_ELLIPSIS)
        ApplyEllipsis(factory, layout.Get(), s.trimming);
    return layout;
}

// Characters of the leading lines whose bottom lies within maxHeight (the
// lines counted from the top, whatever the vertical alignment); the whole
// length when the layout has a single line.
UINT32 CharactersOnLinesThatFit(IDWriteTextLayout* layout, UINT32 length, float maxHeight)
{
    UINT32 count = 0;
    layout->GetLineMetrics(nullptr, 0, &count);
    if (count <= 1)
        return length;
    std::vector<DWRITE_LINE_METRICS> lines(count);
    if (FAILED(layout->GetLineMetrics(lines.data(), count, &count)))
        return length;
    UINT32 fit = 0;
    float bottom = 0.0f;
    for (const DWRITE_LINE_METRICS& line : lines) {
        bottom += line.height;
        if (!(line.height > 0.0f) || bottom > maxHeight + kLineFitSlack)
            break;
        fit += line.length;
    }
    return std::min(fit, length);
}

// A wrapped text with more lines than fit in the rectangle keeps the lines
// that fit, minus their last character, and ends in the cut mark; while the
// mark itself pushes a line out, one more character goes.
ComPtr<IDWriteTextLayout> LayoutCutToFit(const std::wstring& text, const TextSettings& s)
{
    ComPtr<IDWriteTextLayout> layout = BuildLayout(text, s);
    if (!layout || (s.format & DT_SINGLELINE))
        return layout;
    const UINT32 length = static_cast<UINT32>(text.size());
    const UINT32 fit = CharactersOnLinesThatFit(layout.Get(), length, s.height);
    if (fit >= length)
        return layout;
    size_t keep = TextCutLength(text, fit);
    for (;;) {
        const std::wstring cut = text.substr(0, keep) + kTextCutMark;
        layout = BuildLayout(cut, s);
        const UINT32 cutLength = static_cast<UINT32>(cut.size());
        if (!layout || keep == 0 || CharactersOnLinesThatFit(layout.Get(), cutLength, s.height) >= cutLength)
            return layout;
        keep = TextCutLength(text, keep);
    }
}

// ------------------------------------------------------------------- glow

// The layout drawn in the colour into a transparent bitmap of the
// rectangle's size, read back as pixels.
bool RasterizeTextOnCpu(IDWriteTextLayout* layout, uint32_t argb, int width, int height, PixelBuffer& out)
{
    IWICImagingFactory* wic = UiGlobals().wicFactory;
    ID2D1Factory* d2d = UiGlobals().d2dFactory;
    if (!wic || !d2d || width <= 0 || height <= 0)
        return false;
    ComPtr<IWICBitmap> surface;
    ComPtr<ID2D1RenderTarget> target;
    ComPtr<ID2D1SolidColorBrush> brush;
    const D2D1_RENDER_TARGET_PROPERTIES props = D2D1::RenderTargetProperties(
        D2D1_RENDER_TARGET_TYPE_DEFAULT, D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED),
        kDeviceDpi, kDeviceDpi);
    const Color color = Color::MakeArgb(argb);
    if (FAILED(wic->CreateBitmap(static_cast<UINT>(width), static_cast<UINT>(height), GUID_WICPixelFormat32bppPBGRA,
                                 WICBitmapCacheOnLoad, surface.GetAddressOf())) ||
        FAILED(d2d->CreateWicBitmapRenderTarget(surface.Get(), props, target.GetAddressOf())) ||
        FAILED(target->CreateSolidColorBrush(D2D1::ColorF(color.r, color.g, color.b, color.a), brush.GetAddressOf())))
        return false;
    // A transparent surface cannot take sub-pixel (ClearType) text.
    target->SetTextAntialiasMode(D2D1_TEXT_ANTIALIAS_MODE_GRAYSCALE);
    target->BeginDraw();
    target->Clear(D2D1::ColorF(0, 0.0f));
    target->DrawTextLayout(D2D1::Point2F(0.0f, 0.0f), layout, brush.Get(), D2D1_DRAW_TEXT_OPTIONS_NONE);
    if (FAILED(target->EndDraw()))
        return false;
    out.width = width;
    out.height = height;
    out.data.assign(static_cast<size_t>(width) * static_cast<size_t>(height), 0);
    return SUCCEEDED(surface->CopyPixels(nullptr, static_cast<UINT>(width) * 4,
                                         static_cast<UINT>(out.data.size() * 4),
                                         reinterpret_cast<BYTE*>(out.data.data())));
}

// Direct2D's Gaussian blur over the text drawn into a compatible target of
// the rectangle's size; the halo is cut at the rectangle.
void DrawGlowWithEffect(ID2D1RenderTarget* target, ID2D1DeviceContext* dc, IDWriteTextLayout* layout,
                        const RECTF& rect, uint32_t glowArgb, float deviation)
{
    const D2D1_SIZE_F size = D2D1::SizeF(rect.Width(), rect.Height());
    ComPtr<ID2D1BitmapRenderTarget> offscreen;
    ComPtr<ID2D1SolidColorBrush> brush;
    ComPtr<ID2D1Bitmap> text;
    const Color color = Color::MakeArgb(glowArgb);
    if (FAILED(target->CreateCompatibleRenderTarget(size, offscreen.GetAddressOf())) ||
        FAILED(offscreen->CreateSolidColorBrush(D2D1::ColorF(color.r, color.g, color.b, color.a),
                                                brush.GetAddressOf())))
        return;
    offscreen->BeginDraw();
    offscreen->Clear(D2D1::ColorF(0, 0.0f));
    offscreen->DrawTextLayout(D2D1::Point2F(0.0f, 0.0f), layout, brush.Get(), D2D1_DRAW_TEXT_OPTIONS_NONE);
    if (FAILED(offscreen->EndDraw()) || FAILED(offscreen->GetBitmap(text.GetAddressOf())))
        return;
    BlurEffect blur;
    blur.deviation = deviation;
    ID2D1Bitmap* halo = blur.Apply(dc, text.Get());
    if (!halo)
        return;
    const D2D1_RECT_F source = D2D1::RectF(0.0f, 0.0f, size.width, size.height);
    dc->DrawBitmap(halo, D2D1::RectF(rect.left, rect.top, rect.right, rect.bottom), 1.0f,
                   D2D1_INTERPOLATION_MODE_LINEAR, &source);
}

// The layout (without drawing effects: it is drawn in the glow colour)
// blurred behind where the text goes. Needs a device context.
void DrawGlow(RenderTarget& target, IDWriteTextLayout* layout, const RECTF& rect, uint32_t glowArgb, float scale)
{
    ID2D1DeviceContext* dc = target.GetDeviceContext();
    const float deviation = kGlowDeviation * scale;
    if (EffectAvailable(dc, EffectKind::GaussianBlur)) {
        DrawGlowWithEffect(target.GetD2DTarget(), dc, layout, rect, glowArgb, deviation);
        return;
    }
    // Wine has no Gaussian blur effect: the text is rasterised and blurred
    // on the CPU (the layers' box blur), then drawn as a bitmap.
    PixelBuffer halo;
    const int width = static_cast<int>(std::ceil(rect.Width()));
    const int height = static_cast<int>(std::ceil(rect.Height()));
    if (!RasterizeTextOnCpu(layout, glowArgb, width, height, halo))
        return;
    BoxBlurPremultiplied(halo.data.data(), halo.width, halo.height, deviation, false);
    DrawPixelsAt(target.GetD2DTarget(), halo, rect.left, rect.top, 1.0f);
}

// ------------------------------------------------------------ GDI+ path

Gdiplus::StringFormat* NewGdiplusFormat(UINT format)
{
    Gdiplus::StringFormat* result = Gdiplus::StringFormat::GenericTypographic()->Clone();
    if (!result)
        return nullptr;
    if (format & DT_END_ELLIPSIS)
        result->SetTrimming(Gdiplus::StringTrimmingEllipsisCharacter);
    INT flags = result->GetFormatFlags();
    if (format & DT_NOCLIP)
        flags |= Gdiplus::StringFormatFlagsNoClip;
    if (format & DT_SINGLELINE)
        flags |= Gdiplus::StringFormatFlagsNoWrap;
    result->SetFormatFlags(flags);
    result->SetAlignment((format & DT_CENTER)  ? Gdiplus::StringAlignmentCenter
                         : (format & DT_RIGHT) ? Gdiplus::StringAlignmentFar
                                               : Gdiplus::StringAlignmentNear);
    result->SetLineAlignment((format & DT_VCENTER)  ? Gdiplus::StringAlignmentCenter
                             : (format & DT_BOTTOM) ? Gdiplus::StringAlignmentFar
                                                    : Gdiplus::StringAlignmentNear);
    return result;
}

uint32_t GdiplusTextArgb(const GradientStops& stops)
{
    const uint32_t argb = stops.empty() ? 0xFF000000u : stops.front().ToArgb();
    const uint32_t alpha = argb >> 24;
    if (alpha == 0 || alpha == 0xFF)
        return (argb & 0x00FFFFFFu) | (static_cast<uint32_t>(kGdiplusTextAlpha) << 24);
    return argb;
}

// Glowing text on a target without a device context: the text is drawn in
// the glow colour into a GDI+ bitmap, blurred into a black mask, drawn
// again over it in the text colour, and the bitmap goes onto the target's
// GDI device context.
void DrawGlowingTextWithGdiplus(RenderTarget& target, const tagTFontInfo* font, const RECTF& rect,
                                const wchar_t* text, const GradientStops& stops, UINT format, uint32_t glowArgb)
{
    const int width = static_cast<int>(rect.Width());
    const int height = static_cast<int>(rect.Height());
    if (width <= 0 || height <= 0)
        return;
    HDC hdc = target.BeginGdiClip();
    if (!hdc)
        return;
    {
        Gdiplus::Bitmap bitmap(width, height, PixelFormat32bppPARGB);
        Gdiplus::Graphics onBitmap(&bitmap);
        Gdiplus::Graphics onTarget(hdc);
        LOGFONTW lf{};
        const bool described = font->hFont && GetObjectW(font->hFont, sizeof(lf), &lf);
        std::unique_ptr<Gdiplus::Font> gdiplusFont(described ? new Gdiplus::Font(hdc, &lf) : new Gdiplus::Font(hdc));
        std::unique_ptr<Gdiplus::StringFormat> stringFormat(NewGdiplusFormat(format));
        Gdiplus::SolidBrush textBrush{Gdiplus::Color(GdiplusTextArgb(stops))};
        Gdiplus::SolidBrush glowBrush{Gdiplus::Color(glowArgb)};
        const Gdiplus::RectF box(0.0f, 0.0f, static_cast<Gdiplus::REAL>(width), static_cast<Gdiplus::REAL>(height));

        onBitmap.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
        onBitmap.DrawString(text, -1, gdiplusFont.get(), box, stringFormat.get(), &glowBrush);
        BlurTextIntoBlackMask(bitmap, width, height);
        onBitmap.SetTextRenderingHint(Gdiplus::TextRenderingHintAntiAlias);
        onBitmap.DrawString(text, -1, gdiplusFont.get(), box, stringFormat.get(), &textBrush);
        onTarget.DrawImage(&bitmap, rect.left, rect.top);
    }
    target.EndGdiClip(hdc);
}

// ------------------------------------------------------------ tagged runs

void SetRunFace(IDWriteTextLayout* layout, const CUiString& face, DWRITE_TEXT_RANGE range)
{
    std::wstring family;
    if (IDWriteFontCollection* collection = FindPrivateFontCollection(face, &family)) {
        layout->SetFontCollection(collection, range);
        layout->SetFontFamilyName(family.empty() ? face.GetData() : family.c_str(), range);
        return;
    }
    // A face the system lacks would draw nothing: an installed family
    // stands in, as for the fonts themselves.
    layout->SetFontFamilyName(ResolveFontFamily(face).c_str(), range);
}

// Face, size, spacing and style of every run, in the order the runs
// closed, so a later run wins over the characters it shares.
void ApplyRunStyles(IDWriteTextLayout* layout, const std::vector<TextRun>& runs, const tagTFontInfo* font,
                    UINT32 length)
{
    const DWRITE_FONT_WEIGHT formatWeight = font->textFormat->GetFontWeight();
    const DWRITE_FONT_STYLE formatStyle = font->textFormat->GetFontStyle();
    for (const TextRun& run : runs) {
        if (run.start < 0 || run.length <= 0 || static_cast<UINT32>(run.start) >= length)
            continue;
        const DWRITE_TEXT_RANGE range{static_cast<UINT32>(run.start), static_cast<UINT32>(run.length)};
        if (!run.face.IsEmpty())
            SetRunFace(layout, run.face, range);
        if (run.size > 0)
            layout->SetFontSize(static_cast<float>(run.size) * font->scale, range);
        if (run.spacing > 0.0f)
            AddCharacterSpacing(layout, run.spacing, range, false);
        layout->SetFontWeight(run.bold ? DWRITE_FONT_WEIGHT_BOLD : formatWeight, range);
        layout->SetFontStyle(run.italic ? DWRITE_FONT_STYLE_ITALIC : formatStyle, range);
        layout->SetUnderline(run.underline ? TRUE : FALSE, range);
        layout->SetStrikethrough(run.strike ? TRUE : FALSE, range);
    }
}

// The base brush over the whole text, then each run's colour over its
// range. The run brushes are the layout's to keep.
void ApplyRunColours(ID2D1RenderTarget* target, IDWriteTextLayout* layout, ID2D1Brush* textBrush,
                     const std::vector<TextRun>& runs, UINT32 length)
{
    layout->SetDrawingEffect(textBrush, WholeText(length));
    for (const TextRun& run : runs) {
        if (!run.color || run.start < 0 || run.length <= 0 || static_cast<UINT32>(run.start) >= length)
            continue;
        const Color c = Color::MakeArgb(run.color);
        ComPtr<ID2D1SolidColorBrush> brush;
        if (SUCCEEDED(target->CreateSolidColorBrush(D2D1::ColorF(c.r, c.g, c.b, c.a), brush.GetAddressOf())))
            layout->SetDrawingEffect(brush.Get(), {static_cast<UINT32>(run.start), static_cast<UINT32>(run.length)});
    }
}

// The layout of text from the cache, built and kept there on a miss.
// Borrowed from the cache; null when DirectWrite fails.
IDWriteTextLayout* CachedLayout(TextLayoutCache& cache, const wchar_t* text, const TextSettings& settings)
{
    TextLayoutCache::Key key;
    key.text = text;
    key.format = settings.font->textFormat;
    key.width = settings.width;
    key.height = settings.height;
    key.flags = settings.format | (settings.font->underline ? kKeyUnderline : 0u) |
                (settings.font->strikeout ? kKeyStrikeout : 0u);
    key.characterSpacing = settings.characterSpacing;
    key.lineSpacing = settings.lineSpacing;
    if (IDWriteTextLayout* cached = cache.Find(key))
        return cached;
    ComPtr<IDWriteTextLayout> layout = LayoutCutToFit(key.text, settings);
    cache.Put(key, layout.Get());
    return cache.Find(key);
}

} // namespace

void RenderTarget::DrawText(WindowCore* core, const RECTF& rect, const wchar_t* text, const GradientStops& stops,
                            const GradientDirection* direction, int fontId, UINT format, float characterSpacing,
                            float lineSpacing, uint32_t glowArgb)
{
    const tagTFontInfo* font = FontOfCore(core, fontId);
    if (!m_target || !text || !*text || !font)
        return;
    if (glowArgb && !m_deviceContext) {
        DrawGlowingTextWithGdiplus(*this, font, rect, text, stops, format, glowArgb);
        return;
    }
    ID2D1Brush* brush = GetBrush(rect, stops, direction);
    if (!brush || !font->textFormat)
        return;
    const TextSettings settings = MakeSettings(font, rect, format, lineSpacing,
                                               SpacingThatCounts(characterSpacing, core->GetScale(),
                                                                 kPlainSpacingThreshold));
    if (!m_textLayouts)
        m_textLayouts = std::make_unique<TextLayoutCache>(kCachedLayouts);
    IDWriteTextLayout* layout = CachedLayout(*m_textLayouts, text, settings);
    if (!layout)
        return;
    if (glowArgb)
        DrawGlow(*this, layout, rect, glowArgb, core->GetScale());
    m_target->DrawTextLayout(D2D1::Point2F(rect.left, rect.top), layout, brush, D2D1_DRAW_TEXT_OPTIONS_NONE);
}

void RenderTarget::DrawBlurredText(WindowCore* core, const RECTF& rect, const wchar_t* text, uint32_t argb,
                                   int fontId, UINT format, float characterSpacing, float lineSpacing,
                                   uint32_t glowArgb)
{
    if (!m_target || !text)
        return;
    std::wstring plain;
    const std::vector<TextRun> runs = ParseTaggedText(text, plain);
    const tagTFontInfo* font = FontOfCore(core, fontId);
    if (plain.empty() || !font || !font->textFormat)
        return;
    TextSettings settings = MakeSettings(font, rect, format, lineSpacing,
                                         SpacingThatCounts(characterSpacing, core->GetScale(),
                                                           kTaggedSpacingThreshold));
    settings.alignment = AlignmentOrder::FirstWins;
    settings.trimming = kTaggedTrimming;
    ComPtr<IDWriteTextLayout> layout = BuildLayout(plain, settings);
    if (!layout)
        return;
    const UINT32 length = static_cast<UINT32>(plain.size());
    ApplyRunStyles(layout.Get(), runs, font, length);
    if (glowArgb && m_deviceContext)
        DrawGlow(*this, layout.Get(), rect, glowArgb, core->GetScale());
    ID2D1SolidColorBrush* brush = GetSolidBrush(Color::MakeArgb(argb));
    if (!brush)
        return;
    ApplyRunColours(m_target, layout.Get(), brush, runs, length);
    m_target->DrawTextLayout(D2D1::Point2F(rect.left, rect.top), layout.Get(), brush, D2D1_DRAW_TEXT_OPTIONS_NONE);
}

void RenderTarget::DropDeviceContextForTesting()
{
    if (m_deviceContext) {
        m_deviceContext->Release();
        m_deviceContext = nullptr;
    }
}

} // namespace ui
