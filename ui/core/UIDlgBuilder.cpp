#include "UIDlgBuilder.h"
#include "UIManager.h"
#include "UIControl.h"
#include "UIContainer.h"
#include "UIScrollBar.h"
#include "UIVerticalLayout.h"
#include "UIHorizontalLayout.h"
#include "UITileLayout.h"
#include "UITabLayout.h"
#include "UIChildLayout.h"
#include "UILabel.h"
#include "UIButton.h"
#include "UIOption.h"
#include "UIProgress.h"
#include "UISlider.h"
#include "UIEdit.h"
#include "UIRichEdit.h"
#include "UIText.h"
#include "UIGifAnim.h"
#include "UIDateTime.h"
#include "UIList.h"
#include "UIListHeader.h"
#include "UIListElement.h"
#include "UICombo.h"
#include "UIActiveX.h"
#include "UIWebBrowser.h"
#include "UITreeView.h"

#include <wchar.h>
#include <stdlib.h>

namespace Veneer {

// ---------------------------------------------------------------------------------------------
// Tag factory

namespace {

template <class T>
CControlUI* NewControl()
{
    return new T;
}

struct TTagCreator {
    const wchar_t* pstrTag;
    bool bExactCase;             // only "GifAnim" is matched with its letter case
    CControlUI* (*pfnCreate)();
};

// Every tag the framework knows. A control family that joins the framework adds its line here
// (and its header above).
const TTagCreator kTagFactory[] = {
    {L"Control", false, &NewControl<CControlUI>},
    {L"Container", false, &NewControl<CContainerUI>},
    {L"ScrollBar", false, &NewControl<CScrollBarUI>},
    {L"VerticalLayout", false, &NewControl<CVerticalLayoutUI>},
    {L"VBox", false, &NewControl<CVerticalLayoutUI>},
    {L"HorizontalLayout", false, &NewControl<CHorizontalLayoutUI>},
    {L"HBox", false, &NewControl<CHorizontalLayoutUI>},
    {L"TileLayout", false, &NewControl<CTileLayoutUI>},
    {L"TabLayout", false, &NewControl<CTabLayoutUI>},
    {L"ChildLayout", false, &NewControl<CChildLayoutUI>},
    {L"Label", false, &NewControl<CLabelUI>},
    {L"Button", false, &NewControl<CButtonUI>},
    {L"Option", false, &NewControl<COptionUI>},
    {L"CheckBox", false, &NewControl<CCheckBoxUI>},
    {L"Progress", false, &NewControl<CProgressUI>},
    {L"Slider", false, &NewControl<CSliderUI>},
    {L"Edit", false, &NewControl<CEditUI>},
    {L"RichEdit", false, &NewControl<CRichEditUI>},
    {L"Text", false, &NewControl<CTextUI>},
    {L"GifAnim", true, &NewControl<CGifAnimUI>},
    {L"DateTime", false, &NewControl<CDateTimeUI>},
    {L"List", false, &NewControl<CListUI>},
    {L"ListHeader", false, &NewControl<CListHeaderUI>},
    {L"ListHeaderItem", false, &NewControl<CListHeaderItemUI>},
    {L"ListLabelElement", false, &NewControl<CListLabelElementUI>},
    {L"ListTextElement", false, &NewControl<CListTextElementUI>},
    {L"ListContainerElement", false, &NewControl<CListContainerElementUI>},
    {L"ListHBoxElement", false, &NewControl<CListHBoxElementUI>},
    {L"Combo", false, &NewControl<CComboUI>},
    {L"ComboBox", false, &NewControl<CComboUI>},
    {L"ActiveX", false, &NewControl<CActiveXUI>},
    {L"WebBrowser", false, &NewControl<CWebBrowserUI>},
    {L"TreeView", false, &NewControl<CTreeViewUI>},
    {L"Tree", false, &NewControl<CTreeViewUI>},
    {L"TreeNode", false, &NewControl<CTreeNodeUI>},
};

// Tags that the builder reads itself.
bool IsResourceTag(const wchar_t* pstrClass)
{
    return _wcsicmp(pstrClass, L"Image") == 0 || _wcsicmp(pstrClass, L"Font") == 0 ||
           _wcsicmp(pstrClass, L"Default") == 0 || _wcsicmp(pstrClass, L"MultiLanguage") == 0;
}

// Reads one attribute (name matched exactly) into a fixed buffer, always terminated.
bool ReadAttribute(CUIXmlNode& node, const wchar_t* pstrName, wchar_t* szValue, int cchMax)
{
    szValue[0] = L'\0';
    if (!node.GetAttributeValue(pstrName, szValue, cchMax - 1)) return false;
    szValue[cchMax - 1] = L'\0';
    return true;
}

bool IsTrueNoCase(const wchar_t* pstrValue)
{
    return _wcsicmp(pstrValue, L"true") == 0;
}

// Nested "Include" elements stop here, so that a skin that includes itself ends.
const int kMaxIncludeDepth = 8;

} // namespace

CControlUI* CDialogBuilder::CreateFrameworkControl(const wchar_t* pstrClass)
{
    size_t cchClass = wcslen(pstrClass);
    for (const TTagCreator& entry : kTagFactory) {
        if (wcslen(entry.pstrTag) != cchClass) continue;
        int cmp = entry.bExactCase ? wcscmp(pstrClass, entry.pstrTag) : _wcsicmp(pstrClass, entry.pstrTag);
        if (cmp == 0) return entry.pfnCreate();
    }
    return NULL;
}

// ---------------------------------------------------------------------------------------------
// Builder

CDialogBuilder::CDialogBuilder() : m_pCallback(NULL), m_pstrtype(NULL), m_nIncludeDepth(0) {}

CDialogBuilder::~CDialogBuilder() { m_xml.Release(); }

CControlUI* CDialogBuilder::Create(STRINGorID xml, const wchar_t* type, IDialogBuilderCallback* pCallback,
                                   CPaintManagerUI* pManager, CControlUI* pParent)
{
    if (!IS_INTRESOURCE(xml.m_lpstr)) {
        if (xml.m_lpstr[0] == L'<') {
            if (!m_xml.Load(xml.m_lpstr)) return NULL;
        } else {
            if (!m_xml.LoadFromFile(xml.m_lpstr, CUIXmlDoc::XMLFILE_ENCODING_UTF8)) return NULL;
        }
    } else {
        HINSTANCE hDll = CPaintManagerUI::GetResourceDll();
        HRSRC hResource = ::FindResourceW(hDll, xml.m_lpstr, type);
        if (hResource == NULL) return NULL;
        HGLOBAL hGlobal = ::LoadResource(hDll, hResource);
        if (hGlobal == NULL) return NULL;
        m_pCallback = pCallback;
        bool bLoaded = m_xml.LoadFromBytes(::LockResource(hGlobal), ::SizeofResource(hDll, hResource),
                                           CUIXmlDoc::XMLFILE_ENCODING_UTF8);
        ::FreeResource(hGlobal);
        if (!bLoaded) return NULL;
        m_pstrtype = type;
    }
    return Create(pCallback, pManager, pParent);
}

CControlUI* CDialogBuilder::Create(IDialogBuilderCallback* pCallback, CPaintManagerUI* pManager,
                                   CControlUI* pParent)
{
    m_pCallback = pCallback;
    CUIXmlNode root = m_xml.GetRoot();
    if (!root.IsValid()) return NULL;

    if (pManager != NULL) {
        for (CUIXmlNode node = root.GetChild(); node.IsValid(); node = node.GetSibling()) {
            const wchar_t* pstrClass = node.GetName();
            int nAttributes = node.GetAttributeCount();
            if (_wcsicmp(pstrClass, L"Image") == 0) {
                const wchar_t* pImageName = NULL;
                const wchar_t* pImageResType = NULL;
                DWORD mask = 0;
                bool shared = false;
                for (int i = 0; i < nAttributes; ++i) {
                    const wchar_t* pstrName = node.GetAttributeName(i);
                    const wchar_t* pstrValue = node.GetAttributeValue(i);
                    if (_wcsicmp(pstrName, L"name") == 0) {
                        pImageName = pstrValue;
                    } else if (_wcsicmp(pstrName, L"restype") == 0) {
                        pImageResType = pstrValue;
                    } else if (_wcsicmp(pstrName, L"mask") == 0) {
                        if (*pstrValue == L'#') ++pstrValue;
                        mask = static_cast<DWORD>(wcstoul(pstrValue, NULL, 16));
                    } else if (_wcsicmp(pstrName, L"shared") == 0) {
                        shared = IsTrueNoCase(pstrValue);
                    }
                }
                if (pImageName != NULL) pManager->AddImage(pImageName, pImageResType, mask, false, shared);
            } else if (_wcsicmp(pstrClass, L"Font") == 0) {
                int id = -1;
                const wchar_t* pFontName = NULL;
                int size = 12;
                bool bold = false, underline = false, italic = false, defaultfont = false, shared = false;
                for (int i = 0; i < nAttributes; ++i) {
                    const wchar_t* pstrName = node.GetAttributeName(i);
                    const wchar_t* pstrValue = node.GetAttributeValue(i);
                    if (_wcsicmp(pstrName, L"id") == 0) {
                        id = static_cast<int>(wcstol(pstrValue, NULL, 10));
                    } else if (_wcsicmp(pstrName, L"name") == 0) {
                        pFontName = pstrValue;
                    } else if (_wcsicmp(pstrName, L"size") == 0) {
                        size = static_cast<int>(wcstol(pstrValue, NULL, 10));
                    } else if (_wcsicmp(pstrName, L"bold") == 0) {
                        bold = IsTrueNoCase(pstrValue);
                    } else if (_wcsicmp(pstrName, L"underline") == 0) {
                        underline = IsTrueNoCase(pstrValue);
                    } else if (_wcsicmp(pstrName, L"italic") == 0) {
                        italic = IsTrueNoCase(pstrValue);
                    } else if (_wcsicmp(pstrName, L"default") == 0) {
                        defaultfont = IsTrueNoCase(pstrValue);
                    } else if (_wcsicmp(pstrName, L"shared") == 0) {
                        shared = IsTrueNoCase(pstrValue);
                    }
                }
                if (id >= 0 && pFontName != NULL) {
                    pManager->AddFont(id, pFontName, size, bold, underline, italic, shared);
                    if (defaultfont) pManager->SetDefaultFont(pFontName, size, bold, underline, italic, shared);
                }
            } else if (_wcsicmp(pstrClass, L"Default") == 0) {
                const wchar_t* pControlName = NULL;
                const wchar_t* pControlValue = NULL;
                bool shared = false;
                for (int i = 0; i < nAttributes; ++i) {
                    const wchar_t* pstrName = node.GetAttributeName(i);
                    const wchar_t* pstrValue = node.GetAttributeValue(i);
                    if (_wcsicmp(pstrName, L"name") == 0) {
                        pControlName = pstrValue;
                    } else if (_wcsicmp(pstrName, L"value") == 0) {
                        pControlValue = pstrValue;
                    } else if (_wcsicmp(pstrName, L"shared") == 0) {
                        shared = IsTrueNoCase(pstrValue);
                    }
                }
                if (pControlName != NULL)
                    pManager->AddDefaultAttributeList(pControlName, pControlValue != NULL ? pControlValue : L"",
                                                      shared);
            } else if (_wcsicmp(pstrClass, L"MultiLanguage") == 0) {
                int id = -1;
                const wchar_t* pMultiLanguage = NULL;
                for (int i = 0; i < nAttributes; ++i) {
                    const wchar_t* pstrName = node.GetAttributeName(i);
                    const wchar_t* pstrValue = node.GetAttributeValue(i);
                    if (_wcsicmp(pstrName, L"id") == 0) {
                        id = static_cast<int>(wcstol(pstrValue, NULL, 10));
                    } else if (_wcsicmp(pstrName, L"value") == 0) {
                        pMultiLanguage = pstrValue;
                    }
                }
                if (id >= 0 && pMultiLanguage != NULL) CPaintManagerUI::AddMultiLanguageString(id, pMultiLanguage);
            }
        }

        if (_wcsicmp(root.GetName(), L"Window") == 0 && pManager->GetPaintWindow() != NULL) {
            int nAttributes = root.GetAttributeCount();
            for (int i = 0; i < nAttributes; ++i)
                pManager->SetWindowAttribute(root.GetAttributeName(i), root.GetAttributeValue(i));
        }
    }
    return BuildChildren(&root, pParent, pManager);
}

CControlUI* CDialogBuilder::BuildChildren(CUIXmlNode* pRoot, CControlUI* pParent, CPaintManagerUI* pManager)
{
    IContainerUI* pContainer = NULL;
    CControlUI* pReturn = NULL;
    for (CUIXmlNode node = pRoot->GetChild(); node.IsValid(); node = node.GetSibling()) {
        const wchar_t* pstrClass = node.GetName();
        if (IsResourceTag(pstrClass)) continue;

        if (_wcsicmp(pstrClass, L"Include") == 0) {
            if (!node.HasAttributes()) continue;
            wchar_t szValue[500];
            int count = 1;
            if (ReadAttribute(node, L"count", szValue, 500)) count = _wtoi(szValue);
            if (!ReadAttribute(node, L"source", szValue, 500)) continue;
            if (m_nIncludeDepth >= kMaxIncludeDepth) continue;
            CDialogBuilder builder;
            builder.m_nIncludeDepth = m_nIncludeDepth + 1;
            for (int i = 0; i < count; ++i) {
                if (i == 0 && !builder.m_xml.IsValid()) {
                    if (m_pstrtype != NULL)
                        builder.Create(STRINGorID(static_cast<UINT>(_wtoi(szValue))), m_pstrtype, m_pCallback,
                                       pManager, pParent);
                    else
                        builder.Create(STRINGorID(szValue), NULL, m_pCallback, pManager, pParent);
                } else {
                    builder.Create(m_pCallback, pManager, pParent);
                }
            }
            continue;
        }

        if (_wcsicmp(pstrClass, L"TreeNode") == 0) {
            // Nodes live only inside a tree view or another node; without a parent there is
            // nothing to ask, so the element builds nothing.
            if (pParent == NULL) continue;
            CControlUI* pParentTreeNode = static_cast<CControlUI*>(pParent->GetInterface(L"TreeNode"));
            CControlUI* pNode = CreateFrameworkControl(L"TreeNode");
            if (pNode == NULL) continue;
            if (pParentTreeNode != NULL) {
                IContainerUI* pNodeContainer = static_cast<IContainerUI*>(pParentTreeNode->GetInterface(L"IContainer"));
                if (pNodeContainer == NULL || !pNodeContainer->Add(pNode)) {
                    pNode->Delete();
                    continue;
                }
            }
            if (pManager != NULL) {
                pNode->SetManager(pManager, NULL, false);
                const wchar_t* pDefaultAttributes = pManager->GetDefaultAttributeList(L"TreeNode");
                if (pDefaultAttributes != NULL) pNode->SetAttributeList(pDefaultAttributes);
            }
            int nAttributes = node.GetAttributeCount();
            for (int i = 0; i < nAttributes; ++i)
                pNode->SetAttribute(node.GetAttributeName(i), node.GetAttributeValue(i));
            if (node.HasChildren()) BuildChildren(&node, pNode, pManager);
            if (pParentTreeNode == NULL) {
                CControlUI* pTreeView = static_cast<CControlUI*>(pParent->GetInterface(L"TreeView"));
                if (pTreeView == NULL) {
                    // Nobody would own the node.
                    pNode->Delete();
                    return NULL;
                }
                IContainerUI* pTreeContainer = static_cast<IContainerUI*>(pTreeView->GetInterface(L"IContainer"));
                if (pTreeContainer == NULL || !pTreeContainer->Add(pNode)) {
                    pNode->Delete();
                    continue;
                }
            }
            continue;
        }

        CControlUI* pControl = CreateFrameworkControl(pstrClass);
        if (pControl == NULL) {
            CUIPtrArray* pPlugins = CPaintManagerUI::GetPlugins();
            for (int i = 0; i < pPlugins->GetSize() && pControl == NULL; ++i) {
                LPCREATECONTROL lpCreateControl = reinterpret_cast<LPCREATECONTROL>(pPlugins->GetAt(i));
                if (lpCreateControl != NULL) pControl = lpCreateControl(pstrClass);
            }
        }
        if (pControl == NULL && m_pCallback != NULL) pControl = m_pCallback->CreateControl(pstrClass);
        if (pControl == NULL) continue;

        if (node.HasChildren()) BuildChildren(&node, pControl, pManager);

        if (pParent != NULL) {
            wchar_t szCover[256];
            if (ReadAttribute(node, L"cover", szCover, 256) && wcscmp(szCover, L"true") == 0) {
                pParent->SetCover(pControl);
            } else {
                CControlUI* pParentTreeNode = static_cast<CControlUI*>(pParent->GetInterface(L"TreeNode"));
                if (pParentTreeNode != NULL) {
                    // A node's only container child is its row.
                    IContainerUI* pNodeContainer =
                        static_cast<IContainerUI*>(pParentTreeNode->GetInterface(L"IContainer"));
                    CControlUI* pRow = pNodeContainer != NULL ? pNodeContainer->GetItemAt(0) : NULL;
                    IContainerUI* pRowContainer =
                        pRow != NULL ? static_cast<IContainerUI*>(pRow->GetInterface(L"IContainer")) : NULL;
                    if (pRowContainer == NULL || !pRowContainer->Add(pControl)) {
                        pControl->Delete();
                        continue;
                    }
                } else {
                    if (pContainer == NULL) pContainer = static_cast<IContainerUI*>(pParent->GetInterface(L"IContainer"));
                    if (pContainer == NULL) {
                        pControl->Delete();
                        return NULL;
                    }
                    if (!pContainer->Add(pControl)) {
                        pControl->Delete();
                        continue;
                    }
                }
            }
        }

        if (pManager != NULL) {
            pControl->SetManager(pManager, NULL, false);
            const wchar_t* pDefaultAttributes = pManager->GetDefaultAttributeList(pstrClass);
            if (pDefaultAttributes != NULL) pControl->SetAttributeList(pDefaultAttributes);
        }
        int nAttributes = node.GetAttributeCount();
        for (int i = 0; i < nAttributes; ++i)
            pControl->SetAttribute(node.GetAttributeName(i), node.GetAttributeValue(i));
        if (pManager != NULL) pControl->SetManager(NULL, NULL, false);

        if (pReturn == NULL) pReturn = pControl;
    }
    return pReturn;
}

} // namespace Veneer
