#include "UITreeView.h"
#include "UIListHeader.h"

namespace Veneer {

namespace {

// Keys that tell the tree's three delegates apart (a node's lists keep each one once).
const char kCheckBoxKey = 0;
const char kFolderKey = 0;
const char kDbClickKey = 0;

typedef CDelegate<CTreeViewUI, CTreeViewUI> TTreeDelegate;

// Hexadecimal colour with one optional leading "#".
DWORD ParseColor(const wchar_t* pstrValue)
{
    if (*pstrValue == L'#') ++pstrValue;
    return (DWORD)wcstoul(pstrValue, NULL, 16);
}

bool IsTreeNodeClass(CControlUI* pControl)
{
    return pControl != NULL && _wcsicmp(pControl->GetClass(), L"TreeNode") == 0;
}

CTreeNodeUI* AsTreeNode(CControlUI* pControl)
{
    return pControl != NULL ? static_cast<CTreeNodeUI*>(pControl->GetInterface(L"TreeNode")) : NULL;
}

// The node a row part (folder button, check box) belongs to: the parent of its row.
CTreeNodeUI* NodeOfPart(CControlUI* pPart)
{
    if (pPart == NULL || pPart->GetParent() == NULL) return NULL;
    return AsTreeNode(pPart->GetParent()->GetParent());
}

} // namespace

// ---------------------------------------------------------------------------------------------
// CTreeNodeUI

CTreeNodeUI::CTreeNodeUI(CTreeNodeUI* pParent)
    : m_dwItemTextColor(0), m_dwItemHotTextColor(0), m_dwSelItemTextColor(0), m_dwSelItemHotTextColor(0),
      m_pTreeView(NULL), m_pHoriz(new CHorizontalLayoutUI), m_pFolderButton(new CCheckBoxUI),
      m_pDottedLine(new CLabelUI), m_pCheckBox(new CCheckBoxUI), m_pItemButton(new COptionUI),
      m_pParentTreeNode(NULL)
{
    SetFixedHeight(18);
    SetFixedWidth(250);
    m_pFolderButton->SetFixedWidth(GetFixedHeight());
    m_pDottedLine->SetFixedWidth(2);
    m_pCheckBox->SetFixedWidth(GetFixedHeight());
    m_pItemButton->SetAttribute(L"align", L"left");
    m_pDottedLine->SetVisible(false);
    m_pCheckBox->SetVisible(false);
    m_pItemButton->SetMouseEnabled(false);

    // The parent's class decides only the dotted line: the row is always built, since every
    // later operation reaches into its parts.
    if (pParent != NULL && _wcsicmp(pParent->GetClass(), L"TreeNode") == 0) {
        m_pDottedLine->SetVisible(pParent->IsVisible());
        m_pDottedLine->SetFixedWidth(pParent->GetDottedLine()->GetFixedWidth() + 16);
    }

    m_pHoriz->Add(m_pDottedLine);
    m_pHoriz->Add(m_pFolderButton);
    m_pHoriz->Add(m_pCheckBox);
    m_pHoriz->Add(m_pItemButton);
    CContainerUI::Add(m_pHoriz);
}

CTreeNodeUI::~CTreeNodeUI()
{
    // Neither side may keep a pointer to a destroyed node.
    if (m_pParentTreeNode != NULL) m_pParentTreeNode->RemoveChildNode(this);
    for (int i = 0; i < m_aTreeNodes.GetSize(); ++i) {
        CTreeNodeUI* pChild = static_cast<CTreeNodeUI*>(m_aTreeNodes[i]);
        if (pChild != NULL && pChild->m_pParentTreeNode == this) pChild->m_pParentTreeNode = NULL;
    }
}

const wchar_t* CTreeNodeUI::GetClass() const { return L"TreeNode"; }

void* CTreeNodeUI::GetInterface(const wchar_t* pstrName)
{
    if (wcscmp(pstrName, L"TreeNode") == 0) return static_cast<CTreeNodeUI*>(this);
    return CListContainerElementUI::GetInterface(pstrName);
}

void CTreeNodeUI::DoEvent(tagTEventUI& event)
{
    if (!IsMouseEnabled() && event.Type >= UIEVENT__MOUSEBEGIN && event.Type <= UIEVENT__MOUSEEND) {
        if (m_pOwner != NULL)
            m_pOwner->DoEvent(event);
        else
            CContainerUI::DoEvent(event);
        return;
    }
    // Listeners of the row's notifications ("itemclick", "itemactivate", "itemdbclick") may
    // destroy this node: then nothing more is done.
    CControlWatch watch(this);
    CListContainerElementUI::DoEvent(event);
    if (!watch.IsAlive()) return;

    if (event.Type == UIEVENT_DBLCLICK) {
        if (IsEnabled()) {
            if (m_pManager != NULL) m_pManager->SendNotify(this, L"itemdbclick");
            if (watch.IsAlive()) InvalidateInContainer();
        }
        return;
    }
    if (event.Type == UIEVENT_MOUSEENTER) {
        if (IsEnabled()) {
            if (m_bSelected && m_dwSelItemHotTextColor != 0)
                m_pItemButton->SetTextColor(m_dwSelItemHotTextColor);
            else
                m_pItemButton->SetTextColor(m_dwItemHotTextColor);
        } else {
            m_pItemButton->SetTextColor(m_pItemButton->GetDisabledTextColor());
        }
        return;
    }
    if (event.Type == UIEVENT_MOUSELEAVE) {
        if (IsEnabled()) {
            if (m_bSelected && m_dwSelItemTextColor != 0)
                m_pItemButton->SetTextColor(m_dwSelItemTextColor);
            else if (!m_bSelected)
                m_pItemButton->SetTextColor(m_dwItemTextColor);
        } else {
            m_pItemButton->SetTextColor(m_pItemButton->GetDisabledTextColor());
        }
        return;
    }
}

void CTreeNodeUI::SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue)
{
    if (wcscmp(pstrName, L"text") == 0)
        m_pItemButton->SetText(pstrValue);
    else if (wcscmp(pstrName, L"horizattr") == 0)
        m_pHoriz->SetAttributeList(pstrValue);
    else if (wcscmp(pstrName, L"dotlineattr") == 0)
        m_pDottedLine->SetAttributeList(pstrValue);
    else if (wcscmp(pstrName, L"folderattr") == 0)
        m_pFolderButton->SetAttributeList(pstrValue);
    else if (wcscmp(pstrName, L"checkboxattr") == 0)
        m_pCheckBox->SetAttributeList(pstrValue);
    else if (wcscmp(pstrName, L"itemattr") == 0)
        m_pItemButton->SetAttributeList(pstrValue);
    else if (wcscmp(pstrName, L"itemtextcolor") == 0)
        SetItemTextColor(ParseColor(pstrValue));
    else if (wcscmp(pstrName, L"itemhottextcolor") == 0)
        SetItemHotTextColor(ParseColor(pstrValue));
    else if (wcscmp(pstrName, L"selitemtextcolor") == 0)
        SetSelItemTextColor(ParseColor(pstrValue));
    else if (wcscmp(pstrName, L"selitemhottextcolor") == 0)
        SetSelItemHotTextColor(ParseColor(pstrValue));
    else
        CListContainerElementUI::SetAttribute(pstrName, pstrValue);
}

