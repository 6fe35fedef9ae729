// Base class of every element of a skinned window: geometry and layout
// constraints, state bits, texts, hooks and event handlers, and the links to
// its window core, parent and render target.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "Corvel/Core/UiEvents.h"
#include "Corvel/Core/UiString.h"
#include "Corvel/Core/UiTypes.h"
#include "Corvel/Render/RenderTarget.h"
#include "Corvel/Render/Shapes.h"
#include "Corvel/Render/TimeLine.h"
#include "Corvel/Render/UiImage.h"

namespace Gdiplus {
class Bitmap;
}

namespace ui {

class WindowCore;
class RenderTarget;
class CTimeLine;
class Layer;
class ControlTransform;
struct AnimationSpec;
class StyleSet;
class TextPainter;

// Deletes a style set where its type is complete (the control only points
// at it).
struct StyleSetDeleter {
    void operator()(StyleSet* set) const;
};

// State bits of the state word.
enum ControlState : int {
    kStateDisabled = 1,
    kStateBusy = 2,
    kStateNormal = 4,
    kStateSelected = 8,
    kStateFocused = 16,
    kStateHot = 32,
    kStateHover = 64,
    kStatePushed = 128,
};

// Flags of SearchTree.
enum SearchFlags : unsigned {
    kSearchVisible = 1,        // visible and placed controls only
    kSearchEnabled = 2,        // enabled controls only
    kSearchHitTest = 4,        // data is a POINT in client pixels
    kSearchReverse = 8,        // containers search their children last to first
    kSearchSelfFirst = 0x80000000u, // containers test themselves before children
};

// Bits of GetTraitFlags.
enum TraitFlags : int {
    kTraitTabStop = 1,        // Tab moves the focus here
    kTraitWantsSetCursor = 2, // receives set-cursor events and chooses the cursor
    kTraitTakesReturn = 4,    // Return is the control's own key
};

// Stroke styles of a border ("borderstroke").
enum BorderStroke : int {
    kStrokeSolid = 0,
    kStrokeDash = 1,
    kStrokeDot = 2,
    kStrokeDashDot = 3,
    kStrokeDashDotDot = 4,
};

// DrawText-style bits of a control's text style.
enum TextStyleBits : int {
    kTextCenter = DT_CENTER,          // 1
    kTextRight = DT_RIGHT,            // 2
    kTextVCenter = DT_VCENTER,        // 4
    kTextBottom = DT_BOTTOM,          // 8
    kTextSingleLine = DT_SINGLELINE,  // 0x20
    kTextEndEllipsis = DT_END_ELLIPSIS, // 0x8000
};

// Tree-search predicate: a non-null result ends the search.
using SearchPredicate = Control* (*)(Control* control, void* data);

// Answer of MeasureSize; a negative value means "no fixed size" on that axis.
struct ControlSize {
    float width;
    float height;
};

// How a control's width or height is found by its container.
enum SizeMode : int {
    kSizeStretch = 0,  // "flex", "fill": the layout stretches it
    kSizeText = 1,     // "text", "auto", "-1": fits its text
    kSizeChildren = 2, // "child": fits its children
};

// Fixed position (scaled when read).
struct FixedPos {
    float x, y;
};

// Float placement: position percentages, scaled offsets, size percentages.
struct FloatRectInfo {
    float px, py, ox, oy, pw, ph;
};

// FNV-1a hashing of narrow and integer keys for the control's maps (wide
// keys use WideKeyHash).
struct NarrowKeyHash {
    size_t operator()(const std::string& s) const
    {
        uint32_t h = 0x811C9DC5u;
        for (unsigned char c : s) {
            h ^= c;
            h *= 16777619u;
        }
        return h;
    }
};
struct IntKeyHash {
    size_t operator()(int v) const
    {
        uint32_t h = 0x811C9DC5u;
        for (int i = 0; i < 4; ++i) {
            h ^= static_cast<uint32_t>(v >> (8 * i)) & 0xFFu;
            h *= 16777619u;
        }
        return h;
    }
};

class Control {
public:
    using NotifyHandler = std::function<bool(tagTNotifyUI*)>;
    using EventHandler = std::function<bool(InputEvent*)>;
    using Callback = std::function<void()>;

