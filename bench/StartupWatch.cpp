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
// A point inside the banner area (window pixels at 100 per cent: under the
// 33-pixel caption, in the middle of the 800 x 340 banner), and the demo
// service's banner colour there: (30 + 300 / 3, 60 + 100 * 3 / 4, 160), with
// room for scaling and compression. The skin's own background is far bluer.
constexpr int kProbeX = 400;
constexpr int kProbeY = 33 + 170;
constexpr int kExpectRed = 130, kExpectGreen = 135, kExpectBlue = 160, kTolerance = 24;
// 100 ns ticks between 1601-01-01 and 1970-01-01.
constexpr uint64_t kEpochDifference = 116444736000000000ULL;

uint64_t UnixNanoseconds()
{
    FILETIME ft;
    GetSystemTimePreciseAsFileTime(&ft);
    const uint64_t ticks = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
    return (ticks - kEpochDifference) * 100;
}

bool Near(int value, int expected) { return value >= expected - kTolerance && value <= expected + kTolerance; }

bool ShowsBanner(HWND window)
{
    RECT r{};
    if (!GetWindowRect(window, &r))
        return false;
    HDC screen = GetDC(nullptr);
    const COLORREF c = GetPixel(screen, r.left + kProbeX, r.top + kProbeY);
    ReleaseDC(nullptr, screen);
    return c != CLR_INVALID && Near(GetRValue(c), kExpectRed) && Near(GetGValue(c), kExpectGreen) &&
           Near(GetBValue(c), kExpectBlue);
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