bool CTreeNodeUI::Add(CControlUI* pControl)
{
    if (pControl == NULL) return false;
    if (IsTreeNodeClass(pControl)) return AddChildNode(static_cast<CTreeNodeUI*>(pControl));
    return m_pHoriz->Add(pControl);
}

bool CTreeNodeUI::AddAt(CControlUI* pControl, int iIndex)
{
    CTreeNodeUI* pChild = AsTreeNode(pControl);
    if (pChild == NULL) return false;

    CTreeNodeUI* pInsertNode = NULL;
    bool bAppended = false;
    CTreeNodeUI* pExisting = GetChildAt(iIndex);
    if (pExisting != NULL) {
        if (!m_aTreeNodes.InsertAt(iIndex, pChild)) return false;
        pInsertNode = pExisting;
    } else {
        // Past the last child the subtree goes after the parent's last descendant, as
        // AddChildNode places it, so that list order follows child order.
        if (m_pTreeView != NULL) {
            int iRow = GetLastDescendant()->GetRowIndex();
            if (iRow >= 0) pInsertNode = AsTreeNode(m_pTreeView->GetItemAt(iRow + 1));
        }
        if (!m_aTreeNodes.Add(pChild)) return false;
        bAppended = true;
    }

    PrepareChild(pChild);
    if (m_pTreeView == NULL) return true;
    bool bInserted = pInsertNode != NULL ? m_pTreeView->InsertNodeBefore(pChild, pInsertNode) : m_pTreeView->Add(pChild);
    if (!bInserted) {
        // A child that did not reach the list stays out of the child array as well.
        int iAt = bAppended ? m_aTreeNodes.GetSize() - 1 : iIndex;
        if (iAt >= 0 && m_aTreeNodes[iAt] == pChild) m_aTreeNodes.Remove(iAt);
        pChild->m_pParentTreeNode = NULL;
        return false;
    }
    return true;
}

