// Combo box: selection, keys and attributes on a real window's paint manager; the pop-up window
// opened, sized, placed and closed every way, with the rows handed back to the host each time.
#include "UIInputTestSupport.h"
#include "UICombo.h"
#include "UIListElement.h"
#include "UIVerticalLayout.h"
#include "UIScrollBar.h"

#include <gtest/gtest.h>
#include <functional>
#include <stdlib.h>
#include <string>
#include <vector>

using namespace Veneer;
using namespace inputtest;

namespace {

struct Logged {
    std::wstring type;
    CControlUI* sender;
    WPARAM wParam;
    LPARAM lParam;
};

class ComboLog : public INotifyUI {
public:
    std::vector<Logged> items;
    void Notify(TNotifyRecord& msg) override
    {
        std::wstring t = msg.sType.GetData();
        if (t == L"setfocus" || t == L"killfocus" || t == L"windowinit") return;
        items.push_back({t, msg.pSender, msg.wParam, msg.lParam});
    }
    int Count(const wchar_t* type) const
    {
        int n = 0;
        for (const Logged& l : items) n += l.type == type;
        return n;
    }
};

// A host window with a vertical layout root holding one combo of n label rows, each 20 high.
struct ComboHost {
    Host host;
    ComboLog log;
    CVerticalLayoutUI* root = nullptr;
    CComboUI* combo = nullptr;

    ComboHost(int rows, int x = 100, int y = 100, int cy = 200) : host(x, y, 300, cy)
    {
        root = new CVerticalLayoutUI;
        combo = new CComboUI;
        combo->SetName(L"combo");
        combo->SetFixedHeight(24);
        combo->SetAttribute(L"itemheight", L"20");
        for (int i = 0; i < rows; ++i) AddRow(i);
        CControlUI* filler = new CControlUI;
        root->Add(filler);
        root->Add(combo);
        host.pm.AttachDialog(root);
        host.pm.AddNotifier(&log);
        host.Show();
        Pump(50);
    }
    CListLabelElementUI* AddRow(int i)
    {
        CListLabelElementUI* row = new CListLabelElementUI;
        row->SetName((L"r" + std::to_wstring(i)).c_str());
        row->SetText((L"row " + std::to_wstring(i)).c_str());
        combo->Add(row);
        return row;
    }
    CComboWnd* Popup() { return combo->GetDropWindow(); }
    bool Open()
    {
        combo->Activate();
        return PumpUntil([this] { return Popup() != NULL && ::IsWindowVisible(Popup()->GetHWND()); });
    }
    bool WaitClosed()
    {
        return PumpUntil([this] { return Popup() == NULL; });
    }
    bool RowsOnHost()
    {
        for (int i = 0; i < combo->GetCount(); ++i)
            if (combo->GetItemAt(i)->GetManager() != &host.pm || combo->GetItemAt(i)->GetParent() != combo) return false;
        return true;
    }
    RECT PopupRect()
    {
        RECT rc = {0, 0, 0, 0};
        if (Popup() != NULL) ::GetWindowRect(Popup()->GetHWND(), &rc);
        return rc;
    }
};

void Key(CControlUI* c, wchar_t key)
{
    tagTEventUI e = {};
    e.Type = UIEVENT_KEYDOWN;
    e.chKey = key;
    c->Event(e);
}

} // namespace

