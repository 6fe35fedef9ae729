// One cached response: its index entry, and the response being written.
#pragma once

#include "net/FileHandle.h"

#include <cstdint>
#include <string>

// An entry of the index, as "cache.db" records it.
struct NetResCacheEntry {
    bool stale = false;          // validity has run out: refetch
    int32_t recordOffset = 0;    // byte offset of the record in cache.db
    uint32_t size = 0;           // bytes of the cached file
    int64_t validity = 0;        // seconds, 0 = never expires
    int64_t lastAccess = 0;      // seconds since 1970
    uint32_t hash = 0;
    std::wstring path;           // always the cache folder and the hash
    uint32_t recordPathUnits = 0;  // path length of the record on disk, zero excluded
};

// A response on its way into the cache: the sink's context from OnBegin to
// OnComplete or OnAbort. Its body is written to a part file beside the
// cached file ("<hash>.<pid>.<n>.part") and moved into place only whole.
struct NetResCacheWrite {
    NetResCacheEntry entry;
    CFileHandle file;              // the part file, open while the body is written
    std::wstring url;              // the URL the response belongs to
    std::wstring partPath;
    bool failed = false;           // a write failed or the body is too large: never committed
};
