#include "Corvel/Render/RenderTarget.h"

#include "Corvel/Render/TextLayoutCache.h"
#include "Corvel/Render/LayerWarp.h"
#include "Corvel/Render/DibInfo.h"

#include <wrl/client.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "Corvel/Core/UiGlobals.h"
#include "Corvel/Render/LayerBlur.h"
#include "Corvel/Render/RoundedRectPath.h"

namespace ui {

namespace {

constexpr int kInitialClipCapacity = 32;
// A layer's shadow blur at or below this is no shadow.
constexpr float kShadowBlurEpsilon = 1e-6f;

template <class T>
void SafeRelease(T*& p)
{
    if (p) {
        p->Release();
        p = nullptr;
    }
}

D2D1_RECT_F ToD2D(const RECTF& r)
{
    return D2D1::RectF(r.left, r.top, r.right, r.bottom);
}

bool IsEmpty(const RECTF& r)
{
    return r.left >= r.right || r.top >= r.bottom;
}

// Intersection with the clip stack's rule: an empty operand or no overlap
// gives all zeros.
RECTF IntersectRects(const RECTF& a, const RECTF& b)
{
    RECTF out{};
    if (IsEmpty(a) || IsEmpty(b) || a.left >= b.right || a.right <= b.left || a.top >= b.bottom ||
        a.bottom <= b.top)
        return out;
    out.left = std::max(a.left, b.left);
    out.top = std::max(a.top, b.top);
    out.right = std::min(a.right, b.right);
    out.bottom = std::min(a.bottom, b.bottom);
    return out;
}

ClipBox* AllocClipArray(int capacity)
{
    ClipBox* entries = new ClipBox[capacity];
    for (int i = 0; i < capacity; ++i)
        entries[i] = ClipBox();
    return entries;
}

float Channel(float v)
{
    return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
}

} // namespace

// ---------------------------------------------------------------- ClipBox

ClipBox ClipBox::FromRect(const RECTF& r)
{
    ClipBox box;
    box.rect = r;
    box.shapeRect = r;
    return box;
}

ClipBox ClipBox::Rounded(const RECTF& r, float cw, float ch)
{
    ClipBox box = FromRect(r);
    box.cornerWidth = cw;
    box.cornerHeight = ch;
    box.topLeft = box.topRight = box.bottomRight = box.bottomLeft = 1;
    return box;
}

// -------------------------------------------------------------- ClipGuard

ClipGuard::ClipGuard(RenderTarget* target)
    : m_target(target), m_entryId(target ? target->TopClipId() : 0)
{
}

ClipGuard::ClipGuard(RenderTarget* target, ClipBox& box)
    : m_target(target), m_entryId(target ? target->PushClip(box) : 0)
{
}

ClipGuard::ClipGuard(ClipGuard&& other) noexcept
    : m_target(other.m_target), m_entryId(other.m_entryId)
{
    other.m_target = nullptr;
    other.m_entryId = 0;
}

ClipGuard::~ClipGuard()
{
    Pop();
}

void ClipGuard::Pop()
{
    if (m_target && m_entryId)
        m_target->RemoveClip(m_entryId);
    m_entryId = 0;
}

// ----------------------------------------------------------- RenderTarget

RenderTarget::RenderTarget()
    : m_clipCapacity(kInitialClipCapacity),
      m_clipEntries(AllocClipArray(kInitialClipCapacity)),
      m_clipIds(new uint32_t[kInitialClipCapacity]())
{
    m_solidBrushes.max_load_factor(1.0f);
    m_solidBrushes.rehash(8);
    m_gradientBrushes.max_load_factor(1.0f);
    m_gradientBrushes.rehash(8);
}

RenderTarget::~RenderTarget()
{
    DiscardResources();
    delete[] m_clipEntries;
    delete[] m_clipIds;
    m_clipEntries = nullptr;
    m_clipIds = nullptr;
}

int RenderTarget::GetKind() const
{
    return 2;
}

bool RenderTarget::Init(HWND window, RenderTarget* parent, RecreatedCallback callback)
{
    m_window = window;
    m_parent = parent;
    m_recreated = std::move(callback);
    CreateResources();
    // A failed creation is retried by every BeginDraw.
    return true;
}

bool RenderTarget::CreateResources()
{
    if (m_target)
        return true;
    ID2D1Factory* factory = UiGlobals().d2dFactory;
    if (!factory)
        return false;

    if (m_window && !m_parent) {
        RECT rc{};
        GetClientRect(m_window, &rc);
        D2D1_RENDER_TARGET_PROPERTIES props = D2D1::RenderTargetProperties(
            D2D1_RENDER_TARGET_TYPE_DEFAULT,
            D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED), 0.0f, 0.0f,
            D2D1_RENDER_TARGET_USAGE_GDI_COMPATIBLE, D2D1_FEATURE_LEVEL_DEFAULT);
        const D2D1_HWND_RENDER_TARGET_PROPERTIES hwndProps = D2D1::HwndRenderTargetProperties(
            m_window,
            D2D1::SizeU(static_cast<UINT32>(std::max<LONG>(rc.right - rc.left, 0)),
                        static_cast<UINT32>(std::max<LONG>(rc.bottom - rc.top, 0))),
            D2D1_PRESENT_OPTIONS_NONE);
        ID2D1HwndRenderTarget* hwndTarget = nullptr;
        if (SUCCEEDED(factory->CreateHwndRenderTarget(props, hwndProps, &hwndTarget)) && hwndTarget)
            m_target = hwndTarget;
    } else {
        if (!m_parent || !m_parent->m_target)
            return false;
        // A child of no area has nothing to draw or composite.
        if (!(m_width > 0.0f) || !(m_height > 0.0f))
            return false;
        ID2D1BitmapRenderTarget* bitmapTarget = nullptr;
        const D2D1_SIZE_F size = D2D1::SizeF(m_width, m_height);
        if (SUCCEEDED(m_parent->m_target->CreateCompatibleRenderTarget(
                &size, nullptr, nullptr, D2D1_COMPATIBLE_RENDER_TARGET_OPTIONS_GDI_COMPATIBLE,
                &bitmapTarget)) &&
            bitmapTarget)
            m_target = bitmapTarget;
        m_parentGeneration = m_parent->m_generation;
    }
    if (!m_target)
        return false;

