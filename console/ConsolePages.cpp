#include "ConsolePages.h"
#include <new>
#include <wchar.h>
#include "CodePage.h"
#include "ConsoleEvents.h"
#include "ConsoleGlobals.h"
#include "UIEdit.h"
#include "WkeWebkitUI.h"

using namespace Veneer;

CControlUI* FindInSubtree(CControlUI* root, const wchar_t* name)
{
    if (root == nullptr || name == nullptr)
        return nullptr;
    if (root->GetName() == name)
        return root;
    IContainerUI* container = static_cast<IContainerUI*>(root->GetInterface(L"IContainer"));
    if (container == nullptr)
        return nullptr;
    for (int i = 0; i < container->GetCount(); ++i)
        if (CControlUI* found = FindInSubtree(container->GetItemAt(i), name))
            return found;
    return nullptr;
}

namespace {

// Builds the page's skin into the page and registers the page for notifications; a skin that
// cannot be built leaves the page empty.
void BuildPage(CContainerUI* page, INotifyUI* notifier, const wchar_t* skin, IDialogBuilderCallback* callback)
{
    CPaintManagerUI* manager = page->GetManager();
    CDialogBuilder builder;
    CControlUI* root = builder.Create(STRINGorID(skin), nullptr, callback, manager, nullptr);
    if (root != nullptr) {
        page->Add(root);
        if (manager != nullptr)
            manager->AddNotifier(notifier);
    } else {
        page->RemoveAll();
    }
}

}  // namespace

CKaiHuDlg::CKaiHuDlg() = default;

CKaiHuDlg::~CKaiHuDlg()
{
    if (CPaintManagerUI* manager = GetManager())
        manager->RemoveNotifier(this);
}

void CKaiHuDlg::DoInit() { BuildPage(this, this, L"KaiHu.xml", nullptr); }

void CKaiHuDlg::Notify(TNotifyRecord& msg)
{
    if (!IsVisible() || msg.pSender == nullptr || wcscmp(msg.sType.GetData(), L"click") != 0)
        return;
    // The account-opening list is the skin's own; the page only recognises its option.
    if (msg.pSender->GetName() == L"OrderListOpt")
        consoleevents::Raise(L"notify", L"click", L"OrderListOpt");
}

CSystempSettingDlg::CSystempSettingDlg() = default;

CSystempSettingDlg::~CSystempSettingDlg()
{
    if (CPaintManagerUI* manager = GetManager())
        manager->RemoveNotifier(this);
}

// The settings page has nothing to act on: its fields are not saved anywhere.
void CSystempSettingDlg::Notify(TNotifyRecord&) {}

CControlUI* CSystempSettingDlg::CreateControl(const wchar_t* pstrClass)
{
    if (pstrClass != nullptr && wcscmp(pstrClass, L"WbkWebkit") == 0)
        return new (std::nothrow) CWkeWebkitUI();
    return nullptr;
}

void CSystempSettingDlg::DoInit()
{
    BuildPage(this, this, L"SystemSetting.xml", this);
    struct Field {
        const wchar_t* name;
        const std::string& value;
        bool readOnly;
    } fields[] = {
        {L"netbarname", g_netbarInfo.strname, false}, {L"netbarcode", g_netbarInfo.code, true},
        {L"fuzeren", g_netbarInfo.person, false},     {L"telephone", g_netbarInfo.phone, true},
        {L"address", g_netbarInfo.address, false},
    };
    for (const Field& f : fields) {
        CControlUI* control = FindInSubtree(this, f.name);
        CEditUI* edit = control ? static_cast<CEditUI*>(control->GetInterface(L"Edit")) : nullptr;
        if (edit == nullptr)
            continue;
        std::wstring text = AnsiToWide(f.value);
        edit->SetText(text.c_str());
        edit->SetReadOnly(f.readOnly);
        consoleevents::Raise(L"text", f.name, text);
        consoleevents::Raise(L"readonly", f.name, f.readOnly ? L"1" : L"0");
    }
    CControlUI* control = FindInSubtree(this, L"changsuoditu");
    CWkeWebkitUI* map = control ? static_cast<CWkeWebkitUI*>(control->GetInterface(L"WbkWebkitUI")) : nullptr;
    if (map != nullptr) {
        map->SetVisible(true);
        map->Load(AnsiToWide(g_netbarInfo.address_url).c_str());
        consoleevents::RaiseA(L"map", "changsuoditu", g_netbarInfo.address_url);
    }
}
