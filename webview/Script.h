// The JavaScript of one document: a duktape heap with the page's globals (window, document and
// its elements, location, timers, XMLHttpRequest, console, alert, the bound functions). Every call
// into it runs under a time budget and catches exceptions. Owned by the view; replaced with each
// document.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "ScriptLimits.h"

struct WvView;
struct duk_hthread;

namespace webview {

class Script {
public:
    explicit Script(WvView* view);
    ~Script();

    void Run(const std::string& code, const std::string& source);
    void FireLoad();
    // Runs the click handlers from the node up; bit 1: a handler ran, bit 2: default prevented.
    int Click(uint32_t node);
    bool Key(const char* type, unsigned code);
    void FireTimer(int id);
    void XhrDone(int id, long status, const std::string& text);
    // Defines a bound function that was added after the heap was made.
    void DefineBinding(size_t index);

    // Calls function `name` of the object kept in the heap's stash under `table` with the
    // arguments push leaves on the stack (it returns their count); protected, under the budget.
    bool Call(const char* table, const char* name, const std::function<int(duk_hthread*)>& push);

    // Time spent in a bound native function does not count against the budget.
    void PauseBudget(DWORD elapsed);
    bool OverBudget() const;
    // The last outermost call used a whole tick's budget (or was stopped).
    bool LastCallExhausted() const { return m_lastExhausted; }
    HeapMeter& Meter() { return m_meter; }

    WvView* View() const { return m_view; }

private:
    bool CallEntry(const char* name, int nargs, int* result);
    void Report(const char* where);
    void Enter();
    void Leave();
    // Ends the heap once it has run out of memory and no call is under way.
    void Reap();

    WvView* m_view;
    HeapMeter m_meter;
    duk_hthread* m_ctx = nullptr;
    DWORD m_start = 0;
    int m_depth = 0;
    bool m_lastExhausted = false;
};

}  // namespace webview
