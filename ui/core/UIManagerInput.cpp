// The paint manager, part two: input and painting. The window's messages, one handler per
// family (filters, layered frame, close, window, timer, mouse, buttons, keys and focus, child
// reflection), mouse hover and tooltips, and painting: double-buffered, layered and printed.
#include "UIManager.h"
#include "UIControl.h"
#include "UIManagerInternal.h"
#include <wchar.h>
#include <wctype.h>
#include <stdlib.h>
#include <string.h>

namespace Veneer {

using namespace manager_detail;

// ---------------------------------------------------------------------------------------------
// Window messages

namespace {
// A key event for a control: the character from the message, the mouse where it was last seen.
void SendKeyEvent(CControlUI* target, int type, UINT keyState, POINT mouse, WPARAM wParam, LPARAM lParam)
{
    TEventUI event;
    ::ZeroMemory(&event, sizeof(event));
    event.Type = type;
    event.pSender = target;
    event.chKey = (wchar_t)LOWORD(wParam);
    event.ptMouse = mouse;
    event.wKeyState = (WORD)keyState;
    event.dwTimestamp = ::GetTickCount();
    event.wParam = wParam;
    event.lParam = lParam;
    target->Event(event);
}
} // namespace

bool CPaintManagerUI::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes)
{
    if (m_hWndPaint == NULL) return false;
    if (RunMessageFilters(uMsg, wParam, lParam, lRes)) return true;
    if (m_bLayered && HandleLayeredFrameMessage(uMsg, wParam, lParam, lRes)) return true;

    switch (uMsg) {
    case UIMSG_ASYNCNOTIFY:
        DeliverAsyncNotify();
        return false;
    case WM_CLOSE:
        HandleCloseMessage();
        return false;
    case WM_ERASEBKGND:
    case WM_PAINT:
    case WM_PRINTCLIENT:
    case WM_GETMINMAXINFO:
    case WM_SIZE:
        return HandleWindowMessage(uMsg, wParam, lParam, lRes);
    case WM_TIMER:
        return HandleTimerMessage(uMsg, wParam, lParam, lRes);
    case WM_MOUSEHOVER:
    case WM_MOUSELEAVE:
    case WM_MOUSEMOVE:
    case WM_MOUSEWHEEL:
    case WM_SETCURSOR:
    case WM_MOUSEACTIVATE:
        return HandleMouseMessage(uMsg, wParam, lParam, lRes);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP:
    case WM_RBUTTONDOWN:
    case WM_CONTEXTMENU:
        return HandleButtonMessage(uMsg, wParam, lParam, lRes);
    case WM_KILLFOCUS:
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR:
        return HandleKeyMessage(uMsg, wParam, lParam, lRes);
    case WM_NOTIFY:
    case WM_COMMAND:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
        return ReflectChildMessage(uMsg, wParam, lParam, lRes);
    default:
        return false;
    }
}

// Message filters first; the first that handles the message consumes it (the mouse position is
// still recorded for the mouse messages it takes).
bool CPaintManagerUI::RunMessageFilters(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes)
{
    bool bConsumed = false;
    LRESULT lFilterRes = 0;
    ForEachListener<IMessageFilterUI>(m_aMessageFilters, [&](IMessageFilterUI* p) {
        bool bHandled = false;
        LRESULT r = p->MessageHandler(uMsg, wParam, lParam, bHandled);
        if (bHandled) {
            bConsumed = true;
            lFilterRes = r;
        }
        return !bConsumed;
    });
    if (bConsumed) {
        switch (uMsg) {
        case WM_MOUSEMOVE:
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
            m_ptLastMousePos.x = GET_X_LPARAM(lParam);
            m_ptLastMousePos.y = GET_Y_LPARAM(lParam);
            break;
        case WM_CONTEXTMENU:
        case WM_MOUSEWHEEL: {
            POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            ::ScreenToClient(m_hWndPaint, &pt);
            m_ptLastMousePos = pt;
            break;
        }
        default:
            break;
        }
        lRes = lFilterRes;
        return true;
    }
    return false;
}

// A layered window has no frame to compute, paint or activate.
bool CPaintManagerUI::HandleLayeredFrameMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes)
{
    switch (uMsg) {
    case WM_NCCALCSIZE:
    case WM_NCPAINT:
        lRes = 0;
        return true;
    case WM_NCACTIVATE:
        if (!::IsIconic(m_hWndPaint)) {
            lRes = (wParam == 0) ? TRUE : FALSE;
            return true;
        }
        break;
    default:
        break;
    }
    return false;
}

// The window closes: the hover control leaves, the pressed one is released, the focus goes
// back to the owner and the tooltip window goes.
void CPaintManagerUI::HandleCloseMessage()
{
    TEventUI event;
    ::ZeroMemory(&event, sizeof(event));
    event.ptMouse = m_ptLastMousePos;
    event.wKeyState = (WORD)MapKeyState();
    event.dwTimestamp = ::GetTickCount();
    if (m_pEventHover != NULL) {
        event.Type = UIEVENT_MOUSELEAVE;
        event.pSender = m_pEventHover;
        m_pEventHover->Event(event);
    }
    if (m_pEventClick != NULL) {
        event.Type = UIEVENT_BUTTONUP;
        event.pSender = m_pEventClick;
        m_pEventClick->Event(event);
    }
    SetFocus(NULL, true);
    HWND hwndParent = ::GetWindow(m_hWndPaint, GW_OWNER);
    if (hwndParent == NULL && (::GetWindowLongPtrW(m_hWndPaint, GWL_STYLE) & WS_CHILD) != 0)
        hwndParent = ::GetParent(m_hWndPaint);
    if (::GetActiveWindow() == m_hWndPaint && hwndParent != NULL) ::SetFocus(hwndParent);
    if (m_hwndTooltip != NULL) {
        ::DestroyWindow(m_hwndTooltip);
        m_hwndTooltip = NULL;
    }
}

