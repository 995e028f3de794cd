// The object of natives a binding's prelude is called with: each entry of a {name, op} table
// becomes a function that calls the binding's one native with the op as its magic.
#pragma once
#include <duktape/duktape.h>

#include <cstddef>

namespace webview {

template <class Entry, size_t N>
void PushNativeTable(duk_context* ctx, const Entry (&table)[N], duk_c_function native) {
    duk_push_object(ctx);
    for (const Entry& n : table) {
        duk_push_c_function(ctx, native, DUK_VARARGS);
        duk_set_magic(ctx, -1, (duk_int_t)n.op);
        duk_put_prop_string(ctx, -2, n.name);
    }
}

}  // namespace webview
