#include "CaptionHitTest.h"
#include <wchar.h>
#include "UIControl.h"
#include "UIManager.h"

using namespace Veneer;

LRESULT CaptionHitTest(HWND hwnd, CPaintManagerUI& manager, LPARAM lParam, const wchar_t* const* classes)
{
    POINT pt = {GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ::ScreenToClient(hwnd, &pt);
    RECT client;
    ::GetClientRect(hwnd, &client);
    const RECT& caption = manager.GetCaptionRect();
    bool inCaption = pt.x >= client.left + caption.left && pt.x < client.right - caption.right &&
                     pt.y >= caption.top && pt.y < caption.bottom;
    if (!inCaption)
        return HTCLIENT;
    CControlUI* control = manager.FindControl(pt);
    if (control == nullptr)
        return HTCLIENT;
    const wchar_t* cls = control->GetClass();
    for (const wchar_t* const* c = classes; *c != nullptr; ++c)
        if (cls != nullptr && wcscmp(cls, *c) == 0)
            return HTCLIENT;
    return HTCAPTION;
}
