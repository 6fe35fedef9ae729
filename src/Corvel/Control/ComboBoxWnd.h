// The drop-down window of a combo box: a layered tool pop-up owned by the
// combo box's window, with a window core of its own whose parent core is
// the combo box's (colours, fonts and styles come from the application
// window). Created on the first opening, hidden and shown again afterwards.
// UI thread only.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "Corvel/Core/UiTypes.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Core/WindowWnd.h"

class CWndShadow;

namespace ui {

class Box;
class ComboBox;
class CTimeLineTween;

// What the drop-down's screen rectangle is made from. Lengths in pixels of
// the owner window, except the "inflate" and "offset" value lists, which are
// skin units multiplied by `scale`.
struct DropDownPlacement {
    RECTF combo;              // the combo box's rectangle (owner client pixels)
    float listHeight = -1;    // the item container's fixed height; negative: none
    float itemsHeight = 0;    // the sum of the visible items' heights
    POINT clientOrigin{0, 0}; // the owner's client origin on the screen
    std::wstring inflate;     // one value for both axes, or x,y
    std::wstring offset;      // dx[,dy[,grow right[,grow bottom]]]
    float scale = 1.0f;
};

// Below the combo box, as tall as its items but at most the container's
// fixed height, grown and moved by "inflate" and "offset"; above it, with
// the full height of the items, when it would pass the bottom of the work
// area. Screen coordinates.
RECT PlaceDropDown(const DropDownPlacement& placement, const RECT& workArea);

// The work area of the monitor that shows `owner` (the nearest one when it
// is off every monitor; the primary one without a window).
RECT OwnerWorkArea(HWND owner);

class CComboBoxWnd : public CWindowWnd {
public:
    CComboBoxWnd();
    // Destroys the native window when it still exists.
    ~CComboBoxWnd() override;

    using CWindowWnd::Close;
    // Shows the drop-down for `combo` (borrowed; it owns this window), below
    // or above it; creates the native window on the first call. Nothing
    // while open or when the combo box has no item container.
    void Open(ComboBox* combo);
    // Hides the drop-down and tells the combo box; nothing when not open.
    void Close();
    bool IsOpen() const { return m_open; }
    // Scrolls the item container so that the item shows; only a container
    // with a vertical scroll bar scrolls.
    void ScrollToItem(int index);

    void OnDpiChanged(int dpi) override;
    std::wstring QueryClassName() const override { return L"ComboBoxWnd"; }
    UINT QueryClassStyle() const override { return 0; }
    LRESULT ProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnNcDestroyed(HWND window) override;

    WindowCore& Core() { return m_core; }
    // Borrowed; null before the first opening.
    Box* Root() const { return m_root; }
    // Borrowed; null without a "dropshadow".
    CWndShadow* Shadow() const { return m_shadow.get(); }
    // Takes the item container out of the drop-down (it stays alive).
    void ReleaseContainer(Box* container);
    // The combo box is going: hides the drop-down without telling it and
    // hands its container back; the window forgets the combo box.
    void Detach();

private:
    LRESULT OnCreate();
    void OnKeyDown(WPARAM key, LPARAM lParam);
    // WM_CLOSE: the item container goes back to the combo box's core.
    void OnCloseMessage();
    // Puts the container into the root: a layer for the fade, transparent
    // until it fades in, and its items in one selection group.
    void AdoptContainer(Box* container);
    void CreateShadowIfAsked(Box* container);
    void MoveShadow();
    RECT ComputeRect(Box* container) const;
    void ShowFirstTime(const RECT& r);
    void ShowAgain(const RECT& r);
    void StartFade(Box* container);
    void StopFade();

    WindowCore m_core;
    ComboBox* m_combo = nullptr;  // the owner; borrowed
    Box* m_root = nullptr;         // owned by m_core once it is the root
    bool m_open = false;
    bool m_noAnimation = false;
    std::unique_ptr<CWndShadow> m_shadow;
    std::unique_ptr<CTimeLineTween> m_fade;
};

} // namespace ui
