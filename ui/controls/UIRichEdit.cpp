#include "UIRichEdit.h"
#include "UITxtWinHost.h"
#include "UIScrollBar.h"

#include <stdlib.h>
#include <wchar.h>
#include <vector>

namespace Veneer {

namespace {

// The control's own timer for the caret it paints in layered windows.
const UINT kCaretTimerId = 20;
const int kDefaultLimitText = 32767;
// Window messages 0x200 to 0x20D: the mouse messages that the filter may pass on.
const UINT kMouseFirst = 0x200;
const UINT kMouseLast = 0x20D;

bool IsMouseMessage(UINT uMsg)
{
    return uMsg >= kMouseFirst && uMsg <= kMouseLast;
}

bool IsKeyMessage(UINT uMsg)
{
    return uMsg >= WM_KEYFIRST && uMsg <= WM_KEYLAST;
}

bool Shown(const CScrollBarUI* pBar)
{
    return pBar != NULL && pBar->IsVisible();
}

bool Touches(const RECT& a, const RECT& b)
{
    RECT rcTemp;
    return ::IntersectRect(&rcTemp, &a, &b) != FALSE;
}

// Reads a decimal integer where p points and moves p past it and past the one separator after it.
long ReadInt(const wchar_t*& p)
{
    wchar_t* end = NULL;
    long v = wcstol(p, &end, 10);
    p = end;
    if (*p != L'\0')
        ++p;
    return v;
}

void Deflate(RECT& rc, const RECT& by)
{
    rc.left += by.left;
    rc.top += by.top;
    rc.right -= by.right;
    rc.bottom -= by.bottom;
}

} // namespace

CRichEditUI::CRichEditUI()
    : m_pTwh(NULL), m_bVScrollBarFixing(false), m_bWantTab(true), m_bWantReturn(true), m_bWantCtrlReturn(true),
      m_bTransparent(true), m_bRich(true), m_dwTextColor(0), m_iFont(-1), m_iLimitText(kDefaultLimitText),
      m_lTwhStyle(ES_MULTILINE), m_bDrawCaret(true), m_bInited(false)
{
    ::ZeroMemory(&m_rcTextPadding, sizeof(m_rcTextPadding));
}

CRichEditUI::~CRichEditUI()
{
    if (m_pTwh != NULL) {
        m_pTwh->Release();
        m_pTwh = NULL;
        if (m_pManager != NULL)
            m_pManager->RemoveMessageFilter(this);
    }
}

const wchar_t* CRichEditUI::GetClass() const
{
    return L"RichEdit";
}

void* CRichEditUI::GetInterface(const wchar_t* pstrName)
{
    if (pstrName != NULL && wcscmp(pstrName, L"RichEdit") == 0)
        return static_cast<CRichEditUI*>(this);
    return CContainerUI::GetInterface(pstrName);
}

UINT CRichEditUI::GetControlFlags() const
{
    return IsEnabled() ? 3u : 0u;
}

bool CRichEditUI::IsLayeredWindow() const
{
    return m_pManager != NULL && m_pManager->IsLayered();
}

// ---------------------------------------------------------------------------------------------
// Settings

bool CRichEditUI::IsWantTab() const { return m_bWantTab; }
void CRichEditUI::SetWantTab(bool bWantTab) { m_bWantTab = bWantTab; }
void CRichEditUI::SetWantReturn(bool bWantReturn) { m_bWantReturn = bWantReturn; }
void CRichEditUI::SetWantCtrlReturn(bool bWantCtrlReturn) { m_bWantCtrlReturn = bWantCtrlReturn; }

void CRichEditUI::SetTransparent(bool bTransparent)
{
    m_bTransparent = bTransparent;
    if (m_pTwh != NULL)
        m_pTwh->SetTransparent(bTransparent);
}

bool CRichEditUI::IsRich() const { return m_bRich; }

void CRichEditUI::SetRich(bool bRich)
{
    m_bRich = bRich;
    if (m_pTwh != NULL)
        m_pTwh->SetRichTextFlag(bRich);
}

void CRichEditUI::SetFont(int index)
{
    m_iFont = index;
    if (m_pTwh != NULL && m_pManager != NULL)
        m_pTwh->SetFont(m_pManager->GetFont(m_iFont));
}

DWORD CRichEditUI::GetTextColor() const { return m_dwTextColor; }

void CRichEditUI::SetTextColor(DWORD dwTextColor)
{
    m_dwTextColor = dwTextColor;
    if (m_pTwh != NULL)
        m_pTwh->SetColor(dwTextColor);
}

void CRichEditUI::SetLimitText(int iChars)
{
    m_iLimitText = iChars;
    if (m_pTwh != NULL)
        m_pTwh->LimitText(m_iLimitText);
}

void CRichEditUI::SetTextPadding(RECT rc)
{
    m_rcTextPadding = rc;
    Invalidate();
}

void CRichEditUI::SetMultiLine(bool bMultiLine)
{
    if (bMultiLine)
        m_lTwhStyle |= ES_MULTILINE;
    else
        m_lTwhStyle &= ~ES_MULTILINE;
    if (m_pTwh != NULL)
        m_pTwh->SetMultiLine(bMultiLine);
}

void CRichEditUI::SetVScrollBar(bool bShow)
{
    if (bShow) {
        m_lTwhStyle |= WS_VSCROLL | ES_DISABLENOSCROLL;
    } else {
        m_lTwhStyle &= ~WS_VSCROLL;
        if (!(m_lTwhStyle & WS_HSCROLL))
            m_lTwhStyle &= ~ES_DISABLENOSCROLL;
    }
    if (m_pTwh != NULL)
        m_pTwh->SetVScrollBar(bShow);
}

void CRichEditUI::SetHScrollBar(bool bShow)
{
    if (bShow) {
        m_lTwhStyle |= WS_HSCROLL | ES_DISABLENOSCROLL;
    } else {
        m_lTwhStyle &= ~WS_HSCROLL;
        if (!(m_lTwhStyle & WS_VSCROLL))
            m_lTwhStyle &= ~ES_DISABLENOSCROLL;
    }
    if (m_pTwh != NULL)
        m_pTwh->SetHScrollBar(bShow);
}

void CRichEditUI::SetAutoVScroll(bool bAuto)
{
    if (bAuto)
        m_lTwhStyle |= ES_AUTOVSCROLL;
    else
        m_lTwhStyle &= ~ES_AUTOVSCROLL;
    if (m_pTwh != NULL)
        m_pTwh->SetAutoVScroll(bAuto);
}

void CRichEditUI::SetAutoHScroll(bool bAuto)
{
    if (bAuto)
        m_lTwhStyle |= ES_AUTOHSCROLL;
    else
        m_lTwhStyle &= ~ES_AUTOHSCROLL;
    if (m_pTwh != NULL)
        m_pTwh->SetAutoHScroll(bAuto);
}

// ---------------------------------------------------------------------------------------------
// Text

long CRichEditUI::GetTextLength(DWORD dwFlags) const
{
    GETTEXTLENGTHEX textLenEx;
    textLenEx.flags = dwFlags;
    textLenEx.codepage = 1200;
    LRESULT lResult = 0;
    TxSendMessage(EM_GETTEXTLENGTHEX, (WPARAM)&textLenEx, 0, &lResult);
    return (long)lResult;
}

CUIString CRichEditUI::GetText() const
{
    // Without the engine the control keeps the text it was given.
    if (m_pTwh == NULL)
        return m_sText;
    long lLen = GetTextLength(GTL_DEFAULT);
    if (lLen < 0)
        lLen = 0;
    std::vector<wchar_t> buffer((size_t)lLen + 1, L'\0');
    GETTEXTEX gt;
    gt.cb = (DWORD)((lLen + 1) * sizeof(wchar_t));
    gt.flags = GT_DEFAULT;
    gt.codepage = 1200;
    gt.lpDefaultChar = NULL;
    gt.lpUsedDefChar = NULL;
    LRESULT lResult = 0;
    TxSendMessage(EM_GETTEXTEX, (WPARAM)&gt, (LPARAM)buffer.data(), &lResult);
    buffer[(size_t)lLen] = L'\0';
    return CUIString(buffer.data());
}

void CRichEditUI::SetText(const wchar_t* pstrText)
{
    m_sText = pstrText;
    if (m_pTwh == NULL)
        return;
    SetSel(0, -1);
    ReplaceSel(pstrText, false);
}

int CRichEditUI::SetSel(long nStartChar, long nEndChar)
{
    CHARRANGE cr;
    cr.cpMin = nStartChar;
    cr.cpMax = nEndChar;
    LRESULT lResult = 0;
    TxSendMessage(EM_EXSETSEL, 0, (LPARAM)&cr, &lResult);
    return (int)lResult;
}

void CRichEditUI::ReplaceSel(const wchar_t* lpszNewText, bool bCanUndo)
{
    LRESULT lResult = 0;
    TxSendMessage(EM_REPLACESEL, (WPARAM)(bCanUndo ? TRUE : FALSE), (LPARAM)(lpszNewText ? lpszNewText : L""),
                  &lResult);
}

HRESULT CRichEditUI::TxSendMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT* plresult) const
{
    // Callers read the result whatever the answer: never leave it unwritten.
    if (plresult != NULL)
        *plresult = 0;
    if (m_pTwh == NULL)
        return S_FALSE;
    if (msg == WM_KEYDOWN && LOWORD(wparam) == VK_RETURN) {
        if (!m_bWantReturn || (::GetKeyState(VK_CONTROL) < 0 && !m_bWantCtrlReturn)) {
            if (m_pManager != NULL)
                m_pManager->SendNotify(const_cast<CRichEditUI*>(this), L"return");
            return S_OK;
        }
    }
    LRESULT lDummy = 0;
    return m_pTwh->GetTextServices()->TxSendMessage(msg, wparam, lparam, plresult != NULL ? plresult : &lDummy);
}

