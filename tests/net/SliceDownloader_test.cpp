// The sliced downloader against the local test service: whole downloads with
// a SHA-256 check, stop and resume, Stop in every phase of a slice, a killed
// process, hostile resume files, servers that mishandle ranges, pause or
// answer ranges of another version, progress ticks, refused names, merges
// that meet a locked slice file, transfer failures and disk-full.
#include "net/SliceDownloader.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <memory>
#include <set>
#include <thread>

#include "support/TestPaths.h"
#include "support/TestService.h"
#include "support/Text.h"

using testsupport::Narrow;
using testsupport::ScratchDir;
using testsupport::TestService;

namespace {

struct stReport {
    int state;
    uint64_t a, b, c;
    uint64_t atMs; // when the test saw it (GetTickCount64)
};

bool IsEnd(const stReport& r)
{
    return r.state == 3 || (r.state == 1 && r.b == 0) || (r.state == 2 && r.a == 0 && r.b == 0);
}

// Collects the callback's reports and lets the test wait for the end of a run.
class Recorder {
public:
    DownloadProgressFn Fn()
    {
        return [this](int state, uint64_t a, uint64_t b, uint64_t c) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_reports.push_back({state, a, b, c, GetTickCount64()});
            m_cv.notify_all();
        };
    }
    // The first end report (state 3 or a failure), or nothing after ms.
    bool WaitEnd(DWORD ms, stReport* end = nullptr)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        bool ok = m_cv.wait_for(lock, std::chrono::milliseconds(ms), [this]() {
            return std::any_of(m_reports.begin(), m_reports.end(), IsEnd);
        });
        if (ok && end)
            *end = *std::find_if(m_reports.begin(), m_reports.end(), IsEnd);
        return ok;
    }
    // Waits until a progress tick shows at least `bytes` downloaded.
    bool WaitProgress(uint64_t bytes, DWORD ms)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::milliseconds(ms), [&]() {
            return std::any_of(m_reports.begin(), m_reports.end(),
                               [&](const stReport& r) { return r.state == 1 && r.b != 0 && r.a >= bytes; });
        });
    }
    // Waits until some report satisfies pred.
    template <class Pred>
    bool WaitFor(DWORD ms, Pred pred)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_cv.wait_for(lock, std::chrono::milliseconds(ms),
                             [&]() { return std::any_of(m_reports.begin(), m_reports.end(), pred); });
    }
    std::vector<stReport> Reports()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_reports;
    }
    void Clear()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_reports.clear();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<stReport> m_reports;
};

stSliceThresholds Buckets(uint64_t two, uint64_t three, uint64_t four)
{
    stSliceThresholds t;
    t.twoSlices = two;
    t.threeSlices = three;
    t.fourSlices = four;
    return t;
}

// Small buckets so that multi-slice downloads stay small.
const stSliceThresholds kSmall = Buckets(1000, 2000, 3000);

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

uint64_t SizeOf(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA d;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &d))
        return 0;
    return (static_cast<uint64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
}

std::string FileSha(const std::wstring& path)
{
    std::string hex;
    testsupport::FileSha256Hex(path, hex);
    return hex;
}

// Range requests of a log (the probe carries no Range), as start -> end.
std::multimap<int64_t, std::string> Ranges(const std::vector<testsupport::stLoggedRequest>& log, size_t from = 0)
{
    std::multimap<int64_t, std::string> out;
    for (size_t i = from; i < log.size(); ++i) {
        if (!log[i].range.empty())
            out.emplace(log[i].RangeStart(), log[i].range);
    }
    return out;
}

// Where each slice of the plan first asked from: the lowest Range start
// inside its range (a slice with no request is left out). A slice may ask
// again for the rest of its range after a gap; only its first request says
// where it resumed.
std::set<int64_t> FirstStartPerSlice(const std::vector<testsupport::stLoggedRequest>& log,
                                     const std::vector<stSliceRange>& plan)
{
    std::set<int64_t> firsts;
    std::multimap<int64_t, std::string> ranges = Ranges(log);
    for (const stSliceRange& r : plan) {
        auto it = ranges.lower_bound(static_cast<int64_t>(r.first));
        if (it != ranges.end() && it->first <= static_cast<int64_t>(r.last))
            firsts.insert(it->first);
    }
    return firsts;
}

// Host paths and programs, through Wine.
std::string UnixPath(const std::wstring& path)
{
    typedef char*(CDECL * UnixName)(const wchar_t*);
    auto toUnix = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix)
        return std::string();
    size_t slash = path.find_last_of(L'\\');
    char* dir = toUnix(path.substr(0, slash).c_str());
    if (!dir)
        return std::string();
    std::string out = std::string(dir) + "/" + Narrow(path.substr(slash + 1));
    HeapFree(GetProcessHeap(), 0, dir);
    return out;
}

bool RunHost(const std::wstring& program, const std::string& args)
{
    std::wstring cmd = program + L" " + std::wstring(args.begin(), args.end());
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    if (!CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

bool Writable(const std::wstring& path)
{
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(h);
    return true;
}

// Makes `path` a link to /dev/full for its lifetime, so that every write
// to it fails with "disk full". Wine starts host programs on their own, so
// the link's appearing and going are polled.
class DevFullLink {
public:
    explicit DevFullLink(const std::wstring& path) : m_path(path), m_unix(UnixPath(path))
    {
        if (m_unix.empty() || !RunHost(L"Z:\\bin\\ln", "-s /dev/full \"" + m_unix + "\""))
            return;
        for (int i = 0; i < 100 && !m_ok; ++i) {
            m_ok = Writable(m_path);
            if (!m_ok)
                Sleep(50);
        }
    }
    ~DevFullLink() { Remove(); }
    bool Ok() const { return m_ok; }
    void Remove()
    {
        if (!m_ok)
            return;
        m_ok = false;
        RunHost(L"Z:\\bin\\rm", "-f \"" + m_unix + "\"");
        for (int i = 0; i < 100 && Writable(m_path); ++i)
            Sleep(50);
    }

private:
    std::wstring m_path;
    std::string m_unix;
    bool m_ok = false;
};

class SliceDownloaderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(svc.Available()) << Narrow(svc.Error());
        tag = NewTag(L"dl");
    }
    // A fault of the test service is never taken for the one a test stages.
    void TearDown() override
    {
        for (const std::wstring& t : m_tags) {
            for (const testsupport::stLoggedRequest& r : svc.Log(t)) {
                EXPECT_NE(r.outcome, "service error") << r.target << "\n" << r.error;
            }
        }
    }
    std::wstring NewTag(const wchar_t* prefix)
    {
        m_tags.push_back(testsupport::NewTag(prefix));
        return m_tags.back();
    }

    std::wstring PkgUrl(uint64_t size, uint32_t seed, const std::wstring& extra = L"") const
    {
        return svc.Url(L"/pkg/" + tag + L".bin?tag=" + tag + L"&size=" + std::to_wstring(size) +
                       L"&seed=" + std::to_wstring(seed) + extra);
    }

    // Runs one download to its end report; the reports are in rec.
    uint32_t Run(CSliceDownloader& dl, const std::wstring& url, const ScratchDir& dir, Recorder& rec,
                 stReport* end = nullptr, const wchar_t* name = L"pkg.bin")
    {
        uint32_t r = dl.Start(url, dir.Path(), name, rec.Fn());
        if (r == 0) {
            EXPECT_TRUE(rec.WaitEnd(60000, end)) << "no end report";
        }
        return r;
    }

    void ExpectComplete(const ScratchDir& dir, uint64_t size, uint32_t seed, const wchar_t* name = L"pkg.bin")
    {
        std::wstring target = dir.File(name);
        EXPECT_EQ(SizeOf(target), size);
        EXPECT_EQ(FileSha(target), testsupport::GeneratedSha256(seed, 0, size));
        EXPECT_FALSE(Exists(target + L".ini"));
        EXPECT_FALSE(Exists(target + L".merge"));
        for (int i = 0; i < 4; ++i)
            EXPECT_FALSE(Exists(target + L"_slice" + std::to_wstring(i))) << i;
    }

    const TestService& svc = TestService::Get();
    std::wstring tag;

private:
    std::vector<std::wstring> m_tags;
};

} // namespace

