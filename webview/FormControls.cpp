#include "FormControls.h"

#include <algorithm>
#include <map>

#include "Forms.h"
#include "Layout.h"
#include "RenderTree.h"
#include "Text.h"

namespace webview {

namespace {

const COLORREF kEdge = RGB(0x76, 0x76, 0x76);
const COLORREF kAccent = RGB(0x00, 0x75, 0xFF);
const COLORREF kPlaceholder = RGB(0x75, 0x75, 0x75);
const COLORREF kSelection = RGB(0x33, 0x90, 0xFF);
const COLORREF kFocusRing = RGB(0x00, 0x5F, 0xCC);
const int kCheckSize = 13;
// Room beside a text field's characters, and a textarea's for its scroll bar, as browsers leave it.
const int kFieldExtra = 14;
const int kAreaExtra = 15;
// A closed select's room for its arrow and its height beyond a line; a list box's side padding.
const int kArrowRoom = 19;
const int kSelectExtraHeight = 2;
const int kListPadding = 4;
// A file input's width in average characters; its height beyond a line (its button's frame).
const int kFileChars = 27;
const int kFileExtraHeight = 6;

COLORREF Gdi(uint32_t argb) {
    return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}

void Fill(HDC dc, const RECT& rc, COLORREF c) {
    if (rc.right <= rc.left || rc.bottom <= rc.top) return;
    HBRUSH b = CreateSolidBrush(c);
    FillRect(dc, &rc, b);
    DeleteObject(b);
}

void FillArgb(HDC dc, const RECT& rc, uint32_t argb) {
    if (argb >> 24) Fill(dc, rc, Gdi(argb));
}

// The faces the layout measures with (FontCache), kept here for painting.
HFONT Font(int size, bool bold) {
    static std::map<int, HFONT> fonts;
    int key = size * 2 + (bold ? 1 : 0);
    auto it = fonts.find(key);
    if (it != fonts.end()) return it->second;
    HFONT f = CreateFontW(-size, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                          OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, L"Microsoft YaHei");
    fonts[key] = f;
    return f;
}

int TextWidth(HDC dc, const std::wstring& s, size_t n) {
    if (!n) return 0;
    SIZE sz{};
    GetTextExtentPoint32W(dc, s.c_str(), (int)std::min(n, s.size()), &sz);
    return sz.cx;
}

// The font's average character width as its OS/2 table gives it (what browsers size fields by),
// unrounded; the text metrics' rounded value when the table cannot be read.
double AverageCharWidth(HDC dc, int size) {
    const DWORD os2 = 0x322F534F, head = 0x64616568;  // 'OS/2', 'head' as GetFontData wants them
    unsigned char b[2] = {0, 0};
    if (GetFontData(dc, os2, 2, b, 2) == 2) {
        int avg = (b[0] << 8) | b[1];
        if (GetFontData(dc, head, 18, b, 2) == 2) {
            int upem = (b[0] << 8) | b[1];
            if (avg > 0 && upem > 0) return avg * (double)size / upem;
        }
    }
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    return tm.tmAveCharWidth;
}

int SizeAttr(dom_node* n, const char* attr, int fallback) {
    long v = strtol(dom::Attr(n, attr).c_str(), nullptr, 10);
    return v > 0 && v < 10000 ? (int)v : fallback;
}

bool IsListBox(dom_node* n) {
    std::string v;
    return dom::GetAttr(n, "multiple", &v) || SizeAttr(n, "size", 1) > 1;
}

// The text a button shows.
std::wstring ButtonLabel(dom_node* n, ControlKind k) {
    std::string v;
    if (dom::GetAttr(n, "value", &v)) return Utf8ToWide(v);
    if (k == ControlKind::Submit) return L"Submit";
    if (k == ControlKind::Reset) return L"Reset";
    return L"";
}

const wchar_t kFileButton[] = L"Choose File";
const wchar_t kFileNone[] = L"No file chosen";

// Content edge of a border box: borders and padding taken off.
RECT ContentOf(const RECT& rc, const Style& s) {
    const Edges p = s.padding.Resolve(0);
    return RECT{rc.left + s.border.left + p.left, rc.top + s.border.top + p.top, rc.right - s.border.right - p.right,
                rc.bottom - s.border.bottom - p.bottom};
}

void Frame(HDC dc, const RECT& rc, const Style& s) {
    FillArgb(dc, rc, s.background);
    const Edges& e = s.border;
    // The fields' default inset and outset borders are drawn as browsers draw controls today: a
    // thin line, the rest of the border's width left to the background.
    bool beveled = true;
    for (int i = 0; i < 4; ++i)
        beveled = beveled && (s.borderStyle[i] == BorderStyle::Inset || s.borderStyle[i] == BorderStyle::Outset);
    if (beveled && e.top > 0 && e.right > 0 && e.bottom > 0 && e.left > 0) {
        FillArgb(dc, RECT{rc.left, rc.top, rc.right, rc.top + 1}, s.borderColors[0]);
        FillArgb(dc, RECT{rc.right - 1, rc.top, rc.right, rc.bottom}, s.borderColors[1]);
        FillArgb(dc, RECT{rc.left, rc.bottom - 1, rc.right, rc.bottom}, s.borderColors[2]);
        FillArgb(dc, RECT{rc.left, rc.top, rc.left + 1, rc.bottom}, s.borderColors[3]);
        return;
    }
    FillArgb(dc, RECT{rc.left, rc.top, rc.right, rc.top + e.top}, s.borderColors[0]);
    FillArgb(dc, RECT{rc.right - e.right, rc.top, rc.right, rc.bottom}, s.borderColors[1]);
    FillArgb(dc, RECT{rc.left, rc.bottom - e.bottom, rc.right, rc.bottom}, s.borderColors[2]);
    FillArgb(dc, RECT{rc.left, rc.top, rc.left + e.left, rc.bottom}, s.borderColors[3]);
}

void Line(HDC dc, int x1, int y1, int x2, int y2, COLORREF c, int width) {
    HPEN pen = CreatePen(PS_SOLID, width, c);
    HGDIOBJ old = SelectObject(dc, pen);
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
    SelectObject(dc, old);
    DeleteObject(pen);
}

void Check(HDC dc, const RECT& rc, bool checked, bool radio, bool disabled) {
    RECT b{rc.left, rc.top, rc.left + kCheckSize, rc.top + kCheckSize};
    COLORREF edge = disabled ? RGB(0xC0, 0xC0, 0xC0) : checked ? kAccent : kEdge;
    if (radio) {
        HBRUSH white = CreateSolidBrush(RGB(255, 255, 255));
        HPEN pen = CreatePen(PS_SOLID, 1, edge);
        HGDIOBJ ob = SelectObject(dc, white), op = SelectObject(dc, pen);
        Ellipse(dc, b.left, b.top, b.right, b.bottom);
        SelectObject(dc, ob);
        DeleteObject(white);
        if (checked) {
            HBRUSH dot = CreateSolidBrush(edge);
            SelectObject(dc, dot);
            Ellipse(dc, b.left + 3, b.top + 3, b.right - 3, b.bottom - 3);
            SelectObject(dc, ob);
            DeleteObject(dot);
        }
        SelectObject(dc, op);
        DeleteObject(pen);
        return;
    }
    Fill(dc, b, edge);
    RECT inner{b.left + 1, b.top + 1, b.right - 1, b.bottom - 1};
    if (!checked) {
        Fill(dc, inner, RGB(255, 255, 255));
        return;
    }
    Line(dc, b.left + 3, b.top + 6, b.left + 5, b.top + 9, RGB(255, 255, 255), 2);
    Line(dc, b.left + 5, b.top + 9, b.left + 10, b.top + 3, RGB(255, 255, 255), 2);
}

void Arrow(HDC dc, const RECT& content, COLORREF c) {
    int cx = content.right - 8, cy = (content.top + content.bottom) / 2;
    POINT pts[3] = {{cx - 4, cy - 2}, {cx + 4, cy - 2}, {cx, cy + 2}};
    HBRUSH br = CreateSolidBrush(c);
    HPEN pen = CreatePen(PS_SOLID, 1, c);
    HGDIOBJ ob = SelectObject(dc, br), op = SelectObject(dc, pen);
    Polygon(dc, pts, 3);
    SelectObject(dc, ob);
    SelectObject(dc, op);
    DeleteObject(br);
    DeleteObject(pen);
}

// A single-line field: the text (or its placeholder), the selection and the caret, shifted so the
// caret stays in view.
void SingleLine(HDC dc, const RECT& content, const Box* b, const ControlState* s, ControlKind k, COLORREF color) {
    std::wstring value = s && s->valueDirty ? s->value : ControlValue(nullptr, b->node);
    std::wstring shown = k == ControlKind::Password ? std::wstring(value.size(), L'\x2022') : value;
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    int y = content.top + std::max(0, (int)(content.bottom - content.top - tm.tmHeight) / 2);
    bool focused = IsFocusedControl(b->node);
    int width = content.right - content.left;
    int scroll = 0;
    size_t caret = s ? std::min(s->caret, shown.size()) : shown.size();
    size_t anchor = s ? std::min(s->anchor, shown.size()) : caret;
    if (focused && s) {
        int cx = TextWidth(dc, shown, caret);
        scroll = s->scrollX;
        if (cx - scroll > width - 1) scroll = cx - width + 1;
        if (cx < scroll) scroll = cx;
        scroll = std::max(0, scroll);
        s->scrollX = scroll;
    }
    int x = content.left - scroll;
    if (shown.empty() && !focused) {
        std::string ph;
        if (dom::GetAttr(b->node, "placeholder", &ph)) {
            std::wstring p = Utf8ToWide(ph);
            SetTextColor(dc, kPlaceholder);
            TextOutW(dc, x, y, p.c_str(), (int)p.size());
        }
        return;
    }
    if (focused && anchor != caret) {
        size_t a = std::min(anchor, caret), e = std::max(anchor, caret);
        Fill(dc, RECT{x + TextWidth(dc, shown, a), y, x + TextWidth(dc, shown, e), y + tm.tmHeight}, kSelection);
    }
    SetTextColor(dc, color);
    TextOutW(dc, x, y, shown.c_str(), (int)shown.size());
    if (focused) {
        int cx = x + TextWidth(dc, shown, caret);
        Fill(dc, RECT{cx, y, cx + 1, y + tm.tmHeight}, color);
    }
}

// A textarea's lines: its text broken at newlines and wrapped at the content width, each line as
// the range of the value it shows.
struct Piece {
    size_t begin, end;
};
std::vector<Piece> Wrap(HDC dc, const std::wstring& t, int width) {
    std::vector<Piece> out;
    size_t i = 0;
    for (;;) {
        size_t end = t.find(L'\n', i);
        if (end == std::wstring::npos) end = t.size();
        size_t start = i;
        while (true) {
            // The longest run from start that fits, broken after a space when one is there.
            INT fitted = 0;
            SIZE sz{};
            GetTextExtentExPointW(dc, t.c_str() + start, (int)(end - start), width, &fitted, nullptr, &sz);
            size_t fit = start + (size_t)std::max(0, fitted);
            if (fit >= end) {
                out.push_back({start, end});
                break;
            }
            if (fit == start) fit = start + 1;
            size_t brk = fit;
            for (size_t k = fit; k > start; --k)
                if (t[k - 1] == L' ') {
                    brk = k;
                    break;
                }
            out.push_back({start, brk});
            start = brk;
        }
        if (end >= t.size()) break;
        i = end + 1;
    }
    return out;
}

void MultiLine(HDC dc, const RECT& content, const Box* b, const ControlState* s, COLORREF color) {
    std::wstring value = s && s->valueDirty ? s->value : ControlValue(nullptr, b->node);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    int lh = std::max<int>(1, tm.tmHeight + tm.tmExternalLeading);
    bool focused = IsFocusedControl(b->node);
    if (value.empty() && !focused) {
        std::string ph;
        if (dom::GetAttr(b->node, "placeholder", &ph)) {
            std::wstring p = Utf8ToWide(ph);
            SetTextColor(dc, kPlaceholder);
            TextOutW(dc, content.left, content.top, p.c_str(), (int)p.size());
        }
        return;
    }
    std::vector<Piece> lines = Wrap(dc, value, std::max(1, (int)(content.right - content.left)));
    size_t caret = s ? std::min(s->caret, value.size()) : value.size();
    size_t anchor = s ? std::min(s->anchor, value.size()) : caret;
    size_t caretLine = 0;
    for (size_t i = 0; i < lines.size(); ++i)
        if (caret >= lines[i].begin && caret <= lines[i].end) caretLine = i;
    int scroll = s ? s->scrollY : 0;
    if (focused && s) {
        int top = (int)caretLine * lh, height = content.bottom - content.top;
        if (top + lh - scroll > height) scroll = top + lh - height;
        if (top < scroll) scroll = top;
        s->scrollY = scroll = std::max(0, scroll);
    }
    size_t a = std::min(anchor, caret), e = std::max(anchor, caret);
    for (size_t i = 0; i < lines.size(); ++i) {
        int y = content.top + (int)i * lh - scroll;
        if (y + lh < content.top || y > content.bottom) continue;
        std::wstring text = value.substr(lines[i].begin, lines[i].end - lines[i].begin);
        if (focused && a != e && a < lines[i].end && e > lines[i].begin) {
            size_t from = std::max(a, lines[i].begin) - lines[i].begin, to = std::min(e, lines[i].end) - lines[i].begin;
            Fill(dc, RECT{content.left + TextWidth(dc, text, from), y, content.left + TextWidth(dc, text, to), y + lh},
                 kSelection);
        }
        SetTextColor(dc, color);
        TextOutW(dc, content.left, y, text.c_str(), (int)text.size());
        if (focused && i == caretLine) {
            int cx = content.left + TextWidth(dc, text, caret - lines[i].begin);
            Fill(dc, RECT{cx, y, cx + 1, y + lh}, color);
        }
    }
}

// The index in text (drawn from x0) whose edge lies nearest x.
size_t Nearest(HDC dc, const std::wstring& text, int x0, int x) {
    size_t best = 0;
    int bestD = abs(x - x0);
    if (text.empty()) return 0;
    // Every prefix's width in one call.
    std::vector<INT> ends(text.size());
    SIZE sz{};
    INT fitted = 0;
    GetTextExtentExPointW(dc, text.c_str(), (int)text.size(), 0x7FFFFFFF, &fitted, ends.data(), &sz);
    for (size_t i = 1; i <= text.size(); ++i) {
        int d = abs(x - (x0 + ends[i - 1]));
        if (d < bestD) best = i, bestD = d;
    }
    return best;
}

}  // namespace

size_t TextIndexAt(HDC dc, const RECT& rc, const Box* b, int x, int y) {
    const ControlState* s = FindControl(b->node);
    ControlKind k = KindOf(b->node);
    std::wstring value = s && s->valueDirty ? s->value : ControlValue(nullptr, b->node);
    RECT content = ContentOf(rc, b->style);
    int saved = SaveDC(dc);
    SelectObject(dc, Font(b->style.fontSize, b->style.bold));
    size_t at = 0;
    if (k == ControlKind::Textarea) {
        TEXTMETRICW tm{};
        GetTextMetricsW(dc, &tm);
        int lh = std::max<int>(1, tm.tmHeight + tm.tmExternalLeading);
        std::vector<Piece> lines = Wrap(dc, value, std::max(1, (int)(content.right - content.left)));
        int row = (y - content.top + (s ? s->scrollY : 0)) / lh;
        row = std::max(0, std::min((int)lines.size() - 1, row));
        const Piece& p = lines[row];
        at = p.begin + Nearest(dc, value.substr(p.begin, p.end - p.begin), content.left, x);
    } else {
        std::wstring shown = k == ControlKind::Password ? std::wstring(value.size(), L'\x2022') : value;
        at = Nearest(dc, shown, content.left - (s ? s->scrollX : 0), x);
    }
    RestoreDC(dc, saved);
    return at;
}

size_t TextareaLineMove(HDC dc, const RECT& rc, const Box* b, size_t index, int dir) {
    const ControlState* s = FindControl(b->node);
    std::wstring value = s && s->valueDirty ? s->value : ControlValue(nullptr, b->node);
    RECT content = ContentOf(rc, b->style);
    int saved = SaveDC(dc);
    SelectObject(dc, Font(b->style.fontSize, b->style.bold));
    std::vector<Piece> lines = Wrap(dc, value, std::max(1, (int)(content.right - content.left)));
    index = std::min(index, value.size());
    // The caret's line: the last one that starts at or before it.
    size_t at = 0;
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].begin <= index) at = i;
    size_t out = dir < 0 ? 0 : value.size();
    long to = (long)at + (dir < 0 ? -1 : 1);
    if (to >= 0 && to < (long)lines.size()) {
        const Piece& from = lines[at];
        int x = TextWidth(dc, value.substr(from.begin, index - from.begin), index - from.begin);
        const Piece& p = lines[(size_t)to];
        out = p.begin + Nearest(dc, value.substr(p.begin, p.end - p.begin), 0, x);
    }
    RestoreDC(dc, saved);
    return out;
}

