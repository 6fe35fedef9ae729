// A layout box that records the content size its layout hands to the
// scroll-bar placement, and children made from attribute text. For layout
// tests that need no window. Header-only.
#pragma once

#include <vector>

#include "Corvel/Core/Control.h"

namespace testsupport {

template <class BoxClass>
class ContentRecorder : public BoxClass {
public:
    struct Call {
        ui::RECTF rect;
        int neededWidth;
        int neededHeight;
    };
    void PlaceScrollBars(const ui::RECTF& rect, int neededWidth, int neededHeight) override
    {
        calls.push_back(Call{rect, neededWidth, neededHeight});
        BoxClass::PlaceScrollBars(rect, neededWidth, neededHeight);
    }
    std::vector<Call> calls;
};

// A plain control with the attributes applied (name="value" pairs).
inline ui::Control* MakeChild(const wchar_t* attributes)
{
    auto* c = new ui::Control();
    c->ApplyAttributeText(attributes);
    return c;
}

} // namespace testsupport
