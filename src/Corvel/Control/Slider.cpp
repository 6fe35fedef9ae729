#include "Corvel/Control/Slider.h"

#include <algorithm>
#include <cmath>
#include <cwchar>

#include "Corvel/Core/RectMath.h"
#include "Corvel/Core/StyleValues.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Render/RenderTarget.h"

namespace ui {

namespace {

// Centred horizontally on one line.
constexpr int kSliderTextStyle = kTextCenter | kTextSingleLine;
// Images are drawn at their own opacity.
constexpr uint8_t kOpaque = 255;
// Direction word of a wheel event: towards the start.
constexpr WPARAM kWheelUp = 0;
constexpr WPARAM kWheelDirectionMask = 0xFFFF;

bool IsMouseEventType(int type) { return type >= kEventMouseMove && type <= kEventScrollWheel; }

bool ThumbContains(const RECT& r, POINT p) { return p.x >= r.left && p.x <= r.right && p.y >= r.top && p.y <= r.bottom; }

using SliderSetter = void (*)(Slider& slider, const wchar_t* value);

} // namespace

Slider::Slider()
{
    m_textStyle = kSliderTextStyle;
    m_needCursor = true;
}

Slider::~Slider() = default;

const wchar_t* Slider::GetClassName() const { return L"Slider"; }

void* Slider::CastTo(const wchar_t* typeName)
{
    if (typeName && wcscmp(typeName, L"Slider") == 0)
        return this;
    return ProgressBar::CastTo(typeName);
}

void Slider::SetEnabled(bool on)
{
    ProgressBar::SetEnabled(on);
    if (!on)
        m_sliderState = 0;
}

// --------------------------------------------------------------- geometry

int Slider::ThumbWidth() const { return ScaleTrunc(static_cast<float>(m_thumbWidth), GetScale()); }
int Slider::ThumbHeight() const { return ScaleTrunc(static_cast<float>(m_thumbHeight), GetScale()); }

RECT Slider::GetThumbRect() const
{
    const RECTF& b = m_bounds;
    const int tw = ThumbWidth();
    const int th = ThumbHeight();
    const float fraction = ValueFraction();
    RECT r{};
    if (m_horizontal) {
        r.left = static_cast<LONG>((b.Width() - static_cast<float>(tw)) * fraction + b.left);
        r.top = static_cast<LONG>((b.top + b.bottom - static_cast<float>(th)) / 2.0f);
    } else {
        r.left = static_cast<LONG>((b.left + b.right - static_cast<float>(tw)) / 2.0f);
        // The thumb rises as the value grows.
        r.top = static_cast<LONG>(b.bottom - static_cast<float>(th) - (b.Height() - static_cast<float>(th)) * fraction);
    }
    r.right = r.left + tw;
    r.bottom = r.top + th;
    return r;
}

float Slider::ValueAtPoint(POINT point) const
{
    const RECTF& b = m_bounds;
    const float minimum = static_cast<float>(m_minimum);
    const float maximum = static_cast<float>(m_maximum);
    float pos, low, high, track;
    if (m_horizontal) {
        const int half = ThumbWidth() / 2;
        pos = static_cast<float>(point.x);
        low = b.left + static_cast<float>(half);
        high = b.right - static_cast<float>(half);
        track = b.Width() - static_cast<float>(ThumbWidth());
        if (pos >= high)
            return maximum;
        if (pos <= low)
            return minimum;
        // A thumb as long as the bar leaves no track to divide by.
        return track > 0.0f ? minimum + (pos - low) * (maximum - minimum) / track : minimum;
    }
    const int half = ThumbHeight() / 2;
    pos = static_cast<float>(point.y);
    low = b.bottom - static_cast<float>(half);
    high = b.top + static_cast<float>(half);
    track = b.Height() - static_cast<float>(ThumbHeight());
    if (pos >= low)
        return minimum;
    if (pos <= high)
        return maximum;
    return track > 0.0f ? minimum + (low - pos) * (maximum - minimum) / track : minimum;
}

void Slider::GetPropertyValue(PropertyValue& out, const wchar_t* name)
{
    if (!name || wcscmp(name, L"block") != 0) {
        ProgressBar::GetPropertyValue(out, name);
        return;
    }
    const RECTF& b = m_bounds;
    const float fraction = ValueFraction();
    out.found = true;
    if (m_horizontal)
        out.rect = RECTF(std::trunc((b.Width() - b.Height()) * fraction) + b.left, b.top, 0.0f, 0.0f);
    else
        out.rect = RECTF(b.left, b.bottom - b.Width() - (b.Height() - b.Width()) * fraction, 0.0f, 0.0f);
}

// ------------------------------------------------------------------ input

bool Slider::HandleEvent(InputEvent* event)
{
    if (!IsEnabled())
        return true;
    if (!IsMouseEnabled() && IsMouseEventType(event->type))
        return m_parent ? m_parent->HandleEvent(event) : Control::HandleEvent(event);
    switch (event->type) {
    case kEventButtonDown:
    case kEventDblClick:
    case kEventMouseMove:
    case kEventButtonUp:
        return OnPointer(event);
    case kEventScrollWheel:
        return OnWheel(event);
    case kEventKeyDown:
        return OnKeyDown(event);
    case kEventMouseEnter:
        SetHotFlag(true);
        return true;
    case kEventMouseLeave:
        SetHotFlag(false);
        return true;
    case kEventContextMenu:
        return true;
    case kEventSetCursor:
        ::SetCursor(::LoadCursorW(nullptr, ThumbContains(GetThumbRect(), event->point) ? IDC_HAND : IDC_ARROW));
        return true;
    default:
        return ProgressBar::HandleEvent(event);
    }
}

bool Slider::OnPointer(InputEvent* event)
{
    switch (event->type) {
    case kEventButtonDown:
    case kEventDblClick:
        if (ThumbContains(GetThumbRect(), event->point)) {
            m_sliderState |= kSliderCaptured;
            Report(L"captured", false);
        }
        return true;
    case kEventMouseMove:
        if (m_sliderState & kSliderCaptured) {
            SetValue(ValueAtPoint(event->point), 0);
            Report(L"valuechanging", true);
        }
        return true;
    default: // button up
        if (m_sliderState & kSliderCaptured) {
            m_sliderState &= ~kSliderCaptured;
            Report(L"release", false);
        }
        // A click anywhere on the track moves the value there.
        SetValue(ValueAtPoint(event->point), 0);
        Report(L"valuechanged", true);
        return true;
    }
}

bool Slider::OnWheel(InputEvent* event)
{
    float value;
    if ((event->wParam & kWheelDirectionMask) == kWheelUp)
        value = std::max(std::trunc(m_value - static_cast<float>(m_step)), static_cast<float>(m_minimum));
    else
        value = std::min(std::trunc(m_value + static_cast<float>(m_step)), static_cast<float>(m_maximum));
    SetValue(value, 0);
    Report(L"valuechanging", true);
    return true;
}

bool Slider::OnKeyDown(InputEvent* event)
{
    if (event->key == VK_LEFT)
        SetValue(std::max(m_value - static_cast<float>(m_step), static_cast<float>(m_minimum)), 0);
    else if (event->key == VK_RIGHT)
        SetValue(std::min(m_value + static_cast<float>(m_step), static_cast<float>(m_maximum)), 0);
    Report(L"valuechanged", false);
    return Control::HandleEvent(event);
}

void Slider::SetHotFlag(bool hot)
{
    if (hot)
        m_sliderState |= kSliderHot;
    else
        m_sliderState &= ~kSliderHot;
    Repaint();
}

void Slider::Report(const wchar_t* type, bool runHandler)
{
    if (m_core)
        m_core->RaiseNotification(this, type, 0, 0);
    if (runHandler)
        InvokeNamedCallback(type);
}

// --------------------------------------------------------------- painting

CUiImage& Slider::ThumbImageForState()
{
    if ((m_sliderState & kSliderCaptured) && !m_thumbPushedImage.IsEmpty())
        return m_thumbPushedImage;
    if ((m_sliderState & kSliderHot) && !m_thumbHotImage.IsEmpty())
        return m_thumbHotImage;
    if ((m_sliderState & kSliderDisabled) && !m_thumbDisabledImage.IsEmpty())
        return m_thumbDisabledImage;
    return m_thumbImage;
}

void Slider::PaintForeImage(RenderTarget* target, const RECTF& paintRect)
{
    ProgressBar::PaintForeImage(target, paintRect);
    if (IsEnabled())
        m_sliderState &= ~kSliderDisabled;
    else
        m_sliderState |= kSliderDisabled;
    CUiImage& image = ThumbImageForState();
    RenderTarget* paintTarget = GetPaintTarget();
    if (image.IsEmpty() || !paintTarget || !m_core)
        return;
    const RECT t = GetThumbRect();
    const RECTF thumb(static_cast<float>(t.left), static_cast<float>(t.top), static_cast<float>(t.right),
                      static_cast<float>(t.bottom));
    paintTarget->DrawImage(m_core, thumb, paintRect, image, kOpaque);
}

// ------------------------------------------------------------- attributes

void Slider::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    struct Entry {
        const wchar_t* name;
        SliderSetter set;
    };
    static const Entry kEntries[] = {
        {L"thumbimage", [](Slider& s, const wchar_t* v) { s.SetImageDescriptor(s.m_thumbImage, v); }},
        {L"thumbhotimage", [](Slider& s, const wchar_t* v) { s.SetImageDescriptor(s.m_thumbHotImage, v); }},
        {L"thumbpushedimage", [](Slider& s, const wchar_t* v) { s.SetImageDescriptor(s.m_thumbPushedImage, v); }},
        {L"thumbdisableimage",
         [](Slider& s, const wchar_t* v) { s.SetImageDescriptor(s.m_thumbDisabledImage, v); }},
        {L"thumbsize",
         [](Slider& s, const wchar_t* v) {
             int size[2] = {0, 0};
             ParseIntList(v, size, 2);
             s.m_thumbWidth = size[0];
             s.m_thumbHeight = size[1];
         }},
        {L"step", [](Slider& s, const wchar_t* v) { s.m_step = ParseInt(v); }},
    };
    if (name && value) {
        for (const Entry& entry : kEntries) {
            if (wcscmp(name, entry.name) == 0) {
                entry.set(*this, value);
                return;
            }
        }
    }
    ProgressBar::SetAttribute(name, value);
}

} // namespace ui
