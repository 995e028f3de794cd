// Whole updates run by the headless driver in fixture installations against the stand-in
// service: the driver is copied into the installation (its directory is the installation root),
// a console stand-in runs under a name of the server's "appfiles" list.
#include <gtest/gtest.h>
#include <windows.h>
#include <json/json.h>
#include <random>
#include <sddl.h>
#include "CoreDataFile.h"
#include "ChildProcess.h"
#include "EngineBaseSupport.h"
#include "StandIn.h"
#include "SysHelpers.h"

using enginebase::ReadWholeFile;
using enginebase::ScratchDir;
using enginebase::WriteWholeFile;

namespace {

std::wstring TestBinDir()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p(path);
    return p.substr(0, p.find_last_of(L'\\') + 1);
}

std::string Md5Of(const std::wstring& path)
{
    std::string md5;
    return GetFileMd5(path.c_str(), md5) == 0 ? md5 : std::string();
}

std::string ReadText(const std::wstring& path)
{
    std::string s;
    ReadWholeFile(path, s);
    return s;
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// A fixture installation: driver, console marker, a console stand-in under a name of its own
// (tests run in parallel and processes are matched machine-wide by name), and data\core.dat.
class Installation {
public:
    Installation()
    {
        static LONG counter = 0;
        wchar_t name[32];
        wsprintfW(name, L"pm%lu_%ld.exe", GetCurrentProcessId(), InterlockedIncrement(&counter));
        m_console = name;
        std::wstring bin = TestBinDir();
        CopyFileW((bin + L"update_driver.exe").c_str(), Path(L"update_driver.exe").c_str(), FALSE);
        CopyFileW((bin + L"standin_console.exe").c_str(), Path(L"Pellmora.exe").c_str(), FALSE);
        CopyFileW((bin + L"standin_console.exe").c_str(), Path(m_console).c_str(), FALSE);
        CreateDirectoryW(Path(L"data").c_str(), nullptr);
    }
    ~Installation()
    {
        StopConsole();
    }

    std::wstring Path(const std::wstring& rel) const { return m_dir / rel; }
    const std::wstring& Root() const { return m_dir.Path(); }
    const std::wstring& Console() const { return m_console; }
    std::string ConsoleA() const { return WideToAnsi(m_console); }

    void WriteVersion(const std::string& text, const std::string& code)
    {
        CCoreDataFile file(1);
        file.SetPath(WideToAnsi(Path(L"data\\core.dat")));
        ASSERT_TRUE(file.Write(text, code, 1000));
    }
    bool ReadVersion(std::string& text, std::string& code)
    {
        CCoreDataFile file(1);
        file.SetPath(WideToAnsi(Path(L"data\\core.dat")));
        return file.Read(1000) && file.Get(text, code);
    }

    // Starts the console stand-in as the running console.
    void StartConsole(bool forgetEarlierStarts = true, const wchar_t* args = nullptr)
    {
        STARTUPINFOW si = {sizeof si};
        PROCESS_INFORMATION pi;
        std::wstring cmd = L"\"" + Path(m_console) + L"\"";
        if (args)
            cmd += std::wstring(L" ") + args;
        ASSERT_TRUE(CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, Root().c_str(), &si, &pi));
        WaitForInputIdle(pi.hProcess, 5000);
        CloseHandle(pi.hThread);
        if (m_consoleProcess)
            CloseHandle(m_consoleProcess);
        m_consoleProcess = pi.hProcess;
        if (forgetEarlierStarts)
            DeleteFileW(Path(m_console + L".log").c_str());  // only starts by the updater count
    }
    bool ConsoleStillRunning() const
    {
        return m_consoleProcess && WaitForSingleObject(m_consoleProcess, 0) == WAIT_TIMEOUT;
    }
    // How often the updater started the console (its stand-in logs each start).
    int ConsoleStarts() const
    {
        std::string log = ReadText(Path(m_console + L".log"));
        int n = 0;
        for (char c : log)
            n += c == '\n';
        return n;
    }
    void StopConsole()
    {
        // Every stand-in of this installation exits when its quit file appears.
        WriteWholeFile(Path(m_console + L".quit"), "");
        if (m_consoleProcess) {
            if (WaitForSingleObject(m_consoleProcess, 5000) != WAIT_OBJECT_0) {
                TerminateProcess(m_consoleProcess, 0);
                WaitForSingleObject(m_consoleProcess, 10000);
            }
            CloseHandle(m_consoleProcess);
            m_consoleProcess = nullptr;
        }
        Sleep(100);
    }

    // Runs the driver; returns its exit code (the run's error code), 100 on a time-out.
    DWORD RunDriver(const std::string& netbarid, bool force, HANDLE* processOut = nullptr,
                    const std::wstring& extra = L"")
    {
        std::wstring cmd = L"\"" + Path(L"update_driver.exe") + L"\" " + (force ? L"-c " : L"-u ") +
                           AnsiToWide(netbarid) +
                           L" --grace-ms 1500 --phase-ms 4000 --launch-wait-ms 1500 --recount-ms 300"
                           L" --timeout-ms 120000 --status \"" + Path(L"status.txt") + L"\" " + extra;
        STARTUPINFOW si = {sizeof si};
        PROCESS_INFORMATION pi;
        if (!CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, Root().c_str(), &si, &pi))
            return 0xFFFFFFFF;
        CloseHandle(pi.hThread);
        if (processOut) {
            *processOut = pi.hProcess;
            return STILL_ACTIVE;
        }
        testsupport::ChildProcess driver(pi.hProcess);  // a driver that hangs is ended on the way out
        WaitForSingleObject(pi.hProcess, 180000);
        DWORD code = 0xFFFFFFFF;
        GetExitCodeProcess(pi.hProcess, &code);
        return code;
    }
    // The last "step error toDownload pending" line the driver wrote.
    std::string LastStatus() const
    {
        std::string s = ReadText(Path(L"status.txt"));
        while (!s.empty() && s.back() == '\n')
            s.pop_back();
        size_t nl = s.find_last_of('\n');
        return nl == std::string::npos ? s : s.substr(nl + 1);
    }
    bool StatusSaw(const std::string& prefix) const
    {
        std::string s = "\n" + ReadText(Path(L"status.txt"));
        return s.find("\n" + prefix) != std::string::npos;
    }

    Installation(const Installation&) = delete;
    Installation& operator=(const Installation&) = delete;

