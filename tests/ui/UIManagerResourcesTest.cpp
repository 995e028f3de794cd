// Paint manager resources: resource path, default colours, fonts, the image cache, default
// attribute lists, window attributes and multi-language tokens. Shared state is put back at the
// end of every test, since the 32-bit run keeps one process for all tests.
#include <gtest/gtest.h>

#include "UIManager.h"

#include <string>
#include <vector>

using namespace Veneer;

namespace {

std::wstring TempDir()
{
    wchar_t base[MAX_PATH];
    ::GetTempPathW(MAX_PATH, base);
    wchar_t dir[MAX_PATH];
    wsprintfW(dir, L"%svnr_mgr_%lu\\", base, ::GetCurrentProcessId());
    ::CreateDirectoryW(dir, NULL);
    return dir;
}

// A 2x2 24-bit BMP whose pixels all have the given colour.
void WriteBmp(const std::wstring& path, BYTE r, BYTE g, BYTE b)
{
    std::vector<BYTE> file(54 + 16, 0);
    BITMAPFILEHEADER* fh = reinterpret_cast<BITMAPFILEHEADER*>(file.data());
    fh->bfType = 0x4D42;
    fh->bfSize = (DWORD)file.size();
    fh->bfOffBits = 54;
    BITMAPINFOHEADER* ih = reinterpret_cast<BITMAPINFOHEADER*>(file.data() + 14);
    ih->biSize = 40;
    ih->biWidth = 2;
    ih->biHeight = 2;
    ih->biPlanes = 1;
    ih->biBitCount = 24;
    for (int row = 0; row < 2; ++row)
        for (int x = 0; x < 2; ++x) {
            BYTE* px = file.data() + 54 + row * 8 + x * 3;
            px[0] = b;
            px[1] = g;
            px[2] = r;
        }
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    DWORD written = 0;
    ::WriteFile(h, file.data(), (DWORD)file.size(), &written, NULL);
    ::CloseHandle(h);
}

struct ResourcePathGuard {
    CUIString saved = CPaintManagerUI::GetResourcePath();
    ~ResourcePathGuard() { CPaintManagerUI::SetResourcePath(saved); }
};

TEST(PaintManagerResources, ResourcePathGetsOneTrailingSeparator)
{
    ResourcePathGuard guard;
    struct Case {
        const wchar_t* in;
        const wchar_t* out;
    } cases[] = {
        {L"C:\\skins", L"C:\\skins\\"},
        {L"C:\\skins\\", L"C:\\skins\\"},
        {L"C:/skins/", L"C:/skins/"},
        {L"", L""},
    };
    for (const Case& tc : cases) {
        CPaintManagerUI::SetResourcePath(tc.in);
        EXPECT_STREQ(tc.out, CPaintManagerUI::GetResourcePath().GetData()) << tc.in;
    }
}

TEST(PaintManagerResources, InstancePathIsTheModuleDirectory)
{
    CPaintManagerUI::SetInstance(::GetModuleHandleW(NULL));
    wchar_t module[MAX_PATH];
    ::GetModuleFileNameW(NULL, module, MAX_PATH);
    std::wstring expected(module);
    expected.erase(expected.rfind(L'\\') + 1);
    EXPECT_EQ(expected, CPaintManagerUI::GetInstancePath().GetData());
    EXPECT_EQ(::GetModuleHandleW(NULL), CPaintManagerUI::GetResourceDll());
}

TEST(PaintManagerResources, SharedColourReachesLaterManagersNotChangedOnes)
{
    CPaintManagerUI first;
    DWORD original = first.GetDefaultFontColor();
    CPaintManagerUI changed;
    changed.SetDefaultFontColor(0xFF123456);
    first.SetDefaultFontColor(0xFF00FF00, true);
    EXPECT_EQ(0xFF00FF00u, first.GetDefaultFontColor());
    EXPECT_EQ(0xFF123456u, changed.GetDefaultFontColor());
    {
        CPaintManagerUI later;
        EXPECT_EQ(0xFF00FF00u, later.GetDefaultFontColor());
        EXPECT_EQ(first.GetDefaultLinkFontColor(), later.GetDefaultLinkFontColor());
    }
    first.SetDefaultFontColor(original, true);
}

TEST(PaintManagerResources, FontsReplaceFallBackAndKeepTheTerminator)
{
    CPaintManagerUI pm;
    HFONT def = pm.GetDefaultFontInfo()->hFont;
    ASSERT_NE((HFONT)NULL, def);

    HFONT f1 = pm.AddFont(3, L"Arial", 12, false, false, false);
    HFONT f2 = pm.AddFont(3, L"Arial", 14, true, true, true);
    ASSERT_NE((HFONT)NULL, f2);
    EXPECT_NE(f1, f2);
    EXPECT_EQ(f2, pm.GetFont(3));
    EXPECT_EQ(def, pm.GetFont(-1));
    EXPECT_EQ(def, pm.GetFont(99));
    EXPECT_EQ(f2, pm.GetFont(L"Arial", 14, true, true, true));
    EXPECT_EQ((HFONT)NULL, pm.GetFont(L"arial", 14, true, true, true));
    TFontEntry* info = pm.GetFontInfo(f2);
    EXPECT_EQ(14, info->iSize);
    EXPECT_TRUE(info->bBold && info->bUnderline && info->bItalic);

    LOGFONTW lf;
    ::GetObjectW(f2, sizeof(lf), &lf);
    EXPECT_EQ(-14, lf.lfHeight);
    EXPECT_EQ(DEFAULT_CHARSET, lf.lfCharSet);

    // A face name longer than the record holds is cut with room for its terminator.
    std::wstring longName(40, L'F');
    HFONT f3 = pm.AddFont(4, longName.c_str(), 12, false, false, false);
    ASSERT_NE((HFONT)NULL, f3);
    ::GetObjectW(f3, sizeof(lf), &lf);
    EXPECT_EQ(LF_FACESIZE - 1, (int)wcsnlen(lf.lfFaceName, LF_FACESIZE));

    pm.SetDefaultFont(L"Tahoma", 16, false, false, false);
    EXPECT_TRUE(pm.GetDefaultFontInfo()->sFontName == L"Tahoma");
    EXPECT_EQ(pm.GetDefaultFontInfo()->hFont, pm.GetFont(99));
    pm.RemoveAllFonts();
    EXPECT_EQ(pm.GetDefaultFontInfo()->hFont, pm.GetFont(3));
}

TEST(PaintManagerResources, DefaultAttributeListsOwnBeforeShared)
{
    CPaintManagerUI a, b;
    a.AddDefaultAttributeList(L"Button", L"width=\"10\"");
    a.AddDefaultAttributeList(L"Button", L"width=\"20\"");
    a.AddDefaultAttributeList(L"Label", L"text=\"shared\"", true);
    EXPECT_STREQ(L"width=\"20\"", a.GetDefaultAttributeList(L"Button"));
    EXPECT_EQ(NULL, b.GetDefaultAttributeList(L"Button"));
    EXPECT_STREQ(L"text=\"shared\"", b.GetDefaultAttributeList(L"Label"));
    b.SetUseSharedResources(true);  // what b adds serves every window
    b.AddDefaultAttributeList(L"Edit", L"x=\"1\"");
    EXPECT_STREQ(L"x=\"1\"", a.GetDefaultAttributeList(L"Edit"));
    a.ClearDefaultAttributeLists(true);
    EXPECT_EQ(NULL, a.GetDefaultAttributeList(L"Label"));
    EXPECT_STREQ(L"width=\"20\"", a.GetDefaultAttributeList(L"Button"));
}

TEST(PaintManagerResources, WindowAttributes)
{
    CPaintManagerUI::SetInstance(::GetModuleHandleW(NULL));
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(NULL);
    wc.lpszClassName = L"VeneerAttrTest";
    ::RegisterClassW(&wc);
    HWND hwnd = ::CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 50, 50, NULL, NULL, wc.hInstance, NULL);
    ASSERT_NE((HWND)NULL, hwnd);
    {
        CPaintManagerUI pm;
        pm.Init(hwnd);
        const wchar_t* attrs[][2] = {
            {L"size", L"300,200"},
            {L"SizeBox", L"4,5,6,7"},
            {L"caption", L"0,0,0,30"},
            {L"roundcorner", L"3,3"},
            {L"mininfo", L"100,80"},
            {L"maxinfo", L"900,700"},
            {L"showdirty", L"TRUE"},
            {L"noactivate", L"true"},
            {L"defaultfontcolor", L"#FF112233"},
            {L"disabledfontcolor", L"FF445566"},
            {L"selectedcolor", L"#FF010203"},
            {L"NoActivate", L"x"},      // noactivate compares exactly: a custom attribute
            {L"myattr", L"first"},
            {L"myattr", L"second"},     // the first value stays
        };
        for (auto& a : attrs) pm.SetWindowAttribute(a[0], a[1]);

        EXPECT_EQ(300, pm.GetInitSize().cx);
        EXPECT_EQ(200, pm.GetInitSize().cy);
        RECT rc;
        ::GetWindowRect(hwnd, &rc);
        EXPECT_EQ(300, rc.right - rc.left);  // no root yet: the window takes the size
        EXPECT_EQ(200, rc.bottom - rc.top);
        RECT box = {4, 5, 6, 7};
        EXPECT_TRUE(::EqualRect(&box, &pm.GetSizeBox()));
        EXPECT_EQ(30, pm.GetCaptionRect().bottom);
        EXPECT_EQ(3, pm.GetRoundCorner().cx);
        EXPECT_EQ(100, pm.GetMinInfo().cx);
        EXPECT_EQ(700, pm.GetMaxInfo().cy);
        EXPECT_TRUE(pm.IsShowDirty());
        EXPECT_TRUE(pm.IsNoActivate());
        EXPECT_EQ(0xFF112233u, pm.GetDefaultFontColor());
        EXPECT_EQ(0xFF445566u, pm.GetDefaultDisabledColor());
        EXPECT_EQ(0xFF010203u, pm.GetDefaultSelectedBkColor());
        EXPECT_STREQ(L"x", pm.GetWindowCustomAttribute(L"NoActivate"));
        EXPECT_STREQ(L"first", pm.GetWindowCustomAttribute(L"myattr"));

        MINMAXINFO mmi = {};
        LRESULT lRes = 0;
        pm.MessageHandler(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&mmi), lRes);
        EXPECT_EQ(100, mmi.ptMinTrackSize.x);
        EXPECT_EQ(900, mmi.ptMaxTrackSize.x);

