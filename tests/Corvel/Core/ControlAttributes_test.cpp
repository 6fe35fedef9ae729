// Markup attributes of the control base: every name with a good value, a
// bad value and the property it sets; attribute lists; group names.
#include "Corvel/Control/Box.h"
#include "Corvel/Core/Control.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Core/support/TestWindow.h"
#include "Corvel/Render/FontManager.h"
#include "Corvel/Render/Layer.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using ui::Control;

class ControlAttributesTest : public ::testing::Test {
protected:
    testsupport::UiLibraryScope lib;
};

// Attributes applied in order to a fresh, unattached control, then a check.
struct AttributeCase {
    const char* what;
    std::vector<std::pair<const wchar_t*, const wchar_t*>> attributes;
    std::function<void(Control&)> check;
};

void RunCases(const std::vector<AttributeCase>& cases)
{
    for (const AttributeCase& c : cases) {
        SCOPED_TRACE(c.what);
        Control control;
        for (const auto& a : c.attributes)
            control.SetAttribute(a.first, a.second);
        c.check(control);
        // A known name never lands in the extra attributes.
        for (const auto& a : c.attributes)
            EXPECT_TRUE(control.GetExtraAttribute(a.first).IsEmpty()) << "extra: " << std::wstring(a.first).c_str();
    }
}

TEST_F(ControlAttributesTest, GeometryAttributes)
{
    RunCases({
        {"pos percent point and offset", {{L"pos", L"50%,50%,-100,-20"}},
         [](Control& c) {
             ui::FloatRectInfo f = c.GetFloatRect();
             EXPECT_EQ(50, f.px);
             EXPECT_EQ(50, f.py);
             EXPECT_EQ(-100, f.ox);
             EXPECT_EQ(-20, f.oy);
             EXPECT_EQ(0, c.GetFixedPos().x);
             EXPECT_EQ(-1, c.GetRawFixedWidth());
             EXPECT_EQ(-1, c.GetRawFixedHeight());
             EXPECT_TRUE(c.IsFloat());
         }},
        {"pos fixed box still floats", {{L"pos", L"10,10,200,30"}},
         [](Control& c) {
             EXPECT_EQ(10, c.GetFixedPos().x);
             EXPECT_EQ(10, c.GetFixedPos().y);
             EXPECT_EQ(200, c.GetRawFixedWidth());
             EXPECT_EQ(30, c.GetRawFixedHeight());
             EXPECT_TRUE(c.IsFloat());
         }},
        {"pos with size percents", {{L"pos", L"5,6,50%,25%,7,8"}},
         [](Control& c) {
             ui::FloatRectInfo f = c.GetFloatRect();
             EXPECT_EQ(50, f.pw);
             EXPECT_EQ(25, f.ph);
             EXPECT_EQ(7, f.ox);
             EXPECT_EQ(8, f.oy);
             EXPECT_EQ(-1, c.GetRawFixedWidth());
         }},
        {"rpos", {{L"rpos", L"100,0,-30,4"}},
         [](Control& c) {
             ui::FloatRectInfo f = c.GetFloatRect();
             EXPECT_EQ(100, f.px);
             EXPECT_EQ(-30, f.ox);
             EXPECT_EQ(4, f.oy);
         }},
        {"size auto,30", {{L"size", L"auto,30"}},
         [](Control& c) {
             EXPECT_EQ(ui::kSizeText, c.GetWidthMode());
             EXPECT_EQ(0, c.GetRawFixedWidth());
             EXPECT_EQ(30, c.GetRawFixedHeight());
         }},
        {"size flex,child", {{L"size", L"flex,child"}},
         [](Control& c) {
             EXPECT_EQ(ui::kSizeStretch, c.GetWidthMode());
             EXPECT_EQ(ui::kSizeChildren, c.GetHeightMode());
         }},
        {"size percent", {{L"size", L"50%,20"}},
         [](Control& c) {
             EXPECT_EQ(50, c.GetFloatRect().pw);
             EXPECT_EQ(20, c.GetRawFixedHeight());
             EXPECT_EQ(-1, c.GetRawFixedWidth());
         }},
        {"width auto sets only the mode", {{L"width", L"flex"}, {L"width", L"auto"}},
         [](Control& c) {
             EXPECT_EQ(ui::kSizeText, c.GetWidthMode());
             EXPECT_EQ(-1, c.GetRawFixedWidth());
         }},
        {"w number and h -1", {{L"w", L"120"}, {L"h", L"-1"}},
         [](Control& c) {
             EXPECT_EQ(120, c.GetRawFixedWidth());
             EXPECT_EQ(ui::kSizeText, c.GetHeightMode());
             EXPECT_EQ(-1, c.GetRawFixedHeight());
         }},
        {"height percent", {{L"height", L"40%"}}, [](Control& c) { EXPECT_EQ(40, c.GetFloatRect().ph); }},
        {"bad width reads 0", {{L"width", L"abc"}}, [](Control& c) { EXPECT_EQ(0, c.GetRawFixedWidth()); }},
        {"padding and limits", {{L"padding", L"1,2,3,4"}, {L"minwidth", L"10"}, {L"maxheight", L"90"}},
         [](Control& c) {
             EXPECT_EQ(ui::RECTF(1, 2, 3, 4), c.GetPadding());
             EXPECT_EQ(10, c.GetMinWidth());
             EXPECT_EQ(90, c.GetMaxHeight());
         }},
        {"float and leadup", {{L"float", L"true"}, {L"leadup", L"true"}},
         [](Control& c) {
             EXPECT_TRUE(c.IsFloat());
             EXPECT_TRUE(c.GetFloatAnchor());
         }},
        {"float 1 is false", {{L"float", L"1"}}, [](Control& c) { EXPECT_FALSE(c.IsFloat()); }},
    });
}

