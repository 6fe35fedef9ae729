// Style groups written in code as the dialog builder makes them, and a shown
// window whose root control paints through a style, for the painter tests.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "Corvel/Core/Control.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Core/support/TestWindow.h"
#include "Corvel/Render/StyleDefinitions.h"
#include "Corvel/Render/StylePainters.h"

namespace styletest {

using Attributes = std::vector<std::pair<const wchar_t*, const wchar_t*>>;

// One drawing element of a state: tag, name (null: unnamed), attributes.
std::unique_ptr<ui::StyleElement> Element(const wchar_t* tag, const wchar_t* name, const Attributes& attributes);

// A group of one entry per state, each entry one unnamed element of `tag`
// per attribute list.
std::unique_ptr<ui::StyleGroup> Group(const std::vector<std::pair<const wchar_t*, std::vector<Attributes>>>& states,
                                      const wchar_t* tag = L"Shape");

// A control that answers bound values: rectangles, colours and numbers set
// by the test.
class BoundControl : public ui::Control {
public:
    void GetPropertyValue(ui::PropertyValue& out, const wchar_t* name) override;
    std::wstring boundName;
    ui::PropertyValue answer;
    int asked = 0;
};

// A shown popup (at 96 DPI unless told) whose root is a BoundControl
// covering it.
class StyledWindow {
public:
    StyledWindow(int width, int height, int dpi = 96);
    ~StyledWindow();
    // Files the group under `name` and gives the root that style; pumps
    // until painted.
    void Apply(std::unique_ptr<ui::StyleGroup> group, const wchar_t* name = L"TestStyle");
    // Repaints the whole window and pumps until painted.
    void Repaint();
    testsupport::PixelImage Read() { return testsupport::ReadCorePixels(win->core); }
    ui::WindowCore& core() { return win->core; }

    BoundControl* control = nullptr; // owned by the core
    std::unique_ptr<testsupport::TestWindow> win;
};

} // namespace styletest
