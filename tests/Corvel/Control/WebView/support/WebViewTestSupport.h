// Helpers of the web view tests: a window holding one web view placed
// directly (a float position, so no relayout moves a live engine window),
// the log of its notifications, and loading-picture files.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "Corvel/Control/WebView/WebView.h"
#include "Corvel/Control/support/MarkupWindow.h"
#include "Corvel/Core/support/TestWindow.h"

namespace webtest {

// The Internet Explorer engine's class (the Wine prefix has the control,
// without a rendering engine).
constexpr wchar_t kWebBrowserClsid[] = L"{8856F961-340A-11D0-A96B-00C04FD705A2}";
// A class nobody registered: the WebBrowser path cannot make it.
constexpr wchar_t kUnregisteredClsid[] = L"{00000000-1111-2222-3333-444444444444}";

// A popup of 320 x 240 whose root box holds `view` at (20, 10) sized
// 200 x 150 with padding 5, shown without activation and painted once.
// With `layered` the core presents it as a layered window.
// A page's call of window.external.JsCallCpp(name, args) (or of a host
// object's) as the engine makes it: the name through GetIDsOfNames, the
// arguments last first.
HRESULT CallJsCallCpp(IDispatch* object, const std::wstring& name, const std::wstring& args, VARIANT* result);

struct WebViewWindow {
    explicit WebViewWindow(ui::WebView* view, bool layered = false, ui::Control* extra = nullptr);
    ~WebViewWindow();
    int Count(const wchar_t* type) const { return static_cast<int>(log.OfType(type).size()); }

    testsupport::TestWindow win;
    controltest::NotifyLog log;
    ui::WebView* view;
};

// Writes `count` frames named prefix1.png .. prefixN.png (except the ones
// `skip` names, 1-based), each a solid picture of its own size
// (10 + 2 * index square) into `folder`.
void WriteLoadingFrames(controltest::ImageFolder& folder, const std::wstring& prefix, int count, int skip = 0);

} // namespace webtest
