// The control's style set: binding a named style group, painting through
// it, the text/font/style fallbacks to the current state's text element and
// the state animation between two states' painters.
#include "Corvel/Core/Control.h"

#include <cwchar>
#include <string>

#include "Corvel/Core/AnimatedColor.h"
#include "Corvel/Core/StyleValues.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Render/StyleDefinitions.h"
#include "Corvel/Render/StylePainters.h"
#include "Corvel/Render/TimeLine.h"

namespace ui {

namespace {

// Stop mode of a timeline that leaves its values where they are.
constexpr int kStopInPlace = 0;

// The element `index` of a state painter, null out of range.
ElemPainter* ElementAt(StylePainter* painter, int index) { return painter ? painter->GetAt(index) : nullptr; }

// Calls `visit` for every state painter named in a ","-separated list, or
// for every state painter when the list is null or empty.
template <class Visit>
void ForEachNamedState(StyleSet& set, const wchar_t* stateNames, Visit visit)
{
    if (!stateNames || !*stateNames) {
        for (int i = 0; i < set.GetCount(); ++i)
            visit(*set.GetAt(i));
        return;
    }
    for (const wchar_t* piece = stateNames;;) {
        const wchar_t* end = wcschr(piece, L',');
        const std::wstring name = end ? std::wstring(piece, end) : std::wstring(piece);
        if (StylePainter* painter = set.Find(name.c_str()))
            visit(*painter);
        if (!end)
            break;
        piece = end + 1;
    }
}

// Adds the tweens of one animated property between two element painters;
// nothing when either does not answer or the values are equal.
void AddPropertyTweens(CTimeLine& timeline, const AnimationProperty& property, ElemPainter* from, ElemPainter* to)
{
    if (!from || !to)
        return;
    const std::wstring valueName = property.name + property.target;
    PropertyValue source, destination;
    if (property.name == L"color") {
        from->GetColorValue(source, false);
        to->GetColorValue(destination, false);
        if (!source.found || !destination.found)
            return;
        bool differ = false;
        for (const AnimatedColorChannel& channel : kAnimatedColorChannels)
            differ = differ || source.color.*channel.field != destination.color.*channel.field;
        if (!differ)
            return;
        for (const AnimatedColorChannel& channel : kAnimatedColorChannels)
            timeline.AddValue((valueName + channel.suffix).c_str(), source.color.*channel.field,
                              destination.color.*channel.field);
    } else if (property.name == L"alpha" || property.name == L"pensize") {
        const bool alpha = property.name == L"alpha";
        if (alpha) {
            from->GetAlphaValue(source, false);
            to->GetAlphaValue(destination, false);
        } else {
            from->GetPenSizeValue(source, false);
            to->GetPenSizeValue(destination, false);
        }
        if (source.found && destination.found && source.value != destination.value)
            timeline.AddValue(valueName.c_str(), source.value, destination.value);
    }
}

} // namespace

void StyleSetDeleter::operator()(StyleSet* set) const { delete set; }

void Control::SetStyle(const wchar_t* name)
{
    if (!name || !m_core)
        return;
    m_styleName = name;
    StyleGroup* group = m_core->FindStyleGroup(name);
    if (!group)
        return;
    if (!m_styleSet)
        m_styleSet.reset(new StyleSet(this));
    m_styleSet->Build(group);
    Repaint();
}

TextPainter* Control::FindCurrentTextPainter() const
{
    // The painter the state selection picks for the current state bits (the
    // set is keyed by entry names, which a state key never spells alike).
    StylePainter* painter = m_styleSet ? m_styleSet->SelectForState(m_state) : nullptr;
    return painter ? painter->FirstTextPainter() : nullptr;
}

bool Control::HasStyleState(const wchar_t* stateName) const
{
    return m_styleSet && m_styleSet->Find(stateName) != nullptr;
}

bool Control::PaintStyle(const RECTF& dirty)
{
    if (!m_styleSet)
        return false;
    m_styleSet->Paint(dirty, m_bounds, m_state);
    return true;
}

bool Control::PlayAnimation(const wchar_t*)
{
    if (!m_styleSet || !m_core)
        return false;
    CTimeLineTween* timeline = GetTransitionTimeline(m_transitionText.GetData());
    AnimationSpec spec;
    if (!timeline || !m_core->FindAnimationSpec(m_transitionText.GetData(), spec))
        return false;
    StylePainter* next = m_styleSet->SelectForState(m_state);
    StylePainter* previous = m_styleSet->GetCurrent();
    if (!next || !previous || next == previous)
        return false;

    if (timeline->IsRunning())
        timeline->Stop(kStopInPlace);
    timeline->Reset();
    timeline->ClearValues();
    for (const AnimationProperty& property : spec.properties) {
        const int index = ParseInt(property.target.c_str());
        AddPropertyTweens(*timeline, property, ElementAt(previous, index), ElementAt(next, index));
    }
    if (timeline->HasValues())
        timeline->Start(m_core, [this](CTimeLine* t) { return ApplyAnimationStep(t); });
    // The caller repaints in every case.
    return false;
}

CUiString Control::GetText() const
{
    if (!m_text.IsEmpty() || !m_styleSet)
        return m_text;
    TextPainter* painter = FindCurrentTextPainter();
    return painter ? painter->GetText() : m_text;
}

int Control::GetFontId() const
{
    if (m_fontId != -1 || !m_styleSet)
        return m_fontId;
    TextPainter* painter = FindCurrentTextPainter();
    return painter ? painter->GetFontId() : -1;
}

int Control::GetTextStyle() const
{
    // A text style the control was given wins over its style's (the text
    // painters take it too).
    if (m_textStyleGiven || !m_text.IsEmpty() || !m_styleSet)
        return m_textStyle;
    TextPainter* painter = FindCurrentTextPainter();
    return painter ? static_cast<int>(painter->GetTextStyle()) : m_textStyle;
}

void Control::SetStyleElementText(const wchar_t* text, const wchar_t* stateNames, const wchar_t* elementName)
{
    if (!m_styleSet)
        return;
    const bool named = elementName && *elementName;
    const wchar_t* states = named || (stateNames && *stateNames) ? stateNames : nullptr;
    ForEachNamedState(*m_styleSet, states, [&](StylePainter& state) {
        // Without an element name, the state's first text element.
        ElemPainter* element = named ? state.FindPainter(elementName) : state.FirstTextPainter();
        if (element && element->GetKind() == kElementText)
            static_cast<TextPainter*>(element)->SetValue(text);
    });
}

void Control::SetStateProperty(const wchar_t* value, const wchar_t* stateNames, const wchar_t* elementName)
{
    if (!m_styleSet || !elementName || !*elementName)
        return;
    ForEachNamedState(*m_styleSet, stateNames, [&](StylePainter& state) {
        ElemPainter* element = state.FindPainter(elementName);
        if (element && element->GetKind() == kElementImage)
            static_cast<ImagePainter*>(element)->SetValue(value);
    });
    Repaint();
}

} // namespace ui
