// The activities dialog on huodong.xml: a modal skinned dialog whose web view "huodong" shows the
// café service's activities page, whose address the `activity` request gives. Without an address
// (failed or refused request, empty "url") the dialog stays without a page. The main frame
// constructs it, runs it modally and destroys it afterwards; the dialog owns nothing beyond its
// base's paint manager, which owns the web view.
#pragma once
#include <string>
#include "DlgBase.h"

class CDlgActivity : public CDlgBase {
public:
    explicit CDlgActivity(const wchar_t* skin);
    ~CDlgActivity() override;

    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;
    LRESULT OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    void Notify(Veneer::TNotifyRecord& msg) override;
    // "WbkWebkit" yields a web view; any other tag nothing.
    Veneer::CControlUI* CreateControl(const wchar_t* pstrClass) override;

    // The activities page's address kept from the request ("" when there is none).
    const std::string& GetUrl() const { return m_url; }

private:
    std::string m_url;
};
