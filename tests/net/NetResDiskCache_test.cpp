// The disk cache and its index file, read back from hand-built fixtures.
#include "net/NetResDiskCache.h"
#include "support/CacheDbFixture.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <shellapi.h>

#include <ctime>
#include <memory>

using testsupport::ReadFileBytes;
using testsupport::ScratchDir;
using testsupport::WriteFileBytes;

namespace {

int64_t Now()
{
    return static_cast<int64_t>(_time64(nullptr));
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string Utf8(const std::wstring& s)
{
    return std::string(s.begin(), s.end());  // the URLs here are ASCII
}

// A cached body with the file that names its URL.
void PutCached(const ScratchDir& dir, uint32_t hash, const std::string& body, const std::wstring& url)
{
    ASSERT_TRUE(WriteFileBytes(dir.File(std::to_wstring(hash)), body));
    ASSERT_TRUE(WriteFileBytes(dir.File(std::to_wstring(hash) + L".url"), Utf8(url)));
}

std::string ReadDb(const ScratchDir& dir)
{
    std::string bytes;
    ReadFileBytes(dir.File(L"cache.db"), bytes);
    return bytes;
}

} // namespace

TEST(NetResDiskCache, MissingIndexIsCreatedWithZeroCount)
{
    ScratchDir dir(L"cache");
    NetResDiskCache cache(dir.Path());
    EXPECT_EQ(ReadDb(dir), std::string(4, '\0'));
    EXPECT_EQ(cache.RecordCountForTesting(), 0);
    EXPECT_TRUE(cache.EntriesForTesting().empty());
}

TEST(NetResDiskCache, ReadsHandBuiltIndexInPlace)
{
    ScratchDir dir(L"cache");
    const int64_t now = Now();
    PutCached(dir, 123, "hello", L"http://a/1");
    PutCached(dir, 4567, "abc", L"http://a/2");
    std::wstring p1 = dir.File(L"123"), p2 = dir.File(L"4567");
    std::string db = cachedb::Db(2, {cachedb::Record(123, p1, 5, 0, now - 50), cachedb::Record(4567, p2, 3, 3600, now - 10)});
    ASSERT_TRUE(WriteFileBytes(dir.File(L"cache.db"), db));

    NetResDiskCache cache(dir.Path());
    auto entries = cache.EntriesForTesting();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].hash, 123u);
    EXPECT_EQ(entries[0].recordOffset, 4);
    EXPECT_EQ(entries[0].size, 5u);
    EXPECT_EQ(entries[0].validity, 0);
    EXPECT_EQ(entries[0].lastAccess, now - 50);
    EXPECT_FALSE(entries[0].stale);
    EXPECT_EQ(entries[1].hash, 4567u);
    // Second record: 4 + 2n + 30 with n the first path's length.
    EXPECT_EQ(entries[1].recordOffset, static_cast<int32_t>(4 + 2 * p1.size() + 30));
    EXPECT_EQ(entries[1].size, 3u);
    EXPECT_EQ(entries[1].validity, 3600);
    EXPECT_FALSE(entries[1].stale);
    // Nothing dropped: the index is left byte for byte.
    EXPECT_EQ(ReadDb(dir), db);

    std::wstring path;
    uint32_t size = 0;
    EXPECT_TRUE(cache.Lookup(L"http://a/1", 123, &path, &size));
    EXPECT_EQ(path, p1);
    EXPECT_EQ(size, 5u);
    EXPECT_TRUE(cache.Lookup(L"http://a/2", 4567, &path, &size));
    EXPECT_EQ(size, 3u);
}

