#include <curl/curl.h>

#include "WebSocket.h"

#include <algorithm>
#include <cstring>

#include "Net.h"
#include "Text.h"

namespace webview {

namespace {
const size_t kMaxMessage = 16 * 1024 * 1024;
const size_t kFrameBytes = 65535;       // libcurl frames no larger payload correctly
const int kReadsPerPoll = 64;           // then the next tick goes on
const DWORD kHandshakeMs = 30000;
const DWORD kClosingMs = 5000;          // the peer's answer to our close frame

size_t OnHeader(char* data, size_t size, size_t count, void* user) {
    std::string* s = static_cast<std::string*>(user);
    size_t n = size * count;
    if (s->size() + n <= 64 * 1024) s->append(data, n);
    return n;
}

// The proxy variable of the scheme whose transfers the connection runs like (libcurl itself
// would look for ws_proxy and wss_proxy only).
std::string ProxyFor(bool secure) {
    char buf[2048];
    DWORD n = GetEnvironmentVariableA(secure ? "https_proxy" : "http_proxy", buf, sizeof(buf));
    return n > 0 && n < sizeof(buf) ? std::string(buf, n) : std::string();
}

std::string HeaderValue(const std::string& headers, const std::string& name) {
    std::string low = ToLower(headers), key = "\n" + ToLower(name) + ":";
    size_t at = low.find(key);
    if (at == std::string::npos) return std::string();
    size_t start = at + key.size(), end = headers.find('\r', start);
    return Trim(headers.substr(start, end == std::string::npos ? std::string::npos : end - start));
}

bool Before(DWORD a, DWORD b) {
    return (int)(a - b) < 0;
}
}  // namespace

struct WebSockets::Conn {
    void* owner = nullptr;
    int id = 0;
    Sink sink;
    CURLM* multi = nullptr;
    CURL* easy = nullptr;
    struct curl_slist* headers = nullptr;
    enum State { Connecting, Open, Closing, Done } state = Connecting;
    std::string responseHeaders;
    std::deque<std::string> out;   // text messages waiting for the socket
    std::string message;           // the message being received
    bool inFrame = false;          // the last read ended inside a frame
    unsigned frameFlags = 0;       // of the frame being read
    std::string closePayload;
    DWORD deadline = 0;            // of the handshake or of the closing handshake
    char errbuf[CURL_ERROR_SIZE] = {0};
};

WebSockets::~WebSockets() {
    DropAll();
}

WebSockets::Conn* WebSockets::Find(void* owner, int id) {
    for (Conn* c : m_conns)
        if (c->owner == owner && c->id == id && c->state != Conn::Done) return c;
    return nullptr;
}

bool WebSockets::Open(void* owner, int id, const std::string& url, const std::string& protocols, Sink sink) {
    std::string low = ToLower(url);
    bool secure = low.compare(0, 6, "wss://") == 0;
    if (!secure && low.compare(0, 5, "ws://") != 0) return false;
    Conn* c = new Conn;
    c->owner = owner;
    c->id = id;
    c->sink = std::move(sink);
    c->multi = curl_multi_init();
    c->easy = curl_easy_init();
    if (!c->multi || !c->easy) {
        Release(c);
        return false;
    }
    CURL* e = c->easy;
    m_net.Prepare(e);
    curl_easy_setopt(e, CURLOPT_URL, url.c_str());
    curl_easy_setopt(e, CURLOPT_CONNECT_ONLY, 2L);  // the upgrade, then the socket is ours
    curl_easy_setopt(e, CURLOPT_TIMEOUT_MS, (long)kHandshakeMs);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, c->errbuf);
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, OnHeader);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &c->responseHeaders);
    std::string proxy = ProxyFor(secure);
    if (!proxy.empty()) {
        curl_easy_setopt(e, CURLOPT_PROXY, proxy.c_str());
        // Through a tunnel, as browsers do: a proxy need not know WebSocket's upgrade.
        curl_easy_setopt(e, CURLOPT_HTTPPROXYTUNNEL, 1L);
    }
    if (!protocols.empty()) {
        c->headers = curl_slist_append(c->headers, ("Sec-WebSocket-Protocol: " + protocols).c_str());
        curl_easy_setopt(e, CURLOPT_HTTPHEADER, c->headers);
    }
    if (curl_multi_add_handle(c->multi, e) != CURLM_OK) {
        Release(c);
        return false;
    }
    c->deadline = GetTickCount() + kHandshakeMs;
    m_conns.push_back(c);
    return true;
}

