// One cached response: the index entry of the disk cache and, while a
// response is being written, its open file.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

struct NetResCacheEntry {
    bool stale = false;          // validity has run out: refetch
    int32_t recordOffset = 0;    // byte offset of the record in cache.db
    uint32_t size = 0;           // bytes of the cached file
    int64_t validity = 0;        // seconds, 0 = never expires
    int64_t lastAccess = 0;      // seconds since 1970
    uint32_t hash = 0;
    HANDLE file = INVALID_HANDLE_VALUE;  // open only while a response is written
    std::wstring path;           // always the cache folder and the hash

    // Beyond the index record:
    uint32_t recordPathUnits = 0;  // path length of the record on disk, zero excluded
    std::wstring url;              // the URL the response belongs to
    std::wstring partPath;         // where the body is written until it is complete
    bool failed = false;           // a write failed or the body is too large: never committed
};
