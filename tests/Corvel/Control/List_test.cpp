// The list from markup in a shown window, driven with window messages:
// header columns and their separator drag, row selection by mouse (Ctrl,
// Shift, pending select) and keys, the notifications and their order, the
// child-list routing (header, header items, rows) and sorting.
#include "Corvel/Control/List.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "Corvel/Control/ListBody.h"
#include "Corvel/Control/ListHeader.h"
#include "Corvel/Control/ListHeaderItem.h"
#include "Corvel/Control/ListItem.h"
#include "Corvel/Control/support/MarkupWindow.h"

namespace {

using controltest::MarkupWindow;
using ui::List;
using ui::ListHeader;
using ui::ListHeaderItem;
using ui::ListItem;

constexpr int kWidth = 400, kHeight = 300;
constexpr int kHeaderHeight = 24, kRowHeight = 20;
constexpr uint32_t kSelectedColor = 0xFF3070D0u;
constexpr uint32_t kRowColor = 0xFFFFFFFFu;

// A list with three columns (h2's separator on its left edge) and `rows`
// rows of three labels each; `listAttributes` go on the list element.
std::wstring ListSkin(int rows, const std::wstring& listAttributes = L"multi=\"true\"")
{
    std::wstring skin = LR"(<Window><VBox bkcolor="#FFFFFFFF">
  <List name="list" vscroll="true" itembkcolor="#FFFFFFFF" itemhotbkcolor="#FFFFFFFF"
        itemselectedbkcolor="#FF3070D0" )" + listAttributes + LR"(>
    <ListHeader name="header" height="24" bkcolor="#FFDDDDDD">
      <ListHeaderItem name="h0" text="Name" width="100"/>
      <ListHeaderItem name="h1" text="Size" width="80"/>
      <ListHeaderItem name="h2" text="Type" width="80" sepwidth="-6"/>
    </ListHeader>
)";
    for (int i = 0; i < rows; ++i) {
        const std::wstring n = std::to_wstring(i);
        skin += L"    <ListItem name=\"r" + n + L"\" height=\"20\">" + L"<Control name=\"r" + n +
                L"c0\" mouse=\"false\" text=\"Row " + n + L"\"/><Control name=\"r" + n +
                L"c1\" mouse=\"false\" text=\"" + n + L" kB\"/><Control name=\"r" + n +
                L"c2\" mouse=\"false\"/></ListItem>\n";
    }
    skin += L"  </List>\n</VBox></Window>";
    return skin;
}

int RowCentreY(int row) { return kHeaderHeight + row * kRowHeight + kRowHeight / 2; }

// Holds keys down in this thread's keyboard state (what the core reads for
// the key modifiers) while the object lives.
class HeldKeys {
public:
    explicit HeldKeys(std::vector<int> keys) : m_keys(std::move(keys)) { Set(0x80); }
    ~HeldKeys() { Set(0); }

private:
    void Set(BYTE value)
    {
        BYTE state[256];
        GetKeyboardState(state);
        for (int k : m_keys)
            state[k] = value;
        SetKeyboardState(state);
    }
    std::vector<int> m_keys;
};

class ListTest : public ::testing::Test {
protected:
    void SetUp() override { SetCursorPos(1500, 950); }
    testsupport::UiLibraryScope lib;
};

// Clicks row `row` at column 0 with the mouse-key bits (MK_CONTROL, MK_SHIFT).
void ClickRow(MarkupWindow& w, int row, WPARAM keys = 0)
{
    const int y = RowCentreY(row);
    w.Move(50, y);
    SendMessageW(w.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON | keys, controltest::Pt(50, y));
    SendMessageW(w.Hwnd(), WM_LBUTTONUP, keys, controltest::Pt(50, y));
}

// The selection and row notifications only, in order.
std::vector<std::wstring> RowNotifications(const std::vector<std::wstring>& items)
{
    std::vector<std::wstring> out;
    for (const std::wstring& item : items) {
        for (const wchar_t* type : {L"selectchanged:", L"itemselect:", L"itemclick:", L"itemactivate:"}) {
            if (item.rfind(type, 0) == 0)
                out.push_back(item);
        }
    }
    return out;
}

