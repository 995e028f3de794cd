// The JavaScript of one document: a duktape heap with the page's globals (window, document and
// its nodes, events, location, timers, XMLHttpRequest, console, alert, storage, the bound
// functions). Every call into it runs under a time budget and catches exceptions. Owned by the
// view; replaced with each document. It holds a reference to its libdom document until the heap
// (and every node wrapper's finalizer) is gone.
#pragma once
#include <windows.h>

#include "DomApi.h"

#include <cstdint>
#include <functional>
#include <string>

#include "ScriptDom.h"
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
    // Input events dispatched at a node (capture, target, bubble); bit 1: a listener or handler
    // ran, bit 2: the default action was prevented.
    struct MouseInit {
        int clientX = 0, clientY = 0, offsetX = 0, offsetY = 0;
        int button = 0, buttons = 0, detail = 0;
        unsigned flags = 0;          // MK_ bits
        dom_node* related = nullptr;  // mouseover/mouseout: the node left or entered
    };
    int Mouse(dom_node* target, const char* type, const MouseInit& init);
    struct KeyInit {
        std::string key, code;
        unsigned keyCode = 0, charCode = 0;
        bool repeat = false;
        unsigned modifiers = 0;  // 1 ctrl, 2 shift, 4 alt
    };
    int Key(dom_node* target, const char* type, const KeyInit& init);
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
    dom_node* DocumentNode() const { return m_document; }
    static Script* Of(duk_hthread* ctx);

    DomState dom;  // the node bindings' per-document state

private:
    bool CallEntry(const char* name, int nargs, int* result);
    void Report(const char* where);
    void ReportSyntax(const std::string& source);
    void Enter();
    void Leave();
    // Ends the heap once it has run out of memory and no call is under way.
    void Reap();

    WvView* m_view;
    dom_node* m_document = nullptr;
    HeapMeter m_meter;
    duk_hthread* m_ctx = nullptr;
    DWORD m_start = 0;
    int m_depth = 0;
    bool m_lastExhausted = false;
};

}  // namespace webview
