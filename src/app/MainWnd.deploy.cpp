// The main window's deployment, first phase: the deploy descriptor arrives,
// the install page shows and the installation directory is settled.
//
// Fields touched here: m_descriptorWorker (UI thread; its thread only calls
// OnDeployDescriptor), m_order, m_installDir, m_selectedPackage (read),
// m_deployHandlersBound. Everything but OnDeployDescriptor runs on the UI
// thread.
#include "app/MainWnd.h"

#include <shlobj.h>

#include <cwchar>

#include "Corvel/Control/ProgressBar.h"
#include "app/AppValues.h"
#include "app/DeployDescriptor.h"
#include "app/IniParse.h"
#include "app/InstallDirectory.h"
#include "app/PathUtil.h"
#include "app/ShellUtil.h"
#include "app/TipWnd.h"

namespace {

// The key of the installation directory in the package's section of user.dat.
constexpr const wchar_t* kInstallPathKey = L"installPath";

// Message windows of this phase: captions, titles and how long the confirm
// button counts down before it confirms by itself (seconds; -1 none).
constexpr const wchar_t* kTipTitle = L"温馨提示";
constexpr const wchar_t* kFailureTitleFormat = L"错误%d";
constexpr const wchar_t* kFailureYes = L"知道了";
constexpr int kFailureCountdownS = 5;
constexpr const wchar_t* kRelaunchText = L"创建部署目录失败[%d],使用管理员权限重新启动";
constexpr const wchar_t* kRelaunchYes = L"立即启动";
constexpr int kRelaunchCountdownS = 8;
// The elevated instance could not create the directory either: relaunching
// again would only loop, so the user picks another directory.
constexpr const wchar_t* kStillFailingText = L"创建部署目录失败[%d],请更换安装目录后重试";
constexpr int kNoCountdown = -1;
// Formatted message texts are cut to this many units (terminator included).
constexpr size_t kTipTextUnits = 128;
constexpr size_t kTitleUnits = 32;
// The close code of the instance that hands over to its elevated relaunch.
constexpr int kCloseForRelaunch = 1;

// The folder browser: its title, and the flags BIF_RETURNONLYFSDIRS,
// BIF_EDITBOX, BIF_NEWDIALOGSTYLE and BIF_BROWSEFORCOMPUTER.
constexpr const wchar_t* kBrowseTitle = L"选择安装路径";
constexpr UINT kBrowseFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE | BIF_BROWSEFORCOMPUTER;

std::wstring FormatCode(const wchar_t* format, int code, size_t units)
{
    std::wstring text(units, L'\0');
    const int n = swprintf(&text[0], units, format, code);
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return text;
}

} // namespace

// ---------------------------------------------------------------- descriptor

void CMainWnd::StartDescriptorDelivery(const stPackageInfo& package)
{
    StopDescriptorDelivery();
    m_descriptorWorker.reset();
    CAppModel* model = Model();
    if (!model) {
        RestoreStartButton();
        return;
    }
    stDescriptorRequest request;
    request.endpoint = model->Endpoint();
    request.packageSn = package.package_sn;
    request.defaultCompressLink = DefaultCompressLink(request.endpoint.baseUrl);
    m_descriptorWorker = std::make_unique<DeployDescriptorWorker>(
        std::move(request), [this](const stOrderDetail& order, bool flag, int code, const std::wstring& message) {
            OnDeployDescriptor(order, flag, code, message);
        });
    if (!m_descriptorWorker->Start()) {
        m_descriptorWorker.reset();
        RestoreStartButton();
    }
}

void CMainWnd::StopDescriptorDelivery()
{
    if (m_descriptorWorker)
        m_descriptorWorker->Stop();
}

void CMainWnd::OnDeployDescriptor(const stOrderDetail& order, bool flag, int code, const std::wstring& message)
{
    // The worker's record may go as soon as this returns: the task keeps
    // copies. A task the window never runs is freed by its core.
    m_core.PostUiTask(nullptr,
                      [this, order, flag, code, message] { StartDeploy(order, flag, code, message); });
}

void CMainWnd::StartDeploy(const stOrderDetail& order, bool, int code, const std::wstring& message)
{
    if (code != kDescriptorValid) {
        ShowDescriptorFailure(code, message);
        return;
    }
    if (order.state != stOrderDetail::kStateReady)
        return;
    AcceptDescriptor(order);
    SettleInstallDir();
}

// The start page comes back first, so that the page behind the message is
// the one the user continues on: a failed descriptor is no dead end.
void CMainWnd::ShowDescriptorFailure(int code, const std::wstring& message)
{
    RestoreStartButton();
    const std::wstring title = FormatCode(kFailureTitleFormat, code, kTitleUnits);
    ui::ShowTipDialog(m_hwnd, kFailureYes, L"", title.c_str(), message.c_str(), false, kFailureCountdownS, nullptr);
}

