// Multi-column list: a column header on top of a scrolling body of rows. The list keeps the
// selection and the expanded row, moves the selection with keys and wheel, and publishes the
// header's column rectangles and the look of every row in its TListItemInfoUI.
// Also the interfaces through which rows and their owners (list, combo box) talk.
// Ownership: the list owns its header and body as children; the body owns the rows. Rows keep a
// pointer to their owner's IListOwnerUI part and never own it. The text callback is not owned.
#pragma once
#include "UIDefs.h"
#include "UIVerticalLayout.h"
#include "UIHorizontalLayout.h"

namespace Veneer {

class CListHeaderUI;
class CListBodyUI;

enum { UILIST_MAX_COLUMNS = 64 };

// The look of every row of one owner and the column rectangles of its header.
struct VENEER_API TListItemInfoUI {
    int nColumns;
    RECT rcColumn[UILIST_MAX_COLUMNS];   // window coordinates
    int uFixedHeight;                    // item height, 0: rows size themselves
    int nFont;
    UINT uTextStyle;
    RECT rcTextPadding;
    DWORD dwTextColor;
    DWORD dwBkColor;
    TImageDesc diBk;
    bool bAlternateBk;
    DWORD dwSelectedTextColor;
    DWORD dwSelectedBkColor;
    TImageDesc diSelected;
    DWORD dwHotTextColor;
    DWORD dwHotBkColor;
    TImageDesc diHot;
    DWORD dwDisabledTextColor;
    DWORD dwDisabledBkColor;
    TImageDesc diDisabled;
    int iHLineSize;
    DWORD dwHLineColor;
    int iVLineSize;
    DWORD dwVLineColor;
    bool bShowHtml;
    bool bMultiExpandable;

