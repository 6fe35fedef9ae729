#include "Corvel/Render/TextLayoutCache.h"

#include <cstring>

namespace ui {

namespace {

template <typename T>
void AppendBits(std::wstring& out, const T& value)
{
    wchar_t units[(sizeof(T) + sizeof(wchar_t) - 1) / sizeof(wchar_t)] = {};
    std::memcpy(units, &value, sizeof(T));
    out.append(units, sizeof(units) / sizeof(wchar_t));
}

} // namespace

std::wstring TextLayoutCache::MakeId(const Key& key)
{
    // The fixed-size fields first, so a text can never shift them.
    std::wstring id;
    id.reserve(key.text.size() + 16);
    AppendBits(id, key.format);
    AppendBits(id, key.width);
    AppendBits(id, key.height);
    AppendBits(id, key.flags);
    AppendBits(id, key.characterSpacing);
    AppendBits(id, key.lineSpacing);
    id += key.text;
    return id;
}

IDWriteTextLayout* TextLayoutCache::Find(const Key& key)
{
    auto it = m_index.find(MakeId(key));
    if (it == m_index.end())
        return nullptr;
    m_entries.splice(m_entries.begin(), m_entries, it->second);
    return it->second->layout.Get();
}

void TextLayoutCache::Put(const Key& key, IDWriteTextLayout* layout)
{
    if (!layout || m_capacity == 0)
        return;
    std::wstring id = MakeId(key);
    auto found = m_index.find(id);
    if (found != m_index.end()) {
        m_entries.erase(found->second);
        m_index.erase(found);
    }
    m_entries.push_front(Entry{id, key.format, layout});
    m_index.emplace(std::move(id), m_entries.begin());
    while (m_entries.size() > m_capacity) {
        m_index.erase(m_entries.back().id);
        m_entries.pop_back();
    }
}

void TextLayoutCache::Clear()
{
    m_index.clear();
    m_entries.clear();
}

} // namespace ui
