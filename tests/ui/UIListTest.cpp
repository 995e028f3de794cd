// List, body, header, header items and rows: identities and attributes without a window, then
// selection, keys, wheel, columns, header drags, row events and pixels on a real window with its
// notification log.
#include "UIControlsTestSupport.h"
#include "UIList.h"
#include "UIListElement.h"
#include "UIListHeader.h"
#include "UIScrollBar.h"
#include "UIButton.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace Veneer;
using namespace controlstest;

namespace {

class ListProbe : public CListUI {
public:
    using CListUI::m_ListInfo;
};

class HeaderItemProbe : public CListHeaderItemUI {
public:
    using CListHeaderItemUI::m_uButtonState;
};

class LabelRowProbe : public CListLabelElementUI {
public:
    int measured = 0;
    // Counts the estimates that measured: a stored estimate comes back unchanged.
    SIZE EstimateSize(SIZE sz) override
    {
        SIZE old = m_cxyEstimated;
        m_cxyEstimated = SIZE{-7, -7};
        SIZE r = CListLabelElementUI::EstimateSize(sz);
        if (r.cx == -7 && r.cy == -7) {
            m_cxyEstimated = old;
            return old;
        }
        ++measured;
        return r;
    }
};

CListLabelElementUI* Label(const wchar_t* name, const wchar_t* text = L"row")
{
    CListLabelElementUI* p = new CListLabelElementUI;
    p->SetName(name);
    p->SetText(text);
    return p;
}

CListHeaderItemUI* Column(const wchar_t* name, int width)
{
    CListHeaderItemUI* p = new CListHeaderItemUI;
    p->SetName(name);
    p->SetText(name);
    p->SetFixedWidth(width);
    return p;
}

std::wstring Sel(const Logged& l)
{
    return l.type + L":" + l.sender + L":" + std::to_wstring((long)l.wParam) + L"," + std::to_wstring((long)l.lParam);
}

std::vector<std::wstring> Log(const NotifyLog& log)
{
    // Focus and window notifications of the paint manager are not the list's.
    std::vector<std::wstring> out;
    for (const Logged& l : log.items)
        if (l.type != L"setfocus" && l.type != L"killfocus" && l.type != L"windowinit") out.push_back(Sel(l));
    return out;
}

} // namespace

TEST(UIList, NewListKindsAndIdentity)
{
    ListProbe list;
    EXPECT_STREQ(L"List", list.GetClass());
    EXPECT_EQ(-1, list.GetCurSel());
    EXPECT_EQ(-1, list.GetExpandedItem());
    EXPECT_EQ(0, list.GetCount());
    EXPECT_EQ(0, list.GetListInfo()->nColumns);
    EXPECT_EQ(1u, list.GetControlFlags());
    EXPECT_EQ(0, list.GetItemIndex(list.GetHeader()));
    EXPECT_EQ(1, list.CContainerUI::GetItemIndex(list.GetList()));
    EXPECT_STREQ(L"VerticalLayout", list.GetList()->GetClass());
    EXPECT_STREQ(L"ListHeader", list.GetHeader()->GetClass());
    IListUI* pList = static_cast<IListUI*>(list.GetInterface(L"IList"));
    ASSERT_NE(nullptr, pList);
    EXPECT_EQ(static_cast<IListOwnerUI*>(pList), list.GetInterface(L"IListOwner"));
    EXPECT_EQ(static_cast<CListUI*>(&list), list.GetInterface(L"List"));
    EXPECT_EQ(list.GetHeader(), pList->GetHeader());

    // The record's defaults.
    const TListItemInfoUI& info = list.m_ListInfo;
    EXPECT_EQ(-1, info.nFont);
    EXPECT_EQ(0x24u, info.uTextStyle);
    EXPECT_EQ(0xFFC1E3FFu, info.dwSelectedBkColor);
    EXPECT_EQ(0xFFE9F5FFu, info.dwHotBkColor);
    EXPECT_EQ(0xFFCCCCCCu, info.dwDisabledTextColor);
    EXPECT_EQ(0xFF3C3C3Cu, info.dwHLineColor);

    // Header items go to the header, rows to the body with owner and index, a header item's class
    // is found by substring.
    class WideItem : public CListHeaderItemUI {
    public:
        const wchar_t* GetClass() const override { return L"MyListHeaderItemEx"; }
    };
    EXPECT_TRUE(list.Add(Column(L"a", 50)));
    EXPECT_TRUE(list.Add(new WideItem));
    EXPECT_EQ(2, list.GetHeader()->GetCount());
    EXPECT_EQ(2, list.GetListInfo()->nColumns);
    CListLabelElementUI* r0 = Label(L"r0");
    CListTextElementUI* r1 = new CListTextElementUI;
    EXPECT_TRUE(list.Add(r0));
    EXPECT_TRUE(list.Add(r1));
    EXPECT_EQ(2, list.GetCount());
    EXPECT_EQ(1, r1->GetIndex());
    EXPECT_EQ(static_cast<IListOwnerUI*>(pList), r0->GetOwner());
    EXPECT_EQ(r1, list.GetItemAt(1));
    EXPECT_EQ(1, list.GetItemIndex(r1));

    // A header added while the present one has items becomes the first child, not the header.
    CListHeaderUI* h2 = new CListHeaderUI;
    CListHeaderUI* h1 = list.GetHeader();
    EXPECT_TRUE(list.Add(h2));
    EXPECT_EQ(h1, list.GetHeader());
    EXPECT_EQ(h2, list.CContainerUI::GetItemAt(0));
    EXPECT_EQ(3, list.CContainerUI::GetCount());

    // A header replaces an empty one (which is destroyed).
    ListProbe other;
    CListHeaderUI* h3 = new CListHeaderUI;
    EXPECT_TRUE(other.Add(h3));
    EXPECT_EQ(h3, other.GetHeader());
    EXPECT_EQ(2, other.CContainerUI::GetCount());

    HeaderItemProbe item;
    EXPECT_STREQ(L"ListHeaderItem", item.GetClass());
    EXPECT_EQ(16, item.GetMinWidth());
    EXPECT_EQ(4, item.GetSepWidth());
    EXPECT_EQ(0x25u, item.GetTextStyle());
    EXPECT_EQ(2u, item.GetControlFlags());
    item.SetAttribute(L"sepwidth", L"0");
    EXPECT_EQ(0u, item.GetControlFlags());
    // Without a window the item asks for its fixed size.
    item.SetFixedWidth(40);
    EXPECT_EQ(40, item.EstimateSize(SIZE{100, 100}).cx);
    EXPECT_EQ(0, item.EstimateSize(SIZE{100, 100}).cy);

    CListElementUI* pElement = r0;
    EXPECT_EQ(4u, pElement->GetControlFlags());
    EXPECT_STREQ(L"ListTextElement", r1->GetClass());
    CListHBoxElementUI hbox;
    EXPECT_STREQ(L"ListHBoxElement", hbox.GetClass());
    EXPECT_NE(nullptr, hbox.GetInterface(L"ListContainerElement"));
    EXPECT_NE(nullptr, hbox.GetInterface(L"IListItem"));
}

