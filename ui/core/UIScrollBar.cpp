#include "UIScrollBar.h"
#include "UIContainer.h"
#include "UIManager.h"
#include <stdlib.h>
#include <wchar.h>

namespace Veneer {

namespace {

// The framework's button-state bits, as far as a scroll bar uses them.
const UINT kStateDisabled = 0x04;
const UINT kStateHot = 0x08;
const UINT kStatePushed = 0x10;
const UINT kStateCaptured = 0x40;

// The repeat timer of the buttons and of the thumb drag.
const UINT kRepeatTimerId = 10;
const UINT kRepeatElapse = 50;
// Ticks a held button or rail waits before it repeats.
const int kRepeatDelayTicks = 5;

const int kDefaultThickness = 16;

DWORD ReadColor(const wchar_t* p)
{
    while (*p > L'\0' && *p <= L' ')
        ++p;
    if (*p == L'#')
        ++p;
    wchar_t* end = NULL;
    return (DWORD)wcstoul(p, &end, 16);
}

bool IsTrue(const wchar_t* p)
{
    return wcscmp(p, L"true") == 0;
}

bool IsZero(const RECT& rc)
{
    return rc.left == 0 && rc.top == 0 && rc.right == 0 && rc.bottom == 0;
}

// Reads rectangles, points and sizes along a bar's length or across it, whichever way the bar
// lies, so that its geometry is worked out once for both.
struct BarAxis {
    bool horizontal;

