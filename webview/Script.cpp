#include "Script.h"

#include <duktape/duktape.h>

#include <cstring>

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

enum Op {
    OpLog, OpGet, OpSet, OpAttr, OpSetAttr, OpParent, OpById, OpBody, OpRoot, OpNavigate, OpReload, OpHref,
    OpResolve, OpTimer, OpClearTimer, OpXhr, OpXhrAbort
};
const struct {
    const char* name;
    Op op;
} kNatives[] = {
    {"log", OpLog},         {"get", OpGet},       {"set", OpSet},           {"attr", OpAttr},
    {"setAttr", OpSetAttr}, {"parent", OpParent}, {"byId", OpById},         {"body", OpBody},
    {"root", OpRoot},       {"navigate", OpNavigate}, {"reload", OpReload}, {"href", OpHref},
    {"resolve", OpResolve}, {"timer", OpTimer},   {"clearTimer", OpClearTimer}, {"xhr", OpXhr},
    {"xhrAbort", OpXhrAbort},
};

Script* ScriptOf(duk_context* ctx) {
    duk_memory_functions mf;
    duk_get_memory_functions(ctx, &mf);
    return static_cast<Script*>(mf.udata);
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

bool IsVoid(const std::string& t) {
    static const char* kVoid[] = {"br", "img", "hr", "meta", "link", "input", "area", "base", "col", "wbr"};
    for (const char* v : kVoid)
        if (t == v) return true;
    return false;
}

void Escape(const std::string& s, std::string& out, bool attr) {
    for (char c : s) {
        if (c == '&') out += "&amp;";
        else if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else if (c == '"' && attr) out += "&quot;";
        else out += c;
    }
}

void Serialize(const Node* n, std::string& out) {
    for (const auto& cp : n->children) {
        const Node* c = cp.get();
        if (!c->element) {
            if (n->tag == "script" || n->tag == "style") out += c->text;
            else Escape(c->text, out, false);
            continue;
        }
        out += "<" + c->tag;
        for (const auto& a : c->attrs) {
            out += " " + a.first + "=\"";
            Escape(a.second, out, true);
            out += "\"";
        }
        out += ">";
        if (IsVoid(c->tag)) continue;
        Serialize(c, out);
        out += "</" + c->tag + ">";
    }
}

// Replaces or adds one declaration of a script-set style.
void SetOverride(Node* n, const std::string& decl) {
    Declarations cur = ParseDeclarations(n->styleOverride);
    Declarations add = ParseDeclarations(decl);
    for (const auto& kv : add.items) {
        bool found = false;
        for (auto& c : cur.items)
            if (c.first == kv.first) c.second = kv.second, found = true;
        if (!found) cur.items.push_back(kv);
    }
    std::string s;
    for (const auto& kv : cur.items) s += kv.first + ":" + kv.second + ";";
    n->styleOverride = s;
}

std::string GetOverride(const Node* n, const std::string& prop) {
    std::string v;
    for (const std::string* src : {n->Attr("style"), &n->styleOverride}) {
        if (!src) continue;
        for (const auto& kv : ParseDeclarations(*src).items)
            if (kv.first == prop) v = kv.second;
    }
    return v;
}

duk_ret_t Native(duk_context* ctx) {
    Script* s = ScriptOf(ctx);
    // Many short native calls in a row (innerHTML += in a loop) meet the script's deadline here:
    // the engine's own check comes only every so many instructions.
    if (s->OverBudget()) return duk_range_error(ctx, "script deadline");
    WvView* v = s->View();
    Document& doc = v->doc;
    Node* n = doc.ById(IdArg(ctx, 0));
    switch ((Op)duk_get_current_magic(ctx)) {
    case OpLog:
        Log(v, Arg(ctx, 0));
        return 0;
    case OpGet: {
        std::string what = Arg(ctx, 1), r;
        if (n && what == "html") Serialize(n, r);
        else if (n && what == "text") r = n->TextContent();
        else if (n && what == "tag") r = n->tag;
        else if (n && what.compare(0, 4, "css:") == 0) r = GetOverride(n, what.substr(4));
        PushString(ctx, r);
        return 1;
    }
    case OpSet: {
        if (!n) return 0;
        std::string what = Arg(ctx, 1), value = Arg(ctx, 2);
        if (what == "html") doc.SetInnerHtml(n, value);
        else if (what == "text") doc.SetTextContent(n, value);
        else if (what == "css") SetOverride(n, value);
        MarkLayout(v);
        return 0;
    }
    case OpAttr: {
        const std::string* a = n && n->element ? n->Attr(Arg(ctx, 1).c_str()) : nullptr;
        if (a) PushString(ctx, *a);
        else duk_push_null(ctx);
        return 1;
    }
    case OpSetAttr:
        if (n && n->element) {
            n->SetAttr(Arg(ctx, 1), Arg(ctx, 2));
            MarkLayout(v);
        }
        return 0;
    case OpParent:
        duk_push_uint(ctx, n && n->parent ? n->parent->id : 0);
        return 1;
    case OpById: {
        Node* e = doc.ElementById(Arg(ctx, 0));
        duk_push_uint(ctx, e ? e->id : 0);
        return 1;
    }
    case OpBody:
        duk_push_uint(ctx, doc.Body()->id);
        return 1;
    case OpRoot:
        duk_push_uint(ctx, doc.Root()->id);
        return 1;
    case OpNavigate:
        Navigate(v, ResolveUrl(doc.Url(), Arg(ctx, 0)), WKE_NAVIGATION_OTHER, duk_get_boolean_default(ctx, 1, 0) != 0);
        return 0;
    case OpReload:
        ReloadView(v);
        return 0;
    case OpHref:
        PushString(ctx, doc.Url());
        return 1;
    case OpResolve:
        PushString(ctx, ResolveUrl(doc.Url(), Arg(ctx, 0)));
        return 1;
    case OpTimer:
        AddTimer(v, (int)IdArg(ctx, 0), duk_get_int_default(ctx, 1, 0), duk_get_boolean_default(ctx, 2, 0) != 0);
        return 0;
    case OpClearTimer:
        ClearTimer(v, (int)IdArg(ctx, 0));
        return 0;
    case OpXhr:
        StartXhr(v, (int)IdArg(ctx, 0), Arg(ctx, 1), ResolveUrl(doc.Url(), Arg(ctx, 2)), Arg(ctx, 3));
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

Script::Script(WvView* view) : m_view(view) {
    m_ctx = duk_create_heap(HeapAlloc, HeapRealloc, HeapFree, this, Fatal);
    if (!m_ctx) return;
    duk_context* ctx = m_ctx;
    duk_push_global_stash(ctx);                                   // stash
    if (duk_peval_string(ctx, kPrelude) != 0) {                    // stash prelude
        Report("prelude");
        duk_pop_2(ctx);
        return;
    }
    duk_push_object(ctx);                                          // stash prelude N
    for (const auto& n : kNatives) {
        duk_push_c_function(ctx, Native, DUK_VARARGS);
        duk_set_magic(ctx, -1, n.op);
        duk_put_prop_string(ctx, -2, n.name);
    }
    duk_push_global_object(ctx);                                   // stash prelude N G
    if (duk_pcall(ctx, 2) != 0) {                                  // stash entries
        Report("prelude");
        duk_pop_2(ctx);
        return;
    }
    duk_put_prop_string(ctx, -2, "entries");
    duk_pop(ctx);
    InstallNetBindings(ctx);
    for (size_t i = 0; i < Bindings().size(); ++i) DefineBinding(i);
}

Script::~Script() {
    if (m_ctx) duk_destroy_heap(m_ctx);
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
        Report("compile");
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

int Script::Click(uint32_t node) {
    if (!m_ctx) return 0;
    int r = 0;
    duk_push_uint(m_ctx, node);
    CallEntry("click", 1, &r);
    return r;
}

bool Script::Key(const char* type, unsigned code) {
    if (!m_ctx) return false;
    int r = 0;
    duk_push_string(m_ctx, type);
    duk_push_uint(m_ctx, code);
    CallEntry("key", 2, &r);
    return r != 0;
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