// Background, painting, printing, size limits and resizing.
bool CPaintManagerUI::HandleWindowMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes)
{
    switch (uMsg) {
    case WM_ERASEBKGND:
        lRes = 1;
        return true;

    case WM_PAINT:
        DoPaint();
        return true;

    case WM_GETMINMAXINFO: {
        LPMINMAXINFO lpMMI = reinterpret_cast<LPMINMAXINFO>(lParam);
        if (m_szMinWindow.cx > 0) lpMMI->ptMinTrackSize.x = m_szMinWindow.cx;
        if (m_szMinWindow.cy > 0) lpMMI->ptMinTrackSize.y = m_szMinWindow.cy;
        if (m_szMaxWindow.cx > 0) lpMMI->ptMaxTrackSize.x = m_szMaxWindow.cx;
        if (m_szMaxWindow.cy > 0) lpMMI->ptMaxTrackSize.y = m_szMaxWindow.cy;
        return false;
    }

    case WM_SIZE: {
        if (m_pFocus != NULL) {
            TEventUI event;
            ::ZeroMemory(&event, sizeof(event));
            event.Type = UIEVENT_WINDOWSIZE;
            event.pSender = m_pFocus;
            event.dwTimestamp = ::GetTickCount();
            event.ptMouse = m_ptLastMousePos;
            event.wKeyState = (WORD)MapKeyState();
            event.wParam = wParam;
            event.lParam = lParam;
            m_pFocus->Event(event);
        }
        if (m_pRoot != NULL) m_pRoot->NeedUpdate();
        if (m_bLayered) Invalidate();
        return true;
    }

    case WM_PRINTCLIENT:
        if (m_pRoot == NULL) return false;
        DoPrintClient(reinterpret_cast<HDC>(wParam), lParam);
        return false;

    default:
        break;
    }
    return false;
}

// The layered repaint timer and the controls' timers.
bool CPaintManagerUI::HandleTimerMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes)
{
    switch (uMsg) {
    case WM_TIMER: {
        if (LOWORD(wParam) == UITIMER_LAYERED && m_bLayered) {
            if (!::IsRectEmpty(&m_rcLayeredUpdate) && !::IsIconic(m_hWndPaint)) {
                LRESULT lPaint = 0;
                MessageHandler(WM_PAINT, 0, 0, lPaint);
            }
            return false;
        }
        for (int i = 0; i < m_aTimers.GetSize(); ++i) {
            const TTimerEntry* pTimer = static_cast<TTimerEntry*>(m_aTimers[i]);
            if (pTimer->hWnd == m_hWndPaint && pTimer->uWinTimer == LOWORD(wParam) && !pTimer->bKilled) {
                TEventUI event;
                ::ZeroMemory(&event, sizeof(event));
                event.Type = UIEVENT_TIMER;
                event.pSender = pTimer->pSender;
                event.dwTimestamp = ::GetTickCount();
                event.ptMouse = m_ptLastMousePos;
                event.wKeyState = (WORD)MapKeyState();
                event.wParam = pTimer->nLocalID;
                event.lParam = lParam;
                pTimer->pSender->Event(event);
                break;
            }
        }
        return false;
    }

    default:
        break;
    }
    return false;
}

// Mouse movement, hover, leave, wheel, cursor shape and activation.
bool CPaintManagerUI::HandleMouseMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes)
{
    switch (uMsg) {
    case WM_MOUSEHOVER:
        if (m_pRoot == NULL) return false;
        return HandleMouseHover(wParam, lParam);

    case WM_MOUSELEAVE:
        if (m_pRoot == NULL) return false;
        HandleMouseLeave();
        return false;

    case WM_MOUSEMOVE:
        if (m_pRoot == NULL) return false;
        HandleMouseMove(wParam, lParam);
        return false;

    case WM_MOUSEWHEEL: {
        if (m_pRoot == NULL) return false;
        POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ::ScreenToClient(m_hWndPaint, &pt);
        m_ptLastMousePos = pt;
        CControlUI* pControl = FindOwnControl(pt);
        if (pControl == NULL) return false;
        int zDelta = GET_WHEEL_DELTA_WPARAM(wParam);
        TEventUI event;
        InitEvent(event, UIEVENT_SCROLLWHEEL, pControl, zDelta < 0 ? SB_LINEDOWN : SB_LINEUP, lParam);
        pControl->Event(event);
        // The content under the mouse may have moved: hover follows it.
        ::SendMessageW(m_hWndPaint, WM_MOUSEMOVE, 0, MAKELPARAM((WORD)pt.x, (WORD)pt.y));
        return false;
    }

    case WM_SETCURSOR: {
        if (m_pRoot == NULL || LOWORD(lParam) != HTCLIENT) return false;
        if (m_bMouseCapture) return true;
        POINT pt = {0, 0};
        ::GetCursorPos(&pt);
        ::ScreenToClient(m_hWndPaint, &pt);
        CControlUI* pControl = FindOwnControl(pt);
        if (pControl == NULL || (pControl->GetControlFlags() & UIFLAG_SETCURSOR) == 0) return false;
        TEventUI event;
        InitEvent(event, UIEVENT_SETCURSOR, pControl, wParam, lParam);
        event.ptMouse = pt;
        pControl->Event(event);
        return true;
    }

    case WM_MOUSEACTIVATE:
        if (m_bNoActivate) {
            lRes = MA_NOACTIVATE;
            return true;
        }
        return false;

    default:
        break;
    }
    return false;
}