    int Start(const RECT& rc) const { return horizontal ? rc.left : rc.top; }
    int End(const RECT& rc) const { return horizontal ? rc.right : rc.bottom; }
    int Length(const RECT& rc) const { return End(rc) - Start(rc); }
    int CrossStart(const RECT& rc) const { return horizontal ? rc.top : rc.left; }
    int CrossEnd(const RECT& rc) const { return horizontal ? rc.bottom : rc.right; }
    int Along(POINT pt) const { return horizontal ? pt.x : pt.y; }
    LONG& Along(SIZE& sz) const { return horizontal ? sz.cx : sz.cy; }
    // The bar's thickness is its fixed size across.
    int Thickness(SIZE cxyFixed) const { return horizontal ? cxyFixed.cy : cxyFixed.cx; }
    // The rectangle from a to b along the bar and from c to d across it.
    RECT Rect(int a, int c, int b, int d) const { return horizontal ? RECT{a, c, b, d} : RECT{c, a, d, b}; }
};

} // namespace

CScrollBarUI::CScrollBarUI()
    : m_bHorizontal(false),
      m_nRange(100),
      m_nScrollPos(0),
      m_nLineSize(8),
      m_nScrollUnit(1),
      m_pOwner(NULL),
      m_nLastScrollPos(0),
      m_nLastScrollOffset(0),
      m_nScrollRepeatDelay(0),
      m_bShowButton1(true),
      m_uButton1State(0),
      m_dwButton1Color(0),
      m_bShowButton2(true),
      m_uButton2State(0),
      m_dwButton2Color(0),
      m_uThumbState(0),
      m_dwThumbColor(0)
{
    m_ptLastMouse = POINT{0, 0};
    m_rcButton1 = RECT{0, 0, 0, 0};
    m_rcButton2 = RECT{0, 0, 0, 0};
    m_rcThumb = RECT{0, 0, 0, 0};
    m_cxyFixed.cx = kDefaultThickness;
}

CScrollBarUI::~CScrollBarUI()
{
}

const wchar_t* CScrollBarUI::GetClass() const
{
    return L"ScrollBar";
}

void* CScrollBarUI::GetInterface(const wchar_t* pstrName)
{
    if (wcscmp(pstrName, L"ScrollBar") == 0)
        return static_cast<CScrollBarUI*>(this);
    return CControlUI::GetInterface(pstrName);
}

CContainerUI* CScrollBarUI::GetOwner() const
{
    return m_pOwner;
}

void CScrollBarUI::SetOwner(CContainerUI* pOwner)
{
    m_pOwner = pOwner;
}

void CScrollBarUI::SetVisible(bool bVisible)
{
    // The owner's layout places the bar; nothing else is to be updated here.
    if (m_bVisible == bVisible)
        return;
    m_bVisible = bVisible;
    m_bFocused = false;
}

void CScrollBarUI::SetEnabled(bool bEnable)
{
    CControlUI::SetEnabled(bEnable);
    if (!IsEnabled()) {
        m_uButton1State = 0;
        m_uButton2State = 0;
        m_uThumbState = 0;
    }
}

void CScrollBarUI::SetFocus()
{
    // The keyboard focus stays with the container the bar scrolls.
    if (m_pOwner != NULL)
        m_pOwner->SetFocus();
    else
        CControlUI::SetFocus();
}

bool CScrollBarUI::IsHorizontal() const
{
    return m_bHorizontal;
}

void CScrollBarUI::SetHorizontal(bool bHorizontal)
{
    if (m_bHorizontal == bHorizontal)
        return;
    m_bHorizontal = bHorizontal;
    if (m_bHorizontal) {
        if (m_cxyFixed.cy == 0) {
            m_cxyFixed.cx = 0;
            m_cxyFixed.cy = kDefaultThickness;
        }
    } else {
        if (m_cxyFixed.cx == 0) {
            m_cxyFixed.cx = kDefaultThickness;
            m_cxyFixed.cy = 0;
        }
    }
    if (m_pOwner != NULL)
        m_pOwner->NeedUpdate();
    else
        NeedParentUpdate();
}

void CScrollBarUI::Relayout()
{
    // A float bar keeps its rectangle relative to the parent.
    if (IsFloat() && m_pParent != NULL)
        SetPos(GetRelativePos(), true);
    else
        SetPos(GetPos(), true);
}

int CScrollBarUI::GetScrollRange() const
{
    return m_nRange;
}

void CScrollBarUI::SetScrollRange(int nRange)
{
    if (m_nRange == nRange)
        return;
    m_nRange = nRange < 0 ? 0 : nRange;
    if (m_nScrollPos > m_nRange)
        m_nScrollPos = m_nRange;
    Relayout();
}

int CScrollBarUI::GetScrollPos() const
{
    return m_nScrollPos;
}

void CScrollBarUI::SetScrollPos(int nPos, bool bNotify)
{
    if (m_nScrollPos == nPos)
        return;
    int iOldPos = m_nScrollPos;
    m_nScrollPos = nPos < 0 ? 0 : nPos;
    if (m_nScrollUnit > 1) {
        int iRemainder = m_nScrollPos % m_nScrollUnit;
        if (iRemainder != 0) {
            if (iRemainder < m_nScrollUnit / 2)
                m_nScrollPos -= iRemainder;
            else
                m_nScrollPos += m_nScrollUnit - iRemainder;
        }
    }
    if (m_nScrollPos > m_nRange)
        m_nScrollPos = m_nRange;
    Relayout();
    if (bNotify && m_pManager != NULL)
        m_pManager->SendNotify(this, L"scroll", (WPARAM)m_nScrollPos, (LPARAM)iOldPos, true, false);
}

int CScrollBarUI::GetLineSize() const
{
    return m_nScrollUnit > 1 ? m_nScrollUnit : m_nLineSize;
}

void CScrollBarUI::SetLineSize(int nSize)
{
    if (nSize >= 0)
        m_nLineSize = nSize;
}

int CScrollBarUI::GetScrollUnit() const
{
    return m_nScrollUnit;
}

void CScrollBarUI::SetScrollUnit(int iUnit)
{
    if (iUnit >= 0)
        m_nScrollUnit = iUnit;
}

bool CScrollBarUI::GetShowButton1() const { return m_bShowButton1; }

void CScrollBarUI::SetShowButton1(bool bShow)
{
    m_bShowButton1 = bShow;
    Relayout();
}

bool CScrollBarUI::GetShowButton2() const { return m_bShowButton2; }

void CScrollBarUI::SetShowButton2(bool bShow)
{
    m_bShowButton2 = bShow;
    Relayout();
}

DWORD CScrollBarUI::GetButton1Color() const { return m_dwButton1Color; }

void CScrollBarUI::SetButton1Color(DWORD dwColor)
{
    SetPartColor(m_dwButton1Color, dwColor);
}

DWORD CScrollBarUI::GetButton2Color() const { return m_dwButton2Color; }

void CScrollBarUI::SetButton2Color(DWORD dwColor)
{
    SetPartColor(m_dwButton2Color, dwColor);
}

DWORD CScrollBarUI::GetThumbColor() const { return m_dwThumbColor; }

void CScrollBarUI::SetThumbColor(DWORD dwColor)
{
    SetPartColor(m_dwThumbColor, dwColor);
}

void CScrollBarUI::SetPartColor(DWORD& dwPartColor, DWORD dwColor)
{
    if (dwPartColor == dwColor)
        return;
    dwPartColor = dwColor;
    Invalidate();
}

void CScrollBarUI::SetImage(TImageDesc& desc, const wchar_t* pStrImage)
{
    if (pStrImage == NULL)
        pStrImage = L"";
    if (desc.sDescription == pStrImage && desc.pImage != NULL)
        return;
    desc.Clear();
    desc.sDescription = pStrImage;
    Invalidate();
}

#define VENEER_SCROLLBAR_IMAGE(Name, group, index)                                                  \
    const wchar_t* CScrollBarUI::Get##Name() const { return group[index].sDescription.GetData(); } \
    void CScrollBarUI::Set##Name(const wchar_t* pStrImage) { SetImage(group[index], pStrImage); }

VENEER_SCROLLBAR_IMAGE(Button1NormalImage, m_diButton1Images, kNormal)
VENEER_SCROLLBAR_IMAGE(Button1HotImage, m_diButton1Images, kHot)
VENEER_SCROLLBAR_IMAGE(Button1PushedImage, m_diButton1Images, kPushed)
VENEER_SCROLLBAR_IMAGE(Button1DisabledImage, m_diButton1Images, kDisabled)
VENEER_SCROLLBAR_IMAGE(Button2NormalImage, m_diButton2Images, kNormal)
VENEER_SCROLLBAR_IMAGE(Button2HotImage, m_diButton2Images, kHot)
VENEER_SCROLLBAR_IMAGE(Button2PushedImage, m_diButton2Images, kPushed)
VENEER_SCROLLBAR_IMAGE(Button2DisabledImage, m_diButton2Images, kDisabled)
VENEER_SCROLLBAR_IMAGE(ThumbNormalImage, m_diThumbImages, kNormal)
VENEER_SCROLLBAR_IMAGE(ThumbHotImage, m_diThumbImages, kHot)
VENEER_SCROLLBAR_IMAGE(ThumbPushedImage, m_diThumbImages, kPushed)
VENEER_SCROLLBAR_IMAGE(ThumbDisabledImage, m_diThumbImages, kDisabled)
VENEER_SCROLLBAR_IMAGE(RailNormalImage, m_diRailImages, kNormal)
VENEER_SCROLLBAR_IMAGE(RailHotImage, m_diRailImages, kHot)
VENEER_SCROLLBAR_IMAGE(RailPushedImage, m_diRailImages, kPushed)
VENEER_SCROLLBAR_IMAGE(RailDisabledImage, m_diRailImages, kDisabled)
VENEER_SCROLLBAR_IMAGE(BkNormalImage, m_diBkImages, kNormal)
VENEER_SCROLLBAR_IMAGE(BkHotImage, m_diBkImages, kHot)
VENEER_SCROLLBAR_IMAGE(BkPushedImage, m_diBkImages, kPushed)
VENEER_SCROLLBAR_IMAGE(BkDisabledImage, m_diBkImages, kDisabled)

#undef VENEER_SCROLLBAR_IMAGE

RECT CScrollBarUI::GetButton1Rect() const { return m_rcButton1; }
RECT CScrollBarUI::GetButton2Rect() const { return m_rcButton2; }
RECT CScrollBarUI::GetThumbRect() const { return m_rcThumb; }

// ---------------------------------------------------------------------------------------------
// Layout of the parts

void CScrollBarUI::SetPos(RECT rc, bool bNeedInvalidate)
{
    CControlUI::SetPos(rc, bNeedInvalidate);
    const BarAxis axis = {m_bHorizontal};
    const int T = axis.Thickness(m_cxyFixed);
    const int a0 = axis.Start(m_rcItem), a1 = axis.End(m_rcItem), c0 = axis.CrossStart(m_rcItem);
    const int cxy = a1 - a0;
    int L = cxy;
    if (m_bShowButton1) L -= T;
    if (m_bShowButton2) L -= T;

    if (L <= T) {
        // Too short for a thumb: the buttons share the length.
        const int h = cxy / 2 < T ? cxy / 2 : T;
        m_rcButton1 = m_bShowButton1 ? axis.Rect(a0, c0, a0 + h, c0 + T) : axis.Rect(a0, c0, a0, c0);
        m_rcButton2 = m_bShowButton2 ? axis.Rect(a1 - h, c0, a1, c0 + T) : axis.Rect(a1, c0, a1, c0);
        m_rcThumb = RECT{0, 0, 0, 0};
        return;
    }

    m_rcButton1 = m_bShowButton1 ? axis.Rect(a0, c0, a0 + T, c0 + T) : axis.Rect(a0, c0, a0, c0);
    m_rcButton2 = m_bShowButton2 ? axis.Rect(a1 - T, c0, a1, c0 + T) : axis.Rect(a1, c0, a1, c0);
    const int iTrackStart = axis.End(m_rcButton1);
    const int iTrackEnd = axis.Start(m_rcButton2);
    int iThumbStart = iTrackStart;
    int iThumbEnd = iTrackEnd;
    if (m_nRange >= 1) {
        int len = (int)(((long long)cxy * L) / (m_nRange + cxy));
        if (len < T) len = T;
        iThumbStart = (int)(((long long)(L - len) * m_nScrollPos) / m_nRange) + iTrackStart;
        iThumbEnd = iThumbStart + len;
        if (iThumbEnd > iTrackEnd) {
            iThumbStart = iTrackEnd - len;
            iThumbEnd = iTrackEnd;
        }
    }
    m_rcThumb = axis.Rect(iThumbStart, c0, iThumbEnd, c0 + T);
}

// ---------------------------------------------------------------------------------------------
// Input

void CScrollBarUI::LineStep(bool bForward)
{
    if (m_pOwner != NULL) {
        if (m_bHorizontal) {
            if (bForward) m_pOwner->LineRight(); else m_pOwner->LineLeft();
        } else {
            if (bForward) m_pOwner->LineDown(); else m_pOwner->LineUp();
        }
        return;
    }
    SetScrollPos(GetScrollPos() + (bForward ? GetLineSize() : -GetLineSize()), true);
}

void CScrollBarUI::PageStep(bool bForward)
{
    if (m_pOwner != NULL) {
        if (m_bHorizontal) {
            if (bForward) m_pOwner->PageRight(); else m_pOwner->PageLeft();
        } else {
            if (bForward) m_pOwner->PageDown(); else m_pOwner->PageUp();
        }
        return;
    }
    const int iPage = BarAxis{m_bHorizontal}.Length(m_rcItem);
    SetScrollPos(GetScrollPos() + (bForward ? iPage : -iPage), true);
}

void CScrollBarUI::DoEvent(tagTEventUI& event)
{
    if (!IsMouseEnabled() && event.Type >= UIEVENT__MOUSEBEGIN && event.Type <= UIEVENT__MOUSEEND) {
        if (m_pOwner != NULL)
            m_pOwner->DoEvent(event);
        else
            CControlUI::DoEvent(event);
        return;
    }

    if (event.Type == UIEVENT_SETFOCUS || event.Type == UIEVENT_KILLFOCUS)
        return;

    const BarAxis axis = {m_bHorizontal};
    // A press on the rail, held or not, pages towards the point.
    auto pageTowards = [&](POINT pt) {
        if (axis.Along(pt) < axis.Start(m_rcThumb))
            PageStep(false);
        else if (axis.Along(pt) >= axis.End(m_rcThumb))
            PageStep(true);
    };

    if (event.Type == UIEVENT_BUTTONDOWN || event.Type == UIEVENT_DBLCLICK) {
        if (!IsEnabled())
            return;
        m_nLastScrollOffset = 0;
        m_nScrollRepeatDelay = 0;
        if (m_pManager != NULL)
            m_pManager->SetTimer(this, kRepeatTimerId, kRepeatElapse);

        if (::PtInRect(&m_rcButton1, event.ptMouse)) {
            m_uButton1State |= kStatePushed;
            LineStep(false);
        } else if (::PtInRect(&m_rcButton2, event.ptMouse)) {
            m_uButton2State |= kStatePushed;
            LineStep(true);
        } else if (::PtInRect(&m_rcThumb, event.ptMouse)) {
            m_uThumbState |= kStateCaptured | kStatePushed;
            m_ptLastMouse = event.ptMouse;
            m_nLastScrollPos = m_nScrollPos;
        } else {
            pageTowards(event.ptMouse);
        }
        return;
    }

    if (event.Type == UIEVENT_BUTTONUP) {
        m_nScrollRepeatDelay = 0;
        m_nLastScrollOffset = 0;
        if (m_pManager != NULL)
            m_pManager->KillTimer(this, kRepeatTimerId);
        if ((m_uThumbState & kStateCaptured) != 0) {
            m_uThumbState &= ~(kStateCaptured | kStatePushed);
            Invalidate();
        } else if ((m_uButton1State & kStatePushed) != 0) {
            m_uButton1State &= ~kStatePushed;
            Invalidate();
        } else if ((m_uButton2State & kStatePushed) != 0) {
            m_uButton2State &= ~kStatePushed;
            Invalidate();
        }
        return;
    }

    if (event.Type == UIEVENT_MOUSEMOVE) {
        if ((m_uThumbState & kStateCaptured) != 0) {
            // Only the wanted offset is noted here; the timer applies it, at most every 50 ms.
            const int T = axis.Thickness(m_cxyFixed);
            int iFree = axis.Length(m_rcItem) - axis.Length(m_rcThumb);
            if (m_bShowButton1) iFree -= T;
            if (m_bShowButton2) iFree -= T;
            if (iFree != 0) {
                const int iMoved = axis.Along(event.ptMouse) - axis.Along(m_ptLastMouse);
                m_nLastScrollOffset = (int)(((long long)iMoved * m_nRange) / iFree);
            }
        } else {
            if ((m_uThumbState & kStateHot) != 0 && !::PtInRect(&m_rcThumb, event.ptMouse)) {
                m_uThumbState &= ~kStateHot;
                Invalidate();
            }
            if (IsEnabled() && (m_uThumbState & kStateHot) == 0 && ::PtInRect(&m_rcThumb, event.ptMouse)) {
                m_uThumbState |= kStateHot;
                Invalidate();
            }
        }
        return;
    }

    if (event.Type == UIEVENT_CONTEXTMENU)
        return;

    if (event.Type == UIEVENT_TIMER && event.wParam == kRepeatTimerId) {
        ++m_nScrollRepeatDelay;
        if ((m_uThumbState & kStateCaptured) != 0) {
            int iPos = m_nLastScrollPos + m_nLastScrollOffset;
            if (m_pOwner != NULL) {
                SIZE sz = m_pOwner->GetScrollPos();
                axis.Along(sz) = iPos;
                m_pOwner->SetScrollPos(sz);
            } else {
                SetScrollPos(iPos, true);
            }
            Invalidate();
        } else if (m_nScrollRepeatDelay > kRepeatDelayTicks) {
            if ((m_uButton1State & kStatePushed) != 0) {
                LineStep(false);
            } else if ((m_uButton2State & kStatePushed) != 0) {
                LineStep(true);
            } else if (m_pManager != NULL) {
                POINT pt = {0, 0};
                ::GetCursorPos(&pt);
                ::ScreenToClient(m_pManager->GetPaintWindow(), &pt);
                pageTowards(pt);
            }
        }
        return;
    }

    if (event.Type == UIEVENT_MOUSEENTER) {
        if (IsEnabled() && ::PtInRect(&m_rcItem, event.ptMouse)) {
            m_uButton1State |= kStateHot;
            m_uButton2State |= kStateHot;
            if (::PtInRect(&m_rcThumb, event.ptMouse))
                m_uThumbState |= kStateHot;
            Invalidate();
        }
    } else if (event.Type == UIEVENT_MOUSELEAVE) {
        if (::PtInRect(&m_rcItem, event.ptMouse)) {
            // The mouse went onto a control above the bar: keep the hot look until it really leaves.
            if (m_pManager != NULL)
                m_pManager->AddMouseLeaveListener(this);
            return;
        }
        if (IsEnabled()) {
            m_uButton1State &= ~kStateHot;
            m_uButton2State &= ~kStateHot;
            m_uThumbState &= ~kStateHot;
            Invalidate();
        }
        if (m_pManager != NULL)
            m_pManager->RemoveMouseLeaveListener(this);
    }

    if (m_pOwner != NULL)
        m_pOwner->DoEvent(event);
    else
        CControlUI::DoEvent(event);
}

// ---------------------------------------------------------------------------------------------
// Attributes

void CScrollBarUI::SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue)
{
    if (pstrName == NULL)
        return;
    if (pstrValue == NULL)
        pstrValue = L"";
    if (wcscmp(pstrName, L"button1color") == 0) SetButton1Color(ReadColor(pstrValue));
    else if (wcscmp(pstrName, L"button1normalimage") == 0) SetButton1NormalImage(pstrValue);
    else if (wcscmp(pstrName, L"button1hotimage") == 0) SetButton1HotImage(pstrValue);
    else if (wcscmp(pstrName, L"button1pushedimage") == 0) SetButton1PushedImage(pstrValue);
    else if (wcscmp(pstrName, L"button1disabledimage") == 0) SetButton1DisabledImage(pstrValue);
    else if (wcscmp(pstrName, L"button2color") == 0) SetButton2Color(ReadColor(pstrValue));
    else if (wcscmp(pstrName, L"button2normalimage") == 0) SetButton2NormalImage(pstrValue);
    else if (wcscmp(pstrName, L"button2hotimage") == 0) SetButton2HotImage(pstrValue);
    else if (wcscmp(pstrName, L"button2pushedimage") == 0) SetButton2PushedImage(pstrValue);
    else if (wcscmp(pstrName, L"button2disabledimage") == 0) SetButton2DisabledImage(pstrValue);
    else if (wcscmp(pstrName, L"thumbcolor") == 0) SetThumbColor(ReadColor(pstrValue));
    else if (wcscmp(pstrName, L"thumbnormalimage") == 0) SetThumbNormalImage(pstrValue);
    else if (wcscmp(pstrName, L"thumbhotimage") == 0) SetThumbHotImage(pstrValue);
    else if (wcscmp(pstrName, L"thumbpushedimage") == 0) SetThumbPushedImage(pstrValue);
    else if (wcscmp(pstrName, L"thumbdisabledimage") == 0) SetThumbDisabledImage(pstrValue);
    else if (wcscmp(pstrName, L"railnormalimage") == 0) SetRailNormalImage(pstrValue);
    else if (wcscmp(pstrName, L"railhotimage") == 0) SetRailHotImage(pstrValue);
    else if (wcscmp(pstrName, L"railpushedimage") == 0) SetRailPushedImage(pstrValue);
    else if (wcscmp(pstrName, L"raildisabledimage") == 0) SetRailDisabledImage(pstrValue);
    else if (wcscmp(pstrName, L"bknormalimage") == 0) SetBkNormalImage(pstrValue);
    else if (wcscmp(pstrName, L"bkhotimage") == 0) SetBkHotImage(pstrValue);
    else if (wcscmp(pstrName, L"bkpushedimage") == 0) SetBkPushedImage(pstrValue);
    else if (wcscmp(pstrName, L"bkdisabledimage") == 0) SetBkDisabledImage(pstrValue);
    else if (wcscmp(pstrName, L"hor") == 0) SetHorizontal(IsTrue(pstrValue));
    else if (wcscmp(pstrName, L"linesize") == 0) SetLineSize((int)wcstol(pstrValue, NULL, 10));
    else if (wcscmp(pstrName, L"range") == 0) SetScrollRange((int)wcstol(pstrValue, NULL, 10));
    else if (wcscmp(pstrName, L"value") == 0) SetScrollPos((int)wcstol(pstrValue, NULL, 10), true);
    else if (wcscmp(pstrName, L"scrollunit") == 0) SetScrollUnit((int)wcstol(pstrValue, NULL, 10));
    else if (wcscmp(pstrName, L"showbutton1") == 0) SetShowButton1(IsTrue(pstrValue));
    else if (wcscmp(pstrName, L"showbutton2") == 0) SetShowButton2(IsTrue(pstrValue));
    else CControlUI::SetAttribute(pstrName, pstrValue);
}

