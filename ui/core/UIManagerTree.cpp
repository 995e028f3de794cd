// The paint manager, part three: the control tree and its names, option groups, focus and
// capture, control timers, notifications (synchronous and queued), the registries of listeners
// and native windows, and the message loop with its pre-translation.
#include "UIManager.h"
#include "UIControl.h"
#include "UIManagerInternal.h"
#include "UIRichEdit.h"
#include <wchar.h>
#include <wctype.h>
#include <stdlib.h>
#include <string.h>

namespace Veneer {

using namespace manager_detail;

namespace {

// Notifications being delivered right now, queued or synchronous (nested when a listener pumps
// messages or notifies). A control destroyed while its record is being delivered must not leave
// a dangling sender for the listeners that come after.
struct TInFlightNotify {
    CPaintManagerUI* pManager;
    TNotifyRecord* pMsg;
    TInFlightNotify* pPrev;
};
TInFlightNotify* s_pInFlight = NULL;

} // namespace

// ---------------------------------------------------------------------------------------------
// Control tree and names

CControlUI* CALLBACK CPaintManagerUI::__FindControlFromNameHash(CControlUI* pThis, void* pData)
{
    CPaintManagerUI* pManager = static_cast<CPaintManagerUI*>(pData);
    CUIString sName = pThis->GetName();
    if (sName.IsEmpty()) return NULL;
    pManager->m_mNameHash.Set(sName, pThis);
    pManager->GrowNameHash();
    return NULL;
}

// The name map starts with the usual 83 buckets; a skin of thousands of named controls would
// make every registration walk chains of thousands, so the map grows with its content. Nobody
// enumerates it, so only the speed of its lookups changes.
void CPaintManagerUI::GrowNameHash()
{
    if (m_mNameHash.GetSize() > 2 * m_mNameHash.GetBucketCount())
        m_mNameHash.Rehash(4 * m_mNameHash.GetBucketCount() + 1);
}

CControlUI* CALLBACK CPaintManagerUI::__FindControlFromPoint(CControlUI* pThis, void* pData)
{
    const POINT* pPoint = static_cast<const POINT*>(pData);
    return ::PtInRect(&pThis->GetPos(), *pPoint) ? pThis : NULL;
}

CControlUI* CALLBACK CPaintManagerUI::__FindControlFromUpdate(CControlUI* pThis, void* pData)
{
    CPaintManagerUI* pManager = static_cast<CPaintManagerUI*>(pData);
    if (!pThis->IsUpdateNeeded()) return NULL;
    pManager->m_aFoundControls.Add(pThis);
    return pThis;
}

bool CPaintManagerUI::AttachDialog(CControlUI* pControl)
{
    SetFocus(NULL, true);
    m_pEventKey = NULL;
    m_pEventHover = NULL;
    m_pEventClick = NULL;
    m_pLastToolTip = NULL;

    if (m_pRoot != NULL) {
        DeleteDelayedCleanup();
        DeleteQueuedNotifies();
        m_mNameHash.RemoveAll();
        m_aPostPaintControls.Empty();
        m_aNativeWindow.Empty();
        m_aNativeWindowControl.Empty();
        CControlUI* pOldRoot = m_pRoot;
        m_pRoot = NULL;
        AddDelayedCleanup(pOldRoot);
    }

    m_pRoot = pControl;
    m_bFirstLayout = true;
    m_bUpdateNeeded = true;
    m_bFocusNeeded = true;
    return InitControls(pControl, NULL);
}

bool CPaintManagerUI::InitControls(CControlUI* pControl, CControlUI* pParent)
{
    if (pControl == NULL) return false;
    pControl->SetManager(this, pParent != NULL ? pParent : pControl->GetParent(), true);
    pControl->FindControl(__FindControlFromNameHash, this, 0);
    return true;
}

bool CPaintManagerUI::RenameControl(CControlUI* pControl, const wchar_t* pstrName)
{
    if (pControl == NULL || pControl->GetManager() != this || pstrName == NULL || *pstrName == L'\0') return false;
    CUIString sOldName = pControl->GetName();
    if (sOldName == pstrName) return true;
    if (m_mNameHash.Find(pstrName) != NULL) return false;
    if (!sOldName.IsEmpty() && m_mNameHash.Find(sOldName) == pControl) m_mNameHash.Remove(sOldName);
    bool bResult = m_mNameHash.Insert(pstrName, pControl);
    GrowNameHash();
    if (bResult) pControl->SetName(pstrName);
    return bResult;
}

void CPaintManagerUI::UnmapControlName(CControlUI* pControl)
{
    if (pControl == NULL) return;
    CUIString sName = pControl->GetName();
    if (!sName.IsEmpty() && m_mNameHash.Find(sName) == pControl) m_mNameHash.Remove(sName);
}

void CPaintManagerUI::ForgetControl(CControlUI* pControl)
{
    if (pControl == NULL) return;
    if (pControl == m_pEventKey) m_pEventKey = NULL;
    if (pControl == m_pEventHover) m_pEventHover = NULL;
    if (pControl == m_pEventClick) {
        // No button-up will reach a forgotten control: the capture it held goes now.
        m_pEventClick = NULL;
        if (m_bMouseCapture) ReleaseCapture();
    }
    if (pControl == m_pFocus) m_pFocus = NULL;
    if (pControl == m_pLastToolTip) m_pLastToolTip = NULL;
    KillTimer(pControl);

    int i = m_aPostPaintControls.Find(pControl);
    if (i >= 0) m_aPostPaintControls.Remove(i);
    i = m_aNeedMouseLeaveNeeded.Find(pControl);
    if (i >= 0) m_aNeedMouseLeaveNeeded.Remove(i);

    UnmapControlName(pControl);

    for (int j = 0; j < m_aAsyncNotify.GetSize(); ++j) {
        TNotifyRecord* pMsg = static_cast<TNotifyRecord*>(m_aAsyncNotify[j]);
        if (pMsg->pSender == pControl) pMsg->pSender = NULL;
    }
    for (TInFlightNotify* p = s_pInFlight; p != NULL; p = p->pPrev) {
        if (p->pMsg->pSender == pControl) p->pMsg->pSender = NULL;
    }
}

CControlUI* CPaintManagerUI::GetRoot() const { return m_pRoot; }

CControlUI* CPaintManagerUI::FindControl(const wchar_t* pstrName) const
{
    if (pstrName == NULL) return NULL;
    return static_cast<CControlUI*>(const_cast<CUIStringPtrMap&>(m_mNameHash).Find(pstrName));
}

CControlUI* CPaintManagerUI::FindControl(POINT pt) const
{
    if (m_pRoot == NULL) return NULL;
    return m_pRoot->FindControl(__FindControlFromPoint, &pt, FindOnlyVisible | FindAtPoint | FindLastChildFirst);
}

CUIPtrArray* CPaintManagerUI::GetFoundControls() { return &m_aFoundControls; }

bool CPaintManagerUI::AddOptionGroup(const wchar_t* pStrGroupName, CControlUI* pControl)
{
    if (pStrGroupName == NULL || pControl == NULL) return false;
    CUIPtrArray* aGroup = static_cast<CUIPtrArray*>(m_mOptionGroup.Find(pStrGroupName));
    if (aGroup != NULL) {
        if (aGroup->Find(pControl) >= 0) return false;
        return aGroup->Add(pControl);
    }
    aGroup = new CUIPtrArray(6);
    aGroup->Add(pControl);
    if (!m_mOptionGroup.Insert(pStrGroupName, aGroup)) {
        delete aGroup;
        return false;
    }
    return true;
}

CUIPtrArray* CPaintManagerUI::GetOptionGroup(const wchar_t* pStrGroupName)
{
    if (pStrGroupName == NULL) return NULL;
    return static_cast<CUIPtrArray*>(m_mOptionGroup.Find(pStrGroupName));
}

void CPaintManagerUI::RemoveOptionGroup(const wchar_t* pStrGroupName, CControlUI* pControl)
{
    CUIPtrArray* aGroup = GetOptionGroup(pStrGroupName);
    if (aGroup == NULL) return;
    int i = aGroup->Find(pControl);
    if (i >= 0) aGroup->Remove(i);
    if (aGroup->IsEmpty()) {
        delete aGroup;
        m_mOptionGroup.Remove(pStrGroupName);
    }
}

void CPaintManagerUI::RemoveAllOptionGroups()
{
    for (int i = 0; i < m_mOptionGroup.GetSize(); ++i) {
        const wchar_t* key = m_mOptionGroup.GetAt(i);
        if (key != NULL) delete static_cast<CUIPtrArray*>(m_mOptionGroup.Find(key, false));
    }
    m_mOptionGroup.RemoveAll();
}

// ---------------------------------------------------------------------------------------------
// Focus and capture

CControlUI* CPaintManagerUI::GetFocus() const { return m_pFocus; }

void CPaintManagerUI::SetFocus(CControlUI* pControl, bool bFocusWnd)
{
    if (bFocusWnd && ::GetFocus() != m_hWndPaint && pControl != m_pFocus && !m_bNoActivate) ::SetFocus(m_hWndPaint);
    if (pControl == m_pFocus) return;

    if (m_pFocus != NULL) {
        CControlUI* pOld = m_pFocus;
        TEventUI event;
        ::ZeroMemory(&event, sizeof(event));
        event.Type = UIEVENT_KILLFOCUS;
        event.pSender = pControl;
        event.dwTimestamp = ::GetTickCount();
        pOld->Event(event);
        // The old focus may have gone away while it handled the event.
        if (m_pFocus == pOld) SendNotify(pOld, L"killfocus");
        m_pFocus = NULL;
    }

    if (pControl != NULL && pControl->GetManager() == this && pControl->IsVisible() && pControl->IsEnabled()) {
        m_pFocus = pControl;
        TEventUI event;
        ::ZeroMemory(&event, sizeof(event));
        event.Type = UIEVENT_SETFOCUS;
        event.pSender = pControl;
        event.dwTimestamp = ::GetTickCount();
        m_pFocus->Event(event);
        if (m_pFocus == pControl) SendNotify(pControl, L"setfocus");
    }
}

CControlUI* CALLBACK CPaintManagerUI::__FindControlFromTab(CControlUI* pThis, void* pData)
{
    TFindTabInfo* pInfo = static_cast<TFindTabInfo*>(pData);
    if (pInfo->pFocus == pThis) {
        if (pInfo->bForward) pInfo->bNextIsIt = true;
        return pInfo->bForward ? NULL : pInfo->pLast;
    }
    if ((pThis->GetControlFlags() & UIFLAG_TABSTOP) == 0) return NULL;
    pInfo->pLast = pThis;
    if (pInfo->bNextIsIt) return pThis;
    if (pInfo->pFocus == NULL) return pThis;
    return NULL;
}

void CPaintManagerUI::RequestFocus(CControlUI* pControl)
{
    if (!m_bNoActivate) ::SetFocus(m_hWndPaint);
    if (pControl == NULL) return;

    if (m_pFocus != NULL) {
        CControlUI* pOld = m_pFocus;
        TEventUI event;
        ::ZeroMemory(&event, sizeof(event));
        event.Type = UIEVENT_KILLFOCUS;
        event.pSender = pControl;
        event.dwTimestamp = ::GetTickCount();
        pOld->Event(event);
        if (m_pFocus == pOld) SendNotify(pOld, L"killfocus");
        m_pFocus = NULL;
    }

    // Park the focus on the tab stop before pControl; the next paint moves it forward onto pControl.
    if (m_pRoot != NULL) {
        TFindTabInfo info = {pControl, NULL, false, false};
        m_pFocus = m_pRoot->FindControl(__FindControlFromTab, &info,
                                        FindOnlyVisible | FindOnlyEnabled | FindSelfFirst);
        m_bFocusNeeded = true;
        m_pRoot->NeedUpdate();
    }
}

bool CPaintManagerUI::SetNextTabControl(bool bForward)
{
    if (m_bUpdateNeeded && bForward) {
        m_bFocusNeeded = true;
        ::InvalidateRect(m_hWndPaint, NULL, FALSE);
        return true;
    }
    if (m_pRoot != NULL) {
        const UINT uFlags = FindOnlyVisible | FindOnlyEnabled | FindSelfFirst;
        TFindTabInfo info1 = {m_pFocus, NULL, bForward, false};
        CControlUI* pControl = m_pRoot->FindControl(__FindControlFromTab, &info1, uFlags);
        if (pControl == NULL) {
            if (bForward) {
                TFindTabInfo info2 = {NULL, NULL, true, false};
                pControl = m_pRoot->FindControl(__FindControlFromTab, &info2, uFlags);
            } else {
                pControl = info1.pLast;
            }
        }
        if (pControl != NULL) SetFocus(pControl, true);
    }
    m_bFocusNeeded = false;
    return true;
}

void CPaintManagerUI::SetCapture()
{
    ::SetCapture(m_hWndPaint);
    m_bMouseCapture = true;
}

void CPaintManagerUI::ReleaseCapture()
{
    ::ReleaseCapture();
    m_bMouseCapture = false;
}

bool CPaintManagerUI::IsCaptured() const { return m_bMouseCapture; }
bool CPaintManagerUI::IsPainting() const { return m_bIsPainting; }
void CPaintManagerUI::SetPainting(bool bIsPainting) { m_bIsPainting = bIsPainting; }

// ---------------------------------------------------------------------------------------------
// Control timers

bool CPaintManagerUI::SetTimer(CControlUI* pControl, UINT nTimerID, UINT uElapse)
{
    for (int i = 0; i < m_aTimers.GetSize(); ++i) {
        TTimerEntry* pTimer = static_cast<TTimerEntry*>(m_aTimers[i]);
        if (pTimer->pSender == pControl && pTimer->hWnd == m_hWndPaint && pTimer->nLocalID == nTimerID) {
            if (!pTimer->bKilled) return false;
            if (::SetTimer(m_hWndPaint, pTimer->uWinTimer, uElapse, NULL) == 0) return false;
            pTimer->bKilled = false;
            return true;
        }
    }

    // The ids run modulo 255: one still held by a live entry is skipped, or the new timer would
    // take over the running one's Win32 timer.
    bool bFree = false;
    for (int nTries = 0; nTries < 0xFF && !bFree; ++nTries) {
        m_uTimerID = (m_uTimerID + 1) % 0xFF;
        bFree = true;
        for (int i = 0; i < m_aTimers.GetSize() && bFree; ++i) {
            const TTimerEntry* pTimer = static_cast<TTimerEntry*>(m_aTimers[i]);
            if (pTimer->hWnd == m_hWndPaint && pTimer->uWinTimer == m_uTimerID) bFree = false;
        }
    }
    if (!bFree) return false;
    if (::SetTimer(m_hWndPaint, m_uTimerID, uElapse, NULL) == 0) return false;
    TTimerEntry* pTimer = new TTimerEntry;
    pTimer->pSender = pControl;
    pTimer->nLocalID = nTimerID;
    pTimer->hWnd = m_hWndPaint;
    pTimer->uWinTimer = m_uTimerID;
    pTimer->bKilled = false;
    if (!m_aTimers.Add(pTimer)) {
        ::KillTimer(m_hWndPaint, pTimer->uWinTimer);
        delete pTimer;
        return false;
    }
    return true;
}

bool CPaintManagerUI::KillTimer(CControlUI* pControl, UINT nTimerID)
{
    for (int i = 0; i < m_aTimers.GetSize(); ++i) {
        TTimerEntry* pTimer = static_cast<TTimerEntry*>(m_aTimers[i]);
        if (pTimer->pSender == pControl && pTimer->hWnd == m_hWndPaint && pTimer->nLocalID == nTimerID &&
            !pTimer->bKilled) {
            if (::IsWindow(m_hWndPaint)) ::KillTimer(pTimer->hWnd, pTimer->uWinTimer);
            pTimer->bKilled = true;
            return true;
        }
    }
    return false;
}

void CPaintManagerUI::KillTimer(CControlUI* pControl)
{
    int i = 0;
    while (i < m_aTimers.GetSize()) {
        TTimerEntry* pTimer = static_cast<TTimerEntry*>(m_aTimers[i]);
        if (pTimer->pSender == pControl && pTimer->hWnd == m_hWndPaint) {
            if (!pTimer->bKilled) ::KillTimer(pTimer->hWnd, pTimer->uWinTimer);
            delete pTimer;
            m_aTimers.Remove(i);
        } else {
            ++i;
        }
    }
}

void CPaintManagerUI::RemoveAllTimers()
{
    for (int i = 0; i < m_aTimers.GetSize(); ++i) {
        TTimerEntry* pTimer = static_cast<TTimerEntry*>(m_aTimers[i]);
        if (pTimer->hWnd == m_hWndPaint) {
            if (!pTimer->bKilled && ::IsWindow(m_hWndPaint)) ::KillTimer(pTimer->hWnd, pTimer->uWinTimer);
            delete pTimer;
        }
    }
    m_aTimers.Empty();
}

// ---------------------------------------------------------------------------------------------
// Notifications

void CPaintManagerUI::SendNotify(CControlUI* pControl, const wchar_t* pstrMessage, WPARAM wParam, LPARAM lParam,
                                 bool bAsync, bool bEnableRepeat)
{
    TNotifyRecord msg;
    msg.pSender = pControl;
    msg.sType = pstrMessage;
    msg.dwTimestamp = 0;
    msg.ptMouse.x = msg.ptMouse.y = 0;
    msg.wParam = wParam;
    msg.lParam = lParam;
    SendNotify(msg, bAsync, bEnableRepeat);
}

void CPaintManagerUI::SendNotify(TNotifyRecord& msg, bool bAsync, bool bEnableRepeat)
{
    msg.ptMouse = m_ptLastMousePos;
    msg.dwTimestamp = ::GetTickCount();
    if (m_bUsedVirtualWnd && msg.pSender != NULL) msg.sVirtualWnd = msg.pSender->GetVirtualWnd();

    if (!bAsync) {
        // In flight like a queued record: a sender destroyed by a listener (or its own delegate)
        // reaches the later listeners as no sender, and the caller can see that it is gone.
        TInFlightNotify inFlight = {this, &msg, s_pInFlight};
        s_pInFlight = &inFlight;
        if (msg.pSender != NULL && msg.pSender->OnNotify) msg.pSender->OnNotify(&msg);
        ForEachListener<INotifyUI>(m_aNotifiers, [&msg](INotifyUI* p) {
            p->Notify(msg);
            return true;
        });
        s_pInFlight = inFlight.pPrev;
        return;
    }

    if (!bEnableRepeat) {
        for (int i = 0; i < m_aAsyncNotify.GetSize(); ++i) {
            TNotifyRecord* pMsg = static_cast<TNotifyRecord*>(m_aAsyncNotify[i]);
            if (pMsg->pSender == msg.pSender && pMsg->sType == msg.sType.GetData()) {
                if (m_bUsedVirtualWnd) pMsg->sVirtualWnd = msg.sVirtualWnd;
                pMsg->wParam = msg.wParam;
                pMsg->lParam = msg.lParam;
                pMsg->ptMouse = msg.ptMouse;
                pMsg->dwTimestamp = msg.dwTimestamp;
                return;
            }
        }
    }
    TNotifyRecord* pMsg = new TNotifyRecord(msg);
    if (!m_aAsyncNotify.Add(pMsg)) {
        delete pMsg;
        return;
    }
    PostAsyncNotify();
}

void CPaintManagerUI::DeliverAsyncNotify()
{
    m_bAsyncNotifyPosted = false;
    while (m_aAsyncNotify.GetSize() > 0) {
        TNotifyRecord* pMsg = static_cast<TNotifyRecord*>(m_aAsyncNotify[0]);
        m_aAsyncNotify.Remove(0);
        TInFlightNotify inFlight = {this, pMsg, s_pInFlight};
        s_pInFlight = &inFlight;
        if (pMsg->pSender != NULL && pMsg->pSender->OnNotify) pMsg->pSender->OnNotify(pMsg);
        ForEachListener<INotifyUI>(m_aNotifiers, [pMsg](INotifyUI* p) {
            p->Notify(*pMsg);
            return true;
        });
        s_pInFlight = inFlight.pPrev;
        delete pMsg;
    }
    DeleteDelayedCleanup();
}

void CPaintManagerUI::DeleteDelayedCleanup()
{
    // One at a time from the front: a control's destruction may queue further controls.
    while (m_aDelayedCleanup.GetSize() > 0) {
        CControlUI* pControl = static_cast<CControlUI*>(m_aDelayedCleanup[0]);
        m_aDelayedCleanup.Remove(0);
        pControl->Delete();
    }
}

void CPaintManagerUI::DeleteQueuedNotifies()
{
    for (int i = 0; i < m_aAsyncNotify.GetSize(); ++i) delete static_cast<TNotifyRecord*>(m_aAsyncNotify[i]);
    m_aAsyncNotify.Empty();
}

bool CPaintManagerUI::AddNotifier(INotifyUI* pNotifier)
{
    if (pNotifier == NULL) return false;
    return m_aNotifiers.Add(pNotifier);
}

bool CPaintManagerUI::RemoveNotifier(INotifyUI* pNotifier)
{
    int i = m_aNotifiers.Find(pNotifier);
    if (i < 0) return false;
    return m_aNotifiers.Remove(i);
}

bool CPaintManagerUI::IsVirtualWndUsed() const { return m_bUsedVirtualWnd; }
void CPaintManagerUI::SetVirtualWndUsed(bool bUsed) { m_bUsedVirtualWnd = bUsed; }

// ---------------------------------------------------------------------------------------------
// Registries

namespace {
bool AddEntry(CUIPtrArray& list, void* p)
{
    if (p == NULL) return false;
    return list.Add(p);
}

bool RemoveEntry(CUIPtrArray& list, void* p)
{
    int i = list.Find(p);
    if (i < 0) return false;
    return list.Remove(i);
}
} // namespace

bool CPaintManagerUI::AddPreMessageFilter(IMessageFilterUI* pFilter) { return AddEntry(m_aPreMessageFilters, pFilter); }
bool CPaintManagerUI::RemovePreMessageFilter(IMessageFilterUI* pFilter)
{
    return RemoveEntry(m_aPreMessageFilters, pFilter);
}
bool CPaintManagerUI::AddMessageFilter(IMessageFilterUI* pFilter) { return AddEntry(m_aMessageFilters, pFilter); }
bool CPaintManagerUI::RemoveMessageFilter(IMessageFilterUI* pFilter) { return RemoveEntry(m_aMessageFilters, pFilter); }
bool CPaintManagerUI::AddPostPaint(CControlUI* pControl) { return AddEntry(m_aPostPaintControls, pControl); }
bool CPaintManagerUI::RemovePostPaint(CControlUI* pControl) { return RemoveEntry(m_aPostPaintControls, pControl); }

bool CPaintManagerUI::AddTranslateAccelerator(ITranslateAccelerator* pTranslateAccelerator)
{
    return m_aTranslateAccelerator.Add(pTranslateAccelerator);
}

bool CPaintManagerUI::RemoveTranslateAccelerator(ITranslateAccelerator* pTranslateAccelerator)
{
    return RemoveEntry(m_aTranslateAccelerator, pTranslateAccelerator);
}

void CPaintManagerUI::AddMouseLeaveListener(CControlUI* pControl)
{
    if (pControl == NULL || m_aNeedMouseLeaveNeeded.Find(pControl) >= 0) return;
    m_aNeedMouseLeaveNeeded.Add(pControl);
}

bool CPaintManagerUI::RemoveMouseLeaveListener(CControlUI* pControl)
{
    return RemoveEntry(m_aNeedMouseLeaveNeeded, pControl);
}

RECT CPaintManagerUI::GetNativeWindowRect(HWND hChildWnd)
{
    RECT rc = {0, 0, 0, 0};
    ::GetWindowRect(hChildWnd, &rc);
    ::ScreenToClient(m_hWndPaint, reinterpret_cast<POINT*>(&rc.left));
    ::ScreenToClient(m_hWndPaint, reinterpret_cast<POINT*>(&rc.right));
    return rc;
}

bool CPaintManagerUI::AddNativeWindow(CControlUI* pControl, HWND hChildWnd)
{
    if (pControl == NULL || hChildWnd == NULL) return false;
    RECT rcChild = GetNativeWindowRect(hChildWnd);
    Invalidate(rcChild);
    if (m_aNativeWindow.Find(hChildWnd) >= 0) return false;
    if (!m_aNativeWindow.Add(hChildWnd)) return false;
    if (!m_aNativeWindowControl.Add(pControl)) {
        m_aNativeWindow.Remove(m_aNativeWindow.GetSize() - 1);
        return false;
    }
    return true;
}

bool CPaintManagerUI::RemoveNativeWindow(HWND hChildWnd)
{
    int i = m_aNativeWindow.Find(hChildWnd);
    if (i < 0) return false;
    m_aNativeWindow.Remove(i);
    m_aNativeWindowControl.Remove(i);
    return true;
}

void CPaintManagerUI::AddDelayedCleanup(CControlUI* pControl)
{
    if (pControl == NULL) return;
    pControl->SetManager(this, NULL, false);
    // Queued once: a second request must not delete the control twice.
    if (m_aDelayedCleanup.Find(pControl) < 0) m_aDelayedCleanup.Add(pControl);
    PostAsyncNotify();
}

void CPaintManagerUI::PostAsyncNotify()
{
    if (m_bAsyncNotifyPosted) return;
    // The flag is only set once the message is really on its way, or the queue would stall.
    if (::PostMessageW(m_hWndPaint, UIMSG_ASYNCNOTIFY, 0, 0)) m_bAsyncNotifyPosted = true;
}

// ---------------------------------------------------------------------------------------------
// Message loop and pre-translation

UINT CPaintManagerUI::MapKeyState()
{
    UINT uState = 0;
    if (::GetKeyState(VK_CONTROL) < 0) uState |= MK_CONTROL;
    if (::GetKeyState(VK_RBUTTON) < 0) uState |= MK_RBUTTON;
    if (::GetKeyState(VK_LBUTTON) < 0) uState |= MK_LBUTTON;
    if (::GetKeyState(VK_SHIFT) < 0) uState |= MK_SHIFT;
    if (::GetKeyState(VK_MENU) < 0) uState |= 0x20;
    return uState;
}

void CPaintManagerUI::MessageLoop()
{
    MSG msg;
    while (::GetMessageW(&msg, NULL, 0, 0) > 0) {
        if (!CPaintManagerUI::TranslateMessage(&msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
        }
    }
}

bool CPaintManagerUI::TranslateMessage(const MSG* pMsg)
{
    if (pMsg == NULL) return false;
    LONG_PTR uStyle = ::GetWindowLongPtrW(pMsg->hwnd, GWL_STYLE);
    if ((uStyle & WS_CHILD) == 0) {
        for (int i = 0; i < m_aPreMessages.GetSize(); ++i) {
            CPaintManagerUI* pManager = static_cast<CPaintManagerUI*>(m_aPreMessages[i]);
            if (pManager->GetPaintWindow() != pMsg->hwnd) continue;
            if (pManager->TranslateAccelerator(const_cast<MSG*>(pMsg))) return true;
            LRESULT lRes = 0;
            return pManager->PreMessageHandler(pMsg->message, pMsg->wParam, pMsg->lParam, lRes);
        }
        return false;
    }

    // A child window's message: every manager whose window is the child or one of its ancestors
    // sees it once; the message is then dispatched normally.
    for (int i = m_aPreMessages.GetSize() - 1; i >= 0; --i) {
        CPaintManagerUI* pManager = static_cast<CPaintManagerUI*>(m_aPreMessages.GetAt(i));
        if (pManager == NULL) continue;
        for (HWND hParent = ::GetParent(pMsg->hwnd); hParent != NULL; hParent = ::GetParent(hParent)) {
            if (pMsg->hwnd == pManager->GetPaintWindow() || hParent == pManager->GetPaintWindow()) {
                if (pManager->TranslateAccelerator(const_cast<MSG*>(pMsg))) return true;
                LRESULT lRes = 0;
                pManager->PreMessageHandler(pMsg->message, pMsg->wParam, pMsg->lParam, lRes);
                break;
            }
        }
    }
    return false;
}

bool CPaintManagerUI::TranslateAccelerator(MSG* pMsg)
{
    bool bHandled = false;
    ForEachListener<ITranslateAccelerator>(m_aTranslateAccelerator, [&](ITranslateAccelerator* p) {
        if (p->TranslateAccelerator(pMsg) == 0) bHandled = true;
        return !bHandled;
    });
    return bHandled;
}

CControlUI* CALLBACK CPaintManagerUI::__FindControlFromShortcut(CControlUI* pThis, void* pData)
{
    if (!pThis->IsVisible()) return NULL;
    TFindShortcut* pFS = static_cast<TFindShortcut*>(pData);
    if (pFS->ch == (wchar_t)towupper(pThis->GetShortcut())) pFS->bPickNext = true;
    if (wcsstr(pThis->GetClass(), L"Label") != NULL) return NULL;
    return pFS->bPickNext ? pThis : NULL;
}

bool CPaintManagerUI::PreMessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes)
{
    bool bConsumed = false;
    ForEachListener<IMessageFilterUI>(m_aPreMessageFilters, [&](IMessageFilterUI* p) {
        bool bHandled = false;
        p->MessageHandler(uMsg, wParam, lParam, bHandled);
        if (bHandled) bConsumed = true;
        return !bConsumed;
    });
    if (bConsumed) return true;

    switch (uMsg) {
    case WM_KEYDOWN:
        if (wParam == VK_TAB) {
            // A focused rich edit that wants Tab gets the key.
            if (m_pFocus != NULL && m_pFocus->IsVisible() && m_pFocus->IsEnabled() &&
                wcsstr(m_pFocus->GetClass(), L"RichEdit") != NULL) {
                CRichEditUI* pRichEdit = static_cast<CRichEditUI*>(m_pFocus->GetInterface(L"RichEdit"));
                if (pRichEdit != NULL && pRichEdit->IsWantTab()) return false;
            }
            SetNextTabControl(::GetKeyState(VK_SHIFT) >= 0);
            return true;
        }
        break;
    case WM_SYSCHAR: {
        if (m_pRoot == NULL) return false;
        TFindShortcut fs = {(wchar_t)towupper((wint_t)wParam), false};
        CControlUI* pControl = m_pRoot->FindControl(__FindControlFromShortcut, &fs,
                                                    FindOnlyEnabled | FindLastChildFirst | FindSelfFirst);
        if (pControl == NULL) return false;
        pControl->SetFocus();
        pControl->Activate();
        return true;
    }
    case WM_SYSKEYDOWN:
        if (m_pFocus != NULL) {
            TEventUI event;
            ::ZeroMemory(&event, sizeof(event));
            event.Type = UIEVENT_SYSKEY;
            event.pSender = m_pFocus;
            event.chKey = (wchar_t)wParam;
            event.ptMouse = m_ptLastMousePos;
            event.wKeyState = (WORD)MapKeyState();
            event.dwTimestamp = ::GetTickCount();
            m_pFocus->Event(event);
        }
        break;
    default:
        break;
    }
    return false;
}

} // namespace Veneer
