#include "support/ImageFiles.h"

#include <wrl/client.h>

#include <algorithm>

#include "Corvel/Render/RenderTarget.h"
#include "Corvel/Render/UiImage.h"

using Microsoft::WRL::ComPtr;

namespace testsupport {

namespace {

void Put16(std::string& s, unsigned v)
{
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& s, uint32_t v)
{
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

// LZW data of min code size 2 where every pixel is sent as a clear code and
// a literal: the code width never grows, which any decoder reads right.
std::string GifImageData(const std::vector<uint8_t>& indices)
{
    const unsigned kMinCodeSize = 2, kClear = 4, kEnd = 5, kWidth = 3;
    std::string bits;
    uint32_t acc = 0;
    unsigned count = 0;
    auto emit = [&](unsigned code) {
        acc |= code << count;
        count += kWidth;
        while (count >= 8) {
            bits += static_cast<char>(acc & 0xFF);
            acc >>= 8;
            count -= 8;
        }
    };
    for (uint8_t index : indices) {
        emit(kClear);
        emit(index & 3u);
    }
    emit(kEnd);
    if (count)
        bits += static_cast<char>(acc & 0xFF);
    std::string out(1, static_cast<char>(kMinCodeSize));
    for (size_t at = 0; at < bits.size(); at += 255) {
        size_t n = std::min<size_t>(255, bits.size() - at);
        out += static_cast<char>(n);
        out.append(bits, at, n);
    }
    out += '\0';
    return out;
}

} // namespace

void ArgbImage::Fill(int left, int top, int right, int bottom, uint32_t argb)
{
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            At(x, y) = argb;
}

std::string EncodeWithWic(const ArgbImage& image, const GUID& container)
{
    ComPtr<IWICImagingFactory> factory;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory))))
        return std::string();
    ComPtr<IStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> options;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)) ||
        FAILED(factory->CreateEncoder(container, nullptr, &encoder)) ||
        FAILED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(&frame, &options)) || FAILED(frame->Initialize(options.Get())) ||
        FAILED(frame->SetSize(static_cast<UINT>(image.width), static_cast<UINT>(image.height))))
        return std::string();
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    if (FAILED(frame->SetPixelFormat(&format)))
        return std::string();
    // Encoders without alpha pick their own format: convert to it.
    ComPtr<IWICBitmap> source;
    if (FAILED(factory->CreateBitmapFromMemory(static_cast<UINT>(image.width), static_cast<UINT>(image.height),
                                               GUID_WICPixelFormat32bppBGRA, static_cast<UINT>(image.width) * 4,
                                               static_cast<UINT>(image.pixels.size() * 4),
                                               reinterpret_cast<BYTE*>(const_cast<uint32_t*>(image.pixels.data())),
                                               &source)))
        return std::string();
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(factory->CreateFormatConverter(&converter)) ||
        FAILED(converter->Initialize(source.Get(), format, WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom)) ||
        FAILED(frame->WriteSource(converter.Get(), nullptr)) || FAILED(frame->Commit()) || FAILED(encoder->Commit()))
        return std::string();
    HGLOBAL memory = nullptr;
    if (FAILED(GetHGlobalFromStream(stream.Get(), &memory)))
        return std::string();
    STATSTG stat{};
    stream->Stat(&stat, STATFLAG_NONAME);
    std::string bytes(static_cast<const char*>(GlobalLock(memory)), static_cast<size_t>(stat.cbSize.QuadPart));
    GlobalUnlock(memory);
    return bytes;
}

GifFrameSpec SolidGifFrame(int left, int top, int width, int height, uint8_t index, int delayCs, int disposal)
{
    GifFrameSpec f;
    f.left = left;
    f.top = top;
    f.width = width;
    f.height = height;
    f.indices.assign(static_cast<size_t>(width) * height, index);
    f.delayCs = delayCs;
    f.disposal = disposal;
    return f;
}

std::string BuildGif(int width, int height, const std::vector<uint32_t>& palette, int backgroundIndex,
                     const std::vector<GifFrameSpec>& frames)
{
    const unsigned kTableBits = 1;  // 2^(1+1) = 4 colours
    const unsigned kGlobalTable = 0x80, kColourResolution = 0x10;
    std::string s = "GIF89a";
    Put16(s, static_cast<unsigned>(width));
    Put16(s, static_cast<unsigned>(height));
    s += static_cast<char>(kGlobalTable | kColourResolution | kTableBits);
    s += static_cast<char>(backgroundIndex);
    s += '\0';
    for (size_t i = 0; i < 4; ++i) {
        uint32_t c = i < palette.size() ? palette[i] : 0;
        s += static_cast<char>((c >> 16) & 0xFF);
        s += static_cast<char>((c >> 8) & 0xFF);
        s += static_cast<char>(c & 0xFF);
    }
    for (const GifFrameSpec& f : frames) {
        if (f.control) {
            s += "\x21\xF9\x04";
            s += static_cast<char>((f.disposal & 7) << 2);
            Put16(s, static_cast<unsigned>(f.delayCs));
            s += '\0';  // transparent index (unused)
            s += '\0';
        }
        s += '\x2C';
        Put16(s, static_cast<unsigned>(f.left));
        Put16(s, static_cast<unsigned>(f.top));
        Put16(s, static_cast<unsigned>(f.width));
        Put16(s, static_cast<unsigned>(f.height));
        s += '\0';
        s += GifImageData(f.indices);
    }
    s += '\x3B';
    return s;
}

