#include "Corvel/Control/BoxLayout.h"

#include <algorithm>
#include <cwchar>

#include "Corvel/Core/WindowCore.h"

namespace ui {

void SeparatorCaptureWatch::Arm(WindowCore* core)
{
    if (m_core == core)
        return;
    Disarm();
    if (core && core->AddMessageFilter(this))
        m_core = core;
}

void SeparatorCaptureWatch::Disarm()
{
    if (m_core)
        m_core->RemoveMessageFilter(this);
    m_core = nullptr;
}

LRESULT SeparatorCaptureWatch::FilterMessage(UINT message, WPARAM, LPARAM lParam, bool& handled)
{
    handled = false;
    // The window taking the capture back for itself keeps the drag going.
    if (message != WM_CAPTURECHANGED || !m_core || reinterpret_cast<HWND>(lParam) == m_core->GetWindow())
        return 0;
    Disarm();
    if (m_lost)
        m_lost();
    return 0;
}

namespace boxlayout {

int ParseSeparatorSize(const wchar_t* value)
{
    if (!value)
        return 0;
    return static_cast<int>(wcstol(value, nullptr, 10));
}

bool HoldAtLimits(float& start, float& end, bool endMoves, float trackedLength, float minimum, float maximum)
{
    auto setLength = [&](float length) {
        if (endMoves)
            end = start + length;
        else
            start = end - length;
    };
    if (end - start <= minimum) {
        if (trackedLength <= minimum)
            return false;
        setLength(minimum);
    }
    if (end - start >= maximum) {
        if (trackedLength >= maximum)
            return false;
        setLength(maximum);
    }
    return true;
}

POINT CursorInClient(WindowCore* core, const POINT& fallback)
{
    POINT pt{};
    if (!core || !core->GetWindow() || !GetCursorPos(&pt) || !ScreenToClient(core->GetWindow(), &pt))
        return fallback;
    return pt;
}

RECTF UnionOfNonEmpty(const RECTF* rects, int count)
{
    RECTF u;
    bool any = false;
    for (int i = 0; i < count; ++i) {
        const RECTF& r = rects[i];
        if (r.IsEmpty())
            continue;
        if (!any) {
            u = r;
            any = true;
            continue;
        }
        u.left = std::min(u.left, r.left);
        u.top = std::min(u.top, r.top);
        u.right = std::max(u.right, r.right);
        u.bottom = std::max(u.bottom, r.bottom);
    }
    return u;
}

} // namespace boxlayout

} // namespace ui
