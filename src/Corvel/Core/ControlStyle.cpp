// The control's style set: binding a named style group, painting through
// it, the text/font/style fallbacks to the current state's text element and
// the state animation between two states' painters.
//
// Placeholder until the style painters exist: no style group is ever bound,
// so every fallback answers the control's own values.
#include "Corvel/Core/Control.h"

namespace ui {

void StyleSetDeleter::operator()(StyleSet*) const {}

void Control::SetStyle(const wchar_t* name)
{
    if (!name || !m_core)
        return;
    m_styleName = name;
}

TextPainter* Control::FindCurrentTextPainter() const { return nullptr; }
bool Control::HasStyleState(const wchar_t*) const { return false; }
bool Control::PaintStyle(const RECTF&) { return false; }
bool Control::PlayAnimation(const wchar_t*) { return false; }
CUiString Control::GetText() const { return m_text; }
int Control::GetFontId() const { return m_fontId; }
int Control::GetTextStyle() const { return m_textStyle; }
void Control::SetStyleElementText(const wchar_t*, const wchar_t*, const wchar_t*) {}
void Control::SetStateProperty(const wchar_t*, const wchar_t*, const wchar_t*) {}

} // namespace ui