// Presses, releases and double clicks with capture; the right button and the context menu.
bool CPaintManagerUI::HandleButtonMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes)
{
    switch (uMsg) {
    case WM_LBUTTONDOWN: {
        if (m_pRoot == NULL) return false;
        if (!m_bNoActivate) ::SetFocus(m_hWndPaint);
        POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        m_ptLastMousePos = pt;
        CControlUI* pControl = FindOwnControl(pt);
        if (pControl == NULL) return false;
        m_pEventClick = pControl;
        pControl->SetFocus();
        // The focus change may have removed the control.
        if (m_pEventClick != pControl) return false;
        SetCapture();
        TEventUI event;
        InitEvent(event, UIEVENT_BUTTONDOWN, pControl, wParam, lParam);
        event.wKeyState = LOWORD(wParam);
        pControl->Event(event);
        return false;
    }

    case WM_LBUTTONDBLCLK: {
        if (m_pRoot == NULL) return false;
        if (!m_bNoActivate) ::SetFocus(m_hWndPaint);
        POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        m_ptLastMousePos = pt;
        CControlUI* pControl = FindOwnControl(pt);
        if (pControl == NULL) return false;
        SetCapture();
        // Recorded before the event so that a control that goes away in its handler is forgotten.
        m_pEventClick = pControl;
        TEventUI event;
        InitEvent(event, UIEVENT_DBLCLICK, pControl, 0, 0);
        event.wKeyState = LOWORD(wParam);
        pControl->Event(event);
        return false;
    }

    case WM_LBUTTONUP: {
        POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        m_ptLastMousePos = pt;
        // Released whenever held, even when the pressed control went away meanwhile.
        if (m_bMouseCapture || m_pEventClick != NULL) ReleaseCapture();
        if (m_pEventClick == NULL) return false;
        CControlUI* pClick = m_pEventClick;
        m_pEventClick = NULL;
        TEventUI event;
        InitEvent(event, UIEVENT_BUTTONUP, pClick, wParam, lParam);
        event.wKeyState = LOWORD(wParam);
        // The click may close the window and take this manager with it: nothing after the call.
        pClick->Event(event);
        return false;
    }

    case WM_RBUTTONDOWN: {
        if (m_pRoot == NULL) return false;
        if (!m_bNoActivate) ::SetFocus(m_hWndPaint);
        POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        m_ptLastMousePos = pt;
        CControlUI* pControl = FindOwnControl(pt);
        if (pControl == NULL) return false;
        // Recorded first so that a control removed by the focus change is forgotten at once.
        m_pEventClick = pControl;
        pControl->SetFocus();
        if (m_pEventClick != pControl) return false;
        TEventUI event;
        InitEvent(event, UIEVENT_RBUTTONDOWN, pControl, wParam, lParam);
        event.wKeyState = LOWORD(wParam);
        pControl->Event(event);
        return false;
    }

    case WM_CONTEXTMENU: {
        if (m_pRoot == NULL || m_bMouseCapture) return false;
        POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ::ScreenToClient(m_hWndPaint, &pt);
        m_ptLastMousePos = pt;
        if (m_pEventClick == NULL) return false;
        CControlUI* pClick = m_pEventClick;
        m_pEventClick = NULL;
        TEventUI event;
        InitEvent(event, UIEVENT_CONTEXTMENU, pClick, 0, reinterpret_cast<LPARAM>(pClick));
        event.wKeyState = LOWORD(wParam);
        pClick->Event(event);
        return false;
    }

    default:
        break;
    }
    return false;
}

// Keys go to the focused control; a native child that takes the focus hands it to its control.
bool CPaintManagerUI::HandleKeyMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes)
{
    switch (uMsg) {
    case WM_KILLFOCUS: {
        // wParam is the window that gets the focus: a native child of a control hands its
        // control the framework's focus.
        if (wParam == 0) return false;
        HWND hWnd = reinterpret_cast<HWND>(wParam);
        while (hWnd != NULL && ::GetParent(hWnd) != m_hWndPaint) hWnd = ::GetParent(hWnd);
        if (hWnd == NULL) return false;
        int i = m_aNativeWindow.Find(hWnd);
        if (i < 0) return false;
        CControlUI* pControl = static_cast<CControlUI*>(m_aNativeWindowControl[i]);
        if (pControl != m_pFocus) SetFocus(pControl, false);
        return false;
    }

    case WM_KEYDOWN: {
        if (m_pRoot == NULL || m_pFocus == NULL) return false;
        CControlUI* pFocus = m_pFocus;
        m_pEventKey = pFocus;
        SendKeyEvent(pFocus, UIEVENT_KEYDOWN, MapKeyState(), m_ptLastMousePos, wParam, lParam);
        return false;
    }

    case WM_KEYUP: {
        if (m_pRoot == NULL || m_pEventKey == NULL) return false;
        CControlUI* pKey = m_pEventKey;
        m_pEventKey = NULL;
        SendKeyEvent(pKey, UIEVENT_KEYUP, MapKeyState(), m_ptLastMousePos, wParam, lParam);
        return false;
    }

    case WM_CHAR: {
        if (m_pRoot == NULL || m_pFocus == NULL) return false;
        SendKeyEvent(m_pFocus, UIEVENT_CHAR, MapKeyState(), m_ptLastMousePos, wParam, lParam);
        return false;
    }

    default:
        break;
    }
    return false;
}

