#include "Corvel/Control/Box.h"
#include "Corvel/Core/Control.h"
#include "Corvel/Core/ControlRegistry.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Core/support/TestWindow.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using ui::Box;
using ui::Control;
using ui::RECTF;

class ControlTest : public ::testing::Test {
protected:
    testsupport::UiLibraryScope lib;
};

// Records every notification in order as "type:name".
struct NotifyLog : ui::INotifyUI {
    std::vector<std::wstring> items;
    void ReceiveNotify(ui::tagTNotifyUI& msg) override
    {
        items.push_back(std::wstring(msg.type.GetData()) + L":" +
                        (msg.sender ? msg.sender->GetName().ToStdString() : L"-"));
    }
};

TEST_F(ControlTest, NewControlHasDocumentedDefaults)
{
    Control c;
    EXPECT_TRUE(c.IsVisible());
    EXPECT_TRUE(c.IsEnabled());
    EXPECT_TRUE(c.IsMouseEnabled());
    EXPECT_TRUE(c.IsKeyboardEnabled());
    EXPECT_EQ(4, c.GetState());
    EXPECT_FALSE(c.IsFloat());
    EXPECT_FALSE(c.IsPlaced());
    EXPECT_EQ(-1.0f, c.GetFixedWidth());
    EXPECT_EQ(-1.0f, c.GetFixedHeight());
    EXPECT_EQ(9999, c.GetMaxWidth());
    EXPECT_EQ(9999, c.GetMaxHeight());
    EXPECT_EQ(300, c.GetToolTipWidth());
    EXPECT_EQ(0, c.GetTraitFlags());
    EXPECT_STREQ(L"Control", c.GetClassName());
    EXPECT_EQ(&c, c.CastTo(L"Control"));
    EXPECT_EQ(nullptr, c.CastTo(L"control"));
    EXPECT_EQ(nullptr, c.CastTo(L"Box"));
}

TEST_F(ControlTest, RegistryBuildsControlAndBox)
{
    Control* c = ui::GetControlClassRegistry().Create("Control");
    ASSERT_NE(nullptr, c);
    EXPECT_STREQ(L"Control", c->GetClassName());
    delete c;
    Control* b = ui::GetControlClassRegistry().Create("Box");
    ASSERT_NE(nullptr, b);
    EXPECT_STREQ(L"Box", b->GetClassName());
    EXPECT_NE(nullptr, b->CastTo(L"IBox"));
    EXPECT_EQ(b, b->CastTo(L"Box"));
    EXPECT_EQ(b, b->CastTo(L"Control"));
    delete b;
}

TEST_F(ControlTest, GeometryClampsAndScalesWithTheCoreDpi)
{
    ui::WindowCore core;
    core.SetDpi(144);
    Control c;
    c.AttachCore(&core, nullptr, true);

    c.SetBounds(50, 40, 10, 20);
    RECTF b = c.GetBounds();
    EXPECT_EQ(50.0f, b.right) << "left > right stores right = left";
    EXPECT_EQ(40.0f, b.bottom);
    EXPECT_TRUE(c.IsPlaced());

    EXPECT_EQ(14998, c.GetMaxWidth()) << "9999 x 1.5, truncated";
    c.SetMinWidth(10);
    c.SetMinWidth(-1);
    EXPECT_EQ(15, c.GetMinWidth()) << "a negative minimum changes nothing";
    c.SetFixedWidth(100);
    EXPECT_EQ(150.0f, c.GetFixedWidth());
    c.SetPadding(2, 4, 6, 8);
    RECTF p = c.GetPadding();
    EXPECT_EQ(3.0f, p.left);
    EXPECT_EQ(12.0f, p.bottom);
    c.SetBoxShadow(4, 2, 0);
    c.SetBounds(100, 100, 200, 200);
    RECTF s = c.GetShadowBounds();
    EXPECT_EQ(100 - 6 + 3, s.left);
    EXPECT_EQ(200 + 6 + 3, s.right);
    EXPECT_EQ(100 - 6, s.top);
    c.AttachCore(nullptr, nullptr, false);
}

