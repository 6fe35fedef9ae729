#include "support/Pixels.h"

#include <algorithm>
#include "Corvel/Render/DibInfo.h"

#include "Corvel/Render/RenderTarget.h"
#include "support/TestPaths.h"

#include <wincodec.h>

namespace testsupport {

namespace {

BITMAPINFO TopDown32(int width, int height)
{
    return ui::Dib32Info(width, -height);
}

// Copies a rectangle of a DC through a DIB section.
PixelImage CopyFromDc(HDC source, int x, int y, int width, int height)
{
    PixelImage img;
    if (!source || width <= 0 || height <= 0)
        return img;
    HDC mem = CreateCompatibleDC(source);
    BITMAPINFO bi = TopDown32(width, height);
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(source, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (dib && bits) {
        HGDIOBJ old = SelectObject(mem, dib);
        BitBlt(mem, 0, 0, width, height, source, x, y, SRCCOPY);
        GdiFlush();
        img.width = width;
        img.height = height;
        const uint32_t* p = static_cast<const uint32_t*>(bits);
        img.data.assign(p, p + static_cast<size_t>(width) * static_cast<size_t>(height));
        SelectObject(mem, old);
    }
    if (dib)
        DeleteObject(dib);
    DeleteDC(mem);
    return img;
}

} // namespace

PixelImage ReadDcBitmap(HDC hdc)
{
    PixelImage img;
    HBITMAP bmp = static_cast<HBITMAP>(GetCurrentObject(hdc, OBJ_BITMAP));
    BITMAP info{};
    if (!bmp || !GetObjectW(bmp, sizeof(info), &info) || info.bmWidth <= 0 || info.bmHeight <= 0)
        return img;
    BITMAPINFO bi = TopDown32(info.bmWidth, info.bmHeight);
    img.width = info.bmWidth;
    img.height = info.bmHeight;
    img.data.resize(static_cast<size_t>(img.width) * static_cast<size_t>(img.height));
    if (!GetDIBits(hdc, bmp, 0, static_cast<UINT>(img.height), img.data.data(), &bi, DIB_RGB_COLORS))
        img = PixelImage();
    return img;
}

PixelImage ReadTargetPixels(ui::RenderTarget& target)
{
    PixelImage img;
    target.BeginDraw({});
    if (target.GetGdiInterop() && target.GetD2DTarget()) {
        // Under Wine the bridge's DC only carries the surface once the frame
        // has drawn something; a transparent pixel changes nothing.
        target.GetD2DTarget()->FillRectangle(D2D1::RectF(0, 0, 1, 1),
                                             target.GetSolidBrush(D2D1_COLOR_F{0, 0, 0, 0}));
        HDC hdc = nullptr;
        if (SUCCEEDED(target.GetGdiInterop()->GetDC(D2D1_DC_INITIALIZE_MODE_COPY, &hdc)) && hdc) {
            img = ReadDcBitmap(hdc);
            target.GetGdiInterop()->ReleaseDC(nullptr);
        }
    }
    target.EndDraw(false, nullptr);
    return img;
}

PixelImage ReadWindowPixels(HWND hwnd, bool wholeWindow)
{
    RECT rc{};
    if (wholeWindow) {
        GetWindowRect(hwnd, &rc);
        OffsetRect(&rc, -rc.left, -rc.top);
    } else {
        GetClientRect(hwnd, &rc);
    }
    HDC wdc = wholeWindow ? GetWindowDC(hwnd) : GetDC(hwnd);
    if (!wdc)
        return PixelImage();
    PixelImage img = CopyFromDc(wdc, 0, 0, rc.right, rc.bottom);
    ReleaseDC(hwnd, wdc);
    return img;
}

PixelImage ReadScreenPixels(const RECT& r)
{
    HDC screen = GetDC(nullptr);
    if (!screen)
        return PixelImage();
    PixelImage img = CopyFromDc(screen, r.left, r.top, r.right - r.left, r.bottom - r.top);
    ReleaseDC(nullptr, screen);
    return img;
}

void PumpMessages()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void PastePixels(PixelImage& into, const PixelImage& part, int x, int y)
{
    for (int row = 0; row < part.height; ++row) {
        const int ty = y + row;
        if (ty < 0 || ty >= into.height)
            continue;
        for (int col = 0; col < part.width; ++col) {
            const int tx = x + col;
            if (tx < 0 || tx >= into.width)
                continue;
            into.data[static_cast<size_t>(ty) * static_cast<size_t>(into.width) + static_cast<size_t>(tx)] =
                part.At(col, row);
        }
    }
}

bool SavePng(const PixelImage& image, const std::wstring& path)
{
    if (image.width <= 0 || image.height <= 0)
        return false;
    // A factory of its own: works whether or not the UI library is running.
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
        SUCCEEDED(encoder->CreateNewFrame(&frame, nullptr)) && SUCCEEDED(frame->Initialize(nullptr)) &&
        SUCCEEDED(frame->SetSize(static_cast<UINT>(image.width), static_cast<UINT>(image.height)))) {
        WICPixelFormatGUID fmt = GUID_WICPixelFormat32bppBGRA;
        // The encoder may answer with another format; the bytes are BGRA.
        if (SUCCEEDED(frame->SetPixelFormat(&fmt)) && IsEqualGUID(fmt, GUID_WICPixelFormat32bppBGRA)) {
            const UINT stride = static_cast<UINT>(image.width) * 4;
            ok = SUCCEEDED(frame->WritePixels(static_cast<UINT>(image.height), stride,
                                              stride * static_cast<UINT>(image.height),
                                              reinterpret_cast<BYTE*>(opaque.data()))) &&
                 SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
        }
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

std::string Ink::Describe() const
{
    return "ink (" + std::to_string(left) + "," + std::to_string(top) + ")-(" + std::to_string(right) + "," +
           std::to_string(bottom) + ") " + std::to_string(pixels) + " px";
}

Ink FindInk(const PixelImage& img, const std::function<bool(uint32_t)>& match, int top, int bottom, int left,
            int right)
{
    Ink ink;
    for (int y = std::max(0, top); y < std::min(img.height, bottom); ++y)
        for (int x = std::max(0, left); x < std::min(img.width, right); ++x)
            if (match(img.At(x, y))) {
                ink.left = std::min(ink.left, x);
                ink.top = std::min(ink.top, y);
                ink.right = std::max(ink.right, x + 1);
                ink.bottom = std::max(ink.bottom, y + 1);
                ++ink.pixels;
            }
    return ink;
}

int PixelsWithAlpha(const PixelImage& img)
{
    int n = 0;
    for (uint32_t p : img.data)
        n += A(p) > 0;
    return n;
}

} // namespace testsupport
