// One window with the everyday controls in their states — normal, hot,
// pushed and disabled buttons, a selected option, progress values, a
// slider, a spinner, a scrolled list, tab pages and a combo box with its
// choice — at 96 and 144 DPI. The screenshots go to artifacts/; the checks
// make sure each state really drew differently.
#include <gtest/gtest.h>

#include <string>

#include "Corvel/Control/Box.h"
#include "Corvel/Control/ComboBox.h"
#include "Corvel/Control/support/MarkupWindow.h"
#include "Corvel/Core/support/TestWindow.h"
#include "support/Pixels.h"

namespace {

using testsupport::Rgb;

constexpr uint32_t kNormal = 0x2060C0;
constexpr uint32_t kHot = 0x4090F0;
constexpr uint32_t kPushed = 0x103070;
constexpr uint32_t kDisabled = 0xB0B0B0;
constexpr uint32_t kSelected = 0x20A060;
constexpr uint32_t kFill = 0x409EFF;
constexpr uint32_t kTrack = 0xE0E0E0;

constexpr wchar_t kMarkup[] = LR"(<Window size="560,280">
  <Styles name="Btn">
    <Style name="normal"><Shape fill="true" color="0xFF2060C0"/><Text color="0xFFFFFFFF" align="center,vcenter"/></Style>
    <Style name="hot"><Shape fill="true" color="0xFF4090F0"/><Text color="0xFFFFFFFF" align="center,vcenter"/></Style>
    <Style name="pushed"><Shape fill="true" color="0xFF103070"/><Text color="0xFFFFFFFF" align="center,vcenter"/></Style>
    <Style name="disabled"><Shape fill="true" color="0xFFB0B0B0"/><Text color="0xFF606060" align="center,vcenter"/></Style>
  </Styles>
  <Styles name="Opt">
    <Style name="normal"><Shape fill="true" color="0xFFE0E0E0"/><Text color="0xFF303030" align="center,vcenter"/></Style>
    <Style name="selected"><Shape fill="true" color="0xFF20A060"/><Text color="0xFFFFFFFF" align="center,vcenter"/></Style>
  </Styles>
  <Styles name="Bar">
    <Style name="normal"><Shape fill="true" color="0xFFE0E0E0"/><Shape fill="true" color="0xFF409EFF" pos=":>progress"/></Style>
  </Styles>
  <Box bkcolor="#FFFFFFFF">
    <Button name="BtnNormal" float="true" pos="10,10,100,32" text="Normal" styles="Btn"/>
    <Button name="BtnHot" float="true" pos="120,10,100,32" text="Hot" styles="Btn"/>
    <Button name="BtnPushed" float="true" pos="230,10,100,32" text="Pushed" styles="Btn"/>
    <Button name="BtnDisabled" float="true" pos="340,10,100,32" text="Disabled" styles="Btn" enabled="false"/>
    <Option name="OptOn" float="true" pos="10,52,100,28" text="Selected" group="demo" selected="true" styles="Opt"/>
    <Option name="OptOff" float="true" pos="120,52,100,28" text="Option" group="demo" styles="Opt"/>
    <Spinner name="Spin" float="true" pos="460,46,40,40" color="#FF2060C0" pensize="4"/>
    <ProgressBar name="P30" float="true" pos="10,92,200,12" hor="true" min="0" max="100" value="30" styles="Bar"/>
    <ProgressBar name="P80" float="true" pos="10,112,200,12" hor="true" min="0" max="100" value="80" styles="Bar"/>
    <Slider name="Sld" float="true" pos="230,96,200,24" hor="true" min="0" max="100" value="50" styles="Bar"/>
    <VBox name="List" float="true" pos="10,136,200,120" vscrollbar="true" bkcolor="#FFF0F4F8">
      <Control text="Row 1" height="24"/><Control text="Row 2" height="24"/><Control text="Row 3" height="24"/>
      <Control text="Row 4" height="24"/><Control text="Row 5" height="24"/><Control text="Row 6" height="24"/>
      <Control text="Row 7" height="24"/><Control text="Row 8" height="24"/><Control text="Row 9" height="24"/>
      <Control text="Row 10" height="24"/>
    </VBox>
    <TabBox name="Tabs" float="true" pos="230,136,150,60" selectedid="1">
      <Control text="Page one" bkcolor="#FFFFE0E0"/>
      <Control text="Page two" bkcolor="#FFE0FFE0"/>
    </TabBox>
    <ComboBox name="Cmb" float="true" pos="400,136,140,28" bkcolor="#FFF0F0F0" text="Choose">
      <VBox><Control text="Alpha" height="24"/><Control text="Beta" height="24"/></VBox>
    </ComboBox>
  </Box>
</Window>)";

class ControlStatesTest : public ::testing::TestWithParam<int> {
protected:
    testsupport::UiLibraryScope lib;
};

// The named control, failing the test when there is none.
ui::Control* Named(testsupport::TestWindow& win, const wchar_t* name)
{
    ui::Control* c = win.core.FindControlByName(name);
    EXPECT_NE(nullptr, c) << "no control named " << std::string(name, name + wcslen(name));
    return c;
}

