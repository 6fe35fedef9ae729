#include "RenderTestSupport.h"

#include <wincodec.h>

#include "Corvel/Core/UiGlobals.h"
#include "Corvel/Render/RenderTarget.h"

namespace rendertest {

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

TestWindow::TestWindow(int x, int y, int width, int height, DWORD exStyle, DWORD style)
{
    EnsureClass();
    m_hwnd = CreateWindowExW(exStyle, kTestClass, L"render test", style, x, y, width, height, nullptr, nullptr,
                             GetModuleHandleW(nullptr), nullptr);
    PumpMessages();
}

TestWindow::~TestWindow()
{
    if (m_hwnd)
        DestroyWindow(m_hwnd);
    PumpMessages();
}

void PumpMessages()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

Pixels ReadDcBitmap(HDC hdc)
{
    Pixels px;
    HBITMAP bmp = static_cast<HBITMAP>(GetCurrentObject(hdc, OBJ_BITMAP));
    BITMAP bm{};
    if (!bmp || !GetObjectW(bmp, sizeof(bm), &bm))
        return px;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = bm.bmWidth;
    bi.bmiHeader.biHeight = -bm.bmHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    px.width = bm.bmWidth;
    px.height = bm.bmHeight;
    px.data.assign(static_cast<size_t>(px.width) * px.height, 0);
    if (!GetDIBits(hdc, bmp, 0, bm.bmHeight, px.data.data(), &bi, DIB_RGB_COLORS)) {
        px = Pixels();
    }
    return px;
}

Pixels ReadTargetPixels(ui::RenderTarget& target)
{
    Pixels px;
    target.BeginDraw({});
    if (target.GetGdiInterop()) {
        // Under Wine the DC only carries the surface once the frame has
        // drawn something; a transparent pixel changes nothing.
        target.GetD2DTarget()->FillRectangle(D2D1::RectF(0, 0, 1, 1),
                                             target.GetSolidBrush(D2D1_COLOR_F{0, 0, 0, 0}));
        HDC hdc = nullptr;
        if (SUCCEEDED(target.GetGdiInterop()->GetDC(D2D1_DC_INITIALIZE_MODE_COPY, &hdc)) && hdc) {
            px = ReadDcBitmap(hdc);
            target.GetGdiInterop()->ReleaseDC(nullptr);
        }
    }
    target.EndDraw(false, nullptr);
    return px;
}

Pixels ReadWindowPixels(HWND hwnd, bool wholeWindow)
{
    Pixels px;
    RECT rc{};
    if (wholeWindow) {
        GetWindowRect(hwnd, &rc);
        OffsetRect(&rc, -rc.left, -rc.top);
    } else {
        GetClientRect(hwnd, &rc);
    }
    HDC wdc = wholeWindow ? GetWindowDC(hwnd) : GetDC(hwnd);
    if (!wdc)
        return px;
    HDC mem = CreateCompatibleDC(wdc);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = rc.right;
    bi.bmiHeader.biHeight = -rc.bottom;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(wdc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (dib && bits) {
        HGDIOBJ old = SelectObject(mem, dib);
        BitBlt(mem, 0, 0, rc.right, rc.bottom, wdc, 0, 0, SRCCOPY);
        GdiFlush();
        px.width = rc.right;
        px.height = rc.bottom;
        const uint32_t* p = static_cast<const uint32_t*>(bits);
        px.data.assign(p, p + static_cast<size_t>(px.width) * px.height);
        SelectObject(mem, old);
    }
    if (dib)
        DeleteObject(dib);
    DeleteDC(mem);
    ReleaseDC(hwnd, wdc);
    return px;
}

Pixels ReadScreenPixels(const RECT& r)
{
    Pixels px;
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0)
        return px;
    HDC screen = GetDC(nullptr);
    HDC mem = CreateCompatibleDC(screen);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (dib && bits) {
        HGDIOBJ old = SelectObject(mem, dib);
        BitBlt(mem, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
        GdiFlush();
        px.width = w;
        px.height = h;
        const uint32_t* p = static_cast<const uint32_t*>(bits);
        px.data.assign(p, p + static_cast<size_t>(w) * h);
        SelectObject(mem, old);
    }
    if (dib)
        DeleteObject(dib);
    DeleteDC(mem);
    ReleaseDC(nullptr, screen);
    return px;
}

bool SavePng(const Pixels& px, const std::wstring& path)
{
    IWICImagingFactory* wic = ui::UiGlobals().wicFactory;
    if (!wic || px.width <= 0 || px.height <= 0)
        return false;
    bool ok = false;
    IWICStream* stream = nullptr;
    IWICBitmapEncoder* enc = nullptr;
    IWICBitmapFrameEncode* frame = nullptr;
    if (SUCCEEDED(wic->CreateStream(&stream)) && SUCCEEDED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) &&
        SUCCEEDED(wic->CreateEncoder(GUID_ContainerFormatPng, nullptr, &enc)) &&
        SUCCEEDED(enc->Initialize(stream, WICBitmapEncoderNoCache)) &&
        SUCCEEDED(enc->CreateNewFrame(&frame, nullptr)) && SUCCEEDED(frame->Initialize(nullptr)) &&
        SUCCEEDED(frame->SetSize(px.width, px.height))) {
        WICPixelFormatGUID fmt = GUID_WICPixelFormat32bppBGRA;
        if (SUCCEEDED(frame->SetPixelFormat(&fmt)) && IsEqualGUID(fmt, GUID_WICPixelFormat32bppBGRA)) {
            const UINT stride = static_cast<UINT>(px.width) * 4;
            ok = SUCCEEDED(frame->WritePixels(px.height, stride, stride * px.height,
                                              reinterpret_cast<BYTE*>(const_cast<uint32_t*>(px.data.data())))) &&
                 SUCCEEDED(frame->Commit()) && SUCCEEDED(enc->Commit());
        }
    }
    if (frame)
        frame->Release();
    if (enc)
        enc->Release();
    if (stream)
        stream->Release();
    return ok;
}

std::wstring ArtifactsDir()
{
    std::wstring dir = std::wstring(CORVEL_TEST_SOURCE_DIR) + L"\\artifacts";
    CreateDirectoryW(dir.c_str(), nullptr);
    return dir;
}

} // namespace rendertest
