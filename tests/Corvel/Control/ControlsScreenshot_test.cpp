// One window with the list family (a list with its header, a tree), a menu
// with its sub-menu window open, edit boxes in their looks and an omnibox
// with its drop-down open, for a person to look at
// (artifacts/controls-96dpi.png). The checks make sure the pop-up windows
// really show what the picture shows.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "Corvel/Control/Edit.h"
#include "Corvel/Control/List.h"
#include "Corvel/Control/Menu.h"
#include "Corvel/Control/MenuElement.h"
#include "Corvel/Control/MenuWnd.h"
#include "Corvel/Control/OmniBox.h"
#include "Corvel/Control/OmniBoxWnd.h"
#include "Corvel/Control/TreeView.h"
#include "Corvel/Control/support/GallerySupport.h"
#include "Corvel/Control/support/SkinnedWindow.h"
#include "support/Pixels.h"

namespace {

using controltest::OpenSkinnedWindow;
using controltest::SkinnedWindow;
using testsupport::PixelImage;
using testsupport::PumpUntil;

// Away from the corner where the other tests' windows open; the sub-menu
// opens right of the window and still fits on the display.
constexpr int kX = 480, kY = 380, kWidth = 800, kHeight = 400;
constexpr uint32_t kMenuBackground = 0xFFFFFFu;
constexpr uint32_t kPictureBackground = 0xFF2B2B2Bu;

std::wstring Skin()
{
    std::wstring skin = LR"(<Window size="800,400">
  <Font name="WenQuanYi Micro Hei" size="14"/>
  <Default name="Menu" value="bkcolor=&quot;#FFFFFFFF&quot; itemhotbkcolor=&quot;#FF3070C0&quot; itemhottextcolor=&quot;#FFFFFFFF&quot; itemselectedbkcolor=&quot;#FF90B8E8&quot; itemtextpadding=&quot;12,0,0,0&quot; bordersize=&quot;1&quot; bordercolor=&quot;#FF8090A0&quot;"/>
  <Box bkcolor="#FFF4F6F8">
)";
    skin += controltest::FileListMarkup(L"name=\"list\" float=\"true\" pos=\"10,10,300,185\" multi=\"true\" "
                                        L"bkcolor=\"#FFFFFFFF\" itemaltbk=\"true\" itembkcolor=\"#FFF2F5F8\" "
                                        L"itemselectedbkcolor=\"#FF3070D0\" itemhotbkcolor=\"#FFE9F5FF\" "
                                        L"itemlinecolor=\"#FFD8DEE4\"",
                                        7);
    skin += LR"(
    <TreeView name="tree" float="true" pos="10,205,300,185" nodepadding="20" bkcolor="#FFFFFFFF" itemselectedbkcolor="#FF3070D0" itemhotbkcolor="#FFE9F5FF">
      <TreeNode height="22"><Control mouse="false" text="文档"/>
        <TreeNode height="22"><Control mouse="false" text="Letters"/></TreeNode>
        <TreeNode height="22"><Control mouse="false" text="Reports"/>
          <TreeNode height="22"><Control mouse="false" text="2026"/></TreeNode>
        </TreeNode>
      </TreeNode>
      <TreeNode height="22"><Control mouse="false" text="Pictures"/>
        <TreeNode height="22"><Control mouse="false" text="Holidays"/></TreeNode>
      </TreeNode>
    </TreeView>
    <Menu name="menu" float="true" pos="345,10,130,90">
      <MenuElement name="file" text="File" height="30">
        <MenuElement name="open" text="Open" width="150" height="30"/>
        <MenuElement name="recent" text="Recent files" width="150" height="30"/>
      </MenuElement>
      <MenuElement name="edit" text="Edit" height="30"/>
      <MenuElement name="quit" text="Quit" height="30"/>
    </Menu>
)";
    skin += controltest::EditBoxesMarkup(495, 10, 290) + controltest::OmniBoxMarkup(495, 160, 290);
    skin += LR"(  </Box>
</Window>)";
    return skin;
}

bool IsInk(uint32_t p) { return testsupport::R(p) + testsupport::G(p) + testsupport::B(p) < 300; }

// Dark pixels (text) inside a window's rectangle of the picture whose top
// left corner is `origin` on the screen.
int InkInside(const PixelImage& picture, POINT origin, const RECT& window)
{
    return testsupport::FindInk(picture, IsInk, window.top - origin.y, window.bottom - origin.y,
                                window.left - origin.x, window.right - origin.x)
        .pixels;
}