TEST_F(ControlAttributesTest, ColourAndBorderAttributes)
{
    RunCases({
        {"six-digit colour has alpha 0", {{L"bkcolor", L"#FF0000"}},
         [](Control& c) { EXPECT_EQ(0x00FF0000u, c.GetBkColor()); }},
        {"opaque red, hex and 0x", {{L"bkcolor", L"  #FFFF0000"}, {L"textcolor", L"0xFF00FF00"}},
         [](Control& c) {
             EXPECT_EQ(0xFFFF0000u, c.GetBkColor());
             EXPECT_EQ(0xFF00FF00u, c.GetTextColor());
         }},
        {"random background is opaque", {{L"bkcolor", L"random"}},
         [](Control& c) { EXPECT_EQ(0xFFu, c.GetBkColor() >> 24); }},
        {"bad colour reads 0", {{L"textcolor", L"zz"}}, [](Control& c) { EXPECT_EQ(0u, c.GetTextColor()); }},
        {"border colour fills unset focus and hot", {{L"hotbordercolor", L"#FF00FF00"}, {L"bordercolor", L"#FF0000FF"}},
         [](Control& c) {
             EXPECT_EQ(0xFF0000FFu, c.GetBorderColor());
             EXPECT_EQ(0xFF0000FFu, c.GetFocusBorderColor());
             EXPECT_EQ(0xFF00FF00u, c.GetHotBorderColor());
         }},
        {"hot size before border size", {{L"hotbordersize", L"4"}, {L"bordersize", L"2"}},
         [](Control& c) {
             EXPECT_EQ(2, c.GetBorderSize());
             EXPECT_EQ(4, c.GetHotBorderSize());
             EXPECT_EQ(2, c.GetFocusBorderSize());
             EXPECT_EQ(ui::RECTF(2, 2, 2, 2), c.GetSideBorderSizes());
         }},
        {"border size before hot size", {{L"bordersize", L"2"}, {L"hotbordersize", L"4"}},
         [](Control& c) { EXPECT_EQ(4, c.GetHotBorderSize()); }},
        {"four side sizes leave the border size", {{L"bordersize", L"1,2,3"}},
         [](Control& c) {
             EXPECT_EQ(0, c.GetBorderSize());
             EXPECT_EQ(ui::RECTF(1, 2, 3, 0), c.GetSideBorderSizes());
         }},
        {"negative side size ignored", {{L"leftbordersize", L"3"}, {L"leftbordersize", L"-2"}},
         [](Control& c) { EXPECT_EQ(3, c.GetSideBorderSizes().left); }},
        {"stroke styles", {{L"borderstroke", L"dashdot"}}, [](Control& c) { EXPECT_EQ(ui::kStrokeDashDot, c.GetBorderStroke()); }},
        {"unknown stroke is solid", {{L"borderstroke", L"dash"}, {L"borderstroke", L"wavy"}},
         [](Control& c) { EXPECT_EQ(ui::kStrokeSolid, c.GetBorderStroke()); }},
        {"borderround after roundpos re-enables corners", {{L"roundpos", L"1,0,1,0"}, {L"borderround", L"6,8"}},
         [](Control& c) {
             EXPECT_EQ(6, c.GetBorderRound().cx);
             EXPECT_EQ(8, c.GetBorderRound().cy);
             for (int i = 0; i < 4; ++i)
                 EXPECT_EQ(1, c.GetRoundCorners()[i]);
         }},
        {"roundpos after round keeps its flags", {{L"round", L"4,4"}, {L"roundpos", L"1,0,1,0"}},
         [](Control& c) {
             EXPECT_EQ(1, c.GetRoundCorners()[0]);
             EXPECT_EQ(0, c.GetRoundCorners()[1]);
             EXPECT_EQ(1, c.GetRoundCorners()[2]);
             EXPECT_EQ(0, c.GetRoundCorners()[3]);
         }},
        {"roundpos with one item writes the first only", {{L"roundpos", L"0"}},
         [](Control& c) {
             EXPECT_EQ(0, c.GetRoundCorners()[0]);
             EXPECT_EQ(1, c.GetRoundCorners()[1]);
         }},
        {"alpha and text blur", {{L"alpha", L"128"}, {L"textblur", L"#80FFFFFF"}},
         [](Control& c) {
             EXPECT_EQ(128, c.GetAlpha());
             EXPECT_EQ(static_cast<int>(0x80FFFFFFu), c.GetTextDrawOption());
         }},
        {"disabled colours", {{L"disabledbkcolor", L"#FF111111"}, {L"disabledtextcolor", L"#FF222222"}},
         [](Control& c) {
             EXPECT_EQ(0xFF111111u, c.GetDisabledBkColor());
             EXPECT_EQ(0xFF222222u, c.GetDisabledTextColor());
         }},
    });
}

