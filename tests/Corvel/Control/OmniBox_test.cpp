#include "Corvel/Control/OmniBox.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Corvel/Control/ComboBoxWnd.h"
#include "Corvel/Control/OmniBoxWnd.h"
#include "Corvel/Control/support/EditTestSupport.h"
#include "Corvel/Control/support/GallerySupport.h"
#include "Corvel/Control/support/SkinnedWindow.h"
#include "Corvel/Core/ControlRegistry.h"

namespace {

using controltest::OpenSkinnedWindow;
using controltest::SkinnedWindow;
using testsupport::PumpFor;
using testsupport::PumpUntil;
using ui::Box;
using ui::Control;
using ui::OmniBox;

constexpr int kItemHeight = 30;
constexpr int kSuggestions = 4;
constexpr int kWindowX = 100, kWindowY = 100;

// An omnibox at (20, 20) - (220, 50) with a list three rows tall ("offset"
// moves the drop-down 4 pixels down) and four suggestions: one inside the
// list, three written after it.
const wchar_t kOmniSkin[] = LR"(<Window size="300,240">
  <Font name="DejaVu Sans" size="14"/>
  <Box bkcolor="#FFFFFFFF">
    <OmniBox name="omni" float="true" pos="20,20,200,30" lines="false" textcolor="#FF000000" hint="Type here" itemstyles="row">
      <VBox name="list" height="90" offset="0,4" vscrollbar="true" bkcolor="#FFEEEEEE">
        <Control name="s0" text="alpha" height="30"/>
      </VBox>
      <Control name="s1" text="beta" height="30"/>
      <Control name="s2" text="gamma" height="30" selected="true"/>
      <Control name="s3" text="delta" height="30"/>
    </OmniBox>
    <Edit name="other" float="true" pos="20,150,200,30" lines="false"/>
  </Box>
</Window>)";

Control* NewSuggestion(const wchar_t* text)
{
    auto* item = new Control();
    item->SetText(text);
    item->SetFixedHeight(kItemHeight);
    return item;
}

std::unique_ptr<OmniBox> OmniWithList(int count)
{
    auto omni = std::make_unique<OmniBox>();
    auto* list = dynamic_cast<Box*>(ui::GetControlClassRegistry().Create("VBox"));
    EXPECT_NE(nullptr, list);
    EXPECT_TRUE(omni->AppendChild(list));
    for (int i = 0; i < count; ++i)
        EXPECT_TRUE(omni->AppendChild(NewSuggestion((L"s" + std::to_wstring(i)).c_str())));
    return omni;
}

std::vector<bool> Selection(OmniBox& omni)
{
    std::vector<bool> out;
    for (int i = 0; i < omni.GetList()->ChildCount(); ++i)
        out.push_back(omni.GetList()->ChildAt(i)->IsSelected());
    return out;
}

class OmniBoxTest : public ::testing::Test {
protected:
    testsupport::UiLibraryScope lib;
};

TEST_F(OmniBoxTest, SuggestionsNeedTheListFirst)
{
    OmniBox omni;
    Control* early = NewSuggestion(L"early");
    EXPECT_FALSE(omni.AppendChild(early)) << "no list to take it";
    EXPECT_FALSE(omni.InsertChildAt(early, 0));
    delete early;
    EXPECT_FALSE(omni.SelectIndex(0));
    EXPECT_TRUE(omni.TryActivate()) << "without a list it works as a plain edit box";
    EXPECT_FALSE(omni.IsDropDownOpen());
    EXPECT_EQ(&omni, omni.CastTo(L"OmniBox"));
    EXPECT_EQ(nullptr, omni.CastTo(L"Edit"));
}

