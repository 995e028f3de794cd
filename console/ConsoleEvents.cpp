#include "ConsoleEvents.h"
#include <atomic>
#include "SysHelpers.h"

namespace consoleevents {
namespace {

std::atomic<IConsoleEvents*> g_observer{nullptr};

}  // namespace

void SetObserver(IConsoleEvents* observer) { g_observer.store(observer); }

bool Observed() { return g_observer.load() != nullptr; }

void Raise(const wchar_t* kind, const std::wstring& first, const std::wstring& second)
{
    if (IConsoleEvents* observer = g_observer.load())
        observer->OnEvent(kind, first, second);
}

void RaiseA(const wchar_t* kind, const std::string& first, const std::string& second)
{
    if (IConsoleEvents* observer = g_observer.load())
        observer->OnEvent(kind, AnsiToWide(first), AnsiToWide(second));
}

void Painted(Veneer::CPaintManagerUI& manager, const wchar_t* scope)
{
    if (IConsoleEvents* observer = g_observer.load())
        observer->OnPainted(manager, scope);
}

void ManagerGone(Veneer::CPaintManagerUI& manager)
{
    if (IConsoleEvents* observer = g_observer.load())
        observer->OnManagerGone(manager);
}

}  // namespace consoleevents
