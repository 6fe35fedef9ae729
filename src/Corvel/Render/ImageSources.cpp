// Image byte sources for the decoders.
#include "Corvel/Render/ImageSources.h"


#include <memory>

#include "Corvel/Core/SkinArchive.h"
#include "net/FileHandle.h"

namespace ui {

namespace {

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

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

} // namespace ui
