// Paths for tests: a private scratch folder inside the Wine prefix, and the
// read-only source and dependency folders.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

// The checkout's root, the build folder and the dependency folder, as
// Windows paths (through Wine's z: drive). Read-only for tests.
std::wstring SourceDir();
std::wstring BinaryDir();
std::wstring DepsDir();

// A new empty folder under %TEMP% that is removed with its content when the
// object is destroyed. Path() ends without a backslash.
class ScratchDir {
public:
    explicit ScratchDir(const wchar_t* tag = L"t");
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::wstring& Path() const { return m_path; }
    std::wstring File(const std::wstring& name) const { return m_path + L"\\" + name; }

private:
    std::wstring m_path;
};

// Whole-file helpers for fixtures.
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool ReadFileBytes(const std::wstring& path, std::string& bytes);
// Every file below folder (recursively), as paths relative to it with
// backslashes, sorted; empty when the folder does not exist.
std::vector<std::wstring> FilesBelow(const std::wstring& folder);

} // namespace testsupport
