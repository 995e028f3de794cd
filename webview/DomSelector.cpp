#include "DomSelector.h"

#include <cctype>
#include <cstdlib>

#include "DomAccess.h"

namespace webview {

namespace {

std::string Lower(std::string s) {
    for (char& c : s) c = (char)tolower((unsigned char)c);
    return s;
}

class Parser {
public:
    explicit Parser(const std::string& s) : m_s(s) {}

    bool List(std::vector<DomSelector::Complex>& out) {
        for (;;) {
            DomSelector::Complex c;
            Space();
            if (!ComplexSel(c)) return false;
            out.push_back(c);
            Space();
            if (AtEnd()) return true;
            if (!Eat(',')) return false;
        }
    }

private:
    bool AtEnd() const { return m_i >= m_s.size(); }
    char Peek() const { return AtEnd() ? 0 : m_s[m_i]; }
    bool Eat(char c) {
        if (Peek() != c) return false;
        ++m_i;
        return true;
    }
    bool Space() {
        size_t start = m_i;
        while (!AtEnd() && isspace((unsigned char)m_s[m_i])) ++m_i;
        return m_i > start;
    }
    static bool NameChar(char c) {
        return isalnum((unsigned char)c) || c == '-' || c == '_' || (unsigned char)c >= 0x80 || c == '\\';
    }
    std::string Name() {
        std::string r;
        while (!AtEnd() && NameChar(m_s[m_i])) {
            if (m_s[m_i] == '\\' && m_i + 1 < m_s.size()) ++m_i;
            r += m_s[m_i++];
        }
        return r;
    }

    bool ComplexSel(DomSelector::Complex& out) {
        DomSelector::Compound first;
        if (!CompoundSel(first)) return false;
        out.push_back(first);
        for (;;) {
            bool space = Space();
            char comb = Peek();
            if (comb == '>' || comb == '+' || comb == '~') {
                ++m_i;
                Space();
            } else if (space && !AtEnd() && comb != ',') {
                comb = ' ';
            } else {
                return true;
            }
            DomSelector::Compound next;
            if (!CompoundSel(next)) return false;
            next.combinator = comb;
            out.push_back(next);
        }
    }

    bool CompoundSel(DomSelector::Compound& out) {
        bool universal = Eat('*');
        if (!universal && NameChar(Peek())) {
            DomSelector::Simple s;
            s.name = Lower(Name());
            out.parts.push_back(s);
        }
        for (;;) {
            char c = Peek();
            DomSelector::Simple s;
            if (c == '#') {
                ++m_i;
                s.kind = DomSelector::Simple::Id;
                s.name = Name();
                if (s.name.empty()) return false;
            } else if (c == '.') {
                ++m_i;
                s.kind = DomSelector::Simple::Class;
                s.name = Name();
                if (s.name.empty()) return false;
            } else if (c == '[') {
                ++m_i;
                if (!AttrSel(s)) return false;
            } else if (c == ':') {
                ++m_i;
                if (!Pseudo(s)) return false;
            } else {
                break;
            }
            out.parts.push_back(s);
        }
        // "*" alone is a compound with no parts; nothing at all is an error.
        return universal || !out.parts.empty();
    }

    bool AttrSel(DomSelector::Simple& s) {
        s.kind = DomSelector::Simple::Attr;
        Space();
        s.name = Lower(Name());
        if (s.name.empty()) return false;
        Space();
        if (Eat(']')) return true;
        char op = Peek();
        if (op == '=') {
            ++m_i;
        } else if (op == '^' || op == '$' || op == '*' || op == '~' || op == '|') {
            ++m_i;
            if (!Eat('=')) return false;
        } else {
            return false;
        }
        s.op = op;
        Space();
        char q = Peek();
        if (q == '"' || q == '\'') {
            ++m_i;
            while (!AtEnd() && m_s[m_i] != q) {
                if (m_s[m_i] == '\\' && m_i + 1 < m_s.size()) ++m_i;
                s.value += m_s[m_i++];
            }
            if (!Eat(q)) return false;
        } else {
            s.value = Name();
            if (s.value.empty()) return false;
        }
        Space();
        return Eat(']');
    }

    bool Pseudo(DomSelector::Simple& s) {
        std::string name = Lower(Name());
        if (name == "first-child") s.kind = DomSelector::Simple::FirstChild;
        else if (name == "last-child") s.kind = DomSelector::Simple::LastChild;
        else if (name == "only-child") s.kind = DomSelector::Simple::OnlyChild;
        else if (name == "nth-child") {
            s.kind = DomSelector::Simple::NthChild;
            if (!Eat('(')) return false;
            size_t close = m_s.find(')', m_i);
            if (close == std::string::npos || !Nth(Lower(m_s.substr(m_i, close - m_i)), s.a, s.b)) return false;
            m_i = close + 1;
        } else if (name == "not") {
            s.kind = DomSelector::Simple::Not;
            if (!Eat('(')) return false;
            Space();
            DomSelector::Compound inner;
            if (!CompoundSel(inner)) return false;
            Space();
            if (!Eat(')')) return false;
            s.inner = inner.parts;
        } else {
            return false;
        }
        return true;
    }

