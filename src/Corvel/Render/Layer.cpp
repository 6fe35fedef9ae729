#include "Corvel/Render/Layer.h"
#include "Corvel/Render/TransformMath.h"

#include <optional>

#include "Corvel/Core/WindowCore.h"
#include "Corvel/Render/RenderTarget.h"

namespace ui {

namespace {

constexpr float kOpaque = 255.0f;

} // namespace

Layer::Layer(uint8_t mode) : m_mode(mode)
{
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            m_matrix.m[row][column] = row == column ? 1.0f : 0.0f;
}

Layer::~Layer() = default;

void Layer::SetUp(WindowCore* core, RenderTarget* parent)
{
    if (m_initialised && parent == m_parent)
        return;
    m_initialised = 1;
    m_drawing = 0;
    m_core = core;
    m_parent = parent;
    m_target = std::make_unique<RenderTarget>();
    m_target->Init(nullptr, parent, nullptr);
    ApplyPlacement();
}

void Layer::DropTarget()
{
    m_target.reset();
    m_parent = nullptr;
    m_core = nullptr;
    m_initialised = 0;
    m_drawing = 0;
}

void Layer::ApplyPlacement()
{
    if (!m_target)
        return;
    m_target->SetDrawingTransform(D2D1::Matrix3x2F::Translation(-static_cast<float>(m_x), -static_cast<float>(m_y)));
    m_target->Resize(static_cast<float>(m_x), static_cast<float>(m_y), static_cast<float>(m_width),
                     static_cast<float>(m_height));
}

bool Layer::Place(const RECTF& bounds)
{
    const int x = static_cast<int>(bounds.left), y = static_cast<int>(bounds.top);
    const int width = static_cast<int>(bounds.right) - x, height = static_cast<int>(bounds.bottom) - y;
    if (x == m_x && y == m_y && width == m_width && height == m_height)
        return false;
    m_x = x;
    m_y = y;
    m_width = width;
    m_height = height;
    ApplyPlacement();
    return true;
}

bool Layer::Begin(const std::vector<RECTF>& dirty)
{
    if (!m_target || m_drawing)
        return false;
    m_drawing = 1;
    m_target->BeginDraw(dirty);
    return true;
}

void Layer::End(uint8_t opacity, const BlurParams& blur, const ClipBox* clip, const BoxShadow& shadow)
{
    if (!m_target)
        return;
    m_target->EndDraw(false, nullptr);
    m_drawing = 0;

    // A transformed layer may land anywhere: it stays inside its clip.
    ClipBox box = clip ? *clip
                       : ClipBox::FromRect(RECTF(static_cast<float>(m_x), static_cast<float>(m_y),
                                                 static_cast<float>(m_x + m_width), static_cast<float>(m_y + m_height)));
    std::optional<ClipGuard> guard;
    if (!IsIdentityMatrix(m_matrix))
        guard.emplace(m_parent, box);

    const float scale = m_core ? m_core->GetScale() : 1.0f;
    BoxShadow scaled = shadow;
    scaled.size *= scale;
    scaled.offsetX *= scale;
    scaled.offsetY *= scale;
    ParentComposition params;
    params.opacity = static_cast<float>(opacity) / kOpaque;
    params.perspective = &m_matrix;
    params.blurDeviation = blur.deviation;
    params.blurOptimization = blur.quality;
    params.blurBorderMode = blur.border;
    params.shadow = &scaled;
    m_target->DrawToParent(params);
}

} // namespace ui
