// The IDropSource of a control dragged out of its window. Reference counted;
// the last Release deletes it. UI thread.
#pragma once

#include <windows.h>
#include <ole2.h>

#include "Corvel/Host/ComObject.h"

namespace ui {

class CIDropSource : public ComObject<IDropSource> {
public:
    CIDropSource() = default;

    // IDropSource: Escape cancels; releasing both buttons drops.
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escapePressed, DWORD keyState) override;
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD effect) override;

    // True once the buttons were released over a target.
    bool WasDropped() const { return m_dropped; }

private:
    virtual ~CIDropSource() = default;

    bool m_dropped = false;
};

} // namespace ui
