// What the main window makes of the sliced downloader's reports: the pure
// text and number decisions, apart from the window so that they can be
// table-tested (tests/app/DownloadTexts_test.cpp). Any thread.
#pragma once

#include <cstdint>
#include <string>

// A progress tick at or below this many bytes per second is slow: it arms
// the restart timer; a faster one disarms it.
constexpr uint64_t kSlowBytesPerSecond = 512;

// What a progress tick (a bytes of b, c bytes in the last second; b != 0)
// asks of the restart timer.
enum class TickPace {
    kNone, // all bytes are in: the timer is left as it is
    kSlow, // arm the restart timer
    kFast, // disarm it
};

struct stTickView {
    bool done = false;     // a == b: every slice is in, verification follows
    float percent = 0.0f;  // a * 100 / b in 32-bit floating point
    TickPace pace = TickPace::kNone;
    std::wstring speedText;  // for TxtSpeed
};

// The view of one progress tick; b must not be 0.
stTickView ViewOfTick(uint64_t a, uint64_t b, uint64_t c);

// a * 100 / b in 32-bit floating point; 0 when b is 0.
float DownloadPercent(uint64_t a, uint64_t b);

// TxtSpeed while bytes arrive: "B/S" up to 1024 bytes per second, "KB/S"
// up to 1 MiB, "MB/S" above, one decimal for the last two.
std::wstring SpeedText(uint64_t bytesPerSecond);
// The text all bytes in shows, while the slices are merged.
std::wstring VerifyingSpeedText();

// The bar's "state" text element while downloading and while verifying.
std::wstring DownloadingStateText(float percent);
std::wstring VerifyingStateText(float percent);

// Message texts. `code` is the report's error value: an int32 error carried
// sign-extended in 64 bits, so -1 (a body that ended early) reads as -1.
std::wstring StartFailureText(uint32_t code);
std::wstring SliceFailureText(uint64_t code);
std::wstring MergeFailureText(uint64_t code);
