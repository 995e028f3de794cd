// Tree view: a list whose items are tree nodes. Every node, at any depth, is one row of the list,
// placed after its parent's earlier descendants; expanding and collapsing shows and hides rows, and
// each row's dotted line (2 + 16 x depth pixels) does the indenting. The list owns and destroys
// the node controls; a node's child array and its parent pointer do not own. The tree view wires
// itself to every node it takes in through member-function delegates.
#pragma once
#include "UIDefs.h"
#include "UIDelegate.h"
#include "UIList.h"
#include "UIListElement.h"
#include "UIHorizontalLayout.h"
#include "UILabel.h"
#include "UIOption.h"
#include "UIManager.h"

namespace Veneer {

class CTreeViewUI;

// Delegate on a member function bool (T::*)(void*) of an object of class O (derived from T).
// Equality needs a plain key per member function, since member pointers do not convert to void*.
template <class O, class T> class CDelegate : public CDelegateBase
{
public:
    typedef bool (T::*Fn)(void*);
    CDelegate(O* pObj, Fn pFn, const void* pKey)
        : CDelegateBase(pObj, const_cast<void*>(pKey)), m_pObj(pObj), m_pFn(pFn)
    {
    }
    CDelegate(const CDelegate& rhs) : CDelegateBase(rhs), m_pObj(rhs.m_pObj), m_pFn(rhs.m_pFn) {}
    CDelegateBase* Copy() const override { return new CDelegate(*this); }
    bool Invoke(void* param) override { return (m_pObj->*m_pFn)(param); }

private:
    O* m_pObj;
    Fn m_pFn;
};

class VENEER_API CTreeNodeUI : public CListContainerElementUI
{
public:
    explicit CTreeNodeUI(CTreeNodeUI* pParent = NULL);
    ~CTreeNodeUI() override;

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* pstrName) override;
    void DoEvent(tagTEventUI& event) override;
    void SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue) override;
    bool Add(CControlUI* pControl) override;
    bool AddAt(CControlUI* pControl, int iIndex) override;
    bool Select(bool bSelect = true, bool bTakeFocus = false) override;

    bool AddChildNode(CTreeNodeUI* pChild);
    CTreeNodeUI* PrepareChild(CTreeNodeUI* pChild);
    int GetRowIndex();
    CTreeNodeUI* GetLastDescendant();
    bool HasChildren() const;
    int GetChildCount() const;
    CTreeNodeUI* GetChildAt(int iIndex) const;
    // The node whose child array holds this one; none for a top-level node.
    CTreeNodeUI* GetParentNode() const;
    // Takes the child out of the child array (nothing when it is not there).
    void RemoveChildNode(CTreeNodeUI* pChild);
    void SetOwnerTree(CTreeViewUI* pTreeView);
    CTreeViewUI* GetTreeView() const;

    void SetVisibleFolderBtn(bool bVisible);
    bool GetVisibleFolderBtn() const;
    void SetVisibleCheckBtn(bool bVisible);
    bool GetVisibleCheckBtn() const;

    void SetItemTextColor(DWORD dwColor);
    DWORD GetItemTextColor() const;
    void SetItemHotTextColor(DWORD dwColor);
    DWORD GetItemHotTextColor() const;
    void SetSelItemTextColor(DWORD dwColor);
    DWORD GetSelItemTextColor() const;
    void SetSelItemHotTextColor(DWORD dwColor);
    DWORD GetSelItemHotTextColor() const;

    CHorizontalLayoutUI* GetTreeNodeHorizontal() const { return m_pHoriz; }
    CCheckBoxUI* GetFolderButton() const { return m_pFolderButton; }
    CLabelUI* GetDottedLine() const { return m_pDottedLine; }
    CCheckBoxUI* GetCheckBox() const { return m_pCheckBox; }
    COptionUI* GetItemButton() const { return m_pItemButton; }

protected:
    DWORD m_dwItemTextColor;
    DWORD m_dwItemHotTextColor;
    DWORD m_dwSelItemTextColor;
    DWORD m_dwSelItemHotTextColor;
    CTreeViewUI* m_pTreeView;
    CHorizontalLayoutUI* m_pHoriz;
    CCheckBoxUI* m_pFolderButton;
    CLabelUI* m_pDottedLine;
    CCheckBoxUI* m_pCheckBox;
    COptionUI* m_pItemButton;
    CUIPtrArray m_aTreeNodes;
    CTreeNodeUI* m_pParentTreeNode;
};

class VENEER_API CTreeViewUI : public CListUI, public INotifyUI
{
public:
    CTreeViewUI();
    ~CTreeViewUI() override;

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* pstrName) override;
    void SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue) override;
    void Notify(TNotifyRecord& msg) override;

    bool Add(CControlUI* pControl) override;
    bool AddAt(CControlUI* pControl, int iIndex) override;
    bool Remove(CControlUI* pControl, bool bDoNotDestroy = false) override;
    bool RemoveAt(int iIndex, bool bDoNotDestroy = false) override;
    void RemoveAll() override;

    virtual bool OnCheckBoxChanged(void* param);
    virtual bool OnFolderChanged(void* param);
    virtual bool OnItemDbClick(void* param);
    virtual bool SetItemCheckBox(bool bSelected, CTreeNodeUI* pTreeNode = NULL);
    virtual void SetItemExpand(bool bExpanded, CTreeNodeUI* pTreeNode = NULL);
    virtual void SetVisibleFolderBtn(bool bVisible);
    virtual bool GetVisibleFolderBtn() const;
    virtual void SetVisibleCheckBtn(bool bVisible);
    virtual bool GetVisibleCheckBtn() const;
    virtual void SetItemMinWidth(UINT uWidth);
    virtual UINT GetItemMinWidth() const;
    virtual void SetItemTextColor(DWORD dwColor);
    virtual void SetItemHotTextColor(DWORD dwColor);
    virtual void SetSelItemTextColor(DWORD dwColor);
    virtual void SetSelItemHotTextColor(DWORD dwColor);

    int InsertNodeAt(CTreeNodeUI* pNode, int iIndex);
    bool InsertNodeBefore(CTreeNodeUI* pNode, CTreeNodeUI* pBefore);

protected:
    // Joins the tree's delegates to the node and gives it the tree-wide settings.
    void WireNode(CTreeNodeUI* pNode);
    // Puts the node's row at iIndex and its descendants' rows after it, depth first; answers the
    // position after the last of them, or -1. A descendant row that is already in the list (it
    // stayed when its ancestor was taken out) is moved there, not listed a second time.
    int PlaceSubtree(CTreeNodeUI* pNode, int iIndex);

    UINT m_uItemMinWidth;
    bool m_bVisibleFolderBtn;
    bool m_bVisibleCheckBtn;
};

} // namespace Veneer
