// The UI library fixture and plain windows for the rendering tests; pixel
// read-back and screenshots are in support/Pixels.h.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include "support/Pixels.h"

namespace rendertest {

// Starts the UI library for each test and shuts it down after.
class UiLibraryTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

// A plain top-level test window (popup, no frame, so client == window).
class PlainWindow {
public:
    PlainWindow(int x, int y, int width, int height, DWORD exStyle = 0, DWORD style = WS_POPUP | WS_VISIBLE);
    ~PlainWindow();
    PlainWindow(const PlainWindow&) = delete;
    PlainWindow& operator=(const PlainWindow&) = delete;
    HWND hwnd() const { return m_hwnd; }

private:
    HWND m_hwnd;
};

} // namespace rendertest