TEST(UICombo, IdentityAttributesAndText)
{
    CComboUI combo;
    EXPECT_STREQ(L"Combo", combo.GetClass());
    EXPECT_EQ(static_cast<IListOwnerUI*>(&combo), combo.GetInterface(L"IListOwner"));
    EXPECT_EQ(&combo, combo.GetInterface(L"Combo"));
    EXPECT_NE(nullptr, combo.GetInterface(L"IContainer"));
    EXPECT_EQ(1u, combo.GetControlFlags());
    EXPECT_EQ(0, combo.GetDropBoxSize().cx);
    EXPECT_EQ(150, combo.GetDropBoxSize().cy);
    EXPECT_EQ(-1, combo.GetExpandedItem());
    EXPECT_FALSE(combo.ExpandItem(0, true));
    combo.SetAttribute(L"textpadding", L"2,3,4,5");
    combo.SetAttribute(L"dropboxsize", L"120,80");
    combo.SetAttribute(L"dropbox", L"bkcolor=\"#FF00FF00\"");
    combo.SetAttribute(L"itemheight", L"22");
    combo.SetAttribute(L"itemselectedbkcolor", L"#FF112233");
    combo.SetAttribute(L"vscrollbar", L"true");
    EXPECT_EQ(3, combo.GetTextPadding().top);
    EXPECT_EQ(120, combo.GetDropBoxSize().cx);
    EXPECT_EQ(80, combo.GetDropBoxSize().cy);
    EXPECT_STREQ(L"bkcolor=\"#FF00FF00\"", combo.GetDropBoxAttributeList());
    EXPECT_EQ(22, combo.GetListInfo()->uFixedHeight);
    EXPECT_EQ(0xFF112233u, combo.GetListInfo()->dwSelectedBkColor);
    EXPECT_EQ(nullptr, combo.GetVerticalScrollBar());  // stored for the pop-up only

    for (int i = 0; i < 3; ++i) {
        CListLabelElementUI* row = new CListLabelElementUI;
        row->SetText((L"row " + std::to_wstring(i)).c_str());
        combo.Add(row);
    }
    EXPECT_TRUE(combo.GetText().IsEmpty());
    combo.SetAttribute(L"selectedid", L"7");  // past the end: the last row
    EXPECT_EQ(2, combo.GetCurSel());
    EXPECT_STREQ(L"row 2", combo.GetText());
    // Without a window there is no pop-up to open.
    EXPECT_FALSE(combo.Activate());
    EXPECT_EQ(nullptr, combo.GetDropWindow());
}

TEST(UICombo, KeysSelectionAndRemoval)
{
    ComboHost h(3);
    CComboUI* c = h.combo;
    c->SelectItem(0, false, false);
    h.log.items.clear();
    Key(c, VK_DOWN);
    ASSERT_EQ(1u, h.log.items.size());
    EXPECT_EQ(L"itemselect", h.log.items[0].type);
    EXPECT_EQ(1u, h.log.items[0].wParam);
    EXPECT_EQ(0, h.log.items[0].lParam);
    Key(c, VK_END);
    EXPECT_EQ(2, c->GetCurSel());
    h.log.items.clear();
    Key(c, VK_DOWN);  // past the last row: kept
    Key(c, VK_NEXT);
    tagTEventUI wheel = {};
    wheel.Type = UIEVENT_SCROLLWHEEL;
    wheel.wParam = SB_LINEDOWN;
    c->Event(wheel);
    EXPECT_EQ(2, c->GetCurSel());
    EXPECT_TRUE(h.log.items.empty());
    c->SelectItem(0, false, false);
    h.log.items.clear();
    Key(c, VK_UP);  // Up from row 0: nothing
    EXPECT_EQ(0, c->GetCurSel());
    EXPECT_TRUE(h.log.items.empty());
    wheel.wParam = SB_LINEUP;
    c->Event(wheel);
    EXPECT_TRUE(h.log.items.empty());

    // End over an unselectable last row: the last selectable one.
    ASSERT_NE(nullptr, c->GetItemAt(2));
    c->GetItemAt(2)->SetEnabled(false);
    Key(c, VK_END);
    EXPECT_EQ(1, c->GetCurSel());
    Key(c, VK_DOWN);
    EXPECT_EQ(1, c->GetCurSel());
    Key(c, VK_HOME);
    EXPECT_EQ(0, c->GetCurSel());

    // Removing the selected row selects the row that moved into its place.
    c->GetItemAt(2)->SetEnabled(true);
    c->SelectItem(1, false, false);
    CControlUI* next = c->GetItemAt(2);
    ASSERT_NE(nullptr, next);
    h.log.items.clear();
    EXPECT_TRUE(c->RemoveAt(1));
    EXPECT_EQ(1, c->GetCurSel());
    EXPECT_EQ(next, c->GetItemAt(1));
    ASSERT_EQ(1u, h.log.items.size());
    EXPECT_EQ(-1, h.log.items[0].lParam);
    ASSERT_NE(nullptr, next->GetInterface(L"IListItem"));
    EXPECT_EQ(1, static_cast<IListItemUI*>(next->GetInterface(L"IListItem"))->GetIndex());
    // Inserting before the selection moves it.
    c->AddAt(new CListLabelElementUI, 0);
    EXPECT_EQ(2, c->GetCurSel());
    EXPECT_TRUE(c->SetItemIndex(next, 0));
    EXPECT_EQ(0, c->GetCurSel());
    c->RemoveAll();
    EXPECT_EQ(-1, c->GetCurSel());
}

namespace {

class UIComboPopup : public ::testing::Test {};

} // namespace

