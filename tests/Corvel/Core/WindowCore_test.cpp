#include "Corvel/Control/Box.h"
#include "Corvel/Core/Control.h"
#include "Corvel/Core/UiGlobals.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Core/support/PoisonedStorage.h"
#include "Corvel/Core/support/TestWindow.h"
#include "Corvel/Render/Layer.h"
#include "Corvel/Render/TimeLine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using testsupport::PumpFor;
using testsupport::PumpUntil;
using testsupport::TestWindow;
using ui::Box;
using ui::Control;
using ui::RECTF;

// A control that is a Tab stop, as buttons and edits are.
class TabStop : public Control {
public:
    int GetTraitFlags() const override { return 1; }
};

struct Log : ui::INotifyUI {
    std::vector<std::wstring> items;
    void ReceiveNotify(ui::tagTNotifyUI& msg) override
    {
        items.push_back(std::wstring(msg.type.GetData()) + L":" +
                        (msg.sender ? msg.sender->GetName().ToStdString() : L"-"));
    }
    // Records every input event a control receives as "name:type" and lets
    // the base handling run.
    void Watch(Control* c)
    {
        c->SetGenericEventHandler([this, c](ui::InputEvent* ev) {
            items.push_back(c->GetName().ToStdString() + L":" + std::to_wstring(ev->type));
            return true;
        });
    }
};

class WindowCoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The real pointer rests away from the test windows, so that only
        // the synthetic mouse messages move the hover.
        SetCursorPos(900, 700);
    }

    // A visible window with a root box laid out and painted once.
    std::unique_ptr<TestWindow> MakeWindow(Control* root, int w = 200, int h = 200)
    {
        return testsupport::ShowTestWindow(root, w, h);
    }

    testsupport::UiLibraryScope lib;
};

LPARAM Pt(int x, int y) { return MAKELPARAM(x, y); }

TEST(WindowCoreMerge, MergesDirtyRectanglesUntilStable)
{
    struct Case {
        const char* name;
        std::vector<RECTF> in;
        std::vector<RECTF> out;
    };
    const std::vector<Case> cases = {
        {"single", {RECTF(0, 0, 10, 10)}, {RECTF(0, 0, 10, 10)}},
        {"disjoint stay apart", {RECTF(0, 0, 10, 10), RECTF(20, 0, 30, 10)},
         {RECTF(0, 0, 10, 10), RECTF(20, 0, 30, 10)}},
        {"touching edges merge", {RECTF(10, 0, 20, 10), RECTF(0, 0, 10, 10)}, {RECTF(0, 0, 20, 10)}},
        {"touching corner merges", {RECTF(0, 0, 10, 10), RECTF(10, 10, 20, 20)}, {RECTF(0, 0, 20, 20)}},
        {"overlap", {RECTF(0, 0, 10, 10), RECTF(5, 5, 15, 15)}, {RECTF(0, 0, 15, 15)}},
        {"contained", {RECTF(0, 0, 100, 100), RECTF(10, 10, 20, 20)}, {RECTF(0, 0, 100, 100)}},
        {"third bridges the first two",
         {RECTF(0, 0, 10, 10), RECTF(50, 0, 60, 10), RECTF(5, 5, 55, 8)},
         {RECTF(0, 0, 60, 10)}},
        {"a union reaches an earlier rectangle on the next pass",
         {RECTF(0, 0, 10, 10), RECTF(5, 20, 15, 30), RECTF(8, 5, 12, 25)},
         {RECTF(0, 0, 15, 30)}},
        {"unions that stay apart",
         {RECTF(0, 0, 10, 10), RECTF(30, 30, 40, 40), RECTF(8, 8, 32, 12), RECTF(35, 0, 45, 5)},
         {RECTF(0, 0, 32, 12), RECTF(30, 30, 40, 40), RECTF(35, 0, 45, 5)}},
    };
    for (const Case& c : cases) {
        std::vector<RECTF> got = ui::WindowCore::MergeDirtyRects(c.in);
        const std::vector<RECTF>& want = c.out;
        ASSERT_EQ(want.size(), got.size()) << c.name;
        for (size_t i = 0; i < want.size(); ++i)
            EXPECT_TRUE(want[i] == got[i]) << c.name << " #" << i << ": " << got[i].left << "," << got[i].top
                                           << "," << got[i].right << "," << got[i].bottom;
    }
}

