// The window core's few calls into the rendering module, gathered in one
// place so the core's own logic does not depend on its header.
#pragma once

#include <windows.h>

#include <vector>

#include "Corvel/Core/UiTypes.h"

namespace ui {

class WindowCore;
class RenderTarget;
class FontManager;
class CTimeLine;

namespace seams {

// The window's render target; its recreated callback reloads images and
// repaints the whole window.
RenderTarget* CreateWindowTarget(WindowCore* core, HWND window);
void DestroyTarget(RenderTarget* target);
void ResizeTarget(RenderTarget* target, int x, int y, int width, int height);
void BeginDraw(RenderTarget* target, const std::vector<RECTF>& rects);
void ClearRects(RenderTarget* target, const std::vector<RECTF>& rects);
void EndDraw(RenderTarget* target, bool layered, const RECT& dirty);
// Clip of one rectangle; PopClip removes exactly that entry (0 from a
// missing target is ignored).
uint32_t PushClip(RenderTarget* target, const RECTF& rect);
void PopClip(RenderTarget* target, uint32_t id);
// Solid ARGB fill of a rectangle (alpha in the top byte).
void FillRect(RenderTarget* target, const RECTF& rect, uint32_t argb);

} // namespace seams
} // namespace ui
