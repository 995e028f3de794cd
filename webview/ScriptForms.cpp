// The script bindings of form controls: the natives the forms prelude (ScriptFormsPrelude.inc)
// builds value, checked, selectedIndex, options, form, focus(), click(), submit() and the rest
// over. Natives never throw; what they cannot do they leave undone.
#include <duktape/duktape.h>

#include <algorithm>

#include "Forms.h"
#include "Script.h"
#include "ScriptNatives.h"
#include "Text.h"
#include "View.h"

namespace webview {

namespace {

enum Op { OpValue, OpSetValue, OpChecked, OpSetChecked, OpSelected, OpSetSelected, OpSubmit, OpReset, OpFocus, OpBlur,
          OpResult, OpKind, OpOptions, OpForm, OpDefault, OpClick, OpActive, OpSelection, OpSetSelection };

const char* KindName(ControlKind k) {
    switch (k) {
    case ControlKind::Text: return "text";
    case ControlKind::Password: return "password";
    case ControlKind::Checkbox: return "checkbox";
    case ControlKind::Radio: return "radio";
    case ControlKind::Button: return "button";
    case ControlKind::Submit: return "submit";
    case ControlKind::Reset: return "reset";
    case ControlKind::Hidden: return "hidden";
    case ControlKind::Select: return "select";
    case ControlKind::Textarea: return "textarea";
    case ControlKind::File: return "file";
    case ControlKind::Range: return "range";
    default: return "";
    }
}

duk_ret_t Native(duk_context* ctx) {
    Script* script = Script::Of(ctx);
    WvView* v = script ? script->View() : nullptr;
    dom_node* n = WrappedNode(ctx, 0);
    int op = duk_get_current_magic(ctx);
    if (op == OpResult) {
        SetFireOutcome(duk_to_int(ctx, 0));
        return 0;
    }
    if (op == OpActive) {
        PushNode(ctx, v ? v->forms.focus.get() : nullptr);
        return 1;
    }
    if (!v || !n) return 0;
    ControlKind k = KindOf(n);
    switch (op) {
    case OpKind:
        duk_push_string(ctx, KindName(k));
        return 1;
    case OpValue: {
        std::string s = WideToUtf8(ControlValue(v, n));
        duk_push_lstring(ctx, s.data(), s.size());
        return 1;
    }
    case OpDefault: {
        std::string s = WideToUtf8(DefaultValueOf(n));
        duk_push_lstring(ctx, s.data(), s.size());
        return 1;
    }
    case OpSetValue: {
        std::wstring value = Utf8ToWide(duk_safe_to_string(ctx, 1));
        if (k == ControlKind::Select) {
            std::vector<NodeRef> opts = OptionsOf(n);
            ControlState* s = ControlOf(v, n);
            int pick = -1;  // none matches: no option is chosen
            for (size_t i = 0; i < opts.size() && pick < 0; ++i)
                if (ControlValue(v, opts[i].get()) == value) pick = (int)i;
            Choose(s, opts, pick);
            v->dirty = true;
        } else if (IsTextKind(k) || k == ControlKind::Hidden || k == ControlKind::Range) {
            ControlState* s = ControlOf(v, n);
            if (k != ControlKind::Textarea)
                value.erase(std::remove_if(value.begin(), value.end(), [](wchar_t c) { return c == L'\r' || c == L'\n'; }),
                            value.end());
            s->value = value;
            s->valueDirty = true;
            s->caret = s->anchor = value.size();
            if (v->forms.focus.get() != n) s->valueAtFocus = value;
            v->dirty = true;
        } else {
            dom::SetAttr(n, "value", WideToUtf8(value));
            NodeChanged(v, n, ChangeKind::Attribute);
        }
        return 0;
    }
    case OpChecked:
        duk_push_boolean(ctx, IsChecked(FindControl(n), n));
        return 1;
    case OpSetChecked:
        if (k == ControlKind::Checkbox || k == ControlKind::Radio) SetControlChecked(v, n, duk_to_boolean(ctx, 1) != 0);
        return 0;
    case OpSelected:
        if (k == ControlKind::Select) {
            const ControlState* s = FindControl(n);
            duk_push_int(ctx, SelectedIndex(s, n));
        } else {
            duk_push_int(ctx, -1);
        }
        return 1;
    case OpSetSelected:
        if (k == ControlKind::Select) {
            int i = duk_to_int(ctx, 1);
            ControlState* s = ControlOf(v, n);
            Choose(s, OptionsOf(n), i);
            v->dirty = true;
        }
        return 0;
    case OpSubmit:
        if (dom::Tag(n) == "form") SubmitFormOf(v, n, nullptr, false);
        return 0;
    case OpReset:
        if (dom::Tag(n) == "form") ResetFormOf(v, n);
        return 0;
    case OpFocus:
        FocusControl(v, n);
        return 0;
    case OpBlur:
        BlurControl(v, n);
        return 0;
    case OpOptions: {
        std::vector<NodeRef> opts = OptionsOf(n);
        duk_idx_t arr = duk_push_array(ctx);
        for (size_t i = 0; i < opts.size(); ++i) {
            PushNode(ctx, opts[i].get());
            duk_put_prop_index(ctx, arr, (duk_uarridx_t)i);
        }
        return 1;
    }
    case OpForm:
        PushNode(ctx, FormOwner(v, n).get());
        return 1;
    case OpClick:
        ClickControl(v, n);
        return 0;
    case OpSelection: {
        const ControlState* s = IsTextKind(k) ? EditableControl(v, n) : nullptr;
        duk_idx_t arr = duk_push_array(ctx);
        duk_push_uint(ctx, (duk_uint_t)(s ? std::min(s->anchor, s->caret) : 0));
        duk_put_prop_index(ctx, arr, 0);
        duk_push_uint(ctx, (duk_uint_t)(s ? std::max(s->anchor, s->caret) : 0));
        duk_put_prop_index(ctx, arr, 1);
        return 1;
    }
    case OpSetSelection: {
        if (!IsTextKind(k)) return 0;
        ControlState* s = EditableControl(v, n);
        size_t len = s->value.size();
        size_t a = (size_t)std::max(0, duk_to_int(ctx, 1)), e = (size_t)std::max(0, duk_to_int(ctx, 2));
        a = std::min(a, len);
        e = std::max(a, std::min(e, len));
        s->anchor = a;
        s->caret = e;
        v->dirty = true;
        return 0;
    }
    }
    return 0;
}

const struct {
    const char* name;
    Op op;
} kNatives[] = {
    {"value", OpValue},       {"setValue", OpSetValue},     {"checked", OpChecked},   {"setChecked", OpSetChecked},
    {"selected", OpSelected}, {"setSelected", OpSetSelected}, {"submit", OpSubmit},   {"reset", OpReset},
    {"focus", OpFocus},       {"blur", OpBlur},             {"result", OpResult},     {"kind", OpKind},
    {"options", OpOptions},   {"form", OpForm},             {"defaultValue", OpDefault},  {"click", OpClick},
    {"active", OpActive},     {"selection", OpSelection},   {"setSelection", OpSetSelection},
};

}  // namespace

void PushFormNatives(duk_context* ctx) {
    PushNativeTable(ctx, kNatives, Native);
}

}  // namespace webview
