// Answers the installer's message windows (ShowTipDialog) while a test pumps
// the UI thread: a thread timer, which the message window's modal loop
// dispatches like any other, finds a shown message window owned by the
// given window, records its message text and clicks the chosen button.
// UI thread only; one answerer at a time.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace apptest {

class TipAnswerer {
public:
    // `button`: L"BtnYes" or L"BtnNo", the button clicked on each window.
    TipAnswerer(HWND owner, const wchar_t* button);
    ~TipAnswerer();
    TipAnswerer(const TipAnswerer&) = delete;
    TipAnswerer& operator=(const TipAnswerer&) = delete;

    void SetButton(const wchar_t* button) { m_button = button; }
    // The message texts of the windows answered so far, oldest first.
    const std::vector<std::wstring>& Messages() const { return m_messages; }

private:
    static void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD);
    static BOOL CALLBACK AnswerIfTip(HWND window, LPARAM answerer);
    void Answer(HWND window);

    HWND m_owner;
    std::wstring m_button;
    UINT_PTR m_timer = 0;
    std::vector<std::wstring> m_messages;
};

} // namespace apptest
