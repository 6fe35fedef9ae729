#include "Corvel/Control/ComboBox.h"
#include "Corvel/Control/ComboBoxWnd.h"
#include "Corvel/Control/support/SkinnedWindow.h"
#include "Corvel/Core/ControlRegistry.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Render/WndShadow.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using controltest::SkinnedWindow;
using controltest::NotifyRecorder;
using controltest::OpenSkinnedWindow;
using testsupport::PumpFor;
using testsupport::PumpUntil;
using ui::Box;
using ui::ComboBox;
using ui::Control;

// How long an opening is given before a focus event that closed it again is
// assumed and the drop-down is opened a second time.
constexpr DWORD kRetryWaitMs = 2000;
// Clicks that may be needed to open the drop-down on a loaded machine, and
// how long it must then stay open to count as opened.
constexpr int kOpenAttempts = 4;
constexpr DWORD kSettleMs = 200;
constexpr int kItemHeight = 30;

// The item container: the library's VBox.
Box* NewItemContainer()
{
    return dynamic_cast<Box*>(ui::GetControlClassRegistry().Create("VBox"));
}

Control* NewItem(const wchar_t* text)
{
    auto* item = new Control();
    item->SetText(text);
    item->SetFixedHeight(kItemHeight);
    return item;
}

// A combo box built by code with `count` items, none selected.
std::unique_ptr<ComboBox> ComboWithItems(int count)
{
    auto combo = std::make_unique<ComboBox>();
    Box* container = NewItemContainer();
    EXPECT_NE(nullptr, container);
    if (!container)
        return combo;
    EXPECT_TRUE(combo->AppendChild(container));
    for (int i = 0; i < count; ++i)
        EXPECT_TRUE(combo->AppendChild(NewItem((L"item " + std::to_wstring(i)).c_str())));
    return combo;
}

std::vector<bool> Selection(ComboBox& combo)
{
    std::vector<bool> out;
    for (int i = 0; i < combo.ChildCount(); ++i)
        out.push_back(combo.ChildAt(i)->IsSelected());
    return out;
}

class ComboBoxTest : public ::testing::Test {
protected:
    testsupport::UiLibraryScope lib;
};

TEST_F(ComboBoxTest, WithoutAnItemContainerNothingOpensOrMoves)
{
    ComboBox combo;
    EXPECT_FALSE(combo.ChooseItem(0));
    Control* loose = NewItem(L"loose");
    EXPECT_FALSE(combo.AppendChild(loose)) << "no container to take it";
    delete loose;
    EXPECT_EQ(0, combo.ChildCount());
    EXPECT_EQ(nullptr, combo.ChildAt(0));
    EXPECT_TRUE(combo.TryActivate());
    EXPECT_EQ(nullptr, combo.GetDropDown());
    EXPECT_FALSE(combo.IsSelected()) << "it does not stay open";
    for (WORD key : {VK_DOWN, VK_UP, VK_HOME, VK_END, VK_F4}) {
        ui::InputEvent ev;
        ev.type = ui::kEventKeyDown;
        ev.key = key;
        combo.HandleEvent(&ev);
        EXPECT_EQ(-1, combo.GetCurrentIndex());
    }
    EXPECT_TRUE(combo.GetText().IsEmpty());
}

TEST_F(ComboBoxTest, ChooseItemSelectsOnlyThatItemAndRaisesNothing)
{
    auto combo = ComboWithItems(3);
    ASSERT_EQ(3, combo->ChildCount());
    int itemSelects = 0;
    combo->BindNamedCallback(L"itemselect", [&itemSelects] { ++itemSelects; });
    struct Step {
        int index;
        int current;
        std::vector<bool> selected;
    };
    const Step steps[] = {
        {1, 1, {false, true, false}},
        {1, 1, {false, true, false}},  // already current: nothing changes
        {2, 2, {false, false, true}},
        {7, 7, {false, false, false}}, // no such item: all deselected, still current
        {0, 0, {true, false, false}},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.index);
        EXPECT_TRUE(combo->ChooseItem(s.index));
        EXPECT_EQ(s.current, combo->GetCurrentIndex());
        EXPECT_EQ(s.selected, Selection(*combo));
    }
    EXPECT_EQ(0, itemSelects) << "the application's choices are not announced";
    EXPECT_STREQ(L"item 0", combo->GetText().GetData());
}

