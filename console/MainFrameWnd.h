// The console's main window after the login: a frameless skinned window (MainSkin.xml) with the
// café's name, the product title with the installed version, the customer and settings tabs, the
// button that toggles the account-opening QR window, and the owner of the periodic update check,
// whose timer thread it starts once its controls are built and stops before the check object
// goes. The program entry creates and destroys it; a window still open when the object goes is
// destroyed first. The frame owns the QR window object: it lives until the frame goes, or until
// its window was closed (close button, Alt+F4) and the next press builds it anew.
#pragma once
#include <windows.h>
#include "Tollvane.h"
#include "UIBase.h"
#include "UIDlgBuilder.h"
#include "UIManager.h"
#include "UIWindow.h"

namespace Veneer {
class CTabLayoutUI;
}
class CMessageBoxExWnd;

class CMainFrameWnd : public Veneer::CWindowWnd, public Veneer::INotifyUI, public Veneer::IDialogBuilderCallback {
public:
    CMainFrameWnd();
    virtual ~CMainFrameWnd();

    const wchar_t* GetWindowClassName() const override;
    UINT GetClassStyle() const override;
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    void OnFinalMessage(HWND hWnd) override;
    void Notify(Veneer::TNotifyRecord& msg) override;
    Veneer::CControlUI* CreateControl(const wchar_t* pstrClass) override;

    void InitWindow();
    // "Morvath " followed by the version text of data\core.dat under the directory, when readable.
    static std::wstring ProductTitle(const std::wstring& directory);

    Veneer::CPaintManagerUI& GetPaintManager() { return m_pm; }
    CTollvane& GetUpdateCheck() { return m_tollvane; }

private:
    LRESULT OnCreate();
    // Shows the QR window when hidden, hides it when shown; builds it (and writes its bitmap)
    // when there is none or its window is gone.
    void ToggleQrWindow();

    Veneer::CPaintManagerUI m_pm;
    CTollvane m_tollvane;
    CMessageBoxExWnd* m_qrWnd = nullptr;
    Veneer::CControlUI* m_closeBtn = nullptr;
    Veneer::CControlUI* m_minBtn = nullptr;
    Veneer::CControlUI* m_settingsBtn = nullptr;
    Veneer::CControlUI* m_kaihuBtn = nullptr;
    Veneer::CControlUI* m_playerBtn = nullptr;
    Veneer::CTabLayoutUI* m_pages = nullptr;
};
