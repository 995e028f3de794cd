"""Pages of the cafe service's web views, served by the stand-in on every scenario host.

  /index.php?g=home&m=activity&a=page   the activity page (the URL of the café's activity request)
  /web/socket.html   the web-socket page that polls: calls window_external_CppCall(1, 0, 0) on load, then polls the scenario's
                     event queue by a relative-URL XMLHttpRequest every 200 ms and calls
                     window_external_CppCall(code, uid, 0) for each event ("two": true: only two
                     arguments are passed)
  /web/events        the queued events as a JSON array; the queue is emptied
  /web/cafe_events   the café's queued events (control API cafe_event) and the scenario's web events,
                     as a JSON array of {code, uid[, two]}; both queues are emptied. Asked for as a
                     WebSocket (Upgrade: websocket), it pushes each such event as one text message
                     {code, uid[, two]} as soon as it is queued, until the client closes. The café's
                     web-socket page (index.php?...&a=websocket) calls (1, 0, 0) and the events
                     queued before it was served inline, then listens on that WebSocket (ws:// or
                     wss:// as the page came); when the socket closes or fails it calls (2, 0, 0)
  /web/ws/echo       a WebSocket that echoes each text message; the messages "close:CODE:REASON"
                     (a close frame with that code and reason), "drop" (the connection closed
                     without one), "frag:N:TEXT" (TEXT sent back in N fragments), "big:N" (a
                     message of N bytes "x"), "ping:TEXT" (a ping, then TEXT once its pong came)
                     and "cookie" (the Cookie header of the upgrade request) do what they say; the
                     protocol asked for is accepted
  /web/ws/refuse     a WebSocket upgrade answered with 403
  /web/hostile/NAME  the hostile pages of HOSTILE (pages that try to hold up the view)
  /web/activity.html the activity page (GBK): a coloured block with onclick, a link, a _blank link
  /web/second.html   the links' target: a red block
  /web/throw.html    scripts that throw; calls (7, 1..3, 0) around the throws
  /web/endless.html  an endless script loop between calls (8, 1, 0) and (8, 2, 0)
  /web/stall.html    headers never come
  /web/prefix?page=P&n=N     the first N bytes of page P (activity, socket, throw)
  /web/random?seed=S&n=N     N random bytes
  /web/deep?n=N              elements nested N deep

Control API: GET /_standin/webevent?id=SCENARIO&code=C&uid=U[&two=1][&uid_text=1] queues one event.
"""
import base64
import hashlib
import json
import queue
import random
import select
import struct
import threading
import time

SOCKET_PAGE = """<!DOCTYPE html>
<html><head><meta charset="utf-8"><title>socket</title></head>
<body><div id="state">connecting</div>
<script>
window_external_CppCall(1, 0, 0);
document.getElementById('state').textContent = 'connected';
function poll() {
  var x = new XMLHttpRequest();
  x.open('GET', 'events');
  x.onload = function () {
    var list = JSON.parse(x.responseText || '[]');
    for (var i = 0; i < list.length; i++) {
      var e = list[i];
      if (e.two) window_external_CppCall(e.code, e.uid);
      else window_external_CppCall(e.code, e.uid, 0);
    }
  };
  x.send();
}
setInterval(poll, 200);
</script></body></html>
"""

CAFE_SOCKET_PAGE = """<html><head><meta charset="utf-8"><title>websocket</title></head>
<body><div id="state">connecting</div>
<script>
window_external_CppCall(1,0,0);
%(queued)sdocument.getElementById('state').textContent = 'connected';
var base = location.href.replace(/^http/, 'ws');
var socket = new WebSocket(base.slice(0, base.indexOf('/index.php')) + '/web/cafe_events?bbarcode=%(code)s');
var ended = false;
socket.onmessage = function (m) {
  var e = JSON.parse(m.data);
  if (e.two) window_external_CppCall(e.code, e.uid);
  else window_external_CppCall(e.code, e.uid, 0);
};
socket.onclose = function () {
  document.getElementById('state').textContent = 'closed';
  if (!ended) window_external_CppCall(2, 0, 0);
  ended = true;
};
</script></body></html>
"""


def cafe_socket_page(queued, code=""):
    """The café's web-socket page (UTF-8 bytes): the load-time call, the events queued so far
    ([code, uid, x] each) inline, then the WebSocket /web/cafe_events (beside /index.php)."""
    calls = "".join("window_external_CppCall(%d,%d,%d);\n" % tuple(int(x) for x in e) for e in queued)
    safe = "".join(c for c in code if c.isalnum())
    return (CAFE_SOCKET_PAGE % {"queued": calls, "code": safe}).encode("utf-8")