        // A truncated value reads what is there and never past its end.
        pm.SetWindowAttribute(L"sizebox", L"9");
        EXPECT_EQ(9, pm.GetSizeBox().left);
        EXPECT_EQ(0, pm.GetSizeBox().right);

        pm.SetWindowAttribute(L"opacity", L"200");
        EXPECT_EQ(200, pm.GetOpacity());
        EXPECT_NE(0, ::GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED);
        EXPECT_FALSE(pm.IsLayered());

        pm.Init(hwnd);  // re-initialising forgets the window's own attributes
        EXPECT_EQ(NULL, pm.GetWindowCustomAttribute(L"myattr"));
    }
    ::DestroyWindow(hwnd);
}

TEST(PaintManagerResources, LayeredModeSetsStyleAndTimer)
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(NULL);
    wc.lpszClassName = L"VeneerLayeredTest";
    ::RegisterClassW(&wc);
    HWND hwnd = ::CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 50, 50, NULL, NULL, wc.hInstance, NULL);
    {
        CPaintManagerUI pm;
        pm.SetLayered(true);  // no window yet: nothing happens
        EXPECT_FALSE(pm.IsLayered());
        pm.Init(hwnd);
        pm.SetLayered(true);
        EXPECT_TRUE(pm.IsLayered());
        EXPECT_NE(0, ::GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED);
        pm.SetLayered(false);
        EXPECT_FALSE(pm.IsLayered());
        EXPECT_EQ(0, ::GetWindowLongPtrW(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED);
        pm.SetLayeredOpacity(128);
        EXPECT_EQ(128, pm.GetLayeredOpacity());
    }
    ::DestroyWindow(hwnd);
}

