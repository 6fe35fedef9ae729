#include "Corvel/Control/Spinner.h"
#include "Corvel/Control/Box.h"
#include "Corvel/Control/support/SkinnedWindow.h"
#include "Corvel/Core/WindowCore.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

using controltest::SkinnedWindow;
using controltest::OpenSkinnedWindow;
using testsupport::PumpFor;
using testsupport::PumpUntil;
using ui::Spinner;

class SpinnerTest : public ::testing::Test {
protected:
    testsupport::UiLibraryScope lib;
};

// A 60 x 60 spinner with a green ring and a red arc of pen 6 on white.
const wchar_t kSpinnerSkin[] = LR"(<Window size="100,100">
  <Box bkcolor="#FFFFFFFF">
    <Spinner name="spin" pos="20,20,60,60" bkcolor="#FF00FF00" color="#FFFF0000" endcolor="#FFFF0000" pensize="6"/>
  </Box>
</Window>)";

TEST_F(SpinnerTest, AttributesReadPenSizeAndColours)
{
    struct Case {
        const wchar_t* name;
        const wchar_t* value;
        uint32_t start, end;
        float pen;
    };
    const Case cases[] = {
        {L"color", L"#80112233", 0x80112233u, 0, 5},
        {L"color", L"  #FF00AA00", 0xFF00AA00u, 0, 5},
        {L"endcolor", L"FF0000FF", 0, 0xFF0000FFu, 5},
        {L"pensize", L"9", 0, 0, 9},
        {L"PenSize", L"9", 0, 0, 5},  // names are exact
    };
    for (const Case& c : cases) {
        Spinner spinner;
        spinner.SetAttribute(c.name, c.value);
        EXPECT_EQ(c.start, spinner.GetStartColor()) << c.name << "=" << c.value;
        EXPECT_EQ(c.end, spinner.GetEndColor()) << c.name << "=" << c.value;
        EXPECT_EQ(c.pen, spinner.GetPenSize()) << c.name << "=" << c.value;
    }
    // "random" and "r" give opaque colours; two dozen draws are not all equal.
    Spinner spinner;
    bool differed = false;
    uint32_t first = 0;
    for (int i = 0; i < 24; ++i) {
        spinner.SetAttribute(L"endcolor", i % 2 ? L"random" : L"r");
        EXPECT_EQ(0xFFu, spinner.GetEndColor() >> 24);
        if (i == 0)
            first = spinner.GetEndColor();
        else if (spinner.GetEndColor() != first)
            differed = true;
    }
    EXPECT_TRUE(differed);
}

TEST_F(SpinnerTest, TurnsOnTheIdleTickAndDrawsTheRingAndTheArc)
{
    auto win = OpenSkinnedWindow(kSpinnerSkin, 100, 100);
    auto* spin = win->Find<Spinner>(L"spin");
    ASSERT_NE(nullptr, spin);
    ASSERT_TRUE(spin->IsAnimating());
    ASSERT_TRUE(PumpUntil([spin] { return spin->GetAngle() > 3.0f && spin->GetArc() > spin->GetStartArc() + 20.0f; }));
    const float angle = spin->GetAngle();
    ASSERT_TRUE(PumpUntil([spin, angle] { return spin->GetAngle() > angle; })) << "the angle keeps turning";
    ASSERT_TRUE(PumpUntil([win = win.get()] { return controltest::IsLaidOutAndPainted(*win); }));

    const testsupport::PixelImage pixels = testsupport::ReadCorePixels(win->Core());
    using testsupport::B;
    using testsupport::G;
    using testsupport::R;
    const testsupport::Ink ring = testsupport::FindInk(
        pixels, [](uint32_t p) { return G(p) > 200 && R(p) < 60 && B(p) < 60; }, 20, 80, 20, 80);
    const testsupport::Ink arc = testsupport::FindInk(
        pixels, [](uint32_t p) { return R(p) > 200 && G(p) < 60 && B(p) < 60; }, 20, 80, 20, 80);
    EXPECT_GT(ring.pixels, 50) << ring.Describe();
    EXPECT_GT(arc.pixels, 10) << arc.Describe();
    // Nothing is filled: the centre keeps the board's white.
    EXPECT_EQ(0xFFFFFFu, testsupport::Rgb(pixels.At(50, 50)));
}

TEST_F(SpinnerTest, HidingSuspendsAndShowingRestartsFromTheStart)
{
    auto win = OpenSkinnedWindow(kSpinnerSkin, 100, 100);
    auto* spin = win->Find<Spinner>(L"spin");
    ASSERT_NE(nullptr, spin);
    ASSERT_TRUE(PumpUntil([spin] { return spin->GetAngle() > 12.0f; }));

    spin->SetVisible(false);
    PumpFor(50);
    const float angle = spin->GetAngle(), arc = spin->GetArc(), startArc = spin->GetStartArc();
    PumpFor(300);
    EXPECT_EQ(angle, spin->GetAngle()) << "a hidden spinner does not turn";
    EXPECT_EQ(arc, spin->GetArc());
    EXPECT_EQ(startArc, spin->GetStartArc());

    spin->SetVisible(true);
    ASSERT_TRUE(PumpUntil([spin, angle] { return spin->GetAngle() != angle; }));
    EXPECT_LT(spin->GetAngle(), angle) << "the turn starts again from 0";
    EXPECT_LT(spin->GetAngle(), 6.0f);
}

TEST_F(SpinnerTest, DeletedMidAnimationItsTimelinesLeaveTheCore)
{
    // Deleted at once and through the core's delayed-delete list.
    for (bool deferred : {false, true}) {
        SCOPED_TRACE(deferred ? "deferred" : "at once");
        auto win = OpenSkinnedWindow(kSpinnerSkin, 100, 100);
        auto* spin = win->Find<Spinner>(L"spin");
        ASSERT_NE(nullptr, spin);
        const size_t running = win->Core().TimeLines().Count();
        ASSERT_GE(running, 3u);
        ASSERT_TRUE(PumpUntil([spin] { return spin->GetAngle() > 3.0f; }));

        auto* board = dynamic_cast<ui::Box*>(win->Core().GetRoot());
        ASSERT_NE(nullptr, board);
        board->SetDeferredDelete(deferred);
        ASSERT_TRUE(board->RemoveChild(spin));
        EXPECT_TRUE(PumpUntil([&win, running] { return win->Core().TimeLines().Count() == running - 3; }));
        PumpFor(200);  // frames after the delete run no step of the spinner
        EXPECT_EQ(running - 3, win->Core().TimeLines().Count());
        EXPECT_EQ(nullptr, win->FindControl(L"spin"));
    }
}

} // namespace
