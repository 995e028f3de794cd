// Scripts' DOM cost: 3,000 `el.innerHTML += '<span>i</span>'` on one element, against the
// reference of one `el.innerHTML = s` that builds the same 3,000 spans at once, s grown by the same
// 3,000 string concatenations (the engine's copies of the growing markup cost the same on both
// sides, so the ratio shows what the DOM side adds); then 3,000
// appendChild calls of created spans, 3,000 querySelector calls, and 3,000 innerHTML sets of one
// span each (the fixed cost of a fragment parse). The appends should stay
// within a small factor of the single parse (each append parses only its own text). Prints one
// line per run:
//   run appends-ms one-set-ms append-child-ms query-ms small-sets-ms
// bench/scriptdom.sh runs it and summarises.
//   scriptdom_bench [runs]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "Script.h"
#include "View.h"
#include "webview.h"

namespace {

double Now() {
    static LARGE_INTEGER freq = {};
    if (freq.QuadPart == 0) ::QueryPerformanceFrequency(&freq);
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return (double)t.QuadPart * 1000.0 / (double)freq.QuadPart;
}

double g_reported = -1;

jsValue Report(jsExecState es) {
    g_reported = wkeJSToInt(es, wkeJSParam(es, 0));
    return wkeJSUndefined(es);
}

// Runs code in a fresh blank document; returns the milliseconds it took, or -1 when it did not
// reach its end (it reports the child count it made through the bound function).
double Time(const char* code, int expected) {
    wkeWebView v = wkeCreateWebView();
    wkeResize(v, 800, 600);
    g_reported = -1;
    double t0 = Now();
    v->script->Run(code, "bench");
    double ms = Now() - t0;
    bool ok = g_reported == expected;
    wkeDestroyWebView(v);
    return ok ? ms : -1;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? atoi(argv[1]) : 5;
    wkeInitialize();
    wkeJSBindFunction("report", Report, 1);
    const char* appends =
        "var t = document.body; for (var i = 0; i < 3000; i++) t.innerHTML += '<span class=\"s\">' + i + '</span>';"
        "report(t.children.length);";
    const char* oneSet =
        "var t = document.body, s = ''; for (var i = 0; i < 3000; i++) s += '<span class=\"s\">' + i + '</span>';"
        "t.innerHTML = s; report(t.children.length);";
    const char* appendChild =
        "var t = document.body; for (var i = 0; i < 3000; i++) { var e = document.createElement('span');"
        "e.className = 's'; e.textContent = String(i); t.appendChild(e); } report(t.children.length);";
    const char* query =
        "var t = document.body, s = ''; for (var i = 0; i < 300; i++) s += '<p id=\"p' + i + '\"><span class=\"s\">'"
        " + i + '</span></p>'; t.innerHTML = s; var n = 0;"
        "for (var i = 0; i < 3000; i++) if (document.querySelector('#p' + (i % 300) + ' > span.s')) n++; report(n);";
    const char* smallSets =
        "var t = document.body, n = 0; for (var i = 0; i < 3000; i++) { t.innerHTML = '<span class=\"s\">' + i +"
        " '</span>'; n += t.children.length; } report(n);";
    for (int r = 1; r <= runs; ++r) {
        double a = Time(appends, 3000), b = Time(oneSet, 3000), c = Time(appendChild, 3000), d = Time(query, 3000),
               e = Time(smallSets, 3000);
        printf("%d %.1f %.1f %.1f %.1f %.1f\n", r, a, b, c, d, e);
        fflush(stdout);
    }
    wkeFinalize();
    return 0;
}
