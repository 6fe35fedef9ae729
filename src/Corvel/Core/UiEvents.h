// Input events the window core hands to controls, notifications controls
// raise through the core, and the listener interfaces that receive them.
#pragma once

#include <windows.h>
#include <ole2.h>

#include <functional>

#include "Corvel/Core/UiString.h"

namespace ui {

class Control;

// Event numbers of InputEvent::type.
enum InputEventType : int {
    kEventKeyDown = 3,
    kEventKeyUp = 4,
    kEventChar = 5,
    kEventSysKey = 6,
    kEventMouseMove = 9,
    kEventMouseLeave = 10,
    kEventMouseEnter = 11,
    kEventMouseHover = 12,
    kEventButtonDown = 13,
    kEventButtonUp = 14,
    kEventRButtonDown = 15,
    kEventRButtonUp = 16,
    kEventDblClick = 17,
    kEventContextMenu = 18,
    kEventScrollWheel = 19,
    kEventKillFocus = 21,
    kEventSetFocus = 22,
    kEventWindowMove = 23,
    kEventWindowSize = 24,
    kEventSetCursor = 25,
    kEventTimer = 26,
    kEventWindowClose = 33,
    kEventDragEnter = 34,
    kEventDragOver = 35,
    kEventDragLeave = 36,
};

// Modifier bits of InputEvent::modifiers.
enum : WORD {
    kModRButton = 1,
    kModLButton = 2,
    kModShift = 4,
    kModCtrl = 8,
    kModAlt = 32,
};

// The record a control's FireEvent receives.
struct InputEvent {
    int type = 0;
    bool handled = false;
    Control* sender = nullptr;
    DWORD timestamp = 0;
    POINT point{0, 0};
    WORD key = 0;
    WORD modifiers = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

// What a drop hands to a drop handler. The data object is borrowed for the
// call. A handler that locks a global block or obtains a storage medium
// leaves it in `lockedMemory` / `medium`; the drop target unlocks the block
// (GlobalUnlock) and releases the medium (ReleaseStgMedium) after the call.
struct DropRecord {
    POINTL point{0, 0}; // screen coordinates, as OLE gives them
    DWORD keyState = 0; // MK_* bits
    IDataObject* data = nullptr;
    HGLOBAL lockedMemory = nullptr;
    STGMEDIUM medium{}; // TYMED_NULL until the handler fills it
};

// Receives drops on a control or a window. UI thread.
using DropHandler = std::function<void(DropRecord* drop)>;

// A notification raised by a control through its window core.
struct tagTNotifyUI {
    CUiString type;
    Control* sender = nullptr;
    DWORD timestamp = 0;
    POINT point{0, 0};
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

class INotifyUI {
public:
    virtual void ReceiveNotify(tagTNotifyUI& msg) = 0;

protected:
    ~INotifyUI() = default;
};

class IMessageFilterUI {
public:
    virtual LRESULT FilterMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) = 0;

protected:
    ~IMessageFilterUI() = default;
};

class ITranslateAccelerator {
public:
    // 0 means the message was consumed.
    virtual LRESULT TranslateKeyMessage(MSG* msg) = 0;

protected:
    ~ITranslateAccelerator() = default;
};

} // namespace ui
