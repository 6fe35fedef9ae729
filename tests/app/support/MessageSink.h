// A message-only window on the test's thread standing in for the main
// window: counts the product-ready messages it gets and the WM_QUIT of its
// thread while the test pumps.
#pragma once

#include <windows.h>

namespace apptest {

class MessageSink {
public:
    MessageSink();
    ~MessageSink();
    MessageSink(const MessageSink&) = delete;
    MessageSink& operator=(const MessageSink&) = delete;

    HWND Window() const { return m_window; }

    // Pumps the thread's queue for up to ms, or until the awaited event:
    // "ready" (a product-ready message arrived) or "quit" (a WM_QUIT).
    enum class Until { Timeout, Ready, Quit };
    void Pump(DWORD ms, Until until);

    int ReadyCount() const { return m_ready; }
    int QuitCount() const { return m_quit; }

private:
    HWND m_window = nullptr;
    int m_ready = 0;
    int m_quit = 0;
};

} // namespace apptest
