#include "app/PopAdWnd.h"

#include <utility>

#include "app/Encodings.h"
#include "app/ShellUtil.h"

namespace ui {

namespace {

// The close code of a click on the picture.
constexpr int kClosedByClick = 1;

} // namespace

CPopAdWnd::CPopAdWnd(std::wstring pictureUrl, std::string link)
    : m_pictureUrl(std::move(pictureUrl)), m_link(std::move(link))
{
}

CPopAdWnd::~CPopAdWnd() = default;

void CPopAdWnd::OnWindowReady()
{
    m_picture = m_core.FindControlByName(L"bkimg");
    if (m_picture) {
        const std::wstring descriptor = L"file='" + m_pictureUrl + L"' net='1' ";
        m_picture->SetBkImage(descriptor.c_str());
    }
    m_adButton = m_core.FindControlByName(L"BtnAD");
    if (m_adButton)
        m_adButton->BindNamedCallback(L"click", [this] { OnAdClicked(); });
}

// The link goes through OpenUrl, which opens only absolute web links (with
// its browser fallback) and skips an empty one; the window closes either way.
void CPopAdWnd::OnAdClicked()
{
    OpenUrl(m_link);
    Close(kClosedByClick);
}

int ShowExitAdvertisement(const std::string& pictureUrlUtf8, const std::string& linkUtf8)
{
    CPopAdWnd ad(Utf8ToWideString(pictureUrlUtf8), linkUtf8);
    if (!ad.Create(nullptr, nullptr, static_cast<DWORD>(-1), 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                   CW_USEDEFAULT))
        return IWindowBase::kCloseByUser;
    ad.CenterOverOwner();
    return ad.RunModalLoop();
}

} // namespace ui
