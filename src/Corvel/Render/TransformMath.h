// Arithmetic of a control's 3D transform: the 4x4 matrix composed from the
// control's rectangle and its scale, rotation, translation and perspective
// parameters, its inverse, and the mapping of window points back onto the
// control's plane for hit testing. Pure functions; any thread.
//
// Matrices are row-major and points are row vectors (p' = p * M), the layout
// Direct2D's 4x4 matrices use, so a composed matrix goes to a layer as is.
#pragma once

#include <d2d1_1.h>

namespace ui {

using Matrix4x4 = D2D1_MATRIX_4X4_F;

struct SinCos {
    float sine;
    float cosine;
};

// Sine and cosine of an angle in radians: the angle is reduced to [-pi, pi]
// by the nearest multiple of 2 pi (ties away from zero), folded into
// [-pi/2, pi/2], and evaluated by an 11th-degree odd polynomial (sine) and a
// 10th-degree even one (cosine). Absolute error below 2e-6 for angles that
// are not huge.
SinCos ScalarSinCos(float radians);

// Degrees to radians with the single-precision factor pi / 180.
float DegreesToRadians(float degrees);

Matrix4x4 IdentityMatrix();
// Exactly the identity.
bool IsIdentityMatrix(const Matrix4x4& m);
// a * b: b is applied after a.
Matrix4x4 MultiplyMatrix(const Matrix4x4& a, const Matrix4x4& b);
Matrix4x4 TranslationMatrix(float x, float y, float z);
Matrix4x4 ScalingMatrix(float x, float y, float z);
// Rotations by an angle in radians about the X, Y and Z axes.
Matrix4x4 RotationXMatrix(float radians);
Matrix4x4 RotationYMatrix(float radians);
Matrix4x4 RotationZMatrix(float radians);
// The identity with the third row (0, 0, 1, 1/depth): a point's z enters its
// w. A depth of 0 (or one that is not finite) means no perspective at all and
// gives the identity, since 1/0 makes a matrix nothing can draw or invert.
Matrix4x4 PerspectiveMatrix(float depth);

// The general 4x4 inverse (cofactors over the determinant). False, with out
// set to all zeros, when the matrix is singular or not finite (a scale of 0,
// for instance): no point can be mapped back through it.
bool InvertMatrix(const Matrix4x4& m, Matrix4x4& out);

// The parameters a composition reads; lengths in window pixels except the
// translation, which is in 96-DPI pixels and multiplied by dpiScale.
struct TransformParams {
    float left = 0.0f;
    float top = 0.0f;
    float z = 0.0f;
    float width = 0.0f;
    float height = 0.0f;
    float dpiScale = 1.0f;
    float translation[3] = {0.0f, 0.0f, 0.0f};
    float scale[3] = {1.0f, 1.0f, 1.0f};
    float rotation[3] = {0.0f, 0.0f, 0.0f}; // degrees about X, Y, Z
    float perspective = 0.0f;               // depth; 0: none
};

// About the rectangle's centre c: T(-c) * S * Rx * Ry * Rz * T(translation x
// dpiScale) * P(perspective) * T(c).
Matrix4x4 ComposeTransform(const TransformParams& params);

struct Point3 {
    float x;
    float y;
    float z;
};

// p * m followed by the division by w. False when w is 0 or not finite (the
// point lies on the perspective's vanishing plane); out is then untouched.
bool TransformPoint(const Matrix4x4& m, const Point3& p, Point3& out);

// The point (u, v) of the control's untransformed plane (z = 0) that m draws
// at the window point (x, y): the inverse of the plane's projection, which
// stays exact under rotations about X and Y and perspective, where mapping
// (x, y, 0) through the 4x4 inverse would land off the plane. False when the
// plane is seen edge-on or (x, y) lies beyond its horizon.
bool MapWindowPointToPlane(const Matrix4x4& m, float x, float y, float& u, float& v);

} // namespace ui
