#include "Corvel/Control/Button.h"

#include <cwchar>

#include "Corvel/Core/RectMath.h"
#include "Corvel/Core/StyleValues.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Render/RenderTarget.h"
#include "Corvel/Render/Shapes.h"
#include "Corvel/Render/StylePainters.h"

namespace ui {

namespace {

// Text colour of a label when neither the control nor a core gives one.
constexpr uint32_t kFallbackTextColor = 0xFFFFFFFFu;
// Centred both ways on one line.
constexpr int kButtonTextStyle = kTextCenter | kTextVCenter | kTextSingleLine;

bool IsMouseEventType(int type) { return type >= kEventMouseMove && type <= kEventScrollWheel; }

bool Contains(const RECTF& r, POINT p)
{
    return rectmath::Contains(r, static_cast<float>(p.x), static_cast<float>(p.y));
}

using ButtonSetter = void (*)(Button& button, const wchar_t* value);

} // namespace

Button::Button()
{
    m_needTab = true;
    m_needCursor = true;
    m_textStyle = kButtonTextStyle;
}

Button::~Button() = default;

const wchar_t* Button::GetClassName() const { return L"Button"; }

void* Button::CastTo(const wchar_t* typeName)
{
    if (typeName && (wcscmp(typeName, L"Button") == 0 || wcscmp(typeName, L"Control") == 0))
        return this;
    return nullptr;
}

int Button::GetTraitFlags() const
{
    int flags = 0;
    if (IsKeyboardEnabled() && NeedsTab())
        flags |= kTraitTabStop;
    if (IsEnabled() && NeedsCursor())
        flags |= kTraitWantsSetCursor;
    return flags;
}

bool Button::TryActivate()
{
    // Read before the click handler runs: the handler may take the button
    // out of its tree (DeleteControlLater keeps the core alive).
    WindowCore* core = m_core;
    const bool activated = Control::TryActivate();
    if (activated && core)
        core->RaiseNotification(this, L"click", 0, 0);
    return activated;
}

void Button::SetEnabled(bool on)
{
    Control::SetEnabled(on);
    if (!IsEnabled())
        m_buttonState = 0;
}

void Button::SetFocused(bool on)
{
    if (on)
        m_buttonState |= kButtonFocused;
    else
        m_buttonState &= ~static_cast<uint32_t>(kButtonFocused);
    Control::SetFocused(on);
    // The control refuses the focus while disabled or hidden: the flag must
    // not claim it then.
    if (!IsFocused())
        m_buttonState &= ~static_cast<uint32_t>(kButtonFocused);
}

bool Button::HandleEvent(InputEvent* event)
{
    if (!IsMouseEnabled() && IsMouseEventType(event->type))
        return m_parent ? m_parent->HandleEvent(event) : Control::HandleEvent(event);
    switch (event->type) {
    case kEventChar:
        event->handled = true;
        return true;
    case kEventKeyDown:
        if (IsKeyboardEnabled() && (event->key == VK_SPACE || event->key == VK_RETURN)) {
            TryActivate();
            return true;
        }
        break;
    case kEventKeyUp:
        // The key's click ran when it went down; the control base would
        // click again on the way up.
        if (IsKeyboardEnabled() && (event->key == VK_SPACE || event->key == VK_RETURN))
            return true;
        break;
    case kEventButtonDown:
    case kEventDblClick:
        return OnPress(event);
    case kEventButtonUp:
        return OnRelease(event);
    case kEventContextMenu:
        if (IsContextMenuEnabled() && m_core)
            m_core->RaiseNotification(this, L"menu", 0, event->lParam);
        return true;
    case kEventSetCursor:
        ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
        return true;
    case kEventKillFocus:
        if (IsEnabled()) {
            m_buttonState &= ~static_cast<uint32_t>(kButtonHot);
            Repaint();
        }
        break;
    case kEventMouseEnter:
    case kEventDragEnter:
        OnHotChange(true);
        break;
    case kEventMouseLeave:
    case kEventDragLeave:
        OnHotChange(false);
        break;
    default:
        break;
    }
    return Control::HandleEvent(event);
}

bool Button::OnPress(InputEvent* event)
{
    if (Contains(m_bounds, event->point) && IsEnabled()) {
        m_buttonState |= kButtonPushed | kButtonPressed;
        if (m_core)
            m_core->RaiseNotification(this, L"buttondown", 0, 0);
        Repaint();
    }
    return true;
}

bool Button::OnRelease(InputEvent* event)
{
    if (!(m_buttonState & kButtonPressed))
        return true;
    if (Contains(m_bounds, event->point)) {
        TryActivate();
    } else {
        m_buttonState &= ~static_cast<uint32_t>(kButtonHot);
        // The control's own hot bit follows, so that no hot look stays.
        Control::SetHot(false);
    }
    if (m_core)
        m_core->RaiseNotification(this, L"buttonup", 0, 0);
    m_buttonState &= ~static_cast<uint32_t>(kButtonPushed | kButtonPressed);
    Repaint();
    return true;
}

void Button::OnHotChange(bool hot)
{
    if (!IsEnabled())
        return;
    if (hot)
        m_buttonState |= kButtonHot;
    else
        m_buttonState &= ~static_cast<uint32_t>(kButtonHot);
    if (m_core)
        m_core->RaiseNotification(this, hot ? L"mouseenter" : L"mouseleave", 0, 0);
    Repaint();
}

// ------------------------------------------------------------- attributes

void Button::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    struct Entry {
        const wchar_t* name;
        ButtonSetter set;
    };
    // Markup order matters: "textcolor" overwrites the state text colours
    // given before it, "hotbkcolor" the pushed background colour.
    static const Entry kEntries[] = {
        {L"normalimage", [](Button& b, const wchar_t* v) { b.SetNormalImage(v); }},
        {L"hotimage",
         [](Button& b, const wchar_t* v) {
             b.AssignImage(b.m_hotImage, v);
             b.FillEmptyImage(b.m_pushedImage, b.m_hotImage);
             b.FillEmptyImage(b.m_focusedImage, b.m_hotImage);
         }},
        {L"pushedimage",
         [](Button& b, const wchar_t* v) {
             b.AssignImage(b.m_pushedImage, v);
             b.FillEmptyImage(b.m_focusedImage, b.m_pushedImage);
         }},
        {L"focusedimage", [](Button& b, const wchar_t* v) { b.AssignImage(b.m_focusedImage, v); }},
        {L"disabledimage", [](Button& b, const wchar_t* v) { b.AssignImage(b.m_disabledImage, v); }},
        {L"hotforeimage", [](Button& b, const wchar_t* v) { b.AssignImage(b.m_hotForeImage, v); }},
        {L"focuseddashwidth", [](Button& b, const wchar_t* v) { b.m_focusedDashWidth = ParseInt(v); }},
        {L"focuseddasharc", [](Button& b, const wchar_t* v) { b.m_focusedDashArc = ParseInt(v); }},
        {L"focuseddashshrink", [](Button& b, const wchar_t* v) { b.m_focusedDashShrink = ParseInt(v); }},
        {L"textcolor",
         [](Button& b, const wchar_t* v) {
             const uint32_t argb = ParseHexColor(v, true);
             b.m_hotTextColor = b.m_pushedTextColor = b.m_focusedTextColor = argb;
             b.SetTextColor(argb);
         }},
        {L"hotbkcolor", [](Button& b, const wchar_t* v) { b.m_hotBkColor = b.m_pushedBkColor = ParseHexColor(v); }},
        {L"pushedbkcolor", [](Button& b, const wchar_t* v) { b.m_pushedBkColor = ParseHexColor(v); }},
        {L"hottextcolor", [](Button& b, const wchar_t* v) { b.m_hotTextColor = ParseHexColor(v); }},
        {L"pushedtextcolor", [](Button& b, const wchar_t* v) { b.m_pushedTextColor = ParseHexColor(v); }},
        {L"focusedtextcolor", [](Button& b, const wchar_t* v) { b.m_focusedTextColor = ParseHexColor(v); }},
        {L"focuseddashcolor", [](Button& b, const wchar_t* v) { b.m_focusedDashColor = ParseHexColor(v); }},
    };
    if (name && value) {
        for (const Entry& entry : kEntries) {
            if (wcscmp(name, entry.name) == 0) {
                entry.set(*this, value);
                return;
            }
        }
    }
    Control::SetAttribute(name, value);
}

