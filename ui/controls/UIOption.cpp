#include "UIOption.h"
#include "UIManager.h"

#include <stdlib.h>
#include <wchar.h>

namespace Veneer {

namespace {

DWORD ParseOptionColor(const wchar_t* pstrValue)
{
    if (*pstrValue == L'#') ++pstrValue;
    return (DWORD)wcstoul(pstrValue, NULL, 16);
}

} // namespace

COptionUI::COptionUI() : m_bSelected(false), m_dwSelectedBkColor(0), m_dwSelectedTextColor(0) {}

COptionUI::~COptionUI()
{
    if (!m_sGroupName.IsEmpty() && m_pManager != NULL) m_pManager->RemoveOptionGroup(m_sGroupName, this);
}

const wchar_t* COptionUI::GetClass() const { return L"Option"; }

void* COptionUI::GetInterface(const wchar_t* pstrName)
{
    if (pstrName != NULL && wcscmp(pstrName, L"Option") == 0) return static_cast<COptionUI*>(this);
    return CButtonUI::GetInterface(pstrName);
}

void COptionUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit)
{
    CControlUI::SetManager(pManager, pParent, bInit);
    if (bInit && !m_sGroupName.IsEmpty() && m_pManager != NULL) m_pManager->AddOptionGroup(m_sGroupName, this);
}

bool COptionUI::Activate()
{
    CControlWatch watch(this);
    if (!CButtonUI::Activate()) return false;
    if (!watch.IsAlive()) return true;   // removed by its "click" listener
    if (m_sGroupName.IsEmpty())
        SetSelected(!m_bSelected, true);
    else
        SetSelected(true, true);
    return true;
}

void COptionUI::SetEnabled(bool bEnable)
{
    CControlUI::SetEnabled(bEnable);
    if (!IsEnabled()) m_uButtonState &= UISTATE_SELECTED;
}

bool COptionUI::IsSelected() const { return m_bSelected; }

const wchar_t* COptionUI::GetGroup() const { return m_sGroupName; }

void COptionUI::SetGroup(const wchar_t* pStrGroupName)
{
    if (pStrGroupName == NULL) {
        if (m_sGroupName.IsEmpty()) return;
    } else if (m_sGroupName == pStrGroupName) {
        return;
    }
    if (!m_sGroupName.IsEmpty() && m_pManager != NULL) m_pManager->RemoveOptionGroup(m_sGroupName, this);
    m_sGroupName = pStrGroupName != NULL ? pStrGroupName : L"";
    if (!m_sGroupName.IsEmpty() && m_pManager != NULL) m_pManager->AddOptionGroup(m_sGroupName, this);
}

void COptionUI::SetSelected(bool bSelected, bool bTriggerEvent)
{
    if (m_bSelected == bSelected) return;
    m_bSelected = bSelected;
    if (m_bSelected)
        m_uButtonState |= UISTATE_SELECTED;
    else
        m_uButtonState &= ~UISTATE_SELECTED;

    CControlWatch watch(this);
    if (m_pManager != NULL) {
        if (m_sGroupName.IsEmpty()) {
            if (bTriggerEvent) m_pManager->SendNotify(this, L"selectchanged", 0, 0, false, true);
        } else if (m_bSelected) {
            // The others of the group are deselected quietly; only the new choice reports.
            CUIPtrArray* aGroup = m_pManager->GetOptionGroup(m_sGroupName);
            for (int i = 0; aGroup != NULL && i < aGroup->GetSize(); ++i) {
                CControlUI* pControl = static_cast<CControlUI*>(aGroup->GetAt(i));
                if (pControl == this) continue;
                COptionUI* pOption = static_cast<COptionUI*>(pControl->GetInterface(L"Option"));
                if (pOption != NULL) pOption->SetSelected(false, bTriggerEvent);
            }
            if (bTriggerEvent) m_pManager->SendNotify(this, L"selectchanged", 0, 0, false, true);
        }
    }
    // A "selectchanged" listener may have destroyed this option.
    if (watch.IsAlive()) Invalidate();
}

