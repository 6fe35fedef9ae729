// Tab boxes in real windows built from skin markup: the page shown and
// placed, "tabselect" with its indexes and the box's own handler, the
// current page following insertions and removals, and autoswitch through UI
// tasks that stop with the box.
#include "Corvel/Control/TabBox.h"

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Corvel/Control/support/MarkupWindow.h"
#include "Corvel/Core/UiEvents.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Core/support/TestWindow.h"

namespace {

using testsupport::Named;
using testsupport::PumpFor;
using testsupport::PumpUntil;
using testsupport::ShowMarkupWindow;
using testsupport::TestWindow;
using ui::RECTF;
using ui::TabBox;

// Records "tabselect" notifications as "new<-previous" and the box's own
// handler as "handler".
class TabLog : public ui::INotifyUI {
public:
    void ReceiveNotify(ui::tagTNotifyUI& msg) override
    {
        if (msg.type.Equals(L"tabselect")) {
            events.push_back(std::to_string(static_cast<int>(msg.wParam)) + "<-" +
                             std::to_string(static_cast<int>(msg.lParam)));
            senders.push_back(msg.sender);
        }
    }
    std::vector<std::string> events;
    std::vector<ui::Control*> senders;
};

const wchar_t kPages[] = LR"(<Window><VBox><TabBox name="tabs" inset="5,5,5,5" TABATTRS>
    <Control name="p0"/><Control name="p1" width="50" height="20"/><Control name="p2" padding="1,2,3,4"/>
    </TabBox><Control name="other" height="1"/></VBox></Window>)";

class TabBoxTest : public ::testing::Test {
protected:
    void Open(const wchar_t* tabAttributes = L"")
    {
        std::wstring markup = kPages;
        markup.replace(markup.find(L"TABATTRS"), 8, tabAttributes);
        win = ShowMarkupWindow(markup.c_str(), 96, 200, 101);
        tabs = static_cast<TabBox*>(Named(*win, L"tabs"));
        ASSERT_NE(nullptr, tabs);
        for (const wchar_t* name : {L"p0", L"p1", L"p2"})
            pages.push_back(Named(*win, name));
        win->core.AddNotifyListener(&log);
        tabs->BindNamedCallback(L"tabselect", [this] { log.events.push_back("handler"); });
    }
    void TearDown() override
    {
        if (win)
            win->core.RemoveNotifyListener(&log);
    }
    // The visible pages' indexes.
    std::vector<int> Shown()
    {
        std::vector<int> shown;
        for (int i = 0; i < tabs->ChildCount(); ++i) {
            if (tabs->ChildAt(i)->IsVisible())
                shown.push_back(i);
        }
        return shown;
    }
    testsupport::UiLibraryScope lib;
    std::unique_ptr<TestWindow> win;
    TabBox* tabs = nullptr;
    std::vector<ui::Control*> pages;
    TabLog log;
};

TEST_F(TabBoxTest, TheFirstVisiblePageIsCurrentWithoutANotification)
{
    Open();
    EXPECT_EQ(0, tabs->GetCurrentPage());
    EXPECT_EQ(std::vector<int>{0}, Shown());
    EXPECT_EQ(RECTF(5, 5, 195, 95), pages[0]->GetBounds()) << "the page fills the inner rectangle";
    EXPECT_FALSE(pages[1]->IsPlaced());
    EXPECT_FALSE(pages[2]->IsPlaced());
    EXPECT_TRUE(log.events.empty());
}

