#!/usr/bin/env python3
"""Loopback stand-in of the vendor's update and café services, reached as an HTTP/HTTPS proxy.

Programs built with any update host name reach it through libcurl's standard proxy variables
(http_proxy / https_proxy pointing at the stand-in): it accepts absolute-form requests
("GET http://host/path HTTP/1.1") and CONNECT tunnels, on which it speaks TLS with a
self-signed certificate made at start. Origin-form requests sent straight to its port work too.

What it serves, per scenario (see below):
  /index.php?g=home&m=api&a=check_update|get_version|post_version&netbarid=N&version=V
      JSON replies whose members are all JSON strings, as the service sends them;
  /netfilelist.ini            the release's server file list (GBK text, CR LF lines);
  /release/<url>              the release's files (never gzip-encoded);
  /updater/Core.exe           the updater program that the console's check_update announces;
  /index.php?g=home&m=bar|user|activity|open|home&a=...
                              the café service (see "cafe" below), with state per scenario;
  <strzmphoto of a customer>  that customer's photo.

Multipart form fields of every POST are logged in order ("fields": [[name, value]], values decoded
as GBK, the console's code page).

Scenarios keep parallel tests apart. A scenario is registered through the control API and is
found again by the host name the stand-in gives it ("<id>.standin.test") or by the cafe id
("netbarid") it claims; update-service requests to the compiled-in update hosts are routed by
their netbarid. Every request (request line and headers, in order) is logged in its scenario.

Control API (any request whose path begins with /_standin/, straight or through the proxy):
  POST /_standin/scenario          body: scenario JSON (below); reply: {"id", "host", "base",
                                   "netbarid", "netfilelist_md5", "files": {path: md5}}
  GET  /_standin/log?id=ID         the scenario's request log as JSON ("unmatched" for requests
                                   that found no scenario)
  GET  /_standin/drop?id=ID        forgets a scenario
  GET  /_standin/ping              "ok"

Scenario JSON (every member optional):
  "netbarid": "123" | "auto"       route update-service requests with this cafe id here
                                   ("auto": the stand-in picks an unused one and returns it)
  "scheme": "http" | "https"       scheme of the URLs that get_version hands out (default http)
  "release": {                     the release to serve
      "folder": "/path",           every file under the folder, or
      "files": {"dir\\name": SPEC},SPEC: "text" | {"text"} | {"base64"} | {"size": N, "seed": S}
                                   plus optional "md5" (listed instead of the real one), "url"
                                   (listed url), "no_path": true (section lists only "url")
      "version": "1.0.2", "version_code": "102",
      "batfiles": [...], "appfiles": [...], "mainserver": "Pellmora.exe",
      "netfilelist": "raw text"    served instead of the generated list }
  "update": {"check_update" | "get_version" | "post_version": MEMBERS | "raw body text"}
                                   members merged over the defaults (null removes one; a number
                                   stays a number, to play a misbehaving service)
  "routes": [RULE, ...]            checked first, in order; RULE:
      "path": "/x" (exact path+query; a trailing "*" matches a prefix), "status": 200,
      "reason": "...", "headers": {...}, "location": "...",
      body: "body" | "body_base64" | "json" | "body_size" (+ "seed") | "release_file": "dir\\name",
      "gzip": true (gzip-encode, Content-Encoding: gzip), "length": N (announce N bytes),
      "short": N (announce the whole body, send N bytes, close), "stall": N (send N bytes of the
      body, then send nothing until the client gives up), "no_reply": true (never answer),
      "no_length": true (no Content-Length, close after the body), "stall_seconds": 300,
      "delay": seconds before anything is sent
  "proxy_port": true               a listening port of the scenario's own: every request that
                                   arrives there (CONNECT tunnels included) belongs to it, whatever
                                   its host; the registration reply gives "proxy_port" and "proxy"
                                   (for hosts fixed at build time, such as the café host)
  "cafe": {                        the café service's state (every member optional)
      "code": "10001", "password": "123456", "bound": true, "phone": "13800000000",
      "sms_code": "246810", "sms_sent": [phone, ...], "bar_id": "3001", "strname", "address", "person", "address_url",
      "customers": {"55": {"uname", "bcertificode", "bsex", "bnation", "strsfzphoto",
                           "strsffphoto", "strzmphoto" (path), "photo": SPEC}},
      "events": [[code, uid, x], ...]  page events the web-socket page calls back with, once }
  "console_update": {              what the console's check_update announces (code "101" while
      "version", "version_code",    the query's version differs from version_code)
      "msg", "file": SPEC,         the updater program served at /updater/Core.exe
      "md5": "..."                 announced instead of the file's real MD5 }
  "rules": {ACTION: RULE | [RULE, ...]}
                                   misbehaviour per request. ACTION: check_first, bar_login,
                                   send_code, check_code, update_bar, activity, get_openinfo,
                                   post_openstate, websocket, photo, check_update, updater. A list
                                   is a reply sequence: the n-th request gets the n-th rule, later
                                   ones the normal reply. RULE (all optional; {} is the normal reply):
      "delay": seconds before anything is sent, "no_reply": true, "status": N,
      "body": raw text | "json": any JSON value, served instead of the reply,
      "members": {...} merged over the reply's members (null removes; numbers, arrays and objects
      stay what they are), "raw_members": {name: raw JSON text of the member's value},
      "gzip": true, "stall": N (N bytes of the body, then silence), "length": N,
      "trickle": S (the body one byte every S seconds), "no_length": true

Café replies are JSON objects whose members are strings; those of check_first, bar_login and
get_openinfo escape every non-ASCII character as \\uXXXX, as the service's encoder does.

Control API, further:
  GET  /_standin/cafe?id=ID        the café state: bound, phone, password, sms_sent, open_states,
                                   events (still queued)
  POST /_standin/cafe_event?id=ID  body [code, uid, x]: queue a page event
"""