    m_target->QueryInterface(__uuidof(ID2D1GdiInteropRenderTarget), reinterpret_cast<void**>(&m_gdiInterop));
    m_target->SetAntialiasMode(D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
    m_target->SetTextAntialiasMode(D2D1_TEXT_ANTIALIAS_MODE_DEFAULT);
    m_target->SetDpi(kDeviceDpi, kDeviceDpi);
    m_target->SetTransform(m_drawingTransform);
    m_target->CreateLayer(nullptr, &m_clipLayer);
    if (FAILED(m_target->QueryInterface(__uuidof(ID2D1DeviceContext), reinterpret_cast<void**>(&m_deviceContext))))
        m_deviceContext = nullptr;
    ++m_generation;

    // After device loss the owner hears about it once the new objects exist,
    // even when the first attempt to recreate them failed.
    if (m_recreatePending) {
        m_recreatePending = false;
        if (m_recreated)
            m_recreated();
    }
    return true;
}

void RenderTarget::DiscardResources()
{
    for (auto& kv : m_solidBrushes)
        if (kv.second)
            kv.second->Release();
    m_solidBrushes.clear();
    for (auto& kv : m_gradientBrushes)
        if (kv.second)
            kv.second->Release();
    m_gradientBrushes.clear();

    PopDeviceClip();
    while (m_clipTop >= 0) {
        ReleaseEntry(m_clipTop);
        --m_clipTop;
    }
    if (m_gdiClipRegion) {
        DeleteObject(m_gdiClipRegion);
        m_gdiClipRegion = nullptr;
    }
    m_gdiClipActive = 0;
    m_currentClip = RECTF{};

    SafeRelease(m_gdiInterop);
    SafeRelease(m_clipLayer);
    SafeRelease(m_deviceContext);
    SafeRelease(m_target);
    m_inFrame = false;
}

void RenderTarget::Resize(float x, float y, float width, float height)
{
    m_originX = x;
    m_originY = y;
    if (width == m_width && height == m_height)
        return;
    m_width = width;
    m_height = height;
    if (m_window && !m_parent && m_target) {
        // A window target is always the HWND target CreateResources made.
        static_cast<ID2D1HwndRenderTarget*>(m_target)->Resize(
            D2D1::SizeU(static_cast<UINT32>(std::max(width, 0.0f)), static_cast<UINT32>(std::max(height, 0.0f))));
        return;
    }
    DiscardResources();
    CreateResources();
}

void RenderTarget::SetDrawingTransform(const D2D1_MATRIX_3X2_F& transform)
{
    m_drawingTransform = transform;
    if (m_target)
        m_target->SetTransform(transform);
}

bool RenderTarget::ParentWasRebuilt() const
{
    return m_parent && m_target && m_parent->m_generation != m_parentGeneration;
}

void RenderTarget::BeginDraw(const std::vector<RECTF>& clearRects)
{
    // A child built from a parent target that has since been replaced holds
    // objects of the lost device: rebuild it from the parent's new target.
    if (ParentWasRebuilt()) {
        DiscardResources();
        m_recreatePending = true;
    }
    CreateResources();
    if (!m_target)
        return;
    if (!m_inFrame) {
        m_target->BeginDraw();
        m_inFrame = true;
    }
    PopDeviceClip();
    ClearRects(clearRects);
    // Clips still on the stack from before the frame apply to it too.
    if (m_clipTop >= 0)
        ApplyClipStack();
}

void RenderTarget::ClearRects(const std::vector<RECTF>& rects)
{
    if (!m_target || !m_inFrame)
        return;
    for (const RECTF& r : rects) {
        m_target->PushAxisAlignedClip(ToD2D(r), D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
        m_target->Clear(nullptr);
        m_target->PopAxisAlignedClip();
    }
}

void RenderTarget::PrimeGdiInterop()
{
    // Wine's GDI interop hands out a DC without the surface's pixels when
    // nothing was drawn yet in the frame, and writes that blank DC back on
    // release. A fully transparent one-pixel fill changes nothing anywhere
    // and makes the copy-in work.
    if (ID2D1SolidColorBrush* brush = GetSolidBrush(D2D1_COLOR_F{0.0f, 0.0f, 0.0f, 0.0f}))
        m_target->FillRectangle(D2D1::RectF(0.0f, 0.0f, 1.0f, 1.0f), brush);
}

void RenderTarget::PresentLayered(const RECT* dirty)
{
    if (!m_gdiInterop || !m_window)
        return;
    RECT wr{};
    RECT cr{};
    GetWindowRect(m_window, &wr);
    GetClientRect(m_window, &cr);
    POINT dst{wr.left, wr.top};
    // The surface can lag behind the window for a frame while it is resized:
    // never hand the system a size larger than the bitmap behind the DC.
    const D2D1_SIZE_U px = m_target->GetPixelSize();
    SIZE size{std::min<LONG>(cr.right - cr.left, static_cast<LONG>(px.width)),
              std::min<LONG>(cr.bottom - cr.top, static_cast<LONG>(px.height))};
    if (size.cx <= 0 || size.cy <= 0)
        return;
    POINT src{0, 0};
    PrimeGdiInterop();
    HDC hdc = nullptr;
    if (FAILED(m_gdiInterop->GetDC(D2D1_DC_INITIALIZE_MODE_COPY, &hdc)) || !hdc)
        return;
    BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    RECT clipped{};
    const RECT* prcDirty = nullptr;
    if (dirty && dirty->left < dirty->right && dirty->top < dirty->bottom) {
        clipped.left = std::max<LONG>(dirty->left, 0);
        clipped.top = std::max<LONG>(dirty->top, 0);
        clipped.right = std::min<LONG>(dirty->right, size.cx);
        clipped.bottom = std::min<LONG>(dirty->bottom, size.cy);
        if (clipped.left < clipped.right && clipped.top < clipped.bottom)
            prcDirty = &clipped;
    }
    UPDATELAYEREDWINDOWINFO info{};
    info.cbSize = sizeof(info);
    info.hdcDst = nullptr;
    info.pptDst = &dst;
    info.psize = &size;
    info.hdcSrc = hdc;
    info.pptSrc = &src;
    info.crKey = 0;
    info.pblend = &blend;
    info.dwFlags = ULW_ALPHA;
    info.prcDirty = prcDirty;
    UpdateLayeredWindowIndirect(m_window, &info);
    m_gdiInterop->ReleaseDC(nullptr);
}

void RenderTarget::EndDraw(bool layered, const RECT* dirty)
{
    if (!m_target || !m_inFrame)
        return;
    // The frame must end balanced; the stack itself stays and is applied
    // again by the next BeginDraw.
    PopDeviceClip();
    if (layered)
        PresentLayered(dirty);
    HRESULT hr = m_target->EndDraw();
    m_inFrame = false;
    if (m_simulateLoss) {
        m_simulateLoss = false;
        hr = D2DERR_RECREATE_TARGET;
    }
    if (hr == static_cast<HRESULT>(D2DERR_RECREATE_TARGET))
        RecoverDeviceLoss();
}

void RenderTarget::FinishQueuedFrames()
{
    if (m_parent || !m_deviceContext || m_inFrame)
        return;
    // A copy queued now runs after every frame queued before it; mapping
    // its CPU-readable destination for reading waits until it has run.
    const D2D1_PIXEL_FORMAT format = D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED);
    D2D1_BITMAP_PROPERTIES1 sourceProps = D2D1::BitmapProperties1(D2D1_BITMAP_OPTIONS_NONE, format);
    D2D1_BITMAP_PROPERTIES1 readableProps =
        D2D1::BitmapProperties1(D2D1_BITMAP_OPTIONS_CPU_READ | D2D1_BITMAP_OPTIONS_CANNOT_DRAW, format);
    Microsoft::WRL::ComPtr<ID2D1Bitmap1> source;
    Microsoft::WRL::ComPtr<ID2D1Bitmap1> readable;
    const D2D1_SIZE_U onePixel = D2D1::SizeU(1, 1);
    if (FAILED(m_deviceContext->CreateBitmap(onePixel, nullptr, 0, &sourceProps, &source)) ||
        FAILED(m_deviceContext->CreateBitmap(onePixel, nullptr, 0, &readableProps, &readable)) ||
        FAILED(readable->CopyFromBitmap(nullptr, source.Get(), nullptr)))
        return;
    D2D1_MAPPED_RECT mapped{};
    if (SUCCEEDED(readable->Map(D2D1_MAP_OPTIONS_READ, &mapped)))
        readable->Unmap();
}

void RenderTarget::RecoverDeviceLoss()
{
    DiscardResources();
    m_recreatePending = true;
    CreateResources();
}

void RenderTarget::DrawToParent(const ParentComposition& params)
{
    if (!m_parent || !m_target)
        return;
    RenderTarget* parent = m_parent;
    if (!parent->m_target || !parent->m_inFrame)
        return;
    if (ParentWasRebuilt()) {
        // Our bitmap lives on the lost device; rebuild on the next frame.
        DiscardResources();
        m_recreatePending = true;
        return;
    }
    ID2D1BitmapRenderTarget* bitmapTarget = nullptr;
    if (FAILED(m_target->QueryInterface(__uuidof(ID2D1BitmapRenderTarget),
                                        reinterpret_cast<void**>(&bitmapTarget))) ||
        !bitmapTarget)
        return;
    ID2D1Bitmap* bitmap = nullptr;
    bitmapTarget->GetBitmap(&bitmap);
    bitmapTarget->Release();
    if (!bitmap)
        return;

    const D2D1_RECT_F dest = D2D1::RectF(m_originX, m_originY, m_originX + m_width, m_originY + m_height);
    const RECTF destRect(dest.left, dest.top, dest.right, dest.bottom);
    // A drop shadow of the layer's own picture: outer ones under the
    // content, inset ones over it.
    const BoxShadow* shadow = params.shadow;
    const bool shadowed = shadow && shadow->drop && shadow->blur > kShadowBlurEpsilon;
    if (shadowed && shadow->inset == 0)
        parent->DrawShadow(destRect, *shadow, nullptr, nullptr, nullptr, bitmap);
    if (parent->m_deviceContext && params.perspective && !IsIdentityMatrix(*params.perspective) &&
        !PerspectiveBitmapsWork()) {
        DrawWarpedToParent(bitmap, *params.perspective, params.opacity);
    } else if (parent->m_deviceContext) {
        ID2D1DeviceContext* dc = parent->m_deviceContext;
        if (params.blurDeviation > 0.0f) {
            if (ID2D1Effect* blur = CreateGaussianBlur(dc, params.blurDeviation, params.blurOptimization,
                                                       params.blurBorderMode)) {
                blur->SetInput(0, bitmap);
                const bool faded = params.opacity < 1.0f;
                if (faded)
                    dc->PushLayer(D2D1::LayerParameters1(D2D1::InfiniteRect(), nullptr, D2D1_ANTIALIAS_MODE_PER_PRIMITIVE,
                                                         D2D1::IdentityMatrix(), params.opacity),
                                  nullptr);
                const D2D1_POINT_2F at = D2D1::Point2F(m_originX, m_originY);
                dc->DrawImage(blur, &at, nullptr, D2D1_INTERPOLATION_MODE_LINEAR);
                if (faded)
                    dc->PopLayer();
                blur->Release();
            } else if (ID2D1Bitmap* blurred = BlurOnCpu(bitmap, params, dest)) {
                // Systems without the effect (Wine) get the same picture from
                // our own blur of the layer's pixels.
                dc->DrawBitmap(blurred, &m_blurDest, params.opacity, D2D1_INTERPOLATION_MODE_LINEAR, nullptr,
                               params.perspective);
                blurred->Release();
            } else {
                dc->DrawBitmap(bitmap, &dest, params.opacity, D2D1_INTERPOLATION_MODE_LINEAR, nullptr,
                               params.perspective);
            }
        } else {
            dc->DrawBitmap(bitmap, &dest, params.opacity, D2D1_INTERPOLATION_MODE_LINEAR, nullptr,
                           params.perspective);
        }
    } else {
        parent->m_target->DrawBitmap(bitmap, &dest, params.opacity, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR,
                                     nullptr);
    }
    if (shadowed && shadow->inset == 1)
        parent->DrawShadow(destRect, *shadow, nullptr, nullptr, nullptr, bitmap);
    bitmap->Release();
}

void RenderTarget::DrawWarpedToParent(ID2D1Bitmap* bitmap, const D2D1_MATRIX_4X4_F& matrix, float opacity)
{
    const D2D1_SIZE_U size = bitmap->GetPixelSize();
    const int w = static_cast<int>(size.width), h = static_cast<int>(size.height);
    if (w <= 0 || h <= 0)
        return;
    std::vector<uint32_t> pixels(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
    if (!ReadPixels(bitmap, pixels.data(), w, h, w))
        return;
    const D2D1_SIZE_F parentSize = m_parent->m_target->GetSize();
    WarpedPixels warped;
    if (!WarpPixels(pixels.data(), w, h, m_originX, m_originY, matrix,
                    D2D1::RectF(0, 0, parentSize.width, parentSize.height), warped))
        return;
    ID2D1Bitmap* picture = nullptr;
    const D2D1_BITMAP_PROPERTIES props = D2D1::BitmapProperties(
        D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED), kDeviceDpi, kDeviceDpi);
    if (FAILED(m_parent->m_target->CreateBitmap(
            D2D1::SizeU(static_cast<UINT32>(warped.width), static_cast<UINT32>(warped.height)), warped.data.data(),
            static_cast<UINT32>(warped.width) * 4, props, &picture)))
        return;
    const D2D1_RECT_F at = D2D1::RectF(static_cast<float>(warped.left), static_cast<float>(warped.top),
                                       static_cast<float>(warped.left + warped.width),
                                       static_cast<float>(warped.top + warped.height));
    m_parent->m_target->DrawBitmap(picture, &at, opacity, D2D1_BITMAP_INTERPOLATION_MODE_NEAREST_NEIGHBOR, nullptr);
    picture->Release();
}

bool RenderTarget::ReadPixels(ID2D1Bitmap* bitmap, uint32_t* out, int width, int height, int outStride)
{
    // A CPU-readable copy of the layer's bitmap.
    if (m_deviceContext && bitmap) {
        const D2D1_BITMAP_PROPERTIES1 props = D2D1::BitmapProperties1(
            D2D1_BITMAP_OPTIONS_CPU_READ | D2D1_BITMAP_OPTIONS_CANNOT_DRAW,
            D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED), kDeviceDpi, kDeviceDpi);
        ID2D1Bitmap1* readable = nullptr;
        bool ok = false;
        if (SUCCEEDED(m_deviceContext->CreateBitmap(
                D2D1::SizeU(static_cast<UINT32>(width), static_cast<UINT32>(height)), nullptr, 0, &props, &readable)) &&
            readable && SUCCEEDED(readable->CopyFromBitmap(nullptr, bitmap, nullptr))) {
            D2D1_MAPPED_RECT mapped{};
            if (SUCCEEDED(readable->Map(D2D1_MAP_OPTIONS_READ, &mapped)) && mapped.bits) {
                for (int y = 0; y < height; ++y)
                    std::memcpy(out + static_cast<ptrdiff_t>(y) * outStride, mapped.bits + static_cast<size_t>(y) * mapped.pitch,
                                static_cast<size_t>(width) * 4);
                readable->Unmap();
                ok = true;
            }
        }
        if (readable)
            readable->Release();
        if (ok)
            return true;
    }
    // Else through GDI interop, in a frame of our own.
    if (!m_gdiInterop || m_inFrame)
        return false;
    bool read = false;
    m_target->BeginDraw();
    m_inFrame = true;
    PrimeGdiInterop();
    HDC hdc = nullptr;
    if (SUCCEEDED(m_gdiInterop->GetDC(D2D1_DC_INITIALIZE_MODE_COPY, &hdc)) && hdc) {
        HBITMAP dib = static_cast<HBITMAP>(GetCurrentObject(hdc, OBJ_BITMAP));
        BITMAPINFO bi = Dib32Info(width, -height);
        std::vector<uint32_t> rows(static_cast<size_t>(width) * height);
        if (dib && GetDIBits(hdc, dib, 0, static_cast<UINT>(height), rows.data(), &bi, DIB_RGB_COLORS) == height) {
            for (int y = 0; y < height; ++y)
                std::memcpy(out + static_cast<ptrdiff_t>(y) * outStride, rows.data() + static_cast<size_t>(y) * width,
                            static_cast<size_t>(width) * 4);
            read = true;
        }
        m_gdiInterop->ReleaseDC(nullptr);
    }
    m_target->EndDraw();
    m_inFrame = false;
    return read;
}

