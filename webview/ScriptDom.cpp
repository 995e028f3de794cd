#include "ScriptDom.h"

#include <duktape/duktape.h>

#include <cstdio>
#include <cstring>

#include "DomAccess.h"
#include "Script.h"
#include "ScriptHost.h"
#include "DomSelector.h"
#include "ScriptNatives.h"
#include "Text.h"
#include "View.h"

namespace webview {

namespace {

const char kNodeKey[] = "\xFF" "node";

std::string KeyOf(dom_node* n) {
    char buf[32];
    snprintf(buf, sizeof buf, "%p", (void*)n);
    return buf;
}

duk_ret_t FinalizeWrapper(duk_context* ctx) {
    // Finalizers may run more than once on a rescued object; the pointer goes with the first run.
    duk_get_prop_string(ctx, 0, kNodeKey);
    dom_node* n = static_cast<dom_node*>(duk_get_pointer(ctx, -1));
    duk_pop(ctx);
    if (n) {
        duk_push_pointer(ctx, nullptr);
        duk_put_prop_string(ctx, 0, kNodeKey);
        dom_node_unref(n);
    }
    return 0;
}

std::string Arg(duk_context* ctx, int i) {
    if (i >= duk_get_top(ctx) || duk_is_null_or_undefined(ctx, i)) return std::string();
    duk_size_t n = 0;
    const char* s = duk_safe_to_lstring(ctx, i, &n);
    return std::string(s ? s : "", n);
}

void PushStr(duk_context* ctx, const std::string& s) {
    duk_push_lstring(ctx, s.data(), s.size());
}

Script* Owner(duk_context* ctx) {
    return Script::Of(ctx);
}

WvView* ViewOf(duk_context* ctx) {
    Script* s = Owner(ctx);
    return s ? s->View() : nullptr;
}

dom_node* Doc(duk_context* ctx) {
    Script* s = Owner(ctx);
    return s ? s->DocumentNode() : nullptr;
}

// Counted for the innerHTML cache, then told to the document's owner so only this part restyles.
void Changed(duk_context* ctx, dom_node* n, ChangeKind kind) {
    Script* s = Owner(ctx);
    if (!s) return;
    ++s->dom.mutations;
    NodeChanged(s->View(), n, kind);
}

duk_ret_t Fail(duk_context* ctx, const char* name) {
    duk_push_string(ctx, name);
    return 1;
}

bool IsContainer(dom_node* n) {
    int t = dom::Type(n);
    return t == DOM_ELEMENT_NODE || t == DOM_DOCUMENT_NODE || t == DOM_DOCUMENT_FRAGMENT_NODE;
}

bool IsInserted(dom_node* n) {
    int t = dom::Type(n);
    return t == DOM_ELEMENT_NODE || t == DOM_TEXT_NODE || t == DOM_COMMENT_NODE || t == DOM_DOCUMENT_FRAGMENT_NODE ||
           t == DOM_CDATA_SECTION_NODE;
}

void PushList(duk_context* ctx, const std::vector<NodeRef>& list) {
    duk_idx_t arr = duk_push_array(ctx);
    for (size_t i = 0; i < list.size(); ++i) {
        PushNode(ctx, list[i].get());
        duk_put_prop_index(ctx, arr, (duk_uarridx_t)i);
    }
}

// Inserts node into parent before ref (appends when ref is null); a fragment gives its children.
dom_exception Insert(dom_node* parent, dom_node* node, dom_node* ref) {
    dom_node* added = nullptr;
    dom_exception err = ref ? dom_node_insert_before(parent, node, ref, &added) : dom_node_append_child(parent, node, &added);
    if (added) dom_node_unref(added);
    return err;
}

const char* ErrorName(dom_exception err) {
    switch (err) {
    case DOM_HIERARCHY_REQUEST_ERR: return "HierarchyRequestError";
    case DOM_NOT_FOUND_ERR: return "NotFoundError";
    case DOM_WRONG_DOCUMENT_ERR: return "WrongDocumentError";
    case DOM_INVALID_CHARACTER_ERR: return "InvalidCharacterError";
    case DOM_NO_MODIFICATION_ALLOWED_ERR: return "NoModificationAllowedError";
    case DOM_NOT_SUPPORTED_ERR: return "NotSupportedError";
    default: return "Error";
    }
}

bool ValidName(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c == ' ' || c == '<' || c == '>' || c == '"' || c == '\'' || c == '/' || c == '=' || c == '\t' || c == '\n')
            return false;
    return true;
}

// Replaces the children of n by the parse of html (in n's context). When html extends the markup
// the previous read handed out and nothing changed since, only the new tail is parsed and
// appended, and the cached markup grows by the tail's own serialisation: `el.innerHTML += more`
// costs in proportion to `more`, not to what the element already holds.
void SetInnerHtml(duk_context* ctx, dom_node* n, const char* html, size_t size) {
    Script* s = Owner(ctx);
    DomState& st = s->dom;
    bool append = st.htmlNode == n && st.htmlAt == st.mutations && size >= st.html.size() &&
                  memcmp(html, st.html.data(), st.html.size()) == 0;
    if (!append) {
        st.htmlNode = nullptr;
        while (NodeRef c = dom::FirstChild(n)) {
            dom_node* gone = nullptr;
            if (dom_node_remove_child(n, c.get(), &gone) != DOM_NO_ERR) break;
            if (gone) dom_node_unref(gone);
        }
    }
    NodeRef frag = ParseFragment(s->View(), n, append ? std::string(html + st.html.size(), size - st.html.size())
                                                      : std::string(html, size));
    std::string added;
    if (frag) {
        NodeRef first = dom::FirstChild(frag.get());
        NodeRef last = dom::LastChild(n);
        // Text that continues the last text child joins it, as a parse of the whole would.
        if (append && first && last && dom::Type(first.get()) == DOM_TEXT_NODE && dom::Type(last.get()) == DOM_TEXT_NODE) {
            dom::SetNodeValue(last.get(), dom::NodeValue(last.get()) + dom::NodeValue(first.get()));
            dom_node* gone = nullptr;
            dom_node_remove_child(frag.get(), first.get(), &gone);
            if (gone) {
                if (append) dom::Serialize(gone, added);  // serialised in the fragment: escaped as text
                dom_node_unref(gone);
            }
        }
        if (append) {
            std::string tag = dom::Tag(n);
            for (NodeRef c = dom::FirstChild(frag.get()); c; c = dom::Next(c.get())) dom::SerializeIn(c.get(), tag, added);
        }
        Insert(n, frag.get(), nullptr);
    }
    Changed(ctx, n, ChangeKind::Children);
    if (append) {
        st.html += added;
        st.htmlAt = st.mutations;
    }
}

enum Op {
    OpType, OpName, OpTag, OpRel, OpChildren, OpAttr, OpSetAttr, OpRemoveAttr, OpAttrs, OpText, OpSetText,
    OpValue, OpSetValue, OpHtml, OpSetHtml, OpCreate, OpCreateText, OpCreateFragment, OpCreateComment, OpInsert,
    OpRemove, OpReplace, OpClone, OpById, OpByTag, OpByClass, OpQuery, OpMatches, OpContains, OpDoc, OpSetProtos,
    OpBox, OpOffset, OpComputed, OpViewport, OpSame, OpResolve
};

// Relations for OpRel.
enum { RelParent, RelFirst, RelLast, RelNext, RelPrev, RelParentEl, RelFirstEl, RelLastEl, RelNextEl, RelPrevEl,
       RelOwner, RelRoot, RelBody, RelHead };

duk_ret_t Native(duk_context* ctx) {
    // A loop of short native calls meets the page's deadline here, between calls.
    if (Script::Of(ctx)->OverBudget()) return duk_range_error(ctx, "script deadline");
    dom_node* n = WrappedNode(ctx, 0);
    switch ((Op)duk_get_current_magic(ctx)) {
    case OpType:
        duk_push_int(ctx, dom::Type(n));
        return 1;
    case OpName:
        PushStr(ctx, dom::NodeName(n));
        return 1;
    case OpTag:
        PushStr(ctx, dom::Tag(n));
        return 1;
    case OpRel: {
        NodeRef r;
        switch (duk_get_int(ctx, 1)) {
        case RelParent: r = dom::Parent(n); break;
        case RelFirst: r = dom::FirstChild(n); break;
        case RelLast: r = dom::LastChild(n); break;
        case RelNext: r = dom::Next(n); break;
        case RelPrev: r = dom::Prev(n); break;
        case RelParentEl: r = dom::ParentElement(n); break;
        case RelFirstEl: r = dom::FirstElementChild(n); break;
        case RelLastEl: r = dom::LastElementChild(n); break;
        case RelNextEl: r = dom::NextElement(n); break;
        case RelPrevEl: r = dom::PrevElement(n); break;
        case RelOwner: r = dom::OwnerDocument(n); break;
        case RelRoot: r = dom::DocumentElement(Doc(ctx)); break;
        case RelBody: r = dom::HtmlChild(Doc(ctx), "body"); break;
        case RelHead: r = dom::HtmlChild(Doc(ctx), "head"); break;
        }
        PushNode(ctx, r.get());
        return 1;
    }
    case OpChildren: {
        bool elementsOnly = duk_get_boolean_default(ctx, 1, 0) != 0;
        std::vector<NodeRef> list;
        for (NodeRef c = dom::FirstChild(n); c; c = dom::Next(c.get()))
            if (!elementsOnly || dom::IsElement(c.get())) list.push_back(c);
        PushList(ctx, list);
        return 1;
    }
    case OpAttr: {
        std::string v;
        if (dom::GetAttr(n, Arg(ctx, 1), &v)) PushStr(ctx, v);
        else duk_push_null(ctx);
        return 1;
    }
    case OpSetAttr: {
        std::string name = Arg(ctx, 1);
        if (!dom::IsElement(n)) return Fail(ctx, "TypeError");
        if (!ValidName(name)) return Fail(ctx, "InvalidCharacterError");
        if (!dom::SetAttr(n, name, Arg(ctx, 2))) return Fail(ctx, "Error");
        Changed(ctx, n, ChangeKind::Attribute);
        return 0;
    }
    case OpRemoveAttr: {
        std::string name = Arg(ctx, 1);
        if (dom::GetAttr(n, name, nullptr)) {
            dom::RemoveAttr(n, name);
            Changed(ctx, n, ChangeKind::Attribute);
        }
        return 0;
    }
    case OpAttrs: {
        duk_idx_t arr = duk_push_array(ctx);
        duk_uarridx_t i = 0;
        for (const auto& a : dom::Attrs(n)) {
            duk_idx_t pair = duk_push_array(ctx);
            PushStr(ctx, a.first);
            duk_put_prop_index(ctx, pair, 0);
            PushStr(ctx, a.second);
            duk_put_prop_index(ctx, pair, 1);
            duk_put_prop_index(ctx, arr, i++);
        }
        return 1;
    }
    case OpText:
        PushStr(ctx, dom::TextContent(n));
        return 1;
    case OpSetText: {
        if (!n) return 0;
        std::string text = Arg(ctx, 1);
        if (IsContainer(n)) {
            while (NodeRef c = dom::FirstChild(n)) {
                dom_node* gone = nullptr;
                if (dom_node_remove_child(n, c.get(), &gone) != DOM_NO_ERR) break;
                if (gone) dom_node_unref(gone);
            }
            dom_string* s = dom::MakeStr(text);
            dom_text* t = nullptr;
            if (!text.empty() && s && dom_document_create_text_node((dom_document*)Doc(ctx), s, &t) == DOM_NO_ERR && t) {
                Insert(n, (dom_node*)t, nullptr);
                dom_node_unref(t);
            }
            if (s) dom_string_unref(s);
            Changed(ctx, n, ChangeKind::Children);
        } else {
            dom::SetNodeValue(n, text);
            Changed(ctx, n, ChangeKind::Text);
        }
        return 0;
    }
    case OpValue:
        PushStr(ctx, dom::NodeValue(n));
        return 1;
    case OpSetValue:
        if (n && !IsContainer(n)) {
            dom::SetNodeValue(n, Arg(ctx, 1));
            Changed(ctx, n, ChangeKind::Text);
        }
        return 0;
    case OpHtml: {
        if (duk_get_boolean_default(ctx, 1, 0)) {
            std::string out;
            dom::Serialize(n, out);
            PushStr(ctx, out);
            return 1;
        }
        DomState& st = Owner(ctx)->dom;
        if (st.htmlNode != n || st.htmlAt != st.mutations) {
            st.html.clear();
            dom::SerializeChildren(n, st.html);
            st.htmlNode = n;
            st.htmlAt = st.mutations;
        }
        PushStr(ctx, st.html);
        return 1;
    }
    case OpSetHtml: {
        if (!IsContainer(n)) return Fail(ctx, "NoModificationAllowedError");
        // Read in place: the markup may be long, and usually only its tail is new.
        duk_size_t size = 0;
        const char* html = duk_get_top(ctx) > 1 ? duk_safe_to_lstring(ctx, 1, &size) : "";
        SetInnerHtml(ctx, n, html ? html : "", html ? size : 0);
        return 0;
    }
    case OpCreate: {
        std::string tag = Arg(ctx, 0);
        if (!ValidName(tag)) return Fail(ctx, "InvalidCharacterError");
        for (char& c : tag)
            if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
        dom_string* s = dom::MakeStr(tag);
        dom_element* e = nullptr;
        dom_exception err = s ? dom_document_create_element((dom_document*)Doc(ctx), s, &e) : DOM_NO_MEM_ERR;
        if (s) dom_string_unref(s);
        if (err != DOM_NO_ERR || !e) return Fail(ctx, ErrorName(err));
        NodeRef r((dom_node*)e);
        PushNode(ctx, r.get());
        return 1;
    }
    case OpCreateText:
    case OpCreateComment: {
        dom_string* s = dom::MakeStr(Arg(ctx, 0));
        dom_node* made = nullptr;
        if (s) {
            if (duk_get_current_magic(ctx) == OpCreateText) {
                dom_text* t = nullptr;
                dom_document_create_text_node((dom_document*)Doc(ctx), s, &t);
                made = (dom_node*)t;
            } else {
                dom_comment* c = nullptr;
                dom_document_create_comment((dom_document*)Doc(ctx), s, &c);
                made = (dom_node*)c;
            }
            dom_string_unref(s);
        }
        NodeRef r(made);
        PushNode(ctx, r.get());
        return 1;
    }
    case OpCreateFragment: {
        dom_document_fragment* f = nullptr;
        dom_document_create_document_fragment((dom_document*)Doc(ctx), &f);
        NodeRef r((dom_node*)f);
        PushNode(ctx, r.get());
        return 1;
    }
    case OpInsert: {
        dom_node* node = WrappedNode(ctx, 1);
        dom_node* ref = WrappedNode(ctx, 2);
        if (!node) return Fail(ctx, "TypeError");
        if (!IsContainer(n) || !IsInserted(node)) return Fail(ctx, "HierarchyRequestError");
        if (!duk_is_null_or_undefined(ctx, 2) && !ref) return Fail(ctx, "TypeError");
        NodeRef oldParent = dom::Parent(node);
        dom_exception err = Insert(n, node, ref);
        if (err != DOM_NO_ERR) return Fail(ctx, ErrorName(err));
        if (oldParent && oldParent.get() != n) Changed(ctx, oldParent.get(), ChangeKind::Children);
        Changed(ctx, n, ChangeKind::Children);
        duk_dup(ctx, 1);
        return 1;
    }
    case OpRemove: {
        dom_node* child = WrappedNode(ctx, 1);
        NodeRef parent = dom::Parent(child);
        if (!child || parent.get() != n) return Fail(ctx, "NotFoundError");
        dom_node* gone = nullptr;
        dom_exception err = dom_node_remove_child(n, child, &gone);
        if (gone) dom_node_unref(gone);
        if (err != DOM_NO_ERR) return Fail(ctx, ErrorName(err));
        Changed(ctx, n, ChangeKind::Children);
        duk_dup(ctx, 1);
        return 1;
    }
    case OpReplace: {
        dom_node* node = WrappedNode(ctx, 1);
        dom_node* old = WrappedNode(ctx, 2);
        NodeRef parent = dom::Parent(old);
        if (!old || parent.get() != n) return Fail(ctx, "NotFoundError");
        if (!IsInserted(node)) return Fail(ctx, "HierarchyRequestError");
        dom_node* gone = nullptr;
        dom_exception err = dom_node_replace_child(n, node, old, &gone);
        if (gone) dom_node_unref(gone);
        if (err != DOM_NO_ERR) return Fail(ctx, ErrorName(err));
        Changed(ctx, n, ChangeKind::Children);
        duk_dup(ctx, 2);
        return 1;
    }
    case OpClone: {
        dom_node* copy = nullptr;
        if (!n || dom_node_clone_node(n, duk_get_boolean_default(ctx, 1, 0) != 0, &copy) != DOM_NO_ERR) return 0;
        NodeRef r(copy);
        PushNode(ctx, r.get());
        return 1;
    }
    case OpById: {
        // First match in document order, as browsers do when ids repeat.
        std::string id = Arg(ctx, 1);
        std::vector<NodeRef> found;
        if (!id.empty())
            dom::Descendants(n ? n : Doc(ctx), [&](dom_node* e) { return dom::Attr(e, "id") == id; }, found, 1);
        PushNode(ctx, found.empty() ? nullptr : found[0].get());
        return 1;
    }
    case OpByTag: {
        std::string tag = Arg(ctx, 1);
        for (char& c : tag)
            if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
        std::vector<NodeRef> found;
        dom::Descendants(n, [&](dom_node* e) { return tag == "*" || dom::Tag(e) == tag; }, found);
        PushList(ctx, found);
        return 1;
    }
    case OpByClass: {
        std::vector<std::string> want = dom::Classes(Arg(ctx, 1));
        std::vector<NodeRef> found;
        if (!want.empty())
            dom::Descendants(n, [&](dom_node* e) {
                std::vector<std::string> have = dom::Classes(dom::Attr(e, "class"));
                for (const std::string& w : want) {
                    bool hit = false;
                    for (const std::string& h : have) hit = hit || h == w;
                    if (!hit) return false;
                }
                return true;
            }, found);
        PushList(ctx, found);
        return 1;
    }
    case OpQuery:
    case OpMatches: {
        DomSelector sel;
        if (!sel.Parse(Arg(ctx, 1))) return Fail(ctx, "SyntaxError");
        if (duk_get_current_magic(ctx) == OpMatches) {
            duk_push_boolean(ctx, sel.Matches(n));
            return 1;
        }
        bool all = duk_get_boolean_default(ctx, 2, 0) != 0;
        std::vector<NodeRef> found;
        dom::Descendants(n, [&](dom_node* e) { return sel.Matches(e); }, found, all ? (size_t)-1 : 1);
        if (all) PushList(ctx, found);
        else PushNode(ctx, found.empty() ? nullptr : found[0].get());
        return 1;
    }
    case OpContains: {
        dom_node* other = WrappedNode(ctx, 1);
        bool in = false;
        for (NodeRef p = NodeRef::Share(other); p && !in; p = dom::Parent(p.get())) in = p.get() == n;
        duk_push_boolean(ctx, n && in);
        return 1;
    }
    case OpSame:
        duk_push_boolean(ctx, n && n == WrappedNode(ctx, 1));
        return 1;
    case OpDoc:
        PushNode(ctx, Doc(ctx));
        return 1;
    case OpSetProtos:
        duk_push_global_stash(ctx);
        duk_dup(ctx, 0);
        duk_put_prop_string(ctx, -2, "protos");
        return 0;
    case OpBox: {
        // [left, top, width, height] of the border box in the viewport, or null without a box.
        BoxInfo b;
        if (!n || !ViewportBox(ViewOf(ctx), n, b)) {
            duk_push_null(ctx);
            return 1;
        }
        duk_idx_t arr = duk_push_array(ctx);
        const int v[] = {b.border.left, b.border.top, b.border.right - b.border.left, b.border.bottom - b.border.top,
                         b.padding.left, b.padding.top, b.padding.right - b.padding.left,
                         b.padding.bottom - b.padding.top};
        for (int i = 0; i < 8; ++i) {
            duk_push_int(ctx, v[i]);
            duk_put_prop_index(ctx, arr, (duk_uarridx_t)i);
        }
        return 1;
    }
    case OpOffset: {
        // The nearest positioned ancestor, else body (null for body and unrendered nodes).
        NodeRef p = dom::ParentElement(n);
        for (; p; p = dom::ParentElement(p.get())) {
            std::string tag = dom::Tag(p.get());
            if (tag == "body" || ComputedValue(ViewOf(ctx), p.get(), "position") != "static") break;
        }
        PushNode(ctx, dom::Tag(n) == "body" ? nullptr : p.get());
        return 1;
    }
    case OpComputed:
        PushStr(ctx, n ? ComputedValue(ViewOf(ctx), n, Arg(ctx, 1)) : std::string());
        return 1;
    case OpResolve: {
        WvView* v = ViewOf(ctx);
        PushStr(ctx, ResolveUrl(v ? v->url : std::string(), Arg(ctx, 0)));
        return 1;
    }
    case OpViewport: {
        WvView* v = ViewOf(ctx);
        duk_idx_t arr = duk_push_array(ctx);
        duk_push_int(ctx, v ? v->width : 0);
        duk_put_prop_index(ctx, arr, 0);
        duk_push_int(ctx, v ? v->height : 0);
        duk_put_prop_index(ctx, arr, 1);
        duk_push_int(ctx, v ? v->scrollY : 0);
        duk_put_prop_index(ctx, arr, 2);
        return 1;
    }
    }
    return 0;
}

const struct {
    const char* name;
    Op op;
} kNatives[] = {
    {"type", OpType},         {"name", OpName},           {"tag", OpTag},
    {"rel", OpRel},           {"children", OpChildren},   {"attr", OpAttr},
    {"setAttr", OpSetAttr},   {"removeAttr", OpRemoveAttr}, {"attrs", OpAttrs},
    {"text", OpText},         {"setText", OpSetText},     {"value", OpValue},
    {"setValue", OpSetValue}, {"html", OpHtml},           {"setHtml", OpSetHtml},
    {"create", OpCreate},     {"createText", OpCreateText}, {"createFragment", OpCreateFragment},
    {"createComment", OpCreateComment}, {"insert", OpInsert}, {"remove", OpRemove},
    {"replace", OpReplace},   {"clone", OpClone},         {"byId", OpById},
    {"byTag", OpByTag},       {"byClass", OpByClass},     {"query", OpQuery},
    {"matches", OpMatches},   {"contains", OpContains},   {"same", OpSame},
    {"doc", OpDoc},           {"setProtos", OpSetProtos}, {"box", OpBox},
    {"offsetParent", OpOffset}, {"computed", OpComputed}, {"viewport", OpViewport},
    {"resolve", OpResolve},
};

}  // namespace