TEST_F(WindowCoreTest, MarkDirtyRecordsSnappedRectanglesAndFullMarksOnce)
{
    Box* root = new Box();
    auto win = MakeWindow(root, 200, 100);
    ui::WindowCore& core = win->core;
    ASSERT_FALSE(core.IsFirstLayoutPendingForTesting());
    ASSERT_TRUE(core.GetDirtyRectsForTesting().empty()) << "the first layout painted everything";

    core.MarkDirty(RECTF(0, 0, 0, 0));
    EXPECT_TRUE(core.GetDirtyRectsForTesting().empty());
    core.MarkDirty(RECTF(300, 0, 400, 10));
    EXPECT_TRUE(core.GetDirtyRectsForTesting().empty()) << "outside the client area";
    core.MarkDirty(RECTF(-5, 1.5f, 10.2f, 20.7f));
    ASSERT_EQ(1u, core.GetDirtyRectsForTesting().size());
    EXPECT_TRUE(RECTF(0, 1, 11, 21) == core.GetDirtyRectsForTesting()[0]);

    core.MarkDirty(RECTF(0, 0, 200, 100));
    ASSERT_EQ(1u, core.GetDirtyRectsForTesting().size()) << "a full mark replaces the list";
    core.MarkDirty(RECTF(5, 5, 6, 6));
    core.MarkDirty(RECTF(0, 0, 200, 100));
    EXPECT_EQ(2u, core.GetDirtyRectsForTesting().size()) << "a second full mark is ignored";

    core.RunIdleStep();
    EXPECT_TRUE(core.GetDirtyRectsForTesting().empty());

    ShowWindow(win->GetHWND(), SW_HIDE);
    core.MarkDirty(RECTF(1, 1, 5, 5));
    EXPECT_TRUE(core.GetDirtyRectsForTesting().empty()) << "hidden windows record nothing";
}

TEST_F(WindowCoreTest, NestedBoxesAreLaidOutOnTheFirstSizeAndRelaidOnTheTick)
{
    Box* root = new Box();
    root->SetName(L"root");
    Box* outer = new Box();
    outer->SetName(L"outer");
    outer->SetPadding(10, 10, 10, 10);
    Box* inner = new Box();
    inner->SetName(L"inner");
    inner->SetPadding(5, 5, 5, 5);
    root->AppendChild(outer);
    outer->AppendChild(inner);
    Log log;
    auto win = std::make_unique<TestWindow>();
    win->root = root;
    win->core.AddNotifyListener(&log);
    ASSERT_NE(nullptr, win->CreatePopup(200, 150));
    EXPECT_EQ(root, win->core.FindControlByName(L"root"));
    EXPECT_EQ(inner, win->core.FindControlByName(L"inner"));
    ASSERT_TRUE(testsupport::ShowAndPaint(*win));

    EXPECT_EQ(1, win->windowInitCount) << "0x8002 reaches the owner once";
    ASSERT_FALSE(log.items.empty());
    EXPECT_EQ(L"windowinit:root", log.items[0]);
    EXPECT_TRUE(RECTF(0, 0, 200, 150) == root->GetBounds());
    EXPECT_TRUE(RECTF(10, 10, 190, 140) == outer->GetBounds());
    EXPECT_TRUE(RECTF(15, 15, 185, 135) == inner->GetBounds());

    // A size change re-lays the tree; the same size does nothing.
    SetWindowPos(win->GetHWND(), nullptr, 0, 0, 300, 150, SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(RECTF(15, 15, 285, 135) == inner->GetBounds());
    EXPECT_EQ(1, win->windowInitCount);

    // A padding change asks for relayout; the next tick performs it.
    inner->SetPadding(20, 5, 5, 5);
    EXPECT_TRUE(win->core.IsRelayoutNeeded());
    EXPECT_FALSE(win->core.GetDirtyRectsForTesting().empty());
    ui::WindowCore::IdleTick();
    EXPECT_FALSE(win->core.IsRelayoutNeeded());
    EXPECT_TRUE(RECTF(30, 15, 285, 135) == inner->GetBounds());
    EXPECT_TRUE(win->core.GetDirtyRectsForTesting().empty());
}

TEST_F(WindowCoreTest, MouseMessagesGiveHotPushedClickInOrder)
{
    Box* root = new Box();
    root->SetName(L"root");
    Box* panel = new Box();
    panel->SetName(L"panel");
    panel->SetPadding(20, 20, 20, 20);
    Control* btn = new Control();
    btn->SetName(L"btn");
    btn->SetPadding(40, 40, 40, 40);
    root->AppendChild(panel);
    panel->AppendChild(btn);
    Log log;
    log.Watch(root);
    log.Watch(panel);
    log.Watch(btn);
    int clicks = 0;
    btn->SetClickHandler([&] {
        ++clicks;
        log.items.push_back(L"click-handler");
    });
    auto win = MakeWindow(root);
    win->core.AddNotifyListener(&log);
    HWND h = win->GetHWND();
    log.items.clear();

    // Into the button: every control of the chain becomes hot, outermost first.
    SendMessageW(h, WM_MOUSEMOVE, 0, Pt(100, 100));
    EXPECT_EQ(btn, win->core.GetHover());
    std::vector<std::wstring> enter{L"root:11", L"panel:11", L"btn:11", L"btn:9"};
    EXPECT_EQ(enter, log.items);
    EXPECT_TRUE(btn->IsHot() && panel->IsHot() && root->IsHot());

    // The same point again produces nothing.
    log.items.clear();
    SendMessageW(h, WM_MOUSEMOVE, 0, Pt(100, 100));
    EXPECT_TRUE(log.items.empty());

    // Press and release inside: pushed, then the click; the focus moves to
    // the button first.
    log.items.clear();
    SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, Pt(100, 100));
    EXPECT_TRUE(btn->IsPushed());
    EXPECT_FALSE(btn->IsHot());
    EXPECT_EQ(btn, win->core.GetFocus());
    SendMessageW(h, WM_LBUTTONUP, 0, Pt(101, 101));
    EXPECT_FALSE(btn->IsPushed());
    EXPECT_TRUE(btn->IsHot());
    EXPECT_EQ(1, clicks);
    std::vector<std::wstring> press{L"btn:22", L"setfocus:btn", L"btn:13", L"btn:14", L"click-handler"};
    EXPECT_EQ(press, log.items);

    // Back onto the panel: the button leaves, the panel gets no second enter.
    log.items.clear();
    SendMessageW(h, WM_MOUSEMOVE, 0, Pt(30, 30));
    EXPECT_EQ(panel, win->core.GetHover());
    std::vector<std::wstring> outward{L"btn:10", L"panel:9"};
    EXPECT_EQ(outward, log.items);
    EXPECT_FALSE(btn->IsHot());
    EXPECT_TRUE(panel->IsHot());

    // Out of every control: the hot chain leaves innermost first.
    log.items.clear();
    SendMessageW(h, WM_MOUSEMOVE, 0, Pt(500, 500));
    std::vector<std::wstring> gone{L"panel:10", L"root:10"};
    EXPECT_EQ(gone, log.items);
    EXPECT_EQ(nullptr, win->core.GetHover());
}

