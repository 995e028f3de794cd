// The window's own natives for scripts: base64 (atob, btoa) and localStorage, whose items are
// kept per origin (scheme, host and port of the document's URL) for the process's lifetime,
// shared by every view and every later document of that origin.
#pragma once

struct duk_hthread;

namespace webview {

// Pushes the natives object the window prelude (ScriptWindowPrelude.inc) is called with.
void PushWindowNatives(duk_hthread* ctx);

}  // namespace webview
