// Rich edit over the platform's windowless text services, in real windows: typing through window
// messages, "textchanged" and "return", the attributes as the engine sees them, the vertical bar
// following the text's height, the wheel, painting (text colour, password mask, the caret of
// layered windows), the message filter's life, the run without the engine and many cycles.
#include "UIControlsTestSupport.h"
#include "UIInputTestSupport.h"
#include "ChildProcess.h"
#include "UIRichEdit.h"
#include "UITxtWinHost.h"
#include "UIScrollBar.h"
#include "UIButton.h"
#include "UIContainer.h"
#include "UIDlgBuilder.h"

#include <gtest/gtest.h>
#include <winternl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string>
#include <vector>

using namespace Veneer;
using namespace controlstest;

namespace {

class RichEditProbe : public CRichEditUI {
public:
    using CRichEditUI::m_bDrawCaret;
    using CRichEditUI::m_bVScrollBarFixing;
    using CRichEditUI::m_lTwhStyle;
    using CRichEditUI::m_pTwh;
    int filterCalls = 0;
    std::vector<int> events;
    void DoEvent(tagTEventUI& event) override
    {
        events.push_back(event.Type);
        CRichEditUI::DoEvent(event);
    }
    DWORD HostMaxLength()
    {
        DWORD n = 0;
        if (m_pTwh != NULL) m_pTwh->TxGetMaxLength(&n);
        return n;
    }
    COLORREF HostColor()
    {
        const CHARFORMATW* pcf = NULL;
        if (m_pTwh != NULL) m_pTwh->TxGetCharFormat(&pcf);
        return pcf != NULL ? pcf->crTextColor : 0xFFFFFFFF;
    }
    LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override
    {
        ++filterCalls;
        return CRichEditUI::MessageHandler(uMsg, wParam, lParam, bHandled);
    }
    LRESULT Send(UINT msg, WPARAM w = 0, LPARAM l = 0)
    {
        LRESULT r = -1;
        TxSendMessage(msg, w, l, &r);
        return r;
    }
    WORD Alignment()
    {
        PARAFORMAT2 pf;
        ::ZeroMemory(&pf, sizeof(pf));
        pf.cbSize = sizeof(pf);
        Send(EM_GETPARAFORMAT, 0, (LPARAM)&pf);
        return pf.wAlignment;
    }
};

typedef std::vector<std::pair<const wchar_t*, const wchar_t*>> Attrs;

int Count(const NotifyLog& log, const wchar_t* type)
{
    int n = 0;
    for (const auto& t : log.Types())
        if (t == type) ++n;
    return n;
}

// Pixels of a rectangle of the surface whose colour is far from white.
int Ink(const rendertest::Surface& s, RECT rc)
{
    int n = 0;
    for (int y = rc.top; y < rc.bottom; ++y)
        for (int x = rc.left; x < rc.right; ++x) {
            DWORD c = s.At(x, y);
            if (rendertest::R(c) + rendertest::G(c) + rendertest::B(c) < 600) ++n;
        }
    return n;
}

// Live GDI objects of this process, counted in the system's shared GDI handle table (the PEB points
// at it; Wine's 64-bit side keeps it in the same layout, where GetGuiResources only answers 0). The entry layout
// is checked against a pen of our own first; -1 when the table cannot be read.
long GdiObjectCount()
{
    typedef NTSTATUS(WINAPI * QueryFn)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    QueryFn query = reinterpret_cast<QueryFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION pbi = {};
    if (query == NULL || query(::GetCurrentProcess(), ProcessBasicInformation, &pbi, sizeof(pbi), NULL) != 0)
        return -1;
    const BYTE* peb = reinterpret_cast<const BYTE*>(pbi.PebBaseAddress);
    const BYTE* table = *reinterpret_cast<const BYTE* const*>(peb + (sizeof(void*) == 8 ? 0xF8 : 0x94));
    if (table == NULL) return -1;
    MEMORY_BASIC_INFORMATION mbi;
    if (::VirtualQuery(table, &mbi, sizeof(mbi)) == 0) return -1;
    const BYTE* end = static_cast<const BYTE*>(mbi.BaseAddress) + mbi.RegionSize;
    HPEN pen = ::CreatePen(PS_SOLID, 1, 0);
    const size_t index = LOWORD((ULONG_PTR)pen);
    const USHORT upper = HIWORD((ULONG_PTR)pen);
    // 64-bit entries: 24 bytes, process id at 8, upper word at 12, type at 14; 32-bit: 16, 4, 8, 10.
    struct Layout {
        size_t size, pid, upper, type;
    } layouts[] = {{24, 8, 12, 14}, {16, 4, 8, 10}};
    long count = -1;
    for (const Layout& l : layouts) {
        const BYTE* e = table + index * l.size;
        if (e + l.size > end || *reinterpret_cast<const USHORT*>(e + l.upper) != upper) continue;
        const USHORT pid = *reinterpret_cast<const USHORT*>(e + l.pid);
        count = 0;
        for (const BYTE* p = table; p + l.size <= end; p += l.size)
            if ((p[l.type] & 0x1F) != 0 && *reinterpret_cast<const USHORT*>(p + l.pid) == pid) ++count;
        break;
    }
    ::DeleteObject(pen);
    return count < 0 ? -1 : count - 1;  // less the pen
}

BOOL CALLBACK CountWindow(HWND hWnd, LPARAM lParam)
{
    DWORD pid = 0;
    ::GetWindowThreadProcessId(hWnd, &pid);
    if (pid == ::GetCurrentProcessId()) {
        ++*reinterpret_cast<long*>(lParam);
        ::EnumChildWindows(hWnd, CountWindow, lParam);
    }
    return TRUE;
}

// USER objects that a leak here would be made of: the process's windows (top-level and child).
long WindowCount()
{
    long n = 0;
    ::EnumWindows(CountWindow, (LPARAM)&n);
    return n;
}

class RichEditFixture : public ManagedFixture {
protected:
    // A rich edit with the skin's attributes applied before its host exists, laid out at rc.
    RichEditProbe* Make(const Attrs& attrs, RECT rc = {10, 10, 210, 60})
    {
        RichEditProbe* re = new RichEditProbe;
        re->SetName(L"re");
        for (const auto& a : attrs) re->SetAttribute(a.first, a.second);
        if (m_pm->GetRoot() == NULL) {
            m_root = new CContainerUI;
            Attach(m_root);
            RECT all = {0, 0, 400, 300};
            m_root->SetPos(all);
        }
        static_cast<CContainerUI*>(m_pm->GetRoot())->Add(re);
        re->SetPos(rc);
        return re;
    }
    void Type(const wchar_t* text)
    {
        for (const wchar_t* p = text; *p; ++p) ::SendMessageW(m_wnd, WM_CHAR, (WPARAM)*p, 1);
    }
    void Return()
    {
        ::SendMessageW(m_wnd, WM_KEYDOWN, VK_RETURN, 1);
        ::SendMessageW(m_wnd, WM_CHAR, L'\r', 1);
        ::SendMessageW(m_wnd, WM_KEYUP, VK_RETURN, 0xC0000001);
    }
    // Sets or clears Ctrl in the thread's key state, as GetKeyState reads it.
    static void HoldCtrl(bool bDown)
    {
        BYTE keys[256];
        ::GetKeyboardState(keys);
        keys[VK_CONTROL] = bDown ? 0x80 : 0;
        keys[VK_LCONTROL] = bDown ? 0x80 : 0;
        ::SetKeyboardState(keys);
    }
    void TearDown() override
    {
        HoldCtrl(false);
        ManagedFixture::TearDown();
    }

