// The exit advertisement: one picture fetched from the network that opens
// the advertised link when clicked. Shown by the shutdown sequence after
// the main window is gone. UI thread only.
#pragma once

#include <string>

#include "Corvel/Core/WindowBase.h"

namespace ui {

class CPopAdWnd : public IWindowBase {
public:
    // The picture's URL; `link` is the page a click opens (UTF-8 as the
    // service sent it; opened only when it is an absolute web link).
    CPopAdWnd(std::wstring pictureUrl, std::string link);
    ~CPopAdWnd() override;

    void OnWindowReady() override;
    std::wstring QuerySkinFile() override { return L"PopADWnd.xml"; }

    // Borrowed; null until ready or when the skin lacks them.
    Control* PictureForTesting() const { return m_picture; }
    Control* AdButtonForTesting() const { return m_adButton; }

private:
    void OnAdClicked();

    std::wstring m_pictureUrl;
    std::string m_link;
    Control* m_picture = nullptr;
    Control* m_adButton = nullptr;
};

// Shows the advertisement centred on the screen and runs its modal loop;
// returns its close code (1 after a click, 8 from the close button).
int ShowExitAdvertisement(const std::string& pictureUrlUtf8, const std::string& linkUtf8);

} // namespace ui
