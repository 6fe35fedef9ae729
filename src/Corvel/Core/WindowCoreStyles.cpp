// The window core's style table: the skin's "Styles" groups by name, looked
// up through the parent cores too.
#include "Corvel/Core/WindowCore.h"

namespace ui {

StyleGroup* WindowCore::FindStyleGroup(const wchar_t* name) const
{
    if (!name)
        return nullptr;
    for (const WindowCore* core = this; core; core = core->m_parentCore) {
        auto found = core->m_styleGroups.find(name);
        if (found != core->m_styleGroups.end())
            return found->second.get();
    }
    return nullptr;
}

bool WindowCore::AddStyleGroup(const wchar_t* name, std::unique_ptr<StyleGroup> group)
{
    if (!name || !*name || !group)
        return false;
    m_styleGroups[name] = std::move(group);
    return true;
}

void WindowCore::ClearStyleGroups() { m_styleGroups.clear(); }

} // namespace ui
