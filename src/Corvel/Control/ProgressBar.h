// A value inside an integer range shown as the filled part of the control,
// horizontally or vertically, optionally with the value as a percentage;
// value changes can be eased over a duration, and an "endless" bar sweeps
// a block across itself instead. The value can be mirrored into another
// control's text ("valueui", "valuetext"). UI thread only: worker threads
// reach it through posted UI tasks.
#pragma once

#include <memory>

#include "Corvel/Core/Control.h"
#include "Corvel/Render/TimeLine.h"

namespace ui {

class ProgressBar : public Control {
public:
    ProgressBar();
    // Leaves the core's pending-setup list; stops and frees both timelines.
    ~ProgressBar() override;

    const wchar_t* GetClassName() const override;
    // "ProgressBar" and "Control" answer the bar itself.
    void* CastTo(const wchar_t* typeName) override;
    // Also rebuilds the marquee when an endless bar's width changed.
    void SetBounds(float left, float top, float right, float bottom) override;
    using Control::SetBounds;
    // "progress" and "block" rectangles (window pixels; -1 and -2 stand for
    // "the painter's own edge"); other names go to the control base.
    void GetPropertyValue(PropertyValue& out, const wchar_t* name) override;
    void PaintForeImage(RenderTarget* target, const RECTF& paintRect) override;
    // Looks the "valueui" control up by name and writes the value into it.
    void FinishTreeSetup() override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;

    // Moves the value to `value` (ignored when equal to the current value or
    // outside [minimum, maximum]): eased over `durationMs` when it is 1 or
    // more and the bar has a core, else at once.
    void SetValue(float value, int durationMs);
    float GetValue() const { return m_value; }
    int GetMinimum() const { return m_minimum; }
    int GetMaximum() const { return m_maximum; }
    bool IsHorizontal() const { return m_horizontal; }
    int GetEndlessPeriod() const { return m_endlessPeriod; }
    float GetMarqueeOffset() const { return m_marqueeOffset; }
    // Writes the value, truncated to an integer, into the value control's
    // text: every "{v}" of the "valuetext" template replaced, or the bare
    // number without a template. Nothing without a value control.
    void UpdateValueText();
    // Borrowed; null until they first run.
    CTimeLineTween* GetValueTimelineForTesting() const { return m_valueTimeline.get(); }
    CTimeLineTween* GetMarqueeTimelineForTesting() const { return m_marqueeTimeline.get(); }

protected:
    // (value - minimum) / (maximum - minimum); 0 while the range is empty
    // (maximum <= minimum), which painting repairs.
    float ValueFraction() const;
    // Maximum := minimum + 1 when the range is empty; value clamped into it.
    void NormaliseRange();
    // The filled part of the bounds (window pixels).
    RECTF FilledRect() const;

    bool m_showText = false;
    bool m_horizontal = true;
    bool m_stretchFore = true;
    int m_endlessPeriod = 0; // seconds per sweep; 0: a plain progress bar
    int m_maximum = 100;
    int m_minimum = 0;
    int m_marqueeWidth = 0; // whole pixels the marquee was built for
    float m_marqueeOffset = 0.0f;
    float m_value = 0.0f;

private:
    void SetRange(int minimum, int maximum);
    void RestartMarquee(int width);
    bool OnValueStep(CTimeLine* timeline);
    void PaintFill(const RECTF& paintRect);
    void PaintPercentText(RenderTarget* target);
    // The value control when it is still attached to the core; null else.
    Control* LiveValueControl() const;

    Control* m_valueControl = nullptr; // borrowed, found by name
    CUiString m_valueTextTemplate;
    CUiString m_valueControlName;
    std::unique_ptr<CTimeLineTween> m_marqueeTimeline;
    std::unique_ptr<CTimeLineTween> m_valueTimeline;
};

} // namespace ui
