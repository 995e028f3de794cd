// The behaviour of a view's form controls: what each control holds (value, checked state, caret,
// selection), focus and Tab order, editing from keys and characters, clicks on checkboxes, radios,
// buttons and labels, the drop-down list of an open select, the DOM events these raise (input,
// change, focus, blur, submit) and the submission of a form as a GET or POST navigation.
//
// The state lives in FormState, one per view (WvView::forms), keyed by node; each entry holds a
// reference on its node. It is dropped when the document is replaced. The painter finds the state
// of a control through FindControl (FormControls.cpp draws from it).
#pragma once
#include <windows.h>

#include "DomApi.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "DomAccess.h"

struct WvView;
struct duk_hthread;

namespace webview {

enum class ControlKind { None, Text, Password, Checkbox, Radio, Button, Submit, Reset, Hidden, Select, Textarea,
                         File, Range };

// What an input, select, textarea or button element is drawn and edited as.
ControlKind KindOf(dom_node* n);
bool IsTextKind(ControlKind k);

// One control's live state; values are UTF-16 as they are edited.
struct ControlState {
    NodeRef node;
    ControlKind kind = ControlKind::None;
    std::wstring value;
    bool valueDirty = false;    // the value was edited or set by script (else the attribute's)
    bool checked = false;
    bool checkedDirty = false;  // else the checked attribute
    // A select's chosen option once one was chosen (until then the options' selected attributes
    // say); chosenNone: a script chose none.
    NodeRef chosen;
    bool chosenNone = false;
    size_t caret = 0, anchor = 0;  // text: the selection runs between anchor and caret
    std::wstring valueAtFocus;  // what change is measured against
    // How far the text is shifted (left; up in a textarea) to keep the caret in view; the painter
    // keeps these.
    mutable int scrollX = 0, scrollY = 0;
};

struct FormState {
    FormState();
    ~FormState();
    FormState(const FormState&) = delete;
    FormState& operator=(const FormState&) = delete;

    std::unordered_map<dom_node*, std::unique_ptr<ControlState>> controls;
    NodeRef focus;               // the focused control (or focusable element)
    unsigned codePage = CP_UTF8; // what the document's forms submit in
    // The open drop-down list of a select: its options' rows over the page, view coordinates.
    NodeRef popup;
    RECT popupRect{};
    int popupRow = 0;            // height of one row
    int popupHover = -1;
    int popupFirst = 0, popupVisible = 0;  // the rows shown, when not all fit
    bool dragging = false;       // the left button went down in the focused text control
    bool doubleClick = false;    // the press being handled is a double click's

    void Clear();
};

// The state of the control n of any view (null when it has none yet).
const ControlState* FindControl(dom_node* n);
// The control's current value and option list, read the same way scripts see them.
std::wstring ControlValue(WvView* v, dom_node* n);
// Option elements of a select in order; their labels.
std::vector<NodeRef> OptionsOf(dom_node* select);
std::wstring OptionLabel(dom_node* option);
// The chosen option of a select (-1 for none); reads attributes while unchanged.
int SelectedIndex(const ControlState* s, dom_node* select);
// Makes option i of a select's options the chosen one (none when out of range).
void Choose(ControlState* s, const std::vector<NodeRef>& options, int i);
bool IsChecked(const ControlState* s, dom_node* n);
// Whether n is the focused control of its view (it shows its caret and focus ring).
bool IsFocusedControl(dom_node* n);

// --- View hooks. ---------------------------------------------------------------------------------
// The document was replaced; charset of the new one (from its bytes and Content-Type).
void ResetForms(WvView* v);
void SetFormCharset(WvView* v, const std::string& body, const std::string& contentType);
// The loaded document's first field marked autofocus takes the focus.
void AutoFocus(WvView* v);
// Mouse press at hit: focus moves to the focusable element under it (a click elsewhere blurs).
void FocusAt(WvView* v, dom_node* hit, int x, int y);
// Before and after a click's listeners: a checkbox or radio changes first and is put back when a
// listener prevents the default; afterwards buttons submit or reset, labels pass the click on and
// a select opens its list. End returns true when it acted.
struct FormClick {
    NodeRef control;
    bool wasChecked = false;
    NodeRef radioWas;  // the radio of the group that was checked before
};
FormClick BeginFormClick(WvView* v, dom_node* node);
bool EndFormClick(WvView* v, FormClick& click, bool prevented);
// Keys and characters for the focused control (or Tab from anywhere); true when used.
bool FormKeyDown(WvView* v, unsigned vk);
bool FormChar(WvView* v, unsigned ch);
// Mouse input the open drop-down list or a selection being dragged takes; true when it took it.
bool FormMouse(WvView* v, unsigned message, int x, int y, unsigned flags);
// The wheel over the open drop-down list scrolls it (true); elsewhere it closes the list (false).
bool FormWheel(WvView* v, int x, int y, int delta);
// Draws the open drop-down list over the painted page.
void PaintFormPopup(WvView* v, HDC dc);
// The node key events go to: the focused element, else null (the body).
dom_node* FocusedNode(WvView* v);

// --- Script side (ScriptForms.cpp). ---------------------------------------------------------------
// Pushes the natives the forms prelude is called with.
void PushFormNatives(duk_hthread* ctx);

// What the bindings do to controls, as the user's input would (events included).
ControlState* ControlOf(WvView* v, dom_node* n);        // made on first use; null for no control
ControlState* EditableControl(WvView* v, dom_node* n);  // a text control's, its value loaded
std::wstring DefaultValueOf(dom_node* n);
void SetControlChecked(WvView* v, dom_node* n, bool on);  // a radio unchecks its group
void ClickControl(WvView* v, dom_node* n);               // the click event and its default action
NodeRef FormOwner(WvView* v, dom_node* n);
void SubmitFormOf(WvView* v, dom_node* form, dom_node* submitter, bool fireEvent);
void ResetFormOf(WvView* v, dom_node* form);
void FocusControl(WvView* v, dom_node* n);
void BlurControl(WvView* v, dom_node* n);
// The forms prelude's fire() reports its event's outcome (EventResult bits) here.
void SetFireOutcome(int outcome);

}  // namespace webview
