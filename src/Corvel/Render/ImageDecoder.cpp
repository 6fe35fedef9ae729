// Raster decoding through WIC: still images, composed GIF animations, icon
// frames, frame folders on disk and in the skin archive, and the bridges
// from pixels, GDI+ and GDI bitmaps.
#include "Corvel/Render/ImageDecoder.h"

#include <wincodec.h>
#include <gdiplus.h>
#include <propvarutil.h>

#include <algorithm>
#include <atomic>
#include <cwctype>

#include "Corvel/Core/SkinArchive.h"
#include "Corvel/Core/UiGlobals.h"
#include "Corvel/Render/Effects.h"
#include "Corvel/Render/ImageSources.h"
#include "Corvel/Render/RenderTarget.h"

namespace ui {

using Microsoft::WRL::ComPtr;

namespace {

constexpr float kBaseDpi = 96.0f;
// GIF delays are stored in hundredths of a second.
constexpr int kGifDelayUnitMs = 10;
// GIF disposal methods.
enum : uint32_t {
    kDisposeRestoreBackground = 2,
    kDisposeRestorePrevious = 3,
};
// One second shared by all frames of a frame folder.
constexpr int kFolderCycleMs = 1000;
constexpr UINT kMaxPaletteColors = 256;

D2D1_BITMAP_PROPERTIES FrameBitmapProperties()
{
    return D2D1::BitmapProperties(D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED),
                                  kBaseDpi, kBaseDpi);
}

IWICImagingFactory* Wic() { return UiGlobals().wicFactory; }

ID2D1RenderTarget* D2DOf(RenderTarget* target)
{
    if (!target)
        return nullptr;
    target->CreateResources();
    return target->GetD2DTarget();
}

// The source as premultiplied BGRA.
ComPtr<IWICFormatConverter> ConvertToPbgra(IWICBitmapSource* source)
{
    ComPtr<IWICFormatConverter> converter;
    if (!Wic() || FAILED(Wic()->CreateFormatConverter(&converter)) ||
        FAILED(converter->Initialize(source, GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom)))
        return nullptr;
    return converter;
}

ComPtr<ID2D1Bitmap> BitmapFromWic(ID2D1RenderTarget* target, IWICBitmapSource* source, UINT* width, UINT* height)
{
    ComPtr<IWICFormatConverter> converter = ConvertToPbgra(source);
    ComPtr<ID2D1Bitmap> bitmap;
    const D2D1_BITMAP_PROPERTIES props = FrameBitmapProperties();
    if (!converter || FAILED(target->CreateBitmapFromWicBitmap(converter.Get(), &props, &bitmap)))
        return nullptr;
    if (width && height)
        converter->GetSize(width, height);
    return bitmap;
}

bool ReadUnsigned(IWICMetadataQueryReader* reader, const wchar_t* name, uint32_t& value)
{
    PROPVARIANT v;
    PropVariantInit(&v);
    bool ok = false;
    if (reader && SUCCEEDED(reader->GetMetadataByName(name, &v))) {
        ok = true;
        switch (v.vt) {
        case VT_UI1: value = v.bVal; break;
        case VT_UI2: value = v.uiVal; break;
        case VT_UI4: value = v.ulVal; break;
        case VT_BOOL: value = v.boolVal ? 1 : 0; break;
        default: ok = false; break;
        }
    }
    PropVariantClear(&v);
    return ok;
}

bool ContainsNoCase(const wchar_t* text, const wchar_t* part)
{
    std::wstring t(text ? text : L""), p(part);
    for (wchar_t& c : t)
        c = static_cast<wchar_t>(towlower(c));
    return t.find(p) != std::wstring::npos;
}

// ---- single frames and icons -------------------------------------------

ImagePtr DecodeSingleFrame(ID2D1RenderTarget* target, IWICBitmapDecoder* decoder)
{
    ComPtr<IWICBitmapFrameDecode> frame;
    if (FAILED(decoder->GetFrame(0, &frame)))
        return nullptr;
    UINT w = 0, h = 0;
    ComPtr<ID2D1Bitmap> bitmap = BitmapFromWic(target, frame.Get(), &w, &h);
    if (!bitmap)
        return nullptr;
    ImagePtr image(new tagTImageInfo);
    image->width = static_cast<int>(w);
    image->height = static_cast<int>(h);
    image->AddFrame(std::move(bitmap), 0);
    return image;
}

// Every image of an icon is a frame, in file order; the image takes the size
// of the last one (drawing maps each frame from its own whole bitmap).
ImagePtr DecodeIconFrames(ID2D1RenderTarget* target, IWICBitmapDecoder* decoder, UINT count)
{
    ImagePtr image(new tagTImageInfo);
    for (UINT i = 0; i < count; ++i) {
        ComPtr<IWICBitmapFrameDecode> frame;
        UINT w = 0, h = 0;
        ComPtr<ID2D1Bitmap> bitmap;
        if (SUCCEEDED(decoder->GetFrame(i, &frame)))
            bitmap = BitmapFromWic(target, frame.Get(), &w, &h);
        if (!bitmap)
            return nullptr;
        image->width = static_cast<int>(w);
        image->height = static_cast<int>(h);
        image->AddFrame(std::move(bitmap), 0);
    }
    return image;
}

// ---- GIF composition -----------------------------------------------------

struct GifFrameInfo {
    int delayMs = kDefaultFrameDelayMs;
    RECTF rect;
    uint32_t disposal = 0;
};

D2D1_COLOR_F GifBackground(IWICBitmapDecoder* decoder, IWICMetadataQueryReader* reader)
{
    D2D1_COLOR_F none = D2D1::ColorF(0, 0, 0, 0);
    uint32_t hasTable = 0, index = 0;
    if (!ReadUnsigned(reader, L"/logscrdesc/GlobalColorTableFlag", hasTable) || !hasTable ||
        !ReadUnsigned(reader, L"/logscrdesc/BackgroundColorIndex", index))
        return none;
    ComPtr<IWICPalette> palette;
    WICColor colors[kMaxPaletteColors] = {};
    UINT count = 0;
    if (FAILED(Wic()->CreatePalette(&palette)) || FAILED(decoder->CopyPalette(palette.Get())) ||
        FAILED(palette->GetColors(kMaxPaletteColors, colors, &count)) || index >= count)
        return none;
    const WICColor c = colors[index];
    return D2D1::ColorF(((c >> 16) & 0xFF) / 255.0f, ((c >> 8) & 0xFF) / 255.0f, (c & 0xFF) / 255.0f,
                        ((c >> 24) & 0xFF) / 255.0f);
}

GifFrameInfo ReadGifFrameInfo(IWICBitmapFrameDecode* frame, float canvasWidth, float canvasHeight)
{
    GifFrameInfo info;
    ComPtr<IWICMetadataQueryReader> reader;
    frame->GetMetadataQueryReader(&reader);
    uint32_t v = 0;
    if (ReadUnsigned(reader.Get(), L"/grctlext/Delay", v))
        info.delayMs = static_cast<int>(v) * kGifDelayUnitMs;
    uint32_t left = 0, top = 0, width = 0, height = 0;
    ReadUnsigned(reader.Get(), L"/imgdesc/Left", left);
    ReadUnsigned(reader.Get(), L"/imgdesc/Top", top);
    float w = ReadUnsigned(reader.Get(), L"/imgdesc/Width", width) ? static_cast<float>(width) : canvasWidth;
    float h = ReadUnsigned(reader.Get(), L"/imgdesc/Height", height) ? static_cast<float>(height) : canvasHeight;
    info.rect = RECTF(static_cast<float>(left), static_cast<float>(top), static_cast<float>(left) + w,
                      static_cast<float>(top) + h);
    if (!ReadUnsigned(reader.Get(), L"/grctlext/Disposal", info.disposal))
        info.disposal = 0;
    return info;
}

// The canvas every frame is drawn onto, and the state carried between frames.
struct GifCanvas {
    ID2D1RenderTarget* target = nullptr;
    ComPtr<ID2D1BitmapRenderTarget> canvas;
    ComPtr<ID2D1Bitmap> surface;  // the canvas's own bitmap
    ComPtr<ID2D1Bitmap> saved;    // for disposal 3, made on first use
    D2D1_COLOR_F background{};
    D2D1_SIZE_U size{};

