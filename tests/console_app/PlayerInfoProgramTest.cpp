// The console's customer page run whole: Pellmora logs in against the café stand-in, its hidden
// web-socket page connects, the test queues account-opening requests through the stand-in, and a
// window titled "QCODE_DIALOG_AGENT" in this process (on a thread of its own that pumps messages,
// since the console's send waits for its answer) receives the identity records.
#include <gtest/gtest.h>
#include <windows.h>
#include <json/json.h>
#include <string.h>
#include <mutex>
#include <string>
#include <vector>
#include "AgentWindow.h"
#include "ConsoleAppSupport.h"
#include "PellmoraInstallation.h"
#include "ServerBaseUrl.h"
#include "StandIn.h"
#include "SysHelpers.h"

using consoletest::SolidBmp;
using consoletest::Utf8;
using namespace pellmoratest;

namespace {

const char kSocketPath[] = "/index.php?g=home&m=home&a=websocket&bbarcode=10001";
const char kOpenStatePath[] = "/index.php?g=home&m=open&a=post_openstate";
const COLORREF kRed = RGB(0xD0, 0x20, 0x20);
const COLORREF kLight = RGB(0xEE, 0xF2, 0xF5);  // Head.png's ground
const COLORREF kGrey = RGB(0xB8, 0xC2, 0xCC);   // Head.png's head

std::string At(const std::string& record, size_t offset, size_t size) { return record.substr(offset, size); }

int32_t Int32At(const std::string& record, size_t offset)
{
    int32_t v = 0;
    memcpy(&v, record.data() + offset, 4);
    return v;
}

std::string Padded(const std::string& text, size_t size) { return text + std::string(size - text.size(), '\0'); }

std::string FourZeros(size_t size) { return Padded("0000", size); }

std::string FileBytes(const std::wstring& path)
{
    std::string bytes;
    return ReadWholeFile(path, bytes) ? bytes : std::string("<missing>");
}

Json::Value Customer(const std::string& name, const char* sex, const std::string& photo)
{
    Json::Value c;
    c["uname"] = name;
    c["bsex"] = sex;
    c["bnation"] = "0000";
    c["bcertificode"] = "110101199001011234";
    c["photo"]["base64"] = consoletest::Base64(photo);
    return c;
}

// How many times the value was traced for the name.
int CountValue(const std::vector<TraceLine>& lines, const std::string& kind, const std::string& first,
               const std::string& second)
{
    int n = 0;
    for (const auto& l : lines)
        n += l.kind == kind && l.first == first && l.second == second;
    return n;
}

bool WaitCount(const ConsoleInstallation& inst, const std::string& kind, const std::string& first,
               const std::string& second, int count, DWORD timeoutMs = 30000)
{
    return WaitFor([&] { return CountValue(inst.Trace(), kind, first, second) >= count; }, timeoutMs);
}

// The number of handles the process holds, from the system's handle list (GetProcessHandleCount
// answers 0 under Wine); 0 when the list cannot be read.
ULONG HandleCount(DWORD pid)
{
    struct Entry {
        ULONG owner;
        BYTE type, flags;
        USHORT value;
        PVOID object;
        ACCESS_MASK access;
    };
    typedef LONG(WINAPI * QuerySystem)(ULONG, PVOID, ULONG, PULONG);
    QuerySystem query = reinterpret_cast<QuerySystem>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr)
        return 0;
    std::vector<BYTE> buffer(1 << 20);
    for (int attempt = 0; attempt < 6; ++attempt) {
        ULONG needed = 0;
        LONG status = query(16 /* SystemHandleInformation */, buffer.data(), static_cast<ULONG>(buffer.size()), &needed);
        if (status == 0) {
            const ULONG count = *reinterpret_cast<const ULONG*>(buffer.data());
            const Entry* entries = reinterpret_cast<const Entry*>(buffer.data() + sizeof(ULONG_PTR));
            ULONG mine = 0;
            for (ULONG i = 0; i < count; ++i)
                mine += entries[i].owner == pid;
            return mine;
        }
        buffer.resize(buffer.size() * 2);
    }
    return 0;
}

// Logs in and waits for the hidden page's load-time call (code 1).
HWND LogInConnected(ConsoleInstallation& inst, const standin::Scenario& sc, HANDLE& process, DWORD& pid)
{
    HWND frame = LogIn(inst, sc, process, pid);
    if (frame != nullptr && !inst.WaitTraced("player", "call", "1,0", 60000))
        return nullptr;
    return frame;
}