TEST_F(SliceDownloaderTest, EachBucketBoundaryDownloadsEndToEnd)
{
    struct Case {
        uint64_t size;
        size_t slices;
    } cases[] = {{1000, 1}, {1001, 2}, {2000, 2}, {2001, 3}, {3000, 3}, {3001, 4}, {600 * 1024 + 7, 4}};
    uint32_t seed = 11;
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "size " << c.size);
        tag = NewTag(L"bucket");
        ScratchDir dir(L"dl");
        CSliceDownloader dl;
        dl.SetSliceThresholdsForTesting(kSmall);
        Recorder rec;
        stReport end = {};
        ASSERT_EQ(Run(dl, PkgUrl(c.size, seed), dir, rec, &end), 0u);
        EXPECT_EQ(end.state, 3);
        EXPECT_EQ(end.a, c.size);
        EXPECT_EQ(dl.SliceCount(), c.slices);
        ExpectComplete(dir, c.size, seed);

        // One ranged request per planned slice, exactly its range. A slice
        // whose read waited too long (a loaded machine) asks again for the
        // rest of its own range only.
        std::vector<stSliceRange> plan = PlanSlices(c.size, static_cast<int>(c.slices));
        std::multimap<int64_t, std::string> ranges = Ranges(svc.Log(tag));
        ASSERT_GE(ranges.size(), plan.size());
        for (const stSliceRange& r : plan) {
            auto it = ranges.find(static_cast<int64_t>(r.first));
            ASSERT_NE(it, ranges.end());
            EXPECT_EQ(it->second, "bytes=" + std::to_string(r.first) + "-" + std::to_string(r.last));
        }
        for (const auto& asked : ranges) {
            bool insideOneSlice = false;
            for (const stSliceRange& r : plan)
                insideOneSlice |= static_cast<uint64_t>(asked.first) >= r.first &&
                                  static_cast<uint64_t>(asked.first) <= r.last &&
                                  asked.second == "bytes=" + std::to_string(asked.first) + "-" + std::to_string(r.last);
            EXPECT_TRUE(insideOneSlice) << asked.second;
        }

        // Ticks grow to the total, the merge reaches it, state 3 comes once and last.
        std::vector<stReport> reports = rec.Reports();
        uint64_t lastTick = 0, merged = 0;
        for (const stReport& r : reports) {
            if (r.state == 1) {
                EXPECT_GE(r.a, lastTick);
                EXPECT_EQ(r.b, c.size);
                lastTick = r.a;
            } else if (r.state == 2) {
                EXPECT_GE(r.a, merged);
                merged = r.a;
            }
        }
        EXPECT_EQ(lastTick, c.size);
        EXPECT_EQ(merged, c.size);
        EXPECT_EQ(reports.back().state, 3);
        EXPECT_EQ(std::count_if(reports.begin(), reports.end(), [](const stReport& r) { return r.state == 3; }), 1);
        ++seed;
    }
}

// A merge of many pieces reports where each slice ends and otherwise only
// every kMergeReportMs: one report per copied piece would flood the
// installer's window with posted messages while it merges.
TEST_F(SliceDownloaderTest, TheMergeReportsEachSliceEndAndNotEachPiece)
{
    // Four slices of 2 MiB: the merge appends 6 MiB, about a hundred pieces.
    const uint64_t size = 8 * 1024 * 1024;
    const uint32_t seed = 23;
    tag = NewTag(L"mergereports");
    ScratchDir dir(L"dl");
    CSliceDownloader dl;
    dl.SetSliceThresholdsForTesting(kSmall);
    Recorder rec;
    stReport end = {};
    ASSERT_EQ(Run(dl, PkgUrl(size, seed), dir, rec, &end), 0u);
    ASSERT_EQ(end.state, 3);
    ASSERT_EQ(dl.SliceCount(), 4u);
    ExpectComplete(dir, size, seed);

    std::vector<stReport> merges;
    for (const stReport& r : rec.Reports()) {
        if (r.state == 2)
            merges.push_back(r);
    }
    ASSERT_FALSE(merges.empty());
    uint64_t previous = 0;
    std::set<uint64_t> counts;
    for (const stReport& r : merges) {
        EXPECT_GE(r.a, previous);
        EXPECT_EQ(r.b, size);
        previous = r.a;
        counts.insert(r.a);
    }
    for (const stSliceRange& slice : PlanSlices(size, 4))
        EXPECT_EQ(counts.count(slice.last + 1), 1u) << "no report where the slice ending at " << slice.last << " ends";
    // The slice ends plus at most one report per interval of the merge's span.
    const uint64_t spanMs = merges.back().atMs - merges.front().atMs;
    EXPECT_LE(merges.size(), 4 + 1 + spanMs / CSliceDownloader::kMergeReportMs) << "over " << spanMs << " ms";
}

