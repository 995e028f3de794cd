// A web view's state (the object behind a wkeWebView handle) and the library's process-wide
// runtime: the live views, the transfers, the thread timer that drives them, the bound functions
// and the deferral of loads and destruction asked for while a script or callback runs.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "Dom.h"
#include "Forms.h"
#include "Layout.h"
#include "Net.h"
#include "RenderTree.h"
#include "ViewScroll.h"
#include "../webview/webview.h"

namespace webview {
class Script;
}

struct WvStringRec {
    std::wstring text;
};

struct WvView {
    std::string name;
    HWND host = nullptr;
    webview::Document doc;
    webview::RenderTree render;  // after doc: its boxes let go of their nodes first
    bool needBuild = true;       // the render tree is made again before the next layout
    std::vector<std::string> sheets;  // the page's style sheets' text, in document order
    std::vector<std::string> sheetBases;  // a linked sheet's URL (its url()s' base), else empty
    std::unique_ptr<webview::Script> script;
    webview::FontCache fonts;
    webview::LayoutResult page;
    bool needLayout = true, dirty = true, focused = false;
    int width = 0, height = 0, scrollX = 0, scrollY = 0;
    webview::PageScroll scrolling;
    HDC memDc = nullptr;
    HBITMAP dib = nullptr;
    HGDIOBJ oldBitmap = nullptr;

    std::string url;           // the document's URL (after redirects once loaded)
    std::string requestedUrl;  // what the running or last load asked for
    bool loading = false;
    webview::Transfer* docTransfer = nullptr;
    std::vector<webview::Document::Script> scripts;  // of the document being loaded
    size_t scriptsMissing = 0;
    size_t sheetsMissing = 0;
    // The page's text while it is parsed a slice per timer tick.
    bool parsing = false;
    std::string parseText;
    size_t parsePos = 0;
    std::string loadFailure;
    // The next load is a form's POST of this body.
    bool postPending = false;
    std::string postBody;

    wkeNavigationCallback onNavigation = nullptr;
    void* navigationParam = nullptr;
    wkeCreateViewCallback onCreateView = nullptr;
    void* createViewParam = nullptr;
    wkeLoadingFinishCallback onLoadingFinish = nullptr;
    void* loadingFinishParam = nullptr;

    // Each holds a libdom reference (scripts may remove the node meanwhile); set through Hold().
    dom_node* hoverNode = nullptr;
    dom_node* pressedNode = nullptr;
    webview::FormState forms;  // the document's form controls

    struct Timer {
        int id;
        DWORD due, interval;
        bool repeat;
        int strikes;  // callbacks in a row that used a whole tick's script budget
    };
    std::vector<Timer> timers;
    std::vector<std::pair<int, webview::Transfer*>> xhrs;

    // Deferred while a script or callback runs.
    bool destroyPending = false;
    bool loadPending = false;
    std::string pendingUrl;
};

namespace webview {

// Calls into scripts and host callbacks are bracketed by this: loads and destruction asked for
// meanwhile wait until the outermost one returns.
class CallbackScope {
public:
    CallbackScope();
    ~CallbackScope();
};
bool InCallback();

bool ViewAlive(WvView* v);
// The library's transfers (every view's).
Network& Net();
void Log(WvView* v, const std::string& line);
void MarkLayout(WvView* v);
// Lays the page out now when it waits for it.
void EnsureLayout(WvView* v);

// What the DOM bindings tell and ask of the view's rendering. After each change to the document
// (attribute, class or style attribute, text, insertion or removal of children), NodeChanged
// with the changed node (the parent for insertions and removals): the boxes below it are styled
// again and laid out on the next paint, the rest of the page's layout is reused.
using ChangeKind = RenderTree::Change;
void NodeChanged(WvView* v, dom_node* node, ChangeKind kind);
// The border box in document coordinates; false when the node has no box (display:none, not in
// the document, below the render tree's depth cap).
bool NodeBox(WvView* v, dom_node* node, RECT* box);
// A computed value as getComputedStyle gives it, e.g. "block", "rgb(255, 0, 0)", "16px".
std::string ComputedValue(WvView* v, dom_node* node, const std::string& property);
// The node under a point of the view (view coordinates, scrolling applied): the element of a text.
dom_node* NodeAt(WvView* v, int x, int y);

// What scripts ask of their view.
// post: the body of a form's POST (application/x-www-form-urlencoded), null for a GET.
void Navigate(WvView* v, const std::string& url, int type, bool newWindow, const std::string* post = nullptr);
void ReloadView(WvView* v);
void AddTimer(WvView* v, int id, int ms, bool repeat);
void ClearTimer(WvView* v, int id);
void StartXhr(WvView* v, int id, const std::string& method, const std::string& url, const std::string& body);
void AbortXhr(WvView* v, int id);

struct Binding {
    std::string name;
    jsNativeFunction function;
    unsigned argCount;
};
const std::vector<Binding>& Bindings();

}  // namespace webview
