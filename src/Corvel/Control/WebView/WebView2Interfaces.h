// The parts of the WebView2 runtime's published COM interfaces that the
// web view's WebView2 engine calls or implements, declared from the
// runtime's interface definitions: the loader's two entry points, the
// environment and its options, the controller, the core web view, its
// settings, the web resource request and response, the event arguments and
// the completion and event handlers. Every interface keeps the runtime's
// member order up to the last member used here (later members may be
// missing; nothing past them is called). The IIDs are the runtime's.
#pragma once

#include <windows.h>
#include <eventtoken.h>
#include <objidl.h>
#include <oaidl.h>

struct ICoreWebView2;
struct ICoreWebView2Controller;
struct ICoreWebView2Environment;
struct ICoreWebView2Settings;
struct ICoreWebView2WebResourceResponse;
struct ICoreWebView2WebResourceRequest;

// Resource contexts of AddWebResourceRequestedFilter.
enum COREWEBVIEW2_WEB_RESOURCE_CONTEXT {
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_ALL = 0,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_XML_HTTP_REQUEST = 7,
    COREWEBVIEW2_WEB_RESOURCE_CONTEXT_FETCH = 8,
};

enum COREWEBVIEW2_KEY_EVENT_KIND {
    COREWEBVIEW2_KEY_EVENT_KIND_KEY_DOWN = 0,
    COREWEBVIEW2_KEY_EVENT_KIND_KEY_UP = 1,
    COREWEBVIEW2_KEY_EVENT_KIND_SYSTEM_KEY_DOWN = 2,
    COREWEBVIEW2_KEY_EVENT_KIND_SYSTEM_KEY_UP = 3,
};

struct COREWEBVIEW2_COLOR {
    BYTE A;
    BYTE R;
    BYTE G;
    BYTE B;
};

struct COREWEBVIEW2_PHYSICAL_KEY_STATUS {
    UINT32 RepeatCount;
    UINT32 ScanCode;
    BOOL IsExtendedKey;
    BOOL IsMenuKeyDown;
    BOOL WasKeyDown;
    BOOL IsKeyReleased;
};

// ------------------------------------------------------------- handlers

struct ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Invoke(HRESULT errorCode, ICoreWebView2Environment* environment) = 0;
};

struct ICoreWebView2CreateCoreWebView2ControllerCompletedHandler : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Invoke(HRESULT errorCode, ICoreWebView2Controller* controller) = 0;
};

struct ICoreWebView2WebMessageReceivedEventArgs : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Source(LPWSTR* source) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_WebMessageAsJson(LPWSTR* json) = 0;
    virtual HRESULT STDMETHODCALLTYPE TryGetWebMessageAsString(LPWSTR* text) = 0;
};

struct ICoreWebView2WebMessageReceivedEventHandler : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2* sender, ICoreWebView2WebMessageReceivedEventArgs* args) = 0;
};

struct ICoreWebView2WebResourceRequestedEventArgs : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Request(ICoreWebView2WebResourceRequest** request) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Response(ICoreWebView2WebResourceResponse** response) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Response(ICoreWebView2WebResourceResponse* response) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDeferral(IUnknown** deferral) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ResourceContext(COREWEBVIEW2_WEB_RESOURCE_CONTEXT* context) = 0;
};

struct ICoreWebView2WebResourceRequestedEventHandler : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2* sender, ICoreWebView2WebResourceRequestedEventArgs* args) = 0;
};

struct ICoreWebView2NavigationCompletedEventArgs : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_IsSuccess(BOOL* success) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_WebErrorStatus(int* status) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_NavigationId(UINT64* id) = 0;
};

struct ICoreWebView2NavigationCompletedEventHandler : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2* sender, ICoreWebView2NavigationCompletedEventArgs* args) = 0;
};

