#include "UIContainer.h"
#include "UIScrollBar.h"
#include "UIManager.h"
#include <stdlib.h>
#include <wchar.h>

namespace Veneer {

namespace {

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

bool Touches(const RECT& a, const RECT& b)
{
    RECT rcTemp;
    return ::IntersectRect(&rcTemp, &a, &b) != FALSE;
}

// A bar that exists and shows.
bool Shown(const CScrollBarUI* pBar)
{
    return pBar != NULL && pBar->IsVisible();
}

void DestroyScrollBar(CScrollBarUI*& pBar)
{
    if (pBar != NULL) {
        pBar->Delete();
        pBar = NULL;
    }
}

// Creates a missing bar or destroys one that is no longer wanted.
void ToggleScrollBar(CScrollBarUI*& pBar, bool bEnable, bool bHorizontal, CContainerUI* pOwner,
                     CPaintManagerUI* pManager)
{
    if (bEnable && pBar == NULL) {
        pBar = new CScrollBarUI;
        pBar->SetScrollRange(0);
        if (bHorizontal)
            pBar->SetHorizontal(true);
        pBar->SetOwner(pOwner);
        pBar->SetManager(pManager, NULL, false);
        if (pManager != NULL) {
            const wchar_t* pTag = bHorizontal ? L"HScrollBar" : L"VScrollBar";
            const wchar_t* pDefaultAttributes = pManager->GetDefaultAttributeList(pTag);
            if (pDefaultAttributes != NULL)
                pBar->SetAttributeList(pDefaultAttributes);
        }
    } else if (!bEnable) {
        DestroyScrollBar(pBar);
    }
}

// Where the bars go beside a client rectangle: along its right and along its bottom edge.
RECT VerticalBarRect(const RECT& rc, const CScrollBarUI* pBar)
{
    return RECT{rc.right, rc.top, rc.right + pBar->GetFixedWidth(), rc.bottom};
}

RECT HorizontalBarRect(const RECT& rc, const CScrollBarUI* pBar)
{
    return RECT{rc.left, rc.bottom, rc.right, rc.bottom + pBar->GetFixedHeight()};
}

void HideAndRewind(CScrollBarUI* pBar)
{
    pBar->SetVisible(false);
    pBar->SetScrollPos(0, true);
    pBar->SetScrollRange(0);
}

// Gives a shown bar the range it lacks (iScroll: how far the content passes the view); answers
// whether the bar's position had to drop with it.
bool RerangeScrollBar(CScrollBarUI* pBar, int iScroll, bool bNested)
{
    int iLastPos = pBar->GetScrollPos();
    pBar->SetScrollRange(abs(iScroll));
    // The layout nested in the showing of the bar never hides it again.
    if (pBar->GetScrollRange() == 0 && !bNested) {
        pBar->SetVisible(false);
        pBar->SetScrollPos(0, true);
    }
    return iLastPos > pBar->GetScrollPos();
}

// Sets a shown bar's position and answers how far it actually moved (the bar snaps and clamps).
int MoveScrollBar(CScrollBarUI* pBar, int iPos)
{
    if (!Shown(pBar))
        return 0;
    int iLastPos = pBar->GetScrollPos();
    pBar->SetScrollPos(iPos, true);
    return pBar->GetScrollPos() - iLastPos;
}

// The scroll steps change one coordinate of the position pair (cx or cy), always through the
// virtual slots so that the overrides of derived containers apply.
void ScrollBy(CContainerUI* pContainer, LONG SIZE::*pAxis, int iDelta)
{
    SIZE sz = pContainer->GetScrollPos();
    sz.*pAxis += iDelta;
    pContainer->SetScrollPos(sz);
}

void ScrollToEdge(CContainerUI* pContainer, LONG SIZE::*pAxis, bool bEnd)
{
    SIZE sz = pContainer->GetScrollPos();
    sz.*pAxis = bEnd ? pContainer->GetScrollRange().*pAxis : 0;
    pContainer->SetScrollPos(sz);
}

} // namespace

CContainerUI::CContainerUI()
    : m_iChildPadding(0),
      m_iChildAlign(DT_LEFT),
      m_iChildVAlign(DT_TOP),
      m_bAutoDestroy(true),
      m_bDelayedDestroy(false),
      m_bMouseChildEnabled(true),
      m_bScrollProcess(false),
      m_pVerticalScrollBar(NULL),
      m_pHorizontalScrollBar(NULL)
{
    m_rcInset = RECT{0, 0, 0, 0};
}

CContainerUI::~CContainerUI()
{
    // Children go now, not after the message: the container they would come back to is gone.
    m_bDelayedDestroy = false;
    CContainerUI::RemoveAll();
    DestroyScrollBar(m_pVerticalScrollBar);
    DestroyScrollBar(m_pHorizontalScrollBar);
}

const wchar_t* CContainerUI::GetClass() const
{
    return L"Container";
}

void* CContainerUI::GetInterface(const wchar_t* pstrName)
{
    if (wcscmp(pstrName, L"IContainer") == 0)
        return static_cast<IContainerUI*>(this);
    if (wcscmp(pstrName, L"Container") == 0)
        return static_cast<CContainerUI*>(this);
    return CControlUI::GetInterface(pstrName);
}

// ---------------------------------------------------------------------------------------------
// Children

CControlUI* CContainerUI::GetItemAt(int iIndex) const
{
    if (iIndex < 0 || iIndex >= m_items.GetSize())
        return NULL;
    return static_cast<CControlUI*>(m_items[iIndex]);
}

int CContainerUI::GetItemIndex(CControlUI* pControl) const
{
    return m_items.Find(pControl);
}

bool CContainerUI::SetItemIndex(CControlUI* pControl, int iNewIndex)
{
    int iIndex = m_items.Find(pControl);
    if (pControl == NULL || iIndex < 0)
        return false;
    NeedUpdate();
    m_items.Remove(iIndex);
    if (m_items.InsertAt(iNewIndex, pControl))
        return true;
    // A place that does not exist must not lose the child: it goes back where it was.
    m_items.InsertAt(iIndex, pControl);
    return false;
}

bool CContainerUI::SetMultiItemIndex(CControlUI* pStartControl, int iCount, int iNewStartIndex)
{
    if (pStartControl == NULL || iCount < 0 || iNewStartIndex < 0)
        return false;
    int iStartIndex = GetItemIndex(pStartControl);
    if (iStartIndex < 0)
        return false;
    if (iStartIndex == iNewStartIndex)
        return true;
    if (iStartIndex + iCount > GetCount() || iNewStartIndex + iCount > GetCount())
        return false;

    CUIPtrArray run(iCount);
    for (int i = 0; i < iCount; ++i)
        run.Add(m_items[iStartIndex + i]);
    m_items.Remove(iStartIndex, iCount);
    for (int i = 0; i < iCount; ++i) {
        if (!m_items.InsertAt(iNewStartIndex + i, run[i]))
            return false;
    }
    NeedUpdate();
    return true;
}

int CContainerUI::GetCount() const
{
    return m_items.GetSize();
}

bool CContainerUI::Add(CControlUI* pControl)
{
    if (pControl == NULL)
        return false;
    if (m_pManager != NULL)
        m_pManager->InitControls(pControl, this);
    if (IsVisible())
        NeedUpdate();
    else
        pControl->SetInternVisible(false);
    return m_items.Add(pControl);
}

bool CContainerUI::AddAt(CControlUI* pControl, int iIndex)
{
    if (pControl == NULL)
        return false;
    if (m_pManager != NULL)
        m_pManager->InitControls(pControl, this);
    if (IsVisible())
        NeedUpdate();
    else
        pControl->SetInternVisible(false);
    return m_items.InsertAt(iIndex, pControl);
}

void CContainerUI::DestroyChild(CControlUI* pControl)
{
    if (m_bDelayedDestroy && m_pManager != NULL)
        m_pManager->AddDelayedCleanup(pControl);
    else
        pControl->Delete();
}

bool CContainerUI::Remove(CControlUI* pControl, bool bDoNotDestroy)
{
    if (pControl == NULL)
        return false;
    int iIndex = m_items.Find(pControl);
    if (iIndex < 0)
        return false;
    NeedUpdate();
    // Out of the list first: a child's destructor that looks at its parent must not find itself.
    bool bRemoved = m_items.Remove(iIndex);
    if (!bDoNotDestroy && m_bAutoDestroy)
        DestroyChild(pControl);
    return bRemoved;
}

bool CContainerUI::RemoveAt(int iIndex, bool bDoNotDestroy)
{
    CControlUI* pControl = GetItemAt(iIndex);
    if (pControl == NULL)
        return false;
    return Remove(pControl, bDoNotDestroy);
}

void CContainerUI::RemoveAll()
{
    if (m_bAutoDestroy) {
        // One at a time from the front, each out of the list before it goes: a destructor may
        // look at the list or remove a sibling itself.
        while (m_items.GetSize() > 0) {
            CControlUI* pControl = static_cast<CControlUI*>(m_items[0]);
            m_items.Remove(0);
            DestroyChild(pControl);
        }
    }
    m_items.Empty();
    NeedUpdate();
}

// ---------------------------------------------------------------------------------------------
// Configuration

RECT CContainerUI::GetInset()
{
    return m_rcInset;
}

void CContainerUI::SetInset(RECT rcInset)
{
    m_rcInset = rcInset;
    NeedUpdate();
}

int CContainerUI::GetChildPadding() const
{
    return m_iChildPadding;
}

void CContainerUI::SetChildPadding(int iPadding)
{
    m_iChildPadding = iPadding < 0 ? 0 : iPadding;
    NeedUpdate();
}

UINT CContainerUI::GetChildAlign() const
{
    return m_iChildAlign;
}

void CContainerUI::SetChildAlign(UINT iAlign)
{
    m_iChildAlign = iAlign;
    NeedUpdate();
}

UINT CContainerUI::GetChildVAlign() const
{
    return m_iChildVAlign;
}

void CContainerUI::SetChildVAlign(UINT iVAlign)
{
    m_iChildVAlign = iVAlign;
    NeedUpdate();
}

bool CContainerUI::IsAutoDestroy() const
{
    return m_bAutoDestroy;
}

void CContainerUI::SetAutoDestroy(bool bAuto)
{
    m_bAutoDestroy = bAuto;
}

bool CContainerUI::IsDelayedDestroy() const
{
    return m_bDelayedDestroy;
}

void CContainerUI::SetDelayedDestroy(bool bDelayed)
{
    m_bDelayedDestroy = bDelayed;
}

bool CContainerUI::IsMouseChildEnabled() const
{
    return m_bMouseChildEnabled;
}

void CContainerUI::SetMouseChildEnabled(bool bEnable)
{
    m_bMouseChildEnabled = bEnable;
}

int CContainerUI::FindSelectable(int iIndex, bool bForward) const
{
    int iCount = GetCount();
    if (iCount <= 0)
        return -1;
    if (iIndex < 0)
        iIndex = 0;
    if (iIndex >= iCount)
        iIndex = iCount - 1;
    if (bForward) {
        for (int i = iIndex; i < iCount; ++i) {
            CControlUI* pControl = GetItemAt(i);
            if (pControl->GetInterface(L"IListItem") != NULL && pControl->IsVisible() && pControl->IsEnabled())
                return i;
        }
        return -1;
    }
    for (int i = iIndex; i >= 0; --i) {
        CControlUI* pControl = GetItemAt(i);
        if (pControl->GetInterface(L"IListItem") != NULL && pControl->IsVisible() && pControl->IsEnabled())
            return i;
    }
    return FindSelectable(0, true);
}

// ---------------------------------------------------------------------------------------------
// Manager, position and state propagation

void CContainerUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit)
{
    const int n = m_items.GetSize();
    for (int i = 0; i < kPrefetchAhead && i < n; ++i)
        PrefetchTreeFields(static_cast<CControlUI*>(m_items[i]));
    for (int i = 0; i < n; ++i) {
        if (i + kPrefetchAhead < n)
            PrefetchTreeFields(static_cast<CControlUI*>(m_items[i + kPrefetchAhead]));
        static_cast<CControlUI*>(m_items[i])->SetManager(pManager, this, bInit);
    }
    if (m_pVerticalScrollBar != NULL)
        m_pVerticalScrollBar->SetManager(pManager, this, bInit);
    if (m_pHorizontalScrollBar != NULL)
        m_pHorizontalScrollBar->SetManager(pManager, this, bInit);
    CControlUI::SetManager(pManager, pParent, bInit);
}

