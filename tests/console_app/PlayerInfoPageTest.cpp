// The customer page in this process: a window of its own that hosts it the way the main frame does
// (every WM_TIMER consumed; the test calls OnTick with a clock of its own), against the café
// stand-in through the scenario's own proxy port. The page loads the café's web-socket page into
// its hidden web view; the stand-in's page calls back with the events the test queues.
#include <gtest/gtest.h>
#include <windows.h>
#include <memory>
#include <string>
#include <vector>
#include <json/json.h>
#include "CodePage.h"
#include "ConsoleAppSupport.h"
#include "ConsoleGlobals.h"
#include "IdCardRecord.h"
#include "PlayerInfoDlg.h"
#include "StandIn.h"
#include "UIContainer.h"
#include "UIManager.h"
#include "UIRender.h"
#include "UIVerticalLayout.h"
#include "WkeWebkitUI.h"

using consoletest::Base64;
using consoletest::SolidBmp;
using consoletest::Utf8;
using enginebase::ReadWholeFile;
using enginebase::ScratchDir;
using enginebase::WriteWholeFile;
using namespace Veneer;

namespace {

const char kSocketPath[] = "/index.php?g=home&m=home&a=websocket&bbarcode=10001";
const COLORREF kRed = RGB(0xD0, 0x20, 0x20);
const COLORREF kBlue = RGB(0x20, 0x40, 0xD0);

uint32_t g_now = 0;
uint32_t FakeClock() { return g_now; }

LRESULT CALLBACK HostProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)
{
    // As the main frame: every timer is consumed (the page's tick comes from the test).
    if (msg == WM_TIMER)
        return 0;
    CPaintManagerUI* pm = reinterpret_cast<CPaintManagerUI*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (pm) {
        LRESULT res = 0;
        if (pm->MessageHandler(msg, wParam, lParam, res))
            return res;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// Runs the thread's messages (the web view's timer among them) until done() holds or ms pass.
template <class F>
bool Pump(DWORD ms, F done)
{
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done())
            return true;
        if (GetTickCount() - start >= ms)
            return false;
        Sleep(5);
    }
}

void PumpFor(DWORD ms)
{
    Pump(ms, [] { return false; });
}

std::string FileBytes(const std::string& ansiPath)
{
    std::string bytes;
    if (!ReadWholeFile(AnsiToWide(ansiPath), bytes))
        return "<missing>";
    return bytes;
}

Json::Value Customer(const char* name, const char* sex, const char* nation, const std::string& photo)
{
    Json::Value c;
    c["uname"] = name;
    c["bsex"] = sex;
    c["bnation"] = nation;
    if (!photo.empty())
        c["photo"]["base64"] = Base64(photo);
    return c;
}

// The café of these tests: code 10001; customer 55 (张三, male, 汉, a red photo) and 56 (Li Si,
// female, 蒙古, a blue one).
Json::Value CafeSpec()
{
    Json::Value spec;
    spec["proxy_port"] = true;
    spec["cafe"]["code"] = "10001";
    spec["cafe"]["customers"]["55"] = Customer("\xE5\xBC\xA0\xE4\xB8\x89", "1", "0000", SolidBmp(40, 50, kRed));
    spec["cafe"]["customers"]["56"] = Customer("Li Si", "2", "\xE8\x92\x99\xE5\x8F\xA4", SolidBmp(40, 50, kBlue));
    return spec;
}

