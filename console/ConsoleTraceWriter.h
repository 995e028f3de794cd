// The console's events written down for the tests (never part of the shipped program: only the
// tests' build of Pellmora and the test programs link it and install it as the observer). When
// the environment variable PELLMORA_TEST_TRACE names a file, every event is appended to it as
// one UTF-8 line, fields separated by tabs, so that a test in another process can follow what
// the program does:
//   text <name> <text>           a text set on a named control
//   visible <name> 0|1           a named control shown or hidden
//   notify <type> <name>         a notification the window handled
//   rect <name> l,t,r,b          a named control's rectangle after a layout (client coordinates);
//                                <scope>:<name> for a window that reports its paints scoped
//   update <what> <detail>       the update check's states and steps
//   image <name> <path>          a background picture set on a named control
//   player <what> <detail>       the customer page's steps: socket (page loaded), call (code,uid
//                                from the page), openinfo (uid ok|failed), photo (1|0), openstate
//                                (each code, or failed), agent (sent|failed|none), qrcode (content),
//                                button (okBtn|cancleBtn acted on, with a customer)
// Lines are written whole with one append each, from any thread. The writer holds the rectangles
// it last wrote per paint manager; it lives as long as the program.
#pragma once
#include <map>
#include <mutex>
#include <string>
#include <windows.h>
#include "ConsoleEvents.h"

class CConsoleTraceWriter : public IConsoleEvents {
public:
    // Installs one writer for the rest of the process (the first call; later ones do nothing).
    static void Install();

    void OnEvent(const wchar_t* kind, const std::wstring& first, const std::wstring& second) override;
    // Writes the rectangles of the named controls whose rectangle changed since the last paint of
    // the same manager (nothing while the variable is unset).
    void OnPainted(Veneer::CPaintManagerUI& manager, const wchar_t* scope) override;
    void OnManagerGone(Veneer::CPaintManagerUI& manager) override;

private:
    std::mutex m_lock;
    std::map<const Veneer::CPaintManagerUI*, std::map<std::wstring, RECT>> m_seen;
};