// Notifications of native child windows go back to them, 0x2000 added to the message number.
bool CPaintManagerUI::ReflectChildMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes)
{
    switch (uMsg) {
    case WM_NOTIFY:
        if (lParam == 0) return false;
        lRes = ::SendMessageW(reinterpret_cast<LPNMHDR>(lParam)->hwndFrom, uMsg + 0x2000, wParam, lParam);
        return true;

    case WM_COMMAND:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORSTATIC:
        if (lParam == 0) return false;
        lRes = ::SendMessageW(reinterpret_cast<HWND>(lParam), uMsg + 0x2000, wParam, lParam);
        return true;

    default:
        break;
    }
    return false;
}

// ---------------------------------------------------------------------------------------------
// Mouse input, hover and tooltips

void CPaintManagerUI::InitEvent(TEventUI& event, int iType, CControlUI* pSender, WPARAM wParam,
                                LPARAM lParam) const
{
    ::ZeroMemory(&event, sizeof(event));
    event.Type = iType;
    event.pSender = pSender;
    event.dwTimestamp = ::GetTickCount();
    event.ptMouse = m_ptLastMousePos;
    event.wKeyState = (WORD)MapKeyState();
    event.wParam = wParam;
    event.lParam = lParam;
}

// The control at a client point, when it belongs to this window; one hosted from another
// window's tree counts as no control.
CControlUI* CPaintManagerUI::FindOwnControl(POINT pt) const
{
    CControlUI* pControl = FindControl(pt);
    if (pControl != NULL && pControl->GetManager() != this) return NULL;
    return pControl;
}

void CPaintManagerUI::HandleMouseMove(WPARAM wParam, LPARAM lParam)
{
    if (!m_bMouseTracking) {
        TRACKMOUSEEVENT tme;
        ::ZeroMemory(&tme, sizeof(tme));
        tme.cbSize = sizeof(tme);
        tme.dwFlags = TME_HOVER | TME_LEAVE;
        tme.hwndTrack = m_hWndPaint;
        tme.dwHoverTime = (m_hwndTooltip == NULL)
                              ? (DWORD)m_iHoverTime
                              : (DWORD)::SendMessageW(m_hwndTooltip, TTM_GETDELAYTIME, TTDT_INITIAL, 0);
        ::_TrackMouseEvent(&tme);
        m_bMouseTracking = true;
    }

    POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    m_ptLastMousePos = pt;
    CControlUI* pControl = FindOwnControl(pt);
    if (pControl == NULL && FindControl(pt) != NULL) return;

    // While a button is held the hover control stays where the press began.
    if (!m_bMouseCapture) {
        CControlUI* pNewHover = FindOwnControl(pt);
        if (pNewHover != m_pEventHover && m_pEventHover != NULL) {
            CControlUI* pOldHover = m_pEventHover;
            TEventUI event;
            InitEvent(event, UIEVENT_MOUSELEAVE, pOldHover, wParam, lParam);
            // Listeners removed (or deleted) by an earlier listener are skipped.
            ForEachListener<CControlUI>(m_aNeedMouseLeaveNeeded, [&](CControlUI* p) {
                p->Event(event);
                return true;
            });
            // A listener may have removed the hover control; it was forgotten then.
            if (m_pEventHover == pOldHover) {
                InitEvent(event, UIEVENT_MOUSELEAVE, pOldHover, wParam, lParam);
                pOldHover->Event(event);
            }
            m_pEventHover = NULL;
            if (m_hwndTooltip != NULL) ::SendMessageW(m_hwndTooltip, TTM_TRACKACTIVATE, FALSE, (LPARAM)&m_ToolTip);
            // Handlers may have changed the tree under the point.
            pNewHover = FindOwnControl(pt);
            pControl = pNewHover;
        }
        if (pNewHover != m_pEventHover && pNewHover != NULL) {
            m_pEventHover = pNewHover;
            TEventUI event;
            InitEvent(event, UIEVENT_MOUSEENTER, pNewHover, wParam, lParam);
            pNewHover->Event(event);
            pControl = FindOwnControl(pt);
        }
    }

    CControlUI* pTarget = (m_pEventClick != NULL) ? m_pEventClick : pControl;
    if (pTarget != NULL) {
        TEventUI event;
        InitEvent(event, UIEVENT_MOUSEMOVE, pTarget, wParam, lParam);
        pTarget->Event(event);
    }
}

bool CPaintManagerUI::HandleMouseHover(WPARAM wParam, LPARAM lParam)
{
    m_bMouseTracking = false;
    POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    CControlUI* pHover = FindOwnControl(pt);
    if (pHover == NULL) return false;
    if (m_pEventHover != NULL) {
        TEventUI event;
        InitEvent(event, UIEVENT_MOUSEHOVER, m_pEventHover, wParam, lParam);
        event.ptMouse = pt;
        m_pEventHover->Event(event);
        // The hover handler may have changed the tree.
        pHover = FindOwnControl(pt);
        if (pHover == NULL) return true;
    }
    if (pHover->GetToolTip().IsEmpty()) return true;
    ShowToolTip(pHover, pt);
    return true;
}

