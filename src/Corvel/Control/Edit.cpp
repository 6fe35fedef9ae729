#include "Corvel/Control/Edit.h"

#include <imm.h>
#include <windowsx.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "Corvel/Control/TxtWinHost.h"
#include "Corvel/Core/CoreSeams.h"
#include "Corvel/Core/RectMath.h"
#include "Corvel/Core/StyleValues.h"
#include "Corvel/Core/WindowCore.h"
#include "Corvel/Render/FontManager.h"
#include "Corvel/Render/RenderTarget.h"

namespace ui {

namespace {

// Key of the caret's blink timer among the control timers (the services'
// own timers use other keys).
constexpr int kCaretTimerKey = 20;
// The caret rectangle is repainted grown by this many pixels on each side.
constexpr float kCaretMargin = 1.0f;
constexpr float kCaretWidth = 1.0f;
constexpr DWORD kUnicodeCodePage = 1200;
// EM_SETEDITSTYLEEX and its bit that keeps the services' own handling of
// the keyboard layout switch out of the way.
constexpr UINT kSetEditStyleEx = 0x0513;
constexpr LPARAM kEditStyleExBits = 0x00100000;
// Style bits "vscrollbar"/"hscrollbar" add: the bar and keep it shown.
constexpr DWORD kVScrollStyle = WS_VSCROLL | ES_DISABLENOSCROLL;
constexpr DWORD kHScrollStyle = WS_HSCROLL | ES_DISABLENOSCROLL;
constexpr LONG kTwipsPerInch = 1440;
constexpr int kBoldWeight = 700;
// The width the single-line measure is asked at.
constexpr LONG kSingleLineMeasureWidth = 100;
// BitBlt raster operation that ORs the patch over the text: every pixel
// gets alpha 255 (SRCPAINT).
constexpr DWORD kPatchRop = 0x00EE0086;
constexpr uint32_t kOpaqueBlack = 0xFF000000u;
constexpr int kDefaultDpi = 96;
// The services' limit when the box asks for none ("maxchar" below 1).
constexpr LONG kDefaultTextLimit = 0x7FFF;

COLORREF ArgbToColorRef(uint32_t argb)
{
    return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

bool IsMouseMessage(UINT message) { return message >= WM_MOUSEFIRST && message <= WM_MOUSELAST; }

bool IsKeyMessage(UINT message) { return message >= WM_KEYFIRST && message <= WM_UNICHAR; }

// The notifications the services raise that the window receives as
// WM_NOTIFY: EN_MSGFILTER, the selection, drop and protection reports, the
// link, paste and similar ones.
bool IsForwardedNotification(DWORD code)
{
    return code == 0x0700 || (code >= 0x0702 && code <= 0x0704) || code == 0x0706 ||
           (code >= 0x0708 && code <= 0x070C);
}

bool Contains(const wchar_t* text, const wchar_t* word) { return text && std::wcsstr(text, word) != nullptr; }

} // namespace

Edit::Edit()
{
    m_needTab = false;
    m_needCursor = true;
}

Edit::~Edit()
{
    if (m_core)
        m_core->StopControlTimer(this, kCaretTimerKey);
    if (m_host) {
        CTxtWinHost* host = m_host;
        host->Shutdown();
        m_host = nullptr;
        host->Release();
    }
    if (m_core && m_filterAdded)
        m_core->RemoveMessageFilter(this);
    FreeAlphaPatch();
}

const wchar_t* Edit::GetClassName() const { return L"Edit"; }

void* Edit::CastTo(const wchar_t* typeName)
{
    if (typeName && std::wcscmp(typeName, L"Edit") == 0)
        return this;
    return Box::CastTo(typeName);
}

int Edit::GetTraitFlags() const
{
    if (!IsEnabled() || m_readOnly)
        return 0;
    return m_needTab ? static_cast<int>(0xFFFFFFFEu) : static_cast<int>(0xFFFFFFFFu);
}

// ------------------------------------------------------------- text

CUiString Edit::GetText() const
{
    if (!m_host)
        return CUiString();
    Edit* self = const_cast<Edit*>(this);
    GETTEXTLENGTHEX lengthInfo{0, kUnicodeCodePage};
    LRESULT length = 0;
    self->SendTextMessage(EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&lengthInfo), 0, &length);
    if (length <= 0)
        return CUiString();
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
    GETTEXTEX get{};
    get.cb = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    get.flags = GT_DEFAULT;
    get.codepage = kUnicodeCodePage;
    self->SendTextMessage(EM_GETTEXTEX, reinterpret_cast<WPARAM>(&get), reinterpret_cast<LPARAM>(buffer.data()),
                          nullptr);
    return CUiString(buffer.data());
}

void Edit::SetText(const wchar_t* text)
{
    m_text = text ? text : L"";
    if (!m_host)
        return;
    CHARRANGE all{0, -1};
    SendTextMessage(EM_EXSETSEL, 0, reinterpret_cast<LPARAM>(&all), nullptr);
    SendTextMessage(EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(m_text.GetData()), nullptr);
}

CHARRANGE Edit::GetSelection() const
{
    CHARRANGE range{0, 0};
    if (m_host)
        const_cast<Edit*>(this)->SendTextMessage(EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&range), nullptr);
    return range;
}

