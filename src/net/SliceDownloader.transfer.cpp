// The slice threads of the sliced downloader: one task per slice fetches the
// rest of its range into its slice file. A task touches its own slice
// record, m_fetched and the failure flag; it reads the plan fields that
// Start wrote before the pool began.
#include "net/SliceDownloader.h"

#include "net/CancellableRequest.h"
#include "net/FileHandle.h"
#include "net/HttpHeaders.h"
#include "net/WinHttpError.h"

namespace {

DWORD NonZero(DWORD error, DWORD fallback)
{
    return error ? error : fallback;
}

} // namespace

// Polled between steps: flags mirror the two events, since waiting on an
// event, even with time-out 0, is a round trip to the Wine server.
bool CSliceDownloader::Cancelled() const
{
    return m_stop.load() || m_failed.load();
}

void CSliceDownloader::FailSlice(stDownloadSlice* slice, int32_t error)
{
    // The monitor reads the error once the event is seen: store it first.
    slice->error.store(error != 0 ? error : static_cast<int32_t>(ERROR_WINHTTP_INTERNAL_ERROR));
    m_failed = true;
    SetEvent(m_failEvent);
}

int CSliceDownloader::RunSlice(stDownloadSlice* slice)
{
    stSliceRun run;
    run.lastProgressMs = GetTickCount64();
    for (;;) {
        if (Cancelled())
            return 0;
        if (slice->Complete()) {
            SetEvent(m_sliceDoneEvent);
            return 0;
        }
        switch (TransferOnce(*slice, run)) {
        case Attempt::Done:
            SetEvent(m_sliceDoneEvent);
            return 0;
        case Attempt::Cancelled:
            return 0;
        case Attempt::Retry:
            if (GetTickCount64() - run.lastProgressMs < m_stallMs)
                break;
            run.error = ERROR_WINHTTP_TIMEOUT;
            FailSlice(slice, static_cast<int32_t>(run.error));
            return static_cast<int>(run.error);
        case Attempt::Failed:
            FailSlice(slice, static_cast<int32_t>(run.error));
            return static_cast<int>(run.error);
        }
    }
}

// One ranged request for the rest of the slice, received into its file.
CSliceDownloader::Attempt CSliceDownloader::TransferOnce(stDownloadSlice& slice, stSliceRun& run)
{
    // Room for the buffered bytes and the read after them.
    CCancellableRequest request({m_stopEvent, m_failEvent}, 2 * static_cast<size_t>(kMaxReadBytes));
    DWORD error = OpenRangeRequest(request, slice);
    if (!error)
        error = request.Send();
    if (error)
        return Outcome(error, run);
    bool restart = false;
    if (DWORD refused = CheckAnswer(request.Handle(), slice, run, restart))
        return Outcome(refused, run);
    if (restart)
        slice.downloaded = 0;
    CFileHandle file;
    if (DWORD fileError = OpenSliceFile(slice, file))
        return Outcome(fileError, run);
    return ReceiveBody(request, slice, file, run);
}

// Timeouts of a name look-up, connect or send are tried again (up to the
// stall limit); a cancel ends the task quietly; anything else fails it.
CSliceDownloader::Attempt CSliceDownloader::Outcome(DWORD error, stSliceRun& run)
{
    run.error = error;
    if (error == ERROR_WINHTTP_OPERATION_CANCELLED || Cancelled())
        return Attempt::Cancelled;
    return IsWinHttpTimeout(error) ? Attempt::Retry : Attempt::Failed;
}

DWORD CSliceDownloader::OpenRangeRequest(CCancellableRequest& request, const stDownloadSlice& slice)
{
    if (DWORD error = request.Open(m_session.Handle(), m_host, m_port, m_pathAndQuery, m_secure))
        return error;
    // Headers and every later byte are waited for up to the stall limit on
    // this one response: a pause of the server is waited out, never turned
    // into a new request.
    ApplyRequestOptions(request.Handle(), m_stallMs);
    std::wstring headers = L"Range: bytes=" + std::to_wstring(slice.first + slice.downloaded.load()) + L"-" +
                           std::to_wstring(slice.last) + L"\r\n";
    if (!m_validator.empty())
        headers += L"If-Range: " + m_validator + L"\r\n";
    if (!WinHttpAddRequestHeaders(request.Handle(), headers.c_str(), static_cast<DWORD>(-1),
                                  WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE))
        return LastWinHttpError(ERROR_WINHTTP_INTERNAL_ERROR);
    return 0;
}