TEST_F(SliceDownloaderTest, ServersThatMishandleRanges)
{
    struct Case {
        const wchar_t* name;
        const wchar_t* query;
        size_t slices;
        uint64_t failure; // 0: the download must succeed
    } cases[] = {
        {L"no Accept-Ranges", L"&accept_ranges=none", 1, 0},
        {L"Accept-Ranges not exactly bytes", L"&accept_ranges=Bytes", 1, 0},
        {L"ignores Range, one slice", L"&accept_ranges=none&ranges=ignore", 1, 0},
        {L"ignores Range, four slices", L"&ranges=ignore", 4, ERROR_WINHTTP_INVALID_SERVER_RESPONSE},
        {L"416 for later slices", L"&range_status=416&range_from=1", 4, 416},
        {L"500 for later slices", L"&range_status=500&range_from=1", 4, 500},
        {L"Content-Range off by one", L"&range_shift=1", 4, ERROR_WINHTTP_INVALID_SERVER_RESPONSE},
    };
    const uint64_t size = 40000;
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.name));
        tag = NewTag(L"ranges");
        ScratchDir dir(L"dl");
        CSliceDownloader dl;
        dl.SetSliceThresholdsForTesting(kSmall);
        Recorder rec;
        stReport end = {};
        ASSERT_EQ(Run(dl, PkgUrl(size, 5, c.query), dir, rec, &end), 0u);
        EXPECT_EQ(dl.SliceCount(), c.slices);
        if (c.failure == 0) {
            EXPECT_EQ(end.state, 3);
            ExpectComplete(dir, size, 5);
            continue;
        }
        EXPECT_EQ(end.state, 1);
        EXPECT_EQ(end.c, c.failure);
        dl.Stop();
        EXPECT_FALSE(Exists(dir.File(L"pkg.bin")));
        std::vector<stReport> reports = rec.Reports();
        EXPECT_TRUE(std::none_of(reports.begin(), reports.end(), [](const stReport& r) { return r.state == 3; }));
        // Bytes past a slice's range were never written.
        for (size_t i = 0; i < c.slices; ++i) {
            std::wstring slice = dir.File(L"pkg.bin_slice" + std::to_wstring(i));
            EXPECT_LE(SizeOf(slice), PlanSlices(size, static_cast<int>(c.slices))[i].last + 1 -
                                         PlanSlices(size, static_cast<int>(c.slices))[i].first);
        }
    }
}

TEST_F(SliceDownloaderTest, StopThenResumeRequestsOnlyTheRest)
{
    const uint64_t size = 400 * 1024;
    ScratchDir dir(L"dl");
    std::wstring url = PkgUrl(size, 21);
    ASSERT_TRUE(svc.Set(tag, L"rate=60000"));
    CSliceDownloader dl;
    dl.SetSliceThresholdsForTesting(kSmall);
    Recorder rec;
    ASSERT_EQ(dl.Start(url, dir.Path(), L"pkg.bin", rec.Fn()), 0u);
    ASSERT_EQ(dl.SliceCount(), 4u);
    ASSERT_TRUE(rec.WaitProgress(60000, 20000));
    // Every slice has bytes on disk before the stop (on a busy machine one
    // connection may start late), so each has a count of its own to resume.
    auto allSlicesStarted = [&] {
        for (size_t i = 0; i < 4; ++i) {
            if (SizeOf(dir.File(L"pkg.bin_slice" + std::to_wstring(i))) == 0)
                return false;
        }
        return true;
    };
    for (int waited = 0; waited < 20000 && !allSlicesStarted(); waited += 20)
        Sleep(20);
    ASSERT_TRUE(allSlicesStarted());
    auto t0 = std::chrono::steady_clock::now();
    dl.Stop();
    auto stopMs = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
    EXPECT_LT(stopMs, 3000);
    size_t reportsAtStop = rec.Reports().size();
    Sleep(1200);
    EXPECT_EQ(rec.Reports().size(), reportsAtStop); // nothing after Stop, and no state 3
    for (const stReport& r : rec.Reports())
        EXPECT_NE(r.state, 3);
    EXPECT_FALSE(Exists(dir.File(L"pkg.bin")));

    // What was saved: each slice's count, backed by its file.
    CIniParse resume;
    ASSERT_FALSE(resume.Open(L"pkg.bin.ini", dir.Path()));
    std::vector<stSliceRange> plan = PlanSlices(size, 4);
    std::vector<uint64_t> saved;
    for (size_t i = 0; i < 4; ++i) {
        std::wstring sec = L"Slice" + std::to_wstring(i);
        EXPECT_EQ(resume.ReadInt64(sec.c_str(), L"start"), static_cast<int64_t>(plan[i].first));
        EXPECT_EQ(resume.ReadInt64(sec.c_str(), L"end"), static_cast<int64_t>(plan[i].last));
        int64_t s = resume.ReadInt64(sec.c_str(), L"size");
        EXPECT_GT(s, 0);
        EXPECT_LT(s, static_cast<int64_t>(plan[i].last - plan[i].first + 1));
        EXPECT_GE(SizeOf(dir.File(L"pkg.bin_slice" + std::to_wstring(i))), static_cast<uint64_t>(s));
        saved.push_back(static_cast<uint64_t>(s));
    }
    EXPECT_EQ(resume.ReadText(L"Download", L"url"), url);
    EXPECT_EQ(resume.ReadInt64(L"Download", L"total"), static_cast<int64_t>(size));

    size_t logBefore = svc.Log(tag).size();
    ASSERT_TRUE(svc.Set(tag, L"rate=0"));
    rec.Clear();
    stReport end = {};
    ASSERT_EQ(Run(dl, url, dir, rec, &end), 0u);
    EXPECT_EQ(end.state, 3);
    ExpectComplete(dir, size, 21);

    // Every slice asks for the rest of its range from its saved count on,
    // and nothing before it: no saved byte is fetched again.
    std::multimap<int64_t, std::string> resumed = Ranges(svc.Log(tag), logBefore);
    for (size_t i = 0; i < 4; ++i) {
        auto it = resumed.find(static_cast<int64_t>(plan[i].first + saved[i]));
        ASSERT_NE(it, resumed.end()) << "slice " << i;
        EXPECT_EQ(it->second, "bytes=" + std::to_string(plan[i].first + saved[i]) + "-" + std::to_string(plan[i].last));
    }
    for (const auto& asked : resumed) {
        bool fromSavedCount = false;
        for (size_t i = 0; i < 4; ++i)
            fromSavedCount |= static_cast<uint64_t>(asked.first) >= plan[i].first + saved[i] &&
                              static_cast<uint64_t>(asked.first) <= plan[i].last;
        EXPECT_TRUE(fromSavedCount) << asked.second;
    }
    // The first tick's count includes the resumed bytes.
    std::vector<stReport> reports = rec.Reports();
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.front().state, 1);
    uint64_t savedSum = 0;
    for (uint64_t s : saved)
        savedSum += s;
    EXPECT_GE(reports.front().a, savedSum);
}

