#include "Corvel/Core/support/Pixels.h"

#include "Corvel/Core/WindowCore.h"
#include "Corvel/Render/RenderTarget.h"
#include "support/TestPaths.h"

#include <wincodec.h>

namespace testsupport {

PixelImage ReadWindowPixels(HWND hwnd)
{
    PixelImage img;
    RECT rc{};
    GetClientRect(hwnd, &rc);
    if (rc.right <= 0 || rc.bottom <= 0)
        return img;
    HDC wdc = GetDC(hwnd);
    if (!wdc)
        return img;
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
        img.width = rc.right;
        img.height = rc.bottom;
        const uint32_t* p = static_cast<const uint32_t*>(bits);
        img.data.assign(p, p + static_cast<size_t>(img.width) * static_cast<size_t>(img.height));
        SelectObject(mem, old);
    }
    if (dib)
        DeleteObject(dib);
    DeleteDC(mem);
    ReleaseDC(hwnd, wdc);
    return img;
}

namespace {

PixelImage ReadSelectedBitmap(HDC hdc)
{
    PixelImage img;
    HBITMAP bmp = static_cast<HBITMAP>(GetCurrentObject(hdc, OBJ_BITMAP));
    BITMAP info{};
    if (!bmp || !GetObjectW(bmp, sizeof(info), &info) || info.bmWidth <= 0 || info.bmHeight <= 0)
        return img;
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = info.bmWidth;
    bi.bmiHeader.biHeight = -info.bmHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    img.width = info.bmWidth;
    img.height = info.bmHeight;
    img.data.resize(static_cast<size_t>(img.width) * static_cast<size_t>(img.height));
    if (!GetDIBits(hdc, bmp, 0, static_cast<UINT>(img.height), img.data.data(), &bi, DIB_RGB_COLORS))
        img = PixelImage();
    return img;
}

} // namespace

PixelImage ReadCorePixels(ui::WindowCore& core)
{
    PixelImage img;
    ui::RenderTarget* target = core.GetRenderTarget();
    if (!target)
        return img;
    target->BeginDraw({});
    if (target->GetGdiInterop() && target->GetD2DTarget()) {
        // The bridge's DC carries the surface once the frame has drawn
        // something; a transparent pixel changes nothing.
        target->GetD2DTarget()->FillRectangle(D2D1::RectF(0, 0, 1, 1),
                                              target->GetSolidBrush(D2D1_COLOR_F{0, 0, 0, 0}));
        HDC hdc = nullptr;
        if (SUCCEEDED(target->GetGdiInterop()->GetDC(D2D1_DC_INITIALIZE_MODE_COPY, &hdc)) && hdc) {
            img = ReadSelectedBitmap(hdc);
            target->GetGdiInterop()->ReleaseDC(nullptr);
        }
    }
    target->EndDraw(false, nullptr);
    return img;
}

bool SavePng(const PixelImage& image, const std::wstring& path)
{
    if (image.width <= 0 || image.height <= 0)
        return false;
    IWICImagingFactory* factory = nullptr;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(&factory))))
        return false;
    bool ok = false;
    IWICStream* stream = nullptr;
    IWICBitmapEncoder* encoder = nullptr;
    IWICBitmapFrameEncode* frame = nullptr;
    std::vector<uint32_t> opaque(image.data);
    for (uint32_t& p : opaque)
        p |= 0xFF000000u;
    if (SUCCEEDED(factory->CreateStream(&stream)) &&
        SUCCEEDED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) &&
        SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) &&
        SUCCEEDED(encoder->Initialize(stream, WICBitmapEncoderNoCache)) &&
        SUCCEEDED(encoder->CreateNewFrame(&frame, nullptr)) && SUCCEEDED(frame->Initialize(nullptr))) {
        WICPixelFormatGUID fmt = GUID_WICPixelFormat32bppBGRA;
        UINT stride = static_cast<UINT>(image.width) * 4;
        ok = SUCCEEDED(frame->SetSize(static_cast<UINT>(image.width), static_cast<UINT>(image.height))) &&
             SUCCEEDED(frame->SetPixelFormat(&fmt)) &&
             SUCCEEDED(frame->WritePixels(static_cast<UINT>(image.height), stride, stride * image.height,
                                          reinterpret_cast<BYTE*>(opaque.data()))) &&
             SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
    }
    if (frame)
        frame->Release();
    if (encoder)
        encoder->Release();
    if (stream)
        stream->Release();
    factory->Release();
    return ok;
}

std::wstring ArtifactsFolder()
{
    std::wstring dir = SourceDir() + L"\\artifacts";
    CreateDirectoryW(dir.c_str(), nullptr);
    return dir;
}

} // namespace testsupport