TEST_F(WindowCoreTest, ReleaseOutsideThePushedControlLeavesNothingStuck)
{
    Box* root = new Box();
    Control* btn = new Control();
    btn->SetPadding(50, 50, 50, 50);
    root->AppendChild(btn);
    int clicks = 0;
    btn->SetClickHandler([&] { ++clicks; });
    auto win = MakeWindow(root);
    HWND h = win->GetHWND();

    SendMessageW(h, WM_MOUSEMOVE, 0, Pt(100, 100));
    SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, Pt(100, 100));
    ASSERT_TRUE(btn->IsPushed());
    ASSERT_EQ(btn, win->core.GetCapture());
    SendMessageW(h, WM_MOUSEMOVE, MK_LBUTTON, Pt(10, 10));
    SendMessageW(h, WM_LBUTTONUP, 0, Pt(10, 10));
    EXPECT_FALSE(btn->IsPushed());
    EXPECT_EQ(nullptr, win->core.GetCapture());
    EXPECT_EQ(nullptr, win->core.GetClickControl());
    EXPECT_EQ(0, clicks);
}

TEST_F(WindowCoreTest, RightButtonKeepsTheClickControlForTheContextMenu)
{
    Box* root = new Box();
    Control* item = new Control();
    item->SetName(L"item");
    item->SetContextMenuEnabled(true);
    root->AppendChild(item);
    Log log;
    auto win = MakeWindow(root);
    win->core.AddNotifyListener(&log);
    HWND h = win->GetHWND();
    SendMessageW(h, WM_RBUTTONDOWN, MK_RBUTTON, Pt(50, 50));
    EXPECT_EQ(item, win->core.GetClickControl());
    log.items.clear();
    // The default processing of the release sends WM_CONTEXTMENU, which
    // must still find the control the press went to.
    SendMessageW(h, WM_RBUTTONUP, 0, Pt(50, 50));
    EXPECT_EQ(nullptr, win->core.GetClickControl());
    std::vector<std::wstring> want{L"menu:item"};
    EXPECT_EQ(want, log.items);
}

TEST_F(WindowCoreTest, TabMovesTheFocusThroughTabStopsAndWraps)
{
    Box* root = new Box();
    TabStop* t1 = new TabStop();
    TabStop* t2 = new TabStop();
    TabStop* t3 = new TabStop();
    Control* plain = new Control();
    for (Control* c : {static_cast<Control*>(t1), plain, static_cast<Control*>(t2), static_cast<Control*>(t3)})
        root->AppendChild(c);
    auto win = MakeWindow(root);
    ui::WindowCore& core = win->core;
    HWND h = win->GetHWND();
    ASSERT_FALSE(core.IsRelayoutNeeded());

    auto tab = [h] {
        MSG m{};
        m.hwnd = h;
        m.message = WM_KEYDOWN;
        m.wParam = VK_TAB;
        return ui::WindowCore::PreTranslateMessage(m);
    };
    EXPECT_TRUE(tab());
    EXPECT_EQ(t1, core.GetFocus()) << "no focus: the first Tab stop";
    EXPECT_TRUE(tab());
    EXPECT_EQ(t2, core.GetFocus()) << "controls that are not Tab stops are skipped";
    EXPECT_TRUE(tab());
    EXPECT_EQ(t3, core.GetFocus());
    EXPECT_TRUE(tab());
    EXPECT_EQ(t1, core.GetFocus()) << "wraps to the first";
    EXPECT_TRUE(core.MoveFocusByTab(false));
    EXPECT_EQ(t3, core.GetFocus()) << "backward from the first: the last";
    EXPECT_TRUE(t3->IsFocused());
    EXPECT_FALSE(t1->IsFocused());

    // A named next stop wins over tree order.
    t3->SetName(L"third");
    core.RegisterControlName(t3);
    t1->SetName(L"first");
    t3->SetTabOrderNames(L"FIRST", nullptr);
    t1->SetTabOrderNames(nullptr, nullptr);
    EXPECT_TRUE(tab());
    EXPECT_EQ(t1, core.GetFocus());

    // With a relayout pending Tab only repaints.
    t2->SetPadding(1, 1, 1, 1);
    ASSERT_TRUE(core.IsRelayoutNeeded());
    EXPECT_TRUE(tab());
    EXPECT_EQ(t1, core.GetFocus());

    // A hidden control cannot take the focus, nor look focused.
    t2->SetVisible(false);
    t2->SetFocused(true);
    EXPECT_FALSE(t2->IsFocused());
    EXPECT_NE(t2, core.GetFocus());
    t2->SetVisible(true);

    // Hiding or disabling the focused control clears the focus; deleting it
    // leaves the core with none.
    ASSERT_TRUE(PumpUntil([&] { return !core.IsRelayoutNeeded(); }));
    t1->SetEnabled(false);
    EXPECT_EQ(nullptr, core.GetFocus());
    core.FocusControl(t2);
    ASSERT_EQ(t2, core.GetFocus());
    root->RemoveChild(t2);
    EXPECT_TRUE(PumpUntil([&] { return core.GetFocus() == nullptr; }));
}

