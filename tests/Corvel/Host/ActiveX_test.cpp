// The ActiveX host with a real in-process control: the WebBrowser control
// Wine ships (created without a rendering engine in the test prefix, but a
// complete windowed ActiveX object).
#include "Corvel/Host/ActiveX.h"

#include <exdisp.h>
#include <mshtmhst.h>
#include <gtest/gtest.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "Corvel/Core/ControlRegistry.h"
#include "Corvel/Core/DialogBuilder.h"
#include "Corvel/Core/support/TestWindow.h"
#include "Corvel/Host/ActiveXSite.h"

namespace {

using Microsoft::WRL::ComPtr;

constexpr wchar_t kWebBrowserClsid[] = L"{8856F961-340A-11D0-A96B-00C04FD705A2}";

// Counts "showactivex" notifications.
struct ShowCounter : ui::INotifyUI {
    int count = 0;
    ui::Control* sender = nullptr;
    void ReceiveNotify(ui::tagTNotifyUI& msg) override
    {
        if (wcscmp(msg.type.GetData(), L"showactivex") == 0) {
            ++count;
            sender = msg.sender;
        }
    }
};

std::wstring ClassOf(HWND window);

// Windows of this thread that belong to hosted objects: the host's own
// object windows and the WebBrowser's. (Wine makes a few windows of its own
// at the first COM and Direct3D use that live as long as the process.)
int CountObjectWindows()
{
    struct Walk {
        static BOOL CALLBACK Visit(HWND window, LPARAM p)
        {
            const std::wstring name = ClassOf(window);
            if (name == L"ActiveXWnd" || name == L"Shell Embedding" || name == L"Shell DocObject View")
                ++*reinterpret_cast<int*>(p);
            EnumChildWindows(window, &Visit, p);
            return TRUE;
        }
    };
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), &Walk::Visit, reinterpret_cast<LPARAM>(&count));
    return count;
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

class ActiveXTest : public ::testing::Test {
protected:
    testsupport::UiLibraryScope lib;

    // A window whose root box holds one ActiveX control placed at
    // (20, 10, 220, 160) with padding 5.
    std::unique_ptr<testsupport::TestWindow> Open(ui::ActiveX* ax, const wchar_t* clsid)
    {
        auto* root = new ui::Box();
        ax->SetAttribute(L"float", L"true");
        ax->SetAttribute(L"pos", L"20,10,200,150");
        ax->SetAttribute(L"padding", L"5,5,5,5");
        if (clsid)
            ax->SetAttribute(L"clsid", clsid);
        root->AppendChild(ax);
        auto win = std::make_unique<testsupport::TestWindow>();
        win->root = root;
        win->core.AddNotifyListener(&shows);
        EXPECT_NE(nullptr, win->CreatePopup(300, 200));
        EXPECT_TRUE(testsupport::ShowAndPaint(*win));
        return win;
    }

    ShowCounter shows;
};

TEST_F(ActiveXTest, MarkupMakesTheHost)
{
    ASSERT_NE(nullptr, ui::GetControlClassRegistry().Find("CActiveXCtrl"));
    testsupport::TestWindow win;
    ui::DialogBuilder builder;
    std::unique_ptr<ui::Control> root(builder.Build(
        LR"(<Window><CActiveXCtrl name="ax" clsid="Shell.Explorer" modulename="" delaycreate="true"/></Window>)",
        nullptr, &win.core, nullptr));
    ASSERT_NE(nullptr, root);
    auto* ax = static_cast<ui::ActiveX*>(root->CastTo(L"ActiveX"));
    ASSERT_NE(nullptr, ax);
    EXPECT_STREQ(L"ActiveX", ax->GetClassName());
    EXPECT_NE(nullptr, ax->CastTo(L"IBox"));
    EXPECT_TRUE(IsEqualCLSID(CLSID_WebBrowser, ax->GetClsid())) << "the ProgID names the WebBrowser control";
    EXPECT_FALSE(ax->IsCreated()) << "creation waits for placement";
}

