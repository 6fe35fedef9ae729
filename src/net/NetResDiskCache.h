// Disk cache of downloaded resources: one file per URL hash in a folder,
// indexed by "cache.db". One object per folder in a process (Open).
#pragma once

#include "net/NetLock.h"
#include "net/NetResCacheEntry.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class NetResDiskCache {
public:
    // The process's cache object for the folder (created and loaded on first use).
    static std::shared_ptr<NetResDiskCache> Open(const std::wstring& folder);

    explicit NetResDiskCache(const std::wstring& folder);
    ~NetResDiskCache();
    NetResDiskCache(const NetResDiskCache&) = delete;
    NetResDiskCache& operator=(const NetResDiskCache&) = delete;

    // Reads cache.db, drops records whose file is missing or empty, deletes
    // files 7 days past their validity and rewrites cache.db when anything
    // was dropped. A malformed cache.db keeps the records read before the fault.
    void Load();

    // A fresh entry for the URL whose file holds exactly the indexed size and
    // belongs to this URL. False = go to the network.
    bool Lookup(const std::wstring& url, uint32_t hash, std::wstring* path, uint32_t* size);

    // Starts caching a response; null when its file cannot be created.
    NetResCacheEntry* BeginEntry(const std::wstring& url, uint32_t hash, int64_t validity);
    void Write(NetResCacheEntry* entry, const char* data, int length);
    // The body is complete: moves it into place, indexes it and frees the
    // entry. False (nothing kept) after a failed write or an empty body.
    bool Commit(NetResCacheEntry* entry);
    // The body is incomplete: deletes it and frees the entry.
    void Discard(NetResCacheEntry* entry);

    // Records a committed entry: updates its record or appends a new one.
    void Touch(NetResCacheEntry* entry);
    bool Append(NetResCacheEntry* entry);

    std::wstring FilePathFor(uint32_t hash) const;
    std::wstring UrlPathFor(uint32_t hash) const;
    const std::wstring& Folder() const { return m_folder; }
    const std::wstring& IndexPath() const { return m_indexPath; }
    int32_t RecordCount();
    std::vector<NetResCacheEntry> Entries();

private:
    bool RewriteIndex(std::vector<NetResCacheEntry>& kept);

    int32_t m_count = 0;
    CNetLock m_indexLock;
    CNetLock m_fileLock;
    std::vector<NetResCacheEntry> m_index;
    std::wstring m_folder;
    std::wstring m_indexPath;
};
