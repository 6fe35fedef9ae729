// What a control shows: its text with the value template and tooltip that
// follow it, the text-style words, its images, borders, blur and shadow
// settings, and the state names that address its style set.
#include "Corvel/Core/Control.h"

#include <gdiplus.h>

#include <cwchar>

#include "Corvel/Core/StyleValues.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Render/RenderTarget.h"
#include "Corvel/Render/Shapes.h"

namespace ui {

namespace {

// A text ending in this marks where a concrete control puts its value.
constexpr wchar_t kValueMarker[] = L"{v}";
constexpr size_t kValueMarkerLength = 3;
// Tooltip values with a meaning of their own.
constexpr wchar_t kToolTipFollowsText[] = L"content";
constexpr wchar_t kToolTipEmpty[] = L"empty";
constexpr wchar_t kToolTipLineBreak[] = L"<n>";
// Blur radii at or below this are "no blur".
constexpr float kNoBlur = 0.000001f;

bool Contains(const wchar_t* text, const wchar_t* word) { return wcsstr(text, word) != nullptr; }

// Reads a blur spec; a text without key='value' items is the radius.
BlurParams ReadBlurSpec(const wchar_t* spec, const BlurParams& previous)
{
    BlurParams blur = previous;
    KeyValueSpec parsed(spec);
    if (parsed.IsEmpty())
        parsed.SetWholeText(spec);
    parsed.GetBlurParams(blur);
    return blur;
}

} // namespace

// ------------------------------------------------------------------ text

void Control::SetText(const wchar_t* text) { SetText(text, nullptr, nullptr); }

void Control::SetText(const wchar_t* text, const wchar_t* stateNames, const wchar_t* elementName)
{
    const wchar_t* value = text ? text : L"";
    const size_t length = wcslen(value);
    if (m_valueTemplate.IsEmpty() && length >= kValueMarkerLength &&
        wcscmp(value + length - kValueMarkerLength, kValueMarker) == 0)
        m_valueTemplate = CUiString(value, static_cast<int>(length - kValueMarkerLength));
    if (m_toolTipFollowsText)
        m_toolTip = value;

    if ((stateNames && *stateNames) || (elementName && *elementName)) {
        if (!HasStyleSet())
            return;
        SetStyleElementText(value, stateNames, elementName);
    } else {
        if (m_text.Equals(value))
            return;
        const wchar_t* translated = m_core ? m_core->GetString(value) : nullptr;
        m_text = (translated && *translated) ? translated : value;
    }
    FitToText();
    if (m_initialised)
        Repaint();
}

CUiString Control::GetToolTip() const { return m_toolTip; }

void Control::SetToolTip(const wchar_t* text)
{
    const wchar_t* value = text ? text : L"";
    if (wcscmp(value, kToolTipFollowsText) == 0) {
        m_toolTipFollowsText = true;
        m_toolTip = m_text;
        return;
    }
    if (wcscmp(value, kToolTipEmpty) == 0) {
        m_toolTipFollowsText = false;
        m_toolTip.Empty();
        return;
    }
    std::wstring tip(value);
    const size_t markerLength = wcslen(kToolTipLineBreak);
    for (size_t at = tip.find(kToolTipLineBreak); at != std::wstring::npos;
         at = tip.find(kToolTipLineBreak, at + 2))
        tip.replace(at, markerLength, L"\r\n");
    m_toolTip = tip.c_str();
}

void Control::ParseTextStyle(const wchar_t* words)
{
    if (!words)
        return;
    if (Contains(words, L"rich"))
        m_richText = true;
    if (Contains(words, L"html"))
        m_showHtml = true;
    m_textStyle = ApplyAlignWords(m_textStyle, words);
    m_textStyleGiven = true;
    Repaint();
}

RECTF Control::GetScaledTextPadding() const
{
    const float s = GetScale();
    return RECTF{m_textPadding[0] * s, m_textPadding[1] * s, m_textPadding[2] * s, m_textPadding[3] * s};
}

// ---------------------------------------------------------------- images

namespace {

CUiString DescriptorText(const CUiImage& image)
{
    CUiString text(image);
    if (!image.GetOptionSuffix().IsEmpty())
        text.Append(image.GetOptionSuffix());
    return text;
}

} // namespace

CUiString Control::GetBkImage() const { return DescriptorText(m_bkImage); }
CUiString Control::GetForeImage() const { return DescriptorText(m_foreImage); }
CUiString Control::GetDisabledBkImage() const { return DescriptorText(m_disabledBkImage); }

void Control::SetImageDescriptor(CUiImage& image, const wchar_t* text)
{
    const wchar_t* value = text ? text : L"";
    if (image.Equals(value))
        return;
    image.Parse(value, m_bounds.left, m_bounds.top, m_bounds.right, m_bounds.bottom);
    // A network picture repaints the control when it arrives.
    const bool pending = m_core && m_core->BindImageResource(image, this, false);
    if (!pending)
        Repaint();
}

void Control::SetBkImage(const wchar_t* text) { SetImageDescriptor(m_bkImage, text); }
void Control::SetForeImage(const wchar_t* text) { SetImageDescriptor(m_foreImage, text); }
void Control::SetDisabledBkImage(const wchar_t* text) { SetImageDescriptor(m_disabledBkImage, text); }

void Control::DrawImage(CUiImage& image)
{
    RenderTarget* target = GetPaintTarget();
    if (!target || !m_core)
        return;
    target->DrawImage(m_core, m_bounds, m_paintRect, image, 255);
}

void Control::DrawImageAt(CUiImage& image, const RECTF& rect)
{
    if (rect.Width() != 0 && rect.Height() != 0) {
        const float s = GetScale();
        image.Parse(nullptr, rect.left / s, rect.top / s, rect.right / s, rect.bottom / s);
    }
    DrawImage(image);
}

// --------------------------------------------------------------- borders

SIZE Control::GetScaledBorderRound() const
{
    const float s = GetScale();
    return SIZE{ScaleTrunc(static_cast<float>(m_borderRound[0]), s),
                ScaleTrunc(static_cast<float>(m_borderRound[1]), s)};
}

void Control::SetHotBorder(float size, uint32_t argb)
{
    if (argb == m_hotBorderColor)
        return;
    m_hotBorderSize = (size == -1.0f) ? m_borderSize : size;
    if (argb != 0xFFFFFFFFu)
        m_hotBorderColor = argb;
    Repaint();
}

// --------------------------------------------------- blur and shadows

void Control::SetBlur(const wchar_t* spec)
{
    if (!spec)
        return;
    m_blur = ReadBlurSpec(spec, m_blur);
    if (m_blur.deviation > kNoBlur) {
        EnsureLayer(1);
        Repaint();
    }
}

void Control::SetBackBlur(const wchar_t* spec)
{
    if (!spec)
        return;
    m_backBlur = ReadBlurSpec(spec, m_backBlur);
    if (m_backBlur.deviation > kNoBlur)
        Repaint();
}

void Control::SetShadow(const wchar_t* spec)
{
    if (!spec)
        return;
    KeyValueSpec parsed(spec);
    if (!parsed.IsEmpty())
        parsed.SetWholeText(spec);
    ParseBoxShadow(parsed, m_boxShadow);
    if (m_boxShadow.size > 0) {
        if (m_boxShadow.drop)
            EnsureLayer(1);
        Repaint();
    }
}

std::unique_ptr<Gdiplus::Bitmap> Control::CaptureDragImage()
{
    RenderTarget* target = GetPaintTarget();
    if (!m_core || !target)
        return nullptr;
    const SIZE round = GetScaledBorderRound();
    if (round.cx > 0 || round.cy > 0) {
        CornerSize corner{static_cast<float>(round.cx), static_cast<float>(round.cy)};
        CornerSwitches switches{m_roundCorners[0], m_roundCorners[1], m_roundCorners[2], m_roundCorners[3]};
        return target->CaptureBitmap(m_bounds, &corner, &switches);
    }
    return target->CaptureBitmap(m_bounds, nullptr, nullptr);
}

// ----------------------------------------------------------- state names

CUiString Control::CurrentStateKey() const
{
    // Bits in ascending order, so the same state word always gives one key.
    static const struct {
        int bit;
        const wchar_t* name;
    } kNames[] = {{kStateDisabled, L"disabled"}, {kStateBusy, L"busy"},   {kStateNormal, L"normal"},
                  {kStateSelected, L"selected"}, {kStateFocused, L"focused"}, {kStateHot, L"hot"},
                  {kStateHover, L"hover"},       {kStatePushed, L"pushed"}};
    CUiString key;
    for (const auto& entry : kNames) {
        if (m_state & entry.bit) {
            key.Append(entry.name);
            key.Append(L",");
        }
    }
    return key;
}

int Control::ParseStateMask(const wchar_t* names) const
{
    if (!names)
        return 0;
    int mask = 0;
    const wchar_t* piece = names;
    for (;;) {
        const wchar_t* end = wcschr(piece, L'|');
        std::wstring name = end ? std::wstring(piece, end) : std::wstring(piece);
        auto it = m_stateNames.find(name);
        if (it != m_stateNames.end())
            mask |= it->second;
        if (!end)
            break;
        piece = end + 1;
    }
    return mask;
}

} // namespace ui
