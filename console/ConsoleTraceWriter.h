// Test hook of the console. When the environment variable PELLMORA_TEST_TRACE names a file (it is
// unset in the field), the console appends one UTF-8 line per event to it, fields separated by
// tabs, so that a test in another process can follow what the program does:
//   text <name> <text>           a text set on a named control
//   visible <name> 0|1           a named control shown or hidden
//   notify <type> <name>         a notification the window handled
//   rect <name> l,t,r,b          a named control's rectangle after a layout (client coordinates);
//                                <scope>:<name> for a window that traces its rectangles scoped
//   update <what> <detail>       the update check's states and steps
//   image <name> <path>          a background picture set on a named control
//   player <what> <detail>       the customer page's steps: socket (page loaded), call (code,uid
//                                from the page), openinfo (uid ok|failed), photo (1|0), openstate
//                                (each code, or failed), agent (sent|failed|none), qrcode (content),
//                                button (okBtn|cancleBtn acted on, with a customer)
// Lines are written whole with one append each, from any thread.
#pragma once
#include <string>

namespace Veneer {
class CPaintManagerUI;
}

namespace testhook {

bool Enabled();
void Trace(const wchar_t* kind, const std::wstring& first, const std::wstring& second);
void TraceA(const wchar_t* kind, const std::string& first, const std::string& second);

// Writes the rectangles of the named controls whose rectangle changed since the last call for
// the same manager (nothing when the hook is off). A scope (a window's class name) tells its
// controls apart from those of the same name in another window.
void TraceRects(Veneer::CPaintManagerUI& manager, const wchar_t* scope = nullptr);
// Forgets what TraceRects wrote for the manager (before the manager goes away).
void ForgetRects(Veneer::CPaintManagerUI& manager);

}  // namespace testhook