void COptionUI::SetSelectedImage(const wchar_t* pStrImage) { ReplaceImage(m_diSelected, pStrImage); }
void COptionUI::SetSelectedHotImage(const wchar_t* pStrImage) { ReplaceImage(m_diSelectedHot, pStrImage); }
void COptionUI::SetForeImage(const wchar_t* pStrImage) { ReplaceImage(m_diOptionFore, pStrImage); }
void COptionUI::SetSelectedBkColor(DWORD dwColor) { m_dwSelectedBkColor = dwColor; }
void COptionUI::SetSelectedTextColor(DWORD dwColor) { m_dwSelectedTextColor = dwColor; }

void COptionUI::SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue)
{
    if (wcscmp(pstrName, L"group") == 0)
        SetGroup(pstrValue);
    else if (wcscmp(pstrName, L"selected") == 0)
        SetSelected(wcscmp(pstrValue, L"true") == 0, true);
    else if (wcscmp(pstrName, L"selectedimage") == 0)
        SetSelectedImage(pstrValue);
    else if (wcscmp(pstrName, L"selectedhotimage") == 0)
        SetSelectedHotImage(pstrValue);
    else if (wcscmp(pstrName, L"foreimage") == 0)
        SetForeImage(pstrValue);
    else if (wcscmp(pstrName, L"selectedbkcolor") == 0)
        SetSelectedBkColor(ParseOptionColor(pstrValue));
    else if (wcscmp(pstrName, L"selectedtextcolor") == 0)
        SetSelectedTextColor(ParseOptionColor(pstrValue));
    else
        CButtonUI::SetAttribute(pstrName, pstrValue);
}

void COptionUI::PaintStatusImage(HDC hDC)
{
    bool bDrawn = false;
    if (m_bSelected) {
        if (m_uButtonState & UISTATE_HOT) bDrawn = DrawImage(hDC, m_diSelectedHot);
        if (!bDrawn) bDrawn = DrawImage(hDC, m_diSelected);
        if (!bDrawn && m_dwSelectedBkColor != 0) {
            CUIPainter::DrawColor(hDC, m_rcPaint, m_dwSelectedBkColor);
            bDrawn = true;
        }
    }
    if (!bDrawn) {
        const UINT uPushed = m_uButtonState & UISTATE_PUSHED;
        m_uButtonState &= ~UISTATE_PUSHED;
        CButtonUI::PaintStatusImage(hDC);
        m_uButtonState |= uPushed;
    }
    DrawImage(hDC, m_diOptionFore);
}

void COptionUI::PaintText(HDC hDC)
{
    if (!m_bSelected) {
        const UINT uPushed = m_uButtonState & UISTATE_PUSHED;
        m_uButtonState &= ~UISTATE_PUSHED;
        CButtonUI::PaintText(hDC);
        m_uButtonState |= uPushed;
        return;
    }
    // The selected colour holds for this paint only; the control keeps its own text colour.
    ApplyDefaultColors();
    CUIString sText = GetText();
    if (sText.IsEmpty()) return;
    DWORD dwColor = m_dwSelectedTextColor != 0 ? m_dwSelectedTextColor : m_dwTextColor;
    if (!IsEnabled()) dwColor = m_dwDisabledTextColor;

    RECT rc = m_rcItem;
    rc.left += m_rcTextPadding.left;
    rc.right -= m_rcTextPadding.right;
    rc.top += m_rcTextPadding.top;
    rc.bottom -= m_rcTextPadding.bottom;
    if (m_bShowHtml) {
        int nLinks = 0;
        CUIPainter::DrawHtmlText(hDC, m_pManager, rc, sText, dwColor, NULL, NULL, nLinks, m_iFont, m_uTextStyle);
    } else {
        CUIPainter::DrawText(hDC, m_pManager, rc, sText, dwColor, m_iFont, m_uTextStyle);
    }
}

const wchar_t* CCheckBoxUI::GetClass() const { return L"CheckBox"; }

void* CCheckBoxUI::GetInterface(const wchar_t* pstrName)
{
    if (pstrName != NULL && wcscmp(pstrName, L"CheckBox") == 0) return static_cast<CCheckBoxUI*>(this);
    return COptionUI::GetInterface(pstrName);
}

bool CCheckBoxUI::GetCheck() const { return IsSelected(); }

} // namespace Veneer
