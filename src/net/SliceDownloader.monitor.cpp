// The monitor thread of the sliced downloader: progress ticks, the resume
// file while the slices run, failure reports and the merge. It reads the
// slices' counts and errors (atomics) and, once every slice is complete,
// owns the slice files.
#include "net/SliceDownloader.h"

#include "net/FileHandle.h"

#include <algorithm>

namespace {

// Progress is reported, and the resume file written, once a second.
const DWORD kTickMs = 1000;
// The merge copies in pieces of this size and reports after each. Larger
// pieces are slower, not faster, under Wine (measured: copying 840 MB in
// 1 MiB pieces took 2.4-5 s, in 64 KiB pieces 0.8-2 s).
const DWORD kMergeChunkBytes = 0x10000;
// Another program (a virus scanner, a backup or indexing service) may hold
// a slice file for a moment: a sharing violation is tried again every
// kShareRetryMs for up to kShareWaitMs before the merge gives up.
const DWORD kShareRetryMs = 100;
const uint64_t kShareWaitMs = 3000;

DWORD NonZero(DWORD error, DWORD fallback)
{
    return error ? error : fallback;
}

bool IsPassingLock(DWORD error)
{
    return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
}

bool IsMissing(DWORD error)
{
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

} // namespace

int CSliceDownloader::RunMonitor(bool completeAtStart)
{
    stTickClock clock;
    clock.atMs = m_startMs;
    HANDLE events[3] = {m_stopEvent, m_failEvent, m_sliceDoneEvent};
    DWORD waitMs = completeAtStart ? 0 : kTickMs;
    for (;;) {
        DWORD wait = WaitForMultipleObjects(3, events, FALSE, waitMs);
        if (wait == WAIT_OBJECT_0 || m_stop.load())
            return 0;
        if (wait == WAIT_OBJECT_0 + 1) {
            if (int error = ReportFailure())
                return error;
        }
        uint64_t now = GetTickCount64();
        bool complete = AllSlicesComplete();
        // A slice that finished early wakes the monitor only to see whether
        // all are done; ticks stay a second apart.
        uint64_t sinceTick = now - clock.atMs;
        if (!complete && wait == WAIT_OBJECT_0 + 2 && sinceTick < kTickMs) {
            waitMs = static_cast<DWORD>(kTickMs - sinceTick);
            continue;
        }
        ReportTick(clock, now);
        if (complete)
            return Merge();
        waitMs = kTickMs;
    }
}

bool CSliceDownloader::AllSlicesComplete() const
{
    return std::all_of(m_slices.begin(), m_slices.end(),
                       [](const std::unique_ptr<stDownloadSlice>& s) { return s->Complete(); });
}

// The first slice with an error is reported and ends the run; 0 when none
// has one.
int CSliceDownloader::ReportFailure()
{
    for (const std::unique_ptr<stDownloadSlice>& s : m_slices) {
        int32_t error = s->error.load();
        if (error != 0) {
            SaveResume();
            Report(kDownloadProgress, 0, 0, static_cast<uint64_t>(static_cast<int64_t>(error)));
            return error;
        }
    }
    return 0;
}

void CSliceDownloader::ReportTick(stTickClock& clock, uint64_t nowMs)
{
    uint64_t sum = 0;
    for (const std::unique_ptr<stDownloadSlice>& s : m_slices)
        sum += s->downloaded.load();
    SaveResume();
    stTick tick = NextTick(clock, sum, m_fetched.load(), nowMs);
    Report(kDownloadProgress, tick.downloaded, m_total, tick.bytesPerSecond);
}

// The first slice's file becomes the target: the later slices are appended
// to it and it takes the target's name once it holds every byte. Until then
// every slice file keeps its name and its bytes and the resume file stays
// right, so a stop or a failure in the middle loses nothing: the next merge
// cuts the first file back to its own bytes and appends again.
int CSliceDownloader::Merge()
{
    stDownloadSlice& head = *m_slices.front();
    CFileHandle target;
    if (DWORD error = OpenForMerge(head, GENERIC_READ | GENERIC_WRITE, 0, target))
        return FailMerge(error);
    if (DWORD error = CutToCount(target, head))
        return FailMerge(error);
    uint64_t merged = head.Length();
    Report(kDownloadMerge, merged, m_total, 0);
    uint64_t reportedMs = GetTickCount64();
    for (size_t i = 1; i < m_slices.size(); ++i) {
        if (m_stop.load())
            return FailMerge(ERROR_OPERATION_ABORTED);
        if (DWORD error = AppendSlice(target, *m_slices[i], merged, reportedMs))
            return FailMerge(error);
    }
    target.Close();
    if (merged != m_total)
        return FailMerge(ERROR_HANDLE_EOF);
    if (DWORD error = WaitOutSharing([&]() {
            return MoveFileExW(head.path.c_str(), m_target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
                       ? 0
                       : NonZero(GetLastError(), ERROR_WRITE_FAULT);
        }))
        return FailMerge(error);
    m_merged = true;
    for (size_t i = 1; i < m_slices.size(); ++i)
        DeleteFileW(m_slices[i]->path.c_str());
    DeleteFileW(m_resume.Path().c_str());
    Report(kDownloadComplete, m_total, m_total, 0);
    return 0;
}

// Runs attempt until it succeeds or fails with something other than a
// passing sharing violation, for up to kShareWaitMs; a stop ends the wait.
DWORD CSliceDownloader::WaitOutSharing(const std::function<DWORD()>& attempt)
{
    uint64_t deadline = GetTickCount64() + kShareWaitMs;
    for (;;) {
        DWORD error = attempt();
        if (!IsPassingLock(error) || m_stop.load() || GetTickCount64() >= deadline)
            return error;
        WaitForSingleObject(m_stopEvent, kShareRetryMs);
    }
}

// Only a slice file that is really gone loses its count; one that cannot be
// opened for any other reason keeps it for the next merge.
DWORD CSliceDownloader::OpenForMerge(stDownloadSlice& slice, DWORD access, DWORD share, CFileHandle& file)
{
    DWORD error = WaitOutSharing([&]() {
        file.Reset(CreateFileW(slice.path.c_str(), access, share, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        return file.Valid() ? 0 : NonZero(GetLastError(), ERROR_FILE_NOT_FOUND);
    });
    if (IsMissing(error))
        slice.downloaded = 0;
    return error;
}

// The first slice's file holds its own bytes, and possibly the start of an
// earlier merge after them: cut back to the slice's count. A file shorter
// than its count keeps what it really has.
DWORD CSliceDownloader::CutToCount(CFileHandle& file, stDownloadSlice& slice)
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.Get(), &size))
        return NonZero(GetLastError(), ERROR_READ_FAULT);
    uint64_t length = slice.Length();
    if (static_cast<uint64_t>(size.QuadPart) < length) {
        slice.downloaded = static_cast<uint64_t>(size.QuadPart);
        return ERROR_HANDLE_EOF;
    }
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(length);
    if (!SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN) || !SetEndOfFile(file.Get()))
        return NonZero(GetLastError(), ERROR_WRITE_FAULT);
    return 0;
}

