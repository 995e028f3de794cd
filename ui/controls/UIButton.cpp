#include "UIButton.h"
#include "UIManager.h"

#include <stdlib.h>
#include <wchar.h>

namespace Veneer {

namespace {

DWORD ParseButtonColor(const wchar_t* pstrValue)
{
    if (*pstrValue == L'#') ++pstrValue;
    return (DWORD)wcstoul(pstrValue, NULL, 16);
}

bool IsMouseEvent(int type)
{
    return type >= UIEVENT__MOUSEBEGIN && type <= UIEVENT__MOUSEEND;
}

} // namespace

CButtonUI::CButtonUI()
    : m_uButtonState(0),
      m_sCursor(L"hand"),
      m_dwHotBkColor(0),
      m_dwHotTextColor(0),
      m_dwPushedTextColor(0),
      m_dwFocusedTextColor(0),
      m_uFadeAlpha(255),
      m_uFadeDelta(0)
{
    m_uTextStyle = DT_SINGLELINE | DT_VCENTER | DT_CENTER;
}

CButtonUI::~CButtonUI() {}

const wchar_t* CButtonUI::GetClass() const { return L"Button"; }

void* CButtonUI::GetInterface(const wchar_t* pstrName)
{
    if (pstrName != NULL && wcscmp(pstrName, L"Button") == 0) return static_cast<CButtonUI*>(this);
    return CLabelUI::GetInterface(pstrName);
}

UINT CButtonUI::GetControlFlags() const
{
    return (IsKeyboardEnabled() ? UIFLAG_TABSTOP : 0) | (IsEnabled() ? UIFLAG_SETCURSOR : 0);
}

bool CButtonUI::Activate()
{
    if (!CControlUI::Activate()) return false;
    if (m_pManager != NULL) m_pManager->SendNotify(this, L"click", 0, 0, false, true);
    return true;
}

void CButtonUI::SetEnabled(bool bEnable)
{
    CControlUI::SetEnabled(bEnable);
    if (!IsEnabled()) m_uButtonState = 0;
}

void CButtonUI::DoEvent(tagTEventUI& event)
{
    if (!IsMouseEnabled() && IsMouseEvent(event.Type)) {
        if (m_pParent != NULL)
            m_pParent->DoEvent(event);
        else
            CLabelUI::DoEvent(event);
        return;
    }
    const bool bInside = ::PtInRect(&m_rcItem, event.ptMouse) != FALSE;

    switch (event.Type) {
    case UIEVENT_SETFOCUS:
    case UIEVENT_KILLFOCUS:
        Invalidate();
        CLabelUI::DoEvent(event);
        return;
    case UIEVENT_KEYDOWN:
        if ((event.chKey == VK_SPACE || event.chKey == VK_RETURN) && IsKeyboardEnabled() && IsEnabled()) {
            Activate();
            return;
        }
        break;
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
        if (bInside && IsEnabled()) {
            m_uButtonState |= UISTATE_PUSHED | UISTATE_CAPTURED;
            Invalidate();
        }
        return;
    case UIEVENT_MOUSEMOVE:
        if (m_uButtonState & UISTATE_CAPTURED) {
            if (bInside)
                m_uButtonState |= UISTATE_PUSHED;
            else
                m_uButtonState &= ~UISTATE_PUSHED;
            Invalidate();
        }
        return;
    case UIEVENT_BUTTONUP:
        if (m_uButtonState & UISTATE_CAPTURED) {
            if (bInside && IsEnabled()) {
                // A "click" listener may destroy this button: then nothing more is touched.
                CControlWatch watch(this);
                Activate();
                if (!watch.IsAlive()) return;
            }
            m_uButtonState &= ~(UISTATE_PUSHED | UISTATE_CAPTURED);
            Invalidate();
        }
        return;
    case UIEVENT_CONTEXTMENU:
        if (IsContextMenuUsed() && IsEnabled() && m_pManager != NULL)
            m_pManager->SendNotify(this, L"menu", event.wParam, event.lParam, false, true);
        return;
    case UIEVENT_MOUSEENTER:
        if (bInside && IsEnabled() && (m_uButtonState & UISTATE_HOT) == 0) {
            m_uButtonState |= UISTATE_HOT;
            Invalidate();
        }
        if (m_uFadeDelta != 0 && m_pManager != NULL) m_pManager->SetTimer(this, FADE_TIMERID, FADE_ELAPSE);
        break;
    case UIEVENT_MOUSELEAVE:
        if (bInside) {
            if (m_pManager != NULL) m_pManager->AddMouseLeaveListener(this);
            return;
        }
        if (IsEnabled() && (m_uButtonState & UISTATE_HOT) != 0) {
            m_uButtonState &= ~UISTATE_HOT;
            Invalidate();
        }
        if (m_pManager != NULL) {
            m_pManager->RemoveMouseLeaveListener(this);
            if (m_uFadeDelta != 0) m_pManager->SetTimer(this, FADE_TIMERID, FADE_ELAPSE);
        }
        break;
    case UIEVENT_SETCURSOR:
        ::SetCursor(::LoadCursorW(NULL, m_sCursor == L"arrow" ? IDC_ARROW : IDC_HAND));
        return;
    case UIEVENT_TIMER:
        if (event.wParam == FADE_TIMERID) {
            if (m_uButtonState & UISTATE_HOT) {
                if (m_uFadeAlpha > m_uFadeDelta) {
                    m_uFadeAlpha = (BYTE)(m_uFadeAlpha - m_uFadeDelta);
                } else {
                    m_uFadeAlpha = 0;
                    if (m_pManager != NULL) m_pManager->KillTimer(this, FADE_TIMERID);
                }
            } else {
                if (m_uFadeAlpha < 255 - m_uFadeDelta) {
                    m_uFadeAlpha = (BYTE)(m_uFadeAlpha + m_uFadeDelta);
                } else {
                    m_uFadeAlpha = 255;
                    if (m_pManager != NULL) m_pManager->KillTimer(this, FADE_TIMERID);
                }
            }
            Invalidate();
            return;
        }
        break;
    default:
        break;
    }
    CLabelUI::DoEvent(event);
}

void CButtonUI::ReplaceImage(TImageDesc& desc, const wchar_t* pStrImage)
{
    if (desc.sDescription == pStrImage && desc.pImage != NULL) return;
    desc.Clear();
    desc.sDescription = pStrImage;
    Invalidate();
}

void CButtonUI::SetNormalImage(const wchar_t* pStrImage) { ReplaceImage(m_diNormal, pStrImage); }
void CButtonUI::SetHotImage(const wchar_t* pStrImage) { ReplaceImage(m_diHot, pStrImage); }
void CButtonUI::SetPushedImage(const wchar_t* pStrImage) { ReplaceImage(m_diPushed, pStrImage); }
void CButtonUI::SetFocusedImage(const wchar_t* pStrImage) { ReplaceImage(m_diFocused, pStrImage); }
void CButtonUI::SetDisabledImage(const wchar_t* pStrImage) { ReplaceImage(m_diDisabled, pStrImage); }
void CButtonUI::SetForeImage(const wchar_t* pStrImage) { ReplaceImage(m_diFore, pStrImage); }
void CButtonUI::SetHotForeImage(const wchar_t* pStrImage) { ReplaceImage(m_diHotFore, pStrImage); }

void CButtonUI::SetFiveStatusImage(const wchar_t* pStrImage)
{
    // One strip of five equal parts: normal, pushed, hot, focused, disabled.
    TImageDesc* parts[5] = {&m_diNormal, &m_diPushed, &m_diHot, &m_diFocused, &m_diDisabled};
    for (int i = 0; i < 5; ++i) {
        TImageDesc& desc = *parts[i];
        desc.Clear();
        desc.sDescription = pStrImage;
        // Kept as a part, not as a rectangle: the image may be reloaded later.
        desc.nStripParts = 5;
        desc.nStripIndex = (BYTE)i;
        DrawImage(NULL, desc);
    }
    if (m_diNormal.pImage != NULL && m_bFloat && m_cxyFixed.cx == 0 && m_cxyFixed.cy == 0) {
        m_cxyFixed.cx = m_diNormal.pImage->nWidth / 5;
        m_cxyFixed.cy = m_diNormal.pImage->nHeight;
    }
    Invalidate();
}

void CButtonUI::SetFadeDelta(BYTE uDelta) { m_uFadeDelta = uDelta; }
void CButtonUI::SetHotBkColor(DWORD dwColor) { m_dwHotBkColor = dwColor; }
void CButtonUI::SetHotTextColor(DWORD dwColor) { m_dwHotTextColor = dwColor; }
void CButtonUI::SetPushedTextColor(DWORD dwColor) { m_dwPushedTextColor = dwColor; }
void CButtonUI::SetFocusedTextColor(DWORD dwColor) { m_dwFocusedTextColor = dwColor; }

void CButtonUI::SetCursor(const wchar_t* pstrCursor)
{
    m_sCursor = pstrCursor;
    if (!IsEnabled() || m_pManager == NULL) return;
    POINT pt;
    if (!::GetCursorPos(&pt)) return;
    ::ScreenToClient(m_pManager->GetPaintWindow(), &pt);
    if (!::PtInRect(&m_rcItem, pt)) return;
    if (m_sCursor == L"arrow")
        ::SetCursor(::LoadCursorW(NULL, IDC_ARROW));
    else if (m_sCursor == L"hand")
        ::SetCursor(::LoadCursorW(NULL, IDC_HAND));
}

void CButtonUI::SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue)
{
    if (wcscmp(pstrName, L"normalimage") == 0)
        SetNormalImage(pstrValue);
    else if (wcscmp(pstrName, L"hotimage") == 0)
        SetHotImage(pstrValue);
    else if (wcscmp(pstrName, L"pushedimage") == 0)
        SetPushedImage(pstrValue);
    else if (wcscmp(pstrName, L"focusedimage") == 0)
        SetFocusedImage(pstrValue);
    else if (wcscmp(pstrName, L"disabledimage") == 0)
        SetDisabledImage(pstrValue);
    else if (wcscmp(pstrName, L"foreimage") == 0)
        SetForeImage(pstrValue);
    else if (wcscmp(pstrName, L"hotforeimage") == 0)
        SetHotForeImage(pstrValue);
    else if (wcscmp(pstrName, L"fivestatusimage") == 0)
        SetFiveStatusImage(pstrValue);
    else if (wcscmp(pstrName, L"fadedelta") == 0)
        SetFadeDelta((BYTE)wcstol(pstrValue, NULL, 10));
    else if (wcscmp(pstrName, L"hotbkcolor") == 0)
        SetHotBkColor(ParseButtonColor(pstrValue));
    else if (wcscmp(pstrName, L"hottextcolor") == 0)
        SetHotTextColor(ParseButtonColor(pstrValue));
    else if (wcscmp(pstrName, L"pushedtextcolor") == 0)
        SetPushedTextColor(ParseButtonColor(pstrValue));
    else if (wcscmp(pstrName, L"focusedtextcolor") == 0)
        SetFocusedTextColor(ParseButtonColor(pstrValue));
    else if (wcscmp(pstrName, L"cursor") == 0)
        SetCursor(pstrValue);
    else
        CLabelUI::SetAttribute(pstrName, pstrValue);
}

