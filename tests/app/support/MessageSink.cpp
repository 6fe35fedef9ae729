#include "app/support/MessageSink.h"

#include "app/AppModel.h"

namespace apptest {

namespace {

const wchar_t kSinkClass[] = L"CorvelTestMessageSink";

void RegisterSinkClass()
{
    static const bool registered = [] {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kSinkClass;
        return RegisterClassW(&wc) != 0;
    }();
    (void)registered;
}

} // namespace

MessageSink::MessageSink()
{
    RegisterSinkClass();
    m_window = CreateWindowExW(0, kSinkClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, GetModuleHandleW(nullptr),
                               nullptr);
}

MessageSink::~MessageSink()
{
    if (m_window)
        DestroyWindow(m_window);
}

void MessageSink::Pump(DWORD ms, Until until)
{
    const ULONGLONG end = GetTickCount64() + ms;
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                ++m_quit;
            else if (msg.message == kMsgProductReady && msg.hwnd == m_window)
                ++m_ready;
            else
                DispatchMessageW(&msg);
        }
        if ((until == Until::Ready && m_ready > 0) || (until == Until::Quit && m_quit > 0))
            return;
        const ULONGLONG now = GetTickCount64();
        if (now >= end)
            return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
    }
}

} // namespace apptest
