// Date-time picker: today's date, the native picker opened by Tab and a focused click, the date
// written back on focus loss, Escape and Delete, and every closing path repeated (click away,
// keys, hiding, destroying the control, destroying the window) leaving no picker behind.
#include "UIControlsTestSupport.h"
#include "UIDlgBuilder.h"
#include "UIContainer.h"
#include "UITabLayout.h"
#include "UIDateTime.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <functional>
#include <string>

using namespace Veneer;
using namespace controlstest;

namespace {

class DateTimeProbe : public CDateTimeUI {
public:
    using CDateTimeUI::m_nDTUpdateFlag;
    using CDateTimeUI::m_sysTime;
};

std::wstring Today()
{
    SYSTEMTIME st;
    ::GetLocalTime(&st);
    wchar_t buf[32];
    swprintf(buf, 32, L"%04d-%02d-%02d", st.wYear, st.wMonth, st.wDay);
    return buf;
}

int CountPickers(HWND parent)
{
    int n = 0;
    for (HWND h = ::GetWindow(parent, GW_CHILD); h != NULL; h = ::GetWindow(h, GW_HWNDNEXT)) {
        wchar_t cls[64] = {0};
        ::GetClassNameW(h, cls, 64);
        n += wcscmp(cls, L"DateTimeWnd") == 0;
    }
    return n;
}

SYSTEMTIME Date(WORD y, WORD m, WORD d)
{
    SYSTEMTIME st = {};
    st.wYear = y;
    st.wMonth = m;
    st.wDay = d;
    st.wHour = 12;
    return st;
}

// Records the focus losses that reach the paint manager's window.
class KillFocusLog : public IMessageFilterUI {
public:
    std::vector<WPARAM> seen;
    LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM, bool&) override
    {
        if (uMsg == WM_KILLFOCUS) seen.push_back(wParam);
        return 0;
    }
};

// A window that counts the focus losses sent to it.
LRESULT CALLBACK CountingProc(HWND h, UINT m, WPARAM w, LPARAM l)
{
    if (m == WM_KILLFOCUS) {
        LONG_PTR n = ::GetWindowLongPtrW(h, GWLP_USERDATA);
        ::SetWindowLongPtrW(h, GWLP_USERDATA, n + 1);
    }
    return ::DefWindowProcW(h, m, w, l);
}

WNDPROC s_pickerProc = NULL;
LRESULT CALLBACK NoDateProc(HWND h, UINT m, WPARAM w, LPARAM l)
{
    if (m == DTM_GETSYSTEMTIME) {
        SYSTEMTIME* st = reinterpret_cast<SYSTEMTIME*>(l);
        ::ZeroMemory(st, sizeof(*st));
        return GDT_NONE;
    }
    return ::CallWindowProcW(s_pickerProc, h, m, w, l);
}

