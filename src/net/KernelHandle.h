// Owner of one kernel handle whose "none" is null: events, semaphores,
// threads and completion ports. Files (whose "none" is INVALID_HANDLE_VALUE)
// use CFileHandle.
#pragma once

#include <windows.h>

#include <utility>

class CKernelHandle {
public:
    CKernelHandle() = default;
    // Takes ownership; null means "no handle".
    explicit CKernelHandle(HANDLE handle) : m_handle(handle) {}
    ~CKernelHandle() { Close(); }
    CKernelHandle(const CKernelHandle&) = delete;
    CKernelHandle& operator=(const CKernelHandle&) = delete;
    CKernelHandle(CKernelHandle&& other) noexcept : m_handle(other.Release()) {}
    CKernelHandle& operator=(CKernelHandle&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }

    // Borrowed: valid while this object holds it; null when it holds none.
    HANDLE Get() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }

    // Closes the handle held now and takes ownership of handle.
    void Reset(HANDLE handle = nullptr)
    {
        Close();
        m_handle = handle;
    }
    // Gives up ownership without closing; the caller closes what it gets.
    HANDLE Release() { return std::exchange(m_handle, nullptr); }
    void Close()
    {
        if (m_handle)
            CloseHandle(m_handle);
        m_handle = nullptr;
    }

private:
    HANDLE m_handle = nullptr;
};
