#include <gtest/gtest.h>
#include <string.h>
#include <string>
#include "CoreDataFile.h"
#include "DesCrypt.h"
#include "EngineBaseSupport.h"
#include "SysHelpers.h"

using enginebase::ScratchDir;

// The updater's objects (mode 1) share the mutex "UpdateFile" with every other test of the
// engine that reads the version file; the tests that hold a version-file mutex for a while, or
// abandon it, use the other mode's mutex instead, so that they cannot make a neighbour's read
// fail. Test cases run as parallel processes, so those tests take turns (CoreDataFileShared below).

namespace {

std::string Encipher(const std::string& plain)
{
    uint8_t out[300] = {};
    uint32_t len = sizeof(out);
    EXPECT_EQ(DesCrypt(reinterpret_cast<const uint8_t*>(plain.data()), static_cast<int32_t>(plain.size()), out, &len,
                       false),
              1);
    return std::string(reinterpret_cast<const char*>(out), len);
}

DWORD WINAPI TakeAndKeep(void* m)
{
    return WaitForSingleObject(static_cast<HANDLE>(m), 5000);
}

DWORD WINAPI TryNow(void* m)
{
    return WaitForSingleObject(static_cast<HANDLE>(m), 0);
}

DWORD WINAPI TryNowAndGiveBack(void* m)
{
    DWORD rc = WaitForSingleObject(static_cast<HANDLE>(m), 0);
    if (rc == WAIT_OBJECT_0)
        ReleaseMutex(static_cast<HANDLE>(m));
    return rc;
}

// Runs `fn` on a new thread and returns its result.
DWORD OnOtherThread(LPTHREAD_START_ROUTINE fn, HANDLE m)
{
    HANDLE t = CreateThread(nullptr, 0, fn, m, 0, nullptr);
    WaitForSingleObject(t, 10000);
    DWORD rc = 0xFFFFFFFF;
    GetExitCodeThread(t, &rc);
    CloseHandle(t);
    return rc;
}

struct CoreDat {
    ScratchDir dir;
    std::wstring path = dir / L"core.dat";
    std::string ansi = WideToAnsi(path);
};

// Serialises the tests that use mode 0's mutex, across the test processes.
class CoreDataFileShared : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_turn = CreateMutexA(nullptr, FALSE, "tollvane_tests_core_dat_mode0_turn");
        DWORD rc = WaitForSingleObject(m_turn, 120000);
        ASSERT_TRUE(rc == WAIT_OBJECT_0 || rc == WAIT_ABANDONED);
    }
    void TearDown() override
    {
        ReleaseMutex(m_turn);
        CloseHandle(m_turn);
    }
    HANDLE m_turn = nullptr;
};

}  // namespace

TEST(CoreDataFile, WrittenFileReadsBack)
{
    CoreDat f;
    {
        CCoreDataFile file(1);
        file.SetPath(f.ansi);
        ASSERT_TRUE(file.Write("1.2.3", "100", 100));
    }
    std::string bytes;
    ASSERT_TRUE(enginebase::ReadWholeFile(f.path, bytes));
    EXPECT_EQ(bytes.size(), 16u);  // 9 plain bytes padded to two blocks
    EXPECT_EQ(bytes, Encipher("1.2.3@100"));
    EXPECT_FALSE(FileExists(f.path + L".tmp"));

    CCoreDataFile reader(1);
    reader.SetPath(f.ansi);
    ASSERT_TRUE(reader.Read(1000));
    std::string text, code;
    ASSERT_TRUE(reader.Get(text, code));
    EXPECT_EQ(text, "1.2.3");
    EXPECT_EQ(code, "100");
}

TEST(CoreDataFile, GbkTextAndTheLongestPlainText)
{
    CoreDat f;
    const std::string gbk = "\xcd\xf8\xb0\xc9\xb0\xe6 V2";  // 网吧版 V2
    std::string longText(252 - 1 - 3, 'v');
    struct {
        std::string text, code;
    } cases[] = {{gbk, "231"}, {longText, "999"}, {"a", "b"}};
    for (auto& c : cases) {
        CCoreDataFile w(1);
        w.SetPath(f.ansi);
        ASSERT_TRUE(w.Write(c.text, c.code, 100)) << c.text;
        CCoreDataFile r(1);
        r.SetPath(f.ansi);
        std::string text, code;
        ASSERT_TRUE(r.Get(text, code));  // reads, since its cache is empty
        EXPECT_EQ(text, c.text);
        EXPECT_EQ(code, c.code);
    }
    std::string bytes;
    ASSERT_TRUE(enginebase::ReadWholeFile(f.path, bytes));
    EXPECT_EQ(bytes.size(), 8u);
}

