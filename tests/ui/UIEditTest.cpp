// Edit: attributes and painting off-screen; the native edit window on a real, shown window (opening
// by Tab and click, typing, Return, closing, placement while the parents scroll or hide, the
// creation-time styles, the layered caret) and its teardown with the control.
#include "UIControlsTestSupport.h"
#include "UIDlgBuilder.h"
#include "UIContainer.h"
#include "UITabLayout.h"
#include "UIEdit.h"
#include "UIButton.h"

#include <gtest/gtest.h>
#include <string>

using namespace Veneer;
using namespace controlstest;

namespace {

class EditProbe : public CEditUI {
public:
    using CEditUI::m_cPasswordChar;
    using CEditUI::m_rcTextPadding;
    using CEditUI::m_uButtonState;
};

std::wstring WindowText(HWND h)
{
    wchar_t buf[256] = {0};
    ::GetWindowTextW(h, buf, 256);
    return buf;
}

std::wstring ClassOf(HWND h)
{
    wchar_t buf[64] = {0};
    ::GetClassNameW(h, buf, 64);
    return buf;
}

DWORD SelectionOf(HWND h)
{
    DWORD start = 0, end = 0;
    ::SendMessageW(h, EM_GETSEL, (WPARAM)&start, (LPARAM)&end);
    return MAKELONG(start, end);
}

// Native children of a window, by class.
struct ChildCount {
    const wchar_t* cls;
    int n;
};

BOOL CALLBACK CountChild(HWND h, LPARAM l)
{
    ChildCount* p = reinterpret_cast<ChildCount*>(l);
    if (ClassOf(h) == p->cls) ++p->n;
    return TRUE;
}

int CountChildren(HWND parent, const wchar_t* cls)
{
    ChildCount c = {cls, 0};
    ::EnumChildWindows(parent, CountChild, reinterpret_cast<LPARAM>(&c));
    return c.n;
}

RECT ChildRect(HWND parent, HWND child)
{
    RECT rc = {0, 0, 0, 0};
    ::GetWindowRect(child, &rc);
    ::MapWindowPoints(NULL, parent, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

} // namespace

TEST(UIEdit, DefaultsIdentityAndFlags)
{
    EditProbe e;
    EXPECT_STREQ(L"Edit", e.GetClass());
    EXPECT_EQ(static_cast<CEditUI*>(&e), e.GetInterface(L"Edit"));
    EXPECT_EQ(static_cast<CLabelUI*>(&e), e.GetInterface(L"Label"));
    EXPECT_EQ(nullptr, e.GetInterface(L"edit"));
    EXPECT_EQ(0x24u, e.GetTextStyle());
    EXPECT_EQ(4, e.m_rcTextPadding.left);
    EXPECT_EQ(3, e.m_rcTextPadding.top);
    EXPECT_EQ(4, e.m_rcTextPadding.right);
    EXPECT_EQ(3, e.m_rcTextPadding.bottom);
    EXPECT_EQ(255u, e.GetMaxChar());
    EXPECT_FALSE(e.IsReadOnly() || e.IsPasswordMode() || e.IsAutoSelAll());
    EXPECT_EQ(L'*', e.GetPasswordChar());
    EXPECT_EQ(0xFFFFFFFFu, e.GetNativeBkColor());
    EXPECT_EQ(0u, e.GetWindowStyls());
    EXPECT_EQ((HWND)NULL, e.GetNativeWindow());
    EXPECT_EQ(0x3u, e.GetControlFlags());
    e.m_uButtonState = UISTATE_HOT;
    e.SetEnabled(false);
    EXPECT_EQ(0x0u, e.GetControlFlags());
    EXPECT_EQ(0u, e.m_uButtonState);
}

TEST(UIEdit, Attributes)
{
    EditProbe e;
    e.SetAttribute(L"readonly", L"true");
    e.SetAttribute(L"numberonly", L"true");
    e.SetAttribute(L"password", L"true");
    e.SetAttribute(L"autoselall", L"true");
    e.SetAttribute(L"maxchar", L"12");
    e.SetAttribute(L"nativebkcolor", L"#80FF0000");
    EXPECT_TRUE(e.IsReadOnly());
    EXPECT_EQ((UINT)ES_NUMBER, e.GetWindowStyls());
    EXPECT_TRUE(e.IsPasswordMode());
    EXPECT_TRUE(e.IsAutoSelAll());
    EXPECT_EQ(12u, e.GetMaxChar());
    EXPECT_EQ(0x80FF0000u, e.GetNativeBkColor());
    e.SetAttribute(L"nativebkcolor", L"FF00FF00");
    EXPECT_EQ(0xFF00FF00u, e.GetNativeBkColor());

    // Only exactly "true" is true; keys are case-sensitive.
    e.SetAttribute(L"readonly", L"TRUE");
    e.SetAttribute(L"numberonly", L"1");
    e.SetAttribute(L"password", L"false");
    e.SetAttribute(L"Autoselall", L"false");
    EXPECT_FALSE(e.IsReadOnly());
    EXPECT_EQ(0u, e.GetWindowStyls());
    EXPECT_FALSE(e.IsPasswordMode());
    EXPECT_TRUE(e.IsAutoSelAll());
    e.SetAttribute(L"align", L"right");  // label keys reach the label
    EXPECT_EQ(0x24u | DT_RIGHT, e.GetTextStyle());
}

TEST(UIEdit, FactoryKnowsTheTagInAnyCase)
{
    CPaintManagerUI pm;
    for (const wchar_t* xml : {L"<Window><Edit name=\"a\" text=\"x\"/></Window>", L"<Window><EDIT name=\"a\"/></Window>"}) {
        CDialogBuilder builder;
        CControlUI* root = builder.Create(xml, NULL, NULL, &pm);
        ASSERT_NE(nullptr, root);
        EXPECT_STREQ(L"Edit", root->GetClass());
        delete root;
    }
}

TEST_F(ManagedFixture, EditPasswordPaintsOneMaskPerCharacter)
{
    EditProbe* pw = Attach(new EditProbe);
    pw->SetPasswordMode(true);
    pw->SetText(L"a\u4e2dc");
    CEditUI* plain = new CEditUI;
    plain->SetText(L"***");
    Attach(plain);
    RECT rc = {0, 0, 120, 30};
    pw->SetPos(rc, false);
    plain->SetPos(rc, false);
    Surface a(120, 30), b(120, 30);
    a.Fill(0xFFFFFF);
    b.Fill(0xFFFFFF);
    PaintOn(a, pw);
    PaintOn(b, plain);
    int inked = 0, diff = 0;
    for (int y = 0; y < 30; ++y)
        for (int x = 0; x < 120; ++x) {
            inked += a.At(x, y) != 0xFFFFFF;
            diff += a.At(x, y) != b.At(x, y);
        }
    EXPECT_GT(inked, 10);
    EXPECT_EQ(0, diff);
}

namespace {

// A shown, active window with a skin of edits, a button, a scrolling box and a tab layout.
class UIEditWindow : public ManagedFixture {
protected:
    void SetUp() override
    {
        ManagedFixture::SetUp();
        CDialogBuilder builder;
        CControlUI* root = builder.Create(
            L"<Window><VerticalLayout>"
            L"<Edit name=\"first\" height=\"30\" text=\"hello\"/>"
            L"<Edit name=\"pw\" height=\"30\" password=\"true\" text=\"abc\"/>"
            L"<Button name=\"btn\" height=\"30\" text=\"ok\"/>"
            L"<VerticalLayout name=\"box\" height=\"60\" vscrollbar=\"true\">"
            L"<Edit name=\"inner\" height=\"30\" text=\"inside\"/><Control height=\"200\"/></VerticalLayout>"
            L"<TabLayout name=\"tabs\" height=\"40\"><Edit name=\"tabbed\" text=\"t\"/><Control/></TabLayout>"
            L"<Control/>"
            L"</VerticalLayout></Window>",
            NULL, NULL, m_pm);
        ASSERT_NE(nullptr, root);
        m_pm->AttachDialog(root);
        // The cases take these by name (Edit(), FindControl()) without looking again.
        for (const wchar_t* name : {L"first", L"pw", L"btn", L"box", L"inner", L"tabs", L"tabbed"})
            ASSERT_NE(nullptr, m_pm->FindControl(name)) << std::string(name, name + wcslen(name));
        ::ShowWindow(m_wnd, SW_SHOWNORMAL);
        ::SetForegroundWindow(m_wnd);
        ::SetFocus(m_wnd);
        ::UpdateWindow(m_wnd);
        Pump(100, [] { return false; });
        // The first layout focused the first tab stop (and opened its window): start from none.
        m_pm->SetFocus(NULL, true);
        Pump(20, [] { return false; });
        ASSERT_EQ(0, CountChildren(m_wnd, L"EditWnd"));
    }
    void TearDown() override
    {
        Pump(20, [] { return false; });
        ManagedFixture::TearDown();
    }
    CEditUI* Edit(const wchar_t* name) { return static_cast<CEditUI*>(m_pm->FindControl(name)); }
    void Focus(CControlUI* c)
    {
        m_pm->SetFocus(c, true);
        Pump(20, [] { return false; });
    }
    void Tab()
    {
        MSG msg = {m_wnd, WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}};
        CPaintManagerUI::TranslateMessage(&msg);
    }
    int Count(const wchar_t* type) const
    {
        int n = 0;
        for (const auto& i : m_log.items) n += i.type == type;
        return n;
    }
};

} // namespace

TEST_F(UIEditWindow, TabOpensTheNativeWindowOverTheTextArea)
{
    CEditUI* e = Edit(L"first");
    Tab();
    ASSERT_EQ(e, m_pm->GetFocus());
    HWND h = e->GetNativeWindow();
    ASSERT_NE((HWND)NULL, h);
    EXPECT_EQ(L"EditWnd", ClassOf(h));
    EXPECT_EQ(m_wnd, ::GetParent(h));
    EXPECT_EQ(h, ::GetFocus());
    EXPECT_TRUE(::IsWindowVisible(h));
    EXPECT_EQ(L"hello", WindowText(h));
    EXPECT_EQ((DWORD)MAKELONG(5, 5), SelectionOf(h));   // caret after the last character
    RECT rcWant = e->GetPos();
    ::InflateRect(&rcWant, -4, -3);
    RECT rcHave = ChildRect(m_wnd, h);
    EXPECT_TRUE(::EqualRect(&rcWant, &rcHave));
    EXPECT_EQ(255, (int)::SendMessageW(h, EM_GETLIMITTEXT, 0, 0));
    LONG style = ::GetWindowLongW(h, GWL_STYLE);
    EXPECT_EQ(ES_AUTOHSCROLL, style & ES_AUTOHSCROLL);
    EXPECT_EQ(0, style & (ES_PASSWORD | ES_NUMBER | ES_READONLY));

    // Tab again: the window closes, the next edit opens, masked.
    Tab();
    Pump(20, [] { return false; });
    EXPECT_FALSE(::IsWindow(h));
    EXPECT_EQ((HWND)NULL, e->GetNativeWindow());
    CEditUI* pw = Edit(L"pw");
    HWND hp = pw->GetNativeWindow();
    ASSERT_NE((HWND)NULL, hp);
    EXPECT_EQ(ES_PASSWORD, ::GetWindowLongW(hp, GWL_STYLE) & ES_PASSWORD);
    EXPECT_EQ(L'*', (wchar_t)::SendMessageW(hp, EM_GETPASSWORDCHAR, 0, 0));
    EXPECT_EQ(1, CountChildren(m_wnd, L"EditWnd"));
}

TEST_F(UIEditWindow, AutoSelAllSelectsTheWholeText)
{
    CEditUI* e = Edit(L"first");
    e->SetAutoSelAll(true);
    Focus(e);
    ASSERT_NE((HWND)NULL, e->GetNativeWindow());
    EXPECT_EQ((DWORD)MAKELONG(0, 5), SelectionOf(e->GetNativeWindow()));
    // A click keeps the selection.
    POINT pt = {e->GetPos().left + 6, e->GetPos().top + 10};
    tagTEventUI ev = Ev(UIEVENT_BUTTONDOWN, pt.x, pt.y, MK_LBUTTON);
    e->Event(ev);
    EXPECT_EQ((DWORD)MAKELONG(0, 5), SelectionOf(e->GetNativeWindow()));
    // An empty text selects up to 1.
    ::SetFocus(m_wnd);
    Pump(20, [] { return false; });
    e->SetText(L"");
    m_pm->SetFocus(NULL, false);
    Focus(e);
    ASSERT_NE((HWND)NULL, e->GetNativeWindow());
    EXPECT_EQ((DWORD)MAKELONG(0, 0), SelectionOf(e->GetNativeWindow()));  // the edit clamps 1 to its length
}

TEST_F(UIEditWindow, ClickIntoAFocusedEditPlacesTheCaret)
{
    CEditUI* e = Edit(L"first");
    e->SetText(L"abcdefghijkl");
    Focus(e);
    HWND h = e->GetNativeWindow();
    ASSERT_NE((HWND)NULL, h);
    EXPECT_EQ((DWORD)MAKELONG(12, 12), SelectionOf(h));
    // A press near the left end of the text area lands the caret near the start.
    tagTEventUI ev = Ev(UIEVENT_BUTTONDOWN, e->GetPos().left + 4 + 1, e->GetPos().top + 12, MK_LBUTTON);
    e->Event(ev);
    ::SendMessageW(h, WM_LBUTTONUP, 0, MAKELPARAM(1, 9));
    DWORD sel = SelectionOf(h);
    EXPECT_EQ(LOWORD(sel), HIWORD(sel));
    EXPECT_LE(LOWORD(sel), 1);
    EXPECT_EQ(h, e->GetNativeWindow());

    // A focused edit whose window was closed opens it again on a click.
    ::SetFocus(m_wnd);
    Pump(20, [] { return false; });
    ASSERT_EQ((HWND)NULL, e->GetNativeWindow());
    ASSERT_TRUE(e->IsFocused());
    ev = Ev(UIEVENT_BUTTONDOWN, e->GetPos().left + 10, e->GetPos().top + 10, MK_LBUTTON);
    e->Event(ev);
    EXPECT_NE((HWND)NULL, e->GetNativeWindow());
}

TEST_F(UIEditWindow, TypingNotifiesEachChangeAndReturnInsertsNothing)
{
    CEditUI* e = Edit(L"first");
    e->SetText(L"");
    Focus(e);
    HWND h = e->GetNativeWindow();
    ASSERT_NE((HWND)NULL, h);
    m_log.items.clear();
    const wchar_t* typed = L"a1\u4e2d";
    std::wstring expect;
    for (const wchar_t* p = typed; *p; ++p) {
        ::SendMessageW(h, WM_CHAR, *p, 1);
        expect += *p;
        EXPECT_EQ(expect, std::wstring(e->GetText().GetData()));
        EXPECT_EQ(expect, WindowText(h));
    }
    EXPECT_EQ(3, Count(L"textchanged"));
    ASSERT_FALSE(m_log.items.empty());
    EXPECT_EQ(L"first", m_log.items.back().sender);
    ::SendMessageW(h, WM_CHAR, VK_BACK, 1);
    EXPECT_EQ(L"a1", std::wstring(e->GetText().GetData()));
    EXPECT_EQ(4, Count(L"textchanged"));

    ::SendMessageW(h, WM_KEYDOWN, VK_RETURN, 1);
    ::SendMessageW(h, WM_CHAR, VK_RETURN, 1);
    EXPECT_EQ(1, Count(L"return"));
    EXPECT_EQ(4, Count(L"textchanged"));
    EXPECT_EQ(L"a1", WindowText(h));

    // SetText while open reaches the window.
    e->SetText(L"xyz");
    EXPECT_EQ(L"xyz", WindowText(h));
}

TEST_F(UIEditWindow, ClickElsewhereClosesAndThePasswordIsPaintedMasked)
{
    CEditUI* pw = Edit(L"pw");
    Focus(pw);
    HWND h = pw->GetNativeWindow();
    ASSERT_NE((HWND)NULL, h);
    ::SendMessageW(h, WM_CHAR, L'd', 1);
    EXPECT_EQ(L"abcd", std::wstring(pw->GetText().GetData()));
    // A real click on the button.
    CControlUI* btn = m_pm->FindControl(L"btn");
    POINT pt = {btn->GetPos().left + 10, btn->GetPos().top + 10};
    ::SendMessageW(m_wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
    ::SendMessageW(m_wnd, WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
    Pump(50, [] { return false; });
    EXPECT_FALSE(::IsWindow(h));
    EXPECT_EQ((HWND)NULL, pw->GetNativeWindow());
    EXPECT_EQ(btn, m_pm->GetFocus());
    EXPECT_EQ(0, CountChildren(m_wnd, L"EditWnd"));

    // Painted again: four mask characters, the same pixels as a plain "****".
    RECT rc = pw->GetPos();
    const int w = rc.right - rc.left, hgt = rc.bottom - rc.top;
    Surface a(w, hgt), b(w, hgt);
    a.Fill(0xFFFFFF);
    b.Fill(0xFFFFFF);
    RECT rcLocal = {0, 0, w, hgt};
    pw->SetPos(rcLocal, false);
    CEditUI* plain = new CEditUI;
    m_pm->InitControls(plain, NULL);
    plain->SetText(L"****");
    plain->SetPos(rcLocal, false);
    PaintOn(a, pw);
    PaintOn(b, plain);
    delete plain;
    int diff = 0, inked = 0;
    for (int y = 0; y < hgt; ++y)
        for (int x = 0; x < w; ++x) {
            diff += a.At(x, y) != b.At(x, y);
            inked += a.At(x, y) != 0xFFFFFF;
        }
    EXPECT_GT(inked, 10);
    EXPECT_EQ(0, diff);
}

TEST_F(UIEditWindow, ScrollingTheParentHidesAndMovesTheWindow)
{
    CEditUI* e = Edit(L"inner");
    CContainerUI* box = static_cast<CContainerUI*>(m_pm->FindControl(L"box"));
    Focus(e);
    HWND h = e->GetNativeWindow();
    ASSERT_NE((HWND)NULL, h);
    ASSERT_TRUE(::IsWindowVisible(h));
    // Partly scrolled out: the window is clipped to the box and follows the edit.
    SIZE sz = {0, 15};
    box->SetScrollPos(sz);
    EXPECT_EQ(h, e->GetNativeWindow());
    EXPECT_TRUE(::IsWindowVisible(h));
    RECT rcHave = ChildRect(m_wnd, h);
    EXPECT_EQ(box->GetPos().top, rcHave.top);
    EXPECT_EQ(e->GetPos().bottom - 3, rcHave.bottom);
    sz.cy = 0;
    box->SetScrollPos(sz);
    rcHave = ChildRect(m_wnd, h);
    EXPECT_EQ(e->GetPos().top + 3, rcHave.top);
    EXPECT_EQ(e->GetPos().bottom - 3, rcHave.bottom);
    // Wholly scrolled out: the window is hidden; a hidden window gives up the keyboard focus,
    // and with it the edit closes, so nothing of it floats over the box.
    sz.cy = 100;
    box->SetScrollPos(sz);
    ASSERT_LT(e->GetPos().bottom, box->GetPos().top);
    Pump(20, [] { return false; });
    EXPECT_TRUE(e->GetNativeWindow() == NULL || !::IsWindowVisible(e->GetNativeWindow()));
    EXPECT_FALSE(::IsWindow(h) && ::IsWindowVisible(h));
}

TEST_F(UIEditWindow, HidingCloses)
{
    // An edit in a tab page that gets hidden.
    CEditUI* e = Edit(L"tabbed");
    CTabLayoutUI* tabs = static_cast<CTabLayoutUI*>(m_pm->FindControl(L"tabs"));
    Focus(e);
    HWND h = e->GetNativeWindow();
    ASSERT_NE((HWND)NULL, h);
    tabs->SelectItem(1);
    Pump(20, [] { return false; });
    EXPECT_FALSE(e->IsVisible());
    EXPECT_FALSE(::IsWindow(h));
    EXPECT_EQ((HWND)NULL, e->GetNativeWindow());
    // A hidden page's edit does not open.
    m_pm->SetFocus(e, true);
    EXPECT_EQ((HWND)NULL, e->GetNativeWindow());

    // SetVisible(false) on the open edit itself.
    CEditUI* first = Edit(L"first");
    Focus(first);
    h = first->GetNativeWindow();
    ASSERT_NE((HWND)NULL, h);
    first->SetVisible(false);
    Pump(20, [] { return false; });
    EXPECT_FALSE(::IsWindow(h));
    EXPECT_EQ((HWND)NULL, first->GetNativeWindow());
}

TEST_F(UIEditWindow, CreationStylesApplyAtTheNextOpening)
{
    CEditUI* e = Edit(L"first");
    Focus(e);
    HWND h = e->GetNativeWindow();
    ASSERT_NE((HWND)NULL, h);
    e->SetNumberOnly(true);
    e->SetPasswordMode(true);
    EXPECT_EQ(0, ::GetWindowLongW(h, GWL_STYLE) & (ES_NUMBER | ES_PASSWORD));
    // Maximum characters, read-only and text reach the open window.
    e->SetMaxChar(7);
    EXPECT_EQ(7, (int)::SendMessageW(h, EM_GETLIMITTEXT, 0, 0));
    e->SetReadOnly(true);
    EXPECT_EQ(ES_READONLY, ::GetWindowLongW(h, GWL_STYLE) & ES_READONLY);
    e->SetReadOnly(false);

    ::SetFocus(m_wnd);
    Pump(20, [] { return false; });
    ASSERT_EQ((HWND)NULL, e->GetNativeWindow());
    m_pm->SetFocus(NULL, false);
    Focus(e);
    h = e->GetNativeWindow();
    ASSERT_NE((HWND)NULL, h);
    EXPECT_EQ(ES_NUMBER | ES_PASSWORD, ::GetWindowLongW(h, GWL_STYLE) & (ES_NUMBER | ES_PASSWORD));
    EXPECT_EQ(7, (int)::SendMessageW(h, EM_GETLIMITTEXT, 0, 0));
    // The number-only window refuses letters.
    e->SetText(L"");
    ::SendMessageW(h, WM_CHAR, L'x', 1);
    ::SendMessageW(h, WM_CHAR, L'5', 1);
    EXPECT_EQ(L"5", std::wstring(e->GetText().GetData()));
}

TEST_F(UIEditWindow, NativeBackgroundColour)
{
    CEditUI* e = Edit(L"first");
    Focus(e);
    HWND h = e->GetNativeWindow();
    ASSERT_NE((HWND)NULL, h);
    HDC hdc = ::GetDC(h);
    // Default colours: no brush of our own.
    EXPECT_EQ(0, ::SendMessageW(m_wnd, WM_CTLCOLOREDIT, (WPARAM)hdc, (LPARAM)h));
    struct Case {
        DWORD argb;
        UINT style;
    } cases[] = {{0xFF102030, BS_SOLID}, {0x80102030, BS_PATTERN}};
    for (const Case& c : cases) {
        e->SetNativeBkColor(c.argb);
        HBRUSH br = (HBRUSH)::SendMessageW(m_wnd, WM_CTLCOLOREDIT, (WPARAM)hdc, (LPARAM)h);
        ASSERT_NE((HBRUSH)NULL, br);
        LOGBRUSH lb = {};
        ASSERT_NE(0, ::GetObjectW(br, sizeof(lb), &lb));
        EXPECT_EQ(c.style, lb.lbStyle);
        if (c.style == BS_SOLID) {
            EXPECT_EQ(RGB(0x10, 0x20, 0x30), lb.lbColor);
        }
        EXPECT_EQ((COLORREF)0x00EFDFCF, ::GetTextColor(hdc));
        EXPECT_EQ(TRANSPARENT, ::GetBkMode(hdc));
    }
    ::ReleaseDC(h, hdc);
    // Closing frees the brush it made last.
    HBRUSH last = (HBRUSH)::SendMessageW(m_wnd, WM_CTLCOLOREDIT, (WPARAM)NULL, (LPARAM)h);
    ASSERT_NE((HBRUSH)NULL, last);
    ::SetFocus(m_wnd);
    Pump(20, [] { return false; });
    EXPECT_FALSE(::IsWindow(h));
    EXPECT_EQ(0u, (UINT)::GetObjectType(last));
}

TEST_F(UIEditWindow, LayeredWindowDrawsItsOwnCaret)
{
    CEditUI* e = Edit(L"first");
    Focus(e);
    HWND h = e->GetNativeWindow();
    ASSERT_NE((HWND)NULL, h);
    EXPECT_FALSE(::KillTimer(h, EDIT_CARET_TIMERID));   // a plain window has no caret timer
    ::SetFocus(m_wnd);
    Pump(20, [] { return false; });
    m_pm->SetFocus(NULL, false);

    m_pm->SetLayered(true);
    Focus(e);
    h = e->GetNativeWindow();
    ASSERT_NE((HWND)NULL, h);
    RECT rc;
    ::GetClientRect(h, &rc);
    // Two prints a timer tick apart: the caret line shows in one of them only.
    Surface a(rc.right, rc.bottom), b(rc.right, rc.bottom);
    a.Fill(0xFFFFFF);
    b.Fill(0xFFFFFF);
    ::KillTimer(h, EDIT_CARET_TIMERID);   // drive the blink by hand
    ::SendMessageW(h, WM_TIMER, EDIT_CARET_TIMERID, 0);
    ::SendMessageW(h, WM_PRINT, (WPARAM)a.dc(), PRF_CLIENT);
    ::SendMessageW(h, WM_TIMER, EDIT_CARET_TIMERID, 0);
    ::SendMessageW(h, WM_PRINT, (WPARAM)b.dc(), PRF_CLIENT);
    POINT caret = {0, 0};
    ::GetCaretPos(&caret);
    ::GdiFlush();
    int differing = 0, column = -1;
    for (int y = 0; y < rc.bottom; ++y)
        for (int x = 0; x < rc.right; ++x)
            if (a.At(x, y) != b.At(x, y)) {
                ++differing;
                column = x;
            }
    EXPECT_GT(differing, 0);
    EXPECT_EQ(caret.x, column);
    m_pm->SetLayered(false);
}

TEST_F(UIEditWindow, OpenCloseAndDestroyWhileOpenLeaveNothingBehind)
{
    CEditUI* e = Edit(L"first");
    CControlUI* btn = m_pm->FindControl(L"btn");
    Focus(e);
    Focus(btn);
    // Wine answers 0 for these counts; the child-window counts below are what it does show.
    const DWORD user0 = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);
    const DWORD gdi0 = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    for (int i = 0; i < 300; ++i) {
        m_pm->SetFocus(e, true);
        ASSERT_NE((HWND)NULL, e->GetNativeWindow()) << i;
        m_pm->SetFocus(btn, true);
        ASSERT_EQ((HWND)NULL, e->GetNativeWindow()) << i;
    }
    Pump(20, [] { return false; });
    EXPECT_EQ(user0, ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS));
    EXPECT_EQ(gdi0, ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS));
    EXPECT_EQ(0, CountChildren(m_wnd, L"EditWnd"));

