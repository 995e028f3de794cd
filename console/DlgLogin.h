// The console's first window: the modal login dialog on LoginMain.xml. Page 0 logs the café in
// with its code and password; a café whose phone is not bound goes through page 1 (café name,
// phone number, SMS code) and page 2 (new password) first. Only a successful login fills the
// process-wide café values (ConsoleGlobals.h). Every request runs on the UI thread.
#pragma once
#include <string>
#include "DlgBase.h"

namespace Veneer {
class CTabLayoutUI;
class COptionUI;
}

class CDlgLogin : public CDlgBase {
public:
    explicit CDlgLogin(const wchar_t* skin);
    ~CDlgLogin() override;

    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    LRESULT OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    void Notify(Veneer::TNotifyRecord& msg) override;

    // The status texts the dialog shows.
    static const wchar_t kWrongAccount[];
    static const wchar_t kLoginFailed[];
    static const wchar_t kCheckCafeInfo[];
    static const wchar_t kWrongInput[];
    static const wchar_t kSmsSent[];
    static const wchar_t kSmsFailed[];
    static const wchar_t kWrongSmsCode[];
    static const wchar_t kBindFailed[];
    static const wchar_t kPasswordsDiffer[];
    static const wchar_t kPasswordNotSet[];

private:
    void SelectPage(int index);
    void OnLogin();
    void OnCafeNameOrSmsCode();
    void OnBindPhone();
    void OnSetPassword();

    Veneer::CTabLayoutUI* m_pages = nullptr;
    Veneer::COptionUI* m_remember = nullptr;
};
