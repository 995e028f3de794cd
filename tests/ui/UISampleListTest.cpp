// The sample skin's list in a real window, loaded from the skin's folder: the tree it builds, the
// selection the skin asks for, and its pixels (alternate rows, selected and disabled rows, grid
// lines). The picture is saved as a screenshot under the build folder.
#include <gtest/gtest.h>

#include "WindowImplBase.h"
#include "UIList.h"
#include "UIListElement.h"
#include "UIListHeader.h"
#include "UICombo.h"
#include "UITreeView.h"

#include <stdlib.h>
#include <string>
#include <vector>

using namespace Veneer;

namespace {

const int kWidth = 480, kHeight = 560;
// The host and the pop-up below it.
const int kShotHeight = kHeight + 120;

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

void SaveBmp(const std::vector<DWORD>& px, const std::wstring& path, int kHeight = ::kHeight)
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
    for (CControlUI* row : rows) ASSERT_NE(nullptr, row);
    EXPECT_STREQ(L"ListHBoxElement", rows[3]->GetClass());
    EXPECT_FALSE(rows[4]->IsEnabled());
    CListHeaderItemUI* col2 = static_cast<CListHeaderItemUI*>(w.PM().FindControl(L"col2"));
    ASSERT_NE(nullptr, col2);
    EXPECT_EQ(-4, col2->GetSepWidth());
    ASSERT_NE(nullptr, w.PM().FindControl(L"col3"));
    EXPECT_FALSE(static_cast<CListHeaderItemUI*>(w.PM().FindControl(L"col3"))->IsDragable());
    // The hbox row's button sits in the first column, the check box in the second.
    CControlUI* btn = w.PM().FindControl(L"lbtn");
    CControlUI* check = w.PM().FindControl(L"lcheck");
    ASSERT_NE(nullptr, btn);
    ASSERT_NE(nullptr, check);
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

