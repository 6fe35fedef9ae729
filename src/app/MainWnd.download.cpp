// The main window's deployment, second phase: the sliced download of the
// package with its progress, speed and failure texts and the slow-transfer
// restart.
//
// Threads: StartDownload, OnRestartTimer and every On* task run on the UI
// thread and own the flags, the timer and the controls. OnDownloadState and
// PostDownloadTick run on the downloader's threads: they read
// m_downloadActive and post UI tasks that carry copies of their values,
// nothing else.
#include "app/MainWnd.h"

#include "Corvel/Control/ProgressBar.h"
#include "app/AppModel.h"
#include "app/DeployPaths.h"
#include "app/DownloadTexts.h"
#include "app/Encodings.h"
#include "app/ShellUtil.h"
#include "app/TipWnd.h"
#include "net/SliceDownloader.h"

namespace {

// The bar eases to each new value over this long.
constexpr int kBarAnimationMs = 800;
// Message windows of the download have no countdown.
constexpr int kNoCountdown = -1;
constexpr float kBarEmpty = 0.0f;

const wchar_t kTipTitle[] = L"温馨提示";
const wchar_t kGotIt[] = L"我知道了";
// The bar's style element that shows the phase and the percentage.
const wchar_t kBarStateNames[] = L"normal";
const wchar_t kBarStateElement[] = L"state";

} // namespace

// ---------------------------------------------------------------- start

void CMainWnd::StartDownload()
{
    ShowDownloading(true);
    OpenUrl(m_order.guide_link);
    m_downloadActive = true;
    if (const uint32_t code = StartDownloader())
        OnDownloadStartFailed(code);
}

uint32_t CMainWnd::StartDownloader()
{
    const std::wstring url = Utf8ToWideString(m_order.download_url);
    // A URL that names no plain file is refused here, before anything is
    // fetched or written.
    const std::wstring name = FileNameFromUrl(url);
    if (name.empty())
        return ERROR_INVALID_NAME;
    if (!m_downloader)
        m_downloader = std::make_unique<CSliceDownloader>();
    if (m_sliceThresholdsSet)
        m_downloader->SetSliceThresholdsForTesting(m_sliceThresholds);
    return m_downloader->Start(url, m_installDir, name,
                               [this](int state, uint64_t a, uint64_t b, uint64_t c) { OnDownloadState(state, a, b, c); });
}

void CMainWnd::OnDownloadStartFailed(uint32_t code)
{
    ui::ShowTipDialog(m_hwnd, kGotIt, L"", kTipTitle, StartFailureText(code).c_str(), false, kNoCountdown, nullptr);
    KillTimer(m_hwnd, kRestartTimerId);
    // With the timer gone the flag goes too, or the next download's slow
    // ticks would never arm it again.
    m_restartTimerArmed = false;
    m_downloadActive = false;
    ShowDownloading(false);
}

void CMainWnd::ShowDownloading(bool downloading)
{
    // Each button shares its place with others (vgroups): showing one hides
    // the rest.
    auto show = [this](const wchar_t* name) {
        if (ui::Control* control = m_core.FindControlByName(name))
            control->SetVisible(true);
    };
    if (downloading) {
        show(L"BtnOpenInstallDir");
        show(L"ProgressDownloading");
    } else {
        show(L"BtnDownload");
    }
}

// ---------------------------------------------------------------- reports (downloader threads)

void CMainWnd::OnDownloadState(int state, uint64_t a, uint64_t b, uint64_t c)
{
    if (!m_downloadActive.load())
        return;
    switch (state) {
    case kDownloadProgress:
        if (b != 0)
            PostDownloadTick(a, b, c);
        else if (c != 0)
            m_core.PostUiTask(nullptr, [this, c] { OnSliceFailed(c); });
        return;
    case kDownloadMerge:
        m_core.PostUiTask(nullptr, [this, a, b, c] { OnDownloadVerifying(a, b, c); });
        return;
    case kDownloadComplete:
        m_core.PostUiTask(nullptr, [this, a, b, c] { OnDownloadEnded(a, b, c); });
        return;
    default:
        return;
    }
}

