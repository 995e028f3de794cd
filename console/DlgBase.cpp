#include "DlgBase.h"
#include <wchar.h>
#include "CaptionHitTest.h"
#include "ConsoleEvents.h"
#include "ControlAccess.h"
#include "UIControl.h"

using namespace Veneer;

CDlgBase::CDlgBase(const wchar_t* title, const wchar_t* text, const wchar_t* skin, int mode, const wchar_t* zip)
    : m_title(title), m_text(text), m_mode(mode), m_skin(skin), m_zip(zip)
{
}

CDlgBase::~CDlgBase()
{
    DestroyOwnWindow();
    consoleevents::ManagerGone(m_pm);
}

void CDlgBase::DestroyOwnWindow()
{
    // A modal run ended by WM_QUIT returns with the window alive.
    if (m_hWnd != NULL && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
}

const wchar_t* CDlgBase::GetWindowClassName() const { return L"CDlgBase"; }

UINT CDlgBase::GetClassStyle() const { return CS_DBLCLKS; }

// The dialog objects belong to their creators.
void CDlgBase::OnFinalMessage(HWND) {}

CControlUI* CDlgBase::CreateControl(const wchar_t*) { return nullptr; }

void CDlgBase::ShowDlg(const wchar_t* caption, HWND parent, bool modal)
{
    Create(parent, caption, kDialogStyle, 0, 0, 0, 0, 0);
    if (modal)
        ShowModal();
    else
        ShowWindow(true, true);
}

LRESULT CDlgBase::OnCreate(UINT, WPARAM, LPARAM, BOOL& bHandled)
{
    LONG style = ::GetWindowLongW(m_hWnd, GWL_STYLE);
    style &= ~(WS_CAPTION | WS_THICKFRAME);
    style |= WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    ::SetWindowLongW(m_hWnd, GWL_STYLE, style);
    ::SetWindowLongW(m_hWnd, GWL_EXSTYLE, ::GetWindowLongW(m_hWnd, GWL_EXSTYLE));

    m_pm.Init(m_hWnd);
    if (!m_zip.IsEmpty())
        CPaintManagerUI::SetResourceZip(m_zip.GetData(), false);
    CDialogBuilder builder;
    CControlUI* root = builder.Create(STRINGorID(m_skin.GetData()), nullptr, this, &m_pm);
    // A skin that cannot be read leaves an empty window rather than a tree-less manager.
    if (root != nullptr)
        m_pm.AttachDialog(root);
    m_pm.AddNotifier(this);
    InitWindow();
    bHandled = TRUE;
    return 0;
}

void CDlgBase::InitWindow()
{
    if (controls::FindAny(m_pm, L"TitleLab"))
        controls::SetText(m_pm, L"TitleLab", m_title.GetData());
    if (controls::FindAny(m_pm, L"TextLab"))
        controls::SetText(m_pm, L"TextLab", m_text.GetData());
    if (m_mode == 0)
        controls::SetVisible(m_pm, L"CancelBtn", false);
    else if (m_mode == 1)
        controls::SetVisible(m_pm, L"CancelBtn", true);
    CenterWindow();
}

LRESULT CDlgBase::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    static const wchar_t* const kClientClasses[] = {L"Button", nullptr};
    BOOL bHandled = TRUE;
    LRESULT lRes = 0;
    switch (uMsg) {
    case WM_CREATE:
        lRes = OnCreate(uMsg, wParam, lParam, bHandled);
        break;
    case WM_ACTIVATE:
        if (!m_zip.IsEmpty())
            CPaintManagerUI::SetResourceZip(m_zip.GetData(), false);
        return 0;
    case WM_NCCALCSIZE:
    case WM_NCPAINT:
    case WM_NCLBUTTONDBLCLK:
        return 0;
    case WM_NCACTIVATE:
        return 1;
    case WM_NCHITTEST:
        return CaptionHitTest(m_hWnd, m_pm, lParam, kClientClasses);
    case WM_SYSCOMMAND:
        if (wParam == SC_KEYMENU)
            return 0;
        bHandled = FALSE;
        break;
    default:
        bHandled = FALSE;
        break;
    }
    if (bHandled)
        return lRes;
    if (!m_pm.MessageHandler(uMsg, wParam, lParam, lRes))
        lRes = CWindowWnd::HandleMessage(uMsg, wParam, lParam);
    if (uMsg == WM_PAINT)
        consoleevents::Painted(m_pm);
    return lRes;
}

void CDlgBase::Notify(TNotifyRecord& msg)
{
    if (_wcsicmp(msg.sType.GetData(), L"click") != 0 || msg.pSender == nullptr)
        return;
    CUIString name = msg.pSender->GetName();
    if (name == L"OkBtn")
        Close(1);
    else if (name == L"CancelBtn" || name == L"CloseBtn")
        Close(0);
}