class UIDateTimeWindow : public ManagedFixture {
protected:
    void SetUp() override
    {
        ManagedFixture::SetUp();
        CDialogBuilder builder;
        CControlUI* root = builder.Create(
            L"<Window><VerticalLayout>"
            L"<DateTime name=\"dt\" height=\"30\"/>"
            L"<Button name=\"btn\" height=\"30\" text=\"ok\"/>"
            L"<TabLayout name=\"tabs\" height=\"40\"><DateTime name=\"tabbed\"/><Control/></TabLayout>"
            L"<Control/>"
            L"</VerticalLayout></Window>",
            NULL, NULL, m_pm);
        ASSERT_NE(nullptr, root);
        m_pm->AttachDialog(root);
        // The cases take these by name (Dt(), ClickButton()) without looking again.
        for (const wchar_t* name : {L"dt", L"btn", L"tabs", L"tabbed"})
            ASSERT_NE(nullptr, m_pm->FindControl(name)) << std::string(name, name + wcslen(name));
        ::ShowWindow(m_wnd, SW_SHOWNORMAL);
        ::SetForegroundWindow(m_wnd);
        ::SetFocus(m_wnd);
        ::UpdateWindow(m_wnd);
        Pump(100, [] { return false; });
        m_pm->SetFocus(NULL, true);
        Pump(20, [] { return false; });
        ASSERT_EQ(0, CountPickers(m_wnd));
    }
    DateTimeProbe* Dt(const wchar_t* name) { return static_cast<DateTimeProbe*>(m_pm->FindControl(name)); }
    void Open(CControlUI* c)
    {
        m_pm->SetFocus(c, true);
        Pump(20, [] { return false; });
    }
    void ClickButton()
    {
        CControlUI* btn = m_pm->FindControl(L"btn");
        POINT pt = {btn->GetPos().left + 10, btn->GetPos().top + 10};
        ::SendMessageW(m_wnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(pt.x, pt.y));
        ::SendMessageW(m_wnd, WM_LBUTTONUP, 0, MAKELPARAM(pt.x, pt.y));
        Pump(20, [] { return false; });
    }
    static void SetPicker(HWND h, SYSTEMTIME st) { ::SendMessageW(h, DTM_SETSYSTEMTIME, GDT_VALID, (LPARAM)&st); }
};

} // namespace

TEST(UIDateTime, TodayAndIdentity)
{
    DateTimeProbe d;
    EXPECT_STREQ(L"DateTime", d.GetClass());
    EXPECT_EQ(static_cast<CDateTimeUI*>(&d), d.GetInterface(L"DateTime"));
    EXPECT_EQ(static_cast<CLabelUI*>(&d), d.GetInterface(L"Label"));
    EXPECT_EQ(Today(), std::wstring(d.GetText().GetData()));
    EXPECT_EQ(0, d.m_nDTUpdateFlag);
    EXPECT_EQ(0x1u, d.GetControlFlags());
    d.SetEnabled(false);
    EXPECT_EQ(0x1u, d.GetControlFlags());
    EXPECT_EQ((HWND)NULL, d.GetNativeWindow());

    // The format pads month and day, and right-aligns the year in four places.
    struct Case {
        SYSTEMTIME st;
        const wchar_t* text;
    } cases[] = {{Date(2024, 3, 5), L"2024-03-05"}, {Date(999, 12, 31), L" 999-12-31"}};
    for (const Case& c : cases) {
        d.m_sysTime = c.st;
        d.m_nDTUpdateFlag = 1;
        d.UpdateText();
        EXPECT_EQ(std::wstring(c.text), std::wstring(d.GetText().GetData()));
    }
    d.m_nDTUpdateFlag = 3;
    d.m_sysTime = Date(2000, 1, 1);
    d.UpdateText();
    EXPECT_EQ(L" 999-12-31", std::wstring(d.GetText().GetData()));
    d.m_nDTUpdateFlag = 2;
    d.UpdateText();
    EXPECT_TRUE(d.GetText().IsEmpty());
}

TEST_F(UIDateTimeWindow, TabOpensThePickerAndClickingAwayWritesTheDateBack)
{
    DateTimeProbe* dt = Dt(L"dt");
    MSG msg = {m_wnd, WM_KEYDOWN, VK_TAB, 0, 0, {0, 0}};
    CPaintManagerUI::TranslateMessage(&msg);
    Pump(20, [] { return false; });
    ASSERT_EQ(dt, m_pm->GetFocus());
    HWND h = dt->GetNativeWindow();
    ASSERT_NE((HWND)NULL, h);
    wchar_t cls[64] = {0};
    ::GetClassNameW(h, cls, 64);
    EXPECT_STREQ(L"DateTimeWnd", cls);
    EXPECT_EQ(h, ::GetFocus());
    RECT rc = {0, 0, 0, 0};
    ::GetWindowRect(h, &rc);
    ::MapWindowPoints(NULL, m_wnd, (POINT*)&rc, 2);
    EXPECT_TRUE(::EqualRect(&rc, &dt->GetPos()));

    SetPicker(h, Date(2024, 3, 5));
    ClickButton();
    EXPECT_FALSE(::IsWindow(h));
    EXPECT_EQ((HWND)NULL, dt->GetNativeWindow());
    EXPECT_EQ(L"2024-03-05", std::wstring(dt->GetText().GetData()));
}

