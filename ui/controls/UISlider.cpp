#include "UISlider.h"
#include "UIButton.h"
#include "UIManager.h"

#include <limits.h>
#include <stdlib.h>
#include <wchar.h>

namespace Veneer {

namespace {

long ReadNextInt(const wchar_t*& p)
{
    wchar_t* end = NULL;
    long v = wcstol(p, &end, 10);
    p = end;
    if (*p != L'\0') ++p;
    return v;
}

int ClampToInt(LONGLONG v)
{
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return (int)v;
}

} // namespace

CSliderUI::CSliderUI() : m_uButtonState(0), m_nStep(1), m_bImmMode(false)
{
    m_uTextStyle = DT_SINGLELINE | DT_CENTER;
    m_szThumb.cx = m_szThumb.cy = 10;
}

CSliderUI::~CSliderUI() {}

const wchar_t* CSliderUI::GetClass() const { return L"Slider"; }

void* CSliderUI::GetInterface(const wchar_t* pstrName)
{
    if (pstrName != NULL && wcscmp(pstrName, L"Slider") == 0) return static_cast<CSliderUI*>(this);
    return CProgressUI::GetInterface(pstrName);
}

UINT CSliderUI::GetControlFlags() const
{
    return IsEnabled() ? (UIFLAG_TABSTOP | UIFLAG_SETCURSOR) : 0;
}

void CSliderUI::SetEnabled(bool bEnable)
{
    CControlUI::SetEnabled(bEnable);
    if (!IsEnabled()) m_uButtonState = 0;
}

int CSliderUI::GetChangeStep() const { return m_nStep; }
void CSliderUI::SetChangeStep(int step) { m_nStep = step; }
void CSliderUI::SetThumbSize(SIZE szXY) { m_szThumb = szXY; }
void CSliderUI::SetImmMode(bool bImmMode) { m_bImmMode = bImmMode; }

RECT CSliderUI::GetThumbRect() const
{
    // Before the first paint the range may still be empty or reversed, and the value outside it:
    // the thumb then sits within the track, at the minimum's end for an empty range.
    const LONGLONG range = (LONGLONG)m_nMax - m_nMin;
    LONGLONG offset = (LONGLONG)m_nValue - m_nMin;
    if (range <= 0 || offset < 0) offset = 0;
    if (range > 0 && offset > range) offset = range;
    const LONGLONG span = range > 0 ? range : 1;

    RECT rc;
    if (m_bHorizontal) {
        const LONGLONG track = (LONGLONG)m_rcItem.right - m_rcItem.left - m_szThumb.cx;
        rc.left = (LONG)(m_rcItem.left + track * offset / span);
        rc.top = (m_rcItem.bottom + m_rcItem.top - m_szThumb.cy) / 2;
    } else {
        const LONGLONG track = (LONGLONG)m_rcItem.bottom - m_rcItem.top - m_szThumb.cy;
        rc.left = (m_rcItem.right + m_rcItem.left - m_szThumb.cx) / 2;
        rc.top = (LONG)(m_rcItem.bottom - m_szThumb.cy - track * offset / span);
    }
    rc.right = rc.left + m_szThumb.cx;
    rc.bottom = rc.top + m_szThumb.cy;
    return rc;
}

int CSliderUI::ValueFromPoint(POINT pt) const
{
    if (m_nMax <= m_nMin) return m_nMin;
    const LONGLONG range = (LONGLONG)m_nMax - m_nMin;
    LONGLONG value;
    if (m_bHorizontal) {
        const LONG half = m_szThumb.cx / 2;
        const LONGLONG track = (LONGLONG)m_rcItem.right - m_rcItem.left - m_szThumb.cx;
        if (pt.x >= m_rcItem.right - half) return m_nMax;
        if (pt.x <= m_rcItem.left + half) return m_nMin;
        if (track <= 0) return m_nMin;
        value = m_nMin + range * ((LONGLONG)pt.x - m_rcItem.left - half) / track;
    } else {
        const LONG half = m_szThumb.cy / 2;
        const LONGLONG track = (LONGLONG)m_rcItem.bottom - m_rcItem.top - m_szThumb.cy;
        if (pt.y >= m_rcItem.bottom - half) return m_nMin;
        if (pt.y <= m_rcItem.top + half) return m_nMax;
        if (track <= 0) return m_nMin;
        value = m_nMin + range * ((LONGLONG)m_rcItem.bottom - pt.y - half) / track;
    }
    if (value < m_nMin) value = m_nMin;
    if (value > m_nMax) value = m_nMax;
    return (int)value;
}

void CSliderUI::DoEvent(tagTEventUI& event)
{
    if (!IsMouseEnabled() && event.Type >= UIEVENT__MOUSEBEGIN && event.Type <= UIEVENT__MOUSEEND) {
        if (m_pParent != NULL)
            m_pParent->DoEvent(event);
        else
            CLabelUI::DoEvent(event);
        return;
    }

    switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
        if (IsEnabled()) {
            m_uButtonState |= UISTATE_CAPTURED;
            const int nValue = ValueFromPoint(event.ptMouse);
            if (nValue != m_nValue && nValue >= m_nMin && nValue <= m_nMax) {
                m_nValue = nValue;
                Invalidate();
            }
            return;
        }
        break;
    case UIEVENT_BUTTONUP:
        if (m_uButtonState & UISTATE_CAPTURED) {
            m_nValue = ValueFromPoint(event.ptMouse);
            // A "valuechanged" listener may destroy this slider: then nothing more is touched.
            m_uButtonState &= ~UISTATE_CAPTURED;
            CControlWatch watch(this);
            if (m_pManager != NULL) m_pManager->SendNotify(this, L"valuechanged", 0, 0, false, true);
            if (!watch.IsAlive()) return;
            Invalidate();
            return;
        }
        break;
    case UIEVENT_MOUSEMOVE:
        if (m_uButtonState & UISTATE_CAPTURED) {
            m_nValue = ValueFromPoint(event.ptMouse);
            if (m_bImmMode && m_pManager != NULL) {
                CControlWatch watch(this);
                m_pManager->SendNotify(this, L"valuechanged", 0, 0, false, true);
                if (!watch.IsAlive()) return;
            }
            Invalidate();
        }
        return;
    case UIEVENT_SCROLLWHEEL:
        switch (LOWORD(event.wParam)) {
        case SB_LINEUP:
            SetValue(ClampToInt((LONGLONG)m_nValue + m_nStep));
            if (m_pManager != NULL) m_pManager->SendNotify(this, L"valuechanged", 0, 0, false, true);
            return;
        case SB_LINEDOWN:
            SetValue(ClampToInt((LONGLONG)m_nValue - m_nStep));
            if (m_pManager != NULL) m_pManager->SendNotify(this, L"valuechanged", 0, 0, false, true);
            return;
        default:
            break;
        }
        break;
    case UIEVENT_CONTEXTMENU:
        return;
    case UIEVENT_SETCURSOR: {
        RECT rcThumb = GetThumbRect();
        if (IsEnabled() && ::PtInRect(&rcThumb, event.ptMouse)) {
            ::SetCursor(::LoadCursorW(NULL, IDC_HAND));
            return;
        }
        break;
    }
    case UIEVENT_MOUSEENTER:
        if (::PtInRect(&m_rcItem, event.ptMouse) && IsEnabled() && (m_uButtonState & UISTATE_HOT) == 0) {
            m_uButtonState |= UISTATE_HOT;
            Invalidate();
        }
        break;
    case UIEVENT_MOUSELEAVE:
        if (::PtInRect(&m_rcItem, event.ptMouse)) {
            if (m_pManager != NULL) m_pManager->AddMouseLeaveListener(this);
            return;
        }
        if (IsEnabled() && (m_uButtonState & UISTATE_HOT) != 0) {
            m_uButtonState &= ~UISTATE_HOT;
            Invalidate();
        }
        if (m_pManager != NULL) m_pManager->RemoveMouseLeaveListener(this);
        break;
    default:
        break;
    }
    CControlUI::DoEvent(event);
}

