// Downloads one large file over up to four parallel ranged GETs, keeps the
// progress of each slice in a resume file beside the target, merges the
// slice files into the target and reports through a callback:
//   (1, downloaded, total, bytes per second)  about once a second
//   (1, 0, 0, error)                          a slice failed (error never 0)
//   (2, merged, total, 0)                     merging (every kMergeReportMs
//                                             and at the end of each slice)
//   (2, 0, 0, error)                          the merge failed (error never 0)
//   (3, total, total, 0)                      the target is complete
// A stop is not reported. Callbacks run on pool threads (or on the caller's
// thread when Start finds the target already complete); they must not call
// Stop directly.
//
// The class runs on three kinds of thread, one source file each:
//   SliceDownloader.cpp           the caller: Start (probe, plan, launch), Stop
//   SliceDownloader.transfer.cpp  one pool thread per slice: the ranged GETs
//   SliceDownloader.monitor.cpp   the monitor pool thread: ticks and merge
// Planning decisions are pure functions in SlicePlan.h.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "app/IniParse.h"
#include "net/HttpHandle.h"
#include "net/SlicePlan.h"
#include "net/ThreadPool.h"

class CCancellableRequest;
class CFileHandle;

using DownloadProgressFn = std::function<void(int state, uint64_t a, uint64_t b, uint64_t c)>;

// The `state` of a progress report; the callback receives these values.
enum DownloadState : int {
    kDownloadProgress = 1, // a tick, or a slice failure (b == 0)
    kDownloadMerge = 2,    // merge progress, or a merge failure (a == b == 0)
    kDownloadComplete = 3, // the target is complete
};

struct stDownloadSlice {
    std::atomic<int32_t> error{0};       // 0 none, -1 body ended early, else Win32/WinHTTP error or HTTP status
    int64_t index = 0;
    uint64_t first = 0;
    uint64_t last = 0;                   // inclusive
    std::atomic<uint64_t> downloaded{0}; // bytes of the range in the slice file, from its start
    std::wstring path;

    uint64_t Length() const { return last - first + 1; }
    bool Complete() const { return downloaded.load() == Length(); }
};

class CSliceDownloader {
public:
    // The merge reports its progress at most this often, and whenever a
    // slice has been appended whole: a report per copied piece was thousands
    // of calls for a package of a few hundred MiB, each one a posted window
    // message and a repaint of the bar in the installer, slowing the merge.
    static constexpr DWORD kMergeReportMs = 100;

    CSliceDownloader();
    virtual ~CSliceDownloader();
    CSliceDownloader(const CSliceDownloader&) = delete;
    CSliceDownloader& operator=(const CSliceDownloader&) = delete;

    // Caller's thread. 0 when the download was started (or the target was
    // found complete, reported as state 3); otherwise a Win32/WinHTTP error
    // or the HTTP status of the probe, and nothing was started. A name that
    // is not one plain file name (IsPlainFileName) is refused with
    // ERROR_INVALID_PARAMETER and a name that is an existing folder with
    // ERROR_ALREADY_EXISTS, both before anything is fetched or written.
    uint32_t Start(const std::wstring& url, const std::wstring& folder, const std::wstring& name,
                   DownloadProgressFn callback);
    // Caller's thread. Ends every task within about a second, whatever
    // phase a slice is in, and saves progress for the next Start with the
    // same URL, folder and name.
    void Stop();

    // Tests and benchmarks only: other bucket sizes (small ones keep
    // multi-slice downloads small). Before Start.
    void SetSliceThresholdsForTesting(const stSliceThresholds& thresholds) { m_thresholds = thresholds; }
    // Tests only: how long a slice may wait for the response headers or go
    // without receiving a byte before it fails with ERROR_WINHTTP_TIMEOUT
    // (default kStallTimeoutMs, 60 s). Before Start.
    void SetStallTimeoutForTesting(DWORD ms) { m_stallMs = ms; }

    uint64_t TotalSize() const { return m_total; }
    size_t SliceCount() const { return m_slices.size(); }
    std::wstring TargetPath() const { return m_target; }
    std::wstring ResumePath() const { return m_target + L".ini"; }

private:
    enum class Attempt { Done, Retry, Failed, Cancelled };
    // One slice task's state across its requests (slice thread only).
    struct stSliceRun {
        uint64_t lastProgressMs = 0; // when a byte last arrived (or the task began)
        bool receivedBytes = false;  // bytes arrived in this run
        uint32_t readSize = kFirstReadBytes;
        DWORD error = 0;             // why the last attempt ended
    };
    struct stProbe;

