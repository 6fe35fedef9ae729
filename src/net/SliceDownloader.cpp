// The caller's side of the sliced downloader: Start (check the name, probe,
// plan from the resume file, launch the pool) and Stop. Touches every field;
// the pool threads run only between Launch and the pool's Stop.
#include "net/SliceDownloader.h"

#include "net/CancellableRequest.h"
#include "net/FileHandle.h"
#include "net/HttpHeaders.h"
#include "net/HttpUrl.h"
#include "net/WinHttpError.h"

#include <algorithm>

namespace {

const wchar_t kAgent[] = L"supercient";
const wchar_t kHeaderSection[] = L"Download";

// A name look-up, a connect or a send that takes longer than this has
// failed; a slice then tries again until its stall limit.
const DWORD kResolveTimeoutMs = 5000;
const DWORD kConnectTimeoutMs = 5000;
const DWORD kSendTimeoutMs = 5000;
// How long the probe waits for the response headers.
const DWORD kProbeWaitMs = 60000;
// How long a slice waits for headers or for the next byte before it fails.
const DWORD kStallTimeoutMs = 60000;
// Slice files beyond the plan's count are left-overs of an earlier plan.
const int kMostSlices = 4;

std::wstring SliceSection(int64_t index)
{
    return L"Slice" + std::to_wstring(static_cast<long long>(index));
}

std::wstring SlicePath(const std::wstring& target, size_t index)
{
    return target + L"_slice" + std::to_wstring(static_cast<unsigned long long>(index));
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

// The folder the resume file (CIniParse) puts the download in: the given
// one, or the executable's folder when it is empty; with a final separator.
std::wstring DownloadFolder(const std::wstring& folder)
{
    std::wstring dir = folder;
    if (dir.empty()) {
        wchar_t exe[MAX_PATH] = {};
        DWORD n = GetModuleFileNameW(nullptr, exe, MAX_PATH);
        dir = FolderOf(std::wstring(exe, n));
    }
    if (!dir.empty() && dir.back() != L'\\' && dir.back() != L'/')
        dir += L'\\';
    return dir;
}

} // namespace

struct CSliceDownloader::stProbe {
    uint64_t total = 0;
    bool acceptsRanges = false;
    stValidators version;
    bool haveLastModified = false;
    FILETIME lastModified = {};
};

CSliceDownloader::CSliceDownloader() : m_stallMs(kStallTimeoutMs)
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

uint32_t CSliceDownloader::Start(const std::wstring& url, const std::wstring& folder, const std::wstring& name,
                                 DownloadProgressFn callback)
{
    Stop();
    m_stop = false;
    m_merged = false;
    m_url = url;
    m_callback = std::move(callback);
    m_total = 0;
    if (DWORD error = CheckTarget(url, folder, name))
        return error;
    if (DWORD error = OpenSession())
        return error;
    stProbe probe;
    bool resumeExisted = false;
    DWORD error = Probe(probe);
    if (!error)
        error = PlanFromResume(probe, folder, name, resumeExisted);
    if (error) {
        FreeSlices();
        m_session.Close();
        return error;
    }
    if (!resumeExisted && TargetAlreadyComplete(probe)) {
        DeleteFileW(m_resume.Path().c_str());
        FreeSlices();
        m_session.Close();
        m_merged = true;
        Report(kDownloadComplete, m_total, m_total, 0);
        return 0;
    }
    SaveResume();
    Launch();
    return 0;
}

// Everything that can be refused without the network, before anything is
// fetched or written.
DWORD CSliceDownloader::CheckTarget(const std::wstring& url, const std::wstring& folder, const std::wstring& name)
{
    m_target = DownloadFolder(folder) + name;
    if (!IsPlainFileName(name))
        return ERROR_INVALID_PARAMETER;
    DWORD attributes = GetFileAttributesW(m_target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return ERROR_ALREADY_EXISTS;
    stHttpUrl parts;
    if (!CrackHttpUrl(url, &parts))
        return LastWinHttpError(ERROR_WINHTTP_INVALID_URL);
    m_host = parts.host;
    m_port = parts.port;
    m_secure = parts.secure;
    m_pathAndQuery = parts.path;
    return 0;
}

DWORD CSliceDownloader::OpenSession()
{
    m_session.Attach(WinHttpOpen(kAgent, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS,
                                 WINHTTP_FLAG_ASYNC));
    if (!m_session)
        return LastWinHttpError(ERROR_WINHTTP_INTERNAL_ERROR);
    // Trying IPv4 at once when IPv6 is slow to connect. Optional: Wine does
    // not know the option (12009) and the download works without it.
    DWORD enable = 1;
    WinHttpSetOption(m_session.Handle(), WINHTTP_OPTION_IPV6_FAST_FALLBACK, &enable, sizeof(enable));
    return 0;
}

void CSliceDownloader::ApplyRequestOptions(HINTERNET request, DWORD waitMs)
{
    // Failures leave WinHTTP's defaults, which also end every step.
    WinHttpSetTimeouts(request, kResolveTimeoutMs, kConnectTimeoutMs, kSendTimeoutMs, waitMs);
    WinHttpSetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &waitMs, sizeof(waitMs));
    DWORD noRedirects = WINHTTP_DISABLE_REDIRECTS;
    WinHttpSetOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &noRedirects, sizeof(noRedirects));
}

