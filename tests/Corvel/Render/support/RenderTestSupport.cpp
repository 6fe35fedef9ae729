#include "RenderTestSupport.h"

#include "Corvel/Core/UiGlobals.h"

#include <wincodec.h>
#include <wrl/client.h>

namespace rendertest {

using testsupport::PumpMessages;

namespace {

const wchar_t kTestClass[] = L"CorvelRenderTestWnd";

LRESULT CALLBACK TestWndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp)
{
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void EnsureClass()
{
    static bool registered = false;
    if (registered)
        return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = TestWndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kTestClass;
    RegisterClassExW(&wc);
    registered = true;
}

} // namespace

void UiLibraryTest::SetUp()
{
    InitUiLibrary(GetModuleHandleW(nullptr));
    ASSERT_NE(nullptr, ui::UiGlobals().d2dFactory);
}

void UiLibraryTest::TearDown()
{
    PumpMessages();
    ShutdownUiLibrary();
}

PlainWindow::PlainWindow(int x, int y, int width, int height, DWORD exStyle, DWORD style)
{
    EnsureClass();
    m_hwnd = CreateWindowExW(exStyle, kTestClass, L"render test", style, x, y, width, height, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    PumpMessages();
}

PlainWindow::~PlainWindow()
{
    if (m_hwnd)
        DestroyWindow(m_hwnd);
    PumpMessages();
}

} // namespace rendertest

namespace rendertest {

namespace {

using Microsoft::WRL::ComPtr;

// A small software target over a WIC bitmap, for the platform probes.
struct WicSurface {
    ComPtr<IWICBitmap> bitmap;
    ComPtr<ID2D1RenderTarget> target;
    int width = 0;

    WicSurface(int w, int h) : width(w)
    {
        const D2D1_RENDER_TARGET_PROPERTIES props = D2D1::RenderTargetProperties(
            D2D1_RENDER_TARGET_TYPE_DEFAULT,
            D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED), 96.0f, 96.0f);
        IWICImagingFactory* wic = ui::UiGlobals().wicFactory;
        if (wic && SUCCEEDED(wic->CreateBitmap(static_cast<UINT>(w), static_cast<UINT>(h),
                                               GUID_WICPixelFormat32bppPBGRA, WICBitmapCacheOnLoad,
                                               bitmap.GetAddressOf())))
            ui::UiGlobals().d2dFactory->CreateWicBitmapRenderTarget(bitmap.Get(), props, target.GetAddressOf());
    }

    uint32_t At(int x, int y)
    {
        uint32_t pixel = 0;
        const WICRect one{x, y, 1, 1};
        bitmap->CopyPixels(&one, 4, 4, reinterpret_cast<BYTE*>(&pixel));
        return pixel;
    }
};

} // namespace

DrawingSurface::DrawingSurface(int width, int height)
    : m_window(60, 60, width, height), m_width(width), m_height(height)
{
    m_target.Init(m_window.hwnd(), nullptr, nullptr);
    m_target.Resize(0, 0, static_cast<float>(width), static_cast<float>(height));
}

void DrawingSurface::Frame(const std::function<void(ui::RenderTarget&)>& draw)
{
    m_target.BeginDraw({ui::RECTF(0, 0, static_cast<float>(m_width), static_cast<float>(m_height))});
    draw(m_target);
    m_target.EndDraw(false, nullptr);
}

bool PlatformDrawsDashes()
{
    WicSurface s(40, 4);
    ComPtr<ID2D1SolidColorBrush> brush;
    ComPtr<ID2D1StrokeStyle> dashed;
    if (!s.target || FAILED(s.target->CreateSolidColorBrush(D2D1::ColorF(1, 0, 0, 1), brush.GetAddressOf())) ||
        FAILED(ui::UiGlobals().d2dFactory->CreateStrokeStyle(
            D2D1::StrokeStyleProperties(D2D1_CAP_STYLE_FLAT, D2D1_CAP_STYLE_FLAT, D2D1_CAP_STYLE_FLAT,
                                        D2D1_LINE_JOIN_MITER, 10.0f, D2D1_DASH_STYLE_DASH),
            nullptr, 0, dashed.GetAddressOf())))
        return false;
    s.target->BeginDraw();
    s.target->Clear(D2D1::ColorF(0, 0.0f));
    s.target->DrawLine(D2D1::Point2F(0, 2), D2D1::Point2F(40, 2), brush.Get(), 2.0f, dashed.Get());
    s.target->EndDraw();
    int gaps = 0;
    for (int x = 0; x < 40; ++x)
        gaps += s.At(x, 2) == 0 ? 1 : 0;
    return gaps > 0;
}

bool PlatformCopiesFromTarget()
{
    WicSurface s(8, 8);
    ComPtr<ID2D1Bitmap> copy;
    if (!s.target || FAILED(s.target->CreateBitmap(D2D1::SizeU(4, 4),
                                                   D2D1::BitmapProperties(D2D1::PixelFormat(
                                                       DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED)),
                                                   copy.GetAddressOf())))
        return false;
    s.target->BeginDraw();
    s.target->Clear(D2D1::ColorF(1, 0, 0, 1));
    const D2D1_POINT_2U at = D2D1::Point2U(0, 0);
    const D2D1_RECT_U from = D2D1::RectU(0, 0, 4, 4);
    const HRESULT hr = copy->CopyFromRenderTarget(&at, s.target.Get(), &from);
    s.target->EndDraw();
    return SUCCEEDED(hr);
}

} // namespace rendertest
