// The rows of a list or of a combo box's drop-down list. Every row knows its index and its owner,
// keeps its selected and hot state, turns clicks, double-clicks and Return into "itemclick",
// selection and "itemactivate", hands every other event to its owner and paints itself with the
// owner's TListItemInfoUI. Label and text rows are plain controls; container rows hold children
// (owned as any container's). The owner is never owned by a row.
#pragma once
#include "UIDefs.h"
#include "UIList.h"

namespace Veneer {

class VENEER_API CListElementUI : public CControlUI, public IListItemUI
{
public:
    CListElementUI();

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* pstrName) override;
    UINT GetControlFlags() const override;
    bool Activate() override;
    void SetVisible(bool bVisible = true) override;
    void SetEnabled(bool bEnable = true) override;
    void DoEvent(tagTEventUI& event) override;
    void SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue) override;

    int GetIndex() const override;
    void SetIndex(int iIndex) override;
    int GetDrawIndex() const override;
    void SetDrawIndex(int iIndex) override;
    IListOwnerUI* GetOwner() override;
    void SetOwner(CControlUI* pOwner) override;
    bool IsSelected() const override;
    bool Select(bool bSelect = true, bool bTakeFocus = false) override;
    bool IsExpanded() const override;
    bool Expand(bool bExpand = true) override;

    bool IsHot() const;
    void InvalidateInContainer();
    void DrawItemBackground(HDC hDC, const RECT& rcItem);

protected:
    int m_iIndex;
    int m_iDrawIndex;
    bool m_bSelected;
    UINT m_uButtonState;
    IListOwnerUI* m_pOwner;
};

class VENEER_API CListLabelElementUI : public CListElementUI
{
public:
    CListLabelElementUI();

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* pstrName) override;
    void SetText(const wchar_t* pstrText) override;
    void SetFixedWidth(int cx) override;
    void SetFixedHeight(int cy) override;
    void DoEvent(tagTEventUI& event) override;
    SIZE EstimateSize(SIZE szAvailable) override;
    bool DoPaint(HDC hDC, const RECT& rcPaint, CControlUI* pStopControl) override;

    void SetOwner(CControlUI* pOwner) override;
    void DrawItemText(HDC hDC, const RECT& rcItem) override;

protected:
    // The estimate with the given record, the text measured and the width used when the fixed
    // width is 0 (the columns' width for a text row, else 0).
    SIZE EstimateWith(TListItemInfoUI* pInfo, SIZE szAvailable, const CUIString& sText, int cxColumns);
    // The colour of the row's text for its state.
    DWORD ItemTextColor(const TListItemInfoUI* pInfo) const;

    SIZE m_cxyEstimated;
    bool m_bNeedEstimateSize;
    SIZE m_szAvailableLast;
    int m_uFixedHeightLast;
    int m_nFontLast;
    UINT m_uTextStyleLast;
    RECT m_rcTextPaddingLast;
};

class VENEER_API CListTextElementUI : public CListLabelElementUI
{
public:
    enum { MAX_LINK = 8 };

    CListTextElementUI();
    ~CListTextElementUI() override;

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* pstrName) override;
    UINT GetControlFlags() const override;
    void DoEvent(tagTEventUI& event) override;
    SIZE EstimateSize(SIZE szAvailable) override;

    void SetOwner(CControlUI* pOwner) override;
    void DrawItemText(HDC hDC, const RECT& rcItem) override;

    // The row's own text of a column; null outside the column texts.
    const wchar_t* GetText(int iIndex) const;
    using CListLabelElementUI::GetText;
    int GetLinkCount() const;
    RECT GetLinkRect(int iIndex) const;
    CUIString GetLinkTarget(int iIndex) const;

protected:
    // The text the row shows in column 0 when it measures itself.
    CUIString MeasuredText();

    int m_nLinks;
    RECT m_rcLinks[MAX_LINK];
    CUIString m_sLinks[MAX_LINK];
    int m_nHoverLink;
    IListUI* m_pOwnerList;
    CUIPtrArray m_aTexts;
    CUIString m_sTextLast;
    int m_cxColumnsLast;
};

class VENEER_API CListContainerElementUI : public CContainerUI, public IListItemUI
{
public:
    CListContainerElementUI();

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* pstrName) override;
    UINT GetControlFlags() const override;
    bool Activate() override;
    void SetVisible(bool bVisible = true) override;
    void SetEnabled(bool bEnable = true) override;
    void DoEvent(tagTEventUI& event) override;
    void SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue) override;
    SIZE EstimateSize(SIZE szAvailable) override;
    bool DoPaint(HDC hDC, const RECT& rcPaint, CControlUI* pStopControl) override;

    int GetIndex() const override;
    void SetIndex(int iIndex) override;
    int GetDrawIndex() const override;
    void SetDrawIndex(int iIndex) override;
    IListOwnerUI* GetOwner() override;
    void SetOwner(CControlUI* pOwner) override;
    bool IsSelected() const override;
    bool Select(bool bSelect = true, bool bTakeFocus = false) override;
    bool IsExpanded() const override;
    bool Expand(bool bExpand = true) override;
    void DrawItemText(HDC hDC, const RECT& rcItem) override;

    bool IsExpandable() const;
    void SetExpandable(bool bExpandable);
    bool IsHot() const;
    void InvalidateInContainer();
    void DrawItemBackground(HDC hDC, const RECT& rcItem);

protected:
    int m_iIndex;
    int m_iDrawIndex;
    bool m_bSelected;
    bool m_bExpandable;
    bool m_bExpand;
    UINT m_uButtonState;
    IListOwnerUI* m_pOwner;
};

class VENEER_API CListHBoxElementUI : public CListContainerElementUI
{
public:
    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* pstrName) override;
    void SetPos(RECT rc, bool bNeedInvalidate = true) override;
    bool DoPaint(HDC hDC, const RECT& rcPaint, CControlUI* pStopControl) override;
};

} // namespace Veneer
