// An animated colour runs on a timeline as four values, one per channel,
// named by the colour's value name plus a channel suffix.
#pragma once

#include "Corvel/Render/UiColor.h"

namespace ui {

struct AnimatedColorChannel {
    const wchar_t* suffix;
    float Color::*field;
};

// Alpha first, then red, green and blue.
inline constexpr AnimatedColorChannel kAnimatedColorChannels[] = {
    {L"_a", &Color::a}, {L"_r", &Color::r}, {L"_g", &Color::g}, {L"_b", &Color::b}};

} // namespace ui
