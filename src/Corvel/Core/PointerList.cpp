#include "Corvel/Core/PointerList.h"

#include <climits>
#include <cstdlib>
#include <cstring>

namespace ui {

PointerList::PointerList(const PointerList& other)
{
    for (int i = 0; i < other.m_count; ++i)
        Add(other.m_items[i]); // an item that cannot be stored is skipped
}

PointerList& PointerList::operator=(const PointerList& other)
{
    if (this != &other) {
        m_count = 0;
        for (int i = 0; i < other.m_count; ++i)
            Add(other.m_items[i]);
    }
    return *this;
}

PointerList::PointerList(PointerList&& other) noexcept
    : m_items(other.m_items), m_count(other.m_count), m_capacity(other.m_capacity)
{
    other.m_items = nullptr;
    other.m_count = 0;
    other.m_capacity = 0;
}

PointerList& PointerList::operator=(PointerList&& other) noexcept
{
    if (this != &other) {
        std::free(m_items);
        m_items = other.m_items;
        m_count = other.m_count;
        m_capacity = other.m_capacity;
        other.m_items = nullptr;
        other.m_count = 0;
        other.m_capacity = 0;
    }
    return *this;
}

PointerList::~PointerList()
{
    std::free(m_items);
}

void PointerList::Clear()
{
    std::free(m_items);
    m_items = nullptr;
    m_count = 0;
    m_capacity = 0;
}

bool PointerList::Grow()
{
    // One slot always stays spare.
    if (m_count + 1 < m_capacity)
        return true;
    if (m_capacity > INT_MAX / 2)
        return false;
    const int capacity = m_capacity == 0 ? 11 : m_capacity * 2;
    void* grown = std::realloc(m_items, static_cast<size_t>(capacity) * sizeof(void*));
    if (!grown)
        return false;
    m_items = static_cast<void**>(grown);
    m_capacity = capacity;
    return true;
}

bool PointerList::Add(void* item)
{
    if (!Grow())
        return false;
    m_items[m_count++] = item;
    return true;
}

bool PointerList::InsertAt(int index, void* item)
{
    if (index == m_count)
        return Add(item);
    if (index < 0 || index > m_count)
        return false;
    if (!Grow())
        return false;
    std::memmove(m_items + index + 1, m_items + index,
                 static_cast<size_t>(m_count - index) * sizeof(void*));
    m_items[index] = item;
    ++m_count;
    return true;
}

bool PointerList::InsertSorted(void* item, const Compare& compare)
{
    if (m_count == 0)
        return Add(item);
    if (m_count == 1)
        return compare(item, m_items[0]) <= 0 ? InsertAt(0, item) : Add(item);
    if (compare(item, m_items[0]) <= 0)
        return InsertAt(0, item);
    if (compare(item, m_items[m_count - 1]) >= 0)
        return Add(item);

    // Here item > first and item < last.
    int low = 0;
    int high = m_count - 1;
    while (high != low + 1) {
        const int middle = low + (high - low) / 2;
        const int order = compare(item, m_items[middle]);
        if (order == 0)
            return InsertAt(middle, item);
        if (order > 0)
            low = middle;
        else
            high = middle;
    }
    return InsertAt(high, item);
}

bool PointerList::RemoveAt(int index)
{
    if (index < 0 || index >= m_count)
        return false;
    std::memmove(m_items + index, m_items + index + 1,
                 static_cast<size_t>(m_count - index - 1) * sizeof(void*));
    --m_count;
    return true;
}

bool PointerList::Remove(void* item)
{
    return RemoveAt(IndexOf(item));
}

int PointerList::IndexOf(const void* item) const
{
    for (int i = 0; i < m_count; ++i) {
        if (m_items[i] == item)
            return i;
    }
    return -1;
}

void* PointerList::GetAt(int index) const
{
    if (index < 0 || index >= m_count)
        return nullptr;
    return m_items[index];
}

bool PointerList::SetAt(int index, void* item)
{
    if (index < 0 || index >= m_count)
        return false;
    m_items[index] = item;
    return true;
}

} // namespace ui
