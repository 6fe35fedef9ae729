// The text-entry control: single- or multi-line, plain or rich, password,
// read-only and number-only fields with a placeholder. It has no native
// window: the text lives in the windowless rich-edit text services reached
// through its CTxtWinHost; the window's messages reach them through this
// control's message filter while it is visible and enabled. It is a box so
// that it can own scroll bars (which drive the services) and floating
// children. UI thread only.
#pragma once

#include <windows.h>
#include <richedit.h>

#include <cstdint>
#include <functional>

#include "Corvel/Control/Box.h"
#include "Corvel/Core/UiEvents.h"
#include "Corvel/Render/DibSurface.h"

namespace ui {

class CTxtWinHost;

// The style bit of a number-only box (beside the platform's ES_ bits).
constexpr DWORD kEditNumberOnly = 0x10000;

class Edit : public Box, public IMessageFilterUI {
public:
    Edit();
    // Stops the caret timer, shuts the host's services down and releases
    // the host, leaves the core's filters, frees the alpha patch.
    ~Edit() override;

    const wchar_t* GetClassName() const override;
    // "Edit" answers the edit box; other names as for a box.
    void* CastTo(const wchar_t* typeName) override;
    // 0 when disabled or read-only; else every bit, without the Tab-stop bit
    // when "needtab" is on.
    int GetTraitFlags() const override;
    // The services' text; empty without them.
    CUiString GetText() const override;
    // Stores the text and, with the services, replaces all their text.
    void SetText(const wchar_t* text) override;
    using Control::SetBounds;
    void SetBounds(float left, float top, float right, float bottom) override;
    void SetFontId(int id) override;
    void SetEnabled(bool on) override;
    // Creates the host and the services (once); registers the filter.
    void CompleteInit() override;
    bool HandleEvent(InputEvent* event) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void Paint(const RECTF& dirty, bool pushClip) override;
    void FillBackground(RenderTarget* target, const RECTF& paintRect) override;
    // The services draw the text.
    void PaintLabel(RenderTarget* target, const RECTF& paintRect) override {}

    // The bars drive the services, not the children.
    void SetScrollOffsetElastic(float x, float y) override;
    void SetScrollOffset(float x, float y) override;
    void ScrollLineUp() override;
    void ScrollLineDown() override;
    void ScrollPageUp() override;
    void ScrollPageDown() override;
    void ScrollToTop() override;
    void ScrollToBottom() override;
    void ScrollLineLeft() override;
    void ScrollLineRight() override;
    void ScrollPageLeft() override;
    void ScrollPageRight() override;
    void ScrollToLeft() override;
    void ScrollToRight() override;

    // To the services (S_FALSE without them). Return (and Ctrl+Return) is
    // taken as "editreturn" when the box wants it. `result` may be null.
    virtual HRESULT SendTextMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    // Whether a view change of the services repaints the box: always.
    virtual bool WantsViewRepaint() const { return true; }
    // A notification of the services (EN_ codes); `data` may be null.
    virtual void OnTextNotify(DWORD code, void* data);

    // IMessageFilterUI: the window's mouse and keyboard messages that are
    // this box's go to the services.
    LRESULT FilterMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

    // Called by the host (window client pixels).
    void SetCaretPos(int x, int y);
    void SetCaretSize(int width, int height);
    void SetCaretVisible(bool visible);
    // Places the text area, the scroll bars and the children inside the
    // bounds; also run after the services switched a bar.
    void LayoutTextArea();

    // What the host copies at creation.
    bool IsRichFlagSet() const { return m_rich; }
    bool IsGdiOnly() const { return m_gdi; }
    int GetLimit() const { return m_limit; }
    DWORD GetStyle() const { return m_style; }
    uint32_t GetEditTextColor() const { return m_editTextColor; }
    const CUiString& GetPlaceholder() const { return m_placeholder; }
    uint32_t GetPlaceholderColor() const { return m_placeholderColor; }
    bool IsReadOnly() const { return m_readOnly; }
    // Borrowed; null before CompleteInit and when the services are missing.
    CTxtWinHost* GetHost() const { return m_host; }
    POINT GetCaretPos() const { return m_caretPos; }
    SIZE GetCaretSize() const { return m_caretSize; }
    bool IsCaretVisible() const { return m_caretVisible; }
    // Called for wheel messages without Ctrl: true when the wheel turns away
    // from the user.
    void SetWheelCallback(std::function<void(bool)> callback) { m_wheelCallback = std::move(callback); }
    // The selection (EM_EXGETSEL); 0, 0 without the services.
    CHARRANGE GetSelection() const;
    // The services' natural height of the text at `width` pixels; `initial`
    // is what the height starts as (the services may leave it untouched).
    LONG MeasureTextHeight(LONG width, LONG initial) const;

    // The text-services character format of a GDI font: size in twips for
    // the DC's vertical DPI, effects, charset, pitch and face.
    static void FillCharFormatFromFont(CHARFORMAT2W& format, const LOGFONTW& font, HDC dc);

private:
    void CreateHost();
    void ConfigureServices();
    // Makes the services' text limit the host's maximum length.
    void EnsureServicesLimit();
    bool TakesReturn() const;
    void RaiseEditReturn();
    // Filter phases.
    bool FilterIme(UINT message);
    void PlaceCompositionWindow(UINT message);
    // False for a mouse message that is not the box's (another control's
    // press, a point outside the text area, the window's own capture).
    bool FilterMouse(UINT message, LPARAM lParam);
    // False for a character a number-only box refuses.
    bool FilterKey(UINT message, WPARAM wParam);
    bool AcceptsNumberChar(wchar_t ch) const;
    // HandleEvent phases.
    void OnSetFocus();
    void OnKillFocus();
    void OnTimer(int key);
    void OnSetCursor(const InputEvent& event);
    // Layout phases.
    RECT ComputeTextArea() const;
    void EnsureAlphaPatch();
    void FreeAlphaPatch();
    void UpdateAutoVerticalBar(const RECT& area, bool wasVisible);
    void PlaceBarsAndChildren(const RECT& area);
    // Paint phases.
    void PaintText(RenderTarget* target);
    void PaintPlaceholder(RenderTarget* target);
    void PaintCaret(RenderTarget* target);
    void CheckAutoBarStillNeeded();
    RECTF CaretRect() const;
    void RepaintCaret();
    // Scrolling through the services.
    void SendScroll(UINT message, WORD code);
    void ApplyTextColor();
    void NotifyFormatChange(DWORD bit);

    CTxtWinHost* m_host = nullptr; // one reference held
    CUiString m_placeholder;
    uint32_t m_placeholderColor = 0xFFBAC0C5u;
    bool m_gdi = false;
    bool m_patchAlpha = false;
    bool m_fullRepaint = false;
    bool m_autoVBar = false;
    bool m_wantReturn = true;
    bool m_wantCtrlReturn = true;
    bool m_rich = true;
    bool m_readOnly = false;
    uint32_t m_editTextColor = 0;
    int m_limit = 0x7FFF;
    DWORD m_style = ES_MULTILINE | ES_AUTOVSCROLL;
    bool m_caretVisible = false;
    DibSurface m_patch;
    POINT m_caretPos{-1, -1};
    SIZE m_caretSize{0, 0};
    std::function<void(bool)> m_wheelCallback;
    bool m_filterAdded = false;
};

} // namespace ui
