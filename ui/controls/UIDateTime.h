// Date shown as label text ("%4d-%02d-%02d"). Focused or clicked while focused, the control opens
// a native date-time picker (CDateTimeWnd) over itself; when the picker loses the focus the chosen
// date is written back. Delete or Backspace in the picker clears the text, Escape keeps it.
// Ownership: the picker owns itself and clears the control's pointer when Win32 destroys it; a
// control that goes away (or hides) with its picker open closes the picker first.
#pragma once
#include "UIDefs.h"
#include "UILabel.h"
#include "UIWindow.h"

namespace Veneer {

class CDateTimeUI;

class VENEER_API CDateTimeWnd final : public CWindowWnd
{
public:
    CDateTimeWnd();

    void Init(CDateTimeUI* pOwner);
    // The owner's rectangle clipped by every ancestor; empty when one hides or clips it away.
    RECT CalcWindowRect();
    // The control goes away before the window: it is not called back any more.
    void DetachOwner();

    const wchar_t* GetWindowClassName() const override;
    const wchar_t* GetSuperClassName() const override;
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void OnFinalMessage(HWND hWnd) override;

protected:
    LRESULT OnKillFocus(UINT uMsg, WPARAM wParam, LPARAM lParam);

    CDateTimeUI* m_pOwner;
    bool m_bInit;
};

class VENEER_API CDateTimeUI : public CLabelUI
{
    friend class CDateTimeWnd;

public:
    // What the picker's closing does with the text.
    enum { DT_NONE = 0, DT_UPDATE = 1, DT_DELETE = 2, DT_KEEP = 3 };

    CDateTimeUI();
    ~CDateTimeUI() override;

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* pstrName) override;
    UINT GetControlFlags() const override;
    HWND GetNativeWindow() const override;

    void UpdateText();

    void SetPos(RECT rc, bool bNeedInvalidate = true) override;
    void Move(SIZE szOffset, bool bNeedInvalidate = true) override;
    void SetVisible(bool bVisible = true) override;
    void SetInternVisible(bool bVisible = true) override;
    void DoEvent(tagTEventUI& event) override;

protected:
    void PlaceNativeWindow();
    // A hidden control closes its picker.
    void CloseIfHidden();

    SYSTEMTIME m_sysTime;
    int m_nDTUpdateFlag;
    CDateTimeWnd* m_pWindow;
};

} // namespace Veneer
