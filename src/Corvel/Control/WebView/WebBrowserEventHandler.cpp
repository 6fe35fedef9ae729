#include "Corvel/Control/WebView/WebBrowserEventHandler.h"

#include <shellapi.h>

#include "Corvel/Control/WebView/ScriptTexts.h"

namespace ui {

namespace {

// GetHostInfo's answer: no help menu, no 3-D borders, no scroll bars.
constexpr DWORD kHostInfoFlags = DOCHOSTUIFLAG_DISABLE_HELP_MENU | DOCHOSTUIFLAG_NO3DBORDER |
                                 DOCHOSTUIFLAG_SCROLL_NO | DOCHOSTUIFLAG_NO3DOUTERBORDER;
static_assert(kHostInfoFlags == 0x20000E, "the document host flags the engine is given");

} // namespace

void CWebBrowserEventHandler::NewWindow3(IDispatch** newBrowser, VARIANT_BOOL* cancel, DWORD flags,
                                         BSTR contextUrl, BSTR url)
{
    if (url)
        ShellExecuteW(nullptr, L"open", url, nullptr, nullptr, SW_SHOWNORMAL);
    if (cancel)
        *cancel = VARIANT_TRUE;
}

HRESULT CWebBrowserEventHandler::GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids)
{
    if (!names || !ids || count == 0)
        return E_NOTIMPL;
    if (names[0] && wcscmp(names[0], kJsCallCppName) == 0) {
        ids[0] = kDispIdJsCallCpp;
        return S_OK;
    }
    return E_NOTIMPL;
}

HRESULT CWebBrowserEventHandler::Invoke(WebView* view, DISPID id, REFIID riid, LCID locale, WORD flags,
                                        DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception, UINT* argError)
{
    if (id != kDispIdJsCallCpp)
        return DISP_E_MEMBERNOTFOUND;
    // Script arguments arrive last first: rgvarg[count - 1] is the name.
    if (!params || params->cArgs < 2)
        return S_OK;
    const VARIANT& nameArg = params->rgvarg[params->cArgs - 1];
    const VARIANT& textArg = params->rgvarg[params->cArgs - 2];
    if (nameArg.vt != VT_BSTR || textArg.vt != VT_BSTR || !nameArg.bstrVal || !textArg.bstrVal)
        return S_OK;
    const std::wstring name(nameArg.bstrVal, SysStringLen(nameArg.bstrVal));
    const std::wstring args(textArg.bstrVal, SysStringLen(textArg.bstrVal));
    std::wstring answer;
    if (scriptHandlerW)
        answer = scriptHandlerW(name, args);
    else if (scriptHandlerA)
        answer = Utf8ToWide(scriptHandlerA(WideToUtf8(name), WideToUtf8(args)));
    else
        answer = AnsiToWide(JsCallCpp(view, WideToAnsi(name), WideToAnsi(args)));
    if (!answer.empty() && result) {
        VariantClear(result);
        result->vt = VT_BSTR;
        result->bstrVal = SysAllocStringLen(answer.data(), static_cast<UINT>(answer.size()));
    }
    return S_OK;
}

HRESULT CWebBrowserEventHandler::GetHostInfo(DOCHOSTUIINFO* info)
{
    if (info) {
        info->cbSize = sizeof(DOCHOSTUIINFO);
        info->dwFlags = kHostInfoFlags;
        info->dwDoubleClick = DOCHOSTUIDBLCLK_DEFAULT;
    }
    return S_OK;
}

HRESULT CWebBrowserEventHandler::GetOptionKeyPath(LPOLESTR* key, DWORD reserved)
{
    if (key)
        *key = nullptr;
    return S_OK;
}

HRESULT CWebBrowserEventHandler::GetDropTarget(IDropTarget* target, IDropTarget** replacement)
{
    if (replacement)
        *replacement = nullptr;
    return S_OK;
}

HRESULT CWebBrowserEventHandler::GetExternal(IDispatch** external)
{
    if (external)
        *external = nullptr;
    return E_NOTIMPL;
}

HRESULT CWebBrowserEventHandler::TranslateUrl(DWORD translate, LPWSTR url, LPWSTR* translated)
{
    if (translated)
        *translated = nullptr;
    return S_OK;
}

HRESULT CWebBrowserEventHandler::FilterDataObject(IDataObject* object, IDataObject** replacement)
{
    if (replacement)
        *replacement = nullptr;
    return S_OK;
}

} // namespace ui
