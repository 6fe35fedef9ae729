// The installer's start-up values: executable name and folder, promotion
// code, string-table entries, product name, per-user folder and settings
// file, command-line overrides, machine identity, the common request object
// and the header text (all in AppValues.h).
#pragma once

#include <windows.h>

#include <json/value.h>

#include <string>

// String-table entries of the executable.
constexpr UINT kProductSnStringId = 101;
constexpr UINT kServiceBaseUrlStringId = 102;

// The header text of every service call.
extern const wchar_t* const kServiceHeaderText;

// Fills the process-wide values once, on the main thread, after the UI
// library and before any worker thread starts. `commandLine` is the text
// after the program name (may be empty). Never fails: missing pieces leave
// empty values.
void InitApplication(HINSTANCE instance, const std::wstring& commandLine);

// ---- Phases, each usable on its own ----

// The promotion code carried by an executable file name: the text after the
// last "_" before ".exe" (case-sensitive), cut at the first character that
// is not an ASCII letter or digit; when that cut leaves nothing, the whole
// text after the "_". `current` when the name has no "_".
std::wstring PromoCodeFromExeName(const std::wstring& exeName, const std::wstring& current);

// Applies the options of a command line: "mac" replaces `machineId` (in the
// ANSI code page, even when empty), "p" replaces `productSn`. Names match
// exactly ("MAC" is not "mac"); without the option the value stays.
void ApplyCommandLine(const std::wstring& commandLine, std::string& machineId, std::wstring& productSn);

// True when the command line carries the option "self" (the elevated
// relaunch of an installer that could not create its directory).
bool HasSelfOption(const std::wstring& commandLine);

// The common request object: uid (MD5 hex of the product identifier's ANSI
// bytes followed by the machine identifier's bytes), mac (base64 of the
// machine identifier's bytes), winver, product_sn and promo_code, all
// strings, the texts in UTF-8. Also sets uid and macBase64.
Json::Value BuildIdentity(const std::wstring& productSn, const std::string& machineId, const std::wstring& winver,
                          const std::wstring& promoCode);
