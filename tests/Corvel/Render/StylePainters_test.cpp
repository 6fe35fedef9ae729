// Style painters: the state a style set paints for each combination of
// state bits, text painter attributes and drawing, the control's fallbacks
// to its style, application-drawn elements and ":>" bindings.
#include "Corvel/Core/Control.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Render/FontManager.h"
#include "Corvel/Render/ShapePainters.h"
#include "Corvel/Render/StyleDefinitions.h"
#include "Corvel/Render/StylePainters.h"
#include "Corvel/Render/support/StyleTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using styletest::Attributes;
using styletest::Element;
using styletest::Group;
using ui::RECTF;
using ui::StyleSet;

class StylePaintersTest : public ::testing::Test {
protected:
    testsupport::UiLibraryScope lib;
};

// A group of empty entries, one per name, in order.
std::unique_ptr<ui::StyleGroup> StateNames(const std::vector<const wchar_t*>& names)
{
    auto group = std::make_unique<ui::StyleGroup>();
    for (const wchar_t* name : names)
        group->Add(name, std::make_unique<ui::StyleEntry>(name));
    return group;
}

const wchar_t* CurrentName(const StyleSet& set)
{
    return set.GetCurrent() ? set.GetCurrent()->GetName().GetData() : L"(none)";
}

TEST(StyleSelectionTest, StateBitsChooseThePainterByExactMatchThenSharedBitsLastFirst)
{
    ui::Control owner;
    const RECTF box(0, 0, 10, 10);
    struct Case {
        std::vector<const wchar_t*> states;
        int bits;
        const wchar_t* painted;
    } cases[] = {
        // No exact match for normal|hot: "hot" shares a bit and comes later.
        {{L"normal", L"hot", L"pushed"}, ui::kStateNormal | ui::kStateHot, L"hot"},
        {{L"normal", L"hot", L"pushed"}, ui::kStatePushed, L"pushed"},
        {{L"normal", L"hot", L"pushed"}, ui::kStateNormal, L"normal"},
        // An exact match wins over a later entry sharing bits.
        {{L"hot|focused", L"hot", L"focused"}, ui::kStateHot | ui::kStateFocused, L"hot|focused"},
        {{L"hot", L"focused", L"hot|focused"}, ui::kStateFocused, L"focused"},
        // Shared bits: the last entry that shares any bit.
        {{L"normal", L"selected", L"disabled"}, ui::kStateSelected | ui::kStateDisabled, L"disabled"},
        {{L"normal", L"disabled", L"selected"}, ui::kStateSelected | ui::kStateDisabled, L"selected"},
        {{L"focused", L"normal", L"hot"}, ui::kStateFocused | ui::kStatePushed, L"focused"},
        // Nothing matches on a first paint: "normal".
        {{L"normal", L"hot"}, ui::kStatePushed, L"normal"},
        {{L"hot", L"normal"}, 0, L"normal"},
        // Unknown names have mask 0 and match state bits 0 exactly.
        {{L"normal", L"bogus"}, 0, L"bogus"},
        // Neither a match nor "normal": nothing is painted.
        {{L"hot", L"pushed"}, ui::kStateDisabled, L"(none)"},
    };
    for (const Case& c : cases) {
        StyleSet set(&owner);
        auto group = StateNames(c.states);
        set.Build(group.get());
        set.Paint(box, box, c.bits);
        EXPECT_STREQ(c.painted, CurrentName(set)) << "bits " << c.bits << ", first state " << c.states[0];
        ui::StylePainter* selected = set.SelectForState(c.bits);
        EXPECT_STREQ(c.painted, selected ? selected->GetName().GetData() : L"(none)") << "bits " << c.bits;
    }
}

TEST(StyleSelectionTest, AStateMatchingNothingKeepsTheLastLook)
{
    ui::Control owner;
    const RECTF box(0, 0, 10, 10);
    StyleSet set(&owner);
    auto group = StateNames({L"normal", L"hot", L"pushed"});
    set.Build(group.get());
    EXPECT_EQ(nullptr, set.GetCurrent());

    set.Paint(box, box, ui::kStateHot);
    EXPECT_STREQ(L"hot", CurrentName(set));
    set.Paint(box, box, 0);
    EXPECT_STREQ(L"hot", CurrentName(set)) << "state bits 0 match nothing: the last painter again";
    set.Paint(box, box, ui::kStateDisabled);
    EXPECT_STREQ(L"hot", CurrentName(set));
    EXPECT_STREQ(L"normal", set.SelectForState(0)->GetName().GetData()) << "selection alone falls back to normal";
    EXPECT_STREQ(L"hot", CurrentName(set)) << "and changes nothing";

    // Rebuilding forgets the current painter.
    set.Build(group.get());
    EXPECT_EQ(nullptr, set.GetCurrent());
    set.Build(nullptr);
    EXPECT_EQ(3, set.GetCount()) << "a null group changes nothing";
}

