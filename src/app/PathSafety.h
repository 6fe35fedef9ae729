// Guards for names and paths that come from the web service: a name becomes
// at most one file-name component, and a path is used only while it stays
// inside the folder it belongs to. Any thread; no state.
#pragma once

#include <string>

// Why a name could not become a file name.
enum class FileNameVerdict {
    kValid,
    kEmpty,          // nothing left once blanks, dots and controls are gone
    kReservedDevice, // CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0-9, LPT0-9
    kTooLong,        // longer than one component may be (255 units)
};

struct SafeFileName {
    FileNameVerdict verdict = FileNameVerdict::kEmpty;
    std::wstring name; // the reduced name; empty unless verdict is kValid

    bool IsValid() const { return verdict == FileNameVerdict::kValid; }
};

// Reduces a name to one component that Windows stores under exactly that
// name: separators ("\", "/"), ":" (drive and stream syntax), <>"|?* and
// control characters each become "_"; leading blanks and trailing dots and
// blanks are dropped (so "." and ".." become empty). A device name, with or
// without an extension ("nul.txt", "COM1 .lnk"), is refused rather than
// renamed, as is a name that ends up empty or too long.
SafeFileName ReduceToFileName(const std::wstring& name);

// True when `path`, an absolute path (drive or UNC), names something strictly
// inside `folder` (also absolute) once both are resolved the way the system
// resolves paths ("." and "..", "/" as "\", trailing dots and blanks of a
// component). Compared case-insensitively. False for the folder itself, for
// relative paths, for device paths and for ":" after the drive (streams).
// Links and junctions on disk are not followed.
bool IsPathUnderFolder(const std::wstring& path, const std::wstring& folder);

// `folder` + "\" + `relative` when the result stays inside `folder` (see
// IsPathUnderFolder), resolved; empty otherwise (also for an absolute
// `relative`).
std::wstring JoinUnderFolder(const std::wstring& folder, const std::wstring& relative);
