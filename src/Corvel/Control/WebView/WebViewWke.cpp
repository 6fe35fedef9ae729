// The wke engine: a browser engine DLL ("node.dll" beside the executable)
// with the wke C interface. One child browser window per control, its
// callbacks (new view, title, load finished, load failed, paint, script
// context) and the script call window.external.JsCallCpp. The engine is
// initialised while at least one web view uses it. UI thread: the engine
// calls back on it.
#include "Corvel/Control/WebView/WebView.h"

#include <shellapi.h>
#include <shlwapi.h>

#include <cstring>

#include "Corvel/Control/WebView/ScriptTexts.h"
#include "Corvel/Core/UiNetHandlers.h"
#include "Corvel/Core/WindowCore.h"

namespace ui {

namespace {

constexpr wchar_t kContextProperty[] = L"BrowserContext";
constexpr char kFunctionTypeName[] = "Function";

// The script binding record: the engine's native-object record followed
// by the control it answers for. Freed by the engine's finalize callback.
struct ScriptBinding {
    wke::JsData data;
    WebView* owner;
};

template <typename Fn>
Fn Api(wke::Export which)
{
    return wke::Engine::Get<Fn>(which);
}

// True when every export the binding calls was resolved: an engine that
// lacks one is not used (a call through an empty entry would crash).
bool HasCalledExports()
{
    bool all = true;
#define CORVEL_WKE_CHECK(name, called)                                                                 \
    if (called && !wke::Engine::Get<void*>(wke::Export::name))                                         \
        all = false;
    CORVEL_WKE_EXPORTS(CORVEL_WKE_CHECK)
#undef CORVEL_WKE_CHECK
    return all;
}

const char* TextOf(wke::String text)
{
    auto get = Api<wke::wkeGetString_t>(wke::Export::wkeGetString);
    const char* value = get && text ? get(text) : nullptr;
    return value ? value : "";
}

} // namespace

bool WebView::StartWke(const RECTF& rect)
{
    const std::wstring path = wke::Engine::DefaultDllPath();
    if (path.empty() || !PathFileExistsW(path.c_str()))
        return false;
    if (!wke::Engine::Load(path) || !HasCalledExports())
        return false;
    return CreateWkeView(rect);
}

bool WebView::CreateWkeView(const RECTF& rect)
{
    if (m_wkeView) {
        SetCreated(true);
        return true;
    }
    if (!m_wkeUser && !(m_wkeUser = wke::Engine::AddUser()))
        return false;
    const RECTF pad = GetPadding();
    const int x = static_cast<int>(rect.left + pad.left);
    const int y = static_cast<int>(rect.top + pad.top);
    const int width = static_cast<int>(rect.right) - x - static_cast<int>(pad.right);
    const int height = static_cast<int>(rect.bottom - rect.top - pad.top - pad.bottom);
    wke::WindowCreateInfo info{static_cast<int>(sizeof(wke::WindowCreateInfo)),
                               m_core ? m_core->GetWindow() : nullptr,
                               WS_CHILD,
                               0,
                               x,
                               y,
                               width,
                               height,
                               static_cast<COLORREF>(GetBkColor())};
    m_wkeView = Api<wke::wkeCreateWebCustomWindow_t>(wke::Export::wkeCreateWebCustomWindow)(&info);
    if (!m_wkeView) {
        wke::Engine::ReleaseUser();
        m_wkeUser = false;
        return false;
    }
    wke::ViewSettings settings{static_cast<int>(sizeof(wke::ViewSettings)), GetBkColor()};
    Api<wke::wkeSetViewSettings_t>(wke::Export::wkeSetViewSettings)(m_wkeView, &settings);
    if (m_dataFolder.empty())
        m_dataFolder = GetUiCacheFolder();
    Api<wke::wkeSetCookieJarPath_t>(wke::Export::wkeSetCookieJarPath)(m_wkeView, m_dataFolder.c_str());
    Api<wke::wkeSetCookieEnabled_t>(wke::Export::wkeSetCookieEnabled)(m_wkeView, m_cookiesOn);
    Api<wke::wkeSetLocalStorageFullPath_t>(wke::Export::wkeSetLocalStorageFullPath)(m_wkeView, m_dataFolder.c_str());
    Api<wke::wkeSetCspCheckEnable_t>(wke::Export::wkeSetCspCheckEnable)(m_wkeView, false);
    m_engineWindow = Api<wke::wkeGetWindowHandle_t>(wke::Export::wkeGetWindowHandle)(m_wkeView);
    if (m_engineWindow) {
        m_enginePrevProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(m_engineWindow, GWLP_WNDPROC));
        SetPropW(m_engineWindow, kContextProperty, this);
    }
    Api<wke::wkeOnCreateView_t>(wke::Export::wkeOnCreateView)(m_wkeView, &WebView::WkeOnCreateView, this);
    Api<wke::wkeOnTitleChanged_t>(wke::Export::wkeOnTitleChanged)(m_wkeView, &WebView::WkeOnTitleChanged, this);
    Api<wke::wkeOnLoadingFinish_t>(wke::Export::wkeOnLoadingFinish)(m_wkeView, &WebView::WkeOnLoadingFinish, this);
    Api<wke::wkeOnLoadUrlFail_t>(wke::Export::wkeOnLoadUrlFail)(m_wkeView, &WebView::WkeOnLoadUrlFail, this);
    Api<wke::wkeOnDidCreateScriptContext_t>(wke::Export::wkeOnDidCreateScriptContext)(
        m_wkeView, &WebView::WkeOnDidCreateScriptContext, this);
    m_wkeZoom = m_core ? m_core->GetScale() : 1.0f;
    Api<wke::wkeSetZoomFactor_t>(wke::Export::wkeSetZoomFactor)(m_wkeView, m_wkeZoom);
    if (m_core && m_core->IsLayered()) {
        Api<wke::wkeSetTransparent_t>(wke::Export::wkeSetTransparent)(m_wkeView, true);
        Api<wke::wkeOnPaintUpdated_t>(wke::Export::wkeOnPaintUpdated)(m_wkeView, &WebView::WkeOnPaintUpdated, this);
    }
    Api<wke::wkeSetDragEnable_t>(wke::Export::wkeSetDragEnable)(m_wkeView, false);
    Api<wke::wkeSetDragDropEnable_t>(wke::Export::wkeSetDragDropEnable)(m_wkeView, false);
    // Ready before the first navigation, so that it reaches this engine.
    m_wkeReady = true;
    SetCreated(true);
    if (!m_homePage.empty())
        Navigate(m_homePage.c_str());
    return true;
}

