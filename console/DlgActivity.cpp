#include "DlgActivity.h"
#include <new>
#include <wchar.h>
#include "CafeProtocol.h"
#include "CodePage.h"
#include "ConsoleEvents.h"
#include "ControlAccess.h"
#include "WkeWebkitUI.h"

using namespace Veneer;

CDlgActivity::CDlgActivity(const wchar_t* skin) : CDlgBase(nullptr, nullptr, skin, 0, L"") {}

CDlgActivity::~CDlgActivity()
{
    // The window (and with it the web view's host window) goes while this object is still whole.
    DestroyOwnWindow();
}

LRESULT CDlgActivity::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    return CDlgBase::HandleMessage(uMsg, wParam, lParam);
}

CControlUI* CDlgActivity::CreateControl(const wchar_t* pstrClass)
{
    if (pstrClass != nullptr && wcscmp(pstrClass, L"WbkWebkit") == 0)
        return new (std::nothrow) CWkeWebkitUI();
    return nullptr;
}

LRESULT CDlgActivity::OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled)
{
    CDlgBase::OnCreate(uMsg, wParam, lParam, bHandled);
    SetIcon(132);
    consoleevents::Raise(L"icon", L"CDlgActivity", ::SendMessageW(m_hWnd, WM_GETICON, ICON_SMALL, 0) ? L"1" : L"0");

    Pellmora::ActivityReply reply = Pellmora::RequestActivity();
    if (reply.Succeeded())
        m_url = reply.url;
    consoleevents::RaiseA(L"activity", "url", m_url);
    if (m_url.empty())
        return 0;
    CWkeWebkitUI* view = controls::Find<CWkeWebkitUI>(m_pm, L"huodong", L"WbkWebkitUI");
    if (view == nullptr)
        return 0;
    controls::SetVisible(m_pm, L"huodong", true);
    view->Load(AnsiToWide(m_url).c_str());
    return 0;
}

void CDlgActivity::Notify(TNotifyRecord& msg)
{
    CDlgBase::Notify(msg);
    if (msg.pSender == nullptr || _wcsicmp(msg.sType.GetData(), L"click") != 0)
        return;
    CUIString name = msg.pSender->GetName();
    consoleevents::Raise(L"notify", L"click", name.GetData());
    if (_wcsicmp(name.GetData(), L"cancleBtn") == 0 || _wcsicmp(name.GetData(), L"close_btn") == 0)
        Close(0);
    else if (_wcsicmp(name.GetData(), L"min_btn") == 0)
        ::SendMessageW(m_hWnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
}
