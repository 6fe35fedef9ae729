#include "Corvel/Render/Easing.h"

#include <cmath>

namespace ui {

namespace {

constexpr double kPi = 3.14159265358979323846;

// Transcendentals run in double and are rounded to float, the rest stays float.
inline float Pow2(float x) { return static_cast<float>(std::pow(2.0, static_cast<double>(x))); }
inline float Sin(double x) { return static_cast<float>(std::sin(x)); }
inline float Cos(double x) { return static_cast<float>(std::cos(x)); }
inline float Sqrt(float x) { return static_cast<float>(std::sqrt(static_cast<double>(x))); }

// The elastic curves' wave at x (in units of the duration d), with its phase
// a quarter of the period.
inline float ElasticWave(float x, float d, float period)
{
    float s = period / 4.0f;
    return Sin(static_cast<double>(x * d - s) * (2.0 * kPi) / period);
}

const Linear gLinear;
const Sine gSine;
const Quint gQuint;
const Quart gQuart;
const Quad gQuad;
const Expo gExpo;
const Elastic gElastic;
const Cubic gCubic;
const Circ gCirc;
const Bounce gBounce;
const Back gBack;

const Easing* const gByType[kEaseTypeCount] = {
    &gLinear, &gSine, &gQuint, &gQuart, &gQuad, &gExpo, &gElastic, &gCubic, &gCirc, &gBounce, &gBack,
};

} // namespace

const Easing* GetEasing(int type)
{
    if (type < 0 || type >= kEaseTypeCount)
        return nullptr;
    return gByType[type];
}

float EaseValue(int type, int mode, float t, float b, float c, float d)
{
    const Easing* e = GetEasing(type);
    if (!e)
        return 0.0f;
    switch (mode) {
    case kEaseModeIn: return e->EaseIn(t, b, c, d);
    case kEaseModeOut: return e->EaseOut(t, b, c, d);
    case kEaseModeInOut: return e->EaseInOut(t, b, c, d);
    default: return 0.0f;
    }
}

// Linear

float Linear::EaseIn(float t, float b, float c, float d) const { return c * (t / d) + b; }
float Linear::EaseOut(float t, float b, float c, float d) const { return c * (t / d) + b; }
float Linear::EaseInOut(float t, float b, float c, float d) const { return c * (t / d) + b; }

// Sine

float Sine::EaseIn(float t, float b, float c, float d) const
{
    float p = t / d;
    return b + c - c * Cos(static_cast<double>(p) * (kPi / 2.0));
}

float Sine::EaseOut(float t, float b, float c, float d) const
{
    float p = t / d;
    return b + c * Sin(static_cast<double>(p) * (kPi / 2.0));
}

float Sine::EaseInOut(float t, float b, float c, float d) const
{
    return b - (c / 2.0f) * (Cos(kPi * static_cast<double>(t) / static_cast<double>(d)) - 1.0f);
}

// Quad

float Quad::EaseIn(float t, float b, float c, float d) const
{
    float p = t / d;
    return c * p * p + b;
}

float Quad::EaseOut(float t, float b, float c, float d) const
{
    float p = t / d;
    return b - c * p * (p - 2.0f);
}

float Quad::EaseInOut(float t, float b, float c, float d) const
{
    float q = t / (d / 2.0f);
    float h = c / 2.0f;
    if (q < 1.0f)
        return h * q * q + b;
    return b - h * ((q - 1.0f) * (q - 3.0f) - 1.0f);
}

// Cubic

float Cubic::EaseIn(float t, float b, float c, float d) const
{
    float p = t / d;
    return c * p * p * p + b;
}

float Cubic::EaseOut(float t, float b, float c, float d) const
{
    float u = t / d - 1.0f;
    return c * (u * u * u + 1.0f) + b;
}

float Cubic::EaseInOut(float t, float b, float c, float d) const
{
    float q = t / (d / 2.0f);
    float h = c / 2.0f;
    if (q < 1.0f)
        return h * q * q * q + b;
    float v = q - 2.0f;
    return h * (v * v * v + 2.0f) + b;
}

// Quart

float Quart::EaseIn(float t, float b, float c, float d) const
{
    float p = t / d;
    return c * p * p * p * p + b;
}

float Quart::EaseOut(float t, float b, float c, float d) const
{
    float u = t / d - 1.0f;
    return b - c * (u * u * u * u - 1.0f);
}

float Quart::EaseInOut(float t, float b, float c, float d) const
{
    float q = t / (d / 2.0f);
    float h = c / 2.0f;
    if (q < 1.0f)
        return h * q * q * q * q + b;
    float v = q - 2.0f;
    return b - h * (v * v * v * v - 2.0f);
}

// Quint

float Quint::EaseIn(float t, float b, float c, float d) const
{
    float p = t / d;
    return c * p * p * p * p * p + b;
}

float Quint::EaseOut(float t, float b, float c, float d) const
{
    float u = t / d - 1.0f;
    return c * (u * u * u * u * u + 1.0f) + b;
}

float Quint::EaseInOut(float t, float b, float c, float d) const
{
    float q = t / (d / 2.0f);
    float h = c / 2.0f;
    if (q < 1.0f)
        return h * q * q * q * q * q + b;
    float v = q - 2.0f;
    return h * (v * v * v * v * v + 2.0f) + b;
}

// Expo

float Expo::EaseIn(float t, float b, float c, float d) const
{
    if (t == 0.0f)
        return b;
    return c * Pow2(10.0f * (t / d - 1.0f)) + b;
}

float Expo::EaseOut(float t, float b, float c, float d) const
{
    if (t == d)
        return b + c;
    return c * (1.0f - Pow2(-10.0f * (t / d))) + b;
}

float Expo::EaseInOut(float t, float b, float c, float d) const
{
    if (t == 0.0f)
        return b;
    if (t == d)
        return b + c;
    float q = t / (d / 2.0f);
    float h = c / 2.0f;
    if (q < 1.0f)
        return h * Pow2(10.0f * (q - 1.0f)) + b;
    return h * (2.0f - Pow2(-10.0f * (q - 1.0f))) + b;
}

// Circ

float Circ::EaseIn(float t, float b, float c, float d) const
{
    float p = t / d;
    return b - c * (Sqrt(1.0f - p * p) - 1.0f);
}

float Circ::EaseOut(float t, float b, float c, float d) const
{
    float u = t / d - 1.0f;
    return b + c * Sqrt(1.0f - u * u);
}

float Circ::EaseInOut(float t, float b, float c, float d) const
{
    float q = t / (d / 2.0f);
    float h = c / 2.0f;
    if (q < 1.0f)
        return b - h * (Sqrt(1.0f - q * q) - 1.0f);
    float v = q - 2.0f;
    return b + h * (Sqrt(1.0f - v * v) + 1.0f);
}

// Back (overshoot 1.70158; in-out uses 1.70158 * 1.525)

float Back::EaseIn(float t, float b, float c, float d) const
{
    float p = t / d;
    return c * p * p * (2.70158f * p - 1.70158f) + b;
}

float Back::EaseOut(float t, float b, float c, float d) const
{
    float u = t / d - 1.0f;
    return c * (u * u * (2.70158f * u + 1.70158f) + 1.0f) + b;
}

float Back::EaseInOut(float t, float b, float c, float d) const
{
    float q = t / (d / 2.0f);
    float h = c / 2.0f;
    if (q < 1.0f)
        return h * q * q * (3.5949094f * q - 2.5949094f) + b;
    float v = q - 2.0f;
    return h * (v * v * (3.5949094f * v + 2.5949094f) + 2.0f) + b;
}

// Elastic: amplitude c, period 0.3 d (0.45 d in-out), phase P / 4.

float Elastic::EaseIn(float t, float b, float c, float d) const
{
    if (t == 0.0f)
        return b;
    float p = t / d;
    if (p == 1.0f)
        return b + c;
    float u = p - 1.0f;
    return b - c * Pow2(10.0f * u) * ElasticWave(u, d, d * 0.3f);
}

float Elastic::EaseOut(float t, float b, float c, float d) const
{
    if (t == 0.0f)
        return b;
    float p = t / d;
    if (p == 1.0f)
        return b + c;
    return c * Pow2(-10.0f * p) * ElasticWave(p, d, d * 0.3f) + c + b;
}

float Elastic::EaseInOut(float t, float b, float c, float d) const
{
    if (t == 0.0f)
        return b;
    float q = t / (d / 2.0f);
    if (q == 2.0f)
        return b + c;
    float u = q - 1.0f;
    float wave = ElasticWave(u, d, d * (0.3f * 1.5f));
    if (q < 1.0f)
        return b - 0.5f * c * Pow2(10.0f * u) * wave;
    return 0.5f * c * Pow2(-10.0f * u) * wave + c + b;
}

// Bounce: in and in-out reach the other curves through this instance's own
// virtual operations.

float Bounce::EaseIn(float t, float b, float c, float d) const
{
    return c - EaseOut(d - t, 0.0f, c, d) + b;
}

float Bounce::EaseOut(float t, float b, float c, float d) const
{
    const float k = 7.5625f;
    float p = t / d;
    float r;
    if (p < 0.36363637f) {
        r = k * p * p;
    } else if (p < 0.72727275f) {
        float v = p - 0.54545456f;
        r = k * v * v + 0.75f;
    } else if (static_cast<double>(p) < 0.9090909090909091) {
        float v = p - 0.8181818f;
        r = k * v * v + 0.9375f;
    } else {
        float v = p - 0.95454544f;
        r = k * v * v + 0.984375f;
    }
    return c * r + b;
}

float Bounce::EaseInOut(float t, float b, float c, float d) const
{
    if (t < d / 2.0f)
        return EaseIn(2.0f * t, 0.0f, c, d) * 0.5f + b;
    return EaseOut(2.0f * t - d, 0.0f, c, d) * 0.5f + c * 0.5f + b;
}

} // namespace ui