TEST_F(ListTest, RowCellsSitInTheHeaderColumnsAndFollowASeparatorDrag)
{
    MarkupWindow w(ListSkin(3).c_str(), kWidth, kHeight);
    List* list = w.Find<List>(L"list");
    ASSERT_NE(nullptr, list);
    ASSERT_NE(nullptr, list->GetHeader());
    EXPECT_EQ(3, list->GetItemStyle()->columnCount);
    EXPECT_EQ(3, list->ChildCount()) << "the list's children are its rows";

    struct Cell {
        const wchar_t* name;
        int left, right;
    };
    auto checkCells = [&](const std::vector<Cell>& cells) {
        for (const Cell& cell : cells) {
            SCOPED_TRACE(cell.name);
            ui::Control* c = w.win.core.FindControlByName(cell.name);
            ASSERT_NE(nullptr, c);
            EXPECT_EQ(cell.left, static_cast<int>(c->GetBounds().left));
            EXPECT_EQ(cell.right, static_cast<int>(c->GetBounds().right));
        }
    };
    checkCells({{L"r0c0", 0, 100}, {L"r0c1", 100, 180}, {L"r2c2", 180, 260}});
    EXPECT_EQ(100, list->GetItemStyle()->columns[1].left);
    EXPECT_EQ(180, list->GetItemStyle()->columns[1].right);

    const struct {
        const char* name;
        int pressX, releaseX;
        int h0Width;
        bool widthChanged;
    } drags[] = {
        {"widen the first column by 30", 98, 128, 130, true},
        {"narrow it below its minimum: unchanged", 128, 0, 130, true},
        {"the left-edge separator of h2 shows the cursor but does not resize", 212, 260, 130, true},
    };
    for (const auto& drag : drags) {
        SCOPED_TRACE(drag.name);
        w.log.items.clear();
        w.Move(drag.pressX, 12);
        SendMessageW(w.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, controltest::Pt(drag.pressX, 12));
        w.Move(drag.releaseX, 12, MK_LBUTTON);
        w.Release(drag.releaseX, 12);
        ASSERT_TRUE(w.Paint());
        EXPECT_EQ(drag.h0Width, static_cast<int>(w.Find<ListHeaderItem>(L"h0")->GetBounds().Width()));
        EXPECT_EQ(drag.widthChanged ? 1u : 0u, w.log.OfType(L"headerwidthchanged").size());
        EXPECT_TRUE(w.log.OfType(L"headerclick").empty()) << "a separator press is no click";
    }
    checkCells({{L"r0c0", 0, 130}, {L"r1c1", 130, 210}, {L"r2c2", 210, 290}});
    EXPECT_EQ(130, list->GetItemStyle()->columns[1].left);

    // A press away from any separator is a header click.
    w.log.items.clear();
    w.Click(50, 12);
    EXPECT_EQ(std::vector<std::wstring>{L"headerclick:h0"}, w.log.OfType(L"headerclick"));
}

TEST_F(ListTest, AHiddenHeaderStillGivesTheColumnsTheirWidths)
{
    MarkupWindow w(ListSkin(2, L"header=\"false\"").c_str(), kWidth, kHeight);
    List* list = w.Find<List>(L"list");
    ASSERT_NE(nullptr, list);
    EXPECT_FALSE(list->GetHeader()->IsVisible());
    EXPECT_EQ(100, list->GetItemStyle()->columns[0].right);
    EXPECT_EQ(180, list->GetItemStyle()->columns[2].left);
    // The rows start at the top: the header takes no room.
    EXPECT_EQ(0, static_cast<int>(w.Find<ListItem>(L"r0")->GetBounds().top));
    EXPECT_EQ(100, static_cast<int>(w.Find<ui::Control>(L"r1c1")->GetBounds().left));
}

