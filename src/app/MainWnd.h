// The installer's application window: the product (icon, name, banner,
// description, one combo row per package), the agreement row, the start
// page with its preparation animation and the install page. The deployment
// itself starts with the taken package: the window asks for its deploy
// descriptor, unless a package hand-off is set (SetPackageHandOff).
//
// UI thread only. Worker threads reach it by posting: kMsgProductReady from
// the products thread, UI tasks through its core's PostUiTask.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Corvel/Core/WindowBase.h"
#include "app/AppModel.h"
#include "app/OrderDetail.h"
#include "net/SlicePlan.h"

namespace ui {
class CTimeLineTween;
class ComboBox;
class ProgressBar;
} // namespace ui

class CSliceDownloader;
class DeployDescriptorWorker;
class CPackageExtraction;

class CMainWnd : public IWindowBase {
public:
    // Timers of the window.
    static constexpr UINT_PTR kPrepareTimerId = 10034;   // preparation steps
    static constexpr UINT kPrepareTickMs = 500;
    static constexpr UINT_PTR kRestartTimerId = 10035;   // download restart (deployment)
    // A transfer that stays slow this long is stopped and started again.
    static constexpr UINT kRestartDelayMs = 6000;
    // The icon resource of the executable.
    static constexpr WORD kIconResourceId = 103;

    // Receives the package chosen on the combo box (by the user, or row 0 at
    // the end of the preparation) in place of the window's own descriptor
    // request (tests stop the road there). Runs on the UI thread; the record
    // is the window's copy and lives as long as it.
    using PackageHandOff = std::function<void(const stPackageInfo&)>;

    // `model` is borrowed and must outlive the window's readiness; null: the
    // process's appModel when the window becomes ready.
    explicit CMainWnd(CAppModel* model = nullptr);
    ~CMainWnd() override;

    // Sets the closing flag, stores the code and posts WM_CLOSE with it.
    BOOL Close(int code) override;
    std::wstring QueryClassName() const override { return m_className; }
    LRESULT ProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // Ends the process's main loop (WM_QUIT) once the window is gone.
    void OnNcDestroyed(HWND window) override;
    void OnWindowCreated() override;
    void OnWindowReady() override;
    std::wstring QuerySkinFile() override { return L"MainSkin.xml"; }

    // Message kMsgProductReady: banner, description and the package rows.
    void OnProductsReady();
    void OnTimer(UINT_PTR id);
    // Shows `text` in the toast and fades it out over two seconds.
    void ShowToast(const wchar_t* text);

    void SetPackageHandOff(PackageHandOff handOff) { m_handOff = std::move(handOff); }

    // ---- deployment (MainWnd.deploy.cpp, MainWnd.download.cpp, MainWnd.finish.cpp)

    // The descriptor callback: any thread; copies everything into a UI task
    // that calls StartDeploy. code 0: a valid descriptor; otherwise message
    // is the text for the user.
    void OnDeployDescriptor(const stOrderDetail& order, bool flag, int code, const std::wstring& message);
    // UI thread: shows a failure, or accepts a ready descriptor, shows the
    // install page and settles the installation directory.
    void StartDeploy(const stOrderDetail& order, bool flag, int code, const std::wstring& message);
    // "click" of BtnChangeDir: the folder browser.
    void OnChangeDir();
    // "click" of BtnDownload: the sliced download of the package.
    void StartDownload();
    // The download report; runs on the downloader's threads and only posts
    // UI tasks.
    void OnDownloadState(int state, uint64_t a, uint64_t b, uint64_t c);
    // Timer kRestartTimerId: the slow download is stopped and started again.
    void OnRestartTimer();
    // UI thread: the download ended (a = b = total size); extraction or launch.
    void OnDownloadFinished(uint64_t a, uint64_t b, uint64_t c);
    // UI tasks of the extraction thread.
    void OpenPackageWithShell(const std::wstring& name);
    void OnExtractFinished(const std::wstring& name);
    // "click" of BtnInstall: starts the installed programs, or downloads again.
    void LaunchInstalled();

    const stOrderDetail& DeployDescriptor() const { return m_order; }
    const std::wstring& InstallDir() const { return m_installDir; }
    // Tests of the download and finish phases start from an accepted
    // descriptor and a settled directory without the service.
    void SetDeploymentForTesting(const stOrderDetail& order, const std::wstring& installDir)
    {
        m_order = order;
        m_installDir = installDir;
    }
    // The descriptor worker of the last package taken without a hand-off;
    // borrowed, null before. UI thread.
    const DeployDescriptorWorker* DescriptorWorkerForTesting() const { return m_descriptorWorker.get(); }
    // Tests of the download: the restart timer's period (kRestartDelayMs
    // otherwise); an observer that receives the end of the download in
    // place of OnDownloadFinished (empty: OnDownloadFinished); whether the
    // restart timer is armed.
    void SetRestartDelayForTesting(UINT ms) { m_restartDelayMs = ms; }
    void SetDownloadEndObserverForTesting(std::function<void(uint64_t, uint64_t, uint64_t)> observer)
    {
        m_downloadEndObserver = std::move(observer);
    }
    bool IsRestartTimerArmedForTesting() const { return m_restartTimerArmed; }
    // Tests of the download: the size buckets of 2, 3 and 4 slices for
    // every later download start (small ones split a small package).
    void SetSliceThresholdsForTesting(const stSliceThresholds& thresholds)
    {
        m_sliceThresholds = thresholds;
        m_sliceThresholdsSet = true;
    }
    // Set by Close, WM_CLOSE and WM_DESTROY; never cleared. Read by worker
    // threads to cancel their work.
    bool IsClosing() const { return m_closing.load(); }
    const stPackageInfo& SelectedPackage() const { return m_selectedPackage; }
    bool HasSelectedPackage() const { return m_hasSelectedPackage; }

