// Selectors (level 3 subset that scripts use in querySelector and matches): parsed once into a
// list of complex selectors, then matched right to left over libdom elements. Supported: type,
// universal, #id, .class, [attr], [attr=v] with ^= $= *= ~= |=, :first-child, :last-child,
// :only-child, :nth-child(an+b), :not(), and the combinators descendant, >, + and ~.
#pragma once
#include "DomApi.h"

#include <string>
#include <vector>

namespace webview {

class DomSelector {
public:
    // False (and an empty selector) when the text does not parse: querySelector then throws.
    bool Parse(const std::string& text);
    bool Matches(dom_node* element) const;

    struct Simple {
        enum Kind { Tag, Id, Class, Attr, FirstChild, LastChild, OnlyChild, NthChild, Not } kind = Tag;
        std::string name, value;
        char op = 0;  // attributes: 0 (present), '=', '^', '$', '*', '~', '|'
        int a = 0, b = 0;
        std::vector<Simple> inner;  // :not()
    };
    struct Compound {
        std::vector<Simple> parts;
        char combinator = 0;  // to the compound on its left: ' ', '>', '+', '~'; 0 for the leftmost
    };
    typedef std::vector<Compound> Complex;

private:
    std::vector<Complex> m_list;
};

}  // namespace webview
