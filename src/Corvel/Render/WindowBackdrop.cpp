#include "Corvel/Render/WindowBackdrop.h"

#include <dwmapi.h>

#include <cstddef>

namespace {

constexpr uint32_t kBuildWin11 = 22000;        // 0x55F0
constexpr uint32_t kBuildWin11_22H2 = 22621;   // 0x585D
constexpr DWORD kAttrSystemBackdropType = 38;  // DWMWA_SYSTEMBACKDROP_TYPE
constexpr DWORD kAttrMicaEffect = 1029;        // pre-22H2 Mica switch
constexpr DWORD kAccentPolicyAttribute = 19;   // WCA_ACCENT_POLICY

struct stCompositionAttribute {
    DWORD attribute;
    void* data;
    SIZE_T size;
};
// Read by the system as is: 12 bytes at 32 bits, 24 at 64 (the pointer is
// aligned to its own width).
static_assert(sizeof(stCompositionAttribute) == 3 * sizeof(void*), "composition attribute layout");
static_assert(offsetof(stCompositionAttribute, data) == sizeof(void*), "composition attribute layout");

using FnEnableBlurBehind = HRESULT(WINAPI*)(HWND, const DWM_BLURBEHIND*);
using FnExtendFrame = HRESULT(WINAPI*)(HWND, const MARGINS*);
using FnSetWindowAttribute = HRESULT(WINAPI*)(HWND, DWORD, LPCVOID, DWORD);
using FnIsCompositionEnabled = HRESULT(WINAPI*)(BOOL*);
using FnSetCompositionAttribute = BOOL(WINAPI*)(HWND, stCompositionAttribute*);
using FnRtlGetVersion = LONG(WINAPI*)(RTL_OSVERSIONINFOW*);

template <class Fn>
Fn Bind(const char* module, const char* name)
{
    HMODULE h = LoadLibraryA(module);
    if (!h)
        return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(h, name)));
}

// Looked up on first use and kept for the process (UI thread only).
struct EntryPoints {
    bool bound = false;
    FnEnableBlurBehind enableBlurBehind = nullptr;
    FnExtendFrame extendFrame = nullptr;
    FnSetWindowAttribute setWindowAttribute = nullptr;
    FnIsCompositionEnabled isCompositionEnabled = nullptr;
    FnSetCompositionAttribute setCompositionAttribute = nullptr;
    FnRtlGetVersion rtlGetVersion = nullptr;
};

EntryPoints& Api()
{
    static EntryPoints api;
    if (!api.bound) {
        api.bound = true;
        api.enableBlurBehind = Bind<FnEnableBlurBehind>("dwmapi.dll", "DwmEnableBlurBehindWindow");
        api.extendFrame = Bind<FnExtendFrame>("dwmapi.dll", "DwmExtendFrameIntoClientArea");
        api.setWindowAttribute = Bind<FnSetWindowAttribute>("dwmapi.dll", "DwmSetWindowAttribute");
        api.isCompositionEnabled = Bind<FnIsCompositionEnabled>("dwmapi.dll", "DwmIsCompositionEnabled");
        api.setCompositionAttribute = Bind<FnSetCompositionAttribute>("user32.dll", "SetWindowCompositionAttribute");
        api.rtlGetVersion = Bind<FnRtlGetVersion>("ntdll.dll", "RtlGetVersion");
    }
    return api;
}

uint32_t g_version[3] = {0, 0, 0};

bool ExtendFrame(HWND window, const MARGINS& margins)
{
    FnExtendFrame extend = Api().extendFrame;
    return extend && SUCCEEDED(extend(window, &margins));
}

bool SetDwmAttribute(HWND window, DWORD attribute, DWORD value)
{
    FnSetWindowAttribute set = Api().setWindowAttribute;
    return set && SUCCEEDED(set(window, attribute, &value, sizeof(value)));
}

