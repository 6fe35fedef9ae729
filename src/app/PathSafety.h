// Names that come from outside (the service, the version resource) and end
// up as one element of a path: a folder name, an INI section, a shortcut
// name. Such a name must never climb out of its parent, name a device or
// carry a separator.
#pragma once

#include <string>

// Longest path element the file systems take.
constexpr size_t kMaxPathComponent = 255;

// True when name can be used as one path element as it is: not empty, not
// "." or "..", no character below 32 and none of \ / : * ? " < > |, no
// trailing dot or blank, not a device name (CON, PRN, AUX, NUL, COM1-9,
// LPT1-9, also with an extension), at most kMaxPathComponent units.
bool IsSafePathComponent(const std::wstring& name);

// name made into one safe path element: forbidden characters become '_',
// trailing dots and blanks go, a device name gets a '_' in front, the rest is
// cut to kMaxPathComponent units. Empty when nothing usable is left (an
// empty name, "..", only dots and blanks).
std::wstring MakeSafePathComponent(const std::wstring& name);
