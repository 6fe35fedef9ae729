// Growable array of untyped, non-owned pointers (control lists, listener
// lists). Not locked: one thread at a time.
#pragma once

#include <functional>

namespace ui {

class PointerList {
public:
    // Answers <0 when `newItem` belongs before `existing`, >0 after it,
    // 0 when they are equal.
    using Compare = std::function<int(void* newItem, void* existing)>;

    PointerList() = default;
    PointerList(const PointerList& other);
    PointerList& operator=(const PointerList& other);
    PointerList(PointerList&& other) noexcept;
    PointerList& operator=(PointerList&& other) noexcept;
    ~PointerList();

    // Appends; false when the array cannot grow (the list is unchanged).
    bool Add(void* item);
    // `index` == count appends; below 0 or above count fails.
    bool InsertAt(int index, void* item);
    // Inserts into a list kept in the order of `compare`; an item equal to
    // an existing one goes before it. False when the array cannot grow.
    bool InsertSorted(void* item, const Compare& compare);
    // False when out of range.
    bool RemoveAt(int index);
    // Removes the first equal pointer; false when absent.
    bool Remove(void* item);
    // Forgets every item; the storage is kept.
    void Empty() { m_count = 0; }
    // Forgets every item and frees the storage.
    void Clear();

    int IndexOf(const void* item) const;
    bool Contains(const void* item) const { return IndexOf(item) >= 0; }
    // Null for an index out of range.
    void* GetAt(int index) const;
    // False for an index out of range.
    bool SetAt(int index, void* item);
    void* operator[](int index) const { return GetAt(index); }

    int GetCount() const { return m_count; }
    int GetSize() const { return m_count; }
    bool IsEmpty() const { return m_count == 0; }
    int GetCapacity() const { return m_capacity; }
    void** GetData() const { return m_items; }

    // Typed read for callers that know what they stored.
    template <typename T>
    T* ItemAs(int index) const { return static_cast<T*>(GetAt(index)); }

private:
    // Makes room for one more item: 0 -> 11 -> 22 -> 44 ...
    bool Grow();

    void** m_items = nullptr;
    int m_count = 0;
    int m_capacity = 0;
};

} // namespace ui
