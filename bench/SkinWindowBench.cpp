// Skinned window start-up benchmark: the time from creating a skinned window
// to its first presented frame, for a generated skin of 300 controls (texts,
// rounded borders and, on every fourth, one of eight PNG icons), at 96 and
// 192 DPI. Cold: the first window of a new process (a child process per
// run; its image table is empty and nothing is decoded or cached yet).
// Warm: later windows of the same process (factories, fonts and the file
// cache warm; the image table belongs to each window, so each warm window
// decodes its eight icons again, which the decode column shows). Prints the
// medians, the warm run's phases (building the skin in WM_CREATE, showing to
// the first layout, first layout to the presented frame) and, as the
// baseline of the system's own window costs, a warm skin of one control.
// Run by bench/skin-bench.sh under wine64 and Xvfb.
//   SkinWindowBench.exe [runs]                 (default 9)
//   SkinWindowBench.exe --cold <dpi>           (one cold run; exit code =
//                                               microseconds, 0 = failed)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "Corvel/Core/SkinArchive.h"
#include "Corvel/Core/WindowBase.h"
#include "Corvel/Core/support/TestWindow.h"
#include "Corvel/Render/ImageDecoder.h"
#include "support/ImageFiles.h"
#include "support/TestPaths.h"

namespace {

constexpr int kColumns = 20;
constexpr int kRows = 15;  // 300 controls
constexpr int kCellWidth = 40;   // units
constexpr int kCellHeight = 28;  // units
constexpr int kIcons = 8;
constexpr int kIconSide = 24;    // pixels of each PNG
constexpr int kIconEvery = 4;    // every fourth control shows an icon
constexpr int kDpis[] = {96, 192};
constexpr int kDefaultRuns = 9;
// A window that has not presented within this is reported as failed.
constexpr DWORD kPresentLimitMs = 10000;

// `rows` x `columns` controls in a window of the full grid's size.
std::wstring GenerateSkin(int rows = kRows, int columns = kColumns)
{
    std::wstring skin = L"<Window size=\"" + std::to_wstring(kColumns * kCellWidth) + L"," +
                        std::to_wstring(kRows * kCellHeight) + L"\" caption=\"0,0,0,28\" sizebox=\"4,4,4,4\">"
                        L"<Box bkcolor=\"#FFF4F6F8\">";
    for (int row = 0; row < rows; ++row) {
        for (int column = 0; column < columns; ++column) {
            const int i = row * kColumns + column;
            const std::wstring icon =
                i % kIconEvery == 0 ? L" bkimage=\"icon" + std::to_wstring(i / kIconEvery % kIcons) + L".png\"" : L"";
            wchar_t item[512];
            swprintf(item, 512,
                     L"<Control name=\"c%d\" pos=\"%d,%d,%d,%d\" text=\"Item %d\" textcolor=\"#FF203040\" "
                     L"bkcolor=\"#FF%02X%02XF0\" bordersize=\"1\" bordercolor=\"#FF8090A0\" borderround=\"6,6\" "
                     L"align=\"hcenter vcenter\"%ls/>",
                     i, column * kCellWidth, row * kCellHeight, kCellWidth - 2, kCellHeight - 2, i,
                     0xC0 + (i * 7) % 48, 0xD0 + (i * 3) % 32, icon.c_str());
            skin += item;
        }
    }
    return skin + L"</Box></Window>";
}

bool WriteIcons(const testsupport::ScratchDir& dir)
{
    for (int n = 0; n < kIcons; ++n) {
        testsupport::ArgbImage im(kIconSide, kIconSide, 0xFF000000u | static_cast<uint32_t>(0x203040 + n * 0x101010));
        im.Fill(4, 4, kIconSide - 4, kIconSide - 4, 0xC0FFFFFFu);
        const std::string png = testsupport::EncodeWithWic(im, GUID_ContainerFormatPng);
        if (png.empty() || !testsupport::WriteFileBytes(dir.File(L"icon" + std::to_wstring(n) + L".png"), png))
            return false;
    }
    return true;
}

class BenchWindow : public IWindowBase {
public:
    BenchWindow(const std::wstring& skin, int dpi) : m_skin(skin), m_dpi(dpi) {}
    std::wstring QuerySkinFile() override { return m_skin; }
    LRESULT ProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam) override
    {
        if (msg == WM_CREATE)
            Core().SetDpi(m_dpi);
        return IWindowBase::ProcessMessage(msg, wParam, lParam);
    }

private:
    const std::wstring& m_skin;
    int m_dpi;
};

// Milliseconds of one window's start, by phase; total < 0 on failure.
struct StartTimes {
    double build = 0;   // Create: WM_CREATE builds the skin
    double layout = 0;  // shown until the first layout is done
    double paint = 0;   // first layout until the frame is presented
    double total = -1;
};