bool CRichEditUI::OnTxViewChanged()
{
    return true;
}

void CRichEditUI::OnTxNotify(DWORD iNotify, void* pv)
{
    switch (iNotify) {
    case EN_CHANGE:
        if (m_pManager != NULL)
            m_pManager->SendNotify(this, L"textchanged");
        break;
    case EN_MSGFILTER:
    case EN_SELCHANGE:
    case EN_DROPFILES:
    case EN_PROTECTED:
    case EN_STOPNOUNDO:
    case EN_SAVECLIPBOARD:
    case EN_OLEOPFAILED:
    case EN_OBJECTPOSITIONS:
    case EN_LINK:
    case EN_DRAGDROPDONE: {
        if (pv == NULL || m_pManager == NULL)
            break;
        HWND hWnd = m_pManager->GetPaintWindow();
        NMHDR* phdr = static_cast<NMHDR*>(pv);
        phdr->hwndFrom = hWnd;
        phdr->idFrom = (UINT_PTR)::GetWindowLongPtrW(hWnd, GWL_ID);
        phdr->code = iNotify;
        ::SendMessageW(hWnd, WM_NOTIFY, (WPARAM)phdr->idFrom, (LPARAM)phdr);
        break;
    }
    default:
        break;
    }
}

// ---------------------------------------------------------------------------------------------
// Creation