ACTIVITY_PAGE = """<html><head><meta http-equiv="Content-Type" content="text/html; charset=gbk">
<title>活动</title>
<style>
body { margin: 0; }
#block { background-color: #00c800; width: 200px; height: 80px; color: #ffffff; font-size: 20px; }
.link { display: block; height: 30px; }
</style></head>
<body>
<div id="block" onclick="window_external_CppCall(4,4711,0)">活动专区 上网送好礼</div>
<a class="link" id="link" href="%(base)ssecond.html">下一页</a>
<a class="link" id="blank" href="%(base)ssecond.html?blank=1" target="_blank">新窗口打开</a>
<div id="status">ready</div>
</body></html>
"""

SECOND_PAGE = """<html><body style="margin:0"><div style="height:200px;background-color:#c80000">second</div>
<script>window_external_CppCall(6, 1, 0);</script></body></html>
"""

THROW_PAGE = """<html><body><p>throws</p>
<script>window_external_CppCall(7, 1, 0); throw new Error('boom');</script>
<script>window_external_CppCall(7, 2, 0); noSuchFunction();</script>
<script>window.onload = function () { window_external_CppCall(7, 3, 0); };</script>
<script>this is not javascript at all {</script>
</body></html>
"""

ENDLESS_PAGE = """<html><body><p>endless</p>
<script>window_external_CppCall(8, 1, 0); for (;;) {}</script>
<script>window_external_CppCall(8, 2, 0);</script>
</body></html>
"""

PAGES = {"activity": (ACTIVITY_PAGE % {"base": ""}).encode("gbk"), "socket": SOCKET_PAGE.encode("utf-8"),
         "throw": THROW_PAGE.encode("utf-8")}

_lock = threading.RLock()

WS_GUID = "258EAFA5-E914-47DA-95CA-C5AB0DC85B11"


class WebSocketPeer:
    """The server end of one WebSocket on a handler's connection (plain or inside a TLS tunnel).
    A reader thread takes the client's frames apart; everything is written from the serving
    thread alone."""

    def __init__(self, handler):
        self.h = handler
        self.incoming = queue.Queue()   # ("text", str) | ("ping", bytes) | ("pong", bytes) | ("close", code, reason) | ("gone",)
        self.closed = False

    def accept(self):
        key = self.h.headers.get("Sec-WebSocket-Key", "")
        accept = base64.b64encode(hashlib.sha1((key + WS_GUID).encode("ascii")).digest()).decode("ascii")
        lines = ["HTTP/1.1 101 Switching Protocols", "Upgrade: websocket", "Connection: Upgrade",
                 "Sec-WebSocket-Accept: " + accept]
        proto = (self.h.headers.get("Sec-WebSocket-Protocol") or "").split(",")[0].strip()
        if proto:
            lines.append("Sec-WebSocket-Protocol: " + proto)
        self.write(("\r\n".join(lines) + "\r\n\r\n").encode("latin-1"))
        threading.Thread(target=self.read_frames, daemon=True).start()

    def write(self, data):
        self.h.wfile.write(data)
        if hasattr(self.h.wfile, "flush"):
            self.h.wfile.flush()

    def frame(self, opcode, payload, fin=True):
        n = len(payload)
        head = bytes([(0x80 if fin else 0) | opcode])
        if n < 126:
            head += bytes([n])
        elif n < 65536:
            head += bytes([126]) + struct.pack(">H", n)
        else:
            head += bytes([127]) + struct.pack(">Q", n)
        self.write(head + payload)

    def text(self, s):
        self.frame(1, s.encode("utf-8"))

    def read_exact(self, n):
        data = b""
        while len(data) < n:
            chunk = self.h.rfile.read(n - len(data))
            if not chunk:
                raise EOFError
            data += chunk
        return data

    def read_frames(self):
        message = b""
        try:
            while True:
                b0, b1 = self.read_exact(2)
                opcode, n = b0 & 15, b1 & 127
                if n == 126:
                    n = struct.unpack(">H", self.read_exact(2))[0]
                elif n == 127:
                    n = struct.unpack(">Q", self.read_exact(8))[0]
                mask = self.read_exact(4) if b1 & 128 else b"\0\0\0\0"
                payload = bytes(c ^ mask[i % 4] for i, c in enumerate(self.read_exact(n)))
                if opcode == 8:
                    code = struct.unpack(">H", payload[:2])[0] if len(payload) >= 2 else 1005
                    self.incoming.put(("close", code, payload[2:].decode("utf-8", "replace")))
                    return
                if opcode == 9:
                    self.incoming.put(("ping", payload))
                elif opcode == 10:
                    self.incoming.put(("pong", payload))
                else:
                    message += payload
                    if b0 & 0x80:
                        self.incoming.put(("text", message.decode("utf-8", "replace")))
                        message = b""
        except (EOFError, OSError, ValueError):
            self.incoming.put(("gone",))

    def next(self, timeout):
        try:
            return self.incoming.get(timeout=timeout)
        except queue.Empty:
            return None

    def close(self, code, reason=""):
        try:
            self.frame(8, struct.pack(">H", code) + reason.encode("utf-8"))
        except OSError:
            pass

    def drop(self):
        try:
            self.h.connection.shutdown(2)
        except OSError:
            pass


