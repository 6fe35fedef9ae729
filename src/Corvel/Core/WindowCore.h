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
#include "Corvel/Core/NamedPointerTable.h"
#include "Corvel/Core/UiEvents.h"
#include "Corvel/Core/UiString.h"
#include "Corvel/Core/UiTypes.h"
#include "Corvel/Render/StyleDefinitions.h"
#include "Corvel/Render/TimeLine.h"

class CNetResManager;

namespace ui {

class CWindowWnd;
class CUiImage;
class PicNetResHandler;
class RenderTarget;
class FontManager;
struct tagTFontInfo;
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
    // "target": for a state animation, the index of the style element it
    // drives (decimal), also the suffix of the animated value's name.
    std::wstring target;
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

struct tagTImageInfo;
struct stResBindInfo;
// Fetches a network descriptor's picture for a control of the core (see
// WindowCore::BindImageResource).
bool BindImageResource(WindowCore* core, const CUiImage& image, Control* control, bool replace);

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
    // A core bound to a live window refuses (false, nothing changes): unbind
    // first. A binding whose window no longer exists is released first.
    bool BindWindow(HWND window);
    // Releases what BindWindow made (the render target is deleted: every
    // control of the tree forgets its pointer to it) and forgets the window,
    // so that a core bound to a new window lays its tree out again at that
    // window's first WM_SIZE. Safe to call more than once.
    void UnbindWindow();
    // Null while unbound.
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
    // True when the message was handled; `result` is then the answer. A
    // handler that destroys the window object embedding this core also ends
    // in true (result 0): the caller returns at once, touching nothing.
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
    const std::vector<RECTF>& GetDirtyRectsForTesting() const { return m_dirty; }
    bool IsRelayoutNeeded() const { return m_relayoutNeeded; }
    void SetRelayoutNeeded() { m_relayoutNeeded = true; }
    bool IsFirstLayoutPendingForTesting() const { return m_firstLayoutPending; }
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
    bool GetControlTimerIdForTesting(Control* control, int key, UINT_PTR& id) const;

    void FocusControl(Control* control);
    Control* GetFocus() const { return m_focus; }
    void SetDefaultFocus(Control* control) { m_defaultFocus = control; }
    Control* GetDefaultFocus() const { return m_defaultFocus; }
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
    // A windowless part of a control (an edit box's text services) takes
    // the mouse (the window's capture and the press flag) or gives it back
    // (also forgetting the captured control).
    void SetMouseCapture(bool on)
    {
        if (on) {
            ::SetCapture(m_window);
            m_buttonDown = true;
            return;
        }
        ::ReleaseCapture();
        m_capture = nullptr;
        m_buttonDown = false;
    }
    // The press flag: a button went down in the window and is not yet up.
    bool IsMouseCaptured() const { return m_buttonDown; }
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

    // --- Images (WindowCoreImages.cpp) ------------------------------------
    // The image table maps a descriptor's cache key to its decoded image
    // (owned by the table). Pointers returned are borrowed: valid until the
    // image is removed, reloaded or the core destroyed. UI thread only.

    // The entry for the descriptor in this core or the nearest parent core
    // that has it; null when none has.
    tagTImageInfo* FindImageEntry(const CUiImage& image);
    // This core's entry, loaded when absent; null when it cannot be loaded
    // or is a network picture that has not arrived.
    tagTImageInfo* GetImage(CUiImage& image);
    // Loads the descriptor's file at the window's scale (its scale folder
    // first, then the 100 per cent one), archive first, then disk, and
    // stores it. Null without a render target or when nothing loads.
    tagTImageInfo* LoadImage(const CUiImage& image);
    // A GDI bitmap stored under the descriptor's key (the entry already
    // there when there is one); the caller keeps the bitmap.
    tagTImageInfo* AddImageFromHbitmap(const CUiImage& image, HBITMAP bitmap, int width, int height,
                                       Control* control);
    // Bytes decoded and stored under the descriptor's key; with `replace`
    // an existing entry goes first, otherwise it is returned as it is.
    tagTImageInfo* AddImageFromMemory(const CUiImage& image, const void* bytes, size_t length, bool replace);
    bool RemoveImage(const CUiImage& image);
    void RemoveAllImages();
    // Loads every image again for the window's current DPI; `force` also
    // reloads images whose path has no scale folder and drops network
    // pictures until they arrive again. Network pictures are fetched again
    // at the new scale.
    void ReloadImages(bool force = false);
    int ImageCount() const { return m_images.GetCount(); }
    // Applies the descriptor's "interval" / "duration" to a multi-frame
    // image (90 ms when the result is 0 or less).
    static void ApplyFrameDelays(tagTImageInfo* info, const CUiImage& image);

