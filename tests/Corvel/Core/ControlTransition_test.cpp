// Control transitions: binding triggers to the window's animation
// definitions, show, hide and state transitions animating alpha, position and
// size frame by frame, interruptions taking over from the current value,
// finished callbacks, transforms driven by animated values, and one real
// window where the idle tick drives a hide to its end.
//
// Frames are driven by hand (one TickAll is one 16 ms frame), so every
// sampled value is exact. Most definitions are linear over 160 ms: after k
// frames a value has gone k tenths of its way; the timeline ends (and a hide
// hides) on the 11th frame.
#include "Corvel/Control/Box.h"
#include "Corvel/Core/Control.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Core/support/TestWindow.h"
#include "Corvel/Render/ControlTransform.h"
#include "Corvel/Render/Easing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace {

using testsupport::PixelImage;
using ui::AnimationProperty;
using ui::AnimationSpec;
using ui::Box;
using ui::Control;
using ui::RECTF;

constexpr int kFramesToEnd = 10; // 160 ms of 16 ms frames
constexpr float kTenth = 0.1f;

AnimationSpec Linear(std::vector<AnimationProperty> properties, float seconds = 0.16f, int repeat = 0)
{
    AnimationSpec spec;
    spec.duration = seconds;
    spec.easing = ui::kEaseLinear;
    spec.slope = L"in";
    spec.repeat = repeat;
    spec.properties = std::move(properties);
    return spec;
}

// The alpha of a value 0..1, truncated; single-precision steps may land a
// hair below an integer, so samples are compared within 1.
int AlphaAt(double value) { return static_cast<int>(value * 255.0); }

class TransitionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        core.SetAnimationSpec(L"in", Linear({{0.0f, 1.0f, L"alpha"}}));
        core.SetAnimationSpec(L"out", Linear({{1.0f, 0.0f, L"alpha"}}));
        core.SetAnimationSpec(L"glow", Linear({{0.5f, 1.0f, L"alpha"}}));
        core.SetAnimationSpec(L"dim", Linear({{1.0f, 0.5f, L"alpha"}}));
        root->AppendChild(control);
        root->AttachCore(&core, nullptr, true);
        root->SetBounds(0, 0, 400, 300);
        control->SetBounds(10, 10, 110, 60);
    }
    void TearDown() override { delete root; }

    void Frames(int count)
    {
        for (int i = 0; i < count; ++i)
            core.TimeLines().TickAll();
    }
    bool Playing(const wchar_t* trigger) const
    {
        ui::CTimeLineTween* t = control->GetTransitionTimeline(trigger);
        return t && t->IsRunning() && !t->IsStopped();
    }

    testsupport::UiLibraryScope lib;
    ui::WindowCore core;
    Box* root = new Box();
    Control* control = new Control();
};

TEST_F(TransitionTest, TriggersBindToTheWindowsDefinitions)
{
    struct Case {
        const wchar_t* text;
        std::set<std::wstring> bound;
    };
    const Case cases[] = {
        {L"show=in,hide=out", {L"show", L"hide"}},
        {L" show = in , hide= out ", {L"show", L"hide"}},
        {L"glow", {L"glow"}},
        {L"show=missing,hide=out", {L"hide"}},
        {L",,hot=glow,", {L"hot"}},
        {L"", {}},
    };
    const wchar_t* const triggers[] = {L"show", L"hide", L"glow", L"hot", L"missing", L"in", L"out"};
    for (const Case& c : cases) {
        Control fresh;
        fresh.AttachCore(&core, nullptr, false);
        fresh.SetTransition(c.text);
        EXPECT_STREQ(c.text, fresh.GetTransition().GetData());
        for (const wchar_t* t : triggers)
            EXPECT_EQ(c.bound.count(t) != 0, fresh.GetTransitionTimeline(t) != nullptr)
                << "\"" << testing::PrintToString(std::wstring(c.text)) << "\" trigger " << testing::PrintToString(t);
    }

    // Without a core nothing is bound; the text is still kept.
    Control detached;
    detached.SetTransition(L"show=in");
    EXPECT_EQ(nullptr, detached.GetTransitionTimeline(L"show"));
    EXPECT_STREQ(L"show=in", detached.GetTransition().GetData());
}

