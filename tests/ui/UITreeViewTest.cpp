// Tree view and tree nodes: a tree built from a skin with nested nodes on a real window, its list
// order, indentation, expansion, check propagation and double click with the notification log,
// the placement of nodes added later and removal, and a screenshot of the painted tree.
#include "UIControlsTestSupport.h"
#include "UITreeView.h"
#include "UIListHeader.h"
#include "UIDlgBuilder.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace Veneer;
using namespace controlstest;

namespace {

const wchar_t kTreeSkin[] =
    L"<Window><TreeView name=\"tree\" pos=\"0,0,400,300\" bkcolor=\"#FFFFFFFF\">"
    L"<TreeNode name=\"a\" text=\"A\">"
    L"  <TreeNode name=\"a1\" text=\"A1\">"
    L"    <TreeNode name=\"a11\" text=\"A11\"><TreeNode name=\"a111\" text=\"A111\"/></TreeNode>"
    L"    <TreeNode name=\"a12\" text=\"A12\"/>"
    L"  </TreeNode>"
    L"  <TreeNode name=\"a2\" text=\"A2\"/>"
    L"</TreeNode>"
    L"<TreeNode name=\"b\" text=\"B\"/>"
    L"</TreeView></Window>";

// Counts destroyed nodes.
int g_nodesDeleted = 0;
class CountedNode : public CTreeNodeUI {
public:
    ~CountedNode() override { ++g_nodesDeleted; }
};

// A node whose parent has a class string of its own.
class FancyNode : public CTreeNodeUI {
public:
    const wchar_t* GetClass() const override { return L"FancyNode"; }
};

// A tree that can be told to refuse nodes appended at the end.
class RefusingTree : public CTreeViewUI {
public:
    bool refuse = false;
    bool Add(CControlUI* pControl) override { return refuse ? false : CTreeViewUI::Add(pControl); }
};

CTreeNodeUI* Node(const wchar_t* name)
{
    CTreeNodeUI* p = new CTreeNodeUI;
    p->SetName(name);
    p->SetAttribute(L"text", name);
    return p;
}

class TreeViewTest : public ManagedFixture {
protected:
    CTreeViewUI* BuildTree(const std::wstring& extra = L"")
    {
        std::wstring xml = kTreeSkin;
        if (!extra.empty()) xml.replace(xml.find(L"name=\"tree\""), 11, L"name=\"tree\" " + extra);
        CDialogBuilder builder;
        CControlUI* root = builder.Create(xml.c_str(), NULL, NULL, m_pm);
        EXPECT_NE(nullptr, root);
        if (root == NULL) return NULL;
        Attach(root);
        m_tree = static_cast<CTreeViewUI*>(root->GetInterface(L"TreeView"));
        // Every node of the skin is there, so that the cases may take them by name with N().
        for (const wchar_t* name : {L"a", L"a1", L"a11", L"a111", L"a12", L"a2", L"b"}) {
            if (m_tree != NULL && N(name) == NULL) {
                ADD_FAILURE() << "the tree has no node named " << std::string(name, name + wcslen(name));
                return NULL;
            }
        }
        return m_tree;
    }
    CTreeNodeUI* N(const wchar_t* name) { return static_cast<CTreeNodeUI*>(m_pm->FindControl(name)); }
    std::vector<std::wstring> Order() const
    {
        std::vector<std::wstring> out;
        for (int i = 0; i < m_tree->GetCount(); ++i) out.push_back(m_tree->GetItemAt(i)->GetName().GetData());
        return out;
    }
    std::wstring Shown() const  // names of the visible rows
    {
        std::wstring out;
        for (int i = 0; i < m_tree->GetCount(); ++i)
            if (m_tree->GetItemAt(i)->IsVisible()) out += m_tree->GetItemAt(i)->GetName().GetData() + std::wstring(L" ");
        return out;
    }
    std::wstring Checked() const  // names of the rows whose check box is checked
    {
        std::wstring out;
        for (int i = 0; i < m_tree->GetCount(); ++i) {
            CTreeNodeUI* n = static_cast<CTreeNodeUI*>(m_tree->GetItemAt(i));
            if (n->GetCheckBox()->IsSelected()) out += n->GetName().GetData() + std::wstring(L" ");
        }
        return out;
    }
    int Count(const wchar_t* type, const wchar_t* sender) const
    {
        int n = 0;
        for (const Logged& l : m_log.items)
            if (l.type == type && l.sender == sender) ++n;
        return n;
    }

