// The process-wide skin archive and the folder of loose skin files. Both are
// set up by the application at start-up and used from the UI thread only.
#pragma once

#include <cstdint>
#include <string>

#include "Corvel/Core/ArchiveReader.h"

// The open skin archive, or null when the skin is read from loose files.
ArchiveHandle GetSkinArchive();

// Copies (data, size) into a heap buffer owned here and opens it as the skin
// archive, closing any earlier one. False (and no archive) when the bytes are
// not a readable zip archive.
bool OpenSkinArchive(const void* data, uint32_t size);

// Adopts an archive the caller opened over `bytes`, a block from malloc that
// is freed when the archive is closed (bytes may be null when the caller keeps
// the data alive itself). Any earlier archive is closed.
void SetSkinArchive(ArchiveHandle handle, void* bytes);

// Closes the skin archive and frees its bytes; harmless when none is open.
void CloseSkinArchive();

// Folder under which loose skin files are found (normally ends with "\").
void SetUiResourcePath(const wchar_t* path);
const std::wstring& GetUiResourcePath();