    CContainerUI* m_root = nullptr;
};

} // namespace

TEST(RichEdit, DefaultsIdentityAndNoHostAnswers)
{
    RichEditProbe re;
    EXPECT_STREQ(L"RichEdit", re.GetClass());
    EXPECT_EQ(static_cast<CRichEditUI*>(&re), re.GetInterface(L"RichEdit"));
    EXPECT_NE(nullptr, re.GetInterface(L"IContainer"));
    EXPECT_EQ(3u, re.GetControlFlags());
    EXPECT_TRUE(re.IsWantTab());
    EXPECT_TRUE(re.IsRich());
    EXPECT_EQ(0u, re.GetTextColor());
    EXPECT_EQ(ES_MULTILINE, re.m_lTwhStyle);

    // No host: the stored text comes back, the engine's answer is S_FALSE with a written result.
    re.SetText(L"stored 文本");
    EXPECT_STREQ(L"stored 文本", re.GetText().GetData());
    LRESULT r = 12345;
    EXPECT_EQ(S_FALSE, re.TxSendMessage(EM_GETTEXTLENGTHEX, 0, 0, &r));
    EXPECT_EQ(0, r);
    EXPECT_EQ(0, re.GetTextLength());

    re.SetEnabled(false);
    EXPECT_EQ(0u, re.GetControlFlags());
}

TEST(RichEdit, StyleAttributesBeforeTheHost)
{
    struct Case {
        Attrs attrs;
        LONG style;
    } cases[] = {
        {{{L"multiline", L"no"}}, ES_MULTILINE},
        {{{L"multiline", L"false"}}, 0},
        {{{L"readonly", L"true"}, {L"readonly", L"false"}}, ES_MULTILINE | ES_READONLY},
        {{{L"password", L"true"}}, ES_MULTILINE | ES_PASSWORD},
        {{{L"password", L"yes"}}, ES_MULTILINE},
        {{{L"align", L"center"}}, ES_MULTILINE | ES_CENTER},
        {{{L"align", L"left right"}}, ES_MULTILINE | ES_RIGHT},
        {{{L"align", L"right"}, {L"align", L"left"}}, ES_MULTILINE},
        {{{L"vscrollbar", L"true"}}, ES_MULTILINE | WS_VSCROLL | ES_DISABLENOSCROLL},
        {{{L"vscrollbar", L"true"}, {L"hscrollbar", L"true"}, {L"vscrollbar", L"false"}},
         ES_MULTILINE | WS_HSCROLL | ES_DISABLENOSCROLL},
        {{{L"hscrollbar", L"true"}, {L"hscrollbar", L"false"}}, ES_MULTILINE},
        {{{L"autovscroll", L"true"}, {L"autohscroll", L"true"}}, ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL},
    };
    for (const Case& c : cases) {
        RichEditProbe re;
        for (const auto& a : c.attrs) re.SetAttribute(a.first, a.second);
        ASSERT_FALSE(c.attrs.empty());
        EXPECT_EQ(c.style, re.m_lTwhStyle) << c.attrs.front().first << "=" << c.attrs.front().second;
    }
    RichEditProbe re;
    re.SetAttribute(L"vscrollbar", L"true");
    EXPECT_NE(nullptr, re.GetVerticalScrollBar());
    re.SetAttribute(L"hscrollbar", L"true");
    EXPECT_NE(nullptr, re.GetHorizontalScrollBar());
    re.SetAttribute(L"textcolor", L"  #FF0000FF");
    EXPECT_EQ(0xFF0000FFu, re.GetTextColor());
    re.SetAttribute(L"textcolor", L"FF00FF00");
    EXPECT_EQ(0xFF00FF00u, re.GetTextColor());
    re.SetAttribute(L"wanttab", L"false");
    EXPECT_FALSE(re.IsWantTab());
    re.SetAttribute(L"rich", L"TRUE");
    EXPECT_FALSE(re.IsRich());
}

