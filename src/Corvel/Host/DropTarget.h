// The IDropTarget of a skinned window that accepts drops. It finds the
// control under the pointer that accepts drops (itself or its nearest
// ancestor with "drop" set), sends it drag enter / over / leave events and
// hands the drop to its drop handler, else to the window core's.
//
// Owned by its window (IWindowBase): reference counted for OLE, but the last
// Release does not delete it. UI thread.
#pragma once

#include <windows.h>
#include <ole2.h>
#include <shlobj.h>
#include <wrl/client.h>

namespace ui {

class Control;
class WindowCore;

class CDropTarget : public IDropTarget {
public:
    // `core` is borrowed and outlives the target; null makes DragEnter a
    // no-op.
    CDropTarget(HWND window, WindowCore* core);
    // Revokes the registration when Revoke has not run yet.
    virtual ~CDropTarget();
    CDropTarget(const CDropTarget&) = delete;
    CDropTarget& operator=(const CDropTarget&) = delete;

    // RegisterDragDrop for the window and the shell's drag-image helper
    // (optional: without it no drag picture is shown over the window).
    HRESULT Register();
    // RevokeDragDrop while the window still exists (its WM_DESTROY).
    void Revoke();

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDropTarget
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keyState, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;

    Control* GetCurrentTarget() const { return m_target; }
    bool IsRegistered() const { return m_registered; }
    LONG GetRefCountForTesting() const { return m_refs; }

private:
    // The control under a client point that accepts drops, or null.
    Control* FindDropControl(POINT client) const;
    // Sends a drag event (34..36) to `control`.
    void SendDragEvent(Control* control, int type, POINT client, DWORD keyState, DWORD* effect);
    void LeaveTarget();

    LONG m_refs = 0;
    HWND m_window = nullptr;
    Control* m_target = nullptr;        // borrowed: the control being dragged over
    WindowCore* m_core = nullptr;       // borrowed
    IDataObject* m_data = nullptr;      // borrowed during a drag, not AddRef'd
    // Optional: null where the shell lacks the helper; drags then show no
    // picture over the window.
    Microsoft::WRL::ComPtr<IDropTargetHelper> m_helper;
    bool m_registered = false;
};

} // namespace ui
