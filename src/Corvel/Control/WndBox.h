// A control that keeps a native window the library does not draw (a foreign
// window) lined up with its rectangle: it moves and sizes that window when
// the box or the skinned window moves, shows and hides it with the box, and
// gives it back to its previous parent when the box goes away. The foreign
// window sits directly over the box or inside a small "WndBoxBound" host
// window the box owns, which fits or centres it and paints the uncovered
// parts. UI thread only; the foreign window may belong to another thread or
// process (the box only moves, shows and reparents it).
#pragma once

#include <windows.h>

#include <cstdint>

#include "Corvel/Core/Control.h"

namespace ui {

// How TakeOver holds a foreign window.
struct WndBoxHosting {
    // Made a child of the skinned window (placed in client coordinates);
    // false: it stays a top-level window placed in screen coordinates.
    bool makeChild = true;
    // Inside a "WndBoxBound" host window (a child of the skinned window);
    // false: the foreign window itself is moved over the box.
    bool useHostWindow = false;
    // True: the window takes the box's size; false: it keeps its size and
    // is centred in the box.
    bool fit = true;
    // ARGB of the host window's uncovered parts (alpha ignored).
    uint32_t background = 0xFFFFFFFFu;
};

class WndBox : public Control {
public:
    // The host window's request to fit or centre its hosted window again.
    static constexpr UINT kMsgRefit = 0x500;

    // Registers the "WndBoxBound" class once per process.
    WndBox();
    // Detaches: the foreign window goes back to its previous parent.
    ~WndBox() override;

    const wchar_t* GetClassName() const override;
    // "WndBox" and "Control" answer the box; anything else null.
    void* CastTo(const wchar_t* typeName) override;
    // Then places the foreign window when there is one and the box shows.
    void SetBounds(float left, float top, float right, float bottom) override;
    using Control::SetBounds;
    // Then shows or hides the placed window as the box now shows (IsVisible:
    // a box inside a hidden container keeps its window hidden).
    void SetVisible(bool show) override;
    // Hidden: gives up the core's focus when it held it. Then as SetVisible.
    void SetInternalVisible(bool on) override;
    // The skinned window moved (23): placement again; it is closing (33):
    // Detach when "detachonclose" is set. Then the normal dispatch.
    bool FireEvent(InputEvent* event) override;
    // "detachonclose" ("true" exactly); every name also goes to the base.
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;

    // Takes `foreign` over (borrowed: the box never destroys it): records
    // its parent and rectangle, reparents it or creates the host window as
    // `hosting` asks, listens to the skinned window's moves and places it.
    // False, with nothing changed, without a window core or a live window,
    // or when the box already holds one.
    bool TakeOver(HWND foreign, const WndBoxHosting& hosting);
    // Gives the foreign window back: as a child, to its previous parent at
    // its previous rectangle (centred on the primary screen when there was
    // none), shown; destroys the host window. Safe to call twice.
    void Detach();
    // Moves (and for a fitted window sizes) the placed window over the box;
    // false when nothing was placed.
    bool UpdatePlacement();

    HWND GetHostedWindow() const { return m_hosted; }
    // The host window when there is one, else the hosted window; null empty.
    HWND GetPlacedWindow() const { return m_placed; }
    HWND GetHostWindow() const { return m_host; }
    bool IsFit() const { return m_fit; }
    bool DetachesOnClose() const { return m_detachOnClose; }

    // Host window procedure ("WndBoxBound").
    static LRESULT CALLBACK HostWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

private:
    // Shows or hides the placed window as IsVisible says.
    void SyncWindowVisibility();
    // The top-left of the box's coordinate space: client (0, 0) for a child,
    // else the skinned window's screen rectangle (the monitor's work area
    // for a window that reaches past it on every side, a maximised one).
    POINT PlacementOrigin() const;
    void ShowOnFirstPlacement();
    bool CreateHostWindow(HWND skinned, uint32_t background);
    // Fits or centres the hosted window in the host's client area.
    void RefitInHost();
    void ReturnToPreviousParent();
    // Waits until the skinned window's drawn frames are on the screen, before
    // its native children change.
    void FinishSkinnedWindowFrames();
    // Turns the foreign window into a child of `parent` (a pop-up changes
    // its style first, so that it is placed in its parent's client area).
    void MakeChildOf(HWND parent);

    RECT m_previousRect{0, 0, 0, 0};
    // The foreign window's style before it was made a child, restored when
    // it is given back.
    LONG_PTR m_previousStyle = 0;
    bool m_shownOnce = false;
    bool m_fit = true;
    bool m_child = false;
    bool m_detachOnClose = false;
    HWND m_host = nullptr;           // owned
    HWND m_previousParent = nullptr;
    HWND m_hosted = nullptr;         // borrowed
    HWND m_placed = nullptr;         // m_host or m_hosted
    HBRUSH m_brush = nullptr;        // owned
    WindowCore* m_listeningCore = nullptr;
};

} // namespace ui