class PlayerInfoPage : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_trace = m_dir / L"trace.txt";
        SetEnvironmentVariableW(L"PELLMORA_TEST_TRACE", m_trace.c_str());
        g_loginNetbarCode = "10001";
        g_now = 1000000;
        // The default picture where the page looks for it: <program directory>\res\Head.png.
        std::string head;
        ASSERT_TRUE(ReadWholeFile(consoletest::TestBinDir() + L"pellmora\\Res\\Head.png", head));
        CreateDirectoryW((m_dir / L"Res").c_str(), nullptr);
        ASSERT_TRUE(WriteWholeFile(m_dir / L"Res\\Head.png", head));

        CPaintManagerUI::SetInstance(GetModuleHandleW(nullptr));
        CPaintManagerUI::SetResourcePath((consoletest::TestBinDir() + L"pellmora\\Res\\").c_str());
        WNDCLASSW wc = {};
        wc.lpfnWndProc = HostProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"PlayerInfoTestHost";
        wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
        RegisterClassW(&wc);
        m_wnd = CreateWindowExW(0, wc.lpszClassName, L"customer page", WS_POPUP | WS_CLIPCHILDREN, 40, 40, 760, 520,
                                nullptr, nullptr, wc.hInstance, nullptr);
        ASSERT_NE(m_wnd, nullptr);
        m_pm = new CPaintManagerUI;
        m_pm->Init(m_wnd);
        SetWindowLongPtrW(m_wnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(m_pm));
        m_root = new CVerticalLayoutUI;
        m_pm->AttachDialog(m_root);
        ShowWindow(m_wnd, SW_SHOWNOACTIVATE);
    }

    void TearDown() override
    {
        if (m_wnd)
            SetWindowLongPtrW(m_wnd, GWLP_USERDATA, 0);
        delete m_pm;  // the control tree, the page with it
        if (m_wnd)
            DestroyWindow(m_wnd);
        EXPECT_EQ(g_playerInfoDlg, nullptr);
        SetEnvironmentVariableW(L"PELLMORA_TEST_TRACE", nullptr);
        g_loginNetbarCode.clear();
    }

    // The page as the frame's builder makes it, attached (DoInit) with the test's clock and folder.
    CPlayerInfoDlg* AddPage()
    {
        CPlayerInfoDlg* page = new CPlayerInfoDlg;
        page->SetClock(&FakeClock);
        page->SetDirectory(m_dir.Path());
        m_root->Add(page);
        return page;
    }

    // The page's first tick loads the web-socket page, which reports code 1 on load.
    bool Connect(CPlayerInfoDlg* page)
    {
        page->OnTick();
        return Pump(20000, [&] { return page->IsConnected(); });
    }

    std::string Last(const std::string& kind, const std::string& first) const
    {
        return consoletest::LastTraced(consoletest::ReadTrace(m_trace), kind, first);
    }

    void Repaint()
    {
        RedrawWindow(m_wnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        PumpFor(100);
    }

    // The first pixel of an image in the page's cache (blue, green, red), or -1.
    long CachedColour(const std::wstring& path)
    {
        TLoadedImage* image = m_pm->GetImage(path.c_str());
        if (image == nullptr || image->pBits == nullptr)
            return -1;
        return RGB(image->pBits[2], image->pBits[1], image->pBits[0]);
    }

    ScratchDir m_dir;
    std::wstring m_trace;
    HWND m_wnd = nullptr;
    CPaintManagerUI* m_pm = nullptr;
    CVerticalLayoutUI* m_root = nullptr;
};

}  // namespace

// A code-2 or code-3 call followed by 20 seconds (from the last load) reloads the page; while
// connected, nothing is reloaded however long.
TEST_F(PlayerInfoPage, TheSocketPageIsReloadedTwentySecondsAfterADisconnect)
{
    standin::Scenario sc(CafeSpec());
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    standin::ScopedProxy proxy(sc.Proxy());
    CPlayerInfoDlg* page = AddPage();
    ASSERT_EQ(g_playerInfoDlg, page);
    ASSERT_TRUE(Connect(page));
    EXPECT_EQ(sc.LogFor(kSocketPath).size(), 1u);
    EXPECT_EQ(Last("player", "call"), "1,0");

    size_t loads = 1;
    for (int code : {2, 3}) {
        SCOPED_TRACE(code);
        const uint32_t lastLoad = g_now;
        // Connected: a minute of ticks loads nothing.
        for (uint32_t t = 5000; t <= 60000; t += 5000) {
            g_now = lastLoad + t;
            page->OnTick();
        }
        PumpFor(300);
        EXPECT_EQ(sc.LogFor(kSocketPath).size(), loads);
        // Disconnected: the next tick more than 20 s after the last load reloads.
        g_now = lastLoad + 60000;
        ASSERT_TRUE(page->IsConnected());
        ASSERT_TRUE(sc.QueueEvent(code, 0, 0));
        ASSERT_TRUE(Pump(10000, [&] { return !page->IsConnected(); }));
        const uint32_t reloadAt = g_now;
        page->OnTick();
        ASSERT_TRUE(Pump(20000, [&] { return page->IsConnected(); }));
        EXPECT_EQ(sc.LogFor(kSocketPath).size(), ++loads);
        // Disconnected again within 20 s of that load: not before 20 s have passed.
        ASSERT_TRUE(sc.QueueEvent(code, 0, 0));
        ASSERT_TRUE(Pump(10000, [&] { return !page->IsConnected(); }));
        g_now = reloadAt + 20000;
        page->OnTick();
        PumpFor(500);
        EXPECT_FALSE(page->IsConnected());
        EXPECT_EQ(sc.LogFor(kSocketPath).size(), loads);
        g_now = reloadAt + 20001;
        page->OnTick();
        ASSERT_TRUE(Pump(20000, [&] { return page->IsConnected(); }));
        EXPECT_EQ(sc.LogFor(kSocketPath).size(), ++loads);
    }
}

