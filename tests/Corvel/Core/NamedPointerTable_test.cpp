#include "Corvel/Core/NamedPointerTable.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

using ui::NamedPointerTable;

namespace {

void* P(intptr_t v) { return reinterpret_cast<void*>(v); }

std::vector<std::wstring> Keys(const NamedPointerTable& t)
{
    std::vector<std::wstring> out;
    for (int i = 0;; ++i) {
        const wchar_t* k = t.GetKeyAt(i);
        if (!k)
            break;
        out.push_back(k);
    }
    return out;
}

} // namespace

TEST(NamedPointerTable, HashTakesTheLastCharacterFirst)
{
    EXPECT_EQ(0u, NamedPointerTable::HashKey(L""));
    EXPECT_EQ(97u, NamedPointerTable::HashKey(L"a"));
    EXPECT_EQ(98u * 33u + 97u, NamedPointerTable::HashKey(L"ab"));
    EXPECT_EQ(97u * 33u + 98u, NamedPointerTable::HashKey(L"ba"));
    // Wraps around in 32 bits.
    uint32_t h = 0;
    const std::wstring key(40, L'\xFFFF');
    for (size_t i = key.size(); i > 0; --i)
        h = h * 33u + 0xFFFFu;
    EXPECT_EQ(h, NamedPointerTable::HashKey(key.c_str()));
}

TEST(NamedPointerTable, WithoutBuckets)
{
    NamedPointerTable t;
    EXPECT_EQ(nullptr, t.Find(L"a"));
    EXPECT_FALSE(t.Insert(L"a", P(1)));
    EXPECT_EQ(P(7), t.Set(L"a", P(7)));
    EXPECT_FALSE(t.Remove(L"a"));
    EXPECT_EQ(nullptr, t.GetKeyAt(0));
    EXPECT_EQ(0, t.GetCount());
}

TEST(NamedPointerTable, InsertFindSetRemove)
{
    NamedPointerTable t(83);
    EXPECT_TRUE(t.Insert(L"close", P(1)));
    EXPECT_TRUE(t.Insert(L"Close", P(2)));
    EXPECT_FALSE(t.Insert(L"close", P(3)));
    EXPECT_EQ(2, t.GetCount());
    EXPECT_EQ(P(1), t.Find(L"close"));
    EXPECT_EQ(P(2), t.Find(L"Close"));
    EXPECT_EQ(nullptr, t.Find(L"CLOSE"));

    EXPECT_EQ(nullptr, t.Set(L"min", P(4))); // new key
    EXPECT_EQ(3, t.GetCount());
    EXPECT_EQ(P(4), t.Set(L"min", P(5)));    // old value back
    EXPECT_EQ(P(5), t.Find(L"min"));
    EXPECT_EQ(3, t.GetCount());

    EXPECT_TRUE(t.Remove(L"close"));
    EXPECT_FALSE(t.Remove(L"close"));
    EXPECT_EQ(nullptr, t.Find(L"close"));
    EXPECT_EQ(2, t.GetCount());

    // The key is a private copy.
    std::wstring key = L"temp";
    t.Insert(key.c_str(), P(9));
    key[0] = L'X';
    EXPECT_EQ(P(9), t.Find(L"temp"));
    EXPECT_EQ(nullptr, t.Find(key.c_str()));
}

TEST(NamedPointerTable, NullValueStillCountsAsStored)
{
    NamedPointerTable t(7);
    EXPECT_TRUE(t.Insert(L"k", nullptr));
    EXPECT_TRUE(t.Contains(L"k"));
    EXPECT_FALSE(t.Insert(L"k", P(1))); // no second, shadowing node
    EXPECT_EQ(1, t.GetCount());
    EXPECT_EQ(nullptr, t.Set(L"k", P(2)));
    EXPECT_EQ(1, t.GetCount());
    EXPECT_EQ(P(2), t.Find(L"k"));
    EXPECT_TRUE(t.Remove(L"k"));
    EXPECT_FALSE(t.Contains(L"k"));
}

TEST(NamedPointerTable, KeyOrderAndMoveToFront)
{
    // One bucket: the order is the chain, newest first.
    NamedPointerTable one(1);
    for (const wchar_t* k : {L"a", L"b", L"c", L"d"})
        one.Insert(k, P(1));
    EXPECT_EQ((std::vector<std::wstring>{L"d", L"c", L"b", L"a"}), Keys(one));
    one.Find(L"b", false);
    EXPECT_EQ((std::vector<std::wstring>{L"d", L"c", L"b", L"a"}), Keys(one));
    one.Find(L"b", true);
    EXPECT_EQ((std::vector<std::wstring>{L"b", L"d", L"c", L"a"}), Keys(one));
    one.Find(L"a", true); // the tail
    EXPECT_EQ((std::vector<std::wstring>{L"a", L"b", L"d", L"c"}), Keys(one));
    one.Find(L"a", true); // already the head
    EXPECT_EQ((std::vector<std::wstring>{L"a", L"b", L"d", L"c"}), Keys(one));
    one.Remove(L"b");     // middle
    one.Remove(L"a");     // head
    one.Remove(L"c");     // tail
    EXPECT_EQ((std::vector<std::wstring>{L"d"}), Keys(one));
    EXPECT_EQ(nullptr, one.GetKeyAt(1));
    EXPECT_EQ(nullptr, one.GetKeyAt(-1));

    // Several buckets: from the last bucket to the first. With 10 buckets
    // "a" (97) is in 7, "b" (98) in 8, "c" (99) in 9, "d" (100) in 0,
    // "k" (107) in 7 again.
    NamedPointerTable ten(10);
    for (const wchar_t* k : {L"d", L"a", L"c", L"b", L"k"})
        ten.Insert(k, P(1));
    EXPECT_EQ((std::vector<std::wstring>{L"c", L"b", L"k", L"a", L"d"}), Keys(ten));
    EXPECT_STREQ(L"c", ten.GetKeyAt(0));
}

TEST(NamedPointerTable, ResizeClearsAndManyKeysSurvive)
{
    NamedPointerTable t(83);
    std::set<std::wstring> expected;
    for (int i = 0; i < 500; ++i) {
        const std::wstring key = L"control_" + std::to_wstring(i) + (i % 3 ? L"" : std::wstring(70, L'x'));
        ASSERT_TRUE(t.Insert(key.c_str(), P(i + 1)));
        expected.insert(key);
    }
    EXPECT_EQ(500, t.GetCount());
    const std::vector<std::wstring> keys = Keys(t);
    EXPECT_EQ(expected, std::set<std::wstring>(keys.begin(), keys.end()));
    for (int i = 0; i < 500; i += 7) {
        const std::wstring key = L"control_" + std::to_wstring(i) + (i % 3 ? L"" : std::wstring(70, L'x'));
        EXPECT_EQ(P(i + 1), t.Find(key.c_str()));
    }
    t.Resize(0);
    EXPECT_EQ(0, t.GetCount());
    EXPECT_EQ(0u, t.GetBucketCount());
    EXPECT_FALSE(t.Insert(L"a", P(1)));
    t.Resize(5);
    EXPECT_EQ(5u, t.GetBucketCount());
    EXPECT_TRUE(t.Insert(L"a", P(1)));
    EXPECT_EQ(P(1), t.Find(L"a"));
}
