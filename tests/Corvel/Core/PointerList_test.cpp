#include "Corvel/Core/PointerList.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

using ui::PointerList;

namespace {

void* P(intptr_t v) { return reinterpret_cast<void*>(v); }
intptr_t V(void* p) { return reinterpret_cast<intptr_t>(p); }

std::vector<intptr_t> Items(const PointerList& list)
{
    std::vector<intptr_t> out;
    for (int i = 0; i < list.GetCount(); ++i)
        out.push_back(V(list.GetAt(i)));
    return out;
}

int CompareValues(void* a, void* b)
{
    return V(a) < V(b) ? -1 : (V(a) > V(b) ? 1 : 0);
}

} // namespace

TEST(PointerList, GrowthKeepsOneSpareSlot)
{
    PointerList list;
    EXPECT_EQ(0, list.GetCapacity());
    EXPECT_EQ(nullptr, list.GetData());
    std::vector<int> capacities;
    for (int i = 1; i <= 45; ++i) {
        ASSERT_TRUE(list.Add(P(i)));
        capacities.push_back(list.GetCapacity());
    }
    EXPECT_EQ(11, capacities[0]);
    EXPECT_EQ(11, capacities[9]);  // 10 items
    EXPECT_EQ(22, capacities[10]); // the 11th Add grows
    EXPECT_EQ(22, capacities[20]);
    EXPECT_EQ(44, capacities[21]);
    EXPECT_EQ(88, capacities[43]);
    EXPECT_EQ(45, list.GetCount());
    for (int i = 0; i < 45; ++i)
        EXPECT_EQ(i + 1, V(list.GetAt(i)));
    // Removing never shrinks.
    while (list.GetCount())
        list.RemoveAt(0);
    EXPECT_EQ(88, list.GetCapacity());
}

TEST(PointerList, IndexedAccessAndRemoval)
{
    PointerList list;
    EXPECT_EQ(nullptr, list.GetAt(0));
    EXPECT_EQ(-1, list.IndexOf(P(1)));
    for (int i = 1; i <= 5; ++i)
        list.Add(P(i));
    EXPECT_EQ(nullptr, list.GetAt(-1));
    EXPECT_EQ(nullptr, list.GetAt(5));
    EXPECT_EQ(2, list.IndexOf(P(3)));
    EXPECT_EQ(-1, list.IndexOf(P(9)));
    EXPECT_FALSE(list.RemoveAt(5));
    EXPECT_FALSE(list.RemoveAt(-1));
    EXPECT_TRUE(list.RemoveAt(1));
    EXPECT_EQ((std::vector<intptr_t>{1, 3, 4, 5}), Items(list));
    EXPECT_TRUE(list.RemoveAt(3));
    EXPECT_EQ((std::vector<intptr_t>{1, 3, 4}), Items(list));
    EXPECT_TRUE(list.Remove(P(3)));
    EXPECT_FALSE(list.Remove(P(3)));
    EXPECT_EQ((std::vector<intptr_t>{1, 4}), Items(list));
}

TEST(PointerList, InsertAtBounds)
{
    PointerList list;
    EXPECT_FALSE(list.InsertAt(-1, P(1)));
    EXPECT_FALSE(list.InsertAt(1, P(1)));
    EXPECT_TRUE(list.InsertAt(0, P(2)));
    EXPECT_TRUE(list.InsertAt(1, P(4))); // count: append
    EXPECT_FALSE(list.InsertAt(3, P(5)));
    EXPECT_TRUE(list.InsertAt(0, P(1)));
    EXPECT_TRUE(list.InsertAt(2, P(3)));
    EXPECT_EQ((std::vector<intptr_t>{1, 2, 3, 4}), Items(list));
    // Inserting in the middle across a growth step keeps every item.
    for (int i = 0; i < 30; ++i)
        ASSERT_TRUE(list.InsertAt(2, P(100 + i)));
    EXPECT_EQ(34, list.GetCount());
    EXPECT_EQ(1, V(list.GetAt(0)));
    EXPECT_EQ(129, V(list.GetAt(2)));
    EXPECT_EQ(100, V(list.GetAt(31)));
    EXPECT_EQ(4, V(list.GetAt(33)));
}

TEST(PointerList, InsertSortedKeepsOrder)
{
    PointerList list;
    const intptr_t values[] = {50, 10, 90, 30, 70, 20, 80, 60, 40, 55, 5, 95, 45, 65, 35};
    for (intptr_t v : values)
        ASSERT_TRUE(list.InsertSorted(P(v), CompareValues));
    std::vector<intptr_t> items = Items(list);
    ASSERT_EQ(15u, items.size());
    for (size_t i = 1; i < items.size(); ++i)
        EXPECT_LT(items[i - 1], items[i]);

    // An item equal to an inner one goes before it: tag equal values by the
    // upper bits and compare only the low ones.
    PointerList tagged;
    auto low = [](void* a, void* b) { return CompareValues(P(V(a) & 0xFF), P(V(b) & 0xFF)); };
    for (intptr_t v : {10, 20, 30, 40, 50})
        tagged.InsertSorted(P(v), low);
    tagged.InsertSorted(P(0x100 | 30), low);
    EXPECT_EQ(2, tagged.IndexOf(P(0x100 | 30)));
    EXPECT_EQ(3, tagged.IndexOf(P(30)));
}

TEST(PointerList, InsertSortedEdges)
{
    int calls = 0;
    auto zero = [&calls](void*, void*) {
        ++calls;
        return 0;
    };
    PointerList list;
    list.InsertSorted(P(1), zero); // empty: no comparison
    EXPECT_EQ(0, calls);
    list.InsertSorted(P(2), zero);
    list.InsertSorted(P(3), zero);
    list.InsertSorted(P(4), zero);
    // Equal to everything: always at the front.
    EXPECT_EQ((std::vector<intptr_t>{4, 3, 2, 1}), Items(list));

    PointerList one;
    one.Add(P(10));
    one.InsertSorted(P(20), CompareValues);
    one.InsertSorted(P(5), CompareValues);
    EXPECT_EQ((std::vector<intptr_t>{5, 10, 20}), Items(one));
    one.InsertSorted(P(20), CompareValues); // equal to the last: appended
    EXPECT_EQ((std::vector<intptr_t>{5, 10, 20, 20}), Items(one));
}

TEST(PointerList, CopyAndAssign)
{
    PointerList a;
    for (int i = 1; i <= 12; ++i)
        a.Add(P(i));
    PointerList b(a);
    EXPECT_EQ(Items(a), Items(b));
    EXPECT_NE(a.GetData(), b.GetData());
    PointerList c;
    c.Add(P(99));
    c = a;
    EXPECT_EQ(Items(a), Items(c));
    c = c;
    EXPECT_EQ(Items(a), Items(c));
    PointerList d(std::move(c));
    EXPECT_EQ(Items(a), Items(d));
    EXPECT_EQ(0, c.GetCount());
    d.Clear();
    EXPECT_EQ(0, d.GetCapacity());
    EXPECT_TRUE(d.Add(P(1)));
}