TEST_F(ListTest, ScrollingTheBodySidewaysMovesHeaderRowsAndColumnsTogether)
{
    std::wstring skin = ListSkin(3, L"vscroll=\"true\" hscroll=\"true\"");
    const std::wstring plainHeader = L"<ListHeader name=\"header\" height=\"24\"";
    skin.replace(skin.find(plainHeader), plainHeader.size(), plainHeader + L" width=\"600\"");
    MarkupWindow w(skin.c_str(), kWidth, kHeight);
    List* list = w.Find<List>(L"list");
    ASSERT_NE(nullptr, list);
    ASSERT_NE(nullptr, list->GetBody()->GetHScrollBar());
    ASSERT_NE(nullptr, list->GetBody()->GetVScrollBar()) << "both bars belong to the body";
    ASSERT_GT(list->GetScrollExtent().horizontal, 30) << "the header is wider than the list";
    const int h1Left = static_cast<int>(w.Find<ListHeaderItem>(L"h1")->GetBounds().left);
    const int cellLeft = static_cast<int>(w.Find<ui::Control>(L"r1c1")->GetBounds().left);
    const int columnLeft = list->GetItemStyle()->columns[1].left;

    list->SetScrollOffset(30, 0);
    ASSERT_TRUE(w.Paint());
    EXPECT_EQ(30, static_cast<int>(list->GetScrollOffset().horizontal));
    EXPECT_EQ(h1Left - 30, static_cast<int>(w.Find<ListHeaderItem>(L"h1")->GetBounds().left));
    EXPECT_EQ(cellLeft - 30, static_cast<int>(w.Find<ui::Control>(L"r1c1")->GetBounds().left));
    EXPECT_EQ(columnLeft - 30, list->GetItemStyle()->columns[1].left);
    // A relayout keeps them there.
    list->RequestRelayout();
    ASSERT_TRUE(w.Paint());
    EXPECT_EQ(h1Left - 30, static_cast<int>(w.Find<ListHeaderItem>(L"h1")->GetBounds().left));
    EXPECT_EQ(cellLeft - 30, static_cast<int>(w.Find<ui::Control>(L"r1c1")->GetBounds().left));
    EXPECT_EQ(columnLeft - 30, list->GetItemStyle()->columns[1].left);
}

TEST_F(ListTest, MouseSelectionWithCtrlShiftAndPendingSelect)
{
    MarkupWindow w(ListSkin(10).c_str(), kWidth, kHeight);
    List* list = w.Find<List>(L"list");
    ASSERT_NE(nullptr, list);
    ASSERT_FALSE(list->IsSingleSelect());
    EXPECT_EQ(-1, list->GetAnchorRow());

    const struct {
        const char* name;
        int row;
        WPARAM keys;
        std::vector<int> selected; // in selection order
        int anchor;
    } steps[] = {
        {"shift with no anchor selects nothing", 4, MK_SHIFT, {}, -1},
        {"a plain click selects and anchors", 3, 0, {3}, 3},
        {"shift extends from the anchor down", 7, MK_SHIFT, {3, 4, 5, 6, 7}, 3},
        {"shift above the anchor", 1, MK_SHIFT, {1, 2, 3}, 3},
        {"ctrl adds a row", 8, MK_CONTROL, {1, 2, 3, 8}, 3},
        {"ctrl on a selected row removes it", 2, MK_CONTROL, {1, 3, 8}, 3},
        {"a click on a selected row of several leaves only it on release", 3, 0, {3}, 3},
        {"a plain click elsewhere moves the anchor", 5, 0, {5}, 5},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        ClickRow(w, step.row, step.keys);
        EXPECT_EQ(step.selected, list->GetSelectedRows());
        EXPECT_EQ(step.anchor, list->GetAnchorRow());
        for (int i = 0; i < 10; ++i) {
            const bool expected =
                std::find(step.selected.begin(), step.selected.end(), i) != step.selected.end();
            EXPECT_EQ(expected, list->ChildAt(i)->IsSelected()) << "row " << i;
        }
    }

    // A press on a selected row that then moves further than 5 pixels keeps
    // the whole selection.
    ClickRow(w, 2, MK_CONTROL);
    ClickRow(w, 4, MK_CONTROL);
    ASSERT_EQ((std::vector<int>{5, 2, 4}), list->GetSelectedRows());
    const int y = RowCentreY(4);
    w.Move(50, y);
    SendMessageW(w.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, controltest::Pt(50, y));
    w.Move(56, y, MK_LBUTTON);
    w.Release(56, y);
    EXPECT_EQ((std::vector<int>{5, 2, 4}), list->GetSelectedRows());

    // The right button selects like the left one but never arms the
    // pending select: a press on a selected row keeps the others.
    const int y0 = RowCentreY(0);
    w.Move(50, y0);
    SendMessageW(w.Hwnd(), WM_RBUTTONDOWN, MK_RBUTTON, controltest::Pt(50, y0));
    SendMessageW(w.Hwnd(), WM_RBUTTONUP, 0, controltest::Pt(50, y0));
    EXPECT_EQ(std::vector<int>{0}, list->GetSelectedRows());
    EXPECT_EQ(0, list->GetAnchorRow());
    ClickRow(w, 1, MK_CONTROL);
    SendMessageW(w.Hwnd(), WM_RBUTTONDOWN, MK_RBUTTON, controltest::Pt(50, y0));
    SendMessageW(w.Hwnd(), WM_RBUTTONUP, 0, controltest::Pt(50, y0));
    SendMessageW(w.Hwnd(), WM_LBUTTONUP, 0, controltest::Pt(50, y0));
    EXPECT_EQ((std::vector<int>{0, 1}), list->GetSelectedRows());
}

