// Helpers of the scrolling tests: a shown window around a scrolling box, and
// synthetic wheel, key and mouse messages sent to the window the way the
// system delivers them. Header-only.
#pragma once

#include <windows.h>

#include <algorithm>
#include <initializer_list>
#include <memory>
#include <utility>
#include <vector>

#include "Corvel/Control/Box.h"
#include "Corvel/Control/ScrollBar.h"
#include "Corvel/Control/VBox.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Core/support/TestWindow.h"

namespace scrolltest {

// Rows of the given fixed size (skin units; width 0 fills the box).
inline std::vector<ui::Control*> AddRows(ui::Box* box, int count, float height, float width = 0)
{
    std::vector<ui::Control*> rows;
    for (int i = 0; i < count; ++i) {
        ui::Control* row = new ui::Control();
        row->SetFixedHeight(height);
        if (width > 0)
            row->SetFixedWidth(width);
        box->AppendChild(row);
        rows.push_back(row);
    }
    return rows;
}

// A shown popup at the screen's top left whose root is a `BoxType` (a
// VBox for ScrollWindow); the attributes are applied before the window is
// made.
template <class BoxType>
struct BasicScrollWindow {
    BasicScrollWindow(int dpi, int width, int height,
                      std::initializer_list<std::pair<const wchar_t*, const wchar_t*>> attributes, int rows,
                      float rowHeight, float rowWidth = 0)
        : win(dpi)
    {
        box = new BoxType();
        box->SetName(L"scroller");
        this->rows = AddRows(box, rows, rowHeight, rowWidth);
        win.root = box;
        ok = win.CreatePopup(width, height) != nullptr;
        for (const auto& a : attributes)
            box->SetAttribute(a.first, a.second);
        ok = ok && testsupport::ShowAndPaint(win);
    }
    HWND hwnd() { return win.GetHWND(); }
    float Scale() { return win.core.GetScale(); }
    // Runs idle ticks until no timeline of the window runs.
    bool WaitForRest() { return testsupport::PumpUntil([this] { return win.core.TimeLines().IsEmpty(); }); }

    testsupport::TestWindow win;
    // Owned by the window's tree.
    BoxType* box = nullptr;
    std::vector<ui::Control*> rows;
    bool ok = false;
};
using ScrollWindow = BasicScrollWindow<ui::VBox>;

// One wheel notch (or several) at a client point: positive turns towards
// the start (up), negative towards the end.
inline void SendWheel(HWND hwnd, POINT client, int notches)
{
    POINT screen = client;
    ClientToScreen(hwnd, &screen);
    const short delta = static_cast<short>(notches * WHEEL_DELTA);
    SendMessageW(hwnd, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(delta)), MAKELPARAM(screen.x, screen.y));
}

inline void SendKey(HWND hwnd, WORD key)
{
    SendMessageW(hwnd, WM_KEYDOWN, key, 1);
    SendMessageW(hwnd, WM_KEYUP, key, 1 | (1u << 30) | (1u << 31));
}

inline void SendMouse(HWND hwnd, UINT message, POINT pt, WPARAM keys = 0)
{
    SendMessageW(hwnd, message, keys, MAKELPARAM(pt.x, pt.y));
}

// Pointer onto the point, press and release there.
inline void Click(HWND hwnd, POINT pt)
{
    SendMouse(hwnd, WM_MOUSEMOVE, pt);
    SendMouse(hwnd, WM_LBUTTONDOWN, pt, MK_LBUTTON);
    SendMouse(hwnd, WM_LBUTTONUP, pt);
}

// Press at `from`, move to `to` with the button down, release there.
inline void Drag(HWND hwnd, POINT from, POINT to)
{
    SendMouse(hwnd, WM_MOUSEMOVE, from);
    SendMouse(hwnd, WM_LBUTTONDOWN, from, MK_LBUTTON);
    SendMouse(hwnd, WM_MOUSEMOVE, to, MK_LBUTTON);
    SendMouse(hwnd, WM_LBUTTONUP, to);
}

inline POINT Centre(const RECT& r) { return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

} // namespace scrolltest
