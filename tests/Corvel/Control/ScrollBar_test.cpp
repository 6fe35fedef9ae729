#include "Corvel/Control/ScrollBar.h"
#include "Corvel/Control/Box.h"
#include "Corvel/Core/DialogBuilder.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Control/support/ScrollTestSupport.h"
#include "Corvel/Core/SkinArchive.h"
#include "Corvel/Core/support/TestWindow.h"
#include "support/ImageFiles.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

using testsupport::PumpUntil;
using ui::Box;
using ui::Control;
using ui::RECTF;
using ui::ScrollBar;

class ScrollBarTest : public ::testing::Test {
protected:
    testsupport::UiLibraryScope lib;
};

bool SameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Show(const RECT& r)
{
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + ")";
}

// Records the notifications a core raises.
struct NotifyLog : ui::INotifyUI {
    void ReceiveNotify(ui::tagTNotifyUI& msg) override
    {
        types.push_back(msg.type.GetData());
        senders.push_back(msg.sender);
    }
    int Count(const wchar_t* type) const
    {
        int n = 0;
        for (const auto& t : types)
            n += t == type;
        return n;
    }
    std::vector<std::wstring> types;
    std::vector<Control*> senders;
};

struct LayoutCase {
    const char* what;
    int dpi;
    bool horizontal;
    int length;
    int range;
    float position;
    bool buttons;
    RECT button1, button2, thumb;
};

TEST_F(ScrollBarTest, PartsAreLaidOutAlongTheBar)
{
    // A bar at (10, 20); vertical bars run down, horizontal ones right.
    const LayoutCase cases[] = {
        {"range 0: the thumb fills the track", 96, false, 200, 0, 0, true,
         {10, 20, 26, 36}, {10, 204, 26, 220}, {10, 36, 26, 204}},
        {"at the start: the thumb shows the visible share", 96, false, 200, 100, 0, true,
         {10, 20, 26, 36}, {10, 204, 26, 220}, {10, 36, 26, 36 + 168 * 200 / 300}},
        {"at the end the thumb meets the second button", 96, false, 200, 100, 100, true,
         {10, 20, 26, 36}, {10, 204, 26, 220}, {10, 204 - 112, 26, 204}},
        {"halfway", 96, false, 200, 100, 50, true,
         {10, 20, 26, 36}, {10, 204, 26, 220}, {10, 36 + 28, 26, 36 + 28 + 112}},
        {"a long range keeps the thumb as long as the bar is thick", 96, false, 200, 100000, 0, true,
         {10, 20, 26, 36}, {10, 204, 26, 220}, {10, 36, 26, 52}},
        {"no buttons", 96, false, 200, 200, 0, false,
         {10, 20, 10, 20}, {10, 220, 10, 220}, {10, 20, 26, 120}},
        {"shorter than three thicknesses: no thumb, buttons share", 96, false, 40, 100, 0, true,
         {10, 20, 26, 36}, {10, 44, 26, 60}, {0, 0, 0, 0}},
        {"very short: each button takes half", 96, false, 20, 100, 0, true,
         {10, 20, 26, 30}, {10, 30, 26, 40}, {0, 0, 0, 0}},
        {"horizontal", 96, true, 200, 100, 100, true,
         {10, 20, 26, 36}, {194, 20, 210, 36}, {194 - 112, 20, 194, 36}},
        {"thickness scaled at 144 DPI", 144, false, 200, 100, 0, true,
         {10, 20, 34, 44}, {10, 196, 34, 220}, {10, 44, 34, 44 + 152 * 200 / 300}},
        {"horizontal at 144 DPI", 144, true, 200, 0, 0, true,
         {10, 20, 34, 44}, {186, 20, 210, 44}, {34, 20, 186, 44}},
    };
    for (const LayoutCase& c : cases) {
        SCOPED_TRACE(c.what);
        ui::WindowCore core;
        core.SetDpi(c.dpi);
        ScrollBar bar;
        bar.AttachCore(&core, nullptr, false);
        bar.SetHorizontal(c.horizontal);
        if (!c.buttons) {
            bar.SetAttribute(L"showbutton1", L"false");
            bar.SetAttribute(L"showbutton2", L"false");
        }
        bar.SetRange(c.range);
        bar.SetScrollOffset(c.position, false);
        if (c.horizontal)
            bar.SetBounds(10.0f, 20.0f, 10.0f + c.length, 20.0f + 16 * core.GetScale());
        else
            bar.SetBounds(10.0f, 20.0f, 10.0f + 16 * core.GetScale(), 20.0f + c.length);
        EXPECT_TRUE(SameRect(c.button1, bar.GetButton1Rect())) << Show(bar.GetButton1Rect());
        EXPECT_TRUE(SameRect(c.button2, bar.GetButton2Rect())) << Show(bar.GetButton2Rect());
        EXPECT_TRUE(SameRect(c.thumb, bar.GetThumbRect())) << Show(bar.GetThumbRect());
        bar.AttachCore(nullptr, nullptr, false);
    }
}

