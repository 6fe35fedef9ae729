#include "Corvel/Render/UiColor.h"

#include <cstdlib>

namespace ui {

namespace {

uint32_t ChannelByte(float value)
{
    const double scaled = static_cast<double>(value) * 255.0;
    // Out-of-range channels would spill into the neighbouring bytes.
    if (!(scaled > 0.0))
        return 0;
    if (scaled >= 255.0)
        return 255;
    return static_cast<uint32_t>(scaled); // truncation toward zero
}

} // namespace

void Color::FromArgb(uint32_t argb)
{
    r = static_cast<float>(((argb >> 16) & 0xFF) / 255.0);
    g = static_cast<float>(((argb >> 8) & 0xFF) / 255.0);
    b = static_cast<float>((argb & 0xFF) / 255.0);
    a = static_cast<float>(((argb >> 24) & 0xFF) / 255.0);
    extra = 0;
}

void Color::Clear()
{
    r = g = b = a = 0.0f;
    extra = 0;
}

uint32_t Color::ToArgb() const
{
    return ChannelByte(a) << 24 | ChannelByte(r) << 16 | ChannelByte(g) << 8 | ChannelByte(b);
}

void Color::SetRandom()
{
    a = 1.0f;
    r = static_cast<float>((std::rand() % 255) / 255.0);
    g = static_cast<float>((std::rand() % 255) / 255.0);
    b = static_cast<float>((std::rand() % 255) / 255.0);
}

} // namespace ui
