#include "UIHorizontalLayout.h"
#include "UIStackLayout.h"
#include "UIManager.h"
#include <stdlib.h>
#include <wchar.h>

namespace Veneer {

namespace {
typedef TStackLayout<THorizontalAxis> Stack;
} // namespace

CHorizontalLayoutUI::CHorizontalLayoutUI() : m_iSepWidth(0), m_uButtonState(0), m_bImmMode(false)
{
    m_ptLastMouse.x = m_ptLastMouse.y = 0;
    ::SetRectEmpty(&m_rcNewPos);
}

const wchar_t* CHorizontalLayoutUI::GetClass() const
{
    return L"HorizontalLayout";
}

void* CHorizontalLayoutUI::GetInterface(const wchar_t* pstrName)
{
    if (wcscmp(pstrName, L"HorizontalLayout") == 0)
        return static_cast<CHorizontalLayoutUI*>(this);
    return CContainerUI::GetInterface(pstrName);
}

UINT CHorizontalLayoutUI::GetControlFlags() const
{
    if (IsEnabled() && m_iSepWidth != 0)
        return UIFLAG_SETCURSOR;
    return 0;
}

void CHorizontalLayoutUI::SetSeparatorSize(int iSize)
{
    m_iSepWidth = iSize;
}

void CHorizontalLayoutUI::SetSeparatorImmediate(bool bImmediately)
{
    Stack::SetSeparatorImmediate(*this, bImmediately);
}

void CHorizontalLayoutUI::SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue)
{
    if (wcscmp(pstrName, L"sepwidth") == 0)
        SetSeparatorSize(static_cast<int>(wcstol(pstrValue, NULL, 10)));
    else if (wcscmp(pstrName, L"sepimm") == 0)
        SetSeparatorImmediate(wcscmp(pstrValue, L"true") == 0);
    else
        CContainerUI::SetAttribute(pstrName, pstrValue);
}

RECT CHorizontalLayoutUI::GetSeparatorRect(bool bUseNew) const
{
    return Stack::GetSeparatorRect(*this, m_iSepWidth, bUseNew);
}

void CHorizontalLayoutUI::SetPos(RECT rc, bool bNeedInvalidate)
{
    Stack::SetPos(*this, rc, bNeedInvalidate);
}

void CHorizontalLayoutUI::DoPostPaint(HDC hDC, const RECT& rcPaint)
{
    Stack::DoPostPaint(*this, m_iSepWidth, hDC);
}

void CHorizontalLayoutUI::DoEvent(tagTEventUI& event)
{
    if (!Stack::DoSeparatorEvent(*this, m_iSepWidth, event))
        CContainerUI::DoEvent(event);
}

} // namespace Veneer