void Button::SetNormalImage(const wchar_t* text)
{
    const wchar_t* value = text ? text : L"";
    m_normalImage.Reset();
    m_normalImage.Parse(value, m_bounds.left, m_bounds.top, m_bounds.right, m_bounds.bottom);
    for (CUiImage* image : {&m_hotImage, &m_pushedImage, &m_focusedImage})
        FillEmptyImage(*image, m_normalImage);
    BindImage(m_normalImage);
}

void Button::FillEmptyImage(CUiImage& image, const CUiImage& from)
{
    if (!image.GetFileName().IsEmpty())
        return;
    // A copy: Parse may not read the text it is replacing.
    const CUiString file = from.GetFileName();
    image.Parse(file.GetData(), m_bounds.left, m_bounds.top, m_bounds.right, m_bounds.bottom);
}

void Button::AssignImage(CUiImage& image, const wchar_t* text)
{
    image.Reset();
    image.Parse(text ? text : L"", m_bounds.left, m_bounds.top, m_bounds.right, m_bounds.bottom);
    BindImage(image);
}

void Button::BindImage(const CUiImage& image)
{
    if (!m_core)
        return;
    // True: a network picture repaints the button when it arrives.
    if (!m_core->BindImageResource(image, this, false))
        Repaint();
}

// --------------------------------------------------------------- painting