int ListRowAt(HDC dc, const RECT& rc, const Box* b, int y) {
    RECT content = ContentOf(rc, b->style);
    int saved = SaveDC(dc);
    SelectObject(dc, Font(b->style.fontSize, b->style.bold));
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    RestoreDC(dc, saved);
    int row = tm.tmHeight + tm.tmExternalLeading + 1;
    if (y < content.top || row <= 0) return -1;
    int i = (y - content.top) / row;
    return i < (int)OptionsOf(b->node).size() ? i : -1;
}

bool IsFormControl(const Box* b) {
    if (!b || !b->element || !b->node) return false;
    const size_t n = b->tag.size();  // most boxes are passed by their tag's length alone
    if (n != 5 && n != 6 && n != 8) return false;
    if (b->tag != "input" && b->tag != "select" && b->tag != "textarea") return false;
    return KindOf(b->node) != ControlKind::Hidden;
}

SIZE FormControlSize(const Box* b, HDC dc, FontCache& fonts) {
    const Style& s = b->style;
    HFONT font = fonts.Get(s.fontSize, s.bold, false);
    int lh = fonts.LineHeight(dc, font);
    HGDIOBJ old = SelectObject(dc, font);
    double avg = AverageCharWidth(dc, s.fontSize);
    SIZE out{0, lh};
    ControlKind k = KindOf(b->node);
    switch (k) {
    case ControlKind::Checkbox:
    case ControlKind::Radio:
        out = SIZE{kCheckSize, kCheckSize};
        break;
    case ControlKind::Range:
        out = SIZE{129, 16};
        break;
    case ControlKind::Button:
    case ControlKind::Submit:
    case ControlKind::Reset: {
        std::wstring label = ButtonLabel(b->node, k);
        out.cx = TextWidth(dc, label, label.size());
        break;
    }
    case ControlKind::File:
        out = SIZE{(LONG)(avg * kFileChars + 0.5), lh + kFileExtraHeight};
        break;
    case ControlKind::Select: {
        std::vector<NodeRef> opts = OptionsOf(b->node);
        int widest = 0;
        for (NodeRef& o : opts) {
            std::wstring label = OptionLabel(o.get());
            widest = std::max(widest, TextWidth(dc, label, label.size()));
        }
        if (IsListBox(b->node)) {
            int rows = SizeAttr(b->node, "size", 4);
            out = SIZE{widest + kListPadding, rows * (lh + 1)};
        } else {
            out = SIZE{widest + kArrowRoom, lh + kSelectExtraHeight};
        }
        break;
    }
    case ControlKind::Textarea:
        out = SIZE{(LONG)(avg * SizeAttr(b->node, "cols", 20) + kAreaExtra + 0.5), lh * SizeAttr(b->node, "rows", 2)};
        break;
    default:
        out.cx = (LONG)(avg * SizeAttr(b->node, "size", 20) + kFieldExtra + 0.5);
        break;
    }
    SelectObject(dc, old);
    return out;
}

