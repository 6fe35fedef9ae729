#include "app/MainWnd.h"

#include <commctrl.h>
#include <commoncontrols.h>
#include <shellapi.h>

#include <cstdlib>
#include <ctime>

#include "Corvel/Control/ComboBox.h"
#include "Corvel/Control/ProgressBar.h"
#include "Corvel/Render/Easing.h"
#include "Corvel/Render/TimeLine.h"
#include "Corvel/Render/UiImage.h"
#include "app/AppValues.h"
#include "app/DeployDescriptor.h"
#include "app/Encodings.h"
#include "app/PackageExtract.h"
#include "app/PathUtil.h"
#include "app/ShellUtil.h"
#include "net/SliceDownloader.h"

namespace {

// The preparation: a step every kPrepareTickMs; after kPrepareSteps text
// steps (two ticks each) the next tick ends it.
constexpr int kPrepareSteps = 2;
const wchar_t* const kPrepareTexts[] = {L"获取最新版本信息...", L"检测当前系统版本...", L"检测软件与系统兼容性.."};
// Each step moves the bar forward by up to this much (rand() mod it).
constexpr int kPrepareProgressSpread = 33;
constexpr int kProgressAnimationMs = 400;
constexpr float kProgressFull = 100.0f;

// The toast fades from opaque over two seconds; below kToastMinAlpha it hides.
constexpr float kToastFadeMs = 2000.0f;
constexpr float kToastOpaque = 255.0f;
constexpr unsigned kToastMinAlpha = 5;
constexpr const wchar_t* kToastAlpha = L"alpha";
constexpr const wchar_t* kPathCopiedText = L"路径已复制到剪贴板";

// A package row of the combo box.
constexpr float kPackageRowHeight = 30.0f;
constexpr const char* kPackageObject = "package";

// Icon sizes are rounded up to whole multiples of this.
constexpr int kIconSizeStep = 16;

// Timeline stop mode: the values stay where they are.
constexpr int kStopInPlace = 0;

// IID_IImageList: mingw-w64's import libraries lack the symbol.
constexpr IID kImageListIid = {0x46eb5926, 0x582e, 0x4017, {0x9f, 0xdf, 0xe8, 0x99, 0x8d, 0xaa, 0x09, 0x50}};

// The image key the program's shell icon is registered under.
constexpr const wchar_t* kLogoImage = L"logo.png";

// The process-wide preparation step counter.
int g_prepareStep = 0;

int RoundUpToIconStep(int size)
{
    return (size + kIconSizeStep - 1) / kIconSizeStep * kIconSizeStep;
}

} // namespace

struct CMainWnd::ControlTable {
    ui::Control* toast = nullptr;
    ui::Control* logo = nullptr;
    ui::Control* productName = nullptr;
    ui::Control* banner = nullptr;
    ui::Control* startPage = nullptr;
    ui::Control* agree = nullptr;
    ui::Control* start = nullptr;
    ui::ProgressBar* preparing = nullptr;
    ui::Control* preparingText = nullptr;
    ui::Control* description = nullptr;
    ui::Control* help = nullptr;
    ui::Control* help2 = nullptr;
    ui::Control* tutorial = nullptr;
    ui::Control* serviceTerms = nullptr;
    ui::Control* privacyPolicy = nullptr;
    ui::ComboBox* products = nullptr;
    ui::Control* installPage = nullptr;
    ui::Control* installPath = nullptr;
    ui::Control* changeDir = nullptr;
    ui::Control* openInstallDir = nullptr;
    ui::Control* downloadSpeedBox = nullptr;
    ui::Control* speed = nullptr;
    ui::ProgressBar* downloading = nullptr;
    ui::Control* download = nullptr;
    ui::Control* install = nullptr;
};

CMainWnd::CMainWnd(CAppModel* model) : m_controls(std::make_unique<ControlTable>()), m_model(model) {}

CMainWnd::~CMainWnd()
{
    if (m_toastTimeline && m_toastTimeline->IsRunning())
        m_toastTimeline->Stop(kStopInPlace);
    m_toastTimeline.reset();
    if (m_icon)
        DestroyIcon(m_icon);
    if (m_logoBitmap)
        DeleteObject(m_logoBitmap);
}

