// Hook points of the console: its windows, pages and update check tell here what they do (a text
// set on a named control, a page selected, a notification handled, a step of the update check).
// The shipped program installs no observer, so an event costs a pointer test and does no I/O; the
// tests' build of the program and the test programs install one that writes the events down.
// The observer is installed once, before any window or thread exists, and outlives them; events
// come from the UI thread and from the update timer thread.
#pragma once
#include <string>

namespace Veneer {
class CPaintManagerUI;
}

class IConsoleEvents {
public:
    virtual ~IConsoleEvents() = default;
    // One event: its kind and two fields (texts in UTF-16).
    virtual void OnEvent(const wchar_t* kind, const std::wstring& first, const std::wstring& second) = 0;
    // A window of the manager has painted (its layout may have changed). A scope (the window's
    // class name) tells its controls apart from those of the same name in another window.
    virtual void OnPainted(Veneer::CPaintManagerUI& manager, const wchar_t* scope) = 0;
    // The manager is about to go away.
    virtual void OnManagerGone(Veneer::CPaintManagerUI& manager) = 0;
};

namespace consoleevents {

// Null removes the observer.
void SetObserver(IConsoleEvents* observer);
bool Observed();
void Raise(const wchar_t* kind, const std::wstring& first, const std::wstring& second);
// The fields as narrow texts in the ANSI code page.
void RaiseA(const wchar_t* kind, const std::string& first, const std::string& second);
void Painted(Veneer::CPaintManagerUI& manager, const wchar_t* scope = nullptr);
void ManagerGone(Veneer::CPaintManagerUI& manager);

}  // namespace consoleevents