import argparse
import base64
import gzip
import hashlib
import http.server
import itertools
import json
import os
import random
import select
import shutil
import signal
import socket
import socketserver
import ssl
import subprocess
import sys
import tempfile
import threading
import time
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import webpages  # noqa: E402  the web views' pages

CONTROL_PREFIX = "/_standin/"
HOST_SUFFIX = ".standin.test"
CAFE_MODULES = ("bar", "user", "activity", "open", "home")
# The café requests whose replies the service escapes as \\uXXXX (the console unescapes them).
ESCAPED_ACTIONS = ("check_first", "bar_login", "get_openinfo")


def make_bytes(size, seed):
    """Deterministic content of any size: a pseudo-random block repeated."""
    block = random.Random(seed).randbytes(min(size, 1 << 16) or 1)
    reps = size // len(block) + 1
    return (block * reps)[:size]


def content_of(spec):
    if isinstance(spec, str):
        return spec.encode("utf-8")
    if "text" in spec:
        return spec["text"].encode("utf-8")
    if "base64" in spec:
        return base64.b64decode(spec["base64"])
    if "size" in spec:
        return make_bytes(int(spec["size"]), spec.get("seed", 1))
    return b""


class Release:
    """A version's files and the server file list that names them."""

    def __init__(self, desc):
        self.version = str(desc.get("version", "1.0.1"))
        self.version_code = str(desc.get("version_code", "101"))
        self.files = {}      # url (decoded, "/" separators) -> bytes or a filesystem path
        self.entries = []    # (url, path, md5 listed, no_path)
        self.md5s = {}       # relative path -> real md5
        if "folder" in desc:
            root = desc["folder"]
            for dirpath, dirnames, filenames in os.walk(root):
                dirnames.sort()
                for name in sorted(filenames):
                    full = os.path.join(dirpath, name)
                    rel = os.path.relpath(full, root).replace(os.sep, "/")
                    md5 = hashlib.md5()
                    with open(full, "rb") as f:
                        for chunk in iter(lambda: f.read(1 << 20), b""):
                            md5.update(chunk)
                    self.add(rel, full, md5.hexdigest(), {})
        for path, spec in (desc.get("files") or {}).items():
            data = content_of(spec)
            self.add(path.replace("\\", "/"), data, hashlib.md5(data).hexdigest(),
                     spec if isinstance(spec, dict) else {})
        self.batfiles = list(desc.get("batfiles") or [])
        self.appfiles = list(desc.get("appfiles") or [])
        self.mainserver = desc.get("mainserver", "")
        if "netfilelist" in desc:
            self.netfilelist = desc["netfilelist"].replace("\r\n", "\n").replace("\n", "\r\n").encode("gbk")
        else:
            self.netfilelist = self.build_list()
        self.netfilelist_md5 = hashlib.md5(self.netfilelist).hexdigest()

    def add(self, rel, data, md5, spec):
        url = spec.get("url", rel)
        self.files[url] = data
        self.md5s[rel.replace("/", "\\")] = md5
        self.entries.append((url, rel.replace("/", "\\"), spec.get("md5", md5), bool(spec.get("no_path"))))

    def build_list(self):
        lines = []
        for i, (url, path, md5, no_path) in enumerate(self.entries):
            lines.append("[%d]" % i)
            lines.append("url=" + url)
            if not no_path:
                lines.append("path=" + path)
            lines.append("md5=" + md5)
        lines.append("[batfiles]")
        lines.append("filecount=%d" % len(self.batfiles))
        lines += ["file%d=%s" % (i + 1, f) for i, f in enumerate(self.batfiles)]
        lines.append("[appfiles]")
        lines.append("filecount=%d" % len(self.appfiles))
        lines += ["file%d=%s" % (i + 1, f) for i, f in enumerate(self.appfiles)]
        if self.mainserver:
            lines.append("mainserver=" + self.mainserver)
        return ("\r\n".join(lines) + "\r\n").encode("gbk")

    def find(self, url):
        if url in self.files:
            return self.files[url]
        low = url.lower()
        for k, v in self.files.items():
            if k.lower() == low:
                return v
        return None