std::string BuildIco(const std::vector<ArgbImage>& images)
{
    const uint32_t kHeaderSize = 6, kEntrySize = 16, kInfoSize = 40;
    std::string s;
    Put16(s, 0);
    Put16(s, 1);  // icon
    Put16(s, static_cast<unsigned>(images.size()));
    std::vector<std::string> blobs;
    for (const ArgbImage& im : images) {
        std::string b;
        Put32(b, kInfoSize);
        Put32(b, static_cast<uint32_t>(im.width));
        Put32(b, static_cast<uint32_t>(im.height * 2));  // colour and mask
        Put16(b, 1);
        Put16(b, 32);
        for (int i = 0; i < 6; ++i)
            Put32(b, 0);
        for (int y = im.height - 1; y >= 0; --y)
            for (int x = 0; x < im.width; ++x)
                Put32(b, im.pixels[static_cast<size_t>(y) * im.width + x]);
        const int maskStride = ((im.width + 31) / 32) * 4;
        b.append(static_cast<size_t>(maskStride) * im.height, '\0');
        blobs.push_back(b);
    }
    uint32_t offset = kHeaderSize + kEntrySize * static_cast<uint32_t>(images.size());
    for (size_t i = 0; i < images.size(); ++i) {
        s += static_cast<char>(images[i].width >= 256 ? 0 : images[i].width);
        s += static_cast<char>(images[i].height >= 256 ? 0 : images[i].height);
        s += '\0';
        s += '\0';
        Put16(s, 1);
        Put16(s, 32);
        Put32(s, static_cast<uint32_t>(blobs[i].size()));
        Put32(s, offset);
        offset += static_cast<uint32_t>(blobs[i].size());
    }
    for (const std::string& b : blobs)
        s += b;
    return s;
}

std::string BuildAsciiBmp(int width, int height, uint8_t red, uint8_t green, uint8_t blue)
{
    const uint32_t kFileHeader = 14, kInfoSize = 40;
    const int stride = (width * 3 + 3) / 4 * 4;
    const uint32_t imageSize = static_cast<uint32_t>(stride * height);
    std::string s = "BM";
    Put32(s, kFileHeader + kInfoSize + imageSize);
    Put32(s, 0);
    Put32(s, kFileHeader + kInfoSize);
    Put32(s, kInfoSize);
    Put32(s, static_cast<uint32_t>(width));
    Put32(s, static_cast<uint32_t>(height));
    Put16(s, 1);
    Put16(s, 24);
    Put32(s, 0);
    Put32(s, imageSize);
    for (int i = 0; i < 4; ++i)
        Put32(s, 0);
    for (int y = 0; y < height; ++y) {
        std::string row;
        for (int x = 0; x < width; ++x) {
            row += static_cast<char>(blue);
            row += static_cast<char>(green);
            row += static_cast<char>(red);
        }
        row.resize(static_cast<size_t>(stride), '\0');
        s += row;
    }
    return s;
}

PixelImage ReadFramePixels(ui::RenderTarget& target, const ui::tagTImageInfo& image, int frame)
{
    if (frame < 0 || frame >= image.FrameCount() || !image.frames[static_cast<size_t>(frame)])
        return PixelImage();
    ID2D1Bitmap* bitmap = image.frames[static_cast<size_t>(frame)].Get();
    const D2D1_SIZE_U size = bitmap->GetPixelSize();
    const ui::RECTF whole(0, 0, target.Width(), target.Height());
    target.BeginDraw({whole});
    const ui::RECTF dest(0, 0, static_cast<float>(size.width), static_cast<float>(size.height));
    target.DrawBitmapRect(bitmap, &dest, nullptr, 1.0f);
    target.EndDraw(false, nullptr);
    PixelImage all = ReadTargetPixels(target);
    PixelImage out;
    out.width = static_cast<int>(size.width);
    out.height = static_cast<int>(size.height);
    for (int y = 0; y < out.height; ++y)
        for (int x = 0; x < out.width; ++x)
            out.data.push_back(all.At(x, y));
    return out;
}

} // namespace testsupport
