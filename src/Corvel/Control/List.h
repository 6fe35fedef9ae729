// List: a vertical box holding an optional column header above a scrolling
// body of rows. The list owns the selection (an array of row indices in the
// order they were selected), the keyboard navigation, the column geometry
// and one shared record of row appearance that every row reads when it
// paints. Tree views and menus are lists too. UI thread only.
#pragma once

#include <cstdint>
#include <vector>

#include "Corvel/Control/VBox.h"
#include "Corvel/Render/UiImage.h"

namespace ui {

class ListBody;
class ListHeader;

// Most columns a list keeps rectangles for; header items past it are laid
// out but never become columns.
constexpr int kMaxListColumns = 32;

// Shared row appearance and the column rectangles (client pixels). Owned
// by the list; rows and menu entries only read it.
struct ListItemStyle {
    int columnCount = 1;
    RECT columns[kMaxListColumns] = {};
    int font = -1;                     // index into the window's font table; -1 default
    unsigned textStyle = DT_VCENTER;   // DrawText bits
    float textPadding[4] = {0, 0, 0, 0}; // left, top, right, bottom; unscaled
    uint32_t textColor = 0xFF000000u;
    uint32_t bkColor = 0;              // 0: none
    CUiImage bkImage;
    bool alternateRows = false;
    uint32_t selectedTextColor = 0xFF000000u;
    uint32_t selectedBkColor = 0xFFC1E3FFu;
    CUiImage selectedImage;
    uint32_t hotTextColor = 0xFF000000u;
    uint32_t hotBkColor = 0xFFE9F5FFu;
    CUiImage hotImage;
    uint32_t disabledTextColor = 0xFFCCCCCCu;
    uint32_t disabledBkColor = 0xFFFFFFFFu;
    CUiImage disabledImage;
    uint32_t lineColor = 0;            // 0: none
    bool showHtml = false;
    bool multiExpanding = false;
    SIZE checkImageSize{0, 0};
    SIZE iconImageSize{0, 0};
    bool showVLines = true;
    bool showHLines = true;
};

// What rows ask of the list that holds them. "Row" means a child of the
// body whose CastTo answers "ListItem"; indices count the body's children.
class IList {
public:
    virtual ListItemStyle* GetItemStyle() = 0;
    // The earliest selected row still in the selection; -1 when empty.
    virtual int GetFirstSelected() const = 0;
    // Makes the row the only selection, scrolls it into view, focuses it
    // when asked and raises "itemselect". False for a missing or non-row.
    virtual bool SelectRow(int index, bool takeFocus) = 0;
    // False unless the row exists, is visible, enabled and selected. Raises
    // nothing.
    virtual bool DeselectRow(int index) = 0;
    // Hands a row's input to the list's own handling.
    virtual bool ForwardEvent(InputEvent* event) = 0;
    // Borrowed; null without a header.
    virtual ListHeader* GetHeader() const = 0;
    virtual ListBody* GetBody() const = 0;
    virtual bool SetHotRow(int index, bool hot) = 0;
    virtual int GetHotRow() const = 0;
    // Adds one visible, enabled row; in single-selection mode SelectRow.
    virtual bool AddRowToSelection(int index, bool takeFocus) = 0;
    // Stores the flag and clears the selection.
    virtual void SetSingleSelect(bool single) = 0;
    virtual bool IsSingleSelect() const = 0;
    virtual int GetAnchorRow() const = 0;
    virtual void SetAnchorRow(int index) = 0;
    // Every visible, enabled row in index order; raises nothing.
    virtual void SelectAllRows() = 0;
    virtual void DeselectAllRows() = 0;
    virtual int GetSelectedCount() const = 0;
    // Negative `after`: the first entry; else the entry following `after`
    // in selection order, -1 when `after` is absent or last.
    virtual int GetNextSelected(int after) const = 0;

protected:
    ~IList() = default;
};

// The same interface part under the owner's name.
class IListOwner : public IList {
protected:
    ~IListOwner() = default;
};

class List : public VBox, public IListOwner {
public:
    List();
    ~List() override;