void CPaintManagerUI::ShowToolTip(CControlUI* pControl, POINT pt)
{
    CUIString sToolTip = pControl->GetToolTip();
    ExpandLanguageTokens(sToolTip);

    ::ZeroMemory(&m_ToolTip, sizeof(m_ToolTip));
    m_ToolTip.cbSize = TTTOOLINFOW_V2_SIZE;
    m_ToolTip.uFlags = TTF_IDISHWND;
    m_ToolTip.hwnd = m_hWndPaint;
    m_ToolTip.uId = reinterpret_cast<UINT_PTR>(m_hWndPaint);
    m_ToolTip.hinst = m_hInstance;
    m_ToolTip.lpszText = const_cast<wchar_t*>(sToolTip.GetData());
    m_ToolTip.rect = pControl->GetPos();

    if (m_hwndTooltip == NULL) {
        m_hwndTooltip = ::CreateWindowExW(0, TOOLTIPS_CLASSW, NULL, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                                          CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                          m_hWndPaint, NULL, m_hInstance, NULL);
        if (m_hwndTooltip != NULL) {
            ::SendMessageW(m_hwndTooltip, TTM_ADDTOOLW, 0, (LPARAM)&m_ToolTip);
            ::SendMessageW(m_hwndTooltip, TTM_SETMAXTIPWIDTH, 0, pControl->GetToolTipWidth());
            ::SendMessageW(m_hwndTooltip, TTM_SETTOOLINFOW, 0, (LPARAM)&m_ToolTip);
            ::SendMessageW(m_hwndTooltip, TTM_TRACKACTIVATE, TRUE, (LPARAM)&m_ToolTip);
        }
    }
    if (m_hwndTooltip != NULL) {
        if (m_pLastToolTip == NULL) {
            m_pLastToolTip = pControl;
        } else if (m_pLastToolTip == pControl) {
            int iWidth = pControl->GetToolTipWidth();
            if (m_iTooltipWidth != iWidth) {
                ::SendMessageW(m_hwndTooltip, TTM_SETMAXTIPWIDTH, 0, iWidth);
                m_iTooltipWidth = iWidth;
            }
            ::SendMessageW(m_hwndTooltip, TTM_SETTOOLINFOW, 0, (LPARAM)&m_ToolTip);
            ::SendMessageW(m_hwndTooltip, TTM_TRACKACTIVATE, TRUE, (LPARAM)&m_ToolTip);
        } else {
            ::SendMessageW(m_hwndTooltip, TTM_SETMAXTIPWIDTH, 0, pControl->GetToolTipWidth());
            ::SendMessageW(m_hwndTooltip, TTM_SETTOOLINFOW, 0, (LPARAM)&m_ToolTip);
            ::SendMessageW(m_hwndTooltip, TTM_TRACKACTIVATE, TRUE, (LPARAM)&m_ToolTip);
        }
        // The tip is shown next to the resting mouse.
        POINT ptScreen = pt;
        ::ClientToScreen(m_hWndPaint, &ptScreen);
        ::SendMessageW(m_hwndTooltip, TTM_TRACKPOSITION, 0, MAKELPARAM((WORD)ptScreen.x, (WORD)ptScreen.y));
    }
    // The tooltip window keeps its own copy of the text.
    m_ToolTip.lpszText = NULL;
}

void CPaintManagerUI::HandleMouseLeave()
{
    if (m_hwndTooltip != NULL) ::SendMessageW(m_hwndTooltip, TTM_TRACKACTIVATE, FALSE, (LPARAM)&m_ToolTip);
    if (!m_bMouseTracking) return;
    POINT pt = {0, 0};
    RECT rcWnd = {0, 0, 0, 0};
    ::GetCursorPos(&pt);
    ::GetWindowRect(m_hWndPaint, &rcWnd);
    LPARAM lMove = (LPARAM)-1;  // (-1, -1): no control there, so the hover control is left
    if (!::IsIconic(m_hWndPaint) && ::GetActiveWindow() == m_hWndPaint && ::PtInRect(&rcWnd, pt)) {
        // Onto a child window inside the client area: hover follows the point.
        if (::SendMessageW(m_hWndPaint, WM_NCHITTEST, 0, MAKELPARAM((WORD)pt.x, (WORD)pt.y)) == HTCLIENT) {
            ::ScreenToClient(m_hWndPaint, &pt);
            lMove = MAKELPARAM((WORD)pt.x, (WORD)pt.y);
        }
    }
    ::SendMessageW(m_hWndPaint, WM_MOUSEMOVE, 0, lMove);
    m_bMouseTracking = false;
}

// ---------------------------------------------------------------------------------------------
// Painting

void CPaintManagerUI::DoPrintClient(HDC hDC, LPARAM lParam)
{
    RECT rcClient = {0, 0, 0, 0};
    ::GetClientRect(m_hWndPaint, &rcClient);
    int iSaveDC = ::SaveDC(hDC);
    HGDIOBJ hOldFont = ::SelectObject(hDC, GetDefaultFontInfo()->hFont);
    m_pRoot->Paint(hDC, rcClient, NULL);
    ::SelectObject(hDC, hOldFont);   // the native children print with the DC as it was given
    if ((lParam & PRF_CHILDREN) != 0) {
        for (HWND hChild = ::GetWindow(m_hWndPaint, GW_CHILD); hChild != NULL;
             hChild = ::GetWindow(hChild, GW_HWNDNEXT)) {
            RECT rcPos = GetNativeWindowRect(hChild);
            ::SetWindowOrgEx(hDC, -rcPos.left, -rcPos.top, NULL);
            ::SendMessageW(hChild, WM_PRINT, reinterpret_cast<WPARAM>(hDC), lParam | PRF_NONCLIENT);
        }
    }
    ::RestoreDC(hDC, iSaveDC);
}