class Scenario:
    def __init__(self, sid, spec):
        self.id = sid
        self.host = spec.get("host") or (sid + HOST_SUFFIX)
        self.scheme = spec.get("scheme", "http")
        self.netbarid = None
        self.routes = list(spec.get("routes") or [])
        self.update = dict(spec.get("update") or {})
        self.release = Release(spec["release"]) if spec.get("release") else None
        self.cafe = Cafe(spec.get("cafe") or {})
        self.console_update = ConsoleUpdate(spec["console_update"]) if spec.get("console_update") else None
        self.rules = dict(spec.get("rules") or {})
        self.rule_counts = {}
        self.proxy = None   # the scenario's own listening server, when it asked for one
        self.log = []
        self.lock = threading.Lock()

    def next_rule(self, action):
        """The rule for this request of `action`: a single rule always, a list one by one."""
        with self.lock:
            n = self.rule_counts.get(action, 0)
            self.rule_counts[action] = n + 1
        rule = self.rules.get(action)
        if isinstance(rule, list):
            return rule[n] if n < len(rule) else None
        return rule

    def record(self, entry):
        with self.lock:
            self.log.append(entry)

    def describe(self):
        d = {"id": self.id, "host": self.host, "base": "%s://%s" % (self.scheme, self.host),
             "netbarid": self.netbarid or ""}
        if self.release:
            d["netfilelist_md5"] = self.release.netfilelist_md5
            d["files"] = self.release.md5s
        if self.proxy:
            port = self.proxy.server_address[1]
            d["proxy_port"] = port
            d["proxy"] = "http://127.0.0.1:%d" % port
        if self.console_update:
            d["updater_md5"] = self.console_update.md5
        return d


def bmp_picture(seed, side=48):
    """A small 24-bit picture of one colour derived from the seed: a photo that differs per customer."""
    r = random.Random(seed)
    colour = bytes([r.randrange(256), r.randrange(256), r.randrange(256)])
    row = colour * side
    pixels = row * side
    header = b"BM" + (54 + len(pixels)).to_bytes(4, "little") + b"\0\0\0\0" + (54).to_bytes(4, "little")
    info = ((40).to_bytes(4, "little") + side.to_bytes(4, "little") + side.to_bytes(4, "little") +
            (1).to_bytes(2, "little") + (24).to_bytes(2, "little") + bytes(24))
    return header + info + pixels


class Cafe:
    """One café of the café service, with its customers and the page events waiting for its page."""

    def __init__(self, desc):
        self.lock = threading.Lock()
        self.code = str(desc.get("code", "10001"))
        self.password = str(desc.get("password", "123456"))
        self.bound = bool(desc.get("bound", True))
        self.phone = str(desc.get("phone", "13800000000"))
        self.sms_code = str(desc.get("sms_code", "246810"))
        self.record = {"bar_id": str(desc.get("bar_id", "3001")),
                       "strname": desc.get("strname", "星河网吧"),
                       "address": desc.get("address", "解放路 12 号"),
                       "person": desc.get("person", "李四"),
                       "address_url": desc.get("address_url", "https://map.standin.test/cafe/3001")}
        self.customers = {}
        for uid, c in (desc.get("customers") or {}).items():
            c = dict(c)
            c.setdefault("uname", "张三")
            c.setdefault("bcertificode", "110101199001011234")
            c.setdefault("bsex", "1")
            c.setdefault("bnation", "0000")
            c.setdefault("strsfzphoto", "/upload/id/%s-front.jpg" % uid)
            c.setdefault("strsffphoto", "/upload/id/%s-back.jpg" % uid)
            c.setdefault("strzmphoto", "/upload/face/%s.jpg" % uid)
            spec = c.pop("photo", None)
            c["_photo"] = content_of(spec) if spec is not None else bmp_picture("photo-" + str(uid))
            self.customers[str(uid)] = c
        self.events = [list(e) for e in (desc.get("events") or [])]
        self.sms_sent = list(desc.get("sms_sent") or [])   # phone numbers a code was sent to
        self.open_states = []   # [uid, open_state] in the order reported

    def state(self):
        with self.lock:
            return {"code": self.code, "password": self.password, "bound": self.bound, "phone": self.phone,
                    "sms_sent": list(self.sms_sent), "open_states": list(self.open_states),
                    "events": list(self.events)}

    def photo(self, path):
        for c in self.customers.values():
            if c["strzmphoto"] == path:
                return c["_photo"]
        return None


class ConsoleUpdate:
    """The updater program that the console's check_update announces."""

    def __init__(self, desc):
        self.version = str(desc.get("version", "2.0.0"))
        self.version_code = str(desc.get("version_code", "200"))
        self.msg = desc.get("msg", "有新版本")
        self.data = content_of(desc.get("file", {"size": 4096, "seed": 7}))
        self.md5 = hashlib.md5(self.data).hexdigest()
        self.announced_md5 = desc.get("md5", self.md5)


