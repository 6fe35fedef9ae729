// The control itself: attributes, the engine choice, the loading phase,
// navigation, geometry, visibility and painting. Engine-specific calls live
// in WebViewWke.cpp, WebViewIE.cpp and WebView2Binding.cpp; the COM answers
// in WebViewCom.cpp. UI thread.
#include "Corvel/Control/WebView/WebView.h"

#include <objbase.h>
#include <gdiplus.h>
#include <shlwapi.h>

#include <cmath>
#include <cstdio>
#include <cwchar>

#include "Corvel/Control/WebView/ScriptTexts.h"
#include "Corvel/Control/WebView/WebView2Binding.h"
#include "Corvel/Core/SkinArchive.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Render/ImageSources.h"
#include "Corvel/Render/RenderTarget.h"

namespace ui {

namespace {

constexpr wchar_t kLoadingChildName[] = L"loading";
// "%s%d.png": the prefix and the 1-based frame number.
constexpr wchar_t kFrameNameFormat[] = L"%ls%d.png";
constexpr wchar_t kLoadOver[] = L"LoadOver";
// The caption rectangle's four numbers.
constexpr int kCaptionFields = 4;

using AlphaBlendFn = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int, BLENDFUNCTION);

// AlphaBlend of msimg32.dll, looked up once by name; null when missing.
AlphaBlendFn AlphaBlendEntry()
{
    static const AlphaBlendFn entry = [] {
        HMODULE module = LoadLibraryW(L"msimg32.dll");
        return module ? reinterpret_cast<AlphaBlendFn>(reinterpret_cast<void*>(GetProcAddress(module, "AlphaBlend")))
                      : nullptr;
    }();
    return entry;
}

// A picture from the skin archive when one is open, else from the resource
// folder on disk; null when it cannot be read or decoded.
std::unique_ptr<Gdiplus::Bitmap> LoadPicture(const std::wstring& name)
{
    std::string bytes;
    if (ArchiveHandle archive = GetSkinArchive()) {
        ArchiveEntry entry{};
        if (FindArchiveEntry(archive, name.c_str(), 0, nullptr, &entry) != ARCHIVE_OK ||
            !ReadArchiveEntry(archive, entry, bytes))
            return nullptr;
    } else {
        const std::wstring path = GetUiResourcePath() + name;
        if (!PathFileExistsW(path.c_str()) || !ReadWholeFile(path, bytes))
            return nullptr;
    }
    if (bytes.empty())
        return nullptr;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    if (!memory)
        return nullptr;
    memcpy(GlobalLock(memory), bytes.data(), bytes.size());
    GlobalUnlock(memory);
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(memory, TRUE, &stream))) {
        GlobalFree(memory);
        return nullptr;
    }
    std::unique_ptr<Gdiplus::Bitmap> picture(Gdiplus::Bitmap::FromStream(stream));
    stream->Release();
    if (picture && picture->GetLastStatus() != Gdiplus::Ok)
        picture.reset();
    return picture;
}

Control* FindLoadingChild(Control* control, void* data)
{
    if (control == data)
        return nullptr;
    const CUiString name = control->GetName();
    return !name.IsEmpty() && _wcsicmp(name.GetData(), kLoadingChildName) == 0 ? control : nullptr;
}

} // namespace

WebView::WebView()
{
    AlphaBlendEntry();
    SetAttribute(L"clsid", L"{8856F961-340A-11D0-A96B-00C04FD705A2}"); // CLSID_WebBrowser
}

WebView::~WebView()
{
    if (m_core && m_sinkConnected)
        ConnectEventSink(false);
    if (m_core && m_acceleratorAdded)
        m_core->RemoveTranslateAccelerator(this);
    m_acceleratorAdded = false;
    DestroyWke();
    RestoreSubclassedWindows();
    m_webView2.reset();
    m_webBrowser.Reset();
    if (m_ownsHandler)
        delete m_handler;
    m_handler = nullptr;
    if (m_core) {
        m_core->StopControlTimer(this, kTimerLoadingFrame);
        m_core->StopControlTimer(this, kTimerShowTimeout);
    }
    ActiveX::ReleaseHostedObject();
}

