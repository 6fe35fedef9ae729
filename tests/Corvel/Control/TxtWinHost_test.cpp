#include "Corvel/Control/TxtWinHost.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Corvel/Control/Edit.h"
#include "Corvel/Control/support/EditTestSupport.h"
#include "Corvel/Control/support/MarkupWindow.h"
#include "support/TestPaths.h"

namespace {

using controltest::MarkupWindow;
using edittest::RecordingTextServices;
using ui::CTxtWinHost;
using ui::Edit;

const wchar_t kHostSkin[] = LR"(<Window>
    <Font name="DejaVu Sans" size="14"/>
    <Box bkcolor="#FFFFFFFF">
        <Edit name="multi" float="true" pos="10,10,200,80"/>
        <Edit name="single" float="true" pos="10,100,200,30" lines="false"/>
        <Edit name="pw" float="true" pos="10,140,200,30" lines="false" password="true" readonly="true"/>
        <Edit name="bars" float="true" pos="220,10,150,80" vscrollbar="true"/>
        <Edit name="gdi" float="true" pos="220,100,150,30" gdi="true" align="center"/>
    </Box>
</Window>)";

class TxtWinHostTest : public ::testing::Test {
protected:
    void SetUp() override { w = std::make_unique<MarkupWindow>(kHostSkin, 400, 200); }
    CTxtWinHost* Host(const wchar_t* name)
    {
        Edit* e = w->Find<Edit>(name);
        return e ? e->GetHost() : nullptr;
    }
    testsupport::UiLibraryScope lib;
    std::unique_ptr<MarkupWindow> w;
};

// A msftedit.dll that is no library, planted beside the test program, must
// not stop the host: the library comes from the system folder. Runs first
// in the process, before anything loaded the real library by name.
TEST(TxtWinHostLoadTest, PlantedLibraryBesideTheProgramIsNotLoaded)
{
    if (GetModuleHandleW(L"msftedit.dll"))
        GTEST_SKIP() << "msftedit.dll is already loaded in this process";
    testsupport::UiLibraryScope lib;
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring planted(exe);
    planted = planted.substr(0, planted.find_last_of(L'\\') + 1) + L"msftedit.dll";
    {
        HANDLE f = CreateFileW(planted.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (f == INVALID_HANDLE_VALUE)
            GTEST_SKIP() << "cannot plant a file beside the program";
        const char junk[] = "not a library";
        DWORD written = 0;
        WriteFile(f, junk, sizeof(junk), &written, nullptr);
        CloseHandle(f);
    }
    HMODULE direct = LoadLibraryExW(planted.c_str(), nullptr, 0);
    EXPECT_EQ(nullptr, direct) << "the planted file loads: the check below proves nothing";

    Edit* edit = nullptr;
    {
        MarkupWindow w(kHostSkin, 400, 200);
        edit = w.Find<Edit>(L"multi");
        ASSERT_NE(nullptr, edit);
        EXPECT_NE(nullptr, edit->GetHost()) << "the host loaded the planted file";
        wchar_t loaded[MAX_PATH] = {};
        GetModuleFileNameW(GetModuleHandleW(L"msftedit.dll"), loaded, MAX_PATH);
        EXPECT_NE(std::wstring::npos, std::wstring(loaded).find(L"system32")) << std::string(loaded, loaded + wcslen(loaded));
    }
    DeleteFileW(planted.c_str());
}

TEST_F(TxtWinHostTest, AnswersOnlyItsOwnInterfaces)
{
    CTxtWinHost* host = Host(L"multi");
    ASSERT_NE(nullptr, host);
    // {C5BDD8D0-D26E-11CE-A89E-00AA006CADC5}
    const IID textHost = {0xC5BDD8D0, 0xD26E, 0x11CE, {0xA8, 0x9E, 0x00, 0xAA, 0x00, 0x6C, 0xAD, 0xC5}};
    for (const IID* iid : {&IID_IUnknown, &textHost}) {
        // The services may hold references of their own: count from here.
        const ULONG before = host->AddRef() - 1;
        host->Release();
        void* out = nullptr;
        ASSERT_EQ(S_OK, host->QueryInterface(*iid, &out));
        EXPECT_EQ(static_cast<ITextHost*>(host), out);
        EXPECT_EQ(before, host->Release()) << "the answer added no reference";
    }
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, host->QueryInterface(IID_IDispatch, &out));
    EXPECT_EQ(nullptr, out);
}

