// The console program Pellmora run whole under Wine, from a copy of its installation (Pellmora.exe,
// Veneer_u.dll, Res, data\core.dat) in a fixture folder, against the café stand-in through a proxy
// port of the scenario's own. The test follows the program through its trace file
// (PELLMORA_TEST_TRACE): texts, visibility, pages, notifications, control rectangles and the update
// check's steps; it clicks controls with mouse messages posted at their traced centres and types
// into edits through their native edit windows.
#include <gtest/gtest.h>
#include <windows.h>
#include <wincrypt.h>
#include <json/json.h>
#include <stdlib.h>
#include <algorithm>
#include <string>
#include <vector>
#include "ConsoleAppSupport.h"
#include <tlhelp32.h>
#include "CoreDataFile.h"
#include "PellmoraInstallation.h"
#include "QrCode.h"
#include "StandIn.h"
#include "SysHelpers.h"

using consoletest::Centre;
using consoletest::FindProcessWindow;
using consoletest::PostClick;
using consoletest::ReadTrace;
using consoletest::TraceLine;
using consoletest::Utf8;
using consoletest::WaitFor;
using enginebase::ReadWholeFile;
using enginebase::ScratchDir;
using enginebase::WriteWholeFile;
using namespace pellmoratest;

TEST(PellmoraProgram, ASecondInstanceEndsWithCodeZeroAndNoWindow)
{
    ConsoleInstallation inst;
    DWORD pid = 0;
    HANDLE first = inst.Start("", &pid);
    ASSERT_NE(first, nullptr);
    HWND dialog = WaitForWindow(pid, kDialogClass);
    ASSERT_NE(dialog, nullptr);

    DWORD secondPid = 0;
    HANDLE second = inst.Start("", &secondPid);
    ASSERT_NE(second, nullptr);
    bool sawWindow = false;
    EXPECT_TRUE(WaitFor([&] {
        sawWindow = sawWindow || FindProcessWindow(secondPid, nullptr) != nullptr;
        return Exited(second, 0);
    }, 30000));
    EXPECT_FALSE(sawWindow);
    EXPECT_EQ(ExitCode(second), 0u);
    EXPECT_FALSE(Exited(first, 0));

    PostMessageW(dialog, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Exited(first, 20000));
    EXPECT_EQ(ExitCode(first), 0u);
}

// The login dialog as drawn: saved for people (console_login.bmp in the tests folder), checked for
// its size, title and skin colours.
TEST(PellmoraProgram, TheLoginDialogAsDrawn)
{
    ConsoleInstallation inst;
    inst.SetSetting(L"rempwd", L"1");
    inst.SetSetting(L"acc", L"10001");
    inst.SetSetting(L"pwd", L"123456");
    DWORD pid = 0;
    HANDLE process = inst.Start("", &pid);
    ASSERT_NE(process, nullptr);
    HWND dialog = WaitForWindow(pid, kDialogClass);
    ASSERT_NE(dialog, nullptr);
    // Its first layout is done once the rectangles are traced.
    POINT at = {};
    ASSERT_TRUE(inst.ControlCentre("okBtn", at));
    wchar_t title[64] = {};
    GetWindowTextW(dialog, title, 64);
    EXPECT_STREQ(title, L"Brevanor网吧端");
    EXPECT_EQ(GetWindowLongW(dialog, GWL_STYLE) & (WS_CAPTION | WS_THICKFRAME), 0);
    RECT rc;
    GetWindowRect(dialog, &rc);
    EXPECT_EQ(rc.right - rc.left, 420);
    EXPECT_EQ(rc.bottom - rc.top, 330);
    // Filled from the settings; page 0; the option set from "rempwd".
    EXPECT_EQ(inst.Settled("text", "login_netbarcode", "10001"), "10001");
    EXPECT_EQ(inst.Settled("text", "login_password", "123456"), "123456");
    EXPECT_EQ(inst.Settled("page", "NavTabLayout", "0"), "0");
    EXPECT_EQ(inst.Settled("selected", "savepassOpt", "1"), "1");

    // The icon as the window itself reads it back (Wine answers WM_GETICON from another process
    // with nothing).
    EXPECT_EQ(inst.Settled("icon", "CDlgBase", "1"), "1");
    Sleep(800);
    int width = 0, height = 0;
    std::vector<BYTE> pixels = CaptureWindow(dialog, L"console_login.bmp", width, height);
    ASSERT_EQ(width, 420);
    EXPECT_TRUE(PixelNear(pixels, width, 300, 20, RGB(0x1A, 0x8C, 0x7E)));  // title bar
    EXPECT_TRUE(PixelNear(pixels, width, 20, 300, RGB(0xFF, 0xFF, 0xFF)));  // body
    EXPECT_TRUE(PixelNear(pixels, width, at.x - 40, at.y, RGB(0x1A, 0x8C, 0x7E)));  // the login button

    PostMessageW(dialog, WM_CLOSE, 0, 0);
    EXPECT_TRUE(Exited(process, 20000));
}

// The trace is a hook of the tests' build alone: the shipped program, started with the variable
// set, shows, paints and closes its login dialog (filled with the remembered password) and writes
// nothing; the tests' build writes the same run down.
TEST(PellmoraProgram, OnlyTheTestsBuildWritesATrace)
{
    const struct {
        const char* build;
        const wchar_t* exe;  // null: the installation's own
        bool traces;
    } builds[] = {{"shipped", L"Pellmora_shipped.exe", false}, {"tests' build", nullptr, true}};
    for (const auto& b : builds) {
        SCOPED_TRACE(b.build);
        ConsoleInstallation inst;
        if (b.exe) {
            ASSERT_TRUE(CopyFileW((consoletest::TestBinDir() + b.exe).c_str(), inst.Path(L"Pellmora.exe").c_str(),
                                  FALSE));
        }
        inst.SetSetting(L"rempwd", L"1");
        inst.SetSetting(L"acc", L"10001");
        inst.SetSetting(L"pwd", L"123456");
        DWORD pid = 0;
        HANDLE process = inst.Start("", &pid);
        ASSERT_NE(process, nullptr);
        HWND dialog = WaitForWindow(pid, kDialogClass);
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(dialog) != FALSE; }, 20000));
        RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        PostMessageW(dialog, WM_CLOSE, 0, 0);
        ASSERT_TRUE(Exited(process, 20000));
        EXPECT_EQ(ExitCode(process), 0u);
        const bool traced = GetFileAttributesW(inst.Path(L"trace.txt").c_str()) != INVALID_FILE_ATTRIBUTES;
        EXPECT_EQ(traced, b.traces);
        EXPECT_EQ(consoletest::Traced(inst.Trace(), "text", "login_password", "123456"), b.traces);
    }
}

