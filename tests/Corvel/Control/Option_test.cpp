#include "Corvel/Control/Option.h"
#include "Corvel/Control/Box.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Corvel/Control/support/MarkupWindow.h"

namespace {

using controltest::MarkupWindow;
using testsupport::Rgb;
using ui::Option;

constexpr uint32_t kWindowColor = 0xFF202020u;
constexpr uint32_t kSelectedColor = 0xFF3070D0u;

// Three options of one group side by side (a selected), and a lone one.
const wchar_t kOptionSkin[] = LR"(<Window>
    <Box bkcolor="#FF202020">
        <Option name="a" group="g" selected="true" float="true" pos="10,10,50,30" selectedbkcolor="#FF3070D0"/>
        <Option name="b" group="g" float="true" pos="70,10,50,30" selectedbkcolor="#FF3070D0"/>
        <Option name="c" group="g" float="true" pos="130,10,50,30" selectedbkcolor="#FF3070D0"/>
        <Option name="lone" float="true" pos="10,60,50,30" selectedbkcolor="#FF3070D0"/>
    </Box>
</Window>)";
// Centres of the options.
constexpr POINT kA{35, 25}, kB{95, 25}, kC{155, 25}, kLone{35, 75};

class OptionTest : public ::testing::Test {
protected:
    void SetUp() override { SetCursorPos(1500, 950); }
    testsupport::UiLibraryScope lib;
};

// The click and selection notifications only.
std::vector<std::wstring> Selections(const controltest::NotifyLog& log)
{
    std::vector<std::wstring> out;
    for (const std::wstring& item : log.items) {
        if (item.rfind(L"click:", 0) == 0 || item.rfind(L"selectchanged:", 0) == 0)
            out.push_back(item);
    }
    return out;
}

TEST_F(OptionTest, OneMemberOfAGroupIsSelectedAndEachChangeIsReported)
{
    MarkupWindow w(kOptionSkin, 200, 100);
    Option* a = w.Find<Option>(L"a");
    Option* b = w.Find<Option>(L"b");
    Option* c = w.Find<Option>(L"c");
    ASSERT_TRUE(a && b && c);
    ASSERT_TRUE(a->IsSelected());
    const struct {
        const char* name;
        POINT at;
        std::vector<std::wstring> notifications;
        bool a, b, c;
    } steps[] = {
        {"b takes the selection from a", kB, {L"click:b", L"selectchanged:a", L"selectchanged:b"}, false, true, false},
        {"b again stays selected", kB, {L"click:b"}, false, true, false},
        {"c takes it from b", kC, {L"click:c", L"selectchanged:b", L"selectchanged:c"}, false, false, true},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        w.log.items.clear();
        w.Click(step.at.x, step.at.y);
        EXPECT_EQ(step.notifications, Selections(w.log));
        EXPECT_EQ(step.a, a->IsSelected());
        EXPECT_EQ(step.b, b->IsSelected());
        EXPECT_EQ(step.c, c->IsSelected());
    }
}

TEST_F(OptionTest, AnOptionWithoutAGroupTogglesOnEveryClick)
{
    MarkupWindow w(kOptionSkin, 200, 100);
    Option* lone = w.Find<Option>(L"lone");
    ASSERT_NE(nullptr, lone);
    for (bool expected : {true, false, true}) {
        SCOPED_TRACE(expected);
        w.log.items.clear();
        w.Click(kLone.x, kLone.y);
        EXPECT_EQ(expected, lone->IsSelected());
        const std::vector<std::wstring> want{L"click:lone", L"selectchanged:lone"};
        EXPECT_EQ(want, Selections(w.log)) << "the click comes before the selection";
    }
    // Space on the focused option toggles it too.
    w.win.core.FocusControl(lone);
    w.Key(VK_SPACE);
    EXPECT_FALSE(lone->IsSelected());
}

TEST_F(OptionTest, SelectedAttributeIsTrueOnlyForTheExactWord)
{
    const struct {
        const wchar_t* value;
        bool selected;
    } cases[] = {{L"true", true}, {L"TRUE", false}, {L"True", false}, {L"false", false}, {L"1", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        std::wstring skin = L"<Window><Box><Option name=\"o\" selected=\"";
        skin += c.value;
        skin += L"\"/></Box></Window>";
        MarkupWindow w(skin.c_str(), 60, 30);
        Option* o = w.Find<Option>(L"o");
        ASSERT_NE(nullptr, o);
        EXPECT_EQ(c.selected, o->IsSelected());
    }
}

TEST_F(OptionTest, TheSelectedOptionIsFilledWithItsSelectedColour)
{
    MarkupWindow w(kOptionSkin, 200, 100);
    const struct {
        const char* name;
        POINT click;
        uint32_t a, b;
    } steps[] = {
        {"as built", {-1, -1}, kSelectedColor, kWindowColor},
        {"after b is clicked", kB, kWindowColor, kSelectedColor},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        if (step.click.x >= 0) {
            w.Click(step.click.x, step.click.y);
            w.Move(5, 95); // off every option, so that no hot look remains
        }
        ASSERT_TRUE(w.Paint());
        testsupport::PixelImage img = w.Pixels();
        EXPECT_EQ(Rgb(step.a), img.RgbAt(kA.x, kA.y));
        EXPECT_EQ(Rgb(step.b), img.RgbAt(kB.x, kB.y));
    }
}

TEST_F(OptionTest, ADestroyedOptionLeavesItsGroup)
{
    MarkupWindow w(kOptionSkin, 200, 100);
    const std::vector<ui::Control*>* group = w.win.core.GetGroup(L"g");
    ASSERT_NE(nullptr, group);
    ASSERT_EQ(3u, group->size()) << "each member once";
    Option* c = w.Find<Option>(L"c");
    ASSERT_NE(nullptr, c);
    ui::Box* box = static_cast<ui::Box*>(w.win.core.GetRoot()->CastTo(L"Box"));
    ASSERT_NE(nullptr, box);
    box->RemoveChild(c);
    testsupport::PumpFor(50);
    group = w.win.core.GetGroup(L"g");
    ASSERT_NE(nullptr, group);
    EXPECT_EQ(2u, group->size());
    // Selecting through the group still works without the removed member.
    w.Click(kB.x, kB.y);
    EXPECT_TRUE(w.Find<Option>(L"b")->IsSelected());
}

} // namespace
