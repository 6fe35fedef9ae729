// The window of a menu: a borderless pop-up with its own window core whose
// parent core is the application window's (colours, fonts, styles and
// defaults come from there). A sub-menu window shows the sub-elements of its
// owner element; a top-level one builds a menu skin at a screen point. Every
// open menu window is a receiver of the menu observer and closes on its
// broadcasts, on Escape and when the focus leaves the menu windows.
//
// Ownership: created with new and freed by itself after WM_NCDESTROY (its
// creator only keeps a borrowed pointer until then). UI thread only.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Corvel/Control/MenuObserver.h"
#include "Corvel/Core/UiEvents.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Core/WindowWnd.h"

class CWndShadow;

namespace ui {

class Menu;
class MenuElement;

// Where a sub-menu of `size` opens next to the element `element` (client
// pixels of its window) of a parent menu window at `parent` (screen): at the
// parent's right edge overlapping it by 2 pixels, level with the element;
// on the left side when it would pass the work area's right edge; moved up
// to end at the element's bottom when it would pass the bottom.
RECT PlaceSubMenu(const RECT& parent, const RECTF& element, SIZE size, const RECT& workArea);

class CMenuWnd : public CWindowWnd, public ReceiverImpl, public INotifyUI {
public:
    // Receives the key of the clicked element.
    using ItemCallback = std::function<void(const std::wstring& key)>;

    // Nothing is created until Open or OpenSubMenu.
    CMenuWnd(HWND owner, ItemCallback callback);
    ~CMenuWnd() override;

    // A top-level menu at screen point `at` built from `skin` (file name or
    // markup text whose root is a Menu). False when the window could not
    // be made; the object then frees itself.
    bool Open(POINT at, std::wstring skin);
    // The sub-menu of `element` (steps of MenuElement::OpenSubMenu). False
    // when the window could not be made; the object then frees itself.
    bool OpenSubMenu(MenuElement* element);

    std::wstring QueryClassName() const override { return L"MenuWnd"; }
    UINT QueryClassStyle() const override { return 0; }
    void OnDpiChanged(int) override {}
    LRESULT ProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // Unhooks from the core, the observer and the owner element, reports
    // "menuclose", then frees the object.
    void OnNcDestroyed(HWND window) override;

    // Kind 1 closes; kind 2 closes when the given window is an ancestor.
    int Receive(ContextMenuParam param) override;
    // "itemclick": the sender's key becomes the clicked key and goes to the
    // item callback.
    void ReceiveNotify(tagTNotifyUI& msg) override;

    // Keys shown disabled in this window and every sub-menu under it.
    void SetDisabledKeys(std::vector<std::wstring> keys) { m_disabledKeys = std::move(keys); }
    bool IsKeyDisabled(const std::wstring& key) const;
    // Told "menuclose" (wParam the clicked key text or null, lParam this
    // window) when the window goes; borrowed, may be null.
    void SetCloseListener(INotifyUI* listener) { m_closeListener = listener; }
    const std::wstring& GetClickedKey() const { return m_clickedKey; }
    void SetClickedKey(const std::wstring& key) { m_clickedKey = key; }

    WindowCore& Core() { return m_core; }
    // Borrowed; null for a top-level window.
    MenuElement* GetOwnerElement() const { return m_ownerElement; }
    // The owner element's element is being deleted: the rows go back to it
    // and the window forgets it.
    void ReleaseOwnerElement();
    // Borrowed; the menu shown (the sub-menu, or the skin's root menu).
    Menu* GetMenu() const;

    // Every open menu window, as the menu observer knows them.
    static bool IsMenuWindow(HWND window);

private:
    LRESULT OnCreate();
    void CreateSubMenuContent();
    void PlaceSubMenuWindow();
    void CreateTopLevelContent();
    void PlaceTopLevelWindow(Menu* menu);
    void OnKillFocus(HWND gaining);
    // WM_CLOSE: the owner element returns to its own window.
    void OnCloseMessage();
    void CreateShadowOnce();
    void ReturnRowsToOwner();
    // The root menu window of this window's chain (this for a top-level one).
    CMenuWnd* RootWindow();

    HWND m_owner = nullptr;
    POINT m_requested{0, 0};
    std::wstring m_skin;
    std::wstring m_clickedKey;
    WindowCore m_core;
    MenuElement* m_ownerElement = nullptr;  // borrowed
    Menu* m_subMenu = nullptr;              // owned by m_core as its root
    INotifyUI* m_closeListener = nullptr;   // borrowed
    std::unique_ptr<CWndShadow> m_shadow;
    ItemCallback m_itemCallback;
    std::vector<std::wstring> m_disabledKeys;
};

} // namespace ui