void CSliderUI::ReplaceThumbImage(TImageDesc& desc, const wchar_t* pStrImage)
{
    if (desc.sDescription == pStrImage && desc.pImage != NULL) return;
    desc.Clear();
    desc.sDescription = pStrImage;
    Invalidate();
}

void CSliderUI::SetThumbImage(const wchar_t* pStrImage) { ReplaceThumbImage(m_diThumb, pStrImage); }
void CSliderUI::SetThumbHotImage(const wchar_t* pStrImage) { ReplaceThumbImage(m_diThumbHot, pStrImage); }
void CSliderUI::SetThumbPushedImage(const wchar_t* pStrImage) { ReplaceThumbImage(m_diThumbPushed, pStrImage); }

void CSliderUI::SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue)
{
    if (wcscmp(pstrName, L"thumbimage") == 0) {
        SetThumbImage(pstrValue);
    } else if (wcscmp(pstrName, L"thumbhotimage") == 0) {
        SetThumbHotImage(pstrValue);
    } else if (wcscmp(pstrName, L"thumbpushedimage") == 0) {
        SetThumbPushedImage(pstrValue);
    } else if (wcscmp(pstrName, L"thumbsize") == 0) {
        const wchar_t* p = pstrValue;
        SIZE sz;
        sz.cx = ReadNextInt(p);
        sz.cy = ReadNextInt(p);
        SetThumbSize(sz);
    } else if (wcscmp(pstrName, L"step") == 0) {
        SetChangeStep((int)wcstol(pstrValue, NULL, 10));
    } else if (wcscmp(pstrName, L"imm") == 0) {
        SetImmMode(wcscmp(pstrValue, L"true") == 0);
    } else {
        CProgressUI::SetAttribute(pstrName, pstrValue);
    }
}

bool CSliderUI::DrawThumb(HDC hDC, TImageDesc& desc, const RECT& rcDest)
{
    DrawImage(NULL, desc);
    desc.rcDest = rcDest;
    return DrawImage(hDC, desc);
}

void CSliderUI::PaintStatusImage(HDC hDC)
{
    CProgressUI::PaintStatusImage(hDC);

    RECT rcThumb = GetThumbRect();
    ::OffsetRect(&rcThumb, -m_rcItem.left, -m_rcItem.top);
    bool bDrawn = false;
    if (m_uButtonState & UISTATE_CAPTURED)
        bDrawn = DrawThumb(hDC, m_diThumbPushed, rcThumb);
    else if (m_uButtonState & UISTATE_HOT)
        bDrawn = DrawThumb(hDC, m_diThumbHot, rcThumb);
    if (!bDrawn) DrawThumb(hDC, m_diThumb, rcThumb);
}

} // namespace Veneer
