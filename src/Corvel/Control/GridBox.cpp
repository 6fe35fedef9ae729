#include "Corvel/Control/GridBox.h"

#include <cwchar>
#include <cstdlib>

#include "Corvel/Control/BoxLayout.h"

namespace ui {

namespace {

// Items that fit in a line of `length` pixels; at least one.
int ItemsPerLine(float length, float itemLength)
{
    const int n = static_cast<int>(length / itemLength);
    return n > 0 ? n : 1;
}

// Lines that `count` items need at `perLine` items a line, and the length
// they take across the lines: items and the gaps between them.
float LinesLength(int count, int perLine, float itemLength, float gap)
{
    const int lines = (count + perLine - 1) / perLine;
    return lines > 0 ? (lines - 1) * gap + lines * itemLength : 0.0f;
}

} // namespace

const wchar_t* GridBox::GetClassName() const { return L"GridBox"; }

void* GridBox::CastTo(const wchar_t* typeName)
{
    if (typeName && wcscmp(typeName, L"GridBox") == 0)
        return this;
    return Box::CastTo(typeName);
}

void GridBox::SetItemSize(float width, float height)
{
    if (width == m_itemWidth && height == m_itemHeight)
        return;
    m_itemWidth = width;
    m_itemHeight = height;
    RequestRelayout();
}

// ----------------------------------------------------------------- layout

void GridBox::SetBounds(float left, float top, float right, float bottom)
{
    Control::SetBounds(left, top, right, bottom);
    const RECTF inner = boxlayout::Deflate(m_bounds, GetContentInset());
    const float s = GetScale();
    const float itemWidth = m_itemWidth * s, itemHeight = m_itemHeight * s;
    // An item without area has no place in a line: nothing is placed.
    if (!HasItemArea(itemWidth, itemHeight)) {
        PlaceScrollBars(inner, 0, 0);
        return;
    }
    if (m_rowFlow)
        LayOutRows(inner, itemWidth, itemHeight);
    else
        LayOutColumns(inner, itemWidth, itemHeight);
}

void GridBox::LayOutRows(const RECTF& inner, float itemWidth, float itemHeight)
{
    const float gap = GetChildGap();
    const float lineWidth = inner.Width() + static_cast<float>(GetScrollExtent().horizontal);
    const int perRow = ItemsPerLine(lineWidth, itemWidth);
    m_itemsPerLine = perRow;
    // The width left over goes evenly between the columns.
    const float spacing = (lineWidth - perRow * itemWidth) / (perRow > 1 ? perRow - 1 : 1);
    const ScrollOffset offset = GetScrollOffset();
    const float startX = inner.left - offset.horizontal, startY = inner.top - offset.vertical;
    int rows = 0, column = 0;
    float rowTop = startY;
    for (int i = 0; i < ChildCount(); ++i) {
        Control* child = m_children[static_cast<size_t>(i)];
        if (!child->IsVisible())
            continue;
        if (child->IsFloat()) {
            PlaceFloatChild(i);
            continue;
        }
        // Rows start at every multiple of the row length, counting hidden
        // and floating children too; the first placed child always starts
        // one, whatever its index.
        if (rows == 0 || i % perRow == 0) {
            column = 0;
            rowTop = (itemHeight + gap) * rows + startY;
            ++rows;
        }
        const RECTF pad = child->GetPadding();
        const float x = (itemWidth + spacing) * column + startX + pad.left;
        const float y = rowTop + pad.top;
        child->SetBounds(x, y, x + itemWidth, y + itemHeight);
        ++column;
    }
    const float needed = rows > 0 ? (rows - 1) * gap + rows * itemHeight : 0.0f;
    PlaceScrollBars(inner, 0, static_cast<int>(needed));
}

void GridBox::LayOutColumns(const RECTF& inner, float itemWidth, float itemHeight)
{
    const float gap = GetChildGap();
    const float lineHeight = inner.Height() + static_cast<float>(GetScrollExtent().vertical);
    const int perColumn = ItemsPerLine(lineHeight, itemHeight);
    m_itemsPerLine = perColumn;
    const float spacing = (lineHeight - perColumn * itemHeight) / (perColumn > 1 ? perColumn - 1 : 1);
    const ScrollOffset offset = GetScrollOffset();
    const float startX = inner.left - offset.horizontal, startY = inner.top - offset.vertical;
    int columns = 0, row = 0;
    float columnLeft = startX;
    for (int i = 0; i < ChildCount(); ++i) {
        Control* child = m_children[static_cast<size_t>(i)];
        if (!child->IsVisible())
            continue;
        if (child->IsFloat()) {
            PlaceFloatChild(i);
            continue;
        }
        if (columns == 0 || i % perColumn == 0) {
            row = 0;
            columnLeft = (itemWidth + gap) * columns + startX;
            ++columns;
        }
        const RECTF pad = child->GetPadding();
        const float x = columnLeft + pad.left;
        const float y = (itemHeight + spacing) * row + startY + pad.top;
        child->SetBounds(x, y, x + itemWidth, y + itemHeight);
        ++row;
    }
    const float needed = columns > 0 ? (columns - 1) * gap + columns * itemWidth : 0.0f;
    PlaceScrollBars(inner, static_cast<int>(needed), 0);
}

ControlSize GridBox::MeasureSize(float availableWidth, float availableHeight)
{
    ControlSize own = Box::MeasureSize(availableWidth, availableHeight);
    if (m_children.empty())
        return own;
    const RECTF inset = GetContentInset();
    const float s = GetScale();
    const float itemWidth = m_itemWidth * s, itemHeight = m_itemHeight * s;
    const bool area = HasItemArea(itemWidth, itemHeight);
    const float gap = GetChildGap();
    // Every child counts, hidden ones included.
    const int count = ChildCount();
    if (m_rowFlow && m_heightMode == kSizeChildren) {
        float content = 0;
        if (area) {
            const int perRow = ItemsPerLine(availableWidth - inset.left - inset.right, itemWidth);
            content = LinesLength(count, perRow, itemHeight, gap);
        }
        own.height = content + inset.top + inset.bottom;
    } else if (!m_rowFlow && m_widthMode == kSizeChildren) {
        float content = 0;
        if (area) {
            const int perColumn = ItemsPerLine(availableHeight - inset.top - inset.bottom, itemHeight);
            content = LinesLength(count, perColumn, itemWidth, gap);
        }
        own.width = content + inset.left + inset.right;
    }
    return own;
}

// ------------------------------------------------------------ attributes

void GridBox::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name)
        return;
    const wchar_t* v = value ? value : L"";
    if (wcscmp(name, L"itemsize") == 0) {
        // Width, one separator character, height; no height reads as 0.
        wchar_t* end = nullptr;
        const float width = static_cast<float>(wcstod(v, &end));
        const float height = (end && *end) ? static_cast<float>(wcstod(end + 1, nullptr)) : 0.0f;
        SetItemSize(width, height);
    } else if (wcscmp(name, L"direction") == 0) {
        if (wcscmp(v, L"v") == 0 || wcscmp(v, L"V") == 0 || wcscmp(v, L"vertical") == 0) {
            m_rowFlow = false;
            RequestRelayout();
        }
    } else if (wcscmp(name, L"count") == 0 || wcscmp(name, L"columns") == 0) {
        const int n = static_cast<int>(wcstol(v, nullptr, 10));
        if (n >= 1) {
            m_itemsPerLine = n;
            RequestRelayout();
        }
    } else {
        Box::SetAttribute(name, value);
    }
}

} // namespace ui
