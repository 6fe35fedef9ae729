// Thin owner of one native top-level or pop-up window: registers its class,
// routes every message to the virtual ProcessMessage, and offers closing, a
// modal loop and centring over the owner.
#pragma once

#include <windows.h>

#include <string>

namespace ui {

class CWindowWnd {
public:
    CWindowWnd();
    virtual ~CWindowWnd();
    CWindowWnd(const CWindowWnd&) = delete;
    CWindowWnd& operator=(const CWindowWnd&) = delete;

    // Posts WM_CLOSE with the code as wParam and stores the code; 0 without
    // a live window.
    virtual BOOL Close(int code);
    // Hooks kept for derived windows; nothing in the library needs them to
    // do anything. The two argument-less ones run around every painted
    // rectangle.
    virtual void OnHook(WPARAM, LPARAM) {}
    virtual void OnBeforePaint() {}
    virtual void OnAfterPaint() {}
    virtual void OnDpiChanged(int dpi) {}
    virtual std::wstring QueryClassName() const { return m_className; }
    virtual UINT QueryClassStyle() const { return 0; }
    virtual LRESULT ProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    virtual void OnNcDestroyed(HWND window) {}

    // Registers the class and creates the window; null on failure. Style -1
    // asks for the default style. CW_USEDEFAULT leaves position or size open.
    HWND Create(HWND parent, const wchar_t* caption, DWORD style, DWORD exStyle, int x, int y, int cx, int cy);
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

    // Shows the window, disables its ancestors and runs messages, the idle
    // tick and pre-translation until the window closes; returns its close
    // code.
    int RunModalLoop();
    void CenterOverOwner();
    void SetMaximizeBox(bool enable);

    HWND GetHWND() const { return m_hwnd; }
    operator HWND() const { return m_hwnd; }
    HWND GetParentHWND() const { return m_parent; }
    int GetCloseCode() const { return m_closeCode; }
    bool IsResizable() const { return m_resizable; }
    int GetFrameMarginCode() const { return m_frameMarginCode; }
    void SetFrameMarginCode(int code) { m_frameMarginCode = code; }

protected:
    class ModalAncestors;
    // One message taken by the modal loop; true when it ends the loop with
    // `result`.
    bool TakeModalMessage(MSG& msg, const ModalAncestors& ancestors, int& result);
    // Destroys the window when it still exists, restores the ancestors and
    // answers 0.
    int EndModalLoop(const ModalAncestors& ancestors);

    HWND m_hwnd = nullptr;
    HWND m_parent = nullptr;
    WNDPROC m_prevProc = DefWindowProcW;
    bool m_resizable = true;
    int m_closeCode = 0;
    int m_frameMarginCode = 0;
    std::wstring m_className;
};

// True when DWM composition is available and on.
bool IsCompositionEnabled();

// True when `now` is at or past `due` on a 32-bit millisecond clock that
// wraps every 49.7 days: the two are compared by their difference, so the
// answer holds on both sides of the wrap for times within 24.8 days.
bool IsClockAtOrPast(DWORD now, DWORD due);

// The millisecond clock of the modal loop's idle tick (timeGetTime). A test
// may put in one that is shifted towards the wrap; null restores the real
// one. UI thread.
using ModalLoopClock = DWORD (*)();
void SetModalLoopClockForTesting(ModalLoopClock clock);

} // namespace ui
