#include "Corvel/Control/Edit.h"

#include <gtest/gtest.h>
#include <imm.h>

#include <algorithm>
#include <string>
#include <vector>

#include "Corvel/Control/TxtWinHost.h"
#include "Corvel/Control/support/EditTestSupport.h"
#include "Corvel/Control/support/MarkupWindow.h"
#include "support/Pixels.h"
#include "support/Text.h"

namespace {

using controltest::MarkupWindow;
using edittest::HeldKeys;
using edittest::PressKey;
using edittest::TypeText;
using ui::Edit;

// Boxes at fixed places (pos is x, y, width, height) over a white window.
const wchar_t kEditSkin[] = LR"(<Window>
    <Font name="DejaVu Sans" size="14"/>
    <Box bkcolor="#FFFFFFFF">
        <Edit name="single" float="true" pos="10,10,200,30" lines="false" textcolor="#FF000000"/>
        <Edit name="second" float="true" pos="10,50,200,30" lines="false" textcolor="#FF000000"/>
        <Edit name="multi" float="true" pos="10,90,200,60" textcolor="#FF000000"/>
        <Edit name="free" float="true" pos="10,160,200,60" wantreturn="false" textcolor="#FF000000"/>
        <Edit name="number" float="true" pos="220,10,120,30" lines="false" number="true" textcolor="#FF000000"/>
        <Edit name="hint" float="true" pos="220,50,160,30" lines="false" hint="Search" hintcolor="#FFFF0000"/>
        <Edit name="pw1" float="true" pos="220,90,160,30" lines="false" password="true" textcolor="#FF000000"/>
        <Edit name="pw2" float="true" pos="220,130,160,30" lines="false" password="true" textcolor="#FF000000"/>
        <Edit name="short" float="true" pos="220,170,160,30" lines="false" maxchar="3" textcolor="#FF000000"/>
        <Edit name="unlimited" float="true" pos="220,210,160,30" lines="false" maxchar="0"/>
        <Edit name="framed" float="true" pos="10,225,200,30" lines="false" inset="3,0,3,0" bkcolor="#FFFFFFFF" bordersize="1" bordercolor="#FF0000FF" textcolor="#FF000000"/>
    </Box>
</Window>)";
constexpr int kWindowWidth = 400;
constexpr int kWindowHeight = 270;

class EditTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        w = std::make_unique<MarkupWindow>(kEditSkin, kWindowWidth, kWindowHeight);
    }
    // The named box, focused by a click in its middle.
    Edit* Focus(const wchar_t* name)
    {
        Edit* e = w->Find<Edit>(name);
        if (!e)
            return nullptr;
        const ui::RECTF b = e->GetBounds();
        w->Click(static_cast<int>((b.left + b.right) / 2), static_cast<int>((b.top + b.bottom) / 2));
        return e;
    }
    std::wstring Text(Edit* e) { return e->GetText().ToStdString(); }

    testsupport::UiLibraryScope lib;
    std::unique_ptr<MarkupWindow> w;
};

TEST_F(EditTest, EveryBoxGetsTextServices)
{
    for (const wchar_t* name : {L"single", L"multi", L"number", L"hint", L"pw1", L"short"}) {
        SCOPED_TRACE(testing::Message() << std::string(name, name + wcslen(name)));
        Edit* e = w->Find<Edit>(name);
        ASSERT_NE(nullptr, e);
        EXPECT_NE(nullptr, e->GetHost()) << "msftedit's text services were not created";
    }
}