    CTreeViewUI* m_tree = nullptr;
};

TEST_F(TreeViewTest, SkinBuiltTreeIsDepthFirstAndIndentedByDepth)
{
    ASSERT_NE(nullptr, BuildTree());
    EXPECT_EQ((std::vector<std::wstring>{L"a", L"a1", L"a11", L"a111", L"a12", L"a2", L"b"}), Order());
    EXPECT_FALSE(m_tree->GetHeader()->IsVisible());
    EXPECT_EQ(2, N(L"a")->GetChildCount());
    EXPECT_EQ(N(L"a1"), N(L"a")->GetChildAt(0));
    EXPECT_EQ(N(L"a111"), N(L"a11")->GetChildAt(0));
    EXPECT_EQ(N(L"a11"), N(L"a111")->GetParentNode());
    EXPECT_EQ(N(L"a2"), N(L"a")->GetLastDescendant());

    struct { const wchar_t* name; int width; bool visible; } rows[] = {
        {L"a", 2, false}, {L"a1", 18, true}, {L"a11", 34, true}, {L"a111", 50, true}, {L"b", 2, false}};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        CTreeNodeUI* n = N(r.name);
        ASSERT_NE(nullptr, n);
        EXPECT_EQ(m_tree, n->GetTreeView());
        EXPECT_EQ(r.width, n->GetDottedLine()->GetFixedWidth());
        EXPECT_EQ(r.visible, n->GetDottedLine()->IsVisible());
        EXPECT_TRUE(n->GetFolderButton()->IsVisible());
        EXPECT_FALSE(n->GetCheckBox()->IsVisible());
        EXPECT_EQ(m_tree->GetItemIndex(n), n->GetRowIndex());
    }
    EXPECT_STREQ(L"A111", N(L"a111")->GetItemButton()->GetText().GetData());
    EXPECT_STREQ(L"TreeNode", N(L"a")->GetClass());
    EXPECT_STREQ(L"TreeView", m_tree->GetClass());

    // "Tree" is the other tag of the same class.
    CDialogBuilder builder;
    CControlUI* other = builder.Create(L"<Window><Tree name=\"t2\"><TreeNode name=\"x\"/></Tree></Window>", NULL, NULL, NULL);
    ASSERT_NE(nullptr, other);
    EXPECT_STREQ(L"TreeView", other->GetClass());
    EXPECT_EQ(1, static_cast<CTreeViewUI*>(other)->GetCount());
    other->Delete();
}

TEST_F(TreeViewTest, CollapseWithACollapsedChildAndExpandAgain)
{
    ASSERT_NE(nullptr, BuildTree());
    N(L"a11")->GetFolderButton()->SetSelected(true, true);
    EXPECT_EQ(L"a a1 a11 a12 a2 b ", Shown());
    N(L"a")->GetFolderButton()->SetSelected(true, true);
    EXPECT_EQ(L"a b ", Shown());
    N(L"a")->GetFolderButton()->SetSelected(false, true);
    EXPECT_EQ(L"a a1 a11 a12 a2 b ", Shown());
    N(L"a11")->GetFolderButton()->SetSelected(false, true);
    EXPECT_EQ(L"a a1 a11 a111 a12 a2 b ", Shown());
}

TEST_F(TreeViewTest, CheckingANodeChecksItsSubtree)
{
    ASSERT_NE(nullptr, BuildTree(L"visiblecheckbtn=\"true\""));
    for (int i = 0; i < m_tree->GetCount(); ++i)
        EXPECT_TRUE(static_cast<CTreeNodeUI*>(m_tree->GetItemAt(i))->GetCheckBox()->IsVisible());
    N(L"a1")->GetCheckBox()->SetSelected(true, true);
    EXPECT_EQ(L"a1 a11 a111 a12 ", Checked());
    N(L"a1")->GetCheckBox()->SetSelected(false, true);
    EXPECT_EQ(L"", Checked());
    N(L"a2")->GetCheckBox()->SetSelected(true, true);  // a leaf: nothing else
    EXPECT_EQ(L"a2 ", Checked());
    m_tree->SetItemCheckBox(true);
    EXPECT_EQ(L"a a1 a11 a111 a12 a2 b ", Checked());
}

