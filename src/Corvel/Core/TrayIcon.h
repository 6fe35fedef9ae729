// The tray part of a skinned window: its notification-area icon and the
// timer that flashes it. The window adds the icon; Remove takes it down.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

#include "Corvel/Core/ThreadTimer.h"

namespace ui {

class TrayIcon {
public:
    static constexpr UINT kCallbackMessage = 0x8006;

    // Takes the next instance number of the process (1, 2, ...), which is
    // also the icon id.
    TrayIcon();
    ~TrayIcon();
    TrayIcon(const TrayIcon&) = delete;
    TrayIcon& operator=(const TrayIcon&) = delete;

    // Stops and deletes the flashing timer (waiting for its thread, so no
    // tick can touch the icon afterwards), deletes the icon from the
    // notification area, clears the flags and the tip text.
    void Remove();

    // Every call the library makes to Shell_NotifyIconW goes through here;
    // answers the shell's result. UI thread.
    static BOOL Notify(DWORD message, const NOTIFYICONDATAW& data);
    // Sees each call of Notify (the message, the record passed, the shell's
    // answer) after it is made; an empty function removes the observer. UI
    // thread.
    using NotifyObserver = std::function<void(DWORD message, const NOTIFYICONDATAW& data, BOOL answer)>;
    static void SetNotifyObserverForTesting(NotifyObserver observer);

    uint32_t instance;                    // process-wide number, the icon id
    std::atomic<bool> shown{false};       // icon added to the notification area
    std::atomic<bool> restore{false};     // a flash tick left the icon hidden
    std::atomic<uint8_t> iconState{0};    // flash phase
    uint32_t reserved = 0;
    UINT callbackMessage = kCallbackMessage;
    HICON icon = nullptr;                 // the icon shown (restored after flashing)
    std::wstring tipText;
    NOTIFYICONDATAW data;                 // as last passed to Shell_NotifyIconW
    ThreadTimer* flashTimer = nullptr;    // owned; null when not flashing
};

} // namespace ui

using ui::TrayIcon;
