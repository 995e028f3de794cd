#include "UIChildLayout.h"
#include "UIDlgBuilder.h"
#include <wchar.h>

namespace Veneer {

CChildLayoutUI::CChildLayoutUI() {}

CChildLayoutUI::~CChildLayoutUI() {}

const wchar_t* CChildLayoutUI::GetClass() const
{
    return L"ChildLayout";
}

// Only its own name: a child layout is not offered to the builder as a container, so elements
// written inside its tag are not added; its content comes from its file alone.
void* CChildLayoutUI::GetInterface(const wchar_t* pstrName)
{
    if (wcscmp(pstrName, L"ChildLayout") == 0)
        return static_cast<CChildLayoutUI*>(this);
    return CControlUI::GetInterface(pstrName);
}

void CChildLayoutUI::SetXmlFile(const wchar_t* pstrFile)
{
    m_pstrXMLFile = pstrFile;
}

void CChildLayoutUI::SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue)
{
    if (wcscmp(pstrName, L"xmlfile") == 0)
        SetXmlFile(pstrValue);
    else
        CContainerUI::SetAttribute(pstrName, pstrValue);
}

namespace {
// Child layouts being built inside one another right now. A file that names itself (directly or
// through another file) would otherwise build until the stack overflows; the same bound as for
// nested includes ends it.
int s_nBuildDepth = 0;
const int kMaxChildLayoutDepth = 8;
} // namespace

void CChildLayoutUI::Init()
{
    if (m_pstrXMLFile.IsEmpty())
        return;
    if (s_nBuildDepth >= kMaxChildLayoutDepth) {
        CUIString sLine = L"Veneer: child layouts nested too deep, not built: ";
        sLine += m_pstrXMLFile;
        sLine += L"\n";
        ::OutputDebugStringW(sLine.GetData());
        return;
    }
    CDialogBuilder builder;
    ++s_nBuildDepth;
    CControlUI* pChildWindow =
        builder.Create(STRINGorID(m_pstrXMLFile.GetData()), NULL, NULL, m_pManager, NULL);
    IContainerUI* pContainer = static_cast<IContainerUI*>(this);
    if (pChildWindow != NULL)
        pContainer->Add(pChildWindow);
    else
        pContainer->RemoveAll();
    --s_nBuildDepth;
}

} // namespace Veneer