TEST_F(TabBoxTest, SelectingPagesShowsPlacesAndNotifies)
{
    Open();
    ui::Control stranger;
    struct Step {
        const char* what;
        int index; // -100: select the stranger control
        bool result;
        int current;
        std::vector<std::string> events;
    } steps[] = {
        {"the page with padding", 2, true, 2, {"2<-0", "handler"}},
        {"the current page again: nothing", 2, true, 2, {}},
        {"below the range", -1, false, 2, {}},
        {"past the range", 3, false, 2, {}},
        {"a control that is not a page", -100, false, 2, {}},
        {"a page of fixed size", 1, true, 1, {"1<-2", "handler"}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        log.events.clear();
        const bool result = step.index == -100 ? tabs->SelectPageByControl(&stranger) : tabs->SelectPage(step.index);
        EXPECT_EQ(step.result, result);
        EXPECT_EQ(step.current, tabs->GetCurrentPage());
        EXPECT_EQ(std::vector<int>{step.current}, Shown());
        EXPECT_EQ(step.events, log.events);
    }
    EXPECT_EQ(2, tabs->GetPreviousPage());
    EXPECT_EQ(RECTF(5, 5, 55, 25), pages[1]->GetBounds()) << "measured, at the inner top-left";
    ASSERT_FALSE(log.senders.empty());
    EXPECT_EQ(tabs, log.senders.back());

    ASSERT_TRUE(tabs->SelectPage(2));
    ASSERT_TRUE(testsupport::Settle(*win));
    EXPECT_EQ(RECTF(6, 7, 192, 91), pages[2]->GetBounds()) << "inner rectangle less the page's padding";
    EXPECT_FALSE(pages[1]->IsPlaced()) << "a hidden page is left unplaced by the layout";
}

TEST_F(TabBoxTest, TheMarkupSelectsAPage)
{
    Open(LR"(selectedid="2")");
    EXPECT_EQ(2, tabs->GetCurrentPage());
    EXPECT_EQ(std::vector<int>{2}, Shown());
    EXPECT_EQ(RECTF(6, 7, 192, 91), pages[2]->GetBounds());
    EXPECT_EQ(L"2", tabs->GetExtraAttribute(L"selectedid").ToStdString()) << "also kept by the container";
}

TEST_F(TabBoxTest, TheCurrentPageFollowsInsertionsAndRemovals)
{
    Open();
    ASSERT_TRUE(tabs->SelectPage(1));
    log.events.clear();
    struct Step {
        const char* what;
        std::function<bool()> change;
        int current;
        std::vector<int> shown;
        int count;
    } steps[] = {
        {"inserting before the current page moves its index",
         [&] { return tabs->InsertChildAt(new ui::Control(), 0); }, 2, {2}, 4},
        {"inserting after it changes nothing", [&] { return tabs->InsertChildAt(new ui::Control(), 4); }, 2, {2}, 5},
        {"appending hides the new page", [&] { return tabs->AppendChild(new ui::Control()); }, 2, {2}, 6},
        {"removing a page before it moves its index", [&] { return tabs->RemoveChildAt(0); }, 1, {1}, 5},
        {"removing it shows page 0", [&] { return tabs->RemoveChild(pages[1]); }, 0, {0}, 4},
        {"removing a page after it changes nothing", [&] { return tabs->RemoveChildAt(3); }, 0, {0}, 3},
        {"removing every page leaves none", [&] {
             tabs->RemoveAllChildren(true);
             return true;
         }, -1, {}, 0},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        EXPECT_TRUE(step.change());
        EXPECT_EQ(step.count, tabs->ChildCount());
        EXPECT_EQ(step.current, tabs->GetCurrentPage());
        EXPECT_EQ(step.shown, Shown());
    }
    EXPECT_TRUE(log.events.empty()) << "none of these raise tabselect";

    // A page appended to the emptied box, placed once already, is selected
    // with a notification.
    auto* page = new ui::Control();
    ASSERT_TRUE(tabs->AppendChild(page));
    EXPECT_EQ(0, tabs->GetCurrentPage());
    EXPECT_EQ((std::vector<std::string>{"0<--1", "handler"}), log.events);
    EXPECT_EQ(RECTF(5, 5, 195, 95), page->GetBounds());
}

TEST_F(TabBoxTest, AutoswitchCyclesThroughThePagesUntilTheBoxIsHidden)
{
    Open(LR"(autoswitch="150")");
    ASSERT_TRUE(tabs->IsAutoSwitchRunningForTesting());
    EXPECT_EQ(150, tabs->GetAutoSwitch());
    // The window may have stepped before the log listened: any three
    // consecutive steps go round the three pages once.
    ASSERT_TRUE(PumpUntil([&] { return log.events.size() >= 6; }));
    int last = -1;
    for (size_t k = 0; k < 6; k += 2) {
        int now = -1, before = -1;
        ASSERT_EQ(2, sscanf(log.events[k].c_str(), "%d<-%d", &now, &before)) << log.events[k];
        EXPECT_EQ((before + 1) % 3, now) << log.events[k];
        if (last >= 0) {
            EXPECT_EQ(last, before) << log.events[k];
        }
        last = now;
        EXPECT_EQ("handler", log.events[k + 1]);
    }

    tabs->SetVisible(false);
    EXPECT_FALSE(tabs->IsAutoSwitchRunningForTesting());
    EXPECT_EQ(0, tabs->GetAutoSwitch());
    PumpFor(300); // a tick posted before the stop may still arrive
    tabs->SetVisible(true);
    log.events.clear();
    PumpFor(600);
    EXPECT_TRUE(log.events.empty()) << "shown again, the box stays still";
    EXPECT_FALSE(tabs->IsAutoSwitchRunningForTesting());

    tabs->SetAutoSwitch(100);
    ASSERT_TRUE(PumpUntil([&] { return !log.events.empty(); })) << "set anew, it runs again";
}

TEST_F(TabBoxTest, NoAutoswitchStepReachesADeletedBox)
{
    Open(LR"(autoswitch="10")");
    ASSERT_TRUE(PumpUntil([&] { return !log.events.empty(); }));
    // Gone while ticks are in flight: the posted steps must not run.
    auto* parent = static_cast<ui::IBox*>(tabs->GetParent()->CastTo(L"IBox"));
    ASSERT_NE(nullptr, parent);
    static_cast<ui::Box*>(tabs->GetParent())->SetDeferredDelete(false);
    Sleep(50);
    ASSERT_TRUE(parent->RemoveChild(tabs));
    tabs = nullptr;
    log.events.clear();
    PumpFor(300);
    EXPECT_TRUE(log.events.empty());
    EXPECT_EQ(0u, win->core.PendingTaskCountForTesting()) << "the steps in flight were dropped, no new ones came";
}

} // namespace
