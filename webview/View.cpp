// The library's calls: views, loads, painting, input, callbacks and bindings, and the thread timer
// that drives transfers and page timers.
#include "View.h"

#include <algorithm>
#include <set>

#include "DomAccess.h"
#include "FormControls.h"
#include "Forms.h"
#include "Paint.h"
#include "Script.h"
#include "ScriptEvents.h"
#include "ScriptLimits.h"
#include "ScriptNet.h"
#include "ScrollOffset.h"
#include "Text.h"

using namespace webview;

namespace {

struct Runtime {
    bool initialized = false;
    UINT_PTR timer = 0;
    Network net;
    std::set<WvView*> views;
    int depth = 0;         // scripts and callbacks running
    bool inTimer = false;  // the timer routine is running
};

Runtime& R() {
    static Runtime r;
    return r;
}

// Outlives wkeFinalize: bindings are made once and hold for every later view.
std::vector<Binding>& BindingTable() {
    static std::vector<Binding> table;
    return table;
}

const DWORD kTickMs = 15;

void DestroyNow(WvView* v);
void ForgetFailedStarts(WvView* v);
void StartLoad(WvView* v, const std::string& url);
void FinishLoad(WvView* v, int result, const std::string& reason);

void RunDeferred() {
    Runtime& r = R();
    // Destruction first: a view that is going away does not start its pending load.
    std::vector<WvView*> gone, loads;
    for (WvView* v : r.views) {
        if (v->destroyPending) gone.push_back(v);
        else if (v->loadPending) loads.push_back(v);
    }
    for (WvView* v : gone) DestroyNow(v);
    for (WvView* v : loads) {
        if (!r.views.count(v) || !v->loadPending) continue;
        v->loadPending = false;
        StartLoad(v, v->pendingUrl);
    }
}

void FreeSurface(WvView* v) {
    if (v->memDc) {
        if (v->oldBitmap) SelectObject(v->memDc, v->oldBitmap);
        DeleteDC(v->memDc);
    }
    if (v->dib) DeleteObject(v->dib);
    v->memDc = nullptr;
    v->dib = nullptr;
    v->oldBitmap = nullptr;
}

bool MakeSurface(WvView* v, int w, int h) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = std::max(1, w);
    bi.bmiHeader.biHeight = -std::max(1, h);
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!dib) return false;
    if (!v->memDc) v->memDc = CreateCompatibleDC(nullptr);
    if (!v->memDc) {
        DeleteObject(dib);
        return false;
    }
    HGDIOBJ old = SelectObject(v->memDc, dib);
    if (!v->oldBitmap) v->oldBitmap = old;
    if (v->dib) DeleteObject(v->dib);
    v->dib = dib;
    v->width = std::max(0, w);
    v->height = std::max(0, h);
    return true;
}

// Points slot at n, holding a reference to n and releasing the previous one.
void Hold(dom_node*& slot, dom_node* n) {
    if (n) dom_node_ref(n);
    if (slot) dom_node_unref(slot);
    slot = n;
}

void DestroyNow(WvView* v) {
    Runtime& r = R();
    if (!r.views.erase(v)) return;
    DropPageNet(v);
    r.net.CancelAll(v);
    ForgetFailedStarts(v);
    Hold(v->hoverNode, nullptr);
    Hold(v->pressedNode, nullptr);
    v->script.reset();
    FreeSurface(v);
    delete v;
}

// Drops what was drawn of the previous document (its boxes refer to its nodes).
void ClearRendering(WvView* v) {
    v->page = LayoutResult();
    v->render.Clear();
    v->needBuild = true;
    Hold(v->hoverNode, nullptr);
    Hold(v->pressedNode, nullptr);
    ResetForms(v);
}

// A blank or failed page: an empty document, laid out at once.
void ShowEmpty(WvView* v, const std::string& url) {
    ClearRendering(v);
    v->parsing = false;
    v->parseText.clear();
    v->sheets.clear();
    v->doc.Parse("", url);
    v->script.reset(new Script(v));
    MarkLayout(v);
}

// Boxes are made in slices of this much: a large page is styled over several ticks.
const DWORD kBuildSliceMs = 80;

