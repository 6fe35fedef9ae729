// The 3D transform a control may carry: its rectangle, scale, rotation,
// translation and perspective, the matrix composed from them (and its
// inverse, for hit testing), and the cells that let animated values drive
// the parameters frame by frame. A window core keeps named transforms built
// from markup; a control owns a copy of the one it uses. UI thread only.
#pragma once

#include <functional>
#include <map>
#include <string>

#include "Corvel/Render/TransformMath.h"

namespace ui {

class ControlTransform {
public:
    // Answers the current value of an animated value by name; false when it
    // has none.
    using ValueSource = std::function<bool(const std::wstring& name, float& value)>;

    // Identity parameters; the matrices are the identity until the first
    // Compose.
    ControlTransform();

    // Recomputes the matrix and its inverse from the parameters.
    void Compose();
    // A copy of the composed matrix (row-major, points as row vectors).
    Matrix4x4 GetMatrix() const { return m_matrix; }
    // The inverse of the composed matrix; all zeros when it has none.
    const Matrix4x4& GetInverse() const { return m_inverse; }
    bool HasInverse() const { return m_invertible; }

    // The control's rectangle in window pixels and the window's DPI scale;
    // recomposes when anything changed. Called by the control's layout.
    void SetFrame(float left, float top, float width, float height, float dpiScale);

    // Cell "r_c" (row 1 scale, 2 rotation, 3 translation; column 1 x, 2 y,
    // 3 z) is driven by the animated value `valueName`; an empty name
    // removes the cell. Any key is kept; UpdateFromProperties skips keys
    // that name no parameter.
    void SetMatrixCell(const std::wstring& key, const std::wstring& valueName);
    const std::map<std::wstring, std::wstring>& GetCells() const { return m_cells; }

    // Asks `source` for the value of every cell in key order and stores each
    // answer in the parameter the cell names; then recomposes when there is
    // at least one cell. Without cells the matrix is left untouched.
    void UpdateFromProperties(const ValueSource& source);

    const std::wstring& GetName() const { return m_name; }
    void SetName(const std::wstring& name) { m_name = name; }

    // Parameters: translation in 96-DPI pixels, rotation in degrees, depth
    // 0 for no perspective. Setting them does not recompose.
    TransformParams& Params() { return m_params; }
    const TransformParams& Params() const { return m_params; }

private:
    // The parameter a cell key names, or null.
    float* FindParameter(const std::wstring& key);

    TransformParams m_params;
    Matrix4x4 m_matrix;
    Matrix4x4 m_inverse;
    bool m_invertible = true;
    std::wstring m_name;
    std::map<std::wstring, std::wstring> m_cells;
};

} // namespace ui
