#include "net/NetResDiskCache.h"

#include <shlobj.h>

#include <atomic>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <unordered_set>

namespace {

const int64_t kDropAfterSeconds = 604800;      // 7 days past validity
const uint32_t kMaxPathUnits = 512;            // zero included
const DWORD kMaxIndexBytes = 64u * 1024 * 1024;

int64_t Now()
{
    return static_cast<int64_t>(_time64(nullptr));
}

template <class T>
void Put(std::string& out, T v)
{
    out.append(reinterpret_cast<const char*>(&v), sizeof(v));
}

template <class T>
T Get(const std::string& in, size_t at)
{
    T v;
    memcpy(&v, in.data() + at, sizeof(v));
    return v;
}

std::string RecordBytes(const NetResCacheEntry& e)
{
    std::string out;
    Put<uint32_t>(out, e.hash);
    Put<uint32_t>(out, static_cast<uint32_t>(e.path.size() + 1));
    out.append(reinterpret_cast<const char*>(e.path.c_str()), (e.path.size() + 1) * sizeof(wchar_t));
    Put<uint32_t>(out, e.size);
    Put<int64_t>(out, e.validity);
    Put<int64_t>(out, e.lastAccess);
    return out;
}

bool WriteAt(HANDLE file, int64_t offset, const void* data, DWORD length)
{
    LARGE_INTEGER at;
    at.QuadPart = offset;
    if (!SetFilePointerEx(file, at, nullptr, FILE_BEGIN))
        return false;
    const char* p = static_cast<const char*>(data);
    while (length > 0) {
        DWORD n = 0;
        if (!WriteFile(file, p, length, &n, nullptr) || n == 0)
            return false;
        p += n;
        length -= n;
    }
    return true;
}

bool ReadWhole(HANDLE file, std::string* out)
{
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(file, &size))
        return false;
    DWORD want = size.QuadPart > kMaxIndexBytes ? kMaxIndexBytes : static_cast<DWORD>(size.QuadPart);
    out->assign(want, '\0');
    DWORD have = 0;
    while (have < want) {
        DWORD n = 0;
        if (!ReadFile(file, &(*out)[have], want - have, &n, nullptr) || n == 0)
            break;
        have += n;
    }
    out->resize(have);
    return true;
}

uint64_t FileSize(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return static_cast<uint64_t>(-1);
    return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::string ToUtf8(const std::wstring& s)
{
    if (s.empty())
        return std::string();
    int n = WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), &out[0], n, nullptr, nullptr);
    return out;
}

bool WriteSmallFile(const std::wstring& path, const std::string& bytes)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    bool ok = bytes.empty() || WriteAt(h, 0, bytes.data(), static_cast<DWORD>(bytes.size()));
    CloseHandle(h);
    if (!ok)
        DeleteFileW(path.c_str());
    return ok;
}

bool ReadSmallFile(const std::wstring& path, std::string* out, DWORD limit)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER size = {};
    bool ok = GetFileSizeEx(h, &size) && size.QuadPart <= limit;
    if (ok)
        ok = ReadWhole(h, out) && out->size() == static_cast<size_t>(size.QuadPart);
    CloseHandle(h);
    return ok;
}

std::wstring NormaliseFolder(const std::wstring& folder)
{
    wchar_t full[MAX_PATH * 4];
    DWORD n = GetFullPathNameW(folder.c_str(), MAX_PATH * 4, full, nullptr);
    std::wstring key = (n > 0 && n < MAX_PATH * 4) ? std::wstring(full, n) : folder;
    while (key.size() > 3 && (key.back() == L'\\' || key.back() == L'/'))
        key.pop_back();
    for (wchar_t& c : key)
        if (c == L'/')
            c = L'\\';
    if (!key.empty())
        CharLowerBuffW(&key[0], static_cast<DWORD>(key.size()));
    return key;
}

} // namespace

