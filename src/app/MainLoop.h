// The installer's main message loop, which drives the UI library's idle
// tick. Main (UI) thread only.
#pragma once

#include <windows.h>

#include <functional>

// What the loop calls; the defaults are the UI library's own.
struct MainLoopHooks {
    // One frame for every window; run while the queue is empty, at most
    // once per kIdleTickMs.
    std::function<void()> idleTick;
    // Offered every message, WM_QUIT included; true means consumed (not
    // translated or dispatched).
    std::function<bool(const MSG&)> preTranslate;
};

// The idle tick's period in milliseconds (about 60 frames a second).
constexpr DWORD kIdleTickMs = 16;

MainLoopHooks UiLibraryLoopHooks();

// Takes messages one at a time until WM_QUIT: an empty queue runs the idle
// tick when its time has come; a message goes to the pre-translate hook and,
// unless consumed, is translated and dispatched; each pass then waits at
// most 1 ms for input. Returns the WM_QUIT's wParam.
WPARAM RunMainLoop(const MainLoopHooks& hooks);