TEST(NetResDiskCache, DropsMissingAndEmptyFilesAndRewritesIndex)
{
    ScratchDir dir(L"cache");
    const int64_t now = Now();
    PutCached(dir, 1, "one", L"u1");
    PutCached(dir, 3, "three", L"u3");
    ASSERT_TRUE(WriteFileBytes(dir.File(L"4"), ""));  // empty file
    std::string db = cachedb::Db(4, {cachedb::Record(1, dir.File(L"1"), 3, 0, now),
                                     cachedb::Record(2, dir.File(L"2"), 7, 0, now),  // file gone
                                     cachedb::Record(3, dir.File(L"3"), 5, 0, now),
                                     cachedb::Record(4, dir.File(L"4"), 0, 0, now)});
    ASSERT_TRUE(WriteFileBytes(dir.File(L"cache.db"), db));

    NetResDiskCache cache(dir.Path());
    int32_t count = 0;
    std::vector<cachedb::ParsedRecord> records;
    ASSERT_TRUE(cachedb::Parse(ReadDb(dir), &count, &records));
    ASSERT_EQ(count, 2);
    EXPECT_EQ(records[0].hash, 1u);
    EXPECT_EQ(records[0].offset, 4u);
    EXPECT_EQ(records[1].hash, 3u);
    EXPECT_EQ(records[1].size, 5u);
    EXPECT_EQ(records[1].path, dir.File(L"3"));
    auto entries = cache.EntriesForTesting();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].recordOffset, static_cast<int32_t>(records[1].offset));
    EXPECT_TRUE(Exists(dir.File(L"1")));
    EXPECT_TRUE(Exists(dir.File(L"3")));
}

TEST(NetResDiskCache, StaleEntryStaysIndexedAndOldOneIsDeleted)
{
    ScratchDir dir(L"cache");
    const int64_t now = Now();
    PutCached(dir, 10, "fresh", L"u10");
    PutCached(dir, 11, "stale", L"u11");
    PutCached(dir, 12, "ancient", L"u12");
    std::string db = cachedb::Db(3, {cachedb::Record(10, dir.File(L"10"), 5, 100, now - 10),
                                     cachedb::Record(11, dir.File(L"11"), 5, 100, now - 1000),
                                     cachedb::Record(12, dir.File(L"12"), 7, 100, now - 100 - 8 * 86400)});
    ASSERT_TRUE(WriteFileBytes(dir.File(L"cache.db"), db));

    NetResDiskCache cache(dir.Path());
    auto entries = cache.EntriesForTesting();
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_FALSE(entries[0].stale);
    EXPECT_TRUE(entries[1].stale);
    EXPECT_FALSE(Exists(dir.File(L"12")));
    EXPECT_FALSE(Exists(dir.File(L"12.url")));
    EXPECT_TRUE(Exists(dir.File(L"11")));
    EXPECT_TRUE(cache.Lookup(L"u10", 10, nullptr, nullptr));
    EXPECT_FALSE(cache.Lookup(L"u11", 11, nullptr, nullptr));  // stale: refetch
}

TEST(NetResDiskCache, StoredPathsAreNeverTrusted)
{
    ScratchDir dir(L"cache");
    ScratchDir other(L"victim");
    const int64_t now = Now();
    std::wstring victim = other.File(L"victim.txt");
    ASSERT_TRUE(WriteFileBytes(victim, "precious"));
    PutCached(dir, 21, "body21", L"u21");
    // 20: its own file is missing, its stored path names the victim.
    // 21: 8 days past validity, its stored path names the victim too.
    // 22: a live entry whose stored path names the victim: served from "22".
    PutCached(dir, 22, "body22", L"u22");
    std::string db = cachedb::Db(3, {cachedb::Record(20, victim, 8, 0, now),
                                     cachedb::Record(21, victim, 6, 10, now - 10 - 9 * 86400),
                                     cachedb::Record(22, victim, 6, 0, now)});
    ASSERT_TRUE(WriteFileBytes(dir.File(L"cache.db"), db));

    NetResDiskCache cache(dir.Path());
    EXPECT_TRUE(Exists(victim));
    EXPECT_FALSE(Exists(dir.File(L"21")));
    std::wstring path;
    uint32_t size = 0;
    ASSERT_TRUE(cache.Lookup(L"u22", 22, &path, &size));
    EXPECT_EQ(path, dir.File(L"22"));
    EXPECT_EQ(size, 6u);
}

struct MalformedCase {
    const char* name;
    std::string (*build)(const ScratchDir& dir, int64_t now);
    size_t keptRecords;  // records read before the fault
};

static std::string GoodRecord(const ScratchDir& dir, uint32_t hash, int64_t now)
{
    return cachedb::Record(hash, dir.File(std::to_wstring(hash)), 4, 0, now);
}