void CMainWnd::ResetPreparationStepsForTesting() { g_prepareStep = 0; }

CAppModel* CMainWnd::Model() const { return m_model ? m_model : appModel; }

// ---------------------------------------------------------------- messages

LRESULT CMainWnd::ProcessMessage(UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (msg == WM_DESTROY)
        StopDownloadForClose();
    // A close by the system menu, Alt+F4 or a destroy from outside counts as
    // closing as much as Close does: workers watching the flag stop.
    if (msg == WM_CLOSE || msg == WM_DESTROY) {
        m_closing.store(true);
        StopDescriptorDelivery();
    } else if (msg == WM_TIMER) {
        OnTimer(wParam);
    } else if (msg == kMsgProductReady) {
        OnProductsReady();
    }
    return IWindowBase::ProcessMessage(msg, wParam, lParam);
}

BOOL CMainWnd::Close(int code)
{
    m_closing.store(true);
    if (!IsWindow(m_hwnd))
        return FALSE;
    m_closeCode = code;
    return PostMessageW(m_hwnd, WM_CLOSE, static_cast<WPARAM>(code), 0);
}

void CMainWnd::OnNcDestroyed(HWND window)
{
    IWindowBase::OnNcDestroyed(window);
    PostQuitMessage(0);
}

void CMainWnd::OnWindowCreated()
{
    srand(static_cast<unsigned>(time(nullptr)));
    const int cx = RoundUpToIconStep(GetSystemMetrics(SM_CXICON));
    const int cy = RoundUpToIconStep(GetSystemMetrics(SM_CYICON));
    m_icon = static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kIconResourceId), IMAGE_ICON, cx, cy, 0));
    if (!m_icon)
        return;
    SendMessageW(m_hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon));
    SendMessageW(m_hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_icon));
}

// ---------------------------------------------------------------- readiness

void CMainWnd::OnWindowReady()
{
    FindControls();
    ShowProgramIcon();
    if (m_controls->productName)
        m_controls->productName->SetText(productName.c_str());
    BindHandlers();
    if (CAppModel* model = Model()) {
        model->SetMainWindow(m_hwnd);
        model->SignalWindowReady();
    }
}

void CMainWnd::FindControls()
{
    ControlTable& c = *m_controls;
    auto find = [this](const wchar_t* name) { return m_core.FindControlByName(name); };
    c.toast = find(L"TxtToast");
    c.logo = find(L"LblLogo");
    c.productName = find(L"LblProductName");
    c.banner = find(L"LblBanner");
    c.startPage = find(L"HStartPage");
    c.agree = find(L"OptAgree");
    c.start = find(L"BtnActive");
    c.preparing = dynamic_cast<ui::ProgressBar*>(find(L"ProgressActiving"));
    c.preparingText = find(L"TxtActiving");
    c.description = find(L"TxtProductDesc");
    c.help = find(L"BtnHelp");
    c.help2 = find(L"BtnHelp2");
    c.tutorial = find(L"BtnTutorial");
    c.serviceTerms = find(L"BtnServiceTerms");
    c.privacyPolicy = find(L"BtnPrivacyPolicy");
    c.products = dynamic_cast<ui::ComboBox*>(find(L"CmbProducts"));
    c.installPage = find(L"HInstallPage");
    c.installPath = find(L"TxtInstallPath");
    c.changeDir = find(L"BtnChangeDir");
    c.openInstallDir = find(L"BtnOpenInstallDir");
    c.downloadSpeedBox = find(L"HDownloadSpeed");
    c.speed = find(L"TxtSpeed");
    c.downloading = dynamic_cast<ui::ProgressBar*>(find(L"ProgressDownloading"));
    c.download = find(L"BtnDownload");
    c.install = find(L"BtnInstall");
}