void CRichEditUI::CreateHost(const CREATESTRUCTW* pcs)
{
    CTxtWinHost* pHost = new CTxtWinHost;
    if (pHost->Init(this, pcs))
        m_pTwh = pHost;
    else
        pHost->Release();
}

void CRichEditUI::DoInit()
{
    if (m_bInited)
        return;

    CREATESTRUCTW cs;
    ::ZeroMemory(&cs, sizeof(cs));
    cs.style = (LONG)m_lTwhStyle;
    cs.lpszName = m_sText.GetData();
    CreateHost(&cs);
    if (m_pTwh != NULL) {
        if (m_bTransparent)
            m_pTwh->SetTransparent(true);
        ITextServices* pServ = m_pTwh->GetTextServices();
        LRESULT lResult = 0;
        pServ->TxSendMessage(EM_SETLANGOPTIONS, 0, 0, &lResult);
        // The engine's event mask starts empty: without EN_CHANGE "textchanged" would never come.
        pServ->TxSendMessage(EM_SETEVENTMASK, 0, ENM_CHANGE, &lResult);
        m_pTwh->OnTxInPlaceActivate(NULL);
        m_pManager->AddMessageFilter(this);
        if (IsLayeredWindow())
            m_pManager->SetTimer(this, kCaretTimerId, ::GetCaretBlinkTime());
    }
    m_bInited = true;
}

// ---------------------------------------------------------------------------------------------
// Layout

SIZE CRichEditUI::EstimateSize(SIZE szAvailable)
{
    return CControlUI::EstimateSize(szAvailable);
}

LONG CRichEditUI::NaturalHeight(LONG width) const
{
    if (m_pTwh == NULL || m_pManager == NULL)
        return -1;
    SIZEL szExtent = {-1, -1};
    LONG lWidth = width;
    LONG lHeight = 0;
    if (FAILED(m_pTwh->GetTextServices()->TxGetNaturalSize(DVASPECT_CONTENT, m_pManager->GetPaintDC(), NULL, NULL,
                                                             TXTNS_FITTOCONTENT, &szExtent, &lWidth, &lHeight)))
        return -1;
    return lHeight;
}

