// Download benchmark driver: one download per run, timings on stdout as
//   probe_ms=.. transfer_ms=.. merge_ms=.. total_ms=.. bytes=.. ok=..
// Modes:
//   sliced <url> <target>   the sliced downloader (shipping bucket sizes)
//   oneslice <url> <target> the sliced downloader held to one slice
//   single <url> <target>   the single-stream HttpDownloadToFile
#include <windows.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>

#include "net/HttpHelpers.h"
#include "net/NetResManager.h"
#include "net/SliceDownloader.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double, std::milli>(b - a).count();
}

uint64_t FileBytes(const std::wstring& path)
{
    WIN32_FILE_ATTRIBUTE_DATA d;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &d))
        return 0;
    return (static_cast<uint64_t>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
}

int RunSliced(const std::wstring& url, const std::wstring& target, bool oneSlice)
{
    size_t slash = target.find_last_of(L'\\');
    std::wstring folder = target.substr(0, slash);
    std::wstring name = target.substr(slash + 1);
    std::mutex m;
    std::condition_variable cv;
    bool ended = false;
    int endState = 0;
    uint64_t endCode = 0;
    Clock::time_point mergeStart{}, end{};
    bool merging = false;
    CSliceDownloader dl;
    if (oneSlice) {
        stSliceThresholds t;
        t.twoSlices = t.threeSlices = t.fourSlices = UINT64_MAX;
        dl.SetSliceThresholdsForTesting(t);
    }
    Clock::time_point t0 = Clock::now();
    uint32_t r = dl.Start(url, folder, name, [&](int state, uint64_t a, uint64_t b, uint64_t c) {
        std::lock_guard<std::mutex> lock(m);
        if (state == 2 && !merging && b != 0) {
            merging = true;
            mergeStart = Clock::now();
        }
        bool failure = (state == 1 && b == 0) || (state == 2 && a == 0 && b == 0);
        if (state == 3 || failure) {
            ended = true;
            endState = state;
            endCode = c;
            end = Clock::now();
            cv.notify_all();
        }
    });
    Clock::time_point started = Clock::now();
    if (r != 0) {
        printf("ok=0 error=%u\n", r);
        return 1;
    }
    {
        std::unique_lock<std::mutex> lock(m);
        cv.wait(lock, [&]() { return ended; });
    }
    dl.Stop();
    if (!merging)
        mergeStart = end;
    printf("probe_ms=%.1f transfer_ms=%.1f merge_ms=%.1f total_ms=%.1f bytes=%llu slices=%zu ok=%d code=%llu\n",
           Ms(t0, started), Ms(started, mergeStart), Ms(mergeStart, end), Ms(t0, end),
           static_cast<unsigned long long>(FileBytes(target)), oneSlice ? size_t(1) : size_t(0),
           endState == 3 ? 1 : 0, static_cast<unsigned long long>(endCode));
    return endState == 3 ? 0 : 1;
}

int RunHttpDownload(const std::wstring& url, const std::wstring& target)
{
    AcquireNetResManager();
    Clock::time_point t0 = Clock::now();
    bool ok = HttpDownloadToFile(url.c_str(), target.c_str());
    Clock::time_point t1 = Clock::now();
    ReleaseNetResManager();
    printf("probe_ms=0 transfer_ms=%.1f merge_ms=0 total_ms=%.1f bytes=%llu ok=%d via=HttpDownloadToFile\n",
           Ms(t0, t1), Ms(t0, t1), static_cast<unsigned long long>(FileBytes(target)), ok ? 1 : 0);
    return ok ? 0 : 1;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: SliceBench sliced|single <url> <target path>\n");
        return 2;
    }
    std::wstring mode = argv[1];
    if (mode == L"sliced")
        return RunSliced(argv[2], argv[3], false);
    if (mode == L"oneslice")
        return RunSliced(argv[2], argv[3], true);
    if (mode == L"single")
        return RunHttpDownload(argv[2], argv[3]);
    fprintf(stderr, "unknown mode\n");
    return 2;
}
