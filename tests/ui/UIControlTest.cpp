#include <gtest/gtest.h>
#include "UIControl.h"
#include "UIManager.h"
#include <functional>
#include <string>
#include <vector>

using namespace Veneer;

namespace {

// Opens the control's state to the tests.
class Probe : public CControlUI {
public:
    using CControlUI::m_cXY;
    using CControlUI::m_cxyBorderRound;
    using CControlUI::m_cxyFixed;
    using CControlUI::m_dwBackColor;
    using CControlUI::m_dwBackColor2;
    using CControlUI::m_dwBackColor3;
    using CControlUI::m_dwBorderColor;
    using CControlUI::m_dwFocusBorderColor;
    using CControlUI::m_mCustomAttrHash;
    using CControlUI::m_nBorderStyle;
    using CControlUI::m_rcBorderSize;
    using CControlUI::m_rcPadding;
    using CControlUI::m_bColorHSL;
    using CControlUI::m_sVirtualWnd;
    using CControlUI::m_diBk;
    using CControlUI::m_rcPaint;

    std::vector<int> events;
    std::function<void()> onDestroy;
    int doInitCalls = 0;
    ~Probe() override
    {
        if (onDestroy)
            onDestroy();
    }
    void DoEvent(tagTEventUI& event) override
    {
        events.push_back(event.Type);
        CControlUI::DoEvent(event);
    }
    void DoInit() override { doInitCalls++; }
    const wchar_t* Custom(const wchar_t* name)
    {
        CUIString* s = static_cast<CUIString*>(m_mCustomAttrHash.Find(name));
        return s ? s->GetData() : nullptr;
    }
};

// Delegate over a std::function; one per Hook object.
struct Hook {
    std::function<bool(void*)> fn;
};
bool CallHook(Hook* h, void* p) { return h->fn(p); }
class HookDelegate : public CDelegateBase {
public:
    explicit HookDelegate(Hook* h) : CDelegateBase(h, reinterpret_cast<void*>(&CallHook)) {}
    CDelegateBase* Copy() const override { return new HookDelegate(*this); }
    bool Invoke(void* param) override { return CallHook(static_cast<Hook*>(GetObj()), param); }
};

bool RectIs(const RECT& rc, LONG l, LONG t, LONG r, LONG b)
{
    return rc.left == l && rc.top == t && rc.right == r && rc.bottom == b;
}

tagTEventUI MakeEvent(int type)
{
    tagTEventUI e;
    ZeroMemory(&e, sizeof(e));
    e.Type = type;
    return e;
}

} // namespace

TEST(UIControl, DefaultsAndIdentity)
{
    Probe* c = new Probe;
    EXPECT_STREQ(L"Control", c->GetClass());
    EXPECT_EQ(static_cast<CControlUI*>(c), c->GetInterface(L"Control"));
    EXPECT_EQ(nullptr, c->GetInterface(L"control"));
    EXPECT_EQ(nullptr, c->GetInterface(L"IContainer"));
    EXPECT_EQ(0u, c->GetControlFlags());
    EXPECT_EQ(nullptr, c->GetNativeWindow());
    EXPECT_TRUE(c->IsVisible());
    EXPECT_TRUE(c->IsEnabled());
    EXPECT_TRUE(c->IsMouseEnabled());
    EXPECT_TRUE(c->IsKeyboardEnabled());
    EXPECT_FALSE(c->IsFocused());
    EXPECT_FALSE(c->IsFloat());
    EXPECT_TRUE(c->IsUpdateNeeded());
    EXPECT_EQ(9999, c->GetMaxWidth());
    EXPECT_EQ(9999, c->GetMaxHeight());
    EXPECT_EQ(300, c->GetToolTipWidth());
    EXPECT_EQ(PS_SOLID, c->m_nBorderStyle);
    EXPECT_TRUE(c->Activate());
    c->SetEnabled(false);
    EXPECT_FALSE(c->Activate());
    SIZE avail = {500, 500};
    c->SetFixedWidth(30);
    SIZE est = c->EstimateSize(avail);
    EXPECT_EQ(30, est.cx);
    EXPECT_EQ(0, est.cy);
    EXPECT_TRUE(c->GetAttribute(L"name").IsEmpty());
    EXPECT_TRUE(c->GetAttributeList().IsEmpty());
    c->Delete();  // no manager: nothing to tell
}

