// Column header of a list and its items. The header is a horizontal layout of items; each item is
// one column: a caption with state images, "headerclick" when clicked, and a separator band that
// the user drags to change the column's width. The header's items are owned by the header.
#pragma once
#include "UIDefs.h"
#include "UIHorizontalLayout.h"

namespace Veneer {

class VENEER_API CListHeaderUI : public CHorizontalLayoutUI
{
public:
    CListHeaderUI();

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* pstrName) override;
    SIZE EstimateSize(SIZE szAvailable) override;
};

class VENEER_API CListHeaderItemUI : public CControlUI
{
public:
    CListHeaderItemUI();
    ~CListHeaderItemUI() override;

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* pstrName) override;
    UINT GetControlFlags() const override;
    void SetEnabled(bool bEnable = true) override;
    void DoEvent(tagTEventUI& event) override;
    void SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue) override;
    SIZE EstimateSize(SIZE szAvailable) override;
    void PaintStatusImage(HDC hDC) override;
    void PaintText(HDC hDC) override;

    bool IsDragable() const;
    void SetDragable(bool bDragable);
    int GetSepWidth() const;
    void SetSepWidth(int iWidth);
    void SetTextColor(DWORD dwTextColor);
    void SetSepColor(DWORD dwSepColor);
    void SetFont(int index);
    void SetTextPadding(RECT rc);
    void SetShowHtml(bool bShowHtml = true);
    void SetNormalImage(const wchar_t* pStrImage);
    void SetHotImage(const wchar_t* pStrImage);
    void SetPushedImage(const wchar_t* pStrImage);
    void SetFocusedImage(const wchar_t* pStrImage);
    void SetSepImage(const wchar_t* pStrImage);
    UINT GetTextStyle() const;

protected:
    // The drag band: at the right edge, or at the left edge for a negative width.
    RECT GetSeparatorRect() const;

    POINT m_ptLastMouse;
    bool m_bDragable;
    UINT m_uButtonState;
    int m_iSepWidth;
    DWORD m_dwTextColor;
    DWORD m_dwSepColor;
    int m_iFont;
    UINT m_uTextStyle;
    bool m_bShowHtml;
    RECT m_rcTextPadding;
    TImageDesc m_diNormal;
    TImageDesc m_diHot;
    TImageDesc m_diPushed;
    TImageDesc m_diFocused;
    TImageDesc m_diSep;
};

} // namespace Veneer
