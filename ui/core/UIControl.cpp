#include "UIControl.h"
#include "UIManager.h"
#include <stdlib.h>
#include <wchar.h>

namespace Veneer {

namespace {

// Reads a decimal integer where p points and moves p past it and past the one separator that
// follows. At the end of the text p stays there, so missing numbers read as 0.
long ReadInt(const wchar_t*& p)
{
    wchar_t* end = NULL;
    long v = wcstol(p, &end, 10);
    p = end;
    if (*p != L'\0')
        ++p;
    return v;
}

double ReadDouble(const wchar_t*& p)
{
    wchar_t* end = NULL;
    double v = wcstod(p, &end);
    p = end;
    if (*p != L'\0')
        ++p;
    return v;
}

RECT ReadRect(const wchar_t* p)
{
    RECT rc;
    rc.left = ReadInt(p);
    rc.top = ReadInt(p);
    rc.right = ReadInt(p);
    rc.bottom = ReadInt(p);
    return rc;
}

DWORD ReadColor(const wchar_t* p, bool bSkipBlanks)
{
    if (bSkipBlanks) {
        while (*p > L'\0' && *p <= L' ')
            ++p;
    }
    if (*p == L'#')
        ++p;
    wchar_t* end = NULL;
    return (DWORD)wcstoul(p, &end, 16);
}

bool IsTrue(const wchar_t* p)
{
    return wcscmp(p, L"true") == 0;
}

} // namespace

CControlUI::CControlUI()
    : m_pManager(NULL),
      m_pParent(NULL),
      m_pCover(NULL),
      m_bUpdateNeeded(true),
      m_bMenuUsed(false),
      m_bVisible(true),
      m_bInternVisible(true),
      m_bEnabled(true),
      m_bMouseEnabled(true),
      m_bKeyboardEnabled(true),
      m_bFocused(false),
      m_bFloat(false),
      m_bSetPos(false),
      m_chShortcut(L'\0'),
      m_uTag(0),
      m_dwBackColor(0),
      m_dwBackColor2(0),
      m_dwBackColor3(0),
      m_dwBorderColor(0),
      m_dwFocusBorderColor(0),
      m_bColorHSL(false),
      m_nBorderStyle(PS_SOLID),
      m_nTooltipWidth(300),
      m_mCustomAttrHash(83)
{
    m_rcItem = RECT{0, 0, 0, 0};
    m_rcPadding = RECT{0, 0, 0, 0};
    m_rcPaint = RECT{0, 0, 0, 0};
    m_rcBorderSize = RECT{0, 0, 0, 0};
    m_cXY = SIZE{0, 0};
    m_cxyFixed = SIZE{0, 0};
    m_cxyMin = SIZE{0, 0};
    m_cxyMax = SIZE{9999, 9999};
    m_cxyBorderRound = SIZE{0, 0};
    m_piFloatPercent = TPercentInfo{0.0, 0.0, 0.0, 0.0};
}

namespace {
CControlWatch* s_pWatches = NULL;
} // namespace

CControlWatch::CControlWatch(CControlUI* pControl) : m_pControl(pControl), m_pPrev(s_pWatches)
{
    s_pWatches = this;
}

CControlWatch::~CControlWatch()
{
    // Watches end in the reverse order of their start (they live on the stack).
    s_pWatches = m_pPrev;
}

void CControlWatch::ControlDestroyed(CControlUI* pControl)
{
    for (CControlWatch* p = s_pWatches; p != NULL; p = p->m_pPrev)
        if (p->m_pControl == pControl) p->m_pControl = NULL;
}

CControlUI::~CControlUI()
{
    CControlWatch::ControlDestroyed(this);
    if (m_pCover != NULL) {
        m_pCover->Delete();
        m_pCover = NULL;
    }
    ClearCustomAttributes();
    if (OnDestroy)
        OnDestroy(this);
    if (m_pManager != NULL)
        m_pManager->ForgetControl(this);
}

void CControlUI::Delete()
{
    if (m_pManager != NULL)
        m_pManager->RemoveMouseLeaveListener(this);
    delete this;
}

CUIString CControlUI::GetName() const
{
    return m_sName;
}

void CControlUI::SetName(const wchar_t* pstrName)
{
    if (m_sName == pstrName)
        return;
    // Attached: the manager moves the name-map entry from the old name to the new one and calls
    // back here, by which time the map already answers the new name with this control.
    if (m_pManager != NULL && pstrName != NULL && pstrName[0] != L'\0' &&
        m_pManager->FindControl(pstrName) != this) {
        if (m_pManager->RenameControl(this, pstrName) && m_sName == pstrName)
            return;
    }
    // An empty name, or one another control holds: the old entry must not outlive the name (it
    // would answer with freed memory once this control is gone).
    if (m_pManager != NULL) m_pManager->UnmapControlName(this);
    m_sName = pstrName;
}

const wchar_t* CControlUI::GetClass() const
{
    return L"Control";
}

void* CControlUI::GetInterface(const wchar_t* pstrName)
{
    if (pstrName != NULL && wcscmp(pstrName, L"Control") == 0)
        return this;
    return NULL;
}

UINT CControlUI::GetControlFlags() const
{
    return 0;
}

HWND CControlUI::GetNativeWindow() const
{
    return NULL;
}

bool CControlUI::Activate()
{
    return IsVisible() && IsEnabled();
}

CPaintManagerUI* CControlUI::GetManager() const
{
    return m_pManager;
}

void CControlUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit)
{
    if (m_pCover != NULL)
        m_pCover->SetManager(pManager, this, bInit);
    m_pManager = pManager;
    m_pParent = pParent;
    if (bInit && m_pParent != NULL)
        Init();
}

