// The installer's shell calls: the product name of the version resource,
// desktop shortcuts, opening files and web links, and the folder browser's
// callback.
#pragma once

#include <windows.h>

#include <string>

// Reads ProductName of the first translation of `path`'s version resource
// into productName (left unchanged when absent). True when the resource has
// a translation table, whether or not it names a product.
bool LoadProductName(const std::wstring& path);

// Result of CreateShortcut for a missing target (a null `name` gives
// ERROR_INVALID_PARAMETER).
constexpr int kShortcutFailed = 1;

// Creates "<desktop>\<name>.lnk" to `target`, working in the target's
// folder, described by `name`. `name` is first reduced to one file name
// (ReduceToFileName); a name that cannot be gives ERROR_INVALID_PARAMETER.
// A quoted target ("\"C:\\a b\\x.exe\" -arg") splits into path and
// arguments, and the given `arguments` are dropped. An existing link is
// deleted first when `deleteExisting`, otherwise left untouched (result 0).
// Returns 0 on success, the failing HRESULT of a COM step, or
// kShortcutFailed. Initialises COM for the call on the calling thread and
// undoes only its own initialisation; a thread already in another
// apartment keeps it. Any thread.
int CreateShortcut(const wchar_t* name, const wchar_t* target, bool deleteExisting, const wchar_t* arguments);

// ShellExecuteExW "Open" of `file` with `parameters`, no UI on failure. The
// working folder is none when `folder` is empty, `folder` when it exists,
// and the file's own folder otherwise. The result is not checked.
void ShellOpen(const std::wstring& file, const std::wstring& parameters, const std::wstring& folder);

// True for an absolute http:// or https:// URL with a host and nothing a
// command line could read differently (no blanks, controls, quotes, or
// <>\^`{|}). Everything else - empty text, file:, drive and UNC paths,
// other schemes such as javascript: - is refused.
bool IsOpenableLink(const std::wstring& url);

// The parameters handed to the browser fallback: the URL as one quoted
// argument. Only for links IsOpenableLink accepts.
std::wstring BrowserFallbackParameters(const std::wstring& url);

// Opens a UTF-8 link from the service in the user's browser when
// IsOpenableLink accepts it (an empty link is skipped silently); when no
// program takes it, hands it to iexplore.exe. False when refused or when
// both launches failed. UI thread (it may show the shell's UI).
bool OpenUrl(const std::string& url);

// SHBrowseForFolderW callback: selects installPathText first and shows the
// selected path as status text. Returns 0.
int CALLBACK BrowseFolderCallback(HWND window, UINT message, LPARAM parameter, LPARAM data);
