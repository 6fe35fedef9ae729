#include "app/TipWnd.h"

#include <cwchar>

namespace ui {

namespace {

constexpr const wchar_t* kDefaultSkin = L"MessageWnd.xml";
// The text element of the buttons' styles that carries their captions.
constexpr const wchar_t* kCaptionElement = L"txtName";
// WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_CAPTION |
// WS_SYSMENU: a captioned pop-up; the skin draws over the caption.
constexpr DWORD kTipStyle = 0x96C80000;

void WriteCaption(Control* button, const wchar_t* text)
{
    if (button)
        button->SetText(text, nullptr, kCaptionElement);
}

} // namespace

CTipWnd::CTipWnd() : m_skinFile(kDefaultSkin) {}
CTipWnd::~CTipWnd() = default;

void CTipWnd::SetSkinFile(const wchar_t* file)
{
    m_skinFile = (file && *file) ? file : kDefaultSkin;
}

void CTipWnd::SetTexts(const wchar_t* title, const wchar_t* message, const wchar_t* yesCaption,
                       const wchar_t* noCaption)
{
    m_title = title ? title : L"";
    m_message = message ? message : L"";
    m_yesCaption = yesCaption ? yesCaption : L"";
    m_noCaption = noCaption ? noCaption : L"";
    m_secondMessage = L"";
}

void CTipWnd::ReceiveNotify(tagTNotifyUI& msg)
{
    if (msg.type.Equals(L"windowinit"))
        OnInit();
    IWindowBase::ReceiveNotify(msg);
}

void CTipWnd::OnInit()
{
    m_btnNo = m_core.FindControlByName(L"BtnNo");
    m_btnYes = m_core.FindControlByName(L"BtnYes");
    m_txtTip1 = m_core.FindControlByName(L"TxtTip1");
    m_txtTip2 = m_core.FindControlByName(L"TxtTip2");
    m_txtTitle = m_core.FindControlByName(L"TxtTitle");
    if (m_txtTip1)
        m_txtTip1->SetText(m_message.GetData());
    if (m_txtTip2)
        m_txtTip2->SetText(m_secondMessage.GetData());
    if (m_btnYes) {
        m_btnYes->BindNamedCallback(L"click", [this] { Close(kTipYes); });
        WriteYesCaption();
        if (m_countdown > 0)
            SetTimer(m_hwnd, kCountdownTimerId, kCountdownPeriodMs, nullptr);
    }
    if (m_btnNo) {
        m_btnNo->SetVisible(m_noVisible);
        WriteCaption(m_btnNo, m_noCaption.GetData());
        m_btnNo->BindNamedCallback(L"click", [this] { Close(kTipNo); });
    }
}

void CTipWnd::WriteYesCaption()
{
    if (m_countdown <= 0) {
        WriteCaption(m_btnYes, m_yesCaption.GetData());
        return;
    }
    wchar_t text[256];
    swprintf(text, sizeof(text) / sizeof(text[0]), L"%ls (%d)", m_yesCaption.GetData(), m_countdown);
    WriteCaption(m_btnYes, text);
}

void CTipWnd::OnCountdownTick()
{
    --m_countdown;
    if (m_countdown <= 0) {
        KillTimer(m_hwnd, kCountdownTimerId);
        Close(kTipYes);
        return;
    }
    WriteYesCaption();
}

LRESULT CTipWnd::ProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_TIMER && wParam == kCountdownTimerId)
        OnCountdownTick();
    return IWindowBase::ProcessMessage(msg, wParam, lParam);
}

int ShowTipDialog(HWND owner, const wchar_t* yesCaption, const wchar_t* noCaption, const wchar_t* title,
                  const wchar_t* message, bool noButtonVisible, int countdownSeconds, const wchar_t* skinFile)
{
    if (owner && IsWindow(owner)) {
        if (!IsWindowVisible(owner))
            ShowWindow(owner, SW_SHOW);
        else if (IsIconic(owner))
            SendMessageW(owner, WM_SYSCOMMAND, SC_RESTORE, 0);
    }
    CTipWnd tip;
    tip.SetSkinFile(skinFile);
    tip.SetTexts(title, message, yesCaption, noCaption);
    tip.SetNoButtonVisible(noButtonVisible);
    tip.SetCountdown(countdownSeconds);
    if (!tip.Create(owner, nullptr, kTipStyle, 0, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT))
        return kTipClosed;
    tip.CenterOverOwner();
    return tip.RunModalLoop();
}

} // namespace ui
