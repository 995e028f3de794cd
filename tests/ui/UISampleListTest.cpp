// The sample skin's list in a real window, loaded from the skin's folder: the tree it builds, the
// selection the skin asks for, and its pixels (alternate rows, selected and disabled rows, grid
// lines). The picture is saved as a screenshot under the build folder.
#include <gtest/gtest.h>

#include "WindowImplBase.h"
#include "UIList.h"
#include "UIListElement.h"
#include "UIListHeader.h"

#include <stdlib.h>
#include <string>
#include <vector>

using namespace Veneer;

namespace {

const int kWidth = 480, kHeight = 360;

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

class SampleListWnd : public WindowImplBase {
public:
    const wchar_t* GetWindowClassName() const override { return L"VeneerSampleListWnd"; }
    CUIString GetSkinFolder() override { return L""; }
    CUIString GetSkinFile() override { return L"sample.xml"; }
    CPaintManagerUI& PM() { return m_PaintManager; }
};

std::vector<DWORD> Capture(HWND hWnd)
{
    std::vector<DWORD> px((size_t)kWidth * kHeight, 0);
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
    for (size_t i = 0; i < px.size(); ++i) px[i] = static_cast<DWORD*>(bits)[i] & 0xFFFFFF;
    ::SelectObject(hMem, old);
    ::DeleteObject(hDib);
    ::DeleteDC(hMem);
    ::ReleaseDC(hWnd, hWndDC);
    return px;
}

void SaveBmp(const std::vector<DWORD>& px, const std::wstring& path)
{
    const int stride = kWidth * 3;
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
    for (int y = kHeight - 1; y >= 0; --y)
        for (int x = 0; x < kWidth; ++x) {
            DWORD p = px[(size_t)y * kWidth + x];
            data += (char)(p & 0xFF);
            data += (char)((p >> 8) & 0xFF);
            data += (char)((p >> 16) & 0xFF);
        }
    HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    ::WriteFile(h, data.data(), (DWORD)data.size(), &written, NULL);
    ::CloseHandle(h);
}

} // namespace

TEST(SampleSkinList, TreeSelectionAndPixels)
{
    CPaintManagerUI::SetInstance(::GetModuleHandleW(NULL));
    CPaintManagerUI::SetResourceZip(L"", true);
    CPaintManagerUI::SetResourcePath(BuildPath(L"tests\\sample_skin\\").c_str());
    SampleListWnd w;
    HWND h = w.Create(NULL, L"Veneer sample list", WS_POPUP, 0, 0, 0, kWidth, kHeight);
    ASSERT_NE(h, (HWND)NULL);
    ::ShowWindow(h, SW_SHOWNOACTIVATE);
    ::UpdateWindow(h);
    Pump(300);

    CListUI* list = static_cast<CListUI*>(w.PM().FindControl(L"list"));
    ASSERT_NE(nullptr, list);
    EXPECT_EQ(6, list->GetCount());
    EXPECT_EQ(3, list->GetListInfo()->nColumns);
    EXPECT_STREQ(L"listheader", list->GetHeader()->GetName());
    EXPECT_EQ(5, list->GetCurSel());
    CControlUI* rows[6];
    for (int i = 0; i < 6; ++i) rows[i] = list->GetItemAt(i);
    EXPECT_STREQ(L"ListHBoxElement", rows[3]->GetClass());
    EXPECT_FALSE(rows[4]->IsEnabled());
    CListHeaderItemUI* col2 = static_cast<CListHeaderItemUI*>(w.PM().FindControl(L"col2"));
    ASSERT_NE(nullptr, col2);
    EXPECT_EQ(-4, col2->GetSepWidth());
    EXPECT_FALSE(static_cast<CListHeaderItemUI*>(w.PM().FindControl(L"col3"))->IsDragable());
    // The hbox row's button sits in the first column, the check box in the second.
    CControlUI* btn = w.PM().FindControl(L"lbtn");
    CControlUI* check = w.PM().FindControl(L"lcheck");
    EXPECT_EQ(list->GetListInfo()->rcColumn[0].left, btn->GetPos().left);
    EXPECT_EQ(list->GetListInfo()->rcColumn[1].left, check->GetPos().left);

    ::InvalidateRect(h, NULL, FALSE);
    ::UpdateWindow(h);
    Pump(100);
    std::vector<DWORD> px = Capture(h);
    ::CreateDirectoryW(BuildPath(L"screenshots").c_str(), NULL);
    SaveBmp(px, BuildPath(L"screenshots\\sample-list.bmp"));
    auto at = [&](int x, int y) { return px[(size_t)y * kWidth + x]; };

    const RECT r0 = rows[0]->GetPos(), r1 = rows[1]->GetPos(), r2 = rows[2]->GetPos();
    const RECT r4 = rows[4]->GetPos(), r5 = rows[5]->GetPos();
    const int xIn = list->GetListInfo()->rcColumn[0].left + 60;
    EXPECT_EQ(0xEAF2FBu, at(xIn, r0.top + 2));   // draw index 0: the row colour
    EXPECT_EQ(0xFFFFFFu, at(xIn, r1.top + 2));   // draw index 1: none, the list's white
    EXPECT_EQ(0xEAF2FBu, at(r2.right - 3, r2.top + 2));
    EXPECT_EQ(0xFFFFFFu, at(xIn, r4.top + 2));   // disabled: the disabled colour
    EXPECT_EQ(0xC1E3FFu, at(xIn, r5.top + 2));   // selected
    EXPECT_EQ(0xB8C4D4u, at(xIn, r0.bottom));    // the line under a row
    EXPECT_EQ(1, r1.top - r0.bottom);
    // A text row draws the line between columns 1 and 2, none after column 3.
    const int xLine = list->GetListInfo()->rcColumn[0].right;
    EXPECT_EQ(0x8A99ADu, at(xLine, r0.top + 2));
    EXPECT_NE(0x8A99ADu, at(list->GetListInfo()->rcColumn[2].right, r0.top + 2));

    ::DestroyWindow(h);
    CPaintManagerUI::SetResourcePath(L"");
}
