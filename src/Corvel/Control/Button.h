// The push button: a control with its own hot, pushed and focused states
// that draws a state image, a state background colour, a dashed focus frame
// and a state text colour, and reports presses as notifications ("click",
// "buttondown", "buttonup", "mouseenter", "mouseleave", "menu") and through
// its "click" handler. UI thread only, like every control.
#pragma once

#include <cstdint>

#include "Corvel/Core/Control.h"

namespace ui {

class Button : public Control {
public:
    // Bits of the button's own state word (GetButtonState).
    enum ButtonState : uint32_t {
        kButtonFocused = 1,  // refreshed from IsFocused at each paint pass
        kButtonDisabled = 4, // refreshed from IsEnabled at each paint pass
        kButtonHot = 8,      // the pointer is over the button
        kButtonPushed = 16,  // drawn pushed
        kButtonPressed = 64, // the left button went down here and is not up yet
    };

    Button();
    ~Button() override;

    const wchar_t* GetClassName() const override;
    // "Button" and "Control" answer the button itself.
    void* CastTo(const wchar_t* typeName) override;
    // kTraitTabStop while keyboard-enabled with "needtab"; kTraitWantsSetCursor
    // while enabled with "needcursor".
    int GetTraitFlags() const override;
    // The click (pointer, Space, Enter or code): the base activation, then
    // "click" through the core. False when hidden or disabled.
    bool TryActivate() override;
    // Disabling clears every button state bit.
    void SetEnabled(bool on) override;
    void SetFocused(bool on) override;
    bool HandleEvent(InputEvent* event) override;
    // Names are compared exactly; unknown ones go to the control base.
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    bool PaintStyle(const RECTF& dirty) override;
    void PaintForeImage(RenderTarget* target, const RECTF& paintRect) override;
    void PaintLabel(RenderTarget* target, const RECTF& paintRect) override;
    // Resets and parses the normal image from `text`; each of the hot,
    // pushed and focused images that has no file yet takes the normal
    // image's file. Null is read as empty.
    virtual void SetNormalImage(const wchar_t* text);

    uint32_t GetButtonState() const { return m_buttonState; }
    uint32_t GetHotTextColor() const { return m_hotTextColor; }
    uint32_t GetPushedTextColor() const { return m_pushedTextColor; }
    uint32_t GetFocusedTextColor() const { return m_focusedTextColor; }
    uint32_t GetHotBkColor() const { return m_hotBkColor; }
    uint32_t GetPushedBkColor() const { return m_pushedBkColor; }
    uint32_t GetFocusedDashColor() const { return m_focusedDashColor; }
    int GetFocusedDashWidth() const { return m_focusedDashWidth; }
    // The seven state images; the pushed fore image has no markup attribute
    // and is drawn when code sets it.
    CUiImage& NormalImage() { return m_normalImage; }
    CUiImage& HotImage() { return m_hotImage; }
    CUiImage& HotForeImage() { return m_hotForeImage; }
    CUiImage& PushedImage() { return m_pushedImage; }
    CUiImage& PushedForeImage() { return m_pushedForeImage; }
    CUiImage& FocusedImage() { return m_focusedImage; }
    CUiImage& DisabledImage() { return m_disabledImage; }

protected:
    // Resets `image`, parses `text` into it over the bounds and binds it.
    void AssignImage(CUiImage& image, const wchar_t* text);
    // Gives `image` the file of `from` when it has no file of its own.
    void FillEmptyImage(CUiImage& image, const CUiImage& from);
    // Fetches a network picture through the core, or repaints when the
    // image is ready. Without a core the image is only parsed.
    void BindImage(const CUiImage& image);
    // Refreshes kButtonFocused and kButtonDisabled from the control.
    void RefreshPaintFlags();
    // The state bits a style set paints for the button's current flags.
    virtual int StyleStateBits() const;
    // Draws `image` over the bounds when it has a file.
    void DrawIfSet(CUiImage& image);
    // The control's own fore image, last over everything.
    void DrawForeImage();
    // Fills the paint rectangle with `argb` (0: nothing).
    void FillPaintRect(RenderTarget* target, uint32_t argb);
    // Draws `text` in the label rectangle in `argb` with `fontId`.
    void DrawLabelText(RenderTarget* target, uint32_t argb, int fontId, float lineSpacing, int drawOption);
    // Fills the text colours left 0 from the core's defaults.
    void ResolveTextColors();

    uint32_t m_buttonState = 0;
    int m_focusedDashWidth = 0;
    int m_focusedDashArc = 3;
    int m_focusedDashShrink = 3;
    uint32_t m_hotBkColor = 0;
    uint32_t m_pushedBkColor = 0;
    uint32_t m_hotTextColor = 0;
    uint32_t m_pushedTextColor = 0;
    uint32_t m_focusedTextColor = 0;
    uint32_t m_focusedDashColor = 0x9F111111u;
    CUiImage m_normalImage;
    CUiImage m_hotImage;
    CUiImage m_hotForeImage;
    CUiImage m_pushedImage;
    CUiImage m_pushedForeImage;
    CUiImage m_focusedImage;
    CUiImage m_disabledImage;

private:
    // Input phases of HandleEvent; each answers the event.
    bool OnPress(InputEvent* event);
    bool OnRelease(InputEvent* event);
    void OnHotChange(bool hot);
    // The state passes of PaintForeImage; true when the state drew.
    bool PaintDisabledLook();
    bool PaintHotOrPushedLook(RenderTarget* target, CUiImage& image, uint32_t bkColor, CUiImage& foreImage);
    bool PaintFocusedLook(RenderTarget* target);
    void PaintNormalLook();
};

} // namespace ui