ID2D1Bitmap* RenderTarget::BlurOnCpu(ID2D1Bitmap* source, const ParentComposition& params, const D2D1_RECT_F& dest)
{
    const D2D1_SIZE_U size = source->GetPixelSize();
    const int w = static_cast<int>(size.width), h = static_cast<int>(size.height);
    if (w <= 0 || h <= 0)
        return nullptr;
    const bool hard = params.blurBorderMode != 0;
    const int pad = hard ? 0 : SoftBlurPadding(params.blurDeviation);
    const int bw = w + 2 * pad, bh = h + 2 * pad;
    std::vector<uint32_t> pixels(static_cast<size_t>(bw) * bh, 0);
    if (!ReadPixels(source, pixels.data() + static_cast<ptrdiff_t>(pad) * bw + pad, w, h, bw))
        return nullptr;

    BoxBlurPremultiplied(pixels.data(), bw, bh, params.blurDeviation, hard);
    ID2D1Bitmap* bitmap = nullptr;
    const D2D1_BITMAP_PROPERTIES props = D2D1::BitmapProperties(
        D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED), kDeviceDpi, kDeviceDpi);
    if (FAILED(m_parent->m_target->CreateBitmap(D2D1::SizeU(static_cast<UINT32>(bw), static_cast<UINT32>(bh)),
                                                pixels.data(), static_cast<UINT32>(bw) * 4, props, &bitmap)))
        return nullptr;
    m_blurDest = D2D1::RectF(dest.left - pad, dest.top - pad, dest.right + pad, dest.bottom + pad);
    return bitmap;
}