using RichEditHost = RichEditFixture;

// The engine calls the host and the host calls the engine: in the 32-bit build these are thiscall
// virtuals on both sides, which only that build can get wrong.
TEST_F(RichEditHost, EngineAndHostCallEachOther)
{
    RichEditProbe* re = Make({{L"maxchar", L"5"}});
    re->SetText(L"ab");
    ASSERT_NE(nullptr, re->m_pTwh) << "no text services";
    EXPECT_STREQ(L"ab", re->GetText().GetData());
    EXPECT_EQ(2, re->GetTextLength());
    EXPECT_EQ(5u, re->HostMaxLength());

    m_pm->SetFocus(re);
    Type(L"cd");
    EXPECT_STREQ(L"abcd", re->GetText().GetData());

    // The host hands the engine its default formats and answers its property questions.
    CHARFORMAT2W cf;
    ::ZeroMemory(&cf, sizeof(cf));
    cf.cbSize = sizeof(cf);
    re->Send(EM_GETCHARFORMAT, SCF_DEFAULT, (LPARAM)&cf);
    EXPECT_EQ(0u, cf.crTextColor & 0xFFFFFF);
    EXPECT_GT(cf.yHeight, 0);
    EXPECT_EQ(PFA_LEFT, re->Alignment());

    rendertest::Surface s(400, 300);
    s.Fill(0xFFFFFF);
    RECT all = {0, 0, 400, 300};
    re->Paint(s.dc(), all, NULL);
    EXPECT_GT(Ink(s, re->GetPos()), 10);
}

TEST_F(RichEditFixture, TypedTextAndOneTextChangedPerChange)
{
    RichEditProbe* re = Make({});
    m_pm->SetFocus(re);
    EXPECT_TRUE(re->IsFocused());
    m_log.items.clear();
    Type(L"Hi 你好");
    EXPECT_STREQ(L"Hi 你好", re->GetText().GetData());
    EXPECT_EQ(5, Count(m_log, L"textchanged"));
    for (const auto& e : m_log.Entries())
        if (e.rfind(L"textchanged", 0) == 0) {
            EXPECT_EQ(L"textchanged:re", e);
        }

    m_log.items.clear();
    re->SetText(L"replaced");
    EXPECT_STREQ(L"replaced", re->GetText().GetData());
    EXPECT_EQ(1, Count(m_log, L"textchanged"));

    // Keys reach the engine only while the control has the focus.
    m_pm->SetFocus(NULL);
    EXPECT_FALSE(re->IsFocused());
    Type(L"zz");
    EXPECT_STREQ(L"replaced", re->GetText().GetData());
}

TEST_F(RichEditFixture, ReturnTable)
{
    struct Case {
        const wchar_t* wantreturn;
        const wchar_t* wantctrlreturn;
        const wchar_t* multiline;
        bool ctrl;
        bool returnSent;
        const wchar_t* text;
    } cases[] = {
        {L"false", L"true", L"false", false, true, L"ab"},   // single line, the skin takes Return
        {L"false", L"true", L"true", false, true, L"ab"},
        {L"true", L"false", L"true", true, true, L"ab"},     // Ctrl+Return taken
        {L"true", L"false", L"true", false, false, L"a\rb"}, // plain Return reaches the engine
        {L"true", L"true", L"true", true, false, L"a\rb"},
        {L"true", L"true", L"no", false, false, L"a\rb"},    // "no" leaves the control multi-line
    };
    for (const Case& c : cases) {
        RichEditProbe* re = Make({{L"wantreturn", c.wantreturn},
                                  {L"wantctrlreturn", c.wantctrlreturn},
                                  {L"multiline", c.multiline}});
        m_pm->SetFocus(re);
        Type(L"a");
        m_log.items.clear();
        HoldCtrl(c.ctrl);
        Return();
        HoldCtrl(false);
        Type(L"b");
        EXPECT_EQ(c.returnSent ? 1 : 0, Count(m_log, L"return"))
            << c.wantreturn << " " << c.wantctrlreturn << " ctrl " << c.ctrl;
        EXPECT_STREQ(c.text, re->GetText().GetData()) << c.wantreturn << " " << c.wantctrlreturn << " ctrl " << c.ctrl;
        m_root->Remove(re);
    }
}