class Registry:
    def __init__(self):
        self.lock = threading.Lock()
        self.by_id = {}
        self.by_host = {}
        self.by_netbarid = {}
        self.default = None
        self.unmatched = Scenario("unmatched", {})
        self.counter = itertools.count(1)
        self.netbar_counter = itertools.count(700001)
        self.salt = "%04x" % random.randrange(1 << 16)

    def add(self, spec, sid=None):
        with self.lock:
            sid = sid or "s%d-%s" % (next(self.counter), self.salt)
            sc = Scenario(sid, spec)
            nb = spec.get("netbarid")
            if nb == "auto":
                while True:
                    nb = str(next(self.netbar_counter))
                    if nb not in self.by_netbarid:
                        break
            if nb is not None:
                sc.netbarid = str(nb)
                self.by_netbarid[sc.netbarid] = sc
            self.by_id[sid] = sc
            self.by_host[sc.host.lower()] = sc
            return sc

    def drop(self, sid):
        with self.lock:
            sc = self.by_id.pop(sid, None)
            if sc:
                self.by_host.pop(sc.host.lower(), None)
                if sc.netbarid:
                    self.by_netbarid.pop(sc.netbarid, None)
        if sc and sc.proxy:
            proxy, sc.proxy = sc.proxy, None
            proxy.stopping = True
            proxy.shutdown()
            proxy.server_close()
        return sc is not None

    def get(self, sid):
        with self.lock:
            if sid == "unmatched":
                return self.unmatched
            if sid == "default":
                return self.default
            return self.by_id.get(sid)

    def route(self, host, query):
        with self.lock:
            sc = self.by_host.get(host.lower())
            if sc:
                return sc
            nb = query.get("netbarid", [None])[0]
            if nb is not None and nb in self.by_netbarid:
                return self.by_netbarid[nb]
            return self.default or self.unmatched