    ComPtr<ID2D1Bitmap> NewBitmapLikeCanvas() const
    {
        ComPtr<ID2D1Bitmap> bitmap;
        const D2D1_BITMAP_PROPERTIES props = FrameBitmapProperties();
        if (FAILED(target->CreateBitmap(size, nullptr, 0, props, &bitmap)))
            return nullptr;
        return bitmap;
    }

    bool SaveCanvas()
    {
        if (!saved)
            saved = NewBitmapLikeCanvas();
        return saved && SUCCEEDED(saved->CopyFromBitmap(nullptr, surface.Get(), nullptr));
    }

    void RestoreSaved()
    {
        if (saved)
            surface->CopyFromBitmap(nullptr, saved.Get(), nullptr);
    }

    // Draws one frame over the canvas: before the first the canvas is
    // cleared; a previous frame with disposal 2 gives its own rectangle back
    // to the background (the rest of the canvas stays).
    bool Compose(IWICBitmapFrameDecode* frame, const RECTF& rect, bool first, const RECTF* clearRect)
    {
        ComPtr<ID2D1Bitmap> bitmap = BitmapFromWic(canvas.Get(), frame, nullptr, nullptr);
        if (!bitmap)
            return false;
        canvas->BeginDraw();
        if (first)
            canvas->Clear(background);
        if (clearRect) {
            canvas->PushAxisAlignedClip(D2D1::RectF(clearRect->left, clearRect->top, clearRect->right,
                                                    clearRect->bottom),
                                        D2D1_ANTIALIAS_MODE_ALIASED);
            canvas->Clear(background);
            canvas->PopAxisAlignedClip();
        }
        const D2D1_RECT_F dest = D2D1::RectF(rect.left, rect.top, rect.right, rect.bottom);
        canvas->DrawBitmap(bitmap.Get(), &dest, 1.0f, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR, nullptr);
        return SUCCEEDED(canvas->EndDraw());
    }

