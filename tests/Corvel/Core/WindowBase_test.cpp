// The skinned window base: a window built from markup text, its non-client
// hit test from the skin's caption and size box, caption buttons by name,
// dialog keys and the tray menu's commands.
#include "Corvel/Core/WindowBase.h"

#include <gtest/gtest.h>

#include <string>

#include "Corvel/Core/Control.h"
#include "Corvel/Core/support/SkinTestWindow.h"

namespace {

using testsupport::SkinTestWindow;
using ui::Control;

// 300 x 200: a 30-pixel caption, 4-pixel sizing borders, a plain label and
// a button in the caption, the caption buttons at the right.
const wchar_t kSkin[] = LR"(<Window size="300,200" caption="0,0,0,30" sizebox="4,4,4,4">
  <Tray name="Test tray"><TrayItem name="show" text="Open"/><TrayItem name="exit" text="Exit"/></Tray>
  <Box bkcolor="#FFFFFFFF">
    <Control name="Title" pos="10,5,80,20" text="Title"/>
    <TestButton name="Help" pos="100,5,30,20"/>
    <Control name="SysMaxBtn" pos="240,0,30,30"/>
    <Control name="SysRestoreBtn" pos="240,0,30,30" visible="false"/>
    <Control name="SysCloseBtn" pos="270,0,30,30"/>
    <Control name="Body" pos="10,60,100,40" text="Body"/>
  </Box>
</Window>)";

class WindowBaseTest : public ::testing::Test {
protected:
    void SetUp() override { SetCursorPos(1000, 750); }
    testsupport::UiLibraryScope lib;

    std::unique_ptr<SkinTestWindow> Open(const wchar_t* skin = kSkin)
    {
        return testsupport::OpenSkinWindow(skin, 0, 0, 300, 200);
    }
};

TEST_F(WindowBaseTest, TheSkinBuildsTheTreeAndFindsTheCaptionButtons)
{
    auto win = Open();
    ASSERT_NE(nullptr, win);
    ASSERT_NE(nullptr, win->Core().GetRoot());
    EXPECT_STREQ(L"Root", win->Core().GetRoot()->GetName().GetData());
    ASSERT_NE(nullptr, win->CloseButton());
    EXPECT_STREQ(L"SysCloseBtn", win->CloseButton()->GetName().GetData());
    EXPECT_NE(nullptr, win->MaxButton());
    EXPECT_NE(nullptr, win->RestoreButton());
    EXPECT_EQ(nullptr, win->MinButton()) << "the skin has no minimise button";
    EXPECT_TRUE(testsupport::PumpUntil([&win] { return win->readyCount == 1; })) << "windowinit reached the window";
    EXPECT_TRUE(win->Tray().shown);
    EXPECT_EQ(sizeof(NOTIFYICONDATAW), win->Tray().data.cbSize);
    EXPECT_STREQ(L"Test tray", win->Tray().data.szTip);
}

TEST_F(WindowBaseTest, HitTestFollowsTheCaptionTheSizeBoxAndTheButtons)
{
    auto win = Open();
    ASSERT_NE(nullptr, win);
    struct Case {
        const char* what;
        int x, y;
        LRESULT code;
    };
    const Case cases[] = {
        {"top-left corner", 1, 1, HTTOPLEFT},
        {"top edge", 150, 2, HTTOP},
        {"top-right corner", 298, 1, HTTOPRIGHT},
        {"left edge", 1, 100, HTLEFT},
        {"right edge", 298, 100, HTRIGHT},
        {"bottom edge", 150, 198, HTBOTTOM},
        {"bottom-right corner", 298, 198, HTBOTTOMRIGHT},
        {"caption over a plain label", 40, 12, HTCAPTION},
        {"caption over empty board", 200, 20, HTCAPTION},
        {"caption over a button", 110, 12, HTCLIENT},
        {"the maximise button, its edge pixel", 240, 10, HTMAXBUTTON},
        {"below the caption", 150, 30, HTCLIENT},
        {"body", 50, 80, HTCLIENT},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.code, win->HitTestForTesting(c.x, c.y)) << c.what;

    // A hidden maximise button is not hit; the restore button shown in its
    // place is.
    win->MaxButton()->SetVisible(false);
    win->RestoreButton()->SetVisible(true);
    testsupport::PumpFor(60);  // the shown button is placed at the next layout
    EXPECT_EQ(HTMAXBUTTON, win->HitTestForTesting(250, 10));
    win->RestoreButton()->SetVisible(false);
    EXPECT_EQ(HTCAPTION, win->HitTestForTesting(250, 10));
}

TEST_F(WindowBaseTest, AWholeWindowCaptionLeavesInteractiveAncestorsToTheClient)
{
    auto win = Open(LR"(<Window size="300,200" caption="-1,-1,-1,-1">
      <Box>
        <TestButton name="Big" pos="0,0,150,200"><Control name="Inner" pos="10,10,50,50"/></TestButton>
        <Control name="Plain" pos="160,0,100,100"/>
      </Box>
    </Window>)");
    ASSERT_NE(nullptr, win);
    EXPECT_EQ(HTCAPTION, win->HitTestForTesting(200, 50)) << "a plain control";
    EXPECT_EQ(HTCAPTION, win->HitTestForTesting(280, 150)) << "no control but the root";
    EXPECT_EQ(HTCLIENT, win->HitTestForTesting(20, 20)) << "inside a button";
    EXPECT_EQ(HTCLIENT, win->HitTestForTesting(100, 150)) << "the button itself";
}

