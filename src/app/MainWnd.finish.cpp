// The main window's deployment, last phase: extraction of a zip package,
// start of the product's programs, their desktop links and the launch
// button.
#include "app/MainWnd.h"

#include <shlwapi.h>

#include <cstdio>

#include "Corvel/Control/ProgressBar.h"
#include "app/AppValues.h"
#include "app/BootPrograms.h"
#include "app/DeployPaths.h"
#include "app/Encodings.h"
#include "app/PackageExtract.h"
#include "app/PathUtil.h"
#include "app/ShellUtil.h"

namespace {

constexpr float kPercentFull = 100.0f;
// The bar reaches 100 when the download is verified; extraction steps move
// it in shorter animations so that it keeps up with the engine.
constexpr int kVerifiedAnimationMs = 800;
constexpr int kExtractAnimationMs = 200;
constexpr int kAtOnce = 0;
// The formatted bar texts are short; this holds any percentage.
constexpr size_t kBarTextLength = 64;

constexpr const wchar_t* kVerifyingFormat = L"校验中 %0.2f%%";
constexpr const wchar_t* kExtractingFormat = L"释放中 %0.2f%%";
constexpr const wchar_t* kVerifiedText = L"文件校验完毕";
constexpr const wchar_t* kAlreadyReadyText = L"已全部就绪";
constexpr const wchar_t* kReadyText = L"全部就绪";
constexpr const wchar_t* kExtractFailedText = L"解压失败,已为您打开安装包";
// The bar's text element and the state it shows in.
constexpr const wchar_t* kBarState = L"normal";
constexpr const wchar_t* kBarTextElement = L"state";
// The boot programs' working folder, used when it exists relative to the
// current directory (ShellOpen falls back to the program's own folder).
constexpr const wchar_t* kBootWorkingFolder = L"local";

ui::ProgressBar* DownloadBar(ui::WindowCore& core)
{
    return dynamic_cast<ui::ProgressBar*>(core.FindControlByName(L"ProgressDownloading"));
}

void SetControlText(ui::WindowCore& core, const wchar_t* name, const std::wstring& text)
{
    if (ui::Control* control = core.FindControlByName(name))
        control->SetText(text.c_str());
}

// Shows a button of the "install" group (the others, the bar among them,
// hide).
void ShowControl(ui::WindowCore& core, const wchar_t* name)
{
    if (ui::Control* control = core.FindControlByName(name))
        control->SetVisible(true);
}

void WriteBarText(ui::ProgressBar* bar, const wchar_t* format, float percent)
{
    wchar_t text[kBarTextLength] = {};
    swprintf(text, kBarTextLength, format, percent);
    bar->SetText(text, kBarState, kBarTextElement);
}

// Moves the bar (animated over durationMs, or at once for 0) and writes the
// phase text with the new value.
void ShowBarPhase(ui::WindowCore& core, const wchar_t* format, float percent, int durationMs)
{
    ui::ProgressBar* bar = DownloadBar(core);
    if (!bar)
        return;
    bar->SetValue(percent, durationMs);
    WriteBarText(bar, format, percent);
}

} // namespace

void CMainWnd::OnDownloadFinished(uint64_t a, uint64_t b, uint64_t)
{
    if (b == 0 || a != b) {
        // Only a total of 0 gets here: nothing was verified, the bar stays
        // at 0 and says so.
        const float percent = b == 0 ? 0.0f : static_cast<float>(a) * kPercentFull / static_cast<float>(b);
        ShowBarPhase(m_core, kVerifyingFormat, percent, kAtOnce);
        return;
    }
    if (ui::ProgressBar* bar = DownloadBar(m_core))
        bar->SetValue(kPercentFull, kVerifiedAnimationMs);
    SetControlText(m_core, L"TxtSpeed", kVerifiedText);

    const std::wstring name = FileNameFromUrl(Utf8ToWideString(m_order.download_url));
    if (!IsZipPackage(name)) {
        ShowControl(m_core, L"BtnInstall");
        ShellOpen(JoinInstallPath(m_installDir, name), L"", m_installDir);
        return;
    }
    if (m_order.boot.empty()) {
        // The shell opens the archive itself.
        ShowControl(m_core, L"BtnInstall");
        ShellOpen(JoinInstallPath(m_installDir, name), L"", L"");
        return;
    }
    // A program left by an extraction that never finished is no installed
    // product: the package is extracted again.
    if (!IsExtractionUnfinished(JoinInstallPath(m_installDir, name)) && StartBootPrograms(false) > 0) {
        // Already installed: started as it is, nothing extracted.
        ShowControl(m_core, L"BtnInstall");
        SetControlText(m_core, L"TxtSpeed", kAlreadyReadyText);
        return;
    }
    StartExtraction(name);
}