// Native child windows do not draw into a layered window's image: each is printed into a
// transparent 32-bit image whose drawn pixels are made opaque, and copied in at its place.
void CPaintManagerUI::PrintNativeWindows(const RECT& rcPaint)
{
    for (int i = m_aNativeWindow.GetSize() - 1; i >= 0; --i) {
        HWND hChild = static_cast<HWND>(m_aNativeWindow[i]);
        if (!::IsWindow(hChild)) {
            m_aNativeWindow.Remove(i);
            m_aNativeWindowControl.Remove(i);
            continue;
        }
    }
    for (int i = 0; i < m_aNativeWindow.GetSize(); ++i) {
        HWND hChild = static_cast<HWND>(m_aNativeWindow[i]);
        if (!::IsWindowVisible(hChild)) continue;
        RECT rcChild = GetNativeWindowRect(hChild);
        RECT rcTemp = {0, 0, 0, 0};
        if (!::IntersectRect(&rcTemp, &rcPaint, &rcChild)) continue;
        int cx = rcChild.right - rcChild.left;
        int cy = rcChild.bottom - rcChild.top;
        if (cx <= 0 || cy <= 0) continue;
        BYTE* pBits = NULL;
        HDC hChildDC = ::CreateCompatibleDC(m_hDcPaint);
        HBITMAP hChildBmp = CUIPainter::CreateDib32(m_hDcPaint, cx, cy, &pBits);
        if (hChildDC != NULL && hChildBmp != NULL && pBits != NULL) {
            ::ZeroMemory(pBits, (size_t)cx * cy * 4);
            HBITMAP hOld = static_cast<HBITMAP>(::SelectObject(hChildDC, hChildBmp));
            ::SendMessageW(hChild, WM_PRINT, reinterpret_cast<WPARAM>(hChildDC),
                           PRF_CHECKVISIBLE | PRF_CLIENT | PRF_CHILDREN | PRF_OWNED);
            ::GdiFlush();
            DWORD* pPixel = reinterpret_cast<DWORD*>(pBits);
            for (size_t n = (size_t)cx * cy; n > 0; --n, ++pPixel)
                if (*pPixel != 0) *pPixel |= 0xFF000000;
            ::BitBlt(m_hDcOffscreen, rcChild.left, rcChild.top, cx, cy, hChildDC, 0, 0, SRCCOPY);
            ::SelectObject(hChildDC, hOld);
        }
        if (hChildBmp != NULL) ::DeleteObject(hChildBmp);
        if (hChildDC != NULL) ::DeleteDC(hChildDC);
    }
}

// Lays the off-screen image over the layered image's background and hands it to the window.
void CPaintManagerUI::ComposeLayered(const RECT& rcPaint)
{
    RECT rcClient = {0, 0, 0, 0};
    ::GetClientRect(m_hWndPaint, &rcClient);
    int cx = rcClient.right - rcClient.left;
    int cy = rcClient.bottom - rcClient.top;

    if (!m_diLayered.sDescription.IsEmpty()) {
        // The cache may have freed or replaced the image since the background was drawn.
        bool bDraw = m_bLayeredChanged ||
                     (m_diLayered.pImage != NULL && !CUIPainter::IsImageCurrent(this, m_diLayered));
        if (m_hbmpBackground == NULL) {
            if (m_hDcBackground == NULL) m_hDcBackground = ::CreateCompatibleDC(m_hDcPaint);
            m_hbmpBackground = CUIPainter::CreateDib32(m_hDcPaint, cx, cy, reinterpret_cast<BYTE**>(&m_pBackgroundBits));
            bDraw = true;
        }
        if (bDraw && m_hDcBackground != NULL && m_hbmpBackground != NULL && m_pBackgroundBits != NULL) {
            ::ZeroMemory(m_pBackgroundBits, (size_t)cx * cy * 4);
            RECT rcInset = rcClient;
            rcInset.left += m_rcLayeredInset.left;
            rcInset.top += m_rcLayeredInset.top;
            rcInset.right -= m_rcLayeredInset.right;
            rcInset.bottom -= m_rcLayeredInset.bottom;
            HBITMAP hOld = static_cast<HBITMAP>(::SelectObject(m_hDcBackground, m_hbmpBackground));
            {
                CUIClipRegion clip;
                CUIClipRegion::ClipRect(m_hDcBackground, rcInset, clip);
                CUIPainter::DrawImage(m_hDcBackground, this, rcInset, rcInset, m_diLayered);
            }
            ::SelectObject(m_hDcBackground, hOld);
        }
        if (CUIPainter::IsImageCurrent(this, m_diLayered) && m_diLayered.pImage->bAlpha && m_pBackgroundBits != NULL &&
            m_pOffscreenBits != NULL) {
            ::GdiFlush();
            RECT rc = rcPaint;
            if (rc.left < 0) rc.left = 0;
            if (rc.top < 0) rc.top = 0;
            if (rc.right > cx) rc.right = cx;
            if (rc.bottom > cy) rc.bottom = cy;
            for (int y = rc.top; y < rc.bottom; ++y) {
                size_t row = (size_t)(cy - 1 - y) * cx;
                for (int x = rc.left; x < rc.right; ++x) {
                    DWORD& dst = m_pOffscreenBits[row + x];
                    DWORD a = dst >> 24;
                    if (a >= 255) continue;
                    DWORD bgA = m_pBackgroundBits[row + x] >> 24;
                    DWORD A = (bgA != 0) ? bgA : a;
                    DWORD r = ((dst >> 16) & 0xFF) * A / 255;
                    DWORD g = ((dst >> 8) & 0xFF) * A / 255;
                    DWORD b = (dst & 0xFF) * A / 255;
                    dst = (A << 24) | (r << 16) | (g << 8) | b;
                }
            }
        }
    }

    if (m_pfnUpdateLayeredWindow == NULL) return;
    typedef BOOL(WINAPI * PFNUPDATELAYEREDWINDOW)(HWND, HDC, POINT*, SIZE*, HDC, POINT*, COLORREF,
                                                   BLENDFUNCTION*, DWORD);
    PFNUPDATELAYEREDWINDOW pfn = reinterpret_cast<PFNUPDATELAYEREDWINDOW>(
        reinterpret_cast<void*>(m_pfnUpdateLayeredWindow));
    RECT rcWnd = {0, 0, 0, 0};
    ::GetWindowRect(m_hWndPaint, &rcWnd);
    POINT ptDst = {rcWnd.left, rcWnd.top};
    SIZE szWnd = {cx, cy};
    POINT ptSrc = {0, 0};
    BLENDFUNCTION bf = {AC_SRC_OVER, 0, m_nOpacity, AC_SRC_ALPHA};
    ::GdiFlush();
    pfn(m_hWndPaint, m_hDcPaint, &ptDst, &szWnd, m_hDcOffscreen, &ptSrc, 0, &bf, ULW_ALPHA);
}

