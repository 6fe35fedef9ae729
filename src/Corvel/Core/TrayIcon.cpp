#include "Corvel/Core/TrayIcon.h"

#include <cstring>

// The notification record is handed to the shell as is.
static_assert(sizeof(NOTIFYICONDATAW) == (sizeof(void*) == 4 ? 956 : 976), "NOTIFYICONDATAW layout");

namespace ui {

namespace {

std::atomic<uint32_t> g_nextInstance{1};

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
    if (data.hWnd) {
        NOTIFYICONDATAW nid = data;
        nid.cbSize = sizeof(nid);
        Shell_NotifyIconW(NIM_DELETE, &nid);
    }
    shown = false;
    restore = false;
    iconState = 0;
    callbackMessage = kCallbackMessage;
    tipText.clear();
    tipText.shrink_to_fit();
}

} // namespace ui