// ------------------------------------------------------------- set-up

void Edit::CompleteInit()
{
    if (m_initialised)
        return;
    m_initialised = true;
    CreateHost();
}

void Edit::CreateHost()
{
    auto* host = new CTxtWinHost();
    TextHostCreateInfo info;
    info.style = m_style;
    info.text = m_text.IsEmpty() ? nullptr : m_text.GetData();
    if (!host->Init(this, &info, m_editTextColor)) {
        // Without the services the box stays inert: no text, no filter.
        host->Shutdown();
        host->Release();
        return;
    }
    m_host = host;
    ConfigureServices();
    if (m_core && m_core->AddMessageFilter(this))
        m_filterAdded = true;
}

void Edit::ConfigureServices()
{
    ITextServices* services = m_host->Services();
    m_host->SetFlag(kHostTransparent, true);
    services->OnTxPropertyBitsChange(TXTBIT_BACKSTYLECHANGE, 0);
    SendTextMessage(EM_SETLANGOPTIONS, 0, 0, nullptr);
    SendTextMessage(EM_SETEVENTMASK, 0, 0, nullptr);
    LRESULT mask = 0;
    SendTextMessage(EM_GETEVENTMASK, 0, 0, &mask);
    SendTextMessage(EM_SETEVENTMASK, 0, mask | ENM_CHANGE, nullptr);
    SendTextMessage(kSetEditStyleEx, kEditStyleExBits, kEditStyleExBits, nullptr);
    m_host->SetFlag(kHostInPlaceActive, true);
    if (FAILED(services->OnTxInPlaceActivate(nullptr)))
        m_host->SetFlag(kHostInPlaceActive, false);
    EnsureServicesLimit();
}

void Edit::EnsureServicesLimit()
{
    // Wine's services start with their own default limit instead of the
    // host's maximum length: when the probe shows another limit, the host's
    // is set with EM_EXLIMITTEXT.
    LRESULT limit = 0;
    if (SendTextMessage(EM_GETLIMITTEXT, 0, 0, &limit) != S_OK)
        return;
    const LONG wanted = m_host->GetMaxLength();
    if (limit != wanted)
        SendTextMessage(EM_EXLIMITTEXT, 0, wanted, nullptr);
}

void Edit::FillCharFormatFromFont(CHARFORMAT2W& format, const LOGFONTW& font, HDC dc)
{
    const int dpiY = dc ? GetDeviceCaps(dc, LOGPIXELSY) : kDefaultDpi;
    format.yHeight = -font.lfHeight * kTwipsPerInch / (dpiY > 0 ? dpiY : kDefaultDpi);
    format.yOffset = 0;
    auto setEffect = [&format](DWORD effect, bool on) {
        format.dwEffects = on ? (format.dwEffects | effect) : (format.dwEffects & ~effect);
    };
    setEffect(CFE_BOLD, font.lfWeight >= kBoldWeight);
    setEffect(CFE_ITALIC, font.lfItalic != 0);
    setEffect(CFE_UNDERLINE, font.lfUnderline != 0);
    setEffect(CFE_STRIKEOUT, font.lfStrikeOut != 0);
    format.bCharSet = font.lfCharSet;
    format.bPitchAndFamily = font.lfPitchAndFamily;
    wcsncpy(format.szFaceName, font.lfFaceName, LF_FACESIZE);
    format.szFaceName[LF_FACESIZE - 1] = L'\0';
}

void Edit::NotifyFormatChange(DWORD bit)
{
    if (m_host && m_host->Services())
        m_host->Services()->OnTxPropertyBitsChange(bit, bit);
}

void Edit::ApplyTextColor()
{
    if (!m_host)
        return;
    const uint32_t argb = IsEnabled() ? m_editTextColor : (m_core ? m_core->GetDisabledTextColor() : m_editTextColor);
    m_host->CharFormat().crTextColor = ArgbToColorRef(argb);
    NotifyFormatChange(TXTBIT_CHARFORMATCHANGE);
}

void Edit::SetEnabled(bool on)
{
    Control::SetEnabled(on);
    for (Control* child : m_children)
        child->SetEnabled(on);
    ApplyTextColor();
}

void Edit::SetFontId(int id)
{
    Control::SetFontId(id);
    Repaint();
    if (!m_host || !m_core)
        return;
    tagTFontInfo* font = m_core->GetFont(id);
    LOGFONTW lf{};
    if (!font || !font->hFont || !GetObjectW(font->hFont, sizeof(lf), &lf))
        return;
    FillCharFormatFromFont(m_host->CharFormat(), lf, m_core->GetWindowDC());
    NotifyFormatChange(TXTBIT_CHARFORMATCHANGE);
}

