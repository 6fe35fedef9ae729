#include "Corvel/Render/TextDrawing.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>

#include "Corvel/Render/FontManager.h"

namespace ui {

namespace {

constexpr wchar_t kTagOpen = L'{';
constexpr wchar_t kTagClose = L'}';
constexpr wchar_t kTagEndMark = L'/';
constexpr wchar_t kQuote = L'\'';
// Colours are written as hexadecimal ARGB behind this prefix; any other
// spelling leaves the run's colour alone.
constexpr wchar_t kHexPrefix[] = L"0x";
constexpr size_t kHexPrefixLength = 2;

bool IsTrue(const std::wstring& value)
{
    return value == L"true";
}

void ApplyAttribute(TextRun& run, const std::wstring& key, const std::wstring& value)
{
    if (key == L"name") {
        run.face = value;
    } else if (key == L"size") {
        run.size = static_cast<int>(std::wcstol(value.c_str(), nullptr, 10));
    } else if (key == L"color") {
        if (value.compare(0, kHexPrefixLength, kHexPrefix) == 0)
            run.color = static_cast<uint32_t>(std::wcstoul(value.c_str() + kHexPrefixLength, nullptr, 16));
    } else if (key == L"space") {
        run.spacing = static_cast<float>(std::wcstod(value.c_str(), nullptr));
    } else if (key == L"bold") {
        run.bold = IsTrue(value);
    } else if (key == L"italic") {
        run.italic = IsTrue(value);
    } else if (key == L"underline") {
        run.underline = IsTrue(value);
    } else if (key == L"strike") {
        run.strike = IsTrue(value);
    }
}

TextRun RunFromTag(const std::wstring& tag, int start)
{
    TextRun run;
    run.start = start;
    size_t pos = 0;
    std::wstring key, value;
    while (NextTagAttribute(tag, pos, key, value))
        ApplyAttribute(run, key, value);
    return run;
}

void CloseInnermost(std::vector<TextRun>& open, std::vector<TextRun>& closed, int position)
{
    TextRun run = std::move(open.back());
    open.pop_back();
    run.length = position - run.start;
    closed.push_back(std::move(run));
}

} // namespace

size_t TextCutLength(const std::wstring& text, size_t fitting)
{
    size_t keep = std::min(fitting, text.size());
    keep = keep > 0 ? keep - 1 : 0;
    if (keep > 0 && keep < text.size() && IS_HIGH_SURROGATE(text[keep - 1]) && IS_LOW_SURROGATE(text[keep]))
        --keep;
    return keep;
}

TextRun::TextRun() : face(kDefaultFontFace) {}

std::wstring TrimSpaces(const std::wstring& text)
{
    const size_t first = text.find_first_not_of(L' ');
    if (first == std::wstring::npos)
        return std::wstring();
    const size_t last = text.find_last_not_of(L' ');
    return text.substr(first, last - first + 1);
}

bool NextTagAttribute(const std::wstring& tag, size_t& pos, std::wstring& key, std::wstring& value)
{
    const size_t equals = tag.find(L'=', pos);
    if (equals == std::wstring::npos) {
        pos = tag.size();
        return false;
    }
    key = TrimSpaces(tag.substr(pos, equals - pos));
    size_t begin = tag.find_first_not_of(L' ', equals + 1);
    if (begin == std::wstring::npos)
        begin = tag.size();
    size_t end;
    if (begin < tag.size() && tag[begin] == kQuote) {
        const size_t closing = tag.find(kQuote, begin + 1);
        end = closing == std::wstring::npos ? tag.size() : closing + 1;
    } else {
        end = tag.find(L' ', begin);
        if (end == std::wstring::npos)
            end = tag.size();
    }
    value = TrimSpaces(tag.substr(begin, end - begin));
    if (value.size() >= 2 && value.front() == kQuote && value.back() == kQuote)
        value = value.substr(1, value.size() - 2);
    pos = end;
    return true;
}

std::vector<TextRun> ParseTaggedText(const std::wstring& tagged, std::wstring& plain)
{
    plain.clear();
    std::vector<TextRun> open, closed;
    size_t i = 0;
    while (i < tagged.size()) {
        const wchar_t ch = tagged[i];
        const size_t tagEnd = ch == kTagOpen ? tagged.find(kTagClose, i + 1) : std::wstring::npos;
        if (tagEnd == std::wstring::npos) {
            plain.push_back(ch);
            ++i;
            continue;
        }
        const int position = static_cast<int>(plain.size());
        if (i + 1 < tagged.size() && tagged[i + 1] == kTagEndMark) {
            if (!open.empty())
                CloseInnermost(open, closed, position);
        } else {
            open.push_back(RunFromTag(tagged.substr(i + 1, tagEnd - i - 1), position));
        }
        i = tagEnd + 1;
    }
    while (!open.empty())
        CloseInnermost(open, closed, static_cast<int>(plain.size()));
    return closed;
}

} // namespace ui
