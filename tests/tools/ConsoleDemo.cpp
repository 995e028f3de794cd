// Drives scripts/demo-console.sh under Wine: the console Pellmora run whole against the café
// stand-in from a sample installation kept in "cafe" under the current folder. It logs in, shows
// one account-opening request, confirms it, and a window titled "QCODE_DIALOG_AGENT" in this
// process prints the identity record it receives. Screenshots (BMP) go to the current folder:
// login.bmp, frame_customer.bmp, qr_window.bmp. Exit code 0 when every step was seen.
#include <windows.h>
#include <json/json.h>
#include <stdio.h>
#include <string.h>
#include <string>
#include "AgentWindow.h"
#include "ConsoleAppSupport.h"
#include "IdCardRecord.h"
#include "PellmoraInstallation.h"
#include "StandIn.h"
#include "SysHelpers.h"

using consoletest::Utf8;
using namespace pellmoratest;

namespace {

const COLORREF kPhoto = RGB(0x3A, 0x7B, 0xC8);

void Say(const std::string& line)
{
    fputs((line + "\n").c_str(), stdout);
    fflush(stdout);
}

int Fail(const std::string& what)
{
    Say("demo: " + what);
    return 1;
}

// A text field of the record, from code page 936 to UTF-8 for the terminal.
std::string Field(const char* field, size_t size)
{
    std::string ansi(field, strnlen(field, size));
    int n = MultiByteToWideChar(936, 0, ansi.c_str(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring wide(n, L'\0');
    if (n > 0)
        MultiByteToWideChar(936, 0, ansi.c_str(), static_cast<int>(ansi.size()), &wide[0], n);
    return Utf8(wide);
}

// What the agent window received, as the program owning it would read it.
void PrintRecord(const AgentWindow::Received& received)
{
    Say("QCODE_DIALOG_AGENT received WM_COPYDATA: type " + std::to_string(received.type) + ", " +
        std::to_string(received.size) + " bytes, from window " +
        std::to_string(reinterpret_cast<ULONG_PTR>(received.sender)));
    if (received.bytes.size() != sizeof(IdCardRecord))
        return;
    IdCardRecord r;
    memcpy(&r, received.bytes.data(), sizeof r);
    Say("  name:      " + Field(r.name, sizeof r.name));
    Say("  ID number: " + Field(r.idNumber, sizeof r.idNumber));
    Say("  nation:    " + Field(r.nation, sizeof r.nation));
    Say("  sex:       " + std::to_string(r.sex) + (r.sex == 1 ? " (male)" : " (female)"));
    Say("  photo:     " + Field(r.photoPath, sizeof r.photoPath));
}

// A screenshot once the window has had time to draw itself.
void Screenshot(HWND hwnd, const wchar_t* file)
{
    Sleep(1500);
    int width = 0, height = 0;
    CaptureWindow(hwnd, file, width, height);
}

std::wstring CurrentDir()
{
    wchar_t dir[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, dir);
    return dir;
}

int RunDemo()
{
    const std::wstring here = CurrentDir();
    ConsoleInstallation inst(here + L"\\cafe", true);
    Json::Value spec = CafeSpec();
    Json::Value& customer = spec["cafe"]["customers"]["55"];
    customer["uname"] = Utf8(L"张三");
    customer["bsex"] = "1";
    customer["bnation"] = "0000";
    customer["bcertificode"] = "110101199001011234";
    customer["photo"]["base64"] = consoletest::Base64(consoletest::SolidBmp(102, 126, kPhoto));
    standin::Scenario sc(spec);
    if (!sc.Ok())
        return Fail("the café stand-in refused the scenario: " + sc.Error());
    Say("Café stand-in ready: café code " + std::string(kCafeCode) + ", proxy " + Proxy(sc));

    // The login dialog, with the stored café code and password filled in.
    inst.SetSetting(L"rempwd", L"1");
    inst.SetSetting(L"acc", AnsiToWide(kCafeCode).c_str());
    inst.SetSetting(L"pwd", AnsiToWide(kCafePassword).c_str());
    DWORD pid = 0;
    HANDLE process = inst.Start(Proxy(sc), &pid);
    if (!process)
        return Fail("Pellmora.exe did not start");
    HWND dialog = WaitForWindow(pid, kDialogClass);
    POINT ok = {};
    if (!dialog || !inst.ControlCentre("okBtn", ok))
        return Fail("no login dialog");
    Screenshot(dialog, L"login.bmp");
    Say("Login dialog shown");
    if (!inst.Click(dialog, "okBtn"))
        return Fail("could not press okBtn");
    HWND frame = WaitForWindow(pid, kFrameClass, 60000);
    if (!frame)
        return Fail("no main frame after the login");
    Say("Logged in: main frame shown");
    if (!inst.WaitTraced("player", "call", "1,0", 60000))
        return Fail("the service page did not connect");
    Say("Service page connected");

    // One account-opening request through the service page.
    if (!sc.QueueEvent(4, 55, 0))
        return Fail("the stand-in did not queue the request");
    Say("Account-opening request queued (customer 55)");
    if (!inst.WaitTraced("text", "username", Utf8(L"张三"), 60000))
        return Fail("the customer was not shown");
    RECT head = {};
    WaitFor([&] { return consoletest::TracedRect(inst.Trace(), "headimg", head); }, 20000);
    const POINT centre = consoletest::Centre(head);
    WaitFor([&] {
        int width = 0, height = 0;
        std::vector<BYTE> pixels = CaptureWindow(frame, L"frame_customer.bmp", width, height);
        return centre.x < width && centre.y < height && PixelNear(pixels, width, centre.x, centre.y, kPhoto);
    }, 20000);
    Say("Customer shown: " + inst.Last("text", "username") + ", " + inst.Last("text", "usersex") + ", " +
        inst.Last("text", "usernation") + ", " + inst.Last("text", "userbirthday"));

    // The agent window, then the confirmation that sends it the record.
    AgentWindow agent;
    if (!agent.Handle())
        return Fail("no QCODE_DIALOG_AGENT window");
    if (!inst.Click(frame, "okBtn"))
        return Fail("could not press okBtn");
    // The record goes out before the page shows the outcome.
    if (!WaitFor([&] { return agent.Count() > 0; }, 30000))
        return Fail("the agent window received nothing");
    PrintRecord(agent.Records()[0]);
    if (!inst.WaitTraced("text", "checkresult", Utf8(L"开户成功!"), 30000))
        return Fail("the account opening was not confirmed");
    Say(Utf8(L"Confirmed: 开户成功!"));

    // The QR window.
    if (!inst.Click(frame, "kaihu_btn"))
        return Fail("could not press kaihu_btn");
    HWND qr = nullptr;
    if (!WaitFor([&] { return (qr = FindProcessWindow(pid, L"CMessageBoxExWnd")) != nullptr && IsWindowVisible(qr); },
                 20000))
        return Fail("no QR window");
    RECT picture;
    WaitFor([&] { return consoletest::TracedRect(inst.Trace(), "CMessageBoxExWnd:headimg", picture); }, 20000);
    Screenshot(qr, L"qr_window.bmp");
    Say("QR window shown");

    if (!inst.Click(frame, "close_btn") || !Exited(process, 30000))
        return Fail("the console did not end after close_btn");
    Say("Console closed with exit code " + std::to_string(ExitCode(process)));
    return ExitCode(process) == 0 ? 0 : 1;
}

}  // namespace

int main()
{
    curl_global_init(CURL_GLOBAL_DEFAULT);
    int code = RunDemo();
    curl_global_cleanup();
    return code;
}