TEST(CoreDataFile, WriteRefusesTooLongOrEmptyPartsAndKeepsTheOldFile)
{
    CoreDat f;
    CCoreDataFile file(1);
    file.SetPath(f.ansi);
    ASSERT_TRUE(file.Write("old", "1", 100));
    std::string before;
    ASSERT_TRUE(enginebase::ReadWholeFile(f.path, before));

    EXPECT_FALSE(file.Write(std::string(249, 'x'), "123", 100));  // 253 plain bytes
    EXPECT_FALSE(file.Write("", "123", 100));
    EXPECT_FALSE(file.Write("1.0", "", 100));
    std::string after;
    ASSERT_TRUE(enginebase::ReadWholeFile(f.path, after));
    EXPECT_EQ(after, before);

    // The cache took the refused values all the same; a fresh object reads the old file.
    CCoreDataFile reader(1);
    reader.SetPath(f.ansi);
    std::string text, code;
    ASSERT_TRUE(reader.Get(text, code));
    EXPECT_EQ(text, "old");
    EXPECT_EQ(code, "1");
}

TEST(CoreDataFile, GetUsesTheCacheAfterWrite)
{
    CoreDat f;
    CCoreDataFile file(1);
    file.SetPath(f.ansi);
    ASSERT_TRUE(file.Write("2.0", "200", 100));
    ASSERT_TRUE(DeleteFileW(f.path.c_str()));
    std::string text, code;
    EXPECT_TRUE(file.Get(text, code));
    EXPECT_EQ(text, "2.0");
    EXPECT_EQ(code, "200");
}

TEST(CoreDataFile, DamagedOrForeignFilesReadAsFailure)
{
    CoreDat f;
    std::string big(264, 'q');
    struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"no @", Encipher("1.0.0100")},
        {"empty code", Encipher("1.0.0@")},
        {"empty text", Encipher("@100")},
        {"empty file", ""},
        {"shorter than a block", "abc"},
        {"larger than any written file", big},
        {"larger, made of valid blocks", Encipher("1.0@1") + std::string(256, '\0')},
    };
    for (auto& c : cases) {
        ASSERT_TRUE(enginebase::WriteWholeFile(f.path, c.bytes));
        CCoreDataFile file(1);
        file.SetPath(f.ansi);
        EXPECT_FALSE(file.Read(1000)) << c.what;
        std::string text = "t", code = "c";
        EXPECT_FALSE(file.Get(text, code)) << c.what;
        EXPECT_EQ(text, "t");
    }
    CCoreDataFile missing(1);
    missing.SetPath(WideToAnsi(f.dir / L"none.dat"));
    EXPECT_FALSE(missing.Read(1000));
}

TEST(CoreDataFile, VersionTextIsSplitAtTheFirstAt)
{
    CoreDat f;
    ASSERT_TRUE(enginebase::WriteWholeFile(f.path, Encipher("1.0@beta@7")));
    CCoreDataFile file(1);
    file.SetPath(f.ansi);
    ASSERT_TRUE(file.Read(1000));
    std::string text, code;
    ASSERT_TRUE(file.Get(text, code));
    EXPECT_EQ(text, "1.0");
    EXPECT_EQ(code, "beta@7");
}

