// Whole windows built from the test skin the build packs into this test's
// resources ("ZIPRES" 104): a main document (window.xml) that includes a
// style sheet (css.xml) and pieces of its tree (panel.xml, row.xml), loads a
// private font from the archive, and names images that have 125/150/200
// copies; and a malformed document (broken.xml) that takes the build
// failure path.
#include <windows.h>
#include <dwrite.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "Corvel/Control/Box.h"
#include "Corvel/Core/Control.h"
#include "Corvel/Core/Markup.h"
#include "Corvel/Core/SkinArchive.h"
#include "Corvel/Core/support/SkinTestWindow.h"
#include "Corvel/Render/Easing.h"
#include "Corvel/Render/FontManager.h"
#include "Corvel/Render/PrivateFonts.h"
#include "support/Pixels.h"

namespace {

using testsupport::Rgb;

constexpr int kWidth = 400, kHeight = 320;  // window.xml's size at 96 DPI
// Where the pointer waits: away from every test window (no hot state).
constexpr POINT kPointerAway = {1000, 750};

class SkinArchiveWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetCursorPos(kPointerAway.x, kPointerAway.y);
        ASSERT_TRUE(testsupport::OpenTestSkinResource());
    }
    void TearDown() override { CloseSkinArchive(); }

    ui::Control* Find(const wchar_t* name)
    {
        ui::Control* c = win->Core().FindControlByName(name);
        EXPECT_NE(nullptr, c) << "no control " << testing::PrintToString(std::wstring(name));
        return c;
    }

    testsupport::UiLibraryScope lib;
    std::unique_ptr<testsupport::SkinTestWindow> win;
};

// The names of a box's children, in order ("" for a nameless one).
std::vector<std::wstring> ChildNames(ui::Control* box)
{
    std::vector<std::wstring> names;
    auto* items = box ? static_cast<ui::IBox*>(box->CastTo(L"IBox")) : nullptr;
    for (int i = 0; items && i < items->ChildCount(); ++i)
        names.push_back(items->ChildAt(i)->GetName().GetData());
    return names;
}

TEST_F(SkinArchiveWindowTest, IncludedDocumentsAreMergedWhereTheyAreIncluded)
{
    win = testsupport::OpenSkinWindow(L"window.xml", 100, 100, kWidth, kHeight, 96);
    ASSERT_NE(nullptr, win);

    // The window names its root control "Root". css.xml and the failed
    // includes add no control; panel.xml's two controls come where it is
    // included and row.xml's one twice; the unknown class is skipped with its
    // subtree.
    const std::vector<std::wstring> expected = {L"First", L"PanelA", L"PanelB", L"Row",   L"Row",
                                                L"Card",  L"Odd",    L"Fader",  L"",      L"Last"};
    EXPECT_EQ(expected, ChildNames(Find(L"Root")));
    EXPECT_EQ(std::vector<std::wstring>{L"PanelB1"}, ChildNames(Find(L"PanelB")));
    for (const wchar_t* absent : {L"Ghost", L"GhostChild", L"Broken"})
        EXPECT_EQ(nullptr, win->Core().FindControlByName(absent)) << testing::PrintToString(std::wstring(absent));

    // The included pieces are laid out in the tree like the rest: stacked.
    const ui::RECTF first = Find(L"First")->GetBounds(), panelA = Find(L"PanelA")->GetBounds();
    EXPECT_FLOAT_EQ(first.bottom, panelA.top);
    EXPECT_FLOAT_EQ(20.0f, panelA.bottom - panelA.top);
}