bool CTreeNodeUI::Select(bool bSelect, bool bTakeFocus)
{
    bool bResult = CListContainerElementUI::Select(bSelect, bTakeFocus);
    m_pItemButton->SetTextColor(m_bSelected ? m_dwSelItemTextColor : m_dwItemTextColor);
    return bResult;
}

bool CTreeNodeUI::AddChildNode(CTreeNodeUI* pChild)
{
    if (pChild == NULL || !IsTreeNodeClass(pChild)) return false;
    // The insertion row is read before the child joins the array (it must not be its own anchor).
    int iPos = -1;
    if (m_pTreeView != NULL) {
        CTreeNodeUI* pLast = GetChildCount() > 0 ? GetChildAt(GetChildCount() - 1) : NULL;
        if (pLast == NULL)
            iPos = GetRowIndex() + 1;
        else
            iPos = pLast->GetLastDescendant()->GetRowIndex() + 1;
    }
    PrepareChild(pChild);
    if (m_pTreeView != NULL && (iPos <= 0 || m_pTreeView->InsertNodeAt(pChild, iPos) < 0)) {
        pChild->m_pParentTreeNode = NULL;
        return false;
    }
    if (!m_aTreeNodes.Add(pChild)) {
        pChild->m_pParentTreeNode = NULL;
        return false;
    }
    return true;
}

CTreeNodeUI* CTreeNodeUI::PrepareChild(CTreeNodeUI* pChild)
{
    pChild->m_pDottedLine->SetVisible(true);
    pChild->m_pDottedLine->SetFixedWidth(m_pDottedLine->GetFixedWidth() + 16);
    pChild->m_pItemButton->SetGroup(m_pItemButton->GetGroup());
    pChild->m_pTreeView = m_pTreeView;
    pChild->m_pParentTreeNode = this;
    return pChild;
}

int CTreeNodeUI::GetRowIndex()
{
    if (m_pTreeView == NULL) return -1;
    return m_pTreeView->GetItemIndex(this);
}

CTreeNodeUI* CTreeNodeUI::GetLastDescendant()
{
    CTreeNodeUI* pNode = this;
    while (pNode->GetChildCount() > 0) pNode = pNode->GetChildAt(pNode->GetChildCount() - 1);
    return pNode;
}

bool CTreeNodeUI::HasChildren() const { return m_aTreeNodes.GetSize() > 0; }
int CTreeNodeUI::GetChildCount() const { return m_aTreeNodes.GetSize(); }

CTreeNodeUI* CTreeNodeUI::GetChildAt(int iIndex) const
{
    if (iIndex < 0 || iIndex >= m_aTreeNodes.GetSize()) return NULL;
    return static_cast<CTreeNodeUI*>(m_aTreeNodes[iIndex]);
}

CTreeNodeUI* CTreeNodeUI::GetParentNode() const { return m_pParentTreeNode; }

void CTreeNodeUI::RemoveChildNode(CTreeNodeUI* pChild)
{
    int iAt = m_aTreeNodes.Find(pChild);
    if (iAt >= 0) m_aTreeNodes.Remove(iAt);
    if (pChild != NULL && pChild->m_pParentTreeNode == this) pChild->m_pParentTreeNode = NULL;
}

void CTreeNodeUI::SetOwnerTree(CTreeViewUI* pTreeView) { m_pTreeView = pTreeView; }
CTreeViewUI* CTreeNodeUI::GetTreeView() const { return m_pTreeView; }

void CTreeNodeUI::SetVisibleFolderBtn(bool bVisible) { m_pFolderButton->SetVisible(bVisible); }
bool CTreeNodeUI::GetVisibleFolderBtn() const { return m_pFolderButton->IsVisible(); }
void CTreeNodeUI::SetVisibleCheckBtn(bool bVisible) { m_pCheckBox->SetVisible(bVisible); }
bool CTreeNodeUI::GetVisibleCheckBtn() const { return m_pCheckBox->IsVisible(); }