TEST_F(SliceDownloaderTest, StopReturnsPromptlyInEveryPhaseOfASlice)
{
    // The probe passes; the slice's ranged request then meets the staged
    // server. Stop comes once the slice has been waiting for a while (long
    // enough for any bounded wait that grows to outlast a second).
    struct Case {
        const char* name;
        const wchar_t* query;
        DWORD waitBeforeStopMs;
        bool bodyStarted; // the answer's first 20000 bytes were sent
    } cases[] = {
        {"blocked in a read", L"&stall=20000&only_range_from=0", 1500, true},
        {"accepted, never answered", L"&gate=never&gate_ms=600000&only_range_from=0", 8500, false},
        {"headers only after 30 s", L"&delay=30000&only_range_from=0", 8500, false},
    };
    const uint64_t size = 1000000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tag = NewTag(L"stop");
        ScratchDir dir(L"dl");
        CSliceDownloader dl;
        Recorder rec;
        ASSERT_EQ(dl.Start(PkgUrl(size, 3, c.query), dir.Path(), L"pkg.bin", rec.Fn()), 0u);
        ASSERT_EQ(dl.SliceCount(), 1u);
        // The ranged request has reached the server (and, for a read, its
        // first bytes have been sent).
        bool staged = false;
        for (int i = 0; i < 100 && !staged; ++i) {
            for (const testsupport::stLoggedRequest& r : svc.Log(tag))
                staged |= !r.range.empty() && (!c.bodyStarted || r.sent >= 20000);
            if (!staged)
                Sleep(100);
        }
        ASSERT_TRUE(staged);
        Sleep(c.waitBeforeStopMs);
        auto t0 = std::chrono::steady_clock::now();
        dl.Stop();
        auto stopMs =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
        EXPECT_LT(stopMs, 3000);
        for (const stReport& r : rec.Reports())
            EXPECT_NE(r.state, 3);

        // What was saved is a true prefix of the file.
        CIniParse resume;
        ASSERT_FALSE(resume.Open(L"pkg.bin.ini", dir.Path()));
        int64_t saved = resume.ReadInt64(L"Slice0", L"size");
        EXPECT_GE(saved, 0);
        EXPECT_LE(saved, 20000);
        if (c.bodyStarted) {
            std::string bytes;
            ASSERT_TRUE(testsupport::ReadFileBytes(dir.File(L"pkg.bin_slice0"), bytes));
            ASSERT_GE(bytes.size(), static_cast<size_t>(saved));
            EXPECT_EQ(bytes.substr(0, static_cast<size_t>(saved)),
                      testsupport::GeneratedBytes(3, 0, static_cast<size_t>(saved)));
        }
    }
}

TEST_F(SliceDownloaderTest, ASlowServerIsWaitedForUpToTheStallLimit)
{
    // Headers two seconds late, within a stall limit of six: one request,
    // answered, and the download completes.
    const uint64_t size = 50000;
    ScratchDir dir(L"dl");
    CSliceDownloader dl;
    dl.SetStallTimeoutForTesting(6000);
    Recorder rec;
    stReport end = {};
    ASSERT_EQ(Run(dl, PkgUrl(size, 9, L"&delay=2000&only_range_from=0"), dir, rec, &end), 0u);
    EXPECT_EQ(end.state, 3);
    ExpectComplete(dir, size, 9);
    EXPECT_EQ(Ranges(svc.Log(tag)).size(), 1u);
}

TEST_F(SliceDownloaderTest, TransferFailuresAreReportedWithTheirCode)
{
    struct Case {
        const wchar_t* name;
        const wchar_t* query;
        bool diskFull;
        uint64_t code; // 0: any non-zero code
    } cases[] = {
        {L"connection reset mid-body", L"&reset=30000", false, 0},
        {L"body cut short", L"&cut=30000", false, 0},
        {L"no byte for longer than the stall limit", L"&gate=never&gate_at=0&gate_ms=20000", false,
         ERROR_WINHTTP_TIMEOUT},
        {L"no headers within the stall limit", L"&delay=20000&only_range_from=0", false, ERROR_WINHTTP_TIMEOUT},
        {L"disk full", L"", true, ERROR_DISK_FULL},
    };
    const uint64_t size = 200000;
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.name));
        tag = NewTag(L"fail");
        ScratchDir dir(L"dl");
        std::unique_ptr<DevFullLink> full;
        if (c.diskFull) {
            full.reset(new DevFullLink(dir.File(L"pkg.bin_slice0")));
            ASSERT_TRUE(full->Ok());
        }
        CSliceDownloader dl;
        dl.SetStallTimeoutForTesting(1500);
        Recorder rec;
        stReport end = {};
        ASSERT_EQ(Run(dl, PkgUrl(size, 8, c.query), dir, rec, &end), 0u);
        EXPECT_EQ(end.state, 1);
        EXPECT_EQ(end.a, 0u);
        EXPECT_EQ(end.b, 0u);
        EXPECT_NE(end.c, 0u);
        if (c.code) {
            EXPECT_EQ(end.c, c.code);
        }
        // The failure ends the run: no more ticks, no state 3.
        size_t count = rec.Reports().size();
        Sleep(1500);
        EXPECT_EQ(rec.Reports().size(), count);
        dl.Stop();
        for (const stReport& r : rec.Reports())
            EXPECT_NE(r.state, 3);
        EXPECT_FALSE(Exists(dir.File(L"pkg.bin")));
    }
}