void CRichEditUI::SetPos(RECT rc, bool bNeedInvalidate)
{
    CControlUI::SetPos(rc, bNeedInvalidate);
    rc = m_rcItem;
    Deflate(rc, m_rcInset);
    RECT rcScrollView = rc;

    const bool bVBarWasShown = Shown(m_pVerticalScrollBar);
    if (bVBarWasShown) {
        rc.top -= m_pVerticalScrollBar->GetScrollPos();
        rc.bottom -= m_pVerticalScrollBar->GetScrollPos();
        rc.bottom += m_pVerticalScrollBar->GetScrollRange();
        rc.right -= m_pVerticalScrollBar->GetFixedWidth();
        rcScrollView.right -= m_pVerticalScrollBar->GetFixedWidth();
    }
    if (Shown(m_pHorizontalScrollBar)) {
        rc.left -= m_pHorizontalScrollBar->GetScrollPos();
        rc.right -= m_pHorizontalScrollBar->GetScrollPos();
        rc.right += m_pHorizontalScrollBar->GetScrollRange();
        rc.bottom -= m_pHorizontalScrollBar->GetFixedHeight();
        rcScrollView.bottom -= m_pHorizontalScrollBar->GetFixedHeight();
    }

    if (m_pTwh != NULL) {
        RECT rcRich = rcScrollView;
        Deflate(rcRich, m_rcTextPadding);
        m_pTwh->SetClientRect(&rcRich);
        // The engine hides a bar that it thinks needless; a text taller than the view brings it back.
        if (m_pVerticalScrollBar != NULL &&
            ((bVBarWasShown && !m_pVerticalScrollBar->IsVisible()) || m_bVScrollBarFixing)) {
            RECT rcText = rc;
            Deflate(rcText, m_rcTextPadding);
            const LONG lHeight =
                NaturalHeight(rcText.right - rcText.left + m_pVerticalScrollBar->GetFixedWidth());
            if (lHeight > rcText.bottom - rcText.top) {
                m_pVerticalScrollBar->SetVisible(true);
                m_pVerticalScrollBar->SetScrollPos(0);
                m_bVScrollBarFixing = true;
            } else if (m_bVScrollBarFixing) {
                m_pVerticalScrollBar->SetVisible(false);
                m_bVScrollBarFixing = false;
            }
        }
    }

    // The bars sit at the right and bottom edges of the inset area.
    RECT rcInner = m_rcItem;
    Deflate(rcInner, m_rcInset);
    const bool bV = Shown(m_pVerticalScrollBar);
    const bool bH = Shown(m_pHorizontalScrollBar);
    if (bV) {
        const int cx = m_pVerticalScrollBar->GetFixedWidth();
        RECT rcBar = {rcInner.right - cx, rcInner.top, rcInner.right,
                      bH ? rcInner.bottom - m_pHorizontalScrollBar->GetFixedHeight() : rcInner.bottom};
        m_pVerticalScrollBar->SetPos(rcBar, false);
    }
    if (bH) {
        const int cy = m_pHorizontalScrollBar->GetFixedHeight();
        RECT rcBar = {rcInner.left, rcInner.bottom - cy,
                      bV ? rcInner.right - m_pVerticalScrollBar->GetFixedWidth() : rcInner.right, rcInner.bottom};
        m_pHorizontalScrollBar->SetPos(rcBar, false);
    }

    for (int i = 0; i < m_items.GetSize(); ++i) {
        CControlUI* pControl = static_cast<CControlUI*>(m_items[i]);
        if (!pControl->IsVisible())
            continue;
        if (pControl->IsFloat()) {
            SetFloatPos(i);
            continue;
        }
        int cx = rc.right - rc.left;
        int cy = rc.bottom - rc.top;
        if (cx < pControl->GetMinWidth()) cx = pControl->GetMinWidth();
        if (cx > pControl->GetMaxWidth()) cx = pControl->GetMaxWidth();
        if (cy < pControl->GetMinHeight()) cy = pControl->GetMinHeight();
        if (cy > pControl->GetMaxHeight()) cy = pControl->GetMaxHeight();
        RECT rcCtrl = {rc.left, rc.top, rc.left + cx, rc.top + cy};
        pControl->SetPos(rcCtrl, false);
    }
}

void CRichEditUI::Move(SIZE szOffset, bool bNeedInvalidate)
{
    CContainerUI::Move(szOffset, bNeedInvalidate);
    if (m_pTwh == NULL)
        return;
    RECT rc = m_rcItem;
    Deflate(rc, m_rcInset);
    Deflate(rc, m_rcTextPadding);
    if (Shown(m_pVerticalScrollBar))
        rc.right -= m_pVerticalScrollBar->GetFixedWidth();
    if (Shown(m_pHorizontalScrollBar))
        rc.bottom -= m_pHorizontalScrollBar->GetFixedHeight();
    m_pTwh->SetClientRect(&rc);
}

// ---------------------------------------------------------------------------------------------
// Scrolling: the engine scrolls, the bars follow through the host.