CControlUI* CControlUI::GetParent() const
{
    return m_pParent;
}

CControlUI* CControlUI::GetCover() const
{
    return m_pCover;
}

void CControlUI::SetCover(CControlUI* pControl)
{
    if (m_pCover == pControl)
        return;
    if (m_pCover != NULL)
        m_pCover->Delete();
    m_pCover = pControl;
    if (m_pCover != NULL) {
        if (m_pManager != NULL)
            m_pManager->InitControls(m_pCover, this);
        if (IsVisible())
            NeedUpdate();
        else
            m_pCover->SetInternVisible(false);
    }
}

CUIString CControlUI::GetText() const
{
    return m_sText;
}

void CControlUI::SetText(const wchar_t* pstrText)
{
    if (m_sText == pstrText)
        return;
    m_sText = pstrText;
    Invalidate();
}

const RECT& CControlUI::GetPos() const
{
    return m_rcItem;
}

RECT CControlUI::GetRelativePos() const
{
    if (m_pParent == NULL)
        return RECT{0, 0, 0, 0};
    RECT rcParent = m_pParent->GetPos();
    RECT rc = m_rcItem;
    ::OffsetRect(&rc, -rcParent.left, -rcParent.top);
    return rc;
}

RECT CControlUI::GetClientPos() const
{
    return m_rcItem;
}

void CControlUI::InvalidateClipped(RECT rc)
{
    for (CControlUI* pParent = m_pParent; pParent != NULL; pParent = pParent->GetParent()) {
        if (!pParent->IsVisible())
            return;
        RECT rcParent = pParent->GetPos();
        RECT rcTemp = rc;
        if (!::IntersectRect(&rc, &rcTemp, &rcParent))
            return;
    }
    m_pManager->Invalidate(rc);
}

void CControlUI::SetPos(RECT rc, bool bNeedInvalidate)
{
    if (rc.right < rc.left)
        rc.right = rc.left;
    if (rc.bottom < rc.top)
        rc.bottom = rc.top;

    CUIRect invalidateRc = m_rcItem;
    if (::IsRectEmpty(&invalidateRc))
        invalidateRc = rc;

    if (m_bFloat) {
        if (m_pParent != NULL) {
            RECT rcParentPos = m_pParent->GetPos();
            RECT rcCtrl = {rcParentPos.left + rc.left, rcParentPos.top + rc.top,
                           rcParentPos.left + rc.right, rcParentPos.top + rc.bottom};
            m_rcItem = rcCtrl;
            // Derive the fixed values back from rc, so that the next layout reproduces it.
            LONG width = rcParentPos.right - rcParentPos.left;
            LONG height = rcParentPos.bottom - rcParentPos.top;
            int pl = (int)(width * m_piFloatPercent.left);
            int pt = (int)(height * m_piFloatPercent.top);
            int pr = (int)(width * m_piFloatPercent.right);
            int pb = (int)(height * m_piFloatPercent.bottom);
            m_cXY.cx = rc.left - pl;
            m_cXY.cy = rc.top - pt;
            m_cxyFixed.cx = rc.right - pr - m_cXY.cx;
            m_cxyFixed.cy = rc.bottom - pb - m_cXY.cy;
        }
    } else {
        m_rcItem = rc;
    }
    if (m_pManager == NULL)
        return;

    if (!m_bSetPos) {
        m_bSetPos = true;
        if (OnSize)
            OnSize(this);
        m_bSetPos = false;
    }

    m_bUpdateNeeded = false;

    if (bNeedInvalidate && IsVisible()) {
        invalidateRc.UnionWith(m_rcItem);
        InvalidateClipped(invalidateRc);
    }

    if (m_pCover != NULL && m_pCover->IsVisible()) {
        if (m_pCover->IsFloat()) {
            SIZE szXY = m_pCover->GetFixedXY();
            SIZE sz = {m_pCover->GetFixedWidth(), m_pCover->GetFixedHeight()};
            TPercentInfo rcPercent = m_pCover->GetFloatPercent();
            LONG width = m_rcItem.right - m_rcItem.left;
            LONG height = m_rcItem.bottom - m_rcItem.top;
            RECT rcCtrl;
            rcCtrl.left = (LONG)(width * rcPercent.left) + szXY.cx;
            rcCtrl.top = (LONG)(height * rcPercent.top) + szXY.cy;
            rcCtrl.right = (LONG)(width * rcPercent.right) + szXY.cx + sz.cx;
            rcCtrl.bottom = (LONG)(height * rcPercent.bottom) + szXY.cy + sz.cy;
            m_pCover->SetPos(rcCtrl, false);
        } else {
            SIZE sz = {rc.right - rc.left, rc.bottom - rc.top};
            if (sz.cx < m_pCover->GetMinWidth()) sz.cx = m_pCover->GetMinWidth();
            if (sz.cx > m_pCover->GetMaxWidth()) sz.cx = m_pCover->GetMaxWidth();
            if (sz.cy < m_pCover->GetMinHeight()) sz.cy = m_pCover->GetMinHeight();
            if (sz.cy > m_pCover->GetMaxHeight()) sz.cy = m_pCover->GetMaxHeight();
            RECT rcCtrl = {rc.left, rc.top, rc.left + sz.cx, rc.top + sz.cy};
            m_pCover->SetPos(rcCtrl, false);
        }
    }
}

