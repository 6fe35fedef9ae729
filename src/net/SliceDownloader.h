// Downloads one large file over up to four parallel ranged GETs, keeps the
// progress of each slice in a resume file beside the target, merges the
// slice files into the target and reports through a callback:
//   (1, downloaded, total, since last tick)  once a second
//   (1, 0, 0, error)                         a slice failed (error never 0)
//   (2, merged, total, 0)                    merging
//   (2, 0, 0, error)                         the merge failed (error never 0)
//   (3, total, total, 0)                     the target is complete
// A stop is not reported. Callbacks run on pool threads (or on the caller's
// thread when Start finds the target already complete); they must not call
// Stop directly.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "app/IniParse.h"
#include "net/ThreadPool.h"

using DownloadProgressFn = std::function<void(int state, uint64_t a, uint64_t b, uint64_t c)>;

// Size above which a download gets 2, 3 or 4 slices.
struct stSliceThresholds {
    uint64_t twoSlices = 0x3200000;    // 50 MiB
    uint64_t threeSlices = 0xC800000;  // 200 MiB
    uint64_t fourSlices = 0x40000000;  // 1 GiB
};

struct stSliceRange {
    uint64_t first;
    uint64_t last; // inclusive
};

// Number of slices for a file of `total` bytes; 1 when the server does not
// take byte ranges.
int SliceCountFor(uint64_t total, bool acceptsRanges, const stSliceThresholds& thresholds = stSliceThresholds());
// The byte ranges of `count` slices over `total` bytes (total > 0).
std::vector<stSliceRange> PlanSlices(uint64_t total, int count);

struct stDownloadSlice {
    std::atomic<int32_t> error{0};       // 0 none, -1 body ended early, else Win32/WinHTTP error or HTTP status
    int64_t index = 0;
    uint64_t first = 0;
    uint64_t last = 0;                   // inclusive
    std::atomic<uint64_t> downloaded{0};
    HANDLE file = INVALID_HANDLE_VALUE;
    std::wstring path;

    uint64_t Length() const { return last - first + 1; }
    bool Complete() const { return downloaded.load() == Length(); }
};

class CSliceDownloader {
public:
    CSliceDownloader();
    virtual ~CSliceDownloader();
    CSliceDownloader(const CSliceDownloader&) = delete;
    CSliceDownloader& operator=(const CSliceDownloader&) = delete;

    // 0 when the download was started (or the target was found complete,
    // reported as state 3); otherwise a Win32/WinHTTP error or the HTTP
    // status of the probe. Never 0 when nothing was started.
    uint32_t Start(const std::wstring& url, const std::wstring& folder, const std::wstring& name,
                   DownloadProgressFn callback);
    // Ends every task (within about a second), saves progress for the next
    // Start with the same URL, folder and name.
    void Stop();

    // Tests only: smaller bucket sizes so that multi-slice downloads stay small.
    void SetSliceThresholds(const stSliceThresholds& thresholds) { m_thresholds = thresholds; }
    // How long a slice may go without receiving a byte before it fails with
    // ERROR_WINHTTP_TIMEOUT (60 s, the receive timeout; tests shorten it).
    void SetStallTimeout(DWORD ms) { m_stallMs = ms; }

    uint64_t TotalSize() const { return m_total; }
    size_t SliceCount() const { return m_slices.size(); }
    std::wstring TargetPath() const { return m_target; }
    std::wstring ResumePath() const { return m_target + L".ini"; }

private:
    enum class Attempt { Done, Retry, Failed, Cancelled };

    int RunSlice(stDownloadSlice* slice);
    Attempt TransferOnce(stDownloadSlice* slice, std::vector<char>& buffer, DWORD& lastProgress, int& headerWaits,
                         int32_t& error);
    int RunMonitor(bool completeAtStart);
    int Merge();
    bool SaveResume();
    bool Cancelled() const;
    void FailSlice(stDownloadSlice* slice, int32_t error);
    void Report(int state, uint64_t a, uint64_t b, uint64_t c);
    void CloseSession();
    void FreeSlices();

    std::wstring m_url;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_merged{false};
    uint64_t m_total = 0;
    CIniParse m_resume;
    HANDLE m_failEvent = nullptr;
    HANDLE m_stopEvent = nullptr;
    HINTERNET m_session = nullptr;
    ThreadPool* m_pool = nullptr;
    std::vector<stDownloadSlice*> m_slices;

    // Beyond the core fields: where and what is being fetched.
    HANDLE m_sliceDoneEvent = nullptr; // wakes the monitor when a slice completes
    std::atomic<bool> m_failed{false};  // the failure event, as a flag cheap to poll
    std::wstring m_host;
    INTERNET_PORT m_port = 0;
    std::wstring m_pathAndQuery;
    bool m_secure = false;
    std::wstring m_folder;
    std::wstring m_name;
    std::wstring m_target;
    std::wstring m_validator; // strong ETag or Last-Modified, sent as If-Range
    DownloadProgressFn m_callback;
    stSliceThresholds m_thresholds;
    DWORD m_stallMs = 60000;
    std::mutex m_saveMutex;
};
