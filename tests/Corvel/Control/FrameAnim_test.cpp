#include "Corvel/Control/FrameAnim.h"
#include "Corvel/Control/Box.h"
#include "Corvel/Control/support/SkinnedWindow.h"
#include "Corvel/Core/SkinArchive.h"
#include "Corvel/Core/WindowCore.h"
#include "support/ImageFiles.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using controltest::SkinnedWindow;
using controltest::NotifyRecorder;
using controltest::OpenSkinnedWindow;
using testsupport::PumpFor;
using testsupport::PumpUntil;
using ui::FrameAnim;

constexpr int kFrames = 10;
// GIF delays are in hundredths of a second: 3 gives 30 ms per frame.
constexpr int kGifDelayCs = 3;

// Frame i of the test animation is one colour: red, green, blue, red, ...
uint32_t FrameColour(int frame)
{
    static const uint32_t colours[] = {0xFF0000u, 0x00FF00u, 0x0000FFu};
    return colours[frame % 3];
}

class FrameAnimTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::vector<testsupport::GifFrameSpec> frames;
        for (int i = 0; i < kFrames; ++i)
            frames.push_back(testsupport::SolidGifFrame(0, 0, 8, 8, static_cast<uint8_t>(1 + i % 3), kGifDelayCs, 1));
        ASSERT_TRUE(testsupport::WriteFileBytes(
            m_dir.File(L"anim.gif"), testsupport::BuildGif(8, 8, {0, 0xFF0000, 0x00FF00, 0x0000FF}, 0, frames)));
        SetUiResourcePath((m_dir.Path() + L"\\").c_str());
    }
    void TearDown() override { SetUiResourcePath(L""); }

    // A 200 x 100 window with the given animations inside a white board.
    std::unique_ptr<SkinnedWindow> Open(const std::wstring& controls)
    {
        std::wstring skin = L"<Window size=\"200,100\"><Box bkcolor=\"#FFFFFFFF\">" + controls + L"</Box></Window>";
        auto win = OpenSkinnedWindow(skin.c_str(), 200, 100);
        win->Core().AddNotifyListener(&notes);
        return win;
    }
    ui::Box* Board(SkinnedWindow& win) { return dynamic_cast<ui::Box*>(win.Core().GetRoot()); }

    testsupport::UiLibraryScope lib;
    testsupport::ScratchDir m_dir{L"anim"};
    NotifyRecorder notes;
};

// What a sampling of the current frame saw: each change of frame, and how
// often the frame went back to an earlier one (a new cycle).
struct FrameTrace {
    std::vector<int> seen;
    int wraps = 0;
    int highest = -1;
};

FrameTrace TraceUntil(FrameAnim* anim, const std::function<bool(const FrameTrace&)>& done,
                      DWORD ms = testsupport::kConditionWaitMs)
{
    FrameTrace trace;
    trace.seen.push_back(anim->GetCurrentFrame());
    PumpUntil(
        [&] {
            const int frame = anim->GetCurrentFrame();
            if (frame != trace.seen.back()) {
                if (frame < trace.seen.back())
                    ++trace.wraps;
                trace.seen.push_back(frame);
            }
            trace.highest = std::max(trace.highest, frame);
            return done(trace);
        },
        ms);
    return trace;
}