std::shared_ptr<NetResDiskCache> NetResDiskCache::Open(const std::wstring& folder)
{
    static std::mutex s_mutex;
    static std::map<std::wstring, std::weak_ptr<NetResDiskCache>> s_caches;
    std::wstring key = NormaliseFolder(folder);
    std::lock_guard<std::mutex> guard(s_mutex);
    for (auto it = s_caches.begin(); it != s_caches.end();) {
        if (it->second.expired())
            it = s_caches.erase(it);
        else
            ++it;
    }
    auto found = s_caches.find(key);
    if (found != s_caches.end())
        if (auto cache = found->second.lock())
            return cache;
    auto cache = std::make_shared<NetResDiskCache>(folder);
    s_caches[key] = cache;
    return cache;
}

NetResDiskCache::NetResDiskCache(const std::wstring& folder) : m_folder(folder)
{
    while (m_folder.size() > 3 && (m_folder.back() == L'\\' || m_folder.back() == L'/'))
        m_folder.pop_back();
    m_indexPath = m_folder + L"\\cache.db";
    Load();
}

NetResDiskCache::~NetResDiskCache() = default;

std::wstring NetResDiskCache::FilePathFor(uint32_t hash) const
{
    return m_folder + L"\\" + std::to_wstring(hash);
}

std::wstring NetResDiskCache::UrlPathFor(uint32_t hash) const
{
    return FilePathFor(hash) + L".url";
}

int32_t NetResDiskCache::RecordCount()
{
    CNetLockGuard guard(m_fileLock);
    return m_count;
}

std::vector<NetResCacheEntry> NetResDiskCache::Entries()
{
    CNetLockGuard guard(m_indexLock);
    return m_index;
}

