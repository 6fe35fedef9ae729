// One row of a menu. Menu elements inside it form its sub-menu: they never
// show in the row itself, and open in a sub-menu window (CMenuWnd) when the
// pointer enters the row or it is pressed. Pressing or activating a leaf
// closes every menu window. UI thread only.
#pragma once

#include <string>

#include "Corvel/Control/Box.h"

namespace ui {

class CMenuWnd;
class Menu;

// Row state bits of a menu element.
enum MenuRowFlags : int {
    kRowHot = 8,          // the pointer is over the row
    kRowSubMenuOpen = 16, // the row's sub-menu window is open
};

class MenuElement : public Box {
public:
    MenuElement();
    // Closes an open sub-menu window first.
    ~MenuElement() override;

    const wchar_t* GetClassName() const override;
    // "MenuElement" (any case) or exactly "ListItem" answer the element;
    // else as the box.
    void* CastTo(const wchar_t* typeName) override;
    // kTraitWantsSetCursor with "needcursor", else 0: never a Tab stop.
    int GetTraitFlags() const override;
    // Clicks the row; "itemactivate". A selected element then opens its
    // sub-menu, or, as a leaf, closes every menu window. False when the
    // control refused or the element is not selected.
    bool TryActivate() override;
    // Enter opens the sub-menu (or closes the menu's other sub-menus for a
    // leaf); a press opens it or closes every menu window; the hand cursor.
    bool HandleEvent(InputEvent* event) override;
    // "iconormalimage", "icohotimage", "selected"; others to the box.
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    // Places only the children that are not menu elements, over the row.
    using Box::SetBounds;
    void SetBounds(float left, float top, float right, float bottom) override;
    // Background, text and icon from the menu's row style, then the
    // children that are not menu elements; a style set paints instead.
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
    // The menu that shows the row (borrowed; null before it joins one).
    Menu* GetOwnerList() const { return m_ownerList; }
    void SetOwnerList(Menu* menu) { m_ownerList = menu; }
    int GetRowFlags() const { return m_rowFlags; }
    void ClearRowFlag(int flag) { m_rowFlags &= ~flag; }
    HWND GetWindowHandle() const;

private:
    // Makes the sub-elements visible (for the sub-menu window) and opens it.
    void ShowSubElements();
    void CloseMenusBelowThisWindow();
    void CloseAllMenus();
    // "itemclick" and the row selection of a press.
    void PressRow();
    void PaintRow(RenderTarget* target);
    void PaintText(RenderTarget* target);
    void PaintIcon();

    std::wstring m_key;
    CUiImage m_icon;
    CUiImage m_hotIcon;
    CMenuWnd* m_subMenuWindow = nullptr;  // borrowed; frees itself
    Menu* m_ownerList = nullptr;          // borrowed
    int m_rowFlags = 0;
};

} // namespace ui
