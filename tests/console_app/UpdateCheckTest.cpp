// The periodic update check (CTollvane) in this process with a set clock, against the stand-in of
// the update service, in a fixture installation of its own; and its timer thread stopped while a
// check hangs in a download or in the wait after starting the updater.
// Every case holds "TollvaneProgramTestSerial": any Core.exe in the Wine prefix drops a check, and
// the updater's program tests run Core.exe.
#include <gtest/gtest.h>
#include <windows.h>
#include <ctype.h>
#include <json/json.h>
#include <stdlib.h>
#include <memory>
#include <string>
#include "ChildProcess.h"
#include "ConsoleAppSupport.h"
#include "ConsoleGlobals.h"
#include "CoreDataFile.h"
#include "StandIn.h"
#include "SysHelpers.h"
#include "Tollvane.h"

using consoletest::WaitFor;
using enginebase::ReadWholeFile;
using enginebase::ScratchDir;
using enginebase::WriteWholeFile;

namespace {

const char kCheckUpdate[] = "/index.php?g=home&m=api&a=check_update";

uint32_t g_now = 0;
uint32_t TestClock() { return g_now; }

std::string Base64(const std::string& bytes)
{
    static const char table[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        unsigned v = (unsigned char)bytes[i] << 16 | (unsigned char)bytes[i + 1] << 8 | (unsigned char)bytes[i + 2];
        out += table[v >> 18];
        out += table[(v >> 12) & 63];
        out += table[(v >> 6) & 63];
        out += table[v & 63];
    }
    if (i + 1 == bytes.size()) {
        unsigned v = (unsigned char)bytes[i] << 16;
        out += table[v >> 18];
        out += table[(v >> 12) & 63];
        out += "==";
    } else if (i + 2 == bytes.size()) {
        unsigned v = (unsigned char)bytes[i] << 16 | (unsigned char)bytes[i + 1] << 8;
        out += table[v >> 18];
        out += table[(v >> 12) & 63];
        out += table[(v >> 6) & 63];
        out += '=';
    }
    return out;
}

std::string ReadText(const std::wstring& path)
{
    std::string s;
    ReadWholeFile(path, s);
    return s;
}

std::string Md5Of(const std::wstring& path)
{
    std::string md5;
    GetFileMd5(path.c_str(), md5);
    return md5;
}

std::string Upper(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    return s;
}

// One acting tick: timer calls until the count says that the check acted.
void Act(CTollvane& check)
{
    do
        check.OnThreadRun();
    while (g_updateTickCount % 10 != 1);
}

class UpdateCheck : public ::testing::Test {
protected:
    void SetUp() override
    {
        CreateDirectoryW((m_dir / L"data").c_str(), nullptr);
        ::CCoreDataFile file(1);
        file.SetPath(WideToAnsi(m_dir / L"data\\core.dat"));
        ASSERT_TRUE(file.Write("1.0.0", "100", 1000));
        SetEnvironmentVariableW(L"PELLMORA_TEST_TRACE", (m_dir / L"trace.txt").c_str());
        m_updater = consoletest::TestBinDir() + L"standin_console.exe";
        ASSERT_TRUE(ReadWholeFile(m_updater, m_updaterBytes));
        m_netbarid = std::to_string(800000 + GetCurrentProcessId() % 100000);
        g_netbarInfo = CNetbarInfo();
        g_netbarInfo.bar_id = atoi(m_netbarid.c_str());
        g_updateTickCount = 0;
        g_timerBusy = 0;
        g_now = 0;
    }
    void TearDown() override
    {
        // Every updater stand-in started here ends when its quit file appears.
        WriteWholeFile(m_dir / L"Core.exe.quit", "");
        WaitFor([] { return CTollvane::FindProcess(L"Core.exe") == 0; }, 10000);
        SetEnvironmentVariableW(L"PELLMORA_TEST_TRACE", nullptr);
    }