const wchar_t* WebView::GetClassName() const { return L"WebView"; }

void* WebView::CastTo(const wchar_t* typeName)
{
    if (typeName && (wcscmp(typeName, L"WebBrowser") == 0 || wcscmp(typeName, L"ActiveX") == 0))
        return this;
    return Box::CastTo(typeName);
}

WebEngine WebView::GetEngine() const
{
    if (m_webView2 && !m_webView2->Failed())
        return WebEngine::kWebView2;
    if (m_wkeReady)
        return WebEngine::kWke;
    if (m_webBrowser)
        return WebEngine::kInternetExplorer;
    return WebEngine::kNone;
}

void WebView::SetHandler(CWebBrowserEventHandler* handler, bool owns)
{
    if (m_ownsHandler && m_handler != handler)
        delete m_handler;
    m_handler = handler;
    m_ownsHandler = owns;
}

// ------------------------------------------------------------- attributes

void WebView::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (wcscmp(name, L"homepage") == 0) {
        m_homePage = value;
    } else if (wcscmp(name, L"autonavi") == 0) {
        m_autoNavigate = wcscmp(value, L"true") == 0;
    } else if (wcscmp(name, L"colorkey") == 0) {
        m_colorKeyOn = true;
        m_colorKey = static_cast<uint32_t>(wcstoul(value[0] == L'#' ? value + 1 : value, nullptr, 16));
    } else if (wcscmp(name, L"transimage") == 0) {
        if (m_core && m_core->IsLayered()) {
            m_transImage = LoadPicture(value);
            if (m_surface.IsValid())
                m_surface.BuildMask(m_transImage.get());
        }
    } else if (wcscmp(name, L"caption") == 0) {
        ParseCaption(value);
    } else if (wcscmp(name, L"loadingimagesize") == 0) {
        SetLoadingFrames(nullptr, static_cast<int>(wcstol(value, nullptr, 10)));
    } else if (wcscmp(name, L"loadingimage") == 0) {
        m_loadingPictureOn = true;
        SetLoadingFrames(value, 0);
    } else if (wcscmp(name, L"elapse") == 0) {
        m_loadingInterval = static_cast<int>(wcstol(value, nullptr, 10));
    } else {
        ActiveX::SetAttribute(name, value);
    }
}

void WebView::ParseCaption(const wchar_t* value)
{
    LONG* fields[kCaptionFields] = {&m_caption.left, &m_caption.top, &m_caption.right, &m_caption.bottom};
    const wchar_t* p = value;
    for (int i = 0; i < kCaptionFields && p && *p; ++i) {
        wchar_t* end = nullptr;
        *fields[i] = wcstol(p, &end, 10);
        if (!end || end == p || !*end)
            break;
        p = end + 1; // one separator character
    }
}

// ------------------------------------------------------------- loading picture

void WebView::SetLoadingFrames(const wchar_t* prefix, int count)
{
    if (prefix && count == 0) {
        m_loadingImagePrefix = prefix;
        if (m_loadingFrameCount != 0)
            LoadLoadingFrames();
    } else if (!prefix && count != 0) {
        m_loadingFrameCount = count;
        m_loadingFrameIndex = 0;
        if (!m_loadingImagePrefix.empty())
            LoadLoadingFrames();
    } else if (!prefix && count == 0) {
        LoadLoadingFrames();
    }
}

void WebView::LoadLoadingFrames()
{
    m_loadingFrames.clear();
    for (int j = 1; j <= m_loadingFrameCount; ++j) {
        wchar_t name[MAX_PATH];
        swprintf(name, MAX_PATH, kFrameNameFormat, m_loadingImagePrefix.c_str(), j);
        if (auto picture = LoadPicture(name))
            m_loadingFrames.push_back(std::move(picture));
    }
    if (m_loadingFrameIndex >= static_cast<int>(m_loadingFrames.size()))
        m_loadingFrameIndex = 0;
}

std::vector<SIZE> WebView::GetLoadingFrameSizes() const
{
    std::vector<SIZE> sizes;
    for (const auto& frame : m_loadingFrames)
        sizes.push_back(SIZE{static_cast<LONG>(frame->GetWidth()), static_cast<LONG>(frame->GetHeight())});
    return sizes;
}

