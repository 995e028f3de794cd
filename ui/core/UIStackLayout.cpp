#include "UIStackLayout.h"
#include "UIManager.h"
#include "UIRender.h"
#include "UIScrollBar.h"

namespace Veneer {

namespace {

// The drag bit of the separator state: the framework's captured state.
const UINT kSeparatorCaptured = 0x00000040;

// Colour of the band that shows the dragged edge.
const DWORD kSeparatorFeedbackColour = 0xAA000000;

// Raised to the minimum, then lowered to the maximum: the maximum wins.
LONG Clamp(LONG v, LONG lo, LONG hi)
{
    if (v < lo) v = lo;
    if (v > hi) v = hi;
    return v;
}

// What a child is offered is lowered to its fixed size, or to its maximum where it has none.
void LimitOffer(TAxisSize& offer, const TAxisLimits& limits)
{
    LONG mainLimit = limits.fixed.main > 0 ? limits.fixed.main : limits.max.main;
    LONG crossLimit = limits.fixed.cross > 0 ? limits.fixed.cross : limits.max.cross;
    if (offer.main > mainLimit) offer.main = mainLimit;
    if (offer.cross > crossLimit) offer.cross = crossLimit;
}

} // namespace

TScrollView GetScrollView(const RECT& rcItem, const RECT& rcInset, CScrollBarUI* pVerticalBar,
                          CScrollBarUI* pHorizontalBar)
{
    TScrollView view = {};
    view.bVBar = pVerticalBar != NULL && pVerticalBar->IsVisible();
    view.bHBar = pHorizontalBar != NULL && pHorizontalBar->IsVisible();

    RECT& rc = view.rcClient;
    rc = rcItem;
    rc.left += rcInset.left;
    rc.top += rcInset.top;
    rc.right -= rcInset.right;
    rc.bottom -= rcInset.bottom;
    if (view.bVBar) {
        rc.right -= pVerticalBar->GetFixedWidth();
        view.szScrollPos.cy = pVerticalBar->GetScrollPos();
        view.szScrollRange.cy = pVerticalBar->GetScrollRange();
    }
    if (view.bHBar) {
        rc.bottom -= pHorizontalBar->GetFixedHeight();
        view.szScrollPos.cx = pHorizontalBar->GetScrollPos();
        view.szScrollRange.cx = pHorizontalBar->GetScrollRange();
    }

    // The content may be larger than the client by what the bars scroll.
    view.szAvailable.cx = rc.right - rc.left + view.szScrollRange.cx;
    view.szAvailable.cy = rc.bottom - rc.top + view.szScrollRange.cy;
    return view;
}

template <class Axis>
void TStackLayout<Axis>::SetPos(Layout& self, RECT rc, bool bNeedInvalidate)
{
    self.CControlUI::SetPos(rc, bNeedInvalidate);
    TScrollView view = GetScrollView(self.m_rcItem, self.m_rcInset, self.m_pVerticalScrollBar,
                                     self.m_pHorizontalScrollBar);
    const CUIPtrArray& items = self.m_items;
    if (items.GetSize() == 0) {
        self.ProcessScrollBar(view.rcClient, 0, 0);
        return;
    }

    const TAxisRect client = Axis::Split(view.rcClient);
    const TAxisSize available = Axis::Split(view.szAvailable);
    const TAxisSize scrollPos = Axis::Split(view.szScrollPos);
    const TAxisSize scrollRange = Axis::Split(view.szScrollRange);
    const LONG iChildPadding = self.m_iChildPadding;

    // Measure: the length the fixed children take, how many share the rest, and the widest child
    // across.
    TAxisSize needed = {0, 0};
    int nStretchables = 0;
    LONG fixedLength = 0;
    int nMeasured = 0;
    for (int it = 0; it < Layout::kPrefetchAhead && it < items.GetSize(); ++it)
        Layout::PrefetchLayoutFields(static_cast<CControlUI*>(items[it]));
    for (int it = 0; it < items.GetSize(); ++it) {
        CControlUI* pControl = static_cast<CControlUI*>(items[it]);
        if (it + Layout::kPrefetchAhead < items.GetSize())
            Layout::PrefetchLayoutFields(static_cast<CControlUI*>(items[it + Layout::kPrefetchAhead]));
        if (!pControl->IsVisible() || pControl->IsFloat())
            continue;
        TAxisRect padding = Axis::Split(pControl->GetPadding());
        TAxisLimits limits = Axis::Limits(pControl);
        TAxisSize offer = {available.main, available.cross - padding.crossStart - padding.crossEnd};
        LimitOffer(offer, limits);

        TAxisSize sz;
        if (Axis::kUnfixedChildStretches && limits.fixed.main == 0)
            sz = TAxisSize{0, limits.fixed.cross};
        else
            sz = Axis::Split(pControl->EstimateSize(Axis::Join(offer)));
        if (sz.main == 0)
            ++nStretchables;
        else
            sz.main = Clamp(sz.main, limits.min.main, limits.max.main);
        fixedLength += sz.main + padding.start + padding.end;

        if (sz.cross < 0)
            sz.cross = 0;
        sz.cross = Clamp(sz.cross, limits.min.cross, limits.max.cross);
        LONG crossChild = sz.cross + padding.crossStart + padding.crossEnd;
        if (crossChild > needed.cross)
            needed.cross = crossChild;
        ++nMeasured;
    }
    fixedLength += (nMeasured - 1) * iChildPadding;

    LONG share = 0;
    if (nStretchables > 0) {
        share = (available.main - fixedLength) / nStretchables;
        if (share < 0)
            share = 0;
    }

    // Place: the last stretchable child takes what is left, rounding included.
    const UINT uCrossAlign = Axis::CrossAlign(self.m_iChildAlign, self.m_iChildVAlign);
    TAxisSize remaining = available;
    LONG pos = client.start - scrollPos.main;
    int iStretchable = 0;
    LONG fixedRemaining = fixedLength;
    int nPlaced = 0;
    for (int it = 0; it < items.GetSize(); ++it) {
        CControlUI* pControl = static_cast<CControlUI*>(items[it]);
        if (!pControl->IsVisible())
            continue;
        if (pControl->IsFloat()) {
            self.SetFloatPos(it);
            continue;
        }

        TAxisRect padding = Axis::Split(pControl->GetPadding());
        TAxisLimits limits = Axis::Limits(pControl);
        remaining.main -= padding.start;
        TAxisSize offer = {remaining.main, remaining.cross - padding.crossStart - padding.crossEnd};
        LimitOffer(offer, limits);

        fixedRemaining -= padding.start + padding.end;
        if (nPlaced > 0)
            fixedRemaining -= iChildPadding;

        TAxisSize sz = Axis::Split(pControl->EstimateSize(Axis::Join(offer)));
        if (sz.main == 0 || (Axis::kUnfixedChildStretches && limits.fixed.main == 0)) {
            ++iStretchable;
            sz.main = share;
            if (iStretchable == nStretchables) {
                sz.main = remaining.main - padding.end - fixedRemaining;
                if (sz.main < 0)
                    sz.main = 0;
            }
            sz.main = Clamp(sz.main, limits.min.main, limits.max.main);
        } else {
            sz.main = Clamp(sz.main, limits.min.main, limits.max.main);
            fixedRemaining -= sz.main;
        }

        // A child without a size of its own across takes the whole breadth offered.
        sz.cross = limits.max.cross;
        if (sz.cross == 0)
            sz.cross = available.cross - padding.crossStart - padding.crossEnd;
        if (sz.cross < 0) sz.cross = 0;
        if (sz.cross > offer.cross) sz.cross = offer.cross;
        if (sz.cross < limits.min.cross) sz.cross = limits.min.cross;

        TAxisRect rcCtrl;
        rcCtrl.start = pos + padding.start;
        rcCtrl.end = pos + padding.start + sz.main;
        if (uCrossAlign == Axis::kAlignCentre) {
            // The paddings across do not count here.
            LONG centre = (client.crossStart + client.crossEnd) / 2 + scrollRange.cross / 2 - scrollPos.cross;
            rcCtrl.crossStart = centre - sz.cross / 2;
            rcCtrl.crossEnd = centre + sz.cross - sz.cross / 2;
        } else if (uCrossAlign == Axis::kAlignEnd) {
            LONG edge = client.crossEnd + scrollRange.cross - scrollPos.cross;
            rcCtrl.crossStart = edge - padding.crossEnd - sz.cross;
            rcCtrl.crossEnd = edge - padding.crossEnd;
        } else {
            LONG edge = client.crossStart - scrollPos.cross;
            rcCtrl.crossStart = edge + padding.crossStart;
            rcCtrl.crossEnd = edge + padding.crossStart + sz.cross;
        }
        pControl->SetPos(Axis::Join(rcCtrl), false);

        pos += sz.main + iChildPadding + padding.start + padding.end;
        needed.main += sz.main + padding.start + padding.end;
        remaining.main -= sz.main + iChildPadding + padding.end;
        ++nPlaced;
    }
    needed.main += (nMeasured - 1) * iChildPadding;

    SIZE szNeeded = Axis::Join(needed);
    self.ProcessScrollBar(view.rcClient, szNeeded.cx, szNeeded.cy);
}

template <class Axis>
void TStackLayout<Axis>::SetSeparatorImmediate(Layout& self, bool bImmediately)
{
    if (self.m_bImmMode == bImmediately)
        return;
    if ((self.m_uButtonState & kSeparatorCaptured) != 0 && !self.m_bImmMode && self.m_pManager != NULL)
        self.m_pManager->RemovePostPaint(&self);
    self.m_bImmMode = bImmediately;
}

template <class Axis>
RECT TStackLayout<Axis>::GetSeparatorRect(const Layout& self, int iSepSize, bool bUseNew)
{
    bool bNew = (self.m_uButtonState & kSeparatorCaptured) != 0 && bUseNew;
    TAxisRect rc = Axis::Split(bNew ? self.m_rcNewPos : self.m_rcItem);
    if (iSepSize < 0) {
        LONG end = rc.start - iSepSize;
        if (Axis::kBandWithinLayout && end > rc.end)
            end = rc.end;
        rc.end = end;
    } else {
        LONG start = rc.end - iSepSize;
        if (Axis::kBandWithinLayout && start < rc.start)
            start = rc.start;
        rc.start = start;
    }
    return Axis::Join(rc);
}

template <class Axis>
void TStackLayout<Axis>::DoPostPaint(Layout& self, int iSepSize, HDC hDC)
{
    if ((self.m_uButtonState & kSeparatorCaptured) != 0 && !self.m_bImmMode)
        CUIPainter::DrawColor(hDC, GetSeparatorRect(self, iSepSize, true), kSeparatorFeedbackColour);
}

template <class Axis>
bool TStackLayout<Axis>::DoSeparatorEvent(Layout& self, int iSepSize, tagTEventUI& event)
{
    if (iSepSize == 0)
        return false;
    bool bDragging = (self.m_uButtonState & kSeparatorCaptured) != 0;
    switch (event.Type) {
    case UIEVENT_BUTTONDOWN: {
        RECT rcSeparator = GetSeparatorRect(self, iSepSize, false);
        if (!self.IsEnabled() || !::PtInRect(&rcSeparator, event.ptMouse))
            return false;
        self.m_uButtonState |= kSeparatorCaptured;
        self.m_ptLastMouse = event.ptMouse;
        self.m_rcNewPos = self.m_rcItem;
        if (!self.m_bImmMode && self.m_pManager != NULL)
            self.m_pManager->AddPostPaint(&self);
        return true;
    }
    case UIEVENT_BUTTONUP:
        if (!bDragging)
            return false;
        self.m_uButtonState &= ~kSeparatorCaptured;
        self.m_rcItem = self.m_rcNewPos;
        if (!self.m_bImmMode && self.m_pManager != NULL)
            self.m_pManager->RemovePostPaint(&self);
        self.NeedParentUpdate();
        return true;
    case UIEVENT_MOUSEMOVE:
        if (!bDragging)
            return false;
        DragSeparator(self, iSepSize, event.ptMouse);
        return true;
    case UIEVENT_SETCURSOR: {
        RECT rcSeparator = GetSeparatorRect(self, iSepSize, false);
        if (!self.IsEnabled() || !::PtInRect(&rcSeparator, event.ptMouse))
            return false;
        ::SetCursor(::LoadCursorW(NULL, Axis::SizingCursor()));
        return true;
    }
    default:
        return false;
    }
}

template <class Axis>
void TStackLayout<Axis>::DragSeparator(Layout& self, int iSepSize, POINT ptMouse)
{
    LONG d = Axis::Along(ptMouse) - Axis::Along(self.m_ptLastMouse);
    LONG mouse = Axis::Along(ptMouse);
    self.m_ptLastMouse = ptMouse;
    const TAxisRect rcOld = Axis::Split(self.m_rcNewPos);
    TAxisRect rc = rcOld;
    const TAxisLimits limits = Axis::Limits(&self);
    const LONG lengthMin = limits.min.main;
    const LONG lengthMax = limits.max.main;
    const LONG lengthOld = rcOld.end - rcOld.start;
    // Where a move away from the layout's middle starts to drag.
    const LONG outward = Axis::kDragFromOuterEdge ? iSepSize : -iSepSize;

    // Moves that point the wrong way are ignored; the moving edge is kept within the minimum and
    // maximum, and a drag that starts at one of them cannot go further.
    if (iSepSize >= 0) {
        if (d > 0 && mouse < rcOld.end + outward)
            return;
        if (d < 0 && mouse > rcOld.end)
            return;
        rc.end += d;
        if (rc.end - rc.start <= lengthMin) {
            if (lengthOld <= lengthMin)
                return;
            rc.end = rc.start + lengthMin;
        }
        if (rc.end - rc.start >= lengthMax) {
            if (lengthOld >= lengthMax)
                return;
            rc.end = rc.start + lengthMax;
        }
    } else {
        if (d > 0 && mouse < rcOld.start)
            return;
        if (d < 0 && mouse > rcOld.start + outward)
            return;
        rc.start += d;
        if (rc.end - rc.start <= lengthMin) {
            if (lengthOld <= lengthMin)
                return;
            rc.start = rc.end - lengthMin;
        }
        if (rc.end - rc.start >= lengthMax) {
            if (lengthOld >= lengthMax)
                return;
            rc.start = rc.end - lengthMax;
        }
    }

    RECT rcInvalidate = GetSeparatorRect(self, iSepSize, true);
    self.m_rcNewPos = Axis::Join(rc);
    // Written directly: the parent reads it at its next layout.
    TAxisSize fixed = Axis::Split(self.m_cxyFixed);
    fixed.main = rc.end - rc.start;
    self.m_cxyFixed = Axis::Join(fixed);
    if (self.m_bImmMode) {
        self.m_rcItem = self.m_rcNewPos;
        self.NeedParentUpdate();
        return;
    }
    RECT rcNewBand = GetSeparatorRect(self, iSepSize, true);
    RECT rcOldBand = GetSeparatorRect(self, iSepSize, false);
    ::UnionRect(&rcInvalidate, &rcInvalidate, &rcNewBand);
    ::UnionRect(&rcInvalidate, &rcInvalidate, &rcOldBand);
    if (self.m_pManager != NULL)
        self.m_pManager->Invalidate(rcInvalidate);
}

template struct TStackLayout<TVerticalAxis>;
template struct TStackLayout<THorizontalAxis>;

} // namespace Veneer