// Creates, shows and pumps a window until its first frame is presented.
StartTimes TimeToFirstPresent(const std::wstring& skin, int dpi)
{
    const float s = dpi / 96.0f;
    BenchWindow win(skin, dpi);
    StartTimes t;
    const double start = bench::NowMs();
    if (!win.Create(nullptr, L"bench", WS_POPUP | WS_CLIPCHILDREN, 0, 0, 0,
                    static_cast<int>(kColumns * kCellWidth * s), static_cast<int>(kRows * kCellHeight * s)))
        return t;
    const double created = bench::NowMs();
    ShowWindow(win.GetHWND(), SW_SHOWNOACTIVATE);
    ui::WindowCore& core = win.Core();
    const bool laidOut = testsupport::PumpUntil(
        [&] { return core.GetRoot() && !core.IsFirstLayoutPendingForTesting(); }, kPresentLimitMs);
    const double layoutDone = bench::NowMs();
    const bool presented = laidOut && testsupport::PumpUntil([&] { return core.GetDirtyRectsForTesting().empty(); },
                                                             kPresentLimitMs);
    const double end = bench::NowMs();
    DestroyWindow(win.GetHWND());
    testsupport::PumpFor(20);
    if (presented)
        t = StartTimes{created - start, layoutDone - created, end - layoutDone, end - start};
    return t;
}

// One cold run in this process; the exit code carries the microseconds.
int RunCold(int dpi)
{
    testsupport::UiLibraryScope library;
    testsupport::ScratchDir dir(L"skinbench");
    if (!WriteIcons(dir))
        return 0;
    SetUiResourcePath((dir.Path() + L"\\").c_str());
    const double ms = TimeToFirstPresent(GenerateSkin(), dpi).total;
    SetUiResourcePath(L"");
    return ms < 0 ? 0 : static_cast<int>(ms * 1000.0);
}

// Starts this program for one cold run; milliseconds, negative on failure.
double SpawnColdRun(int dpi)
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" --cold " + std::to_wstring(dpi);
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(self, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return -1;
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code == 0 ? -1 : code / 1000.0;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (argc > 2 && wcscmp(argv[1], L"--cold") == 0)
        return RunCold(_wtoi(argv[2]));
    const int runs = argc > 1 ? std::max(1, _wtoi(argv[1])) : kDefaultRuns;

    std::printf("%5s %9s %10s %10s %28s %8s %15s\n", "dpi", "controls", "cold ms", "warm ms",
                "warm build/layout/paint ms", "decodes", "1-control ms");
    for (int dpi : kDpis) {
        std::vector<double> cold;
        for (int i = 0; i < runs; ++i) {
            const double ms = SpawnColdRun(dpi);
            if (ms < 0) {
                std::fprintf(stderr, "cold run failed at %d dpi\n", dpi);
                return 1;
            }
            cold.push_back(ms);
        }

        testsupport::UiLibraryScope library;
        testsupport::ScratchDir dir(L"skinbench");
        if (!WriteIcons(dir)) {
            std::fprintf(stderr, "could not write the icons\n");
            return 1;
        }
        SetUiResourcePath((dir.Path() + L"\\").c_str());
        const std::wstring skin = GenerateSkin();
        TimeToFirstPresent(skin, dpi);  // the process's first window: not warm yet
        std::vector<double> warm, build, layout, paint, single;
        const uint64_t decodesBefore = ui::ImageDecodeCountForTesting();
        for (int i = 0; i < runs; ++i) {
            const StartTimes t = TimeToFirstPresent(skin, dpi);
            if (t.total < 0) {
                std::fprintf(stderr, "warm run failed at %d dpi\n", dpi);
                return 1;
            }
            warm.push_back(t.total);
            build.push_back(t.build);
            layout.push_back(t.layout);
            paint.push_back(t.paint);
        }
        const double decodes = static_cast<double>(ui::ImageDecodeCountForTesting() - decodesBefore) / runs;
        const std::wstring one = GenerateSkin(1, 1);
        for (int i = 0; i < runs; ++i)
            single.push_back(TimeToFirstPresent(one, dpi).total);
        SetUiResourcePath(L"");
        char phases[64];
        std::snprintf(phases, sizeof(phases), "%.1f/%.1f/%.1f", bench::Median(build), bench::Median(layout),
                      bench::Median(paint));
        std::printf("%5d %9d %10.1f %10.1f %28s %8.1f %15.1f\n", dpi, kColumns * kRows, bench::Median(cold),
                    bench::Median(warm), phases, decodes, bench::Median(single));
    }
    return 0;
}
