// The tray icon of a skinned window: added with the skin's tip when the
// window is created, its right-click menu built from the skin's items (read
// back from the live menu by a helper thread while the menu loop runs on the
// test thread), its commands, and its removal with the window. The shell
// calls are seen through the tray's observer; where Wine's notification area
// is there, the icon is also looked up in it.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "Corvel/Core/TrayIcon.h"
#include "Corvel/Core/support/SkinTestWindow.h"

namespace {

using testsupport::SkinTestWindow;

const wchar_t kSkin[] = LR"(<Window size="240,160" caption="0,0,0,30">
  <Tray name="安装程序 Setup"><TrayItem name="show" text="打开"/><TrayItem name="exit" text="退出"/></Tray>
  <Box bkcolor="#FFFFFFFF"/>
</Window>)";

// Class of the system's pop-up menu windows.
constexpr wchar_t kMenuClass[] = L"#32768";
// Asks a pop-up menu window for its menu.
constexpr UINT kMsgGetMenuHandle = 0x01E1;  // MN_GETHMENU
// Limit of a cross-thread message to the menu window.
constexpr UINT kSendTimeoutMs = 2000;

struct ShellCall {
    DWORD message;
    HWND window;
    UINT id;
    UINT flags;
    UINT callback;
    std::wstring tip;
    BOOL answer;
};

// Records the shell calls of the tray while it lives.
class ShellCalls {
public:
    ShellCalls()
    {
        ui::TrayIcon::SetNotifyObserverForTesting([this](DWORD message, const NOTIFYICONDATAW& d, BOOL answer) {
            calls.push_back(ShellCall{message, d.hWnd, d.uID, d.uFlags, d.uCallbackMessage, d.szTip, answer});
        });
    }
    ~ShellCalls() { ui::TrayIcon::SetNotifyObserverForTesting(nullptr); }
    std::vector<ShellCall> calls;
};

std::string Describe(const std::vector<ShellCall>& calls)
{
    std::string text;
    for (const ShellCall& c : calls)
        text += std::to_string(c.message) + "/" + std::to_string(c.id) + (c.window ? "" : "/no window") + " ";
    return text;
}

// Wine's notification area, when the prefix's desktop runs one.
bool TrayAreaPresent() { return FindWindowW(L"Shell_TrayWnd", nullptr) != nullptr; }

// Whether the notification area still holds the window's icon.
bool IconPresent(HWND window, UINT id)
{
    NOTIFYICONDATAW d{};
    d.cbSize = sizeof(d);
    d.hWnd = window;
    d.uID = id;
    return Shell_NotifyIconW(NIM_MODIFY, &d) != FALSE;
}

// The items of the first visible pop-up menu, read from a helper thread
// while the menu loop runs on the test thread; then the menu is dismissed
// with Escape.
class MenuReader {
public:
    struct Item {
        UINT id;
        std::wstring text;
    };

    void Start()
    {
        m_thread = std::thread([this] {
            HWND menuWindow = WaitForMenuWindow();
            if (menuWindow) {
                DWORD_PTR menu = 0;
                SendMessageTimeoutW(menuWindow, kMsgGetMenuHandle, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs, &menu);
                Read(reinterpret_cast<HMENU>(menu));
                PostMessageW(menuWindow, WM_KEYDOWN, VK_ESCAPE, 0);
            }
            done = true;
        });
    }
    void Join()
    {
        if (m_thread.joinable())
            m_thread.join();
    }
    ~MenuReader() { Join(); }

    std::atomic<bool> done{false};
    bool sawMenu = false;
    std::vector<Item> items;

private:
    HWND WaitForMenuWindow()
    {
        const DWORD start = GetTickCount();
        while (GetTickCount() - start < testsupport::kConditionWaitMs) {
            HWND w = FindWindowW(kMenuClass, nullptr);
            if (w && IsWindowVisible(w))
                return w;
            Sleep(10);
        }
        return nullptr;
    }
    void Read(HMENU menu)
    {
        if (!menu)
            return;
        sawMenu = true;
        const int count = GetMenuItemCount(menu);
        for (int i = 0; i < count; ++i) {
            wchar_t text[64] = {};
            GetMenuStringW(menu, static_cast<UINT>(i), text, 64, MF_BYPOSITION);
            items.push_back(Item{GetMenuItemID(menu, i), text});
        }
    }
    std::thread m_thread;
};

class WindowBaseTrayTest : public ::testing::Test {
protected:
    void SetUp() override { SetCursorPos(800, 500); }
    testsupport::UiLibraryScope lib;
};

