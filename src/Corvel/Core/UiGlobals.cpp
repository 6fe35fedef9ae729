#include "Corvel/Core/UiGlobals.h"

#include "Corvel/Core/ControlRegistry.h"
#include "Corvel/Core/SkinArchive.h"
#include "Corvel/Host/DropFileWatch.h"

#include <objbase.h>
#include <ole2.h>
#include <gdiplus.h>

#include <cstdlib>
#include <ctime>

namespace ui {

UiProcessGlobals& UiGlobals()
{
    static UiProcessGlobals globals{};
    return globals;
}

const wchar_t kShadowWindowClass[] = L"HarrelShadowWnd";

} // namespace ui

namespace {

template <typename T>
void ReleaseAndClear(T*& p)
{
    if (p) {
        p->Release();
        p = nullptr;
    }
}

void RunHook(ui::ShutdownHook& hook)
{
    ui::ShutdownHook h = hook;
    hook = nullptr;
    if (h)
        h();
}

} // namespace

void InitUiLibrary(HINSTANCE instance)
{
    ui::UiProcessGlobals& g = ui::UiGlobals();

    // Fail critical errors, no fault boxes, no alignment fix-ups.
    SetErrorMode(GetErrorMode() | 0x8007);
    srand(static_cast<unsigned>(static_cast<unsigned long long>(time(nullptr))));

    g.hInstance = instance;
    g.hResourceInstance = instance;
    if (instance) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.style = CS_HREDRAW | CS_VREDRAW;
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
        wc.lpszClassName = ui::kShadowWindowClass;
        RegisterClassExW(&wc);
    }

    // Per-monitor DPI awareness where the system offers it; the module stays
    // loaded for the life of the process.
    if (HMODULE shcore = LoadLibraryW(L"Shcore.dll")) {
        using SetAwareness = HRESULT(WINAPI*)(int);
        auto fn = reinterpret_cast<SetAwareness>(
            reinterpret_cast<void*>(GetProcAddress(shcore, "SetProcessDpiAwareness")));
        if (fn)
            fn(2);
    }

    OleInitialize(nullptr);

    if (!g.gdiplusToken) {
        Gdiplus::GdiplusStartupInput input;
        ULONG_PTR token = 0;
        if (Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok)
            g.gdiplusToken = token;
    }

    bool graphics = g.d2dFactory != nullptr;
    if (!graphics) {
        D2D1_FACTORY_OPTIONS options{};
        options.debugLevel = D2D1_DEBUG_LEVEL_NONE;
        ID2D1Factory1* f1 = nullptr;
        if (SUCCEEDED(D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, __uuidof(ID2D1Factory1),
                                        &options, reinterpret_cast<void**>(&f1))) && f1) {
            g.d2dFactory1 = f1;
            g.d2dFactory = f1;
            graphics = true;
        } else {
            ID2D1Factory* f = nullptr;
            if (SUCCEEDED(D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, __uuidof(ID2D1Factory),
                                            &options, reinterpret_cast<void**>(&f))) && f) {
                g.d2dFactory = f;
                graphics = true;
            }
        }
    }

    if (graphics && !g.dwriteFactory) {
        IUnknown* dw = nullptr;
        if (FAILED(DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory), &dw)) || !dw)
            graphics = false;
        else
            g.dwriteFactory = static_cast<IDWriteFactory*>(dw);
    }
    if (graphics && !g.wicFactory) {
        if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                    IID_IWICImagingFactory, reinterpret_cast<void**>(&g.wicFactory))))
            graphics = false;
    }
    if (graphics) {
        if (!g.wicFactory2)
            CoCreateInstance(CLSID_WICImagingFactory2, nullptr, CLSCTX_INPROC_SERVER,
                             IID_IWICImagingFactory2, reinterpret_cast<void**>(&g.wicFactory2));
        g.defaultPixelFormat = D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED);
        g.defaultTargetProps = D2D1::RenderTargetProperties(D2D1_RENDER_TARGET_TYPE_DEFAULT,
                                                            g.defaultPixelFormat, 96.0f, 96.0f);
    }

    ui::RegisterBuiltinControlClasses();
    g.started = true;
}

void ShutdownUiLibrary()
{
    ui::UiProcessGlobals& g = ui::UiGlobals();

    CloseSkinArchive();

    if (g.gdiplusToken) {
        Gdiplus::GdiplusShutdown(g.gdiplusToken);
        g.gdiplusToken = 0;
    }

    g.d2dFactory1 = nullptr; // same object as d2dFactory
    ReleaseAndClear(g.d2dFactory);

    // Private fonts unregister their loaders from the DirectWrite factory, so
    // they go before it.
    RunHook(g.releasePrivateFonts);

    ReleaseAndClear(g.dwriteFactory);
    ReleaseAndClear(g.wicFactory);
    ReleaseAndClear(g.wicFactory2);

    if (g.sharedPen) {
        DeleteObject(g.sharedPen);
        g.sharedPen = nullptr;
    }

    OleUninitialize();

    if (g.webRuntimeModule) {
        FreeLibrary(g.webRuntimeModule);
        g.webRuntimeModule = nullptr;
    }
    ui::StopDropWatchThreads();

    g.defaultPixelFormat = {};
    g.defaultTargetProps = {};
    g.started = false;
}
