// The installer's message window built from the installer's skin: captions
// on the buttons, the countdown, the hidden second button and the close
// codes.
#include "app/TipWnd.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/support/InstallerSession.h"
#include "support/Text.h"

using apptest::PumpUntil;
using ui::CTipWnd;

namespace {

// WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_CAPTION |
// WS_SYSMENU, as ShowTipDialog creates it.
constexpr DWORD kTipStyle = 0x96C80000;

std::wstring Text(ui::Control* c) { return c ? std::wstring(c->GetText().GetData()) : L"<missing>"; }

// A message window created and made ready; the test runs its modal loop.
struct TipFixture {
    explicit TipFixture(const wchar_t* skin, int countdown, bool noVisible)
    {
        apptest::InstallerSession::EnsureUiLibraryForTesting();
        tip.SetSkinFile(skin);
        tip.SetTexts(L"标题", L"第一行消息", L"立即启动", L"稍后");
        tip.SetNoButtonVisible(noVisible);
        tip.SetCountdown(countdown);
        hwnd = tip.Create(nullptr, nullptr, kTipStyle, 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                          CW_USEDEFAULT);
    }
    CTipWnd tip;
    HWND hwnd = nullptr;
};

// Samples BtnYes's caption on every tick of the modal loop.
std::vector<std::wstring>* g_captions = nullptr;
CTipWnd* g_sampled = nullptr;
void CALLBACK SampleCaption(HWND, UINT, UINT_PTR, DWORD)
{
    const std::wstring now = Text(g_sampled->YesButtonForTesting());
    if (g_captions->empty() || g_captions->back() != now)
        g_captions->push_back(now);
}

} // namespace

TEST(TipWindow, CaptionsLandOnTheirButtonsAndTheNoButtonCanBeHidden)
{
    for (const wchar_t* skin : {L"MessageWnd.xml", L"MessageTipWnd.xml"}) {
        for (bool noVisible : {true, false}) {
            SCOPED_TRACE(testsupport::Narrow(skin) + (noVisible ? " with no-button" : " without no-button"));
            TipFixture f(skin, 0, noVisible);
            ASSERT_NE(f.hwnd, nullptr);
            ASSERT_TRUE(PumpUntil([&] { return f.tip.YesButtonForTesting() != nullptr; }));
            EXPECT_EQ(Text(f.tip.YesButtonForTesting()), L"立即启动");
            // The cancel style's text element is named like the confirm
            // button's, so its caption is the one written, not "取消".
            EXPECT_EQ(Text(f.tip.NoButtonForTesting()), L"稍后");
            EXPECT_EQ(f.tip.NoButtonForTesting()->IsVisible(), noVisible);
            EXPECT_EQ(Text(f.tip.MessageForTesting()), L"第一行消息");
            // The title stays the skin's own.
            EXPECT_EQ(Text(f.tip.Core().FindControlByName(L"TxtTitle")), L"温馨提示");
            if (!noVisible && wcscmp(skin, L"MessageTipWnd.xml") == 0)
                apptest::SaveWindowScreenshot(f.hwnd, L"installer-message-window");
            // Escape closes with the close button's code.
            PostMessageW(f.hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
            EXPECT_EQ(f.tip.RunModalLoop(), ui::kTipClosed);
        }
    }
}

TEST(TipWindow, ButtonsCloseWithTheirCodes)
{
    struct Case {
        const wchar_t* button;
        int code;
    };
    for (const Case& c : {Case{L"BtnYes", ui::kTipYes}, Case{L"BtnNo", ui::kTipNo}}) {
        SCOPED_TRACE(testsupport::Narrow(c.button));
        TipFixture f(L"MessageWnd.xml", 0, true);
        ASSERT_TRUE(PumpUntil([&] { return f.tip.YesButtonForTesting() != nullptr; }));
        f.tip.Core().FindControlByName(c.button)->TryActivate();
        EXPECT_EQ(f.tip.RunModalLoop(), c.code);
    }
}

// A countdown shows the seconds left on the confirm button and confirms by
// itself; none shows the plain caption and never confirms.
TEST(TipWindow, CountdownCountsDownAndConfirms)
{
    std::vector<std::wstring> captions;
    g_captions = &captions;
    {
        TipFixture f(L"MessageWnd.xml", 3, false);
        g_sampled = &f.tip;
        ASSERT_TRUE(PumpUntil([&] { return f.tip.YesButtonForTesting() != nullptr; }));
        const UINT_PTR sampler = SetTimer(nullptr, 0, 50, SampleCaption);
        const DWORD start = GetTickCount();
        EXPECT_EQ(f.tip.RunModalLoop(), ui::kTipYes);
        const DWORD took = GetTickCount() - start;
        KillTimer(nullptr, sampler);
        const std::vector<std::wstring> expected = {L"立即启动 (3)", L"立即启动 (2)", L"立即启动 (1)"};
        EXPECT_EQ(captions, expected);
        EXPECT_GE(took, 1500u) << "closed before the countdown ran";
    }
    captions.clear();
    {
        TipFixture f(L"MessageWnd.xml", -5, false);
        g_sampled = &f.tip;
        ASSERT_TRUE(PumpUntil([&] { return f.tip.YesButtonForTesting() != nullptr; }));
        EXPECT_EQ(f.tip.CountdownForTesting(), 0);
        const UINT_PTR sampler = SetTimer(nullptr, 0, 50, SampleCaption);
        apptest::PumpFor(1500);
        EXPECT_TRUE(IsWindow(f.hwnd)) << "a window without countdown closed by itself";
        PostMessageW(f.hwnd, WM_KEYDOWN, VK_ESCAPE, 0);
        EXPECT_EQ(f.tip.RunModalLoop(), ui::kTipClosed);
        KillTimer(nullptr, sampler);
        EXPECT_EQ(captions, std::vector<std::wstring>{L"立即启动"});
    }
    g_captions = nullptr;
}

TEST(TipWindow, ShowTipDialogRestoresAHiddenOwnerAndReturnsTheResult)
{
    apptest::InstallerSession::EnsureUiLibraryForTesting();
    HWND owner = CreateWindowExW(0, L"STATIC", L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(owner, nullptr);
    EXPECT_FALSE(IsWindowVisible(owner));
    // Countdown 1: confirms after one tick.
    EXPECT_EQ(ui::ShowTipDialog(owner, L"我知道了", L"", L"提示", L"下载失败", false, 1, nullptr), ui::kTipYes);
    EXPECT_TRUE(IsWindowVisible(owner));
    DestroyWindow(owner);
}
