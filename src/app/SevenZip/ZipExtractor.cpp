#include "app/SevenZip/ZipExtractor.h"

#include "app/SevenZip/ArchiveItems.h"
#include "app/SevenZip/ExtractCallback.h"
#include "app/SevenZip/ExtractError.h"
#include "app/SevenZip/FileStreams.h"

#include <wrl/client.h>

using Microsoft::WRL::ComPtr;

namespace sevenzip {
namespace {

// Packages are plain zip files: the archive must start at the first byte.
constexpr uint64_t kArchiveStartOffset = 0;

// Closes the opened archive however the extraction ends.
class OpenedArchive {
public:
    explicit OpenedArchive(ComPtr<IInArchive> archive) : m_archive(std::move(archive)) {}
    ~OpenedArchive() { m_archive->Close(); }
    OpenedArchive(const OpenedArchive&) = delete;
    OpenedArchive& operator=(const OpenedArchive&) = delete;

    IInArchive* Get() const { return m_archive.Get(); }

private:
    ComPtr<IInArchive> m_archive;
};

ComPtr<IInArchive> OpenArchive(const Library& library, const std::wstring& archivePath)
{
    ComPtr<InFileStream> stream = InFileStream::Open(archivePath);
    ComPtr<IInArchive> archive;
    const HRESULT created = library.CreateObject(CLSID_ZipHandler, IID_IInArchive,
                                                 reinterpret_cast<void**>(archive.GetAddressOf()));
    if (FAILED(created) || !archive)
        throw ExtractError("the engine library cannot read zip archives", FAILED(created) ? created : E_NOINTERFACE);
    const HRESULT opened = archive->Open(stream.Get(), &kArchiveStartOffset, nullptr);
    if (opened == S_FALSE)
        throw ExtractError("not a zip archive", archivePath, HRESULT_FROM_WIN32(ERROR_BAD_FORMAT));
    if (FAILED(opened))
        throw ExtractError("cannot read the archive", archivePath, opened);
    return archive;
}

// The engine opens some damaged archives (a cut-off end, broken headers) and
// reports the damage as archive error flags; extracting them would install
// an incomplete package as if it were whole.
void RefuseDamagedArchive(IInArchive* archive, const std::wstring& archivePath)
{
    PROPVARIANT flags;
    PropVariantInit(&flags);
    const HRESULT hr = archive->GetArchiveProperty(kpidErrorFlags, &flags);
    const bool damaged = SUCCEEDED(hr) && flags.vt == VT_UI4 && flags.ulVal != 0;
    PropVariantClear(&flags);
    if (damaged)
        throw ExtractError("the archive is damaged", archivePath, HRESULT_FROM_WIN32(ERROR_FILE_CORRUPT));
}

uint32_t ItemCount(IInArchive* archive)
{
    uint32_t count = 0;
    const HRESULT hr = archive->GetNumberOfItems(&count);
    if (FAILED(hr))
        throw ExtractError("cannot read the archive's entries", hr);
    return count;
}

// Refuses the whole archive before anything is written when one name is
// not safe.
void CheckEntryNames(IInArchive* archive, const std::wstring& folder)
{
    const uint32_t count = ItemCount(archive);
    for (uint32_t index = 0; index < count; ++index)
        EntryTarget(folder, ItemPath(archive, index));
}

void ExtractAll(IInArchive* archive, const std::wstring& folder, const ExtractCallbacks& callbacks)
{
    ComPtr<ExtractCallback> callback = ExtractCallback::Create(archive, folder, callbacks);
    constexpr int32_t kExtractNotTest = 0;
    const HRESULT hr = archive->Extract(nullptr, kAllItems, kExtractNotTest, callback.Get());
    callback->Finish(hr);
}

std::wstring WithoutTrailingSeparators(std::wstring folder)
{
    while (folder.size() > 1 && (folder.back() == L'\\' || folder.back() == L'/'))
        folder.pop_back();
    return folder;
}

} // namespace

ZipExtractor::ZipExtractor(const Library& library) : m_library(library) {}

void ZipExtractor::Extract(const std::wstring& archivePath, const std::wstring& folder) const
{
    const std::wstring target = WithoutTrailingSeparators(folder);
    // An empty folder would put every entry at the root of the current drive.
    if (target.empty())
        throw ExtractError("no extraction folder given", E_INVALIDARG);
    OpenedArchive archive(OpenArchive(m_library, archivePath));
    RefuseDamagedArchive(archive.Get(), archivePath);
    CheckEntryNames(archive.Get(), target);
    EnsureFolder(target);
    ExtractAll(archive.Get(), target, m_callbacks);
}

} // namespace sevenzip