TEST(PaintManagerResources, LanguageTokens)
{
    CPaintManagerUI::AddMultiLanguageString(1, L"Hello");
    CPaintManagerUI::AddMultiLanguageString(2, L"old");
    CPaintManagerUI::AddMultiLanguageString(2, L"\u4F60\u597D");  // replaces the older text
    CPaintManagerUI::AddMultiLanguageString(7, L"x%{7}y");         // holds its own token
    CPaintManagerUI::AddMultiLanguageString(8, L"[%{1}]");         // holds another token
    struct Case {
        const wchar_t* in;
        const wchar_t* out;
    } cases[] = {
        {L"%{1}, %{1}!", L"Hello, Hello!"},
        {L"%{2}", L"\u4F60\u597D"},
        {L"a %{99} b", L"a %{99} b"},      // no string: the token stays
        {L"%{1}%{99}%{1}", L"Hello%{99}Hello"},
        {L"%{} %{x} %1 %", L"%{} %{x} %1 %"},
        {L"%%{1}", L"%Hello"},
        {L"%{01}", L"Hello"},
        {L"%{7}", L"x%{7}y"},             // expanded once, never again
        {L"%{7}%{7}", L"x%{7}yx%{7}y"},
        {L"%{8}", L"[%{1}]"},
        {L"", L""},
    };
    for (const Case& tc : cases) {
        CUIString s(tc.in);
        CPaintManagerUI::ExpandLanguageTokens(s);
        EXPECT_STREQ(tc.out, s.GetData()) << tc.in;
    }
    EXPECT_STREQ(L"Hello", CPaintManagerUI::GetMultiLanguageString(1));
    EXPECT_EQ(NULL, CPaintManagerUI::GetMultiLanguageString(99));
}

