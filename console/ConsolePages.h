// The main frame's account-opening and settings pages: containers that build their content from
// a skin of their own when the frame's skin instantiates them by tag ("KaiHuDlg" on KaiHu.xml,
// "SystemSettingDlg" on SystemSetting.xml). The frame's control tree owns the pages, each page
// owns the tree built from its skin. Neither page sends anything.
//
// The frame's one name map holds every page, and some names repeat across skins ("headimg"), so
// the pages find their controls inside their own subtree.
#pragma once
#include "UIContainer.h"
#include "UIDlgBuilder.h"
#include "UIManager.h"

// The control of that name inside the subtree (the root included); null when there is none.
Veneer::CControlUI* FindInSubtree(Veneer::CControlUI* root, const wchar_t* name);

class CKaiHuDlg : public Veneer::CContainerUI, public Veneer::INotifyUI {
public:
    CKaiHuDlg();
    ~CKaiHuDlg() override;
    void DoInit() override;
    void Notify(Veneer::TNotifyRecord& msg) override;
};

class CSystempSettingDlg : public Veneer::CContainerUI, public Veneer::INotifyUI,
                           public Veneer::IDialogBuilderCallback {
public:
    CSystempSettingDlg();
    ~CSystempSettingDlg() override;
    void DoInit() override;
    void Notify(Veneer::TNotifyRecord& msg) override;
    // "WbkWebkit" yields a web view; any other tag nothing.
    Veneer::CControlUI* CreateControl(const wchar_t* pstrClass) override;
};