void CTreeNodeUI::SetItemTextColor(DWORD dwColor)
{
    m_dwItemTextColor = dwColor;
    m_pItemButton->SetTextColor(dwColor);
}
DWORD CTreeNodeUI::GetItemTextColor() const { return m_dwItemTextColor; }

void CTreeNodeUI::SetItemHotTextColor(DWORD dwColor)
{
    m_dwItemHotTextColor = dwColor;
    InvalidateInContainer();
}
DWORD CTreeNodeUI::GetItemHotTextColor() const { return m_dwItemHotTextColor; }

void CTreeNodeUI::SetSelItemTextColor(DWORD dwColor)
{
    m_dwSelItemTextColor = dwColor;
    InvalidateInContainer();
}
DWORD CTreeNodeUI::GetSelItemTextColor() const { return m_dwSelItemTextColor; }

void CTreeNodeUI::SetSelItemHotTextColor(DWORD dwColor)
{
    m_dwSelItemHotTextColor = dwColor;
    InvalidateInContainer();
}
DWORD CTreeNodeUI::GetSelItemHotTextColor() const { return m_dwSelItemHotTextColor; }

// ---------------------------------------------------------------------------------------------
// CTreeViewUI

CTreeViewUI::CTreeViewUI() : m_uItemMinWidth(0), m_bVisibleFolderBtn(true), m_bVisibleCheckBtn(false)
{
    GetHeader()->SetVisible(false);
}

CTreeViewUI::~CTreeViewUI() {}

const wchar_t* CTreeViewUI::GetClass() const { return L"TreeView"; }

void* CTreeViewUI::GetInterface(const wchar_t* pstrName)
{
    if (wcscmp(pstrName, L"TreeView") == 0) return static_cast<CTreeViewUI*>(this);
    return CListUI::GetInterface(pstrName);
}

void CTreeViewUI::SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue)
{
    if (wcscmp(pstrName, L"visiblefolderbtn") == 0)
        SetVisibleFolderBtn(wcscmp(pstrValue, L"true") == 0);
    else if (wcscmp(pstrName, L"visiblecheckbtn") == 0)
        SetVisibleCheckBtn(wcscmp(pstrValue, L"true") == 0);
    else if (wcscmp(pstrName, L"itemminwidth") == 0)
        SetItemMinWidth((UINT)wcstoul(pstrValue, NULL, 10));
    else if (wcscmp(pstrName, L"itemtextcolor") == 0)
        SetItemTextColor(ParseColor(pstrValue));
    else if (wcscmp(pstrName, L"itemhottextcolor") == 0)
        SetItemHotTextColor(ParseColor(pstrValue));
    else if (wcscmp(pstrName, L"selitemtextcolor") == 0)
        SetSelItemTextColor(ParseColor(pstrValue));
    else if (wcscmp(pstrName, L"selitemhottextcolor") == 0)
        SetSelItemHotTextColor(ParseColor(pstrValue));
    else
        CListUI::SetAttribute(pstrName, pstrValue);
}

void CTreeViewUI::Notify(TNotifyRecord&) {}

void CTreeViewUI::WireNode(CTreeNodeUI* pNode)
{
    pNode->OnNotify += TTreeDelegate(this, &CTreeViewUI::OnItemDbClick, &kDbClickKey);
    pNode->GetFolderButton()->OnNotify += TTreeDelegate(this, &CTreeViewUI::OnFolderChanged, &kFolderKey);
    pNode->GetCheckBox()->OnNotify += TTreeDelegate(this, &CTreeViewUI::OnCheckBoxChanged, &kCheckBoxKey);
    pNode->SetVisibleFolderBtn(m_bVisibleFolderBtn);
    pNode->SetVisibleCheckBtn(m_bVisibleCheckBtn);
    if (m_uItemMinWidth > 0) pNode->SetMinWidth((int)m_uItemMinWidth);
}

bool CTreeViewUI::Add(CControlUI* pControl)
{
    CTreeNodeUI* pNode = AsTreeNode(pControl);
    if (pNode == NULL) return false;
    return InsertNodeAt(pNode, GetCount()) >= 0;
}

bool CTreeViewUI::AddAt(CControlUI* pControl, int iIndex)
{
    CTreeNodeUI* pNode = AsTreeNode(pControl);
    if (pNode == NULL) return false;
    return InsertNodeAt(pNode, iIndex) >= 0;
}