TEST_F(UIDateTimeWindow, FocusedClickOpensAndReinitialisesThePicker)
{
    DateTimeProbe* dt = Dt(L"dt");
    Open(dt);
    HWND h = dt->GetNativeWindow();
    ASSERT_NE((HWND)NULL, h);
    // Closed by hand while the control keeps the framework's focus: a click opens it again.
    ::SetFocus(m_wnd);
    Pump(20, [] { return false; });
    ASSERT_EQ((HWND)NULL, dt->GetNativeWindow());
    ASSERT_TRUE(dt->IsFocused());
    dt->m_sysTime = Date(2023, 7, 8);
    tagTEventUI e = Ev(UIEVENT_BUTTONDOWN, dt->GetPos().left + 5, dt->GetPos().top + 5, MK_LBUTTON);
    dt->Event(e);
    h = dt->GetNativeWindow();
    ASSERT_NE((HWND)NULL, h);
    SYSTEMTIME st = {};
    ASSERT_EQ(GDT_VALID, ::SendMessageW(h, DTM_GETSYSTEMTIME, 0, (LPARAM)&st));
    EXPECT_EQ(2023, st.wYear);
    // Clicked again while open: the same picker takes the control's time again.
    SetPicker(h, Date(2020, 1, 2));
    dt->Event(e);
    EXPECT_EQ(h, dt->GetNativeWindow());
    ASSERT_EQ(GDT_VALID, ::SendMessageW(h, DTM_GETSYSTEMTIME, 0, (LPARAM)&st));
    EXPECT_EQ(2023, st.wYear);
    EXPECT_EQ(8, st.wDay);
    EXPECT_EQ(1, CountPickers(m_wnd));
}

TEST_F(UIDateTimeWindow, EscapeKeepsDeleteClearsAndAnEmptiedControlOpensAtToday)
{
    DateTimeProbe* dt = Dt(L"dt");
    const std::wstring before = dt->GetText().GetData();
    Open(dt);
    HWND h = dt->GetNativeWindow();
    ASSERT_NE((HWND)NULL, h);
    SetPicker(h, Date(2001, 2, 3));
    ::SendMessageW(h, WM_KEYUP, VK_ESCAPE, 0);
    Pump(50, [h] { return !::IsWindow(h); });
    EXPECT_FALSE(::IsWindow(h));
    EXPECT_EQ(before, std::wstring(dt->GetText().GetData()));

    m_pm->SetFocus(NULL, true);
    Open(dt);
    h = dt->GetNativeWindow();
    ASSERT_NE((HWND)NULL, h);
    SetPicker(h, Date(2001, 2, 3));
    ::SendMessageW(h, WM_KEYUP, VK_DELETE, 0);
    EXPECT_TRUE(dt->GetText().IsEmpty());
    Pump(50, [h] { return !::IsWindow(h); });
    EXPECT_FALSE(::IsWindow(h));
    EXPECT_TRUE(dt->GetText().IsEmpty());   // the closing focus loss read nothing back

    dt->m_sysTime = Date(2001, 2, 3);
    m_pm->SetFocus(NULL, true);
    Open(dt);
    h = dt->GetNativeWindow();
    ASSERT_NE((HWND)NULL, h);
    SYSTEMTIME st = {}, now = {};
    ::SendMessageW(h, DTM_GETSYSTEMTIME, 0, (LPARAM)&st);
    ::GetLocalTime(&now);
    EXPECT_EQ(now.wYear, st.wYear);
    EXPECT_EQ(now.wMonth, st.wMonth);
    EXPECT_EQ(now.wDay, st.wDay);
    // Backspace clears as Delete does.
    ::SendMessageW(h, WM_KEYUP, VK_BACK, 0);
    Pump(50, [h] { return !::IsWindow(h); });
    EXPECT_TRUE(dt->GetText().IsEmpty());
}

