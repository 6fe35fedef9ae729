// Owner of one WinHTTP handle.
#pragma once

#include <windows.h>
#include <winhttp.h>

class CHttpHandle {
public:
    CHttpHandle() = default;
    explicit CHttpHandle(HINTERNET handle) : m_handle(handle) {}
    virtual ~CHttpHandle() { Close(); }
    CHttpHandle(const CHttpHandle&) = delete;
    CHttpHandle& operator=(const CHttpHandle&) = delete;

    HINTERNET Handle() const { return m_handle; }
    explicit operator bool() const { return m_handle != nullptr; }
    void Attach(HINTERNET handle)
    {
        Close();
        m_handle = handle;
    }
    void Close()
    {
        if (m_handle) {
            WinHttpCloseHandle(m_handle);
            m_handle = nullptr;
        }
    }

protected:
    HINTERNET m_handle = nullptr;
};
