// The console's read-only version file: the updater's file read under the console's own mutex.
#include <gtest/gtest.h>
#include <windows.h>
#include <string>
#include <atomic>
#include <thread>

#include "CodePage.h"
#include "ConsoleCoreDataFile.h"
#include "CoreDataFile.h"
#include "EngineBaseSupport.h"

namespace {

TEST(ConsoleCoreDataFile, ReadsWhatTheUpdaterWroteAndKeepsIt)
{
    enginebase::ScratchDir dir;
    const std::string path = WideToAnsi(dir / L"core.dat");
    {
        ::CCoreDataFile updater(1);
        updater.SetPath(path);
        ASSERT_TRUE(updater.Write("1.0.2", "102", 100));
    }
    Pellmora::CCoreDataFile console;
    console.SetPath(path);
    std::string text, code;
    ASSERT_TRUE(console.Get(text, code));
    EXPECT_EQ(text, "1.0.2");
    EXPECT_EQ(code, "102");
    // The pair is cached: a later Get does not read again.
    ASSERT_TRUE(DeleteFileA(path.c_str()));
    std::string text2, code2;
    ASSERT_TRUE(console.Get(text2, code2));
    EXPECT_EQ(code2, "102");
    EXPECT_FALSE(console.Read(100));
}

TEST(ConsoleCoreDataFile, TheMutexIsTheConsolesOwnSpelling)
{
    Pellmora::CCoreDataFile console;
    HANDLE own = OpenMutexA(SYNCHRONIZE, FALSE, "UpdateFile_Pellmora");
    EXPECT_NE(own, nullptr);
    if (own)
        CloseHandle(own);
    // Names are case-sensitive: the engine's mode-0 name is another mutex, and so is the updater's.
    Pellmora::CCoreDataFile modeOne(1);
    HANDLE engineSpelling = OpenMutexA(SYNCHRONIZE, FALSE, "UpdateFile_pellmora");
    EXPECT_EQ(engineSpelling, nullptr);
    if (engineSpelling)
        CloseHandle(engineSpelling);
}

// The updater writes under "UpdateFile" while the console holds "UpdateFile_Pellmora": neither
// blocks the other (the two programs do not exclude each other).
TEST(ConsoleCoreDataFile, TheConsolesMutexDoesNotBlockTheUpdater)
{
    enginebase::ScratchDir dir;
    const std::string path = WideToAnsi(dir / L"core.dat");
    enginebase::MutexHolderProcess holder("UpdateFile_Pellmora", 3000);
    ASSERT_TRUE(holder.Ready());

    ::CCoreDataFile updater(1);
    updater.SetPath(path);
    EXPECT_TRUE(updater.Write("2.0.0", "200", 100));

    Pellmora::CCoreDataFile console;
    console.SetPath(path);
    EXPECT_FALSE(console.Read(200)) << "the console waits for its own mutex only";
    EXPECT_EQ(holder.Join(), 0u);
    std::string text, code;
    ASSERT_TRUE(console.Get(text, code));
    EXPECT_EQ(code, "200");
}

// The updater rewriting the file while the console reads it: every read that succeeds gives one
// whole pair the updater wrote, never a mixture (the updater swaps a complete file in).
TEST(ConsoleCoreDataFile, ReadsDuringWritesSeeWholeVersions)
{
    enginebase::ScratchDir dir;
    const std::string path = WideToAnsi(dir / L"core.dat");
    {
        ::CCoreDataFile first(1);
        first.SetPath(path);
        ASSERT_TRUE(first.Write("1.0.0", "100", 100));
    }
    std::atomic<bool> stop(false);
    std::thread writer([&] {
        for (int i = 0; !stop; ++i) {
            ::CCoreDataFile updater(1);
            updater.SetPath(path);
            if (i % 2)
                updater.Write("1.0.0", "100", 100);
            else
                updater.Write("22.0.0-long-version-text", "22000", 100);
        }
    });
    int good = 0;
    for (int i = 0; i < 300; ++i) {
        Pellmora::CCoreDataFile console;
        console.SetPath(path);
        std::string text, code;
        if (!console.Get(text, code))
            continue;
        ++good;
        const bool old = text == "1.0.0" && code == "100";
        const bool fresh = text == "22.0.0-long-version-text" && code == "22000";
        EXPECT_TRUE(old || fresh) << text << "@" << code;
    }
    stop = true;
    writer.join();
    EXPECT_GT(good, 0);
}

// A read that meets a half-written or damaged file fails to decipher or to split: unreadable.
TEST(ConsoleCoreDataFile, TornOrDamagedFilesAreUnreadable)
{
    enginebase::ScratchDir dir;
    const std::wstring wpath = dir / L"core.dat";
    const std::string path = WideToAnsi(wpath);
    {
        ::CCoreDataFile updater(1);
        updater.SetPath(path);
        ASSERT_TRUE(updater.Write("1.0.2", "102", 100));
    }
    std::string whole;
    ASSERT_TRUE(enginebase::ReadWholeFile(wpath, whole));
    ASSERT_EQ(whole.size(), 16u);

    const std::string cases[] = {
        std::string(16, '\x5a'),             // foreign bytes
        std::string(),                       // empty
        whole + std::string(256, '\x01'),    // longer than any version file
    };
    for (const std::string& bytes : cases) {
        ASSERT_TRUE(enginebase::WriteWholeFile(wpath, bytes));
        Pellmora::CCoreDataFile console;
        console.SetPath(path);
        std::string text, code;
        EXPECT_FALSE(console.Get(text, code)) << bytes.size();
        EXPECT_TRUE(text.empty() && code.empty());
    }
    ASSERT_TRUE(DeleteFileW(wpath.c_str()));
    Pellmora::CCoreDataFile missing;
    missing.SetPath(path);
    std::string text, code;
    EXPECT_FALSE(missing.Get(text, code));
}

}  // namespace