// complete: the caller needs the layout now (a query, input): no slices.
void Relayout(WvView* v, bool complete = false) {
    // Not while the page is parsed or its style sheets are on their way: the previous picture
    // (blank once a new document began) stays.
    if (v->parsing || v->sheetsMissing) return;
    if (v->needBuild) {
        v->render.Begin(v->doc, v->sheets, v->sheetBases);
        v->needBuild = false;
    }
    if (v->render.Building() && !v->render.Continue(complete ? 0 : kBuildSliceMs)) return;
    LayOutPage(v);
    v->needLayout = false;
    // Only what the changes touched is painted again, when that is known.
    if (!TakeChangeDamage(v)) v->dirty = true;
    // Images found by the layout are fetched once each; the page is laid out again as they arrive.
    auto& images = v->doc.Images();
    for (size_t i = 0; i < images.size(); ++i) {
        if (images[i].requested) continue;
        images[i].requested = true;
        std::string url = images[i].url;
        uint32_t generation = v->doc.Generation();
        R().net.Fetch(v, url, "GET", "", [v, url, generation](Transfer& t) {
            if (!t.ok || t.status >= 400 || v->doc.Generation() != generation) return;
            for (auto& img : v->doc.Images())
                if (img.url == url && !img.width && DecodeImage(t.body, img)) {
                    v->render.InvalidateLayout();
                    MarkLayout(v);
                }
        });
    }
}

void RunScripts(WvView* v) {
    std::vector<Document::Script> scripts;
    scripts.swap(v->scripts);
    for (size_t i = 0; i < scripts.size() && v->script; ++i)
        v->script->Run(scripts[i].code, scripts[i].external ? scripts[i].src : "inline");
    if (v->script) v->script->FireLoad();
}

void FinishIfReady(WvView* v) {
    if (v->parsing || v->scriptsMissing || v->sheetsMissing) return;
    std::string failure = v->loadFailure;
    RunScripts(v);
    if (ViewAlive(v)) AutoFocus(v);
    FinishLoad(v, failure.empty() ? WKE_LOADING_SUCCEEDED : WKE_LOADING_FAILED, failure);
}

// The parse is complete: the page's style sheets and scripts are gathered (fetched when
// external); loading finishes once all have arrived and the scripts have run.
void AfterParse(WvView* v) {
    std::vector<Document::Sheet> sheets = v->doc.CollectSheets();
    v->sheets.assign(sheets.size(), std::string());
    v->sheetBases.assign(sheets.size(), std::string());
    v->sheetsMissing = 0;
    v->scripts = v->doc.CollectScripts();
    v->scriptsMissing = 0;
    uint32_t generation = v->doc.Generation();
    for (size_t i = 0; i < sheets.size(); ++i) {
        if (!sheets[i].external) {
            v->sheets[i] = sheets[i].text;
            continue;
        }
        v->sheetBases[i] = sheets[i].href;
        ++v->sheetsMissing;
        Transfer* st = R().net.Fetch(v, sheets[i].href, "GET", "", [v, i, generation](Transfer& s) {
            if (v->doc.Generation() != generation) return;
            if (i < v->sheets.size() && s.ok && s.status < 400) v->sheets[i] = PageToUtf8(s.body, s.contentType);
            --v->sheetsMissing;
            v->needBuild = true;
            MarkLayout(v);
            FinishIfReady(v);
        });
        if (!st) --v->sheetsMissing;
    }
    for (size_t i = 0; i < v->scripts.size(); ++i) {
        if (!v->scripts[i].external) continue;
        ++v->scriptsMissing;
        Transfer* st = R().net.Fetch(v, v->scripts[i].src, "GET", "", [v, i, generation](Transfer& s) {
            if (v->doc.Generation() != generation) return;
            if (i < v->scripts.size() && s.ok && s.status < 400) v->scripts[i].code = PageToUtf8(s.body, s.contentType);
            --v->scriptsMissing;
            FinishIfReady(v);
        });
        if (!st) --v->scriptsMissing;
    }
    v->needBuild = true;
    MarkLayout(v);
    FinishIfReady(v);
}