    ComPtr<ID2D1Bitmap> Snapshot() const
    {
        ComPtr<ID2D1Bitmap> copy = NewBitmapLikeCanvas();
        if (!copy || FAILED(copy->CopyFromBitmap(nullptr, surface.Get(), nullptr)))
            return nullptr;
        return copy;
    }
};

bool OpenGifCanvas(ID2D1RenderTarget* target, IWICBitmapDecoder* decoder, IWICMetadataQueryReader* reader,
                   GifCanvas& out)
{
    uint32_t width = 0, height = 0;
    if (!ReadUnsigned(reader, L"/logscrdesc/Width", width) || !ReadUnsigned(reader, L"/logscrdesc/Height", height) ||
        width == 0 || height == 0)
        return false;
    out.target = target;
    out.size = D2D1::SizeU(width, height);
    if (FAILED(target->CreateCompatibleRenderTarget(D2D1::SizeF(static_cast<float>(width), static_cast<float>(height)),
                                                    &out.canvas)) ||
        FAILED(out.canvas->GetBitmap(&out.surface)))
        return false;
    out.background = GifBackground(decoder, reader);
    return true;
}

ImagePtr ComposeGif(ID2D1RenderTarget* target, IWICBitmapDecoder* decoder, IWICMetadataQueryReader* reader,
                    UINT count)
{
    GifCanvas canvas;
    if (!OpenGifCanvas(target, decoder, reader, canvas))
        return nullptr;
    ImagePtr image(new tagTImageInfo);
    image->width = static_cast<int>(canvas.size.width);
    image->height = static_cast<int>(canvas.size.height);
    GifFrameInfo previous;
    for (UINT i = 0; i < count; ++i) {
        ComPtr<IWICBitmapFrameDecode> frame;
        if (FAILED(decoder->GetFrame(i, &frame)))
            return nullptr;
        const bool first = i == 0;
        if (!first && previous.disposal == kDisposeRestorePrevious)
            canvas.RestoreSaved();
        const RECTF* clearRect = !first && previous.disposal == kDisposeRestoreBackground ? &previous.rect : nullptr;
        GifFrameInfo info =
            ReadGifFrameInfo(frame.Get(), static_cast<float>(image->width), static_cast<float>(image->height));
        if (info.disposal == kDisposeRestorePrevious && !canvas.SaveCanvas())
            return nullptr;
        if (!canvas.Compose(frame.Get(), info.rect, first, clearRect))
            return nullptr;
        ComPtr<ID2D1Bitmap> snapshot = canvas.Snapshot();
        if (!snapshot)
            return nullptr;
        image->AddFrame(std::move(snapshot), info.delayMs);
        previous = info;
    }
    return image;
}

std::atomic<uint64_t> g_decodeCount{0};

ImagePtr DecodeWithDecoder(RenderTarget* renderTarget, IWICBitmapDecoder* decoder, bool icon)
{
    ++g_decodeCount;
    ID2D1RenderTarget* target = D2DOf(renderTarget);
    UINT count = 0;
    if (!target || !decoder || FAILED(decoder->GetFrameCount(&count)) || count == 0)
        return nullptr;
    if (count == 1)
        return DecodeSingleFrame(target, decoder);
    // Icons never compose: each image is a frame of its own size.
    if (icon)
        return DecodeIconFrames(target, decoder, count);
    ComPtr<IWICMetadataQueryReader> reader;
    if (FAILED(decoder->GetMetadataQueryReader(&reader)) || !reader)
        return nullptr;
    return ComposeGif(target, decoder, reader.Get(), count);
}

// ---- frame folders -------------------------------------------------------

// Frames keep their order by number; equal numbers keep the listing order.
template <class T, class NameOf>
void SortByFrameNumber(std::vector<T>& items, NameOf nameOf)
{
    std::stable_sort(items.begin(), items.end(),
                     [&](const T& a, const T& b) { return GetFrameNumber(nameOf(a)) < GetFrameNumber(nameOf(b)); });
}

// The first frame of each decoded file, sized by the first, one second
// shared by all; no image without any frame.
ImagePtr AssembleFolderFrames(std::vector<ImagePtr> decoded)
{
    ImagePtr image(new tagTImageInfo);
    for (ImagePtr& part : decoded) {
        if (!part || part->frames.empty() || !part->frames[0])
            continue;
        if (image->frames.empty()) {
            image->width = part->width;
            image->height = part->height;
        }
        image->AddFrame(part->frames[0], 0);
    }
    if (image->frames.empty())
        return nullptr;
    const int delay = kFolderCycleMs / image->FrameCount();
    for (int& d : image->delays)
        d = delay;
    return image;
}

} // namespace