TEST_F(ListTest, DraggingOverTheEmptyBodySelectsTheRowsTheBandTouches)
{
    MarkupWindow w(ListSkin(6).c_str(), kWidth, kHeight);
    List* list = w.Find<List>(L"list");
    ASSERT_NE(nullptr, list);
    ASSERT_TRUE(list->IsSelectByBound()) << "multi=\"true\" selects by band";
    ui::ListBody* body = list->GetBody();
    const int below = RowCentreY(6) + 40; // under the last row
    w.Move(300, below);
    SendMessageW(w.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, controltest::Pt(300, below));
    const struct {
        const char* name;
        int y;
        std::vector<int> selected;
    } moves[] = {
        {"up into row 4", RowCentreY(4), {4, 5}},
        {"up into row 1", RowCentreY(1), {1, 2, 3, 4, 5}},
        {"back down into row 5", RowCentreY(5), {5}},
    };
    for (const auto& move : moves) {
        SCOPED_TRACE(move.name);
        w.Move(200, move.y, MK_LBUTTON);
        EXPECT_TRUE(body->IsBandVisible());
        EXPECT_EQ(move.selected, list->GetSelectedRows());
    }
    ASSERT_TRUE(w.Paint());
    const testsupport::PixelImage px = w.Pixels();
    // The band's half-transparent dark fill over the white empty body.
    const uint32_t inside = px.RgbAt(250, below - 10);
    EXPECT_LT(inside & 0xFFu, 0xC0u) << std::hex << inside;
    w.Release(200, RowCentreY(5));
    EXPECT_FALSE(body->IsBandVisible());
    EXPECT_EQ(std::vector<int>{5}, list->GetSelectedRows());
}

TEST_F(ListTest, TheWheelOverARowScrollsTheBody)
{
    MarkupWindow w(ListSkin(40).c_str(), kWidth, kHeight);
    List* list = w.Find<List>(L"list");
    ASSERT_NE(nullptr, list);
    ui::ListBody* body = list->GetBody();
    w.Wheel(50, RowCentreY(3), -WHEEL_DELTA);
    EXPECT_TRUE(testsupport::PumpUntil([body] { return body->GetScrollOffset().vertical > 0; }));
    EXPECT_EQ(0, static_cast<int>(list->GetHeader()->GetBounds().top));
}

TEST_F(ListTest, TheSelectedRowIsPaintedInTheSelectedColour)
{
    MarkupWindow w(ListSkin(4).c_str(), kWidth, kHeight);
    ClickRow(w, 1);
    ASSERT_TRUE(w.Paint());
    const testsupport::PixelImage px = w.Pixels();
    ASSERT_FALSE(px.data.empty());
    // Right of the labels, inside the rows.
    EXPECT_EQ(testsupport::Rgb(kSelectedColor), px.RgbAt(300, RowCentreY(1)));
    EXPECT_EQ(testsupport::Rgb(kRowColor), px.RgbAt(300, RowCentreY(2)));
}