struct ICoreWebView2AcceleratorKeyPressedEventArgs : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_KeyEventKind(COREWEBVIEW2_KEY_EVENT_KIND* kind) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_VirtualKey(UINT* key) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_KeyEventLParam(INT* lParam) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_PhysicalKeyStatus(COREWEBVIEW2_PHYSICAL_KEY_STATUS* status) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Handled(BOOL* handled) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Handled(BOOL handled) = 0;
};

struct ICoreWebView2AcceleratorKeyPressedEventHandler : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE Invoke(ICoreWebView2Controller* sender,
                                             ICoreWebView2AcceleratorKeyPressedEventArgs* args) = 0;
};

// ------------------------------------------------------------- web resources

struct ICoreWebView2WebResourceRequest : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Uri(LPWSTR* uri) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Uri(LPCWSTR uri) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Method(LPWSTR* method) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Method(LPCWSTR method) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Content(IStream** content) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Content(IStream* content) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Headers(IUnknown** headers) = 0;
};

struct ICoreWebView2WebResourceResponse : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Content(IStream** content) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Content(IStream* content) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Headers(IUnknown** headers) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_StatusCode(int* status) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_StatusCode(int status) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ReasonPhrase(LPWSTR* reason) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ReasonPhrase(LPCWSTR reason) = 0;
};

// ------------------------------------------------------------- environment

