// A control's offscreen surface: the control and its children draw into the
// layer's child render target, and the layer composites the result into the
// target of the nearest ancestor layer (else the window's) with an opacity,
// a blur, a drop or inset shadow and a perspective matrix. UI thread only.
#pragma once

#include <d2d1_1.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "Corvel/Core/UiTypes.h"

namespace ui {

class RenderTarget;
class WindowCore;
struct ClipBox;

class Layer {
public:
    // mode: stored as given (read by nothing here). The matrix starts as the
    // identity; no target exists until SetUp.
    explicit Layer(uint8_t mode);
    virtual ~Layer();
    Layer(const Layer&) = delete;
    Layer& operator=(const Layer&) = delete;

    // First layout of the control: creates the child target over parent (the
    // target the layer composites into; borrowed, must outlive the layer or
    // be replaced by another SetUp first) and keeps core (borrowed, may be
    // null) for its DPI scale. Later calls with the same parent do nothing;
    // with another parent (the control moved, or its window's target was
    // made anew) the child target is made anew over it.
    void SetUp(WindowCore* core, RenderTarget* parent);
    bool IsInitialised() const { return m_initialised != 0; }
    // Drops the child target and forgets the parent, which is about to be
    // deleted (its window core unbinds); the next SetUp makes both anew,
    // even over a new parent that happens to get the old one's address.
    void DropTarget();

    // The control's bounds in window pixels, truncated to integers. When they
    // differ from the stored ones the child target is resized to them (a
    // layer of no width or height has no Direct2D target and composites
    // nothing) and draws through a translation by minus their origin, so the
    // control keeps drawing in window coordinates. True when they changed.
    bool Place(const RECTF& bounds);

    // Opens a frame on the child target, clearing the dirty rectangles
    // (window pixels). False without a target or while a frame is open.
    bool Begin(const std::vector<RECTF>& dirty);
    // Ends the frame and composites it into the parent: opacity 0..255, the
    // blur of the whole layer, the clip used while a non-identity matrix is
    // applied (null: the layer's rectangle; in the parent's coordinates) and
    // the control's shadow with its size and offsets in 96-DPI units (scaled
    // here by the window's DPI scale). Nothing without a target.
    void End(uint8_t opacity, const BlurParams& blur, const ClipBox* clip, const BoxShadow& shadow);
    bool IsDrawing() const { return m_drawing != 0; }

    uint8_t GetMode() const { return m_mode; }
    const D2D1_MATRIX_4X4_F& GetMatrix() const { return m_matrix; }
    // Perspective transform applied when compositing (Wine ignores it).
    void SetMatrix(const D2D1_MATRIX_4X4_F& matrix) { m_matrix = matrix; }

    // Borrowed; null before SetUp.
    RenderTarget* GetTarget() const { return m_target.get(); }
    RenderTarget* GetParentTarget() const { return m_parent; }
    int X() const { return m_x; }
    int Y() const { return m_y; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }

private:
    // Gives the child target the stored rectangle and its translation.
    void ApplyPlacement();

    int m_x = 0;
    int m_y = 0;
    int m_width = 0;
    int m_height = 0;
    uint8_t m_initialised = 0;
    uint8_t m_drawing = 0;
    uint8_t m_mode = 0;
    D2D1_MATRIX_4X4_F m_matrix;
    WindowCore* m_core = nullptr;
    std::unique_ptr<RenderTarget> m_target;
    RenderTarget* m_parent = nullptr;
};

} // namespace ui