// ---- entry points ------------------------------------------------------------

ImagePtr DecodeImageFromMemory(RenderTarget* target, const void* bytes, size_t size, bool icon)
{
    if (!Wic() || !bytes || size == 0 || size > MAXDWORD)
        return nullptr;
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    if (FAILED(Wic()->CreateStream(&stream)) ||
        FAILED(stream->InitializeFromMemory(static_cast<BYTE*>(const_cast<void*>(bytes)), static_cast<DWORD>(size))) ||
        FAILED(Wic()->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnLoad, &decoder)))
        return nullptr;
    return DecodeWithDecoder(target, decoder.Get(), icon);
}

ImagePtr DecodeImageFile(RenderTarget* target, const wchar_t* path)
{
    std::wstring file;
    if (!Wic() || !ResolveDiskPath(path, file))
        return nullptr;
    if (IsFolder(file))
        return LoadFrameFolder(target, file.c_str());
    ComPtr<IWICBitmapDecoder> decoder;
    if (FAILED(Wic()->CreateDecoderFromFilename(file.c_str(), nullptr, GENERIC_READ, WICDecodeMetadataCacheOnLoad,
                                                &decoder)))
        return nullptr;
    return DecodeWithDecoder(target, decoder.Get(), ContainsNoCase(path, L".ico"));
}

ImagePtr LoadImageFile(RenderTarget* target, const wchar_t* path)
{
    ArchiveHandle archive = GetSkinArchive();
    if (!archive || !path)
        return DecodeImageFile(target, path);
    ArchiveEntry entry{};
    int32_t index = -1;
    if (FindArchiveEntry(archive, path, 0, &index, &entry) == ARCHIVE_OK) {
        if (entry.uncompressedSize > 0) {
            std::string bytes;
            if (!ReadArchiveEntry(archive, entry, bytes))
                return nullptr;
            return DecodeImageFromMemory(target, bytes.data(), bytes.size(), ContainsNoCase(path, L".ico"));
        }
        if (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) {
            std::vector<ArchiveEntry> frames = archive->reader.ListEntriesWithPrefix(entry);
            if (!frames.empty())
                return LoadArchiveFrameFolder(target, archive, std::move(frames));
        }
        return nullptr;
    }
    if (!wcschr(path, L'.')) {
        std::wstring folder = std::wstring(path) + L"\\";
        if (FindArchiveEntry(archive, folder.c_str(), 0, &index, &entry) == ARCHIVE_OK) {
            std::vector<ArchiveEntry> frames = archive->reader.ListEntriesWithPrefix(entry);
            if (!frames.empty()) {
                if (ImagePtr image = LoadArchiveFrameFolder(target, archive, std::move(frames)))
                    return image;
            }
        }
    }
    std::wstring file;
    if (!ResolveDiskPath(path, file))
        return nullptr;
    return DecodeImageFile(target, path);
}

