#include "ScriptWindow.h"

#include <duktape/duktape.h>

#include <cstring>
#include <iterator>
#include <map>
#include <string>

#include "Script.h"
#include "ScriptDom.h"
#include "ScriptNatives.h"
#include "Text.h"
#include "View.h"
#include "ViewScroll.h"

namespace webview {

namespace {

std::string Arg(duk_context* ctx, int i) {
    if (i >= duk_get_top(ctx) || duk_is_null_or_undefined(ctx, i)) return std::string();
    duk_size_t n = 0;
    const char* s = duk_safe_to_lstring(ctx, i, &n);
    return std::string(s ? s : "", n);
}

// Scheme, host and port of a URL: the key of its storage.
std::string Origin(const std::string& url) {
    size_t scheme = url.find("://");
    if (scheme == std::string::npos) return ToLower(url);
    size_t end = url.find_first_of("/?#", scheme + 3);
    return ToLower(url.substr(0, end));
}

std::map<std::string, std::map<std::string, std::string>>& Storages() {
    static std::map<std::string, std::map<std::string, std::string>> all;
    return all;
}

std::map<std::string, std::string>& StorageOf(duk_context* ctx) {
    Script* s = Script::Of(ctx);
    return Storages()[Origin(s && s->View() ? s->View()->url : std::string())];
}

// Code points of a script string (duktape hands out UTF-8; lone surrogates come as 3 bytes each).
bool Latin1(const std::string& s, std::string& out) {
    for (size_t i = 0; i < s.size();) {
        unsigned char c = (unsigned char)s[i];
        unsigned cp;
        if (c < 0x80) cp = c, i += 1;
        else if ((c & 0xE0) == 0xC0 && i + 1 < s.size()) cp = ((c & 0x1Fu) << 6) | (s[i + 1] & 0x3Fu), i += 2;
        else return false;  // above U+07FF: never a byte
        if (cp > 0xFF) return false;
        out += (char)cp;
    }
    return true;
}

std::string FromLatin1(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c < 0x80) out += (char)c;
        else out += (char)(0xC0 | (c >> 6)), out += (char)(0x80 | (c & 0x3F));
    }
    return out;
}