// The program file's extra-large shell icon as the logo. Without the image
// list (or an icon in it) the logo stays empty.
void CMainWnd::ShowProgramIcon()
{
    ui::Control* logo = m_controls->logo;
    if (!logo)
        return;
    SHFILEINFOW info{};
    if (!SHGetFileInfoW(GetModulePath().c_str(), 0, &info, sizeof(info), SHGFI_SYSICONINDEX))
        return;
    IImageList* list = nullptr;
    if (FAILED(SHGetImageList(SHIL_EXTRALARGE, kImageListIid, reinterpret_cast<void**>(&list))) || !list)
        return;
    HICON icon = nullptr;
    list->GetIcon(info.iIcon, ILD_TRANSPARENT, &icon);
    list->Release();
    if (!icon)
        return;
    ICONINFO parts{};
    if (GetIconInfo(icon, &parts)) {
        if (parts.hbmMask)
            DeleteObject(parts.hbmMask);
        if (m_logoBitmap)
            DeleteObject(m_logoBitmap);
        m_logoBitmap = parts.hbmColor;
    }
    DestroyIcon(icon);
    if (!m_logoBitmap)
        return;
    m_core.AddImageFromHbitmap(ui::CUiImage(kLogoImage), m_logoBitmap, logo->GetWidth(), logo->GetHeight(), logo);
    logo->SetBkImage(kLogoImage);
}

void CMainWnd::BindHandlers()
{
    ControlTable& c = *m_controls;
    auto bind = [](ui::Control* control, ui::Control::Callback handler) {
        if (control)
            control->BindNamedCallback(L"click", std::move(handler));
    };
    bind(c.start, [this] { OnStartClicked(); });
    bind(c.help, [this] { OpenServiceLink(&stServiceLinks::customer_service_link); });
    bind(c.help2, [this] { OpenServiceLink(&stServiceLinks::customer_service_link); });
    bind(c.serviceTerms, [this] { OpenServiceLink(&stServiceLinks::user_agreement_link); });
    bind(c.privacyPolicy, [this] { OpenServiceLink(&stServiceLinks::privacy_protocol_link); });
    bind(c.installPath, [this] { CopyInstallPath(); });
    bind(c.openInstallDir, [this] { ShellOpen(m_installDir, L"", L""); });
    // The tutorial link, directory choice, download and launch belong to the
    // deployment, which binds them when the descriptor arrives.
    if (c.products)
        c.products->BindNamedCallback(L"itemselect", [this] { TakeChosenPackage(); });
}

void CMainWnd::OpenServiceLink(std::string stServiceLinks::*link) const
{
    if (CAppModel* model = Model())
        OpenUrl(model->Links().*link);
}

// ---------------------------------------------------------------- product

void CMainWnd::OnProductsReady()
{
    CAppModel* model = Model();
    if (!model)
        return;
    const stProductInfo product = model->Product();
    ControlTable& c = *m_controls;
    if (c.banner) {
        const std::wstring descriptor = L"file='" + Utf8ToWideString(product.banner) + L"' net='1' ";
        c.banner->SetBkImage(descriptor.c_str());
    }
    if (c.description)
        c.description->SetText(Utf8ToWideString(product.desc).c_str());
    if (!c.products)
        return;
    for (const stPackageInfo& package : product.packages) {
        m_packages.push_back(std::make_unique<stPackageInfo>(package));
        auto row = std::make_unique<ui::Control>();
        row->SetFixedHeight(kPackageRowHeight);
        row->SetText(Utf8ToWideString(package.name).c_str());
        row->SetNamedObject(kPackageObject, m_packages.back().get());
        // The combo box's item container owns the row once it took it.
        if (c.products->AppendChild(row.get()))
            row.release();
    }
}

// ---------------------------------------------------------------- start page

void CMainWnd::OnStartClicked()
{
    ControlTable& c = *m_controls;
    if (c.agree && !c.agree->IsSelected()) {
        MessageBoxW(m_hwnd, L"请先阅读并同意用户协议", L"提示", MB_ICONINFORMATION);
        return;
    }
    SetTimer(m_hwnd, kPrepareTimerId, kPrepareTickMs, nullptr);
    if (c.preparingText)
        c.preparingText->SetVisible(true);  // vgroup "active": hides the start button
}

