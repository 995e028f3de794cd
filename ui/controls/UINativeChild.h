// Helpers of the controls that open a native child window over themselves (edit, date-time
// picker): the rectangle walk up the control tree and the placing of the child after a move.
#pragma once
#include "UIDefs.h"

namespace Veneer {

class CControlUI;

// rc clipped by the client rectangle of every ancestor of pControl; empty when an ancestor is
// hidden or the clip leaves nothing.
RECT ClipToAncestors(CControlUI* pControl, RECT rc);

// Moves the child to rc, or hides it when rc is empty.
void PlaceNativeChild(HWND hWnd, const RECT& rc);

} // namespace Veneer