void CloseConsole(HWND frame, HANDLE process)
{
    PostMessageW(frame, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(Exited(process, 30000));
    EXPECT_EQ(ExitCode(process), 0u);
}

}  // namespace

// The hidden page loads, calls code 1 and opens its WebSocket; a queued request, pushed over the
// socket, shows the customer with the stand-in's photo (a screenshot of the frame is kept as
// console_customer.bmp); "okBtn" gets 102, then 101 from post_openstate, shows "开户成功!", and the agent window receives the 936-byte record.
TEST(PellmoraCustomerPage, ARequestIsShownConfirmedAndHandedToTheAgent)
{
    AgentWindow agent;
    ASSERT_NE(agent.Handle(), nullptr);
    ConsoleInstallation inst;
    Json::Value spec = CafeSpec();
    spec["cafe"]["customers"]["55"] = Customer(Utf8(L"张三"), "2", SolidBmp(40, 50, kRed));
    spec["rules"]["post_openstate"][0]["members"]["code"] = "102";
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    HANDLE process = nullptr;
    DWORD pid = 0;
    HWND frame = LogInConnected(inst, sc, process, pid);
    ASSERT_NE(frame, nullptr) << Utf8(AnsiToWide(inst.Last("player", "socket")));
    auto loads = sc.LogFor(kSocketPath);
    ASSERT_GE(loads.size(), 1u);
    EXPECT_EQ(inst.Last("player", "socket"), std::string(g_serverBaseUrl) + kSocketPath);
    // The page's own QR code: the scrambled "V20170904,<café code>", written beside the program.
    EXPECT_EQ(inst.Last("player", "qrcode"), "V20170904,10001");
    EXPECT_NE(FileBytes(inst.Path(L"wberweima.bmp")).substr(0, 2), "<m");

    ASSERT_TRUE(sc.QueueEvent(4, 55, 0));
    ASSERT_TRUE(inst.WaitTraced("text", "username", Utf8(L"张三")));
    // The request reached the page over its WebSocket to the café host, inside the proxy's tunnel.
    auto sockets = sc.LogFor("/web/cafe_events");
    ASSERT_GE(sockets.size(), 1u);
    EXPECT_EQ(sockets[0].Header("Upgrade"), "websocket");
    EXPECT_EQ(sockets[0].scheme, "https");
    std::vector<TraceLine> trace = inst.Trace();
    EXPECT_EQ(consoletest::LastTraced(trace, "text", "userbirthday"), "110101199001011234");
    EXPECT_EQ(consoletest::LastTraced(trace, "text", "usersex"), Utf8(L"女"));
    EXPECT_EQ(consoletest::LastTraced(trace, "text", "usernation"), Utf8(L"汉"));
    const std::wstring photo = inst.Path(L"playerimg\\headimg.jpg");
    EXPECT_EQ(consoletest::LastTraced(trace, "image", "headimg"), Utf8(photo));
    EXPECT_EQ(FileBytes(photo), SolidBmp(40, 50, kRed));

    // The frame as drawn with the customer: the photo fills "headimg", the QR code has both colours.
    RECT head = {}, qr = {};
    ASSERT_TRUE(WaitFor([&] { return consoletest::TracedRect(inst.Trace(), "headimg", head); }, 20000));
    ASSERT_TRUE(WaitFor([&] { return consoletest::TracedRect(inst.Trace(), "netbarcodeimg", qr); }, 20000));
    POINT centre = consoletest::Centre(head);
    int width = 0, height = 0;
    std::vector<BYTE> pixels;
    EXPECT_TRUE(WaitFor([&] {
        pixels = CaptureWindow(frame, L"console_customer.bmp", width, height);
        return PixelNear(pixels, width, centre.x, centre.y, kRed);
    }, 20000)) << "screenshot: console_customer.bmp";
    POINT qrCentre = consoletest::Centre(qr);
    bool dark = false, bright = false;
    for (int x = qr.left + 2; x < qr.right - 2; ++x) {
        dark = dark || PixelNear(pixels, width, x, qrCentre.y, RGB(0, 0, 0));
        bright = bright || PixelNear(pixels, width, x, qrCentre.y, RGB(0xFF, 0xFF, 0xFF));
    }
    EXPECT_TRUE(dark && bright) << "no QR code in netbarcodeimg";

    ASSERT_TRUE(inst.Click(frame, "okBtn"));
    ASSERT_TRUE(inst.WaitTraced("text", "checkresult", Utf8(L"开户成功!")));
    auto posts = sc.LogFor(kOpenStatePath);
    ASSERT_EQ(posts.size(), 2u);
    for (const auto& post : posts)
        EXPECT_EQ(post.fields, (std::vector<std::pair<std::string, std::string>>{{"uid", "55"}, {"open_state", "1"}}));
    trace = inst.Trace();
    EXPECT_EQ(CountValue(trace, "player", "openstate", "102"), 1);
    EXPECT_EQ(CountValue(trace, "player", "openstate", "101"), 1);

    ASSERT_TRUE(WaitFor([&] { return agent.Count() == 1; }, 10000));
    const AgentWindow::Received got = agent.Records()[0];
    EXPECT_EQ(got.type, 2153u);
    EXPECT_EQ(got.size, 936u);
    EXPECT_EQ(got.sender, frame);
    ASSERT_EQ(got.bytes.size(), 936u);
    const std::string& r = got.bytes;
    EXPECT_EQ(At(r, 0, 64), Padded("\xD5\xC5\xC8\xFD", 64));  // 张三 in code page 936
    EXPECT_EQ(Int32At(r, 64), 2);
    EXPECT_EQ(At(r, 68, 20), Padded("110101199001011234", 20));
    EXPECT_EQ(At(r, 88, 20), FourZeros(20));
    EXPECT_EQ(At(r, 108, 20), Padded("2010010120191231", 20));
    EXPECT_EQ(At(r, 128, 256), Padded(WideToAnsi(photo), 256));
    EXPECT_EQ(At(r, 384, 144), std::string(144, '\0'));
    EXPECT_EQ(Int32At(r, 528), 2);
    EXPECT_EQ(At(r, 532, 20), FourZeros(20));
    EXPECT_EQ(At(r, 552, 128), FourZeros(128));
    EXPECT_EQ(At(r, 680, 128), FourZeros(128));
    EXPECT_EQ(At(r, 808, 128), FourZeros(128));
    EXPECT_EQ(inst.Last("player", "agent"), "sent");

    // Cleared: blanks and the default picture, <program directory>\res\Head.png, drawn.
    trace = inst.Trace();
    EXPECT_EQ(consoletest::LastTraced(trace, "text", "username"), " ");
    EXPECT_EQ(consoletest::LastTraced(trace, "image", "headimg"), Utf8(inst.Path(L"") + L"\\res\\Head.png"));
    EXPECT_TRUE(WaitFor([&] {
        pixels = CaptureWindow(frame, L"console_customer_done.bmp", width, height);
        return PixelNear(pixels, width, head.left + 6, head.top + 6, kLight) &&
               PixelNear(pixels, width, centre.x, centre.y, kGrey);
    }, 20000)) << "screenshot: console_customer_done.bmp";
    CloseConsole(frame, process);
}

