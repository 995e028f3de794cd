// The skinnable scroll bar: two end buttons, a proportional thumb and a grip inside its rectangle.
// A bar that belongs to a container never scrolls by itself: every user action goes to the owner's
// scroll operations, which move the content and set the bar's position.
#pragma once
#include "UIDefs.h"
#include "UIControl.h"

namespace Veneer {

class CContainerUI;

class VENEER_API CScrollBarUI : public CControlUI
{
public:
    CScrollBarUI();
    ~CScrollBarUI() override;

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* pstrName) override;

    CContainerUI* GetOwner() const;
    void SetOwner(CContainerUI* pOwner);

    bool IsHorizontal() const;
    void SetHorizontal(bool bHorizontal = true);
    int GetScrollRange() const;
    void SetScrollRange(int nRange);
    int GetScrollPos() const;
    void SetScrollPos(int nPos, bool bNotify = true);
    int GetLineSize() const;
    void SetLineSize(int nSize);
    int GetScrollUnit() const;
    void SetScrollUnit(int iUnit);

    bool GetShowButton1() const;
    void SetShowButton1(bool bShow);
    DWORD GetButton1Color() const;
    void SetButton1Color(DWORD dwColor);
    const wchar_t* GetButton1NormalImage() const;
    void SetButton1NormalImage(const wchar_t* pStrImage);
    const wchar_t* GetButton1HotImage() const;
    void SetButton1HotImage(const wchar_t* pStrImage);
    const wchar_t* GetButton1PushedImage() const;
    void SetButton1PushedImage(const wchar_t* pStrImage);
    const wchar_t* GetButton1DisabledImage() const;
    void SetButton1DisabledImage(const wchar_t* pStrImage);

    bool GetShowButton2() const;
    void SetShowButton2(bool bShow);
    DWORD GetButton2Color() const;
    void SetButton2Color(DWORD dwColor);
    const wchar_t* GetButton2NormalImage() const;
    void SetButton2NormalImage(const wchar_t* pStrImage);
    const wchar_t* GetButton2HotImage() const;
    void SetButton2HotImage(const wchar_t* pStrImage);
    const wchar_t* GetButton2PushedImage() const;
    void SetButton2PushedImage(const wchar_t* pStrImage);
    const wchar_t* GetButton2DisabledImage() const;
    void SetButton2DisabledImage(const wchar_t* pStrImage);

    DWORD GetThumbColor() const;
    void SetThumbColor(DWORD dwColor);
    const wchar_t* GetThumbNormalImage() const;
    void SetThumbNormalImage(const wchar_t* pStrImage);
    const wchar_t* GetThumbHotImage() const;
    void SetThumbHotImage(const wchar_t* pStrImage);
    const wchar_t* GetThumbPushedImage() const;
    void SetThumbPushedImage(const wchar_t* pStrImage);
    const wchar_t* GetThumbDisabledImage() const;
    void SetThumbDisabledImage(const wchar_t* pStrImage);

    const wchar_t* GetRailNormalImage() const;
    void SetRailNormalImage(const wchar_t* pStrImage);
    const wchar_t* GetRailHotImage() const;
    void SetRailHotImage(const wchar_t* pStrImage);
    const wchar_t* GetRailPushedImage() const;
    void SetRailPushedImage(const wchar_t* pStrImage);
    const wchar_t* GetRailDisabledImage() const;
    void SetRailDisabledImage(const wchar_t* pStrImage);

    const wchar_t* GetBkNormalImage() const;
    void SetBkNormalImage(const wchar_t* pStrImage);
    const wchar_t* GetBkHotImage() const;
    void SetBkHotImage(const wchar_t* pStrImage);
    const wchar_t* GetBkPushedImage() const;
    void SetBkPushedImage(const wchar_t* pStrImage);
    const wchar_t* GetBkDisabledImage() const;
    void SetBkDisabledImage(const wchar_t* pStrImage);

    // Where the parts lie after the last layout (control coordinates of the window).
    RECT GetButton1Rect() const;
    RECT GetButton2Rect() const;
    RECT GetThumbRect() const;

    void SetPos(RECT rc, bool bNeedInvalidate = true) override;
    void SetVisible(bool bVisible = true) override;
    void SetEnabled(bool bEnable = true) override;
    void SetFocus() override;
    void DoEvent(tagTEventUI& event) override;
    void SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue) override;
    bool DoPaint(HDC hDC, const RECT& rcPaint, CControlUI* pStopControl) override;

protected:
    void PaintBk(HDC hDC);
    void PaintButton1(HDC hDC);
    void PaintButton2(HDC hDC);
    void PaintThumb(HDC hDC);
    void PaintRail(HDC hDC);

    // Index of a state image in each group of four.
    enum { kNormal = 0, kHot = 1, kPushed = 2, kDisabled = 3 };

    void SetImage(TImageDesc& desc, const wchar_t* pStrImage);
    // Draws the image the state asks for, else the normal one; dest is relative to the bar (or null).
    void PaintStateImage(HDC hDC, UINT uState, TImageDesc* images, const RECT* pDest);
    bool DrawImageAt(HDC hDC, TImageDesc& desc, const RECT* pDest);
    void Relayout();
    void LineStep(bool bForward);
    void PageStep(bool bForward);

    bool m_bHorizontal;
    int m_nRange;
    int m_nScrollPos;
    int m_nLineSize;
    int m_nScrollUnit;
    CContainerUI* m_pOwner;
    POINT m_ptLastMouse;
    int m_nLastScrollPos;
    int m_nLastScrollOffset;
    int m_nScrollRepeatDelay;

    TImageDesc m_diBkImages[4];

    bool m_bShowButton1;
    RECT m_rcButton1;
    UINT m_uButton1State;
    DWORD m_dwButton1Color;
    TImageDesc m_diButton1Images[4];

    bool m_bShowButton2;
    RECT m_rcButton2;
    UINT m_uButton2State;
    DWORD m_dwButton2Color;
    TImageDesc m_diButton2Images[4];

    RECT m_rcThumb;
    UINT m_uThumbState;
    DWORD m_dwThumbColor;
    TImageDesc m_diThumbImages[4];

    TImageDesc m_diRailImages[4];

private:
    void SetPartColor(DWORD& dwPartColor, DWORD dwColor);
    // Marks the part disabled or not, fills its colour (0: none) and draws its state image; a null
    // part is the whole bar, drawn where the image's own description puts it, without a fill.
    void PaintPart(HDC hDC, UINT& uState, DWORD dwColor, const RECT* pPart, TImageDesc* images);
};

} // namespace Veneer