TEST_F(ControlTest, BoundsOutsideTheParentLeaveTheControlUnplaced)
{
    Box parent;
    parent.SetBounds(0, 0, 100, 100);
    Control* child = new Control();
    parent.AppendChild(child);
    child->SetBounds(200, 200, 300, 300);
    EXPECT_FALSE(child->IsPlaced());
    child->SetBounds(10, 10, 20, 20);
    EXPECT_TRUE(child->IsPlaced());
}

TEST_F(ControlTest, AncestorLookupsAndAttachInitialiseOnce)
{
    Box outer;
    outer.SetName(L"outer");
    Box* inner = new Box();
    inner->SetName(L"inner");
    outer.AppendChild(inner);
    Control* leaf = new Control();
    inner->AppendChild(leaf);
    EXPECT_EQ(inner, leaf->FindAncestorByType(L"IBox")) << "the container, not its IBox part";
    EXPECT_EQ(&outer, leaf->FindAncestorByName(L"outer"));
    EXPECT_EQ(nullptr, leaf->FindAncestorByName(L"OUTER"));

    ui::WindowCore core;
    int inits = 0;
    Control c;
    c.SetInitHook([&] { ++inits; });
    c.AttachCore(&core, nullptr, true);
    c.AttachCore(&core, nullptr, true);
    EXPECT_EQ(1, inits);
    EXPECT_TRUE(c.IsInitialised());
    c.AttachCore(nullptr, nullptr, false);
}

TEST_F(ControlTest, StateWordFollowsTheDocumentedTransitions)
{
    ui::WindowCore core;
    Control c;
    c.AttachCore(&core, nullptr, true);

    c.SetHot(true);
    EXPECT_EQ(32, c.GetState());
    c.SetHover();
    EXPECT_EQ(32 | 64, c.GetState());
    c.SetPushed();
    EXPECT_EQ(128, c.GetState());
    c.SetHot(false);
    EXPECT_EQ(128, c.GetState()) << "a pushed control is not hot: nothing changes";
    c.SetNormal();
    EXPECT_EQ(4, c.GetState());

    c.SetSelected(true);
    EXPECT_EQ(8, c.GetState());
    c.SetHot(true);
    EXPECT_EQ(8 | 32, c.GetState()) << "a selected control keeps its bits";
    c.SetHot(false);
    EXPECT_EQ(8, c.GetState());
    c.SetSelected(false);
    EXPECT_EQ(4, c.GetState());

    c.SetBusy(true);
    EXPECT_EQ(2, c.GetState());
    c.SetBusy(false);
    EXPECT_EQ(4, c.GetState());

    c.SetSelected(true);
    c.SetEnabled(false);
    EXPECT_EQ(1, c.GetState());
    c.SetEnabled(true);
    EXPECT_FALSE(c.IsNormal()) << "enabling a selected control does not set normal";
    EXPECT_TRUE(c.IsSelected());
    c.AttachCore(nullptr, nullptr, false);
}

TEST_F(ControlTest, SelectingAGroupMemberDeselectsTheOthersWithNotifications)
{
    ui::WindowCore core;
    NotifyLog log;
    core.AddNotifyListener(&log);
    Box root;
    Control* a = new Control();
    Control* b = new Control();
    a->SetName(L"a");
    b->SetName(L"b");
    a->SetGroupName(L"g");
    b->SetGroupName(L"g");
    root.AppendChild(a);
    root.AppendChild(b);
    root.AttachCore(&core, nullptr, true);

    a->SetSelected(true);
    b->SetSelected(true);
    EXPECT_FALSE(a->IsSelected());
    EXPECT_TRUE(b->IsSelected());
    std::vector<std::wstring> want{L"selectchanged:a", L"selectchanged:a", L"selectchanged:b"};
    EXPECT_EQ(want, log.items);
    root.AttachCore(nullptr, nullptr, false);
}

TEST_F(ControlTest, ShowingAVGroupMemberHidesTheOthers)
{
    ui::WindowCore core;
    Box root;
    Control* a = new Control();
    Control* b = new Control();
    a->SetVGroupName(L"pages");
    b->SetVGroupName(L"pages");
    root.AppendChild(a);
    root.AppendChild(b);
    root.AttachCore(&core, nullptr, true);
    b->SetVisible(false);
    b->SetVisible(true);
    EXPECT_FALSE(a->IsVisible());
    a->SetVisible(true);
    EXPECT_FALSE(b->IsVisible());
    root.AttachCore(nullptr, nullptr, false);
}