    Control();
    virtual ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    // Identity.
    virtual CUiString GetName() const;
    virtual void SetName(const wchar_t* name);
    virtual const wchar_t* GetClassName() const;
    // This control (or an interface part of it) when it answers `typeName`
    // exactly, else null.
    virtual void* CastTo(const wchar_t* typeName);
    // TraitFlags bits.
    virtual int GetTraitFlags() const;
    // The click: see the control's documentation of states.
    virtual bool TryActivate();

    // Links.
    virtual WindowCore* GetCore() const;
    virtual void AttachCore(WindowCore* core, Control* parent, bool initialise);
    virtual Control* GetParent() const;
    virtual Control* FindAncestorByName(const wchar_t* name) const;
    virtual Control* FindAncestorByType(const wchar_t* typeName) const;
    // The render target the control last resolved at layout; null before
    // the first layout and after its window core unbound (and deleted it).
    RenderTarget* GetRenderTarget() const { return m_renderTarget; }
    // Gives the control an offscreen layer (mode kept as given) unless it
    // has one; its target is made and sized at the next layout, and from
    // then on the control and its children draw into it. The layer lives as
    // long as the control.
    void EnsureLayer(uint8_t mode);
    // Borrowed; null without a layer.
    Layer* GetLayer() const { return m_layer.get(); }
    // Drops that pointer: its core is about to delete the target. The next
    // layout resolves it again; painting until then asks the core.
    // The control's own layer, if any, drops its child target too.
    void ForgetRenderTarget();

    // Texts (ControlAppearance.cpp).
    //
    // The own text; when empty, the text of the current state's first text
    // element of the style set.
    virtual CUiString GetText() const;
    virtual void SetText(const wchar_t* text);
    // With state names (","-separated) or an element name, sets the text of
    // those text elements of the style set instead of the own text.
    void SetText(const wchar_t* text, const wchar_t* stateNames, const wchar_t* elementName);
    // The part before a trailing "{v}" of the first text that had one.
    CUiString GetValueTemplate() const { return m_valueTemplate; }
    // Text-style words ("left", "hcenter", "right", "top", "vcenter",
    // "bottom", "lines", "enddot", "rich", "html"), later words winning.
    void ParseTextStyle(const wchar_t* words);
    bool IsTextStyleGiven() const { return m_textStyleGiven; }
    bool IsRichText() const { return m_richText; }
    bool IsHtmlText() const { return m_showHtml; }
    // Unscaled text padding (left, top, right, bottom) and its scaled form.
    RECTF GetTextPadding() const
    {
        return RECTF{m_textPadding[0], m_textPadding[1], m_textPadding[2], m_textPadding[3]};
    }
    RECTF GetScaledTextPadding() const;
    // Unscaled character and line spacing.
    float GetCharSpacing() const { return m_charSpacing; }
    float GetLineSpacing() const { return m_lineSpacing; }
    // Gives the image element of that name, in the named states (or in
    // every state), the descriptor text.
    void SetStateProperty(const wchar_t* value, const wchar_t* stateNames, const wchar_t* elementName);
    // The style-set side of SetText with state or element names: the text
    // elements of that name in the named states (every state when null).
    void SetStyleElementText(const wchar_t* text, const wchar_t* stateNames, const wchar_t* elementName);

    // Geometry (bounds in window client pixels; other sizes stored unscaled
    // and multiplied by the window's DPI scale when read).
    virtual void ClearPlaced();
    virtual bool IsPlaced() const;
    virtual RECTF GetBounds() const;
    virtual void SetBounds(float left, float top, float right, float bottom);
    void SetBounds(const RECTF& r) { SetBounds(r.left, r.top, r.right, r.bottom); }
    virtual int GetWidth() const;
    virtual int GetHeight() const;
    virtual int GetLeft() const;
    virtual int GetTop() const;
    virtual RECTF GetPadding() const;
    virtual void SetPadding(float left, float top, float right, float bottom);
    virtual FixedPos GetFixedPos() const;
    virtual void SetFixedPos(float x, float y);
    virtual float GetFixedWidth() const;
    virtual void SetFixedWidth(float width, bool relayout = true);
    virtual float GetFixedHeight() const;
    virtual void SetFixedHeight(float height, bool relayout = true);
    virtual int GetMinWidth() const;
    virtual void SetMinWidth(int value);
    virtual int GetMaxWidth() const;
    virtual void SetMaxWidth(int value);
    virtual int GetMinHeight() const;
    virtual void SetMinHeight(int value);
    virtual int GetMaxHeight() const;
    virtual void SetMaxHeight(int value);
    virtual RECTF GetShadowBounds() const;
    virtual void SetFloatRect(float px, float py, float ox, float oy);
    virtual void SetFloatScale(float pw, float ph);
    virtual FloatRectInfo GetFloatRect() const;

