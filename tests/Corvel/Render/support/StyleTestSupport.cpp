#include "StyleTestSupport.h"

namespace styletest {

std::unique_ptr<ui::StyleElement> Element(const wchar_t* tag, const wchar_t* name, const Attributes& attributes)
{
    auto e = std::make_unique<ui::StyleElement>(name, tag);
    for (const auto& a : attributes)
        e->SetAttribute(a.first, a.second);
    return e;
}

std::unique_ptr<ui::StyleGroup> Group(const std::vector<std::pair<const wchar_t*, std::vector<Attributes>>>& states,
                                      const wchar_t* tag)
{
    auto group = std::make_unique<ui::StyleGroup>();
    for (const auto& state : states) {
        auto entry = std::make_unique<ui::StyleEntry>(state.first);
        for (const Attributes& attributes : state.second)
            entry->AddElement(Element(tag, nullptr, attributes));
        group->Add(state.first, std::move(entry));
    }
    return group;
}

void BoundControl::GetPropertyValue(ui::PropertyValue& out, const wchar_t* name)
{
    ++asked;
    if (name && boundName == name) {
        out = answer;
        return;
    }
    ui::Control::GetPropertyValue(out, name);
}

StyledWindow::StyledWindow(int width, int height, int dpi)
{
    control = new BoundControl();
    win = std::make_unique<testsupport::TestWindow>(dpi);
    win->root = control;
    EXPECT_NE(nullptr, win->CreatePopup(width, height));
    // The looks are read from the render target, never driven by the
    // pointer: a pointer that other tests move over the window must not
    // make the root hot.
    EnableWindow(win->GetHWND(), FALSE);
    EXPECT_TRUE(testsupport::ShowAndPaint(*win));
}

StyledWindow::~StyledWindow() = default;

void StyledWindow::Apply(std::unique_ptr<ui::StyleGroup> group, const wchar_t* name)
{
    win->core.AddStyleGroup(name, std::move(group));
    control->SetStyle(name);
    Repaint();
}

void StyledWindow::Repaint()
{
    control->Repaint();
    EXPECT_TRUE(testsupport::PumpUntil([this] { return testsupport::IsPainted(*win); }));
}

} // namespace styletest