// ------------------------------------------------------------- attributes

void Edit::SetAttribute(const wchar_t* name, const wchar_t* value)
{
    if (!name)
        return;
    const wchar_t* v = value ? value : L"";
    auto is = [name](const wchar_t* n) { return std::wcscmp(name, n) == 0; };
    const bool isTrue = std::wcscmp(v, L"true") == 0;
    if (is(L"vscrollbar")) {
        if (isTrue)
            m_style |= kVScrollStyle;
    } else if (is(L"autovscroll")) {
        m_style = std::wcscmp(v, L"false") == 0 ? (m_style & ~ES_AUTOVSCROLL) : (m_style | ES_AUTOVSCROLL);
    } else if (is(L"hscrollbar")) {
        if (isTrue)
            m_style |= kHScrollStyle;
    } else if (is(L"autohscroll")) {
        m_style = std::wcscmp(v, L"false") == 0 ? (m_style & ~ES_AUTOHSCROLL) : (m_style | ES_AUTOHSCROLL);
        return;
    } else if (is(L"wantctrlreturn")) {
        m_wantCtrlReturn = isTrue;
        return;
    } else if (is(L"wantreturn")) {
        m_wantReturn = isTrue;
        return;
    } else if (is(L"rich")) {
        m_rich = isTrue;
        if (m_host) {
            m_host->SetFlag(kHostRichText, m_rich);
            if (m_host->Services())
                m_host->Services()->OnTxPropertyBitsChange(TXTBIT_RICHTEXT, m_rich ? TXTBIT_RICHTEXT : 0);
        }
        return;
    } else if (is(L"lines") || is(L"multiline")) {
        if (std::wcscmp(v, L"false") == 0)
            m_style = (m_style & ~ES_MULTILINE) | ES_AUTOHSCROLL;
        return;
    } else if (is(L"maxchar")) {
        m_limit = _wtoi(v);
        if (m_host) {
            m_host->SetMaxLength(m_limit < 1 ? kDefaultTextLimit : m_limit);
            NotifyFormatChange(TXTBIT_MAXLENGTHCHANGE);
            EnsureServicesLimit();
        }
        return;
    } else if (is(L"readonly")) {
        if (isTrue) {
            m_style |= ES_READONLY;
            m_readOnly = true;
        }
        return;
    } else if (is(L"number")) {
        if (isTrue)
            m_style |= kEditNumberOnly;
        return;
    } else if (is(L"password")) {
        if (isTrue)
            m_style |= ES_PASSWORD;
        return;
    } else if (is(L"gdi")) {
        if (isTrue || std::wcscmp(v, L"1") == 0)
            m_gdi = true;
        return;
    } else if (is(L"patchalpha")) {
        m_patchAlpha = true;
        return;
    } else if (is(L"align")) {
        if (Contains(v, L"left"))
            m_style &= ~static_cast<DWORD>(ES_CENTER | ES_RIGHT);
        if (Contains(v, L"center"))
            m_style = (m_style | ES_CENTER) & ~static_cast<DWORD>(ES_RIGHT);
        if (Contains(v, L"right"))
            m_style = (m_style | ES_RIGHT) & ~static_cast<DWORD>(ES_CENTER);
        return;
    } else if (is(L"tipvalue") || is(L"hint")) {
        m_placeholder = v;
        return;
    } else if (is(L"tipvaluecolor") || is(L"hintcolor")) {
        const wchar_t* p = *v == L'#' ? v + 1 : v;
        m_placeholderColor = static_cast<uint32_t>(std::wcstoul(p, nullptr, 16));
        return;
    } else if (is(L"textcolor")) {
        m_editTextColor = ParseHexColor(v, true);
        ApplyTextColor();
        return;
    }
    Box::SetAttribute(name, value);
}

// ------------------------------------------------------------- services

bool Edit::TakesReturn() const
{
    return m_wantReturn || (GetKeyState(VK_CONTROL) < 0 && m_wantCtrlReturn);
}

void Edit::RaiseEditReturn()
{
    if (m_core) {
        m_core->CallEditReturnHook(this);
        m_core->RaiseNotification(this, L"editreturn");
    }
    InvokeNamedCallback(L"editreturn");
}

HRESULT Edit::SendTextMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result)
{
    if (!m_host || !m_host->Services())
        return S_FALSE;
    if (message == WM_KEYDOWN && wParam == VK_RETURN && TakesReturn()) {
        // The box's own key: no line break goes to the text.
        RaiseEditReturn();
        return S_OK;
    }
    LRESULT ignored = 0;
    return m_host->Services()->TxSendMessage(message, wParam, lParam, result ? result : &ignored);
}