TEST(TextPainterTest, AlignWordsSetTheTextStyleBitsInTheirOrder)
{
    struct Case {
        const wchar_t* value;
        uint32_t style;
    } cases[] = {
        {L"right bottom", 0x2A},   {L"left top lines", 0},  {L"hcenter", 0x25},        {L"vcenter", 0x25},
        {L"left", 0x24},           {L"top", 0x21},          {L"bottom", 0x29},         {L"enddot", 0x8025},
        {L"lines enddot", 0x8001}, {L"vcenter lines", 0x1}, {L"right,hcenter", 0x26}, {L"nothing", 0x25},
    };
    for (const Case& c : cases) {
        ui::TextPainter painter(nullptr);
        EXPECT_EQ(0x25u, painter.GetTextStyle());
        painter.SetAttribute(L"align", c.value);
        EXPECT_EQ(c.style, painter.GetTextStyle()) << c.value;
    }
}

TEST(TextPainterTest, ColourStopsSpacingAndBlurAreRead)
{
    ui::TextPainter painter(nullptr);
    painter.SetAttribute(L"color", L"#FF102030");
    EXPECT_EQ(0xFF102030u, painter.GetColorWord());
    EXPECT_FALSE(painter.IsGradient());

    painter.SetAttribute(L"color", L"0xFFFF0000,#FF0000FF:0.75");
    EXPECT_TRUE(painter.IsGradient());
    EXPECT_EQ(0xFFFF0000u, painter.GetColorWord());
    ASSERT_EQ(2u, painter.GetStops().size());
    EXPECT_FLOAT_EQ(1.0f, painter.GetStops()[1].b);
    EXPECT_FLOAT_EQ(0.75f, ui::GradientStopPosition(painter.GetStops()[1]));
    EXPECT_FLOAT_EQ(0.0f, ui::GradientStopPosition(painter.GetStops()[0]));

    painter.SetAttribute(L"color", L"random");
    EXPECT_FALSE(painter.IsGradient());
    EXPECT_EQ(0xFFu, painter.GetColorWord() >> 24) << "a random colour is opaque";

    painter.SetAttribute(L"gradient", L"0,0,0,1");
    EXPECT_EQ(1, painter.GetGradientDirection().y1);
    EXPECT_EQ(0, painter.GetGradientDirection().x1);
    painter.SetAttribute(L"charspace", L"3");
    painter.SetAttribute(L"linespace", L"4");
    painter.SetAttribute(L"blur", L"  #80FFFFFF");
    painter.SetAttribute(L"font", L"7");
    painter.SetAttribute(L"showhtml", L"");
    EXPECT_FLOAT_EQ(3.0f, painter.GetCharSpacing());
    EXPECT_FLOAT_EQ(4.0f, painter.GetLineSpacing());
    EXPECT_EQ(0x80FFFFFFu, painter.GetBlurColor());
    EXPECT_EQ(7, painter.GetFontId());
    EXPECT_TRUE(painter.IsHtml());
    EXPECT_FALSE(painter.IsRich());

    // Unknown attributes are kept; bindings are kept apart.
    painter.SetAttribute(L"data", L"x");
    painter.SetAttribute(L"color", L":>progressColor");
    EXPECT_EQ(L"x", painter.GetOtherAttributes().at(L"data"));
    EXPECT_EQ(L"progressColor", painter.GetBindings().at(L"color"));
    EXPECT_EQ(0xFFu, painter.GetColorWord() >> 24) << "a binding leaves the colour word";
}