TEST_F(WindowCoreTest, ControlTimersFireStopAndRestartWithTheSameId)
{
    Box* root = new Box();
    Control* c = new Control();
    root->AppendChild(c);
    std::vector<WPARAM> fired;
    c->SetEventHandler(ui::kEventTimer, [&](ui::InputEvent* ev) {
        fired.push_back(ev->wParam);
        return true;
    });
    auto win = MakeWindow(root);
    ui::WindowCore& core = win->core;

    ASSERT_TRUE(core.StartControlTimer(c, 7, 10));
    EXPECT_FALSE(core.StartControlTimer(c, 7, 10)) << "a running timer is not restarted";
    UINT_PTR id = 0;
    ASSERT_TRUE(core.GetControlTimerIdForTesting(c, 7, id));
    EXPECT_EQ(17u, id) << "the first control timer id";
    ASSERT_TRUE(PumpUntil([&] { return fired.size() >= 2; }));
    EXPECT_EQ(7u, fired[0]);

    ASSERT_TRUE(core.StopControlTimer(c, 7));
    EXPECT_FALSE(core.StopControlTimer(c, 7));
    PumpFor(30);
    fired.clear();
    PumpFor(60);
    EXPECT_TRUE(fired.empty()) << "a stopped timer stays quiet";

    ASSERT_TRUE(core.StartControlTimer(c, 7, 10));
    UINT_PTR again = 0;
    core.GetControlTimerIdForTesting(c, 7, again);
    EXPECT_EQ(id, again);
    EXPECT_TRUE(PumpUntil([&] { return !fired.empty(); }));
}

TEST_F(WindowCoreTest, ControlTimerIdsAreNeverSharedWithinAWindow)
{
    Box* root = new Box();
    Control* c = new Control();
    root->AppendChild(c);
    auto win = MakeWindow(root);
    ui::WindowCore& core = win->core;

    std::set<UINT_PTR> ids;
    for (int key = 0; key < 255; ++key) {
        ASSERT_TRUE(core.StartControlTimer(c, key, 100000)) << key;
        UINT_PTR id = 0;
        core.GetControlTimerIdForTesting(c, key, id);
        EXPECT_TRUE(ids.insert(id).second) << "id " << id << " handed out twice";
    }
    EXPECT_EQ(255u, ids.size());
    EXPECT_EQ(1u, ids.count(0)) << "ids wrap past 254 to 0";
    EXPECT_FALSE(core.StartControlTimer(c, 1000, 100000)) << "every id is held: no new timer";
    ASSERT_TRUE(core.StopControlTimer(c, 3));
    EXPECT_FALSE(core.StartControlTimer(c, 1001, 100000)) << "a stopped timer keeps its id";
    EXPECT_TRUE(core.StartControlTimer(c, 3, 100000));

    // Deleting the control frees its ids.
    bool deleted = false;
    c->SetDestroyHook([&] { deleted = true; });
    root->RemoveChild(c);
    ASSERT_TRUE(PumpUntil([&] { return deleted; }));
    Control* d = new Control();
    root->AppendChild(d);
    EXPECT_TRUE(core.StartControlTimer(d, 0, 100000));
}