bool WebSockets::Send(void* owner, int id, const std::string& text) {
    Conn* c = Find(owner, id);
    if (!c || c->state != Conn::Open) return false;
    c->out.push_back(text);
    return true;
}

void WebSockets::Close(void* owner, int id, int code, const std::string& reason) {
    Conn* c = Find(owner, id);
    if (!c) return;
    if (c->state == Conn::Connecting) {
        // Not open yet: the connection fails, as the page is told by the events of a failure.
        c->state = Conn::Closing;
        c->deadline = GetTickCount() - 1;
        c->closePayload = "abort";
        return;
    }
    if (c->state != Conn::Open) return;
    std::string payload;
    payload += (char)((code >> 8) & 0xFF);
    payload += (char)(code & 0xFF);
    payload += reason.substr(0, 123);
    size_t sent = 0;
    curl_ws_send(c->easy, payload.data(), payload.size(), &sent, 0, CURLWS_CLOSE);
    c->out.clear();
    c->state = Conn::Closing;
    c->deadline = GetTickCount() + kClosingMs;
}

void WebSockets::Release(Conn* c) {
    if (c->multi && c->easy) curl_multi_remove_handle(c->multi, c->easy);
    if (c->easy) curl_easy_cleanup(c->easy);
    if (c->multi) curl_multi_cleanup(c->multi);
    if (c->headers) curl_slist_free_all(c->headers);
    delete c;
}

void WebSockets::DropAll(void* owner) {
    std::vector<Conn*> keep;
    for (Conn* c : m_conns) {
        if (c->owner == owner) Release(c);
        else keep.push_back(c);
    }
    m_conns.swap(keep);
}

void WebSockets::DropAll() {
    for (Conn* c : m_conns) Release(c);
    m_conns.clear();
}

void WebSockets::Fail(Conn* c, const std::string& why, std::vector<std::pair<Conn*, WsEvent>>& events) {
    bool wasOpen = c->state == Conn::Open || c->state == Conn::Closing;
    if (!wasOpen || why != "closed") events.push_back({c, WsEvent{WsEvent::Error, why}});
    WsEvent close{WsEvent::Close, ""};
    close.code = 1006;
    events.push_back({c, close});
    c->state = Conn::Done;
}

