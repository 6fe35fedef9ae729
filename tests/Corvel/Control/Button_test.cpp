#include "Corvel/Control/Button.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "Corvel/Control/support/MarkupWindow.h"

namespace {

using controltest::MarkupWindow;
using testsupport::Rgb;
using ui::Button;

constexpr uint32_t kWindowColor = 0xFF204060u;
constexpr uint32_t kHotColor = 0xFF30C030u;
constexpr uint32_t kPushedColor = 0xFFC03030u;

// One button at (20, 20) - (120, 60) over a coloured window.
const wchar_t kButtonSkin[] = LR"(<Window>
    <Box bkcolor="#FF204060">
        <Button name="btn" float="true" pos="20,20,100,40" hotbkcolor="#FF30C030" pushedbkcolor="#FFC03030"/>
    </Box>
</Window>)";
constexpr int kInsideX = 70, kInsideY = 40;
constexpr int kOutsideX = 200, kOutsideY = 100;

class ButtonTest : public ::testing::Test {
protected:
    // The real pointer stays away from the windows: only the synthetic
    // messages move the hover.
    void SetUp() override { SetCursorPos(1500, 950); }
    testsupport::UiLibraryScope lib;
};

// The notifications a button raises for the pointer, without focus ones.
std::vector<std::wstring> PointerNotifications(const controltest::NotifyLog& log)
{
    std::vector<std::wstring> out;
    for (const std::wstring& item : log.items) {
        if (item.rfind(L"setfocus", 0) != 0 && item.rfind(L"killfocus", 0) != 0)
            out.push_back(item);
    }
    return out;
}

enum class Gesture { kClickInside, kPressInsideReleaseOutside, kReleaseWithoutPress, kDoubleClickInside };

struct PointerCase {
    const char* name;
    Gesture gesture;
    bool enabled;
    std::vector<std::wstring> notifications;
    int clicks;
};

void Perform(MarkupWindow& w, Gesture gesture)
{
    switch (gesture) {
    case Gesture::kClickInside:
        w.Click(kInsideX, kInsideY);
        break;
    case Gesture::kPressInsideReleaseOutside:
        w.Press(kInsideX, kInsideY);
        w.Move(kOutsideX, kOutsideY, MK_LBUTTON);
        w.Release(kOutsideX, kOutsideY);
        break;
    case Gesture::kReleaseWithoutPress:
        w.Move(kInsideX, kInsideY);
        w.Release(kInsideX, kInsideY);
        break;
    case Gesture::kDoubleClickInside:
        w.Click(kInsideX, kInsideY);
        SendMessageW(w.Hwnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, controltest::Pt(kInsideX, kInsideY));
        w.Release(kInsideX, kInsideY);
        break;
    }
}

TEST_F(ButtonTest, PointerGesturesRaiseTheirNotificationsAndLeaveNoPressBehind)
{
    const PointerCase cases[] = {
        {"click inside", Gesture::kClickInside, true,
         {L"mouseenter:btn", L"buttondown:btn", L"click:btn", L"buttonup:btn"}, 1},
        {"press inside, release outside", Gesture::kPressInsideReleaseOutside, true,
         {L"mouseenter:btn", L"buttondown:btn", L"buttonup:btn"}, 0},
        {"release without a press", Gesture::kReleaseWithoutPress, true, {L"mouseenter:btn"}, 0},
        {"double click is a second press", Gesture::kDoubleClickInside, true,
         {L"mouseenter:btn", L"buttondown:btn", L"click:btn", L"buttonup:btn", L"buttondown:btn", L"click:btn",
          L"buttonup:btn"},
         2},
        {"disabled ignores everything", Gesture::kClickInside, false, {}, 0},
    };
    for (const PointerCase& c : cases) {
        SCOPED_TRACE(c.name);
        MarkupWindow w(kButtonSkin, 240, 140);
        Button* btn = w.Find<Button>(L"btn");
        ASSERT_NE(nullptr, btn);
        int clicks = 0;
        btn->SetClickHandler([&clicks] { ++clicks; });
        btn->SetEnabled(c.enabled);
        w.log.items.clear();

        Perform(w, c.gesture);
        EXPECT_EQ(c.notifications, PointerNotifications(w.log));
        EXPECT_EQ(c.clicks, clicks);
        EXPECT_EQ(0u, btn->GetButtonState() & (Button::kButtonPushed | Button::kButtonPressed))
            << "no press may outlive the release";
        if (c.gesture == Gesture::kPressInsideReleaseOutside) {
            EXPECT_EQ(0u, btn->GetButtonState() & Button::kButtonHot);
        }
        if (!c.enabled) {
            EXPECT_EQ(0u, btn->GetButtonState());
        }
    }
}