TEST(PaintManagerResources, ImageCachePerWindowAndShared)
{
    ResourcePathGuard guard;
    CPaintManagerUI::SetResourceZip(L"", true);  // images from the folder, not from a zip
    std::wstring dir = TempDir();
    WriteBmp(dir + L"red.bmp", 255, 0, 0);
    WriteBmp(dir + L"1blue.bmp", 0, 0, 255);
    CPaintManagerUI::SetResourcePath(dir.c_str());

    CPaintManagerUI a, b;
    TLoadedImage* img = a.GetOrLoadImage(L"red.bmp");
    ASSERT_NE(nullptr, img);
    EXPECT_EQ(2, img->nWidth);
    EXPECT_EQ(img, a.GetOrLoadImage(L"red.bmp"));  // cached by name
    EXPECT_EQ(img, a.GetImage(L"red.bmp"));
    EXPECT_EQ(nullptr, b.GetImage(L"red.bmp"));   // per window
    TLoadedImage* other = b.GetOrLoadImage(L"red.bmp");
    ASSERT_NE(nullptr, other);
    EXPECT_NE(img, other);

    // A name that starts with a digit is a file without a type, a resource id with one.
    EXPECT_NE(nullptr, a.AddImage(L"1blue.bmp"));
    EXPECT_EQ(nullptr, a.AddImage(L"1blue.bmp", L"NOSUCHTYPE"));
    CPaintManagerUI::SetInstance(::GetModuleHandleW(NULL));
    TLoadedImage* res = a.AddImage(L"201", L"MGRIMG");  // the test program's resource 201
    ASSERT_NE(nullptr, res);
    EXPECT_EQ(255, res->pBits[2]);  // red
    EXPECT_STREQ(L"MGRIMG", res->sResType.GetData());
    EXPECT_EQ(nullptr, a.AddImage(L"MGRIMG201", L"MGRIMG"));  // by name: no such resource
    EXPECT_EQ(nullptr, a.AddImage(L""));
    EXPECT_EQ(nullptr, a.AddImage(L"missing.bmp"));

    // A colour image is named by its colour, digits first or not.
    TLoadedImage* colour = a.AddImage(L"80FF0000", L"*COLOR*");
    ASSERT_NE(nullptr, colour);
    EXPECT_EQ(1, colour->nWidth);
    EXPECT_TRUE(colour->bAlpha);

    // The shared store serves every manager; own images come first.
    TLoadedImage* shared = a.AddImage(L"1blue.bmp", NULL, 0, false, true);
    ASSERT_NE(nullptr, shared);
    EXPECT_EQ(shared, b.GetImage(L"1blue.bmp"));
    EXPECT_NE(shared, a.GetImage(L"1blue.bmp"));

    // A rewritten file is read again once its cache entry is gone.
    a.RemoveImage(L"red.bmp");
    EXPECT_EQ(nullptr, a.GetImage(L"red.bmp"));
    WriteBmp(dir + L"red.bmp", 0, 255, 0);
    TLoadedImage* reloaded = a.GetOrLoadImage(L"red.bmp");
    ASSERT_NE(nullptr, reloaded);
    EXPECT_EQ(255, reloaded->pBits[1]);  // green
    a.RemoveImage(L"nothere");           // nothing happens

    a.RemoveAllImages(true);
    EXPECT_EQ(nullptr, b.GetImage(L"1blue.bmp"));
    ::DeleteFileW((dir + L"red.bmp").c_str());
    ::DeleteFileW((dir + L"1blue.bmp").c_str());
    ::RemoveDirectoryW(dir.c_str());
}

TEST(PaintManagerResources, OptionGroups)
{
    CPaintManagerUI pm;
    int x = 0, y = 0;
    CControlUI* a = reinterpret_cast<CControlUI*>(&x);  // only stored, never used
    CControlUI* b = reinterpret_cast<CControlUI*>(&y);
    EXPECT_TRUE(pm.AddOptionGroup(L"g", a));
    EXPECT_FALSE(pm.AddOptionGroup(L"g", a));
    EXPECT_TRUE(pm.AddOptionGroup(L"g", b));
    EXPECT_FALSE(pm.AddOptionGroup(NULL, a));
    ASSERT_NE(nullptr, pm.GetOptionGroup(L"g"));
    EXPECT_EQ(2, pm.GetOptionGroup(L"g")->GetSize());
    pm.RemoveOptionGroup(L"g", a);
    EXPECT_EQ(1, pm.GetOptionGroup(L"g")->GetSize());
    pm.RemoveOptionGroup(L"g", b);
    EXPECT_EQ(nullptr, pm.GetOptionGroup(L"g"));
}

} // namespace
