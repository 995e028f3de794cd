// Shared pieces of the web-view tests: message pumping, a recording binding of
// "window_external_CppCall", loading-finished records, stand-in pages and the library's debug
// lines.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <tuple>
#include <vector>

#include "StandIn.h"
#include "View.h"
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

// Records this process's debug lines (OutputDebugString) while it lives: the debug-print
// exceptions reach a vectored handler before any debugger would.
class DebugLines {
public:
    DebugLines() {
        Lines().clear();
        m_handle = ::AddVectoredExceptionHandler(1, &DebugLines::Handler);
    }
    ~DebugLines() {
        if (m_handle) ::RemoveVectoredExceptionHandler(m_handle);
    }
    DebugLines(const DebugLines&) = delete;
    DebugLines& operator=(const DebugLines&) = delete;

    static std::vector<std::string>& Lines() {
        static std::vector<std::string> lines;
        return lines;
    }
    // The first line holding every one of the parts; empty when none does.
    static std::string Find(std::initializer_list<const char*> parts) {
        for (const std::string& l : Lines()) {
            bool all = true;
            for (const char* p : parts) all = all && l.find(p) != std::string::npos;
            if (all) return l;
        }
        return std::string();
    }
    static std::string All() {
        std::string r;
        for (const std::string& l : Lines()) r += l + (l.empty() || l.back() != '\n' ? "\n" : "");
        return r;
    }

private:
    static LONG CALLBACK Handler(EXCEPTION_POINTERS* e) {
        const EXCEPTION_RECORD* r = e->ExceptionRecord;
        const DWORD kWide = 0x4001000A, kNarrow = 0x40010006;
        if ((r->ExceptionCode != kWide && r->ExceptionCode != kNarrow) || r->NumberParameters < 2)
            return EXCEPTION_CONTINUE_SEARCH;
        if (r->ExceptionCode == kWide) {
            const wchar_t* w = reinterpret_cast<const wchar_t*>(r->ExceptionInformation[1]);
            int n = w ? ::WideCharToMultiByte(CP_UTF8, 0, w, -1, NULL, 0, NULL, NULL) : 0;
            std::string s(n > 0 ? n - 1 : 0, '\0');
            if (n > 1) ::WideCharToMultiByte(CP_UTF8, 0, w, -1, &s[0], n, NULL, NULL);
            Lines().push_back(s);
        } else {
            const char* a = reinterpret_cast<const char*>(r->ExceptionInformation[1]);
            Lines().push_back(a ? a : "");
        }
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    PVOID m_handle = nullptr;
};

// Base64 of bytes, for stand-in routes whose body is not UTF-8 text ("body_base64").
inline std::string Base64(const std::string& bytes) {
    static const char* k = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        unsigned n = ((unsigned char)bytes[i] << 16) | ((unsigned char)bytes[i + 1] << 8) | (unsigned char)bytes[i + 2];
        out += k[n >> 18], out += k[(n >> 12) & 63], out += k[(n >> 6) & 63], out += k[n & 63];
    }
    if (i < bytes.size()) {
        unsigned n = (unsigned char)bytes[i] << 16;
        if (i + 1 < bytes.size()) n |= (unsigned char)bytes[i + 1] << 8;
        out += k[n >> 18], out += k[(n >> 12) & 63];
        out += i + 1 < bytes.size() ? k[(n >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

// A route whose body is the given bytes, sent with the given Content-Type.
inline Json::Value BytesRoute(const std::string& path, const std::string& bytes, const std::string& contentType) {
    Json::Value r;
    r["path"] = path;
    r["body_base64"] = Base64(bytes);
    r["headers"]["Content-Type"] = contentType;
    return r;
}

// Views without a host window, ended with the case; loading-finished records.
class ViewFixture : public ::testing::Test {
protected:
    void SetUp() override {
        wkeInitialize();
        wkeJSBindFunction("window_external_CppCall", RecordCall, 3);
        Calls().clear();
    }
    void TearDown() override {
        for (wkeWebView v : m_views) wkeDestroyWebView(v);
        wkeFinalize();
    }

    wkeWebView NewView(int w = 400, int h = 300) {
        wkeWebView v = wkeCreateWebView();
        EXPECT_NE(nullptr, v);
        wkeResize(v, w, h);
        wkeOnLoadingFinish(v, &ViewFixture::OnFinish, this);
        m_views.push_back(v);
        return v;
    }
    void Forget(wkeWebView v) {
        for (auto it = m_views.begin(); it != m_views.end(); ++it)
            if (*it == v) {
                m_views.erase(it);
                return;
            }
    }
    static void OnFinish(wkeWebView, void* param, wkeString url, int result, wkeString reason) {
        static_cast<ViewFixture*>(param)->m_finished.push_back({wkeGetStringW(url), wkeGetStringW(reason), result});
    }
    bool LoadAndWait(wkeWebView v, const std::string& url, DWORD ms = 15000) {
        size_t before = m_finished.size();
        wkeLoadW(v, Wide(url).c_str());
        return Pump(ms, [&] { return m_finished.size() > before; });
    }
    void Click(wkeWebView v, int x, int y) {
        wkeFireMouseEvent(v, WM_LBUTTONDOWN, x, y, MK_LBUTTON);
        wkeFireMouseEvent(v, WM_LBUTTONUP, x, y, 0);
    }
    COLORREF PixelAt(wkeWebView v, int x, int y) {
        wkeRepaintIfNeededAfterInterval(v);
        return ::GetPixel(wkeGetViewDC(v), x, y);
    }
    // The border box of the element with that id, in view coordinates; a failure when it has none.
    RECT ElementBox(wkeWebView v, const char* id) {
        RECT r{};
        dom_node* n = v->doc.ElementById(id);
        EXPECT_NE(nullptr, n) << id;
        if (n) {
            EXPECT_TRUE(webview::NodeBox(v, n, &r)) << id;
        }
        return r;
    }

    std::vector<wkeWebView> m_views;
    std::vector<Finished> m_finished;
};

inline size_t CountGets(const standin::Scenario& sc, const std::string& target) {
    size_t n = 0;
    for (const auto& r : sc.Log())
        if (r.method == "GET" && r.target == target) ++n;
    return n;
}

}  // namespace webtest