void CControlUI::Move(SIZE szOffset, bool bNeedInvalidate)
{
    CUIRect invalidateRc = m_rcItem;
    m_rcItem.left += szOffset.cx;
    m_rcItem.top += szOffset.cy;
    m_rcItem.right += szOffset.cx;
    m_rcItem.bottom += szOffset.cy;

    if (bNeedInvalidate && m_pManager != NULL && IsVisible()) {
        invalidateRc.UnionWith(m_rcItem);
        InvalidateClipped(invalidateRc);
    }

    if (m_pCover != NULL && m_pCover->IsVisible())
        m_pCover->Move(szOffset, false);
}

int CControlUI::GetWidth() const
{
    return m_rcItem.right - m_rcItem.left;
}

int CControlUI::GetHeight() const
{
    return m_rcItem.bottom - m_rcItem.top;
}

int CControlUI::GetX() const
{
    return m_rcItem.left;
}

int CControlUI::GetY() const
{
    return m_rcItem.top;
}

RECT CControlUI::GetPadding() const
{
    return m_rcPadding;
}

void CControlUI::SetPadding(RECT rcPadding)
{
    m_rcPadding = rcPadding;
    NeedParentUpdate();
}

SIZE CControlUI::GetFixedXY() const
{
    return m_cXY;
}

void CControlUI::SetFixedXY(SIZE szXY)
{
    m_cXY.cx = szXY.cx;
    m_cXY.cy = szXY.cy;
    NeedParentUpdate();
}

TPercentInfo CControlUI::GetFloatPercent() const
{
    return m_piFloatPercent;
}

void CControlUI::SetFloatPercent(TPercentInfo piFloatPercent)
{
    m_piFloatPercent = piFloatPercent;
    NeedParentUpdate();
}

int CControlUI::GetFixedWidth() const
{
    return m_cxyFixed.cx;
}

void CControlUI::SetFixedWidth(int cx)
{
    if (cx < 0)
        return;
    m_cxyFixed.cx = cx;
    NeedParentUpdate();
}

int CControlUI::GetFixedHeight() const
{
    return m_cxyFixed.cy;
}

void CControlUI::SetFixedHeight(int cy)
{
    if (cy < 0)
        return;
    m_cxyFixed.cy = cy;
    NeedParentUpdate();
}

int CControlUI::GetMinWidth() const
{
    return m_cxyMin.cx;
}

void CControlUI::SetMinWidth(int cx)
{
    if (m_cxyMin.cx == cx || cx < 0)
        return;
    m_cxyMin.cx = cx;
    NeedParentUpdate();
}

int CControlUI::GetMaxWidth() const
{
    if (m_cxyMax.cx < m_cxyMin.cx)
        return m_cxyMin.cx;
    return m_cxyMax.cx;
}

void CControlUI::SetMaxWidth(int cx)
{
    if (m_cxyMax.cx == cx || cx < 0)
        return;
    m_cxyMax.cx = cx;
    NeedParentUpdate();
}

int CControlUI::GetMinHeight() const
{
    return m_cxyMin.cy;
}

void CControlUI::SetMinHeight(int cy)
{
    if (m_cxyMin.cy == cy || cy < 0)
        return;
    m_cxyMin.cy = cy;
    NeedParentUpdate();
}