TEST(UIControl, AttributeTable)
{
    struct Case {
        const wchar_t* name;
        const wchar_t* value;
        std::function<void(Probe&)> check;
    } cases[] = {
        {L"pos", L"10,20,110,70", [](Probe& c) {
             EXPECT_EQ(10, c.m_cXY.cx); EXPECT_EQ(20, c.m_cXY.cy);
             EXPECT_EQ(100, c.GetFixedWidth()); EXPECT_EQ(50, c.GetFixedHeight()); }},
        {L"padding", L"1,2,3,4", [](Probe& c) { EXPECT_TRUE(RectIs(c.GetPadding(), 1, 2, 3, 4)); }},
        {L"bkcolor", L"#FFFFFFFF", [](Probe& c) { EXPECT_EQ(0xFFFFFFFFu, c.m_dwBackColor); }},
        {L"bkcolor", L" #FF102030", [](Probe& c) { EXPECT_EQ(0xFF102030u, c.m_dwBackColor); }},
        {L"bkcolor1", L"FF00FF00", [](Probe& c) { EXPECT_EQ(0xFF00FF00u, c.m_dwBackColor); }},
        {L"bkcolor2", L"\t#80112233", [](Probe& c) { EXPECT_EQ(0x80112233u, c.m_dwBackColor2); }},
        {L"bkcolor3", L"#zz", [](Probe& c) { EXPECT_EQ(0u, c.m_dwBackColor3); }},
        {L"bordercolor", L"#FF0000FF", [](Probe& c) { EXPECT_EQ(0xFF0000FFu, c.m_dwBorderColor); }},
        {L"bordercolor", L" #FF0000FF", [](Probe& c) { EXPECT_EQ(0u, c.m_dwBorderColor); }},
        {L"focusbordercolor", L"#FF00FF00", [](Probe& c) { EXPECT_EQ(0xFF00FF00u, c.m_dwFocusBorderColor); }},
        {L"colorhsl", L"true", [](Probe& c) { EXPECT_TRUE(c.m_bColorHSL); }},
        {L"colorhsl", L"TRUE", [](Probe& c) { EXPECT_FALSE(c.m_bColorHSL); }},
        {L"bordersize", L"2", [](Probe& c) { EXPECT_TRUE(RectIs(c.m_rcBorderSize, 2, 2, 2, 2)); }},
        {L"bordersize", L"1,0,1,0", [](Probe& c) { EXPECT_TRUE(RectIs(c.m_rcBorderSize, 1, 0, 1, 0)); }},
        {L"borderstyle", L"2", [](Probe& c) { EXPECT_EQ(2, c.m_nBorderStyle); }},
        {L"borderround", L"5,6", [](Probe& c) {
             EXPECT_EQ(5, c.m_cxyBorderRound.cx); EXPECT_EQ(6, c.m_cxyBorderRound.cy); }},
        {L"width", L"40", [](Probe& c) { EXPECT_EQ(40, c.GetFixedWidth()); }},
        {L"height", L" 41px", [](Probe& c) { EXPECT_EQ(41, c.GetFixedHeight()); }},
        {L"width", L"-5", [](Probe& c) { EXPECT_EQ(0, c.GetFixedWidth()); }},
        {L"minwidth", L"12", [](Probe& c) { EXPECT_EQ(12, c.GetMinWidth()); }},
        {L"minheight", L"13", [](Probe& c) { EXPECT_EQ(13, c.GetMinHeight()); }},
        {L"maxwidth", L"14", [](Probe& c) { EXPECT_EQ(14, c.GetMaxWidth()); }},
        {L"maxheight", L"15", [](Probe& c) { EXPECT_EQ(15, c.GetMaxHeight()); }},
        {L"name", L"btnClose", [](Probe& c) { EXPECT_STREQ(L"btnClose", c.GetName()); }},
        {L"text", L"\u5173\u95ed", [](Probe& c) { EXPECT_STREQ(L"\u5173\u95ed", c.GetText()); }},
        {L"tooltip", L"one<n>two", [](Probe& c) { EXPECT_STREQ(L"one\r\ntwo", c.GetToolTip()); }},
        {L"userdata", L"ud", [](Probe& c) { EXPECT_STREQ(L"ud", c.GetUserData()); }},
        {L"tag", L"77", [](Probe& c) { EXPECT_EQ(77u, c.GetTag()); }},
        {L"enabled", L"false", [](Probe& c) { EXPECT_FALSE(c.IsEnabled()); }},
        {L"enabled", L"True", [](Probe& c) { EXPECT_FALSE(c.IsEnabled()); }},
        {L"mouse", L"false", [](Probe& c) { EXPECT_FALSE(c.IsMouseEnabled()); }},
        {L"keyboard", L"no", [](Probe& c) { EXPECT_FALSE(c.IsKeyboardEnabled()); }},
        {L"visible", L"false", [](Probe& c) { EXPECT_FALSE(c.IsVisible()); }},
        {L"visible", L"true", [](Probe& c) { EXPECT_TRUE(c.IsVisible()); }},
        {L"float", L"true", [](Probe& c) {
             EXPECT_TRUE(c.IsFloat()); EXPECT_EQ(0.0, c.GetFloatPercent().left); }},
        {L"float", L"0.5,0,0.5,0", [](Probe& c) {
             EXPECT_TRUE(c.IsFloat());
             TPercentInfo p = c.GetFloatPercent();
             EXPECT_EQ(0.5, p.left); EXPECT_EQ(0.0, p.top); EXPECT_EQ(0.5, p.right); EXPECT_EQ(0.0, p.bottom); }},
        {L"shortcut", L"Save", [](Probe& c) { EXPECT_EQ(L'S', c.GetShortcut()); }},
        {L"menu", L"true", [](Probe& c) { EXPECT_TRUE(c.IsContextMenuUsed()); }},
        {L"virtualwnd", L"page1", [](Probe& c) { EXPECT_STREQ(L"page1", c.GetVirtualWnd()); }},
        {L"Width", L"40", [](Probe& c) {
             EXPECT_EQ(0, c.GetFixedWidth()); EXPECT_STREQ(L"40", c.Custom(L"Width")); }},
        {L"mykey", L"v", [](Probe& c) { EXPECT_STREQ(L"v", c.Custom(L"mykey")); }},
    };
    for (auto& t : cases) {
        Probe* c = new Probe;
        c->SetAttribute(t.name, t.value);
        SCOPED_TRACE(testing::Message() << "attribute " << std::wstring(t.name).c_str());
        t.check(*c);
        c->Delete();
    }
}

