#include "app/SevenZip/ExtractCallback.h"

#include "app/SevenZip/ArchiveItems.h"
#include "app/SevenZip/ExtractError.h"

using Microsoft::WRL::ComPtr;

namespace sevenzip {
namespace {

const char* DescribeResult(int32_t result)
{
    switch (result) {
    case kResultUnsupportedMethod: return "unsupported compression method";
    case kResultDataError: return "damaged data";
    case kResultCrcError: return "checksum mismatch";
    case kResultUnavailable: return "data unavailable";
    case kResultUnexpectedEnd: return "unexpected end of the archive";
    case kResultDataAfterEnd: return "data after the end";
    case kResultIsNotArchive: return "not an archive";
    case kResultHeadersError: return "damaged headers";
    case kResultWrongPassword: return "wrong password";
    default: return "unknown failure";
    }
}

} // namespace

ExtractCallback::ExtractCallback(IInArchive* archive, std::wstring folder, const ExtractCallbacks& callbacks)
    : m_archive(archive), m_folder(std::move(folder)), m_callbacks(callbacks)
{
}

ComPtr<ExtractCallback> ExtractCallback::Create(IInArchive* archive, std::wstring folder,
                                               const ExtractCallbacks& callbacks)
{
    return AdoptNew(new ExtractCallback(archive, std::move(folder), callbacks));
}

void* ExtractCallback::FindInterface(REFIID iid) noexcept
{
    if (iid == IID_IUnknown || iid == IID_IProgress || iid == IID_IArchiveExtractCallback)
        return static_cast<IArchiveExtractCallback*>(this);
    return nullptr;
}

template <typename Step>
HRESULT ExtractCallback::Guarded(Step step) noexcept
{
    // Once stopped, every further call is refused the same way.
    if (m_failure || m_cancelled)
        return E_ABORT;
    try {
        step();
    } catch (...) {
        m_failure = std::current_exception();
    }
    return m_failure || m_cancelled ? E_ABORT : S_OK;
}

HRESULT ExtractCallback::SetTotal(uint64_t total) noexcept
{
    return Guarded([&] {
        m_total = total;
        if (m_callbacks.total)
            m_callbacks.total(total);
    });
}

HRESULT ExtractCallback::SetCompleted(const uint64_t* completed) noexcept
{
    return Guarded([&] {
        if (completed != nullptr)
            ReportProgress(*completed);
    });
}

void ExtractCallback::ReportProgress(uint64_t done)
{
    // The engine may repeat a value; callers see each rising value once.
    if (m_reported && done <= m_done)
        return;
    m_reported = true;
    m_done = done;
    if (m_callbacks.progress && !m_callbacks.progress(done))
        m_cancelled = true;
}

HRESULT ExtractCallback::GetStream(uint32_t index, ISequentialOutStream** stream, int32_t askMode) noexcept
{
    if (stream == nullptr)
        return E_POINTER;
    *stream = nullptr;
    if (askMode != kAskExtract)
        return S_OK;
    return Guarded([&] { OpenEntry(index, stream); });
}

void ExtractCallback::OpenEntry(uint32_t index, ISequentialOutStream** stream)
{
    m_entryName = ItemPath(m_archive, index);
    const std::wstring target = EntryTarget(m_folder, m_entryName);
    if (m_callbacks.file)
        m_callbacks.file(target);
    if (ItemIsFolder(m_archive, index)) {
        EnsureFolder(target);
        return;
    }
    EnsureFolder(ParentFolder(target));
    m_entryTime = ItemModified(m_archive, index);
    m_entryAttributes = ItemAttributes(m_archive, index);
    m_entry = OutFileStream::Create(target);
    // The engine's reference; ours stays in m_entry until the result comes.
    m_entry->AddRef();
    *stream = m_entry.Get();
}

HRESULT ExtractCallback::PrepareOperation(int32_t askMode) noexcept
{
    return S_OK;
}

HRESULT ExtractCallback::SetOperationResult(int32_t result) noexcept
{
    // An unfinished entry is removed even after a stop.
    if (m_failure || m_cancelled) {
        if (m_entry)
            m_entry->Discard();
        m_entry.Reset();
        return E_ABORT;
    }
    return Guarded([&] { CloseEntry(result); });
}

void ExtractCallback::CloseEntry(int32_t result)
{
    ComPtr<OutFileStream> entry = std::move(m_entry);
    if (result != kResultOk) {
        if (entry)
            entry->Discard();
        throw ExtractError(std::string("cannot extract, ") + DescribeResult(result), m_entryName, E_FAIL);
    }
    if (entry)
        entry->Commit(m_entryTime ? &*m_entryTime : nullptr, m_entryAttributes ? &*m_entryAttributes : nullptr);
}

void ExtractCallback::Finish(HRESULT engineResult)
{
    if (m_entry) {
        m_entry->Discard();
        m_entry.Reset();
    }
    if (m_failure)
        std::rethrow_exception(m_failure);
    if (m_cancelled)
        throw ExtractError(kCancelMessage, E_ABORT);
    if (FAILED(engineResult))
        throw ExtractError("the archive could not be extracted", engineResult);
    // Callers show a percentage: a complete extraction ends at the total
    // even when the engine's last report fell short of it. A stop asked for
    // now has nothing left to stop.
    if (m_callbacks.progress && (!m_reported || m_done < m_total))
        (void)m_callbacks.progress(m_total);
}

} // namespace sevenzip
