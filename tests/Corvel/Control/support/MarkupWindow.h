// A shown test window whose control tree is built from skin markup, with a
// log of the notifications its controls raise and helpers that drive it
// with window messages the way a user would (mouse, keys, wheel).
// Header-only, for the control tests of this folder.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "Corvel/Core/Control.h"
#include "Corvel/Core/DialogBuilder.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Core/SkinArchive.h"
#include "Corvel/Core/support/TestWindow.h"
#include "support/ImageFiles.h"
#include "support/TestPaths.h"

namespace controltest {

// Every notification as "type:sender name", in delivery order.
struct NotifyLog : ui::INotifyUI {
    std::vector<std::wstring> items;
    void ReceiveNotify(ui::tagTNotifyUI& msg) override
    {
        items.push_back(std::wstring(msg.type.GetData()) + L":" +
                        (msg.sender ? msg.sender->GetName().ToStdString() : L"-"));
    }
    // The entries of one type only.
    std::vector<std::wstring> OfType(const std::wstring& type) const
    {
        std::vector<std::wstring> out;
        for (const std::wstring& item : items) {
            if (item.compare(0, type.size() + 1, type + L":") == 0)
                out.push_back(item);
        }
        return out;
    }
};

// Loose image files for the skins of a test: a scratch folder that is the
// UI resource folder while the object lives (no scale folders).
class ImageFolder {
public:
    ImageFolder() : m_dir(L"img")
    {
        ui::ClearScalePrefixes();
        SetUiResourcePath((m_dir.Path() + L"\\").c_str());
    }
    ~ImageFolder() { SetUiResourcePath(L""); }
    // Writes `image` as a PNG named `name`; false when it cannot.
    bool Add(const wchar_t* name, const testsupport::ArgbImage& image)
    {
        const std::string png = testsupport::EncodeWithWic(image, GUID_ContainerFormatPng);
        return !png.empty() && testsupport::WriteFileBytes(m_dir.File(name), png);
    }

private:
    testsupport::ScratchDir m_dir;
};

inline LPARAM Pt(int x, int y) { return MAKELPARAM(x, y); }

class MarkupWindow {
public:
    // Builds `markup` (a <Window> element) into a popup of the given client
    // size (pixels), lays it out, shows it without activation and paints it
    // once; a `dpi` other than 0 is the window's DPI.
    MarkupWindow(const wchar_t* markup, int width, int height, int dpi = 0) : win(dpi)
    {
        EXPECT_NE(nullptr, win.CreatePopup(width, height));
        ui::DialogBuilder builder;
        ui::Control* root = builder.Build(markup, nullptr, &win.core, nullptr);
        EXPECT_NE(nullptr, root) << "markup did not build";
        win.core.SetRootControl(root);
        win.core.AddNotifyListener(&log);
        // The first WM_SIZE lays a new tree out.
        SendMessageW(win.GetHWND(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(width, height));
        EXPECT_TRUE(testsupport::ShowAndPaint(win));
    }
    ~MarkupWindow() { win.core.RemoveNotifyListener(&log); }

    // The control of that name, cast to T; null when absent or of another class.
    template <class T>
    T* Find(const wchar_t* name)
    {
        ui::Control* c = win.core.FindControlByName(name);
        return c ? dynamic_cast<T*>(c) : nullptr;
    }

    HWND Hwnd() const { return win.GetHWND(); }
    void Move(int x, int y, WPARAM keys = 0) { SendMessageW(Hwnd(), WM_MOUSEMOVE, keys, Pt(x, y)); }
    void Press(int x, int y)
    {
        Move(x, y);
        SendMessageW(Hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, Pt(x, y));
    }
    void Release(int x, int y) { SendMessageW(Hwnd(), WM_LBUTTONUP, 0, Pt(x, y)); }
    void Click(int x, int y)
    {
        Press(x, y);
        Release(x, y);
    }
    // Turns the wheel by `delta` (positive: up) with the pointer at (x, y).
    void Wheel(int x, int y, int delta)
    {
        POINT screen{x, y};
        ClientToScreen(Hwnd(), &screen);
        SendMessageW(Hwnd(), WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<short>(delta)), Pt(screen.x, screen.y));
    }
    void Key(WPARAM vk)
    {
        SendMessageW(Hwnd(), WM_KEYDOWN, vk, 0);
        SendMessageW(Hwnd(), WM_KEYUP, vk, 0);
    }
    // Pumps until everything marked dirty is painted; false on time-out.
    bool Paint() { return testsupport::PumpUntil([this] { return testsupport::IsPainted(win); }); }
    testsupport::PixelImage Pixels() { return testsupport::ReadCorePixels(win.core); }

    testsupport::TestWindow win;
    NotifyLog log;
};

} // namespace controltest
