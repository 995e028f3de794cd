// Shared pieces of the web-view tests: message pumping, a recording binding of
// "window_external_CppCall", loading-finished records and stand-in pages.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "StandIn.h"
#include "webview.h"

namespace webtest {

typedef std::tuple<int, int, int> Call;

// Calls of the bound "window_external_CppCall" (every view, every document), in order.
inline std::vector<Call>& Calls() {
    static std::vector<Call> calls;
    return calls;
}

inline jsValue RecordCall(jsExecState es) {
    Calls().emplace_back(wkeJSToInt(es, wkeJSParam(es, 0)), wkeJSToInt(es, wkeJSParam(es, 1)),
                         wkeJSToInt(es, wkeJSParam(es, 2)));
    return wkeJSUndefined(es);
}

inline bool HasCall(int a, int b, int c) {
    for (const Call& x : Calls())
        if (x == Call(a, b, c)) return true;
    return false;
}

inline int CountCalls(int a) {
    int n = 0;
    for (const Call& x : Calls())
        if (std::get<0>(x) == a) ++n;
    return n;
}

// Runs the thread's messages (the library's timer among them) until done() holds or ms pass.
template <class F> bool Pump(DWORD ms, F done) {
    const DWORD start = ::GetTickCount();
    for (;;) {
        MSG msg;
        while (::PeekMessageW(&msg, NULL, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageW(&msg);
            // A busy page keeps the library's timer due: its messages never run out.
            if (::GetTickCount() - start >= ms || done()) break;
        }
        if (done()) return true;
        if (::GetTickCount() - start >= ms) return false;
        ::Sleep(5);
    }
}

inline void PumpFor(DWORD ms) {
    Pump(ms, [] { return false; });
}

struct Finished {
    std::wstring url, reason;
    int result;
};

inline std::wstring Wide(const std::string& s) {
    return std::wstring(s.begin(), s.end());
}

// A scenario of the stand-in; pages under /web/ come from tests/standin/webpages.py.
inline Json::Value PageRoute(const std::string& path, const std::string& html) {
    Json::Value r;
    r["path"] = path;
    r["body"] = html;
    r["headers"]["Content-Type"] = "text/html; charset=utf-8";
    return r;
}

// Queues one event of the web-socket page's poll.
inline bool QueueEvent(const standin::Scenario& sc, int code, const std::string& uid, bool uidText, bool twoArgs) {
    std::string reply;
    std::string q = "webevent?id=" + sc.Id() + "&code=" + std::to_string(code) + "&uid=" + uid;
    if (uidText) q += "&uid_text=1";
    if (twoArgs) q += "&two=1";
    return standin::Control(q, nullptr, reply);
}

inline size_t CountGets(const standin::Scenario& sc, const std::string& target) {
    size_t n = 0;
    for (const auto& r : sc.Log())
        if (r.method == "GET" && r.target == target) ++n;
    return n;
}

}  // namespace webtest