TEST(UIControl, PositionalValuesStopAtTheEnd)
{
    struct Case {
        const wchar_t* name;
        const wchar_t* value;
        std::function<void(Probe&)> check;
    } cases[] = {
        {L"pos", L"10,20", [](Probe& c) {
             EXPECT_EQ(10, c.m_cXY.cx); EXPECT_EQ(20, c.m_cXY.cy);
             EXPECT_EQ(0, c.GetFixedWidth()); EXPECT_EQ(0, c.GetFixedHeight()); }},
        {L"pos", L"", [](Probe& c) { EXPECT_EQ(0, c.m_cXY.cx); EXPECT_EQ(0, c.GetFixedWidth()); }},
        {L"pos", L"5,", [](Probe& c) { EXPECT_EQ(5, c.m_cXY.cx); EXPECT_EQ(0, c.m_cXY.cy); }},
        {L"padding", L"7", [](Probe& c) { EXPECT_TRUE(RectIs(c.GetPadding(), 7, 0, 0, 0)); }},
        {L"bordersize", L"1,2", [](Probe& c) { EXPECT_TRUE(RectIs(c.m_rcBorderSize, 1, 2, 0, 0)); }},
        {L"bordersize", L",", [](Probe& c) { EXPECT_TRUE(RectIs(c.m_rcBorderSize, 0, 0, 0, 0)); }},
        {L"borderround", L"3", [](Probe& c) {
             EXPECT_EQ(3, c.m_cxyBorderRound.cx); EXPECT_EQ(0, c.m_cxyBorderRound.cy); }},
        {L"float", L"0.25,", [](Probe& c) {
             EXPECT_TRUE(c.IsFloat());
             TPercentInfo p = c.GetFloatPercent();
             EXPECT_EQ(0.25, p.left); EXPECT_EQ(0.0, p.top); EXPECT_EQ(0.0, p.right); EXPECT_EQ(0.0, p.bottom); }},
        {L"pos", L"abc", [](Probe& c) { EXPECT_EQ(0, c.m_cXY.cx); EXPECT_EQ(0, c.GetFixedHeight()); }},
    };
    for (auto& t : cases) {
        // The value sits at the very end of a heap block of its own size.
        size_t n = wcslen(t.value) + 1;
        std::unique_ptr<wchar_t[]> exact(new wchar_t[n]);
        wmemcpy(exact.get(), t.value, n);
        Probe* c = new Probe;
        c->SetAttribute(t.name, exact.get());
        SCOPED_TRACE(testing::Message() << std::wstring(t.name).c_str() << "=" << std::wstring(t.value).c_str());
        t.check(*c);
        c->Delete();
    }
}

TEST(UIControl, AttributeList)
{
    struct Case {
        const wchar_t* list;
        const wchar_t* name;
        const wchar_t* text;
        int width;
    } cases[] = {
        {L"name=\"a\" text=\"b\" width=\"5\"", L"a", L"b", 5},
        {L"name=\"a\"  text=\"b\"", L"a", L"", 0},          // two blanks: the second pair is not read as "text"
        {L"name=\"a\",text=\"b\"", L"a", L"", 0},
        {L"name=\"a\" text=\"unclosed", L"a", L"", 0},
        {L"name=\"a\" text", L"a", L"", 0},                  // no "="
        {L"name=a\" text=\"b\"", L"", L"", 0},               // no quote after "="
        {L"name=\"a\" ", L"a", L"", 0},
        {L"", L"", L"", 0},
        {L"text=\"\" name=\"x\"", L"x", L"", 0},
    };
    for (auto& t : cases) {
        size_t n = wcslen(t.list) + 1;
        std::unique_ptr<wchar_t[]> exact(new wchar_t[n]);
        wmemcpy(exact.get(), t.list, n);
        Probe* c = new Probe;
        c->SetAttributeList(exact.get());
        SCOPED_TRACE(testing::Message() << std::wstring(t.list).c_str());
        EXPECT_STREQ(t.name, c->GetName());
        EXPECT_STREQ(t.text, c->GetText());
        EXPECT_EQ(t.width, c->GetFixedWidth());
        EXPECT_EQ(nullptr, c->Custom(L"text"));
        c->Delete();
    }
    Probe* c = new Probe;
    c->SetAttributeList(NULL);
    c->Delete();
}