TEST_F(RichEditFixture, AttributesAsTheEngineSeesThem)
{
    // Read-only set by the skin is not undone by "false".
    RichEditProbe* ro = Make({{L"readonly", L"true"}, {L"readonly", L"false"}, {L"text", L"fixed"}});
    m_pm->SetFocus(ro);
    Type(L"xy");
    EXPECT_STREQ(L"fixed", ro->GetText().GetData());
    m_root->Remove(ro);

    struct AlignCase {
        const wchar_t* value;
        WORD alignment;
    } aligns[] = {{L"center", PFA_CENTER}, {L"left right", PFA_RIGHT}, {L"right", PFA_RIGHT}, {L"left", PFA_LEFT}};
    for (const AlignCase& c : aligns) {
        RichEditProbe* re = Make({{L"align", c.value}, {L"text", L"x"}});
        EXPECT_EQ(c.alignment, re->Alignment()) << c.value;
        // Only a host created later sees the key.
        re->SetAttribute(L"align", L"center");
        EXPECT_EQ(c.alignment, re->Alignment()) << c.value;
        m_root->Remove(re);
    }

    // A limit below 1 becomes the default only through the setter of an existing host; from the
    // skin it reaches the host unchanged.
    RichEditProbe* zero = Make({{L"maxchar", L"0"}});
    EXPECT_EQ(0u, zero->HostMaxLength());
    m_root->Remove(zero);
    RichEditProbe* lim = Make({{L"maxchar", L"7"}});
    EXPECT_EQ(7u, lim->HostMaxLength());
    lim->SetAttribute(L"maxchar", L"0");
    EXPECT_EQ(32767u, lim->HostMaxLength());
    lim->SetAttribute(L"maxchar", L"-3");
    EXPECT_EQ(32767u, lim->HostMaxLength());
    lim->SetAttribute(L"maxchar", L"9");
    EXPECT_EQ(9u, lim->HostMaxLength());
    m_root->Remove(lim);

    // Multi-line switched off on a live host: Return no longer makes a paragraph.
    RichEditProbe* ml = Make({});
    ml->SetAttribute(L"multiline", L"false");
    m_pm->SetFocus(ml);
    Type(L"a");
    Return();
    Type(L"b");
    EXPECT_STREQ(L"ab", ml->GetText().GetData());
}

TEST_F(RichEditFixture, TextColourReachesTheEngineAsBlue)
{
    for (const wchar_t* value : {L"FF0000FF", L"#FF0000FF", L" #FF0000FF"}) {
        // Set later, the colour reaches the host's default format (Wine's engine keeps the one it read).
        RichEditProbe* later = Make({});
        later->SetAttribute(L"textcolor", value);
        EXPECT_EQ(0xFF0000u, later->HostColor()) << value;
        m_root->Remove(later);
        {
            RichEditProbe* re = Make({{L"text", L"MMMMMM"}, {L"textcolor", value}});
            EXPECT_EQ(0xFF0000u, re->HostColor()) << value;
            rendertest::Surface s(400, 300);
            s.Fill(0xFFFFFF);
            RECT all = {0, 0, 400, 300};
            re->Paint(s.dc(), all, NULL);
            int blue = 0, other = 0;
            const RECT& rc = re->GetPos();
            for (int y = rc.top; y < rc.bottom; ++y)
                for (int x = rc.left; x < rc.right; ++x) {
                    DWORD c = s.At(x, y);
                    if (c == 0xFFFFFF) continue;
                    // Smoothed edges mix blue into white: red and green equal, blue full.
                    if (rendertest::B(c) == 255 && rendertest::R(c) == rendertest::G(c))
                        ++blue;
                    else if (rendertest::R(c) > rendertest::B(c))
                        ++other;
                }
            EXPECT_GT(blue, 20) << value;
            EXPECT_EQ(0, other) << value;
            m_root->Remove(re);
        }
    }
}

TEST_F(RichEditFixture, PasswordIsMaskedWithStars)
{
    // Masked, two different texts of one length draw the same; in clear they differ.
    RichEditProbe* wide = Make({{L"password", L"true"}, {L"multiline", L"false"}, {L"text", L"WWWWWW"}},
                               {10, 10, 210, 40});
    RichEditProbe* thin = Make({{L"password", L"true"}, {L"multiline", L"false"}, {L"text", L"iiiiii"}},
                               {10, 50, 210, 80});
    RichEditProbe* clear = Make({{L"multiline", L"false"}, {L"text", L"WWWWWW"}}, {10, 90, 210, 120});
    RichEditProbe* clearThin = Make({{L"multiline", L"false"}, {L"text", L"iiiiii"}}, {10, 130, 210, 160});
    rendertest::Surface s(400, 300);
    s.Fill(0xFFFFFF);
    RECT all = {0, 0, 400, 300};
    m_root->Paint(s.dc(), all, NULL);
    const int inkWide = Ink(s, wide->GetPos());
    const int inkThin = Ink(s, thin->GetPos());
    EXPECT_GT(inkWide, 10);
    EXPECT_EQ(inkWide, inkThin);
    EXPECT_NE(Ink(s, clear->GetPos()), Ink(s, clearThin->GetPos()));
    EXPECT_NE(inkWide, Ink(s, clear->GetPos()));
    // The password is still the text.
    EXPECT_STREQ(L"WWWWWW", wide->GetText().GetData());
}