TEST_F(ScrollBarTest, ElasticPositionsStopAtTheFlexRangeAndLeaveNoOvershootInside)
{
    struct Step {
        const char* what;
        float position;
        bool elastic;
        float stored;
        int overshoot;
    };
    const Step steps[] = {
        {"beyond the start by more than the flex range", -30, true, -20, -20},
        {"back inside: no overshoot is left", 10, true, 10, 0},
        {"beyond the end within the flex range", 112, true, 112, 12},
        {"beyond the end by more", 150, true, 120, 20},
        {"not elastic: clamped, no overshoot", 150, false, 100, 0},
        {"not elastic below 0", -8, false, 0, 0},
        {"elastic beyond the start, then a plain set inside", -5, true, -5, -5},
        {"a plain set inside clears it", 40, false, 40, 0},
    };
    ui::WindowCore core;
    ScrollBar bar;
    bar.AttachCore(&core, nullptr, false);
    bar.SetFlexRange(20);
    bar.SetRange(100);
    bar.SetBounds(0, 0, 16, 200);
    const RECT fullThumb = bar.GetThumbRect();
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        bar.SetScrollOffset(s.position, s.elastic);
        EXPECT_EQ(s.stored, bar.GetScrollPos());
        EXPECT_EQ(s.overshoot, bar.GetOvershoot());
        const RECT t = bar.GetThumbRect();
        const int length = t.bottom - t.top;
        const int fullLength = fullThumb.bottom - fullThumb.top;
        if (s.overshoot == 0) {
            EXPECT_EQ(fullLength, length);
        } else {
            // Shorter by the overshoot's share, kept at its end of the track.
            EXPECT_EQ((168 - std::abs(s.overshoot)) * 200 / 300, length);
            if (s.overshoot < 0)
                EXPECT_EQ(16, t.top);
            else
                EXPECT_EQ(184, t.bottom);
        }
    }
    // The flex range is scaled: 20 at 150 per cent reaches 30.
    core.SetDpi(144);
    bar.SetScrollOffset(-100, true);
    EXPECT_EQ(-30.0f, bar.GetScrollPos());
    EXPECT_EQ(-30, bar.GetOvershoot());
    bar.AttachCore(nullptr, nullptr, false);
}

