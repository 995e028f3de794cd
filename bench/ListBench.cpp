// One measurement of a long list: a skin with a three-column list of N label rows is built through
// the dialog builder from markup text, attached to a paint manager, laid out twice (the second
// layout finds every input unchanged, so the rows return their stored estimates), painted whole
// into a 32-bit DIB as the paint manager paints its window, and deleted. Prints one line:
//   rows build layout-first layout-again paint teardown      (microseconds per row)
// bench/list.sh runs it per size and summarises.
//   list_bench <rows>
// A small list is measured first so that one-time costs (classes, fonts) stay out of the figures.
#include "UIManager.h"
#include "UIDlgBuilder.h"
#include "UIControl.h"
#include "UIList.h"
#include "UIWindow.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>

using namespace Veneer;

namespace {

const int kWidth = 160;

double Now()
{
    static LARGE_INTEGER freq = {};
    if (freq.QuadPart == 0) ::QueryPerformanceFrequency(&freq);
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return (double)t.QuadPart * 1000.0 / (double)freq.QuadPart;
}

std::wstring MakeSkin(int rows)
{
    std::wstring s = L"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Window size=\"160,600\">\r\n"
                     L"<Font id=\"0\" name=\"Tahoma\" size=\"8\" default=\"true\"/>\r\n"
                     L"<List name=\"list\" bkcolor=\"#FFFFFFFF\" itemaltbk=\"true\" itembkcolor=\"#FFEAF2FB\" "
                     L"itemhlinesize=\"1\" itemhlinecolor=\"#FFB8C4D4\">\r\n"
                     L"<ListHeader height=\"16\"><ListHeaderItem text=\"A\" width=\"50\"/>"
                     L"<ListHeaderItem text=\"B\" width=\"50\"/><ListHeaderItem text=\"C\" width=\"60\"/></ListHeader>\r\n";
    wchar_t buf[160];
    for (int i = 0; i < rows; ++i) {
        swprintf(buf, 160, L"<ListLabelElement name=\"r%d\" text=\"row %d\"/>\r\n", i, i);
        s += buf;
    }
    s += L"</List>\r\n</Window>\r\n";
    return s;
}

struct Times {
    double build, layout1, layout2, paint, teardown;   // milliseconds
};

bool Measure(HWND hWnd, int n, Times& t)
{
    const std::wstring skin = MakeSkin(n);
    CPaintManagerUI* pm = new CPaintManagerUI;
    pm->Init(hWnd);

    double t0 = Now();
    CDialogBuilder builder;
    CControlUI* root = builder.Create(skin.c_str(), NULL, NULL, pm);
    double t1 = Now();
    CListUI* list = root != NULL ? static_cast<CListUI*>(root->GetInterface(L"List")) : NULL;
    if (list == NULL || list->GetCount() != n) {
        fprintf(stderr, "built %d rows of %d\n", list ? list->GetCount() : 0, n);
        return false;
    }
    pm->AttachDialog(root);

    // Tall enough to show every row: the paint draws them all.
    const int rowHeight = pm->GetDefaultFontInfo()->tm.tmHeight + 8 + 1;
    RECT rcAll = {0, 0, kWidth, 16 + n * rowHeight};
    double t2 = Now();
    root->SetPos(rcAll, false);
    double t3 = Now();
    root->SetPos(rcAll, false);
    double t4 = Now();
    CControlUI* last = list->GetItemAt(n - 1);
    if (last->GetPos().bottom > rcAll.bottom || last->GetPos().right != kWidth) {
        fprintf(stderr, "layout: last row %ld,%ld of %ld,%ld\n", last->GetPos().right, last->GetPos().bottom,
                rcAll.right, rcAll.bottom);
        return false;
    }

    HDC hScreen = ::GetDC(NULL);
    HDC hMem = ::CreateCompatibleDC(hScreen);
    ::ReleaseDC(NULL, hScreen);
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = rcAll.right;
    bi.bmiHeader.biHeight = -rcAll.bottom;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    void* bits = NULL;
    HBITMAP hDib = ::CreateDIBSection(hMem, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
    if (hDib == NULL) {
        fprintf(stderr, "no DIB of %ldx%ld\n", rcAll.right, rcAll.bottom);
        return false;
    }
    HGDIOBJ oldBmp = ::SelectObject(hMem, hDib);
    memset(bits, 0, (size_t)rcAll.right * (size_t)rcAll.bottom * 4);
    double t5 = Now();
    int iSaveDC = ::SaveDC(hMem);
    ::SelectObject(hMem, pm->GetDefaultFontInfo()->hFont);
    root->Paint(hMem, rcAll, NULL);
    ::RestoreDC(hMem, iSaveDC);
    ::GdiFlush();
    double t6 = Now();
    // The first row's colour inside the last row's rectangle's twin (draw index parity).
    const DWORD* px = static_cast<const DWORD*>(bits);
    const RECT rc0 = list->GetItemAt(0)->GetPos();
    if ((px[(rc0.top + 2) * rcAll.right + kWidth - 3] & 0xFFFFFF) != 0xEAF2FB) {
        fprintf(stderr, "list paint missing: %08lX\n", px[(rc0.top + 2) * rcAll.right + kWidth - 3]);
        return false;
    }
    ::SelectObject(hMem, oldBmp);
    ::DeleteObject(hDib);
    ::DeleteDC(hMem);

    double t7 = Now();
    delete pm;
    double t8 = Now();

    t.build = t1 - t0;
    t.layout1 = t3 - t2;
    t.layout2 = t4 - t3;
    t.paint = t6 - t5;
    t.teardown = t8 - t7;
    return true;
}

class Host : public CWindowWnd {
public:
    const wchar_t* GetWindowClassName() const override { return L"VeneerListBenchHost"; }
};

} // namespace

int main(int argc, char** argv)
{
    const int n = argc > 1 ? atoi(argv[1]) : 0;
    if (n < 1) {
        fprintf(stderr, "usage: list_bench <rows>\n");
        return 2;
    }
    CPaintManagerUI::SetInstance(::GetModuleHandleW(NULL));
    Host host;
    if (host.Create(NULL, L"list bench", WS_POPUP, 0, 0, 0, 320, 240) == NULL) {
        fprintf(stderr, "no window\n");
        return 1;
    }
    Times t;
    if (!Measure(host.GetHWND(), 200, t) || !Measure(host.GetHWND(), n, t)) return 1;
    printf("%d %.4f %.4f %.4f %.4f %.4f\n", n, t.build * 1000.0 / n, t.layout1 * 1000.0 / n,
           t.layout2 * 1000.0 / n, t.paint * 1000.0 / n, t.teardown * 1000.0 / n);
    ::DestroyWindow(host.GetHWND());
    return 0;
}