    // Fetches a network descriptor's ("net") picture for `control`: the URL
    // is the cache key, with the window's scale added above 100 per cent.
    // Controls binding the same URL share one request. When the picture
    // arrives it is stored (replacing the old one with `replace`) and every
    // waiting control repaints. False for a non-network or empty descriptor
    // and for a URL whose picture has already arrived.
    bool BindImageResource(const CUiImage& image, Control* control, bool replace);
    // kMsgNetImage: the picture of a posted record arrived.
    void OnNetImage(WPARAM record);
    size_t PendingBindingCountForTesting() const { return m_bindings.size(); }
    PicNetResHandler* PicHandlerForTesting() const { return m_picHandler.get(); }
    // The request URL a descriptor gets at the current scale.
    std::wstring NetImageUrl(const CUiImage& image) const;

    // --- Fonts (WindowCoreFonts.cpp) ------------------------------------
    // Every window of a tree shares the topmost core's font manager, so a
    // font id means the same font in a window and its child windows. Null
    // results when the topmost core is not bound (it has no manager yet).

    // Font 0, or the default face at the manager's scale when there is none.
    tagTFontInfo* GetDefaultFont();
    // A font derived from a base font by a key='value' spec.
    tagTFontInfo* GetFontBySpec(const wchar_t* spec);
    tagTFontInfo* AddFont(float scale, const wchar_t* face, int size, bool bold, bool underline, bool italic,
                          bool strikeout);
    // Negative index: font 0; past the end: the last font.
    tagTFontInfo* GetFont(int index);
    // The font of that key, added when absent.
    tagTFontInfo* FindFont(float scale, const wchar_t* face, int size, bool bold, bool underline, bool italic,
                           bool strikeout);
    void MeasureText(int& width, int& height, const wchar_t* text, int fontIndex, UINT flags, float spacing);
    // The topmost core's manager; null while that core is unbound.
    FontManager* GetSharedFontManager() const;

    // --- UI tasks and delayed deletion ---------------------------------
    // May be called from any thread. The task runs on the UI thread; with a
    // guard it runs only while the guard is still registered with the core.
    void PostUiTask(Control* guard, std::function<void()> task);
    void DeletePendingTasks();
    size_t PendingTaskCountForTesting();
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

    // Tells code that runs handlers whether the core outlived them: any
    // handler may destroy the window object that embeds the core, or only
    // its native window (which unbinds the core). UI thread.
    class LifeWatch {
    public:
        explicit LifeWatch(const WindowCore& core) : m_core(&core), m_token(core.m_lifeToken) {}
        // The core was destroyed.
        bool Gone() const { return m_token.expired(); }
        // The core was destroyed or is no longer bound to a window.
        bool Unbound() const { return Gone() || !m_core->m_window; }

    private:
        const WindowCore* m_core;
        std::weak_ptr<const int> m_token;
    };
    enum class Delivery { kAllDelivered, kTaken, kCoreGone };