TEST_F(UIDateTimeWindow, HidingClosesThePicker)
{
    DateTimeProbe* tabbed = Dt(L"tabbed");
    Open(tabbed);
    HWND h = tabbed->GetNativeWindow();
    ASSERT_NE((HWND)NULL, h);
    static_cast<CTabLayoutUI*>(m_pm->FindControl(L"tabs"))->SelectItem(1);
    Pump(20, [] { return false; });
    EXPECT_FALSE(::IsWindow(h));
    EXPECT_EQ((HWND)NULL, tabbed->GetNativeWindow());

    DateTimeProbe* dt = Dt(L"dt");
    Open(dt);
    h = dt->GetNativeWindow();
    ASSERT_NE((HWND)NULL, h);
    dt->SetVisible(false);
    Pump(20, [] { return false; });
    EXPECT_FALSE(::IsWindow(h));
    EXPECT_EQ((HWND)NULL, dt->GetNativeWindow());
    EXPECT_EQ(0, CountPickers(m_wnd));
}

TEST_F(UIDateTimeWindow, FocusLossGoesToThePaintWindowNotTheNewFocus)
{
    KillFocusLog log;
    m_pm->AddMessageFilter(&log);
    WNDCLASSW wc = {};
    wc.lpfnWndProc = CountingProc;
    wc.hInstance = ::GetModuleHandleW(NULL);
    wc.lpszClassName = L"VeneerFocusCounter";
    ::RegisterClassW(&wc);
    HWND other = ::CreateWindowExW(0, wc.lpszClassName, L"", WS_CHILD | WS_VISIBLE, 300, 250, 20, 20, m_wnd, NULL,
                                   wc.hInstance, NULL);
    ASSERT_NE((HWND)NULL, other);
    DateTimeProbe* dt = Dt(L"dt");
    Open(dt);
    HWND h = dt->GetNativeWindow();
    ASSERT_NE((HWND)NULL, h);
    log.seen.clear();
    ::SetFocus(other);
    Pump(20, [] { return false; });
    EXPECT_FALSE(::IsWindow(h));
    EXPECT_EQ(0, (int)::GetWindowLongPtrW(other, GWLP_USERDATA));   // the new focus got no kill-focus
    ASSERT_EQ(1u, log.seen.size());
    EXPECT_EQ((WPARAM)other, log.seen[0]);
    m_pm->RemoveMessageFilter(&log);
    ::DestroyWindow(other);
}

TEST_F(UIDateTimeWindow, AnInvalidPickerDateLeavesTheTimeAlone)
{
    DateTimeProbe* dt = Dt(L"dt");
    dt->m_sysTime = Date(2022, 6, 7);
    dt->SetText(L"x");
    Open(dt);
    HWND h = dt->GetNativeWindow();
    ASSERT_NE((HWND)NULL, h);
    // A picker that has no valid date to give.
    s_pickerProc = (WNDPROC)::SetWindowLongPtrW(h, GWLP_WNDPROC, (LONG_PTR)NoDateProc);
    SYSTEMTIME st = {};
    ASSERT_EQ(GDT_NONE, ::SendMessageW(h, DTM_GETSYSTEMTIME, 0, (LPARAM)&st));
    ClickButton();
    EXPECT_FALSE(::IsWindow(h));
    EXPECT_EQ(2022, dt->m_sysTime.wYear);
    EXPECT_EQ(L"2022-06-07", std::wstring(dt->GetText().GetData()));
}

