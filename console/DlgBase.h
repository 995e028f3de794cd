// The base of the console's skinned dialogs: a frameless window whose control tree is built from
// a skin file of the Res directory, dragged by the skin's caption area, closed by the standard
// buttons, shown modally or not. The dialog object is owned by its creator and outlives its
// window; it owns its paint manager, and a window still open when the object goes is destroyed
// first, so that no window ever outlives the object it calls.
#pragma once
#include <windows.h>
#include "UIBase.h"
#include "UIDlgBuilder.h"
#include "UIManager.h"
#include "UIWindow.h"

class CDlgBase : public Veneer::CWindowWnd, public Veneer::INotifyUI, public Veneer::IDialogBuilderCallback {
public:
    // Style of every console dialog: WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN |
    // WS_CAPTION | WS_SYSMENU.
    static const DWORD kDialogStyle = 0x96C80000;

    CDlgBase(const wchar_t* title, const wchar_t* text, const wchar_t* skin, int mode, const wchar_t* zip);
    virtual ~CDlgBase();

    const wchar_t* GetWindowClassName() const override;
    UINT GetClassStyle() const override;
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void OnFinalMessage(HWND hWnd) override;
    virtual LRESULT OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);

    void Notify(Veneer::TNotifyRecord& msg) override;
    Veneer::CControlUI* CreateControl(const wchar_t* pstrClass) override;

    // Creates the window with the caption and runs it modally (returns when it closed) or shows it.
    void ShowDlg(const wchar_t* caption, HWND parent, bool modal);
    void InitWindow();

    Veneer::CPaintManagerUI& GetPaintManager() { return m_pm; }

protected:
    // Destroys the window when it still exists (derived destructors call it before their own
    // members go; the base destructor calls it again, harmlessly).
    void DestroyOwnWindow();

    Veneer::CPaintManagerUI m_pm;
    Veneer::CUIString m_title;
    Veneer::CUIString m_text;
    int m_mode;
    Veneer::CUIString m_skin;
    Veneer::CUIString m_zip;
};
