#include "UIDateTime.h"
#include "UIManager.h"
#include "UINativeChild.h"

#include <commctrl.h>
#include <stdio.h>
#include <wchar.h>

namespace Veneer {

// ---------------------------------------------------------------------------------------------
// Native picker

CDateTimeWnd::CDateTimeWnd() : m_pOwner(NULL), m_bInit(false) {}

const wchar_t* CDateTimeWnd::GetWindowClassName() const { return L"DateTimeWnd"; }
const wchar_t* CDateTimeWnd::GetSuperClassName() const { return DATETIMEPICK_CLASSW; }

void CDateTimeWnd::DetachOwner() { m_pOwner = NULL; }

RECT CDateTimeWnd::CalcWindowRect()
{
    RECT rcEmpty = {0, 0, 0, 0};
    if (m_pOwner == NULL) return rcEmpty;
    return ClipToAncestors(m_pOwner, m_pOwner->GetPos());
}

void CDateTimeWnd::Init(CDateTimeUI* pOwner)
{
    m_pOwner = pOwner;
    m_pOwner->m_nDTUpdateFlag = CDateTimeUI::DT_NONE;
    CPaintManagerUI* pManager = pOwner->GetManager();
    if (m_hWnd == NULL) {
        // The picker's class exists only once the common controls have registered it.
        static bool s_bRegistered = false;
        if (!s_bRegistered) {
            INITCOMMONCONTROLSEX icc = {sizeof(icc), ICC_DATE_CLASSES};
            s_bRegistered = ::InitCommonControlsEx(&icc) != FALSE;
        }
        RECT rcPos = CalcWindowRect();
        Create(pManager->GetPaintWindow(), NULL, WS_CHILD, 0, rcPos);
        if (m_hWnd == NULL) return;
        HFONT hFont = NULL;
        if (pOwner->GetFont() != -1) hFont = pManager->GetFont(pOwner->GetFont());
        if (hFont == NULL) hFont = pManager->GetDefaultFontInfo()->hFont;
        SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(hFont), TRUE);
    }
    if (pOwner->GetText().IsEmpty()) ::GetLocalTime(&pOwner->m_sysTime);
    SendMessage(DTM_SETSYSTEMTIME, GDT_VALID, reinterpret_cast<LPARAM>(&pOwner->m_sysTime));
    ::ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
    ::SetFocus(m_hWnd);
    m_bInit = true;
}

LRESULT CDateTimeWnd::OnKillFocus(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    LRESULT lRes = CWindowWnd::HandleMessage(uMsg, wParam, lParam);
    // Without an owner the control is destroying this window itself.
    if (m_pOwner == NULL) return lRes;
    if (m_pOwner->m_nDTUpdateFlag == CDateTimeUI::DT_NONE) {
        SYSTEMTIME st;
        ::ZeroMemory(&st, sizeof(st));
        if (SendMessage(DTM_GETSYSTEMTIME, 0, reinterpret_cast<LPARAM>(&st)) == GDT_VALID) m_pOwner->m_sysTime = st;
        m_pOwner->m_nDTUpdateFlag = CDateTimeUI::DT_UPDATE;
        m_pOwner->UpdateText();
    }
    CPaintManagerUI* pManager = m_pOwner->GetManager();
    if (pManager != NULL && reinterpret_cast<HWND>(wParam) != pManager->GetPaintWindow())
        ::SendMessageW(pManager->GetPaintWindow(), WM_KILLFOCUS, wParam, lParam);
    // Closing destroys the window and deletes this object before SendMessage returns (also when
    // this focus loss comes from a close already under way).
    if (::IsWindow(m_hWnd)) SendMessage(WM_CLOSE);
    return lRes;
}

LRESULT CDateTimeWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_CREATE:
        if (m_pOwner != NULL && m_pOwner->GetManager() != NULL)
            m_pOwner->GetManager()->AddNativeWindow(m_pOwner, m_hWnd);
        break;
    case WM_KILLFOCUS:
        return OnKillFocus(uMsg, wParam, lParam);
    case WM_KEYUP:
        if (m_pOwner != NULL && (wParam == VK_DELETE || wParam == VK_BACK || wParam == VK_ESCAPE)) {
            LRESULT lRes = CWindowWnd::HandleMessage(uMsg, wParam, lParam);
            if (m_pOwner == NULL) return lRes;
            if (wParam == VK_ESCAPE) {
                m_pOwner->m_nDTUpdateFlag = CDateTimeUI::DT_KEEP;
            } else {
                m_pOwner->m_nDTUpdateFlag = CDateTimeUI::DT_DELETE;
                m_pOwner->UpdateText();
            }
            PostMessage(WM_CLOSE);
            return lRes;
        }
        break;
    case WM_PAINT:
        if (m_pOwner != NULL && m_pOwner->GetManager() != NULL && m_pOwner->GetManager()->IsLayered())
            m_pOwner->GetManager()->AddNativeWindow(m_pOwner, m_hWnd);
        break;
    default:
        break;
    }
    return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

void CDateTimeWnd::OnFinalMessage(HWND hWnd)
{
    if (m_pOwner != NULL) {
        if (m_pOwner->GetManager() != NULL) m_pOwner->GetManager()->RemoveNativeWindow(hWnd);
        m_pOwner->m_pWindow = NULL;
        m_pOwner->Invalidate();
    }
    delete this;
}

// ---------------------------------------------------------------------------------------------
// Control

