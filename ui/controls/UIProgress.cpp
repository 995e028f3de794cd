#include "UIProgress.h"
#include "UIManager.h"

#include <limits.h>
#include <stdlib.h>
#include <wchar.h>

namespace Veneer {

CProgressUI::CProgressUI() : m_bHorizontal(true), m_nMax(100), m_nMin(0), m_nValue(0)
{
    m_uTextStyle = DT_SINGLELINE | DT_CENTER;
    CLabelUI::SetFixedHeight(12);
}

CProgressUI::~CProgressUI() {}

const wchar_t* CProgressUI::GetClass() const { return L"Progress"; }

void* CProgressUI::GetInterface(const wchar_t* pstrName)
{
    if (pstrName != NULL && wcscmp(pstrName, L"Progress") == 0) return static_cast<CProgressUI*>(this);
    return CLabelUI::GetInterface(pstrName);
}

bool CProgressUI::IsHorizontal() const { return m_bHorizontal; }

void CProgressUI::SetHorizontal(bool bHorizontal)
{
    if (m_bHorizontal == bHorizontal) return;
    m_bHorizontal = bHorizontal;
    Invalidate();
}

int CProgressUI::GetMinValue() const { return m_nMin; }

void CProgressUI::SetMinValue(int nMin)
{
    m_nMin = nMin;
    Invalidate();
}

int CProgressUI::GetMaxValue() const { return m_nMax; }

void CProgressUI::SetMaxValue(int nMax)
{
    m_nMax = nMax;
    Invalidate();
}

int CProgressUI::GetValue() const { return m_nValue; }

void CProgressUI::SetValue(int nValue)
{
    m_nValue = nValue;
    if (m_nValue > m_nMax) m_nValue = m_nMax;
    if (m_nValue < m_nMin) m_nValue = m_nMin;
    Invalidate();
}

void CProgressUI::SetForeImage(const wchar_t* pStrImage)
{
    if (m_diForeImage.sDescription == pStrImage && m_diForeImage.pImage != NULL) return;
    m_diForeImage.Clear();
    m_diForeImage.sDescription = pStrImage;
    Invalidate();
}

void CProgressUI::SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue)
{
    if (wcscmp(pstrName, L"foreimage") == 0)
        SetForeImage(pstrValue);
    else if (wcscmp(pstrName, L"hor") == 0)
        SetHorizontal(wcscmp(pstrValue, L"true") == 0);
    else if (wcscmp(pstrName, L"min") == 0)
        SetMinValue((int)wcstol(pstrValue, NULL, 10));
    else if (wcscmp(pstrName, L"max") == 0)
        SetMaxValue((int)wcstol(pstrValue, NULL, 10));
    else if (wcscmp(pstrName, L"value") == 0)
        SetValue((int)wcstol(pstrValue, NULL, 10));
    else
        CLabelUI::SetAttribute(pstrName, pstrValue);
}

void CProgressUI::RepairRange()
{
    if (m_nMax <= m_nMin) {
        if (m_nMin == INT_MAX) m_nMin = INT_MAX - 1;
        m_nMax = m_nMin + 1;
    }
    if (m_nValue > m_nMax) m_nValue = m_nMax;
    if (m_nValue < m_nMin) m_nValue = m_nMin;
}

void CProgressUI::PaintStatusImage(HDC hDC)
{
    RepairRange();
    // 64-bit: the product of a size and a value span does not fit in 32 bits.
    const LONGLONG range = (LONGLONG)m_nMax - m_nMin;
    const LONGLONG width = m_rcItem.right - m_rcItem.left;
    const LONGLONG height = m_rcItem.bottom - m_rcItem.top;
    RECT rc = {0, 0, 0, 0};
    if (m_bHorizontal) {
        rc.right = (LONG)(width * ((LONGLONG)m_nValue - m_nMin) / range);
        rc.bottom = (LONG)height;
    } else {
        rc.top = (LONG)(height * ((LONGLONG)m_nMax - m_nValue) / range);
        rc.right = (LONG)width;
        rc.bottom = (LONG)height;
    }
    // Resolve first: a parse of the description must not overwrite the destination set here.
    DrawImage(NULL, m_diForeImage);
    m_diForeImage.rcDest = rc;
    DrawImage(hDC, m_diForeImage);
}

} // namespace Veneer
