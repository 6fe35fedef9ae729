#include "app/support/InstallerSession.h"

#include "Corvel/Core/SkinArchive.h"
#include "Corvel/Core/UiGlobals.h"
#include "Corvel/Core/WindowCore.h"
#include "app/AppEntry.h"
#include "app/MainWnd.h"
#include "app/support/DemoService.h"
#include "support/Pixels.h"

namespace apptest {

namespace {

int g_quitCount = 0;

} // namespace

// The UI library stays up for the whole test process, as in the installer.
void InstallerSession::EnsureUiLibraryForTesting()
{
    static bool started = false;
    if (started)
        return;
    started = true;
    InitUiLibrary(GetModuleHandleW(nullptr));
    LoadSkinArchiveResource(GetModuleHandleW(nullptr));
}

bool PumpUntil(const std::function<bool()>& done, DWORD ms)
{
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                ++g_quitCount;
                continue;
            }
            if (!ui::WindowCore::PreTranslateMessage(msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        }
        ui::WindowCore::IdleTick();
        if (done && done())
            return true;
        if (GetTickCount() - start >= ms)
            return false;
        MsgWaitForMultipleObjectsEx(0, nullptr, 5, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}

void PumpFor(DWORD ms) { PumpUntil(nullptr, ms); }

bool PumpEachUntil(const std::function<bool()>& done, DWORD ms)
{
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        MSG msg;
        if (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                ++g_quitCount;
            } else if (!ui::WindowCore::PreTranslateMessage(msg)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
        } else {
            ui::WindowCore::IdleTick();
            MsgWaitForMultipleObjectsEx(0, nullptr, 5, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        }
        if (done())
            return true;
    }
    return false;
}
int QuitCount() { return g_quitCount; }

InstallerSession::InstallerSession(const std::wstring& baseUrl, const std::wstring& commandLine)
{
    EnsureUiLibraryForTesting();
    const stServiceEndpoint endpoint = TestEndpoint(baseUrl);
    StartInstaller(m_run, GetModuleHandleW(nullptr), commandLine, &endpoint);
}

InstallerSession::~InstallerSession()
{
    if (!m_shutDown)
        ShutDown();
}

HWND InstallerSession::Hwnd() const { return m_run.mainWindow ? m_run.mainWindow->GetHWND() : nullptr; }

bool InstallerSession::CloseAndWait()
{
    const int quitsBefore = g_quitCount;
    HWND window = Hwnd();
    if (!window)
        return false;
    m_run.mainWindow->Close(IWindowBase::kCloseByUser);
    return PumpUntil([&] { return !IsWindow(window) && g_quitCount > quitsBefore; });
}

void InstallerSession::ShutDown()
{
    m_shutDown = true;
    ShutDownInstaller(m_run);
}

testsupport::PixelImage WindowScreenPixels(HWND window)
{
    RECT r{};
    if (!GetWindowRect(window, &r))
        return testsupport::PixelImage();
    return testsupport::ReadScreenPixels(r);
}

bool SaveWindowScreenshot(HWND window, const std::wstring& name)
{
    const testsupport::PixelImage pixels = WindowScreenPixels(window);
    return pixels.width > 0 && testsupport::SavePng(pixels, testsupport::ArtifactsFolder() + L"\\" + name + L".png");
}

} // namespace apptest