TEST_F(ButtonTest, EnterAndLeaveFollowThePointer)
{
    MarkupWindow w(kButtonSkin, 240, 140);
    Button* btn = w.Find<Button>(L"btn");
    ASSERT_NE(nullptr, btn);
    w.log.items.clear();
    w.Move(kInsideX, kInsideY);
    EXPECT_NE(0u, btn->GetButtonState() & Button::kButtonHot);
    w.Move(kOutsideX, kOutsideY);
    EXPECT_EQ(0u, btn->GetButtonState() & Button::kButtonHot);
    const std::vector<std::wstring> want{L"mouseenter:btn", L"mouseleave:btn"};
    EXPECT_EQ(want, w.log.items);
}

TEST_F(ButtonTest, SpaceAndEnterClickAFocusedButtonOnceEach)
{
    const struct {
        WPARAM key;
        int clicks;
    } cases[] = {{VK_SPACE, 1}, {VK_RETURN, 1}, {'A', 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        MarkupWindow w(kButtonSkin, 240, 140);
        Button* btn = w.Find<Button>(L"btn");
        ASSERT_NE(nullptr, btn);
        btn->SetFocused(true);
        ASSERT_EQ(btn, w.win.core.GetFocus());
        w.log.items.clear();
        w.Key(c.key);
        EXPECT_EQ(static_cast<size_t>(c.clicks), w.log.OfType(L"click").size())
            << "a key press clicks once, not once going down and again coming up";
    }
}

TEST_F(ButtonTest, ColourAttributesFollowMarkupOrder)
{
    const struct {
        const char* name;
        const wchar_t* attributes;
        uint32_t text, hotText, pushedText, hotBk, pushedBk;
    } cases[] = {
        {"textcolor after hottextcolor replaces it", L"hottextcolor=\"#FF00FF00\" textcolor=\"#FF112233\"",
         0xFF112233u, 0xFF112233u, 0xFF112233u, 0, 0},
        {"hottextcolor after textcolor wins while hot", L"textcolor=\" #FF112233\" hottextcolor=\"#FF00FF00\"",
         0xFF112233u, 0xFF00FF00u, 0xFF112233u, 0, 0},
        {"hotbkcolor alone colours the pushed state", L"hotbkcolor=\"#FF445566\"", 0, 0, 0, 0xFF445566u,
         0xFF445566u},
        {"hotbkcolor after pushedbkcolor overwrites it", L"pushedbkcolor=\"#FF000001\" hotbkcolor=\"FF445566\"", 0, 0,
         0, 0xFF445566u, 0xFF445566u},
        {"pushedbkcolor after hotbkcolor keeps both", L"hotbkcolor=\"#FF445566\" pushedbkcolor=\"#FF000001\"", 0, 0,
         0, 0xFF445566u, 0xFF000001u},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring skin = L"<Window><Box><Button name=\"b\" ";
        skin += c.attributes;
        skin += L"/></Box></Window>";
        MarkupWindow w(skin.c_str(), 100, 50);
        Button* b = w.Find<Button>(L"b");
        ASSERT_NE(nullptr, b);
        if (c.text) {
            EXPECT_EQ(c.text, b->GetTextColor());
        }
        EXPECT_EQ(c.hotText, b->GetHotTextColor());
        EXPECT_EQ(c.pushedText, b->GetPushedTextColor());
        EXPECT_EQ(c.hotBk, b->GetHotBkColor());
        EXPECT_EQ(c.pushedBk, b->GetPushedBkColor());
    }
}

TEST_F(ButtonTest, StateBackgroundIsPaintedOverTheButtonOnly)
{
    MarkupWindow w(kButtonSkin, 240, 140);
    Button* btn = w.Find<Button>(L"btn");
    ASSERT_NE(nullptr, btn);
    const struct {
        const char* name;
        std::function<void()> act;
        uint32_t inside;
    } steps[] = {
        {"normal", [] {}, kWindowColor},
        {"hot", [&] { w.Move(kInsideX, kInsideY); }, kHotColor},
        {"pushed", [&] { SendMessageW(w.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, controltest::Pt(kInsideX, kInsideY)); },
         kPushedColor},
        {"released, still hot", [&] { w.Release(kInsideX, kInsideY); }, kHotColor},
        {"disabled", [&] { btn->SetEnabled(false); }, kWindowColor},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        step.act();
        ASSERT_TRUE(w.Paint());
        testsupport::PixelImage img = w.Pixels();
        EXPECT_EQ(Rgb(step.inside), img.RgbAt(kInsideX, kInsideY));
        EXPECT_EQ(Rgb(kWindowColor), img.RgbAt(10, 10)) << "nothing outside the button";
    }
}

TEST_F(ButtonTest, ContextMenuIsRaisedOnlyWhenEnabledForIt)
{
    for (bool enabled : {true, false}) {
        SCOPED_TRACE(enabled);
        MarkupWindow w(kButtonSkin, 240, 140);
        Button* btn = w.Find<Button>(L"btn");
        ASSERT_NE(nullptr, btn);
        btn->SetContextMenuEnabled(enabled);
        w.Move(kInsideX, kInsideY);
        SendMessageW(w.Hwnd(), WM_RBUTTONDOWN, MK_RBUTTON, controltest::Pt(kInsideX, kInsideY));
        w.log.items.clear();
        SendMessageW(w.Hwnd(), WM_RBUTTONUP, 0, controltest::Pt(kInsideX, kInsideY));
        EXPECT_EQ(enabled ? 1u : 0u, w.log.OfType(L"menu").size());
    }
}

// Pure colours, told apart in antialiased text by their strongest channel.
enum class Hue { kRed, kGreen, kBlue, kWhite };

bool IsHue(uint32_t p, Hue hue)
{
    const int r = testsupport::R(p), g = testsupport::G(p), b = testsupport::B(p);
    switch (hue) {
    case Hue::kRed:
        return r > 0x90 && g < 0x40 && b < 0x40;
    case Hue::kGreen:
        return g > 0x90 && r < 0x40 && b < 0x40;
    case Hue::kBlue:
        return b > 0x90 && r < 0x40 && g < 0x40;
    case Hue::kWhite:
        return r > 0x90 && g > 0x90 && b > 0x90;
    }
    return false;
}

int InkOf(const testsupport::PixelImage& img, Hue hue)
{
    return testsupport::FindInk(img, [hue](uint32_t p) { return IsHue(p, hue); }, 20, 60, 20, 120).pixels;
}

TEST_F(ButtonTest, LabelColourFollowsTheState)
{
    MarkupWindow w(LR"(<Window><Box bkcolor="#FF000000">
        <Button name="btn" float="true" pos="20,20,100,40" text="Label" textcolor="#FFFFFFFF"
            hottextcolor="#FF00FF00" pushedtextcolor="#FFFF0000" disabledtextcolor="#FF0000FF"/>
    </Box></Window>)",
                   240, 140);
    Button* btn = w.Find<Button>(L"btn");
    ASSERT_NE(nullptr, btn);
    const struct {
        const char* name;
        std::function<void()> act;
        Hue hue;
    } steps[] = {
        {"normal", [] {}, Hue::kWhite},
        {"hot", [&] { w.Move(kInsideX, kInsideY); }, Hue::kGreen},
        {"pushed", [&] { SendMessageW(w.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, controltest::Pt(kInsideX, kInsideY)); },
         Hue::kRed},
        {"released outside", [&] { w.Release(kOutsideX, kOutsideY); }, Hue::kWhite},
        {"disabled", [&] { btn->SetEnabled(false); }, Hue::kBlue},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        step.act();
        ASSERT_TRUE(w.Paint());
        const testsupport::PixelImage img = w.Pixels();
        for (Hue hue : {Hue::kRed, Hue::kGreen, Hue::kBlue, Hue::kWhite}) {
            if (hue == step.hue)
                EXPECT_GT(InkOf(img, hue), 20) << "the label in its state's colour";
            else
                EXPECT_EQ(0, InkOf(img, hue)) << "no other state's colour";
        }
    }
}