void CRichEditUI::SetScrollPos(SIZE szPos)
{
    int cx = 0;
    int cy = 0;
    if (Shown(m_pVerticalScrollBar)) {
        const int iLastScrollPos = m_pVerticalScrollBar->GetScrollPos();
        m_pVerticalScrollBar->SetScrollPos(szPos.cy);
        cy = m_pVerticalScrollBar->GetScrollPos() - iLastScrollPos;
    }
    if (Shown(m_pHorizontalScrollBar)) {
        const int iLastScrollPos = m_pHorizontalScrollBar->GetScrollPos();
        m_pHorizontalScrollBar->SetScrollPos(szPos.cx);
        cx = m_pHorizontalScrollBar->GetScrollPos() - iLastScrollPos;
    }
    if (cy != 0) {
        const int iPos = m_pVerticalScrollBar->GetScrollPos();
        LRESULT lResult = 0;
        TxSendMessage(WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, iPos), 0, &lResult);
        // A plain-text engine may pull the bar back; it keeps the position it had before the message.
        if (!m_bRich && m_pTwh != NULL && cy > 0 && Shown(m_pVerticalScrollBar) &&
            m_pVerticalScrollBar->GetScrollPos() < iPos)
            m_pVerticalScrollBar->SetScrollPos(iPos);
    }
    if (cx != 0) {
        LRESULT lResult = 0;
        TxSendMessage(WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, m_pHorizontalScrollBar->GetScrollPos()), 0,
                      &lResult);
    }
}

void CRichEditUI::LineUp()
{
    TxSendMessage(WM_VSCROLL, SB_LINEUP, 0, NULL);
}

void CRichEditUI::LineDown()
{
    const int iPos = Shown(m_pVerticalScrollBar) ? m_pVerticalScrollBar->GetScrollPos() : 0;
    TxSendMessage(WM_VSCROLL, SB_LINEDOWN, 0, NULL);
    // A plain-text engine may not move the bar forward: take it to the end then.
    if (!m_bRich && m_pTwh != NULL && Shown(m_pVerticalScrollBar) && m_pVerticalScrollBar->GetScrollPos() <= iPos)
        m_pVerticalScrollBar->SetScrollPos(m_pVerticalScrollBar->GetScrollRange());
}

void CRichEditUI::PageUp() { TxSendMessage(WM_VSCROLL, SB_PAGEUP, 0, NULL); }
void CRichEditUI::PageDown() { TxSendMessage(WM_VSCROLL, SB_PAGEDOWN, 0, NULL); }
void CRichEditUI::HomeUp() { TxSendMessage(WM_VSCROLL, SB_TOP, 0, NULL); }
void CRichEditUI::EndDown() { TxSendMessage(WM_VSCROLL, SB_BOTTOM, 0, NULL); }
void CRichEditUI::LineLeft() { TxSendMessage(WM_HSCROLL, SB_LINELEFT, 0, NULL); }
void CRichEditUI::LineRight() { TxSendMessage(WM_HSCROLL, SB_LINERIGHT, 0, NULL); }
void CRichEditUI::PageLeft() { TxSendMessage(WM_HSCROLL, SB_PAGELEFT, 0, NULL); }
void CRichEditUI::PageRight() { TxSendMessage(WM_HSCROLL, SB_PAGERIGHT, 0, NULL); }
void CRichEditUI::HomeLeft() { TxSendMessage(WM_HSCROLL, SB_LEFT, 0, NULL); }
void CRichEditUI::EndRight() { TxSendMessage(WM_HSCROLL, SB_RIGHT, 0, NULL); }

// ---------------------------------------------------------------------------------------------
// Events and the message filter

RECT CRichEditUI::CaretRect() const
{
    POINT pt = {0, 0};
    ::GetCaretPos(&pt);
    RECT rc = {pt.x, pt.y, pt.x, pt.y};
    if (m_pTwh != NULL) {
        rc.right += m_pTwh->GetCaretWidth();
        rc.bottom += m_pTwh->GetCaretHeight();
    }
    return rc;
}