static const MalformedCase kMalformed[] = {
    {"empty", [](const ScratchDir&, int64_t) { return std::string(); }, 0},
    {"cut in count", [](const ScratchDir&, int64_t) { return std::string("\x02\x00", 2); }, 0},
    {"huge count",
     [](const ScratchDir& d, int64_t now) { return cachedb::Db(0x7FFFFFFF, {GoodRecord(d, 31, now), GoodRecord(d, 32, now)}); },
     2},
    {"negative count", [](const ScratchDir& d, int64_t now) { return cachedb::Db(-5, {GoodRecord(d, 31, now)}); }, 0},
    {"zero path length",
     [](const ScratchDir& d, int64_t now) {
         return cachedb::Db(3, {GoodRecord(d, 31, now), cachedb::Record(32, d.File(L"32"), 4, 0, now, 0),
                                GoodRecord(d, 33, now)});
     },
     1},
    {"huge path length",
     [](const ScratchDir& d, int64_t now) {
         return cachedb::Db(3, {GoodRecord(d, 31, now), cachedb::Record(32, d.File(L"32"), 4, 0, now, 0x40000000),
                                GoodRecord(d, 33, now)});
     },
     1},
    {"path length past the end",
     [](const ScratchDir& d, int64_t now) {
         return cachedb::Db(2, {GoodRecord(d, 31, now), cachedb::Record(32, d.File(L"32"), 4, 0, now, 500)});
     },
     1},
    {"cut inside second record",
     [](const ScratchDir& d, int64_t now) {
         std::string db = cachedb::Db(3, {GoodRecord(d, 31, now), GoodRecord(d, 32, now), GoodRecord(d, 33, now)});
         return db.substr(0, db.size() - 30);
     },
     2},
    {"duplicate hash",
     [](const ScratchDir& d, int64_t now) { return cachedb::Db(2, {GoodRecord(d, 31, now), GoodRecord(d, 31, now)}); }, 1},
};

TEST(NetResDiskCache, MalformedIndexKeepsWhatWasReadAndLosesNoFile)
{
    for (const MalformedCase& c : kMalformed) {
        SCOPED_TRACE(c.name);
        ScratchDir dir(L"cache");
        const int64_t now = Now();
        for (uint32_t h : {31u, 32u, 33u})
            PutCached(dir, h, "data", L"u" + std::to_wstring(h));
        ASSERT_TRUE(WriteFileBytes(dir.File(L"cache.db"), c.build(dir, now)));

        size_t kept = 0;
        {
            NetResDiskCache cache(dir.Path());
            kept = cache.EntriesForTesting().size();
            EXPECT_EQ(kept, c.keptRecords);
            EXPECT_EQ(cache.RecordCountForTesting(), static_cast<int32_t>(kept));
        }
        // The index on disk is consistent again, and no cached file was lost.
        int32_t count = -1;
        std::vector<cachedb::ParsedRecord> records;
        ASSERT_TRUE(cachedb::Parse(ReadDb(dir), &count, &records));
        EXPECT_EQ(static_cast<size_t>(count), kept);
        for (uint32_t h : {31u, 32u, 33u})
            EXPECT_TRUE(Exists(dir.File(std::to_wstring(h))));
        // A second load reads the same.
        NetResDiskCache again(dir.Path());
        EXPECT_EQ(again.EntriesForTesting().size(), kept);
    }
}

static void Store(NetResDiskCache& cache, const std::wstring& url, uint32_t hash, const std::string& body,
                  int64_t validity = 0)
{
    std::unique_ptr<NetResCacheWrite> e = cache.BeginEntry(url, hash, validity);
    ASSERT_NE(e, nullptr);
    cache.Write(e.get(), body.data(), static_cast<int>(body.size()));
    ASSERT_TRUE(cache.Commit(std::move(e)));
}