void Button::RefreshPaintFlags()
{
    if (IsFocused())
        m_buttonState |= kButtonFocused;
    else
        m_buttonState &= ~static_cast<uint32_t>(kButtonFocused);
    if (IsEnabled())
        m_buttonState &= ~static_cast<uint32_t>(kButtonDisabled);
    else
        m_buttonState |= kButtonDisabled;
}

int Button::StyleStateBits() const
{
    if (!IsEnabled())
        return kStateDisabled;
    int state = kStateNormal;
    if (m_buttonState & kButtonPushed)
        state = kStatePushed;
    else if (m_buttonState & kButtonHot)
        state = kStateHot;
    if (m_buttonState & kButtonFocused)
        state |= kStateFocused;
    return state;
}

bool Button::PaintStyle(const RECTF& dirty)
{
    StyleSet* styles = GetStyleSet();
    if (!styles)
        return false;
    RefreshPaintFlags();
    styles->Paint(dirty, m_bounds, StyleStateBits());
    return true;
}

void Button::DrawIfSet(CUiImage& image)
{
    if (!image.IsEmpty())
        DrawImage(image);
}

void Button::DrawForeImage() { DrawIfSet(m_foreImage); }

void Button::FillPaintRect(RenderTarget* target, uint32_t argb)
{
    if (argb == 0 || !target)
        return;
    target->FillShape(m_paintRect, GradientStops{Color::MakeArgb(argb)}, nullptr, nullptr, nullptr, nullptr);
}

void Button::PaintForeImage(RenderTarget* target, const RECTF&)
{
    RefreshPaintFlags();
    if (m_buttonState & kButtonDisabled) {
        if (PaintDisabledLook())
            return;
    } else if (m_buttonState & kButtonPushed) {
        if (PaintHotOrPushedLook(target, m_pushedImage, m_pushedBkColor, m_pushedForeImage))
            return;
    } else if (m_buttonState & kButtonHot) {
        if (PaintHotOrPushedLook(target, m_hotImage, m_hotBkColor, m_hotForeImage))
            return;
    } else if (m_buttonState & kButtonFocused) {
        if (PaintFocusedLook(target))
            return;
    }
    PaintNormalLook();
}

