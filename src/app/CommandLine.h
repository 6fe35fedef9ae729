// The installer's command-line reader: options are a dash, a name and a
// value ("-p ABC", "-p=ABC"), in command-line order. Not thread-safe; lives
// only while the start-up reads it.
#pragma once

#include <string>
#include <utility>
#include <vector>

class CCommandLine {
public:
    CCommandLine() = default;
    virtual ~CCommandLine();

    // Replaces the raw text, tokens and options. True when the double
    // quotes are balanced; the options read so far are kept either way.
    bool Parse(const std::wstring& text);

    // Value of the first option named `name` once leading '-' are stripped
    // from it (a name of dashes only is kept whole); matched exactly
    // (case-sensitive). Empty when there is none.
    std::wstring GetValue(const std::wstring& name) const;
    // True when at least one option has exactly this name.
    bool HasOption(const std::wstring& name) const;

    const std::wstring& RawText() const { return m_raw; }
    const std::vector<std::wstring>& Tokens() const { return m_tokens; }
    const std::vector<std::pair<std::wstring, std::wstring>>& Options() const { return m_options; }

private:
    void BuildOptions();

    std::wstring m_raw;
    std::vector<std::wstring> m_tokens;
    std::vector<std::pair<std::wstring, std::wstring>> m_options;
};
