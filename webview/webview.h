/* The console's embedded web view: a small page engine (HTML parsing, a CSS subset, block and inline
 * layout, GDI painting into an off-screen picture, JavaScript with timers and XMLHttpRequest, loads
 * through libcurl) behind the calls the web-view control makes.
 *
 * Ownership: the library owns every view it creates until wkeDestroyWebView; strings handed to
 * callbacks (WvString) are valid only during the callback. Everything runs on the thread that
 * called wkeInitialize; the library's work is driven by a thread timer of that thread, so the
 * thread must dispatch its messages. Loads and destruction asked for from inside a script or a
 * callback are carried out when the script or callback has returned. */
#ifndef WEBVIEW_WEBVIEW_H
#define WEBVIEW_WEBVIEW_H

#include <windows.h>
#include <stdbool.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct WvView* wkeWebView;
typedef struct WvStringRec* wkeString;
typedef struct WvJsCall* jsExecState;
typedef int64_t jsValue;

/* Navigation types handed to the navigation and create-view callbacks. */
enum {
    WKE_NAVIGATION_LINK = 0,
    WKE_NAVIGATION_FORM_SUBMIT = 1,
    WKE_NAVIGATION_RELOAD = 3,
    WKE_NAVIGATION_OTHER = 5
};

/* Load results handed to the loading-finished callback. */
enum {
    WKE_LOADING_SUCCEEDED = 0,
    WKE_LOADING_FAILED = 1
};

typedef struct wkeWindowFeatures {
    int x, y, width, height;
} wkeWindowFeatures;

typedef bool (*wkeNavigationCallback)(wkeWebView view, void* param, int navigationType, wkeString url);
typedef wkeWebView (*wkeCreateViewCallback)(wkeWebView view, void* param, int navigationType, wkeString url,
                                            const wkeWindowFeatures* features);
typedef void (*wkeLoadingFinishCallback)(wkeWebView view, void* param, wkeString url, int result,
                                         wkeString failedReason);
typedef jsValue (*jsNativeFunction)(jsExecState es);

/* Library start and end; may run again after wkeFinalize. Bindings survive wkeFinalize. */
void wkeInitialize(void);
void wkeFinalize(void);

wkeWebView wkeCreateWebView(void);
void wkeDestroyWebView(wkeWebView view);
void wkeSetName(wkeWebView view, const char* name);
void wkeSetHostWindow(wkeWebView view, HWND hostWindow);

void wkeLoadW(wkeWebView view, const wchar_t* url);
void wkeStopLoading(wkeWebView view);
void wkeReload(wkeWebView view);
bool wkeIsLoadingCompleted(wkeWebView view);

void wkeResize(wkeWebView view, int width, int height);
bool wkeRepaintIfNeededAfterInterval(wkeWebView view);
HDC wkeGetViewDC(wkeWebView view);
/* The part of the picture the last wkeRepaintIfNeededAfterInterval that returned true changed
 * (what the host needs to show again). */
void wkeGetRepaintedRect(wkeWebView view, RECT* rect);

/* The cursor for the last mouse position the view was given. */
enum {
    WKE_CURSOR_POINTER = 0,
    WKE_CURSOR_HAND = 2,
    WKE_CURSOR_IBEAM = 3
};
int wkeGetCursorInfoType(wkeWebView view);

/* Input; true when the page used it. Mouse flags are MK_ bits, key flags 0x4000 (repeat) and
 * 0x100 (extended key). */
bool wkeFireMouseEvent(wkeWebView view, unsigned int message, int x, int y, unsigned int flags);
bool wkeFireMouseWheelEvent(wkeWebView view, int x, int y, int delta, unsigned int flags);
bool wkeFireKeyDownEvent(wkeWebView view, unsigned int virtualKeyCode, unsigned int flags, bool systemKey);
bool wkeFireKeyUpEvent(wkeWebView view, unsigned int virtualKeyCode, unsigned int flags, bool systemKey);
bool wkeFireKeyPressEvent(wkeWebView view, unsigned int charCode, unsigned int flags, bool systemKey);
bool wkeFireContextMenuEvent(wkeWebView view, int x, int y, unsigned int flags);
void wkeSetFocus(wkeWebView view);
void wkeKillFocus(wkeWebView view);

void wkeOnNavigation(wkeWebView view, wkeNavigationCallback callback, void* param);
void wkeOnCreateView(wkeWebView view, wkeCreateViewCallback callback, void* param);
void wkeOnLoadingFinish(wkeWebView view, wkeLoadingFinishCallback callback, void* param);

/* A global JavaScript function in every document, present and future. */
void wkeJSBindFunction(const char* name, jsNativeFunction function, unsigned int argCount);
/* Argument i of the running call (undefined beyond those given). */
jsValue wkeJSParam(jsExecState es, int index);
int wkeJSToInt(jsExecState es, jsValue value);
jsValue wkeJSUndefined(jsExecState es);

const wchar_t* wkeGetStringW(wkeString string);

#ifdef __cplusplus
}
#endif

#endif