// ------------------------------------------------------------- lifecycle

void WebView::CompleteInit()
{
    if (m_core)
        m_core->SetHostsNativeContent(true);
    for (int i = 0; i < ChildCount() && !m_loadingChild; ++i)
        m_loadingChild = ChildAt(i)->SearchTree(&FindLoadingChild, this, 0);
    if (m_loadingChild)
        m_loadingPictureOn = true;
    Control::CompleteInit();
}

void WebView::RestartTimer(int key, UINT elapse)
{
    if (!m_core)
        return;
    m_core->StopControlTimer(this, key);
    m_core->StartControlTimer(this, key, elapse);
}

void WebView::ReceiveResourceText(bool ok, int, const wchar_t*, const wchar_t*)
{
    if (ok) {
        CreateHostedObject(GetBounds());
        RestartTimer(kTimerShowTimeout, kShowTimeoutMs);
    } else {
        RestartTimer(kTimerShowTimeout, kShortShowTimeoutMs);
        if (m_webBrowser && !m_homePage.empty()) {
            VARIANT url;
            VariantInit(&url);
            url.vt = VT_BSTR;
            url.bstrVal = SysAllocString(m_homePage.c_str());
            m_webBrowser->Navigate2(&url, nullptr, nullptr, nullptr, nullptr);
            VariantClear(&url);
        }
    }
    if (m_loadingChild)
        m_loadingChild->SetVisible(true);
}

bool WebView::HandleEvent(InputEvent* event)
{
    if (event && event->type == kEventTimer) {
        if (static_cast<int>(event->wParam) == kTimerLoadingFrame) {
            if (!m_loadingFrames.empty()) {
                m_loadingFrameIndex = (m_loadingFrameIndex + 1) % static_cast<int>(m_loadingFrames.size());
                Repaint();
            }
            return true;
        }
        if (static_cast<int>(event->wParam) == kTimerShowTimeout) {
            ShowEngineFirstTime(true);
            EndLoadingPhase();
            return true;
        }
    }
    return Box::HandleEvent(event);
}

void WebView::ShowEngineFirstTime(bool fromTimeout)
{
    if (!m_firstShow)
        return;
    m_firstShow = false;
    if (m_loadingChild)
        m_loadingChild->SetVisible(false);
    switch (GetEngine()) {
    case WebEngine::kWebView2:
        m_webView2->SetVisible(true);
        break;
    case WebEngine::kWke:
        if (IsVisible())
            ShowEngine(true);
        break;
    case WebEngine::kInternetExplorer:
        // A completed document shows the browser whatever the control's
        // visibility; the timeout only shows it for a visible control.
        if (!fromTimeout || IsVisible())
            ShowEngine(true);
        break;
    case WebEngine::kNone:
        break;
    }
}

void WebView::EndLoadingPhase()
{
    if (!m_core)
        return;
    if (m_loadingChild)
        m_loadingChild->SetVisible(false);
    m_core->StopControlTimer(this, kTimerLoadingFrame);
    m_core->StopControlTimer(this, kTimerShowTimeout);
    m_core->RaiseNotification(this, kLoadOver, 0, 0);
}

void WebView::OnLoadComplete()
{
    m_pageLoaded = true;
    ShowEngineFirstTime(false);
    if (!m_core)
        return;
    EndLoadingPhase();
    Repaint();
}

void WebView::ShowEngine(bool show)
{
    switch (GetEngine()) {
    case WebEngine::kWebView2:
        m_webView2->SetVisible(show);
        break;
    case WebEngine::kWke:
        if (auto showWindow = wke::Engine::Get<wke::wkeShowWindow_t>(wke::Export::wkeShowWindow))
            showWindow(m_wkeView, show);
        break;
    case WebEngine::kInternetExplorer:
        if (HWND window = GetHostWindow())
            ::ShowWindow(window, show ? SW_SHOW : SW_HIDE);
        break;
    case WebEngine::kNone:
        break;
    }
}

// ------------------------------------------------------------- engine choice

