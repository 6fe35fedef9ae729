// One row of a menu: a list row (selection, hot state, keys, background)
// whose menu elements form its sub-menu. They never show in the row itself
// and open in a sub-menu window (CMenuWnd) when the pointer enters the row,
// it is pressed or it is activated; pressing or activating a leaf closes
// every menu window. UI thread only.
#pragma once

#include <string>

#include "Corvel/Control/ListItem.h"

namespace ui {

class CMenuWnd;

// Row state bit of a menu element, beside the list row's (GetRowState).
enum MenuRowState : int {
    kRowSubMenuOpen = 16, // the row's sub-menu window is open
};

class MenuElement : public ListItem {
public:
    MenuElement();
    // Closes an open sub-menu window first.
    ~MenuElement() override;

    const wchar_t* GetClassName() const override;
    // "MenuElement" (any case) answers the element; else as the list row
    // ("ListItem" exactly, then the box).
    void* CastTo(const wchar_t* typeName) override;
    // kTraitWantsSetCursor with "needcursor", else 0: never a Tab stop.
    int GetTraitFlags() const override;
    // Clicks the row; "itemactivate". A selected element then opens its
    // sub-menu, or, as a leaf, closes every menu window. False when the
    // control refused or the element is not selected.
    bool TryActivate() override;
    // Entering the row opens its sub-menu (or closes the menu's other
    // sub-menus for a leaf); a press opens it or closes every menu window;
    // a release over the row activates it; the hand cursor. Then, as a
    // list row: selection, hot state, "itemclick", keys to the menu.
    bool HandleEvent(InputEvent* event) override;
    // "iconormalimage", "icohotimage" (then also to the box); the rest as
    // the list row ("selected" selects the row in its list).
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    // Places only the children that are not menu elements, over the row.
    using ListItem::SetBounds;
    void SetBounds(float left, float top, float right, float bottom) override;
    // The list row's background, then text and icon from the list's item
    // style, then the children that are not menu elements; a style set
    // paints instead.
    void Paint(const RECTF& dirty, bool pushClip) override;
    // IBox: a menu element appended here gets its index among this
    // element's children as key and shows only in the sub-menu window.
    bool AppendChild(Control* child) override;

    // Opens the sub-menu window unless it is open.
    void OpenSubMenu();
    bool HasSubElements() const;
    // Borrowed; null while closed. The window frees itself when destroyed.
    CMenuWnd* GetSubMenuWindow() const { return m_subMenuWindow; }
    // Called by the sub-menu window as it goes.
    void ForgetSubMenuWindow();

    // The element's path in the menu tree ("2", "2s0", ...).
    const std::wstring& GetKey() const { return m_key; }
    void SetKey(std::wstring key) { m_key = std::move(key); }
    HWND GetWindowHandle() const;

protected:
    // The row's other children show its selection; its sub-elements are
    // rows of their own in the sub-menu and keep theirs.
    bool SharesRowSelection(Control* child) const override;

private:
    bool OnEnter(InputEvent* event);
    bool OnPress(InputEvent* event);
    // Makes the sub-elements visible (for the sub-menu window) and opens it.
    void ShowSubElements();
    void CloseMenusBelowThisWindow();
    void CloseAllMenus();
    void PaintText(RenderTarget* target);
    void PaintIcon();

    std::wstring m_key;
    CUiImage m_icon;
    CUiImage m_hotIcon;
    CMenuWnd* m_subMenuWindow = nullptr;  // borrowed; frees itself
};

} // namespace ui
