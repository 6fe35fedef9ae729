// The main window's deployment, last phase: extraction of a zip package,
// start of the product's programs, their desktop links and the launch
// button.
#include "app/MainWnd.h"

void CMainWnd::OnDownloadFinished(uint64_t, uint64_t, uint64_t) {}

void CMainWnd::OpenPackageWithShell(const std::wstring&) {}

void CMainWnd::OnExtractFinished(const std::wstring&) {}

void CMainWnd::LaunchInstalled() {}