TEST_F(OmniBoxTest, InsertingAndRemovingKeepTheCurrentSuggestion)
{
    struct Case {
        const char* name;
        int current;
        bool insert;
        int index;
        int expectedCurrent;
        std::vector<bool> expectedSelection;
    };
    const Case cases[] = {
        {"insert at the current index follows it", 1, true, 1, 2, {false, false, true, false}},
        {"insert after the current index", 0, true, 1, 0, {true, false, false, false}},
        {"remove before the current one", 2, false, 0, 1, {false, true}},
        {"remove the current one selects the next", 1, false, 1, 1, {false, true}},
        {"remove after the current one", 0, false, 2, 0, {true, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<OmniBox> omni = OmniWithList(3);
        ASSERT_TRUE(omni->SelectIndex(c.current));
        if (c.insert) {
            Control* added = NewSuggestion(L"new");
            ASSERT_TRUE(omni->InsertChildAt(added, c.index));
            EXPECT_TRUE(added->IsSelectable());
        } else {
            ASSERT_TRUE(omni->RemoveChildAt(c.index));
        }
        EXPECT_EQ(c.expectedCurrent, omni->GetCurrentIndex());
        EXPECT_EQ(c.expectedSelection, Selection(*omni));
    }
    std::unique_ptr<OmniBox> omni = OmniWithList(2);
    EXPECT_FALSE(omni->RemoveChildAt(2)) << "past the last suggestion";
    Control stranger;
    EXPECT_FALSE(omni->RemoveChild(&stranger));
    omni->SelectIndex(1);
    omni->RemoveAllChildren(false);
    EXPECT_EQ(-1, omni->GetCurrentIndex());
    EXPECT_EQ(0, omni->GetList()->ChildCount());
}

TEST_F(OmniBoxTest, SelectingWithoutAWindow)
{
    std::unique_ptr<OmniBox> omni = OmniWithList(3);
    EXPECT_EQ(-1, omni->GetCurrentIndex());
    EXPECT_TRUE(omni->AppendChild(NewSuggestion(L"fourth")));
    EXPECT_TRUE(omni->SelectIndex(2));
    EXPECT_EQ((std::vector<bool>{false, false, true, false}), Selection(*omni));
    EXPECT_TRUE(omni->SelectItem(omni->GetList()->ChildAt(0)));
    EXPECT_EQ(0, omni->GetCurrentIndex());
    EXPECT_EQ((std::vector<bool>{true, false, false, false}), Selection(*omni));
    EXPECT_TRUE(omni->SelectIndex(-1));
    EXPECT_EQ((std::vector<bool>{false, false, false, false}), Selection(*omni));
}

class OmniWindowTest : public OmniBoxTest {
protected:
    void SetUp() override
    {
        SetCursorPos(5, 5);
        win = OpenSkinnedWindow(kOmniSkin, 300, 240, kWindowX, kWindowY, true);
        ASSERT_NE(nullptr, win);
        omni = win->Find<OmniBox>(L"omni");
        ASSERT_NE(nullptr, omni);
        ASSERT_NE(nullptr, omni->GetList());
    }
    void TearDown() override { win.reset(); }

    HWND DropDownWindow() const { return omni->GetDropDown() ? omni->GetDropDown()->GetHWND() : nullptr; }
    bool IsShown() const { return DropDownWindow() && IsWindowVisible(DropDownWindow()); }
    void ClickOmni()
    {
        SendMessageW(win->GetHWND(), WM_MOUSEMOVE, 0, MAKELPARAM(60, 35));
        SendMessageW(win->GetHWND(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(60, 35));
        SendMessageW(win->GetHWND(), WM_LBUTTONUP, 0, MAKELPARAM(60, 35));
    }
    void Open()
    {
        ClickOmni();
        ASSERT_TRUE(PumpUntil([this] { return IsShown() && omni->IsDropDownOpen(); }));
        ASSERT_TRUE(PumpUntil([this] { return omni->GetList()->GetAlpha() > 200; })) << "faded in";
    }

    std::unique_ptr<SkinnedWindow> win;
    OmniBox* omni = nullptr;
};

TEST_F(OmniWindowTest, MarkupGivesTheListItsSuggestions)
{
    Box* list = omni->GetList();
    ASSERT_EQ(kSuggestions, list->ChildCount());
    EXPECT_EQ(0, omni->ChildCount()) << "the suggestions are not the omnibox's own children";
    EXPECT_EQ(2, omni->GetCurrentIndex()) << "the selected suggestion is current";
    for (int i = 0; i < kSuggestions; ++i)
        EXPECT_TRUE(list->ChildAt(i)->IsSelectable()) << i;
    // "itemstyles" reaches the suggestions added to the list, not the list's
    // own first one.
    EXPECT_EQ(L"", list->ChildAt(0)->GetStyleName().ToStdString());
    Control* added = NewSuggestion(L"added");
    ASSERT_TRUE(omni->AppendChild(added));
    EXPECT_EQ(L"row", added->GetStyleName().ToStdString());
    Control* inserted = NewSuggestion(L"inserted");
    ASSERT_TRUE(omni->InsertChildAt(inserted, 0));
    EXPECT_EQ(L"row", inserted->GetStyleName().ToStdString());
    EXPECT_EQ(3, omni->GetCurrentIndex()) << "the current suggestion moved down with the insertion";
}

TEST_F(OmniWindowTest, FocusOpensTheDropDownBelowWithoutTakingTheKeyboard)
{
    Open();
    RECT r{};
    GetWindowRect(DropDownWindow(), &r);
    EXPECT_EQ(kWindowX + 20, r.left);
    EXPECT_EQ(kWindowY + 50 + 4, r.top) << "below the box, moved by the list's offset";
    EXPECT_EQ(kWindowX + 220, r.right);
    EXPECT_EQ(90, r.bottom - r.top) << "the list's height is smaller than its four suggestions";
    EXPECT_TRUE(GetWindowLongPtrW(DropDownWindow(), GWL_EXSTYLE) & WS_EX_NOACTIVATE);
    EXPECT_EQ(win->GetHWND(), GetWindow(DropDownWindow(), GW_OWNER));
    EXPECT_EQ(&win->Core(), omni->GetDropDown()->Core().GetParentCore());
    EXPECT_EQ(&omni->GetDropDown()->Core(), omni->GetList()->ChildAt(0)->GetCore());
    EXPECT_TRUE(omni->IsFocused());
    EXPECT_NE(DropDownWindow(), GetFocus()) << "the drop-down took the keyboard";

    // Typing still goes to the text; arrows do not move the suggestion.
    edittest::TypeText(win->GetHWND(), L"be");
    edittest::PressKey(win->GetHWND(), VK_DOWN);
    EXPECT_EQ(L"be", omni->GetText().ToStdString());
    EXPECT_EQ(2, omni->GetCurrentIndex());
    EXPECT_TRUE(omni->IsDropDownOpen());
}

TEST_F(OmniWindowTest, ClickingASuggestionChoosesItAndCloses)
{
    const int chosen[] = {0, 3, 1};
    for (int item : chosen) {
        SCOPED_TRACE(item);
        if (!omni->IsDropDownOpen()) {
            // Focus moves away and back: focusing the omnibox opens it.
            win->Find<ui::Edit>(L"other")->SetFocused(true);
        }
        Open();
        // The current suggestion is scrolled into view: find the item's row.
        Box* list = omni->GetList();
        const ui::RECTF b = list->ChildAt(item)->GetBounds();
        HWND drop = DropDownWindow();
        const int y = static_cast<int>((b.top + b.bottom) / 2);
        if (y < 0 || y >= 90) {
            omni->GetDropDown()->EnsureItemVisible(item);
        }
        const ui::RECTF shown = list->ChildAt(item)->GetBounds();
        const int cy = static_cast<int>((shown.top + shown.bottom) / 2);
        SendMessageW(drop, WM_MOUSEMOVE, 0, MAKELPARAM(50, cy));
        SendMessageW(drop, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, cy));
        SendMessageW(drop, WM_LBUTTONUP, 0, MAKELPARAM(50, cy));
        ASSERT_TRUE(PumpUntil([this] { return !IsShown(); }));
        EXPECT_EQ(item, omni->GetCurrentIndex());
        for (int i = 0; i < kSuggestions; ++i)
            EXPECT_EQ(i == item, list->ChildAt(i)->IsSelected()) << i;
        EXPECT_FALSE(omni->IsDropDownOpen());
    }
}

TEST_F(OmniWindowTest, LosingTheFocusClosesAndTheClosingClickDoesNotReopen)
{
    Open();
    win->Find<ui::Edit>(L"other")->SetFocused(true);
    ASSERT_TRUE(PumpUntil([this] { return !IsShown(); }));
    EXPECT_FALSE(omni->IsDropDownOpen());

    // Closed while the pointer is over the omnibox: its next activation only
    // makes it hot.
    omni->SetFocused(true);
    ASSERT_TRUE(PumpUntil([this] { return IsShown(); }));
    POINT onOmni{60, 35};
    ClientToScreen(win->GetHWND(), &onOmni);
    SetCursorPos(onOmni.x, onOmni.y);
    omni->HideDropDown();
    EXPECT_TRUE(omni->IsHot());
    EXPECT_TRUE(omni->TryActivate());
    PumpFor(100);
    EXPECT_FALSE(IsShown()) << "reopened by the closing click";
    EXPECT_TRUE(omni->TryActivate());
    EXPECT_TRUE(PumpUntil([this] { return IsShown(); })) << "the next activation opens it";
    SetCursorPos(5, 5);
}

TEST_F(OmniWindowTest, TheOpenDropDownFollowsItsMovingWindow)
{
    Open();
    constexpr int kMovedX = kWindowX + 40, kMovedY = kWindowY + 25;
    SetWindowPos(win->GetHWND(), nullptr, kMovedX, kMovedY, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ASSERT_TRUE(PumpUntil([this] {
        RECT r{};
        GetWindowRect(DropDownWindow(), &r);
        return r.left == kMovedX + 20;
    })) << "the drop-down stayed behind";
    RECT r{};
    GetWindowRect(DropDownWindow(), &r);
    EXPECT_EQ(kMovedY + 50 + 4, r.top);
    EXPECT_TRUE(omni->IsDropDownOpen());
}

// With one monitor under Xvfb the owner's monitor is the primary one too:
// this checks the way up, not the choice between monitors.
TEST_F(OmniWindowTest, NearTheBottomOfTheWorkAreaTheFirstOpeningGoesUp)
{
    const RECT work = ui::OwnerWorkArea(win->GetHWND());
    const int y = work.bottom - 80;
    SetWindowPos(win->GetHWND(), nullptr, kWindowX, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    PumpFor(50);
    Open();
    RECT r{};
    GetWindowRect(DropDownWindow(), &r);
    EXPECT_EQ(y + 20, r.bottom) << "its bottom at the omnibox's top";
    EXPECT_EQ(y + 20 - kSuggestions * kItemHeight, r.top) << "with every suggestion";
}

} // namespace

namespace {

// Edit boxes in their looks beside an omnibox with its drop-down open.
std::wstring GallerySkin()
{
    return LR"(<Window size="440,300">
  <Font name="WenQuanYi Micro Hei" size="14"/>
  <Box bkcolor="#FFF4F6F8">
)" + controltest::EditBoxesMarkup(20, 20, 180) +
           LR"(<Edit name="multi" float="true" pos="20,170,180,90" textcolor="#FF202020" bkcolor="#FFFFFFFF" inset="6,4,6,4" bordersize="1" bordercolor="#FF8090A0"/>
)" + controltest::OmniBoxMarkup(230, 20, 190) +
           LR"(  </Box>
</Window>)";
}

TEST_F(OmniBoxTest, ScreenshotOfEditBoxesAndAnOpenOmnibox)
{
    SetCursorPos(5, 5);
    // Away from the corner where the other tests' windows open.
    constexpr int kX = 760, kY = 420;
    std::unique_ptr<SkinnedWindow> win = OpenSkinnedWindow(GallerySkin().c_str(), 440, 300, kX, kY, true);
    ASSERT_NE(nullptr, win);
    auto* typed = win->Find<ui::Edit>(L"typed");
    auto* pw = win->Find<ui::Edit>(L"pw");
    auto* multi = win->Find<ui::Edit>(L"multi");
    auto* omni = win->Find<OmniBox>(L"omni");
    ASSERT_TRUE(typed && pw && multi && omni);
    pw->SetText(L"secret");
    multi->SetText(L"Two lines of text\r\u4F60\u597D, Corvel");
    omni->SetText(L"corvel.ex");
    ASSERT_TRUE(controltest::OpenDropDownBesideAFocusedEdit(*win, omni, typed, L"Focused box"));

    RECT shot{kX, kY, kX + 440, kY + 300};
    const testsupport::PixelImage px = testsupport::ReadScreenPixels(shot);
    ASSERT_EQ(440, px.width);
    // The drop-down shows its rows below the omnibox (window pixels
    // 230..420, from 50 down): some dark text ink there.
    const testsupport::Ink rows = testsupport::FindInk(
        px, [](uint32_t p) { return testsupport::R(p) < 100 && testsupport::G(p) < 100; }, 52, 140, 232, 418);
    EXPECT_GT(rows.pixels, 0) << "no suggestion text in the drop-down";
    EXPECT_TRUE(testsupport::SavePng(px, testsupport::ArtifactsFolder() + L"\\edit-boxes-and-omnibox.png"));
    SetCursorPos(5, 5);
}

} // namespace