void Edit::OnTextNotify(DWORD code, void* data)
{
    if (code == EN_CHANGE) {
        InvokeNamedCallback(L"textchanged");
        return;
    }
    if (!IsForwardedNotification(code) || !data || !m_core || !m_core->GetWindow())
        return;
    HWND window = m_core->GetWindow();
    auto* header = static_cast<NMHDR*>(data);
    header->hwndFrom = window;
    header->idFrom = static_cast<UINT_PTR>(GetWindowLongPtrW(window, GWL_ID));
    header->code = code;
    SendMessageW(window, WM_NOTIFY, header->idFrom, reinterpret_cast<LPARAM>(data));
}

// ------------------------------------------------------------- filter

LRESULT Edit::FilterMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    if (!IsVisible() || !IsEnabled() || (!IsMouseEnabled() && IsMouseMessage(message)))
        return 0;
    if (message == WM_MOUSEWHEEL && !(GET_KEYSTATE_WPARAM(wParam) & MK_CONTROL)) {
        // The wheel scrolls the box as an event afterwards.
        if (m_wheelCallback)
            m_wheelCallback(GET_WHEEL_DELTA_WPARAM(wParam) > 0);
        return 0;
    }
    if (FilterIme(message)) {
        // The default handling turns the composition into characters.
        handled = false;
        return 0;
    }
    bool passOnUnhandled = false;
    if (IsMouseMessage(message) || message == WM_SETCURSOR) {
        if (!FilterMouse(message, lParam))
            return 0;
        passOnUnhandled = message == WM_SETCURSOR;
    } else if (IsKeyMessage(message)) {
        if (!IsFocused())
            return 0; // another control's keys
        if (!FilterKey(message, wParam)) {
            handled = true; // refused: the character is dropped
            return 0;
        }
    } else if (message == WM_CONTEXTMENU) {
        POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (m_core && m_core->GetWindow())
            ScreenToClient(m_core->GetWindow(), &pt);
        if (!m_core || m_core->FindControlAtPoint(pt.x, pt.y) != this)
            return 0;
    } else if (message == WM_HELP) {
        passOnUnhandled = true;
    } else {
        return 0;
    }
    LRESULT result = 0;
    const HRESULT hr = SendTextMessage(message, wParam, lParam, &result);
    const bool captured = m_host && (m_host->Flags() & kHostCaptureHeld);
    if (passOnUnhandled)
        handled = false;
    else if (hr == S_OK)
        handled = !(message == WM_MOUSEMOVE && !captured);
    else
        handled = IsKeyMessage(message) || (IsMouseMessage(message) && captured);
    return result;
}

bool Edit::FilterIme(UINT message)
{
    if (message != WM_IME_COMPOSITION && message != WM_IME_STARTCOMPOSITION)
        return false;
    if (IsFocused())
        PlaceCompositionWindow(message);
    return true;
}

void Edit::PlaceCompositionWindow(UINT message)
{
    HWND window = m_core ? m_core->GetWindow() : nullptr;
    HIMC context = window ? ImmGetContext(window) : nullptr;
    if (!context)
        return;
    COMPOSITIONFORM form{};
    if (message == WM_IME_COMPOSITION) {
        form.dwStyle = CFS_POINT;
        form.ptCurrentPos = m_caretPos;
        ImmSetCompositionWindow(context, &form);
    } else {
        form.dwStyle = CFS_FORCE_POSITION;
        form.ptCurrentPos = POINT{m_caretPos.x + m_caretSize.cx, m_caretPos.y};
        ImmSetCompositionWindow(context, &form);
        tagTFontInfo* font = m_core->GetFont(GetFontId());
        LOGFONTW lf{};
        if (font && font->hFont && GetObjectW(font->hFont, sizeof(lf), &lf))
            ImmSetCompositionFontW(context, &lf);
    }
    ImmReleaseContext(window, context);
}

bool Edit::FilterMouse(UINT message, LPARAM lParam)
{
    const bool captured = m_host && (m_host->Flags() & kHostCaptureHeld);
    if (!captured) {
        POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (message == WM_SETCURSOR) {
            GetCursorPos(&pt);
            if (m_core && m_core->GetWindow())
                ScreenToClient(m_core->GetWindow(), &pt);
        }
        const bool press = message == WM_LBUTTONDOWN || message == WM_LBUTTONUP || message == WM_LBUTTONDBLCLK ||
                           message == WM_RBUTTONDOWN || message == WM_RBUTTONUP;
        // A press on another control (one floating over the box too) is not
        // the box's: it goes on to the window core.
        if (press && (!m_core || m_core->FindControlAtPoint(pt.x, pt.y) != this))
            return false;
        if (message == WM_MOUSEWHEEL && m_core && m_core->GetWindow())
            ScreenToClient(m_core->GetWindow(), &pt);
        if (!m_host || !PtInRect(&m_host->ClientRect(), pt))
            return false;
        if (m_core && m_core->IsMouseCaptured())
            return false;
    }
    if (message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK || message == WM_RBUTTONDOWN) {
        if (FindTransform())
            m_fullRepaint = true;
        SetFocused(true);
    }
    return true;
}