    // Message processing (WindowCoreMessages.cpp), phases of
    // ProcessWindowMessage; then one handler per message group.
    Delivery DeliverQueuedNotifications();
    bool RunMessageFilters(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool RunMessageHandler(UINT message, WPARAM wParam, LPARAM lParam);
    bool RouteMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void SendEvent(Control* target, int type, WORD modifiers = 0, WPARAM wParam = 0, LPARAM lParam = 0,
                   WORD key = 0, Control* sender = nullptr);
    // The event to the focused control and every window-event listener, when
    // there are listeners.
    void SendWindowEvent(int type);
    void OnMove();
    void OnGetMinMaxInfo(MINMAXINFO* mmi);
    void OnSize();
    // Size events, the render target resized and the root placed over
    // (0, 0, width, height): what WM_SIZE and a DPI change share.
    void LayOutTree(int width, int height);
    // 0x8002 to the owner, "windowinit", and the first frame.
    void AnnounceFirstLayout();
    void OnDisplayChange();
    void OnDpiChanged(WPARAM wParam, LPARAM lParam);
    // Replaces a suggested window rectangle by the monitor-relative size at
    // the current scale, where one applies.
    void FitMonitorRelativeSize(RECT& suggested) const;
    void RescaleResources();
    void OnSizeMoveLoop(bool entering);
    void OnFocusMessage(UINT message);
    void OnPaint();
    void OnClose();
    bool OnReflectedMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool OnTimer(WPARAM id);
    void OnKeyMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void OnMouseMove(LPARAM lParam, bool nonClient);
    void MoveHover(Control* next);
    bool LeaveOldHover(Control* old, Control* next);
    Control* EnterChainTo(Control* next);
    void LeaveAncestorsBelow(Control* old, Control* hotAncestor);
    void OnMouseButton(UINT message, WPARAM wParam, LPARAM lParam);
    void PressControlAt(POINT pt, int event, WORD modifiers, WPARAM wParam, LPARAM lParam);
    void OnDoubleClick(WPARAM wParam, LPARAM lParam);
    void EndPress();
    bool OnNcButton(UINT message, WPARAM hitCode, LPARAM lParam);
    void OnContextMenu(WPARAM wParam, LPARAM lParam);
    void OnMouseWheel(WPARAM wParam, LPARAM lParam);
    bool OnSetCursor(LPARAM lParam, LRESULT& result);
    void ArmTracking(bool nonClient);
    void DisarmTracking();
    void HideToolTip();
    void OnHover(POINT pt);
    void ShowToolTip(const CUiString& text, int maxWidth);
    void OnMouseLeave(bool hideTipAlways);
    void LeaveHotChain(Control* control);
    void LeaveHotSubtree(Control* container, bool childrenFirst);
    void RunTask(WPARAM wParam, LPARAM lParam);
    void DeleteQueuedControls();
    bool BelongsHere(Control* c) const { return c && c->GetCore() == this; }
    WORD KeyModifiers() const;

    // Painting (WindowCorePaint.cpp).
    // Ticks the running timelines; false when a step destroyed the core or
    // its window, so that the frame must not go on.
    bool TickTimeLines();
    void Relayout();
    void PaintRect(const RECTF& r);

    // Binding (WindowCore.cpp).
    void RemoveFromGlobalList(std::vector<WindowCore*>& list);
    // What the core knew about its window: tooltip window, tracking, press,
    // timers, dirty lists and the tree's cached render target.
    void ForgetWindowState();
    static RECT NearestMonitorRect(HWND window);

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
    // Expires with the core; see LifeWatch.
    std::shared_ptr<const int> m_lifeToken = std::make_shared<const int>(0);

    // Images and network pictures (WindowCoreImages.cpp).
    void DeleteImageBindings();
    void ForgetWaitingControl(Control* control);
    bool StoreImage(const CUiString& key, std::unique_ptr<tagTImageInfo> image);
    std::unique_ptr<tagTImageInfo> ReloadFileImage(const CUiString& key, const tagTImageInfo& old);
    void RebindNetImage(const CUiString& key);
    static constexpr unsigned kImageTableBuckets = 83;
    NamedPointerTable m_images{kImageTableBuckets};
    std::map<std::wstring, stResBindInfo*> m_bindings;  // owned
    std::unique_ptr<CNetResManager> m_netManager;
    std::unique_ptr<PicNetResHandler> m_picHandler;

    // --- Style groups (WindowCoreStyles.cpp) ------------------------------
    // The "Styles" of the skin by name; the core owns every group (its
    // destructor frees them with the table). UI thread only.
public:
    // This core's group of that name, else the nearest parent core's.
    // Borrowed: valid until that core replaces or clears it. Null when no
    // core has it.
    StyleGroup* FindStyleGroup(const wchar_t* name) const;
    // Takes ownership; a group stored under the name before is replaced and
    // destroyed. Null or empty name, or null group: false (the group is
    // destroyed).
    bool AddStyleGroup(const wchar_t* name, std::unique_ptr<StyleGroup> group);
    // Destroys every group of this core and empties the table.
    void ClearStyleGroups();
    int StyleGroupCount() const { return static_cast<int>(m_styleGroups.size()); }

private:
    std::unordered_map<std::wstring, std::unique_ptr<StyleGroup>, WideKeyHash> m_styleGroups;
    // --- end of style groups ------------------------------------------------

    // --- Window-level skin settings (WindowCoreSkin.cpp) ------------------
    // What the dialog builder reads from a skin's root "Window" element and
    // its window-level elements, beyond the tables above. UI thread only.
public:
    // Class default attributes of this core, else of the nearest parent
    // core; null when none has a list for the class.
    const wchar_t* FindDefaultAttributes(const wchar_t* className) const;

    // The window's title as the skin gives it.
    void SetTitle(const wchar_t* title) { m_title = title ? title : L""; }
    const std::wstring& GetTitle() const { return m_title; }
    // Keeps the skin's alpha clamped to 0..255. A raw value inside that range
    // makes the bound window layered, any other value takes the layered
    // style away (the style is written only when it changes); then the
    // clamped value is the window's layered alpha. Unbound: only stored.
    void ApplyWindowAlpha(int raw);
    // 255 until a skin gives one.
    int GetWindowAlpha() const { return m_windowAlpha; }
    // "bktrans": the skinned window drops its system caption.
    void SetCaptionless(bool on) { m_captionless = on; }
    bool IsCaptionless() const { return m_captionless; }
    // "glass": the skinned window asks for the acrylic backdrop.
    void SetBackdropWanted(bool on) { m_backdropWanted = on; }
    bool IsBackdropWanted() const { return m_backdropWanted; }
    // "drop": the skinned window accepts dropped files.
    void SetAcceptFiles(bool on) { m_acceptFiles = on; }
    bool GetAcceptFiles() const { return m_acceptFiles; }
    // Receives drops that no control under the pointer takes.
    void SetDropHandler(DropHandler handler) { m_dropHandler = std::move(handler); }
    const DropHandler& GetDropHandler() const { return m_dropHandler; }

    // Raw (unscaled) window settings as the skin gave them.
    RECT GetSizeBox() const { return m_sizeBox; }
    void GetTrackingLimits(int& minW, int& minH, int& maxW, int& maxH) const;
    POINT GetPosition() const { return POINT{m_posX, m_posY}; }
    void GetPositionFactors(float& fx, float& fy) const
    {
        fx = m_posFactorX;
        fy = m_posFactorY;
    }

    // The tray record of a "Tray" element: the icon's tip and its menu. Menu
    // command ids are a small fixed range, kTrayCommandBase + item index, so
    // a chosen id names its item whatever the process's addresses.
    static constexpr UINT kTrayCommandBase = 0x7000;
    struct TrayMenuItem {
        UINT commandId;       // kTrayCommandBase + index in the menu
        std::wstring command; // the item's "name": what choosing it does
        std::wstring text;    // the menu text
    };
    struct TrayMenuRecord {
        std::wstring tip;
        std::vector<TrayMenuItem> items;
    };
    // Takes ownership; a record without items (or null) is discarded and the
    // core keeps the one it had. An earlier record is replaced.
    void SetTrayMenu(std::unique_ptr<TrayMenuRecord> record);
    // Borrowed until replaced or the core is destroyed; null without one.
    const TrayMenuRecord* GetTrayMenu() const { return m_trayMenu.get(); }
    // The item of a menu command id; null for an id outside the menu.
    const TrayMenuItem* FindTrayMenuItem(UINT commandId) const;

private:
    static constexpr int kOpaqueAlpha = 255;
    std::wstring m_title;
    int m_windowAlpha = kOpaqueAlpha;
    bool m_captionless = false;
    bool m_backdropWanted = false;
    bool m_acceptFiles = false;
    DropHandler m_dropHandler;
    std::unique_ptr<TrayMenuRecord> m_trayMenu;
    // --- end of window-level skin settings ------------------------------------
};

} // namespace ui