TEST_F(ControlTest, EventsRouteToParentsAsDocumented)
{
    // Who ends up pushed (or hot) shows where an event went.
    struct Case {
        const char* name;
        bool mouseEnabled;
        bool passThrough;
        int event;
        bool childTakes;
    };
    const Case cases[] = {
        {"a press on a mouse-disabled child", false, false, ui::kEventButtonDown, false},
        {"a double click on a mouse-disabled child", false, false, ui::kEventDblClick, false},
        {"the mouse entering a mouse-disabled child", false, false, ui::kEventMouseEnter, false},
        {"a press on a pass-through child", true, true, ui::kEventButtonDown, false},
        {"a double click on a pass-through child", true, true, ui::kEventDblClick, false},
        {"the mouse entering a pass-through child", true, true, ui::kEventMouseEnter, true},
        {"a press on an ordinary child", true, false, ui::kEventButtonDown, true},
    };
    for (const Case& c : cases) {
        Box parent;
        Control* child = new Control();
        parent.AppendChild(child);
        child->SetMouseEnabled(c.mouseEnabled);
        child->SetPassThrough(c.passThrough);
        ui::InputEvent ev;
        ev.type = c.event;
        child->FireEvent(&ev);
        const bool hotOrPushed = c.event == ui::kEventMouseEnter;
        auto took = [&](Control* who) { return hotOrPushed ? who->IsHot() : who->IsPushed(); };
        EXPECT_EQ(c.childTakes, took(child)) << c.name;
        EXPECT_EQ(!c.childTakes, took(&parent)) << c.name << ": the parent";
    }

    // An event handler answering false ends the event.
    Box parent;
    Control* child = new Control();
    parent.AppendChild(child);
    child->SetEventHandler(ui::kEventMouseEnter, [](ui::InputEvent*) { return false; });
    ui::InputEvent enter;
    enter.type = ui::kEventMouseEnter;
    child->FireEvent(&enter);
    EXPECT_FALSE(child->IsHot());
    EXPECT_FALSE(parent.IsHot());

    child->SetBusy(true);
    ui::InputEvent focus;
    focus.type = ui::kEventSetFocus;
    EXPECT_FALSE(child->HandleEvent(&focus)) << "a busy control ignores set focus";
}

TEST_F(ControlTest, ReleaseOutsideAPushedControlClearsPushedAndHot)
{
    Control c;
    c.SetBounds(0, 0, 50, 50);
    ui::InputEvent down;
    down.type = ui::kEventButtonDown;
    c.FireEvent(&down);
    ASSERT_TRUE(c.IsPushed());
    ui::InputEvent up;
    up.type = ui::kEventButtonUp;
    up.point = POINT{200, 200};
    c.FireEvent(&up);
    EXPECT_FALSE(c.IsPushed());
    EXPECT_FALSE(c.IsHot());
    EXPECT_TRUE(c.IsNormal());
}

TEST_F(ControlTest, ClickOfASelectableControlToggles)
{
    Control c;
    int clicks = 0;
    c.SetClickHandler([&] { ++clicks; });
    c.SetSelectable(true);
    EXPECT_TRUE(c.TryActivate());
    EXPECT_TRUE(c.IsSelected());
    EXPECT_TRUE(c.TryActivate());
    EXPECT_FALSE(c.IsSelected());
    EXPECT_EQ(2, clicks);
    c.SetVisible(false);
    EXPECT_FALSE(c.TryActivate());
}

TEST_F(ControlTest, UnknownAttributesAreKeptByName)
{
    Control c;
    c.SetAttribute(L"whatever", L"42");
    EXPECT_STREQ(L"42", c.GetExtraAttribute(L"whatever").GetData());
    EXPECT_TRUE(c.GetExtraAttribute(L"missing").IsEmpty());
    EXPECT_EQ(nullptr, c.GetNamedObject("x"));
    int v = 0;
    c.SetNamedObject("x", &v);
    EXPECT_EQ(&v, c.GetNamedObject("x"));
}

} // namespace