TEST(PellmoraProgram, CancellingOrClosingTheLoginEndsWithoutAMainFrame)
{
    const struct {
        const char* route;
        const char* button;  // null: Alt+F4
    } routes[] = {{"cancel button", "cancleBtn"}, {"close button", "closeBtn"}, {"Alt+F4", nullptr}};
    for (const auto& r : routes) {
        SCOPED_TRACE(r.route);
        ConsoleInstallation inst;
        DWORD pid = 0;
        HANDLE process = inst.Start("", &pid);
        ASSERT_NE(process, nullptr);
        HWND dialog = WaitForWindow(pid, kDialogClass);
        ASSERT_NE(dialog, nullptr);
        if (r.button)
            ASSERT_TRUE(inst.Click(dialog, r.button));
        else
            PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
        bool sawFrame = false;
        EXPECT_TRUE(WaitFor([&] {
            sawFrame = sawFrame || FindProcessWindow(pid, kFrameClass) != nullptr;
            return Exited(process, 0);
        }, 20000));
        EXPECT_FALSE(sawFrame);
        EXPECT_EQ(ExitCode(process), 0u);
        if (r.button) {
            EXPECT_TRUE(consoletest::Traced(inst.Trace(), "notify", "click", r.button));
        }
    }
}

// A successful login: the centred "Morvath" frame with the café's name and the installed version,
// the settings written; its hit test; WM_COPYDATA ignored; Alt+F4 ends the process with code 0.
TEST(PellmoraProgram, ASuccessfulLoginShowsTheCentredFrameAndAltF4EndsIt)
{
    ConsoleInstallation inst;
    standin::Scenario sc(CafeSpec());
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    HANDLE process = nullptr;
    DWORD pid = 0;
    HWND frame = LogIn(inst, sc, process, pid);
    ASSERT_NE(frame, nullptr) << Utf8(inst.Setting(L"acc"));
    EXPECT_FALSE(IsWindow(FindProcessWindow(pid, kDialogClass)));
    wchar_t title[64] = {};
    GetWindowTextW(frame, title, 64);
    EXPECT_STREQ(title, L"Morvath");
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(frame) != FALSE; }, 10000));
    RECT rc;
    GetWindowRect(frame, &rc);
    EXPECT_EQ(rc.right - rc.left, 900);
    EXPECT_EQ(rc.bottom - rc.top, 600);
    MONITORINFO mi = {sizeof mi};
    GetMonitorInfoW(MonitorFromWindow(frame, MONITOR_DEFAULTTONEAREST), &mi);
    EXPECT_NEAR((rc.left + rc.right) / 2, (mi.rcWork.left + mi.rcWork.right) / 2, 1);
    EXPECT_NEAR((rc.top + rc.bottom) / 2, (mi.rcWork.top + mi.rcWork.bottom) / 2, 1);

    EXPECT_EQ(inst.Settled("icon", "UIMainFrameLOGINDLG", "1"), "1");
    EXPECT_EQ(inst.Settled("text", "AppName", "Morvath 3.1.4"), "Morvath 3.1.4");
    EXPECT_EQ(inst.Settled("text", "netbarname1", Utf8(L"星河网吧")), Utf8(L"星河网吧"));
    EXPECT_EQ(inst.Setting(L"acc"), L"10001");
    EXPECT_EQ(inst.Setting(L"pwd"), L"123456");
    EXPECT_EQ(inst.Setting(L"rempwd"), L"1");
    auto logins = sc.LogFor("/index.php?g=home&m=bar&a=bar_login");
    EXPECT_EQ(logins.size(), 1u);

    // Buttons and options of the caption stay client area; its labels drag the window.
    POINT minAt, nameAt, playerAt;
    ASSERT_TRUE(inst.ControlCentre("min_btn", minAt));
    ASSERT_TRUE(inst.ControlCentre("AppName", nameAt));
    ASSERT_TRUE(inst.ControlCentre("player_btn", playerAt));
    auto hit = [&](POINT pt) {
        ClientToScreen(frame, &pt);
        return SendMessageW(frame, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y));
    };
    EXPECT_EQ(hit(minAt), HTCLIENT);
    EXPECT_EQ(hit(nameAt), HTCAPTION);
    EXPECT_EQ(hit(playerAt), HTCLIENT);

    // The settings tab and back; a copy-data message changes nothing.
    ASSERT_TRUE(inst.Click(frame, "xitongshezhi_btn"));
    EXPECT_TRUE(inst.WaitTraced("notify", "selectchanged", "xitongshezhi_btn"));
    COPYDATASTRUCT cds = {2153, 4, const_cast<char*>("abc")};
    EXPECT_EQ(SendMessageW(frame, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&cds)), 0);

    // Alt+F4: the system's close command ends the loop, the program ends with code 0.
    PostMessageW(frame, WM_SYSKEYDOWN, VK_F4, 1 << 29);
    PostMessageW(frame, WM_SYSKEYUP, VK_F4, (1 << 29) | (1u << 30) | (1u << 31));
    if (!Exited(process, 5000))
        PostMessageW(frame, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(Exited(process, 20000));
    EXPECT_EQ(ExitCode(process), 0u);
    EXPECT_EQ(FindProcessWindow(pid, nullptr), nullptr);
    EXPECT_TRUE(consoletest::Traced(inst.Trace(), "update", "stop", "ended"));
}

TEST(PellmoraProgram, TheCloseButtonOfTheFrameEndsTheProgram)
{
    ConsoleInstallation inst(false);
    standin::Scenario sc(CafeSpec());
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    HANDLE process = nullptr;
    DWORD pid = 0;
    HWND frame = LogIn(inst, sc, process, pid);
    ASSERT_NE(frame, nullptr);
    // Without a readable version file the title is "Morvath " alone.
    EXPECT_EQ(inst.Settled("text", "AppName", "Morvath "), "Morvath ");
    ASSERT_TRUE(inst.Click(frame, "close_btn"));
    EXPECT_TRUE(Exited(process, 20000));
    EXPECT_EQ(ExitCode(process), 0u);
}

