// Extraction of a downloaded zip package into the installation directory on
// a thread of its own, with the 7-Zip engine library "Compress.dll" of the
// per-user folder (fetched from the descriptor's link when missing).
//
// The thread never touches a window: it reports through the sink's
// functions, which must be callable from any thread (the main window's post
// UI tasks), and learns of a cancellation by polling the sink.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <thread>

// The engine library's file name in the per-user folder.
constexpr const wchar_t* kEngineFileName = L"Compress.dll";

// How an extraction ended.
enum class ExtractOutcome {
    kExtracted,      // every entry is in place
    kEngineMissing,  // no engine file, and none could be fetched
    kEngineBroken,   // the engine file did not load (it was deleted)
    kFailed,         // damaged archive, refused entry name, write failure
    kCancelled,      // the window closed during the extraction
};

struct ExtractJob {
    std::wstring packagePath;   // the zip package
    std::wstring installDir;    // where its entries go
    std::wstring enginePath;    // the engine library file
    std::wstring engineUrl;     // where to fetch the engine when it is missing; may be empty
};

// Reports of the extraction thread, in this order: total once, then file
// and progress reports; shellFallback when the package should be opened by
// the shell instead; finished last, exactly once. Every member may be
// empty except isCancelled and finished.
struct ExtractSink {
    std::function<bool()> isCancelled;               // polled at each progress report
    std::function<void(uint64_t)> total;             // unpacked bytes in all
    std::function<void(float)> progress;             // percent done, 0..100
    std::function<void(const std::wstring&)> file;   // the entry's full path as it starts
    std::function<void()> shellFallback;
    std::function<void(ExtractOutcome)> finished;
};

// A package whose extraction began and did not end with every entry in
// place (the process was killed, the window closed, the archive failed)
// keeps a marker file beside it until an extraction of it succeeds: the
// boot programs found in the directory may then belong to a half-written
// product, and do not count as an installed one.
std::wstring UnfinishedExtractionMarker(const std::wstring& packagePath);
bool IsExtractionUnfinished(const std::wstring& packagePath);

// The thread body: makes sure of the engine, extracts, reports. Blocks;
// never throws.
void ExtractPackageThread(const ExtractJob& job, const ExtractSink& sink);

// The engine at `enginePath`, fetched from `url` (non-empty) when no file is
// there. The download goes to a temporary name and becomes enginePath only
// when it arrived whole. True when the file exists afterwards.
bool EnsureEngineFile(const std::wstring& enginePath, const std::wstring& url);

// Owns one extraction thread. Destroying it cancels the extraction (at the
// engine's next progress report) and waits for the thread, so the thread
// never outlives the owner, nor the window that owns the owner. UI thread.
class CPackageExtraction {
public:
    // Starts ExtractPackageThread(job, sink); sink.isCancelled is combined
    // with the owner's own cancellation.
    CPackageExtraction(ExtractJob job, ExtractSink sink);
    ~CPackageExtraction();
    CPackageExtraction(const CPackageExtraction&) = delete;
    CPackageExtraction& operator=(const CPackageExtraction&) = delete;

    // True once the thread has posted its last report.
    bool IsDone() const { return m_done.load(); }
    // Valid once IsDone.
    ExtractOutcome Outcome() const { return m_outcome; }

private:
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_done{false};
    ExtractOutcome m_outcome = ExtractOutcome::kFailed;
    std::thread m_thread;
};
