#include "Corvel/Control/Option.h"

#include <cwchar>

#include "Corvel/Core/StyleValues.h"
#include "Corvel/Core/WindowCore.h"

namespace ui {

namespace {

using OptionSetter = void (*)(Option& option, const wchar_t* value);

} // namespace

Option::Option() = default;

Option::~Option()
{
    if (m_core && !m_groupName.IsEmpty())
        m_core->RemoveGroupMember(m_groupName, this);
}

const wchar_t* Option::GetClassName() const { return L"Option"; }

void* Option::CastTo(const wchar_t* typeName)
{
    if (typeName && wcscmp(typeName, L"Option") == 0)
        return this;
    return Button::CastTo(typeName);
}

bool Option::TryActivate()
{
    WindowCore* core = m_core;
    if (!Control::TryActivate())
        return false;
    if (core)
        core->RaiseNotification(this, L"click", 0, 0);
    // In a group a click selects (a selected member stays selected); alone
    // it toggles.
    Control::SetSelected(m_groupName.IsEmpty() ? !IsSelected() : true);
    return true;
}

void Option::AttachCore(WindowCore* core, Control* parent, bool initialise)
{
    Control::AttachCore(core, parent, initialise);
    // The core ignores a control that is already a member.
    if (core && !m_groupName.IsEmpty())
        core->AddGroupMember(m_groupName, this);
}

void Option::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    struct Entry {
        const wchar_t* name;
        OptionSetter set;
    };
    static const Entry kEntries[] = {
        {L"selected", [](Option& o, const wchar_t* v) { o.Control::SetSelected(wcscmp(v, L"true") == 0); }},
        {L"selectedimage", [](Option& o, const wchar_t* v) { o.AssignImage(o.m_selectedImage, v); }},
        {L"selectedhotimage", [](Option& o, const wchar_t* v) { o.AssignImage(o.m_selectedHotImage, v); }},
        {L"selectedbkcolor", [](Option& o, const wchar_t* v) { o.m_selectedBkColor = ParseHexColor(v); }},
        {L"selectedfont", [](Option& o, const wchar_t* v) { o.m_selectedFontId = ParseInt(v); }},
        {L"selectedtextcolor", [](Option& o, const wchar_t* v) { o.m_selectedTextColor = ParseHexColor(v); }},
    };
    if (name && value) {
        for (const Entry& entry : kEntries) {
            if (wcscmp(name, entry.name) == 0) {
                entry.set(*this, value);
                return;
            }
        }
    }
    Button::SetAttribute(name, value);
}

int Option::StyleStateBits() const
{
    if (m_state & kStateSelected)
        return kStateSelected;
    return Button::StyleStateBits();
}

void Option::PaintForeImage(RenderTarget* target, const RECTF& paintRect)
{
    if (!PaintSelectedLook(target))
        Button::PaintForeImage(target, paintRect);
}

bool Option::PaintSelectedLook(RenderTarget* target)
{
    if ((m_state & kStateHot) && IsSelected() && !m_selectedHotImage.IsEmpty()) {
        DrawImage(m_selectedHotImage);
        DrawForeImage();
        return true;
    }
    if (!(m_state & kStateSelected))
        return false;
    if (!m_selectedImage.IsEmpty()) {
        DrawImage(m_selectedImage);
        DrawForeImage();
        return true;
    }
    if (m_selectedBkColor != 0) {
        FillPaintRect(target, m_selectedBkColor);
        return true;
    }
    return false;
}

void Option::PaintLabel(RenderTarget* target, const RECTF& paintRect)
{
    if (!IsSelected()) {
        Button::PaintLabel(target, paintRect);
        return;
    }
    RefreshPaintFlags();
    ResolveTextColors();
    if (m_text.IsEmpty())
        return;
    uint32_t argb = m_selectedTextColor != 0 ? m_selectedTextColor : m_textColor;
    if (!IsEnabled())
        argb = m_disabledTextColor;
    const int font = m_selectedFontId != -1 ? m_selectedFontId : m_fontId;
    DrawLabelText(target, argb, font, m_lineSpacing * GetScale(), m_textDrawOption);
}

} // namespace ui
