// Internal to the framework: the code that the vertical and the horizontal layout share. Both stack
// their children along one axis (the main axis) and resize themselves through a separator band at
// one edge; that code is written once, in main-axis and cross-axis terms, and each layout names its
// axis through a trait. The few rules in which the two directions differ are flags of the trait.
// The client area with its scroll offsets (TScrollView) serves the tile layout as well.
#pragma once
#include "UIContainer.h"
#include "UIHorizontalLayout.h"
#include "UIVerticalLayout.h"

namespace Veneer {

// The client area of a scrolling container and how far its visible bars move the content.
struct TScrollView {
    RECT rcClient;      // the rectangle less the inset and the thickness of the visible bars
    SIZE szAvailable;   // the client grown by the ranges of the visible bars
    SIZE szScrollPos;   // the positions of the visible bars; 0 for a hidden bar
    SIZE szScrollRange; // the ranges of the visible bars; 0 for a hidden bar
    bool bVBar;
    bool bHBar;
};

TScrollView GetScrollView(const RECT& rcItem, const RECT& rcInset, CScrollBarUI* pVerticalBar,
                          CScrollBarUI* pHorizontalBar);

// A size, rectangle or padding seen along the stacking direction (main) and across it (cross).
struct TAxisSize {
    LONG main;
    LONG cross;
};

struct TAxisRect {
    LONG start;
    LONG end;
    LONG crossStart;
    LONG crossEnd;
};

// A child's fixed, minimum and maximum sizes.
struct TAxisLimits {
    TAxisSize fixed;
    TAxisSize min;
    TAxisSize max;
};

struct TVerticalAxis {
    typedef CVerticalLayoutUI Layout;

    static TAxisSize Split(const SIZE& sz) { return TAxisSize{sz.cy, sz.cx}; }
    static SIZE Join(const TAxisSize& sz) { return SIZE{sz.cross, sz.main}; }
    static TAxisRect Split(const RECT& rc) { return TAxisRect{rc.top, rc.bottom, rc.left, rc.right}; }
    static RECT Join(const TAxisRect& rc) { return RECT{rc.crossStart, rc.start, rc.crossEnd, rc.end}; }
    static LONG Along(const POINT& pt) { return pt.y; }
    static TAxisLimits Limits(const CControlUI* p)
    {
        return TAxisLimits{{p->GetFixedHeight(), p->GetFixedWidth()},
                           {p->GetMinHeight(), p->GetMinWidth()},
                           {p->GetMaxHeight(), p->GetMaxWidth()}};
    }
    // Children line up across by the container's horizontal alignment.
    static UINT CrossAlign(UINT uChildAlign, UINT uChildVAlign) { return uChildAlign; }
    static constexpr UINT kAlignCentre = DT_CENTER;
    static constexpr UINT kAlignEnd = DT_RIGHT;
    static LPCWSTR SizingCursor() { return IDC_SIZENS; }

    // Every child is asked for its height; a child without a fixed height may still report one.
    static constexpr bool kUnfixedChildStretches = false;
    // The band never reaches beyond the layout's own height.
    static constexpr bool kBandWithinLayout = true;
    // A move away from the layout's middle drags only once the mouse is the band's thickness beyond
    // the moving edge; the horizontal layout drags from the band's inner edge.
    static constexpr bool kDragFromOuterEdge = true;
};

struct THorizontalAxis {
    typedef CHorizontalLayoutUI Layout;

    static TAxisSize Split(const SIZE& sz) { return TAxisSize{sz.cx, sz.cy}; }
    static SIZE Join(const TAxisSize& sz) { return SIZE{sz.main, sz.cross}; }
    static TAxisRect Split(const RECT& rc) { return TAxisRect{rc.left, rc.right, rc.top, rc.bottom}; }
    static RECT Join(const TAxisRect& rc) { return RECT{rc.start, rc.crossStart, rc.end, rc.crossEnd}; }
    static LONG Along(const POINT& pt) { return pt.x; }
    static TAxisLimits Limits(const CControlUI* p)
    {
        return TAxisLimits{{p->GetFixedWidth(), p->GetFixedHeight()},
                           {p->GetMinWidth(), p->GetMinHeight()},
                           {p->GetMaxWidth(), p->GetMaxHeight()}};
    }
    static UINT CrossAlign(UINT uChildAlign, UINT uChildVAlign) { return uChildVAlign; }
    static constexpr UINT kAlignCentre = DT_VCENTER;
    static constexpr UINT kAlignEnd = DT_BOTTOM;
    static LPCWSTR SizingCursor() { return IDC_SIZEWE; }

    // A child without a fixed width always shares the rest, whatever it would estimate.
    static constexpr bool kUnfixedChildStretches = true;
    static constexpr bool kBandWithinLayout = false;
    static constexpr bool kDragFromOuterEdge = false;
};

// The operations of a stacking layout; a friend of both layout classes. Instantiated for the two
// axes in UIStackLayout.cpp.
template <class Axis>
struct TStackLayout {
    typedef typename Axis::Layout Layout;

    // Stacks the children along the main axis and lets the bars follow the content.
    static void SetPos(Layout& self, RECT rc, bool bNeedInvalidate);

    static void SetSeparatorImmediate(Layout& self, bool bImmediately);
    // The band of the dragged rectangle (useNew, while dragging) or of the layout's own.
    static RECT GetSeparatorRect(const Layout& self, int iSepSize, bool bUseNew);
    // The drag feedback: the band at the edge the drag would leave.
    static void DoPostPaint(Layout& self, int iSepSize, HDC hDC);
    // Presses, moves and releases on the separator and its cursor; false: the event is not taken.
    static bool DoSeparatorEvent(Layout& self, int iSepSize, tagTEventUI& event);

private:
    static void DragSeparator(Layout& self, int iSepSize, POINT ptMouse);
};

} // namespace Veneer
