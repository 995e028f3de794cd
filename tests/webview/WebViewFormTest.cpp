// The web view's forms: controls sized and drawn as a browser's, focus and Tab order, typing
// (Chinese included) through the same calls the console's host window makes for WM_CHAR and
// WM_KEYDOWN, checkboxes, radios, labels and a select's drop-down list, the DOM events and
// properties scripts see, and the submitted request read back at the stand-in, GET and POST,
// from UTF-8 and GBK pages.
#include <windows.h>

#include <string>
#include <vector>

#include "Script.h"
#include "Text.h"
#include "View.h"
#include "WebViewTestSupport.h"

using namespace webtest;

namespace {

class WebViewForm : public ViewFixture {
protected:
    void TearDown() override {
        SetKeys(false, false);
        ViewFixture::TearDown();
    }
    RECT BoxOf(wkeWebView v, const char* id) { return ElementBox(v, id); }
    void ClickOn(wkeWebView v, const char* id) {
        RECT rc = BoxOf(v, id);
        Click(v, (rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2);
    }
    // Characters as WM_CHAR brings them: UTF-16 units.
    void Type(wkeWebView v, const std::wstring& text) {
        for (wchar_t c : text) wkeFireKeyPressEvent(v, c, 0, false);
    }
    // A key as WM_KEYDOWN brings it, with the character WM_CHAR adds for some.
    void Press(wkeWebView v, unsigned vk) {
        wkeFireKeyDownEvent(v, vk, 0, false);
        if (vk == VK_RETURN) wkeFireKeyPressEvent(v, '\r', 0, false);
        if (vk == VK_BACK) wkeFireKeyPressEvent(v, 8, 0, false);
        if (vk == VK_SPACE) wkeFireKeyPressEvent(v, ' ', 0, false);
        wkeFireKeyUpEvent(v, vk, 0, false);
    }
    // The thread's keyboard state, which the view reads for Shift and Ctrl.
    static void SetKeys(bool shift, bool ctrl) {
        BYTE keys[256] = {0};
        ::GetKeyboardState(keys);
        keys[VK_SHIFT] = shift ? 0x80 : 0;
        keys[VK_CONTROL] = ctrl ? 0x80 : 0;
        ::SetKeyboardState(keys);
    }
    std::string Value(wkeWebView v, const char* id) {
        dom_node* n = v->doc.ElementById(id);
        EXPECT_NE(nullptr, n) << id;
        return n ? webview::WideToUtf8(webview::ControlValue(v, n)) : std::string();
    }
    // The requests of the scenario whose target begins with prefix, waited for.
    std::vector<standin::Request> WaitFor(const standin::Scenario& sc, const std::string& prefix) {
        std::vector<standin::Request> got;
        Pump(10000, [&] {
            got = sc.LogFor(prefix);
            return !got.empty();
        });
        return got;
    }
};

std::string Percent(const std::string& bytes) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (isalnum(c) || c == '-' || c == '.' || c == '_' || c == '*') out += (char)c;
        else if (c == ' ') out += '+';
        else out += std::string("%") + hex[c >> 4] + hex[c & 15];
    }
    return out;
}

std::string Gbk(const std::wstring& text) {
    char buf[512] = {0};
    int n = ::WideCharToMultiByte(936, 0, text.c_str(), -1, buf, sizeof(buf), NULL, NULL);
    return std::string(buf, n > 0 ? n - 1 : 0);
}

Json::Value Done(const std::string& path) {
    return PageRoute(path, "<html><body><p id=done>done</p></body></html>");
}

}  // namespace