// ------------------------------------------------------------- clip stack

const ClipBox* RenderTarget::ClipEntry(int index) const
{
    if (index < 0 || index > m_clipTop)
        return nullptr;
    return &m_clipEntries[index];
}

uint32_t RenderTarget::TopClipId() const
{
    return m_clipTop >= 0 ? m_clipIds[m_clipTop] : 0;
}

void RenderTarget::ReleaseEntry(int index)
{
    SafeRelease(m_clipEntries[index].geometry);
    m_clipEntries[index] = ClipBox();
    m_clipIds[index] = 0;
}

void RenderTarget::GrowClipArray()
{
    const int capacity = m_clipCapacity + m_clipGrowStep;
    ClipBox* entries = AllocClipArray(capacity);
    uint32_t* ids = new uint32_t[capacity]();
    for (int i = 0; i < m_clipCapacity; ++i) {
        entries[i] = m_clipEntries[i];
        ids[i] = m_clipIds[i];
    }
    delete[] m_clipEntries;
    delete[] m_clipIds;
    m_clipEntries = entries;
    m_clipIds = ids;
    m_clipCapacity = capacity;
}

uint32_t RenderTarget::PushClip(ClipBox& box)
{
    // A square box never carries a geometry: a stale pointer from an earlier
    // push of the same box must not become owned by the new entry.
    box.geometry = nullptr;
    if (box.cornerWidth > 0.0f || box.cornerHeight > 0.0f) {
        ID2D1Factory* factory = UiGlobals().d2dFactory;
        if (factory) {
            if (box.topLeft && box.topRight && box.bottomRight && box.bottomLeft) {
                ID2D1RoundedRectangleGeometry* rounded = nullptr;
                if (SUCCEEDED(factory->CreateRoundedRectangleGeometry(
                        D2D1::RoundedRect(ToD2D(box.shapeRect), box.cornerWidth / 2.0f, box.cornerHeight / 2.0f),
                        &rounded)))
                    box.geometry = rounded;
            } else {
                box.geometry = RoundedRectPath(factory, box.shapeRect, box.cornerWidth, box.cornerHeight,
                                               box.topLeft, box.topRight, box.bottomRight, box.bottomLeft)
                                   .Detach();
            }
        }
    }
    if (m_clipTop >= m_clipCapacity - 1)
        GrowClipArray();
    ++m_clipTop;
    m_clipEntries[m_clipTop] = box;
    uint32_t id = m_nextClipId++;
    if (id == 0)
        id = m_nextClipId++;
    m_clipIds[m_clipTop] = id;

    PopDeviceClip();
    ApplyClipStack();
    return id;
}

