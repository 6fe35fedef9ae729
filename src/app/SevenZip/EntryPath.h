// Turns an archive entry's name into a path below the extraction folder, or
// refuses it. Pure string work; no file system access.
#pragma once

#include <optional>
#include <string>

namespace sevenzip {

// The entry's path relative to the extraction folder, with backslash
// separators and without empty components ("a//b/" gives "a\b"); nullopt
// when the name could reach outside the folder or would not be stored under
// its own name:
// - empty, or nothing but separators;
// - absolute: a leading "\" or "/" (also UNC and "\\?\" forms);
// - any ":" (a drive letter such as "C:x" or an alternate data stream "a:s");
// - a component that Windows would rewrite or resolve: ".", "..", any
//   ending in "." or " ", or holding a control character or one of <>"|?*;
// - a device name as a component (CON, PRN, AUX, NUL, COM1-9, LPT1-9, with
//   or without an extension).
std::optional<std::wstring> SafeRelativePath(const std::wstring& entryName);

} // namespace sevenzip