// The login page's cases, and the login against the stand-in's misbehaviours, each in a console
// of its own: the status text of each case, or page 1, or the frame; never a crash.
TEST(PellmoraProgram, LoginPageCasesAndMisbehaviours)
{
    const std::string wrongAccount = Utf8(L"您输入的账号或密码错误，请重新输入!");
    const std::string loginFailed = Utf8(L"登陆失败，请重新登陆!");
    enum Outcome { kStatus, kPage1, kFrame };
    struct Case {
        const char* what;
        const wchar_t *rempwd, *acc, *pwd;  // settings before the start (null: not written)
        bool bound;
        const char* rules;  // the scenario's "rules" as JSON text, or null
        Outcome outcome;
        std::string status;
        bool requests;  // whether any café request is made
    };
    const wchar_t* const kCode = L"10001";
    const wchar_t* const kPwd = L"123456";
    const Case cases[] = {
        {"both fields empty", nullptr, nullptr, nullptr, true, nullptr, kStatus, wrongAccount, false},
        {"a stored code without a password fills neither", L"1", kCode, nullptr, true, nullptr, kStatus,
         wrongAccount, false},
        {"rempwd 0 leaves the fields empty", L"0", kCode, kPwd, true, nullptr, kStatus, wrongAccount, false},
        {"wrong password", L"1", kCode, L"654321", true, nullptr, kStatus, wrongAccount, true},
        {"unknown café code", L"1", L"99999", kPwd, true, nullptr, kPage1, "", true},
        {"phone not bound", L"1", kCode, kPwd, false, nullptr, kPage1, "", true},
        {"check_first not JSON", L"1", kCode, kPwd, true, R"({"check_first": {"body": "<html>busy</html>"}})",
         kStatus, loginFailed, true},
        {"check_first an array", L"1", kCode, kPwd, true, R"({"check_first": {"json": ["101"]}})", kStatus,
         loginFailed, true},
        {"check_first status 500 with a JSON body", L"1", kCode, kPwd, true,
         R"({"check_first": {"status": 500, "body": "{\"code\":\"500\"}"}})", kPage1, "", true},
        {"check_first code and first as numbers", L"1", kCode, kPwd, true,
         R"({"check_first": {"raw_members": {"code": "101", "first": "2"}}})", kFrame, "", true},
        {"check_first gzip-encoded", L"1", kCode, kPwd, true, R"({"check_first": {"gzip": true}})", kFrame, "",
         true},
        {"check_first strname as an object", L"1", kCode, kPwd, true,
         R"({"check_first": {"raw_members": {"strname": "{\"a\": 1}"}}})", kStatus, loginFailed, true},
        {"bar_login bar_id a number", L"1", kCode, kPwd, true, R"({"bar_login": {"raw_members": {"bar_id": "3001"}}})",
         kStatus, wrongAccount, true},
        {"bar_login code the number 102", L"1", kCode, kPwd, true, R"({"bar_login": {"raw_members": {"code": "102"}}})",
         kStatus, wrongAccount, true},
        {"bar_login code the number 101", L"1", kCode, kPwd, true, R"({"bar_login": {"raw_members": {"code": "101"}}})",
         kFrame, "", true},
        {"bar_login escapes a quote in the name", L"1", kCode, kPwd, true,
         R"({"bar_login": {"raw_members": {"strname": "\"A\\u0022B\""}}})", kFrame, "", true},
        {"bar_login two seconds late", L"1", kCode, kPwd, true, R"({"bar_login": {"delay": 2}})", kFrame, "", true},
        {"bar_login never answers", L"1", kCode, kPwd, true, R"({"bar_login": {"no_reply": true}})", kStatus,
         wrongAccount, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ConsoleInstallation inst;
        Json::Value spec = CafeSpec(c.bound);
        if (c.rules) {
            Json::CharReaderBuilder b;
            std::string errors;
            std::unique_ptr<Json::CharReader> reader(b.newCharReader());
            std::string text = c.rules;
            ASSERT_TRUE(reader->parse(text.data(), text.data() + text.size(), &spec["rules"], &errors)) << errors;
        }
        standin::Scenario sc(spec);
        ASSERT_TRUE(sc.Ok()) << sc.Error();
        if (c.rempwd)
            inst.SetSetting(L"rempwd", c.rempwd);
        if (c.acc)
            inst.SetSetting(L"acc", c.acc);
        if (c.pwd)
            inst.SetSetting(L"pwd", c.pwd);
        DWORD pid = 0;
        HANDLE process = inst.Start(Proxy(sc), &pid);
        ASSERT_NE(process, nullptr);
        HWND dialog = WaitForWindow(pid, kDialogClass);
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(inst.Click(dialog, "okBtn"));
        if (c.rempwd && wcscmp(c.rempwd, L"0") == 0) {
            EXPECT_EQ(inst.Settled("selected", "savepassOpt", "0"), "0");
        }
        if (c.outcome == kStatus) {
            EXPECT_TRUE(inst.WaitTraced("text", "loginstate", c.status, 60000)) << inst.Last("text", "loginstate");
            EXPECT_EQ(inst.Settled("visible", "loginstate", "1"), "1");
        } else if (c.outcome == kPage1) {
            EXPECT_TRUE(inst.WaitTraced("page", "NavTabLayout", "1"));
            EXPECT_EQ(inst.Settled("text", "phonesms_netbarcode", Utf8(c.acc)), Utf8(c.acc));
        }
        HWND frame = c.outcome == kFrame ? WaitForWindow(pid, kFrameClass, 30000) : nullptr;
        EXPECT_EQ(sc.LogFor("/index.php?g=home&m=bar").empty(), !c.requests);
        if (c.outcome == kFrame) {
            ASSERT_NE(frame, nullptr);
            PostMessageW(frame, WM_SYSCOMMAND, SC_CLOSE, 0);
        } else {
            EXPECT_EQ(FindProcessWindow(pid, kFrameClass), nullptr);
            EXPECT_FALSE(Exited(process, 0));
            PostMessageW(dialog, WM_CLOSE, 0, 0);
        }
        EXPECT_TRUE(Exited(process, 20000));
        EXPECT_EQ(ExitCode(process), 0u);
    }
}