TEST(ElemPainterTest, LayoutAttributesAndGettersReportTheConfiguredValues)
{
    ui::ElemPainter painter(nullptr);
    painter.SetAttribute(L"padding", L"1,2,3,4");
    painter.SetAttribute(L"padding", L"5,6");
    ui::PropertyValue v;
    painter.GetPaddingValue(v, false);
    EXPECT_TRUE(v.found);
    EXPECT_TRUE(RECTF(5, 6, 3, 4) == v.rect) << "missing trailing items keep their values";

    painter.SetAttribute(L"size", L"50%");
    painter.GetSizeSpecValue(v, false);
    EXPECT_TRUE(RECTF(0, 0, 50, 50) == v.rect) << "one item serves for both";
    painter.SetAttribute(L"size", L"20,30%");
    painter.GetSizeValue(v, false);
    EXPECT_TRUE(RECTF(0, 0, 20, 0) == v.rect);
    painter.GetSizeSpecValue(v, false);
    EXPECT_TRUE(RECTF(0, 0, 50, 30) == v.rect);

    painter.SetAttribute(L"pos", L"10,20,30,40");
    painter.GetPosValue(v, false);
    EXPECT_TRUE(RECTF(10, 20, 30, 40) == v.rect);
    painter.GetRectValue(v, true);
    EXPECT_TRUE(RECTF() == v.rect) << "nothing painted yet";

    painter.GetColorValue(v, true);
    EXPECT_FALSE(v.found) << "the base painter has no colour";
    painter.GetPenSizeValue(v, false);
    EXPECT_FALSE(v.found);
}

TEST_F(StylePaintersTest, ElementBoxFollowsSizePositionPercentAndPadding)
{
    styletest::StyledWindow w(100, 60);
    // A filled shape of 20 x 10 units centred, one at "pos", one padded.
    w.Apply(Group({{L"normal",
                    {{{L"type", L"rect"}, {L"fill", L"true"}, {L"color", L"0xFFFF0000"}, {L"size", L"20,10"},
                      {L"rpos", L"50,50,0,0"}},
                     {{L"type", L"rect"}, {L"fill", L"true"}, {L"color", L"0xFF00FF00"}, {L"pos", L"5,5,15,15"}},
                     {{L"type", L"rect"}, {L"fill", L"true"}, {L"color", L"0xFF0000FF"}, {L"pos", L"80%,0,0,0"},
                      {L"size", L"20,60"}, {L"padding", L"5,40,5,5"}}}}}));
    const testsupport::PixelImage px = w.Read();
    EXPECT_EQ(0xFF0000u, px.RgbAt(50, 30)) << "centred box";
    EXPECT_EQ(0xFF0000u, px.RgbAt(41, 26));
    EXPECT_EQ(0u, px.At(38, 30)) << "left of the centred box";
    EXPECT_EQ(0u, px.At(50, 23)) << "above the centred box";
    EXPECT_EQ(0x00FF00u, px.RgbAt(6, 6));
    EXPECT_EQ(0x00FF00u, px.RgbAt(14, 14));
    EXPECT_EQ(0u, px.At(16, 10));
    // 80% of the free width (100 - 20) = 64, then padding 5 left and 40 top.
    EXPECT_EQ(0x0000FFu, px.RgbAt(70, 50));
    EXPECT_EQ(0u, px.At(66, 50)) << "inside the left padding";
    EXPECT_EQ(0u, px.At(70, 38)) << "inside the top padding";
}

TEST_F(StylePaintersTest, TextDrawsInItsColourAndAnEmptyTextDrawsNothing)
{
    styletest::StyledWindow w(120, 40);
    w.Apply(Group({{L"normal", {{{L"text", L"HHH"}, {L"color", L"0xFF0000FF"}, {L"pos", L"0,0,60,40"}}}}},
                  L"Text"));
    testsupport::PixelImage px = w.Read();
    int blue = 0, elsewhere = 0;
    for (int y = 0; y < px.height; ++y) {
        for (int x = 0; x < px.width; ++x) {
            const uint32_t p = px.At(x, y);
            if (testsupport::A(p) == 0)
                continue;
            if (x < 60 && testsupport::B(p) > 100 && testsupport::R(p) < 60)
                ++blue;
            else if (x >= 60)
                ++elsewhere;
        }
    }
    EXPECT_GT(blue, 10) << "the text shows in the left half";
    EXPECT_EQ(0, elsewhere) << "nothing outside the element's box";

    // No text of its own, no attribute of its name, no control text.
    w.Apply(Group({{L"normal", {{{L"align", L"left"}}}}}, L"Text"), L"Empty");
    px = w.Read();
    int drawn = 0;
    for (uint32_t p : px.data)
        drawn += testsupport::A(p) != 0;
    EXPECT_EQ(0, drawn);

    // The control's text fills in, in the control's text colour.
    w.control->SetTextColor(0xFFFF0000u);
    w.control->SetText(L"HHHH");
    w.Repaint();
    px = w.Read();
    int red = 0;
    for (uint32_t p : px.data)
        red += testsupport::R(p) > 100 && testsupport::B(p) < 60 && testsupport::A(p) > 0;
    EXPECT_GT(red, 10);
}

