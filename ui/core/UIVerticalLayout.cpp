#include "UIVerticalLayout.h"
#include "UIStackLayout.h"
#include "UIManager.h"
#include <stdlib.h>
#include <wchar.h>

namespace Veneer {

namespace {
typedef TStackLayout<TVerticalAxis> Stack;
} // namespace

CVerticalLayoutUI::CVerticalLayoutUI() : m_iSepHeight(0), m_uButtonState(0), m_bImmMode(false)
{
    m_ptLastMouse.x = m_ptLastMouse.y = 0;
    ::SetRectEmpty(&m_rcNewPos);
}

const wchar_t* CVerticalLayoutUI::GetClass() const
{
    return L"VerticalLayout";
}

void* CVerticalLayoutUI::GetInterface(const wchar_t* pstrName)
{
    if (wcscmp(pstrName, L"VerticalLayout") == 0)
        return static_cast<CVerticalLayoutUI*>(this);
    return CContainerUI::GetInterface(pstrName);
}

UINT CVerticalLayoutUI::GetControlFlags() const
{
    if (IsEnabled() && m_iSepHeight != 0)
        return UIFLAG_SETCURSOR;
    return 0;
}

void CVerticalLayoutUI::SetSeparatorSize(int iSize)
{
    m_iSepHeight = iSize;
}

void CVerticalLayoutUI::SetSeparatorImmediate(bool bImmediately)
{
    Stack::SetSeparatorImmediate(*this, bImmediately);
}

void CVerticalLayoutUI::SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue)
{
    if (wcscmp(pstrName, L"sepheight") == 0)
        SetSeparatorSize(static_cast<int>(wcstol(pstrValue, NULL, 10)));
    else if (wcscmp(pstrName, L"sepimm") == 0)
        SetSeparatorImmediate(wcscmp(pstrValue, L"true") == 0);
    else
        CContainerUI::SetAttribute(pstrName, pstrValue);
}

RECT CVerticalLayoutUI::GetSeparatorRect(bool bUseNew) const
{
    return Stack::GetSeparatorRect(*this, m_iSepHeight, bUseNew);
}

void CVerticalLayoutUI::SetPos(RECT rc, bool bNeedInvalidate)
{
    Stack::SetPos(*this, rc, bNeedInvalidate);
}

void CVerticalLayoutUI::DoPostPaint(HDC hDC, const RECT& rcPaint)
{
    Stack::DoPostPaint(*this, m_iSepHeight, hDC);
}

void CVerticalLayoutUI::DoEvent(tagTEventUI& event)
{
    if (!Stack::DoSeparatorEvent(*this, m_iSepHeight, event))
        CContainerUI::DoEvent(event);
}

} // namespace Veneer