TEST_F(TransitionTest, DefinitionsBecomeTimelines)
{
    struct Case {
        int repeat;
        const wchar_t* slope;
        int repeatCount;
        bool reverse;
        short mode;
    };
    const Case cases[] = {
        {-1, L"in", -1, false, ui::kEaseModeIn},     {-2, L"out", -1, true, ui::kEaseModeOut},
        {-3, L"inout", 3, true, ui::kEaseModeInOut}, {2, L"sideways", 2, false, ui::kEaseModeIn},
        {0, L"", 0, false, ui::kEaseModeIn},
    };
    for (const Case& c : cases) {
        AnimationSpec spec = Linear({{0.0f, 1.0f, L"alpha"}, {5.0f, 5.0f, L"still"}, {2.0f, 8.0f, L"spin"}}, 0.25f,
                                    c.repeat);
        spec.easing = ui::kEaseCubic;
        spec.slope = c.slope;
        core.SetAnimationSpec(L"def", spec);
        Control fresh;
        fresh.AttachCore(&core, nullptr, false);
        fresh.ParseTransition(L"go=def");
        ui::CTimeLineTween* t = fresh.GetTransitionTimeline(L"go");
        ASSERT_NE(nullptr, t);
        const std::string what = "repeat " + std::to_string(c.repeat);
        EXPECT_EQ(c.repeatCount, t->GetRepeatCount()) << what;
        EXPECT_EQ(c.reverse, t->IsReverse()) << what;
        EXPECT_EQ(c.mode, t->GetMode()) << what;
        EXPECT_FLOAT_EQ(250.0f, t->GetDuration()) << what;
        EXPECT_EQ(ui::GetEasing(ui::kEaseCubic), t->GetEasing()) << what;

        // A property that does not change is not animated at all.
        EXPECT_EQ(2u, t->Values().size()) << what;
        float value = -1;
        EXPECT_FALSE(fresh.GetAnimatedValue(L"still", value)) << what;
        EXPECT_TRUE(fresh.GetAnimatedValue(L"spin", value)) << what;
        EXPECT_EQ(2.0f, value) << "an animated value starts at its from";
    }
}

TEST_F(TransitionTest, ShowAndHideAnimateAlphaAndHidingEndsWithTheTimeline)
{
    control->SetTransition(L"show=in,hide=out");

    control->SetVisible(false);
    EXPECT_TRUE(control->IsVisible()) << "a hide with a timeline keeps the control visible";
    EXPECT_TRUE(control->IsShowHideAnimating());
    EXPECT_EQ(255, control->GetAlpha()) << "starts at the hide's from";
    for (int k = 1; k <= kFramesToEnd; ++k) {
        Frames(1);
        EXPECT_NEAR(AlphaAt(1.0 - k * 0.1), control->GetAlpha(), 1) << "frame " << k;
        EXPECT_TRUE(control->IsVisible()) << "frame " << k;
    }
    Frames(1);
    EXPECT_EQ(0, control->GetAlpha()) << "exact end value";
    EXPECT_FALSE(control->IsVisible());
    EXPECT_FALSE(control->IsShowHideAnimating());
    EXPECT_EQ(0u, core.TimeLines().Count());

    control->SetVisible(true);
    EXPECT_TRUE(control->IsVisible()) << "showing is immediate";
    EXPECT_FALSE(control->IsShowHideAnimating());
    EXPECT_EQ(0, control->GetAlpha());
    Frames(5);
    EXPECT_EQ(127, control->GetAlpha()) << "half-way; 0.5 gives 127";
    Frames(6);
    EXPECT_EQ(255, control->GetAlpha());
    EXPECT_EQ(0u, core.TimeLines().Count());
}

// Scripts of show and hide requests between frames: each step does its
// action, then runs its frames, then checks alpha (0..1; -1: not checked),
// visibility and the show/hide-animating flag.
enum class Act { None, Show, Hide };
struct ScriptStep {
    Act act;
    int frames;
    double alpha;
    bool visible;
    bool animating;
};
struct Script {
    const char* what;
    const wchar_t* transition;
    bool startVisible;
    std::vector<ScriptStep> steps;
};

