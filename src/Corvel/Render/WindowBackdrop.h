// Translucent window backdrops from the desktop compositor: blur-behind, the
// accent policy (blur or acrylic), the system backdrop type (acrylic, Mica)
// and frame margins. Every system entry point is bound at run time, so the
// program starts where one is missing; that effect is then not available.
#pragma once

#include <windows.h>
#include <uxtheme.h>

#include <cstdint>

// Accent policy record of SetWindowCompositionAttribute.
struct stAccentPolicy {
    int32_t accentState;
    int32_t accentFlags;
    uint32_t gradientColor;  // ARGB
    int32_t animationId;
};
static_assert(sizeof(stAccentPolicy) == 16, "accent policy layout");

// Major (0), minor (1) or build (2) of the running system, read once with
// RtlGetVersion.
uint32_t GetOsVersionPart(int index);
// Replaces the cached version (major 0 makes the next query read the system
// again). For diagnostics and tests of the build-dependent paths.
void OverrideOsVersion(uint32_t major, uint32_t minor, uint32_t build);

// The record SetAccentPolicy sends: acrylic (state 4) gets flags 0 and a
// colour of alpha 0 raised to alpha 1; other states flags 2.
stAccentPolicy MakeAccentPolicy(int accentState, uint32_t color);
// SetWindowCompositionAttribute with the accent policy; 0 when the entry point
// is missing or the call fails.
BOOL SetAccentPolicy(HWND window, int accentState, uint32_t color);

// kind 0 blur, 1 acrylic. True when the system backdrop type or the accent
// policy was set. When the newer call fails the older path is taken: the
// accent policy, then blur-behind (which reports false).
bool EnableWindowBackdrop(HWND window, bool force, uint8_t kind, uint32_t color);
// Mica on builds 22000 and later; false elsewhere or when the call fails.
bool EnableMicaBackdrop(HWND window);

// Margin set 0 ({0,0,0,0}) or 1 ({1,1,1,1}, or only the bottom edge from
// build 22000) for the given build.
MARGINS FrameMarginSet(int setIndex, uint32_t build);
// Extends the frame with the margin set and answers the backdrop code the
// window keeps for its non-client size: 10 before build 22000, 11 from it;
// 0 when the frame could not be extended.
int SetFrameMargins(HWND window, int setIndex);
