// A control that shows a skinned pop-up (CTipPopWnd) centred on the middle
// of its top edge when the pointer enters it, rests on it or releases a
// click on it, and hides the pop-up when the pointer leaves. The pop-up's
// skin names a control "tip" that receives the text and, optionally, a
// control "animate" whose "show" and "hide" transitions carry the showing
// and hiding. UI thread only.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "Corvel/Core/Control.h"
#include "Corvel/Core/WindowBase.h"

namespace ui {

// The tip's pop-up: a tool window above everything, never activated.
class CTipPopWnd : public IWindowBase {
public:
    // `skin`: a skin file name or markup text; `text` goes to its "tip".
    CTipPopWnd(std::wstring skin, std::wstring text);
    ~CTipPopWnd() override;

    std::wstring QuerySkinFile() override { return m_skin; }
    // No layered style and no extended style at all; the text goes in and
    // "animate" is looked up.
    void OnWindowReady() override;
    // Shows without activation, or hides; through the "animate" control's
    // transitions when the skin has one (a hide while "show" plays, or a
    // show while "hide" plays, leaves the window as it is).
    void ShowTip(bool show);

    // Borrowed; null when the skin has none.
    Control* TipControl() const { return m_tipControl; }
    Control* AnimateControl() const { return m_animate; }

private:
    bool IsPlaying(const wchar_t* trigger) const;

    std::wstring m_skin;
    std::wstring m_text;
    Control* m_tipControl = nullptr;
    Control* m_animate = nullptr;
};

// When the tip shows its pop-up.
enum class TipShowMode : int {
    kOnEnter = 0,
    kOnHover = 1,
    kOnClick = 2,
};

class Tip : public Control {
public:
    Tip();
    // Destroys the pop-up first.
    ~Tip() override;

    const wchar_t* GetClassName() const override;
    // "Tip" and "Control" answer the tip; anything else null.
    void* CastTo(const wchar_t* typeName) override;
    // Enter (mode kOnEnter), hover (kOnHover) or a released click (kOnClick)
    // shows the pop-up; leaving hides it in every mode. Mouse events of a
    // tip that takes no mouse input go to its parent instead.
    bool HandleEvent(InputEvent* event) override;
    // "xml" (pop-up skin), "tip" (text), "showon" ("enter", "click", else
    // hover), "offset" (x[,y], skin units); other names to the base.
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;

    // Shows (creating the pop-up on the first call) or hides the pop-up.
    void ShowPopup(bool show);
    // The anchor in screen pixels: the middle of the top edge, moved by the
    // scaled offsets.
    POINT AnchorPoint() const;

    TipShowMode GetShowMode() const { return m_mode; }
    const std::wstring& GetTipText() const { return m_tipText; }
    // Borrowed; null until first shown.
    CTipPopWnd* GetPopup() const { return m_popup.get(); }

private:
    bool CreatePopup();

    std::wstring m_tipText;
    std::wstring m_skin;
    int m_offsetX = 0;
    int m_offsetY = 0;
    std::unique_ptr<CTipPopWnd> m_popup;
    TipShowMode m_mode = TipShowMode::kOnHover;
};

} // namespace ui
