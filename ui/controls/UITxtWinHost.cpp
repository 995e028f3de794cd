#include "UITxtWinHost.h"
#include "UIRichEdit.h"
#include "UIScrollBar.h"

#include <string.h>

namespace Veneer {

const IID kIID_ITextServices = {0x8d33f740, 0xcf58, 0x11ce, {0xa8, 0x9d, 0x00, 0xaa, 0x00, 0x6c, 0xad, 0xc5}};
const IID kIID_ITextHost = {0x13e670f4, 0x1a5a, 0x11cf, {0xab, 0xeb, 0x00, 0xaa, 0x00, 0xb6, 0x5e, 0xa1}};

namespace {

const LONG kDefaultMaxLength = 32767;
const LONG kHimetricPerInch = 2540;
const LONG kTwipsPerInch = 1440;

// 0xAARRGGBB to the engine's 0x00BBGGRR.
COLORREF ToColorRef(DWORD argb)
{
    return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

// The engine's entry point, looked up once: the library stays loaded for the process.
PCreateTextServices TextServicesFactory()
{
    static HMODULE hModule = NULL;
    static PCreateTextServices pfn = NULL;
    if (pfn == NULL) {
        if (hModule == NULL)
            hModule = ::LoadLibraryW(L"msftedit.dll");
        if (hModule != NULL)
            pfn = reinterpret_cast<PCreateTextServices>(
                reinterpret_cast<void*>(::GetProcAddress(hModule, "CreateTextServices")));
    }
    return pfn;
}

} // namespace

CTxtWinHost::CTxtWinHost()
    : m_re(NULL), m_cRefs(0), m_pServ(NULL), m_dwStyle(0), m_fEnableAutoWordSel(false), m_fWordWrap(false),
      m_fAllowBeep(false), m_fRich(false), m_fSaveSelection(false), m_fInplaceActive(false),
      m_fTransparent(false), m_fTimer(false), m_fCaptured(false), m_fShowCaret(false), m_fNeedFreshCaret(false),
      m_iCaretWidth(0), m_iCaretHeight(0), m_iCaretLastWidth(0), m_iCaretLastHeight(0), m_lSelBarWidth(0),
      m_cchTextMost(kDefaultMaxLength), m_laccelpos(-1), m_chPasswordChar(0)
{
    ::ZeroMemory(&m_rcClient, sizeof(m_rcClient));
    ::ZeroMemory(&m_sizelExtent, sizeof(m_sizelExtent));
    ::ZeroMemory(&m_cf, sizeof(m_cf));
    ::ZeroMemory(&m_pf, sizeof(m_pf));
}

CTxtWinHost::~CTxtWinHost()
{
    if (m_pServ != NULL) {
        m_pServ->OnTxInPlaceDeactivate();
        m_pServ->Release();
        m_pServ = NULL;
    }
}

HWND CTxtWinHost::PaintWindow() const
{
    CPaintManagerUI* pm = m_re != NULL ? m_re->GetManager() : NULL;
    return pm != NULL ? pm->GetPaintWindow() : NULL;
}

void CTxtWinHost::FontToCharFormat(HFONT hFont)
{
    LOGFONTW lf;
    ::ZeroMemory(&lf, sizeof(lf));
    if (hFont == NULL || ::GetObjectW(hFont, sizeof(LOGFONTW), &lf) == 0)
        return;
    CPaintManagerUI* pm = m_re->GetManager();
    LONG yPixPerInch = ::GetDeviceCaps(pm->GetPaintDC(), LOGPIXELSY);
    if (yPixPerInch <= 0)
        yPixPerInch = 96;
    m_cf.yHeight = -lf.lfHeight * kTwipsPerInch / yPixPerInch;
    m_cf.dwEffects &= ~(CFE_BOLD | CFE_ITALIC | CFE_UNDERLINE);
    if (lf.lfWeight >= FW_BOLD)
        m_cf.dwEffects |= CFE_BOLD;
    if (lf.lfItalic)
        m_cf.dwEffects |= CFE_ITALIC;
    if (lf.lfUnderline)
        m_cf.dwEffects |= CFE_UNDERLINE;
    m_cf.bCharSet = lf.lfCharSet;
    m_cf.bPitchAndFamily = lf.lfPitchAndFamily;
    wcsncpy(m_cf.szFaceName, lf.lfFaceName, LF_FACESIZE - 1);
    m_cf.szFaceName[LF_FACESIZE - 1] = L'\0';
}

bool CTxtWinHost::Init(CRichEditUI* re, const CREATESTRUCTW* pcs)
{
    m_re = re;
    m_cRefs = 1;
    if (re == NULL || re->GetManager() == NULL)
        return false;

    // Default character format: the owner's font and text colour.
    ::ZeroMemory(&m_cf, sizeof(m_cf));
    m_cf.cbSize = sizeof(CHARFORMAT2W);
    m_cf.dwMask = CFM_SIZE | CFM_OFFSET | CFM_FACE | CFM_CHARSET | CFM_COLOR | CFM_BOLD | CFM_ITALIC | CFM_UNDERLINE;
    m_cf.yOffset = 0;
    FontToCharFormat(re->GetManager()->GetFont(re->m_iFont));
    m_cf.crTextColor = ToColorRef(re->m_dwTextColor);

    // Default paragraph format: left-aligned, one tab stop at half an inch.
    ::ZeroMemory(&m_pf, sizeof(m_pf));
    m_pf.cbSize = sizeof(PARAFORMAT2);
    m_pf.dwMask = PFM_ALL;
    m_pf.wAlignment = PFA_LEFT;
    m_pf.cTabCount = 1;
    m_pf.rgxTabs[0] = 720;

    m_fRich = re->m_bRich;
    m_cchTextMost = re->m_iLimitText;  // as it is: only LimitText corrects values below 1

    if (pcs != NULL) {
        m_dwStyle = (DWORD)pcs->style;
        m_fWordWrap = (m_dwStyle & (ES_AUTOHSCROLL | WS_HSCROLL)) == 0;
        if (m_dwStyle & ES_CENTER)
            m_pf.wAlignment = PFA_CENTER;
        else if (m_dwStyle & ES_RIGHT)
            m_pf.wAlignment = PFA_RIGHT;
        // A password shows as '*': with no character the engine would draw it in clear.
        if (m_dwStyle & ES_PASSWORD)
            m_chPasswordChar = L'*';
    }

    m_fInplaceActive = true;

    PCreateTextServices pfnCreate = TextServicesFactory();
    if (pfnCreate == NULL)
        return false;
    IUnknown* pUnk = NULL;
    if (FAILED(pfnCreate(NULL, this, &pUnk)) || pUnk == NULL)
        return false;
    HRESULT hr = pUnk->QueryInterface(kIID_ITextServices, reinterpret_cast<void**>(&m_pServ));
    pUnk->Release();
    if (FAILED(hr) || m_pServ == NULL) {
        m_pServ = NULL;
        return false;
    }

    if (pcs != NULL && pcs->lpszName != NULL) {
        if (FAILED(m_pServ->TxSetText(pcs->lpszName)))
            return false;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// IUnknown

HRESULT STDMETHODCALLTYPE CTxtWinHost::QueryInterface(REFIID riid, void** ppvObject)
{
    if (ppvObject == NULL)
        return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, kIID_ITextHost)) {
        AddRef();
        *ppvObject = static_cast<ITextHost*>(this);
        return S_OK;
    }
    *ppvObject = NULL;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CTxtWinHost::AddRef()
{
    return ++m_cRefs;
}

ULONG STDMETHODCALLTYPE CTxtWinHost::Release()
{
    ULONG c = --m_cRefs;
    if (c == 0)
        delete this;
    return c;
}

// ---------------------------------------------------------------------------------------------
// ITextHost

HDC CTxtWinHost::TxGetDC()
{
    return m_re->GetManager()->GetPaintDC();
}

INT CTxtWinHost::TxReleaseDC(HDC hdc)
{
    return 1;
}

BOOL CTxtWinHost::TxShowScrollBar(INT fnBar, BOOL fShow)
{
    CScrollBarUI* pV = m_re->GetVerticalScrollBar();
    CScrollBarUI* pH = m_re->GetHorizontalScrollBar();
    const bool bShow = fShow == 1;
    if ((fnBar == SB_VERT || fnBar == SB_BOTH) && pV != NULL)
        pV->SetVisible(bShow);
    if ((fnBar == SB_HORZ || fnBar == SB_BOTH) && pH != NULL)
        pH->SetVisible(bShow);
    return TRUE;
}

BOOL CTxtWinHost::TxEnableScrollBar(INT fuSBFlags, INT fuArrowflags)
{
    const bool bShow = fuArrowflags != ESB_DISABLE_BOTH;
    if (fuSBFlags == SB_VERT) {
        m_re->EnableScrollBar(true, m_re->GetHorizontalScrollBar() != NULL);
        m_re->GetVerticalScrollBar()->SetVisible(bShow);
    } else if (fuSBFlags == SB_HORZ) {
        m_re->EnableScrollBar(m_re->GetVerticalScrollBar() != NULL, true);
        m_re->GetHorizontalScrollBar()->SetVisible(bShow);
    } else if (fuSBFlags == SB_BOTH) {
        m_re->EnableScrollBar(true, true);
        m_re->GetVerticalScrollBar()->SetVisible(bShow);
        m_re->GetHorizontalScrollBar()->SetVisible(bShow);
    }
    return TRUE;
}

BOOL CTxtWinHost::TxSetScrollRange(INT fnBar, LONG nMinPos, INT nMaxPos, BOOL fRedraw)
{
    CScrollBarUI* pV = m_re->GetVerticalScrollBar();
    CScrollBarUI* pH = m_re->GetHorizontalScrollBar();
    if (fnBar == SB_VERT && pV != NULL) {
        const LONG range = nMaxPos - nMinPos - (m_rcClient.bottom - m_rcClient.top);
        if (range <= 0) {
            pV->SetVisible(false);
        } else {
            pV->SetVisible(true);
            pV->SetScrollRange(range);
        }
    } else if (fnBar == SB_HORZ && pH != NULL) {
        const LONG range = nMaxPos - nMinPos - (m_rcClient.right - m_rcClient.left);
        if (range <= 0) {
            pH->SetVisible(false);
        } else {
            pH->SetVisible(true);
            pH->SetScrollRange(range);
        }
    }
    return TRUE;
}

BOOL CTxtWinHost::TxSetScrollPos(INT fnBar, INT nPos, BOOL fRedraw)
{
    CScrollBarUI* pV = m_re->GetVerticalScrollBar();
    CScrollBarUI* pH = m_re->GetHorizontalScrollBar();
    if (fnBar == SB_VERT && pV != NULL)
        pV->SetScrollPos(nPos);
    else if (fnBar == SB_HORZ && pH != NULL)
        pH->SetScrollPos(nPos);
    return TRUE;
}

void CTxtWinHost::TxInvalidateRect(LPCRECT prc, BOOL fMode)
{
    RECT rc = prc != NULL ? *prc : m_rcClient;
    m_re->GetManager()->Invalidate(rc);
}

void CTxtWinHost::TxViewChange(BOOL fUpdate)
{
    if (m_re->OnTxViewChanged())
        m_re->Invalidate();
}

BOOL CTxtWinHost::TxCreateCaret(HBITMAP hbmp, INT xWidth, INT yHeight)
{
    // A width of 0 asks the system for its border width (Wine's engine passes 0): the caret that
    // the control paints and invalidates in layered windows must not be empty.
    m_iCaretWidth = xWidth > 0 ? xWidth : ::GetSystemMetrics(SM_CXBORDER);
    m_iCaretHeight = yHeight;
    return ::CreateCaret(PaintWindow(), hbmp, xWidth, yHeight);
}

BOOL CTxtWinHost::TxShowCaret(BOOL fShow)
{
    m_fShowCaret = fShow != FALSE;
    if (fShow)
        return ::ShowCaret(PaintWindow());
    return ::HideCaret(PaintWindow());
}

BOOL CTxtWinHost::TxSetCaretPos(INT x, INT y)
{
    CPaintManagerUI* pm = m_re->GetManager();
    const bool bLayered = pm->IsLayered();
    POINT ptOld = {0, 0};
    ::GetCaretPos(&ptOld);
    if (bLayered || m_fNeedFreshCaret) {
        RECT rcOld = {ptOld.x, ptOld.y, ptOld.x + m_iCaretLastWidth, ptOld.y + m_iCaretLastHeight};
        pm->Invalidate(rcOld);
        m_fNeedFreshCaret = false;
    }
    if (bLayered) {
        RECT rcNew = {x, y, x + m_iCaretWidth, y + m_iCaretHeight};
        pm->Invalidate(rcNew);
    }
    m_iCaretLastWidth = m_iCaretWidth;
    m_iCaretLastHeight = m_iCaretHeight;
    return ::SetCaretPos(x, y);
}

BOOL CTxtWinHost::TxSetTimer(UINT idTimer, UINT uTimeout)
{
    m_fTimer = true;
    return m_re->GetManager()->SetTimer(m_re, idTimer, uTimeout) ? TRUE : FALSE;
}

void CTxtWinHost::TxKillTimer(UINT idTimer)
{
    m_re->GetManager()->KillTimer(m_re, idTimer);
    m_fTimer = false;
}

void CTxtWinHost::TxScrollWindowEx(INT dx, INT dy, LPCRECT lprcScroll, LPCRECT lprcClip, HRGN hrgnUpdate,
                                   LPRECT lprcUpdate, UINT fuScroll)
{
}

void CTxtWinHost::TxSetCapture(BOOL fCapture)
{
    if (fCapture)
        m_re->GetManager()->SetCapture();
    else
        m_re->GetManager()->ReleaseCapture();
    m_fCaptured = fCapture != FALSE;
}

void CTxtWinHost::TxSetFocus()
{
    m_re->SetFocus();
}

void CTxtWinHost::TxSetCursor(HCURSOR hcur, BOOL fText)
{
    ::SetCursor(hcur);
}

BOOL CTxtWinHost::TxScreenToClient(LPPOINT lppt)
{
    return ::ScreenToClient(PaintWindow(), lppt);
}

BOOL CTxtWinHost::TxClientToScreen(LPPOINT lppt)
{
    return ::ClientToScreen(PaintWindow(), lppt);
}

HRESULT CTxtWinHost::TxActivate(LONG* plOldState)
{
    return S_OK;
}

HRESULT CTxtWinHost::TxDeactivate(LONG lNewState)
{
    return S_OK;
}

HRESULT CTxtWinHost::TxGetClientRect(LPRECT prc)
{
    *prc = m_rcClient;
    return S_OK;
}

HRESULT CTxtWinHost::TxGetViewInset(LPRECT prc)
{
    prc->left = prc->top = prc->right = prc->bottom = 0;
    return S_OK;
}

HRESULT CTxtWinHost::TxGetCharFormat(const CHARFORMATW** ppCF)
{
    *ppCF = reinterpret_cast<const CHARFORMATW*>(&m_cf);
    return S_OK;
}

HRESULT CTxtWinHost::TxGetParaFormat(const PARAFORMAT** ppPF)
{
    *ppPF = reinterpret_cast<const PARAFORMAT*>(&m_pf);
    return S_OK;
}

COLORREF CTxtWinHost::TxGetSysColor(int nIndex)
{
    return ::GetSysColor(nIndex);
}

HRESULT CTxtWinHost::TxGetBackStyle(TXTBACKSTYLE* pstyle)
{
    *pstyle = m_fTransparent ? TXTBACK_TRANSPARENT : TXTBACK_OPAQUE;
    return S_OK;
}

HRESULT CTxtWinHost::TxGetMaxLength(DWORD* plength)
{
    *plength = (DWORD)m_cchTextMost;
    return S_OK;
}

HRESULT CTxtWinHost::TxGetScrollBars(DWORD* pdwScrollBar)
{
    *pdwScrollBar = m_dwStyle & (WS_VSCROLL | WS_HSCROLL | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_DISABLENOSCROLL);
    return S_OK;
}

HRESULT CTxtWinHost::TxGetPasswordChar(TCHAR* pch)
{
    *pch = m_chPasswordChar;
    return S_OK;
}

HRESULT CTxtWinHost::TxGetAcceleratorPos(LONG* pcp)
{
    *pcp = m_laccelpos;
    return S_OK;
}

HRESULT CTxtWinHost::TxGetExtent(LPSIZEL lpExtent)
{
    *lpExtent = m_sizelExtent;
    return S_OK;
}

HRESULT CTxtWinHost::OnTxCharFormatChange(const CHARFORMATW* pcf)
{
    return S_OK;
}

HRESULT CTxtWinHost::OnTxParaFormatChange(const PARAFORMAT* ppf)
{
    return S_OK;
}

HRESULT CTxtWinHost::TxGetPropertyBits(DWORD dwMask, DWORD* pdwBits)
{
    DWORD dwProperties = 0;
    if (m_fRich)
        dwProperties |= TXTBIT_RICHTEXT;
    if (m_dwStyle & ES_MULTILINE)
        dwProperties |= TXTBIT_MULTILINE;
    if (m_dwStyle & ES_READONLY)
        dwProperties |= TXTBIT_READONLY;
    if (m_dwStyle & ES_PASSWORD)
        dwProperties |= TXTBIT_USEPASSWORD;
    if (!(m_dwStyle & ES_NOHIDESEL))
        dwProperties |= TXTBIT_HIDESELECTION;
    if (m_fEnableAutoWordSel)
        dwProperties |= TXTBIT_AUTOWORDSEL;
    if (m_fWordWrap)
        dwProperties |= TXTBIT_WORDWRAP;
    if (m_fAllowBeep)
        dwProperties |= TXTBIT_ALLOWBEEP;
    if (m_fSaveSelection)
        dwProperties |= TXTBIT_SAVESELECTION;
    *pdwBits = dwProperties & dwMask;
    return S_OK;
}

HRESULT CTxtWinHost::TxNotify(DWORD iNotify, void* pv)
{
    if (iNotify == EN_REQUESTRESIZE) {
        const REQRESIZE* pReq = static_cast<const REQRESIZE*>(pv);
        if (pReq != NULL) {
            RECT rc = m_rcClient;
            rc.right = rc.left + pReq->rc.right;
            rc.bottom = rc.top + pReq->rc.bottom;
            SetClientRect(&rc);
        }
        return S_OK;
    }
    m_re->OnTxNotify(iNotify, pv);
    return S_OK;
}

HIMC CTxtWinHost::TxImmGetContext()
{
    return NULL;
}

void CTxtWinHost::TxImmReleaseContext(HIMC himc)
{
}

HRESULT CTxtWinHost::TxGetSelectionBarWidth(LONG* lSelBarWidth)
{
    *lSelBarWidth = m_lSelBarWidth;
    return S_OK;
}

// ---------------------------------------------------------------------------------------------
// Host operations

void CTxtWinHost::PropertyChange(DWORD dwMask, DWORD dwBits)
{
    if (m_pServ != NULL)
        m_pServ->OnTxPropertyBitsChange(dwMask, dwBits);
}

void CTxtWinHost::GetControlRect(RECT* prc) const
{
    *prc = m_rcClient;
}

void CTxtWinHost::SetClientRect(RECT* prc)
{
    m_rcClient = *prc;
    HDC hdc = m_re->GetManager()->GetPaintDC();
    LONG xPerInch = ::GetDeviceCaps(hdc, LOGPIXELSX);
    LONG yPerInch = ::GetDeviceCaps(hdc, LOGPIXELSY);
    if (xPerInch <= 0) xPerInch = 96;
    if (yPerInch <= 0) yPerInch = 96;
    m_sizelExtent.cx = ::MulDiv(m_rcClient.right - m_rcClient.left, kHimetricPerInch, xPerInch);
    m_sizelExtent.cy = ::MulDiv(m_rcClient.bottom - m_rcClient.top, kHimetricPerInch, yPerInch);
    // Wine's engine reads the client rectangle again only for TXTBIT_CLIENTRECTCHANGE; without it the
    // text wraps at the width it had at creation (0: one character a line).
    const DWORD dwBits = TXTBIT_VIEWINSETCHANGE | TXTBIT_CLIENTRECTCHANGE;
    PropertyChange(dwBits, dwBits);
}

HRESULT CTxtWinHost::OnTxInPlaceActivate(LPCRECT prcClient)
{
    m_fInplaceActive = true;
    HRESULT hr = m_pServ->OnTxInPlaceActivate(prcClient);
    if (FAILED(hr))
        m_fInplaceActive = false;
    return hr;
}

bool CTxtWinHost::DoSetCursor(RECT* prc, POINT* pt)
{
    RECT rc = prc != NULL ? *prc : m_rcClient;
    if (!::PtInRect(&rc, *pt))
        return false;
    const RECT* prcClient = (!m_fInplaceActive || prc != NULL) ? &rc : NULL;
    m_pServ->OnTxSetCursor(DVASPECT_CONTENT, -1, NULL, NULL, m_re->GetManager()->GetPaintDC(), NULL, prcClient,
                           pt->x, pt->y);
    return true;
}

void CTxtWinHost::SetTransparent(bool fTransparent)
{
    m_fTransparent = fTransparent;
    PropertyChange(TXTBIT_BACKSTYLECHANGE, 0);
}

void CTxtWinHost::SetRichTextFlag(bool fNew)
{
    m_fRich = fNew;
    PropertyChange(TXTBIT_RICHTEXT, fNew ? TXTBIT_RICHTEXT : 0);
}

void CTxtWinHost::SetFont(HFONT hFont)
{
    if (hFont == NULL)
        return;
    FontToCharFormat(hFont);
    PropertyChange(TXTBIT_CHARFORMATCHANGE, TXTBIT_CHARFORMATCHANGE);
}

void CTxtWinHost::SetColor(DWORD dwColor)
{
    m_cf.crTextColor = ToColorRef(dwColor);
    PropertyChange(TXTBIT_CHARFORMATCHANGE, TXTBIT_CHARFORMATCHANGE);
}

void CTxtWinHost::LimitText(LONG nChars)
{
    m_cchTextMost = nChars < 1 ? kDefaultMaxLength : nChars;
    PropertyChange(TXTBIT_MAXLENGTHCHANGE, TXTBIT_MAXLENGTHCHANGE);
}

void CTxtWinHost::SetMultiLine(bool fMultiLine)
{
    if (fMultiLine)
        m_dwStyle |= ES_MULTILINE;
    else
        m_dwStyle &= ~ES_MULTILINE;
    PropertyChange(TXTBIT_MULTILINE, fMultiLine ? TXTBIT_MULTILINE : 0);
}

void CTxtWinHost::SetVScrollBar(bool fShow)
{
    if (fShow) {
        m_dwStyle |= WS_VSCROLL | ES_DISABLENOSCROLL;
    } else {
        m_dwStyle &= ~WS_VSCROLL;
        if (!(m_dwStyle & WS_HSCROLL))
            m_dwStyle &= ~ES_DISABLENOSCROLL;
    }
}

void CTxtWinHost::SetHScrollBar(bool fShow)
{
    if (fShow) {
        m_dwStyle |= WS_HSCROLL | ES_DISABLENOSCROLL;
    } else {
        m_dwStyle &= ~WS_HSCROLL;
        if (!(m_dwStyle & WS_VSCROLL))
            m_dwStyle &= ~ES_DISABLENOSCROLL;
    }
}

void CTxtWinHost::SetAutoVScroll(bool fAuto)
{
    if (fAuto)
        m_dwStyle |= ES_AUTOVSCROLL;
    else
        m_dwStyle &= ~ES_AUTOVSCROLL;
}

void CTxtWinHost::SetAutoHScroll(bool fAuto)
{
    if (fAuto)
        m_dwStyle |= ES_AUTOHSCROLL;
    else
        m_dwStyle &= ~ES_AUTOHSCROLL;
}

} // namespace Veneer