TEST_F(SkinArchiveWindowTest, EveryWindowLevelElementTakesEffect)
{
    win = testsupport::OpenSkinWindow(L"window.xml", 100, 100, kWidth, kHeight, 96);
    ASSERT_NE(nullptr, win);
    ui::WindowCore& core = win->Core();

    // The root's attributes: size, title, and "min" whose height is no number.
    RECT r{};
    GetWindowRect(win->GetHWND(), &r);
    EXPECT_EQ(kWidth, r.right - r.left);
    wchar_t title[64] = {};
    GetWindowTextW(win->GetHWND(), title, 64);
    EXPECT_STREQ(L"皮肤窗口 Skin window", title);
    int minW = -1, minH = -1, maxW = 0, maxH = 0;
    core.GetTrackingLimits(minW, minH, maxW, maxH);
    EXPECT_EQ(320, minW);
    EXPECT_EQ(0, minH) << "\"tall\" reads as 0";

    // The private font: loaded from the archive by "load", named in a
    // control's font spec; the text format uses the font's own family from
    // the private collection, not a substitute.
    std::wstring family;
    IDWriteFontCollection* collection = ui::FindPrivateFontCollection(L"SkinSerif", &family);
    ASSERT_NE(nullptr, collection) << "RES/fonts/SkinSerif.ttf was not loaded";
    EXPECT_EQ(L"DejaVu Math TeX Gyre", family) << "the packed font's own family";
    ui::tagTFontInfo* font = core.GetFont(Find(L"First")->GetFontId());
    ASSERT_NE(nullptr, font);
    EXPECT_STREQ(L"SkinSerif", font->face);
    EXPECT_EQ(15, font->size);
    ASSERT_NE(nullptr, font->textFormat);
    wchar_t formatFamily[64] = {};
    font->textFormat->GetFontFamilyName(formatFamily, 64);
    EXPECT_EQ(family, formatFamily);
    IDWriteFontCollection* used = nullptr;
    ASSERT_EQ(S_OK, font->textFormat->GetFontCollection(&used));
    EXPECT_EQ(collection, used);
    UINT32 index = 0;
    BOOL exists = FALSE;
    EXPECT_EQ(S_OK, used->FindFamilyName(formatFamily, &index, &exists));
    EXPECT_TRUE(exists);
    used->Release();

    // The class default from the included style sheet, under the element's
    // own height; the style group by name, painted.
    ui::Control* card = Find(L"Card");
    ASSERT_NE(nullptr, card);
    EXPECT_EQ(0xFF102030u, card->GetTextColor()) << "from the Button default";
    EXPECT_EQ(40.0f, card->GetRawFixedHeight()) << "the element's height over the default's 44";
    ASSERT_NE(nullptr, card->GetStyleSet());
    EXPECT_NE(nullptr, core.FindStyleGroup(L"Card"));
    const ui::RECTF cb = card->GetBounds();
    testsupport::PixelImage px = testsupport::ReadCorePixels(core);
    EXPECT_EQ(0xC03020u, Rgb(px.At(static_cast<int>((cb.left + cb.right) / 2), static_cast<int>((cb.top + cb.bottom) / 2))))
        << "the Card group's normal fill";

    // The tray record: the item without a command is left out; ids from the
    // fixed range, and the icon is in the notification area.
    const ui::WindowCore::TrayMenuRecord* tray = core.GetTrayMenu();
    ASSERT_NE(nullptr, tray);
    EXPECT_EQ(L"皮肤托盘", tray->tip);
    ASSERT_EQ(2u, tray->items.size());
    EXPECT_EQ(L"show", tray->items[0].command);
    EXPECT_EQ(L"显示", tray->items[0].text);
    EXPECT_EQ(L"exit", tray->items[1].command);
    EXPECT_EQ(L"退出", tray->items[1].text);
    EXPECT_EQ(ui::WindowCore::kTrayCommandBase, tray->items[0].commandId);
    EXPECT_EQ(ui::WindowCore::kTrayCommandBase + 1, tray->items[1].commandId);
    EXPECT_TRUE(win->Tray().shown.load());

    DestroyWindow(win->GetHWND());
}

