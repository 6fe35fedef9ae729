// A window of labelled controls, every one set up through markup attributes:
// each text style, tagged and rich text, the painter of every state and
// transformed controls, at 96 and 192 DPI. The screenshots go to
// artifacts/; the checks make sure each cell really drew what it shows.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "Corvel/Control/Box.h"
#include "Corvel/Core/Control.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Core/support/TestWindow.h"
#include "Corvel/Render/ControlTransform.h"
#include "Corvel/Render/StyleDefinitions.h"
#include "support/TestPaths.h"
#include "support/Text.h"

namespace {

using testsupport::PixelImage;
using testsupport::Rgb;

constexpr uint32_t kBackground = 0xFFF4F4F0u;
constexpr int kCellWidth = 120;  // units
constexpr int kCellHeight = 56;  // sample height, units
constexpr int kCaption = 16;     // caption height above each sample, units
constexpr int kGap = 10;
constexpr int kColumns = 6;
constexpr int kRows = 4;
constexpr int kWidth = kColumns * (kCellWidth + kGap) + kGap;
constexpr int kHeight = kRows * (kCaption + kCellHeight + kGap) + kGap;

struct Cell {
    const wchar_t* caption;
    const wchar_t* attributes; // of the sample; its position is added
};

const Cell kCells[] = {
    // Text styles.
    {L"left top", L"text=\"Left top\" align=\"left top\""},
    {L"hcenter vcenter", L"text=\"Centred\" align=\"hcenter vcenter\""},
    {L"right bottom", L"text=\"Right bottom\" align=\"right bottom\""},
    {L"lines", L"text=\"Several words that wrap onto more lines\" align=\"lines\""},
    {L"enddot", L"text=\"A text far too long for its box\" align=\"left vcenter enddot\""},
    {L"glow, charspace", L"text=\"Glow 中文\" textblur=\"#FFFFD040\" charspace=\"2\""},
    // Tagged and rich text, colours, borders.
    {L"tagged (rich)", L"text=\"{color='0xFFD02020'}red{/} and {bold='true' color='0xFF2060C0'}bold{/}\" align=\"rich\""},
    {L"html", L"text=\"<b>bold</b> <c #2060C0>blue</c> 中文\" showhtml=\"true\""},
    {L"disabled", L"text=\"Disabled\" enabled=\"false\" disabledtextcolor=\"#FFA0A0A0\""},
    {L"dashed border", L"text=\"Dashed\" leftbordersize=\"2\" topbordersize=\"2\" bordercolor=\"#FF2060C0\" borderstroke=\"dash\""},
    {L"inset shadow", L"text=\"Inset\" shadow=\"size='6' inset='true' color='#A0000000' blur='4'\""},
    {L"outer shadow", L"text=\"Outer\" shadow=\"size='4' color='#80000000' blur='4' offset='2,2'\""},
    // Transforms.
    {L"rotated 20°", L"text=\"Rotated\" transform=\"tilt\" layered=\"true\" bkcolor=\"#FF2060C0\" textcolor=\"#FFFFFFFF\""},
    {L"perspective", L"text=\"Perspective\" transform=\"turn\" layered=\"true\" bkcolor=\"#FF20A060\" textcolor=\"#FFFFFFFF\""},
    {L"alpha 128", L"text=\"Half\" alpha=\"128\" layered=\"true\" bkcolor=\"#FFD02020\" textcolor=\"#FFFFFFFF\""},
    {L"rounded", L"text=\"Round\" borderround=\"16,16\" bordersize=\"2\" bordercolor=\"#FF404040\""},
    {L"gradient text (style)", L"text=\"Gradient\" styles=\"Gradient\""},
    {L"", L"visible=\"false\""},
    // The painter of each state of one style.
    {L"style: normal", L"text=\"Normal\" styles=\"Btn\""},
    {L"style: hot", L"text=\"Hot\" styles=\"Btn\""},
    {L"style: pushed", L"text=\"Pushed\" styles=\"Btn\""},
    {L"style: disabled", L"text=\"Disabled\" styles=\"Btn\" enabled=\"false\""},
    {L"style: selected", L"text=\"Selected\" styles=\"Btn\""},
    {L"style: hot + selected", L"text=\"Hot, selected\" styles=\"Btn\""},
};

// Fill colour of each state of the "Btn" style, in the order of the cells.
struct StateLook {
    const wchar_t* state;
    uint32_t fill;
};
const StateLook kStates[] = {
    {L"normal", 0xFFDDE4EEu}, {L"hot", 0xFF9CC3F0u}, {L"pushed", 0xFF2F6FB8u},
    {L"disabled", 0xFFE8E8E8u}, {L"selected", 0xFFF0C060u},
};
constexpr int kFirstStateCell = 18;

// The styles as the dialog builder files them: "Btn" with a rounded fill
// and a text per state, "Gradient" with a two-stop gradient text.
void AddStyles(ui::WindowCore& core)
{
    auto group = std::make_unique<ui::StyleGroup>();
    for (const StateLook& look : kStates) {
        auto entry = std::make_unique<ui::StyleEntry>(look.state);
        auto shape = std::make_unique<ui::StyleElement>(nullptr, L"Shape");
        wchar_t colour[16];
        swprintf(colour, 16, L"0x%08X", look.fill);
        shape->SetAttribute(L"fill", L"true");
        shape->SetAttribute(L"color", colour);
        shape->SetAttribute(L"round", L"12");
        entry->AddElement(std::move(shape));
        auto text = std::make_unique<ui::StyleElement>(nullptr, L"Text");
        text->SetAttribute(L"color", wcscmp(look.state, L"pushed") == 0 ? L"#FFFFFFFF" : L"#FF203040");
        text->SetAttribute(L"align", L"hcenter vcenter");
        entry->AddElement(std::move(text));
        group->Add(look.state, std::move(entry));
    }
    ASSERT_TRUE(core.AddStyleGroup(L"Btn", std::move(group)));

    auto gradient = std::make_unique<ui::StyleGroup>();
    auto entry = std::make_unique<ui::StyleEntry>(L"normal");
    auto text = std::make_unique<ui::StyleElement>(nullptr, L"Text");
    text->SetAttribute(L"color", L"#FFD02020,#FF2060C0:1");
    text->SetAttribute(L"font", L"size='24' bold='true'");
    entry->AddElement(std::move(text));
    gradient->Add(L"normal", std::move(entry));
    ASSERT_TRUE(core.AddStyleGroup(L"Gradient", std::move(gradient)));
}

ui::RECTF SampleRect(int index, float s)
{
    const int column = index % kColumns, row = index / kColumns;
    const float left = static_cast<float>(kGap + column * (kCellWidth + kGap));
    const float top = static_cast<float>(kGap + row * (kCaption + kCellHeight + kGap) + kCaption);
    return ui::RECTF(left * s, top * s, (left + kCellWidth) * s, (top + kCellHeight) * s);
}

class ControlGalleryTest : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override { SetCursorPos(1000, 750); }
    testsupport::UiLibraryScope lib;
};