// "cancleBtn" drops the customer: nothing is reported or sent. Without a customer (after the
// cancel, or when get_openinfo refuses) both buttons do nothing.
TEST(PellmoraCustomerPage, CancelDropsTheCustomerAndWithoutOneTheButtonsDoNothing)
{
    AgentWindow agent;
    ConsoleInstallation inst;
    Json::Value spec = CafeSpec();
    spec["cafe"]["customers"]["55"] = Customer(Utf8(L"张三"), "1", SolidBmp(40, 50, kRed));
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    HANDLE process = nullptr;
    DWORD pid = 0;
    HWND frame = LogInConnected(inst, sc, process, pid);
    ASSERT_NE(frame, nullptr);

    ASSERT_TRUE(sc.QueueEvent(4, 55, 0));
    ASSERT_TRUE(inst.WaitTraced("text", "username", Utf8(L"张三")));
    EXPECT_EQ(inst.Last("text", "usersex"), Utf8(L"男"));
    ASSERT_TRUE(inst.Click(frame, "cancleBtn"));
    ASSERT_TRUE(inst.WaitTraced("text", "checkresult", Utf8(L"取消开户！")));
    EXPECT_EQ(inst.Last("text", "username"), " ");

    // No customer now: the buttons do nothing. A refused request (an unknown customer) after
    // them shows that they have been handled, and leaves no customer either.
    ASSERT_TRUE(inst.Click(frame, "okBtn"));
    ASSERT_TRUE(inst.Click(frame, "cancleBtn"));
    ASSERT_TRUE(sc.QueueEvent(4, 999, 0));
    ASSERT_TRUE(inst.WaitTraced("player", "openinfo", "999 failed"));
    ASSERT_TRUE(inst.Click(frame, "okBtn"));
    ASSERT_TRUE(sc.QueueEvent(4, 998, 0));
    ASSERT_TRUE(inst.WaitTraced("player", "openinfo", "998 failed"));
    EXPECT_EQ(inst.Last("text", "checkresult"), Utf8(L"取消开户！"));
    EXPECT_EQ(consoletest::CountTraced(inst.Trace(), "player", "button"), 1);  // the one cancel
    EXPECT_TRUE(sc.LogFor(kOpenStatePath).empty());
    EXPECT_EQ(agent.Count(), 0u);
    CloseConsole(frame, process);
}

