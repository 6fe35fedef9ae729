// Read access to a zip archive held in memory (the skin archive): entries are
// found by name, described and extracted into caller buffers. Every public
// call also records its status for the calling thread.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Corvel/Core/ArchiveMemoryIo.h"

// Status codes returned by the archive calls.
enum : uint32_t {
    ARCHIVE_OK = 0,
    ARCHIVE_NOT_ZIP = 0x200,
    ARCHIVE_NO_MEMORY = 0x300,
    ARCHIVE_NOT_FOUND = 0x500,
    ARCHIVE_MORE_DATA = 0x600,
    ARCHIVE_BAD_HEADER = 0x700,
    ARCHIVE_BAD_LOCAL_HEADER = 0x800,
    ARCHIVE_PASSWORD = 0x1000,
    ARCHIVE_NO_CURRENT_DIR = 0x1100,
    ARCHIVE_BAD_ARGUMENT = 0x10000,
    ARCHIVE_NOT_READING = 0x80000,
    ARCHIVE_ALREADY_OPEN = 0x1000000,
    ARCHIVE_DECOMPRESS_FAILED = 0x5000000,
};

// Mode of a handle that can be read.
constexpr int32_t ARCHIVE_MODE_READ = 1;

// Description of one entry; a fixed-size record.
struct ArchiveEntry {
    int32_t index;
    wchar_t name[260];
    uint32_t attributes;      // FILE_ATTRIBUTE_* bits
    FILETIME lastAccessTime;
    FILETIME creationTime;
    FILETIME lastWriteTime;
    uint32_t compressedSize;
    uint32_t uncompressedSize;
};
static_assert(sizeof(ArchiveEntry) == 560, "ArchiveEntry is a fixed 560-byte record");

class ArchiveReader {
public:
    ArchiveReader();
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;

    // Opens the archive over (data, size) without copying it; `data` must
    // outlive the reader's use of it. ARCHIVE_OK, or the failure (0x200 not
    // a readable zip, an entry count its central directory cannot hold
    // included; 0x300 out of memory; 0x1100; 0x1000000 already open), after
    // which the reader is closed. Never throws.
    uint32_t OpenMemory(const void* data, uint32_t size);
    void Close();
    bool IsOpen() const { return m_unzip != nullptr; }

    int32_t GetEntryCount() const { return static_cast<int32_t>(m_index.size()); }

    // Describes entry `index`; index -1 gives the entry count in entry->index.
    uint32_t GetEntry(int32_t index, ArchiveEntry* entry);

    // Reads the next up to `length` bytes of entry `index`. 0 at the end of the
    // entry, ARCHIVE_MORE_DATA when the buffer filled first (the next call with
    // the same index continues).
    uint32_t ExtractToMemory(int32_t index, void* buffer, uint32_t length);

    // Every entry whose stored name begins with the stored name of `entry`,
    // `entry` itself excluded (the frames of an archive folder).
    std::vector<ArchiveEntry> ListEntriesWithPrefix(const ArchiveEntry& entry);

    // Position of the first entry whose stored name equals `name`, letters
    // A-Z and a-z matched without regard to case, "\" and "/" alike; -1 when
    // there is none.
    int32_t FindEntryIndex(const wchar_t* name) const;

    const std::wstring& GetBaseDirectory() const { return m_baseDirectory; }

private:
    struct IndexedEntry {
        std::wstring storedName;   // decoded to UTF-16
        uint64_t centralPosition;  // for unzGoToFilePos64
        uint64_t entryNumber;
    };

    // The phases of OpenMemory.
    uint32_t ReadBaseDirectory();
    uint32_t OpenUnzip(const void* data, uint32_t size);
    uint32_t BuildIndex();

    void CloseOpenEntry();
    uint32_t MoveTo(int32_t index);
    uint32_t BuildEntry(int32_t index, ArchiveEntry* entry);

    void* m_unzip = nullptr;
    int32_t m_reserved = 0;
    int32_t m_openIndex = -1;
    ArchiveEntry m_cachedEntry{};
    int32_t m_cachedIndex = -1;
    char* m_password = nullptr;  // this program never sets one
    char* m_spare = nullptr;
    std::wstring m_baseDirectory;

    ArchiveMemorySource m_source;
    zlib_filefunc64_def m_io{};
    std::vector<IndexedEntry> m_index;
};

struct ArchiveHandleData {
    int32_t mode = 0;
    ArchiveReader reader;
};
using ArchiveHandle = ArchiveHandleData*;

// Opens a zip archive held in memory; null on failure (status stored for the
// thread: 0x300, 0x1100 or 0x200). The data must outlive the handle.
ArchiveHandle OpenArchiveFromMemory(const void* data, uint32_t size);

// Closes the handle and frees it; null is accepted.
uint32_t CloseArchive(ArchiveHandle handle);

// Looks `name` up (case of A-Z ignored, "\" read as "/"). The case option is
// kept for callers and not consulted. index and entry may be null.
uint32_t FindArchiveEntry(ArchiveHandle handle, const wchar_t* name, int caseOption,
                          int32_t* index, ArchiveEntry* entry);

uint32_t ExtractArchiveEntry(ArchiveHandle handle, int32_t index, void* buffer, uint32_t length);

// Status of the last archive call made on this thread.
uint32_t GetArchiveLastStatus();

// The name an entry is reported under: drive prefixes, leading separators and
// every parent-folder step (with what precedes it) removed.
std::wstring SanitizeArchiveEntryName(const std::wstring& stored);