bool Edit::FilterKey(UINT message, WPARAM wParam)
{
    if ((m_style & kEditNumberOnly) && message == WM_CHAR)
        return AcceptsNumberChar(static_cast<wchar_t>(wParam));
    return true;
}

bool Edit::AcceptsNumberChar(wchar_t ch) const
{
    if ((ch >= L'0' && ch <= L'9') || ch == L'\r' || ch == 27)
        return true;
    if (ch != L'.')
        return false;
    const CUiString text = GetText();
    return !text.IsEmpty() && std::wcschr(text.GetData(), L'.') == nullptr;
}

// ------------------------------------------------------------- events

bool Edit::HandleEvent(InputEvent* event)
{
    const int type = event->type;
    if (!IsMouseEnabled() && type >= kEventMouseMove && type <= kEventScrollWheel)
        return m_parent ? m_parent->HandleEvent(event) : Control::HandleEvent(event);
    switch (type) {
    case kEventSetCursor:
        if (IsEnabled() && m_host && PtInRect(&m_host->ClientRect(), event->point)) {
            OnSetCursor(*event);
            return true;
        }
        break;
    case kEventSetFocus: OnSetFocus(); break;
    case kEventKillFocus: OnKillFocus(); break;
    case kEventTimer:
        OnTimer(static_cast<int>(event->wParam));
        return true;
    case kEventKeyDown:
    case kEventKeyUp:
    case kEventChar:
    case kEventSysKey:
    case kEventMouseMove:
    case kEventButtonDown:
    case kEventButtonUp:
    case kEventDblClick: return true; // the filter gave them to the services
    case kEventScrollWheel:
        if (event->modifiers & kModCtrl)
            return true;
        break;
    default: break;
    }
    return Box::HandleEvent(event);
}

void Edit::OnSetCursor(const InputEvent& event)
{
    HDC dc = m_core ? m_core->GetWindowDC() : nullptr;
    const bool active = (m_host->Flags() & kHostInPlaceActive) != 0;
    m_host->Services()->OnTxSetCursor(DVASPECT_CONTENT, -1, nullptr, nullptr, dc, nullptr,
                                      active ? nullptr : &m_host->ClientRect(), event.point.x, event.point.y);
}

void Edit::OnSetFocus()
{
    if (m_host) {
        if (m_core)
            m_core->StartControlTimer(this, kCaretTimerKey, GetCaretBlinkTime());
        m_host->SetFlag(kHostInPlaceActive, true);
        SendTextMessage(WM_SETFOCUS, 0, 0, nullptr);
        SetCaretVisible(true);
    }
    TryActivate();
    Repaint();
}

void Edit::OnKillFocus()
{
    if (m_host) {
        if (m_core)
            m_core->StopControlTimer(this, kCaretTimerKey);
        SendTextMessage(WM_KILLFOCUS, 0, 0, nullptr);
    }
    InvokeNamedCallback(L"killfocus");
    SetCaretVisible(false);
    Repaint();
}

void Edit::OnTimer(int key)
{
    if (key == kCaretTimerKey) {
        if (IsFocused() && m_core && GetFocus() == m_core->GetWindow())
            SetCaretVisible(!m_caretVisible);
        return;
    }
    SendTextMessage(WM_TIMER, static_cast<WPARAM>(key), 0, nullptr);
}

// ------------------------------------------------------------- caret

RECTF Edit::CaretRect() const
{
    return RECTF{static_cast<float>(m_caretPos.x) - kCaretMargin, static_cast<float>(m_caretPos.y) - kCaretMargin,
                 static_cast<float>(m_caretPos.x + m_caretSize.cx) + kCaretMargin,
                 static_cast<float>(m_caretPos.y + m_caretSize.cy) + kCaretMargin};
}

void Edit::RepaintCaret()
{
    if (m_fullRepaint)
        Repaint();
    else if (m_core)
        m_core->MarkDirty(CaretRect());
}

void Edit::SetCaretPos(int x, int y)
{
    if (x == m_caretPos.x && y == m_caretPos.y)
        return;
    if (m_caretPos.x >= 0 && m_caretPos.y >= 0)
        RepaintCaret();
    m_caretPos = POINT{x, y};
    const CHARRANGE sel = GetSelection();
    SetCaretVisible(sel.cpMin == sel.cpMax);
}

void Edit::SetCaretSize(int width, int height) { m_caretSize = SIZE{width, height}; }

void Edit::SetCaretVisible(bool visible)
{
    m_caretVisible = visible;
    RepaintCaret();
}