private:
    ScratchDir m_dir;
    std::wstring m_console;
    HANDLE m_consoleProcess = nullptr;
};

// The release every scenario starts from: one file replaced, one new, one unchanged.
Json::Value ReleaseSpec(const Installation& inst)
{
    Json::Value spec;
    spec["netbarid"] = "auto";
    Json::Value& rel = spec["release"];
    rel["version"] = "2.0.0";
    rel["version_code"] = "200";
    rel["files"]["same.txt"] = "unchanged content\r\n";
    rel["files"]["app\\replace.dat"] = "new content of the replaced file";
    rel["files"]["app\\new\\added.txt"] = "a file the old version did not have";
    rel["appfiles"].append(inst.ConsoleA());
    rel["mainserver"] = inst.ConsoleA();
    return spec;
}

void WriteOldFiles(Installation& inst)
{
    CreateDirectoryW(inst.Path(L"app").c_str(), nullptr);
    ASSERT_TRUE(WriteWholeFile(inst.Path(L"same.txt"), "unchanged content\r\n"));
    ASSERT_TRUE(WriteWholeFile(inst.Path(L"app\\replace.dat"), "old content"));
    inst.WriteVersion("1.0.0", "100");
}

size_t CountRequests(const standin::Scenario& sc, const char* action)
{
    return sc.LogFor(std::string("/index.php?g=home&m=api&a=") + action).size();
}

}  // namespace