RECT CContainerUI::GetClientPos() const
{
    RECT rc = m_rcItem;
    rc.left += m_rcInset.left;
    rc.top += m_rcInset.top;
    rc.right -= m_rcInset.right;
    rc.bottom -= m_rcInset.bottom;
    if (Shown(m_pVerticalScrollBar))
        rc.right -= m_pVerticalScrollBar->GetFixedWidth();
    if (Shown(m_pHorizontalScrollBar))
        rc.bottom -= m_pHorizontalScrollBar->GetFixedHeight();
    return rc;
}

void CContainerUI::Move(SIZE szOffset, bool bNeedInvalidate)
{
    CControlUI::Move(szOffset, bNeedInvalidate);
    if (Shown(m_pVerticalScrollBar))
        m_pVerticalScrollBar->Move(szOffset, false);
    if (Shown(m_pHorizontalScrollBar))
        m_pHorizontalScrollBar->Move(szOffset, false);
    for (int i = 0; i < m_items.GetSize(); ++i) {
        CControlUI* pControl = static_cast<CControlUI*>(m_items[i]);
        if (pControl != NULL && pControl->IsVisible())
            pControl->Move(szOffset, false);
    }
}

void CContainerUI::SetVisible(bool bVisible)
{
    if (m_bVisible == bVisible)
        return;
    CControlUI::SetVisible(bVisible);
    for (int i = 0; i < m_items.GetSize(); ++i)
        static_cast<CControlUI*>(m_items[i])->SetInternVisible(IsVisible());
}