TEST_F(WindowBaseTrayTest, TheIconComesWithTheWindowAndGoesWithIt)
{
    ShellCalls shell;
    auto win = testsupport::OpenSkinWindow(kSkin, 100, 100, 240, 160);
    ASSERT_NE(nullptr, win);
    HWND hwnd = win->GetHWND();
    const UINT id = win->Tray().instance;

    ASSERT_EQ(1u, shell.calls.size());
    const ShellCall& add = shell.calls[0];
    EXPECT_EQ(static_cast<DWORD>(NIM_ADD), add.message);
    EXPECT_EQ(hwnd, add.window);
    EXPECT_EQ(id, add.id);
    EXPECT_EQ(static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP), add.flags);
    EXPECT_EQ(ui::TrayIcon::kCallbackMessage, add.callback);
    EXPECT_EQ(L"安装程序 Setup", add.tip);
    EXPECT_TRUE(win->Tray().shown);
    if (TrayAreaPresent()) {
        EXPECT_TRUE(add.answer) << "the notification area took the icon";
        EXPECT_TRUE(IconPresent(hwnd, id));
    }

    win->Close(IWindowBase::kCloseByUser);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return !IsWindow(hwnd); }));
    ASSERT_EQ(2u, shell.calls.size()) << "one deletion, none again by the destructor; calls: " << Describe(shell.calls);
    win.reset();
    ASSERT_EQ(2u, shell.calls.size());
    EXPECT_EQ(static_cast<DWORD>(NIM_DELETE), shell.calls[1].message);
    EXPECT_EQ(hwnd, shell.calls[1].window);
    EXPECT_EQ(id, shell.calls[1].id);
    if (TrayAreaPresent()) {
        EXPECT_FALSE(IconPresent(hwnd, id)) << "the icon left the notification area";
    }
}

TEST_F(WindowBaseTrayTest, ATrayWithoutTipOrItemsAddsNoIcon)
{
    const wchar_t* const skins[] = {
        LR"(<Window size="240,160"><Tray name=""><TrayItem name="exit" text="x"/></Tray><Box/></Window>)",
        LR"(<Window size="240,160"><Tray name="tip only"/><Box/></Window>)",
    };
    for (const wchar_t* skin : skins) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(skin)));
        ShellCalls shell;
        auto win = testsupport::OpenSkinWindow(skin, 100, 100, 240, 160);
        ASSERT_NE(nullptr, win);
        EXPECT_TRUE(shell.calls.empty());
        EXPECT_FALSE(win->Tray().shown);
        // Nothing answers the icon's messages either.
        PostMessageW(win->GetHWND(), ui::TrayIcon::kCallbackMessage, win->Tray().instance, WM_RBUTTONDOWN);
        testsupport::PumpFor(150);
        HWND menu = FindWindowW(kMenuClass, nullptr);
        EXPECT_FALSE(menu && IsWindowVisible(menu));
        DestroyWindow(win->GetHWND());
        EXPECT_TRUE(shell.calls.empty()) << "nothing to delete";
    }
}

TEST_F(WindowBaseTrayTest, RightClickShowsTheSkinsMenuAndItsExitCloses)
{
    auto win = testsupport::OpenSkinWindow(kSkin, 100, 100, 240, 160);
    ASSERT_NE(nullptr, win);
    HWND hwnd = win->GetHWND();

    MenuReader reader;
    reader.Start();
    PostMessageW(hwnd, ui::TrayIcon::kCallbackMessage, win->Tray().instance, WM_RBUTTONDOWN);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return reader.done.load(); }));
    reader.Join();
    testsupport::PumpFor(100);  // the menu loop ends on the Escape
    ASSERT_TRUE(reader.sawMenu) << "no pop-up menu appeared";
    ASSERT_EQ(2u, reader.items.size());
    EXPECT_EQ(ui::WindowCore::kTrayCommandBase, reader.items[0].id);
    EXPECT_EQ(L"打开", reader.items[0].text);
    EXPECT_EQ(ui::WindowCore::kTrayCommandBase + 1, reader.items[1].id);
    EXPECT_EQ(L"退出", reader.items[1].text);
    EXPECT_TRUE(IsWindow(hwnd)) << "dismissing the menu runs no command";

    // What choosing "exit" sends.
    SendMessageW(hwnd, WM_COMMAND, reader.items[1].id, 0);
    ASSERT_TRUE(testsupport::PumpUntil([&] { return !IsWindow(hwnd); }));
    EXPECT_EQ(IWindowBase::kCloseFromTray, win->GetCloseCode());
}

TEST_F(WindowBaseTrayTest, DoubleClickBringsBackAHiddenWindowOnlyForItsOwnIcon)
{
    auto win = testsupport::OpenSkinWindow(kSkin, 100, 100, 240, 160);
    ASSERT_NE(nullptr, win);
    HWND hwnd = win->GetHWND();
    ShowWindow(hwnd, SW_HIDE);

    PostMessageW(hwnd, ui::TrayIcon::kCallbackMessage, win->Tray().instance + 1000, WM_LBUTTONDBLCLK);
    testsupport::PumpFor(100);
    EXPECT_FALSE(IsWindowVisible(hwnd)) << "another window's icon";

    PostMessageW(hwnd, ui::TrayIcon::kCallbackMessage, win->Tray().instance, WM_LBUTTONDBLCLK);
    EXPECT_TRUE(testsupport::PumpUntil([&] { return IsWindowVisible(hwnd) != FALSE; }));
}

} // namespace