TEST_F(ControlAttributesTest, TextBehaviourAndEffectAttributes)
{
    RunCases({
        {"text padding, spacing, html", {{L"textpadding", L"4,3,2,1"}, {L"charspace", L"2"}, {L"linespace", L"5"}, {L"showhtml", L"true"}},
         [](Control& c) {
             EXPECT_EQ(ui::RECTF(4, 3, 2, 1), c.GetTextPadding());
             EXPECT_EQ(2, c.GetCharSpacing());
             EXPECT_EQ(5, c.GetLineSpacing());
             EXPECT_TRUE(c.IsHtmlText());
         }},
        {"align words", {{L"align", L"right bottom enddot"}},
         [](Control& c) {
             EXPECT_EQ(ui::kTextRight | ui::kTextBottom | ui::kTextSingleLine | ui::kTextEndEllipsis, c.GetTextStyle());
             EXPECT_TRUE(c.IsTextStyleGiven());
         }},
        {"font id", {{L"font", L"3"}}, [](Control& c) { EXPECT_EQ(3, c.GetFontId()); }},
        {"font spec without a core keeps the id", {{L"font", L"id='0' size='20'"}},
         [](Control& c) { EXPECT_EQ(-1, c.GetFontId()); }},
        {"enabled 1 disables", {{L"enabled", L"1"}}, [](Control& c) { EXPECT_FALSE(c.IsEnabled()); }},
        {"visible 1 does nothing", {{L"visible", L"1"}}, [](Control& c) { EXPECT_TRUE(c.IsVisible()); }},
        {"visible false,only", {{L"visible", L"false,only"}},
         [](Control& c) {
             EXPECT_FALSE(c.IsVisible());
             EXPECT_TRUE(c.IsExclusiveInParent());
         }},
        {"mouse, keyboard, menu", {{L"mouse", L"false"}, {L"keyboard", L"false"}, {L"menu", L"true"}},
         [](Control& c) {
             EXPECT_FALSE(c.IsMouseEnabled());
             EXPECT_FALSE(c.IsKeyboardEnabled());
             EXPECT_TRUE(c.IsContextMenuEnabled());
         }},
        {"selected makes it selectable with a hand", {{L"selected", L"true"}},
         [](Control& c) {
             EXPECT_TRUE(c.IsSelected());
             EXPECT_TRUE(c.IsSelectable());
             EXPECT_TRUE(c.GetHandCursor());
             EXPECT_TRUE(c.NeedsCursor());
         }},
        {"on-if-true flags ignore other values", {{L"selectable", L"yes"}, {L"hole", L"1"}, {L"needret", L"no"}, {L"drop", L"TRUE"}},
         [](Control& c) {
             EXPECT_FALSE(c.IsSelectable());
             EXPECT_FALSE(c.IsHole());
             EXPECT_FALSE(c.NeedsReturn());
             EXPECT_FALSE(c.IsDropTarget());
         }},
        {"on-if-true flags", {{L"hole", L"true"}, {L"needret", L"true"}, {L"drop", L"true"}, {L"needtab", L"true"}},
         [](Control& c) {
             EXPECT_TRUE(c.IsHole());
             EXPECT_TRUE(c.NeedsReturn());
             EXPECT_TRUE(c.IsDropTarget());
             EXPECT_TRUE(c.NeedsTab());
         }},
        {"needcapture only turns off", {{L"needcapture", L"true"}}, [](Control& c) { EXPECT_TRUE(c.NeedsCapture()); }},
        {"needcapture false", {{L"needcapture", L"false"}}, [](Control& c) { EXPECT_FALSE(c.NeedsCapture()); }},
        {"identity", {{L"name", L"BtnOk"}, {L"userdata", L"u"}, {L"shortcut", L"K"}, {L"nexttab", L"A"}, {L"prevtab", L"B"}},
         [](Control& c) {
             EXPECT_STREQ(L"BtnOk", c.GetName().GetData());
             EXPECT_STREQ(L"u", c.GetUserData().GetData());
             EXPECT_EQ(L'K', c.GetShortcut());
             EXPECT_STREQ(L"A", c.GetNextTabName().GetData());
             EXPECT_STREQ(L"B", c.GetPrevTabName().GetData());
         }},
        {"tooltip line breaks", {{L"tip", L"a<n>b"}}, [](Control& c) { EXPECT_STREQ(L"a\r\nb", c.GetToolTip().GetData()); }},
        {"layered accepts true and 1 only", {{L"layered", L"yes"}}, [](Control& c) { EXPECT_EQ(nullptr, c.GetLayer()); }},
        {"layer 1", {{L"layer", L"1"}}, [](Control& c) { EXPECT_NE(nullptr, c.GetLayer()); }},
        {"inset shadow, no layer", {{L"shadow", L"size='4' inset='true' color='#FF000000'"}},
         [](Control& c) {
             EXPECT_EQ(4, c.GetBoxShadow().size);
             EXPECT_EQ(1, c.GetBoxShadow().inset);
             EXPECT_EQ(nullptr, c.GetLayer());
         }},
        {"drop shadow makes a layer", {{L"shadow", L"size='4' drop='true'"}},
         [](Control& c) { EXPECT_NE(nullptr, c.GetLayer()); }},
        {"blur spec makes a layer", {{L"blur", L"blur='3' quality='2'"}},
         [](Control& c) {
             EXPECT_EQ(3, c.GetBlur().deviation);
             EXPECT_EQ(2, c.GetBlur().quality);
             EXPECT_NE(nullptr, c.GetLayer());
         }},
        {"plain back blur", {{L"bkblur", L"5"}}, [](Control& c) {
             EXPECT_EQ(5, c.GetBackBlur().deviation);
             EXPECT_EQ(nullptr, c.GetLayer());
         }},
        {"text template", {{L"text", L"Done: {v}"}},
         [](Control& c) {
             EXPECT_STREQ(L"Done: {v}", c.GetText().GetData());
             EXPECT_STREQ(L"Done: ", c.GetValueTemplate().GetData());
         }},
    });
}