void RenderTarget::PopClip()
{
    if (m_clipTop >= 0)
        RemoveClip(m_clipIds[m_clipTop]);
}

bool RenderTarget::RemoveClip(uint32_t entryId)
{
    if (entryId == 0)
        return false;
    int index = m_clipTop;
    while (index >= 0 && m_clipIds[index] != entryId)
        --index;
    if (index < 0)
        return false;
    PopDeviceClip();
    ReleaseEntry(index);
    for (int i = index; i < m_clipTop; ++i) {
        m_clipEntries[i] = m_clipEntries[i + 1];
        m_clipIds[i] = m_clipIds[i + 1];
    }
    // The moved-from slot no longer owns its geometry.
    m_clipEntries[m_clipTop] = ClipBox();
    m_clipIds[m_clipTop] = 0;
    --m_clipTop;
    if (m_clipTop >= 0)
        ApplyClipStack();
    else
        m_currentClip = RECTF{};
    return true;
}

void RenderTarget::PopDeviceClip()
{
    if (m_appliedClips <= 0)
        return;
    if (m_target && m_inFrame) {
        if (m_layerPushed)
            m_target->PopLayer();
        m_target->PopAxisAlignedClip();
    }
    m_layerPushed = 0;
    m_appliedClips = 0;
}

void RenderTarget::ApplyClipStack()
{
    // Direct2D clips only exist inside a frame; BeginDraw applies the stack.
    if (!m_target || !m_inFrame || m_clipTop < 0)
        return;
    // Exactly one axis-aligned clip (and at most one layer) at any time.
    PopDeviceClip();
    m_layerPushed = 0;

    const ClipBox& top = m_clipEntries[m_clipTop];
    RECTF clip = top.rect;
    ID2D1Geometry* mask = nullptr;
    bool maskBorrowed = true;
    RECTF maskBounds = top.shapeRect;
    ID2D1Factory* factory = UiGlobals().d2dFactory;

    for (int i = m_clipTop; i >= 0; --i) {
        const ClipBox& e = m_clipEntries[i];
        if (e.geometry) {
            if (!mask) {
                mask = e.geometry;
                maskBorrowed = true;
                maskBounds = e.shapeRect;
            } else {
                ID2D1PathGeometry* combined = nullptr;
                ID2D1GeometrySink* sink = nullptr;
                bool ok = false;
                if (factory && SUCCEEDED(factory->CreatePathGeometry(&combined)) && combined &&
                    SUCCEEDED(combined->Open(&sink)) && sink) {
                    ok = SUCCEEDED(mask->CombineWithGeometry(e.geometry, D2D1_COMBINE_MODE_INTERSECT, nullptr,
                                                             D2D1_DEFAULT_FLATTENING_TOLERANCE, sink));
                    ok = SUCCEEDED(sink->Close()) && ok;
                }
                SafeRelease(sink);
                if (ok) {
                    if (!maskBorrowed)
                        mask->Release();
                    mask = combined;
                    maskBorrowed = false;
                } else {
                    // Without geometry combination (Wine) the innermost
                    // rounded shape stays the mask; the rectangle below
                    // still bounds it.
                    SafeRelease(combined);
                }
                maskBounds = IntersectRects(maskBounds, e.shapeRect);
            }
        }
        clip = IntersectRects(clip, e.rect);
    }

    m_currentClip = clip;
    m_target->PushAxisAlignedClip(ToD2D(clip), D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
    if (mask && m_clipLayer) {
        const D2D1_LAYER_PARAMETERS params = D2D1::LayerParameters(
            ToD2D(maskBounds), mask, D2D1_ANTIALIAS_MODE_PER_PRIMITIVE, D2D1::IdentityMatrix(), 1.0f, nullptr,
            D2D1_LAYER_OPTIONS_NONE);
        m_target->PushLayer(params, m_clipLayer);
        m_layerPushed = 1;
    }
    if (mask && !maskBorrowed)
        mask->Release();
    m_appliedClips = 1;
}

// ------------------------------------------------------------- GDI bridge

HDC RenderTarget::BeginGdiClip()
{
    if (!m_gdiInterop || !m_inFrame)
        return nullptr;
    if (m_appliedClips > 0) {
        m_gdiClipActive = 1;
        PopDeviceClip();
    } else {
        m_gdiClipActive = 0;
    }
    PrimeGdiInterop();
    HDC hdc = nullptr;
    if (FAILED(m_gdiInterop->GetDC(D2D1_DC_INITIALIZE_MODE_COPY, &hdc)) || !hdc) {
        // No DC: put the Direct2D clip back so drawing stays clipped.
        if (m_gdiClipActive) {
            m_gdiClipActive = 0;
            ApplyClipStack();
        }
        return nullptr;
    }
    D2D1_MATRIX_3X2_F m;
    m_target->GetTransform(&m);
    SetGraphicsMode(hdc, GM_ADVANCED);
    const XFORM xf{m._11, m._12, m._21, m._22, m._31, m._32};
    SetWorldTransform(hdc, &xf);
    if (m_gdiClipActive) {
        // Region coordinates are the surface's, not the transformed ones.
        RECT rc;
        rc.left = static_cast<LONG>(std::floor(m_currentClip.left - m_originX));
        rc.top = static_cast<LONG>(std::floor(m_currentClip.top - m_originY));
        rc.right = static_cast<LONG>(std::ceil(m_currentClip.right - m_originX));
        rc.bottom = static_cast<LONG>(std::ceil(m_currentClip.bottom - m_originY));
        m_gdiClipRegion = CreateRectRgnIndirect(&rc);
        SelectClipRgn(hdc, m_gdiClipRegion);
    }
    return hdc;
}

void RenderTarget::EndGdiClip(HDC hdc)
{
    if (!m_gdiInterop)
        return;
    if (hdc) {
        if (m_gdiClipActive)
            SelectClipRgn(hdc, nullptr);
        // The DC is Direct2D's and reused: leave it as it was handed out.
        ModifyWorldTransform(hdc, nullptr, MWT_IDENTITY);
    }
    if (m_gdiClipRegion) {
        DeleteObject(m_gdiClipRegion);
        m_gdiClipRegion = nullptr;
    }
    m_gdiInterop->ReleaseDC(nullptr);
    if (m_gdiClipActive) {
        m_gdiClipActive = 0;
        ApplyClipStack();
    }
}

// ---------------------------------------------------------------- brushes

ID2D1SolidColorBrush* RenderTarget::GetSolidBrush(const Color& color)
{
    return GetSolidBrush(D2D1_COLOR_F{color.r, color.g, color.b, color.a});
}

ID2D1SolidColorBrush* RenderTarget::GetSolidBrush(const D2D1_COLOR_F& color)
{
    if (!m_target)
        return nullptr;
    // Keyed by opaque RGB; out-of-range channels are clamped so they cannot
    // spill into a neighbouring byte of the key.
    const uint32_t red = static_cast<uint32_t>(Channel(color.r) * 255.0f);
    const uint32_t green = static_cast<uint32_t>(Channel(color.g) * 255.0f);
    const uint32_t blue = static_cast<uint32_t>(Channel(color.b) * 255.0f);
    const uint32_t key = 0xFF000000u + red * 65536u + green * 256u + blue;
    ID2D1SolidColorBrush* brush = nullptr;
    auto it = m_solidBrushes.find(key);
    if (it != m_solidBrushes.end()) {
        brush = it->second;
    } else {
        if (FAILED(m_target->CreateSolidColorBrush(D2D1::ColorF(color.r, color.g, color.b, 1.0f), &brush)) ||
            !brush)
            return nullptr;
        m_solidBrushes.emplace(key, brush);
    }
    brush->SetOpacity(color.a);
    return brush;
}

} // namespace ui