TEST_F(WindowBaseTest, DialogKeysButtonsAndTrayCommandsCloseWithTheirCodes)
{
    struct Case {
        const char* what;
        std::function<void(SkinTestWindow&)> act;
        int code; // 0: the window stays
    };
    const Case cases[] = {
        {"Escape", [](SkinTestWindow& w) { w.OnDialogKey(VK_ESCAPE); }, IWindowBase::kCloseByUser},
        {"Enter", [](SkinTestWindow& w) { w.OnDialogKey(VK_RETURN); }, 0},
        {"close button", [](SkinTestWindow& w) { w.Core().RaiseNotification(w.CloseButton(), L"click"); },
         IWindowBase::kCloseByUser},
        {"Alt+F4 clicks the close button",
         [](SkinTestWindow& w) {
             bool handled = false;
             w.FilterMessage(WM_SYSKEYDOWN, VK_F4, 0, handled);
             EXPECT_FALSE(handled);
         },
         IWindowBase::kCloseByUser},
        {"tray exit", [](SkinTestWindow& w) { SendMessageW(w.GetHWND(), WM_COMMAND, ui::WindowCore::kTrayCommandBase + 1, 0); },
         IWindowBase::kCloseFromTray},
        {"tray show", [](SkinTestWindow& w) { SendMessageW(w.GetHWND(), WM_COMMAND, ui::WindowCore::kTrayCommandBase, 0); }, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        auto win = Open();
        ASSERT_NE(nullptr, win);
        HWND hwnd = win->GetHWND();
        c.act(*win);
        testsupport::PumpFor(150);
        if (c.code) {
            EXPECT_FALSE(IsWindow(hwnd));
            EXPECT_EQ(c.code, win->GetCloseCode());
            EXPECT_FALSE(win->Tray().shown) << "the tray icon goes with the window";
        } else {
            EXPECT_TRUE(IsWindow(hwnd));
        }
    }
}

TEST_F(WindowBaseTest, MaximisingSwapsTheCaptionButtons)
{
    auto win = Open();
    ASSERT_NE(nullptr, win);
    SendMessageW(win->GetHWND(), WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    testsupport::PumpFor(100);
    ASSERT_TRUE(IsZoomed(win->GetHWND()));
    EXPECT_FALSE(win->MaxButton()->IsVisible());
    EXPECT_TRUE(win->RestoreButton()->IsVisible());
    EXPECT_EQ(HTCLIENT, win->HitTestForTesting(1, 100)) << "no sizing borders while maximised";
    win->Core().RaiseNotification(win->RestoreButton(), L"click");
    testsupport::PumpFor(100);
    EXPECT_FALSE(IsZoomed(win->GetHWND()));
    EXPECT_TRUE(win->MaxButton()->IsVisible());
    EXPECT_FALSE(win->RestoreButton()->IsVisible());
}

TEST_F(WindowBaseTest, AMaximisedWindowsClientAreaIsItsMonitorsWorkArea)
{
    auto win = Open();
    ASSERT_NE(nullptr, win);
    HWND hwnd = win->GetHWND();
    const RECT given{-50, -40, 900, 700};
    auto calcSize = [&] {
        NCCALCSIZE_PARAMS params{};
        params.rgrc[0] = given;
        EXPECT_EQ(0, SendMessageW(hwnd, WM_NCCALCSIZE, TRUE, reinterpret_cast<LPARAM>(&params)));
        return params.rgrc[0];
    };
    RECT r = calcSize();
    EXPECT_TRUE(EqualRect(&given, &r)) << "restored: the whole window is client area";

    SendMessageW(hwnd, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    testsupport::PumpFor(100);
    ASSERT_TRUE(IsZoomed(hwnd));
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONULL), &info));
    struct Case {
        int frameMarginCode;
        RECT grow;  // added to the work area's left, top, right, bottom
    };
    const Case cases[] = {{0, {0, 0, 0, 0}}, {10, {-1, -1, 1, 1}}, {11, {0, 0, 0, 1}}};
    for (const Case& c : cases) {
        win->SetFrameMarginCode(c.frameMarginCode);
        r = calcSize();
        EXPECT_EQ(info.rcWork.left + c.grow.left, r.left) << "code " << c.frameMarginCode;
        EXPECT_EQ(info.rcWork.top + c.grow.top, r.top) << "code " << c.frameMarginCode;
        EXPECT_EQ(info.rcWork.right + c.grow.right, r.right) << "code " << c.frameMarginCode;
        EXPECT_EQ(info.rcWork.bottom + c.grow.bottom, r.bottom) << "code " << c.frameMarginCode;
    }
    win->SetFrameMarginCode(0);
}

} // namespace

