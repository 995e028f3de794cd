// Checked access to the named controls of a skin: a control that is missing, or that is not of
// the kind the code expects, makes its step do nothing and reads as an empty text. Texts and
// visibility set through here also reach the test hook.
#pragma once
#include <string>
#include "UIControl.h"
#include "UIManager.h"

namespace controls {

// The named control when the skin has it and it answers the interface (a class name such as
// "Option", "TabLayout" or "Control" for any control); null otherwise.
template <class T>
T* Find(Veneer::CPaintManagerUI& manager, const wchar_t* name, const wchar_t* interfaceName)
{
    Veneer::CControlUI* control = manager.FindControl(name);
    if (control == nullptr)
        return nullptr;
    return static_cast<T*>(control->GetInterface(interfaceName));
}

inline Veneer::CControlUI* FindAny(Veneer::CPaintManagerUI& manager, const wchar_t* name)
{
    return Find<Veneer::CControlUI>(manager, name, L"Control");
}

std::wstring GetText(Veneer::CPaintManagerUI& manager, const wchar_t* name);
void SetText(Veneer::CPaintManagerUI& manager, const wchar_t* name, const std::wstring& text);
void SetVisible(Veneer::CPaintManagerUI& manager, const wchar_t* name, bool visible);
// A status text: shown with the text.
void Show(Veneer::CPaintManagerUI& manager, const wchar_t* name, const std::wstring& text);

}  // namespace controls