TEST_F(ListTest, NotificationsOfAClickADoubleClickAndEnterComeInOrder)
{
    MarkupWindow w(ListSkin(4).c_str(), kWidth, kHeight);
    // A row's cells are selected with it, before the row itself.
    ClickRow(w, 2);
    EXPECT_EQ((std::vector<std::wstring>{L"selectchanged:r2c0", L"selectchanged:r2c1", L"selectchanged:r2c2",
                                         L"selectchanged:r2", L"itemselect:list", L"itemclick:r2"}),
              RowNotifications(w.log.items));

    w.log.items.clear();
    ClickRow(w, 1);
    EXPECT_EQ((std::vector<std::wstring>{L"selectchanged:r2c0", L"selectchanged:r2c1", L"selectchanged:r2c2",
                                         L"selectchanged:r2", L"selectchanged:r1c0", L"selectchanged:r1c1",
                                         L"selectchanged:r1c2", L"selectchanged:r1", L"itemselect:list",
                                         L"itemclick:r1"}),
              RowNotifications(w.log.items));

    w.log.items.clear();
    SendMessageW(w.Hwnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, controltest::Pt(50, RowCentreY(1)));
    SendMessageW(w.Hwnd(), WM_LBUTTONUP, 0, controltest::Pt(50, RowCentreY(1)));
    EXPECT_EQ((std::vector<std::wstring>{L"itemactivate:r1"}), RowNotifications(w.log.items));

    w.log.items.clear();
    w.Key(VK_RETURN);
    EXPECT_EQ((std::vector<std::wstring>{L"itemactivate:r1"}), w.log.OfType(L"itemactivate"));
}

