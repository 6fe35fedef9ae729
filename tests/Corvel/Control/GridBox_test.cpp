// Grid boxes in real windows built from skin markup: items per line from the
// room, the spacing of what is left over, rows counted over every child,
// column flow, item sizes without area, and measuring by children.
#include "Corvel/Control/GridBox.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Corvel/Control/support/ContentRecorder.h"
#include "Corvel/Control/support/MarkupWindow.h"
#include "Corvel/Core/support/TestWindow.h"

namespace {

using testsupport::Named;
using testsupport::ShowMarkupWindow;
using ui::GridBox;
using ui::RECTF;

// An expected rectangle; `placed` false means the layout left the child
// alone.
struct Expected {
    const wchar_t* name;
    RECTF rect;
    bool placed;
};

struct GridCase {
    const char* what;
    int width, height; // window, 96-DPI pixels
    const wchar_t* gridAttributes;
    const wchar_t* children;
    int itemsPerLine;
    std::vector<Expected> rects;
};

const GridCase kCases[] = {
    {"the width left over goes between the columns", 250, 100, L"itemsize=\"80,30\" childpadding=\"10\"",
     LR"(<Control name="c0"/><Control name="c1"/><Control name="c2"/><Control name="c3"/><Control name="c4"/>)",
     3,
     {{L"c0", {0, 0, 80, 30}, true},
      {L"c1", {85, 0, 165, 30}, true},
      {L"c2", {170, 0, 250, 30}, true},
      {L"c3", {0, 40, 80, 70}, true},
      {L"c4", {85, 40, 165, 70}, true}}},
    {"a grid narrower than one item holds one a row", 60, 100, L"itemsize=\"80,30\"",
     LR"(<Control name="c0"/><Control name="c1"/>)", 1,
     {{L"c0", {0, 0, 80, 30}, true}, {L"c1", {0, 30, 80, 60}, true}}},
    {"rows start at multiples of the row length, hidden children counted", 320, 100, L"itemsize=\"80,30\"",
     LR"(<Control name="c0"/><Control visible="false"/><Control name="c2"/><Control name="c3"/>
         <Control name="c4"/><Control name="c5"/>)",
     4,
     {{L"c0", {0, 0, 80, 30}, true},
      {L"c2", {80, 0, 160, 30}, true},
      {L"c3", {160, 0, 240, 30}, true},
      {L"c4", {0, 30, 80, 60}, true},
      {L"c5", {80, 30, 160, 60}, true}}},
    {"a hidden first child: the first placed child starts the first row", 250, 100, L"itemsize=\"80,30\"",
     LR"(<Control visible="false"/><Control name="c1"/><Control name="c2"/><Control name="c3"/>)", 3,
     {{L"c1", {0, 0, 80, 30}, true}, {L"c2", {85, 0, 165, 30}, true}, {L"c3", {0, 30, 80, 60}, true}}},
    {"a floating first child: the first placed child starts the first row", 250, 100, L"itemsize=\"80,30\"",
     LR"(<Control name="f" float="true" pos="5,5,10,10"/><Control name="c1"/><Control name="c2"/><Control name="c3"/>)",
     3,
     {{L"f", {5, 5, 15, 15}, true},
      {L"c1", {0, 0, 80, 30}, true},
      {L"c2", {85, 0, 165, 30}, true},
      {L"c3", {0, 30, 80, 60}, true}}},
    {"padding shifts an item without shrinking it; the inset bounds the lines", 250, 100,
     L"itemsize=\"80,30\" inset=\"5,5,5,5\"",
     LR"(<Control name="c0" padding="3,4,9,9"/><Control name="c1"/><Control name="c2"/>)", 3,
     {{L"c0", {8, 9, 88, 39}, true}, {L"c1", {85, 5, 165, 35}, true}, {L"c2", {165, 5, 245, 35}, true}}},
    {"column flow fills the height and grows to the right", 250, 100,
     L"itemsize=\"80,30\" direction=\"vertical\" childpadding=\"4\"",
     LR"(<Control name="c0"/><Control name="c1"/><Control name="c2"/><Control name="c3"/>)", 3,
     {{L"c0", {0, 0, 80, 30}, true},
      {L"c1", {0, 35, 80, 65}, true},
      {L"c2", {0, 70, 80, 100}, true},
      {L"c3", {84, 0, 164, 30}, true}}},
    {"an item width of 0 places nothing", 250, 100, L"itemsize=\"0,30\"", LR"(<Control name="c0"/>)", 1,
     {{L"c0", {}, false}}},
    {"an item size without a height places nothing", 250, 100, L"itemsize=\"80\"", LR"(<Control name="c0"/>)", 1,
     {{L"c0", {}, false}}},
};

class GridBoxLayoutTest : public ::testing::TestWithParam<int> {
protected:
    testsupport::UiLibraryScope lib;
};

