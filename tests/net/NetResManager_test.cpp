// The resource manager with its disk cache against the test service.
#include "net/NetResDiskCache.h"
#include "net/NetResManager.h"
#include "support/CacheDbFixture.h"
#include "support/NetTestUtil.h"
#include "support/RecordingHandler.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <ctime>

using namespace testsupport;
using nettest::Narrow;
using nettest::Service;

namespace {

struct Fetch {
    bool accepted;
    std::string body;
    int begins;
    int cachedFiles;
    int completes;
    std::wstring completePath;
};

Fetch Get(CNetResManager& manager, const std::wstring& url, const std::wstring& headers = L"", int useCache = 1)
{
    RecordingHandler h;
    stRequestTask task;
    task.url = url;
    task.headers = headers;
    task.useCache = useCache;
    task.handler = &h;
    bool ok = manager.AddTask(&task);
    return {ok, h.body, h.begins, h.cachedFiles, h.completes, h.completePath};
}

int64_t Now()
{
    return static_cast<int64_t>(_time64(nullptr));
}

} // namespace

TEST(NetResManager, HashUrl)
{
    ScratchDir dir(L"mgr");
    CNetResManager manager(dir.Path().c_str());
    EXPECT_EQ(manager.HashUrl(nullptr), 0u);
    EXPECT_EQ(manager.HashUrl(L""), 0u);
    EXPECT_EQ(manager.HashUrl(L"a"), 97u);
    EXPECT_EQ(manager.HashUrl(L"ab"), 97u * 31 + 98);
    EXPECT_EQ(manager.HashUrl(L"http://h/Aa"), manager.HashUrl(L"http://h/BB"));
    // Units are taken as unsigned 16-bit values and the sum wraps at 32 bits.
    uint32_t h = 0;
    for (wchar_t c : std::wstring(L"http://例子.测试/路径?q=\xFFFF"))
        h = h * 31 + static_cast<uint16_t>(c);
    EXPECT_EQ(manager.HashUrl(L"http://例子.测试/路径?q=\xFFFF"), h);
    CNetResManager noCache(nullptr);
    EXPECT_EQ(noCache.HashUrl(L"a"), 0u);
}

TEST(NetResManager, CacheHitMakesNoRequest)
{
    const TestService& s = Service();
    ScratchDir dir(L"mgr");
    CNetResManager manager(dir.Path().c_str());
    const std::wstring tag = NewTag(L"hit");
    const std::wstring url = s.Url(L"/banner.png?tag=" + tag + L"&size=40000&seed=21");
    const std::string expected = GeneratedBytes(21, 0, 40000);

    Fetch first = Get(manager, url);
    ASSERT_TRUE(first.accepted);
    EXPECT_TRUE(first.body == expected);
    EXPECT_EQ(first.cachedFiles, 0);
    EXPECT_EQ(first.completePath, dir.File(std::to_wstring(manager.HashUrl(url.c_str()))));
    EXPECT_EQ(s.Log(tag).size(), 1u);

    Fetch second = Get(manager, url);
    ASSERT_TRUE(second.accepted);
    EXPECT_TRUE(second.body == expected);
    EXPECT_EQ(second.cachedFiles, 1);
    EXPECT_EQ(second.begins, 1);
    EXPECT_EQ(second.completes, 1);
    EXPECT_EQ(second.completePath, first.completePath);
    EXPECT_EQ(s.Log(tag).size(), 1u);

    // Asked not to use the cache: to the network.
    Fetch third = Get(manager, url, L"", 0);
    EXPECT_TRUE(third.body == expected);
    EXPECT_EQ(s.Log(tag).size(), 2u);
}

