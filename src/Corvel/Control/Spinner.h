// Busy indicator: a coloured arc that grows, shrinks and turns without end,
// driven by three timelines on the window's idle tick. UI thread only.
#pragma once

#include <cstdint>
#include <memory>

#include "Corvel/Core/Control.h"

namespace ui {

class Spinner : public Control {
public:
    Spinner();
    ~Spinner() override;

    const wchar_t* GetClassName() const override;
    // "Spinner" and "Control" answer the spinner itself; anything else null.
    void* CastTo(const wchar_t* typeName) override;
    // Showing restarts the three timelines from their start; hiding
    // suspends them (no value changes, no repaints while hidden).
    void SetVisible(bool show) override;
    // Completes initialisation, then starts the timelines (once) on the
    // window core's idle tick. Needs a core: without one nothing starts.
    void Initialize() override;
    // "pensize" (integer, skin units), "color" and "endcolor" (hex ARGB with
    // one optional "#", or "random"/"r"); other names go to the base.
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    // The full ring in the background colour, when it is not 0.
    void FillBackground(RenderTarget* target, const RECTF& paintRect) override;
    // The turning arc, from the start colour to the end colour.
    void PaintForeImage(RenderTarget* target, const RECTF& paintRect) override;

    uint32_t GetStartColor() const { return m_startColor; }
    uint32_t GetEndColor() const { return m_endColor; }
    // Skin units (unscaled).
    float GetPenSize() const { return m_penSize; }
    // Current timeline values, degrees 0..360.
    float GetAngle() const { return m_angle; }
    float GetArc() const { return m_arc; }
    float GetStartArc() const { return m_startArc; }
    // True once Initialize started the timelines.
    bool IsAnimating() const { return m_angleLine != nullptr; }

private:
    // The arc's rectangle: the bounds shrunk by half the pen (plus a pixel)
    // so the stroke stays inside the control.
    RECTF ArcRect(float penWidth) const;
    void StartTimelines();
    // Copies the timeline's value into `field` and repaints; a suspended
    // timeline changes nothing.
    bool OnStep(CTimeLine* timeline, const wchar_t* name, float& field);

    uint32_t m_startColor = 0;
    uint32_t m_endColor = 0;
    float m_penSize = 5.0f;
    float m_angle = 0.0f;
    float m_arc = 0.0f;
    float m_startArc = 0.0f;
    std::unique_ptr<CTimeLineTween> m_angleLine;
    std::unique_ptr<CTimeLineTween> m_arcLine;
    std::unique_ptr<CTimeLineTween> m_startArcLine;
};

} // namespace ui
