// The control that shows a web page inside a skinned window (markup name
// "WebView"). At its first placement it chooses an engine: the WebView2
// runtime, else the wke engine DLL beside the executable ("node.dll"), else
// the system WebBrowser control, hosted through ActiveX. Until the first page
// has loaded it shows a frame-animated loading picture (and a child named
// "loading") and keeps the engine hidden; the end of loading shows the
// engine and raises "LoadOver". Page scripts reach native code through one
// call, JsCallCpp(name, arguments) -> text. In layered windows the engine's
// content is drawn into an offscreen surface that is blended onto the
// window. UI thread; engines call back on it.
#pragma once

#include <windows.h>
#include <exdisp.h>
#include <mshtmhst.h>
#include <servprov.h>
#include <urlmon.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Corvel/Control/WebView/OffscreenSurface.h"
#include "Corvel/Control/WebView/WebBrowserEventHandler.h"
#include "Corvel/Control/WebView/WkeApi.h"
#include "Corvel/Host/ActiveX.h"

namespace Gdiplus {
class Bitmap;
}

namespace ui {

class WebView2Binding;

// Which engine a web view runs.
enum class WebEngine { kNone, kWebView2, kWke, kInternetExplorer };

class WebView : public ActiveX,
                public IDocHostUIHandler,
                public IServiceProvider,
                public IOleCommandTarget,
                public IDispatch,
                public ITranslateAccelerator,
                public IHttpSecurity {
public:
    // Control timers of the loading phase.
    static constexpr int kTimerLoadingFrame = 120;
    static constexpr int kTimerShowTimeout = 121;
    // How long the engine stays hidden at most, waiting for the first page.
    static constexpr UINT kShowTimeoutMs = 2000;
    // The show timeout after a failed resource delivery.
    static constexpr UINT kShortShowTimeoutMs = 200;
    static constexpr int kDefaultFrameIntervalMs = 500;

    WebView();
    // Destroys the engine (wke view, WebView2 objects, WebBrowser sink),
    // gives subclassed engine windows their procedures back and deletes an
    // owned handler.
    ~WebView() override;

    const wchar_t* GetClassName() const override;
    // "WebBrowser" and "ActiveX" give the control; else as a Box answers.
    void* CastTo(const wchar_t* typeName) override;
    using Control::SetBounds;
    void SetBounds(float left, float top, float right, float bottom) override;
    void SetVisible(bool show) override;
    void SetInternalVisible(bool on) override;
    // Finds the child named "loading" (any case) and marks the window core
    // as hosting native content.
    void CompleteInit() override;
    bool HandleEvent(InputEvent* event) override;
    // "homepage", "autonavi", "colorkey", "transimage", "caption",
    // "loadingimagesize", "loadingimage", "elapse"; others as ActiveX.
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void Paint(const RECTF& dirty, bool pushClip) override;
    void ReleaseHostedObject() override;
    // The engine choice; false when no engine could be made (the loading
    // phase then ends at once, as its show timeout ends it).
    bool CreateHostedObject(const RECTF& rect) override;
    HRESULT QueryHostService(REFIID riid, void** out) override;
    // Forwards a download to the handler; S_OK without one.
    virtual HRESULT OnDownloadRequest(IMoniker* moniker, IBindCtx* context, DWORD bindVerb, LONG gripSize,
                                      BINDINFO* bindInfo, LPCOLESTR headers, LPCOLESTR redirect, UINT codePage);

    // A network resource result for the control: with `ok` the engine is
    // created and the show timeout armed at 2000 ms, without it the show
    // timeout is armed at 200 ms and the WebBrowser (when there is one) goes
    // to the home page. Either way the "loading" child shows.
    void ReceiveResourceText(bool ok, int number, const wchar_t* first, const wchar_t* second);

    // Loads `url` in the active engine and restarts the loading animation;
    // null does nothing. Without an engine the loading phase ends at once.
    void Navigate(const wchar_t* url);
    // The engine reports that a page has loaded: shows the engine the first
    // time and ends the loading phase ("LoadOver").
    void OnLoadComplete();

    // Script handlers and the handler object; set before the engine is
    // created. With `owns` the control deletes the handler at destruction.
    void SetScriptHandlerA(CWebBrowserEventHandler::NarrowScriptHandler handler) { m_scriptHandlerA = std::move(handler); }
    void SetScriptHandlerW(CWebBrowserEventHandler::WideScriptHandler handler) { m_scriptHandlerW = std::move(handler); }
    void SetHandler(CWebBrowserEventHandler* handler, bool owns);
    CWebBrowserEventHandler* GetHandler() const { return m_handler; }
    // The folder the engines keep their data in; empty: the UI network cache.
    void SetDataFolder(const std::wstring& folder) { m_dataFolder = folder; }
    const std::wstring& GetDataFolder() const { return m_dataFolder; }
    void SetCookiesEnabled(bool on) { m_cookiesOn = on; }

    // What page calls of JsCallCpp get from the wke and WebView2 engines:
    // the narrow handler, the wide one and the handler object as each
    // engine's rule orders them (see the engine files). Empty when none.
    std::string AnswerWkeScriptCall(const std::string& name, const std::string& args);
    std::wstring AnswerWebView2ScriptCall(const std::wstring& name, const std::wstring& args);

    // IUnknown, shared by every COM part; never deletes the control.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDocHostUIHandler: the handler's answers, or the defaults without one.
    HRESULT STDMETHODCALLTYPE ShowContextMenu(DWORD id, POINT* point, IUnknown* target, IDispatch* object) override;
    HRESULT STDMETHODCALLTYPE GetHostInfo(DOCHOSTUIINFO* info) override;
    HRESULT STDMETHODCALLTYPE ShowUI(DWORD id, IOleInPlaceActiveObject* active, IOleCommandTarget* target,
                                     IOleInPlaceFrame* frame, IOleInPlaceUIWindow* doc) override;
    HRESULT STDMETHODCALLTYPE HideUI() override;
    HRESULT STDMETHODCALLTYPE UpdateUI() override;
    HRESULT STDMETHODCALLTYPE EnableModeless(BOOL enable) override;
    HRESULT STDMETHODCALLTYPE OnDocWindowActivate(BOOL activate) override;
    HRESULT STDMETHODCALLTYPE OnFrameWindowActivate(BOOL activate) override;
    HRESULT STDMETHODCALLTYPE ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frameWindow) override;
    HRESULT STDMETHODCALLTYPE TranslateAccelerator(LPMSG msg, const GUID* group, DWORD command) override;
    HRESULT STDMETHODCALLTYPE GetOptionKeyPath(LPOLESTR* key, DWORD reserved) override;
    HRESULT STDMETHODCALLTYPE GetDropTarget(IDropTarget* target, IDropTarget** replacement) override;
    // Always this control's IDispatch part: pages reach JsCallCpp there.
    HRESULT STDMETHODCALLTYPE GetExternal(IDispatch** external) override;
    HRESULT STDMETHODCALLTYPE TranslateUrl(DWORD translate, LPWSTR url, LPWSTR* translated) override;
    HRESULT STDMETHODCALLTYPE FilterDataObject(IDataObject* object, IDataObject** replacement) override;
    // IServiceProvider: no services.
    HRESULT STDMETHODCALLTYPE QueryService(REFGUID service, REFIID riid, void** out) override;
    // IOleCommandTarget: script errors are swallowed (no dialog).
    HRESULT STDMETHODCALLTYPE QueryStatus(const GUID* group, ULONG count, OLECMD* commands, OLECMDTEXT* text) override;
    HRESULT STDMETHODCALLTYPE Exec(const GUID* group, DWORD command, DWORD options, VARIANT* in,
                                   VARIANT* out) override;
    // IDispatch: the DWebBrowserEvents2 sink and the page's external object.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID locale,
                                            DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID riid, LCID locale, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* exception, UINT* argError) override;
    // IHttpSecurity
    HRESULT STDMETHODCALLTYPE GetWindow(REFGUID reason, HWND* window) override;
    HRESULT STDMETHODCALLTYPE OnSecurityProblem(DWORD problem) override;
    // ITranslateAccelerator: F5 is swallowed while the focus is inside the
    // control's window, other keys go to the WebBrowser.
    LRESULT TranslateKeyMessage(MSG* msg) override;

    // State, for the engines and tests.
    WebEngine GetEngine() const;
    bool IsPageLoaded() const { return m_pageLoaded; }
    bool IsFirstShow() const { return m_firstShow; }
    bool IsLoadingPictureOn() const { return m_loadingPictureOn; }
    int GetLoadingFrameCount() const { return static_cast<int>(m_loadingFrames.size()); }
    int GetLoadingFrameIndex() const { return m_loadingFrameIndex; }
    // The sizes of the loaded frames, in order.
    std::vector<SIZE> GetLoadingFrameSizes() const;
    RECT GetLoadingRect() const { return m_loadingRect; }
    UINT GetLoadingInterval() const { return static_cast<UINT>(m_loadingInterval); }
    RECT GetCaptionRect() const { return m_caption; }
    const std::wstring& GetHomePage() const { return m_homePage; }
    bool IsAutoNavigate() const { return m_autoNavigate; }
    bool IsColorKeyOn() const { return m_colorKeyOn; }
    uint32_t GetColorKey() const { return m_colorKey; }
    Control* GetLoadingChild() const { return m_loadingChild; }
    IWebBrowser2* GetWebBrowser() const { return m_webBrowser.Get(); }
    wke::WebView GetWkeView() const { return m_wkeView; }
    HWND GetEngineWindow() const { return m_engineWindow; }
    const OffscreenSurface& GetSurface() const { return m_surface; }
    float GetWkeZoom() const { return m_wkeZoom; }
    ULONG GetComRefCountForTesting() const { return static_cast<ULONG>(m_comRefs); }
    WebView2Binding* GetWebView2Binding() const { return m_webView2.get(); }

    // The shared subclass procedure of the engine windows: a left press in
    // the caption strip drags the host window.
    static LRESULT CALLBACK CaptionDragWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