// ---------------------------------------------------------------------------------------------
// Painting

bool CScrollBarUI::DoPaint(HDC hDC, const RECT& rcPaint, CControlUI* pStopControl)
{
    PaintBkColor(hDC);
    PaintBkImage(hDC);
    PaintBk(hDC);
    PaintButton1(hDC);
    PaintButton2(hDC);
    PaintThumb(hDC);
    PaintRail(hDC);
    PaintBorder(hDC);
    return true;
}

bool CScrollBarUI::DrawImageAt(HDC hDC, TImageDesc& desc, const RECT* pDest)
{
    if (pDest == NULL)
        return DrawImage(hDC, desc);
    // Resolve first: parsing the description would otherwise overwrite the destination.
    if (!CUIPainter::DrawImage(NULL, m_pManager, m_rcItem, m_rcPaint, desc))
        return false;
    desc.rcDest = *pDest;
    return DrawImage(hDC, desc);
}

void CScrollBarUI::PaintStateImage(HDC hDC, UINT uState, TImageDesc* images, const RECT* pDest)
{
    TImageDesc* pState = NULL;
    if ((uState & kStateDisabled) != 0)
        pState = &images[kDisabled];
    else if ((uState & kStatePushed) != 0)
        pState = &images[kPushed];
    else if ((uState & kStateHot) != 0)
        pState = &images[kHot];
    if (pState != NULL && DrawImageAt(hDC, *pState, pDest))
        return;
    DrawImageAt(hDC, images[kNormal], pDest);
}