TEST_F(ButtonTest, AFocusedButtonWithADashWidthGetsAFrame)
{
    for (int width : {2, 0}) {
        SCOPED_TRACE(width);
        std::wstring skin = LR"(<Window><Box bkcolor="#FF000000"><Button name="btn" float="true" pos="20,20,100,40" )"
                            LR"(focuseddashcolor="#FFFF0000" focuseddashwidth=")";
        skin += std::to_wstring(width) + L"\"/></Box></Window>";
        MarkupWindow w(skin.c_str(), 240, 140);
        Button* btn = w.Find<Button>(L"btn");
        ASSERT_NE(nullptr, btn);
        EXPECT_EQ(0, InkOf(w.Pixels(), Hue::kRed)) << "no frame before the focus";
        btn->SetFocused(true);
        ASSERT_EQ(btn, w.win.core.GetFocus());
        btn->Repaint();
        ASSERT_TRUE(w.Paint());
        const testsupport::Ink ink = testsupport::FindInk(
            w.Pixels(), [](uint32_t p) { return IsHue(p, Hue::kRed); }, 0, 140, 0, 240);
        if (width == 0) {
            EXPECT_EQ(0, ink.pixels);
        } else {
            ASSERT_GT(ink.pixels, 20);
            // Inset by the default shrink of 3 on every side of (20, 20) - (120, 60).
            EXPECT_NEAR(22, ink.left, 2);
            EXPECT_NEAR(118, ink.right, 2);
            EXPECT_NEAR(22, ink.top, 2);
            EXPECT_NEAR(58, ink.bottom, 2);
        }
    }
}