    virtual CUiString GetToolTip() const;
    virtual void SetToolTip(const wchar_t* text);
    virtual void SetToolTipWidth(int width);
    virtual int GetToolTipWidth() const;
    virtual wchar_t GetShortcut() const;
    virtual void SetShortcut(wchar_t ch);
    virtual int GetFontId() const;
    virtual void SetFontId(int id);
    // The own text style; with an empty own text, the current state's first
    // text element's style when the style set has one.
    virtual int GetTextStyle() const;
    virtual bool IsContextMenuEnabled() const;
    virtual void SetContextMenuEnabled(bool on);
    virtual CUiString GetUserData() const;
    virtual void SetUserData(const wchar_t* text);
    virtual void* GetNamedObject(const std::string& name);
    virtual int GetTag() const;
    virtual void SetNamedObject(const std::string& name, void* object);
    virtual void SetTag(int tag);
    virtual void SetMiscValue(int value);
    virtual int GetMiscValue() const;

    // Visibility.
    virtual bool IsShowHideAnimating() const;
    virtual bool IsVisible() const;
    virtual void SetVisible(bool show);
    virtual void SetVisibilityOption(bool exclusive);
    virtual void SetInternalVisible(bool on);

    // Interaction state.
    virtual bool IsMouseEnabled() const;
    virtual void SetMouseEnabled(bool on);
    virtual bool IsKeyboardEnabled() const;
    virtual void SetKeyboardEnabled(bool on);
    virtual bool IsNormal() const;
    virtual void SetNormal();
    virtual bool IsEnabled() const;
    virtual void SetEnabled(bool on);
    virtual bool IsSelected() const;
    virtual void SetSelected(bool on);
    virtual bool IsBusy() const;
    virtual void SetBusy(bool on);
    virtual bool IsHot() const;
    virtual void SetHot(bool on);
    virtual bool IsHover() const;
    virtual void SetHover();
    virtual bool IsPushed() const;
    virtual void SetPushed();
    virtual bool IsFocused() const;
    virtual void SetFocused(bool on);
    virtual bool GetHandCursor() const;
    virtual void SetHandCursor(bool on);
    virtual bool IsFloat() const;
    virtual void SetFloat(bool on);
    virtual bool GetFloatAnchor() const;
    virtual void SetFloatAnchor(bool on);
    virtual int GetTextDrawOption() const;
    virtual void SetTextDrawOption(int value);
    virtual CUiString GetStyleName() const;

    // Transform and transitions (ControlTransition.cpp).
    //
    // Copies the core's named transform `name` into the control's own record
    // and composes it over the control's bounds; an unknown name (or no
    // core) changes nothing.
    virtual void SetTransform(const wchar_t* name);
    // Binds triggers to the window's animation definitions: "trigger=name"
    // items joined by ","; an item without "=" uses its text for both.
    // Triggers: "init", "show", "hide", the state names, or any name given
    // to PlayTransition. Items naming no definition are skipped; a trigger
    // bound again replaces its timeline. Nothing happens while the control
    // is not attached to a core.
    virtual void ParseTransition(const wchar_t* text);
    // Keeps the text (GetTransition) and parses it.
    virtual void SetTransition(const wchar_t* text);
    CUiString GetTransition() const { return m_transitionText; }

    // Called once when a played transition ends: true when it reached its
    // end values, false when it was turned back to its start or another
    // transition took its values over.
    using TransitionFinished = std::function<void(bool reachedEnd)>;
    // Starts the trigger's timeline from its start on the core's idle tick;
    // values another running transition animates start where they are.
    // True when it started. A timeline already playing forward is left
    // alone (false); one turned back plays forward again (false, and its
    // earlier callback stays). False too without the trigger, while the
    // control is not attached, and while a hide animates the same values.
    bool PlayTransition(const wchar_t* trigger, TransitionFinished finished = nullptr);
    // Turns the trigger's playing timeline back toward its start; false when
    // it does not play.
    bool ReverseTransition(const wchar_t* trigger);
    // Applies every animated value: "alpha" (0..1) to the alpha; "x", "y"
    // (96-DPI pixels from the parent's content origin), "w" and "h" (96-DPI
    // pixels) to the bounds of a placed control; the transform's cells read
    // theirs by name. Repaints.
    void ApplyAnimatedValues();
    // The current value of an animated value; false when the control has
    // none of that name. The value source of the control's transform.
    bool GetAnimatedValue(const std::wstring& name, float& value) const;
    // Borrowed, owned by the control; null when the trigger is not bound.
    CTimeLineTween* GetTransitionTimeline(const wchar_t* trigger) const;
    // The control's own transform record; borrowed, null without one.
    ControlTransform* GetTransform() const { return m_transform.get(); }
    // The own transform, else the nearest ancestor's; null when none has one.
    ControlTransform* FindTransform() const;