TEST_F(ControlAttributesTest, AttributeListsStopWhereTheyBreak)
{
    struct ListCase {
        const wchar_t* text;
        const wchar_t* expectName;
        const wchar_t* expectUser;
        const wchar_t* expectExtraName; // an attribute that landed in the extras
    };
    const ListCase cases[] = {
        {L"name=\"A\" userdata=\"B\"", L"A", L"B", nullptr},
        // Two blanks between pairs end the list after the first.
        {L"name=\"A\"  userdata=\"B\"", L"A", L"", nullptr},
        // A blank before "=" is part of the name.
        {L"name =\"A\" userdata=\"B\"", L"", L"B", L"name "},
        // No quote after "=": nothing applied.
        {L"name=A userdata=\"B\"", L"", L"", nullptr},
        // Unterminated value: applied up to the end.
        {L"name=\"A\" userdata=\"B", L"A", L"B", nullptr},
        // Surrogate pairs stay whole.
        {L"userdata=\"\U0001F600x\"", L"", L"\U0001F600x", nullptr},
        {L"", L"", L"", nullptr},
    };
    for (const ListCase& c : cases) {
        SCOPED_TRACE(testing::Message() << std::wstring(c.text).c_str());
        Control control;
        control.ApplyAttributeText(c.text);
        EXPECT_STREQ(c.expectName, control.GetName().GetData());
        EXPECT_STREQ(c.expectUser, control.GetUserData().GetData());
        if (c.expectExtraName) {
            EXPECT_STREQ(L"A", control.GetExtraAttribute(c.expectExtraName).GetData());
        }
    }
}

