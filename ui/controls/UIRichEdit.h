// Rich edit: a multi-line or single-line text editor without a window of its own. The editing
// engine is the platform's windowless text services ("msftedit.dll", loaded at run time); the
// control owns the text host (CTxtWinHost) that answers the engine, owns its two scroll bars as a
// container, and is a message filter of its paint manager so that the engine gets raw mouse, key
// and IME messages. Without the engine the control still paints its background and border and
// keeps its text.
#pragma once
#include "UIDefs.h"
#include "UIContainer.h"
#include "UIManager.h"

namespace Veneer {

class CTxtWinHost;

class VENEER_API CRichEditUI : public CContainerUI, public IMessageFilterUI
{
    friend class CTxtWinHost;   // reads the font, colour, richness and limit at creation

public:
    CRichEditUI();
    ~CRichEditUI() override;

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* pstrName) override;
    UINT GetControlFlags() const override;

    CUIString GetText() const override;
    void SetText(const wchar_t* pstrText) override;
    void SetPos(RECT rc, bool bNeedInvalidate = true) override;
    void Move(SIZE szOffset, bool bNeedInvalidate = true) override;
    void DoInit() override;
    void DoEvent(tagTEventUI& event) override;
    void SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue) override;
    SIZE EstimateSize(SIZE szAvailable) override;
    bool DoPaint(HDC hDC, const RECT& rcPaint, CControlUI* pStopControl) override;
    void PaintStatusImage(HDC hDC) override;
    void PaintText(HDC hDC) override;

    void SetScrollPos(SIZE szPos) override;
    void LineUp() override;
    void LineDown() override;
    void PageUp() override;
    void PageDown() override;
    void HomeUp() override;
    void EndDown() override;
    void LineLeft() override;
    void LineRight() override;
    void PageLeft() override;
    void PageRight() override;
    void HomeLeft() override;
    void EndRight() override;

    // New operations, after those of the container.
    // Sends one message to the engine; S_FALSE (and *plresult 0) without one.
    virtual HRESULT TxSendMessage(UINT msg, WPARAM wparam, LPARAM lparam, LRESULT* plresult) const;
    virtual bool OnTxViewChanged();
    virtual void OnTxNotify(DWORD iNotify, void* pv);

    // IMessageFilterUI: the engine's raw window messages.
    LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;

    bool IsWantTab() const;
    void SetWantTab(bool bWantTab = true);
    void SetWantReturn(bool bWantReturn = true);
    void SetWantCtrlReturn(bool bWantCtrlReturn = true);
    void SetTransparent(bool bTransparent = true);
    bool IsRich() const;
    void SetRich(bool bRich = true);
    void SetFont(int index);
    DWORD GetTextColor() const;
    void SetTextColor(DWORD dwTextColor);
    void SetLimitText(int iChars);
    long GetTextLength(DWORD dwFlags = 0) const;
    int SetSel(long nStartChar, long nEndChar);
    void ReplaceSel(const wchar_t* lpszNewText, bool bCanUndo);
    void SetTextPadding(RECT rc);
    void SetMultiLine(bool bMultiLine);
    void SetVScrollBar(bool bShow);
    void SetHScrollBar(bool bShow);
    void SetAutoVScroll(bool bAuto);
    void SetAutoHScroll(bool bAuto);

protected:
    // The host creation step of DoInit: keeps the host when Init succeeds.
    void CreateHost(const CREATESTRUCTW* pcs);
    // The text area's height the engine needs at a width, or -1 when it cannot tell.
    LONG NaturalHeight(LONG width) const;
    // The caret rectangle in window coordinates (from the system caret position and the host's size).
    RECT CaretRect() const;
    bool IsLayeredWindow() const;

    CTxtWinHost* m_pTwh;
    bool m_bVScrollBarFixing;
    bool m_bWantTab;
    bool m_bWantReturn;
    bool m_bWantCtrlReturn;
    bool m_bTransparent;
    bool m_bRich;
    DWORD m_dwTextColor;
    int m_iFont;
    int m_iLimitText;
    LONG m_lTwhStyle;
    bool m_bDrawCaret;
    bool m_bInited;
    RECT m_rcTextPadding;
};

} // namespace Veneer
