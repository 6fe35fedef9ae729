#include "app/SevenZip/ArchiveItems.h"

#include "app/SevenZip/EntryPath.h"
#include "app/SevenZip/ExtractError.h"

namespace sevenzip {
namespace {

// One property value, cleared (its string freed) when it goes.
class PropertyValue {
public:
    PropertyValue() { PropVariantInit(&m_value); }
    ~PropertyValue() { PropVariantClear(&m_value); }
    PropertyValue(const PropertyValue&) = delete;
    PropertyValue& operator=(const PropertyValue&) = delete;

    PROPVARIANT* Out() { return &m_value; }
    const PROPVARIANT& Get() const { return m_value; }

private:
    PROPVARIANT m_value;
};

void ReadProperty(IInArchive* archive, uint32_t index, PROPID property, PropertyValue& value)
{
    const HRESULT hr = archive->GetProperty(index, property, value.Out());
    if (FAILED(hr))
        throw ExtractError("cannot read the archive's entries", hr);
}

bool IsSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

} // namespace

std::wstring ItemPath(IInArchive* archive, uint32_t index)
{
    PropertyValue value;
    ReadProperty(archive, index, kpidPath, value);
    if (value.Get().vt != VT_BSTR || value.Get().bstrVal == nullptr)
        return std::wstring();
    return std::wstring(value.Get().bstrVal, SysStringLen(value.Get().bstrVal));
}

bool ItemIsFolder(IInArchive* archive, uint32_t index)
{
    PropertyValue value;
    ReadProperty(archive, index, kpidIsDir, value);
    return value.Get().vt == VT_BOOL && value.Get().boolVal != VARIANT_FALSE;
}

std::optional<DWORD> ItemAttributes(IInArchive* archive, uint32_t index)
{
    PropertyValue value;
    ReadProperty(archive, index, kpidAttrib, value);
    if (value.Get().vt != VT_UI4)
        return std::nullopt;
    return static_cast<DWORD>(value.Get().ulVal);
}

std::optional<FILETIME> ItemModified(IInArchive* archive, uint32_t index)
{
    PropertyValue value;
    ReadProperty(archive, index, kpidMTime, value);
    if (value.Get().vt != VT_FILETIME)
        return std::nullopt;
    return value.Get().filetime;
}

std::wstring EntryTarget(const std::wstring& folder, const std::wstring& entryName)
{
    const std::optional<std::wstring> relative = SafeRelativePath(entryName);
    if (!relative)
        throw ExtractError("refused entry name", entryName, HRESULT_FROM_WIN32(ERROR_BAD_PATHNAME));
    return folder + L"\\" + *relative;
}

void EnsureFolder(const std::wstring& folder)
{
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) {
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            throw ExtractError("a file is in the way of the folder", folder, HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS));
        return;
    }
    const std::wstring parent = ParentFolder(folder);
    // A drive root or a bare name has no parent to make.
    if (!parent.empty() && parent.back() != L':')
        EnsureFolder(parent);
    if (!CreateDirectoryW(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
        throw ExtractError("cannot create the folder", folder, LastErrorResult());
}

std::wstring ParentFolder(const std::wstring& path)
{
    size_t end = path.size();
    while (end > 0 && IsSeparator(path[end - 1]))
        --end;
    while (end > 0 && !IsSeparator(path[end - 1]))
        --end;
    while (end > 0 && IsSeparator(path[end - 1]))
        --end;
    return path.substr(0, end);
}

} // namespace sevenzip