void WebView::DestroyWke()
{
    if (m_wkeView) {
        if (m_engineWindow && IsWindow(m_engineWindow)) {
            if (m_engineSubclassed)
                SetWindowLongPtrW(m_engineWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_enginePrevProc));
            RemovePropW(m_engineWindow, kContextProperty);
        }
        m_engineWindow = nullptr;
        m_enginePrevProc = nullptr;
        m_engineSubclassed = false;
        if (auto destroy = Api<wke::wkeDestroyWebWindow_t>(wke::Export::wkeDestroyWebWindow))
            destroy(m_wkeView);
        m_wkeView = nullptr;
    }
    m_wkeReady = false;
    if (m_wkeUser) {
        m_wkeUser = false;
        wke::Engine::ReleaseUser();
    }
}

// ------------------------------------------------------------- callbacks

wke::WebView __cdecl WebView::WkeOnCreateView(wke::WebView view, void*, int, wke::String url, const void*)
{
    ShellExecuteA(nullptr, "open", TextOf(url), nullptr, nullptr, SW_SHOWNORMAL);
    return view;
}

void __cdecl WebView::WkeOnTitleChanged(wke::WebView, void* param, wke::String title)
{
    auto* self = static_cast<WebView*>(param);
    if (self && self->m_handler)
        self->m_handler->TitleChanged(TextOf(title));
}