TEST_F(RichEditFixture, VerticalBarFollowsTheTextHeight)
{
    RichEditProbe* re = Make({{L"vscrollbar", L"true"}}, {10, 10, 210, 70});
    CScrollBarUI* bar = re->GetVerticalScrollBar();
    ASSERT_NE(nullptr, bar);
    re->SetText(L"short");
    re->SetPos(re->GetPos());
    EXPECT_FALSE(bar->IsVisible());

    std::wstring tall;
    for (int i = 0; i < 12; ++i) tall += L"line " + std::to_wstring(i) + L"\r";
    re->SetText(tall.c_str());
    re->SetPos(re->GetPos());
    EXPECT_TRUE(bar->IsVisible());
    EXPECT_EQ(0, bar->GetScrollPos());
    EXPECT_GT(bar->GetScrollRange(), 0);

    // Plain wheel scrolls through the container; with Ctrl it is the engine's, and the bar stays.
    POINT ptScreen = {60, 30};
    ::ClientToScreen(m_wnd, &ptScreen);
    re->events.clear();
    ::SendMessageW(m_wnd, WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, (WORD)-WHEEL_DELTA),
                   MAKELPARAM(ptScreen.x, ptScreen.y));
    EXPECT_EQ(std::vector<int>{}, re->events);  // the filter gave it to the engine
    const int afterCtrlWheel = bar->GetScrollPos();
    ::SendMessageW(m_wnd, WM_MOUSEWHEEL, MAKEWPARAM(0, (WORD)-WHEEL_DELTA), MAKELPARAM(ptScreen.x, ptScreen.y));
    EXPECT_EQ(std::vector<int>{UIEVENT_SCROLLWHEEL}, re->events);  // the container's event
    EXPECT_GT(bar->GetScrollPos(), afterCtrlWheel);

    // The container's scroll operations move the engine's view, and the bar follows the engine.
    re->HomeUp();
    EXPECT_EQ(0, bar->GetScrollPos());
    EXPECT_EQ(0, re->Send(EM_GETFIRSTVISIBLELINE));
    SIZE down = {0, 40};
    re->SetScrollPos(down);
    EXPECT_EQ(40, bar->GetScrollPos());
    EXPECT_GT(re->Send(EM_GETFIRSTVISIBLELINE), 0);
    re->EndDown();
    EXPECT_EQ(bar->GetScrollRange(), bar->GetScrollPos());
    re->LineUp();
    EXPECT_LT(bar->GetScrollPos(), bar->GetScrollRange());

    re->SetText(L"x");
    re->SetPos(re->GetPos());
    EXPECT_FALSE(bar->IsVisible());
}

TEST_F(RichEditFixture, FilterRegistersOnceAndIgnoresOtherControls)
{
    RichEditProbe* re = Make({}, {10, 10, 210, 60});
    CButtonUI* other = new CButtonUI;
    m_root->Add(other);
    RECT rcOther = {220, 10, 300, 60};
    other->SetPos(rcOther);

    re->DoInit();  // a second initialisation adds nothing
    re->filterCalls = 0;
    ::SendMessageW(m_wnd, WM_NULL, 0, 0);
    EXPECT_EQ(1, re->filterCalls);

    // A press on another control leaves the focus where it was; a press inside takes it.
    ::SendMessageW(m_wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(250, 30));
    ::SendMessageW(m_wnd, WM_LBUTTONUP, 0, MAKELPARAM(250, 30));
    EXPECT_FALSE(re->IsFocused());
    ::SendMessageW(m_wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 30));
    ::SendMessageW(m_wnd, WM_LBUTTONUP, 0, MAKELPARAM(50, 30));
    EXPECT_TRUE(re->IsFocused());
    EXPECT_EQ(re, m_pm->GetFocus());

    // Tab stays with a focused rich edit that wants it, moves on otherwise.
    LRESULT lRes = 0;
    EXPECT_FALSE(m_pm->PreMessageHandler(WM_KEYDOWN, VK_TAB, 0, lRes));
    re->SetWantTab(false);
    EXPECT_TRUE(m_pm->PreMessageHandler(WM_KEYDOWN, VK_TAB, 0, lRes));

    // The destroyed control leaves the filters.
    CRichEditUI* gone = re;
    m_root->Remove(re);
    EXPECT_FALSE(m_pm->RemoveMessageFilter(gone));
    ::SendMessageW(m_wnd, WM_CHAR, L'a', 1);
}

// The sample skin's rich edits: two lines with a vertical bar and a colour, and a masked password.
TEST_F(RichEditFixture, SampleSkinRichEdits)
{
    const char* bin = getenv("TOLLVANE_BINARY_DIR");
    std::wstring folder = L"Z:";
    for (const char* c = bin != NULL ? bin : ""; *c; ++c) folder += (*c == '/') ? L'\\' : (wchar_t)*c;
    folder += L"\\tests\\sample_skin\\";
    CPaintManagerUI::SetResourcePath(folder.c_str());
    CDialogBuilder builder;
    CControlUI* root = builder.Create(L"sample.xml", NULL, NULL, m_pm);
    ASSERT_NE(nullptr, root) << "no sample skin in " << bin;
    m_pm->AttachDialog(root);
    RECT all = {0, 0, 480, 560};
    root->SetPos(all);

    CRichEditUI* re = static_cast<CRichEditUI*>(m_pm->FindControl(L"richedit"));
    CRichEditUI* pw = static_cast<CRichEditUI*>(m_pm->FindControl(L"richpassword"));
    ASSERT_NE(nullptr, re);
    ASSERT_NE(nullptr, pw);
    EXPECT_STREQ(L"RichEdit", re->GetClass());
    EXPECT_NE(nullptr, re->GetVerticalScrollBar());
    EXPECT_EQ(0xFF2B5797u, re->GetTextColor());
    CUIString text = re->GetText();
    EXPECT_NE(nullptr, wcsstr(text.GetData(), L"first line\r")) << text.GetData();
    EXPECT_NE(nullptr, wcsstr(text.GetData(), L"second line 第二行")) << text.GetData();
    EXPECT_STREQ(L"secret", pw->GetText().GetData());

    // Masked: another text of the same length paints the same.
    auto ink = [&]() {
        rendertest::Surface s(480, 560);
        s.Fill(0xFFFFFF);
        root->Paint(s.dc(), all, NULL);
        RECT rc = pw->GetPos();
        ::InflateRect(&rc, -2, -2);
        return Ink(s, rc);
    };
    const int inkSecret = ink();
    pw->SetText(L"WWWWWW");
    EXPECT_GT(inkSecret, 10);
    EXPECT_EQ(inkSecret, ink());
    CPaintManagerUI::SetResourcePath(m_dir.c_str());
}

