// What a control shows and answers: text templates and tooltips, the
// text-style words, state names, the values painters ask for, the size it
// wants, the transform it is drawn and hit through.
#include "Corvel/Control/Box.h"
#include "Corvel/Core/Control.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Core/support/TestWindow.h"
#include "Corvel/Render/ControlTransform.h"
#include "Corvel/Render/Layer.h"
#include "Corvel/Render/TimeLine.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using ui::Box;
using ui::Control;

class ControlValuesTest : public ::testing::Test {
protected:
    testsupport::UiLibraryScope lib;
};

// A box that answers to a layout type name, as the vertical and horizontal
// boxes do.
class TypedBox : public Box {
public:
    explicit TypedBox(const wchar_t* type) : m_type(type) {}
    void* CastTo(const wchar_t* typeName) override
    {
        if (typeName && wcscmp(typeName, m_type) == 0)
            return this;
        return Box::CastTo(typeName);
    }

private:
    const wchar_t* m_type;
};

TEST_F(ControlValuesTest, TextKeepsTheFirstValueTemplate)
{
    struct Case {
        const wchar_t* first;
        const wchar_t* second;
        const wchar_t* expectTemplate;
    };
    const Case cases[] = {
        {L"Value: {v}", nullptr, L"Value: "},
        {L"Value: {v}", L"Other {v}", L"Value: "},
        {L"{v}", nullptr, L""},
        {L"v}", nullptr, L""},
        {L"plain", L"Later: {v}", L"Later: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::wstring(c.first).c_str());
        Control control;
        control.SetText(c.first);
        EXPECT_STREQ(c.first, control.GetText().GetData());
        if (c.second)
            control.SetText(c.second);
        EXPECT_STREQ(c.expectTemplate, control.GetValueTemplate().GetData());
    }
}

TEST_F(ControlValuesTest, TooltipFollowsTheTextUntilEmptied)
{
    Control c;
    c.SetText(L"one");
    c.SetToolTip(L"content");
    EXPECT_STREQ(L"one", c.GetToolTip().GetData());
    c.SetText(L"two");
    EXPECT_STREQ(L"two", c.GetToolTip().GetData());
    c.SetToolTip(L"empty");
    EXPECT_TRUE(c.GetToolTip().IsEmpty());
    c.SetText(L"three");
    EXPECT_TRUE(c.GetToolTip().IsEmpty());
    c.SetToolTip(L"a<n>b<n>");
    EXPECT_STREQ(L"a\r\nb\r\n", c.GetToolTip().GetData());
}

TEST_F(ControlValuesTest, TextStyleWordsLaterWin)
{
    struct Case {
        const wchar_t* words;
        int expect;
        bool rich;
        bool html;
    };
    const Case cases[] = {
        {L"right bottom", 0x2A, false, false},
        {L"left top lines", 0, false, false},
        {L"vcenter lines", 0x01, false, false},
        {L"hcenter enddot", 0x8025, false, false},
        {L"rich", 0x25, true, false},
        {L"html right", 0x26, false, true},
        {L"", 0x25, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::wstring(c.words).c_str());
        Control control;
        EXPECT_FALSE(control.IsTextStyleGiven());
        control.ParseTextStyle(c.words);
        EXPECT_EQ(c.expect, control.GetTextStyle());
        EXPECT_EQ(c.rich, control.IsRichText());
        EXPECT_EQ(c.html, control.IsHtmlText());
        EXPECT_TRUE(control.IsTextStyleGiven());
    }
}

TEST_F(ControlValuesTest, StateNamesAndTheCurrentStateKey)
{
    Control c;
    const std::pair<const wchar_t*, int> masks[] = {
        {L"hot|pushed", 160}, {L"hot|nonsense", 32}, {L"nonsense", 0}, {L"hot|focused", 48},
        {L"normal", 4},       {L"", 0},             {L"|hot|", 32},     {L"disabled|busy|selected|hover", 75},
    };
    for (const auto& m : masks)
        EXPECT_EQ(m.second, c.ParseStateMask(m.first)) << std::wstring(m.first).c_str();
    EXPECT_EQ(0, c.ParseStateMask(nullptr));

    EXPECT_STREQ(L"normal,", c.CurrentStateKey().GetData());
    c.SetHot(true);
    c.SetFocused(true);
    EXPECT_EQ(c.ParseStateMask(L"focused|hot") | (c.GetState() & ~48), c.GetState());
    // The key lists the set bits in one fixed order.
    const std::wstring key = c.CurrentStateKey().GetData();
    EXPECT_NE(std::wstring::npos, key.find(L"focused,hot,"));
}

TEST_F(ControlValuesTest, AnimatedStyleValuesAnswerPainters)
{
    Control c;
    ui::CTimeLine timeline;
    // Element key "1": the four channels of its colour and its alpha.
    timeline.AddValue(L"color1_r", 0.0f, 1.0f);
    timeline.AddValue(L"color1_g", 0.5f, 0.5f);
    timeline.AddValue(L"color1_b", 0.25f, 0.0f);
    timeline.AddValue(L"alpha1", 0.0f, 0.5f);
    timeline.SetValue(L"color1_r", 0.75f);
    timeline.SetValue(L"alpha1", 0.4f);
    ASSERT_TRUE(c.ApplyAnimationStepForTesting(&timeline));

    ui::PropertyValue v;
    c.GetStyleValue(v, L"1", L"color");
    EXPECT_FALSE(v.found) << "a colour needs all four channels";
    c.GetStyleValue(v, L"1", L"alpha");
    ASSERT_TRUE(v.found);
    EXPECT_FLOAT_EQ(0.4f, v.value);
    c.GetStyleValue(v, L"2", L"alpha");
    EXPECT_FALSE(v.found);

    timeline.AddValue(L"color1_a", 1.0f, 1.0f);
    ASSERT_TRUE(c.ApplyAnimationStepForTesting(&timeline));
    c.GetStyleValue(v, L"1", L"color");
    ASSERT_TRUE(v.found);
    EXPECT_FLOAT_EQ(0.75f, v.color.r);
    EXPECT_FLOAT_EQ(1.0f, v.color.a);
    c.GetStyleValue(v, L"1", L"size");
    EXPECT_FALSE(v.found) << "only colour, alpha and pen size are animated";

    // Transition values: none of that name.
    c.GetPropertyValue(v, L"x");
    EXPECT_FALSE(v.found);
}

TEST_F(ControlValuesTest, MeasureSizeFollowsModesFactorsAndTheParentsLayout)
{
    auto* root = new Box();
    auto* vbox = new TypedBox(L"VBox");
    auto* hbox = new TypedBox(L"HBox");
    auto* share = new Control();
    auto* inVBox = new Control();
    auto* inHBox = new Control();
    auto* fixed = new Control();
    root->AppendChild(vbox);
    root->AppendChild(hbox);
    vbox->AppendChild(inVBox);
    vbox->AppendChild(share);
    hbox->AppendChild(inHBox);
    root->AppendChild(fixed);
    auto win = testsupport::ShowTestWindow(root, 300, 200);
    vbox->SetBounds(0, 0, 300, 100);

    share->SetAttribute(L"width", L"50%");
    share->SetText(L"a long text that is wider than half of nothing");
    EXPECT_FLOAT_EQ(150.0f, share->MeasureSize(300, 100).width);

    inVBox->SetText(L"Label");
    ui::ControlSize inV = inVBox->MeasureSize(300, 100);
    EXPECT_EQ(-1.0f, inV.width) << "a vertical box decides the width";
    EXPECT_GT(inV.height, 5.0f);

    inHBox->SetText(L"Label");
    ui::ControlSize inH = inHBox->MeasureSize(300, 100);
    EXPECT_GT(inH.width, 5.0f);
    EXPECT_EQ(-1.0f, inH.height) << "a horizontal box decides the height";
    // Text wider than the space is cut to it.
    EXPECT_FLOAT_EQ(10.0f, inHBox->MeasureSize(10, 100).width);

    fixed->SetAttribute(L"pos", L"0,0,120,30");
    fixed->SetText(L"x");
    ui::ControlSize f = fixed->MeasureSize(300, 200);
    EXPECT_EQ(120.0f, f.width) << "a given size wins over the text";
    EXPECT_EQ(30.0f, f.height);

    // Stretched on both axes, the text is not measured.
    Control stretched;
    stretched.SetAttribute(L"size", L"flex,fill");
    stretched.SetText(L"text");
    EXPECT_EQ(-1.0f, stretched.MeasureSize(300, 200).width);

    // A root has no parent to take a share of.
    Control lone;
    lone.SetAttribute(L"width", L"50%");
    EXPECT_EQ(-1.0f, lone.MeasureSize(300, 200).width);
}

TEST_F(ControlValuesTest, TransformsAndLayersAreFoundAndKept)
{
    ui::WindowCore core;
    auto spin = std::make_unique<ui::ControlTransform>();
    spin->SetName(L"spin");
    ASSERT_TRUE(core.AddTransform(std::move(spin)));
    Box grandparent;
    auto* parent = new Box();
    auto* child = new Control();
    grandparent.AppendChild(parent);
    parent->AppendChild(child);
    grandparent.AttachCore(&core, nullptr, false);
    parent->AttachCore(&core, &grandparent, false);
    child->AttachCore(&core, parent, false);

    EXPECT_EQ(nullptr, child->FindTransform());
    grandparent.SetTransform(L"spin");
    ASSERT_NE(nullptr, grandparent.GetTransform());
    EXPECT_EQ(grandparent.GetTransform(), child->FindTransform());

    child->EnsureLayer(1);
    ui::Layer* first = child->GetLayer();
    ASSERT_NE(nullptr, first);
    child->EnsureLayer(2);
    EXPECT_EQ(first, child->GetLayer());
    child->AttachCore(nullptr, nullptr, false);
    parent->AttachCore(nullptr, nullptr, false);
    grandparent.AttachCore(nullptr, nullptr, false);
}

TEST_F(ControlValuesTest, HitTestingFollowsTheTransformedShape)
{
    auto* root = new Box();
    root->SetAttribute(L"bkcolor", L"#FFFFFFFF");
    auto* panel = new Control();
    panel->SetAttribute(L"pos", L"0,0,200,100");
    auto win = std::make_unique<testsupport::TestWindow>();
    win->root = root;
    auto half = std::make_unique<ui::ControlTransform>();
    half->SetName(L"half");
    half->Params().scale[0] = 0.5f;
    ASSERT_TRUE(win->core.AddTransform(std::move(half)));
    ASSERT_NE(nullptr, win->CreatePopup(240, 140));
    root->AppendChild(panel);
    panel->SetAttribute(L"transform", L"half");
    panel->SetAttribute(L"layered", L"true");
    ASSERT_TRUE(testsupport::ShowAndPaint(*win));
    ASSERT_EQ(200.0f, panel->GetBounds().Width());

    // Halved about its centre, the panel is drawn over x 50..150.
    struct Probe {
        int x, y;
        bool onPanel;
    };
    const Probe probes[] = {{20, 50, false}, {60, 50, true}, {100, 10, true}, {140, 90, true}, {180, 50, false}};
    for (const Probe& p : probes)
        EXPECT_EQ(p.onPanel ? panel : static_cast<Control*>(root), win->core.FindControlAtPoint(p.x, p.y))
            << p.x << "," << p.y;

    // Without its layer a transform is not drawn, and not hit through.
    Control plain;
    plain.SetBounds(0, 0, 10, 10);
    POINT pt{5, 5};
    EXPECT_EQ(&plain, plain.SearchTree([](Control* c, void*) { return c; }, &pt, ui::kSearchHitTest));
}

} // namespace
