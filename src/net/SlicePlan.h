// The sliced downloader's decisions that need no network and no thread:
// how many slices and where they lie, which download names are safe, whether
// an answer still belongs to the file the download started with, what a
// progress tick reports and how large the next read is. All pure, all
// table-tested (tests/net/SlicePlan_test.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Size above which a download gets 2, 3 or 4 slices.
struct stSliceThresholds {
    uint64_t twoSlices = 0x3200000;    // 50 MiB
    uint64_t threeSlices = 0xC800000;  // 200 MiB
    uint64_t fourSlices = 0x40000000;  // 1 GiB
};

struct stSliceRange {
    uint64_t first;
    uint64_t last; // inclusive
};

// Number of slices for a file of `total` bytes; 1 when the server does not
// take byte ranges.
int SliceCountFor(uint64_t total, bool acceptsRanges, const stSliceThresholds& thresholds = stSliceThresholds());
// The byte ranges of `count` slices over `total` bytes (total > 0).
std::vector<stSliceRange> PlanSlices(uint64_t total, int count);

// True when `name` names one file inside the target folder and nothing
// else: no path separator, not "." or "..", no ':' (drive or stream), none
// of the characters the file system refuses (control characters and
// < > " | ? *), no trailing dot or blank (the system drops them, so the name
// would mean another file), and no device name (CON, PRN, AUX, NUL, COM1-9,
// LPT1-9, CONIN$, CONOUT$, with or without an extension, any case).
bool IsPlainFileName(const std::wstring& name);

// The validators a response carried: ETag and Last-Modified texts, empty
// when the header was absent.
struct stValidators {
    std::wstring etag;
    std::wstring lastModified;
};

// False when the answer names another version of the file than the probe
// did: an ETag or a Last-Modified present in both that differs. A header
// missing from either side proves nothing and passes.
bool SameVersion(const stValidators& probe, const stValidators& answer);

// What one progress tick reports: bytes downloaded (never less than the
// previous tick said) and the speed in bytes per second over the time since
// the previous tick, from the bytes fetched in this run (never negative,
// never counting resumed bytes).
struct stTickClock {
    uint64_t reported = 0; // downloaded count of the previous tick
    uint64_t fetched = 0;  // bytes fetched in this run at the previous tick
    uint64_t atMs = 0;     // time of the previous tick (or of the start)
};
struct stTick {
    uint64_t downloaded;
    uint64_t bytesPerSecond;
};
// sum: the slices' downloaded counts now; fetched: bytes received in this
// run so far; nowMs: a millisecond clock. Advances the clock.
stTick NextTick(stTickClock& clock, uint64_t sum, uint64_t fetched, uint64_t nowMs);

// Reads ask for a number of bytes and end only when they have them (or the
// body ends), so their size follows the speed: a read that came back
// quickly doubles the next one, a slow one halves it. This keeps progress
// and the resume file current on a slow link and the number of calls low on
// a fast one.
const uint32_t kMinReadBytes = 4 * 1024;
const uint32_t kFirstReadBytes = 16 * 1024;
// Writes of 256 KiB were the quickest measured under Wine (64 KiB, 256 KiB
// and 1 MiB pieces of a 280 MB file).
const uint32_t kMaxReadBytes = 256 * 1024;
uint32_t NextReadSize(uint32_t current, uint64_t elapsedMs);