TEST_F(TxtWinHostTest, PropertyBitsFollowTheBoxStyle)
{
    struct Case {
        const wchar_t* box;
        DWORD present;
        DWORD absent;
    };
    const Case cases[] = {
        {L"multi", TXTBIT_RICHTEXT | TXTBIT_MULTILINE | TXTBIT_HIDESELECTION | TXTBIT_WORDWRAP,
         TXTBIT_READONLY | TXTBIT_USEPASSWORD | TXTBIT_AUTOWORDSEL | TXTBIT_ALLOWBEEP | TXTBIT_SAVESELECTION},
        {L"single", TXTBIT_RICHTEXT | TXTBIT_HIDESELECTION, TXTBIT_MULTILINE | TXTBIT_WORDWRAP},
        {L"pw", TXTBIT_USEPASSWORD | TXTBIT_READONLY, TXTBIT_MULTILINE},
        // "gdi" keeps the services on GDI: never the Direct2D bit.
        {L"gdi", TXTBIT_MULTILINE, 0x1000000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::string(c.box, c.box + wcslen(c.box)));
        CTxtWinHost* host = Host(c.box);
        ASSERT_NE(nullptr, host);
        DWORD bits = 0;
        ASSERT_EQ(S_OK, host->TxGetPropertyBits(0xFFFFFFFF, &bits));
        EXPECT_EQ(c.present, bits & c.present);
        EXPECT_EQ(0u, bits & c.absent);
        DWORD masked = 0xFFFFFFFF;
        host->TxGetPropertyBits(TXTBIT_MULTILINE, &masked);
        EXPECT_EQ(bits & TXTBIT_MULTILINE, masked);
    }
    EXPECT_EQ(PFA_CENTER, Host(L"gdi")->ParaFormat().wAlignment);
    EXPECT_FALSE(Host(L"gdi")->IsDirect2D());
}

TEST_F(TxtWinHostTest, PasswordCharacterIsTheBulletFromTheFirstQuestion)
{
    CTxtWinHost* host = Host(L"pw");
    ASSERT_NE(nullptr, host);
    TCHAR ch = 0;
    ASSERT_EQ(S_OK, host->TxGetPasswordChar(&ch));
    EXPECT_EQ(static_cast<TCHAR>(0x25CF), ch);
}

TEST_F(TxtWinHostTest, ClientRectangleChangesTellTheServicesWithTheClientRectBit)
{
    Edit* edit = w->Find<Edit>(L"multi");
    ASSERT_NE(nullptr, edit);
    CTxtWinHost* host = edit->GetHost();
    ASSERT_NE(nullptr, host);
    edittest::FakeServicesInstalled installed(host);
    RecordingTextServices& fake = installed.fake;

    constexpr DWORD kBits = TXTBIT_VIEWINSETCHANGE | TXTBIT_CLIENTRECTCHANGE;
    const RECT next{10, 10, 106, 58};
    host->SetClientRect(&next);
    ASSERT_EQ(1u, fake.bitsChanges.size());
    EXPECT_EQ(kBits, fake.bitsChanges[0].mask);
    EXPECT_EQ(kBits, fake.bitsChanges[0].bits);
    EXPECT_TRUE(EqualRect(&next, &host->ClientRect()));
    // 96 pixels at 96 DPI are one inch: 2540 HIMETRIC.
    EXPECT_EQ(2540, host->Extent().cx);
    EXPECT_EQ(1270, host->Extent().cy);

    const RECT empty{10, 10, 10, 50};
    const RECT inverted{50, 10, 10, 50};
    host->SetClientRect(&next);
    host->SetClientRect(&empty);
    host->SetClientRect(&inverted);
    host->SetClientRect(nullptr);
    EXPECT_EQ(1u, fake.bitsChanges.size()) << "an unchanged or empty rectangle was sent";
    EXPECT_TRUE(EqualRect(&next, &host->ClientRect()));

    // A box that changes size tells the services so too.
    edit->SetBounds(10, 10, 260, 120);
    ASSERT_EQ(2u, fake.bitsChanges.size());
    EXPECT_EQ(kBits, fake.bitsChanges[1].mask);
    EXPECT_EQ(260, host->ClientRect().right);
}