// Clearing the remember option and logging in writes empty credentials.
TEST(PellmoraProgram, ClearingTheOptionForgetsTheCredentials)
{
    ConsoleInstallation inst;
    standin::Scenario sc(CafeSpec());
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    inst.SetSetting(L"rempwd", L"1");
    inst.SetSetting(L"acc", L"10001");
    inst.SetSetting(L"pwd", L"123456");
    DWORD pid = 0;
    HANDLE process = inst.Start(Proxy(sc), &pid);
    ASSERT_NE(process, nullptr);
    HWND dialog = WaitForWindow(pid, kDialogClass);
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(inst.Click(dialog, "savepassOpt"));
    ASSERT_TRUE(inst.WaitTraced("selected", "savepassOpt", "0"));
    EXPECT_EQ(inst.Setting(L"rempwd"), L"0");
    ASSERT_TRUE(inst.Click(dialog, "okBtn"));
    HWND frame = WaitForWindow(pid, kFrameClass);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(inst.Setting(L"acc"), L"");
    EXPECT_EQ(inst.Setting(L"pwd"), L"");
    PostMessageW(frame, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(Exited(process, 20000));
}

// The whole binding flow: page 1 by "queryPasswordBtn", the café name, the SMS code, the binding,
// the password page with its mismatch and empty cases, and the login with the new password.
TEST(PellmoraProgram, BindingFlowWithTheStandInsSmsCode)
{
    ConsoleInstallation inst;
    standin::Scenario sc(CafeSpec(false));
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    inst.SetSetting(L"rempwd", L"1");
    inst.SetSetting(L"acc", L"10001");
    inst.SetSetting(L"pwd", L"123456");
    DWORD pid = 0;
    HANDLE process = inst.Start(Proxy(sc), &pid);
    ASSERT_NE(process, nullptr);
    HWND dialog = WaitForWindow(pid, kDialogClass);
    ASSERT_NE(dialog, nullptr);

    ASSERT_TRUE(inst.Click(dialog, "queryPasswordBtn"));
    ASSERT_TRUE(inst.WaitTraced("page", "NavTabLayout", "1"));
    EXPECT_EQ(inst.Settled("text", "phonesms_netbarcode", "10001"), "10001");

    // Missing fields: nothing is sent.
    ASSERT_TRUE(inst.Click(dialog, "phonesms_okBtn"));
    ASSERT_TRUE(inst.WaitTraced("text", "smsstate", Utf8(L"您输入的信息不正确，请重新输入!")));
    EXPECT_TRUE(sc.LogFor("/index.php?g=home&m=user").empty());

    // First press: the café's name only.
    ASSERT_TRUE(inst.Click(dialog, "getsmscodeBtn"));
    ASSERT_TRUE(inst.WaitTraced("text", "netbarname", Utf8(L"星河网吧")));
    EXPECT_TRUE(inst.WaitTraced("text", "smsstate", Utf8(L"请检查场所信息是否正确，点击“获取验证码”按钮继续")));
    EXPECT_TRUE(sc.LogFor("/index.php?g=home&m=user&a=send_code").empty());

    // Second press without a phone number, then with one: the code is sent.
    ASSERT_TRUE(inst.Click(dialog, "getsmscodeBtn"));
    EXPECT_EQ(sc.LogFor("/index.php?g=home&m=user&a=send_code").size(), 0u);
    ASSERT_TRUE(inst.Type(dialog, "netbarphone", L"13912345678"));
    ASSERT_TRUE(inst.Click(dialog, "getsmscodeBtn"));
    ASSERT_TRUE(inst.WaitTraced("text", "smsstate", Utf8(L"短信已发送!")));
    ASSERT_EQ(CafeState(sc)["sms_sent"].size(), 1u);
    EXPECT_EQ(CafeState(sc)["sms_sent"][0].asString(), "13912345678");

    // A wrong SMS code, then the stand-in's.
    ASSERT_TRUE(inst.Type(dialog, "smscode", L"111111"));
    ASSERT_TRUE(inst.Click(dialog, "phonesms_okBtn"));
    ASSERT_TRUE(inst.WaitTraced("text", "smsstate", Utf8(L"您输入的短信验证码不正确！")));
    ASSERT_TRUE(inst.Type(dialog, "smscode", L"246810"));
    ASSERT_TRUE(inst.Click(dialog, "phonesms_okBtn"));
    ASSERT_TRUE(inst.WaitTraced("page", "NavTabLayout", "2"));
    EXPECT_TRUE(CafeState(sc)["bound"].asBool());
    EXPECT_EQ(CafeState(sc)["phone"].asString(), "13912345678");

    // Two empty fields are refused without a request; so are two different ones.
    size_t updates = sc.LogFor("/index.php?g=home&m=bar&a=update_bar").size();
    ASSERT_TRUE(inst.Click(dialog, "setpass_okBtn"));
    ASSERT_TRUE(inst.WaitTraced("text", "setpassstate", Utf8(L"您输入的信息不正确，请重新输入!")));
    ASSERT_TRUE(inst.Type(dialog, "setpass_password", L"abc123"));
    ASSERT_TRUE(inst.Type(dialog, "setpass_password2", L"abc124"));
    ASSERT_TRUE(inst.Click(dialog, "setpass_okBtn"));
    ASSERT_TRUE(inst.WaitTraced("text", "setpassstate", Utf8(L"两次输入的密码不一致！")));
    EXPECT_EQ(sc.LogFor("/index.php?g=home&m=bar&a=update_bar").size(), updates);
    ASSERT_TRUE(inst.Type(dialog, "setpass_password2", L"abc123"));
    ASSERT_TRUE(inst.Click(dialog, "setpass_okBtn"));
    ASSERT_TRUE(inst.WaitTraced("page", "NavTabLayout", "0"));
    EXPECT_EQ(CafeState(sc)["password"].asString(), "abc123");

    // The new password logs the café in.
    ASSERT_TRUE(inst.Type(dialog, "login_password", L"abc123"));
    ASSERT_TRUE(inst.Click(dialog, "okBtn"));
    HWND frame = WaitForWindow(pid, kFrameClass);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(inst.Setting(L"pwd"), L"abc123");
    PostMessageW(frame, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(Exited(process, 20000));
}

namespace {

std::string FileText(const std::wstring& path)
{
    std::string s;
    ReadWholeFile(path, s);
    return s;
}

// A café whose update service announces the updater stand-in as the new Core.exe.
Json::Value UpdateSpec(const std::string& updaterBytesBase64, const char* md5)
{
    Json::Value spec = CafeSpec();
    spec["console_update"]["version"] = "2.0.0";
    spec["console_update"]["version_code"] = "200";
    spec["console_update"]["file"]["base64"] = updaterBytesBase64;
    if (md5)
        spec["console_update"]["md5"] = md5;
    return spec;
}

std::string Base64File(const std::wstring& path)
{
    std::string bytes = FileText(path);
    DWORD size = 0;
    CryptBinaryToStringA(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()),
                         CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF, nullptr, &size);
    std::string out(size, '\0');
    CryptBinaryToStringA(reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()),
                         CRYPT_STRING_BASE64 | CRYPT_STRING_NOCRLF, &out[0], &size);
    out.resize(size);
    return out;
}

// The first check comes once the system has been up three minutes (the host's uptime here).
bool UptimeAllowsACheck() { return GetTickCount() > 190000; }

}  // namespace