TEST_F(SliceDownloaderTest, MergeWaitsOutAPassingLockAndLosesNothingWhenItEndsEarly)
{
    // Every slice is on disk and saved as complete, so Start merges at once
    // while another program holds slice 2 open without sharing.
    const uint64_t size = 5000;
    enum class Hold { Briefly, Longer, UntilStopped };
    struct Case {
        const char* name;
        Hold hold;
    } cases[] = {
        {"a lock released within the wait", Hold::Briefly},
        {"a lock outlasting the wait", Hold::Longer},
        {"a stop while the merge waits", Hold::UntilStopped},
    };
    std::vector<stSliceRange> plan = PlanSlices(size, 4);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tag = NewTag(L"merge");
        ScratchDir dir(L"dl");
        std::wstring url = PkgUrl(size, 4);
        std::string ini = "[Download]\r\nurl=" + Narrow(url) + "\r\ntotal=" + std::to_string(size) + "\r\n";
        for (size_t i = 0; i < plan.size(); ++i) {
            uint64_t length = plan[i].last - plan[i].first + 1;
            ini += "[Slice" + std::to_string(i) + "]\r\nstart=" + std::to_string(plan[i].first) + "\r\nend=" +
                   std::to_string(plan[i].last) + "\r\nsize=" + std::to_string(length) + "\r\n";
            ASSERT_TRUE(testsupport::WriteFileBytes(dir.File(L"pkg.bin_slice" + std::to_wstring(i)),
                                                    testsupport::GeneratedBytes(4, plan[i].first, length)));
        }
        ASSERT_TRUE(testsupport::WriteFileBytes(dir.File(L"pkg.bin.ini"), ini));
        HANDLE lock = CreateFileW(dir.File(L"pkg.bin_slice2").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                                  nullptr);
        ASSERT_NE(lock, INVALID_HANDLE_VALUE);
        std::thread release;
        if (c.hold == Hold::Briefly)
            release = std::thread([lock]() {
                Sleep(500);
                CloseHandle(lock);
            });

        CSliceDownloader dl;
        dl.SetSliceThresholdsForTesting(kSmall);
        Recorder rec;
        stReport end = {};
        ASSERT_EQ(dl.Start(url, dir.Path(), L"pkg.bin", rec.Fn()), 0u);
        if (c.hold == Hold::Briefly) {
            ASSERT_TRUE(rec.WaitEnd(20000, &end));
            release.join();
            EXPECT_EQ(end.state, 3);
            ExpectComplete(dir, size, 4);
            EXPECT_TRUE(Ranges(svc.Log(tag)).empty());
            continue;
        }
        if (c.hold == Hold::Longer) {
            ASSERT_TRUE(rec.WaitEnd(20000, &end));
            EXPECT_EQ(end.state, 2);
            EXPECT_EQ(end.c, static_cast<uint64_t>(ERROR_SHARING_VIOLATION));
        } else {
            // Slices 0 and 1 are merged; the merge now waits for slice 2.
            ASSERT_TRUE(rec.WaitFor(20000, [&](const stReport& r) {
                return r.state == 2 && r.a >= plan[2].first;
            }));
            auto t0 = std::chrono::steady_clock::now();
            dl.Stop();
            auto stopMs =
                std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
            EXPECT_LT(stopMs, 2000);
        }
        dl.Stop();
        CloseHandle(lock);
        for (const stReport& r : rec.Reports())
            EXPECT_NE(r.state, 3);
        EXPECT_FALSE(Exists(dir.File(L"pkg.bin")));

        // Nothing was lost: every slice file and its saved count are there,
        // and the next start merges without fetching a byte.
        CIniParse resume;
        ASSERT_FALSE(resume.Open(L"pkg.bin.ini", dir.Path()));
        for (size_t i = 0; i < plan.size(); ++i) {
            uint64_t length = plan[i].last - plan[i].first + 1;
            EXPECT_EQ(resume.ReadInt64((L"Slice" + std::to_wstring(i)).c_str(), L"size"), static_cast<int64_t>(length));
            EXPECT_GE(SizeOf(dir.File(L"pkg.bin_slice" + std::to_wstring(i))), length) << i;
        }
        rec.Clear();
        ASSERT_EQ(Run(dl, url, dir, rec, &end), 0u);
        EXPECT_EQ(end.state, 3);
        ExpectComplete(dir, size, 4);
        EXPECT_TRUE(Ranges(svc.Log(tag)).empty());
    }
}

TEST_F(SliceDownloaderTest, HostileResumeFilesNeverSpliceWrongBytes)
{
    // Two slices: [0, 999] and [1000, 1999]. Slice 0's file holds `have`
    // bytes (right ones, or wrong ones that must never reach the target).
    const uint64_t size = 2000;
    struct Case {
        const char* name;
        const char* slice0;    // the Slice0 section's keys
        const char* url;       // nullptr: key absent; "": the right URL
        const char* total;     // likewise
        const char* validator; // likewise
        size_t have;
        bool rightBytes;
        int64_t expectFrom; // first byte requested for slice 0; -1: no request
    } cases[] = {
        {"valid", "start=0\r\nend=999\r\nsize=500\r\n", "", "", "", 500, true, 500},
        {"size beyond the file", "start=0\r\nend=999\r\nsize=900\r\n", "", "", "", 500, true, 500},
        {"size beyond the slice", "start=0\r\nend=999\r\nsize=5000\r\n", "", "", "", 1000, true, -1},
        {"stored 0 is not complete", "start=0\r\nend=999\r\nsize=0\r\n", "", "", "", 1000, false, 0},
        {"negative size", "start=0\r\nend=999\r\nsize=-5\r\n", "", "", "", 1000, false, 0},
        {"huge size", "start=0\r\nend=999\r\nsize=99999999999999999999999\r\n", "", "", "", 300, true, 300},
        {"size not a number", "start=0\r\nend=999\r\nsize=lots\r\n", "", "", "", 1000, false, 0},
        {"bounds differ", "start=0\r\nend=998\r\nsize=500\r\n", "", "", "", 500, false, 0},
        {"only the old keys", "start=0\r\nend=999\r\nsize=500\r\n", nullptr, nullptr, nullptr, 500, false, 0},
        {"another url", "start=0\r\nend=999\r\nsize=500\r\n", "http://127.0.0.1:1/other", "", "", 500, false, 0},
        {"another total", "start=0\r\nend=999\r\nsize=500\r\n", "", "2001", "", 500, false, 0},
        {"another validator", "start=0\r\nend=999\r\nsize=500\r\n", "", "", "\"v0\"", 500, false, 0},
        {"binary garbage", "\x01\xff\xfe[[[=\r\nsize=\xff\xfe", nullptr, nullptr, nullptr, 500, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tag = NewTag(L"resume");
        ScratchDir dir(L"dl");
        std::wstring url = PkgUrl(size, 31, L"&etag=%22v1%22");
        std::string text = "[Download]\r\n";
        if (c.url)
            text += "url=" + (*c.url ? std::string(c.url) : Narrow(url)) + "\r\n";
        if (c.total)
            text += "total=" + std::string(*c.total ? c.total : "2000") + "\r\n";
        if (c.validator)
            text += "validator=\"" + std::string(*c.validator ? c.validator : "\"v1\"") + "\"\r\n";
        text += "[Slice0]\r\n" + std::string(c.slice0);
        ASSERT_TRUE(testsupport::WriteFileBytes(dir.File(L"pkg.bin.ini"), text));
        std::string bytes = c.rightBytes ? testsupport::GeneratedBytes(31, 0, c.have) : std::string(c.have, 'X');
        ASSERT_TRUE(testsupport::WriteFileBytes(dir.File(L"pkg.bin_slice0"), bytes));

        CSliceDownloader dl;
        dl.SetSliceThresholdsForTesting(kSmall);
        Recorder rec;
        stReport end = {};
        ASSERT_EQ(Run(dl, url, dir, rec, &end), 0u);
        EXPECT_EQ(end.state, 3);
        ExpectComplete(dir, size, 31);
        // Slice 1 had nothing; slice 0 asks from the bytes it can trust on,
        // or not at all when it is complete.
        std::set<int64_t> starts = FirstStartPerSlice(svc.Log(tag), PlanSlices(size, SliceCountFor(size, true, kSmall)));
        std::set<int64_t> expected = {1000};
        if (c.expectFrom >= 0)
            expected.insert(c.expectFrom);
        EXPECT_EQ(starts, expected);
        // Slices ask for their own validator.
        for (const auto& req : svc.Log(tag)) {
            if (!req.range.empty()) {
                EXPECT_EQ(req.ifRange, "\"v1\"");
            }
        }
    }
}

TEST_F(SliceDownloaderTest, AChangedPackageStartsAgainFromZero)
{
    const uint64_t size = 300000;
    for (int slices : {4, 1}) {
        SCOPED_TRACE(slices);
        tag = NewTag(L"changed");
        ScratchDir dir(L"dl");
        std::wstring url = PkgUrl(size, 41);
        ASSERT_TRUE(svc.Set(tag, L"etag=%22v1%22&rate=40000"));
        CSliceDownloader dl;
        dl.SetSliceThresholdsForTesting(slices == 4 ? kSmall : Buckets(size, size, size));
        Recorder rec;
        ASSERT_EQ(dl.Start(url, dir.Path(), L"pkg.bin", rec.Fn()), 0u);
        ASSERT_EQ(dl.SliceCount(), static_cast<size_t>(slices));
        ASSERT_TRUE(rec.WaitProgress(10000, 20000));
        dl.Stop();

        // Same URL, new content and validator. For one slice the server
        // also stops honouring ranges, so only a 200 can restart it.
        ASSERT_TRUE(svc.Set(tag, slices == 4 ? L"etag=%22v2%22&seed=42&rate=0"
                                             : L"etag=%22v2%22&seed=42&rate=0&ranges=ignore"));
        size_t logBefore = svc.Log(tag).size();
        rec.Clear();
        stReport end = {};
        ASSERT_EQ(Run(dl, url, dir, rec, &end), 0u);
        EXPECT_EQ(end.state, 3);
        ExpectComplete(dir, size, 42);
        std::multimap<int64_t, std::string> ranges = Ranges(svc.Log(tag), logBefore);
        for (const stSliceRange& r : PlanSlices(size, slices))
            EXPECT_EQ(ranges.count(static_cast<int64_t>(r.first)), 1u) << r.first;
    }
}

TEST_F(SliceDownloaderTest, OneSliceResumedAgainstAServerThatSendsTheWholeBody)
{
    // The saved part is dropped and the 200 body taken from byte 0.
    const uint64_t size = 300000;
    ScratchDir dir(L"dl");
    std::wstring url = PkgUrl(size, 43, L"&accept_ranges=none");
    ASSERT_TRUE(svc.Set(tag, L"rate=40000"));
    CSliceDownloader dl;
    Recorder rec;
    ASSERT_EQ(dl.Start(url, dir.Path(), L"pkg.bin", rec.Fn()), 0u);
    ASSERT_TRUE(rec.WaitProgress(10000, 20000));
    dl.Stop();
    // It also pauses: the restart from 0 happens once, the pauses are
    // waited out.
    ASSERT_TRUE(svc.Set(tag, L"rate=0&ranges=ignore&pause=100000&pause_ms=800"));
    size_t logBefore = svc.Log(tag).size();
    rec.Clear();
    stReport end = {};
    ASSERT_EQ(Run(dl, url, dir, rec, &end), 0u);
    EXPECT_EQ(end.state, 3);
    ExpectComplete(dir, size, 43);
    EXPECT_EQ(Ranges(svc.Log(tag), logBefore).size(), 1u);
}

TEST_F(SliceDownloaderTest, AServerWithoutRangesThatPausesIsWaitedOutOnTheSameAnswer)
{
    // 0.8 s of silence after every 40000 bytes: no new request may start
    // the body again, and every pause is waited out.
    struct Case {
        const char* name;
        const wchar_t* query;
    } cases[] = {
        {"no Accept-Ranges, Range ignored", L"&accept_ranges=none&ranges=ignore&pause=40000&pause_ms=800"},
        {"Accept-Ranges: bytes, Range ignored", L"&ranges=ignore&pause=40000&pause_ms=800"},
    };
    const uint64_t size = 200000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tag = NewTag(L"pause");
        ScratchDir dir(L"dl");
        CSliceDownloader dl;
        Recorder rec;
        stReport end = {};
        ASSERT_EQ(Run(dl, PkgUrl(size, 13, c.query), dir, rec, &end), 0u);
        EXPECT_EQ(dl.SliceCount(), 1u);
        EXPECT_EQ(end.state, 3);
        ExpectComplete(dir, size, 13);
        EXPECT_EQ(Ranges(svc.Log(tag)).size(), 1u);
    }
}