TEST(UIControl, CustomAttributesAndSizes)
{
    Probe* c = new Probe;
    c->AddCustomAttribute(L"k", L"first");
    c->AddCustomAttribute(L"k", L"second");
    c->AddCustomAttribute(L"", L"x");
    c->AddCustomAttribute(L"e", L"");
    c->AddCustomAttribute(NULL, L"x");
    EXPECT_STREQ(L"first", c->Custom(L"k"));
    EXPECT_EQ(nullptr, c->Custom(L"e"));
    EXPECT_EQ(1, c->m_mCustomAttrHash.GetSize());
    c->ClearCustomAttributes();
    EXPECT_EQ(0, c->m_mCustomAttrHash.GetSize());
    c->AddCustomAttribute(L"k", L"again");
    EXPECT_STREQ(L"again", c->Custom(L"k"));

    c->SetMinWidth(50);
    c->SetMaxWidth(20);
    EXPECT_EQ(50, c->GetMaxWidth());
    c->SetMinHeight(-1);
    EXPECT_EQ(0, c->GetMinHeight());
    c->SetMaxHeight(-1);
    EXPECT_EQ(9999, c->GetMaxHeight());
    c->SetFixedHeight(-3);
    EXPECT_EQ(0, c->GetFixedHeight());
    c->Delete();  // the custom value left goes with the control
}

TEST(UIControl, DelegatesAroundInitEventAndDestroy)
{
    Probe* c = new Probe;
    std::vector<std::string> log;
    Hook init{[&](void* p) { log.push_back(p == c ? "init" : "?"); return true; }};
    Hook swallow{[&](void* p) {
        auto* e = static_cast<tagTEventUI*>(p);
        log.push_back("event" + std::to_string(e->Type));
        return e->Type != UIEVENT_BUTTONDOWN;
    }};
    Hook destroy{[&](void* p) { log.push_back(p == c ? "destroy" : "?"); return true; }};
    c->OnInit += HookDelegate(&init);
    c->OnEvent += HookDelegate(&swallow);
    c->OnDestroy += HookDelegate(&destroy);

    c->Init();
    EXPECT_EQ(1, c->doInitCalls);
    tagTEventUI down = MakeEvent(UIEVENT_BUTTONDOWN);
    c->Event(down);
    EXPECT_TRUE(c->events.empty());  // swallowed
    tagTEventUI focus = MakeEvent(UIEVENT_SETFOCUS);
    c->Event(focus);
    EXPECT_EQ(std::vector<int>{UIEVENT_SETFOCUS}, c->events);
    EXPECT_TRUE(c->IsFocused());
    tagTEventUI kill = MakeEvent(UIEVENT_KILLFOCUS);
    c->Event(kill);
    EXPECT_FALSE(c->IsFocused());

    // SetManager initialises only a control with a parent.
    Probe* parent = new Probe;
    c->SetManager(NULL, NULL, true);
    EXPECT_EQ(1, c->doInitCalls);
    c->SetManager(NULL, parent, true);
    EXPECT_EQ(2, c->doInitCalls);
    EXPECT_EQ(parent, c->GetParent());
    c->SetManager(NULL, parent, false);
    EXPECT_EQ(2, c->doInitCalls);

    // Events a control does not handle go to its parent.
    tagTEventUI move = MakeEvent(UIEVENT_MOUSEMOVE);
    c->Event(move);
    EXPECT_EQ(std::vector<int>{UIEVENT_MOUSEMOVE}, parent->events);
    tagTEventUI menu = MakeEvent(UIEVENT_CONTEXTMENU);
    c->DoEvent(menu);
    EXPECT_EQ(UIEVENT_CONTEXTMENU, parent->events.back());
    size_t before = parent->events.size();
    c->SetContextMenuUsed(true);
    c->DoEvent(menu);  // becomes a notification, not passed on
    EXPECT_EQ(before, parent->events.size());

    c->Delete();
    parent->Delete();
    EXPECT_EQ((std::vector<std::string>{"init", "event13", "event21", "event20", "init", "event9", "destroy"}), log);
}