TEST_F(WindowCoreTest, TasksFromOtherThreadsRunOnTheUiThreadAndGuardsAreHonoured)
{
    Box* root = new Box();
    Box* guard = new Box();
    root->AppendChild(guard);
    auto win = MakeWindow(root);
    ui::WindowCore& core = win->core;
    DWORD uiThread = GetCurrentThreadId();

    std::atomic<DWORD> ranOn{0};
    std::atomic<int> guarded{0};
    std::thread worker([&] {
        core.PostUiTask(nullptr, [&] { ranOn = GetCurrentThreadId(); });
        core.PostUiTask(guard, [&] { ++guarded; });
    });
    worker.join();
    ASSERT_TRUE(PumpUntil([&] { return ranOn != 0 && guarded == 1; }));
    EXPECT_EQ(uiThread, ranOn.load());
    EXPECT_EQ(0u, core.PendingTaskCountForTesting());

    // A guard deleted before the task arrives: the task never runs.
    int ran = 0;
    core.PostUiTask(guard, [&] { ++ran; });
    root->SetDeferredDelete(false);
    root->RemoveChild(guard);
    EXPECT_TRUE(PumpUntil([&] { return core.PendingTaskCountForTesting() == 0; })) << "the skipped holder is freed";
    EXPECT_EQ(0, ran);

    // Messages carrying pointers the core never handed out are ignored.
    struct Bogus {
        int a = 1;
    } bogus;
    PostMessageW(win->GetHWND(), ui::kMsgRunTask, reinterpret_cast<WPARAM>(&bogus), 0);
    PostMessageW(win->GetHWND(), ui::kMsgRunTask, static_cast<WPARAM>(0x12345678), 0);
    PostMessageW(win->GetHWND(), ui::kMsgNetImage, static_cast<WPARAM>(0x12345678), 0);
    PostMessageW(win->GetHWND(), ui::kMsgNetText, static_cast<WPARAM>(0x87654321), 1);
    PumpFor(30);
    EXPECT_EQ(1, bogus.a);
}

TEST_F(WindowCoreTest, TasksStillQueuedWhenTheWindowGoesAreFreedUnrun)
{
    int ran = 0;
    {
        auto win = MakeWindow(new Box());
        for (int i = 0; i < 3; ++i)
            win->core.PostUiTask(nullptr, [&] { ++ran; });
        EXPECT_EQ(3u, win->core.PendingTaskCountForTesting());
    }
    PumpFor(30);
    EXPECT_EQ(0, ran);

    // A core without a window takes nothing.
    ui::WindowCore lone;
    lone.PostUiTask(nullptr, [&] { ++ran; });
    EXPECT_EQ(0u, lone.PendingTaskCountForTesting());
}

TEST_F(WindowCoreTest, DelayedDeletionDuringEventHandlingIsSafe)
{
    Box* root = new Box();
    Control* a = new Control();
    a->SetPadding(0, 0, 100, 0);
    Control* b = new Control();
    b->SetPadding(100, 0, 0, 0);
    root->AppendChild(a);
    root->AppendChild(b);
    int deleted = 0;
    bool stillInHandler = false;
    a->SetDestroyHook([&] {
        ++deleted;
        EXPECT_FALSE(stillInHandler) << "deleted while its own click ran";
    });
    b->SetDestroyHook([&] { ++deleted; });
    a->SetClickHandler([&] {
        stillInHandler = true;
        // Removing the clicked control and a sibling from inside the click.
        root->RemoveChild(a);
        root->RemoveChild(b);
        a->SetText(L"still alive");
        stillInHandler = false;
    });
    auto win = MakeWindow(root);
    HWND h = win->GetHWND();
    SendMessageW(h, WM_LBUTTONDOWN, MK_LBUTTON, Pt(20, 50));
    SendMessageW(h, WM_LBUTTONUP, 0, Pt(20, 50));
    EXPECT_EQ(0, deleted) << "nothing is deleted before 0x8001 arrives";
    EXPECT_EQ(0, root->ChildCount());
    EXPECT_EQ(nullptr, a->GetParent()) << "queued controls are detached from their parent";
    EXPECT_TRUE(PumpUntil([&] { return deleted == 2; })) << "one 0x8001 deletes both";
    EXPECT_EQ(nullptr, win->core.GetClickControl());
}

TEST_F(WindowCoreTest, UnbindReleasesOnceAndTheSharedPenOutlivesCores)
{
    ui::UiProcessGlobals& g = ui::UiGlobals();
    {
        auto win = MakeWindow(new Box());
        ASSERT_NE(nullptr, g.sharedPen);
        EXPECT_NE(nullptr, win->core.GetWindowDC());
        EXPECT_EQ(1u, g.boundCores.size());
        win->core.UnbindWindow();
        win->core.UnbindWindow();
        EXPECT_EQ(nullptr, win->core.GetWindowDC());
        EXPECT_EQ(nullptr, win->core.GetFontManager());
        EXPECT_TRUE(g.boundCores.empty());
        EXPECT_TRUE(g.translateCores.empty());
    }
    ASSERT_NE(nullptr, g.sharedPen) << "the shared pen lives until shutdown";
    EXPECT_EQ(static_cast<DWORD>(OBJ_PEN), GetObjectType(g.sharedPen));
    HPEN pen = g.sharedPen;
    {
        ui::WindowCore another;
        EXPECT_EQ(pen, g.sharedPen) << "a later core reuses it";
    }
    EXPECT_EQ(pen, g.sharedPen);
}