TEST_F(UIComboPopup, OpensBelowWithItsHeightAndClosesByKeys)
{
    ComboHost h(5);
    h.combo->SelectItem(1, false, false);
    h.log.items.clear();
    Key(h.combo, VK_F4);
    ASSERT_TRUE(PumpUntil([&] { return h.Popup() != NULL && ::IsWindowVisible(h.Popup()->GetHWND()); }));
    wchar_t cls[64] = {};
    ::GetClassNameW(h.Popup()->GetHWND(), cls, 64);
    EXPECT_STREQ(L"ComboWnd", cls);
    EXPECT_EQ(1, h.log.Count(L"dropdown"));
    RECT rc = h.PopupRect();
    POINT below = h.host.ToScreen(h.combo->GetPos().left, h.combo->GetPos().bottom);
    EXPECT_EQ(104, rc.bottom - rc.top);  // 5 x 20 + 4
    EXPECT_EQ(below.y, rc.top);
    EXPECT_EQ(below.x, rc.left);
    // While open the rows live in the pop-up.
    ASSERT_NE(nullptr, h.combo->GetItemAt(0));
    EXPECT_EQ(&h.Popup()->GetManager(), h.combo->GetItemAt(0)->GetManager());
    EXPECT_EQ(5, h.Popup()->GetBody()->GetCount());

    // Keys in the pop-up move the selection and keep it open; Escape restores and closes.
    ::SendMessageW(h.Popup()->GetHWND(), WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(2, h.combo->GetCurSel());
    EXPECT_NE(nullptr, h.Popup());
    ::SendMessageW(h.Popup()->GetHWND(), WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(h.WaitClosed());
    EXPECT_EQ(1, h.combo->GetCurSel());
    EXPECT_TRUE(h.RowsOnHost());

    // Return closes and keeps the new selection.
    ASSERT_TRUE(h.Open());
    ::SendMessageW(h.Popup()->GetHWND(), WM_KEYDOWN, VK_DOWN, 0);
    ::SendMessageW(h.Popup()->GetHWND(), WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_TRUE(h.WaitClosed());
    EXPECT_EQ(2, h.combo->GetCurSel());
    EXPECT_TRUE(h.RowsOnHost());

    // Ten rows: the drop-box height, with a scroll bar.
    for (int i = 5; i < 10; ++i) h.AddRow(i);
    ASSERT_TRUE(h.Open());
    rc = h.PopupRect();
    EXPECT_EQ(150, rc.bottom - rc.top);
    Pump(50);
    CScrollBarUI* bar = h.Popup()->GetBody()->GetVerticalScrollBar();
    ASSERT_NE(nullptr, bar);
    EXPECT_TRUE(bar->IsVisible());
    // A selection from code closes it.
    h.combo->SelectItem(0);
    ASSERT_TRUE(h.WaitClosed());
    EXPECT_TRUE(h.RowsOnHost());
}

TEST_F(UIComboPopup, OpensAboveNearTheBottomAndRowClicksReachTheHost)
{
    // The combo's bottom is 24 pixels above the host's bottom at 1014: no room for 104 below.
    ComboHost h(5, 100, 914, 100);
    ASSERT_TRUE(h.Open());
    RECT rc = h.PopupRect();
    POINT top = h.host.ToScreen(h.combo->GetPos().left, h.combo->GetPos().top);
    EXPECT_EQ(top.y, rc.bottom);
    EXPECT_EQ(104, rc.bottom - rc.top);

    // A click on a row selects it, closes the pop-up and reaches the host's notifiers later.
    h.log.items.clear();
    CControlUI* row = h.combo->GetItemAt(3);
    ASSERT_NE(nullptr, row);
    RECT rr = row->GetPos();
    HWND hPopup = h.Popup()->GetHWND();
    ::SendMessageW(hPopup, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM((rr.left + rr.right) / 2, (rr.top + rr.bottom) / 2));
    ::SendMessageW(hPopup, WM_LBUTTONUP, 0, MAKELPARAM((rr.left + rr.right) / 2, (rr.top + rr.bottom) / 2));
    ASSERT_TRUE(h.WaitClosed());
    EXPECT_EQ(3, h.combo->GetCurSel());
    ASSERT_TRUE(PumpUntil([&] { return h.log.Count(L"itemclick") == 1; }));
    EXPECT_EQ(row, h.log.items.back().sender);
    EXPECT_TRUE(h.RowsOnHost());
}

TEST_F(UIComboPopup, RowsFollowAnOpenComboAndComeBackWhenTheHostGoes)
{
    // Rows refilled while open (as on "dropdown") go into the pop-up's body and out of it.
    ComboHost* h = new ComboHost(3);
    ASSERT_TRUE(h->Open());
    CComboBodyUI* body = h->Popup()->GetBody();
    h->combo->RemoveAll();
    EXPECT_EQ(0, body->GetCount());
    for (int i = 0; i < 4; ++i) h->AddRow(i);
    EXPECT_EQ(4, body->GetCount());
    ASSERT_NE(nullptr, h->combo->GetItemAt(3));
    EXPECT_EQ(&h->Popup()->GetManager(), h->combo->GetItemAt(3)->GetManager());
    h->combo->RemoveAt(0);
    EXPECT_EQ(3, body->GetCount());
    ::InvalidateRect(h->Popup()->GetHWND(), NULL, FALSE);
    ::UpdateWindow(h->Popup()->GetHWND());

    // The host window goes: its owned pop-up is destroyed first, without WM_CLOSE, and every row
    // is back on the host's manager.
    ::DestroyWindow(h->host.hwnd);
    EXPECT_EQ(nullptr, h->Popup());
    for (int i = 0; i < h->combo->GetCount(); ++i) {
        EXPECT_EQ(&h->host.pm, h->combo->GetItemAt(i)->GetManager()) << i;
        EXPECT_EQ(h->combo, h->combo->GetItemAt(i)->GetParent()) << i;
    }
    h->host.hwnd = NULL;
    delete h;
}

TEST_F(UIComboPopup, ComboRemovedWhileOpen)
{
    ComboHost h(3);
    ASSERT_TRUE(h.Open());
    HWND hPopup = h.Popup()->GetHWND();
    EXPECT_TRUE(h.root->Remove(h.combo));
    EXPECT_FALSE(::IsWindow(hPopup));
    Pump(50);
    h.combo = nullptr;
}

namespace {

// The windows of this thread: the pop-ups that were opened and closed must all be gone.
BOOL CALLBACK CountWindow(HWND, LPARAM l)
{
    ++*reinterpret_cast<int*>(l);
    return TRUE;
}

int ThreadWindows()
{
    int n = 0;
    ::EnumThreadWindows(::GetCurrentThreadId(), CountWindow, reinterpret_cast<LPARAM>(&n));
    return n;
}

CControlUI* CALLBACK FindCombo(CControlUI* c, void*)
{
    return wcscmp(c->GetClass(), L"Combo") == 0 ? c : NULL;
}

} // namespace

// Every way a pop-up ends, over and over: no crash, the rows back on the host's manager each time
// and no window left behind. (Opening a pop-up costs about a second under Wine on Xvfb here, so
// the suite runs kCycles rounds per path; TOLLVANE_COMBO_CYCLES asks for more.)
TEST_F(UIComboPopup, CyclesPerClosingPath)
{
    const char* pCycles = getenv("TOLLVANE_COMBO_CYCLES");
    const int kCycles = pCycles != NULL ? atoi(pCycles) : 10;
    ComboHost h(4);
    Host other(600, 100, 50, 50);
    const int windows0 = ThreadWindows();
    struct Path {
        const char* name;
        std::function<void()> close;
    } paths[] = {
        {"return", [&] { ::SendMessageW(h.Popup()->GetHWND(), WM_KEYDOWN, VK_RETURN, 0); }},
        {"escape", [&] { ::SendMessageW(h.Popup()->GetHWND(), WM_KEYDOWN, VK_ESCAPE, 0); }},
        {"row click",
         [&] {
             ASSERT_NE(nullptr, h.combo->GetItemAt(1));
             RECT rr = h.combo->GetItemAt(1)->GetPos();
             LPARAM at = MAKELPARAM((rr.left + rr.right) / 2, (rr.top + rr.bottom) / 2);
             ::SendMessageW(h.Popup()->GetHWND(), WM_LBUTTONDOWN, MK_LBUTTON, at);
             ::SendMessageW(h.Popup()->GetHWND(), WM_LBUTTONUP, 0, at);
         }},
        {"other window", [&] { ::SendMessageW(h.Popup()->GetHWND(), WM_KILLFOCUS, (WPARAM)other.hwnd, 0); }},
        {"selection from code", [&] { h.combo->SelectItem(h.combo->GetCurSel() == 2 ? 3 : 2); }},
    };
    for (const Path& p : paths) {
        for (int i = 0; i < kCycles; ++i) {
            ASSERT_TRUE(h.Open()) << p.name << " " << i;
            p.close();
            ASSERT_TRUE(h.WaitClosed()) << p.name << " " << i;
            ASSERT_TRUE(h.RowsOnHost()) << p.name << " " << i;
        }
        EXPECT_EQ(windows0, ThreadWindows()) << p.name;
    }

    // Host destroyed and combo removed.
    for (int i = 0; i < kCycles; ++i) {
        ComboHost* g = new ComboHost(3);
        ASSERT_TRUE(g->Open()) << i;
        ::DestroyWindow(g->host.hwnd);
        ASSERT_TRUE(g->RowsOnHost()) << i;
        g->host.hwnd = NULL;
        delete g;
    }
    EXPECT_EQ(windows0, ThreadWindows());
    for (int i = 0; i < kCycles; ++i) {
        ASSERT_TRUE(h.Open()) << i;
        CComboUI* combo = h.combo;
        h.root->Remove(combo);
        EXPECT_EQ(nullptr, h.root->FindControl(FindCombo, NULL, 0));
        // A new combo in its place for the next round.
        h.combo = new CComboUI;
        h.combo->SetFixedHeight(24);
        h.combo->SetAttribute(L"itemheight", L"20");
        for (int r = 0; r < 3; ++r) h.AddRow(r);
        h.root->Add(h.combo);
        Pump(5);
    }
    EXPECT_EQ(windows0, ThreadWindows());
}

// A layout of the host while the pop-up is open (a text change, a timer) leaves the rows where the
// pop-up shows them: painted and clickable.
TEST_F(UIComboPopup, HostLayoutWhileOpenKeepsTheRowsInThePopup)
{
    ComboHost h(3);
    ASSERT_TRUE(h.Open());
    CControlUI* row = h.combo->GetItemAt(1);
    ASSERT_TRUE(PumpUntil([&] { return !::IsRectEmpty(&row->GetPos()); }));
    const RECT before = row->GetPos();

    h.root->NeedUpdate();
    ::InvalidateRect(h.host.hwnd, NULL, FALSE);
    ::UpdateWindow(h.host.hwnd);
    ASSERT_TRUE(PumpUntil([&] { return !h.host.pm.IsUpdateNeeded(); }));
    ASSERT_NE(nullptr, h.Popup());
    EXPECT_TRUE(::EqualRect(&before, &row->GetPos()));

    // The row still takes the click.
    LPARAM at = MAKELPARAM((before.left + before.right) / 2, (before.top + before.bottom) / 2);
    HWND hPopup = h.Popup()->GetHWND();
    ::SendMessageW(hPopup, WM_LBUTTONDOWN, MK_LBUTTON, at);
    ::SendMessageW(hPopup, WM_LBUTTONUP, 0, at);
    ASSERT_TRUE(h.WaitClosed());
    EXPECT_EQ(1, h.combo->GetCurSel());
    EXPECT_TRUE(h.RowsOnHost());
}

namespace {

// Takes the pop-up's window class for the duration: a class whose windows refuse to be created.
struct RefusingPopupClass {
    static LRESULT CALLBACK Proc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam)
    {
        if (uMsg == WM_NCCREATE) return FALSE;
        return ::DefWindowProcW(hwnd, uMsg, wParam, lParam);
    }
    RefusingPopupClass()
    {
        ::UnregisterClassW(L"ComboWnd", CPaintManagerUI::GetInstance());
        WNDCLASSW wc = {};
        wc.lpfnWndProc = Proc;
        wc.hInstance = CPaintManagerUI::GetInstance();
        wc.lpszClassName = L"ComboWnd";
        registered = ::RegisterClassW(&wc) != 0;
    }
    ~RefusingPopupClass() { ::UnregisterClassW(L"ComboWnd", CPaintManagerUI::GetInstance()); }
    bool registered = false;
};

} // namespace

// A pop-up whose window cannot be created is not kept: the combo opens again once windows can be
// created.
TEST_F(UIComboPopup, PopupThatCannotBeCreatedIsNotKept)
{
    ComboHost h(3);
    {
        RefusingPopupClass refusing;
        ASSERT_TRUE(refusing.registered);
        EXPECT_FALSE(h.combo->Activate());
        EXPECT_EQ(nullptr, h.Popup());
        EXPECT_TRUE(h.RowsOnHost());
        EXPECT_EQ(0, h.log.Count(L"dropdown"));
    }
    ASSERT_TRUE(h.Open());
    EXPECT_EQ(1, h.log.Count(L"dropdown"));
    ::SendMessageW(h.Popup()->GetHWND(), WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(h.WaitClosed());
    EXPECT_TRUE(h.RowsOnHost());
}
