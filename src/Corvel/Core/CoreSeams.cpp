// The render target as the window core sees it. Until the rendering module
// is part of the build there is nothing to draw with: no target is created
// and every drawing call does nothing.
#include "Corvel/Core/CoreSeams.h"

namespace ui {
namespace seams {

RenderTarget* CreateWindowTarget(WindowCore*, HWND) { return nullptr; }
void DestroyTarget(RenderTarget*) {}
void ResizeTarget(RenderTarget*, int, int, int, int) {}
void BeginDraw(RenderTarget*, const std::vector<RECTF>&) {}
void ClearRects(RenderTarget*, const std::vector<RECTF>&) {}
void EndDraw(RenderTarget*, bool, const RECT&) {}
void PushClip(RenderTarget*, const RECTF&) {}
void PopClip(RenderTarget*) {}
void FillRect(RenderTarget*, const RECTF&, uint32_t) {}

} // namespace seams
} // namespace ui