// A style with a fill of its own per state, and a button and an option
// painted through it.
const wchar_t kStyledSkin[] = LR"(<Window>
    <Styles name="S">
        <Style name="normal"><Shape fill="true" color="0xFF1010A0"/></Style>
        <Style name="hot"><Shape fill="true" color="0xFF10A010"/></Style>
        <Style name="pushed"><Shape fill="true" color="0xFFA01010"/></Style>
        <Style name="disabled"><Shape fill="true" color="0xFF808080"/></Style>
        <Style name="selected"><Shape fill="true" color="0xFFA0A010"/></Style>
    </Styles>
    <Box bkcolor="#FF204060">
        <Button name="btn" styles="S" float="true" pos="20,20,100,40"/>
        <Option name="opt" styles="S" float="true" pos="20,80,100,40"/>
    </Box>
</Window>)";

TEST_F(ButtonTest, StyleStateFollowsTheButtonsOwnFlags)
{
    MarkupWindow w(kStyledSkin, 240, 140);
    Button* btn = w.Find<Button>(L"btn");
    Button* opt = w.Find<Button>(L"opt");
    ASSERT_TRUE(btn && opt);
    const struct {
        const char* name;
        std::function<void()> act;
        POINT at;
        uint32_t colour;
    } steps[] = {
        {"normal", [] {}, {kInsideX, kInsideY}, 0xFF1010A0u},
        {"hot", [&] { w.Move(kInsideX, kInsideY); }, {kInsideX, kInsideY}, 0xFF10A010u},
        {"pushed", [&] { SendMessageW(w.Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, controltest::Pt(kInsideX, kInsideY)); },
         {kInsideX, kInsideY}, 0xFFA01010u},
        {"released", [&] { w.Release(kInsideX, kInsideY); }, {kInsideX, kInsideY}, 0xFF10A010u},
        {"disabled", [&] { btn->SetEnabled(false); }, {kInsideX, kInsideY}, 0xFF808080u},
        {"option selected, pointer still on it", [&] { w.Click(70, 100); }, {70, 100}, 0xFFA0A010u},
        {"option selected, pointer gone", [&] { w.Move(200, 130); }, {70, 100}, 0xFFA0A010u},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        step.act();
        ASSERT_TRUE(w.Paint());
        EXPECT_EQ(Rgb(step.colour), w.Pixels().RgbAt(step.at.x, step.at.y));
    }
}