TEST(UIList, AttributeTable)
{
    struct Case {
        const wchar_t* name;
        const wchar_t* value;
        UINT style;  // text style after this line (the lines run in order)
    } cases[] = {
        {L"itemalign", L"center", 0x25},
        {L"itemalign", L"right", 0x26},
        {L"itemalign", L"left right", 0x26},   // left, then right
        {L"itemalign", L"center left", 0x25},  // left clears, then center sets
        {L"itemvalign", L"top", 0x21},
        {L"itemvalign", L"bottom", 0x29},
        {L"itemvalign", L"vcenter", 0x25},
        {L"itemendellipsis", L"true", 0x8025},
        {L"itemendellipsis", L"yes", 0x25},
        {L"itemmultiline", L"true", 0x15},
        {L"itemmultiline", L"false", 0x35},  // single line again, word break kept
    };
    ListProbe list;
    for (const Case& c : cases) {
        list.SetAttribute(c.name, c.value);
        EXPECT_EQ(c.style, list.m_ListInfo.uTextStyle) << c.name << "=" << c.value;
    }
    list.SetAttribute(L"itemtextpadding", L"1,2,3,4");
    EXPECT_EQ(1, list.m_ListInfo.rcTextPadding.left);
    EXPECT_EQ(4, list.m_ListInfo.rcTextPadding.bottom);
    list.SetAttribute(L"itemtextpadding", L"5;6 7x8");
    EXPECT_EQ(6, list.m_ListInfo.rcTextPadding.top);
    EXPECT_EQ(7, list.m_ListInfo.rcTextPadding.right);
    list.SetAttribute(L"itemheight", L"22");
    list.SetAttribute(L"itemfont", L"3");
    list.SetAttribute(L"itembkcolor", L"#FF102030");
    list.SetAttribute(L"itemselectedbkcolor", L"FF405060");
    list.SetAttribute(L"itemhlinesize", L"2");
    list.SetAttribute(L"itemvlinecolor", L"#FF0000FF");
    list.SetAttribute(L"itemaltbk", L"true");
    list.SetAttribute(L"itemshowhtml", L"true");
    list.SetAttribute(L"itemhotimage", L"hot.png");
    list.SetAttribute(L"multiexpanding", L"true");
    list.SetAttribute(L"scrollselect", L"true");
    const TListItemInfoUI& i = list.m_ListInfo;
    EXPECT_EQ(22, i.uFixedHeight);
    EXPECT_EQ(3, i.nFont);
    EXPECT_EQ(0xFF102030u, i.dwBkColor);
    EXPECT_EQ(0xFF405060u, i.dwSelectedBkColor);
    EXPECT_EQ(2, i.iHLineSize);
    EXPECT_EQ(0xFF0000FFu, i.dwVLineColor);
    EXPECT_TRUE(i.bAlternateBk);
    EXPECT_TRUE(i.bShowHtml);
    EXPECT_TRUE(i.bMultiExpandable);
    EXPECT_TRUE(list.IsScrollSelect());
    EXPECT_STREQ(L"hot.png", i.diHot.sDescription);

    struct HeaderCase {
        const wchar_t* value;
        bool visible;
    } headers[] = {{L"hidden", false}, {L"true", true}, {L"false", false}, {L"anything", true}};
    for (const HeaderCase& h : headers) {
        list.SetAttribute(L"header", h.value);
        EXPECT_EQ(h.visible, list.GetHeader()->IsVisible()) << h.value;
    }
    // Scroll bars and child padding of a list are the body's.
    list.SetAttribute(L"vscrollbar", L"true");
    list.SetAttribute(L"childpadding", L"3");
    EXPECT_NE(nullptr, list.GetList()->GetVerticalScrollBar());
    EXPECT_EQ(list.GetList()->GetVerticalScrollBar(), list.GetVerticalScrollBar());
    EXPECT_EQ(3, list.GetList()->GetChildPadding());
    EXPECT_EQ(3, list.GetChildPadding());

    HeaderItemProbe item;
    item.SetAttribute(L"dragable", L"false");
    EXPECT_FALSE(item.IsDragable());
    item.SetAttribute(L"align", L"left");
    item.SetAttribute(L"multiline", L"true");
    EXPECT_EQ(0x14u, item.GetTextStyle());
}

TEST(UIList, RowsWithoutOwnerOrManager)
{
    // A container row without owner estimates its fixed size.
    CListContainerElementUI c;
    c.SetFixedWidth(30);
    c.SetFixedHeight(12);
    EXPECT_EQ(30, c.EstimateSize(SIZE{200, 200}).cx);
    EXPECT_EQ(12, c.EstimateSize(SIZE{200, 200}).cy);
    EXPECT_FALSE(c.Expand(true));  // no owner
    c.SetFixedHeight(0);
    EXPECT_EQ(0, c.EstimateSize(SIZE{200, 200}).cy);

    // Label rows: (0, 0) without owner; with an owner but no window, the fixed size.
    CListLabelElementUI* l = Label(L"l");
    EXPECT_EQ(0, l->EstimateSize(SIZE{200, 200}).cx);
    ListProbe list;
    list.Add(l);
    l->SetFixedWidth(25);
    EXPECT_EQ(25, l->EstimateSize(SIZE{200, 200}).cx);
    EXPECT_EQ(0, l->EstimateSize(SIZE{200, 200}).cy);
    list.SetAttribute(L"itemheight", L"17");
    EXPECT_EQ(17, l->EstimateSize(SIZE{200, 200}).cy);

    // Selection without owner selects only the row itself.
    CListLabelElementUI lone;
    EXPECT_TRUE(lone.Select(true));
    EXPECT_TRUE(lone.IsSelected());
    lone.SetEnabled(false);
    EXPECT_FALSE(lone.Select(false));
}

