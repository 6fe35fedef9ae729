#include "Corvel/Control/Box.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Core/support/TestWindow.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace {

using testsupport::PumpFor;
using testsupport::PumpUntil;
using testsupport::TestWindow;
using ui::Box;
using ui::Control;
using ui::ControlSize;
using ui::RECTF;

class BoxTest : public ::testing::Test {
protected:
    void SetUp() override { SetCursorPos(1000, 750); }
    testsupport::UiLibraryScope lib;
};

// Counts its own deletion.
class Tracked : public Control {
public:
    explicit Tracked(int* deleted) : m_deleted(deleted) {}
    ~Tracked() override { ++*m_deleted; }

private:
    int* m_deleted;
};

TEST_F(BoxTest, ChildListOperationsCheckIndexesBeforeTouchingAnything)
{
    int deleted = 0;
    Box box;
    Control* a = new Tracked(&deleted);
    Control* b = new Tracked(&deleted);
    Control* c = new Tracked(&deleted);
    EXPECT_FALSE(box.AppendChild(nullptr));
    ASSERT_TRUE(box.AppendChild(a));
    ASSERT_TRUE(box.AppendChild(b));
    EXPECT_EQ(&box, a->GetParent());

    EXPECT_EQ(nullptr, box.ChildAt(-1));
    EXPECT_EQ(nullptr, box.ChildAt(2));
    EXPECT_EQ(-1, box.IndexOfChild(c));

    // An insert at a bad index attaches nothing.
    EXPECT_FALSE(box.InsertChildAt(c, 5));
    EXPECT_FALSE(box.InsertChildAt(c, -1));
    EXPECT_EQ(nullptr, c->GetParent());
    EXPECT_EQ(2, box.ChildCount());
    EXPECT_TRUE(box.InsertChildAt(c, 0));
    EXPECT_EQ(c, box.ChildAt(0));

    // A move to a bad index leaves the order as it was.
    EXPECT_FALSE(box.MoveChild(a, 3));
    EXPECT_FALSE(box.MoveChild(a, -1));
    EXPECT_EQ(c, box.ChildAt(0));
    EXPECT_EQ(a, box.ChildAt(1));
    EXPECT_EQ(b, box.ChildAt(2));
    EXPECT_TRUE(box.MoveChild(c, 2));
    EXPECT_EQ(c, box.ChildAt(2));
    EXPECT_FALSE(box.MoveChild(nullptr, 0));

    // A removal at a bad index removes and deletes nothing.
    EXPECT_FALSE(box.RemoveChildAt(3));
    EXPECT_FALSE(box.RemoveChildAt(-1));
    EXPECT_EQ(3, box.ChildCount());
    EXPECT_EQ(0, deleted);
    EXPECT_TRUE(box.RemoveChildAt(0));
    EXPECT_EQ(1, deleted) << "owned children without a core go at once";
    EXPECT_EQ(2, box.ChildCount());
    box.RemoveAllChildren(true);
    EXPECT_EQ(3, deleted);
    EXPECT_EQ(0, box.ChildCount());
}

TEST_F(BoxTest, AChildTheBoxDoesNotOwnLeavesWithoutAParentPointer)
{
    ui::WindowCore core;
    Box box;
    box.AttachCore(&core, nullptr, true);
    box.SetOwnsChildren(false);
    Control child;
    ASSERT_TRUE(box.AppendChild(&child));
    ASSERT_EQ(&box, child.GetParent());
    EXPECT_TRUE(box.RemoveChild(&child));
    EXPECT_EQ(nullptr, child.GetParent()) << "no pointer back to a box it left";
    EXPECT_EQ(&core, child.GetCore()) << "still attached to its core";
    EXPECT_FALSE(box.RemoveChild(&child));

    // Destroying the box later must not reach the departed child either.
    Control other;
    box.AppendChild(&other);
    box.RemoveAllChildren(false);
    EXPECT_EQ(nullptr, other.GetParent());
    box.AttachCore(nullptr, nullptr, false);
    child.AttachCore(nullptr, nullptr, false);
    other.AttachCore(nullptr, nullptr, false);
}