// Code 4: get_openinfo, the photo, the labels; a second code-4 call replaces the customer; 120 s
// untouched clear it to blanks and the default picture (res\Head.png under the program directory,
// reached through a doubled backslash and a lower-case "res").
TEST_F(PlayerInfoPage, ACustomerIsShownReplacedAndClearedAfterTwoMinutes)
{
    standin::Scenario sc(CafeSpec());
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    standin::ScopedProxy proxy(sc.Proxy());
    CPlayerInfoDlg* page = AddPage();
    ASSERT_TRUE(Connect(page));
    const std::string photo = page->PhotoPath();
    EXPECT_EQ(photo, WideToAnsi(m_dir.Path()) + "playerimg\\headimg.jpg");
    // The page's QR picture went into the cache right after it was written.
    const std::wstring qr = m_dir.Path() + L"wberweima.bmp";
    EXPECT_EQ(Last("image", "netbarcodeimg"), Utf8(qr));
    TLoadedImage* code = m_pm->GetImage(qr.c_str());
    ASSERT_NE(code, nullptr);
    EXPECT_EQ(code->nWidth, code->nHeight);

    g_now = 2000000;
    ASSERT_TRUE(sc.QueueEvent(4, 55, 0));
    ASSERT_TRUE(Pump(20000, [&] { return page->GetCustomer().uid == 55; }));
    EXPECT_EQ(Last("text", "username"), Utf8(L"张三"));
    EXPECT_EQ(Last("text", "userbirthday"), "110101199001011234");
    EXPECT_EQ(Last("text", "usersex"), Utf8(L"男"));
    EXPECT_EQ(Last("text", "usernation"), Utf8(L"汉"));
    EXPECT_EQ(Last("text", "checkresult"), Utf8(L"开户信息"));
    EXPECT_EQ(Last("image", "headimg"), Utf8(AnsiToWide(photo)));
    EXPECT_EQ(FileBytes(photo), SolidBmp(40, 50, kRed));
    EXPECT_EQ(page->GetShownAt(), 2000000u);
    EXPECT_EQ(page->GetCustomer().portrait, photo);
    auto infos = sc.LogFor("/index.php?g=home&m=open&a=get_openinfo");
    ASSERT_EQ(infos.size(), 1u);
    EXPECT_EQ(infos[0].fields, (std::vector<std::pair<std::string, std::string>>{{"uid", "55"}}));
    Repaint();
    EXPECT_EQ(CachedColour(AnsiToWide(photo)), static_cast<long>(kRed));

    // The next customer, same photo path: the picture is read anew.
    g_now = 2001000;
    ASSERT_TRUE(sc.QueueEvent(4, 56, 0));
    ASSERT_TRUE(Pump(20000, [&] { return page->GetCustomer().uid == 56; }));
    EXPECT_EQ(Last("text", "username"), "Li Si");
    EXPECT_EQ(Last("text", "usersex"), Utf8(L"女"));
    EXPECT_EQ(Last("text", "usernation"), Utf8(L"蒙古"));
    EXPECT_EQ(FileBytes(photo), SolidBmp(40, 50, kBlue));
    EXPECT_EQ(page->GetShownAt(), 2001000u);
    Repaint();
    EXPECT_EQ(CachedColour(AnsiToWide(photo)), static_cast<long>(kBlue));

    g_now = 2001000 + 120000;
    page->OnTick();
    EXPECT_EQ(page->GetCustomer().uid, 56);
    g_now = 2001000 + 120001;
    page->OnTick();
    EXPECT_EQ(page->GetCustomer().uid, 0);
    EXPECT_EQ(page->GetShownAt(), 0u);
    for (const char* label : {"username", "userbirthday", "usersex", "usernation"})
        EXPECT_EQ(Last("text", label), " ") << label;
    EXPECT_EQ(Last("text", "checkresult"), Utf8(L"开户信息"));
    const std::wstring head = page->DefaultPhotoPath();
    EXPECT_EQ(head, m_dir.Path() + L"\\res\\Head.png");
    EXPECT_EQ(Last("image", "headimg"), Utf8(head));
    Repaint();
    TLoadedImage* picture = m_pm->GetImage(head.c_str());
    ASSERT_NE(picture, nullptr) << "the default picture did not load";
    EXPECT_EQ(picture->nWidth, 102);
    EXPECT_EQ(picture->nHeight, 126);
}

