#include "Corvel/Core/ArchiveReader.h"

#include <cstring>
#include <new>
#include <stdexcept>

#include <minizip/unzip.h>

namespace {

thread_local uint32_t t_lastStatus = ARCHIVE_OK;

uint32_t Store(uint32_t status)
{
    t_lastStatus = status;
    return status;
}

unzFile Unz(void* handle)
{
    return static_cast<unzFile>(handle);
}

constexpr uLong kFlagEncrypted = 0x1;
constexpr uLong kFlagUtf8Name = 0x800;
constexpr size_t kMaxLookupName = 255;
// A central directory header without name, extra field or comment: the
// least room one entry takes in the directory.
constexpr uint64_t kMinCentralHeaderSize = 46;
// Entry positions are int32 in the archive calls.
constexpr uint64_t kMaxEntryCount = 0x7FFFFFFF;
// unzReadCurrentFile answers in an int: reads go in steps well inside it.
constexpr uint32_t kReadStep = 0x40000000u;

// The most entries a central directory starting at `directoryOffset` can
// describe in `archiveSize` bytes of data. The (zip64) end record states the
// count as it likes; this bound is what a count must fit before anything is
// reserved for it. Plain 64-bit arithmetic, so the same at both widths.
uint64_t MostEntriesInDirectory(uint64_t archiveSize, uint64_t directoryOffset)
{
    if (directoryOffset >= archiveSize)
        return 0;
    return (archiveSize - directoryOffset) / kMinCentralHeaderSize;
}

uint16_t ReadLe16(const uint8_t* p)
{
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t ReadLe32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
           (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Calls fn(id, data, size) for every well-formed block of a zip extra field;
// a block whose length runs past the field ends the walk.
template <typename Fn>
void ForEachExtraBlock(const uint8_t* data, size_t length, Fn fn)
{
    size_t pos = 0;
    while (data != nullptr && length - pos >= 4) {
        const uint16_t id = ReadLe16(data + pos);
        const uint16_t size = ReadLe16(data + pos + 2);
        pos += 4;
        if (size > length - pos)
            return;
        if (!fn(id, data + pos, static_cast<size_t>(size)))
            return;
        pos += size;
    }
}

std::wstring DecodeBytes(const char* bytes, size_t length, UINT codePage)
{
    bool ascii = true;
    for (size_t i = 0; i < length && ascii; ++i)
        ascii = static_cast<unsigned char>(bytes[i]) < 0x80;
    if (ascii)
        return std::wstring(bytes, bytes + length);
    if (length == 0 || length > 0x7FFFFFFF)
        return std::wstring();
    const int needed = MultiByteToWideChar(codePage, 0, bytes, static_cast<int>(length), nullptr, 0);
    if (needed <= 0)
        return std::wstring();
    std::wstring out(static_cast<size_t>(needed), L'\0');
    MultiByteToWideChar(codePage, 0, bytes, static_cast<int>(length), &out[0], needed);
    return out;
}

// The stored name in UTF-16: UTF-8 when the entry says so (general purpose
// bit 11, or an Info-ZIP Unicode path block matching the raw name), else the
// OEM code page, which is what zip tools on Windows write.
std::wstring DecodeStoredName(const std::string& raw, uLong flag, const std::vector<uint8_t>& extra)
{
    if (flag & kFlagUtf8Name)
        return DecodeBytes(raw.data(), raw.size(), CP_UTF8);

    std::wstring unicodePath;
    ForEachExtraBlock(extra.data(), extra.size(), [&](uint16_t id, const uint8_t* p, size_t size) {
        if (id != 0x7075 || size < 5 || p[0] != 1)
            return true;
        const uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(raw.data()), static_cast<uInt>(raw.size()));
        if (ReadLe32(p + 1) == crc)
            unicodePath = DecodeBytes(reinterpret_cast<const char*>(p + 5), size - 5, CP_UTF8);
        return false;
    });
    if (!unicodePath.empty())
        return unicodePath;
    return DecodeBytes(raw.data(), raw.size(), CP_OEMCP);
}

wchar_t FoldAscii(wchar_t c)
{
    if (c == L'\\')
        return L'/';
    return (c >= L'A' && c <= L'Z') ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

wchar_t SameSlash(wchar_t c)
{
    return c == L'\\' ? L'/' : c;
}

bool IsHostWithDosAttributes(unsigned host)
{
    return host == 0 || host == 7 || host == 11 || host == 14;
}

uint32_t MapAttributes(uLong versionMadeBy, uLong external, bool folderName)
{
    uint32_t attributes = 0;
    const unsigned host = (versionMadeBy >> 8) & 0xFF;
    if (IsHostWithDosAttributes(host)) {
        if (external & 0x01) attributes |= FILE_ATTRIBUTE_READONLY;
        if (external & 0x02) attributes |= FILE_ATTRIBUTE_HIDDEN;
        if (external & 0x04) attributes |= FILE_ATTRIBUTE_SYSTEM;
        if (external & 0x10) attributes |= FILE_ATTRIBUTE_DIRECTORY;
        if (external & 0x20) attributes |= FILE_ATTRIBUTE_ARCHIVE;
    } else {
        if ((external & (1ul << 23)) == 0) attributes |= FILE_ATTRIBUTE_READONLY;
        attributes |= FILE_ATTRIBUTE_ARCHIVE;
        if (external & (1ul << 30)) attributes |= FILE_ATTRIBUTE_DIRECTORY;
    }
    // Some tools leave the attribute bits of folder entries empty; the
    // trailing separator is what marks a folder in every zip.
    if (folderName)
        attributes |= FILE_ATTRIBUTE_DIRECTORY;
    return attributes;
}

FILETIME UnixTimeToFileTime(uint32_t seconds)
{
    const uint64_t ticks = static_cast<uint64_t>(seconds) * 10000000ull + 116444736000000000ull;
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFFu);
    ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return ft;
}

void ApplyExtendedTimestamp(const std::vector<uint8_t>& localExtra, ArchiveEntry* entry)
{
    ForEachExtraBlock(localExtra.data(), localExtra.size(), [&](uint16_t id, const uint8_t* p, size_t size) {
        if (id != 0x5455)  // "UT"
            return true;
        if (size < 1)
            return false;
        const uint8_t flags = p[0];
        size_t pos = 1;
        FILETIME* targets[3] = {&entry->lastWriteTime, &entry->lastAccessTime, &entry->creationTime};
        for (int bit = 0; bit < 3; ++bit) {
            if ((flags & (1u << bit)) == 0)
                continue;
            // The flags may announce more times than the block holds.
            if (size - pos < 4)
                break;
            *targets[bit] = UnixTimeToFileTime(ReadLe32(p + pos));
            pos += 4;
        }
        return false;
    });
}

} // namespace

std::wstring SanitizeArchiveEntryName(const std::wstring& stored)
{
    std::wstring name = stored;
    static const wchar_t* const kParentSteps[] = {L"\\..\\", L"\\../", L"/../", L"/..\\"};
    for (bool changed = true; changed;) {
        changed = false;
        if (name.size() >= 2 && name[1] == L':') {
            name.erase(0, 2);
            changed = true;
        }
        if (!name.empty() && (name[0] == L'\\' || name[0] == L'/')) {
            name.erase(0, 1);
            changed = true;
        }
        if (name.size() >= 3 && name[0] == L'.' && name[1] == L'.' && (name[2] == L'\\' || name[2] == L'/')) {
            name.erase(0, 3);
            changed = true;
        }
        size_t cut = std::wstring::npos;
        for (const wchar_t* step : kParentSteps) {
            const size_t at = name.rfind(step);
            if (at != std::wstring::npos && (cut == std::wstring::npos || at + 4 > cut))
                cut = at + 4;
        }
        if (cut != std::wstring::npos) {
            name.erase(0, cut);
            changed = true;
        }
    }
    if (name == L"..")
        name.clear();
    return name;
}

ArchiveReader::ArchiveReader()
{
    std::memset(&m_cachedEntry, 0, sizeof(m_cachedEntry));
    m_cachedEntry.index = -1;
}

ArchiveReader::~ArchiveReader()
{
    Close();
}

uint32_t ArchiveReader::OpenMemory(const void* data, uint32_t size)
{
    if (m_unzip != nullptr)
        return ARCHIVE_ALREADY_OPEN;
    uint32_t status;
    // Sizes come from the archive itself: whatever the standard library
    // refuses to hold (bad_alloc, or length_error where a 32-bit size_t is
    // too narrow) is a failed open, never an exception out of here.
    try {
        status = ReadBaseDirectory();
        if (status == ARCHIVE_OK)
            status = OpenUnzip(data, size);
        if (status == ARCHIVE_OK)
            status = BuildIndex();
    } catch (const std::bad_alloc&) {
        status = ARCHIVE_NO_MEMORY;
    } catch (const std::length_error&) {
        status = ARCHIVE_NO_MEMORY;
    }
    if (status != ARCHIVE_OK)
        Close();
    return status;
}

uint32_t ArchiveReader::ReadBaseDirectory()
{
    wchar_t dir[MAX_PATH];
    const DWORD length = GetCurrentDirectoryW(MAX_PATH, dir);
    if (length == 0)
        return ARCHIVE_NO_CURRENT_DIR;
    // A longer current folder is kept whole rather than failing the open.
    std::wstring base;
    if (length < MAX_PATH) {
        base.assign(dir, length);
    } else {
        base.resize(length);
        const DWORD again = GetCurrentDirectoryW(length, &base[0]);
        if (again == 0 || again >= length)
            return ARCHIVE_NO_CURRENT_DIR;
        base.resize(again);
    }
    if (base.empty() || (base.back() != L'\\' && base.back() != L'/'))
        base += L'/';
    m_baseDirectory = base;
    return ARCHIVE_OK;
}

uint32_t ArchiveReader::OpenUnzip(const void* data, uint32_t size)
{
    m_source.data = static_cast<const uint8_t*>(data);
    m_source.size = data ? size : 0;
    FillArchiveMemoryIo(&m_io);
    m_unzip = unzOpen2_64(&m_source, &m_io);
    return m_unzip != nullptr ? ARCHIVE_OK : ARCHIVE_NOT_ZIP;
}

uint32_t ArchiveReader::BuildIndex()
{
    m_index.clear();
    unz_global_info64 global{};
    if (unzGetGlobalInfo64(Unz(m_unzip), &global) != UNZ_OK)
        return ARCHIVE_NOT_ZIP;
    if (global.number_entry == 0)
        return ARCHIVE_OK;
    int err = unzGoToFirstFile(Unz(m_unzip));
    unz64_file_pos first{};
    if (err != UNZ_OK || unzGetFilePos64(Unz(m_unzip), &first) != UNZ_OK)
        return ARCHIVE_NOT_ZIP;
    // The first entry's position is where the central directory starts.
    if (global.number_entry > MostEntriesInDirectory(m_source.size, first.pos_in_zip_directory) ||
        global.number_entry > kMaxEntryCount)
        return ARCHIVE_NOT_ZIP;
    m_index.reserve(static_cast<size_t>(global.number_entry));

    std::string raw;
    std::vector<uint8_t> extra;
    while (err == UNZ_OK) {
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(Unz(m_unzip), &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
            return ARCHIVE_NOT_ZIP;
        // The whole name is read: a name cut short could match a look-up it
        // does not really equal.
        raw.assign(info.size_filename, '\0');
        extra.assign(info.size_file_extra, 0);
        if (unzGetCurrentFileInfo64(Unz(m_unzip), &info, raw.empty() ? nullptr : &raw[0],
                                    static_cast<uLong>(raw.size()),
                                    extra.empty() ? nullptr : extra.data(),
                                    static_cast<uLong>(extra.size()), nullptr, 0) != UNZ_OK)
            return ARCHIVE_NOT_ZIP;

        unz64_file_pos position{};
        if (unzGetFilePos64(Unz(m_unzip), &position) != UNZ_OK)
            return ARCHIVE_NOT_ZIP;
        IndexedEntry indexed;
        indexed.storedName = DecodeStoredName(raw, info.flag, extra);
        indexed.centralPosition = position.pos_in_zip_directory;
        indexed.entryNumber = position.num_of_file;
        m_index.push_back(std::move(indexed));
        err = unzGoToNextFile(Unz(m_unzip));
    }
    if (err != UNZ_END_OF_LIST_OF_FILE || m_index.size() != global.number_entry)
        return ARCHIVE_NOT_ZIP;
    unzGoToFirstFile(Unz(m_unzip));
    return ARCHIVE_OK;
}

void ArchiveReader::Close()
{
    if (m_unzip != nullptr) {
        CloseOpenEntry();
        unzClose(Unz(m_unzip));
        m_unzip = nullptr;
    }
    m_index.clear();
    m_openIndex = -1;
    m_cachedIndex = -1;
    std::memset(&m_cachedEntry, 0, sizeof(m_cachedEntry));
    m_cachedEntry.index = -1;
    m_source = ArchiveMemorySource{};
}

void ArchiveReader::CloseOpenEntry()
{
    if (m_openIndex != -1 && m_unzip != nullptr)
        unzCloseCurrentFile(Unz(m_unzip));
    m_openIndex = -1;
}

uint32_t ArchiveReader::MoveTo(int32_t index)
{
    if (index < 0 || index >= GetEntryCount())
        return ARCHIVE_BAD_ARGUMENT;
    unz64_file_pos position{};
    position.pos_in_zip_directory = m_index[static_cast<size_t>(index)].centralPosition;
    position.num_of_file = m_index[static_cast<size_t>(index)].entryNumber;
    return unzGoToFilePos64(Unz(m_unzip), &position) == UNZ_OK ? ARCHIVE_OK : ARCHIVE_BAD_HEADER;
}

uint32_t ArchiveReader::GetEntry(int32_t index, ArchiveEntry* entry)
{
    if (entry == nullptr || m_unzip == nullptr || index < -1 || index >= GetEntryCount())
        return ARCHIVE_BAD_ARGUMENT;
    CloseOpenEntry();
    if (index >= 0 && index == m_cachedIndex) {
        *entry = m_cachedEntry;
        return ARCHIVE_OK;
    }
    if (index == -1) {
        std::memset(entry, 0, sizeof(*entry));
        entry->index = GetEntryCount();
        return ARCHIVE_OK;
    }
    ArchiveEntry built;
    uint32_t status;
    try {
        status = BuildEntry(index, &built);
    } catch (const std::bad_alloc&) {
        status = ARCHIVE_NO_MEMORY;
    }
    if (status != ARCHIVE_OK)
        return status;
    m_cachedEntry = built;
    m_cachedIndex = index;
    *entry = built;
    return ARCHIVE_OK;
}

uint32_t ArchiveReader::BuildEntry(int32_t index, ArchiveEntry* entry)
{
    std::memset(entry, 0, sizeof(*entry));
    if (MoveTo(index) != ARCHIVE_OK)
        return ARCHIVE_BAD_HEADER;
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(Unz(m_unzip), &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
        return ARCHIVE_BAD_HEADER;

    // The local extra field is only reachable through an opened entry; a raw
    // open reads and checks the local header without decompressing anything.
    if (unzOpenCurrentFile3(Unz(m_unzip), nullptr, nullptr, 1, nullptr) != UNZ_OK)
        return ARCHIVE_BAD_LOCAL_HEADER;
    std::vector<uint8_t> localExtra;
    const int extraSize = unzGetLocalExtrafield(Unz(m_unzip), nullptr, 0);
    if (extraSize < 0) {
        unzCloseCurrentFile(Unz(m_unzip));
        return ARCHIVE_BAD_LOCAL_HEADER;
    }
    if (extraSize > 0) {
        localExtra.resize(static_cast<size_t>(extraSize));
        const int got = unzGetLocalExtrafield(Unz(m_unzip), localExtra.data(), static_cast<unsigned>(extraSize));
        if (got != extraSize) {
            unzCloseCurrentFile(Unz(m_unzip));
            return ARCHIVE_BAD_LOCAL_HEADER;
        }
    }
    unzCloseCurrentFile(Unz(m_unzip));

    entry->index = index;
    const std::wstring& stored = m_index[static_cast<size_t>(index)].storedName;
    const std::wstring name = SanitizeArchiveEntryName(stored);
    const size_t units = name.size() < 259 ? name.size() : 259;
    std::memcpy(entry->name, name.data(), units * sizeof(wchar_t));
    entry->name[units] = L'\0';

    const bool folderName = !stored.empty() && (stored.back() == L'/' || stored.back() == L'\\');
    entry->attributes = MapAttributes(info.version, info.external_fa, folderName);

    FILETIME local{}, utc{};
    if (DosDateTimeToFileTime(HIWORD(info.dosDate), LOWORD(info.dosDate), &local) &&
        LocalFileTimeToFileTime(&local, &utc)) {
        entry->lastWriteTime = utc;
        entry->lastAccessTime = utc;
        entry->creationTime = utc;
    }
    ApplyExtendedTimestamp(localExtra, entry);

    entry->compressedSize = info.compressed_size > 0xFFFFFFFFull ? 0xFFFFFFFFu
                                                                 : static_cast<uint32_t>(info.compressed_size);
    entry->uncompressedSize = info.uncompressed_size > 0xFFFFFFFFull
                                  ? 0xFFFFFFFFu
                                  : static_cast<uint32_t>(info.uncompressed_size);
    return ARCHIVE_OK;
}

uint32_t ArchiveReader::ExtractToMemory(int32_t index, void* buffer, uint32_t length)
{
    if (m_unzip == nullptr || index < 0)
        return ARCHIVE_BAD_ARGUMENT;
    if (index != m_openIndex) {
        CloseOpenEntry();
        if (index < 0 || index >= GetEntryCount())
            return ARCHIVE_BAD_ARGUMENT;
        if (MoveTo(index) != ARCHIVE_OK)
            return ARCHIVE_BAD_HEADER;
        unz_file_info64 info{};
        if (unzGetCurrentFileInfo64(Unz(m_unzip), &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
            return ARCHIVE_BAD_HEADER;
        // Without the password an encrypted entry would decode to garbage.
        if ((info.flag & kFlagEncrypted) != 0 && m_password == nullptr)
            return ARCHIVE_PASSWORD;
        if (unzOpenCurrentFilePassword(Unz(m_unzip), m_password) != UNZ_OK)
            return ARCHIVE_BAD_LOCAL_HEADER;
        m_openIndex = index;
    }
    if (buffer == nullptr && length != 0)
        return ARCHIVE_BAD_ARGUMENT;

    // In steps until the buffer is full or the entry ends.
    uint32_t total = 0;
    bool failed = false;
    while (total < length) {
        const uint32_t left = length - total;
        const unsigned step = left > kReadStep ? kReadStep : left;
        const int got = unzReadCurrentFile(Unz(m_unzip), static_cast<uint8_t*>(buffer) + total, step);
        if (got < 0)
            failed = true;
        if (got <= 0)
            break;
        total += static_cast<uint32_t>(got);
    }
    if (!failed && unzeof(Unz(m_unzip)) != 0) {
        // Closing at the end checks the CRC of everything read.
        const int closed = unzCloseCurrentFile(Unz(m_unzip));
        m_openIndex = -1;
        return closed == UNZ_OK ? ARCHIVE_OK : ARCHIVE_DECOMPRESS_FAILED;
    }
    if (!failed && total == length)
        return ARCHIVE_MORE_DATA;
    // The data stopped before both the buffer's end and the entry's end.
    CloseOpenEntry();
    return ARCHIVE_DECOMPRESS_FAILED;
}

std::vector<ArchiveEntry> ArchiveReader::ListEntriesWithPrefix(const ArchiveEntry& entry)
{
    std::vector<ArchiveEntry> result;
    if (m_unzip == nullptr)
        return result;
    std::wstring prefix;
    if (entry.index >= 0 && entry.index < GetEntryCount()) {
        prefix = m_index[static_cast<size_t>(entry.index)].storedName;
    } else {
        prefix.assign(entry.name, wcsnlen(entry.name, 259));
    }
    if (prefix.empty())
        return result;
    for (int32_t i = 0; i < GetEntryCount(); ++i) {
        if (i == entry.index)
            continue;
        const std::wstring& stored = m_index[static_cast<size_t>(i)].storedName;
        if (stored.size() <= prefix.size())
            continue;
        size_t k = 0;
        while (k < prefix.size() && SameSlash(stored[k]) == SameSlash(prefix[k]))
            ++k;
        if (k != prefix.size())
            continue;
        ArchiveEntry found;
        if (GetEntry(i, &found) == ARCHIVE_OK)
            result.push_back(found);
    }
    return result;
}

int32_t ArchiveReader::FindEntryIndex(const wchar_t* name) const
{
    if (name == nullptr)
        return -1;
    const size_t length = wcsnlen(name, kMaxLookupName + 1);
    if (length > kMaxLookupName)
        return -1;
    const std::wstring wanted(name, length);
    for (size_t i = 0; i < m_index.size(); ++i) {
        const std::wstring& stored = m_index[i].storedName;
        if (stored.size() != wanted.size())
            continue;
        size_t k = 0;
        while (k < wanted.size() && FoldAscii(stored[k]) == FoldAscii(wanted[k]))
            ++k;
        if (k == wanted.size())
            return static_cast<int32_t>(i);
    }
    return -1;
}

ArchiveHandle OpenArchiveFromMemory(const void* data, uint32_t size)
{
    ArchiveHandle handle = new (std::nothrow) ArchiveHandleData();
    if (handle == nullptr) {
        Store(ARCHIVE_NO_MEMORY);
        return nullptr;
    }
    const uint32_t status = handle->reader.OpenMemory(data, size);
    if (status != ARCHIVE_OK) {
        delete handle;
        Store(status);
        return nullptr;
    }
    handle->mode = ARCHIVE_MODE_READ;
    Store(ARCHIVE_OK);
    return handle;
}

uint32_t CloseArchive(ArchiveHandle handle)
{
    if (handle == nullptr)
        return Store(ARCHIVE_BAD_ARGUMENT);
    handle->reader.Close();
    delete handle;
    return Store(ARCHIVE_OK);
}

uint32_t FindArchiveEntry(ArchiveHandle handle, const wchar_t* name, int caseOption,
                          int32_t* index, ArchiveEntry* entry)
{
    (void)caseOption;
    if (handle == nullptr)
        return Store(ARCHIVE_BAD_ARGUMENT);
    if (handle->mode != ARCHIVE_MODE_READ)
        return Store(ARCHIVE_NOT_READING);
    // Whatever goes wrong, the caller's outputs say "no entry".
    auto fail = [&](uint32_t status) {
        if (index != nullptr)
            *index = -1;
        if (entry != nullptr) {
            std::memset(entry, 0, sizeof(*entry));
            entry->index = -1;
        }
        return Store(status);
    };
    const int32_t found = handle->reader.FindEntryIndex(name);
    if (found < 0)
        return fail(ARCHIVE_NOT_FOUND);
    ArchiveEntry described;
    const uint32_t status = handle->reader.GetEntry(found, &described);
    if (status != ARCHIVE_OK)
        return fail(status);
    if (index != nullptr)
        *index = found;
    if (entry != nullptr)
        *entry = described;
    return Store(ARCHIVE_OK);
}

uint32_t ExtractArchiveEntry(ArchiveHandle handle, int32_t index, void* buffer, uint32_t length)
{
    if (handle == nullptr)
        return Store(ARCHIVE_BAD_ARGUMENT);
    if (handle->mode != ARCHIVE_MODE_READ)
        return Store(ARCHIVE_NOT_READING);
    return Store(handle->reader.ExtractToMemory(index, buffer, length));
}

uint32_t GetArchiveLastStatus()
{
    return t_lastStatus;
}