TEST_F(ActiveXTest, PlacementCreatesActivatesAndSizesTheObject)
{
    auto* ax = new ui::ActiveX();
    auto win = Open(ax, kWebBrowserClsid);
    ASSERT_TRUE(ax->IsCreated());
    ASSERT_NE(nullptr, ax->GetHostedObject());
    EXPECT_EQ(1, shows.count);
    EXPECT_EQ(ax, shows.sender);
    ui::CActiveXCtrl* site = ax->GetSite();
    ASSERT_NE(nullptr, site);
    EXPECT_TRUE(site->IsInPlaceActive());
    EXPECT_FALSE(site->IsWindowless());

    // The object draws in its own child window at the rectangle less padding.
    HWND window = ax->GetHostWindow();
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(win->GetHWND(), GetParent(window));
    EXPECT_EQ(L"ActiveXWnd", ClassOf(window));
    RECT r{};
    GetWindowRect(window, &r);
    MapWindowPoints(nullptr, win->GetHWND(), reinterpret_cast<POINT*>(&r), 2);
    EXPECT_EQ((RECT{25, 15, 215, 155}).left, r.left);
    EXPECT_EQ(15, r.top);
    EXPECT_EQ(215, r.right);
    EXPECT_EQ(155, r.bottom);
    // The control's own window is inside it.
    EXPECT_NE(nullptr, GetWindow(window, GW_CHILD)) << "the WebBrowser made no window of its own";

    // The extent follows, in HIMETRIC.
    SIZEL extent{};
    ASSERT_EQ(S_OK, ax->GetHostedObject()->GetExtent(DVASPECT_CONTENT, &extent));
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(MulDiv(2540, 190, GetDeviceCaps(screen, LOGPIXELSX)), extent.cx);
    EXPECT_EQ(MulDiv(2540, 140, GetDeviceCaps(screen, LOGPIXELSY)), extent.cy);

    // A new placement moves and sizes the window and the extent.
    ax->SetBounds(20, 10, 120, 160);
    RECT now{};
    GetClientRect(window, &now);
    EXPECT_EQ(90, now.right);
    EXPECT_EQ(140, now.bottom);
    ASSERT_EQ(S_OK, ax->GetHostedObject()->GetExtent(DVASPECT_CONTENT, &extent));
    EXPECT_EQ(MulDiv(2540, 90, GetDeviceCaps(screen, LOGPIXELSX)), extent.cx);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(1, shows.count) << "placement created the object again";

    // Hiding the control hides the window.
    ax->SetVisible(false);
    EXPECT_FALSE(IsWindowVisible(window));
    ax->SetVisible(true);
    EXPECT_TRUE(IsWindowVisible(window));
}

TEST_F(ActiveXTest, GetWindowContextFillsEveryOutParameter)
{
    auto* ax = new ui::ActiveX();
    auto win = Open(ax, kWebBrowserClsid);
    ASSERT_NE(nullptr, ax->GetSite());
    ComPtr<IOleInPlaceSite> site;
    ASSERT_EQ(S_OK, ax->GetSite()->QueryInterface(IID_PPV_ARGS(&site)));
    // Poisoned values: anything left unwritten shows.
    auto* frame = reinterpret_cast<IOleInPlaceFrame*>(uintptr_t(0xBAADF00D));
    auto* doc = reinterpret_cast<IOleInPlaceUIWindow*>(uintptr_t(0xBAADF00D));
    RECT pos{-7, -7, -7, -7}, clip{-7, -7, -7, -7};
    OLEINPLACEFRAMEINFO info{};
    info.cb = sizeof(info);
    info.fMDIApp = 7;
    info.hwndFrame = reinterpret_cast<HWND>(uintptr_t(0xBAADF00D));
    info.haccel = reinterpret_cast<HACCEL>(uintptr_t(0xBAADF00D));
    info.cAccelEntries = 7;
    ASSERT_EQ(S_OK, site->GetWindowContext(&frame, &doc, &pos, &clip, &info));
    EXPECT_EQ(nullptr, frame);
    EXPECT_EQ(nullptr, doc);
    // A windowed object: relative to its own window.
    EXPECT_EQ(0, pos.left);
    EXPECT_EQ(0, pos.top);
    EXPECT_EQ(190, pos.right);
    EXPECT_EQ(140, pos.bottom);
    EXPECT_EQ(0, memcmp(&pos, &clip, sizeof(RECT)));
    EXPECT_EQ(UINT(sizeof(info)), info.cb);
    EXPECT_FALSE(info.fMDIApp);
    EXPECT_EQ(win->GetHWND(), info.hwndFrame);
    EXPECT_EQ(nullptr, info.haccel);
    EXPECT_EQ(0u, info.cAccelEntries);
    // Null pointers are skipped, not written through.
    EXPECT_EQ(S_OK, site->GetWindowContext(nullptr, nullptr, nullptr, nullptr, nullptr));
}