TEST_F(WindowCoreTest, BindingABoundCoreIsRefusedUntilItsWindowIsGone)
{
    auto win = MakeWindow(new Box());
    ui::WindowCore& core = win->core;
    ui::RenderTarget* target = core.GetRenderTarget();
    ui::FontManager* fonts = core.GetFontManager();
    HDC dc = core.GetWindowDC();
    auto plainWindow = [] {
        return CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 50, 50, nullptr, nullptr, GetModuleHandleW(nullptr),
                               nullptr);
    };
    HWND other = plainWindow();
    ASSERT_NE(nullptr, other);

    for (HWND again : {win->GetHWND(), other}) {
        EXPECT_FALSE(core.BindWindow(again));
        EXPECT_EQ(win->GetHWND(), core.GetWindow());
        EXPECT_EQ(target, core.GetRenderTarget()) << "the bound target is kept, not replaced and lost";
        EXPECT_EQ(fonts, core.GetFontManager());
        EXPECT_EQ(dc, core.GetWindowDC());
        EXPECT_EQ(1u, ui::UiGlobals().boundCores.size());
    }

    // A core whose window went without unbinding releases that binding.
    ui::WindowCore lone;
    HWND gone = plainWindow();
    ASSERT_TRUE(lone.BindWindow(gone));
    DestroyWindow(gone);
    EXPECT_TRUE(lone.BindWindow(other));
    EXPECT_EQ(other, lone.GetWindow());
    lone.UnbindWindow();
    EXPECT_EQ(nullptr, lone.GetRenderTarget());
    EXPECT_EQ(1u, ui::UiGlobals().boundCores.size()) << "only the first window's core is left";
    DestroyWindow(other);
}

TEST_F(WindowCoreTest, ARecreatedWindowLaysItsTreeOutAgainOnItsNewTarget)
{
    Box* root = new Box();
    root->SetBkColor(0xFF2040E0u);
    Control* child = new Control();
    child->SetBkColor(0xFF20C040u);
    child->SetPadding(20, 20, 20, 20);
    // The child draws through a layer of its own, composited into the
    // window's target.
    child->EnsureLayer(0);
    root->AppendChild(child);
    TestWindow win;
    win.root = root;
    ASSERT_NE(nullptr, win.CreatePopup(120, 80));
    ASSERT_TRUE(testsupport::ShowAndPaint(win));
    ASSERT_NE(nullptr, child->GetLayer()->GetTarget());
    ASSERT_EQ(child->GetLayer()->GetTarget(), child->GetRenderTarget()) << "the child draws into its layer";
    ASSERT_EQ(win.core.GetRenderTarget(), child->GetLayer()->GetParentTarget());

    DestroyWindow(win.GetHWND());
    EXPECT_EQ(nullptr, win.core.GetWindow());
    EXPECT_EQ(nullptr, root->GetRenderTarget()) << "no control keeps the deleted target";
    EXPECT_EQ(nullptr, child->GetRenderTarget());
    EXPECT_EQ(nullptr, child->GetLayer()->GetParentTarget()) << "no layer keeps the deleted target as its parent";
    EXPECT_EQ(nullptr, child->GetLayer()->GetTarget());

    // The same window object makes a window of the same size; the tree is
    // still installed.
    win.root = nullptr;
    ASSERT_NE(nullptr, win.CreatePopup(120, 80));
    ASSERT_TRUE(testsupport::ShowAndPaint(win));
    EXPECT_EQ(2, win.windowInitCount) << "the new window's tree is laid out as a first layout";
    ASSERT_NE(nullptr, win.core.GetRenderTarget());
    EXPECT_EQ(win.core.GetRenderTarget(), root->GetRenderTarget());
    ASSERT_NE(nullptr, child->GetLayer()->GetTarget());
    EXPECT_EQ(child->GetLayer()->GetTarget(), child->GetRenderTarget());
    EXPECT_EQ(win.core.GetRenderTarget(), child->GetLayer()->GetParentTarget());
    testsupport::PixelImage px = testsupport::ReadCorePixels(win.core);
    ASSERT_EQ(120, px.width);
    EXPECT_EQ(0x2040E0u, px.RgbAt(5, 5)) << "the root painted on the new target";
    EXPECT_EQ(0x20C040u, px.RgbAt(60, 40)) << "the child painted on the new target";
}

// A window object in storage that is overwritten once the object is
// destroyed, so that any later use of its core faults.
using PoisonedWindow = testsupport::PoisonedStorage<TestWindow>;

// A value-carrying timeline whose step counts its calls.
struct CountingLine {
    ui::CTimeLine line;
    int steps = 0;
    CountingLine() { line.AddValue(L"v", 0.0f, 1.0f); }
    bool Start(ui::WindowCore& core)
    {
        return line.Start(&core, [this](ui::CTimeLine*) {
            ++steps;
            return true;
        });
    }
};

TEST_F(WindowCoreTest, AWindowDestroyedByATimelineStepEndsItsFrameButNotTheTick)
{
    PoisonedWindow a;
    TestWindow* winA = a.Emplace();
    winA->root = new Box();
    ASSERT_NE(nullptr, winA->CreatePopup(100, 80));
    ASSERT_TRUE(testsupport::ShowAndPaint(*winA));
    TestWindow b;
    b.root = new Box();
    ASSERT_NE(nullptr, b.CreatePopup(100, 80, nullptr, 0, 150, 0));
    ASSERT_TRUE(testsupport::ShowAndPaint(b));

    // A's first timeline destroys the whole window object; its second one
    // and B's would run in the same tick.
    ui::CTimeLine destroyer;
    destroyer.AddValue(L"v", 0.0f, 1.0f);
    ASSERT_TRUE(destroyer.Start(&winA->core, [&a](ui::CTimeLine*) {
        a.Destroy();
        return true;
    }));
    CountingLine afterInA, inB;
    ASSERT_TRUE(afterInA.Start(winA->core));
    ASSERT_TRUE(inB.Start(b.core));

    ui::WindowCore::IdleTick();
    EXPECT_FALSE(a.IsLive());
    EXPECT_EQ(0, afterInA.steps) << "the walk ended with the list it walked";
    EXPECT_TRUE(afterInA.line.IsDetached());
    EXPECT_TRUE(destroyer.IsDetached());
    EXPECT_EQ(1, inB.steps) << "the window after it keeps its frame";
    ui::WindowCore::IdleTick();
    EXPECT_EQ(2, inB.steps);
}

