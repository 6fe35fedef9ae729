#include "Corvel/Core/TrayIcon.h"

#include <cstring>

// The notification record is handed to the shell as is.
static_assert(sizeof(NOTIFYICONDATAW) == (sizeof(void*) == 4 ? 956 : 976), "NOTIFYICONDATAW layout");

namespace ui {

namespace {

std::atomic<uint32_t> g_nextInstance{1};

TrayIcon::NotifyObserver& Observer()
{
    static TrayIcon::NotifyObserver observer;
    return observer;
}

} // namespace

TrayIcon::TrayIcon() : instance(g_nextInstance.fetch_add(1))
{
    std::memset(&data, 0, sizeof(data));
}

TrayIcon::~TrayIcon()
{
    Remove();
}

void TrayIcon::Remove()
{
    // Join the flashing thread first: a tick running while the icon is
    // deleted could put it back or modify a deleted icon.
    if (flashTimer) {
        ThreadTimer* timer = flashTimer;
        flashTimer = nullptr;
        timer->Destroy();
    }
    // Once deleted, the record names no window: a later Remove (the window's
    // destruction, then this object's) has nothing to delete again.
    if (data.hWnd) {
        NOTIFYICONDATAW nid = data;
        nid.cbSize = sizeof(nid);
        Notify(NIM_DELETE, nid);
        data.hWnd = nullptr;
    }
    shown = false;
    restore = false;
    iconState = 0;
    callbackMessage = kCallbackMessage;
    tipText.clear();
    tipText.shrink_to_fit();
}

BOOL TrayIcon::Notify(DWORD message, const NOTIFYICONDATAW& data)
{
    NOTIFYICONDATAW copy = data;  // the shell takes a non-const record
    const BOOL answer = Shell_NotifyIconW(message, &copy);
    if (Observer())
        Observer()(message, data, answer);
    return answer;
}

void TrayIcon::SetNotifyObserverForTesting(NotifyObserver observer) { Observer() = std::move(observer); }

} // namespace ui