    // Destroyed while open: a fresh edit each time, removed from its parent with its window up.
    CContainerUI* root = static_cast<CContainerUI*>(m_pm->GetRoot());
    for (int i = 0; i < 200; ++i) {
        CEditUI* temp = new CEditUI;
        temp->SetText(L"temporary");
        root->AddAt(temp, 0);
        RECT rc = {0, 0, 200, 30};
        temp->SetPos(rc, false);
        m_pm->SetFocus(temp, true);
        HWND h = temp->GetNativeWindow();
        ASSERT_NE((HWND)NULL, h) << i;
        ASSERT_TRUE(root->Remove(temp));
        ASSERT_FALSE(::IsWindow(h)) << i;
    }
    Pump(20, [] { return false; });
    EXPECT_EQ(user0, ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS));
    EXPECT_EQ(gdi0, ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS));
    EXPECT_EQ(0, CountChildren(m_wnd, L"EditWnd"));
}

TEST_F(UIEditWindow, DestroyingTheHostWindowWithTheEditOpen)
{
    CEditUI* e = Edit(L"first");
    Focus(e);
    HWND h = e->GetNativeWindow();
    ASSERT_NE((HWND)NULL, h);
    // The window goes while its paint manager still runs: the edit closes on its focus loss.
    ::DestroyWindow(m_wnd);
    m_wnd = NULL;
    EXPECT_FALSE(::IsWindow(h));
    EXPECT_EQ((HWND)NULL, e->GetNativeWindow());
}