struct ICoreWebView2EnvironmentOptions : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_AdditionalBrowserArguments(LPWSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_AdditionalBrowserArguments(LPCWSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Language(LPWSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Language(LPCWSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_TargetCompatibleBrowserVersion(LPWSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_TargetCompatibleBrowserVersion(LPCWSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_AllowSingleSignOnUsingOSPrimaryAccount(BOOL* allow) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_AllowSingleSignOnUsingOSPrimaryAccount(BOOL allow) = 0;
};

struct ICoreWebView2Environment : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE CreateCoreWebView2Controller(
        HWND parentWindow, ICoreWebView2CreateCoreWebView2ControllerCompletedHandler* handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateWebResourceResponse(IStream* content, int statusCode,
                                                                LPCWSTR reasonPhrase, LPCWSTR headers,
                                                                ICoreWebView2WebResourceResponse** response) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_BrowserVersionString(LPWSTR* version) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_NewBrowserVersionAvailable(IUnknown* handler,
                                                                     EventRegistrationToken* token) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_NewBrowserVersionAvailable(EventRegistrationToken token) = 0;
};

// ------------------------------------------------------------- controller

struct ICoreWebView2Controller : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_IsVisible(BOOL* visible) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsVisible(BOOL visible) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Bounds(RECT* bounds) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Bounds(RECT bounds) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ZoomFactor(double* zoom) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ZoomFactor(double zoom) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_ZoomFactorChanged(IUnknown* handler, EventRegistrationToken* token) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_ZoomFactorChanged(EventRegistrationToken token) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetBoundsAndZoomFactor(RECT bounds, double zoom) = 0;
    virtual HRESULT STDMETHODCALLTYPE MoveFocus(int reason) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_MoveFocusRequested(IUnknown* handler, EventRegistrationToken* token) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_MoveFocusRequested(EventRegistrationToken token) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_GotFocus(IUnknown* handler, EventRegistrationToken* token) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_GotFocus(EventRegistrationToken token) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_LostFocus(IUnknown* handler, EventRegistrationToken* token) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_LostFocus(EventRegistrationToken token) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_AcceleratorKeyPressed(ICoreWebView2AcceleratorKeyPressedEventHandler* handler,
                                                                EventRegistrationToken* token) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_AcceleratorKeyPressed(EventRegistrationToken token) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ParentWindow(HWND* window) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_ParentWindow(HWND window) = 0;
    virtual HRESULT STDMETHODCALLTYPE NotifyParentWindowPositionChanged() = 0;
    virtual HRESULT STDMETHODCALLTYPE Close() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CoreWebView2(ICoreWebView2** webView) = 0;
};

struct ICoreWebView2Controller2 : ICoreWebView2Controller {
    virtual HRESULT STDMETHODCALLTYPE get_DefaultBackgroundColor(COREWEBVIEW2_COLOR* color) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_DefaultBackgroundColor(COREWEBVIEW2_COLOR color) = 0;
};

// ------------------------------------------------------------- settings

struct ICoreWebView2Settings : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_IsScriptEnabled(BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsScriptEnabled(BOOL value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsWebMessageEnabled(BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsWebMessageEnabled(BOOL value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_AreDefaultScriptDialogsEnabled(BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_AreDefaultScriptDialogsEnabled(BOOL value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsStatusBarEnabled(BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsStatusBarEnabled(BOOL value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_AreDevToolsEnabled(BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_AreDevToolsEnabled(BOOL value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_AreDefaultContextMenusEnabled(BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_AreDefaultContextMenusEnabled(BOOL value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_AreHostObjectsAllowed(BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_AreHostObjectsAllowed(BOOL value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsZoomControlEnabled(BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsZoomControlEnabled(BOOL value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsBuiltInErrorPageEnabled(BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsBuiltInErrorPageEnabled(BOOL value) = 0;
};

struct ICoreWebView2Settings2 : ICoreWebView2Settings {
    virtual HRESULT STDMETHODCALLTYPE get_UserAgent(LPWSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_UserAgent(LPCWSTR value) = 0;
};

struct ICoreWebView2Settings3 : ICoreWebView2Settings2 {
    virtual HRESULT STDMETHODCALLTYPE get_AreBrowserAcceleratorKeysEnabled(BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_AreBrowserAcceleratorKeysEnabled(BOOL value) = 0;
};

struct ICoreWebView2Settings4 : ICoreWebView2Settings3 {
    virtual HRESULT STDMETHODCALLTYPE get_IsPasswordAutosaveEnabled(BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsPasswordAutosaveEnabled(BOOL value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_IsGeneralAutofillEnabled(BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsGeneralAutofillEnabled(BOOL value) = 0;
};

struct ICoreWebView2Settings5 : ICoreWebView2Settings4 {
    virtual HRESULT STDMETHODCALLTYPE get_IsPinchZoomEnabled(BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsPinchZoomEnabled(BOOL value) = 0;
};

struct ICoreWebView2Settings6 : ICoreWebView2Settings5 {
    virtual HRESULT STDMETHODCALLTYPE get_IsSwipeNavigationEnabled(BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsSwipeNavigationEnabled(BOOL value) = 0;
};

struct ICoreWebView2Settings7 : ICoreWebView2Settings6 {
    virtual HRESULT STDMETHODCALLTYPE get_HiddenPdfToolbarItems(int* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_HiddenPdfToolbarItems(int value) = 0;
};

struct ICoreWebView2Settings8 : ICoreWebView2Settings7 {
    virtual HRESULT STDMETHODCALLTYPE get_IsReputationCheckingRequired(BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsReputationCheckingRequired(BOOL value) = 0;
};

struct ICoreWebView2Settings9 : ICoreWebView2Settings8 {
    virtual HRESULT STDMETHODCALLTYPE get_IsNonClientRegionSupportEnabled(BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_IsNonClientRegionSupportEnabled(BOOL value) = 0;
};

// ------------------------------------------------------------- web view

struct ICoreWebView2 : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Settings(ICoreWebView2Settings** settings) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Source(LPWSTR* uri) = 0;
    virtual HRESULT STDMETHODCALLTYPE Navigate(LPCWSTR uri) = 0;
    virtual HRESULT STDMETHODCALLTYPE NavigateToString(LPCWSTR html) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_NavigationStarting(IUnknown* handler, EventRegistrationToken* token) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_NavigationStarting(EventRegistrationToken token) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_ContentLoading(IUnknown* handler, EventRegistrationToken* token) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_ContentLoading(EventRegistrationToken token) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_SourceChanged(IUnknown* handler, EventRegistrationToken* token) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_SourceChanged(EventRegistrationToken token) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_HistoryChanged(IUnknown* handler, EventRegistrationToken* token) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_HistoryChanged(EventRegistrationToken token) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_NavigationCompleted(ICoreWebView2NavigationCompletedEventHandler* handler,
                                                              EventRegistrationToken* token) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_NavigationCompleted(EventRegistrationToken token) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_FrameNavigationStarting(IUnknown* handler, EventRegistrationToken* token) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_FrameNavigationStarting(EventRegistrationToken token) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_FrameNavigationCompleted(IUnknown* handler,
                                                                   EventRegistrationToken* token) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_FrameNavigationCompleted(EventRegistrationToken token) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_ScriptDialogOpening(IUnknown* handler, EventRegistrationToken* token) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_ScriptDialogOpening(EventRegistrationToken token) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_PermissionRequested(IUnknown* handler, EventRegistrationToken* token) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_PermissionRequested(EventRegistrationToken token) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_ProcessFailed(IUnknown* handler, EventRegistrationToken* token) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_ProcessFailed(EventRegistrationToken token) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddScriptToExecuteOnDocumentCreated(LPCWSTR script, IUnknown* handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveScriptToExecuteOnDocumentCreated(LPCWSTR id) = 0;
    virtual HRESULT STDMETHODCALLTYPE ExecuteScript(LPCWSTR script, IUnknown* handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE CapturePreview(int format, IStream* stream, IUnknown* handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reload() = 0;
    virtual HRESULT STDMETHODCALLTYPE PostWebMessageAsJson(LPCWSTR json) = 0;
    virtual HRESULT STDMETHODCALLTYPE PostWebMessageAsString(LPCWSTR text) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_WebMessageReceived(ICoreWebView2WebMessageReceivedEventHandler* handler,
                                                             EventRegistrationToken* token) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_WebMessageReceived(EventRegistrationToken token) = 0;
    virtual HRESULT STDMETHODCALLTYPE CallDevToolsProtocolMethod(LPCWSTR method, LPCWSTR parametersAsJson,
                                                                 IUnknown* handler) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_BrowserProcessId(UINT32* id) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CanGoBack(BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CanGoForward(BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GoBack() = 0;
    virtual HRESULT STDMETHODCALLTYPE GoForward() = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDevToolsProtocolEventReceiver(LPCWSTR eventName, IUnknown** receiver) = 0;
    virtual HRESULT STDMETHODCALLTYPE Stop() = 0;
    virtual HRESULT STDMETHODCALLTYPE add_NewWindowRequested(IUnknown* handler, EventRegistrationToken* token) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_NewWindowRequested(EventRegistrationToken token) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_DocumentTitleChanged(IUnknown* handler, EventRegistrationToken* token) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_DocumentTitleChanged(EventRegistrationToken token) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_DocumentTitle(LPWSTR* title) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddHostObjectToScript(LPCWSTR name, VARIANT* object) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveHostObjectFromScript(LPCWSTR name) = 0;
    virtual HRESULT STDMETHODCALLTYPE OpenDevToolsWindow() = 0;
    virtual HRESULT STDMETHODCALLTYPE add_ContainsFullScreenElementChanged(IUnknown* handler,
                                                                           EventRegistrationToken* token) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_ContainsFullScreenElementChanged(EventRegistrationToken token) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ContainsFullScreenElement(BOOL* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_WebResourceRequested(ICoreWebView2WebResourceRequestedEventHandler* handler,
                                                               EventRegistrationToken* token) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_WebResourceRequested(EventRegistrationToken token) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddWebResourceRequestedFilter(LPCWSTR uri,
                                                                    COREWEBVIEW2_WEB_RESOURCE_CONTEXT context) = 0;
    virtual HRESULT STDMETHODCALLTYPE RemoveWebResourceRequestedFilter(LPCWSTR uri,
                                                                       COREWEBVIEW2_WEB_RESOURCE_CONTEXT context) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_WindowCloseRequested(IUnknown* handler, EventRegistrationToken* token) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_WindowCloseRequested(EventRegistrationToken token) = 0;
};

struct ICoreWebView2_2 : ICoreWebView2 {
    virtual HRESULT STDMETHODCALLTYPE add_WebResourceResponseReceived(IUnknown* handler,
                                                                      EventRegistrationToken* token) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_WebResourceResponseReceived(EventRegistrationToken token) = 0;
    virtual HRESULT STDMETHODCALLTYPE NavigateWithWebResourceRequest(ICoreWebView2WebResourceRequest* request) = 0;
    virtual HRESULT STDMETHODCALLTYPE add_DOMContentLoaded(IUnknown* handler, EventRegistrationToken* token) = 0;
    virtual HRESULT STDMETHODCALLTYPE remove_DOMContentLoaded(EventRegistrationToken token) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CookieManager(IUnknown** manager) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Environment(ICoreWebView2Environment** environment) = 0;
};

// ------------------------------------------------------------- IIDs

__CRT_UUID_DECL(ICoreWebView2Environment, 0xb96d755e, 0x0319, 0x4e92, 0xa2,0x96,0x23,0x43,0x6f,0x46,0xa1,0xfc)
__CRT_UUID_DECL(ICoreWebView2EnvironmentOptions, 0x2fde08a8, 0x1e9a, 0x4766, 0x8c,0x05,0x95,0xa9,0xce,0xb9,0xd1,0xc5)
__CRT_UUID_DECL(ICoreWebView2Controller, 0x4d00c0d1, 0x9434, 0x4eb6, 0x80,0x78,0x86,0x97,0xa5,0x60,0x33,0x4f)
__CRT_UUID_DECL(ICoreWebView2Controller2, 0xc979903e, 0xd4ca, 0x4228, 0x92,0xeb,0x47,0xee,0x3f,0xa9,0x6e,0xab)
__CRT_UUID_DECL(ICoreWebView2, 0x76eceacb, 0x0462, 0x4d94, 0xac,0x83,0x42,0x3a,0x67,0x93,0x77,0x5e)
__CRT_UUID_DECL(ICoreWebView2_2, 0x9e8f0cf8, 0xe670, 0x4b5e, 0xb2,0xbc,0x73,0xe0,0x61,0xe3,0x18,0x4c)
__CRT_UUID_DECL(ICoreWebView2Settings, 0xe562e4f0, 0xd7fa, 0x43ac, 0x8d,0x71,0xc0,0x51,0x50,0x49,0x9f,0x00)
__CRT_UUID_DECL(ICoreWebView2Settings2, 0xee9a0f68, 0xf46c, 0x4e32, 0xac,0x23,0xef,0x8c,0xac,0x22,0x4d,0x2a)
__CRT_UUID_DECL(ICoreWebView2Settings3, 0xfdb5ab74, 0xaf33, 0x4854, 0x84,0xf0,0x0a,0x63,0x1d,0xeb,0x5e,0xba)
__CRT_UUID_DECL(ICoreWebView2Settings4, 0xcb56846c, 0x4168, 0x4d53, 0xb0,0x4f,0x03,0xb6,0xd6,0x79,0x6f,0xf2)
__CRT_UUID_DECL(ICoreWebView2Settings5, 0x183e7052, 0x1d03, 0x43a0, 0xab,0x99,0x98,0xe0,0x43,0xb6,0x6b,0x39)
__CRT_UUID_DECL(ICoreWebView2Settings6, 0x11cb3acd, 0x9bc8, 0x43b8, 0x83,0xbf,0xf4,0x07,0x53,0x71,0x4f,0x87)
__CRT_UUID_DECL(ICoreWebView2Settings7, 0x488dc902, 0x35ef, 0x42d2, 0xbc,0x7d,0x94,0xb6,0x5c,0x4b,0xc4,0x9c)
__CRT_UUID_DECL(ICoreWebView2Settings8, 0x9e6b0e8f, 0x86ad, 0x4e81, 0x81,0x47,0xa9,0xb5,0xed,0xb6,0x86,0x50)
__CRT_UUID_DECL(ICoreWebView2Settings9, 0x0528a73b, 0xe92d, 0x49f4, 0x92,0x7a,0xe5,0x47,0xdd,0xda,0xa3,0x7d)
__CRT_UUID_DECL(ICoreWebView2WebMessageReceivedEventArgs, 0x0f99a40c, 0xe962, 0x4207, 0x9e,0x92,0xe3,0xd5,0x42,0xef,0xf8,0x49)
__CRT_UUID_DECL(ICoreWebView2WebResourceRequestedEventArgs, 0x453e667f, 0x12c7, 0x49d4, 0xbe,0x6d,0xdd,0xbe,0x79,0x56,0xf5,0x7a)
__CRT_UUID_DECL(ICoreWebView2WebResourceRequest, 0x97055cd4, 0x512c, 0x4264, 0x8b,0x5f,0xe3,0xf4,0x46,0xce,0xa6,0xa5)
__CRT_UUID_DECL(ICoreWebView2WebResourceResponse, 0xaafcc94f, 0xfa27, 0x48fd, 0x97,0xdf,0x83,0x0e,0xf7,0x5a,0xae,0xc9)
__CRT_UUID_DECL(ICoreWebView2NavigationCompletedEventArgs, 0x30d68b7d, 0x20d9, 0x4752, 0xa9,0xca,0xec,0x84,0x48,0xfb,0xb5,0xc1)
__CRT_UUID_DECL(ICoreWebView2AcceleratorKeyPressedEventArgs, 0x9f760f8a, 0xfb79, 0x42be, 0x99,0x90,0x7b,0x56,0x90,0x0f,0xa9,0xc7)
__CRT_UUID_DECL(ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler, 0x4e8a3389, 0xc9d8, 0x4bd2, 0xb6,0xb5,0x12,0x4f,0xee,0x6c,0xc1,0x4d)
__CRT_UUID_DECL(ICoreWebView2CreateCoreWebView2ControllerCompletedHandler, 0x6c4819f3, 0xc9b7, 0x4260, 0x81,0x27,0xc9,0xf5,0xbd,0xe7,0xf6,0x8c)
__CRT_UUID_DECL(ICoreWebView2WebMessageReceivedEventHandler, 0x57213f19, 0x00e6, 0x49fa, 0x8e,0x07,0x89,0x8e,0xa0,0x1e,0xcb,0xd2)
__CRT_UUID_DECL(ICoreWebView2WebResourceRequestedEventHandler, 0xab00b74c, 0x15f1, 0x4646, 0x80,0xe8,0xe7,0x63,0x41,0xd2,0x5d,0x71)
__CRT_UUID_DECL(ICoreWebView2NavigationCompletedEventHandler, 0xd33a35bf, 0x1c49, 0x4f98, 0x93,0xab,0x00,0x6e,0x05,0x33,0xfe,0x1c)
__CRT_UUID_DECL(ICoreWebView2AcceleratorKeyPressedEventHandler, 0xb29c7e28, 0xfa79, 0x41a8, 0x8e,0x44,0x65,0x81,0x1c,0x76,0xdc,0xb2)

// ------------------------------------------------------------- loader

// The loader's exported entry points ("WebView2.dll").
using GetAvailableCoreWebView2BrowserVersionStringFn = HRESULT(STDAPICALLTYPE*)(PCWSTR browserFolder,
                                                                               LPWSTR* version);
using CreateCoreWebView2EnvironmentWithOptionsFn = HRESULT(STDAPICALLTYPE*)(
    PCWSTR browserFolder, PCWSTR dataFolder, ICoreWebView2EnvironmentOptions* options,
    ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler* handler);