TEST_F(TransitionTest, AChangeOfMindTurnsTheRunningTimelineFromWhereItIs)
{
    const Script scripts[] = {
        {"hide turned back by show",
         L"show=in,hide=out",
         true,
         {{Act::Hide, 4, 0.6, true, true},
          {Act::Show, 0, 0.6, true, true},
          {Act::None, 1, 0.7, true, true},
          {Act::None, 3, 1.0, true, true},
          {Act::None, 1, 1.0, true, false}}},
        {"show turned back by hide",
         L"show=in,hide=out",
         false,
         {{Act::Show, 6, 0.6, true, false},
          {Act::Hide, 1, 0.5, true, true},
          {Act::None, 5, 0.0, true, true},
          {Act::None, 1, 0.0, false, false}}},
        {"hide, show, hide again",
         L"show=in,hide=out",
         true,
         {{Act::Hide, 4, 0.6, true, true},
          {Act::Show, 2, 0.8, true, true},
          {Act::Hide, 1, 0.7, true, true},
          {Act::None, 7, 0.0, true, true},
          {Act::None, 1, 0.0, false, false}}},
        {"show, hide, show again",
         L"show=in,hide=out",
         false,
         {{Act::Show, 5, 0.5, true, false},
          {Act::Hide, 2, 0.3, true, true},
          {Act::Show, 1, 0.4, true, false},
          {Act::None, 7, 1.0, true, false},
          {Act::None, 1, 1.0, true, false}}},
        {"show without a show timeline turns the hide back",
         L"hide=out",
         true,
         {{Act::Hide, 3, 0.7, true, true},
          {Act::Show, 3, 1.0, true, true},
          {Act::None, 2, 1.0, true, false}}},
        {"show without a show timeline after the hide ended restores",
         L"hide=out",
         true,
         {{Act::Hide, 11, 0.0, false, false}, {Act::Show, 0, 1.0, true, false}}},
        {"hide requested twice keeps its pace",
         L"show=in,hide=out",
         true,
         {{Act::Hide, 3, 0.7, true, true},
          {Act::Hide, 3, 0.4, true, true},
          {Act::None, 5, 0.0, false, false}}},
    };
    for (const Script& s : scripts) {
        Control* c = new Control();
        root->AppendChild(c);
        c->SetBounds(10, 100, 60, 150);
        c->SetTransition(s.transition);
        if (!s.startVisible) {
            c->SetVisible(false);
            Frames(kFramesToEnd + 1);
            ASSERT_FALSE(c->IsVisible()) << s.what;
        }
        int step = 0;
        for (const ScriptStep& st : s.steps) {
            ++step;
            if (st.act == Act::Show)
                c->SetVisible(true);
            else if (st.act == Act::Hide)
                c->SetVisible(false);
            Frames(st.frames);
            if (st.alpha >= 0) {
                EXPECT_NEAR(AlphaAt(st.alpha), c->GetAlpha(), 1) << s.what << ", step " << step;
            }
            EXPECT_EQ(st.visible, c->IsVisible()) << s.what << ", step " << step;
            EXPECT_EQ(st.animating, c->IsShowHideAnimating()) << s.what << ", step " << step;
        }
        delete c;
    }
}

TEST_F(TransitionTest, AStateTransitionTakesOverFromTheCurrentValue)
{
    control->SetTransition(L"hot=glow,normal=dim");

    control->SetHot(true);
    EXPECT_TRUE(Playing(L"hot"));
    EXPECT_EQ(127, control->GetAlpha());
    Frames(4);
    const int reached = control->GetAlpha();
    EXPECT_NEAR(AlphaAt(0.7), reached, 1);

    // Leaving "hot" enters "normal": its fade starts where "hot" stopped,
    // and "hot" stops writing the value.
    control->SetHot(false);
    EXPECT_FALSE(Playing(L"hot"));
    EXPECT_TRUE(Playing(L"normal"));
    EXPECT_EQ(reached, control->GetAlpha()) << "no jump to the fade's own start (1.0)";
    Frames(5);
    EXPECT_NEAR(AlphaAt(0.6), control->GetAlpha(), 1) << "half-way from 0.7 to 0.5";
    Frames(6);
    EXPECT_EQ(127, control->GetAlpha());
    EXPECT_EQ(0u, core.TimeLines().Count());

    // A later play starts from the definition again, not from the value
    // the takeover started from.
    control->SetHot(true);
    Frames(1);
    control->SetHot(false);
    Frames(kFramesToEnd + 1);
    EXPECT_TRUE(control->PlayTransition(L"normal"));
    EXPECT_EQ(255, control->GetAlpha()) << "dim starts at 1.0";
}