bool WebView::CreateHostedObject(const RECTF& rect)
{
    if (m_engineFailed)
        return false; // no engine exists for this control; its loading phase has ended
    if ((m_webView2 = WebView2Binding::Start(this))) {
        SetCreated(true);
        if (!m_webView2->Failed())
            return true;
        // The runtime is there but refused the environment: the control
        // stays without an engine.
        EndWithoutEngine();
        return true;
    }
    if (StartWke(rect))
        return true;
    if (StartInternetExplorer(rect))
        return true;
    EndWithoutEngine();
    return false;
}

void WebView::EndWithoutEngine()
{
    // No engine at all: the loading phase ends as its show timeout ends it,
    // and the picture goes, instead of animating for ever over nothing.
    m_engineFailed = true;
    m_firstShow = false;
    m_pageLoaded = true;
    EndLoadingPhase();
    Repaint();
}

void WebView::Navigate(const wchar_t* url)
{
    if (!url)
        return;
    if (m_firstShow && m_loadingChild)
        m_loadingChild->SetVisible(true);
    const WebEngine engine = GetEngine();
    const bool hideFirst = m_firstShow && m_loadingPictureOn;
    if (hideFirst && engine != WebEngine::kNone) {
        const bool layered = m_core && m_core->IsLayered();
        if (engine == WebEngine::kWebView2 || !layered)
            ShowEngine(false);
        RestartTimer(kTimerShowTimeout, kShowTimeoutMs);
    }
    m_pageLoaded = false;
    m_loadingFrameIndex = 0;
    if (engine == WebEngine::kNone && m_engineFailed) {
        // Nothing will ever load, and the loading phase already ended when
        // the engine could not be made: no picture animates for ever.
        m_pageLoaded = true;
        return;
    }
    if (!m_loadingFrames.empty())
        RestartTimer(kTimerLoadingFrame, static_cast<UINT>(m_loadingInterval));
    switch (engine) {
    case WebEngine::kWebView2:
        m_webView2->Navigate(url);
        break;
    case WebEngine::kWke:
        if (auto load = wke::Engine::Get<wke::wkeLoadURL_t>(wke::Export::wkeLoadURL))
            load(m_wkeView, WideToUtf8(url).c_str());
        break;
    case WebEngine::kInternetExplorer: {
        VARIANT target;
        VariantInit(&target);
        target.vt = VT_BSTR;
        target.bstrVal = SysAllocString(url);
        m_webBrowser->Navigate2(&target, nullptr, nullptr, nullptr, nullptr);
        VariantClear(&target);
        break;
    }
    case WebEngine::kNone:
        break;
    }
}

// ------------------------------------------------------------- geometry

void WebView::SetBounds(float left, float top, float right, float bottom)
{
    ActiveX::SetBounds(left, top, right, bottom);
    PlaceEngine();
    if (m_core && m_core->IsLayered())
        RebuildSurface();
}

void WebView::PlaceEngine()
{
    const RECT rect = GetControlRect();
    switch (GetEngine()) {
    case WebEngine::kWebView2:
        m_webView2->SetBounds(rect);
        break;
    case WebEngine::kWke: {
        const float scale = m_core ? m_core->GetScale() : 1.0f;
        if (scale != m_wkeZoom) {
            m_wkeZoom = scale;
            if (auto zoom = wke::Engine::Get<wke::wkeSetZoomFactor_t>(wke::Export::wkeSetZoomFactor))
                zoom(m_wkeView, scale);
        }
        auto host = wke::Engine::Get<wke::wkeGetHostHWND_t>(wke::Export::wkeGetHostHWND);
        if (HWND window = host ? host(m_wkeView) : nullptr)
            MoveWindow(window, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, TRUE);
        if (auto resize = wke::Engine::Get<wke::wkeResize_t>(wke::Export::wkeResize))
            resize(m_wkeView, rect.right - rect.left, rect.bottom - rect.top);
        break;
    }
    default:
        break;
    }
}

void WebView::RebuildSurface()
{
    const RECT rect = GetControlRect();
    HDC reference = m_core ? m_core->GetWindowDC() : nullptr;
    if (!m_surface.Create(reference, rect.right - rect.left, rect.bottom - rect.top))
        return;
    m_surface.BuildMask(m_transImage.get());
}