// Only the exact range asked for of the version the probe saw is accepted;
// a whole body (200) only for a single-slice download, which then starts
// again from byte 0, once per run: a second restart would repeat the bytes
// again and again on a link that keeps failing.
DWORD CSliceDownloader::CheckAnswer(HINTERNET request, stDownloadSlice& slice, const stSliceRun& run, bool& restart)
{
    restart = false;
    uint64_t done = slice.downloaded.load();
    DWORD status = QueryStatusCode(request);
    std::wstring text;
    if (status == 206) {
        uint64_t first = 0, last = 0, total = 0;
        if (!QueryHeaderText(request, WINHTTP_QUERY_CONTENT_RANGE, text) || !ParseContentRange(text, first, last, total) ||
            first != slice.first + done || last != slice.last || total != m_total)
            return ERROR_WINHTTP_INVALID_SERVER_RESPONSE;
    } else if (status == 200 && m_slices.size() == 1 && slice.first == 0) {
        uint64_t length = 0;
        if (QueryHeaderText(request, WINHTTP_QUERY_CONTENT_LENGTH, text) &&
            (!ParseContentLength(text, length) || length != m_total))
            return ERROR_WINHTTP_INVALID_SERVER_RESPONSE;
        restart = done != 0;
        if (restart && run.receivedBytes)
            return ERROR_WINHTTP_INVALID_SERVER_RESPONSE;
    } else if (status == 200 || status == 0) {
        return ERROR_WINHTTP_INVALID_SERVER_RESPONSE;
    } else {
        return status;
    }
    // A server or cache that ignores If-Range answers a range of whatever it
    // holds now: bytes of another version must never join the ones kept.
    if (!SameVersion(m_probeVersion, ReadVersion(request))) {
        m_versionChanged = true;
        return ERROR_WINHTTP_INVALID_SERVER_RESPONSE;
    }
    return 0;
}

// Opened for the bytes from slice.downloaded on: bytes past the counted ones
// were never confirmed and are dropped.
DWORD CSliceDownloader::OpenSliceFile(const stDownloadSlice& slice, CFileHandle& file)
{
    uint64_t done = slice.downloaded.load();
    if (done == 0) {
        file.Reset(CreateFileW(slice.path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                               nullptr));
        return file.Valid() ? 0 : NonZero(GetLastError(), ERROR_WRITE_FAULT);
    }
    file.Reset(CreateFileW(slice.path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr));
    if (!file.Valid())
        return NonZero(GetLastError(), ERROR_FILE_NOT_FOUND);
    LARGE_INTEGER pos;
    pos.QuadPart = static_cast<LONGLONG>(done);
    if (!SetFilePointerEx(file.Get(), pos, nullptr, FILE_BEGIN) || !SetEndOfFile(file.Get()))
        return NonZero(GetLastError(), ERROR_WRITE_FAULT);
    return 0;
}

// Each round takes the bytes already buffered, then reads up to the read
// size more (see CCancellableRequest::Read for why in that order). A slice's
// count grows only by bytes written to its file.
CSliceDownloader::Attempt CSliceDownloader::ReceiveBody(CCancellableRequest& request, stDownloadSlice& slice,
                                                        CFileHandle& file, stSliceRun& run)
{
    const uint64_t length = slice.Length();
    while (slice.downloaded.load() < length) {
        if (Cancelled())
            return Attempt::Cancelled;
        DWORD available = 0;
        if (DWORD error = request.QueryAvailable(&available))
            return Outcome(error, run);
        uint64_t remaining = length - slice.downloaded.load();
        DWORD buffered = static_cast<DWORD>(std::min<uint64_t>({available, remaining, kMaxReadBytes}));
        DWORD got = 0;
        if (buffered > 0) {
            if (DWORD error = request.Read(0, buffered, &got))
                return Outcome(error, run);
        }
        if (got == 0) {
            run.error = static_cast<DWORD>(-1); // the body ended before the range did
            return Attempt::Failed;
        }
        DWORD more = 0;
        if (got == available && remaining > got) {
            uint64_t readStart = GetTickCount64();
            DWORD want = static_cast<DWORD>(std::min<uint64_t>(run.readSize, remaining - got));
            if (DWORD error = request.Read(got, want, &more)) {
                if (!WriteReceived(request.Data(), got, slice, file, run))
                    return Attempt::Failed;
                return Outcome(error, run);
            }
            run.readSize = NextReadSize(run.readSize, GetTickCount64() - readStart);
        }
        if (!WriteReceived(request.Data(), got + more, slice, file, run))
            return Attempt::Failed;
    }
    return Attempt::Done;
}

bool CSliceDownloader::WriteReceived(const char* data, DWORD size, stDownloadSlice& slice, CFileHandle& file,
                                     stSliceRun& run)
{
    run.lastProgressMs = GetTickCount64();
    run.receivedBytes = true;
    DWORD written = 0;
    while (written < size) {
        DWORD n = 0;
        if (!WriteFile(file.Get(), data + written, size - written, &n, nullptr) || n == 0) {
            run.error = NonZero(GetLastError(), ERROR_WRITE_FAULT);
            return false;
        }
        written += n;
        slice.downloaded += n;
        m_fetched += n;
    }
    return true;
}
