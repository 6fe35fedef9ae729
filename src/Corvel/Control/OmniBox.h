// An edit box with a drop-down list of suggestions. The suggestions are
// ordinary controls of the skin: the first "VBox" child becomes the
// suggestion list (owned by the omnibox, shown in an OmniBoxWnd), and every
// child after it is a suggestion appended to that list. Choosing a
// suggestion with the mouse makes it current and closes the drop-down; the
// keyboard stays with the edit box. UI thread only.
#pragma once

#include <memory>
#include <string>

#include "Corvel/Control/Edit.h"

namespace ui {

class OmniBoxWnd;

class OmniBox : public Edit {
public:
    OmniBox();
    // Deletes the list, then the drop-down window.
    ~OmniBox() override;

    const wchar_t* GetClassName() const override;
    // "OmniBox" answers the omnibox; other names as a box answers them (so
    // "Edit" gives null).
    void* CastTo(const wchar_t* typeName) override;
    // Opens the drop-down (creating it on the first call); the activation
    // right after the drop-down closed under the pointer only makes it hot.
    bool TryActivate() override;
    // Kill focus hides the drop-down; window moves re-place it.
    bool HandleEvent(InputEvent* event) override;
    // "itemstyles": the style given to every suggestion added later.
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;

    // IBox: the first VBox becomes the list; other children are suggestions
    // (refused, false, before there is a list). The list owns them. The
    // look-ups (ChildAt, ChildCount...) see the omnibox's own children.
    bool AppendChild(Control* child) override;
    bool InsertChildAt(Control* child, int index) override;
    // False for a control that is not a suggestion.
    bool RemoveChild(Control* child) override;
    // False for an index past the list's last suggestion.
    bool RemoveChildAt(int index) override;
    void RemoveAllChildren(bool relayout) override;

    // Makes suggestion `index` current and selects only it (-1: none).
    // False without a list.
    bool SelectIndex(int index);
    // Makes `item` current (deselecting the others it passes). False
    // without a list.
    bool SelectItem(Control* item);
    int GetCurrentIndex() const { return m_current; }
    // Borrowed; null until a list is appended.
    Box* GetList() const { return m_list.get(); }
    // Borrowed; null until the first activation.
    OmniBoxWnd* GetDropDown() const { return m_dropDown.get(); }
    bool IsDropDownOpen() const;
    void HideDropDown();
    const std::wstring& GetItemStyle() const { return m_itemStyle; }

    // Told by the drop-down after it opened (true) or closed (false).
    void OnDropDownClosed(bool open);

private:
    void AdoptList(Box* list);
    void PrepareSuggestion(Control* item, bool inserted);

    std::unique_ptr<Box> m_list;
    std::unique_ptr<OmniBoxWnd> m_dropDown;
    int m_current = -1;
    std::wstring m_itemStyle;
    bool m_reopenGuard = false;
};

} // namespace ui