void CPaintManagerUI::DoPaint()
{
    if (m_pRoot == NULL) {
        PAINTSTRUCT ps;
        HDC hdc = ::BeginPaint(m_hWndPaint, &ps);
        CUIPainter::DrawColor(hdc, ps.rcPaint, 0xFF000000);
        ::EndPaint(m_hWndPaint, &ps);
        return;
    }

    RECT rcClient = {0, 0, 0, 0};
    ::GetClientRect(m_hWndPaint, &rcClient);
    RECT rcPaint = {0, 0, 0, 0};
    if (m_bLayered) {
        m_bOffscreenPaint = true;
        rcPaint = m_rcLayeredUpdate;
        if (::IsRectEmpty(&rcPaint)) {
            PAINTSTRUCT ps;
            ::BeginPaint(m_hWndPaint, &ps);
            ::EndPaint(m_hWndPaint, &ps);
            return;
        }
        if (rcPaint.right > rcClient.right) rcPaint.right = rcClient.right;
        if (rcPaint.bottom > rcClient.bottom) rcPaint.bottom = rcClient.bottom;
        ::SetRectEmpty(&m_rcLayeredUpdate);
    } else if (!::GetUpdateRect(m_hWndPaint, &rcPaint, FALSE)) {
        return;
    }

    if (m_bFocusNeeded) SetNextTabControl(true);
    SetPainting(true);

    RECT rcInset = rcClient;
    if (m_bLayered) {
        rcInset.left += m_rcLayeredInset.left;
        rcInset.top += m_rcLayeredInset.top;
        rcInset.right -= m_rcLayeredInset.right;
        rcInset.bottom -= m_rcLayeredInset.bottom;
    }

    if (m_bUpdateNeeded) {
        m_bUpdateNeeded = false;
        if (!::IsRectEmpty(&rcClient)) {
            if (m_pRoot->IsUpdateNeeded()) {
                DropOffscreen();
                m_pRoot->SetPos(rcInset, true);
            } else {
                m_aFoundControls.Empty();
                m_pRoot->FindControl(__FindControlFromUpdate, this,
                                     FindOnlyVisible | FindPruneMatched | FindSelfFirst);
                for (int i = 0; i < m_aFoundControls.GetSize(); ++i) {
                    CControlUI* pControl = static_cast<CControlUI*>(m_aFoundControls[i]);
                    if (pControl->IsFloat())
                        pControl->SetPos(pControl->GetRelativePos(), true);
                    else
                        pControl->SetPos(pControl->GetPos(), true);
                }
            }
        }
        if (m_bFirstLayout) {
            m_bFirstLayout = false;
            SendNotify(m_pRoot, L"windowinit", 0, 0, false);
            // A window that became layered while it was set up paints at the next timer tick.
            if (m_bLayered && m_bLayeredChanged) {
                Invalidate();
                SetPainting(false);
                return;
            }
        }
    } else if (m_bLayered && m_bLayeredChanged) {
        if (m_pOffscreenBits != NULL) {
            ::GdiFlush();
            ::ZeroMemory(m_pOffscreenBits, (size_t)(rcClient.right - rcClient.left) * (rcClient.bottom - rcClient.top) * 4);
        }
        m_pRoot->SetPos(rcInset, true);
    }
    // A Tab move put off for the layout happens now that the layout is done: its invalidation
    // came before BeginPaint and would bring no further paint.
    if (m_bFocusNeeded && !m_bUpdateNeeded) SetNextTabControl(true);

    // A window that turned layered after double-buffered painting needs a DIB, not a device bitmap;
    // and the pixel work below relies on the buffer having the client's size.
    if (m_hbmpOffscreen != NULL) {
        BITMAP bm;
        bool bSizeOk = ::GetObjectW(m_hbmpOffscreen, sizeof(bm), &bm) != 0 &&
                       bm.bmWidth == rcClient.right - rcClient.left && bm.bmHeight == rcClient.bottom - rcClient.top;
        if (!bSizeOk || (m_bLayered && m_pOffscreenBits == NULL)) DropOffscreen();
    }
    if (m_bOffscreenPaint && m_hbmpOffscreen == NULL) {
        int cx = rcClient.right - rcClient.left;
        int cy = rcClient.bottom - rcClient.top;
        if (m_hDcOffscreen == NULL) m_hDcOffscreen = ::CreateCompatibleDC(m_hDcPaint);
        if (m_bLayered)
            m_hbmpOffscreen = CUIPainter::CreateDib32(m_hDcPaint, cx, cy, reinterpret_cast<BYTE**>(&m_pOffscreenBits));
        else
            m_hbmpOffscreen = ::CreateCompatibleBitmap(m_hDcPaint, cx, cy);
    }

    PAINTSTRUCT ps;
    ::BeginPaint(m_hWndPaint, &ps);
    if (!m_bOffscreenPaint) {
        int iSaveDC = ::SaveDC(m_hDcPaint);
        // Most texts use the default font: selected once here, DrawText need not switch fonts.
        ::SelectObject(m_hDcPaint, GetDefaultFontInfo()->hFont);
        m_pRoot->Paint(m_hDcPaint, rcPaint, NULL);
        ::RestoreDC(m_hDcPaint, iSaveDC);
    } else if (m_hDcOffscreen != NULL && m_hbmpOffscreen != NULL) {
        HBITMAP hOldBitmap = static_cast<HBITMAP>(::SelectObject(m_hDcOffscreen, m_hbmpOffscreen));
        int iSaveDC = ::SaveDC(m_hDcOffscreen);
        ::SelectObject(m_hDcOffscreen, GetDefaultFontInfo()->hFont);
        if (m_bLayered && m_pOffscreenBits != NULL) {
            // Nothing drawn means transparent: the paint rectangle starts with alpha 0. Cleared with
            // a layered image too, or translucent drawing would pile up over the last paint's pixels.
            ::GdiFlush();
            int cx = rcClient.right - rcClient.left;
            int cy = rcClient.bottom - rcClient.top;
            RECT rc = {0, 0, 0, 0};
            ::IntersectRect(&rc, &rcPaint, &rcClient);
            for (int y = rc.top; y < rc.bottom; ++y)
                ::ZeroMemory(m_pOffscreenBits + (size_t)(cy - 1 - y) * cx + rc.left,
                             (size_t)(rc.right - rc.left) * 4);
        }
        m_pRoot->Paint(m_hDcOffscreen, rcPaint, NULL);
        if (m_bLayered) PrintNativeWindows(rcPaint);
        ForEachListener<CControlUI>(m_aPostPaintControls, [&](CControlUI* p) {
            p->DoPostPaint(m_hDcOffscreen, rcPaint);
            return true;
        });
        ::RestoreDC(m_hDcOffscreen, iSaveDC);
        if (!m_bLayered)
            ::BitBlt(m_hDcPaint, rcPaint.left, rcPaint.top, rcPaint.right - rcPaint.left,
                     rcPaint.bottom - rcPaint.top, m_hDcOffscreen, rcPaint.left, rcPaint.top, SRCCOPY);
        else
            ComposeLayered(rcPaint);
        ::SelectObject(m_hDcOffscreen, hOldBitmap);
    }
    if (m_bShowUpdateRect && !m_bLayered) {
        HPEN hOldPen = static_cast<HPEN>(::SelectObject(m_hDcPaint, m_hUpdateRectPen));
        HBRUSH hOldBrush = static_cast<HBRUSH>(::SelectObject(m_hDcPaint, ::GetStockObject(NULL_BRUSH)));
        ::Rectangle(m_hDcPaint, rcPaint.left, rcPaint.top, rcPaint.right, rcPaint.bottom);
        ::SelectObject(m_hDcPaint, hOldBrush);
        ::SelectObject(m_hDcPaint, hOldPen);
    }
    ::EndPaint(m_hWndPaint, &ps);

    SetPainting(false);
    m_bLayeredChanged = false;
    if (m_bUpdateNeeded) Invalidate();
}

