// Reading an opened archive's items and placing them below the extraction
// folder. Each throws ExtractError on failure.
#pragma once

#include "app/SevenZip/EngineInterfaces.h"

#include <optional>
#include <string>

namespace sevenzip {

// The item's name as the archive holds it ("" when it has none).
std::wstring ItemPath(IInArchive* archive, uint32_t index);
bool ItemIsFolder(IInArchive* archive, uint32_t index);
// nullopt when the archive does not say.
std::optional<DWORD> ItemAttributes(IInArchive* archive, uint32_t index);
std::optional<FILETIME> ItemModified(IInArchive* archive, uint32_t index);

// folder + "\" + the entry's safe relative path (SafeRelativePath); throws
// ExtractError "refused entry name" for a name that is not safe.
std::wstring EntryTarget(const std::wstring& folder, const std::wstring& entryName);

// Creates folder and its missing parents; throws when a part of it is a
// file or cannot be created.
void EnsureFolder(const std::wstring& folder);

// The folder of a file path ("" when it has none).
std::wstring ParentFolder(const std::wstring& path);

} // namespace sevenzip