int CControlUI::GetMaxHeight() const
{
    if (m_cxyMax.cy < m_cxyMin.cy)
        return m_cxyMin.cy;
    return m_cxyMax.cy;
}

void CControlUI::SetMaxHeight(int cy)
{
    if (m_cxyMax.cy == cy || cy < 0)
        return;
    m_cxyMax.cy = cy;
    NeedParentUpdate();
}

CUIString CControlUI::GetToolTip() const
{
    return m_sToolTip;
}

void CControlUI::SetToolTip(const wchar_t* pstrText)
{
    CUIString strTemp(pstrText);
    strTemp.Replace(L"<n>", L"\r\n");
    m_sToolTip = strTemp;
}

void CControlUI::SetToolTipWidth(int nWidth)
{
    m_nTooltipWidth = nWidth;
}

int CControlUI::GetToolTipWidth()
{
    return m_nTooltipWidth;
}

wchar_t CControlUI::GetShortcut() const
{
    return m_chShortcut;
}

void CControlUI::SetShortcut(wchar_t ch)
{
    m_chShortcut = ch;
}

bool CControlUI::IsContextMenuUsed() const
{
    return m_bMenuUsed;
}

void CControlUI::SetContextMenuUsed(bool bMenuUsed)
{
    m_bMenuUsed = bMenuUsed;
}

const CUIString& CControlUI::GetUserData()
{
    return m_sUserData;
}

void CControlUI::SetUserData(const wchar_t* pstrText)
{
    m_sUserData = pstrText;
}

UINT CControlUI::GetTag() const
{
    return m_uTag;
}

void CControlUI::SetTag(UINT uTag)
{
    m_uTag = uTag;
}

bool CControlUI::IsVisible() const
{
    return m_bVisible && m_bInternVisible;
}

void CControlUI::SetVisible(bool bVisible)
{
    if (m_bVisible == bVisible)
        return;
    bool v = IsVisible();
    m_bVisible = bVisible;
    m_bFocused = false;
    if (!bVisible && m_pManager != NULL && m_pManager->GetFocus() == this)
        m_pManager->SetFocus(NULL);
    if (IsVisible() != v)
        NeedParentUpdate();
    if (m_pCover != NULL)
        m_pCover->SetInternVisible(IsVisible());
}

void CControlUI::SetInternVisible(bool bVisible)
{
    m_bInternVisible = bVisible;
    if (!bVisible && m_pManager != NULL && m_pManager->GetFocus() == this)
        m_pManager->SetFocus(NULL);
    if (m_pCover != NULL)
        m_pCover->SetInternVisible(IsVisible());
}

bool CControlUI::IsEnabled() const
{
    return m_bEnabled;
}

void CControlUI::SetEnabled(bool bEnabled)
{
    if (m_bEnabled == bEnabled)
        return;
    m_bEnabled = bEnabled;
    Invalidate();
}

bool CControlUI::IsMouseEnabled() const
{
    return m_bMouseEnabled;
}

void CControlUI::SetMouseEnabled(bool bEnabled)
{
    m_bMouseEnabled = bEnabled;
}

bool CControlUI::IsKeyboardEnabled() const
{
    return m_bKeyboardEnabled;
}

void CControlUI::SetKeyboardEnabled(bool bEnabled)
{
    m_bKeyboardEnabled = bEnabled;
}

bool CControlUI::IsFocused() const
{
    return m_bFocused;
}

void CControlUI::SetFocus()
{
    if (m_pManager != NULL)
        m_pManager->SetFocus(this, false);
}

bool CControlUI::IsFloat() const
{
    return m_bFloat;
}

void CControlUI::SetFloat(bool bFloat)
{
    if (m_bFloat == bFloat)
        return;
    m_bFloat = bFloat;
    NeedParentUpdate();
}

CControlUI* CControlUI::FindControl(FindControlCallback Proc, void* pData, UINT uFlags)
{
    if ((uFlags & FindOnlyVisible) != 0 && !IsVisible())
        return NULL;
    if ((uFlags & FindOnlyEnabled) != 0 && !IsEnabled())
        return NULL;
    if ((uFlags & FindAtPoint) != 0 && !::PtInRect(&m_rcItem, *static_cast<LPPOINT>(pData)))
        return NULL;
    if ((uFlags & FindPruneMatched) != 0 && Proc(this, pData) != NULL)
        return NULL;

    bool bMayAnswer = (uFlags & FindAtPoint) == 0 || IsMouseEnabled();
    CControlUI* pResult = NULL;
    if ((uFlags & FindSelfFirst) != 0 && bMayAnswer)
        pResult = Proc(this, pData);
    if (pResult == NULL && m_pCover != NULL)
        pResult = m_pCover->FindControl(Proc, pData, uFlags);
    if (pResult == NULL && (uFlags & FindSelfFirst) == 0 && bMayAnswer)
        pResult = Proc(this, pData);
    return pResult;
}

