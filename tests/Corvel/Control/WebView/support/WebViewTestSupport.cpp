#include "Corvel/Control/WebView/support/WebViewTestSupport.h"

namespace webtest {

HRESULT CallJsCallCpp(IDispatch* object, const std::wstring& name, const std::wstring& args, VARIANT* result)
{
    LPOLESTR method = const_cast<LPOLESTR>(L"JsCallCpp");
    DISPID id = 0;
    HRESULT hr = object->GetIDsOfNames(IID_NULL, &method, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr))
        return hr;
    VARIANT argv[2];
    argv[0].vt = VT_BSTR;
    argv[0].bstrVal = SysAllocString(args.c_str());
    argv[1].vt = VT_BSTR;
    argv[1].bstrVal = SysAllocString(name.c_str());
    DISPPARAMS params{argv, nullptr, 2, 0};
    hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, result, nullptr, nullptr);
    VariantClear(&argv[0]);
    VariantClear(&argv[1]);
    return hr;
}

WebViewWindow::WebViewWindow(ui::WebView* v, bool layered, ui::Control* extra) : view(v)
{
    auto* root = new ui::Box();
    root->SetBkColor(0xFFFFFFFFu);
    view->SetAttribute(L"float", L"true");
    view->SetAttribute(L"pos", L"20,10,200,150");
    view->SetAttribute(L"padding", L"5,5,5,5");
    // A layered window turns layered at its first paint; an engine's child
    // window must not exist yet then (Wine ends on an X error), so the view
    // joins a layered window once it is painted.
    if (!layered)
        root->AppendChild(view);
    if (extra)
        root->AppendChild(extra);
    win.root = root;
    win.core.SetLayered(layered);
    win.core.AddNotifyListener(&log);
    EXPECT_NE(nullptr, win.CreatePopup(320, 240, nullptr, 0, 40, 40));
    EXPECT_TRUE(testsupport::ShowAndPaint(win));
    if (layered) {
        root->AppendChild(view);
        EXPECT_TRUE(testsupport::PumpUntil([this] { return view->IsPlaced() && testsupport::IsPainted(win); }));
    }
}

WebViewWindow::~WebViewWindow() { win.core.RemoveNotifyListener(&log); }

void WriteLoadingFrames(controltest::ImageFolder& folder, const std::wstring& prefix, int count, int skip)
{
    for (int i = 1; i <= count; ++i) {
        if (i == skip)
            continue;
        const int side = 10 + 2 * i;
        testsupport::ArgbImage image(side, side, 0xFF000000u | static_cast<uint32_t>(0x202020 * i));
        EXPECT_TRUE(folder.Add((prefix + std::to_wstring(i) + L".png").c_str(), image));
    }
}

} // namespace webtest