SIZE FormControlBorderSize(const Box* b, int containing, HDC dc, FontCache& fonts) {
    const Style& s = b->style;
    const Edges& e = s.border;
    const Edges p = s.padding.Resolve(containing);
    int fx = p.left + p.right + e.left + e.right, fy = p.top + p.bottom + e.top + e.bottom;
    SIZE c{0, 0};
    if (s.width.IsAuto() || s.height.IsAuto()) c = FormControlSize(b, dc, fonts);
    int w = s.width.IsAuto() ? c.cx + fx : s.width.Resolve(containing, 0) + (s.borderBox ? 0 : fx);
    int h = s.height.IsAuto() ? c.cy + fy : s.height.Resolve(0, 0) + (s.borderBox ? 0 : fy);
    return SIZE{std::max(w, fx), std::max(h, fy)};
}

int LayOutFormControlBlock(Box* b, int avail, HDC dc, FontCache& fonts, int* usedWidth) {
    const Style& s = b->style;
    const Edges m = s.margin.Resolve(avail);
    SIZE size = FormControlBorderSize(b, avail, dc, fonts);
    RECT box{m.left, m.top, m.left + size.cx, m.top + size.cy};
    b->items.clear();
    b->hits.clear();
    PaintItem ctl;
    ctl.kind = PaintItem::Control;
    ctl.rc = box;
    ctl.box = b;
    b->items.push_back(ctl);
    b->hits.push_back(HitBox{box, b->node});
    int height = box.bottom + m.bottom, used = box.right + m.right;
    b->extent = box;
    b->border = box;
    if (usedWidth) *usedWidth = used;
    return height;
}