TEST(NetResManager, CachedFileThatCannotBeLoadedFallsThroughToTheNetworkWithOneBegin)
{
    const TestService& s = Service();
    ScratchDir dir(L"mgr");
    CNetResManager manager(dir.Path().c_str());
    const std::wstring tag = NewTag(L"short");
    const std::wstring url = s.Url(L"/icon.png?tag=" + tag + L"&size=3000&seed=8");
    ASSERT_EQ(Get(manager, url).cachedFiles, 0);

    RecordingHandler h;
    h.refuseCachedFile = true;
    stRequestTask task;
    task.url = url;
    task.handler = &h;
    ASSERT_TRUE(manager.AddTask(&task));
    EXPECT_EQ(h.cachedFiles, 1);
    // The handler hears of the response once: the network's.
    EXPECT_EQ(h.begins, 1);
    EXPECT_EQ(h.beginLength, 3000);
    EXPECT_EQ(h.beginStatus, 200);
    EXPECT_EQ(h.completes, 1);
    EXPECT_TRUE(h.body == GeneratedBytes(8, 0, 3000));
    EXPECT_EQ(s.Log(tag).size(), 2u);
}

TEST(NetResManager, HandBuiltCacheIsServedAndStaleEntryRefetched)
{
    const TestService& s = Service();
    ScratchDir dir(L"mgr");
    const std::wstring tag = NewTag(L"fixture");
    const std::wstring freshUrl = s.Url(L"/fresh.png?tag=" + tag + L"&body=network-fresh");
    const std::wstring staleUrl = s.Url(L"/stale.png?tag=" + tag + L"&body=network-stale");
    uint32_t freshHash, staleHash;
    {
        CNetResManager probe(dir.Path().c_str());
        freshHash = probe.HashUrl(freshUrl.c_str());
        staleHash = probe.HashUrl(staleUrl.c_str());
    }
    const int64_t now = Now();
    ASSERT_TRUE(WriteFileBytes(dir.File(std::to_wstring(freshHash)), "cached-fresh"));
    ASSERT_TRUE(WriteFileBytes(dir.File(std::to_wstring(freshHash) + L".url"), Narrow(freshUrl)));
    ASSERT_TRUE(WriteFileBytes(dir.File(std::to_wstring(staleHash)), "cached-stale"));
    ASSERT_TRUE(WriteFileBytes(dir.File(std::to_wstring(staleHash) + L".url"), Narrow(staleUrl)));
    ASSERT_TRUE(WriteFileBytes(
        dir.File(L"cache.db"),
        cachedb::Db(2, {cachedb::Record(freshHash, dir.File(std::to_wstring(freshHash)), 12, 3600, now - 60),
                        cachedb::Record(staleHash, dir.File(std::to_wstring(staleHash)), 12, 30, now - 600)})));

    // A separate folder object: the one above is gone with its manager.
    CNetResManager manager(dir.Path().c_str());
    Fetch fresh = Get(manager, freshUrl);
    EXPECT_EQ(fresh.body, "cached-fresh");
    EXPECT_EQ(fresh.cachedFiles, 1);
    EXPECT_TRUE(s.Log(tag).empty());

    Fetch stale = Get(manager, staleUrl);
    EXPECT_EQ(stale.body, "network-stale");
    EXPECT_EQ(stale.cachedFiles, 0);
    auto log = s.Log(tag);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].path, "/stale.png");

    // The refetch is committed in place: one record, its new size, fresh again.
    int32_t count = 0;
    std::vector<cachedb::ParsedRecord> records;
    std::string db;
    ASSERT_TRUE(ReadFileBytes(dir.File(L"cache.db"), db));
    ASSERT_TRUE(cachedb::Parse(db, &count, &records));
    ASSERT_EQ(count, 2);
    EXPECT_EQ(records[1].hash, staleHash);
    EXPECT_EQ(records[1].size, 13u);
    EXPECT_GE(records[1].lastAccess, now);
    Fetch again = Get(manager, staleUrl);
    EXPECT_EQ(again.body, "network-stale");
    EXPECT_EQ(again.cachedFiles, 1);
    EXPECT_EQ(s.Log(tag).size(), 1u);
}

