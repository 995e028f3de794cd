#include "ControlAccess.h"
#include "ConsoleEvents.h"

using namespace Veneer;

namespace controls {

std::wstring GetText(CPaintManagerUI& manager, const wchar_t* name)
{
    CControlUI* control = FindAny(manager, name);
    if (control == nullptr)
        return std::wstring();
    CUIString text = control->GetText();
    return std::wstring(text.GetData());
}

void SetText(CPaintManagerUI& manager, const wchar_t* name, const std::wstring& text)
{
    CControlUI* control = FindAny(manager, name);
    if (control == nullptr)
        return;
    control->SetText(text.c_str());
    consoleevents::Raise(L"text", name, text);
}

void SetVisible(CPaintManagerUI& manager, const wchar_t* name, bool visible)
{
    CControlUI* control = FindAny(manager, name);
    if (control == nullptr)
        return;
    control->SetVisible(visible);
    consoleevents::Raise(L"visible", name, visible ? L"1" : L"0");
}

void Show(CPaintManagerUI& manager, const wchar_t* name, const std::wstring& text)
{
    SetVisible(manager, name, true);
    SetText(manager, name, text);
}

}  // namespace controls
