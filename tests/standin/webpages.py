"""Pages of the cafe service's web views, served by the stand-in on every scenario host.

  /index.php?g=home&m=activity&a=page   the activity page (the URL of the café's activity request)
  /web/socket.html   the web-socket page that polls: calls window_external_CppCall(1, 0, 0) on load, then polls the scenario's
                     event queue by a relative-URL XMLHttpRequest every 200 ms and calls
                     window_external_CppCall(code, uid, 0) for each event ("two": true: only two
                     arguments are passed)
  /web/events        the queued events as a JSON array; the queue is emptied
  /web/cafe_events   the café's queued events (control API cafe_event) and the scenario's web events,
                     as a JSON array of {code, uid[, two]}; both queues are emptied. The café's
                     web-socket page (index.php?...&a=websocket) polls it: that page calls (1, 0, 0)
                     and the events queued before it was served inline, then polls every 200 ms
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
import json
import random
import threading

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
function poll() {
  var x = new XMLHttpRequest();
  x.open('GET', 'web/cafe_events');
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


def cafe_socket_page(queued):
    """The café's web-socket page (UTF-8 bytes): the load-time call, the events queued so far
    ([code, uid, x] each) inline, then polling of /web/cafe_events (relative to /index.php)."""
    calls = "".join("window_external_CppCall(%d,%d,%d);\n" % tuple(int(x) for x in e) for e in queued)
    return (CAFE_SOCKET_PAGE % {"queued": calls}).encode("utf-8")


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