TEST_F(TransitionTest, FinishedCallbacksTellHowATransitionEnded)
{
    enum class Then { RunOut, Reverse, TakeOver, PlayAgainForward, TurnBackThenPlay };
    struct Case {
        const char* what;
        Then then;
        std::vector<bool> reports; // finished calls of the first play, in order
    };
    const Case cases[] = {
        {"runs to its end", Then::RunOut, {true}},
        {"turned back to its start", Then::Reverse, {false}},
        {"another takes its value over", Then::TakeOver, {false}},
        {"played again while playing forward", Then::PlayAgainForward, {true}},
        {"turned back, then played forward again", Then::TurnBackThenPlay, {true}},
    };
    for (const Case& c : cases) {
        control->SetTransition(L"rise=in,fall=out");
        std::vector<bool> reports;
        std::vector<bool> secondReports;
        ASSERT_TRUE(control->PlayTransition(L"rise", [&](bool end) { reports.push_back(end); })) << c.what;
        Frames(3);
        switch (c.then) {
        case Then::RunOut: break;
        case Then::Reverse: EXPECT_TRUE(control->ReverseTransition(L"rise")) << c.what; break;
        case Then::TakeOver:
            EXPECT_TRUE(control->PlayTransition(L"fall")) << c.what;
            EXPECT_EQ(c.reports, reports) << c.what << ": reported at once";
            break;
        case Then::PlayAgainForward:
            EXPECT_FALSE(control->PlayTransition(L"rise", [&](bool end) { secondReports.push_back(end); }))
                << c.what;
            break;
        case Then::TurnBackThenPlay:
            EXPECT_TRUE(control->ReverseTransition(L"rise"));
            Frames(1);
            EXPECT_FALSE(control->PlayTransition(L"rise", [&](bool end) { secondReports.push_back(end); }))
                << c.what;
            break;
        }
        Frames(2 * kFramesToEnd);
        EXPECT_EQ(c.reports, reports) << c.what;
        EXPECT_TRUE(secondReports.empty()) << c.what << ": a refused play keeps the first callback";
        EXPECT_EQ(0u, core.TimeLines().Count()) << c.what;
    }

    EXPECT_FALSE(control->PlayTransition(L"unbound"));
    EXPECT_FALSE(control->ReverseTransition(L"rise")) << "not playing";
}

TEST_F(TransitionTest, AHidingControlFinishesItsHideBeforeStateTransitionsOfTheSameValue)
{
    control->SetTransition(L"hide=out,hot=glow");
    control->SetVisible(false);
    Frames(2);
    control->SetHot(true);
    EXPECT_FALSE(Playing(L"hot"));
    Frames(kFramesToEnd);
    EXPECT_FALSE(control->IsVisible());
    EXPECT_EQ(0, control->GetAlpha());
}

TEST_F(TransitionTest, PositionAndSizeCountFromTheParentsContentOriginAtTheWindowScale)
{
    core.SetDpi(144); // scale 1.5
    root->SetContentInset(RECTF(4, 6, 0, 0)); // 6 and 9 pixels at 1.5
    root->SetBounds(10, 20, 410, 320);
    control->SetBounds(16, 29, 116, 79);
    core.SetAnimationSpec(
        L"slide", Linear({{0.0f, 100.0f, L"x"}, {10.0f, 30.0f, L"y"}, {40.0f, 80.0f, L"w"}, {20.0f, 60.0f, L"h"}}));
    control->SetTransition(L"enter=slide");

    ASSERT_TRUE(control->PlayTransition(L"enter"));
    EXPECT_TRUE(RECTF(16, 44, 76, 74) == control->GetBounds()) << "start values apply at once";
    Frames(5);
    RECTF mid = control->GetBounds();
    EXPECT_FLOAT_EQ(50 * 1.5f + 16, mid.left);
    EXPECT_FLOAT_EQ(20 * 1.5f + 29, mid.top);
    EXPECT_FLOAT_EQ(60 * 1.5f, mid.right - mid.left);
    EXPECT_FLOAT_EQ(40 * 1.5f, mid.bottom - mid.top);
    Frames(6);
    EXPECT_TRUE(RECTF(166, 74, 286, 164) == control->GetBounds());
    EXPECT_EQ(0u, core.TimeLines().Count());

    // A control that is not placed keeps its bounds.
    control->SetBounds(16, 29, 116, 79);
    control->ClearPlaced();
    ASSERT_TRUE(control->PlayTransition(L"enter"));
    Frames(kFramesToEnd + 1);
    EXPECT_TRUE(RECTF(16, 29, 116, 79) == control->GetBounds());
}

