#!/usr/bin/env python3
"""Loopback stand-in of the vendor's update service, reached as an HTTP/HTTPS proxy.

Programs built with any update host name reach it through libcurl's standard proxy variables
(http_proxy / https_proxy pointing at the stand-in): it accepts absolute-form requests
("GET http://host/path HTTP/1.1") and CONNECT tunnels, on which it speaks TLS with a
self-signed certificate made at start. Origin-form requests sent straight to its port work too.

What it serves, per scenario (see below):
  /index.php?g=home&m=api&a=check_update|get_version|post_version&netbarid=N&version=V
      JSON replies whose members are all JSON strings, as the service sends them;
  /netfilelist.ini            the release's server file list (GBK text, CR LF lines);
  /release/<url>              the release's files (never gzip-encoded).

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
      "no_length": true (no Content-Length, close after the body), "stall_seconds": 300
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
        self.log = []
        self.lock = threading.Lock()

    def record(self, entry):
        with self.lock:
            self.log.append(entry)

    def describe(self):
        d = {"id": self.id, "host": self.host, "base": "%s://%s" % (self.scheme, self.host),
             "netbarid": self.netbarid or ""}
        if self.release:
            d["netfilelist_md5"] = self.release.netfilelist_md5
            d["files"] = self.release.md5s
        return d


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

    def log_message(self, fmt, *args):
        if self.server.verbose:
            sys.stderr.write("standin: %s\n" % (fmt % args))

    # -- request intake -------------------------------------------------------------------
    def do_CONNECT(self):
        host = split_host(self.path)
        self.server.log_line(self.requestline, self.headers)
        sc = self.server.registry.route(host, {})
        sc.record(self.entry("CONNECT", self.path, "https", host, b""))
        self.close_connection = True
        self.wfile.write(b"HTTP/1.1 200 Connection established\r\n\r\n")
        self.wfile.flush()
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
            scheme, host = "https", split_host(self.headers.get("Host") or self.tunnel)
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
        sc = self.server.registry.route(host, q)
        sc.record(self.entry(self.command, target, scheme, host, body))
        for rule in sc.routes:
            p = rule.get("path", "")
            if (p.endswith("*") and target.startswith(p[:-1])) or target == p:
                return self.serve_rule(sc, rule)
        if webpages.serve(self, sc, path, q):
            return
        if path == "/index.php" and q.get("m") == ["api"]:
            return self.update_api(sc, q)
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

    # -- replies --------------------------------------------------------------------------
    def update_api(self, sc, q):
        action = q.get("a", [""])[0]
        rel = sc.release
        if action == "check_update":
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
        try:
            self.wfile.write(head)
            view = memoryview(data)
            end = len(data) if stall is None else min(int(stall), len(data))
            for i in range(0, end, 1 << 20):
                self.wfile.write(view[i:min(end, i + (1 << 20))])
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
            except Exception as e:  # a test's mistake: say what it was
                return self.send(400, ("bad scenario: %s" % e).encode("utf-8"), {"Content-Type": "text/plain"})
            return self.json_reply(sc.describe())
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

    def __init__(self, addr, registry, ssl_context, log_file, verbose):
        super().__init__(addr, Handler)
        self.registry = registry
        self.ssl_context = ssl_context
        self.log_file = log_file
        self.log_lock = threading.Lock()
        self.verbose = verbose
        self.stopping = False

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
