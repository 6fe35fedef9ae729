// A progress bar with a draggable thumb: the value follows the pointer while
// the thumb is held ("valuechanging"), a release or a Left/Right key settles
// it ("valuechanged"), the wheel steps it. UI thread only.
#pragma once

#include <cstdint>

#include "Corvel/Control/ProgressBar.h"

namespace ui {

class Slider : public ProgressBar {
public:
    // Bits of GetSliderState.
    enum SliderState : int {
        kSliderDisabled = 4,
        kSliderHot = 8,
        kSliderCaptured = 0x40, // the thumb is held
    };

    Slider();
    ~Slider() override;

    const wchar_t* GetClassName() const override;
    // "Slider", "ProgressBar" and "Control" answer the slider itself.
    void* CastTo(const wchar_t* typeName) override;
    // Disabling clears every slider state bit.
    void SetEnabled(bool on) override;
    bool HandleEvent(InputEvent* event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    // "block" is the top-left corner of the thumb; the rest as the bar.
    void GetPropertyValue(PropertyValue& out, const wchar_t* name) override;
    void PaintForeImage(RenderTarget* target, const RECTF& paintRect) override;

    int GetSliderState() const { return m_sliderState; }
    int GetStep() const { return m_step; }
    // The thumb in window pixels.
    RECT GetThumbRect() const;
    // The value a pointer position (window pixels) stands for.
    float ValueAtPoint(POINT point) const;

private:
    // Input phases of HandleEvent; each answers the event.
    bool OnPointer(InputEvent* event);
    bool OnWheel(InputEvent* event);
    bool OnKeyDown(InputEvent* event);
    void SetHotFlag(bool hot);
    // "valuechanging" / "valuechanged" through the core, then (when asked)
    // the handler bound under the same name.
    void Report(const wchar_t* type, bool runHandler);
    // Thumb size in window pixels.
    int ThumbWidth() const;
    int ThumbHeight() const;
    CUiImage& ThumbImageForState();

    int m_thumbWidth = 10;  // skin units
    int m_thumbHeight = 10; // skin units
    int m_sliderState = 0;
    int m_step = 1;
    CUiImage m_thumbImage;
    CUiImage m_thumbHotImage;
    CUiImage m_thumbPushedImage;
    CUiImage m_thumbDisabledImage;
};

} // namespace ui