void CControlUI::Init()
{
    DoInit();
    if (OnInit)
        OnInit(this);
}

void CControlUI::DoInit()
{
}

void CControlUI::Event(tagTEventUI& event)
{
    if (OnEvent(&event))
        DoEvent(event);
}

void CControlUI::DoEvent(tagTEventUI& event)
{
    if (event.Type == UIEVENT_SETCURSOR) {
        ::SetCursor(::LoadCursorW(NULL, IDC_ARROW));
        return;
    }
    if (event.Type == UIEVENT_SETFOCUS) {
        m_bFocused = true;
        Invalidate();
        return;
    }
    if (event.Type == UIEVENT_KILLFOCUS) {
        m_bFocused = false;
        Invalidate();
        return;
    }
    if (event.Type == UIEVENT_TIMER) {
        if (m_pManager != NULL)
            m_pManager->SendNotify(this, L"timer", event.wParam, event.lParam, false, true);
        return;
    }
    if (event.Type == UIEVENT_CONTEXTMENU && IsContextMenuUsed()) {
        if (m_pManager != NULL)
            m_pManager->SendNotify(this, L"menu", event.wParam, event.lParam, false, true);
        return;
    }
    if (m_pParent != NULL)
        m_pParent->DoEvent(event);
}

CUIString CControlUI::GetAttribute(const wchar_t* pstrName)
{
    return CUIString();
}

void CControlUI::SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue)
{
    if (pstrName == NULL)
        return;
    if (pstrValue == NULL)
        pstrValue = L"";
    if (wcscmp(pstrName, L"pos") == 0) {
        RECT rcPos = ReadRect(pstrValue);
        SIZE szXY = {rcPos.left, rcPos.top};
        SetFixedXY(szXY);
        SetFixedWidth(rcPos.right - rcPos.left);
        SetFixedHeight(rcPos.bottom - rcPos.top);
    } else if (wcscmp(pstrName, L"padding") == 0) {
        SetPadding(ReadRect(pstrValue));
    } else if (wcscmp(pstrName, L"bkcolor") == 0 || wcscmp(pstrName, L"bkcolor1") == 0) {
        SetBkColor(ReadColor(pstrValue, true));
    } else if (wcscmp(pstrName, L"bkcolor2") == 0) {
        SetBkColor2(ReadColor(pstrValue, true));
    } else if (wcscmp(pstrName, L"bkcolor3") == 0) {
        SetBkColor3(ReadColor(pstrValue, true));
    } else if (wcscmp(pstrName, L"bordercolor") == 0) {
        SetBorderColor(ReadColor(pstrValue, false));
    } else if (wcscmp(pstrName, L"focusbordercolor") == 0) {
        SetFocusBorderColor(ReadColor(pstrValue, false));
    } else if (wcscmp(pstrName, L"colorhsl") == 0) {
        SetColorHSL(IsTrue(pstrValue));
    } else if (wcscmp(pstrName, L"bordersize") == 0) {
        if (wcschr(pstrValue, L',') == NULL)
            SetBorderSize((int)wcstol(pstrValue, NULL, 10));
        else
            SetBorderSize(ReadRect(pstrValue));
    } else if (wcscmp(pstrName, L"borderstyle") == 0) {
        SetBorderStyle(_wtoi(pstrValue));
    } else if (wcscmp(pstrName, L"borderround") == 0) {
        const wchar_t* p = pstrValue;
        SIZE cxyRound;
        cxyRound.cx = ReadInt(p);
        cxyRound.cy = ReadInt(p);
        SetBorderRound(cxyRound);
    } else if (wcscmp(pstrName, L"bkimage") == 0) {
        SetBkImage(pstrValue);
    } else if (wcscmp(pstrName, L"width") == 0) {
        SetFixedWidth(_wtoi(pstrValue));
    } else if (wcscmp(pstrName, L"height") == 0) {
        SetFixedHeight(_wtoi(pstrValue));
    } else if (wcscmp(pstrName, L"minwidth") == 0) {
        SetMinWidth(_wtoi(pstrValue));
    } else if (wcscmp(pstrName, L"minheight") == 0) {
        SetMinHeight(_wtoi(pstrValue));
    } else if (wcscmp(pstrName, L"maxwidth") == 0) {
        SetMaxWidth(_wtoi(pstrValue));
    } else if (wcscmp(pstrName, L"maxheight") == 0) {
        SetMaxHeight(_wtoi(pstrValue));
    } else if (wcscmp(pstrName, L"name") == 0) {
        SetName(pstrValue);
    } else if (wcscmp(pstrName, L"text") == 0) {
        SetText(pstrValue);
    } else if (wcscmp(pstrName, L"tooltip") == 0) {
        SetToolTip(pstrValue);
    } else if (wcscmp(pstrName, L"userdata") == 0) {
        SetUserData(pstrValue);
    } else if (wcscmp(pstrName, L"tag") == 0) {
        SetTag((UINT)_wtoi(pstrValue));
    } else if (wcscmp(pstrName, L"enabled") == 0) {
        SetEnabled(IsTrue(pstrValue));
    } else if (wcscmp(pstrName, L"mouse") == 0) {
        SetMouseEnabled(IsTrue(pstrValue));
    } else if (wcscmp(pstrName, L"keyboard") == 0) {
        SetKeyboardEnabled(IsTrue(pstrValue));
    } else if (wcscmp(pstrName, L"visible") == 0) {
        SetVisible(IsTrue(pstrValue));
    } else if (wcscmp(pstrName, L"float") == 0) {
        if (wcschr(pstrValue, L',') == NULL) {
            SetFloat(IsTrue(pstrValue));
        } else {
            const wchar_t* p = pstrValue;
            TPercentInfo piFloatPercent;
            piFloatPercent.left = ReadDouble(p);
            piFloatPercent.top = ReadDouble(p);
            piFloatPercent.right = ReadDouble(p);
            piFloatPercent.bottom = ReadDouble(p);
            SetFloatPercent(piFloatPercent);
            SetFloat(true);
        }
    } else if (wcscmp(pstrName, L"shortcut") == 0) {
        SetShortcut(pstrValue[0]);
    } else if (wcscmp(pstrName, L"menu") == 0) {
        SetContextMenuUsed(IsTrue(pstrValue));
    } else if (wcscmp(pstrName, L"virtualwnd") == 0) {
        SetVirtualWnd(pstrValue);
    } else {
        AddCustomAttribute(pstrName, pstrValue);
    }
}