namespace {

class UIListManaged : public ManagedFixture {
protected:
    // A list as the window's root with n label rows named r0.., laid out at 0,0,400,300.
    ListProbe* MakeList(int n)
    {
        ListProbe* list = new ListProbe;
        list->SetName(L"list");
        for (int i = 0; i < n; ++i) list->Add(Label((L"r" + std::to_wstring(i)).c_str()));
        Attach(list);
        Layout();
        return list;
    }
    void Layout()
    {
        CControlUI* root = m_pm->GetRoot();
        root->SetPos(RECT{0, 0, 400, 300}, false);
    }
    // Row i of the list; a missing row fails the test and a detached stand-in is handed out, so
    // that the lines after it report rather than crash.
    CControlUI* Row(int i)
    {
        CListUI* list = static_cast<CListUI*>(m_pm->GetRoot());
        CControlUI* row = list != nullptr ? list->GetItemAt(i) : nullptr;
        if (row == nullptr) {
            ADD_FAILURE() << "the list has no row " << i;
            return &m_missingRow;
        }
        return row;
    }
    void Key(CControlUI* target, wchar_t key)
    {
        tagTEventUI e = Ev(UIEVENT_KEYDOWN, 0, 0, 0, key);
        target->Event(e);
    }
    void At(CControlUI* target, int type, WPARAM wParam = 0)
    {
        RECT rc = target->GetPos();
        tagTEventUI e = Ev(type, (rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2, wParam);
        target->Event(e);
    }

    CListLabelElementUI m_missingRow;
};

} // namespace

TEST_F(UIListManaged, SelectItemRules)
{
    ListProbe* list = MakeList(4);
    EXPECT_TRUE(list->SelectItem(1, false, true));
    EXPECT_EQ((std::vector<std::wstring>{L"itemselect:list:1,-1"}), Log(m_log));
    EXPECT_TRUE(static_cast<CListLabelElementUI*>(Row(1))->IsSelected());
    m_log.items.clear();
    EXPECT_TRUE(list->SelectItem(1, false, true));  // the current index: nothing
    EXPECT_TRUE(Log(m_log).empty());
    EXPECT_TRUE(list->SelectItem(2, false, true));
    EXPECT_EQ((std::vector<std::wstring>{L"itemselect:list:2,1"}), Log(m_log));
    EXPECT_FALSE(static_cast<CListLabelElementUI*>(Row(1))->IsSelected());
    m_log.items.clear();
    EXPECT_FALSE(list->SelectItem(-1, false, true));  // deselects silently
    EXPECT_EQ(-1, list->GetCurSel());
    EXPECT_FALSE(static_cast<CListLabelElementUI*>(Row(2))->IsSelected());
    EXPECT_TRUE(Log(m_log).empty());

    // Hidden or disabled rows refuse, and the old selection is gone all the same.
    list->SelectItem(0, false, false);
    Row(3)->SetVisible(false);
    EXPECT_FALSE(list->SelectItem(3, false, true));
    EXPECT_EQ(-1, list->GetCurSel());
    list->SelectItem(0, false, false);
    Row(2)->SetEnabled(false);
    EXPECT_FALSE(list->SelectItem(2, false, true));
    EXPECT_EQ(-1, list->GetCurSel());
    EXPECT_FALSE(list->SelectItem(9, false, true));
    EXPECT_TRUE(Log(m_log).empty());
}

TEST_F(UIListManaged, ClicksDoubleClicksAndReturn)
{
    ListProbe* list = MakeList(3);
    At(Row(1), UIEVENT_BUTTONDOWN);
    EXPECT_EQ((std::vector<std::wstring>{L"itemclick:r1:0,0", L"itemselect:list:1,-1"}), Log(m_log));
    EXPECT_EQ(Row(1), m_pm->GetFocus());
    m_log.items.clear();
    At(Row(1), UIEVENT_BUTTONDOWN);  // the selected row again: the click only
    EXPECT_EQ((std::vector<std::wstring>{L"itemclick:r1:0,0"}), Log(m_log));
    m_log.items.clear();
    At(Row(2), UIEVENT_RBUTTONDOWN);
    EXPECT_EQ((std::vector<std::wstring>{L"itemclick:r2:0,0", L"itemselect:list:2,1"}), Log(m_log));
    m_log.items.clear();
    At(Row(2), UIEVENT_DBLCLICK);
    EXPECT_EQ((std::vector<std::wstring>{L"itemactivate:r2:0,0"}), Log(m_log));
    m_log.items.clear();
    Key(Row(2), VK_RETURN);
    Key(list, VK_RETURN);
    EXPECT_EQ((std::vector<std::wstring>{L"itemactivate:r2:0,0", L"itemactivate:r2:0,0"}), Log(m_log));

    // A row's keys and wheel are the list's: Down on a row moves the selection.
    m_log.items.clear();
    Key(Row(2), VK_UP);
    EXPECT_EQ((std::vector<std::wstring>{L"itemselect:list:1,2"}), Log(m_log));

    // The owner interface's event slot enters the list's own handler.
    m_log.items.clear();
    IListOwnerUI* pOwner = static_cast<IListOwnerUI*>(list->GetInterface(L"IListOwner"));
    ASSERT_NE(nullptr, pOwner);
    tagTEventUI down = Ev(UIEVENT_KEYDOWN, 0, 0, 0, VK_DOWN);
    pOwner->DoEvent(down);
    EXPECT_EQ(2, pOwner->GetCurSel());
    EXPECT_EQ(list->GetListInfo(), pOwner->GetListInfo());
    EXPECT_EQ((std::vector<std::wstring>{L"itemselect:list:2,1"}), Log(m_log));
    list->SelectItem(1, false, false);

    // A disabled row ignores clicks and keeps its flag while the list selects another row.
    m_log.items.clear();
    Row(1)->SetEnabled(false);
    At(Row(1), UIEVENT_BUTTONDOWN);
    EXPECT_TRUE(Log(m_log).empty());
    EXPECT_TRUE(static_cast<CListLabelElementUI*>(Row(1))->IsSelected());
    list->SelectItem(0, false, false);
    EXPECT_TRUE(static_cast<CListLabelElementUI*>(Row(1))->IsSelected());

    // Return on a list without selection does nothing.
    list->SelectItem(-1);
    m_log.items.clear();
    Key(list, VK_RETURN);
    EXPECT_TRUE(Log(m_log).empty());
}

TEST_F(UIListManaged, RemovalInsertionAndMovesKeepIndexesAndSelection)
{
    ListProbe* list = MakeList(5);
    list->SelectItem(2, false, false);
    CControlUI* r2 = Row(2);

    // Inserting at or before the selection shifts it; after it does not.
    list->AddAt(Label(L"x"), 1);
    EXPECT_EQ(3, list->GetCurSel());
    list->AddAt(Label(L"y"), 5);
    EXPECT_EQ(3, list->GetCurSel());
    for (int i = 0; i < list->GetCount(); ++i)
        EXPECT_EQ(i, static_cast<IListItemUI*>(Row(i)->GetInterface(L"IListItem"))->GetIndex());

    // Moves: the selection follows the selected row.
    EXPECT_TRUE(list->SetItemIndex(r2, 0));
    EXPECT_EQ(0, list->GetCurSel());
    EXPECT_TRUE(list->SetMultiItemIndex(Row(1), 2, 4));
    EXPECT_EQ(0, list->GetCurSel());
    EXPECT_FALSE(list->SetMultiItemIndex(Row(1), 3, 5));  // past the end
    for (int i = 0; i < list->GetCount(); ++i)
        EXPECT_EQ(i, static_cast<IListItemUI*>(Row(i)->GetInterface(L"IListItem"))->GetIndex());
    EXPECT_TRUE(Log(m_log).empty());

    // Removing a row before the selection decrements it; removing the selected one selects the
    // row that took its place, with lParam -1.
    list->SelectItem(3, false, false);
    CControlUI* after = Row(4);
    EXPECT_TRUE(list->RemoveAt(0));
    EXPECT_EQ(2, list->GetCurSel());
    EXPECT_TRUE(list->Remove(Row(2)));
    EXPECT_EQ(2, list->GetCurSel());
    EXPECT_EQ(after, Row(2));
    EXPECT_EQ((std::vector<std::wstring>{L"itemselect:list:2,-1"}), Log(m_log));
    // The last row removed while selected: the nearest before it.
    m_log.items.clear();
    list->SelectItem(list->GetCount() - 1, false, false);
    list->RemoveAt(list->GetCount() - 1);
    EXPECT_EQ(list->GetCount() - 1, list->GetCurSel());
    m_log.items.clear();
    list->RemoveAll();
    EXPECT_EQ(0, list->GetCount());
    EXPECT_EQ(-1, list->GetCurSel());
    EXPECT_TRUE(Log(m_log).empty());
    CListLabelElementUI stray;
    EXPECT_FALSE(list->Remove(&stray, true));
}

TEST_F(UIListManaged, KeyTable)
{
    // Rows: "e" enabled, "d" disabled, "h" hidden.
    struct Case {
        const char* rows;
        int start;
        wchar_t key;
        int expected;
        const wchar_t* log;  // expected notification, or empty
    } cases[] = {
        {"eeee", 0, VK_UP, 0, L""},                     // Up on the first row
        {"eeee", 1, VK_DOWN, 2, L"itemselect:list:2,1"},
        {"eeee", 3, VK_DOWN, 3, L""},                   // past the last row: kept
        {"eedd", 1, VK_DOWN, 1, L""},                   // disabled rows after the last selectable
        {"eehd", 1, VK_DOWN, 1, L""},
        {"edee", 0, VK_DOWN, 2, L"itemselect:list:2,0"},
        {"deee", 2, VK_HOME, 1, L"itemselect:list:1,2"},
        {"eeee", 1, VK_END, 3, L"itemselect:list:3,1"},
        {"eedd", 0, VK_END, 1, L"itemselect:list:1,0"}, // the last selectable row
        {"eeed", 2, VK_END, 2, L""},                    // already there: nothing
        {"deee", 1, VK_UP, 1, L""},                     // a backward search falls forwards
        {"eeee", -1, VK_RETURN, -1, L""},
        {"eeee", 2, L'A', 2, L""},
    };
    for (const Case& c : cases) {
        ListProbe* list = new ListProbe;
        list->SetName(L"list");
        int n = (int)strlen(c.rows);
        for (int i = 0; i < n; ++i) list->Add(Label((L"r" + std::to_wstring(i)).c_str()));
        m_pm->AttachDialog(list);
        Layout();
        if (c.start >= 0) list->SelectItem(c.start, false, false);
        for (int i = 0; i < n; ++i) {
            if (c.rows[i] == 'd') Row(i)->SetEnabled(false);
            if (c.rows[i] == 'h') Row(i)->SetVisible(false);
        }
        m_log.items.clear();
        Key(list, c.key);
        EXPECT_EQ(c.expected, list->GetCurSel()) << c.rows << " key " << (int)c.key;
        std::vector<std::wstring> want;
        if (*c.log) want.push_back(c.log);
        EXPECT_EQ(want, Log(m_log)) << c.rows << " key " << (int)c.key;
    }
}

TEST_F(UIListManaged, WheelWithAndWithoutScrollSelect)
{
    ListProbe* list = MakeList(40);
    list->EnableScrollBar(true, false);
    Layout();
    ASSERT_TRUE(list->GetVerticalScrollBar()->IsVisible());
    list->SelectItem(0, false, false);
    tagTEventUI down = Ev(UIEVENT_SCROLLWHEEL, 50, 50, SB_LINEDOWN);
    list->Event(down);
    EXPECT_GT(list->GetScrollPos().cy, 0);
    EXPECT_EQ(0, list->GetCurSel());
    EXPECT_TRUE(Log(m_log).empty());

    list->SetScrollSelect(true);
    int pos = list->GetScrollPos().cy;
    list->Event(down);
    EXPECT_EQ(1, list->GetCurSel());
    EXPECT_EQ(pos, list->GetScrollPos().cy);
    tagTEventUI up = Ev(UIEVENT_SCROLLWHEEL, 50, 50, SB_LINEUP);
    list->Event(up);
    EXPECT_EQ(0, list->GetCurSel());
    // Past the last selectable row the selection stays.
    list->SelectItem(39, false, false);
    m_log.items.clear();
    list->Event(down);
    EXPECT_EQ(39, list->GetCurSel());
    EXPECT_TRUE(Log(m_log).empty());
    // The selected row is scrolled into view.
    RECT rcRow = Row(39)->GetPos();
    EXPECT_LE(rcRow.bottom, list->GetList()->GetPos().bottom);
}

TEST_F(UIListManaged, ColumnsFromTheHeader)
{
    ListProbe* list = MakeList(3);
    for (int i = 0; i < 70; ++i) list->Add(Column(L"c", 20));
    Layout();
    EXPECT_EQ(70, list->GetHeader()->GetCount());
    EXPECT_EQ(64, list->GetListInfo()->nColumns);
    EXPECT_EQ(0, list->GetListInfo()->rcColumn[0].left);
    EXPECT_EQ(20, list->GetListInfo()->rcColumn[1].left);
    // Rows are as wide as the 64 columns together, not as the body.
    EXPECT_EQ(64 * 20, Row(0)->GetPos().right - Row(0)->GetPos().left);

    // A hidden header still gives column rectangles, of height 0, and does not ask for layout.
    list->SetAttribute(L"header", L"hidden");
    // Through the window: once painted, the hidden header's toggles leave no layout pending.
    ::ShowWindow(m_wnd, SW_SHOWNOACTIVATE);
    for (int i = 0; i < 3; ++i) {
        ::InvalidateRect(m_wnd, NULL, FALSE);
        ::UpdateWindow(m_wnd);
    }
    EXPECT_FALSE(m_pm->IsUpdateNeeded());
    EXPECT_FALSE(list->IsUpdateNeeded());
    const RECT& rc3 = list->GetListInfo()->rcColumn[3];
    EXPECT_EQ(60, rc3.left);
    EXPECT_EQ(80, rc3.right);
    EXPECT_EQ(rc3.top, rc3.bottom);
    ASSERT_NE(nullptr, list->GetHeader()->GetItemAt(0));
    EXPECT_FALSE(list->GetHeader()->GetItemAt(0)->IsVisible());
    EXPECT_EQ(0, Row(0)->GetPos().top);
    m_pm->SetFocus(NULL);
}

TEST_F(UIListManaged, HorizontalScrollMovesHeaderAndColumns)
{
    ListProbe* list = MakeList(3);
    for (int i = 0; i < 3; ++i) list->Add(Column(L"c", 200));
    list->EnableScrollBar(true, true);
    Layout();
    ASSERT_TRUE(list->GetHorizontalScrollBar()->IsVisible());
    CControlUI* h1 = list->GetHeader()->GetItemAt(1);
    ASSERT_NE(nullptr, h1);
    const int left = h1->GetPos().left;
    const int colLeft = list->GetListInfo()->rcColumn[1].left;
    const int rowLeft = Row(0)->GetPos().left;
    list->SetScrollPos(SIZE{30, 0});
    EXPECT_EQ(left - 30, h1->GetPos().left);
    EXPECT_EQ(colLeft - 30, list->GetListInfo()->rcColumn[1].left);
    EXPECT_EQ(rowLeft - 30, Row(0)->GetPos().left);
    // A new layout keeps the header where the scroll put it.
    Layout();
    EXPECT_EQ(left - 30, h1->GetPos().left);
    EXPECT_EQ(colLeft - 30, list->GetListInfo()->rcColumn[1].left);

    for (int i = 0; i < 30; ++i) list->Add(Label(L"more"));
    Layout();
    ASSERT_TRUE(list->GetVerticalScrollBar()->IsVisible());
    const int top = h1->GetPos().top;
    list->SetScrollPos(SIZE{30, 40});
    EXPECT_EQ(top, h1->GetPos().top);
    EXPECT_EQ(left - 30, h1->GetPos().left);
}

namespace {

// The header drags go through the window: posted mouse messages, the paint manager's hit test
// and capture, and its layout at paint.
class UIListHeaderDrag : public UIListManaged {
protected:
    ListProbe* list = nullptr;
    HeaderItemProbe* items[3] = {};
    void Build(const wchar_t* sep1, const wchar_t* drag2)
    {
        list = new ListProbe;
        list->SetName(L"list");
        for (int i = 0; i < 3; ++i) {
            items[i] = new HeaderItemProbe;
            items[i]->SetName((L"h" + std::to_wstring(i)).c_str());
            items[i]->SetFixedWidth(100);
            list->Add(items[i]);
        }
        items[1]->SetAttribute(L"sepwidth", sep1);
        items[2]->SetAttribute(L"dragable", drag2);
        list->Add(Label(L"r0"));
        Attach(list);
        ::ShowWindow(m_wnd, SW_SHOWNOACTIVATE);
        Settle();
    }
    void Settle()
    {
        ::InvalidateRect(m_wnd, NULL, FALSE);
        ::UpdateWindow(m_wnd);
        Pump(30, [] { return false; });
    }
    void Mouse(UINT msg, int x, int y)
    {
        ::PostMessageW(m_wnd, msg, msg == WM_MOUSEMOVE ? 0 : MK_LBUTTON, MAKELPARAM(x, y));
        Pump(20, [] { return false; });
        Settle();
    }
    int Width(int i) { return items[i]->GetPos().right - items[i]->GetPos().left; }
    int Y() { return (items[0]->GetPos().top + items[0]->GetPos().bottom) / 2; }
};

} // namespace

TEST_F(UIListHeaderDrag, RightBandStopsAboveTheMinimum)
{
    Build(L"4", L"true");
    ASSERT_EQ(100, Width(0));
    // The band of item 0 is its last four pixels.
    Mouse(WM_LBUTTONDOWN, 98, Y());
    EXPECT_TRUE(Log(m_log).empty());
    EXPECT_NE(0u, items[0]->m_uButtonState & 0x40u);
    Mouse(WM_MOUSEMOVE, 128, Y());
    EXPECT_EQ(130, Width(0));
    EXPECT_EQ(130, items[0]->GetFixedWidth());
    EXPECT_EQ(130, list->GetListInfo()->rcColumn[1].left);
    Mouse(WM_MOUSEMOVE, 30, Y());   // would be 32
    EXPECT_EQ(32, Width(0));
    Mouse(WM_MOUSEMOVE, 10, Y());   // would be 12: refused
    EXPECT_EQ(32, Width(0));
    Mouse(WM_MOUSEMOVE, 13, Y());   // from the last accepted point (30): 15, refused
    EXPECT_EQ(32, Width(0));
    Mouse(WM_MOUSEMOVE, 33, Y());
    EXPECT_EQ(35, Width(0));
    Mouse(WM_LBUTTONUP, 33, Y());
    EXPECT_EQ(0u, items[0]->m_uButtonState & 0x40u);
    EXPECT_TRUE(Log(m_log).empty());
    // A click outside the band is a header click.
    Mouse(WM_LBUTTONDOWN, 10, Y());
    Mouse(WM_LBUTTONUP, 10, Y());
    EXPECT_EQ((std::vector<std::wstring>{L"headerclick:h0:0,0"}), Log(m_log));
}

TEST_F(UIListHeaderDrag, LeftBandWidensLeftwardsNoBandAndNotDraggable)
{
    Build(L"-4", L"false");
    // Item 1 starts at 100; its band is its first four pixels.
    Mouse(WM_LBUTTONDOWN, 101, Y());
    EXPECT_TRUE(Log(m_log).empty());
    Mouse(WM_MOUSEMOVE, 81, Y());
    EXPECT_EQ(120, items[1]->GetFixedWidth());
    Mouse(WM_LBUTTONUP, 81, Y());
    m_log.items.clear();

    // Item 2 cannot be dragged: a press in its band does nothing at all.
    const int band2 = items[2]->GetPos().right - 2;
    Mouse(WM_LBUTTONDOWN, band2, Y());
    Mouse(WM_MOUSEMOVE, band2 + 30, Y());
    Mouse(WM_LBUTTONUP, band2 + 30, Y());
    EXPECT_EQ(100, Width(2));
    EXPECT_TRUE(Log(m_log).empty());

    // sepwidth 0: no band, every press is a click.
    items[0]->SetSepWidth(0);
    EXPECT_EQ(0u, items[0]->GetControlFlags());
    Mouse(WM_LBUTTONDOWN, items[0]->GetPos().right - 1, Y());
    Mouse(WM_LBUTTONUP, items[0]->GetPos().right - 1, Y());
    EXPECT_EQ((std::vector<std::wstring>{L"headerclick:h0:0,0"}), Log(m_log));
}

TEST_F(UIListManaged, PixelsLinesAlternateRowsAndSelection)
{
    ListProbe* list = new ListProbe;
    list->SetName(L"list");
    for (int i = 0; i < 3; ++i) list->Add(Column(L"c", 60));
    list->SetAttribute(L"itemheight", L"20");
    list->SetAttribute(L"itembkcolor", L"#FF00FF00");
    list->SetAttribute(L"itemaltbk", L"true");
    list->SetAttribute(L"itemhlinesize", L"1");
    list->SetAttribute(L"itemhlinecolor", L"#FFFF0000");
    list->SetAttribute(L"itemvlinesize", L"1");
    list->SetAttribute(L"itemvlinecolor", L"#FF0000FF");
    list->SetAttribute(L"itemselectedbkcolor", L"#FFFFFF00");
    list->SetAttribute(L"header", L"hidden");
    list->SetBkColor(0xFFFFFFFF);
    for (int i = 0; i < 4; ++i) {
        CListTextElementUI* t = new CListTextElementUI;
        t->SetName(L"t");
        list->Add(t);
    }
    Attach(list);
    Layout();
    list->SelectItem(2, false, false);
    Surface s(400, 300);
    s.Fill(0x808080);
    PaintOn(s, list);

    // Rows at 0, 21, 42, 63 (20 high, a 1-pixel line between).
    EXPECT_EQ(0, Row(1)->GetPos().top - 21);
    EXPECT_EQ(0x00FF00u, s.At(10, 10));  // row 0: background colour
    EXPECT_EQ(0xFF0000u, s.At(10, 20));  // the line under row 0
    EXPECT_EQ(0xFFFFFFu, s.At(10, 30));  // row 1, odd: no colour (the list's white shows)
    EXPECT_EQ(0xFFFF00u, s.At(10, 50));  // row 2: selected
    EXPECT_EQ(0xFFFFFFu, s.At(10, 70));  // row 3, odd
    // Three columns: two vertical lines, none after the last.
    int lines = 0;
    for (int x = 0; x < 200; ++x) lines += s.At(x, 10) == 0x0000FFu;
    EXPECT_EQ(2, lines);
    EXPECT_EQ(0x0000FFu, s.At(60, 10));
    EXPECT_EQ(0x0000FFu, s.At(120, 10));
    EXPECT_NE(0x0000FFu, s.At(180, 10));
}

TEST_F(UIListManaged, ExpansionHBoxRowsLinksAndHiding)
{
    ListProbe* list = MakeList(0);
    for (int i = 0; i < 2; ++i) list->Add(Column(L"c", 80));
    CListContainerElementUI* c0 = new CListContainerElementUI;
    c0->SetName(L"c0");
    c0->SetExpandable(true);
    CListContainerElementUI* c1 = new CListContainerElementUI;
    c1->SetName(L"c1");
    c1->SetAttribute(L"expandable", L"true");
    CListContainerElementUI* plain = new CListContainerElementUI;
    plain->SetName(L"plain");
    list->Add(c0);
    list->Add(c1);
    list->Add(plain);
    CListHBoxElementUI* hbox = new CListHBoxElementUI;
    hbox->SetName(L"hbox");
    hbox->SetFixedHeight(24);
    CButtonUI* b[3];
    for (int i = 0; i < 3; ++i) {
        b[i] = new CButtonUI;
        hbox->Add(b[i]);
    }
    list->Add(hbox);
    list->SetAttribute(L"itemheight", L"20");
    m_pm->InitControls(list);
    b[2]->SetPos(RECT{5, 5, 6, 6}, false);
    Layout();

    // Expansion: one row at a time, unless multi-expanding.
    EXPECT_TRUE(c0->Expand(true));
    EXPECT_TRUE(c1->Expand(true));
    EXPECT_FALSE(c0->IsExpanded());
    EXPECT_EQ(1, list->GetExpandedItem());
    EXPECT_EQ((std::vector<std::wstring>{L"itemexpand:c0:0,0", L"itemcollapse:c0:0,0", L"itemexpand:c1:0,0"}),
              Log(m_log));
    m_log.items.clear();
    EXPECT_TRUE(plain->Expand(true));  // not expandable: its flag only
    EXPECT_TRUE(Log(m_log).empty());
    list->SetAttribute(L"multiexpanding", L"true");
    EXPECT_TRUE(c0->Expand(true));
    EXPECT_TRUE(c1->IsExpanded());
    EXPECT_EQ(0, list->GetExpandedItem());

    // The hbox row puts a child per column, the third stays where it was.
    EXPECT_EQ(list->GetListInfo()->rcColumn[0].left, b[0]->GetPos().left);
    EXPECT_EQ(list->GetListInfo()->rcColumn[1].left, b[1]->GetPos().left);
    EXPECT_EQ(5, b[2]->GetPos().left);
    EXPECT_EQ(24, hbox->GetPos().bottom - hbox->GetPos().top);

    // Hiding the selected row clears the selection silently.
    m_log.items.clear();
    list->SelectItem(3, false, false);
    hbox->SetVisible(false);
    EXPECT_EQ(-1, list->GetCurSel());
    EXPECT_TRUE(Log(m_log).empty());

    // A row that kept its flag while disabled, hidden later, leaves the list's selection alone.
    list->SelectItem(0, false, false);
    c0->SetEnabled(false);
    list->SelectItem(1, false, false);
    EXPECT_TRUE(c0->IsSelected());
    c0->SetVisible(false);
    EXPECT_FALSE(c0->IsSelected());
    EXPECT_EQ(1, list->GetCurSel());
    EXPECT_TRUE(c1->IsSelected());
}

namespace {

// Texts with links from a callback; the ninth link of a row has no slot.
class LinkTexts : public IListTextCallbackUI {
public:
    const wchar_t* GetItemText(CControlUI*, int, int iSubItem) override
    {
        return iSubItem == 0 ? L"{a x0}a{/a} {a x1}b{/a} {a x2}c{/a} {a x3}d{/a} {a x4}e{/a}"
                             : L"{a y0}f{/a} {a y1}g{/a} {a y2}h{/a} {a y3}i{/a}";
    }
};

// An owner that is no list (as a combo box is): it gives a record but no "IList".
class PlainOwner : public CContainerUI, public IListOwnerUI {
public:
    TListItemInfoUI info;
    void* GetInterface(const wchar_t* pstrName) override
    {
        if (wcscmp(pstrName, L"IListOwner") == 0) return static_cast<IListOwnerUI*>(this);
        return CContainerUI::GetInterface(pstrName);
    }
    TListItemInfoUI* GetListInfo() override { return &info; }
    int GetCurSel() const override { return -1; }
    bool SelectItem(int, bool, bool) override { return false; }
    void DoEvent(tagTEventUI& event) override { CContainerUI::DoEvent(event); }
    bool ExpandItem(int, bool) override { return false; }
    int GetExpandedItem() const override { return -1; }
};

} // namespace

TEST_F(UIListManaged, TextRowLinksCallbackAndOwners)
{
    ListProbe* list = MakeList(0);
    for (int i = 0; i < 2; ++i) list->Add(Column(L"c", 150));
    LinkTexts texts;
    list->SetTextCallback(&texts);
    EXPECT_EQ(&texts, list->GetTextCallback());
    list->SetAttribute(L"itemshowhtml", L"true");
    CListTextElementUI* t = new CListTextElementUI;
    t->SetName(L"t");
    list->Add(t);
    m_pm->InitControls(list);
    Layout();
    Surface s(400, 300);
    PaintOn(s, list);
    ASSERT_EQ(8, t->GetLinkCount());
    EXPECT_STREQ(L"y2", t->GetLinkTarget(7));
    EXPECT_EQ(6u, t->GetControlFlags());
    RECT rc = t->GetLinkRect(7);
    tagTEventUI up = Ev(UIEVENT_BUTTONUP, (rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    t->Event(up);
    EXPECT_EQ((std::vector<std::wstring>{L"link:t:7,0"}), Log(m_log));
    // The ninth link ("i", after "h") lies right of the eighth and is not clickable.
    m_log.items.clear();
    tagTEventUI upNinth = Ev(UIEVENT_BUTTONUP, rc.right + 12, (rc.top + rc.bottom) / 2);
    t->Event(upNinth);
    for (const Logged& l : m_log.items) EXPECT_NE(L"link", l.type);

    // A text row whose owner is no list estimates 0 x 0 and draws nothing.
    PlainOwner owner;
    CListTextElementUI loose;
    loose.SetText(L"text");
    loose.SetOwner(&owner);
    EXPECT_EQ(&owner, static_cast<CContainerUI*>(&owner));
    EXPECT_EQ(static_cast<IListOwnerUI*>(&owner), loose.GetOwner());
    EXPECT_EQ(0, loose.EstimateSize(SIZE{100, 100}).cx);
    EXPECT_EQ(0, loose.EstimateSize(SIZE{100, 100}).cy);
    // A label row with that owner measures normally.
    CListLabelElementUI lbl;
    lbl.SetText(L"text");
    lbl.SetOwner(&owner);
    lbl.SetManager(m_pm, NULL, false);
    EXPECT_GT(lbl.EstimateSize(SIZE{100, 100}).cx, 0);
}

TEST_F(UIListManaged, RowsMeasureOnlyWhenAnInputChanged)
{
    ListProbe* list = MakeList(0);
    LabelRowProbe* single = new LabelRowProbe;
    single->SetText(L"one line");
    LabelRowProbe* multi = new LabelRowProbe;
    multi->SetText(L"several words that wrap when the row is narrow enough");
    list->Add(single);
    list->Add(multi);
    list->SetAttribute(L"itemmultiline", L"false");
    m_pm->InitControls(list);
    single->measured = multi->measured = 0;
    single->EstimateSize(SIZE{300, 100});
    single->EstimateSize(SIZE{300, 100});
    single->EstimateSize(SIZE{200, 100});  // single line: a new width changes nothing
    EXPECT_EQ(1, single->measured);
    single->SetText(L"other");
    single->EstimateSize(SIZE{200, 100});
    EXPECT_EQ(2, single->measured);
    list->SetAttribute(L"itemtextpadding", L"2,0,2,0");
    single->EstimateSize(SIZE{200, 100});
    EXPECT_EQ(3, single->measured);

    list->SetAttribute(L"itemmultiline", L"true");
    SIZE wide = multi->EstimateSize(SIZE{390, 100});
    multi->EstimateSize(SIZE{390, 100});
    SIZE narrow = multi->EstimateSize(SIZE{60, 100});
    EXPECT_EQ(2, multi->measured);
    EXPECT_GT(narrow.cy, wide.cy);
}

namespace {

// Expandable container rows c0.. of 20 pixels in a list laid out on the window.
std::vector<CListContainerElementUI*> AddExpandableRows(CListUI* list, int n)
{
    std::vector<CListContainerElementUI*> rows;
    for (int i = 0; i < n; ++i) {
        CListContainerElementUI* row = new CListContainerElementUI;
        row->SetName((L"c" + std::to_wstring(i)).c_str());
        row->SetExpandable(true);
        row->SetFixedHeight(20);
        list->Add(row);
        rows.push_back(row);
    }
    return rows;
}

// Names of the rows whose expanded flag is set, each followed by a blank.
std::wstring ExpandedRows(CListUI* list)
{
    std::wstring out;
    for (int i = 0; i < list->GetCount(); ++i) {
        IListItemUI* item = static_cast<IListItemUI*>(list->GetItemAt(i)->GetInterface(L"IListItem"));
        if (item != NULL && item->IsExpanded()) out += list->GetItemAt(i)->GetName().GetData() + std::wstring(L" ");
    }
    return out;
}

} // namespace

TEST_F(UIListManaged, ExpandItemOpensAndClosesRowsFromTheList)
{
    ListProbe* list = MakeList(0);
    AddExpandableRows(list, 4);
    Layout();

    // A row that is not expanded yet: it opens once and tells the application once.
    EXPECT_TRUE(list->ExpandItem(2, true));
    EXPECT_EQ(2, list->GetExpandedItem());
    EXPECT_EQ(L"c2 ", ExpandedRows(list));
    EXPECT_EQ((std::vector<std::wstring>{L"itemexpand:c2:0,0"}), Log(m_log));

    // Another row: the open one closes first.
    m_log.items.clear();
    EXPECT_TRUE(list->ExpandItem(0, true));
    EXPECT_EQ(0, list->GetExpandedItem());
    EXPECT_EQ(L"c0 ", ExpandedRows(list));
    EXPECT_EQ((std::vector<std::wstring>{L"itemcollapse:c2:0,0", L"itemexpand:c0:0,0"}), Log(m_log));

    // Closing from the list.
    m_log.items.clear();
    EXPECT_TRUE(list->ExpandItem(0, false));
    EXPECT_EQ(-1, list->GetExpandedItem());
    EXPECT_EQ(L"", ExpandedRows(list));
    EXPECT_EQ((std::vector<std::wstring>{L"itemcollapse:c0:0,0"}), Log(m_log));

    // With multi-expanding the list opens a second row and keeps the first.
    m_log.items.clear();
    list->SetMultiExpanding(true);
    EXPECT_TRUE(list->ExpandItem(1, true));
    EXPECT_TRUE(list->ExpandItem(3, true));
    EXPECT_EQ(3, list->GetExpandedItem());
    EXPECT_EQ(L"c1 c3 ", ExpandedRows(list));
    EXPECT_EQ((std::vector<std::wstring>{L"itemexpand:c1:0,0", L"itemexpand:c3:0,0"}), Log(m_log));
}

TEST_F(UIListManaged, ExpandedIndexFollowsItsRowThroughInsertionsMovesAndRemovals)
{
    ListProbe* list = MakeList(0);
    std::vector<CListContainerElementUI*> c = AddExpandableRows(list, 5);
    Layout();
    ASSERT_TRUE(c[3]->Expand(true));
    ASSERT_EQ(3, list->GetExpandedItem());

    CListContainerElementUI* x = new CListContainerElementUI;
    x->SetName(L"x");
    ASSERT_TRUE(list->AddAt(x, 0));
    EXPECT_EQ(c[3], list->GetItemAt(list->GetExpandedItem()));
    ASSERT_TRUE(list->SetItemIndex(c[3], 1));
    EXPECT_EQ(c[3], list->GetItemAt(list->GetExpandedItem()));
    ASSERT_TRUE(list->SetMultiItemIndex(list->GetItemAt(0), 2, 3));
    EXPECT_EQ(c[3], list->GetItemAt(list->GetExpandedItem()));
    ASSERT_TRUE(list->Remove(c[0]));
    EXPECT_EQ(c[3], list->GetItemAt(list->GetExpandedItem()));
    ASSERT_TRUE(list->RemoveAt(list->GetItemIndex(x)));
    EXPECT_EQ(c[3], list->GetItemAt(list->GetExpandedItem()));

    // Without multi-expanding, opening another row closes the one that was open: one row open.
    ASSERT_TRUE(c[1]->Expand(true));
    EXPECT_EQ(L"c1 ", ExpandedRows(list));
    EXPECT_EQ(c[1], list->GetItemAt(list->GetExpandedItem()));

    // The expanded row removed: none is expanded, and a row opened later is the only one.
    ASSERT_TRUE(list->Remove(c[1]));
    EXPECT_EQ(-1, list->GetExpandedItem());
    ASSERT_TRUE(c[4]->Expand(true));
    EXPECT_EQ(L"c4 ", ExpandedRows(list));
}

TEST_F(UIListManaged, TheHeaderIsTheListsChildOnceAndStays)
{
    ListProbe* list = MakeList(2);
    CListHeaderUI* header = list->GetHeader();
    // Added again, with or without items: it is already there.
    EXPECT_FALSE(list->Add(header));
    list->Add(Column(L"a", 50));
    EXPECT_FALSE(list->Add(header));
    EXPECT_FALSE(list->AddAt(header, 1));
    EXPECT_EQ(2, list->CContainerUI::GetCount());
    EXPECT_EQ(0, list->GetItemIndex(header));

    // Removing it is refused: the list keeps a header (hidden when a list should show none).
    EXPECT_FALSE(list->Remove(header));
    EXPECT_FALSE(list->Remove(header, true));
    EXPECT_EQ(header, list->GetHeader());
    EXPECT_EQ(2, list->CContainerUI::GetCount());
    list->SetAttribute(L"header", L"hidden");
    list->SetAttribute(L"headerbkimage", L"none.png");
    Layout();
    list->Move(SIZE{0, 1}, false);
    EXPECT_EQ(1, list->GetListInfo()->nColumns);
    EXPECT_EQ(2, list->GetCount());
}

namespace {

// A list that records the types of the events that reach its handler.
class EventListProbe : public CListUI {
public:
    std::vector<int> types;
    void DoEvent(tagTEventUI& event) override
    {
        types.push_back(event.Type);
        CListUI::DoEvent(event);
    }
    int Count(int type) const
    {
        int n = 0;
        for (int t : types) n += t == type;
        return n;
    }
};

} // namespace

TEST_F(UIListManaged, RowsPassMouseEnterAndLeaveOnToTheList)
{
    EventListProbe* list = new EventListProbe;
    CListLabelElementUI* label = Label(L"label");
    CListContainerElementUI* box = new CListContainerElementUI;
    box->SetName(L"box");
    box->SetFixedHeight(20);
    list->Add(label);
    list->Add(box);
    Attach(list);
    Layout();
    for (CControlUI* row : {static_cast<CControlUI*>(label), static_cast<CControlUI*>(box)}) {
        SCOPED_TRACE(row->GetName().GetData());
        list->types.clear();
        RECT rc = row->GetPos();
        tagTEventUI enter = Ev(UIEVENT_MOUSEENTER, rc.left + 2, rc.top + 2);
        row->Event(enter);
        EXPECT_EQ(1, list->Count(UIEVENT_MOUSEENTER));
        // Leaving: passed on once the point is outside; a leave while still inside stops at the row.
        tagTEventUI stillInside = Ev(UIEVENT_MOUSELEAVE, rc.left + 2, rc.top + 2);
        row->Event(stillInside);
        EXPECT_EQ(0, list->Count(UIEVENT_MOUSELEAVE));
        tagTEventUI leave = Ev(UIEVENT_MOUSELEAVE, rc.right + 500, rc.bottom + 500);
        row->Event(leave);
        EXPECT_EQ(1, list->Count(UIEVENT_MOUSELEAVE));
    }
}
