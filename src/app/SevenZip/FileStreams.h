// The file streams the engine reads the archive from and writes entries to.
// Both are used on the extracting thread only.
#pragma once

#include "app/SevenZip/ComObject.h"
#include "app/SevenZip/EngineInterfaces.h"
#include "net/FileHandle.h"

#include <wrl/client.h>

#include <string>

namespace sevenzip {

// The archive file, read-only, shared for reading with other readers.
class InFileStream final : public IInStream, public IStreamGetSize {
public:
    // Throws ExtractError when the file cannot be opened.
    static Microsoft::WRL::ComPtr<InFileStream> Open(const std::wstring& path);

    SEVENZIP_IUNKNOWN_METHODS
    HRESULT STDMETHODCALLTYPE Read(void* data, uint32_t size, uint32_t* processed) noexcept override;
    HRESULT STDMETHODCALLTYPE Seek(int64_t offset, uint32_t origin, uint64_t* newPosition) noexcept override;
    HRESULT STDMETHODCALLTYPE GetSize(uint64_t* size) noexcept override;

private:
    explicit InFileStream(CFileHandle file);
    ~InFileStream() = default;
    void* FindInterface(REFIID iid) noexcept;

    RefCount m_refs;
    CFileHandle m_file;
};

// One entry being written. The bytes go to a new temporary file beside the
// final name ("<final>.~<n>.tmp", never replacing an existing file); Commit
// renames it over the final name, Discard (or the last Release without a
// Commit) deletes it. A reader thus never finds a half-written entry under
// its final name.
class OutFileStream final : public ISequentialOutStream {
public:
    // finalPath's folder must exist. Throws ExtractError when no temporary
    // file can be created there.
    static Microsoft::WRL::ComPtr<OutFileStream> Create(const std::wstring& finalPath);

    SEVENZIP_IUNKNOWN_METHODS
    // E_FAIL once committed or discarded.
    HRESULT STDMETHODCALLTYPE Write(const void* data, uint32_t size, uint32_t* processed) noexcept override;

    // Sets the modification time (null: leave the current time), closes the
    // file, replaces the final file (a read-only one too) and applies the
    // attributes (null: none). Throws ExtractError, after deleting the
    // temporary file, when the final name cannot be taken.
    void Commit(const FILETIME* modified, const DWORD* attributes);
    // Closes and deletes the temporary file; nothing once committed.
    void Discard() noexcept;

    const std::wstring& FinalPath() const { return m_finalPath; }

private:
    OutFileStream(std::wstring finalPath, std::wstring tempPath, CFileHandle file);
    ~OutFileStream();
    void* FindInterface(REFIID iid) noexcept;

    RefCount m_refs;
    const std::wstring m_finalPath;
    const std::wstring m_tempPath;
    CFileHandle m_file;
    bool m_finished = false;
};

} // namespace sevenzip
