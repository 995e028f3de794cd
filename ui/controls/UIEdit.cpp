#include "UIEdit.h"
#include "UIButton.h"
#include "UIManager.h"
#include "UINativeChild.h"

#include <stdlib.h>
#include <wchar.h>

namespace Veneer {

namespace {

DWORD ParseEditColor(const wchar_t* pstrValue)
{
    if (*pstrValue == L'#') ++pstrValue;
    return (DWORD)wcstoul(pstrValue, NULL, 16);
}

bool IsMouseEvent(int type)
{
    return type >= UIEVENT__MOUSEBEGIN && type <= UIEVENT__MOUSEEND;
}

// Reflected child messages arrive with this added to their number.
const UINT kReflect = 0x2000;

// Each of the three low bytes of the background colour taken from 255.
DWORD InvertedColor(DWORD dwColor)
{
    return (~dwColor) & 0x00FFFFFF;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Native window

CEditWnd::CEditWnd() : m_pOwner(NULL), m_hBkBrush(NULL), m_bInit(false), m_bDrawCaret(false), m_nNotifying(0) {}

const wchar_t* CEditWnd::GetWindowClassName() const { return L"EditWnd"; }
const wchar_t* CEditWnd::GetSuperClassName() const { return L"Edit"; }

void CEditWnd::DetachOwner() { m_pOwner = NULL; }
bool CEditWnd::IsNotifying() const { return m_nNotifying > 0; }

void CEditWnd::NotifyOwner(const wchar_t* pstrType)
{
    if (m_pOwner == NULL || m_pOwner->GetManager() == NULL) return;
    ++m_nNotifying;
    m_pOwner->GetManager()->SendNotify(m_pOwner, pstrType);
    --m_nNotifying;
}

bool CEditWnd::IsLayeredHost() const
{
    return m_pOwner != NULL && m_pOwner->GetManager() != NULL && m_pOwner->GetManager()->IsLayered();
}

void CEditWnd::Init(CEditUI* pOwner)
{
    m_pOwner = pOwner;
    CPaintManagerUI* pManager = pOwner->GetManager();
    RECT rcPos = CalcWindowRect();

    UINT uStyle = pOwner->GetWindowStyls() | WS_CHILD | ES_AUTOHSCROLL;
    const UINT uTextStyle = pOwner->GetTextStyle();
    if (uTextStyle & DT_CENTER)
        uStyle |= ES_CENTER;
    else if (uTextStyle & DT_RIGHT)
        uStyle |= ES_RIGHT;
    if (pOwner->IsPasswordMode()) uStyle |= ES_PASSWORD;
    Create(pManager->GetPaintWindow(), NULL, uStyle, 0, rcPos);
    if (m_hWnd == NULL) return;

    HFONT hFont = NULL;
    if (pOwner->GetFont() != -1) hFont = pManager->GetFont(pOwner->GetFont());
    if (hFont == NULL) hFont = pManager->GetDefaultFontInfo()->hFont;
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(hFont), TRUE);

    SendMessage(EM_LIMITTEXT, pOwner->GetMaxChar());
    if (pOwner->IsPasswordMode()) SendMessage(EM_SETPASSWORDCHAR, pOwner->GetPasswordChar());
    ::SetWindowTextW(m_hWnd, pOwner->GetText());
    SendMessage(EM_SETMODIFY, FALSE);
    SendMessage(EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(0, 0));
    ::EnableWindow(m_hWnd, pOwner->IsEnabled() ? TRUE : FALSE);
    SendMessage(EM_SETREADONLY, pOwner->IsReadOnly() ? TRUE : FALSE);
    ::ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
    ::SetFocus(m_hWnd);
    // The focus change may have closed the window again (a focus handler elsewhere took it back):
    // then this object is gone.
    if (pOwner->m_pWindow != this) return;
    const int nLength = ::GetWindowTextLengthW(m_hWnd);
    if (pOwner->IsAutoSelAll())
        SendMessage(EM_SETSEL, 0, nLength > 0 ? nLength : 1);
    else
        SendMessage(EM_SETSEL, nLength, nLength);
    m_bInit = true;
}

RECT CEditWnd::CalcWindowRect()
{
    RECT rcEmpty = {0, 0, 0, 0};
    if (m_pOwner == NULL) return rcEmpty;
    RECT rcPos = m_pOwner->GetPos();
    RECT rcInset = m_pOwner->GetTextPadding();
    rcPos.left += rcInset.left;
    rcPos.top += rcInset.top;
    rcPos.right -= rcInset.right;
    rcPos.bottom -= rcInset.bottom;
    return ClipToAncestors(m_pOwner, rcPos);
}

LRESULT CEditWnd::OnEditChanged()
{
    if (!m_bInit || m_pOwner == NULL) return 0;
    const int cchLen = ::GetWindowTextLengthW(m_hWnd) + 1;
    wchar_t* pstr = new wchar_t[cchLen];
    pstr[0] = L'\0';
    ::GetWindowTextW(m_hWnd, pstr, cchLen);
    m_pOwner->m_sText = pstr;
    delete[] pstr;
    NotifyOwner(L"textchanged");
    // A listener that destroyed the control detached it; the window itself closes later.
    if (m_pOwner != NULL && IsLayeredHost()) m_pOwner->Invalidate();
    return 0;
}

LRESULT CEditWnd::OnCtlColor(HDC hDC)
{
    if (m_pOwner == NULL) return 0;
    CPaintManagerUI* pManager = m_pOwner->GetManager();
    if (pManager != NULL && pManager->IsLayered() && !pManager->IsPainting())
        pManager->AddNativeWindow(m_pOwner, m_hWnd);
    const DWORD dwColor = m_pOwner->GetNativeBkColor();
    if (dwColor == 0xFFFFFFFF) return 0;
    ::SetBkMode(hDC, TRANSPARENT);
    ::SetTextColor(hDC, InvertedColor(dwColor));
    if ((dwColor >> 24) < 0xFF) {
        // The control shows through: the brush is the window's place painted again, tinted.
        RECT rcWnd = {0, 0, 0, 0};
        ::GetWindowRect(m_hWnd, &rcWnd);
        ::MapWindowPoints(NULL, pManager->GetPaintWindow(), reinterpret_cast<POINT*>(&rcWnd), 2);
        HBITMAP hBitmap = CUIPainter::RenderToBitmap(pManager, rcWnd, NULL, dwColor);
        if (hBitmap == NULL) return 0;
        if (m_hBkBrush != NULL) ::DeleteObject(m_hBkBrush);
        m_hBkBrush = ::CreatePatternBrush(hBitmap);
        ::DeleteObject(hBitmap);
    } else if (m_hBkBrush == NULL) {
        m_hBkBrush = ::CreateSolidBrush(RGB((dwColor >> 16) & 0xFF, (dwColor >> 8) & 0xFF, dwColor & 0xFF));
    }
    return reinterpret_cast<LRESULT>(m_hBkBrush);
}

LRESULT CEditWnd::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    switch (uMsg) {
    case WM_CREATE:
        if (m_pOwner != NULL && m_pOwner->GetManager() != NULL) {
            m_pOwner->GetManager()->AddNativeWindow(m_pOwner, m_hWnd);
            if (m_pOwner->GetManager()->IsLayered()) ::SetTimer(m_hWnd, EDIT_CARET_TIMERID, ::GetCaretBlinkTime(), NULL);
        }
        break;
    case WM_KILLFOCUS: {
        LRESULT lRes = CWindowWnd::HandleMessage(uMsg, wParam, lParam);
        // Without an owner the control is destroying this window itself.
        if (m_pOwner == NULL) return lRes;
        CPaintManagerUI* pManager = m_pOwner->GetManager();
        if (pManager != NULL && reinterpret_cast<HWND>(wParam) != pManager->GetPaintWindow())
            ::SendMessageW(pManager->GetPaintWindow(), WM_KILLFOCUS, wParam, lParam);
        // Closing destroys the window and deletes this object before SendMessage returns; a
        // listener that moved the focus away lets the running notification end first.
        if (!::IsWindow(m_hWnd)) return lRes;
        if (IsNotifying())
            PostMessage(WM_CLOSE);
        else
            SendMessage(WM_CLOSE);
        return lRes;
    }
    case WM_COMMAND + kReflect:
        if (HIWORD(wParam) == EN_CHANGE) return OnEditChanged();
        if (HIWORD(wParam) == EN_UPDATE) {
            RECT rcClient = {0, 0, 0, 0};
            ::GetClientRect(m_hWnd, &rcClient);
            ::InvalidateRect(m_hWnd, &rcClient, FALSE);
        }
        return 0;
    case WM_KEYDOWN:
        if (wParam == VK_RETURN && m_pOwner != NULL) {
            NotifyOwner(L"return");
            return 0;
        }
        break;
    case WM_CTLCOLOREDIT + kReflect:
    case WM_CTLCOLORSTATIC + kReflect:
        return OnCtlColor(reinterpret_cast<HDC>(wParam));
    case WM_PAINT:
        if (IsLayeredHost()) m_pOwner->GetManager()->AddNativeWindow(m_pOwner, m_hWnd);
        break;
    case WM_PRINT:
        if (IsLayeredHost()) {
            LRESULT lRes = CWindowWnd::HandleMessage(uMsg, wParam, lParam);
            if (m_pOwner->IsEnabled() && m_bDrawCaret) {
                RECT rcClient = {0, 0, 0, 0};
                ::GetClientRect(m_hWnd, &rcClient);
                POINT ptCaret = {0, 0};
                ::GetCaretPos(&ptCaret);
                RECT rcCaret = {ptCaret.x, ptCaret.y + 1, ptCaret.x, ptCaret.y + rcClient.bottom - 1};
                CUIPainter::DrawLine(reinterpret_cast<HDC>(wParam), rcCaret, 1,
                                     InvertedColor(m_pOwner->GetNativeBkColor()));
            }
            return lRes;
        }
        break;
    case WM_TIMER:
        if (wParam == EDIT_CARET_TIMERID) {
            m_bDrawCaret = !m_bDrawCaret;
            RECT rcClient = {0, 0, 0, 0};
            ::GetClientRect(m_hWnd, &rcClient);
            ::InvalidateRect(m_hWnd, &rcClient, FALSE);
            return 0;
        }
        break;
    default:
        break;
    }
    return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

void CEditWnd::OnFinalMessage(HWND hWnd)
{
    if (m_hBkBrush != NULL) ::DeleteObject(m_hBkBrush);
    m_hBkBrush = NULL;
    if (m_pOwner != NULL) {
        m_pOwner->Invalidate();
        if (m_pOwner->GetManager() != NULL) m_pOwner->GetManager()->RemoveNativeWindow(hWnd);
        m_pOwner->m_pWindow = NULL;
    }
    delete this;
}

// ---------------------------------------------------------------------------------------------
// Control

CEditUI::CEditUI()
    : m_pWindow(NULL),
      m_uMaxChar(255),
      m_bReadOnly(false),
      m_bPasswordMode(false),
      m_bAutoSelAll(false),
      m_cPasswordChar(L'*'),
      m_uButtonState(0),
      m_dwEditbkColor(0xFFFFFFFF),
      m_iWindowStyls(0)
{
    ::SetRect(&m_rcTextPadding, 4, 3, 4, 3);
}

CEditUI::~CEditUI()
{
    if (m_pWindow == NULL) return;
    // The window must not call back into this control while it is torn down.
    CEditWnd* pWindow = m_pWindow;
    m_pWindow = NULL;
    HWND hWnd = pWindow->GetHWND();
    if (m_pManager != NULL) m_pManager->RemoveNativeWindow(hWnd);
    pWindow->DetachOwner();
    if (!::IsWindow(hWnd))
        delete pWindow;
    else if (pWindow->IsNotifying())
        ::PostMessageW(hWnd, WM_CLOSE, 0, 0);   // a listener of the window's own notification
    else
        ::DestroyWindow(hWnd);   // deletes pWindow
}

const wchar_t* CEditUI::GetClass() const { return L"Edit"; }

void* CEditUI::GetInterface(const wchar_t* pstrName)
{
    if (pstrName != NULL && wcscmp(pstrName, L"Edit") == 0) return static_cast<CEditUI*>(this);
    return CLabelUI::GetInterface(pstrName);
}

UINT CEditUI::GetControlFlags() const
{
    return IsEnabled() ? (UIFLAG_TABSTOP | UIFLAG_SETCURSOR) : 0;
}

HWND CEditUI::GetNativeWindow() const
{
    return m_pWindow != NULL ? m_pWindow->GetHWND() : NULL;
}

void CEditUI::SetEnabled(bool bEnable)
{
    CControlUI::SetEnabled(bEnable);
    if (!IsEnabled()) m_uButtonState = 0;
}

void CEditUI::SetText(const wchar_t* pstrText)
{
    m_sText = pstrText;
    if (m_pWindow != NULL) ::SetWindowTextW(m_pWindow->GetHWND(), m_sText);
    Invalidate();
}

void CEditUI::SetMaxChar(UINT uMax)
{
    m_uMaxChar = uMax;
    if (m_pWindow != NULL) ::SendMessageW(m_pWindow->GetHWND(), EM_LIMITTEXT, m_uMaxChar, 0);
}

UINT CEditUI::GetMaxChar() const { return m_uMaxChar; }

void CEditUI::SetReadOnly(bool bReadOnly)
{
    if (m_bReadOnly == bReadOnly) return;
    m_bReadOnly = bReadOnly;
    if (m_pWindow != NULL) ::SendMessageW(m_pWindow->GetHWND(), EM_SETREADONLY, m_bReadOnly ? TRUE : FALSE, 0);
    Invalidate();
}

bool CEditUI::IsReadOnly() const { return m_bReadOnly; }

void CEditUI::SetNumberOnly(bool bNumberOnly)
{
    if (bNumberOnly)
        m_iWindowStyls |= ES_NUMBER;
    else
        m_iWindowStyls &= ~ES_NUMBER;
}

UINT CEditUI::GetWindowStyls() const { return (UINT)m_iWindowStyls; }

void CEditUI::SetPasswordMode(bool bPasswordMode)
{
    if (m_bPasswordMode == bPasswordMode) return;
    m_bPasswordMode = bPasswordMode;
    Invalidate();
}

bool CEditUI::IsPasswordMode() const { return m_bPasswordMode; }
wchar_t CEditUI::GetPasswordChar() const { return m_cPasswordChar; }

void CEditUI::SetAutoSelAll(bool bAutoSelAll) { m_bAutoSelAll = bAutoSelAll; }
bool CEditUI::IsAutoSelAll() const { return m_bAutoSelAll; }
void CEditUI::SetNativeBkColor(DWORD dwBkColor) { m_dwEditbkColor = dwBkColor; }
DWORD CEditUI::GetNativeBkColor() const { return m_dwEditbkColor; }

void CEditUI::ReplaceImage(TImageDesc& desc, const wchar_t* pStrImage)
{
    if (desc.sDescription == pStrImage && desc.pImage != NULL) return;
    desc.Clear();
    desc.sDescription = pStrImage;
    Invalidate();
}

void CEditUI::SetNormalImage(const wchar_t* pStrImage) { ReplaceImage(m_diNormal, pStrImage); }
void CEditUI::SetHotImage(const wchar_t* pStrImage) { ReplaceImage(m_diHot, pStrImage); }
void CEditUI::SetFocusedImage(const wchar_t* pStrImage) { ReplaceImage(m_diFocused, pStrImage); }
void CEditUI::SetDisabledImage(const wchar_t* pStrImage) { ReplaceImage(m_diDisabled, pStrImage); }

void CEditUI::PlaceNativeWindow()
{
    if (m_pWindow != NULL) PlaceNativeChild(m_pWindow->GetHWND(), m_pWindow->CalcWindowRect());
}

void CEditUI::SetPos(RECT rc, bool bNeedInvalidate)
{
    CControlUI::SetPos(rc, bNeedInvalidate);
    PlaceNativeWindow();
}

void CEditUI::Move(SIZE szOffset, bool bNeedInvalidate)
{
    CControlUI::Move(szOffset, bNeedInvalidate);
    PlaceNativeWindow();
}

void CEditUI::CloseIfHidden()
{
    if (IsVisible() || m_pWindow == NULL || m_pManager == NULL) return;
    m_pManager->SetFocus(NULL, true);
}

void CEditUI::SetVisible(bool bVisible)
{
    CControlUI::SetVisible(bVisible);
    CloseIfHidden();
}

void CEditUI::SetInternVisible(bool bVisible)
{
    CControlUI::SetInternVisible(bVisible);
    CloseIfHidden();
}

SIZE CEditUI::EstimateSize(SIZE szAvailable)
{
    if (m_cxyFixed.cy != 0 || m_pManager == NULL) return CControlUI::EstimateSize(szAvailable);
    SIZE sz = {m_cxyFixed.cx, m_pManager->GetFontInfo(m_iFont)->tm.tmHeight + 8};
    return sz;
}

void CEditUI::OpenNativeWindow()
{
    CEditWnd* pWindow = new CEditWnd();
    m_pWindow = pWindow;
    pWindow->Init(this);
    // A window that could not be made never reaches its final message.
    if (m_pWindow == pWindow && pWindow->GetHWND() == NULL) {
        m_pWindow = NULL;
        delete pWindow;
    }
}

void CEditUI::DoEvent(tagTEventUI& event)
{
    if (!IsMouseEnabled() && IsMouseEvent(event.Type)) {
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
        if (IsEnabled()) {
            if (m_pWindow != NULL) return;
            OpenNativeWindow();
            Invalidate();
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
            if (IsFocused() && m_pWindow == NULL) {
                OpenNativeWindow();
            } else if (m_pWindow != NULL && !m_bAutoSelAll) {
                HWND hWnd = m_pWindow->GetHWND();
                ::SendMessageW(hWnd, EM_SETSEL, 0, 0);
                POINT pt = event.ptMouse;
                pt.x -= m_rcItem.left + m_rcTextPadding.left;
                pt.y -= m_rcItem.top + m_rcTextPadding.top;
                ::SendMessageW(hWnd, WM_LBUTTONDOWN, event.wParam, MAKELPARAM(pt.x, pt.y));
            }
        }
        return;
    case UIEVENT_MOUSEMOVE:
    case UIEVENT_BUTTONUP:
    case UIEVENT_CONTEXTMENU:
        return;
    case UIEVENT_MOUSEENTER:
        if (::PtInRect(&m_rcItem, event.ptMouse) && IsEnabled() && (m_uButtonState & UISTATE_HOT) == 0) {
            m_uButtonState |= UISTATE_HOT;
            Invalidate();
        }
        break;
    case UIEVENT_MOUSELEAVE:
        if (::PtInRect(&m_rcItem, event.ptMouse)) {
            if (m_pManager != NULL) m_pManager->AddMouseLeaveListener(this);
            return;
        }
        if (IsEnabled() && (m_uButtonState & UISTATE_HOT) != 0) {
            m_uButtonState &= ~UISTATE_HOT;
            Invalidate();
        }
        if (m_pManager != NULL) m_pManager->RemoveMouseLeaveListener(this);
        break;
    default:
        break;
    }
    CLabelUI::DoEvent(event);
}

void CEditUI::SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue)
{
    if (wcscmp(pstrName, L"readonly") == 0)
        SetReadOnly(wcscmp(pstrValue, L"true") == 0);
    else if (wcscmp(pstrName, L"numberonly") == 0)
        SetNumberOnly(wcscmp(pstrValue, L"true") == 0);
    else if (wcscmp(pstrName, L"password") == 0)
        SetPasswordMode(wcscmp(pstrValue, L"true") == 0);
    else if (wcscmp(pstrName, L"autoselall") == 0)
        SetAutoSelAll(wcscmp(pstrValue, L"true") == 0);
    else if (wcscmp(pstrName, L"maxchar") == 0)
        SetMaxChar((UINT)wcstoul(pstrValue, NULL, 10));
    else if (wcscmp(pstrName, L"normalimage") == 0)
        SetNormalImage(pstrValue);
    else if (wcscmp(pstrName, L"hotimage") == 0)
        SetHotImage(pstrValue);
    else if (wcscmp(pstrName, L"focusedimage") == 0)
        SetFocusedImage(pstrValue);
    else if (wcscmp(pstrName, L"disabledimage") == 0)
        SetDisabledImage(pstrValue);
    else if (wcscmp(pstrName, L"nativebkcolor") == 0)
        SetNativeBkColor(ParseEditColor(pstrValue));
    else
        CLabelUI::SetAttribute(pstrName, pstrValue);
}

void CEditUI::PaintStatusImage(HDC hDC)
{
    if (IsFocused())
        m_uButtonState |= UISTATE_FOCUSED;
    else
        m_uButtonState &= ~UISTATE_FOCUSED;
    if (!IsEnabled())
        m_uButtonState |= UISTATE_DISABLED;
    else
        m_uButtonState &= ~UISTATE_DISABLED;

    if ((m_uButtonState & UISTATE_DISABLED) != 0 && DrawImage(hDC, m_diDisabled)) return;
    if ((m_uButtonState & UISTATE_FOCUSED) != 0 && DrawImage(hDC, m_diFocused)) return;
    if ((m_uButtonState & UISTATE_HOT) != 0 && DrawImage(hDC, m_diHot)) return;
    DrawImage(hDC, m_diNormal);
}

void CEditUI::PaintText(HDC hDC)
{
    ApplyDefaultColors();
    if (m_sText.IsEmpty()) return;

    CUIString sText = m_sText;
    if (m_bPasswordMode) {
        sText.Empty();
        for (const wchar_t* p = m_sText.GetData(); *p != L'\0'; p = ::CharNextW(p)) sText += m_cPasswordChar;
    }

    RECT rc = m_rcItem;
    rc.left += m_rcTextPadding.left;
    rc.right -= m_rcTextPadding.right;
    rc.top += m_rcTextPadding.top;
    rc.bottom -= m_rcTextPadding.bottom;
    const DWORD dwColor = IsEnabled() ? m_dwTextColor : m_dwDisabledTextColor;
    if (m_EnableEffect) {
        // One solid pass, never wrapped.
        const UINT uStyle = m_uTextStyle;
        m_uTextStyle |= DT_SINGLELINE;
        DrawTextSolidGdiplus(hDC, rc, sText, dwColor);
        m_uTextStyle = uStyle;
    } else {
        CUIPainter::DrawText(hDC, m_pManager, rc, sText, dwColor, m_iFont, m_uTextStyle | DT_SINGLELINE);
    }
}

} // namespace Veneer