TEST_F(SkinArchiveWindowTest, AnAnimationNamedByAControlRunsAndEnds)
{
    win = testsupport::OpenSkinWindow(L"window.xml", 100, 100, kWidth, kHeight, 96);
    ASSERT_NE(nullptr, win);
    ui::Control* fader = Find(L"Fader");
    ASSERT_NE(nullptr, fader);

    // "hide=FadeOut" names the style sheet's animation: 0.2 s, cubic.
    ui::CTimeLineTween* timeline = fader->GetTransitionTimeline(L"hide");
    ASSERT_NE(nullptr, timeline);
    EXPECT_FLOAT_EQ(200.0f, timeline->GetDuration());
    EXPECT_EQ(ui::GetEasing(ui::kEaseCubic), timeline->GetEasing());

    fader->SetVisible(false);
    EXPECT_TRUE(fader->IsVisible()) << "visible while the fade runs";
    EXPECT_TRUE(fader->IsShowHideAnimating());
    std::vector<int> seen;
    const bool ended = testsupport::PumpUntil([&] {
        seen.push_back(fader->GetAlpha());
        return !fader->IsVisible();
    });
    ASSERT_TRUE(ended) << "the fade never ended";
    EXPECT_EQ(0, fader->GetAlpha());
    EXPECT_FALSE(fader->IsShowHideAnimating());
    bool between = false;
    for (int a : seen)
        between = between || (a > 0 && a < 255);
    EXPECT_TRUE(between) << "no frame between opaque and transparent";
    DestroyWindow(win->GetHWND());
}

TEST_F(SkinArchiveWindowTest, UnknownAttributesAreKeptAndMalformedNumbersReadAsZero)
{
    win = testsupport::OpenSkinWindow(L"window.xml", 100, 100, kWidth, kHeight, 96);
    ASSERT_NE(nullptr, win);
    ui::Control* odd = Find(L"Odd");
    ASSERT_NE(nullptr, odd);
    EXPECT_EQ(L"probe", std::wstring(odd->GetExtraAttribute(L"data-role").GetData()));
    EXPECT_EQ(L"mint", std::wstring(odd->GetExtraAttribute(L"flavour").GetData()));
    EXPECT_EQ(L"", std::wstring(odd->GetExtraAttribute(L"height").GetData())) << "a known attribute is not extra";
    EXPECT_EQ(L"", std::wstring(Find(L"Last")->GetExtraAttribute(L"flavour").GetData())) << "kept per control";

    EXPECT_EQ(0, odd->GetMinWidth()) << "\"wide\"";
    EXPECT_EQ(12, odd->GetMaxHeight()) << "\"12px\" stops at the first invalid character";
    EXPECT_EQ(0u, odd->GetBkColor()) << "\"#GG0000\"";
    DestroyWindow(win->GetHWND());
}

// The badge's colour in each scale folder of the test skin.
struct BadgeAt {
    int dpi;
    uint32_t rgb;
};

class SkinArchiveImageTest : public SkinArchiveWindowTest, public ::testing::WithParamInterface<BadgeAt> {};

TEST_P(SkinArchiveImageTest, ImagesComeFromTheScaleFolderOfTheDpi)
{
    const BadgeAt at = GetParam();
    const float s = at.dpi / 96.0f;
    win = testsupport::OpenSkinWindow(L"window.xml", 100, 100, static_cast<int>(kWidth * s),
                                      static_cast<int>(kHeight * s), at.dpi);
    ASSERT_NE(nullptr, win);
    ui::Control* badge = Find(L"Badge");
    ASSERT_NE(nullptr, badge);
    const ui::RECTF b = badge->GetBounds();
    EXPECT_FLOAT_EQ(16 * s, b.right - b.left);
    testsupport::PixelImage px = testsupport::ReadCorePixels(win->Core());
    EXPECT_EQ(at.rgb, Rgb(px.At(static_cast<int>(b.left + 2), static_cast<int>(b.top + 2))));
    EXPECT_EQ(at.rgb, Rgb(px.At(static_cast<int>(b.right - 2), static_cast<int>(b.bottom - 2))))
        << "the copy is drawn at its own size, unstretched";
    DestroyWindow(win->GetHWND());
}