TEST_F(ControlAttributesTest, AttachedAttributesReachTheWindowCore)
{
    auto* root = new ui::Box();
    auto win = testsupport::ShowTestWindow(root, 200, 100);
    auto* c = new Control();
    root->AppendChild(c);

    c->SetAttribute(L"mutex", L"m");
    c->SetAttribute(L"mutex", L"m");
    ASSERT_NE(nullptr, win->core.GetMutexGroup(L"m"));
    EXPECT_EQ(1u, win->core.GetMutexGroup(L"m")->size());
    c->SetAttribute(L"mutex", L"");
    EXPECT_TRUE(win->core.GetMutexGroup(L"m") == nullptr || win->core.GetMutexGroup(L"m")->empty());

    c->SetAttribute(L"group", L"g");
    c->SetAttribute(L"group", L"h");
    EXPECT_TRUE(win->core.GetGroup(L"g") == nullptr || win->core.GetGroup(L"g")->empty());
    ASSERT_NE(nullptr, win->core.GetGroup(L"h"));
    EXPECT_EQ(c, win->core.GetGroup(L"h")->front());

    c->SetAttribute(L"font", L"size='21' bold='true'");
    ui::tagTFontInfo* font = win->core.GetFont(c->GetFontId());
    ASSERT_NE(nullptr, font);
    EXPECT_EQ(21, font->size);
    EXPECT_TRUE(font->bold);

    c->SetAttribute(L"defaultfocus", L"true");
    EXPECT_EQ(c, win->core.GetDefaultFocus());

    // Names the base does not know are kept for the concrete controls.
    c->SetAttribute(L"dropdownheight", L"200");
    EXPECT_STREQ(L"200", c->GetExtraAttribute(L"dropdownheight").GetData());
}

} // namespace
