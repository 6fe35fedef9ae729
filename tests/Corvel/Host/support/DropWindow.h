// A skinned window that accepts drops, for the drag-and-drop tests: a drop
// zone ("Zone", with a child "Inner" that has no "drop" of its own) and a
// plain control ("Plain") beside it.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "Corvel/Core/WindowBase.h"

namespace hosttest {

class DropWindow : public IWindowBase {
public:
    explicit DropWindow(std::wstring skin) : m_skin(std::move(skin)) {}
    std::wstring QuerySkinFile() override { return m_skin; }

private:
    std::wstring m_skin;
};

// 300 x 200 at the screen's top left.
extern const wchar_t kDropSkin[];

// Creates and shows the window, pumping until it is laid out; null on
// failure.
std::unique_ptr<DropWindow> OpenDropWindow(const wchar_t* skin = kDropSkin);

// The screen point at the centre of the named control.
POINTL CentreOf(DropWindow& win, const wchar_t* name);

// Global memory holding a CF_HDROP list of `files`.
HGLOBAL MakeHDrop(const std::vector<std::wstring>& files);

} // namespace hosttest
