// Single-line text input. Unfocused, the control paints its text like a label (masked in password
// mode) over a state image; focused, it opens a native edit window (CEditWnd) over its text area
// and copies every change back with "textchanged"; Return sends "return".
// Ownership: the native window owns itself (it deletes itself when Win32 destroys it, and clears
// the control's pointer then); a control destroyed while its window is open destroys the window
// first, after cutting the window's link back to it.
#pragma once
#include "UIDefs.h"
#include "UILabel.h"
#include "UIWindow.h"

namespace Veneer {

class CEditUI;

// Window timer of the native edit that blinks the drawn caret of a layered window.
enum { EDIT_CARET_TIMERID = 20 };

class VENEER_API CEditWnd final : public CWindowWnd
{
public:
    CEditWnd();

    void Init(CEditUI* pOwner);
    // The owner's text area, clipped by every ancestor; empty when an ancestor is hidden or the
    // clip leaves nothing.
    RECT CalcWindowRect();
    // The control goes away before the window: it is not called back any more.
    void DetachOwner();
    // Whether the window is inside a notification to the owner's listeners; it must not be
    // destroyed from there (its own message, and the native edit's, are still running).
    bool IsNotifying() const;

    const wchar_t* GetWindowClassName() const override;
    const wchar_t* GetSuperClassName() const override;
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void OnFinalMessage(HWND hWnd) override;

protected:
    LRESULT OnEditChanged();
    void NotifyOwner(const wchar_t* pstrType);
    LRESULT OnCtlColor(HDC hDC);
    bool IsLayeredHost() const;

    CEditUI* m_pOwner;
    HBRUSH m_hBkBrush;
    bool m_bInit;
    bool m_bDrawCaret;
    int m_nNotifying;
};

class VENEER_API CEditUI : public CLabelUI
{
    friend class CEditWnd;

public:
    CEditUI();
    ~CEditUI() override;

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* pstrName) override;
    UINT GetControlFlags() const override;
    HWND GetNativeWindow() const override;

    void SetEnabled(bool bEnable = true) override;
    void SetText(const wchar_t* pstrText) override;
    void SetMaxChar(UINT uMax);
    UINT GetMaxChar() const;
    void SetReadOnly(bool bReadOnly);
    bool IsReadOnly() const;
    void SetPasswordMode(bool bPasswordMode);
    bool IsPasswordMode() const;
    wchar_t GetPasswordChar() const;
    void SetNumberOnly(bool bNumberOnly);
    UINT GetWindowStyls() const;
    void SetAutoSelAll(bool bAutoSelAll);
    bool IsAutoSelAll() const;
    void SetNativeBkColor(DWORD dwBkColor);
    DWORD GetNativeBkColor() const;

    void SetNormalImage(const wchar_t* pStrImage);
    void SetHotImage(const wchar_t* pStrImage);
    void SetFocusedImage(const wchar_t* pStrImage);
    void SetDisabledImage(const wchar_t* pStrImage);

    void SetPos(RECT rc, bool bNeedInvalidate = true) override;
    void Move(SIZE szOffset, bool bNeedInvalidate = true) override;
    void SetVisible(bool bVisible = true) override;
    void SetInternVisible(bool bVisible = true) override;
    SIZE EstimateSize(SIZE szAvailable) override;
    void DoEvent(tagTEventUI& event) override;
    void SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue) override;

    void PaintStatusImage(HDC hDC) override;
    void PaintText(HDC hDC) override;

protected:
    void OpenNativeWindow();
    // Places (or hides) an open native window after the control moved.
    void PlaceNativeWindow();
    // Hidden controls give up the focus, which closes the native window.
    void CloseIfHidden();
    void ReplaceImage(TImageDesc& desc, const wchar_t* pStrImage);

    CEditWnd* m_pWindow;
    UINT m_uMaxChar;
    bool m_bReadOnly;
    bool m_bPasswordMode;
    bool m_bAutoSelAll;
    wchar_t m_cPasswordChar;
    UINT m_uButtonState;
    DWORD m_dwEditbkColor;
    int m_iWindowStyls;
    TImageDesc m_diNormal;
    TImageDesc m_diHot;
    TImageDesc m_diFocused;
    TImageDesc m_diDisabled;
};

} // namespace Veneer