def split_host(hostport):
    if hostport.startswith("["):
        return hostport[1:hostport.find("]")]
    return hostport.rsplit(":", 1)[0] if hostport.count(":") == 1 else hostport


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "standin"
    sys_version = ""
    tunnel = None
    tunnel_scheme = "https"

    def log_message(self, fmt, *args):
        if self.server.verbose:
            sys.stderr.write("standin: %s\n" % (fmt % args))

    # -- request intake -------------------------------------------------------------------
    def do_CONNECT(self):
        host = split_host(self.path)
        self.server.log_line(self.requestline, self.headers)
        sc = self.server.fixed or self.server.registry.route(host, {})
        sc.record(self.entry("CONNECT", self.path, "https", host, b""))
        self.close_connection = True
        self.wfile.write(b"HTTP/1.1 200 Connection established\r\n\r\n")
        self.wfile.flush()
        # A plain tunnel (a WebSocket to a ws:// address goes through one) or TLS: the first byte says.
        try:
            r, _, _ = select.select([self.connection], [], [], 30)
            first = self.connection.recv(1, socket.MSG_PEEK) if r else b""
        except OSError:
            return
        if first and first != b"\x16":
            self.tunnel = host
            self.tunnel_scheme = "http"
            self.close_connection = False
            return
        try:
            conn = self.server.ssl_context.wrap_socket(self.connection, server_side=True)
        except (ssl.SSLError, OSError) as e:
            self.log_message("TLS handshake failed: %s", e)
            return
        self.connection = conn
        self.rfile = conn.makefile("rb", -1)
        self.wfile = socketserver._SocketWriter(conn)
        self.tunnel = host
        self.close_connection = False

    def do_GET(self):
        self.dispatch()

    do_POST = do_PUT = do_HEAD = do_DELETE = do_OPTIONS = do_GET

    def read_body(self):
        n = self.headers.get("Content-Length")
        if n:
            return self.rfile.read(int(n))
        if "chunked" in (self.headers.get("Transfer-Encoding") or "").lower():
            out = b""
            while True:
                size = int(self.rfile.readline().split(b";")[0].strip() or b"0", 16)
                if size == 0:
                    while self.rfile.readline() not in (b"\r\n", b"\n", b""):
                        pass
                    return out
                out += self.rfile.read(size)
                self.rfile.readline()
        return b""

    def entry(self, method, target, scheme, host, body):
        return {"method": method, "target": target, "scheme": scheme, "host": host,
                "request_line": self.requestline, "headers": [[k, v] for k, v in self.headers.items()],
                "body_length": len(body), "time": time.time()}

    def dispatch(self):
        body = self.read_body()
        self.server.log_line(self.requestline, self.headers)
        target = self.path
        if self.tunnel is not None:
            scheme, host = self.tunnel_scheme, split_host(self.headers.get("Host") or self.tunnel)
        elif "://" in target:
            u = urllib.parse.urlsplit(target)
            scheme, host = u.scheme, u.hostname or ""
            target = urllib.parse.urlunsplit(("", "", u.path or "/", u.query, ""))
        else:
            scheme, host = "http", split_host(self.headers.get("Host") or "")
        path, _, query = target.partition("?")
        if path.startswith(CONTROL_PREFIX):
            return self.control(path[len(CONTROL_PREFIX):], urllib.parse.parse_qs(query), body)
        q = urllib.parse.parse_qs(query, keep_blank_values=True)
        sc = self.server.fixed or self.server.registry.route(host, q)
        entry = self.entry(self.command, target, scheme, host, body)
        fields = self.form_fields(body)
        if fields is not None:
            entry["fields"] = fields
        if (self.headers.get("Content-Type") or "").lower().startswith("application/x-www-form-urlencoded"):
            entry["form_body"] = body.decode("latin-1")
        sc.record(entry)
        for rule in sc.routes:
            p = rule.get("path", "")
            if (p.endswith("*") and target.startswith(p[:-1])) or target == p:
                if not self.rule_delay(rule):
                    return
                return self.serve_rule(sc, rule)
        if webpages.serve(self, sc, path, q):
            return
        if path == "/index.php" and q.get("m") == ["api"]:
            return self.update_api(sc, q)
        if path == "/index.php" and q.get("g") == ["home"] and q.get("m", [""])[0] in CAFE_MODULES:
            return self.cafe_api(sc, q, host, dict(fields or []))
        if sc.console_update and path == "/updater/Core.exe":
            return self.serve_with_rule(sc, "updater", sc.console_update.data,
                                        {"Content-Type": "application/octet-stream"})
        photo = sc.cafe.photo(path)
        if photo is not None:
            return self.serve_with_rule(sc, "photo", photo, {"Content-Type": "image/bmp"})
        if sc.release and path == "/netfilelist.ini":
            return self.send(200, sc.release.netfilelist, {"Content-Type": "text/plain"})
        if sc.release and path.startswith("/release/"):
            try:
                url = urllib.parse.unquote(path[len("/release/"):], encoding="utf-8", errors="strict")
            except UnicodeDecodeError:
                url = None
            data = sc.release.find(url) if url is not None else None
            if data is not None:
                return self.send(200, data, {"Content-Type": "application/octet-stream"})
        return self.send(404, b"<html><body>404 Not Found</body></html>", {"Content-Type": "text/html"})

    def form_fields(self, body):
        """The fields of a multipart form, in order, values decoded as GBK; None for other bodies."""
        ctype = self.headers.get("Content-Type") or ""
        if not ctype.lower().startswith("multipart/form-data"):
            return None
        boundary = None
        for piece in ctype.split(";")[1:]:
            k, _, v = piece.strip().partition("=")
            if k.lower() == "boundary":
                boundary = v.strip('"')
        if not boundary:
            return []
        out = []
        for part in body.split(b"--" + boundary.encode("latin-1"))[1:]:
            if part.startswith(b"--"):
                break
            part = part[2:] if part.startswith(b"\r\n") else part
            head, _, value = part.partition(b"\r\n\r\n")
            if value.endswith(b"\r\n"):
                value = value[:-2]
            name = None
            for line in head.split(b"\r\n"):
                if line.lower().startswith(b"content-disposition:"):
                    for item in line.split(b";")[1:]:
                        k, _, v = item.strip().partition(b"=")
                        if k.lower() == b"name":
                            name = v.strip(b'"').decode("gbk", "replace")
            out.append([name, value.decode("gbk", "replace")])
        return out

    # -- replies --------------------------------------------------------------------------
    def cafe_api(self, sc, q, host, form):
        """The café service: the reply members of each request, and the café's state changes."""
        action = q.get("a", [""])[0]
        cafe = sc.cafe
        code = form.get("bbarcode")
        with cafe.lock:
            if action == "check_first":
                if code == cafe.code:
                    members = {"code": "101", "first": "2" if cafe.bound else "1",
                               "strname": cafe.record["strname"]}
                else:
                    members = {"code": "102", "msg": "场所编码不存在"}
            elif action == "bar_login":
                if code == cafe.code and form.get("bpwd") == cafe.password:
                    members = {"code": "101", "bar_id": cafe.record["bar_id"], "strname": cafe.record["strname"],
                               "address": cafe.record["address"], "person": cafe.record["person"],
                               "phone": cafe.phone, "address_url": cafe.record["address_url"]}
                else:
                    members = {"code": "102", "msg": "账号或密码错误"}
            elif action == "send_code":
                if form.get("mobile") and form.get("type") == "4":
                    cafe.sms_sent.append(form["mobile"])
                    members = {"code": "101", "msg": "sent"}
                else:
                    members = {"code": "102", "msg": "bad request"}
            elif action == "check_code":
                ok = form.get("code") == cafe.sms_code and form.get("mobile") in cafe.sms_sent
                members = {"code": "101" if ok else "102", "msg": "ok" if ok else "验证码错误"}
            elif action == "update_bar":
                if "password" in form and form.get("type") == "4" and code == cafe.code:
                    cafe.password = form["password"]
                    members = {"code": "101", "msg": "ok"}
                elif "phone" in form and form.get("first") == "2" and code == cafe.code:
                    cafe.bound = True
                    cafe.phone = form["phone"]
                    members = {"code": "101", "msg": "ok"}
                else:
                    members = {"code": "102", "msg": "bad request"}
            elif action == "activity":
                members = {"code": "101", "url": "https://%s/index.php?g=home&m=activity&a=page" % host}
            elif action == "get_openinfo":
                c = cafe.customers.get(form.get("uid", ""))
                if c:
                    members = {"code": "101"}
                    for k in ("uname", "bcertificode", "strsfzphoto", "strsffphoto", "strzmphoto", "bsex",
                              "bnation"):
                        members[k] = c[k]
                else:
                    members = {"code": "102", "msg": "no such customer"}
            elif action == "post_openstate":
                if form.get("uid", "") in cafe.customers:
                    cafe.open_states.append([form.get("uid"), form.get("open_state")])
                    members = {"code": "101", "msg": "ok"}
                else:
                    members = {"code": "102", "msg": "no such customer"}
            elif action == "websocket":
                queued, cafe.events = cafe.events, []
                page = webpages.cafe_socket_page(queued, q.get("bbarcode", [""])[0])
                members = None
            else:
                members = {}
        if members is None:
            return self.serve_with_rule(sc, "websocket", page, {"Content-Type": "text/html; charset=utf-8"})
        if not members:
            return self.send(404, b'{"code":"404","msg":"unknown request"}', {"Content-Type": "application/json"})
        return self.json_with_rule(sc, action, members, ascii_only=action in ESCAPED_ACTIONS)

    def json_with_rule(self, sc, action, members, ascii_only):
        rule = sc.next_rule(action) or {}
        if not self.rule_delay(rule):
            return
        if "body" in rule or "json" in rule or "body_base64" in rule:
            return self.serve_rule(sc, dict(rule, headers=dict(rule.get("headers") or {},
                                                               **{"Content-Type": "text/html; charset=utf-8"})))
        for k, v in (rule.get("members") or {}).items():
            if v is None:
                members.pop(k, None)
            else:
                members[k] = v
        raw = rule.get("raw_members") or {}
        for k in raw:
            members.setdefault(k, None)
        text = "{" + ",".join("%s:%s" % (json.dumps(k, ensure_ascii=ascii_only),
                                         raw[k] if k in raw else json.dumps(v, ensure_ascii=ascii_only))
                              for k, v in members.items()) + "}"
        return self.send_with_rule(rule, text.encode("utf-8"), {"Content-Type": "text/html; charset=utf-8"})

    def serve_with_rule(self, sc, action, data, headers):
        rule = sc.next_rule(action) or {}
        if not self.rule_delay(rule):
            return
        if "body" in rule or "json" in rule or "body_base64" in rule:
            return self.serve_rule(sc, rule)
        return self.send_with_rule(rule, data, headers)

    def rule_delay(self, rule):
        """Waits out the rule's delay; False when the rule says never to answer (done here)."""
        delay = float(rule.get("delay", 0))
        deadline = time.time() + delay
        while time.time() < deadline and not self.server.stopping:
            time.sleep(min(0.1, max(0.0, deadline - time.time())))
        if rule.get("no_reply"):
            self.close_connection = True
            self.hold(rule)
            return False
        return True

    def send_with_rule(self, rule, data, headers):
        headers = dict(headers, **(rule.get("headers") or {}))
        if rule.get("gzip"):
            data = gzip.compress(data)
            headers["Content-Encoding"] = "gzip"
        return self.send(int(rule.get("status", 200)), data, headers, length=rule.get("length"),
                         short=rule.get("short"), stall=rule.get("stall"),
                         no_length=rule.get("no_length", False), rule=rule)

    def update_api(self, sc, q):
        action = q.get("a", [""])[0]
        rel = sc.release
        cu = sc.console_update
        if action == "check_update" and cu:
            if q.get("version", [""])[0] != cu.version_code:
                base = "%s://%s" % (sc.scheme, sc.host)
                members = {"code": "101", "version": cu.version, "msg": cu.msg, "version_code": cu.version_code,
                           "version_update_url": base + "/updater/Core.exe",
                           "version_update_md5": cu.announced_md5,
                           "version_info_url": base + "/updater/info.html"}
            else:
                members = {"code": "102", "msg": "no update"}
        elif action == "check_update":
            if rel and q.get("version", [""])[0] != rel.version_code:
                members = {"code": "101", "version_code": rel.version_code, "version": rel.version}
            else:
                members = {"code": "102", "msg": "no update"}
        elif action == "get_version":
            members = {"code": "101", "msg": "ok"}
            if rel:
                base = "%s://%s" % (sc.scheme, sc.host)
                members.update({"version_serverlist_md5": rel.netfilelist_md5,
                                "version_serverlist_url": base + "/netfilelist.ini",
                                "version_url": base + "/release/"})
            else:
                members["code"] = "104"
                members["msg"] = "no release"
        elif action == "post_version":
            members = {"code": "101", "msg": "ok"}
        else:
            return self.send(404, b'{"code":"404","msg":"unknown request"}', {"Content-Type": "application/json"})
        over = sc.update.get(action)
        if isinstance(over, str):
            return self.send(200, over.encode("utf-8"), {"Content-Type": "text/html"})
        for k, v in (over or {}).items():
            if v is None:
                members.pop(k, None)
            else:
                members[k] = v
        if action == "check_update" and "check_update" in sc.rules:
            return self.json_with_rule(sc, action, members, ascii_only=False)
        return self.send(200, json.dumps(members, ensure_ascii=False).encode("utf-8"),
                         {"Content-Type": "application/json; charset=utf-8"})

    def serve_rule(self, sc, rule):
        if rule.get("no_reply"):
            self.close_connection = True
            return self.hold(rule)
        status = int(rule.get("status", 200))
        headers = dict(rule.get("headers") or {})
        if "location" in rule:
            headers["Location"] = rule["location"]
        if "body" in rule:
            data = rule["body"].encode("utf-8")
        elif "body_base64" in rule:
            data = base64.b64decode(rule["body_base64"])
        elif "json" in rule:
            data = json.dumps(rule["json"], ensure_ascii=False).encode("utf-8")
        elif "body_size" in rule:
            data = make_bytes(int(rule["body_size"]), rule.get("seed", 1))
        elif "release_file" in rule and sc.release:
            data = sc.release.find(rule["release_file"].replace("\\", "/")) or b""
        else:
            data = b""
        if isinstance(data, str):
            with open(data, "rb") as f:
                data = f.read()
        if rule.get("gzip"):
            data = gzip.compress(data)
            headers["Content-Encoding"] = "gzip"
        headers.setdefault("Content-Type", "application/octet-stream")
        return self.send(status, data, headers, reason=rule.get("reason"), length=rule.get("length"),
                         short=rule.get("short"), stall=rule.get("stall"),
                         no_length=rule.get("no_length", False), rule=rule)

    def send(self, status, data, headers, reason=None, length=None, short=None, stall=None,
             no_length=False, rule=None):
        if isinstance(data, str):  # a release file kept on disk
            with open(data, "rb") as f:
                data = f.read()
        reason = reason or self.responses.get(status, ("Unknown",))[0]
        head = ["HTTP/1.1 %d %s" % (status, reason), "Server: standin",
                "Date: " + self.date_time_string()]
        for k, v in headers.items():
            head.append("%s: %s" % (k, v))
        if no_length:
            self.close_connection = True
            head.append("Connection: close")
        else:
            head.append("Content-Length: %d" % (len(data) if length is None else int(length)))
        if short is not None or length is not None:
            self.close_connection = True
        head = ("\r\n".join(head) + "\r\n\r\n").encode("latin-1")
        if self.command == "HEAD":
            data = b""
        if short is not None:
            data = data[:int(short)]
        trickle = float((rule or {}).get("trickle", 0))
        try:
            self.wfile.write(head)
            view = memoryview(data)
            end = len(data) if stall is None else min(int(stall), len(data))
            step = 1 if trickle else 1 << 20
            for i in range(0, end, step):
                self.wfile.write(view[i:min(end, i + step)])
                if trickle:
                    if hasattr(self.wfile, "flush"):
                        self.wfile.flush()
                    if self.server.stopping:
                        break
                    time.sleep(trickle)
            if hasattr(self.wfile, "flush"):
                self.wfile.flush()
        except OSError:
            self.close_connection = True
            return
        if stall is not None:
            self.close_connection = True
            self.hold(rule or {})

    def hold(self, rule):
        """Sends nothing more until the client closes the connection (or time runs out)."""
        deadline = time.time() + float(rule.get("stall_seconds", 300))
        sock = self.connection
        while time.time() < deadline and not self.server.stopping:
            try:
                r, _, _ = select.select([sock], [], [], 0.25)
                if r and not sock.recv(4096):
                    return
            except (OSError, ValueError):
                return

    # -- control API ----------------------------------------------------------------------
    def control(self, op, q, body):
        reg = self.server.registry
        sid = q.get("id", [""])[0]
        if op == "ping":
            return self.send(200, b"ok", {"Content-Type": "text/plain"})
        if webpages.control(self, reg, op, q):
            return
        if op == "scenario":
            try:
                spec = json.loads(body.decode("utf-8") or "{}")
                sc = reg.add(spec)
                if spec.get("proxy_port"):
                    sc.proxy = self.server.spawn_proxy(sc)
            except Exception as e:  # a test's mistake: say what it was
                return self.send(400, ("bad scenario: %s" % e).encode("utf-8"), {"Content-Type": "text/plain"})
            return self.json_reply(sc.describe())
        if op == "cafe":
            sc = reg.get(sid)
            if sc is None:
                return self.send(404, b"no such scenario", {"Content-Type": "text/plain"})
            return self.json_reply(sc.cafe.state())
        if op == "cafe_event":
            sc = reg.get(sid)
            if sc is None:
                return self.send(404, b"no such scenario", {"Content-Type": "text/plain"})
            try:
                event = [int(x) for x in json.loads(body.decode("utf-8"))]
            except Exception as e:
                return self.send(400, ("bad event: %s" % e).encode("utf-8"), {"Content-Type": "text/plain"})
            with sc.cafe.lock:
                sc.cafe.events.append(event)
            return self.json_reply({"queued": len(sc.cafe.events)})
        if op == "log":
            sc = reg.get(sid)
            if sc is None:
                return self.send(404, b"no such scenario", {"Content-Type": "text/plain"})
            with sc.lock:
                return self.json_reply(list(sc.log))
        if op == "drop":
            return self.json_reply({"dropped": reg.drop(sid)})
        return self.send(404, b"unknown control request", {"Content-Type": "text/plain"})

    def json_reply(self, obj):
        return self.send(200, json.dumps(obj, ensure_ascii=False).encode("utf-8"),
                         {"Content-Type": "application/json; charset=utf-8"})