// The process run without the engine: started again by the test below with "msftedit" disabled.
TEST(RichEditNoEngine, DegradesCleanly)
{
    if (::GetEnvironmentVariableW(L"VENEER_RICHEDIT_NO_ENGINE", NULL, 0) == 0)
        GTEST_SKIP() << "runs in the child process of RichEditNoEngineRun";
    ASSERT_EQ((HMODULE)NULL, ::LoadLibraryW(L"msftedit.dll")) << "the engine is still there";

    struct Fixture : public RichEditFixture {
        void TestBody() override {}
        void Run()
        {
            SetUp();
            RichEditProbe* re = Make({{L"bkcolor", L"#FF00FF00"},
                                      {L"bordercolor", L"#FFFF0000"},
                                      {L"bordersize", L"1"},
                                      {L"text", L"kept"}},
                                     {10, 10, 110, 50});
            EXPECT_EQ(nullptr, re->m_pTwh);
            EXPECT_STREQ(L"kept", re->GetText().GetData());
            re->SetText(L"new text");
            EXPECT_STREQ(L"new text", re->GetText().GetData());
            EXPECT_FALSE(m_pm->RemoveMessageFilter(re));
            m_pm->SetFocus(re);
            Type(L"ab");
            Return();
            EXPECT_STREQ(L"new text", re->GetText().GetData());
            rendertest::Surface s(400, 300);
            s.Fill(0xFFFFFF);
            RECT all = {0, 0, 400, 300};
            re->Paint(s.dc(), all, NULL);
            EXPECT_EQ(0x00FF00u, s.At(50, 30));
            EXPECT_EQ(0xFF0000u, s.At(10, 30));
            re->SetPos({10, 10, 120, 60});
            re->LineDown();
            TearDown();
        }
    } f;
    f.Run();
}

TEST(RichEditNoEngineRun, ChildWithoutMsftedit)
{
    // The child is this program under another name beside it, so that Wine's per-program DLL
    // override can disable "msftedit" for it alone: Wine takes a child's WINE* variables from the
    // Unix side, so WINEDLLOVERRIDES set here reaches only a Windows that honours it.
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(NULL, self, MAX_PATH);
    std::wstring child = self;
    child = child.substr(0, child.find_last_of(L'\\') + 1) + L"ui_tests_noengine.exe";
    ASSERT_TRUE(::CopyFileW(self, child.c_str(), FALSE));
    const wchar_t* kKey = L"Software\\Wine\\AppDefaults\\ui_tests_noengine.exe\\DllOverrides";
    HKEY hKey = NULL;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &hKey, NULL));
    const wchar_t kDisabled[] = L"";
    ::RegSetValueExW(hKey, L"msftedit", 0, REG_SZ, (const BYTE*)kDisabled, sizeof(kDisabled));
    ::RegCloseKey(hKey);

    std::wstring dir = rendertest::TempDir(L"richedit_noengine");
    std::wstring outPath = dir + L"child.txt";
    wchar_t old[1024] = L"";
    const DWORD nOld = ::GetEnvironmentVariableW(L"WINEDLLOVERRIDES", old, 1024);
    std::wstring overrides = nOld > 0 ? std::wstring(old) + L";msftedit=" : L"msftedit=";
    ::SetEnvironmentVariableW(L"WINEDLLOVERRIDES", overrides.c_str());
    ::SetEnvironmentVariableW(L"VENEER_RICHEDIT_NO_ENGINE", L"1");

    SECURITY_ATTRIBUTES sa = {sizeof(sa), NULL, TRUE};
    HANDLE hOut = ::CreateFileW(outPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &sa, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, NULL);
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = NULL;
    si.hStdOutput = hOut;
    si.hStdError = hOut;
    PROCESS_INFORMATION pi = {};
    std::wstring cmd = L"\"" + child + L"\" --gtest_filter=RichEditNoEngine.DegradesCleanly";
    BOOL ok = hOut != INVALID_HANDLE_VALUE &&
              ::CreateProcessW(child.c_str(), &cmd[0], NULL, NULL, TRUE, 0, NULL, NULL, &si, &pi);
    ::SetEnvironmentVariableW(L"VENEER_RICHEDIT_NO_ENGINE", NULL);
    ::SetEnvironmentVariableW(L"WINEDLLOVERRIDES", nOld > 0 ? old : NULL);
    if (hOut != INVALID_HANDLE_VALUE) ::CloseHandle(hOut);
    DWORD code = 1;
    if (ok) {
        testsupport::ChildProcess guard(pi);  // ended here also when it hangs
        EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(pi.hProcess, 120000));
        ::GetExitCodeProcess(pi.hProcess, &code);
    }
    ::RegDeleteKeyW(HKEY_CURRENT_USER, kKey);
    ::DeleteFileW(child.c_str());
    ASSERT_TRUE(ok);

    std::string out;
    HANDLE hIn = ::CreateFileW(outPath.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (hIn != INVALID_HANDLE_VALUE) {
        char buf[4096];
        DWORD n = 0;
        while (::ReadFile(hIn, buf, sizeof(buf), &n, NULL) && n > 0) out.append(buf, n);
        ::CloseHandle(hIn);
    }
    EXPECT_EQ(0u, code) << out;
    EXPECT_NE(std::string::npos, out.find("[  PASSED  ] 1 test")) << out;
}