TEST_F(ComboBoxTest, RemovingAndInsertingItemsKeepsTheCurrentItem)
{
    struct Case {
        const char* what;
        int current;
        std::function<bool(ComboBox&, Control* stranger)> change;
        bool result;
        int count, after;
    };
    const Case cases[] = {
        {"a stranger changes nothing", 2, [](ComboBox& c, Control* s) { return c.RemoveChild(s); }, false, 4, 2},
        {"an index past the end", 2, [](ComboBox& c, Control*) { return c.RemoveChildAt(4); }, false, 4, 2},
        {"an item before the current one", 2, [](ComboBox& c, Control*) { return c.RemoveChildAt(0); }, true, 3, 1},
        {"an item after it", 2, [](ComboBox& c, Control*) { return c.RemoveChildAt(3); }, true, 3, 2},
        {"the current item: the one that takes its place", 2,
         [](ComboBox& c, Control*) { return c.RemoveChildAt(2); }, true, 3, 2},
        {"the current and last item: the one before it", 3,
         [](ComboBox& c, Control*) { return c.RemoveChildAt(3); }, true, 3, 2},
        {"the first and current item: the next one", 0, [](ComboBox& c, Control*) { return c.RemoveChildAt(0); },
         true, 3, 0},
        {"an insert before the current item", 2,
         [](ComboBox& c, Control*) { return c.InsertChildAt(NewItem(L"new"), 1); }, true, 5, 3},
        {"an insert after it", 2, [](ComboBox& c, Control*) { return c.InsertChildAt(NewItem(L"new"), 3); }, true, 5,
         2},
        {"all of them", 2,
         [](ComboBox& c, Control*) {
             c.RemoveAllChildren(true);
             return true;
         },
         true, 0, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto combo = ComboWithItems(4);
        Control stranger;
        ASSERT_TRUE(combo->ChooseItem(c.current));
        EXPECT_EQ(c.result, c.change(*combo, &stranger));
        EXPECT_EQ(c.count, combo->ChildCount());
        EXPECT_EQ(c.after, combo->GetCurrentIndex());
        if (c.after >= 0) {
            EXPECT_TRUE(combo->ChildAt(c.after)->IsSelected());
        }
    }
}

TEST_F(ComboBoxTest, PlacesTheDropDownBelowOrAboveOnTheOwnersMonitor)
{
    ui::DropDownPlacement p;
    p.combo = ui::RECTF{20, 20, 170, 50};
    p.itemsHeight = 120;
    p.clientOrigin = POINT{100, 100};
    const RECT primary{0, 0, 1024, 740};
    // A second monitor to the right and lower than the first one.
    const RECT second{1024, 200, 2048, 1200};
    struct Case {
        const char* what;
        float listHeight;
        const wchar_t* inflate;
        const wchar_t* offset;
        POINT origin;
        RECT work;
        RECT expected;
    };
    const Case cases[] = {
        {"as tall as the items", -1, L"", L"", {100, 100}, primary, {120, 150, 270, 270}},
        {"at most the container's height", 90, L"", L"", {100, 100}, primary, {120, 150, 270, 240}},
        {"fewer items than the height", 200, L"", L"", {100, 100}, primary, {120, 150, 270, 270}},
        {"inflated on both axes", -1, L"4", L"", {100, 100}, primary, {116, 146, 274, 274}},
        {"inflated by x and y", -1, L"4,2", L"", {100, 100}, primary, {116, 148, 274, 272}},
        {"offset, then grown", -1, L"", L"1,2,10,20", {100, 100}, primary, {121, 152, 281, 292}},
        {"one offset serves both axes", -1, L"", L"3", {100, 100}, primary, {123, 153, 273, 273}},
        {"near the bottom: above, with every item", 90, L"4", L"3", {100, 600}, primary, {120, 500, 270, 620}},
        {"low on the second monitor it still opens below", -1, L"", L"", {1100, 700}, second,
         {1120, 750, 1270, 870}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ui::DropDownPlacement q = p;
        q.listHeight = c.listHeight;
        q.inflate = c.inflate;
        q.offset = c.offset;
        q.clientOrigin = c.origin;
        const RECT r = ui::PlaceDropDown(q, c.work);
        EXPECT_EQ(c.expected.left, r.left);
        EXPECT_EQ(c.expected.top, r.top);
        EXPECT_EQ(c.expected.right, r.right);
        EXPECT_EQ(c.expected.bottom, r.bottom);
    }
}

// ------------------------------------------------------- real windows

// Items 0..4 of 30 pixels; item 3 is disabled; item 1 starts selected.
const wchar_t kComboSkin[] = LR"(<Window size="300,200">
  <Box bkcolor="#FFFFFFFF">
    <ComboBox name="combo" pos="20,20,150,30" text="pick" bkcolor="#FFDDDDDD">
      <VBox>
        <Control name="i0" text="Zero" height="30"/>
        <Control name="i1" text="One" height="30" selected="true"/>
        <Control name="i2" text="Two" height="30"/>
        <Control name="i3" text="Three" height="30" enabled="false"/>
        <Control name="i4" text="Four" height="30"/>
      </VBox>
    </ComboBox>
    <Control name="other" pos="20,120,100,30" text="other"/>
  </Box>
</Window>)";

constexpr int kWindowX = 100, kWindowY = 100;
constexpr int kItems = 5;

LPARAM ClientPoint(int x, int y) { return MAKELPARAM(x, y); }

// A click of the left button at a client point, as the window's queue gets it.
void PostClick(HWND hwnd, int x, int y)
{
    PostMessageW(hwnd, WM_MOUSEMOVE, 0, ClientPoint(x, y));
    PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, ClientPoint(x, y));
    PostMessageW(hwnd, WM_LBUTTONUP, 0, ClientPoint(x, y));
}