TEST_F(ButtonTest, NormalAndHotImagesFillTheStateImagesLeftEmpty)
{
    const struct {
        const char* name;
        const wchar_t* attributes;
        const wchar_t *normal, *hot, *pushed, *focused;
    } cases[] = {
        {"normal fills all three", L"normalimage=\"file='n.png' corner='1,1,1,1'\"", L"n.png", L"n.png", L"n.png",
         L"n.png"},
        {"hot first: pushed and focused take it", L"hotimage=\"h.png\" normalimage=\"n.png\"", L"n.png", L"h.png",
         L"h.png", L"h.png"},
        {"pushed first keeps its own", L"pushedimage=\"p.png\" hotimage=\"h.png\"", L"", L"h.png", L"p.png",
         L"p.png"},
        {"a later state image replaces a filled one", L"normalimage=\"n.png\" hotimage=\"h.png\"", L"n.png",
         L"h.png", L"n.png", L"n.png"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::wstring skin = L"<Window><Box><Button name=\"b\" ";
        skin += c.attributes;
        skin += L"/></Box></Window>";
        MarkupWindow w(skin.c_str(), 60, 30);
        Button* b = w.Find<Button>(L"b");
        ASSERT_NE(nullptr, b);
        EXPECT_EQ(std::wstring(c.normal), b->NormalImage().GetFileName().ToStdString());
        EXPECT_EQ(std::wstring(c.hot), b->HotImage().GetFileName().ToStdString());
        EXPECT_EQ(std::wstring(c.pushed), b->PushedImage().GetFileName().ToStdString());
        EXPECT_EQ(std::wstring(c.focused), b->FocusedImage().GetFileName().ToStdString());
    }
}

TEST_F(ButtonTest, TraitsFollowTheFlagsAndTheEnabledState)
{
    const struct {
        const wchar_t* attributes;
        bool enabled;
        int traits;
    } cases[] = {
        {L"", true, ui::kTraitTabStop | ui::kTraitWantsSetCursor},
        {L"needtab=\"false\"", true, ui::kTraitWantsSetCursor},
        {L"keyboard=\"false\"", true, ui::kTraitWantsSetCursor},
        {L"", false, ui::kTraitTabStop},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::wstring(c.attributes).size() << " enabled " << c.enabled);
        std::wstring skin = L"<Window><Box><Button name=\"b\" ";
        skin += c.attributes;
        skin += L"/></Box></Window>";
        MarkupWindow w(skin.c_str(), 60, 30);
        Button* b = w.Find<Button>(L"b");
        ASSERT_NE(nullptr, b);
        b->SetEnabled(c.enabled);
        EXPECT_EQ(c.traits, b->GetTraitFlags());
    }
}

} // namespace
