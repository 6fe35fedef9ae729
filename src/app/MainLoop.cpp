#include "app/MainLoop.h"

#include <mmsystem.h>

#include "Corvel/Core/WindowCore.h"

namespace {

// The wait between passes: short, so that input and the tick stay prompt
// without spinning the processor.
constexpr DWORD kInputWaitMs = 1;

} // namespace

MainLoopHooks UiLibraryLoopHooks()
{
    MainLoopHooks hooks;
    hooks.idleTick = [] { ui::WindowCore::IdleTick(); };
    hooks.preTranslate = [](const MSG& msg) { return ui::WindowCore::PreTranslateMessage(msg); };
    return hooks;
}

WPARAM RunMainLoop(const MainLoopHooks& hooks)
{
    DWORD nextTick = 0;
    MSG msg = {};
    do {
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            msg.message = WM_NULL;
            const DWORD now = timeGetTime();
            if (now >= nextTick) {
                hooks.idleTick();
                nextTick = now + kIdleTickMs;
            }
        } else if (!hooks.preTranslate(msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjectsEx(0, nullptr, kInputWaitMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    } while (msg.message != WM_QUIT);
    return msg.wParam;
}
