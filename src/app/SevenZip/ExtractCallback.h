// The engine's view of one extraction: it asks here for a stream per entry,
// reports each entry's result and the progress. Every method is noexcept: a
// failure or a stop request is kept here and answered with E_ABORT, and
// Finish throws it once the engine has returned. Used on the extracting
// thread only.
#pragma once

#include "app/SevenZip/ComObject.h"
#include "app/SevenZip/EngineInterfaces.h"
#include "app/SevenZip/FileStreams.h"
#include "app/SevenZip/ZipExtractor.h"

#include <wrl/client.h>

#include <exception>
#include <optional>
#include <string>

namespace sevenzip {

class ExtractCallback final : public IArchiveExtractCallback {
public:
    // Borrows archive and callbacks for the object's life; folder is the
    // extraction folder without a trailing separator.
    static Microsoft::WRL::ComPtr<ExtractCallback> Create(IInArchive* archive, std::wstring folder,
                                                         const ExtractCallbacks& callbacks);

    SEVENZIP_IUNKNOWN_METHODS
    HRESULT STDMETHODCALLTYPE SetTotal(uint64_t total) noexcept override;
    HRESULT STDMETHODCALLTYPE SetCompleted(const uint64_t* completed) noexcept override;
    HRESULT STDMETHODCALLTYPE GetStream(uint32_t index, ISequentialOutStream** stream, int32_t askMode) noexcept override;
    HRESULT STDMETHODCALLTYPE PrepareOperation(int32_t askMode) noexcept override;
    HRESULT STDMETHODCALLTYPE SetOperationResult(int32_t result) noexcept override;

    // Called once IInArchive::Extract has returned engineResult: deletes an
    // entry left unfinished and throws what stopped the extraction (a
    // callback's own exception, "cancel", a refused or damaged entry, the
    // engine's failure). After a complete extraction it reports the total
    // as the last progress when the engine did not, and returns.
    void Finish(HRESULT engineResult);

private:
    ExtractCallback(IInArchive* archive, std::wstring folder, const ExtractCallbacks& callbacks);
    ~ExtractCallback() = default;
    void* FindInterface(REFIID iid) noexcept;

    // Runs step, turning any exception into a kept failure and E_ABORT.
    template <typename Step>
    HRESULT Guarded(Step step) noexcept;
    void ReportProgress(uint64_t done);
    void OpenEntry(uint32_t index, ISequentialOutStream** stream);
    void CloseEntry(int32_t result);

    RefCount m_refs;
    IInArchive* const m_archive;           // borrowed
    const std::wstring m_folder;
    const ExtractCallbacks& m_callbacks;   // borrowed
    uint64_t m_total = 0;      // from the engine's SetTotal
    bool m_reported = false;   // a progress value went to the callback
    uint64_t m_done = 0;       // the last value reported
    // The entry whose data is being written; null between entries.
    Microsoft::WRL::ComPtr<OutFileStream> m_entry;
    std::wstring m_entryName;
    std::optional<FILETIME> m_entryTime;
    std::optional<DWORD> m_entryAttributes;
    bool m_cancelled = false;
    std::exception_ptr m_failure;
};

} // namespace sevenzip
