// Frame benchmark: a window of 500 text controls, each with a background,
// a rounded border and its own text, drawn by their attributes and then by
// a style, repainted whole and one control at a time, at 96 and 192 DPI. Prints the median frame time of each and their
// ratio (the one-control frame is meant to cost under a tenth of the whole).
// Run by bench/text-bench.sh under wine64 and Xvfb.
//   TextFrameBench.exe [frames]    (default 30)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>
#include <vector>

#include "BenchClock.h"
#include "Corvel/Control/Box.h"
#include "Corvel/Core/Control.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Core/support/TestWindow.h"
#include "Corvel/Render/StyleDefinitions.h"

namespace {

constexpr int kColumns = 20;
constexpr int kRows = 25;
constexpr int kCellWidth = 48;  // units
constexpr int kCellHeight = 24; // units
constexpr int kDpis[] = {96, 192};
constexpr int kDefaultFrames = 30;

// The grid of labels; each is set up through its markup attributes.
ui::Box* BuildGrid(std::vector<ui::Control*>& labels)
{
    auto* root = new ui::Box();
    root->SetAttribute(L"bkcolor", L"#FFF4F6F8");
    for (int row = 0; row < kRows; ++row) {
        for (int column = 0; column < kColumns; ++column) {
            auto* label = new ui::Control();
            const int i = row * kColumns + column;
            wchar_t attributes[400];
            swprintf(attributes, 400,
                     L"pos=\"%d,%d,%d,%d\" text=\"Item %d\" textcolor=\"#FF203040\" bkcolor=\"#FF%02X%02XF0\" "
                     L"bordersize=\"1\" bordercolor=\"#FF8090A0\" borderround=\"6,6\" align=\"hcenter vcenter\"",
                     column * kCellWidth, row * kCellHeight, kCellWidth - 2, kCellHeight - 2, i, 0xC0 + (i * 7) % 48,
                     0xD0 + (i * 3) % 32);
            label->ApplyAttributeText(attributes);
            root->AppendChild(label);
            labels.push_back(label);
        }
    }
    return root;
}

// The style the labels take in the second pass: a rounded fill, an outline
// and the text, for the normal and the hot state.
void AddCellStyle(ui::WindowCore& core)
{
    auto group = std::make_unique<ui::StyleGroup>();
    for (const wchar_t* state : {L"normal", L"hot"}) {
        auto entry = std::make_unique<ui::StyleEntry>(state);
        auto fill = std::make_unique<ui::StyleElement>(nullptr, L"Shape");
        fill->SetAttribute(L"fill", L"true");
        fill->SetAttribute(L"color", wcscmp(state, L"hot") == 0 ? L"0xFFB0D0F0" : L"0xFFE0E8F0");
        fill->SetAttribute(L"round", L"6");
        entry->AddElement(std::move(fill));
        auto outline = std::make_unique<ui::StyleElement>(nullptr, L"Shape");
        outline->SetAttribute(L"color", L"0xFF8090A0");
        outline->SetAttribute(L"round", L"6");
        entry->AddElement(std::move(outline));
        auto text = std::make_unique<ui::StyleElement>(nullptr, L"Text");
        text->SetAttribute(L"color", L"#FF203040");
        entry->AddElement(std::move(text));
        group->Add(state, std::move(entry));
    }
    core.AddStyleGroup(L"Cell", std::move(group));
}

// Marks `dirty` and times the idle tick that paints it.
double TimeFrame(testsupport::TestWindow& window, ui::Control* dirty)
{
    dirty->Repaint();
    const double start = bench::NowMs();
    ui::WindowCore::IdleTick();
    const double elapsed = bench::NowMs() - start;
    if (!window.core.GetDirtyRectsForTesting().empty())
        std::fprintf(stderr, "a frame left dirty rectangles\n");
    return elapsed;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    const int frames = argc > 1 ? std::max(1, _wtoi(argv[1])) : kDefaultFrames;
    testsupport::UiLibraryScope library;
    std::printf("%-10s %5s %9s %16s %20s %8s\n", "drawn by", "dpi", "controls", "full frame ms", "one-control ms",
                "ratio");
    for (bool styled : {false, true}) {
        for (int dpi : kDpis) {
            std::vector<ui::Control*> labels;
            testsupport::TestWindow window(dpi);
            window.root = BuildGrid(labels);
            const float s = dpi / 96.0f;
            if (!window.CreatePopup(static_cast<int>(kColumns * kCellWidth * s),
                                    static_cast<int>(kRows * kCellHeight * s))) {
                std::fprintf(stderr, "no window at %d dpi\n", dpi);
                return 1;
            }
            if (styled) {
                AddCellStyle(window.core);
                for (ui::Control* label : labels)
                    label->SetAttribute(L"styles", L"Cell");
            }
            if (!testsupport::ShowAndPaint(window)) {
                std::fprintf(stderr, "not painted at %d dpi\n", dpi);
                return 1;
            }
            std::vector<double> full, one;
            for (int i = 0; i < frames; ++i) {
                full.push_back(TimeFrame(window, window.root));
                ui::Control* label = labels[static_cast<size_t>(i * 37) % labels.size()];
                label->SetText((L"Changed " + std::to_wstring(i)).c_str());
                testsupport::PumpMessages();
                one.push_back(TimeFrame(window, label));
            }
            const double fullMs = bench::Median(full), oneMs = bench::Median(one);
            std::printf("%-10s %5d %9zu %16.2f %20.3f %8.3f\n", styled ? "style" : "attributes", dpi, labels.size(),
                        fullMs, oneMs, fullMs > 0 ? oneMs / fullMs : 0.0);
        }
    }
    return 0;
}