TEST_F(FrameAnimTest, PlaysTheRequestedCyclesThenHidesAndRaisesGifend)
{
    struct Case {
        const char* what;
        const wchar_t* attributes;
        int cycles;  // 0: without end
        int delayMs;
    };
    const Case cases[] = {
        {"two cycles at the interval", L"playtime=\"2\" interval=\"50\"", 2, 50},
        {"playtime 0 plays one cycle of the image's delays", L"playtime=\"0\"", 1, 30},
        {"no playtime loops without end", L"interval=\"20\"", 0, 20},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        notes.records.clear();
        auto win = Open(std::wstring(L"<FrameAnim name=\"anim\" pos=\"10,10,40,40\" bkimage=\"anim.gif\" ") +
                        c.attributes + L"/>");
        auto* anim = win->Find<FrameAnim>(L"anim");
        ASSERT_NE(nullptr, anim);
        ASSERT_TRUE(PumpUntil([anim] { return anim->IsPlaying(); })) << "the first paint loads and plays";
        EXPECT_EQ(kFrames, anim->GetFrameCount());
        EXPECT_EQ(std::vector<int>(kFrames, c.delayMs), anim->GetFrameDelays());

        if (c.cycles > 0) {
            FrameTrace trace = TraceUntil(anim, [&](const FrameTrace&) { return !notes.OfType(L"gifend").empty(); });
            ASSERT_EQ(1u, notes.OfType(L"gifend").size());
            EXPECT_EQ(anim, notes.OfType(L"gifend")[0].sender);
            EXPECT_EQ(c.cycles - 1, trace.wraps);
            EXPECT_EQ(kFrames - 1, trace.highest);
            EXPECT_FALSE(anim->IsVisible()) << "it hides itself";
            EXPECT_FALSE(anim->IsPlaying());
            EXPECT_FALSE(anim->GetPlayFlag());
            PumpFor(150);
            EXPECT_EQ(1u, notes.OfType(L"gifend").size()) << "once";
        } else {
            FrameTrace trace = TraceUntil(anim, [](const FrameTrace& t) { return t.wraps >= 2; });
            EXPECT_GE(trace.wraps, 2) << "it goes on cycling";
            EXPECT_TRUE(notes.OfType(L"gifend").empty());
            EXPECT_TRUE(anim->IsVisible());
            EXPECT_TRUE(anim->IsPlaying());
        }
    }
}

TEST_F(FrameAnimTest, WithoutAutoplayTheFirstFrameStaysUntilPlay)
{
    auto win = Open(L"<FrameAnim name=\"anim\" pos=\"10,10,40,40\" bkimage=\"anim.gif\" autoplay=\"false\" "
                    L"playtime=\"1\" interval=\"20\"/>");
    auto* anim = win->Find<FrameAnim>(L"anim");
    ASSERT_NE(nullptr, anim);
    PumpFor(200);
    EXPECT_EQ(kFrames, anim->GetFrameCount());
    EXPECT_FALSE(anim->IsPlaying());
    EXPECT_EQ(0, anim->GetCurrentFrame());
    const testsupport::PixelImage pixels = testsupport::ReadCorePixels(win->Core());
    // The 8 x 8 frame at its own size in the control's top-left corner.
    EXPECT_EQ(FrameColour(0), testsupport::Rgb(pixels.At(13, 13))) << "frame 0 is drawn";
    EXPECT_EQ(0xFFFFFFu, testsupport::Rgb(pixels.At(80, 30))) << "and nowhere else";

    anim->Play(1);
    ASSERT_TRUE(PumpUntil([this] { return !notes.OfType(L"gifend").empty(); }));
    EXPECT_FALSE(anim->IsVisible());
    // Played out, it can be played again.
    anim->Play(1);
    EXPECT_TRUE(anim->IsPlaying()) << "Play shows and starts it again";
    ASSERT_TRUE(PumpUntil([this] { return notes.OfType(L"gifend").size() == 2; }));
}

TEST_F(FrameAnimTest, DeletedMidAnimationNoTickReachesItAfterwards)
{
    for (bool deferred : {false, true}) {
        SCOPED_TRACE(deferred ? "deferred" : "at once");
        notes.records.clear();
        auto win = Open(L"<FrameAnim name=\"anim\" pos=\"10,10,40,40\" bkimage=\"anim.gif\" interval=\"5\"/>");
        auto* anim = win->Find<FrameAnim>(L"anim");
        ASSERT_NE(nullptr, anim);
        ASSERT_TRUE(PumpUntil([anim] { return anim->GetCurrentFrame() > 2; }));

        ui::Box* board = Board(*win);
        board->SetDeferredDelete(deferred);
        ASSERT_TRUE(board->RemoveChild(anim));
        // Tasks posted before the delete are dropped by their guard; none
        // comes after it, so the queue runs dry and stays dry.
        EXPECT_TRUE(PumpUntil([&win] { return win->Core().PendingTaskCountForTesting() == 0; }));
        PumpFor(200);
        EXPECT_EQ(0u, win->Core().PendingTaskCountForTesting());
        EXPECT_TRUE(notes.OfType(L"gifend").empty());
        EXPECT_EQ(nullptr, win->FindControl(L"anim"));
    }
}