void NetResDiskCache::Load()
{
    CNetLockGuard fileGuard(m_fileLock);
    {
        CNetLockGuard indexGuard(m_indexLock);
        m_index.clear();
    }
    m_count = 0;
    HANDLE file = CreateFileW(m_indexPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    std::string bytes;
    if (!ReadWhole(file, &bytes) || bytes.size() < 4) {
        // Missing, empty or cut inside the count: start with a zero count.
        int32_t zero = 0;
        WriteAt(file, 0, &zero, sizeof(zero));
        SetEndOfFile(file);
        CloseHandle(file);
        return;
    }
    CloseHandle(file);

    const int32_t stored = Get<int32_t>(bytes, 0);
    std::vector<NetResCacheEntry> kept;
    std::unordered_set<uint32_t> seen;
    const int64_t now = Now();
    size_t pos = 4;
    for (int32_t i = 0; i < stored; ++i) {
        // Stop at the first record that does not fit: what was read stays.
        if (pos + 8 > bytes.size())
            break;
        uint32_t hash = Get<uint32_t>(bytes, pos);
        uint32_t units = Get<uint32_t>(bytes, pos + 4);
        if (units == 0 || units > kMaxPathUnits)
            break;
        size_t recordBytes = 28 + 2 * static_cast<size_t>(units);
        if (pos + recordBytes > bytes.size())
            break;
        NetResCacheEntry e;
        e.hash = hash;
        e.recordOffset = static_cast<int32_t>(pos);
        e.recordPathUnits = units - 1;
        e.size = Get<uint32_t>(bytes, pos + 8 + 2 * units);
        e.validity = Get<int64_t>(bytes, pos + 12 + 2 * units);
        e.lastAccess = Get<int64_t>(bytes, pos + 20 + 2 * units);
        // The stored path is not trusted: files are named by the hash.
        e.path = FilePathFor(hash);
        pos += recordBytes;

        if (!seen.insert(hash).second)
            continue;  // a second record for a hash: the first one rules
        uint64_t actual = FileSize(e.path);
        if (actual == static_cast<uint64_t>(-1) || e.size == 0) {
            DeleteFileW(UrlPathFor(hash).c_str());
            continue;
        }
        if (e.validity != 0) {
            int64_t age = now - e.validity - e.lastAccess;
            if (age >= kDropAfterSeconds) {
                DeleteFileW(e.path.c_str());
                DeleteFileW(UrlPathFor(hash).c_str());
                continue;
            }
            e.stale = age > 0;
        }
        kept.push_back(e);
    }
    if (static_cast<int32_t>(kept.size()) != stored) {
        if (!RewriteIndex(kept))
            kept.clear();  // keep the old file as it is; cache from scratch
    }
    m_count = static_cast<int32_t>(kept.size());
    CNetLockGuard indexGuard(m_indexLock);
    m_index = std::move(kept);
}

bool NetResDiskCache::RewriteIndex(std::vector<NetResCacheEntry>& kept)
{
    std::string out;
    Put<int32_t>(out, static_cast<int32_t>(kept.size()));
    for (NetResCacheEntry& e : kept) {
        e.recordOffset = static_cast<int32_t>(out.size());
        e.recordPathUnits = static_cast<uint32_t>(e.path.size());
        out += RecordBytes(e);
    }
    // Written aside and moved over, so a failure leaves the old index whole.
    std::wstring temp = m_indexPath + L".new";
    if (!WriteSmallFile(temp, out))
        return false;
    if (!MoveFileExW(temp.c_str(), m_indexPath.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        DeleteFileW(temp.c_str());
        return false;
    }
    return true;
}

bool NetResDiskCache::Lookup(const std::wstring& url, uint32_t hash, std::wstring* path, uint32_t* size)
{
    CNetLockGuard fileGuard(m_fileLock);
    NetResCacheEntry found;
    {
        CNetLockGuard indexGuard(m_indexLock);
        NetResCacheEntry* e = nullptr;
        for (NetResCacheEntry& x : m_index)
            if (x.hash == hash) {
                e = &x;
                break;
            }
        if (!e)
            return false;
        if (e->validity != 0 && Now() - e->lastAccess > e->validity)
            e->stale = true;
        if (e->stale)
            return false;
        found = *e;
    }
    found.path = FilePathFor(hash);
    if (found.size == 0 || FileSize(found.path) != found.size)
        return false;
    // Another URL with the same hash must not be served.
    std::string owner;
    if (!ReadSmallFile(UrlPathFor(hash), &owner, 64 * 1024) || owner != ToUtf8(url))
        return false;
    if (path)
        *path = found.path;
    if (size)
        *size = found.size;
    return true;
}

NetResCacheEntry* NetResDiskCache::BeginEntry(const std::wstring& url, uint32_t hash, int64_t validity)
{
    static std::atomic<unsigned> s_counter{0};
    auto* e = new NetResCacheEntry;
    e->hash = hash;
    e->validity = validity;
    e->url = url;
    e->path = FilePathFor(hash);
    e->partPath = e->path + L"." + std::to_wstring(GetCurrentProcessId()) + L"." + std::to_wstring(s_counter++) +
                  L".part";
    e->file = CreateFileW(e->partPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                          nullptr);
    if (e->file == INVALID_HANDLE_VALUE) {
        delete e;
        return nullptr;
    }
    return e;
}

void NetResDiskCache::Write(NetResCacheEntry* e, const char* data, int length)
{
    if (!e || e->failed || e->file == INVALID_HANDLE_VALUE || length <= 0)
        return;
    if (static_cast<uint64_t>(e->size) + static_cast<uint64_t>(length) > 0xFFFFFFFFull) {
        e->failed = true;  // the index counts in 32 bits
        return;
    }
    DWORD done = 0;
    while (done < static_cast<DWORD>(length)) {
        DWORD n = 0;
        if (!WriteFile(e->file, data + done, static_cast<DWORD>(length) - done, &n, nullptr) || n == 0) {
            e->failed = true;
            return;
        }
        done += n;
    }
    e->size += static_cast<uint32_t>(length);
}

void NetResDiskCache::Discard(NetResCacheEntry* e)
{
    if (!e)
        return;
    if (e->file != INVALID_HANDLE_VALUE)
        CloseHandle(e->file);
    DeleteFileW(e->partPath.c_str());
    delete e;
}

bool NetResDiskCache::Commit(NetResCacheEntry* e)
{
    if (!e)
        return false;
    if (e->file != INVALID_HANDLE_VALUE) {
        CloseHandle(e->file);
        e->file = INVALID_HANDLE_VALUE;
    }
    if (e->failed || e->size == 0 || FileSize(e->partPath) != e->size) {
        Discard(e);
        return false;
    }
    bool ok = false;
    {
        CNetLockGuard fileGuard(m_fileLock);
        // The owner file goes first, so a crash in between leaves a miss,
        // never one URL's bytes under another's name.
        std::wstring owner = UrlPathFor(e->hash);
        DeleteFileW(owner.c_str());
        if (MoveFileExW(e->partPath.c_str(), e->path.c_str(), MOVEFILE_REPLACE_EXISTING) &&
            WriteSmallFile(owner, ToUtf8(e->url))) {
            Touch(e);
            ok = true;
        }
    }
    Discard(e);  // deletes the part file when it was not moved
    return ok;
}

void NetResDiskCache::Touch(NetResCacheEntry* e)
{
    e->lastAccess = Now();
    int32_t offset = 0;
    uint32_t units = 0;
    bool found = false;
    {
        CNetLockGuard indexGuard(m_indexLock);
        for (NetResCacheEntry& x : m_index) {
            if (x.hash == e->hash) {
                offset = x.recordOffset;
                units = x.recordPathUnits;
                x.lastAccess = e->lastAccess;
                x.size = e->size;
                x.validity = e->validity;
                x.stale = false;
                found = true;
                break;
            }
        }
    }
    if (found) {
        if (e->size != 0) {
            CNetLockGuard fileGuard(m_fileLock);
            HANDLE file = CreateFileW(m_indexPath.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file != INVALID_HANDLE_VALUE) {
                std::string tail;
                Put<uint32_t>(tail, e->size);
                Put<int64_t>(tail, e->validity);
                Put<int64_t>(tail, e->lastAccess);
                // The record's own path length places the fields.
                WriteAt(file, static_cast<int64_t>(offset) + 2 * static_cast<int64_t>(units) + 10, tail.data(),
                        static_cast<DWORD>(tail.size()));
                CloseHandle(file);
            }
        }
    } else {
        Append(e);
    }
    if (e->file != INVALID_HANDLE_VALUE) {
        CloseHandle(e->file);
        e->file = INVALID_HANDLE_VALUE;
    }
}

bool NetResDiskCache::Append(NetResCacheEntry* e)
{
    if (!e || e->size == 0)
        return false;
    CNetLockGuard fileGuard(m_fileLock);
    HANDLE file = CreateFileW(m_indexPath.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    NetResCacheEntry record = *e;
    record.file = INVALID_HANDLE_VALUE;
    record.path = FilePathFor(e->hash);
    record.recordPathUnits = static_cast<uint32_t>(record.path.size());
    {
        CNetLockGuard indexGuard(m_indexLock);
        record.recordOffset = m_index.empty()
                                  ? 4
                                  : m_index.back().recordOffset + 2 * static_cast<int32_t>(m_index.back().recordPathUnits) + 30;
    }
    std::string bytes = RecordBytes(record);
    bool ok = WriteAt(file, record.recordOffset, bytes.data(), static_cast<DWORD>(bytes.size()));
    if (ok) {
        int32_t count = m_count + 1;
        ok = WriteAt(file, 0, &count, sizeof(count));
        if (ok) {
            m_count = count;
            record.url.clear();
            record.partPath.clear();
            CNetLockGuard indexGuard(m_indexLock);
            m_index.push_back(record);
        }
    }
    CloseHandle(file);
    return ok;
}
