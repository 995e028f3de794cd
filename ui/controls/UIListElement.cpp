#include "UIListElement.h"
#include "UIButton.h"
#include "UIManager.h"
#include "UIScrollBar.h"

#include <wchar.h>

namespace Veneer {

namespace {

bool IsMouseEvent(int type) { return type >= UIEVENT__MOUSEBEGIN && type <= UIEVENT__MOUSEEND; }

// Repaints only the part of the row that its container and every ancestor show.
void InvalidateRow(CControlUI* pRow)
{
    if (!pRow->IsVisible()) return;
    CControlUI* pParent = pRow->GetParent();
    CContainerUI* pContainer = pParent != NULL ? static_cast<CContainerUI*>(pParent->GetInterface(L"Container")) : NULL;
    if (pContainer == NULL) {
        pRow->Invalidate();
        return;
    }
    RECT rcParent = pContainer->GetPos();
    RECT rcInset = pContainer->GetInset();
    rcParent.left += rcInset.left;
    rcParent.top += rcInset.top;
    rcParent.right -= rcInset.right;
    rcParent.bottom -= rcInset.bottom;
    CScrollBarUI* pVer = pContainer->GetVerticalScrollBar();
    if (pVer != NULL && pVer->IsVisible()) rcParent.right -= pVer->GetFixedWidth();
    CScrollBarUI* pHor = pContainer->GetHorizontalScrollBar();
    if (pHor != NULL && pHor->IsVisible()) rcParent.bottom -= pHor->GetFixedHeight();

    RECT rc;
    if (!::IntersectRect(&rc, &pRow->GetPos(), &rcParent)) return;
    for (CControlUI* p = pParent->GetParent(); p != NULL; p = p->GetParent()) {
        RECT rcTemp = rc;
        if (!::IntersectRect(&rc, &rcTemp, &p->GetPos())) return;
    }
    if (pRow->GetManager() != NULL) pRow->GetManager()->Invalidate(rc);
}

// The background shared by label, text and container rows.
void DrawRowBackground(CControlUI* pRow, TImageDesc& diOwnBk, IListOwnerUI* pOwner, int iDrawIndex, bool bHot,
                       bool bSelected, HDC hDC, const RECT& rcItem)
{
    if (pOwner == NULL) return;
    TListItemInfoUI* pInfo = pOwner->GetListInfo();
    if (pInfo == NULL) return;
    const bool bOdd = pInfo->bAlternateBk && (iDrawIndex % 2) != 0;
    DWORD iBackColor = bOdd ? 0 : pInfo->dwBkColor;
    if (bHot) iBackColor = pInfo->dwHotBkColor;
    if (bSelected) iBackColor = pInfo->dwSelectedBkColor;
    if (!pRow->IsEnabled()) iBackColor = pInfo->dwDisabledBkColor;
    if (iBackColor != 0) CUIPainter::DrawColor(hDC, rcItem, pRow->GetHslAdjustedColor(iBackColor));

    if (!pRow->IsEnabled() && pRow->DrawImage(hDC, pInfo->diDisabled)) return;
    if (bSelected && pRow->DrawImage(hDC, pInfo->diSelected)) return;
    if (bHot && pRow->DrawImage(hDC, pInfo->diHot)) return;
    if (pRow->DrawImage(hDC, diOwnBk)) return;
    if (!bOdd) pRow->DrawImage(hDC, pInfo->diBk);
}

DWORD RowTextColor(const TListItemInfoUI* pInfo, bool bHot, bool bSelected, bool bEnabled)
{
    DWORD iTextColor = pInfo->dwTextColor;
    if (bHot) iTextColor = pInfo->dwHotTextColor;
    if (bSelected) iTextColor = pInfo->dwSelectedTextColor;
    if (!bEnabled) iTextColor = pInfo->dwDisabledTextColor;
    return iTextColor;
}

IListOwnerUI* OwnerOf(CControlUI* pOwner)
{
    return static_cast<IListOwnerUI*>(pOwner->GetInterface(L"IListOwner"));
}

// Mouse enter and leave of a row. Answers true when the event ends at the row (a leave while the
// point is still inside); otherwise the event goes on to the row's owner.
bool TrackHot(CControlUI* pRow, UINT& uButtonState, tagTEventUI& event, void (*invalidate)(CControlUI*))
{
    if (event.Type == UIEVENT_MOUSEENTER) {
        if (::PtInRect(&pRow->GetPos(), event.ptMouse) && pRow->IsEnabled() && (uButtonState & UISTATE_HOT) == 0) {
            uButtonState |= UISTATE_HOT;
            invalidate(pRow);
        }
        return false;
    }
    if (event.Type == UIEVENT_MOUSELEAVE) {
        CPaintManagerUI* pManager = pRow->GetManager();
        if (::PtInRect(&pRow->GetPos(), event.ptMouse)) {
            if (pManager != NULL) pManager->AddMouseLeaveListener(pRow);
            return true;
        }
        if (pRow->IsEnabled() && (uButtonState & UISTATE_HOT) != 0) {
            uButtonState &= ~UISTATE_HOT;
            invalidate(pRow);
        }
        if (pManager != NULL) pManager->RemoveMouseLeaveListener(pRow);
        return false;
    }
    return false;
}

// "itemactivate", then the row's repaint, unless a listener destroyed the row.
template <class Row> void ActivateAndRepaint(Row* pRow)
{
    CControlWatch watch(pRow);
    pRow->Activate();
    if (watch.IsAlive()) pRow->InvalidateInContainer();
}

// "itemclick", the selection and the repaint of a pressed row; a listener of either notification
// may destroy the row, which then is not touched again.
template <class Row> void ClickAndSelect(Row* pRow)
{
    CControlWatch watch(pRow);
    if (pRow->GetManager() != NULL) pRow->GetManager()->SendNotify(pRow, L"itemclick");
    if (!watch.IsAlive()) return;
    pRow->Select(true, true);
    if (watch.IsAlive()) pRow->InvalidateInContainer();
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Element row

CListElementUI::CListElementUI() : m_iIndex(-1), m_iDrawIndex(0), m_bSelected(false), m_uButtonState(0), m_pOwner(NULL)
{
}

const wchar_t* CListElementUI::GetClass() const { return L"ListElement"; }

void* CListElementUI::GetInterface(const wchar_t* pstrName)
{
    if (wcscmp(pstrName, L"ListElement") == 0) return static_cast<CListElementUI*>(this);
    if (wcscmp(pstrName, L"IListItem") == 0) return static_cast<IListItemUI*>(this);
    return CControlUI::GetInterface(pstrName);
}

UINT CListElementUI::GetControlFlags() const { return 4; }

int CListElementUI::GetIndex() const { return m_iIndex; }
void CListElementUI::SetIndex(int iIndex) { m_iIndex = iIndex; }
int CListElementUI::GetDrawIndex() const { return m_iDrawIndex; }
void CListElementUI::SetDrawIndex(int iIndex) { m_iDrawIndex = iIndex; }
IListOwnerUI* CListElementUI::GetOwner() { return m_pOwner; }

void CListElementUI::SetOwner(CControlUI* pOwner)
{
    if (pOwner != NULL) m_pOwner = OwnerOf(pOwner);
}

void CListElementUI::SetVisible(bool bVisible)
{
    CControlUI::SetVisible(bVisible);
    if (!IsVisible() && m_bSelected) {
        m_bSelected = false;
        // Only the owner's own selection is cleared: a row that kept its flag while disabled is
        // not the owner's selection, and hiding it must not deselect another row.
        if (m_pOwner != NULL && m_pOwner->GetCurSel() == m_iIndex) m_pOwner->SelectItem(-1, false, true);
    }
}

void CListElementUI::SetEnabled(bool bEnable)
{
    CControlUI::SetEnabled(bEnable);
    if (!IsEnabled()) m_uButtonState = 0;
}

bool CListElementUI::IsSelected() const { return m_bSelected; }

bool CListElementUI::Select(bool bSelect, bool bTakeFocus)
{
    if (!IsEnabled()) return false;
    if (bSelect == m_bSelected) return true;
    m_bSelected = bSelect;
    if (bSelect && m_pOwner != NULL) {
        // An "itemselect" listener may destroy this row.
        CControlWatch watch(this);
        m_pOwner->SelectItem(m_iIndex, bTakeFocus, true);
        if (!watch.IsAlive()) return true;
    }
    InvalidateInContainer();
    return true;
}

bool CListElementUI::IsExpanded() const { return false; }
bool CListElementUI::Expand(bool) { return false; }
bool CListElementUI::IsHot() const { return (m_uButtonState & UISTATE_HOT) != 0; }

void CListElementUI::InvalidateInContainer() { InvalidateRow(this); }

bool CListElementUI::Activate()
{
    if (!CControlUI::Activate()) return false;
    if (m_pManager != NULL) m_pManager->SendNotify(this, L"itemactivate");
    return true;
}

void CListElementUI::DoEvent(tagTEventUI& event)
{
    if (!IsMouseEnabled() && IsMouseEvent(event.Type)) {
        if (m_pOwner != NULL)
            m_pOwner->DoEvent(event);
        else
            CControlUI::DoEvent(event);
        return;
    }
    if (event.Type == UIEVENT_DBLCLICK) {
        if (IsEnabled()) ActivateAndRepaint(this);
        return;
    }
    if (event.Type == UIEVENT_KEYDOWN && IsKeyboardEnabled() && IsEnabled() && event.chKey == VK_RETURN) {
        ActivateAndRepaint(this);
        return;
    }
    if (m_pOwner != NULL)
        m_pOwner->DoEvent(event);
    else
        CControlUI::DoEvent(event);
}

void CListElementUI::SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue)
{
    if (wcscmp(pstrName, L"selected") == 0)
        Select(wcscmp(pstrValue, L"true") == 0, true);
    else
        CControlUI::SetAttribute(pstrName, pstrValue);
}

void CListElementUI::DrawItemBackground(HDC hDC, const RECT& rcItem)
{
    DrawRowBackground(this, m_diBk, m_pOwner, m_iDrawIndex, IsHot(), IsSelected(), hDC, rcItem);
}

// ---------------------------------------------------------------------------------------------
// Label row

CListLabelElementUI::CListLabelElementUI()
    : m_bNeedEstimateSize(true), m_uFixedHeightLast(0), m_nFontLast(-1), m_uTextStyleLast(0)
{
    m_cxyEstimated = SIZE{0, 0};
    m_szAvailableLast = SIZE{0, 0};
    m_rcTextPaddingLast = RECT{0, 0, 0, 0};
}

const wchar_t* CListLabelElementUI::GetClass() const { return L"ListLabelElement"; }

void* CListLabelElementUI::GetInterface(const wchar_t* pstrName)
{
    if (wcscmp(pstrName, L"ListLabelElement") == 0) return static_cast<CListLabelElementUI*>(this);
    return CListElementUI::GetInterface(pstrName);
}

void CListLabelElementUI::SetOwner(CControlUI* pOwner)
{
    m_bNeedEstimateSize = true;
    CListElementUI::SetOwner(pOwner);
}

void CListLabelElementUI::SetText(const wchar_t* pstrText)
{
    m_bNeedEstimateSize = true;
    CListElementUI::SetText(pstrText);
}

void CListLabelElementUI::SetFixedWidth(int cx)
{
    m_bNeedEstimateSize = true;
    CListElementUI::SetFixedWidth(cx);
}

void CListLabelElementUI::SetFixedHeight(int cy)
{
    m_bNeedEstimateSize = true;
    CListElementUI::SetFixedHeight(cy);
}

void CListLabelElementUI::DoEvent(tagTEventUI& event)
{
    if (!IsMouseEnabled() && IsMouseEvent(event.Type)) {
        if (m_pOwner != NULL)
            m_pOwner->DoEvent(event);
        else
            CListElementUI::DoEvent(event);
        return;
    }
    if (event.Type == UIEVENT_BUTTONDOWN || event.Type == UIEVENT_RBUTTONDOWN) {
        if (IsEnabled()) {
            ClickAndSelect(this);
            return;
        }
    }
    if (event.Type == UIEVENT_MOUSEMOVE || event.Type == UIEVENT_BUTTONUP) return;
    if (TrackHot(this, m_uButtonState, event, InvalidateRow)) return;
    CListElementUI::DoEvent(event);
}

SIZE CListLabelElementUI::EstimateWith(TListItemInfoUI* pInfo, SIZE szAvailable, const CUIString& sText, int cxColumns)
{
    SIZE cxyFixed = m_cxyFixed;
    if (cxyFixed.cx == 0 && cxColumns > 0) cxyFixed.cx = cxColumns;
    if (cxyFixed.cx > 0) {
        if (cxyFixed.cy > 0) return cxyFixed;
        if (pInfo->uFixedHeight > 0) return SIZE{cxyFixed.cx, pInfo->uFixedHeight};
    }
    // Measuring needs the window's font and DC; until the row has them it asks for its fixed size.
    if (m_pManager == NULL || m_pManager->GetPaintDC() == NULL) return m_cxyFixed;

    const RECT& rcPad = pInfo->rcTextPadding;
    if ((pInfo->uTextStyle & DT_SINGLELINE) == 0 &&
        (szAvailable.cx != m_szAvailableLast.cx || szAvailable.cy != m_szAvailableLast.cy))
        m_bNeedEstimateSize = true;
    if (m_uFixedHeightLast != pInfo->uFixedHeight || m_nFontLast != pInfo->nFont ||
        m_uTextStyleLast != pInfo->uTextStyle || !::EqualRect(&m_rcTextPaddingLast, &rcPad))
        m_bNeedEstimateSize = true;
    if (!m_bNeedEstimateSize) return m_cxyEstimated;

    m_bNeedEstimateSize = false;
    m_szAvailableLast = szAvailable;
    m_uFixedHeightLast = pInfo->uFixedHeight;
    m_nFontLast = pInfo->nFont;
    m_uTextStyleLast = pInfo->uTextStyle;
    m_rcTextPaddingLast = rcPad;

    m_cxyEstimated = cxyFixed;
    if (m_cxyEstimated.cy == 0) m_cxyEstimated.cy = pInfo->uFixedHeight;
    HDC hDC = m_pManager->GetPaintDC();
    const UINT uMeasureStyle = (pInfo->uTextStyle & ~(DT_CENTER | DT_RIGHT)) | DT_CALCRECT;
    if ((pInfo->uTextStyle & DT_SINGLELINE) == 0) {
        if (m_cxyEstimated.cx == 0) m_cxyEstimated.cx = szAvailable.cx;
        RECT rcText = {rcPad.left, 0, m_cxyEstimated.cx - rcPad.right, 9999};
        if (pInfo->bShowHtml) {
            int nLinks = 0;
            CUIPainter::DrawHtmlText(hDC, m_pManager, rcText, sText, 0, NULL, NULL, nLinks, pInfo->nFont, uMeasureStyle);
        } else {
            CUIPainter::DrawText(hDC, m_pManager, rcText, sText, 0, pInfo->nFont, uMeasureStyle);
        }
        m_cxyEstimated.cy = rcText.bottom - rcText.top + rcPad.top + rcPad.bottom;
    } else {
        if (m_cxyEstimated.cy == 0)
            m_cxyEstimated.cy = m_pManager->GetFontInfo(pInfo->nFont)->tm.tmHeight + 8 + rcPad.top + rcPad.bottom;
        if (m_cxyEstimated.cx == 0) {
            RECT rcText = {0, 0, 9999, m_cxyEstimated.cy};
            if (pInfo->bShowHtml) {
                int nLinks = 0;
                CUIPainter::DrawHtmlText(hDC, m_pManager, rcText, sText, 0, NULL, NULL, nLinks, pInfo->nFont,
                                         uMeasureStyle);
            } else {
                CUIPainter::DrawText(hDC, m_pManager, rcText, sText, 0, pInfo->nFont, uMeasureStyle);
            }
            m_cxyEstimated.cx = rcText.right - rcText.left + rcPad.left + rcPad.right;
        }
    }
    return m_cxyEstimated;
}

SIZE CListLabelElementUI::EstimateSize(SIZE szAvailable)
{
    TListItemInfoUI* pInfo = m_pOwner != NULL ? m_pOwner->GetListInfo() : NULL;
    if (pInfo == NULL) return SIZE{0, 0};
    return EstimateWith(pInfo, szAvailable, GetText(), 0);
}

DWORD CListLabelElementUI::ItemTextColor(const TListItemInfoUI* pInfo) const
{
    return RowTextColor(pInfo, IsHot(), IsSelected(), IsEnabled());
}

bool CListLabelElementUI::DoPaint(HDC hDC, const RECT&, CControlUI*)
{
    DrawItemBackground(hDC, m_rcItem);
    DrawItemText(hDC, m_rcItem);
    return true;
}

void CListLabelElementUI::DrawItemText(HDC hDC, const RECT& rcItem)
{
    CUIString sText = GetText();
    if (sText.IsEmpty() || m_pOwner == NULL) return;
    TListItemInfoUI* pInfo = m_pOwner->GetListInfo();
    if (pInfo == NULL) return;
    DWORD iTextColor = ItemTextColor(pInfo);
    RECT rcText = rcItem;
    rcText.left += pInfo->rcTextPadding.left;
    rcText.right -= pInfo->rcTextPadding.right;
    rcText.top += pInfo->rcTextPadding.top;
    rcText.bottom -= pInfo->rcTextPadding.bottom;
    if (pInfo->bShowHtml) {
        int nLinks = 0;
        CUIPainter::DrawHtmlText(hDC, m_pManager, rcText, sText, iTextColor, NULL, NULL, nLinks, pInfo->nFont,
                                 pInfo->uTextStyle);
    } else {
        CUIPainter::DrawText(hDC, m_pManager, rcText, sText, iTextColor, pInfo->nFont, pInfo->uTextStyle);
    }
}

// ---------------------------------------------------------------------------------------------
// Text row

CListTextElementUI::CListTextElementUI() : m_nLinks(0), m_nHoverLink(-1), m_pOwnerList(NULL), m_cxColumnsLast(0)
{
    ::ZeroMemory(m_rcLinks, sizeof(m_rcLinks));
}

CListTextElementUI::~CListTextElementUI()
{
    for (int it = 0; it < m_aTexts.GetSize(); ++it) delete static_cast<CUIString*>(m_aTexts[it]);
    m_aTexts.Empty();
}

const wchar_t* CListTextElementUI::GetClass() const { return L"ListTextElement"; }

void* CListTextElementUI::GetInterface(const wchar_t* pstrName)
{
    if (wcscmp(pstrName, L"ListTextElement") == 0) return static_cast<CListTextElementUI*>(this);
    return CListLabelElementUI::GetInterface(pstrName);
}

UINT CListTextElementUI::GetControlFlags() const { return 4 | ((IsEnabled() && m_nLinks > 0) ? 2 : 0); }

const wchar_t* CListTextElementUI::GetText(int iIndex) const
{
    CUIString* pText = static_cast<CUIString*>(m_aTexts.GetAt(iIndex));
    return pText != NULL ? pText->GetData() : NULL;
}

int CListTextElementUI::GetLinkCount() const { return m_nLinks; }

RECT CListTextElementUI::GetLinkRect(int iIndex) const
{
    if (iIndex < 0 || iIndex >= MAX_LINK) return RECT{0, 0, 0, 0};
    return m_rcLinks[iIndex];
}

CUIString CListTextElementUI::GetLinkTarget(int iIndex) const
{
    if (iIndex < 0 || iIndex >= MAX_LINK) return CUIString();
    return m_sLinks[iIndex];
}

void CListTextElementUI::SetOwner(CControlUI* pOwner)
{
    if (pOwner == NULL) return;
    m_bNeedEstimateSize = true;
    CListLabelElementUI::SetOwner(pOwner);
    m_pOwnerList = static_cast<IListUI*>(pOwner->GetInterface(L"IList"));
}

CUIString CListTextElementUI::MeasuredText()
{
    IListTextCallbackUI* pCallback = m_pOwnerList->GetTextCallback();
    if (pCallback != NULL) {
        const wchar_t* pstr = pCallback->GetItemText(this, m_iIndex, 0);
        return CUIString(pstr != NULL ? pstr : L"");
    }
    if (m_aTexts.GetSize() == 0) return GetText();
    const wchar_t* pstr = GetText(0);
    return CUIString(pstr != NULL ? pstr : L"");
}

void CListTextElementUI::DoEvent(tagTEventUI& event)
{
    if (!IsMouseEnabled() && IsMouseEvent(event.Type)) {
        if (m_pOwnerList != NULL)
            m_pOwnerList->DoEvent(event);
        else
            CListLabelElementUI::DoEvent(event);
        return;
    }
    if (event.Type == UIEVENT_SETCURSOR) {
        for (int i = 0; i < m_nLinks; ++i) {
            if (::PtInRect(&m_rcLinks[i], event.ptMouse)) {
                ::SetCursor(::LoadCursorW(NULL, IDC_HAND));
                return;
            }
        }
    }
    if (event.Type == UIEVENT_BUTTONUP && IsEnabled()) {
        for (int i = 0; i < m_nLinks; ++i) {
            if (::PtInRect(&m_rcLinks[i], event.ptMouse)) {
                if (m_pManager != NULL) m_pManager->SendNotify(this, L"link", i);
                return;
            }
        }
    }
    if (m_nLinks > 0 && event.Type == UIEVENT_MOUSEMOVE) {
        int nHoverLink = -1;
        for (int i = 0; i < m_nLinks; ++i) {
            if (::PtInRect(&m_rcLinks[i], event.ptMouse)) {
                nHoverLink = i;
                break;
            }
        }
        if (m_nHoverLink != nHoverLink) {
            InvalidateInContainer();
            m_nHoverLink = nHoverLink;
        }
    }
    if (m_nLinks > 0 && event.Type == UIEVENT_MOUSELEAVE && m_nHoverLink >= 0 && m_nHoverLink < m_nLinks) {
        if (::PtInRect(&m_rcLinks[m_nHoverLink], event.ptMouse)) {
            if (m_pManager != NULL) m_pManager->AddMouseLeaveListener(this);
            return;
        }
        m_nHoverLink = -1;
        InvalidateInContainer();
        if (m_pManager != NULL) m_pManager->RemoveMouseLeaveListener(this);
    }
    CListLabelElementUI::DoEvent(event);
}

SIZE CListTextElementUI::EstimateSize(SIZE szAvailable)
{
    TListItemInfoUI* pInfo = m_pOwnerList != NULL ? m_pOwnerList->GetListInfo() : NULL;
    if (pInfo == NULL) return SIZE{0, 0};
    int cxColumns = 0;
    if (pInfo->nColumns > 0) cxColumns = pInfo->rcColumn[pInfo->nColumns - 1].right - pInfo->rcColumn[0].left;
    if (cxColumns != m_cxColumnsLast) {
        m_cxColumnsLast = cxColumns;
        m_bNeedEstimateSize = true;
    }
    CUIString sText = MeasuredText();
    if (sText != m_sTextLast) {
        m_sTextLast = sText;
        m_bNeedEstimateSize = true;
    }
    return EstimateWith(pInfo, szAvailable, sText, cxColumns);
}

void CListTextElementUI::DrawItemText(HDC hDC, const RECT&)
{
    if (m_pOwnerList == NULL) return;
    TListItemInfoUI* pInfo = m_pOwnerList->GetListInfo();
    if (pInfo == NULL) return;
    DWORD iTextColor = ItemTextColor(pInfo);
    IListTextCallbackUI* pCallback = m_pOwnerList->GetTextCallback();
    m_nLinks = 0;

    auto drawCell = [&](RECT rcCell, const wchar_t* pstrText) {
        if (pstrText == NULL || *pstrText == L'\0') return;
        if (pInfo->bShowHtml) {
            int nLinks = MAX_LINK - m_nLinks;
            CUIPainter::DrawHtmlText(hDC, m_pManager, rcCell, pstrText, iTextColor, &m_rcLinks[m_nLinks],
                                     &m_sLinks[m_nLinks], nLinks, pInfo->nFont, pInfo->uTextStyle);
            m_nLinks += nLinks;
        } else {
            CUIPainter::DrawText(hDC, m_pManager, rcCell, pstrText, iTextColor, pInfo->nFont, pInfo->uTextStyle);
        }
    };
    auto deflate = [pInfo](RECT& rc) {
        rc.left += pInfo->rcTextPadding.left;
        rc.right -= pInfo->rcTextPadding.right;
        rc.top += pInfo->rcTextPadding.top;
        rc.bottom -= pInfo->rcTextPadding.bottom;
    };

    if (pInfo->nColumns < 1) {
        RECT rcItem = m_rcItem;
        deflate(rcItem);
        CUIString sText;
        if (pCallback != NULL) {
            const wchar_t* pstr = pCallback->GetItemText(this, m_iIndex, 0);
            sText = pstr != NULL ? pstr : L"";
        } else if (m_aTexts.GetSize() == 0) {
            sText = GetText();
        } else {
            const wchar_t* pstr = GetText(0);
            sText = pstr != NULL ? pstr : L"";
        }
        drawCell(rcItem, sText);
    } else {
        for (int i = 0; i < pInfo->nColumns; ++i) {
            RECT rcItem = {pInfo->rcColumn[i].left, m_rcItem.top, pInfo->rcColumn[i].right, m_rcItem.bottom};
            const int s = pInfo->iVLineSize;
            if (s > 0 && i < pInfo->nColumns - 1) {
                RECT rcLine = {rcItem.right - s / 2, rcItem.top, rcItem.right - s / 2, rcItem.bottom};
                CUIPainter::DrawLine(hDC, rcLine, s, GetHslAdjustedColor(pInfo->dwVLineColor));
                rcItem.right -= s;
            }
            deflate(rcItem);
            const wchar_t* pstrText = NULL;
            if (pCallback != NULL)
                pstrText = pCallback->GetItemText(this, m_iIndex, i);
            else
                pstrText = GetText(i);
            drawCell(rcItem, pstrText);
        }
    }
    for (int i = m_nLinks; i < MAX_LINK; ++i) {
        ::ZeroMemory(&m_rcLinks[i], sizeof(RECT));
        m_sLinks[i].Empty();
    }
}

// ---------------------------------------------------------------------------------------------
// Container row

CListContainerElementUI::CListContainerElementUI()
    : m_iIndex(-1),
      m_iDrawIndex(0),
      m_bSelected(false),
      m_bExpandable(false),
      m_bExpand(false),
      m_uButtonState(0),
      m_pOwner(NULL)
{
}

const wchar_t* CListContainerElementUI::GetClass() const { return L"ListContainerElement"; }

void* CListContainerElementUI::GetInterface(const wchar_t* pstrName)
{
    if (wcscmp(pstrName, L"ListContainerElement") == 0) return static_cast<CListContainerElementUI*>(this);
    if (wcscmp(pstrName, L"IListItem") == 0) return static_cast<IListItemUI*>(this);
    return CContainerUI::GetInterface(pstrName);
}

UINT CListContainerElementUI::GetControlFlags() const { return 4; }

int CListContainerElementUI::GetIndex() const { return m_iIndex; }
void CListContainerElementUI::SetIndex(int iIndex) { m_iIndex = iIndex; }
int CListContainerElementUI::GetDrawIndex() const { return m_iDrawIndex; }
void CListContainerElementUI::SetDrawIndex(int iIndex) { m_iDrawIndex = iIndex; }
IListOwnerUI* CListContainerElementUI::GetOwner() { return m_pOwner; }

void CListContainerElementUI::SetOwner(CControlUI* pOwner)
{
    if (pOwner != NULL) m_pOwner = OwnerOf(pOwner);
}

void CListContainerElementUI::SetVisible(bool bVisible)
{
    CContainerUI::SetVisible(bVisible);
    if (!IsVisible() && m_bSelected) {
        m_bSelected = false;
        if (m_pOwner != NULL && m_pOwner->GetCurSel() == m_iIndex) m_pOwner->SelectItem(-1, false, true);
    }
}

void CListContainerElementUI::SetEnabled(bool bEnable)
{
    CControlUI::SetEnabled(bEnable);
    if (!IsEnabled()) m_uButtonState = 0;
}

bool CListContainerElementUI::IsSelected() const { return m_bSelected; }

bool CListContainerElementUI::Select(bool bSelect, bool bTakeFocus)
{
    if (!IsEnabled()) return false;
    if (bSelect == m_bSelected) return true;
    m_bSelected = bSelect;
    if (bSelect && m_pOwner != NULL) {
        // An "itemselect" listener may destroy this row.
        CControlWatch watch(this);
        m_pOwner->SelectItem(m_iIndex, bTakeFocus, true);
        if (!watch.IsAlive()) return true;
    }
    InvalidateInContainer();
    return true;
}

bool CListContainerElementUI::IsExpandable() const { return m_bExpandable; }
void CListContainerElementUI::SetExpandable(bool bExpandable) { m_bExpandable = bExpandable; }
bool CListContainerElementUI::IsExpanded() const { return m_bExpand; }

bool CListContainerElementUI::Expand(bool bExpand)
{
    if (m_pOwner == NULL) return false;
    if (bExpand == m_bExpand) return true;
    m_bExpand = bExpand;
    if (m_bExpandable) {
        if (!m_pOwner->ExpandItem(m_iIndex, bExpand)) return false;
        if (m_pManager != NULL) m_pManager->SendNotify(this, bExpand ? L"itemexpand" : L"itemcollapse");
    }
    return true;
}

bool CListContainerElementUI::IsHot() const { return (m_uButtonState & UISTATE_HOT) != 0; }

void CListContainerElementUI::InvalidateInContainer() { InvalidateRow(this); }

bool CListContainerElementUI::Activate()
{
    if (!CContainerUI::Activate()) return false;
    if (m_pManager != NULL) m_pManager->SendNotify(this, L"itemactivate");
    return true;
}

void CListContainerElementUI::DoEvent(tagTEventUI& event)
{
    if (!IsMouseEnabled() && IsMouseEvent(event.Type)) {
        if (m_pOwner != NULL)
            m_pOwner->DoEvent(event);
        else
            CContainerUI::DoEvent(event);
        return;
    }
    if (event.Type == UIEVENT_DBLCLICK) {
        if (IsEnabled()) ActivateAndRepaint(this);
        return;
    }
    if (event.Type == UIEVENT_KEYDOWN && IsKeyboardEnabled() && IsEnabled() && event.chKey == VK_RETURN) {
        ActivateAndRepaint(this);
        return;
    }
    if (event.Type == UIEVENT_BUTTONDOWN || event.Type == UIEVENT_RBUTTONDOWN) {
        if (IsEnabled()) {
            ClickAndSelect(this);
            return;
        }
    }
    if (event.Type == UIEVENT_MOUSEMOVE || event.Type == UIEVENT_BUTTONUP) return;
    if (TrackHot(this, m_uButtonState, event, InvalidateRow)) return;
    if (m_pOwner != NULL)
        m_pOwner->DoEvent(event);
    else
        CControlUI::DoEvent(event);
}

void CListContainerElementUI::SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue)
{
    if (wcscmp(pstrName, L"selected") == 0)
        Select(wcscmp(pstrValue, L"true") == 0, true);
    else if (wcscmp(pstrName, L"expandable") == 0)
        SetExpandable(wcscmp(pstrValue, L"true") == 0);
    else
        CContainerUI::SetAttribute(pstrName, pstrValue);
}

SIZE CListContainerElementUI::EstimateSize(SIZE)
{
    SIZE cXY = m_cxyFixed;
    // Without an owner there is no item height to fall back on: the fixed size stands.
    if (cXY.cy == 0 && m_pOwner != NULL) {
        TListItemInfoUI* pInfo = m_pOwner->GetListInfo();
        if (pInfo != NULL) cXY.cy = pInfo->uFixedHeight;
    }
    return cXY;
}

void CListContainerElementUI::DrawItemText(HDC, const RECT&) {}

void CListContainerElementUI::DrawItemBackground(HDC hDC, const RECT& rcItem)
{
    DrawRowBackground(this, m_diBk, m_pOwner, m_iDrawIndex, IsHot(), IsSelected(), hDC, rcItem);
}

bool CListContainerElementUI::DoPaint(HDC hDC, const RECT& rcPaint, CControlUI* pStopControl)
{
    DrawItemBackground(hDC, m_rcItem);
    return CContainerUI::DoPaint(hDC, rcPaint, pStopControl);
}

// ---------------------------------------------------------------------------------------------
// Horizontal-box row

const wchar_t* CListHBoxElementUI::GetClass() const { return L"ListHBoxElement"; }

void* CListHBoxElementUI::GetInterface(const wchar_t* pstrName)
{
    if (wcscmp(pstrName, L"ListHBoxElement") == 0) return static_cast<CListHBoxElementUI*>(this);
    return CListContainerElementUI::GetInterface(pstrName);
}

void CListHBoxElementUI::SetPos(RECT rc, bool bNeedInvalidate)
{
    if (m_pOwner == NULL) {
        CListContainerElementUI::SetPos(rc, bNeedInvalidate);
        return;
    }
    CControlUI::SetPos(rc, bNeedInvalidate);
    TListItemInfoUI* pInfo = m_pOwner->GetListInfo();
    if (pInfo == NULL) return;

    int iColumn = 0;
    for (int it = 0; it < m_items.GetSize(); ++it) {
        CControlUI* pControl = static_cast<CControlUI*>(m_items[it]);
        if (!pControl->IsVisible()) continue;
        if (pControl->IsFloat()) {
            SetFloatPos(it);
            continue;
        }
        RECT rcPadding = pControl->GetPadding();
        if (pInfo->nColumns <= 0) {
            RECT rcItem = {m_rcItem.left + rcPadding.left, m_rcItem.top + rcPadding.top,
                           m_rcItem.right - rcPadding.right, m_rcItem.bottom - rcPadding.bottom};
            pControl->SetPos(rcItem, false);
            continue;
        }
        // Children beyond the last column stay where they were.
        if (iColumn >= pInfo->nColumns) continue;
        RECT rcItem = {pInfo->rcColumn[iColumn].left + rcPadding.left, m_rcItem.top + rcPadding.top,
                       pInfo->rcColumn[iColumn].right - rcPadding.right, m_rcItem.bottom - rcPadding.bottom};
        if (pInfo->iVLineSize > 0 && iColumn < pInfo->nColumns - 1) rcItem.right -= pInfo->iVLineSize;
        pControl->SetPos(rcItem, false);
        ++iColumn;
    }
}

bool CListHBoxElementUI::DoPaint(HDC hDC, const RECT& rcPaint, CControlUI* pStopControl)
{
    TListItemInfoUI* pInfo = m_pOwner != NULL ? m_pOwner->GetListInfo() : NULL;
    if (pInfo == NULL) return true;
    DrawItemBackground(hDC, m_rcItem);
    const int s = pInfo->iVLineSize;
    if (s > 0) {
        for (int i = 0; i < pInfo->nColumns - 1; ++i) {
            RECT rcLine = {pInfo->rcColumn[i].right - s / 2, m_rcItem.top, pInfo->rcColumn[i].right - s / 2,
                           m_rcItem.bottom};
            CUIPainter::DrawLine(hDC, rcLine, s, GetHslAdjustedColor(pInfo->dwVLineColor));
        }
    }
    return CContainerUI::DoPaint(hDC, rcPaint, pStopControl);
}

} // namespace Veneer
