#include "DlgLogin.h"
#include <stdlib.h>
#include <wchar.h>
#include "CafeProtocol.h"
#include "CodePage.h"
#include "ConsoleEvents.h"
#include "ConsoleGlobals.h"
#include "ControlAccess.h"
#include "Ini.h"
#include "UIOption.h"
#include "UITabLayout.h"

using namespace Veneer;

const wchar_t CDlgLogin::kWrongAccount[] = L"您输入的账号或密码错误，请重新输入!";
const wchar_t CDlgLogin::kLoginFailed[] = L"登陆失败，请重新登陆!";
const wchar_t CDlgLogin::kCheckCafeInfo[] = L"请检查场所信息是否正确，点击“获取验证码”按钮继续";
const wchar_t CDlgLogin::kWrongInput[] = L"您输入的信息不正确，请重新输入!";
const wchar_t CDlgLogin::kSmsSent[] = L"短信已发送!";
const wchar_t CDlgLogin::kSmsFailed[] = L"对不起，验证码获取失败！";
const wchar_t CDlgLogin::kWrongSmsCode[] = L"您输入的短信验证码不正确！";
const wchar_t CDlgLogin::kBindFailed[] = L"手机绑定失败，请重新绑定！";
const wchar_t CDlgLogin::kPasswordsDiffer[] = L"两次输入的密码不一致！";
const wchar_t CDlgLogin::kPasswordNotSet[] = L"密码设置不一致！";

CDlgLogin::CDlgLogin(const wchar_t* skin) : CDlgBase(nullptr, nullptr, skin, 0, L"") {}

CDlgLogin::~CDlgLogin()
{
    // The window goes while this object's Notify and controls are still whole.
    DestroyOwnWindow();
}

LRESULT CDlgLogin::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    return CDlgBase::HandleMessage(uMsg, wParam, lParam);
}

LRESULT CDlgLogin::OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled)
{
    CDlgBase::OnCreate(uMsg, wParam, lParam, bHandled);
    SetIcon(132);
    consoleevents::Raise(L"icon", GetWindowClassName(), ::SendMessageW(m_hWnd, WM_GETICON, ICON_SMALL, 0) ? L"1" : L"0");
    m_pages = controls::Find<CTabLayoutUI>(m_pm, L"NavTabLayout", L"TabLayout");
    m_remember = controls::Find<COptionUI>(m_pm, L"savepassOpt", L"Option");
    SelectPage(0);

    CIni ini;
    bool remember = ini.GetBool(L"rempwd", true);
    if (remember) {
        std::wstring account = ini.GetString(L"acc");
        std::wstring password = ini.GetString(L"pwd");
        if (!account.empty() && !password.empty()) {
            controls::SetText(m_pm, L"login_netbarcode", account);
            controls::SetText(m_pm, L"login_password", password);
        }
    }
    if (m_remember) {
        m_remember->SetSelected(remember, true);
        consoleevents::Raise(L"selected", L"savepassOpt", m_remember->IsSelected() ? L"1" : L"0");
    }
    return 0;
}

void CDlgLogin::SelectPage(int index)
{
    if (m_pages == nullptr)
        return;
    m_pages->SelectItem(index, true);
    consoleevents::Raise(L"page", L"NavTabLayout", std::to_wstring(index));
}