void PushNode(duk_context* ctx, dom_node* n) {
    if (!n) {
        duk_push_null(ctx);
        return;
    }
    std::string key = KeyOf(n);
    duk_push_global_stash(ctx);                     // stash
    if (!duk_get_prop_string(ctx, -1, "nodes")) {   // stash nodes?
        duk_pop(ctx);
        duk_push_object(ctx);
        duk_dup_top(ctx);
        duk_put_prop_string(ctx, -3, "nodes");
    }                                               // stash nodes
    if (duk_get_prop_lstring(ctx, -1, key.data(), key.size())) {
        duk_remove(ctx, -2);
        duk_remove(ctx, -2);
        return;
    }
    duk_pop(ctx);
    duk_push_object(ctx);                           // stash nodes w
    // The prototype of the node's kind, as the prelude registered them (by node type).
    if (duk_get_prop_string(ctx, -3, "protos")) {
        int t = dom::Type(n);
        if (!duk_get_prop_index(ctx, -1, (duk_uarridx_t)t)) {
            duk_pop(ctx);
            duk_get_prop_index(ctx, -1, 0);
        }
        if (duk_is_object(ctx, -1)) duk_set_prototype(ctx, -3);
        else duk_pop(ctx);
    }
    duk_pop(ctx);
    duk_push_pointer(ctx, dom_node_ref(n));
    duk_put_prop_string(ctx, -2, kNodeKey);
    duk_push_c_function(ctx, FinalizeWrapper, 1);
    duk_set_finalizer(ctx, -2);
    duk_dup_top(ctx);                               // stash nodes w w
    duk_put_prop_lstring(ctx, -3, key.data(), key.size());
    duk_remove(ctx, -2);
    duk_remove(ctx, -2);
}

dom_node* WrappedNode(duk_context* ctx, int idx) {
    if (idx >= duk_get_top(ctx) || !duk_is_object(ctx, idx)) return nullptr;
    duk_get_prop_string(ctx, idx, kNodeKey);
    dom_node* n = static_cast<dom_node*>(duk_get_pointer(ctx, -1));
    duk_pop(ctx);
    return n;
}

void PushDomNatives(duk_context* ctx) {
    PushNativeTable(ctx, kNatives, Native);
}

}  // namespace webview
