// Menus: keys and child rules by code, sub-menu placement as a table, and a
// skinned window whose menu opens sub-menu windows by hover, closes them by
// Escape, by a click outside and by choosing an item.
#include "Corvel/Control/Menu.h"
#include "Corvel/Control/MenuElement.h"
#include "Corvel/Control/MenuWnd.h"
#include "Corvel/Control/support/SkinnedWindow.h"
#include "Corvel/Core/WindowCore.h"
#include "support/Pixels.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using controltest::OpenSkinnedWindow;
using controltest::SkinnedWindow;
using testsupport::PumpFor;
using testsupport::PumpUntil;
using ui::CMenuWnd;
using ui::Control;
using ui::Menu;
using ui::MenuElement;

class MenuTest : public ::testing::Test {
protected:
    testsupport::UiLibraryScope lib;
};

MenuElement* NewElement(const wchar_t* text)
{
    auto* e = new MenuElement();
    e->SetText(text);
    return e;
}

TEST_F(MenuTest, KeysFollowThePathInTheMenuTree)
{
    Menu menu;
    MenuElement* file = NewElement(L"File");
    MenuElement* open = NewElement(L"Open");
    MenuElement* recent = NewElement(L"Recent");
    MenuElement* last = NewElement(L"Last");
    ASSERT_TRUE(recent->AppendChild(last));
    ASSERT_TRUE(file->AppendChild(open));
    ASSERT_TRUE(file->AppendChild(recent));
    MenuElement* edit = NewElement(L"Edit");
    ASSERT_TRUE(menu.AppendChild(edit));
    ASSERT_TRUE(menu.AppendChild(file));
    MenuElement* first = NewElement(L"First");
    ASSERT_TRUE(menu.InsertChildAt(first, 0));

    struct Case {
        MenuElement* element;
        const wchar_t* key;
        bool visible;
    };
    const Case cases[] = {
        {first, L"0", true},       // inserted at 0: the index is its key
        {edit, L"0", true},        // appended first; the insert does not rename it
        {file, L"1", true},
        {open, L"1s0", false},     // sub-elements: the row's key, "s", their index
        {recent, L"1s1", false},
        {last, L"0", false},       // one level further: only re-keyed in its sub-menu
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.element->GetText().GetData());
        EXPECT_EQ(c.key, c.element->GetKey());
        EXPECT_EQ(c.visible, c.element->IsVisible()) << "sub-elements show only in their window";
    }
    EXPECT_EQ(menu.CastTo(L"IList"), file->GetOwner()) << "the menu's list holds the row";
    EXPECT_EQ(3, menu.ChildCount());
    // Rows of the list: their indices follow the insert.
    EXPECT_EQ(0, first->GetIndex());
    EXPECT_EQ(1, edit->GetIndex());
    EXPECT_EQ(2, file->GetIndex());
    // Selecting a row shows on its content, not on its sub-elements: they
    // are rows of their own sub-menu.
    ASSERT_TRUE(menu.SelectRow(2, false));
    EXPECT_TRUE(file->IsSelected());
    EXPECT_FALSE(open->IsSelected());
    EXPECT_FALSE(recent->IsSelected());
}

TEST_F(MenuTest, OnlyMenuElementsJoinAMenu)
{
    Menu menu;
    ASSERT_TRUE(menu.AppendChild(NewElement(L"a")));
    Control plain;
    EXPECT_FALSE(menu.AppendChild(&plain));
    EXPECT_FALSE(menu.InsertChildAt(&plain, 0));
    EXPECT_FALSE(menu.MoveChild(&plain, 0));
    EXPECT_FALSE(menu.RemoveChild(&plain));
    EXPECT_EQ(-1, menu.IndexOfChild(&plain));
    EXPECT_EQ(1, menu.ChildCount()) << "the menu is unchanged";
    EXPECT_EQ(nullptr, plain.GetParent());
    EXPECT_TRUE(menu.CastTo(L"menu")) << "any case";
    EXPECT_TRUE(menu.ChildAt(0)->CastTo(L"ListItem"));
}

TEST_F(MenuTest, OffsetAttributeReadsOneOrTwoValues)
{
    struct Case {
        const wchar_t* text;
        int x, y;
    } const cases[] = {{L"5", 5, 0}, {L"7,-3", 7, -3}, {L"12;4", 12, 4}};
    for (const Case& c : cases) {
        Menu menu;
        menu.SetAttribute(L"offset", c.text);
        EXPECT_EQ(c.x, menu.GetOffsetX()) << c.text;
        EXPECT_EQ(c.y, menu.GetOffsetY()) << c.text;
    }
}