// After the login the console's first check finds the announcement, downloads the updater,
// verifies and copies it over Core.exe and starts it with the café id; while it runs no check is
// made. Holds the updater tests' lock too: any Core.exe in the prefix drops the check.
TEST(PellmoraProgram, AfterTheLoginTheAnnouncedUpdaterIsDownloadedVerifiedAndStarted)
{
    if (!UptimeAllowsACheck())
        GTEST_SKIP() << "the system has been up less than three minutes";
    consoletest::SerialLock coreLock(L"TollvaneProgramTestSerial");
    ConsoleInstallation inst;
    std::wstring updater = consoletest::TestBinDir() + L"standin_console.exe";
    ASSERT_TRUE(WriteWholeFile(inst.Path(L"Core.exe"), "the old updater"));
    standin::Scenario sc(UpdateSpec(Base64File(updater), nullptr));
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    HANDLE process = nullptr;
    DWORD pid = 0;
    HWND frame = LogIn(inst, sc, process, pid);
    ASSERT_NE(frame, nullptr);

    ASSERT_TRUE(WaitFor([&] { return FileText(inst.Path(L"Core.exe.log")).find("-u 3001") != std::string::npos; },
                        90000))
        << FileText(inst.Path(L"trace.txt"));
    EXPECT_EQ(FileText(inst.Path(L"Core.exe")), FileText(updater));
    EXPECT_EQ(sc.LogFor("/updater/Core.exe").size(), 1u);
    auto checks = sc.LogFor("/index.php?g=home&m=api&a=check_update");
    ASSERT_EQ(checks.size(), 1u);
    EXPECT_EQ(checks[0].target, "/index.php?g=home&m=api&a=check_update&netbarid=3001&version=314");

    // While the updater runs, the acting ticks (every ten seconds) ask nothing.
    ASSERT_TRUE(inst.WaitTraced("update", "state", "4"));
    Sleep(12000);
    EXPECT_EQ(sc.LogFor("/index.php?g=home&m=api&a=check_update").size(), 1u);
    EXPECT_EQ(inst.Settled("update", "state", "4"), "4");

    WriteWholeFile(inst.Path(L"Core.exe.quit"), "");
    PostMessageW(frame, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(Exited(process, 30000));
    EXPECT_EQ(ExitCode(process), 0u);
}

TEST(PellmoraProgram, AnUpdaterWithAnotherMd5LeavesCoreExeAndStartsNothing)
{
    if (!UptimeAllowsACheck())
        GTEST_SKIP() << "the system has been up less than three minutes";
    consoletest::SerialLock coreLock(L"TollvaneProgramTestSerial");
    ConsoleInstallation inst;
    std::wstring updater = consoletest::TestBinDir() + L"standin_console.exe";
    ASSERT_TRUE(WriteWholeFile(inst.Path(L"Core.exe"), "the old updater"));
    standin::Scenario sc(UpdateSpec(Base64File(updater), "0123456789abcdef0123456789abcdef"));
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    HANDLE process = nullptr;
    DWORD pid = 0;
    HWND frame = LogIn(inst, sc, process, pid);
    ASSERT_NE(frame, nullptr);

    ASSERT_TRUE(WaitFor([&] { return consoletest::CountTraced(inst.Trace(), "update", "md5-mismatch") > 0; }, 90000))
        << FileText(inst.Path(L"trace.txt"));
    EXPECT_TRUE(inst.WaitTraced("update", "state", "0"));
    EXPECT_EQ(FileText(inst.Path(L"Core.exe")), "the old updater");
    Sleep(1000);
    EXPECT_EQ(FileText(inst.Path(L"Core.exe.log")), "");
    EXPECT_EQ(consoletest::CountTraced(inst.Trace(), "update", "launch"), 0);

    PostMessageW(frame, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(Exited(process, 30000));
    EXPECT_EQ(ExitCode(process), 0u);
}

namespace {

// Share of the pixels of a rectangle (client coordinates of a captured window) near the colour.
double ShareNear(const std::vector<BYTE>& pixels, int width, int height, const RECT& rc, COLORREF rgb)
{
    int hits = 0, all = 0;
    for (int y = std::max(0L, rc.top); y < std::min(static_cast<LONG>(height), rc.bottom); ++y)
        for (int x = std::max(0L, rc.left); x < std::min(static_cast<LONG>(width), rc.right); ++x) {
            ++all;
            hits += PixelNear(pixels, width, x, y, rgb);
        }
    return all ? static_cast<double>(hits) / all : 0.0;
}

}  // namespace

// "activity_btn" opens the modal activities dialog: the activity request's URL is loaded into the
// web view "huodong", which shows the stand-in's page (its green block, 200x80 at the view's
// top left); "cancleBtn" closes it. A failed activity request leaves the dialog without a page.
TEST(PellmoraProgram, TheActivitiesDialogShowsTheActivityPageOrNothing)
{
    const COLORREF kBlock = RGB(0x00, 0xC8, 0x00);
    // The page; a failed request (server error with an error body); a refusal.
    for (int row = 0; row < 3; ++row) {
        const bool fail = row > 0;
        SCOPED_TRACE(row);
        ConsoleInstallation inst;
        Json::Value spec = CafeSpec();
        if (row == 1) {
            spec["rules"]["activity"]["status"] = 500;
            spec["rules"]["activity"]["body"] = "{\"code\":\"500\"}";
        } else if (row == 2) {
            spec["rules"]["activity"]["members"]["code"] = "102";
        }
        standin::Scenario sc(spec);
        ASSERT_TRUE(sc.Ok()) << sc.Error();
        HANDLE process = nullptr;
        DWORD pid = 0;
        HWND frame = LogIn(inst, sc, process, pid);
        ASSERT_NE(frame, nullptr);
        ASSERT_TRUE(inst.Click(frame, "activity_btn"));
        HWND dialog = nullptr;
        ASSERT_TRUE(WaitFor([&] { return (dialog = FindProcessWindow(pid, kDialogClass, L"活动")) != nullptr; }, 30000));
        // The dialog's first layout: its own label's rectangle.
        RECT label;
        ASSERT_TRUE(WaitFor([&] { return consoletest::TracedRect(inst.Trace(), "TextLab", label); }, 30000));
        EXPECT_EQ(inst.Settled("icon", "CDlgActivity", "1"), "1");
        EXPECT_EQ(sc.LogFor("/index.php?g=home&m=activity&a=activity").size(), 1u);
        std::vector<TraceLine> trace = inst.Trace();
        RECT view = {};
        if (!fail) {
            EXPECT_NE(consoletest::LastTraced(trace, "activity", "url").find("/index.php?g=home&m=activity&a=page"),
                      std::string::npos);
            ASSERT_TRUE(WaitFor([&] { return consoletest::TracedRect(inst.Trace(), "huodong", view); }, 20000));
            EXPECT_EQ(inst.Settled("visible", "huodong", "1"), "1");
            RECT block = {view.left + 4, view.top + 4, view.left + 196, view.top + 76};
            double share = 0;
            WaitFor([&] {
                int width = 0, height = 0;
                std::vector<BYTE> pixels = CaptureWindow(dialog, L"console_activity.bmp", width, height);
                share = ShareNear(pixels, width, height, block, kBlock);
                return share > 0.6;
            }, 30000);
            EXPECT_GT(share, 0.6) << "screenshot: console_activity.bmp";
            EXPECT_GE(sc.LogFor("/index.php?g=home&m=activity&a=page").size(), 1u);
            ASSERT_TRUE(inst.Click(dialog, "cancleBtn"));
        } else {
            EXPECT_TRUE(consoletest::Traced(trace, "activity", "url", ""));
            EXPECT_NE(inst.Last("visible", "huodong"), "1");
            Sleep(1500);
            int width = 0, height = 0;
            std::vector<BYTE> pixels = CaptureWindow(dialog, L"console_activity_failed.bmp", width, height);
            RECT whole = {0, 0, width, height};
            EXPECT_LT(ShareNear(pixels, width, height, whole, kBlock), 0.01);
            EXPECT_EQ(sc.LogFor("/index.php?g=home&m=activity&a=page").size(), 0u);
            ASSERT_TRUE(inst.Click(dialog, "cancleBtn"));
        }
        EXPECT_TRUE(WaitFor([&] { return !IsWindow(dialog); }, 20000));
        EXPECT_TRUE(IsWindow(frame));
        EXPECT_TRUE(inst.WaitTraced("notify", "click", "cancleBtn"));
        PostMessageW(frame, WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_TRUE(Exited(process, 20000));
    }
}

// The settings page shows the café's record from the login: the code and the phone read-only, the
// name, person and address editable; its web view loads the café's map address.
TEST(PellmoraProgram, TheSettingsPageShowsTheCafeRecord)
{
    ConsoleInstallation inst;
    standin::Scenario sc(CafeSpec());
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    HANDLE process = nullptr;
    DWORD pid = 0;
    HWND frame = LogIn(inst, sc, process, pid);
    ASSERT_NE(frame, nullptr);
    struct Field {
        const char* name;
        std::wstring text;
        const char* readOnly;
    } fields[] = {
        {"netbarname", L"星河网吧", "0"}, {"netbarcode", L"10001", "1"}, {"fuzeren", L"李四", "0"},
        {"telephone", L"13800000000", "1"}, {"address", L"解放路 12 号", "0"},
    };
    // The page fills itself while the frame is being built; the map load comes last.
    EXPECT_TRUE(WaitFor([&] { return !inst.Last("map", "changsuoditu").empty(); }, 20000));
    std::vector<TraceLine> trace = inst.Trace();
    for (const Field& f : fields) {
        EXPECT_EQ(consoletest::LastTraced(trace, "text", f.name), Utf8(f.text)) << f.name;
        EXPECT_EQ(consoletest::LastTraced(trace, "readonly", f.name), f.readOnly) << f.name;
    }
    EXPECT_EQ(consoletest::LastTraced(trace, "map", "changsuoditu"), "https://map.standin.test/cafe/3001");
    ASSERT_TRUE(inst.Click(frame, "xitongshezhi_btn"));
    EXPECT_TRUE(inst.WaitTraced("notify", "selectchanged", "xitongshezhi_btn"));
    RECT rc;
    EXPECT_TRUE(WaitFor([&] { return consoletest::TracedRect(inst.Trace(), "netbarcode", rc); }, 20000));
    // The frame keeps its own size: the pages' skins carry no window attributes.
    RECT frameRc;
    GetWindowRect(frame, &frameRc);
    EXPECT_EQ(frameRc.right - frameRc.left, 900);
    EXPECT_EQ(frameRc.bottom - frameRc.top, 600);
    PostMessageW(frame, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(Exited(process, 20000));
    EXPECT_EQ(ExitCode(process), 0u);
}

namespace {

const wchar_t kQrClass[] = L"CMessageBoxExWnd";

// Opens the edit's native window with a click and types the text into it as the keyboard would
// (characters after the selection of the old text), then closes it with a click on the window's
// background. The native window's own text is read back before it closes.
testing::AssertionResult TypeKeys(const ConsoleInstallation& inst, HWND hwnd, const std::string& name,
                                  const std::wstring& text)
{
    if (!inst.Click(hwnd, name))
        return testing::AssertionFailure() << name << " never laid out";
    HWND edit = nullptr;
    if (!WaitFor([&] {
            edit = nullptr;
            EnumChildWindows(hwnd, &FindEditChild, reinterpret_cast<LPARAM>(&edit));
            return edit != nullptr;
        }, 10000))
        return testing::AssertionFailure() << "no edit window opened\n" << FileText(inst.Path(L"trace.txt"));
    PostMessageW(edit, EM_SETSEL, 0, -1);
    for (wchar_t c : text)
        PostMessageW(edit, WM_CHAR, c, 1);
    wchar_t typed[256] = {};
    // WM_GETTEXT asks the edit itself (GetWindowText would give another process's window title).
    if (!WaitFor([&] {
            SendMessageW(edit, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(typed));
            return text == typed;
        }, 10000))
        return testing::AssertionFailure() << "the edit window holds \"" << Utf8(typed) << "\"";
    PostClick(hwnd, {4, 200});
    if (!WaitFor([&] { return !IsWindow(edit) || !IsWindowVisible(edit); }, 10000))
        return testing::AssertionFailure() << "the edit window stays open";
    return testing::AssertionSuccess();
}

// The text the field's native edit window opens with (the control's own text); closed again.
std::wstring FieldText(const ConsoleInstallation& inst, HWND hwnd, const std::string& name)
{
    if (!inst.Click(hwnd, name))
        return L"<no click>";
    HWND edit = nullptr;
    if (!WaitFor([&] {
            edit = nullptr;
            EnumChildWindows(hwnd, &FindEditChild, reinterpret_cast<LPARAM>(&edit));
            return edit != nullptr;
        }, 10000))
        return L"<no edit window>";
    wchar_t text[256] = {};
    SendMessageW(edit, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
    PostClick(hwnd, {4, 200});
    WaitFor([&] { return !IsWindow(edit) || !IsWindowVisible(edit); }, 10000);
    return text;
}

// Selects the settings page and waits for its layout. The login dialog has a "netbarname" of its
// own: once the page's "netbarcode" is laid out, the last "netbarname" traced is the page's.
bool ShowSettingsPage(const ConsoleInstallation& inst, HWND frame)
{
    RECT rc;
    return inst.Click(frame, "xitongshezhi_btn") && inst.WaitTraced("notify", "selectchanged", "xitongshezhi_btn") &&
           WaitFor([&] { return consoletest::TracedRect(inst.Trace(), "netbarcode", rc); }, 20000);
}

// Whether any request of the scenario carries the text (UTF-8) in its line or form fields.
bool AnyRequestCarries(const standin::Scenario& sc, const std::string& text)
{
    for (const auto& r : sc.Log()) {
        if (r.requestLine.find(text) != std::string::npos || r.target.find(text) != std::string::npos)
            return true;
        for (const auto& f : r.fields)
            if (f.second.find(text) != std::string::npos)
                return true;
    }
    return false;
}

}  // namespace

// The café name typed into the settings page stays in the field: nothing is sent, and the next
// start shows the service's name again.
TEST(PellmoraProgram, AnEditedCafeNameIsNeitherSentNorKept)
{
    const std::wstring edited = L"新名字网吧";
    ConsoleInstallation inst;
    standin::Scenario sc(CafeSpec());
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    HANDLE process = nullptr;
    DWORD pid = 0;
    HWND frame = LogIn(inst, sc, process, pid);
    ASSERT_NE(frame, nullptr);
    ASSERT_TRUE(ShowSettingsPage(inst, frame));
    ASSERT_TRUE(TypeKeys(inst, frame, "netbarname", edited));
    EXPECT_EQ(Utf8(FieldText(inst, frame, "netbarname")), Utf8(edited));
    // Requests run on the frame's thread: once a later click is handled, any request the edit
    // caused has been made.
    ASSERT_TRUE(inst.Click(frame, "player_btn"));
    ASSERT_TRUE(inst.WaitTraced("notify", "selectchanged", "player_btn"));
    EXPECT_FALSE(AnyRequestCarries(sc, Utf8(edited)));
    PostMessageW(frame, WM_SYSCOMMAND, SC_CLOSE, 0);
    ASSERT_TRUE(Exited(process, 20000));
    EXPECT_EQ(ExitCode(process), 0u);

    DeleteFileW(inst.Path(L"trace.txt").c_str());
    frame = LogIn(inst, sc, process, pid);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(inst.Settled("text", "netbarname", Utf8(L"星河网吧")), Utf8(L"星河网吧"));
    ASSERT_TRUE(ShowSettingsPage(inst, frame));
    EXPECT_EQ(Utf8(FieldText(inst, frame, "netbarname")), Utf8(L"星河网吧"));
    EXPECT_FALSE(AnyRequestCarries(sc, Utf8(edited)));
    PostMessageW(frame, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(Exited(process, 20000));
    EXPECT_EQ(ExitCode(process), 0u);
}

namespace {

HWND QrWindow(DWORD pid) { return FindProcessWindow(pid, kQrClass); }

bool Visible(HWND hwnd) { return IsWindow(hwnd) && IsWindowVisible(hwnd); }

// The text of the QR code a window shows, once it reads (captures saved under `shot`), or what
// the last capture gave.
std::string ShownQrCode(HWND hwnd, const wchar_t* shot)
{
    std::string text;
    WaitFor([&] {
        int width = 0, height = 0;
        CaptureWindow(hwnd, shot, width, height);
        return DecodeQrCode(shot, text) && text == kCafeCode;
    }, 30000);
    return text;
}

int BitmapWrites(const ConsoleInstallation& inst)
{
    return consoletest::CountTraced(inst.Trace(), "qrwindow", "bitmap");
}

// The rectangle a control of the QR window had at its last layout.
bool QrRect(const ConsoleInstallation& inst, const char* name, RECT& rc)
{
    return WaitFor([&] {
        return consoletest::TracedRect(inst.Trace(), std::string("CMessageBoxExWnd:") + name, rc);
    }, 20000);
}

}  // namespace

// "kaihu_btn" shows, hides and shows the QR window; its bitmap, the café code's QR, is written
// once. Once the window is gone (Alt+F4, its close button) the next press builds it anew and
// writes the bitmap again. The picture is drawn (console_qrwindow.bmp in the tests folder).
TEST(PellmoraProgram, TheQrWindowTogglesAndComesBackAfterItsWindowWasClosed)
{
    ConsoleInstallation inst;
    std::wstring expectedPath = inst.Path(L"expected.bmp");
    ASSERT_TRUE(WriteQrBitmap(kCafeCode, WideToAnsi(expectedPath).c_str()));
    const std::string expected = FileText(expectedPath);
    const std::wstring bitmap = inst.Path(L"wberweima.bmp");
    standin::Scenario sc(CafeSpec());
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    HANDLE process = nullptr;
    DWORD pid = 0;
    HWND frame = LogIn(inst, sc, process, pid);
    ASSERT_NE(frame, nullptr);

    // First press: written and shown, centred, with the picture.
    ASSERT_TRUE(inst.Click(frame, "kaihu_btn"));
    HWND qr = nullptr;
    ASSERT_TRUE(WaitFor([&] { return Visible(qr = QrWindow(pid)); }, 20000));
    EXPECT_EQ(BitmapWrites(inst), 1);
    EXPECT_TRUE(consoletest::Traced(inst.Trace(), "qrwindow", "bitmap", "written"));
    EXPECT_TRUE(FileText(bitmap) == expected);
    RECT rc;
    GetWindowRect(qr, &rc);
    EXPECT_EQ(rc.right - rc.left, 300);
    EXPECT_EQ(rc.bottom - rc.top, 322);
    RECT picture;
    ASSERT_TRUE(QrRect(inst, "headimg", picture));
    // The code on the screen reads as the café code itself (not the customer page's scrambled
    // text, which goes to the same file name).
    EXPECT_EQ(ShownQrCode(qr, L"console_qrwindow.bmp"), kCafeCode) << "screenshot: console_qrwindow.bmp";

    // Presses two and three hide and show the same window and leave the file alone.
    ASSERT_TRUE(WriteWholeFile(bitmap, "left alone"));
    ASSERT_TRUE(inst.Click(frame, "kaihu_btn"));
    EXPECT_TRUE(WaitFor([&] { return !Visible(qr); }, 20000));
    EXPECT_TRUE(IsWindow(qr));
    ASSERT_TRUE(inst.Click(frame, "kaihu_btn"));
    EXPECT_TRUE(WaitFor([&] { return Visible(qr); }, 20000));
    EXPECT_EQ(QrWindow(pid), qr);
    EXPECT_EQ(BitmapWrites(inst), 1);
    EXPECT_EQ(FileText(bitmap), "left alone");

    // A window that is gone comes back with the next press, bitmap written again.
    const struct {
        const char* route;
        bool altF4;
    } routes[] = {{"Alt+F4", true}, {"close button", false}};
    int writes = 1;
    for (const auto& r : routes) {
        SCOPED_TRACE(r.route);
        if (r.altF4) {
            PostMessageW(qr, WM_SYSKEYDOWN, VK_F4, 1 << 29);
            PostMessageW(qr, WM_SYSKEYUP, VK_F4, (1 << 29) | (1u << 30) | (1u << 31));
        } else {
            RECT close;
            ASSERT_TRUE(QrRect(inst, "CloseBtn", close));
            PostClick(qr, Centre(close));
        }
        ASSERT_TRUE(WaitFor([&] { return !IsWindow(qr); }, 20000));
        EXPECT_TRUE(IsWindow(frame));
        ASSERT_TRUE(WriteWholeFile(bitmap, "stale"));
        ASSERT_TRUE(inst.Click(frame, "kaihu_btn"));
        ASSERT_TRUE(WaitFor([&] { return Visible(qr = QrWindow(pid)); }, 20000));
        EXPECT_EQ(BitmapWrites(inst), ++writes);
        EXPECT_TRUE(FileText(bitmap) == expected);
        // The new window draws the picture written for it.
        EXPECT_EQ(ShownQrCode(qr, L"console_qrwindow_again.bmp"), kCafeCode)
            << "screenshot: console_qrwindow_again.bmp";
        // One press more hides it: the toggle goes on from the new window.
        ASSERT_TRUE(inst.Click(frame, "kaihu_btn"));
        EXPECT_TRUE(WaitFor([&] { return !Visible(qr); }, 20000));
        ASSERT_TRUE(inst.Click(frame, "kaihu_btn"));
        EXPECT_TRUE(WaitFor([&] { return Visible(qr); }, 20000));
        EXPECT_EQ(BitmapWrites(inst), writes);
    }

    PostMessageW(frame, WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(Exited(process, 20000));
    EXPECT_EQ(ExitCode(process), 0u);
    EXPECT_EQ(FindProcessWindow(pid, nullptr), nullptr);
}

namespace {

// How many processes named Pellmora.exe run (the program tests run alone).
int PellmoraProcesses()
{
    int n = 0;
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snap == INVALID_HANDLE_VALUE)
        return -1;
    PROCESSENTRY32W pe = {sizeof pe};
    for (BOOL ok = Process32FirstW(snap, &pe); ok; ok = Process32NextW(snap, &pe))
        n += _wcsicmp(pe.szExeFile, L"Pellmora.exe") == 0;
    CloseHandle(snap);
    return n;
}

}  // namespace

// The ways out the other tests leave open: the frame's close command (Alt+F4, the quit message)
// while the modal activities dialog runs its own loop, while the timer thread waits for a
// check_update that the service took and never answers, and while it hangs in a stalled download
// of the updater. Each ends with code 0 and no process left, the thread stopped within its wait.
TEST(PellmoraProgram, QuittingWhileADialogOrADownloadIsOpenEndsCleanly)
{
    const struct {
        const char* way;
        bool download;
        bool unanswered;
    } ways[] = {{"activities dialog open", false, false},
                {"check_update unanswered", false, true},
                {"updater download stalled", true, false}};
    for (const auto& w : ways) {
        SCOPED_TRACE(w.way);
        if ((w.download || w.unanswered) && !UptimeAllowsACheck())
            GTEST_SKIP() << "the system has been up less than three minutes";
        consoletest::SerialLock coreLock(L"TollvaneProgramTestSerial");
        ConsoleInstallation inst;
        Json::Value spec = CafeSpec();
        if (w.download) {
            ASSERT_TRUE(WriteWholeFile(inst.Path(L"Core.exe"), "the old updater"));
            spec["console_update"]["file"]["size"] = 200000;
            spec["console_update"]["file"]["seed"] = 5;
            spec["rules"]["updater"]["stall"] = 1000;
        }
        if (w.unanswered)
            spec["rules"]["check_update"]["no_reply"] = true;
        standin::Scenario sc(spec);
        ASSERT_TRUE(sc.Ok()) << sc.Error();
        HANDLE process = nullptr;
        DWORD pid = 0;
        HWND frame = LogIn(inst, sc, process, pid);
        ASSERT_NE(frame, nullptr);
        if (w.unanswered) {
            ASSERT_TRUE(WaitFor([&] { return !inst.Last("update", "request").empty(); }, 90000))
                << FileText(inst.Path(L"trace.txt"));
            ASSERT_TRUE(WaitFor([&] { return sc.LogFor("/index.php?g=home&m=api&a=check_update").size() == 1; },
                                30000));
        } else if (w.download) {
            ASSERT_TRUE(WaitFor([&] { return !inst.Last("update", "download").empty(); }, 90000))
                << FileText(inst.Path(L"trace.txt"));
            ASSERT_TRUE(WaitFor([&] { return sc.LogFor("/updater/Core.exe").size() == 1; }, 30000));
        } else {
            ASSERT_TRUE(inst.Click(frame, "activity_btn"));
            ASSERT_TRUE(WaitFor([&] { return FindProcessWindow(pid, kDialogClass, L"活动") != nullptr; }, 30000));
            RECT label;
            ASSERT_TRUE(WaitFor([&] { return consoletest::TracedRect(inst.Trace(), "TextLab", label); }, 30000));
        }
        PostMessageW(frame, WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_TRUE(Exited(process, 30000));
        EXPECT_EQ(ExitCode(process), 0u);
        EXPECT_EQ(FindProcessWindow(pid, nullptr), nullptr);
        EXPECT_TRUE(WaitFor([] { return PellmoraProcesses() == 0; }, 10000));
        EXPECT_TRUE(consoletest::Traced(inst.Trace(), "update", "stop", "ended"));
        EXPECT_FALSE(consoletest::Traced(inst.Trace(), "update", "stop", "waiting"));
        if (w.download) {
            EXPECT_EQ(FileText(inst.Path(L"Core.exe")), "the old updater");
            EXPECT_EQ(FileText(inst.Path(L"Core.exe.log")), "");
        }
    }
}

// A console ended by force in the middle of a request (the login's, then the activity page's in
// the frame) starts again with its settings: the login page is filled from them and logs in.
TEST(PellmoraProgram, AConsoleKilledInARequestStartsAgainWithItsSettings)
{
    const struct {
        const char* request;
        const char* action;
        const char* path;
    } cases[] = {
        {"bar_login", "bar_login", "/index.php?g=home&m=bar&a=bar_login"},
        {"activity", "activity", "/index.php?g=home&m=activity&a=activity"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.request);
        ConsoleInstallation inst;
        Json::Value spec = CafeSpec();
        // The first such request is never answered; the ones after it are.
        spec["rules"][c.action][0]["no_reply"] = true;
        standin::Scenario sc(spec);
        ASSERT_TRUE(sc.Ok()) << sc.Error();
        inst.SetSetting(L"rempwd", L"1");
        inst.SetSetting(L"acc", AnsiToWide(kCafeCode).c_str());
        inst.SetSetting(L"pwd", AnsiToWide(kCafePassword).c_str());
        DWORD pid = 0;
        HANDLE process = inst.Start(Proxy(sc), &pid);
        ASSERT_NE(process, nullptr);
        HWND dialog = WaitForWindow(pid, kDialogClass);
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(inst.Click(dialog, "okBtn"));
        if (strcmp(c.action, "activity") == 0) {
            HWND frame = WaitForWindow(pid, kFrameClass);
            ASSERT_NE(frame, nullptr);
            ASSERT_TRUE(inst.Click(frame, "activity_btn"));
        }
        ASSERT_TRUE(WaitFor([&] { return sc.LogFor(c.path).size() == 1; }, 30000));
        const std::string ini = FileText(inst.Ini());
        ASSERT_TRUE(TerminateProcess(process, 1));
        ASSERT_TRUE(Exited(process, 20000));
        EXPECT_EQ(FileText(inst.Ini()), ini);

        DeleteFileW(inst.Path(L"trace.txt").c_str());
        process = inst.Start(Proxy(sc), &pid);
        ASSERT_NE(process, nullptr);
        dialog = WaitForWindow(pid, kDialogClass);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(inst.Settled("text", "login_netbarcode", kCafeCode), kCafeCode);
        EXPECT_EQ(inst.Settled("text", "login_password", kCafePassword), kCafePassword);
        EXPECT_EQ(inst.Settled("selected", "savepassOpt", "1"), "1");
        ASSERT_TRUE(inst.Click(dialog, "okBtn"));
        HWND frame = WaitForWindow(pid, kFrameClass);
        ASSERT_NE(frame, nullptr);
        EXPECT_EQ(inst.Setting(L"acc"), AnsiToWide(kCafeCode));
        EXPECT_EQ(inst.Setting(L"pwd"), AnsiToWide(kCafePassword));
        EXPECT_EQ(inst.Setting(L"rempwd"), L"1");
        PostMessageW(frame, WM_SYSCOMMAND, SC_CLOSE, 0);
        EXPECT_TRUE(Exited(process, 20000));
        EXPECT_EQ(ExitCode(process), 0u);
    }
}
