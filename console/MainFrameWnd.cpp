#include "MainFrameWnd.h"
#include <wchar.h>
#include <new>
#include "CaptionHitTest.h"
#include "CodePage.h"
#include "ConsoleCoreDataFile.h"
#include "ConsoleEvents.h"
#include "ConsoleGlobals.h"
#include "ConsolePages.h"
#include "ControlAccess.h"
#include "DlgActivity.h"
#include "MessageBoxExWnd.h"
#include "PlayerInfoDlg.h"
#include "QrCode.h"
#include "SysHelpers.h"
#include "UITabLayout.h"
#include "WkeWebkitUI.h"

using namespace Veneer;

CMainFrameWnd::CMainFrameWnd() = default;

CMainFrameWnd::~CMainFrameWnd()
{
    // The timer thread first: it belongs to the update check below.
    m_tollvane.StopThread(3000);
    delete m_qrWnd;
    m_qrWnd = nullptr;
    if (m_hWnd != NULL && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
    consoleevents::ManagerGone(m_pm);
}

const wchar_t* CMainFrameWnd::GetWindowClassName() const { return L"UIMainFrameLOGINDLG"; }

UINT CMainFrameWnd::GetClassStyle() const { return CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS; }

void CMainFrameWnd::OnFinalMessage(HWND) { ::PostQuitMessage(0); }

// Tags compared case-sensitively.
CControlUI* CMainFrameWnd::CreateControl(const wchar_t* pstrClass)
{
    if (pstrClass == nullptr)
        return nullptr;
    if (wcscmp(pstrClass, L"PlayerInfoDlg") == 0)
        return new (std::nothrow) CPlayerInfoDlg();
    if (wcscmp(pstrClass, L"KaiHuDlg") == 0)
        return new (std::nothrow) CKaiHuDlg();
    if (wcscmp(pstrClass, L"SystemSettingDlg") == 0)
        return new (std::nothrow) CSystempSettingDlg();
    if (wcscmp(pstrClass, L"WbkWebkit") == 0)
        return new (std::nothrow) CWkeWebkitUI();
    return nullptr;
}

LRESULT CMainFrameWnd::OnCreate()
{
    LONG style = ::GetWindowLongW(m_hWnd, GWL_STYLE);
    ::SetWindowLongW(m_hWnd, GWL_STYLE, style & ~(WS_CAPTION | WS_THICKFRAME));
    m_pm.Init(m_hWnd);
    CDialogBuilder builder;
    CControlUI* root = builder.Create(STRINGorID(L"MainSkin.xml"), nullptr, this, &m_pm);
    if (root != nullptr)
        m_pm.AttachDialog(root);
    m_pm.AddNotifier(this);
    SetIcon(132);
    consoleevents::Raise(L"icon", GetWindowClassName(), ::SendMessageW(m_hWnd, WM_GETICON, ICON_SMALL, 0) ? L"1" : L"0");
    InitWindow();
    CenterWindow();
    return 0;
}

std::wstring CMainFrameWnd::ProductTitle(const std::wstring& directory)
{
    std::string title = "Morvath ";
    Pellmora::CCoreDataFile file(0);
    file.SetPath(WideToAnsi(directory) + "data\\core.dat");
    std::string versionText, versionCode;
    if (file.Get(versionText, versionCode))
        title += versionText;
    return AnsiToWide(title);
}

void CMainFrameWnd::InitWindow()
{
    m_closeBtn = controls::FindAny(m_pm, L"close_btn");
    m_minBtn = controls::FindAny(m_pm, L"min_btn");
    m_settingsBtn = controls::FindAny(m_pm, L"xitongshezhi_btn");
    m_kaihuBtn = controls::FindAny(m_pm, L"kaihu_btn");
    m_playerBtn = controls::FindAny(m_pm, L"player_btn");
    m_pages = controls::Find<CTabLayoutUI>(m_pm, L"NavTabLayout", L"TabLayout");

    if (CControlUI* name = controls::FindAny(m_pm, L"netbarname1")) {
        std::wstring cafe = AnsiToWide(g_netbarInfo.strname);
        controls::SetText(m_pm, L"netbarname1", cafe);
        name->SetToolTip(cafe.c_str());
    }
    if (controls::FindAny(m_pm, L"AppName"))
        controls::SetText(m_pm, L"AppName", ProductTitle(GetAppDirectory()));
    m_tollvane.StartThread(1000, 1000);
}

LRESULT CMainFrameWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    static const wchar_t* const kClientClasses[] = {L"Button", L"Option", L"Edit", nullptr};
    switch (uMsg) {
    case WM_CREATE:
        return OnCreate();
    case WM_NCHITTEST:
        return CaptionHitTest(m_hWnd, m_pm, lParam, kClientClasses);
    case WM_COPYDATA:
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_CLOSE) {
            // Ends the message loop; the program entry destroys the frame afterwards.
            ::PostMessageW(m_hWnd, WM_QUIT, 0, 0);
            return 0;
        }
        if ((wParam & 0xFFF0) == SC_KEYMENU)
            return 0;
        return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
    case WM_TIMER:
        // Every timer of this window is consumed here; one of them is the customer page's tick.
        if (wParam == CPlayerInfoDlg::kTimerId && g_playerInfoDlg != nullptr)
            g_playerInfoDlg->OnTick();
        return 0;
    default:
        break;
    }
    LRESULT lRes = 0;
    if (!m_pm.MessageHandler(uMsg, wParam, lParam, lRes))
        lRes = CWindowWnd::HandleMessage(uMsg, wParam, lParam);
    if (uMsg == WM_PAINT)
        consoleevents::Painted(m_pm);
    return lRes;
}

