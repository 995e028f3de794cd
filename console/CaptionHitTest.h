// The non-client hit test of the console's frameless windows: inside the skin's caption area a
// press drags the window, except over controls of the listed classes, which stay clickable.
#pragma once
#include <windows.h>

namespace Veneer {
class CPaintManagerUI;
}

// classes: null-terminated list of control class names that stay client area.
LRESULT CaptionHitTest(HWND hwnd, Veneer::CPaintManagerUI& manager, LPARAM lParam, const wchar_t* const* classes);
