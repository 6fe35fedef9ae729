// What the vertical and horizontal boxes share: the cross-axis alignment
// words, the watch that ends a separator drag when the mouse capture is
// lost, and small layout arithmetic. UI thread only.
#pragma once

#include <windows.h>

#include <functional>

#include "Corvel/Core/Control.h"
#include "Corvel/Core/UiEvents.h"

namespace ui {

class WindowCore;

// Cross-axis placement of the children of a vertical or horizontal box.
enum ItemAlign : int {
    kAlignNear = 0,   // left (VBox) or top (HBox)
    kAlignCenter = 1,
    kAlignFar = 2,    // right (VBox) or bottom (HBox)
};

// Ends a separator drag when the window loses the mouse capture: the
// release may then never reach the box. Registered with the box's window
// core as a message filter only while a drag is under way.
class SeparatorCaptureWatch : public IMessageFilterUI {
public:
    // `lost` runs on the UI thread when the capture leaves the window.
    explicit SeparatorCaptureWatch(std::function<void()> lost) : m_lost(std::move(lost)) {}
    ~SeparatorCaptureWatch() { Disarm(); }
    SeparatorCaptureWatch(const SeparatorCaptureWatch&) = delete;
    SeparatorCaptureWatch& operator=(const SeparatorCaptureWatch&) = delete;
    // Starts watching the core's window (one core at a time).
    void Arm(WindowCore* core);
    void Disarm();
    LRESULT FilterMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

private:
    std::function<void()> m_lost;
    WindowCore* m_core = nullptr; // borrowed while armed
};

namespace boxlayout {

// Minimum first, then maximum: the maximum wins.
inline float ClampSize(float value, int minimum, int maximum)
{
    float v = value < static_cast<float>(minimum) ? static_cast<float>(minimum) : value;
    return v > static_cast<float>(maximum) ? static_cast<float>(maximum) : v;
}

// "sepheight"/"sepwidth": optional sign and digits; anything else is 0.
int ParseSeparatorSize(const wchar_t* value);

// Rectangle shrunk by an inset (left, top, right, bottom).
inline RECTF Deflate(const RECTF& r, const RECTF& inset)
{
    return RECTF{r.left + inset.left, r.top + inset.top, r.right - inset.right, r.bottom - inset.bottom};
}

// A drag step's new edges (`start` < `end`, the moving one chosen by
// `endMoves`) held at the length limits: a step that would pass a limit
// stops there. False when the step is dropped because the tracked length
// already sits at that limit.
bool HoldAtLimits(float& start, float& end, bool endMoves, float trackedLength, float minimum, float maximum);

// Where the pointer is now, in the core's client pixels: the set-cursor
// event comes before the move that would bring its point up to date.
// `fallback` without a window.
POINT CursorInClient(WindowCore* core, const POINT& fallback);

// Union of the non-empty rectangles, or an empty rectangle.
RECTF UnionOfNonEmpty(const RECTF* rects, int count);

} // namespace boxlayout

} // namespace ui
