#include "MessageBoxExWnd.h"
#include <wchar.h>
#include "CaptionHitTest.h"
#include "ConsoleEvents.h"
#include "ControlAccess.h"
#include "UIControl.h"
#include "UIDlgBuilder.h"

using namespace Veneer;

CMessageBoxExWnd::CMessageBoxExWnd(const wchar_t* title, const wchar_t* text, int mode, const wchar_t* skin,
                                   const wchar_t* zip, int x, int y, int width, int height)
    : m_title(title), m_text(text), m_mode(mode), m_skin(skin), m_zip(zip), m_x(x), m_y(y), m_width(width),
      m_height(height)
{
}

CMessageBoxExWnd::~CMessageBoxExWnd()
{
    if (m_hWnd != NULL && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
    consoleevents::ManagerGone(m_pm);
}

const wchar_t* CMessageBoxExWnd::GetWindowClassName() const { return L"CMessageBoxExWnd"; }

UINT CMessageBoxExWnd::GetClassStyle() const { return CS_DBLCLKS; }

void CMessageBoxExWnd::OnFinalMessage(HWND) {}

void CMessageBoxExWnd::SetImagePath(const wchar_t* path) { m_imagePath = path ? path : L""; }

LRESULT CMessageBoxExWnd::OnCreate()
{
    LONG style = ::GetWindowLongW(m_hWnd, GWL_STYLE);
    style &= ~(WS_CAPTION | WS_THICKFRAME);
    style |= WS_CLIPSIBLINGS | WS_CLIPCHILDREN;
    ::SetWindowLongW(m_hWnd, GWL_STYLE, style);
    ::SetWindowLongW(m_hWnd, GWL_EXSTYLE, ::GetWindowLongW(m_hWnd, GWL_EXSTYLE));

    m_pm.Init(m_hWnd);
    CPaintManagerUI::SetResourceZip(m_zip.GetData(), false);
    CDialogBuilder builder;
    CControlUI* root = builder.Create(STRINGorID(m_skin.GetData()), nullptr, nullptr, &m_pm);
    if (root != nullptr)
        m_pm.AttachDialog(root);
    m_pm.AddNotifier(this);
    InitWindow();
    return 0;
}

void CMessageBoxExWnd::InitWindow()
{
    if (m_x != 0 && m_y != 0 && m_width != 0 && m_height != 0)
        ::MoveWindow(m_hWnd, m_x, m_y, m_width, m_height, FALSE);
    else
        CenterWindow();
    if (CControlUI* picture = controls::FindAny(m_pm, L"headimg"))
        picture->SetBkImage(m_imagePath.c_str());
}

LRESULT CMessageBoxExWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    static const wchar_t* const kClientClasses[] = {L"Button", nullptr};
    LRESULT lRes = 0;
    switch (uMsg) {
    case WM_CREATE:
        return OnCreate();
    case WM_ACTIVATE:
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
        break;
    default:
        break;
    }
    if (!m_pm.MessageHandler(uMsg, wParam, lParam, lRes))
        lRes = CWindowWnd::HandleMessage(uMsg, wParam, lParam);
    if (uMsg == WM_PAINT)
        consoleevents::Painted(m_pm, GetWindowClassName());
    return lRes;
}

void CMessageBoxExWnd::Notify(TNotifyRecord& msg)
{
    if (_wcsicmp(msg.sType.GetData(), L"click") != 0 || msg.pSender == nullptr)
        return;
    CUIString name = msg.pSender->GetName();
    if (name == L"OkBtn")
        Close(1);
    else if (name == L"CancelBtn" || name == L"CloseBtn")
        Close(0);
}
