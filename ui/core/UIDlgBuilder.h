// The dialog builder: turns a skin (XML) into a tree of controls, registers the skin's fonts,
// images, default attribute lists and language strings with the paint manager, and applies the
// root element's window attributes. Controls are created through a factory keyed by tag name; tags
// it does not know go to the registered plug-in creators and then to the application.
#pragma once
#include "UIDefs.h"
#include "UIBase.h"
#include "UIMarkup.h"

namespace Veneer {

class CControlUI;
class CPaintManagerUI;

// The application's hook for tags of its own.
class IDialogBuilderCallback
{
public:
    virtual CControlUI* CreateControl(const wchar_t* pstrClass) = 0;
};

// A plug-in control creator, kept in CPaintManagerUI::GetPlugins(); null for tags it does not know.
typedef CControlUI* (*LPCREATECONTROL)(const wchar_t* pstrType);

class VENEER_API CDialogBuilder
{
public:
    CDialogBuilder();
    ~CDialogBuilder();

    CControlUI* Create(STRINGorID xml, const wchar_t* type = NULL, IDialogBuilderCallback* pCallback = NULL,
                       CPaintManagerUI* pManager = NULL, CControlUI* pParent = NULL);
    CControlUI* Create(IDialogBuilderCallback* pCallback = NULL, CPaintManagerUI* pManager = NULL,
                       CControlUI* pParent = NULL);

private:
    // The control the factory makes for a tag, or null when the tag is not one of the framework's.
    static CControlUI* CreateFrameworkControl(const wchar_t* pstrClass);

    CDialogBuilder(const CDialogBuilder&) = delete;
    CDialogBuilder& operator=(const CDialogBuilder&) = delete;

    CControlUI* BuildChildren(CUIXmlNode* pRoot, CControlUI* pParent = NULL, CPaintManagerUI* pManager = NULL);

    CUIXmlDoc m_xml;
    IDialogBuilderCallback* m_pCallback;
    const wchar_t* m_pstrtype;
    // How deep this builder sits inside "Include" elements; nested includes stop at a limit.
    int m_nIncludeDepth;
};

} // namespace Veneer
