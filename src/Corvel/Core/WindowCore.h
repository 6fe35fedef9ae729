// The per-window half of the UI library: one instance per native window. It
// owns the control tree's root and everything the tree needs from its window:
// focus, hover and capture, control timers, notifications and message
// filters, dirty rectangles and the render target, UI tasks handed over by
// worker threads and the delayed-delete list.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "Corvel/Core/Control.h"
#include "Corvel/Core/UiEvents.h"
#include "Corvel/Core/UiString.h"
#include "Corvel/Core/UiTypes.h"
#include "Corvel/Render/TimeLine.h"

namespace ui {

class CWindowWnd;
class RenderTarget;
class FontManager;
class CTimeLine;
class ControlTransform;

// Private window messages of the UI library.
enum : UINT {
    kMsgDeleteLater = 0x8001,
    kMsgWindowInit = 0x8002,
    kMsgNetImage = 0x8003,
    kMsgNetText = 0x8004,
    kMsgRunTask = 0x8005,
    kMsgTrayIcon = 0x8006,
    kMsgShadowSetup = 0x8007,
};

// Window timer ids the core uses for itself.
enum : UINT_PTR {
    kTimerSizeMove = 3066,
    kTimerShadowSetup = 3067,
};

struct WindowShadowSettings {
    float size = 0;
    float blur = 0;
    uint32_t color = 0;
    float offsetX = 0;
    float offsetY = 0;
    int roundX = 0;
    int roundY = 0;
};

// A window-level animation definition ("Animation" element of a skin).
struct AnimationProperty {
    float from = 0.0f;
    float to = 0.0f;
    std::wstring name;
};
struct AnimationSpec {
    int repeat = 0;
    float duration = 0.0f; // seconds
    int easing = 0;        // easing type index
    std::wstring slope;    // "in", "out" or "inout"
    std::vector<AnimationProperty> properties;
};

// Process-wide table from a display scale in per cent to the folder prefix
// of its images. A later entry for the same scale replaces the earlier one.
void SetScalePrefix(int percent, const wchar_t* prefix);
void ClearScalePrefixes();
// Exact match of trunc(dpi x 100 / 96); empty with found = false otherwise.
CUiString GetScalePrefix(int dpi, bool& found);

class WindowCore {
public:
    using MessageHandler = std::function<bool(UINT& message, WPARAM& wParam, LPARAM& lParam)>;

    WindowCore();
    ~WindowCore();
    WindowCore(const WindowCore&) = delete;
    WindowCore& operator=(const WindowCore&) = delete;

    // --- Data model and lifecycle -------------------------------------
    void SetOwner(CWindowWnd* owner) { m_owner = owner; }
    CWindowWnd* GetOwner() const { return m_owner; }
    // Binds the core to its native window: DPI record (kept when one exists
    // already), DC, font manager, render target, and the global core lists.
    void BindWindow(HWND window);
    // Releases what BindWindow made; safe to call more than once.
    void UnbindWindow();
    HWND GetWindow() const { return m_window; }
    HDC GetWindowDC() const { return m_dc; }
    RenderTarget* GetRenderTarget() const { return m_renderTarget; }
    FontManager* GetFontManager() const { return m_fontManager; }

    // DPI record: created at the first bind from the window's DPI. A caller
    // may create it before binding to choose the DPI the tree is laid out at.
    void SetDpi(int dpi);
    int GetDpi() const { return m_dpi ? m_dpi->dpi : 0; }
    // DPI / 96; 1 while no DPI is known.
    float GetScale() const { return (m_dpi && m_dpi->scale > 0) ? m_dpi->scale : 1.0f; }

    void SetStartSize(int cx, int cy);
    void SetMonitorRelativeSize(float fx, float fy, bool move);
    SIZE ComputeMonitorRelativeSize() const;
    void SetPosition(int x, int y) { m_posX = x; m_posY = y; }
    void SetPositionFactors(float fx, float fy) { m_posFactorX = fx; m_posFactorY = fy; }
    void SetTrackingLimits(int minW, int minH, int maxW, int maxH);
    void SetSizeBox(const RECT& r) { m_sizeBox = r; }
    RECT GetScaledSizeBox() const;
    void SetCaption(const RECT& r) { m_caption = r; }
    RECT GetCaption() const { return m_caption; }
    bool IsLayered() const { return m_layered; }
    void SetLayered(bool on) { m_layered = on; }
    void SetHostsNativeContent(bool on) { m_hostsNativeContent = on; }
    RECT GetClientRect() const { return m_clientRect; }

