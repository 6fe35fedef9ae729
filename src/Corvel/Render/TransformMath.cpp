#include "Corvel/Render/TransformMath.h"

#include <cmath>

namespace ui {

namespace {

// Single-precision constants of the angle reduction.
constexpr float kPi = 3.141592654f;
constexpr float kTwoPi = 6.283185307f;
constexpr float kHalfPi = 1.570796327f;
constexpr float kOneOverTwoPi = 0.159154943f;
constexpr float kRadiansPerDegree = 0.017453292f;

// A plane whose projection keeps less than this share of its area is seen
// edge-on: the polynomial cosine of a quarter turn is ~4e-8, not 0, so an
// exact zero test would let such a plane map every point somewhere.
constexpr float kEdgeOnDeterminant = 1e-6f;

// Minimax coefficients of sin(y) / y and cos(y) in y^2 on [-pi/2, pi/2],
// highest power first.
constexpr float kSinCoefficients[] = {-2.3889859e-08f, 2.7525562e-06f, -0.00019840874f, 0.0083333310f,
                                      -0.16666667f, 1.0f};
constexpr float kCosCoefficients[] = {-2.6051615e-07f, 2.4760495e-05f, -0.0013888378f, 0.041666638f, -0.5f,
                                      1.0f};

template <size_t N>
float Horner(const float (&coefficients)[N], float x)
{
    float result = coefficients[0];
    for (size_t i = 1; i < N; ++i)
        result = result * x + coefficients[i];
    return result;
}

// A matrix from its sixteen cells, row by row.
Matrix4x4 MatrixOf(const float (&cells)[16])
{
    Matrix4x4 m;
    for (int i = 0; i < 16; ++i)
        m.m[i / 4][i % 4] = cells[i];
    return m;
}

Matrix4x4 ZeroMatrix()
{
    Matrix4x4 m;
    for (auto& row : m.m)
        for (float& cell : row)
            cell = 0.0f;
    return m;
}

// Determinant of the 3x3 matrix of rows a, b, c.
float Determinant3(const float a[3], const float b[3], const float c[3])
{
    return a[0] * (b[1] * c[2] - b[2] * c[1]) - a[1] * (b[0] * c[2] - b[2] * c[0]) +
           a[2] * (b[0] * c[1] - b[1] * c[0]);
}

// The 3x3 minor of m without `row` and `column`.
float Minor(const Matrix4x4& m, int row, int column)
{
    float rows[3][3];
    int r = 0;
    for (int i = 0; i < 4; ++i) {
        if (i == row)
            continue;
        int c = 0;
        for (int j = 0; j < 4; ++j) {
            if (j == column)
                continue;
            rows[r][c++] = m.m[i][j];
        }
        ++r;
    }
    return Determinant3(rows[0], rows[1], rows[2]);
}

} // namespace

SinCos ScalarSinCos(float radians)
{
    float quotient = kOneOverTwoPi * radians;
    quotient = radians >= 0.0f ? static_cast<float>(static_cast<int>(quotient + 0.5f))
                               : static_cast<float>(static_cast<int>(quotient - 0.5f));
    float y = radians - kTwoPi * quotient;
    float sign = 1.0f;
    if (y > kHalfPi) {
        y = kPi - y;
        sign = -1.0f;
    } else if (y < -kHalfPi) {
        y = -kPi - y;
        sign = -1.0f;
    }
    const float y2 = y * y;
    return SinCos{Horner(kSinCoefficients, y2) * y, sign * Horner(kCosCoefficients, y2)};
}

float DegreesToRadians(float degrees) { return degrees * kRadiansPerDegree; }

bool IsIdentityMatrix(const Matrix4x4& m)
{
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            if (m.m[row][column] != (row == column ? 1.0f : 0.0f))
                return false;
    return true;
}

Matrix4x4 IdentityMatrix() { return ScalingMatrix(1.0f, 1.0f, 1.0f); }

Matrix4x4 MultiplyMatrix(const Matrix4x4& a, const Matrix4x4& b)
{
    Matrix4x4 out;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            float sum = 0.0f;
            for (int k = 0; k < 4; ++k)
                sum += a.m[i][k] * b.m[k][j];
            out.m[i][j] = sum;
        }
    }
    return out;
}

Matrix4x4 TranslationMatrix(float x, float y, float z)
{
    return MatrixOf({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, x, y, z, 1});
}

Matrix4x4 ScalingMatrix(float x, float y, float z)
{
    return MatrixOf({x, 0, 0, 0, 0, y, 0, 0, 0, 0, z, 0, 0, 0, 0, 1});
}

Matrix4x4 RotationXMatrix(float radians)
{
    const SinCos a = ScalarSinCos(radians);
    return MatrixOf({1, 0, 0, 0, 0, a.cosine, a.sine, 0, 0, -a.sine, a.cosine, 0, 0, 0, 0, 1});
}

