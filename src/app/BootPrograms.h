// Where the package and the product's programs lie in the installation
// directory, and the names their desktop links get. The descriptor's texts
// come from the web service: a program path that would leave the
// installation directory, or a link name that cannot be one file name, is
// refused here rather than used. Any thread; no state.
#pragma once

#include <string>

#include "app/OrderDetail.h"

// `folder` + "\" + `name`; no separator is added when `folder` already ends
// in "\" or "/".
std::wstring JoinInstallPath(const std::wstring& folder, const std::wstring& name);

// A zip package is one whose file name contains ".zip" anywhere; every other
// package is a program to start.
bool IsZipPackage(const std::wstring& fileName);

// The program of `entry` inside `installDir`, resolved; empty when its path
// is empty, absolute, has a drive letter or a ":" stream, or climbs out of
// the directory with "..": such an entry is skipped.
std::wstring BootProgramPath(const std::wstring& installDir, const stBootEntry& entry);

// The desktop link name of `entry` (without ".lnk"): its `name` made one
// valid file name (separators, ":", wildcards and control characters become
// "_"); empty when the entry has no name or the name cannot be a file name
// (a device name such as "CON", nothing but dots): no link is made.
std::wstring BootShortcutName(const stBootEntry& entry);