TEST_F(TransitionTest, AlphaIsTruncatedAndKeptInRange)
{
    struct Case {
        float value;
        int alpha;
    };
    // Values past 0 or 1 come from curves that overshoot.
    const Case cases[] = {{0.5f, 127}, {1.0f, 255}, {0.999f, 254}, {0.002f, 0}, {1.7f, 255}, {-0.4f, 0}};
    for (const Case& c : cases) {
        core.SetAnimationSpec(L"jump", Linear({{c.value + 1.0f, c.value, L"alpha"}}, 0.0f));
        control->ParseTransition(L"jump");
        ASSERT_TRUE(control->PlayTransition(L"jump"));
        Frames(1);
        EXPECT_EQ(c.alpha, control->GetAlpha()) << "value " << c.value;
    }
}

TEST_F(TransitionTest, InitPlaysWhenTheControlIsInitialised)
{
    // As the skin builder does: attached first, attributes next, initialised
    // last.
    Control late;
    late.AttachCore(&core, nullptr, false);
    late.SetTransition(L"init=in");
    EXPECT_FALSE(late.GetTransitionTimeline(L"init")->IsRunning());
    EXPECT_EQ(255, late.GetAlpha());
    late.Initialize();
    EXPECT_TRUE(late.IsInitialised());
    EXPECT_EQ(0, late.GetAlpha());
    Frames(5);
    EXPECT_EQ(127, late.GetAlpha());
    Frames(6);
    EXPECT_EQ(255, late.GetAlpha());
    EXPECT_EQ(0u, core.TimeLines().Count());
}

TEST_F(TransitionTest, AnimatedValuesDriveTheControlsTransform)
{
    auto spin = std::make_unique<ui::ControlTransform>();
    spin->SetName(L"spin");
    spin->SetMatrixCell(L"2_3", L"angle");
    ASSERT_TRUE(core.AddTransform(std::move(spin)));
    core.SetAnimationSpec(L"turn", Linear({{0.0f, 90.0f, L"angle"}}));

    control->SetBounds(0, 0, 100, 100);
    control->SetTransform(L"missing");
    EXPECT_EQ(nullptr, control->GetTransform());
    control->SetTransform(L"spin");
    ASSERT_NE(nullptr, control->GetTransform());
    control->SetTransition(L"turn");

    ASSERT_TRUE(control->PlayTransition(L"turn"));
    Frames(5);
    EXPECT_FLOAT_EQ(45.0f, control->GetTransform()->Params().rotation[2]);
    Frames(6);
    // A quarter turn about the control's centre (50, 50).
    ui::Matrix4x4 m = control->GetTransform()->GetMatrix();
    EXPECT_NEAR(1.0f, m._12, 1e-5f);
    EXPECT_NEAR(-1.0f, m._21, 1e-5f);
    EXPECT_NEAR(100.0f, m._41, 1e-3f);
    EXPECT_NEAR(0.0f, m._42, 1e-3f);

    // The layout moves the centre the matrix turns about.
    control->SetBounds(50, 20, 150, 120);
    m = control->GetTransform()->GetMatrix();
    EXPECT_NEAR(170.0f, m._41, 1e-3f);
    EXPECT_NEAR(-30.0f, m._42, 1e-3f);

    // The control's copy is its own.
    EXPECT_EQ(0.0f, core.FindTransform(L"spin")->Params().rotation[2]);
}

TEST(WindowCoreTransforms, NamedTransformsAreReplacedAndCleared)
{
    ui::WindowCore core;
    auto make = [](const wchar_t* name, float depth) {
        auto t = std::make_unique<ui::ControlTransform>();
        t->SetName(name);
        t->Params().perspective = depth;
        return t;
    };
    EXPECT_TRUE(core.AddTransform(make(L"tilt", 100)));
    EXPECT_TRUE(core.AddTransform(make(L"tilt", 300)));
    EXPECT_TRUE(core.AddTransform(make(L"flat", 0)));
    EXPECT_FALSE(core.AddTransform(make(L"", 5))) << "a nameless transform is refused";
    EXPECT_FALSE(core.AddTransform(nullptr));
    ASSERT_NE(nullptr, core.FindTransform(L"tilt"));
    EXPECT_EQ(300.0f, core.FindTransform(L"tilt")->Params().perspective);
    EXPECT_EQ(nullptr, core.FindTransform(L"Tilt"));
    EXPECT_EQ(nullptr, core.FindTransform(nullptr));
    core.ClearTransforms();
    EXPECT_EQ(nullptr, core.FindTransform(L"tilt"));
    EXPECT_EQ(nullptr, core.FindTransform(L"flat"));
}