TEST_F(MenuTest, SubMenuPlacementStaysOnTheWorkArea)
{
    const RECT work{0, 0, 800, 600};
    struct Case {
        const char* name;
        RECT parent;
        ui::RECTF element;
        SIZE size;
        RECT expected;
    } const cases[] = {
        {"right of the parent, overlapping 2 px", {100, 100, 300, 300}, {0, 30, 200, 60}, {150, 90}, {298, 130, 448, 220}},
        {"left of the parent near the right edge", {600, 100, 750, 300}, {0, 0, 150, 30}, {120, 60}, {482, 100, 602, 160}},
        {"moved up to end at the element's bottom", {100, 500, 300, 590}, {0, 60, 200, 90}, {150, 90}, {298, 500, 448, 590}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const RECT r = ui::PlaceSubMenu(c.parent, c.element, c.size, work);
        EXPECT_EQ(c.expected.left, r.left);
        EXPECT_EQ(c.expected.top, r.top);
        EXPECT_EQ(c.expected.right, r.right);
        EXPECT_EQ(c.expected.bottom, r.bottom);
    }
}

// ------------------------------------------------------- real windows

// Rows of 30 pixels from (10, 10): "File" (with "Open" and "Recent", which
// has "Last"), "Edit" and "Quit".
// The menus' look comes from the window's defaults, which the sub-menu
// windows take as well.
const wchar_t kMenuSkin[] = LR"(<Window size="300,200">
  <Default name="Menu" value="bkcolor=&quot;#FFF4F4F4&quot; itemhotbkcolor=&quot;#FF3070C0&quot; itemhottextcolor=&quot;#FFFFFFFF&quot; itemselectedbkcolor=&quot;#FF90B8E8&quot; itemtextpadding=&quot;8,0,0,0&quot;"/>
  <Box bkcolor="#FFFFFFFF">
    <Menu name="menu" pos="10,10,120,90">
      <MenuElement name="file" text="File" height="30">
        <MenuElement name="open" text="Open" width="140" height="30"/>
        <MenuElement name="recent" text="Recent" width="140" height="30">
          <MenuElement name="last" text="Last" width="120" height="30"/>
        </MenuElement>
      </MenuElement>
      <MenuElement name="edit" text="Edit" height="30"/>
      <MenuElement name="quit" text="Quit" height="30"/>
    </Menu>
  </Box>
</Window>)";

constexpr int kWindowX = 100, kWindowY = 100, kWindowW = 300, kWindowH = 200;
constexpr int kRowHeight = 30;
// The middle of a row of the window's menu, client pixels.
POINT RowPoint(int row) { return POINT{60, 10 + row * kRowHeight + kRowHeight / 2}; }

void PostMove(HWND hwnd, POINT p) { PostMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(p.x, p.y)); }

void PostClick(HWND hwnd, POINT p)
{
    PostMove(hwnd, p);
    PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
    PostMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
}

BOOL CALLBACK CountVisibleMenuWindow(HWND hwnd, LPARAM data)
{
    wchar_t name[32] = {};
    GetClassNameW(hwnd, name, 32);
    if (wcscmp(name, L"MenuWnd") == 0 && IsWindowVisible(hwnd))
        ++*reinterpret_cast<int*>(data);
    return TRUE;
}