class Server(http.server.ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True
    request_queue_size = 128

    def __init__(self, addr, registry, ssl_context, log_file, verbose, fixed=None, log_lock=None):
        super().__init__(addr, Handler)
        self.registry = registry
        self.ssl_context = ssl_context
        self.log_file = log_file
        self.log_lock = log_lock or threading.Lock()
        self.verbose = verbose
        self.stopping = False
        self.fixed = fixed   # the scenario every request belongs to (a scenario's own port)

    def spawn_proxy(self, sc):
        """A listening port of the scenario's own, served until the scenario is dropped."""
        proxy = Server((self.server_address[0], 0), self.registry, self.ssl_context, self.log_file, self.verbose,
                       fixed=sc, log_lock=self.log_lock)
        threading.Thread(target=proxy.serve_forever, kwargs={"poll_interval": 0.2}, daemon=True).start()
        return proxy

    def log_line(self, requestline, headers):
        if not self.log_file:
            return
        with self.log_lock:
            self.log_file.write(requestline + "\n")
            for k, v in headers.items():
                self.log_file.write("  %s: %s\n" % (k, v))
            self.log_file.flush()


def make_certificate(folder):
    cert, key = os.path.join(folder, "cert.pem"), os.path.join(folder, "key.pem")
    names = "DNS:*" + HOST_SUFFIX + ",DNS:localhost,IP:127.0.0.1"
    if shutil.which("openssl"):
        r = subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key,
                            "-out", cert, "-days", "30", "-subj", "/CN=standin.test",
                            "-addext", "subjectAltName=" + names],
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        if r.returncode == 0:
            return cert, key
    import datetime
    from cryptography import x509
    from cryptography.hazmat.primitives import hashes, serialization
    from cryptography.hazmat.primitives.asymmetric import rsa
    from cryptography.x509.oid import NameOID
    import ipaddress
    pk = rsa.generate_private_key(public_exponent=65537, key_size=2048)
    name = x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, "standin.test")])
    now = datetime.datetime.now(datetime.timezone.utc)
    c = (x509.CertificateBuilder().subject_name(name).issuer_name(name).public_key(pk.public_key())
         .serial_number(x509.random_serial_number()).not_valid_before(now - datetime.timedelta(days=1))
         .not_valid_after(now + datetime.timedelta(days=30))
         .add_extension(x509.SubjectAlternativeName([x509.DNSName("*" + HOST_SUFFIX), x509.DNSName("localhost"),
                                                     x509.IPAddress(ipaddress.ip_address("127.0.0.1"))]), False)
         .sign(pk, hashes.SHA256()))
    with open(key, "wb") as f:
        f.write(pk.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.TraditionalOpenSSL,
                                 serialization.NoEncryption()))
    with open(cert, "wb") as f:
        f.write(c.public_bytes(serialization.Encoding.PEM))
    return cert, key


