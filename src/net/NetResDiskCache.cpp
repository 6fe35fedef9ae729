#include "net/NetResDiskCache.h"

#include "net/KernelHandle.h"

#include <atomic>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <unordered_set>

namespace {

// Entries this long past their validity are deleted at the next load.
const int64_t kDropAfterSeconds = 7 * 24 * 60 * 60;
// Longest stored path read back, terminating zero included.
const uint32_t kMaxPathUnits = 512;
// A larger cache.db is read only this far: its later records are dropped.
const DWORD kMaxIndexBytes = 64u * 1024 * 1024;
// The URL that names a cached file's owner is a URL, never more than this.
const DWORD kMaxOwnerBytes = 64 * 1024;
// Record layout: hash (4), path length (4), path (2 units each), size (4),
// validity (8), last access (8). The size field sits after the path.
const size_t kRecordFixedBytes = 28;
const size_t kRecordSizeFieldOffset = 8;  // plus the path's bytes
// Room for a full path when the folder is normalised.
const DWORD kFullPathUnits = MAX_PATH * 4;

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

// Offset of the record after one at offset whose path has units units.
int32_t NextRecordOffset(int32_t offset, uint32_t units)
{
    return offset + static_cast<int32_t>(kRecordFixedBytes + 2 * (static_cast<size_t>(units) + 1));
}

CFileHandle OpenForWriting(const std::wstring& path, DWORD access, DWORD disposition)
{
    return CFileHandle(CreateFileW(path.c_str(), access, 0, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
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
    bool ok = false;
    {
        CFileHandle file = OpenForWriting(path, GENERIC_WRITE, CREATE_ALWAYS);
        if (!file)
            return false;
        ok = bytes.empty() || WriteAt(file.Get(), 0, bytes.data(), static_cast<DWORD>(bytes.size()));
    }
    if (!ok)
        DeleteFileW(path.c_str());
    return ok;
}

bool ReadSmallFile(const std::wstring& path, std::string* out, DWORD limit)
{
    CFileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size = {};
    if (!file || !GetFileSizeEx(file.Get(), &size) || size.QuadPart > limit)
        return false;
    return ReadWhole(file.Get(), out) && out->size() == static_cast<size_t>(size.QuadPart);
}

std::wstring NormaliseFolder(const std::wstring& folder)
{
    wchar_t full[kFullPathUnits];
    DWORD n = GetFullPathNameW(folder.c_str(), kFullPathUnits, full, nullptr);
    std::wstring key = (n > 0 && n < kFullPathUnits) ? std::wstring(full, n) : folder;
    while (key.size() > 3 && (key.back() == L'\\' || key.back() == L'/'))
        key.pop_back();
    for (wchar_t& c : key)
        if (c == L'/')
            c = L'\\';
    if (!key.empty())
        CharLowerBuffW(&key[0], static_cast<DWORD>(key.size()));
    return key;
}

// Decimal digits only, fitting 32 bits.
bool ParseDecimal32(const std::wstring& text, DWORD* value)
{
    if (text.empty() || text.size() > 10)
        return false;
    uint64_t v = 0;
    for (wchar_t c : text) {
        if (c < L'0' || c > L'9')
            return false;
        v = v * 10 + static_cast<unsigned>(c - L'0');
    }
    if (v > UINT32_MAX)
        return false;
    *value = static_cast<DWORD>(v);
    return true;
}

// The writer's process id of a part file name "<hash>.<pid>.<n>.part";
// false for any other name.
bool PartFileWriter(const std::wstring& name, DWORD* pid)
{
    const std::wstring suffix = L".part";
    if (name.size() <= suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return false;
    std::wstring fields[3];
    size_t at = 0;
    const size_t end = name.size() - suffix.size();
    for (int i = 0; i < 3; ++i) {
        size_t dot = i < 2 ? name.find(L'.', at) : end;
        if (dot == std::wstring::npos || dot > end)
            return false;
        fields[i] = name.substr(at, dot - at);
        at = dot + 1;
    }
    DWORD hash = 0, counter = 0;
    return ParseDecimal32(fields[0], &hash) && ParseDecimal32(fields[1], pid) && ParseDecimal32(fields[2], &counter);
}

// True when a process with this id runs now. It may be another program that
// got a dead writer's id: that writer's files then wait for a later sweep.
bool ProcessRuns(DWORD pid)
{
    CKernelHandle process(OpenProcess(SYNCHRONIZE, FALSE, pid));
    if (!process)
        return GetLastError() != ERROR_INVALID_PARAMETER;  // refused, so it exists
    return WaitForSingleObject(process.Get(), 0) == WAIT_TIMEOUT;
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
    SweepOrphanParts();
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

int32_t NetResDiskCache::RecordCountForTesting()
{
    CNetLockGuard guard(m_fileLock);
    return m_count;
}

std::vector<NetResCacheEntry> NetResDiskCache::EntriesForTesting()
{
    CNetLockGuard guard(m_indexLock);
    return m_index;
}

// A process that was killed while it wrote a response leaves its part file
// behind; nothing else would ever delete it. Files of writers that still run
// (this process included) are theirs to finish.
void NetResDiskCache::SweepOrphanParts()
{
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((m_folder + L"\\*.part").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return;
    do {
        DWORD pid = 0;
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && PartFileWriter(found.cFileName, &pid) &&
            !ProcessRuns(pid))
            DeleteFileW((m_folder + L"\\" + found.cFileName).c_str());
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

void NetResDiskCache::Load()
{
    CNetLockGuard fileGuard(m_fileLock);
    {
        CNetLockGuard indexGuard(m_indexLock);
        m_index.clear();
    }
    m_count = 0;
    std::string bytes;
    if (!ReadIndex(&bytes))
        return;
    const int32_t stored = Get<int32_t>(bytes, 0);
    std::vector<NetResCacheEntry> kept = ParseIndex(bytes, stored);
    if (static_cast<int32_t>(kept.size()) != stored && !RewriteIndex(kept))
        kept.clear();  // keep the old file as it is; cache from scratch
    m_count = static_cast<int32_t>(kept.size());
    CNetLockGuard indexGuard(m_indexLock);
    m_index = std::move(kept);
}

// The whole of cache.db with at least its count. A missing or empty one, or
// one cut inside the count, is written anew with a zero count: false.
bool NetResDiskCache::ReadIndex(std::string* bytes)
{
    CFileHandle file(CreateFileW(m_indexPath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    if (ReadWhole(file.Get(), bytes) && bytes->size() >= sizeof(int32_t))
        return true;
    int32_t zero = 0;
    WriteAt(file.Get(), 0, &zero, sizeof(zero));
    SetEndOfFile(file.Get());
    return false;
}

// The records that are kept, read up to the first that does not fit.
std::vector<NetResCacheEntry> NetResDiskCache::ParseIndex(const std::string& bytes, int32_t stored)
{
    std::vector<NetResCacheEntry> kept;
    std::unordered_set<uint32_t> seen;
    const int64_t now = Now();
    size_t pos = sizeof(int32_t);
    for (int32_t i = 0; i < stored; ++i) {
        if (pos + 8 > bytes.size())
            break;
        const uint32_t units = Get<uint32_t>(bytes, pos + 4);
        if (units == 0 || units > kMaxPathUnits)
            break;
        const size_t recordBytes = kRecordFixedBytes + 2 * static_cast<size_t>(units);
        if (pos + recordBytes > bytes.size())
            break;
        NetResCacheEntry e;
        e.hash = Get<uint32_t>(bytes, pos);
        e.recordOffset = static_cast<int32_t>(pos);
        e.recordPathUnits = units - 1;
        e.size = Get<uint32_t>(bytes, pos + 8 + 2 * units);
        e.validity = Get<int64_t>(bytes, pos + 12 + 2 * units);
        e.lastAccess = Get<int64_t>(bytes, pos + 20 + 2 * units);
        // The stored path is not trusted: files are named by the hash.
        e.path = FilePathFor(e.hash);
        pos += recordBytes;
        // A second record for a hash: the first one rules.
        if (seen.insert(e.hash).second && KeepOnLoad(e, now))
            kept.push_back(std::move(e));
    }
    return kept;
}

// Whether a record read from cache.db stays indexed: its file is there and
// not empty, and it is not a week past its validity (then its files go).
bool NetResDiskCache::KeepOnLoad(NetResCacheEntry& e, int64_t now)
{
    if (FileSize(e.path) == static_cast<uint64_t>(-1) || e.size == 0) {
        DeleteFileW(UrlPathFor(e.hash).c_str());
        return false;
    }
    if (e.validity == 0)
        return true;
    const int64_t age = now - e.validity - e.lastAccess;
    if (age >= kDropAfterSeconds) {
        DeleteFileW(e.path.c_str());
        DeleteFileW(UrlPathFor(e.hash).c_str());
        return false;
    }
    e.stale = age > 0;
    return true;
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
    uint32_t indexedSize = 0;
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
        indexedSize = e->size;
    }
    const std::wstring file = FilePathFor(hash);
    if (indexedSize == 0 || FileSize(file) != indexedSize)
        return false;
    // Another URL with the same hash must not be served.
    std::string owner;
    if (!ReadSmallFile(UrlPathFor(hash), &owner, kMaxOwnerBytes) || owner != ToUtf8(url))
        return false;
    if (path)
        *path = file;
    if (size)
        *size = indexedSize;
    return true;
}

std::unique_ptr<NetResCacheWrite> NetResDiskCache::BeginEntry(const std::wstring& url, uint32_t hash,
                                                              int64_t validity)
{
    static std::atomic<unsigned> s_counter{0};
    auto w = std::make_unique<NetResCacheWrite>();
    w->entry.hash = hash;
    w->entry.validity = validity;
    w->entry.path = FilePathFor(hash);
    w->url = url;
    w->partPath = w->entry.path + L"." + std::to_wstring(GetCurrentProcessId()) + L"." +
                  std::to_wstring(s_counter++) + L".part";
    w->file = OpenForWriting(w->partPath, GENERIC_WRITE, CREATE_ALWAYS);
    if (!w->file)
        return nullptr;
    return w;
}

void NetResDiskCache::Write(NetResCacheWrite* w, const char* data, int length)
{
    if (!w || w->failed || !w->file || length <= 0)
        return;
    if (static_cast<uint64_t>(w->entry.size) + static_cast<uint64_t>(length) > UINT32_MAX) {
        w->failed = true;  // the index counts in 32 bits
        return;
    }
    if (!WriteAt(w->file.Get(), w->entry.size, data, static_cast<DWORD>(length))) {
        w->failed = true;
        return;
    }
    w->entry.size += static_cast<uint32_t>(length);
}

void NetResDiskCache::Discard(std::unique_ptr<NetResCacheWrite> w)
{
    if (!w)
        return;
    w->file.Close();
    DeleteFileW(w->partPath.c_str());
}

bool NetResDiskCache::Commit(std::unique_ptr<NetResCacheWrite> w)
{
    if (!w)
        return false;
    w->file.Close();
    if (w->failed || w->entry.size == 0 || FileSize(w->partPath) != w->entry.size) {
        Discard(std::move(w));
        return false;
    }
    bool ok = false;
    {
        CNetLockGuard fileGuard(m_fileLock);
        // The owner file goes first, so a crash in between leaves a miss,
        // never one URL's bytes under another's name.
        std::wstring owner = UrlPathFor(w->entry.hash);
        DeleteFileW(owner.c_str());
        if (MoveFileExW(w->partPath.c_str(), w->entry.path.c_str(), MOVEFILE_REPLACE_EXISTING) &&
            WriteSmallFile(owner, ToUtf8(w->url))) {
            Touch(w->entry);
            ok = true;
        }
    }
    Discard(std::move(w));  // deletes the part file when it was not moved
    return ok;
}

void NetResDiskCache::Touch(NetResCacheEntry& e)
{
    e.lastAccess = Now();
    NetResCacheEntry indexed;
    if (RefreshIndexed(e, &indexed))
        WriteRecordTail(indexed, e);
    else
        Append(e);
}

// When the hash is indexed: the in-memory entry takes e's last access, size
// and validity and is fresh again; *indexed gets a copy of it.
bool NetResDiskCache::RefreshIndexed(const NetResCacheEntry& e, NetResCacheEntry* indexed)
{
    CNetLockGuard indexGuard(m_indexLock);
    for (NetResCacheEntry& x : m_index) {
        if (x.hash == e.hash) {
            x.lastAccess = e.lastAccess;
            x.size = e.size;
            x.validity = e.validity;
            x.stale = false;
            *indexed = x;
            return true;
        }
    }
    return false;
}

// Rewrites size, validity and last access of the indexed record in place;
// the record's own path length places the fields.
void NetResDiskCache::WriteRecordTail(const NetResCacheEntry& indexed, const NetResCacheEntry& e)
{
    if (e.size == 0)
        return;
    CNetLockGuard fileGuard(m_fileLock);
    CFileHandle file = OpenForWriting(m_indexPath, GENERIC_WRITE, OPEN_ALWAYS);
    if (!file)
        return;
    std::string tail;
    Put<uint32_t>(tail, e.size);
    Put<int64_t>(tail, e.validity);
    Put<int64_t>(tail, e.lastAccess);
    const int64_t at = static_cast<int64_t>(indexed.recordOffset) + kRecordSizeFieldOffset +
                       2 * (static_cast<int64_t>(indexed.recordPathUnits) + 1);
    WriteAt(file.Get(), at, tail.data(), static_cast<DWORD>(tail.size()));
}

bool NetResDiskCache::Append(const NetResCacheEntry& e)
{
    if (e.size == 0)
        return false;
    CNetLockGuard fileGuard(m_fileLock);
    CFileHandle file = OpenForWriting(m_indexPath, GENERIC_WRITE, OPEN_ALWAYS);
    if (!file)
        return false;
    NetResCacheEntry record = e;
    record.path = FilePathFor(e.hash);
    record.recordPathUnits = static_cast<uint32_t>(record.path.size());
    {
        CNetLockGuard indexGuard(m_indexLock);
        record.recordOffset = m_index.empty() ? static_cast<int32_t>(sizeof(int32_t))
                                              : NextRecordOffset(m_index.back().recordOffset,
                                                                 m_index.back().recordPathUnits);
    }
    std::string bytes = RecordBytes(record);
    if (!WriteAt(file.Get(), record.recordOffset, bytes.data(), static_cast<DWORD>(bytes.size())))
        return false;
    int32_t count = m_count + 1;
    if (!WriteAt(file.Get(), 0, &count, sizeof(count)))
        return false;
    m_count = count;
    CNetLockGuard indexGuard(m_indexLock);
    m_index.push_back(std::move(record));
    return true;
}