void CMainWnd::RestoreStartButton()
{
    // vgroup "active": showing the start button hides the preparation text.
    if (ui::Control* start = m_core.FindControlByName(L"BtnActive"))
        start->SetVisible(true);
    if (auto* bar = dynamic_cast<ui::ProgressBar*>(m_core.FindControlByName(L"ProgressActiving")))
        bar->SetValue(0.0f, 0);
}

void CMainWnd::AcceptDescriptor(const stOrderDetail& order)
{
    m_order = order;
    // vgroup "pages": the install page hides the start page.
    if (ui::Control* page = m_core.FindControlByName(L"HInstallPage"))
        page->SetVisible(true);
    BindDeployHandlers();
}

void CMainWnd::BindDeployHandlers()
{
    if (m_deployHandlersBound)
        return;
    m_deployHandlersBound = true;
    auto bind = [this](const wchar_t* name, ui::Control::Callback handler) {
        if (ui::Control* control = m_core.FindControlByName(name))
            control->BindNamedCallback(L"click", std::move(handler));
    };
    bind(L"BtnChangeDir", [this] { OnChangeDir(); });
    bind(L"BtnDownload", [this] { StartDownload(); });
    bind(L"BtnInstall", [this] { LaunchInstalled(); });
    bind(L"BtnTutorial", [this] { OpenUrl(m_order.guide_link); });
}

// ---------------------------------------------------------------- directory

void CMainWnd::SettleInstallDir()
{
    const std::wstring section = m_selectedPackage.FolderName();
    m_installDir = section.empty() ? std::wstring() : ReadUserSetting(section.c_str(), kInstallPathKey);
    // A saved path that is no folder (gone, or a file by now) is replaced.
    if (!IsExistingFolder(m_installDir)) {
        CAppModel* model = Model();
        const std::wstring product = model ? model->Product().FolderName() : std::wstring();
        m_installDir = DefaultInstallDir(InstallDriveList(), GetAppDataDir(L""), product, section);
    }
    if (!IsExistingFolder(m_installDir)) {
        const int rc = SHCreateDirectoryExW(nullptr, m_installDir.c_str(), nullptr);
        if (rc != ERROR_SUCCESS)
            OnInstallDirFailed(rc);
    }
    // Recorded even when it could not be made: the elevated instance reads it.
    if (!section.empty())
        WriteUserSetting(section.c_str(), kInstallPathKey, m_installDir);
    ShowInstallDir();
}

void CMainWnd::OnInstallDirFailed(int error)
{
    if (elevatedRelaunch) {
        const std::wstring text = FormatCode(kStillFailingText, error, kTipTextUnits);
        ui::ShowTipDialog(m_hwnd, kFailureYes, L"", kTipTitle, text.c_str(), false, kNoCountdown, nullptr);
        return;
    }
    const std::wstring text = FormatCode(kRelaunchText, error, kTipTextUnits);
    ui::ShowTipDialog(m_hwnd, kRelaunchYes, L"", kTipTitle, text.c_str(), false, kRelaunchCountdownS, nullptr);
    RelaunchElevated();  // refused by the user: this instance closes all the same
    Close(kCloseForRelaunch);
}

void CMainWnd::ShowInstallDir()
{
    if (ui::Control* path = m_core.FindControlByName(L"TxtInstallPath")) {
        path->SetText(m_installDir.c_str());
        path->SetToolTip(m_installDir.c_str());
    }
}

void CMainWnd::OnChangeDir()
{
    if (!m_installDir.empty())
        installPathText = m_installDir;
    wchar_t displayName[MAX_PATH] = {};
    BROWSEINFOW browse = {};
    browse.pszDisplayName = displayName;
    browse.lpszTitle = kBrowseTitle;
    browse.ulFlags = kBrowseFlags;
    browse.lpfn = BrowseFolderCallback;
    PIDLIST_ABSOLUTE chosenItem = SHBrowseForFolderW(&browse);
    wchar_t chosen[MAX_PATH] = {};
    if (chosenItem) {
        if (!SHGetPathFromIDListW(chosenItem, chosen))
            chosen[0] = L'\0';
        CoTaskMemFree(chosenItem);
    }
    if (!chosen[0])
        return;  // cancelled
    CAppModel* model = Model();
    const std::wstring section = m_selectedPackage.FolderName();
    m_installDir = ComposeChosenInstallDir(chosen, model ? model->Product().FolderName() : std::wstring(), section);
    if (!IsExistingFolder(m_installDir))
        static_cast<void>(SHCreateDirectoryExW(nullptr, m_installDir.c_str(), nullptr));  // the download reports it
    ShowInstallDir();
    if (!section.empty())
        WriteUserSetting(section.c_str(), kInstallPathKey, m_installDir);
}
