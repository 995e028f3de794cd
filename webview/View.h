// A web view's state (the object behind a wkeWebView handle) and the library's process-wide
// runtime: the live views, the transfers, the thread timer that drives them, the bound functions
// and the deferral of loads and destruction asked for while a script or callback runs.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "Dom.h"
#include "Layout.h"
#include "Net.h"
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
    std::unique_ptr<webview::Script> script;
    webview::FontCache fonts;
    webview::LayoutResult page;
    bool needLayout = true, dirty = true, focused = false;
    int width = 0, height = 0, scrollY = 0;
    HDC memDc = nullptr;
    HBITMAP dib = nullptr;
    HGDIOBJ oldBitmap = nullptr;

    std::string url;           // the document's URL (after redirects once loaded)
    std::string requestedUrl;  // what the running or last load asked for
    bool loading = false;
    webview::Transfer* docTransfer = nullptr;
    std::vector<webview::Document::Script> scripts;  // of the document being loaded
    size_t scriptsMissing = 0;

    wkeNavigationCallback onNavigation = nullptr;
    void* navigationParam = nullptr;
    wkeCreateViewCallback onCreateView = nullptr;
    void* createViewParam = nullptr;
    wkeLoadingFinishCallback onLoadingFinish = nullptr;
    void* loadingFinishParam = nullptr;

    uint32_t hoverNode = 0, pressedNode = 0;

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

// What scripts ask of their view.
void Navigate(WvView* v, const std::string& url, int type, bool newWindow);
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