CUIString CControlUI::GetAttributeList(bool bIgnoreDefault)
{
    return CUIString();
}

void CControlUI::SetAttributeList(const wchar_t* pstrList)
{
    if (pstrList == NULL)
        return;
    CUIString sItem;
    CUIString sValue;
    const wchar_t* p = pstrList;
    while (*p != L'\0') {
        const wchar_t* pName = p;
        while (*p != L'\0' && *p != L'=')
            ++p;
        if (*p != L'=')
            return;
        sItem.Assign(pName, (int)(p - pName));
        ++p;
        if (*p != L'"')
            return;
        ++p;
        const wchar_t* pValue = p;
        while (*p != L'\0' && *p != L'"')
            ++p;
        if (*p != L'"')
            return;  // unclosed quote
        sValue.Assign(pValue, (int)(p - pValue));
        ++p;
        SetAttribute(sItem, sValue);
        if (*p != L' ')
            return;
        ++p;
    }
}

SIZE CControlUI::EstimateSize(SIZE szAvailable)
{
    return m_cxyFixed;
}

bool CControlUI::Paint(HDC hDC, const RECT& rcPaint, CControlUI* pStopControl)
{
    if (pStopControl == this)
        return false;
    if (!::IntersectRect(&m_rcPaint, &rcPaint, &m_rcItem))
        return true;
    if (OnPaint) {
        if (!OnPaint(this))
            return true;
    }
    if (!DoPaint(hDC, rcPaint, pStopControl))
        return false;
    if (m_pCover != NULL)
        return m_pCover->Paint(hDC, rcPaint, NULL);
    return true;
}

bool CControlUI::DoPaint(HDC hDC, const RECT& rcPaint, CControlUI* pStopControl)
{
    if (m_cxyBorderRound.cx < 1 && m_cxyBorderRound.cy < 1) {
        PaintBkColor(hDC);
        PaintBkImage(hDC);
        PaintStatusImage(hDC);
        PaintText(hDC);
        PaintBorder(hDC);
    } else {
        CUIClipRegion roundClip;
        CUIClipRegion::ClipRoundRect(hDC, m_rcPaint, m_rcItem, m_cxyBorderRound.cx, m_cxyBorderRound.cy, roundClip);
        PaintBkColor(hDC);
        PaintBkImage(hDC);
        PaintStatusImage(hDC);
        PaintText(hDC);
        PaintBorder(hDC);
    }
    return true;
}