TEST(UpdateScenario, NormalUpdateReplacesAddsBacksUpRunsBatchRecordsAndRestarts)
{
    Installation inst;
    WriteOldFiles(inst);
    Json::Value spec = ReleaseSpec(inst);
    spec["release"]["files"]["run.bat"] = "@echo off\r\necho ran> batch_ran.txt\r\n";
    spec["release"]["batfiles"].append("run.bat");
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    inst.StartConsole();

    EXPECT_EQ(inst.RunDriver(sc.Netbarid(), false), 0u) << inst.LastStatus();
    EXPECT_EQ(inst.LastStatus().substr(0, 4), "9 0 ");

    EXPECT_EQ(ReadText(inst.Path(L"app\\replace.dat")), "new content of the replaced file");
    EXPECT_EQ(ReadText(inst.Path(L"app\\new\\added.txt")), "a file the old version did not have");
    EXPECT_EQ(ReadText(inst.Path(L"upgradebak\\app\\replace.dat")), "old content");
    EXPECT_FALSE(Exists(inst.Path(L"upgradebak\\app\\new\\added.txt")));  // new files have no backup
    EXPECT_FALSE(Exists(inst.Path(L"upgradebak\\same.txt")));
    EXPECT_FALSE(Exists(inst.Path(L"download\\app\\replace.dat")));      // moved out of staging
    EXPECT_EQ(ReadText(inst.Path(L"batch_ran.txt")).substr(0, 3), "ran");

    std::string text, code;
    ASSERT_TRUE(inst.ReadVersion(text, code));
    EXPECT_EQ(text, "2.0.0");
    EXPECT_EQ(code, "200");

    // The old console was stopped (terminated after its grace) and the updater started it again.
    EXPECT_FALSE(inst.ConsoleStillRunning());
    EXPECT_EQ(inst.ConsoleStarts(), 1);

    auto posts = sc.LogFor("/index.php?g=home&m=api&a=post_version");
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_NE(posts[0].target.find("&version=200&state=3"), std::string::npos) << posts[0].target;
    // Only the two changed files were fetched.
    EXPECT_EQ(sc.LogFor("/release/").size(), 3u);  // replace.dat, added.txt, run.bat

    // filelist.ini now describes the new files: a second run finds nothing to do.
    EXPECT_EQ(inst.RunDriver(sc.Netbarid(), false), 0u);
    EXPECT_EQ(sc.LogFor("/release/").size(), 3u);
    EXPECT_EQ(inst.ConsoleStarts(), 1);
}

TEST(UpdateScenario, NothingToDoLeavesTheConsoleAlone)
{
    Installation inst;
    WriteOldFiles(inst);
    Json::Value spec = ReleaseSpec(inst);
    spec["release"]["files"]["app\\replace.dat"] = "old content";
    spec["release"]["files"].removeMember("app\\new\\added.txt");
    spec["release"]["version"] = "1.0.0";
    spec["release"]["version_code"] = "100";
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    inst.StartConsole();

    EXPECT_EQ(inst.RunDriver(sc.Netbarid(), false), 0u);
    EXPECT_EQ(inst.LastStatus().substr(0, 4), "9 0 ");
    EXPECT_FALSE(inst.StatusSaw("5 "));  // never went to the close step
    EXPECT_TRUE(inst.ConsoleStillRunning());
    EXPECT_EQ(inst.ConsoleStarts(), 0);
    EXPECT_EQ(CountRequests(sc, "check_update"), 1u);
    EXPECT_EQ(CountRequests(sc, "post_version"), 0u);
    EXPECT_TRUE(sc.LogFor("/release/").empty());
}

TEST(UpdateScenario, ForceRestartsTheConsoleRunsBatchAndRecordsEvenWithoutChanges)
{
    Installation inst;
    WriteOldFiles(inst);
    Json::Value spec = ReleaseSpec(inst);
    spec["release"]["files"]["app\\replace.dat"] = "old content";
    spec["release"]["files"].removeMember("app\\new\\added.txt");
    spec["release"]["files"]["run.bat"] = "@echo off\r\necho forced> batch_ran.txt\r\n";
    spec["release"]["batfiles"].append("run.bat");
    spec["release"]["version"] = "1.0.0";
    spec["release"]["version_code"] = "100";
    // run.bat is already installed, so there is nothing to download.
    WriteWholeFile(inst.Path(L"run.bat"), "@echo off\r\necho forced> batch_ran.txt\r\n");
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    inst.StartConsole();

    EXPECT_EQ(inst.RunDriver(sc.Netbarid(), true), 0u) << inst.LastStatus();
    EXPECT_TRUE(sc.LogFor("/release/").empty());
    EXPECT_FALSE(inst.ConsoleStillRunning());
    EXPECT_EQ(inst.ConsoleStarts(), 1);
    EXPECT_EQ(ReadText(inst.Path(L"batch_ran.txt")).substr(0, 6), "forced");
    EXPECT_EQ(CountRequests(sc, "post_version"), 1u);
    std::string text, code;
    ASSERT_TRUE(inst.ReadVersion(text, code));
    EXPECT_EQ(code, "100");
}

TEST(UpdateScenario, FailedQueryIsErrorTwo)
{
    Installation inst;
    WriteOldFiles(inst);
    Json::Value spec = ReleaseSpec(inst);
    spec["update"]["check_update"]["code"] = 101;  // a number, not the text the service sends
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    inst.StartConsole();

    EXPECT_EQ(inst.RunDriver(sc.Netbarid(), false), 2u);
    EXPECT_EQ(CountRequests(sc, "get_version"), 0u);
    EXPECT_TRUE(inst.ConsoleStillRunning());
    EXPECT_EQ(ReadText(inst.Path(L"app\\replace.dat")), "old content");
}