TEST_F(RichEditFixture, FiveHundredCyclesKeepGdiAndUserCountsFlat)
{
    // Wine's 32-bit side leaves the table's pointer in the PEB empty: nothing to count with there.
    if (GdiObjectCount() < 0) GTEST_SKIP() << "no readable GDI handle table in this process";
    auto cycle = [&]() {
        RichEditProbe* re = Make({{L"vscrollbar", L"true"}, {L"textcolor", L"#FF2040A0"}});
        m_pm->SetFocus(re);
        Type(L"ab");
        Return();
        Type(L"c");
        rendertest::Surface s(220, 70);
        RECT all = {0, 0, 220, 70};
        re->Paint(s.dc(), all, NULL);
        EXPECT_STREQ(L"ab\rc", re->GetText().GetData());
        m_root->Remove(re);
    };
    for (int i = 0; i < 20; ++i) cycle();  // caches of the engine and of the fonts settle
    const long gdi0 = GdiObjectCount();
    const long user0 = WindowCount();
    for (int i = 0; i < 500 && !HasFailure(); ++i) cycle();
    const long gdi1 = GdiObjectCount();
    const long user1 = WindowCount();
    ASSERT_GT(gdi0, 0) << "the GDI handle table was not readable";
    // The count sees objects come and go.
    HBRUSH brushes[5];
    for (HBRUSH& b : brushes) b = ::CreateSolidBrush(RGB(1, 2, 3));
    EXPECT_EQ(gdi1 + 5, GdiObjectCount());
    for (HBRUSH b : brushes) ::DeleteObject(b);
    EXPECT_EQ(gdi1, GdiObjectCount());
    ASSERT_GT(user0, 0);
    EXPECT_LE(gdi1, gdi0 + 4) << gdi0 << " -> " << gdi1;
    EXPECT_LE(user1, user0) << user0 << " -> " << user1;
    printf("GDI objects %ld -> %ld, windows %ld -> %ld over 500 cycles\n", gdi0, gdi1, user0, user1);
}

namespace {

// The picture that a layered window hands to the system (its paint manager's off-screen bitmap),
// as 0x00RRGGBB rows, top row first.
std::vector<DWORD> CaptureOffscreen(CPaintManagerUI& pm, int w, int h)
{
    std::vector<DWORD> px((size_t)w * h, 0);
    HBITMAP hbmp = pm.GetPaintOffscreenBitmap();
    if (hbmp == NULL) return px;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = w;
    bi.bmiHeader.biHeight = -h;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    HDC hdc = ::GetDC(NULL);
    ::GetDIBits(hdc, hbmp, 0, (UINT)h, px.data(), &bi, DIB_RGB_COLORS);
    ::ReleaseDC(NULL, hdc);
    for (DWORD& p : px) p &= 0xFFFFFF;
    return px;
}

// A 24-bit bottom-up BMP under the build folder's "screenshots".
bool SaveShot(const std::vector<DWORD>& px, int w, int h, const wchar_t* name)
{
    const char* bin = getenv("TOLLVANE_BINARY_DIR");
    std::wstring dir = L"Z:";
    for (const char* c = bin != NULL ? bin : ""; *c; ++c) dir += (*c == '/') ? L'\\' : (wchar_t)*c;
    dir += L"\\screenshots";
    ::CreateDirectoryW(dir.c_str(), NULL);
    const int stride = (w * 3 + 3) & ~3;
    BITMAPFILEHEADER fh = {};
    BITMAPINFOHEADER ih = {};
    ih.biSize = sizeof(ih);
    ih.biWidth = w;
    ih.biHeight = h;
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    ih.biSizeImage = (DWORD)(stride * h);
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof(fh) + sizeof(ih);
    fh.bfSize = fh.bfOffBits + ih.biSizeImage;
    std::string data((const char*)&fh, sizeof(fh));
    data.append((const char*)&ih, sizeof(ih));
    std::string row((size_t)stride, '\0');
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) {
            DWORD p = px[(size_t)y * w + x];
            row[x * 3] = (char)(p & 0xFF);
            row[x * 3 + 1] = (char)((p >> 8) & 0xFF);
            row[x * 3 + 2] = (char)((p >> 16) & 0xFF);
        }
        data += row;
    }
    HANDLE hFile = ::CreateFileW((dir + L"\\" + name).c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = ::WriteFile(hFile, data.data(), (DWORD)data.size(), &written, NULL);
    ::CloseHandle(hFile);
    return ok && written == data.size();
}

