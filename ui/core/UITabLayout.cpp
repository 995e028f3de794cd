#include "UITabLayout.h"
#include "UIManager.h"
#include <stdlib.h>
#include <wchar.h>

namespace Veneer {

CTabLayoutUI::CTabLayoutUI() : m_iCurSel(-1) {}

const wchar_t* CTabLayoutUI::GetClass() const
{
    return L"TabLayout";
}

void* CTabLayoutUI::GetInterface(const wchar_t* pstrName)
{
    if (wcscmp(pstrName, L"TabLayout") == 0)
        return static_cast<CTabLayoutUI*>(this);
    return CContainerUI::GetInterface(pstrName);
}

bool CTabLayoutUI::Add(CControlUI* pControl)
{
    bool bRet = CContainerUI::Add(pControl);
    if (!bRet)
        return bRet;
    if (m_iCurSel == -1 && pControl->IsVisible())
        m_iCurSel = GetItemIndex(pControl);
    else
        pControl->SetVisible(false);
    return bRet;
}

bool CTabLayoutUI::AddAt(CControlUI* pControl, int iIndex)
{
    bool bRet = CContainerUI::AddAt(pControl, iIndex);
    if (!bRet)
        return bRet;
    if (m_iCurSel == -1 && pControl->IsVisible())
        m_iCurSel = GetItemIndex(pControl);
    else if (m_iCurSel != -1 && iIndex <= m_iCurSel)
        ++m_iCurSel; // the selected page moved one place on
    else
        pControl->SetVisible(false);
    return bRet;
}

bool CTabLayoutUI::Remove(CControlUI* pControl, bool bDoNotDestroy)
{
    if (pControl == NULL)
        return false;
    int index = GetItemIndex(pControl);
    bool bRet = CContainerUI::Remove(pControl, bDoNotDestroy);
    if (!bRet)
        return false;

    if (m_iCurSel == index) {
        if (GetCount() > 0) {
            m_iCurSel = 0;
            GetItemAt(m_iCurSel)->SetVisible(true);
        } else {
            m_iCurSel = -1;
        }
        NeedParentUpdate();
    } else if (m_iCurSel > index) {
        --m_iCurSel;
    }
    return bRet;
}

void CTabLayoutUI::RemoveAll()
{
    m_iCurSel = -1;
    CContainerUI::RemoveAll();
    NeedParentUpdate();
}

bool CTabLayoutUI::SelectItem(int iIndex, bool bTriggerEvent)
{
    if (iIndex < 0 || iIndex >= m_items.GetSize())
        return false;
    if (iIndex == m_iCurSel)
        return true;

    int iOldSel = m_iCurSel;
    m_iCurSel = iIndex;
    for (int it = 0; it < m_items.GetSize(); ++it) {
        CControlUI* pControl = static_cast<CControlUI*>(m_items[it]);
        if (it == iIndex) {
            pControl->SetVisible(true);
            pControl->SetFocus();
        } else {
            pControl->SetVisible(false);
        }
    }
    NeedParentUpdate();

    if (m_pManager != NULL) {
        m_pManager->SetNextTabControl(true);
        if (bTriggerEvent)
            m_pManager->SendNotify(this, L"tabselect", m_iCurSel, iOldSel, false, true);
    }
    return true;
}

void CTabLayoutUI::SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue)
{
    if (wcscmp(pstrName, L"selectedid") == 0)
        SelectItem(static_cast<int>(wcstol(pstrValue, NULL, 10)), true);
    // Also kept by the container, where it ends among the custom attributes.
    CContainerUI::SetAttribute(pstrName, pstrValue);
}

void CTabLayoutUI::SetPos(RECT rc, bool bNeedInvalidate)
{
    CControlUI::SetPos(rc, bNeedInvalidate);
    rc = m_rcItem;

    // The page fills the area inside the inset; no scroll bar applies.
    rc.left += m_rcInset.left;
    rc.top += m_rcInset.top;
    rc.right -= m_rcInset.right;
    rc.bottom -= m_rcInset.bottom;

    for (int it = 0; it < m_items.GetSize(); ++it) {
        CControlUI* pControl = static_cast<CControlUI*>(m_items[it]);
        if (!pControl->IsVisible())
            continue;
        if (pControl->IsFloat()) {
            SetFloatPos(it);
            continue;
        }
        if (it != m_iCurSel)
            continue;

        RECT rcPadding = pControl->GetPadding();
        rc.left += rcPadding.left;
        rc.top += rcPadding.top;
        rc.right -= rcPadding.right;
        rc.bottom -= rcPadding.bottom;

        SIZE szAvailable = {rc.right - rc.left, rc.bottom - rc.top};
        SIZE sz = pControl->EstimateSize(szAvailable);
        if (sz.cx == 0)
            sz.cx = szAvailable.cx > 0 ? szAvailable.cx : 0;
        if (sz.cx < pControl->GetMinWidth()) sz.cx = pControl->GetMinWidth();
        if (sz.cx > pControl->GetMaxWidth()) sz.cx = pControl->GetMaxWidth();
        if (sz.cy == 0)
            sz.cy = szAvailable.cy > 0 ? szAvailable.cy : 0;
        if (sz.cy < pControl->GetMinHeight()) sz.cy = pControl->GetMinHeight();
        if (sz.cy > pControl->GetMaxHeight()) sz.cy = pControl->GetMaxHeight();

        RECT rcCtrl = {rc.left, rc.top, rc.left + sz.cx, rc.top + sz.cy};
        pControl->SetPos(rcCtrl, false);
    }
}

} // namespace Veneer
