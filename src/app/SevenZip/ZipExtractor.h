// Extracts zip archives into a folder through the engine library.
//
// Everything runs on the thread that calls Extract, the callbacks too. An
// extraction either ends with every entry in place or throws ExtractError;
// entry names that could land outside the folder are refused before
// anything is written, and no entry is ever left half-written under its own
// name (see OutFileStream).
#pragma once

#include "app/SevenZip/Library.h"

#include <cstdint>
#include <functional>
#include <string>

namespace sevenzip {

// The total number of bytes the entries unpack to; called before the first
// progress report.
using TotalCallback = std::function<void(uint64_t totalBytes)>;
// Unpacked bytes done so far, never decreasing; the last report equals the
// total when the extraction succeeds. Return false to stop the extraction:
// Extract then throws ExtractError "cancel" (E_ABORT).
using ProgressCallback = std::function<bool(uint64_t doneBytes)>;
// The full path of each file or folder as its extraction starts.
using FileCallback = std::function<void(const std::wstring& path)>;

struct ExtractCallbacks {
    TotalCallback total;       // each may be empty
    ProgressCallback progress;
    FileCallback file;
};

class ZipExtractor {
public:
    // Borrows library, which must outlive this object.
    explicit ZipExtractor(const Library& library);

    void SetTotalCallback(TotalCallback callback) { m_callbacks.total = std::move(callback); }
    void SetProgressCallback(ProgressCallback callback) { m_callbacks.progress = std::move(callback); }
    void SetFileCallback(FileCallback callback) { m_callbacks.file = std::move(callback); }

    // Extracts every entry of the zip archive at archivePath below folder
    // (created when missing; an empty folder is refused), replacing files of
    // the same names. Throws
    // ExtractError for an archive that cannot be opened or is no zip, a
    // refused entry name, a damaged entry, a file that cannot be written and
    // a cancellation; an exception thrown by a callback stops the extraction
    // and comes out of Extract as it is. Folders made before a failure stay.
    void Extract(const std::wstring& archivePath, const std::wstring& folder) const;

private:
    const Library& m_library;
    ExtractCallbacks m_callbacks;
};

} // namespace sevenzip