// ------------------------------------------------------------- visibility

void WebView::SetVisible(bool show)
{
    if (m_webView2 && !m_webView2->Failed())
        m_webView2->SetVisible(show);
    else if (m_wkeReady)
        ShowEngine(show);
    ActiveX::SetVisible(show);
}

void WebView::SetInternalVisible(bool on)
{
    if (m_webView2 && !m_webView2->Failed())
        m_webView2->SetVisible(on);
    else if (m_wkeReady)
        ShowEngine(on);
    ActiveX::SetInternalVisible(on);
}

// ------------------------------------------------------------- painting

void WebView::Paint(const RECTF& dirty, bool pushClip)
{
    const RECTF bounds = GetBounds();
    const RECTF area{std::fmax(dirty.left, bounds.left), std::fmax(dirty.top, bounds.top),
                     std::fmin(dirty.right, bounds.right), std::fmin(dirty.bottom, bounds.bottom)};
    if (area.right <= area.left || area.bottom <= area.top)
        return;
    ActiveX::Paint(dirty, pushClip);
    if (!m_pageLoaded && m_loadingFrameIndex >= 0 &&
        m_loadingFrameIndex < static_cast<int>(m_loadingFrames.size())) {
        PaintLoadingFrame();
        return;
    }
    if (!m_core || !m_core->IsLayered())
        return;
    if (m_wkeReady) {
        RenderTarget* target = m_core->GetRenderTarget();
        HDC dc = target ? target->BeginGdiClip() : nullptr;
        if (dc) {
            BlendSurface(dc);
            target->EndGdiClip(dc);
        }
    } else if (m_webBrowser) {
        PaintLayeredInternetExplorer();
    }
}

void WebView::PaintLoadingFrame()
{
    Gdiplus::Bitmap* frame = m_loadingFrames[static_cast<size_t>(m_loadingFrameIndex)].get();
    const int width = static_cast<int>(frame->GetWidth());
    const int height = static_cast<int>(frame->GetHeight());
    if (IsRectEmpty(&m_loadingRect)) {
        const RECTF bounds = GetBounds();
        m_loadingRect.left = static_cast<LONG>((bounds.right - bounds.left - width) * 0.5f + bounds.left);
        m_loadingRect.top = static_cast<LONG>((bounds.bottom - bounds.top - height) * 0.5f + bounds.top);
        m_loadingRect.right = m_loadingRect.left + width;
        m_loadingRect.bottom = m_loadingRect.top + height;
    }
    RenderTarget* target = m_core ? m_core->GetRenderTarget() : nullptr;
    HDC dc = target ? target->BeginGdiClip() : nullptr;
    if (!dc)
        return;
    {
        Gdiplus::Graphics graphics(dc);
        graphics.DrawImage(frame, static_cast<INT>(m_loadingRect.left), static_cast<INT>(m_loadingRect.top), width,
                           height);
    }
    target->EndGdiClip(dc);
}

void WebView::BlendSurface(HDC target)
{
    AlphaBlendFn blend = AlphaBlendEntry();
    if (!blend || !m_surface.IsValid())
        return;
    const RECT rect = GetControlRect();
    BLENDFUNCTION function{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    GdiFlush();
    blend(target, rect.left, rect.top, m_surface.Width(), m_surface.Height(), m_surface.GetDC(), 0, 0,
          m_surface.Width(), m_surface.Height(), function);
}

std::wstring WebView::AnswerWebView2ScriptCall(const std::wstring& name, const std::wstring& args)
{
    if (m_scriptHandlerW)
        return m_scriptHandlerW(name, args);
    if (m_scriptHandlerA)
        return Utf8ToWide(m_scriptHandlerA(WideToUtf8(name), WideToUtf8(args)));
    return {};
}

void WebView::CopyEngineContent(HDC source)
{
    AlphaBlendFn blend = AlphaBlendEntry();
    if (!blend || !m_surface.IsValid() || !source)
        return;
    BLENDFUNCTION function{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    blend(m_surface.GetDC(), 0, 0, m_surface.Width(), m_surface.Height(), source, 0, 0, m_surface.Width(),
          m_surface.Height(), function);
    GdiFlush();
}

} // namespace ui
