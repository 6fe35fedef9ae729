// The exit advertisement: its picture from the network and a click that
// opens the advertised link through the shell (a recorder in the test
// prefix) and closes the window.
#include "app/PopAdWnd.h"

#include <gtest/gtest.h>

#include <string>

#include "app/support/DemoService.h"
#include "app/support/InstallerSession.h"
#include "app/support/LinkRecorder.h"
#include "support/TestPaths.h"
#include "support/Text.h"

using apptest::DemoService;

LINK_RECORDER_CHILD_TEST()

namespace {

// A click on the picture, as the window's queue gets it, at its centre.
void PostClickAtCentre(HWND hwnd)
{
    RECT r{};
    GetClientRect(hwnd, &r);
    const LPARAM at = MAKELPARAM((r.right - r.left) / 2, (r.bottom - r.top) / 2);
    PostMessageW(hwnd, WM_MOUSEMOVE, 0, at);
    PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(hwnd, WM_LBUTTONUP, 0, at);
}

} // namespace

TEST(ExitAdvertisement, ClickOpensOnlyAWebLinkAndCloses)
{
    REQUIRE_DEMO_SERVICE();
    apptest::InstallerSession::EnsureUiLibraryForTesting();
    testsupport::ScratchDir dir(L"adlinks");
    const std::wstring record = dir.File(L"opened.txt");
    apptest::LinkRecorder recorder(record);
    ASSERT_FALSE(recorder.Failed());

    const std::wstring base = DemoService::Get().BaseUrl(L"popad");
    const std::string webLink = testsupport::Narrow(base) + "/pages/ad.html?from=中文";
    struct Case {
        std::string link;
        bool opened;
    };
    // A script URL and an empty link are never handed to the shell; the
    // window closes all the same.
    const Case cases[] = {{"javascript:alert(1)", false}, {"", false}, {webLink, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.link);
        ui::CPopAdWnd ad(base + L"/res/ad.png", c.link);
        HWND hwnd = ad.Create(nullptr, nullptr, static_cast<DWORD>(-1), 0, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT);
        ASSERT_NE(hwnd, nullptr);
        ad.CenterOverOwner();
        ShowWindow(hwnd, SW_SHOWNORMAL);
        ASSERT_TRUE(apptest::PumpUntil([&] { return ad.AdButtonForTesting() != nullptr; }));
        ASSERT_NE(ad.PictureForTesting(), nullptr);
        EXPECT_EQ(std::wstring(ad.PictureForTesting()->GetBkImage().GetData()),
                  L"file='" + base + L"/res/ad.png' net='1' ");
        if (c.opened) {
            apptest::PumpFor(1000);  // the picture
            EXPECT_TRUE(apptest::SaveWindowScreenshot(hwnd, L"installer-exit-advertisement"));
        }
        PostClickAtCentre(hwnd);
        EXPECT_EQ(ad.RunModalLoop(), 1);
    }
    const std::vector<std::string> opened = apptest::WaitForRecords(record, 1);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], webLink);
}
