#include "ScriptNet.h"

#include <duktape/duktape.h>

#include <deque>
#include <functional>
#include <map>
#include <memory>

#include "Net.h"
#include "Script.h"
#include "ScriptLimits.h"
#include "ScriptNatives.h"
#include "Text.h"
#include "View.h"
#include "WebSocket.h"

namespace webview {

namespace {

const char kNetPrelude[] =
#include "ScriptNet.inc"
    ;

const DWORD kDefaultRequestTimeoutMs = 60000;

struct Waiting {
    WvView* view;
    std::function<void()> run;
};

struct PageNet {
    std::unique_ptr<WebSockets> sockets;
    std::map<std::pair<WvView*, int>, Transfer*> requests;
    std::deque<Waiting> waiting;

    WebSockets& Sockets() {
        if (!sockets) sockets.reset(new WebSockets(Net()));
        return *sockets;
    }
};

PageNet& P() {
    static PageNet p;
    return p;
}

enum Op { OpLog, OpResolve, OpXhrSend, OpXhrAbort, OpWsOpen, OpWsSend, OpWsClose, OpCookie, OpSetCookie };
const struct {
    const char* name;
    Op op;
} kNatives[] = {
    {"log", OpLog},       {"resolve", OpResolve}, {"xhrSend", OpXhrSend}, {"xhrAbort", OpXhrAbort},
    {"wsOpen", OpWsOpen}, {"wsSend", OpWsSend},   {"wsClose", OpWsClose}, {"cookie", OpCookie},
    {"setCookie", OpSetCookie},
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

void PushString(duk_context* ctx, const std::string& s) {
    duk_push_lstring(ctx, s.data(), s.size());
}

bool IsHttp(const std::string& url) {
    std::string low = ToLower(url);
    return low.compare(0, 7, "http://") == 0 || low.compare(0, 8, "https://") == 0;
}

// Runs a request's or a socket's callback in the view's script, if that document is still there.
void Queue(WvView* v, std::function<void(Script&)> call) {
    P().waiting.push_back({v, [v, call]() {
        if (ViewAlive(v) && v->script) call(*v->script);
    }});
}

std::string StatusText(const std::string& headers) {
    size_t end = headers.find('\r');
    std::string line = headers.substr(0, end);
    size_t a = line.find(' ');
    if (a == std::string::npos) return std::string();
    size_t b = line.find(' ', a + 1);
    return b == std::string::npos ? std::string() : line.substr(b + 1);
}

// The header lines after the status line, as getAllResponseHeaders gives them.
std::string HeaderLines(const std::string& headers) {
    size_t start = headers.find("\r\n");
    if (start == std::string::npos) return std::string();
    std::string out = headers.substr(start + 2);
    while (out.size() >= 2 && out.compare(out.size() - 2, 2, "\r\n") == 0 &&
           (out.size() == 2 || out.compare(out.size() - 4, 2, "\r\n") == 0))
        out.erase(out.size() - 2);
    return out;
}

void SendRequest(duk_context* ctx, WvView* v) {
    int id = duk_get_int_default(ctx, 0, 0);
    std::string method = Arg(ctx, 1), url = Arg(ctx, 2), body = Arg(ctx, 3);
    FetchOptions options;
    options.lowSpeedLimit = false;  // a request may wait for its answer (long polling): its time-out rules
    double ms = duk_get_number_default(ctx, 5, 0);
    options.timeoutMs = ms >= 1 && ms < 24.0 * 3600 * 1000 ? (DWORD)ms : kDefaultRequestTimeoutMs;
    if (duk_is_array(ctx, 4)) {
        duk_size_t n = duk_get_length(ctx, 4);
        for (duk_size_t i = 0; i < n && i < 100; ++i) {
            duk_get_prop_index(ctx, 4, (duk_uarridx_t)i);
            duk_size_t len = 0;
            const char* line = duk_safe_to_lstring(ctx, -1, &len);
            options.headers.emplace_back(line ? line : "", len);
            duk_pop(ctx);
        }
    }
    if (!IsHttp(url)) {
        duk_push_false(ctx);
        return;
    }
    Transfer* t = Net().Fetch(v, url, method.empty() ? "GET" : method, body, options, [v, id](Transfer& t) {
        P().requests.erase(std::make_pair(v, id));
        long status = t.ok ? t.status : 0;
        std::string kind = t.ok ? "" : t.timedOut ? "timeout" : "error";
        std::string text = t.ok ? PageToUtf8(t.body, t.contentType) : std::string();
        std::string statusText = StatusText(t.responseHeaders), headers = HeaderLines(t.responseHeaders);
        std::string url = t.effectiveUrl;
        Queue(v, [=](Script& s) {
            s.Call("net", "xhrDone", [&](duk_context* c) {
                duk_push_int(c, id);
                duk_push_int(c, (int)status);
                PushString(c, statusText);
                PushString(c, headers);
                PushString(c, text);
                PushString(c, kind);
                PushString(c, url);
                return 7;
            });
        });
    });
    if (t) P().requests[std::make_pair(v, id)] = t;
    duk_push_boolean(ctx, t != nullptr);
}

void OpenSocket(duk_context* ctx, WvView* v) {
    int id = duk_get_int_default(ctx, 0, 0);
    bool ok = P().Sockets().Open(v, id, Arg(ctx, 1), Arg(ctx, 2), [v, id](const WsEvent& e) {
        static const char* kinds[] = {"open", "message", "error", "close"};
        std::string kind = kinds[e.kind], text = e.text;
        int code = e.code;
        bool clean = e.clean;
        Queue(v, [=](Script& s) {
            s.Call("net", "ws", [&](duk_context* c) {
                duk_push_int(c, id);
                PushString(c, kind);
                PushString(c, text);
                duk_push_int(c, code);
                duk_push_boolean(c, clean);
                return 5;
            });
        });
    });
    duk_push_boolean(ctx, ok);
}

duk_ret_t Native(duk_context* ctx) {
    if (ScriptOf(ctx)->OverBudget()) return duk_range_error(ctx, "script deadline");
    WvView* v = ScriptOf(ctx)->View();
    switch ((Op)duk_get_current_magic(ctx)) {
    case OpLog:
        Log(v, Arg(ctx, 0));
        return 0;
    case OpResolve:
        PushString(ctx, ResolveUrl(v->url, Arg(ctx, 0)));
        return 1;
    case OpXhrSend:
        SendRequest(ctx, v);
        return 1;
    case OpXhrAbort: {
        auto it = P().requests.find(std::make_pair(v, (int)duk_get_int_default(ctx, 0, 0)));
        if (it != P().requests.end()) {
            Transfer* t = it->second;
            P().requests.erase(it);
            Net().Cancel(t);
        }
        return 0;
    }
    case OpWsOpen:
        OpenSocket(ctx, v);
        return 1;
    case OpWsSend:
        duk_push_boolean(ctx, P().Sockets().Send(v, duk_get_int_default(ctx, 0, 0), Arg(ctx, 1)));
        return 1;
    case OpWsClose:
        P().Sockets().Close(v, duk_get_int_default(ctx, 0, 0), duk_get_int_default(ctx, 1, 1000), Arg(ctx, 2));
        return 0;
    case OpCookie:
        PushString(ctx, IsHttp(v->url) ? Net().CookiesFor(v->url) : std::string());
        return 1;
    case OpSetCookie:
        if (IsHttp(v->url)) Net().SetCookieFrom(v->url, Arg(ctx, 0));
        return 0;
    }
    return 0;
}

}  // namespace

void InstallNetBindings(duk_context* ctx) {
    duk_push_global_stash(ctx);                      // stash
    if (duk_peval_string(ctx, kNetPrelude) != 0) {   // stash fn
        Log(ScriptOf(ctx)->View(), std::string("net prelude: ") + duk_safe_to_string(ctx, -1));
        duk_pop_2(ctx);
        return;
    }
    PushNativeTable(ctx, kNatives, Native);          // stash fn NN
    duk_push_global_object(ctx);                     // stash fn NN G
    if (duk_pcall(ctx, 2) != 0) {                    // stash entries
        Log(ScriptOf(ctx)->View(), std::string("net prelude: ") + duk_safe_to_string(ctx, -1));
        duk_pop_2(ctx);
        return;
    }
    duk_put_prop_string(ctx, -2, "net");
    duk_pop(ctx);
}

void PollPageNet() {
    PageNet& p = P();
    if (p.sockets) p.sockets->Poll();
    // One callback at a time while the tick's budget lasts; the rest wait for the next tick.
    while (!p.waiting.empty() && TickBudgetLeft()) {
        Waiting w = std::move(p.waiting.front());
        p.waiting.pop_front();
        w.run();
    }
}

void DropPageNet(WvView* view) {
    PageNet& p = P();
    for (auto it = p.requests.begin(); it != p.requests.end();) {
        if (it->first.first == view) {
            Net().Cancel(it->second);
            it = p.requests.erase(it);
        } else {
            ++it;
        }
    }
    if (p.sockets) p.sockets->DropAll(view);
    for (auto it = p.waiting.begin(); it != p.waiting.end();) {
        if (it->view == view) it = p.waiting.erase(it);
        else ++it;
    }
}

void EndPageNet() {
    PageNet& p = P();
    for (auto& r : p.requests) Net().Cancel(r.second);
    p.requests.clear();
    p.waiting.clear();
    p.sockets.reset();
}

}  // namespace webview