// Feeds the parser for at most about kParseSliceMs; the rest waits for the next tick.
const DWORD kParseSliceMs = 60;
const size_t kParseChunk = 16 * 1024;

void ParseSome(WvView* v) {
    if (!v->parsing) return;
    DWORD start = GetTickCount();
    while (v->parsePos < v->parseText.size()) {
        size_t n = std::min(kParseChunk, v->parseText.size() - v->parsePos);
        v->doc.Feed(v->parseText.data() + v->parsePos, n);
        v->parsePos += n;
        if (GetTickCount() - start >= kParseSliceMs) return;
    }
    v->doc.Finish();
    v->parsing = false;
    std::string().swap(v->parseText);
    v->parsePos = 0;
    AfterParse(v);
}

void OnDocument(WvView* v, Transfer& t) {
    v->docTransfer = nullptr;
    if (!t.ok) {
        v->url = t.url;
        ShowEmpty(v, v->url);
        FinishLoad(v, WKE_LOADING_FAILED, t.error);
        return;
    }
    v->url = t.effectiveUrl;
    ClearRendering(v);
    SetFormCharset(v, t.body, t.contentType);
    v->sheets.clear();
    v->doc.Begin(v->url);
    v->script.reset(new Script(v));
    v->scrollX = v->scrollY = 0;
    v->loadFailure = t.status >= 400 ? "HTTP " + std::to_string(t.status) : "";
    v->parseText = PageToUtf8(t.body, t.contentType);
    v->parsePos = 0;
    v->parsing = true;
    MarkLayout(v);
    ParseSome(v);
}

void StopAll(WvView* v) {
    DropPageNet(v);
    R().net.CancelAll(v);
    v->docTransfer = nullptr;
    v->scripts.clear();
    v->scriptsMissing = 0;
    v->sheetsMissing = 0;
    if (v->parsing) {
        // A stopped load ends its parse where it was.
        v->parsing = false;
        v->doc.Finish();
        std::string().swap(v->parseText);
        v->needBuild = true;
        MarkLayout(v);
    }
    v->timers.clear();
    v->xhrs.clear();
    v->loading = false;
    v->loadPending = false;
}

struct FailedStart {
    WvView* view;
    std::string reason;
};
std::vector<FailedStart>& FailedStarts() {
    static std::vector<FailedStart> list;
    return list;
}

void ForgetFailedStarts(WvView* v) {
    auto& list = FailedStarts();
    list.erase(std::remove_if(list.begin(), list.end(), [v](const FailedStart& f) { return f.view == v; }), list.end());
}

void StartLoad(WvView* v, const std::string& url) {
    StopAll(v);
    ForgetFailedStarts(v);
    v->requestedUrl = url;
    v->loading = true;
    if (ToLower(url) == "about:blank") {
        v->url = url;
        ShowEmpty(v, url);
        FailedStarts().push_back({v, ""});  // finishes on the next tick, as a fetched page would
        return;
    }
    FetchOptions options;
    std::string method = "GET", body;
    if (v->postPending) {
        method = "POST";
        body.swap(v->postBody);
        v->postPending = false;
        options.headers.push_back("Content-Type: application/x-www-form-urlencoded");
    }
    v->docTransfer = R().net.Fetch(v, url, method, body, options, [v](Transfer& t) { OnDocument(v, t); });
    if (!v->docTransfer) FailedStarts().push_back({v, R().net.Running() ? "bad URL" : "library not initialised"});
}

void FinishLoad(WvView* v, int result, const std::string& reason) {
    v->loading = false;
    if (!v->onLoadingFinish || v->destroyPending) return;
    CallbackScope scope;
    WvStringRec url{Utf8ToWide(v->url.empty() ? v->requestedUrl : v->url)};
    WvStringRec why{Utf8ToWide(reason)};
    v->onLoadingFinish(v, v->loadingFinishParam, &url, result, &why);
}

