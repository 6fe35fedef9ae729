// One axis of a container's scroll state: an integer range (how far the
// content overflows, in pixels) and a float position, drawn as a background,
// two end buttons, a thumb and a centred grip, each with skin images per
// state. Presses and drags become line, page and position scrolling of the
// owner box; a bar without an owner scrolls its own position. UI thread
// only, like every control.
#pragma once

#include <memory>

#include "Corvel/Core/Control.h"

namespace ui {

class Box;

// State bits of the bar's parts (buttons and thumb).
enum ScrollPartState : int {
    kPartDisabled = 4,
    kPartHot = 8,
    kPartPushed = 0x10,
    kPartDragging = 0x40, // thumb only
};

// The bar's own state word uses this bit, beside the control state bits, for
// "inactive" (the pointer is not over the owner box).
constexpr int kStateInactive = 0x200;

class ScrollBar : public Control {
public:
    // A vertical bar of the default thickness; no owner.
    ScrollBar();
    ~ScrollBar() override;

    const wchar_t* GetClassName() const override;
    // "ScrollBar" and "Control": the bar itself; anything else: null.
    void* CastTo(const wchar_t* typeName) override;
    using Control::SetBounds;
    // Places the buttons and the thumb inside the new rectangle.
    void SetBounds(float left, float top, float right, float bottom) override;
    // A disabled bar's parts lose their states.
    void SetEnabled(bool on) override;
    // As the base, and the thumb's narrowing ("shrink") animates towards 0
    // while hot and back to the shrink size when not.
    void SetHot(bool on) override;
    bool HandleEvent(InputEvent* event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    // "thumbPos": the thumb rectangle narrowed across the bar by the current
    // shrink and clamped to the bar; anything else: not found.
    void GetPropertyValue(PropertyValue& out, const wchar_t* name) override;
    void Paint(const RECTF& dirty, bool pushClip) override;

    // Clears (active) or sets (inactive) kStateInactive and plays the
    // "inactive" style state when the style set has one.
    void SetActive(bool active);
    bool IsActive() const { return (m_state & kStateInactive) == 0; }
    // Switching axis gives the bar its thickness across the new axis (when
    // that fixed size is unset) and asks for layout.
    void SetHorizontal(bool horizontal);
    bool IsHorizontal() const { return m_horizontal; }
    // Stores the range (pixels; negative as 0). True when the position lay
    // beyond the new range and was pulled back to it. A new non-zero range
    // raises "ScrollBarInit" through the window core (sender: the owner's
    // parent, or the bar itself when it has no owner).
    bool SetRange(int range);
    int GetRange() const { return m_range; }
    // Moves the position (pixels). Not elastic: clamped into 0 .. range.
    // Elastic: it may lie beyond either end by up to the scaled flex range;
    // the overshoot records how far. Within 0 .. range the overshoot is 0.
    void SetScrollOffset(float position, bool elastic);
    float GetScrollPos() const { return m_position; }
    // Pixels beyond 0 (negative) or beyond the range (positive); 0 inside.
    int GetOvershoot() const { return m_overshoot; }
    // Borrowed; the box this bar scrolls, null for a free bar.
    void SetOwner(Box* owner) { m_owner = owner; }
    Box* GetOwner() const { return m_owner; }
    // Over-scroll limit in skin units (unscaled); copied from the owner.
    void SetFlexRange(int range) { m_flexRange = range; }
    int GetFlexRange() const { return m_flexRange; }
    // Unscaled thickness ("w") and own line step ("linesize").
    int GetThickness() const { return m_thickness; }
    int GetLineSize() const { return m_lineSize; }
    // Current narrowing of the thumb, skin units.
    float GetShrink() const { return m_shrink; }

    // Part rectangles in client pixels (empty when not shown; an all-zero
    // thumb means the bar has no room for one) and part states.
    RECT GetButton1Rect() const { return m_button1; }
    RECT GetButton2Rect() const { return m_button2; }
    RECT GetThumbRect() const { return m_thumb; }
    int GetButton1State() const { return m_button1State; }
    int GetButton2State() const { return m_button2State; }
    int GetThumbState() const { return m_thumbState; }

private:
    // One part's four images: normal, hot, pushed, disabled.
    struct PartImages {
        CUiImage normal, hot, pushed, disabled;
    };

    // Layout of the parts (truncated to whole pixels).
    int ScaledSide() const;
    void PlaceParts();
    void PlaceThumb(int trackStart, int trackEnd, int avail, int length, int side);
    // The parts' extents along the bar's axis.
    int AlongStart(const RECT& r) const { return m_horizontal ? r.left : r.top; }
    int AlongEnd(const RECT& r) const { return m_horizontal ? r.right : r.bottom; }
    int BarLength() const;

    // Input.
    bool OnButtonDown(InputEvent* event);
    bool OnButtonUp();
    void OnMouseMove(const POINT& pt);
    void OnMouseEnter(const POINT& pt);
    void OnMouseLeave();
    void DragThumbTo(const POINT& pt);
    void ScrollLine(bool towardsStart);
    void ScrollPage(bool towardsStart);
    // Scrolls a bar without owner to `target` on its own tween.
    void AnimateOwnPositionTo(float target);
    bool OnShrinkStep(CTimeLine* timeline);
    // Forwards to the owner, or the base without one.
    bool PassToOwner(InputEvent* event);

    // Painting.
    void PaintPart(PartImages& images, int state, const RECT& rect);
    void PaintRail();
    bool DrawFirstOf(std::initializer_list<CUiImage*> candidates, const RECTF& dest);
    // The image slot an attribute names; null for other names.
    CUiImage* ImageForAttribute(const wchar_t* name);

    int m_thickness;
    bool m_horizontal = false;
    int m_range = 0;
    float m_position = 0.0f;
    int m_lineSize;
    Box* m_owner = nullptr;
    POINT m_dragStart{0, 0};
    float m_dragStartPosition = 0.0f;
    int m_dragDelta = 0;
    int m_shrinkSize = 0;
    float m_shrink = 0.0f;
    PartImages m_bkImages;
    bool m_button1Shown = true;
    RECT m_button1{0, 0, 0, 0};
    int m_button1State = 0;
    PartImages m_button1Images;
    bool m_button2Shown = true;
    RECT m_button2{0, 0, 0, 0};
    int m_button2State = 0;
    PartImages m_button2Images;
    RECT m_thumb{0, 0, 0, 0};
    int m_thumbState = 0;
    PartImages m_thumbImages;
    PartImages m_railImages;
    int m_flexRange = 0;
    int m_overshoot = 0;
    std::unique_ptr<CTimeLineTween> m_shrinkTween;
    std::unique_ptr<CTimeLineTween> m_scrollTween;
};

} // namespace ui