TEST_F(ActiveXTest, SiteAnswersTheContainerCalls)
{
    auto* ax = new ui::ActiveX();
    auto win = Open(ax, kWebBrowserClsid);
    ui::CActiveXCtrl* site = ax->GetSite();
    ASSERT_NE(nullptr, site);
    // Every part answers through one identity.
    ComPtr<IUnknown> a, b;
    ASSERT_EQ(S_OK, site->QueryInterface(IID_PPV_ARGS(&a)));
    ComPtr<IOleContainer> container;
    ASSERT_EQ(S_OK, site->GetContainer(&container));
    ASSERT_EQ(S_OK, container.As(&b));
    EXPECT_EQ(a.Get(), b.Get());
    ComPtr<IUnknown> none;
    EXPECT_EQ(E_NOINTERFACE, site->QueryInterface(IID_IDocHostUIHandler, reinterpret_cast<void**>(none.GetAddressOf())));
    EXPECT_EQ(E_NOINTERFACE, site->QueryInterface(IID_IDataObject, reinterpret_cast<void**>(none.GetAddressOf())));

    // The container enumerates exactly the hosted object.
    ComPtr<IEnumUnknown> objects;
    ASSERT_EQ(S_OK, container->EnumObjects(OLECONTF_EMBEDDINGS, &objects));
    IUnknown* first = nullptr;
    ULONG fetched = 0;
    ASSERT_EQ(S_OK, objects->Next(1, &first, &fetched));
    EXPECT_EQ(1u, fetched);
    ComPtr<IUnknown> firstIdentity, objectIdentity;
    first->QueryInterface(IID_PPV_ARGS(&firstIdentity));
    ax->GetHostedObject()->QueryInterface(IID_PPV_ARGS(&objectIdentity));
    EXPECT_EQ(objectIdentity.Get(), firstIdentity.Get());
    first->Release();
    EXPECT_EQ(S_FALSE, objects->Next(1, &first, &fetched));
    EXPECT_EQ(0u, fetched);
    objects->Reset();
    EXPECT_EQ(S_OK, objects->Next(1, &first, nullptr));
    first->Release();

    ComPtr<IDispatch> extended;
    EXPECT_EQ(S_OK, site->GetExtendedControl(&extended));
    EXPECT_NE(nullptr, extended.Get());
    EXPECT_EQ(E_POINTER, site->GetExtendedControl(nullptr));

    // The object-with-site part keeps what it is given.
    ComPtr<IUnknown> got;
    EXPECT_EQ(E_FAIL, site->GetSite(IID_PPV_ARGS(&got)));
    site->SetSite(a.Get());
    EXPECT_EQ(S_OK, site->GetSite(IID_PPV_ARGS(&got)));
    site->SetSite(nullptr);

    // Invalidation marks the window core dirty.
    RECT part{30, 20, 60, 40};
    EXPECT_EQ(S_OK, site->InvalidateRect(&part, FALSE));
    EXPECT_FALSE(win->core.GetDirtyRectsForTesting().empty());
}

TEST_F(ActiveXTest, ReleaseLetsGoOfObjectSiteAndWindow)
{
    ASSERT_EQ(0, CountObjectWindows());
    auto* ax = new ui::ActiveX();
    auto win = Open(ax, kWebBrowserClsid);
    ASSERT_NE(nullptr, ax->GetHostedObject());
    // Extra references of our own tell whether the host let go of its own.
    ComPtr<IOleObject> object = ax->GetHostedObject();
    ui::CActiveXCtrl* site = ax->GetSite();
    site->AddRef();
    HWND window = ax->GetHostWindow();
    ASSERT_TRUE(IsWindow(window));

    ax->ReleaseHostedObject();
    EXPECT_EQ(nullptr, ax->GetHostedObject());
    EXPECT_EQ(nullptr, ax->GetSite());
    EXPECT_EQ(nullptr, ax->GetHostWindow());
    EXPECT_FALSE(IsWindow(window)) << "the object's window outlived it";
    EXPECT_EQ(1, site->GetRefCountForTesting()) << "the object or host still holds the site";
    // The site has no owner now.
    HWND answer = nullptr;
    EXPECT_EQ(E_UNEXPECTED, site->GetWindow(&answer));
    ComPtr<IEnumUnknown> objects;
    EXPECT_EQ(E_UNEXPECTED, site->EnumObjects(0, &objects));
    site->Release();
    EXPECT_EQ(0u, object.Reset()) << "the hosted object is still referenced";

    EXPECT_EQ(0, CountObjectWindows());
    win.reset();
}

