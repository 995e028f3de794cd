// The console's dialog base and message-box window in this process, on a small skin of their own:
// the caption hit test, the standard buttons, the modes of "CancelBtn", placement, and that no
// window outlives its object.
#include <gtest/gtest.h>
#include <windows.h>
#include <memory>
#include "ConsoleAppSupport.h"
#include "DlgActivity.h"
#include "DlgBase.h"
#include "MainFrameWnd.h"
#include "MessageBoxExWnd.h"
#include "UIControl.h"
#include "UIManager.h"
#include "WkeWebkitUI.h"

using consoletest::WaitFor;
using enginebase::ScratchDir;
using enginebase::WriteWholeFile;

namespace {

// 300 x 200; the caption is the top 40 pixels. In it: "TitleLab" from x 0 to 100, "CloseBtn" from
// 100 to 140, then nothing that takes the mouse (the containers do not). Below: "TextLab", 30 high,
// and "CancelBtn" as the flag says.
std::string TestSkin(bool cancelVisible)
{
    return std::string("<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
                       "<Window size=\"300,200\" caption=\"0,0,0,40\">\n"
                       " <VerticalLayout mouse=\"false\" bkcolor=\"#FFFFFFFF\">\n"
                       "  <HorizontalLayout height=\"40\" mouse=\"false\">\n"
                       "   <Label name=\"TitleLab\" width=\"100\" />\n"
                       "   <Button name=\"CloseBtn\" width=\"40\" />\n"
                       "  </HorizontalLayout>\n"
                       "  <Label name=\"TextLab\" height=\"30\" />\n"
                       "  <Button name=\"CancelBtn\" height=\"30\" visible=\"") +
           (cancelVisible ? "true" : "false") +
           "\" />\n"
           " </VerticalLayout>\n"
           "</Window>\n";
}

void Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT)
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void PumpFor(DWORD ms)
{
    DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        Pump();
        Sleep(10);
    }
}

class DialogSkin : public ::testing::Test {
protected:
    void SetUp() override
    {
        Veneer::CPaintManagerUI::SetInstance(GetModuleHandleW(nullptr));
        Veneer::CPaintManagerUI::SetResourcePath(m_dir.Path().c_str());
        ASSERT_TRUE(WriteWholeFile(m_dir / L"shown.xml", TestSkin(true)));
        ASSERT_TRUE(WriteWholeFile(m_dir / L"hidden.xml", TestSkin(false)));
    }

    // The hit-test answer for a client point of the window.
    static LRESULT HitAt(HWND hwnd, int x, int y)
    {
        POINT pt = {x, y};
        ClientToScreen(hwnd, &pt);
        return SendMessageW(hwnd, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y));
    }

    static void ExpectCaptionCases(HWND hwnd)
    {
        UpdateWindow(hwnd);
        PumpFor(200);
        const struct {
            int x, y;
            LRESULT expected;
            const char* where;
        } cases[] = {
            {120, 20, HTCLIENT, "a button inside the caption"},
            {50, 20, HTCAPTION, "a label inside the caption"},
            {220, 20, HTCLIENT, "the caption where no control lies"},
            {50, 55, HTCLIENT, "a label below the caption"},
            {0, 0, HTCAPTION, "the caption's first pixel (on the label)"},
            {50, 40, HTCLIENT, "just below the caption"},
        };
        for (const auto& c : cases)
            EXPECT_EQ(HitAt(hwnd, c.x, c.y), c.expected) << c.where;
    }

    ScratchDir m_dir;
};

}  // namespace

TEST_F(DialogSkin, CaptionHitTestOfBothWindowClasses)
{
    {
        SCOPED_TRACE("CDlgBase");
        CDlgBase dlg(L"t", L"x", L"shown.xml", 0, L"");
        dlg.ShowDlg(L"dialog", nullptr, false);
        ASSERT_TRUE(IsWindow(dlg.GetHWND()));
        ExpectCaptionCases(dlg.GetHWND());
    }
    {
        SCOPED_TRACE("CMessageBoxExWnd");
        CMessageBoxExWnd box(L"t", L"x", 0, L"shown.xml", L"", 0, 0, 0, 0);
        ASSERT_NE(box.Create(nullptr, L"", CDlgBase::kDialogStyle, 0, 0, 0, 0, 0), nullptr);
        ExpectCaptionCases(box.GetHWND());
    }
}

