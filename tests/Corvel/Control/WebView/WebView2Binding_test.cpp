// The WebView2 binding's own rules, without a runtime (none exists on this
// machine): the loader's absence, the home-origin check that guards the
// "file:///" handler and the host object, file URLs to disk paths, and the
// host object's JsCallCpp through IDispatch as the runtime calls it.
#include "Corvel/Control/WebView/WebView2Binding.h"

#include <gtest/gtest.h>
#include <wrl/client.h>

#include <string>

#include "Corvel/Control/WebView/WebView.h"
#include "Corvel/Control/WebView/support/WebViewTestSupport.h"
#include "Corvel/Core/support/TestWindow.h"
#include "support/TestPaths.h"

namespace {

using Microsoft::WRL::ComPtr;

TEST(WebView2Binding, WithoutTheRuntimeNoBindingStarts)
{
    testsupport::UiLibraryScope lib;
    EXPECT_EQ(nullptr, GetModuleHandleW(L"WebView2.dll"));
    EXPECT_FALSE(ui::WebView2Binding::IsRuntimeAvailable());
    ui::WebView view;
    EXPECT_EQ(nullptr, ui::WebView2Binding::Start(&view));
    EXPECT_FALSE(ui::WebView2Binding::IsRuntimeAvailable()) << "probed once, same answer";
}

TEST(WebView2Binding, OriginsCompareSchemeHostAndPort)
{
    struct Case {
        const wchar_t* home;
        const wchar_t* page;
        bool same;
    };
    const Case cases[] = {
        {L"https://app.example.com/index.html", L"https://app.example.com/other/page?x=1#y", true},
        {L"https://app.example.com/", L"HTTPS://APP.Example.com/", true},
        {L"https://app.example.com/", L"http://app.example.com/", false},
        {L"https://app.example.com/", L"https://app.example.com:8443/", false},
        {L"https://app.example.com/", L"https://app.example.com.evil.test/", false},
        {L"https://app.example.com/", L"https://evil.test/?https://app.example.com/", false},
        {L"https://app.example.com/", L"https://app.example.com@evil.test/", false},
        {L"http://127.0.0.1:8080/a", L"http://127.0.0.1:8080/b", true},
        {L"file:///C:/app/index.html", L"file:///C:/other/page.html", true},
        {L"", L"https://app.example.com/", false},
        {L"https://app.example.com/", L"", false},
        {L"not a url", L"not a url", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.same, ui::IsHomeOrigin(c.home, c.page)) << c.home << " vs " << c.page;
    EXPECT_EQ(L"https://app.example.com:8443", ui::UrlOrigin(L"https://user@App.Example.com:8443/x"));
}

TEST(WebView2Binding, FileUrlsBecomeDiskPaths)
{
    struct Case {
        const wchar_t* url;
        const wchar_t* path;
    };
    const Case cases[] = {
        {L"file:///C:/app/data.bin", L"C:\\app\\data.bin"},
        {L"FILE:///C:/app/a%20b.txt", L"C:\\app\\a b.txt"},
        {L"file:///C:/%E7%A8%8B%E5%BA%8F/%E6%96%87.txt", L"C:\\程序\\文.txt"},
        {L"file:///C:/app/x.txt?v=1", L"C:\\app\\x.txt"},
        {L"file:///C:/app/%2", L""},
        {L"file:///C:/app/%zz", L""},
        {L"file:///C:/app/%00x", L""},
        {L"file:///", L""},
        {L"file://", L""},
        {L"http://127.0.0.1/x", L""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(std::wstring(c.path), ui::FileUrlToPath(c.url)) << c.url;
}

TEST(WebView2Binding, TheFileHandlerAnswersOnlyTheHomeOrigin)
{
    testsupport::ScratchDir dir(L"wv2");
    const std::string content("\x01\x02payload\xFF", 10);
    const std::wstring file = dir.File(L"数据.bin");
    ASSERT_TRUE(testsupport::WriteFileBytes(file, content));
    std::wstring url = L"file:///";
    for (wchar_t c : file)
        url += c == L'\\' ? L'/' : c;
    const std::wstring home = L"https://app.example.com/index.html";
    std::string bytes;
    EXPECT_TRUE(ui::ServeFileRequest(home, L"https://app.example.com/page", url, bytes));
    EXPECT_EQ(content, bytes);
    EXPECT_FALSE(ui::ServeFileRequest(home, L"https://evil.test/page", url, bytes)) << "another origin";
    EXPECT_TRUE(bytes.empty());
    EXPECT_FALSE(ui::ServeFileRequest(home, L"https://app.example.com/page", url + L".missing", bytes));
    EXPECT_FALSE(ui::ServeFileRequest(home, L"https://app.example.com/page", L"file:///" + dir.Path(), bytes))
        << "a folder";
}

TEST(WebView2Binding, TheHostObjectAnswersJsCallCppForTheHomeOriginOnly)
{
    testsupport::UiLibraryScope lib;
    ui::WebView view;
    view.SetAttribute(L"homepage", L"https://app.example.com/index.html");
    auto* native = new ui::WebView2Native(&view);
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(S_OK, native->QueryInterface(IID_PPV_ARGS(&dispatch)));
    native->Release();
    native->SetPageUrl(L"https://app.example.com/page.html");

    struct Case {
        const char* what;
        bool wide;
        bool narrow;
        std::wstring expected;
    };
    const Case cases[] = {
        {"wide handler first", true, true, L"宽:安装|{\"目录\":1}"},
        {"narrow handler, UTF-8 both ways", false, true, L"窄:安装|{\"目录\":1}"},
        {"no handler: empty", false, false, L""},
    };
    for (const Case& c : cases) {
        view.SetScriptHandlerW(nullptr);
        view.SetScriptHandlerA(nullptr);
        if (c.wide)
            view.SetScriptHandlerW([](const std::wstring& n, const std::wstring& a) { return L"宽:" + n + L"|" + a; });
        if (c.narrow)
            view.SetScriptHandlerA([](const std::string& n, const std::string& a) {
                return std::string("\xE7\xAA\x84:") + n + "|" + a; // "窄:"
            });
        VARIANT result;
        VariantInit(&result);
        ASSERT_EQ(S_OK, webtest::CallJsCallCpp(dispatch.Get(), L"安装", L"{\"目录\":1}", &result)) << c.what;
        ASSERT_EQ(VT_BSTR, result.vt) << c.what;
        EXPECT_EQ(c.expected, std::wstring(result.bstrVal, SysStringLen(result.bstrVal))) << c.what;
        VariantClear(&result);
    }

    // A page of another origin is refused without asking any handler.
    int asked = 0;
    view.SetScriptHandlerW([&](const std::wstring&, const std::wstring&) {
        ++asked;
        return std::wstring(L"x");
    });
    native->SetPageUrl(L"https://evil.test/page.html");
    VARIANT refused;
    VariantInit(&refused);
    EXPECT_EQ(E_ACCESSDENIED, webtest::CallJsCallCpp(dispatch.Get(), L"安装", L"", &refused));
    EXPECT_EQ(0, asked);
    EXPECT_EQ(VT_EMPTY, refused.vt);

    // Other names and argument shapes.
    LPOLESTR other = const_cast<LPOLESTR>(L"Other");
    DISPID id = 0;
    EXPECT_EQ(DISP_E_UNKNOWNNAME, dispatch->GetIDsOfNames(IID_NULL, &other, 1, 0, &id));
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    EXPECT_EQ(DISP_E_BADPARAMCOUNT,
              dispatch->Invoke(ui::WebView2Native::kDispIdJsCallCpp, IID_NULL, 0, DISPATCH_METHOD, &none, nullptr,
                               nullptr, nullptr));
    VARIANT numbers[2];
    numbers[0].vt = numbers[1].vt = VT_I4;
    numbers[0].lVal = numbers[1].lVal = 1;
    DISPPARAMS wrong{numbers, nullptr, 2, 0};
    UINT argError = 9;
    EXPECT_EQ(DISP_E_TYPEMISMATCH, dispatch->Invoke(ui::WebView2Native::kDispIdJsCallCpp, IID_NULL, 0,
                                                    DISPATCH_METHOD, &wrong, nullptr, nullptr, &argError));
    EXPECT_EQ(0u, argError);
    // The control going away leaves the object answering nothing.
    native->ClearOwner();
    native->SetPageUrl(L"https://app.example.com/page.html");
    EXPECT_EQ(E_ACCESSDENIED, webtest::CallJsCallCpp(dispatch.Get(), L"安装", L"", &refused));
}

} // namespace