// Reports the merged count when kMergeReportMs passed since reportedMs and
// once the slice is appended whole.
DWORD CSliceDownloader::AppendSlice(CFileHandle& target, stDownloadSlice& slice, uint64_t& merged,
                                    uint64_t& reportedMs)
{
    CFileHandle in;
    if (DWORD error = OpenForMerge(slice, GENERIC_READ, FILE_SHARE_READ, in))
        return error;
    std::vector<char> buffer(kMergeChunkBytes);
    const uint64_t length = slice.Length();
    uint64_t copied = 0;
    while (copied < length) {
        if (m_stop.load())
            return ERROR_OPERATION_ABORTED;
        DWORD want = static_cast<DWORD>(std::min<uint64_t>(kMergeChunkBytes, length - copied));
        DWORD got = 0;
        if (!ReadFile(in.Get(), buffer.data(), want, &got, nullptr))
            return NonZero(GetLastError(), ERROR_READ_FAULT);
        if (got == 0) {
            slice.downloaded = copied; // shorter than counted: keep what is really there
            return ERROR_HANDLE_EOF;
        }
        DWORD written = 0;
        while (written < got) {
            DWORD n = 0;
            if (!WriteFile(target.Get(), buffer.data() + written, got - written, &n, nullptr) || n == 0)
                return NonZero(GetLastError(), ERROR_WRITE_FAULT);
            written += n;
        }
        copied += got;
        merged += got;
        const uint64_t now = GetTickCount64();
        if (copied == length || now - reportedMs >= kMergeReportMs) {
            reportedMs = now;
            Report(kDownloadMerge, merged, m_total, 0);
        }
    }
    return 0;
}

int CSliceDownloader::FailMerge(DWORD error)
{
    SaveResume();
    if (!m_stop.load())
        Report(kDownloadMerge, 0, 0, static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(error))));
    return static_cast<int>(error);
}