TEST_F(TreeViewTest, DoubleClickTogglesAndSendsItemDbClick)
{
    ASSERT_NE(nullptr, BuildTree());
    tagTEventUI e = Ev(UIEVENT_DBLCLICK);
    N(L"a1")->Event(e);
    EXPECT_TRUE(N(L"a1")->GetFolderButton()->IsSelected());
    EXPECT_EQ(L"a a1 a2 b ", Shown());
    EXPECT_EQ(1, Count(L"itemdbclick", L"a1"));
    N(L"a1")->Event(e);
    EXPECT_FALSE(N(L"a1")->GetFolderButton()->IsSelected());
    EXPECT_EQ(L"a a1 a11 a111 a12 a2 b ", Shown());
    EXPECT_EQ(2, Count(L"itemdbclick", L"a1"));

    // A disabled node sends nothing and stays as it is.
    N(L"a1")->SetEnabled(false);
    N(L"a1")->Event(e);
    EXPECT_EQ(2, Count(L"itemdbclick", L"a1"));
    EXPECT_FALSE(N(L"a1")->GetFolderButton()->IsSelected());
}

TEST_F(TreeViewTest, TreeSettingsReachLaterNodesButColoursDoNot)
{
    ASSERT_NE(nullptr, BuildTree(L"visiblecheckbtn=\"true\" visiblefolderbtn=\"false\" itemtextcolor=\"#FF112233\""));
    EXPECT_TRUE(m_tree->GetVisibleCheckBtn());
    EXPECT_FALSE(m_tree->GetVisibleFolderBtn());
    // The builder gives the tree its attributes after its nodes: the colour reached them all.
    EXPECT_EQ(0xFF112233u, N(L"a")->GetItemTextColor());
    EXPECT_EQ(0xFF112233u, N(L"a111")->GetItemButton()->GetTextColor());
    CTreeNodeUI* later = Node(L"later");
    ASSERT_TRUE(m_tree->Add(later));
    EXPECT_TRUE(later->GetCheckBox()->IsVisible());
    EXPECT_FALSE(later->GetFolderButton()->IsVisible());
    CTreeNodeUI* child = Node(L"child");
    ASSERT_TRUE(N(L"a1")->Add(child));
    EXPECT_TRUE(child->GetCheckBox()->IsVisible());

    m_tree->SetItemTextColor(0xFF445566);
    EXPECT_EQ(0xFF445566u, N(L"b")->GetItemTextColor());
    EXPECT_EQ(0xFF445566u, N(L"b")->GetItemButton()->GetTextColor());
    CTreeNodeUI* last = Node(L"last");
    ASSERT_TRUE(m_tree->Add(last));
    EXPECT_EQ(0u, last->GetItemTextColor());

    // Nothing but nodes joins a tree.
    CLabelUI* label = new CLabelUI;
    EXPECT_FALSE(m_tree->Add(label));
    EXPECT_FALSE(m_tree->AddAt(label, 0));
    delete label;
}

