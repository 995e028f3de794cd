// The cascade of one document on libcss: the user-agent sheet (parsed once per process and shared
// by every document), the page's sheets (<style>, fetched <link rel=stylesheet>), style
// attributes, and the presentational attributes of old pages (bgcolor, align, width, border,
// cellpadding, <font color size>) as libcss presentational hints. Selection is per element,
// top-down: the parent's composed style is needed to compose the child's.
//
// Owned by the view's render tree; the composed styles it returns are owned by the caller
// (css_computed_style_destroy). The per-node data libcss keeps for its bloom filter and style
// sharing lives in libdom user data and is freed with the node.
#pragma once
#include "DomApi.h"
#include "CssApi.h"

#include <cstdint>
#include <map>
#include <set>
#include <unordered_map>
#include <string>
#include <utility>
#include <vector>

#include "Css.h"
#include "ExtraCascade.h"

namespace webview {

class Cascade {
public:
    Cascade();
    ~Cascade();
    Cascade(const Cascade&) = delete;
    Cascade& operator=(const Cascade&) = delete;

    // Drops the page's sheets: only the user-agent sheet remains.
    void Reset(const std::string& baseUrl);
    // baseUrl: what the sheet's url()s are relative to (the document's when empty).
    void AddSheet(const std::string& css, const std::string& baseUrl = std::string());
    // The properties libcss does not know, applied to a cooked style by the render tree.
    const ExtraCascade& Extra() const { return m_extra; }

    // The fully computed style of an element given its parent's (null for the root element), or
    // null when selection fails. Owned by the cascade until Reset: elements whose selected style
    // and parent style are the same share one composed style (libcss interns selected styles).
    const css_computed_style* Select(dom_node* element, const css_computed_style* parent);
    // Select, shared between elements whose own and ancestors' names, classes and the ids and
    // attributes that selectors or hints read are the same, and whose parents' styles are (what
    // selection would give them is then the same, as no selector looks at siblings or children).
    // parentKey: the parent's key (0 for the root); key: the element's, 0 when it shares nothing.
    const css_computed_style* SelectShared(dom_node* element, const css_computed_style* parent, uint64_t parentKey,
                                           uint64_t* key);
    // Forgets what libcss remembers of a node (its attributes changed).
    static void NodeModified(dom_node* element);

    // The element under the mouse and the one with focus, for :hover and :focus.
    void SetHover(dom_node* n) { Hold(m_hover, n); }
    void SetFocus(dom_node* n) { Hold(m_focus, n); }
    // Whether a page sheet mentions :hover or :focus at all (else moving them restyles nothing).
    bool UsesHover() const { return m_usesHover; }
    bool UsesFocus() const { return m_usesFocus; }
    // Whether a :hover selector goes on to other elements (".menu:hover .sub").
    bool HoverReachesDown() const { return m_hoverReachesDown; }
    // Whether a page sheet's selector has a sibling combinator ("h1 + p", "a ~ b").
    bool UsesSiblings() const { return m_usesSiblings; }

    // The values our layout draws with. The parent's cooked style carries what propagates to
    // descendants' text (underline).
    static Style Cook(const css_computed_style* s, const Style* parent, bool root);
    // Cook, remembered per composed style.
    Style Cooked(const css_computed_style* s, const Style* parent, bool root);
    // A computed value as getComputedStyle reports it ("" when the property is not known).
    static std::string Value(const css_computed_style* s, const Style& cooked, const std::string& property);

    // Implementation details shared with the selection callbacks.
    dom_node* Hover() const { return m_hover; }
    dom_node* Focus() const { return m_focus; }
    std::vector<css_hint>& Hints() { return m_hints; }

private:
    static void Hold(dom_node*& slot, dom_node* n);
    void Scan(const std::string& lowerCss);

    css_select_ctx* m_ctx = nullptr;
    std::vector<css_stylesheet*> m_sheets;  // the page's, owned
    std::string m_base;
    ExtraCascade m_extra;
    dom_node* m_hover = nullptr;
    dom_node* m_focus = nullptr;
    bool m_usesHover = false, m_usesFocus = false, m_hoverReachesDown = false;
    bool m_usesSiblings = false;
    bool m_shareable = true;
    std::set<std::string> m_ids, m_attributes;
    struct PairHash {
        size_t operator()(const std::pair<const css_computed_style*, uint64_t>& k) const {
            return std::hash<uint64_t>()(k.second) ^ std::hash<const void*>()(k.first);
        }
    };
    std::unordered_map<std::pair<const css_computed_style*, uint64_t>, const css_computed_style*, PairHash> m_shared;
    std::vector<css_hint> m_hints;  // the last element's presentational hints
    struct Composed {
        css_select_results* selected;  // holds the selected style the key points at
        css_computed_style* style;
    };
    std::map<std::pair<const css_computed_style*, const css_computed_style*>, Composed> m_composed;
    std::map<std::pair<const css_computed_style*, int>, Style> m_cooked;
    void DropComposed();
};

}  // namespace webview
