// One row of a list: a box whose children are the row's content, laid out
// in the list's columns. It turns mouse and keyboard input into selection
// calls on its list, paints its background from the list's shared row
// appearance and raises "itemclick" and "itemactivate". UI thread only.
#pragma once

#include "Corvel/Control/Box.h"

namespace ui {

class IList;

// Row state bits of a list row (GetRowState); rows built on ListItem add
// their own bits above these.
enum ListRowState : int {
    kRowHot = 8, // the pointer is over the row
};

class ListItem : public Box {
public:
    ListItem();
    ~ListItem() override;

    const wchar_t* GetClassName() const override;
    void* CastTo(const wchar_t* typeName) override;
    int GetTraitFlags() const override;
    bool TryActivate() override;
    void SetVisible(bool show) override;
    void SetEnabled(bool on) override;
    void SetSelected(bool on) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    bool HandleEvent(InputEvent* event) override;
    using Box::SetBounds;
    void SetBounds(float left, float top, float right, float bottom) override;
    void Paint(const RECTF& dirty, bool pushClip) override;
    // Background from the list's row appearance; nothing without a list.
    virtual void PaintItemBk(RenderTarget* target);

    // Position among the body's rows; -1 until the row joins a list.
    int GetIndex() const { return m_index; }
    void SetIndex(int index) { m_index = index; }
    // The list interface of the list that holds the row; borrowed, null
    // until the row joins a list.
    IList* GetOwner() const { return m_owner; }
    void SetOwner(IList* owner) { m_owner = owner; }
    bool IsRowHot() const { return (m_rowState & kRowHot) != 0; }
    int GetRowState() const { return m_rowState; }
    // Marks the part of the row that shows inside its ancestors dirty.
    void InvalidateVisiblePart();

protected:
    // A press on a selected row of a multi-selection keeps the others until
    // the release, unless the pointer moves further than this (pixels).
    static constexpr int kPendingSelectSlop = 5;

    // Whether `child` takes the row's selected state along (SetSelected);
    // every child of a plain row does.
    virtual bool SharesRowSelection(Control* child) const;
    // Double click and Enter: "itemactivate" on an enabled row.
    void ActivateRow();
    bool OnRowPress(InputEvent* event);
    // Mouse move: a pointer that travels far enough drops the pending select.
    bool OnRowMove(InputEvent* event);
    // Left button up: a pending select makes the row the only selection.
    void OnRowRelease(InputEvent* event);
    void OnRowHot(bool entered);
    bool ForwardOrDefault(InputEvent* event);
    void EndPress();
    void PlaceOverColumns(const RECTF& inner);
    void PlaceNested(const RECTF& inner);

    int m_index = -1;
    bool m_pendingSelect = false;
    POINT m_rowPressAt{0, 0};
    int m_rowState = 0;
    IList* m_owner = nullptr;
};

} // namespace ui