    void ParseWindowShadow(const wchar_t* text);
    WindowShadowSettings* FindShadowSettings() const;

    void SetParentCore(WindowCore* parent) { m_parentCore = parent; }
    WindowCore* GetParentCore() const { return m_parentCore; }
    uint32_t GetDisabledTextColor() const;
    uint32_t GetTextColor() const;
    uint32_t GetLinkTextColor() const;
    uint32_t GetLinkHotTextColor() const;
    uint32_t GetTextBkColor() const;
    void SetDefaultColors(uint32_t disabledText, uint32_t text, uint32_t link, uint32_t linkHot, uint32_t textBk);

    // Running timelines, ticked once per frame.
    TimeLineList& TimeLines() { return m_timeLines; }
    void AddTimeline(CTimeLine* timeline);
    void RemoveTimeline(CTimeLine* timeline);
    void AddPendingSetupControl(Control* control);
    void RemovePendingSetupControl(Control* control);
    void SetEditReturnHook(std::function<bool(Control*)> hook) { m_editReturnHook = std::move(hook); }
    bool CallEditReturnHook(Control* edit);

    // Tables the skin builder fills.
    void SetAnimationSpec(const wchar_t* name, const AnimationSpec& definition);
    bool FindAnimationSpec(const wchar_t* name, AnimationSpec& out) const;
    // Named transforms ("Transform" elements): the core owns them; one of the
    // name of an earlier one replaces and deletes it. False (and the
    // transform deleted) when it is null or has no name.
    bool AddTransform(std::unique_ptr<ControlTransform> transform);
    // Borrowed until the name is replaced or the table cleared; null when
    // the name is unknown. Controls copy it (Control::SetTransform).
    const ControlTransform* FindTransform(const wchar_t* name) const;
    // Deletes every named transform.
    void ClearTransforms();
    void SetDefaultAttributeList(const wchar_t* className, const wchar_t* attributes);
    // Null when the class has no default attributes.
    const wchar_t* GetDefaultAttributeList(const wchar_t* className) const;
    // The first definition of a key wins.
    bool AddString(const wchar_t* key, const wchar_t* text);
    // Null when the key is unknown.
    const wchar_t* GetString(const wchar_t* key) const;

    void SetMessageHandler(UINT message, MessageHandler handler);
    bool AddTranslateAccelerator(ITranslateAccelerator* accel);
    bool RemoveTranslateAccelerator(ITranslateAccelerator* accel);
    bool AddWindowEventListener(Control* control);
    bool RemoveWindowEventListener(Control* control);

    // --- Message processing -------------------------------------------
    // True when the message was handled; `result` is then the answer.
    bool ProcessWindowMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // Offered every queued message by the main loop and modal loops; true
    // means consumed.
    static bool PreTranslateMessage(const MSG& msg);
    Control* FindControlAtPoint(int x, int y);
    POINT GetLastMousePoint() const { return m_lastMouse; }

    // --- Idle tick and painting ---------------------------------------
    // One frame for every bound, visible, not minimised window.
    static void IdleTick();
    void RunIdleStep();
    void MarkDirty(const RECTF& r);
    static std::vector<RECTF> MergeDirtyRects(const std::vector<RECTF>& input);
    void ClearAndPresent(const RECTF& r);
    static void ReloadImagesOfAllWindows();
    void ReloadImages();
    const std::vector<RECTF>& GetDirtyRects() const { return m_dirty; }
    bool IsRelayoutNeeded() const { return m_relayoutNeeded; }
    void SetRelayoutNeeded() { m_relayoutNeeded = true; }
    bool IsFirstLayoutPending() const { return m_firstLayoutPending; }
    bool IsPainting() const { return m_painting; }
    bool AddOverlayControl(Control* control);
    bool RemoveOverlayControl(Control* control);