TEST_F(SliceDownloaderTest, ProgressTicksReportSpeedAndNeverGoBack)
{
    // c is a speed: the bytes since the previous tick scaled to a second,
    // also for the last tick, which comes as soon as the slice is done
    // (here about a quarter of a second after the first). The recorder
    // hears each tick after the downloader has measured it and written its
    // resume file, which a busy disk can hold up, so each interval the
    // recorder sees may be off by up to kListenerLagMs either way. (A count
    // in place of a speed still fails the last tick: its interval is short.)
    constexpr double kListenerLagMs = 150.0;
    {
        const uint64_t size = 250000;
        ScratchDir dir(L"dl");
        CSliceDownloader dl;
        Recorder rec;
        uint64_t startMs = GetTickCount64();
        ASSERT_EQ(dl.Start(PkgUrl(size, 17, L"&rate=200000"), dir.Path(), L"pkg.bin", rec.Fn()), 0u);
        ASSERT_TRUE(rec.WaitEnd(20000));
        ExpectComplete(dir, size, 17);
        std::vector<stReport> ticks;
        for (const stReport& r : rec.Reports()) {
            if (r.state == 1)
                ticks.push_back(r);
        }
        ASSERT_GE(ticks.size(), 2u);
        EXPECT_EQ(ticks.back().a, size);
        uint64_t previousA = 0, previousMs = startMs;
        for (const stReport& t : ticks) {
            SCOPED_TRACE(testing::Message() << "tick at " << t.atMs - startMs << " ms: " << t.a << ", " << t.c);
            const double bytes = static_cast<double>(t.a - previousA);
            const double intervalMs = static_cast<double>(t.atMs - previousMs);
            const double slowest = bytes * 1000.0 / (intervalMs + kListenerLagMs + 1.0);
            EXPECT_GE(static_cast<double>(t.c), slowest * 0.5);
            if (intervalMs > kListenerLagMs) {
                const double fastest = bytes * 1000.0 / (intervalMs - kListenerLagMs);
                EXPECT_LE(static_cast<double>(t.c), fastest * 2.0 + 1000.0);
            }
            previousA = t.a;
            previousMs = t.atMs;
        }
    }
    // A resumed slice that the server makes start again from byte 0 after
    // a tick: the count shown never goes back and c never wraps.
    {
        const uint64_t size = 300000;
        tag = NewTag(L"restart");
        ScratchDir dir(L"dl");
        std::wstring url = PkgUrl(size, 19, L"&accept_ranges=none");
        ASSERT_TRUE(svc.Set(tag, L"rate=120000"));
        CSliceDownloader dl;
        Recorder rec;
        ASSERT_EQ(dl.Start(url, dir.Path(), L"pkg.bin", rec.Fn()), 0u);
        ASSERT_TRUE(rec.WaitProgress(100000, 20000));
        dl.Stop();
        // The answer comes after the first tick and slowly, so that ticks
        // fall while fewer bytes are in than were saved.
        ASSERT_TRUE(svc.Set(tag, L"rate=40000&ranges=ignore&delay=1500&only_range_from=0"));
        rec.Clear();
        stReport end = {};
        ASSERT_EQ(Run(dl, url, dir, rec, &end), 0u);
        EXPECT_EQ(end.state, 3);
        ExpectComplete(dir, size, 19);
        uint64_t lastA = 0;
        for (const stReport& r : rec.Reports()) {
            if (r.state != 1)
                continue;
            EXPECT_GE(r.a, lastA);
            EXPECT_LE(r.a, size);
            EXPECT_LE(r.c, 1ull << 40);
            lastA = r.a;
        }
        EXPECT_EQ(lastA, size);
    }
}