    const wchar_t* GetClassName() const override;
    void* CastTo(const wchar_t* typeName) override;
    using VBox::SetBounds;
    void SetBounds(float left, float top, float right, float bottom) override;
    bool HandleEvent(InputEvent* event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void BindScrollBars() override;
    int FindNextFocusable(int start, bool forward) const override;

    // IList
    ListItemStyle* GetItemStyle() override { return &m_itemStyle; }
    int GetFirstSelected() const override;
    bool SelectRow(int index, bool takeFocus) override;
    bool DeselectRow(int index) override;
    bool ForwardEvent(InputEvent* event) override;
    ListHeader* GetHeader() const override { return m_header; }
    ListBody* GetBody() const override { return m_body; }
    bool SetHotRow(int index, bool hot) override;
    int GetHotRow() const override { return m_hotRow; }
    bool AddRowToSelection(int index, bool takeFocus) override;
    void SetSingleSelect(bool single) override;
    bool IsSingleSelect() const override { return m_singleSelect; }
    int GetAnchorRow() const override { return m_anchorRow; }
    void SetAnchorRow(int index) override { m_anchorRow = index; }
    void SelectAllRows() override;
    void DeselectAllRows() override;
    int GetSelectedCount() const override { return static_cast<int>(m_selected.size()); }
    int GetNextSelected(int after) const override;

    // IBox: the header, header items and rows each go where they belong;
    // indices count the body's rows.
    Control* ChildAt(int index) const override;
    int IndexOfChild(Control* child) const override;
    bool MoveChild(Control* child, int index) override;
    int ChildCount() const override;
    bool AppendChild(Control* child) override;
    bool InsertChildAt(Control* child, int index) override;
    bool RemoveChild(Control* child) override;
    bool RemoveChildAt(int index) override;
    void RemoveAllChildren(bool relayout) override;
    // Whether the rows are deleted when they leave: the body's setting (the
    // list's own header and body always belong to the list).
    bool GetOwnsChildren() const override;
    void SetOwnsChildren(bool on) override;

    // Passed to the body (the list's own scrolling is the body's; the body
    // is made with the list and lives as long).
    float GetChildGap() const override;
    void SetChildGap(int gap) override;
    void SetScrollStep(int step) override;
    int GetScrollStep() const override;
    void SetScrollSpeed(float speed) override;
    float GetScrollSpeed() const override;
    void SetVFlexRange(int range) override;
    void SetHFlexRange(int range) override;
    int GetVFlexRange() const override;
    int GetHFlexRange() const override;
    ScrollOffset GetScrollOffset() const override;
    ScrollExtent GetScrollExtent() const override;
    void SetScrollExtent(int horizontal, int vertical) override;
    void SetScrollOffset(float x, float y) override;
    void SetScrollOffsetElastic(float x, float y) override;
    void ScrollLineUp() override;
    void ScrollLineDown() override;
    void ScrollPageUp() override;
    void ScrollPageDown() override;
    void ScrollToTop() override;
    void ScrollToBottom() override;
    void ScrollLineLeft() override;
    void ScrollLineRight() override;
    void ScrollPageLeft() override;
    void ScrollPageRight() override;
    void ScrollToLeft() override;
    void ScrollToRight() override;
    void EnableScrollBars(bool vertical, bool horizontal) override;
    ScrollBar* GetVScrollBar() const override;
    ScrollBar* GetHScrollBar() const override;

    bool IsSelectByBound() const { return m_selectByBound; }
    uint32_t GetBoundFillColor() const { return m_boundFill; }
    uint32_t GetBoundBorderColor() const { return m_boundBorder; }
    // The selected rows in selection order.
    const std::vector<int>& GetSelectedRows() const { return m_selected; }
    // Copies the header items' rectangles into the column rectangles (also
    // after horizontal scrolling of the body).
    void CopyColumnRects();
    // Moves the first kMaxListColumns header items left by dx (also those
    // of a hidden header).
    void ShiftHeaderItems(float dx);
    // Scrolls the body so the row lies inside its visible band.
    void EnsureRowVisible(int index);
    // The row at the body index, null for a missing child or a non-row.
    Control* RowAt(int index) const;

protected:
    // The header's item count, at most kMaxListColumns.
    void RefreshColumnCount();
    // Gives a row its index and owner (and the row style names).
    void AdoptRow(Control* row, int index);
    // A control the body took at `at`: later selected indices move up by
    // one, the rows from `at` on are renumbered, a row gets its index and
    // owner.
    void OnRowInserted(Control* child, int at);
    // Rewrites the indices of the rows from `first` on.
    void RenumberRows(int first);
    // Makes `header` the list's header, first in its box; a header it had
    // leaves the box.
    bool SetHeader(ListHeader* header);
    void PlaceHeaderAndBody(float left, float top, float right, float bottom);
    // Internal visibility of a hidden header's items while the columns are
    // measured from them.
    void SetHeaderItemsShown(bool on);
    bool OnListKey(InputEvent* event);
    // The row colours, images and line settings; false for other names.
    bool OnRowStyleAttribute(const wchar_t* name, const wchar_t* value);

    bool m_scrollSelect = false;
    bool m_singleSelect = false;
    bool m_selectByBound = false;
    // Half-transparent dark band, a little more opaque outline.
    uint32_t m_boundFill = 0x7F222222u;
    uint32_t m_boundBorder = 0xEF222222u;
    std::vector<int> m_selected;
    int m_hotRow = -1;
    int m_anchorRow = -1;
    ListBody* m_body = nullptr;     // child of the list's own box
    ListHeader* m_header = nullptr; // child of the list's own box, or null
    ListItemStyle m_itemStyle;
    CUiString m_rowStyleNames;
};

} // namespace ui