void CScrollBarUI::PaintPart(HDC hDC, UINT& uState, DWORD dwColor, const RECT* pPart, TImageDesc* images)
{
    if (!IsEnabled())
        uState |= kStateDisabled;
    else
        uState &= ~kStateDisabled;
    if (pPart == NULL) {
        PaintStateImage(hDC, uState, images, NULL);
        return;
    }
    if (dwColor != 0)
        CUIPainter::DrawColor(hDC, *pPart, GetHslAdjustedColor(dwColor));
    RECT rcDest = *pPart;
    ::OffsetRect(&rcDest, -m_rcItem.left, -m_rcItem.top);
    PaintStateImage(hDC, uState, images, &rcDest);
}

void CScrollBarUI::PaintBk(HDC hDC)
{
    // The background follows the thumb's state.
    PaintPart(hDC, m_uThumbState, 0, NULL, m_diBkImages);
}

void CScrollBarUI::PaintButton1(HDC hDC)
{
    if (m_bShowButton1)
        PaintPart(hDC, m_uButton1State, m_dwButton1Color, &m_rcButton1, m_diButton1Images);
}

void CScrollBarUI::PaintButton2(HDC hDC)
{
    if (m_bShowButton2)
        PaintPart(hDC, m_uButton2State, m_dwButton2Color, &m_rcButton2, m_diButton2Images);
}

void CScrollBarUI::PaintThumb(HDC hDC)
{
    if (!IsZero(m_rcThumb))
        PaintPart(hDC, m_uThumbState, m_dwThumbColor, &m_rcThumb, m_diThumbImages);
}

void CScrollBarUI::PaintRail(HDC hDC)
{
    if (IsZero(m_rcThumb))
        return;
    // A square of the bar's thickness at the middle of the thumb.
    const BarAxis axis = {m_bHorizontal};
    const int T = axis.Thickness(m_cxyFixed);
    const int mid = (axis.Start(m_rcThumb) + axis.End(m_rcThumb)) / 2;
    const RECT rcRail = axis.Rect(mid - T / 2, axis.CrossStart(m_rcThumb), mid + T - T / 2, axis.CrossEnd(m_rcThumb));
    PaintPart(hDC, m_uThumbState, 0, &rcRail, m_diRailImages);
}

} // namespace Veneer