// ------------------------------------------------------------- layout

void Edit::SetBounds(float left, float top, float right, float bottom)
{
    Control::SetBounds(left, top, right, bottom);
    LayoutTextArea();
}

LONG Edit::MeasureTextHeight(LONG width, LONG initial) const
{
    if (!m_host || !m_host->Services())
        return initial;
    SIZEL extent{-1, -1};
    LONG w = width;
    // The services may leave the height as it is (Wine's do for an empty
    // text): it starts as the caller's value, never as garbage.
    LONG h = initial;
    HDC dc = m_core ? m_core->GetWindowDC() : nullptr;
    m_host->Services()->TxGetNaturalSize(DVASPECT_CONTENT, dc, nullptr, nullptr, TXTNS_FITTOCONTENT, &extent, &w, &h);
    return h;
}

RECT Edit::ComputeTextArea() const
{
    const RECTF inset = GetContentInset();
    RECT area{static_cast<LONG>(m_bounds.left + inset.left), static_cast<LONG>(m_bounds.top + inset.top),
              static_cast<LONG>(m_bounds.right - inset.right), static_cast<LONG>(m_bounds.bottom - inset.bottom)};
    if (ScrollBar* v = GetVScrollBar(); v && v->IsVisible())
        area.right -= static_cast<LONG>(v->GetFixedWidth());
    if (ScrollBar* h = GetHScrollBar(); h && h->IsVisible())
        area.bottom -= static_cast<LONG>(h->GetFixedHeight());
    return area;
}

void Edit::LayoutTextArea()
{
    RECT area = ComputeTextArea();
    ScrollBar* vbar = GetVScrollBar();
    const bool vWasVisible = vbar && vbar->IsVisible();
    EnsureAlphaPatch();
    if (!(m_style & ES_MULTILINE) && m_host) {
        const RECTF inset = GetContentInset();
        const LONG controlHeight = static_cast<LONG>(m_bounds.Height());
        const LONG h = MeasureTextHeight(kSingleLineMeasureWidth, area.bottom - area.top);
        area.top = static_cast<LONG>(m_bounds.top + inset.top) + (controlHeight - h) / 2;
        // Kept inside the control: the line is centred, its area never
        // reaches below the box.
        area.bottom = std::min(area.top + controlHeight - static_cast<LONG>(inset.bottom),
                               static_cast<LONG>(m_bounds.bottom - inset.bottom));
    }
    if (m_host)
        m_host->SetClientRect(&area);
    UpdateAutoVerticalBar(area, vWasVisible);
    PlaceBarsAndChildren(area);
}

void Edit::UpdateAutoVerticalBar(const RECT& area, bool wasVisible)
{
    ScrollBar* vbar = GetVScrollBar();
    if (!vbar || !m_host)
        return;
    if (!((wasVisible && !vbar->IsVisible()) || m_autoVBar))
        return;
    const LONG barWidth = static_cast<LONG>(vbar->GetFixedWidth());
    const LONG height = MeasureTextHeight(area.right - area.left + barWidth, area.bottom - area.top);
    if (height > area.bottom - area.top) {
        vbar->SetVisible(true);
        vbar->SetScrollOffset(0.0f, false);
        m_autoVBar = true;
    } else if (m_autoVBar) {
        vbar->SetVisible(false);
        m_autoVBar = false;
    }
}

void Edit::PlaceBarsAndChildren(const RECT& area)
{
    const RECTF text{static_cast<float>(area.left), static_cast<float>(area.top), static_cast<float>(area.right),
                     static_cast<float>(area.bottom)};
    if (ScrollBar* v = GetVScrollBar(); v && v->IsVisible())
        v->SetBounds(text.right, text.top, text.right + v->GetFixedWidth(), text.bottom);
    if (ScrollBar* h = GetHScrollBar(); h && h->IsVisible())
        h->SetBounds(text.left, text.bottom, text.right, text.bottom + h->GetFixedHeight());
    for (int i = 0; i < ChildCount(); ++i) {
        Control* child = ChildAt(i);
        if (!child || !child->IsVisible())
            continue;
        if (child->IsFloat())
            PlaceFloatChild(i);
        else
            child->SetBounds(text);
    }
}

void Edit::EnsureAlphaPatch()
{
    if (!m_patchAlpha && !(m_core && m_core->IsLayered()))
        return;
    const int width = static_cast<int>(m_bounds.Width());
    const int height = static_cast<int>(m_bounds.Height());
    if (width <= 0 || height <= 0 || (width == m_patch.Width() && height == m_patch.Height() && m_patch.IsValid()))
        return;
    HWND window = m_core ? m_core->GetWindow() : nullptr;
    HDC windowDc = GetDC(window);
    const bool made = m_patch.Create(windowDc, width, height);
    ReleaseDC(window, windowDc);
    if (made)
        std::fill_n(m_patch.Pixels(), m_patch.PixelCount(), kOpaqueBlack);
}