INSTANTIATE_TEST_SUITE_P(Dpi, SkinArchiveImageTest,
                         ::testing::Values(BadgeAt{96, 0x309040}, BadgeAt{120, 0x903040}, BadgeAt{144, 0x403090},
                                           BadgeAt{192, 0x909030}));

// A message box of this process's UI thread, seen and closed from a helper
// thread while the UI thread sits in the box's modal loop.
class MessageBoxWatcher {
public:
    static constexpr DWORD kWaitMs = 10000;
    static constexpr DWORD kPollMs = 20;

    explicit MessageBoxWatcher(DWORD uiThread)
    {
        m_thread = std::thread([this, uiThread] { Watch(uiThread); });
    }
    ~MessageBoxWatcher() { m_thread.join(); }

    std::wstring title, text;
    std::atomic<bool> closed{false};

private:
    // Stops at the first visible dialog window, stored through `found`.
    static BOOL CALLBACK FindVisibleDialog(HWND w, LPARAM found)
    {
        wchar_t cls[16] = {};
        GetClassNameW(w, cls, 16);
        if (wcscmp(cls, L"#32770") != 0 || !IsWindowVisible(w))
            return TRUE;
        *reinterpret_cast<HWND*>(found) = w;
        return FALSE;
    }

    void Watch(DWORD uiThread)
    {
        for (DWORD waited = 0; waited < kWaitMs; waited += kPollMs) {
            HWND box = nullptr;
            EnumThreadWindows(uiThread, &FindVisibleDialog, reinterpret_cast<LPARAM>(&box));
            if (box) {
                wchar_t buffer[128] = {};
                GetWindowTextW(box, buffer, 128);
                title = buffer;
                // The box's message is its static control of id 0xFFFF.
                constexpr int kMessageTextId = 0xFFFF;
                buffer[0] = L'\0';
                GetDlgItemTextW(box, kMessageTextId, buffer, 128);
                text = buffer;
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                closed = true;
                return;
            }
            Sleep(kPollMs);
        }
    }

    std::thread m_thread;
};

TEST_F(SkinArchiveWindowTest, AMalformedDocumentTakesTheBuildFailurePath)
{
    // The parser's own account of the document.
    ui::MarkupDocument doc(true);
    EXPECT_FALSE(doc.LoadSkinFile(L"broken.xml"));
    EXPECT_STREQ(L"Unmatched closing tag", doc.GetErrorMessage());

    // The window tells the user, creation goes on, then it closes itself.
    auto broken = std::make_unique<testsupport::SkinTestWindow>(L"broken.xml", 96);
    HWND hwnd = nullptr;
    {
        MessageBoxWatcher watcher(GetCurrentThreadId());
        hwnd = broken->Create(nullptr, L"broken", WS_POPUP, 0, 100, 100, 300, 200);
        // The box was closed by now: Create came back from its modal loop.
        EXPECT_TRUE(watcher.closed.load());
        EXPECT_EQ(L"异常信息", watcher.title);
        EXPECT_EQ(L"初始化界面资源失败！", watcher.text);
    }
    ASSERT_NE(nullptr, hwnd) << "creation goes on after the failed build";
    EXPECT_EQ(nullptr, broken->Core().GetRoot());
    EXPECT_EQ(nullptr, broken->CloseButton());
    EXPECT_FALSE(broken->Tray().shown.load());
    EXPECT_TRUE(testsupport::PumpUntil([&] { return !IsWindow(hwnd); })) << "the posted close never came";
    EXPECT_EQ(IWindowBase::kCloseByUser, broken->GetCloseCode());
    EXPECT_EQ(0, broken->readyCount);
}

} // namespace