// The client pixel at the centre of a named control.
POINT CentreOf(testsupport::TestWindow& win, const wchar_t* name)
{
    const ui::RECTF r = Named(win, name)->GetBounds();
    return POINT{static_cast<LONG>((r.left + r.right) / 2), static_cast<LONG>((r.top + r.bottom) / 2)};
}

uint32_t ColourAt(const testsupport::PixelImage& px, POINT p) { return Rgb(px.At(p.x, p.y)); }

// A point inside a named control, 4 units from its left edge: clear of its
// centred caption.
POINT NearLeftEdge(testsupport::TestWindow& win, const wchar_t* name, int dpi)
{
    const ui::RECTF r = Named(win, name)->GetBounds();
    return POINT{static_cast<LONG>(r.left + 4 * dpi / 96), static_cast<LONG>((r.top + r.bottom) / 2)};
}

// A point of a horizontal bar at `fraction` of its width, on its middle line.
POINT AlongBar(testsupport::TestWindow& win, const wchar_t* name, float fraction)
{
    const ui::RECTF r = Named(win, name)->GetBounds();
    return POINT{static_cast<LONG>(r.left + (r.right - r.left) * fraction), static_cast<LONG>((r.top + r.bottom) / 2)};
}

TEST_P(ControlStatesTest, EveryStateDrawsItsOwnLook)
{
    const int dpi = GetParam();
    const float scale = dpi / 96.0f;
    controltest::MarkupWindow window(kMarkup, static_cast<int>(560 * scale), static_cast<int>(280 * scale), dpi);
    testsupport::TestWindow* win = &window.win;

    // Scroll the list by the wheel; hover one button.
    ui::Box* list = dynamic_cast<ui::Box*>(Named(*win, L"List"));
    ASSERT_NE(nullptr, list);
    const POINT listCentre = CentreOf(*win, L"List");
    POINT screen = listCentre;
    ClientToScreen(win->GetHWND(), &screen);
    SendMessageW(win->GetHWND(), WM_MOUSEMOVE, 0, MAKELPARAM(listCentre.x, listCentre.y));
    SendMessageW(win->GetHWND(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<short>(-WHEEL_DELTA)),
                 MAKELPARAM(screen.x, screen.y));
    ASSERT_TRUE(testsupport::PumpUntil([list] { return list->GetScrollOffset().vertical > 0; }))
        << "the wheel did not scroll the list";
    const POINT hot = CentreOf(*win, L"BtnHot");
    SendMessageW(win->GetHWND(), WM_MOUSEMOVE, 0, MAKELPARAM(hot.x, hot.y));
    ASSERT_TRUE(window.Paint());
    testsupport::PixelImage px = testsupport::ReadCorePixels(win->core);
    EXPECT_EQ(kHot, ColourAt(px, NearLeftEdge(*win, L"BtnHot", dpi)));
    const std::wstring stem = L"main-road-controls-" + std::to_wstring(dpi) + L"dpi";
    EXPECT_TRUE(testsupport::SavePng(px, testsupport::ArtifactsFolder() + L"\\" + stem + L"-hot.png"));

    // Hold the button down on another one: it shows its pushed look.
    const POINT pushed = CentreOf(*win, L"BtnPushed");
    window.Press(pushed.x, pushed.y);
    ASSERT_TRUE(window.Paint());
    px = testsupport::ReadCorePixels(win->core);
    EXPECT_TRUE(testsupport::SavePng(px, testsupport::ArtifactsFolder() + L"\\" + stem + L".png"));
    window.Release(0, 0);

    EXPECT_EQ(kNormal, ColourAt(px, NearLeftEdge(*win, L"BtnNormal", dpi)));
    EXPECT_EQ(kPushed, ColourAt(px, NearLeftEdge(*win, L"BtnPushed", dpi)));
    EXPECT_EQ(kDisabled, ColourAt(px, NearLeftEdge(*win, L"BtnDisabled", dpi)));
    EXPECT_EQ(kSelected, ColourAt(px, NearLeftEdge(*win, L"OptOn", dpi)));
    EXPECT_EQ(kTrack, ColourAt(px, NearLeftEdge(*win, L"OptOff", dpi)));
    // Progress fills follow their values.
    EXPECT_EQ(kFill, ColourAt(px, AlongBar(*win, L"P30", 0.2f)));
    EXPECT_EQ(kTrack, ColourAt(px, AlongBar(*win, L"P30", 0.5f)));
    EXPECT_EQ(kFill, ColourAt(px, AlongBar(*win, L"P80", 0.7f)));
    EXPECT_EQ(kTrack, ColourAt(px, AlongBar(*win, L"P80", 0.9f)));
    // The second tab page is the one shown, and the combo box holds a list.
    EXPECT_FALSE(win->core.FindControlByName(L"Tabs") == nullptr);
    auto* combo = dynamic_cast<ui::ComboBox*>(Named(*win, L"Cmb"));
    ASSERT_NE(nullptr, combo);
    EXPECT_EQ(2, combo->ChildCount());
}

INSTANTIATE_TEST_SUITE_P(Dpi, ControlStatesTest, ::testing::Values(96, 144));

} // namespace
