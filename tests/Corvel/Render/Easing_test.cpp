#include "Corvel/Render/Easing.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

namespace {

const double kPi = 3.14159265358979323846;

// The published equations in double precision, independent of the library.
double BounceOutRef(double p)
{
    const double k = 7.5625;
    if (p < 1 / 2.75)
        return k * p * p;
    if (p < 2 / 2.75) {
        p -= 1.5 / 2.75;
        return k * p * p + 0.75;
    }
    if (p < 2.5 / 2.75) {
        p -= 2.25 / 2.75;
        return k * p * p + 0.9375;
    }
    p -= 2.625 / 2.75;
    return k * p * p + 0.984375;
}

double Reference(int type, int mode, double t, double b, double c, double d)
{
    const double p = t / d, q = t / (d / 2), h = c / 2;
    switch (type) {
    case 0: return c * p + b;
    case 1:
        if (mode == 0) return b + c - c * std::cos(p * kPi / 2);
        if (mode == 1) return b + c * std::sin(p * kPi / 2);
        return b - h * (std::cos(kPi * p) - 1);
    case 2: // quint
        if (mode == 0) return c * std::pow(p, 5) + b;
        if (mode == 1) return c * (std::pow(p - 1, 5) + 1) + b;
        return q < 1 ? h * std::pow(q, 5) + b : h * (std::pow(q - 2, 5) + 2) + b;
    case 3: // quart
        if (mode == 0) return c * std::pow(p, 4) + b;
        if (mode == 1) return b - c * (std::pow(p - 1, 4) - 1);
        return q < 1 ? h * std::pow(q, 4) + b : b - h * (std::pow(q - 2, 4) - 2);
    case 4: // quad
        if (mode == 0) return c * p * p + b;
        if (mode == 1) return b - c * p * (p - 2);
        return q < 1 ? h * q * q + b : b - h * ((q - 1) * (q - 3) - 1);
    case 5: // expo
        if (mode == 0) return t == 0 ? b : c * std::pow(2, 10 * (p - 1)) + b;
        if (mode == 1) return t == d ? b + c : c * (1 - std::pow(2, -10 * p)) + b;
        if (t == 0) return b;
        if (t == d) return b + c;
        return q < 1 ? h * std::pow(2, 10 * (q - 1)) + b : h * (2 - std::pow(2, -10 * (q - 1))) + b;
    case 6: { // elastic
        if (mode == 0 || mode == 1) {
            if (t == 0) return b;
            if (p == 1) return b + c;
            double P = 0.3 * d, s = P / 4;
            if (mode == 0) {
                double u = p - 1;
                return b - c * std::pow(2, 10 * u) * std::sin((u * d - s) * 2 * kPi / P);
            }
            return c * std::pow(2, -10 * p) * std::sin((p * d - s) * 2 * kPi / P) + c + b;
        }
        if (t == 0) return b;
        if (q == 2) return b + c;
        double P = 0.45 * d, s = P / 4, u = q - 1;
        double w = std::sin((u * d - s) * 2 * kPi / P);
        return q < 1 ? b - 0.5 * c * std::pow(2, 10 * u) * w : 0.5 * c * std::pow(2, -10 * u) * w + c + b;
    }
    case 7: // cubic
        if (mode == 0) return c * p * p * p + b;
        if (mode == 1) return c * (std::pow(p - 1, 3) + 1) + b;
        return q < 1 ? h * q * q * q + b : h * (std::pow(q - 2, 3) + 2) + b;
    case 8: // circ
        if (mode == 0) return b - c * (std::sqrt(1 - p * p) - 1);
        if (mode == 1) return b + c * std::sqrt(1 - (p - 1) * (p - 1));
        return q < 1 ? b - h * (std::sqrt(1 - q * q) - 1) : b + h * (std::sqrt(1 - (q - 2) * (q - 2)) + 1);
    case 9: // bounce
        if (mode == 0) return c - c * BounceOutRef((d - t) / d) + b;
        if (mode == 1) return c * BounceOutRef(p) + b;
        if (t < d / 2) return (c - c * BounceOutRef((d - 2 * t) / d)) * 0.5 + b;
        return c * BounceOutRef((2 * t - d) / d) * 0.5 + c * 0.5 + b;
    case 10: { // back
        const double s = 1.70158, s2 = s * 1.525;
        if (mode == 0) return c * p * p * ((s + 1) * p - s) + b;
        if (mode == 1) {
            double u = p - 1;
            return c * (u * u * ((s + 1) * u + s) + 1) + b;
        }
        if (q < 1) return h * q * q * ((s2 + 1) * q - s2) + b;
        double v = q - 2;
        return h * (v * v * ((s2 + 1) * v + s2) + 2) + b;
    }
    }
    return 0;
}

const char* const kNames[] = {"linear", "sine", "quint", "quart", "quad", "expo",
                              "elastic", "cubic", "circ", "bounce", "back"};

TEST(Easing, EveryCurveAndModeMatchesTheEquationsAcrossTheDuration)
{
    const float d = 400.0f;
    const struct { float b, c; } ranges[] = {{0.0f, 100.0f}, {50.0f, -30.0f}, {-10.0f, 1.0f}};
    for (int type = 0; type < ui::kEaseTypeCount; ++type) {
        for (int mode = 0; mode < 3; ++mode) {
            for (const auto& r : ranges) {
                for (int i = 0; i <= 40; ++i) {
                    const float t = d * static_cast<float>(i) / 40.0f;
                    const double want = Reference(type, mode, t, r.b, r.c, d);
                    const float got = ui::EaseValue(type, mode, t, r.b, r.c, d);
                    EXPECT_NEAR(want, got, 1e-3 * (std::fabs(r.c) + 1))
                        << kNames[type] << " mode " << mode << " t " << t << " b " << r.b << " c " << r.c;
                }
            }
        }
    }
}

TEST(Easing, EveryCurveStartsAtBAndEndsAtBPlusC)
{
    for (int type = 0; type < ui::kEaseTypeCount; ++type) {
        const ui::Easing* e = ui::GetEasing(type);
        ASSERT_NE(nullptr, e) << type;
        for (int mode = 0; mode < 3; ++mode) {
            EXPECT_NEAR(20.0f, ui::EaseValue(type, mode, 0.0f, 20.0f, 80.0f, 250.0f), 1e-3)
                << kNames[type] << " mode " << mode << " at 0";
            EXPECT_NEAR(100.0f, ui::EaseValue(type, mode, 250.0f, 20.0f, 80.0f, 250.0f), 1e-3)
                << kNames[type] << " mode " << mode << " at d";
        }
    }
    // Elastic and Expo reach their ends by explicit tests: exactly.
    EXPECT_EQ(20.0f, ui::GetEasing(ui::kEaseElastic)->EaseIn(0.0f, 20.0f, 80.0f, 250.0f));
    EXPECT_EQ(100.0f, ui::GetEasing(ui::kEaseElastic)->EaseOut(250.0f, 20.0f, 80.0f, 250.0f));
    EXPECT_EQ(100.0f, ui::GetEasing(ui::kEaseElastic)->EaseInOut(250.0f, 20.0f, 80.0f, 250.0f));
    EXPECT_EQ(20.0f, ui::GetEasing(ui::kEaseExpo)->EaseIn(0.0f, 20.0f, 80.0f, 250.0f));
    EXPECT_EQ(100.0f, ui::GetEasing(ui::kEaseExpo)->EaseOut(250.0f, 20.0f, 80.0f, 250.0f));
    EXPECT_EQ(20.0f, ui::GetEasing(ui::kEaseExpo)->EaseInOut(0.0f, 20.0f, 80.0f, 250.0f));
    EXPECT_EQ(100.0f, ui::GetEasing(ui::kEaseExpo)->EaseInOut(250.0f, 20.0f, 80.0f, 250.0f));
}

TEST(Easing, HandComputedPoints)
{
    struct Case {
        int type, mode;
        float t;
        double want;
    } cases[] = {
        {9, 1, 50.0f, 0.765625},         // bounce out at p = 0.5 (second arc)
        {10, 0, 50.0f, -0.0876975},      // back in overshoots below the start
        {4, 0, 50.0f, 0.25},             // quad in
        {4, 1, 50.0f, 0.75},             // quad out
        {7, 2, 25.0f, 0.0625},           // cubic in-out, first half: 0.5 * 0.5^3
        {8, 1, 50.0f, 0.8660254},        // circ out: sqrt(1 - 0.25)
        {1, 2, 50.0f, 0.5},              // sine in-out is symmetric
        {5, 1, 10.0f, 1.0 - 0.5},        // expo out at p = 0.1: 1 - 2^-1
        {9, 1, 95.0f, 7.5625 * (0.95 - 0.95454544) * (0.95 - 0.95454544) + 0.984375},
    };
    for (const auto& c : cases)
        EXPECT_NEAR(c.want, ui::EaseValue(c.type, c.mode, c.t, 0.0f, 1.0f, 100.0f), 2e-5)
            << kNames[c.type] << " mode " << c.mode << " t " << c.t;
}

TEST(Easing, LinearIsTheSameInEveryModeAndUnknownTypesGiveNothing)
{
    const ui::Easing* lin = ui::GetEasing(ui::kEaseLinear);
    for (float t : {0.0f, 13.0f, 77.0f, 100.0f}) {
        EXPECT_EQ(lin->EaseIn(t, 3.0f, 9.0f, 100.0f), lin->EaseOut(t, 3.0f, 9.0f, 100.0f));
        EXPECT_EQ(lin->EaseIn(t, 3.0f, 9.0f, 100.0f), lin->EaseInOut(t, 3.0f, 9.0f, 100.0f));
    }
    EXPECT_EQ(nullptr, ui::GetEasing(-1));
    EXPECT_EQ(nullptr, ui::GetEasing(11));
    EXPECT_EQ(0.0f, ui::EaseValue(11, 0, 1.0f, 5.0f, 5.0f, 10.0f));
    EXPECT_EQ(0.0f, ui::EaseValue(0, 3, 1.0f, 5.0f, 5.0f, 10.0f));
    // The type table is by index, not by name order.
    EXPECT_NE(nullptr, dynamic_cast<const ui::Expo*>(ui::GetEasing(5)));
    EXPECT_NE(nullptr, dynamic_cast<const ui::Bounce*>(ui::GetEasing(9)));
    EXPECT_NE(nullptr, dynamic_cast<const ui::Quint*>(ui::GetEasing(2)));
}

TEST(Easing, CircOutsideTheDurationIsNotANumber)
{
    EXPECT_TRUE(std::isnan(ui::EaseValue(ui::kEaseCirc, 0, 150.0f, 0.0f, 1.0f, 100.0f)));
}

} // namespace
