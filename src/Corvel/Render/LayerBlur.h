// Blur of a layer's content when it is composited: Direct2D's Gaussian blur
// effect where the system has it, else a CPU blur of our own.
#pragma once

#include <d2d1_1.h>

#include <cstdint>

namespace ui {

// Whether the Gaussian blur effect can be created and configured on this
// system. Probed once per process with the first device context asked.
bool GaussianBlurEffectAvailable(ID2D1DeviceContext* dc);

// Creates a configured Gaussian blur effect (null when unavailable). The
// caller releases it.
ID2D1Effect* CreateGaussianBlur(ID2D1DeviceContext* dc, float deviation, int optimization, int borderMode);

// Blurs premultiplied 32-bit pixels in place with three box passes per axis,
// which approximate a Gaussian of the given standard deviation. A hard border
// repeats the edge pixels; a soft one treats everything outside as
// transparent (callers pad the image to let the blur spread).
void BoxBlurPremultiplied(uint32_t* pixels, int width, int height, float deviation, bool hardBorder);

// Margin a soft blur of this deviation spreads beyond its source.
int SoftBlurPadding(float deviation);

} // namespace ui