TEST_P(GridBoxLayoutTest, ItemsInLines)
{
    const int dpi = GetParam();
    const float s = dpi / 96.0f;
    for (const GridCase& c : kCases) {
        SCOPED_TRACE(c.what);
        const std::wstring markup = std::wstring(L"<Window><GridBox name=\"grid\" ") + c.gridAttributes + L">" +
                                    c.children + L"</GridBox></Window>";
        auto win = ShowMarkupWindow(markup.c_str(), dpi, c.width, c.height);
        auto* grid = static_cast<GridBox*>(Named(*win, L"grid"));
        ASSERT_NE(nullptr, grid);
        EXPECT_EQ(c.itemsPerLine, grid->GetItemsPerLine());
        for (const Expected& e : c.rects) {
            ui::Control* control = Named(*win, e.name);
            if (!control)
                continue;
            const std::string name(e.name, e.name + wcslen(e.name));
            EXPECT_EQ(e.placed, control->IsPlaced()) << name;
            if (e.placed) {
                const RECTF want{e.rect.left * s, e.rect.top * s, e.rect.right * s, e.rect.bottom * s};
                EXPECT_EQ(want, control->GetBounds()) << name << " at dpi " << dpi;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Dpi, GridBoxLayoutTest, ::testing::Values(96, 144));

TEST(GridBoxMeasure, LinesOfEveryChildAtTheAvailableSize)
{
    struct Case {
        const char* what;
        const wchar_t* attributes;
        int children;
        int hidden;
        float availableWidth, availableHeight;
        ui::ControlSize size;
    } cases[] = {
        {"seven children, three a row: three rows, two gaps and the inset",
         L"itemsize=\"80,30\" childpadding=\"10\" inset=\"0,2,0,3\" height=\"child\"", 7, 0, 250, 0, {-1, 115}},
        {"hidden children count", L"itemsize=\"80,30\" childpadding=\"10\" inset=\"0,2,0,3\" height=\"child\"", 4, 1,
         250, 0, {-1, 75}},
        {"the inset narrows the line", L"itemsize=\"80,30\" inset=\"11,0,0,0\" height=\"child\"", 3, 0, 250, 0,
         {-1, 60}},
        {"no minimum or maximum applies", L"itemsize=\"80,30\" maxheight=\"20\" height=\"child\"", 2, 0, 50, 0,
         {-1, 60}},
        {"an item width of 0: the inset alone", L"itemsize=\"0,30\" inset=\"0,2,0,3\" height=\"child\"", 3, 0, 250, 0,
         {-1, 5}},
        {"an item height of 0 in column flow: the inset alone",
         L"itemsize=\"80,0\" direction=\"v\" inset=\"1,0,2,0\" width=\"child\"", 3, 0, 0, 100, {3, -1}},
        {"column flow measures the width", L"itemsize=\"80,30\" direction=\"V\" childpadding=\"4\" width=\"child\"", 5,
         0, 0, 100, {80 + 4 + 80, -1}},
        {"the growing axis only in its own flow", L"itemsize=\"80,30\" width=\"child\" height=\"40\"", 5, 0, 250, 0,
         {-1, 40}},
    };
    testsupport::UiLibraryScope lib;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        GridBox grid;
        grid.ApplyAttributeText(c.attributes);
        for (int i = 0; i < c.children; ++i) {
            auto* child = new ui::Control();
            child->SetFixedWidth(10, false);
            child->SetFixedHeight(10, false);
            if (i < c.hidden)
                child->SetVisible(false);
            ASSERT_TRUE(grid.AppendChild(child));
        }
        const ui::ControlSize got = grid.MeasureSize(c.availableWidth, c.availableHeight);
        if (c.size.width >= 0) {
            EXPECT_EQ(c.size.width, got.width);
        }
        if (c.size.height >= 0) {
            EXPECT_EQ(c.size.height, got.height);
        }
    }
}

TEST(GridBoxAttributes, ItemSizeDirectionAndCount)
{
    GridBox grid;
    struct Step {
        const wchar_t* name;
        const wchar_t* value;
        float itemWidth, itemHeight;
        bool rowFlow;
        int perLine;
    } steps[] = {
        {L"itemsize", L"80.5,30", 80.5f, 30, true, 1},
        {L"itemsize", L"64", 64, 0, true, 1},
        {L"direction", L"h", 64, 0, true, 1},
        {L"direction", L"Vertical", 64, 0, true, 1},
        {L"count", L"0", 64, 0, true, 1},
        {L"columns", L"4", 64, 0, true, 4},
        {L"count", L"-2", 64, 0, true, 4},
        {L"direction", L"vertical", 64, 0, false, 4},
        {L"direction", L"horizontal", 64, 0, false, 4},
    };
    for (const Step& step : steps) {
        grid.SetAttribute(step.name, step.value);
        const std::string what(step.value, step.value + wcslen(step.value));
        EXPECT_EQ(step.itemWidth, grid.GetItemWidth()) << what;
        EXPECT_EQ(step.itemHeight, grid.GetItemHeight()) << what;
        EXPECT_EQ(step.rowFlow, grid.IsRowFlow()) << what;
        EXPECT_EQ(step.perLine, grid.GetItemsPerLine()) << what;
    }
    EXPECT_EQ(&grid, grid.CastTo(L"GridBox"));
    EXPECT_NE(nullptr, grid.CastTo(L"IBox"));
}

} // namespace

namespace {

TEST(GridBoxContentSize, LinesGoToTheScrollBars)
{
    struct Case {
        const char* what;
        const wchar_t* attributes;
        int children;
        int neededWidth, neededHeight;
    } cases[] = {
        {"rows: five items three a row", L"itemsize=\"80,30\" childpadding=\"10\"", 5, 0, 70},
        {"columns: four items three a column", L"itemsize=\"80,30\" childpadding=\"4\" direction=\"v\"", 4, 164, 0},
        {"no children", L"itemsize=\"80,30\" childpadding=\"10\"", 0, 0, 0},
        {"an item width of 0", L"itemsize=\"0,30\"", 3, 0, 0},
    };
    testsupport::UiLibraryScope lib;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::ContentRecorder<GridBox> grid;
        grid.ApplyAttributeText(c.attributes);
        for (int i = 0; i < c.children; ++i)
            ASSERT_TRUE(grid.AppendChild(new ui::Control()));
        grid.SetBounds(0, 0, 250, 100);
        ASSERT_EQ(1u, grid.calls.size());
        EXPECT_EQ(c.neededWidth, grid.calls[0].neededWidth);
        EXPECT_EQ(c.neededHeight, grid.calls[0].neededHeight);
    }
}

} // namespace
