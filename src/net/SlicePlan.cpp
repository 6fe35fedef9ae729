#include "net/SlicePlan.h"

#include <algorithm>
#include <cwchar>
#include <cwctype>

namespace {

// A read that took less than this was waiting on nothing: ask for more.
const uint64_t kQuickReadMs = 100;
// A read that took longer than this holds progress back: ask for less.
const uint64_t kSlowReadMs = 400;

const wchar_t kRefusedCharacters[] = L"<>:\"/\\|?*";

bool EqualsNoCase(const std::wstring& a, const wchar_t* b)
{
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        if (std::towupper(a[i]) != std::towupper(b[i]))
            return false;
    }
    return i == a.size() && !b[i];
}

// The part before the first dot, blanks at its end dropped: "nul .txt"
// opens the device as "NUL" does.
std::wstring DeviceStem(const std::wstring& name)
{
    std::wstring stem = name.substr(0, name.find(L'.'));
    while (!stem.empty() && stem.back() == L' ')
        stem.pop_back();
    return stem;
}

bool IsDeviceName(const std::wstring& name)
{
    std::wstring stem = DeviceStem(name);
    for (const wchar_t* device : {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"}) {
        if (EqualsNoCase(stem, device))
            return true;
    }
    // COM1-COM9 and LPT1-LPT9, also with the superscript digits ¹ ² ³.
    if (stem.size() != 4 || !(EqualsNoCase(stem.substr(0, 3), L"COM") || EqualsNoCase(stem.substr(0, 3), L"LPT")))
        return false;
    wchar_t digit = stem[3];
    return (digit >= L'1' && digit <= L'9') || digit == L'\x00B9' || digit == L'\x00B2' || digit == L'\x00B3';
}

} // namespace

int SliceCountFor(uint64_t total, bool acceptsRanges, const stSliceThresholds& thresholds)
{
    if (!acceptsRanges)
        return 1;
    if (total > thresholds.fourSlices)
        return 4;
    if (total > thresholds.threeSlices)
        return 3;
    if (total > thresholds.twoSlices)
        return 2;
    return 1;
}

std::vector<stSliceRange> PlanSlices(uint64_t total, int count)
{
    std::vector<stSliceRange> plan;
    if (total == 0 || count < 1)
        return plan;
    // Never more slices than bytes: every slice holds at least one byte.
    uint64_t n = std::min<uint64_t>(static_cast<uint64_t>(count), total);
    uint64_t part = total / n;
    for (uint64_t i = 0; i < n; ++i) {
        stSliceRange r;
        r.first = part * i;
        r.last = (i + 1 == n) ? total - 1 : part * (i + 1) - 1;
        plan.push_back(r);
    }
    return plan;
}

bool IsPlainFileName(const std::wstring& name)
{
    if (name.empty() || name == L"." || name == L"..")
        return false;
    for (wchar_t ch : name) {
        if (ch < 0x20 || std::wcschr(kRefusedCharacters, ch))
            return false;
    }
    if (name.back() == L'.' || name.back() == L' ')
        return false;
    return !IsDeviceName(name);
}

bool SameVersion(const stValidators& probe, const stValidators& answer)
{
    if (!probe.etag.empty() && !answer.etag.empty() && probe.etag != answer.etag)
        return false;
    if (!probe.lastModified.empty() && !answer.lastModified.empty() && probe.lastModified != answer.lastModified)
        return false;
    return true;
}

stTick NextTick(stTickClock& clock, uint64_t sum, uint64_t fetched, uint64_t nowMs)
{
    stTick tick;
    tick.downloaded = std::max(sum, clock.reported);
    uint64_t bytes = fetched > clock.fetched ? fetched - clock.fetched : 0;
    uint64_t elapsedMs = nowMs > clock.atMs ? nowMs - clock.atMs : 0;
    // A tick at the very moment of the previous one has no measurable time:
    // count it as one millisecond rather than divide by zero.
    elapsedMs = std::max<uint64_t>(elapsedMs, 1);
    tick.bytesPerSecond = bytes <= UINT64_MAX / 1000 ? bytes * 1000 / elapsedMs : bytes / elapsedMs * 1000;
    clock.reported = tick.downloaded;
    clock.fetched = std::max(fetched, clock.fetched);
    clock.atMs = std::max(nowMs, clock.atMs);
    return tick;
}

uint32_t NextReadSize(uint32_t current, uint64_t elapsedMs)
{
    current = std::min(std::max(current, kMinReadBytes), kMaxReadBytes);
    if (elapsedMs < kQuickReadMs)
        return std::min(current * 2, kMaxReadBytes);
    if (elapsedMs > kSlowReadMs)
        return std::max(current / 2, kMinReadBytes);
    return current;
}