TEST_F(UIDateTimeWindow, EveryClosingPathTwoHundredTimes)
{
    CContainerUI* root = static_cast<CContainerUI*>(m_pm->GetRoot());
    DateTimeProbe* dt = Dt(L"dt");
    const DWORD user0 = ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS);   // 0 under Wine
    struct Path {
        const char* name;
        std::function<void(HWND)> close;
    } paths[] = {
        {"click elsewhere", [&](HWND) { ClickButton(); }},
        {"delete", [&](HWND h) { ::SendMessageW(h, WM_KEYUP, VK_DELETE, 0); }},
        {"escape", [&](HWND h) { ::SendMessageW(h, WM_KEYUP, VK_ESCAPE, 0); }},
        {"hide", [&](HWND) {
             dt->SetVisible(false);
             dt->SetVisible(true);
         }},
    };
    for (const Path& p : paths) {
        for (int i = 0; i < 200; ++i) {
            m_pm->SetFocus(NULL, true);
            m_pm->SetFocus(dt, true);
            HWND h = dt->GetNativeWindow();
            ASSERT_NE((HWND)NULL, h) << p.name << " " << i;
            p.close(h);
            Pump(200, [h] { return !::IsWindow(h); });
            ASSERT_FALSE(::IsWindow(h)) << p.name << " " << i;
            ASSERT_EQ((HWND)NULL, dt->GetNativeWindow()) << p.name << " " << i;
        }
    }
    // The control destroyed with its picker open.
    for (int i = 0; i < 200; ++i) {
        CDateTimeUI* temp = new CDateTimeUI;
        root->AddAt(temp, 0);
        RECT rc = {0, 0, 120, 30};
        temp->SetPos(rc, false);
        m_pm->SetFocus(temp, true);
        HWND h = temp->GetNativeWindow();
        ASSERT_NE((HWND)NULL, h) << i;
        ASSERT_TRUE(root->Remove(temp));
        ASSERT_FALSE(::IsWindow(h)) << i;
    }
    Pump(20, [] { return false; });
    EXPECT_EQ(0, CountPickers(m_wnd));
    EXPECT_EQ(user0, ::GetGuiResources(::GetCurrentProcess(), GR_USEROBJECTS));
}

// The paint manager's window is a child of a shown top-level window here: destroying a shown
// top-level window costs Wine about two seconds, a child window nothing.
TEST(UIDateTimeHost, DestroyingTheWindowWithThePickerOpenTwoHundredTimes)
{
    CPaintManagerUI::SetInstance(::GetModuleHandleW(NULL));
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ManagedWndProc;
    wc.hInstance = ::GetModuleHandleW(NULL);
    wc.lpszClassName = L"VeneerDateTimeHost";
    ::RegisterClassW(&wc);
    HWND top = ::CreateWindowExW(0, wc.lpszClassName, L"dt", WS_POPUP | WS_VISIBLE, 0, 0, 300, 200, NULL, NULL,
                                 wc.hInstance, NULL);
    ASSERT_NE((HWND)NULL, top);
    ::SetForegroundWindow(top);
    for (int i = 0; i < 200; ++i) {
        HWND wnd = ::CreateWindowExW(0, wc.lpszClassName, L"", WS_CHILD | WS_VISIBLE, 0, 0, 200, 100, top, NULL,
                                     wc.hInstance, NULL);
        ASSERT_NE((HWND)NULL, wnd);
        CPaintManagerUI* pm = new CPaintManagerUI;
        pm->Init(wnd);
        ::SetWindowLongPtrW(wnd, GWLP_USERDATA, (LONG_PTR)pm);
        CDateTimeUI* dt = new CDateTimeUI;
        pm->AttachDialog(dt);
        RECT rc = {0, 0, 120, 30};
        dt->SetPos(rc, false);
        pm->SetFocus(dt, true);
        HWND h = dt->GetNativeWindow();
        ASSERT_NE((HWND)NULL, h) << i;
        ASSERT_EQ(h, ::GetFocus()) << i;
        ::DestroyWindow(wnd);
        EXPECT_FALSE(::IsWindow(h)) << i;
        EXPECT_EQ((HWND)NULL, dt->GetNativeWindow()) << i;
        delete pm;
    }
    ::DestroyWindow(top);
}
