#include "support/TestPaths.h"

#include <algorithm>

#include <windows.h>

#include <atomic>

namespace testsupport {

std::wstring SourceDir() { return CORVEL_TEST_SOURCE_DIR; }
std::wstring BinaryDir() { return CORVEL_TEST_BINARY_DIR; }
std::wstring DepsDir() { return CORVEL_TEST_DEPS_DIR; }

namespace {

void RemoveTree(const std::wstring& dir)
{
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW((dir + L"\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = fd.cFileName;
            if (name == L"." || name == L"..")
                continue;
            std::wstring full = dir + L"\\" + name;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(full);
            } else {
                SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(full.c_str());
            }
        } while (FindNextFileW(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryW(dir.c_str());
}

} // namespace

ScratchDir::ScratchDir(const wchar_t* tag)
{
    static std::atomic<unsigned> counter{0};
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    for (;;) {
        wchar_t name[128];
        swprintf(name, 128, L"corvel-%s-%lu-%u-%lu", tag, GetCurrentProcessId(), counter++, GetTickCount());
        std::wstring path = std::wstring(temp) + name;
        if (CreateDirectoryW(path.c_str(), nullptr)) {
            m_path = path;
            break;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS)
            break;
    }
}

ScratchDir::~ScratchDir()
{
    if (!m_path.empty())
        RemoveTree(m_path);
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    BOOL ok = bytes.empty() || WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
    return ok && written == bytes.size();
}

bool ReadFileBytes(const std::wstring& path, std::string& bytes)
{
    bytes.clear();
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size{};
    GetFileSizeEx(h, &size);
    bytes.resize(static_cast<size_t>(size.QuadPart));
    DWORD got = 0;
    BOOL ok = bytes.empty() || ReadFile(h, &bytes[0], static_cast<DWORD>(bytes.size()), &got, nullptr);
    CloseHandle(h);
    return ok && got == bytes.size();
}

namespace {

void ListFiles(const std::wstring& folder, const std::wstring& prefix, std::vector<std::wstring>& out)
{
    WIN32_FIND_DATAW found;
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..")
            continue;
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            ListFiles(folder + L"\\" + name, prefix + name + L"\\", out);
        else
            out.push_back(prefix + name);
    } while (FindNextFileW(h, &found));
    FindClose(h);
}

} // namespace

std::vector<std::wstring> FilesBelow(const std::wstring& folder)
{
    std::vector<std::wstring> files;
    ListFiles(folder, L"", files);
    std::sort(files.begin(), files.end());
    return files;
}

} // namespace testsupport
