#include "app/CommandLine.h"

namespace {

using Option = std::pair<std::wstring, std::wstring>;

// Leading '-' removed; a text of dashes only stays as it is.
std::wstring StripDashes(const std::wstring& text)
{
    const size_t first = text.find_first_not_of(L'-');
    return first == std::wstring::npos ? text : text.substr(first);
}

std::vector<std::wstring> SplitAtEquals(const std::wstring& text)
{
    std::vector<std::wstring> pieces(1);
    for (wchar_t c : text) {
        if (c == L'=')
            pieces.emplace_back();
        else
            pieces.back() += c;
    }
    return pieces;
}

// Appends the pending pair when it holds anything and empties it.
void FlushPending(Option& pending, std::vector<Option>& options)
{
    if (!pending.first.empty() || !pending.second.empty())
        options.push_back(pending);
    pending = Option();
}

} // namespace

CCommandLine::~CCommandLine() = default;

bool CCommandLine::Parse(const std::wstring& text)
{
    m_raw = text;
    m_tokens.clear();
    bool quoted = false;
    std::wstring current;
    for (wchar_t c : text) {
        if (c == L'"') {
            quoted = !quoted;
        } else if (!quoted && (c == L' ' || c == L'\t')) {
            if (!current.empty())
                m_tokens.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty())
        m_tokens.push_back(current);
    BuildOptions();
    return !quoted;
}

void CCommandLine::BuildOptions()
{
    m_options.clear();
    Option pending;
    for (const std::wstring& token : m_tokens) {
        if (token[0] == L'-') {
            FlushPending(pending, m_options);
            const std::wstring stripped = StripDashes(token);
            const std::vector<std::wstring> pieces = SplitAtEquals(stripped);
            if (pieces.size() == 2)
                pending = Option(pieces[0], pieces[1]);
            else
                pending.first = stripped;
            if (!pending.second.empty())
                FlushPending(pending, m_options);
        } else if (!pending.first.empty() || !pending.second.empty()) {
            pending.second = token;
            FlushPending(pending, m_options);
        } else {
            const std::vector<std::wstring> pieces = SplitAtEquals(token);
            pending = pieces.size() == 2 ? Option(pieces[0], pieces[1]) : Option(std::wstring(), token);
            FlushPending(pending, m_options);
        }
    }
    FlushPending(pending, m_options);
}

std::wstring CCommandLine::GetValue(const std::wstring& name) const
{
    const std::wstring wanted = StripDashes(name);
    if (wanted.empty())
        return std::wstring();
    for (const Option& option : m_options) {
        if (option.first == wanted)
            return option.second;
    }
    return std::wstring();
}

bool CCommandLine::HasOption(const std::wstring& name) const
{
    for (const Option& option : m_options) {
        if (option.first == name)
            return true;
    }
    return false;
}
