// The queued engine: connection pooling per host, worker and pool limits,
// and what happens to tasks that are not run.
#include "net/KernelHandle.h"
#include "net/NetResDiskCache.h"
#include "net/NetResEngine.h"
#include "net/NetResManager.h"
#include "support/NetTestUtil.h"
#include "support/RecordingHandler.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>
#include <winhttp.h>

#include <memory>
#include <set>
#include <thread>

using namespace testsupport;
using nettest::Narrow;
using nettest::Service;

namespace {

void Queue(CNetResManager& manager, RecordingHandler* h, const std::wstring& url, int useCache = 0)
{
    stRequestTask task;
    task.receiveTimeout = 30000;  // answers held at a gate

    task.url = url;
    task.synchronous = 0;
    task.useCache = useCache;
    task.handler = h;
    EXPECT_TRUE(manager.AddTask(&task));
}

std::set<int> Connections(const std::vector<stLoggedRequest>& log)
{
    std::set<int> ids;
    for (const auto& q : log)
        ids.insert(q.conn);
    return ids;
}

} // namespace

TEST(NetResEngine, QueuedRequestsShareOneConnectionPerHost)
{
    const TestService& s = Service();
    CNetResManager manager(nullptr);
    const std::wstring tag = NewTag(L"share");
    for (int i = 0; i < 4; ++i) {
        RecordingHandler h;
        Queue(manager, &h, s.Url(L"/q?tag=" + tag + L"&size=20000&seed=" + std::to_wstring(i)));
        ASSERT_TRUE(h.WaitDone());
        EXPECT_EQ(h.completes, 1);
        EXPECT_TRUE(h.body == GeneratedBytes(static_cast<uint32_t>(i), 0, 20000));
    }
    auto log = s.Log(tag);
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(Connections(log).size(), 1u);  // one worker, one TCP connection
    EXPECT_EQ(manager.EngineForTesting()->ConnectionsMadeForTesting(), 1);

    // A burst for the same host also goes through that one pooled connection.
    std::vector<std::unique_ptr<RecordingHandler>> burst;
    for (int i = 0; i < 8; ++i) {
        burst.emplace_back(new RecordingHandler);
        Queue(manager, burst.back().get(), s.Url(L"/q?tag=" + tag + L"&size=5000&seed=9"));
    }
    for (auto& h : burst) {
        ASSERT_TRUE(h->WaitDone());
        EXPECT_EQ(h->completes, 1);
        EXPECT_TRUE(h->body == GeneratedBytes(9, 0, 5000));
    }
    EXPECT_EQ(manager.EngineForTesting()->ConnectionsMadeForTesting(), 1);

    // Another host and port is another pooled connection.
    RecordingHandler other;
    Queue(manager, &other, s.HttpsUrl(TlsKind::Good, L"/q?tag=" + tag + L"&body=tls"));
    ASSERT_TRUE(other.WaitDone());
    EXPECT_EQ(other.body, "tls");
    EXPECT_EQ(manager.EngineForTesting()->ConnectionsMadeForTesting(), 2);
}

TEST(NetResEngine, AConnectionRunsAtMostFiveWorkers)
{
    const TestService& s = Service();
    CNetResManager manager(nullptr);
    const std::wstring tag = NewTag(L"workers");
    std::vector<std::unique_ptr<RecordingHandler>> handlers;
    for (int i = 0; i < 8; ++i) {
        handlers.emplace_back(new RecordingHandler);
        Queue(manager, handlers.back().get(), s.Url(L"/w?tag=" + tag + L"&gate=go&body=w" + std::to_wstring(i)));
    }
    EXPECT_EQ(s.WaitForLog(tag, 5).size(), 5u);
    Sleep(500);
    EXPECT_EQ(s.Log(tag).size(), 5u);  // the rest wait for a worker
    ASSERT_TRUE(s.OpenGate(tag, L"go"));
    for (auto& h : handlers) {
        ASSERT_TRUE(h->WaitDone());
        EXPECT_EQ(h->completes, 1);
    }
    auto log = s.Log(tag);
    EXPECT_EQ(log.size(), 8u);
    EXPECT_LE(Connections(log).size(), 5u);
    EXPECT_EQ(manager.EngineForTesting()->ConnectionsMadeForTesting(), 1);
}