// Bad downloads: each ends with error 4, the console untouched, nothing installed, and nothing
// written outside the installation.
TEST(UpdateScenario, BadDownloadsAreErrorFourAndTouchNothing)
{
    struct Case {
        const char* name;
        void (*edit)(Json::Value& spec);
    } cases[] = {
        {"404 for one file",
         [](Json::Value& s) {
             Json::Value r;
             r["path"] = "/release/app/replace.dat";
             r["status"] = 404;
             s["routes"].append(r);
         }},
        {"wrong MD5",
         [](Json::Value& s) {
             Json::Value f;
             f["text"] = "new content of the replaced file";
             f["md5"] = "0123456789abcdef0123456789abcdef";
             s["release"]["files"]["app\\replace.dat"] = f;
         }},
        {"truncated body",
         [](Json::Value& s) {
             Json::Value r;
             r["path"] = "/release/app/replace.dat";
             r["release_file"] = "app\\replace.dat";
             r["short"] = 5;
             s["routes"].append(r);
         }},
        {"traversal path",
         [](Json::Value& s) { s["release"]["files"]["..\\escaped.txt"] = "must never be written"; }},
        {"absolute path",
         [](Json::Value& s) { s["release"]["files"]["C:\\escaped.txt"] = "must never be written"; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Installation inst;
        WriteOldFiles(inst);
        Json::Value spec = ReleaseSpec(inst);
        c.edit(spec);
        standin::Scenario sc(spec);
        ASSERT_TRUE(sc.Ok()) << sc.Error();
        inst.StartConsole();

        EXPECT_EQ(inst.RunDriver(sc.Netbarid(), false), 4u) << inst.LastStatus();
        EXPECT_TRUE(inst.ConsoleStillRunning());
        EXPECT_EQ(inst.ConsoleStarts(), 0);
        EXPECT_EQ(ReadText(inst.Path(L"app\\replace.dat")), "old content");
        EXPECT_FALSE(Exists(inst.Path(L"upgradebak")));
        std::wstring parent = inst.Root().substr(0, inst.Root().size() - 1);
        parent = parent.substr(0, parent.find_last_of(L'\\') + 1);
        EXPECT_FALSE(Exists(parent + L"escaped.txt"));
        EXPECT_FALSE(Exists(L"C:\\escaped.txt"));
        std::string text, code;
        ASSERT_TRUE(inst.ReadVersion(text, code));
        EXPECT_EQ(code, "100");
    }
}

// A console the updater may not terminate: its process denies PROCESS_TERMINATE to everyone, so
// it survives the stop and the run ends with error 5 -- and the console is started again.
TEST(UpdateScenario, ConsoleThatCannotBeStoppedIsErrorFiveAndIsStartedAgain)
{
    Installation inst;
    WriteOldFiles(inst);
    standin::Scenario sc(ReleaseSpec(inst));
    ASSERT_TRUE(sc.Ok()) << sc.Error();

    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(D;;0x0001;;;WD)(A;;GA;;;WD)",
                                                                     SDDL_REVISION_1, &sd, nullptr));
    SECURITY_ATTRIBUTES sa = {sizeof sa, sd, FALSE};
    STARTUPINFOW si = {sizeof si};
    PROCESS_INFORMATION pi;
    std::wstring cmd = L"\"" + inst.Path(inst.Console()) + L"\" guarded";
    BOOL started = CreateProcessW(nullptr, &cmd[0], &sa, nullptr, FALSE, 0, nullptr, inst.Root().c_str(), &si, &pi);
    LocalFree(sd);
    ASSERT_TRUE(started);
    testsupport::ChildProcess console(pi);
    WaitForInputIdle(pi.hProcess, 5000);
    HANDLE probe = OpenProcess(PROCESS_TERMINATE, FALSE, pi.dwProcessId);
    if (probe) {
        CloseHandle(probe);
        WriteWholeFile(inst.Path(inst.Console() + L".quit"), "");
        WaitForSingleObject(pi.hProcess, 5000);
        GTEST_SKIP() << "this system lets every process of the session be terminated";
    }

    DWORD code = inst.RunDriver(sc.Netbarid(), false);
    WriteWholeFile(inst.Path(inst.Console() + L".quit"), "");
    WaitForSingleObject(pi.hProcess, 5000);

    EXPECT_EQ(code, 5u) << inst.LastStatus();
    EXPECT_EQ(ReadText(inst.Path(L"app\\replace.dat")), "old content");
    EXPECT_EQ(CountRequests(sc, "post_version"), 0u);
    // The failed stop still starts the console: a start without arguments.
    std::string log = ReadText(inst.Path(inst.Console() + L".log"));
    EXPECT_NE(log.find(".exe\"\r\n"), std::string::npos) << log;
}

