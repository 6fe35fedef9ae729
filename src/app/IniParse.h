// INI files through the system's private-profile functions: one object binds
// one file; values are re-read from disk on every call (no caching here).
#pragma once

#include <cstdint>
#include <string>

class CIniParse {
public:
    CIniParse() = default;
    virtual ~CIniParse();
    CIniParse(const CIniParse&) = delete;
    CIniParse& operator=(const CIniParse&) = delete;

    // Binds to folder + name, creating the folder and the file when missing.
    // True only when this call created the file; an existing file gives false
    // but stays bound. An empty folder means the executable's folder.
    bool Open(const std::wstring& name, const std::wstring& folder);

    // 0 when the key is missing or holds no number; out-of-range numbers
    // saturate at the 64-bit limits instead of wrapping.
    int64_t ReadInt64(const wchar_t* section, const wchar_t* key) const;
    // Writes "%lld"; false when the system could not store it.
    bool WriteInt64(const wchar_t* section, const wchar_t* key, int64_t value) const;

    // Text values of any length, kept exactly (quotes and outer blanks too);
    // empty when missing. Line breaks are refused.
    std::wstring ReadText(const wchar_t* section, const wchar_t* key) const;
    bool WriteText(const wchar_t* section, const wchar_t* key, const std::wstring& value) const;

    const std::wstring& Path() const { return m_path; }
    bool IsBound() const { return !m_path.empty(); }

    // The decimal conversion used by ReadInt64 (leading blanks, optional sign,
    // digits up to the first other character).
    static int64_t ParseInt64(const wchar_t* text);

private:
    std::wstring m_path;
};

// The per-user settings file ("user.dat"), opened at start-up.
extern CIniParse userSettings;

// Text of a key in the per-user settings file (at most 511 characters);
// empty when missing.
std::wstring ReadUserSetting(const wchar_t* section, const wchar_t* key);
bool WriteUserSetting(const wchar_t* section, const wchar_t* key, const std::wstring& value);
