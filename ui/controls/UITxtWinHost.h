// The text host of the rich edit: the half of the windowless text-services contract that the
// framework supplies. It answers the engine's questions (where to draw, fonts, colours, scroll bars,
// caret, timers, capture) in terms of its owning CRichEditUI, that control's paint manager and the
// control's scroll bars. The control owns one reference to the host; the host owns the engine's
// ITextServices (one reference) and never owns its control.
#pragma once
#include "UIDefs.h"
#include <ole2.h>
#include <imm.h>
#include <richedit.h>
#include <textserv.h>

namespace Veneer {

class CRichEditUI;

// The engine's interface ids. Not from the import libraries: there these names resolve to an import
// thunk rather than to the GUID (and the 32-bit toolchain has no such library at all).
extern const IID kIID_ITextServices;
extern const IID kIID_ITextHost;

// Both structures travel to the engine by pointer: their sizes are part of the contract.
static_assert(sizeof(CHARFORMAT2W) == 116, "CHARFORMAT2W must be 116 bytes");
static_assert(sizeof(PARAFORMAT2) == 188, "PARAFORMAT2 must be 188 bytes");

// Only QueryInterface, AddRef and Release are stdcall; every ITextHost method is a plain C++
// virtual (thiscall on 32-bit), as the platform's header declares them.
class CTxtWinHost : public ITextHost
{
public:
    CTxtWinHost();
    // Deactivates the engine in place and releases it. Runs when the count reaches 0.
    virtual ~CTxtWinHost();

    // Builds the default formats from the owner, creates the engine and sets the creation text.
    // False when the engine cannot be had or refuses the text.
    bool Init(CRichEditUI* re, const CREATESTRUCTW* pcs);

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // ITextHost
    HDC TxGetDC() override;
    INT TxReleaseDC(HDC hdc) override;
    BOOL TxShowScrollBar(INT fnBar, BOOL fShow) override;
    BOOL TxEnableScrollBar(INT fuSBFlags, INT fuArrowflags) override;
    BOOL TxSetScrollRange(INT fnBar, LONG nMinPos, INT nMaxPos, BOOL fRedraw) override;
    BOOL TxSetScrollPos(INT fnBar, INT nPos, BOOL fRedraw) override;
    void TxInvalidateRect(LPCRECT prc, BOOL fMode) override;
    void TxViewChange(BOOL fUpdate) override;
    BOOL TxCreateCaret(HBITMAP hbmp, INT xWidth, INT yHeight) override;
    BOOL TxShowCaret(BOOL fShow) override;
    BOOL TxSetCaretPos(INT x, INT y) override;
    BOOL TxSetTimer(UINT idTimer, UINT uTimeout) override;
    void TxKillTimer(UINT idTimer) override;
    void TxScrollWindowEx(INT dx, INT dy, LPCRECT lprcScroll, LPCRECT lprcClip, HRGN hrgnUpdate,
                          LPRECT lprcUpdate, UINT fuScroll) override;
    void TxSetCapture(BOOL fCapture) override;
    void TxSetFocus() override;
    void TxSetCursor(HCURSOR hcur, BOOL fText) override;
    BOOL TxScreenToClient(LPPOINT lppt) override;
    BOOL TxClientToScreen(LPPOINT lppt) override;
    HRESULT TxActivate(LONG* plOldState) override;
    HRESULT TxDeactivate(LONG lNewState) override;
    HRESULT TxGetClientRect(LPRECT prc) override;
    HRESULT TxGetViewInset(LPRECT prc) override;
    HRESULT TxGetCharFormat(const CHARFORMATW** ppCF) override;
    HRESULT TxGetParaFormat(const PARAFORMAT** ppPF) override;
    COLORREF TxGetSysColor(int nIndex) override;
    HRESULT TxGetBackStyle(TXTBACKSTYLE* pstyle) override;
    HRESULT TxGetMaxLength(DWORD* plength) override;
    HRESULT TxGetScrollBars(DWORD* pdwScrollBar) override;
    HRESULT TxGetPasswordChar(TCHAR* pch) override;
    HRESULT TxGetAcceleratorPos(LONG* pcp) override;
    HRESULT TxGetExtent(LPSIZEL lpExtent) override;
    HRESULT OnTxCharFormatChange(const CHARFORMATW* pcf) override;
    HRESULT OnTxParaFormatChange(const PARAFORMAT* ppf) override;
    HRESULT TxGetPropertyBits(DWORD dwMask, DWORD* pdwBits) override;
    HRESULT TxNotify(DWORD iNotify, void* pv) override;
    HIMC TxImmGetContext() override;
    void TxImmReleaseContext(HIMC himc) override;
    HRESULT TxGetSelectionBarWidth(LONG* lSelBarWidth) override;

    ITextServices* GetTextServices() const { return m_pServ; }
    void GetControlRect(RECT* prc) const;
    void SetClientRect(RECT* prc);
    HRESULT OnTxInPlaceActivate(LPCRECT prcClient);
    bool DoSetCursor(RECT* prc, POINT* pt);
    bool IsCaptured() const { return m_fCaptured; }
    bool IsShowCaret() const { return m_fShowCaret; }
    void NeedFreshCaret() { m_fNeedFreshCaret = true; }
    INT GetCaretWidth() const { return m_iCaretWidth; }
    INT GetCaretHeight() const { return m_iCaretHeight; }

    void SetTransparent(bool fTransparent);
    void SetRichTextFlag(bool fNew);
    void SetFont(HFONT hFont);
    void SetColor(DWORD dwColor);
    void LimitText(LONG nChars);
    void SetMultiLine(bool fMultiLine);
    void SetVScrollBar(bool fShow);
    void SetHScrollBar(bool fShow);
    void SetAutoVScroll(bool fAuto);
    void SetAutoHScroll(bool fAuto);

private:
    CTxtWinHost(const CTxtWinHost&) = delete;
    CTxtWinHost& operator=(const CTxtWinHost&) = delete;

    // Announces changed properties to the engine (when there is one).
    void PropertyChange(DWORD dwMask, DWORD dwBits);
    // Fills the default character format's font fields from a font.
    void FontToCharFormat(HFONT hFont);
    HWND PaintWindow() const;

    CRichEditUI* m_re;
    ULONG m_cRefs;
    ITextServices* m_pServ;
    DWORD m_dwStyle;

    bool m_fEnableAutoWordSel;
    bool m_fWordWrap;
    bool m_fAllowBeep;
    bool m_fRich;
    bool m_fSaveSelection;
    bool m_fInplaceActive;
    bool m_fTransparent;
    bool m_fTimer;
    bool m_fCaptured;
    bool m_fShowCaret;
    bool m_fNeedFreshCaret;

    INT m_iCaretWidth;
    INT m_iCaretHeight;
    INT m_iCaretLastWidth;
    INT m_iCaretLastHeight;
    LONG m_lSelBarWidth;
    LONG m_cchTextMost;
    RECT m_rcClient;
    SIZEL m_sizelExtent;
    CHARFORMAT2W m_cf;
    PARAFORMAT2 m_pf;
    LONG m_laccelpos;
    WCHAR m_chPasswordChar;
};

} // namespace Veneer
