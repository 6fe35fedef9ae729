#include "net/SliceDownloader.h"

#include "net/FileHandle.h"
#include "net/HttpHandle.h"
#include "net/HttpHeaders.h"
#include "net/HttpUrl.h"
#include "net/WinHttpError.h"

#include <algorithm>
#include <cwchar>

namespace {

const wchar_t kAgent[] = L"supercient";
const wchar_t kHeaderSection[] = L"Download";

// Blocked WinHTTP reads are not woken by closing their handles from another
// thread, so every receive is bounded by this and a timed-out read makes a
// new ranged request from the bytes already written. This is what lets Stop
// return within about a second.
const DWORD kReadWakeMs = 500;
// Waiting for response headers starts at one second and doubles per
// consecutive timeout, so a slow server is still reached.
const DWORD kHeaderWaitMs = 1000;
const DWORD kMaxHeaderWaitMs = 60000;

const size_t kReadBuffer = 256 * 1024;
const DWORD kFlushMs = 200;
const DWORD kMergeChunk = 0x10000;

DWORD NonZero(DWORD error, DWORD fallback)
{
    return error ? error : fallback;
}

bool FileSize(const std::wstring& path, uint64_t& size)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return true;
}

std::wstring FolderOf(const std::wstring& path)
{
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::wstring FileNameOf(const std::wstring& path)
{
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring SliceSection(int64_t index)
{
    return L"Slice" + std::to_wstring(static_cast<long long>(index));
}

} // namespace

int SliceCountFor(uint64_t total, bool acceptsRanges, const stSliceThresholds& thresholds)
{
    if (!acceptsRanges)
        return 1;
    if (total > thresholds.fourSlices)
        return 4;
    if (total > thresholds.threeSlices)
        return 3;
    if (total > thresholds.twoSlices)
        return 2;
    return 1;
}

std::vector<stSliceRange> PlanSlices(uint64_t total, int count)
{
    std::vector<stSliceRange> plan;
    if (total == 0 || count < 1)
        return plan;
    // Never more slices than bytes: every slice holds at least one byte.
    uint64_t n = std::min<uint64_t>(static_cast<uint64_t>(count), total);
    uint64_t part = total / n;
    for (uint64_t i = 0; i < n; ++i) {
        stSliceRange r;
        r.first = part * i;
        r.last = (i + 1 == n) ? total - 1 : part * (i + 1) - 1;
        plan.push_back(r);
    }
    return plan;
}

CSliceDownloader::CSliceDownloader()
{
    m_failEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_stopEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_sliceDoneEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
}

CSliceDownloader::~CSliceDownloader()
{
    Stop();
    if (m_failEvent)
        CloseHandle(m_failEvent);
    if (m_stopEvent)
        CloseHandle(m_stopEvent);
    if (m_sliceDoneEvent)
        CloseHandle(m_sliceDoneEvent);
}

void CSliceDownloader::Report(int state, uint64_t a, uint64_t b, uint64_t c)
{
    if (m_callback)
        m_callback(state, a, b, c);
}

void CSliceDownloader::CloseSession()
{
    if (m_session) {
        WinHttpCloseHandle(m_session);
        m_session = nullptr;
    }
}

void CSliceDownloader::FreeSlices()
{
    for (stDownloadSlice* s : m_slices)
        delete s;
    m_slices.clear();
}

// Polled between reads: flags mirror the two events, since waiting on an
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

uint32_t CSliceDownloader::Start(const std::wstring& url, const std::wstring& folder, const std::wstring& name,
                                 DownloadProgressFn callback)
{
    Stop();
    m_stop = false;
    m_merged = false;
    m_url = url;
    m_callback = std::move(callback);
    m_folder = folder;
    m_name = name;
    m_total = 0;
    m_validator.clear();
    m_target.clear();
    if (name.empty())
        return ERROR_INVALID_PARAMETER;

    stHttpUrl parts;
    if (!CrackHttpUrl(url, &parts))
        return LastWinHttpError(ERROR_WINHTTP_INVALID_URL);
    m_host = parts.host;
    m_port = parts.port;
    m_secure = parts.secure;
    m_pathAndQuery = parts.path;

    m_session = WinHttpOpen(kAgent, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
    if (!m_session)
        return LastWinHttpError(ERROR_WINHTTP_INTERNAL_ERROR);
    auto giveUp = [this](DWORD error) {
        CloseSession();
        return error;
    };
    if (!WinHttpSetTimeouts(m_session, 5000, 5000, 5000, 60000))
        return giveUp(LastWinHttpError(ERROR_WINHTTP_INTERNAL_ERROR));
    // Option 140 is not known to every WinHTTP (Wine answers 12009); the
    // download works without it.
    DWORD one = 1;
    WinHttpSetOption(m_session, 140, &one, sizeof(one));

    // Probe: size, range support and validator. Certificate checks stay on.
    uint64_t total = 0;
    bool acceptsRanges = false;
    bool haveLastModified = false;
    FILETIME lastModified = {};
    {
        CHttpHandle connect(WinHttpConnect(m_session, m_host.c_str(), m_port, 0));
        if (!connect)
            return giveUp(LastWinHttpError(ERROR_WINHTTP_INTERNAL_ERROR));
        CHttpHandle request(WinHttpOpenRequest(connect.Handle(), L"GET", m_pathAndQuery.c_str(), nullptr,
                                                 WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                                 m_secure ? WINHTTP_FLAG_SECURE : 0));
        if (!request)
            return giveUp(LastWinHttpError(ERROR_WINHTTP_INTERNAL_ERROR));
        DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
        WinHttpSetOption(request.Handle(), WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects, sizeof(noRedirects));
        if (!WinHttpSendRequest(request.Handle(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
            !WinHttpReceiveResponse(request.Handle(), nullptr))
            return giveUp(LastWinHttpError(ERROR_WINHTTP_INTERNAL_ERROR));
        DWORD status = QueryStatusCode(request.Handle());
        if (status != 200)
            return giveUp(status ? status : ERROR_WINHTTP_INVALID_SERVER_RESPONSE);
        std::wstring text;
        if (!QueryHeaderText(request.Handle(), WINHTTP_QUERY_CONTENT_LENGTH, text) || !ParseContentLength(text, total) ||
            total == 0)
            return giveUp(ERROR_WINHTTP_INVALID_SERVER_RESPONSE);
        acceptsRanges = QueryHeaderText(request.Handle(), WINHTTP_QUERY_ACCEPT_RANGES, text) && text == L"bytes";
        // If-Range needs a strong validator: a weak ETag would always send
        // the whole body back.
        std::wstring etag;
        if (QueryHeaderText(request.Handle(), WINHTTP_QUERY_ETAG, etag) && !etag.empty() && etag.compare(0, 2, L"W/") != 0)
            m_validator = etag;
        std::wstring modified;
        if (QueryHeaderText(request.Handle(), WINHTTP_QUERY_LAST_MODIFIED, modified) && !modified.empty()) {
            if (m_validator.empty())
                m_validator = modified;
            SYSTEMTIME st = {};
            DWORD size = sizeof(st);
            if (WinHttpQueryHeaders(request.Handle(), WINHTTP_QUERY_LAST_MODIFIED | WINHTTP_QUERY_FLAG_SYSTEMTIME,
                                    WINHTTP_HEADER_NAME_BY_INDEX, &st, &size, WINHTTP_NO_HEADER_INDEX) &&
                SystemTimeToFileTime(&st, &lastModified))
                haveLastModified = true;
        }
        if (m_validator.find_first_of(L"\r\n") != std::wstring::npos)
            m_validator.clear();
    }
    m_total = total;

    int count = SliceCountFor(total, acceptsRanges, m_thresholds);
    std::vector<stSliceRange> plan = PlanSlices(total, count);

    // The resume file; its folder is created here when missing.
    std::wstring resumeName = name + L".ini";
    bool resumeExisted = !m_resume.Open(resumeName, folder) && GetFileAttributesW(m_resume.Path().c_str()) !=
                                                                    INVALID_FILE_ATTRIBUTES;
    if (!m_resume.IsBound())
        return giveUp(ERROR_INVALID_PARAMETER);
    m_target = m_resume.Path().substr(0, m_resume.Path().size() - 4);
    DWORD folderAttributes = GetFileAttributesW(FolderOf(m_target).c_str());
    if (folderAttributes == INVALID_FILE_ATTRIBUTES || !(folderAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return giveUp(ERROR_PATH_NOT_FOUND);

    // Stored progress counts only for the same URL, size and validator:
    // anything else means another file, which must not be spliced on.
    bool sameFile = resumeExisted && m_resume.ReadText(kHeaderSection, L"url") == m_url &&
                    static_cast<uint64_t>(m_resume.ReadInt64(kHeaderSection, L"total")) == total &&
                    m_resume.ReadText(kHeaderSection, L"validator") == m_validator;
    for (size_t i = 0; i < plan.size(); ++i) {
        stDownloadSlice* s = new stDownloadSlice();
        s->index = static_cast<int64_t>(i);
        s->first = plan[i].first;
        s->last = plan[i].last;
        s->path = m_target + L"_slice" + std::to_wstring(static_cast<unsigned long long>(i));
        std::wstring section = SliceSection(s->index);
        uint64_t onDisk = 0;
        if (sameFile && static_cast<uint64_t>(m_resume.ReadInt64(section.c_str(), L"start")) == s->first &&
            static_cast<uint64_t>(m_resume.ReadInt64(section.c_str(), L"end")) == s->last &&
            FileSize(s->path, onDisk)) {
            int64_t stored = m_resume.ReadInt64(section.c_str(), L"size");
            uint64_t done = stored > 0 ? static_cast<uint64_t>(stored) : 0;
            done = std::min(done, onDisk);
            done = std::min(done, s->Length());
            s->downloaded = done;
        }
        m_slices.push_back(s);
    }
    // Slice files of an earlier plan with more slices are of no use now.
    for (size_t i = plan.size(); i < 4; ++i)
        DeleteFileW((m_target + L"_slice" + std::to_wstring(static_cast<unsigned long long>(i))).c_str());

    // A target of the right size counts as done only when no download into
    // it was left unfinished and the server's copy is not newer.
    uint64_t targetSize = 0;
    if (!resumeExisted && FileSize(m_target, targetSize) && targetSize == total) {
        bool stale = false;
        WIN32_FILE_ATTRIBUTE_DATA data;
        if (haveLastModified && GetFileAttributesExW(m_target.c_str(), GetFileExInfoStandard, &data))
            stale = CompareFileTime(&lastModified, &data.ftLastWriteTime) > 0;
        if (!stale) {
            DeleteFileW(m_resume.Path().c_str());
            FreeSlices();
            CloseSession();
            m_merged = true;
            Report(3, total, total, 0);
            return 0;
        }
    }

    SaveResume();

    bool completeAtStart = std::all_of(m_slices.begin(), m_slices.end(),
                                       [](const stDownloadSlice* s) { return s->Complete(); });
    m_failed = false;
    ResetEvent(m_failEvent);
    ResetEvent(m_stopEvent);
    ResetEvent(m_sliceDoneEvent);
    m_pool = new ThreadPool(m_slices.size() + 1);
    if (!completeAtStart) {
        for (stDownloadSlice* s : m_slices) {
            if (!s->Complete())
                m_pool->EnqueueSliceTask([this, s]() { return RunSlice(s); });
        }
    }
    m_pool->EnqueueMergeTask([this, completeAtStart]() { return RunMonitor(completeAtStart); });
    return 0;
}

void CSliceDownloader::Stop()
{
    m_stop = true;
    if (m_stopEvent)
        SetEvent(m_stopEvent);
    if (m_pool) {
        m_pool->Stop();
        delete m_pool;
        m_pool = nullptr;
    }
    CloseSession();
    if (!m_merged && !m_slices.empty())
        SaveResume();
    FreeSlices();
}

bool CSliceDownloader::SaveResume()
{
    std::lock_guard<std::mutex> lock(m_saveMutex);
    if (!m_resume.IsBound() || m_slices.empty())
        return false;
    // Written whole into a copy that then replaces the file, so a kill in
    // the middle leaves the previous complete state.
    const std::wstring& path = m_resume.Path();
    std::wstring temp = path + L".tmp";
    DeleteFileW(temp.c_str());
    CIniParse copy;
    copy.Open(FileNameOf(temp), FolderOf(temp));
    bool ok = copy.WriteText(kHeaderSection, L"url", m_url) &&
              copy.WriteInt64(kHeaderSection, L"total", static_cast<int64_t>(m_total)) &&
              copy.WriteText(kHeaderSection, L"validator", m_validator);
    for (const stDownloadSlice* s : m_slices) {
        if (!ok)
            break;
        std::wstring section = SliceSection(s->index);
        ok = copy.WriteInt64(section.c_str(), L"start", static_cast<int64_t>(s->first)) &&
             copy.WriteInt64(section.c_str(), L"end", static_cast<int64_t>(s->last)) &&
             copy.WriteInt64(section.c_str(), L"size", static_cast<int64_t>(s->downloaded.load()));
    }
    if (ok)
        ok = MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    if (!ok)
        DeleteFileW(temp.c_str());
    return ok;
}

int CSliceDownloader::RunSlice(stDownloadSlice* slice)
{
    std::vector<char> buffer(kReadBuffer);
    DWORD lastProgress = GetTickCount();
    int headerWaits = 0;
    for (;;) {
        if (Cancelled())
            return 0;
        if (slice->Complete()) {
            SetEvent(m_sliceDoneEvent);
            return 0;
        }
        int32_t error = 0;
        switch (TransferOnce(slice, buffer, lastProgress, headerWaits, error)) {
        case Attempt::Done:
            SetEvent(m_sliceDoneEvent);
            return 0;
        case Attempt::Cancelled:
            return 0;
        case Attempt::Failed:
            FailSlice(slice, error);
            return error;
        case Attempt::Retry:
            if (Cancelled())
                return 0;
            if (GetTickCount() - lastProgress >= m_stallMs) {
                FailSlice(slice, ERROR_WINHTTP_TIMEOUT);
                return ERROR_WINHTTP_TIMEOUT;
            }
            break;
        }
    }
}

CSliceDownloader::Attempt CSliceDownloader::TransferOnce(stDownloadSlice* slice, std::vector<char>& buffer,
                                                         DWORD& lastProgress, int& headerWaits, int32_t& error)
{
    auto failed = [&error](DWORD code) {
        error = static_cast<int32_t>(code);
        return IsWinHttpTimeout(code) ? Attempt::Retry : Attempt::Failed;
    };
    uint64_t done = slice->downloaded.load();

    CHttpHandle connect(WinHttpConnect(m_session, m_host.c_str(), m_port, 0));
    if (!connect)
        return failed(LastWinHttpError(ERROR_WINHTTP_INTERNAL_ERROR));
    CHttpHandle request(WinHttpOpenRequest(connect.Handle(), L"GET", m_pathAndQuery.c_str(), nullptr, WINHTTP_NO_REFERER,
                                             WINHTTP_DEFAULT_ACCEPT_TYPES, m_secure ? WINHTTP_FLAG_SECURE : 0));
    if (!request)
        return failed(LastWinHttpError(ERROR_WINHTTP_INTERNAL_ERROR));
    DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
    WinHttpSetOption(request.Handle(), WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects, sizeof(noRedirects));
    DWORD headerWait = std::min<DWORD>(kHeaderWaitMs << std::min(headerWaits, 6), kMaxHeaderWaitMs);
    WinHttpSetTimeouts(request.Handle(), 5000, 5000, 5000, kReadWakeMs);
    WinHttpSetOption(request.Handle(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &headerWait, sizeof(headerWait));

    std::wstring headers = L"Range: bytes=" + std::to_wstring(slice->first + done) + L"-" +
                           std::to_wstring(slice->last) + L"\r\n";
    if (!m_validator.empty())
        headers += L"If-Range: " + m_validator + L"\r\n";
    if (!WinHttpAddRequestHeaders(request.Handle(), headers.c_str(), static_cast<DWORD>(-1),
                                  WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE))
        return failed(LastWinHttpError(ERROR_WINHTTP_INTERNAL_ERROR));
    if (!WinHttpSendRequest(request.Handle(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0))
        return failed(LastWinHttpError(ERROR_WINHTTP_INTERNAL_ERROR));
    if (!WinHttpReceiveResponse(request.Handle(), nullptr)) {
        DWORD code = LastWinHttpError(ERROR_WINHTTP_INTERNAL_ERROR);
        if (IsWinHttpTimeout(code))
            ++headerWaits;
        return failed(code);
    }
    headerWaits = 0;
    if (Cancelled())
        return Attempt::Cancelled;

    // Only the exact range asked for is accepted; a whole body (200) only
    // for a single-slice download, which then starts again from byte 0.
    DWORD status = QueryStatusCode(request.Handle());
    std::wstring text;
    bool restart = false;
    if (status == 206) {
        uint64_t first = 0, last = 0, total = 0;
        if (!QueryHeaderText(request.Handle(), WINHTTP_QUERY_CONTENT_RANGE, text) ||
            !ParseContentRange(text, first, last, total) || first != slice->first + done || last != slice->last ||
            total != m_total)
            return failed(ERROR_WINHTTP_INVALID_SERVER_RESPONSE);
    } else if (status == 200 && m_slices.size() == 1 && slice->first == 0) {
        uint64_t length = 0;
        if (QueryHeaderText(request.Handle(), WINHTTP_QUERY_CONTENT_LENGTH, text) &&
            (!ParseContentLength(text, length) || length != m_total))
            return failed(ERROR_WINHTTP_INVALID_SERVER_RESPONSE);
        restart = done != 0;
    } else if (status == 200 || status == 0) {
        return failed(ERROR_WINHTTP_INVALID_SERVER_RESPONSE);
    } else {
        return failed(status);
    }
    if (restart) {
        slice->downloaded = 0;
        done = 0;
    }

    CFileHandle file;
    if (done > 0) {
        file.Reset(CreateFileW(slice->path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                             nullptr));
        if (!file.Valid())
            return failed(NonZero(GetLastError(), ERROR_FILE_NOT_FOUND));
        LARGE_INTEGER pos;
        pos.QuadPart = static_cast<LONGLONG>(done);
        // Bytes past the counted ones were never confirmed: drop them.
        if (!SetFilePointerEx(file.Get(), pos, nullptr, FILE_BEGIN) || !SetEndOfFile(file.Get()))
            return failed(NonZero(GetLastError(), ERROR_WRITE_FAULT));
    } else {
        file.Reset(CreateFileW(slice->path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                             nullptr));
        if (!file.Valid())
            return failed(NonZero(GetLastError(), ERROR_WRITE_FAULT));
    }
    slice->file = file.Get();
    struct ClearFile {
        stDownloadSlice* s;
        ~ClearFile() { s->file = INVALID_HANDLE_VALUE; }
    } clearFile{slice};

    // Received bytes are gathered in the buffer and written in large
    // blocks, at least every kFlushMs so that progress and the resume file
    // keep up on slow links; a slice's count grows only by bytes that
    // reached its file.
    const uint64_t length = slice->Length();
    size_t filled = 0;
    DWORD lastFlush = GetTickCount();
    auto flush = [&]() -> bool {
        size_t written = 0;
        while (written < filled) {
            DWORD n = 0;
            if (!WriteFile(file.Get(), buffer.data() + written, static_cast<DWORD>(filled - written), &n, nullptr) ||
                n == 0) {
                error = static_cast<int32_t>(NonZero(GetLastError(), ERROR_WRITE_FAULT));
                return false;
            }
            written += n;
            slice->downloaded += n;
        }
        filled = 0;
        lastFlush = GetTickCount();
        return true;
    };
    // Ends the attempt, keeping what was received when it can be written.
    auto finish = [&](Attempt result) {
        if (!flush())
            return Attempt::Failed;
        return result;
    };
    for (;;) {
        if (Cancelled())
            return finish(Attempt::Cancelled);
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(request.Handle(), &available))
            return finish(failed(LastWinHttpError(ERROR_WINHTTP_INTERNAL_ERROR)));
        if (available == 0) {
            error = -1; // the body ended before the range did
            return finish(Attempt::Failed);
        }
        uint64_t remaining = length - slice->downloaded.load() - filled;
        DWORD want = static_cast<DWORD>(std::min<uint64_t>({available, buffer.size() - filled, remaining}));
        DWORD got = 0;
        if (!WinHttpReadData(request.Handle(), buffer.data() + filled, want, &got))
            return finish(failed(LastWinHttpError(ERROR_WINHTTP_INTERNAL_ERROR)));
        if (got == 0) {
            error = -1;
            return finish(Attempt::Failed);
        }
        filled += got;
        lastProgress = GetTickCount();
        if (filled == buffer.size() || got == remaining || GetTickCount() - lastFlush >= kFlushMs) {
            if (!flush())
                return Attempt::Failed;
            if (slice->downloaded.load() >= length)
                return Attempt::Done;
        }
    }
}

int CSliceDownloader::RunMonitor(bool completeAtStart)
{
    uint64_t previous = 0;
    bool first = true;
    HANDLE events[3] = {m_stopEvent, m_failEvent, m_sliceDoneEvent};
    for (;;) {
        DWORD wait = WaitForMultipleObjects(3, events, FALSE, (first && completeAtStart) ? 0 : 1000);
        first = false;
        if (wait == WAIT_OBJECT_0 || m_stop.load())
            return 0;
        if (wait == WAIT_OBJECT_0 + 1) {
            for (stDownloadSlice* s : m_slices) {
                int32_t error = s->error.load();
                if (error != 0) {
                    SaveResume();
                    Report(1, 0, 0, static_cast<uint64_t>(static_cast<int64_t>(error)));
                    return error;
                }
            }
        }
        uint64_t sum = 0;
        bool complete = true;
        for (stDownloadSlice* s : m_slices) {
            sum += s->downloaded.load();
            complete = complete && s->Complete();
        }
        SaveResume();
        Report(1, sum, m_total, sum - previous);
        previous = sum;
        if (complete)
            return Merge();
    }
}

int CSliceDownloader::Merge()
{
    // One complete slice is the whole file already: moving it into place
    // saves a pass over the data.
    uint64_t onlySize = 0;
    if (m_slices.size() == 1 && FileSize(m_slices[0]->path, onlySize) && onlySize == m_total &&
        m_slices[0]->Complete() && !m_stop.load() &&
        MoveFileExW(m_slices[0]->path.c_str(), m_target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        m_merged = true;
        DeleteFileW(m_resume.Path().c_str());
        Report(2, m_total, m_total, 0);
        Report(3, m_total, m_total, 0);
        return 0;
    }

    // The slices go into a temporary file that replaces the target only when
    // every byte is in: the target name never holds a partial merge.
    std::wstring temp = m_target + L".merge";
    CFileHandle target(CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    auto fail = [&](DWORD error) {
        target.Close();
        DeleteFileW(temp.c_str());
        SaveResume();
        if (!m_stop.load())
            Report(2, 0, 0, static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(error))));
        return static_cast<int>(error);
    };
    if (!target.Valid())
        return fail(NonZero(GetLastError(), ERROR_WRITE_FAULT));

    std::vector<char> buffer(kMergeChunk);
    uint64_t merged = 0;
    for (stDownloadSlice* s : m_slices) {
        if (m_stop.load())
            return fail(ERROR_OPERATION_ABORTED);
        CFileHandle in(CreateFileW(s->path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!in.Valid()) {
            DWORD error = NonZero(GetLastError(), ERROR_FILE_NOT_FOUND);
            s->downloaded = 0; // gone: fetch it again next time
            return fail(error);
        }
        uint64_t copied = 0;
        const uint64_t length = s->Length();
        while (copied < length) {
            if (m_stop.load())
                return fail(ERROR_OPERATION_ABORTED);
            DWORD want = static_cast<DWORD>(std::min<uint64_t>(kMergeChunk, length - copied));
            DWORD got = 0;
            if (!ReadFile(in.Get(), buffer.data(), want, &got, nullptr))
                return fail(NonZero(GetLastError(), ERROR_READ_FAULT));
            if (got == 0) {
                // Shorter than counted: keep what is really there.
                s->downloaded = copied;
                return fail(ERROR_HANDLE_EOF);
            }
            DWORD written = 0;
            while (written < got) {
                DWORD n = 0;
                if (!WriteFile(target.Get(), buffer.data() + written, got - written, &n, nullptr) || n == 0)
                    return fail(NonZero(GetLastError(), ERROR_WRITE_FAULT));
                written += n;
            }
            copied += got;
            merged += got;
            Report(2, merged, m_total, 0);
        }
    }
    target.Close();
    if (merged != m_total)
        return fail(ERROR_HANDLE_EOF);
    if (!MoveFileExW(temp.c_str(), m_target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return fail(NonZero(GetLastError(), ERROR_WRITE_FAULT));
    m_merged = true;
    for (stDownloadSlice* s : m_slices)
        DeleteFileW(s->path.c_str());
    DeleteFileW(m_resume.Path().c_str());
    Report(3, m_total, m_total, 0);
    return 0;
}
