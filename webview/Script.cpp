#include "Script.h"

#include <duktape/duktape.h>

#include <cstdlib>
#include <cstring>

#include "ScriptHost.h"
#include "ScriptWindow.h"
#include "ScriptNet.h"
#include "Text.h"
#include "View.h"

struct WvJsCall {
    duk_context* ctx;
    int argc;
};

namespace webview {

namespace {

const char kPrelude[] =
#include "ScriptPrelude.inc"
    ;
const char kDomPrelude[] =
#include "ScriptDomPrelude.inc"
    ;
const char kEventsPrelude[] =
#include "ScriptEventsPrelude.inc"
    ;
const char kFormsPrelude[] =
#include "ScriptFormsPrelude.inc"
    ;
const char kWindowPrelude[] =
#include "ScriptWindowPrelude.inc"
    ;

enum Op { OpLog, OpNavigate, OpReload, OpHref, OpResolve, OpTimer, OpClearTimer, OpXhr, OpXhrAbort };
const struct {
    const char* name;
    Op op;
} kNatives[] = {
    {"log", OpLog},         {"navigate", OpNavigate}, {"reload", OpReload}, {"href", OpHref},
    {"resolve", OpResolve}, {"timer", OpTimer},   {"clearTimer", OpClearTimer}, {"xhr", OpXhr},
    {"xhrAbort", OpXhrAbort},
};

Script* ScriptOf(duk_context* ctx) {
    return Script::Of(ctx);
}

std::string Arg(duk_context* ctx, int i) {
    if (i >= duk_get_top(ctx) || duk_is_null_or_undefined(ctx, i)) return std::string();
    duk_size_t n = 0;
    const char* s = duk_safe_to_lstring(ctx, i, &n);
    return std::string(s ? s : "", n);
}

uint32_t IdArg(duk_context* ctx, int i) {
    return i < duk_get_top(ctx) && duk_is_number(ctx, i) ? (uint32_t)duk_get_uint(ctx, i) : 0;
}

void PushString(duk_context* ctx, const std::string& s) {
    duk_push_lstring(ctx, s.data(), s.size());
}

duk_ret_t Native(duk_context* ctx) {
    Script* s = ScriptOf(ctx);
    // Many short native calls in a row (innerHTML += in a loop) meet the script's deadline here:
    // the engine's own check comes only every so many instructions.
    if (s->OverBudget()) return duk_range_error(ctx, "script deadline");
    WvView* v = s->View();
    switch ((Op)duk_get_current_magic(ctx)) {
    case OpLog:
        Log(v, Arg(ctx, 0));
        return 0;
    case OpNavigate:
        Navigate(v, ResolveUrl(v->url, Arg(ctx, 0)), WKE_NAVIGATION_OTHER, duk_get_boolean_default(ctx, 1, 0) != 0);
        return 0;
    case OpReload:
        ReloadView(v);
        return 0;
    case OpHref:
        PushString(ctx, v->url);
        return 1;
    case OpResolve:
        PushString(ctx, ResolveUrl(v->url, Arg(ctx, 0)));
        return 1;
    case OpTimer:
        AddTimer(v, (int)IdArg(ctx, 0), duk_get_int_default(ctx, 1, 0), duk_get_boolean_default(ctx, 2, 0) != 0);
        return 0;
    case OpClearTimer:
        ClearTimer(v, (int)IdArg(ctx, 0));
        return 0;
    case OpXhr:
        StartXhr(v, (int)IdArg(ctx, 0), Arg(ctx, 1), ResolveUrl(v->url, Arg(ctx, 2)), Arg(ctx, 3));
        return 0;
    case OpXhrAbort:
        AbortXhr(v, (int)IdArg(ctx, 0));
        return 0;
    }
    return 0;
}

duk_ret_t BoundTrampoline(duk_context* ctx) {
    const auto& bindings = Bindings();
    int index = duk_get_current_magic(ctx);
    if (index < 0 || index >= (int)bindings.size()) return 0;
    WvJsCall call{ctx, (int)duk_get_top(ctx)};
    DWORD t0 = GetTickCount();
    bindings[index].function(&call);
    ScriptOf(ctx)->PauseBudget(GetTickCount() - t0);
    return 0;
}

void* HeapAlloc(void* udata, duk_size_t size) {
    return MeteredAlloc(static_cast<Script*>(udata)->Meter(), size);
}
void* HeapRealloc(void* udata, void* ptr, duk_size_t size) {
    return MeteredRealloc(static_cast<Script*>(udata)->Meter(), ptr, size);
}
void HeapFree(void* udata, void* ptr) {
    MeteredFree(static_cast<Script*>(udata)->Meter(), ptr);
}

void Fatal(void* udata, const char* msg) {
    // Only reached for an error outside every protected call: the calls below are all protected.
    OutputDebugStringA("webview: script engine fatal error: ");
    OutputDebugStringA(msg ? msg : "");
    abort();
}

}  // namespace

duk_ret_t ToIntSafe(duk_context* ctx, void* udata) {
    *static_cast<int*>(udata) = duk_to_int32(ctx, -1);
    return 0;
}

Script* Script::Of(duk_context* ctx) {
    duk_memory_functions mf;
    duk_get_memory_functions(ctx, &mf);
    return static_cast<Script*>(mf.udata);
}

namespace {

// Runs one prelude (a function expression) with the values pushed by push(); leaves its result.
template <class F> bool RunPrelude(duk_context* ctx, const char* code, int nargs, F push) {
    if (duk_peval_string(ctx, code) != 0) return false;
    push();
    return duk_pcall(ctx, nargs) == 0;
}

}  // namespace

Script::Script(WvView* view) : m_view(view) {
    m_document = DocumentOf(view);
    if (m_document) dom_node_ref(m_document);
    m_ctx = duk_create_heap(HeapAlloc, HeapRealloc, HeapFree, this, Fatal);
    if (!m_ctx) return;
    duk_context* ctx = m_ctx;
    duk_push_global_stash(ctx);                                    // stash
    // The document's preludes share S; the events prelude returns the input entry points.
    duk_push_object(ctx);                                          // stash S
    bool ok = RunPrelude(ctx, kDomPrelude, 3, [&] {
        PushDomNatives(ctx);
        duk_push_global_object(ctx);
        duk_dup(ctx, 1);
    });
    if (ok) {
        duk_pop(ctx);
        ok = RunPrelude(ctx, kWindowPrelude, 4, [&] {
            PushWindowNatives(ctx);
            PushDomNatives(ctx);
            duk_push_global_object(ctx);
            duk_dup(ctx, 1);
        });
    }
    if (ok) {
        duk_pop(ctx);
        ok = RunPrelude(ctx, kEventsPrelude, 3, [&] {
            PushDomNatives(ctx);
            duk_push_global_object(ctx);
            duk_dup(ctx, 1);
        });                                                        // stash S events
    }
    if (ok) {
        ok = RunPrelude(ctx, kFormsPrelude, 3, [&] {
            PushFormNatives(ctx);
            duk_push_global_object(ctx);
            duk_dup(ctx, 1);
        });                                                        // stash S events forms
        if (ok) duk_put_prop_string(ctx, 0, "forms");
    }
    if (ok) {
        duk_remove(ctx, 1);                                        // stash events
        ok = RunPrelude(ctx, kPrelude, 2, [&] {
            duk_push_object(ctx);
            for (const auto& n : kNatives) {
                duk_push_c_function(ctx, Native, DUK_VARARGS);
                duk_set_magic(ctx, -1, n.op);
                duk_put_prop_string(ctx, -2, n.name);
            }
            duk_push_global_object(ctx);
        });                                                        // stash events entries
    }
    if (!ok) {
        Report("prelude");
        duk_set_top(ctx, 0);
        return;
    }
    duk_enum(ctx, 1, DUK_ENUM_OWN_PROPERTIES_ONLY);                // stash events entries enum
    while (duk_next(ctx, 3, 1)) duk_put_prop(ctx, 2);
    duk_pop(ctx);
    duk_put_prop_string(ctx, 0, "entries");
    duk_set_top(ctx, 0);
    InstallNetBindings(ctx);
    for (size_t i = 0; i < Bindings().size(); ++i) DefineBinding(i);
}

Script::~Script() {
    // Wrappers' finalizers release their nodes while the document is still held.
    if (m_ctx) duk_destroy_heap(m_ctx);
    if (m_document) dom_node_unref(m_document);
}

namespace {
duk_ret_t DefineSafe(duk_context* ctx, void* udata) {
    size_t index = *static_cast<size_t*>(udata);
    duk_push_global_object(ctx);
    duk_push_c_function(ctx, BoundTrampoline, DUK_VARARGS);
    duk_set_magic(ctx, -1, (int)index);
    duk_put_prop_string(ctx, -2, Bindings()[index].name.c_str());
    duk_pop(ctx);
    return 0;
}
}  // namespace

void Script::DefineBinding(size_t index) {
    if (!m_ctx) return;
    // Protected: a page may have made a global of that name read-only.
    if (duk_safe_call(m_ctx, DefineSafe, &index, 0, 1) != 0) Report("binding");
    duk_pop(m_ctx);
}

void Script::PauseBudget(DWORD elapsed) {
    m_start += elapsed;
}

bool Script::OverBudget() const {
    return m_depth > 0 && (m_meter.exceeded || GetTickCount() - m_start > kCallCapMs);
}

void Script::Enter() {
    if (m_depth++ == 0) m_start = GetTickCount();
}

void Script::Leave() {
    if (--m_depth == 0) m_lastExhausted = m_meter.exceeded || GetTickCount() - m_start > kTickBudgetMs;
}

void Script::Reap() {
    if (m_depth > 0 || !m_ctx || !m_meter.exceeded) return;
    Log(m_view, "script heap limit reached: the page's scripts are stopped");
    duk_destroy_heap(m_ctx);
    m_ctx = nullptr;
    m_view->timers.clear();
}

namespace {
struct CallArgs {
    const char* table;
    const char* name;
    const std::function<int(duk_context*)>* push;
};
duk_ret_t CallSafe(duk_context* ctx, void* udata) {
    CallArgs* a = static_cast<CallArgs*>(udata);
    duk_push_global_stash(ctx);
    duk_get_prop_string(ctx, -1, a->table);
    duk_get_prop_string(ctx, -1, a->name);
    int nargs = (*a->push)(ctx);
    duk_call(ctx, nargs);
    return 1;
}
}  // namespace

bool Script::Call(const char* table, const char* name, const std::function<int(duk_hthread*)>& push) {
    if (!m_ctx) return false;
    CallbackScope scope;
    CallArgs args{table, name, &push};
    Enter();
    bool ok = duk_safe_call(m_ctx, CallSafe, &args, 0, 1) == 0;
    Leave();
    if (!ok) Report(name);
    duk_pop(m_ctx);
    Reap();
    return ok;
}

// A script that does not compile: one line naming the file (its URL, or "inline") and the line.
void Script::ReportSyntax(const std::string& source) {
    std::string msg = duk_safe_to_string(m_ctx, -1);
    long line = 0;
    size_t at = msg.rfind("(line ");
    if (at != std::string::npos) {
        line = strtol(msg.c_str() + at + 6, nullptr, 10);
        msg.erase(msg.find_last_not_of(' ', at - 1) + 1);
    } else if (duk_is_object(m_ctx, -1)) {
        duk_get_prop_string(m_ctx, -1, "lineNumber");
        line = (long)duk_get_int_default(m_ctx, -1, 0);
        duk_pop(m_ctx);
    }
    Log(m_view, "script error in " + source + " at line " + std::to_string(line) + ": " + msg);
}

void Script::Report(const char* where) {
    if (m_meter.exceeded) return;  // reading the error could need memory the heap no longer has
    std::string msg = where;
    msg += ": ";
    if (duk_is_error(m_ctx, -1)) {
        duk_get_prop_string(m_ctx, -1, "stack");
        msg += duk_safe_to_string(m_ctx, -1);
        duk_pop(m_ctx);
    } else {
        msg += duk_safe_to_string(m_ctx, -1);
    }
    Log(m_view, msg);
}

// Expects the entry's arguments on the stack; calls the prelude's entry with them.
bool Script::CallEntry(const char* name, int nargs, int* result) {
    duk_context* ctx = m_ctx;
    duk_push_global_stash(ctx);
    duk_get_prop_string(ctx, -1, "entries");
    duk_get_prop_string(ctx, -1, name);
    duk_remove(ctx, -2);
    duk_remove(ctx, -2);
    duk_insert(ctx, -(nargs + 1));
    CallbackScope scope;
    Enter();
    bool ok = duk_pcall(ctx, nargs) == 0;
    Leave();
    if (!ok) Report(name);
    else if (result) *result = duk_is_number(ctx, -1) ? duk_get_int(ctx, -1) : 0;
    duk_pop(ctx);
    Reap();
    return ok;
}

void Script::Run(const std::string& code, const std::string& source) {
    if (!m_ctx) return;
    CallbackScope scope;
    duk_push_lstring(m_ctx, source.data(), source.size());
    if (duk_pcompile_lstring_filename(m_ctx, 0, code.data(), code.size()) != 0) {
        ReportSyntax(source);
        duk_pop(m_ctx);
        return;
    }
    Enter();
    bool ok = duk_pcall(m_ctx, 0) == 0;
    Leave();
    if (!ok) Report(source.c_str());
    duk_pop(m_ctx);
    Reap();
}

void Script::FireLoad() {
    if (m_ctx) CallEntry("load", 0, nullptr);
}

int Script::Mouse(dom_node* target, const char* type, const MouseInit& m) {
    if (!m_ctx || !target) return 0;
    int r = 0;
    PushNode(m_ctx, target);
    duk_push_string(m_ctx, type);
    const int values[] = {m.clientX, m.clientY, m.offsetX, m.offsetY, m.button, m.buttons, m.detail};
    for (int v : values) duk_push_int(m_ctx, v);
    PushNode(m_ctx, m.related);
    duk_push_uint(m_ctx, m.flags);
    CallEntry("mouse", 11, &r);
    return r;
}

int Script::Key(dom_node* target, const char* type, const KeyInit& k) {
    if (!m_ctx) return 0;
    int r = 0;
    PushNode(m_ctx, target);
    duk_push_string(m_ctx, type);
    PushString(m_ctx, k.key);
    PushString(m_ctx, k.code);
    duk_push_uint(m_ctx, k.keyCode);
    duk_push_uint(m_ctx, k.charCode);
    duk_push_boolean(m_ctx, k.repeat);
    duk_push_uint(m_ctx, k.modifiers);
    CallEntry("key", 8, &r);
    return r;
}

void Script::FireTimer(int id) {
    if (!m_ctx) return;
    bool repeat = false;
    for (const auto& t : m_view->timers)
        if (t.id == id) repeat = t.repeat;
    duk_push_int(m_ctx, id);
    duk_push_boolean(m_ctx, repeat);
    CallEntry("timer", 2, nullptr);
}

void Script::XhrDone(int id, long status, const std::string& text) {
    if (!m_ctx) return;
    duk_push_int(m_ctx, id);
    duk_push_int(m_ctx, (int)status);
    PushString(m_ctx, text);
    CallEntry("xhrDone", 3, nullptr);
}

}  // namespace webview

extern "C" duk_bool_t webview_script_timed_out(void* udata) {
    const webview::Script* s = static_cast<const webview::Script*>(udata);
    return s && s->OverBudget();
}

extern "C" {

jsValue wkeJSParam(jsExecState es, int index) {
    return es && index >= 0 && index < es->argc ? index + 1 : 0;
}

int wkeJSToInt(jsExecState es, jsValue value) {
    if (!es || value <= 0 || value > es->argc) return 0;
    int out = 0;
    duk_dup(es->ctx, (duk_idx_t)(value - 1));
    if (duk_safe_call(es->ctx, webview::ToIntSafe, &out, 1, 1) != 0) out = 0;
    duk_pop(es->ctx);
    return out;
}

jsValue wkeJSUndefined(jsExecState) {
    return 0;
}
}