private:
    friend class WebView2Binding;
    // Engines (WebViewWke.cpp, WebViewIE.cpp).
    bool StartWke(const RECTF& rect);
    bool CreateWkeView(const RECTF& rect);
    void DestroyWke();
    bool StartInternetExplorer(const RECTF& rect);
    HRESULT ConnectEventSink(bool connect);
    void OnNavigateComplete2(DISPPARAMS* params);
    void OnDocumentComplete(DISPPARAMS* params);
    void SubclassServerWindow();
    void SubclassHiddenWindow();
    void RestoreSubclassedWindows();
    HRESULT OnScriptError(VARIANT* in, VARIANT* out);
    void PaintLayeredInternetExplorer();
    void DrawCaret(HDC dc);
    static LRESULT CALLBACK HiddenWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // wke callbacks.
    static wke::WebView __cdecl WkeOnCreateView(wke::WebView view, void* param, int type, wke::String url,
                                                const void* features);
    static void __cdecl WkeOnTitleChanged(wke::WebView view, void* param, wke::String title);
    static void __cdecl WkeOnLoadingFinish(wke::WebView view, void* param, wke::String url, int result,
                                           wke::String reason);
    static void __cdecl WkeOnLoadUrlFail(wke::WebView view, void* param, const char* url, wke::NetJob job);
    static void __cdecl WkeOnPaintUpdated(wke::WebView view, void* param, HDC dc, int x, int y, int cx, int cy);
    static void __cdecl WkeOnDidCreateScriptContext(wke::WebView view, void* param, wke::FrameHandle frame,
                                                    void* context, int group, int world);
    static wke::JsValue __cdecl WkeJsCallCpp(wke::ExecState es, wke::JsValue function, wke::JsValue* args,
                                             int count);
    static void __cdecl WkeBindingFinalize(wke::JsData* data);

    // Loading phase (WebView.cpp).
    void SetLoadingFrames(const wchar_t* prefix, int count);
    void LoadLoadingFrames();
    // Shows the engine the first time it is allowed to show.
    void ShowEngineFirstTime(bool fromTimeout);
    // Hides the "loading" child, stops both timers and raises "LoadOver".
    void EndLoadingPhase();
    // The engine could not be made: the loading phase ends for good.
    void EndWithoutEngine();
    void RestartTimer(int key, UINT elapse);
    void PlaceEngine();
    void RebuildSurface();
    void PaintLoadingFrame();
    void BlendSurface(HDC target);
    // Blends the engine's picture (from its top-left corner) over the whole
    // offscreen surface.
    void CopyEngineContent(HDC source);
    void ShowEngine(bool show);
    void ParseCaption(const wchar_t* value);

    RECT m_caption{0, 0, 0, 0};
    bool m_wkeReady = false;
    bool m_pageLoaded = false;
    bool m_loadingPictureOn = false;
    float m_wkeZoom = 1.0f;
    wke::WebView m_wkeView = nullptr;
    bool m_wkeUser = false; // this control counts as a user of the engine
    Microsoft::WRL::ComPtr<IWebBrowser2> m_webBrowser;
    DWORD m_sinkCookie = 0;
    bool m_sinkConnected = false;
    bool m_acceleratorAdded = false;
    std::wstring m_homePage;
    bool m_autoNavigate = false;
    HWND m_hiddenWindow = nullptr;
    WNDPROC m_hiddenPrevProc = nullptr;
    HWND m_engineWindow = nullptr;
    WNDPROC m_enginePrevProc = nullptr;
    bool m_engineSubclassed = false;
    OffscreenSurface m_surface;
    bool m_colorKeyOn = false;
    uint32_t m_colorKey = 0xFFFFFFFFu;
    std::unique_ptr<Gdiplus::Bitmap> m_transImage;
    bool m_firstShow = true;
    bool m_cookiesOn = true;
    int m_loadingFrameCount = 0;
    int m_loadingFrameIndex = 0;
    int m_loadingInterval = kDefaultFrameIntervalMs;
    RECT m_loadingRect{0, 0, 0, 0};
    std::wstring m_loadingImagePrefix;
    std::vector<std::unique_ptr<Gdiplus::Bitmap>> m_loadingFrames;
    std::wstring m_dataFolder;
    CWebBrowserEventHandler::NarrowScriptHandler m_scriptHandlerA;
    CWebBrowserEventHandler::WideScriptHandler m_scriptHandlerW;
    bool m_ownsHandler = true;
    CWebBrowserEventHandler* m_handler = nullptr;
    std::unique_ptr<WebView2Binding> m_webView2;
    Control* m_loadingChild = nullptr;
    bool m_engineFailed = false;
    volatile LONG m_comRefs = 0;
};

} // namespace ui