void CRichEditUI::DoEvent(tagTEventUI& event)
{
    if (!IsMouseEnabled() && event.Type >= UIEVENT__MOUSEBEGIN && event.Type <= UIEVENT__MOUSEEND) {
        if (m_pParent != NULL)
            m_pParent->DoEvent(event);
        else
            CControlUI::DoEvent(event);
        return;
    }

    LRESULT lResult = 0;
    switch (event.Type) {
    case UIEVENT_SETCURSOR:
        if (IsEnabled() && m_pTwh != NULL && m_pTwh->DoSetCursor(NULL, &event.ptMouse))
            return;
        break;
    case UIEVENT_WINDOWSIZE:
        if (m_pTwh != NULL)
            m_pTwh->NeedFreshCaret();
        break;
    case UIEVENT_SETFOCUS:
        if (m_pTwh != NULL) {
            m_pTwh->OnTxInPlaceActivate(NULL);
            m_pTwh->GetTextServices()->TxSendMessage(WM_SETFOCUS, 0, 0, &lResult);
        }
        m_bFocused = true;
        Invalidate();
        return;
    case UIEVENT_KILLFOCUS:
        if (m_pTwh != NULL) {
            m_pTwh->OnTxInPlaceActivate(NULL);
            m_pTwh->GetTextServices()->TxSendMessage(WM_KILLFOCUS, 0, 0, &lResult);
        }
        m_bFocused = false;
        Invalidate();
        return;
    case UIEVENT_TIMER:
        if (event.wParam == kCaretTimerId) {
            if (m_pTwh != NULL && IsLayeredWindow() && IsFocused() && m_pManager != NULL &&
                ::GetFocus() == m_pManager->GetPaintWindow()) {
                m_bDrawCaret = !m_bDrawCaret;
                RECT rcCaret = CaretRect();
                RECT rcTemp = rcCaret;
                if (!::IntersectRect(&rcCaret, &rcTemp, &m_rcItem))
                    return;
                for (CControlUI* p = GetParent(); p != NULL; p = p->GetParent()) {
                    rcTemp = rcCaret;
                    if (!::IntersectRect(&rcCaret, &rcTemp, &p->GetPos()))
                        return;
                }
                m_pManager->Invalidate(rcCaret);
            }
        } else if (m_pTwh != NULL) {
            m_pTwh->GetTextServices()->TxSendMessage(WM_TIMER, event.wParam, event.lParam, &lResult);
        }
        return;
    case UIEVENT_SCROLLWHEEL:
        if (event.wKeyState & MK_CONTROL)
            return;
        break;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
    case UIEVENT_MOUSEMOVE:
    case UIEVENT_BUTTONUP:
    case UIEVENT_KEYDOWN:
    case UIEVENT_KEYUP:
    case UIEVENT_CHAR:
    case UIEVENT_SYSKEY:
        return;
    default:
        break;
    }
    CContainerUI::DoEvent(event);
}

LRESULT CRichEditUI::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled)
{
    if (!IsVisible() || !IsEnabled() || m_pTwh == NULL || m_pManager == NULL)
        return 0;
    if (!IsMouseEnabled() && IsMouseMessage(uMsg))
        return 0;
    // Plain wheel scrolling belongs to the container's events.
    if (uMsg == WM_MOUSEWHEEL && (LOWORD(wParam) & MK_CONTROL) == 0)
        return 0;

    HWND hWnd = m_pManager->GetPaintWindow();
    bool bWasHandled = true;
    if (IsMouseMessage(uMsg) || uMsg == WM_SETCURSOR) {
        if (!m_pTwh->IsCaptured()) {
            switch (uMsg) {
            case WM_LBUTTONDOWN:
            case WM_LBUTTONUP:
            case WM_LBUTTONDBLCLK:
            case WM_RBUTTONDOWN:
            case WM_RBUTTONUP: {
                POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
                CControlUI* pHover = m_pManager->FindControl(pt);
                if (pHover != NULL && pHover != this)
                    return 0;
                break;
            }
            default:
                break;
            }
        }
        POINT pt;
        if (uMsg == WM_SETCURSOR) {
            ::GetCursorPos(&pt);
            ::ScreenToClient(hWnd, &pt);
        } else if (uMsg == WM_MOUSEWHEEL) {
            pt.x = GET_X_LPARAM(lParam);
            pt.y = GET_Y_LPARAM(lParam);
            ::ScreenToClient(hWnd, &pt);
        } else {
            pt.x = GET_X_LPARAM(lParam);
            pt.y = GET_Y_LPARAM(lParam);
        }
        RECT rc;
        m_pTwh->GetControlRect(&rc);
        const bool bHit = m_pTwh->IsCaptured() || (::PtInRect(&rc, pt) && !m_pManager->IsCaptured());
        if (!bHit)
            return 0;
        if (uMsg == WM_SETCURSOR) {
            bWasHandled = false;
        } else if (uMsg == WM_LBUTTONDOWN || uMsg == WM_LBUTTONDBLCLK || uMsg == WM_RBUTTONDOWN) {
            if (!m_pManager->IsNoActivate())
                ::SetFocus(hWnd);
            SetFocus();
        }
    } else if (IsKeyMessage(uMsg)) {
        if (!IsFocused())
            return 0;
    } else if (uMsg == WM_IME_STARTCOMPOSITION) {
        if (IsFocused()) {
            POINT ptCaret = {0, 0};
            ::GetCaretPos(&ptCaret);
            HIMC hImc = ::ImmGetContext(hWnd);
            if (hImc != NULL) {
                COMPOSITIONFORM cfs;
                ::ZeroMemory(&cfs, sizeof(cfs));
                cfs.dwStyle = CFS_FORCE_POSITION;
                cfs.ptCurrentPos.x = ptCaret.x + m_pTwh->GetCaretWidth();
                cfs.ptCurrentPos.y = ptCaret.y;
                ::ImmSetCompositionWindow(hImc, &cfs);
                LOGFONTW lf;
                ::ZeroMemory(&lf, sizeof(lf));
                HFONT hFont = m_pManager->GetFont(m_iFont);
                if (hFont != NULL && ::GetObjectW(hFont, sizeof(lf), &lf) != 0)
                    ::ImmSetCompositionFontW(hImc, &lf);
                ::ImmReleaseContext(hWnd, hImc);
            }
        }
        return 0;
    } else if (uMsg == WM_CONTEXTMENU) {
        POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ::ScreenToClient(hWnd, &pt);
        if (m_pManager->FindControl(pt) != this)
            return 0;
    } else if (uMsg == WM_HELP) {
        bWasHandled = false;
    } else {
        return 0;
    }

    LRESULT lResult = 0;
    HRESULT hr = TxSendMessage(uMsg, wParam, lParam, &lResult);
    if (hr == S_OK)
        bHandled = bWasHandled;
    else if (IsKeyMessage(uMsg) || uMsg == WM_CHAR || uMsg == WM_IME_CHAR)
        bHandled = bWasHandled;
    else if (IsMouseMessage(uMsg) && m_pTwh != NULL && m_pTwh->IsCaptured())
        bHandled = bWasHandled;
    return lResult;
}