TEST(NetResManager, OnlyWhole200BodiesAreCached)
{
    const TestService& s = Service();
    ScratchDir dir(L"mgr");
    CNetResManager manager(dir.Path().c_str());
    struct Case {
        const wchar_t* query;
        const wchar_t* headers;
    };
    const Case cases[] = {
        {L"status=404&body=nf", L""},
        {L"status=500&body=err", L""},
        {L"size=5000&seed=2", L"Range: bytes=0-99\r\n"},
        {L"size=200000&seed=2&cut=3000", L""},
        {L"size=200000&seed=2&reset=9000", L""},
        {L"size=0", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.query));
        const std::wstring tag = NewTag(L"nocache");
        const std::wstring url = s.Url(L"/r?tag=" + tag + L"&" + c.query);
        Get(manager, url, c.headers);
        Fetch second = Get(manager, url, c.headers);
        EXPECT_EQ(second.cachedFiles, 0);
        EXPECT_EQ(s.Log(tag).size(), 2u);
        EXPECT_EQ(GetFileAttributesW(dir.File(std::to_wstring(manager.HashUrl(url.c_str()))).c_str()),
                  INVALID_FILE_ATTRIBUTES);
    }
    EXPECT_EQ(manager.DiskCacheForTesting()->RecordCountForTesting(), 0);
}

TEST(NetResManager, ManagersOfOneFolderShareOneCache)
{
    const TestService& s = Service();
    ScratchDir dir(L"mgr");
    CNetResManager a(dir.Path().c_str());
    CNetResManager b((dir.Path() + L"\\").c_str());
    EXPECT_EQ(a.DiskCacheForTesting(), b.DiskCacheForTesting());
    const std::wstring tag = NewTag(L"share");
    const std::wstring u1 = s.Url(L"/1?tag=" + tag + L"&body=one");
    const std::wstring u2 = s.Url(L"/2?tag=" + tag + L"&body=two");
    Get(a, u1);
    Get(b, u2);
    EXPECT_EQ(Get(b, u1).cachedFiles, 1);
    EXPECT_EQ(Get(a, u2).cachedFiles, 1);
    EXPECT_EQ(s.Log(tag).size(), 2u);
    // One index with both records, none lost to the other's writes.
    std::string db;
    ASSERT_TRUE(ReadFileBytes(dir.File(L"cache.db"), db));
    int32_t count = 0;
    std::vector<cachedb::ParsedRecord> records;
    ASSERT_TRUE(cachedb::Parse(db, &count, &records));
    EXPECT_EQ(count, 2);
}

TEST(NetResManager, HashCollisionNeverServesAnotherUrlsBytes)
{
    const TestService& s = Service();
    ScratchDir dir(L"mgr");
    CNetResManager manager(dir.Path().c_str());
    const std::wstring tag = NewTag(L"coll");
    // "Aa" and "BB" hash alike, so two URLs ending in them collide.
    const std::wstring base = s.Url(L"/c?tag=" + tag + L"&body=same-prefix&x=");
    const std::wstring c1 = base + L"Aa", c2 = base + L"BB";
    ASSERT_EQ(manager.HashUrl(c1.c_str()), manager.HashUrl(c2.c_str()));

    Fetch f1 = Get(manager, c1);
    EXPECT_EQ(f1.body, "same-prefix");
    Fetch f2 = Get(manager, c2);
    EXPECT_EQ(f2.cachedFiles, 0);  // not served c1's file
    auto log = s.Log(tag);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].query.substr(log[1].query.size() - 2), "BB");
    // c2 now owns the file: c1 goes to the network again, c2 is a hit.
    Get(manager, c1);
    EXPECT_EQ(s.Log(tag).size(), 3u);
    Fetch f4 = Get(manager, c1);
    EXPECT_EQ(f4.cachedFiles, 1);
    EXPECT_EQ(s.Log(tag).size(), 3u);
}