TEST_F(BoxTest, AControlHasOneParentBoxAtATime)
{
    int deleted = 0;
    {
        // Owning boxes: a control held twice would be deleted twice.
        Box first, second;
        Control* a = new Tracked(&deleted);
        Control* b = new Tracked(&deleted);
        Control* c = new Tracked(&deleted);
        ASSERT_TRUE(first.AppendChild(a));
        ASSERT_TRUE(first.AppendChild(b));
        ASSERT_TRUE(second.AppendChild(c));
        first.SetExclusiveChild(a, true);

        struct Step {
            const char* what;
            std::function<bool()> call;
            bool result;
            std::vector<Control*> first, second;
        } steps[] = {
            {"append moves it from the other box", [&] { return second.AppendChild(a); }, true, {b}, {c, a}},
            {"insert at a bad index leaves it where it was", [&] { return second.InsertChildAt(b, 3); }, false, {b}, {c, a}},
            {"insert moves it to the index", [&] { return second.InsertChildAt(b, 0); }, true, {}, {b, c, a}},
            {"append of a held child moves it last", [&] { return second.AppendChild(b); }, true, {}, {c, a, b}},
            {"insert of a held child moves it", [&] { return second.InsertChildAt(b, 1); }, true, {}, {c, b, a}},
            {"and back into the first box", [&] { return first.InsertChildAt(a, 0); }, true, {a}, {c, b}},
        };
        for (const Step& step : steps) {
            SCOPED_TRACE(step.what);
            EXPECT_EQ(step.result, step.call());
            std::vector<Control*> inFirst, inSecond;
            for (int k = 0; k < first.ChildCount(); ++k)
                inFirst.push_back(first.ChildAt(k));
            for (int k = 0; k < second.ChildCount(); ++k)
                inSecond.push_back(second.ChildAt(k));
            ASSERT_EQ(step.first, inFirst);
            ASSERT_EQ(step.second, inSecond);
            for (Control* child : inFirst)
                EXPECT_EQ(&first, child->GetParent());
            for (Control* child : inSecond)
                EXPECT_EQ(&second, child->GetParent());
            EXPECT_EQ(0, deleted) << "a move deletes nothing";
        }
        // A control that left a box also left its exclusive-children list.
        second.AppendChild(a);
        first.ShowOnlyChild(nullptr);
        EXPECT_TRUE(a->IsVisible());
    }
    EXPECT_EQ(3, deleted) << "each control deleted once, by the box that held it last";

    // A box never holds itself or one of its ancestors.
    Box outer;
    Box* inner = new Box();
    ASSERT_TRUE(outer.AppendChild(inner));
    EXPECT_FALSE(inner->AppendChild(inner));
    EXPECT_FALSE(inner->AppendChild(&outer));
    EXPECT_FALSE(inner->InsertChildAt(&outer, 0));
    EXPECT_EQ(&outer, inner->GetParent());
    EXPECT_EQ(nullptr, outer.GetParent());
    EXPECT_EQ(0, inner->ChildCount());
}

TEST_F(BoxTest, AMoveToABoxOfAnotherCoreTakesTheNamesAlong)
{
    ui::WindowCore coreA, coreB;
    Box boxA, boxB;
    boxA.AttachCore(&coreA, nullptr, true);
    boxB.AttachCore(&coreB, nullptr, true);
    Box* moving = new Box();
    moving->SetName(L"moving");
    Control* leaf = new Control();
    leaf->SetName(L"leaf");
    moving->AppendChild(leaf);
    ASSERT_TRUE(boxA.AppendChild(moving));
    ASSERT_EQ(moving, coreA.FindControlByName(L"moving"));
    ASSERT_EQ(leaf, coreA.FindControlByName(L"leaf"));

    ASSERT_TRUE(boxB.AppendChild(moving));
    EXPECT_EQ(0, boxA.ChildCount());
    EXPECT_EQ(&coreB, leaf->GetCore());
    EXPECT_EQ(moving, coreB.FindControlByName(L"moving"));
    EXPECT_EQ(leaf, coreB.FindControlByName(L"leaf"));
    EXPECT_EQ(nullptr, coreA.FindControlByName(L"moving"));
    EXPECT_EQ(nullptr, coreA.FindControlByName(L"leaf"));
    boxB.SetDeferredDelete(false);
    boxB.RemoveAllChildren(false);
    boxA.AttachCore(nullptr, nullptr, false);
    boxB.AttachCore(nullptr, nullptr, false);
}

TEST_F(BoxTest, AChildDeletedDirectlyLeavesTheBoxLists)
{
    int deleted = 0;
    auto box = std::make_unique<Box>();
    Control* a = new Tracked(&deleted);
    Control* b = new Tracked(&deleted);
    box->AppendChild(a);
    box->AppendChild(b);
    a->SetVisibilityOption(true);
    delete a;
    EXPECT_EQ(1, box->ChildCount());
    EXPECT_EQ(b, box->ChildAt(0));
    b->SetVisible(false);
    b->SetVisible(true);
    box.reset();
    EXPECT_EQ(2, deleted) << "each child deleted once";
}

