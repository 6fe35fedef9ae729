// The WebView2 engine beside a test loader that hands out a small
// environment, controller and web view of its own
// (fixtures/TestWebView2Loader.cpp, as "WebView2.dll" beside this test).
// They log every call the binding makes and complete each step later from
// the message loop: the order of the set-up, the page's bounds and
// visibility, the "file:///" answers, the host object guarded by the home
// page's origin, the accelerator and drag fallbacks, and the release of
// everything with the control.
#include "Corvel/Control/WebView/WebView2Binding.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "Corvel/Control/WebView/support/WebViewTestSupport.h"
#include "Corvel/Core/UiNetHandlers.h"
#include "support/TestPaths.h"

namespace {

constexpr wchar_t kHome[] = L"http://127.0.0.1:9/app/index.html";
// The lengths of the two injected scripts, as the pages rely on them.
constexpr size_t kNoReloadKeysScriptLength = 128;
constexpr size_t kDragScriptLength = 202;

template <typename Fn>
Fn Export(const char* name)
{
    HMODULE loader = GetModuleHandleW(L"WebView2.dll");
    return loader ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(loader, name))) : nullptr;
}

std::vector<std::wstring> LogLines()
{
    auto log = Export<const wchar_t*(__cdecl*)()>("corvelTestWv2Log");
    std::vector<std::wstring> lines;
    if (!log)
        return lines;
    std::wstringstream in(log());
    for (std::wstring line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

bool Logged(const std::wstring& line)
{
    for (const std::wstring& l : LogLines())
        if (l == line)
            return true;
    return false;
}

std::string LogText()
{
    std::string text;
    for (const std::wstring& line : LogLines())
        text += std::string(line.begin(), line.end()) + "\n";
    return text;
}

std::wstring ToFileUrl(const std::wstring& path)
{
    std::wstring url = L"file:///";
    for (wchar_t c : path)
        url += c == L'\\' ? L'/' : c;
    return url;
}

// Records the drag the host window is asked to start, without starting it.
LRESULT CALLBACK RecordDrag(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR data)
{
    if (message == WM_NCLBUTTONDOWN && wParam == HTCAPTION) {
        ++*reinterpret_cast<int*>(data);
        return 0;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

class WebView2Runtime : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(ui::WebView2Binding::IsRuntimeAvailable());
        auto clear = Export<void(__cdecl*)()>("corvelTestWv2ClearLog");
        ASSERT_NE(nullptr, clear);
        clear();
        view = new ui::WebView();
        view->SetAttribute(L"homepage", kHome);
        view->SetAttribute(L"autonavi", L"true");
        window = std::make_unique<webtest::WebViewWindow>(view);
        ASSERT_TRUE(testsupport::PumpUntil([] { return Logged(L"put_IsVisible 1"); })) << LogText();
    }

    testsupport::UiLibraryScope lib;
    ui::WebView* view = nullptr;
    std::unique_ptr<webtest::WebViewWindow> window;
};

TEST_F(WebView2Runtime, TheEnvironmentControllerAndPageAreSetUpInOrder)
{
    EXPECT_EQ(ui::WebEngine::kWebView2, view->GetEngine());
    EXPECT_EQ(ui::GetUiCacheFolder(), view->GetDataFolder()) << "an empty data folder takes the cache folder";
    EXPECT_EQ(kNoReloadKeysScriptLength, wcslen(ui::kWebView2NoReloadKeysScript));
    EXPECT_EQ(kDragScriptLength, wcslen(ui::kWebView2DragScript));
    const RECT r = view->GetControlRect();
    const std::wstring bounds = L"put_Bounds " + std::to_wstring(r.left) + L"," + std::to_wstring(r.top) + L"," +
                                std::to_wstring(r.right) + L"," + std::to_wstring(r.bottom);
    const std::vector<std::wstring> expected = {
        L"CreateEnvironment browser=(none) data=" +
            (ui::GetUiCacheFolder().empty() ? std::wstring(L"(none)") : ui::GetUiCacheFolder()),
        L"Language zh-CN",
        L"Arguments --disable-web-security --allow-insecure-localhost --allow-file-access-from-files "
        L"--disable-site-isolation-trials --unsafely-treat-insecure-origin-as-secure=http:*",
        L"TargetVersion 129.0.2783.0",
        L"CreateCoreWebView2Controller window",
        L"get_CoreWebView2",
        L"AddWebResourceRequestedFilter file:///* 8",
        L"AddWebResourceRequestedFilter file:///* 7",
        L"add_WebResourceRequested",
        L"Settings.IsScriptEnabled=1",
        L"Settings.AreDefaultScriptDialogsEnabled=1",
        L"Settings.IsWebMessageEnabled=1",
        L"Settings.AreDefaultContextMenusEnabled=0",
        L"Settings.AreDevToolsEnabled=0",
        L"add_AcceleratorKeyPressed",
        std::wstring(L"AddScript ") + ui::kWebView2NoReloadKeysScript,
        L"add_WebMessageReceived",
        std::wstring(L"AddScript ") + ui::kWebView2DragScript,
        bounds,
        L"put_DefaultBackgroundColor 0,0,0,0",
        L"add_NavigationCompleted",
        L"AddHostObjectToScript Native dispatch",
        std::wstring(L"Navigate ") + kHome,
        L"NavigationCompleted",
        L"put_IsVisible 1",
    };
    EXPECT_EQ(expected, LogLines());
    EXPECT_TRUE(view->IsPageLoaded());
    EXPECT_FALSE(view->IsFirstShow());
    EXPECT_EQ(1, window->Count(L"LoadOver"));

    // The control's own calls reach the controller and the web view.
    view->SetVisible(false);
    EXPECT_TRUE(Logged(L"put_IsVisible 0"));
    view->Navigate(L"http://127.0.0.1:9/app/second.html");
    EXPECT_TRUE(Logged(L"Navigate http://127.0.0.1:9/app/second.html"));
    view->SetBounds(40, 30, 160, 120);
    const RECT moved = view->GetControlRect();
    EXPECT_NE(r.left, moved.left);
    EXPECT_TRUE(Logged(L"put_Bounds " + std::to_wstring(moved.left) + L"," + std::to_wstring(moved.top) + L"," +
                       std::to_wstring(moved.right) + L"," + std::to_wstring(moved.bottom)))
        << LogText();
}

TEST_F(WebView2Runtime, FilesAndTheHostObjectAnswerOnlyTheHomeOrigin)
{
    auto setSource = Export<BOOL(__cdecl*)(const wchar_t*)>("corvelTestWv2SetSource");
    auto fetch = Export<int(__cdecl*)(const wchar_t*, char*, int, int*, wchar_t*, wchar_t*, int)>("corvelTestWv2Fetch");
    auto callHost = Export<HRESULT(__cdecl*)(const wchar_t*, const wchar_t*, wchar_t*, int)>("corvelTestWv2CallHost");
    ASSERT_TRUE(setSource && fetch && callHost);

    testsupport::ScratchDir dir(L"wv2rt");
    const std::string content("\x01\x02payload\xFF", 10);
    const std::wstring file = dir.File(L"数据.bin");
    ASSERT_TRUE(testsupport::WriteFileBytes(file, content));
    int calls = 0;
    view->SetScriptHandlerW([&calls](const std::wstring& name, const std::wstring& args) {
        ++calls;
        return L"答:" + name + L"|" + args;
    });

    struct Case {
        const char* what;
        const wchar_t* page;
        std::wstring uri;
        int status;
    };
    const Case cases[] = {
        {"home page, existing file", kHome, ToFileUrl(file), 200},
        {"home page, missing file", kHome, ToFileUrl(file + L".missing"), 0},
        {"another origin", L"https://evil.test/page.html", ToFileUrl(file), 0},
        {"not a file URL", kHome, L"file://", 0},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(setSource(c.page));
        char bytes[64] = {};
        int size = -1;
        wchar_t reason[64] = {};
        wchar_t headers[128] = {};
        EXPECT_EQ(c.status, fetch(c.uri.c_str(), bytes, sizeof(bytes), &size, reason, headers, 64)) << c.what;
        if (c.status == 200) {
            EXPECT_EQ(content, std::string(bytes, static_cast<size_t>(size)));
            EXPECT_STREQ(L"OK", reason);
            EXPECT_STREQ(L"Content-Type: application/octet-stream\r\n", headers);
        } else {
            EXPECT_EQ(0, size) << c.what;
        }
    }

    wchar_t answer[128] = {};
    ASSERT_TRUE(setSource(L"http://127.0.0.1:9/app/other.html"));
    EXPECT_EQ(S_OK, callHost(L"安装", L"{\"a\":1}", answer, 128));
    EXPECT_STREQ(L"答:安装|{\"a\":1}", answer);
    EXPECT_EQ(1, calls);
    ASSERT_TRUE(setSource(L"https://evil.test/page.html"));
    EXPECT_EQ(E_ACCESSDENIED, callHost(L"安装", L"{}", answer, 128));
    EXPECT_EQ(1, calls) << "a page of another origin reaches no handler";
}

TEST_F(WebView2Runtime, CtrlFIsSwallowedAndDragMessagesDragTheWindow)
{
    auto press = Export<int(__cdecl*)(UINT)>("corvelTestWv2PressAccelerator");
    auto post = Export<BOOL(__cdecl*)(const wchar_t*)>("corvelTestWv2PostMessage");
    ASSERT_TRUE(press && post);

    BYTE keys[256] = {};
    ASSERT_TRUE(GetKeyboardState(keys));
    keys[VK_CONTROL] = 0;
    ASSERT_TRUE(SetKeyboardState(keys));
    EXPECT_EQ(0, press('F')) << "F alone";
    keys[VK_CONTROL] = 0x80;
    ASSERT_TRUE(SetKeyboardState(keys));
    EXPECT_EQ(1, press('F')) << "Ctrl+F";
    EXPECT_EQ(0, press('G')) << "Ctrl+G";
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);

    int drags = 0;
    HWND host = window->win.GetHWND();
    ASSERT_TRUE(SetWindowSubclass(host, RecordDrag, 1, reinterpret_cast<DWORD_PTR>(&drags)));
    EXPECT_TRUE(post(L"{\"type\":\"click\"}"));
    EXPECT_EQ(0, drags);
    EXPECT_TRUE(post(L"{\"type\":\"dragWindow\"}"));
    EXPECT_EQ(1, drags);
    RemoveWindowSubclass(host, RecordDrag, 1);
}

TEST_F(WebView2Runtime, TheControlReleasesEverythingItWasHanded)
{
    auto live = Export<int(__cdecl*)()>("corvelTestWv2LiveObjects");
    ASSERT_NE(nullptr, live);
    EXPECT_LT(1, live());
    window.reset();
    EXPECT_TRUE(Logged(L"Close"));
    EXPECT_EQ(1, live()) << "only the environment the loader keeps";
    // Each handler the binding made lived on the runtime's references only.
    auto heldElsewhere = Export<int(__cdecl*)()>("corvelTestWv2HandlersHeldElsewhere");
    ASSERT_NE(nullptr, heldElsewhere);
    EXPECT_EQ(0, heldElsewhere());
}

} // namespace
