// The suggestion drop-down of an omnibox: a layered, never-activated tool
// pop-up owned by the omnibox's window, with a window core of its own whose
// parent core is the omnibox's (colours, fonts, styles and shadow settings
// come from the application window). It shows the omnibox's suggestion
// list and fades it in. Created on the first activation, hidden and shown
// again afterwards. UI thread only.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "Corvel/Core/WindowCore.h"
#include "Corvel/Core/WindowWnd.h"

class CWndShadow;

namespace ui {

class Box;
class OmniBox;
class CTimeLineTween;

class OmniBoxWnd : public CWindowWnd {
public:
    OmniBoxWnd();
    // Destroys the native window when it still exists.
    ~OmniBoxWnd() override;

    // Shows the drop-down below `owner` (borrowed; it owns this window), or
    // above it when the work area of the owner window's monitor ends first;
    // creates the native window on the first call. Nothing while open or
    // when the omnibox has no suggestion list.
    void ShowDropDown(OmniBox* owner);
    // Hides the drop-down and tells the omnibox; nothing when not open.
    void HideDropDown();
    // Places the open drop-down again by its omnibox (the owner window moved
    // or was sized).
    void UpdatePlacement();
    // Scrolls the list so that suggestion `index` shows; only a list with a
    // vertical scroll bar scrolls.
    void EnsureItemVisible(int index);
    bool IsOpen() const { return m_open; }
    // The omnibox is going: hides the drop-down without telling it and hands
    // its list back.
    void Detach();

    void OnDpiChanged(int dpi) override;
    std::wstring QueryClassName() const override { return L"OmniBoxWnd"; }
    UINT QueryClassStyle() const override { return 0; }
    LRESULT ProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnNcDestroyed(HWND window) override;

    WindowCore& Core() { return m_core; }
    // Borrowed; null before the first showing.
    Box* Root() const { return m_root; }
    // The screen rectangle the drop-down is placed at for its omnibox now.
    RECT ComputeRect() const;

private:
    LRESULT OnCreate();
    void OnKeyDown(WPARAM key, LPARAM lParam);
    void OnCloseMessage();
    void AdoptList(Box* list);
    void CreateShadowIfAsked(Box* list);
    void MoveShadow();
    void ShowFirstTime(const RECT& r);
    void ShowAgain(const RECT& r);
    void StartFade(Box* list);
    void StopFade();
    Box* List() const;

    WindowCore m_core;
    OmniBox* m_owner = nullptr; // borrowed
    Box* m_root = nullptr;      // owned by m_core once it is the root
    bool m_open = false;
    bool m_skipFade = false;
    std::unique_ptr<CWndShadow> m_shadow;
    std::unique_ptr<CTimeLineTween> m_fade;
};

} // namespace ui
