// Where image bytes come from: files on disk (under the UI library's
// resource folder or absolute), folders of frames and skin archive entries.
// Helpers of the image decoders; UI thread.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "Corvel/Core/ArchiveReader.h"

namespace ui {

// The resource folder followed by `path` when that exists, else `path`
// itself when it exists; false when neither does.
bool ResolveDiskPath(const wchar_t* path, std::wstring& out);
bool IsFolder(const std::wstring& path);
// Names of the files (not folders) directly inside `folder` (ending in "\").
std::vector<std::wstring> ListFolderFiles(const std::wstring& folder);
// A whole file; false when it cannot be read whole.
bool ReadWholeFile(const std::wstring& path, std::string& bytes);
// A whole archive entry (status 0 or "more data" accepted); false otherwise.
bool ReadArchiveEntry(ArchiveHandle archive, const ArchiveEntry& entry, std::string& bytes);
// Adds one to the count ImageDecodeCountForTesting reports.
void CountImageDecode();

} // namespace ui
