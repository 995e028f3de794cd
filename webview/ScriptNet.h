// What a page's scripts reach the network with: XMLHttpRequest (request headers, response headers,
// time-out, abort, response types "", "text" and "json", the ready-state sequence and its events),
// WebSocket (ws:// and wss://, through the proxy variables like every load) and document.cookie
// over the process's one cookie jar.
//
// The page side is a small script (ScriptNet.inc) over natives installed here; request and socket
// callbacks wait in one queue and are run from the library's timer while the tick's script budget
// lasts. Connections and queued callbacks belong to their view and go with its document.
#pragma once

struct WvView;
struct duk_hthread;

namespace webview {

// Into a new script heap, after the page prelude.
void InstallNetBindings(duk_hthread* ctx);
// From the library's timer: WebSocket connections moved on, waiting callbacks run.
void PollPageNet();
// The view's requests, connections and waiting callbacks dropped (new document, stop, destruction).
void DropPageNet(WvView* view);
// At the library's end, before the transfers stop.
void EndPageNet();

}  // namespace webview