// A press on the button in the caption reaches the button: "CloseBtn" closes both kinds.
TEST_F(DialogSkin, TheCloseButtonInTheCaptionClosesTheWindow)
{
    CDlgBase dlg(nullptr, nullptr, L"shown.xml", 0, L"");
    dlg.ShowDlg(L"dialog", nullptr, false);
    CMessageBoxExWnd box(nullptr, nullptr, 0, L"shown.xml", L"", 0, 0, 0, 0);
    box.Create(nullptr, L"", CDlgBase::kDialogStyle, 0, 0, 0, 0, 0);
    box.ShowWindow(true, false);
    for (HWND hwnd : {dlg.GetHWND(), box.GetHWND()}) {
        ASSERT_TRUE(IsWindow(hwnd));
        UpdateWindow(hwnd);
        PumpFor(100);
        LPARAM at = MAKELPARAM(120, 20);
        PostMessageW(hwnd, WM_MOUSEMOVE, 0, at);
        PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageW(hwnd, WM_LBUTTONUP, 0, at);
        DWORD start = GetTickCount();
        while (IsWindow(hwnd) && GetTickCount() - start < 5000) {
            Pump();
            Sleep(10);
        }
        EXPECT_FALSE(IsWindow(hwnd));
    }
}

TEST_F(DialogSkin, ModeDecidesTheCancelButtonAndTheLabelsGetTitleAndText)
{
    const struct {
        const wchar_t* skin;
        int mode;
        bool visible;
    } cases[] = {
        {L"shown.xml", 0, false}, {L"shown.xml", 1, true}, {L"shown.xml", 2, true},
        {L"hidden.xml", 0, false}, {L"hidden.xml", 1, true}, {L"hidden.xml", 2, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << consoletest::Utf8(c.skin) << " mode " << c.mode);
        CDlgBase dlg(L"标题", L"正文", c.skin, c.mode, L"");
        dlg.ShowDlg(L"dialog", nullptr, false);
        Veneer::CControlUI* cancel = dlg.GetPaintManager().FindControl(L"CancelBtn");
        ASSERT_NE(cancel, nullptr);
        EXPECT_EQ(cancel->IsVisible(), c.visible);
        ASSERT_NE(dlg.GetPaintManager().FindControl(L"TitleLab"), nullptr);
        ASSERT_NE(dlg.GetPaintManager().FindControl(L"TextLab"), nullptr);
        EXPECT_STREQ(dlg.GetPaintManager().FindControl(L"TitleLab")->GetText().GetData(), L"标题");
        EXPECT_STREQ(dlg.GetPaintManager().FindControl(L"TextLab")->GetText().GetData(), L"正文");
    }
}

TEST_F(DialogSkin, MessageBoxIsMovedOnlyWithAllFourValues)
{
    const struct {
        int x, y, w, h;
        bool moved;
    } cases[] = {
        {10, 20, 320, 240, true},
        {10, 20, 320, 0, false},
        {0, 20, 320, 240, false},
        {0, 0, 0, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y << "," << c.w << "," << c.h);
        CMessageBoxExWnd box(nullptr, nullptr, 0, L"shown.xml", L"", c.x, c.y, c.w, c.h);
        box.SetImagePath((std::wstring(L"C:\\nowhere\\") + L"pic.bmp").c_str());
        ASSERT_NE(box.Create(nullptr, L"", CDlgBase::kDialogStyle, 0, 0, 0, 0, 0), nullptr);
        RECT rc;
        GetWindowRect(box.GetHWND(), &rc);
        if (c.moved) {
            EXPECT_EQ(rc.left, c.x);
            EXPECT_EQ(rc.top, c.y);
            EXPECT_EQ(rc.right - rc.left, c.w);
            EXPECT_EQ(rc.bottom - rc.top, c.h);
        } else {
            // Centred on the work area, at the skin's size.
            EXPECT_EQ(rc.right - rc.left, 300);
            EXPECT_EQ(rc.bottom - rc.top, 200);
            MONITORINFO mi = {sizeof mi};
            GetMonitorInfoW(MonitorFromWindow(box.GetHWND(), MONITOR_DEFAULTTONEAREST), &mi);
            EXPECT_NEAR((rc.left + rc.right) / 2, (mi.rcWork.left + mi.rcWork.right) / 2, 1);
            EXPECT_NEAR((rc.top + rc.bottom) / 2, (mi.rcWork.top + mi.rcWork.bottom) / 2, 1);
        }
    }
}

TEST_F(DialogSkin, DoubleClickOnTheCaptionDoesNotMaximise)
{
    CDlgBase dlg(nullptr, nullptr, L"shown.xml", 0, L"");
    dlg.ShowDlg(L"dialog", nullptr, false);
    RECT before, after;
    GetWindowRect(dlg.GetHWND(), &before);
    POINT pt = {50, 20};
    ClientToScreen(dlg.GetHWND(), &pt);
    EXPECT_EQ(SendMessageW(dlg.GetHWND(), WM_NCLBUTTONDBLCLK, HTCAPTION, MAKELPARAM(pt.x, pt.y)), 0);
    PumpFor(100);
    GetWindowRect(dlg.GetHWND(), &after);
    EXPECT_FALSE(IsZoomed(dlg.GetHWND()));
    EXPECT_TRUE(EqualRect(&before, &after));
    // The frameless window has no non-client area.
    RECT client;
    GetClientRect(dlg.GetHWND(), &client);
    EXPECT_EQ(client.right, 300);
    EXPECT_EQ(client.bottom, 200);
}

