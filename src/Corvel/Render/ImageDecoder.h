// Image decoding: files and bytes turned into decoded images (tagTImageInfo)
// whose bitmaps are created on a window's render target. Sources are the
// skin archive first and the disk second; formats are what WIC decodes, with
// animated GIFs composed frame by frame, every image of an icon kept as a
// frame, folders of numbered images played as frames, and SVG documents
// rendered at a requested size.
//
// Every function returns an image owned by the caller, or null for "no
// image" (missing file, read or decode error, empty folder, no resources on
// the target). Paths are relative to the UI library's resource folder or
// absolute. UI thread only: the bitmaps belong to the target passed in.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Corvel/Core/ArchiveReader.h"
#include "Corvel/Render/UiImage.h"

namespace Gdiplus {
class Bitmap;
}

namespace ui {

class RenderTarget;

using ImagePtr = std::unique_ptr<tagTImageInfo>;

// Frame delay of a GIF frame whose delay cannot be read, and of frames whose
// descriptor asks for a delay of 0 or less (milliseconds).
constexpr int kDefaultFrameDelayMs = 90;
// Largest pixel width or height of a rendered SVG.
constexpr int kMaxSvgPixels = 16384;

// Archive first (a folder entry plays its files as frames), then the disk.
ImagePtr LoadImageFile(RenderTarget* target, const wchar_t* path);
// A file, or a folder of frames, on disk: the resource folder followed by
// the path, else the path itself.
ImagePtr DecodeImageFile(RenderTarget* target, const wchar_t* path);
// Bytes in memory; `icon` keeps every image of a multi-image file as a frame.
ImagePtr DecodeImageFromMemory(RenderTarget* target, const void* bytes, size_t size, bool icon);
// Every file of a folder, ordered by the number in its name, one frame each
// (its first frame); each frame lasts 1000 / count ms. Files that do not
// decode are skipped; a folder without any frame gives no image.
ImagePtr LoadFrameFolder(RenderTarget* target, const wchar_t* folder);
// The same for archive entries (the files of an archive folder).
ImagePtr LoadArchiveFrameFolder(RenderTarget* target, ArchiveHandle archive, std::vector<ArchiveEntry> entries);
// An SVG document (archive first, then disk) rendered at width x height
// units (0: the document's own) scaled by dpi / 96. Colours 0xAARRGGBB (0:
// none) recolour fills and strokes; `styleSheet` (UTF-8) is applied after
// them. No image when a pixel side is 0 or above kMaxSvgPixels.
ImagePtr LoadSvgImage(RenderTarget* target, const wchar_t* path, float dpi, float width, float height,
                      uint32_t strokeColor, uint32_t fillColor, const std::string& styleSheet);
// One frame from premultiplied 32-bit BGRA pixels (stride in bytes).
ImagePtr CreateImageInfoFromPixels(RenderTarget* target, const void* pixels, int width, int height, int stride);
// A GDI+ bitmap read as premultiplied ARGB. A failing GDI+ call leaves its
// status as the bitmap's last status.
ImagePtr LoadImageFromGdiplusBitmap(RenderTarget* target, Gdiplus::Bitmap* bitmap);
// A GDI bitmap (through a GDI+ copy, alpha kept for 32-bit bitmaps).
ImagePtr LoadImageFromHbitmap(RenderTarget* target, HBITMAP bitmap);

// Documents decoded or rendered so far in this process (every WIC decode
// and every SVG render): what a benchmark reads to show that cached images
// are not decoded again.
uint64_t ImageDecodeCountForTesting();

// The last run of decimal digits in a name, 0 when there is none.
int GetFrameNumber(const wchar_t* name);
// "*{fill:#RRGGBB; opacity: 0.5; }" for a colour and a property name.
std::string MakeSvgColorRule(uint32_t argb, const char* property);

} // namespace ui