SIZE CButtonUI::EstimateSize(SIZE szAvailable)
{
    if (m_cxyFixed.cy != 0 || m_pManager == NULL) return CControlUI::EstimateSize(szAvailable);
    SIZE sz = {m_cxyFixed.cx, m_pManager->GetFontInfo(m_iFont)->tm.tmHeight + 8};
    return sz;
}

void CButtonUI::RefreshStateBits()
{
    if (IsFocused())
        m_uButtonState |= UISTATE_FOCUSED;
    else
        m_uButtonState &= ~UISTATE_FOCUSED;
    if (!IsEnabled())
        m_uButtonState |= UISTATE_DISABLED;
    else
        m_uButtonState &= ~UISTATE_DISABLED;
}

bool CButtonUI::DrawFaded(HDC hDC, TImageDesc& desc, BYTE uFade)
{
    // Resolve the description first, so that its parse cannot overwrite the opacity set here.
    DrawImage(NULL, desc);
    desc.uFade = uFade;
    return DrawImage(hDC, desc);
}

void CButtonUI::PaintStatusImage(HDC hDC)
{
    RefreshStateBits();

    bool bNormal = false;
    if (m_uButtonState & UISTATE_DISABLED) {
        bNormal = !DrawImage(hDC, m_diDisabled);
    } else if (m_uButtonState & UISTATE_PUSHED) {
        if (!DrawImage(hDC, m_diPushed)) DrawImage(hDC, m_diNormal);
    } else if (m_uButtonState & UISTATE_HOT) {
        if (m_uFadeDelta == 0) {
            if (!DrawImage(hDC, m_diHot)) DrawImage(hDC, m_diNormal);
        } else if (m_uFadeAlpha == 0) {
            DrawFaded(hDC, m_diHot, 255);
        } else {
            DrawFaded(hDC, m_diNormal, m_uFadeAlpha);
            DrawFaded(hDC, m_diHot, (BYTE)(255 - m_uFadeAlpha));
        }
        if (DrawImage(hDC, m_diHotFore)) return;
        if (m_dwHotBkColor != 0) {
            CUIPainter::DrawColor(hDC, m_rcPaint, GetHslAdjustedColor(m_dwHotBkColor));
            return;
        }
    } else if (m_uButtonState & UISTATE_FOCUSED) {
        bNormal = !DrawImage(hDC, m_diFocused);
    } else {
        bNormal = true;
    }

    if (bNormal) {
        if (m_uFadeDelta == 0) {
            DrawImage(hDC, m_diNormal);
        } else if (m_uFadeAlpha == 255) {
            DrawFaded(hDC, m_diNormal, 255);
        } else {
            DrawFaded(hDC, m_diHot, (BYTE)(255 - m_uFadeAlpha));
            DrawFaded(hDC, m_diNormal, m_uFadeAlpha);
        }
    }
    DrawImage(hDC, m_diFore);
}