void CControlUI::PaintBkColor(HDC hDC)
{
    if (m_dwBackColor == 0)
        return;
    if (m_dwBackColor2 != 0) {
        if (m_dwBackColor3 != 0) {
            RECT rc = m_rcItem;
            rc.bottom = (rc.bottom + rc.top) / 2;
            CUIPainter::DrawGradient(hDC, rc, GetHslAdjustedColor(m_dwBackColor), GetHslAdjustedColor(m_dwBackColor2),
                                     true, 8);
            rc.top = rc.bottom;
            rc.bottom = m_rcItem.bottom;
            CUIPainter::DrawGradient(hDC, rc, GetHslAdjustedColor(m_dwBackColor2), GetHslAdjustedColor(m_dwBackColor3),
                                     true, 8);
        } else {
            CUIPainter::DrawGradient(hDC, m_rcItem, GetHslAdjustedColor(m_dwBackColor),
                                     GetHslAdjustedColor(m_dwBackColor2), true, 16);
        }
    } else if (m_dwBackColor >= 0xFF000000) {
        CUIPainter::DrawColor(hDC, m_rcPaint, GetHslAdjustedColor(m_dwBackColor));
    } else {
        CUIPainter::DrawColor(hDC, m_rcItem, GetHslAdjustedColor(m_dwBackColor));
    }
}

void CControlUI::PaintBkImage(HDC hDC)
{
    DrawImage(hDC, m_diBk);
}

void CControlUI::PaintStatusImage(HDC hDC)
{
}

void CControlUI::PaintText(HDC hDC)
{
}

void CControlUI::PaintBorder(HDC hDC)
{
    if (m_rcBorderSize.left < 1 && m_rcBorderSize.top < 1 && m_rcBorderSize.right < 1 && m_rcBorderSize.bottom < 1)
        return;
    if (m_dwBorderColor == 0 && m_dwFocusBorderColor == 0)
        return;
    DWORD dwColor = GetHslAdjustedColor(IsFocused() && m_dwFocusBorderColor != 0 ? m_dwFocusBorderColor
                                                                                   : m_dwBorderColor);
    if (m_cxyBorderRound.cx < 1 && m_cxyBorderRound.cy < 1) {
        const RECT& bs = m_rcBorderSize;
        if (bs.left == bs.top && bs.left == bs.right && bs.left == bs.bottom) {
            CUIPainter::DrawRect(hDC, m_rcItem, bs.left, dwColor, m_nBorderStyle);
            return;
        }
        RECT rcBorder;
        if (bs.left > 0) {
            rcBorder = m_rcItem;
            rcBorder.left += bs.left / 2;
            rcBorder.right = rcBorder.left;
            CUIPainter::DrawLine(hDC, rcBorder, bs.left, dwColor, m_nBorderStyle);
        }
        if (bs.top > 0) {
            rcBorder = m_rcItem;
            rcBorder.top += bs.top / 2;
            rcBorder.bottom = rcBorder.top;
            rcBorder.left += bs.left;
            rcBorder.right -= bs.right;
            CUIPainter::DrawLine(hDC, rcBorder, bs.top, dwColor, m_nBorderStyle);
        }
        if (bs.right > 0) {
            rcBorder = m_rcItem;
            rcBorder.right -= bs.right / 2;
            if (bs.right % 2 != 0)
                rcBorder.right -= 1;
            rcBorder.left = rcBorder.right;
            CUIPainter::DrawLine(hDC, rcBorder, bs.right, dwColor, m_nBorderStyle);
        }
        if (bs.bottom > 0) {
            rcBorder = m_rcItem;
            rcBorder.bottom -= bs.bottom / 2;
            if (bs.bottom % 2 != 0)
                rcBorder.bottom -= 1;
            rcBorder.top = rcBorder.bottom;
            rcBorder.left += bs.left;
            rcBorder.right -= bs.right;
            CUIPainter::DrawLine(hDC, rcBorder, bs.bottom, dwColor, m_nBorderStyle);
        }
    } else {
        CUIPainter::DrawRoundRect(hDC, m_rcItem, m_rcBorderSize.left, m_cxyBorderRound.cx, m_cxyBorderRound.cy,
                                  dwColor, m_nBorderStyle);
    }
}

void CControlUI::DoPostPaint(HDC hDC, const RECT& rcPaint)
{
    if (OnPostPaint)
        OnPostPaint(this);
}

void CControlUI::SetBkColor(DWORD dwBackColor)
{
    if (m_dwBackColor == dwBackColor)
        return;
    m_dwBackColor = dwBackColor;
    Invalidate();
}

void CControlUI::SetBkColor2(DWORD dwBackColor)
{
    if (m_dwBackColor2 == dwBackColor)
        return;
    m_dwBackColor2 = dwBackColor;
    Invalidate();
}

void CControlUI::SetBkColor3(DWORD dwBackColor)
{
    if (m_dwBackColor3 == dwBackColor)
        return;
    m_dwBackColor3 = dwBackColor;
    Invalidate();
}

void CControlUI::SetBorderColor(DWORD dwBorderColor)
{
    if (m_dwBorderColor == dwBorderColor)
        return;
    m_dwBorderColor = dwBorderColor;
    Invalidate();
}

