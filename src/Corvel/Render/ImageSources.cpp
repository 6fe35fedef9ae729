// Image byte sources for the decoders.
#include "Corvel/Render/ImageSources.h"

#include <gdiplus.h>

#include <memory>

#include "Corvel/Core/SkinArchive.h"
#include "net/FileHandle.h"

namespace ui {

namespace {

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

constexpr uint32_t kAlphaMask = 0xFF000000u;

} // namespace

bool ResolveDiskPath(const wchar_t* path, std::wstring& out)
{
    if (!path || !*path)
        return false;
    std::wstring underResources = GetUiResourcePath() + path;
    if (Exists(underResources)) {
        out = underResources;
        return true;
    }
    if (Exists(path)) {
        out = path;
        return true;
    }
    return false;
}

bool IsFolder(const std::wstring& path)
{
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::vector<std::wstring> ListFolderFiles(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    HANDLE find = FindFirstFileW((folder + L"*.*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
            names.push_back(found.cFileName);
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return names;
}

bool ReadWholeFile(const std::wstring& path, std::string& bytes)
{
    CFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file.Valid() || !GetFileSizeEx(file.Get(), &size) || size.QuadPart <= 0 || size.QuadPart > MAXLONG)
        return false;
    bytes.resize(static_cast<size_t>(size.QuadPart));
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD read = 0;
        if (!ReadFile(file.Get(), &bytes[done], static_cast<DWORD>(bytes.size() - done), &read, nullptr) || read == 0)
            return false;
        done += read;
    }
    return true;
}

bool ReadArchiveEntry(ArchiveHandle archive, const ArchiveEntry& entry, std::string& bytes)
{
    if (!archive || entry.uncompressedSize == 0)
        return false;
    bytes.resize(entry.uncompressedSize);
    uint32_t status = ExtractArchiveEntry(archive, entry.index, &bytes[0], entry.uncompressedSize);
    return status == ARCHIVE_OK || status == ARCHIVE_MORE_DATA;
}

Gdiplus::Bitmap* GdiplusBitmapFromHbitmapForImages(HBITMAP bitmap)
{
    BITMAP info{};
    if (!bitmap || !GetObjectW(bitmap, sizeof(info), &info) || info.bmWidth <= 0 || info.bmHeight <= 0)
        return nullptr;
    if (info.bmBitsPixel != 32)
        return Gdiplus::Bitmap::FromHBITMAP(bitmap, nullptr);

    const int width = info.bmWidth, height = info.bmHeight;
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
    BITMAPINFO request{};
    request.bmiHeader.biSize = sizeof(request.bmiHeader);
    request.bmiHeader.biWidth = width;
    request.bmiHeader.biHeight = -height;  // top-down rows
    request.bmiHeader.biPlanes = 1;
    request.bmiHeader.biBitCount = 32;
    request.bmiHeader.biCompression = BI_RGB;
    HDC dc = GetDC(nullptr);
    int rows = GetDIBits(dc, bitmap, 0, static_cast<UINT>(height), pixels.data(), &request, DIB_RGB_COLORS);
    ReleaseDC(nullptr, dc);
    if (rows != height)
        return nullptr;
    bool hasAlpha = false;
    for (uint32_t p : pixels)
        hasAlpha = hasAlpha || (p & kAlphaMask);
    if (!hasAlpha) {
        for (uint32_t& p : pixels)
            p |= kAlphaMask;
    }
    // GDI's 32-bit bitmaps with alpha hold premultiplied pixels.
    std::unique_ptr<Gdiplus::Bitmap> copy(new Gdiplus::Bitmap(width, height, PixelFormat32bppPARGB));
    Gdiplus::Rect whole(0, 0, width, height);
    Gdiplus::BitmapData data{};
    if (copy->GetLastStatus() != Gdiplus::Ok ||
        copy->LockBits(&whole, Gdiplus::ImageLockModeWrite, PixelFormat32bppPARGB, &data) != Gdiplus::Ok)
        return nullptr;
    for (int y = 0; y < height; ++y)
        memcpy(static_cast<BYTE*>(data.Scan0) + static_cast<ptrdiff_t>(y) * data.Stride,
               pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(width), static_cast<size_t>(width) * 4);
    copy->UnlockBits(&data);
    return copy.release();
}

} // namespace ui
