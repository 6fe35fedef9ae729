// One column of a list header: a box with a label, state images and a
// separator strip along one edge that resizes the column when dragged. An
// item with a child named "Sort" toggles its "Asc"/"Desc" arrows and asks
// its list to reorder. UI thread only.
#pragma once

#include <cstdint>

#include "Corvel/Control/Box.h"

namespace ui {

class ListHeaderItem : public Box {
public:
    ListHeaderItem();
    ~ListHeaderItem() override;

    const wchar_t* GetClassName() const override;
    void* CastTo(const wchar_t* typeName) override;
    int GetTraitFlags() const override;
    void SetEnabled(bool on) override;
    void CompleteInit() override;
    bool HandleEvent(InputEvent* event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void PaintForeImage(RenderTarget* target, const RECTF& paintRect) override;
    void PaintLabel(RenderTarget* target, const RECTF& paintRect) override;
    using Box::SetBounds;
    // Lays the children out left to right inside the inset.
    void SetBounds(float left, float top, float right, float bottom) override;

    enum ButtonState : int {
        kButtonFocused = 1,
        kButtonHot = 8,
        kButtonPushed = 0x10,
        kButtonDragging = 0x40,
    };
    int GetButtonState() const { return m_buttonState; }
    bool IsDragable() const { return m_dragable; }
    // Skin units: positive is a strip at the right edge, negative at the left.
    int GetSeparatorWidth() const { return m_separatorWidth; }
    // The separator strip in client pixels (full item height).
    RECTF GetSeparatorRect() const;
    // Called by the "Sort" child's click: flips the arrows and raises
    // "listreorder" through the list.
    void ToggleSortOrder();

private:
    // The strip widened by a few pixels towards the inside, for hit tests.
    bool InSeparatorHitZone(const POINT& pt) const;
    bool OnPress(const POINT& pt);
    void OnDragMove(const POINT& pt);
    void OnRelease();
    void RequestListRelayout();
    bool OnSetCursor(const POINT& pt);
    void FindNamedChildren();
    void DrawStateImage(RenderTarget* target, CUiImage& image, const RECTF& paintRect);

    POINT m_lastDrag{0, 0};
    bool m_dragable = true;
    int m_buttonState = 0;
    int m_separatorWidth = 0;   // set by the constructor
    uint32_t m_textColor = 0; // 0: the window's default, looked up once
    bool m_showHtmlLabel = false;
    float m_labelPadding[4] = {0, 0, 0, 0}; // unscaled; set by the constructor
    CUiImage m_normalImage;
    CUiImage m_hotImage;
    CUiImage m_pushedImage;
    CUiImage m_focusedImage;
    CUiImage m_separatorImage;
    // Named descendants found at initialisation; borrowed, owned by the
    // item's subtree.
    Control* m_title = nullptr;
    Control* m_asc = nullptr;
    Control* m_desc = nullptr;
    Control* m_sort = nullptr;
};

} // namespace ui