    // Tree, layout and events.
    virtual Control* SearchTree(SearchPredicate predicate, void* data, unsigned flags);
    virtual void RequestRelayout();
    virtual void Initialize();
    virtual void CompleteInit();
    virtual bool FireEvent(InputEvent* event);
    virtual bool HandleEvent(InputEvent* event);
    // Attributes this class does not know are kept by name.
    virtual void SetAttribute(const wchar_t* name, const wchar_t* value);
    // name="value" pairs separated by single blanks, applied in order; a
    // malformed list stops where it breaks.
    void ApplyAttributeText(const wchar_t* text);
    void SetMutex(const wchar_t* name) { SetMutexName(name); }
    void SetVGroup(const wchar_t* name) { SetVGroupName(name); }
    void SetGroup(const wchar_t* name) { SetGroupName(name); }
    virtual ControlSize MeasureSize(float availableWidth, float availableHeight);
    // Paints the control clipped to `dirty`; `pushClip` asks for a clip of
    // the control's own rectangle.
    virtual void Paint(const RECTF& dirty, bool pushClip);
    virtual void PaintOuterShadow(RenderTarget* target, const RECTF& dirty);
    // Style-set painting; false when the control has no style set and the
    // fixed passes below run instead.
    virtual bool PaintStyle(const RECTF& dirty);
    // The six fixed passes, in painting order. Each draws through `target`
    // inside the current paint rectangle.
    virtual void FillBackground(RenderTarget* target, const RECTF& paintRect);
    virtual void DrawBackgroundImage(RenderTarget* target, const RECTF& paintRect);
    virtual void PaintForeImage(RenderTarget* target, const RECTF& paintRect);
    virtual void PaintInsetShadow(RenderTarget* target, const RECTF& paintRect);
    virtual void PaintLabel(RenderTarget* target, const RECTF& paintRect);
    virtual void DrawBorder(RenderTarget* target, const RECTF& paintRect);
    virtual void PaintOverlay(const RECTF& dirty);
    // Runs the animation of a style state; false when none ran.
    virtual bool PlayAnimation(const wchar_t* stateName);
    virtual void FinishTreeSetup();

    // Non-virtual helpers.
    void RequestParentRelayout();
    void Repaint();
    void InvokeNamedCallback(const wchar_t* name);
    void BindNamedCallback(const wchar_t* name, Callback cb);
    void SetEventHandler(int type, EventHandler handler);
    CUiString GetExtraAttribute(const wchar_t* name) const;
    float GetScale() const;
    int GetState() const { return m_state; }
    // Raw unscaled values, for layouts and attribute writers.
    float GetRawFixedWidth() const { return m_fixedWidth; }
    float GetRawFixedHeight() const { return m_fixedHeight; }
    bool IsLayoutPending() const { return m_layoutPending; }
    int GetWidthMode() const { return m_widthMode; }
    int GetHeightMode() const { return m_heightMode; }
    void SetSizeModes(int widthMode, int heightMode)
    {
        m_widthMode = widthMode;
        m_heightMode = heightMode;
        RequestParentRelayout();
    }
    bool IsInitialised() const { return m_initialised; }
    bool NeedsCapture() const { return m_needCapture; }
    void SetNeedsCapture(bool on) { m_needCapture = on; }
    bool NeedsTab() const { return m_needTab; }
    void SetNeedsTab(bool on) { m_needTab = on; }
    bool NeedsCursor() const { return m_needCursor; }
    void SetNeedsCursor(bool on) { m_needCursor = on; }
    bool IsSelectable() const { return m_selectable; }
    void SetSelectable(bool on) { m_selectable = on; }
    bool IsPassThrough() const { return m_passThrough; }
    void SetPassThrough(bool on) { m_passThrough = on; }
    bool IsExclusiveInParent() const { return m_exclusive; }