// Mend: removing a node takes it out of its parent's child list, so the parent's expansion, check
// and double click no longer reach the destroyed node; a refused insertion leaves the child out.
TEST_F(TreeViewTest, RemovedNodeLeavesItsParentsChildList)
{
    ASSERT_NE(nullptr, BuildTree(L"visiblecheckbtn=\"true\""));
    CTreeNodeUI* a1 = N(L"a1");
    ASSERT_TRUE(m_tree->Remove(N(L"a12")));
    EXPECT_EQ(1, a1->GetChildCount());
    EXPECT_EQ(N(L"a11"), a1->GetChildAt(0));
    ASSERT_TRUE(m_tree->RemoveAt(m_tree->GetItemIndex(N(L"a2")), true));  // destroyed all the same
    EXPECT_EQ(nullptr, N(L"a2"));
    EXPECT_EQ(1, N(L"a")->GetChildCount());
    // Touching the parents again reaches only live nodes.
    tagTEventUI e = Ev(UIEVENT_DBLCLICK);
    N(L"a")->Event(e);
    N(L"a")->Event(e);
    a1->GetCheckBox()->SetSelected(true, true);
    EXPECT_EQ(L"a1 a11 a111 ", Checked());
    EXPECT_EQ(L"a a1 a11 a111 b ", Shown());

    // A node that left the list (kept alive) refuses a child, which stays out of its list.
    CTreeNodeUI* b = N(L"b");
    ASSERT_TRUE(m_tree->Remove(b, true));
    CTreeNodeUI* orphan = Node(L"orphan");
    EXPECT_FALSE(b->Add(orphan));
    EXPECT_EQ(0, b->GetChildCount());
    EXPECT_EQ(nullptr, orphan->GetParentNode());
    delete orphan;
    delete b;
}

TEST_F(TreeViewTest, RefusedAddAtLeavesTheChildOut)
{
    m_tree = new RefusingTree;
    Attach(m_tree);
    CTreeNodeUI* top = Node(L"top");
    ASSERT_TRUE(m_tree->Add(top));
    static_cast<RefusingTree*>(m_tree)->refuse = true;
    CTreeNodeUI* child = Node(L"child");
    EXPECT_FALSE(top->AddAt(child, 0));
    EXPECT_EQ(0, top->GetChildCount());
    EXPECT_EQ(nullptr, child->GetParentNode());
    delete child;
}

TEST_F(TreeViewTest, RemoveAtDestroysANodeEvenWhenAskedNotTo)
{
    m_tree = new CTreeViewUI;
    Attach(m_tree);
    g_nodesDeleted = 0;
    ASSERT_TRUE(m_tree->Add(new CountedNode));
    ASSERT_TRUE(m_tree->RemoveAt(0, true));
    EXPECT_EQ(1, g_nodesDeleted);
    EXPECT_FALSE(m_tree->RemoveAt(0, true));
}

// Mend: the position after the last item appends, so the node whose subtree ends the tree takes
// a child.
TEST_F(TreeViewTest, ChildOfTheNodeThatEndsTheTree)
{
    ASSERT_NE(nullptr, BuildTree());
    CTreeNodeUI* b1 = Node(L"b1");
    ASSERT_TRUE(N(L"b")->Add(b1));
    CTreeNodeUI* b11 = Node(L"b11");
    ASSERT_TRUE(b1->Add(b11));
    EXPECT_EQ((std::vector<std::wstring>{L"a", L"a1", L"a11", L"a111", L"a12", L"a2", L"b", L"b1", L"b11"}), Order());
    EXPECT_EQ(34, b11->GetDottedLine()->GetFixedWidth());
    EXPECT_EQ(N(L"b"), b1->GetParentNode());
    EXPECT_EQ(m_tree->GetCount(), m_tree->InsertNodeAt(Node(L"end"), m_tree->GetCount()));
    EXPECT_EQ(-1, m_tree->InsertNodeAt(Node(L"beyond"), m_tree->GetCount() + 1));
}

// Mend: AddAt past the last child places the subtree after the parent's last descendant, so list
// order follows child order.
TEST_F(TreeViewTest, AddAtPastTheLastChildFollowsTheLastDescendant)
{
    ASSERT_NE(nullptr, BuildTree());
    CTreeNodeUI* a13 = Node(L"a13");
    ASSERT_TRUE(N(L"a1")->AddAt(a13, 7));
    CTreeNodeUI* a10 = Node(L"a10");
    ASSERT_TRUE(N(L"a1")->AddAt(a10, 0));
    EXPECT_EQ((std::vector<std::wstring>{L"a", L"a1", L"a10", L"a11", L"a111", L"a12", L"a13", L"a2", L"b"}), Order());
    EXPECT_EQ(a10, N(L"a1")->GetChildAt(0));
    EXPECT_EQ(a13, N(L"a1")->GetChildAt(3));
    EXPECT_EQ(34, a13->GetDottedLine()->GetFixedWidth());
    // Past the last child of the node that ends the tree: appended.
    CTreeNodeUI* b1 = Node(L"b1");
    ASSERT_TRUE(N(L"b")->AddAt(b1, 3));
    ASSERT_FALSE(Order().empty());
    EXPECT_EQ(L"b1", Order().back());
}

