// The web view's WebSocket connections (ws:// and wss://) over libcurl's WebSocket support: each
// connection is an easy handle in connect-only mode with a multi handle of its own (so that the
// connection stays with its handle and no other transfer's housekeeping closes it), driven from
// the library's timer on the UI thread without blocking: the upgrade through the multi handle,
// then curl_ws_recv / curl_ws_send on a non-blocking socket. libcurl answers pings itself; text
// and binary messages, fragmented ones and close frames are assembled here.
//
// Ownership: WebSockets owns every connection until it is closed and its close event has been
// handed on; events go to the sink given with Open, on the UI thread, from Poll only.
#pragma once
#include <windows.h>

#include <deque>
#include <functional>
#include <string>
#include <vector>

typedef void CURL;
typedef void CURLM;

namespace webview {

class Network;

struct WsEvent {
    enum Kind { Open, Message, Error, Close } kind;
    std::string text;      // Open: the protocol chosen; Message: the data; Close: the reason
    int code = 0;          // Close: the close code (1005 none given, 1006 abnormal)
    bool clean = false;    // Close: the closing handshake completed
};

class WebSockets {
public:
    typedef std::function<void(const WsEvent&)> Sink;

    explicit WebSockets(Network& net) : m_net(net) {}
    ~WebSockets();

    // Starts connecting; false when the URL cannot be used (then no event follows).
    bool Open(void* owner, int id, const std::string& url, const std::string& protocols, Sink sink);
    // Queues a text message; false unless the connection is open.
    bool Send(void* owner, int id, const std::string& text);
    // Starts the closing handshake (or drops a connection that is not open yet).
    void Close(void* owner, int id, int code, const std::string& reason);
    // Ends the owner's connections at once, without events.
    void DropAll(void* owner);
    void DropAll();
    // Moves every connection on; events are handed to the sinks from here.
    void Poll();

private:
    struct Conn;
    Conn* Find(void* owner, int id);
    void PollOne(Conn* c, std::vector<std::pair<Conn*, WsEvent>>& events);
    void Fail(Conn* c, const std::string& why, std::vector<std::pair<Conn*, WsEvent>>& events);
    void Release(Conn* c);

    Network& m_net;
    std::vector<Conn*> m_conns;
};

}  // namespace webview