class ComboWindowTest : public ComboBoxTest {
protected:
    void SetUp() override
    {
        SetCursorPos(5, 5);
        win = OpenSkinnedWindow(kComboSkin, 300, 200, kWindowX, kWindowY, true);
        ASSERT_NE(nullptr, win);
        win->Core().AddNotifyListener(&notes);
        combo = win->Find<ComboBox>(L"combo");
        ASSERT_NE(nullptr, combo);
        ASSERT_EQ(kItems, combo->ChildCount());
        ASSERT_EQ(1, combo->GetCurrentIndex());
    }
    void TearDown() override { win.reset(); }

    HWND DropDownWindow() const { return combo->GetDropDown() ? combo->GetDropDown()->GetHWND() : nullptr; }
    bool IsShown() const { return DropDownWindow() && IsWindowVisible(DropDownWindow()); }

    // Clicks the combo box and waits until its drop-down shows.
    void OpenByClick()
    {
        // Under a loaded Wine a focus event of the window's own activation
        // can still arrive after the drop-down took the focus, and close
        // it: the drop-down counts as open once it stayed open a moment,
        // and a click opens it again until then.
        const auto open = [this] { return IsShown() && combo->IsDropDownOpen(); };
        for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
            if (!open())
                PostClick(win->GetHWND(), 60, 35);
            if (PumpUntil(open, kRetryWaitMs)) {
                PumpFor(kSettleMs);
                if (open())
                    break;
            }
        }
        ASSERT_TRUE(open());
        ASSERT_TRUE(PumpUntil([this] { return combo->GetItemContainer()->GetAlpha() > 200; })) << "faded in";
    }
    std::vector<std::pair<WPARAM, LPARAM>> ItemSelects() const
    {
        std::vector<std::pair<WPARAM, LPARAM>> out;
        for (const auto& r : notes.OfType(L"itemselect"))
            out.emplace_back(r.wParam, r.lParam);
        return out;
    }

    std::unique_ptr<SkinnedWindow> win;
    ComboBox* combo = nullptr;
    NotifyRecorder notes;
};

