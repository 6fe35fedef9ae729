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
    // The process's cache object for the folder (created and loaded on first
    // use). Any thread.
    static std::shared_ptr<NetResDiskCache> Open(const std::wstring& folder);

    // Sweeps the part files of writers that no longer run, then loads the index.
    explicit NetResDiskCache(const std::wstring& folder);
    ~NetResDiskCache();
    NetResDiskCache(const NetResDiskCache&) = delete;
    NetResDiskCache& operator=(const NetResDiskCache&) = delete;

    // Reads cache.db, drops records whose file is missing or empty, deletes
    // files 7 days past their validity and rewrites cache.db when anything
    // was dropped. A malformed cache.db keeps the records read before the fault.
    void Load();

    // Any thread. A fresh entry for the URL whose file holds exactly the
    // indexed size and belongs to this URL. False = go to the network.
    bool Lookup(const std::wstring& url, uint32_t hash, std::wstring* path, uint32_t* size);

    // Starts caching a response; null when its part file cannot be created.
    std::unique_ptr<NetResCacheWrite> BeginEntry(const std::wstring& url, uint32_t hash, int64_t validity);
    // Appends a chunk of the body; a failed write marks the response failed.
    void Write(NetResCacheWrite* write, const char* data, int length);
    // The body is complete: moves it into place and indexes it. False
    // (nothing kept) after a failed write or an empty body.
    bool Commit(std::unique_ptr<NetResCacheWrite> write);
    // The body is incomplete: its part file is deleted.
    void Discard(std::unique_ptr<NetResCacheWrite> write);

    // Records a committed entry: updates its record or appends a new one.
    void Touch(NetResCacheEntry& entry);
    bool Append(const NetResCacheEntry& entry);

    int32_t RecordCountForTesting();
    std::vector<NetResCacheEntry> EntriesForTesting();

private:
    void SweepOrphanParts();
    bool ReadIndex(std::string* bytes);
    std::vector<NetResCacheEntry> ParseIndex(const std::string& bytes, int32_t stored);
    bool KeepOnLoad(NetResCacheEntry& entry, int64_t now);
    bool RewriteIndex(std::vector<NetResCacheEntry>& kept);
    bool RefreshIndexed(const NetResCacheEntry& entry, NetResCacheEntry* indexed);
    void WriteRecordTail(const NetResCacheEntry& indexed, const NetResCacheEntry& entry);
    std::wstring FilePathFor(uint32_t hash) const;
    std::wstring UrlPathFor(uint32_t hash) const;

    int32_t m_count = 0;     // mirrors cache.db's count; under m_fileLock
    CNetLock m_indexLock;    // guards m_index
    CNetLock m_fileLock;     // guards cache.db; taken before m_indexLock
    std::vector<NetResCacheEntry> m_index;
    std::wstring m_folder;
    std::wstring m_indexPath;
};