TEST_F(UIEditWindow, DeletingThePaintManagerWithTheEditOpen)
{
    CEditUI* e = Edit(L"first");
    Focus(e);
    HWND h = e->GetNativeWindow();
    ASSERT_NE((HWND)NULL, h);
    // The paint manager goes first (as when a dialog closes): its tree deletes the edit.
    ::SetWindowLongPtrW(m_wnd, GWLP_USERDATA, 0);
    delete m_pm;
    m_pm = nullptr;
    EXPECT_FALSE(::IsWindow(h));
    ::DestroyWindow(m_wnd);
    m_wnd = NULL;
    m_pm = new CPaintManagerUI;   // for TearDown
}

TEST_F(ManagedFixture, EditStateImagesFollowDisabledFocusedAndHot)
{
    WriteSolid(L"n.tga", 4, 4, Px{255, 0, 0, 255});
    WriteSolid(L"h.tga", 4, 4, Px{0, 255, 0, 255});
    WriteSolid(L"f.tga", 4, 4, Px{0, 0, 255, 255});
    WriteSolid(L"d.tga", 4, 4, Px{0, 0, 0, 255});
    Attach(new CControlUI);
    EditProbe* e = Attach(new EditProbe);
    for (auto kv : {std::make_pair(L"normalimage", L"n.tga"), std::make_pair(L"hotimage", L"h.tga"),
                    std::make_pair(L"focusedimage", L"f.tga"), std::make_pair(L"disabledimage", L"d.tga")})
        e->SetAttribute(kv.first, kv.second);
    RECT rc = {0, 0, 40, 20};
    e->SetPos(rc, false);
    auto shown = [&]() {
        Surface s(40, 20);
        s.Fill(0xFFFFFF);
        PaintOn(s, e);
        ::GdiFlush();
        return s.At(20, 10);
    };
    EXPECT_EQ(0xFF0000u, shown());
    tagTEventUI ev = Ev(UIEVENT_MOUSEENTER, 5, 5);
    e->Event(ev);
    EXPECT_EQ(UISTATE_HOT, e->m_uButtonState & UISTATE_HOT);
    EXPECT_EQ(0x00FF00u, shown());
    ev = Ev(UIEVENT_MOUSELEAVE, 100, 100);
    e->Event(ev);
    EXPECT_EQ(0u, e->m_uButtonState & UISTATE_HOT);
    EXPECT_EQ(0xFF0000u, shown());
    ev = Ev(UIEVENT_KILLFOCUS);
    ev.Type = UIEVENT_SETFOCUS;
    e->CControlUI::DoEvent(ev);   // the focused flag alone, without a native window
    EXPECT_EQ(0x0000FFu, shown());
    e->SetEnabled(false);
    EXPECT_EQ(0x000000u, shown());
    // Cursor events: the I-beam while enabled only; a disabled edit takes no cursor events.
    EXPECT_EQ(0u, e->GetControlFlags());
}

