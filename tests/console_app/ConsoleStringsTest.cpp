// Texts the console builds without a window or a network: the check_update URL and the product
// title of the main frame.
#include <gtest/gtest.h>
#include <windows.h>
#include "CoreDataFile.h"
#include "EngineBaseSupport.h"
#include "MainFrameWnd.h"
#include "SysHelpers.h"
#include "Tollvane.h"
#include "UIManager.h"
#include "UIRender.h"

TEST(ConsoleStrings, CheckUpdateUrlHasOneSchemeAndTheDecimalCafeId)
{
    std::string url = CTollvane::CheckUpdateUrl(4000000000u, "314");
    EXPECT_EQ(url.compare(0, 7, "http://"), 0) << url;
    EXPECT_EQ(url.find("http://", 1), std::string::npos) << url;
    const std::string tail = "/index.php?g=home&m=api&a=check_update&netbarid=4000000000&version=314";
    ASSERT_GE(url.size(), tail.size());
    EXPECT_EQ(url.substr(url.size() - tail.size()), tail);
}

TEST(ConsoleStrings, ProductTitleFromTheVersionFile)
{
    enginebase::ScratchDir dir;
    EXPECT_EQ(CMainFrameWnd::ProductTitle(dir.Path()), L"Morvath ");
    CreateDirectoryW((dir / L"data").c_str(), nullptr);
    ::CCoreDataFile file(1);
    file.SetPath(WideToAnsi(dir / L"data\\core.dat"));
    ASSERT_TRUE(file.Write("2.0.1", "201", 1000));
    EXPECT_EQ(CMainFrameWnd::ProductTitle(dir.Path()), L"Morvath 2.0.1");
    // A file that does not decipher and split counts as unreadable.
    ASSERT_TRUE(enginebase::WriteWholeFile(dir / L"data\\core.dat", "not enciphered at all"));
    EXPECT_EQ(CMainFrameWnd::ProductTitle(dir.Path()), L"Morvath ");
}

// The program carries its icon as resource 132, in the small and the large size.
TEST(ConsoleStrings, TheProgramCarriesIcon132)
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring exe(path);
    exe = exe.substr(0, exe.find_last_of(L'\\') + 1) + L"pellmora\\Pellmora.exe";
    HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    EXPECT_NE(FindResourceW(module, MAKEINTRESOURCEW(132), MAKEINTRESOURCEW(14)), nullptr);  // RT_GROUP_ICON
    for (int size : {16, 32}) {
        HANDLE icon = LoadImageW(module, MAKEINTRESOURCEW(132), IMAGE_ICON, size, size, LR_DEFAULTCOLOR);
        EXPECT_NE(icon, nullptr) << size << " error " << GetLastError();
        if (icon)
            DestroyIcon(static_cast<HICON>(icon));
    }
    FreeLibrary(module);
}

// The customer page builds the default photo's path as the program directory (ending in a
// backslash) followed by "\res\Head.png": the doubled backslash and the lower-case folder name
// must still find Res\Head.png of the installation.
TEST(ConsoleStrings, TheDefaultPhotoLoadsThroughItsDoubledBackslashPath)
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path);
    dir = dir.substr(0, dir.find_last_of(L'\\') + 1) + L"pellmora\\";
    std::wstring photo = dir + L"\\res\\Head.png";
    Veneer::CPaintManagerUI::SetResourcePath(L"");
    Veneer::TLoadedImage* image = Veneer::CUIPainter::LoadImage(photo.c_str());
    ASSERT_NE(image, nullptr) << WideToUtf8(photo);
    EXPECT_EQ(image->nWidth, 102);
    EXPECT_EQ(image->nHeight, 126);
    Veneer::CUIPainter::FreeImage(image);
}
