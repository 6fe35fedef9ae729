// The tree view from markup in a shown window: nodes as depth-first rows,
// indentation, expanding and collapsing by double click and by the expand
// control, adding, inserting and removing nodes with their subtrees. Ends
// with a screenshot of a list and a tree side by side.
#include "Corvel/Control/TreeView.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Corvel/Control/HBox.h"
#include "Corvel/Control/List.h"
#include "Corvel/Control/TreeNode.h"
#include "Corvel/Control/support/GallerySupport.h"
#include "Corvel/Control/support/MarkupWindow.h"

namespace {

using controltest::MarkupWindow;
using ui::TreeNode;
using ui::TreeView;

constexpr int kWidth = 300, kHeight = 260;
constexpr uint32_t kSelectedColor = 0xFF3070D0u;

// A(B, C(D)), E(F): B has a padding control of its own width, C one
// without a width, D none; E has an expand button.
const wchar_t kTreeNodes[] = LR"(
    <TreeNode name="A" height="20"><Control mouse="false" text="Alpha"/>
      <TreeNode name="B" height="20"><Control name="padding" width="7" mouse="false"/><Control mouse="false" text="Beta"/></TreeNode>
      <TreeNode name="C" height="20"><Control name="PADDING" mouse="false"/><Control mouse="false" text="Gamma"/>
        <TreeNode name="D" height="20"><Control mouse="false" text="Delta"/></TreeNode>
      </TreeNode>
    </TreeNode>
    <TreeNode name="E" height="20"><Option name="Expand" width="16" bkcolor="#FF808080" selectedbkcolor="#FF303030"/><Control mouse="false" text="Epsilon"/>
      <TreeNode name="F" height="20"><Control mouse="false" text="Zeta"/></TreeNode>
    </TreeNode>)";

std::wstring TreeSkin()
{
    return std::wstring(LR"(<Window><VBox bkcolor="#FFFFFFFF">
  <TreeView name="tree" nodepadding="20" itemselectedbkcolor="#FF3070D0" itemhotbkcolor="#FFFFFFFF">)") +
           kTreeNodes + L"\n  </TreeView>\n</VBox></Window>";
}

class TreeViewTest : public ::testing::Test {
protected:
    void SetUp() override { SetCursorPos(1500, 950); }
    testsupport::UiLibraryScope lib;
};

std::vector<std::wstring> RowNames(TreeView* tree)
{
    std::vector<std::wstring> names;
    for (int i = 0; i < tree->ChildCount(); ++i)
        names.push_back(tree->ChildAt(i)->GetName().ToStdString());
    return names;
}

std::vector<std::wstring> VisibleRowNames(TreeView* tree)
{
    std::vector<std::wstring> names;
    for (int i = 0; i < tree->ChildCount(); ++i) {
        if (tree->ChildAt(i)->IsVisible())
            names.push_back(tree->ChildAt(i)->GetName().ToStdString());
    }
    return names;
}

