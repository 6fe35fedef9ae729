// Read-only minizip I/O over a block of memory, so that the skin archive can
// be opened straight from the program's resources without a temporary file.
#pragma once

#include <cstdint>

#include <minizip/ioapi.h>

// The block the archive is read from. It is not copied: it must outlive every
// unzip handle opened on it.
struct ArchiveMemorySource {
    const uint8_t* data = nullptr;
    uint64_t size = 0;
};

// Fills the minizip function table. The "file name" handed to unzOpen2_64
// is the address of an ArchiveMemorySource; each open gets its own cursor.
void FillArchiveMemoryIo(zlib_filefunc64_def* io);
