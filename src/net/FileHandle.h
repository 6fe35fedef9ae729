// Owner of one kernel file handle (CreateFileW and the like).
#pragma once

#include <windows.h>

#include <utility>

class CFileHandle {
public:
    CFileHandle() = default;
    // Takes ownership; INVALID_HANDLE_VALUE (what CreateFileW returns on
    // failure) and null both mean "no file".
    explicit CFileHandle(HANDLE handle) : m_handle(handle ? handle : INVALID_HANDLE_VALUE) {}
    ~CFileHandle() { Close(); }
    CFileHandle(const CFileHandle&) = delete;
    CFileHandle& operator=(const CFileHandle&) = delete;
    CFileHandle(CFileHandle&& other) noexcept : m_handle(other.Release()) {}
    CFileHandle& operator=(CFileHandle&& other) noexcept
    {
        if (this != &other)
            Reset(other.Release());
        return *this;
    }

    HANDLE Get() const { return m_handle; }
    bool Valid() const { return m_handle != INVALID_HANDLE_VALUE; }
    explicit operator bool() const { return Valid(); }

    // Closes the file held now and takes ownership of handle.
    void Reset(HANDLE handle = INVALID_HANDLE_VALUE)
    {
        Close();
        m_handle = handle ? handle : INVALID_HANDLE_VALUE;
    }
    // Gives up ownership without closing; the caller closes what it gets.
    HANDLE Release() { return std::exchange(m_handle, INVALID_HANDLE_VALUE); }
    void Close()
    {
        if (m_handle != INVALID_HANDLE_VALUE)
            CloseHandle(m_handle);
        m_handle = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE m_handle = INVALID_HANDLE_VALUE;
};
