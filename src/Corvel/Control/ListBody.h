// The scrolling row container of a list: lays its rows out top to bottom,
// scrolls the header along horizontally, and draws the selection band of a
// list that selects by dragging over empty space. Created only by the list.
// UI thread only.
#pragma once

#include "Corvel/Control/VBox.h"

namespace ui {

class List;

class ListBody : public VBox {
public:
    // `owner` is the list that creates and holds the body.
    explicit ListBody(List* owner);
    ~ListBody() override;

    const wchar_t* GetClassName() const override;
    using VBox::SetBounds;
    void SetBounds(float left, float top, float right, float bottom) override;
    bool HandleEvent(InputEvent* event) override;
    void Paint(const RECTF& dirty, bool pushClip) override;
    // Both move the header items and the column rectangles along with a
    // sideways change.
    void SetScrollOffset(float x, float y) override;
    void SetScrollOffsetElastic(float x, float y) override;

    List* GetOwnerList() const { return m_owner; }
    // Lists `row` at `index` (0 .. count) without taking it from the box
    // that holds it: the row is attached to this body's core with the body
    // as its parent, and its holder keeps it in its own child list. False
    // for an index out of range or a row already listed. The body never
    // deletes such a row: ForgetRows drops it before the body goes.
    bool BorrowRow(Control* row, int index);
    // Empties the row list without touching the rows (borrowed rows go
    // back to their holders).
    void ForgetRows();
    bool IsBandVisible() const { return m_bandVisible; }
    RECTF GetBandRect() const { return m_band; }

private:
    // Rows top to bottom; returns the rows' total height with gaps.
    float PlaceRows(const RECTF& inner, float offeredWidth);
    void FollowSideways(float dx);
    void OnBandMove(const POINT& pt);
    void HideBand();

    List* m_owner; // not owned: the list holds the body
    bool m_pressed = false;
    POINT m_pressAt{0, 0};
    RECTF m_band{0, 0, 0, 0};
    RECTF m_bandDirty{0, 0, 0, 0};
    bool m_bandVisible = false;
};

} // namespace ui