// Visible windows of the menu window class, this process.
int VisibleMenuWindows()
{
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountVisibleMenuWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

class MenuWindowTest : public MenuTest {
public:
    void SetUp() override
    {
        SetCursorPos(5, 5);
        win = OpenSkinnedWindow(kMenuSkin, kWindowW, kWindowH, kWindowX, kWindowY, true);
        ASSERT_NE(nullptr, win);
        menu = win->Find<Menu>(L"menu");
        file = win->Find<MenuElement>(L"file");
        open = win->Find<MenuElement>(L"open");
        ASSERT_TRUE(menu && file && open);
    }
    void TearDown() override
    {
        win.reset();
        PumpFor(50);
    }

    HWND SubMenuWindow() const { return file->GetSubMenuWindow() ? file->GetSubMenuWindow()->GetHWND() : nullptr; }
    bool IsSubMenuShown() const { return SubMenuWindow() && IsWindowVisible(SubMenuWindow()); }
    // Hovers "File" and waits for its sub-menu window to show.
    void OpenByHover()
    {
        PostMove(win->GetHWND(), RowPoint(0));
        ASSERT_TRUE(PumpUntil([this] { return IsSubMenuShown(); }));
        ASSERT_TRUE(PumpUntil([this] {
            return !file->GetSubMenuWindow()->Core().IsFirstLayoutPendingForTesting();
        }));
    }
    // The sub-elements are back in "File" and hidden, and the window is gone.
    void ExpectClosed()
    {
        EXPECT_EQ(nullptr, file->GetSubMenuWindow());
        EXPECT_EQ(0, VisibleMenuWindows());
        EXPECT_EQ(0, ui::MenuObserver().ReceiverCount()) << "no window stays registered";
        EXPECT_EQ(file, open->GetParent());
        EXPECT_EQ(&win->Core(), open->GetCore());
        EXPECT_EQ(open, win->Find<MenuElement>(L"open")) << "found by name in its window again";
        EXPECT_FALSE(open->IsVisible());
        EXPECT_EQ(0, file->GetRowState() & ui::kRowSubMenuOpen);
    }

    std::unique_ptr<SkinnedWindow> win;
    Menu* menu = nullptr;
    MenuElement* file = nullptr;
    MenuElement* open = nullptr;
};

TEST_F(MenuWindowTest, HoverOpensOneSubMenuWindowBesideTheMenu)
{
    OpenByHover();
    HWND sub = SubMenuWindow();
    RECT r{};
    GetWindowRect(sub, &r);
    EXPECT_EQ(kWindowX + kWindowW - 2, r.left) << "overlaps the parent window by 2 pixels";
    EXPECT_EQ(kWindowY + 10, r.top) << "level with the row";
    EXPECT_EQ(140, r.right - r.left) << "as wide as the widest sub-element";
    EXPECT_EQ(2 * kRowHeight, r.bottom - r.top) << "as tall as the sub-elements";
    EXPECT_EQ(win->GetHWND(), GetWindow(sub, GW_OWNER));
    EXPECT_TRUE(GetWindowLongPtrW(sub, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    CMenuWnd* window = file->GetSubMenuWindow();
    EXPECT_EQ(&win->Core(), window->Core().GetParentCore());
    EXPECT_EQ(&window->Core(), open->GetCore()) << "the rows live in the sub-menu window";
    EXPECT_EQ(L"0s0", open->GetKey());
    EXPECT_TRUE(file->IsSelected());

    // Entering the row again while its window is open changes nothing.
    PostMove(win->GetHWND(), POINT{RowPoint(0).x, RowPoint(0).y + 5});
    PumpFor(100);
    EXPECT_EQ(window, file->GetSubMenuWindow());
    EXPECT_EQ(1, VisibleMenuWindows());
}

TEST_F(MenuWindowTest, SubMenusCloseByEscapeByALeafOfTheSameMenuAndByClickingOutside)
{
    struct Case {
        const char* name;
        void (*close)(MenuWindowTest& t);
    } const cases[] = {
        {"Escape in the sub-menu",
         [](MenuWindowTest& t) { PostMessageW(t.SubMenuWindow(), WM_KEYDOWN, VK_ESCAPE, 0); }},
        {"the pointer moves to a leaf of the same menu",
         [](MenuWindowTest& t) { PostMove(t.win->GetHWND(), RowPoint(1)); }},
        {"a click in the application window outside the menu",
         [](MenuWindowTest& t) {
             POINT p{250, 150};
             ClientToScreen(t.win->GetHWND(), &p);
             SetCursorPos(p.x, p.y);
             INPUT in[2] = {};
             in[0].type = in[1].type = INPUT_MOUSE;
             in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
             in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
             SendInput(2, in, sizeof(INPUT));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        OpenByHover();
        c.close(*this);
        EXPECT_TRUE(PumpUntil([this] { return file->GetSubMenuWindow() == nullptr; }));
        ExpectClosed();
        // The next case starts from a pointer away from the menu.
        PostMove(win->GetHWND(), POINT{250, 180});
        SetCursorPos(5, 5);
        PumpFor(50);
    }
}

TEST_F(MenuWindowTest, ChoosingASubMenuItemDeliversItsNotificationsAndClosesEveryWindow)
{
    std::vector<std::wstring> notes;
    open->SetNotifyHandler([&notes](ui::tagTNotifyUI* n) {
        if (n->type.Equals(L"itemclick") || n->type.Equals(L"itemactivate"))
            notes.push_back(n->type.GetData());
        return false;  // delivery goes on to the window's listeners
    });
    int clicks = 0;
    open->SetClickHandler([&clicks] { ++clicks; });
    MenuElement* recent = win->Find<MenuElement>(L"recent");
    MenuElement* last = win->Find<MenuElement>(L"last");
    ASSERT_TRUE(recent && last);
    OpenByHover();
    // "Recent" opens a second-level window, owned by the first one.
    HWND first = SubMenuWindow();
    PostMove(first, POINT{60, kRowHeight + 15});
    ASSERT_TRUE(PumpUntil([recent] { return recent->GetSubMenuWindow() != nullptr; }));
    EXPECT_EQ(first, GetWindow(recent->GetSubMenuWindow()->GetHWND(), GW_OWNER));
    EXPECT_EQ(L"0s1s0", last->GetKey());
    EXPECT_TRUE(PumpUntil([] { return VisibleMenuWindows() == 2; }));
    // Back on "Open", a leaf: the second level closes, the first stays.
    PostMove(first, POINT{60, 15});
    EXPECT_TRUE(PumpUntil([recent] { return recent->GetSubMenuWindow() == nullptr; }));
    EXPECT_TRUE(IsSubMenuShown());

    PostClick(first, POINT{60, 15});
    EXPECT_TRUE(PumpUntil([this] { return file->GetSubMenuWindow() == nullptr; }));
    ExpectClosed();
    EXPECT_EQ((std::vector<std::wstring>{L"itemclick", L"itemactivate"}), notes);
    EXPECT_EQ(1, clicks);
}

TEST_F(MenuWindowTest, KeysStayTheSameWhenTheMenusOpenAgain)
{
    MenuElement* recent = win->Find<MenuElement>(L"recent");
    MenuElement* last = win->Find<MenuElement>(L"last");
    ASSERT_TRUE(recent && last);
    for (int opening = 0; opening < 2; ++opening) {
        SCOPED_TRACE(opening);
        OpenByHover();
        EXPECT_EQ(L"0s1", recent->GetKey());
        // Each opening starts without a selection: the row selected in the
        // last one does not stay selected beside a new one.
        Menu* sub = file->GetSubMenuWindow()->GetMenu();
        ASSERT_NE(nullptr, sub);
        EXPECT_EQ(0, sub->GetSelectedCount());
        EXPECT_FALSE(recent->IsSelected());
        PostMove(SubMenuWindow(), POINT{60, kRowHeight + 15});
        ASSERT_TRUE(PumpUntil([recent] { return recent->GetSubMenuWindow() != nullptr; }));
        EXPECT_EQ(std::vector<int>{1}, sub->GetSelectedRows()) << "entering Recent selects its row";
        EXPECT_EQ(L"0s1s0", last->GetKey());
        PostMessageW(SubMenuWindow(), WM_KEYDOWN, VK_ESCAPE, 0);
        ASSERT_TRUE(PumpUntil([this] { return file->GetSubMenuWindow() == nullptr; }));
        PostMove(win->GetHWND(), POINT{250, 180});
        PumpFor(50);
    }
}

// The menu's rows are a list's: its keys move the selection, Enter on a row
// with sub-elements opens its sub-menu.
TEST_F(MenuWindowTest, ListKeysMoveTheSelectionAndEnterOpensASubMenu)
{
    HWND hwnd = win->GetHWND();
    PostClick(hwnd, RowPoint(1));
    ASSERT_TRUE(PumpUntil([this] { return menu->GetFirstSelected() == 1; })) << "the click selects Edit";
    MenuElement* quit = win->Find<MenuElement>(L"quit");
    struct Step {
        WPARAM key;
        int selected;
        const char* name;
    } const steps[] = {
        {VK_DOWN, 2, "Down to Quit"},
        {VK_DOWN, 2, "Down stays on the last row"},
        {VK_HOME, 0, "Home to File"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        SendMessageW(hwnd, WM_KEYDOWN, step.key, 0);
        EXPECT_EQ(std::vector<int>{step.selected}, menu->GetSelectedRows());
        EXPECT_EQ(menu->ChildAt(step.selected), win->Core().GetFocus()) << "the selected row takes the focus";
    }
    EXPECT_FALSE(quit->IsSelected());
    EXPECT_EQ(nullptr, file->GetSubMenuWindow()) << "selecting by key opens nothing";

    SendMessageW(hwnd, WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_TRUE(PumpUntil([this] { return IsSubMenuShown(); }));
    EXPECT_EQ(&file->GetSubMenuWindow()->Core(), open->GetCore());
    PostMessageW(SubMenuWindow(), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(PumpUntil([this] { return file->GetSubMenuWindow() == nullptr; }));
    ExpectClosed();
}

TEST_F(MenuWindowTest, FocusMovingBetweenMenuWindowsKeepsThemOpen)
{
    OpenByHover();
    CMenuWnd* window = file->GetSubMenuWindow();
    SendMessageW(SubMenuWindow(), WM_KILLFOCUS, reinterpret_cast<WPARAM>(SubMenuWindow()), 0);
    PumpFor(100);
    EXPECT_EQ(window, file->GetSubMenuWindow()) << "focus stayed among menu windows";
    SendMessageW(SubMenuWindow(), WM_KILLFOCUS, reinterpret_cast<WPARAM>(win->GetHWND()), 0);
    EXPECT_TRUE(PumpUntil([this] { return file->GetSubMenuWindow() == nullptr; }));
    ExpectClosed();
}

// A menu window an application opens at a point: its item callback gets the
// clicked key, disabled keys show disabled, its close listener "menuclose".
struct CloseNote : ui::INotifyUI {
    std::vector<std::wstring> keys;
    int count = 0;
    void ReceiveNotify(ui::tagTNotifyUI& msg) override
    {
        if (msg.type.Equals(L"menuclose")) {
            ++count;
            keys.push_back(msg.wParam ? reinterpret_cast<const wchar_t*>(msg.wParam) : L"(none)");
        }
    }
};

const wchar_t kPopupMenuSkin[] = LR"(<Window>
  <Menu bkcolor="#FFFFFFFF" width="120">
    <MenuElement text="Copy" height="24"/>
    <MenuElement text="Paste" height="24"/>
  </Menu>
</Window>)";

TEST_F(MenuWindowTest, AnApplicationMenuReportsTheClickedKey)
{
    std::vector<std::wstring> picked;
    CloseNote closes;
    auto* popup = new CMenuWnd(win->GetHWND(), [&picked](const std::wstring& key) { picked.push_back(key); });
    popup->SetDisabledKeys({L"1"});
    popup->SetCloseListener(&closes);
    POINT at{kWindowX + 150, kWindowY + 50};
    ASSERT_TRUE(popup->Open(at, kPopupMenuSkin));
    HWND hwnd = popup->GetHWND();
    ASSERT_TRUE(PumpUntil([hwnd] { return IsWindowVisible(hwnd) != FALSE; }));
    RECT r{};
    GetWindowRect(hwnd, &r);
    EXPECT_EQ(at.x - 60, r.left) << "centred on the point";
    EXPECT_EQ(at.y, r.top);
    EXPECT_EQ(48, r.bottom - r.top);
    Menu* menu = popup->GetMenu();
    ASSERT_NE(nullptr, menu);
    EXPECT_TRUE(menu->ChildAt(0)->IsEnabled());
    EXPECT_FALSE(menu->ChildAt(1)->IsEnabled()) << "its key is disabled";

    PostClick(hwnd, POINT{40, 12});
    EXPECT_TRUE(PumpUntil([hwnd] { return !IsWindow(hwnd); }));
    EXPECT_EQ(std::vector<std::wstring>{L"0"}, picked);
    EXPECT_EQ(1, closes.count);
    EXPECT_EQ(std::vector<std::wstring>{L"0"}, closes.keys);
}

TEST_F(MenuWindowTest, ScreenshotWithAnOpenSubMenu)
{
    OpenByHover();
    HWND sub = SubMenuWindow();
    ASSERT_TRUE(PumpUntil([this] {
        return file->GetSubMenuWindow()->Core().GetDirtyRectsForTesting().empty();
    }));
    PumpFor(200);
    RECT main{}, subRect{};
    GetWindowRect(win->GetHWND(), &main);
    GetWindowRect(sub, &subRect);
    RECT all{};
    UnionRect(&all, &main, &subRect);
    const testsupport::PixelImage shot = testsupport::ReadScreenPixels(all);
    ASSERT_GT(shot.width, 0);
    EXPECT_TRUE(testsupport::SavePng(shot, testsupport::ArtifactsFolder() + L"\\menu-96dpi.png"));
    // "File", whose sub-menu is open, in the selected row colour; the
    // sub-menu's rows drawn.
    const POINT row{main.left + 100 - all.left, main.top + 12 - all.top};
    EXPECT_EQ(0x90B8E8u, shot.RgbAt(row.x, row.y));
    const testsupport::PixelImage subPixels = testsupport::ReadScreenPixels(subRect);
    EXPECT_EQ(0xF4F4F4u, subPixels.RgbAt(subPixels.width - 3, 3)) << "the menu's default background";
    int dark = 0;
    for (uint32_t p : subPixels.data)
        dark += (testsupport::R(p) + testsupport::G(p) + testsupport::B(p)) < 200 ? 1 : 0;
    EXPECT_GT(dark, 10) << "the sub-menu shows its rows' text";
}

} // namespace
