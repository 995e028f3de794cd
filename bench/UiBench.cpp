// One measurement of a skinned window's cost: a generated skin of N controls is built through the
// dialog builder from markup text, attached to a paint manager (name registration), laid out,
// painted into a 32-bit DIB as the paint manager paints its window, painted again with direct GDI
// calls (the same rectangles, borders and texts), and deleted. Prints one line of microseconds per
// control: controls build names layout paint direct-GDI teardown direct-GDI-keeping-alpha. bench/ui.sh runs it per size and
// summarises.
//   ui_bench <controls>
// A small skin is built, painted and deleted first, so one-time costs (classes, fonts, the tag
// factory) stay out of the figures; the measured tree then gets its memory from the system like
// any tree of its size, whatever the size. (Within one process a later tree of at most the size
// of an earlier one reuses its pages, while a larger one faults in new pages at several
// microseconds each on a virtual machine: the sizes would not be compared on equal terms.)
#include "UIManager.h"
#include "UIDlgBuilder.h"
#include "UIControl.h"
#include "UIContainer.h"
#include "UIWindow.h"

#include <stdio.h>
#include <stdlib.h>
#include <string>
#include <string.h>
#include <vector>

using namespace Veneer;

namespace {

const int kCellWidth = 48;
const int kRowHeight = 18;
const int kPerRow = 40;
const DWORD kBack = 0xFFE4ECF4, kBorder = 0xFF7088A0, kText = 0xFF202830;

double Now()
{
    static LARGE_INTEGER freq = {};
    if (freq.QuadPart == 0) ::QueryPerformanceFrequency(&freq);
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return (double)t.QuadPart * 1000.0 / (double)freq.QuadPart;
}

// Rows of kPerRow controls (labels, buttons, options, check boxes, progress bars and plain
// controls, every one with a background, a border and, where it has one, a text) in a vertical
// layout. Every control is named. Returns the markup and, through rows, the number of rows;
// exactly `controls` controls are made (the root and the rows count).
std::wstring MakeSkin(int controls, int* rows)
{
    static const wchar_t* const kinds[] = {L"Label", L"Button", L"Option", L"CheckBox", L"Label",
                                           L"Button", L"Progress", L"Label", L"Control", L"Button"};
    std::wstring s = L"<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Window size=\"1920,1080\">\r\n"
                     L"<Font id=\"0\" name=\"Tahoma\" size=\"11\" default=\"true\"/>\r\n"
                     L"<VerticalLayout name=\"root\">\r\n";
    int made = 1, n = 0, row = 0;
    wchar_t buf[400];
    while (made < controls) {
        swprintf(buf, 400, L"<HorizontalLayout name=\"row%d\" height=\"%d\">\r\n", row, kRowHeight);
        s += buf;
        ++made;
        for (int i = 0; i < kPerRow && made < controls; ++i, ++made, ++n) {
            const wchar_t* kind = kinds[n % 10];
            bool text = wcscmp(kind, L"Progress") != 0 && wcscmp(kind, L"Control") != 0;
            swprintf(buf, 400,
                     L" <%ls name=\"c%d\" width=\"%d\" bkcolor=\"#%08X\" bordercolor=\"#%08X\" bordersize=\"1\"%ls%ls%ls/>\r\n",
                     kind, n, kCellWidth, (unsigned)kBack, (unsigned)kBorder, text ? L" text=\"" : L"",
                     text ? (std::wstring(L"T") + std::to_wstring(n % 10000)).c_str() : L"",
                     text ? L"\" textcolor=\"#FF202830\" align=\"center\"" : L"");
            s += buf;
        }
        s += L"</HorizontalLayout>\r\n";
        ++row;
    }
    s += L"</VerticalLayout>\r\n</Window>\r\n";
    *rows = row;
    return s;
}

int CountControls(CControlUI* p)
{
    int count = 1;
    IContainerUI* c = static_cast<IContainerUI*>(p->GetInterface(L"IContainer"));
    if (c != NULL)
        for (int i = 0; i < c->GetCount(); ++i) count += CountControls(c->GetItemAt(i));
    return count;
}

// What the framework paints of one leaf control, gathered after layout for the direct-GDI paint.
struct Cell {
    RECT rc;
    std::wstring text;
};

void CollectCells(CControlUI* p, std::vector<Cell>& cells)
{
    IContainerUI* c = static_cast<IContainerUI*>(p->GetInterface(L"IContainer"));
    if (c != NULL) {
        for (int i = 0; i < c->GetCount(); ++i) CollectCells(c->GetItemAt(i), cells);
        return;
    }
    Cell cell;
    cell.rc = p->GetPos();
    cell.text = p->GetText().GetData();
    cells.push_back(cell);
}

inline COLORREF Gdi(DWORD argb)
{
    return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

// The same rectangles, borders and texts with plain GDI calls, the way a hand-written window
// paints them: a DC brush and pen, one font selected once.
// keepAlpha: the backgrounds stretched from one opaque 32-bit pixel instead of FillRect, which
// leaves the alpha byte 0. The framework fills that way so that its pixels stay opaque in layered
// windows: the least any painter keeping them opaque pays.
void PaintDirect(HDC hDC, HFONT hFont, const std::vector<Cell>& cells, bool keepAlpha)
{
    HDC hPixel = NULL;
    HBITMAP hPixelBmp = NULL;
    HGDIOBJ oldPixel = NULL;
    if (keepAlpha) {
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = 1;
        bi.bmiHeader.biHeight = 1;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        void* bits = NULL;
        hPixel = ::CreateCompatibleDC(hDC);
        hPixelBmp = ::CreateDIBSection(hPixel, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
        *static_cast<DWORD*>(bits) = kBack;
        oldPixel = ::SelectObject(hPixel, hPixelBmp);
        ::SetStretchBltMode(hDC, COLORONCOLOR);
    }
    HGDIOBJ oldFont = ::SelectObject(hDC, hFont);
    HGDIOBJ oldPen = ::SelectObject(hDC, ::GetStockObject(DC_PEN));
    HGDIOBJ oldBrush = ::SelectObject(hDC, ::GetStockObject(NULL_BRUSH));
    HBRUSH dcBrush = (HBRUSH)::GetStockObject(DC_BRUSH);
    ::SetBkMode(hDC, TRANSPARENT);
    ::SetTextColor(hDC, Gdi(kText));
    ::SetDCBrushColor(hDC, Gdi(kBack));
    ::SetDCPenColor(hDC, Gdi(kBorder));
    for (const Cell& cell : cells) {
        if (keepAlpha)
            ::StretchBlt(hDC, cell.rc.left, cell.rc.top, cell.rc.right - cell.rc.left, cell.rc.bottom - cell.rc.top,
                         hPixel, 0, 0, 1, 1, SRCCOPY);
        else
            ::FillRect(hDC, &cell.rc, dcBrush);
        if (!cell.text.empty()) {
            RECT rc = cell.rc;
            ::DrawTextW(hDC, cell.text.c_str(), -1, &rc, DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_NOPREFIX);
        }
        ::Rectangle(hDC, cell.rc.left, cell.rc.top, cell.rc.right, cell.rc.bottom);
    }
    ::SelectObject(hDC, oldBrush);
    ::SelectObject(hDC, oldPen);
    ::SelectObject(hDC, oldFont);
    if (keepAlpha) {
        ::SelectObject(hPixel, oldPixel);
        ::DeleteObject(hPixelBmp);
        ::DeleteDC(hPixel);
    }
}

class Host : public CWindowWnd {
public:
    const wchar_t* GetWindowClassName() const override { return L"VeneerUiBenchHost"; }
};

struct Times {
    double build, attach, layout, paint, direct, teardown, directAlpha;   // milliseconds
};

// Builds, registers, lays out, paints (framework, then direct GDI) and deletes one generated skin.
bool Measure(HWND hWnd, int n, Times& t)
{
    int rows = 0;
    const std::wstring skin = MakeSkin(n, &rows);
    RECT rcAll = {0, 0, kPerRow * kCellWidth, rows * kRowHeight};
    CPaintManagerUI* pm = new CPaintManagerUI;
    pm->Init(hWnd);

    double t0 = Now();
    CDialogBuilder builder;
    CControlUI* root = builder.Create(skin.c_str(), NULL, NULL, pm);
    double t1 = Now();
    if (root == NULL || CountControls(root) != n) {
        fprintf(stderr, "built %d controls of %d\n", root ? CountControls(root) : 0, n);
        return false;
    }
    pm->AttachDialog(root);
    double t2 = Now();
    if (pm->FindControl(L"c0") == NULL || pm->FindControl((L"row" + std::to_wstring(rows - 1)).c_str()) == NULL) {
        fprintf(stderr, "names not registered\n");
        return false;
    }
    root->SetPos(rcAll, false);
    double t3 = Now();
    // The last row ends at the bottom, and the last control (in that row, or the one before when
    // the count left the last row empty) fills its row's height.
    CControlUI* lastRow = pm->FindControl((L"row" + std::to_wstring(rows - 1)).c_str());
    CControlUI* last = pm->FindControl((L"c" + std::to_wstring(n - rows - 2)).c_str());
    if (lastRow->GetPos().bottom != rcAll.bottom || last->GetPos().bottom != last->GetParent()->GetPos().bottom ||
        last->GetPos().bottom - last->GetPos().top != kRowHeight) {
        fprintf(stderr, "layout: last row ends at %ld, not %ld\n", lastRow->GetPos().bottom, rcAll.bottom);
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
    const size_t bytes = (size_t)rcAll.right * (size_t)rcAll.bottom * 4;

    memset(bits, 0, bytes);
    double t4 = Now();
    // As the paint manager paints its window: the default font selected, the DC restored.
    int iSaveDC = ::SaveDC(hMem);
    ::SelectObject(hMem, pm->GetDefaultFontInfo()->hFont);
    root->Paint(hMem, rcAll, NULL);
    ::RestoreDC(hMem, iSaveDC);
    ::GdiFlush();
    double t5 = Now();
    const DWORD* px = static_cast<const DWORD*>(bits);
    // Inside the first cell (background) and on its left border.
    if ((px[(kRowHeight / 2) * rcAll.right + 3] & 0xFFFFFF) != (kBack & 0xFFFFFF) ||
        (px[(kRowHeight / 2) * rcAll.right] & 0xFFFFFF) != (kBorder & 0xFFFFFF)) {
        fprintf(stderr, "framework paint missing: %08lX %08lX\n", px[(kRowHeight / 2) * rcAll.right + 3],
                px[(kRowHeight / 2) * rcAll.right]);
        return false;
    }

    std::vector<Cell> cells;
    CollectCells(root, cells);
    memset(bits, 0, bytes);
    double t6 = Now();
    PaintDirect(hMem, pm->GetFont(0), cells, false);
    ::GdiFlush();
    double t7 = Now();
    memset(bits, 0, bytes);
    double t7a = Now();
    PaintDirect(hMem, pm->GetFont(0), cells, true);
    ::GdiFlush();
    double t7b = Now();

    ::SelectObject(hMem, oldBmp);
    ::DeleteObject(hDib);
    ::DeleteDC(hMem);

    double t8 = Now();
    delete pm;   // deletes the tree and forgets every name
    double t9 = Now();

    t.build = t1 - t0;
    t.attach = t2 - t1;
    t.layout = t3 - t2;
    t.paint = t5 - t4;
    t.direct = t7 - t6;
    t.directAlpha = t7b - t7a;
    t.teardown = t9 - t8;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    const int n = argc > 1 ? atoi(argv[1]) : 0;
    if (n < 2) {
        fprintf(stderr, "usage: ui_bench <controls>\n");
        return 2;
    }
    CPaintManagerUI::SetInstance(::GetModuleHandleW(NULL));
    Host host;
    if (host.Create(NULL, L"ui bench", WS_POPUP, 0, 0, 0, 320, 240) == NULL) {
        fprintf(stderr, "no window\n");
        return 1;
    }
    Times t;
    if (!Measure(host.GetHWND(), 200, t) || !Measure(host.GetHWND(), n, t)) return 1;
    printf("%d %.4f %.4f %.4f %.4f %.4f %.4f %.4f\n", n, t.build * 1000.0 / n, t.attach * 1000.0 / n,
           t.layout * 1000.0 / n, t.paint * 1000.0 / n, t.direct * 1000.0 / n, t.teardown * 1000.0 / n,
           t.directAlpha * 1000.0 / n);
    ::DestroyWindow(host.GetHWND());
    return 0;
}