void Edit::FreeAlphaPatch() { m_patch.Free(); }

// ------------------------------------------------------------- painting

void Edit::Paint(const RECTF& dirty, bool pushClip)
{
    RECTF clip;
    if (!rectmath::Intersect(dirty, m_bounds, clip))
        return;
    const bool layerOpen = IsVisible() && BeginLayer(clip);
    RenderTarget* target = m_renderTarget ? m_renderTarget : ResolveRenderTarget();
    const uint32_t outerClip = seams::PushClip(target, clip);
    Control::Paint(dirty, false);
    if (target) {
        PaintText(target);
        PaintPlaceholder(target);
        PaintCaret(target);
    }
    CheckAutoBarStillNeeded();

    const RECTF inset = GetContentInset();
    RECTF inner(m_bounds.left + inset.left, m_bounds.top + inset.top, m_bounds.right - inset.right,
                m_bounds.bottom - inset.bottom);
    if (ScrollBar* v = GetVScrollBar(); v && v->IsVisible())
        inner.right -= v->GetFixedWidth();
    if (ScrollBar* h = GetHScrollBar(); h && h->IsVisible())
        inner.bottom -= h->GetFixedHeight();
    const uint32_t innerClip = seams::PushClip(target, inner);
    std::vector<Control*> children = m_children;
    for (Control* child : children) {
        if (child->IsVisible() && child->IsPlaced() && rectmath::Overlaps(child->GetBounds(), dirty))
            child->Paint(dirty, true);
    }
    PaintOwnBars(dirty);
    seams::PopClip(target, innerClip);
    seams::PopClip(target, outerClip);
    if (layerOpen)
        EndLayer(clip);
}

void Edit::PaintText(RenderTarget* target)
{
    if (!m_host || !m_host->Services())
        return;
    const RECT& c = m_host->ClientRect();
    RECTL bounds{c.left, c.top, c.right, c.bottom};
    if (m_host->IsDirect2D()) {
        ID2D1RenderTarget* d2d = target->GetD2DTarget();
        if (!d2d)
            return;
        auto* services = static_cast<ITextServices2*>(m_host->Services());
        const float dpi = static_cast<float>(m_host->GetDpi());
        if (m_host->GetDpi() == kDefaultDpi) {
            services->TxDrawD2D(d2d, &bounds, nullptr, TXTVIEW_ACTIVE);
            return;
        }
        float oldX = 0, oldY = 0;
        D2D1_MATRIX_3X2_F oldTransform{};
        d2d->GetDpi(&oldX, &oldY);
        d2d->GetTransform(&oldTransform);
        D2D1_MATRIX_3X2_F scaled = oldTransform;
        scaled._31 = oldTransform._31 * kDefaultDpi / dpi;
        scaled._32 = oldTransform._32 * kDefaultDpi / dpi;
        d2d->SetDpi(dpi, dpi);
        d2d->SetTransform(scaled);
        services->TxDrawD2D(d2d, &bounds, nullptr, TXTVIEW_ACTIVE);
        d2d->SetTransform(oldTransform);
        d2d->SetDpi(oldX, oldY);
        return;
    }
    HDC dc = target->BeginGdiClip();
    if (!dc)
        return;
    const int oldMode = SetGraphicsMode(dc, GM_COMPATIBLE);
    m_host->Services()->TxDraw(DVASPECT_CONTENT, 0, nullptr, nullptr, dc, nullptr, &bounds, nullptr, nullptr, nullptr,
                               0, TXTVIEW_ACTIVE);
    SetGraphicsMode(dc, oldMode);
    if (m_patch.IsValid() && (m_patchAlpha || (m_core && m_core->IsLayered()))) {
        BitBlt(dc, static_cast<int>(m_bounds.left), static_cast<int>(m_bounds.top), m_patch.Width(), m_patch.Height(),
               m_patch.GetDC(), 0, 0, kPatchRop);
    }
    target->EndGdiClip(dc);
}

void Edit::PaintPlaceholder(RenderTarget* target)
{
    if (IsFocused() || m_placeholder.IsEmpty() || !GetText().IsEmpty())
        return;
    const RECTF inset = GetContentInset();
    const RECTF rect(m_bounds.left + inset.left, m_bounds.top + inset.top, m_bounds.right - inset.right,
                     m_bounds.bottom - inset.bottom);
    UINT format = DT_SINGLELINE | DT_VCENTER;
    if (m_style & ES_CENTER)
        format |= DT_CENTER;
    target->DrawText(m_core, rect, m_placeholder.GetData(), GradientStops{Color::MakeArgb(m_placeholderColor)},
                     nullptr, GetFontId(), format, GetCharSpacing() * GetScale(), 0.0f,
                     static_cast<uint32_t>(GetTextDrawOption()));
}