void CMainFrameWnd::Notify(TNotifyRecord& msg)
{
    if (msg.pSender == nullptr)
        return;
    CUIString name = msg.pSender->GetName();
    const wchar_t* type = msg.sType.GetData();
    if (wcscmp(type, L"windowinit") == 0)
        return;
    if (wcscmp(type, L"click") == 0) {
        consoleevents::Raise(L"notify", type, name.GetData());
        if (name == L"close_btn")
            Close(1);
        else if (name == L"min_btn")
            ::SendMessageW(m_hWnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        else if (name == L"kaihu_btn")
            ToggleQrWindow();
        else if (name == L"activity_btn") {
            // One modal run; the dialog object goes when it returns.
            CDlgActivity activity(L"huodong.xml");
            activity.ShowDlg(L"活动", NULL, true);
        }
        return;
    }
    if (wcscmp(type, L"selectchanged") == 0) {
        consoleevents::Raise(L"notify", type, name.GetData());
        if (m_pages == nullptr)
            return;
        if (name == L"xitongshezhi_btn")
            m_pages->SelectItem(1, true);
        else if (name == L"player_btn")
            m_pages->SelectItem(0, true);
    }
}

void CMainFrameWnd::ToggleQrWindow()
{
    // A QR window closed by its close button or Alt+F4 leaves only its object: showing that
    // again would show nothing, so it is built anew, bitmap included.
    if (m_qrWnd != nullptr && m_qrWnd->GetHWND() == NULL) {
        delete m_qrWnd;
        m_qrWnd = nullptr;
    }
    bool visible = false;
    if (m_qrWnd != nullptr) {
        visible = ::IsWindowVisible(m_qrWnd->GetHWND()) != FALSE;
    } else {
        // Written once per window: the code of the login in effect when the window is built.
        std::wstring picture = std::wstring(GetAppDirectory()) + L"wberweima.bmp";
        bool written = WriteQrBitmap(g_loginNetbarCode.c_str(), WideToAnsi(picture).c_str());
        consoleevents::Raise(L"qrwindow", L"bitmap", written ? L"written" : L"failed");
        m_qrWnd = new (std::nothrow) CMessageBoxExWnd(L"开户二维码", L"123", 0, L"KaiHu.xml", L"", 0, 0, 0, 0);
        if (m_qrWnd == nullptr)
            return;
        m_qrWnd->SetImagePath(picture.c_str());
        m_qrWnd->Create(NULL, L"", WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU,
                        0, 0, 0, 0, 0);
    }
    m_qrWnd->ShowWindow(!visible, true);
    consoleevents::Raise(L"qrwindow", L"visible", visible ? L"0" : L"1");
}