void RunTimers() {
    Runtime& r = R();
    // Every due timer of every view, the longest waiting first: when the tick's budget runs out,
    // those left over are first in the next tick.
    struct Due {
        WvView* view;
        int id;
        DWORD due;
    };
    std::vector<Due> due;
    DWORD now = GetTickCount();
    for (WvView* v : r.views) {
        if (v->destroyPending || !v->script) continue;
        for (const auto& t : v->timers)
            if ((int)(now - t.due) >= 0) due.push_back({v, t.id, t.due});
    }
    std::stable_sort(due.begin(), due.end(), [now](const Due& a, const Due& b) { return now - a.due > now - b.due; });
    for (const Due& d : due) {
        if (!TickBudgetLeft()) break;
        WvView* v = d.view;
        if (!r.views.count(v) || v->destroyPending || !v->script) continue;
        auto it = std::find_if(v->timers.begin(), v->timers.end(), [&d](const WvView::Timer& t) { return t.id == d.id; });
        if (it == v->timers.end()) continue;
        bool repeat = it->repeat;
        if (repeat) it->due = GetTickCount() + it->interval;
        v->script->FireTimer(d.id);  // reads whether it repeats before a one-shot is forgotten
        if (!repeat) {
            ClearTimer(v, d.id);
            continue;
        }
        if (!r.views.count(v) || !v->script) continue;
        it = std::find_if(v->timers.begin(), v->timers.end(), [&d](const WvView::Timer& t) { return t.id == d.id; });
        if (it == v->timers.end()) continue;
        it->strikes = v->script->LastCallExhausted() ? it->strikes + 1 : 0;
        if (it->strikes >= kTimerStrikes) {
            Log(v, "timer " + std::to_string(d.id) + " cleared: its callback used the whole script budget " +
                       std::to_string(kTimerStrikes) + " times in a row");
            ClearTimer(v, d.id);
        }
    }
}

void CALLBACK OnTick(HWND, UINT, UINT_PTR, DWORD) {
    Runtime& r = R();
    // Never inside itself, nor inside a script or callback that runs a message loop of its own
    // (a bound function may block): the page's state is not to change under the running script.
    if (r.inTimer || r.depth > 0) return;
    r.inTimer = true;
    BeginTick();
    {
        CallbackScope scope;
        std::vector<FailedStart> failed;
        failed.swap(FailedStarts());
        for (auto& f : failed)
            if (r.views.count(f.view) && f.view->loading && !f.view->docTransfer)
                FinishLoad(f.view, f.reason.empty() ? WKE_LOADING_SUCCEEDED : WKE_LOADING_FAILED, f.reason);
        r.net.Poll();
        std::vector<WvView*> views(r.views.begin(), r.views.end());
        for (WvView* v : views) {
            if (!r.views.count(v) || v->destroyPending) continue;
            if (v->parsing) ParseSome(v);
            else if (v->render.Building() && v->needLayout) Relayout(v);
        }
        PollPageNet();
        RunTimers();
    }
    r.inTimer = false;
}

WvView* Live(wkeWebView v) {
    return v && R().views.count(v) && !v->destroyPending ? v : nullptr;
}

dom_node* HitTest(WvView* v, int x, int y) {
    if (v->needLayout) Relayout(v, true);
    // The page's bars hide what lies under them.
    if (OnPageBar(v, x, y)) return nullptr;
    SyncPageScroll(v);
    return HitAt(v->render.Root(), POINT{x, y});
}

bool Scroll(WvView* v, int dy) {
    return ScrollPage(v, 0, dy);
}

// A click at node: its listeners first, then (unless they prevented it) a link's navigation.
bool Click(WvView* v, dom_node* node, int x, int y, unsigned flags) {
    FormClick form = BeginFormClick(v, node);
    int r = DispatchMouse(v, node, "click", x, y, 0, flags, 1);
    if (!ViewAlive(v) || v->parsing) return (r & EventHandled) != 0;
    if (EndFormClick(v, form, (r & EventDefaultPrevented) != 0)) return true;
    if (r & EventDefaultPrevented) return true;
    for (dom_node* n = node; n; n = ParentOf(n)) {
        if (TagOf(n) != "a") continue;
        std::string href;
        if (!GetAttr(n, "href", &href)) break;
        std::string h = Trim(href);
        if (ToLower(h).compare(0, 11, "javascript:") == 0) {
            if (v->script) v->script->Run(h.substr(11), v->url + "#link");
        } else if (!h.empty() && h[0] != '#') {
            Navigate(v, ResolveUrl(v->doc.Url(), h), WKE_NAVIGATION_LINK, ToLower(Attr(n, "target")) == "_blank");
        }
        return true;
    }
    return (r & 1) != 0;
}

}  // namespace