// ---------------------------------------------------------------------------------------------
// Attributes

void CRichEditUI::SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue)
{
    if (pstrName == NULL)
        return;
    if (pstrValue == NULL)
        pstrValue = L"";
    const bool bTrue = wcscmp(pstrValue, L"true") == 0;
    if (wcscmp(pstrName, L"vscrollbar") == 0) {
        SetVScrollBar(bTrue);
        CContainerUI::SetAttribute(pstrName, pstrValue);
    } else if (wcscmp(pstrName, L"autovscroll") == 0) {
        SetAutoVScroll(bTrue);
        CContainerUI::SetAttribute(pstrName, pstrValue);
    } else if (wcscmp(pstrName, L"hscrollbar") == 0) {
        SetHScrollBar(bTrue);
        CContainerUI::SetAttribute(pstrName, pstrValue);
    } else if (wcscmp(pstrName, L"autohscroll") == 0) {
        SetAutoHScroll(bTrue);
    } else if (wcscmp(pstrName, L"wanttab") == 0) {
        SetWantTab(bTrue);
    } else if (wcscmp(pstrName, L"wantreturn") == 0) {
        SetWantReturn(bTrue);
    } else if (wcscmp(pstrName, L"wantctrlreturn") == 0) {
        SetWantCtrlReturn(bTrue);
    } else if (wcscmp(pstrName, L"transparent") == 0) {
        SetTransparent(bTrue);
    } else if (wcscmp(pstrName, L"rich") == 0) {
        SetRich(bTrue);
    } else if (wcscmp(pstrName, L"multiline") == 0) {
        SetMultiLine(wcscmp(pstrValue, L"false") != 0);
    } else if (wcscmp(pstrName, L"readonly") == 0) {
        if (bTrue)
            m_lTwhStyle |= ES_READONLY;
    } else if (wcscmp(pstrName, L"password") == 0) {
        if (bTrue)
            m_lTwhStyle |= ES_PASSWORD;
    } else if (wcscmp(pstrName, L"align") == 0) {
        if (wcsstr(pstrValue, L"left") != NULL)
            m_lTwhStyle &= ~(ES_CENTER | ES_RIGHT);
        if (wcsstr(pstrValue, L"center") != NULL) {
            m_lTwhStyle &= ~ES_RIGHT;
            m_lTwhStyle |= ES_CENTER;
        }
        if (wcsstr(pstrValue, L"right") != NULL) {
            m_lTwhStyle &= ~ES_CENTER;
            m_lTwhStyle |= ES_RIGHT;
        }
    } else if (wcscmp(pstrName, L"font") == 0) {
        SetFont((int)wcstol(pstrValue, NULL, 10));
    } else if (wcscmp(pstrName, L"textcolor") == 0) {
        while (*pstrValue != L'\0' && *pstrValue <= L' ')
            ++pstrValue;
        if (*pstrValue == L'#')
            ++pstrValue;
        SetTextColor((DWORD)wcstoul(pstrValue, NULL, 16));
    } else if (wcscmp(pstrName, L"textpadding") == 0) {
        const wchar_t* p = pstrValue;
        RECT rc;
        rc.left = ReadInt(p);
        rc.top = ReadInt(p);
        rc.right = ReadInt(p);
        rc.bottom = ReadInt(p);
        SetTextPadding(rc);
    } else if (wcscmp(pstrName, L"maxchar") == 0) {
        SetLimitText((int)wcstol(pstrValue, NULL, 10));
    } else {
        CContainerUI::SetAttribute(pstrName, pstrValue);
    }
}

