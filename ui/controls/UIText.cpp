#include "UIText.h"
#include "UIManager.h"

#include <wchar.h>

namespace Veneer {

CTextUI::CTextUI() : m_nLinks(0), m_nHoverLink(-1)
{
    m_uTextStyle = DT_WORDBREAK;
    ::SetRect(&m_rcTextPadding, 2, 0, 2, 0);
    for (int i = 0; i < MAX_LINK; ++i) ::SetRectEmpty(&m_rcLinks[i]);
}

CTextUI::~CTextUI() {}

const wchar_t* CTextUI::GetClass() const { return L"Text"; }

void* CTextUI::GetInterface(const wchar_t* pstrName)
{
    if (pstrName != NULL && wcscmp(pstrName, L"Text") == 0) return static_cast<CTextUI*>(this);
    return CLabelUI::GetInterface(pstrName);
}

UINT CTextUI::GetControlFlags() const
{
    return (IsEnabled() && m_nLinks > 0) ? UIFLAG_SETCURSOR : 0;
}

const CUIString* CTextUI::GetLinkContent(int iIndex) const
{
    if (iIndex < 0 || iIndex >= m_nLinks) return NULL;
    return &m_sLinks[iIndex];
}

int CTextUI::LinkAt(POINT pt) const
{
    for (int i = 0; i < m_nLinks; ++i) {
        if (::PtInRect(&m_rcLinks[i], pt)) return i;
    }
    return -1;
}

void CTextUI::DoEvent(tagTEventUI& event)
{
    if (!IsMouseEnabled() && event.Type >= UIEVENT__MOUSEBEGIN && event.Type <= UIEVENT__MOUSEEND) {
        if (m_pParent != NULL)
            m_pParent->DoEvent(event);
        else
            CLabelUI::DoEvent(event);
        return;
    }

    const int iLink = LinkAt(event.ptMouse);
    switch (event.Type) {
    case UIEVENT_SETCURSOR:
        if (iLink >= 0) {
            ::SetCursor(::LoadCursorW(NULL, IDC_HAND));
            return;
        }
        break;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
        if (IsEnabled() && iLink >= 0) {
            Invalidate();
            return;
        }
        break;
    case UIEVENT_BUTTONUP:
        if (IsEnabled() && iLink >= 0) {
            if (m_pManager != NULL) m_pManager->SendNotify(this, L"link", (WPARAM)iLink, 0, false, true);
            return;
        }
        break;
    case UIEVENT_CONTEXTMENU:
        return;
    case UIEVENT_MOUSEMOVE:
        if (IsEnabled() && m_nLinks > 0) {
            if (iLink != m_nHoverLink) {
                m_nHoverLink = iLink;
                Invalidate();
                return;
            }
        }
        break;
    case UIEVENT_MOUSELEAVE:
        if (IsEnabled() && m_nLinks > 0 && m_nHoverLink >= 0) {
            if (m_nHoverLink < m_nLinks && ::PtInRect(&m_rcLinks[m_nHoverLink], event.ptMouse)) {
                if (m_pManager != NULL) m_pManager->AddMouseLeaveListener(this);
                return;
            }
            m_nHoverLink = -1;
            Invalidate();
            if (m_pManager != NULL) m_pManager->RemoveMouseLeaveListener(this);
        }
        break;
    default:
        break;
    }
    CLabelUI::DoEvent(event);
}

void CTextUI::PaintText(HDC hDC)
{
    CUIString sText = GetText();
    if (sText.IsEmpty()) {
        m_nLinks = 0;
        return;
    }
    ApplyDefaultColors();
    RECT rc = m_rcItem;
    rc.left += m_rcTextPadding.left;
    rc.right -= m_rcTextPadding.right;
    rc.top += m_rcTextPadding.top;
    rc.bottom -= m_rcTextPadding.bottom;
    const DWORD dwColor = IsEnabled() ? m_dwTextColor : m_dwDisabledTextColor;
    if (m_bShowHtml) {
        m_nLinks = MAX_LINK;
        CUIPainter::DrawHtmlText(hDC, m_pManager, rc, sText, dwColor, m_rcLinks, m_sLinks, m_nLinks, m_iFont,
                                 m_uTextStyle);
        if (m_nLinks < 0) m_nLinks = 0;
        if (m_nLinks > MAX_LINK) m_nLinks = MAX_LINK;
    } else {
        CUIPainter::DrawText(hDC, m_pManager, rc, sText, dwColor, m_iFont, m_uTextStyle);
        m_nLinks = 0;
    }
    if (m_nHoverLink >= m_nLinks) m_nHoverLink = -1;
}

} // namespace Veneer
