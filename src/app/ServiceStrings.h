// The installer's string table: the default product identifier and the
// service base URL, set at build time (CMake cache variables
// CORVEL_PRODUCT_ID and CORVEL_SERVICE_URL, resource script
// ServiceStrings.rc.in).
#pragma once

#include "app/AppInit.h"  // kProductSnStringId, kServiceBaseUrlStringId

#include <windows.h>

#include <string>

// Longest entry read, in UTF-16 units (the rest of a longer entry is cut).
constexpr int kStringEntryMaxUnits = 1024;

// Entry id of module's string table (null module: the executable); empty
// when the entry is missing.
std::wstring LoadStringEntry(HINSTANCE module, UINT id);