int FormControlOuterWidth(const Box* b, HDC dc, FontCache& fonts) {
    const Edges m = b->style.margin.Resolve(0);
    return FormControlBorderSize(b, 0, dc, fonts).cx + m.left + m.right;
}

void PaintFormControl(HDC dc, const RECT& rc, const Box* b) {
    const Style& s = b->style;
    if (s.hidden || !b->node) return;
    ControlKind k = KindOf(b->node);
    const ControlState* st = FindControl(b->node);
    std::string dummy;
    bool disabled = dom::GetAttr(b->node, "disabled", &dummy);
    COLORREF color = disabled ? RGB(0x6D, 0x6D, 0x6D) : Gdi(s.color);
    if (k == ControlKind::Checkbox || k == ControlKind::Radio) {
        RECT c = ContentOf(rc, s);
        Check(dc, c, IsChecked(st, b->node), k == ControlKind::Radio, disabled);
        return;
    }
    Frame(dc, rc, s);
    if (IsFocusedControl(b->node) && (IsTextKind(k) || k == ControlKind::Select)) {
        // The focus ring, inside the box so neighbours do not cover it.
        for (int i = 0; i < 2; ++i) {
            RECT r{rc.left + i, rc.top + i, rc.right - i, rc.bottom - i};
            Fill(dc, RECT{r.left, r.top, r.right, r.top + 1}, kFocusRing);
            Fill(dc, RECT{r.left, r.bottom - 1, r.right, r.bottom}, kFocusRing);
            Fill(dc, RECT{r.left, r.top, r.left + 1, r.bottom}, kFocusRing);
            Fill(dc, RECT{r.right - 1, r.top, r.right, r.bottom}, kFocusRing);
        }
    }
    RECT content = ContentOf(rc, s);
    int saved = SaveDC(dc);
    RECT clip{rc.left + s.border.left, rc.top + s.border.top, rc.right - s.border.right, rc.bottom - s.border.bottom};
    IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
    SelectObject(dc, Font(s.fontSize, s.bold));
    SetBkMode(dc, TRANSPARENT);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    int midY = content.top + ((int)(content.bottom - content.top) - tm.tmHeight) / 2;
    switch (k) {
    case ControlKind::Button:
    case ControlKind::Submit:
    case ControlKind::Reset: {
        std::wstring label = ButtonLabel(b->node, k);
        int w = TextWidth(dc, label, label.size());
        SetTextColor(dc, color);
        TextOutW(dc, content.left + ((int)(content.right - content.left) - w) / 2, midY, label.c_str(),
                 (int)label.size());
        break;
    }
    case ControlKind::File: {
        int w = TextWidth(dc, kFileButton, wcslen(kFileButton)) + 16;
        RECT button{content.left, content.top, content.left + w, content.bottom};
        Fill(dc, button, kEdge);
        Fill(dc, RECT{button.left + 1, button.top + 1, button.right - 1, button.bottom - 1}, RGB(0xEF, 0xEF, 0xEF));
        SetTextColor(dc, color);
        TextOutW(dc, button.left + 8, midY, kFileButton, (int)wcslen(kFileButton));
        TextOutW(dc, button.right + 4, midY, kFileNone, (int)wcslen(kFileNone));
        break;
    }
    case ControlKind::Range: {
        int cy = (content.top + content.bottom) / 2;
        Fill(dc, RECT{content.left, cy - 2, content.right, cy + 2}, RGB(0xB0, 0xB0, 0xB0));
        std::wstring v = st && st->valueDirty ? st->value : ControlValue(nullptr, b->node);
        long value = std::max(0L, std::min(100L, wcstol(v.c_str(), nullptr, 10)));
        int x = content.left + 8 + (int)((content.right - content.left - 16) * value / 100);
        HBRUSH br = CreateSolidBrush(kAccent);
        HGDIOBJ ob = SelectObject(dc, br);
        HGDIOBJ op = SelectObject(dc, GetStockObject(NULL_PEN));
        Ellipse(dc, x - 8, cy - 8, x + 8, cy + 8);
        SelectObject(dc, ob);
        SelectObject(dc, op);
        DeleteObject(br);
        break;
    }
    case ControlKind::Select: {
        std::vector<NodeRef> opts = OptionsOf(b->node);
        if (IsListBox(b->node)) {
            int row = tm.tmHeight + tm.tmExternalLeading + 1;
            int chosen = SelectedIndex(st, b->node);
            std::string attr;
            bool multiple = dom::GetAttr(b->node, "multiple", &attr);
            for (size_t i = 0; i < opts.size(); ++i) {
                int y = content.top + (int)i * row;
                if (y > content.bottom) break;
                bool on = multiple ? dom::GetAttr(opts[i].get(), "selected", &attr) : (int)i == chosen;
                if (on) Fill(dc, RECT{content.left, y, content.right, y + row}, RGB(0xCE, 0xCE, 0xCE));
                std::wstring label = OptionLabel(opts[i].get());
                SetTextColor(dc, color);
                TextOutW(dc, content.left + 2, y, label.c_str(), (int)label.size());
            }
            break;
        }
        int i = SelectedIndex(st, b->node);
        if (i >= 0 && i < (int)opts.size()) {
            std::wstring label = OptionLabel(opts[i].get());
            SetTextColor(dc, color);
            TextOutW(dc, content.left + 4, midY, label.c_str(), (int)label.size());
        }
        Arrow(dc, content, color);
        break;
    }
    case ControlKind::Textarea:
        MultiLine(dc, content, b, st, color);
        break;
    default:
        SingleLine(dc, content, b, st, k, color);
        break;
    }
    RestoreDC(dc, saved);
}