TEST_F(EditTest, TypingEditsTheFocusedBoxOnly)
{
    struct Case {
        const char* name;
        std::wstring typed;
        std::vector<WPARAM> keysAfter;
        std::wstring expected;
    };
    const Case cases[] = {
        {"plain characters", L"abc", {}, L"abc"},
        {"Chinese characters", L"\u4F60\u597D", {}, L"\u4F60\u597D"},
        {"backspace deletes", L"abcd", {VK_BACK}, L"abc"},
        {"delete after home", L"xabc", {VK_HOME, VK_DELETE}, L"abc"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Edit* e = Focus(L"single");
        ASSERT_NE(nullptr, e);
        e->SetText(L"");
        ASSERT_TRUE(e->IsFocused());
        TypeText(w->Hwnd(), c.typed);
        for (WPARAM vk : c.keysAfter)
            PressKey(w->Hwnd(), vk);
        EXPECT_EQ(c.expected, Text(e));
        EXPECT_EQ(L"", Text(w->Find<Edit>(L"second"))) << "an unfocused box took the keys";
    }
    // The caret goes where the arrow put it: "b" lands between "a" and "c".
    Edit* e = Focus(L"single");
    e->SetText(L"ac");
    PressKey(w->Hwnd(), VK_END);
    PressKey(w->Hwnd(), VK_LEFT);
    TypeText(w->Hwnd(), L"b");
    EXPECT_EQ(L"abc", Text(e));
}

TEST_F(EditTest, ShiftArrowsSelectAndTypingReplacesTheSelection)
{
    Edit* e = Focus(L"single");
    ASSERT_NE(nullptr, e);
    TypeText(w->Hwnd(), L"hello world");
    {
        HeldKeys shift({VK_SHIFT});
        PressKey(w->Hwnd(), VK_HOME);
    }
    const CHARRANGE sel = e->GetSelection();
    EXPECT_EQ(0, sel.cpMin);
    EXPECT_EQ(11, sel.cpMax);
    TypeText(w->Hwnd(), L"x");
    EXPECT_EQ(L"x", Text(e));
    const CHARRANGE after = e->GetSelection();
    EXPECT_EQ(after.cpMin, after.cpMax) << "an empty selection after typing";
}

TEST_F(EditTest, CopyAndPasteGoThroughTheRealClipboard)
{
    ASSERT_TRUE(edittest::SetClipboardText(w->Hwnd(), L"before"));
    Edit* from = Focus(L"single");
    ASSERT_NE(nullptr, from);
    TypeText(w->Hwnd(), L"copy me");
    {
        HeldKeys shift({VK_SHIFT});
        PressKey(w->Hwnd(), VK_HOME);
    }
    {
        HeldKeys ctrl({VK_CONTROL});
        PressKey(w->Hwnd(), 'C');
    }
    // Wine hands the clipboard to the X server on its own time.
    EXPECT_TRUE(testsupport::PumpUntil([this] { return edittest::ClipboardText(w->Hwnd()) == L"copy me"; }))
        << "copied: " << testsupport::Narrow(edittest::ClipboardText(w->Hwnd()));

    Edit* to = Focus(L"second");
    ASSERT_TRUE(to->IsFocused());
    TypeText(w->Hwnd(), L">");
    {
        HeldKeys ctrl({VK_CONTROL});
        PressKey(w->Hwnd(), 'V');
    }
    EXPECT_EQ(L">copy me", Text(to));

    // Cut takes the text out of the box and puts it on the clipboard.
    {
        HeldKeys shift({VK_SHIFT});
        PressKey(w->Hwnd(), VK_HOME);
    }
    {
        HeldKeys ctrl({VK_CONTROL});
        PressKey(w->Hwnd(), 'X');
    }
    EXPECT_EQ(L"", Text(to));
    EXPECT_TRUE(testsupport::PumpUntil([this] { return edittest::ClipboardText(w->Hwnd()) == L">copy me"; }))
        << "cut: " << testsupport::Narrow(edittest::ClipboardText(w->Hwnd()));
}

TEST_F(EditTest, NumberOnlyBoxTakesDigitsAndOneDecimalPointAfterTheFirstCharacter)
{
    struct Case {
        const char* name;
        std::wstring typed;
        std::wstring expected;
    };
    const Case cases[] = {
        {"digits", L"0123456789", L"0123456789"},
        {"minus, comma and letters are refused", L"-1,2a", L"12"},
        {"a point is refused as the first character", L".5", L"5"},
        {"one point after a digit", L"3.14", L"3.14"},
        {"a second point is refused", L"1.2.3", L"1.23"},
        {"backspace is refused", L"12\b", L"12"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Edit* e = Focus(L"number");
        ASSERT_NE(nullptr, e);
        e->SetText(L"");
        TypeText(w->Hwnd(), c.typed);
        EXPECT_EQ(c.expected, Text(e));
    }
}

TEST_F(EditTest, ReturnRaisesEditReturnAndInsertsNoLineBreakUnlessTheBoxLetsItThrough)
{
    struct Case {
        const char* name;
        const wchar_t* box;
        bool ctrl;
        bool raises;
        std::wstring expected;
    };
    const Case cases[] = {
        {"single line, Enter", L"single", false, true, L"ab"},
        {"multi-line with the default wantreturn, Enter", L"multi", false, true, L"ab"},
        {"wantreturn false, Enter breaks the line", L"free", false, false, L"a\rb"},
        {"wantreturn false, Ctrl+Enter still raises", L"free", true, true, L"ab"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Edit* e = Focus(c.box);
        ASSERT_NE(nullptr, e);
        e->SetText(L"");
        int callbacks = 0;
        e->BindNamedCallback(L"editreturn", [&callbacks] { ++callbacks; });
        w->log.items.clear();
        TypeText(w->Hwnd(), L"a");
        {
            HeldKeys ctrl(c.ctrl ? std::vector<BYTE>{VK_CONTROL} : std::vector<BYTE>{});
            SendMessageW(w->Hwnd(), WM_KEYDOWN, VK_RETURN, 1);
            // The character Enter makes when the key went through.
            if (!c.raises)
                SendMessageW(w->Hwnd(), WM_CHAR, L'\r', 1);
        }
        TypeText(w->Hwnd(), L"b");
        EXPECT_EQ(c.expected, Text(e));
        EXPECT_EQ(c.raises ? 1 : 0, callbacks);
        const std::wstring box(c.box);
        EXPECT_EQ(c.raises ? 1u : 0u, w->log.OfType(L"editreturn").size());
        if (c.raises) {
            EXPECT_EQ(L"editreturn:" + box, w->log.OfType(L"editreturn").front());
        }
    }
}

TEST_F(EditTest, TextChangedRunsForEveryChangeAndKillFocusWhenTheFocusLeaves)
{
    Edit* e = Focus(L"single");
    ASSERT_NE(nullptr, e);
    int changes = 0;
    int killed = 0;
    e->BindNamedCallback(L"textchanged", [&changes] { ++changes; });
    e->BindNamedCallback(L"killfocus", [&killed] { ++killed; });
    TypeText(w->Hwnd(), L"abc");
    EXPECT_EQ(3, changes);
    PressKey(w->Hwnd(), VK_BACK);
    EXPECT_EQ(4, changes);
    e->SetText(L"replaced");
    EXPECT_EQ(5, changes) << "setting the text is a change too";
    EXPECT_EQ(0, killed);
    EXPECT_TRUE(e->IsCaretVisible());

    Focus(L"second");
    EXPECT_EQ(1, killed);
    EXPECT_FALSE(e->IsFocused());
    EXPECT_FALSE(e->IsCaretVisible());
    TypeText(w->Hwnd(), L"z");
    EXPECT_EQ(L"replaced", Text(e)) << "keys after the focus left went to the old box";
    EXPECT_EQ(5, changes);
}

TEST_F(EditTest, LengthLimitAndItsDefault)
{
    Edit* shortBox = Focus(L"short");
    ASSERT_NE(nullptr, shortBox);
    TypeText(w->Hwnd(), L"abcdef");
    EXPECT_EQ(L"abc", Text(shortBox));
    EXPECT_EQ(3, shortBox->GetHost()->GetMaxLength());
    Edit* unlimited = w->Find<Edit>(L"unlimited");
    ASSERT_NE(nullptr, unlimited);
    ASSERT_NE(nullptr, unlimited->GetHost());
    EXPECT_EQ(0x7FFF, unlimited->GetHost()->GetMaxLength()) << "maxchar 0 gives the services 32767";
}

// The ink of one box: pixels that differ from the white window inside it.
testsupport::Ink BoxInk(const testsupport::PixelImage& px, Edit* e, uint32_t matchRgb = 0)
{
    const ui::RECTF b = e->GetBounds();
    return testsupport::FindInk(
        px,
        [matchRgb](uint32_t p) {
            if (matchRgb)
                return testsupport::Rgb(p) == matchRgb;
            return testsupport::R(p) < 128 && testsupport::G(p) < 128 && testsupport::B(p) < 128;
        },
        static_cast<int>(b.top), static_cast<int>(b.bottom), static_cast<int>(b.left), static_cast<int>(b.right));
}

TEST_F(EditTest, PasswordBoxShowsTheSameBulletsForAnyTextOfTheSameLength)
{
    Edit* pw1 = w->Find<Edit>(L"pw1");
    Edit* pw2 = w->Find<Edit>(L"pw2");
    Edit* plain = w->Find<Edit>(L"second");
    ASSERT_TRUE(pw1 && pw2 && plain);
    pw1->SetText(L"iiii");
    pw2->SetText(L"WWWW");
    plain->SetText(L"iiii");
    EXPECT_EQ(L"iiii", Text(pw1)) << "the box keeps the real text";
    ASSERT_TRUE(w->Paint());
    const testsupport::PixelImage px = w->Pixels();
    const testsupport::Ink a = BoxInk(px, pw1);
    const testsupport::Ink b = BoxInk(px, pw2);
    const testsupport::Ink p = BoxInk(px, plain);
    ASSERT_GT(a.pixels, 0) << "nothing drawn in the password box";
    EXPECT_EQ(a.pixels, b.pixels) << a.Describe() << " / " << b.Describe();
    EXPECT_EQ(a.Width(), b.Width());
    EXPECT_NE(a.Width(), p.Width()) << "the password box drew the plain text";
}

TEST_F(EditTest, PlaceholderShowsOnlyWhileEmptyAndUnfocused)
{
    constexpr uint32_t kHintRgb = 0xFF0000u;
    Edit* hint = w->Find<Edit>(L"hint");
    ASSERT_NE(nullptr, hint);
    ASSERT_TRUE(w->Paint());
    EXPECT_GT(BoxInk(w->Pixels(), hint, kHintRgb).pixels, 0) << "the placeholder was not drawn";

    Focus(L"hint");
    ASSERT_TRUE(w->Paint());
    EXPECT_EQ(0, BoxInk(w->Pixels(), hint, kHintRgb).pixels) << "the placeholder stays while focused";

    TypeText(w->Hwnd(), L"q");
    Focus(L"second");
    ASSERT_TRUE(w->Paint());
    EXPECT_EQ(0, BoxInk(w->Pixels(), hint, kHintRgb).pixels) << "the placeholder covers text";

    hint->SetText(L"");
    ASSERT_TRUE(w->Paint());
    EXPECT_GT(BoxInk(w->Pixels(), hint, kHintRgb).pixels, 0) << "the placeholder did not come back";
}

TEST_F(EditTest, FocusedBoxDrawsItsCaretInTheTextColour)
{
    Edit* e = Focus(L"single");
    ASSERT_NE(nullptr, e);
    ASSERT_TRUE(e->IsCaretVisible());
    const POINT caret = e->GetCaretPos();
    const SIZE size = e->GetCaretSize();
    EXPECT_GE(caret.x, static_cast<int>(e->GetBounds().left));
    EXPECT_GT(size.cy, 0);
    // The caret blinks: take a frame painted while it is in its visible
    // phase (a loaded machine may run the blink timer during the pump).
    testsupport::PixelImage px;
    for (int attempt = 0; attempt < 10; ++attempt) {
        e->SetCaretVisible(true);
        ASSERT_TRUE(w->Paint());
        if (e->IsCaretVisible()) {
            px = w->Pixels();
            break;
        }
    }
    ASSERT_GT(px.width, 0) << "the caret never stayed visible through a paint";
    // A one-pixel line on the caret's x (smoothed over its neighbours).
    const testsupport::Ink ink = testsupport::FindInk(
        px, [](uint32_t p) { return testsupport::R(p) < 200; }, caret.y + 1, caret.y + size.cy - 1, caret.x - 1,
        caret.x + 2);
    EXPECT_GE(ink.Height(), size.cy - 3) << "no caret line: " << ink.Describe() << " caret " << caret.x << ","
                                         << caret.y << " size " << size.cx << "," << size.cy << " sel "
                                         << e->GetSelection().cpMin << "-" << e->GetSelection().cpMax;
}

TEST_F(EditTest, TextIsDrawnOverTheBoxBackgroundWithoutCoveringItsBorder)
{
    Edit* e = w->Find<Edit>(L"framed");
    ASSERT_NE(nullptr, e);
    e->SetText(L"WWWWWWWWWWWWWWWWWWWWWWWWWW");
    ASSERT_TRUE(w->Paint());
    const testsupport::PixelImage px = w->Pixels();
    EXPECT_GT(BoxInk(px, e).pixels, 0) << "no text drawn";
    const ui::RECTF b = e->GetBounds();
    const int mid = static_cast<int>((b.top + b.bottom) / 2);
    const int x = static_cast<int>(b.left) + 50;
    EXPECT_EQ(0x0000FFu, testsupport::Rgb(px.At(static_cast<int>(b.left), mid))) << "left border covered";
    EXPECT_EQ(0x0000FFu, testsupport::Rgb(px.At(x, static_cast<int>(b.bottom) - 1))) << "bottom border covered";
    EXPECT_EQ(0x0000FFu, testsupport::Rgb(px.At(static_cast<int>(b.right) - 1, mid))) << "right border covered";
}

// A multi-line box with a vertical bar: the services switch and size the
// box's own bar as the text grows past the box.
TEST_F(EditTest, LongTextShowsTheVerticalBarWithTheOverflowAsItsRange)
{
    MarkupWindow bars(LR"(<Window>
        <Font name="DejaVu Sans" size="14"/>
        <Box bkcolor="#FFFFFFFF">
            <Edit name="lines" float="true" pos="10,10,200,60" vscrollbar="true" wantreturn="false"/>
        </Box>
    </Window>)", 240, 100);
    Edit* e = bars.Find<Edit>(L"lines");
    ASSERT_NE(nullptr, e);
    ASSERT_NE(nullptr, e->GetVScrollBar());
    e->SetText(L"1\r2\r3\r4\r5\r6\r7\r8\r9\r10");
    ASSERT_TRUE(testsupport::PumpUntil([e] { return e->GetVScrollBar()->IsVisible(); })) << "the bar stayed hidden";
    EXPECT_GT(e->GetVScrollBar()->GetRange(), 0);
    // The text area gives the bar its room.
    EXPECT_LE(e->GetHost()->ClientRect().right, static_cast<LONG>(e->GetBounds().right - e->GetVScrollBar()->GetFixedWidth()) + 1);
    e->SetText(L"short");
    EXPECT_TRUE(testsupport::PumpUntil([e] { return e->GetVScrollBar()->GetRange() == 0 || !e->GetVScrollBar()->IsVisible(); }));
}

TEST_F(EditTest, SingleLineTextAreaIsCentredAndStaysInsideTheBox)
{
    for (const wchar_t* name : {L"single", L"number", L"pw1"}) {
        Edit* e = w->Find<Edit>(name);
        ASSERT_NE(nullptr, e);
        const RECT& area = e->GetHost()->ClientRect();
        const ui::RECTF b = e->GetBounds();
        EXPECT_GE(area.top, static_cast<LONG>(b.top));
        EXPECT_LE(area.bottom, static_cast<LONG>(b.bottom)) << "the text area reaches below the box";
        EXPECT_LT(area.top, area.bottom);
    }
}

// No input method runs under Xvfb: the composition messages are handed to
// the filter directly, and the placement is read back from the window's
// input context.
TEST_F(EditTest, CompositionWindowFollowsTheCaretAndTheMessagesStayUnhandled)
{
    Edit* e = Focus(L"single");
    ASSERT_NE(nullptr, e);
    TypeText(w->Hwnd(), L"ab");
    const POINT caret = e->GetCaretPos();
    const SIZE size = e->GetCaretSize();

    struct Case {
        UINT message;
        DWORD style;
        POINT expected;
    };
    const Case cases[] = {
        {WM_IME_STARTCOMPOSITION, CFS_FORCE_POSITION, POINT{caret.x + size.cx, caret.y}},
        {WM_IME_COMPOSITION, CFS_POINT, caret},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        bool handled = true;
        e->FilterMessage(c.message, 0, 0, handled);
        EXPECT_FALSE(handled) << "the default handling must turn the composition into characters";
        HIMC context = ImmGetContext(w->Hwnd());
        if (!context) {
            GTEST_SKIP() << "no input context in this prefix";
        }
        COMPOSITIONFORM form{};
        EXPECT_TRUE(ImmGetCompositionWindow(context, &form));
        ImmReleaseContext(w->Hwnd(), context);
        EXPECT_EQ(c.style, form.dwStyle);
        EXPECT_EQ(c.expected.x, form.ptCurrentPos.x);
        EXPECT_EQ(c.expected.y, form.ptCurrentPos.y);
    }
}

TEST_F(EditTest, ReadOnlyAndDisabledBoxesAreNoTabStops)
{
    Edit* e = w->Find<Edit>(L"single");
    ASSERT_NE(nullptr, e);
    EXPECT_NE(0, e->GetTraitFlags() & ui::kTraitTabStop);
    e->SetEnabled(false);
    EXPECT_EQ(0, e->GetTraitFlags());
    e->SetEnabled(true);
    e->SetAttribute(L"readonly", L"true");
    EXPECT_EQ(0, e->GetTraitFlags());
}

// Text drawn through GDI leaves alpha the window's target cannot show; a box
// that patches its alpha gives every pixel of its rectangle full alpha again
// after drawing.
TEST(EditAlphaPatch, APatchingBoxLeavesEveryPixelOfItsRectangleOpaque)
{
    testsupport::UiLibraryScope lib;
    MarkupWindow w(LR"(<Window>
    <Font name="DejaVu Sans" size="14"/>
    <Box bkcolor="#FFFFFFFF">
        <Edit name="patched" float="true" pos="10,10,200,30" lines="false" gdi="true" patchalpha="true" textcolor="#FF000000"/>
        <Edit name="plain" float="true" pos="10,50,200,30" lines="false" gdi="true" textcolor="#FF000000"/>
    </Box>
</Window>)",
                   240, 100);
    Edit* patched = w.Find<Edit>(L"patched");
    Edit* plain = w.Find<Edit>(L"plain");
    ASSERT_TRUE(patched && plain);
    patched->SetText(L"WWWWWWWWWWWW");
    plain->SetText(L"WWWWWWWWWWWW");
    ASSERT_TRUE(w.Paint());
    const testsupport::PixelImage px = w.Pixels();
    ASSERT_GT(BoxInk(px, patched).pixels, 0) << "no text drawn";
    auto minAlpha = [&px](Edit* e) {
        const ui::RECTF b = e->GetBounds();
        uint32_t least = 255;
        for (int y = static_cast<int>(b.top); y < static_cast<int>(b.bottom); ++y) {
            for (int x = static_cast<int>(b.left); x < static_cast<int>(b.right); ++x)
                least = std::min(least, px.At(x, y) >> 24);
        }
        return least;
    };
    EXPECT_LT(minAlpha(plain), 255u) << "GDI kept the alpha: the case shows nothing here";
    EXPECT_EQ(255u, minAlpha(patched));
}

} // namespace