// The first-version path: blur-behind over the frame; never reported as a
// backdrop that was set.
void EnableBlurBehind(HWND window)
{
    EntryPoints& api = Api();
    BOOL composition = FALSE;
    if (!api.isCompositionEnabled || FAILED(api.isCompositionEnabled(&composition)) || !composition)
        return;
    const MARGINS margins{-1, 0, 0, 0};
    if (!ExtendFrame(window, margins) || !api.enableBlurBehind)
        return;
    DWM_BLURBEHIND bb{};
    bb.dwFlags = DWM_BB_ENABLE | DWM_BB_TRANSITIONONMAXIMIZED;
    bb.fEnable = TRUE;
    bb.hRgnBlur = nullptr;
    bb.fTransitionOnMaximized = TRUE;
    api.enableBlurBehind(window, &bb);
}

} // namespace

uint32_t GetOsVersionPart(int index)
{
    if (g_version[0] == 0) {
        if (FnRtlGetVersion get = Api().rtlGetVersion) {
            RTL_OSVERSIONINFOW info{};
            info.dwOSVersionInfoSize = sizeof(info);
            if (get(&info) == 0) {
                g_version[0] = info.dwMajorVersion;
                g_version[1] = info.dwMinorVersion;
                g_version[2] = info.dwBuildNumber;
            }
        }
    }
    return index >= 0 && index < 3 ? g_version[index] : 0;
}

void OverrideOsVersion(uint32_t major, uint32_t minor, uint32_t build)
{
    g_version[0] = major;
    g_version[1] = minor;
    g_version[2] = build;
}

stAccentPolicy MakeAccentPolicy(int accentState, uint32_t color)
{
    stAccentPolicy policy{};
    policy.accentState = accentState;
    policy.accentFlags = accentState == 4 ? 0 : 2;
    // Acrylic with a fully transparent tint is drawn as no acrylic at all.
    policy.gradientColor = (accentState == 4 && color < 0x1000000u) ? (color | 0x1000000u) : color;
    policy.animationId = 0;
    return policy;
}

BOOL SetAccentPolicy(HWND window, int accentState, uint32_t color)
{
    FnSetCompositionAttribute set = Api().setCompositionAttribute;
    if (!set)
        return FALSE;
    stAccentPolicy policy = MakeAccentPolicy(accentState, color);
    stCompositionAttribute data{kAccentPolicyAttribute, &policy, sizeof(policy)};
    return set(window, &data) ? TRUE : FALSE;
}

bool EnableWindowBackdrop(HWND window, bool force, uint8_t kind, uint32_t color)
{
    const uint32_t build = GetOsVersionPart(2);
    if (build >= kBuildWin11_22H2 && !force) {
        const MARGINS whole{-1, -1, -1, -1};
        ExtendFrame(window, whole);
        if (SetDwmAttribute(window, kAttrSystemBackdropType, 3))
            return true;
    }
    if (GetOsVersionPart(0) > 6) {
        if (SetAccentPolicy(window, kind + 3, color ? color : 0x282828u))
            return true;
    }
    EnableBlurBehind(window);
    return false;
}

bool EnableMicaBackdrop(HWND window)
{
    const uint32_t build = GetOsVersionPart(2);
    if (build < kBuildWin11)
        return false;
    const MARGINS whole{-1, -1, -1, -1};
    ExtendFrame(window, whole);
    return SetDwmAttribute(window, build >= kBuildWin11_22H2 ? kAttrSystemBackdropType : kAttrMicaEffect, 2);
}

MARGINS FrameMarginSet(int setIndex, uint32_t build)
{
    if (setIndex != 1)
        return MARGINS{0, 0, 0, 0};
    return build >= kBuildWin11 ? MARGINS{0, 0, 0, 1} : MARGINS{1, 1, 1, 1};
}

int SetFrameMargins(HWND window, int setIndex)
{
    const uint32_t build = GetOsVersionPart(2);
    if (!ExtendFrame(window, FrameMarginSet(setIndex, build)))
        return 0;
    return build >= kBuildWin11 ? 11 : 10;
}