// ---------------------------------------------------------------------------------------------
// Invalidation

void CPaintManagerUI::Invalidate()
{
    // Without a window there is nothing to invalidate; a null window would mean every window.
    if (m_hWndPaint == NULL) return;
    if (m_bLayered) {
        RECT rcClient = {0, 0, 0, 0};
        ::GetClientRect(m_hWndPaint, &rcClient);
        ::UnionRect(&m_rcLayeredUpdate, &m_rcLayeredUpdate, &rcClient);
    } else {
        ::InvalidateRect(m_hWndPaint, NULL, FALSE);
    }
}

void CPaintManagerUI::Invalidate(RECT& rcItem)
{
    if (rcItem.left < 0) rcItem.left = 0;
    if (rcItem.top < 0) rcItem.top = 0;
    if (rcItem.right < rcItem.left) rcItem.right = rcItem.left;
    if (rcItem.bottom < rcItem.top) rcItem.bottom = rcItem.top;
    // An empty rectangle invalidates nothing; controls not laid out yet (a skin being built) have
    // one, and each InvalidateRect is a round trip to the window server.
    if (::IsRectEmpty(&rcItem) || m_hWndPaint == NULL) return;
    if (m_bLayered)
        ::UnionRect(&m_rcLayeredUpdate, &m_rcLayeredUpdate, &rcItem);
    else
        ::InvalidateRect(m_hWndPaint, &rcItem, FALSE);
}

} // namespace Veneer
