// The cache of DrawText layouts: which keys share a layout, which entry goes
// when it is full, and that a cached format stays alive.
#include "Corvel/Render/TextLayoutCache.h"

#include <gtest/gtest.h>

#include <dwrite.h>
#include <wrl/client.h>

#include <functional>
#include <string>
#include <vector>

using Microsoft::WRL::ComPtr;
using ui::TextLayoutCache;

namespace {

class TextLayoutCacheTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                                                  reinterpret_cast<IUnknown**>(m_factory.GetAddressOf()))));
        m_format = MakeFormat();
        ASSERT_TRUE(m_format);
    }

    ComPtr<IDWriteTextFormat> MakeFormat()
    {
        ComPtr<IDWriteTextFormat> format;
        m_factory->CreateTextFormat(L"DejaVu Sans", nullptr, DWRITE_FONT_WEIGHT_NORMAL, DWRITE_FONT_STYLE_NORMAL,
                                    DWRITE_FONT_STRETCH_NORMAL, 12.0f, L"", format.GetAddressOf());
        return format;
    }

    ComPtr<IDWriteTextLayout> MakeLayout(const TextLayoutCache::Key& key)
    {
        ComPtr<IDWriteTextLayout> layout;
        m_factory->CreateTextLayout(key.text.c_str(), static_cast<UINT32>(key.text.size()), key.format, key.width,
                                    key.height, layout.GetAddressOf());
        return layout;
    }

    TextLayoutCache::Key BaseKey() const
    {
        TextLayoutCache::Key key;
        key.text = L"Row 1";
        key.format = m_format.Get();
        key.width = 100.0f;
        key.height = 20.0f;
        key.flags = 0x25;
        return key;
    }

    ComPtr<IDWriteFactory> m_factory;
    ComPtr<IDWriteTextFormat> m_format;
};

TEST_F(TextLayoutCacheTest, OnlyTheSameTextFontSizeAndFlagsShareALayout)
{
    ComPtr<IDWriteTextFormat> other = MakeFormat();
    ASSERT_TRUE(other);
    struct Case {
        const char* what;
        std::function<void(TextLayoutCache::Key&)> change;
    };
    const std::vector<Case> cases = {
        {"text", [](TextLayoutCache::Key& k) { k.text = L"Row 2"; }},
        {"longer text", [](TextLayoutCache::Key& k) { k.text += L" "; }},
        {"format", [&](TextLayoutCache::Key& k) { k.format = other.Get(); }},
        {"width", [](TextLayoutCache::Key& k) { k.width = 101.0f; }},
        {"height", [](TextLayoutCache::Key& k) { k.height = 19.5f; }},
        {"flags", [](TextLayoutCache::Key& k) { k.flags = 0x24; }},
        {"character spacing", [](TextLayoutCache::Key& k) { k.characterSpacing = 2.0f; }},
        {"line spacing", [](TextLayoutCache::Key& k) { k.lineSpacing = 3.0f; }},
    };
    TextLayoutCache cache(16);
    const TextLayoutCache::Key base = BaseKey();
    ComPtr<IDWriteTextLayout> layout = MakeLayout(base);
    ASSERT_TRUE(layout);
    EXPECT_EQ(nullptr, cache.Find(base));
    cache.Put(base, layout.Get());
    EXPECT_EQ(layout.Get(), cache.Find(BaseKey()));
    for (const Case& c : cases) {
        TextLayoutCache::Key key = BaseKey();
        c.change(key);
        EXPECT_EQ(nullptr, cache.Find(key)) << c.what;
    }
}

TEST_F(TextLayoutCacheTest, AFullCacheDropsTheLeastRecentlyUsed)
{
    TextLayoutCache cache(2);
    TextLayoutCache::Key a = BaseKey(), b = BaseKey(), c = BaseKey();
    b.text = L"b";
    c.text = L"c";
    cache.Put(a, MakeLayout(a).Get());
    cache.Put(b, MakeLayout(b).Get());
    ASSERT_NE(nullptr, cache.Find(a)); // a is now the most recent
    cache.Put(c, MakeLayout(c).Get());
    EXPECT_EQ(2u, cache.Count());
    EXPECT_NE(nullptr, cache.Find(a));
    EXPECT_EQ(nullptr, cache.Find(b));
    EXPECT_NE(nullptr, cache.Find(c));

    // Putting a key again replaces its layout instead of adding an entry.
    ComPtr<IDWriteTextLayout> again = MakeLayout(c);
    cache.Put(c, again.Get());
    EXPECT_EQ(2u, cache.Count());
    EXPECT_EQ(again.Get(), cache.Find(c));

    cache.Put(a, nullptr);
    EXPECT_NE(nullptr, cache.Find(a)) << "a null layout is not kept and replaces nothing";
    cache.Clear();
    EXPECT_EQ(0u, cache.Count());
    EXPECT_EQ(nullptr, cache.Find(a));
}

TEST_F(TextLayoutCacheTest, ACachedEntryKeepsItsFormatAlive)
{
    TextLayoutCache cache(4);
    ComPtr<IDWriteTextFormat> format = MakeFormat();
    ASSERT_TRUE(format);
    TextLayoutCache::Key key = BaseKey();
    key.format = format.Get();
    cache.Put(key, MakeLayout(key).Get());
    IDWriteTextFormat* raw = format.Detach();
    // The caller's reference goes; the cache still holds one, so the address
    // cannot be reused by a new format while the entry exists.
    EXPECT_GT(raw->Release(), 0u);
    cache.Clear();
}

} // namespace