void CMainWnd::StartExtraction(const std::wstring& name)
{
    // One extraction at a time; a finished one is collected here.
    if (m_extraction && !m_extraction->IsDone())
        return;
    m_extraction.reset();

    ExtractJob job;
    job.packagePath = JoinInstallPath(m_installDir, name);
    job.installDir = m_installDir;
    job.enginePath = GetAppDataDir(productName) + L"\\" + kEngineFileName;
    job.engineUrl = Utf8ToWideString(m_order.compress_link);

    // The reports become UI tasks; they run only while the window exists,
    // and the window waits for the thread before it goes (m_extraction).
    ExtractSink sink;
    sink.isCancelled = [this] { return IsClosing(); };
    sink.total = [this](uint64_t) {
        m_core.PostUiTask(nullptr, [this] { ShowBarPhase(m_core, kExtractingFormat, 0.0f, kAtOnce); });
    };
    sink.progress = [this](float percent) {
        m_core.PostUiTask(nullptr,
                          [this, percent] { ShowBarPhase(m_core, kExtractingFormat, percent, kExtractAnimationMs); });
    };
    sink.file = [this](const std::wstring& path) {
        std::wstring shown = ShortenPathForDisplay(path);
        m_core.PostUiTask(nullptr, [this, shown] { SetControlText(m_core, L"TxtSpeed", shown); });
    };
    sink.shellFallback = [this, name] { m_core.PostUiTask(nullptr, [this, name] { OpenPackageWithShell(name); }); };
    sink.finished = [this, name](ExtractOutcome) {
        m_core.PostUiTask(nullptr, [this, name] { OnExtractFinished(name); });
    };
    m_extraction = std::make_unique<CPackageExtraction>(std::move(job), std::move(sink));
}

void CMainWnd::OpenPackageWithShell(const std::wstring& name)
{
    ShowControl(m_core, L"BtnInstall");
    ShellOpen(JoinInstallPath(m_installDir, name), L"", L"");
}

void CMainWnd::OnExtractFinished(const std::wstring&)
{
    ShowControl(m_core, L"BtnInstall");
    ShowBarPhase(m_core, kExtractingFormat, kPercentFull, kAtOnce);
    // Without an extraction of this window (the task run on its own) the
    // programs are taken as they are.
    const bool extracted =
        !m_extraction || (m_extraction->IsDone() && m_extraction->Outcome() == ExtractOutcome::kExtracted);
    if (!extracted) {
        // Programs left from an earlier install are not started: they may
        // be half replaced by this failed run.
        SetControlText(m_core, L"TxtSpeed", kExtractFailedText);
        return;
    }
    SetControlText(m_core, L"TxtSpeed", kReadyText);
    StartBootPrograms(true);
}

void CMainWnd::LaunchInstalled()
{
    const std::wstring name = FileNameFromUrl(Utf8ToWideString(m_order.download_url));
    if (IsZipPackage(name) && !IsExtractionUnfinished(JoinInstallPath(m_installDir, name)) &&
        StartNamedBootPrograms() > 0)
        return;
    ShowControl(m_core, L"BtnDownload");
    if (ui::Control* download = m_core.FindControlByName(L"BtnDownload"))
        download->TryActivate();
}

int CMainWnd::StartBootPrograms(bool makeShortcuts)
{
    int started = 0;
    for (const stBootEntry& entry : m_order.boot) {
        const std::wstring program = BootProgramPath(m_installDir, entry);
        if (program.empty() || !PathFileExistsW(program.c_str()))
            continue;
        ShellOpen(program, L"", kBootWorkingFolder);
        ++started;
        if (!makeShortcuts)
            continue;
        const std::wstring linkName = BootShortcutName(entry);
        if (!linkName.empty())
            CreateShortcut(linkName.c_str(), program.c_str(), true, nullptr);
    }
    return started;
}

int CMainWnd::StartNamedBootPrograms()
{
    int named = 0;
    for (const stBootEntry& entry : m_order.boot) {
        const std::wstring program = BootProgramPath(m_installDir, entry);
        if (program.empty() || !PathFileExistsW(program.c_str()))
            continue;
        ShellOpen(program, L"", kBootWorkingFolder);
        if (!entry.name.empty())
            ++named;
    }
    return named;
}