    // The preparation's step counter is process-wide and never reset in a
    // run; tests that prepare more than once put it back.
    static void ResetPreparationStepsForTesting();

private:
    struct ControlTable;

    void FindControls();
    void ShowProgramIcon();
    void BindHandlers();
    void OnStartClicked();
    void EndPreparation();
    // The package of the combo box's current row becomes the selected one
    // and goes to the hand-off, or to the descriptor worker when none is
    // set; without a package the start page comes back.
    void TakeChosenPackage();
    void CopyInstallPath();
    void OnToastStep(ui::CTimeLine* timeline);
    void OpenServiceLink(std::string stServiceLinks::*link) const;
    CAppModel* Model() const;
    // Deployment, last phase (MainWnd.finish.cpp): the extraction thread's
    // start, and the boot programs started (with their links when asked);
    // both return how many programs were started.
    void StartExtraction(const std::wstring& name);
    int StartBootPrograms(bool makeShortcuts);
    int StartNamedBootPrograms();

    // ---- deployment, first phase (MainWnd.deploy.cpp)
    // Starts the descriptor worker for the package (replacing one still
    // polling); without a model the start button comes back.
    void StartDescriptorDelivery(const stPackageInfo& package);
    // No descriptor callback runs after this (the window is closing).
    void StopDescriptorDelivery();
    void ShowDescriptorFailure(int code, const std::wstring& message);
    void RestoreStartButton();
    void AcceptDescriptor(const stOrderDetail& order);
    void BindDeployHandlers();
    void SettleInstallDir();
    void OnInstallDirFailed(int error);
    void ShowInstallDir();

    // Download phase (MainWnd.download.cpp), UI thread. The downloader with
    // the descriptor's package URL: 0 when started, else the error code.
    uint32_t StartDownloader();
    void OnDownloadStartFailed(uint32_t code);
    // true: the progress bar and the folder button; false: the download
    // button back.
    void ShowDownloading(bool downloading);
    void PostDownloadTick(uint64_t a, uint64_t b, uint64_t c);  // downloader threads
    void OnDownloadProgress(bool done, float percent, const std::wstring& speedText);
    void OnSlowDownload();
    void OnFastDownload();
    void OnSliceFailed(uint64_t code);
    void OnDownloadVerifying(uint64_t a, uint64_t b, uint64_t code);
    void OnDownloadEnded(uint64_t a, uint64_t b, uint64_t c);
    // WM_DESTROY: the downloader's threads end before the window does.
    void StopDownloadForClose();

    std::atomic<bool> m_closing{false};
    bool m_restartTimerArmed = false;   // deployment: slow download restarts
    // deployment: reports count only while set; read by the downloader's
    // threads, written on the UI thread.
    std::atomic<bool> m_downloadActive{false};
    UINT m_restartDelayMs = kRestartDelayMs;
    std::function<void(uint64_t, uint64_t, uint64_t)> m_downloadEndObserver;  // tests only
    stSliceThresholds m_sliceThresholds;  // tests only, when m_sliceThresholdsSet
    bool m_sliceThresholdsSet = false;
    std::wstring m_className = L"CorvelSetupWnd";
    std::unique_ptr<ControlTable> m_controls;
    CAppModel* m_model;
    stPackageInfo m_selectedPackage;
    bool m_hasSelectedPackage = false;
    std::wstring m_installDir;
    stOrderDetail m_order;                            // the accepted descriptor
    std::unique_ptr<CSliceDownloader> m_downloader;   // made by the first download
    std::unique_ptr<DeployDescriptorWorker> m_descriptorWorker;  // null until a package is taken
    bool m_deployHandlersBound = false;               // the install page's buttons
    // The rows' package records; the combo box items point into them.
    std::vector<std::unique_ptr<stPackageInfo>> m_packages;
    std::unique_ptr<ui::CTimeLineTween> m_toastTimeline;
    PackageHandOff m_handOff;
    // The window's icon (big and small) and the logo's colour bitmap, owned.
    HICON m_icon = nullptr;
    HBITMAP m_logoBitmap = nullptr;
    // The running or last extraction; declared last so that it goes first:
    // its destruction cancels the thread and waits for it while everything
    // the thread reports to still exists.
    std::unique_ptr<CPackageExtraction> m_extraction;
};