TEST_F(ScrollBarTest, ARangeChangeIsAnnouncedOnceAndPullsThePositionBack)
{
    testsupport::TestWindow win;
    ASSERT_NE(nullptr, win.CreatePopup(100, 100));
    NotifyLog log;
    win.core.AddNotifyListener(&log);
    Box* root = new Box();
    win.core.SetRootControl(root);
    Box* owner = new Box();
    root->AppendChild(owner);
    owner->EnableScrollBars(true, false);
    ScrollBar* bar = owner->GetVScrollBar();
    ASSERT_NE(nullptr, bar);

    EXPECT_FALSE(bar->SetRange(100));
    EXPECT_FALSE(bar->SetRange(100));
    EXPECT_EQ(1, log.Count(L"ScrollBarInit")) << "the same range twice is announced once";
    EXPECT_EQ(static_cast<Control*>(root), log.senders.back()) << "sent for the owner's parent";
    bar->SetScrollOffset(80, false);
    EXPECT_TRUE(bar->SetRange(50)) << "the position lay beyond the new range";
    EXPECT_EQ(50.0f, bar->GetScrollPos());
    EXPECT_TRUE(bar->SetRange(0));
    EXPECT_EQ(0.0f, bar->GetScrollPos());
    EXPECT_EQ(2, log.Count(L"ScrollBarInit")) << "a range of 0 is not announced";
    EXPECT_FALSE(bar->SetRange(-5));
    EXPECT_EQ(0, bar->GetRange()) << "negative as 0";

    // A bar from the markup has no owner: it is the sender itself, also when
    // its "range" attribute sets the range while it is built.
    ui::DialogBuilder builder;
    builder.Build(L"<Window><ScrollBar name=\"free\" range=\"40\" value=\"30\"/></Window>", nullptr, &win.core, root);
    ASSERT_EQ(2, root->ChildCount());
    Control* free = root->ChildAt(1);
    ScrollBar* freeBar = static_cast<ScrollBar*>(free->CastTo(L"ScrollBar"));
    ASSERT_NE(nullptr, freeBar);
    EXPECT_EQ(nullptr, freeBar->GetOwner());
    EXPECT_EQ(40, freeBar->GetRange());
    EXPECT_EQ(30.0f, freeBar->GetScrollPos());
    EXPECT_EQ(3, log.Count(L"ScrollBarInit"));
    EXPECT_EQ(free, log.senders.back());
    win.core.RemoveNotifyListener(&log);
}

TEST_F(ScrollBarTest, AttributesAndIdentity)
{
    ui::WindowCore core;
    ScrollBar bar;
    bar.AttachCore(&core, nullptr, false);
    EXPECT_STREQ(L"ScrollBar", bar.GetClassName());
    EXPECT_EQ(&bar, bar.CastTo(L"ScrollBar"));
    EXPECT_EQ(&bar, bar.CastTo(L"Control"));
    EXPECT_EQ(nullptr, bar.CastTo(L"Box"));
    EXPECT_EQ(16.0f, bar.GetFixedWidth()) << "a vertical bar as wide as it is thick";

    bar.SetAttribute(L"w", L"10");
    EXPECT_EQ(10.0f, bar.GetFixedWidth());
    bar.SetAttribute(L"hor", L"true");
    EXPECT_TRUE(bar.IsHorizontal());
    EXPECT_EQ(10.0f, bar.GetFixedHeight()) << "the thickness goes across";
    EXPECT_EQ(0.0f, bar.GetFixedWidth());
    bar.SetAttribute(L"hor", L"false");
    EXPECT_EQ(10.0f, bar.GetFixedWidth()) << "and back";
    bar.SetAttribute(L"hor", L"TRUE");
    EXPECT_FALSE(bar.IsHorizontal()) << "only exactly \"true\"";

    bar.SetAttribute(L"linesize", L"12");
    EXPECT_EQ(12, bar.GetLineSize());
    bar.SetAttribute(L"range", L"90");
    bar.SetAttribute(L"value", L"120");
    EXPECT_EQ(90.0f, bar.GetScrollPos()) << "a value beyond the range is stored as the range";
    bar.SetAttribute(L"active", L"false");
    EXPECT_FALSE(bar.IsActive());
    EXPECT_NE(0, bar.GetState() & ui::kStateInactive);
    bar.SetAttribute(L"active", L"true");
    EXPECT_TRUE(bar.IsActive());

    // The thumb as the style painters read it: narrowed by the shrink.
    bar.SetAttribute(L"shrink", L"3");
    bar.SetBounds(0, 0, 10, 200);
    ui::PropertyValue v;
    bar.GetPropertyValue(v, L"thumbPos");
    ASSERT_TRUE(v.found);
    const RECT t = bar.GetThumbRect();
    EXPECT_EQ(static_cast<float>(t.left + 3), v.rect.left);
    EXPECT_EQ(static_cast<float>(t.right - 3), v.rect.right);
    EXPECT_EQ(static_cast<float>(t.top), v.rect.top);
    bar.GetPropertyValue(v, L"other");
    EXPECT_FALSE(v.found);
    bar.SetAttribute(L"somethingelse", L"kept");
    EXPECT_STREQ(L"kept", bar.GetExtraAttribute(L"somethingelse").GetData());

    bar.SetEnabled(false);
    EXPECT_EQ(0, bar.GetThumbState());
    bar.AttachCore(nullptr, nullptr, false);
}

