// A pop-up menu: a vertical list of MenuElement rows. A top-level menu lives
// in a window of its own or in a skinned window; the menu of a sub-menu
// window is made by that window and lists the sub-elements of its owner
// element without taking them from it. UI thread only.
//
// The rows' shared appearance (MenuRowStyle), row selection and the row
// state live here until the menu stands on the library's list.
#pragma once

#include <cstdint>
#include <string>

#include "Corvel/Control/VBox.h"

namespace ui {

class CMenuWnd;
class MenuElement;

// Row appearance every element of the menu reads when it paints; skin
// attributes of the menu ("itemtextcolor" ...). Colours ARGB, padding in
// skin units.
struct MenuRowStyle {
    int font = -1;
    unsigned textStyle = DT_VCENTER;
    float textPadding[4] = {0, 0, 0, 0};
    uint32_t textColor = 0xFF000000u;
    uint32_t bkColor = 0;
    uint32_t selectedTextColor = 0xFF000000u;
    uint32_t selectedBkColor = 0xFFC1E3FFu;
    uint32_t hotTextColor = 0xFF000000u;
    uint32_t hotBkColor = 0xFFE9F5FFu;
    uint32_t disabledTextColor = 0xFFCCCCCCu;
    uint32_t disabledBkColor = 0xFFFFFFFFu;
    bool showHtml = false;
};

// A row's size for the menu's measuring: its measured size, with its own
// fixed width where the measure gives none (pixels).
ControlSize MeasureRow(Control* row, float availableWidth, float availableHeight);

class Menu : public VBox {
public:
    // Rows take the pointer as a whole: the header-less list of the menu.
    Menu();
    ~Menu() override;

    const wchar_t* GetClassName() const override;
    // "Menu" (any case) answers the menu; anything else as the box.
    void* CastTo(const wchar_t* typeName) override;
    // "offset" (x[,y], skin units); the row style attributes; others to the
    // box.
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    // Over the visible, non-floating rows: the widest (clamped to each
    // row's limits) and the sum of the heights with paddings and gaps; a
    // larger fixed size wins. Without rows, as a vertical box.
    ControlSize MeasureSize(float availableWidth, float availableHeight) override;

    // IBox: only controls that cast to "MenuElement" are taken (anything
    // else: false, -1, nothing changes). Appending and inserting give the
    // element its key first. In a sub-menu (with an owner element) the
    // elements stay children of the owner element and are only listed here.
    int IndexOfChild(Control* child) const override;
    bool MoveChild(Control* child, int index) override;
    bool AppendChild(Control* child) override;
    bool InsertChildAt(Control* child, int index) override;
    bool RemoveChild(Control* child) override;

    // The element whose sub-menu this menu shows; null for a top-level menu.
    MenuElement* GetOwnerElement() const { return m_ownerElement; }
    void SetOwnerElement(MenuElement* element) { m_ownerElement = element; }
    // Stores the window (borrowed) and disables every element whose key is
    // in the root menu window's disabled keys.
    void SetMenuWindow(CMenuWnd* window);
    CMenuWnd* GetMenuWindow() const { return m_menuWindow; }
    // The window at the root of this menu's chain of sub-menu windows.
    CMenuWnd* FindRootMenuWindow() const;
    // Unscaled pixels.
    int GetOffsetX() const { return m_offsetX; }
    int GetOffsetY() const { return m_offsetY; }
    const MenuRowStyle& GetRowStyle() const { return m_rowStyle; }

    // Selects the row at `index` and deselects the others; with `focus`
    // the row also takes the window core's focus. False for a missing row.
    bool SelectRow(int index, bool focus);
    // Forgets the rows without touching them (a sub-menu closing).
    void ReleaseRows();

private:
    bool IsElement(Control* child) const;
    // The key of an element appended at `index`, and its sub-elements'.
    void AssignKeys(MenuElement* element, int index);
    bool ListRow(Control* child, int index);
    bool ApplyRowStyleAttribute(const wchar_t* name, const wchar_t* value);

    MenuElement* m_ownerElement = nullptr;  // borrowed
    CMenuWnd* m_menuWindow = nullptr;       // borrowed
    int m_offsetX = 0;
    int m_offsetY = 0;
    MenuRowStyle m_rowStyle;
};

} // namespace ui