void CContainerUI::SetInternVisible(bool bVisible)
{
    CControlUI::SetInternVisible(bVisible);
    if (m_items.IsEmpty())
        return;
    for (int i = 0; i < m_items.GetSize(); ++i)
        static_cast<CControlUI*>(m_items[i])->SetInternVisible(IsVisible());
}

void CContainerUI::SetMouseEnabled(bool bEnable)
{
    if (m_pVerticalScrollBar != NULL)
        m_pVerticalScrollBar->SetMouseEnabled(bEnable);
    if (m_pHorizontalScrollBar != NULL)
        m_pHorizontalScrollBar->SetMouseEnabled(bEnable);
    CControlUI::SetMouseEnabled(bEnable);
}

// ---------------------------------------------------------------------------------------------
// Layout

void CContainerUI::SetPos(RECT rc, bool bNeedInvalidate)
{
    CControlUI::SetPos(rc, bNeedInvalidate);
    if (m_items.IsEmpty())
        return;

    rc = m_rcItem;
    rc.left += m_rcInset.left;
    rc.top += m_rcInset.top;
    rc.right -= m_rcInset.right;
    rc.bottom -= m_rcInset.bottom;

    if (Shown(m_pVerticalScrollBar)) {
        rc.top -= m_pVerticalScrollBar->GetScrollPos();
        rc.bottom -= m_pVerticalScrollBar->GetScrollPos();
        rc.bottom += m_pVerticalScrollBar->GetScrollRange();
        rc.right -= m_pVerticalScrollBar->GetFixedWidth();
    }
    if (Shown(m_pHorizontalScrollBar)) {
        rc.left -= m_pHorizontalScrollBar->GetScrollPos();
        rc.right -= m_pHorizontalScrollBar->GetScrollPos();
        rc.right += m_pHorizontalScrollBar->GetScrollRange();
        rc.bottom -= m_pHorizontalScrollBar->GetFixedHeight();
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

void CContainerUI::SetFloatPos(int iIndex)
{
    if (iIndex < 0 || iIndex >= m_items.GetSize())
        return;
    CControlUI* pControl = static_cast<CControlUI*>(m_items[iIndex]);
    if (!pControl->IsVisible() || !pControl->IsFloat())
        return;

    SIZE szXY = pControl->GetFixedXY();
    SIZE sz = {pControl->GetFixedWidth(), pControl->GetFixedHeight()};
    TPercentInfo rcPercent = pControl->GetFloatPercent();
    LONG width = m_rcItem.right - m_rcItem.left;
    LONG height = m_rcItem.bottom - m_rcItem.top;
    RECT rcCtrl;
    rcCtrl.left = (LONG)(width * rcPercent.left) + szXY.cx;
    rcCtrl.top = (LONG)(height * rcPercent.top) + szXY.cy;
    rcCtrl.right = (LONG)(width * rcPercent.right) + szXY.cx + sz.cx;
    rcCtrl.bottom = (LONG)(height * rcPercent.bottom) + szXY.cy + sz.cy;
    pControl->SetPos(rcCtrl, false);
}

void CContainerUI::Relayout(bool bNeedInvalidate)
{
    if (IsFloat())
        SetPos(GetRelativePos(), bNeedInvalidate);
    else
        SetPos(GetPos(), bNeedInvalidate);
}

void CContainerUI::ProcessScrollBar(RECT rc, int cxRequired, int cyRequired)
{
    CScrollBarUI* pV = m_pVerticalScrollBar;
    CScrollBarUI* pH = m_pHorizontalScrollBar;
    if (pV == NULL && pH == NULL)
        return;

    if (pV == NULL || pH == NULL) {
        // One bar alone works the same along either axis.
        CScrollBarUI* pBar = pV != NULL ? pV : pH;
        const int iRequired = pV != NULL ? cyRequired : cxRequired;
        const int iView = pV != NULL ? rc.bottom - rc.top : rc.right - rc.left;
        if (!pBar->IsVisible()) {
            if (iRequired > iView) {
                pBar->SetVisible(true);
                pBar->SetScrollRange(iRequired - iView);
                pBar->SetScrollPos(0, true);
                m_bScrollProcess = true;
                Relayout(true);
                m_bScrollProcess = false;
            }
            return;
        }
        const int iScroll = iRequired - iView;
        if (iScroll <= 0 && !m_bScrollProcess) {
            HideAndRewind(pBar);
            Relayout(true);
            return;
        }
        pBar->SetPos(pV != NULL ? VerticalBarRect(rc, pV) : HorizontalBarRect(rc, pH), false);
        if (pBar->GetScrollRange() != iScroll && RerangeScrollBar(pBar, iScroll, m_bScrollProcess))
            Relayout(false);
        return;
    }

    // Both bars: the horizontal one first, since it takes height from the vertical one's view.
    bool bRangeChanged = false;
    const int W = rc.right - rc.left;
    if (cxRequired > W) {
        if (!pH->IsVisible()) {
            pH->SetVisible(true);
            pH->SetScrollPos(0, true);
            rc.bottom -= pH->GetFixedHeight();
        }
        pH->SetPos(HorizontalBarRect(rc, pH), false);
        if (pH->GetScrollRange() != cxRequired - W) {
            pH->SetScrollRange(cxRequired - W);
            bRangeChanged = true;
        }
    } else if (pH->IsVisible()) {
        // Also inside the nested layout that follows the showing of the vertical bar: nothing
        // would hide it afterwards.
        pH->SetVisible(false);
        rc.bottom += pH->GetFixedHeight();
    }

    // The vertical bar came or went: a shown horizontal bar follows the new width.
    auto refitHorizontal = [&] {
        if (!pH->IsVisible())
            return;
        pH->SetPos(HorizontalBarRect(rc, pH), false);
        pH->SetScrollRange(cxRequired - (rc.right - rc.left));
    };

    if (cyRequired > rc.bottom - rc.top && !pV->IsVisible()) {
        pV->SetVisible(true);
        pV->SetScrollRange(cyRequired - (rc.bottom - rc.top));
        pV->SetScrollPos(0, true);
        rc.right -= pV->GetFixedWidth();
        refitHorizontal();
        m_bScrollProcess = true;
        Relayout(true);
        m_bScrollProcess = false;
        return;
    }
    if (!pV->IsVisible()) {
        if (bRangeChanged)
            Relayout(true);
        return;
    }

    const int cyScroll = cyRequired - (rc.bottom - rc.top);
    if (cyScroll <= 0 && !m_bScrollProcess) {
        HideAndRewind(pV);
        rc.right += pV->GetFixedWidth();
        refitHorizontal();
        Relayout(true);
        return;
    }
    pV->SetPos(VerticalBarRect(rc, pV), false);
    if (pV->GetScrollRange() != cyScroll && (RerangeScrollBar(pV, cyScroll, m_bScrollProcess) || bRangeChanged))
        Relayout(false);
}

// ---------------------------------------------------------------------------------------------
// Scrolling

SIZE CContainerUI::GetScrollPos()
{
    SIZE sz = {0, 0};
    if (Shown(m_pVerticalScrollBar))
        sz.cy = m_pVerticalScrollBar->GetScrollPos();
    if (Shown(m_pHorizontalScrollBar))
        sz.cx = m_pHorizontalScrollBar->GetScrollPos();
    return sz;
}

SIZE CContainerUI::GetScrollRange()
{
    SIZE sz = {0, 0};
    if (Shown(m_pVerticalScrollBar))
        sz.cy = m_pVerticalScrollBar->GetScrollRange();
    if (Shown(m_pHorizontalScrollBar))
        sz.cx = m_pHorizontalScrollBar->GetScrollRange();
    return sz;
}

void CContainerUI::SetScrollPos(SIZE szPos)
{
    const int cy = MoveScrollBar(m_pVerticalScrollBar, szPos.cy);
    const int cx = MoveScrollBar(m_pHorizontalScrollBar, szPos.cx);
    if (cx == 0 && cy == 0)
        return;

    // Float children keep their place while the content scrolls.
    SIZE szOffset = {-cx, -cy};
    for (int i = 0; i < m_items.GetSize(); ++i) {
        CControlUI* pControl = static_cast<CControlUI*>(m_items[i]);
        if (!pControl->IsVisible() || pControl->IsFloat())
            continue;
        pControl->Move(szOffset, false);
    }
    Invalidate();
}

// Only the vertical line follows the text: a line of the default font and a little air.
int CContainerUI::VerticalLineStep()
{
    int cyLine = 8;
    if (m_pManager != NULL)
        cyLine = m_pManager->GetDefaultFontInfo()->tm.tmHeight + 8;
    if (m_pVerticalScrollBar != NULL && m_pVerticalScrollBar->GetScrollUnit() > 1)
        cyLine = m_pVerticalScrollBar->GetScrollUnit();
    return cyLine;
}

int CContainerUI::HorizontalLineStep()
{
    int cxLine = 8;
    if (m_pHorizontalScrollBar != NULL && m_pHorizontalScrollBar->GetScrollUnit() > 1)
        cxLine = m_pHorizontalScrollBar->GetScrollUnit();
    return cxLine;
}

int CContainerUI::VerticalPageStep()
{
    int iOffset = m_rcItem.bottom - m_rcItem.top - m_rcInset.top - m_rcInset.bottom;
    if (Shown(m_pHorizontalScrollBar))
        iOffset -= m_pHorizontalScrollBar->GetFixedHeight();
    return iOffset;
}

int CContainerUI::HorizontalPageStep()
{
    int iOffset = m_rcItem.right - m_rcItem.left - m_rcInset.left - m_rcInset.right;
    if (Shown(m_pVerticalScrollBar))
        iOffset -= m_pVerticalScrollBar->GetFixedWidth();
    return iOffset;
}

void CContainerUI::LineUp() { ScrollBy(this, &SIZE::cy, -VerticalLineStep()); }
void CContainerUI::LineDown() { ScrollBy(this, &SIZE::cy, VerticalLineStep()); }
void CContainerUI::PageUp() { ScrollBy(this, &SIZE::cy, -VerticalPageStep()); }
void CContainerUI::PageDown() { ScrollBy(this, &SIZE::cy, VerticalPageStep()); }
void CContainerUI::HomeUp() { ScrollToEdge(this, &SIZE::cy, false); }
void CContainerUI::EndDown() { ScrollToEdge(this, &SIZE::cy, true); }

void CContainerUI::LineLeft() { ScrollBy(this, &SIZE::cx, -HorizontalLineStep()); }
void CContainerUI::LineRight() { ScrollBy(this, &SIZE::cx, HorizontalLineStep()); }
void CContainerUI::PageLeft() { ScrollBy(this, &SIZE::cx, -HorizontalPageStep()); }
void CContainerUI::PageRight() { ScrollBy(this, &SIZE::cx, HorizontalPageStep()); }
void CContainerUI::HomeLeft() { ScrollToEdge(this, &SIZE::cx, false); }
void CContainerUI::EndRight() { ScrollToEdge(this, &SIZE::cx, true); }

void CContainerUI::EnableScrollBar(bool bEnableVertical, bool bEnableHorizontal)
{
    ToggleScrollBar(m_pVerticalScrollBar, bEnableVertical, false, this, m_pManager);
    ToggleScrollBar(m_pHorizontalScrollBar, bEnableHorizontal, true, this, m_pManager);
    NeedUpdate();
}

CScrollBarUI* CContainerUI::GetVerticalScrollBar() const
{
    return m_pVerticalScrollBar;
}

CScrollBarUI* CContainerUI::GetHorizontalScrollBar() const
{
    return m_pHorizontalScrollBar;
}

// ---------------------------------------------------------------------------------------------
// Search, input, attributes, painting

CControlUI* CContainerUI::FindControl(FindControlCallback Proc, void* pData, UINT uFlags)
{
    const bool bAtPoint = (uFlags & FindAtPoint) != 0;
    if ((uFlags & FindOnlyVisible) != 0 && !IsVisible())
        return NULL;
    if ((uFlags & FindOnlyEnabled) != 0 && !IsEnabled())
        return NULL;
    if (bAtPoint && !::PtInRect(&m_rcItem, *static_cast<LPPOINT>(pData)))
        return NULL;
    if ((uFlags & FindPruneMatched) != 0 && Proc(this, pData) != NULL)
        return NULL;

    const bool bMayAnswer = !bAtPoint || IsMouseEnabled();
    const bool bMayDescend = !bAtPoint || m_bMouseChildEnabled;
    CControlUI* pResult = NULL;
    if ((uFlags & FindSelfFirst) != 0 && bMayAnswer)
        pResult = Proc(this, pData);
    if (pResult == NULL && m_pCover != NULL && bMayDescend)
        pResult = m_pCover->FindControl(Proc, pData, uFlags);
    if (pResult == NULL && m_pVerticalScrollBar != NULL && bMayAnswer)
        pResult = m_pVerticalScrollBar->FindControl(Proc, pData, uFlags);
    if (pResult == NULL && m_pHorizontalScrollBar != NULL && bMayAnswer)
        pResult = m_pHorizontalScrollBar->FindControl(Proc, pData, uFlags);
    if (pResult != NULL)
        return pResult;

    if (bMayDescend) {
        RECT rcClient = GetClientPos();
        const int n = m_items.GetSize();
        const bool bLastFirst = (uFlags & FindLastChildFirst) != 0;
        for (int k = 0; k < kPrefetchAhead && k < n; ++k)
            PrefetchTreeFields(static_cast<CControlUI*>(m_items[bLastFirst ? n - 1 - k : k]));
        for (int k = 0; k < n; ++k) {
            int i = bLastFirst ? n - 1 - k : k;
            if (k + kPrefetchAhead < n)
                PrefetchTreeFields(static_cast<CControlUI*>(m_items[bLastFirst ? i - kPrefetchAhead : i + kPrefetchAhead]));
            CControlUI* pControl = static_cast<CControlUI*>(m_items[i])->FindControl(Proc, pData, uFlags);
            if (pControl == NULL)
                continue;
            if (!bAtPoint)
                return pControl;
            // A child scrolled out of the client area is not hit, a float one is.
            if (pControl->IsFloat() || ::PtInRect(&rcClient, *static_cast<LPPOINT>(pData)))
                return pControl;
        }
    }

    if ((uFlags & FindSelfFirst) == 0 && bMayAnswer)
        return Proc(this, pData);
    return NULL;
}

void CContainerUI::DoEvent(tagTEventUI& event)
{
    if (!IsMouseEnabled() && event.Type >= UIEVENT__MOUSEBEGIN && event.Type <= UIEVENT__MOUSEEND) {
        if (m_pParent != NULL)
            m_pParent->DoEvent(event);
        else
            CControlUI::DoEvent(event);
        return;
    }
    if (event.Type == UIEVENT_SETFOCUS) {
        m_bFocused = true;
        return;
    }
    if (event.Type == UIEVENT_KILLFOCUS) {
        m_bFocused = false;
        return;
    }

    CScrollBarUI* pV = m_pVerticalScrollBar;
    CScrollBarUI* pH = m_pHorizontalScrollBar;
    const bool bVActive = pV != NULL && pV->IsVisible() && pV->IsEnabled();
    const bool bHActive = pH != NULL && pH->IsVisible() && pH->IsEnabled();

    // Keys scroll the vertical bar while it can, else the horizontal one (Up and Down then go left
    // and right).
    if (event.Type == UIEVENT_KEYDOWN && IsKeyboardEnabled() && IsEnabled() && (bVActive || bHActive)) {
        switch (event.chKey) {
        case VK_DOWN: bVActive ? LineDown() : LineRight(); return;
        case VK_UP: bVActive ? LineUp() : LineLeft(); return;
        case VK_NEXT: bVActive ? PageDown() : PageRight(); return;
        case VK_PRIOR: bVActive ? PageUp() : PageLeft(); return;
        case VK_HOME: bVActive ? HomeUp() : HomeLeft(); return;
        case VK_END: bVActive ? EndDown() : EndRight(); return;
        default: break;
        }
    }

    if (event.Type == UIEVENT_SCROLLWHEEL && (bVActive || bHActive)) {
        const WORD wDir = LOWORD(event.wParam);
        if (wDir == SB_LINEUP || wDir == SB_LINEDOWN) {
            const bool bDown = wDir == SB_LINEDOWN;
            // Over the horizontal bar the wheel goes sideways, elsewhere the vertical bar comes first.
            if (bHActive && (!bVActive || ::PtInRect(&pH->GetPos(), event.ptMouse)))
                bDown ? LineRight() : LineLeft();
            else
                bDown ? LineDown() : LineUp();
            return;
        }
    }

    CControlUI::DoEvent(event);
}

void CContainerUI::SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue)
{
    if (pstrName == NULL)
        return;
    if (pstrValue == NULL)
        pstrValue = L"";
    if (wcscmp(pstrName, L"inset") == 0) {
        const wchar_t* p = pstrValue;
        RECT rc;
        rc.left = ReadInt(p);
        rc.top = ReadInt(p);
        rc.right = ReadInt(p);
        rc.bottom = ReadInt(p);
        SetInset(rc);
    } else if (wcscmp(pstrName, L"mousechild") == 0) {
        SetMouseChildEnabled(wcscmp(pstrValue, L"true") == 0);
    } else if (wcscmp(pstrName, L"vscrollbar") == 0) {
        EnableScrollBar(wcscmp(pstrValue, L"true") == 0, GetHorizontalScrollBar() != NULL);
    } else if (wcscmp(pstrName, L"vscrollbarstyle") == 0) {
        if (GetVerticalScrollBar() != NULL)
            GetVerticalScrollBar()->SetAttributeList(pstrValue);
    } else if (wcscmp(pstrName, L"hscrollbar") == 0) {
        EnableScrollBar(GetVerticalScrollBar() != NULL, wcscmp(pstrValue, L"true") == 0);
    } else if (wcscmp(pstrName, L"hscrollbarstyle") == 0) {
        if (GetHorizontalScrollBar() != NULL)
            GetHorizontalScrollBar()->SetAttributeList(pstrValue);
    } else if (wcscmp(pstrName, L"childpadding") == 0) {
        SetChildPadding((int)wcstol(pstrValue, NULL, 10));
    } else if (wcscmp(pstrName, L"childalign") == 0) {
        if (wcscmp(pstrValue, L"left") == 0) m_iChildAlign = DT_LEFT;
        else if (wcscmp(pstrValue, L"center") == 0) m_iChildAlign = DT_CENTER;
        else if (wcscmp(pstrValue, L"right") == 0) m_iChildAlign = DT_RIGHT;
    } else if (wcscmp(pstrName, L"childvalign") == 0) {
        if (wcscmp(pstrValue, L"top") == 0) m_iChildVAlign = DT_TOP;
        else if (wcscmp(pstrValue, L"vcenter") == 0) m_iChildVAlign = DT_VCENTER;
        else if (wcscmp(pstrValue, L"bottom") == 0) m_iChildVAlign = DT_BOTTOM;
    } else {
        CControlUI::SetAttribute(pstrName, pstrValue);
    }
}

bool CContainerUI::DoPaint(HDC hDC, const RECT& rcPaint, CControlUI* pStopControl)
{
    RECT rcTemp = {0, 0, 0, 0};
    if (!::IntersectRect(&rcTemp, &rcPaint, &m_rcItem))
        return true;

    CUIClipRegion clip;
    CUIClipRegion::ClipRect(hDC, rcTemp, clip);
    CControlUI::DoPaint(hDC, rcPaint, pStopControl);

    if (m_items.GetSize() > 0) {
        RECT rcClient = GetClientPos();
        if (!::IntersectRect(&rcTemp, &rcPaint, &rcClient)) {
            // Only float children can show outside the client area.
            for (int i = 0; i < m_items.GetSize(); ++i) {
                CControlUI* pControl = static_cast<CControlUI*>(m_items[i]);
                if (pControl == pStopControl)
                    return false;
                if (!pControl->IsVisible() || !Touches(rcPaint, pControl->GetPos()) || !pControl->IsFloat())
                    continue;
                if (Touches(m_rcItem, pControl->GetPos())) {
                    if (!pControl->Paint(hDC, rcPaint, pStopControl))
                        return false;
                }
            }
        } else {
            CUIClipRegion childClip;
            CUIClipRegion::ClipRect(hDC, rcTemp, childClip);
            CUIBorderPenScope borderPen(hDC);
            for (int i = 0; i < m_items.GetSize(); ++i) {
                CControlUI* pControl = static_cast<CControlUI*>(m_items[i]);
                if (pControl == pStopControl)
                    return false;
                if (!pControl->IsVisible() || !Touches(rcPaint, pControl->GetPos()))
                    continue;
                if (i + 1 < m_items.GetSize()) CUIPainter::PrefetchControl(static_cast<CControlUI*>(m_items[i + 1]));
                if (pControl->IsFloat()) {
                    if (!Touches(m_rcItem, pControl->GetPos()))
                        continue;
                    CUIClipRegion::SelectOldClip(hDC, childClip);
                    bool bGoOn = pControl->Paint(hDC, rcPaint, pStopControl);
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