void CMainWnd::PostDownloadTick(uint64_t a, uint64_t b, uint64_t c)
{
    const stTickView view = ViewOfTick(a, b, c);
    if (view.pace == TickPace::kSlow)
        m_core.PostUiTask(nullptr, [this] { OnSlowDownload(); });
    else if (view.pace == TickPace::kFast)
        m_core.PostUiTask(nullptr, [this] { OnFastDownload(); });
    m_core.PostUiTask(nullptr, [this, view] { OnDownloadProgress(view.done, view.percent, view.speedText); });
}

// ---------------------------------------------------------------- report tasks (UI thread)
//
// A task that was still queued when the download stopped counting (a
// failed start) is dropped like the report itself: an armed timer would
// restart a download the page no longer shows.

void CMainWnd::OnDownloadProgress(bool done, float percent, const std::wstring& speedText)
{
    if (!m_downloadActive)
        return;
    if (auto* bar = dynamic_cast<ui::ProgressBar*>(m_core.FindControlByName(L"ProgressDownloading"))) {
        // All bytes in: the bar empties at once, ready for the verification.
        bar->SetValue(done ? kBarEmpty : percent, done ? 0 : kBarAnimationMs);
        bar->SetText(DownloadingStateText(percent).c_str(), kBarStateNames, kBarStateElement);
    }
    if (ui::Control* speed = m_core.FindControlByName(L"TxtSpeed"))
        speed->SetText(speedText.c_str());
}

void CMainWnd::OnSlowDownload()
{
    if (!m_downloadActive || m_restartTimerArmed)
        return;
    m_restartTimerArmed = true;
    SetTimer(m_hwnd, kRestartTimerId, m_restartDelayMs, nullptr);
}

void CMainWnd::OnFastDownload()
{
    if (!m_restartTimerArmed)
        return;
    m_restartTimerArmed = false;
    KillTimer(m_hwnd, kRestartTimerId);
}

void CMainWnd::OnSliceFailed(uint64_t code)
{
    if (!m_downloadActive)
        return;
    const int choice = ui::ShowTipDialog(m_hwnd, L"立刻下载", L"联系客服", kTipTitle, SliceFailureText(code).c_str(),
                                         true, kNoCountdown, nullptr);
    if (choice == ui::kTipYes)
        OpenUrl(m_order.download_url);
    else if (choice == ui::kTipNo)
        OpenServiceLink(&stServiceLinks::customer_service_link);
    ShowDownloading(false);
}

void CMainWnd::OnDownloadVerifying(uint64_t a, uint64_t b, uint64_t code)
{
    if (!m_downloadActive)
        return;
    if (code != 0) {
        ui::ShowTipDialog(m_hwnd, kGotIt, L"", kTipTitle, MergeFailureText(code).c_str(), false, kNoCountdown,
                          nullptr);
        // The downloader keeps the slices, so the button can try the merge
        // again; a bar left standing would wait for nothing.
        ShowDownloading(false);
        return;
    }
    auto* bar = dynamic_cast<ui::ProgressBar*>(m_core.FindControlByName(L"ProgressDownloading"));
    if (!bar)
        return;
    const float percent = DownloadPercent(a, b);
    bar->SetValue(percent, kBarAnimationMs);
    bar->SetText(VerifyingStateText(percent).c_str(), kBarStateNames, kBarStateElement);
}

void CMainWnd::OnDownloadEnded(uint64_t a, uint64_t b, uint64_t c)
{
    if (!m_downloadActive)
        return;
    if (m_downloadEndObserver)
        m_downloadEndObserver(a, b, c);
    else
        OnDownloadFinished(a, b, c);
}

// ---------------------------------------------------------------- restart and close

void CMainWnd::OnRestartTimer()
{
    KillTimer(m_hwnd, kRestartTimerId);
    // Reports of the stopped run are ignored; the slices' progress is kept
    // in the resume file and the new run goes on from there.
    m_downloadActive = false;
    if (m_downloader)
        m_downloader->Stop();
    m_downloadActive = true;
    // The restart-timer flag stays set: a later slow tick arms no new timer
    // until a fast one has cleared it. A run that cannot start again ends
    // like a failed start, never in a bar that waits for nothing.
    if (const uint32_t code = StartDownloader())
        OnDownloadStartFailed(code);
}

void CMainWnd::StopDownloadForClose()
{
    m_downloadActive = false;
    KillTimer(m_hwnd, kRestartTimerId);
    m_restartTimerArmed = false;
    // Stop returns once every downloader thread has ended, so no report
    // reaches the window after this.
    if (m_downloader)
        m_downloader->Stop();
}
