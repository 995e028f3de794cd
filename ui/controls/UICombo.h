// Drop-down list box: a button face with the selected row's text; pressing it opens a pop-up window
// (CComboWnd) that shows the same row objects in a scrolling body (CComboBodyUI) with its own paint
// manager. The combo owns its rows (as their container and as their list owner) and the pop-up
// object while it is open; the pop-up's body holds the rows without owning them and hands them
// back to the combo's paint manager whenever its window ends.
#pragma once
#include "UIDefs.h"
#include "UIContainer.h"
#include "UIVerticalLayout.h"
#include "UIWindow.h"
#include "UIManager.h"
#include "UIList.h"

namespace Veneer {

class CComboWnd;

class VENEER_API CComboUI : public CContainerUI, public IListOwnerUI
{
    friend class CComboWnd;

public:
    CComboUI();
    ~CComboUI() override;

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* pstrName) override;
    UINT GetControlFlags() const override;
    bool Activate() override;
    CUIString GetText() const override;
    void SetPos(RECT rc, bool bNeedInvalidate = true) override;
    void Move(SIZE szOffset, bool bNeedInvalidate = true) override;
    void SetEnabled(bool bEnable = true) override;
    void DoEvent(tagTEventUI& event) override;
    void SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue) override;
    SIZE EstimateSize(SIZE szAvailable) override;
    bool DoPaint(HDC hDC, const RECT& rcPaint, CControlUI* pStopControl) override;
    void PaintStatusImage(HDC hDC) override;
    void PaintText(HDC hDC) override;

    bool SetItemIndex(CControlUI* pControl, int iNewIndex) override;
    bool SetMultiItemIndex(CControlUI* pStartControl, int iCount, int iNewStartIndex) override;
    bool Add(CControlUI* pControl) override;
    bool AddAt(CControlUI* pControl, int iIndex) override;
    bool Remove(CControlUI* pControl, bool bDoNotDestroy = false) override;
    bool RemoveAt(int iIndex, bool bDoNotDestroy = false) override;
    void RemoveAll() override;

    TListItemInfoUI* GetListInfo() override;
    int GetCurSel() const override;
    bool SelectItem(int iIndex, bool bTakeFocus = false, bool bTriggerEvent = true) override;
    bool ExpandItem(int iIndex, bool bExpand = true) override;
    int GetExpandedItem() const override;

    CComboWnd* GetDropWindow() const;
    CUIString GetDropBoxAttributeList() const;
    void SetDropBoxAttributeList(const wchar_t* pstrList);
    SIZE GetDropBoxSize() const;
    void SetDropBoxSize(SIZE szDropBox);
    void SetTextPadding(RECT rc);
    RECT GetTextPadding() const;
    void SetShowText(bool bShow);
    void SetFont(int index);
    void SetTextColor(DWORD dwColor);
    void SetDisabledTextColor(DWORD dwColor);
    void SetCloseOnSelect(bool bClose);
    bool IsCloseOnSelect() const;
    void SetNormalImage(const wchar_t* pStrImage);
    void SetHotImage(const wchar_t* pStrImage);
    void SetPushedImage(const wchar_t* pStrImage);
    void SetFocusedImage(const wchar_t* pStrImage);
    void SetDisabledImage(const wchar_t* pStrImage);

protected:
    // Keyboard and wheel selection: the pop-up stays open, no focus, with the notification. A
    // search that found nothing (-1) keeps the selection.
    void SelectQuietly(int iIndex);
    void Renumber(int iFrom, int iTo);
    void ReplaceButtonImage(TImageDesc& desc, const wchar_t* pStrImage);

    CComboWnd* m_pWindow;
    int m_iCurSel;
    bool m_bShowText;
    bool m_bCloseOnSelect;
    RECT m_rcTextPadding;
    CUIString m_sDropBoxAttributes;
    CUIString m_sVScrollBar;
    CUIString m_sVScrollBarStyle;
    CUIString m_sHScrollBar;
    CUIString m_sHScrollBarStyle;
    SIZE m_szDropBox;
    UINT m_uButtonState;
    int m_iFont;
    DWORD m_dwTextColor;
    DWORD m_dwDisabledTextColor;
    UINT m_uTextStyle;
    TImageDesc m_diNormal;
    TImageDesc m_diHot;
    TImageDesc m_diPushed;
    TImageDesc m_diFocused;
    TImageDesc m_diDisabled;
    TListItemInfoUI m_ListInfo;
};

// The pop-up's scrolling body: the combo's rows in visible order, a line under each.
class VENEER_API CComboBodyUI : public CVerticalLayoutUI
{
    friend class CComboUI;

public:
    explicit CComboBodyUI(CComboUI* pOwner);
    ~CComboBodyUI() override;

    bool DoPaint(HDC hDC, const RECT& rcPaint, CControlUI* pStopControl) override;

protected:
    CComboUI* m_pOwner;
};

// The drop-down window. Created by CComboUI::Activate; deletes itself when its window is gone.
class VENEER_API CComboWnd final : public CWindowWnd, public INotifyUI
{
    friend class CComboUI;

public:
    CComboWnd();

    void Init(CComboUI* pOwner);
    const wchar_t* GetWindowClassName() const override;
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void OnFinalMessage(HWND hWnd) override;
    void Notify(TNotifyRecord& msg) override;

    void EnsureVisible(int iIndex);
    CComboBodyUI* GetBody() const;
    CPaintManagerUI& GetManager();

protected:
    // Gives the rows back to the combo's paint manager (once); the body lets go of them.
    void HandBackRows(bool bFocusCombo);
    // Whether the control under the cursor is a scroll bar.
    bool OverScrollBar() const;

    CPaintManagerUI m_pm;
    CComboUI* m_pOwner;
    CComboBodyUI* m_pLayout;
    int m_iOldSel;
    bool m_bScrollbarClicked;
    bool m_bHandedBack;
};

} // namespace Veneer
