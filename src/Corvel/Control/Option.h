// A button that can be selected: alone it toggles on each activation;
// options sharing a "group" name behave as radio buttons (the window core
// keeps the members, selecting one deselects the others). Selection changes
// are reported as "selectchanged" after the "click". UI thread only.
#pragma once

#include <cstdint>

#include "Corvel/Control/Button.h"

namespace ui {

class Option : public Button {
public:
    Option();
    // Leaves its core's group list.
    ~Option() override;

    const wchar_t* GetClassName() const override;
    // "Option", "Button" and "Control" answer the option itself.
    void* CastTo(const wchar_t* typeName) override;
    // The control's activation, then "click", then selection: set inside a
    // group, toggled without one. False when hidden or disabled.
    bool TryActivate() override;
    // As the control base, and joins its core's list of its group.
    void AttachCore(WindowCore* core, Control* parent, bool initialise) override;
    // Option names first (compared exactly), then the button's.
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void PaintForeImage(RenderTarget* target, const RECTF& paintRect) override;
    void PaintLabel(RenderTarget* target, const RECTF& paintRect) override;

    void SetSelectedBkColor(uint32_t argb) { m_selectedBkColor = argb; }
    uint32_t GetSelectedBkColor() const { return m_selectedBkColor; }
    uint32_t GetSelectedTextColor() const { return m_selectedTextColor; }
    int GetSelectedFontId() const { return m_selectedFontId; }
    CUiImage& SelectedImage() { return m_selectedImage; }
    CUiImage& SelectedHotImage() { return m_selectedHotImage; }

protected:
    // A selected option paints the "selected" style state alone.
    int StyleStateBits() const override;

private:
    // The selected looks; false when the button's pass should run.
    bool PaintSelectedLook(RenderTarget* target);

    int m_selectedFontId = -1; // -1: the control's font
    uint32_t m_selectedBkColor = 0;
    uint32_t m_selectedTextColor = 0;
    CUiImage m_selectedImage;
    CUiImage m_selectedHotImage;
};

} // namespace ui