    // Caller's thread (SliceDownloader.cpp).
    DWORD CheckTarget(const std::wstring& url, const std::wstring& folder, const std::wstring& name);
    DWORD OpenSession();
    DWORD Probe(stProbe& probe);
    DWORD PlanFromResume(const stProbe& probe, const std::wstring& folder, const std::wstring& name,
                         bool& resumeExisted);
    bool TargetAlreadyComplete(const stProbe& probe) const;
    void Launch();
    bool SaveResume();
    void FreeSlices();
    // Any thread: request options of the probe and the slices, and what
    // version of the file an answer names.
    static void ApplyRequestOptions(HINTERNET request, DWORD waitMs);
    static stValidators ReadVersion(HINTERNET request);

    // Slice threads (SliceDownloader.transfer.cpp).
    int RunSlice(stDownloadSlice* slice);
    Attempt TransferOnce(stDownloadSlice& slice, stSliceRun& run);
    DWORD OpenRangeRequest(CCancellableRequest& request, const stDownloadSlice& slice);
    DWORD CheckAnswer(HINTERNET request, stDownloadSlice& slice, const stSliceRun& run, bool& restart);
    DWORD OpenSliceFile(const stDownloadSlice& slice, CFileHandle& file);
    Attempt ReceiveBody(CCancellableRequest& request, stDownloadSlice& slice, CFileHandle& file,
                        stSliceRun& run);
    bool WriteReceived(const char* data, DWORD size, stDownloadSlice& slice, CFileHandle& file, stSliceRun& run);
    Attempt Outcome(DWORD error, stSliceRun& run);
    bool Cancelled() const;
    void FailSlice(stDownloadSlice* slice, int32_t error);

    // Monitor thread (SliceDownloader.monitor.cpp).
    int RunMonitor(bool completeAtStart);
    bool AllSlicesComplete() const;
    int ReportFailure();
    void ReportTick(stTickClock& clock, uint64_t nowMs);
    int Merge();
    DWORD WaitOutSharing(const std::function<DWORD()>& attempt);
    DWORD OpenForMerge(stDownloadSlice& slice, DWORD access, DWORD share, CFileHandle& file);
    DWORD CutToCount(CFileHandle& file, stDownloadSlice& slice);
    DWORD AppendSlice(CFileHandle& target, stDownloadSlice& slice, uint64_t& merged, uint64_t& reportedMs);
    int FailMerge(DWORD error);
    void Report(int state, uint64_t a, uint64_t b, uint64_t c);

    std::wstring m_url;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_merged{false};
    uint64_t m_total = 0;
    CIniParse m_resume;
    HANDLE m_failEvent = nullptr;
    HANDLE m_stopEvent = nullptr;
    CHttpHandle m_session; // asynchronous WinHTTP session of the probe and the slices
    std::unique_ptr<ThreadPool> m_pool;
    std::vector<std::unique_ptr<stDownloadSlice>> m_slices;

    // Beyond the core fields: where and what is being fetched.
    HANDLE m_sliceDoneEvent = nullptr; // wakes the monitor when a slice completes
    std::atomic<bool> m_failed{false};  // the failure event, as a flag cheap to poll
    // Set when an answer named another version of the file: the bytes kept
    // so far are of no use, so the resume file keeps none of them.
    std::atomic<bool> m_versionChanged{false};
    std::atomic<uint64_t> m_fetched{0}; // bytes received by all slices in this run
    uint64_t m_startMs = 0;
    std::wstring m_host;
    INTERNET_PORT m_port = 0;
    std::wstring m_pathAndQuery;
    bool m_secure = false;
    std::wstring m_target;
    stValidators m_probeVersion;  // what the probe said the file is
    std::wstring m_validator;     // strong ETag or Last-Modified, sent as If-Range
    DownloadProgressFn m_callback;
    stSliceThresholds m_thresholds;
    DWORD m_stallMs;
    std::mutex m_saveMutex;
};
