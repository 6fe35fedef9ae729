// The installer's application window: the product (icon, name, banner,
// description, one combo row per package), the agreement row, the start
// page with its preparation animation and the install page. The deployment
// itself starts from the package hand-off (SetPackageHandOff).
//
// UI thread only. Worker threads reach it by posting: kMsgProductReady from
// the products thread, UI tasks through its core's PostUiTask.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "Corvel/Core/WindowBase.h"
#include "app/AppModel.h"

namespace ui {
class CTimeLineTween;
class ComboBox;
class ProgressBar;
} // namespace ui

class CMainWnd : public IWindowBase {
public:
    // Timers of the window.
    static constexpr UINT_PTR kPrepareTimerId = 10034;   // preparation steps
    static constexpr UINT kPrepareTickMs = 500;
    static constexpr UINT_PTR kRestartTimerId = 10035;   // download restart (deployment)
    // The icon resource of the executable.
    static constexpr WORD kIconResourceId = 103;

    // Receives the package chosen on the combo box (by the user, or row 0 at
    // the end of the preparation); the deployment starts there. Runs on the
    // UI thread; the record is the window's copy and lives as long as it.
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
    // and goes to the hand-off; without one the start page comes back.
    void TakeChosenPackage();
    void CopyInstallPath();
    void OnToastStep(ui::CTimeLine* timeline);
    void OpenServiceLink(std::string stServiceLinks::*link) const;
    CAppModel* Model() const;

    std::atomic<bool> m_closing{false};
    bool m_restartTimerArmed = false;   // deployment: slow download restarts
    bool m_downloadActive = false;      // deployment: reports count only while set
    std::wstring m_className = L"CorvelSetupWnd";
    std::unique_ptr<ControlTable> m_controls;
    CAppModel* m_model;
    stPackageInfo m_selectedPackage;
    bool m_hasSelectedPackage = false;
    std::wstring m_installDir;
    // The rows' package records; the combo box items point into them.
    std::vector<std::unique_ptr<stPackageInfo>> m_packages;
    std::unique_ptr<ui::CTimeLineTween> m_toastTimeline;
    PackageHandOff m_handOff;
    // The window's icon (big and small) and the logo's colour bitmap, owned.
    HICON m_icon = nullptr;
    HBITMAP m_logoBitmap = nullptr;
};
