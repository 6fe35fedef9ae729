// Recently drawn DirectWrite text layouts, kept so that repainting the same
// text (a scrolled list, a redrawn window) skips building and analysing the
// layout again. Layouts do not depend on the device, so a cache outlives
// device loss. One per render target; UI thread only.
#pragma once

#include <dwrite.h>
#include <wrl/client.h>

#include <cstddef>
#include <list>
#include <string>
#include <unordered_map>
#include <utility>

namespace ui {

class TextLayoutCache {
public:
    // Everything a layout is built from. The format is pinned by the entry,
    // so its address cannot be reused by another format while cached.
    struct Key {
        std::wstring text;
        IDWriteTextFormat* format = nullptr;
        float width = 0.0f;   // pixels
        float height = 0.0f;  // pixels
        unsigned flags = 0;   // DrawText bits plus the caller's own variant bits
        float characterSpacing = 0.0f;
        float lineSpacing = 0.0f;
    };

    explicit TextLayoutCache(size_t capacity) : m_capacity(capacity) {}

    // The cached layout of key (now the most recent), or null. Borrowed:
    // valid until the next Put or Clear.
    IDWriteTextLayout* Find(const Key& key);
    // Keeps layout (a new reference) under key, dropping the least recently
    // used entry beyond the capacity. Null layouts are not kept.
    void Put(const Key& key, IDWriteTextLayout* layout);
    void Clear();
    size_t Count() const { return m_entries.size(); }

private:
    struct Entry {
        std::wstring id;
        Microsoft::WRL::ComPtr<IDWriteTextFormat> format;
        Microsoft::WRL::ComPtr<IDWriteTextLayout> layout;
    };
    static std::wstring MakeId(const Key& key);

    size_t m_capacity;
    std::list<Entry> m_entries;  // most recent first
    std::unordered_map<std::wstring, std::list<Entry>::iterator> m_index;
};

} // namespace ui