def main():
    ap = argparse.ArgumentParser(
        description=__doc__,
        epilog="Example (demo): standin.py --port 8765 --release ./sample --version 1.0.2 --version-code 102 "
               "--log requests.log\nthen run the programs with http_proxy=https_proxy=http://127.0.0.1:8765.",
        formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--host", default="127.0.0.1", help="address to listen on (loopback only)")
    ap.add_argument("--port", type=int, default=0, help="port to listen on (0: any free port)")
    ap.add_argument("--port-file", help="write the chosen port to this file once listening")
    ap.add_argument("--cert-dir", help="folder for the self-signed certificate (default: a temporary one)")
    ap.add_argument("--release", help="folder whose files form the release served to every cafe "
                                      "that no test scenario claims")
    ap.add_argument("--release-json", help="JSON file with a whole scenario (see the module text) "
                                           "used as the default scenario")
    ap.add_argument("--netbarid", help="cafe id of the default scenario (default: any)")
    ap.add_argument("--version", default="1.0.1", help="version text of the --release release")
    ap.add_argument("--version-code", default="101", help="version code of the --release release")
    ap.add_argument("--mainserver", default="Pellmora.exe", help="console program named by the list")
    ap.add_argument("--appfile", action="append", default=[], help="companion program (repeatable)")
    ap.add_argument("--batfile", action="append", default=[], help="batch file to run (repeatable)")
    ap.add_argument("--log", help="append every request line and its headers to this file")
    ap.add_argument("--verbose", action="store_true", help="print one line per request on stderr")
    args = ap.parse_args()

    cert_dir = args.cert_dir or tempfile.mkdtemp(prefix="standin-")
    os.makedirs(cert_dir, exist_ok=True)
    cert, key = make_certificate(cert_dir)
    ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    ctx.load_cert_chain(cert, key)

    registry = Registry()
    spec = None
    if args.release_json:
        with open(args.release_json, encoding="utf-8") as f:
            spec = json.load(f)
    elif args.release:
        spec = {"release": {"folder": args.release, "version": args.version, "version_code": args.version_code,
                            "mainserver": args.mainserver, "appfiles": args.appfile, "batfiles": args.batfile}}
    if spec is not None:
        if args.netbarid:
            spec["netbarid"] = args.netbarid
        spec.setdefault("host", "release" + HOST_SUFFIX)
        registry.default = registry.add(spec, sid="default")

    log_file = open(args.log, "a", encoding="utf-8") if args.log else None
    server = Server((args.host, args.port), registry, ctx, log_file, args.verbose)
    port = server.server_address[1]
    if args.port_file:
        tmp = args.port_file + ".tmp"
        with open(tmp, "w") as f:
            f.write("%d\n" % port)
        os.replace(tmp, args.port_file)
    print("standin listening on http://%s:%d" % (args.host, port), flush=True)

    def stop(*_):
        server.stopping = True
        threading.Thread(target=server.shutdown, daemon=True).start()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    server.serve_forever(poll_interval=0.2)
    server.server_close()


if __name__ == "__main__":
    main()
