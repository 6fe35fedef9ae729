// The C programming interface of a wke engine DLL as the binding uses it:
// its types, the signatures of the exports the binding calls, and the
// process-wide entry table filled from the DLL by name. Exports and
// callbacks use the C calling convention. UI thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "Corvel/Control/WebView/WkeExports.h"

namespace ui {
namespace wke {

struct View;
using WebView = View*;
struct StringRecord;
using String = StringRecord*;
struct ExecStateRecord;
using ExecState = ExecStateRecord*;
using JsValue = int64_t;
using NetJob = void*;
using FrameHandle = void*;

// The window-creation record of wkeCreateWebCustomWindow.
struct WindowCreateInfo {
    int size;
    HWND parent;
    DWORD style;
    DWORD styleEx;
    int x;
    int y;
    int width;
    int height;
    COLORREF color;
};
// The view settings record of wkeSetViewSettings.
struct ViewSettings {
    int size;
    unsigned int bgColor;
};
static_assert(sizeof(ViewSettings) == 8, "the engine reads an 8-byte view settings record");

struct JsData;
using JsGetPropertyCallback = JsValue(__cdecl*)(ExecState, JsValue object, const char* name);
using JsSetPropertyCallback = bool(__cdecl*)(ExecState, JsValue object, const char* name, JsValue value);
using JsCallAsFunctionCallback = JsValue(__cdecl*)(ExecState, JsValue function, JsValue* args, int count);
using JsFinalizeCallback = void(__cdecl*)(JsData* data);
constexpr size_t kJsTypeNameSize = 100;
// A native object the engine holds for a script value.
struct JsData {
    char typeName[kJsTypeNameSize];
    JsGetPropertyCallback propertyGet;
    JsSetPropertyCallback propertySet;
    JsFinalizeCallback finalize;
    JsCallAsFunctionCallback callAsFunction;
};

using CreateViewCallback = WebView(__cdecl*)(WebView, void* param, int navigationType, String url,
                                             const void* windowFeatures);
using TitleChangedCallback = void(__cdecl*)(WebView, void* param, String title);
using LoadingFinishCallback = void(__cdecl*)(WebView, void* param, String url, int result, String failedReason);
using LoadUrlFailCallback = void(__cdecl*)(WebView, void* param, const char* url, NetJob job);
using DidCreateScriptContextCallback = void(__cdecl*)(WebView, void* param, FrameHandle frame, void* context,
                                                      int extensionGroup, int worldId);
using PaintUpdatedCallback = void(__cdecl*)(WebView, void* param, HDC dc, int x, int y, int cx, int cy);

// Signatures of the exports the binding calls.
using wkeInitializeEx_t = void(__cdecl*)(const void* settings);
using wkeCreateWebCustomWindow_t = WebView(__cdecl*)(const WindowCreateInfo* info);
using wkeSetViewSettings_t = void(__cdecl*)(WebView, const ViewSettings* settings);
using wkeSetCookieJarPath_t = void(__cdecl*)(WebView, const wchar_t* path);
using wkeSetCookieEnabled_t = void(__cdecl*)(WebView, bool enable);
using wkeSetLocalStorageFullPath_t = void(__cdecl*)(WebView, const wchar_t* path);
using wkeSetCspCheckEnable_t = void(__cdecl*)(WebView, bool enable);
using wkeGetWindowHandle_t = HWND(__cdecl*)(WebView);
using wkeOnCreateView_t = void(__cdecl*)(WebView, CreateViewCallback, void* param);
using wkeOnTitleChanged_t = void(__cdecl*)(WebView, TitleChangedCallback, void* param);
using wkeOnLoadingFinish_t = void(__cdecl*)(WebView, LoadingFinishCallback, void* param);
using wkeOnLoadUrlFail_t = void(__cdecl*)(WebView, LoadUrlFailCallback, void* param);
using wkeOnDidCreateScriptContext_t = void(__cdecl*)(WebView, DidCreateScriptContextCallback, void* param);
using wkeSetZoomFactor_t = void(__cdecl*)(WebView, float factor);
using wkeSetTransparent_t = void(__cdecl*)(WebView, bool transparent);
using wkeOnPaintUpdated_t = void(__cdecl*)(WebView, PaintUpdatedCallback, void* param);
using wkeSetDragEnable_t = void(__cdecl*)(WebView, bool enable);
using wkeSetDragDropEnable_t = void(__cdecl*)(WebView, bool enable);
using wkeDestroyWebWindow_t = void(__cdecl*)(WebView);
using wkeFinalize_t = void(__cdecl*)();
using wkeLoadURL_t = void(__cdecl*)(WebView, const char* url);
using wkeShowWindow_t = void(__cdecl*)(WebView, bool show);
using wkeResize_t = void(__cdecl*)(WebView, int width, int height);
using wkeGetHostHWND_t = HWND(__cdecl*)(WebView);
using wkeGetString_t = const char*(__cdecl*)(String);
using wkeGlobalExec_t = ExecState(__cdecl*)(WebView);
using jsGlobalObject_t = JsValue(__cdecl*)(ExecState);
using jsGet_t = JsValue(__cdecl*)(ExecState, JsValue object, const char* name);
using jsFunction_t = JsValue(__cdecl*)(ExecState, JsData* data);
using jsSet_t = void(__cdecl*)(ExecState, JsValue object, const char* name, JsValue value);
using jsGetData_t = JsData*(__cdecl*)(ExecState, JsValue object);
using jsArg_t = JsValue(__cdecl*)(ExecState, int index);
using jsToTempString_t = const char*(__cdecl*)(ExecState, JsValue value);
using jsString_t = JsValue(__cdecl*)(ExecState, const char* text);
using jsUndefined_t = JsValue(__cdecl*)();

// Position of each export in the entry table.
enum class Export : int {
#define CORVEL_WKE_INDEX(name, called) name,
    CORVEL_WKE_EXPORTS(CORVEL_WKE_INDEX)
#undef CORVEL_WKE_INDEX
        Count
};
constexpr int kExportCount = static_cast<int>(Export::Count);
static_assert(kExportCount == 380, "the binding resolves 380 exports");

// The export's name; null for an index outside the table.
const char* ExportName(int index);

// The process's one engine DLL: loaded and resolved once, initialised while
// at least one web view uses it. UI thread.
class Engine {
public:
    // The DLL beside the executable; empty when the executable's path is
    // unknown.
    static std::wstring DefaultDllPath();

    // Loads the DLL at `path` and resolves every export of the table once
    // per process (a missing one is reported by a message box captioned with
    // its name and left empty). False when the DLL does not load. Later
    // calls answer whether the first load succeeded.
    static bool Load(const std::wstring& path);
    static bool IsLoaded();
    // The entry of an export cast to its signature; null when the DLL lacked
    // it or is not loaded.
    template <typename Fn>
    static Fn Get(Export which)
    {
        return reinterpret_cast<Fn>(Entry(which));
    }

    // One more web view uses the engine: the first user initialises it
    // (wkeInitializeEx). False when the engine cannot be initialised.
    static bool AddUser();
    // One web view let go: the last user finalises it (wkeFinalize).
    static void ReleaseUser();
    static int UserCountForTesting();

private:
    static void* Entry(Export which);
};

} // namespace wke
} // namespace ui