void __cdecl WebView::WkeOnLoadUrlFail(wke::WebView, void* param, const char* url, wke::NetJob)
{
    auto* self = static_cast<WebView*>(param);
    if (self && self->m_handler)
        self->m_handler->LoadUrlFailed(url ? url : "");
}

void __cdecl WebView::WkeOnLoadingFinish(wke::WebView, void* param, wke::String, int, wke::String)
{
    auto* self = static_cast<WebView*>(param);
    if (!self)
        return;
    if (self->m_engineWindow && !self->m_engineSubclassed && self->m_enginePrevProc) {
        SetWindowLongPtrW(self->m_engineWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WebView::CaptionDragWndProc));
        self->m_engineSubclassed = true;
    }
    // A failed load counts as finished too.
    self->OnLoadComplete();
}

void __cdecl WebView::WkeOnPaintUpdated(wke::WebView, void* param, HDC dc, int, int, int, int)
{
    auto* self = static_cast<WebView*>(param);
    if (!self || !self->m_surface.IsValid())
        return;
    OffscreenSurface& surface = self->m_surface;
    surface.Clear();
    self->CopyEngineContent(dc);
    self->Repaint();
}

void __cdecl WebView::WkeOnDidCreateScriptContext(wke::WebView view, void* param, wke::FrameHandle, void*, int,
                                                  int)
{
    auto* self = static_cast<WebView*>(param);
    if (!self)
        return;
    auto* binding = new ScriptBinding{};
    strncpy(binding->data.typeName, kFunctionTypeName, wke::kJsTypeNameSize - 1);
    binding->data.finalize = &WebView::WkeBindingFinalize;
    binding->data.callAsFunction = &WebView::WkeJsCallCpp;
    binding->owner = self;
    wke::ExecState es = Api<wke::wkeGlobalExec_t>(wke::Export::wkeGlobalExec)(view);
    const wke::JsValue global = Api<wke::jsGlobalObject_t>(wke::Export::jsGlobalObject)(es);
    auto get = Api<wke::jsGet_t>(wke::Export::jsGet);
    const wke::JsValue window = get(es, global, "window");
    const wke::JsValue external = get(es, window, "external");
    const wke::JsValue function = Api<wke::jsFunction_t>(wke::Export::jsFunction)(es, &binding->data);
    Api<wke::jsSet_t>(wke::Export::jsSet)(es, external, "JsCallCpp", function);
}

wke::JsValue __cdecl WebView::WkeJsCallCpp(wke::ExecState es, wke::JsValue function, wke::JsValue*, int)
{
    auto* data = Api<wke::jsGetData_t>(wke::Export::jsGetData)(es, function);
    auto* binding = reinterpret_cast<ScriptBinding*>(data);
    if (!binding || !binding->owner)
        return Api<wke::jsUndefined_t>(wke::Export::jsUndefined)();
    auto arg = Api<wke::jsArg_t>(wke::Export::jsArg);
    auto toText = Api<wke::jsToTempString_t>(wke::Export::jsToTempString);
    const char* nameText = toText(es, arg(es, 0));
    const std::string name(nameText ? nameText : "");
    const char* argsText = toText(es, arg(es, 1));
    const std::string args(argsText ? argsText : "");
    const std::string answer = binding->owner->AnswerWkeScriptCall(name, args);
    return Api<wke::jsString_t>(wke::Export::jsString)(es, answer.c_str());
}

void __cdecl WebView::WkeBindingFinalize(wke::JsData* data)
{
    delete reinterpret_cast<ScriptBinding*>(data);
}

std::string WebView::AnswerWkeScriptCall(const std::string& name, const std::string& args)
{
    if (m_scriptHandlerA)
        return m_scriptHandlerA(name, args);
    if (m_handler)
        return m_handler->JsCallCpp(this, name, args);
    return {};
}

} // namespace ui