TEST(NetResDiskCache, CommitWritesRecordAndSecondCommitUpdatesItInPlace)
{
    ScratchDir dir(L"cache");
    NetResDiskCache cache(dir.Path());
    Store(cache, L"http://h/a", 555, "first body", 60);
    Store(cache, L"http://h/b", 556, "x");

    int32_t count = 0;
    std::vector<cachedb::ParsedRecord> records;
    ASSERT_TRUE(cachedb::Parse(ReadDb(dir), &count, &records));
    ASSERT_EQ(count, 2);
    EXPECT_EQ(records[0].hash, 555u);
    EXPECT_EQ(records[0].path, dir.File(L"555"));
    EXPECT_EQ(records[0].size, 10u);
    EXPECT_EQ(records[0].validity, 60);
    EXPECT_LE(std::abs(records[0].lastAccess - Now()), 5);
    EXPECT_EQ(records[1].offset, 4 + 2 * dir.File(L"555").size() + 30);

    Store(cache, L"http://h/a", 555, "the second, longer body", 120);
    ASSERT_TRUE(cachedb::Parse(ReadDb(dir), &count, &records));
    ASSERT_EQ(count, 2);
    EXPECT_EQ(records[0].size, 23u);
    EXPECT_EQ(records[0].validity, 120);
    EXPECT_EQ(records[1].hash, 556u);

    std::string body;
    ASSERT_TRUE(ReadFileBytes(dir.File(L"555"), body));
    EXPECT_EQ(body, "the second, longer body");
    uint32_t size = 0;
    ASSERT_TRUE(cache.Lookup(L"http://h/a", 555, nullptr, &size));
    EXPECT_EQ(size, 23u);  // the index in memory follows the refetch

    // A fresh object reads the same back.
    NetResDiskCache again(dir.Path());
    ASSERT_EQ(again.EntriesForTesting().size(), 2u);
    EXPECT_EQ(again.EntriesForTesting()[0].size, 23u);
}

TEST(NetResDiskCache, IncompleteOrFailedBodyIsNeverCommitted)
{
    ScratchDir dir(L"cache");
    NetResDiskCache cache(dir.Path());
    Store(cache, L"http://h/a", 9, "good");

    std::unique_ptr<NetResCacheWrite> e = cache.BeginEntry(L"http://h/a", 9, 0);
    ASSERT_NE(e, nullptr);
    cache.Write(e.get(), "partial", 7);
    cache.Discard(std::move(e));  // the transfer broke off
    std::unique_ptr<NetResCacheWrite> empty = cache.BeginEntry(L"http://h/b", 10, 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_FALSE(cache.Commit(std::move(empty)));

    std::string body;
    ASSERT_TRUE(ReadFileBytes(dir.File(L"9"), body));
    EXPECT_EQ(body, "good");
    EXPECT_FALSE(Exists(dir.File(L"10")));
    EXPECT_EQ(cache.RecordCountForTesting(), 1);
    // No part files are left behind.
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(dir.File(L"*.part").c_str(), &fd);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE);
    if (h != INVALID_HANDLE_VALUE)
        FindClose(h);
}

TEST(NetResDiskCache, ShortFileAndHashCollisionAreMisses)
{
    ScratchDir dir(L"cache");
    NetResDiskCache cache(dir.Path());
    // "Aa" and "BB" hash alike under h * 31 + unit.
    Store(cache, L"http://h/Aa", 77, "bytes of Aa");
    EXPECT_TRUE(cache.Lookup(L"http://h/Aa", 77, nullptr, nullptr));
    EXPECT_FALSE(cache.Lookup(L"http://h/BB", 77, nullptr, nullptr));

    ASSERT_TRUE(WriteFileBytes(dir.File(L"77"), "bytes"));  // shorter than indexed
    EXPECT_FALSE(cache.Lookup(L"http://h/Aa", 77, nullptr, nullptr));
    DeleteFileW(dir.File(L"77").c_str());
    EXPECT_FALSE(cache.Lookup(L"http://h/Aa", 77, nullptr, nullptr));
}

TEST(NetResDiskCache, OneObjectPerFolder)
{
    ScratchDir dir(L"cache");
    auto a = NetResDiskCache::Open(dir.Path());
    auto b = NetResDiskCache::Open(dir.Path() + L"\\");
    std::wstring upper = dir.Path();
    CharUpperBuffW(&upper[0], static_cast<DWORD>(upper.size()));
    auto c = NetResDiskCache::Open(upper);
    EXPECT_EQ(a.get(), b.get());
    EXPECT_EQ(a.get(), c.get());
    ScratchDir other(L"cache");
    EXPECT_NE(NetResDiskCache::Open(other.Path()).get(), a.get());
}

