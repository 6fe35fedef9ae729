// Container base: an ordered list of child controls (paint and placement
// order), reached through the IBox part. A plain Box stacks its children
// inside its content rectangle.
#pragma once

#include <vector>

#include "Corvel/Core/Control.h"

namespace ui {

class ScrollBar;

class IBox {
public:
    // Null when the index is outside 0 .. count - 1.
    virtual Control* ChildAt(int index) const = 0;
    // -1 when the control is not a child.
    virtual int IndexOfChild(Control* child) const = 0;
    // False when the control is not a child or the index is outside
    // 0 .. count - 1 (counted with the child still in the list); nothing
    // moves then.
    virtual bool MoveChild(Control* child, int index) = 0;
    virtual int ChildCount() const = 0;
    virtual bool AppendChild(Control* child) = 0;
    // False for null or an index outside 0 .. count; nothing is attached then.
    virtual bool InsertChildAt(Control* child, int index) = 0;
    virtual bool RemoveChild(Control* child) = 0;
    virtual bool RemoveChildAt(int index) = 0;
    virtual void RemoveAllChildren(bool relayout) = 0;

    // Names the window core's walks use.
    Control* GetItemAt(int index) const { return ChildAt(index); }
    int GetCount() const { return ChildCount(); }

protected:
    ~IBox() = default;
};

class Box : public Control, public IBox {
public:
    Box();
    ~Box() override;

    const wchar_t* GetClassName() const override;
    void* CastTo(const wchar_t* typeName) override;
    int GetTraitFlags() const override;
    void AttachCore(WindowCore* core, Control* parent, bool initialise) override;
    using Control::SetBounds;
    void SetBounds(float left, float top, float right, float bottom) override;
    void SetVisible(bool show) override;
    void SetInternalVisible(bool on) override;
    void SetMouseEnabled(bool on) override;
    Control* SearchTree(SearchPredicate predicate, void* data, unsigned flags) override;
    bool HandleEvent(InputEvent* event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    ControlSize MeasureSize(float availableWidth, float availableHeight) override;
    void Paint(const RECTF& dirty, bool pushClip) override;
    void FinishTreeSetup() override;

    // IBox
    Control* ChildAt(int index) const override;
    int IndexOfChild(Control* child) const override;
    bool MoveChild(Control* child, int index) override;
    int ChildCount() const override;
    bool AppendChild(Control* child) override;
    bool InsertChildAt(Control* child, int index) override;
    bool RemoveChild(Control* child) override;
    bool RemoveChildAt(int index) override;
    void RemoveAllChildren(bool relayout) override;

    virtual RECTF GetContentInset() const;
    virtual void SetContentInset(const RECTF& inset);
    virtual float GetChildGap() const;
    virtual void SetChildGap(int gap);
    virtual bool GetOwnsChildren() const { return m_ownsChildren; }
    virtual void SetOwnsChildren(bool on) { m_ownsChildren = on; }
    virtual bool GetDeferredDelete() const { return m_deferredDelete; }
    virtual void SetDeferredDelete(bool on) { m_deferredDelete = on; }
    virtual bool GetChildrenTakeMouse() const { return m_childrenTakeMouse; }
    virtual void SetChildrenTakeMouse(bool on) { m_childrenTakeMouse = on; }
    virtual int FindNextFocusable(int start, bool forward) const;
    virtual void SetVFlexRange(int v) { m_vFlexRange = v; }
    virtual void SetHFlexRange(int v) { m_hFlexRange = v; }
    virtual int GetVFlexRange() const { return m_vFlexRange; }
    virtual int GetHFlexRange() const { return m_hFlexRange; }
    virtual void SetScrollSpeed(float v) { m_scrollSpeed = v; }
    virtual float GetScrollSpeed() const { return m_scrollSpeed; }
    virtual void SetScrollStep(int v) { m_scrollStep = v; }
    virtual int GetScrollStep() const { return m_scrollStep; }
    // Scroll bars come with the scroll bar control; none exists yet.
    virtual ScrollBar* GetVScrollBar() const { return nullptr; }
    virtual ScrollBar* GetHScrollBar() const { return nullptr; }
    virtual void SetExclusiveChild(Control* control, bool member);
    virtual void ShowOnlyChild(Control* control);
    virtual void PlaceFloatChild(int index);

    // Names the control base's documentation uses for the same two.
    void SetOnlyMember(Control* control, bool on) { SetExclusiveChild(control, on); }
    void ShowOnlyMember(Control* control) { ShowOnlyChild(control); }

    void SetEnabledWithChildren(bool enable);
    // Called by a child's destructor: drops it from the box's lists without
    // deleting it again.
    void ChildDestroyed(Control* child);
    bool IsFlowable() const { return m_flowable; }

protected:
    // Attaches a new child and asks for layout; false leaves it untouched.
    void AdoptChild(Control* child);
    // Deletes a child the box owns (deferred through the core when asked).
    void DisposeChild(Control* child);

    std::vector<Control*> m_children;
    std::vector<Control*> m_exclusiveChildren;
    float m_inset[4] = {0, 0, 0, 0};
    int m_childGap = 0;
    int m_vFlexRange = 0;
    int m_hFlexRange = 0;
    int m_scrollStep = 30;
    float m_scrollSpeed = 200.0f;
    bool m_ownsChildren = true;
    bool m_deferredDelete = true;
    bool m_childrenTakeMouse = true;
    bool m_flexEnabled = true;
    bool m_flowable = false;
};

} // namespace ui