// Default sizes as Chromium gives them at the controls' default font: text fields 20 average
// characters wide, checkbox and radio 13 x 13 with their margins, hidden inputs without a box; and
// a page's own width, padding and border win.
TEST_F(WebViewForm, ControlsTakeTheirDefaultSizesAndThePagesStyles) {
    Json::Value spec;
    spec["routes"].append(PageRoute("/sizes.html", R"HTML(<html><head><style>
body { margin: 0 } p { margin: 0 } .wide { width: 300px; padding: 4px; border: 2px solid #336699 }
</style></head><body>
<p><input id=text><input id=short size=10><input id=pw type=password></p>
<p><input id=cb type=checkbox><input id=rb type=radio><input id=hid type=hidden value=x></p>
<p><textarea id=ta cols=20 rows=2></textarea><textarea id=tb cols=40 rows=4></textarea></p>
<p><select id=sel><option>a</option><option>a much longer option</option></select>
<input id=styled class=wide><input id=sub type=submit value="Send it"></p>
<div><input id=blk style="display:block; margin-left:10px"><input id=blk2 style="display:block"></div>
</body></html>)HTML"));
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    wkeWebView v = NewView(800, 400);
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/sizes.html")));

    RECT text = BoxOf(v, "text"), shortText = BoxOf(v, "short"), pw = BoxOf(v, "pw");
    // 20 characters of about 6 to 10 pixels, two of padding and two of border each side.
    EXPECT_GE(text.right - text.left, 20 * 6 + 8);
    EXPECT_LE(text.right - text.left, 20 * 10 + 30);
    EXPECT_EQ(text.right - text.left, pw.right - pw.left);
    EXPECT_GE(text.bottom - text.top, 18);
    EXPECT_LE(text.bottom - text.top, 26);
    // size= counts average characters: ten fewer make the field ten characters narrower.
    double perChar = ((text.right - text.left) - (shortText.right - shortText.left)) / 10.0;
    EXPECT_GE(perChar, 5);
    EXPECT_LE(perChar, 11);
    EXPECT_EQ(text.right, shortText.left);

    RECT cb = BoxOf(v, "cb"), rb = BoxOf(v, "rb");
    EXPECT_EQ(13, cb.right - cb.left);
    EXPECT_EQ(13, cb.bottom - cb.top);
    EXPECT_EQ(4, cb.left);               // margin-left 4
    EXPECT_EQ(13, rb.right - rb.left);
    EXPECT_EQ(cb.right + 3 + 5, rb.left);  // margin-right 3, the radio's margin-left 5
    RECT none{};
    dom_node* hid = v->doc.ElementById("hid");
    ASSERT_NE(nullptr, hid);
    EXPECT_FALSE(webview::NodeBox(v, hid, &none));

    RECT ta = BoxOf(v, "ta"), tb = BoxOf(v, "tb");
    // cols and rows: twenty more columns, two more rows.
    EXPECT_NEAR(20 * perChar, (tb.right - tb.left) - (ta.right - ta.left), 2);
    EXPECT_EQ(2 * (ta.bottom - ta.top - 6), (tb.bottom - tb.top - 6));

    RECT sel = BoxOf(v, "sel"), styled = BoxOf(v, "styled"), sub = BoxOf(v, "sub");
    EXPECT_GT(sel.right - sel.left, 100);  // the longest option and the arrow
    EXPECT_EQ(300 + 2 * 4 + 2 * 2, styled.right - styled.left);
    EXPECT_GE(styled.left, sel.right);
    EXPECT_GT(sub.right - sub.left, 40);
    EXPECT_EQ(styled.right, sub.left);

    // Made block-level by the page, a field keeps its own width and stacks.
    RECT blk = BoxOf(v, "blk"), blk2 = BoxOf(v, "blk2");
    EXPECT_EQ(10, blk.left);
    EXPECT_EQ(text.right - text.left, blk.right - blk.left);
    EXPECT_EQ(text.bottom - text.top, blk.bottom - blk.top);
    EXPECT_EQ(blk.bottom, blk2.top);
    EXPECT_EQ(0, blk2.left);
    EXPECT_EQ(RGB(255, 255, 255), PixelAt(v, blk.left + 5, (blk.top + blk.bottom) / 2));
    EXPECT_EQ(RGB(0x76, 0x76, 0x76), PixelAt(v, blk.left, (blk.top + blk.bottom) / 2));
}

// Typing into a real form, Tab between its fields, Space on a checkbox, a pick from the select's
// list, then Enter: the browser's GET query at the stand-in, names and values in document order,
// UTF-8 percent-encoded, spaces as '+', the default button's name and value included.
TEST_F(WebViewForm, TypedFormSubmitsItsQueryByGetOnEnter) {
    Json::Value spec;
    spec["routes"].append(PageRoute("/form.html", R"HTML(<html><head><style>
body { margin: 0 } p { margin: 0 0 4px }
</style></head><body><form action="done.php?old=1" method=get>
<p><input id=q name=q value="x"></p>
<p><input id=pw name=pw type=password></p>
<p><input id=c name=c type=checkbox value=yes><input id=off name=off type=checkbox></p>
<p><input id=r1 name=r type=radio value=a checked><input id=r2 name=r type=radio value=b></p>
<p><select id=s name=s><option value=one>One</option><option value=two>Two</option><option>Three</option></select></p>
<p><input type=hidden name=h value="h v"><input name=skip disabled value=no><input value=nameless></p>
<p><input type=submit id=go name=go value=Go><input type=submit name=other value=Other></p>
</form></body></html>)HTML"));
    spec["routes"].append(Done("/done.php*"));
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    wkeWebView v = NewView(400, 300);
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/form.html")));

    ClickOn(v, "q");
    Type(v, L"ab");
    Press(v, VK_BACK);
    Press(v, VK_HOME);
    Press(v, VK_DELETE);                 // the "x" at the start goes
    Press(v, VK_END);
    Type(v, L" \x4F60\x597D");           // 你好, as WM_CHAR units
    EXPECT_EQ("a \xE4\xBD\xA0\xE5\xA5\xBD", Value(v, "q"));
    Press(v, VK_TAB);
    Type(v, L"s3cret");
    EXPECT_EQ("s3cret", Value(v, "pw"));
    Press(v, VK_TAB);                    // the checkbox
    Press(v, VK_SPACE);
    ClickOn(v, "r2");

    // The select opens its list below itself; a click on its second row picks "two".
    RECT s = BoxOf(v, "s");
    ClickOn(v, "s");
    ASSERT_TRUE(v->forms.popup);
    RECT list = v->forms.popupRect;
    EXPECT_EQ(s.bottom, list.top);
    EXPECT_EQ(s.left, list.left);
    int row = v->forms.popupRow;
    ASSERT_GT(row, 0);
    Click(v, list.left + 10, list.top + 1 + row + row / 2);
    EXPECT_FALSE(v->forms.popup);
    EXPECT_EQ("two", Value(v, "s"));

    ClickOn(v, "q");
    Press(v, VK_RETURN);
    std::vector<standin::Request> got = WaitFor(sc, "/done.php");
    ASSERT_EQ(1u, got.size());
    EXPECT_EQ("GET", got[0].method);
    EXPECT_EQ("/done.php?q=a+%E4%BD%A0%E5%A5%BD&pw=s3cret&c=yes&r=b&s=two&h=h+v&go=Go", got[0].target);
    EXPECT_TRUE(Pump(10000, [&] { return v->doc.ElementById("done") != nullptr; }));
}

// A GBK page posts GBK bytes: the typed Chinese and the attribute's value, a textarea's lines with
// CRLF, the clicked submit button and not the other, as application/x-www-form-urlencoded.
TEST_F(WebViewForm, GbkPagePostsGbkBytesFromTheClickedButton) {
    std::wstring page =
        L"<html><head><meta charset=gbk></head><body style='margin:0'>"
        L"<form method=POST action='/post.php'><p><input id=n name=n value='\x5F20\x4E09'>"
        L"<input id=e name=e><input id=num name=num type=number></p>"
        L"<p><textarea id=t name=t rows=3 cols=20></textarea></p>"
        L"<p><select name=k><option>\x8EAB\x4EFD\x8BC1</option><option selected>\x62A4\x7167</option></select>"
        L"<input type=checkbox name=agree checked></p>"
        L"<p><button id=ok name=act value=ok>\x63D0\x4EA4</button> <button id=no name=act value=no>X</button></p>"
        L"</form></body></html>";
    Json::Value spec;
    spec["routes"].append(BytesRoute("/gbk.html", Gbk(page), "text/html; charset=gbk"));
    spec["routes"].append(Done("/post.php"));
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    wkeWebView v = NewView(400, 300);
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/gbk.html")));

    ClickOn(v, "n");
    Press(v, VK_END);
    Type(v, L"\x4E30");  // 丰
    ClickOn(v, "e");
    Type(v, L"a\xD83D\xDE00");  // a character GBK lacks, as its two WM_CHAR units
    ClickOn(v, "num");
    Type(v, L"1x2.5");
    ClickOn(v, "t");
    Type(v, L"l1");
    Press(v, VK_RETURN);  // a line break in a textarea, not a submission
    Type(v, L"\x884C 2");
    EXPECT_TRUE(sc.LogFor("/post.php").empty());
    ClickOn(v, "ok");

    std::vector<standin::Request> got = WaitFor(sc, "/post.php");
    ASSERT_EQ(1u, got.size());
    EXPECT_EQ("POST", got[0].method);
    EXPECT_EQ(0u, got[0].Header("Content-Type").find("application/x-www-form-urlencoded"));
    // What GBK lacks goes as a numeric character reference; a number field took no letters.
    std::string want = "n=" + Percent(Gbk(L"\x5F20\x4E09\x4E30")) + "&e=a%26%23128512%3B&num=12.5" +
                       "&t=" + Percent(Gbk(L"l1\r\n\x884C 2")) + "&k=" +
                       Percent(Gbk(L"\x62A4\x7167")) + "&agree=on&act=ok";
    EXPECT_EQ(want, got[0].formBody);
}

// Scripts read and set value, checked and selectedIndex, see defaultValue, and hear focus, input,
// change and blur in order; a submit listener that prevents the default keeps the page, and
// form.submit() sends without the event.
TEST_F(WebViewForm, ScriptsSeeStateEventsAndCanStopOrStartASubmission) {
    Json::Value spec;
    spec["routes"].append(PageRoute("/script.html", R"HTML(<html><body style="margin:0">
<form id=f action="/sent"><input id=t name=t value=start><input id=u value=orig><input id=c type=checkbox name=c>
<select id=s name=s><option>a</option><option value=B>b</option></select><input type=submit id=go></form>
<script>
var f = document.getElementById('f'), t = document.getElementById('t'), c = document.getElementById('c'),
    s = document.getElementById('s'), log = [];
['focus', 'input', 'change', 'blur'].forEach(function (k) { t.addEventListener(k, function () { log.push(k); }); });
c.addEventListener('change', function () { log.push('c' + c.checked); });
f.addEventListener('submit', function (e) { e.preventDefault(); log.push('submit'); });
function report() {
  window_external_CppCall(1, log.join(',') === 'focus,input,input,change,blur,ctrue,submit' ? 1 : 2, 0);
  window_external_CppCall(2, t.value === 'startxy' && t.defaultValue === 'start' ? 1 : 2, 0);
  window_external_CppCall(3, c.checked === true && s.selectedIndex === 0 && s.value === 'a' ? 1 : 2, 0);
  t.value = 'set'; s.selectedIndex = 1; c.checked = false;
  window_external_CppCall(4, t.value === 'set' && s.value === 'B' && !c.checked ? 1 : 2, 0);
  t.setSelectionRange(1, 2);
  window_external_CppCall(5, t.selectionStart === 1 && t.selectionEnd === 2 ? 1 : 2, 0);
  s.add(new Option('  C  text ', 'C'));
  s.remove(0);
  window_external_CppCall(6, s.options.length === 2 && s.options[1].text === 'C text' && s.value === 'B' ? 1 : 2, 0);
  var u = document.getElementById('u');
  u.setAttribute('value', 'new');
  window_external_CppCall(7, u.value === 'new' ? 1 : 2, 0);
  var sc = document.createElement('script');
  sc.type = 'text/x-data';
  window_external_CppCall(8, t.type === 'text' && c.type === 'checkbox' && s.type === 'select-one' &&
                             sc.getAttribute('type') === 'text/x-data' && f.elements.length === 5 &&
                             f.elements.t === t && t.form === f ? 1 : 2, 0);
  f.submit();
}
</script></body></html>)HTML"));
    spec["routes"].append(Done("/sent*"));
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    wkeWebView v = NewView(400, 300);
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/script.html")));

    ClickOn(v, "t");
    Press(v, VK_END);
    Type(v, L"xy");
    ClickOn(v, "u");  // blurs the text field: change, then blur; u is focused, not edited
    ClickOn(v, "c");
    ClickOn(v, "go");
    PumpFor(300);
    EXPECT_TRUE(sc.LogFor("/sent").empty()) << "the submit listener prevented it";
    ASSERT_TRUE(v->script);
    v->script->Run("report()", "test");
    EXPECT_TRUE(HasCall(1, 1, 0)) << "events in order";
    EXPECT_TRUE(HasCall(2, 1, 0)) << "value and defaultValue";
    EXPECT_TRUE(HasCall(3, 1, 0)) << "checked, selectedIndex, value";
    EXPECT_TRUE(HasCall(4, 1, 0)) << "set by script";
    EXPECT_TRUE(HasCall(5, 1, 0)) << "selection range";
    EXPECT_TRUE(HasCall(6, 1, 0)) << "options added and removed";
    EXPECT_TRUE(HasCall(7, 1, 0)) << "a field focused but not edited follows its attribute";
    EXPECT_TRUE(HasCall(8, 1, 0)) << "type, elements, form";
    std::vector<standin::Request> got = WaitFor(sc, "/sent");
    ASSERT_EQ(1u, got.size());
    EXPECT_EQ("/sent?t=set&s=B", got[0].target);
}

// A label's click goes to its control (for= or nested); Tab and Shift+Tab walk the focusable
// fields in document order and :focus follows; Ctrl+A selects a field's text, typing replaces it;
// a checked box is drawn in the accent colour.
TEST_F(WebViewForm, LabelsTabOrderFocusStyleAndSelection) {
    Json::Value spec;
    spec["routes"].append(PageRoute("/labels.html", R"HTML(<html><head><style>
body { margin: 0 } p { margin: 0 0 4px } input:focus { background-color: #00ff00 }
#a + span { display: inline-block; width: 20px; height: 10px; background-color: #ff0000 }
#a:checked + span { background-color: #0000ff }
</style></head><body>
<p><label id=l1 for=a>Tick a</label> <input id=a type=checkbox><span id=mark></span></p>
<p><label id=l2><input id=b type=checkbox> <span id=l2text>Tick b</span></label></p>
<p><input id=x value="old text"> <input id=dis disabled> <input id=y autofocus></p>
</body></html>)HTML"));
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    wkeWebView v = NewView(400, 300);
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/labels.html")));

    dom_node* a = v->doc.ElementById("a");
    dom_node* b = v->doc.ElementById("b");
    ASSERT_NE(nullptr, a);
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(v->doc.ElementById("y"), webview::FocusedNode(v)) << "autofocus";
    ClickOn(v, "l1");
    ClickOn(v, "l2text");
    EXPECT_TRUE(webview::IsChecked(webview::FindControl(a), a));
    EXPECT_TRUE(webview::IsChecked(webview::FindControl(b), b));
    RECT ra = BoxOf(v, "a"), mark = BoxOf(v, "mark");
    EXPECT_EQ(RGB(0x00, 0x75, 0xFF), PixelAt(v, ra.left + 1, ra.top + 1));
    EXPECT_EQ(RGB(0, 0, 255), PixelAt(v, mark.left + 5, mark.top + 5)) << ":checked follows the box";
    EXPECT_EQ(b, webview::FocusedNode(v));  // the nested label's click
    ClickOn(v, "l1");
    EXPECT_FALSE(webview::IsChecked(webview::FindControl(a), a));
    EXPECT_EQ(RGB(255, 0, 0), PixelAt(v, mark.left + 5, mark.top + 5));

    // Focus is on a; Tab goes to b, to x, over the disabled field to y, around to a; Shift+Tab
    // comes back to y.
    EXPECT_EQ(a, webview::FocusedNode(v));
    Press(v, VK_TAB);
    EXPECT_EQ(b, webview::FocusedNode(v));
    Press(v, VK_TAB);
    EXPECT_EQ(v->doc.ElementById("x"), webview::FocusedNode(v));
    RECT x = BoxOf(v, "x");
    EXPECT_EQ(RGB(0, 255, 0), PixelAt(v, x.right - 4, x.top + 3));
    Press(v, VK_TAB);
    EXPECT_EQ(v->doc.ElementById("y"), webview::FocusedNode(v));
    EXPECT_NE(RGB(0, 255, 0), PixelAt(v, x.right - 4, x.top + 3));
    Press(v, VK_TAB);
    EXPECT_EQ(a, webview::FocusedNode(v));
    SetKeys(true, false);
    Press(v, VK_TAB);
    SetKeys(false, false);
    EXPECT_EQ(v->doc.ElementById("y"), webview::FocusedNode(v));

    // Click into x, Ctrl+A, type: the text is replaced; Shift+Home selects back to the start.
    ClickOn(v, "x");
    SetKeys(false, true);
    wkeFireKeyDownEvent(v, 'A', 0, false);
    SetKeys(false, false);
    wkeFireKeyPressEvent(v, 1, 0, false);  // Ctrl+A's character
    Type(v, L"new");
    EXPECT_EQ("new", Value(v, "x"));
    SetKeys(true, false);
    Press(v, VK_HOME);
    SetKeys(false, false);
    Type(v, L"N");
    EXPECT_EQ("N", Value(v, "x"));

    // Ctrl+Left goes back a word; a double click selects the word under it.
    Type(v, L"ew word");
    SetKeys(false, true);
    Press(v, VK_LEFT);
    SetKeys(false, false);
    Type(v, L"big ");
    EXPECT_EQ("New big word", Value(v, "x"));
    RECT xr = BoxOf(v, "x");
    wkeFireMouseEvent(v, WM_LBUTTONDOWN, xr.left + 6, (xr.top + xr.bottom) / 2, MK_LBUTTON);
    wkeFireMouseEvent(v, WM_LBUTTONUP, xr.left + 6, (xr.top + xr.bottom) / 2, 0);
    wkeFireMouseEvent(v, WM_LBUTTONDBLCLK, xr.left + 6, (xr.top + xr.bottom) / 2, MK_LBUTTON);
    wkeFireMouseEvent(v, WM_LBUTTONUP, xr.left + 6, (xr.top + xr.bottom) / 2, 0);
    Type(v, L"Old");
    EXPECT_EQ("Old big word", Value(v, "x"));
}

// Keys on a focused select: arrows move the choice and raise change; Space opens the list,
// arrows and Enter pick from it, Escape closes it untouched. Arrows on a radio check the group's
// next one, over a disabled one, and around.
TEST_F(WebViewForm, SelectListAndRadioGroupByKeys) {
    Json::Value spec;
    spec["routes"].append(PageRoute("/select.html", R"HTML(<html><body style="margin:0">
<select id=s><option>zero</option><option>one</option><option>two</option></select>
<p><input type=radio name=g id=g1 checked><input type=radio name=g id=g2 disabled><input type=radio name=g id=g3>
<input type=radio name=other id=o1 checked></p>
<script>var changes = 0; document.getElementById('s').onchange = function () { changes++; };</script>
</body></html>)HTML"));
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    wkeWebView v = NewView(400, 300);
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/select.html")));

    ClickOn(v, "s");
    ASSERT_TRUE(v->forms.popup);
    Press(v, VK_ESCAPE);
    EXPECT_FALSE(v->forms.popup);
    EXPECT_EQ("zero", Value(v, "s"));
    Press(v, VK_DOWN);
    EXPECT_EQ("one", Value(v, "s"));
    Press(v, VK_SPACE);
    ASSERT_TRUE(v->forms.popup);
    Press(v, VK_DOWN);
    Press(v, VK_RETURN);
    EXPECT_FALSE(v->forms.popup);
    EXPECT_EQ("two", Value(v, "s"));
    ASSERT_TRUE(v->script);
    v->script->Run("window_external_CppCall(9, changes, 0)", "test");
    EXPECT_TRUE(HasCall(9, 2, 0));

    dom_node* g1 = v->doc.ElementById("g1");
    dom_node* g3 = v->doc.ElementById("g3");
    dom_node* o1 = v->doc.ElementById("o1");
    ASSERT_NE(nullptr, g1);
    ASSERT_NE(nullptr, g3);
    ASSERT_NE(nullptr, o1);
    ClickOn(v, "g1");
    Press(v, VK_RIGHT);
    EXPECT_EQ(g3, webview::FocusedNode(v));
    EXPECT_TRUE(webview::IsChecked(webview::FindControl(g3), g3));
    EXPECT_FALSE(webview::IsChecked(webview::FindControl(g1), g1));
    EXPECT_TRUE(webview::IsChecked(webview::FindControl(o1), o1)) << "another group keeps its own";
    Press(v, VK_DOWN);  // around to the first
    EXPECT_EQ(g1, webview::FocusedNode(v));
    EXPECT_TRUE(webview::IsChecked(webview::FindControl(g1), g1));
    EXPECT_FALSE(webview::IsChecked(webview::FindControl(g3), g3));
}

// The mouse puts the caret where it presses and a drag selects; Ctrl+C and Ctrl+V carry the text
// through the clipboard into another field; a list box chooses the row clicked; a script's click()
// ticks a checkbox as the user's would, and activeElement names the focused field.
TEST_F(WebViewForm, MouseCaretDragClipboardListBoxAndScriptClick) {
    Json::Value spec;
    spec["routes"].append(PageRoute("/mouse.html", R"HTML(<html><body style="margin:0">
<p><input id=a value="hello world" style="width:200px"> <input id=b></p>
<p><select id=lb size=3><option>x</option><option>y</option><option>z</option></select>
<input id=c type=checkbox></p></body></html>)HTML"));
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    // The clipboard wants an owner window: the view's host, as the console sets it.
    HWND host = ::CreateWindowExW(0, L"STATIC", L"host", WS_POPUP, 0, 0, 10, 10, NULL, NULL, NULL, NULL);
    ASSERT_NE(nullptr, host);
    wkeWebView v = NewView(400, 300);
    wkeSetHostWindow(v, host);
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/mouse.html")));

    RECT a = BoxOf(v, "a");
    int mid = (a.top + a.bottom) / 2;
    Click(v, a.left + 4, mid);  // before the first letter
    Type(v, L"X");
    EXPECT_EQ("Xhello world", Value(v, "a"));

    // Drag from the start to past the end, copy, paste into b.
    wkeFireMouseEvent(v, WM_LBUTTONDOWN, a.left + 3, mid, MK_LBUTTON);
    wkeFireMouseEvent(v, WM_MOUSEMOVE, a.left + 60, mid, MK_LBUTTON);
    wkeFireMouseEvent(v, WM_MOUSEMOVE, a.right - 5, mid, MK_LBUTTON);
    wkeFireMouseEvent(v, WM_LBUTTONUP, a.right - 5, mid, 0);
    SetKeys(false, true);
    wkeFireKeyDownEvent(v, 'C', 0, false);
    SetKeys(false, false);
    ClickOn(v, "b");
    SetKeys(false, true);
    wkeFireKeyDownEvent(v, 'V', 0, false);
    SetKeys(false, false);
    EXPECT_EQ("Xhello world", Value(v, "b"));

    RECT lb = BoxOf(v, "lb");
    EXPECT_EQ("", Value(v, "lb"));  // a list box starts with nothing chosen
    int row = (lb.bottom - lb.top - 2) / 3;
    Click(v, lb.left + 5, lb.top + 1 + row + row / 2);
    EXPECT_EQ("y", Value(v, "lb"));

    ASSERT_TRUE(v->script);
    v->script->Run("var c = document.getElementById('c'); c.click();"
                   "window_external_CppCall(1, c.checked ? 1 : 2, 0);"
                   "window_external_CppCall(2, document.activeElement === document.getElementById('lb') ? 1 : 2, 0);",
                   "test");
    EXPECT_TRUE(HasCall(1, 1, 0)) << "click() ticks the box";
    EXPECT_TRUE(HasCall(2, 1, 0)) << "activeElement";
    wkeDestroyWebView(v);
    Forget(v);
    ::DestroyWindow(host);
}

// A long list opens with as many rows as fit (twenty at most) on the side of the select with room,
// scrolls to keep the highlighted row in view and under the wheel; Enter in a form without a
// button submits only when it has a single field.
TEST_F(WebViewForm, LongListScrollsAndEnterWithoutAButton) {
    std::string options;
    for (int i = 0; i < 50; ++i) options += "<option>n" + std::to_string(i) + "</option>";
    Json::Value spec;
    spec["routes"].append(PageRoute("/long.html", "<html><body style='margin:0'><div style='height:180px'></div>"
                                                  "<select id=s>" + options + "</select>"
                                                  "<form action='/one'><input id=one name=one value=1></form>"
                                                  "<form action='/two'><input id=t1 name=a><input id=t2 name=b></form>"
                                                  "</body></html>"));
    spec["routes"].append(Done("/one*"));
    spec["routes"].append(Done("/two*"));
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    wkeWebView v = NewView(400, 300);
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/long.html")));

    RECT s = BoxOf(v, "s");
    ClickOn(v, "s");
    ASSERT_TRUE(v->forms.popup);
    RECT list = v->forms.popupRect;
    // 180 pixels above, less than 100 below: it opens upwards, inside the view.
    EXPECT_EQ(s.top, list.bottom);
    EXPECT_GE(list.top, 0);
    EXPECT_LE(v->forms.popupVisible, 20);
    EXPECT_EQ(v->forms.popupVisible, (list.bottom - list.top - 2) / v->forms.popupRow);
    wkeFireMouseWheelEvent(v, list.left + 5, list.top + 5, -120, 0);
    EXPECT_EQ(3, v->forms.popupFirst);
    Press(v, VK_END);
    EXPECT_EQ(50 - v->forms.popupVisible, v->forms.popupFirst);
    Press(v, VK_RETURN);
    EXPECT_EQ("n49", Value(v, "s"));

    ClickOn(v, "t1");
    Press(v, VK_RETURN);
    PumpFor(300);
    EXPECT_TRUE(sc.LogFor("/two").empty()) << "two fields, no button: Enter does not submit";
    ClickOn(v, "one");
    Press(v, VK_RETURN);
    std::vector<standin::Request> got = WaitFor(sc, "/one");
    ASSERT_EQ(1u, got.size());
    EXPECT_EQ("/one?one=1", got[0].target);
}

namespace {

struct Navigations {
    std::vector<std::pair<int, std::wstring>> seen;
    bool allow = false;
};

bool OnNavigation(wkeWebView, void* param, int type, wkeString url) {
    Navigations* n = static_cast<Navigations*>(param);
    n->seen.emplace_back(type, wkeGetStringW(url));
    return n->allow;
}

}  // namespace

// A submission is a navigation like a link's: the host's callback sees it as a form submission
// with its URL and may refuse it; allowed, a POST is sent.
TEST_F(WebViewForm, SubmissionGoesThroughTheNavigationCallback) {
    Json::Value spec;
    spec["routes"].append(PageRoute("/nav.html", R"HTML(<html><body style="margin:0">
<form id=f method=post action="/nav-post?x=1"><input name=k value="a b"><input type=submit id=go></form>
<input name=outside form=f value=o><input name=other value=no></body></html>)HTML"));
    spec["routes"].append(Done("/nav-post*"));
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    wkeWebView v = NewView(400, 300);
    Navigations nav;
    wkeOnNavigation(v, &OnNavigation, &nav);
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/nav.html")));

    ClickOn(v, "go");
    ASSERT_EQ(1u, nav.seen.size());
    EXPECT_EQ(WKE_NAVIGATION_FORM_SUBMIT, nav.seen[0].first);
    EXPECT_EQ(Wide(sc.Url("/nav-post?x=1")), nav.seen[0].second) << "a POST keeps the action's query";
    PumpFor(300);
    EXPECT_TRUE(sc.LogFor("/nav-post").empty()) << "refused by the host";

    nav.allow = true;
    ClickOn(v, "go");
    std::vector<standin::Request> got = WaitFor(sc, "/nav-post");
    ASSERT_EQ(1u, got.size());
    EXPECT_EQ("POST", got[0].method);
    EXPECT_EQ("/nav-post?x=1", got[0].target);
    EXPECT_EQ("k=a+b&outside=o", got[0].formBody) << "a control outside that names the form is its";
}

// Pages that act from their listeners: an input listener that rewrites the value as it is typed,
// and a jump menu whose change listener navigates when a row of its list is clicked.
TEST_F(WebViewForm, ListenersRewriteValuesAndNavigateFromAPick) {
    Json::Value spec;
    spec["routes"].append(PageRoute("/jump.html", R"HTML(<html><body style="margin:0">
<input id=up oninput="this.value = this.value.toUpperCase()">
<select id=s onchange="location.href = '/jumped?to=' + this.value">
<option value=a>A</option><option value=b>B</option></select></body></html>)HTML"));
    spec["routes"].append(Done("/jumped*"));
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    wkeWebView v = NewView(400, 300);
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/jump.html")));

    ClickOn(v, "up");
    Type(v, L"ab");
    Press(v, VK_LEFT);
    Type(v, L"c");
    EXPECT_EQ("ACB", Value(v, "up")) << "typed at the caret, after the listener's rewrite";

    ClickOn(v, "s");
    ASSERT_TRUE(v->forms.popup);
    RECT list = v->forms.popupRect;
    int row = v->forms.popupRow;
    wkeFireMouseEvent(v, WM_LBUTTONDOWN, list.left + 5, list.top + 1 + row + row / 2, MK_LBUTTON);
    wkeFireMouseEvent(v, WM_LBUTTONUP, list.left + 5, list.top + 1 + row + row / 2, 0);
    std::vector<standin::Request> got = WaitFor(sc, "/jumped");
    ASSERT_EQ(1u, got.size());
    EXPECT_EQ("/jumped?to=b", got[0].target);
    EXPECT_TRUE(Pump(10000, [&] { return v->doc.ElementById("done") != nullptr; }));
    EXPECT_FALSE(v->forms.popup);
    EXPECT_EQ(nullptr, webview::FocusedNode(v)) << "the new document starts without focus";
}

// A textarea wraps its text at words within its width: a press at the start of its second line
// puts the caret after the first line's last space; Up and Down move between the wrapped lines.
TEST_F(WebViewForm, TextareaWrapsAndTakesTheCaretWhereItIsPressed) {
    Json::Value spec;
    spec["routes"].append(PageRoute("/area.html", R"HTML(<html><body style="margin:0">
<textarea id=t cols=10 rows=6>aaaa bbbb cccc dddd eeee ffff gggg</textarea></body></html>)HTML"));
    standin::Scenario sc(spec);
    ASSERT_TRUE(sc.Ok()) << sc.Error();
    wkeWebView v = NewView(400, 300);
    ASSERT_TRUE(LoadAndWait(v, sc.Url("/area.html")));

    RECT t = BoxOf(v, "t");
    int line = (t.bottom - t.top - 6) / 6;  // rows=6, padding 2 and border 1 each side
    ASSERT_GT(line, 0);
    Click(v, t.left + 4, t.top + 3 + line + line / 2);
    Type(v, L"X");
    std::string value = Value(v, "t");
    size_t x = value.find('X');
    ASSERT_NE(std::string::npos, x);
    EXPECT_GT(x, 4u) << value;
    EXPECT_EQ(' ', value[x - 1]) << value;
    EXPECT_NE(' ', value[x + 1]) << value;
    EXPECT_EQ("aaaa bbbb cccc dddd eeee ffff gggg", value.substr(0, x) + value.substr(x + 1));

    // From just after the X, up to the same place across on the first line (a letter in), and
    // back down: the caret keeps its distance from the left.
    Press(v, VK_UP);
    Type(v, L"U");
    value = Value(v, "t");
    size_t u = value.find('U');
    EXPECT_GE(u, 1u) << value;
    EXPECT_LE(u, 2u) << value;
    Press(v, VK_DOWN);
    Type(v, L"D");
    value = Value(v, "t");
    size_t d = value.find('D');
    x = value.find('X');
    EXPECT_GE(d, x + 1) << value;
    EXPECT_LE(d, x + 3) << value;
}