TEST_F(ComboWindowTest, AClickOpensTheDropDownBelowTheComboBox)
{
    OpenByClick();
    RECT r{};
    GetWindowRect(DropDownWindow(), &r);
    EXPECT_EQ(kWindowX + 20, r.left);
    EXPECT_EQ(kWindowY + 50, r.top);
    EXPECT_EQ(kWindowX + 170, r.right);
    EXPECT_EQ(kWindowY + 50 + kItems * kItemHeight, r.bottom) << "as tall as its items";
    EXPECT_EQ(GetWindow(DropDownWindow(), GW_OWNER), win->GetHWND());
    EXPECT_TRUE(GetWindowLongPtrW(DropDownWindow(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_TRUE(combo->IsSelected()) << "selected while open";
    EXPECT_EQ(&win->Core(), combo->GetDropDown()->Core().GetParentCore());
    EXPECT_EQ(&combo->GetDropDown()->Core(), combo->ChildAt(0)->GetCore()) << "the items live in the drop-down";
}

TEST_F(ComboWindowTest, ChoosingByMouseRaisesItemselectAndCloses)
{
    struct Case {
        int item;
        std::vector<std::pair<WPARAM, LPARAM>> raised;
        int current;
    };
    const Case cases[] = {
        {2, {{2, 1}}, 2},
        {2, {}, 2},      // the current item again: nothing to announce
        {0, {{0, 2}}, 0},
        {3, {}, 0},      // disabled: cannot be chosen
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        notes.records.clear();
        OpenByClick();
        PostClick(DropDownWindow(), 50, c.item * kItemHeight + kItemHeight / 2);
        if (c.item == 3) {
            PumpFor(150);
            PostMessageW(DropDownWindow(), WM_KEYDOWN, VK_ESCAPE, 0);
        }
        ASSERT_TRUE(PumpUntil([this] { return !IsShown(); }));
        EXPECT_EQ(c.raised, ItemSelects());
        EXPECT_EQ(c.current, combo->GetCurrentIndex());
        EXPECT_FALSE(combo->IsSelected());
        EXPECT_FALSE(combo->IsDropDownOpen());
        for (int i = 0; i < kItems; ++i)
            EXPECT_EQ(i == c.current, combo->ChildAt(i)->IsSelected()) << i;
    }
    EXPECT_STREQ(L"Zero", combo->GetText().GetData());
}

TEST_F(ComboWindowTest, KeysMoveTheCurrentItemOpenOrClosed)
{
    struct Case {
        bool open;
        WORD key;
        int current;
        bool raised;
    };
    const Case cases[] = {
        {false, VK_DOWN, 2, true}, {false, VK_DOWN, 4, true},  // skips the disabled item
        {false, VK_DOWN, 4, false}, {false, VK_HOME, 0, true}, {false, VK_UP, 0, false},
        {false, VK_END, 4, true},  {true, VK_UP, 2, true},     {true, VK_PRIOR, 1, true},
        {true, VK_NEXT, 2, true},
    };
    win->Core().FocusControl(combo);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.open ? "open " : "closed ") << c.key);
        if (c.open && !IsShown())
            OpenByClick();
        notes.records.clear();
        const int before = combo->GetCurrentIndex();
        PostMessageW(c.open ? DropDownWindow() : win->GetHWND(), WM_KEYDOWN, c.key, 0);
        // A key that moves the item is waited for (a loaded machine may take a while);
        // one that must not move it gets a fixed time to show a wrong move.
        if (c.raised)
            PumpUntil([&] { return combo->GetCurrentIndex() == c.current && !ItemSelects().empty(); });
        else
            PumpFor(80);
        EXPECT_EQ(c.current, combo->GetCurrentIndex());
        const std::vector<std::pair<WPARAM, LPARAM>> expected =
            c.raised ? std::vector<std::pair<WPARAM, LPARAM>>{{WPARAM(c.current), LPARAM(before)}}
                     : std::vector<std::pair<WPARAM, LPARAM>>{};
        EXPECT_EQ(expected, ItemSelects());
        EXPECT_EQ(c.open, IsShown()) << "arrows leave the drop-down as it was";
    }
}