TEST(UpdateScenario, LockedTargetIsErrorSixAndTheConsoleIsStartedAgain)
{
    Installation inst;
    WriteOldFiles(inst);
    standin::Scenario sc(ReleaseSpec(inst));
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    inst.StartConsole();

    // A program holds the old file open without sharing: it cannot be moved to the backup.
    HANDLE lock = CreateFileW(inst.Path(L"app\\replace.dat").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    DWORD code = inst.RunDriver(sc.Netbarid(), false);
    CloseHandle(lock);

    EXPECT_EQ(code, 6u) << inst.LastStatus();
    EXPECT_EQ(ReadText(inst.Path(L"app\\replace.dat")), "old content");
    EXPECT_EQ(ReadText(inst.Path(L"download\\app\\replace.dat")), "new content of the replaced file");
    EXPECT_EQ(inst.ConsoleStarts(), 1);  // stopped for the moves, so started again
    std::string text, vcode;
    ASSERT_TRUE(inst.ReadVersion(text, vcode));
    EXPECT_EQ(vcode, "100");
}

TEST(UpdateScenario, NewFileThatCannotBeMovedInPutsTheOldOneBack)
{
    Installation inst;
    WriteOldFiles(inst);
    standin::Scenario sc(ReleaseSpec(inst));
    ASSERT_TRUE(sc.Ok()) << sc.Error();

    // The new file is already staged (found by its MD5), and held open without delete sharing,
    // so its move into place fails after the old file went to the backup.
    CreateDirectoryW(inst.Path(L"download").c_str(), nullptr);
    CreateDirectoryW(inst.Path(L"download\\app").c_str(), nullptr);
    ASSERT_TRUE(WriteWholeFile(inst.Path(L"download\\app\\replace.dat"), "new content of the replaced file"));
    HANDLE lock = CreateFileW(inst.Path(L"download\\app\\replace.dat").c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    DWORD code = inst.RunDriver(sc.Netbarid(), false);
    CloseHandle(lock);

    EXPECT_EQ(code, 6u) << inst.LastStatus();
    // No installed file went missing: the old one is back in place.
    EXPECT_EQ(ReadText(inst.Path(L"app\\replace.dat")), "old content");
    EXPECT_EQ(ReadText(inst.Path(L"app\\new\\added.txt")), "a file the old version did not have");
}

TEST(UpdateScenario, ReadOnlyBackupDoesNotBlockTheNextUpdate)
{
    Installation inst;
    WriteOldFiles(inst);
    CreateDirectoryW(inst.Path(L"upgradebak").c_str(), nullptr);
    CreateDirectoryW(inst.Path(L"upgradebak\\app").c_str(), nullptr);
    ASSERT_TRUE(WriteWholeFile(inst.Path(L"upgradebak\\app\\replace.dat"), "backup of an earlier update"));
    SetFileAttributesW(inst.Path(L"upgradebak\\app\\replace.dat").c_str(), FILE_ATTRIBUTE_READONLY);
    standin::Scenario sc(ReleaseSpec(inst));
    ASSERT_TRUE(sc.Ok()) << sc.Error();

    EXPECT_EQ(inst.RunDriver(sc.Netbarid(), false), 0u) << inst.LastStatus();
    EXPECT_EQ(ReadText(inst.Path(L"upgradebak\\app\\replace.dat")), "old content");
    EXPECT_EQ(ReadText(inst.Path(L"app\\replace.dat")), "new content of the replaced file");
}

TEST(UpdateScenario, ProgramInADriveRootIsErrorOneWithoutTraffic)
{
    // The test command maps a drive letter to an empty folder (TOLLVANE_ROOT_DRIVE).
    const char* driveEnv = getenv("TOLLVANE_ROOT_DRIVE");
    if (!driveEnv || GetDriveTypeA((std::string(driveEnv) + "\\").c_str()) == DRIVE_NO_ROOT_DIR)
        GTEST_SKIP() << "no drive letter mapped to an empty folder";
    std::wstring drive = AnsiToWide(driveEnv);
    Installation inst;
    standin::Scenario sc(ReleaseSpec(inst));
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    std::wstring driver = drive + L"\\update_driver.exe";
    ASSERT_TRUE(CopyFileW(inst.Path(L"update_driver.exe").c_str(), driver.c_str(), FALSE));

    std::wstring cmd = L"\"" + driver + L"\" -u " + AnsiToWide(sc.Netbarid()) + L" --timeout-ms 60000";
    STARTUPINFOW si = {sizeof si};
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    DWORD code = 0xFFFFFFFF;
    {
        testsupport::ChildProcess child(pi);
        WaitForSingleObject(pi.hProcess, 120000);
        GetExitCodeProcess(pi.hProcess, &code);
    }
    DeleteFileW(driver.c_str());

    EXPECT_EQ(code, 1u);
    EXPECT_TRUE(sc.Log().empty());  // no request at all
    std::wstring root = drive + L"\\";
    EXPECT_EQ(GetFileAttributesW((root + L"filelist.ini").c_str()), INVALID_FILE_ATTRIBUTES);  // nothing scanned
}

// Kill the updater at random points of the move step, then run it again: every installed file is
// the old or the new version, none is missing, and the second run completes.
TEST(UpdateScenario, KilledDuringTheMovesTheNextRunCompletes)
{
    for (unsigned seed : {1u, 2u, 3u, 4u}) {
        SCOPED_TRACE(seed);
        Installation inst;
        inst.WriteVersion("1.0.0", "100");
        Json::Value spec;
        spec["netbarid"] = "auto";
        spec["release"]["version"] = "2.0.0";
        spec["release"]["version_code"] = "200";
        spec["release"]["appfiles"].append(inst.ConsoleA());
        std::mt19937 rng(seed);
        const int kFiles = 120;
        for (int i = 0; i < kFiles; ++i) {
            wchar_t rel[64];
            wsprintfW(rel, L"d%d\\f%03d.bin", i % 6, i);
            std::string relA = WideToAnsi(rel);
            if (i % 6 == 0)
                CreateDirectoryW(inst.Path(std::wstring(rel).substr(0, 2)).c_str(), nullptr);
            CreateDirectoryW(inst.Path(std::wstring(rel).substr(0, std::wstring(rel).find(L'\\'))).c_str(), nullptr);
            ASSERT_TRUE(WriteWholeFile(inst.Path(rel), "old " + relA));
            spec["release"]["files"][relA] = "new " + relA + " " + std::to_string(seed);
        }
        standin::Scenario sc(spec);
        ASSERT_TRUE(sc.Ok()) << sc.Error();
        const Json::Value& newMd5 = sc.Reply()["files"];

        HANDLE driver = nullptr;
        inst.RunDriver(sc.Netbarid(), false, &driver);
        testsupport::ChildProcess driverGuard(driver);
        // Wait for the move step, then kill after a random delay.
        DWORD waited = 0;
        while (!inst.StatusSaw("6 ") && WaitForSingleObject(driver, 5) == WAIT_TIMEOUT && waited < 120000)
            waited += 5;
        Sleep(std::uniform_int_distribution<int>(0, 40)(rng));
        TerminateProcess(driver, 9);
        WaitForSingleObject(driver, 10000);
        driverGuard.End();
        DeleteFileW(inst.Path(L"status.txt").c_str());

        EXPECT_EQ(inst.RunDriver(sc.Netbarid(), false), 0u) << inst.LastStatus();
        for (int i = 0; i < kFiles; ++i) {
            wchar_t rel[64];
            wsprintfW(rel, L"d%d\\f%03d.bin", i % 6, i);
            std::string md5 = Md5Of(inst.Path(rel));
            ASSERT_FALSE(md5.empty()) << WideToAnsi(rel) << " is missing";
            EXPECT_EQ(md5, newMd5[WideToAnsi(rel)].asString()) << WideToAnsi(rel);
        }
        std::string text, code;
        ASSERT_TRUE(inst.ReadVersion(text, code));
        EXPECT_EQ(code, "200");
    }
}

// ---------------------------------------------------------------------------------------------
// Cancelling, restarting the console, and the paths the window relies on

// A window closed while step 2 hangs in a request: the requests and the list download see the
// cancel flag, so the worker ends by itself instead of being ended by force after 10 s.
TEST(UpdateScenario, CancelDuringTheQueryEndsTheWorkerByItself)
{
    for (const char* path : {"/index.php?g=home&m=api&a=check_update*", "/netfilelist.ini"}) {
        SCOPED_TRACE(path);
        Installation inst;
        WriteOldFiles(inst);
        Json::Value spec = ReleaseSpec(inst);
        spec["routes"][0]["path"] = path;
        spec["routes"][0]["no_reply"] = true;
        standin::Scenario sc(spec);
        ASSERT_TRUE(sc.Ok()) << sc.Error();
        inst.RunDriver(sc.Netbarid(), false, nullptr, L"--cancel-at-step 2 --cancel-delay-ms 2000");
        EXPECT_TRUE(inst.StatusSaw("cancelled ended=1 step=9 error=2")) << inst.LastStatus();
        EXPECT_EQ(ReadText(inst.Path(L"app\\replace.dat")), "old content");
    }
}

// Cancelled during step 4: the download stops and the run ends with error 4.
TEST(UpdateScenario, CancelDuringTheDownloadsIsErrorFour)
{
    Installation inst;
    WriteOldFiles(inst);
    Json::Value spec = ReleaseSpec(inst);
    spec["routes"][0]["path"] = "/release/*";
    spec["routes"][0]["no_reply"] = true;
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    inst.StartConsole();
    EXPECT_EQ(inst.RunDriver(sc.Netbarid(), false, nullptr, L"--cancel-at-step 4 --cancel-delay-ms 1500"), 4u);
    EXPECT_TRUE(inst.StatusSaw("cancelled ended=1 step=9 error=4")) << inst.LastStatus();
    EXPECT_TRUE(inst.ConsoleStillRunning());
    EXPECT_EQ(ReadText(inst.Path(L"app\\replace.dat")), "old content");
}

// The exit confirmed after the console was stopped: the console is started again before the run
// ends, as after a failed move (the console is what starts the updater).
TEST(UpdateScenario, CancelAfterTheConsoleWasStoppedStartsItAgain)
{
    Installation inst;
    WriteOldFiles(inst);
    standin::Scenario sc(ReleaseSpec(inst));
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    inst.StartConsole();
    inst.RunDriver(sc.Netbarid(), false, nullptr, L"--cancel-at-step 6");
    EXPECT_TRUE(inst.StatusSaw("cancelled ended=1 step=6")) << inst.LastStatus();
    EXPECT_FALSE(inst.ConsoleStillRunning());
    EXPECT_EQ(inst.ConsoleStarts(), 1);
    EXPECT_EQ(CountRequests(sc, "post_version"), 0u);
}

// Start on every tick, as the window calls it, runs the update once; the counters the window
// reads show the files to download while step 4 runs and none pending at the end.
TEST(UpdateScenario, StartAgainDuringARunChangesNothingAndTheCountersFollowTheDownloads)
{
    Installation inst;
    WriteOldFiles(inst);
    standin::Scenario sc(ReleaseSpec(inst));
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    inst.StartConsole();
    EXPECT_EQ(inst.RunDriver(sc.Netbarid(), false, nullptr, L"--start-again"), 0u) << inst.LastStatus();
    EXPECT_EQ(CountRequests(sc, "check_update"), 1u);
    EXPECT_EQ(CountRequests(sc, "post_version"), 1u);
    EXPECT_EQ(inst.ConsoleStarts(), 1);
    EXPECT_TRUE(inst.StatusSaw("4 0 2 ")) << ReadText(inst.Path(L"status.txt"));
    EXPECT_EQ(inst.LastStatus(), "9 0 2 0");
}

namespace {
HANDLE StartProgram(const std::wstring& exe, const std::wstring& dir)
{
    STARTUPINFOW si = {sizeof si};
    PROCESS_INFORMATION pi;
    std::wstring cmd = L"\"" + exe + L"\"";
    if (!CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, dir.c_str(), &si, &pi))
        return nullptr;
    WaitForInputIdle(pi.hProcess, 5000);
    CloseHandle(pi.hThread);
    return pi.hProcess;
}

int LogLines(const std::wstring& path)
{
    int n = 0;
    for (char c : ReadText(path))
        n += c == '\n';
    return n;
}
}  // namespace

// These stop "Pellmora.exe" processes by name: they run alone (engine_tests_SERIAL).
// A list without [appfiles] and without "mainserver": the console is "Pellmora.exe" on both sides,
// stopped before the moves and started once afterwards (not a second one beside the first).
TEST(UpdateScenarioConsole, WithoutAConsoleListPellmoraIsStoppedAndStartedOnce)
{
    Installation inst;
    WriteOldFiles(inst);
    Json::Value spec = ReleaseSpec(inst);
    spec["release"].removeMember("appfiles");
    spec["release"].removeMember("mainserver");
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    testsupport::ChildProcess console(StartProgram(inst.Path(L"Pellmora.exe"), inst.Root()));
    ASSERT_TRUE(console);

    EXPECT_EQ(inst.RunDriver(sc.Netbarid(), false), 0u) << inst.LastStatus();
    EXPECT_EQ(WaitForSingleObject(console.Get(), 5000), WAIT_OBJECT_0) << "the running console was left running";
    console.End();
    EXPECT_EQ(LogLines(inst.Path(L"Pellmora.exe.log")), 2);  // the test's start and the updater's
    EXPECT_EQ(ReadText(inst.Path(L"app\\replace.dat")), "new content of the replaced file");
    WriteWholeFile(inst.Path(L"Pellmora.exe.quit"), "");
}

// Batch entries that leave the installation (".." or a drive) are skipped; an unsafe "mainserver"
// starts root\Pellmora.exe instead.
TEST(UpdateScenarioConsole, UnsafeBatchEntriesAreSkippedAndAnUnsafeMainServerStartsPellmora)
{
    Installation inst;
    WriteOldFiles(inst);
    ScratchDir outside;
    std::wstring parentName = L"tv_evil_" + std::to_wstring(GetCurrentProcessId()) + L".bat";
    std::wstring parentBat = inst.Root() + L"..\\" + parentName;
    ASSERT_TRUE(WriteWholeFile(parentBat, "@echo off\r\necho ran> \"%~dp0" + WideToAnsi(parentName) + ".ran\"\r\n"));
    std::wstring driveBat = outside / L"drive.bat";
    ASSERT_TRUE(WriteWholeFile(driveBat, "@echo off\r\necho ran> \"%~dp0drive.ran\"\r\n"));
    Json::Value spec = ReleaseSpec(inst);
    spec["release"]["files"]["run.bat"] = "@echo off\r\necho ran> batch_ran.txt\r\n";
    spec["release"]["batfiles"].append("..\\" + WideToAnsi(parentName));
    spec["release"]["batfiles"].append(WideToAnsi(driveBat));
    spec["release"]["batfiles"].append("run.bat");
    spec["release"]["mainserver"] = "..\\" + inst.ConsoleA();
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    inst.StartConsole();

    EXPECT_EQ(inst.RunDriver(sc.Netbarid(), false), 0u) << inst.LastStatus();
    EXPECT_EQ(ReadText(inst.Path(L"batch_ran.txt")).substr(0, 3), "ran");
    EXPECT_FALSE(Exists(parentBat + L".ran"));
    EXPECT_FALSE(Exists(outside / L"drive.ran"));
    EXPECT_EQ(LogLines(inst.Path(L"Pellmora.exe.log")), 1);
    DeleteFileW(parentBat.c_str());
    WriteWholeFile(inst.Path(L"Pellmora.exe.quit"), "");
}

// The one file to replace hits an exception while it is moved (its old backup cannot be deleted):
// the record stays in the failed list, so the step reports the failure (error 6) and nothing is
// recorded, and the console is started again.
TEST(UpdateScenario, RecordHitByAnExceptionDuringTheMovesIsAFailure)
{
    Installation inst;
    WriteOldFiles(inst);
    Json::Value spec = ReleaseSpec(inst);
    spec["release"]["files"].removeMember("app\\new\\added.txt");
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    CreateDirectoryW(inst.Path(L"upgradebak").c_str(), nullptr);
    CreateDirectoryW(inst.Path(L"upgradebak\\app").c_str(), nullptr);
    ASSERT_TRUE(WriteWholeFile(inst.Path(L"upgradebak\\app\\replace.dat"), "older backup"));
    HANDLE lock = CreateFileW(inst.Path(L"upgradebak\\app\\replace.dat").c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    inst.StartConsole();

    DWORD code = inst.RunDriver(sc.Netbarid(), false);
    CloseHandle(lock);
    EXPECT_EQ(code, 6u) << inst.LastStatus();
    EXPECT_EQ(ReadText(inst.Path(L"app\\replace.dat")), "old content");
    std::string text, version;
    ASSERT_TRUE(inst.ReadVersion(text, version));
    EXPECT_EQ(version, "100");
    EXPECT_EQ(inst.ConsoleStarts(), 1);
}