    TListItemInfoUI();
};

class IListOwnerUI
{
public:
    virtual TListItemInfoUI* GetListInfo() = 0;
    virtual int GetCurSel() const = 0;
    virtual bool SelectItem(int iIndex, bool bTakeFocus = false, bool bTriggerEvent = true) = 0;
    virtual void DoEvent(tagTEventUI& event) = 0;
    virtual bool ExpandItem(int iIndex, bool bExpand = true) = 0;
    virtual int GetExpandedItem() const = 0;

protected:
    ~IListOwnerUI() {}
};

// Supplied by the application: the text of one column of a text row.
class IListTextCallbackUI
{
public:
    virtual const wchar_t* GetItemText(CControlUI* pList, int iItem, int iSubItem) = 0;

protected:
    ~IListTextCallbackUI() {}
};

class IListUI : public IListOwnerUI
{
public:
    virtual CListHeaderUI* GetHeader() const = 0;
    virtual CContainerUI* GetList() const = 0;
    virtual IListTextCallbackUI* GetTextCallback() const = 0;
    virtual void SetTextCallback(IListTextCallbackUI* pCallback) = 0;

protected:
    ~IListUI() {}
};

class IListItemUI
{
public:
    virtual int GetIndex() const = 0;
    virtual void SetIndex(int iIndex) = 0;
    virtual int GetDrawIndex() const = 0;
    virtual void SetDrawIndex(int iIndex) = 0;
    virtual IListOwnerUI* GetOwner() = 0;
    virtual void SetOwner(CControlUI* pOwner) = 0;
    virtual bool IsSelected() const = 0;
    virtual bool Select(bool bSelect = true, bool bTakeFocus = false) = 0;
    virtual bool IsExpanded() const = 0;
    virtual bool Expand(bool bExpand = true) = 0;
    virtual void DrawItemText(HDC hDC, const RECT& rcItem) = 0;

protected:
    ~IListItemUI() {}
};

// Shared by list and combo box: the "itemxxx" keys that fill a TListItemInfoUI. Answers whether
// the name was one of them; bRepaint / bRelayout tell what the owner has to do.
bool SetListInfoAttribute(TListItemInfoUI& info, const wchar_t* pstrName, const wchar_t* pstrValue,
                          bool& bRepaint, bool& bRelayout);
// Replaces an image description unless it is the same text with its image already loaded;
// answers whether it changed.
bool ReplaceListImage(TImageDesc& desc, const wchar_t* pStrImage);
// Paints a body of rows (list or combo pop-up): its own background, the visible rows with their
// draw index in visible order and the line under each row, then its scroll bars.
bool PaintListRows(CContainerUI* pBody, TListItemInfoUI* pListInfo, HDC hDC, const RECT& rcPaint,
                   CControlUI* pStopControl);

class VENEER_API CListUI : public CVerticalLayoutUI, public IListUI
{
public:
    CListUI();
    ~CListUI() override;

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* pstrName) override;
    UINT GetControlFlags() const override;
    void SetPos(RECT rc, bool bNeedInvalidate = true) override;
    void Move(SIZE szOffset, bool bNeedInvalidate = true) override;
    void DoEvent(tagTEventUI& event) override;
    void SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue) override;

    int GetChildPadding() const override;
    void SetChildPadding(int iPadding) override;

    SIZE GetScrollPos() override;
    SIZE GetScrollRange() override;
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
    void EnableScrollBar(bool bEnableVertical = true, bool bEnableHorizontal = false) override;
    CScrollBarUI* GetVerticalScrollBar() const override;
    CScrollBarUI* GetHorizontalScrollBar() const override;

    // IContainerUI: the rows of the body; header and header items go to their places.
    CControlUI* GetItemAt(int iIndex) const override;
    int GetItemIndex(CControlUI* pControl) const override;
    bool SetItemIndex(CControlUI* pControl, int iNewIndex) override;
    bool SetMultiItemIndex(CControlUI* pStartControl, int iCount, int iNewStartIndex) override;
    int GetCount() const override;
    bool Add(CControlUI* pControl) override;
    bool AddAt(CControlUI* pControl, int iIndex) override;
    bool Remove(CControlUI* pControl, bool bDoNotDestroy = false) override;
    bool RemoveAt(int iIndex, bool bDoNotDestroy = false) override;
    void RemoveAll() override;

    // IListOwnerUI, IListUI
    TListItemInfoUI* GetListInfo() override;
    int GetCurSel() const override;
    bool SelectItem(int iIndex, bool bTakeFocus = false, bool bTriggerEvent = true) override;
    bool ExpandItem(int iIndex, bool bExpand = true) override;
    int GetExpandedItem() const override;
    CListHeaderUI* GetHeader() const override;
    CContainerUI* GetList() const override;
    IListTextCallbackUI* GetTextCallback() const override;
    void SetTextCallback(IListTextCallbackUI* pCallback) override;

    void EnsureVisible(int iIndex);
    void Scroll(int dx, int dy);

    bool IsScrollSelect() const;
    void SetScrollSelect(bool bScrollSelect);
    void SetMultiExpanding(bool bMultiExpandable);
    void SetItemTextPadding(RECT rc);
    void SetItemTextColor(DWORD dwTextColor);
    void SetItemBkColor(DWORD dwBkColor);
    void SetItemBkImage(const wchar_t* pStrImage);
    void SetAlternateBk(bool bAlternateBk);
    void SetSelectedItemTextColor(DWORD dwTextColor);
    void SetSelectedItemBkColor(DWORD dwBkColor);
    void SetSelectedItemImage(const wchar_t* pStrImage);
    void SetHotItemTextColor(DWORD dwTextColor);
    void SetHotItemBkColor(DWORD dwBkColor);
    void SetHotItemImage(const wchar_t* pStrImage);
    void SetDisabledItemTextColor(DWORD dwTextColor);
    void SetDisabledItemBkColor(DWORD dwBkColor);
    void SetDisabledItemImage(const wchar_t* pStrImage);
    void SetItemHLineSize(int iSize);
    void SetItemHLineColor(DWORD dwLineColor);
    void SetItemVLineSize(int iSize);
    void SetItemVLineColor(DWORD dwLineColor);
    void SetItemShowHtml(bool bShowHtml = true);

protected:
    // The column rectangles from the header laid out across [left, right].
    void PlaceColumns(int left, int right);
    // Sets every row from iFrom to iTo (inclusive, clamped) to its position.
    void Reindex(int iFrom, int iTo);
    // Tells a row to open or close for ExpandItem; the row's own call back into ExpandItem for
    // that change finds it under way and does nothing.
    bool ExpandRow(IListItemUI* pItem, int iIndex, bool bExpand);

    bool m_bScrollSelect;
    int m_iCurSel;
    int m_iExpandedItem;
    int m_iExpandingItem;  // the row ExpandItem is opening or closing, -1 outside it
    IListTextCallbackUI* m_pCallback;
    CListBodyUI* m_pList;
    CListHeaderUI* m_pHeader;
    TListItemInfoUI m_ListInfo;
};

// The scrolling body of a list: rows as wide as the columns, a line under each row.
class VENEER_API CListBodyUI : public CVerticalLayoutUI
{
public:
    explicit CListBodyUI(CListUI* pOwner);

    void SetScrollPos(SIZE szPos) override;
    void SetPos(RECT rc, bool bNeedInvalidate = true) override;
    void DoEvent(tagTEventUI& event) override;
    bool DoPaint(HDC hDC, const RECT& rcPaint, CControlUI* pStopControl) override;

protected:
    CListUI* m_pOwner;
};

} // namespace Veneer
