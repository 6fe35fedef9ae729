// Vertical box: stacks its visible children from top to bottom. Children
// with a fixed height get it; the height left is shared by the stretch
// children (negative measured height), the last of them taking what rounding
// and clamping leave over. An optional separator strip along the bottom (or
// top) edge lets the user drag the box's own height. UI thread only.
#pragma once

#include "Corvel/Control/Box.h"
#include "Corvel/Control/BoxLayout.h"

namespace ui {

class VBox : public Box {
public:
    VBox();
    ~VBox() override;

    const wchar_t* GetClassName() const override;
    void* CastTo(const wchar_t* typeName) override;
    using Box::SetBounds;
    // Places the box and lays its children out (client pixels).
    void SetBounds(float left, float top, float right, float bottom) override;
    // Separator drag and cursor; everything else goes to the container.
    bool HandleEvent(InputEvent* event) override;
    // "sepheight", "sepimm", "itemalign"; others go to Box.
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    // Differs from the container's only in the "child" size modes.
    ControlSize MeasureSize(float availableWidth, float availableHeight) override;
    // The dark tracker of a drag in tracking mode.
    void PaintOverlay(const RECTF& dirty) override;

    // Separator size in skin units: positive along the bottom edge, negative
    // along the top, 0 for none.
    int GetSeparatorSize() const { return m_separatorSize; }
    void SetSeparatorSize(int size) { m_separatorSize = size; }
    bool IsImmediate() const { return m_immediate; }
    void SetImmediate(bool on);
    int GetItemAlign() const { return m_itemAlign; }
    void SetItemAlign(int align) { m_itemAlign = align; }
    bool IsDragging() const { return (m_dragFlags & kDragging) != 0; }
    // The strip (client pixels) from the tracked rectangle of the drag when
    // `tracked` is true, else from the bounds.
    RECTF GetSeparatorRect(bool tracked) const;

private:
    enum : int {
        kDragging = 0x40,
        // The window lost the capture during the drag, which ended there.
        kEndedByCaptureLoss = 0x80,
    };

    // The two passes of the layout along the flow's axis.
    struct FlowPlan {
        int fixedSum = 0;      // fixed children, paddings and gaps (truncated)
        int stretchCount = 0;
        int share = 0;         // of each stretch child but the last
        float available = 0;   // the inner length along the flow
    };
    // The content the flow needs, for the scroll bars: along the flow and
    // across it (the largest child with its padding).
    struct FlowNeeds {
        int main = 0;
        int cross = 0;
    };
    FlowPlan PlanFlow(float measureWidth, float availHeight, int gap);
    FlowNeeds PlaceFlow(const RECTF& inner, float measureWidth, const FlowPlan& plan, int gap);
    float AlignedLeft(const RECTF& inner, float startX, const RECTF& pad, float width) const;
    bool BeginDrag(const POINT& pt);
    void DragTo(const POINT& pt);
    // Release or lost capture: the box keeps the tracked size.
    void EndDrag();
    bool OnSetCursor(const POINT& pt);

    int m_separatorSize = 0;
    int m_dragFlags = 0;
    int m_lastX = 0, m_lastY = 0;
    RECTF m_tracked;
    bool m_immediate = false;
    int m_itemAlign = kAlignNear;
    SeparatorCaptureWatch m_captureWatch;
};

} // namespace ui
