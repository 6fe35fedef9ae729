// List benchmark: a list of 10 000 rows by 5 columns built from markup in a
// shown window. Prints the medians of: building it (markup to the first
// painted frame), a scroll frame (the body moved by a step, then one idle
// tick that paints) with the part that moves the rows and the frames per
// second a frame allows, and selecting every row (SelectAllRows).
// Run by bench/list-bench.sh under wine64 and Xvfb.
//   ListBench.exe [runs]    (default 5)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "Corvel/Control/List.h"
#include "Corvel/Control/ListBody.h"
#include "Corvel/Core/DialogBuilder.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Core/support/TestWindow.h"

namespace {

constexpr int kRows = 10000;
constexpr int kColumns = 5;
constexpr int kWidth = 600;  // pixels
constexpr int kHeight = 400; // pixels
constexpr int kDefaultRuns = 5;
constexpr int kScrollFrames = 120;
// Pixels per scroll frame: a little more than a row, so rows come and go.
constexpr float kScrollStep = 27;

std::wstring ListMarkup()
{
    std::wstring m = LR"(<Window><VBox><List name="list" multi="true" vscroll="true" itemaltbk="true"
        itembkcolor="#FFF4F6F8" itemselectedbkcolor="#FF3070D0"><ListHeader height="24">)";
    for (int c = 0; c < kColumns; ++c)
        m += L"<ListHeaderItem text=\"Column " + std::to_wstring(c) + L"\" width=\"110\"/>";
    m += L"</ListHeader>";
    m.reserve(m.size() + static_cast<size_t>(kRows) * 200);
    for (int r = 0; r < kRows; ++r) {
        m += L"<ListItem height=\"22\">";
        for (int c = 0; c < kColumns; ++c)
            m += L"<Control mouse=\"false\" text=\"r" + std::to_wstring(r) + L"c" + std::to_wstring(c) + L"\"/>";
        m += L"</ListItem>";
    }
    m += L"</List></VBox></Window>";
    return m;
}

void Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    ui::WindowCore::IdleTick();
}

struct RunFigures {
    double buildMs = 0;
    double frameMs = 0;
    double moveMs = 0; // the part of a frame that moves the rows
    double selectAllMs = 0;
    bool ok = false;
};

RunFigures OneRun(const std::wstring& markup)
{
    RunFigures f;
    auto win = std::make_unique<testsupport::TestWindow>();
    if (!win->CreatePopup(kWidth, kHeight))
        return f;
    const double start = bench::NowMs();
    ui::DialogBuilder builder;
    ui::Control* root = builder.Build(markup.c_str(), nullptr, &win->core, nullptr);
    if (!root)
        return f;
    win->core.SetRootControl(root);
    SendMessageW(win->GetHWND(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(kWidth, kHeight));
    ShowWindow(win->GetHWND(), SW_SHOWNOACTIVATE);
    testsupport::PumpUntil([&win] { return testsupport::IsPainted(*win); });
    f.buildMs = bench::NowMs() - start;

    auto* list = static_cast<ui::List*>(win->core.FindControlByName(L"list"));
    if (!list || list->ChildCount() != kRows)
        return f;
    ui::ListBody* body = list->GetBody();
    std::vector<double> frames, moves;
    float pos = 0;
    for (int i = 0; i < kScrollFrames; ++i) {
        pos += kScrollStep;
        const double t = bench::NowMs();
        body->SetScrollOffset(0, pos);
        const double moved = bench::NowMs();
        Pump();
        frames.push_back(bench::NowMs() - t);
        moves.push_back(moved - t);
    }
    f.frameMs = bench::Median(frames);
    f.moveMs = bench::Median(moves);

    const double t = bench::NowMs();
    list->SelectAllRows();
    f.selectAllMs = bench::NowMs() - t;
    f.ok = list->GetSelectedCount() == kRows;
    return f;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const int runs = argc > 1 ? std::max(1, _wtoi(argv[1])) : kDefaultRuns;
    testsupport::UiLibraryScope library;
    const std::wstring markup = ListMarkup();
    std::vector<double> build, frame, move, selectAll;
    for (int r = 0; r < runs; ++r) {
        const RunFigures f = OneRun(markup);
        if (!f.ok) {
            std::fprintf(stderr, "run %d failed\n", r);
            return 1;
        }
        build.push_back(f.buildMs);
        frame.push_back(f.frameMs);
        move.push_back(f.moveMs);
        selectAll.push_back(f.selectAllMs);
    }
    const double frameMs = bench::Median(frame);
    std::printf("%6s %8s %5s %10s %16s %8s %8s %14s\n", "rows", "columns", "runs", "build ms", "scroll frame ms",
                "move ms", "fps", "select-all ms");
    std::printf("%6d %8d %5d %10.1f %16.2f %8.2f %8.1f %14.2f\n", kRows, kColumns, runs, bench::Median(build),
                frameMs, bench::Median(move), frameMs > 0 ? 1000.0 / frameMs : 0.0, bench::Median(selectAll));
    return 0;
}