void CDlgLogin::Notify(TNotifyRecord& msg)
{
    CDlgBase::Notify(msg);
    if (msg.pSender == nullptr)
        return;
    CUIString name = msg.pSender->GetName();
    const wchar_t* type = msg.sType.GetData();
    if (wcscmp(type, L"selectchanged") == 0 && name == L"savepassOpt") {
        consoleevents::Raise(L"notify", type, name.GetData());
        if (m_remember) {
            CIni().WriteBool(L"rempwd", m_remember->IsSelected());
            consoleevents::Raise(L"selected", L"savepassOpt", m_remember->IsSelected() ? L"1" : L"0");
        }
        return;
    }
    if (_wcsicmp(type, L"click") != 0)
        return;
    consoleevents::Raise(L"notify", L"click", name.GetData());
    if (name == L"okBtn")
        OnLogin();
    else if (name == L"cancleBtn")
        Close(0);
    else if (name == L"setpass_cancleBtn" || name == L"phonesms_cancleBtn")
        SelectPage(0);
    else if (name == L"minBtn")
        ::SendMessageW(m_hWnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    else if (name == L"closeBtn")
        Close(0);
    else if (name == L"getsmscodeBtn")
        OnCafeNameOrSmsCode();
    else if (name == L"queryPasswordBtn") {
        controls::SetText(m_pm, L"phonesms_netbarcode", controls::GetText(m_pm, L"login_netbarcode"));
        SelectPage(1);
    } else if (name == L"phonesms_okBtn")
        OnBindPhone();
    else if (name == L"setpass_okBtn")
        OnSetPassword();
}

void CDlgLogin::OnLogin()
{
    controls::SetVisible(m_pm, L"loginstate", false);
    std::wstring code = controls::GetText(m_pm, L"login_netbarcode");
    std::wstring password = controls::GetText(m_pm, L"login_password");
    if (code.empty() || password.empty()) {
        controls::Show(m_pm, L"loginstate", kWrongAccount);
        return;
    }
    std::string codeA = WideToAnsi(code);
    Pellmora::CheckFirstReply first = Pellmora::RequestCheckFirst(codeA);
    if (first.Failed()) {
        controls::Show(m_pm, L"loginstate", kLoginFailed);
        return;
    }
    if (!(first.code == "101" && first.first == "2")) {
        controls::SetText(m_pm, L"phonesms_netbarcode", code);
        SelectPage(1);
        return;
    }
    std::string passwordA = WideToAnsi(password);
    Pellmora::BarLoginReply login = Pellmora::RequestBarLogin(codeA, passwordA);
    if (!login.Succeeded()) {
        controls::Show(m_pm, L"loginstate", kWrongAccount);
        return;
    }
    g_loginNetbarCode = codeA;
    g_netbarInfo.bar_id = atoi(login.barId.c_str());
    g_netbarInfo.code = codeA;
    g_netbarInfo.strname = login.strname;
    g_netbarInfo.address = login.address;
    g_netbarInfo.person = login.person;
    g_netbarInfo.phone = login.phone;
    g_netbarInfo.address_url = login.addressUrl;

    CIni ini;
    if (m_remember && m_remember->IsSelected()) {
        ini.WriteString(L"acc", code.c_str());
        ini.WriteString(L"pwd", password.c_str());
    } else {
        ini.WriteString(L"acc", L"");
        ini.WriteString(L"pwd", L"");
    }
    consoleevents::RaiseA(L"login", codeA, std::to_string(g_netbarInfo.bar_id));
    Close(0);
}

void CDlgLogin::OnCafeNameOrSmsCode()
{
    controls::SetVisible(m_pm, L"smsstate", false);
    std::wstring code = controls::GetText(m_pm, L"phonesms_netbarcode");
    if (code.empty())
        return;
    if (controls::GetText(m_pm, L"netbarname").empty()) {
        Pellmora::CheckFirstReply first = Pellmora::RequestCheckFirst(WideToAnsi(code));
        if (first.Succeeded() && !first.strname.empty()) {
            controls::SetText(m_pm, L"netbarname", AnsiToWide(first.strname));
            controls::Show(m_pm, L"smsstate", kCheckCafeInfo);
        } else {
            controls::Show(m_pm, L"smsstate", kWrongInput);
        }
        return;
    }
    std::wstring phone = controls::GetText(m_pm, L"netbarphone");
    if (phone.empty()) {
        controls::Show(m_pm, L"smsstate", kWrongInput);
        return;
    }
    Pellmora::CafeReply sent = Pellmora::RequestSendCode(WideToAnsi(phone));
    controls::Show(m_pm, L"smsstate", sent.Succeeded() ? kSmsSent : kSmsFailed);
}

void CDlgLogin::OnBindPhone()
{
    controls::SetVisible(m_pm, L"smsstate", false);
    std::wstring code = controls::GetText(m_pm, L"phonesms_netbarcode");
    std::wstring cafeName = controls::GetText(m_pm, L"netbarname");
    std::wstring phone = controls::GetText(m_pm, L"netbarphone");
    std::wstring smsCode = controls::GetText(m_pm, L"smscode");
    if (code.empty() || cafeName.empty() || phone.empty() || smsCode.empty()) {
        controls::Show(m_pm, L"smsstate", kWrongInput);
        return;
    }
    // Both requests on one client, as the service expects.
    Pellmora::CHttpClient client;
    std::string phoneA = WideToAnsi(phone);
    if (!Pellmora::RequestCheckCode(client, phoneA, WideToAnsi(smsCode)).Succeeded()) {
        controls::Show(m_pm, L"smsstate", kWrongSmsCode);
        return;
    }
    std::string codeA = WideToAnsi(code);
    if (Pellmora::RequestBindPhone(client, codeA, phoneA).Succeeded()) {
        g_boundNetbarCode = codeA;
        SelectPage(2);
    } else {
        controls::Show(m_pm, L"smsstate", kBindFailed);
    }
}

void CDlgLogin::OnSetPassword()
{
    controls::SetVisible(m_pm, L"setpassstate", false);
    std::wstring password = controls::GetText(m_pm, L"setpass_password");
    std::wstring repeated = controls::GetText(m_pm, L"setpass_password2");
    if (password != repeated) {
        controls::Show(m_pm, L"setpassstate", kPasswordsDiffer);
        return;
    }
    // The login refuses an empty password: setting one would lock the café out.
    if (password.empty()) {
        controls::Show(m_pm, L"setpassstate", kWrongInput);
        return;
    }
    if (Pellmora::RequestSetPassword(WideToAnsi(password), g_boundNetbarCode).Succeeded())
        SelectPage(0);
    else
        controls::Show(m_pm, L"setpassstate", kPasswordNotSet);
}
