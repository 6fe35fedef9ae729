// Watcher threads and their registry. Registration runs on the caller's
// thread (the UI thread); each watcher runs on its own thread and touches
// only its own record, the registry (copied under the lock) and the files it
// matched.
#include "Corvel/Host/DropFileWatch.h"

#include <shlobj.h>

#include <cstddef>

namespace ui {

namespace {

// Bytes each directory read asks for: room for a record of the longest path
// a watcher follows (a record header plus kMaxDropWatchPathChars characters),
// so a deep folder never overflows a read on its own.
constexpr DWORD kReadBytes = 64 * 1024;
// Room for the drive strings GetLogicalDriveStringsW writes ("C:\" and a
// terminator per drive, 26 drives and the final terminator).
constexpr DWORD kDriveStringChars = 26 * 4 + 1;
// How often an idle watcher looks at the running flag; bounds how long
// shutdown waits for it.
constexpr DWORD kStopCheckMs = 200;
// How long a watcher waits for the writer of a dropped file to close it, and
// how often it looks. The shell writes the small placeholder at once.
constexpr DWORD kWriterWaitMs = 5000;
constexpr DWORD kWriterPollMs = 20;
// How long a test's folder watcher may take to start reading.
constexpr DWORD kFirstReadWaitMs = 5000;

bool EqualsNoCase(const wchar_t* a, size_t aLength, const std::wstring& b)
{
    return aLength == b.size() &&
           CompareStringOrdinal(a, static_cast<int>(aLength), b.c_str(), static_cast<int>(b.size()), TRUE) ==
               CSTR_EQUAL;
}

// Opens a file that just appeared once whoever creates it has closed it: the
// shell creates the dropped file before it writes the contents, and a read
// in between finds it empty. Denying writers makes the open fail until then;
// after kWriterWaitMs the file is opened as it is.
HANDLE OpenWhenWritten(const std::wstring& path)
{
    for (DWORD waited = 0;; waited += kWriterPollMs) {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE)
            return file;
        if (GetLastError() != ERROR_SHARING_VIOLATION || waited >= kWriterWaitMs)
            break;
        Sleep(kWriterPollMs);
    }
    return CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Reads the whole of a small file; false when it does not open or read.
bool ReadWholeFile(const std::wstring& path, std::string& bytes)
{
    HANDLE file = OpenWhenWritten(path);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    bool ok = true;
    const DWORD size = GetFileSize(file, nullptr);
    if (size == INVALID_FILE_SIZE) {
        ok = false;
    } else {
        bytes.assign(size, '\0');
        DWORD read = 0;
        if (size != 0 && !ReadFile(file, &bytes[0], size, &read, nullptr))
            ok = false;
        bytes.resize(read);
    }
    CloseHandle(file);
    return ok;
}

// The matched placeholder: its bytes go to the callback when it has any,
// then it is deleted and the shell told, whether or not it could be read.
void ConsumeDroppedFile(const std::wstring& fullPath, const DropFileCallback& callback)
{
    std::string bytes;
    if (ReadWholeFile(fullPath, bytes) && !bytes.empty())
        callback(fullPath, bytes);
    DeleteFileW(fullPath.c_str());
    SHChangeNotify(SHCNE_DELETE, SHCNF_PATHW | SHCNF_FLUSH, fullPath.c_str(), nullptr);
}

void HandleChange(const DropWatchThread& watcher, const DirectoryChange& change)
{
    if (change.action != FILE_ACTION_ADDED)
        return;
    const std::wstring fullPath = JoinWatchedPath(watcher.root, change.relativeName);
    if (fullPath.empty())
        return;
    std::map<std::wstring, DropFileCallback> registry;
    {
        DropWatchThreads& all = GetDropWatchThreads();
        std::lock_guard<std::mutex> guard(all.lock);
        registry = all.registry;
    }
    for (const auto& entry : registry) {
        if (IsDroppedFileOf(change.relativeName, entry.first)) {
            ConsumeDroppedFile(fullPath, entry.second);
            return;
        }
    }
}

void WatchLoop(DropWatchThread* watcher)
{
    DropWatchThreads& all = GetDropWatchThreads();
    // DWORD elements: the records are DWORD-aligned.
    std::vector<DWORD> buffer(kReadBytes / sizeof(DWORD));
    while (all.running) {
        if (!ReadDirectoryChangesW(watcher->directory, buffer.data(), kReadBytes, TRUE, FILE_NOTIFY_CHANGE_FILE_NAME,
                                   nullptr, &watcher->overlapped, nullptr))
            return;
        watcher->reading = true;
        // The read resets the event, so a stop that set it just before
        // would be missed: the wait wakes now and then to look at the flag.
        while (WaitForSingleObject(watcher->overlapped.hEvent, kStopCheckMs) == WAIT_TIMEOUT) {
            if (!all.running)
                return; // shutdown cancels the pending read
        }
        if (!all.running)
            return;
        DWORD bytes = 0;
        if (!GetOverlappedResult(watcher->directory, &watcher->overlapped, &bytes, FALSE))
            continue; // nothing completed: read again
        // Zero bytes: the changes overflowed the buffer and are lost.
        for (const DirectoryChange& change : ParseDirectoryChanges(buffer.data(), kReadBytes, bytes))
            HandleChange(*watcher, change);
    }
}

// Opens `root` (ending with a backslash) and starts its watcher; null when
// it does not open. Called under the lock.
DropWatchThread* StartWatcher(DropWatchThreads& all, const std::wstring& root)
{
    auto record = std::make_unique<DropWatchThread>();
    record->root = root;
    record->directory = CreateFileW(root.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_OVERLAPPED | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (record->directory == INVALID_HANDLE_VALUE)
        return nullptr;
    record->overlapped.hEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!record->overlapped.hEvent) {
        CloseHandle(record->directory);
        return nullptr;
    }
    DropWatchThread* started = record.get();
    record->thread = std::thread(WatchLoop, started);
    all.records.push_back(std::move(record));
    return started;
}

void StartFixedDriveWatchers(DropWatchThreads& all)
{
    wchar_t drives[kDriveStringChars] = {};
    const DWORD length = GetLogicalDriveStringsW(kDriveStringChars, drives);
    if (length == 0 || length >= kDriveStringChars)
        return;
    for (const wchar_t* root = drives; *root; root += wcslen(root) + 1) {
        if (GetDriveTypeW(root) == DRIVE_FIXED)
            StartWatcher(all, root); // a root that does not open is skipped
    }
}

} // namespace

bool IsDroppableFileName(const std::wstring& name)
{
    return !name.empty() && name.size() <= kMaxDropFileNameChars && name.find(L'\0') == std::wstring::npos;
}

bool RegisterDropFileWatch(DropFileCallback callback, const std::wstring& name)
{
    if (!callback || !IsDroppableFileName(name))
        return false;
    DropWatchThreads& all = GetDropWatchThreads();
    std::lock_guard<std::mutex> guard(all.lock);
    all.registry.emplace(name, std::move(callback)); // an existing name keeps its callback
    if (!all.running.exchange(true))
        StartFixedDriveWatchers(all);
    return true;
}

std::vector<DirectoryChange> ParseDirectoryChanges(const void* buffer, DWORD bufferBytes, DWORD bytesReturned)
{
    std::vector<DirectoryChange> changes;
    const auto* base = static_cast<const unsigned char*>(buffer);
    const size_t limit = bytesReturned < bufferBytes ? bytesReturned : bufferBytes;
    const size_t header = offsetof(FILE_NOTIFY_INFORMATION, FileName);
    size_t offset = 0;
    while (buffer && offset + header <= limit) {
        const auto* record = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(base + offset);
        const size_t nameBytes = record->FileNameLength;
        if (nameBytes > limit - offset - header || nameBytes % sizeof(wchar_t) != 0)
            break;
        changes.push_back({record->Action, std::wstring(record->FileName, nameBytes / sizeof(wchar_t))});
        const size_t next = record->NextEntryOffset;
        if (next == 0 || next < header + nameBytes || next % sizeof(DWORD) != 0)
            break;
        offset += next;
    }
    return changes;
}

std::wstring JoinWatchedPath(const std::wstring& root, const std::wstring& relativeName)
{
    if (relativeName.empty() || root.size() + relativeName.size() > kMaxDropWatchPathChars)
        return std::wstring();
    return root + relativeName;
}

bool IsDroppedFileOf(const std::wstring& relativeName, const std::wstring& name)
{
    if (name.empty())
        return false;
    const size_t slash = relativeName.find_last_of(L"\\/");
    const size_t start = slash == std::wstring::npos ? 0 : slash + 1;
    return EqualsNoCase(relativeName.c_str() + start, relativeName.size() - start, name);
}

DropWatchThreads& GetDropWatchThreads()
{
    static DropWatchThreads threads;
    return threads;
}

bool WatchFolderForTesting(const std::wstring& folder)
{
    std::wstring root = folder;
    if (root.empty())
        return false;
    if (root.back() != L'\\')
        root += L'\\';
    DropWatchThreads& all = GetDropWatchThreads();
    DropWatchThread* watcher = nullptr;
    {
        std::lock_guard<std::mutex> guard(all.lock);
        all.running = true;
        watcher = StartWatcher(all, root);
    }
    for (DWORD waited = 0; watcher && waited < kFirstReadWaitMs; waited += kWriterPollMs) {
        if (watcher->reading)
            return true;
        Sleep(kWriterPollMs);
    }
    return false;
}

void StopDropWatchThreads()
{
    DropWatchThreads& all = GetDropWatchThreads();
    std::vector<std::unique_ptr<DropWatchThread>> records;
    {
        std::lock_guard<std::mutex> guard(all.lock);
        all.running = false;
        records.swap(all.records);
        all.registry.clear();
    }
    for (auto& r : records) {
        if (r->overlapped.hEvent)
            SetEvent(r->overlapped.hEvent);
        // A record whose thread never started, or a call from a watcher
        // itself (a callback), must not throw out of shutdown.
        if (r->thread.joinable()) {
            if (r->thread.get_id() == std::this_thread::get_id()) {
                // The calling watcher still walks its read: its record
                // stays with it and it ends at its next look at the flag.
                r->thread.detach();
                r.release();
                continue;
            }
            r->thread.join();
        }
        if (r->directory != INVALID_HANDLE_VALUE && r->directory) {
            // The read may still be pending: cancel it and let it finish
            // before its OVERLAPPED record goes away.
            DWORD ignored = 0;
            if (CancelIoEx(r->directory, &r->overlapped) || GetLastError() != ERROR_NOT_FOUND)
                GetOverlappedResult(r->directory, &r->overlapped, &ignored, TRUE);
            CloseHandle(r->directory);
            r->directory = INVALID_HANDLE_VALUE;
        }
        if (r->overlapped.hEvent) {
            CloseHandle(r->overlapped.hEvent);
            r->overlapped.hEvent = nullptr;
        }
    }
}

} // namespace ui