TEST_F(TransitionTest, AControlDeletedWhileAnimatingLeavesTheRunningList)
{
    // Deleted from outside while playing (directly: a box defers the
    // deletion of children it removes).
    Control* doomed = new Control();
    root->AppendChild(doomed);
    doomed->SetTransition(L"show=in,hide=out,hot=glow");
    doomed->SetVisible(false);
    ASSERT_EQ(1u, core.TimeLines().Count());
    delete doomed;
    EXPECT_EQ(0u, core.TimeLines().Count());
    Frames(2);

    // Deleted by its own finished callback, inside the frame.
    Control* self = new Control();
    root->AppendChild(self);
    self->SetTransition(L"go=in");
    bool called = false;
    ASSERT_TRUE(self->PlayTransition(L"go", [&](bool) {
        called = true;
        delete self;
    }));
    Frames(kFramesToEnd + 2);
    EXPECT_TRUE(called);
    EXPECT_EQ(0u, core.TimeLines().Count());

    // Played again from its own finished callback: it keeps running.
    int plays = 0;
    std::function<void(bool)> again = [&](bool) {
        if (++plays < 3)
            control->PlayTransition(L"loop", again);
    };
    control->SetTransition(L"loop=in");
    ASSERT_TRUE(control->PlayTransition(L"loop", again));
    Frames(3 * (kFramesToEnd + 1));
    EXPECT_EQ(3, plays);
    EXPECT_EQ(255, control->GetAlpha());
}

// A real window: the idle tick drives a hide that slides and fades a red
// control out of a white box; when it ends, the window shows white where the
// control was.
TEST(TransitionWindow, TheIdleTickDrivesAHideToItsEnd)
{
    testsupport::UiLibraryScope lib;
    constexpr uint32_t kWhite = 0xFFFFFF, kRed = 0xE02020;
    Box* root = new Box();
    Control* panel = new Control();
    root->SetBkColor(0xFF000000u | kWhite);
    panel->SetBkColor(0xFF000000u | kRed);
    panel->SetPadding(20, 20, 20, 20);
    root->AppendChild(panel);
    testsupport::TestWindow win;
    win.root = root;
    win.core.SetAnimationSpec(L"away", Linear({{1.0f, 0.0f, L"alpha"}, {20.0f, 150.0f, L"x"}}));
    ASSERT_NE(nullptr, win.CreatePopup(200, 100));
    ShowWindow(win.GetHWND(), SW_SHOWNOACTIVATE);
    ASSERT_TRUE(testsupport::PumpUntil([&] {
        PixelImage px = testsupport::ReadCorePixels(win.core);
        return px.width == 200 && px.RgbAt(100, 50) == kRed;
    }));
    EXPECT_TRUE(RECTF(20, 20, 180, 80) == panel->GetBounds());

    std::vector<float> lefts;
    panel->SetBoundsHook([&] { lefts.push_back(panel->GetBounds().left); });
    panel->SetTransition(L"hide=away");
    panel->SetVisible(false);
    const bool hidden = testsupport::PumpUntil([&] { return !panel->IsVisible(); });
    // The positions outlive neither this test nor the window's teardown.
    panel->SetBoundsHook(nullptr);
    ASSERT_TRUE(hidden);

    // A new position every frame, moving right all the way to x = 150.
    ASSERT_FALSE(lefts.empty());
    EXPECT_EQ(20.0f, lefts.front());
    EXPECT_EQ(150.0f, lefts.back());
    EXPECT_TRUE(std::is_sorted(lefts.begin(), lefts.end()));
    EXPECT_EQ(static_cast<size_t>(kFramesToEnd + 1), std::set<float>(lefts.begin(), lefts.end()).size());
    EXPECT_EQ(0, panel->GetAlpha());

    ASSERT_TRUE(testsupport::PumpUntil([&] {
        PixelImage px = testsupport::ReadCorePixels(win.core);
        return px.RgbAt(100, 50) == kWhite && px.RgbAt(190, 50) == kWhite;
    })) << "the window shows the box where the panel was and where it slid to";
    // The window's core deletes the tree.
}

} // namespace