def _upgrade_wanted(handler):
    return (handler.headers.get("Upgrade") or "").lower() == "websocket"


def _serve_socket(handler, run):
    """Answers the upgrade and runs run(peer) until the conversation ends; the connection is
    closed afterwards."""
    handler.close_connection = True
    peer = WebSocketPeer(handler)
    try:
        peer.accept()
        run(peer)
    except OSError:
        pass


def _echo(peer, handler, deadline):
    while time.time() < deadline and not handler.server.stopping:
        item = peer.next(0.25)
        if item is None:
            continue
        if item[0] == "gone":
            return
        if item[0] == "close":
            peer.close(item[1], "")
            return
        if item[0] == "ping":
            peer.frame(10, item[1])
            continue
        if item[0] == "pong":
            if getattr(peer, "after_pong", None) is not None:
                peer.text(peer.after_pong)
                peer.after_pong = None
            continue
        msg = item[1]
        if msg.startswith("close:"):
            _, code, reason = (msg.split(":", 2) + [""])[:3]
            peer.close(int(code), reason)
            # the client's answer ends the conversation
            end = time.time() + 5
            while time.time() < end:
                got = peer.next(0.25)
                if got and got[0] in ("close", "gone"):
                    return
            return
        if msg == "drop":
            peer.drop()
            return
        if msg.startswith("frag:"):
            _, n, text = msg.split(":", 2)
            data, n = text.encode("utf-8"), max(1, int(n))
            size = max(1, (len(data) + n - 1) // n)
            parts = [data[i:i + size] for i in range(0, len(data), size)] or [b""]
            for i, part in enumerate(parts):
                peer.frame(1 if i == 0 else 0, part, fin=i == len(parts) - 1)
            continue
        if msg.startswith("big:"):
            peer.text("x" * int(msg[4:]))
            continue
        if msg.startswith("ping:"):
            peer.after_pong = msg[5:]
            peer.frame(9, b"are you there")
            continue
        if msg == "cookie":
            peer.text(handler.headers.get("Cookie") or "")
            continue
        peer.text(msg)


def _cafe_pusher(peer, handler, sc, deadline):
    while time.time() < deadline and not handler.server.stopping:
        with sc.cafe.lock:
            queued, sc.cafe.events = sc.cafe.events, []
        with _lock:
            ev = [{"code": int(e[0]), "uid": int(e[1])} for e in queued] + list(_events(sc))
            del _events(sc)[:]
        for e in ev:
            peer.text(json.dumps(e))
        item = peer.next(0.05)
        if item is None or item[0] in ("text", "pong"):
            continue
        if item[0] == "ping":
            peer.frame(10, item[1])
            continue
        if item[0] == "close":
            peer.close(item[1])
        return


HOSTILE = {
    # Twenty intervals, each busy for 30 ms every 10 ms.
    "busy": "<html><body><div id='n'>0</div><script>for (var k = 0; k < 20; k++) setInterval(function () {"
            "for (var t = Date.now(); Date.now() - t < 30;) {} }, 10);</script></body></html>",
    # A pattern that backtracks exponentially, run from a timer again and again.
    "regex": "<html><body><script>setInterval(function () { /^(a+)+$/.test("
             "'aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaab'); }, 50);</script></body></html>",
    # An array that grows without end.
    "grow": "<html><body><script>var keep = []; setInterval(function () {"
            "for (var i = 0; i < 200; i++) keep.push(new Array(10000).join('x') + i); }, 10);</script></body></html>",
    # A 20,000 x 20,000 PNG.
    "png": "<html><body><img src='/web/hostile/huge.png' width='100' height='100'></body></html>",
    # Requests to a server that never answers, started every 100 ms.
    "silent": "<html><body><script>setInterval(function () { var x = new XMLHttpRequest();"
              "x.open('GET', '/web/hostile/silent-server'); x.timeout = 3000; x.send(); }, 100);</script></body></html>",
    # 3,000 appends to innerHTML.
    "innerhtml": "<html><body><div id='d'></div><script>var d = document.getElementById('d');"
                 "for (var i = 0; i < 3000; i++) d.innerHTML += '<span>' + i + '</span>';</script></body></html>",
    # 26 inline blocks, each inside the one before.
    "inline": "<html><body>" + "<div style='display:inline-block;padding:2px'>" * 26 + "x" + "</div>" * 26 +
              "</body></html>",
    # 40 buttons never closed.
    "buttons": "<html><body>" + "<button>b" * 40 + "</body></html>",
}


def _huge_png():
    """A valid PNG header (and a tiny IDAT) announcing 20,000 x 20,000 pixels."""
    import zlib
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xffffffff)
    ihdr = struct.pack(">IIBBBBB", 20000, 20000, 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(b"\0" * 1024)) + \
        chunk(b"IEND", b"")