void DoubleClick(MarkupWindow& w, ui::Control* node)
{
    const ui::RECTF r = node->GetBounds();
    const LPARAM at = controltest::Pt(static_cast<int>(r.right) - 20, static_cast<int>((r.top + r.bottom) / 2));
    SendMessageW(w.Hwnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    SendMessageW(w.Hwnd(), WM_LBUTTONUP, 0, at);
}

TreeNode* NewNode(const wchar_t* name)
{
    auto* node = new TreeNode();
    node->SetName(name);
    node->SetAttribute(L"height", L"20");
    return node;
}

TEST_F(TreeViewTest, MarkupLaysTheTreeOutDepthFirstWithIndentation)
{
    MarkupWindow w(TreeSkin().c_str(), kWidth, kHeight);
    auto* tree = w.Find<TreeView>(L"tree");
    ASSERT_NE(nullptr, tree);
    EXPECT_EQ((std::vector<std::wstring>{L"A", L"B", L"C", L"D", L"E", L"F"}), RowNames(tree));
    const struct {
        const wchar_t* name;
        int depth;
        const wchar_t* parent;
        int children;
        int top;
    } nodes[] = {
        {L"A", 0, nullptr, 2, 0}, {L"B", 1, L"A", 0, 20}, {L"C", 1, L"A", 1, 40},
        {L"D", 2, L"C", 0, 60},   {L"E", 0, nullptr, 1, 80}, {L"F", 1, L"E", 0, 100},
    };
    for (const auto& n : nodes) {
        SCOPED_TRACE(testing::Message() << "node " << static_cast<char>(n.name[0]));
        TreeNode* node = w.Find<TreeNode>(n.name);
        ASSERT_NE(nullptr, node);
        EXPECT_EQ(n.depth, node->GetDepth());
        EXPECT_EQ(tree, node->GetView());
        EXPECT_EQ(n.parent ? w.Find<TreeNode>(n.parent) : nullptr, node->GetParentNode());
        EXPECT_EQ(n.children, node->GetChildNodeCount());
        EXPECT_EQ(n.top, static_cast<int>(node->GetBounds().top));
    }
    // Indentation: nodepadding 20 per level.
    EXPECT_EQ(7, static_cast<int>(w.Find<ui::Control>(L"padding")->GetBounds().Width())) << "a given width stays";
    EXPECT_EQ(20, static_cast<int>(w.Find<ui::Control>(L"PADDING")->GetBounds().Width()));
    TreeNode* d = w.Find<TreeNode>(L"D");
    EXPECT_EQ(40, static_cast<int>(d->GetItemBox()->GetContentInset().left)) << "depth 2 without a padding control";
    EXPECT_EQ(0, static_cast<int>(w.Find<TreeNode>(L"A")->GetItemBox()->GetContentInset().left));
}

TEST_F(TreeViewTest, DoubleClicksCollapseAndExpandSubtrees)
{
    MarkupWindow w(TreeSkin().c_str(), kWidth, kHeight);
    auto* tree = w.Find<TreeView>(L"tree");
    ASSERT_NE(nullptr, tree);
    // D selected: hidden with C's collapse, it drops the flag quietly and
    // stays in the list's selection.
    ASSERT_TRUE(tree->SelectRow(3, false));
    const struct {
        const char* name;
        const wchar_t* node;
        std::vector<std::wstring> visible;
    } steps[] = {
        {"collapsing C hides D", L"C", {L"A", L"B", L"C", L"E", L"F"}},
        {"collapsing A hides B and C", L"A", {L"A", L"E", L"F"}},
        {"expanding A shows B and C but not D", L"A", {L"A", L"B", L"C", L"E", L"F"}},
        {"expanding C shows D again", L"C", {L"A", L"B", L"C", L"D", L"E", L"F"}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        w.log.items.clear();
        DoubleClick(w, w.Find<TreeNode>(step.node));
        ASSERT_TRUE(w.Paint());
        EXPECT_EQ(step.visible, VisibleRowNames(tree));
        EXPECT_EQ(std::vector<std::wstring>{L"itemactivate:" + std::wstring(step.node)},
                  w.log.OfType(L"itemactivate"));
        EXPECT_TRUE(w.log.OfType(L"selectchanged").empty());
        // Hidden rows take no room: the visible ones stack without gaps.
        int top = 0;
        for (int i = 0; i < tree->ChildCount(); ++i) {
            ui::Control* row = tree->ChildAt(i);
            if (!row->IsVisible())
                continue;
            EXPECT_EQ(top, static_cast<int>(row->GetBounds().top)) << "row " << i;
            top += 20;
        }
    }
    EXPECT_TRUE(w.Find<TreeNode>(L"C")->IsExpanded());
    EXPECT_FALSE(w.Find<TreeNode>(L"D")->IsSelected());
    EXPECT_EQ(std::vector<int>{3}, tree->GetSelectedRows());

    // The same from code: every subtree, then one.
    tree->SetDescendantsVisible(false, nullptr);
    EXPECT_EQ((std::vector<std::wstring>{L"A", L"E"}), VisibleRowNames(tree));
    tree->SetDescendantsVisible(true, w.Find<TreeNode>(L"A"));
    EXPECT_EQ((std::vector<std::wstring>{L"A", L"B", L"C", L"D", L"E"}), VisibleRowNames(tree));
}

TEST_F(TreeViewTest, TheExpandControlTogglesItsNode)
{
    MarkupWindow w(TreeSkin().c_str(), kWidth, kHeight);
    auto* tree = w.Find<TreeView>(L"tree");
    TreeNode* e = w.Find<TreeNode>(L"E");
    ui::Control* expand = w.Find<ui::Control>(L"Expand");
    ASSERT_TRUE(tree && e && expand);
    EXPECT_EQ(expand, e->GetExpandControl());
    EXPECT_TRUE(expand->IsSelected()) << "shows the expanded state";
    const ui::RECTF r = expand->GetBounds();
    const int x = static_cast<int>((r.left + r.right) / 2), y = static_cast<int>((r.top + r.bottom) / 2);
    w.Click(x, y);
    EXPECT_FALSE(e->IsExpanded());
    EXPECT_FALSE(w.Find<TreeNode>(L"F")->IsVisible());
    w.Click(x, y);
    EXPECT_TRUE(e->IsExpanded());
    EXPECT_TRUE(w.Find<TreeNode>(L"F")->IsVisible());
    // Collapsing in code updates the button.
    e->SetExpanded(false, false);
    EXPECT_FALSE(expand->IsSelected());
}

TEST_F(TreeViewTest, RemovingASubtreeTakesItsRowsAndLeavesItsParent)
{
    MarkupWindow w(TreeSkin().c_str(), kWidth, kHeight);
    auto* tree = w.Find<TreeView>(L"tree");
    ASSERT_NE(nullptr, tree);
    TreeNode* a = w.Find<TreeNode>(L"A");
    TreeNode* c = w.Find<TreeNode>(L"C");

    // C with D: its parent's child list forgets it.
    ASSERT_TRUE(tree->AddRowToSelection(4, false));
    ASSERT_TRUE(tree->RemoveSubtree(c));
    EXPECT_EQ((std::vector<std::wstring>{L"A", L"B", L"E", L"F"}), RowNames(tree));
    ASSERT_EQ(1, a->GetChildNodeCount());
    EXPECT_EQ(w.Find<TreeNode>(L"B"), a->GetChildNode(0));
    EXPECT_EQ(std::vector<int>{2}, tree->GetSelectedRows()) << "E moved up by two rows";
    // A node removed through its parent.
    ASSERT_TRUE(a->RemoveChild(w.Find<TreeNode>(L"B")));
    EXPECT_EQ(0, a->GetChildNodeCount());
    EXPECT_FALSE(a->RemoveChild(w.Find<TreeNode>(L"F"))) << "not a child of A";
    EXPECT_EQ((std::vector<std::wstring>{L"A", L"E", L"F"}), RowNames(tree));

    // Removing by row takes the subtree; a missing row is refused.
    EXPECT_FALSE(tree->RemoveChildAt(3));
    EXPECT_FALSE(tree->RemoveChildAt(-1));
    ASSERT_TRUE(tree->RemoveChildAt(1));
    EXPECT_EQ((std::vector<std::wstring>{L"A"}), RowNames(tree));
    // The window still lays out and paints what is left.
    ASSERT_TRUE(w.Paint());
}

TEST_F(TreeViewTest, RemovingANodeWithThreeDescendantsShiftsTheSelectionByFour)
{
    MarkupWindow w(TreeSkin().c_str(), kWidth, kHeight);
    auto* tree = w.Find<TreeView>(L"tree");
    ASSERT_NE(nullptr, tree);
    ASSERT_TRUE(tree->AddRowToSelection(5, false));
    ASSERT_TRUE(tree->AddRowToSelection(4, false));
    ASSERT_TRUE(tree->RemoveChildAt(0));
    EXPECT_EQ((std::vector<std::wstring>{L"E", L"F"}), RowNames(tree));
    EXPECT_EQ((std::vector<int>{1, 0}), tree->GetSelectedRows());
}

TEST_F(TreeViewTest, AddedAndInsertedNodesTakeTheirPlaceInTheRows)
{
    MarkupWindow w(TreeSkin().c_str(), kWidth, kHeight);
    auto* tree = w.Find<TreeView>(L"tree");
    ASSERT_NE(nullptr, tree);
    TreeNode* a = w.Find<TreeNode>(L"A");
    TreeNode* e = w.Find<TreeNode>(L"E");
    TreeNode* f = w.Find<TreeNode>(L"F");

    const struct {
        const char* name;
        TreeNode* parent;
        const wchar_t* child;
        std::vector<std::wstring> rows;
        int depth;
    } steps[] = {
        {"a child of the last node goes last", f, L"G", {L"A", L"B", L"C", L"D", L"E", L"F", L"G"}, 2},
        {"a second child after a last-row subtree goes last", e,
         L"H", {L"A", L"B", L"C", L"D", L"E", L"F", L"G", L"H"}, 1},
        {"a child of A goes after A's last descendant", a,
         L"I", {L"A", L"B", L"C", L"D", L"I", L"E", L"F", L"G", L"H"}, 1},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        TreeNode* node = NewNode(step.child);
        ASSERT_TRUE(step.parent->AppendChild(node));
        EXPECT_EQ(step.rows, RowNames(tree));
        EXPECT_EQ(step.depth, node->GetDepth());
        EXPECT_EQ(tree, node->GetView());
        EXPECT_EQ(step.parent, node->GetParentNode());
    }

    // Before a child: the rows go before that child's.
    TreeNode* k = NewNode(L"K");
    ASSERT_TRUE(a->InsertChildAt(k, 1));
    EXPECT_EQ((std::vector<std::wstring>{L"A", L"B", L"K", L"C", L"D", L"I", L"E", L"F", L"G", L"H"}),
              RowNames(tree));
    EXPECT_EQ(k, a->GetChildNode(1));
    for (int i = 0; i < tree->ChildCount(); ++i)
        EXPECT_EQ(i, static_cast<ui::ListItem*>(tree->ChildAt(i))->GetIndex());

    // InsertAt needs an existing row; AddNode appends.
    std::unique_ptr<TreeNode> late(NewNode(L"L"));
    EXPECT_FALSE(tree->InsertAt(late.get(), tree->ChildCount()));
    std::unique_ptr<ui::Control> plain(new ui::Control());
    EXPECT_FALSE(a->InsertChildAt(plain.get(), 0)) << "only nodes are inserted";
    ASSERT_TRUE(tree->AddNode(late.get()));
    EXPECT_EQ(L"L", tree->ChildAt(tree->ChildCount() - 1)->GetName().ToStdString());
    late.release();
    ASSERT_TRUE(w.Paint());
}

// A list and a tree side by side, with selections, for a person to look at.
TEST_F(TreeViewTest, ListAndTreeScreenshot)
{
    std::wstring skin = L"<Window><HBox bkcolor=\"#FFFFFFFF\">" +
                        controltest::FileListMarkup(L"name=\"list\" width=\"300\" multi=\"true\" vscroll=\"true\" "
                                                    L"itemaltbk=\"true\" itembkcolor=\"#FFF2F5F8\" "
                                                    L"itemselectedbkcolor=\"#FF3070D0\" itemhotbkcolor=\"#FFE9F5FF\" "
                                                    L"itemlinecolor=\"#FFD8DEE4\"",
                                                    14);
    skin += LR"(<Control width="12"/>
  <TreeView name="tree" nodepadding="20" itemselectedbkcolor="#FF3070D0" itemhotbkcolor="#FFE9F5FF">)";
    skin += kTreeNodes;
    skin += L"</TreeView></HBox></Window>";
    MarkupWindow w(skin.c_str(), 600, 340);
    auto* list = w.Find<ui::List>(L"list");
    auto* tree = w.Find<TreeView>(L"tree");
    ASSERT_TRUE(list && tree);
    ASSERT_TRUE(list->SelectRow(2, false));
    ASSERT_TRUE(list->AddRowToSelection(3, false));
    ASSERT_TRUE(list->AddRowToSelection(6, false));
    DoubleClick(w, w.Find<TreeNode>(L"C"));
    ASSERT_TRUE(tree->SelectRow(1, false));
    ASSERT_TRUE(w.Paint());
    const testsupport::PixelImage px = w.Pixels();
    ASSERT_FALSE(px.data.empty());
    const ui::RECTF listRow = list->ChildAt(3)->GetBounds();
    const ui::RECTF treeRow = tree->ChildAt(1)->GetBounds();
    EXPECT_EQ(testsupport::Rgb(kSelectedColor),
              px.RgbAt(static_cast<int>(listRow.right) - 4, static_cast<int>(listRow.top) + 4));
    EXPECT_EQ(testsupport::Rgb(kSelectedColor),
              px.RgbAt(static_cast<int>(treeRow.right) - 4, static_cast<int>(treeRow.top) + 4));
    EXPECT_FALSE(w.Find<TreeNode>(L"D")->IsVisible());
    EXPECT_TRUE(testsupport::SavePng(px, testsupport::ArtifactsFolder() + L"\\lists-96dpi.png"));
}

} // namespace
