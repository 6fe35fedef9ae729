// Finds where a control dragged out of a window as a file was dropped. The
// drag offers a virtual file; the shell writes it into the folder the user
// chose. One watcher thread per fixed drive notices that file, hands its full
// path and bytes to the callback registered for its name, and deletes it: the
// file is only a placeholder that reveals the folder.
//
// The registry is process-wide and guarded by one mutex. Watchers start at
// the first registration and run until ShutdownUiLibrary stops them, which
// also forgets every registration.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ui {

// Called on the watcher thread of the drive where the file appeared, with
// the file's full path and its bytes. A callback that touches UI objects
// hands its work to the UI thread (WindowCore::PostUiTask).
using DropFileCallback = std::function<void(const std::wstring& fullPath, const std::string& bytes)>;

// The longest file name a drag can offer: FILEDESCRIPTORW::cFileName holds
// MAX_PATH characters with the terminator. A longer name would be cut by the
// drag and the shell would create a file that never matches its watch.
constexpr size_t kMaxDropFileNameChars = MAX_PATH - 1;

// True for a non-empty name that the drag descriptor holds whole.
bool IsDroppableFileName(const std::wstring& name);

// Registers `callback` for files named `name`; the first callback of a name
// stays. Starts the drive watchers on the first registration. False, with
// nothing registered, for an empty or undroppable name or an empty callback.
// Any thread (the UI thread in practice).
bool RegisterDropFileWatch(DropFileCallback callback, const std::wstring& name);

// One directory-change record as a read returned it: the action and the name
// relative to the watched directory.
struct DirectoryChange {
    DWORD action = 0;
    std::wstring relativeName;
};

// The records of a completed ReadDirectoryChangesW read. Only the first
// `bytesReturned` bytes of `buffer` are read (at most `bufferBytes`); a record
// that does not fit in them, or whose next offset is not past itself, ends the
// walk. Pure: no system calls.
std::vector<DirectoryChange> ParseDirectoryChanges(const void* buffer, DWORD bufferBytes, DWORD bytesReturned);

// The watched root followed by the record's relative name; empty when the
// full path would be longer than kMaxDropWatchPathChars.
std::wstring JoinWatchedPath(const std::wstring& root, const std::wstring& relativeName);

// The longest full path a watcher follows: the system's limit for a path
// with the "\\?\" form, in characters.
constexpr size_t kMaxDropWatchPathChars = 32767;

// True when `relativeName` (as a watcher read it) is the file a drop makes
// for the registered `name`: its last component equals the name (ignoring
// case, as the file system does). A file whose path merely contains the name
// (a folder of that name, a longer name) never matches.
bool IsDroppedFileOf(const std::wstring& relativeName, const std::wstring& name);

// Watcher records: one per watched directory.
struct DropWatchThread {
    std::wstring root;                       // with its trailing backslash
    HANDLE directory = INVALID_HANDLE_VALUE; // opened for overlapped reads
    OVERLAPPED overlapped{};                 // its hEvent (auto-reset) wakes the thread
    std::thread thread;
    std::atomic<bool> reading{false};        // set once the first read is pending
};

struct DropWatchThreads {
    std::atomic<bool> running{false};
    std::mutex lock; // guards `records` and `registry`
    std::vector<std::unique_ptr<DropWatchThread>> records;
    std::map<std::wstring, DropFileCallback> registry;
};

DropWatchThreads& GetDropWatchThreads();

// Clears the running flag, wakes every watcher, joins it, closes its handles
// and forgets every registration; the next registration starts the watchers
// again. Safe when none was started, and more than once.
void StopDropWatchThreads();

// Starts a watcher on one folder (with or without a trailing backslash)
// instead of the fixed drive roots, and marks the watchers started so a
// registration starts no drive watchers. Returns once its first read is
// pending (changes before it are not seen); false when the folder does not
// open or no read started within a few seconds.
bool WatchFolderForTesting(const std::wstring& folder);

} // namespace ui
