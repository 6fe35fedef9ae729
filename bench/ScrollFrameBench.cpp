// Frame benchmark: a scrolling VBox of 1000 text rows scrolled by the wheel,
// at 96 and 144 DPI. Each idle tick (timelines, layout, paint) is timed
// while the wheel glides the content; prints the median frame time of the
// frames that moved the content, the frames per second it allows, and the
// medians of a frame that only repaints the box and of one that lays the
// whole box out again.
// Run by bench/scroll-bench.sh under wine64 and Xvfb.
//   ScrollFrameBench.exe [frames]    (default 240)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "Corvel/Control/VBox.h"
#include "Corvel/Control/support/ScrollTestSupport.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Core/support/TestWindow.h"

namespace {

constexpr int kRows = 1000;
constexpr float kRowHeight = 24; // units
constexpr int kWidth = 400;      // pixels
constexpr int kHeight = 600;     // pixels
constexpr int kDpis[] = {96, 144};
constexpr int kDefaultFrames = 240;
// A wheel notch every few frames keeps the inertia gliding.
constexpr int kFramesPerNotch = 6;
constexpr int kRelayoutFrames = 20;

void LabelRows(const std::vector<ui::Control*>& rows)
{
    for (size_t i = 0; i < rows.size(); ++i) {
        const std::wstring attributes = L"text=\"Row " + std::to_wstring(i) +
                                        L"\" textcolor=\"#FF203040\" bkcolor=\"#FFF0F4F8\" bordersize=\"1\" "
                                        L"bordercolor=\"#FFC0C8D0\" align=\"left vcenter\"";
        rows[i]->ApplyAttributeText(attributes.c_str());
    }
}

double TimeTick()
{
    const double start = bench::NowMs();
    ui::WindowCore::IdleTick();
    return bench::NowMs() - start;
}

void DrainMessages()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const int frames = argc > 1 ? std::max(1, _wtoi(argv[1])) : kDefaultFrames;
    testsupport::UiLibraryScope library;
    std::printf("%5s %6s %14s %10s %8s %12s %12s\n", "dpi", "rows", "moving frames", "frame ms", "fps", "repaint ms",
                "relayout ms");
    for (int dpi : kDpis) {
        scrolltest::BasicScrollWindow<ui::VBox> w(
            dpi, kWidth, kHeight, {{L"vscroll", L"true"}, {L"scrollspeed", L"1200"}}, kRows, kRowHeight);
        if (!w.ok) {
            std::fprintf(stderr, "no window at %d dpi\n", dpi);
            return 1;
        }
        LabelRows(w.rows);
        w.WaitForRest();
        const POINT inside{kWidth / 2, kHeight / 2};
        std::vector<double> moving;
        int direction = -1;
        for (int f = 0; f < frames; ++f) {
            const ui::Box::ScrollExtent extent = w.box->GetScrollExtent();
            const float pos = w.box->GetScrollOffset().vertical;
            if (pos >= static_cast<float>(extent.vertical))
                direction = 1;
            else if (pos <= 0)
                direction = -1;
            if (f % kFramesPerNotch == 0)
                scrolltest::SendWheel(w.hwnd(), inside, direction);
            DrainMessages();
            const double ms = TimeTick();
            if (w.box->GetScrollOffset().vertical != pos)
                moving.push_back(ms);
        }
        w.WaitForRest();
        std::vector<double> repaint, relayout;
        for (int f = 0; f < kRelayoutFrames; ++f) {
            w.box->Repaint();
            repaint.push_back(TimeTick());
            w.box->RequestRelayout();
            relayout.push_back(TimeTick());
        }
        const double frameMs = bench::Median(moving);
        std::printf("%5d %6d %14zu %10.2f %8.1f %12.2f %12.2f\n", dpi, kRows, moving.size(), frameMs,
                    frameMs > 0 ? 1000.0 / frameMs : 0.0, bench::Median(repaint), bench::Median(relayout));
    }
    return 0;
}