TEST(NetResEngine, PoolLimitWaitsForAFreeSlotWithoutBlockingForever)
{
    const TestService& s = Service();
    // One pooled connection at most, one worker each.
    CNetResManager manager(nullptr, 1, 1);
    const std::wstring tag = NewTag(L"pool");
    RecordingHandler held, other, third;
    Queue(manager, &held, s.Url(L"/a?tag=" + tag + L"&gate=go&body=held"));
    ASSERT_EQ(s.WaitForLog(tag, 1).size(), 1u);
    // Another host:port needs a slot that the held connection has.
    Queue(manager, &other, s.HttpsUrl(TlsKind::Good, L"/b?tag=" + tag + L"&body=other"));
    Sleep(500);
    EXPECT_EQ(s.Log(tag).size(), 1u);
    EXPECT_LE(manager.EngineForTesting()->ConnectionCountForTesting(), 1u);
    ASSERT_TRUE(s.OpenGate(tag, L"go"));
    ASSERT_TRUE(held.WaitDone());
    ASSERT_TRUE(other.WaitDone());
    EXPECT_EQ(held.body, "held");
    EXPECT_EQ(other.body, "other");
    // And back to the first host: the idle connection gives up its slot.
    Queue(manager, &third, s.Url(L"/c?tag=" + tag + L"&body=third"));
    ASSERT_TRUE(third.WaitDone());
    EXPECT_EQ(third.body, "third");
    EXPECT_LE(manager.EngineForTesting()->ConnectionCountForTesting(), 1u);
}

TEST(NetResEngine, TasksThatCannotRunGetOnError)
{
    const TestService& s = Service();
    CNetResManager manager(nullptr);
    RecordingHandler refused, badUrl, badScheme;
    Queue(manager, &refused, L"http://127.0.0.1:" + std::to_wstring(UnusedPort()) + L"/x");
    Queue(manager, &badUrl, L"not a url");
    Queue(manager, &badScheme, L"ftp://127.0.0.1/x");
    for (RecordingHandler* h : {&refused, &badUrl, &badScheme}) {
        ASSERT_TRUE(h->WaitDone());
        ASSERT_EQ(h->errors.size(), 1u);
        EXPECT_NE(h->errors[0].error, 0);
        EXPECT_EQ(h->completes, 0);
    }
    EXPECT_EQ(refused.errors[0].error, ERROR_WINHTTP_CANNOT_CONNECT);
    (void)s;
}

TEST(NetResEngine, ShutdownDropsQueuedTasksWithOnError)
{
    const TestService& s = Service();
    const std::wstring tag = NewTag(L"drop");
    RecordingHandler held, behind1, behind2, otherHost, queuedLast;
    std::thread opener;
    {
        CNetResManager manager(nullptr, 1, 1);
        Queue(manager, &held, s.Url(L"/held?tag=" + tag + L"&gate=go&body=held"));
        ASSERT_EQ(s.WaitForLog(tag, 1).size(), 1u);
        // Two behind the held one on its connection (one worker), one waiting
        // for a pool slot, one still in the engine's queue.
        Queue(manager, &behind1, s.Url(L"/b1?tag=" + tag));
        Queue(manager, &behind2, s.Url(L"/b2?tag=" + tag));
        Queue(manager, &otherHost, s.HttpsUrl(TlsKind::Good, L"/o?tag=" + tag));
        Queue(manager, &queuedLast, s.HttpsUrl(TlsKind::Good, L"/l?tag=" + tag));
        Sleep(300);
        // The held answer can only come once the manager is going.
        opener = std::thread([&] {
            Sleep(300);
            s.OpenGate(tag, L"go");
        });
        // The manager goes while they wait.
    }
    opener.join();
    EXPECT_EQ(held.completes + static_cast<int>(held.errors.size()), 1);
    for (RecordingHandler* h : {&behind1, &behind2, &otherHost, &queuedLast}) {
        ASSERT_EQ(h->errors.size(), 1u);
        EXPECT_EQ(h->errors[0].error, ERROR_OPERATION_ABORTED);
        EXPECT_EQ(h->begins, 0);
        EXPECT_EQ(h->completes, 0);
    }
    Sleep(200);
    auto log = s.Log(tag);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].path, "/held");
}