// Twenty customers in one run, each with a photo of its own colour: after each, headimg.jpg holds
// that customer's bytes and the record carries its name and sex; the console's handle count stays
// flat.
TEST(PellmoraCustomerPage, TwentyCustomersInOneRunEachWithItsOwnPhoto)
{
    const int kCustomers = 20;
    AgentWindow agent;
    ConsoleInstallation inst;
    Json::Value spec = CafeSpec();
    std::vector<std::string> photos;
    for (int i = 0; i < kCustomers; ++i) {
        photos.push_back(SolidBmp(24 + i, 30, RGB(10 * i, 255 - 10 * i, 40)));
        spec["cafe"]["customers"][std::to_string(100 + i)] =
            Customer("Customer " + std::to_string(i), i % 2 ? "2" : "1", photos.back());
    }
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    HANDLE process = nullptr;
    DWORD pid = 0;
    HWND frame = LogInConnected(inst, sc, process, pid);
    ASSERT_NE(frame, nullptr);
    const std::wstring photo = inst.Path(L"playerimg\\headimg.jpg");

    ULONG handlesAfterFirst = 0;
    for (int i = 0; i < kCustomers; ++i) {
        SCOPED_TRACE(i);
        const std::string name = "Customer " + std::to_string(i);
        ASSERT_TRUE(sc.QueueEvent(4, 100 + i, 0));
        ASSERT_TRUE(inst.WaitTraced("text", "username", name));
        EXPECT_EQ(FileBytes(photo), photos[i]);
        ASSERT_TRUE(inst.Click(frame, "okBtn"));
        ASSERT_TRUE(WaitCount(inst, "text", "checkresult", Utf8(L"开户成功!"), i + 1));
        ASSERT_TRUE(WaitFor([&] { return agent.Count() == static_cast<size_t>(i + 1); }, 10000));
        const std::string record = agent.Records()[i].bytes;
        EXPECT_EQ(At(record, 0, 64), Padded(name, 64));
        EXPECT_EQ(Int32At(record, 528), i % 2 ? 2 : 1);
        if (i == 0)
            handlesAfterFirst = HandleCount(pid);
    }
    const ULONG handlesAtEnd = HandleCount(pid);
    if (handlesAfterFirst > 0) {
        EXPECT_LE(handlesAtEnd, handlesAfterFirst + 10) << "after the first customer: " << handlesAfterFirst;
    }
    EXPECT_EQ(sc.LogFor(kOpenStatePath).size(), static_cast<size_t>(kCustomers));
    CloseConsole(frame, process);
}

// An agent window that no longer answers holds the console for a few seconds at most: the outcome
// of post_openstate is shown and the frame answers again.
TEST(PellmoraCustomerPage, AHungAgentWindowDoesNotFreezeTheConsole)
{
    AgentWindow agent;
    ASSERT_TRUE(agent.Hang());
    ConsoleInstallation inst;
    Json::Value spec = CafeSpec();
    spec["cafe"]["customers"]["55"] = Customer(Utf8(L"张三"), "1", SolidBmp(40, 50, kRed));
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    HANDLE process = nullptr;
    DWORD pid = 0;
    HWND frame = LogInConnected(inst, sc, process, pid);
    ASSERT_NE(frame, nullptr);
    ASSERT_TRUE(sc.QueueEvent(4, 55, 0));
    ASSERT_TRUE(inst.WaitTraced("text", "username", Utf8(L"张三")));
    ASSERT_TRUE(inst.Click(frame, "okBtn"));
    ASSERT_TRUE(inst.WaitTraced("text", "checkresult", Utf8(L"开户成功!"), 30000));
    EXPECT_EQ(inst.Last("player", "agent"), "failed");
    DWORD_PTR answer = 0;
    EXPECT_NE(SendMessageTimeoutW(frame, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer), 0);
    CloseConsole(frame, process);
}