    // The stand-in announces a new version (code 101) with the MD5 given, and serves the updater
    // stand-in's bytes (or stalls after a few bytes).
    Json::Value Spec(const std::string& code, const std::string& md5, bool stall = false, bool silent = false) const
    {
        Json::Value spec;
        spec["netbarid"] = m_netbarid;
        Json::Value check;
        check["path"] = std::string(kCheckUpdate) + "*";
        if (silent)
            check["no_reply"] = true;  // the request is taken and never answered
        Json::Value reply;
        reply["code"] = code;
        reply["msg"] = "new version";
        reply["version"] = "2.0.0";
        reply["version_code"] = "200";
        reply["version_update_url"] = "http://files.tollvane.invalid/updater/Core.exe?netbarid=" + m_netbarid;
        reply["version_update_md5"] = md5;
        reply["version_info_url"] = "http://files.tollvane.invalid/info";
        check["json"] = reply;
        spec["routes"].append(check);
        Json::Value file;
        file["path"] = "/updater/Core.exe*";
        if (stall) {
            file["body_size"] = 200000;
            file["stall"] = 1000;
            file["stall_seconds"] = 120;
        } else {
            file["body_base64"] = Base64(m_updaterBytes);
        }
        spec["routes"].append(file);
        return spec;
    }

    std::string UpdaterMd5() const { return Md5Of(m_updater); }
    void InstallCoreExe(const std::string& bytes) { ASSERT_TRUE(WriteWholeFile(m_dir / L"Core.exe", bytes)); }
    std::string Starts() const { return ReadText(m_dir / L"Core.exe.log"); }
    size_t Checks(const standin::Scenario& sc) const { return sc.LogFor(kCheckUpdate).size(); }

    // Ends the started updater and waits until no Core.exe runs.
    void EndUpdater()
    {
        WriteWholeFile(m_dir / L"Core.exe.quit", "");
        ASSERT_TRUE(WaitFor([] { return CTollvane::FindProcess(L"Core.exe") == 0; }, 20000));
        DeleteFileW((m_dir / L"Core.exe.quit").c_str());
    }

    CTollvane* NewCheck()
    {
        m_check.reset(new CTollvane);
        m_check->SetDirectory(m_dir.Path());
        m_check->SetClock(&TestClock);
        return m_check.get();
    }

    consoletest::SerialLock m_coreLock{L"TollvaneProgramTestSerial"};
    ScratchDir m_dir;
    std::wstring m_updater;
    std::string m_updaterBytes;
    std::string m_netbarid;
    std::unique_ptr<CTollvane> m_check;
};

}  // namespace

TEST_F(UpdateCheck, FirstCheckAfterThreeMinutesOfUptimeAndA102ReplyWaitsThreeHours)
{
    standin::Scenario sc(Spec("102", UpdaterMd5()));
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    CTollvane& check = *NewCheck();

    g_now = 100000;
    Act(check);
    g_now = 180000;  // not more than three minutes
    Act(check);
    EXPECT_EQ(Checks(sc), 0u);
    EXPECT_EQ(check.GetState(), CTollvane::kIdle);

    // Ticks between acting ones do nothing, whatever the clock says.
    g_now = 180001;
    for (int i = 0; i < 9; ++i)
        check.OnThreadRun();
    EXPECT_EQ(Checks(sc), 0u);
    check.OnThreadRun();
    ASSERT_EQ(Checks(sc), 1u);
    standin::Request request = sc.LogFor(kCheckUpdate)[0];
    EXPECT_EQ(request.method, "GET");
    EXPECT_EQ(request.scheme, "http");
    EXPECT_EQ(request.target, std::string(kCheckUpdate) + "&netbarid=" + m_netbarid + "&version=100");
    // 102 ends the check; the next one comes three hours after it.
    EXPECT_EQ(check.GetState(), CTollvane::kIdle);
    EXPECT_EQ(check.GetLastEnd(), 180001u);

    g_now = 180001 + CTollvane::kCheckPeriodMs;
    Act(check);
    EXPECT_EQ(Checks(sc), 1u);
    g_now += 1;
    Act(check);
    EXPECT_EQ(Checks(sc), 2u);
}