TEST_F(ActiveXTest, ShutdownWithALiveObjectLeaksNothing)
{
    ASSERT_EQ(0, CountObjectWindows());
    IOleObject* object = nullptr;
    {
        auto* ax = new ui::ActiveX();
        auto win = Open(ax, kWebBrowserClsid);
        ASSERT_NE(nullptr, ax->GetHostedObject());
        object = ax->GetHostedObject();
        object->AddRef();
        // The window goes with the control still hosting its object.
    }
    EXPECT_EQ(0, CountObjectWindows());
    EXPECT_EQ(0u, object->Release()) << "the hosted object is still referenced";
}

TEST_F(ActiveXTest, DelayCreateOffCreatesOnceAtOnce)
{
    struct Case {
        const char* what;
        std::vector<std::pair<const wchar_t*, const wchar_t*>> attributes;
        bool createdBeforePlacement;
    };
    const Case cases[] = {
        {"clsid, then delaycreate false", {{L"clsid", kWebBrowserClsid}, {L"delaycreate", L"false"}}, true},
        {"delaycreate false, then clsid", {{L"delaycreate", L"false"}, {L"clsid", kWebBrowserClsid}}, true},
        {"delaycreate true", {{L"clsid", kWebBrowserClsid}, {L"delaycreate", L"true"}}, false},
    };
    for (const Case& c : cases) {
        shows.count = 0;
        testsupport::TestWindow win;
        auto* root = new ui::Box();
        win.root = root;
        win.core.AddNotifyListener(&shows);
        ASSERT_NE(nullptr, win.CreatePopup(300, 200));
        auto* ax = new ui::ActiveX();
        root->AppendChild(ax);
        for (const auto& a : c.attributes)
            ax->SetAttribute(a.first, a.second);
        EXPECT_EQ(c.createdBeforePlacement, ax->IsCreated()) << c.what;
        EXPECT_EQ(c.createdBeforePlacement ? 1 : 0, shows.count) << c.what;
        ShowWindow(win.GetHWND(), SW_SHOWNOACTIVATE);
        EXPECT_TRUE(testsupport::PumpUntil([ax] { return ax->IsPlaced() && ax->GetHostedObject(); })) << c.what;
        EXPECT_EQ(1, shows.count) << c.what << ": placement created it again";
    }
}

TEST_F(ActiveXTest, UnknownProgIdLeavesTheControlEmpty)
{
    auto* ax = new ui::ActiveX();
    auto win = Open(ax, L"Corvel.NoSuchControl.1");
    EXPECT_TRUE(IsEqualCLSID(GUID_NULL, ax->GetClsid()));
    EXPECT_EQ(nullptr, ax->GetHostedObject());
    EXPECT_EQ(0, shows.count);
    // A CLSID nobody registered: creation runs and fails quietly.
    EXPECT_FALSE(ax->CreateHostedObject(ax->GetBounds()));
    ax->SetAttribute(L"clsid", L"{00000000-1111-2222-3333-444444444444}");
    EXPECT_FALSE(ax->CreateHostedObject(ax->GetBounds()));
    EXPECT_EQ(nullptr, ax->GetHostedObject());
    EXPECT_EQ(0, shows.count);
    // A module without a class factory falls back to COM.
    ax->SetAttribute(L"modulename", L"kernel32.dll");
    ax->SetAttribute(L"clsid", kWebBrowserClsid);
    EXPECT_TRUE(ax->CreateHostedObject(ax->GetBounds()));
    EXPECT_NE(nullptr, ax->GetHostedObject());
}

} // namespace