void Edit::PaintCaret(RenderTarget* target)
{
    if (!IsFocused() || !m_caretVisible || m_caretPos.x < 0)
        return;
    const CHARRANGE sel = GetSelection();
    if (sel.cpMin != sel.cpMax)
        return;
    // The line from the caret position down by the caret height, one pixel
    // wide: a filled pixel column (a line's rectangle of width 0 draws
    // nothing).
    const float x = static_cast<float>(m_caretPos.x);
    const float y = static_cast<float>(m_caretPos.y);
    target->FillShape(RECTF{x, y, x + kCaretWidth, y + static_cast<float>(m_caretSize.cy)},
                      GradientStops{Color::MakeArgb(m_editTextColor)}, nullptr, nullptr, nullptr, nullptr);
}

void Edit::CheckAutoBarStillNeeded()
{
    ScrollBar* vbar = GetVScrollBar();
    if (!m_autoVBar || !vbar || !m_host)
        return;
    const RECT& area = m_host->ClientRect();
    const LONG height = MeasureTextHeight(area.right - area.left + static_cast<LONG>(vbar->GetFixedWidth()),
                                          area.bottom - area.top);
    if (height <= area.bottom - area.top)
        RequestRelayout();
}

void Edit::FillBackground(RenderTarget* target, const RECTF& paintRect)
{
    if (!target)
        return;
    if (IsEnabled() && !m_readOnly) {
        if (m_bkColor == 0)
            return;
        const SIZE round = GetScaledBorderRound();
        CornerSize corner{static_cast<float>(round.cx), static_cast<float>(round.cy)};
        target->FillShape(m_bounds, GradientStops{Color::MakeArgb(m_bkColor)}, nullptr, &corner, nullptr, nullptr);
        return;
    }
    target->FillShape(m_bounds, GradientStops{Color::MakeArgb(m_disabledBkColor)}, nullptr, nullptr, nullptr, nullptr);
}

// ------------------------------------------------------------- scrolling

void Edit::SendScroll(UINT message, WORD code)
{
    ScrollAxis& axis = Axis(message == WM_HSCROLL);
    if (axis.tween)
        axis.tween->Stop(0);
    SendTextMessage(message, MAKEWPARAM(code, 0), 0, nullptr);
}

void Edit::SetScrollOffsetElastic(float x, float y) { SetScrollOffset(x, y); }

void Edit::SetScrollOffset(float x, float y)
{
    if (ScrollBar* v = GetVScrollBar(); v && v->IsVisible()) {
        const float before = v->GetScrollPos();
        v->SetScrollOffset(y, false);
        const float moved = v->GetScrollPos();
        if (moved != before) {
            SendTextMessage(WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, static_cast<WORD>(moved)), 0, nullptr);
            // Plain text may answer with a position short of the one asked.
            if (!m_rich && moved > before)
                v->SetScrollOffset(std::max(moved, v->GetScrollPos()), false);
        }
    }
    if (ScrollBar* h = GetHScrollBar(); h && h->IsVisible()) {
        const float before = h->GetScrollPos();
        h->SetScrollOffset(x, false);
        const float moved = h->GetScrollPos();
        if (moved != before)
            SendTextMessage(WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, static_cast<WORD>(moved)), 0, nullptr);
    }
}

void Edit::ScrollLineUp() { SendScroll(WM_VSCROLL, SB_LINEUP); }

void Edit::ScrollLineDown()
{
    ScrollBar* v = GetVScrollBar();
    const float before = v ? v->GetScrollPos() : 0.0f;
    SendScroll(WM_VSCROLL, SB_LINEDOWN);
    if (v && !m_rich && v->GetScrollPos() <= before)
        v->SetScrollOffset(static_cast<float>(v->GetRange()), false);
}

void Edit::ScrollPageUp() { SendScroll(WM_VSCROLL, SB_PAGEUP); }
void Edit::ScrollPageDown() { SendScroll(WM_VSCROLL, SB_PAGEDOWN); }
void Edit::ScrollToTop() { SendScroll(WM_VSCROLL, SB_TOP); }
void Edit::ScrollToBottom() { SendScroll(WM_VSCROLL, SB_BOTTOM); }
void Edit::ScrollLineLeft() { SendScroll(WM_HSCROLL, SB_LINELEFT); }
void Edit::ScrollLineRight() { SendScroll(WM_HSCROLL, SB_LINERIGHT); }
void Edit::ScrollPageLeft() { SendScroll(WM_HSCROLL, SB_PAGELEFT); }
void Edit::ScrollPageRight() { SendScroll(WM_HSCROLL, SB_PAGERIGHT); }
void Edit::ScrollToLeft() { SendScroll(WM_HSCROLL, SB_LEFT); }
void Edit::ScrollToRight() { SendScroll(WM_HSCROLL, SB_RIGHT); }

} // namespace ui
