// A box that keeps a list of items and one current item, and shows the items
// in a drop-down window. The items are ordinary controls held by an item
// container (a VBox): the combo box makes them selectable, groups them as one
// radio group and listens to their "select" and "click" events. The combo
// box is "selected" while its drop-down is open. UI thread only.
#pragma once

#include <memory>
#include <string>

#include "Corvel/Control/Box.h"

namespace ui {

class CComboBoxWnd;

class ComboBox : public Box {
public:
    ComboBox();
    // Closes the drop-down, deletes the item container with its items, then
    // the drop-down window.
    ~ComboBox() override;

    const wchar_t* GetClassName() const override;
    // "ComboBox" answers the combo box; other names as for a box.
    void* CastTo(const wchar_t* typeName) override;
    int GetTraitFlags() const override;
    // Opens the drop-down (creating it on the first call); the click that
    // closed the drop-down by landing on the combo box only makes it hot.
    bool TryActivate() override;
    // The current item's text; empty without a current item.
    CUiString GetText() const override;
    using Control::SetBounds;
    void SetBounds(float left, float top, float right, float bottom) override;
    // Keys move the current item (Up/Down, Page Up/Down, Home, End; F4
    // opens); the wheel too.
    bool HandleEvent(InputEvent* event) override;
    // "selectedid" (ChooseItem), "itemstyles" (style of items appended
    // later); other names as for a box.
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void Paint(const RECTF& dirty, bool pushClip) override;

    // IBox: the items. The first child that casts to "VBox" becomes the item
    // container (owned by the combo box); every other child is appended to
    // the container as an item (nothing happens, false, without one). The
    // container owns the items.
    Control* ChildAt(int index) const override;
    int ChildCount() const override;
    bool AppendChild(Control* child) override;
    bool InsertChildAt(Control* child, int index) override;
    // An item is removed from the container (and deleted by it); the current
    // item moves to the nearest item before it. False for a control that is
    // not an item.
    bool RemoveChild(Control* child) override;
    bool RemoveChildAt(int index) override;
    void RemoveAllChildren(bool relayout) override;

    // Makes the item at `index` current and selects only it (an index that
    // matches no item deselects all and still becomes current). Raises no
    // "itemselect": that is for the user's choices. False without an item
    // container.
    bool ChooseItem(int index);
    // The items' "select" handlers: makes `item` current; when that changed
    // the current item, runs the "itemselect" handler and raises
    // "itemselect" (wParam current index, lParam previous index). False
    // without an item container.
    bool SelectItem(Control* item);

    int GetCurrentIndex() const { return m_current; }
    int GetPreviousIndex() const { return m_previous; }
    // Borrowed; null until a container is appended.
    Box* GetItemContainer() const { return m_items.get(); }
    // Borrowed; null until the first opening.
    CComboBoxWnd* GetDropDown() const { return m_dropDown.get(); }
    bool IsDropDownOpen() const;
    void CloseDropDown();
    bool IsWheelEnabled() const { return m_wheel; }
    const std::wstring& GetItemStyle() const { return m_itemStyle; }

    // Told by the drop-down window.
    void OnDropDownOpened() {}
    void OnDropDownClosed();
    // The name of the items' selection group.
    std::wstring GroupName() const;

private:
    bool IsItemContainer(Control* child) const;
    void AdoptContainer(Box* container);
    // Selectable, in the group, with the combo box's handlers and style.
    void PrepareItem(Control* item, bool inserted);
    // A user's choice: ChooseItem, then "itemselect" when it changed.
    void ChooseByUser(int index);
    // FindNextFocusable of the container from `start`; -1 when none.
    int NextItem(int start, bool forward) const;
    bool OnKey(WORD key);
    void AfterCurrentChanged();
    void RaiseItemSelect();

    std::unique_ptr<CComboBoxWnd> m_dropDown;
    std::unique_ptr<Box> m_items;
    bool m_wheel = true;
    bool m_changed = false;
    bool m_ignoreNextActivation = false;
    // Set while ChooseItem selects items: their "select" handlers then
    // leave the current index to it.
    bool m_choosing = false;
    // Set while SetBounds places the combo box's own children: the IBox
    // then answers them instead of the items.
    bool m_placingOwnChildren = false;
    int m_current = -1;
    int m_previous = -1;
    std::wstring m_itemStyle;
};

} // namespace ui
