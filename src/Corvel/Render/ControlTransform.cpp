#include "Corvel/Render/ControlTransform.h"

namespace ui {

namespace {

// Cell keys are three characters: row digit, underscore, column digit.
constexpr size_t kCellKeyLength = 3;
constexpr int kCellRows = 3;
constexpr int kCellColumns = 3;

} // namespace

ControlTransform::ControlTransform() : m_matrix(IdentityMatrix()), m_inverse(IdentityMatrix()) {}

void ControlTransform::Compose()
{
    m_matrix = ComposeTransform(m_params);
    m_invertible = InvertMatrix(m_matrix, m_inverse);
}

void ControlTransform::SetFrame(float left, float top, float width, float height, float dpiScale)
{
    if (m_params.left == left && m_params.top == top && m_params.z == 0.0f && m_params.width == width &&
        m_params.height == height && m_params.dpiScale == dpiScale)
        return;
    m_params.left = left;
    m_params.top = top;
    m_params.z = 0.0f;
    m_params.width = width;
    m_params.height = height;
    m_params.dpiScale = dpiScale;
    Compose();
}

void ControlTransform::SetMatrixCell(const std::wstring& key, const std::wstring& valueName)
{
    if (valueName.empty())
        m_cells.erase(key);
    else
        m_cells[key] = valueName;
}

float* ControlTransform::FindParameter(const std::wstring& key)
{
    if (key.size() != kCellKeyLength || key[1] != L'_')
        return nullptr;
    const int row = key[0] - L'0', column = key[2] - L'0';
    if (row < 1 || row > kCellRows || column < 1 || column > kCellColumns)
        return nullptr;
    float* rows[kCellRows] = {m_params.scale, m_params.rotation, m_params.translation};
    return &rows[row - 1][column - 1];
}

void ControlTransform::UpdateFromProperties(const ValueSource& source)
{
    if (m_cells.empty())
        return;
    for (const auto& cell : m_cells) {
        float* parameter = FindParameter(cell.first);
        float value = 0.0f;
        if (parameter && source && source(cell.second, value))
            *parameter = value;
    }
    Compose();
}

} // namespace ui