// Mend: the constructor builds the row whatever the parent's class; that class decides only the
// dotted line.
TEST_F(TreeViewTest, ConstructorAlwaysBuildsTheRow)
{
    FancyNode fancy;
    CTreeNodeUI plain;
    CTreeNodeUI deep(&plain);
    CTreeNodeUI underFancy(&fancy);
    struct { CTreeNodeUI* node; int line; bool visible; } cases[] = {
        {&plain, 2, false}, {&deep, 18, true}, {&underFancy, 2, false}};
    for (const auto& c : cases) {
        ASSERT_NE(nullptr, c.node->GetTreeNodeHorizontal());
        EXPECT_EQ(1, c.node->GetCount());
        EXPECT_EQ(4, c.node->GetTreeNodeHorizontal()->GetCount());
        EXPECT_EQ(c.node->GetDottedLine(), c.node->GetTreeNodeHorizontal()->GetItemAt(0));
        EXPECT_EQ(c.node->GetItemButton(), c.node->GetTreeNodeHorizontal()->GetItemAt(3));
        EXPECT_EQ(c.line, c.node->GetDottedLine()->GetFixedWidth());
        EXPECT_EQ(c.visible, c.node->GetDottedLine()->IsVisible());
        EXPECT_EQ(18, c.node->GetFolderButton()->GetFixedWidth());
        EXPECT_EQ(18, c.node->GetFixedHeight());
        EXPECT_EQ(250, c.node->GetFixedWidth());
    }
    // The node under the other class works like any: it takes a child and sets attributes.
    CTreeNodeUI* child = Node(L"c");
    EXPECT_TRUE(underFancy.Add(child));
    underFancy.SetAttribute(L"text", L"fine");
    EXPECT_STREQ(L"fine", underFancy.GetItemButton()->GetText().GetData());
    delete child;
}

TEST_F(TreeViewTest, ScreenshotOfTheTree)
{
    ASSERT_NE(nullptr, BuildTree(L"visiblecheckbtn=\"true\""));
    N(L"a11")->GetFolderButton()->SetSelected(true, true);
    N(L"a1")->GetCheckBox()->SetSelected(true, true);
    for (int i = 0; i < m_tree->GetCount(); ++i) {
        CTreeNodeUI* n = static_cast<CTreeNodeUI*>(m_tree->GetItemAt(i));
        n->GetFolderButton()->SetBkColor(0xFF4060C0);
        n->GetFolderButton()->SetAttribute(L"selectedbkcolor", L"#FFC06040");
        n->GetCheckBox()->SetBkColor(0xFFB0B0B0);
        n->GetCheckBox()->SetAttribute(L"selectedbkcolor", L"#FF30A030");
        n->GetDottedLine()->SetBkColor(0xFFE0E0E0);
    }
    ::ShowWindow(m_wnd, SW_SHOWNOACTIVATE);
    Surface s(400, 300);
    s.Fill(0xFFFFFF);
    RECT rc = {0, 0, 400, 300};
    m_tree->SetPos(rc);
    PaintOn(s, m_tree);
    // Rows are 18 high; a1 (row 1) has an 18-pixel line, then its folder button, then its checked box.
    EXPECT_EQ(0x4060C0u, s.At(2 + 9, 9));        // a's folder button right after its 2-pixel line
    EXPECT_EQ(0x4060C0u, s.At(18 + 9, 18 + 9));  // a1's folder button after its 18-pixel line
    EXPECT_EQ(0x30A030u, s.At(18 + 18 + 9, 18 + 9));  // a1's check box is checked
    EXPECT_EQ(0xC06040u, s.At(34 + 9, 2 * 18 + 9));   // a11 collapsed
    EXPECT_EQ(0x4060C0u, s.At(34 + 9, 3 * 18 + 9));   // a12: a111 is hidden
    std::vector<Px> px;
    for (int y = 0; y < 300; ++y)
        for (int x = 0; x < 400; ++x) {
            DWORD c = s.At(x, y);
            px.push_back(Px{(BYTE)(c >> 16), (BYTE)(c >> 8), (BYTE)c, 255});
        }
    const char* bin = getenv("TOLLVANE_BINARY_DIR");
    std::wstring path = L"Z:";
    for (const char* p = bin != NULL ? bin : ""; *p; ++p) path += (*p == '/') ? L'\\' : (wchar_t)*p;
    ::CreateDirectoryW((path + L"\\screenshots").c_str(), NULL);
    rendertest::WriteBytes(path + L"\\screenshots\\tree.bmp", rendertest::MakeBmp24(400, 300, px));
}

} // namespace