TEST_F(UpdateCheck, AnUnreadableVersionFileOrARunningUpdaterMakesNoRequest)
{
    standin::Scenario sc(Spec("101", UpdaterMd5()));
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    {
        SCOPED_TRACE("no version file");
        DeleteFileW((m_dir / L"data\\core.dat").c_str());
        CTollvane& check = *NewCheck();
        g_now = 200000;
        Act(check);
        EXPECT_EQ(Checks(sc), 0u);
        EXPECT_EQ(check.GetState(), CTollvane::kIdle);
        EXPECT_EQ(check.GetLastEnd(), 200000u);
        ::CCoreDataFile file(1);
        file.SetPath(WideToAnsi(m_dir / L"data\\core.dat"));
        ASSERT_TRUE(file.Write("1.0.0", "100", 1000));
    }
    {
        SCOPED_TRACE("Core.exe running");
        InstallCoreExe(m_updaterBytes);
        std::wstring cmd = L"\"" + (m_dir / L"Core.exe") + L"\"";
        STARTUPINFOW si = {sizeof si};
        PROCESS_INFORMATION pi;
        ASSERT_TRUE(CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
        testsupport::ChildProcess updater(pi);
        ASSERT_TRUE(WaitFor([] { return CTollvane::FindProcess(L"Core.exe") != 0; }, 20000));
        CTollvane& check = *NewCheck();
        g_now = 300000;
        Act(check);
        EXPECT_EQ(Checks(sc), 0u);
        EXPECT_EQ(check.GetState(), CTollvane::kIdle);
        EXPECT_EQ(check.GetLastEnd(), 300000u);
        EndUpdater();
    }
}

// The present Core.exe is the announced one (MD5 in capitals): started at once, no download; no
// check while it runs; three hours after it ended the next one.
TEST_F(UpdateCheck, AnUnchangedUpdaterStartsWithoutADownloadAndSilencesTheCheckWhileItRuns)
{
    InstallCoreExe(m_updaterBytes);
    standin::Scenario sc(Spec("101", Upper(UpdaterMd5())));
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    CTollvane& check = *NewCheck();
    g_now = 200000;
    Act(check);
    EXPECT_EQ(check.GetState(), CTollvane::kAccepted);
    EXPECT_EQ(check.GetAnnouncement().version_code, "200");
    Act(check);
    EXPECT_EQ(check.GetState(), CTollvane::kFetchAndStart);
    Act(check);
    EXPECT_EQ(check.GetState(), CTollvane::kUpdaterRunning);
    EXPECT_TRUE(sc.LogFor("/updater/").empty());
    ASSERT_TRUE(WaitFor([&] { return Starts().find("-u " + m_netbarid) != std::string::npos; }, 10000)) << Starts();
    EXPECT_NE(Starts().find("Core.exe\" -u " + m_netbarid), std::string::npos) << Starts();

    g_now += 2 * CTollvane::kCheckPeriodMs;
    Act(check);
    Act(check);
    EXPECT_EQ(check.GetState(), CTollvane::kUpdaterRunning);
    EXPECT_EQ(Checks(sc), 1u);

    EndUpdater();
    g_now = 50000000;
    Act(check);
    EXPECT_EQ(check.GetState(), CTollvane::kIdle);
    EXPECT_EQ(check.GetLastEnd(), 50000000u);
    g_now += CTollvane::kCheckPeriodMs;
    Act(check);
    EXPECT_EQ(Checks(sc), 1u);
    g_now += 1;
    Act(check);
    EXPECT_EQ(Checks(sc), 2u);
}

TEST_F(UpdateCheck, ANewUpdaterIsDownloadedVerifiedCopiedAndStarted)
{
    InstallCoreExe("the old updater");
    standin::Scenario sc(Spec("101", UpdaterMd5()));
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    CTollvane& check = *NewCheck();
    g_now = 200000;
    Act(check);
    Act(check);
    Act(check);
    EXPECT_EQ(check.GetState(), CTollvane::kUpdaterRunning);
    EXPECT_EQ(sc.LogFor("/updater/Core.exe").size(), 1u);
    EXPECT_EQ(ReadText(m_dir / L"Core.exe"), m_updaterBytes);
    EXPECT_EQ(ReadText(m_dir / L"Core.exe.new"), m_updaterBytes);
    EXPECT_FALSE(FileExists(m_dir / L"Core.exe.new.dl"));
    ASSERT_TRUE(WaitFor([&] { return Starts().find("-u " + m_netbarid) != std::string::npos; }, 10000));
}

TEST_F(UpdateCheck, ADownloadWithAnotherMd5LeavesCoreExeAndStartsNothing)
{
    InstallCoreExe("the old updater");
    standin::Scenario sc(Spec("101", "0123456789abcdef0123456789abcdef"));
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    CTollvane& check = *NewCheck();
    g_now = 200000;
    Act(check);
    Act(check);
    Act(check);
    EXPECT_EQ(sc.LogFor("/updater/Core.exe").size(), 1u);
    EXPECT_EQ(check.GetState(), CTollvane::kIdle);
    EXPECT_EQ(check.GetLastEnd(), 200000u);
    EXPECT_EQ(ReadText(m_dir / L"Core.exe"), "the old updater");
    Sleep(500);
    EXPECT_EQ(Starts(), "");
    EXPECT_EQ(CTollvane::FindProcess(L"Core.exe"), 0u);
}

namespace {

int HandleCount()
{
    DWORD n = 0;
    GetProcessHandleCount(GetCurrentProcess(), &n);
    return static_cast<int>(n);
}

}  // namespace

// The timer thread stopped while a check hangs, many times each: in a check_update that the service
// takes and never answers, in a download that stalls, and in the wait after starting the updater.
// The stop never takes long, nothing is ended by force and no handle is left behind.
TEST_F(UpdateCheck, StoppingTheThreadEndsAHangingCheckPromptly)
{
    const struct {
        const char* where;
        bool stall;
        bool silent;
        const char* traced;
        int rounds;
    } cases[] = {
        {"check_update", false, true, "request", 10},
        {"download", true, false, "download", 50},
        {"launch wait", false, false, "launch", 50},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.where);
        if (c.stall || c.silent)
            InstallCoreExe("the old updater");
        else
            InstallCoreExe(m_updaterBytes);
        standin::Scenario sc(Spec("101", UpdaterMd5(), c.stall, c.silent));
        ASSERT_TRUE(sc.Ok()) << sc.Error();
        g_now = 200000;
        int handlesBefore = 0;
        DWORD longest = 0;
        for (int round = 0; round < c.rounds; ++round) {
            DeleteFileW((m_dir / L"trace.txt").c_str());
            g_updateTickCount = 0;
            CTollvane* check = NewCheck();
            check->StartThread(1, 1);
            bool reached = WaitFor([&] {
                for (const auto& l : consoletest::ReadTrace(m_dir / L"trace.txt"))
                    if (l.kind == "update" && l.first == c.traced)
                        return true;
                return false;
            }, 30000);
            ASSERT_TRUE(reached) << "round " << round << "\n" << ReadText(m_dir / L"trace.txt");
            Sleep(200);
            DWORD start = GetTickCount();
            check->StopThread(3000);
            DWORD spent = GetTickCount() - start;
            longest = spent > longest ? spent : longest;
            auto trace = consoletest::ReadTrace(m_dir / L"trace.txt");
            EXPECT_TRUE(consoletest::Traced(trace, "update", "thread", "left")) << "round " << round;
            EXPECT_TRUE(consoletest::Traced(trace, "update", "stop", "ended")) << "round " << round;
            EXPECT_FALSE(consoletest::Traced(trace, "update", "stop", "waiting")) << "round " << round;
            m_check.reset();
            if (!c.stall && !c.silent)
                EndUpdater();
            if (round == 4)
                handlesBefore = HandleCount();
        }
        EXPECT_LT(longest, 3000u);
        // Counted after a few rounds, when the libraries have made their lasting handles.
        EXPECT_LE(HandleCount(), handlesBefore + 8);
    }
}
