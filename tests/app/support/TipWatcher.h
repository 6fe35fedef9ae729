// Answers the installer's message windows (ui::ShowTipDialog) while a test
// pumps: a thread timer on the UI thread looks for a message window owned
// by the watched window, records its texts and closes it with the chosen
// result. The timer also runs inside the message window's own modal loop,
// so the test keeps its thread. UI thread only.
#pragma once

#include <windows.h>

#include <set>
#include <string>
#include <vector>

namespace apptest {

struct SeenTip {
    std::wstring title;  // the caller's title
    std::wstring message;
    std::wstring yes;  // the confirm button's caption (with a countdown's seconds)
    std::wstring no;   // the second button's caption; empty when hidden
};

class TipWatcher {
public:
    // `answer` is the close code each message window gets (ui::TipResult).
    explicit TipWatcher(HWND owner, int answer = 1);
    ~TipWatcher();
    TipWatcher(const TipWatcher&) = delete;
    TipWatcher& operator=(const TipWatcher&) = delete;

    const std::vector<SeenTip>& Seen() const { return m_seen; }

private:
    static void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD);
    static BOOL CALLBACK VisitWindow(HWND window, LPARAM self);
    void Answer(HWND window);

    HWND m_owner;
    int m_answer;
    UINT_PTR m_timer = 0;
    std::set<HWND> m_answered;
    std::vector<SeenTip> m_seen;
};

} // namespace apptest