TEST(UIControl, VisibilityAndCover)
{
    Probe* c = new Probe;
    Probe* cover = new Probe;
    bool coverGone = false;
    cover->onDestroy = [&] { coverGone = true; };
    c->SetCover(cover);
    EXPECT_EQ(cover, c->GetCover());
    c->SetVisible(false);
    EXPECT_FALSE(c->IsVisible());
    EXPECT_FALSE(cover->IsVisible());  // inner visibility follows
    c->SetVisible(true);
    EXPECT_TRUE(cover->IsVisible());
    c->SetInternVisible(false);
    EXPECT_FALSE(c->IsVisible());
    EXPECT_FALSE(cover->IsVisible());
    c->SetInternVisible(true);

    RECT rc = {10, 10, 60, 40};
    cover->SetMaxWidth(30);
    c->SetPos(rc, false);
    // Without a manager the layout stops after the item rectangle.
    EXPECT_TRUE(RectIs(c->GetPos(), 10, 10, 60, 40));

    SIZE off = {5, -5};
    c->Move(off, false);
    EXPECT_TRUE(RectIs(c->GetPos(), 15, 5, 65, 35));

    // Replacing the cover deletes the old one.
    c->SetCover(NULL);
    EXPECT_TRUE(coverGone);
    Probe* cover2 = new Probe;
    bool cover2Gone = false;
    cover2->onDestroy = [&] { cover2Gone = true; };
    c->SetCover(cover2);
    c->Delete();
    EXPECT_TRUE(cover2Gone);
}

TEST(UIControl, FloatPositionAndRelativePos)
{
    Probe* parent = new Probe;
    Probe* c = new Probe;
    RECT prc = {100, 50, 300, 150};  // 200 x 100
    parent->SetPos(prc, false);
    c->SetManager(NULL, parent, false);
    EXPECT_TRUE(RectIs(c->GetRelativePos(), -100, -50, -100, -50));

    c->SetAttribute(L"float", L"0.5,0.25,0.5,0.25");
    RECT rc = {110, 30, 150, 60};
    c->SetPos(rc, false);
    EXPECT_TRUE(RectIs(c->GetPos(), 210, 80, 250, 110));
    // Fixed values are derived back: pl = 100, pt = 25, pr = 100, pb = 25.
    EXPECT_EQ(10, c->m_cXY.cx);
    EXPECT_EQ(5, c->m_cXY.cy);
    EXPECT_EQ(40, c->GetFixedWidth());
    EXPECT_EQ(30, c->GetFixedHeight());
    EXPECT_TRUE(RectIs(c->GetRelativePos(), 110, 30, 150, 60));

    // Inverted rectangles collapse.
    Probe* d = new Probe;
    RECT bad = {50, 50, 10, 20};
    d->SetPos(bad, false);
    EXPECT_TRUE(RectIs(d->GetPos(), 50, 50, 50, 50));
    EXPECT_TRUE(RectIs(d->GetRelativePos(), 0, 0, 0, 0));
    d->Delete();
    c->Delete();
    parent->Delete();
}

namespace {
CControlUI* CALLBACK CollectAll(CControlUI* p, void* data)
{
    static_cast<std::vector<CControlUI*>*>(data)->push_back(p);
    return nullptr;
}
CControlUI* CALLBACK HitAny(CControlUI* p, void*) { return p; }
} // namespace

TEST(UIControl, FindControlFlags)
{
    Probe* c = new Probe;
    Probe* cover = new Probe;
    c->SetCover(cover);
    RECT rc = {0, 0, 100, 100};
    c->SetPos(rc, false);
    cover->SetPos(rc, false);

    std::vector<CControlUI*> seen;
    EXPECT_EQ(nullptr, c->FindControl(CollectAll, &seen, 0));
    EXPECT_EQ((std::vector<CControlUI*>{cover, c}), seen);
    seen.clear();
    c->FindControl(CollectAll, &seen, FindSelfFirst);
    EXPECT_EQ((std::vector<CControlUI*>{c, cover}), seen);

    POINT in = {50, 50}, out = {150, 50};
    EXPECT_EQ(cover, c->FindControl(HitAny, &in, FindAtPoint));
    EXPECT_EQ(c, c->FindControl(HitAny, &in, FindAtPoint | FindSelfFirst));
    EXPECT_EQ(nullptr, c->FindControl(HitAny, &out, FindAtPoint));
    c->SetMouseEnabled(false);
    EXPECT_EQ(cover, c->FindControl(HitAny, &in, FindAtPoint | FindSelfFirst));
    cover->SetMouseEnabled(false);
    EXPECT_EQ(nullptr, c->FindControl(HitAny, &in, FindAtPoint));
    EXPECT_EQ(c, c->FindControl(HitAny, &in, FindSelfFirst));  // mouse matters only for hit tests
    EXPECT_EQ(nullptr, c->FindControl(HitAny, nullptr, FindPruneMatched));

    c->SetEnabled(false);
    EXPECT_EQ(nullptr, c->FindControl(HitAny, nullptr, FindOnlyEnabled));
    c->SetVisible(false);
    EXPECT_EQ(nullptr, c->FindControl(HitAny, nullptr, FindOnlyVisible));
    EXPECT_EQ(c, c->FindControl(HitAny, nullptr, FindSelfFirst));
    c->Delete();
}