void CButtonUI::PaintText(HDC hDC)
{
    RefreshStateBits();
    ApplyDefaultColors();
    CUIString sText = GetText();
    if (sText.IsEmpty()) return;

    DWORD dwColor = IsEnabled() ? m_dwTextColor : m_dwDisabledTextColor;
    if ((m_uButtonState & UISTATE_PUSHED) != 0 && m_dwPushedTextColor != 0)
        dwColor = m_dwPushedTextColor;
    else if ((m_uButtonState & UISTATE_HOT) != 0 && m_dwHotTextColor != 0)
        dwColor = m_dwHotTextColor;
    else if ((m_uButtonState & UISTATE_FOCUSED) != 0 && m_dwFocusedTextColor != 0)
        dwColor = m_dwFocusedTextColor;

    RECT rc = m_rcItem;
    rc.left += m_rcTextPadding.left;
    rc.right -= m_rcTextPadding.right;
    rc.top += m_rcTextPadding.top;
    rc.bottom -= m_rcTextPadding.bottom;

    if (m_EnableEffect) {
        DrawTextSolidGdiplus(hDC, rc, sText, dwColor);
    } else if (m_bShowHtml) {
        int nLinks = 0;
        CUIPainter::DrawHtmlText(hDC, m_pManager, rc, sText, dwColor, NULL, NULL, nLinks, m_iFont, m_uTextStyle);
    } else {
        CUIPainter::DrawText(hDC, m_pManager, rc, sText, dwColor, m_iFont, m_uTextStyle);
    }
}

} // namespace Veneer