TEST_F(FrameAnimTest, TheImageLeavesTheCacheOnlyWithItsLastUser)
{
    const ui::CUiImage key(L"anim.gif");
    struct Case {
        const char* what;
        std::wstring controls;
        bool keptAfterFirst;
    };
    const Case cases[] = {
        {"another animation plays the same image",
         L"<FrameAnim name=\"anim\" pos=\"10,10,40,40\" bkimage=\"anim.gif\" interval=\"20\"/>"
         L"<FrameAnim name=\"other\" pos=\"60,10,40,40\" bkimage=\"anim.gif\" interval=\"20\"/>",
         true},
        {"a plain control shows the same image",
         L"<FrameAnim name=\"anim\" pos=\"10,10,40,40\" bkimage=\"anim.gif\" interval=\"20\"/>"
         L"<Control name=\"other\" pos=\"60,10,40,40\" bkimage=\"anim.gif\"/>",
         true},
        {"the only user", L"<FrameAnim name=\"anim\" pos=\"10,10,40,40\" bkimage=\"anim.gif\" interval=\"20\"/>",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto win = Open(c.controls);
        auto* anim = win->Find<FrameAnim>(L"anim");
        ASSERT_NE(nullptr, anim);
        ASSERT_TRUE(PumpUntil([anim] { return anim->GetCurrentFrame() > 0; }));
        ASSERT_NE(nullptr, win->Core().FindImageEntry(key));

        ASSERT_TRUE(Board(*win)->RemoveChild(anim));
        PumpFor(50);
        EXPECT_EQ(c.keptAfterFirst, win->Core().FindImageEntry(key) != nullptr);
        if (auto* other = win->Find<FrameAnim>(L"other")) {
            const int frame = other->GetCurrentFrame();
            EXPECT_TRUE(PumpUntil([other, frame] { return other->GetCurrentFrame() != frame; }))
                << "the other animation plays on";
            ASSERT_TRUE(Board(*win)->RemoveChild(other));
            PumpFor(50);
            EXPECT_EQ(nullptr, win->Core().FindImageEntry(key)) << "the last user takes it along";
        }
    }
}

TEST_F(FrameAnimTest, AnAnimationThatNeverLoadedLeavesTheEntryAlone)
{
    // Given its image before it had a core and never painted, it never took
    // frames from the cache; the entry there was loaded by someone else.
    auto win = Open(L"");
    auto* anim = new FrameAnim();
    anim->SetAttribute(L"bkimage", L"anim.gif");
    anim->SetVisible(false);
    ASSERT_TRUE(Board(*win)->AppendChild(anim));
    ui::CUiImage key(L"anim.gif");
    ASSERT_NE(nullptr, win->Core().GetImage(key));
    PumpFor(50);
    EXPECT_EQ(0, anim->GetFrameCount());
    ASSERT_TRUE(Board(*win)->RemoveChild(anim));
    PumpFor(50);
    EXPECT_NE(nullptr, win->Core().FindImageEntry(key));
}

TEST_F(FrameAnimTest, PlaysOnWhenItsImageEntryIsRemovedOrReloaded)
{
    auto win = Open(L"<FrameAnim name=\"anim\" pos=\"10,10,40,40\" bkimage=\"anim.gif\"/>");
    auto* anim = win->Find<FrameAnim>(L"anim");
    ASSERT_NE(nullptr, anim);
    ASSERT_TRUE(PumpUntil([anim] { return anim->IsPlaying(); }));
    const std::vector<int> delays = anim->GetFrameDelays();
    ASSERT_EQ(std::vector<int>(kFrames, kGifDelayCs * 10), delays);

    ui::CUiImage key(L"anim.gif");
    const std::vector<std::function<void()>> upsets = {
        [&] { EXPECT_TRUE(win->Core().RemoveImage(key)); },
        [&] { win->Core().ReloadImages(true); },
        [&] { EXPECT_TRUE(win->Core().RemoveImage(key)); },
    };
    for (const auto& upset : upsets) {
        upset();
        for (int seen = 0; seen < 2; ++seen) {
            const int frame = anim->GetCurrentFrame();
            ASSERT_TRUE(PumpUntil([anim, frame] { return anim->GetCurrentFrame() != frame; }));
        }
        EXPECT_EQ(delays, anim->GetFrameDelays()) << "its own copy of the delays";
        EXPECT_TRUE(anim->IsPlaying());
    }
}

} // namespace