def _events(sc):
    with _lock:
        if not hasattr(sc, "web_events"):
            sc.web_events = []
        return sc.web_events


def serve(handler, sc, path, q):
    """Serves a page when the path is one of ours; False otherwise."""
    html = {"Content-Type": "text/html; charset=utf-8"}
    arg = lambda k, d="": q.get(k, [d])[0]
    if path == "/index.php" and arg("m") == "activity" and arg("a") == "page":
        page = (ACTIVITY_PAGE % {"base": "web/"}).encode("gbk")  # relative to /index.php
        handler.send(200, page, {"Content-Type": "text/html"})
    elif path == "/web/socket.html":
        handler.send(200, PAGES["socket"], html)
    elif path == "/web/events":
        with _lock:
            ev = list(_events(sc))
            del sc.web_events[:]
        handler.send(200, json.dumps(ev).encode("utf-8"), {"Content-Type": "application/json"})
    elif path == "/web/cafe_events" and _upgrade_wanted(handler):
        _serve_socket(handler, lambda peer: _cafe_pusher(peer, handler, sc, time.time() + 3600))
    elif path == "/web/ws/echo" and _upgrade_wanted(handler):
        _serve_socket(handler, lambda peer: _echo(peer, handler, time.time() + 600))
    elif path == "/web/ws/refuse":
        handler.send(403, b"no sockets here", {"Content-Type": "text/plain"})
    elif path == "/web/hostile/huge.png":
        handler.send(200, _huge_png(), {"Content-Type": "image/png"})
    elif path == "/web/hostile/silent-server":
        handler.close_connection = True
        handler.hold({"stall_seconds": 120})
    elif path == "/web/hostile/large":
        # A 20 MB page of paragraphs.
        para = b"<p>" + b"lorem ipsum dolor sit amet " * 36 + b"</p>\n"
        body = b"<html><body>" + para * (20 * 1024 * 1024 // len(para)) + b"</body></html>"
        handler.send(200, body, html)
    elif path.startswith("/web/hostile/") and path[len("/web/hostile/"):] in HOSTILE:
        handler.send(200, HOSTILE[path[len("/web/hostile/"):]].encode("utf-8"), html)
    elif path == "/web/cafe_events":
        with sc.cafe.lock:
            queued, sc.cafe.events = sc.cafe.events, []
        with _lock:
            ev = [{"code": int(e[0]), "uid": int(e[1])} for e in queued] + list(_events(sc))
            del sc.web_events[:]
        handler.send(200, json.dumps(ev).encode("utf-8"), {"Content-Type": "application/json"})
    elif path == "/web/activity.html":
        handler.send(200, PAGES["activity"], {"Content-Type": "text/html"})
    elif path == "/web/second.html":
        handler.send(200, SECOND_PAGE.encode("utf-8"), html)
    elif path == "/web/throw.html":
        handler.send(200, PAGES["throw"], html)
    elif path == "/web/endless.html":
        handler.send(200, ENDLESS_PAGE.encode("utf-8"), html)
    elif path == "/web/stall.html":
        handler.close_connection = True
        handler.hold({"stall_seconds": 120})
    elif path == "/web/prefix":
        page = PAGES.get(arg("page"), b"")
        handler.send(200, page[:int(arg("n", "0"))], {"Content-Type": "text/html"})
    elif path == "/web/random":
        rnd = random.Random(int(arg("seed", "1")))
        handler.send(200, bytes(rnd.randrange(256) for _ in range(int(arg("n", "1000")))), {"Content-Type": "text/html"})
    elif path == "/web/deep":
        n = int(arg("n", "10000"))
        body = "<html><body>" + "<div><span>" * n + "deep" + "</span></div>" * n + \
               "<script>window_external_CppCall(9, 1, 0);</script></body></html>"
        handler.send(200, body.encode("utf-8"), html)
    else:
        return False
    return True


def control(handler, registry, op, q):
    """The control operations of the web pages; False when op is not one of them."""
    if op != "webevent":
        return False
    sc = registry.get(q.get("id", [""])[0])
    if sc is None:
        handler.send(404, b"no such scenario", {"Content-Type": "text/plain"})
        return True
    uid = q.get("uid", ["0"])[0]
    ev = {"code": int(q.get("code", ["0"])[0]), "uid": uid if q.get("uid_text") else int(uid)}
    if q.get("two"):
        ev["two"] = True
    _events(sc).append(ev)
    handler.send(200, b"ok", {"Content-Type": "text/plain"})
    return True