TEST_F(ScrollBarTest, HoverAnimatesTheShrinkAndAFreeBarScrollsItself)
{
    testsupport::TestWindow win;
    Box* root = new Box();
    win.root = root;
    ASSERT_NE(nullptr, win.CreatePopup(120, 240));
    ui::DialogBuilder builder;
    builder.Build(L"<Window><ScrollBar name=\"free\" range=\"100\" linesize=\"10\" shrink=\"4\"/></Window>", nullptr,
                  &win.core, root);
    ASSERT_EQ(1, root->ChildCount());
    ScrollBar* bar = static_cast<ScrollBar*>(root->ChildAt(0)->CastTo(L"ScrollBar"));
    ASSERT_NE(nullptr, bar);
    ASSERT_TRUE(testsupport::ShowAndPaint(win));
    EXPECT_EQ(4.0f, bar->GetShrink());

    bar->SetHot(true);
    EXPECT_TRUE(PumpUntil([&] { return bar->GetShrink() == 0.0f && win.core.TimeLines().IsEmpty(); }));
    bar->SetHot(false);
    bar->SetHot(true); // turned around halfway: it goes back to 0
    EXPECT_TRUE(PumpUntil([&] { return win.core.TimeLines().IsEmpty(); }));
    EXPECT_EQ(0.0f, bar->GetShrink());
    bar->SetHot(false);
    EXPECT_TRUE(PumpUntil([&] { return bar->GetShrink() == 4.0f && win.core.TimeLines().IsEmpty(); }));

    // Without an owner the buttons and the track move the bar's own position.
    struct Press {
        const char* what;
        POINT at;
        float expected;
    };
    const RECT b2 = bar->GetButton2Rect();
    const Press presses[] = {
        {"second button: one line", scrolltest::Centre(b2), 10},
        {"first button: back", scrolltest::Centre(bar->GetButton1Rect()), 0},
        {"track after the thumb: a bar's length, clamped", POINT{5, b2.top - 2}, 100},
    };
    NotifyLog log;
    win.core.AddNotifyListener(&log);
    for (const Press& p : presses) {
        SCOPED_TRACE(p.what);
        scrolltest::Click(win.GetHWND(), p.at);
        EXPECT_TRUE(PumpUntil([&] { return bar->GetScrollPos() == p.expected && win.core.TimeLines().IsEmpty(); }))
            << bar->GetScrollPos();
    }
    EXPECT_EQ(3, log.Count(L"scrollactive"));
    win.core.RemoveNotifyListener(&log);
}

// Solid-colour images in a folder of their own, read as the UI resource
// folder while the fixture lives. An image without "dest" is drawn at its
// own size from its part's top-left corner: the track image spans the
// whole bar, the others are one thickness square.
class PartImages {
public:
    PartImages() : m_dir(L"bar")
    {
        for (const auto& f : kFiles)
            m_ok = m_ok && testsupport::WriteFileBytes(
                               m_dir.File(f.name), testsupport::EncodeWithWic(testsupport::ArgbImage(f.width, f.height, f.argb),
                                                                             GUID_ContainerFormatPng));
        SetUiResourcePath((m_dir.Path() + L"\\").c_str());
    }
    ~PartImages() { SetUiResourcePath(L""); }
    bool ok() const { return m_ok; }