class ControlsScreenshotTest : public ::testing::Test {
protected:
    void SetUp() override { SetCursorPos(5, 5); }
    void TearDown() override { SetCursorPos(5, 5); }
    testsupport::UiLibraryScope lib;
};

// A menu window takes the keyboard focus from the application window when
// it opens, and with it the focused edit box's caret goes: the picture is
// composed of the screen before the sub-menu opens (window, drop-down) and
// the sub-menu window's screen area once it is open.
TEST_F(ControlsScreenshotTest, ListsMenuEditBoxesAndOmniboxInOneWindow)
{
    std::unique_ptr<SkinnedWindow> win = OpenSkinnedWindow(Skin().c_str(), kWidth, kHeight, kX, kY, true);
    ASSERT_NE(nullptr, win);
    auto* list = win->Find<ui::List>(L"list");
    auto* tree = win->Find<ui::TreeView>(L"tree");
    auto* menu = win->Find<ui::Menu>(L"menu");
    auto* file = win->Find<ui::MenuElement>(L"file");
    auto* typed = win->Find<ui::Edit>(L"typed");
    auto* pw = win->Find<ui::Edit>(L"pw");
    auto* omni = win->Find<ui::OmniBox>(L"omni");
    ASSERT_TRUE(list && tree && menu && file && typed && pw && omni);

    ASSERT_TRUE(list->SelectRow(1, false));
    ASSERT_TRUE(list->AddRowToSelection(4, false));
    ASSERT_TRUE(tree->SelectRow(2, false));
    ASSERT_TRUE(menu->SelectRow(0, false));
    pw->SetText(L"secret");
    omni->SetText(L"corvel.ex");
    ASSERT_TRUE(controltest::OpenDropDownBesideAFocusedEdit(*win, omni, typed, L"Focused box 你好"));

    RECT main{}, drop{};
    GetWindowRect(win->GetHWND(), &main);
    const HWND dropDown = omni->GetDropDown()->GetHWND();
    GetWindowRect(dropDown, &drop);
    RECT before{};
    UnionRect(&before, &main, &drop);
    const PixelImage beforeMenu = testsupport::ReadScreenPixels(before);
    ASSERT_GT(beforeMenu.width, 0);

    // Activating the selected row opens its sub-menu window.
    ASSERT_TRUE(file->TryActivate());
    ASSERT_TRUE(PumpUntil([file] { return file->GetSubMenuWindow() && IsWindowVisible(file->GetSubMenuWindow()->GetHWND()); }));
    ui::CMenuWnd* subMenu = file->GetSubMenuWindow();
    ASSERT_TRUE(PumpUntil([subMenu] {
        return !subMenu->Core().IsFirstLayoutPendingForTesting() && subMenu->Core().GetDirtyRectsForTesting().empty();
    }));
    RECT sub{};
    GetWindowRect(subMenu->GetHWND(), &sub);
    const PixelImage subPixels = testsupport::ReadScreenPixels(sub);
    ASSERT_GT(subPixels.width, 0);
    EXPECT_TRUE(IsWindowVisible(dropDown)) << "the drop-down stays open beside the menu";
    EXPECT_TRUE(IsWindowVisible(subMenu->GetHWND()));

    // Both pop-ups show drawn rows, not an empty window.
    const POINT beforeOrigin{before.left, before.top};
    EXPECT_GT(InkInside(beforeMenu, beforeOrigin, drop), 0) << "no suggestion text in the drop-down";
    EXPECT_GT(InkInside(subPixels, POINT{sub.left, sub.top}, sub), 10) << "no row text in the sub-menu";
    EXPECT_EQ(kMenuBackground, subPixels.RgbAt(subPixels.width - 3, subPixels.height - 3))
        << "the menu's default background";

    RECT all{};
    UnionRect(&all, &before, &sub);
    PixelImage picture;
    picture.width = all.right - all.left;
    picture.height = all.bottom - all.top;
    picture.data.assign(static_cast<size_t>(picture.width) * static_cast<size_t>(picture.height),
                        0xFF000000u | kPictureBackground);
    testsupport::PastePixels(picture, beforeMenu, before.left - all.left, before.top - all.top);
    testsupport::PastePixels(picture, subPixels, sub.left - all.left, sub.top - all.top);
    EXPECT_TRUE(testsupport::SavePng(picture, testsupport::ArtifactsFolder() + L"\\controls-96dpi.png"));

    PostMessageW(subMenu->GetHWND(), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(PumpUntil([file] { return file->GetSubMenuWindow() == nullptr; }));
}

} // namespace
