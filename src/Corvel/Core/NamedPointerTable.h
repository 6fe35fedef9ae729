// String-keyed table of untyped, non-owned pointers with chained buckets.
// The owner picks the bucket count once; the table never rehashes. Not
// locked: one thread at a time.
#pragma once

#include <cstdint>

#include "Corvel/Core/UiString.h"

namespace ui {

class NamedPointerTable {
public:
    // No buckets until the owner sets a count (Resize); the window core
    // uses 83.
    explicit NamedPointerTable(unsigned bucketCount = 0);
    ~NamedPointerTable();
    NamedPointerTable(const NamedPointerTable&) = delete;
    NamedPointerTable& operator=(const NamedPointerTable&) = delete;

    // h = h * 33 + character, from the last character to the first.
    static uint32_t HashKey(const wchar_t* key);

    // The value under `key`, null when absent. With `moveToFront` a found
    // node becomes the head of its bucket.
    void* Find(const wchar_t* key, bool moveToFront = true);
    // True when the key is stored (whatever its value, null included).
    bool Contains(const wchar_t* key) const;
    // False when there are no buckets or the key is already stored.
    bool Insert(const wchar_t* key, void* value);
    // Stores `value` and returns the previous one (null for a new key);
    // without buckets stores nothing and returns `value`.
    void* Set(const wchar_t* key, void* value);
    // False when the key is absent or there are no buckets.
    bool Remove(const wchar_t* key);
    // Key of the n-th node in table order (buckets from the last to the
    // first, each from its head); null past the end.
    const wchar_t* GetKeyAt(int n) const;
    // Frees every node and the buckets; a positive count then sets up that
    // many empty buckets, 0 leaves the table without buckets.
    void Resize(unsigned bucketCount);

    int GetCount() const { return m_count; }
    unsigned GetBucketCount() const { return m_bucketCount; }

private:
    struct Node {
        CUiString key;
        void* value;
        Node* prev;
        Node* next;
    };

    Node* FindNode(const wchar_t* key) const;
    void FreeAll();

    Node** m_buckets = nullptr;
    unsigned m_bucketCount = 0;
    int m_count = 0;
};

} // namespace ui