    // Group names (the core keeps the member lists).
    CUiString GetGroupName() const { return m_groupName; }
    void SetGroupName(const wchar_t* name);
    CUiString GetVGroupName() const { return m_vgroupName; }
    void SetVGroupName(const wchar_t* name);
    CUiString GetMutexName() const { return m_mutexName; }
    void SetMutexName(const wchar_t* name);
    CUiString GetNextTabName() const { return m_nextTab; }
    CUiString GetPrevTabName() const { return m_prevTab; }
    void SetTabOrderNames(const wchar_t* next, const wchar_t* prev);

    // Appearance.
    uint32_t GetBkColor() const { return m_bkColor; }
    void SetBkColor(uint32_t argb);
    uint32_t GetDisabledBkColor() const { return m_disabledBkColor; }
    void SetDisabledBkColor(uint32_t argb);
    uint32_t GetTextColor() const { return m_textColor; }
    void SetTextColor(uint32_t argb) { m_textColor = argb; Repaint(); }
    int GetAlpha() const { return m_alpha; }
    void SetAlpha(int alpha) { m_alpha = alpha; Repaint(); }
    void SetBoxShadow(float size, float offsetX, float offsetY);
    float GetBoxShadowSize() const { return m_boxShadow.size; }
    const BoxShadow& GetBoxShadow() const { return m_boxShadow; }
    // "shadow": a box-shadow spec; a drop shadow gives the control a layer.
    void SetShadow(const wchar_t* spec);
    uint32_t GetDisabledTextColor() const { return m_disabledTextColor; }

    // Images: descriptor texts (source and suffix) and the descriptors.
    CUiString GetBkImage() const;
    CUiString GetForeImage() const;
    CUiString GetDisabledBkImage() const;
    void SetBkImage(const wchar_t* text);
    void SetForeImage(const wchar_t* text);
    void SetDisabledBkImage(const wchar_t* text);
    CUiImage& BkImage() { return m_bkImage; }
    CUiImage& ForeImage() { return m_foreImage; }
    CUiImage& DisabledBkImage() { return m_disabledBkImage; }
    // Draws the image over the bounds with the control's corners, at alpha
    // 255, through the control's render target.
    void DrawImage(CUiImage& image);
    // Stores a non-empty rectangle as the image's destination (unscaled),
    // then draws as DrawImage.
    void DrawImageAt(CUiImage& image, const RECTF& rect);

    // Borders.
    uint32_t GetBorderColor() const { return m_borderColor; }
    uint32_t GetFocusBorderColor() const { return m_focusBorderColor; }
    uint32_t GetHotBorderColor() const { return m_hotBorderColor; }
    float GetBorderSize() const { return m_borderSize; }
    float GetHotBorderSize() const { return m_hotBorderSize; }
    float GetFocusBorderSize() const { return m_focusBorderSize; }
    RECTF GetSideBorderSizes() const
    {
        return RECTF{m_sideBorders[0], m_sideBorders[1], m_sideBorders[2], m_sideBorders[3]};
    }
    int GetBorderStroke() const { return m_borderStroke; }
    SIZE GetBorderRound() const { return SIZE{m_borderRound[0], m_borderRound[1]}; }
    // The corner radii times the scale, truncated.
    SIZE GetScaledBorderRound() const;
    // Rounded-corner flags: left-top, right-top, right-bottom, left-bottom.
    const int* GetRoundCorners() const { return m_roundCorners; }
    // Size -1 takes the border size; colour 0xFFFFFFFF keeps the colour.
    void SetHotBorder(float size, uint32_t argb);

    // Blur of the whole control (through its layer) and of the backdrop.
    void SetBlur(const wchar_t* spec);
    void SetBackBlur(const wchar_t* spec);
    const BlurParams& GetBlur() const { return m_blur; }
    const BlurParams& GetBackBlur() const { return m_backBlur; }
    // The rendered bounds as a GDI+ bitmap (rounded corners when the control
    // has them); null when not attached.
    std::unique_ptr<Gdiplus::Bitmap> CaptureDragImage();

    // Flags the base keeps for the window core and the concrete controls.
    bool IsHole() const { return m_hole; }
    bool IsDropTarget() const { return m_dropTarget; }
    // Receives what is dropped on the control (or on a child without one
    // that accepts drops); empty by default: the window's handler gets it.
    void SetDropHandler(DropHandler handler) { m_dropHandler = std::move(handler); }
    const DropHandler& GetDropHandler() const { return m_dropHandler; }
    bool NeedsReturn() const { return m_needReturn; }