// Pixels of the caret's column in the text colour (pure red here), painted off-screen.
int CaretInk(RichEditProbe* re, bool bPhase)
{
    re->m_bDrawCaret = bPhase;
    rendertest::Surface s(300, 200);
    s.Fill(0xFFFFFF);
    RECT all = {0, 0, 300, 200};
    re->Paint(s.dc(), all, NULL);
    POINT pt = {0, 0};
    ::GetCaretPos(&pt);
    int n = 0;
    for (int y = 0; y < 200; ++y)
        for (int x = pt.x; x < pt.x + 3 && x < 300; ++x)
            if (s.At(x, y) == 0xFF0000) ++n;
    return n;
}

} // namespace

// Outside the unnamed namespace: the test factory that holds the parameter has external linkage.
struct CaretCase {
    bool bLayered;
};

class RichEditLayered : public ::testing::TestWithParam<CaretCase> {};

// In a layered window the system caret does not show: the control blinks its own through timer 20
// and paints it in the text colour. In a normal window the system caret is left to do it.
TEST_P(RichEditLayered, CaretOfTheControlOnlyInLayeredWindows)
{
    const bool bLayered = GetParam().bLayered;
    inputtest::Host host(40, 40, 300, 200);
    if (bLayered) host.pm.SetLayered(true);
    CContainerUI* root = new CContainerUI;
    root->SetBkColor(0xFFFFFFFF);
    host.pm.AttachDialog(root);
    RichEditProbe* re = new RichEditProbe;
    re->SetAttribute(L"textcolor", L"#FFFF0000");
    re->SetAttribute(L"bordercolor", L"#FF2B5797");
    re->SetAttribute(L"bordersize", L"1");
    re->SetAttribute(L"textpadding", L"4,4,4,4");
    re->SetAttribute(L"float", L"true");
    re->SetAttribute(L"pos", L"20,20,280,100");
    root->Add(re);
    RichEditProbe* pw = new RichEditProbe;
    pw->SetAttribute(L"password", L"true");
    pw->SetAttribute(L"multiline", L"false");
    pw->SetAttribute(L"textcolor", L"#FF000000");
    pw->SetAttribute(L"text", L"secret");
    pw->SetAttribute(L"float", L"true");
    pw->SetAttribute(L"pos", L"20,120,280,150");
    root->Add(pw);
    RECT rcRoot = {0, 0, 300, 200};
    root->SetPos(rcRoot);
    RECT rcRe = {20, 20, 280, 100};
    re->SetPos(rcRe);
    RECT rcPw = {20, 120, 280, 150};
    pw->SetPos(rcPw);
    ASSERT_NE(nullptr, re->m_pTwh) << "no text services";

    // Timer 20 runs exactly in layered windows: a second start is refused while it runs.
    EXPECT_EQ(!bLayered, host.pm.SetTimer(re, 20, 1000));
    if (!bLayered) host.pm.KillTimer(re, 20);

    host.Show();
    inputtest::Pump(200);  // the first paint hands the focus to the first tab stop
    host.pm.SetFocus(re);
    ASSERT_TRUE(inputtest::PumpUntil([&] { return ::GetFocus() == host.hwnd; }, 2000));
    ::SendMessageW(host.hwnd, WM_CHAR, L'A', 1);
    ::SendMessageW(host.hwnd, WM_CHAR, L'b', 1);
    EXPECT_TRUE(re->m_pTwh->IsShowCaret());

    if (bLayered) {
        // The phase flips with the timer.
        int flips = 0;
        bool last = re->m_bDrawCaret;
        inputtest::PumpUntil(
            [&] {
                if (re->m_bDrawCaret != last) {
                    ++flips;
                    last = re->m_bDrawCaret;
                }
                return flips >= 2;
            },
            ::GetCaretBlinkTime() * 6);
        EXPECT_GE(flips, 2);
        EXPECT_GT(CaretInk(re, true), 5);
        EXPECT_EQ(0, CaretInk(re, false));

        // A picture of the window: the text, the caret phase on, the masked password.
        re->m_bDrawCaret = true;
        re->Invalidate();
        inputtest::Pump(100);
        std::vector<DWORD> px = CaptureOffscreen(host.pm, 300, 200);
        EXPECT_TRUE(SaveShot(px, 300, 200, L"richedit-layered.bmp"));
        EXPECT_EQ(0x2B5797u, px[(size_t)60 * 300 + 20]);  // the border
        int red = 0;
        for (int y = 20; y < 100; ++y)
            for (int x = 20; x < 280; ++x)
                if (px[(size_t)y * 300 + x] == 0xFF0000) ++red;
        EXPECT_GT(red, 10);  // text and caret in the text colour
    } else {
        EXPECT_EQ(0, CaretInk(re, true));
    }
    host.pm.SetFocus(NULL);
}

INSTANTIATE_TEST_SUITE_P(Windows, RichEditLayered, ::testing::Values(CaretCase{true}, CaretCase{false}),
                         [](const ::testing::TestParamInfo<CaretCase>& info) {
                             return info.param.bLayered ? std::string("Layered") : std::string("Normal");
                         });
