#include "Forms.h"

#include <duktape/duktape.h>

#include <algorithm>
#include <cstring>
#include <cwchar>
#include <cwctype>

#include "FormControls.h"
#include "Script.h"
#include "ScriptEvents.h"
#include "Text.h"
#include "View.h"

namespace webview {

namespace {

std::vector<FormState*>& Registry() {
    static std::vector<FormState*> list;
    return list;
}

bool Has(dom_node* n, const char* attr) {
    std::string v;
    return dom::GetAttr(n, attr, &v);
}

bool Disabled(dom_node* n) {
    return Has(n, "disabled");
}

std::wstring AttrW(dom_node* n, const char* attr) {
    return Utf8ToWide(dom::Attr(n, attr));
}

ControlState* Get(WvView* v, dom_node* n) {
    auto& map = v->forms.controls;
    auto it = map.find(n);
    if (it != map.end()) return it->second.get();
    ControlKind k = KindOf(n);
    if (k == ControlKind::None) return nullptr;
    std::unique_ptr<ControlState> s(new ControlState);
    s->node = NodeRef::Share(n);
    s->kind = k;
    ControlState* p = s.get();
    map[n] = std::move(s);
    return p;
}

// What the value is before anyone edits it.
std::wstring DefaultValue(dom_node* n, ControlKind k) {
    if (k == ControlKind::Textarea) return Utf8ToWide(dom::TextContent(n));
    std::wstring v = AttrW(n, "value");
    if (IsTextKind(k) || k == ControlKind::Hidden) v.erase(std::remove_if(v.begin(), v.end(), [](wchar_t c) {
        return c == L'\r' || c == L'\n';
    }), v.end());
    if ((k == ControlKind::Checkbox || k == ControlKind::Radio) && !Has(n, "value")) return L"on";
    if (k == ControlKind::Range && v.empty()) return L"50";
    return v;
}

std::wstring TextOf(WvView*, dom_node* n) {
    const ControlState* s = FindControl(n);
    if (s && s->valueDirty) return s->value;
    return DefaultValue(n, KindOf(n));
}

// A text control's state with its value loaded, ready to edit. Until edited, the value is the
// attribute's (or the textarea's text) as it is now.
ControlState* Editable(WvView* v, dom_node* n) {
    ControlState* s = Get(v, n);
    if (!s) return nullptr;
    if (!s->valueDirty) s->value = DefaultValue(n, s->kind);
    s->caret = std::min(s->caret, s->value.size());
    s->anchor = std::min(s->anchor, s->value.size());
    return s;
}

// Result of the forms prelude's last fire() (the natives' result() records it).
int g_fireOutcome = 0;

int Fire(WvView* v, dom_node* n, const char* type, bool bubbles, bool cancelable) {
    if (!v || !v->script || !n) return 0;
    g_fireOutcome = 0;
    NodeRef keep = NodeRef::Share(n);
    v->script->Call("forms", "fire", [&](duk_context* ctx) {
        PushNode(ctx, n);
        duk_push_string(ctx, type);
        duk_push_boolean(ctx, bubbles);
        duk_push_boolean(ctx, cancelable);
        return 4;
    });
    return g_fireOutcome;
}

bool Focusable(dom_node* n) {
    if (!dom::IsElement(n)) return false;
    std::string tag = dom::Tag(n);
    ControlKind k = KindOf(n);
    if (k != ControlKind::None) return k != ControlKind::Hidden && !Disabled(n);
    if (tag == "a" && Has(n, "href")) return true;
    return Has(n, "tabindex");
}

NodeRef FormOf(WvView* v, dom_node* n) {
    std::string id;
    if (dom::GetAttr(n, "form", &id)) {
        dom_node* f = v->doc.ElementById(id);
        return f && dom::Tag(f) == "form" ? NodeRef::Share(f) : NodeRef();
    }
    for (NodeRef p = dom::ParentElement(n); p; p = dom::ParentElement(p.get()))
        if (dom::Tag(p.get()) == "form") return p;
    return NodeRef();
}

// The radios of n's group: same name, same form (or both outside any form).
std::vector<NodeRef> RadioGroup(WvView* v, dom_node* n) {
    std::vector<NodeRef> out;
    std::string name = dom::Attr(n, "name");
    if (name.empty()) {
        out.push_back(NodeRef::Share(n));
        return out;
    }
    NodeRef form = FormOf(v, n);
    dom_node* root = form ? form.get() : v->doc.Body();
    if (!root) return out;
    dom::Descendants(root, [&](dom_node* e) {
        return KindOf(e) == ControlKind::Radio && dom::Attr(e, "name") == name && FormOf(v, e).get() == form.get();
    }, out);
    return out;
}

void SetChecked(WvView* v, dom_node* n, bool on) {
    ControlState* s = Get(v, n);
    if (!s) return;
    // Boxes whose state changed are styled again (:checked).
    auto set = [v](ControlState* c, bool value) {
        bool was = IsChecked(c, c->node.get());
        c->checked = value;
        c->checkedDirty = true;
        if (was != value) NodeChanged(v, c->node.get(), ChangeKind::Attribute);
    };
    set(s, on);
    if (on && s->kind == ControlKind::Radio)
        for (NodeRef& r : RadioGroup(v, n))
            if (r.get() != n)
                if (ControlState* o = Get(v, r.get())) set(o, false);
    v->dirty = true;
}

void ClosePopup(WvView* v) {
    if (!v->forms.popup) return;
    v->forms.popup = NodeRef();
    v->forms.popupHover = -1;
    v->dirty = true;
}

// The change event of a text control whose value moved since it was focused.
void CommitText(WvView* v, dom_node* n) {
    ControlState* s = Get(v, n);
    if (!s || !IsTextKind(s->kind) || !s->valueDirty || s->value == s->valueAtFocus) return;
    s->valueAtFocus = s->value;
    Fire(v, n, "change", true, false);
}

void MoveFocus(WvView* v, dom_node* n) {
    FormState& f = v->forms;
    if (f.focus.get() == n) return;
    NodeRef old = f.focus;
    f.focus = n ? NodeRef::Share(n) : NodeRef();
    ClosePopup(v);
    if (v->render.SetFocus(n)) MarkLayout(v);
    v->dirty = true;
    if (ControlState* s = n ? Get(v, n) : nullptr) {
        if (IsTextKind(s->kind)) {
            std::wstring value = TextOf(v, n);
            s->valueAtFocus = value;
            s->caret = s->anchor = value.size();
        }
    }
    if (old) {
        CommitText(v, old.get());
        if (ViewAlive(v)) Fire(v, old.get(), "blur", false, false);
    }
    if (n && ViewAlive(v) && f.focus.get() == n) Fire(v, n, "focus", false, false);
}

void ChooseOption(WvView* v, dom_node* select, int index) {
    ControlState* s = Get(v, select);
    if (!s) return;
    std::vector<NodeRef> opts = OptionsOf(select);
    if (index < 0 || index >= (int)opts.size()) return;
    int before = SelectedIndex(s, select);
    Choose(s, opts, index);
    // A restyle or repaint shows the new label; its width does not change.
    v->dirty = true;
    if (before != index) {
        Fire(v, select, "input", true, false);
        if (ViewAlive(v)) Fire(v, select, "change", true, false);
    }
}

// Scrolls the open list so that its highlighted row shows.
void ShowHover(FormState& f, int count) {
    int maxFirst = std::max(0, count - f.popupVisible);
    if (f.popupHover >= 0 && f.popupHover < f.popupFirst) f.popupFirst = f.popupHover;
    if (f.popupHover >= f.popupFirst + f.popupVisible) f.popupFirst = f.popupHover - f.popupVisible + 1;
    f.popupFirst = std::max(0, std::min(maxFirst, f.popupFirst));
}

// At most this many rows show at once; a longer list scrolls.
const int kPopupRows = 20;

void OpenPopup(WvView* v, dom_node* select) {
    std::vector<NodeRef> opts = OptionsOf(select);
    RECT box{};
    if (opts.empty() || !NodeBox(v, select, &box)) return;
    FormState& f = v->forms;
    int row = std::max(16, (int)(box.bottom - box.top) - 2);
    row = std::min(row, 24);
    int count = (int)opts.size();
    // Below the select when the list fits there, else on the side with more room.
    int below = v->height - (box.bottom - v->scrollY) - 2, above = box.top - v->scrollY - 2;
    int want = std::min(count, kPopupRows);
    bool down = want * row <= below || below >= above;
    int rows = std::max(1, std::min(want, (down ? below : above) / row));
    int h = row * rows + 2;
    int top = down ? box.bottom - v->scrollY : box.top - v->scrollY - h;
    f.popup = NodeRef::Share(select);
    f.popupRow = row;
    f.popupVisible = rows;
    f.popupFirst = 0;
    f.popupRect = RECT{box.left, top, box.right, top + h};
    f.popupHover = SelectedIndex(Get(v, select), select);
    ShowHover(f, count);
    v->dirty = true;
}

void SubmitForm(WvView* v, dom_node* form, dom_node* submitter, bool fireEvent);

// What a click on n does to controls, run as the user's click would (listeners, then defaults).
void SyntheticClick(WvView* v, dom_node* n) {
    FormClick c = BeginFormClick(v, n);
    int r = DispatchMouse(v, n, "click", 0, 0, 0, 0, 1);
    if (ViewAlive(v)) EndFormClick(v, c, (r & EventDefaultPrevented) != 0);
}

// The form's controls in document order: those inside it and those elsewhere that name it (form=).
std::vector<NodeRef> ControlsOf(WvView* v, dom_node* form) {
    std::vector<NodeRef> list;
    dom_node* root = v->doc.Root();
    std::string id = dom::Attr(form, "id");
    if (id.empty() || !root) {
        dom::Descendants(form, [](dom_node* e) { return KindOf(e) != ControlKind::None; }, list);
        return list;
    }
    dom::Descendants(root, [&](dom_node* e) {
        return KindOf(e) != ControlKind::None && FormOf(v, e).get() == form;
    }, list);
    return list;
}

void ResetForm(WvView* v, dom_node* form) {
    if (Fire(v, form, "reset", true, true) & EventDefaultPrevented) return;
    for (NodeRef& n : ControlsOf(v, form)) v->forms.controls.erase(n.get());
    v->dirty = true;
    MarkLayout(v);
}

// The label's control: for= names it, else the first one inside.
NodeRef LabelTarget(WvView* v, dom_node* label) {
    std::string id;
    if (dom::GetAttr(label, "for", &id)) {
        dom_node* n = v->doc.ElementById(id);
        return n && KindOf(n) != ControlKind::None ? NodeRef::Share(n) : NodeRef();
    }
    std::vector<NodeRef> list;
    dom::Descendants(label, [](dom_node* e) { return KindOf(e) != ControlKind::None; }, list, 1);
    return list.empty() ? NodeRef() : list[0];
}

// Every focusable element with a box, in document order.
std::vector<NodeRef> TabOrder(WvView* v) {
    std::vector<NodeRef> list, out;
    dom_node* root = v->doc.Body();
    if (!root) return out;
    dom::Descendants(root, [](dom_node* e) { return Focusable(e); }, list);
    for (NodeRef& n : list) {
        Box* b = v->render.BoxOf(n.get());
        if (b && b->style.display != Display::None && !b->style.hidden && dom::Attr(n.get(), "tabindex") != "-1")
            out.push_back(n);
    }
    return out;
}

bool Shift() {
    return GetKeyState(VK_SHIFT) < 0;
}
bool Ctrl() {
    return GetKeyState(VK_CONTROL) < 0;
}

bool IsLow(wchar_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

// Caret moves step over whole surrogate pairs.
size_t Left(const std::wstring& t, size_t i) {
    if (!i) return 0;
    --i;
    if (i && IsLow(t[i])) --i;
    return i;
}
size_t Right(const std::wstring& t, size_t i) {
    if (i >= t.size()) return t.size();
    ++i;
    if (i < t.size() && IsLow(t[i])) ++i;
    return i;
}

void Insert(WvView* v, ControlState* s, const std::wstring& text) {
    size_t a = std::min(s->anchor, s->caret), b = std::max(s->anchor, s->caret);
    std::wstring add = text;
    std::string max;
    if (s->kind != ControlKind::Textarea) {
        add.erase(std::remove_if(add.begin(), add.end(), [](wchar_t c) { return c == L'\r' || c == L'\n'; }), add.end());
    }
    if (dom::GetAttr(s->node.get(), "maxlength", &max)) {
        long limit = strtol(max.c_str(), nullptr, 10);
        if (limit >= 0) {
            size_t room = (size_t)limit > s->value.size() - (b - a) ? (size_t)limit - (s->value.size() - (b - a)) : 0;
            if (add.size() > room) add.resize(room);
        }
    }
    if (add.empty() && a == b) return;
    s->value.replace(a, b - a, add);
    s->valueDirty = true;
    s->caret = s->anchor = a + add.size();
    v->dirty = true;
    Fire(v, s->node.get(), "input", true, false);
}

void CopyText(WvView* v, const std::wstring& text) {
    if (!OpenClipboard(v->host)) return;
    EmptyClipboard();
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    if (mem) {
        if (void* p = GlobalLock(mem)) {
            memcpy(p, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
            GlobalUnlock(mem);
            if (!SetClipboardData(CF_UNICODETEXT, mem)) GlobalFree(mem);
        } else {
            GlobalFree(mem);
        }
    }
    CloseClipboard();
}

std::wstring PastedText(WvView* v) {
    std::wstring out;
    if (!OpenClipboard(v->host)) return out;
    if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
        if (const wchar_t* p = static_cast<const wchar_t*>(GlobalLock(h))) {
            out = p;
            GlobalUnlock(h);
        }
    }
    CloseClipboard();
    // Line breaks as the textarea keeps them (a field drops them on insertion).
    out.erase(std::remove(out.begin(), out.end(), L'\r'), out.end());
    return out;
}

bool ReadOnly(dom_node* n) {
    return Has(n, "readonly") || Disabled(n);
}

// Words: runs of letters and digits; each CJK character is a word of its own.
bool WordChar(wchar_t c) {
    return iswalnum(c) || c == L'_' || c >= 0x80;
}
bool Ideograph(wchar_t c) {
    return c >= 0x2E80 && c < 0xD800;
}
size_t WordStart(const std::wstring& t, size_t i) {
    if (i < t.size() && Ideograph(t[i])) return i;
    while (i > 0 && WordChar(t[i - 1]) && !Ideograph(t[i - 1])) --i;
    return i;
}
size_t WordEnd(const std::wstring& t, size_t i) {
    if (i < t.size() && Ideograph(t[i])) return i + 1;
    while (i < t.size() && WordChar(t[i]) && !Ideograph(t[i])) ++i;
    return i;
}

// Start and end of the line (between newlines) holding i.
size_t LineStart(const std::wstring& t, size_t i) {
    while (i > 0 && t[i - 1] != L'\n') --i;
    return i;
}
size_t LineEnd(const std::wstring& t, size_t i) {
    while (i < t.size() && t[i] != L'\n') ++i;
    return i;
}

bool EditKey(WvView* v, ControlState* s, unsigned vk) {
    std::wstring& t = s->value;
    bool shift = Shift(), multi = s->kind == ControlKind::Textarea;
    size_t a = std::min(s->anchor, s->caret), b = std::max(s->anchor, s->caret);
    auto move = [&](size_t to) {
        s->caret = to;
        if (!shift) s->anchor = to;
        v->dirty = true;
    };
    switch (vk) {
    case VK_LEFT:
        if (Ctrl()) {
            // To the start of this word or the one before.
            size_t i = s->caret;
            while (i > 0 && !WordChar(t[i - 1])) --i;
            move(i > 0 && Ideograph(t[i - 1]) ? i - 1 : WordStart(t, i));
        } else {
            move(!shift && a != b ? a : Left(t, s->caret));
        }
        return true;
    case VK_RIGHT:
        if (Ctrl()) {
            size_t i = WordEnd(t, s->caret);
            while (i < t.size() && !WordChar(t[i])) ++i;
            move(i);
        } else {
            move(!shift && a != b ? b : Right(t, s->caret));
        }
        return true;
    case VK_HOME: move(multi && !Ctrl() ? LineStart(t, s->caret) : 0); return true;
    case VK_END: move(multi && !Ctrl() ? LineEnd(t, s->caret) : t.size()); return true;
    case VK_UP:
    case VK_DOWN: {
        if (!multi) return true;  // a field keeps them: the page does not scroll
        Box* box = v->render.BoxOf(s->node.get());
        RECT rc{};
        if (box && NodeBox(v, s->node.get(), &rc)) {
            move(TextareaLineMove(v->memDc, rc, box, s->caret, vk == VK_UP ? -1 : 1));
            return true;
        }
        size_t start = LineStart(t, s->caret), col = s->caret - start;
        if (vk == VK_UP) {
            if (!start) move(0);
            else {
                size_t prev = LineStart(t, start - 1);
                move(std::min(prev + col, start - 1));
            }
        } else {
            size_t end = LineEnd(t, s->caret);
            if (end >= t.size()) move(t.size());
            else move(std::min(end + 1 + col, LineEnd(t, end + 1)));
        }
        return true;
    }
    case VK_BACK:
    case VK_DELETE:
        if (ReadOnly(s->node.get())) return true;
        if (a == b) {
            if (vk == VK_BACK) a = Left(t, a);
            else b = Right(t, b);
        }
        if (a == b) return true;
        s->anchor = a;
        s->caret = b;
        Insert(v, s, L"");
        return true;
    case 'A':
        if (!Ctrl()) return false;
        s->anchor = 0;
        s->caret = t.size();
        v->dirty = true;
        return true;
    case 'C':
    case 'X':
        if (!Ctrl()) return false;
        // A password's text stays in its field.
        if (a != b && s->kind != ControlKind::Password) {
            CopyText(v, t.substr(a, b - a));
            if (vk == 'X' && !ReadOnly(s->node.get())) Insert(v, s, L"");
        }
        return true;
    case 'V':
        if (!Ctrl()) return false;
        if (!ReadOnly(s->node.get())) Insert(v, s, PastedText(v));
        return true;
    case VK_RETURN:
        if (multi) return true;  // the character inserts the line break
        {
            NodeRef form = FormOf(v, s->node.get());
            if (!form) return true;
            CommitText(v, s->node.get());
            if (!ViewAlive(v)) return true;
            // The form's first submit button is clicked, as if by the user.
            std::vector<NodeRef> buttons;
            dom::Descendants(form.get(), [](dom_node* e) { return KindOf(e) == ControlKind::Submit; }, buttons, 1);
            if (!buttons.empty()) {
                if (!Disabled(buttons[0].get())) SyntheticClick(v, buttons[0].get());
                return true;
            }
            // Without a button, only a form of one field submits on Enter.
            std::vector<NodeRef> fields;
            dom::Descendants(form.get(), [](dom_node* e) {
                ControlKind k = KindOf(e);
                return k == ControlKind::Text || k == ControlKind::Password;
            }, fields, 2);
            if (fields.size() == 1) SubmitForm(v, form.get(), nullptr, true);
        }
        return true;
    default:
        return false;
    }
}

// Bytes of a name or value in the page's code page, percent-encoded with spaces as '+'.
// Characters the code page lacks are sent as numeric character references.
void Encode(const std::wstring& text, unsigned cp, std::string& out) {
    std::string bytes;
    if (cp == CP_UTF8) {
        bytes = WideToUtf8(text);
    } else {
        for (size_t i = 0; i < text.size(); ++i) {
            size_t n = (i + 1 < text.size() && text[i] >= 0xD800 && text[i] <= 0xDBFF && IsLow(text[i + 1])) ? 2 : 1;
            char buf[16];
            BOOL lost = FALSE;
            int k = WideCharToMultiByte(cp, 0, text.data() + i, (int)n, buf, sizeof buf, nullptr, &lost);
            if (k <= 0 || lost) {
                unsigned code = n == 2 ? 0x10000 + (((unsigned)text[i] - 0xD800) << 10) + ((unsigned)text[i + 1] - 0xDC00)
                                       : (unsigned)text[i];
                bytes += "&#" + std::to_string(code) + ";";
            } else {
                bytes.append(buf, k);
            }
            i += n - 1;
        }
    }
    static const char hex[] = "0123456789ABCDEF";
    for (unsigned char c : bytes) {
        if (isalnum(c) || c == '*' || c == '-' || c == '.' || c == '_') out += (char)c;
        else if (c == ' ') out += '+';
        else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
}

void SubmitForm(WvView* v, dom_node* form, dom_node* submitter, bool fireEvent) {
    NodeRef keep = NodeRef::Share(form);
    if (fireEvent) {
        int r = Fire(v, form, "submit", true, true);
        if ((r & EventDefaultPrevented) || !ViewAlive(v)) return;
    }
    std::vector<NodeRef> list = ControlsOf(v, form);
    std::vector<std::pair<std::wstring, std::wstring>> pairs;
    for (NodeRef& ref : list) {
        dom_node* n = ref.get();
        ControlKind k = KindOf(n);
        std::wstring name = AttrW(n, "name");
        if (name.empty() || Disabled(n)) continue;
        const ControlState* s = FindControl(n);
        switch (k) {
        case ControlKind::Checkbox:
        case ControlKind::Radio:
            if (IsChecked(s, n)) pairs.emplace_back(name, DefaultValue(n, k));
            break;
        case ControlKind::Submit:
            if (n == submitter) pairs.emplace_back(name, AttrW(n, "value"));
            break;
        case ControlKind::Button:
        case ControlKind::Reset:
            break;
        case ControlKind::File:
            pairs.emplace_back(name, L"");
            break;
        case ControlKind::Select: {
            std::vector<NodeRef> opts = OptionsOf(n);
            if (Has(n, "multiple")) {
                for (NodeRef& o : opts)
                    if (Has(o.get(), "selected") && !Disabled(o.get())) pairs.emplace_back(name, ControlValue(v, o.get()));
            } else {
                int i = SelectedIndex(s, n);
                if (i >= 0 && i < (int)opts.size()) pairs.emplace_back(name, ControlValue(v, opts[i].get()));
            }
            break;
        }
        case ControlKind::Textarea: {
            std::wstring t = TextOf(v, n), crlf;
            for (size_t i = 0; i < t.size(); ++i) {
                if (t[i] == L'\r') {
                    if (i + 1 < t.size() && t[i + 1] == L'\n') ++i;
                    crlf += L"\r\n";
                } else if (t[i] == L'\n') {
                    crlf += L"\r\n";
                } else {
                    crlf += t[i];
                }
            }
            pairs.emplace_back(name, crlf);
            break;
        }
        default:
            pairs.emplace_back(name, TextOf(v, n));
            break;
        }
    }
    std::string data;
    for (auto& p : pairs) {
        if (!data.empty()) data += '&';
        Encode(p.first, v->forms.codePage, data);
        data += '=';
        Encode(p.second, v->forms.codePage, data);
    }
    auto pick = [&](const char* own, const char* formAttr) {
        std::string value;
        if (submitter && dom::GetAttr(submitter, own, &value)) return value;
        return dom::Attr(form, formAttr);
    };
    std::string action = Trim(pick("formaction", "action"));
    std::string url = action.empty() ? v->doc.Url() : ResolveUrl(v->doc.Url(), action);
    bool post = ToLower(Trim(pick("formmethod", "method"))) == "post";
    bool blank = ToLower(Trim(pick("formtarget", "target"))) == "_blank";
    if (post) {
        Navigate(v, url, WKE_NAVIGATION_FORM_SUBMIT, blank, &data);
        return;
    }
    size_t cut = url.find_first_of("?#");
    if (cut != std::string::npos) url.erase(cut);
    Navigate(v, url + "?" + data, WKE_NAVIGATION_FORM_SUBMIT, blank);
}

// Index of a node among a list.
int IndexIn(const std::vector<NodeRef>& list, dom_node* n) {
    for (size_t i = 0; i < list.size(); ++i)
        if (list[i].get() == n) return (int)i;
    return -1;
}

}  // namespace

// --- State. ------------------------------------------------------------------------------------

FormState::FormState() {
    Registry().push_back(this);
}

FormState::~FormState() {
    auto& r = Registry();
    r.erase(std::remove(r.begin(), r.end(), this), r.end());
}

void FormState::Clear() {
    controls.clear();
    focus = NodeRef();
    popup = NodeRef();
    popupHover = -1;
}

ControlKind KindOf(dom_node* n) {
    if (!n || !dom::IsElement(n)) return ControlKind::None;
    std::string tag = dom::Tag(n);
    if (tag == "select") return ControlKind::Select;
    if (tag == "textarea") return ControlKind::Textarea;
    std::string type = ToLower(Trim(dom::Attr(n, "type")));
    if (tag == "button") return type == "reset" ? ControlKind::Reset : type == "button" ? ControlKind::Button
                                                                                         : ControlKind::Submit;
    if (tag != "input") return ControlKind::None;
    if (type == "password") return ControlKind::Password;
    if (type == "checkbox") return ControlKind::Checkbox;
    if (type == "radio") return ControlKind::Radio;
    if (type == "button") return ControlKind::Button;
    if (type == "submit" || type == "image") return ControlKind::Submit;
    if (type == "reset") return ControlKind::Reset;
    if (type == "hidden") return ControlKind::Hidden;
    if (type == "file") return ControlKind::File;
    if (type == "range") return ControlKind::Range;
    return ControlKind::Text;
}

bool IsTextKind(ControlKind k) {
    return k == ControlKind::Text || k == ControlKind::Password || k == ControlKind::Textarea;
}

const ControlState* FindControl(dom_node* n) {
    for (FormState* f : Registry()) {
        auto it = f->controls.find(n);
        if (it != f->controls.end()) return it->second.get();
    }
    return nullptr;
}

bool IsFocusedControl(dom_node* n) {
    for (FormState* f : Registry())
        if (f->focus.get() == n) return true;
    return false;
}

std::vector<NodeRef> OptionsOf(dom_node* select) {
    std::vector<NodeRef> out;
    dom::Descendants(select, [](dom_node* e) { return dom::Tag(e) == "option"; }, out);
    return out;
}

std::wstring OptionLabel(dom_node* option) {
    std::string label;
    if (dom::GetAttr(option, "label", &label) && !label.empty()) return Utf8ToWide(label);
    std::wstring t = Utf8ToWide(dom::TextContent(option)), out;
    bool space = false;
    for (wchar_t c : t) {
        if (iswspace(c)) {
            space = !out.empty();
            continue;
        }
        if (space) out += L' ';
        space = false;
        out += c;
    }
    return out;
}

void Choose(ControlState* s, const std::vector<NodeRef>& options, int i) {
    bool in = i >= 0 && i < (int)options.size();
    s->chosen = in ? options[i] : NodeRef();
    s->chosenNone = !in;
}

int SelectedIndex(const ControlState* s, dom_node* select) {
    std::vector<NodeRef> opts = OptionsOf(select);
    if (s && s->chosenNone) return -1;
    if (s && s->chosen) {
        int i = IndexIn(opts, s->chosen.get());
        if (i >= 0) return i;
    }
    int found = -1;
    for (size_t i = 0; i < opts.size(); ++i)
        if (Has(opts[i].get(), "selected")) found = (int)i;
    if (found >= 0) return found;
    std::string size = dom::Attr(select, "size");
    bool list = Has(select, "multiple") || strtol(size.c_str(), nullptr, 10) > 1;
    return opts.empty() || list ? -1 : 0;
}

bool IsChecked(const ControlState* s, dom_node* n) {
    return s && s->checkedDirty ? s->checked : Has(n, "checked");
}

std::wstring ControlValue(WvView* v, dom_node* n) {
    if (dom::Tag(n) == "option") {
        std::string value;
        return dom::GetAttr(n, "value", &value) ? Utf8ToWide(value) : OptionLabel(n);
    }
    ControlKind k = KindOf(n);
    if (k == ControlKind::Select) {
        std::vector<NodeRef> opts = OptionsOf(n);
        int i = SelectedIndex(FindControl(n), n);
        return i >= 0 && i < (int)opts.size() ? ControlValue(v, opts[i].get()) : std::wstring();
    }
    if (IsTextKind(k) || k == ControlKind::Hidden) return TextOf(v, n);
    return DefaultValue(n, k);
}

dom_node* FocusedNode(WvView* v) {
    return v ? v->forms.focus.get() : nullptr;
}

// --- View hooks. -------------------------------------------------------------------------------

void ResetForms(WvView* v) {
    v->forms.Clear();
}

void SetFormCharset(WvView* v, const std::string& body, const std::string& contentType) {
    std::string cs = PageCharset(body, contentType);
    unsigned cp = CP_UTF8;
    if (cs.find("gb") != std::string::npos || cs == "cp936") cp = 936;
    else if (cs.find("big5") != std::string::npos) cp = 950;
    else if (cs.empty() && !body.empty()) {
        // Undeclared: GBK when the bytes are not UTF-8, as the page itself was read.
        size_t n = std::min<size_t>(body.size(), 65536);
        while (n > 0 && n < body.size() && ((unsigned char)body[n] & 0xC0) == 0x80) --n;
        if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, body.data(), (int)n, nullptr, 0) == 0) cp = 936;
    }
    v->forms.codePage = cp;
}

// A press in a text control puts the caret there (Shift extends the selection); in a list box it
// chooses the row (toggles it when the list takes several).
void PressIn(WvView* v, dom_node* n, int x, int y) {
    Box* b = v->render.BoxOf(n);
    RECT rc{};
    if (!b || !NodeBox(v, n, &rc)) return;
    OffsetRect(&rc, 0, -v->scrollY);
    ControlKind k = KindOf(n);
    if (IsTextKind(k)) {
        ControlState* s = Editable(v, n);
        s->caret = std::min(TextIndexAt(v->memDc, rc, b, x, y), s->value.size());
        if (!Shift()) s->anchor = s->caret;
        if (v->forms.doubleClick && k != ControlKind::Password) {
            // A double click selects the word under it.
            s->anchor = WordStart(s->value, s->caret);
            s->caret = WordEnd(s->value, s->caret);
        }
        v->forms.dragging = !v->forms.doubleClick;
        v->dirty = true;
        return;
    }
    if (k != ControlKind::Select || ReadOnly(n)) return;
    int row = ListRowAt(v->memDc, rc, b, y);
    if (row < 0) return;
    if (!Has(n, "multiple")) {
        ChooseOption(v, n, row);
        return;
    }
    std::vector<NodeRef> opts = OptionsOf(n);
    dom_node* o = opts[row].get();
    if (Has(o, "selected")) dom::RemoveAttr(o, "selected");
    else dom::SetAttr(o, "selected", "");
    v->dirty = true;
    Fire(v, n, "input", true, false);
    if (ViewAlive(v)) Fire(v, n, "change", true, false);
}

void AutoFocus(WvView* v) {
    dom_node* body = v->doc.Body();
    if (!body || v->forms.focus) return;
    std::vector<NodeRef> list;
    dom::Descendants(body, [](dom_node* e) { return Has(e, "autofocus") && Focusable(e); }, list, 1);
    if (list.empty()) return;
    CallbackScope scope;
    MoveFocus(v, list[0].get());
}

void FocusAt(WvView* v, dom_node* hit, int x, int y) {
    dom_node* target = nullptr;
    for (NodeRef n = hit ? NodeRef::Share(hit) : NodeRef(); n; n = dom::ParentElement(n.get())) {
        ControlKind k = KindOf(n.get());
        if (k != ControlKind::None && Disabled(n.get())) return;  // a disabled control takes no focus
        if (Focusable(n.get())) {
            target = n.get();
            break;
        }
    }
    if (target) {
        NodeRef keep = NodeRef::Share(target);
        MoveFocus(v, target);
        if (ViewAlive(v) && v->forms.focus.get() == target) PressIn(v, target, x, y);
        return;
    }
    MoveFocus(v, nullptr);
    // Anything else clicked still matches :focus until the next click, as before.
    if (ViewAlive(v) && v->render.SetFocus(hit)) MarkLayout(v);
}

FormClick BeginFormClick(WvView* v, dom_node* node) {
    FormClick c;
    for (NodeRef n = node ? NodeRef::Share(node) : NodeRef(); n; n = dom::ParentElement(n.get())) {
        if (KindOf(n.get()) != ControlKind::None || dom::Tag(n.get()) == "label") {
            c.control = n;
            break;
        }
    }
    dom_node* n = c.control.get();
    if (!n || Disabled(n)) return c;
    ControlKind k = KindOf(n);
    if (k == ControlKind::Checkbox) {
        c.wasChecked = IsChecked(FindControl(n), n);
        SetChecked(v, n, !c.wasChecked);
    } else if (k == ControlKind::Radio) {
        c.wasChecked = IsChecked(FindControl(n), n);
        for (NodeRef& r : RadioGroup(v, n))
            if (IsChecked(FindControl(r.get()), r.get())) c.radioWas = r;
        SetChecked(v, n, true);
    }
    return c;
}

bool EndFormClick(WvView* v, FormClick& c, bool prevented) {
    dom_node* n = c.control.get();
    if (!n) return false;
    if (Disabled(n)) return true;
    ControlKind k = KindOf(n);
    if (k == ControlKind::Checkbox || k == ControlKind::Radio) {
        if (prevented) {
            if (k == ControlKind::Checkbox) SetChecked(v, n, c.wasChecked);
            else if (c.radioWas) SetChecked(v, c.radioWas.get(), true);
            else SetChecked(v, n, false);
            return true;
        }
        if (k == ControlKind::Checkbox || !c.wasChecked) {
            Fire(v, n, "input", true, false);
            if (ViewAlive(v)) Fire(v, n, "change", true, false);
        }
        return true;
    }
    if (prevented) return true;
    switch (k) {
    case ControlKind::Submit: {
        NodeRef form = FormOf(v, n);
        if (form) SubmitForm(v, form.get(), n, true);
        return true;
    }
    case ControlKind::Reset: {
        NodeRef form = FormOf(v, n);
        if (form) ResetForm(v, form.get());
        return true;
    }
    case ControlKind::Select: {
        std::string size = dom::Attr(n, "size");
        if (Has(n, "multiple") || strtol(size.c_str(), nullptr, 10) > 1) return true;
        if (v->forms.popup.get() == n) ClosePopup(v);
        else OpenPopup(v, n);
        return true;
    }
    case ControlKind::None: {
        // A label: its control gets the focus and the click.
        NodeRef target = LabelTarget(v, n);
        if (!target || Disabled(target.get())) return false;
        if (Focusable(target.get())) {
                    MoveFocus(v, target.get());
        }
        if (ViewAlive(v)) SyntheticClick(v, target.get());
        return true;
    }
    default:
        return k != ControlKind::Text;
    }
}

bool FormKeyDown(WvView* v, unsigned vk) {
    FormState& f = v->forms;
    if (f.popup) {
        dom_node* sel = f.popup.get();
        int count = (int)OptionsOf(sel).size();
        switch (vk) {
        case VK_UP:
        case VK_DOWN:
        case VK_PRIOR:
        case VK_NEXT:
        case VK_HOME:
        case VK_END: {
            int page = std::max(1, f.popupVisible - 1);
            int to = vk == VK_UP ? f.popupHover - 1 : vk == VK_DOWN ? f.popupHover + 1 : vk == VK_PRIOR ? f.popupHover - page
                     : vk == VK_NEXT ? f.popupHover + page : vk == VK_HOME ? 0 : count - 1;
            f.popupHover = std::max(0, std::min(count - 1, to));
            ShowHover(f, count);
            v->dirty = true;
            return true;
        }
        case VK_RETURN: {
            NodeRef keep = f.popup;
            int pick = f.popupHover;
            ClosePopup(v);
            ChooseOption(v, keep.get(), pick);
            return true;
        }
        case VK_ESCAPE: ClosePopup(v); return true;
        case VK_TAB: ClosePopup(v); break;
        default: return true;
        }
    }
    if (vk == VK_TAB) {
        std::vector<NodeRef> order = TabOrder(v);
        if (order.empty()) return false;
        int at = IndexIn(order, f.focus.get()), n = (int)order.size();
        int next = Shift() ? (at < 0 ? n - 1 : (at + n - 1) % n) : (at < 0 ? 0 : (at + 1) % n);
        dom_node* to = order[next].get();
        MoveFocus(v, to);
        // A text field reached by Tab has its whole text selected.
        if (ControlState* s = ViewAlive(v) && f.focus.get() == to ? Get(v, to) : nullptr)
            if (IsTextKind(s->kind)) {
                Editable(v, to);
                s->anchor = 0;
                s->caret = s->value.size();
            }
        return true;
    }
    dom_node* n = f.focus.get();
    ControlState* s = n ? Get(v, n) : nullptr;
    if (!s) return false;
    switch (s->kind) {
    case ControlKind::Text:
    case ControlKind::Password:
    case ControlKind::Textarea:
        return EditKey(v, Editable(v, n), vk);
    case ControlKind::Checkbox:
        if (vk != VK_SPACE) return false;
        SyntheticClick(v, n);
        return true;
    case ControlKind::Radio: {
        if (vk == VK_SPACE) {
            SyntheticClick(v, n);
            return true;
        }
        // Arrows move to the group's previous or next radio and check it.
        int step = vk == VK_UP || vk == VK_LEFT ? -1 : vk == VK_DOWN || vk == VK_RIGHT ? 1 : 0;
        if (!step) return false;
        std::vector<NodeRef> group = RadioGroup(v, n);
        int at = IndexIn(group, n), count = (int)group.size();
        if (at < 0 || count < 2) return true;
        for (int k = 1; k < count; ++k) {
            dom_node* to = group[(at + step * k + count * k) % count].get();
            if (Disabled(to)) continue;
            MoveFocus(v, to);
            if (ViewAlive(v) && f.focus.get() == to) SyntheticClick(v, to);
            break;
        }
        return true;
    }
    case ControlKind::Submit:
    case ControlKind::Reset:
    case ControlKind::Button:
    case ControlKind::File:
        if (vk != VK_SPACE && vk != VK_RETURN) return false;
        SyntheticClick(v, n);
        return true;
    case ControlKind::Select: {
        int i = SelectedIndex(s, n), count = (int)OptionsOf(n).size();
        if (vk == VK_UP || vk == VK_LEFT) ChooseOption(v, n, std::max(0, i - 1));
        else if (vk == VK_DOWN || vk == VK_RIGHT) ChooseOption(v, n, std::min(count - 1, i + 1));
        else if (vk == VK_SPACE || vk == VK_F4) OpenPopup(v, n);
        else return false;
        return true;
    }
    default:
        return false;
    }
}

bool FormChar(WvView* v, unsigned ch) {
    FormState& f = v->forms;
    if (f.popup) return true;
    dom_node* n = f.focus.get();
    ControlState* s = n ? Get(v, n) : nullptr;
    if (!s) return false;
    if (!IsTextKind(s->kind)) return s->kind != ControlKind::None && (ch == L' ' || ch == L'\r');
    if (ch == L'\r') {
        if (s->kind != ControlKind::Textarea) return true;
        ch = L'\n';
    } else if (ch < 0x20 || ch == 0x7F) {
        return true;  // Backspace, Tab, Ctrl+letters: their keys did the work
    }
    if (ReadOnly(n)) return true;
    // A number field takes what a number is written with.
    if (ToLower(Trim(dom::Attr(n, "type"))) == "number" && !wcschr(L"0123456789.-+eE", (wchar_t)ch)) return true;
    Insert(v, Editable(v, n), std::wstring(1, (wchar_t)ch));
    return true;
}

bool FormMouse(WvView* v, unsigned message, int x, int y, unsigned flags) {
    FormState& f = v->forms;
    f.doubleClick = message == WM_LBUTTONDBLCLK;
    if (f.dragging && message == WM_MOUSEMOVE && (flags & MK_LBUTTON)) {
        ControlState* s = f.focus ? Get(v, f.focus.get()) : nullptr;
        RECT rc{};
        Box* b = s ? v->render.BoxOf(f.focus.get()) : nullptr;
        if (!b || !IsTextKind(s->kind) || !NodeBox(v, f.focus.get(), &rc)) return false;
        OffsetRect(&rc, 0, -v->scrollY);
        Editable(v, f.focus.get());
        s->caret = std::min(TextIndexAt(v->memDc, rc, b, x, y), s->value.size());
        v->dirty = true;
        return true;
    }
    if (message == WM_LBUTTONUP || message == WM_MOUSEMOVE) f.dragging = false;
    if (!f.popup) return false;
    POINT pt{x, y};
    bool inside = PtInRect(&f.popupRect, pt) != 0;
    int row = inside && f.popupRow > 0 ? f.popupFirst + (y - f.popupRect.top - 1) / f.popupRow : -1;
    int count = (int)OptionsOf(f.popup.get()).size();
    if (row >= count) row = count - 1;
    switch (message) {
    case WM_MOUSEMOVE:
        if (!inside) return false;
        if (row != f.popupHover) {
            f.popupHover = row;
            v->dirty = true;
        }
        return true;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (!inside) {
            // A press on the select itself closes the list; its click would open it again.
            RECT box{};
            dom_node* sel = f.popup.get();
            bool onSelect = NodeBox(v, sel, &box) && x >= box.left && x < box.right && y + v->scrollY >= box.top &&
                            y + v->scrollY < box.bottom;
            ClosePopup(v);
            return onSelect;
        }
        return true;
    case WM_LBUTTONUP:
        if (!inside) return false;
        {
            NodeRef keep = f.popup;
            ClosePopup(v);
            if (row >= 0) ChooseOption(v, keep.get(), row);
        }
        return true;
    default:
        return inside;
    }
}

void PaintFormPopup(WvView* v, HDC dc) {
    FormState& f = v->forms;
    if (!f.popup) return;
    Box* b = v->render.BoxOf(f.popup.get());
    if (!b) return;
    std::vector<NodeRef> opts = OptionsOf(f.popup.get());
    std::vector<std::wstring> labels;
    for (int i = f.popupFirst; i < (int)opts.size() && i < f.popupFirst + f.popupVisible; ++i)
        labels.push_back(OptionLabel(opts[i].get()));
    PaintOptionList(dc, f.popupRect, b, labels, f.popupHover - f.popupFirst, f.popupRow);
}

bool FormWheel(WvView* v, int x, int y, int delta) {
    FormState& f = v->forms;
    if (!f.popup) return false;
    POINT pt{x, y};
    if (!PtInRect(&f.popupRect, pt)) {
        ClosePopup(v);
        return false;
    }
    int count = (int)OptionsOf(f.popup.get()).size();
    int first = f.popupFirst - delta / 40;  // three rows a notch
    f.popupFirst = std::max(0, std::min(std::max(0, count - f.popupVisible), first));
    v->dirty = true;
    return true;
}

// --- For the script bindings. -----------------------------------------------------------------

ControlState* ControlOf(WvView* v, dom_node* n) {
    return Get(v, n);
}

ControlState* EditableControl(WvView* v, dom_node* n) {
    return Editable(v, n);
}

std::wstring DefaultValueOf(dom_node* n) {
    return DefaultValue(n, KindOf(n));
}

void SetControlChecked(WvView* v, dom_node* n, bool on) {
    SetChecked(v, n, on);
}

void ClickControl(WvView* v, dom_node* n) {
    SyntheticClick(v, n);
}

NodeRef FormOwner(WvView* v, dom_node* n) {
    return FormOf(v, n);
}

void SubmitFormOf(WvView* v, dom_node* form, dom_node* submitter, bool fireEvent) {
    SubmitForm(v, form, submitter, fireEvent);
}

void ResetFormOf(WvView* v, dom_node* form) {
    ResetForm(v, form);
}

void FocusControl(WvView* v, dom_node* n) {
    if (!Focusable(n)) return;
    MoveFocus(v, n);
}

void BlurControl(WvView* v, dom_node* n) {
    if (v->forms.focus.get() == n) MoveFocus(v, nullptr);
}

void SetFireOutcome(int outcome) {
    g_fireOutcome = outcome;
}

}  // namespace webview
