// The main window's deployment, first phase: the deploy descriptor arrives,
// the install page shows and the installation directory is settled.
#include "app/MainWnd.h"

void CMainWnd::OnDeployDescriptor(const stOrderDetail&, bool, int, const std::wstring&) {}

void CMainWnd::StartDeploy(const stOrderDetail&, bool, int, const std::wstring&) {}

void CMainWnd::OnChangeDir() {}