int CTreeViewUI::InsertNodeAt(CTreeNodeUI* pNode, int iIndex)
{
    if (pNode == NULL || pNode->GetInterface(L"TreeNode") == NULL) return -1;
    // The position after the last item appends, so that the node whose subtree ends the tree
    // can take a child.
    if (iIndex < 0 || iIndex > GetCount()) return -1;
    // A node in the list already would be listed, and destroyed, twice.
    if (GetItemIndex(pNode) >= 0) return -1;
    return PlaceSubtree(pNode, iIndex);
}

int CTreeViewUI::PlaceSubtree(CTreeNodeUI* pNode, int iIndex)
{
    const int iOld = GetItemIndex(pNode);
    if (iOld >= 0) {
        // Taken out of its place, the rows after it close up by one.
        if (iOld < iIndex) --iIndex;
        if (!CListUI::SetItemIndex(pNode, iIndex)) return -1;
    } else {
        WireNode(pNode);
        if (!CListUI::AddAt(pNode, iIndex)) return -1;
    }
    pNode->SetOwnerTree(this);
    int iNext = iIndex + 1;
    for (int i = 0; i < pNode->GetChildCount(); ++i) {
        CTreeNodeUI* pChild = pNode->GetChildAt(i);
        if (pChild == NULL) continue;
        iNext = PlaceSubtree(pChild, iNext);
        if (iNext < 0) return -1;
    }
    return iNext;
}

bool CTreeViewUI::InsertNodeBefore(CTreeNodeUI* pNode, CTreeNodeUI* pBefore)
{
    int iIndex = GetItemIndex(pBefore);
    if (pBefore == NULL || iIndex < 0) return false;
    return InsertNodeAt(pNode, iIndex) >= 0;
}

bool CTreeViewUI::Remove(CControlUI* pControl, bool bDoNotDestroy)
{
    CTreeNodeUI* pNode = AsTreeNode(pControl);
    if (pNode == NULL) return CListUI::Remove(pControl, bDoNotDestroy);
    int iIndex = GetItemIndex(pNode);
    if (iIndex < 0) return false;
    // The parent must not expand, check or double-click a node that left the list.
    if (pNode->GetParentNode() != NULL) pNode->GetParentNode()->RemoveChildNode(pNode);
    return CListUI::RemoveAt(iIndex, bDoNotDestroy);
}

bool CTreeViewUI::RemoveAt(int iIndex, bool bDoNotDestroy)
{
    CControlUI* pItem = GetItemAt(iIndex);
    if (pItem == NULL) return false;
    if (AsTreeNode(pItem) == NULL) return CListUI::Remove(pItem, bDoNotDestroy);
    return Remove(pItem, false);
}

void CTreeViewUI::RemoveAll() { CListUI::RemoveAll(); }

bool CTreeViewUI::OnCheckBoxChanged(void* param)
{
    TNotifyRecord* pMsg = static_cast<TNotifyRecord*>(param);
    if (pMsg == NULL || pMsg->sType != L"selectchanged") return true;
    CCheckBoxUI* pBox = static_cast<CCheckBoxUI*>(pMsg->pSender);
    CTreeNodeUI* pNode = NodeOfPart(pBox);
    if (pBox != NULL && pNode != NULL) SetItemCheckBox(pBox->IsSelected(), pNode);
    return true;
}

bool CTreeViewUI::OnFolderChanged(void* param)
{
    TNotifyRecord* pMsg = static_cast<TNotifyRecord*>(param);
    if (pMsg == NULL || pMsg->sType != L"selectchanged") return true;
    CCheckBoxUI* pButton = static_cast<CCheckBoxUI*>(pMsg->pSender);
    CTreeNodeUI* pNode = NodeOfPart(pButton);
    if (pButton != NULL && pNode != NULL) SetItemExpand(!pButton->IsSelected(), pNode);
    return true;
}

bool CTreeViewUI::OnItemDbClick(void* param)
{
    TNotifyRecord* pMsg = static_cast<TNotifyRecord*>(param);
    if (pMsg == NULL || pMsg->sType != L"itemdbclick") return false;
    CTreeNodeUI* pNode = AsTreeNode(pMsg->pSender);
    if (pNode != NULL) {
        CCheckBoxUI* pFolder = pNode->GetFolderButton();
        pFolder->SetSelected(!pFolder->IsSelected(), true);
        SetItemExpand(!pFolder->IsSelected(), pNode);
    }
    return true;
}