void PaintOptionList(HDC dc, const RECT& rc, const Box* select, const std::vector<std::wstring>& labels, int hover,
                     int rowHeight) {
    Fill(dc, rc, kEdge);
    Fill(dc, RECT{rc.left + 1, rc.top + 1, rc.right - 1, rc.bottom - 1}, RGB(255, 255, 255));
    int saved = SaveDC(dc);
    IntersectClipRect(dc, rc.left + 1, rc.top + 1, rc.right - 1, rc.bottom - 1);
    SelectObject(dc, Font(select->style.fontSize, select->style.bold));
    SetBkMode(dc, TRANSPARENT);
    TEXTMETRICW tm{};
    GetTextMetricsW(dc, &tm);
    for (size_t i = 0; i < labels.size(); ++i) {
        int y = rc.top + 1 + (int)i * rowHeight;
        bool on = (int)i == hover;
        if (on) Fill(dc, RECT{rc.left + 1, y, rc.right - 1, y + rowHeight}, RGB(0x1E, 0x90, 0xFF));
        SetTextColor(dc, on ? RGB(255, 255, 255) : RGB(0, 0, 0));
        TextOutW(dc, rc.left + 5, y + (rowHeight - tm.tmHeight) / 2, labels[i].c_str(), (int)labels[i].size());
    }
    RestoreDC(dc, saved);
}

}  // namespace webview