TEST(UIControl, VirtualWindowFromAncestors)
{
    Probe* root = new Probe;
    Probe* mid = new Probe;
    Probe* leaf = new Probe;
    mid->SetManager(NULL, root, false);
    leaf->SetManager(NULL, mid, false);
    EXPECT_TRUE(leaf->GetVirtualWnd().IsEmpty());
    root->SetVirtualWnd(L"main");
    EXPECT_STREQ(L"main", leaf->GetVirtualWnd());
    mid->SetAttribute(L"virtualwnd", L"page");
    EXPECT_STREQ(L"page", leaf->GetVirtualWnd());
    leaf->Delete();
    mid->Delete();
    root->Delete();
}

// ---------------------------------------------------------------------------------------------
// Painting into a 32-bit memory bitmap.

namespace {

class Canvas {
public:
    Canvas(int w, int h) : w_(w), h_(h)
    {
        BITMAPINFO bmi = {};
        bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        bmi.bmiHeader.biWidth = w;
        bmi.bmiHeader.biHeight = -h;
        bmi.bmiHeader.biPlanes = 1;
        bmi.bmiHeader.biBitCount = 32;
        bmi.bmiHeader.biCompression = BI_RGB;
        dc_ = ::CreateCompatibleDC(NULL);
        bmp_ = ::CreateDIBSection(dc_, &bmi, DIB_RGB_COLORS, reinterpret_cast<void**>(&bits_), NULL, 0);
        old_ = ::SelectObject(dc_, bmp_);
        ZeroMemory(bits_, (size_t)w * h * 4);
    }
    ~Canvas()
    {
        ::SelectObject(dc_, old_);
        ::DeleteObject(bmp_);
        ::DeleteDC(dc_);
    }
    HDC dc() const { return dc_; }
    DWORD At(int x, int y)
    {
        ::GdiFlush();
        return bits_[y * w_ + x] & 0x00FFFFFF;  // GDI leaves the alpha byte undefined
    }
    int CountColored(int x0, int y0, int x1, int y1)
    {
        int n = 0;
        for (int y = y0; y < y1; y++)
            for (int x = x0; x < x1; x++)
                if (At(x, y) != 0)
                    n++;
        return n;
    }

private:
    int w_, h_;
    HDC dc_;
    HBITMAP bmp_;
    HGDIOBJ old_;
    DWORD* bits_;
};

} // namespace

TEST(UIControlPaint, StopControlAndOnPaint)
{
    Canvas cv(50, 50);
    Probe* c = new Probe;
    RECT rc = {0, 0, 50, 50};
    c->SetPos(rc, false);
    c->SetBkColor(0xFFFF0000);
    EXPECT_FALSE(c->Paint(cv.dc(), rc, c));
    EXPECT_EQ(0, cv.CountColored(0, 0, 50, 50));

    Hook skip{[](void*) { return false; }};
    c->OnPaint += HookDelegate(&skip);
    EXPECT_TRUE(c->Paint(cv.dc(), rc, NULL));
    EXPECT_EQ(0, cv.CountColored(0, 0, 50, 50));

    Probe* d = new Probe;
    d->SetPos(rc, false);
    d->SetBkColor(0xFFFF0000);
    RECT away = {60, 60, 70, 70};
    EXPECT_TRUE(d->Paint(cv.dc(), away, NULL));
    EXPECT_TRUE(::IsRectEmpty(&d->m_rcPaint));
    EXPECT_EQ(0, cv.CountColored(0, 0, 50, 50));
    EXPECT_TRUE(d->Paint(cv.dc(), rc, NULL));
    EXPECT_EQ(0xFF0000u, cv.At(25, 25));
    c->Delete();
    d->Delete();
}

TEST(UIControlPaint, OpaqueFillsPaintRectTranslucentFillsItem)
{
    struct Case { DWORD colour; int want; } cases[] = {{0xFF00FF00, 10 * 10}, {0x8000FF00, 40 * 40}};
    for (auto& t : cases) {
        Canvas cv(60, 60);
        Probe* c = new Probe;
        RECT item = {10, 10, 50, 50};
        c->SetPos(item, false);
        c->SetBkColor(t.colour);
        RECT paint = {10, 10, 20, 20};
        EXPECT_TRUE(c->Paint(cv.dc(), paint, NULL));
        EXPECT_EQ(t.want, cv.CountColored(0, 0, 60, 60)) << std::hex << t.colour;
        c->Delete();
    }
}