// No window outlives its object: an open dialog, and a modal run ended by WM_QUIT, which returns
// with the window alive.
TEST_F(DialogSkin, TheWindowGoesWithItsObject)
{
    HWND hwnd = nullptr;
    {
        auto dlg = std::make_unique<CDlgBase>(nullptr, nullptr, L"shown.xml", 0, L"");
        dlg->ShowDlg(L"dialog", nullptr, false);
        hwnd = dlg->GetHWND();
        ASSERT_TRUE(IsWindow(hwnd));
    }
    EXPECT_FALSE(IsWindow(hwnd));

    {
        CDlgBase dlg(nullptr, nullptr, L"shown.xml", 0, L"");
        PostQuitMessage(0);
        dlg.ShowDlg(L"modal", nullptr, true);
        hwnd = dlg.GetHWND();
        EXPECT_TRUE(IsWindow(hwnd));
    }
    EXPECT_FALSE(IsWindow(hwnd));
    // The quit request the modal loop passed on belongs to no loop here.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }

    HWND boxWnd = nullptr;
    {
        CMessageBoxExWnd box(nullptr, nullptr, 0, L"shown.xml", L"", 0, 0, 0, 0);
        boxWnd = box.Create(nullptr, L"", CDlgBase::kDialogStyle, 0, 0, 0, 0, 0);
        ASSERT_TRUE(IsWindow(boxWnd));
    }
    EXPECT_FALSE(IsWindow(boxWnd));
}

// A skin without the optional controls, or one that cannot be read, still makes a window.
TEST_F(DialogSkin, MissingControlsOrSkinDoNothing)
{
    ASSERT_TRUE(WriteWholeFile(m_dir / L"bare.xml",
                               "<Window size=\"200,100\"><VerticalLayout bkcolor=\"#FFFFFFFF\" /></Window>"));
    for (const wchar_t* skin : {L"bare.xml", L"absent.xml"}) {
        CDlgBase dlg(L"t", L"x", skin, 1, L"");
        dlg.ShowDlg(L"dialog", nullptr, false);
        EXPECT_TRUE(IsWindow(dlg.GetHWND()));
        EXPECT_EQ(dlg.GetPaintManager().FindControl(L"TitleLab"), nullptr);
    }
}

// The builder callbacks of the activities dialog and the main frame: "WbkWebkit", compared
// case-sensitively, yields a web view; other tags nothing.
TEST(BuilderCallbacks, WbkWebkitYieldsAWebViewAndOtherTagsNothing)
{
    CDlgActivity activity(L"huodong.xml");
    CMainFrameWnd frame;
    Veneer::IDialogBuilderCallback* callbacks[] = {&activity, &frame};
    for (Veneer::IDialogBuilderCallback* callback : callbacks) {
        std::unique_ptr<Veneer::CControlUI> view(callback->CreateControl(L"WbkWebkit"));
        ASSERT_NE(view, nullptr);
        EXPECT_STREQ(view->GetClass(), L"WbkWebkitUI");
        EXPECT_NE(view->GetInterface(L"WbkWebkitUI"), nullptr);
        for (const wchar_t* tag : {L"wbkwebkit", L"WbkWebkitUI", L"Button", L""})
            EXPECT_EQ(callback->CreateControl(tag), nullptr) << tag;
    }
    EXPECT_EQ(activity.CreateControl(L"PlayerInfoDlg"), nullptr);
    EXPECT_EQ(activity.CreateControl(L"KaiHuDlg"), nullptr);
    // The frame's pages.
    struct Page {
        const wchar_t* tag;
        const wchar_t* interfaceName;
    } pages[] = {{L"KaiHuDlg", L"IContainer"}, {L"SystemSettingDlg", L"IContainer"}};
    for (const Page& p : pages) {
        std::unique_ptr<Veneer::CControlUI> page(frame.CreateControl(p.tag));
        ASSERT_NE(page, nullptr) << p.tag;
        EXPECT_NE(page->GetInterface(p.interfaceName), nullptr) << p.tag;
    }
    EXPECT_EQ(frame.CreateControl(L"kaihudlg"), nullptr);
    EXPECT_EQ(frame.CreateControl(L"systemsettingdlg"), nullptr);
}