bool CTreeViewUI::SetItemCheckBox(bool bSelected, CTreeNodeUI* pTreeNode)
{
    if (pTreeNode != NULL) {
        for (int i = 0; i < pTreeNode->GetChildCount(); ++i) {
            CTreeNodeUI* pChild = pTreeNode->GetChildAt(i);
            if (pChild == NULL) continue;
            pChild->GetCheckBox()->SetSelected(bSelected, true);
            if (pChild->HasChildren()) SetItemCheckBox(bSelected, pChild);
        }
        return true;
    }
    for (int i = 0; i < GetCount(); ++i) {
        CTreeNodeUI* pItem = AsTreeNode(GetItemAt(i));
        if (pItem == NULL) continue;
        pItem->GetCheckBox()->SetSelected(bSelected, true);
        if (pItem->HasChildren()) SetItemCheckBox(bSelected, pItem);
    }
    return true;
}

void CTreeViewUI::SetItemExpand(bool bExpanded, CTreeNodeUI* pTreeNode)
{
    if (pTreeNode != NULL) {
        for (int i = 0; i < pTreeNode->GetChildCount(); ++i) {
            CTreeNodeUI* pChild = pTreeNode->GetChildAt(i);
            if (pChild == NULL) continue;
            pChild->SetVisible(bExpanded);
            if (pChild->HasChildren() && !pChild->GetFolderButton()->IsSelected()) SetItemExpand(bExpanded, pChild);
        }
        return;
    }
    for (int i = 0; i < GetCount(); ++i) {
        CTreeNodeUI* pItem = AsTreeNode(GetItemAt(i));
        if (pItem == NULL) continue;
        pItem->SetVisible(bExpanded);
        if (pItem->HasChildren() && !pItem->GetFolderButton()->IsSelected()) SetItemExpand(bExpanded, pItem);
    }
}

void CTreeViewUI::SetVisibleFolderBtn(bool bVisible)
{
    m_bVisibleFolderBtn = bVisible;
    for (int i = 0; i < GetCount(); ++i) {
        CTreeNodeUI* pItem = AsTreeNode(GetItemAt(i));
        if (pItem != NULL) pItem->SetVisibleFolderBtn(bVisible);
    }
}
bool CTreeViewUI::GetVisibleFolderBtn() const { return m_bVisibleFolderBtn; }

void CTreeViewUI::SetVisibleCheckBtn(bool bVisible)
{
    m_bVisibleCheckBtn = bVisible;
    for (int i = 0; i < GetCount(); ++i) {
        CTreeNodeUI* pItem = AsTreeNode(GetItemAt(i));
        if (pItem != NULL) pItem->SetVisibleCheckBtn(bVisible);
    }
}
bool CTreeViewUI::GetVisibleCheckBtn() const { return m_bVisibleCheckBtn; }

void CTreeViewUI::SetItemMinWidth(UINT uWidth)
{
    m_uItemMinWidth = uWidth;
    for (int i = 0; i < GetCount(); ++i) {
        CControlUI* pItem = GetItemAt(i);
        if (pItem != NULL) pItem->SetMinWidth((int)uWidth);
    }
    Invalidate();
}
UINT CTreeViewUI::GetItemMinWidth() const { return m_uItemMinWidth; }

// The colour keys reach only the nodes present now; nodes added later keep their own.
void CTreeViewUI::SetItemTextColor(DWORD dwColor)
{
    for (int i = 0; i < GetCount(); ++i) {
        CTreeNodeUI* pItem = AsTreeNode(GetItemAt(i));
        if (pItem != NULL) pItem->SetItemTextColor(dwColor);
    }
}

void CTreeViewUI::SetItemHotTextColor(DWORD dwColor)
{
    for (int i = 0; i < GetCount(); ++i) {
        CTreeNodeUI* pItem = AsTreeNode(GetItemAt(i));
        if (pItem != NULL) pItem->SetItemHotTextColor(dwColor);
    }
}

void CTreeViewUI::SetSelItemTextColor(DWORD dwColor)
{
    for (int i = 0; i < GetCount(); ++i) {
        CTreeNodeUI* pItem = AsTreeNode(GetItemAt(i));
        if (pItem != NULL) pItem->SetSelItemTextColor(dwColor);
    }
}

void CTreeViewUI::SetSelItemHotTextColor(DWORD dwColor)
{
    for (int i = 0; i < GetCount(); ++i) {
        CTreeNodeUI* pItem = AsTreeNode(GetItemAt(i));
        if (pItem != NULL) pItem->SetSelItemHotTextColor(dwColor);
    }
}

} // namespace Veneer
