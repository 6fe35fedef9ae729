#include "app/InstallerRun.h"

#include "Corvel/Core/UiNetHandlers.h"
#include "app/AppInit.h"
#include "app/AppModel.h"
#include "app/AppValues.h"
#include "app/EventReports.h"
#include "app/MainWnd.h"
#include "app/PopAdWnd.h"
#include "app/RemovalRoad.h"

namespace {

constexpr const wchar_t* kCacheSubfolder = L"\\cache";

void CreateMainWindow(InstallerRun& run)
{
    run.mainWindow = std::make_unique<CMainWnd>();
    HWND window = run.mainWindow->Create(nullptr, productName.c_str(), static_cast<DWORD>(-1), 0, CW_USEDEFAULT,
                                         CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT);
    run.mainWindow->SetMaximizeBox(false);
    if (window)
        ShowWindow(window, SW_SHOWNORMAL);
}

void ShowAdvertisementIfEnabled(InstallerRun& run)
{
    std::string picture, link;
    if (!appModel || !appModel->ExitAdvertisement(picture, link))
        return;
    run.adShown = true;
    ui::ShowExitAdvertisement(picture, link);
}

} // namespace

InstallerRun::InstallerRun() = default;
InstallerRun::~InstallerRun() = default;

void StartInstaller(InstallerRun& run, HINSTANCE instance, const std::wstring& commandLine,
                    const stServiceEndpoint* endpoint)
{
    InitApplication(instance, commandLine);
    const stServiceEndpoint service = endpoint ? *endpoint : ServiceEndpointFromAppValues();
    // The queue takes its endpoint from the values InitApplication fixed, so
    // it is built right after them; the start-up report is still the first
    // thing queued, before the model exists.
    CreateReportQueue(service);
    PushEventReport(kEventStartUp);
    CreateAppModel(service);
    ui::SetUiCacheFolder((appDataDir + kCacheSubfolder).c_str());
    CreateMainWindow(run);
}

void ShutDownInstaller(InstallerRun& run)
{
    const bool removal = appModel && appModel->RemovalRequested();
    // The advertisement comes only after the main window has gone.
    if (run.mainWindow && IsWindow(run.mainWindow->GetHWND())) {
        DestroyWindow(run.mainWindow->GetHWND());
        // Its destruction asked the finished main loop to end once more.
        MSG quit;
        PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);
    }
    if (!removal)
        ShowAdvertisementIfEnabled(run);
    ReleaseReportQueue();
    ReleaseAppModel();
    run.mainWindow.reset();
    if (removal)
        RunRemovalRoad(MakeRemovalPlan(productName));
}

InstallerStages MakeInstallerStages(InstallerRun& run)
{
    InstallerStages stages;
    stages.startUp = [&run](HINSTANCE instance, const std::wstring& commandLine) {
        StartInstaller(run, instance, commandLine);
    };
    stages.shutDown = [&run] { ShutDownInstaller(run); };
    return stages;
}