stValidators CSliceDownloader::ReadVersion(HINTERNET request)
{
    stValidators version;
    QueryHeaderText(request, WINHTTP_QUERY_ETAG, version.etag);
    QueryHeaderText(request, WINHTTP_QUERY_LAST_MODIFIED, version.lastModified);
    return version;
}

// Size, range support and the validators. Certificate checks stay on.
DWORD CSliceDownloader::Probe(stProbe& probe)
{
    CCancellableRequest request({}, 0);
    if (DWORD error = request.Open(m_session.Handle(), m_host, m_port, m_pathAndQuery, m_secure))
        return error;
    ApplyRequestOptions(request.Handle(), kProbeWaitMs);
    if (DWORD error = request.Send())
        return error;
    DWORD status = QueryStatusCode(request.Handle());
    if (status != 200)
        return status ? status : ERROR_WINHTTP_INVALID_SERVER_RESPONSE;
    std::wstring text;
    if (!QueryHeaderText(request.Handle(), WINHTTP_QUERY_CONTENT_LENGTH, text) ||
        !ParseContentLength(text, probe.total) || probe.total == 0)
        return ERROR_WINHTTP_INVALID_SERVER_RESPONSE;
    probe.acceptsRanges = QueryHeaderText(request.Handle(), WINHTTP_QUERY_ACCEPT_RANGES, text) && text == L"bytes";
    probe.version = ReadVersion(request.Handle());
    SYSTEMTIME st = {};
    DWORD size = sizeof(st);
    probe.haveLastModified = WinHttpQueryHeaders(request.Handle(), WINHTTP_QUERY_LAST_MODIFIED | WINHTTP_QUERY_FLAG_SYSTEMTIME,
                                                 WINHTTP_HEADER_NAME_BY_INDEX, &st, &size, WINHTTP_NO_HEADER_INDEX) &&
                             SystemTimeToFileTime(&st, &probe.lastModified);
    return 0;
}