TEST(NetResDiskCache, RefetchUpdatesARecordWhoseStoredPathDiffers)
{
    ScratchDir dir(L"cache");
    const int64_t now = Now();
    // An index written elsewhere: the stored path is not this folder's.
    PutCached(dir, 42, "old", L"u42");
    PutCached(dir, 43, "next", L"u43");
    ASSERT_TRUE(WriteFileBytes(dir.File(L"cache.db"),
                               cachedb::Db(2, {cachedb::Record(42, L"C:\\x\\42", 3, 0, now - 5),
                                               cachedb::Record(43, L"D:\\a\\much\\longer\\folder\\43", 4, 0, now - 5)})));
    NetResDiskCache cache(dir.Path());
    ASSERT_EQ(cache.EntriesForTesting().size(), 2u);
    Store(cache, L"u42", 42, "refetched body", 90);
    Store(cache, L"u43", 43, "other refetched", 91);

    // The fields land in each record's own place: the index still parses.
    int32_t count = 0;
    std::vector<cachedb::ParsedRecord> records;
    ASSERT_TRUE(cachedb::Parse(ReadDb(dir), &count, &records));
    ASSERT_EQ(count, 2);
    EXPECT_EQ(records[0].path, L"C:\\x\\42");
    EXPECT_EQ(records[0].size, 14u);
    EXPECT_EQ(records[0].validity, 90);
    EXPECT_EQ(records[1].size, 15u);
    EXPECT_EQ(records[1].validity, 91);
}

TEST(NetResDiskCache, EntryExpiresWhileLoaded)
{
    ScratchDir dir(L"cache");
    NetResDiskCache cache(dir.Path());
    Store(cache, L"http://h/short", 5, "short-lived", 1);
    Store(cache, L"http://h/forever", 6, "kept", 0);
    EXPECT_TRUE(cache.Lookup(L"http://h/short", 5, nullptr, nullptr));
    Sleep(2200);
    EXPECT_FALSE(cache.Lookup(L"http://h/short", 5, nullptr, nullptr));
    EXPECT_TRUE(cache.Lookup(L"http://h/forever", 6, nullptr, nullptr));
}

// Helper mode: the sweep test re-runs its own executable with this test
// selected and --cache-folder, which starts caching a response there and is
// killed while its part file is open.
TEST(NetResDiskCacheHelper, WriteUntilKilled)
{
    std::wstring folder;
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const std::wstring key = L"--cache-folder=";
    for (int i = 0; argv && i < argc; ++i)
        if (std::wstring(argv[i]).compare(0, key.size(), key) == 0)
            folder = std::wstring(argv[i]).substr(key.size());
    LocalFree(argv);
    if (folder.empty())
        GTEST_SKIP() << "only run as the helper of PartFilesOfKilledWritersAreSweptOnOpen";
    NetResDiskCache cache(folder);
    std::unique_ptr<NetResCacheWrite> write = cache.BeginEntry(L"http://h/killed", 4242, 0);
    ASSERT_NE(write, nullptr);
    cache.Write(write.get(), "half a body", 11);
    Sleep(120000);  // killed long before
}

TEST(NetResDiskCache, PartFilesOfKilledWritersAreSweptOnOpen)
{
    ScratchDir dir(L"cache");
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring cmd = L"\"" + std::wstring(exe) + L"\" --gtest_filter=NetResDiskCacheHelper.WriteUntilKilled"
                       L" --cache-folder=\"" + dir.Path() + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    const std::wstring pid = std::to_wstring(pi.dwProcessId);
    const std::wstring killedPart = dir.File(L"4242." + pid + L".0.part");
    for (int i = 0; i < 200 && !Exists(killedPart); ++i)
        Sleep(50);
    TerminateProcess(pi.hProcess, 9);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    ASSERT_TRUE(Exists(killedPart));

    const std::wstring self = std::to_wstring(GetCurrentProcessId());
    struct Case {
        std::wstring name;
        bool swept;
    };
    const Case cases[] = {
        {L"4242." + pid + L".0.part", true},   // the killed writer's own
        {L"77." + pid + L".12.part", true},     // another of the dead writer's
        {L"78." + self + L".0.part", false},    // a writer that still runs
        {L"notes.part", false},                 // not a part file of the cache
        {L"79.part", false},
        {L"80.x.0.part", false},
        {L"81." + pid + L".0.0.part", false},
        {L"82." + pid + L".0.partial", false},
        {L"4242", false},                       // a cached file
    };
    for (const Case& c : cases) {
        if (!Exists(dir.File(c.name))) {
            ASSERT_TRUE(WriteFileBytes(dir.File(c.name), "bytes"));
        }
    }

    NetResDiskCache cache(dir.Path());
    for (const Case& c : cases)
        EXPECT_EQ(Exists(dir.File(c.name)), !c.swept) << Utf8(c.name);
}
