#include "app/SevenZip/FileStreams.h"

#include "app/SevenZip/ExtractError.h"

#include <atomic>

using Microsoft::WRL::ComPtr;

namespace sevenzip {
namespace {

// Tries at unused temporary names before giving up on an entry.
constexpr int kTempNameAttempts = 100;
// Attributes an entry may carry onto disk; the rest (directory, unix mode
// bits in the high word, reparse points...) are not ours to set.
constexpr DWORD kAppliedAttributes =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

std::wstring TempNameFor(const std::wstring& finalPath)
{
    static std::atomic<unsigned> counter{0};
    return finalPath + L".~" + std::to_wstring(counter++) + L".tmp";
}

} // namespace

// ---- InFileStream ----

InFileStream::InFileStream(CFileHandle file) : m_file(std::move(file)) {}

ComPtr<InFileStream> InFileStream::Open(const std::wstring& path)
{
    CFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        throw ExtractError("cannot open the archive", path, LastErrorResult());
    return AdoptNew(new InFileStream(std::move(file)));
}

void* InFileStream::FindInterface(REFIID iid) noexcept
{
    if (iid == IID_IUnknown || iid == IID_ISequentialInStream || iid == IID_IInStream)
        return static_cast<IInStream*>(this);
    if (iid == IID_IStreamGetSize)
        return static_cast<IStreamGetSize*>(this);
    return nullptr;
}

HRESULT InFileStream::Read(void* data, uint32_t size, uint32_t* processed) noexcept
{
    DWORD got = 0;
    const BOOL ok = size == 0 || ReadFile(m_file.Get(), data, size, &got, nullptr);
    if (processed != nullptr)
        *processed = got;
    return ok ? S_OK : LastErrorResult();
}

HRESULT InFileStream::Seek(int64_t offset, uint32_t origin, uint64_t* newPosition) noexcept
{
    static_assert(FILE_BEGIN == 0 && FILE_CURRENT == 1 && FILE_END == 2, "engine origins are the file ones");
    if (origin > FILE_END)
        return STG_E_INVALIDFUNCTION;
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER position{};
    if (!SetFilePointerEx(m_file.Get(), distance, &position, origin))
        return LastErrorResult();
    if (newPosition != nullptr)
        *newPosition = static_cast<uint64_t>(position.QuadPart);
    return S_OK;
}

HRESULT InFileStream::GetSize(uint64_t* size) noexcept
{
    if (size == nullptr)
        return E_POINTER;
    LARGE_INTEGER length{};
    if (!GetFileSizeEx(m_file.Get(), &length))
        return LastErrorResult();
    *size = static_cast<uint64_t>(length.QuadPart);
    return S_OK;
}

// ---- OutFileStream ----

OutFileStream::OutFileStream(std::wstring finalPath, std::wstring tempPath, CFileHandle file)
    : m_finalPath(std::move(finalPath)), m_tempPath(std::move(tempPath)), m_file(std::move(file))
{
}

OutFileStream::~OutFileStream()
{
    Discard();
}

ComPtr<OutFileStream> OutFileStream::Create(const std::wstring& finalPath)
{
    for (int attempt = 0; attempt < kTempNameAttempts; ++attempt) {
        std::wstring tempPath = TempNameFor(finalPath);
        CFileHandle file(CreateFileW(tempPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            return AdoptNew(new OutFileStream(finalPath, std::move(tempPath), std::move(file)));
        }
        if (GetLastError() != ERROR_FILE_EXISTS)
            break;
    }
    throw ExtractError("cannot create the file", finalPath, LastErrorResult());
}

void* OutFileStream::FindInterface(REFIID iid) noexcept
{
    if (iid == IID_IUnknown || iid == IID_ISequentialOutStream)
        return static_cast<ISequentialOutStream*>(this);
    return nullptr;
}

HRESULT OutFileStream::Write(const void* data, uint32_t size, uint32_t* processed) noexcept
{
    if (processed != nullptr)
        *processed = 0;
    if (m_finished)
        return E_FAIL;
    DWORD written = 0;
    if (size != 0 && !WriteFile(m_file.Get(), data, size, &written, nullptr))
        return LastErrorResult();
    if (processed != nullptr)
        *processed = written;
    return S_OK;
}

void OutFileStream::Commit(const FILETIME* modified, const DWORD* attributes)
{
    if (m_finished)
        return;
    if (modified != nullptr) {
        // A file without its archived time is still the right file.
        (void)SetFileTime(m_file.Get(), nullptr, nullptr, modified);
    }
    m_file.Close();
    // A read-only file from an earlier installation would refuse the rename.
    const DWORD existing = GetFileAttributesW(m_finalPath.c_str());
    if (existing != INVALID_FILE_ATTRIBUTES && (existing & FILE_ATTRIBUTE_READONLY) != 0)
        SetFileAttributesW(m_finalPath.c_str(), existing & ~FILE_ATTRIBUTE_READONLY);
    if (!MoveFileExW(m_tempPath.c_str(), m_finalPath.c_str(), MOVEFILE_REPLACE_EXISTING)) {
        const HRESULT error = LastErrorResult();
        Discard();
        throw ExtractError("cannot write the file", m_finalPath, error);
    }
    m_finished = true;
    if (attributes != nullptr && (*attributes & kAppliedAttributes) != 0) {
        // Attributes are a courtesy of the archive; the content is in place.
        (void)SetFileAttributesW(m_finalPath.c_str(), *attributes & kAppliedAttributes);
    }
}

void OutFileStream::Discard() noexcept
{
    if (m_finished)
        return;
    m_finished = true;
    m_file.Close();
    DeleteFileW(m_tempPath.c_str());
}

} // namespace sevenzip