TEST(UIControlPaint, GradientAndBorders)
{
    {
        Canvas cv(40, 40);
        Probe* c = new Probe;
        RECT item = {0, 0, 40, 40};
        c->SetPos(item, false);
        c->SetAttribute(L"bkcolor", L"#FFFF0000");
        c->SetAttribute(L"bkcolor2", L"#FF0000FF");
        EXPECT_TRUE(c->Paint(cv.dc(), item, NULL));
        DWORD top = cv.At(20, 0), bottom = cv.At(20, 39);
        EXPECT_GT((top >> 16) & 0xFF, (bottom >> 16) & 0xFF);   // red fades out downwards
        EXPECT_LT(top & 0xFF, bottom & 0xFF);                    // blue grows
        c->Delete();
    }
    struct Case { const wchar_t* size; const wchar_t* colour; bool left, top, right, bottom; } cases[] = {
        {L"1", L"#FFFFFFFF", true, true, true, true},
        {L"1,0,1,0", L"#FFFFFFFF", true, false, true, false},
        {L"0,2,0,0", L"#FFFFFFFF", false, true, false, false},
        {L"1", L" #FFFFFFFF", false, false, false, false},   // leading blank: no colour, no border
        {L"0", L"#FFFFFFFF", false, false, false, false},
    };
    for (auto& t : cases) {
        Canvas cv(40, 40);
        Probe* c = new Probe;
        RECT item = {5, 5, 35, 35};
        c->SetPos(item, false);
        c->SetAttribute(L"bordersize", t.size);
        c->SetAttribute(L"bordercolor", t.colour);
        EXPECT_TRUE(c->Paint(cv.dc(), item, NULL));
        SCOPED_TRACE(testing::Message() << std::wstring(t.size).c_str() << " / " << std::wstring(t.colour).c_str());
        EXPECT_EQ(t.left, cv.At(5, 20) != 0);
        EXPECT_EQ(t.top, cv.At(20, 5) != 0 || cv.At(20, 6) != 0);
        EXPECT_EQ(t.right, cv.At(34, 20) != 0);
        EXPECT_EQ(t.bottom, cv.At(20, 34) != 0);
        EXPECT_EQ(0u, cv.At(20, 20));
        c->Delete();
    }
}

// ---------------------------------------------------------------------------------------------
// With a paint manager on a real window.

namespace {

LRESULT CALLBACK PlainWndProc(HWND h, UINT m, WPARAM w, LPARAM l) { return ::DefWindowProcW(h, m, w, l); }

class Recorder : public INotifyUI {
public:
    std::vector<std::wstring> types;
    std::vector<WPARAM> wparams;
    void Notify(TNotifyRecord& msg) override
    {
        types.push_back(msg.sType.GetData());
        wparams.push_back(msg.wParam);
    }
};

class UIControlManaged : public testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = PlainWndProc;
        wc.hInstance = ::GetModuleHandleW(NULL);
        wc.lpszClassName = L"VeneerControlTestWnd";
        ::RegisterClassW(&wc);
        hwnd_ = ::CreateWindowExW(0, wc.lpszClassName, L"t", WS_POPUP, 0, 0, 200, 200, NULL, NULL, wc.hInstance, NULL);
        ASSERT_NE(nullptr, hwnd_);
        pm_ = new CPaintManagerUI;
        pm_->Init(hwnd_);
        pm_->AddNotifier(&rec_);
    }
    void TearDown() override
    {
        delete pm_;
        if (hwnd_)
            ::DestroyWindow(hwnd_);
    }
    HWND hwnd_ = NULL;
    CPaintManagerUI* pm_ = nullptr;
    Recorder rec_;
};

} // namespace

TEST_F(UIControlManaged, SetNameMakesFindableByNewNameOnly)
{
    Probe* root = new Probe;
    root->SetName(L"old");
    ASSERT_TRUE(pm_->AttachDialog(root));
    EXPECT_EQ(root, pm_->FindControl(L"old"));
    root->SetName(L"new");
    EXPECT_STREQ(L"new", root->GetName());
    EXPECT_EQ(root, pm_->FindControl(L"new"));
    EXPECT_EQ(nullptr, pm_->FindControl(L"old"));
    root->SetAttribute(L"name", L"third");
    EXPECT_EQ(root, pm_->FindControl(L"third"));
    EXPECT_EQ(nullptr, pm_->FindControl(L"new"));
    root->SetName(L"third");  // unchanged
    EXPECT_EQ(root, pm_->FindControl(L"third"));
}

TEST_F(UIControlManaged, EventsBecomeNotifications)
{
    Probe* root = new Probe;
    ASSERT_TRUE(pm_->AttachDialog(root));
    tagTEventUI timer = MakeEvent(UIEVENT_TIMER);
    timer.wParam = 10;
    root->Event(timer);
    tagTEventUI menu = MakeEvent(UIEVENT_CONTEXTMENU);
    root->Event(menu);  // menu not used: nothing
    root->SetAttribute(L"menu", L"true");
    root->Event(menu);
    EXPECT_EQ((std::vector<std::wstring>{L"timer", L"menu"}), rec_.types);
    ASSERT_FALSE(rec_.wparams.empty());
    EXPECT_EQ(10u, rec_.wparams[0]);

    tagTEventUI cursor = MakeEvent(UIEVENT_SETCURSOR);
    root->Event(cursor);
    EXPECT_EQ(2u, rec_.types.size());
}

