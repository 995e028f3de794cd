#include "UINativeChild.h"
#include "UIControl.h"

namespace Veneer {

RECT ClipToAncestors(CControlUI* pControl, RECT rc)
{
    RECT rcEmpty = {0, 0, 0, 0};
    for (CControlUI* pParent = pControl->GetParent(); pParent != NULL; pParent = pParent->GetParent()) {
        if (!pParent->IsVisible()) return rcEmpty;
        RECT rcParent = pParent->GetClientPos();
        RECT rcTemp = rc;
        if (!::IntersectRect(&rc, &rcTemp, &rcParent)) return rcEmpty;
    }
    return rc;
}

void PlaceNativeChild(HWND hWnd, const RECT& rc)
{
    if (::IsRectEmpty(&rc))
        ::ShowWindow(hWnd, SW_HIDE);
    else
        ::SetWindowPos(hWnd, NULL, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top,
                       SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

} // namespace Veneer
