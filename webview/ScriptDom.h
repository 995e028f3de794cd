// The scripts' view of the document: one JavaScript object (wrapper) per libdom node, made on
// first use and found again through a map in the heap's stash keyed by the node's address, so a
// node always meets scripts as the same object (listeners and expando properties stay on it).
// A wrapper holds a libdom reference to its node, released by the wrapper's finalizer; nodes that
// scripts removed from the tree therefore stay valid while a script can still reach them. The
// heap's Script holds a reference to the document itself and drops it only after the heap (and
// with it every finalizer) is gone.
//
// The natives here are the C++ half; ScriptDomPrelude.inc builds the prototypes (Node, Element,
// Document, style, classList, dataset) over them. Natives never throw: a failure comes back as
// the name of the DOM error, which the prelude throws.
#pragma once
#include "DomApi.h"

#include <string>

struct WvView;
struct duk_hthread;

namespace webview {

// Per heap: the mutation count and the markup last handed out by innerHTML, so that
// `el.innerHTML += more` parses only `more` when nothing changed in between.
struct DomState {
    unsigned mutations = 0;
    dom_node* htmlNode = nullptr;  // not referenced: compared only
    unsigned htmlAt = 0;
    std::string html;
};

// Pushes the wrapper of n (null for a null node).
void PushNode(duk_hthread* ctx, dom_node* n);
// The node of the wrapper at idx, or null.
dom_node* WrappedNode(duk_hthread* ctx, int idx);
// Pushes the natives object the DOM prelude is called with.
void PushDomNatives(duk_hthread* ctx);

}  // namespace webview