TEST_F(StylePaintersTest, FontZeroTakesTheControlsFontOnFirstPaintAndKeepsIt)
{
    styletest::StyledWindow w(120, 40);
    ASSERT_NE(nullptr, w.core().AddFont(1.0f, L"DejaVu Sans", 12, false, false, false, false));
    ui::tagTFontInfo* big = w.core().AddFont(1.0f, L"DejaVu Sans", 20, true, false, false, false);
    ASSERT_NE(nullptr, big);
    w.control->SetFontId(big->index);
    w.Apply(Group({{L"normal", {{{L"text", L"Hi"}, {L"font", L"0"}}}}}, L"Text"));
    ui::TextPainter* text = w.control->GetStyleSet()->FindTextPainter(L"normal");
    ASSERT_NE(nullptr, text);
    EXPECT_EQ(big->index, text->GetFontId());
    w.control->SetFontId(0);
    w.Repaint();
    EXPECT_EQ(big->index, text->GetFontId()) << "kept after the first paint";

    // A font spec gives the id of the font it names.
    w.Apply(Group({{L"normal", {{{L"text", L"Hi"}, {L"font", L"name='DejaVu Sans' size='20' bold='true'"}}}}},
                  L"Text"),
            L"Spec");
    text = w.control->GetStyleSet()->FindTextPainter(L"normal");
    ASSERT_NE(nullptr, text);
    EXPECT_NE(0, text->GetFontId());
}

TEST_F(StylePaintersTest, TextFontAndStyleFallBackToTheCurrentStatesTextElement)
{
    ui::WindowCore core;
    ui::Control control;
    control.AttachCore(&core, nullptr, true);
    EXPECT_EQ(-1, control.GetFontId()) << "no style set";

    auto group = std::make_unique<ui::StyleGroup>();
    for (const wchar_t* state : {L"normal", L"hot"}) {
        auto entry = std::make_unique<ui::StyleEntry>(state);
        entry->AddElement(Element(L"Shape", L"bg", {{L"color", L"0xFF000000"}}));
        entry->AddElement(Element(L"Text", L"label",
                                  {{L"text", std::wstring(L"text of ").append(state).c_str()},
                                   {L"font", L"3"},
                                   {L"align", L"left top"}}));
        entry->AddElement(Element(L"Image", L"icon", {}));
        group->Add(state, std::move(entry));
    }
    core.AddStyleGroup(L"Btn", std::move(group));
    control.SetStyle(L"Missing");
    EXPECT_EQ(nullptr, control.GetStyleSet());
    EXPECT_STREQ(L"Missing", control.GetStyleName().GetData());
    control.SetStyle(L"Btn");
    ASSERT_NE(nullptr, control.GetStyleSet());
    control.SetStyle(L"Missing");
    EXPECT_NE(nullptr, control.GetStyleSet()) << "an unknown name keeps the style set";

    EXPECT_STREQ(L"text of normal", control.GetText().GetData());
    EXPECT_EQ(3, control.GetFontId());
    EXPECT_EQ(0x20, control.GetTextStyle());
    control.SetHot(true);
    EXPECT_STREQ(L"text of hot", control.GetText().GetData());

    // Texts of text elements by state and element names.
    control.SetText(L"Hover me", L"hot", L"label");
    EXPECT_STREQ(L"Hover me", control.GetText().GetData());
    EXPECT_STREQ(L"text of normal", control.GetStyleSet()->FindTextPainter(L"normal")->GetText().GetData());
    control.SetText(L"Both", nullptr, L"label");
    EXPECT_STREQ(L"Both", control.GetStyleSet()->FindTextPainter(L"normal")->GetText().GetData());
    control.SetText(L"Not a text element", nullptr, L"bg");
    EXPECT_STREQ(L"Both", control.GetText().GetData());

    // A text style the control was given wins over its style's.
    control.ParseTextStyle(L"right");
    EXPECT_EQ(0x26, control.GetTextStyle());
    // The own text wins over the style's.
    control.SetText(L"own");
    EXPECT_STREQ(L"own", control.GetText().GetData());

    // Image descriptors by state and element name go to image elements only.
    control.SetStateProperty(L"a.png", L"hot", L"icon");
    auto* hotIcon = static_cast<ui::ImagePainter*>(control.GetStyleSet()->Find(L"hot")->FindPainter(L"icon"));
    auto* normalIcon = static_cast<ui::ImagePainter*>(control.GetStyleSet()->Find(L"normal")->FindPainter(L"icon"));
    EXPECT_STREQ(L"a.png", hotIcon->Image().GetFileName().GetData());
    EXPECT_TRUE(normalIcon->Image().GetFileName().IsEmpty());
    control.SetStateProperty(L"b.png", nullptr, L"icon");
    EXPECT_STREQ(L"b.png", normalIcon->Image().GetFileName().GetData());
    control.SetStateProperty(L"c.png", nullptr, L"label");
    EXPECT_STREQ(L"Both", control.GetStyleSet()->FindTextPainter(L"normal")->GetText().GetData());
}