TEST_F(SliceDownloaderTest, StartRefusesANameThatIsNotOneFileInTheFolder)
{
    struct Case {
        const wchar_t* name;
        uint32_t code;
    } cases[] = {
        {L"..\\x.bin", ERROR_INVALID_PARAMETER},
        {L"sub\\x.bin", ERROR_INVALID_PARAMETER},
        {L"x/y.bin", ERROR_INVALID_PARAMETER},
        {L"..", ERROR_INVALID_PARAMETER},
        {L"C:x.bin", ERROR_INVALID_PARAMETER},
        {L"pkg.bin:stream", ERROR_INVALID_PARAMETER},
        {L"pkg?.bin", ERROR_INVALID_PARAMETER},
        {L"NUL", ERROR_INVALID_PARAMETER},
        {L"con", ERROR_INVALID_PARAMETER},
        {L"Com1.bin", ERROR_INVALID_PARAMETER},
        {L"pkg.bin.", ERROR_INVALID_PARAMETER},
        {L"", ERROR_INVALID_PARAMETER},
        {L"existing", ERROR_ALREADY_EXISTS},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.name));
        tag = NewTag(L"name");
        ScratchDir root(L"dl");
        std::wstring folder = root.File(L"dl");
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryW((folder + L"\\existing").c_str(), nullptr));
        CSliceDownloader dl;
        dl.SetSliceThresholdsForTesting(kSmall);
        Recorder rec;
        EXPECT_EQ(dl.Start(PkgUrl(5000, 23), folder, c.name, rec.Fn()), c.code);
        dl.Stop();
        // Nothing fetched, nothing written here or one folder up.
        EXPECT_TRUE(svc.Log(tag).empty());
        EXPECT_TRUE(rec.Reports().empty());
        std::set<std::wstring> left;
        for (const std::wstring& where : {root.Path(), folder}) {
            WIN32_FIND_DATAW fd;
            HANDLE find = FindFirstFileW((where + L"\\*").c_str(), &fd);
            ASSERT_NE(find, INVALID_HANDLE_VALUE);
            do {
                std::wstring n = fd.cFileName;
                if (n != L"." && n != L"..")
                    left.insert(where + L"\\" + n);
            } while (FindNextFileW(find, &fd));
            FindClose(find);
        }
        EXPECT_EQ(left, (std::set<std::wstring>{folder, folder + L"\\existing"}));
    }
}

TEST_F(SliceDownloaderTest, ARangeOfAnotherVersionIsNeverSpliced)
{
    // The first run keeps part of the file. Then ranged answers come from a
    // newer copy that ignores If-Range, while the whole answer the probe
    // sees is still the old one: the slices must fail rather than join new
    // bytes to old ones, and the next start begins again from byte 0.
    struct Case {
        const char* name;
        const wchar_t* first;   // validators of the download's start
        const wchar_t* changed; // ranged answers after the change
    } cases[] = {
        {"ETag", L"&etag=%22v1%22", L"range_etag=%22v2%22&range_seed=48&if_range=ignore&rate=0"},
        {"Last-Modified", L"&last_modified=Wed,%2001%20Jan%202020%2000:00:00%20GMT",
         L"range_last_modified=Thu,%2002%20Jan%202020%2000:00:00%20GMT&range_seed=48&if_range=ignore&rate=0"},
    };
    const uint64_t size = 300000;
    std::vector<stSliceRange> plan = PlanSlices(size, 4);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tag = NewTag(L"version");
        ScratchDir dir(L"dl");
        std::wstring url = PkgUrl(size, 47, c.first);
        ASSERT_TRUE(svc.Set(tag, L"rate=40000"));
        CSliceDownloader dl;
        dl.SetSliceThresholdsForTesting(kSmall);
        Recorder rec;
        ASSERT_EQ(dl.Start(url, dir.Path(), L"pkg.bin", rec.Fn()), 0u);
        ASSERT_TRUE(rec.WaitProgress(10000, 20000));
        dl.Stop();

        ASSERT_TRUE(svc.Set(tag, c.changed));
        rec.Clear();
        stReport end = {};
        ASSERT_EQ(Run(dl, url, dir, rec, &end), 0u);
        EXPECT_EQ(end.state, 1);
        EXPECT_EQ(end.c, static_cast<uint64_t>(ERROR_WINHTTP_INVALID_SERVER_RESPONSE));
        dl.Stop();
        EXPECT_FALSE(Exists(dir.File(L"pkg.bin")));

        // The server is whole again (the old version): every slice starts
        // from its first byte.
        ASSERT_TRUE(svc.Reset(tag));
        rec.Clear();
        ASSERT_EQ(Run(dl, url, dir, rec, &end), 0u);
        EXPECT_EQ(end.state, 3);
        ExpectComplete(dir, size, 47);
        std::set<int64_t> starts = FirstStartPerSlice(svc.Log(tag), plan);
        std::set<int64_t> expected;
        for (const stSliceRange& r : plan)
            expected.insert(static_cast<int64_t>(r.first));
        EXPECT_EQ(starts, expected);
    }
}