    static constexpr uint32_t kTrack = 0xFF808080u, kButton = 0xFF00A000u, kThumb = 0xFF0000E0u,
                              kHotThumb = 0xFFE00000u, kGrip = 0xFFE0E000u;

private:
    struct File {
        const wchar_t* name;
        uint32_t argb;
        int width, height;
    };
    static constexpr File kFiles[] = {{L"track.png", kTrack, 20, 200},
                                      {L"button.png", kButton, 20, 20},
                                      {L"thumb.png", kThumb, 20, 20},
                                      {L"hot.png", kHotThumb, 20, 20},
                                      {L"grip.png", kGrip, 20, 20}};
    testsupport::ScratchDir m_dir;
    bool m_ok = true;
};

TEST_F(ScrollBarTest, PartsAreDrawnWithTheImagesOfTheirStates)
{
    PartImages images;
    ASSERT_TRUE(images.ok());
    scrolltest::ScrollWindow w(96, 120, 200,
                               {{L"vscrollbarstyle",
                                 L"bknormalimage=\"track.png\" button1normalimage=\"button.png\" "
                                 L"button2normalimage=\"button.png\" thumbnormalimage=\"thumb.png\" "
                                 L"thumbhotimage=\"hot.png\" railnormalimage=\"grip.png\" w=\"20\""}},
                               20, 30);
    ASSERT_TRUE(w.ok);
    ScrollBar* bar = w.box->GetVScrollBar();
    ASSERT_NE(nullptr, bar);
    auto colourAt = [&](POINT p) { return testsupport::ReadCorePixels(w.win.core).RgbAt(p.x, p.y); };
    auto rgb = [](uint32_t argb) { return argb & 0xFFFFFFu; };
    const RECT t = bar->GetThumbRect();
    const POINT thumbTop{(t.left + t.right) / 2, t.top + 3};
    EXPECT_EQ(rgb(PartImages::kButton), colourAt(scrolltest::Centre(bar->GetButton1Rect())));
    EXPECT_EQ(rgb(PartImages::kButton), colourAt(scrolltest::Centre(bar->GetButton2Rect())));
    EXPECT_EQ(rgb(PartImages::kThumb), colourAt(thumbTop));
    EXPECT_EQ(rgb(PartImages::kGrip), colourAt(scrolltest::Centre(t))) << "the grip sits on the thumb's centre";
    EXPECT_EQ(rgb(PartImages::kTrack), colourAt(POINT{(t.left + t.right) / 2, t.bottom + 5}));

    // Hot thumb: its own image; the pointer on it makes it so.
    scrolltest::SendMouse(w.hwnd(), WM_MOUSEMOVE, thumbTop);
    ASSERT_NE(0, bar->GetThumbState() & ui::kPartHot);
    ASSERT_TRUE(PumpUntil([&] { return testsupport::IsPainted(w.win); }));
    EXPECT_EQ(rgb(PartImages::kHotThumb), colourAt(thumbTop));

    // Scrolled to the end the thumb is drawn at the end of the track.
    scrolltest::SendMouse(w.hwnd(), WM_MOUSEMOVE, POINT{10, 10});
    w.box->SetScrollOffset(0, 1e6f);
    ASSERT_TRUE(PumpUntil([&] { return testsupport::IsPainted(w.win); }));
    const RECT end = bar->GetThumbRect();
    EXPECT_EQ(bar->GetButton2Rect().top, end.bottom);
    EXPECT_EQ(rgb(PartImages::kThumb), colourAt(POINT{(end.left + end.right) / 2, end.top + 3}));
    EXPECT_EQ(rgb(PartImages::kTrack), colourAt(thumbTop)) << "nothing left where the thumb was";
}

} // namespace
