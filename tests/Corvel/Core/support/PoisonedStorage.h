// Storage for one object whose bytes are overwritten as soon as it is
// destroyed. Code that goes on using the object after its destruction then
// reads pointers that fault and counts that make no sense, where freed heap
// memory would often still hold the old values and let the fault pass
// unseen.
#pragma once

#include <cstddef>
#include <new>
#include <utility>

namespace testsupport {

template <class T>
class PoisonedStorage {
public:
    PoisonedStorage() = default;
    ~PoisonedStorage() { Destroy(); }
    PoisonedStorage(const PoisonedStorage&) = delete;
    PoisonedStorage& operator=(const PoisonedStorage&) = delete;

    template <class... Args>
    T* Emplace(Args&&... args)
    {
        Destroy();
        T* object = new (m_bytes) T(std::forward<Args>(args)...);
        m_live = true;
        return object;
    }

    // Runs the destructor once, then fills the bytes with a rising pattern:
    // any eight consecutive bytes make a non-canonical x86-64 address, and
    // neighbouring pointer-sized fields differ (a vector's begin and end do
    // not meet, so it does not look empty).
    void Destroy()
    {
        if (!m_live)
            return;
        T* object = Get();
        m_live = false;
        object->~T();
        for (size_t i = 0; i < sizeof(T); ++i)
            m_bytes[i] = static_cast<unsigned char>(0x41 + i);
    }

    bool IsLive() const { return m_live; }
    // Null once destroyed.
    T* Get() { return m_live ? std::launder(reinterpret_cast<T*>(m_bytes)) : nullptr; }

private:
    alignas(T) unsigned char m_bytes[sizeof(T)];
    bool m_live = false;
};

} // namespace testsupport