// ---------------------------------------------------------------------------------------------
// Painting

void CRichEditUI::PaintStatusImage(HDC hDC) {}
void CRichEditUI::PaintText(HDC hDC) {}

bool CRichEditUI::DoPaint(HDC hDC, const RECT& rcPaint, CControlUI* pStopControl)
{
    RECT rcTemp = {0, 0, 0, 0};
    if (!::IntersectRect(&rcTemp, &rcPaint, &m_rcItem))
        return true;

    CUIClipRegion clip;
    CUIClipRegion::ClipRect(hDC, rcTemp, clip);
    CControlUI::DoPaint(hDC, rcPaint, pStopControl);

    if (m_pTwh != NULL) {
        RECT rc;
        m_pTwh->GetControlRect(&rc);
        RECT rcUpdate = rcPaint;
        CUIBorderPenScope::Release(hDC);   // the text services draw with the DC as its container got it
        m_pTwh->GetTextServices()->TxDraw(DVASPECT_CONTENT, 0, NULL, NULL, hDC, NULL,
                                          reinterpret_cast<LPCRECTL>(&rc), NULL, &rcUpdate, NULL, 0,
                                          TXTVIEW_ACTIVE);
        if (m_bVScrollBarFixing && m_pVerticalScrollBar != NULL) {
            const LONG lHeight = NaturalHeight(rc.right - rc.left + m_pVerticalScrollBar->GetFixedWidth());
            if (lHeight >= 0 && lHeight <= rc.bottom - rc.top)
                NeedUpdate();
        }
    }

    if (m_items.GetSize() > 0) {
        RECT rcClient = GetClientPos();
        if (!::IntersectRect(&rcTemp, &rcPaint, &rcClient)) {
            for (int i = 0; i < m_items.GetSize(); ++i) {
                CControlUI* pControl = static_cast<CControlUI*>(m_items[i]);
                if (pControl == pStopControl)
                    return false;
                if (!pControl->IsVisible() || !Touches(rcPaint, pControl->GetPos()) || !pControl->IsFloat())
                    continue;
                if (Touches(m_rcItem, pControl->GetPos()) && !pControl->Paint(hDC, rcPaint, pStopControl))
                    return false;
            }
        } else {
            CUIClipRegion childClip;
            CUIClipRegion::ClipRect(hDC, rcTemp, childClip);
            for (int i = 0; i < m_items.GetSize(); ++i) {
                CControlUI* pControl = static_cast<CControlUI*>(m_items[i]);
                if (pControl == pStopControl)
                    return false;
                if (!pControl->IsVisible() || !Touches(rcPaint, pControl->GetPos()))
                    continue;
                if (pControl->IsFloat()) {
                    if (!Touches(m_rcItem, pControl->GetPos()))
                        continue;
                    CUIClipRegion::SelectOldClip(hDC, childClip);
                    const bool bGoOn = pControl->Paint(hDC, rcPaint, pStopControl);
                    CUIClipRegion::SelectNewClip(hDC, childClip);
                    if (!bGoOn)
                        return false;
                } else {
                    if (!Touches(rcClient, pControl->GetPos()))
                        continue;
                    if (!pControl->Paint(hDC, rcPaint, pStopControl))
                        return false;
                }
            }
        }
    }

    // The system caret does not show on a layered window: the control draws it in the blink phase.
    if (m_pTwh != NULL && m_pTwh->IsShowCaret() && IsLayeredWindow() && IsFocused() && m_bDrawCaret) {
        const RECT rcCaret = CaretRect();
        if (::PtInRect(&m_rcItem, {rcCaret.left, rcCaret.top})) {
            RECT rcLine = {rcCaret.left, rcCaret.top, rcCaret.left, rcCaret.bottom};
            CUIPainter::DrawLine(hDC, rcLine, m_pTwh->GetCaretWidth(), m_dwTextColor);
        }
    }

    CScrollBarUI* bars[2] = {m_pVerticalScrollBar, m_pHorizontalScrollBar};
    for (CScrollBarUI* pBar : bars) {
        if (pBar == NULL)
            continue;
        if (pBar == pStopControl)
            return false;
        if (pBar->IsVisible() && Touches(rcPaint, pBar->GetPos())) {
            if (!pBar->Paint(hDC, rcPaint, pStopControl))
                return false;
        }
    }
    return true;
}

} // namespace Veneer
