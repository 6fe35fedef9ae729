// Window core: the named tables the skin builder fills (animations, default
// attributes, strings) and the process-wide scale-prefix table.
#include "Corvel/Core/WindowCore.h"

#include "Corvel/Render/ControlTransform.h"

namespace ui {

namespace {

std::unordered_map<int, std::wstring, IntKeyHash>& ScalePrefixes()
{
    static std::unordered_map<int, std::wstring, IntKeyHash> table;
    return table;
}

} // namespace

void SetScalePrefix(int percent, const wchar_t* prefix)
{
    ScalePrefixes()[percent] = prefix ? prefix : L"";
}

void ClearScalePrefixes() { ScalePrefixes().clear(); }

CUiString GetScalePrefix(int dpi, bool& found)
{
    int percent = static_cast<int>(dpi * 100.0 / 96);
    auto it = ScalePrefixes().find(percent);
    found = it != ScalePrefixes().end();
    return found ? CUiString(it->second) : CUiString();
}

void WindowCore::SetAnimationSpec(const wchar_t* name, const AnimationSpec& definition)
{
    if (name)
        m_animations[name] = definition;
}

bool WindowCore::FindAnimationSpec(const wchar_t* name, AnimationSpec& out) const
{
    if (!name)
        return false;
    auto it = m_animations.find(name);
    if (it == m_animations.end())
        return false;
    out = it->second;
    return true;
}

bool WindowCore::AddTransform(std::unique_ptr<ControlTransform> transform)
{
    if (!transform || transform->GetName().empty())
        return false;
    const std::wstring name = transform->GetName();
    m_transforms[name] = std::move(transform);
    return true;
}

const ControlTransform* WindowCore::FindTransform(const wchar_t* name) const
{
    if (!name)
        return nullptr;
    auto it = m_transforms.find(name);
    return it == m_transforms.end() ? nullptr : it->second.get();
}

void WindowCore::ClearTransforms() { m_transforms.clear(); }

void WindowCore::SetDefaultAttributeList(const wchar_t* className, const wchar_t* attributes)
{
    if (!className)
        return;
    if (attributes)
        m_defaultAttributes[className] = attributes;
    else
        m_defaultAttributes.erase(className);
}

const wchar_t* WindowCore::GetDefaultAttributeList(const wchar_t* className) const
{
    if (!className)
        return nullptr;
    auto it = m_defaultAttributes.find(className);
    return it == m_defaultAttributes.end() ? nullptr : it->second.c_str();
}

bool WindowCore::AddString(const wchar_t* key, const wchar_t* text)
{
    if (!key)
        return false;
    return m_strings.emplace(key, text ? text : L"").second;
}

const wchar_t* WindowCore::GetString(const wchar_t* key) const
{
    if (!key)
        return nullptr;
    auto it = m_strings.find(key);
    return it == m_strings.end() ? nullptr : it->second.c_str();
}

} // namespace ui