// The slices of this download, each with the progress the resume file
// proves: stored progress counts only for the same URL, size and validator
// (anything else is another file, which must not be spliced on) and never
// beyond the bytes in the slice file.
DWORD CSliceDownloader::PlanFromResume(const stProbe& probe, const std::wstring& folder, const std::wstring& name,
                                       bool& resumeExisted)
{
    m_total = probe.total;
    m_probeVersion = probe.version;
    // If-Range needs a strong validator: a weak ETag would always send the
    // whole body back.
    m_validator.clear();
    if (!probe.version.etag.empty() && probe.version.etag.compare(0, 2, L"W/") != 0)
        m_validator = probe.version.etag;
    else
        m_validator = probe.version.lastModified;
    if (m_validator.find_first_of(L"\r\n") != std::wstring::npos)
        m_validator.clear();

    // The resume file; its folder is created here when missing.
    resumeExisted = !m_resume.Open(name + L".ini", folder) &&
                    GetFileAttributesW(m_resume.Path().c_str()) != INVALID_FILE_ATTRIBUTES;
    if (!m_resume.IsBound())
        return ERROR_INVALID_PARAMETER;
    m_target = m_resume.Path().substr(0, m_resume.Path().size() - 4);
    DWORD folderAttributes = GetFileAttributesW(FolderOf(m_target).c_str());
    if (folderAttributes == INVALID_FILE_ATTRIBUTES || !(folderAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return ERROR_PATH_NOT_FOUND;

    bool sameFile = resumeExisted && m_resume.ReadText(kHeaderSection, L"url") == m_url &&
                    static_cast<uint64_t>(m_resume.ReadInt64(kHeaderSection, L"total")) == m_total &&
                    m_resume.ReadText(kHeaderSection, L"validator") == m_validator;
    std::vector<stSliceRange> plan = PlanSlices(m_total, SliceCountFor(m_total, probe.acceptsRanges, m_thresholds));
    for (size_t i = 0; i < plan.size(); ++i) {
        std::unique_ptr<stDownloadSlice> s(new stDownloadSlice());
        s->index = static_cast<int64_t>(i);
        s->first = plan[i].first;
        s->last = plan[i].last;
        s->path = SlicePath(m_target, i);
        std::wstring section = SliceSection(s->index);
        uint64_t onDisk = 0;
        if (sameFile && static_cast<uint64_t>(m_resume.ReadInt64(section.c_str(), L"start")) == s->first &&
            static_cast<uint64_t>(m_resume.ReadInt64(section.c_str(), L"end")) == s->last &&
            FileSize(s->path, onDisk)) {
            int64_t stored = m_resume.ReadInt64(section.c_str(), L"size");
            uint64_t done = stored > 0 ? static_cast<uint64_t>(stored) : 0;
            s->downloaded = std::min({done, onDisk, s->Length()});
        }
        m_slices.push_back(std::move(s));
    }
    for (size_t i = plan.size(); i < kMostSlices; ++i)
        DeleteFileW(SlicePath(m_target, i).c_str());
    return 0;
}

// A target of the right size counts as done only when no download into it
// was left unfinished (the caller checks the resume file) and the server's
// copy is not newer.
bool CSliceDownloader::TargetAlreadyComplete(const stProbe& probe) const
{
    uint64_t targetSize = 0;
    if (!FileSize(m_target, targetSize) || targetSize != m_total)
        return false;
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (probe.haveLastModified && GetFileAttributesExW(m_target.c_str(), GetFileExInfoStandard, &data))
        return CompareFileTime(&probe.lastModified, &data.ftLastWriteTime) <= 0;
    return true;
}

void CSliceDownloader::Launch()
{
    bool completeAtStart = std::all_of(m_slices.begin(), m_slices.end(),
                                       [](const std::unique_ptr<stDownloadSlice>& s) { return s->Complete(); });
    m_failed = false;
    m_versionChanged = false;
    m_fetched = 0;
    m_startMs = GetTickCount64();
    ResetEvent(m_failEvent);
    ResetEvent(m_stopEvent);
    ResetEvent(m_sliceDoneEvent);
    m_pool.reset(new ThreadPool(m_slices.size() + 1));
    if (!completeAtStart) {
        for (const std::unique_ptr<stDownloadSlice>& s : m_slices) {
            stDownloadSlice* slice = s.get();
            if (!slice->Complete())
                m_pool->EnqueueSliceTask([this, slice]() { return RunSlice(slice); });
        }
    }
    m_pool->EnqueueMergeTask([this, completeAtStart]() { return RunMonitor(completeAtStart); });
}

void CSliceDownloader::Stop()
{
    m_stop = true;
    if (m_stopEvent)
        SetEvent(m_stopEvent);
    if (m_pool) {
        m_pool->Stop();
        m_pool.reset();
    }
    m_session.Close();
    if (!m_merged && !m_slices.empty())
        SaveResume();
    FreeSlices();
}

void CSliceDownloader::FreeSlices()
{
    m_slices.clear();
}

void CSliceDownloader::Report(int state, uint64_t a, uint64_t b, uint64_t c)
{
    if (m_callback)
        m_callback(state, a, b, c);
}

// Caller's thread, or the monitor's while the pool runs.
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
    bool keepBytes = !m_versionChanged.load();
    for (const std::unique_ptr<stDownloadSlice>& s : m_slices) {
        if (!ok)
            break;
        std::wstring section = SliceSection(s->index);
        ok = copy.WriteInt64(section.c_str(), L"start", static_cast<int64_t>(s->first)) &&
             copy.WriteInt64(section.c_str(), L"end", static_cast<int64_t>(s->last)) &&
             copy.WriteInt64(section.c_str(), L"size", keepBytes ? static_cast<int64_t>(s->downloaded.load()) : 0);
    }
    if (ok)
        ok = MoveFileExW(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
    if (!ok)
        DeleteFileW(temp.c_str());
    return ok;
}
