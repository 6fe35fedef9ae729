#include "Corvel/Host/support/DropWindow.h"

#include <shlobj.h>

#include <vector>

#include "Corvel/Core/Control.h"
#include "Corvel/Core/support/TestWindow.h"

namespace hosttest {

const wchar_t kDropSkin[] = LR"(<Window size="300,200" drop="true">
  <Box bkcolor="#FFFFFFFF">
    <Box name="Zone" pos="10,10,140,100" float="true" drop="true" bkcolor="#FF00FF00">
      <Control name="Inner" pos="20,20,60,40" float="true"/>
    </Box>
    <Control name="Plain" pos="160,10,120,100" float="true"/>
  </Box>
</Window>)";

std::unique_ptr<DropWindow> OpenDropWindow(const wchar_t* skin)
{
    auto win = std::make_unique<DropWindow>(skin);
    if (!win->Create(nullptr, L"drop", WS_POPUP | WS_CLIPCHILDREN, 0, 0, 0, 300, 200))
        return nullptr;
    ShowWindow(win->GetHWND(), SW_SHOWNOACTIVATE);
    DropWindow* w = win.get();
    if (!testsupport::PumpUntil([w] {
            return w->Core().GetRoot() && !w->Core().IsFirstLayoutPendingForTesting() &&
                   w->Core().GetDirtyRectsForTesting().empty();
        }))
        return nullptr;
    return win;
}

POINTL CentreOf(DropWindow& win, const wchar_t* name)
{
    ui::Control* control = win.Core().FindControlByName(name);
    if (!control)
        return POINTL{-1, -1};
    const ui::RECTF b = control->GetBounds();
    POINT pt{static_cast<LONG>((b.left + b.right) / 2), static_cast<LONG>((b.top + b.bottom) / 2)};
    ClientToScreen(win.GetHWND(), &pt);
    return POINTL{pt.x, pt.y};
}

HGLOBAL MakeHDrop(const std::vector<std::wstring>& files)
{
    std::wstring list;
    for (const auto& f : files)
        list += f + L'\0';
    list += L'\0';
    const size_t bytes = sizeof(DROPFILES) + list.size() * sizeof(wchar_t);
    HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(block));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), list.data(), list.size() * sizeof(wchar_t));
    GlobalUnlock(block);
    return block;
}

} // namespace hosttest