TEST(CoreDataFile, FailedWriteLeavesTheOldFile)
{
    CoreDat f;
    CCoreDataFile file(1);
    file.SetPath(f.ansi);
    ASSERT_TRUE(file.Write("1.0", "10", 100));
    std::string before;
    ASSERT_TRUE(enginebase::ReadWholeFile(f.path, before));
    // A reader that denies deletion keeps the replacement from happening: the write fails and
    // the version file stays whole.
    HANDLE reader = CreateFileW(f.path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(file.Write("2.0", "20", 100));
    CloseHandle(reader);
    std::string after;
    ASSERT_TRUE(enginebase::ReadWholeFile(f.path, after));
    EXPECT_EQ(after, before);
    EXPECT_FALSE(FileExists(f.path + L".tmp"));

    // A directory that does not exist: nothing is created.
    CCoreDataFile elsewhere(1);
    elsewhere.SetPath(WideToAnsi(f.dir / L"no\\core.dat"));
    EXPECT_FALSE(elsewhere.Write("1.0", "10", 100));
}

TEST_F(CoreDataFileShared, ReadFailsAfterTheTimeoutWhileAnotherProcessHoldsTheMutex)
{
    CoreDat f;
    {
        CCoreDataFile w(0);
        w.SetPath(f.ansi);
        ASSERT_TRUE(w.Write("3.0", "300", 100));
    }
    std::string before;
    ASSERT_TRUE(enginebase::ReadWholeFile(f.path, before));

    enginebase::MutexHolderProcess holder("UpdateFile_pellmora", 4000);
    ASSERT_TRUE(holder.Ready());
    CCoreDataFile reader(0);
    reader.SetPath(f.ansi);
    DWORD start = GetTickCount();
    EXPECT_FALSE(reader.Read(1000));
    DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, 900u);
    EXPECT_LT(elapsed, 3500u);  // gave up long before the holder let go
    CCoreDataFile writer(0);
    writer.SetPath(f.ansi);
    EXPECT_FALSE(writer.Write("4.0", "400", 100));
    std::string after;
    ASSERT_TRUE(enginebase::ReadWholeFile(f.path, after));
    EXPECT_EQ(after, before);

    EXPECT_EQ(holder.Join(), 0u);
    EXPECT_TRUE(reader.Read(1000));  // free again
}

TEST_F(CoreDataFileShared, BothModesNameTheirOwnMutexAndShareIt)
{
    CCoreDataFile a(1), b(1), c(0);
    ASSERT_NE(a.GetMutex(), nullptr);
    ASSERT_NE(b.GetMutex(), nullptr);
    ASSERT_NE(c.GetMutex(), nullptr);
    HANDLE byName = OpenMutexA(SYNCHRONIZE, FALSE, "UpdateFile");
    ASSERT_NE(byName, nullptr);
    CloseHandle(byName);
    byName = OpenMutexA(SYNCHRONIZE, FALSE, "UpdateFile_pellmora");
    ASSERT_NE(byName, nullptr);
    CloseHandle(byName);

    // One mutex per name: while a holds it, b (same name) must wait and c (the other name) is free.
    CScopedMutexLock la(a.GetMutex(), true);
    EXPECT_EQ(OnOtherThread(TryNowAndGiveBack, b.GetMutex()), static_cast<DWORD>(WAIT_TIMEOUT));
    EXPECT_EQ(OnOtherThread(TryNowAndGiveBack, c.GetMutex()), static_cast<DWORD>(WAIT_OBJECT_0));
}

TEST_F(CoreDataFileShared, AbandonedMutexCountsAsNotAcquiredAndIsReleased)
{
    CoreDat f;
    CCoreDataFile file(0);
    file.SetPath(f.ansi);
    ASSERT_TRUE(file.Write("5.0", "500", 100));

    // A thread that takes the mutex and ends without releasing it abandons it.
    HANDLE mutex = file.GetMutex();
    ASSERT_EQ(OnOtherThread(TakeAndKeep, mutex), static_cast<DWORD>(WAIT_OBJECT_0));

    EXPECT_FALSE(file.Read(1000));  // abandoned: not acquired...
    // ...and not kept either: another thread gets it at once.
    EXPECT_EQ(OnOtherThread(TryNowAndGiveBack, mutex), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_TRUE(file.Read(1000));
}

TEST(CoreDataFile, ScopedLockWaitsAndReleases)
{
    HANDLE m = CreateMutexA(nullptr, FALSE, nullptr);
    {
        CScopedMutexLock lock(m, false);
        EXPECT_TRUE(lock.Wait(0));
        lock.Release();
        lock.Release();  // once only
        EXPECT_EQ(OnOtherThread(TryNowAndGiveBack, m), static_cast<DWORD>(WAIT_OBJECT_0));
    }
    {
        CScopedMutexLock lock(m, true);  // held until the end of the scope
        EXPECT_EQ(OnOtherThread(TryNow, m), static_cast<DWORD>(WAIT_TIMEOUT));
    }
    EXPECT_EQ(OnOtherThread(TryNowAndGiveBack, m), static_cast<DWORD>(WAIT_OBJECT_0));
    CScopedMutexLock none(nullptr, false);
    EXPECT_FALSE(none.Wait(0));
    CloseHandle(m);
}
