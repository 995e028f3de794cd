// The few properties libcss 0.9.1 does not know: gap and row-gap (column-gap libcss has; only the
// gap shorthand sets it here), border-radius and its longhands, the flex shorthand's three-value
// form ("1 1 0%", which libcss drops whole; it reads the shorter forms), and background-size (also from
// the "position / size" part of the background shorthand, which libcss would reject whole: the
// cascade is given the sheet without that part, see ForLibcss). Rules holding these declarations
// are collected from the page's sheets with their selectors (DomSelector), specificity and order,
// indexed by the rightmost compound's id, class or tag; style attributes are read per element.
// Selectors DomSelector cannot parse (:hover, ::before) drop their rule.
//
// Owned by the document's Cascade; Reset with it. Apply runs after Cook on each element's box.
#pragma once
#include "DomApi.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "Css.h"

namespace webview {

class DomSelector;

class ExtraCascade {
public:
    ExtraCascade();
    ~ExtraCascade();
    ExtraCascade(const ExtraCascade&) = delete;
    ExtraCascade& operator=(const ExtraCascade&) = delete;

    void Reset();
    void AddSheet(const std::string& css);
    // Sets the winning values of these properties on an element's cooked style (untouched where
    // nothing declares them).
    void Apply(dom_node* element, Style& style) const;

    // The sheet (or style attribute) as libcss gets it: a background shorthand's "/ size" part
    // taken out, so that libcss keeps the rest of the declaration.
    static std::string ForLibcss(const std::string& css);

    // The properties this pass fills; a shorthand sets several.
    enum Property {
        RowGap, ColumnGap, RadiusTL, RadiusTR, RadiusBR, RadiusBL, BgSize, FlexGrow, FlexShrink, FlexBasis,
        kPropertyCount
    };
    struct Declaration {
        Property property;
        std::string value;
        bool important;
    };

private:
    struct Rule {
        std::unique_ptr<DomSelector> selector;
        int specificity;
        int order;
        std::vector<Declaration> declarations;
    };
    void AddRule(const std::string& selector, std::vector<Declaration> declarations);

    std::vector<Rule> m_rules;
    std::unordered_map<std::string, std::vector<int>> m_byId, m_byClass, m_byTag;
    std::vector<int> m_universal;
    int m_order = 0;
};

}  // namespace webview
