// Text dump of a control tree (class, name and position of every control, depth first), for
// tests that compare the trees that different skin sources give.
#pragma once

#include "UIControl.h"
#include "UIContainer.h"
#include "UIChildLayout.h"

#include <stdio.h>
#include <string>

namespace skintest {

inline void DumpInto(Veneer::CControlUI* p, int depth, std::wstring& out)
{
    const RECT& rc = p->GetPos();
    wchar_t line[256];
    swprintf(line, 256, L"%*s%ls '%ls' %ld,%ld,%ld,%ld\n", depth * 2, L"", p->GetClass(), p->GetName().GetData(),
             rc.left, rc.top, rc.right, rc.bottom);
    out += line;
    Veneer::IContainerUI* pContainer = static_cast<Veneer::IContainerUI*>(p->GetInterface(L"IContainer"));
    // A child layout hides its container from the builder; its content counts here all the same.
    if (pContainer == NULL && p->GetInterface(L"ChildLayout") != NULL)
        pContainer = static_cast<Veneer::CChildLayoutUI*>(p->GetInterface(L"ChildLayout"));
    if (pContainer == NULL) return;
    for (int i = 0; i < pContainer->GetCount(); ++i) DumpInto(pContainer->GetItemAt(i), depth + 1, out);
}

inline std::wstring DumpTree(Veneer::CControlUI* root)
{
    std::wstring out;
    if (root == NULL) return L"<null>";
    DumpInto(root, 0, out);
    return out;
}

} // namespace skintest
