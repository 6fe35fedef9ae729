// The drawing colour record: four floats in 0..1 made from 0xAARRGGBB.
#pragma once

#include <cstdint>

namespace ui {

struct Color {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
    float a = 0.0f;
    // Spare word; every operation here clears or copies it.
    uint32_t extra = 0;

    Color() = default;
    Color(float red, float green, float blue, float alpha) : r(red), g(green), b(blue), a(alpha) {}

    static Color MakeArgb(uint32_t argb)
    {
        Color c;
        c.FromArgb(argb);
        return c;
    }

    // Each byte / 255 (alpha from the top byte); the spare word := 0.
    void FromArgb(uint32_t argb);
    void CopyFrom(const Color& other) { *this = other; }
    // All five words 0.
    void Clear();
    // Each channel * 255 truncated (clamped to 0..255), packed as ARGB.
    uint32_t ToArgb() const;
    // Opaque random colour from rand(); a channel never reaches 1.0.
    void SetRandom();
};

} // namespace ui