    // an+b, odd, even, with spaces allowed around the sign.
    static bool Nth(std::string t, int& a, int& b) {
        std::string s;
        for (char c : t)
            if (!isspace((unsigned char)c)) s += c;
        if (s == "odd") return a = 2, b = 1, true;
        if (s == "even") return a = 2, b = 0, true;
        size_t n = s.find('n');
        char* end = nullptr;
        if (n == std::string::npos) {
            if (s.empty()) return false;
            a = 0;
            b = (int)strtol(s.c_str(), &end, 10);
            return *end == 0;
        }
        std::string as = s.substr(0, n), bs = s.substr(n + 1);
        if (as.empty() || as == "+") a = 1;
        else if (as == "-") a = -1;
        else {
            a = (int)strtol(as.c_str(), &end, 10);
            if (*end) return false;
        }
        if (bs.empty()) b = 0;
        else {
            if (bs[0] != '+' && bs[0] != '-') return false;
            b = (int)strtol(bs.c_str(), &end, 10);
            if (*end) return false;
        }
        return true;
    }

    const std::string& m_s;
    size_t m_i = 0;
};

bool AttrMatches(dom_node* e, const DomSelector::Simple& s) {
    std::string v;
    if (!dom::GetAttr(e, s.name, &v)) return false;
    const std::string& w = s.value;
    switch (s.op) {
    case 0: return true;
    case '=': return v == w;
    case '^': return !w.empty() && v.compare(0, w.size(), w) == 0;
    case '$': return !w.empty() && v.size() >= w.size() && v.compare(v.size() - w.size(), w.size(), w) == 0;
    case '*': return !w.empty() && v.find(w) != std::string::npos;
    case '~':
        for (const std::string& c : dom::Classes(v))
            if (c == w) return true;
        return false;
    case '|': return v == w || (v.size() > w.size() && v.compare(0, w.size(), w) == 0 && v[w.size()] == '-');
    }
    return false;
}

int ElementIndex(dom_node* e) {
    int i = 1;
    for (NodeRef p = dom::PrevElement(e); p; p = dom::PrevElement(p.get())) ++i;
    return i;
}

bool SimpleMatches(dom_node* e, const DomSelector::Simple& s) {
    switch (s.kind) {
    case DomSelector::Simple::Tag: return dom::Tag(e) == s.name;
    case DomSelector::Simple::Id: return dom::Attr(e, "id") == s.name;
    case DomSelector::Simple::Class: return dom::HasClass(e, s.name);
    case DomSelector::Simple::Attr: return AttrMatches(e, s);
    case DomSelector::Simple::FirstChild: return !dom::PrevElement(e) && dom::ParentElement(e);
    case DomSelector::Simple::LastChild: return !dom::NextElement(e) && dom::ParentElement(e);
    case DomSelector::Simple::OnlyChild: return !dom::PrevElement(e) && !dom::NextElement(e) && dom::ParentElement(e);
    case DomSelector::Simple::NthChild: {
        if (!dom::ParentElement(e)) return false;
        int i = ElementIndex(e) - s.b;
        if (s.a == 0) return i == 0;
        return i / s.a >= 0 && i % s.a == 0;
    }
    case DomSelector::Simple::Not:
        for (const auto& in : s.inner)
            if (!SimpleMatches(e, in)) return true;
        return false;
    }
    return false;
}

bool CompoundMatches(dom_node* e, const DomSelector::Compound& c) {
    for (const auto& s : c.parts)
        if (!SimpleMatches(e, s)) return false;
    return true;
}

// Does the compound at index i (and everything left of it) match element e?
bool MatchesFrom(dom_node* e, const DomSelector::Complex& sel, int i) {
    if (!CompoundMatches(e, sel[i])) return false;
    if (i == 0) return true;
    switch (sel[i].combinator) {
    case '>': {
        NodeRef p = dom::ParentElement(e);
        return p && MatchesFrom(p.get(), sel, i - 1);
    }
    case '+': {
        NodeRef p = dom::PrevElement(e);
        return p && MatchesFrom(p.get(), sel, i - 1);
    }
    case '~':
        for (NodeRef p = dom::PrevElement(e); p; p = dom::PrevElement(p.get()))
            if (MatchesFrom(p.get(), sel, i - 1)) return true;
        return false;
    default:
        for (NodeRef p = dom::ParentElement(e); p; p = dom::ParentElement(p.get()))
            if (MatchesFrom(p.get(), sel, i - 1)) return true;
        return false;
    }
}

}  // namespace

bool DomSelector::Parse(const std::string& text) {
    m_list.clear();
    Parser p(text);
    std::vector<Complex> list;
    if (!p.List(list)) return false;
    m_list.swap(list);
    return true;
}

bool DomSelector::Matches(dom_node* e) const {
    if (!dom::IsElement(e)) return false;
    for (const Complex& c : m_list)
        if (!c.empty() && MatchesFrom(e, c, (int)c.size() - 1)) return true;
    return false;
}

}  // namespace webview