    // The combo shows its selected row and opens its pop-up below itself.
    CComboUI* combo = static_cast<CComboUI*>(w.PM().FindControl(L"combo"));
    ASSERT_NE(nullptr, combo);
    EXPECT_EQ(5, combo->GetCount());
    EXPECT_EQ(1, combo->GetCurSel());
    EXPECT_STREQ(L"Second 第二", combo->GetText());
    ::SetForegroundWindow(h);
    ASSERT_TRUE(combo->Activate());
    DWORD start = ::GetTickCount();
    while ((combo->GetDropWindow() == NULL || !::IsWindowVisible(combo->GetDropWindow()->GetHWND())) &&
           ::GetTickCount() - start < 3000)
        Pump(20);
    ASSERT_NE(nullptr, combo->GetDropWindow());
    Pump(200);
    HWND hPopup = combo->GetDropWindow()->GetHWND();
    RECT rcPopup;
    ::GetWindowRect(hPopup, &rcPopup);
    EXPECT_EQ(5 * 18 + 4, rcPopup.bottom - rcPopup.top);
    // The pop-up over the host, as the screen shows them.
    std::vector<DWORD> screen((size_t)kWidth * kShotHeight, 0);
    HDC hScreen = ::GetDC(NULL);
    HDC hMem = ::CreateCompatibleDC(hScreen);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = kWidth;
    bi.bmiHeader.biHeight = -kShotHeight;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = NULL;
    HBITMAP hDib = ::CreateDIBSection(hMem, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
    HGDIOBJ old = ::SelectObject(hMem, hDib);
    ::BitBlt(hMem, 0, 0, kWidth, kShotHeight, hScreen, 0, 0, SRCCOPY);
    // The pop-up's own pixels where it lies (the screen of a display without compositor may not
    // show it yet).
    HDC hPopupDC = ::GetDC(hPopup);
    ::BitBlt(hMem, rcPopup.left, rcPopup.top, rcPopup.right - rcPopup.left, rcPopup.bottom - rcPopup.top, hPopupDC, 0,
             0, SRCCOPY);
    ::ReleaseDC(hPopup, hPopupDC);
    ::GdiFlush();
    for (size_t i = 0; i < screen.size(); ++i) screen[i] = static_cast<DWORD*>(bits)[i] & 0xFFFFFF;
    ::SelectObject(hMem, old);
    ::DeleteObject(hDib);
    ::DeleteDC(hMem);
    ::ReleaseDC(NULL, hScreen);
    SaveBmp(screen, BuildPath(L"screenshots\\sample-combo-open.bmp"), kShotHeight);
    // The selected row (the second) in the pop-up carries the selected colour.
    ASSERT_NE(nullptr, combo->GetItemAt(1));
    RECT rcRow1 = combo->GetItemAt(1)->GetPos();
    ASSERT_LT(rcPopup.bottom, kShotHeight);
    EXPECT_EQ(0xC1E3FFu, screen[(size_t)(rcPopup.top + rcRow1.top + 3) * kWidth + rcPopup.left + rcRow1.left + 40]);
    ::PostMessageW(hPopup, WM_KEYDOWN, VK_ESCAPE, 0);
    start = ::GetTickCount();
    while (combo->GetDropWindow() != NULL && ::GetTickCount() - start < 3000) Pump(20);
    EXPECT_EQ(nullptr, combo->GetDropWindow());
    ASSERT_NE(nullptr, combo->GetItemAt(0));
    EXPECT_EQ(&w.PM(), combo->GetItemAt(0)->GetManager());

    ::DestroyWindow(h);
    CPaintManagerUI::SetResourcePath(L"");
}

TEST(SampleSkinList, ThreeLevelTreeWithACollapsedNode)
{
    CPaintManagerUI::SetInstance(::GetModuleHandleW(NULL));
    CPaintManagerUI::SetResourceZip(L"", true);
    CPaintManagerUI::SetResourcePath(BuildPath(L"tests\\sample_skin\\").c_str());
    SampleListWnd w;
    HWND h = w.Create(NULL, L"Veneer sample tree", WS_POPUP, 0, 0, 0, kWidth, kHeight);
    ASSERT_NE(h, (HWND)NULL);
    ::ShowWindow(h, SW_SHOWNOACTIVATE);
    ::UpdateWindow(h);
    Pump(300);

    CTreeViewUI* tree = static_cast<CTreeViewUI*>(w.PM().FindControl(L"tree"));
    ASSERT_NE(nullptr, tree);
    ASSERT_EQ(5, tree->GetCount());
    EXPECT_TRUE(tree->GetVisibleCheckBtn());
    const wchar_t* order[] = {L"tnode0", L"tnode1", L"tnode2", L"tnode3", L"tnode4"};
    const int lines[] = {2, 18, 34, 18, 34};
    const bool shown[] = {true, true, true, true, false};
    CTreeNodeUI* nodes[5];
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(order[i]);
        nodes[i] = static_cast<CTreeNodeUI*>(tree->GetItemAt(i));
        ASSERT_NE(nullptr, nodes[i]);
        EXPECT_STREQ(order[i], nodes[i]->GetName());
        EXPECT_EQ(lines[i], nodes[i]->GetDottedLine()->GetFixedWidth());
        EXPECT_EQ(shown[i], nodes[i]->IsVisible());
        EXPECT_EQ(shown[i], nodes[i]->GetCheckBox()->IsVisible());  // a hidden row hides its parts
    }
    EXPECT_TRUE(nodes[3]->GetFolderButton()->IsSelected());  // "Closed" is collapsed
    EXPECT_STREQ(L"Root 根", nodes[0]->GetItemButton()->GetText());

    ::InvalidateRect(h, NULL, FALSE);
    ::UpdateWindow(h);
    Pump(100);
    std::vector<DWORD> px = Capture(h);
    ::CreateDirectoryW(BuildPath(L"screenshots").c_str(), NULL);
    SaveBmp(px, BuildPath(L"screenshots\\sample-tree.bmp"));
    auto at = [&](int x, int y) { return px[(size_t)y * kWidth + x]; };
    // Folder buttons: expanded blue, collapsed red, each after its node's dotted line.
    const RECT f1 = nodes[1]->GetFolderButton()->GetPos(), f3 = nodes[3]->GetFolderButton()->GetPos();
    EXPECT_EQ(nodes[1]->GetPos().left + 18, f1.left);
    EXPECT_EQ(0x7D9BC8u, at(f1.left + 9, f1.top + 9));
    EXPECT_EQ(0xC0392Bu, at(f3.left + 9, f3.top + 9));

    // Expanding the collapsed node shows its child; checking the root checks all.
    nodes[3]->GetFolderButton()->SetSelected(false, true);
    EXPECT_TRUE(nodes[4]->IsVisible());
    EXPECT_TRUE(nodes[4]->GetCheckBox()->IsVisible());
    nodes[0]->GetCheckBox()->SetSelected(true, true);
    for (int i = 1; i < 5; ++i) EXPECT_TRUE(nodes[i]->GetCheckBox()->IsSelected()) << i;

    ::DestroyWindow(h);
    CPaintManagerUI::SetResourcePath(L"");
}