TEST_F(ComboWindowTest, EnterEscapeAndFocusLossCloseWithoutChanging)
{
    const std::vector<std::pair<const char*, std::function<void()>>> ways = {
        {"Enter", [this] { PostMessageW(DropDownWindow(), WM_KEYDOWN, VK_RETURN, 0); }},
        {"Escape", [this] { PostMessageW(DropDownWindow(), WM_KEYDOWN, VK_ESCAPE, 0); }},
        {"focus to the application window", [this] { SetFocus(win->GetHWND()); }},
        {"another window activated",
         [] {
             HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 600, 600, 50, 50, nullptr,
                                          nullptr, nullptr, nullptr);
             SetForegroundWindow(other);
             SetFocus(other);
             PumpFor(50);
             DestroyWindow(other);
         }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.first);
        notes.records.clear();
        OpenByClick();
        way.second();
        EXPECT_TRUE(PumpUntil([this] { return !IsShown(); }));
        EXPECT_FALSE(combo->IsDropDownOpen());
        EXPECT_FALSE(combo->IsSelected());
        EXPECT_EQ(1, combo->GetCurrentIndex());
        EXPECT_TRUE(ItemSelects().empty());
        SetForegroundWindow(win->GetHWND());
        SetFocus(win->GetHWND());
        PumpFor(30);
    }
}

TEST_F(ComboWindowTest, TheClickThatClosesTheDropDownDoesNotReopenIt)
{
    OpenByClick();
    POINT onCombo{60, 35};
    ClientToScreen(win->GetHWND(), &onCombo);
    SetCursorPos(onCombo.x, onCombo.y);
    // The press on the application window takes the focus from the drop-down
    // first, then reaches the combo box.
    SetFocus(win->GetHWND());
    ASSERT_TRUE(PumpUntil([this] { return !IsShown(); }));
    PostClick(win->GetHWND(), 60, 35);
    PumpFor(150);
    EXPECT_FALSE(IsShown()) << "not reopened";
    EXPECT_TRUE(combo->IsHot());
    // The next click opens it again.
    OpenByClick();
    SetCursorPos(5, 5);
}

TEST_F(ComboWindowTest, NearTheBottomOfTheWorkAreaItOpensUpwards)
{
    const RECT work = ui::OwnerWorkArea(win->GetHWND());
    const int y = work.bottom - 70;
    SetWindowPos(win->GetHWND(), nullptr, kWindowX, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    PumpFor(50);
    OpenByClick();
    RECT r{};
    GetWindowRect(DropDownWindow(), &r);
    EXPECT_EQ(y + 20, r.bottom) << "its bottom at the combo box's top";
    EXPECT_EQ(y + 20 - kItems * kItemHeight, r.top);
    EXPECT_EQ(kWindowX + 20, r.left);
}

// Eight text rows of 30 pixels in a drop-down three rows tall: the list
// scrolls (the rows below the drop-down keep their height).
const wchar_t kLongComboSkin[] = LR"(<Window size="300,200">
  <Box bkcolor="#FFFFFFFF">
    <ComboBox name="combo" pos="20,20,150,30" text="pick">
      <VBox height="90" vscrollbar="true">
        <Control text="r0" height="30" selected="true"/>
        <Control text="r1" height="30"/>
        <Control text="r2" height="30"/>
        <Control text="r3" height="30"/>
        <Control text="r4" height="30"/>
        <Control text="r5" height="30"/>
        <Control text="r6" height="30"/>
        <Control text="r7" height="30"/>
      </VBox>
    </ComboBox>
  </Box>
</Window>)";