TEST_P(ControlGalleryTest, EveryCellDrawsAndTheScreenshotIsSaved)
{
    const int dpi = GetParam();
    const float s = dpi / 96.0f;
    auto* root = new ui::Box();
    root->SetAttribute(L"bkcolor", L"#FFF4F4F0");
    auto window = std::make_unique<testsupport::TestWindow>(dpi);
    window->root = root;
    window->core.SetDefaultColors(0xFFA0A0A0u, 0xFF202020u, 0xFF2060C0u, 0xFF4080E0u, 0);

    auto tilt = std::make_unique<ui::ControlTransform>();
    tilt->SetName(L"tilt");
    tilt->Params().rotation[2] = 20;
    ASSERT_TRUE(window->core.AddTransform(std::move(tilt)));
    auto turn = std::make_unique<ui::ControlTransform>();
    turn->SetName(L"turn");
    turn->Params().rotation[1] = 50;
    turn->Params().perspective = 300;
    ASSERT_TRUE(window->core.AddTransform(std::move(turn)));
    ASSERT_NE(nullptr, window->CreatePopup(static_cast<int>(kWidth * s), static_cast<int>(kHeight * s)));
    AddStyles(window->core);

    std::vector<ui::Control*> samples;
    const int cells = static_cast<int>(sizeof(kCells) / sizeof(kCells[0]));
    for (int i = 0; i < cells; ++i) {
        const int column = i % kColumns, row = i / kColumns;
        const int left = kGap + column * (kCellWidth + kGap);
        const int top = kGap + row * (kCaption + kCellHeight + kGap);
        auto* caption = new ui::Control();
        root->AppendChild(caption);
        caption->ApplyAttributeText((L"pos=\"" + std::to_wstring(left) + L"," + std::to_wstring(top) + L"," +
                                     std::to_wstring(kCellWidth) + L"," + std::to_wstring(kCaption) +
                                     L"\" align=\"left vcenter\" textcolor=\"#FF707070\" font=\"size='11'\"")
                                        .c_str());
        caption->SetText(kCells[i].caption);
        auto* sample = new ui::Control();
        root->AppendChild(sample);
        sample->ApplyAttributeText((L"pos=\"" + std::to_wstring(left) + L"," + std::to_wstring(top + kCaption) + L"," +
                                    std::to_wstring(kCellWidth) + L"," + std::to_wstring(kCellHeight) +
                                    L"\" bkcolor=\"#FFFFFFFF\"")
                                       .c_str());
        sample->ApplyAttributeText(kCells[i].attributes);
        samples.push_back(sample);
    }
    samples[kFirstStateCell + 1]->SetHot(true);
    samples[kFirstStateCell + 2]->SetPushed();
    samples[kFirstStateCell + 4]->SetSelected(true);
    samples[kFirstStateCell + 5]->SetSelected(true);
    samples[kFirstStateCell + 5]->SetHot(true);
    ASSERT_TRUE(testsupport::ShowAndPaint(*window));
    PixelImage px = testsupport::ReadCorePixels(window->core);
    ASSERT_EQ(static_cast<int>(kWidth * s), px.width);

    // Every sample put something other than white and the board into its
    // rectangle (text, border or shadow).
    for (int i = 0; i < cells; ++i) {
        if (!samples[static_cast<size_t>(i)]->IsVisible())
            continue;
        const ui::RECTF r = SampleRect(i, s);
        int marks = 0;
        for (int y = static_cast<int>(r.top) + 1; y < static_cast<int>(r.bottom) - 1; ++y)
            for (int x = static_cast<int>(r.left) + 1; x < static_cast<int>(r.right) - 1; ++x) {
                const uint32_t p = Rgb(px.At(x, y));
                marks += (p != 0xFFFFFF && p != Rgb(kBackground)) ? 1 : 0;
            }
        EXPECT_GT(marks, 20) << testsupport::Narrow(kCells[i].caption);
    }

    // The rotated sample is drawn inside its own rectangle (the layer is
    // clipped to it): the centre is the sample's colour, the corners the
    // rotation moved away are left to the board.
    const ui::RECTF rotated = SampleRect(12, s);
    const auto at = [&](float x, float y) { return Rgb(px.At(static_cast<int>(x), static_cast<int>(y))); };
    EXPECT_EQ(0x2060C0u, at((rotated.left + rotated.right) / 2, (rotated.top + rotated.bottom) / 2 + 10 * s));
    EXPECT_EQ(Rgb(kBackground), at(rotated.left + 2 * s, rotated.top + 2 * s));
    EXPECT_EQ(Rgb(kBackground), at(rotated.right - 2 * s, rotated.bottom - 2 * s));
    // Half alpha: the red sample lies between red and the board.
    const ui::RECTF half = SampleRect(14, s);
    const uint32_t blend = px.At(static_cast<int>(half.left + 4 * s), static_cast<int>(half.top + 4 * s));
    EXPECT_NEAR((0xD0 + 0xF4) / 2.0, testsupport::R(blend), 6);
    // The outer shadow darkens the board beyond the sample's lower right.
    const ui::RECTF outer = SampleRect(11, s);
    EXPECT_LT(testsupport::G(px.At(static_cast<int>(outer.right + 1 * s), static_cast<int>(outer.bottom + 1 * s))) + 8,
              testsupport::G(kBackground));

    // Each state shows its own painter; hot and selected together match no
    // entry exactly and take the last entry sharing a bit (selected).
    const uint32_t expectFill[] = {kStates[0].fill, kStates[1].fill, kStates[2].fill,
                                   kStates[3].fill, kStates[4].fill, kStates[4].fill};
    for (int k = 0; k < 6; ++k) {
        const ui::RECTF r = SampleRect(kFirstStateCell + k, s);
        EXPECT_EQ(Rgb(expectFill[k]), at(r.left + 6 * s, (r.top + r.bottom) / 2)) << "state cell " << k;
        EXPECT_EQ(Rgb(kBackground), at(r.left + 1, r.top + 1)) << "rounded corner (the style replaces the white background) of state cell " << k;
    }

    const std::wstring name = L"\\control-gallery-" + std::to_wstring(dpi) + L"dpi.png";
    EXPECT_TRUE(testsupport::SavePng(px, testsupport::ArtifactsFolder() + name));
}

INSTANTIATE_TEST_SUITE_P(Dpi, ControlGalleryTest, ::testing::Values(96, 192));

} // namespace