    // Styles (ControlStyle.cpp). The style set is built from the core's
    // style group of that name (parent cores included); an unknown name is
    // stored and the set stays as it was.
    virtual void SetStyle(const wchar_t* name);
    // Borrowed; null until a style was found.
    StyleSet* GetStyleSet() const { return m_styleSet.get(); }
    // The current state's first text element, or null.
    TextPainter* FindCurrentTextPainter() const;
    // The names of the set state bits, each followed by "," ("normal,").
    CUiString CurrentStateKey() const;
    // OR of the state bits of a "|"-separated name list; unknown names add 0.
    int ParseStateMask(const wchar_t* names) const;

    // Values painters ask for (ControlValues.cpp).
    //
    // A transition value of that name ("found" and the number).
    virtual void GetPropertyValue(PropertyValue& out, const wchar_t* name);
    // An animated style value: `property` ("color", "alpha", "pensize")
    // followed by the element key `suffix`.
    virtual void GetStyleValue(PropertyValue& out, const wchar_t* suffix, const wchar_t* property);
    bool ApplyAnimationStepForTesting(CTimeLine* timeline) { return ApplyAnimationStep(timeline); }
    // Resizes a text-sized control to its text after SetText.
    void FitToText();
    // The target painters draw on: the layer's, else the window's.
    RenderTarget* GetPaintTarget() const;

    // Hooks and handlers.
    void SetNotifyHandler(NotifyHandler h) { m_notifyHandler = std::move(h); }
    const NotifyHandler& GetNotifyHandler() const { return m_notifyHandler; }
    void SetInitHook(Callback h) { m_initHook = std::move(h); }
    void SetDestroyHook(Callback h) { m_destroyHook = std::move(h); }
    void SetLayoutHook(Callback h) { m_layoutHook = std::move(h); }
    void SetBoundsHook(Callback h) { m_boundsHook = std::move(h); }
    void SetGenericEventHandler(EventHandler h) { m_genericHandler = std::move(h); }
    void SetClickHandler(Callback h) { m_clickHandler = std::move(h); }
    void SetSelectHandler(Callback h) { m_selectHandler = std::move(h); }

protected:
    // True when the style set has the named state (no style set: false).
    virtual bool HasStyleState(const wchar_t* stateName) const;
    bool HasStyleSet() const { return m_styleSet != nullptr; }
    // Attribute setters (ControlAttributes.cpp): true when the base knows
    // the name.
    bool ApplyBaseAttribute(const wchar_t* name, const wchar_t* value);
    void ApplyPosList(const wchar_t* value);
    void ApplySizeTokens(const wchar_t* value);
    void ApplyAxisSize(const wchar_t* value, bool horizontal);
    void ApplyBorderSize(const wchar_t* value);
    void ApplySideBorder(int side, const wchar_t* value);
    void ApplyBorderRound(const wchar_t* value);
    void MakeSelectable();
    // An axis fits the text when its size mode asks for it and no positive
    // fixed size was given for it (a given size always wins).
    bool FitsWidthToText() const { return m_widthMode != kSizeStretch && m_autoWidth; }
    bool FitsHeightToText() const { return m_heightMode != kSizeStretch && m_autoHeight; }
    // Measures the text in the available size into w and h (the axes that
    // fit their text); a floating control also takes the bare text size for
    // an axis still without one. True for a floating control, which
    // containers do not limit further.
    bool ApplyTextSize(const CUiString& text, float availWidth, float availHeight, float& w, float& h);
    // Painting helpers (ControlPaint.cpp).
    //
    // The clip of the current paint: the paint rectangle, with the scaled
    // corner radii and corner flags over the control's bounds.
    ClipBox MakeClipBox() const;
    CornerSwitches RoundCornerSwitches() const
    {
        return CornerSwitches{m_roundCorners[0], m_roundCorners[1], m_roundCorners[2], m_roundCorners[3]};
    }
    // The box shadow, scaled, around or inside the bounds.
    void DrawControlShadow(RenderTarget* target);
    // Parses a descriptor into one of the control's images and binds it.
    void SetImageDescriptor(CUiImage& image, const wchar_t* text);
    // Step callback of a state animation: copies the timeline's values into
    // the animated style values and repaints.
    bool ApplyAnimationStep(CTimeLine* timeline);
    // Play the state's animation, or repaint when none ran.
    void PlayOrRepaint(const wchar_t* stateName);
    // The point of the control's untransformed plane drawn at a window point
    // (the point itself without a transform); false when none is.
    bool MapToOwnPlane(const POINT& window, POINT& onPlane) const;
    // Clips `r` by the bounds of every ancestor; false when it becomes empty.
    bool ClipByAncestors(RECTF& r) const;
    // The render target of the nearest ancestor layer, else the core's.
    RenderTarget* ResolveRenderTarget() const;
    // Layout: sets the layer up over the target it composites into and
    // sizes it to the bounds; the control's target becomes the layer's (or,
    // without one, the resolved target).
    void PlaceLayer();
    // Opens the layer's frame for a paint of paintRect; false without a
    // layer or when its frame is already open (a container opened it).
    bool BeginLayer(const RECTF& paintRect);
    // Ends the frame BeginLayer opened and composites it with the alpha.
    void EndLayer(const RECTF& paintRect);