TEST_F(ComboBoxTest, ChoosingByKeysScrollsTheChosenRowIntoTheDropDown)
{
    constexpr int kShownRows = 3;
    constexpr int kRows = 8;
    constexpr int kLastOffset = (kRows - kShownRows) * kItemHeight;
    auto win = OpenSkinnedWindow(kLongComboSkin, 300, 200, kWindowX, kWindowY, true);
    ASSERT_NE(nullptr, win);
    auto* combo = win->Find<ComboBox>(L"combo");
    ASSERT_NE(nullptr, combo);
    win->Core().FocusControl(combo);
    ASSERT_TRUE(combo->TryActivate());
    ASSERT_TRUE(PumpUntil([combo] { return combo->IsDropDownOpen(); }));
    HWND dropDown = combo->GetDropDown()->GetHWND();
    RECT r{};
    GetWindowRect(dropDown, &r);
    ASSERT_EQ(kShownRows * kItemHeight, r.bottom - r.top) << "at most the container's height";
    Box* list = combo->GetItemContainer();
    ASSERT_NE(nullptr, list->GetVScrollBar());
    ASSERT_TRUE(PumpUntil([list] { return list->GetScrollExtent().vertical == kLastOffset; }));

    struct Case {
        WORD key;
        int current;
        float offset;
    };
    const Case cases[] = {
        {VK_DOWN, 1, 30},  {VK_DOWN, 2, 60}, {VK_NEXT, 3, 90},
        {VK_END, 7, kLastOffset},    // the last row: as far as the list goes
        {VK_UP, 6, kLastOffset},     // already in view at the end
        {VK_HOME, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key);
        PostMessageW(dropDown, WM_KEYDOWN, c.key, 0);
        ASSERT_TRUE(PumpUntil([&] { return combo->GetCurrentIndex() == c.current; }));
        EXPECT_FLOAT_EQ(c.offset, list->GetScrollOffset().vertical);
        const ui::RECTF row = combo->ChildAt(c.current)->GetBounds();
        const ui::RECTF box = list->GetBounds();
        EXPECT_GE(row.top, box.top) << "the chosen row is in view";
        EXPECT_LE(row.bottom, box.bottom);
    }

    // Reopening shows the current row again.
    PostMessageW(dropDown, WM_KEYDOWN, VK_END, 0);
    ASSERT_TRUE(PumpUntil([combo] { return combo->GetCurrentIndex() == kRows - 1; }));
    combo->CloseDropDown();
    list->SetScrollOffset(0, 0);
    ASSERT_TRUE(combo->TryActivate());
    ASSERT_TRUE(PumpUntil([combo] { return combo->IsDropDownOpen(); }));
    EXPECT_FLOAT_EQ(float(kLastOffset), list->GetScrollOffset().vertical);
}

