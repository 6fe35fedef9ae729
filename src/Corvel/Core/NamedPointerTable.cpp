#include "Corvel/Core/NamedPointerTable.h"

#include <cwchar>
#include <new>

namespace ui {

NamedPointerTable::NamedPointerTable(unsigned bucketCount)
{
    if (bucketCount > 0)
        Resize(bucketCount);
}

NamedPointerTable::~NamedPointerTable()
{
    FreeAll();
}

uint32_t NamedPointerTable::HashKey(const wchar_t* key)
{
    if (!key)
        return 0;
    uint32_t h = 0;
    for (size_t i = std::wcslen(key); i > 0; --i)
        h = h * 33u + static_cast<uint16_t>(key[i - 1]);
    return h;
}

void NamedPointerTable::FreeAll()
{
    if (m_buckets) {
        for (unsigned b = m_bucketCount; b > 0; --b) {
            Node* node = m_buckets[b - 1];
            while (node) {
                Node* next = node->next;
                delete node;
                node = next;
            }
        }
        delete[] m_buckets;
    }
    m_buckets = nullptr;
    m_bucketCount = 0;
    m_count = 0;
}

void NamedPointerTable::Resize(unsigned bucketCount)
{
    FreeAll();
    if (bucketCount > 0) {
        m_buckets = new Node*[bucketCount]();
        m_bucketCount = bucketCount;
    }
}

NamedPointerTable::Node* NamedPointerTable::FindNode(const wchar_t* key) const
{
    if (!m_buckets || m_count == 0)
        return nullptr;
    const wchar_t* k = key ? key : L"";
    for (Node* node = m_buckets[HashKey(k) % m_bucketCount]; node; node = node->next) {
        if (node->key.Equals(k))
            return node;
    }
    return nullptr;
}

void* NamedPointerTable::Find(const wchar_t* key, bool moveToFront)
{
    Node* node = FindNode(key);
    if (!node)
        return nullptr;
    if (moveToFront && node->prev) {
        Node*& head = m_buckets[HashKey(key ? key : L"") % m_bucketCount];
        node->prev->next = node->next;
        if (node->next)
            node->next->prev = node->prev;
        node->prev = nullptr;
        node->next = head;
        head->prev = node;
        head = node;
    }
    return node->value;
}

bool NamedPointerTable::Contains(const wchar_t* key) const
{
    return FindNode(key) != nullptr;
}

bool NamedPointerTable::Insert(const wchar_t* key, void* value)
{
    if (!m_buckets)
        return false;
    // Checked by node, not by value: a key stored with a null value is
    // still stored, and a second node would shadow it.
    if (FindNode(key))
        return false;
    const wchar_t* k = key ? key : L"";
    Node*& head = m_buckets[HashKey(k) % m_bucketCount];
    Node* node = new Node{CUiString(k), value, nullptr, head};
    if (head)
        head->prev = node;
    head = node;
    ++m_count;
    return true;
}

void* NamedPointerTable::Set(const wchar_t* key, void* value)
{
    if (!m_buckets)
        return value;
    if (Node* node = FindNode(key)) {
        void* previous = node->value;
        node->value = value;
        return previous;
    }
    Insert(key, value);
    return nullptr;
}

bool NamedPointerTable::Remove(const wchar_t* key)
{
    Node* node = FindNode(key);
    if (!node)
        return false;
    if (node->prev)
        node->prev->next = node->next;
    else
        m_buckets[HashKey(key ? key : L"") % m_bucketCount] = node->next;
    if (node->next)
        node->next->prev = node->prev;
    delete node;
    --m_count;
    return true;
}

const wchar_t* NamedPointerTable::GetKeyAt(int n) const
{
    if (!m_buckets || m_count == 0 || n < 0)
        return nullptr;
    int index = 0;
    for (unsigned b = m_bucketCount; b > 0; --b) {
        for (Node* node = m_buckets[b - 1]; node; node = node->next) {
            if (index++ == n)
                return node->key.GetData();
        }
    }
    return nullptr;
}

} // namespace ui