CDateTimeUI::CDateTimeUI() : m_nDTUpdateFlag(DT_NONE), m_pWindow(NULL)
{
    ::GetLocalTime(&m_sysTime);
    m_nDTUpdateFlag = DT_UPDATE;
    UpdateText();
    m_nDTUpdateFlag = DT_NONE;
}

CDateTimeUI::~CDateTimeUI()
{
    if (m_pWindow == NULL) return;
    // The picker must not call back into this control while it is torn down.
    CDateTimeWnd* pWindow = m_pWindow;
    m_pWindow = NULL;
    HWND hWnd = pWindow->GetHWND();
    if (m_pManager != NULL) m_pManager->RemoveNativeWindow(hWnd);
    pWindow->DetachOwner();
    if (::IsWindow(hWnd))
        ::DestroyWindow(hWnd);   // deletes pWindow
    else
        delete pWindow;
}

const wchar_t* CDateTimeUI::GetClass() const { return L"DateTime"; }

void* CDateTimeUI::GetInterface(const wchar_t* pstrName)
{
    if (pstrName != NULL && wcscmp(pstrName, L"DateTime") == 0) return static_cast<CDateTimeUI*>(this);
    return CLabelUI::GetInterface(pstrName);
}

UINT CDateTimeUI::GetControlFlags() const { return UIFLAG_TABSTOP; }

HWND CDateTimeUI::GetNativeWindow() const
{
    return m_pWindow != NULL ? m_pWindow->GetHWND() : NULL;
}

void CDateTimeUI::UpdateText()
{
    if (m_nDTUpdateFlag == DT_DELETE) {
        SetText(L"");
    } else if (m_nDTUpdateFlag == DT_UPDATE) {
        wchar_t szText[64];
        swprintf(szText, 64, L"%4d-%02d-%02d", m_sysTime.wYear, m_sysTime.wMonth, m_sysTime.wDay);
        SetText(szText);
    }
}

void CDateTimeUI::PlaceNativeWindow()
{
    if (m_pWindow != NULL) PlaceNativeChild(m_pWindow->GetHWND(), m_pWindow->CalcWindowRect());
}

void CDateTimeUI::SetPos(RECT rc, bool bNeedInvalidate)
{
    CControlUI::SetPos(rc, bNeedInvalidate);
    PlaceNativeWindow();
}

void CDateTimeUI::Move(SIZE szOffset, bool bNeedInvalidate)
{
    CControlUI::Move(szOffset, bNeedInvalidate);
    PlaceNativeWindow();
}

void CDateTimeUI::CloseIfHidden()
{
    if (IsVisible() || m_pWindow == NULL) return;
    // Taking the focus away closes the picker the ordinary way; a picker without the focus is
    // destroyed directly.
    HWND hWnd = m_pWindow->GetHWND();
    if (m_pManager != NULL && (::GetFocus() == hWnd || ::IsChild(hWnd, ::GetFocus())))
        ::SetFocus(m_pManager->GetPaintWindow());
    if (m_pWindow != NULL && ::IsWindow(hWnd)) ::DestroyWindow(hWnd);
}

void CDateTimeUI::SetVisible(bool bVisible)
{
    CControlUI::SetVisible(bVisible);
    CloseIfHidden();
}

void CDateTimeUI::SetInternVisible(bool bVisible)
{
    CControlUI::SetInternVisible(bVisible);
    CloseIfHidden();
}

void CDateTimeUI::DoEvent(tagTEventUI& event)
{
    if (!IsMouseEnabled() && event.Type >= UIEVENT__MOUSEBEGIN && event.Type <= UIEVENT__MOUSEEND) {
        if (m_pParent != NULL)
            m_pParent->DoEvent(event);
        else
            CLabelUI::DoEvent(event);
        return;
    }

    switch (event.Type) {
    case UIEVENT_SETCURSOR:
        if (IsEnabled()) {
            ::SetCursor(::LoadCursorW(NULL, IDC_IBEAM));
            return;
        }
        break;
    case UIEVENT_WINDOWSIZE:
        if (m_pWindow != NULL && m_pManager != NULL) m_pManager->RequestFocus(this);
        break;
    case UIEVENT_SCROLLWHEEL:
        if (m_pWindow != NULL) return;
        break;
    case UIEVENT_SETFOCUS:
        if (IsEnabled() && m_pWindow == NULL) {
            CDateTimeWnd* pWindow = new CDateTimeWnd();
            m_pWindow = pWindow;
            pWindow->Init(this);
            if (m_pWindow == pWindow) {
                if (pWindow->GetHWND() == NULL) {
                    m_pWindow = NULL;
                    delete pWindow;
                } else {
                    pWindow->ShowWindow(true, true);
                }
            }
        }
        break;
    case UIEVENT_KILLFOCUS:
        if (IsEnabled()) Invalidate();
        break;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
    case UIEVENT_RBUTTONDOWN:
        if (IsEnabled()) {
            if (m_pManager != NULL) m_pManager->ReleaseCapture();
            if (IsFocused() && m_pWindow == NULL) m_pWindow = new CDateTimeWnd();
            if (m_pWindow != NULL) {
                CDateTimeWnd* pWindow = m_pWindow;
                pWindow->Init(this);
                if (m_pWindow == pWindow) {
                    if (pWindow->GetHWND() == NULL) {
                        m_pWindow = NULL;
                        delete pWindow;
                    } else {
                        pWindow->ShowWindow(true, true);
                    }
                }
            }
        }
        return;
    case UIEVENT_MOUSEMOVE:
    case UIEVENT_BUTTONUP:
    case UIEVENT_CONTEXTMENU:
        return;
    default:
        break;
    }
    CLabelUI::DoEvent(event);
}

} // namespace Veneer