TEST_F(ComboBoxTest, TheContainersDropShadowFollowsTheDropDown)
{
    struct Case {
        const wchar_t* value;
        bool shadow;
    };
    const Case cases[] = {{L"true", true}, {L"false", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.value);
        const std::wstring skin = std::wstring(L"<Window size=\"300,200\" shadow=\"true\"><Box>"
                                               L"<ComboBox name=\"combo\" pos=\"20,20,150,30\">"
                                               L"<VBox dropshadow=\"") +
                                  c.value +
                                  L"\"><Control text=\"A\" height=\"30\"/><Control text=\"B\" height=\"30\"/>"
                                  L"</VBox></ComboBox></Box></Window>";
        auto win = OpenSkinnedWindow(skin.c_str(), 300, 200, 100, 100, true);
        auto* combo = win->Find<ComboBox>(L"combo");
        ASSERT_NE(nullptr, combo);
        ASSERT_TRUE(combo->TryActivate());
        // A late focus event of the window's activation may close it again
        // under a loaded Wine (see OpenByClick): open it a second time.
        if (!PumpUntil([combo] { return combo->IsDropDownOpen(); }, kRetryWaitMs)) {
            ASSERT_TRUE(combo->TryActivate());
        }
        ASSERT_TRUE(PumpUntil([combo] { return combo->IsDropDownOpen(); }));
        CWndShadow* shadow = combo->GetDropDown()->Shadow();
        EXPECT_EQ(c.shadow, shadow != nullptr);
        if (!shadow)
            continue;
        ASSERT_NE(nullptr, shadow->GetHandle());
        EXPECT_TRUE(PumpUntil([shadow] { return IsWindowVisible(shadow->GetHandle()) != FALSE; }))
            << "shown with the drop-down";
        combo->CloseDropDown();
        EXPECT_FALSE(IsWindowVisible(shadow->GetHandle())) << "hidden with it";
    }
}

TEST_F(ComboWindowTest, AClosedDropDownWindowHandsTheItemsBackAndIsMadeAgain)
{
    OpenByClick();
    HWND first = DropDownWindow();
    PostMessageW(first, WM_CLOSE, 0, 0);
    ASSERT_TRUE(PumpUntil([first] { return !IsWindow(first); }));
    EXPECT_FALSE(combo->IsDropDownOpen());
    EXPECT_FALSE(combo->IsSelected());
    EXPECT_EQ(&win->Core(), combo->GetItemContainer()->GetCore()) << "the items are back";
    EXPECT_EQ(combo, combo->GetItemContainer()->GetParent());
    EXPECT_EQ(combo, win->Core().GetFocus());

    OpenByClick();
    EXPECT_EQ(&combo->GetDropDown()->Core(), combo->ChildAt(0)->GetCore());
    PostMessageW(DropDownWindow(), WM_KEYDOWN, VK_DOWN, 0);
    ASSERT_TRUE(PumpUntil([this] { return combo->GetCurrentIndex() == 2; }));
    PostClick(DropDownWindow(), 50, kItemHeight / 2);
    ASSERT_TRUE(PumpUntil([this] { return !IsShown(); }));
    EXPECT_EQ(0, combo->GetCurrentIndex());
}

TEST_F(ComboWindowTest, DeletingTheComboBoxWhileOpenTakesTheDropDownAlong)
{
    OpenByClick();
    HWND dropDown = DropDownWindow();
    ASSERT_TRUE(IsWindow(dropDown));
    auto* board = dynamic_cast<Box*>(win->Core().GetRoot());
    ASSERT_NE(nullptr, board);
    board->SetDeferredDelete(false);
    ASSERT_TRUE(board->RemoveChild(combo));
    combo = nullptr;
    EXPECT_FALSE(IsWindow(dropDown));
    PumpFor(100);
    EXPECT_EQ(nullptr, win->FindControl(L"combo"));
}

TEST_F(ComboWindowTest, ClosingTheWindowWhileOpenLeavesNothingBehind)
{
    // The system destroys the owned drop-down first; the combo box and its
    // items go later, with the window's tree.
    OpenByClick();
    HWND dropDown = DropDownWindow();
    DestroyWindow(win->GetHWND());
    EXPECT_FALSE(IsWindow(dropDown));
    EXPECT_FALSE(combo->IsDropDownOpen());
    PumpFor(100);
    win.reset();
    combo = nullptr;
    PumpFor(100);
}

} // namespace