Matrix4x4 RotationYMatrix(float radians)
{
    const SinCos a = ScalarSinCos(radians);
    return MatrixOf({a.cosine, 0, -a.sine, 0, 0, 1, 0, 0, a.sine, 0, a.cosine, 0, 0, 0, 0, 1});
}

Matrix4x4 RotationZMatrix(float radians)
{
    const SinCos a = ScalarSinCos(radians);
    return MatrixOf({a.cosine, a.sine, 0, 0, -a.sine, a.cosine, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
}

Matrix4x4 PerspectiveMatrix(float depth)
{
    Matrix4x4 m = IdentityMatrix();
    if (depth != 0.0f && std::isfinite(depth))
        m._34 = 1.0f / depth;
    return m;
}

bool InvertMatrix(const Matrix4x4& m, Matrix4x4& out)
{
    // Cofactors of the first row give the determinant.
    float det = 0.0f;
    for (int j = 0; j < 4; ++j)
        det += ((j & 1) ? -1.0f : 1.0f) * m.m[0][j] * Minor(m, 0, j);
    if (det == 0.0f || !std::isfinite(det)) {
        out = ZeroMatrix();
        return false;
    }
    const float inverseDet = 1.0f / det;
    Matrix4x4 result;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < 4; ++j) {
            // The adjugate is the transposed cofactor matrix.
            const float sign = ((i + j) & 1) ? -1.0f : 1.0f;
            result.m[j][i] = sign * Minor(m, i, j) * inverseDet;
        }
    }
    out = result;
    return true;
}

Matrix4x4 ComposeTransform(const TransformParams& p)
{
    const float cx = p.left + p.width * 0.5f;
    const float cy = p.top + p.height * 0.5f;
    const float cz = p.z;
    Matrix4x4 m = MultiplyMatrix(TranslationMatrix(-cx, -cy, -cz), ScalingMatrix(p.scale[0], p.scale[1], p.scale[2]));
    m = MultiplyMatrix(m, RotationXMatrix(DegreesToRadians(p.rotation[0])));
    m = MultiplyMatrix(m, RotationYMatrix(DegreesToRadians(p.rotation[1])));
    m = MultiplyMatrix(m, RotationZMatrix(DegreesToRadians(p.rotation[2])));
    m = MultiplyMatrix(m, TranslationMatrix(p.dpiScale * p.translation[0], p.dpiScale * p.translation[1],
                                            p.dpiScale * p.translation[2]));
    m = MultiplyMatrix(m, PerspectiveMatrix(p.perspective));
    return MultiplyMatrix(m, TranslationMatrix(cx, cy, cz));
}

bool TransformPoint(const Matrix4x4& m, const Point3& p, Point3& out)
{
    float r[4];
    for (int j = 0; j < 4; ++j)
        r[j] = p.x * m.m[0][j] + p.y * m.m[1][j] + p.z * m.m[2][j] + m.m[3][j];
    if (r[3] == 0.0f || !std::isfinite(r[3]))
        return false;
    out = Point3{r[0] / r[3], r[1] / r[3], r[2] / r[3]};
    return true;
}

bool MapWindowPointToPlane(const Matrix4x4& m, float x, float y, float& u, float& v)
{
    // Points of the plane z = 0 are (u, v, 1) * H, H being rows 1, 2, 4 and
    // columns 1, 2, 4 of m; (x, y, 1) * H^-1 goes back, up to a factor.
    const float h[3][3] = {{m._11, m._12, m._14}, {m._21, m._22, m._24}, {m._41, m._42, m._44}};
    const float det = Determinant3(h[0], h[1], h[2]);
    if (!(std::fabs(det) > kEdgeOnDeterminant) || !std::isfinite(det))
        return false;
    // (x, y, 1) * adj(H), adj(H)[i][j] = cofactor(j, i).
    const float q[3] = {x, y, 1.0f};
    float r[3];
    for (int j = 0; j < 3; ++j) {
        float sum = 0.0f;
        for (int i = 0; i < 3; ++i) {
            // Cofactor (j, i) of h: the 2x2 minor without row j and column i.
            const int r0 = j == 0 ? 1 : 0, r1 = j == 2 ? 1 : 2;
            const int c0 = i == 0 ? 1 : 0, c1 = i == 2 ? 1 : 2;
            const float minor = h[r0][c0] * h[r1][c1] - h[r0][c1] * h[r1][c0];
            sum += q[i] * (((i + j) & 1) ? -minor : minor);
        }
        r[j] = sum;
    }
    if (r[2] == 0.0f)
        return false;
    const float pu = r[0] / r[2], pv = r[1] / r[2];
    // The plane point must lie in front of the viewer (positive w) to be
    // what is drawn at (x, y).
    const float w = pu * m._14 + pv * m._24 + m._44;
    if (!(w > 0.0f) || !std::isfinite(pu) || !std::isfinite(pv))
        return false;
    u = pu;
    v = pv;
    return true;
}

} // namespace ui
