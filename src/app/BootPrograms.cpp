#include "app/BootPrograms.h"

#include "app/Encodings.h"
#include "app/PathSafety.h"

std::wstring JoinInstallPath(const std::wstring& folder, const std::wstring& name)
{
    if (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/'))
        return folder + name;
    return folder + L"\\" + name;
}

bool IsZipPackage(const std::wstring& fileName) { return fileName.find(L".zip") != std::wstring::npos; }

std::wstring BootProgramPath(const std::wstring& installDir, const stBootEntry& entry)
{
    // An empty path would name the directory itself, which exists and would
    // count as a program already installed.
    if (entry.path.empty() || installDir.empty())
        return std::wstring();
    return JoinUnderFolder(installDir, Utf8ToWideString(entry.path));
}

std::wstring BootShortcutName(const stBootEntry& entry)
{
    if (entry.name.empty())
        return std::wstring();
    const SafeFileName reduced = ReduceToFileName(Utf8ToWideString(entry.name));
    return reduced.IsValid() ? reduced.name : std::wstring();
}