TEST(NetResEngine, TaskArrivingWhileShutdownRunsGetsOnError)
{
    CNetResManager manager(nullptr);
    NetResEngine* engine = manager.EngineForTesting();
    CKernelHandle admitted(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    CKernelHandle shutdownReturned(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    bool shutdownEndedMidAdmission = false;
    // The producer is held between its admission and its queueing for as
    // long as Shutdown would take to finish, if it could finish meanwhile.
    engine->SetEnqueueHookForTesting([&] {
        SetEvent(admitted.Get());
        shutdownEndedMidAdmission = WaitForSingleObject(shutdownReturned.Get(), 1000) == WAIT_OBJECT_0;
    });
    RecordingHandler late;
    std::thread producer([&] { Queue(manager, &late, L"http://127.0.0.1:" + std::to_wstring(UnusedPort()) + L"/x"); });
    ASSERT_EQ(WaitForSingleObject(admitted.Get(), 10000), WAIT_OBJECT_0);
    engine->Shutdown();
    SetEvent(shutdownReturned.Get());
    producer.join();

    // Shutdown closes the engine's events last: as it cannot end while a task
    // is being admitted, the producer's wake-up never meets a closed handle.
    EXPECT_FALSE(shutdownEndedMidAdmission);
    // Admitted before Shutdown began, the task either still ran (to its
    // refused port) or was dropped by Shutdown: one end, never none.
    ASSERT_TRUE(late.WaitDone(10000));
    ASSERT_EQ(late.errors.size(), 1u);
    EXPECT_TRUE(late.errors[0].error == ERROR_OPERATION_ABORTED || late.errors[0].error == ERROR_WINHTTP_CANNOT_CONNECT)
        << late.errors[0].error;
    EXPECT_EQ(late.completes, 0);

    // After Shutdown: refused at once.
    engine->SetEnqueueHookForTesting(nullptr);
    RecordingHandler after;
    Queue(manager, &after, L"http://127.0.0.1:" + std::to_wstring(UnusedPort()) + L"/x");
    ASSERT_EQ(after.errors.size(), 1u);
    EXPECT_EQ(after.errors[0].error, ERROR_OPERATION_ABORTED);
}

TEST(NetResEngine, ShutdownEndsRunningTransfersAndCachesNothingOfThem)
{
    const TestService& s = Service();
    const uint64_t size = 3000000;
    for (bool cancelled : {false, true}) {
        SCOPED_TRACE(cancelled ? "cancelled handler" : "pending handler");
        ScratchDir dir(L"eng");
        const std::wstring tag = NewTag(L"stop");
        // Half a minute of body: a shutdown that waited for it would see it whole.
        const std::wstring url = s.Url(L"/slow?tag=" + tag + L"&size=" + std::to_wstring(size) + L"&rate=100000");
        RecordingHandler h;
        uint32_t hash = 0;
        {
            CNetResManager manager(dir.Path().c_str());
            hash = manager.HashUrl(url.c_str());
            Queue(manager, &h, url, 1);
            ASSERT_TRUE(h.WaitForData());
            if (cancelled)
                manager.CancelHandler(&h);
        }
        EXPECT_EQ(h.errors.size(), cancelled ? 0u : 1u);
        for (const RecordingHandler::Error& e : h.errors) {
            EXPECT_EQ(e.error, ERROR_OPERATION_ABORTED);
            EXPECT_EQ(e.status, 200);
        }
        EXPECT_EQ(h.completes, 0);
        EXPECT_LT(h.body.size(), size);
        // The cut body is neither cached nor left behind as a part file.
        EXPECT_EQ(GetFileAttributesW(dir.File(std::to_wstring(hash)).c_str()), INVALID_FILE_ATTRIBUTES);
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW(dir.File(L"*.part").c_str(), &found);
        EXPECT_EQ(search, INVALID_HANDLE_VALUE);
        if (search != INVALID_HANDLE_VALUE)
            FindClose(search);
        CNetResManager reopened(dir.Path().c_str());
        EXPECT_EQ(reopened.DiskCacheForTesting()->RecordCountForTesting(), 0);
    }
}

TEST(NetResEngine, CancelledHandlersHearNothingMore)
{
    const TestService& s = Service();
    ScratchDir dir(L"eng");
    CNetResManager manager(dir.Path().c_str(), 1, 1);
    const std::wstring tag = NewTag(L"cancel");
    RecordingHandler running, waiting, dropped;
    const std::wstring runningUrl = s.Url(L"/run?tag=" + tag + L"&gate=go&body=into-the-cache");
    Queue(manager, &running, runningUrl, 1);
    ASSERT_EQ(s.WaitForLog(tag, 1).size(), 1u);
    Queue(manager, &waiting, s.HttpsUrl(TlsKind::Good, L"/wait?tag=" + tag + L"&body=w"));
    Queue(manager, &dropped, s.HttpsUrl(TlsKind::Good, L"/drop?tag=" + tag + L"&body=d"));
    Sleep(300);
    manager.CancelHandler(&running);   // while its request runs
    manager.CancelHandler(&dropped);   // while its task is still queued
    ASSERT_TRUE(s.OpenGate(tag, L"go"));
    ASSERT_TRUE(waiting.WaitDone());
    EXPECT_EQ(waiting.body, "w");
    Sleep(500);
    for (RecordingHandler* h : {&running, &dropped}) {
        EXPECT_TRUE(h->errors.empty());
        EXPECT_TRUE(h->headerBlocks.empty());
        EXPECT_EQ(h->begins, 0);
        EXPECT_TRUE(h->body.empty());
        EXPECT_EQ(h->completes, 0);
    }
    // The cancelled request's body still reached the cache; the dropped one never left.
    EXPECT_EQ(manager.DiskCacheForTesting()->RecordCountForTesting(), 1);
    for (const auto& q : s.Log(tag))
        EXPECT_NE(q.path, "/drop");
}

TEST(NetResEngine, TaskWithoutHandlerIsStillSent)
{
    const TestService& s = Service();
    CNetResManager manager(nullptr);
    const std::wstring tag = NewTag(L"nohandler");
    Queue(manager, nullptr, s.Url(L"/api/common/pushed?tag=" + tag));
    EXPECT_EQ(s.WaitForLog(tag, 1).size(), 1u);
}

TEST(NetResEngine, EachQueuedTaskKeepsItsOwnTimeouts)
{
    const TestService& s = Service();
    CNetResManager manager(nullptr);
    const std::wstring tag = NewTag(L"timeouts");
    // The first task makes the pooled connection with long timeouts.
    RecordingHandler patient, hasty;
    Queue(manager, &patient, s.Url(L"/p?tag=" + tag + L"&delay=1500&body=patient"));
    ASSERT_EQ(s.WaitForLog(tag, 1).size(), 1u);
    stRequestTask task;
    task.url = s.Url(L"/h?tag=" + tag + L"&delay=3000&body=hasty");
    task.synchronous = 0;
    task.useCache = 0;
    task.receiveTimeout = 500;
    task.handler = &hasty;
    ASSERT_TRUE(manager.AddTask(&task));
    ASSERT_TRUE(patient.WaitDone());
    EXPECT_EQ(patient.body, "patient");
    ASSERT_TRUE(hasty.WaitDone());
    ASSERT_EQ(hasty.errors.size(), 1u);
    EXPECT_EQ(hasty.errors[0].error, ERROR_WINHTTP_TIMEOUT);
    EXPECT_EQ(hasty.completes, 0);
    EXPECT_EQ(manager.EngineForTesting()->ConnectionsMadeForTesting(), 1);
}

TEST(NetResEngine, ManyQueuedTasksAcrossHostsWithOneCache)
{
    const TestService& s = Service();
    ScratchDir dir(L"eng");
    CNetResManager manager(dir.Path().c_str());
    const std::wstring tag = NewTag(L"many");
    struct Job {
        std::wstring url;
        uint32_t seed;
        size_t size;
        std::unique_ptr<RecordingHandler> handler;
    };
    std::vector<Job> jobs;
    for (int i = 0; i < 36; ++i) {
        uint32_t seed = static_cast<uint32_t>(i % 6);
        size_t size = 30000 + 7919 * seed;
        std::wstring q = L"/m" + std::to_wstring(seed) + L"?tag=" + tag + L"&size=" + std::to_wstring(size) +
                         L"&seed=" + std::to_wstring(seed);
        std::wstring url = (seed % 2) ? s.HttpsUrl(TlsKind::Good, q) : s.Url(q);
        jobs.push_back({url, seed, size, std::unique_ptr<RecordingHandler>(new RecordingHandler)});
    }
    for (Job& j : jobs)
        Queue(manager, j.handler.get(), j.url, 1);
    for (Job& j : jobs) {
        ASSERT_TRUE(j.handler->WaitDone(30000));
        EXPECT_TRUE(j.handler->errors.empty());
        EXPECT_EQ(j.handler->completes, 1);
        EXPECT_TRUE(j.handler->body == GeneratedBytes(j.seed, 0, j.size)) << j.seed;
    }
    // One record per URL, each file holding its own URL's bytes.
    std::vector<NetResCacheEntry> entries = manager.DiskCacheForTesting()->EntriesForTesting();
    EXPECT_EQ(entries.size(), 6u);
    for (const Job& j : jobs) {
        std::string bytes;
        uint32_t hash = manager.HashUrl(j.url.c_str());
        ASSERT_TRUE(ReadFileBytes(dir.File(std::to_wstring(hash)), bytes));
        EXPECT_TRUE(bytes == GeneratedBytes(j.seed, 0, j.size));
    }
}