    // Transitions (ControlTransition.cpp).
    struct TransitionRange {
        std::wstring name;
        float from;
        float to;
    };
    // One bound trigger: its timeline and what each play starts from (a
    // play consumes the repeat count and may swap or take over the ranges).
    struct Transition {
        std::unique_ptr<CTimeLineTween> timeline;
        std::vector<TransitionRange> ranges;
        int repeat = 0;
        TransitionFinished finished;
    };
    // Null when the trigger is not bound.
    Transition* FindTransition(const wchar_t* trigger);
    // Makes the trigger's timeline from the definition, replacing any.
    void BindTransition(const std::wstring& trigger, const AnimationSpec& spec);
    // Plays the transitions of the state bits the state word gained since
    // `previousState`; state setters call it once the bits are final and
    // before any handler runs.
    void PlayStateTransitions(int previousState);
    // SetVisible through the "show" and "hide" timelines: true when one
    // carries the change (a hide then ends at the end of its timeline).
    bool CarryVisibilityChange(bool show);
    // Sets the visible flag at once, with the relayout and repaint it needs.
    void CommitVisible(bool show);
    // Starts the timeline from the definition's ranges with `step`; the
    // callback is kept for the end of this play.
    bool StartTransition(Transition& transition, TimeLineStep step, TransitionFinished finished = nullptr);
    // Stops the other playing timelines that animate values of `timeline`,
    // which then start from the current values; their finished callbacks
    // are returned to be called once the new timeline runs.
    std::vector<TransitionFinished> TakeOverValues(CTimeLineTween* timeline);
    bool HidingAnimatesValuesOf(const CTimeLine* timeline) const;
    bool OnTransitionStep(const std::wstring& trigger, CTimeLine* timeline);
    bool OnShowHideStep(bool showing, CTimeLine* timeline);
    // Copies the timeline's current values into the animated values and
    // applies those (only those: a value no running timeline animates is
    // not forced onto a control the layout has moved since).
    void ApplyValuesOf(const CTimeLine* timeline);
    void ApplyValues(const CTimeLine* only);
    // "x", "y", "w", "h" as `find` answers them: true when any moved the
    // control (SetBounds repainted it).
    bool ApplyGeometryValues(const std::function<bool(const wchar_t*, float&)>& find);
    // Gives the transform the control's bounds and the window's scale.
    void RefreshTransformFrame();

    // Hooks.
    NotifyHandler m_notifyHandler;
    Callback m_initHook;
    Callback m_destroyHook;
    Callback m_layoutHook;
    Callback m_boundsHook;
    EventHandler m_genericHandler;
    Callback m_clickHandler;
    Callback m_selectHandler;
    std::unordered_map<std::wstring, Callback, WideKeyHash> m_namedCallbacks;
    std::unordered_map<int, EventHandler, IntKeyHash> m_eventHandlers;

    // Links.
    WindowCore* m_core = nullptr;
    RenderTarget* m_renderTarget = nullptr;
    Control* m_parent = nullptr;
    std::unique_ptr<Layer> m_layer;

    CUiString m_name;