TEST_F(TxtWinHostTest, NaturalSizeIsAskedWithAnInitialHeight)
{
    Edit* edit = w->Find<Edit>(L"single");
    ASSERT_NE(nullptr, edit);
    edittest::FakeServicesInstalled installed(edit->GetHost());
    RecordingTextServices& fake = installed.fake;
    edit->SetBounds(10, 100, 210, 140);
    ASSERT_FALSE(fake.naturalHeightsOnEntry.empty());
    EXPECT_EQ(40, fake.naturalHeightsOnEntry.back()) << "the height must start as the text area's";
    // Services that leave the height alone leave the text area as tall as
    // the box, centred, and inside it.
    const RECT& area = edit->GetHost()->ClientRect();
    EXPECT_EQ(100, area.top);
    EXPECT_EQ(140, area.bottom);
}

TEST_F(TxtWinHostTest, ScrollRangeShowsTheBarOnlyForRealOverflow)
{
    Edit* edit = w->Find<Edit>(L"bars");
    ASSERT_NE(nullptr, edit);
    CTxtWinHost* host = edit->GetHost();
    ASSERT_NE(nullptr, host);
    ui::ScrollBar* bar = edit->GetVScrollBar();
    ASSERT_NE(nullptr, bar);
    const LONG height = host->ClientRect().bottom - host->ClientRect().top;
    EXPECT_TRUE(host->TxSetScrollRange(SB_VERT, 0, height + 25, TRUE));
    EXPECT_TRUE(bar->IsVisible());
    EXPECT_EQ(25, bar->GetRange());
    EXPECT_TRUE(host->TxSetScrollPos(SB_VERT, 10, TRUE));
    EXPECT_EQ(10.0f, bar->GetScrollPos());
    EXPECT_TRUE(host->TxSetScrollRange(SB_VERT, 0, height, TRUE));
    EXPECT_FALSE(bar->IsVisible()) << "a range equal to the height is no overflow";
    // The box has no horizontal bar: nothing happens, and the answer is TRUE.
    EXPECT_TRUE(host->TxSetScrollPos(SB_HORZ, 5, TRUE));
    EXPECT_EQ(nullptr, edit->GetHScrollBar());
}

TEST_F(TxtWinHostTest, CursorIsTheTextBeamWhateverTheServicesAsk)
{
    CTxtWinHost* host = Host(L"multi");
    ASSERT_NE(nullptr, host);
    host->TxSetCursor(LoadCursorW(nullptr, IDC_ARROW), FALSE);
    EXPECT_EQ(LoadCursorW(nullptr, IDC_IBEAM), GetCursor());
}

TEST_F(TxtWinHostTest, TimersAndCaptureGoThroughTheWindowCore)
{
    Edit* edit = w->Find<Edit>(L"multi");
    ASSERT_NE(nullptr, edit);
    CTxtWinHost* host = edit->GetHost();
    constexpr UINT kServicesTimer = 7;
    EXPECT_TRUE(host->TxSetTimer(kServicesTimer, 50));
    EXPECT_NE(0u, host->Flags() & ui::kHostTimerRunning);
    UINT_PTR id = 0;
    EXPECT_TRUE(w->win.core.GetControlTimerIdForTesting(edit, kServicesTimer, id));
    host->TxKillTimer(kServicesTimer);
    EXPECT_EQ(0u, host->Flags() & ui::kHostTimerRunning);
    EXPECT_FALSE(w->win.core.StopControlTimer(edit, kServicesTimer)) << "the timer still ran";
    EXPECT_FALSE(KillTimer(w->Hwnd(), id)) << "the window timer still existed";

    host->TxSetCapture(TRUE);
    EXPECT_NE(0u, host->Flags() & ui::kHostCaptureHeld);
    EXPECT_TRUE(w->win.core.IsMouseCaptured());
    EXPECT_EQ(w->Hwnd(), GetCapture());
    host->TxSetCapture(FALSE);
    EXPECT_EQ(0u, host->Flags() & ui::kHostCaptureHeld);
    EXPECT_FALSE(w->win.core.IsMouseCaptured());
}

} // namespace
