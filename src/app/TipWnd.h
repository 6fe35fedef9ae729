// The installer's modal message box: a title, a message, a confirm button
// that may count down and confirm by itself, and an optional second button.
// ShowTipDialog builds one over an owner window and returns how it closed.
// UI thread only.
#pragma once

#include <windows.h>

#include "Corvel/Core/UiString.h"
#include "Corvel/Core/WindowBase.h"

namespace ui {

// How a message window was closed.
enum TipResult : int {
    kTipYes = 1,                          // BtnYes, or the countdown ran out
    kTipNo = 2,                           // BtnNo
    kTipClosed = IWindowBase::kCloseByUser,  // close button, Escape, Alt+F4
};

class CTipWnd : public IWindowBase {
public:
    // The countdown's window timer and its period.
    static constexpr UINT_PTR kCountdownTimerId = 1001;
    static constexpr UINT kCountdownPeriodMs = 1000;

    CTipWnd();
    ~CTipWnd() override;

    // Null or empty: "MessageWnd.xml".
    void SetSkinFile(const wchar_t* file);
    void SetTexts(const wchar_t* title, const wchar_t* message, const wchar_t* yesCaption, const wchar_t* noCaption);
    void SetNoButtonVisible(bool visible) { m_noVisible = visible; }
    // Seconds; 0 or less: no countdown.
    void SetCountdown(int seconds) { m_countdown = seconds > 0 ? seconds : 0; }

    LRESULT ProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    std::wstring QuerySkinFile() override { return m_skinFile.GetData(); }
    void ReceiveNotify(tagTNotifyUI& msg) override;

    // Borrowed; null until "windowinit" or when the skin lacks them.
    Control* YesButtonForTesting() const { return m_btnYes; }
    Control* NoButtonForTesting() const { return m_btnNo; }
    Control* MessageForTesting() const { return m_txtTip1; }
    int CountdownForTesting() const { return m_countdown; }
    // The caller's title (the skin's TxtTitle keeps its own text).
    const CUiString& TitleForTesting() const { return m_title; }

private:
    void OnInit();
    void OnCountdownTick();
    // BtnYes's caption, with the seconds left while counting down.
    void WriteYesCaption();

    CUiString m_skinFile;
    int m_countdown = 0;
    CUiString m_noCaption;
    CUiString m_yesCaption;
    CUiString m_message;
    CUiString m_secondMessage;  // always empty; written only where a skin has TxtTip2
    CUiString m_title;
    bool m_noVisible = true;
    Control* m_btnNo = nullptr;
    Control* m_btnYes = nullptr;
    Control* m_txtTip1 = nullptr;
    Control* m_txtTip2 = nullptr;
    Control* m_txtTitle = nullptr;
};

// Shows a message window over `owner` (shown or restored first when hidden
// or minimised) and runs its modal loop; returns a TipResult. `skinFile`
// null: "MessageWnd.xml". A countdown of 0 or less has none.
int ShowTipDialog(HWND owner, const wchar_t* yesCaption, const wchar_t* noCaption, const wchar_t* title,
                  const wchar_t* message, bool noButtonVisible, int countdownSeconds, const wchar_t* skinFile);

} // namespace ui
