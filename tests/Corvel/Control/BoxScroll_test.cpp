#include "Corvel/Control/Box.h"
#include "Corvel/Control/ScrollBar.h"
#include "Corvel/Core/ControlRegistry.h"
#include "Corvel/Core/DialogBuilder.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Control/support/ScrollTestSupport.h"
#include "Corvel/Core/support/TestWindow.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>

namespace {

using scrolltest::Click;
using scrolltest::Drag;
using scrolltest::ScrollWindow;
using scrolltest::SendKey;
using scrolltest::SendWheel;
using testsupport::PumpUntil;
using ui::Box;
using ui::Control;
using ui::RECTF;
using ui::ScrollBar;

// Client size of the test windows, in pixels at every DPI.
constexpr int kWidth = 200;
constexpr int kHeight = 150;
// Rows in skin units: twenty of them overflow the window at every DPI.
constexpr int kRows = 20;
constexpr float kRowHeight = 30;
constexpr float kWideRow = 600;

class BoxScrollTest : public ::testing::TestWithParam<int> {
protected:
    // The real pointer stays away from the windows: only the messages the
    // tests send move the hover.
    void SetUp() override { SetCursorPos(1000, 750); }
    int Dpi() const { return GetParam(); }
    testsupport::UiLibraryScope lib;
};

INSTANTIATE_TEST_SUITE_P(Dpi, BoxScrollTest, ::testing::Values(96, 144));

float VPos(Box* box) { return box->GetScrollOffset().vertical; }
float HPos(Box* box) { return box->GetScrollOffset().horizontal; }

// Pumps until the box rests at the expected offset on the axis.
bool WaitForOffset(ScrollWindow& w, bool horizontal, float expected)
{
    return PumpUntil([&] {
        const float now = horizontal ? HPos(w.box) : VPos(w.box);
        return now == expected && w.win.core.TimeLines().IsEmpty();
    });
}

TEST_P(BoxScrollTest, BarsFollowTheContentAndChildrenCarryTheOffset)
{
    ScrollWindow w(Dpi(), kWidth, kHeight, {{L"vscroll", L"true"}}, kRows, kRowHeight);
    ASSERT_TRUE(w.ok);
    const float s = w.Scale();
    ScrollBar* bar = w.box->GetVScrollBar();
    ASSERT_NE(nullptr, bar);
    EXPECT_EQ(w.box, bar->GetParent()) << "a bar the box made hangs below it";
    EXPECT_EQ(w.box, bar->GetOwner());
    const float rowH = kRowHeight * s;
    const int range = static_cast<int>(kRows * rowH - kHeight);
    EXPECT_TRUE(bar->IsVisible());
    EXPECT_EQ(range, bar->GetRange());
    EXPECT_TRUE(RECTF(kWidth - 16 * s, 0, kWidth, kHeight) == bar->GetBounds()) << "thickness scaled";

    w.box->SetScrollOffset(0, 100);
    EXPECT_EQ(100.0f, VPos(w.box));
    EXPECT_EQ(-100.0f, w.rows[0]->GetBounds().top);
    EXPECT_EQ(-100.0f + rowH, w.rows[1]->GetBounds().top);
    w.box->SetScrollOffset(0, 1e6f);
    EXPECT_EQ(static_cast<float>(range), VPos(w.box)) << "clamped to the range";
    EXPECT_EQ(static_cast<float>(kHeight), w.rows.back()->GetBounds().bottom);

    // Shorter content pulls the offset back to the new range; the rows
    // follow at the next layout.
    for (size_t i = 12; i < w.rows.size(); ++i)
        w.rows[i]->SetVisible(false);
    const int shorter = static_cast<int>(12 * rowH - kHeight);
    ASSERT_TRUE(PumpUntil([&] { return bar->GetRange() == shorter; }));
    EXPECT_EQ(static_cast<float>(shorter), VPos(w.box));
    EXPECT_EQ(static_cast<float>(kHeight), w.rows[11]->GetBounds().bottom);

    // Content that fits: no bar, no offset, rows back at the top.
    for (size_t i = 3; i < w.rows.size(); ++i)
        w.rows[i]->SetVisible(false);
    ASSERT_TRUE(PumpUntil([&] { return !bar->IsVisible(); }));
    EXPECT_EQ(0, bar->GetRange());
    EXPECT_EQ(0.0f, VPos(w.box));
    EXPECT_EQ(0.0f, w.rows[0]->GetBounds().top);
    EXPECT_NE(static_cast<Control*>(bar), w.win.core.FindControlAtPoint(kWidth - 2, 10)) << "a hidden bar is not hit";
}

struct KeyCase {
    const char* what;
    WORD key;
    bool horizontal; // the box has only a horizontal bar
    float from;
    // Expected offset from (step, page, range).
    std::function<float(float, float, float)> expected;
    bool consumed;
};

TEST_P(BoxScrollTest, KeysScrollTheUsableAxis)
{
    const KeyCase cases[] = {
        {"Down: one line", VK_DOWN, false, 0, [](float st, float, float) { return st; }, true},
        {"Up: one line back", VK_UP, false, 100, [](float st, float, float) { return 100 - st; }, true},
        {"Up at the top stays", VK_UP, false, 0, [](float, float, float) { return 0.0f; }, true},
        {"Page Down: a page", VK_NEXT, false, 0, [](float, float pg, float) { return pg; }, true},
        {"Page Down near the end stops at the range", VK_NEXT, false, -10,
         [](float, float, float r) { return r; }, true},
        {"Page Up never goes above the top", VK_PRIOR, false, 100, [](float, float, float) { return 0.0f; }, true},
        {"End", VK_END, false, 0, [](float, float, float r) { return r; }, true},
        {"Home", VK_HOME, false, -1, [](float, float, float) { return 0.0f; }, true},
        {"Left is not the vertical axis'", VK_LEFT, false, 100, [](float, float, float) { return 100.0f; }, false},
        {"Right is not the vertical axis'", VK_RIGHT, false, 100, [](float, float, float) { return 100.0f; }, false},
        {"Up scrolls left on a horizontal box", VK_UP, true, 100, [](float st, float, float) { return 100 - st; }, true},
        {"Down scrolls right", VK_DOWN, true, 0, [](float st, float, float) { return st; }, true},
        {"Right scrolls right", VK_RIGHT, true, 0, [](float st, float, float) { return st; }, true},
        {"Page Down pages right", VK_NEXT, true, 0, [](float, float pg, float) { return pg; }, true},
        {"End goes to the right end", VK_END, true, 0, [](float, float, float r) { return r; }, true},
    };
    ScrollWindow vertical(Dpi(), kWidth, kHeight, {{L"vscroll", L"true"}}, kRows, kRowHeight);
    ScrollWindow horizontal(Dpi(), kWidth, kHeight, {{L"hscroll", L"true"}}, 3, 20, kWideRow);
    ASSERT_TRUE(vertical.ok && horizontal.ok);
    for (const KeyCase& c : cases) {
        SCOPED_TRACE(c.what);
        ScrollWindow& w = c.horizontal ? horizontal : vertical;
        const float step = static_cast<float>(static_cast<int>(30 * w.Scale()));
        const float page = c.horizontal ? kWidth : kHeight;
        const float range = static_cast<float>(c.horizontal ? w.box->GetScrollExtent().horizontal
                                                            : w.box->GetScrollExtent().vertical);
        ASSERT_GT(range, page);
        // Negative starts count from the end.
        const float from = c.from < 0 ? range + 1 + c.from : c.from;
        c.horizontal ? w.box->SetScrollOffset(from, 0) : w.box->SetScrollOffset(0, from);
        w.win.core.FocusControl(w.box);
        SendKey(w.hwnd(), c.key);
        EXPECT_TRUE(WaitForOffset(w, c.horizontal, c.expected(step, page, range)))
            << "at " << (c.horizontal ? HPos(w.box) : VPos(w.box));

        ui::InputEvent event;
        event.type = ui::kEventKeyDown;
        event.key = c.key;
        EXPECT_EQ(c.consumed, w.box->HandleEvent(&event));
        w.WaitForRest();
    }
}

TEST_P(BoxScrollTest, WheelScrollsByLinesWithoutFlexAndGlidesWithIt)
{
    const POINT inside{kWidth / 2, kHeight / 2};
    {
        SCOPED_TRACE("flex range 0: line steps");
        ScrollWindow w(Dpi(), kWidth, kHeight, {{L"flexrange", L"0"}, {L"vscroll", L"true"}}, kRows, kRowHeight);
        ASSERT_TRUE(w.ok);
        const float step = static_cast<float>(static_cast<int>(30 * w.Scale()));
        SendWheel(w.hwnd(), inside, -1);
        EXPECT_TRUE(WaitForOffset(w, false, step));
        SendWheel(w.hwnd(), inside, 1);
        EXPECT_TRUE(WaitForOffset(w, false, 0));
        SendWheel(w.hwnd(), inside, 1);
        EXPECT_TRUE(WaitForOffset(w, false, 0)) << "nothing above the top";
    }
    {
        SCOPED_TRACE("inertia without over-scroll");
        ScrollWindow w(Dpi(), kWidth, kHeight, {{L"vscroll", L"true"}}, kRows, kRowHeight);
        ASSERT_TRUE(w.ok);
        const float range = static_cast<float>(w.box->GetScrollExtent().vertical);
        SendWheel(w.hwnd(), inside, -1);
        float lowest = 0, highest = 0;
        auto track = [&] {
            lowest = std::min(lowest, VPos(w.box));
            highest = std::max(highest, VPos(w.box));
            return w.win.core.TimeLines().IsEmpty();
        };
        ASSERT_TRUE(PumpUntil(track));
        const float glided = VPos(w.box);
        EXPECT_GT(glided, 0.0f) << "one notch glides down";
        EXPECT_LE(highest, range);
        EXPECT_EQ(-glided, w.rows[0]->GetBounds().top) << "rows moved with the offset";

        // Back up: the glide stops at the top, never beyond it.
        SendWheel(w.hwnd(), inside, 1);
        SendWheel(w.hwnd(), inside, 1);
        ASSERT_TRUE(PumpUntil(track));
        SendWheel(w.hwnd(), inside, 1);
        ASSERT_TRUE(PumpUntil(track));
        EXPECT_EQ(0.0f, VPos(w.box));
        EXPECT_EQ(0.0f, lowest);
        EXPECT_EQ(0, w.box->GetVScrollBar()->GetOvershoot());
    }
}

struct ElasticCase {
    const char* what;
    bool horizontal;
    bool atEnd; // else at the start
};

TEST_P(BoxScrollTest, OverScrollIsLimitedByTheFlexRangeAndSpringsBack)
{
    const ElasticCase cases[] = {
        {"vertical, past the bottom", false, true},
        {"vertical, past the top", false, false},
        {"horizontal, past the right end", true, true},
        {"horizontal, past the left end", true, false},
    };
    const POINT inside{kWidth / 2, kHeight / 2};
    for (const ElasticCase& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<ScrollWindow> w;
        if (c.horizontal)
            w = std::make_unique<ScrollWindow>(Dpi(), kWidth, kHeight, std::initializer_list<std::pair<const wchar_t*, const wchar_t*>>{{L"hflexrange", L"40"}, {L"hscroll", L"true"}}, 3, 20, kWideRow);
        else
            w = std::make_unique<ScrollWindow>(Dpi(), kWidth, kHeight, std::initializer_list<std::pair<const wchar_t*, const wchar_t*>>{{L"vflexrange", L"40"}, {L"vscroll", L"true"}}, kRows, kRowHeight);
        ASSERT_TRUE(w->ok);
        Box* box = w->box;
        ScrollBar* bar = c.horizontal ? box->GetHScrollBar() : box->GetVScrollBar();
        ASSERT_NE(nullptr, bar);
        const float flex = static_cast<float>(static_cast<int>(40 * w->Scale()));
        EXPECT_EQ(static_cast<int>(flex), c.horizontal ? box->GetHFlexRange() : box->GetVFlexRange());
        const float range = static_cast<float>(bar->GetRange());
        const float rest = c.atEnd ? range : 0;
        c.horizontal ? box->SetScrollOffset(rest, 0) : box->SetScrollOffset(0, rest);

        SendWheel(w->hwnd(), inside, c.atEnd ? -1 : 1);
        float farthest = 0;
        int deepestOvershoot = 0;
        ASSERT_TRUE(PumpUntil([&] {
            farthest = std::max(farthest, std::fabs(bar->GetScrollPos() - rest));
            if (std::abs(bar->GetOvershoot()) > std::abs(deepestOvershoot))
                deepestOvershoot = bar->GetOvershoot();
            return w->win.core.TimeLines().IsEmpty();
        }));
        EXPECT_GT(farthest, 0.0f) << "the content went past its end";
        EXPECT_LE(farthest, flex) << "by at most the flex range";
        EXPECT_NE(0, deepestOvershoot);
        EXPECT_EQ(c.atEnd, deepestOvershoot > 0);
        EXPECT_EQ(rest, bar->GetScrollPos()) << "back at rest";
        EXPECT_EQ(0, bar->GetOvershoot());
        const RECTF row = w->rows[c.atEnd ? w->rows.size() - 1 : 0]->GetBounds();
        if (c.horizontal)
            EXPECT_NEAR(c.atEnd ? static_cast<float>(kWidth) : 0.0f, c.atEnd ? row.right : row.left, 0.01f);
        else
            EXPECT_NEAR(c.atEnd ? static_cast<float>(kHeight) : 0.0f, c.atEnd ? row.bottom : row.top, 0.01f);
    }
}

struct BarCase {
    const char* what;
    bool horizontal;
    // Press point and release point from the bar's parts.
    std::function<POINT(ScrollBar*)> press;
    std::function<POINT(ScrollBar*)> release;
    float from; // negative: counted from the end
    // Expected offset from (range, step, page, track).
    std::function<float(float, float, float, int)> expected;
};

int TrackOf(ScrollBar* bar)
{
    const RECT b1 = bar->GetButton1Rect(), b2 = bar->GetButton2Rect(), t = bar->GetThumbRect();
    return bar->IsHorizontal() ? (b2.left - b1.right) - (t.right - t.left) : (b2.top - b1.bottom) - (t.bottom - t.top);
}

POINT Along(POINT p, bool horizontal, int by) { return horizontal ? POINT{p.x + by, p.y} : POINT{p.x, p.y + by}; }

TEST_P(BoxScrollTest, TheBarScrollsByThumbButtonsAndTrack)
{
    auto thumb = [](ScrollBar* b) { return scrolltest::Centre(b->GetThumbRect()); };
    auto button1 = [](ScrollBar* b) { return scrolltest::Centre(b->GetButton1Rect()); };
    auto button2 = [](ScrollBar* b) { return scrolltest::Centre(b->GetButton2Rect()); };
    auto wholeTrack = [thumb](ScrollBar* b) { return Along(thumb(b), b->IsHorizontal(), TrackOf(b)); };
    auto halfTrack = [thumb](ScrollBar* b) { return Along(thumb(b), b->IsHorizontal(), TrackOf(b) / 2); };
    auto farBeyond = [thumb](ScrollBar* b) { return Along(thumb(b), b->IsHorizontal(), 5000); };
    auto beforeThumb = [](ScrollBar* b) {
        const RECT t = b->GetThumbRect(), b1 = b->GetButton1Rect();
        return b->IsHorizontal() ? POINT{(b1.right + t.left) / 2, (t.top + t.bottom) / 2}
                                 : POINT{(t.left + t.right) / 2, (b1.bottom + t.top) / 2};
    };
    auto afterThumb = [](ScrollBar* b) {
        const RECT t = b->GetThumbRect(), b2 = b->GetButton2Rect();
        return b->IsHorizontal() ? POINT{(t.right + b2.left) / 2, (t.top + t.bottom) / 2}
                                 : POINT{(t.left + t.right) / 2, (t.bottom + b2.top) / 2};
    };
    const BarCase cases[] = {
        {"thumb dragged by the whole track", false, thumb, wholeTrack, 0, [](float r, float, float, int) { return r; }},
        {"thumb dragged by half the track", false, thumb, halfTrack, 0,
         [](float r, float, float, int t) { return static_cast<float>((t / 2) * static_cast<int>(r) / t); }},
        {"thumb dragged past the end", false, thumb, farBeyond, 0, [](float r, float, float, int) { return r; }},
        {"down button", false, button2, button2, 0, [](float, float st, float, int) { return st; }},
        {"up button", false, button1, button1, 100, [](float, float st, float, int) { return 100 - st; }},
        {"track below the thumb", false, afterThumb, afterThumb, 0, [](float, float, float pg, int) { return pg; }},
        {"track above the thumb", false, beforeThumb, beforeThumb, -1,
         [](float r, float, float pg, int) { return r - pg; }},
        {"horizontal thumb dragged by the whole track", true, thumb, wholeTrack, 0,
         [](float r, float, float, int) { return r; }},
        {"right button", true, button2, button2, 0, [](float, float st, float, int) { return st; }},
        {"track right of the thumb", true, afterThumb, afterThumb, 0, [](float, float, float pg, int) { return pg; }},
    };
    ScrollWindow vertical(Dpi(), kWidth, kHeight, {{L"vscroll", L"true"}}, kRows, kRowHeight);
    ScrollWindow horizontal(Dpi(), kWidth, kHeight, {{L"hscroll", L"true"}}, 3, 20, 2 * kWideRow);
    ASSERT_TRUE(vertical.ok && horizontal.ok);
    for (const BarCase& c : cases) {
        SCOPED_TRACE(c.what);
        ScrollWindow& w = c.horizontal ? horizontal : vertical;
        ScrollBar* bar = c.horizontal ? w.box->GetHScrollBar() : w.box->GetVScrollBar();
        ASSERT_NE(nullptr, bar);
        const float range = static_cast<float>(bar->GetRange());
        const float from = c.from < 0 ? range + 1 + c.from : c.from;
        c.horizontal ? w.box->SetScrollOffset(from, 0) : w.box->SetScrollOffset(0, from);
        const float step = static_cast<float>(static_cast<int>(30 * w.Scale()));
        const float page = c.horizontal ? kWidth : kHeight;
        const int track = TrackOf(bar);
        ASSERT_GT(track, 0);
        const POINT press = c.press(bar), release = c.release(bar);
        ASSERT_EQ(bar, w.win.core.FindControlAtPoint(press.x, press.y));
        Drag(w.hwnd(), press, release);
        EXPECT_TRUE(WaitForOffset(w, c.horizontal, c.expected(range, step, page, track)))
            << "at " << (c.horizontal ? HPos(w.box) : VPos(w.box));
        EXPECT_EQ(0, bar->GetThumbState() & (ui::kPartDragging | ui::kPartPushed)) << "released";
        EXPECT_EQ(0, bar->GetButton1State() & ui::kPartPushed);
        EXPECT_EQ(0, bar->GetButton2State() & ui::kPartPushed);
    }
}

TEST_P(BoxScrollTest, EnteringTheBoxActivatesItsBar)
{
    ScrollWindow w(Dpi(), kWidth, kHeight, {{L"vscroll", L"true"}, {L"vscrollbarstyle", L"active=\"false\""}}, kRows,
                   kRowHeight);
    ASSERT_TRUE(w.ok);
    ScrollBar* bar = w.box->GetVScrollBar();
    ASSERT_FALSE(bar->IsActive());
    scrolltest::SendMouse(w.hwnd(), WM_MOUSEMOVE, POINT{20, 20});
    EXPECT_TRUE(bar->IsActive());
    EXPECT_TRUE(w.box->IsHot());
    // Onto the bar: it is hot, the thumb too when the pointer is on it.
    const POINT onThumb = scrolltest::Centre(bar->GetThumbRect());
    scrolltest::SendMouse(w.hwnd(), WM_MOUSEMOVE, onThumb);
    EXPECT_TRUE(bar->IsHot());
    EXPECT_NE(0, bar->GetThumbState() & ui::kPartHot);
    EXPECT_NE(0, bar->GetButton1State() & ui::kPartHot);
    scrolltest::SendMouse(w.hwnd(), WM_MOUSEMOVE, POINT{20, 20});
    EXPECT_FALSE(bar->IsHot());
    EXPECT_EQ(0, bar->GetThumbState() & ui::kPartHot);
}

// ------------------------------------------------------------ bars by name

struct BindCase {
    const char* what;
    const wchar_t* named; // markup of the control carrying the name, or empty
    bool bound;
};

TEST_P(BoxScrollTest, OnlyAScrollBarIsBoundByName)
{
    const BindCase cases[] = {
        {"a scroll bar of that name is bound", L"<ScrollBar name=\"side\"/>", true},
        {"a control of that name that is no scroll bar counts as absent", L"<Control name=\"side\"/>", false},
        {"a box of that name counts as absent", L"<Box name=\"side\"/>", false},
        {"no control of that name", L"", false},
    };
    for (const BindCase& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::TestWindow win(Dpi());
        std::wstring markup = L"<Window><Box><VBox name=\"list\" vscroll=\"side\">";
        for (int i = 0; i < kRows; ++i)
            markup += L"<Control height=\"30\"/>";
        markup += L"</VBox>";
        markup += c.named;
        markup += L"</Box></Window>";
        ui::DialogBuilder builder;
        Control* root = builder.Build(markup.c_str(), nullptr, &win.core, nullptr);
        ASSERT_NE(nullptr, root);
        // Installed when the window is made; the names are bound then.
        win.root = root;
        ASSERT_NE(nullptr, win.CreatePopup(kWidth, kHeight));
        ASSERT_TRUE(testsupport::ShowAndPaint(win));

        Box* list = static_cast<Box*>(win.core.FindControlByName(L"list")->CastTo(L"Box"));
        ASSERT_NE(nullptr, list);
        Control* named = win.core.FindControlByName(L"side");
        ScrollBar* bar = list->GetVScrollBar();
        ASSERT_NE(nullptr, bar) << "the box scrolls either way";
        EXPECT_EQ(list, bar->GetOwner());
        EXPECT_GT(bar->GetRange(), 0) << "the box drives the bar's range";
        if (c.bound) {
            EXPECT_EQ(named, bar);
            EXPECT_EQ(root, bar->GetParent()) << "a bound bar stays where the skin put it";
        } else {
            EXPECT_NE(static_cast<Control*>(bar), named);
            EXPECT_EQ(list, bar->GetParent()) << "the box's own bar hangs below it";
            EXPECT_EQ(&win.core, bar->GetCore());
            if (named) {
                EXPECT_EQ(nullptr, named->CastTo(L"ScrollBar"));
                EXPECT_EQ(root, named->GetParent()) << "the other control is left alone";
            }
        }
        list->SetScrollOffset(0, 60);
        EXPECT_EQ(60.0f, bar->GetScrollPos());

        // The box goes; a bar bound by name stays with its own parent.
        ui::IBox* outer = static_cast<ui::IBox*>(root->CastTo(L"IBox"));
        ASSERT_TRUE(outer->RemoveChild(list));
        EXPECT_EQ(c.named[0] ? 1 : 0, outer->ChildCount());
        if (c.bound)
            ASSERT_TRUE(PumpUntil([&] { return bar->GetOwner() == nullptr; })) << "the box was deleted";
        else
            testsupport::PumpFor(50);
        if (named) {
            EXPECT_EQ(named, win.core.FindControlByName(L"side"));
            EXPECT_EQ(0, outer->IndexOfChild(named));
        }
        if (c.bound) {
            // Pressed now, the bar scrolls itself.
            const POINT onButton = scrolltest::Centre(bar->GetButton2Rect());
            ASSERT_EQ(static_cast<Control*>(bar), win.core.FindControlAtPoint(onButton.x, onButton.y));
            const float before = bar->GetScrollPos();
            Click(win.GetHWND(), onButton);
            EXPECT_TRUE(PumpUntil([&] { return bar->GetScrollPos() > before; }));
        }
    }
}

// ------------------------------------------------------------ attributes

TEST(BoxScrollAttributes, BarsComeAndGoWithTheirAttributes)
{
    testsupport::UiLibraryScope lib;
    ui::WindowCore core;
    core.SetDefaultAttributeList(L"VScrollBar", L"w=\"12\" linesize=\"5\"");
    core.SetDefaultAttributeList(L"HScrollBar", L"hor=\"true\" w=\"9\"");
    Box box;
    box.AttachCore(&core, nullptr, true);
    EXPECT_EQ(nullptr, box.GetVScrollBar());
    box.SetAttribute(L"vscroll", L"true");
    ScrollBar* v = box.GetVScrollBar();
    ASSERT_NE(nullptr, v);
    EXPECT_EQ(12, v->GetThickness()) << "the window's defaults for VScrollBar";
    EXPECT_EQ(5, v->GetLineSize());
    EXPECT_EQ(0xFFFFFFFFu, v->GetBkColor());
    EXPECT_FALSE(v->IsHorizontal());
    EXPECT_EQ(nullptr, box.GetHScrollBar());

    box.SetAttribute(L"hscrollbarstyle", L"linesize=\"7\"");
    ScrollBar* h = box.GetHScrollBar();
    ASSERT_NE(nullptr, h);
    EXPECT_TRUE(h->IsHorizontal());
    EXPECT_EQ(9, h->GetThickness());
    EXPECT_EQ(7, h->GetLineSize()) << "the style text comes after the defaults";
    EXPECT_EQ(v, box.GetVScrollBar()) << "the vertical bar stays";

    box.SetAttribute(L"vscroll", L"false");
    EXPECT_EQ(v, box.GetVScrollBar()) << "\"false\" leaves an existing bar";
    box.EnableScrollBars(false, true);
    EXPECT_EQ(nullptr, box.GetVScrollBar());
    EXPECT_EQ(h, box.GetHScrollBar());

    // Flex ranges: copied into the bars, scaled when read, off for good at 0.
    box.SetAttribute(L"flexrange", L"25");
    EXPECT_EQ(25, h->GetFlexRange());
    core.SetDpi(144);
    EXPECT_EQ(37, box.GetHFlexRange());
    EXPECT_EQ(45, box.GetScrollStep());
    EXPECT_FLOAT_EQ(300.0f, box.GetScrollSpeed());
    box.SetAttribute(L"scrollspeed", L"-5");
    EXPECT_EQ(0.0f, box.GetScrollSpeed());
    box.SetAttribute(L"hflexrange", L"0");
    EXPECT_EQ(0, box.GetHFlexRange());
    box.AttachCore(nullptr, nullptr, false);
}

TEST(BoxScrollAttributes, AMissingNameGivesTheBoxAnAttachedBarOnce)
{
    testsupport::UiLibraryScope lib;
    ui::WindowCore core;
    Box root;
    root.AttachCore(&core, nullptr, true);
    Box* box = new Box();
    root.AppendChild(box);
    box->SetAttribute(L"vscroll", L"nowhere");
    EXPECT_EQ(nullptr, box->GetVScrollBar()) << "bound once the tree is built";
    box->FinishTreeSetup();
    ScrollBar* own = box->GetVScrollBar();
    ASSERT_NE(nullptr, own) << "a missing name gives the box a bar of its own";
    EXPECT_EQ(box, own->GetParent());
    EXPECT_EQ(&core, own->GetCore()) << "attached when made: its range is announced through the core";
    box->FinishTreeSetup();
    EXPECT_EQ(own, box->GetVScrollBar()) << "bound once";
    root.SetDeferredDelete(false);
    EXPECT_TRUE(root.RemoveChild(box));
    root.AttachCore(nullptr, nullptr, false);
}

} // namespace
