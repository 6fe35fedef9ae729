// Tab box: shows one child (a page) at a time, filling its inner rectangle,
// tells listeners when the page changes ("tabselect") and can step through
// the pages on a timer ("autoswitch"). UI thread only; the timer's ticks
// reach the box only as UI tasks guarded by it.
#pragma once

#include <atomic>
#include <memory>

#include "Corvel/Control/Box.h"
#include "Corvel/Core/ThreadTimer.h"

namespace ui {

class TabBox : public Box {
public:
    TabBox() = default;
    // Stops the autoswitch timer (joining its thread) before anything else.
    ~TabBox() override;

    const wchar_t* GetClassName() const override;
    void* CastTo(const wchar_t* typeName) override;
    void AttachCore(WindowCore* core, Control* parent, bool initialise) override;
    using Box::SetBounds;
    // Places the current page over the inner rectangle; the other pages are
    // left unplaced.
    void SetBounds(float left, float top, float right, float bottom) override;
    // Showing restarts autoswitch at the stored interval; hiding stops it
    // for good (the interval becomes 0).
    void SetVisible(bool show) override;
    // "selectedid", "autoswitch" (both also stored by Box); others go to Box.
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;

    // IBox: the current page follows the child list.
    bool AppendChild(Control* child) override;
    bool InsertChildAt(Control* child, int index) override;
    bool RemoveChild(Control* child) override;
    void RemoveAllChildren(bool relayout) override;

    // Shows the page at `index` and hides the others, then raises
    // "tabselect" (wParam the new page, lParam the previous one) and runs
    // the box's "tabselect" handler. False for an index outside
    // 0 .. count - 1; true with nothing done for the current page.
    bool SelectPage(int index);
    // SelectPage with the child's index; false for a control that is not a
    // child.
    bool SelectPageByControl(Control* child);
    // Milliseconds between automatic steps to the next page (after the last
    // comes the first); 0 stops. A timer that cannot start leaves none.
    void SetAutoSwitch(int milliseconds);
    int GetAutoSwitch() const { return m_autoSwitchMs; }
    // -1 when there is none.
    int GetCurrentPage() const { return m_current; }
    int GetPreviousPage() const { return m_previous; }
    bool IsAutoSwitchRunningForTesting() const { return m_timer != nullptr; }

private:
    // Measures the page into the inner rectangle less its padding.
    void PlacePage(Control* page);
    // The autoswitch step, on the UI thread.
    void ShowNextPage();
    void StopTimer();

    int m_current = -1;
    int m_previous = -1;
    int m_autoSwitchMs = 0;
    // The window DPI at the last layout; -1 before the first.
    int m_layoutDpi = -1;
    std::unique_ptr<ThreadTimer> m_timer;
    // The core the timer's ticks post to; written on the UI thread, read on
    // the timer's.
    std::atomic<WindowCore*> m_tickCore{nullptr};
};

} // namespace ui