// A node taken out without being destroyed and put back brings its subtree along, each row once;
// a node already in the tree is not taken in again. Deleting the tree then frees every node once.
TEST_F(TreeViewTest, MovedNodeTakesItsSubtreeAlongAndNoRowIsListedTwice)
{
    ASSERT_NE(nullptr, BuildTree());
    CTreeNodeUI* a1 = N(L"a1");
    auto indexesFollowPositions = [&] {
        for (int i = 0; i < m_tree->GetCount(); ++i) {
            IListItemUI* item = static_cast<IListItemUI*>(m_tree->GetItemAt(i)->GetInterface(L"IListItem"));
            if (item == NULL || item->GetIndex() != i) return false;
        }
        return true;
    };

    ASSERT_TRUE(m_tree->Remove(a1, true));
    EXPECT_EQ((std::vector<std::wstring>{L"a", L"a11", L"a111", L"a12", L"a2", L"b"}), Order());
    ASSERT_TRUE(m_tree->Add(a1));
    EXPECT_EQ((std::vector<std::wstring>{L"a", L"a2", L"b", L"a1", L"a11", L"a111", L"a12"}), Order());
    EXPECT_TRUE(indexesFollowPositions());

    ASSERT_TRUE(m_tree->Remove(a1, true));
    ASSERT_TRUE(m_tree->AddAt(a1, m_tree->GetItemIndex(N(L"b"))));
    EXPECT_EQ((std::vector<std::wstring>{L"a", L"a2", L"a1", L"a11", L"a111", L"a12", L"b"}), Order());
    EXPECT_TRUE(indexesFollowPositions());

    // Under another node: the subtree follows it there.
    ASSERT_TRUE(m_tree->Remove(a1, true));
    ASSERT_TRUE(N(L"a2")->Add(a1));
    EXPECT_EQ((std::vector<std::wstring>{L"a", L"a2", L"a1", L"a11", L"a111", L"a12", L"b"}), Order());
    EXPECT_EQ(N(L"a2"), a1->GetParentNode());
    EXPECT_TRUE(indexesFollowPositions());

    // Already in the tree: refused, by any way in.
    EXPECT_FALSE(m_tree->Add(N(L"b")));
    EXPECT_FALSE(m_tree->AddAt(N(L"b"), 0));
    EXPECT_EQ(-1, m_tree->InsertNodeAt(a1, 0));
    EXPECT_EQ(7, m_tree->GetCount());

    // Each node is destroyed once with the tree.
    g_nodesDeleted = 0;
    CountedNode* counted = new CountedNode;
    counted->SetName(L"counted");
    CTreeNodeUI* leaf = new CountedNode;
    counted->Add(leaf);
    ASSERT_TRUE(m_tree->Add(counted));
    ASSERT_TRUE(m_tree->Remove(counted, true));
    ASSERT_TRUE(m_tree->Add(counted));
    EXPECT_EQ(9, m_tree->GetCount());
    m_pm->AttachDialog(new CControlUI);  // the old root goes at the next message
    m_tree = nullptr;
    Pump(3000, [] { return g_nodesDeleted >= 2; });
    EXPECT_EQ(2, g_nodesDeleted);
}