namespace webview {

CallbackScope::CallbackScope() {
    ++R().depth;
}

CallbackScope::~CallbackScope() {
    if (--R().depth == 0) RunDeferred();
}

bool InCallback() {
    return R().depth > 0;
}

bool ViewAlive(WvView* v) {
    return Live(v) != nullptr;
}

Network& Net() {
    return R().net;
}

void Log(WvView* v, const std::string& line) {
    std::wstring w = L"webview[" + Utf8ToWide(v ? v->name : "") + L"]: " + Utf8ToWide(line) + L"\n";
    OutputDebugStringW(w.c_str());
}

void MarkLayout(WvView* v) {
    v->needLayout = true;
    v->dirty = true;
}

void EnsureLayout(WvView* v) {
    if (v->needLayout) Relayout(v, true);
}

void Navigate(WvView* v, const std::string& url, int type, bool newWindow, const std::string* post) {
    if (!Live(v)) return;
    WvStringRec s{Utf8ToWide(url)};
    if (v->onNavigation) {
        CallbackScope scope;
        if (!v->onNavigation(v, v->navigationParam, type, &s)) return;
    }
    WvView* target = v;
    if (newWindow && v->onCreateView) {
        CallbackScope scope;
        wkeWindowFeatures f{0, 0, v->width, v->height};
        target = v->onCreateView(v, v->createViewParam, type, &s, &f);
    }
    if (!Live(target)) return;
    target->postPending = post != nullptr;
    target->postBody = post ? *post : std::string();
    wkeLoadW(target, s.text.c_str());
}

void ReloadView(WvView* v) {
    wkeReload(v);
}

void AddTimer(WvView* v, int id, int ms, bool repeat) {
    DWORD interval = (DWORD)std::max(repeat ? 10 : 0, ms);
    v->timers.push_back(WvView::Timer{id, GetTickCount() + interval, interval, repeat, 0});
}

void ClearTimer(WvView* v, int id) {
    v->timers.erase(std::remove_if(v->timers.begin(), v->timers.end(), [id](const WvView::Timer& t) { return t.id == id; }),
                    v->timers.end());
}

void StartXhr(WvView* v, int id, const std::string& method, const std::string& url, const std::string& body) {
    Transfer* t = R().net.Fetch(v, url, method.empty() ? "GET" : method, body, [v, id](Transfer& t) {
        auto it = std::find_if(v->xhrs.begin(), v->xhrs.end(), [id](const std::pair<int, Transfer*>& x) { return x.first == id; });
        if (it != v->xhrs.end()) v->xhrs.erase(it);
        if (v->script) v->script->XhrDone(id, t.ok ? t.status : 0, t.ok ? PageToUtf8(t.body, t.contentType) : "");
    });
    if (t) v->xhrs.emplace_back(id, t);
}

void AbortXhr(WvView* v, int id) {
    auto it = std::find_if(v->xhrs.begin(), v->xhrs.end(), [id](const std::pair<int, Transfer*>& x) { return x.first == id; });
    if (it == v->xhrs.end()) return;
    R().net.Cancel(it->second);
    v->xhrs.erase(it);
}

const std::vector<Binding>& Bindings() {
    return BindingTable();
}

void NodeChanged(WvView* v, dom_node* node, ChangeKind kind) {
    if (!v || !node) return;
    v->needLayout = true;
    if (v->needBuild || v->parsing) {  // the whole tree is made anew anyway
        v->dirty = true;
        return;
    }
    if (v->render.Building()) {
        // Half made: the boxes still to make may refer to nodes the change removed. Start over.
        v->needBuild = true;
        v->dirty = true;
        return;
    }
    if (!v->dirty && !NoteChange(v, node)) v->dirty = true;
    v->render.Changed(node, kind);
}

bool NodeBox(WvView* v, dom_node* node, RECT* box) {
    if (!v || !node || !box) return false;
    if (v->needLayout) Relayout(v, true);
    if (v->needLayout) return false;
    Box* b = v->render.BoxOf(node);
    if (!b) return false;
    SyncPageScroll(v);
    POINT shift = ScrollShift(b);
    if (b->element && (b->style.display != Display::Inline || b->tag == "img")) {
        // Table rows, row groups and columns are placed in their table's list without owning one.
        Display d = b->style.display;
        bool tablePart = d == Display::TableRow || d == Display::TableRowGroup || d == Display::TableHeaderGroup ||
                         d == Display::TableFooterGroup || d == Display::TableColumn ||
                         d == Display::TableColumnGroup;
        if (!b->ownsList && b->tag != "img" && !IsFormControl(b) && !(tablePart && !b->needsLayout)) return false;
        *box = DocumentBorder(b);
        OffsetRect(box, shift.x, shift.y);
        return true;
    }
    // Inline content: the union of the pieces drawn for it or below it.
    RECT u{};
    bool any = false;
    const Box* frame = Container(b);
    if (!frame || frame->needsLayout) return false;
    ForEachHit(frame, DocumentOrigin(frame), [&](const RECT& rc, dom_node* node) {
        Box* hb = v->render.BoxOf(node);
        bool inside = false;
        for (Box* x = hb; x && !inside; x = x->parent) inside = x == b;
        if (!inside) return;
        if (!any) u = rc;
        else UnionRect(&u, &u, &rc);
        any = true;
    });
    OffsetRect(&u, shift.x, shift.y);
    if (any) *box = u;
    return any;
}

std::string ComputedValue(WvView* v, dom_node* node, const std::string& property) {
    if (!v || !node) return std::string();
    if (v->needLayout) Relayout(v, true);
    Box* b = v->render.BoxOf(node);
    if (!b) return std::string();
    if (!b->element && b->parent) b = b->parent;
    return Cascade::Value(b->computed, b->style, property);
}

dom_node* NodeAt(WvView* v, int x, int y) {
    return ViewAlive(v) ? HitTest(v, x, y) : nullptr;
}

}  // namespace webview

