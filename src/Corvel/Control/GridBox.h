// Grid box: places children of one item size in lines. By default rows fill
// the inner width and grow downwards; with "direction" "v" columns fill the
// inner height and grow to the right. The room left over in a line is
// spread evenly between its items, so the first and the last touch the
// inner edges. UI thread only.
#pragma once

#include "Corvel/Control/Box.h"

namespace ui {

class GridBox : public Box {
public:
    GridBox() = default;

    const wchar_t* GetClassName() const override;
    void* CastTo(const wchar_t* typeName) override;
    using Box::SetBounds;
    // Places the box and its children (client pixels). An item size with a
    // zero (or negative) side places no child.
    void SetBounds(float left, float top, float right, float bottom) override;
    // "itemsize", "direction", "count"/"columns"; others go to Box.
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    // In the "child" size mode of the growing axis: the lines the children
    // need at the available size of the other axis.
    ControlSize MeasureSize(float availableWidth, float availableHeight) override;

    // Item size in skin units; a change asks for layout.
    void SetItemSize(float width, float height);
    float GetItemWidth() const { return m_itemWidth; }
    float GetItemHeight() const { return m_itemHeight; }
    // Items in one row (row flow) or column; recomputed by every layout.
    int GetItemsPerLine() const { return m_itemsPerLine; }
    bool IsRowFlow() const { return m_rowFlow; }

private:
    // Whether an item of the current size can be placed at all.
    bool HasItemArea(float itemWidth, float itemHeight) const { return itemWidth > 0 && itemHeight > 0; }
    void LayOutRows(const RECTF& inner, float itemWidth, float itemHeight);
    void LayOutColumns(const RECTF& inner, float itemWidth, float itemHeight);

    float m_itemWidth = 0;
    float m_itemHeight = 0;
    int m_itemsPerLine = 1;
    bool m_rowFlow = true;
};

} // namespace ui
