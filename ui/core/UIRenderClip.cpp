// Render engine: CUIClipRegion, the scoped clip that containers and rounded controls put around
// their painting.
#include "UIRender.h"
#include "UIRenderPrivate.h"

namespace Veneer {

using namespace render_detail;

CUIClipRegion::CUIClipRegion() : hDC(NULL), hRgn(NULL), hOldRgn(NULL)
{
    ZeroRect(rcItem);
}

CUIClipRegion::~CUIClipRegion()
{
    if (hDC != NULL && hOldRgn != NULL) ::SelectClipRgn(hDC, hOldRgn);
    if (hOldRgn != NULL) ::DeleteObject(hOldRgn);
    if (hRgn != NULL) ::DeleteObject(hRgn);
}

void CUIClipRegion::ClipRect(HDC hDC, const RECT& rc, CUIClipRegion& clip)
{
    RECT rcClip = {0, 0, 0, 0};
    ::GetClipBox(hDC, &rcClip);
    if (clip.hOldRgn != NULL) ::DeleteObject(clip.hOldRgn);
    if (clip.hRgn != NULL) ::DeleteObject(clip.hRgn);
    clip.hOldRgn = ::CreateRectRgnIndirect(&rcClip);
    clip.hRgn = ::CreateRectRgnIndirect(&rc);
    ::ExtSelectClipRgn(hDC, clip.hRgn, RGN_AND);
    clip.hDC = hDC;
    clip.rcItem = rc;
}

void CUIClipRegion::ClipRoundRect(HDC hDC, const RECT& rc, const RECT& rcItem, int width, int height,
                                  CUIClipRegion& clip)
{
    RECT rcClip = {0, 0, 0, 0};
    ::GetClipBox(hDC, &rcClip);
    if (clip.hOldRgn != NULL) ::DeleteObject(clip.hOldRgn);
    if (clip.hRgn != NULL) ::DeleteObject(clip.hRgn);
    clip.hOldRgn = ::CreateRectRgnIndirect(&rcClip);
    clip.hRgn = ::CreateRectRgnIndirect(&rc);
    HRGN hRgnItem = ::CreateRoundRectRgn(rcItem.left, rcItem.top, rcItem.right + 1, rcItem.bottom + 1, width, height);
    ::CombineRgn(clip.hRgn, clip.hRgn, hRgnItem, RGN_AND);
    ::ExtSelectClipRgn(hDC, clip.hRgn, RGN_AND);
    clip.hDC = hDC;
    clip.rcItem = rc;
    ::DeleteObject(hRgnItem);
}

void CUIClipRegion::SelectOldClip(HDC hDC, CUIClipRegion& clip)
{
    ::SelectClipRgn(hDC, clip.hOldRgn);
}

void CUIClipRegion::SelectNewClip(HDC hDC, CUIClipRegion& clip)
{
    ::SelectClipRgn(hDC, clip.hRgn);
}

} // namespace Veneer