    // Layout and geometry.
    bool m_layoutPending = true;
    bool m_contextMenu = false;
    bool m_placed = false;
    RECTF m_bounds{0, 0, 0, 0};
    float m_padding[4] = {0, 0, 0, 0};
    float m_textPadding[4] = {0, 0, 0, 0};
    float m_fixedX = 0, m_fixedY = 0;
    float m_fixedWidth = -1, m_fixedHeight = -1;
    int m_minWidth = 0, m_minHeight = 0;
    int m_maxWidth = 9999, m_maxHeight = 9999;
    int m_state = kStateNormal;

    // Flags.
    bool m_handCursor = false;
    bool m_visible = true;
    bool m_exclusive = false;
    bool m_internalVisible = true;
    bool m_mouseEnabled = true;
    bool m_keyboardEnabled = true;
    bool m_float = false;
    bool m_floatAnchor = false;
    bool m_inLayoutHook = false;
    bool m_initialised = false;
    bool m_needCapture = true;
    bool m_needReturn = false;
    bool m_needTab = false;
    bool m_needCursor = false;
    bool m_selectable = false;
    bool m_selected = false;
    bool m_passThrough = false;
    bool m_showHideAnimating = false;

    POINT m_pressPoint{0, 0};
    bool m_autoWidth = true, m_autoHeight = true;
    int m_widthMode = kSizeText, m_heightMode = kSizeText;

    // The part of the bounds painted by the current Paint call.
    RECTF m_paintRect{0, 0, 0, 0};

    float m_floatRect[4] = {0, 0, 0, 0};
    float m_floatFactors[2] = {-1, -1};

    CUiString m_styleName;
    CUiString m_text;
    CUiString m_toolTip;
    CUiString m_mutexName;
    CUiString m_vgroupName;
    CUiString m_groupName;
    CUiString m_nextTab;
    CUiString m_prevTab;
    wchar_t m_shortcut = 0;
    CUiString m_userData;
    int m_tag = 0;
    std::unordered_map<std::string, void*, NarrowKeyHash> m_namedObjects;

    // Appearance.
    uint32_t m_textColor = 0;
    int m_textDrawOption = 0;
    uint32_t m_disabledTextColor = 0xFFF0F0F0u;
    uint32_t m_bkColor = 0;
    uint32_t m_disabledBkColor = 0xFFF0F0F0u;
    int m_fontId = -1;
    // DrawText flags: centred both ways on a single line.
    int m_textStyle = DT_CENTER | DT_VCENTER | DT_SINGLELINE;
    int m_alpha = 255;
    int m_miscValue = -1;
    int m_toolTipWidth = 300;
    BoxShadow m_boxShadow;
    uint32_t m_borderColor = 0;
    uint32_t m_focusBorderColor = 0;
    uint32_t m_hotBorderColor = 0;
    float m_borderSize = 0;
    float m_hotBorderSize = -1;   // -1: not set
    float m_focusBorderSize = -1; // -1: not set
    float m_sideBorders[4] = {0, 0, 0, 0};
    int m_borderStroke = kStrokeSolid;
    int m_borderRound[2] = {0, 0};
    int m_roundCorners[4] = {1, 1, 1, 1};
    float m_charSpacing = 0;
    float m_lineSpacing = 0;
    bool m_showHtml = false;
    bool m_richText = false;
    bool m_textStyleGiven = false;
    bool m_hole = false;
    bool m_dropTarget = false;
    DropHandler m_dropHandler;
    bool m_toolTipFollowsText = false;
    CUiString m_valueTemplate;
    BlurParams m_blur;
    BlurParams m_backBlur;
    CUiImage m_bkImage;
    CUiImage m_disabledBkImage;
    CUiImage m_foreImage;
    std::unique_ptr<StyleSet, StyleSetDeleter> m_styleSet;
    // Values a state animation drives, by property name and element key.
    std::unordered_map<std::wstring, float, WideKeyHash> m_animatedStyleValues;

    std::unordered_map<std::wstring, int, WideKeyHash> m_stateNames;
    std::unordered_map<std::wstring, std::wstring, WideKeyHash> m_extraAttributes;

    // Transform and transitions.
    std::unique_ptr<ControlTransform> m_transform;
    CUiString m_transitionText;
    std::unordered_map<std::wstring, Transition, WideKeyHash> m_transitions;
    std::unordered_map<std::wstring, float, WideKeyHash> m_animatedValues;
};

// Scales a stored value by the control's DPI scale and truncates to int.
inline int ScaleTrunc(float value, float scale) { return static_cast<int>(value * scale); }

} // namespace ui
