#include "Corvel/Host/ComRef.h"
#include "Corvel/Host/DragFileOut.h"

#include <ole2.h>
#include <shlobj.h>
#include <wrl/client.h>

#include "Corvel/Host/DataObject.h"
#include "Corvel/Host/DropFileWatch.h"
#include "Corvel/Host/DropSource.h"

using Microsoft::WRL::ComPtr;

namespace ui {

namespace {

// The shell's flags for global memory handed across a drag.
constexpr UINT kShareableMemory = GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_DDESHARE;

// A one-file FILEGROUPDESCRIPTORW: a normal file of the contents' size plus
// the terminating zero byte.
HGLOBAL MakeFileDescriptor(const std::wstring& fileName, size_t contentBytes)
{
    HGLOBAL block = GlobalAlloc(kShareableMemory, sizeof(FILEGROUPDESCRIPTORW));
    if (!block)
        return nullptr;
    auto* group = static_cast<FILEGROUPDESCRIPTORW*>(GlobalLock(block));
    if (!group) {
        GlobalFree(block);
        return nullptr;
    }
    group->cItems = 1;
    FILEDESCRIPTORW& file = group->fgd[0];
    file.dwFlags = FD_FILESIZE | FD_ATTRIBUTES;
    file.dwFileAttributes = FILE_ATTRIBUTE_NORMAL;
    file.nFileSizeHigh = 0;
    file.nFileSizeLow = static_cast<DWORD>(contentBytes + 1);
    fileName.copy(file.cFileName, kMaxDropFileNameChars);
    GlobalUnlock(block);
    return block;
}

// The contents and a zero byte after them.
HGLOBAL MakeFileContents(const std::string& contents)
{
    HGLOBAL block = GlobalAlloc(kShareableMemory, contents.size() + 1);
    if (!block)
        return nullptr;
    if (void* bytes = GlobalLock(block)) {
        memcpy(bytes, contents.data(), contents.size());
        GlobalUnlock(block);
        return block;
    }
    GlobalFree(block);
    return nullptr;
}

// Hands `block` to the data object under the registered format `name`.
void OfferBlock(IDataObject* data, const wchar_t* name, LONG index, HGLOBAL block)
{
    if (!block)
        return;
    FORMATETC format{static_cast<CLIPFORMAT>(RegisterClipboardFormatW(name)), nullptr, DVASPECT_CONTENT, index,
                     TYMED_HGLOBAL};
    STGMEDIUM medium{};
    medium.tymed = TYMED_HGLOBAL;
    medium.hGlobal = block;
    if (FAILED(data->SetData(&format, &medium, TRUE)))
        GlobalFree(block);
}

// The drag picture through the shell's helper; null when the shell has none
// (the drag then shows only the cursor).
ComPtr<IDragSourceHelper> MakeDragImage(IDataObject* data, HBITMAP bitmap, POINT offset)
{
    ComPtr<IDragSourceHelper> helper;
    if (FAILED(CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&helper))))
        return nullptr;
    BITMAP info{};
    if (bitmap)
        GetObjectW(bitmap, sizeof(info), &info);
    SHDRAGIMAGE image{};
    image.sizeDragImage = SIZE{info.bmWidth, info.bmHeight};
    image.ptOffset = POINT{offset.x != 0 ? offset.x : info.bmWidth / 2, offset.y != 0 ? offset.y : info.bmHeight / 2};
    image.hbmpDragImage = bitmap;
    image.crColorKey = GetSysColor(COLOR_WINDOW);
    // The helper takes the bitmap over on success; the caller keeps its own.
    if (bitmap)
        image.hbmpDragImage = static_cast<HBITMAP>(CopyImage(bitmap, IMAGE_BITMAP, 0, 0, 0));
    if (FAILED(helper->InitializeFromBitmap(&image, data)) && image.hbmpDragImage)
        DeleteObject(image.hbmpDragImage);
    return helper;
}

} // namespace

bool StartDragSource(HBITMAP bitmap, const std::string& contents, const std::wstring& fileName, POINT offset)
{
    if (!IsDroppableFileName(fileName))
        return false;
    ComPtr<IDropSource> source = AdoptComRef<IDropSource>(new CIDropSource());
    ComPtr<IDataObject> data = AdoptComRef<IDataObject>(new CIDataObject(source.Get()));
    OfferBlock(data.Get(), CFSTR_FILEDESCRIPTORW, -1, MakeFileDescriptor(fileName, contents.size()));
    OfferBlock(data.Get(), CFSTR_FILECONTENTS, 0, MakeFileContents(contents));
    ComPtr<IDragSourceHelper> helper = MakeDragImage(data.Get(), bitmap, offset);
    DWORD effect = DROPEFFECT_NONE;
    DoDragDrop(data.Get(), source.Get(), DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect); // effect not used
    return true;
}

} // namespace ui