void CControlUI::SetFocusBorderColor(DWORD dwBorderColor)
{
    if (m_dwFocusBorderColor == dwBorderColor)
        return;
    m_dwFocusBorderColor = dwBorderColor;
    Invalidate();
}

void CControlUI::SetColorHSL(bool bColorHSL)
{
    if (m_bColorHSL == bColorHSL)
        return;
    m_bColorHSL = bColorHSL;
    Invalidate();
}

void CControlUI::SetBorderSize(RECT rc)
{
    m_rcBorderSize = rc;
    Invalidate();
}

void CControlUI::SetBorderSize(int iSize)
{
    m_rcBorderSize.left = m_rcBorderSize.top = m_rcBorderSize.right = m_rcBorderSize.bottom = iSize;
    Invalidate();
}

void CControlUI::SetBorderRound(SIZE cxyRound)
{
    m_cxyBorderRound = cxyRound;
    Invalidate();
}

void CControlUI::SetBorderStyle(int nStyle)
{
    m_nBorderStyle = nStyle;
    Invalidate();
}

void CControlUI::SetBkImage(const wchar_t* pStrImage)
{
    if (m_diBk.sDescription == pStrImage && m_diBk.pImage != NULL)
        return;
    m_diBk.Clear();
    m_diBk.sDescription = pStrImage;
    DrawImage(NULL, m_diBk);
    if (m_bFloat && m_cxyFixed.cx == 0 && m_cxyFixed.cy == 0 && m_diBk.pImage != NULL) {
        m_cxyFixed.cx = m_diBk.pImage->nWidth;
        m_cxyFixed.cy = m_diBk.pImage->nHeight;
    }
    Invalidate();
}

bool CControlUI::DrawImage(HDC hDC, TImageDesc& desc)
{
    return CUIPainter::DrawImage(hDC, m_pManager, m_rcItem, m_rcPaint, desc);
}

DWORD CControlUI::GetHslAdjustedColor(DWORD dwColor)
{
    if (!m_bColorHSL)
        return dwColor;
    short H, S, L;
    CPaintManagerUI::GetHSL(&H, &S, &L);
    return CUIPainter::AdjustColor(dwColor, H, S, L);
}

void CControlUI::Invalidate()
{
    if (!IsVisible())
        return;
    RECT invalidateRc = m_rcItem;
    for (CControlUI* pParent = m_pParent; pParent != NULL; pParent = pParent->GetParent()) {
        RECT rcTemp = invalidateRc;
        RECT rcParent = pParent->GetPos();
        if (!::IntersectRect(&invalidateRc, &rcTemp, &rcParent))
            return;
    }
    if (m_pManager != NULL)
        m_pManager->Invalidate(invalidateRc);
}

bool CControlUI::IsUpdateNeeded() const
{
    return m_bUpdateNeeded;
}

void CControlUI::NeedUpdate()
{
    if (!IsVisible())
        return;
    m_bUpdateNeeded = true;
    Invalidate();
    if (m_pManager != NULL)
        m_pManager->NeedUpdate();
}

void CControlUI::NeedParentUpdate()
{
    if (m_pParent != NULL) {
        m_pParent->NeedUpdate();
        m_pParent->Invalidate();
    } else {
        NeedUpdate();
    }
    if (m_pManager != NULL)
        m_pManager->NeedUpdate();
}

void CControlUI::SetVirtualWnd(const wchar_t* pstrValue)
{
    m_sVirtualWnd = pstrValue;
    if (m_pManager != NULL)
        m_pManager->SetVirtualWndUsed(true);
}

CUIString CControlUI::GetVirtualWnd() const
{
    if (!m_sVirtualWnd.IsEmpty())
        return m_sVirtualWnd;
    if (m_pParent != NULL)
        return m_pParent->GetVirtualWnd();
    return CUIString();
}

void CControlUI::AddCustomAttribute(const wchar_t* pstrName, const wchar_t* pstrAttr)
{
    if (pstrName == NULL || pstrName[0] == L'\0' || pstrAttr == NULL || pstrAttr[0] == L'\0')
        return;
    CUIString* pCostomAttr = new CUIString(pstrAttr);
    if (!m_mCustomAttrHash.Insert(pstrName, pCostomAttr))
        delete pCostomAttr;
}

void CControlUI::ClearCustomAttributes()
{
    for (int i = 0; i < m_mCustomAttrHash.GetSize(); i++) {
        const wchar_t* key = m_mCustomAttrHash.GetAt(i);
        if (key != NULL)
            delete static_cast<CUIString*>(m_mCustomAttrHash.Find(key, false));
    }
    m_mCustomAttrHash.Resize(83);
}

} // namespace Veneer