// Whatever the new customer's photo, the previous customer's file is gone first; without a new
// photo the page shows the default picture, and the record still names the fixed local path.
TEST_F(PlayerInfoPage, APreviousCustomersPhotoIsNeverShownForTheNext)
{
    Json::Value spec = CafeSpec();
    Json::Value& customers = spec["cafe"]["customers"];
    customers["57"] = Customer("Empty", "1", "0000", "");
    customers["57"]["strzmphoto"] = "";
    customers["58"] = Customer("Url", "1", "0000", "");
    customers["58"]["strzmphoto"] = "https://elsewhere.standin.test/upload/face/58.jpg";
    customers["59"] = Customer("Gone", "1", "0000", "");
    spec["routes"][0]["path"] = "/upload/face/59.jpg";
    spec["routes"][0]["status"] = 404;
    spec["routes"][0]["body"] = "gone";
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    standin::ScopedProxy proxy(sc.Proxy());
    CPlayerInfoDlg* page = AddPage();
    ASSERT_TRUE(Connect(page));
    const std::string photo = page->PhotoPath();

    const struct {
        int uid;
        const char* what;
        const char* request;  // the photo request expected, or null for none
    } cases[] = {
        {57, "an empty strzmphoto is not fetched", nullptr},
        {58, "a full URL is not fetched", nullptr},
        {59, "the photo answers 404", "/upload/face/59.jpg"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(sc.QueueEvent(4, 55, 0));
        ASSERT_TRUE(Pump(20000, [&] { return page->GetCustomer().uid == 55; }));
        ASSERT_EQ(FileBytes(photo), SolidBmp(40, 50, kRed));
        const size_t photoRequests = sc.LogFor("/upload/face/").size();
        ASSERT_TRUE(sc.QueueEvent(4, c.uid, 0));
        ASSERT_TRUE(Pump(20000, [&] { return page->GetCustomer().uid == c.uid; }));
        EXPECT_EQ(FileBytes(photo), "<missing>");
        EXPECT_EQ(Last("image", "headimg"), Utf8(page->DefaultPhotoPath()));
        EXPECT_EQ(Last("player", "photo"), "0");
        EXPECT_EQ(sc.LogFor("/upload/face/").size(), photoRequests + (c.request ? 1 : 0));
        if (c.request) {
            ASSERT_FALSE(sc.LogFor("/upload/face/").empty());
            EXPECT_EQ(sc.LogFor("/upload/face/").back().target, c.request);
        }
        const IdCardRecord record = BuildIdCardRecord(page->GetCustomer());
        EXPECT_STREQ(record.photoPath, photo.c_str());
    }
    EXPECT_TRUE(sc.LogFor("/upload/face/58").empty());
}

// post_openstate: a refusal is sent once more, with "uid" and "open_state" again; the last code
// read decides. Rows: the rules of the stand-in's replies, the result, the requests made.
TEST_F(PlayerInfoPage, PostOpenStateRepeatsARefusalOnceWithBothFields)
{
    const struct {
        const char* what;
        const char* rules;
        bool ok;
        size_t requests;
    } cases[] = {
        {"101 at once", "[]", true, 1},
        {"102, then 101", R"([{"members": {"code": "102"}}])", true, 2},
        {"102, then 103", R"([{"members": {"code": "102"}}, {"members": {"code": "103"}}])", false, 2},
        {"not JSON: no repeat", R"([{"body": "<html>busy</html>"}])", false, 1},
        {"102, then not JSON", R"([{"members": {"code": "102"}}, {"body": "<html>busy</html>"}])", false, 2},
        {"the code as the number 101", R"([{"raw_members": {"code": "101"}}])", true, 1},
    };
    CPlayerInfoDlg page;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Json::Value spec = CafeSpec();
        Json::Value rules;
        Json::Reader().parse(c.rules, rules);
        spec["rules"]["post_openstate"] = rules;
        standin::Scenario sc(spec);
        ASSERT_TRUE(sc.Ok()) << sc.Error();
        standin::ScopedProxy proxy(sc.Proxy());
        EXPECT_EQ(page.PostOpenState(55, 1), c.ok);
        auto posts = sc.LogFor("/index.php?g=home&m=open&a=post_openstate");
        ASSERT_EQ(posts.size(), c.requests);
        for (const auto& post : posts)
            EXPECT_EQ(post.fields,
                      (std::vector<std::pair<std::string, std::string>>{{"uid", "55"}, {"open_state", "1"}}));
    }
}