TEST_F(SliceDownloaderTest, AnExistingTargetIsTakenOnlyWhenItCanBeComplete)
{
    const uint64_t size = 4000;
    struct Case {
        const char* name;
        uint64_t targetSize;
        bool resumeFile;
        const wchar_t* query;
        bool fetches;
    } cases[] = {
        {"complete target", size, false, L"", false},
        {"right size, download left unfinished", size, true, L"", true},
        {"other size", size - 1, false, L"", true},
        {"right size, server copy newer", size, false, L"&last_modified=Wed,%2001%20Jan%202031%2000:00:00%20GMT",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        tag = NewTag(L"target");
        ScratchDir dir(L"dl");
        std::string stale(static_cast<size_t>(c.targetSize), 'S');
        if (!c.fetches)
            stale = testsupport::GeneratedBytes(51, 0, static_cast<size_t>(size));
        ASSERT_TRUE(testsupport::WriteFileBytes(dir.File(L"pkg.bin"), stale));
        if (c.resumeFile) {
            ASSERT_TRUE(testsupport::WriteFileBytes(dir.File(L"pkg.bin.ini"), "[Slice0]\r\nstart=0\r\n"));
        }
        CSliceDownloader dl;
        dl.SetSliceThresholdsForTesting(kSmall);
        Recorder rec;
        stReport end = {};
        ASSERT_EQ(Run(dl, PkgUrl(size, 51, c.query), dir, rec, &end), 0u);
        EXPECT_EQ(end.state, 3);
        ExpectComplete(dir, size, 51);
        EXPECT_EQ(Ranges(svc.Log(tag)).empty(), !c.fetches);
        if (!c.fetches) {
            EXPECT_EQ(rec.Reports().size(), 1u); // just (3, total, total, 0)
        }
    }
}

TEST_F(SliceDownloaderTest, StartReturnsAnErrorWhenNothingWasStarted)
{
    struct Case {
        const char* name;
        std::wstring url;
        uint64_t code; // 0: any non-zero
    } cases[] = {
        {"Content-Length 0", PkgUrl(0, 1), 0},
        {"no Content-Length", PkgUrl(5000, 1, L"&length=none"), 0},
        {"404", PkgUrl(5000, 1, L"&status=404"), 404},
        {"500", PkgUrl(5000, 1, L"&status=500"), 500},
        {"redirect not followed", PkgUrl(5000, 1, L"&status=302&location=/x"), 302},
        {"refused", L"http://127.0.0.1:1/pkg.bin", ERROR_WINHTTP_CANNOT_CONNECT},
        {"not a URL", L"pkg.bin", 0},
        {"untrusted certificate", svc.HttpsUrl(testsupport::TlsKind::Untrusted, L"/p?size=100"), 0},
        {"expired certificate", svc.HttpsUrl(testsupport::TlsKind::Expired, L"/p?size=100"), 0},
        {"certificate for another name", svc.HttpsUrl(testsupport::TlsKind::WrongName, L"/p?size=100"), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir(L"dl");
        CSliceDownloader dl;
        Recorder rec;
        uint32_t r = dl.Start(c.url, dir.Path(), L"pkg.bin", rec.Fn());
        EXPECT_NE(r, 0u);
        if (c.code) {
            EXPECT_EQ(r, c.code);
        }
        Sleep(100);
        EXPECT_TRUE(rec.Reports().empty());
        EXPECT_FALSE(Exists(dir.File(L"pkg.bin")));
    }
    ScratchDir dir(L"dl");
    CSliceDownloader dl;
    EXPECT_NE(dl.Start(PkgUrl(10, 1), dir.Path(), L"", nullptr), 0u);
    // A folder that cannot be made: a file stands in its way.
    ASSERT_TRUE(testsupport::WriteFileBytes(dir.File(L"blocker"), "x"));
    EXPECT_EQ(dl.Start(PkgUrl(10, 1), dir.File(L"blocker") + L"\\sub", L"pkg.bin", nullptr),
              static_cast<uint32_t>(ERROR_PATH_NOT_FOUND));
}

TEST_F(SliceDownloaderTest, TrustedTlsDownloadWorks)
{
    const uint64_t size = 5000;
    ScratchDir dir(L"dl");
    CSliceDownloader dl;
    dl.SetSliceThresholdsForTesting(kSmall);
    Recorder rec;
    stReport end = {};
    std::wstring url = svc.HttpsUrl(testsupport::TlsKind::Good, L"/pkg.bin?tag=" + tag + L"&size=5000&seed=61");
    ASSERT_EQ(Run(dl, url, dir, rec, &end), 0u);
    EXPECT_EQ(end.state, 3);
    ExpectComplete(dir, size, 61);
}

// Helper mode: the test re-runs its own executable with this test selected
// and --dl-url/--dl-folder, then kills it in the middle of the download.
TEST(SliceDownloaderHelper, Run)
{
    std::wstring url, folder;
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    for (int i = 0; argv && i < argc; ++i) {
        std::wstring a = argv[i];
        if (a.compare(0, 9, L"--dl-url=") == 0)
            url = a.substr(9);
        else if (a.compare(0, 12, L"--dl-folder=") == 0)
            folder = a.substr(12);
    }
    LocalFree(argv);
    if (url.empty())
        GTEST_SKIP() << "only run as the helper of KilledProcessResumes";
    CSliceDownloader dl;
    dl.SetSliceThresholdsForTesting(kSmall);
    ASSERT_EQ(dl.Start(url, folder, L"pkg.bin", nullptr), 0u);
    Sleep(120000); // killed long before
}

TEST_F(SliceDownloaderTest, KilledProcessResumesWithNothingLost)
{
    const uint64_t size = 400 * 1024;
    ScratchDir dir(L"dl");
    std::wstring url = PkgUrl(size, 71);
    ASSERT_TRUE(svc.Set(tag, L"rate=50000"));
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring cmd = L"\"" + std::wstring(exe) + L"\" --gtest_filter=SliceDownloaderHelper.Run --dl-url=\"" + url +
                       L"\" --dl-folder=\"" + dir.Path() + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));

    // Kill it once the resume file shows real progress on every slice.
    std::vector<stSliceRange> plan = PlanSlices(size, 4);
    bool progressed = false;
    for (int i = 0; i < 200 && !progressed; ++i) {
        Sleep(100);
        CIniParse resume;
        resume.Open(L"pkg.bin.ini", dir.Path());
        progressed = true;
        for (int s = 0; s < 4; ++s)
            progressed = progressed && resume.ReadInt64((L"Slice" + std::to_wstring(s)).c_str(), L"size") > 0;
    }
    TerminateProcess(pi.hProcess, 9);
    WaitForSingleObject(pi.hProcess, 10000);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    ASSERT_TRUE(progressed);

    CIniParse resume;
    ASSERT_FALSE(resume.Open(L"pkg.bin.ini", dir.Path()));
    std::vector<uint64_t> saved;
    for (int s = 0; s < 4; ++s) {
        std::wstring sec = L"Slice" + std::to_wstring(s);
        saved.push_back(static_cast<uint64_t>(resume.ReadInt64(sec.c_str(), L"size")));
        EXPECT_GT(saved.back(), 0u);
        EXPECT_GE(SizeOf(dir.File(L"pkg.bin_slice" + std::to_wstring(s))), saved.back());
    }
    // A second process (this one) finishes it from the saved offsets.
    size_t logBefore = svc.Log(tag).size();
    ASSERT_TRUE(svc.Set(tag, L"rate=0"));
    CSliceDownloader dl;
    dl.SetSliceThresholdsForTesting(kSmall);
    Recorder rec;
    stReport end = {};
    ASSERT_EQ(Run(dl, url, dir, rec, &end), 0u);
    EXPECT_EQ(end.state, 3);
    ExpectComplete(dir, size, 71);
    std::multimap<int64_t, std::string> ranges = Ranges(svc.Log(tag), logBefore);
    for (int s = 0; s < 4; ++s) {
        if (saved[s] < plan[s].last - plan[s].first + 1) {
            EXPECT_EQ(ranges.count(static_cast<int64_t>(plan[s].first + saved[s])), 1u) << s;
        }
    }
}