TEST_F(BoxTest, PlainBoxStacksChildrenWithCumulativePadding)
{
    Box box;
    box.SetContentInset(RECTF(1, 2, 3, 4));
    Control* a = new Control();
    Control* b = new Control();
    Control* hidden = new Control();
    a->SetPadding(10, 10, 10, 10);
    b->SetPadding(10, 10, 10, 10);
    hidden->SetPadding(50, 50, 50, 50);
    hidden->SetVisible(false);
    box.AppendChild(a);
    box.AppendChild(hidden);
    box.AppendChild(b);
    box.SetBounds(0, 0, 200, 100);
    EXPECT_TRUE(RECTF(11, 12, 187, 86) == a->GetBounds());
    EXPECT_TRUE(RECTF(21, 22, 177, 76) == b->GetBounds()) << "padding accumulates; hidden children are skipped";
    EXPECT_FALSE(hidden->IsPlaced());
}

TEST_F(BoxTest, FloatingChildrenArePlacedAgainstTheOuterRectangle)
{
    Box box;
    box.SetContentInset(RECTF(20, 20, 20, 20));
    Control* centred = new Control();
    centred->SetFloatRect(50, 50, 0, 0);
    centred->SetFixedWidth(40);
    centred->SetFixedHeight(20);
    Control* fixed = new Control();
    fixed->SetFloatRect(0, 0, 0, 0);
    fixed->SetFixedPos(5, 6);
    fixed->SetFixedWidth(10);
    fixed->SetFixedHeight(10);
    Control* share = new Control();
    share->SetFloatRect(100, 0, 0, 0);
    share->SetFloatScale(25, 50);
    box.AppendChild(centred);
    box.AppendChild(fixed);
    box.AppendChild(share);
    box.SetBounds(100, 100, 300, 200);
    EXPECT_TRUE(RECTF(180, 140, 220, 160) == centred->GetBounds());
    EXPECT_TRUE(RECTF(105, 106, 115, 116) == fixed->GetBounds()) << "the inset does not apply";
    EXPECT_TRUE(RECTF(250, 100, 300, 150) == share->GetBounds());
}

TEST_F(BoxTest, ABoxSizedByItsChildrenMeasuresThem)
{
    Box box;
    box.SetContentInset(RECTF(2, 3, 4, 5));
    Control* a = new Control();
    a->SetFixedWidth(50);
    a->SetFixedHeight(10);
    a->SetPadding(1, 1, 1, 1);
    Control* b = new Control();
    b->SetFixedWidth(30);
    b->SetFixedHeight(40);
    b->SetMaxHeight(25);
    Control* hidden = new Control();
    hidden->SetFixedWidth(500);
    hidden->SetVisible(false);
    box.AppendChild(a);
    box.AppendChild(b);
    box.AppendChild(hidden);
    ControlSize plain = box.MeasureSize(1000, 1000);
    EXPECT_EQ(-1.0f, plain.width) << "without the children mode the box answers its own size";
    box.SetSizeModes(ui::kSizeChildren, ui::kSizeStretch);
    ControlSize s = box.MeasureSize(1000, 1000);
    EXPECT_EQ(50.0f + 2 + 6, s.width);
    EXPECT_EQ(-1.0f, s.height);
    box.SetSizeModes(ui::kSizeChildren, ui::kSizeChildren);
    s = box.MeasureSize(1000, 1000);
    EXPECT_EQ(25.0f + 2 + 8, s.height) << "the child's maximum wins";
    box.SetMaxWidth(40);
    EXPECT_EQ(40.0f, box.MeasureSize(1000, 1000).width);
}

TEST_F(BoxTest, HitTestingHonoursInsetFloatsAndMouseChild)
{
    Box* root = new Box();
    Box* panel = new Box();
    panel->SetContentInset(RECTF(20, 20, 20, 20));
    Control* inner = new Control();
    inner->SetPadding(-10, -10, -10, -10); // sticks out of the inset area
    Control* badge = new Control();
    badge->SetFloatRect(0, 0, 0, 0);
    badge->SetFixedPos(0, 0);
    badge->SetFixedWidth(15);
    badge->SetFixedHeight(15);
    root->AppendChild(panel);
    panel->AppendChild(inner);
    panel->AppendChild(badge);
    TestWindow win;
    win.root = root;
    ASSERT_NE(nullptr, win.CreatePopup(200, 200));
    ShowWindow(win.GetHWND(), SW_SHOWNOACTIVATE);
    ASSERT_TRUE(PumpUntil([&] { return inner->IsPlaced() && badge->IsPlaced(); }, 10000));
    ui::WindowCore& core = win.core;
    EXPECT_EQ(inner, core.FindControlAtPoint(100, 100));
    EXPECT_EQ(panel, core.FindControlAtPoint(12, 100)) << "outside the inset area the child is not hit";
    EXPECT_EQ(badge, core.FindControlAtPoint(5, 5)) << "a floating child is hit anywhere in the box";
    panel->SetAttribute(L"mousechild", L"false");
    EXPECT_EQ(panel, core.FindControlAtPoint(100, 100));
    panel->SetAttribute(L"mousechild", L"true");
    inner->SetMouseEnabled(false);
    EXPECT_EQ(panel, core.FindControlAtPoint(100, 100));
}