void CMainWnd::OnTimer(UINT_PTR id)
{
    if (id == kRestartTimerId) {
        OnRestartTimer();
        return;
    }
    if (id != kPrepareTimerId)
        return;  // not ours
    ControlTable& c = *m_controls;
    if (g_prepareStep / 2 >= kPrepareSteps) {
        EndPreparation();
        return;
    }
    ++g_prepareStep;
    if (c.preparingText)
        c.preparingText->SetText(kPrepareTexts[g_prepareStep / 2]);
    if (c.preparing)
        c.preparing->SetValue(c.preparing->GetValue() + static_cast<float>(rand() % kPrepareProgressSpread),
                              kProgressAnimationMs);
}

void CMainWnd::EndPreparation()
{
    ControlTable& c = *m_controls;
    KillTimer(m_hwnd, kPrepareTimerId);
    if (c.preparing)
        c.preparing->SetValue(kProgressFull, kProgressAnimationMs);
    if (c.products) {
        c.products->ChooseItem(0);
        c.products->Repaint();  // it now shows the chosen row's text
    }
    TakeChosenPackage();
}

void CMainWnd::TakeChosenPackage()
{
    ControlTable& c = *m_controls;
    const stPackageInfo* package = nullptr;
    if (c.products) {
        const int index = c.products->GetCurrentIndex();
        if (ui::Control* row = index >= 0 ? c.products->ChildAt(index) : nullptr)
            package = static_cast<const stPackageInfo*>(row->GetNamedObject(kPackageObject));
    }
    if (!package) {
        // Nothing to deploy (the service listed no package): no descriptor
        // is asked for and the user gets the start button back.
        if (c.start)
            c.start->SetVisible(true);
        return;
    }
    m_selectedPackage = *package;
    m_hasSelectedPackage = true;
    if (m_handOff)
        m_handOff(m_selectedPackage);
    else
        StartDescriptorDelivery(m_selectedPackage);
}

// ---------------------------------------------------------------- toast

void CMainWnd::ShowToast(const wchar_t* text)
{
    ui::Control* toast = m_controls->toast;
    if (!toast)
        return;
    toast->SetVisible(true);
    toast->SetText(text);
    if (!m_toastTimeline) {
        m_toastTimeline = std::make_unique<ui::CTimeLineTween>();
    } else {
        if (m_toastTimeline->IsRunning())
            m_toastTimeline->Stop(kStopInPlace);
        m_toastTimeline->Reset();
        m_toastTimeline->ClearValues();
    }
    m_toastTimeline->SetEasing(ui::kEaseQuad, ui::kEaseModeInOut, kToastFadeMs);
    m_toastTimeline->AddValue(kToastAlpha, kToastOpaque, 0.0f);
    m_toastTimeline->Start(&m_core, [this](ui::CTimeLine* t) {
        OnToastStep(t);
        return true;
    });
}

void CMainWnd::OnToastStep(ui::CTimeLine* timeline)
{
    ui::Control* toast = m_controls->toast;
    if (!toast)
        return;
    const unsigned alpha = static_cast<unsigned>(timeline->GetValue(kToastAlpha));
    if (alpha > kToastMinAlpha) {
        toast->SetAlpha(static_cast<int>(alpha));
        toast->Repaint();
    } else {
        toast->SetVisible(false);
    }
}

void CMainWnd::CopyInstallPath()
{
    const ui::CUiString text = m_controls->installPath ? m_controls->installPath->GetText() : ui::CUiString();
    if (OpenClipboard(nullptr)) {
        const size_t bytes = (static_cast<size_t>(text.GetLength()) + 1) * sizeof(wchar_t);
        bool placed = false;
        if (EmptyClipboard()) {
            if (HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes)) {
                if (void* data = GlobalLock(block)) {
                    memcpy(data, text.GetData(), bytes);
                    GlobalUnlock(block);
                    placed = SetClipboardData(CF_UNICODETEXT, block) != nullptr;
                }
                if (!placed)
                    GlobalFree(block);  // the clipboard did not take it
            }
        }
        CloseClipboard();
    }
    ShowToast(kPathCopiedText);
}