TEST_F(ListTest, KeysMoveTheSelection)
{
    MarkupWindow w(ListSkin(10).c_str(), kWidth, kHeight);
    List* list = w.Find<List>(L"list");
    ASSERT_NE(nullptr, list);
    ClickRow(w, 5);
    ClickRow(w, 2, MK_CONTROL);
    ClickRow(w, 7, MK_CONTROL);
    ASSERT_EQ((std::vector<int>{5, 2, 7}), list->GetSelectedRows());

    const struct {
        const char* name;
        WPARAM key;
        bool ctrl;
        std::vector<int> selected;
    } steps[] = {
        {"up goes above the smallest", VK_UP, false, {1}},
        {"down goes below the largest", VK_DOWN, false, {2}},
        {"end selects the last row", VK_END, false, {9}},
        {"down on the last row stays there", VK_DOWN, false, {9}},
        {"home selects the first row", VK_HOME, false, {0}},
        {"up on the first row keeps it", VK_UP, false, {0}},
        {"ctrl+a selects every row", 'A', true, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        w.log.items.clear();
        if (step.ctrl) {
            HeldKeys ctrl({VK_CONTROL});
            w.Key(step.key);
        } else {
            w.Key(step.key);
        }
        EXPECT_EQ(step.selected, list->GetSelectedRows());
        if (step.key != 'A') {
            EXPECT_EQ(std::vector<std::wstring>{L"itemselect:list"}, w.log.OfType(L"itemselect"));
            EXPECT_EQ(list->ChildAt(step.selected[0]), w.win.core.GetFocus()) << "the selected row takes the focus";
        } else {
            EXPECT_TRUE(w.log.OfType(L"itemselect").empty()) << "select-all raises nothing";
        }
    }
}

TEST_F(ListTest, CtrlAIsRefusedInSingleSelection)
{
    MarkupWindow w(ListSkin(4, L"multi=\"false\"").c_str(), kWidth, kHeight);
    List* list = w.Find<List>(L"list");
    ASSERT_NE(nullptr, list);
    ClickRow(w, 1);
    ClickRow(w, 3, MK_CONTROL);
    EXPECT_EQ(std::vector<int>{3}, list->GetSelectedRows()) << "ctrl does not extend a single selection";
    HeldKeys ctrl({VK_CONTROL});
    w.Key('A');
    EXPECT_EQ(std::vector<int>{3}, list->GetSelectedRows());
}

TEST_F(ListTest, SelectingARowBelowTheBodyScrollsItIntoView)
{
    MarkupWindow w(ListSkin(30).c_str(), kWidth, kHeight);
    List* list = w.Find<List>(L"list");
    ASSERT_NE(nullptr, list);
    ui::ListBody* body = list->GetBody();
    ASSERT_EQ(0, static_cast<int>(body->GetScrollOffset().vertical));
    ASSERT_TRUE(list->SelectRow(20, false));
    ASSERT_TRUE(w.Paint());
    EXPECT_GT(body->GetScrollOffset().vertical, 0.0f);
    EXPECT_EQ(static_cast<int>(body->GetBounds().bottom), static_cast<int>(list->ChildAt(20)->GetBounds().bottom))
        << "the row's bottom meets the body's";
    // The header does not scroll vertically.
    EXPECT_EQ(0, static_cast<int>(list->GetHeader()->GetBounds().top));

    ASSERT_TRUE(list->SelectRow(0, false));
    ASSERT_TRUE(w.Paint());
    EXPECT_EQ(0, static_cast<int>(body->GetScrollOffset().vertical));
}

TEST_F(ListTest, RemovingAndInsertingRowsRenumbersThemAndTheSelection)
{
    MarkupWindow w(ListSkin(8).c_str(), kWidth, kHeight);
    List* list = w.Find<List>(L"list");
    ASSERT_NE(nullptr, list);
    for (int row : {1, 3, 6})
        ASSERT_TRUE(list->AddRowToSelection(row, false));
    EXPECT_FALSE(list->AddRowToSelection(3, false)) << "already selected";
    EXPECT_FALSE(list->AddRowToSelection(8, false)) << "no such row";
    EXPECT_EQ(1, list->GetFirstSelected());
    EXPECT_EQ(6, list->GetNextSelected(3));
    EXPECT_EQ(-1, list->GetNextSelected(6));
    EXPECT_EQ(-1, list->GetNextSelected(2));

    ASSERT_TRUE(list->RemoveChildAt(3));
    EXPECT_EQ((std::vector<int>{1, 5}), list->GetSelectedRows());
    EXPECT_FALSE(list->RemoveChildAt(7)) << "only seven rows are left";
    for (int i = 0; i < list->ChildCount(); ++i)
        EXPECT_EQ(i, static_cast<ListItem*>(list->ChildAt(i))->GetIndex());

    auto* row = new ListItem();
    ASSERT_TRUE(list->InsertChildAt(row, 2));
    EXPECT_EQ(2, row->GetIndex());
    EXPECT_EQ(static_cast<ui::IList*>(list), row->GetOwner());
    EXPECT_EQ((std::vector<int>{1, 6}), list->GetSelectedRows());
    EXPECT_EQ(7, static_cast<ListItem*>(list->ChildAt(7))->GetIndex());

    // Moving a row renumbers the rows in between and clears the selection.
    ASSERT_TRUE(list->MoveChild(row, 5));
    EXPECT_EQ(5, row->GetIndex());
    EXPECT_EQ(2, static_cast<ListItem*>(list->ChildAt(2))->GetIndex());
    EXPECT_TRUE(list->GetSelectedRows().empty());
    EXPECT_FALSE(list->ChildAt(1)->IsSelected());

    list->RemoveAllChildren(true);
    EXPECT_EQ(0, list->ChildCount());
    EXPECT_NE(nullptr, list->GetHeader()) << "the header is no row";
}

TEST_F(ListTest, ASecondHeaderReplacesTheFirstInTheListsBox)
{
    MarkupWindow w(ListSkin(2).c_str(), kWidth, kHeight);
    List* list = w.Find<List>(L"list");
    ASSERT_NE(nullptr, list);
    ListHeader* first = list->GetHeader();
    ASSERT_NE(nullptr, first);
    auto* second = new ListHeader();
    ASSERT_TRUE(list->AppendChild(second));
    EXPECT_EQ(second, list->GetHeader());
    EXPECT_EQ(0, list->ui::Box::IndexOfChild(second));
    EXPECT_EQ(-1, list->ui::Box::IndexOfChild(first)) << "the old header left the list's box";
    EXPECT_EQ(2, list->ui::Box::ChildCount()) << "header and body only";
    EXPECT_EQ(0, list->GetItemStyle()->columnCount);
    ASSERT_TRUE(w.Paint()) << "lays out without the old header";

    // Inserting keeps the current header while it has items.
    ASSERT_TRUE(list->AppendChild(new ListHeaderItem()));
    EXPECT_EQ(1, list->GetItemStyle()->columnCount);
    auto third = std::make_unique<ListHeader>();
    EXPECT_FALSE(list->InsertChildAt(third.get(), 0));
    EXPECT_EQ(second, list->GetHeader());

    ASSERT_TRUE(list->RemoveChild(second));
    EXPECT_EQ(nullptr, list->GetHeader());
    EXPECT_EQ(1, list->GetItemStyle()->columnCount);
    // A header without items may be replaced by an insert.
    ASSERT_TRUE(list->InsertChildAt(third.get(), 0));
    EXPECT_EQ(third.get(), list->GetHeader());
    third.release(); // the list holds it now
    ASSERT_TRUE(w.Paint());
}

TEST_F(ListTest, TheSortChildTogglesTheArrowsAndAsksForAReorder)
{
    const std::wstring skin = LR"(<Window><VBox>
  <List name="list">
    <ListHeader height="24">
      <ListHeaderItem name="h0" width="120">
        <Button name="sort" width="30"/>
        <Control name="asc" width="10" visible="false"/>
        <Control name="desc" width="10" visible="false"/>
      </ListHeaderItem>
    </ListHeader>
  </List>
</VBox></Window>)";
    MarkupWindow w(skin.c_str(), kWidth, kHeight);
    ui::Control* asc = w.Find<ui::Control>(L"asc");
    ui::Control* desc = w.Find<ui::Control>(L"desc");
    ASSERT_TRUE(asc && desc);
    const struct {
        const char* name;
        bool asc, desc;
        LPARAM order;
    } steps[] = {
        {"first click: ascending", true, false, 1},
        {"second click: descending", false, true, 0},
        {"third click: ascending again", true, false, 1},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        std::vector<LPARAM> orders;
        struct Orders : ui::INotifyUI {
            std::vector<LPARAM>* out;
            void ReceiveNotify(ui::tagTNotifyUI& msg) override
            {
                if (msg.type.Equals(L"listreorder"))
                    out->push_back(msg.lParam);
            }
        } listener;
        listener.out = &orders;
        w.win.core.AddNotifyListener(&listener);
        w.log.items.clear();
        w.Click(15, 12);
        w.win.core.RemoveNotifyListener(&listener);
        EXPECT_EQ(step.asc, asc->IsVisible());
        EXPECT_EQ(step.desc, desc->IsVisible());
        EXPECT_EQ(std::vector<LPARAM>{step.order}, orders);
        EXPECT_TRUE(w.log.OfType(L"click").empty()) << "the sort button's own notifications stay inside";
    }
}

TEST_F(ListTest, AlternateRowsShowNoColourUnlessSelected)
{
    MarkupWindow w(ListSkin(14, L"multi=\"true\" itemaltbk=\"true\" itembkcolor=\"#FFF4F4F4\" "
                                L"itemlinecolor=\"#FFCCCCCC\"")
                       .c_str(),
                   kWidth, kHeight);
    List* list = w.Find<List>(L"list");
    ASSERT_NE(nullptr, list);
    ClickRow(w, 2);
    ClickRow(w, 4, MK_SHIFT);
    ClickRow(w, 7, MK_CONTROL);
    ASSERT_TRUE(w.Paint());
    const testsupport::PixelImage px = w.Pixels();
    ASSERT_FALSE(px.data.empty());
    EXPECT_EQ(testsupport::Rgb(kSelectedColor), px.RgbAt(300, RowCentreY(3)));
    EXPECT_EQ(testsupport::Rgb(0xFFF4F4F4u), px.RgbAt(300, RowCentreY(0))) << "even rows take the row colour";
    EXPECT_EQ(0xFFFFFFu, px.RgbAt(300, RowCentreY(1))) << "odd rows show the window through";
}

} // namespace