    // --- Notifications, timers, focus and groups ----------------------
    void RaiseNotification(Control* sender, const wchar_t* type, WPARAM wParam = 0, LPARAM lParam = 0);
    // Queues a notification delivered around the next message.
    void QueueNotification(Control* sender, const wchar_t* type, WPARAM wParam = 0, LPARAM lParam = 0);
    bool AddNotifyListener(INotifyUI* listener);
    bool RemoveNotifyListener(INotifyUI* listener);
    bool AddMessageFilter(IMessageFilterUI* filter);
    bool RemoveMessageFilter(IMessageFilterUI* filter);
    bool AddPreMessageFilter(IMessageFilterUI* filter);
    bool RemovePreMessageFilter(IMessageFilterUI* filter);

    bool StartControlTimer(Control* control, int key, UINT elapse);
    bool StopControlTimer(Control* control, int key);
    void KillAllControlTimers();
    // Window timer id of a control timer; 0 with false when there is none.
    bool GetControlTimerId(Control* control, int key, UINT_PTR& id) const;

    void FocusControl(Control* control);
    Control* GetFocus() const { return m_focus; }
    void SetDefaultFocus(Control* control) { m_defaultFocus = control; }
    bool MoveFocusByTab(bool forward);
    bool PreProcessMessage(UINT message, WPARAM wParam, LPARAM lParam);

    bool SetRootControl(Control* root);
    Control* GetRoot() const { return m_root; }
    void ForgetControl(Control* control);
    Control* FindControlByName(const wchar_t* name) const;
    // Enters a named control into the name table (a later one replaces).
    void RegisterControlName(Control* control);
    Control* GetHover() const { return m_hover; }
    Control* GetCapture() const { return m_capture; }
    Control* GetClickControl() const { return m_click; }

    bool AddGroupMember(const wchar_t* name, Control* control);
    void RemoveGroupMember(const wchar_t* name, Control* control);
    bool AddVGroupMember(const wchar_t* name, Control* control);
    void RemoveVGroupMember(const wchar_t* name, Control* control);
    bool AddMutexGroupMember(const wchar_t* name, Control* control);
    void RemoveMutexGroupMember(const wchar_t* name, Control* control);
    const std::vector<Control*>* GetGroup(const wchar_t* name) const;
    const std::vector<Control*>* GetVGroup(const wchar_t* name) const;
    const std::vector<Control*>* GetMutexGroup(const wchar_t* name) const;
    void ClearGroups();
    void ClearVGroups();
    void ClearMutexGroups();

    static bool IsInSubtree(Control* container, Control* control);

    // Tree-search predicates.
    static Control* CollectControlName(Control* control, void* data);
    static Control* HitTestControl(Control* control, void* data);
    static Control* FindTabStop(Control* control, void* data);
    static Control* MatchShortcutKey(Control* control, void* data);
    static Control* MatchNeedsRelayout(Control* control, void* data);
    static Control* MatchControlName(Control* control, void* data);
    static Control* MatchClassName(Control* control, void* data);
    std::vector<Control*>& ClassSearchResults() { return m_classSearch; }

    // --- UI tasks and delayed deletion ---------------------------------
    // May be called from any thread. The task runs on the UI thread; with a
    // guard it runs only while the guard is still registered with the core.
    void PostUiTask(Control* guard, std::function<void()> task);
    void DeletePendingTasks();
    size_t PendingTaskCount();
    void DeleteControlLater(Control* control);
    // Controls attached to this core; the guard check of UI tasks.
    void RegisterControl(Control* control);
    void UnregisterControl(Control* control);
    bool IsControlRegistered(Control* control) const;

private:
    struct DpiRecord {
        int dpi;
        float scale;
    };
    struct TimerRecord {
        Control* control;
        int key;
        HWND window;
        UINT_PTR id;
        bool killed;
    };
    struct TaskHolder {
        std::function<void()> task;
    };

    // Message handling helpers.
    void DrainNotifications(bool& handled);
    void SendEvent(Control* target, int type, WORD modifiers = 0, WPARAM wParam = 0, LPARAM lParam = 0,
                   WORD key = 0, Control* sender = nullptr);
    void OnMouseMove(LPARAM lParam, bool nonClient);
    void OnButtonDown(int event, WPARAM wParam, LPARAM lParam);
    void EndPress();
    void ArmTracking(bool nonClient);
    void DisarmTracking();
    void HideToolTip();
    void OnHover(POINT pt);
    void OnMouseLeave(bool hideTipAlways);
    void LeaveHotChain(Control* control);
    void LeaveHotSubtree(Control* container, bool childrenFirst);
    bool OnSize(bool firstAllowed);
    void OnDpiChanged(WPARAM wParam, LPARAM lParam);
    void RunTask(WPARAM wParam, LPARAM lParam);
    void DeleteQueuedControls();
    bool BelongsHere(Control* c) const { return c && c->GetCore() == this; }
    WORD KeyModifiers() const;
    void Relayout();
    void PaintRect(const RECTF& r);
    void RemoveFromGlobalList(std::vector<WindowCore*>& list);