bool Button::PaintDisabledLook()
{
    if (m_disabledImage.IsEmpty())
        return false;
    DrawImage(m_disabledImage);
    DrawForeImage();
    return true;
}

bool Button::PaintHotOrPushedLook(RenderTarget* target, CUiImage& image, uint32_t bkColor, CUiImage& foreImage)
{
    if (!image.IsEmpty())
        DrawImage(image);
    else
        FillPaintRect(target, bkColor);
    if (!foreImage.IsEmpty())
        DrawImage(foreImage);
    else
        DrawForeImage();
    return true;
}

bool Button::PaintFocusedLook(RenderTarget* target)
{
    if (!m_focusedImage.IsEmpty()) {
        DrawImage(m_focusedImage);
        DrawForeImage();
        return true;
    }
    if (m_focusedDashWidth == 0)
        return false;
    DrawIfSet(m_normalImage);
    if (target) {
        const float inset = static_cast<float>(m_focusedDashShrink);
        const RECTF frame{m_paintRect.left + inset, m_paintRect.top + inset, m_paintRect.right - inset,
                          m_paintRect.bottom - inset};
        const CornerSize corner{static_cast<float>(m_focusedDashArc), static_cast<float>(m_focusedDashArc)};
        target->DrawShape(frame, GradientStops{Color::MakeArgb(m_focusedDashColor)}, nullptr, &corner, nullptr,
                          kDashDash, nullptr, static_cast<float>(m_focusedDashWidth));
    }
    DrawForeImage();
    return true;
}

void Button::PaintNormalLook()
{
    DrawIfSet(m_normalImage);
    DrawForeImage();
}

void Button::ResolveTextColors()
{
    if (m_textColor == 0)
        m_textColor = m_core ? m_core->GetTextColor() : kFallbackTextColor;
    if (m_disabledTextColor == 0 && m_core)
        m_disabledTextColor = m_core->GetDisabledTextColor();
}

void Button::PaintLabel(RenderTarget* target, const RECTF&)
{
    RefreshPaintFlags();
    ResolveTextColors();
    if (m_text.IsEmpty())
        return;
    uint32_t argb = IsEnabled() ? m_textColor : m_disabledTextColor;
    if ((m_buttonState & kButtonPushed) && m_pushedTextColor != 0)
        argb = m_pushedTextColor;
    else if ((m_buttonState & kButtonHot) && m_hotTextColor != 0)
        argb = m_hotTextColor;
    else if ((m_buttonState & kButtonFocused) && m_focusedTextColor != 0)
        argb = m_focusedTextColor;
    DrawLabelText(target, argb, m_fontId, m_lineSpacing * GetScale(), m_textDrawOption);
}

void Button::DrawLabelText(RenderTarget* target, uint32_t argb, int fontId, float lineSpacing, int drawOption)
{
    if (!target || !m_core)
        return;
    const float s = GetScale();
    const RECTF pad = GetScaledTextPadding();
    const RECTF rect{m_bounds.left + pad.left, m_bounds.top + pad.top, m_bounds.right - pad.right,
                     m_bounds.bottom - pad.bottom};
    const UINT format = static_cast<UINT>(m_textStyle);
    if (m_showHtml) {
        target->DrawHtmlText(m_core, rect, m_text.GetData(), argb, nullptr, format,
                             static_cast<uint32_t>(drawOption));
        return;
    }
    // The button's font id may be overridden (a selected option's font).
    target->DrawText(m_core, rect, m_text.GetData(), GradientStops{Color::MakeArgb(argb)}, nullptr, fontId, format,
                     m_charSpacing * s, lineSpacing, static_cast<uint32_t>(drawOption));
}

} // namespace ui