namespace {

// Removes the sender of one notification type from the root; records whether the sender's native
// window still existed when the removal returned.
struct EditRemover : INotifyUI {
    CContainerUI* root;
    const wchar_t* type;
    HWND native = NULL;
    int seen = 0;
    bool windowLivedThrough = false;
    EditRemover(CContainerUI* r, const wchar_t* t) : root(r), type(t) {}
    void Notify(TNotifyRecord& msg) override
    {
        if (msg.sType != type || msg.pSender == NULL) return;
        ++seen;
        root->Remove(msg.pSender);
        windowLivedThrough = ::IsWindow(native) != FALSE;
    }
};

} // namespace

// A listener that destroys the edit from its own "textchanged" or "return": the native window is
// not destroyed inside its own message (the native edit is still in its WM_CHAR then); it closes
// by itself once that message is done, and nothing of the edit is left.
TEST_F(UIEditWindow, ListenerThatDestroysTheEditFromItsNotification)
{
    struct Case {
        const char* what;
        const wchar_t* type;
        UINT msg;
        WPARAM key;
    } cases[] = {
        {"textchanged", L"textchanged", WM_CHAR, L'x'},
        {"return", L"return", WM_KEYDOWN, VK_RETURN},
    };
    CContainerUI* root = static_cast<CContainerUI*>(m_pm->GetRoot());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CEditUI* temp = new CEditUI;
        temp->SetName(L"temp");
        temp->SetText(L"temporary");
        root->AddAt(temp, 0);
        RECT rc = {0, 0, 200, 30};
        temp->SetPos(rc, false);
        m_pm->SetFocus(temp, true);
        HWND h = temp->GetNativeWindow();
        ASSERT_NE((HWND)NULL, h);
        EditRemover remover(root, c.type);
        remover.native = h;
        m_pm->AddNotifier(&remover);
        ::SendMessageW(h, c.msg, c.key, 1);
        m_pm->RemoveNotifier(&remover);
        EXPECT_EQ(1, remover.seen);
        EXPECT_TRUE(remover.windowLivedThrough);
        EXPECT_EQ(nullptr, m_pm->FindControl(L"temp"));
        Pump(2000, [h] { return !::IsWindow(h); });
        EXPECT_FALSE(::IsWindow(h));
        EXPECT_EQ(0, CountChildren(m_wnd, L"EditWnd"));
    }
}