    CWindowWnd* m_owner = nullptr;
    HDC m_dc = nullptr;
    HWND m_window = nullptr;
    HWND m_toolTip = nullptr;
    TOOLINFOW m_toolInfo{};
    std::wstring m_toolTipText;
    Control* m_root = nullptr;
    Control* m_focus = nullptr;
    Control* m_defaultFocus = nullptr;
    Control* m_capture = nullptr;
    Control* m_hover = nullptr;
    Control* m_click = nullptr;
    Control* m_keyControl = nullptr;
    POINT m_lastMouse{-1, -1};
    int m_minTrackW = 0, m_minTrackH = 0, m_maxTrackW = 0, m_maxTrackH = 0;
    int m_posX = static_cast<int>(0x80000000u), m_posY = static_cast<int>(0x80000000u);
    int m_startCx = 800, m_startCy = 600;
    float m_posFactorX = 0, m_posFactorY = 0;
    float m_sizeFactorX = 0, m_sizeFactorY = 0;
    RECT m_sizeBox{0, 0, 0, 0};
    RECT m_caption{0, 0, 0, 0};
    int m_timerCounter = 4096;
    bool m_shadowSetupPending = true;
    bool m_firstLayoutPending = true;
    bool m_relayoutNeeded = false;
    bool m_trackingArmed = false;
    bool m_buttonDown = false;
    bool m_layered = false;
    bool m_sizeMoveTimer = false;
    bool m_hostsNativeContent = false;

    std::vector<Control*> m_windowEventListeners;
    std::vector<INotifyUI*> m_notifyListeners;
    std::vector<TimerRecord*> m_timers;
    std::vector<IMessageFilterUI*> m_preFilters;
    std::vector<IMessageFilterUI*> m_filters;
    std::vector<Control*> m_overlays;
    std::vector<Control*> m_deleteLater;
    std::vector<tagTNotifyUI*> m_queuedNotifications;
    std::vector<Control*> m_classSearch;
    std::vector<Control*> m_pendingSetup;
    std::unordered_set<Control*> m_registered;
    std::unordered_map<std::wstring, Control*, WideKeyHash> m_names;
    std::unordered_map<std::wstring, std::vector<Control*>, WideKeyHash> m_mutexGroups;
    std::unordered_map<std::wstring, std::vector<Control*>, WideKeyHash> m_groups;
    std::unordered_map<std::wstring, std::vector<Control*>, WideKeyHash> m_vgroups;
    WindowCore* m_parentCore = nullptr;
    uint32_t m_colors[5] = {0xFFA7A6AAu, 0xFF000000u, 0xFF0000FFu, 0xFFD3215Fu, 0xFFBAE4FFu};
    std::function<bool(Control*)> m_editReturnHook;
    RenderTarget* m_renderTarget = nullptr;
    FontManager* m_fontManager = nullptr;
    RECT m_clientRect{0, 0, 0, 0};
    bool m_painting = false;
    bool m_wholeWindowDirty = false;
    std::vector<RECTF> m_dirty;
    std::vector<RECTF> m_lateDirty;
    TimeLineList m_timeLines;
    DpiRecord* m_dpi = nullptr;
    WindowShadowSettings* m_shadow = nullptr;
    CRITICAL_SECTION m_taskLock;
    std::vector<TaskHolder*> m_pendingTasks;
    std::unordered_map<UINT, MessageHandler, IntKeyHash> m_messageHandlers;
    std::vector<ITranslateAccelerator*> m_accelerators;
    std::unordered_map<std::wstring, AnimationSpec, WideKeyHash> m_animations;
    std::unordered_map<std::wstring, std::unique_ptr<ControlTransform>, WideKeyHash> m_transforms;
    std::unordered_map<std::wstring, std::wstring, WideKeyHash> m_defaultAttributes;
    std::unordered_map<std::wstring, std::wstring, WideKeyHash> m_strings;
    bool m_destroying = false;
};

} // namespace ui