extern "C" {

void wkeInitialize(void) {
    Runtime& r = R();
    if (r.initialized) return;
    r.net.Start();
    r.timer = SetTimer(nullptr, 0, kTickMs, OnTick);
    r.initialized = true;
}

void wkeFinalize(void) {
    Runtime& r = R();
    if (!r.initialized) return;
    std::vector<WvView*> views(r.views.begin(), r.views.end());
    if (r.depth > 0) {
        // Inside a script: the views go when it returns; the loop stops now.
        for (WvView* v : views) wkeDestroyWebView(v);
    } else {
        for (WvView* v : views) DestroyNow(v);
    }
    if (r.timer) KillTimer(nullptr, r.timer);
    r.timer = 0;
    if (r.depth == 0) {
        EndPageNet();
        r.net.Stop();
    }
    FailedStarts().clear();
    r.initialized = false;
}

wkeWebView wkeCreateWebView(void) {
    WvView* v = new WvView;
    if (!MakeSurface(v, 1, 1)) {
        FreeSurface(v);
        delete v;
        return nullptr;
    }
    v->width = v->height = 0;
    ShowEmpty(v, "about:blank");
    R().views.insert(v);
    return v;
}

void wkeDestroyWebView(wkeWebView v) {
    if (!Live(v)) return;
    if (InCallback()) {
        // Its own script may be running: go when the outermost script or callback returns.
        StopAll(v);
        v->destroyPending = true;
        return;
    }
    DestroyNow(v);
}

void wkeSetName(wkeWebView v, const char* name) {
    if (Live(v)) v->name = name ? name : "";
}

void wkeSetHostWindow(wkeWebView v, HWND host) {
    if (Live(v)) v->host = host;
}

void wkeLoadW(wkeWebView v, const wchar_t* url) {
    if (!Live(v) || !url) return;
    std::string u = WideToUtf8(url);
    if (InCallback()) {
        v->loadPending = true;
        v->pendingUrl = u;
        v->loading = true;
        return;
    }
    StartLoad(v, u);
}

void wkeStopLoading(wkeWebView v) {
    if (!Live(v)) return;
    v->loadPending = false;
    if (!v->loading) return;
    StopAll(v);
}

void wkeReload(wkeWebView v) {
    if (!Live(v)) return;
    std::string u = v->requestedUrl.empty() ? v->url : v->requestedUrl;
    if (u.empty()) return;
    wkeLoadW(v, Utf8ToWide(u).c_str());
}

bool wkeIsLoadingCompleted(wkeWebView v) {
    return !Live(v) || !v->loading;
}

void wkeResize(wkeWebView v, int width, int height) {
    if (!Live(v) || (width == v->width && height == v->height)) return;
    if (width < 0 || height < 0 || (long long)width * height > 64LL * 1024 * 1024) return;
    if (!MakeSurface(v, width, height)) return;
    MarkLayout(v);
}

bool wkeRepaintIfNeededAfterInterval(wkeWebView v) {
    if (!Live(v) || !FireScrollEvent(v)) return false;
    if (v->needLayout) Relayout(v);
    return RepaintView(v);
}

HDC wkeGetViewDC(wkeWebView v) {
    return Live(v) ? v->memDc : nullptr;
}

void wkeGetRepaintedRect(wkeWebView v, RECT* rect) {
    if (rect) *rect = Live(v) ? v->scrolling.lastPaint : RECT{0, 0, 0, 0};
}

int wkeGetCursorInfoType(wkeWebView v) {
    return Live(v) ? v->scrolling.cursor : WKE_CURSOR_POINTER;
}

bool wkeFireMouseEvent(wkeWebView v, unsigned int message, int x, int y, unsigned int flags) {
    if (!Live(v) || InCallback()) return false;
    if (v->needLayout) Relayout(v, true);
    if (ScrollBarMouse(v, message, x, y, flags)) return true;
    {
        CallbackScope scope;  // a pick from a drop-down list raises the page's events
        if (FormMouse(v, message, x, y, flags)) return true;
    }
    if (!Live(v)) return true;
    dom_node* hit = HitTest(v, x, y);
    UpdateCursor(v, x, y, hit);
    // Listeners may destroy the view or load another document: that waits until this returns.
    CallbackScope scope;
    NodeRef held = NodeRef::Share(hit);
    switch (message) {
    case WM_MOUSEMOVE: {
        if (hit != v->hoverNode) {
            NodeRef old = NodeRef::Share(v->hoverNode);
            Hold(v->hoverNode, hit);
            MoveHover(v, hit);
            DispatchMouse(v, old.get(), "mouseout", x, y, 0, flags, 0, hit);
            if (ViewAlive(v)) DispatchMouse(v, hit, "mouseover", x, y, 0, flags, 0, old.get());
        }
        if (ViewAlive(v)) DispatchMouse(v, hit, "mousemove", x, y, 0, flags);
        return false;
    }
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        Hold(v->pressedNode, hit);
        FocusAt(v, hit, x, y);
        if (!ViewAlive(v)) return true;
        DispatchMouse(v, hit, "mousedown", x, y, 0, flags, message == WM_LBUTTONDBLCLK ? 2 : 1);
        return hit != nullptr;
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        return (DispatchMouse(v, hit, "mousedown", x, y, message == WM_RBUTTONDOWN ? 2 : 1, flags, 1) & EventHandled) != 0;
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        return (DispatchMouse(v, hit, "mouseup", x, y, message == WM_RBUTTONUP ? 2 : 1, flags, 1) & EventHandled) != 0;
    case WM_LBUTTONUP: {
        NodeRef pressed = NodeRef::Share(v->pressedNode);
        Hold(v->pressedNode, nullptr);
        int r = DispatchMouse(v, hit, "mouseup", x, y, 0, flags, 1);
        if (!hit || hit != pressed.get() || !ViewAlive(v)) return (r & EventHandled) != 0;
        return Click(v, hit, x, y, flags);
    }
    default:
        return false;
    }
}

bool wkeFireMouseWheelEvent(wkeWebView v, int x, int y, int delta, unsigned int flags) {
    if (!Live(v)) return false;
    if (FormWheel(v, x, y, delta)) return true;
    if (v->needLayout) Relayout(v, true);
    return WheelScroll(v, x, y, delta, flags);
}

static bool Key(WvView* v, const char* type, unsigned code, unsigned flags, bool scrollKeys) {
    if (!Live(v) || InCallback()) return false;
    int r;
    {
        CallbackScope scope;
        r = DispatchKey(v, type, code, (flags & 0x4000) != 0);
    }
    bool used = (r & EventHandled) != 0;
    if (!(r & EventDefaultPrevented) && Live(v)) {
        CallbackScope scope;
        if (std::string(type) == "keydown" ? FormKeyDown(v, code) : std::string(type) == "keypress" && FormChar(v, code))
            return true;
    }
    // The page's listeners come first: one that prevents the default keeps the page still.
    if (scrollKeys && !(r & EventDefaultPrevented) && Live(v)) {
        if (v->needLayout) Relayout(v);
        int page = std::max(40, v->height - 40);
        switch (code) {
        case VK_UP: used = Scroll(v, -40) || used; break;
        case VK_DOWN: used = Scroll(v, 40) || used; break;
        case VK_PRIOR: used = Scroll(v, -page) || used; break;
        case VK_NEXT: used = Scroll(v, page) || used; break;
        case VK_HOME: used = Scroll(v, -v->scrollY) || used; break;
        case VK_END: used = Scroll(v, v->page.height) || used; break;
        case VK_LEFT: used = (v->scrolling.barH && ScrollPage(v, -40, 0)) || used; break;
        case VK_RIGHT: used = (v->scrolling.barH && ScrollPage(v, 40, 0)) || used; break;
        default: break;
        }
    }
    return used;
}

bool wkeFireKeyDownEvent(wkeWebView v, unsigned int code, unsigned int flags, bool systemKey) {
    return Key(v, "keydown", code, flags, true);
}

bool wkeFireKeyUpEvent(wkeWebView v, unsigned int code, unsigned int flags, bool systemKey) {
    return Key(v, "keyup", code, flags, false);
}

bool wkeFireKeyPressEvent(wkeWebView v, unsigned int code, unsigned int flags, bool systemKey) {
    return Key(v, "keypress", code, flags, false);
}

bool wkeFireContextMenuEvent(wkeWebView v, int x, int y, unsigned int flags) {
    return false;
}

void wkeSetFocus(wkeWebView v) {
    if (Live(v)) v->focused = true;
}

void wkeKillFocus(wkeWebView v) {
    if (Live(v)) v->focused = false;
}

void wkeOnNavigation(wkeWebView v, wkeNavigationCallback callback, void* param) {
    if (!Live(v)) return;
    v->onNavigation = callback;
    v->navigationParam = param;
}

void wkeOnCreateView(wkeWebView v, wkeCreateViewCallback callback, void* param) {
    if (!Live(v)) return;
    v->onCreateView = callback;
    v->createViewParam = param;
}

void wkeOnLoadingFinish(wkeWebView v, wkeLoadingFinishCallback callback, void* param) {
    if (!Live(v)) return;
    v->onLoadingFinish = callback;
    v->loadingFinishParam = param;
}

void wkeJSBindFunction(const char* name, jsNativeFunction function, unsigned int argCount) {
    if (!name || !*name || !function) return;
    auto& table = BindingTable();
    size_t index = table.size();
    for (size_t i = 0; i < table.size(); ++i)
        if (table[i].name == name) index = i;
    if (index == table.size()) table.push_back(Binding{name, function, argCount});
    else table[index] = Binding{name, function, argCount};
    for (WvView* v : R().views)
        if (v->script) v->script->DefineBinding(index);
}

const wchar_t* wkeGetStringW(wkeString s) {
    return s ? s->text.c_str() : L"";
}
}