TEST_F(BoxTest, VisibilityAndEnablePropagateToChildren)
{
    ui::WindowCore core;
    Box box;
    box.AttachCore(&core, nullptr, true);
    box.SetVisible(false);
    Control* late = new Control();
    box.AppendChild(late);
    EXPECT_FALSE(late->IsVisible()) << "an invisible box hides a new child internally";
    box.SetVisible(true);
    EXPECT_TRUE(late->IsVisible());

    box.SetEnabledWithChildren(false);
    EXPECT_FALSE(box.IsEnabled());
    EXPECT_FALSE(late->IsEnabled());
    box.SetEnabledWithChildren(true);
    EXPECT_TRUE(late->IsEnabled());

    // Exclusive children: showing one hides the other members.
    Control* p1 = new Control();
    Control* p2 = new Control();
    box.AppendChild(p1);
    box.AppendChild(p2);
    p1->SetVisibilityOption(true);
    p2->SetVisibilityOption(true);
    p2->SetVisible(false);
    p2->SetVisible(true);
    EXPECT_FALSE(p1->IsVisible());
    EXPECT_TRUE(late->IsVisible()) << "not a member";
    box.RemoveChild(p1);
    PumpFor(10);
    p2->SetVisible(false);
    p2->SetVisible(true);
    EXPECT_TRUE(p2->IsVisible());
    box.AttachCore(nullptr, nullptr, false);
}

TEST_F(BoxTest, AttributesAndFocusHelpers)
{
    Box box;
    box.SetAttribute(L"inset", L"4,2,4,2");
    RECTF in = box.GetContentInset();
    EXPECT_EQ(4.0f, in.left);
    EXPECT_EQ(2.0f, in.bottom);
    box.SetAttribute(L"childpadding", L"7");
    EXPECT_EQ(7.0f, box.GetChildGap());
    box.SetAttribute(L"flexrange", L"30");
    EXPECT_EQ(30, box.GetHFlexRange());
    EXPECT_EQ(30, box.GetVFlexRange());
    box.SetAttribute(L"scrollstep", L"12");
    EXPECT_EQ(12, box.GetScrollStep());
    box.SetAttribute(L"scrollspeed", L"150.5");
    EXPECT_FLOAT_EQ(150.5f, box.GetScrollSpeed());
    box.SetAttribute(L"other", L"kept");
    EXPECT_STREQ(L"kept", box.GetExtraAttribute(L"other").GetData());
    EXPECT_EQ(0, box.GetTraitFlags());
    box.SetNeedsCursor(true);
    EXPECT_EQ(2, box.GetTraitFlags());

    EXPECT_EQ(-1, box.FindNextFocusable(0, true));
    Control* a = new Control();
    Control* b = new Control();
    Control* c = new Control();
    box.AppendChild(a);
    box.AppendChild(b);
    box.AppendChild(c);
    b->SetEnabled(false);
    EXPECT_EQ(2, box.FindNextFocusable(1, true));
    EXPECT_EQ(0, box.FindNextFocusable(1, false));
    EXPECT_EQ(2, box.FindNextFocusable(99, true));
    c->SetVisible(false);
    EXPECT_EQ(-1, box.FindNextFocusable(1, true));
}

TEST_F(BoxTest, RemovedChildrenOfAnAttachedBoxWaitForDelayedDeletion)
{
    int deleted = 0;
    Box* root = new Box();
    Control* a = new Tracked(&deleted);
    Control* b = new Tracked(&deleted);
    root->AppendChild(a);
    root->AppendChild(b);
    TestWindow win;
    win.root = root;
    ASSERT_NE(nullptr, win.CreatePopup(100, 100));
    root->RemoveChild(a);
    root->RemoveChild(b);
    EXPECT_EQ(0, deleted);
    EXPECT_EQ(nullptr, a->GetParent());
    EXPECT_TRUE(PumpUntil([&] { return deleted == 2; }, 10000));
    EXPECT_EQ(2, deleted);

    // With deferred deletion off, removal deletes at once.
    root->SetDeferredDelete(false);
    root->AppendChild(new Tracked(&deleted));
    root->RemoveChildAt(0);
    EXPECT_EQ(3, deleted);
}

} // namespace