void WebSockets::PollOne(Conn* c, std::vector<std::pair<Conn*, WsEvent>>& events) {
    if (c->state == Conn::Connecting) {
        int running = 0;
        curl_multi_perform(c->multi, &running);
        int left = 0;
        while (CURLMsg* m = curl_multi_info_read(c->multi, &left)) {
            if (m->msg != CURLMSG_DONE) continue;
            if (m->data.result != CURLE_OK) {
                Fail(c, c->errbuf[0] ? c->errbuf : curl_easy_strerror(m->data.result), events);
                return;
            }
            // libcurl leaves the socket blocking after the upgrade: a read must never wait.
            curl_socket_t sock = CURL_SOCKET_BAD;
            curl_easy_getinfo(c->easy, CURLINFO_ACTIVESOCKET, &sock);
            u_long nonBlocking = 1;
            if (sock == CURL_SOCKET_BAD || ioctlsocket(sock, FIONBIO, &nonBlocking) != 0) {
                Fail(c, "no socket", events);
                return;
            }
            c->state = Conn::Open;
            events.push_back({c, WsEvent{WsEvent::Open, HeaderValue(c->responseHeaders, "Sec-WebSocket-Protocol")}});
        }
        if (c->state == Conn::Connecting && !Before(GetTickCount(), c->deadline)) Fail(c, "handshake timed out", events);
        return;
    }
    if (c->state == Conn::Closing && !Before(GetTickCount(), c->deadline)) {
        Fail(c, "closed", events);
        return;
    }
    // Outgoing text, fragmented above libcurl's frame size.
    while (c->state == Conn::Open && !c->out.empty()) {
        const std::string& text = c->out.front();
        size_t offset = 0;
        bool failed = false, again = false;
        do {
            size_t n = std::min(kFrameBytes, text.size() - offset);
            bool last = offset + n == text.size();
            size_t sent = 0;
            CURLcode r = curl_ws_send(c->easy, text.data() + offset, n, &sent, 0, CURLWS_TEXT | (last ? 0 : CURLWS_CONT));
            if (r == CURLE_AGAIN && offset == 0 && last) {
                again = true;  // nothing went out: the whole message waits for the next tick
                break;
            }
            if (r != CURLE_OK || sent != n) {
                failed = true;
                break;
            }
            offset += n;
        } while (offset < text.size());
        if (again) break;
        if (failed) {
            Fail(c, "send failed", events);
            return;
        }
        c->out.pop_front();
    }
    std::vector<char> buf(64 * 1024);
    for (int i = 0; i < kReadsPerPoll; ++i) {
        size_t n = 0;
        const struct curl_ws_frame* meta = nullptr;
        CURLcode r = curl_ws_recv(c->easy, buf.data(), buf.size(), &n, (struct curl_ws_frame**)&meta);
        if (r == CURLE_AGAIN) break;
        if (r != CURLE_OK) {
            Fail(c, r == CURLE_GOT_NOTHING ? "closed" : curl_easy_strerror(r), events);
            return;
        }
        if (!meta) break;
        if (n == 0) {
            // libcurl keeps a frame header cut by a read and never reads past it.
            Fail(c, "frame header split across reads", events);
            return;
        }
        bool continuesFrame = c->inFrame;
        unsigned flags = continuesFrame ? c->frameFlags : (unsigned)meta->flags;
        c->frameFlags = flags;
        c->inFrame = meta->bytesleft > 0;
        if (flags & CURLWS_CLOSE) {
            c->closePayload.append(buf.data(), n);
            if (c->inFrame) continue;
            int code = 1005;
            std::string reason;
            if (c->closePayload.size() >= 2) {
                code = ((unsigned char)c->closePayload[0] << 8) | (unsigned char)c->closePayload[1];
                reason = c->closePayload.substr(2);
            }
            if (c->state == Conn::Open) {
                // Answer with the same code, as the closing handshake asks.
                size_t sent = 0;
                curl_ws_send(c->easy, c->closePayload.data(), std::min<size_t>(2, c->closePayload.size()), &sent, 0,
                             CURLWS_CLOSE);
            }
            WsEvent close{WsEvent::Close, reason};
            close.code = code;
            close.clean = true;
            events.push_back({c, close});
            c->state = Conn::Done;
            return;
        }
        if (flags & CURLWS_PONG) continue;
        if (!continuesFrame && (flags & (CURLWS_TEXT | CURLWS_BINARY))) c->message.clear();  // a new message
        if (c->message.size() + n > kMaxMessage) {
            Fail(c, "message too large", events);
            return;
        }
        c->message.append(buf.data(), n);
        if (c->inFrame) continue;
        // Frames flagged CURLWS_CONT are followed by more of their message; the others end it.
        if (flags & CURLWS_CONT) continue;
        events.push_back({c, WsEvent{WsEvent::Message, c->message}});
        c->message.clear();
    }
}

void WebSockets::Poll() {
    std::vector<std::pair<Conn*, WsEvent>> events;
    std::vector<Conn*> conns(m_conns);
    for (Conn* c : conns) {
        if (c->state == Conn::Closing && c->closePayload == "abort") {
            Fail(c, "closed before it opened", events);
            continue;
        }
        if (c->state != Conn::Done) PollOne(c, events);
    }
    for (auto& e : events) {
        // A sink may drop connections (its page going away): their later events go nowhere.
        if (std::find(m_conns.begin(), m_conns.end(), e.first) == m_conns.end()) continue;
        Sink sink = e.first->sink;
        if (sink) sink(e.second);
    }
    std::vector<Conn*> keep;
    for (Conn* c : m_conns) {
        if (c->state == Conn::Done) Release(c);
        else keep.push_back(c);
    }
    m_conns.swap(keep);
}

}  // namespace webview
