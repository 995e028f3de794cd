// The sample skin (every layout and every control, with images of its own) in a real window,
// loaded three ways: from its folder, from a zip file of that folder and from the same zip in the
// program's resources (type "ZIPRES", numeric id). Each way gives the same control tree and the
// same picture; the pictures are saved as screenshots under the build folder.
#include <gtest/gtest.h>

#include "WindowImplBase.h"
#include "UIControl.h"
#include "UIContainer.h"
#include "UIDlgBuilder.h"
#include "UISkinTestSupport.h"
#include "UIText.h"
#include <wchar.h>

#include <stdlib.h>
#include <string>
#include <vector>

using namespace Veneer;

namespace {

const int kWidth = 480, kHeight = 560;

// A Unix path of the build as the Windows path Wine maps it to (drive Z: is the root).
std::wstring BuildPath(const wchar_t* rel)
{
    const char* bin = getenv("TOLLVANE_BINARY_DIR");
    std::string s = bin != NULL ? bin : "";
    std::wstring w = L"Z:";
    for (char ch : s) w += (ch == '/') ? L'\\' : (wchar_t)ch;
    return w + L"\\" + rel;
}

void Pump(DWORD ms)
{
    DWORD start = ::GetTickCount();
    do {
        MSG msg;
        while (::PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
            if (!CPaintManagerUI::TranslateMessage(&msg)) {
                ::TranslateMessage(&msg);
                ::DispatchMessageW(&msg);
            }
        }
        ::Sleep(5);
    } while (::GetTickCount() - start < ms);
}

class SampleWnd : public WindowImplBase {
public:
    explicit SampleWnd(int type) : m_type(type) {}
    const wchar_t* GetWindowClassName() const override { return L"VeneerSampleSkinWnd"; }
    CUIString GetSkinFolder() override { return L""; }
    CUIString GetSkinFile() override { return L"sample.xml"; }
    int GetResourceType() const override { return m_type; }
    CUIString GetSkinZipName() override { return L"sample_skin.zip"; }
    const wchar_t* GetResourceID() const override { return MAKEINTRESOURCEW(104); }
    CPaintManagerUI& PM() { return m_PaintManager; }

private:
    int m_type;
};

// The client area as 32-bit pixels, top row first, read back from the window's own DC.
struct Shot {
    std::vector<DWORD> px;
    DWORD At(int x, int y) const { return px[(size_t)y * kWidth + x] & 0xFFFFFF; }
};

Shot Capture(HWND hWnd)
{
    Shot shot;
    shot.px.assign((size_t)kWidth * kHeight, 0);
    HDC hWndDC = ::GetDC(hWnd);
    HDC hMem = ::CreateCompatibleDC(hWndDC);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = kWidth;
    bi.bmiHeader.biHeight = -kHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = NULL;
    HBITMAP hDib = ::CreateDIBSection(hMem, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
    HGDIOBJ old = ::SelectObject(hMem, hDib);
    ::BitBlt(hMem, 0, 0, kWidth, kHeight, hWndDC, 0, 0, SRCCOPY);
    ::GdiFlush();
    memcpy(shot.px.data(), bits, shot.px.size() * 4);
    ::SelectObject(hMem, old);
    ::DeleteObject(hDib);
    ::DeleteDC(hMem);
    ::ReleaseDC(hWnd, hWndDC);
    return shot;
}

// A 24-bit bottom-up BMP of the shot.
bool SaveBmp(const Shot& shot, const std::wstring& path)
{
    const int stride = (kWidth * 3 + 3) & ~3;
    BITMAPFILEHEADER fh = {};
    BITMAPINFOHEADER ih = {};
    ih.biSize = sizeof(ih);
    ih.biWidth = kWidth;
    ih.biHeight = kHeight;
    ih.biPlanes = 1;
    ih.biBitCount = 24;
    ih.biSizeImage = (DWORD)(stride * kHeight);
    fh.bfType = 0x4D42;
    fh.bfOffBits = sizeof(fh) + sizeof(ih);
    fh.bfSize = fh.bfOffBits + ih.biSizeImage;
    std::string data((const char*)&fh, sizeof(fh));
    data.append((const char*)&ih, sizeof(ih));
    std::string row((size_t)stride, '\0');
    for (int y = kHeight - 1; y >= 0; --y) {
        for (int x = 0; x < kWidth; ++x) {
            DWORD p = shot.At(x, y);
            row[x * 3] = (char)(p & 0xFF);
            row[x * 3 + 1] = (char)((p >> 8) & 0xFF);
            row[x * 3 + 2] = (char)((p >> 16) & 0xFF);
        }
        data += row;
    }
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = ::WriteFile(h, data.data(), (DWORD)data.size(), &written, NULL);
    ::CloseHandle(h);
    return ok && written == data.size();
}

struct Loaded {
    std::wstring tree;
    Shot shot;
    std::vector<RECT> marks;   // positions of the controls whose pixels are checked
    int links = 0;             // links of the text control after the first paint
    std::wstring date;         // the date-time control's text
};

const wchar_t* const kMarks[] = {L"titlebar", L"closebtn", L"tile1", L"tile2", L"check1", L"check2",
                                 L"progress", L"slider",   L"opt1",  L"childbtn", L"controls", L"gif", L"text", L"activex"};

// type 1: the folder; 2: the zip file beside it; 4: the zip resource.
Loaded Load(int type, const wchar_t* screenshot)
{
    Loaded result;
    CPaintManagerUI::SetResourceZip(L"", true);
    CPaintManagerUI::SetResourcePath(BuildPath(type == 1 ? L"tests\\sample_skin\\" : L"tests\\").c_str());
    // A skin that does not load would stop the window in a message box: find out first.
    if (type == 4) {
        if (::FindResourceW(::GetModuleHandleW(NULL), MAKEINTRESOURCEW(104), L"ZIPRES") == NULL) {
            ADD_FAILURE() << "no ZIPRES 104";
            return result;
        }
    } else {
        if (type == 2) CPaintManagerUI::SetResourceZip(L"sample_skin.zip", true);
        CPaintManagerUI pm;
        CDialogBuilder builder;
        CControlUI* root = builder.Create(L"sample.xml", NULL, NULL, &pm);
        CPaintManagerUI::SetResourceZip(L"", true);
        if (root == NULL) {
            ADD_FAILURE() << "the skin does not load from " << (type == 1 ? "the folder " : "the zip in ")
                          << CPaintManagerUI::GetResourcePath().GetData();
            return result;
        }
        delete root;
    }
    SampleWnd w(type);
    HWND h = w.Create(NULL, L"Veneer sample", WS_POPUP, 0, 0, 0, kWidth, kHeight);
    EXPECT_NE(h, (HWND)NULL);
    if (h == NULL) return result;
    ::ShowWindow(h, SW_SHOWNOACTIVATE);
    ::UpdateWindow(h);
    Pump(300);
    EXPECT_NE(w.PM().GetRoot(), nullptr);
    result.tree = skintest::DumpTree(w.PM().GetRoot());
    for (const wchar_t* name : kMarks) {
        CControlUI* p = w.PM().FindControl(name);
        EXPECT_NE(p, nullptr) << name;
        RECT rc = {0, 0, 0, 0};
        result.marks.push_back(p != NULL ? p->GetPos() : rc);
    }
    if (CTextUI* t = static_cast<CTextUI*>(w.PM().FindControl(L"text")))
        while (result.links < CTextUI::MAX_LINK && t->GetLinkContent(result.links) != NULL) ++result.links;
    if (CControlUI* d = w.PM().FindControl(L"date")) result.date = d->GetText().GetData();
    result.shot = Capture(h);
    ::CreateDirectoryW(BuildPath(L"screenshots").c_str(), NULL);
    EXPECT_TRUE(SaveBmp(result.shot, BuildPath(L"screenshots\\").append(screenshot)));
    ::DestroyWindow(h);
    CPaintManagerUI::SetResourceZip(L"", true);
    CPaintManagerUI::SetResourcePath(L"");
    return result;
}

int R(DWORD p) { return (int)((p >> 16) & 0xFF); }
int G(DWORD p) { return (int)((p >> 8) & 0xFF); }
int B(DWORD p) { return (int)(p & 0xFF); }

TEST(SampleSkin, FolderZipAndZipResourceGiveTheSameTreeAndPicture)
{
    CPaintManagerUI::SetInstance(::GetModuleHandleW(NULL));
    Loaded folder = Load(1, L"sample-folder.bmp");
    Loaded zip = Load(2, L"sample-zip.bmp");
    Loaded res = Load(4, L"sample-zipres.bmp");
    ASSERT_FALSE(HasFailure());

    // Every layout and control of the skin, the child page included, is in the tree.
    for (const wchar_t* part : {L"VerticalLayout 'root' 0,0,480,560", L"HorizontalLayout 'titlebar'",
                                L"TileLayout 'tiles'", L"TabLayout 'pages'", L"ChildLayout 'childpage'",
                                L"Label 'childlabel'", L"Button 'childbtn'", L"Option 'opt2'", L"CheckBox 'check2'",
                                L"Progress 'progress'", L"Slider 'slider'", L"Text 'text'", L"GifAnim 'gif'",
                                L"DateTime 'date'"})
        EXPECT_NE(folder.tree.find(part), std::wstring::npos) << part << "\n" << folder.tree.c_str();
    EXPECT_EQ(zip.tree, folder.tree);
    EXPECT_EQ(res.tree, folder.tree);
    EXPECT_TRUE(zip.shot.px == folder.shot.px);
    EXPECT_TRUE(res.shot.px == folder.shot.px);

    const Shot& s = folder.shot;
    ASSERT_EQ(sizeof(kMarks) / sizeof(kMarks[0]), folder.marks.size());
    ASSERT_GE(folder.marks.size(), 10u);
    const RECT* m = folder.marks.data();
    auto mid = [](const RECT& rc) { return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2}; };
    // Title bar colour, away from its text; the close button's colour beside its glyph.
    EXPECT_EQ(s.At(m[0].right - 40, m[0].top + 2), 0x2B5797u);
    EXPECT_EQ(s.At(m[1].left + 1, m[1].top + 1), 0xC0392Bu);
    // The tiles come from one image of three: the first red, the second green.
    POINT t1 = mid(m[2]), t2 = mid(m[3]);
    EXPECT_GT(R(s.At(t1.x, t1.y)), G(s.At(t1.x, t1.y)) + 60);
    EXPECT_GT(G(s.At(t2.x, t2.y)), R(s.At(t2.x, t2.y)) + 40);
    // The checked box shows its mark, the other one is white inside.
    EXPECT_EQ(s.At(m[4].left + 8, m[4].top + 10), 0x289646u);
    EXPECT_EQ(s.At(m[5].left + 8, m[5].top + 10), 0xFFFFFFu);
    // The selected option's dot.
    EXPECT_EQ(s.At(m[8].left + 8, m[8].top + 10), 0x285ABEu);
    // Progress at 60: greens up to there, the background after.
    POINT pg = mid(m[6]);
    DWORD filled = s.At(m[6].left + 10, pg.y), empty = s.At(m[6].left + (m[6].right - m[6].left) * 8 / 10, pg.y);
    EXPECT_GT(G(filled), R(filled) + 40);
    EXPECT_EQ(empty, 0xDDE3EAu);
    // The slider's thumb sits at 30 of 100.
    POINT sl = mid(m[7]);
    int thumbX = m[7].left + (m[7].right - m[7].left - 12) * 30 / 100 + 6;
    EXPECT_GT(B(s.At(thumbX, sl.y)), R(s.At(thumbX, sl.y)) + 50);
    // A button of the child page carries its image.
    POINT cb = mid(m[9]);
    EXPECT_NE(s.At(cb.x - 30, m[9].top), s.At(cb.x - 30, m[9].top + 10));
    // The animation stays on its first frame; the text has its two links; the date is today's.
    POINT gf = mid(m[11]);
    EXPECT_EQ(s.At(gf.x, gf.y), 0xE6781Eu);
    EXPECT_EQ(folder.links, 2);
    SYSTEMTIME st;
    ::GetLocalTime(&st);
    wchar_t today[16];
    swprintf(today, 16, L"%04d-%02d-%02d", st.wYear, st.wMonth, st.wDay);
    EXPECT_EQ(folder.date, today);
    // The windowless test control (loaded by file name from beside the program) paints its colour.
    POINT ax = mid(m[13]);
    EXPECT_EQ(s.At(ax.x, ax.y), 0x3090D0u);
    EXPECT_EQ(s.At(m[13].left, m[13].top), 0x3090D0u);
}

} // namespace
