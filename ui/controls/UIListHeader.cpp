#include "UIListHeader.h"
#include "UIButton.h"
#include "UIList.h"
#include "UIManager.h"

#include <stdlib.h>
#include <wchar.h>

namespace Veneer {

namespace {

DWORD ParseHeaderColor(const wchar_t* pstrValue)
{
    if (*pstrValue == L'#') ++pstrValue;
    return (DWORD)wcstoul(pstrValue, NULL, 16);
}

long ReadNextInt(const wchar_t*& p)
{
    wchar_t* end = NULL;
    long v = wcstol(p, &end, 10);
    p = end;
    if (*p != L'\0') ++p;
    return v;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// Header

CListHeaderUI::CListHeaderUI() {}

const wchar_t* CListHeaderUI::GetClass() const { return L"ListHeader"; }

void* CListHeaderUI::GetInterface(const wchar_t* pstrName)
{
    if (wcscmp(pstrName, L"ListHeader") == 0) return this;
    return CHorizontalLayoutUI::GetInterface(pstrName);
}

SIZE CListHeaderUI::EstimateSize(SIZE szAvailable)
{
    SIZE cXY = {0, m_cxyFixed.cy};
    if (cXY.cy == 0 && m_pManager != NULL) {
        for (int it = 0; it < m_items.GetSize(); ++it) {
            int cy = static_cast<CControlUI*>(m_items[it])->EstimateSize(szAvailable).cy;
            if (cy > cXY.cy) cXY.cy = cy;
        }
        int nMin = m_pManager->GetDefaultFontInfo()->tm.tmHeight + 8;
        if (cXY.cy < nMin) cXY.cy = nMin;
    }
    for (int it = 0; it < m_items.GetSize(); ++it)
        cXY.cx += static_cast<CControlUI*>(m_items[it])->EstimateSize(szAvailable).cx;
    return cXY;
}

// ---------------------------------------------------------------------------------------------
// Header item

CListHeaderItemUI::CListHeaderItemUI()
    : m_bDragable(true),
      m_uButtonState(0),
      m_iSepWidth(4),
      m_dwTextColor(0),
      m_dwSepColor(0),
      m_iFont(-1),
      m_uTextStyle(DT_CENTER | DT_VCENTER | DT_SINGLELINE),
      m_bShowHtml(false)
{
    m_ptLastMouse.x = m_ptLastMouse.y = 0;
    m_rcTextPadding = RECT{2, 0, 2, 0};
    SetMinWidth(16);
}

CListHeaderItemUI::~CListHeaderItemUI() {}

const wchar_t* CListHeaderItemUI::GetClass() const { return L"ListHeaderItem"; }

void* CListHeaderItemUI::GetInterface(const wchar_t* pstrName)
{
    if (wcscmp(pstrName, L"ListHeaderItem") == 0) return this;
    return CControlUI::GetInterface(pstrName);
}

UINT CListHeaderItemUI::GetControlFlags() const
{
    return (IsEnabled() && m_iSepWidth != 0) ? 2u : 0u;
}

void CListHeaderItemUI::SetEnabled(bool bEnable)
{
    CControlUI::SetEnabled(bEnable);
    if (!IsEnabled()) m_uButtonState = 0;
}

bool CListHeaderItemUI::IsDragable() const { return m_bDragable; }

void CListHeaderItemUI::SetDragable(bool bDragable)
{
    m_bDragable = bDragable;
    if (!m_bDragable) m_uButtonState &= ~UISTATE_CAPTURED;
}

int CListHeaderItemUI::GetSepWidth() const { return m_iSepWidth; }
void CListHeaderItemUI::SetSepWidth(int iWidth) { m_iSepWidth = iWidth; }

void CListHeaderItemUI::SetTextColor(DWORD dwTextColor)
{
    m_dwTextColor = dwTextColor;
    Invalidate();
}

void CListHeaderItemUI::SetSepColor(DWORD dwSepColor)
{
    m_dwSepColor = dwSepColor;
    Invalidate();
}

void CListHeaderItemUI::SetFont(int index) { m_iFont = index; }

void CListHeaderItemUI::SetTextPadding(RECT rc)
{
    m_rcTextPadding = rc;
    Invalidate();
}

void CListHeaderItemUI::SetShowHtml(bool bShowHtml)
{
    if (m_bShowHtml == bShowHtml) return;
    m_bShowHtml = bShowHtml;
    Invalidate();
}

UINT CListHeaderItemUI::GetTextStyle() const { return m_uTextStyle; }

void CListHeaderItemUI::SetNormalImage(const wchar_t* pStrImage)
{
    if (ReplaceListImage(m_diNormal, pStrImage)) Invalidate();
}

void CListHeaderItemUI::SetHotImage(const wchar_t* pStrImage)
{
    if (ReplaceListImage(m_diHot, pStrImage)) Invalidate();
}

void CListHeaderItemUI::SetPushedImage(const wchar_t* pStrImage)
{
    if (ReplaceListImage(m_diPushed, pStrImage)) Invalidate();
}

void CListHeaderItemUI::SetFocusedImage(const wchar_t* pStrImage)
{
    if (ReplaceListImage(m_diFocused, pStrImage)) Invalidate();
}

void CListHeaderItemUI::SetSepImage(const wchar_t* pStrImage)
{
    if (ReplaceListImage(m_diSep, pStrImage)) Invalidate();
}

void CListHeaderItemUI::SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue)
{
    if (wcscmp(pstrName, L"dragable") == 0) {
        SetDragable(wcscmp(pstrValue, L"true") == 0);
    } else if (wcscmp(pstrName, L"sepwidth") == 0) {
        SetSepWidth((int)wcstol(pstrValue, NULL, 10));
    } else if (wcscmp(pstrName, L"align") == 0) {
        if (wcsstr(pstrValue, L"left") != NULL) m_uTextStyle &= ~(DT_CENTER | DT_RIGHT);
        if (wcsstr(pstrValue, L"center") != NULL) {
            m_uTextStyle &= ~DT_RIGHT;
            m_uTextStyle |= DT_CENTER;
        }
        if (wcsstr(pstrValue, L"right") != NULL) {
            m_uTextStyle &= ~DT_CENTER;
            m_uTextStyle |= DT_RIGHT;
        }
    } else if (wcscmp(pstrName, L"valign") == 0) {
        if (wcsstr(pstrValue, L"top") != NULL) m_uTextStyle &= ~(DT_VCENTER | DT_BOTTOM);
        if (wcsstr(pstrValue, L"vcenter") != NULL) {
            m_uTextStyle &= ~DT_BOTTOM;
            m_uTextStyle |= DT_VCENTER;
        }
        if (wcsstr(pstrValue, L"bottom") != NULL) {
            m_uTextStyle &= ~DT_VCENTER;
            m_uTextStyle |= DT_BOTTOM;
        }
    } else if (wcscmp(pstrName, L"endellipsis") == 0) {
        if (wcscmp(pstrValue, L"true") == 0)
            m_uTextStyle |= DT_END_ELLIPSIS;
        else
            m_uTextStyle &= ~DT_END_ELLIPSIS;
    } else if (wcscmp(pstrName, L"multiline") == 0) {
        if (wcscmp(pstrValue, L"true") == 0) {
            m_uTextStyle &= ~DT_SINGLELINE;
            m_uTextStyle |= DT_WORDBREAK;
        } else {
            m_uTextStyle |= DT_SINGLELINE;
        }
    } else if (wcscmp(pstrName, L"font") == 0) {
        SetFont((int)wcstol(pstrValue, NULL, 10));
    } else if (wcscmp(pstrName, L"textcolor") == 0) {
        SetTextColor(ParseHeaderColor(pstrValue));
    } else if (wcscmp(pstrName, L"textpadding") == 0) {
        const wchar_t* p = pstrValue;
        RECT rc;
        rc.left = ReadNextInt(p);
        rc.top = ReadNextInt(p);
        rc.right = ReadNextInt(p);
        rc.bottom = ReadNextInt(p);
        SetTextPadding(rc);
    } else if (wcscmp(pstrName, L"showhtml") == 0) {
        SetShowHtml(wcscmp(pstrValue, L"true") == 0);
    } else if (wcscmp(pstrName, L"normalimage") == 0) {
        SetNormalImage(pstrValue);
    } else if (wcscmp(pstrName, L"hotimage") == 0) {
        SetHotImage(pstrValue);
    } else if (wcscmp(pstrName, L"pushedimage") == 0) {
        SetPushedImage(pstrValue);
    } else if (wcscmp(pstrName, L"focusedimage") == 0) {
        SetFocusedImage(pstrValue);
    } else if (wcscmp(pstrName, L"sepcolor") == 0) {
        SetSepColor(ParseHeaderColor(pstrValue));
    } else if (wcscmp(pstrName, L"sepimage") == 0) {
        SetSepImage(pstrValue);
    } else {
        CControlUI::SetAttribute(pstrName, pstrValue);
    }
}

RECT CListHeaderItemUI::GetSeparatorRect() const
{
    if (m_iSepWidth < 0) return RECT{m_rcItem.left, m_rcItem.top, m_rcItem.left - m_iSepWidth, m_rcItem.bottom};
    return RECT{m_rcItem.right - m_iSepWidth, m_rcItem.top, m_rcItem.right, m_rcItem.bottom};
}

void CListHeaderItemUI::DoEvent(tagTEventUI& event)
{
    if (!IsMouseEnabled() && event.Type >= UIEVENT__MOUSEBEGIN && event.Type <= UIEVENT__MOUSEEND) {
        if (m_pParent != NULL)
            m_pParent->DoEvent(event);
        else
            CControlUI::DoEvent(event);
        return;
    }
    if (event.Type == UIEVENT_SETFOCUS || event.Type == UIEVENT_KILLFOCUS) Invalidate();
    if (event.Type == UIEVENT_BUTTONDOWN || event.Type == UIEVENT_DBLCLICK) {
        if (!IsEnabled()) return;
        RECT rcSeparator = GetSeparatorRect();
        if (!::PtInRect(&rcSeparator, event.ptMouse)) {
            m_uButtonState |= UISTATE_PUSHED;
            // A "headerclick" listener may destroy this item.
            CControlWatch watch(this);
            if (m_pManager != NULL) m_pManager->SendNotify(this, L"headerclick");
            if (!watch.IsAlive()) return;
            Invalidate();
        } else if (m_bDragable) {
            m_uButtonState |= UISTATE_CAPTURED;
            m_ptLastMouse = event.ptMouse;
        }
        return;
    }
    if (event.Type == UIEVENT_BUTTONUP) {
        if ((m_uButtonState & UISTATE_CAPTURED) != 0) {
            m_uButtonState &= ~UISTATE_CAPTURED;
            if (GetParent() != NULL) GetParent()->NeedParentUpdate();
        } else if ((m_uButtonState & UISTATE_PUSHED) != 0) {
            m_uButtonState &= ~UISTATE_PUSHED;
            Invalidate();
        }
        return;
    }
    if (event.Type == UIEVENT_MOUSEMOVE) {
        if ((m_uButtonState & UISTATE_CAPTURED) != 0) {
            RECT rc = m_rcItem;
            const int d = m_ptLastMouse.x - event.ptMouse.x;
            if (m_iSepWidth < 0)
                rc.left -= d;
            else
                rc.right -= d;
            if (rc.right - rc.left > GetMinWidth()) {
                m_cxyFixed.cx = rc.right - rc.left;
                m_ptLastMouse = event.ptMouse;
                if (GetParent() != NULL) GetParent()->NeedParentUpdate();
            }
        }
        return;
    }
    if (event.Type == UIEVENT_SETCURSOR) {
        RECT rcSeparator = GetSeparatorRect();
        if (IsEnabled() && m_bDragable && ::PtInRect(&rcSeparator, event.ptMouse)) {
            ::SetCursor(::LoadCursorW(NULL, IDC_SIZEWE));
            return;
        }
    }
    if (event.Type == UIEVENT_MOUSEENTER) {
        if (::PtInRect(&m_rcItem, event.ptMouse) && IsEnabled() && (m_uButtonState & UISTATE_HOT) == 0) {
            m_uButtonState |= UISTATE_HOT;
            Invalidate();
        }
        return;
    }
    if (event.Type == UIEVENT_MOUSELEAVE) {
        if (::PtInRect(&m_rcItem, event.ptMouse)) {
            if (m_pManager != NULL) m_pManager->AddMouseLeaveListener(this);
            return;
        }
        if (IsEnabled() && (m_uButtonState & UISTATE_HOT) != 0) {
            m_uButtonState &= ~UISTATE_HOT;
            Invalidate();
        }
        if (m_pManager != NULL) m_pManager->RemoveMouseLeaveListener(this);
        return;
    }
    CControlUI::DoEvent(event);
}

SIZE CListHeaderItemUI::EstimateSize(SIZE szAvailable)
{
    // Without a window there is no default font to measure a line by.
    if (m_cxyFixed.cy == 0 && m_pManager != NULL)
        return SIZE{m_cxyFixed.cx, m_pManager->GetDefaultFontInfo()->tm.tmHeight + 8};
    return CControlUI::EstimateSize(szAvailable);
}

void CListHeaderItemUI::PaintStatusImage(HDC hDC)
{
    if (IsFocused())
        m_uButtonState |= UISTATE_FOCUSED;
    else
        m_uButtonState &= ~UISTATE_FOCUSED;

    if ((m_uButtonState & UISTATE_PUSHED) != 0) {
        if (!DrawImage(hDC, m_diPushed)) DrawImage(hDC, m_diNormal);
    } else if ((m_uButtonState & UISTATE_HOT) != 0) {
        if (!DrawImage(hDC, m_diHot)) DrawImage(hDC, m_diNormal);
    } else if ((m_uButtonState & UISTATE_FOCUSED) != 0) {
        if (!DrawImage(hDC, m_diFocused)) DrawImage(hDC, m_diNormal);
    } else {
        DrawImage(hDC, m_diNormal);
    }

    if (m_iSepWidth > 0) {
        RECT rcThumb = GetSeparatorRect();
        m_diSep.rcDest = RECT{rcThumb.left - m_rcItem.left, rcThumb.top - m_rcItem.top, rcThumb.right - m_rcItem.left,
                              rcThumb.bottom - m_rcItem.top};
        if (!DrawImage(hDC, m_diSep) && m_dwSepColor != 0) {
            RECT rcSepLine = {rcThumb.left + m_iSepWidth / 2, rcThumb.top, rcThumb.left + m_iSepWidth / 2,
                              rcThumb.bottom};
            CUIPainter::DrawLine(hDC, rcSepLine, m_iSepWidth, GetHslAdjustedColor(m_dwSepColor));
        }
    }
}

void CListHeaderItemUI::PaintText(HDC hDC)
{
    if (m_dwTextColor == 0 && m_pManager != NULL) m_dwTextColor = m_pManager->GetDefaultFontColor();
    RECT rcText = m_rcItem;
    rcText.left += m_rcTextPadding.left;
    rcText.top += m_rcTextPadding.top;
    rcText.right -= m_rcTextPadding.right;
    rcText.bottom -= m_rcTextPadding.bottom;
    CUIString sText = GetText();
    if (sText.IsEmpty()) return;
    if (m_bShowHtml) {
        int nLinks = 0;
        CUIPainter::DrawHtmlText(hDC, m_pManager, rcText, sText, m_dwTextColor, NULL, NULL, nLinks, m_iFont,
                                 m_uTextStyle);
    } else {
        CUIPainter::DrawText(hDC, m_pManager, rcText, sText, m_dwTextColor, m_iFont, m_uTextStyle);
    }
}

} // namespace Veneer