TEST_F(WindowCoreTest, AWindowDestroyedAtItsFirstLayoutStopsThere)
{
    enum class Where { kInitMessage, kWindowInitHandler };
    const std::pair<const char*, Where> cases[] = {
        {"0x8002 to the owner", Where::kInitMessage},
        {"the \"windowinit\" handler", Where::kWindowInitHandler},
    };
    for (const auto& c : cases) {
        PoisonedWindow holder;
        TestWindow* win = holder.Emplace();
        Box* root = new Box();
        CountingLine line;
        if (c.second == Where::kInitMessage) {
            win->onMessage = [&holder](UINT msg, WPARAM, LPARAM, LRESULT&) {
                if (msg != ui::kMsgWindowInit)
                    return false;
                holder.Destroy();
                return true;
            };
        } else {
            // Answers false as a handler that only watches does: the
            // window's listeners would be asked next.
            root->SetNotifyHandler([&holder](ui::tagTNotifyUI* n) {
                if (n->type == L"windowinit")
                    holder.Destroy();
                return false;
            });
        }
        HWND h = win->CreatePopup(100, 80);
        ASSERT_NE(nullptr, h) << c.first;
        // The tree comes after creation, so that the first layout happens
        // when the window is shown and sized.
        win->core.SetRootControl(root);
        ASSERT_TRUE(line.Start(win->core));
        ShowWindow(h, SW_SHOWNOACTIVATE);
        SetWindowPos(h, nullptr, 0, 0, 120, 90, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
        EXPECT_FALSE(holder.IsLive()) << c.first;
        EXPECT_EQ(0, line.steps) << c.first << ": no frame after the window went";
        EXPECT_TRUE(line.line.IsDetached()) << c.first;
        PumpFor(30);
        EXPECT_EQ(0, line.steps) << c.first;
    }
}

struct Accel : ui::ITranslateAccelerator {
    LRESULT answer = 1;
    int calls = 0;
    LRESULT TranslateKeyMessage(MSG*) override
    {
        ++calls;
        return answer;
    }
};

struct PreFilter : ui::IMessageFilterUI {
    int calls = 0;
    LRESULT FilterMessage(UINT message, WPARAM, LPARAM, bool& handled) override
    {
        ++calls;
        handled = message == WM_APP + 7;
        return 0;
    }
};

TEST_F(WindowCoreTest, PreTranslateMessageConsultsAcceleratorsAndFilters)
{
    MSG m{};
    m.message = WM_KEYDOWN;
    m.wParam = 'A';
    EXPECT_FALSE(ui::WindowCore::PreTranslateMessage(m)) << "no bound window";
    m.message = WM_KEYDOWN;
    m.wParam = VK_TAB;
    m.hwnd = GetDesktopWindow();
    EXPECT_FALSE(ui::WindowCore::PreTranslateMessage(m));

    auto win = MakeWindow(new Box());
    Accel accel;
    PreFilter filter;
    win->core.AddTranslateAccelerator(&accel);
    win->core.AddPreMessageFilter(&filter);
    m.hwnd = win->GetHWND();
    m.message = WM_KEYDOWN;
    m.wParam = 'A';
    EXPECT_FALSE(ui::WindowCore::PreTranslateMessage(m)) << "non-zero: PreProcessMessage decides";
    EXPECT_EQ(1, accel.calls);
    EXPECT_EQ(1, filter.calls);
    m.message = WM_APP + 7;
    EXPECT_TRUE(ui::WindowCore::PreTranslateMessage(m)) << "a pre-filter that handles consumes";
    accel.answer = 0;
    m.message = WM_KEYDOWN;
    EXPECT_TRUE(ui::WindowCore::PreTranslateMessage(m)) << "0 from the accelerator consumes";
    EXPECT_EQ(2, filter.calls) << "PreProcessMessage does not run after a consuming accelerator";
    m.hwnd = GetDesktopWindow();
    EXPECT_FALSE(ui::WindowCore::PreTranslateMessage(m)) << "another window's message";

    // Keys of an embedded edit window reach the cores of its ancestors: the
    // core's keyboard processing runs, but the message is not consumed.
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"EditWnd";
    RegisterClassW(&wc);
    HWND edit = CreateWindowExW(0, L"EditWnd", L"", WS_CHILD | WS_VISIBLE, 0, 0, 20, 20, win->GetHWND(), nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(nullptr, edit);
    MSG e{};
    e.hwnd = edit;
    e.message = WM_KEYDOWN;
    e.wParam = 'B';
    EXPECT_TRUE(ui::WindowCore::PreTranslateMessage(e)) << "0 from the accelerator consumes";
    accel.answer = 1;
    int before = filter.calls;
    EXPECT_FALSE(ui::WindowCore::PreTranslateMessage(e));
    EXPECT_EQ(before + 1, filter.calls);
    DestroyWindow(edit);
    win->core.RemoveTranslateAccelerator(&accel);
    win->core.RemovePreMessageFilter(&filter);
}

TEST_F(WindowCoreTest, NotifyHandlerReturningTrueHidesTheNotificationFromListeners)
{
    Box* root = new Box();
    Control* c = new Control();
    c->SetName(L"c");
    root->AppendChild(c);
    Log log;
    auto win = MakeWindow(root);
    win->core.AddNotifyListener(&log);
    bool swallow = true;
    c->SetNotifyHandler([&](ui::tagTNotifyUI*) { return swallow; });
    win->core.RaiseNotification(c, L"custom");
    EXPECT_TRUE(log.items.empty());
    swallow = false;
    win->core.RaiseNotification(c, L"custom", 1, 2);
    std::vector<std::wstring> want{L"custom:c"};
    EXPECT_EQ(want, log.items);

    // Queued notifications are delivered around the next message; one taken
    // by its sender's handler ends that message as handled.
    log.items.clear();
    win->core.QueueNotification(c, L"later");
    LRESULT r = 0;
    EXPECT_FALSE(win->core.ProcessWindowMessage(WM_NULL, 0, 0, r));
    std::vector<std::wstring> later{L"later:c"};
    EXPECT_EQ(later, log.items);
    swallow = true;
    win->core.QueueNotification(c, L"taken");
    EXPECT_TRUE(win->core.ProcessWindowMessage(WM_NULL, 0, 0, r));
    EXPECT_EQ(later, log.items);
}

TEST_F(WindowCoreTest, NamedTablesAndScalePrefixes)
{
    ui::WindowCore core;
    ui::AnimationSpec fade;
    fade.repeat = 2;
    fade.duration = 0.3f;
    fade.properties.push_back(ui::AnimationProperty{0.0f, 1.0f, L"alpha"});
    core.SetAnimationSpec(L"fade", fade);
    ui::AnimationSpec out;
    EXPECT_FALSE(core.FindAnimationSpec(L"Fade", out));
    ASSERT_TRUE(core.FindAnimationSpec(L"fade", out));
    EXPECT_EQ(2, out.repeat);
    ASSERT_EQ(1u, out.properties.size());
    EXPECT_EQ(L"alpha", out.properties[0].name);

    EXPECT_TRUE(core.AddString(L"k", L"first"));
    EXPECT_FALSE(core.AddString(L"k", L"second"));
    EXPECT_STREQ(L"first", core.GetString(L"k"));
    EXPECT_EQ(nullptr, core.GetString(L"missing"));
    core.SetDefaultAttributeList(L"Button", L"height=\"30\"");
    EXPECT_STREQ(L"height=\"30\"", core.GetDefaultAttributeList(L"Button"));
    EXPECT_EQ(nullptr, core.GetDefaultAttributeList(L"Edit"));

    ui::ClearScalePrefixes();
    ui::SetScalePrefix(100, L"");
    ui::SetScalePrefix(150, L"150/");
    bool found = false;
    EXPECT_STREQ(L"150/", ui::GetScalePrefix(144, found).GetData());
    EXPECT_TRUE(found);
    EXPECT_TRUE(ui::GetScalePrefix(96, found).IsEmpty());
    EXPECT_TRUE(found) << "an empty prefix is a valid entry";
    EXPECT_TRUE(ui::GetScalePrefix(168, found).IsEmpty());
    EXPECT_FALSE(found) << "175 per cent has no entry: no nearest match";
    ui::ClearScalePrefixes();
}

TEST_F(WindowCoreTest, ShadowSettingsParseAndInheritFromTheParentCore)
{
    ui::WindowCore parent, child;
    child.SetParentCore(&parent);
    EXPECT_EQ(nullptr, child.FindShadowSettings());
    parent.ParseWindowShadow(L"size='8' color='#FF112233'");
    ui::WindowShadowSettings* s = child.FindShadowSettings();
    ASSERT_NE(nullptr, s);
    EXPECT_EQ(8.0f, s->size);
    EXPECT_EQ(0xFF112233u, s->color);
    EXPECT_EQ(0.0f, s->blur);
    EXPECT_EQ(0.0f, s->offsetX);
    child.ParseWindowShadow(L"true");
    EXPECT_EQ(10.0f, child.FindShadowSettings()->size);
    EXPECT_EQ(0x64505050u, child.FindShadowSettings()->color);
    child.ParseWindowShadow(L"FALSE");
    EXPECT_EQ(parent.FindShadowSettings(), child.FindShadowSettings());

    ui::WindowCore top, middle, leaf;
    middle.SetParentCore(&top);
    leaf.SetParentCore(&middle);
    middle.SetDefaultColors(1, 2, 3, 4, 5);
    EXPECT_EQ(0xFF000000u, leaf.GetTextColor()) << "the outermost core's colours";
    EXPECT_EQ(0xFFA7A6AAu, leaf.GetDisabledTextColor());
}

} // namespace
