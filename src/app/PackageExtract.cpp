#include "app/PackageExtract.h"

#include <windows.h>

#include <utility>

#include "app/SevenZip/ExtractError.h"
#include "app/SevenZip/Library.h"
#include "app/SevenZip/ZipExtractor.h"
#include "net/HttpHelpers.h"

namespace {

constexpr float kPercentFull = 100.0f;
// Appended to the package's path for the marker of an unfinished extraction.
constexpr const wchar_t* kUnfinishedSuffix = L".extracting";

bool FileExists(const std::wstring& path)
{
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Loads the engine; a file that does not load is deleted, so that the next
// run fetches a good copy instead of failing on this one forever.
std::unique_ptr<sevenzip::Library> LoadEngine(const std::wstring& enginePath)
{
    try {
        return std::make_unique<sevenzip::Library>(enginePath);
    } catch (const sevenzip::ExtractError&) {
        DeleteFileW(enginePath.c_str());
        return nullptr;
    }
}

ExtractOutcome ExtractWith(const sevenzip::Library& engine, const ExtractJob& job, const ExtractSink& sink)
{
    sevenzip::ZipExtractor extractor(engine);
    // Written by the total report, read by the progress reports that follow
    // it on this same thread.
    uint64_t total = 0;
    extractor.SetTotalCallback([&](uint64_t bytes) {
        total = bytes;
        if (sink.total)
            sink.total(bytes);
    });
    extractor.SetProgressCallback([&](uint64_t done) {
        if (sink.isCancelled())
            return false;
        if (sink.progress && total != 0)
            sink.progress(static_cast<float>(done) * kPercentFull / static_cast<float>(total));
        return true;
    });
    if (sink.file)
        extractor.SetFileCallback(sink.file);
    try {
        extractor.Extract(job.packagePath, job.installDir);
        return ExtractOutcome::kExtracted;
    } catch (const sevenzip::ExtractError& error) {
        return error.IsCancel() ? ExtractOutcome::kCancelled : ExtractOutcome::kFailed;
    }
}

ExtractOutcome RunExtraction(const ExtractJob& job, const ExtractSink& sink)
{
    if (sink.isCancelled())
        return ExtractOutcome::kCancelled;
    if (!EnsureEngineFile(job.enginePath, job.engineUrl))
        return ExtractOutcome::kEngineMissing;
    std::unique_ptr<sevenzip::Library> engine = LoadEngine(job.enginePath);
    if (!engine)
        return ExtractOutcome::kEngineBroken;
    // Marked before the first entry is written, cleared only when the last
    // one is in place: a process killed in between leaves the mark.
    const std::wstring marker = UnfinishedExtractionMarker(job.packagePath);
    HANDLE mark = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (mark == INVALID_HANDLE_VALUE)
        return ExtractOutcome::kFailed;  // a directory that takes no file takes no entry either
    CloseHandle(mark);
    const ExtractOutcome outcome = ExtractWith(*engine, job, sink);
    if (outcome == ExtractOutcome::kExtracted)
        DeleteFileW(marker.c_str());
    return outcome;
}

} // namespace

std::wstring UnfinishedExtractionMarker(const std::wstring& packagePath)
{
    return packagePath + kUnfinishedSuffix;
}

bool IsExtractionUnfinished(const std::wstring& packagePath)
{
    return FileExists(UnfinishedExtractionMarker(packagePath));
}

bool EnsureEngineFile(const std::wstring& enginePath, const std::wstring& url)
{
    if (FileExists(enginePath))
        return true;
    // HttpDownloadToFile writes "<path>.part" and renames it only when the
    // whole body arrived with status 200: a cut transfer leaves no engine.
    if (!url.empty())
        HttpDownloadToFile(url.c_str(), enginePath.c_str());
    return FileExists(enginePath);
}

void ExtractPackageThread(const ExtractJob& job, const ExtractSink& sink)
{
    ExtractOutcome outcome = ExtractOutcome::kFailed;
    try {
        outcome = RunExtraction(job, sink);
    } catch (const std::exception&) {
        outcome = ExtractOutcome::kFailed;  // out of memory and the like
    }
    // Without a working engine, or with an archive the engine refused, the
    // shell may still open the package (an archive program of the user's).
    // Opened once, also when the engine is missing; not after a
    // cancellation: the user closed the installer.
    if (outcome != ExtractOutcome::kExtracted && outcome != ExtractOutcome::kCancelled && sink.shellFallback)
        sink.shellFallback();
    sink.finished(outcome);
}

CPackageExtraction::CPackageExtraction(ExtractJob job, ExtractSink sink)
{
    ExtractSink owned = std::move(sink);
    std::function<bool()> windowCancel = std::move(owned.isCancelled);
    owned.isCancelled = [this, windowCancel] { return m_cancel.load() || (windowCancel && windowCancel()); };
    std::function<void(ExtractOutcome)> report = std::move(owned.finished);
    owned.finished = [this, report](ExtractOutcome outcome) {
        // Stored before the report goes out, so whoever receives it reads
        // the outcome here.
        m_outcome = outcome;
        m_done.store(true);
        if (report)
            report(outcome);
    };
    m_thread = std::thread([job = std::move(job), owned = std::move(owned)] { ExtractPackageThread(job, owned); });
}

CPackageExtraction::~CPackageExtraction()
{
    m_cancel.store(true);
    if (m_thread.joinable())
        m_thread.join();
}