// The page's destructor clears g_playerInfoDlg and kills timer 1; a page event arriving afterwards
// (the binding is global, another web view may call it) finds no page and does nothing.
TEST_F(PlayerInfoPage, WithoutThePageTheTimerAndTheCallbackDoNothing)
{
    standin::Scenario sc(CafeSpec());
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    standin::ScopedProxy proxy(sc.Proxy());
    CPlayerInfoDlg* page = AddPage();
    ASSERT_TRUE(Connect(page));
    ASSERT_TRUE(KillTimer(m_wnd, CPlayerInfoDlg::kTimerId));  // it was running
    ASSERT_TRUE(SetTimer(m_wnd, CPlayerInfoDlg::kTimerId, CPlayerInfoDlg::kTimerMs, nullptr));

    ASSERT_TRUE(m_root->Remove(page));  // destroys it
    EXPECT_EQ(g_playerInfoDlg, nullptr);
    EXPECT_FALSE(KillTimer(m_wnd, CPlayerInfoDlg::kTimerId));

    // Another view loads the web-socket page: its load-time call and a queued request reach the
    // callback, which has no page to hand them to.
    CWkeWebkitUI* other = new CWkeWebkitUI;
    m_root->Add(other);
    const int calls = consoletest::CountTraced(consoletest::ReadTrace(m_trace), "player", "call");
    ASSERT_TRUE(sc.QueueEvent(4, 55, 0));
    other->Load(AnsiToWide(sc.HttpsUrl(kSocketPath)).c_str());
    ASSERT_TRUE(Pump(20000, [&] { return sc.Cafe()["events"].size() == 0 && !sc.LogFor("/web/cafe_events").empty(); }));
    PumpFor(500);
    EXPECT_EQ(consoletest::CountTraced(consoletest::ReadTrace(m_trace), "player", "call"), calls);
    EXPECT_TRUE(sc.LogFor("/index.php?g=home&m=open&a=get_openinfo").empty());
}

// The paint manager hands its controls Win32 timer ids 0 to 254 on the same window as the page's
// own timer: however many control timers come and go, the page's timer keeps running.
TEST_F(PlayerInfoPage, ControlTimersOfTheWindowLeaveThePagesTimerAlone)
{
    CPlayerInfoDlg* page = AddPage();
    ASSERT_EQ(g_playerInfoDlg, page);
    // Every id the manager can give out, once round (it skips only ids its own timers hold).
    for (UINT local = 0; local < 254; ++local)
        ASSERT_TRUE(m_pm->SetTimer(m_root, 1000 + local, 60000)) << local;
    m_pm->KillTimer(m_root);
    EXPECT_TRUE(KillTimer(m_wnd, CPlayerInfoDlg::kTimerId)) << "the page's timer was taken over and killed";
}

// The photo is fetched on the UI thread: a photo too large, or one that trickles in for longer
// than the page's time limit, fails instead of holding the console; the local file stays absent.
TEST_F(PlayerInfoPage, APhotoTooLargeOrTooSlowFails)
{
    Json::Value large;
    large["size"] = static_cast<Json::UInt>(CPlayerInfoDlg::kPhotoMaxBytes + 1);
    Json::Value trickle;
    trickle["trickle"] = 0.25;
    const struct {
        const char* what;
        Json::Value photo;  // the customer's photo
        Json::Value rule;   // how the stand-in serves it
    } cases[] = {
        {"over the size cap", large, Json::Value(Json::objectValue)},
        // 4 bytes a second: above the low-speed limit, 64 bytes take 16 s.
        {"trickling", Json::Value(std::string(64, 'x')), trickle},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Json::Value spec = CafeSpec();
        spec["cafe"]["customers"]["57"]["photo"] = c.photo;
        spec["rules"]["photo"] = c.rule;
        standin::Scenario sc(spec);
        ASSERT_TRUE(sc.Ok()) << sc.Error();
        standin::ScopedProxy proxy(sc.Proxy());
        CPlayerInfoDlg* page = AddPage();
        const std::string local = WideToAnsi(m_dir / L"photo\\57.jpg");
        EXPECT_FALSE(page->DownloadPhoto("/upload/face/57.jpg", local));
        EXPECT_EQ(GetFileAttributesA(local.c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(GetFileAttributesA((local + ".dl").c_str()), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(sc.LogFor("/upload/face/57.jpg").size(), 1u);
        ASSERT_TRUE(m_root->Remove(page));
    }
    // A photo within the limits still arrives.
    standin::Scenario sc(CafeSpec());
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    standin::ScopedProxy proxy(sc.Proxy());
    CPlayerInfoDlg* page = AddPage();
    EXPECT_TRUE(page->DownloadPhoto("/upload/face/55.jpg", WideToAnsi(m_dir / L"photo\\55.jpg")));
}
