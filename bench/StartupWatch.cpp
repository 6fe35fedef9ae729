// Watches for the installer's main window and its product: prints the wall
// clock (Unix nanoseconds) of the first moment the window is visible and of
// the first moment the screen shows the demo product's banner in it, then
// ends. Run by bench/startup-bench.sh beside the installer.
//   StartupWatch.exe <timeout seconds>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>

namespace {

constexpr const wchar_t* kMainWindowClass = L"CorvelSetupWnd";
constexpr DWORD kPollMs = 2;
// A point inside the demo service's 600 x 200 banner as the window shows it
// (window pixels at 100 per cent, under the 33-pixel caption). The skin's
// own background there is sky blue (blue well above red); before the first
// paint the window is white or black. The banner is none of these.
constexpr int kProbeX = 300;
constexpr int kProbeY = 33 + 100;
constexpr int kSkyBlueMargin = 80;
constexpr int kNearWhite = 235, kNearBlack = 20;
// 100 ns ticks between 1601-01-01 and 1970-01-01.
constexpr uint64_t kEpochDifference = 116444736000000000ULL;

uint64_t UnixNanoseconds()
{
    FILETIME ft;
    GetSystemTimePreciseAsFileTime(&ft);
    const uint64_t ticks = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return (ticks - kEpochDifference) * 100;
}

bool ShowsBanner(HWND window)
{
    RECT r{};
    if (!GetWindowRect(window, &r))
        return false;
    HDC screen = GetDC(nullptr);
    const COLORREF c = GetPixel(screen, r.left + kProbeX, r.top + kProbeY);
    ReleaseDC(nullptr, screen);
    if (c == CLR_INVALID)
        return false;
    const int red = GetRValue(c), green = GetGValue(c), blue = GetBValue(c);
    const bool white = red > kNearWhite && green > kNearWhite && blue > kNearWhite;
    const bool black = red < kNearBlack && green < kNearBlack && blue < kNearBlack;
    return blue - red < kSkyBlueMargin && !white && !black;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const DWORD timeoutMs = (argc > 1 ? static_cast<DWORD>(_wtoi(argv[1])) : 60) * 1000;
    const DWORD start = GetTickCount();
    uint64_t windowNs = 0;
    while (GetTickCount() - start < timeoutMs) {
        HWND window = FindWindowW(kMainWindowClass, nullptr);
        if (window && IsWindowVisible(window)) {
            if (!windowNs)
                windowNs = UnixNanoseconds();
            if (ShowsBanner(window)) {
                printf("window_ns=%llu shown_ns=%llu\n", static_cast<unsigned long long>(windowNs),
                       static_cast<unsigned long long>(UnixNanoseconds()));
                return 0;
            }
        }
        Sleep(kPollMs);
    }
    printf("timeout window_ns=%llu\n", static_cast<unsigned long long>(windowNs));
    return 1;
}