TEST_F(UIControlManaged, HidingTheFocusClearsIt)
{
    Probe* root = new Probe;
    ASSERT_TRUE(pm_->AttachDialog(root));
    Probe* child = new Probe;
    pm_->InitControls(child, root);
    EXPECT_EQ(root, child->GetParent());
    child->SetFocus();
    EXPECT_EQ(child, pm_->GetFocus());
    EXPECT_TRUE(child->IsFocused());
    child->SetVisible(false);
    EXPECT_EQ(nullptr, pm_->GetFocus());
    EXPECT_FALSE(child->IsFocused());
    child->Delete();  // tells the manager and forgets itself
    EXPECT_EQ(nullptr, pm_->GetFocus());
}

TEST_F(UIControlManaged, SizeListenerAndUpdateFlag)
{
    Probe* root = new Probe;
    ASSERT_TRUE(pm_->AttachDialog(root));
    int sizes = 0;
    Hook onSize{[&](void* p) {
        sizes++;
        RECT again = {0, 0, 10, 10};
        static_cast<CControlUI*>(p)->SetPos(again, false);  // re-entry is guarded
        return true;
    }};
    root->OnSize += HookDelegate(&onSize);
    EXPECT_TRUE(root->IsUpdateNeeded());
    RECT rc = {0, 0, 100, 100};
    root->SetPos(rc, true);
    EXPECT_EQ(1, sizes);
    EXPECT_FALSE(root->IsUpdateNeeded());
    root->NeedUpdate();
    EXPECT_TRUE(root->IsUpdateNeeded());
}

TEST_F(UIControlManaged, FloatControlTakesItsImageSize)
{
    wchar_t dir[MAX_PATH];
    ::GetTempPathW(MAX_PATH, dir);
    std::wstring folder = std::wstring(dir) + L"veneer_ctrl_" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
    ::CreateDirectoryW(folder.c_str(), NULL);
    // A 100 x 100 24-bit BMP.
    std::wstring file = folder + L"img100.bmp";
    {
        const int w = 100, h = 100, stride = w * 3;
        BITMAPFILEHEADER bf = {};
        BITMAPINFOHEADER bi = {};
        bi.biSize = sizeof(bi);
        bi.biWidth = w;
        bi.biHeight = h;
        bi.biPlanes = 1;
        bi.biBitCount = 24;
        bf.bfType = 0x4D42;
        bf.bfOffBits = sizeof(bf) + sizeof(bi);
        bf.bfSize = bf.bfOffBits + stride * h;
        std::vector<BYTE> pixels((size_t)stride * h, 0x80);
        HANDLE f = ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        ASSERT_NE(INVALID_HANDLE_VALUE, f);
        DWORD n;
        ::WriteFile(f, &bf, sizeof(bf), &n, NULL);
        ::WriteFile(f, &bi, sizeof(bi), &n, NULL);
        ::WriteFile(f, pixels.data(), (DWORD)pixels.size(), &n, NULL);
        ::CloseHandle(f);
    }
    CPaintManagerUI::SetResourcePath(folder.c_str());

    Probe* root = new Probe;
    ASSERT_TRUE(pm_->AttachDialog(root));
    Probe* fl = new Probe;
    pm_->InitControls(fl, root);
    fl->SetAttribute(L"float", L"true");
    fl->SetAttribute(L"bkimage", L"img100.bmp");
    EXPECT_EQ(100, fl->GetFixedWidth());
    EXPECT_EQ(100, fl->GetFixedHeight());

    Probe* sized = new Probe;
    pm_->InitControls(sized, root);
    sized->SetAttribute(L"float", L"true");
    sized->SetAttribute(L"width", L"20");
    sized->SetAttribute(L"bkimage", L"file='img100.bmp'");
    EXPECT_EQ(20, sized->GetFixedWidth());
    EXPECT_EQ(0, sized->GetFixedHeight());

    Probe* notFloat = new Probe;
    pm_->InitControls(notFloat, root);
    notFloat->SetAttribute(L"bkimage", L"img100.bmp");
    EXPECT_EQ(0, notFloat->GetFixedWidth());
    EXPECT_NE(nullptr, notFloat->m_diBk.pImage);

    fl->Delete();
    sized->Delete();
    notFloat->Delete();
    CPaintManagerUI::SetResourcePath(L"");
    ::DeleteFileW(file.c_str());
    ::RemoveDirectoryW(folder.c_str());
}