const char kB64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string Encode(const std::string& in) {
    std::string out;
    size_t i = 0;
    for (; i + 2 < in.size(); i += 3) {
        unsigned n = ((unsigned char)in[i] << 16) | ((unsigned char)in[i + 1] << 8) | (unsigned char)in[i + 2];
        out += kB64[n >> 18], out += kB64[(n >> 12) & 63], out += kB64[(n >> 6) & 63], out += kB64[n & 63];
    }
    if (i < in.size()) {
        unsigned n = (unsigned char)in[i] << 16;
        if (i + 1 < in.size()) n |= (unsigned char)in[i + 1] << 8;
        out += kB64[n >> 18], out += kB64[(n >> 12) & 63];
        out += i + 1 < in.size() ? kB64[(n >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

// Forgiving base64: white space is skipped, padding optional; false for anything else.
bool Decode(const std::string& in, std::string& out) {
    std::string s;
    for (char c : in)
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r' && c != '\f') s += c;
    if (s.size() % 4 == 0 && !s.empty() && s.back() == '=') {
        s.pop_back();
        if (!s.empty() && s.back() == '=') s.pop_back();
    }
    if (s.size() % 4 == 1) return false;
    unsigned acc = 0;
    int bits = 0;
    for (char c : s) {
        const char* p = c ? strchr(kB64, c) : nullptr;
        if (!p) return false;
        acc = (acc << 6) | (unsigned)(p - kB64);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += (char)((acc >> bits) & 0xFF);
        }
    }
    return true;
}

enum Op {
    OpAtob, OpBtoa, OpGetItem, OpSetItem, OpRemoveItem, OpClear, OpLength, OpKey,
    OpScrollTo, OpScrollPos, OpElementScroll, OpSetElementScroll, OpIntoView
};

// A coordinate argument (the prelude clamps them at 0): -1, keep the present one, when it is
// missing, negative or not a number.
int Coordinate(duk_context* ctx, int i) {
    if (i >= duk_get_top(ctx) || !duk_is_number(ctx, i)) return -1;
    double d = duk_get_number(ctx, i);
    if (d != d) return -1;
    return d < 0 ? -1 : d > 1e8 ? 100000000 : (int)d;
}

void PushInts(duk_context* ctx, const int* v, int n) {
    duk_idx_t arr = duk_push_array(ctx);
    for (int i = 0; i < n; ++i) {
        duk_push_int(ctx, v[i]);
        duk_put_prop_index(ctx, arr, (duk_uarridx_t)i);
    }
}

duk_ret_t Native(duk_context* ctx) {
    // A loop of short native calls meets the page's deadline here, between calls.
    if (Script::Of(ctx)->OverBudget()) return duk_range_error(ctx, "script deadline");
    switch ((Op)duk_get_current_magic(ctx)) {
    case OpBtoa: {
        std::string bytes;
        if (!Latin1(Arg(ctx, 0), bytes)) {
            duk_push_null(ctx);  // the prelude throws InvalidCharacterError
            return 1;
        }
        std::string out = Encode(bytes);
        duk_push_lstring(ctx, out.data(), out.size());
        return 1;
    }
    case OpAtob: {
        std::string bytes;
        if (!Decode(Arg(ctx, 0), bytes)) {
            duk_push_null(ctx);
            return 1;
        }
        std::string out = FromLatin1(bytes);
        duk_push_lstring(ctx, out.data(), out.size());
        return 1;
    }
    case OpGetItem: {
        auto& st = StorageOf(ctx);
        auto it = st.find(Arg(ctx, 0));
        if (it == st.end()) duk_push_null(ctx);
        else duk_push_lstring(ctx, it->second.data(), it->second.size());
        return 1;
    }
    case OpSetItem:
        StorageOf(ctx)[Arg(ctx, 0)] = Arg(ctx, 1);
        return 0;
    case OpRemoveItem:
        StorageOf(ctx).erase(Arg(ctx, 0));
        return 0;
    case OpClear:
        StorageOf(ctx).clear();
        return 0;
    case OpLength:
        duk_push_uint(ctx, (duk_uint_t)StorageOf(ctx).size());
        return 1;
    case OpScrollTo:
    case OpScrollPos:
    case OpElementScroll:
    case OpSetElementScroll:
    case OpIntoView: {
        Script* s = Script::Of(ctx);
        WvView* v = s ? s->View() : nullptr;
        if (!v) return 0;
        Op op = (Op)duk_get_current_magic(ctx);
        if (op == OpScrollTo) {
            int x = Coordinate(ctx, 0), y = Coordinate(ctx, 1);
            EnsureLayout(v);
            ScrollPageTo(v, x < 0 ? v->scrollX : x, y < 0 ? v->scrollY : y);
            return 0;
        }
        if (op == OpScrollPos) {
            EnsureLayout(v);
            SyncPageScroll(v);
            const int pos[2] = {v->scrollX, v->scrollY};
            PushInts(ctx, pos, 2);
            return 1;
        }
        dom_node* n = WrappedNode(ctx, 0);
        if (!n) return 0;
        if (op == OpSetElementScroll) SetElementScroll(v, n, Coordinate(ctx, 1), Coordinate(ctx, 2));
        if (op == OpIntoView) ScrollIntoView(v, n);
        if (op != OpElementScroll) return 0;
        int vals[6];
        if (!ElementScroll(v, n, vals)) {
            duk_push_null(ctx);
            return 1;
        }
        PushInts(ctx, vals, 6);
        return 1;
    }
    case OpKey: {
        auto& st = StorageOf(ctx);
        duk_int_t i = duk_get_int_default(ctx, 0, -1);
        if (i < 0 || (size_t)i >= st.size()) {
            duk_push_null(ctx);
            return 1;
        }
        auto it = st.begin();
        std::advance(it, i);
        duk_push_lstring(ctx, it->first.data(), it->first.size());
        return 1;
    }
    }
    return 0;
}

const struct {
    const char* name;
    Op op;
} kNatives[] = {
    {"atob", OpAtob},       {"btoa", OpBtoa},   {"getItem", OpGetItem}, {"setItem", OpSetItem},
    {"removeItem", OpRemoveItem}, {"clear", OpClear}, {"length", OpLength}, {"key", OpKey},
    {"scrollTo", OpScrollTo}, {"scrollPos", OpScrollPos}, {"elementScroll", OpElementScroll},
    {"setElementScroll", OpSetElementScroll}, {"intoView", OpIntoView},
};

}  // namespace

void PushWindowNatives(duk_context* ctx) {
    PushNativeTable(ctx, kNatives, Native);
}

}  // namespace webview