ImagePtr LoadFrameFolder(RenderTarget* target, const wchar_t* folder)
{
    std::wstring base(folder ? folder : L"");
    if (!base.empty() && base.back() == L'/')
        base.back() = L'\\';
    else if (base.empty() || base.back() != L'\\')
        base += L'\\';
    std::vector<std::wstring> names = ListFolderFiles(base);
    SortByFrameNumber(names, [](const std::wstring& n) { return n.c_str(); });
    std::vector<ImagePtr> decoded;
    for (const std::wstring& name : names)
        decoded.push_back(LoadImageFile(target, (base + name).c_str()));
    return AssembleFolderFrames(std::move(decoded));
}

ImagePtr LoadArchiveFrameFolder(RenderTarget* target, ArchiveHandle archive, std::vector<ArchiveEntry> entries)
{
    if (!archive || archive->mode != ARCHIVE_MODE_READ)
        return nullptr;
    SortByFrameNumber(entries, [](const ArchiveEntry& e) { return e.name; });
    std::vector<ImagePtr> decoded;
    for (const ArchiveEntry& entry : entries) {
        if (entry.uncompressedSize == 0)
            continue;  // a sub-folder's own entry
        std::string bytes;
        if (!ReadArchiveEntry(archive, entry, bytes))
            return nullptr;
        decoded.push_back(DecodeImageFromMemory(target, bytes.data(), bytes.size(), false));
    }
    return AssembleFolderFrames(std::move(decoded));
}

ImagePtr CreateImageInfoFromPixels(RenderTarget* renderTarget, const void* pixels, int width, int height, int stride)
{
    ID2D1RenderTarget* target = D2DOf(renderTarget);
    if (!target || !pixels || width <= 0 || height <= 0 || stride < width * 4)
        return nullptr;
    ComPtr<ID2D1Bitmap> bitmap;
    if (FAILED(target->CreateBitmap(D2D1::SizeU(static_cast<UINT32>(width), static_cast<UINT32>(height)), pixels,
                                    static_cast<UINT32>(stride), FrameBitmapProperties(), &bitmap)))
        return nullptr;
    ImagePtr image(new tagTImageInfo);
    image->width = width;
    image->height = height;
    image->AddFrame(std::move(bitmap), 0);
    return image;
}

ImagePtr LoadImageFromGdiplusBitmap(RenderTarget* target, Gdiplus::Bitmap* bitmap)
{
    if (!bitmap)
        return nullptr;
    const int width = static_cast<int>(bitmap->GetWidth()), height = static_cast<int>(bitmap->GetHeight());
    Gdiplus::Rect whole(0, 0, width, height);
    Gdiplus::BitmapData data{};
    if (width <= 0 || height <= 0 ||
        bitmap->LockBits(&whole, Gdiplus::ImageLockModeRead, PixelFormat32bppPARGB, &data) != Gdiplus::Ok)
        return nullptr;
    ImagePtr image = CreateImageInfoFromPixels(target, data.Scan0, width, height, data.Stride);
    bitmap->UnlockBits(&data);
    return image;
}

ImagePtr LoadImageFromHbitmap(RenderTarget* target, HBITMAP bitmap)
{
    // The caller keeps its bitmap.
    std::unique_ptr<Gdiplus::Bitmap> copy = CopyHbitmapToGdiplus(bitmap);
    return LoadImageFromGdiplusBitmap(target, copy.get());
}

uint64_t ImageDecodeCountForTesting() { return g_decodeCount; }

void CountImageDecode() { ++g_decodeCount; }

int GetFrameNumber(const wchar_t* name)
{
    if (!name)
        return 0;
    const wchar_t* end = name + wcslen(name);
    const wchar_t* p = end;
    while (p > name && !iswdigit(p[-1]))
        --p;
    const wchar_t* last = p;
    while (p > name && iswdigit(p[-1]))
        --p;
    long long value = 0;
    for (const wchar_t* d = p; d < last && value <= INT_MAX; ++d)
        value = value * 10 + (*d - L'0');
    return static_cast<int>(std::min<long long>(value, INT_MAX));
}

} // namespace ui