TEST_F(StylePaintersTest, ActionElementsAreDrawnByTheApplicationHook)
{
    styletest::StyledWindow w(80, 40);
    auto group = std::make_unique<ui::StyleGroup>();
    auto entry = std::make_unique<ui::StyleEntry>(L"normal");
    entry->AddElement(Element(L"Action", L"custom", {{L"mode", L"spin"}}));
    entry->AddElement(Element(L"Action", L"unbound", {}));
    group->Add(L"normal", std::move(entry));
    w.Apply(std::move(group));

    ui::ElemPainter* custom = w.control->GetStyleSet()->Find(L"normal")->FindPainter(L"custom");
    ASSERT_NE(nullptr, custom);
    EXPECT_EQ(L"spin", custom->GetOtherAttributes().at(L"mode"));
    int calls = 0;
    RECTF seenBox;
    ui::RenderTarget* seenTarget = nullptr;
    custom->SetDrawCallback([&](ui::ElemPainter* p, ui::RenderTarget* t, const RECTF&, const RECTF& box) {
        ++calls;
        EXPECT_EQ(custom, p);
        seenTarget = t;
        seenBox = box;
        return true;
    });
    w.Repaint();
    EXPECT_EQ(1, calls);
    EXPECT_EQ(w.core().GetRenderTarget(), seenTarget);
    EXPECT_TRUE(RECTF(0, 0, 80, 40) == seenBox);
    // The element without a hook drew nothing (and did not fail).
    int drawn = 0;
    for (uint32_t p : w.Read().data)
        drawn += testsupport::A(p) != 0;
    EXPECT_EQ(0, drawn);
}

TEST_F(StylePaintersTest, BoundPositionAndColourComeFromTheControl)
{
    styletest::StyledWindow w(100, 40);
    w.control->boundName = L"thumb";
    w.control->answer.found = true;
    w.control->answer.rect = RECTF(60, 10, 90, 30);
    w.control->answer.intValue = static_cast<int32_t>(0xFF00FF00u);
    w.Apply(Group({{L"normal",
                    {{{L"type", L"rect"}, {L"fill", L"true"}, {L"color", L"0xFFFF0000"}, {L"pos", L":>thumb"}}}}}));
    testsupport::PixelImage px = w.Read();
    EXPECT_EQ(0xFF0000u, px.RgbAt(75, 20)) << "drawn at the answered rectangle";
    EXPECT_EQ(0u, px.At(30, 20));
    EXPECT_EQ(0u, px.At(75, 5));

    // Left -1 keeps the computed left and right; bottom 0 keeps the height.
    w.control->answer.rect = RECTF(-1, 25, 0, 0);
    w.Repaint();
    px = w.Read();
    EXPECT_EQ(0xFF0000u, px.RgbAt(2, 30));
    EXPECT_EQ(0xFF0000u, px.RgbAt(97, 38));
    EXPECT_EQ(0u, px.At(50, 20));

    // A bound colour replaces the configured one.
    w.Apply(Group({{L"normal",
                    {{{L"type", L"rect"}, {L"fill", L"true"}, {L"color", L":>thumb"}, {L"size", L"10,10"}}}}}),
            L"Colour");
    EXPECT_EQ(0x00FF00u, w.Read().RgbAt(5, 5));
    const int asked = w.control->asked;
    w.control->answer.found = false;
    w.Repaint();
    EXPECT_GT(w.control->asked, asked);
    EXPECT_EQ(0u, w.Read().At(5, 5)) << "no colour of its own and none bound: nothing drawn";
}

} // namespace
